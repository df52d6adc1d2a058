// Pitch methods 5 and 6 of the melody: leap control (an occasional upward leap
// resolved downward, otherwise stepwise motion) and the melody table (intervals
// and direction changes drawn from the style's tables).
#include <cstdlib>

#include "engine/melody.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kMaxOctaveFolds = 11;
constexpr int kStrongToneSteps = 101;
constexpr int kModeDropAttempts = 1728;
constexpr int kMaxTableAttempts = 3 * kModeDropAttempts;
constexpr int kMaxCandidates = 64;

int Weight(const char* weights, int pitch) { return ToneDigit(weights, PitchClassOf(pitch)); }
int Sign(int v) { return (v > 0) - (v < 0); }

const PartRecord& LeadPart() { return MelodyPart(kMelodyChannel); }

// Whole octaves into low..high, at most 11 each way.
int FoldByOctaves(int pitch, int low, int high) {
  for (int i = 0; i < kMaxOctaveFolds && pitch < low; ++i) pitch += 12;
  for (int i = 0; i < kMaxOctaveFolds && pitch > high; ++i) pitch -= 12;
  return pitch;
}

int FoldIntoLeadRange(int pitch) {
  return FoldByOctaves(pitch, LeadPart().range_low, LeadPart().range_high);
}

int RestartBelowPrevious(int p2, const char* weights) {
  MelodyState& m = Melody();
  const int a = GneRandomRange(1, 2) == 1 ? p2 - 4 : p2 + 1;
  const int r = StepToMelodyStrongTone(weights, a, -1);
  m.leap_weak = 0;
  m.leap_due = 0;
  return r;
}

int RestartFromChord(int p2, const ChordBlock& block, const char* weights) {
  MelodyState& m = Melody();
  const PartRecord& lead = LeadPart();
  int a;
  if (p2 < 12) {
    a = block.root % 12 + ((lead.range_high + lead.range_low) / 24) * 12;
  } else {
    a = RestartBelowPrevious(p2, weights);
  }
  a = FoldIntoLeadRange(a);
  m.leap_weak = 0;
  m.leap_due = 0;
  return a;
}

int LeapUp(int b, const char* weights) {
  MelodyState& m = Melody();
  const int upper = LeadPart().range_high;
  const int s = GneRandomRange(1, 2) == 1 ? 2 : (GneRandomRange(1, 2) == 1 ? 7 : 4);
  int a = b + s;
  if (a > upper) a -= ((a - upper + 3) / 4) * 4;
  const int r = StepToMelodyStrongTone(weights, a, +1);
  m.leap_weak = 0;
  m.leap_due = 1;
  return r;
}

// Returns -1 for a rest.
int LeapControlStart(int b, int length, const ChordBlock& block, int channel,
                     const char* weights) {
  MelodyState& m = Melody();
  const PartRecord& lead = LeadPart();
  const int o = ((lead.range_high + lead.range_low) / 24) * 12;
  const int rest_level = RestLevelOf(channel);
  if (rest_level > 2 && GneRandomRange(1, 5) == 1) return -1;
  if (rest_level > 3 && GneRandomRange(1, 5) == 1) return -1;
  const int root = block.root % 12;
  int r;
  if (b >= 12) {
    r = m.leap_weak == 0 ? b : StepToMelodyStrongTone(weights, b - 2, -1);
    m.leap_weak = 0;
  } else if (m.leap_weak == 1) {
    r = StepToMelodyStrongTone(weights, b - 2, -1);
    m.leap_weak = 0;
  } else if (length < ticks::kQuarter && ((lead.tension == 2 && GneRandomRange(1, 3) == 1) ||
                             GneRandomRange(1, 3) == 1)) {
    const int pick = GneRandomRange(1, 3);
    r = o + (pick == 1 ? root + 2 : (pick == 2 ? block.fifth % 12 + 2 : block.seventh % 12));
    m.leap_weak = 1;
  } else if (lead.tension == 1 && GneRandomRange(1, 2) == 1) {
    const int pick = GneRandomRange(1, 3);
    r = o + root + (pick == 1 ? 0 : (pick == 2 ? 3 : 10));
    m.leap_weak = 1;
  } else {
    const int pick = GneRandomRange(1, 3);
    r = o + (pick == 1 ? root : (pick == 2 ? block.third % 12 : block.fifth % 12));
    m.leap_weak = 0;
  }
  m.leap_due = 0;
  return FoldIntoLeadRange(r);
}

