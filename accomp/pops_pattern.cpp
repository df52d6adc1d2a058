#include "accomp/pops_pattern.h"

#include <algorithm>

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "accomp/stroke_patterns.h"
#include "accomp/voicing.h"
#include "music/ticks.h"

using namespace accomp;

void GeneratePopsPattern(int channel, MidiTrack& track, int density) {
  if (TripletGrid()) {
    GeneratePopsTriplet(channel, track);
  } else if (density <= 40) {
    GeneratePopsSparse(channel, track);
  } else if (density <= 60) {
    GeneratePopsLight(channel, track);
  } else if (density <= 80) {
    if (SixEightFeel()) {
      GeneratePopsSixEight(channel, track);
    } else {
      GeneratePopsMedium(channel, track);
    }
  } else {
    GeneratePopsDense(channel, track);
  }
}

namespace {

// v(a..b): GneRandomRange (a, b) x 64 / 6.
int DrawnVelocity(int low, int high) { return GneRandomRange(low, high) * 64 / 6; }

// The stroke-walking bodies: steps chosen at random until the block is full,
// the first step's third and seventh voice-led from the previous block's.
class StrokeWalk {
 public:
  StrokeWalk(int channel, MidiTrack& track) : e_(track, channel) {}

  template <typename ChooseStep>
  void Walk(ChooseStep choose) {
    WalkBlocks(e_, [&](const ChordBlock& block, int, int) {
      tones_ = BlockTones::Of(block);
      while (e_.BlockTick() < block.length) choose(block, block.length - e_.BlockTick());
      refs_ = {block.seventh, block.third};
    });
  }

  NoteEmitter& e() { return e_; }
  const BlockTones& tones() const { return tones_; }
  bool FirstStep() const { return e_.BlockTick() == 0; }

  // Third and seventh, voice-led on the block's first step.
  Tone Third() const {
    return FirstStep() ? tones_.third + LeadFirstStroke(refs_, tones_.third.pitch(),
                                                        tones_.seventh.pitch()).third_shift
                       : tones_.third;
  }
  Tone Seventh() const {
    return FirstStep() ? tones_.seventh + LeadFirstStroke(refs_, tones_.third.pitch(),
                                                          tones_.seventh.pitch()).seventh_shift
                       : tones_.seventh;
  }

  // Third, fifth and the seventh (with a bass part and a seventh) or the
  // root, all of the notes' length; the step, cut to the block's end.
  void Stroke(int step, int notes) {
    const Tone seventh = Seventh();
    const Tone top = HasBassPart() && seventh.pitch() > 0 ? seventh : tones_.root;
    e_.Chord({Third(), tones_.fifth, top}, 64, Cut(step, notes));
    e_.WaitWithinBlock(step);
  }

  // A run of `count` chord tones `step` apart: each draw differs from the
  // previous one of the run (third, fifth, seventh, root).
  template <typename Velocity>
  void Arpeggio(int count, int step, int notes, Velocity velocity) {
    int previous = 0;
    for (int k = 0; k < count; ++k) {
      int draw = GneRandomRange(1, 4);
      while (k > 0 && draw == previous) draw = GneRandomRange(1, 4);
      previous = draw;
      const Tone tone[4] = {tones_.third, tones_.fifth, tones_.seventh, tones_.root};
      if (k > 0) e_.Wait(step);
      e_.Note(tone[draw - 1], velocity(), notes);
    }
    e_.WaitWithinBlock(step);
  }

  // A note length no longer than a step cut to the block's end.
  int Cut(int step, int notes) const {
    const int left = e_.Remaining();
    return step > left ? std::min(notes, left - 1) : notes;
  }

 private:
  NoteEmitter e_;
  BlockTones tones_;
  StrokeVoices refs_{80, 75};
};

}  // namespace

