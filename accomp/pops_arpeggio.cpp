#include "accomp/pops_arpeggio.h"

#include <algorithm>

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

constexpr int kVelocity = 64;
constexpr int kPedalDepthByte = 0;  // the mixer's byte 10: sustain pedal depth, 0 = no pedal

// The chord's voices as the section sets them; a voice the section leaves out
// is absent (not written in chords, a rest in lines).
struct PopsVoices {
  Tone low, third, fifth, high, seventh;
  bool has_fifth = true, has_high = true, has_seventh = true;
};

struct PopsFlags {
  bool crescendo, section_a, scatter;
  int seventh;
};

PopsVoices VoicesOf(const BlockTones& t, char section, const PopsFlags& flags) {
  PopsVoices v{t.root - 24, t.third - 12, t.fifth - 12, t.fifth, t.seventh - 12};
  if (section == 'B') {
    v = {t.root - 12, t.third, t.fifth, t.fifth + 12, t.seventh};
  } else if (section == 'A' && flags.section_a) {
    v.low = t.root - 12;
    v.third = t.third;
    v.seventh = t.seventh;
    v.has_seventh = flags.seventh == 1;
    v.has_fifth = v.has_high = false;
  } else if (section == 'C') {
    v.has_fifth = v.has_high = false;
  }
  return v;
}

// A voice as a line writes it: a rest when the section leaves it out.
Tone Voice(Tone tone, bool present) { return present ? tone : Tone::Missing(tone.pitch()); }

// Up (or down) to the nearest scale tone, at most an octave; else unmoved.
Tone ToScaleTone(Tone from, int step, const ChordBlock& block) {
  for (int k = 0; k <= 12; ++k) {
    const Tone p = from + k * step;
    if (p.pitch() >= 0 && p.pitch() <= 127 && IsScaleTone(p.pitch(), block.chord_code)) return p;
  }
  return from;
}

class PopsArpeggio {
 public:
  PopsArpeggio(NoteEmitter& e, const ChordBlock& block, PopsVoices& v) : e_(e), block_(block), v_(v) {}

  void Chord(std::initializer_list<Tone> tones, int velocity, int length) {
    e_.Chord(tones, velocity, length);
  }
  // Low, third and the upper voices present, at one velocity.
  void FullChord(int velocity, int length) {
    e_.Note(v_.low, velocity, length);
    e_.Note(v_.third, velocity, length);
    if (v_.has_fifth) e_.Note(v_.fifth, velocity, length);
    if (v_.has_seventh) e_.Note(v_.seventh, velocity, length);
  }
  void Line(Tone tone, int velocity, int length, int then) {
    e_.Note(tone, velocity, length);
    e_.Wait(then);
  }

  Tone F() const { return Voice(v_.fifth, v_.has_fifth); }
  Tone S() const { return Voice(v_.seventh, v_.has_seventh); }
  Tone H() const { return Voice(v_.high, v_.has_high); }

  void Figure1() {
    Line(v_.low, kVelocity - GneRandomRange(10, 15), 383, 48);
    Line(v_.third, kVelocity - GneRandomRange(0, 7), 95, 48);
    Line(F(), kVelocity - GneRandomRange(0, 7), 191, 48);
    Line(v_.third, kVelocity - GneRandomRange(0, 7), 95, 48);
    Line(S(), kVelocity - GneRandomRange(0, 4), 191, 48);
    Line(v_.third, kVelocity - GneRandomRange(0, 4), 95, 48);
    Line(F(), kVelocity - GneRandomRange(0, 4), 95, 48);
    Line(v_.third, kVelocity - GneRandomRange(0, 4), 47, 48);
  }
  void Figure2() {
    Line(v_.low, 54, 239, 48);
    Line(F(), kVelocity, 191, 48);
    Line(v_.low + 24, kVelocity, 143, 144);
    Line(v_.low, 54, 143, 48);
    Line(F(), kVelocity, 95, 48);
    Line(v_.low + 24, kVelocity, 47, 48);
  }
  void Figure3() {
    for (int velocity : {14, 24, 34, 44}) {
      FullChord(velocity, 47);
      e_.Wait(48);
    }
    FullChord(kVelocity, 191);
    e_.Wait(192);
  }
  // Four quarter chords whose upper voices move from the fifth and seventh
  // down by scale steps.
  void Figure4() {
    Tone upper[3][2] = {{F(), S()}, {F(), S()}, {F(), S()}};
    if (v_.has_fifth) {
      upper[1][1] = ToScaleTone(v_.fifth + 2, -1, block_);
      const bool lift = Chance(3) || (v_.third - 12).pitch() < v_.low.pitch();
      upper[2][1] = lift ? ToScaleTone(v_.fifth - 2, 1, block_) : v_.third - 12;
    }
    for (int q = 0; q < 4; ++q) {
      const Tone* u = upper[q < 2 ? q : 2];
      Chord({v_.low, v_.third}, 54, 95);
      Chord({u[0], u[1]}, kVelocity, 95);
      e_.Wait(96);
    }
    v_.fifth = BlockTones::Of(block_).fifth - 12;
    v_.seventh = BlockTones::Of(block_).seventh - 12;
  }
  void Figure5() {
    Line(v_.low, kVelocity - GneRandomRange(10, 15), 383, 48);
    Line(F(), kVelocity - GneRandomRange(0, 10), 335, 48);
    Line(S(), kVelocity - GneRandomRange(0, 5), 287, 48);
    Line(v_.low + 24, kVelocity - GneRandomRange(0, 10), 239, 48);
    Line(v_.third + 12, kVelocity - GneRandomRange(0, 5), 191, 48);
    Line(H(), kVelocity - GneRandomRange(0, 10), 143, 48);
    Line(S() + 12, kVelocity - GneRandomRange(0, 5), 95, 48);
    Line(v_.low + 36, kVelocity - GneRandomRange(0, 10), 47, 48);
  }
  void Figure6() {
    Tone top = v_.low + 14;
    if (IntervalClass(top.pitch(), v_.third.pitch()) == 11 ||
        IntervalClass(top.pitch(), v_.third.pitch()) == 1) {
      top = v_.low + 15;
    }
    const Tone tops[3] = {ToScaleTone(top, 1, block_), v_.low + 12, S()};
    for (const Tone& t : tops) {
      Chord({v_.low, v_.third}, 54, 95);
      Chord({F(), t}, kVelocity, 95);
      e_.Wait(96);
    }
    Chord({v_.low, v_.third, ToScaleTone(F() + 2, 1, block_)}, kVelocity, 47);
    e_.Wait(48);
    Chord({v_.low, v_.third, F()}, kVelocity, 47);
    e_.Wait(48);
    const BlockTones t = BlockTones::Of(block_);
    v_.high = t.fifth;
    v_.fifth = t.fifth - 12;
    v_.seventh = t.seventh - 12;
  }

