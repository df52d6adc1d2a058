// Pitch methods 1-4 of the melody: a Lagrange curve through four random
// points, the direction method (random walk or rule tree) and the 1/f
// fluctuation ladder.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/melody.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kMaxContourTries = 1000;
constexpr int kMaxDirectionDraws = 10000;
constexpr float kTwoPi = 6.2831855f;

// cos and sin of 2 pi m / 500, m = 0..499.
struct CircleTable {
  float c[kFluctuationLength];
  float s[kFluctuationLength];
  CircleTable() {
    for (int m = 0; m < kFluctuationLength; ++m) {
      const double a = 2.0 * M_PI * m / kFluctuationLength;
      c[m] = static_cast<float>(std::cos(a));
      s[m] = static_cast<float>(std::sin(a));
    }
  }
};
const CircleTable& Circle() {
  static const CircleTable table;
  return table;
}

int Weight(const char* weights, int pitch) { return ToneDigit(weights, PitchClassOf(pitch)); }

// Takes the entries of a chain with 1 in 3 each, in order; the last item when
// none was taken.
int Chain(std::initializer_list<int> entries, int last) {
  for (int e : entries)
    if (GneRandomRange(1, 3) == 1) return e;
  return last;
}

// "2/3 x": taken unless a 1-in-3 draw says no.
bool TwoThirds() { return GneRandomRange(1, 3) != 1; }

}  // namespace

int SumOfEventLengths(const EventList& list) {
  int64_t total = 0;
  for (int i = 0; i < list.count(); ++i) total += list[i].length;
  if (total > INT32_MAX) return INT32_MAX;
  return static_cast<int>(total);
}

bool HasEqualValues(const int* values, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (values[i] == values[j]) return true;
  return false;
}

int PickContourPoints(int channel, int total, const char* weights, int* xs, int* ys) {
  const PartRecord& part = MelodyPart(channel);
  const int t = static_cast<int>(
      std::min<int64_t>(static_cast<int64_t>(total) * GneRandomRange(1, 3), INT32_MAX));
  if (t <= 0) {
    ShowErrorByCode(melody_error::kContourTotal);
    return 0;
  }
  const int need = std::min(part.dissonance, 9);
  int c = -1;
  for (int i = 0; i < 100; ++i) {
    const int pc = GneRandomRange(0, 11);
    if (ToneDigit(weights, pc) >= need) {
      c = pc;
      break;
    }
  }
  if (c < 0) c = PickStrongestTone(weights);
  const int upper = part.range_high;
  const int lower = part.range_low;
  xs[0] = 0;
  ys[0] = c + ((upper + lower) / 24) * 12;
  for (int i = 1; i <= 2; ++i) {
    xs[i] = GneRandomRange(0, t);
    ys[i] = GneRandomRange(lower, upper);
  }
  xs[3] = t;
  ys[3] = GneRandomRange(lower, upper);
  return kContourPointCapacity;
}

int PrepareContour(int channel, const EventList& chords, int* xs, int* ys) {
  if (chords.count() == 0) return 0;
  char code[5] = {};
  std::memcpy(code, chords[0].chord_code, 4);
  if (std::memcmp(code, "NoCd", 4) == 0) std::memcpy(code, "CMPS", 4);
  char weights[kToneWeightTextSize];
  BuildToneWeights(code, weights);
  const int total = SumOfEventLengths(chords);
  if (total <= 0) {
    ShowErrorByCode(melody_error::kContourPoints);
    return 0;
  }
  // Four distinct x values need a span of 3 ticks or more; a short list that
  // keeps drawing equal points gives no contour (the notes become rests).
  for (int tries = 0; tries < kMaxContourTries; ++tries) {
    const int n = PickContourPoints(channel, total, weights, xs, ys);
    if (n == 0) return 0;
    if (!HasEqualValues(xs, n)) return n;
  }
  ShowErrorByCode(melody_error::kContourTotal);
  return 0;
}

int LagrangeValue(const int* xs, const int* ys, int n, int x) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) {
    float term = static_cast<float>(ys[i]);
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      term *= static_cast<float>(x - xs[j]) / static_cast<float>(xs[i] - xs[j]);
    }
    sum += term;
  }
  if (!std::isfinite(sum)) return 0;
  float a = std::fabs(sum);
  if (a > 127.0f) a = 127.0f;
  return static_cast<int>(a);
}

int RandomWalkStep(int p1, int upper, int lower) {
  MelodyState& m = Melody();
  const int b = p1 != 0 ? p1 : (upper + lower) / 2;
  if (GneRandomRange(1, 4) == 1) m.walk_direction = -m.walk_direction;
  int s;
  if (GneRandomRange(1, 3) != 1) {
    s = GneRandomRange(1, 2);
  } else if (GneRandomRange(1, 2) == 1) {
    s = 0;
  } else if (GneRandomRange(1, 2) == 1) {
    s = GneRandomRange(3, 4);
  } else if (GneRandomRange(1, 2) == 1) {
    s = GneRandomRange(5, 6);
  } else {
    s = GneRandomRange(1, 6) + 6;
  }
  const int r = b + m.walk_direction * s;
  if (r < lower || r > upper) m.walk_direction = -m.walk_direction;
  return r;
}

