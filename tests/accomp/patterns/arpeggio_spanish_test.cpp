// Slow arpeggio and Spanish patterns.
#include <gtest/gtest.h>

#include "accomp/arpeggio_spanish.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class ArpeggioSpanishTest : public PatternTest {};

std::vector<int> PitchSequence(const std::vector<NoteRow>& rows) {
  std::vector<int> out;
  for (const NoteRow& r : rows) out.push_back(std::get<2>(r));
  return out;
}

TEST_F(ArpeggioSpanishTest, SlowArpeggioOrder) {
  struct Case { bool triplet; bool bass; int seventh; std::vector<int> pitches; int step; };
  const Case cases[] = {
      {false, true, 71, {71, 67, 64, 67, 71, 64, 67, 71}, 48},
      {false, false, 71, {60, 67, 64, 67, 71, 64, 67, 71}, 48},
      {true, true, 71, {60, 64, 67, 71, 67, 64, 60, 64, 67, 71, 67, 64}, 32},
      // No seventh: its steps are silent but keep their time.
      {false, true, 0, {0, 67, 64, 67, 0, 64, 67, 0}, 48},
  };
  for (const Case& c : cases) {
    SetGrid(c.triplet);
    SetBassPart(c.bass);
    SetBlocks({{"CMPS", 384}});
    SetTones(0, 60, 64, 67, c.seventh, 36);
    PartTrack t;
    GenerateSlowArpeggio(kChannel, t);
    const auto rows = Rows(t);
    EXPECT_EQ(PitchSequence(rows), c.pitches) << c.triplet << c.bass << c.seventh;
    for (size_t j = 0; j < rows.size(); ++j) EXPECT_EQ(std::get<0>(rows[j]), c.step * static_cast<int64_t>(j));
  }
}

// 7/8 on the triplet grid: ten notes, and the next block still starts on
// its own start.
TEST_F(ArpeggioSpanishTest, SlowArpeggioTripletSevenEight) {
  SetGrid(true);
  SetMetre(2);
  SetBlocks({{"CMPs", 336}, {"FMPs", 336}});
  PartTrack t;
  GenerateSlowArpeggio(kChannel, t);
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 336)).size(), 10u);
  EXPECT_EQ(Onsets(SoundingIn(t, 336, 672)).front(), 336);
}

TEST_F(ArpeggioSpanishTest, SpanishStrums) {
  SetBlocks({{"CMPo", 96}});
  SetTones(0, 60, 64, 67, 72, 36);
  PartTrack t;
  GenerateSpanishPattern(kChannel, t);
  const auto rows = Sounding(t);
  ASSERT_EQ(rows.size(), 24u);
  const std::vector<int> unit = {67, 64, 60, 55, 60, 64};
  const std::vector<int> at = {0, 3, 6, 12, 15, 18};
  for (size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(std::get<2>(rows[k]), unit[k % 6]) << k;
    EXPECT_EQ(std::get<0>(rows[k]), 24 * static_cast<int64_t>(k / 6) + at[k % 6]) << k;
    EXPECT_EQ(std::get<3>(rows[k]), 84);
    EXPECT_EQ(std::get<4>(rows[k]), 8);
  }
}

TEST_F(ArpeggioSpanishTest, SpanishHighThirdDropsAnOctave) {
  SetBlocks({{"BMPo", 24}});
  SetTones(0, 71, 83, 78, 71, 47);
  PartTrack t;
  GenerateSpanishPattern(kChannel, t);
  EXPECT_EQ(PitchSequence(Sounding(t)), (std::vector<int>{78, 71, 71, 66, 71, 71}));
}

TEST_F(ArpeggioSpanishTest, SpanishTriplet) {
  SetGrid(true);
  SetMetre(1);
  SetBlocks({{"CMPo", 288}});
  SetTones(0, 60, 64, 67, 72, 36);
  PartTrack t;
  GenerateSpanishPattern(kChannel, t);
  const auto rows = Sounding(t);
  EXPECT_EQ(Onsets(rows), (std::vector<int64_t>{0, 64, 96, 160, 192, 256}));
  EXPECT_EQ(PitchesAt(rows, 0), (std::vector<int>{60, 67}));
  EXPECT_EQ(PitchesAt(rows, 64), (std::vector<int>{60, 64}));
}

}  // namespace
}  // namespace pattern_test
