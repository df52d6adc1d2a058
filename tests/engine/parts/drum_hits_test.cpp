// Drum hits: the notes each hit type sounds per kit and sound module, random
// velocities within their bounds, double strokes and the timing of a hit.
#include <gtest/gtest.h>

#include <set>

#include "engine/drum_hits.h"
#include "engine/drum_part.h"
#include "engine/engine_state.h"
#include "engine/render_messages.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Notes;
using parts_test::NoteRow;

namespace {

constexpr int kCh = 9;

class DrumHitTest : public EngineTest {
 protected:
  // The notes (tick, pitch, velocity, length) of one hit written at pending
  // delta 5 with length 23 and gap 1, and the pending delta afterwards.
  struct Hit {
    std::vector<std::tuple<int, int, int, int>> notes;
    int pending = 0;
  };
  static Hit Play(int type, int value = 0, int kit = 2, int length = 23, int gap = 1) {
    CurrentStyle().instrument[kDrumChannel] = kit;
    PartTrack t;
    Hit h;
    h.pending = 5;
    WriteDrumHit(h.pending, length, gap, kCh, t, type, value);
    for (const NoteRow& n : Notes(t))
      if (std::get<2>(n) != 0)
        h.notes.emplace_back(static_cast<int>(std::get<0>(n)), std::get<2>(n), std::get<3>(n),
                             std::get<4>(n));
    return h;
  }
  static std::set<int> Pitches(const Hit& h) {
    std::set<int> p;
    for (const auto& n : h.notes) p.insert(std::get<1>(n));
    return p;
  }
};

TEST_F(DrumHitTest, ClosedHatTakesTheStepValueWithinMidiRange) {
  struct Case { int value, velocity; };
  for (const Case& c : {Case{-25, 15}, Case{0, 40}, Case{87, 127}, Case{90, 127}}) {
    const Hit h = Play(1, c.value);
    ASSERT_EQ(h.notes.size(), 1u);
    EXPECT_EQ(std::get<1>(h.notes[0]), 42);
    EXPECT_EQ(std::get<2>(h.notes[0]), c.velocity) << c.value;
  }
  // Type 53 is the snare at the value; type 4 is the same at 80.
  EXPECT_EQ(Play(53, 66).notes, (decltype(Hit::notes){{5, 40, 66, 23}, {5, 42, 40, 23}}));
  EXPECT_EQ(Play(4, 10).notes, (decltype(Hit::notes){{5, 40, 80, 23}, {5, 42, 40, 23}}));
  // A value outside the MIDI range still sounds.
  EXPECT_EQ(std::get<2>(Play(53, -10).notes[0]), 1);
  EXPECT_EQ(std::get<2>(Play(53, 300).notes[0]), 127);
}

TEST_F(DrumHitTest, KitSoundsByKitCode) {
  struct Case {
    int kit;
    int type;
    std::vector<std::pair<int, int>> notes;  // pitch, velocity
  };
  const Case cases[] = {
      {1, 5, {{35, 90}, {42, 40}}},  {2, 5, {{36, 90}, {42, 40}}},
      {3, 5, {{66, 90}, {69, 40}}},  {4, 5, {{36, 127}, {42, 40}}},
      {77, 5, {{36, 90}, {42, 40}}},  // an unknown kit sounds as the electric one
      {1, 3, {{38, 80}}},            {3, 3, {{65, 80}}},   {2, 3, {{40, 80}}},
      {1, 15, {{46, 50}}},           {3, 15, {{70, 50}}},
      {1, 39, {}},                   // drawn velocities: checked below
      {3, 37, {{70, 90}, {66, 90}}}, {1, 37, {{49, 90}, {35, 90}}},
      {3, 51, {{56, 80}, {69, 40}}}, {4, 51, {{35, 80}, {46, 40}}},
      {2, 7, {{50, 80}}},            {2, 52, {{61, 60}}},  {2, 40, {{84, 90}}},
  };
  for (const Case& c : cases) {
    if (c.notes.empty()) continue;
    const Hit h = Play(c.type, 0, c.kit);
    std::vector<std::pair<int, int>> got;
    for (const auto& n : h.notes) got.emplace_back(std::get<1>(n), std::get<2>(n));
    EXPECT_EQ(got, c.notes) << "kit " << c.kit << " type " << c.type;
  }
  EXPECT_EQ(Pitches(Play(39, 0, 1)), (std::set<int>{44, 38}));
  EXPECT_EQ(Pitches(Play(39, 0, 3)), (std::set<int>{70, 65}));
}

// Every type on every kit over many draws: notes start together at the pending
// delta, last the hit's length, lie among the percussion notes a General MIDI
// kit has and keep their velocities in 1..127.
TEST_F(DrumHitTest, EveryTypeSoundsPlayableNotesOnEveryKit) {
  for (int kit : {1, 2, 3, 4, 0}) {
    for (int type = kFirstDrumHit; type <= kLastDrumHit; ++type) {
      for (int draw = 0; draw < 40; ++draw) {
        const Hit h = Play(type, -10, kit);
        EXPECT_EQ(h.notes.empty(), type == kDrumHitRest) << type;
        for (const auto& [tick, pitch, velocity, length] : h.notes) {
          EXPECT_GE(pitch, 27) << type;
          EXPECT_LE(pitch, 87) << type;
          EXPECT_GE(velocity, 1) << type;
          EXPECT_LE(velocity, 127) << type;
          if (type != 50) {
            EXPECT_EQ(tick, 5) << type;
            EXPECT_EQ(length, 23) << type;
          }
        }
        EXPECT_LE(h.notes.size(), 4u);
        EXPECT_EQ(h.pending, type == 50 ? 13 : 24) << type;
      }
    }
  }
}

TEST_F(DrumHitTest, DrawnVelocitiesCoverTheirRanges) {
  struct Case {
    int kit, type, pitch, low, high;
  };
  const Case cases[] = {
      {4, 22, 36, 48, 67}, {2, 22, 36, 11, 30}, {1, 22, 35, 11, 30},  // soft kick with the ride
      {2, 21, 51, 31, 70}, {2, 23, 40, 41, 60}, {2, 25, 80, 61, 110},
      {2, 29, 67, 20, 39}, {2, 30, 41, 80, 99}, {2, 33, 56, 85, 105},
      {2, 38, 36, 35, 45}, {4, 38, 36, 72, 82}, {2, 44, 42, 11, 60},
      {2, 48, 78, 71, 80}, {2, 50, 40, 51, 100}, {2, 42, 83, 61, 110},
  };
  for (const Case& c : cases) {
    std::set<int> seen;
    for (int draw = 0; draw < 400; ++draw) {
      for (const auto& n : Play(c.type, 0, c.kit).notes)
        if (std::get<1>(n) == c.pitch) seen.insert(std::get<2>(n));
    }
    ASSERT_FALSE(seen.empty()) << c.type;
    EXPECT_EQ(*seen.begin(), c.low) << "type " << c.type << " kit " << c.kit;
    EXPECT_EQ(*seen.rbegin(), c.high) << "type " << c.type << " kit " << c.kit;
  }
}

TEST_F(DrumHitTest, RidesByKit) {
  std::set<int> rides, ethnic, ethnic_with_snare;
  for (int draw = 0; draw < 50; ++draw) {
    for (int p : Pitches(Play(21, 0, 1))) rides.insert(p);
    for (int p : Pitches(Play(21, 0, 3))) ethnic.insert(p);
    for (int p : Pitches(Play(23, 0, 3))) ethnic_with_snare.insert(p);
  }
  EXPECT_EQ(rides, (std::set<int>{51, 59}));
  EXPECT_EQ(ethnic, (std::set<int>{79}));
  EXPECT_EQ(ethnic_with_snare, (std::set<int>{65, 78}));
}

TEST_F(DrumHitTest, SoundModuleChoosesTheNotesOfTypes26To32) {
  struct Case {
    int mode, type;
    std::set<int> pitches;
  };
  const Case cases[] = {
      {2, 31, {64}},     {2, 32, {60}},     {0, 31, {64}},     {0, 32, {60}},
      {1, 31, {58}},     {1, 32, {59}},
      {2, 26, {29, 30}}, {1, 26, {29, 30}}, {0, 26, {17, 18}},  // scratches
  };
  for (const Case& c : cases) {
    SoundModuleMode() = c.mode;
    std::set<int> seen;
    for (int draw = 0; draw < 60; ++draw) {
      for (int p : Pitches(Play(c.type))) seen.insert(p);
    }
    EXPECT_EQ(seen, c.pitches) << "mode " << c.mode << " type " << c.type;
  }
}

TEST_F(DrumHitTest, DoubleStrokeKeepsTheStepInTime) {
  // Type 50, length 23, gap 1: an 11-tick stroke, a 12-tick stroke 11 ticks
  // later, and the next hit 13 ticks after that: 24 in all.
  const Hit h = Play(50);
  ASSERT_EQ(h.notes.size(), 4u);
  EXPECT_EQ(std::get<0>(h.notes[0]), 5);
  EXPECT_EQ(std::get<3>(h.notes[0]), 11);
  EXPECT_EQ(std::get<0>(h.notes[2]), 16);
  EXPECT_EQ(std::get<3>(h.notes[2]), 12);
  EXPECT_EQ(Pitches(h), (std::set<int>{42, 40}));
  EXPECT_EQ(h.pending, 13);
  // With a wider gap the second stroke sits half a gap later.
  const Hit wide = Play(50, 0, 2, 47, 9);
  EXPECT_EQ(std::get<0>(wide.notes[2]), 5 + 23 + 4);
  EXPECT_EQ(5 + 23 + 4 + wide.pending, 5 + 47 + 9);

  // On a GS module type 32 strikes its agogo twice now and then.
  SoundModuleMode() = 1;
  int doubles = 0;
  for (int draw = 0; draw < 400; ++draw) {
    const Hit g = Play(32);
    if (g.notes.size() == 2) {
      ++doubles;
      EXPECT_EQ(std::get<0>(g.notes[1]), 16);
      EXPECT_LE(std::get<2>(g.notes[1]), 79);
      EXPECT_EQ(g.pending, 13);
    } else {
      EXPECT_EQ(g.pending, 24);
    }
  }
  EXPECT_GT(doubles, 20);
  EXPECT_LT(doubles, 90);
}

TEST_F(DrumHitTest, UnknownTypeIsARestThatKeepsTime) {
  for (int type : {0, -3, 54, 1000}) {
    PartTrack t;
    int pending = 7;
    EXPECT_FALSE(WriteDrumHit(pending, 23, 1, kCh, t, type, 0)) << type;
    EXPECT_TRUE(WriteDrumHit(pending, 23, 1, kCh, t, 3, 0));
    CloseTrack(t);
    ASSERT_EQ(Notes(t).size(), 1u) << type;
    EXPECT_EQ(std::get<0>(Notes(t)[0]), 7 + 24) << type;
  }
  // A step array with such a type plays on in time and says so, once in a
  // rendering.
  PartTrack t;
  {
    RenderMessageScope rendering;
    int pending = 0;
    const int32_t steps[32] = {3, 0, 3, 99, 3};
    WriteDrumSteps(pending, 5 * 24, kCh, t, steps, 24);
    WriteDrumSteps(pending, 5 * 24, kCh, t, steps, 24);
  }
  CloseTrack(t);
  std::vector<int64_t> ticks;
  for (const NoteRow& n : Notes(t)) ticks.push_back(std::get<0>(n));
  EXPECT_EQ(ticks, (std::vector<int64_t>{0, 48, 96, 120, 168, 216}));
  EXPECT_EQ(ErrorCount(kBadDrumHit), 1);
}

}  // namespace
