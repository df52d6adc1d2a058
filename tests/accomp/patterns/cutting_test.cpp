// The cutting accompaniment: its grids, counters, sections and closing runs.
#include <gtest/gtest.h>

#include "accomp/cutting.h"
#include "accomp/harmony_patterns.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;
using Hits = std::vector<std::pair<int64_t, int>>;  // onset and length of each stroke

class CuttingTest : public PatternTest {
 protected:
  static std::vector<NoteRow> Play(int density) {
    static const EventList kNoMelody;
    PartTrack t;
    FindHarmonyPattern(54)(HarmonyPatternCall{kChannel, t, 54, density, kNoMelody});
    return Sounding(t);
  }
  static Hits Strokes(const std::vector<NoteRow>& notes) {
    Hits out;
    for (const NoteRow& n : notes)
      if (out.empty() || out.back().first != std::get<0>(n)) out.emplace_back(std::get<0>(n), std::get<4>(n));
    return out;
  }
};

const Hits kFirstHalf = {{48, 24}, {96, 5}, {144, 5}, {192, 24}, {240, 5}, {288, 5}};

TEST_F(CuttingTest, StepCountersAndSections) {
  struct Case {
    const char* name;
    std::vector<BlockSpec> blocks;
    std::vector<const char*> sections;
    bool triplet;
    int density;
    Hits hits;
  };
  const Case cases[] = {
      {"bar chords restart", {{"CMPs", 384}, {"FMPs", 384}}, {}, false, 100,
       {{48, 24}, {96, 5}, {144, 5}, {192, 24}, {240, 5}, {288, 5},
        {432, 24}, {480, 5}, {528, 5}, {576, 24}, {624, 5}, {672, 5}}},
      {"half bars run on", {{"CMPs", 192}, {"FMPs", 192}}, {}, false, 100, kFirstHalf},
      {"two-bar chord plays the whole table", {{"CMPs", 768}}, {}, false, 100,
       {{48, 24}, {96, 5}, {144, 5}, {192, 24}, {240, 5}, {288, 5}, {384, 24}, {432, 24},
        {528, 24}, {624, 46}, {672, 46}, {720, 46}}},
      {"section B", {{"CMPs", 384}}, {"BXXX"}, false, 100, {{48, 24}, {144, 24}, {240, 24}, {336, 24}}},
      {"section A", {{"CMPs", 384}}, {"AXXX"}, false, 100,
       {{48, 24}, {96, 5}, {144, 5}, {192, 24}, {240, 5}, {288, 5}}},
      {"sparse triplets at 60", {{"CMPs", 384}}, {}, true, 60, {{64, 24}, {160, 24}, {256, 24}, {352, 24}}},
      {"triplets above 60", {{"CMPs", 384}}, {}, true, 61,
       {{64, 24}, {192, 24}, {256, 24}, {288, 46}, {320, 46}, {352, 46}}},
      {"short triplet chords run on", {{"CMPs", 192}, {"FMPs", 192}, {"CMPs", 384}}, {}, true, 61,
       {{64, 24}, {192, 24}, {256, 24}, {288, 46}, {320, 46}, {352, 46},
        {448, 24}, {576, 24}, {640, 24}, {672, 46}, {704, 46}, {736, 46}}},
      // Run on, the beat would fall on the table's silent steps 3 to 5.
      {"the song's last block starts the table again", {{"CMPs", 96}, {"FMPs", 96}}, {}, true, 61,
       {{64, 24}, {160, 24}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetGrid(c.triplet);
    SetBlocks(c.blocks);
    SetSections(c.sections);
    EXPECT_EQ(Strokes(Play(c.density)), c.hits);
  }
}

TEST_F(CuttingTest, ChordsAreVoiceLedTriadsAndRunsAreOctavePairs) {
  SetBlocks({{"CMPs", 768}, {"AmPs", 384}});
  const auto notes = Play(100);
  EXPECT_EQ(PitchesAt(notes, 48), (std::vector<int>{60, 64, 67}));  // root position first
  EXPECT_EQ(PitchesAt(notes, 624), (std::vector<int>{52, 64}));
  EXPECT_EQ(PitchesAt(notes, 720), (std::vector<int>{48, 60}));
  const std::vector<int> passing = PitchesAt(notes, 672);
  ASSERT_EQ(passing.size(), 2u);
  EXPECT_EQ(passing[1] - passing[0], 12);
  EXPECT_LE(passing[1], 62);
  EXPECT_GE(Block(0).ToneWeight(passing[1]), 5);
  // The next chord keeps its top voice near the last one's.
  const std::vector<int> next = PitchesAt(notes, 768 + 48);
  ASSERT_EQ(next.size(), 3u);
  EXPECT_LE(std::abs(next.back() - 67), 5);
}

// A chord without a root or third rests those voices and their runs; the
// passing tone of a missing root rests too.
TEST_F(CuttingTest, MissingTonesRest) {
  SetBlocks({{"CMPs", 768}});
  SetTones(0, 0, 0, 67, 70, 48);
  const auto notes = Play(100);
  for (const NoteRow& n : notes) EXPECT_EQ(std::get<2>(n) % 12, 7) << std::get<0>(n);
  EXPECT_TRUE(PitchesAt(notes, 624).empty());
  EXPECT_TRUE(PitchesAt(notes, 672).empty());
  EXPECT_TRUE(PitchesAt(notes, 720).empty());
}

}  // namespace
}  // namespace pattern_test
