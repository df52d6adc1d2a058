// The pitch methods: contour, direction, fluctuation, leap control and the
// melody table.
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "engine/pattern_db.h"
#include "style/engine_services.h"
#include "tests/engine/melody/melody_fixture.h"

namespace {

using melody_test::AddChord;
using melody_test::PlainMelodyPart;

ChordBlock Block(const char* code, int length = 384) {
  ChordEntry entry;
  entry.length = static_cast<uint16_t>(length);
  std::memcpy(entry.code, code, 4);
  return ChordBlock(entry, nullptr);
}

class MelodyPitchTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SelectMajorTimingDatabases();
    ASSERT_EQ(LoadPatternDatabases(), 1);
  }
  static std::string Weights(const char* code) {
    char w[kToneWeightTextSize];
    BuildToneWeights(code, w);
    return std::string(w, 16);
  }
};

// ---- Contour -------------------------------------------------------------------

TEST_F(MelodyPitchTest, LagrangeValueThroughItsPointsAndBounded) {
  const int xs[] = {0, 100, 200, 300};
  const int ys[] = {60, 72, 64, 67};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(LagrangeValue(xs, ys, 4, xs[i]), ys[i]);
  struct Case {
    std::vector<int> xs;
    std::vector<int> ys;
    int x;
    int expected;
  };
  const Case cases[] = {
      // Far outside the points the curve runs off: limited to 127.
      {{0, 1, 2, 3}, {60, 90, 30, 80}, 30000, 127},
      // Close points push the value past the int range: still 127.
      {{0, 1, 2, 32767}, {127, 0, 127, 0}, 30000, 127},
      // A negative value is taken as its size.
      {{0, 1, 2, 3}, {0, -10, 0, 0}, 1, 10},
      // No points: 0.
      {{}, {}, 5, 0},
      // Equal x values divide by zero: not a number gives 0.
      {{0, 0, 0, 0}, {60, 60, 60, 60}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LagrangeValue(c.xs.data(), c.ys.data(), static_cast<int>(c.xs.size()), c.x),
              c.expected);
  }
}

TEST_F(MelodyPitchTest, ContourPointsAndReports) {
  PartRecord& p = PlainMelodyPart();
  p.dissonance = 9;
  p.range_low = 60;
  p.range_high = 84;
  int xs[4];
  int ys[4];
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    EventList chords;
    AddChord(&chords, "NoCd", 384);
    AddChord(&chords, "GMPo", 384);
    ASSERT_EQ(PrepareContour(1, chords, xs, ys), 4);
    EXPECT_FALSE(HasEqualValues(xs, 4));
    EXPECT_EQ(xs[0], 0);
    EXPECT_TRUE(xs[3] == 768 || xs[3] == 1536 || xs[3] == 2304) << xs[3];
    // The start is a chord tone of C major seventh (in place of NoCd) in the middle octave.
    EXPECT_EQ(ys[0] / 12, 6);
    EXPECT_TRUE(std::set<int>({0, 4, 7, 11}).count(ys[0] % 12)) << ys[0];
    for (int i = 1; i < 4; ++i) {
      EXPECT_GE(ys[i], 60);
      EXPECT_LE(ys[i], 84);
    }
  }
  EventList empty;
  EXPECT_EQ(PrepareContour(1, empty, xs, ys), 0);
  EXPECT_EQ(BoxCount(), 0u);
  EventList silent;
  AddChord(&silent, "CMPo", 0);
  EXPECT_EQ(PrepareContour(1, silent, xs, ys), 0);
  EXPECT_EQ(ErrorCount(melody_error::kContourPoints), 1);
  // A tick or two leaves little room for four different points: either they
  // are found or the contour gives up with a report.
  EventList tiny;
  AddChord(&tiny, "CMPo", 1);
  int gave_up = 0;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    const int n = PrepareContour(1, tiny, xs, ys);
    if (n == 0) {
      ++gave_up;
    } else {
      EXPECT_FALSE(HasEqualValues(xs, n));
    }
  }
  EXPECT_EQ(ErrorCount(melody_error::kContourTotal), gave_up);
}

// ---- Direction --------------------------------------------------------------

