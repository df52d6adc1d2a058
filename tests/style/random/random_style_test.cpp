#include "style/random_style.h"

#include <gtest/gtest.h>

#include <string>

#include "style/style_table.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

class RandomStyleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStyleModule();
    SetStyleDefaults(CurrentStyle());
    for (int ch : {1, 2, 3, 4, 7}) CurrentStyle().instrument[ch] = 0;
    cantrel_test::Sink().Clear();
  }
  void TearDown() override { ResetStyleModule(); }
};

TEST_F(RandomStyleTest, WrongPartOrCategoryIsReportedAndChangesNothing) {
  const StyleRecord before = CurrentStyle();
  RandomInstrument(kRandomPartBass, 2);
  RandomInstrument(kRandomPartMelody, 6);
  RandomInstrument(kRandomPartMelody, 1);
  RandomInstrument(5, 0);
  const std::vector<std::string> texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0].substr(0, 12), "OVXCFF010177");
  EXPECT_EQ(texts[1].substr(0, 12), "OVXCFF010178");
  EXPECT_EQ(texts[2].substr(0, 12), "OVXCFF010178");
  EXPECT_EQ(texts[3].substr(0, 12), "OVXCFF010177");
  EXPECT_EQ(SerialiseStyleRecord(CurrentStyle()), SerialiseStyleRecord(before));
}

TEST_F(RandomStyleTest, DrawnProgramsComeFromTheCategoryColumn) {
  struct Case {
    int part, category, column;
  };
  const Case cases[] = {{1, 0, 0}, {3, 0, 2}, {2, 0, 3}, {4, 0, 4}, {7, 0, 5}, {1, 2, 6}, {7, 2, 7},
                        {2, 3, 10}, {3, 4, 11}, {2, 5, 14}, {1, 7, 15}, {2, 7, 16}, {2, 8, 19}};
  for (const Case& c : cases) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      RandomInstrument(c.part, c.category);
      const int32_t p = CurrentStyle().instrument[c.part];
      ASSERT_NE(InstrumentChoice(p, c.column), 0) << c.part << "/" << c.category << ": " << p;
    }
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(RandomStyleTest, PartThatIsOffStaysOff) {
  CurrentStyle().instrument[1] = kInstrumentOff;
  CurrentStyle().mixer[1].volume = 90;
  RandomInstrument(kRandomPartMelody, 0);
  EXPECT_EQ(CurrentStyle().instrument[1], kInstrumentOff);
  EXPECT_EQ(CurrentStyle().mixer[1].volume, 90);
}

TEST_F(RandomStyleTest, VolumeBonusAndResonanceStayWithinMidiRange) {
  int bonus_seen = 0;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    GneSeedRandomWith(seed);
    CurrentStyle().mixer[1].volume = 125;
    CurrentStyle().mixer[2].resonance = 120;
    RandomInstrument(kRandomPartMelody, 0);
    RandomInstrument(kRandomPartBass, 0);
    const int32_t p = CurrentStyle().instrument[1];
    if (p == 22 || p == 53) {
      ++bonus_seen;
      EXPECT_EQ(CurrentStyle().mixer[1].volume, 127);  // 125 + 10, clamped
    } else {
      EXPECT_EQ(CurrentStyle().mixer[1].volume, 125);
    }
    EXPECT_LE(CurrentStyle().mixer[2].resonance, 127);
  }
  EXPECT_GT(bonus_seen, 0);
}

TEST_F(RandomStyleTest, MixerBytesNeverWrap) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    CurrentStyle().mixer[2].resonance = static_cast<uint8_t>(seed % 2 == 0 ? 0 : 126);
    RandomMixer();
    const StyleRecord& r = CurrentStyle();
    for (int ch : {1, 2, 3, 9}) {
      EXPECT_GE(r.mixer[ch].reverb, 64);
      EXPECT_LE(r.mixer[ch].reverb, 127);
    }
    EXPECT_LE(r.mixer[2].resonance, 127);
    if (seed % 2 == 0) {
      EXPECT_LE(r.mixer[2].resonance, 26);  // 0 + (0..30) - 4, never wrapped
    }
    for (int ch : {1, 3, 4, 5, 9}) {
      EXPECT_GE(r.mixer[ch].resonance, 64);
      EXPECT_LE(r.mixer[ch].resonance, 80);
    }
  }
}

