// The oom-pah and dance figures: ragtime, rockabilly, bolero, waltz and jazz
// waltz.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "accomp/oompah_dance.h"
#include "accomp/pattern_common.h"
#include "engine/engine_state.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class DanceTest : public PatternTest {};

// Most straight bars: the bass on beats 1 and 3, the chord on 2 and 4; now
// and then one of the three-event figures.
TEST_F(DanceTest, RagtimeBars) {
  SetRepeated("CMPs", 384, 17);
  for (int k = 0; k < 17; ++k) SetTones(k, 60, 64, 67, 70, 48);
  int oompah = 0, figures = 0;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateRagtimePattern(kChannel, t);
    for (int bar = 0; bar < 16; ++bar) {
      std::vector<int64_t> onsets = Onsets(SoundingIn(t, 384 * bar, 384 * bar + 384));
      for (int64_t& o : onsets) o -= 384 * bar;
      if (onsets == std::vector<int64_t>{0, 96, 192, 288}) {
        ++oompah;
      } else {
        EXPECT_TRUE(onsets == (std::vector<int64_t>{0, 96, 192}) ||
                    onsets == (std::vector<int64_t>{0, 96, 288}))
            << "seed " << seed << " bar " << bar;
        ++figures;
      }
    }
  }
  EXPECT_GT(oompah, 3 * figures);
  EXPECT_GT(figures, 0);
}

// A song of one chord plays only the closing figure.
TEST_F(DanceTest, RagtimeClosingOnASingleBlock) {
  struct Case {
    int length;
    std::vector<int64_t> onsets;
  };
  const Case cases[] = {{192, {0}}, {288, {0, 96}}, {384, {0, 96, 288}}, {768, {0, 96, 288, 480}}};
  for (const Case& c : cases) {
    SetBlocks({{"CMPs", c.length}});
    PartTrack t;
    GenerateRagtimePattern(kChannel, t);
    EXPECT_EQ(Onsets(Sounding(t)), c.onsets) << c.length;
  }
}

TEST_F(DanceTest, RockabillyStabsCountOnAcrossBlocks) {
  SetRepeated("CMPs", 384, 4);
  SetSections({"BXXX", "BXXX", "BXXX", "BXXX"});
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    RockabillyStabCounter() = 0;
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateRockabillyPattern(kChannel, t);
    const auto stabs = [&](int block) {
      const auto notes = SoundingIn(t, 384 * block, 384 * block + 384);
      return Onsets(notes) == std::vector<int64_t>{384 * block, 384 * block + 192} &&
             std::get<3>(notes.front()) == 79;
    };
    EXPECT_TRUE(stabs(0));
    EXPECT_TRUE(stabs(1));
    EXPECT_FALSE(stabs(2));
    EXPECT_TRUE(stabs(3));
    EXPECT_EQ(RockabillyStabCounter(), 2);
  }
  // The counter is the engine's: its reset clears it.
  ResetEngineState();
  EXPECT_EQ(RockabillyStabCounter(), 0);
}

TEST_F(DanceTest, BoleroStartsItsTableEachBlock) {
  SetRepeated("CMPs", 384, 2);
  PartTrack t;
  GenerateBoleroPattern(kChannel, t);
  const std::vector<int64_t> bar = {0, 72, 96, 120, 144, 216, 240, 264, 288, 360};
  std::vector<int64_t> both = bar;
  for (int64_t o : bar) both.push_back(o + 384);
  EXPECT_EQ(Onsets(Sounding(t)), both);
  for (const NoteRow& n : Sounding(t)) EXPECT_EQ(std::get<2>(n), Block(0).fifth);
}

TEST_F(DanceTest, JazzWaltzSteps) {
  SetMetre(1);
  SetBlocks({{"CMPs", 288}, {"FMPs", 100}, {"GMPs", 288}});
  PartTrack t;
  GenerateJazzWaltzPattern(kChannel, t);
  EXPECT_EQ(ErrorCount(accomp::kMetreError), 1);
  // Steps 0..5 in the first bar: root, chord, -, root, -, chord.
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 288)), (std::vector<int64_t>{0, 48, 144, 240}));
  // The 100-tick block: steps 6 and 7 (a low fifth, then nothing).
  EXPECT_EQ(Onsets(SoundingIn(t, 288, 388)), std::vector<int64_t>{288});
  // Step 8 is the doubled chord, on the next block's start.
  const auto next = SoundingIn(t, 388, 400);
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(std::get<0>(next.front()), 388);
  EXPECT_EQ(std::get<4>(next.front()), 94);
}

TEST_F(DanceTest, WaltzInSixEightPlaysDottedQuarters) {
  SetMetre(1, true);
  SetRepeated("CMPs", 288, 2);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateWaltzPattern(kChannel, t);
    // The first block is never past half the song: two held triads.
    EXPECT_EQ(Onsets(SoundingIn(t, 0, 288)), (std::vector<int64_t>{0, 144}));
    for (const NoteRow& n : SoundingIn(t, 0, 288)) EXPECT_EQ(std::get<4>(n), 72);
  }
}

TEST_F(DanceTest, WaltzQuartersSkipTheDownbeatOfEachFour) {
  SetMetre(1);
  // On the triplet grid, where no odd block draws the eighths figure.
  SetGrid(true);
  // Quarters are counted over the song and quarters 0, 4, 8 ... are silent;
  // the song's last block opens with its triad all the same.
  const std::pair<int, std::vector<int64_t>> cases[] = {{2, {96, 192, 288, 480}},
                                                        {1, {0, 96, 192}}};
  for (const auto& [blocks, onsets] : cases) {
    SetRepeated("CMPs", 288, blocks);
    PartTrack t;
    GenerateWaltzPattern(kChannel, t);
    EXPECT_EQ(Onsets(Sounding(t)), onsets) << blocks << " blocks";
  }
}

}  // namespace
}  // namespace pattern_test