TEST_F(MelodyPitchTest, RandomWalkStepsAndTurnsAtTheRange) {
  std::map<int, int> steps;
  for (uint32_t seed = 1; seed <= 4000; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    const int r = RandomWalkStep(60, 65, 55);
    ++steps[std::abs(r - 60)];
    // A step that leaves the range turns the walk for the next step.
    if (r > 65 || r < 55) {
      EXPECT_EQ(Melody().walk_direction, r > 65 ? -1 : +1);
    }
  }
  EXPECT_NEAR(steps[0] / 4000.0, 1.0 / 6, 0.03);
  EXPECT_NEAR(steps[1] / 4000.0, 1.0 / 3, 0.03);
  EXPECT_NEAR(steps[2] / 4000.0, 1.0 / 3, 0.03);
  EXPECT_EQ(steps.rbegin()->first <= 12, true);
  // No previous pitch: the walk starts in the middle.
  GneSeedRandomWith(3);
  const int r = RandomWalkStep(0, 70, 50);
  EXPECT_LE(std::abs(r - 60), 12);
}

TEST_F(MelodyPitchTest, RuleTreeOnARepeatedPitch) {
  const ChordBlock c = Block("CMPo");
  std::map<int, int> seen;
  for (uint32_t seed = 1; seed <= 6000; ++seed) {
    GneSeedRandomWith(seed);
    ++seen[DirectionRuleStep(64, 64, 90, 40, c)];
  }
  // The chain's entries, the wide last entry, and the lower bound when none is taken.
  for (const auto& [pitch, count] : seen) {
    const bool listed = pitch == 60 || pitch == 68 || pitch == 62 || pitch == 66 || pitch == 64 ||
                        (pitch >= 58 && pitch <= 70) || pitch == 40;
    EXPECT_TRUE(listed) << pitch;
    EXPECT_NE(PitchClassOf(pitch), 11) << "the major seventh above C is lowered";
  }
  EXPECT_NEAR(seen[60] / 6000.0, 1.0 / 3, 0.03);
  // Nothing taken: (2/3)^6 of the draws end on the lower bound 40.
  EXPECT_NEAR(seen[40] / 6000.0, std::pow(2.0 / 3, 6), 0.02);
}

TEST_F(MelodyPitchTest, RuleTreeNeverEndsOnTheMajorSeventhAboveTheRoot) {
  const char* codes[] = {"CMPo", "GMPs", "FMPS", "AmPs", "dMPo"};
  for (const char* code : codes) {
    const ChordBlock block = Block(code);
    for (uint32_t seed = 1; seed <= 2000; ++seed) {
      GneSeedRandomWith(seed);
      const int p1 = GneRandomRange(0, 1) == 0 ? 0 : GneRandomRange(45, 80);
      const int p2 = GneRandomRange(0, 1) == 0 ? 0 : GneRandomRange(45, 80);
      const int r = DirectionRuleStep(p1, p2, 84, 48, block);
      ASSERT_NE(PitchClassOf(r), (block.root + 11) % 12) << code << " " << p1 << " " << p2;
      ASSERT_LE(r, 84);
    }
  }
}

TEST_F(MelodyPitchTest, DirectionMethodTakesStrongTones) {
  PartRecord& p = PlainMelodyPart();
  const ChordBlock block = Block("CMPo");
  const std::string w = Weights("CMPo");
  for (int parameter : {0, 1}) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      GneSeedRandomWith(seed);
      const int r = DirectionMethodPitch(67, 64, w.c_str(), 0, 1, parameter, block);
      EXPECT_GE(ToneDigit(w.c_str(), PitchClassOf(r)), 8) << r;
    }
  }
  (void)p;
}

// ---- Fluctuation ----------------------------------------------------------------

TEST_F(MelodyPitchTest, FluctuationSequenceStaysOnTheLadder) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    MakeFluctuationSequence();
    EXPECT_EQ(FluctuationSequenceValue(0), 0);
    for (int j = 1; j <= kFluctuationLength; ++j) {
      const int v = FluctuationSequenceValue(j);
      ASSERT_GE(v, -10);
      ASSERT_LE(v, 10);
    }
  }
  // The values are the rounded sums of the cosine terms.
  GneSeedRandomWith(5);
  const uint32_t state = GneGetRandomState();
  MakeFluctuationSequence();
  GneSetRandomState(state);
  double phase[kFluctuationLength + 1];
  for (int k = 1; k <= kFluctuationLength; ++k)
    phase[k] = GneRandomRange(0, 10000) / 10000.0 * 6.2831855;
  for (int j : {1, 2, 77, 250, 499, 500}) {
    double x = 0;
    for (int k = 1; k <= kFluctuationLength; ++k)
      x += std::sqrt(1.0 / k) * std::cos(2 * M_PI * k * j / kFluctuationLength - phase[k]);
    const int expected = std::clamp(static_cast<int>(std::floor(x + 0.5)), -10, 10);
    // Single precision may settle a sum on a rung's edge either way.
    EXPECT_LE(std::abs(FluctuationSequenceValue(j) - expected), 1) << j << " " << x;
  }
}

