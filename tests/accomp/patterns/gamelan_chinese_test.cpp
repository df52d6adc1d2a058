// Gamelan and Chinese patterns.
#include <gtest/gtest.h>

#include "accomp/gamelan_chinese.h"
#include "engine/tone_weights.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class GamelanChineseTest : public PatternTest {};

TEST_F(GamelanChineseTest, OctaveTriplets) {
  SetGrid(true);
  SetBlocks({{"CMPo", 384}, {"FMPo", 144}, {"GMPo", 384}});
  PartTrack t;
  GamelanOctaveTriplets(kChannel, t);
  const auto bar = SoundingIn(t, 0, 384);
  ASSERT_EQ(bar.size(), 12u);
  for (size_t k = 0; k < 12; ++k) {
    EXPECT_EQ(std::get<0>(bar[k]), 32 * static_cast<int64_t>(k));
    EXPECT_EQ(std::get<2>(bar[k]), 60 + 12 * static_cast<int>(k % 3));
    EXPECT_EQ(std::get<3>(bar[k]), 34 + static_cast<int>(k / 3));
  }
  // 144 ticks: one beat, and the next block on time.
  EXPECT_EQ(SoundingIn(t, 384, 528).size(), 3u);
  EXPECT_EQ(Onsets(SoundingIn(t, 528, 912)).front(), 528);
}

// Tremolos rise without limit in the pattern; a long chord holds at 127.
TEST_F(GamelanChineseTest, TremoloVelocitiesStopAt127) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{"CMPo", 1536}});
    PartTrack t;
    GamelanStraight(kChannel, t);
    for (const NoteRow& n : Rows(t)) EXPECT_LE(std::get<3>(n), 127);
  }
  GneSeedRandomWith(1);
  SetBlocks({{"CMPo", 384}});
  int tremolos = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GamelanStraight(kChannel, t);
    const auto notes = Sounding(t);
    if (notes.size() != 32) continue;  // a tremolo: 32 notes 12 ticks apart
    ++tremolos;
    for (size_t k = 0; k < notes.size(); ++k) EXPECT_EQ(std::get<0>(notes[k]), 12 * static_cast<int64_t>(k));
    const int first = std::get<3>(notes.front());
    EXPECT_TRUE(first == 34 || first == 44);
    EXPECT_EQ(std::get<3>(notes.back()), first == 34 ? 49 : 74);
  }
  EXPECT_GT(tremolos, 0);
}

// An odd count of sixteenths: the strong-tone textures end with the block.
TEST_F(GamelanChineseTest, StrongTonesStayInTheirBlock) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{"CMPo", 168}, {"FMPo", 384}});
    PartTrack t;
    GamelanStraight(kChannel, t);
    EXPECT_EQ(Onsets(SoundingIn(t, 168, 552)).front(), 168) << seed;
    for (const NoteRow& n : SoundingIn(t, 0, 168)) EXPECT_LT(std::get<0>(n), 168);
  }
}

TEST_F(GamelanChineseTest, ChineseLineOpensAndClosesOnTriadTones) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{"CMPo", 384}, {"AmPo", 24}});
    SetTones(0, 60, 64, 67, 72, 36);
    SetTones(1, 69, 72, 76, 81, 45);
    PartTrack t;
    ChineseLine(kChannel, t, 100);
    const auto rows = Rows(t);
    ASSERT_EQ(rows.size(), 17u);
    for (size_t k = 0; k < 16; ++k) {
      EXPECT_EQ(std::get<0>(rows[k]), 24 * static_cast<int64_t>(k));
      EXPECT_TRUE(std::get<4>(rows[k]) == 15 || std::get<2>(rows[k]) == 0);
    }
    for (size_t k : {size_t{0}, size_t{15}}) {
      const int p = std::get<2>(rows[k]);
      EXPECT_TRUE(p == 60 || p == 64 || p == 67) << p;
    }
    const int last = std::get<2>(rows[16]);
    EXPECT_TRUE(last == 69 || last == 72 || last == 76) << last;
  }
}

// Equal tones in a row: the second is silent, and no non-chord tone follows a
// silent step; a sounding non-chord tone is followed by a chord tone. At
// density 100 no random rests; below it, some.
TEST_F(GamelanChineseTest, ChineseLineRules) {
  for (int density : {100, 99}) {
    int silent_chord_tones = 0;
    for (uint32_t seed = 1; seed <= 30; ++seed) {
      GneSeedRandomWith(seed);
      SetRepeated("CMPo", 384, 2);
      for (int i = 0; i < 2; ++i) SetTones(i, 60, 64, 67, 72, 36);
      PartTrack t;
      ChineseLine(kChannel, t, density);
      const auto rows = Rows(t);
      const ChordBlock& b = Block(0);
      for (size_t k = 1; k < rows.size(); ++k) {
        const int p = std::get<2>(rows[k]), v = std::get<3>(rows[k]);
        const int pp = std::get<2>(rows[k - 1]), pv = std::get<3>(rows[k - 1]);
        if (p == pp) {
          EXPECT_EQ(v, 0);
        }
        if (v > 0 && !b.IsChordTone(p)) {
          EXPECT_GT(pv, 0) << seed;
        }
        if (pv > 0 && !b.IsChordTone(pp)) {
          EXPECT_TRUE(b.IsChordTone(p)) << seed;
        }
        if (v == 0 && p != pp && b.IsChordTone(p) && k % 16 != 0 && k % 16 != 15) ++silent_chord_tones;
      }
    }
    EXPECT_EQ(silent_chord_tones > 0, density < 100) << density;
  }
}

// On a no-chord block the line tone is never a chord or scale tone: after 64
// draws it is the root, which rests.
TEST_F(GamelanChineseTest, NoChordLineEnds) {
  CurrentStyle().scale = kCustomScaleCode;
  SetStyleText(CurrentStyle().scale_tones, "xxxx000000000000");
  SetBlocks({{"NMPo", 96}});
  EXPECT_EQ(ChineseLineTone(Block(0)), 0);
  PartTrack t;
  ChineseTripletLine(kChannel, t);
  GenerateChinesePattern(kChannel, t, 100);
  EXPECT_TRUE(Sounding(t).empty());
}

}  // namespace
}  // namespace pattern_test
