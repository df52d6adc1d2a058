// The 23 bass patterns over a 64-bar 4/4 song: each on its own and all of them
// together, writing into fresh part tracks.
#include <benchmark/benchmark.h>

#include "bench/sixty_four_bars.h"
#include "engine/bass_part.h"
#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

void PrepareSong() {
  bench_songs::PrepareSixtyFourBarSong();
  CurrentStyle().accompaniment = 1;
}

void PlayPattern(int code) {
  static const EventList kNoMelody;
  PartTrack track;
  AddNote(track, kBassChannel, 0, 0, 0, 0);
  WriteBassPattern(kBassChannel, track, code, 120, kNoMelody);
  benchmark::DoNotOptimize(track.event_count);
}

void BM_BassPattern(benchmark::State& state) {
  PrepareSong();
  const int code = static_cast<int>(state.range(0));
  for (auto _ : state) PlayPattern(code);
}
BENCHMARK(BM_BassPattern)->DenseRange(1, 23)->Unit(benchmark::kMicrosecond);

void BM_AllBassPatterns(benchmark::State& state) {
  PrepareSong();
  for (auto _ : state)
    for (int code = 1; code <= 23; ++code) PlayPattern(code);
}
BENCHMARK(BM_AllBassPatterns)->Unit(benchmark::kMillisecond);

}  // namespace