int StepMotion(int b, int p2, const char* weights, int chord_length, int position, int length) {
  MelodyState& m = Melody();
  const PartRecord& lead = LeadPart();
  const int upper = lead.range_high;
  const int lower = lead.range_low;
  int g;
  if (b > upper) {
    g = -1;
  } else if (b < lower) {
    g = +1;
  } else if (m.leap_weak == 1 && m.step_direction == +1) {
    g = +1;
  } else if (b > p2) {
    g = GneRandomRange(1, 3) == 1 ? -1 : +1;
  } else if (b < p2) {
    g = GneRandomRange(1, 3) == 1 ? +1 : -1;
  } else {
    g = +1;
  }
  if (b + g < lower || b + g > upper) g = -g;
  m.step_direction = g;
  int a = b + g;
  if (GneRandomRange(1, 4) == 1 && b > 12) a = b;
  int h;
  if (position + length >= chord_length || m.leap_weak == 1) {
    h = 8;
  } else {
    h = length >= 144 ? 6 : 5;
  }
  if (lead.dissonance >= 9) h += 1;
  for (int steps = 0; steps < kStrongToneSteps && a >= 12 && Weight(weights, a) < h; ++steps) {
    a += g;
    if (a > upper) a = upper - 7;
    if (a < lower) a = lower + 7;
  }
  m.leap_due = 0;
  return a;
}

// Keeps r, or takes a or b by the direction of their moves from p1.
int ChooseBySign(int r, int a, int b, int p1) {
  const int sr = Sign(r - p1);
  const int sa = Sign(a - p1);
  const int sb = Sign(b - p1);
  if (sr == sa) {
    if (sb != sr) return a;
    if (a == p1) return b;
    if (b == p1) return a;
    return std::abs(b - p1) < std::abs(a - p1) ? b : a;
  }
  if (sr == sb) return b;
  return r;
}

}  // namespace

int JumpSize(int code) {
  static const int kSizes[] = {0, 1, 3, 5, 6, 8, 10, 12};
  if (code < 0 || code > 7) return 0;
  return kSizes[code];
}

int DiatonicSteps(int s) {
  static const int kSteps[] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
  if (s < 0) s = -s;
  return 7 * (s / 12) + kSteps[s % 12];
}

int StepToMelodyStrongTone(const char* weights, int a, int step) {
  if (a < 12) return 0;
  const PartRecord& lead = LeadPart();
  for (int steps = 0; steps < kStrongToneSteps; ++steps) {
    a += step;
    const int w = Weight(weights, a);
    if (a > lead.range_high) a = lead.range_high - 7;
    if (a < lead.range_low) a = lead.range_low + 7;
    if (w >= ToneLevel8) break;
  }
  return a;
}

int LeapControlPitch(int p1, const char* weights, int length, int position_in_chord,
                     const ChordBlock& block, int c, int p2, int chord_length, int channel) {
  MelodyState& m = Melody();
  if (p1 < 0 || p2 < 0) {
    ShowErrorByCode(melody_error::kLeapHistory);
    if (p1 < 0) p1 = 0;
    if (p2 < 0) p2 = 0;
  }
  const int b = p1 != 0 ? p1 : p2;
  m.leap_notes += 1;
  const int rest_level = RestLevelOf(channel);
  int r = -1;  // -1 = rest
  bool decided = false;
  if (m.leap_due == 1) {
    r = StepToMelodyStrongTone(weights, b, -1);
    m.leap_due = 0;
    decided = true;
  } else if (length >= ticks::kQuarter && b >= 12 && GneRandomRange(1, 4) == 1 && m.leap_weak == 0) {
    r = LeapUp(b, weights);
    decided = true;
  } else if (position_in_chord == 0 || b == 0) {
    r = LeapControlStart(b, length, block, channel, weights);
    decided = true;
  } else if (GneRandomRange(1, 2) == 1 && m.leap_weak == 0) {
    r = b;
    decided = true;
  } else if (length <= ticks::kEighth && m.leap_notes >= 4 && rest_level >= 3 && GneRandomRange(1, 3) == 1 &&
             m.leap_weak == 0) {
    r = -1;
    decided = true;
  }
  if (!decided) {
    bool rule7 = true;
    if (c > 3 && m.leap_notes >= 4) {
      if (GneRandomRange(0, rest_level) != 0 && GneRandomRange(1, 3) == 1 && m.leap_weak == 0) {
        r = -1;
        decided = true;
      }
    } else if (c > 3) {
      rule7 = false;
    }
    if (!decided && rule7 && m.leap_notes > 4 && m.leap_weak == 0 && GneRandomRange(1, 4) == 1) {
      r = -1;
      decided = true;
    }
    if (!decided) {
      if (b >= 12) {
        r = StepMotion(b, p2, weights, chord_length, position_in_chord, length);
      } else if (c >= 4 && m.leap_weak == 0) {
        r = RestartBelowPrevious(p2, weights);
      } else {
        r = RestartFromChord(p2, block, weights);
      }
    }
  }
  if (r <= 0) {
    m.leap_notes = 0;
    m.leap_due = 0;
    m.leap_weak = 0;
    return 0;
  }
  m.leap_weak = Weight(weights, r) < ToneLevel8 ? 1 : 0;
  return r;
}

