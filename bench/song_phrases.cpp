// Phrase comparison: a 16-bar range against a 256-bar 4/4 song (every start
// position, three comparisons each); the target is 1 ms or less.
#include <benchmark/benchmark.h>

#include <memory>

#include "song/phrase_compare.h"
#include "song/song_data.h"
#include "util/gne.h"

namespace {

std::unique_ptr<CSongData> RandomSong(int bars, uint32_t seed) {
  GneSeedRandomWith(seed);
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, 4, 0, 1);
  for (int bar = 0; bar < bars; ++bar)
    for (int e = 0; e < 8; ++e) {
      if (GneRandomRange(0, 3) == 0) continue;
      song->SetNote(bar, e, 55 + GneRandomRange(0, 24), 1, false);
    }
  return song;
}

void BM_CompareBars16Against256(benchmark::State& state) {
  auto a = RandomSong(32, 7);
  auto b = RandomSong(256, 11);
  for (auto _ : state) benchmark::DoNotOptimize(CKvPhraseCompare::CompareBars(*a, 8, 23, *b));
}
BENCHMARK(BM_CompareBars16Against256)->Unit(benchmark::kMicrosecond);

}  // namespace
