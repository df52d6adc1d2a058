// The Latin figures: bossa nova, Latin, rhythmic Latin, cha-cha-cha and
// flamenco.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "accomp/latin.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class LatinTest : public PatternTest {};

TEST_F(LatinTest, BossaNovaBarsAndTheClosingChord) {
  SetBlocks({{"CMPs", 384}, {"FMPo", 384}, {"GMPs", 384}});
  SetTones(0, 60, 64, 67, 70, 48);
  SetTones(1, 65, 69, 72, 0, 53);
  SetTones(2, 67, 71, 74, 77, 55);
  PartTrack t;
  GenerateBossaNovaPattern(kChannel, t);
  const auto notes = Sounding(t);
  // With a seventh: six events; without one the seventh's place stays empty.
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 384)), (std::vector<int64_t>{0, 168, 216, 264, 288, 312}));
  EXPECT_EQ(Onsets(SoundingIn(t, 384, 768)), (std::vector<int64_t>{384, 552, 600, 672, 696}));
  const ChordBlock& c = Block(0);
  EXPECT_EQ(PitchesAt(notes, 0), (std::vector<int>{c.fifth - 10, c.root, c.third}));
  EXPECT_EQ(PitchesAt(notes, 312), (std::vector<int>{c.fifth + 14}));
  for (const NoteRow& n : notes) EXPECT_EQ(std::get<3>(n), 84);
  // The last block: one chord for its length less 15.
  const auto last = SoundingIn(t, 768, 1152);
  ASSERT_EQ(last.size(), 3u);
  for (const NoteRow& n : last) {
    EXPECT_EQ(std::get<0>(n), 768);
    EXPECT_EQ(std::get<4>(n), 369);
  }
}

TEST_F(LatinTest, BossaNovaQuartersOnOtherLengths) {
  SetBlocks({{"CMPs", 144}, {"GMPs", 384}});
  SetTones(0, 60, 64, 67, 70, 48);
  PartTrack t;
  GenerateBossaNovaPattern(kChannel, t);
  const auto notes = Sounding(t);
  const ChordBlock& c = Block(0);
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 144)), (std::vector<int64_t>{0, 48, 96}));
  EXPECT_EQ(PitchesAt(notes, 0), std::vector<int>{c.bass});
  EXPECT_EQ(PitchesAt(notes, 48).size(), 3u);  // third, root, seventh
  EXPECT_EQ(PitchesAt(notes, 96), std::vector<int>{c.bass});
  EXPECT_EQ(std::get<4>(SoundingIn(t, 96, 144).front()), 46);
  EXPECT_EQ(Onsets(SoundingIn(t, 144, 600)).front(), 144);
}

TEST_F(LatinTest, LatinAlternatesItsBarFigures) {
  SetBlocks({{"CMPs", 384}, {"FMPs", 384}, {"GMPs", 768}});
  PartTrack t;
  GenerateLatinPattern(kChannel, t);
  const std::vector<int64_t> even = {0, 96, 240, 336};
  const std::vector<int64_t> odd = {48, 192, 288};
  const auto shifted = [](std::vector<int64_t> v, int64_t by) {
    for (auto& x : v) x += by;
    return v;
  };
  EXPECT_EQ(Onsets(SoundingIn(t, 0, 384)), even);
  EXPECT_EQ(Onsets(SoundingIn(t, 384, 768)), shifted(odd, 384));
  // A two-bar chord plays one figure twice.
  EXPECT_EQ(Onsets(SoundingIn(t, 768, 1152)), shifted(even, 768));
  EXPECT_EQ(Onsets(SoundingIn(t, 1152, 1536)), shifted(even, 1152));
  const ChordBlock& c = Block(0);
  EXPECT_EQ(PitchesAt(Sounding(t), 0), (std::vector<int>{c.third - 12, c.fifth - 12}));
}

