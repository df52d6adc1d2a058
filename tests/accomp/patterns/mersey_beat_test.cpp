// The Mersey beat's figures by block length and its follow-ups.
#include <gtest/gtest.h>

#include <set>

#include "accomp/mersey_beat.h"
#include "tests/accomp/patterns/figure_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class MerseyBeatTest : public FigureTest {
 protected:
  // The first event (note or rest) of block i.
  static NoteRow FirstOf(const MidiTrack& t, int64_t from, int64_t to) {
    for (const NoteRow& r : Rows(t))
      if (std::get<0>(r) >= from && std::get<0>(r) < to) return r;
    return NoteRow{-1, 0, 0, 0, 0};
  }
};

// Two-bar blocks only ever open with one of the two-bar figures.
TEST_F(MerseyBeatTest, TwoBarBlocks) {
  CBlocks(std::vector<int>(8, 768));
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateMerseyBeatPattern(kChannel, t);
    for (int i = 0; i < 8; ++i) {
      const NoteRow r = FirstOf(t, 768 * i, 768 * (i + 1));
      ASSERT_EQ(std::get<0>(r), 768 * i);
      const int pitch = std::get<2>(r), length = std::get<4>(r);
      const bool rest = pitch == 0;
      EXPECT_TRUE((pitch == 48 && (length == 189 || length == 142 || length == 765)) ||
                  (rest && (length == 94 || length == 190 || length == 1)))
          << "block " << i << " pitch " << pitch << " length " << length;
    }
  }
}

// 3/4 blocks (three quarters) play only the figures for other lengths: the
// held root, the low strum, the quarter strums, the eighth strums or a rest.
TEST_F(MerseyBeatTest, ThreeQuarterBlocks) {
  CBlocks(std::vector<int>(8, 288));
  std::set<int> firsts;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateMerseyBeatPattern(kChannel, t);
    for (int i = 0; i < 8; ++i) {
      const NoteRow r = FirstOf(t, 288 * i, 288 * (i + 1));
      ASSERT_EQ(std::get<0>(r), 288 * i);
      const int pitch = std::get<2>(r), length = std::get<4>(r);
      if (pitch == 60) {
        EXPECT_EQ(length, 286);
      } else if (pitch == 48) {
        EXPECT_TRUE(length == 285 || (length >= 16 && length <= 36)) << length;
      } else {
        EXPECT_EQ(pitch, 0);
      }
      firsts.insert(pitch);
    }
  }
  EXPECT_EQ(firsts, (std::set<int>{0, 48, 60}));
}

// After a one-bar figure asking for it, the next block of whole quarters
// (other than two bars) is one low root of its length less 2; a two-bar block
// drops the follow-up; a block of no whole quarters plays its bent root and
// the follow-up waits for the block after it.
TEST_F(MerseyBeatTest, FollowUps) {
  struct Case { std::vector<int> lengths; };
  int seen = 0;
  for (const Case& c : {Case{{384, 288, 384, 288, 384, 576, 384, 288}},
                        Case{{384, 200, 288, 384, 200, 288, 384, 200, 288}}}) {
    CBlocks(c.lengths);
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateMerseyBeatPattern(kChannel, t);
      int64_t start = 0;
      for (size_t i = 0; i + 2 < c.lengths.size(); ++i) {
        const int64_t end = start + c.lengths[i];
        if (c.lengths[i] != 384) {
          start = end;
          continue;
        }
        // The neighbour-note figure: R-13 at tick 240.
        const auto notes = SoundingIn(t, start, end);
        const bool neighbour = PitchesAt(notes, start + 240) == std::vector<int>{47};
        if (neighbour) {
          ++seen;
          size_t k = i + 1;
          int64_t at = end;
          if (c.lengths[k] == 200) {
            EXPECT_EQ(std::get<2>(SoundingIn(t, at, at + 200).back()), 60);  // after its grace note
            at += 200;
            ++k;
          }
          const NoteRow next = OnlyNoteIn(Rows(t), at, at + c.lengths[k]);
          EXPECT_EQ(std::get<2>(next), 48) << seed;
          EXPECT_EQ(std::get<4>(next), c.lengths[k] - 2) << seed;
        }
        start = end;
      }
    }
  }
  EXPECT_GT(seen, 10);
}

// Triplet grid: one-bar blocks strum, 576-tick blocks hold the root.
TEST_F(MerseyBeatTest, TripletGrid) {
  SetGrid(true);
  CBlocks({384, 576, 384});
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateMerseyBeatPattern(kChannel, t);
    const NoteRow held = OnlyNoteIn(Rows(t), 384, 960);
    EXPECT_EQ(std::get<2>(held), 60);
    EXPECT_EQ(std::get<4>(held), 574);
    for (const NoteRow& n : SoundingIn(t, 0, 384)) EXPECT_EQ(std::get<0>(n) % 32 % 3, 0);
  }
}

}  // namespace
}  // namespace pattern_test