TEST_F(RandomStyleTest, HealingInstrumentsLowerVolumesWithoutWrapping) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    CurrentStyle().mixer[3].volume = 5;
    CurrentStyle().instrument[9] = 1;
    RandomHealingInstruments();
    EXPECT_LE(CurrentStyle().mixer[3].volume, 5);
    const int32_t kit = CurrentStyle().instrument[9];
    EXPECT_TRUE(kit == kDrumKitAcoustic || kit == kInstrumentOff);
  }
}

TEST_F(RandomStyleTest, SmallGeneratorsStayInTheirValues) {
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    RandomBassPattern();
    RandomMelodyRhythm();
    RandomMetre();
    RandomMelodyAlgorithm();
    RandomProgression();
    RandomKeyMode();
    RandomTempo(8);
    const StyleRecord& r = CurrentStyle();
    EXPECT_TRUE(r.bass_pattern == 9 || r.bass_pattern == 5 || r.bass_pattern == 19);
    EXPECT_TRUE(r.metre == 0 || r.metre == 1);
    EXPECT_GE(r.parts[1].algorithm, 1);
    EXPECT_LE(r.parts[1].algorithm, 6);
    EXPECT_GE(r.progression, 2);
    EXPECT_LE(r.progression, 4);
    EXPECT_TRUE(r.tempo == 500000 || r.tempo == 400000 || r.tempo == 300000);
  }
  CurrentStyle().tempo = 123456;
  RandomTempo(9);
  EXPECT_EQ(CurrentStyle().tempo, 123456);
}

TEST_F(RandomStyleTest, HarmonyStrokeOnlyForGuitars) {
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    ClearCustomGrids(CurrentStyle(), 0, kGridBlockSize);
    CurrentStyle().instrument[3] = 48;
    RandomHarmonyGrid();
    EXPECT_EQ(CurrentStyle().stroke[kGridHarmony], 0);
    CurrentStyle().instrument[3] = 25;
    RandomHarmonyGrid();
    EXPECT_EQ(CurrentStyle().stroke[kGridHarmony], 1);
  }
}

TEST_F(RandomStyleTest, SubHarmonyJoinsStepsOnlyUnderAGuitarHarmony) {
  int joined = 0;
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    ClearCustomGrids(CurrentStyle(), 0, kGridBlockSize);
    CurrentStyle().instrument[3] = 48;  // strings harmony, guitar sub-harmony
    CurrentStyle().instrument[7] = 25;
    RandomSubHarmonyGrid();
    const CustomGrid& g = CurrentStyle().custom_grids[0].grid[kGridSubHarmony];
    for (int s = 0; s < 16; s += 2) EXPECT_EQ(g.pn_continuem[s + 1], s + 2 < 16 ? g.pn_continuem[s + 2] : 0);
    ClearCustomGrids(CurrentStyle(), 0, kGridBlockSize);
    CurrentStyle().instrument[3] = 25;
    RandomSubHarmonyGrid();
    for (int32_t v : CurrentStyle().custom_grids[0].grid[kGridSubHarmony].pn_continuem) joined += v;
  }
  EXPECT_GT(joined, 0);
}

TEST_F(RandomStyleTest, GridGeneratorsMarkOnlyCellsOfTheirGrid) {
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    ClearCustomGrids(CurrentStyle(), 0, kGridBlockSize);
    RandomBassGrid();
    RandomDrumGrid();
    const StyleRecord& r = CurrentStyle();
    const CustomGrid& bass = r.custom_grids[0].grid[kGridBass];
    const CustomGrid& drum = r.custom_grids[0].grid[kGridDrum];
    for (int row = 0; row < kGridRows; ++row)
      for (int s = 0; s < kGridSteps; ++s) {
        if (row != 2 && row != 4 && row != 6) {
          ASSERT_EQ(bass.NoteTable[row][s], 0);
        }
        if (row != 0 && row != 2 && row != 5 && row != 9) {
          ASSERT_EQ(drum.NoteTable[row][s], 0);
        }
      }
    ASSERT_EQ(r.custom_grids[0].grid[kGridHarmony].NoteTable[2][0], 0);
  }
}

}  // namespace
