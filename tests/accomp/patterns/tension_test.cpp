// The rhythmic tension pattern: routing, the phrase writers, the comping and
// the dense bodies.
#include <gtest/gtest.h>

#include <algorithm>

#include "accomp/note_emitter.h"
#include "accomp/rhythmic_tension.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class TensionTest : public PatternTest {
 protected:
  // One writer on block 0 (its tones folded as the body folds them).
  template <typename Fn>
  static std::vector<NoteRow> Writer(Fn write) {
    const BlockTones tones = BlockTones::Folded(Block(0), 36, 80);
    PartTrack t;
    NoteEmitter e(t, kChannel);
    e.BeginBlock(Block(0).length);
    write(TensionBlock{Block(0), tones}, e);
    return Rows(t);
  }
};

TEST_F(TensionTest, Routing) {
  using Body = void (*)(int, MidiTrack&, int);
  struct Case { int density; Body body; };
  const Case cases[] = {
      {160, RhythmicTensionDense},   {140, RhythmicTensionDense},   {139, RhythmicTensionComping},
      {120, RhythmicTensionComping}, {101, RhythmicTensionComping}, {100, RhythmicTensionPhrases},
      {99, RhythmicTensionComping},  {81, RhythmicTensionComping},  {80, RhythmicTensionPhrases},
      {79, RhythmicTensionPhrases},  {20, RhythmicTensionPhrases},
  };
  SetBlocks({{"CMPs", 384}, {"AmPs", 768}, {"FMPS", 192}, {"GMPs", 384}});
  for (const Case& c : cases) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      const auto routed =
          Written(seed, [&](MidiTrack& t) { GenerateRhythmicTension(kChannel, t, c.density); });
      const auto direct = Written(seed, [&](MidiTrack& t) { c.body(kChannel, t, c.density); });
      EXPECT_EQ(routed, direct) << c.density;
    }
  }
}

// The phrase body picks its writer per block: the last block ends, a late
// melody opens, a block off the quarter grid always gets the plain phrase.
TEST_F(TensionTest, PhraseBodyChoosesWriters) {
  SetLeadingRest(300);
  SetBlocks({{"CMPs", 336}});
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    const auto body = Written(seed, [](MidiTrack& t) { RhythmicTensionPhrases(kChannel, t, 100); });
    GneSeedRandomWith(seed);
    EXPECT_EQ(body, Writer([](const TensionBlock& w, NoteEmitter& e) { TensionPhrase(w, e); }));
  }
  // Two blocks: the second is the last bar.
  SetBlocks({{"CMPs", 384}, {"FMPs", 384}});
  SetLeadingRest(0);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    RhythmicTensionPhrases(kChannel, t, 100);
    for (const NoteRow& n : SoundingIn(t, 384, 768)) {
      const int64_t step = (std::get<0>(n) - 384) / 24;
      EXPECT_TRUE(step == 9 || step == 10 || step == 11 || step == 12) << step;
    }
  }
}

TEST_F(TensionTest, LeadInCrescendo) {
  SetBlocks({{"CMPs", 384}});
  const auto rows = Writer([](const TensionBlock& w, NoteEmitter& e) { TensionLeadInCrescendo(w, e, 200); });
  std::vector<std::pair<int64_t, int>> strums;
  for (const NoteRow& n : rows)
    if (std::get<3>(n) > 0 && std::get<0>(n) % 24 == 0) strums.emplace_back(std::get<0>(n) / 24, std::get<3>(n));
  EXPECT_EQ(strums, (std::vector<std::pair<int64_t, int>>{{0, 55}, {1, 59}, {3, 63}, {4, 67}, {5, 71}, {7, 75}}));
}

