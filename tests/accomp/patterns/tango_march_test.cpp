// Tango, enka, Middle-Eastern and march patterns.
#include <gtest/gtest.h>

#include <string>

#include "accomp/note_emitter.h"
#include "accomp/tango_march.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class TangoMarchTest : public PatternTest {
 protected:
  // One C major seventh block (60 64 67 70) of `length` per letter of
  // `sections`, each tagged with its letter in the chord timeline.
  static void Sections(const std::string& sections, int length = 384) {
    SetRepeated("CMPs", length, static_cast<int>(sections.size()));
    EventList& timeline = ComposeInfo().chord_timeline;
    timeline.FreeEvents();
    for (size_t i = 0; i < sections.size(); ++i) {
      SetTones(static_cast<int>(i), 60, 64, 67, 70, 48);
      const char tag[4] = {sections[i], 'X', 'X', 'X'};
      timeline.AppendSectionTag(length, tag);
    }
  }
};

// Sections A, A, B, A (two blocks each): the block before each change plays
// the section figure, chords on steps 1 and 2 only; the others the regular
// chords with the bent root after the fourth.
TEST_F(TangoMarchTest, TangoSectionFigure) {
  Sections("AAAABBAA");
  PartTrack t;
  GenerateTangoPattern(kChannel, t);
  for (int i = 0; i < 8; ++i) {
    const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
    const int64_t s = 384 * i;
    if (i == 3 || i == 5) {
      EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{s + 96, s + 192})) << i;
      EXPECT_EQ(PitchesAt(notes, s + 192), (std::vector<int>{64, 67, 72}));
      // The last regular chord before it was the bent root's 64.
      EXPECT_EQ(std::get<3>(notes.front()), 64);
    } else {
      EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{s, s + 96, s + 192, s + 288, s + 336})) << i;
      EXPECT_EQ(std::get<3>(notes[0]), 64);
      EXPECT_EQ(std::get<3>(notes[3]), 44);
    }
  }
}

// A song whose first block already comes before a section change plays the
// section figure at velocity 64.
TEST_F(TangoMarchTest, TangoSectionFigureFirst) {
  for (bool triplet : {false, true}) {
    SetGrid(triplet);
    Sections("AB");
    PartTrack t;
    GenerateTangoPattern(kChannel, t);
    const auto notes = SoundingIn(t, 0, 384);
    ASSERT_FALSE(notes.empty());
    for (const NoteRow& n : notes) EXPECT_EQ(std::get<3>(n), 64);
  }
}

// Tango (2) on sections A, A, B, A: each new section opens with the run
// (from the octave down to the third); where the melody is silent the run
// bends the fifth (F+2 for a major third) and drops to F-2.
TEST_F(TangoMarchTest, Tango2Runs) {
  Sections("AABBBBAA");
  EventList silent;
  silent.AppendNote(384 * 8, 0);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateTango2Pattern(kChannel, t, silent);
    for (int i : {0, 2, 6}) {
      const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
      ASSERT_EQ(notes.size(), 7u) << i;
      const int expected[7] = {72, 72, 70, 69, 67, 65, 64};
      for (int k = 0; k < 7; ++k) EXPECT_EQ(std::get<2>(notes[k]), expected[k]) << i;
    }
  }
  // With melody notes in the block the run keeps the fifth.
  EventList busy;
  for (int k = 0; k < 32; ++k) busy.AppendNote(96, 72);
  PartTrack t;
  GenerateTango2Pattern(kChannel, t, busy);
  const auto notes = SoundingIn(t, 0, 384);
  ASSERT_EQ(notes.size(), 7u);
  EXPECT_EQ(std::get<2>(notes[3]), 67);
  EXPECT_EQ(std::get<2>(notes[5]), 67);
}

TEST_F(TangoMarchTest, Tango2TripletRuns) {
  SetGrid(true);
  Sections("AABA");
  PartTrack t;
  GenerateTango2Triplet(kChannel, t);
  for (int i = 0; i < 4; ++i) {
    const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
    EXPECT_EQ(notes.size(), i == 1 ? 1u : 12u) << i;
  }
}

