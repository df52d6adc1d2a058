#include "accomp/stroke_patterns.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

LedTones LeadFirstStroke(const StrokeVoices& refs, int third, int seventh) {
  LedTones led{0, 0};
  if (seventh - refs.top >= 5 && seventh - 12 >= 60) led.seventh_shift = -12;
  if (refs.low - third >= 5 && third + 12 <= 83) led.third_shift = 12;
  return led;
}

namespace {

// The third and seventh of a step: voice-led on the block's first step.
struct StepTones {
  Tone third, seventh;
};
StepTones LedStep(const BlockTones& t, const StrokeVoices& refs, bool first) {
  if (!first) return {t.third, t.seventh};
  const LedTones led = LeadFirstStroke(refs, t.third.pitch(), t.seventh.pitch());
  return {t.third + led.third_shift, t.seventh + led.seventh_shift};
}

// Steps of `step` ticks in the block; a remainder is reported (the slow
// stroke's remainder of 48 is a step of its own instead).
int WholeSteps(int length, int step, bool remainder_48_is_a_step) {
  const int n = length / step;
  const int rest = length % step;
  if (rest == 0) return n;
  if (remainder_48_is_a_step && rest == 48) return n + 1;
  ShowErrorByCode(kMetreError);
  return n;
}

// The slow strokes' step: the grid's, but a step that begins exactly 48
// ticks before the block's end lasts 48 ticks with notes of 47.
struct SlowStep {
  int ticks, notes;
};
SlowStep SlowStepAt(const NoteEmitter& e, int step, int notes) {
  if (e.Remaining() == 48) return {48, 47};
  return {step, notes};
}

// The top voice of a stroke: the seventh with a bass part, else the root.
Tone StrokeTop(const BlockTones& t, Tone seventh) { return HasBassPart() ? seventh : t.root; }

}  // namespace

void GenerateSlowStroke(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  StrokeVoices refs{75, 70};
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    int step = 96;
    int notes = 94;
    if (SixEightFeel() && block.length % 144 == 0) {
      step = 144;
      notes = 141;
    }
    const int n = WholeSteps(block.length, step, true);
    for (int j = 0; j < n; ++j) {
      const SlowStep st = SlowStepAt(e, step, notes);
      const int s = st.ticks;
      const int len = st.notes;
      const StepTones led = LedStep(t, refs, j == 0);
      const Tone top = StrokeTop(t, led.seventh);
      const bool split = density >= 120 && (GneRandomRange(1, 2) == 1 || j == n - 1);
      if (split) {
        e.Chord({led.third, t.fifth, top}, 64, len / 2);
        e.Wait(s / 2);
        e.Note(t.root, 64, len / 2);
        e.Wait(s / 2);
      } else {
        e.Chord({led.third, t.fifth, top}, 64, len);
        e.Wait(s);
      }
      if (j == n - 1) refs = {led.seventh.pitch(), led.third.pitch()};
    }
  });
}

void GenerateContinuousStroke(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  StrokeVoices refs{75, 70};
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const int grid_notes = triplet ? 30 : 47;
  const bool blues = CurrentStyle().parts[channel & 15].ornament == 3;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int n = WholeSteps(block.length, step, false);
    const bool major_third = IntervalClass(block.root, block.third) == 4;
    const bool minor_seventh = IntervalClass(block.root, block.seventh) == 10;
    const bool octave_seventh = (block.seventh - block.root) % 12 == 0;
    const bool long_block = block.length >= ticks::kHalf;
    for (int j = 0; j < n; ++j) {
      const SlowStep st = SlowStepAt(e, step, grid_notes);
      const int s = st.ticks;
      int len = st.notes;
      const StepTones led = LedStep(t, refs, j == 0);
      const Tone top = StrokeTop(t, led.seventh);
      if (!blues) {
        e.Chord({led.third, t.fifth, top}, 64, len);
      } else {
        len /= 2;
        if (!triplet) {
          const bool lift = long_block && j % 4 == 2 && major_third;
          e.Chord({led.third, lift ? t.fifth + 2 : t.fifth, top}, 64, len);
        } else if (j >= 9 && j <= 11 && major_third && minor_seventh) {
          Tone first = t.fifth;
          if (j == 9) first = led.seventh;
          if (j == 10 && IsScaleTone(block.fifth + 2, block.chord_code) != 0) first = t.fifth + 2;
          e.Chord({first, t.root}, 64, len);
        } else if (j % 3 == 1) {
          e.Rest(len);
        } else if (long_block && j % 6 == 3 && major_third) {
          e.Chord({led.third, octave_seventh ? t.fifth + 2 : led.seventh, top}, 64, len);
        } else {
          e.Chord({led.third, t.fifth, minor_seventh ? t.root : top}, 64, len);
        }
      }
      e.Wait(s);
      if (j == n - 1) refs = {led.seventh.pitch(), led.third.pitch()};
    }
  });
}

namespace {

// The medium and fast continuous strokes: eighth steps (long-short triplet
// pairs on the triplet grid), accents and split steps by the song position.
struct EighthStroke {
  int j;            // step index
  bool split;
  bool accented;
  int upper, lower;  // note lengths
  int step;          // ticks
};

class EighthStrokes {
 public:
  EighthStrokes(const ChordBlock& block, int index, int count, bool fast)
      : block_(block), index_(index), count_(count), fast_(fast) {
    pairs_ = TripletGrid() && block.length % ticks::kEighth == 0;
    steps_ = WholeSteps(block.length, 48, false);
  }
  int steps() const { return steps_; }
  bool pairs() const { return pairs_; }