int ResolveToTriadTone(const MelodyHistory& history, int r, const ChordBlock& block, int direction,
                       int channel) {
  int x = r;
  for (int attempt = 0; attempt < 2; ++attempt) {
    x = r;
    if (r == history.p1) {
      block.StepToTriadTone(&x, direction);
    } else {
      block.NearestTriadTone(&x, direction);
      if (x == history.p1) {
        x = r;
        block.StepToTriadTone(&x, direction);
      }
    }
    if (IsInPartRange(x, channel)) return x;
    direction = -direction;
  }
  return x;
}

int SnapToChordToneInRange(const ChordBlock& block, int r, int direction, int channel) {
  int x = r;
  block.StepToChordTone(&x, direction);
  if (IsInPartRange(x, channel)) return x;
  x = r;
  block.StepToChordTone(&x, -direction);
  if (IsInPartRange(x, channel)) return x;
  return r;
}

int FoldIntoPartRangeByOctaves(int pitch, int channel) {
  if (pitch <= 12) return pitch;
  const PartRecord& part = MelodyPart(channel);
  return FoldByOctaves(pitch, part.range_low, part.range_high);
}

namespace {

// The opening note of a run: near the middle of the range, a random offset that moves by at
// most four from the last one, on a triad tone; the direction drawn anew.
int TableOpeningPitch(const ChordBlock& block, int lower, int upper) {
  MelodyState& m = Melody();
  int e = m.table_start_offset;
  for (int draws = 0; draws < 1000; ++draws) {
    const int d = GneRandomRange(0, 10);
    if (std::abs(d - m.table_start_offset) <= 4) {
      e = d;
      break;
    }
  }
  m.table_start_offset = e;
  int r = (upper + lower) / 2 - 18 + e;
  block.StepToTriadTone(&r, +1);
  m.table_direction = GneRandomRange(1, 3) == 1 ? +1 : -1;
  return r;
}

// A jump from p1 drawn from the style's interval table: a candidate in the range is accepted
// unless the table rejects its jump (mode 0) or also its distance to p2 (mode 1) and p3
// (mode 2); the mode relaxes after many attempts. `k` is the table row of the jump.
int DrawTableJump(const MelodyHistory& h, int lower, int upper, int* k) {
  const StyleRecord& style = CurrentStyle();
  int& dir = Melody().table_direction;
  const int* table = style.melody_intervals;
  int mode = style.melody_table_mode;
  int big_r = 0;
  int last_in_range = 0;
  for (int n = 0; n < kMaxTableAttempts;) {
    if (n % 12 == 0) big_r = GneRandomRange(0, 99);
    int c = 0;
    bool in_range = false;
    for (int cand = 0; cand < kMaxCandidates; ++cand) {
      if (cand >= 25) dir = -dir;
      *k = GneRandomRange(0, 7);
      c = h.p1 + dir * JumpSize(*k);
      if (c >= lower && c <= upper) {
        in_range = true;
        break;
      }
    }
    ++n;
    if (!in_range) continue;
    last_in_range = c;
    const bool q = 100 - table[*k] < big_r;
    auto rejects = [&](int other) {
      if (other == 0) return false;
      const int s = DiatonicSteps(std::abs(c - other));
      return s > 7 || 100 - table[s] <= big_r;
    };
    const bool a = rejects(h.p2);
    const bool b = h.p2 != 0 && rejects(h.p3);
    if (n % kModeDropAttempts == 0) {
      if (mode != 1 && mode != 2) return c;
      mode = mode == 2 ? 1 : 0;
    } else if (n % 144 == 0) {
      dir = -dir;
    }
    bool retry;
    if (mode == 2) {
      retry = q || a || b;
    } else if (mode == 1) {
      retry = q || a;
    } else {
      mode = 0;
      retry = q;
    }
    if (!retry) return c;
  }
  return last_in_range != 0 ? last_in_range : h.p1;
}

// The jump fitted to the chord: the chord's end resolves to a triad tone, elsewhere a tone of
// the weight the part's dissonance allows; then the style's first-note and length
// adjustments and the treatment of non-chord tones, which may shorten the note.
int FitTableJump(const MelodyHistory& h, int r, const ChordBlock& block, int position,
                 int* length, int chord_length, bool first, int channel) {
  const StyleRecord& style = CurrentStyle();
  const PartRecord& part = MelodyPart(channel);
  MelodyState& m = Melody();
  const int dir = m.table_direction;
  const int p1 = h.p1;
  if (position + *length >= chord_length) {
    r = ResolveToTriadTone(h, r, block, dir, channel);
  } else {
    const int e = r - p1 > 7 ? -1 : (p1 - r > 7 ? +1 : dir);
    if (part.dissonance >= 9) {
      const int sa = SnapToWeightedToneInRange(block, r, e, 5, channel);
      const int sb = SnapToWeightedToneInRange(block, r, -e, 5, channel);
      r = ChooseBySign(r, sa, sb, p1);
    } else if (part.dissonance >= 4) {
      r = SnapToWeightedToneInRange(block, r, e, 3, channel);
    } else {
      r = SnapToWeightedToneInRange(block, r, e, 1, channel);
    }
  }
  if (style.MTAdjustF == 1 && first) {
    r = ResolveToTriadTone(h, r, block, dir, channel);
    const int y = ResolveToTriadTone(h, r, block, dir, channel);
    const int z = ResolveToTriadTone(h, r, block, -dir, channel);
    r = ChooseBySign(r, y, z, p1);
  }
  // Non-chord tones.
  if (p1 != 0 && r != 0 && !block.IsChordTone(p1) && !block.IsChordTone(r) &&
      part.dissonance >= 9) {
    r = ResolveToTriadTone(h, r, block, dir, channel);
  } else if (block.IsSeventh(p1) && r != 0 && !block.IsChordTone(r) && std::abs(r - p1) > 2) {
    r = StepToScaleTone(p1 + dir, dir);
    if (*length > ticks::kEighth) *length = ticks::kEighth;
  } else if (style.MTAdjustL == 1 && !block.IsChordTone(r) && *length >= ticks::kQuarter) {
    *length = style.basic_beat == 3 ? ticks::kQuarter : *length / 2;
  }
  if (style.MTAdjustL == 1 && *length >= ticks::kQuarter) r = SnapToChordToneInRange(block, r, dir, channel);
  if (m.table_chord_tone == 0 && style.MTNoCnt == 1)
    r = SnapToChordToneInRange(block, r, dir, channel);
  // Within an octave of p1.
  if (r != 0) {
    if (r - p1 > 12) r -= 12;
    if (p1 - r > 12) r += 12;
  }
  return r;
}

// After a jump of table row k, the direction turns or stays as the style's direction table
// leans.
void DrawTableDirection(int k) {
  int& dir = Melody().table_direction;
  const int o = CurrentStyle().melody_directions[k];
  for (int tries = 0; tries < 100; ++tries) {
    const int u = GneRandomRange(0, 1);
    const int t = GneRandomRange(0, 100);
    if (u == 1 && t < 50 + o) {
      dir = -dir;
      return;
    }
    if (u == 0 && t < 50 - o) return;
  }
}

}  // namespace