TEST_F(TensionTest, LeadInHeldChord) {
  SetBlocks({{"CMPs", 384}});
  for (int rest : {200, 1000}) {  // a rest longer than the block is held to it
    GneSeedRandomWith(4);
    const auto rows = Writer([&](const TensionBlock& w, NoteEmitter& e) { TensionLeadInHeldChord(w, e, rest); });
    const int held = std::min(rest, 384) / 24 * 24;
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(std::get<4>(rows[0]), held - 8);
    EXPECT_EQ(std::get<4>(rows[1]), held - 12);
    EXPECT_EQ(std::get<4>(rows[2]), held - 16);
    for (const NoteRow& n : rows) {
      EXPECT_LT(std::get<0>(n), 384) << rest;
      if (std::get<0>(n) >= held && std::get<3>(n) > 0) {
        EXPECT_EQ(std::get<3>(n), 64);
      }
    }
  }
}

TEST_F(TensionTest, LastBarCrescendo) {
  SetBlocks({{"CMPs", 384}});
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    const auto rows = Writer([](const TensionBlock& w, NoteEmitter& e) { TensionLastBar(w, e); });
    std::vector<int> steps, velocities;
    for (const NoteRow& n : rows) {
      if (std::get<3>(n) > 0 && std::get<0>(n) % 24 == 0) {
        steps.push_back(static_cast<int>(std::get<0>(n) / 24));
        velocities.push_back(std::get<3>(n));
      }
    }
    EXPECT_EQ(steps, (std::vector<int>{9, 10, 11, 12}));
    for (size_t k = 1; k < velocities.size(); ++k) EXPECT_EQ(velocities[k], velocities[k - 1] + 3);
    EXPECT_EQ(std::get<0>(rows.back()), 360);
    EXPECT_EQ(std::get<2>(rows.back()), 0);
  }
}

TEST_F(TensionTest, QuarterChordsSoundInTheFirstBarOnly) {
  SetBlocks({{"CMPs", 768}});
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    const auto rows = Writer([](const TensionBlock& w, NoteEmitter& e) { TensionQuarterChords(w, e); });
    std::vector<int64_t> beats;
    for (const NoteRow& n : rows)
      if (std::get<3>(n) > 0 && std::get<0>(n) % 96 == 0) beats.push_back(std::get<0>(n));
    beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
    EXPECT_EQ(beats, (std::vector<int64_t>{0, 96, 192, 288}));
    EXPECT_EQ(std::get<0>(rows.back()), 672);
  }
}

// Leaps up in the triplet phrases come back to a low tone before the block
// ends; the sparse twin on a chord whose seventh is the root's octave plays
// both of its choices at steps 6 and 9.
TEST_F(TensionTest, TripletPhrasesReturnLow) {
  SetGrid(true);
  SetBlocks({{"CMPo", 384}});
  SetTones(0, 60, 64, 67, 72, 36);
  int leaps = 0, octave_choices = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    for (bool sparse : {false, true}) {
      GneSeedRandomWith(seed);
      const auto rows = Writer([&](const TensionBlock& w, NoteEmitter& e) {
        sparse ? TensionTripletSparsePhrase(w, e) : TensionTripletPhrase(w, e);
      });
      // Steps of the leaps, and of the other sounding notes.
      std::vector<int> leap_steps, other_steps;
      for (const NoteRow& n : rows) {
        if (std::get<3>(n) == 0 || std::get<2>(n) == 0) continue;
        const int pitch = std::get<2>(n);
        const int step = static_cast<int>(std::get<0>(n) / 32);
        if (pitch == 74 || pitch == 77) {  // root + 14, root + 17
          leap_steps.push_back(step);
          ++leaps;
          if (sparse && pitch == 77 && (step == 6 || step == 9)) ++octave_choices;
        } else {
          other_steps.push_back(step);
        }
      }
      for (int leap : leap_steps) {
        const bool back = std::any_of(other_steps.begin(), other_steps.end(),
                                      [&](int s) { return s > leap && s <= leap + 3; });
        EXPECT_TRUE(back) << "seed " << seed << (sparse ? " sparse" : "") << ", leap at " << leap;
        EXPECT_LT(leap, 11);
      }
    }
  }
  EXPECT_GT(leaps, 0);
  EXPECT_GT(octave_choices, 0);
}

