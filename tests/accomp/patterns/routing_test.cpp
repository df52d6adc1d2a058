// Which figure a pattern code plays at which density, through the pattern
// table as the part writer calls it: each case renders the same song and
// seed as a density well inside the band it must fall into.
#include <gtest/gtest.h>

#include "accomp/harmony_patterns.h"
#include "accomp/rhythmical_patterns.h"
#include "engine/engine_state.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class RoutingTest : public PatternTest {
 protected:
  void SetUp() override {
    PatternTest::SetUp();
    std::vector<BlockSpec> blocks;
    const int lengths[] = {384, 768, 384, 192, 384, 384, 288, 384, 768, 384, 192, 384};
    for (int k = 0; k < 3; ++k)
      for (int l : lengths) blocks.push_back({k % 2 ? "AmPs" : "CMPs", l});
    SetBlocks(blocks);
    CurrentStyle().tempo = 500000;
  }

  static std::vector<NoteRow> Dispatched(int code, int density, uint32_t seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    EventList melody;
    HarmonyPatternGenerator generate = FindHarmonyPattern(code);
    EXPECT_NE(generate, nullptr) << code;
    if (generate != nullptr) generate(HarmonyPatternCall{kChannel, t, code, density, melody});
    return Rows(t);
  }

  // Density `density` plays what `inside` plays, and not what `outside` does.
  static void ExpectBand(int code, int density, int inside, int outside) {
    SCOPED_TRACE(testing::Message() << "code " << code << " density " << density);
    for (uint32_t seed : {3u, 17u, 101u}) {
      EXPECT_EQ(Dispatched(code, density, seed), Dispatched(code, inside, seed)) << seed;
    }
    bool differs = false;
    for (uint32_t seed : {3u, 17u, 101u})
      differs = differs || Dispatched(code, density, seed) != Dispatched(code, outside, seed);
    EXPECT_TRUE(differs) << "the neighbouring band " << outside << " plays the same";
  }
};

struct Band {
  int code, density, inside, outside;
};

TEST_F(RoutingTest, DensityBands) {
  const Band kBands[] = {
      // Whole notes: one variant per band.
      {12, 59, 40, 70}, {12, 60, 70, 40}, {12, 79, 70, 90}, {12, 80, 90, 70},
      {12, 99, 90, 110}, {12, 100, 110, 90}, {12, 119, 110, 130}, {12, 120, 130, 110},
      {12, 159, 130, 170}, {12, 160, 170, 130},
      // Rhythmic: the sparse figures below 100, the dense bars above, and their
      // 384-tick figure changing at 120.
      {20, 99, 60, 110}, {20, 100, 110, 60}, {20, 119, 110, 130}, {20, 120, 130, 110},
      // Enka: the folded voicing from 120.
      {22, 119, 100, 130}, {22, 120, 130, 100},
      // Complex arpeggio: the sparse figures, the degree figure (silent first
      // quarter at exactly 60), the place figures.
      {25, 59, 30, 100}, {25, 61, 100, 30}, {25, 119, 100, 130}, {25, 120, 130, 100},
      // Accent strokes: the light variant up to 60.
      {29, 60, 40, 100}, {29, 61, 100, 40},
  };
  for (const Band& b : kBands) ExpectBand(b.code, b.density, b.inside, b.outside);
}

// Density 60 of code 25 is the degree figure with a silent first quarter:
// 61 plays those blocks.
TEST_F(RoutingTest, ComplexArpeggioSixtyIsSilentAtFirst) {
  const int quarter_end = static_cast<int>(BlockStart(ComposeInfo().chord_block_count() / 4 + 1));
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    for (int density : {60, 61}) {
      int early = 0;
      for (const NoteRow& r : Dispatched(25, density, seed))
        early += std::get<0>(r) < quarter_end && std::get<3>(r) > 0;
      if (density == 60) {
        EXPECT_EQ(early, 0) << seed;
      } else {
        EXPECT_GT(early, 0) << seed;
      }
    }
  }
}

// Code 29's two variants are the accent and the light stroke generators.
TEST_F(RoutingTest, AccentStrokeVariants) {
  for (uint32_t seed : {5u, 6u}) {
    GneSeedRandomWith(seed);
    PartTrack light, full;
    GenerateAccentStrokeLightPattern(kChannel, light);
    GneSeedRandomWith(seed);
    GenerateAccentStrokePattern(kChannel, full);
    EXPECT_EQ(Dispatched(29, 60, seed), Rows(light));
    EXPECT_EQ(Dispatched(29, 61, seed), Rows(full));
  }
}

// Code 17's last block: the plain ending plays it like the others (eighth
// strums from its start), the ending figure rests 384 ticks and then strums.
TEST_F(RoutingTest, RhythmicalTechnoLastBlock) {
  SetBlocks({{"CMPs", 384}, {"FMPS", 384}, {"GMPs", 768}});
  const int64_t last = BlockStart(2);
  for (int flag : {0, 1}) {
    PlainEndingFlag() = flag;
    for (uint32_t seed = 1; seed <= 10; ++seed) {
      std::vector<int64_t> onsets;
      for (const NoteRow& r : Dispatched(17, 100, seed))
        if (std::get<0>(r) >= last && std::get<3>(r) > 0) onsets.push_back(std::get<0>(r) - last);
      ASSERT_FALSE(onsets.empty());
      if (flag == 1) {
        EXPECT_EQ(onsets.front(), 0) << seed;
        EXPECT_EQ(onsets.size(), 16u * 3) << seed;
      } else {
        EXPECT_EQ(onsets, (std::vector<int64_t>{384, 388, 392, 396})) << seed;
      }
    }
  }
}

}  // namespace
}  // namespace pattern_test