int DirectionRuleStep(int p1, int p2, int upper, int lower, const ChordBlock& block) {
  const int root = block.root % 12;
  const int third = block.third % 12;
  const int fifth = block.fifth % 12;
  const int seventh = block.seventh % 12;
  int r;
  if (p1 == 0) {
    const int o = (lower / 12) * 12;
    if (GneRandomRange(1, 3) == 1) {
      r = o + root;
    } else if (GneRandomRange(1, 2) == 1) {
      r = o + third;
    } else if (GneRandomRange(1, 2) == 1) {
      r = o + fifth;
    } else {
      r = GneRandomRange(lower, upper);
    }
  } else if (p2 == 0) {
    r = Chain({p1 + 10, p1 + 9, p1 + 4, p1 + 2, p1 - 2, p1}, 0);
  } else if (p1 == p2) {
    const int wide = p1 - 6 + GneRandomRange(0, 12);
    r = Chain({p1 - 4, p1 + 4, p1 - 2, p1 + 2, p1, wide}, 0);
  } else if (PitchClassOf(p1) == root && GneRandomRange(1, 2) == 1) {
    if (seventh == (root + 10) % 12) {
      r = p1 + 10;
    } else {
      r = GneRandomRange(1, 2) == 1 ? p1 + 9 : p1 + 4;
    }
  } else if (p1 >= upper - 4) {
    if (GneRandomRange(1, 2) == 1) {
      r = p1;
    } else if (GneRandomRange(1, 4) != 1) {
      r = p1 - GneRandomRange(0, 4);
    } else if (GneRandomRange(1, 4) != 1) {
      r = p2;
    } else {
      r = p1 + GneRandomRange(0, 4);
    }
  } else if (p1 <= lower + 4) {
    if (TwoThirds()) {
      r = p1 + 9;
    } else if (GneRandomRange(1, 2) == 1) {
      r = p1 + 10;
    } else {
      r = p1 - GneRandomRange(0, 4);
    }
  } else {
    const int d = p1 - p2;
    if (d >= 10) {
      if (TwoThirds()) r = p1 - 2;
      else if (TwoThirds()) r = p1;
      else if (TwoThirds()) r = p1 - 4;
      else if (TwoThirds()) r = p2;
      else r = p1 - GneRandomRange(0, 12);
    } else if (d == 9) {
      if (TwoThirds()) r = p1 - 2;
      else if (TwoThirds()) r = p1;
      else if (TwoThirds()) r = p1 - 4;
      else if (TwoThirds()) r = p1 + 4;
      else if (TwoThirds()) r = p1 - 4;
      else if (TwoThirds()) r = p2;
      else r = p1 - GneRandomRange(0, 12);
    } else if (d >= 4) {
      r = Chain({p1, p2, p1 + 2, p1 - 2, p1 + 4, p1 + 9, p1 - 4, p1 + 10}, -1);
      if (r == -1) r = p1 + 6 - GneRandomRange(0, 12);
    } else if (d >= 1) {
      if (TwoThirds()) r = p1 + 2;
      else if (TwoThirds()) r = p1 - 2;
      else if (TwoThirds()) r = p1 - 4;
      else {
        r = Chain({p1 + 4, p2, p1, p1 + 9, p1 + 11}, -1);
        if (r == -1) r = p1 + 6 - GneRandomRange(0, 12);
      }
    } else if (d >= -8) {
      r = Chain({p1 + 4, p1 + 2, p1 - 2, p1 + 10, p1 + 9, p1 - 4, p2}, -1);
      if (r == -1) r = p1 - 6 + GneRandomRange(0, 12);
    } else {
      r = Chain({p2, p1 + 4, p1 + 10, p1 + 9, p1 + 2, p1 - 2, p1 - 4}, -1);
      if (r == -1) r = p1 + GneRandomRange(0, 12);
    }
  }
  if (r > upper) r = upper;
  if (r < lower) r = lower;
  if (PitchClassOf(r) == (root + 11) % 12) r -= 1;
  return r;
}

int DirectionAcceptWeight(int position_in_chord) { return position_in_chord == 0 ? 8 : 5; }

int DirectionMethodPitch(int p1, int p2, const char* weights, int position_in_chord, int channel,
                         int parameter, const ChordBlock& block) {
  const PartRecord& part = MelodyPart(channel);
  const int need = DirectionAcceptWeight(position_in_chord);
  int r = 0;
  for (int draws = 0; draws < kMaxDirectionDraws; ++draws) {
    r = parameter == 0 ? RandomWalkStep(p1, part.range_high, part.range_low)
                       : DirectionRuleStep(p1, p2, part.range_high, part.range_low, block);
    if (Weight(weights, r) >= need) return r;
  }
  return r;
}

