#include "engine/drum_steps.h"

#include "engine/drum_hits.h"
#include "util/gne.h"

DrumSteps MakeDrumSteps(std::initializer_list<DrumStepGroup> groups) {
  DrumSteps s = FilledDrumSteps(kDrumHitRest);
  int i = 0;
  for (const DrumStepGroup& g : groups)
    for (int t = 0; t < g.times; ++t)
      for (int32_t type : g.steps)
        if (i < kDrumStepCount) s[static_cast<size_t>(i++)] = type;
  return s;
}

DrumSteps FilledDrumSteps(int32_t type) {
  DrumSteps s;
  s.fill(type);
  return s;
}

bool DrumChance(int num, int den) { return GneRandomRange(1, den) <= num; }

int32_t EitherDrum(int32_t a, int32_t b) { return GneRandomRange(1, 2) == 1 ? a : b; }

int32_t PickDrumType(std::initializer_list<DrumBranch> branches, int32_t last_a, int32_t last_b) {
  for (const DrumBranch& b : branches)
    if (DrumChance(b.num, b.den)) return b.type;
  return EitherDrum(last_a, last_b);
}

namespace {

// The closing step of a swing beat: ride, now and then a snare, a ride with
// the snare, a kick with the ride or a kick.
int32_t SwingClosingStep() {
  if (DrumChance(1, 4)) return DrumChance(1, 6) ? 3 : 23;
  if (DrumChance(1, 4)) {
    if (DrumChance(5, 6)) return 22;
    if (DrumChance(1, 2)) return 2;
  }
  return 21;
}

// The middle step of a swing beat: a snare with the ride, else a bass drum.
int32_t SwingMiddleStep(int32_t keep) {
  if (DrumChance(1, 2)) return 23;
  if (DrumChance(1, 2)) return 24;
  return keep;
}

}  // namespace

namespace {

// Where a swing figure puts its strokes: steps per beat, steps per pair of
// beats, the step of the middle stroke, and what opens each pair.
struct SwingForm {
  int steps;
  int beat;
  int pair;
  int middle;
  bool drawn_beats;     // each beat opens on the ride or the ride with a kick
  int32_t pair_accent;  // the even-odds accent at the start of a pair
};

DrumSteps MakeSwing(const SwingForm& f) {
  DrumSteps s = FilledDrumSteps(kDrumHitRest);
  for (int i = 0; i < f.steps; ++i) {
    int32_t t = kDrumHitRest;
    if (i % f.beat == 0) t = f.drawn_beats ? EitherDrum(21, 22) : 21;
    if (i % f.beat == 1 && DrumChance(1, 6)) t = 21;
    const int m = i % f.pair;
    if (m == f.pair - 1) {
      t = SwingClosingStep();
    } else if (m == f.middle) {
      t = SwingMiddleStep(t);
    } else if (m == 0) {
      if (DrumChance(1, 2))
        t = f.pair_accent;
      else if (DrumChance(1, 2))
        t = 2;
    }
    s[static_cast<size_t>(i)] = t;
  }
  return s;
}

}  // namespace

DrumSteps MakeSwingSteps() { return MakeSwing({kDrumStepCount, 4, 8, 3, true, 21}); }

DrumSteps MakeSwingTripletSteps() { return MakeSwing({kTripletDrumStepCount, 3, 6, 3, false, 22}); }

namespace {

enum class BeatClass { kKick, kOffbeat, kEven, kLate, kSnare };

int32_t DrawClass(BeatClass c) {
  switch (c) {
    case BeatClass::kKick: return PickDrumType({{2, 3, 5}, {1, 2, 1}, {1, 2, 2}}, 15, 6);
    case BeatClass::kOffbeat: return PickDrumType({{2, 3, 1}, {1, 2, 21}, {1, 2, 6}}, 15, 5);
    case BeatClass::kEven: return PickDrumType({{3, 4, 1}, {1, 2, 15}}, 5, 6);
    case BeatClass::kLate: return PickDrumType({{2, 3, 1}, {1, 2, 15}, {1, 2, 2}, {1, 2, 21}}, 5, 6);
    case BeatClass::kSnare: return PickDrumType({{2, 3, 4}, {1, 2, 1}, {1, 2, 3}}, 15, 6);
  }
  return kDrumHitRest;
}

constexpr BeatClass K = BeatClass::kKick, O = BeatClass::kOffbeat, E = BeatClass::kEven,
                    L = BeatClass::kLate, S = BeatClass::kSnare;

}  // namespace