// Enka below density 120 never plays the folded voicing; from 120 the first
// five blocks take the phrase only where they are no whole quarters.
TEST_F(TangoMarchTest, EnkaVoicings) {
  Sections("AAAAAAAAAAAA");
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack low;
    GenerateEnkaPattern(kChannel, low, 119);
    for (const NoteRow& n : Sounding(low)) {
      const int v = std::get<3>(n);
      EXPECT_TRUE(v == 44 || v == 64 || v == 49) << v;
    }
    GneSeedRandomWith(seed);
    PartTrack high;
    GenerateEnkaPattern(kChannel, high, 130);
    for (const NoteRow& n : SoundingIn(high, 0, 5 * 384)) EXPECT_EQ(std::get<3>(n), 44);
  }
}

// The phrase: octave, ninth, tenth ... each lowered by one or two octaves;
// off-scale tones become the seventh.
TEST_F(TangoMarchTest, EnkaPhraseSteps) {
  Sections("A", 576);
  PartTrack t;
  NoteEmitter e(t, kChannel);
  e.BeginBlock(576);
  EnkaPhrase(Block(0), 48, e);
  const auto notes = Sounding(t);
  const auto onsets = Onsets(notes);
  EXPECT_EQ(onsets, (std::vector<int64_t>{48, 96, 144, 192, 240, 288, 336}));
  const int o = 72 - std::get<2>(notes[0]);
  EXPECT_TRUE(o == 12 || o == 24);
  EXPECT_EQ(PitchesAt(notes, 336), (std::vector<int>{60 - o, 67 - o}));
  EXPECT_EQ(PitchesAt(notes, 144), (std::vector<int>{76 - o}));
}

// One-bar blocks open with the descending run about one time in five; a
// first block too short for the run keeps the bent root.
TEST_F(TangoMarchTest, MiddleEasternRuns) {
  Sections(std::string(20, 'A'));
  int runs = 0, blocks = 0;
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateMiddleEasternPattern(kChannel, t);
    for (int i = 1; i < 20; ++i) {
      const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
      ++blocks;
      if (std::get<2>(notes.front()) == 72) {
        ++runs;
        EXPECT_EQ(Onsets(notes), (std::vector<int64_t>{384 * i, 384 * i + 6, 384 * i + 12,
                                                       384 * i + 18, 384 * i + 24, 384 * i + 30,
                                                       384 * i + 36}));
      }
    }
  }
  EXPECT_NEAR(static_cast<double>(runs) / blocks, 0.2, 0.05);
  SetBlocks({{"CMPs", 36}, {"CMPs", 384}});
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    const NoteRow first = OnlyNoteIn(
        Written(seed, [](MidiTrack& t) { GenerateMiddleEasternPattern(kChannel, t); }), 0, 36);
    EXPECT_EQ(std::get<2>(first), 60);
    EXPECT_GE(std::get<4>(first), 0);
  }
}

// Forty one-bar blocks: velocity 42 for blocks 0..5, 48 for 6..19, then 64;
// the octave doubling may drop only in the first sixth.
TEST_F(TangoMarchTest, MarchVelocities) {
  Sections(std::string(40, 'A'));
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateMarchPattern(kChannel, t);
    for (const NoteRow& n : Sounding(t)) {
      const int i = static_cast<int>(std::get<0>(n) / 384);
      EXPECT_EQ(std::get<3>(n), i < 6 ? 42 : (i < 20 ? 48 : 64)) << i;
      EXPECT_EQ(std::get<0>(n) % 24, 0);
    }
    for (int i = 6; i < 40; ++i) {
      const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
      for (int64_t at : Onsets(notes)) {
        const auto pitches = PitchesAt(notes, at);
        ASSERT_EQ(pitches.size(), 2u);
        EXPECT_EQ(pitches[1] - pitches[0], 12);
      }
    }
  }
}

TEST_F(TangoMarchTest, MarchTriplets) {
  SetGrid(true);
  Sections("AA");
  PartTrack t;
  GenerateMarchPattern(kChannel, t);
  const auto onsets = Onsets(Sounding(t));
  for (int64_t at : onsets) {
    const int k = static_cast<int>((at % 384) / 32);
    EXPECT_NE(k % 6, 0);
    EXPECT_NE(k % 6, 5);
  }
  EXPECT_EQ(onsets.size(), 2u * 8);
}

}  // namespace
}  // namespace pattern_test
