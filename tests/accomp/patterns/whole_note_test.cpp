// Held chords, arpeggio, techno, hip-hop and rap techno figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "accomp/note_emitter.h"
#include "accomp/whole_note_patterns.h"
#include "tests/accomp/patterns/figure_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

using WholeNoteTest = FigureTest;

TEST_F(WholeNoteTest, TriadsOnATwoBarBlock) {
  CBlocks({768});
  PartTrack t;
  GenerateWholeNotePattern(kChannel, t, 100);
  const auto notes = Sounding(t);
  EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{0, 384}));
  EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{64, 67, 72}));
  for (const NoteRow& n : notes) {
    EXPECT_EQ(std::get<4>(n), 376);
    EXPECT_EQ(std::get<3>(n), std::get<0>(n) == 0 ? 48 : 64);
  }
}

// Tempo 500000 doubles the 12-tick trill step; every note lasts half its piece.
TEST_F(WholeNoteTest, TrillPieces) {
  struct Case { int tempo; bool triplet; int piece; };
  for (const Case c : {Case{500000, false, 24}, Case{800000, false, 12}, Case{500000, true, 32}}) {
    CBlocks({384, 200});
    CurrentStyle().tempo = c.tempo;
    SetGrid(c.triplet);
    PartTrack t;
    GenerateWholeNotePattern(kChannel, t, 160);
    const auto notes = Sounding(t);
    ASSERT_FALSE(notes.empty());
    for (const NoteRow& n : notes) {
      const int64_t at = std::get<0>(n);
      if (at >= 384) continue;
      EXPECT_EQ(at % c.piece, 0);
      EXPECT_EQ(std::get<4>(n), c.piece / 2);
      const int k = static_cast<int>(at / c.piece);
      EXPECT_EQ(std::get<3>(n), k % 8 == 7 ? 42 : (k % 4 == 3 ? 48 : 64)) << at;
    }
    // The 200-tick block ends with a shorter piece.
    const int last_piece = 200 % c.piece;
    if (last_piece != 0) EXPECT_EQ(std::get<4>(notes.back()), last_piece / 2);
  }
}

// The trill follows the chords but stays within an octave of the first root.
TEST_F(WholeNoteTest, TrillStaysNearTheFirstRoot) {
  const char* codes[] = {"CMPs", "GMPs", "AmPs", "FMPS", "EmPs", "BoPd", "DmPs", "gMPs"};
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<BlockSpec> blocks;
    for (int i = 0; i < 16; ++i) blocks.push_back({codes[GneRandomRange(0, 7)], 384});
    blocks[0].code = "CMPs";
    SetBlocks(blocks);
    PartTrack t;
    GenerateWholeNotePattern(kChannel, t, 170);
    for (const NoteRow& n : Sounding(t)) EXPECT_LE(std::abs(std::get<2>(n) - 60), 12 + 2);
  }
}

// Quarter chords every 96 ticks and broken-chord eighths (the third standing
// in for a missing seventh), each with its remainder as one chord.
TEST_F(WholeNoteTest, QuarterAndBrokenChordRemainders) {
  CBlocks({264});
  SetTones(0, 60, 64, 67, 0, 48);
  PartTrack q;
  GenerateWholeNotePattern(kChannel, q, 190);
  auto notes = Sounding(q);
  EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{0, 96, 192}));
  EXPECT_EQ(std::get<4>(notes.front()), 88);
  EXPECT_EQ(std::get<4>(notes.back()), 64);
  PartTrack b;
  GenerateWholeNotePattern(kChannel, b, 200);
  notes = Sounding(b);
  EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{0, 48, 96, 144, 192, 240}));
  EXPECT_EQ(PitchesAt(notes, 144), (std::vector<int>{64}));
  EXPECT_EQ(PitchesAt(notes, 240), (std::vector<int>{60, 64, 67}));
  EXPECT_EQ(std::get<4>(notes.back()), 16);
}

