// Building the whole style table (9 x 24 records: defaults, catalogue styles,
// grid presets, default chord lists) and applying a style.
#include <benchmark/benchmark.h>

#include "style/style_record.h"
#include "style/style_table.h"
#include "util/gne.h"

static void BM_BuildStyleTable(benchmark::State& state) {
  GneSeedRandomWith(1);
  for (auto _ : state) {
    BuildStyleTable();
    benchmark::DoNotOptimize(&StyleTableSlot(8, 23));
  }
}
BENCHMARK(BM_BuildStyleTable)->Unit(benchmark::kMicrosecond);

static void BM_ApplyStyle(benchmark::State& state) {
  BuildStyleTable();
  for (auto _ : state) {
    ApplyStyle(StyleTableSlot(5, 3));
    benchmark::DoNotOptimize(CurrentStyle().tempo);
  }
}
BENCHMARK(BM_ApplyStyle)->Unit(benchmark::kMicrosecond);

static void BM_SerialiseStyleRecord(benchmark::State& state) {
  BuildStyleTable();
  uint8_t out[kStyleRecordSize];
  for (auto _ : state) {
    SerialiseStyleRecord(StyleTableSlot(0, 15), out);
    benchmark::DoNotOptimize(out[100]);
  }
}
BENCHMARK(BM_SerialiseStyleRecord)->Unit(benchmark::kMicrosecond);