  // Every eighth the whole chord, growing louder.
  void Crescendo(int eighths) {
    for (int j = 0; j < eighths; ++j) {
      FullChord(std::clamp(14 + 8 * j, 32, 81), 47);
      e_.Wait(48);
    }
  }
  // Every eighth one voice of the chord at random, growing louder.
  void Scatter(int eighths) {
    for (int j = 0; j < eighths; ++j) {
      const Tone pick[4] = {v_.low, v_.third, F(), S()};
      Line(pick[GneRandomRange(1, 4) - 1], std::clamp(14 + 8 * j, 32, 81), 47, 48);
    }
  }
  // A figure chosen at random for every bar (the moving chords never in the last).
  void WholeBars(int bars) {
    for (int bar = 0; bar < bars; ++bar) {
      if (Chance(3)) {
        Figure1();
      } else if (Chance(2)) {
        Figure2();
      } else if (Chance(2)) {
        Figure3();
      } else if (Chance(2) && bar != bars - 1) {
        Figure4();
      } else if (GneRandomRange(1, 2) == 2) {
        Figure5();
      } else {
        Figure6();
      }
    }
  }
  // A block of no whole bar: a broken chord of a half bar, a chord, or a broken chord
  // then chords to the end.
  void ShortBlock(int length) {
    const int eighths = length / ticks::kEighth;
    if (eighths == 4) {
      Line(v_.low, kVelocity, 191, 48);
      Line(v_.third, kVelocity, 95, 48);
      Line(F(), kVelocity, 95, 48);
      Line(v_.third, kVelocity, 47, 48);
      return;
    }
    if (eighths < 5) {
      Chord({v_.low, v_.third, F()}, kVelocity, length - 1);
      e_.Wait(length);
      return;
    }
    Line(v_.low, kVelocity, 47, 48);
    Line(v_.third, kVelocity, 47, 48);
    Line(v_.has_fifth ? v_.fifth : v_.low + 12, kVelocity, 47, 48);
    Line(v_.third, kVelocity, 47, 48);
    if (length - 192 <= 96) {
      Chord({v_.low, v_.third, F()}, kVelocity, length - 193);
      e_.Wait(length - 192);
    } else {
      Chord({v_.low, v_.third}, kVelocity, length - 193);
      e_.Note(F(), kVelocity, 95);
      e_.Wait(96);
      Chord({v_.low, v_.third, F()}, kVelocity, length - 289);
      e_.Wait(length - 288);
    }
  }

 private:
  NoteEmitter& e_;
  const ChordBlock& block_;
  PopsVoices& v_;
};

