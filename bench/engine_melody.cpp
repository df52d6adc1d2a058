// The melody generator over 64 bars of chords, one run per pitch method.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/pattern_db.h"
#include "platform/core/folders.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/support/plain_engine.h"
#include "util/gne.h"

namespace {

const char* const kChords[] = {"CMPS", "AmPs", "DmPs", "GMPs", "EmPs", "FMPS", "GMPo", "CMPo"};

void PrepareEngine(int algorithm) {
  plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
  StyleRecord& s = cantrel_test::ResetToPlainCMajorWithDatabases();
  s.melody_table_mode = 2;
  const int intervals[] = {40, 0, 10, 30, 50, 60, 80, 90};
  const int directions[] = {-20, -10, 0, 10, 20, 30, 40, 40};
  for (int i = 0; i < 8; ++i) {
    s.melody_intervals[i] = intervals[i];
    s.melody_directions[i] = directions[i];
  }
  for (int& d : s.density) d = 100;
  PartRecord& p = s.parts[kMelodyChannel];
  p.algorithm = algorithm;
  p.note_length = 1;  // many short notes, and rests after which the fluctuation starts anew
  p.dissonance = 4;
  p.range_low = 60;
  p.range_high = 84;
  p.syncopation = 1;
  SelectMajorTimingDatabases();
  LoadPatternDatabases();
  GneSeedRandomWith(2024);
}

// GenerateMelodyPart over 64 bars of 4/4, as the editor's melody command calls it.
void BM_GenerateMelody64Bars(benchmark::State& state) {
  const int algorithm = static_cast<int>(state.range(0));
  PrepareEngine(algorithm);
  EventList chords;
  for (int i = 0; i < 64; ++i) {
    ChordBlock block;
    std::memcpy(block.chord_code, kChords[i % 8], 4);
    block.length = 384;
    chords.AppendChordMarker(block);
  }
  int64_t notes = 0;
  for (auto _ : state) {
    EventList out;
    GenerateMelodyPart(0, kMelodyChannel, chords, &out, 1, 1);
    notes += out.count();
    benchmark::DoNotOptimize(out.count());
  }
  state.counters["events"] =
      benchmark::Counter(static_cast<double>(notes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GenerateMelody64Bars)->DenseRange(1, 7)->Unit(benchmark::kMillisecond);

}  // namespace
