// Phrase comparison: a 16-bar range against a 256-bar 4/4 song (every start
// position, three comparisons each); the target is 1 ms or less.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/random_song.h"
#include "song/phrase_compare.h"
#include "song/song_data.h"
#include "util/gne.h"

namespace {

using bench_songs::RandomSong;

void BM_CompareBars16Against256(benchmark::State& state) {
  auto a = RandomSong(32, 7);
  auto b = RandomSong(256, 11);
  for (auto _ : state) benchmark::DoNotOptimize(CKvPhraseCompare::CompareBars(*a, 8, 23, *b));
}
BENCHMARK(BM_CompareBars16Against256)->Unit(benchmark::kMicrosecond);

}  // namespace