// The arpeggio under a melody note held through the chord.
void HeldMelodyArpeggio(NoteEmitter& e, const ChordBlock& block, int length) {
  const BlockTones t = BlockTones::Of(block);
  const bool octave_seventh = !t.seventh.missing() && block.seventh % 12 == block.root % 12;
  const Tone plain[9] = {t.root, t.third, t.fifth, t.root + 12, t.fifth,
                         length == 288 ? t.third : t.root + 12, t.third + 12, t.root + 12, t.fifth};
  const Tone seventh[9] = {t.root + 12, t.third, t.fifth, t.seventh, t.root + 12,
                           t.seventh, t.fifth, t.third, t.root};
  const Tone* order = octave_seventh ? plain : seventh;
  for (int j = 0; j < length / ticks::kEighth; ++j) {
    Tone pitch = order[std::min(j, 8)];
    if (pitch.pitch() > block.root + 12) pitch -= 12;
    e.Note(pitch, kVelocity, 47);
    e.Wait(48);
  }
}

// The part's range from its record, moved by the channel's octave.
void KeepInPartRange(NoteEmitter& e, const StyleRecord& style, int channel) {
  const PartRecord& part = style.parts[channel & 15];
  int upper = part.range_high == 0 ? 127 : part.range_high;
  int lower = part.range_low;
  if (lower >= upper && part.range_high != 0) {
    lower = 0;
    upper = 127;
  }
  const int shift = channel < kStyleOctaveCount ? 12 * style.octave[channel] : 0;
  e.KeepInRange(std::clamp(lower + shift, 0, 127), std::clamp(upper + shift, 0, 127));
}

// The pedal at a block's start: lifted (just before the block when notes are pending) and
// pressed again.
void RepedalBlock(NoteEmitter& e, int pedal, int i) {
  if (pedal == 0) return;
  if (i > 0) {
    const bool early = e.pending() > 0;
    if (early) e.Wait(-1);
    e.Pedal(0);
    if (early) e.Wait(1);
  }
  e.Pedal(pedal);
}

}  // namespace

void GeneratePopsArpeggioTriplets(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int n = block.length / 32;
    if (n > 0 && n % 6 == 0) {
      e.Note(t.root - 24, kVelocity, n * 32 - 1);
      const Tone cycle[6] = {t.root, t.third, t.fifth, t.seventh, t.fifth, t.third};
      for (int k = 0; k < n; ++k) {
        e.Note(cycle[k % 6] - 12, kVelocity, 30);
        e.Wait(32);
      }
    } else {
      e.Chord({t.root - 12, t.third - 12, t.fifth - 12}, kVelocity, block.length - 1);
      e.Wait(block.length);
    }
  });
}

void GeneratePopsArpeggioPattern(int channel, MidiTrack& track, const EventList& melody) {
  if (TripletGrid()) return GeneratePopsArpeggioTriplets(channel, track);
  const StyleRecord& style = CurrentStyle();
  NoteEmitter e(track, channel);
  KeepInPartRange(e, style, channel);
  PopsFlags flags;
  flags.crescendo = GneRandomRange(0, 1) == 1;
  flags.section_a = GneRandomRange(0, 1) == 1;
  flags.scatter = GneRandomRange(0, 1) == 1;
  flags.seventh = GneRandomRange(1, 2);
  const int pedal = style.mixer[channel & 15].reserved[kPedalDepthByte];
  const int density = channel < kStyleOctaveCount ? style.density[channel] : 100;
  ComposeInformation& info = ComposeInfo();
  const int handover = info.render_handover_tick;
  int start = 0;

  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    if (i == n - 1) {
      if (pedal != 0) e.Pedal(0);
      e.Chord({t.root - 24, t.third - 12, t.fifth - 12}, kVelocity, block.length - 1);
      e.Wait(block.length);
      return;
    }
    const int melody_notes = melody.CountNotesBetween(start, start + block.length);
    RepedalBlock(e, pedal, i);
    int length = block.length;
    if (density < 91 && info.render_handover_tick > 0) {
      const int late = std::min(info.render_handover_tick, length);
      e.Rest(0);
      e.Wait(late);
      length -= late;
      info.render_handover_tick = 0;
    }
    start += block.length;

    const char section = SectionLetter(i);
    const bool listed = i < info.chord_timeline.count();
    PopsVoices v = VoicesOf(t, listed ? section : 0, flags);
    PopsArpeggio figure(e, block, v);
    const int eighths = length / ticks::kEighth;

    if (melody_notes == 1 && (length == 432 || length == 288)) {
      HeldMelodyArpeggio(e, block, length);
    } else if (listed && eighths % 2 == 0 && section == 'D' && flags.crescendo) {
      figure.Crescendo(eighths);
    } else if (listed && eighths % 2 == 0 && section == 'C' && flags.scatter) {
      figure.Scatter(eighths);
    } else if (eighths > 0 && eighths % 8 == 0) {
      const char next = SectionLetter(i + 1);
      if (i + 1 < info.chord_timeline.count() && Chance(2) && next != section) {
        e.Strum({v.low, v.third, figure.F(), figure.S()}, kVelocity, length - 1, 2, 2);
        e.Wait(length - 6);
      } else {
        figure.WholeBars(eighths / 8);
      }
    } else {
      figure.ShortBlock(length);
    }
  });
  info.render_handover_tick = handover;
}
