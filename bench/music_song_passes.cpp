// Song-wide passes of the format-1 song and editing passes of the format-0 song on
// the 17-track song of 20,000 events: a song-wide pass takes 2 ms or less, 5 ms or
// less when the song goes through event mode and back around it; the pedal pass
// (which itself goes through event mode) and the drum passes on the format-0 merge
// take 5 ms or less.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "rich_song.h"

namespace {

using bench_songs::QuietBoxes;
using bench_songs::RichSeventeenTrackSong;
using bench_songs::RunSongPass;

const int32_t kExempt[] = {0, 32};

const struct {
  const char* name;
  bool in_event_mode;  // the pass also works on a song in event mode
  std::function<void(Midi1Data&)> pass;
} kSongWidePasses[] = {
    {"ClampNoteValues", false, [](Midi1Data& s) { s.ClampNoteValues(); }},
    {"DeleteMetaEvents", false, [](Midi1Data& s) { s.DeleteMetaEvents(5, 1); }},
    {"MoveGmSystemOnFirst", true, [](Midi1Data& s) { s.MoveGmSystemOnFirst(); }},
    {"TransposeBetween", true, [](Midi1Data& s) { s.TransposeBetween(0, 1 << 30, 3); }},
    {"TransposeKeySignatures", true, [](Midi1Data& s) { s.TransposeKeySignatures(0, 1 << 30, 3); }},
    {"SetDivision", false, [](Midi1Data& s) { s.SetDivision(960); }},
    {"ScaleNoteLengths", false, [](Midi1Data& s) { s.ScaleNoteLengths(90); }},
    {"FoldNotesIntoRange", false, [](Midi1Data& s) { s.FoldNotesIntoRange(48, 72); }},
    {"KeepFirstTrackName", true, [](Midi1Data& s) { s.KeepFirstTrackName(); }},
    {"DeleteControlChanges", true, [](Midi1Data& s) { s.DeleteControlChanges(11); }},
    {"DeleteEventsAfter", false, [](Midi1Data& s) { s.DeleteEventsAfter(100000, kStatusController); }},
    {"RemoveDuplicateBankPrograms", true, [](Midi1Data& s) { s.RemoveDuplicateBankPrograms(); }},
    {"RemoveRedundantControllers", true, [](Midi1Data& s) { s.RemoveRedundantControllers(kExempt, 2); }},
    {"CloseOverlaps", false, [](Midi1Data& s) { s.CloseOverlaps(1); }},
    {"RemoveRepeatedPrograms", true, [](Midi1Data& s) { s.RemoveRepeatedPrograms(); }},
    {"RemoveRepeatedMixerValues", true, [](Midi1Data& s) { s.RemoveRepeatedMixerValues(); }},
    {"RemoveUnusedPans", true, [](Midi1Data& s) { s.RemoveUnusedPans(); }},
    {"BakeVolumes", true, [](Midi1Data& s) { s.BakeVolumes(); }},
    {"CombineVolumeExpression", true, [](Midi1Data& s) { s.CombineVolumeExpression(); }},
    {"CutTime", true, [](Midi1Data& s) { s.CutTime(1920, 3840); }},
    {"InsertTime", true, [](Midi1Data& s) { s.InsertTime(1920, 480); }},
    {"DeleteMarkersBetween", true, [](Midi1Data& s) { s.DeleteMarkersBetween(0, 1 << 30); }},
    {"QuantizeNonDrum", false, [](Midi1Data& s) { s.QuantizeNonDrum(120); }},
    {"EndNotesAt", false, [](Midi1Data& s) { s.EndNotesAt(50000); }},
    {"CutAfter", false, [](Midi1Data& s) { s.CutAfter(50000); }},
    {"FadeOut", false, [](Midi1Data& s) { s.FadeOut(7680); }},
    {"RetypeMeta", true, [](Midi1Data& s) { s.RetypeMeta(5, 1); }},
    {"CountVoices", false, [](Midi1Data& s) { benchmark::DoNotOptimize(s.CountVoices()); }},
    {"CountEvents", true, [](Midi1Data& s) { benchmark::DoNotOptimize(s.CountEvents()); }},
    {"IsOnGrid", false, [](Midi1Data& s) { benchmark::DoNotOptimize(s.IsOnGrid(0, 1 << 30, 120, 1)); }},
    {"GetLastNoteOffTick", true, [](Midi1Data& s) { benchmark::DoNotOptimize(s.GetLastNoteOffTick()); }},
    {"CheckBankOrder", true, [](Midi1Data& s) { benchmark::DoNotOptimize(s.IsBankOrderValid()); }},
};

// The song-wide passes in note mode and, where they work on events, with the song
// taken to event mode and back around them.
const bool kRegistered = [] {
  for (const auto& p : kSongWidePasses) {
    auto pass = p.pass;
    benchmark::RegisterBenchmark((std::string("BM_SongWide/") + p.name).c_str(),
                                 [pass](benchmark::State& state) {
                                   RunSongPass(state, pass, false);
                                 })
        ->Unit(benchmark::kMillisecond);
    if (!p.in_event_mode) continue;
    benchmark::RegisterBenchmark((std::string("BM_SongWideThroughEvents/") + p.name).c_str(),
                                 [pass](benchmark::State& state) {
                                   RunSongPass(state, [&](Midi1Data& song) {
                                     song.ToEventMode();
                                     pass(song);
                                     song.ToNoteMode();
                                   }, false);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

// One pass over a fresh copy of the format-0 merge of the song (the copy untimed).
void RunFormat0Pass(benchmark::State& state, const std::function<void(Midi0Data&)>& pass,
                    bool event_mode) {
  QuietBoxes();
  std::unique_ptr<Midi1Data> source = RichSeventeenTrackSong();
  // Sustain pedal on every channel now and then, so that the pedal pass has work.
  for (int32_t t = 1; t < source->track_count; ++t) {
    Midi1Track& track = *source->tracks[t];
    const int32_t channel = track.GetChannel();
    for (int32_t tick = 0; tick < 40000; tick += 1920) {
      track.SetControllerValueAt(channel, 64, (tick / 1920) % 2 == 0 ? 127 : 0, tick);
    }
  }
  Midi0Data merged(kSongNotes, source->division, kDefaultMusicCapacity);
  source->MergeToFormat0(merged);
  if (event_mode) merged.ToEventMode();
  for (auto _ : state) {
    state.PauseTiming();
    auto song = std::make_unique<Midi0Data>(merged);
    state.ResumeTiming();
    pass(*song);
    benchmark::DoNotOptimize(song->track->event_count);
    state.PauseTiming();
    song.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = static_cast<double>(merged.track->event_count);
}

void BM_ApplySustainPedal(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.ApplySustainPedal(); }, false);
}
BENCHMARK(BM_ApplySustainPedal)->Unit(benchmark::kMillisecond);

void BM_RemapDrumFamilies(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.RemapDrumFamilies(); }, false);
}
BENCHMARK(BM_RemapDrumFamilies)->Unit(benchmark::kMillisecond);

void BM_Format0Reverse(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.Reverse(); }, true);
}
BENCHMARK(BM_Format0Reverse)->Unit(benchmark::kMillisecond);

void BM_Format0DuplicateChannel(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.DuplicateChannel(0, 15); }, false);
}
BENCHMARK(BM_Format0DuplicateChannel)->Unit(benchmark::kMillisecond);

void BM_Format0KeepOnlyChannel(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.KeepOnlyChannel(3); }, false);
}
BENCHMARK(BM_Format0KeepOnlyChannel)->Unit(benchmark::kMillisecond);

void BM_Format0TransposeNonRhythm(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) { s.TransposeNonRhythm(5); }, false);
}
BENCHMARK(BM_Format0TransposeNonRhythm)->Unit(benchmark::kMillisecond);

void BM_Format0Tempos(benchmark::State& state) {
  RunFormat0Pass(state, [](Midi0Data& s) {
    s.InsertTempoAtFirstNote(500000);
    s.RemoveEarlyTempos();
  }, false);
}
BENCHMARK(BM_Format0Tempos)->Unit(benchmark::kMillisecond);

}  // namespace
