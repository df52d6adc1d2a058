// The march rhythm cells over many seeds.
#include <gtest/gtest.h>

#include "accomp/march_cells.h"
#include "util/gne.h"

namespace {

bool IsTriadDegree(int d) { return d == 1 || d == 3 || d == 5; }

TEST(MakeMarchRhythm, CellsAreDegreesOrRestsAndHalvesEndOnChordTones) {
  for (int rate : {0, 20, 39, 40, 60, 100}) {
    for (uint32_t seed = 1; seed <= 400; ++seed) {
      GneSeedRandomWith(seed);
      int32_t cells[kMarchCellCount];
      MakeMarchRhythm(cells, rate);
      for (int half = 0; half < 2; ++half) {
        int last = 0;
        for (int k = 0; k < 8; ++k) {
          const int c = cells[half * 8 + k];
          ASSERT_GE(c, 0);
          ASSERT_LE(c, 8);
          if (c != 0) last = c;
        }
        if (last != 0) {
          EXPECT_TRUE(IsTriadDegree(last)) << "rate " << rate << " seed " << seed;
        }
      }
      // Steps 7 and 15 never draw a sixth, fourth or seventh fresh, and follow 6 and 7 down.
      for (int k : {7, 15}) {
        if (cells[k] == 4 || cells[k] == 6 || cells[k] == 7) {
          ADD_FAILURE() << "step " << k << " holds " << cells[k] << " seed " << seed;
        }
      }
    }
  }
}

TEST(MakeMarchRhythm, ForcedDegreesOnlyFromRestRateForty) {
  // Below 40 no degree is forced: over many seeds the cells hold several degrees.
  int mixed_below = 0;
  int uniform_at_forty = 0;
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    for (int rate : {20, 40}) {
      GneSeedRandomWith(seed);
      int32_t cells[kMarchCellCount];
      MakeMarchRhythm(cells, rate);
      int first = 0;
      bool uniform = true;
      for (int32_t c : cells) {
        if (c == 0) continue;
        if (first == 0) first = c;
        if (c != first) uniform = false;
      }
      if (rate == 20 && !uniform) ++mixed_below;
      if (rate == 40 && first != 0 && uniform) ++uniform_at_forty;
    }
  }
  EXPECT_GT(mixed_below, 300);
  // About half the draws force one degree at rate 40.
  EXPECT_GT(uniform_at_forty, 200);
}

TEST(MakeMarchRhythm, ForcedFiveGivesOnlyFivesAndRests) {
  // Find seeds whose forced degree is 5 (first draws 1, then 3) and check them.
  int checked = 0;
  for (uint32_t seed = 1; seed <= 3000 && checked < 50; ++seed) {
    GneSeedRandomWith(seed);
    const bool forced = GneRandomRange(1, 2) == 1;
    const int which = GneRandomRange(1, 3);
    if (!forced || which != 3) continue;
    GneSeedRandomWith(seed);
    int32_t cells[kMarchCellCount];
    MakeMarchRhythm(cells, 40);
    for (int32_t c : cells) EXPECT_TRUE(c == 0 || c == 5) << "seed " << seed;
    ++checked;
  }
  EXPECT_EQ(checked, 50);
}

TEST(MakeMarchRhythm, AfterASecondComesRootOrThird) {
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    GneSeedRandomWith(seed);
    int32_t cells[kMarchCellCount];
    MakeMarchRhythm(cells, 10);
    for (int k = 0; k + 1 < kMarchCellCount; ++k) {
      if (cells[k] == 2 && cells[k + 1] != 0) {
        EXPECT_TRUE(cells[k + 1] == 1 || cells[k + 1] == 3) << "seed " << seed << " step " << k;
      }
    }
  }
}

TEST(MakeMarchRhythm, SameSeedSameCells) {
  int32_t a[kMarchCellCount], b[kMarchCellCount];
  GneSeedRandomWith(99);
  MakeMarchRhythm(a, 60);
  GneSeedRandomWith(99);
  MakeMarchRhythm(b, 60);
  for (int k = 0; k < kMarchCellCount; ++k) EXPECT_EQ(a[k], b[k]);
}

}  // namespace
