// The accompaniment patterns over a 64-bar 4/4 song: for each pattern code, the harmony and the
// sub-harmony part written into fresh tracks.
#include <benchmark/benchmark.h>

#include <string>

#include "accomp/harmony.h"
#include "accomp/harmony_patterns.h"
#include "bench/sixty_four_bars.h"
#include "engine/part_tracks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

void PrepareSong() {
  bench_songs::PrepareSixtyFourBarSong();
  CurrentStyle().instrument[kHarmonyChannel] = 24;
  CurrentStyle().instrument[kSubHarmonyChannel] = 48;
}

void PlayPart(int channel, int code, int density) {
  static const EventList kNoMelody;
  PartTrack track;
  WriteHarmonyPattern(channel, track, code, 0, density, kNoMelody);
  benchmark::DoNotOptimize(track.event_count);
}

// Code 41 plays the riff stored in the style: the one a code-40 part of the song stored.
constexpr int kStoredRiffPattern = 41;
constexpr int kRiffMakingPattern = 40;

void BM_AccompanimentPattern(benchmark::State& state, int code) {
  PrepareSong();
  GneSeedRandomWith(11);
  if (code == kStoredRiffPattern) PlayPart(kHarmonyChannel, kRiffMakingPattern, 100);
  for (auto _ : state) {
    PlayPart(kHarmonyChannel, code, 100);
    PlayPart(kSubHarmonyChannel, code, 60);
  }
}

// One case per code whose generator is there.
const bool kRegistered = [] {
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    if (FindHarmonyPattern(code) == nullptr) continue;
    benchmark::RegisterBenchmark(("BM_AccompanimentPattern/" + std::to_string(code)).c_str(),
                                 BM_AccompanimentPattern, code)
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
