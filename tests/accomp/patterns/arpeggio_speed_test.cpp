// Variable-speed and irregular arpeggios.
#include <gtest/gtest.h>

#include <set>

#include "accomp/variable_arpeggios.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class ArpeggioSpeedTest : public PatternTest {};

TEST_F(ArpeggioSpeedTest, Routing) {
  using Body = void (*)(int, MidiTrack&, int);
  struct Case { int density; Body body; };
  const Case cases[] = {
      {60, VariableArpeggioDotted}, {61, VariableArpeggioCycle},  {80, VariableArpeggioCycle},
      {81, VariableArpeggioBursts}, {100, VariableArpeggioBursts}, {101, VariableArpeggioRun},
  };
  SetBlocks({{"CMPs", 384}, {"AmPs", 336}, {"FMPS", 192}, {"GMPs", 384}});
  for (const Case& c : cases) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack routed;
      GenerateVariableSpeedArpeggio(kChannel, routed, c.density);
      GneSeedRandomWith(seed);
      PartTrack direct;
      c.body(kChannel, direct, c.density);
      EXPECT_EQ(Rows(routed), Rows(direct)) << c.density;
    }
  }
}

// Eight blocks: the root pulse first and last, roots with rare bursts and
// odd-step pairs in block 1, plain chord tones in blocks 2..4.
TEST_F(ArpeggioSpeedTest, BurstsFollowTheSongPosition) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPs", 384, 8);
    for (int i = 0; i < 8; ++i) SetTones(i, 60, 64, 67, 70, 36);
    PartTrack t;
    VariableArpeggioBursts(kChannel, t, 90);
    for (int i : {0, 7}) {
      const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
      for (const NoteRow& n : notes) {
        EXPECT_EQ(std::get<2>(n), 60) << i;
        EXPECT_EQ((std::get<0>(n) - 384 * i) % 48, 0);
        EXPECT_EQ(std::get<4>(n), 47);
      }
      if (i == 0) {
        for (const NoteRow& n : notes) EXPECT_NE((std::get<0>(n) / 48) % 4, 3);
      } else {
        EXPECT_EQ(notes.size(), 8u);
      }
    }
    for (int i = 2; i <= 4; ++i) {
      const auto notes = SoundingIn(t, 384 * i, 384 * (i + 1));
      EXPECT_EQ(notes.size(), 8u) << i;
      for (const NoteRow& n : notes) EXPECT_EQ(std::get<4>(n), 47);
    }
  }
}

TEST_F(ArpeggioSpeedTest, BurstsOnTheTripletGrid) {
  SetGrid(true);
  struct Case { int length; int step; };
  for (const Case c : {Case{288, 32}, Case{336, 48}, Case{168, 48}}) {
    SetRepeated("CMPs", c.length, 3);
    PartTrack t;
    VariableArpeggioBursts(kChannel, t, 90);
    const auto first = Rows(t);
    std::set<int64_t> starts;
    for (const NoteRow& n : first)
      if (std::get<0>(n) < c.length) starts.insert(std::get<0>(n));
    EXPECT_EQ(static_cast<int>(starts.size()), c.length / c.step) << c.length;
    EXPECT_EQ(Onsets(SoundingIn(t, c.length, 2 * c.length)).front(), c.length) << c.length;
  }
}

