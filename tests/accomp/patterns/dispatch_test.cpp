// The pattern table routes each code and density to the body that plays it.
#include <gtest/gtest.h>

#include "accomp/harmony_patterns.h"
#include "accomp/pops_pattern.h"
#include "accomp/rhythmic_tension.h"
#include "accomp/stroke_patterns.h"
#include "accomp/variable_arpeggios.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

class DispatchTest : public PatternTest {};

using Body = void (*)(MidiTrack& track, int density);

const Body kStroke = [](MidiTrack& t, int) { GenerateContinuousStroke(kChannel, t); };
const Body kStrokeMedium = [](MidiTrack& t, int) { GenerateContinuousStrokeMedium(kChannel, t); };
const Body kStrokeFast = [](MidiTrack& t, int) { GenerateContinuousStrokeFast(kChannel, t); };
const Body kPopsTriplet = [](MidiTrack& t, int) { GeneratePopsTriplet(kChannel, t); };
const Body kPopsSparse = [](MidiTrack& t, int) { GeneratePopsSparse(kChannel, t); };
const Body kPopsLight = [](MidiTrack& t, int) { GeneratePopsLight(kChannel, t); };
const Body kPopsMedium = [](MidiTrack& t, int) { GeneratePopsMedium(kChannel, t); };
const Body kPopsSixEight = [](MidiTrack& t, int) { GeneratePopsSixEight(kChannel, t); };
const Body kPopsDense = [](MidiTrack& t, int) { GeneratePopsDense(kChannel, t); };
const Body kPhrases = [](MidiTrack& t, int d) { RhythmicTensionPhrases(kChannel, t, d); };
const Body kComping = [](MidiTrack& t, int d) { RhythmicTensionComping(kChannel, t, d); };
const Body kDense = [](MidiTrack& t, int d) { RhythmicTensionDense(kChannel, t, d); };
const Body kDotted = [](MidiTrack& t, int d) { VariableArpeggioDotted(kChannel, t, d); };
const Body kCycle = [](MidiTrack& t, int d) { VariableArpeggioCycle(kChannel, t, d); };
const Body kBursts = [](MidiTrack& t, int d) { VariableArpeggioBursts(kChannel, t, d); };
const Body kRun = [](MidiTrack& t, int d) { VariableArpeggioRun(kChannel, t, d); };

struct Route {
  int code;
  int density;
  bool triplet;
  bool six_eight;
  Body body;
};

const Route kRoutes[] = {
    {2, 119, false, false, kStroke},       {2, 120, false, false, kStrokeMedium},
    {2, 139, false, false, kStrokeMedium}, {2, 140, false, false, kStrokeFast},
    {28, 160, false, false, kStroke},      {28, 20, false, false, kStroke},
    {4, 40, false, false, kPopsSparse},    {4, 41, false, false, kPopsLight},
    {4, 60, false, false, kPopsLight},     {4, 61, false, false, kPopsMedium},
    {4, 80, false, false, kPopsMedium},    {4, 81, false, false, kPopsDense},
    {4, 40, true, false, kPopsTriplet},    {4, 41, true, false, kPopsTriplet},
    {4, 60, true, false, kPopsTriplet},    {4, 61, true, false, kPopsTriplet},
    {4, 80, true, false, kPopsTriplet},    {4, 81, true, false, kPopsTriplet},
    {4, 40, false, true, kPopsSparse},     {4, 41, false, true, kPopsLight},
    {4, 60, false, true, kPopsLight},      {4, 61, false, true, kPopsSixEight},
    {4, 80, false, true, kPopsSixEight},   {4, 81, false, true, kPopsDense},
    {10, 20, false, false, kPhrases},      {10, 79, false, false, kPhrases},
    {10, 80, false, false, kPhrases},      {10, 81, false, false, kComping},
    {10, 99, false, false, kComping},      {10, 100, false, false, kPhrases},
    {10, 101, false, false, kComping},     {10, 139, false, false, kComping},
    {10, 140, false, false, kDense},       {8, 60, false, false, kDotted},
    {8, 61, false, false, kCycle},         {8, 80, false, false, kCycle},
    {8, 81, false, false, kBursts},        {8, 100, false, false, kBursts},
    {8, 101, false, false, kRun},
};

TEST_F(DispatchTest, CodeAndDensityChooseTheBody) {
  for (const Route& r : kRoutes) {
    SCOPED_TRACE(testing::Message() << "code " << r.code << " density " << r.density
                                    << (r.triplet ? " triplet" : "")
                                    << (r.six_eight ? " 6/8 feel" : ""));
    SetGrid(r.triplet);
    SetMetre(r.six_eight ? 1 : 0, r.six_eight);
    if (r.six_eight) {
      SetBlocks({{"CMPs", 288}, {"AmPo", 576}, {"FMPS", 288}, {"GMPs", 144}});
    } else {
      SetBlocks({{"CMPs", 384}, {"AmPo", 768}, {"FMPS", 192}, {"GMPs", 384}});
    }
    const HarmonyPatternGenerator play = FindHarmonyPattern(r.code);
    ASSERT_NE(play, nullptr);
    static const EventList kNoMelody;
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      const auto routed = Written(seed, [&](MidiTrack& t) {
        play(HarmonyPatternCall{kChannel, t, r.code, r.density, kNoMelody});
      });
      const auto direct = Written(seed, [&](MidiTrack& t) { r.body(t, r.density); });
      ASSERT_FALSE(routed.empty());
      EXPECT_EQ(routed, direct) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace pattern_test
