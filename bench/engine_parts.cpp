// The clean-up passes over a merged song of 5,000 to 50,000 notes, and every
// performance effect on a 256-bar melody.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/conductor.h"
#include "engine/engine_state.h"
#include "engine/part_effects.h"
#include "engine/part_tracks.h"
#include "music/midi0_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

void PrepareEngine() {
  ResetStyleModule();
  ResetEngineServices();
  ResetEngineState();
  StyleRecord& s = CurrentStyle();
  s.tempo = 500000;
  SetStyleText(s.scale_tones, "xxxx909099090909");
  for (PartRecord& p : s.parts) p.range_high = 96;
  s.instrument[1] = 73;
  s.instrument[3] = 0;
  PartMemory().long_pipe_question_done = true;
}

// A merged note-mode song: melody (channel 1), accompaniment (3), bass (2), drums (9),
// notes spread so that a quarter of the ticks hold several channels at once.
std::unique_ptr<Midi0Data> MergedSong(int notes) {
  GneSeedRandomWith(5);
  MidiTrack track(kTrackNotes, 0x10000);
  track.ReserveEvents(notes + 8);
  const int channels[4] = {1, 3, 2, 9};
  for (int k = 0; k < notes; ++k) {
    const int channel = channels[k % 4];
    const int delta = k % 4 == 0 ? 24 : 0;
    const int pitch = channel == 9 ? 36 : (channel == 2 ? 40 : 55 + GneRandomRange(0, 24));
    track.AddNote(channel, delta, pitch, 90, channel == 1 ? 24 : 96);
  }
  track.AddEndOfTrackAt(96);
  return std::make_unique<Midi0Data>(track, 96);
}

// One clean-up pass over merged songs of state.range(0) notes.
template <void (*Pass)(Midi0Data&, int, int)>
void BM_CleanUp(benchmark::State& state) {
  PrepareEngine();
  const int notes = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto song = MergedSong(notes);
    state.ResumeTiming();
    Pass(*song, 1, 3);
    benchmark::DoNotOptimize(song->track->event_count);
  }
  state.SetComplexityN(notes);
}
BENCHMARK_TEMPLATE(BM_CleanUp, RemoveClashingNotes)
    ->Name("BM_RemoveClashingNotes")->Arg(5000)->Arg(20000)->Arg(50000)
    ->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK_TEMPLATE(BM_CleanUp, SoftenAccompanimentClashes)
    ->Name("BM_SoftenAccompanimentClashes")->Arg(5000)->Arg(20000)->Arg(50000)
    ->Unit(benchmark::kMillisecond)->Complexity();

// A closed channel-1 melody of 256 bars: quarters, eighths, halves and rests.
std::unique_ptr<PartTrack> Melody256() {
  auto t = std::make_unique<PartTrack>();
  MixerRecord m;
  m.volume = 100;
  WritePartHeader(*t, 1, 73, m, 0);
  const int steps[] = {96, 48, 48, 192, 96, 96, 72, 24, 96, 384};
  int delta = 0;
  for (int total = 0, k = 0; total < 256 * 384; ++k) {
    const int step = steps[k % 10];
    AddNote(*t, 1, delta, k % 9 == 8 ? 0 : 60 + (k * 5) % 14, 64, step - 3);
    delta = step;
    total += step;
  }
  CloseTrack(*t);
  return t;
}

void BM_ApplyPartEffects(benchmark::State& state) {
  PrepareEngine();
  const int code = static_cast<int>(state.range(0));
  CurrentStyle().parts[1].effect = code;
  for (auto _ : state) {
    state.PauseTiming();
    GneSeedRandomWith(7);
    auto track = Melody256();
    state.ResumeTiming();
    ApplyPartEffects(*track, 1);
    benchmark::DoNotOptimize(track->event_count);
  }
}
BENCHMARK(BM_ApplyPartEffects)
    ->ArgName("effect")
    ->Arg(5)->Arg(8)->Arg(9)->Arg(10)->Arg(12)->Arg(13)->Arg(17)->Arg(18)->Arg(19)->Arg(20)
    ->Arg(21)->Arg(22)
    ->Unit(benchmark::kMillisecond);

}  // namespace