namespace {

// The phases a draw of 0..10000 gives, and the amplitudes sqrt(1 / k).
struct PhaseTable {
  float cos_phase[10001];
  float sin_phase[10001];
  float amplitude[kFluctuationLength + 1];
  PhaseTable() {
    for (int m = 0; m <= 10000; ++m) {
      const float phi = static_cast<float>(m) / 10000.0f * kTwoPi;
      cos_phase[m] = std::cos(phi);
      sin_phase[m] = std::sin(phi);
    }
    amplitude[0] = 0.0f;
    for (int k = 1; k <= kFluctuationLength; ++k)
      amplitude[k] = std::sqrt(1.0f / static_cast<float>(k));
  }
};
const PhaseTable& Phases() {
  static const PhaseTable table;
  return table;
}

}  // namespace

void MakeFluctuationSequence() {
  MelodyState& m = Melody();
  const PhaseTable& phases = Phases();
  for (int k = 1; k <= kFluctuationLength; ++k) {
    const int draw = GneRandomRange(0, 10000);
    const float a = phases.amplitude[k];
    m.phase_cos[static_cast<size_t>(k)] = a * phases.cos_phase[draw];
    m.phase_sin[static_cast<size_t>(k)] = a * phases.sin_phase[draw];
  }
  m.sequence.fill(0);
  m.sequence_made.fill(0);
  m.sequence_made[0] = 1;
}

int FluctuationSequenceValue(int position) {
  MelodyState& m = Melody();
  if (position <= 0 || position > kFluctuationLength) return 0;
  const size_t j = static_cast<size_t>(position);
  if (m.sequence_made[j] == 0) {
    // x_j = sum a_k cos(2 pi k j / 500 - phi_k)
    //     = sum a_k (cos(2 pi k j / 500) cos phi_k + sin(2 pi k j / 500) sin phi_k).
    const CircleTable& circle = Circle();
    float x = 0.0f;
    int m_index = 0;
    for (int k = 1; k <= kFluctuationLength; ++k) {
      m_index += position;
      if (m_index >= kFluctuationLength) m_index -= kFluctuationLength;
      x += circle.c[m_index] * m.phase_cos[static_cast<size_t>(k)] +
           circle.s[m_index] * m.phase_sin[static_cast<size_t>(k)];
    }
    // The nearest rung n with n - 0.5 <= x < n + 0.5; sums beyond the ladder
    // take its end.
    int n = static_cast<int>(std::floor(x + 0.5f));
    if (n < -10) n = -10;
    if (n > 10) n = 10;
    m.sequence[j] = static_cast<int8_t>(n);
    m.sequence_made[j] = 1;
  }
  return m.sequence[j];
}

int NextFluctuationValue(int channel, int p1, int /*upper*/, int /*lower*/, int c) {
  MelodyState& m = Melody();
  if (p1 == 0) {
    MakeFluctuationSequence();
    m.sequence_position = 1;
  }
  m.sequence_position += MelodyPart(channel).algorithm == 3 ? 1 : c;
  if (m.sequence_position >= kFluctuationLength || m.sequence_position < 0)
    m.sequence_position = 0;
  return FluctuationSequenceValue(m.sequence_position);
}

int FluctuationPitch(int p1, int c, const char* weights, int length, int channel) {
  const PartRecord& part = MelodyPart(channel);
  const int upper = part.range_high;
  const int lower = part.range_low;
  const int v = NextFluctuationValue(channel, p1, upper, lower, c);
  // A strong tone lies within 12 semitones of any pitch, or nowhere: every
  // search ends after 12 steps, whatever the range's bounds.
  auto first_up = [weights](int from, int limit) {
    const int64_t last = std::min<int64_t>(limit, static_cast<int64_t>(from) + 11);
    for (int64_t q = from; q <= last; ++q)
      if (Weight(weights, static_cast<int>(q)) >= ToneLevel8) return static_cast<int>(q);
    return INT32_MIN;
  };
  auto first_down = [weights](int from, int limit) {
    const int64_t last = std::max<int64_t>(limit, static_cast<int64_t>(from) - 11);
    for (int64_t q = from; q >= last; --q)
      if (Weight(weights, static_cast<int>(q)) >= ToneLevel8) return static_cast<int>(q);
    return INT32_MIN;
  };
  int rungs[21];
  const int middle = static_cast<int>((static_cast<int64_t>(upper) + lower) / 2);
  const int start = first_up(middle, upper);
  rungs[10] = start != INT32_MIN ? start : (upper < INT32_MAX ? upper + 1 : upper);
  for (int i = 11; i <= 20; ++i) {
    const int q = rungs[i - 1] < INT32_MAX ? first_up(rungs[i - 1] + 1, upper) : INT32_MIN;
    rungs[i] = q != INT32_MIN ? q : rungs[i - 1];
  }
  for (int i = 9; i >= 0; --i) {
    const int q = rungs[i + 1] > INT32_MIN + 1 ? first_down(rungs[i + 1] - 1, lower) : INT32_MIN;
    rungs[i] = q != INT32_MIN ? q : rungs[i + 1];
  }
  int raw = rungs[10 + v];
  if (part.algorithm == 3 && p1 != 0 && (length == ticks::kEighth || length == 32)) {
    if (GneRandomRange(1, 3) != 1) raw = p1;
  }
  return raw;
}