// In 4/4 the arpeggio runs, T-12, R-12, S'-12, R-12, T-12 and R
// or R-12, every pitch an octave lower; S' is S + 12 when the seventh lies at
// most two above the root.
TEST_F(WholeNoteTest, ArpeggioInFourFour) {
  struct Case { int seventh; int s_prime; };
  for (const Case c : {Case{70, 58}, Case{62, 62}, Case{60, 48}}) {
    CBlocks({384});
    SetTones(0, 60, 64, 67, c.seventh, 48);
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateArpeggioPattern(kChannel, t);
      const auto notes = Sounding(t);
      ASSERT_EQ(notes.size(), 8u);
      const int expected[7] = {36, 48, 52, 48, c.s_prime, 48, 52};
      for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(std::get<0>(notes[k]), 48 * k);
        EXPECT_EQ(std::get<2>(notes[k]), expected[k]) << k;
        EXPECT_EQ(std::get<4>(notes[k]), 47);
      }
      const int last = std::get<2>(notes[7]);
      EXPECT_TRUE(last == 48 || last == 60) << last;
    }
  }
}

TEST_F(WholeNoteTest, HipHopLowNote) {
  struct Case { int fifth; bool triplet; int low; };
  for (const Case c : {Case{67, false, 55}, Case{70, false, 46}, Case{67, true, 43}}) {
    CBlocks({384});
    SetTones(0, 60, 64, c.fifth, 70, 48);
    SetGrid(c.triplet);
    PartTrack t;
    GenerateHipHopPattern(kChannel, t);
    const auto notes = Sounding(t);
    EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{std::min(c.low, 48), std::max(c.low, 48)}));
    const std::vector<int64_t> tail =
        c.triplet ? std::vector<int64_t>{0, 320, 352} : std::vector<int64_t>{0, 336, 360};
    EXPECT_EQ(Onsets(notes), tail);
  }
}

TEST_F(WholeNoteTest, RapTechnoOpensWithThirteenSilentBlocks) {
  CBlocks(std::vector<int>(30, 384));
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateRapTechnoPattern(kChannel, t);
    const auto notes = Sounding(t);
    for (const NoteRow& n : notes) EXPECT_GE(std::get<0>(n), 13 * 384);
  }
}

// The techno bar: F, S, T held, then F+2 with T, then F with R+14.
TEST_F(WholeNoteTest, TechnoBar) {
  CBlocks({768, 288});
  PartTrack t;
  GenerateTechnoPattern(kChannel, t);
  const auto notes = Sounding(t);
  EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{64, 67, 70}));
  EXPECT_EQ(PitchesAt(notes, 384), (std::vector<int>{64, 69}));
  EXPECT_EQ(PitchesAt(notes, 576), (std::vector<int>{67, 74}));
  EXPECT_EQ(PitchesAt(notes, 768), (std::vector<int>{64, 67, 72}));
}

// The rhythmical techno ending: a rest, then B+2, T, F and T+15 strummed 4
// apart and ending together; from tick 384 when the whole strum fits after
// it, else from the block's middle and cut to the block's end.
TEST_F(WholeNoteTest, RhythmicalTechnoEnding) {
  struct Case {
    int length, start, first_length;
  };
  const Case cases[] = {{768, 384, 188}, {576, 384, 188}, {384, 192, 188},
                        {336, 144, 188}, {192, 96, 92},   {96, 48, 44}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    CBlocks({c.length});
    PartTrack t;
    NoteEmitter e(t, kChannel);
    e.BeginBlock(c.length);
    RhythmicalTechnoEnding(Block(0), e);
    EXPECT_EQ(e.BlockTick(), std::min(c.length, c.start + 192));
    const auto notes = Sounding(t);
    ASSERT_EQ(notes.size(), 4u);
    const int64_t s = c.start;
    EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{s, s + 4, s + 8, s + 12}));
    EXPECT_EQ(std::get<2>(notes[0]), 50);
    EXPECT_EQ(std::get<2>(notes[3]), 79);
    EXPECT_EQ(std::get<3>(notes[3]), std::get<3>(notes[0]) - 5);
    for (const auto& n : notes) {
      EXPECT_EQ(std::get<0>(n) + std::get<4>(n), s + c.first_length);
    }
  }
}

}  // namespace
}  // namespace pattern_test