TEST_F(MelodyPitchTest, FluctuationRestartsAfterARestAndRepeatsEighths) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 3;
  const std::string w = Weights("CMPo");
  GneSeedRandomWith(9);
  FluctuationPitch(0, 2, w.c_str(), 96, 1);
  EXPECT_EQ(Melody().sequence_position, 2);
  FluctuationPitch(64, 2, w.c_str(), 96, 1);
  EXPECT_EQ(Melody().sequence_position, 3);
  FluctuationPitch(0, 2, w.c_str(), 96, 1);  // after a rest: a new sequence from 1
  EXPECT_EQ(Melody().sequence_position, 2);
  p.algorithm = 4;
  FluctuationPitch(64, 5, w.c_str(), 96, 1);  // advances by the length code
  EXPECT_EQ(Melody().sequence_position, 7);

  // Method 3 repeats the previous pitch of an eighth two times in three.
  p.algorithm = 3;
  int repeats = 0;
  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    GneSeedRandomWith(seed);
    if (FluctuationPitch(61, 2, w.c_str(), 48, 1) == 61) ++repeats;  // 61 is no ladder tone
  }
  EXPECT_NEAR(repeats / 3000.0, 2.0 / 3, 0.03);
  // Every other result is a strong tone of the range.
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    const int r = FluctuationPitch(64, 2, w.c_str(), 96, 1);
    EXPECT_GE(ToneDigit(w.c_str(), PitchClassOf(r)), 8);
    EXPECT_GE(r, p.range_low);
    EXPECT_LE(r, p.range_high);
  }
}

TEST_F(MelodyPitchTest, FluctuationLadderWithoutStrongTonesOrWithAHugeRange) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 4;
  const char none[] = "xxxx555555555555";
  const std::string w = Weights("CMPo");
  struct Case {
    const char* weights;
    int low, high;
  };
  const Case cases[] = {{none, 60, 84}, {w.c_str(), 0, INT32_MAX}, {w.c_str(), INT32_MIN, 0},
                        {none, 0, INT32_MAX}, {w.c_str(), 84, 60}};
  for (const Case& c : cases) {
    p.range_low = c.low;
    p.range_high = c.high;
    GneSeedRandomWith(2);
    const int r = FluctuationPitch(0, 2, c.weights, 96, 1);
    if (c.weights == none && c.high == 84) {
      EXPECT_EQ(r, 85);  // no rung: one above the range
    }
    (void)r;
  }
}

// ---- Leap control ---------------------------------------------------------------

TEST_F(MelodyPitchTest, LeapIsResolvedDownwardToAStrongTone) {
  PartRecord& lead = PlainMelodyPart();
  lead.range_low = 55;
  lead.range_high = 84;
  const ChordBlock block = Block("CMPo");
  const std::string w = Weights("CMPo");
  int leaps = 0;
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    const int a = LeapControlPitch(67, w.c_str(), 96, 96, block, 4, 65, 384, 1);
    if (Melody().leap_due != 1) continue;
    ++leaps;
    EXPECT_GT(a, 67);
    const int b = LeapControlPitch(a, w.c_str(), 96, 192, block, 4, 67, 384, 1);
    EXPECT_LT(b, a) << "seed " << seed;
    EXPECT_GE(ToneDigit(w.c_str(), PitchClassOf(b)), 8);
  }
  EXPECT_GT(leaps, 50);
}

TEST_F(MelodyPitchTest, LeapControlUsesTheMelodyRangeOnAnyChannel) {
  PartRecord& lead = PlainMelodyPart();
  lead.range_low = 72;
  lead.range_high = 96;
  PartRecord& other = CurrentStyle().parts[4];
  other.range_low = 30;
  other.range_high = 50;
  CurrentStyle().density[4] = 160;  // no rests at the start
  const ChordBlock block = Block("CMPo");
  const std::string w = Weights("CMPo");
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    const int r = LeapControlPitch(0, w.c_str(), 96, 0, block, 4, 0, 384, 4);
    EXPECT_GE(r, 72) << seed;
    EXPECT_LE(r, 96) << seed;
  }
}

TEST_F(MelodyPitchTest, LeapControlSettlesInARangeUnderAnOctave) {
  PartRecord& lead = PlainMelodyPart();
  lead.range_low = 64;
  lead.range_high = 68;  // no C in it
  CurrentStyle().density[1] = 160;
  const ChordBlock block = Block("CMPo");
  const std::string w = Weights("CMPo");
  int p1 = 0;
  int p2 = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    const int r = LeapControlPitch(p1, w.c_str(), 48 * GneRandomRange(1, 4),
                                   48 * GneRandomRange(0, 7), block, GneRandomRange(1, 8), p2,
                                   384, 1);
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 127);
    p2 = p1;
    p1 = r;
  }
}