int MelodyTablePitch(const MelodyHistory& given, const ChordBlock& block, int position, int* length,
                     int chord_length, int channel) {
  MelodyState& m = Melody();
  const PartRecord& part = MelodyPart(channel);
  const int upper = part.range_high;
  const int lower = part.range_low;
  MelodyHistory h = given;
  if (h.p1 < 12) h.p1 = 0;
  if (h.p2 < 12) h.p2 = 0;
  if (h.p3 < 12) h.p3 = 0;

  const bool first = position == 0 || position <= m.table_last_position ? true : h.p1 == 0;
  m.table_last_position = position;
  if (h.p1 <= lower - 12) {
    m.table_direction = +1;
  } else if (h.p1 >= upper - 12) {
    m.table_direction = -1;
  }

  int r;
  if (h.p1 == 0) {
    r = TableOpeningPitch(block, lower, upper);
  } else {
    int k = 0;
    r = DrawTableJump(h, lower, upper, &k);
    r = FitTableJump(h, r, block, position, length, chord_length, first, channel);
    DrawTableDirection(k);
  }

  if (m.table_chord_tone == 1 && GneRandomRange(0, 16) < RestLevelOf(channel) && h.p1 != 0 &&
      h.p2 != 0 && block.IsTriadTone(h.p1))
    r = 0;
  r = FoldIntoPartRangeByOctaves(r, channel);
  m.table_chord_tone = (r > 0 && block.IsChordTone(r)) ? 1 : 0;
  return r;
}