void GeneratePopsDense(int channel, MidiTrack& track) {
  StrokeWalk w(channel, track);
  w.Walk([&](const ChordBlock&, int remaining) {
    if (remaining == ticks::kEighth) return w.Stroke(48, 47);
    const int draw = GneRandomRange(1, 3);
    if (draw == 1) return w.Stroke(48, 47);
    if (draw == 2 && (remaining == ticks::kHalf || remaining == ticks::kBar)) {
      return w.Arpeggio(4, 48, 47, [] { return 64; });
    }
    w.Stroke(96, 94);
  });
}

void GeneratePopsTriplet(int channel, MidiTrack& track) {
  StrokeWalk w(channel, track);
  w.Walk([&](const ChordBlock&, int remaining) {
    if (remaining % 32 != 0) return w.Stroke(remaining % 32, remaining % 32 - 2);
    if (remaining == 32) return w.Stroke(32, 30);
    if (remaining == 64) return w.Stroke(64, 60);
    const int draw = GneRandomRange(1, 3);
    if (draw == 1) {
      if (GneRandomRange(1, 2) == 1) return w.Stroke(32, 30);
      return w.Stroke(64, 60);
    }
    if (draw == 2 && (remaining == ticks::kHalf || remaining == ticks::kBar)) {
      return w.Arpeggio(6, 32, 30, [] { return 64; });
    }
    const int m = remaining % ticks::kQuarter;
    if (m == 0) return w.Stroke(96, 94);
    if (m == 64) {
      if (Chance(3)) return w.Stroke(64, 62);
      return w.Stroke(32, 30);
    }
    w.Stroke(m, m - 2);
  });
}

void GeneratePopsMedium(int channel, MidiTrack& track) {
  StrokeWalk w(channel, track);
  NoteEmitter& e = w.e();
  w.Walk([&](const ChordBlock&, int remaining) {
    int step = 96;
    if (remaining == ticks::kEighth) {
      step = 48;
    } else {
      const int draw = GneRandomRange(1, 3);
      if (draw == 1) step = 48;
      if (draw == 2 && (remaining == ticks::kHalf || remaining == ticks::kBar)) step = 192;
    }
    const BlockTones& t = w.tones();
    if (step == 192) {
      if (GneRandomRange(1, 4) == 1) return w.Arpeggio(4, 48, 47, [] { return DrawnVelocity(4, 6); });
      const bool seventh = t.seventh.pitch() > 0;
      Tone figure[4];
      switch (GneRandomRange(1, 3)) {
        case 1:
          figure[0] = t.root, figure[1] = t.third, figure[2] = t.fifth;
          figure[3] = seventh ? t.seventh : t.fifth + 12;
          break;
        case 2:
          figure[0] = t.root, figure[1] = t.third, figure[2] = t.fifth, figure[3] = t.third;
          break;
        default:
          figure[0] = t.third, figure[1] = t.fifth;
          figure[2] = seventh ? t.seventh : t.root + 12;
          figure[3] = seventh ? t.root + 12 : t.fifth;
          break;
      }
      for (int k = 0; k < 4; ++k) {
        if (k > 0) e.Wait(48);
        e.Note(figure[k], DrawnVelocity(3, 6), 47);
      }
      return e.WaitWithinBlock(48);
    }
    const int notes = w.Cut(step, step == 48 ? 47 : 94);
    const Tone seventh = w.Seventh();
    const Tone third = w.Third();
    if (HasBassPart() && seventh.pitch() > 0) {
      e.Note(seventh, 32, notes);
      e.Note(third, 42, notes);
      if (GneRandomRange(1, 2) == 1) e.Note(t.fifth, 42, notes);
    } else {
      e.Note(t.root, 42, notes);
      e.Note(third, 42, notes);
      if (GneRandomRange(1, 2) == 1) e.Note(t.fifth, 32, notes);
    }
    e.WaitWithinBlock(step);
  });
}

