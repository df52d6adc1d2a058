// The 64-bar 4/4 song the part benchmarks share.
#pragma once

#include "engine/compose_info.h"
#include "style/style_table.h"
#include "tests/support/plain_engine.h"
#include "util/gne.h"

namespace bench_songs {

// A fresh engine with a 64-bar song in C major: a bar per chord, a two-bar
// chord now and then, a half-bar pair before each eighth bar. The style has a
// bass part (program 33).
inline void PrepareSixtyFourBarSong() {
  StyleRecord& s = cantrel_test::ResetToPlainCMajor();
  s.metre = 0;
  s.basic_beat = 2;
  s.instrument[kBassChannel] = 33;
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

}  // namespace bench_songs