// The fast run: sixteenths until block 8, then thirty-seconds with 1 chance
// in 3, covering the chord tones an octave up; a missing seventh rests.
TEST_F(ArpeggioSpeedTest, RunSpeedsAndMissingSeventh) {
  bool thirty_seconds = false;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetRepeated("CMPd", 384, 10);
    for (int i = 0; i < 10; ++i) SetTones(i, 60, 64, 67, 0, 36);
    PartTrack t;
    VariableArpeggioRun(kChannel, t, 120);
    EXPECT_EQ(Onsets(SoundingIn(t, 384 * 7, 384 * 8)).size(), 12u);  // 16 steps less 4 sevenths
    const auto eighth = SoundingIn(t, 384 * 8, 384 * 9);
    if (eighth.size() == 24) {  // 32 steps less 8 sevenths
      thirty_seconds = true;
      std::set<int> pitches;
      for (const NoteRow& n : eighth) pitches.insert(std::get<2>(n));
      EXPECT_EQ(pitches, (std::set<int>{60, 64, 67, 72, 76, 79}));
    } else {
      EXPECT_EQ(eighth.size(), 12u);
    }
  }
  EXPECT_TRUE(thirty_seconds);
}

TEST_F(ArpeggioSpeedTest, DottedAndCycleHoldTheThird) {
  using Body = void (*)(int, MidiTrack&, int);
  for (Body body : {static_cast<Body>(VariableArpeggioDotted), static_cast<Body>(VariableArpeggioCycle)}) {
    SetBlocks({{"CMPs", 336}, {"FMPs", 384}});
    SetTones(0, 60, 64, 67, 70, 36);
    PartTrack t;
    body(kChannel, t, 60);
    const auto first = SoundingIn(t, 0, 336);
    EXPECT_EQ(std::get<2>(first.back()), 64);
    EXPECT_EQ(std::get<0>(first.back()), 288);
    EXPECT_EQ(std::get<4>(first.back()), 47);
    EXPECT_EQ(Onsets(SoundingIn(t, 336, 720)).front(), 336);
  }
}

TEST_F(ArpeggioSpeedTest, IrregularEighths) {
  struct Case { int metre; int length; bool may_sound; std::vector<int> steps; };
  const Case cases[] = {
      {0, 192, true, {1, 2, 3}},
      {0, 384, true, {1, 2, 3, 5, 6, 7}},
      {1, 144, false, {}},
      {1, 288, true, {1, 2, 3}},
      {2, 336, true, {1, 2, 3}},
      {0, 240, false, {}},
  };
  // The song's last block (the third) is never muted and always plays its
  // first arpeggio, steps 1 to 3.
  for (const Case& c : cases) {
    SetMetre(c.metre);
    bool sounded = false;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      SetRepeated("CMPs", c.length, 3);
      PartTrack t;
      IrregularArpeggioEighths(kChannel, t);
      std::set<int> last_steps;
      for (const NoteRow& n : Sounding(t)) {
        const int step = static_cast<int>((std::get<0>(n) % c.length) / 48);
        if (std::get<0>(n) >= 2 * c.length) {
          last_steps.insert(step);
          EXPECT_TRUE(step < 4 || std::count(c.steps.begin(), c.steps.end(), step)) << step;
          continue;
        }
        EXPECT_TRUE(std::count(c.steps.begin(), c.steps.end(), step)) << c.length << " " << step;
        sounded = true;
      }
      for (int step = 1; step < 4 && step < c.length / 48; ++step)
        EXPECT_EQ(last_steps.count(step), 1u) << c.length << " last block, step " << step;
    }
    EXPECT_EQ(sounded, c.may_sound) << c.metre << " " << c.length;
  }
}

TEST_F(ArpeggioSpeedTest, IrregularTripletSoundsOnHalfBarsOnly) {
  SetGrid(true);
  for (int length : {384, 192}) {
    bool sounded = false;
    for (uint32_t seed = 1; seed <= 10; ++seed) {
      GneSeedRandomWith(seed);
      SetRepeated("CMPs", length, 4);
      PartTrack t;
      IrregularArpeggioTriplet(kChannel, t);
      sounded = sounded || !SoundingIn(t, 0, 3 * length).empty();
      // The song's last block always plays its third and fifth.
      EXPECT_GE(SoundingIn(t, 3 * length, 4 * length).size(), 2u) << length;
    }
    EXPECT_EQ(sounded, length == 192);
  }
}

}  // namespace
}  // namespace pattern_test