void GeneratePopsSparse(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (length == ticks::kBar && GneRandomRange(1, 2) == 1) {
      // The root for a quarter, or root and third as two eighths.
      const auto root_beat = [&] {
        if (GneRandomRange(1, 2) == 1) {
          e.Note(t.root, 64, 94);
          e.Wait(96);
        } else {
          e.Note(t.root, 64, 46);
          e.Wait(48);
          e.Note(t.third, 64, 46);
          e.Wait(48);
        }
      };
      root_beat();
      e.Note(t.fifth, 64, 46);
      e.Wait(48);
      e.Note(t.third, 64, 46);
      e.Wait(48);
      root_beat();
      e.Note(t.fifth, 64, 46);
      e.Wait(48);
      e.Chord({t.third, t.fifth}, 64, 22);
      e.Wait(24);
      e.Chord({t.third, t.fifth}, 64, 22);
      e.Wait(24);
      return;
    }
    if (length <= ticks::kQuarter) {
      e.Chord({t.third, t.fifth}, 64, length - 2);
      e.Wait(length);
      return;
    }
    e.Chord({t.third, t.fifth}, 64, length - 50);
    e.Wait(length - 48);
    // A quick figure down and up again, each note 2 ticks longer than the last.
    e.Strum({t.fifth, t.third, t.root}, 64, 16, 2, -2);
    e.Wait(20);
    e.Strum({t.root, t.third, t.fifth}, 64, 16, 2, -2);
    e.Wait(20);
  });
}

namespace {

// The light body's figure mode of a block whose length is a multiple of 384.
int LightMode(int i, int count) {
  if (i < count / 2) {
    if (i <= 2) return 0;
    if (GneRandomRange(1, 6) == 1) return 1;
    if (GneRandomRange(1, 5) == 1) return 3;
    if (GneRandomRange(1, 5) == 1) return 4;
    if (GneRandomRange(1, 5) == 1) return 5;
    return 0;
  }
  if (i < 2 * count / 3) {
    if (GneRandomRange(1, 4) == 1) return 2;
    if (GneRandomRange(1, 4) == 1) return 3;
    if (GneRandomRange(1, 5) == 1) return 4;
    return 0;
  }
  if (GneRandomRange(1, 5) == 1) return 2;
  if (GneRandomRange(1, 4) == 1) return 3;
  if (GneRandomRange(1, 3) == 1) return 4;
  return 0;
}

// Two notes of 94 ticks, the second 48 after the first; now ends 48 later.
void LightPair(NoteEmitter& e, Tone a, int va, Tone b, int vb) {
  e.Note(a, va, 94);
  e.Wait(48);
  e.Note(b, vb, 94);
  e.Wait(48);
}

}  // namespace

