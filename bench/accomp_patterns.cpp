// The accompaniment patterns over a 64-bar 4/4 song: for each pattern code
// that plays, the harmony and the sub-harmony part written into fresh tracks.
#include <benchmark/benchmark.h>

#include <string>

#include "accomp/harmony.h"
#include "accomp/harmony_patterns.h"
#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// A 64-bar song: a bar per chord, a two-bar chord now and then, a half-bar
// pair before each eighth bar; some chords lack their seventh.
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
  s.instrument[kHarmonyChannel] = 24;
  s.instrument[kSubHarmonyChannel] = 48;
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

void PlayPart(int channel, int code, int density) {
  static const EventList kNoMelody;
  PartTrack track;
  WriteHarmonyPattern(channel, track, code, 0, density, kNoMelody);
  benchmark::DoNotOptimize(track.event_count);
}

void BM_AccompanimentPattern(benchmark::State& state, int code) {
  PrepareSong();
  GneSeedRandomWith(11);
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
