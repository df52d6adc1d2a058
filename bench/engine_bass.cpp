// The 23 bass patterns over a 64-bar 4/4 song: each on its own and all of them
// together, writing into fresh part tracks.
#include <benchmark/benchmark.h>

#include "engine/bass_part.h"
#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// A 64-bar song: a bar per chord, a two-bar chord now and then, a half-bar
// pair before each eighth bar.
void PrepareSong() {
  ResetStyleModule();
  ResetEngineServices();
  ResetEngineState();
  StyleRecord& s = CurrentStyle();
  s.key_mode = 1;
  s.scale = 1;
  s.metre = 0;
  s.basic_beat = 2;
  s.instrument[kBassChannel] = 33;
  s.accompaniment = 1;
  SetStyleText(s.scale_tones, "xxxx909099090909");
  GneSeedRandomWith(3);
  const char* const codes[] = {"CMPo", "AmPs", "FMPo", "GMPs", "EmPo", "DmPs", "bMPo", "CMPS"};
  ComposeInformation& info = ComposeInfo();
  int bar = 0;
  for (int k = 0; bar < 64; ++k) {
    ChordEntry e;
    for (int i = 0; i < 4; ++i) e.code[i] = codes[k % 8][i];
    if (bar % 8 == 7) {
      e.length = 192;
      info.AddChordBlock(e, "00");
      info.AddChordBlock(e, "00");
      bar += 1;
    } else {
      e.length = k % 5 == 4 && bar < 62 ? 768 : 384;
      info.AddChordBlock(e, "00");
      bar += e.length / 384;
    }
  }
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
