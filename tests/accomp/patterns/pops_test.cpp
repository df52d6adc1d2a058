// The pops pattern: routing to its six bodies and what each body plays.
#include <gtest/gtest.h>

#include <map>

#include "accomp/pops_pattern.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class PopsTest : public PatternTest {};

TEST_F(PopsTest, Routing) {
  using Body = void (*)(int, MidiTrack&);
  struct Case { int density; bool triplet; bool six_eight; Body body; };
  const Case cases[] = {
      {20, true, false, GeneratePopsTriplet},     {160, true, false, GeneratePopsTriplet},
      {40, false, false, GeneratePopsSparse},     {41, false, false, GeneratePopsLight},
      {60, false, false, GeneratePopsLight},      {61, false, false, GeneratePopsMedium},
      {80, false, false, GeneratePopsMedium},     {80, false, true, GeneratePopsSixEight},
      {61, false, true, GeneratePopsSixEight},    {81, false, true, GeneratePopsDense},
      {81, false, false, GeneratePopsDense},      {40, false, true, GeneratePopsSparse},
  };
  for (const Case& c : cases) {
    SetGrid(c.triplet);
    SetMetre(c.six_eight ? 1 : 0, c.six_eight);
    SetBlocks({{"CMPs", 288}, {"AmPs", 576}, {"FMPS", 384}, {"GMPs", 192}});
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      const auto routed = Written(seed, [&](MidiTrack& t) { GeneratePopsPattern(kChannel, t, c.density); });
      const auto direct = Written(seed, [&](MidiTrack& t) { c.body(kChannel, t); });
      EXPECT_EQ(routed, direct) << c.density << " " << c.triplet << " " << c.six_eight;
    }
  }
}

// Dense body: a 96-tick block is 48 + 48 or one 96 step; a step that begins
// 48 ticks before a block's end is a 48-tick stroke.
TEST_F(PopsTest, DenseSteps) {
  std::map<std::vector<int64_t>, int> seen;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{"CMPs", 96}, {"FMPs", 240}});
    PartTrack t;
    GeneratePopsDense(kChannel, t);
    ++seen[Onsets(SoundingIn(t, 0, 96))];
    const auto second = SoundingIn(t, 96, 336);
    EXPECT_EQ(Onsets(second).front(), 96);
    for (const NoteRow& n : second) {
      if (std::get<0>(n) == 288) {
        EXPECT_EQ(std::get<4>(n), 47) << seed;
      }
    }
  }
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen.count({0}) && seen.count({0, 48}));
}

// A run over a chord without a seventh rests where it draws the seventh.
TEST_F(PopsTest, DenseRunRestsOnMissingSeventh) {
  int rests = 0;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPd", 384, 2);
    PartTrack t;
    GeneratePopsDense(kChannel, t);
    for (const NoteRow& n : Rows(t)) {
      if (std::get<2>(n) == 0) ++rests;
      if (std::get<2>(n) > 0) {
        EXPECT_NE(std::get<2>(n) % 12, 10) << seed;
      }
    }
    for (const NoteRow& n : Sounding(t)) {
      const int pc = std::get<2>(n) % 12;
      EXPECT_TRUE(pc == 0 || pc == 4 || pc == 7) << std::get<2>(n);
    }
  }
  EXPECT_GT(rests, 0);
}

// Triplet body on a 7/8 bar: a 16-tick stroke first, then the 32-tick grid.
TEST_F(PopsTest, TripletOddRemainderFirst) {
  SetGrid(true);
  SetMetre(2);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPs", 336, 2);
    PartTrack t;
    GeneratePopsTriplet(kChannel, t);
    const auto first = SoundingIn(t, 0, 336);
    EXPECT_EQ(std::get<4>(first.front()), 14);
    for (int64_t at : Onsets(first)) EXPECT_TRUE(at == 0 || (at - 16) % 32 == 0) << at;
    EXPECT_EQ(Onsets(SoundingIn(t, 336, 672)).front(), 336);
  }
}

// Blocks that are no whole number of eighths: the last step is cut at the
// block's end, so the next block starts on time.
TEST_F(PopsTest, StepsAreCutAtTheBlockEnd) {
  using Body = void (*)(int, MidiTrack&);
  for (Body body : {static_cast<Body>(GeneratePopsDense), static_cast<Body>(GeneratePopsMedium)}) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      SetBlocks({{"CMPs", 120}, {"FMPs", 168}, {"GMPs", 384}});
      PartTrack t;
      body(kChannel, t);
      EXPECT_EQ(Onsets(SoundingIn(t, 120, 288)).front(), 120) << seed;
      EXPECT_EQ(Onsets(SoundingIn(t, 288, 672)).front(), 288) << seed;
      for (const NoteRow& n : SoundingIn(t, 0, 288)) {
        const int64_t end = std::get<0>(n) < 120 ? 120 : 288;
        EXPECT_LE(std::get<0>(n) + std::get<4>(n), end) << seed;
      }
    }
  }
}

