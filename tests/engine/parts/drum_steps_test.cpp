// Step arrays the drum styles draw: which hit types each place of a beat can
// take and how often, the fills, motifs and forced rests, and the authored
// automatic patterns.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/drum_auto_patterns.h"
#include "engine/drum_hits.h"
#include "engine/drum_steps.h"
#include "tests/engine/engine_fixture.h"

namespace {

class DrumStepsTest : public EngineTest {};

// Hit types seen at each step index over many draws.
template <class Make>
std::vector<std::set<int>> SeenPerStep(Make make, int draws, int steps) {
  std::vector<std::set<int>> seen(static_cast<size_t>(steps));
  for (int d = 0; d < draws; ++d) {
    const DrumSteps s = make();
    for (int i = 0; i < steps; ++i) seen[static_cast<size_t>(i)].insert(s[static_cast<size_t>(i)]);
  }
  return seen;
}

TEST_F(DrumStepsTest, SwingPlacesByBeatPosition) {
  const auto seen = SeenPerStep(MakeSwingSteps, 3000, kDrumStepCount);
  for (int i = 0; i < kDrumStepCount; ++i) {
    std::set<int> want;
    switch (i % 8) {
      case 0: want = {21, 22, 2}; break;
      case 4: want = {21, 22}; break;
      case 1: case 5: want = {6, 21}; break;
      case 3: want = {23, 24, 6}; break;
      case 7: want = {21, 3, 23, 22, 2}; break;
      default: want = {6}; break;
    }
    EXPECT_EQ(seen[static_cast<size_t>(i)], want) << i;
  }
  const auto triplet = SeenPerStep(MakeSwingTripletSteps, 3000, kTripletDrumStepCount);
  for (int i = 0; i < kTripletDrumStepCount; ++i) {
    std::set<int> want;
    switch (i % 6) {
      case 0: want = {21, 22, 2}; break;
      case 3: want = {21, 23, 24}; break;
      case 1: case 4: want = {6, 21}; break;
      case 5: want = {21, 3, 23, 22, 2}; break;
      default: want = {6}; break;
    }
    EXPECT_EQ(triplet[static_cast<size_t>(i)], want) << i;
  }
}

// Frequencies of the types at one step index over many draws.
template <class Make>
std::map<int, double> Shares(Make make, size_t index, int draws) {
  std::map<int, double> out;
  for (int d = 0; d < draws; ++d) out[make()[index]] += 1.0 / draws;
  return out;
}

TEST_F(DrumStepsTest, RandomSixteenBeatClassesKeepTheirOdds) {
  auto four = [] { return MakeRandom16BeatSteps(false); };
  auto three = [] { return MakeRandom16BeatSteps(true); };
  constexpr int kDraws = 24000;
  const std::map<int, double> kick = {{5, 2.0 / 3}, {1, 1.0 / 6}, {2, 1.0 / 12},
                                      {15, 1.0 / 24}, {6, 1.0 / 24}};
  const std::map<int, double> snare = {{4, 2.0 / 3}, {1, 1.0 / 6}, {3, 1.0 / 12},
                                       {15, 1.0 / 24}, {6, 1.0 / 24}};
  const std::map<int, double> even = {{1, 3.0 / 4}, {15, 1.0 / 8}, {5, 1.0 / 16}, {6, 1.0 / 16}};
  const std::map<int, double> late = {{1, 2.0 / 3},   {15, 1.0 / 6},  {2, 1.0 / 12},
                                      {21, 1.0 / 24}, {5, 1.0 / 48}, {6, 1.0 / 48}};
  const std::map<int, double> off = {{1, 2.0 / 3}, {21, 1.0 / 6}, {6, 1.0 / 12},
                                     {15, 1.0 / 24}, {5, 1.0 / 24}};
  auto check = [&](const std::map<int, double>& got, const std::map<int, double>& want,
                   const std::string& what) {
    for (const auto& [type, share] : got) EXPECT_TRUE(want.count(type)) << what << " " << type;
    for (const auto& [type, share] : want) {
      const auto it = got.find(type);
      const double g = it == got.end() ? 0.0 : it->second;
      EXPECT_NEAR(g, share, 0.015) << what << " type " << type;
    }
  };
  check(Shares(four, 8, kDraws), kick, "4/4 step 8");
  check(Shares(four, 12, kDraws), snare, "4/4 step 12");
  check(Shares(four, 14, kDraws), even, "4/4 step 14");
  check(Shares(four, 15, kDraws), late, "4/4 step 15");
  check(Shares(four, 13, kDraws), off, "4/4 step 13");
  // In 3/4 the classes run in twelves: step 12 starts a bar with the kick,
  // step 16 has the snare.
  check(Shares(three, 12, kDraws), kick, "3/4 step 12");
  check(Shares(three, 16, kDraws), snare, "3/4 step 16");
  check(Shares(MakeRandom16BeatTripletSteps, 6, kDraws), kick, "triplet step 6");
  check(Shares(MakeRandom16BeatTripletSteps, 21, kDraws), snare, "triplet step 21");
  check(Shares(MakeRandom16BeatTripletSteps, 19, kDraws), late, "triplet step 19");
  for (int i = kTripletDrumStepCount; i < kDrumStepCount; ++i)
    EXPECT_EQ(MakeRandom16BeatTripletSteps()[static_cast<size_t>(i)], kDrumHitRest);
}

TEST_F(DrumStepsTest, SectionEndFillTouchesOnlyTheLateSteps) {
  int changed = 0, tried = 0;
  std::map<int, double> fills;
  for (int d = 0; d < 400; ++d) {
    const DrumSteps before = FilledDrumSteps(21);
    DrumSteps after = before;
    AddSectionEndFill(after, kDrumStepCount);
    for (int i = 0; i < kDrumStepCount; ++i) {
      const int m = i % 16;
      const bool late = (m >= 5 && m <= 7) || m >= 13;
      const int32_t t = after[static_cast<size_t>(i)];
      if (!late) {
        EXPECT_EQ(t, 21) << i;
        continue;
      }
      ++tried;
      if (t != 21) {
        ++changed;
        fills[t] += 1;
      }
    }
  }
  // Half keep their type; the others take the snare, the open hat, the hat
  // or the ride with the snare.
  EXPECT_NEAR(static_cast<double>(changed) / tried, 0.5, 0.03);
  const std::map<int, double> want = {{4, 2.0 / 3}, {15, 2.0 / 9}, {1, 1.0 / 27}, {23, 2.0 / 27}};
  ASSERT_EQ(fills.size(), want.size());
  for (const auto& [type, share] : want) EXPECT_NEAR(fills[type] / changed, share, 0.03) << type;
  // A triplet block uses 24 steps; the steps past them stay as they were.
  DrumSteps triplet = FilledDrumSteps(21);
  for (int d = 0; d < 50; ++d) AddSectionEndFill(triplet, kTripletDrumStepCount);
  for (int i = kTripletDrumStepCount; i < kDrumStepCount; ++i)
    EXPECT_EQ(triplet[static_cast<size_t>(i)], 21);
}

TEST_F(DrumStepsTest, MotifStaysInTheFirstBarAndComesOneBlockInThree) {
  int with_motif = 0;
  constexpr int kDraws = 6000;
  for (int d = 0; d < kDraws; ++d) {
    DrumSteps s = FilledDrumSteps(1);
    InsertDrumMotif(s, 11, 12, 13);
    bool any = false;
    for (int i = 0; i < kDrumStepCount; ++i) {
      if (s[static_cast<size_t>(i)] == 1) continue;
      any = true;
      EXPECT_LE(i, 17);
    }
    with_motif += any;
  }
  EXPECT_NEAR(static_cast<double>(with_motif) / kDraws, 1.0 / 3, 0.02);
}

TEST_F(DrumStepsTest, IndianRestsThinOutAsTheSongGoesOn) {
  // Steps 1, 3, 7, 13 and 15 are always the open agogo (32) unless forced
  // to rest; forced rests fall only on steps 0..15.
  struct Case {
    int block;
    int most_rests;
  };
  for (const Case& c : {Case{0, 8}, Case{7, 8}, Case{8, 3}, Case{15, 3}, Case{16, 0}, Case{40, 0}}) {
    int most = 0;
    for (int d = 0; d < 300; ++d) {
      const DrumSteps s = MakeIndianSteps(c.block);
      int rests = 0;
      for (size_t i : {1, 3, 7, 13, 15}) rests += s[i] == kDrumHitRest;
      for (size_t i : {17, 19, 23, 29, 31}) EXPECT_EQ(s[i], 32);
      for (size_t i : {22, 24, 30}) EXPECT_EQ(s[i], 12);
      EXPECT_EQ(s[26], 31);
      most = std::max(most, rests);
    }
    EXPECT_LE(most, std::min(c.most_rests, 5)) << c.block;
    if (c.most_rests > 0) {
      EXPECT_GT(most, 0) << c.block;
    }
  }
}

// The automatic patterns are authored data: hit types only, each beat a
// whole group that starts with a sound, the verse and chorus grooves as
// their names promise, and a one-beat fill of drums (no cymbals) at the end.
TEST_F(DrumStepsTest, AutomaticPatternsLint) {
  const std::set<int> kicks = {2, 5, 22, 33, 35, 37};
  const std::set<int> snares = {3, 4, 23, 53};
  const std::set<int> fill_sounds = {2, 3, 7, 8, 9, 53, 4};
  for (int p = 0; p < kAutoDrumPatternCount; ++p) {
    const AutoDrumPattern& pattern = AutoDrumPatterns(p);
    struct Form {
      const DrumSteps* steps;
      int count;
      int per_beat;
    };
    for (const Form& f : {Form{&pattern.sixteenth, kDrumStepCount, 4},
                          Form{&pattern.triplet, kTripletDrumStepCount, 3}}) {
      const DrumSteps& s = *f.steps;
      auto at = [&](int beat, int step) { return s[static_cast<size_t>(beat * f.per_beat + step)]; };
      for (int i = 0; i < f.count; ++i) {
        EXPECT_TRUE(IsDrumHitType(s[static_cast<size_t>(i)])) << p << " step " << i;
      }
      for (int beat = 0; beat < 8; ++beat) EXPECT_NE(at(beat, 0), kDrumHitRest) << p << " beat " << beat;
      for (int step = 0; step < f.per_beat; ++step)
        EXPECT_TRUE(fill_sounds.count(at(7, step))) << p << " fill step " << step;
      if (p == 0) {
        for (int beat : {0, 2, 4, 6}) EXPECT_TRUE(kicks.count(at(beat, 0))) << beat;
        for (int beat : {1, 3, 5}) EXPECT_TRUE(snares.count(at(beat, 0))) << beat;
      } else if (p == 1) {
        EXPECT_EQ(at(0, 0), 37);
        int lifts = 0, kick_steps = 0;
        for (int i = 0; i < f.count; ++i) {
          lifts += s[static_cast<size_t>(i)] == 15 || s[static_cast<size_t>(i)] == 21;
          kick_steps += kicks.count(s[static_cast<size_t>(i)]) > 0;
        }
        EXPECT_GE(lifts, 6);
        EXPECT_GT(kick_steps, 4);  // busier than the verse's kick on 1 and 3
      } else {
        int rides = 0, toms = 0;
        for (int i = 0; i < f.count; ++i) {
          const int32_t t = s[static_cast<size_t>(i)];
          rides += t == 21 || t == 22 || t == 23;
          toms += t == 7 || t == 8 || t == 9;
        }
        EXPECT_GE(rides, 8);
        EXPECT_GE(toms, 4);
      }
    }
    // The triplet form uses 24 entries; the others are rests.
    for (int i = kTripletDrumStepCount; i < kDrumStepCount; ++i)
      EXPECT_EQ(pattern.triplet[static_cast<size_t>(i)], kDrumHitRest);
  }
}

}  // namespace
