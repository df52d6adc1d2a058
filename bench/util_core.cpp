// Speed of the general library's hot helpers: the generator, variable-length numbers, Base64,
// message lookup and the note-name helpers.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "util/gne.h"
#include "util/program_errors.h"

static void BM_RandomRange(benchmark::State& state) {
  GneSeedRandomWith(1);
  int sum = 0;
  for (auto _ : state) sum += GneRandomRange(0, 127);
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_RandomRange);

static void BM_WriteVarLen(benchmark::State& state) {
  uint8_t out[4];
  uint32_t v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GneWriteVarLen(v, out));
    v = (v + 7919) & 0x0FFFFFFF;
  }
}
BENCHMARK(BM_WriteVarLen);

static void BM_Base64(benchmark::State& state) {
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
  for (auto _ : state) benchmark::DoNotOptimize(GneEncodeBase64(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Base64)->Arg(1024)->Arg(121880);

static void BM_ProgramErrorText(benchmark::State& state) {
  uint32_t n = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ProgramErrorText(0xFF010000u + n));
    n = n % 0x1EA + 1;
  }
}
BENCHMARK(BM_ProgramErrorText);

static void BM_DegreeChordName(benchmark::State& state) {
  char out[32];
  for (auto _ : state) {
    GneDegreeChordName(out, "Bbm7", 8);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_DegreeChordName);