// Blocks off the triplet grid (3/4 with two chords a bar): whole steps only,
// and the next block starts on time.
TEST_F(TensionTest, ShortTripletBlocksKeepTime) {
  SetGrid(true);
  SetMetre(1);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPs", 144, 6);
    PartTrack t;
    RhythmicTensionPhrases(kChannel, t, 100);
    int64_t tick = 0;
    for (int i = 0; i < 6; ++i) {
      bool at_start = false;
      for (const NoteRow& n : Rows(t)) {
        if (std::get<0>(n) == tick) at_start = true;
        EXPECT_FALSE(std::get<0>(n) > tick && std::get<0>(n) < tick + 144 &&
                     (std::get<0>(n) - tick) >= 128 && std::get<2>(n) > 0 && i < 5)
            << "a note past the whole steps of block " << i;
      }
      EXPECT_TRUE(at_start) << i;
      tick += 144;
    }
  }
}

TEST_F(TensionTest, CompingOffTheQuarterGrid) {
  SetBlocks({{"CMPs", 144}, {"FMPs", 384}});
  SetTones(0, 60, 64, 67, 70, 36);
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    RhythmicTensionComping(kChannel, t, 120);
    const auto first = SoundingIn(t, 0, 144);
    EXPECT_EQ(PitchesAt(first, 0), (std::vector<int>{60, 64, 67}));
    EXPECT_EQ(first.size(), 3u);
    for (const NoteRow& n : first) EXPECT_EQ(std::get<4>(n), 48);
    for (const NoteRow& n : SoundingIn(t, 144, 528)) EXPECT_EQ((std::get<0>(n) - 144) % 24, 0);
  }
}

TEST_F(TensionTest, DensePieces) {
  struct Case { int metre; bool triplet; std::vector<int> lengths; };
  // 7/8: every bar piece is one 48-tick chord, the next piece a bar later.
  SetMetre(2);
  SetRepeated("CMPs", 672, 2);
  SetTones(0, 60, 64, 67, 70, 36);
  PartTrack t;
  RhythmicTensionDense(kChannel, t, 140);
  const auto first = SoundingIn(t, 0, 672);
  EXPECT_EQ(Onsets(first), (std::vector<int64_t>{0, 336}));
  EXPECT_EQ(PitchesAt(first, 336), (std::vector<int>{60, 64, 67}));
  // 3/4, last block: third, fifth, seventh on quarters 0 and 2, quarter 1 silent.
  SetMetre(1);
  SetBlocks({{"FMPs", 288}, {"CMPs", 288}});
  SetTones(1, 60, 64, 67, 70, 36);
  PartTrack u;
  RhythmicTensionDense(kChannel, u, 140);
  const auto last = SoundingIn(u, 288, 576);
  EXPECT_EQ(Onsets(last), (std::vector<int64_t>{288, 480}));
  EXPECT_EQ(PitchesAt(last, 288), (std::vector<int>{64, 67, 70}));
  // A single block is the last block.
  SetMetre(0);
  SetBlocks({{"CMPs", 384}});
  SetTones(0, 60, 64, 67, 70, 36);
  PartTrack v;
  RhythmicTensionDense(kChannel, v, 160);
  EXPECT_EQ(Onsets(Sounding(v)), (std::vector<int64_t>{0, 192}));
}

TEST_F(TensionTest, DenseTripletStrikes) {
  SetGrid(true);
  int found = 0;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPs", 384, 3);
    PartTrack t;
    RhythmicTensionDense(kChannel, t, 140);
    const auto bar = SoundingIn(t, 0, 96);
    if (Onsets(bar) != std::vector<int64_t>{0, 32, 64}) continue;  // mode 1
    ++found;
    for (const NoteRow& n : bar) EXPECT_EQ(std::get<4>(n), 30);
  }
  EXPECT_GT(found, 0);
}

}  // namespace
}  // namespace pattern_test
