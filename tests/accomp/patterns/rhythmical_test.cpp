// Super-slow stroke, rhythmical dyads, rhythmic figures and accent strokes.
#include <gtest/gtest.h>

#include "accomp/rhythmical_patterns.h"
#include "tests/accomp/patterns/figure_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

using RhythmicalTest = FigureTest;

// 3/4 at density 100: every bar is R-24 on the first beat and the chord on
// the second, wherever the block stands.
TEST_F(RhythmicalTest, SuperSlowStrokeInThreeFour) {
  SetMetre(1);
  CBlocks(std::vector<int>(12, 288));
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateSuperSlowStrokePattern(kChannel, t, 100);
    const auto notes = Sounding(t);
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(PitchesAt(notes, 288 * i), (std::vector<int>{36})) << i;
      EXPECT_EQ(PitchesAt(notes, 288 * i + 96), (std::vector<int>{52, 55, 58})) << i;
    }
    EXPECT_EQ(notes.size(), 12u * 4);
  }
}

// Without a seventh the two-bar chords are two notes.
TEST_F(RhythmicalTest, SuperSlowStrokeWithoutSeventh) {
  CBlocks({768}, 0);
  PartTrack t;
  GenerateSuperSlowStrokePattern(kChannel, t, 100);
  const auto notes = Sounding(t);
  EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{52, 55}));
  EXPECT_EQ(PitchesAt(notes, 384), (std::vector<int>{52, 55}));
  EXPECT_EQ(notes.size(), 4u);
}

// The last block of a longer song: silence for 380 ticks, then B, T, F and
// T+12 from tick 384; a one-bar last block strums from its middle.
TEST_F(RhythmicalTest, RhythmicalEnding) {
  for (int last : {768, 384}) {
    CBlocks({384, last});
    const int64_t strum = 384 + (last == 384 ? 192 : 384);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateRhythmicalPattern(kChannel, t);
      const auto tail = SoundingIn(t, 384, 384 + last);
      ASSERT_EQ(tail.size(), 4u);
      EXPECT_EQ(Onsets(tail), (std::vector<int64_t>{strum, strum + 4, strum + 8, strum + 12}));
      EXPECT_EQ(std::get<2>(tail[0]), 48);
      EXPECT_EQ(std::get<2>(tail[3]), 76);
    }
  }
}

// Dyads of root and fifth an octave or two down, on eighths; the triplet grid
// plays three triplet eighths per quarter.
TEST_F(RhythmicalTest, RhythmicalDyads) {
  for (bool triplet : {false, true}) {
    SetGrid(triplet);
    CBlocks({384, 192, 288, 384});
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateRhythmicalPattern(kChannel, t);
      for (const NoteRow& n : SoundingIn(t, 0, 864)) {
        const int pitch = std::get<2>(n);
        EXPECT_TRUE(pitch == 36 || pitch == 48 || pitch == 43 || pitch == 55 || pitch == 45 ||
                    pitch == 57)
            << pitch;
        EXPECT_EQ(std::get<0>(n) % (triplet ? 32 : 24), 0);
      }
    }
  }
}

// Below density 100 only the sixteenth figures (velocity 74 and the octave
// figure's 54); at 100 with one-bar blocks mostly the chord and eighths.
TEST_F(RhythmicalTest, RhythmicBodies) {
  CBlocks(std::vector<int>(16, 384));
  int chord_bars = 0;
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack sparse;
    GenerateRhythmicPattern(kChannel, sparse, 99);
    for (const NoteRow& n : Sounding(sparse)) {
      EXPECT_TRUE(std::get<3>(n) == 74 || std::get<3>(n) == 54);
      EXPECT_EQ(std::get<0>(n) % 24, 0);
    }
    GneSeedRandomWith(seed);
    PartTrack dense;
    GenerateRhythmicPattern(kChannel, dense, 100);
    const auto notes = Sounding(dense);
    for (int i = 0; i < 16; ++i) {
      // o, m, g held 232 ticks, then m, o, R+12 on the last three eighths.
      if (PitchesAt(notes, 384 * i) == std::vector<int>{52, 55, 60} &&
          PitchesAt(notes, 384 * i + 240) == std::vector<int>{52})
        ++chord_bars;
    }
  }
  EXPECT_GT(chord_bars, 160 * 6 / 10);
}

// Accent strokes: four sixteenth strokes a quarter and the third's lower
// neighbour before every fourth beat; the light variant strokes beats 2 and
// 5 only.
TEST_F(RhythmicalTest, AccentStrokes) {
  CBlocks({768});
  PartTrack full;
  GenerateAccentStrokePattern(kChannel, full);
  auto notes = Sounding(full);
  for (const NoteRow& n : notes) {
    const int64_t in_quarter = std::get<0>(n) % 96;
    EXPECT_EQ(in_quarter % 24, 0);
    const int pitch = std::get<2>(n);
    if (in_quarter == 72 && (std::get<0>(n) / 96) % 4 == 3) {
      // 8 quarters: the last one keeps T-12, the fourth T-13.
      EXPECT_EQ(pitch, std::get<0>(n) / 96 == 7 ? 52 : 51);
      EXPECT_EQ(std::get<3>(n), 74);
    } else {
      EXPECT_TRUE(pitch == 52 || pitch == 60) << pitch;
    }
  }
  PartTrack light;
  GenerateAccentStrokeLightPattern(kChannel, light);
  notes = Sounding(light);
  EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{96, 360, 384}));
  EXPECT_EQ(PitchesAt(notes, 360), (std::vector<int>{51}));
}

// A block that is no whole number of quarters plays the bent root, and the
// next block starts on time.
TEST_F(RhythmicalTest, AccentStrokeOddBlock) {
  CBlocks({200, 384});
  PartTrack t;
  GenerateAccentStrokePattern(kChannel, t);
  const auto notes = Sounding(t);
  EXPECT_EQ(std::get<2>(notes.front()), 60);
  bool on_time = false;
  for (const NoteRow& r : Rows(t)) on_time = on_time || std::get<0>(r) == 200;
  EXPECT_TRUE(on_time);
  for (const NoteRow& n : SoundingIn(t, 200, 584)) EXPECT_EQ((std::get<0>(n) - 200) % 24, 0);
}

}  // namespace
}  // namespace pattern_test
