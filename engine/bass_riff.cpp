// The long riff and the custom grid of the bass.
#include <algorithm>

#include "engine/bass_line.h"
#include "engine/bass_generators.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

constexpr ProgramErrorCode kBassRiffError = 0xFF0101CFu;
constexpr int kRiffSegments = 32;
constexpr int kFixedRiffAccompaniment = 41;

// Steps of a two-bar figure: sixteenths, or triplet eighths with basic beat 3
// (7/8 then takes 21: two bars of 32-tick steps).
int RiffSteps() {
  const StyleRecord& style = CurrentStyle();
  if (style.basic_beat == 3) return style.metre == 0 ? 24 : (style.metre == 1 ? 18 : 21);
  return style.metre == 0 ? 32 : (style.metre == 1 ? 24 : 28);
}

int ChordDegree() { return 4 + 2 * GneRandomRange(0, 2); }

// The figure's segments as the generator made them: at most 32.
struct RiffSegment {
  int length, a, b;
};

class BassRiffMaker {
 public:
  explicit BassRiffMaker(int steps) : steps_(steps) {}

  int Make(int32_t* figure) {
    int i = 0;
    if (steps_ >= 1) {
      fourfold_chance_ = GneRandomRange(4, 8);
      cycle_ = GneRandomRange(1, 2) == 1 ? GneRandomRange(4, 8) : GneRandomRange(4, 32);
      for (; sum_ < steps_ && i < kRiffSegments; ++i) {
        made_[i] = Segment(i);
        figure[3 * i] = made_[i].length;
        figure[3 * i + 1] = made_[i].a;
        figure[3 * i + 2] = made_[i].b;
        previous_a_ = made_[i].a;
      }
    }
    figure[3 * i] = 0;
    return i;
  }

 private:
  bool RunActive() const { return triple_ > 0 || fourfold_ > 0; }

  RiffSegment Segment(int i) {
    const bool repeat = i >= cycle_;
    if (GneRandomRange(1, 3) == 1 && !RunActive()) {
      triple_ = 3;
    } else if (GneRandomRange(1, fourfold_chance_) == 1 && !RunActive() && sum_ % 2 == 0) {
      fourfold_ = 4;
      direction_ = GneRandomRange(1, 2) == 1 ? -1 : +1;
    }
    RiffSegment s;
    s.length = repeat ? std::max(1, made_[i % cycle_].length) : Length();
    sum_ += s.length;
    if (sum_ > 31) {
      end_ = true;
      s.length -= sum_ - 32;
      sum_ = 32;
    }
    s.a = repeat ? made_[i % cycle_].a : DegreeA(i, s.length);
    if ((s.a == 0 || s.a == 3 || s.a == 7 || s.a == 10) && s.length > 1 && triple_ != 1) ++s.a;
    if (s.a == -1 || GneRandomRange(1, 4) == 1) {
      s.b = -1;
    } else {
      s.b = s.a - 3 >= 0 ? s.a - 3 : -1;
    }
    return s;
  }

  int Length() {
    if (triple_ > 0) {
      --triple_;
      return 2;
    }
    if (fourfold_ > 0) {
      --fourfold_;
      return 1;
    }
    if (GneRandomRange(1, 3) == 1) return 2;
    if (GneRandomRange(1, 3) == 1) return GneRandomRange(1, 4);
    return GneRandomRange(1, 2) * 4;
  }

  int DegreeA(int i, int length) {
    if (GneRandomRange(1, 3) == 1 && !RunActive()) {
      if (i == 0) return ChordDegree();
      if (previous_a_ == 4 || previous_a_ == 6 || previous_a_ == 8) return -1;
      return ChordDegree();
    }
    if (i >= 1 && GneRandomRange(1, 6) == 1) return previous_a_;
    if (first_) {
      first_ = false;
      return ChordDegree();
    }
    if (end_) return ChordDegree();
    if (middle_ && sum_ > 15) {
      middle_ = false;
      return ChordDegree();
    }
    if (length > 3 || previous_a_ == -1 || GneRandomRange(1, 4) == 1) return ChordDegree();
    int a = fourfold_ > 0 ? previous_a_ + direction_ : previous_a_ + GneRandomRange(0, 4) - 2;
    if (a < 0) a = 2;
    if (a > 11) a = 9;
    return a;
  }

  const int steps_;
  int fourfold_chance_ = 0, cycle_ = 0;
  int sum_ = 0, triple_ = 0, fourfold_ = 0, direction_ = 0;
  bool first_ = true, middle_ = true, end_ = false;
  int previous_a_ = 0;
  RiffSegment made_[kRiffSegments] = {};
};

// The pitch of a riff degree in the block (before the octave shift); -1 and
// values outside the table give `previous`.
int RiffDegreePitch(const BassBlock& b, int degree, int previous) {
  switch (degree) {
    case -1: return 0;
    case 0:
    case 1: return b.F() - 12;
    case 2: return b.F() - 10;
    case 3: return b.S() - 12;
    case 4: return b.R();
    case 5: return b.R() + 2;
    case 6: return b.T();
    case 7: return b.F() - 2;
    case 8: return b.F();
    case 9: return b.F() + 2;
    case 10: return b.S();
    case 11: return b.R() + 12;
    default: return previous;
  }
}

