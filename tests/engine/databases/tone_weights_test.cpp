#include <cstring>
#include <set>
#include <cstdint>
#include <string>

#include "engine/chord_block.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"

namespace {

class ToneWeightsTest : public EngineTest {
 protected:
  static std::string Weights(const char* code) {
    char out[kToneWeightTextSize];
    BuildToneWeights(code, out);
    return std::string(out, 16);
  }
  static std::string Template(int code) {
    char out[kToneWeightTextSize];
    GetScaleTemplate(code, out);
    return std::string(out, 16);
  }
};

// The templates as the table gives them, C as tonic, major and minor columns.
struct Row {
  int code;
  const char* major;
  const char* minor;
};
const Row kRows[] = {
    {1, "919299192929", "919295555929"},  {7, "929299292929", "929295555929"},
    {6, "919959199595", "919957777595"},  {3, "900099090009", "900099090009"},
    {2, "900099090009", "900099090009"},  {4, "909009090900", "909009090900"},
    {9, "009090090909", "009090090909"},  {10, "990099099009", "990099099009"},
    {5, "909909099009", "909909099009"},  {8, "959398696897", "959398696897"},
    {12, "909090909090", "909090909090"}, {13, "990009099000", "990009099000"},
    {14, "909099909099", "909099909099"}, {15, "990099099009", "990099099009"},
    {16, "900990990990", "900990990990"}, {20, "909900000099", "909900000099"},
    {17, "909099090990", "909099090990"}, {18, "909090990909", "909090990909"},
    {19, "990990990990", "990990990990"}, {21, "909099009909", "909099009909"},
    {22, "990909090909", "909099009990"}, {24, "990090909099", "990090909099"},
    {25, "909900999009", "909900999009"},
};

std::string Rotate(const std::string& digits, int key) {
  const int k = ((key % 12) + 12) % 12;
  std::string out(12, '?');
  for (int pc = 0; pc < 12; ++pc) out[(pc + k) % 12] = digits[pc];
  return out;
}

TEST_F(ToneWeightsTest, EveryTemplateModeAndKey) {
  StyleRecord& s = CurrentStyle();
  for (const Row& row : kRows) {
    for (int mode : {1, 2}) {
      for (int key = -12; key <= 12; ++key) {
        s.scale = row.code;
        s.key_mode = mode;
        s.key_offset = key;
        const std::string expect = "xxxx" + Rotate(mode == 1 ? row.major : row.minor, key);
        EXPECT_EQ(Template(row.code), expect) << row.code << " mode " << mode << " key " << key;
        // "NoCd" weighs exactly the scale.
        EXPECT_EQ(Weights("NoCd"), expect);
      }
    }
  }
}

TEST_F(ToneWeightsTest, KeyExamples) {
  CurrentStyle().key_offset = 2;
  EXPECT_EQ(Template(1), "xxxx299192991929");
  CurrentStyle().key_offset = 12;
  EXPECT_EQ(Template(1), "xxxx919299192929");
  CurrentStyle().key_offset = -1;
  EXPECT_EQ(Template(1), "xxxx" + Rotate("919299192929", 11));
  // Any other key mode value selects the minor column.
  CurrentStyle().key_offset = 0;
  CurrentStyle().key_mode = 7;
  EXPECT_EQ(Template(1), "xxxx919295555929");
}

TEST_F(ToneWeightsTest, CodesWithoutRowAndCustomScale) {
  for (int code : {0, 23, 26, 99, -4}) {
    CurrentStyle().scale = code;
    EXPECT_EQ(Template(code), "xxxx919299192929") << code;
  }
  CurrentStyle().scale = kCustomScaleCode;
  CurrentStyle().key_offset = 5;
  SetStyleText(CurrentStyle().scale_tones, "xxxx909099090909");
  EXPECT_EQ(Template(kCustomScaleCode), "xxxx909099090909");  // not rotated
}

TEST_F(ToneWeightsTest, MergeRules) {
  EXPECT_EQ(Weights("CMPo"), "CMPo905095090505");
  // The minor column's weight-5 tones fall to 1 beside a chord.
  CurrentStyle().key_mode = 2;
  EXPECT_EQ(Weights("AmPo"), "AmPo905091111905");
  // Scale digit 0 silences even a chord tone; chord 9 + scale 1 gives 6.
  CurrentStyle().key_mode = 1;
  CurrentStyle().scale = 4;  // CDFGA: E is outside
  EXPECT_EQ(Weights("CMPo")[4 + 4], '0');
  CurrentStyle().scale = 6;  // blues: F# weighs 1 and no template is moved
  EXPECT_EQ(Weights("DMPo")[4 + 6], '6');
  // Unknown chord: key of zero bytes and every weight 0.
  const std::string unknown = Weights("XqZz");
  EXPECT_EQ(unknown, std::string(4, '\0') + "000000000000");
}

TEST_F(ToneWeightsTest, DiatonicScaleMovesToCoverTheChord) {
  // D major in C: F# lies outside; F major (five up) does not cover it, G
  // major (seven up) does, so its digits replace the scale's.
  const std::string d = Weights("DMPo");
  EXPECT_EQ(d, "DMPo509050950905");
  // E7 in C: G# outside; F major no, G major no: the scale stays.
  const std::string e = Weights("EMPs");
  EXPECT_EQ(e[4 + 8], '7');  // chord 9 + scale 2 - 4
}

TEST_F(ToneWeightsTest, CacheMatchesTheUncachedResult) {
  const char roots[] = "CdDeEFgGaAbBN";
  const char* qualities[] = {"MPo", "mPs", "MPS", "4Ps", "md6", "MA9", "oCd"};
  StyleRecord& s = CurrentStyle();
  for (int round = 0; round < 3; ++round) {
    for (const Row& row : kRows) {
      s.scale = round == 2 ? kCustomScaleCode : row.code;
      s.key_mode = 1 + (row.code + round) % 2;
      s.key_offset = (row.code * 5 + round) % 12;
      SetStyleText(s.scale_tones, round == 2 ? "xxxx990990990990" : "xxxx909099090909");
      for (int r = 0; r < 13; ++r) {
        for (const char* q : qualities) {
          const char code[5] = {roots[r], q[0], q[1], q[2], 0};
          char cached[kToneWeightTextSize];
          char plain[kToneWeightTextSize];
          BuildToneWeights(code, cached);
          BuildToneWeightsUncached(code, plain);
          ASSERT_EQ(std::memcmp(cached, plain, kToneWeightTextSize), 0) << code;
        }
      }
    }
  }
  // A rebuilt chord-tone table is seen at once.
  std::memset(PatternDb().chord_tone_table, 0, 4);
  RebuildChordToneTable();
  EXPECT_EQ(Weights("CMPS").substr(0, 4), "CMPS");
}

TEST_F(ToneWeightsTest, ScaleToneQueries) {
  EXPECT_EQ(IsScaleTone(64, "CMPo"), 1);
  EXPECT_EQ(IsScaleTone(65, "CMPo"), 1);
  EXPECT_EQ(IsScaleTone(66, "CMPo"), 0);
}

TEST_F(ToneWeightsTest, RandomStrongTone) {
  std::set<int> seen;
  for (int i = 0; i < 500; ++i) {
    const int p = PickRandomStrongTone("CMPo");
    EXPECT_GE(p, 73);
    EXPECT_LE(p, 84);
    seen.insert(p);
  }
  EXPECT_EQ(seen, (std::set<int>{76, 79, 84}));
  // No tone reaches 9: the 1001st draw is taken.
  const int p = PickRandomStrongTone("XqZz");
  EXPECT_GE(p, 73);
  EXPECT_LE(p, 84);
}

TEST_F(ToneWeightsTest, StrongestToneAndSteps) {
  char text[] = "xxxx105000000000";
  EXPECT_EQ(PickStrongestTone(text), 2);
  // The custom text decides, whatever the scale code.
  CurrentStyle().scale = 6;
  SetStyleText(CurrentStyle().scale_tones, "xxxx909099090909");
  EXPECT_EQ(StepToScaleTone(61, +1), 62);
  EXPECT_EQ(StepToScaleTone(61, -1), 60);
  EXPECT_EQ(StepToScaleTone(0, 1), 0);
  SetStyleText(CurrentStyle().scale_tones, "xxxx000000000000");
  EXPECT_EQ(StepToScaleTone(100, +1), 127);  // gives up at the top
  EXPECT_EQ(StepToScaleTone(100, -1), 0);
  SetStyleText(CurrentStyle().scale_tones, "xxxx909099090909");
  EXPECT_EQ(StepTowardRangeMiddle(61, 84, 60), 62);
  EXPECT_EQ(StepTowardRangeMiddle(80, 84, 60), 79);
}

TEST_F(ToneWeightsTest, WeightedStepsAndRanges) {
  ChordBlock block;
  std::memcpy(block.chord_code, "CMPo", 4);
  EXPECT_EQ(StepToWeightedTone(block, 61, +1, ChordToneLevel), 64);
  EXPECT_EQ(StepToWeightedTone(block, 61, -1, ChordToneLevel), 60);
  std::memcpy(block.chord_code, "XqZz", 4);
  EXPECT_EQ(StepToWeightedTone(block, 61, +1, ChordToneLevel), 73);  // gives up after 12
  std::memcpy(block.chord_code, "CMPo", 4);
  CurrentStyle().parts[1].range_low = 60;
  CurrentStyle().parts[1].range_high = 63;
  EXPECT_EQ(SnapToWeightedToneInRange(block, 62, +1, ChordToneLevel, 1), 60);
  CurrentStyle().parts[1].range_high = 84;

  EXPECT_EQ(IsInPartRange(0, 1), 1);
  EXPECT_EQ(IsInPartRange(59, 1), 0);
  int pitch = 5;
  EXPECT_EQ(CheckPitchInPartRange(&pitch, 1), 1);
  EXPECT_EQ(pitch, 0);
  pitch = 90;
  EXPECT_EQ(CheckPitchInPartRange(&pitch, 1), 0);
  EXPECT_EQ(pitch, 90);

  for (int start : {10, 40, 61, 100, 127}) {
    pitch = start;
    FitIntoPartRange(1, &pitch);
    EXPECT_GE(pitch, 60);
    EXPECT_LE(pitch, 84);
    EXPECT_EQ(pitch % 12, start % 12);
  }
  CurrentStyle().parts[1].range_high = 70;
  for (int start : {10, 100}) {
    pitch = start;
    FitIntoPartRange(1, &pitch);
    EXPECT_GE(pitch, 60);
    EXPECT_LE(pitch, 70);
  }
  EXPECT_EQ(NextStrongScaleTone(61, 1), 65);  // E (weight 9) found, one step on
}

TEST_F(ToneWeightsTest, DamagedPartRangesAndPitchesFitInFewSteps) {
  // Bounds as a damaged song file may hold them: the fitting neither overflows nor walks a
  // billion steps, and lands on a MIDI pitch of the same pitch class where it can.
  const struct {
    int32_t low, high, start;
  } kCases[] = {
      {INT32_MIN, INT32_MAX, 60},        {1000000000, 1000000010, 60},
      {-1000000000, -999999990, 60},     {60, 84, INT32_MAX},
      {60, 62, INT32_MAX},               {84, 60, 70},
      {0, 127, 2000000000},              {INT32_MAX, INT32_MIN, 5},
  };
  for (const auto& c : kCases) {
    CurrentStyle().parts[1].range_low = c.low;
    CurrentStyle().parts[1].range_high = c.high;
    int pitch = c.start;
    FitIntoPartRange(1, &pitch);
    EXPECT_GE(pitch, -12) << c.low << " " << c.high << " " << c.start;
    EXPECT_LE(pitch, 127 + 12) << c.low << " " << c.high << " " << c.start;
  }
  CurrentStyle().parts[1].range_low = 60;
  CurrentStyle().parts[1].range_high = 84;
  int pitch = INT32_MAX;
  FitIntoPartRange(1, &pitch);
  EXPECT_EQ(pitch % 12, INT32_MAX % 12);
  EXPECT_GE(pitch, 60);
  EXPECT_LE(pitch, 84);
}

TEST_F(ToneWeightsTest, TransposeToKeyTakesAnyKeyIndex) {
  char base[kToneWeightTextSize], shifted[kToneWeightTextSize], expected[kToneWeightTextSize];
  BuildToneWeights("CMPo", base);
  for (int32_t key : {INT32_MAX, INT32_MIN, INT32_MAX - 23, -1, 13}) {
    std::memcpy(shifted, base, sizeof base);
    TransposeToKey(shifted, key);
    std::memcpy(expected, base, sizeof base);
    TransposeToKey(expected, ((key % 12) + 12) % 12);
    EXPECT_EQ(std::string(shifted), std::string(expected)) << key;
  }
}

// (Density levels and factors belong to the style library and are tested
// there.)
TEST_F(ToneWeightsTest, BlueNotes) {
  EXPECT_EQ(IsBlueNote(63), 1);
  EXPECT_EQ(IsBlueNote(70), 1);
  EXPECT_EQ(IsBlueNote(60), 0);
}

}  // namespace
