// The single-note lines: fast arpeggio, scattered dissonance, melodic,
// parade and trance.
#include <gtest/gtest.h>

#include "accomp/arpeggio_line.h"
#include "engine/tone_weights.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class LineTest : public PatternTest {};

TEST_F(LineTest, FastArpeggioRandomOctavesOfTheRoot) {
  SetBlocks({{"CMPs", 384}, {"FMPs", 200}});
  PartTrack t;
  GenerateFastArpeggioPattern(kChannel, t);
  const auto notes = Sounding(t);
  ASSERT_EQ(notes.size(), 16u + 8u);
  for (const NoteRow& n : notes) {
    const ChordBlock& b = Block(std::get<0>(n) < 384 ? 0 : 1);
    const int up = std::get<2>(n) - b.root;
    EXPECT_TRUE(up == 0 || up == 12 || up == 24) << up;
    EXPECT_GE(std::get<3>(n), 34);
    EXPECT_LE(std::get<3>(n), 54);
    EXPECT_EQ(std::get<4>(n), 14);
  }
}

// A melody range of 60..84: the line starts below 72 and steps down through
// strong tones, lifted back above 37 when it falls too far.
TEST_F(LineTest, ScatteredDissonanceDescendsThroughStrongTones) {
  CurrentStyle().parts[1].range_high = 84;
  CurrentStyle().parts[1].range_low = 60;
  SetRepeated("CMPs", 768, 4);
  PartTrack t;
  GenerateScatteredDissonancePattern(kChannel, t);
  const auto notes = Sounding(t);
  ASSERT_FALSE(notes.empty());
  EXPECT_LT(std::get<2>(notes.front()), 72);
  EXPECT_GE(std::get<2>(notes.front()), 72 - 13);
  char w[kToneWeightTextSize];
  BuildToneWeights(Block(0).chord_code, w);
  int lifted = 0;
  for (size_t k = 0; k < notes.size(); ++k) {
    const int pitch = std::get<2>(notes[k]);
    EXPECT_GE(pitch, 37);
    EXPECT_GE(ToneDigit(w, pitch % 12), ChordToneLevel) << pitch;
    if (k > 0 && pitch > std::get<2>(notes[k - 1]) && k % 4 != 0) ++lifted;
  }
  EXPECT_GT(lifted, 0);
}

// Sections A, A, A, B: the counter runs on over the first two blocks and
// starts again at the last A block and at the B block.
TEST_F(LineTest, MelodicCounterFollowsTheSections) {
  SetRepeated("CMPs", 384, 4);
  for (int k = 0; k < 4; ++k) SetTones(k, 60, 64, 67, 71, 48);
  SetSections({"AXXX", "AXXX", "AXXX", "BXXX"});
  PartTrack t;
  GenerateMelodicPattern(kChannel, t);
  // Counter 0..7 in block 0 and 8..15 in block 1: the A table's steps 0, 2,
  // 3, 5, 7 play only in the first of them.
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 384)), (std::vector<int64_t>{0, 96, 144, 240, 336}));
  EXPECT_TRUE(SoundingIn(t, 384, 768).empty());
  EXPECT_EQ(Onsets(SoundingIn(t, 768, 1152)),
            (std::vector<int64_t>{768, 864, 912, 1008, 1104}));
  // B: the eight-step table of other sections.
  EXPECT_EQ(Onsets(SoundingIn(t, 1152, 1536)),
            (std::vector<int64_t>{1152, 1248, 1296, 1392, 1488}));
}

// At density 100 only tones weighing under 5 are dropped; at 50 the first
// half bar keeps only chord tones.
TEST_F(LineTest, ParadeFilters) {
  SetRepeated("CMPs", 384, 3);
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    for (int density : {50, 100}) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateParadePattern(kChannel, t, density);
      for (const NoteRow& n : Sounding(t)) {
        const ChordBlock& b = Block(static_cast<int>(std::get<0>(n) / 384));
        const int weight = b.ToneWeight(std::get<2>(n));
        EXPECT_GE(weight, ScaleToneLevel);
        const int step = static_cast<int>(std::get<0>(n) % 384 / 24);
        if (density == 50 && step >= 1 && step <= 7) {
          // The resolution may still move a note onto a chord tone.
          EXPECT_GE(weight, ChordToneLevel) << "step " << step;
        }
      }
    }
  }
}

// A two-bar chord draws a pair for each bar; every trill pitch lies an
// octave or two above the chord.
TEST_F(LineTest, TranceBarsAndHalfBars) {
  SetBlocks({{"CMPs", 768}, {"FMPs", 192}, {"GMPs", 384}});
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateTrancePattern(kChannel, t);
    for (int bar = 0; bar < 2; ++bar) {
      const auto notes = SoundingIn(t, 384 * bar, 384 * bar + 384);
      ASSERT_EQ(notes.size(), 8u);
      EXPECT_EQ(Onsets(notes).front(), 384 * bar);
      for (const NoteRow& n : notes) EXPECT_GE(std::get<2>(n), Block(0).root + 12);
    }
    for (const NoteRow& n : SoundingIn(t, 768, 960)) {
      EXPECT_GE(std::get<2>(n), std::min<int>(Block(1).root, Block(1).seventh) + 12);
      EXPECT_LE(std::get<2>(n), Block(1).root + 26);
    }
  }
}

}  // namespace
}  // namespace pattern_test