TEST_F(PopsTest, SparseFigures) {
  bool with_figure = false, without = false;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{"CMPo", 384}, {"FMPo", 192}, {"GMPo", 96}});
    SetTones(0, 60, 64, 67, 72, 36);
    PartTrack t;
    GeneratePopsSparse(kChannel, t);
    const auto bar = Onsets(SoundingIn(t, 0, 384));
    if (std::count(bar.begin(), bar.end(), 96)) {
      with_figure = true;
      EXPECT_EQ(bar.front(), 0);
      EXPECT_TRUE(bar.size() >= 7 && bar.size() <= 9) << bar.size();
      for (int64_t at : {144, 192, 288, 336, 360}) EXPECT_TRUE(std::count(bar.begin(), bar.end(), at)) << at;
    } else {
      without = true;
      EXPECT_EQ(bar, (std::vector<int64_t>{0, 336, 338, 340, 360, 362, 364}));
    }
    // 192 ticks: the dyad for 142 ticks, the quick figure from 144.
    const auto half = SoundingIn(t, 384, 576);
    EXPECT_EQ(Onsets(half), (std::vector<int64_t>{384, 528, 530, 532, 552, 554, 556}));
    EXPECT_EQ(std::get<4>(half.front()), 142);
    EXPECT_EQ(Onsets(SoundingIn(t, 576, 672)), (std::vector<int64_t>{576}));
  }
  EXPECT_TRUE(with_figure && without);
}

TEST_F(PopsTest, LightVoicingAndShortBlocks) {
  struct Case { int octave; int length; std::vector<int> chord; std::vector<int64_t> onsets; int last; };
  const Case cases[] = {
      {0, 384, {64, 67, 71}, {0, 96, 192, 288}, 94},
      {1, 384, {76, 79, 83}, {0, 96, 192, 288}, 94},
      {0, 336, {64, 67, 71}, {0, 96, 192}, 142},
      {0, 144, {64, 67, 71}, {0}, 142},
  };
  for (const Case& c : cases) {
    CurrentStyle().octave[kChannel] = c.octave;
    SetRepeated("CMPS", c.length, 2);  // the first of two blocks keeps its block chords
    SetTones(0, 60, 64, 67, 71, 36);
    PartTrack t;
    GeneratePopsLight(kChannel, t);
    const auto notes = SoundingIn(t, 0, c.length);
    EXPECT_EQ(Onsets(notes), c.onsets) << c.octave << " " << c.length;
    EXPECT_EQ(PitchesAt(notes, 0), c.chord) << c.octave << " " << c.length;
    EXPECT_EQ(std::get<4>(notes.back()), c.last);
  }
}

// Mode 5 plays each beat as two notes 48 ticks apart and ends on the bar line.
TEST_F(PopsTest, LightBrokenBarEndsOnTheBarLine) {
  int found = 0;
  for (uint32_t seed = 1; seed <= 60 && found < 3; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPS", 384, 8);
    for (int i = 0; i < 8; ++i) SetTones(i, 60, 64, 67, 71, 36);
    PartTrack t;
    GeneratePopsLight(kChannel, t);
    for (int i = 3; i < 4; ++i) {
      const auto bar = SoundingIn(t, 384 * i, 384 * (i + 1));
      if (std::get<3>(bar.front()) != 32) continue;
      ++found;
      EXPECT_EQ(Onsets(bar), (std::vector<int64_t>{384 * i, 384 * i + 48, 384 * i + 96, 384 * i + 144,
                                                   384 * i + 192, 384 * i + 240, 384 * i + 288,
                                                   384 * i + 336}));
      EXPECT_EQ(PitchesAt(bar, 384 * i), (std::vector<int>{52}));
      EXPECT_EQ(Onsets(SoundingIn(t, 384 * (i + 1), 384 * (i + 2))).front(), 384 * (i + 1));
    }
  }
  EXPECT_GT(found, 0);
}

// The first ten blocks of the six-eight body play only the soft figures.
TEST_F(PopsTest, SixEightOpensSoftly) {
  SetMetre(1, true);
  bool late_full_chord = false;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPs", 288, 12);
    PartTrack t;
    GeneratePopsSixEight(kChannel, t);
    const auto notes = Sounding(t);
    for (int64_t at : Onsets(notes)) {
      int loud = 0;
      for (const NoteRow& n : notes)
        if (std::get<0>(n) == at && std::get<3>(n) == 64) ++loud;
      if (loud >= 2 && at < 2880) {
        ADD_FAILURE() << "a full chord in the first ten blocks at " << at;
      }
      if (loud >= 2 && at >= 2880) late_full_chord = true;
    }
  }
  EXPECT_TRUE(late_full_chord);
}

}  // namespace
}  // namespace pattern_test
