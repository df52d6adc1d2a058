#include <cstdint>
#include <cstring>
#include <set>

#include "engine/compose_info.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"
#include "platform/core/folders.h"
#include "tests/support/test_support.h"

namespace {

class PartHelpersTest : public EngineTest {};

TEST_F(PartHelpersTest, InstrumentGroupsDrawFromTheirList) {
  CurrentStyle().instrument[1] = 65;
  EXPECT_EQ(ResolveInstrumentProgram(65, 1), 65);
  EXPECT_EQ(ResolveInstrumentProgram(12, 1), 65);  // the channel's instrument
  const std::set<int> guitars = {24, 25, 26, 27, 46};
  std::set<int> seen;
  for (int i = 0; i < 500; ++i) {
    const int p = ResolveInstrumentProgram(137, 3);
    EXPECT_TRUE(guitars.count(p)) << p;
    seen.insert(p);
  }
  EXPECT_EQ(seen, guitars);
  for (int value = kFirstGroupValue; value <= kLastGroupValue; ++value) {
    const InstrumentGroup* g = FindInstrumentGroup(value);
    ASSERT_NE(g, nullptr);
    const int p = ResolveInstrumentProgram(value, 3);
    bool listed = false;
    for (int k = 0; k < g->count; ++k) listed = listed || g->programs[k] == p;
    EXPECT_TRUE(listed);
  }
  EXPECT_EQ(ResolveInstrumentProgram(145, 3), 0);
  EXPECT_EQ(ResolveInstrumentProgram(300, 3), 0);
}

TEST_F(PartHelpersTest, CustomVoicePitches) {
  ChordBlock block;
  std::memcpy(block.chord_code, "CMPo", 4);
  block.root = 60;
  block.third = 64;
  block.fifth = 67;
  block.seventh = 72;
  CustomGrid& grid = CurrentStyle().custom_grids[0].grid[kGridHarmony];
  for (int v = 0; v < kCustomVoiceCount; ++v) grid.pn_interval[v] = v;
  grid.pn_interval[0] = 9;
  grid.pn_interval[1] = 2;
  grid.pn_interval[13] = -3;  // no voice
  char weights[kToneWeightTextSize];
  BuildToneWeights("CMPo", weights);
  int pitches[kCustomVoiceCount];
  MakeCustomVoicePitches(pitches, block, weights);
  EXPECT_EQ(pitches[0], 64);   // degree 9: the third in the chord's octave
  EXPECT_EQ(pitches[1], 52);   // degree 2: an octave lower
  EXPECT_EQ(pitches[3], 53);   // degree 3: fifth - 2 = F, a scale tone, an octave down
  EXPECT_EQ(pitches[13], 0);
  // A tone outside the scale is lowered a semitone: root + 2 on a C# block.
  block.root = 61;
  MakeCustomVoicePitches(pitches, block, weights);
  EXPECT_EQ(pitches[8], 62);   // degree 8: 61 + 2 = D#, no scale tone: D
  EXPECT_EQ(pitches[7], 60);   // degree 7: C# is no scale tone: C
}

TEST_F(PartHelpersTest, HugeGridDegreesStayInTheirOctaveRange) {
  ChordBlock block;
  std::memcpy(block.chord_code, "CMPo", 4);
  block.root = 60;
  block.third = 64;
  block.fifth = 67;
  block.seventh = 72;
  char weights[kToneWeightTextSize];
  BuildToneWeights("CMPo", weights);
  for (int part : {kGridHarmony, kGridSubHarmony}) {
    CustomGrid& grid = CurrentStyle().custom_grids[0].grid[part];
    const int32_t kDegrees[] = {INT32_MAX, INT32_MAX - 6, 2000000000, 7 * 20, 7 * 11 + 6};
    for (int v = 0; v < kCustomVoiceCount; ++v) grid.pn_interval[v] = kDegrees[v % 5];
    int pitches[kCustomVoiceCount];
    if (part == kGridHarmony) {
      MakeCustomVoicePitches(pitches, block, weights);
      for (int p : pitches) EXPECT_EQ(p, 0);  // beyond the MIDI notes: no voice
    } else {
      MakeSubGridVoicePitches(pitches, block, weights);
      for (int p : pitches) EXPECT_LE(p, 72 + 10 * 12);
    }
  }
}

TEST_F(PartHelpersTest, RandomRiffNotesSoftenInnerTones) {
  for (uint32_t seed = 1; seed < 300; ++seed) {
    GneSeedRandomWith(seed);
    int degrees[kRiffDegreeCount];
    MakeRandomRiffNotes(degrees);
    int last = -1;
    for (int i = 0; i < kRiffDegreeCount; ++i)
      if (degrees[i] != 0) last = i;
    ASSERT_GE(last, 0);
    for (int i = 0; i < kRiffDegreeCount - 1; ++i) {
      if (i == last) continue;
      const int d = degrees[i];
      EXPECT_TRUE(d != 2 && d != 4 && d != 7 && d != 12 && d != 14 && d != 17) << seed << " " << i;
      EXPECT_GE(d, 0);
      EXPECT_LE(d, 18);
    }
  }
}

TEST_F(PartHelpersTest, SoftenRiffToneByDissonance) {
  CurrentStyle().parts[kMelodyChannel].dissonance = 0;
  int d = 7;
  SoftenRiffTone(&d);
  EXPECT_EQ(d, 7);  // dissonance used freely: kept
  CurrentStyle().parts[kMelodyChannel].dissonance = 10;
  std::set<int> seen;
  for (int i = 0; i < 200; ++i) {
    d = 7;
    SoftenRiffTone(&d);
    seen.insert(d);
  }
  EXPECT_EQ(seen, (std::set<int>{7, 11, 13, 15}));
  d = 13;
  SoftenRiffTone(&d);
  EXPECT_EQ(d, 13);
}

TEST_F(PartHelpersTest, LeadingRest) {
  VocalMelodyList().AppendNote(500, 0);
  VocalMelodyList().AppendNote(96, 60);
  InstrumentalMelodyList().AppendNote(300, 0);
  InstrumentalMelodyList().AppendNote(200, 0);
  InstrumentalMelodyList().AppendNote(96, 0);
  EXPECT_EQ(LeadingRestOf(VocalMelodyList()), 500);
  EXPECT_EQ(LeadingRestOf(InstrumentalMelodyList()), 500);  // stops once a bar is reached
  EXPECT_EQ(MelodyLeadingRest(), 500);
  CurrentStyle().metre = 1;
  EXPECT_EQ(LeadingRestOf(InstrumentalMelodyList()), 300);
  EXPECT_EQ(EighthsPerBar(2), 7);
  EXPECT_EQ(EighthsPerBar(9), 8);
}

TEST_F(PartHelpersTest, ModulationPointsAreNeverTaken) {
  ResetModulationPoints();
  for (int p = 0; p < 10; ++p) NoteModulationPoint(p);
  EXPECT_EQ(Modulation().chord_block_index[0], -1);
  EXPECT_EQ(Modulation().chord_block_index[1], -1);

  ChordEntry e;
  e.length = 384;
  std::memcpy(e.code, "DMPs", 4);
  ComposeInfo().AddChordBlock(e, nullptr);
  int32_t shift = -1;
  PickModulationShift(&shift);
  EXPECT_EQ(shift, 7);  // a dominant seventh leads a fourth up
  std::memcpy(e.code, "GMPs", 4);  // (7 + 5) mod 12 = 0 is drawn anew
  ComposeInfo().AddChordBlock(e, nullptr);
  PickModulationShift(&shift);
  EXPECT_GE(shift, 1);
  EXPECT_LE(shift, 11);
  std::memcpy(e.code, "AmPs", 4);
  ComposeInfo().AddChordBlock(e, nullptr);
  PickModulationShift(&shift);
  EXPECT_GE(shift, 1);
  EXPECT_LE(shift, 11);
}

TEST_F(PartHelpersTest, PatternCodeHelpers) {
  EXPECT_EQ(PatternStepValue(3), 16);
  EXPECT_EQ(PatternStepValue(9), 4);
  EXPECT_EQ(PatternStepValue(15), 32);
  EXPECT_EQ(PatternStepValue(19), 40);
  EXPECT_EQ(PatternStepValue(18), 64);
  EXPECT_EQ(PatternStepValue(2), 0);
  EXPECT_TRUE(IsCodeInMainSet(24));
  EXPECT_FALSE(IsCodeInMainSet(12));
  EXPECT_TRUE(IsCode0To2(0));
  EXPECT_TRUE(IsCode21Or22(22));
  EXPECT_TRUE(IsCode10Or12(12));
}

TEST_F(PartHelpersTest, LoudenLeadParts) {
  StyleRecord& s = CurrentStyle();
  s.mixer[kDrumChannel].volume = 100;
  s.mixer[kMelodyChannel].volume = 117;
  s.mixer[kHarmonyChannel].volume = 118;
  s.instrument[kHarmonyChannel] = 30;
  s.instrument[kSubHarmonyChannel] = 30;
  LoudenLeadParts(1);
  EXPECT_EQ(s.mixer[kDrumChannel].volume, 100);
  LoudenLeadParts(0);
  EXPECT_EQ(s.mixer[kDrumChannel].volume, 80);
  EXPECT_EQ(s.mixer[kMelodyChannel].volume, 127);
  EXPECT_EQ(s.mixer[kHarmonyChannel].volume, 118);
  EXPECT_EQ(s.instrument[kHarmonyChannel], 29);
  EXPECT_EQ(s.instrument[kSubHarmonyChannel], 29);
}

}  // namespace

namespace {

TEST_F(PartHelpersTest, MissingHelpPageIsReportedWithItsPath) {
  plat::SetProgramFolder(cantrel_test::TempDir());
  EXPECT_FALSE(OpenHelpPage());
  plat::SetProgramFolder(cantrel_test::SourceDir() / "resources");
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("GENE01000005 ", 0), 0u);
  EXPECT_NE(texts[0].find("pellmorj.html"), std::string::npos);
}

}  // namespace
