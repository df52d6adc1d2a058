// Channel fitting and drum passes on a song of 18 port channels and 20,000 events: a
// conductor track, 16 first-port channel tracks (drums on 9, two tracks of one bank and
// program) and two second-port tracks (drums on 9 and a part). Merging the tracks of
// one bank and program takes 5 ms or less, fitting the song into 16 channels 10 ms or
// less, and folding the drum families of the format-0 merge 5 ms or less.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "rich_song.h"

namespace {

std::unique_ptr<Midi1Data> EighteenChannelSong() {
  auto song = std::make_unique<Midi1Data>(480, kDefaultMusicCapacity);
  Midi1Track* conductor = song->AddEmptyTrack(kDefaultMusicCapacity);
  conductor->mode = kTrackNotes;
  conductor->AddTimeSignature(4, 2);
  conductor->AddTempo(500000);
  conductor->AddEndOfTrackAt(1920 * 100);
  const int per_track = (20000 - conductor->event_count) / 18;
  for (int t = 0; t < 18; ++t) {
    Midi1Track* track = song->AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
    const bool second_port = t >= 16;
    const int channel = second_port ? (t == 16 ? 9 : 3) : t;
    if (second_port) track->AddMetaEvent(0, 4, "SC88B", 5);
    const std::string name = "Part " + std::to_string(t);
    track->AddMetaEvent(0, 3, name.data(), static_cast<int32_t>(name.size()));
    // Channels 4 and 5 share bank and program.
    const int program = channel == 9 ? 0 : (t == 5 ? 4 * 5 : t * 5 % 128);
    track->AddBankProgram(channel, 0, 0, program);
    track->AddControlChange(channel, 7, 100);
    track->AddControlChange(channel, 10, 64);
    int made = track->event_count;
    for (int i = 0; made < per_track - 1; ++i) {
      if (i % 8 == 3) {
        track->AddControlChange(channel, 11, 80 + i % 40);
      } else if (channel == 9) {
        static const int kDrums[] = {35, 36, 38, 40, 42, 44, 46, 49, 51};
        track->AddNote(channel, i % 8 == 0 ? 0 : 120, kDrums[(i + t) % 9], 100, 60);
      } else {
        track->AddNote(channel, i % 8 == 0 ? 0 : 120, 40 + (i * 5 + t) % 48, 60 + i % 60, 100);
      }
      ++made;
    }
    track->AddEndOfTrackAt(120);
  }
  return song;
}

void RunOnCopy(benchmark::State& state, void (*pass)(Midi1Data&)) {
  bench_songs::QuietBoxes();
  std::unique_ptr<Midi1Data> source = EighteenChannelSong();
  state.counters["channels"] = source->CountChannels(nullptr);
  bench_songs::RunPassOnCopies(state, *source, pass);
}

void BM_MergeAllSameProgramTracks(benchmark::State& state) {
  RunOnCopy(state, [](Midi1Data& song) { song.MergeAllSameProgramTracks(); });
}
BENCHMARK(BM_MergeAllSameProgramTracks)->Unit(benchmark::kMillisecond);

void BM_FitTo16Channels(benchmark::State& state) {
  RunOnCopy(state, [](Midi1Data& song) { song.FitTo16Channels(); });
}
BENCHMARK(BM_FitTo16Channels)->Unit(benchmark::kMillisecond);

void BM_RemapDrumFamiliesOnFormat0Merge(benchmark::State& state) {
  bench_songs::QuietBoxes();
  std::unique_ptr<Midi1Data> source = EighteenChannelSong();
  Midi0Data merged(kSongNotes, source->division, kDefaultMusicCapacity);
  source->MergeToFormat0(merged);
  for (auto _ : state) {
    state.PauseTiming();
    Midi0Data copy(merged);
    state.ResumeTiming();
    benchmark::DoNotOptimize(copy.track->RemapDrumFamilies());
  }
  state.counters["events"] = merged.track->event_count;
}
BENCHMARK(BM_RemapDrumFamiliesOnFormat0Merge)->Unit(benchmark::kMillisecond);

void BM_EventDensity(benchmark::State& state) {
  bench_songs::QuietBoxes();
  std::unique_ptr<Midi1Data> song = EighteenChannelSong();
  for (auto _ : state) {
    int32_t highest = 0;
    int32_t average = 0;
    benchmark::DoNotOptimize(song->GetEventDensity(&highest, &average));
  }
}
BENCHMARK(BM_EventDensity)->Unit(benchmark::kMillisecond);

}  // namespace