// ---- Melody table ---------------------------------------------------------------

TEST_F(MelodyPitchTest, JumpSizesAndScaleSteps) {
  const int sizes[] = {0, 1, 3, 5, 6, 8, 10, 12};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(JumpSize(k), sizes[k]);
  const std::pair<int, int> steps[] = {{0, 0}, {1, 1}, {2, 1}, {4, 2}, {5, 3}, {6, 4},
                                       {7, 4}, {11, 6}, {12, 7}, {14, 8}, {24, 14}};
  for (const auto& [s, d] : steps) EXPECT_EQ(DiatonicSteps(s), d) << s;
}

TEST_F(MelodyPitchTest, MelodyTableWithOnlySemitoneSteps) {
  StyleRecord& s = CurrentStyle();
  s.melody_table_mode = 0;
  for (int k = 0; k < 8; ++k) s.melody_intervals[k] = k == 1 ? 0 : 100;
  PartRecord& p = PlainMelodyPart();
  p.dissonance = 0;
  p.range_low = 48;
  p.range_high = 96;
  const ChordBlock block = Block("CMPo", 768);
  int steps = 0;
  int sounding = 0;
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    Melody().table_chord_tone = 1;  // no forced chord tone
    MelodyHistory h{72, 72, 72};
    int len = 48;
    // A semitone from 72, then snapped to a tone of weight 1 or more (a scale
    // tone next to it). Only a draw of R = 0 lets another jump through.
    const int r = MelodyTablePitch(h, block, 96, &len, 768, 1);
    if (r == 0) continue;  // a rest after a chord tone
    ++sounding;
    if (std::abs(r - 72) <= 2) ++steps;
  }
  EXPECT_GT(sounding, 300);
  EXPECT_GE(steps, sounding * 95 / 100);
}

TEST_F(MelodyPitchTest, MelodyTableAlwaysEndsItsDraw) {
  StyleRecord& s = CurrentStyle();
  PartRecord& p = PlainMelodyPart();
  const ChordBlock block = Block("GMPs", 384);
  struct Case {
    int mode;
    int interval;  // every entry of the table
    int low, high;
  };
  const Case cases[] = {
      {2, 100, 60, 84},  // every jump rejected: modes fall to 0, which accepts
      {1, 100, 60, 84},
      {0, 150, 60, 84},  // values above 100 reject in mode 0 too: capped
      {5, 150, 60, 84},
      {2, 0, 70, 70},    // a range of one pitch: most candidates leave it
  };
  for (const Case& c : cases) {
    s.melody_table_mode = c.mode;
    for (int& v : s.melody_intervals) v = c.interval;
    p.range_low = c.low;
    p.range_high = c.high;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
      GneSeedRandomWith(seed);
      MelodyHistory h{70, 67, 65};
      int len = 96;
      const int r = MelodyTablePitch(h, block, 96, &len, 384, 1);
      EXPECT_GE(r, 0);
      EXPECT_LE(r, 127);
      EXPECT_GT(len, 0);
    }
  }
}

TEST_F(MelodyPitchTest, MelodyTableStartIsFoldedUpIntoTheRange) {
  PartRecord& p = PlainMelodyPart();
  p.range_low = 60;
  p.range_high = 84;
  const ChordBlock block = Block("CMPo", 384);
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    MelodyHistory h{};
    int len = 96;
    const int r = MelodyTablePitch(h, block, 0, &len, 384, 1);
    ASSERT_TRUE(r == 0 || (r >= 60 && r <= 84)) << r;
    if (r != 0) {
      EXPECT_TRUE(block.IsTriadTone(r)) << r;
    }
  }
}

TEST_F(MelodyPitchTest, MelodyTableHalvesLongNonChordNotes) {
  StyleRecord& s = CurrentStyle();
  s.MTAdjustL = 1;
  s.melody_table_mode = 0;
  for (int& v : s.melody_intervals) v = 0;
  PartRecord& p = PlainMelodyPart();
  p.dissonance = 0;
  const ChordBlock block = Block("CMPo", 768);
  int halved = 0;
  for (int beat : {0, 3}) {
    s.basic_beat = beat;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      GneSeedRandomWith(seed);
      ResetMelodyState();
      Melody().table_chord_tone = 1;
      MelodyHistory h{64, 62, 60};
      int len = 192;
      MelodyTablePitch(h, block, 96, &len, 768, 1);
      EXPECT_TRUE(len == 192 || len == (beat == 3 ? 96 : 96) || len == 48) << len;
      if (len != 192) ++halved;
    }
  }
  EXPECT_GT(halved, 0);
}

}  // namespace
