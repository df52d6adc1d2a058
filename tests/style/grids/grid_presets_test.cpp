#include "style/grid_presets.h"

#include <gtest/gtest.h>

#include "style/style_table.h"
#include "util/gne.h"

namespace {

StyleRecord Cleared() {
  StyleRecord r;
  ClearCustomGrids(r, 0, kGridBlockSize);
  return r;
}

CustomGrid& Grid(StyleRecord& r, int set, int part) { return r.custom_grids[set].grid[part]; }

std::vector<int> Column(const CustomGrid& g, int step) {
  std::vector<int> col;
  for (int row = 0; row < kGridRows; ++row) col.push_back(g.NoteTable[row][step]);
  return col;
}

TEST(FillContinuedSteps, AllContinuedStepsRepeatStepZero) {
  StyleRecord r = Cleared();
  CustomGrid& h = Grid(r, 0, kGridHarmony);
  h.NoteTable[2][0] = 1;
  h.NoteTable[6][0] = 1;
  for (int s = 1; s < 16; ++s) h.pn_continuem[s] = 1;
  FillContinuedSteps(r);
  for (int s = 1; s < 16; ++s) EXPECT_EQ(Column(h, s), Column(h, 0)) << s;
}

TEST(FillContinuedSteps, StepZeroTakesStepFifteenOfItsOwnSetWithoutUseX) {
  StyleRecord r = Cleared();
  CustomGrid& b = Grid(r, 0, kGridBass);
  b.NoteTable[4][15] = 1;
  b.pn_continuem[0] = 1;
  b.pn_continuem[1] = 1;
  FillContinuedSteps(r);
  EXPECT_EQ(b.NoteTable[4][0], 1);
  EXPECT_EQ(b.NoteTable[4][1], 1);  // carried on by the second pass
}

TEST(FillContinuedSteps, UseXJoinsTheHarmonySetsIntoOnePattern) {
  StyleRecord r = Cleared();
  r.use_x[kGridHarmony] = 1;
  CustomGrid& h0 = Grid(r, 0, kGridHarmony);
  CustomGrid& h1 = Grid(r, 1, kGridHarmony);
  h1.NoteTable[9][15] = 1;
  h0.NoteTable[3][15] = 1;
  h0.pn_continuem[0] = 1;
  h1.pn_continuem[0] = 1;
  FillContinuedSteps(r);
  EXPECT_EQ(h0.NoteTable[9][0], 1);  // from set 1's last step
  EXPECT_EQ(h1.NoteTable[3][0], 1);  // from set 0's last step
}

TEST(FillContinuedSteps, DrumGridAndLaterSetsAreNotCopied) {
  StyleRecord r = Cleared();
  CustomGrid& d = Grid(r, 0, kGridDrum);
  d.NoteTable[0][0] = 1;
  d.pn_continuem[1] = 1;
  CustomGrid& h2 = Grid(r, 2, kGridHarmony);
  h2.NoteTable[0][0] = 1;
  h2.pn_continuem[1] = 1;
  FillContinuedSteps(r);
  EXPECT_EQ(d.NoteTable[0][1], 0);
  EXPECT_EQ(d.pn_continuem[1], 1);
  EXPECT_EQ(h2.NoteTable[0][1], 0);
}

TEST(GridPresets, PresetWithoutFillLeavesFlagsUncopied) {
  StyleRecord r = Cleared();
  ApplyGridPreset(GridPreset::kSeventiesPopsHarmony, r);
  CustomGrid& h = Grid(r, 0, kGridHarmony);
  EXPECT_EQ(h.NoteTable[2][2], 1);
  EXPECT_EQ(h.NoteTable[6][14], 1);
  EXPECT_EQ(h.NoteTable[2][3], 0);

  StyleRecord cave = Cleared();
  ApplyGridPreset(GridPreset::kMysteryCaveHarmony, cave);
  EXPECT_EQ(Grid(cave, 0, kGridHarmony).NoteTable[4][4], 1);
}

TEST(GridPresets, NinetiesBassRepeatsIntoItsContinuedSteps) {
  StyleRecord r = Cleared();
  ApplyGridPreset(GridPreset::kNinetiesPopsBass, r);
  CustomGrid& b = Grid(r, 0, kGridBass);
  // r2 at 4, 6, 10, 14; r6 at 8, 12; steps 0 and 15 continue.
  EXPECT_EQ(b.NoteTable[2][14], 1);
  EXPECT_EQ(b.NoteTable[2][15], 1);  // 15 repeats 14
  EXPECT_EQ(b.NoteTable[2][0], 1);   // 0 repeats 15 on the second pass
  EXPECT_EQ(b.NoteTable[6][0], 0);
  EXPECT_EQ(b.NoteTable[2][1], 0);
}

TEST(GridPresets, PresetsStoreGridFieldsAndDrumNotes) {
  StyleRecord r = Cleared();
  ApplyGridPreset(GridPreset::kSymphonicRockHarmony, r);
  EXPECT_EQ(r.use_x[kGridHarmony], 2);
  EXPECT_EQ(r.continue_major[kGridHarmony], 1);
  EXPECT_EQ(r.stroke[kGridHarmony], 1);
  EXPECT_EQ(Grid(r, 1, kGridHarmony).NoteTable[7][4], 1);

  StyleRecord m = Cleared();
  ApplyGridPreset(GridPreset::kMambo, m);
  EXPECT_EQ(Grid(m, 0, kGridDrum).pn_interval[3], 34);
  EXPECT_EQ(Grid(m, 0, kGridDrum).pn_interval[5], 29);

  StyleRecord y = Cleared();
  ApplyGridPreset(GridPreset::kYosakoi, y);
  EXPECT_EQ(y.continue_major[kGridSubHarmony], 1);
  EXPECT_EQ(Grid(y, 0, kGridHarmony).NoteTable[2][11], 1);  // step 11 continues step 0
}

TEST(GridPresets, EveryPresetHasARowThatMarksCells) {
  for (int p = 0; p < kGridPresetCount; ++p) {
    StyleRecord r = Cleared();
    const std::vector<uint8_t> before = SerialiseStyleRecord(r);
    ApplyGridPreset(static_cast<GridPreset>(p), r);
    EXPECT_NE(SerialiseStyleRecord(r), before) << "preset " << p;
  }
}

TEST(GridPresets, RandomPresetsMarkOnlyTheirRows) {
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    StyleRecord r = Cleared();
    RandomChordGrids(r);
    RandomMelodicGrids(r);
    RandomSubHarmonyNotes(r);
    for (int part : {kGridHarmony, kGridSubHarmony}) {
      const CustomGrid& g = Grid(r, 0, part);
      for (int row = 0; row < kGridRows; ++row)
        for (int s = 0; s < kGridSteps; ++s) {
          ASSERT_TRUE(g.NoteTable[row][s] == 0 || g.NoteTable[row][s] == 1);
          if (row < 2 || row > 9) {
            ASSERT_EQ(g.NoteTable[row][s], 0) << row << " " << s;
          }
        }
    }
    ASSERT_EQ(Grid(r, 0, kGridBass).NoteTable[2][0], 0);
  }
}

}  // namespace