void GeneratePopsLight(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int octave = CurrentStyle().octave[channel & 15];
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    const BlockTones t = BlockTones::Of(block);
    // A tone the chord lacks leaves its slot empty.
    const auto slot = [&](Tone tone) { return tone.missing() ? 0 : tone.pitch() + 12 * octave; };
    int32_t slots[4] = {slot(t.root + 12), slot(t.third), slot(t.fifth), slot(t.seventh)};
    SortFoldChordTones(slots, 72 + 12 * octave, 4);
    const auto voice = [](int32_t p) { return p > 0 ? Tone(p) : Tone::Missing(); };
    const Tone s0 = voice(slots[0]), s1 = voice(slots[1]), s2 = voice(slots[2]);
    const int length = block.length;
    if (length % ticks::kQuarter != 0) {
      int rest = length;
      if (length >= ticks::kHalf) {
        for (int k = 0; k < 2 * (length / ticks::kHalf); ++k) {
          e.Chord({s0, s1, s2}, 64, 94);
          e.Wait(96);
        }
        rest = length % ticks::kHalf;
      }
      e.Chord({s0, s1, s2}, 64, rest - 2);
      e.Wait(rest);
      return;
    }
    const int mode = length % ticks::kBar == 0 ? LightMode(i, count) : 0;
    for (int b = 0; b < length / ticks::kQuarter; ++b) {
      const int beat = b % 4;
      if (mode == 1 && beat == 2) {
        LightPair(e, s0, 48, s1, 48);
      } else if (mode == 1 && beat == 3) {
        e.Note(s2, 48, 94);
        e.Wait(96);
      } else if (mode == 2 && beat == 3) {
        if (GneRandomRange(1, 4) == 1) {
          e.Note(s2, 42, 46);
          e.Wait(24);
          e.Note(s1, 42, 46);
          e.Wait(24);
          e.Note(s0, 64, 94);
        } else {
          e.Note(s2 - 12, 42, 46);
          e.Wait(24);
          e.Note(s0, 42, 46);
          e.Wait(24);
          e.Note(s1, 64, 46);
        }
        e.Wait(48);
      } else if ((mode == 3 || mode == 4) && beat >= 2) {
        const int shift = mode == 3 ? -12 : 12;
        e.Chord({s0 + shift, beat == 3 ? s1 + shift : s1, s2}, 64, 94);
        e.Wait(96);
      } else if (mode == 5) {
        switch (beat) {
          case 0: LightPair(e, s0 - 12, 32, s1 - 12, 42); break;
          case 1: LightPair(e, s2 - 12, 42, s0, 42); break;
          case 2: LightPair(e, s1, 42, s2, 48); break;
          default: LightPair(e, s0 + 12, 42, s1 + 12, 32); break;
        }
      } else {
        e.Chord({s0, s1, s2}, 64, 94);
        e.Wait(96);
      }
    }
  });
}

namespace {

// Two tones together, then one tone an eighth later and another an eighth
// after it, all 46 ticks long.
void PairThenEighths(NoteEmitter& e, Tone first, Tone second, Tone middle, Tone last) {
  e.Chord({first, second}, 64, 46);
  e.Wait(48);
  e.Note(middle, 64, 46);
  e.Wait(48);
  e.Note(last, 64, 46);
  e.Wait(48);
}

}  // namespace

void GeneratePopsSixEight(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (length % 144 == 0) {
      for (int k = 0; k < length / 144; ++k) {
        Tone a = t.root, b = t.third, c = t.fifth;
        if (k % 2 == 1) {
          if (GneRandomRange(1, 2) == 1) {
            a = t.third, b = t.fifth, c = t.seventh;
          } else {
            a = t.seventh, b = t.fifth, c = t.third;
          }
        }
        const bool group_a = (k == 0 || Chance(3)) && i >= 10 && !Chance(3);
        if (group_a) {
          if (GneRandomRange(1, 4) == 1) {
            e.Chord({a, b, c}, 64, 142);
            e.Wait(144);
          } else if (GneRandomRange(1, 2) == 1) {
            e.Chord({a, b}, 64, 46);
            e.Wait(96);
            e.Note(c, 64, 46);
            e.Wait(48);
          } else if (GneRandomRange(1, 2) == 1) {
            PairThenEighths(e, a, c, b, c);
          } else {
            PairThenEighths(e, c, a, b, a);
          }
        } else if (GneRandomRange(1, 4) == 1) {
          for (int r = 0; r < 3; ++r) {
            e.Note(a, 54, 46);
            e.Note(b, 39, 46);
            e.Note(c, 44, 46);
            e.Wait(48);
          }
        } else {
          const bool up = GneRandomRange(1, 2) == 1;
          for (const Tone& x : {up ? a : c, b, up ? c : a}) {
            e.Note(x, 64, 46);
            e.Wait(48);
          }
        }
      }
      return;
    }
    if (length % ticks::kEighth == 0) {
      const Tone cycle[3] = {t.root, t.third, t.fifth};
      for (int k = 0; k < length / ticks::kEighth; ++k) {
        e.Note(cycle[k % 3], 64, 46);
        e.Wait(48);
      }
      return;
    }
    e.Chord({t.root, t.third, t.fifth, t.seventh}, 64, length - 2);
    e.Wait(length);
  });
}