  EighthStroke Plan(int j, int tick) const {
    EighthStroke s{};
    s.j = j;
    const bool last = tick == block_.length - 48;
    if (!TripletGrid()) {
      if (j == 6 && index_ >= count_ / 2) {
        s.split = GneRandomRange(1, 2) == 1;
      } else if (last) {
        s.split = GneRandomRange(1, 6) == 1;
      }
    }
    if (last) {
      s.accented = true;
    } else if (index_ >= count_ / 2) {
      s.accented = j == 2 || j == 5;
    } else if (index_ >= count_ / 4) {
      s.accented = j == 2 || (j == 5 && GneRandomRange(1, 6) == 1);
    }
    const bool accent_lengths = s.accented || (fast_ && j % 2 == 0);
    const bool even = j % 2 == 0;
    if (accent_lengths) {
      s.upper = pairs_ ? (even ? 62 : 31) : 47;
      s.lower = 10;
    } else {
      s.upper = pairs_ ? (even ? 40 : 10) : 10;
      s.lower = 5;
    }
    s.step = pairs_ ? (even ? 64 : 32) : 48;
    return s;
  }

 private:
  const ChordBlock& block_;
  int index_, count_;
  bool fast_;
  bool pairs_ = false;
  int steps_ = 0;
};

// Writes one stroke (upper voices, then the lower voices at velocity 74),
// or two halved ones 24 ticks apart for a split step, and moves on by the
// step. A lower voice the stroke leaves out is a missing tone.
struct Voice {
  Tone tone;
  int velocity;
};
void WriteEighthStroke(NoteEmitter& e, const EighthStroke& s, std::initializer_list<Voice> upper,
                       std::initializer_list<Tone> lower) {
  const int times = s.split ? 2 : 1;
  const int up = s.split ? s.upper / 2 : s.upper;
  const int low = s.split ? s.lower / 2 : s.lower;
  for (int k = 0; k < times; ++k) {
    if (k == 1) e.Wait(24);
    for (const Voice& v : upper) e.Note(v.tone, v.velocity, up);
    for (const Tone& tone : lower) e.Note(tone, 74, low);
  }
  e.WaitWithinBlock(s.split ? 24 : s.step);
}

// A lower voice that sounds only above `floor`.
Tone Above(Tone tone, int floor) { return tone.pitch() > floor ? tone : Tone::Missing(); }

}  // namespace

void GenerateContinuousStrokeMedium(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  StrokeVoices refs{80, 75};
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    const BlockTones t = BlockTones::Of(block);
    const EighthStrokes plan(block, i, count, false);
    for (int j = 0; j < plan.steps(); ++j) {
      const EighthStroke s = plan.Plan(j, e.BlockTick());
      const StepTones led = LedStep(t, refs, j == 0);
      WriteEighthStroke(e, s, {{t.fifth, 54}, {led.third, 64}, {led.seventh, 54}},
                        {t.root, Above(t.fifth - 12, 0), Above(led.third - 12, 0)});
    }
    if (plan.steps() > 0) refs = {block.seventh, block.third};
  });
}

namespace {

// The fast stroke plays the tones an octave up when they lie below 68.
Tone RaisedLow(Tone tone) {
  return tone.pitch() >= 1 && tone.pitch() <= 67 ? tone + 12 : tone;
}

}  // namespace

void GenerateContinuousStrokeFast(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  StrokeVoices refs{80, 75};
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    const BlockTones own = BlockTones::Of(block);
    BlockTones t = own;
    t.root = RaisedLow(own.root);
    t.third = RaisedLow(own.third);
    t.fifth = RaisedLow(own.fifth);
    t.seventh = RaisedLow(own.seventh);
    const EighthStrokes plan(block, i, count, true);
    const bool minor_third = IntervalClass(t.root.pitch(), t.third.pitch()) == 3;
    const bool octave_seventh = (t.seventh.pitch() - t.root.pitch()) % 12 == 0;
    const bool lift_fifth = IsScaleTone(t.fifth.pitch() + 2, block.chord_code) != 0;
    for (int j = 0; j < plan.steps(); ++j) {
      const EighthStroke s = plan.Plan(j, e.BlockTick());
      const StepTones led = LedStep(t, refs, j == 0);
      const std::initializer_list<Tone> lower = {t.root, Above(t.fifth - 12, 48),
                                                 Above(led.third - 12, 48)};
      if (s.split) {
        WriteEighthStroke(e, s, {{t.fifth, 54}, {led.third, 64}, {led.seventh, 54}}, lower);
        continue;
      }
      if (plan.steps() % 16 == 0 && j % 16 == 7) {
        e.Chord({t.root}, 34, 94);
        e.Chord({led.third, t.fifth}, 64, 94);
        e.Wait(96);
        ++j;
        continue;
      }
      Tone top = t.fifth;
      if (j % 8 == 2 || j % 8 == 6) {
        if (minor_third) {
          top = octave_seventh ? t.fifth : led.seventh;
        } else if (lift_fifth) {
          top = t.fifth + 2;
        }
      } else if (j % 8 == 4) {
        top = octave_seventh ? t.fifth : led.seventh;
      }
      WriteEighthStroke(e, s, {{top, 54}, {led.third, 64}}, lower);
    }
    if (plan.steps() > 0) refs = {block.seventh, block.third};
  });
}

void GenerateOffBeat(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const int notes = triplet ? 10 : 16;
  const int period = triplet ? 3 : 2;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int n = WholeSteps(block.length, step, false);
    for (int j = 0; j < n; ++j) {
      if (j % period != 0) {
        e.Chord({t.third, t.fifth, t.seventh}, 64, notes);
      } else if (density < 120) {
        e.Rest(notes);
      } else {
        e.Note(t.root - 12, 64, j % 4 == 0 ? 2 * notes : notes * 3 / 2);
      }
      e.Wait(step);
    }
  });
}