TEST_F(LatinTest, RhythmicLatinBarsHalvesAndTriplets) {
  struct Case {
    const char* name;
    bool triplet;
    int metre;
    int length;
    size_t onsets;  // distinct sounding onsets in the block
  };
  const Case cases[] = {
      {"bar", false, 0, 384, 9},         {"half bar", false, 0, 192, 5},
      {"3/4 bar in triplets", true, 1, 288, 1}, {"other length", false, 0, 288, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetGrid(c.triplet);
    SetMetre(c.metre);
    SetBlocks({{"CMPs", c.length}, {"FMPs", c.length}});
    PartTrack t;
    GenerateRhythmicLatinPattern(kChannel, t);
    EXPECT_EQ(Onsets(SoundingIn(t, 0, c.length)).size(), c.onsets);
    EXPECT_EQ(Onsets(SoundingIn(t, c.length, 2 * c.length)).front(), c.length);
  }
}

// In triplets the cha-cha-cha is its straight figure moved onto the shuffle.
TEST_F(LatinTest, ChaChaChaShufflesItsFigureInTriplets) {
  SetBlocks({{"CMPs", 384}, {"AmPs", 384}, {"FMPs", 768}});
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    const auto straight = Written(seed, [](MidiTrack& t) { GenerateChaChaChaFigure(kChannel, t); });
    SetGrid(true);
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateChaChaChaPattern(kChannel, t);
    SetGrid(false);
    const auto shuffled = Sounding(t);
    std::vector<NoteRow> sounding;
    for (const NoteRow& n : straight)
      if (std::get<3>(n) > 0) sounding.push_back(n);
    const auto pitches = [](const std::vector<NoteRow>& rows) {
      std::multiset<int> out;
      for (const NoteRow& n : rows) out.insert(std::get<2>(n));
      return out;
    };
    EXPECT_EQ(pitches(shuffled), pitches(sounding));
    // Every stroke now sits on the triplet grid, none before the song.
    for (const NoteRow& n : shuffled) {
      EXPECT_EQ(std::get<0>(n) % 32, 0) << std::get<0>(n);
      EXPECT_GE(std::get<0>(n), 0);
    }
  }
}

// Silent stretches of up to four blocks keep time: the next figure starts on
// its block.
TEST_F(LatinTest, FlamencoSilenceKeepsTime) {
  SetBlocks({{"CMPs", 384}, {"AmPs", 384}, {"FMPs", 384}, {"GMPs", 384}, {"CMPs", 384},
             {"AmPs", 384}, {"FMPs", 384}, {"GMPs", 384}});
  // A silent stretch never reaches into the song's last block: that one strums.
  constexpr int64_t kLastBlock = 7 * 384;
  int silent = 0;
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateFlamencoPattern(kChannel, t);
    for (int group = 0; group < 2; ++group) {
      const int64_t from = 1536 * group;
      const auto notes = SoundingIn(t, from, std::min(from + 1536, kLastBlock));
      if (!notes.empty()) {
        EXPECT_EQ(Onsets(notes).front(), from);
        continue;
      }
      ++silent;
    }
    const auto closing = Onsets(SoundingIn(t, kLastBlock, kLastBlock + 384));
    ASSERT_FALSE(closing.empty()) << "seed " << seed;
    EXPECT_EQ(closing.front(), kLastBlock);
    for (const NoteRow& n : Sounding(t)) {
      const ChordBlock& b = Block(static_cast<int>(std::get<0>(n) / 384));
      const int pc = std::get<2>(n) % 12;
      EXPECT_TRUE(pc == b.root % 12 || pc == b.third % 12 || pc == b.fifth % 12);
    }
  }
  EXPECT_GT(silent, 0);
}

// A chord lacking tones places no C for them on 48 or 60.
TEST_F(LatinTest, FlamencoRestsMissingTones) {
  SetBlocks({{"NMPo", 384}, {"NMPo", 384}, {"NMPo", 384}, {"NMPo", 384}});
  for (int k = 0; k < 4; ++k) SetTones(k, 0, 0, 0, 0, 0);
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateFlamencoPattern(kChannel, t);
    EXPECT_TRUE(Sounding(t).empty());
  }
}

}  // namespace
}  // namespace pattern_test