DrumSteps MakeRandom16BeatSteps(bool three_four) {
  static constexpr BeatClass kFour[16] = {K, O, E, L, S, O, E, L, K, O, E, L, S, O, E, L};
  static constexpr BeatClass kThree[12] = {K, O, E, L, S, O, E, L, K, O, E, L};
  DrumSteps s;
  for (int i = 0; i < kDrumStepCount; ++i)
    s[static_cast<size_t>(i)] = DrawClass(three_four ? kThree[i % 12] : kFour[i % 16]);
  return s;
}

DrumSteps MakeRandom16BeatTripletSteps() {
  static constexpr BeatClass kClasses[12] = {K, O, E, S, E, O, K, L, K, S, E, L};
  DrumSteps s = FilledDrumSteps(kDrumHitRest);
  for (int i = 0; i < kTripletDrumStepCount; ++i) s[static_cast<size_t>(i)] = DrawClass(kClasses[i % 12]);
  return s;
}

void AddSectionEndFill(DrumSteps& steps, int used_steps) {
  for (int i = 0; i < used_steps && i < kDrumStepCount; ++i) {
    const int m = i % 16;
    if (!((m >= 5 && m <= 7) || m >= 13)) continue;
    if (DrumChance(1, 2)) continue;
    int32_t t;
    if (DrumChance(2, 3))
      t = 4;
    else if (DrumChance(2, 3))
      t = 15;
    else
      t = DrumChance(1, 3) ? 1 : 23;
    steps[static_cast<size_t>(i)] = t;
  }
}

void InsertDrumMotif(DrumSteps& steps, int32_t m1, int32_t m2, int32_t m3) {
  if (!DrumChance(1, 3)) return;
  const size_t k = static_cast<size_t>(GneRandomRange(1, 12));
  steps[k - 1] = m1;
  if (DrumChance(1, 3)) {
    steps[k] = m2;
    steps[k + 1] = m3;
    steps[k + 2] = m3;
  } else {
    steps[k + 1] = m1;
    if (DrumChance(1, 2)) {
      steps[k + 3] = m2;
      steps[k + 5] = m3;
    }
  }
}

DrumSteps MakeIndianSteps(int block) {
  DrumSteps s;
  for (int i = 0; i < kDrumStepCount; ++i) {
    int32_t t = kDrumHitRest;
    switch (i % 16) {
      case 0: t = DrumChance(1, 3) ? 6 : 31; break;
      case 2: t = EitherDrum(12, 6); break;
      case 4: case 5: case 9: t = 6; break;
      case 6: case 8: case 14: t = 12; break;
      case 10: t = 31; break;
      case 11: t = EitherDrum(32, 6); break;
      case 12: t = EitherDrum(31, 6); break;
      default: t = 32; break;  // 1, 3, 7, 13, 15
    }
    s[static_cast<size_t>(i)] = t;
  }
  const int rests = block < 8 ? 8 : (block < 16 ? 3 : 0);
  for (int n = 0; n < rests; ++n) s[static_cast<size_t>(GneRandomRange(0, 15))] = kDrumHitRest;
  return s;
}

void PutTomFill(DrumSteps& steps, int first) {
  for (int i = 0; i < 8; ++i) steps[static_cast<size_t>(first + i)] = kTomFill[i];
}

DrumSteps JapaneseBaseSteps() {
  DrumSteps s = FilledDrumSteps(kDrumHitRest);
  for (int i : {0, 4, 10, 12, 16, 24, 26}) s[static_cast<size_t>(i)] = 30;
  for (int i : {2, 6, 8, 14, 18, 20, 22, 28, 30}) s[static_cast<size_t>(i)] = 29;
  for (int i : {13, 15, 29, 31}) s[static_cast<size_t>(i)] = 17;
  return s;
}

DrumSteps MixDrumSteps(const DrumSteps& a, const DrumSteps& b) {
  DrumSteps s;
  for (size_t i = 0; i < s.size(); ++i) s[i] = EitherDrum(a[i], b[i]);
  return s;
}
