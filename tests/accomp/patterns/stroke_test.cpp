// Stroke patterns: slow stroke, the three continuous strokes and the off-beat.
#include <gtest/gtest.h>

#include "accomp/stroke_patterns.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class StrokeTest : public PatternTest {
 protected:
  // One C major seventh block per length, tones set by hand.
  void CBlocks(std::vector<int> lengths, int third = 76, int seventh = 70) {
    std::vector<BlockSpec> specs;
    for (int l : lengths) specs.push_back({"CMPs", l});
    SetBlocks(specs);
    for (size_t i = 0; i < lengths.size(); ++i) SetTones(static_cast<int>(i), 60, third, 67, seventh, 36);
  }
};

TEST_F(StrokeTest, SlowStrokeOnBeats) {
  struct Case { bool bass; int top; };
  for (const Case c : {Case{true, 70}, Case{false, 60}}) {
    CBlocks({384});
    SetBassPart(c.bass);
    PartTrack t;
    GenerateSlowStroke(kChannel, t, 100);
    const auto notes = Sounding(t);
    EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{0, 96, 192, 288}));
    for (int64_t at : {0, 96, 192, 288})
      EXPECT_EQ(PitchesAt(notes, at), (std::vector<int>{std::min(c.top, 67), std::max(c.top, 67), 76}))
          << at;
    for (const NoteRow& n : notes) EXPECT_EQ(std::get<4>(n), 94);
  }
}

// 7/8: the remainder of 48 is a step of its own; 6/8 feel: dotted-quarter
// strokes; no metre message either way.
TEST_F(StrokeTest, SlowStrokeMetres) {
  struct Case { int metre; bool six_eight; int length; std::vector<int64_t> onsets; int last_length; };
  const Case cases[] = {
      {2, false, 336, {0, 96, 192, 288}, 47},
      {1, true, 288, {0, 144}, 141},
      {1, false, 288, {0, 96, 192}, 94},
  };
  for (const Case& c : cases) {
    SetMetre(c.metre, c.six_eight);
    CBlocks({c.length, c.length});
    PartTrack t;
    GenerateSlowStroke(kChannel, t, 100);
    const auto first = SoundingIn(t, 0, c.length);
    EXPECT_EQ(Onsets(first), c.onsets) << c.length;
    EXPECT_EQ(std::get<4>(first.back()), c.last_length) << c.length;
    EXPECT_EQ(Onsets(SoundingIn(t, c.length, 2 * c.length)).front(), c.length);
    EXPECT_EQ(ErrorCount(0xFF010133u), 0);
  }
}

// From density 120 the last step of every block is split: the stroke at half
// length, the root alone half a step later.
TEST_F(StrokeTest, SlowStrokeSplitsTheLastStep) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    CBlocks({384, 384});
    PartTrack t;
    GenerateSlowStroke(kChannel, t, 120);
    for (int64_t start : {0, 384}) {
      const auto notes = Sounding(t);
      EXPECT_EQ(PitchesAt(notes, start + 288).size(), 3u);
      EXPECT_EQ(PitchesAt(notes, start + 336), (std::vector<int>{60})) << seed;
      for (const NoteRow& n : notes) {
        if (std::get<0>(n) >= start + 288 && std::get<0>(n) < start + 384) {
          EXPECT_EQ(std::get<4>(n), 47);
        }
      }
    }
  }
}

// The first stroke of a block leads from the previous: a seventh 5 or more
// above `top` drops an octave, a third 5 or more below `low` rises one.
TEST_F(StrokeTest, FirstStrokeVoiceLeading) {
  struct Case { int top, low, third, seventh; LedTones want; };
  const Case cases[] = {
      {75, 70, 64, 83, {12, -12}},
      {75, 70, 66, 79, {0, 0}},    // 79 - 75 < 5, 70 - 66 < 5
      {75, 70, 76, 71, {0, 0}},
      {75, 75, 72, 80, {0, -12}},  // 80 - 75 = 5: down to 68
      {75, 80, 72, 80, {0, -12}},  // 80 - 72 >= 5 but 84 > 83
      {80, 75, 0, 0, {12, 0}},     // a missing third moves to 12 (still silent)
      {60, 70, 64, 71, {12, 0}},   // 71 - 12 = 59 < 60
  };
  for (const Case& c : cases) {
    const LedTones got = LeadFirstStroke({c.top, c.low}, c.third, c.seventh);
    EXPECT_EQ(got.third_shift, c.want.third_shift) << c.third << " " << c.seventh;
    EXPECT_EQ(got.seventh_shift, c.want.seventh_shift) << c.third << " " << c.seventh;
  }
  CBlocks({384}, 64, 83);
  PartTrack t;
  GenerateSlowStroke(kChannel, t, 100);
  const auto notes = Sounding(t);
  EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{67, 71, 76}));
  EXPECT_EQ(PitchesAt(notes, 96), (std::vector<int>{64, 67, 83}));
}

TEST_F(StrokeTest, BluesContinuousStrokeLiftsTheFifth) {
  CurrentStyle().parts[kChannel].ornament = 3;
  CBlocks({384}, 64, 70);
  PartTrack t;
  GenerateContinuousStroke(kChannel, t);
  const auto notes = Sounding(t);
  ASSERT_EQ(Onsets(notes).size(), 8u);
  for (int j = 0; j < 8; ++j) {
    const auto p = PitchesAt(notes, 48 * j);
    const bool lifted = j == 2 || j == 6;
    EXPECT_EQ(std::count(p.begin(), p.end(), 69), lifted ? 1 : 0) << j;
    EXPECT_EQ(std::count(p.begin(), p.end(), 67), lifted ? 0 : 1) << j;
  }
  for (const NoteRow& n : notes) EXPECT_EQ(std::get<4>(n), 23);
}

// A 200-tick block is no whole number of eighths: the metre message, four
// steps, and the next block still starts on time.
TEST_F(StrokeTest, RemainderIsReportedAndTimeKept) {
  CBlocks({200, 384});
  PartTrack t;
  GenerateContinuousStroke(kChannel, t);
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 200)), (std::vector<int64_t>{0, 48, 96, 144}));
  EXPECT_EQ(Onsets(SoundingIn(t, 200, 584)).front(), 200);
  EXPECT_GE(ErrorCount(0xFF010133u), 1);
}

TEST_F(StrokeTest, OffBeat) {
  struct Case { int density; bool triplet; std::vector<std::pair<int64_t, int>> roots; int chords; int chord_length; };
  const Case cases[] = {
      {100, false, {}, 4, 16},
      {120, false, {{0, 32}, {96, 24}, {192, 32}, {288, 24}}, 4, 16},
      {100, true, {}, 8, 10},
      {120, true, {{0, 20}, {96, 15}, {192, 15}, {288, 15}}, 8, 10},
  };
  for (const Case& c : cases) {
    SetGrid(c.triplet);
    CBlocks({384});
    PartTrack t;
    GenerateOffBeat(kChannel, t, c.density);
    std::vector<std::pair<int64_t, int>> roots;
    int chords = 0;
    for (const NoteRow& n : Sounding(t)) {
      if (std::get<2>(n) == 48) {
        roots.emplace_back(std::get<0>(n), std::get<4>(n));
      } else {
        EXPECT_EQ(std::get<4>(n), c.chord_length);
        if (std::get<2>(n) == 67) ++chords;
      }
    }
    EXPECT_EQ(roots, c.roots) << c.density << " " << c.triplet;
    EXPECT_EQ(chords, c.chords) << c.density << " " << c.triplet;
  }
}

}  // namespace
}  // namespace pattern_test
