// Chord choice and scale-tone queries of the composition engine.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/engine_state.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "engine/tone_weights.h"
#include "platform/core/folders.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/support/plain_engine.h"
#include "util/gne.h"

namespace {

void PrepareEngine(const char* pattern) {
  plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
  cantrel_test::ResetToPlainCMajorWithDatabases(pattern);
  SelectMajorTimingDatabases();
  LoadPatternDatabases();
  GneSeedRandomWith(12345);
}

// 1024 chords in a row, each the successor of the one before.
void BM_PickNextChord1024(benchmark::State& state) {
  PrepareEngine(state.range(0) == 0 ? "PATTERN.DB" : "PATTERN.DBB");
  for (auto _ : state) {
    char code[4] = {'C', 'M', 'P', 'S'};
    for (int i = 0; i < 1024; ++i) PickNextChord(code);
    benchmark::DoNotOptimize(code);
  }
  state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_PickNextChord1024)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

const char* const kChords[] = {"CMPS", "AmPs", "DmPs", "GMPs", "EmPs", "FMPS", "EMPs", "Bmds"};

// 10^6 scale-tone queries over a progression of eight chords.
void BM_ScaleToneQueries(benchmark::State& state) {
  PrepareEngine("PATTERN.DB");
  const bool cached = state.range(0) == 1;
  for (auto _ : state) {
    int hits = 0;
    for (int i = 0; i < 1000000; ++i) {
      const char* chord = kChords[(i >> 6) & 7];
      const int pitch = 48 + (i % 37);
      if (cached) {
        hits += IsScaleTone(pitch, chord);
      } else {
        char w[kToneWeightTextSize];
        BuildToneWeightsUncached(chord, w);
        hits += ToneDigit(w, pitch % 12) >= ScaleToneLevel;
      }
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_ScaleToneQueries)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