// Two octaves down, then up to the first scale tone within an octave (kept
// when none is). 0 or less is silence.
int RiffPitch(int table_pitch, const char* weights) {
  const int pitch = table_pitch - 24;
  if (pitch <= 0) return 0;
  for (int up = 0; up <= 12; ++up) {
    if (IsScalePitch(weights, pitch + up)) return pitch + up;
  }
  return pitch;
}

int RiffVelocity() { return GneRandomRange(20, 30) + 54; }

// The figure the bass plays: the stored one beside the fixed riff of the
// harmony, else a fresh one left in the style for the other parts.
int TakeRiffFigure(int32_t* figure) {
  StyleRecord& style = CurrentStyle();
  if (style.accompaniment == kFixedRiffAccompaniment) {
    for (int i = 0; i < 96; ++i) figure[i] = static_cast<int8_t>(style.riff[i]);
    figure[96] = 0;
  } else {
    MakeRandomBassRiff(figure);
    for (int i = 0; i < 96; ++i) style.riff[i] = static_cast<uint8_t>(figure[i]);
  }
  // The figure ends at its first length of 0 or below.
  int segments = 0;
  while (segments < kRiffSegments && figure[3 * segments] > 0) ++segments;
  return segments;
}

}  // namespace

void MakeRandomBassRiff(int32_t* figure) { BassRiffMaker(RiffSteps()).Make(figure); }

void GenerateLongRiffBass(int channel, MidiTrack& track) {
  const int s = IsTripletRhythm() ? ticks::kTripletEighth : ticks::kSixteenth;
  int32_t figure[kBassRiffCells] = {};
  const int segments = TakeRiffFigure(figure);
  const FirstChordWeights weights;
  BassLine line(track, channel);
  int cursor = 0;
  int previous_a = 0, previous_b = 0;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int n = b.length / s;
    if (b.last()) {
      if (n * s < 1) {
        ShowErrorByCode(kBassRiffError);
        return;
      }
      line.Note(b.B(), n * s - 2, n * s, RiffVelocity());
      return;
    }
    if (segments == 0) return;  // an empty figure rests
    if (n < 5 || n == 32) cursor = 0;
    for (int left = n; left > 0;) {
      const int32_t* seg = &figure[3 * cursor];
      const int steps = std::min(seg[0], left);
      left -= steps;
      const int dur = steps * s;
      previous_a = RiffDegreePitch(b, seg[1], previous_a);
      previous_b = RiffDegreePitch(b, seg[2], previous_b);
      const int a = RiffPitch(previous_a, weights.text);
      const int second = RiffPitch(previous_b, weights.text);
      const int velocity = a > 0 ? RiffVelocity() : 0;
      const int length = steps == 2 && GneRandomRange(1, 2) == 1 ? dur - 20 : dur - 2;
      line.Note(a, length, dur, velocity);
      line.With(second, dur - 20, second > 0 ? RiffVelocity() : 0);
      cursor = cursor + 1 < segments ? cursor + 1 : 0;
    }
  });
}

void GenerateCustomBass(int channel, MidiTrack& track) {
  const bool triplet = IsTripletRhythm();
  const int s = triplet ? ticks::kTripletEighth : ticks::kSixteenth;
  const int step_length = triplet ? 31 : 23;
  const int columns = triplet ? 12 : 16;
  const CustomGrid& grid = CurrentStyle().custom_grids[0].grid[kGridBass];
  BassLine line(track, channel);
  // The open run of steps: its span, its note length and the pitches of its
  // last step.
  int run_ticks = 0, run_length = 0;
  int listed[kCustomVoiceCount], listed_count = 0;
  auto write_run = [&]() {
    if (listed_count == 0) {
      line.Note(0, run_length, run_ticks, 0);
    } else {
      for (int i = 0; i < listed_count; ++i) {
        const int p = listed[i];
        const int velocity = p < 36 ? 0 : kBassVelocity;
        if (i == 0) {
          line.Note(p - 24, run_length, run_ticks, velocity);
        } else {
          line.With(p - 24, run_length, velocity);
        }
      }
    }
    run_ticks = run_length = 0;
  };
  WalkBassBlocks(line, [&](const BassBlock& b) {
    char weights[kToneWeightTextSize];
    BuildToneWeights(b.chord.chord_code, weights);
    int pitches[kCustomVoiceCount];
    MakeCustomBassPitches(pitches, b.chord, weights);
    const int n = b.length / s;
    for (int k = 0; k < n; ++k) {
      const int column = k % columns;
      listed_count = 0;
      for (int v = 0; v < kCustomVoiceCount; ++v) {
        if (grid.NoteTable[v][column] == 1) listed[listed_count++] = pitches[v];
      }
      run_ticks += s;
      run_length += step_length;
      line.Cover(s);
      if (grid.pn_continuem[(k + 1) % columns] != 1) write_run();
    }
    // A run still open holds over the block's odd ticks into the next block.
    if (run_ticks > 0) {
      run_ticks += b.length - n * s;
      line.Cover(b.length - n * s);
    }
  });
  if (run_ticks > 0) write_run();
}
