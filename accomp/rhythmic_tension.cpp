#include "accomp/rhythmic_tension.h"

#include <algorithm>

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

void GenerateRhythmicTension(int channel, MidiTrack& track, int density) {
  if (density >= 140) {
    RhythmicTensionDense(channel, track, density);
  } else if (density > 80 && density != 100) {
    RhythmicTensionComping(channel, track, density);
  } else {
    RhythmicTensionPhrases(channel, track, density);
  }
}

void RhythmicTensionPhrases(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const int k = density >= 80 ? 5 : 3;
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones tones = BlockTones::Folded(block, 36, 80);
    const TensionBlock w{block, tones};
    if (triplet) {
      if (i == n - 1 && n != 1) {
        TensionTripletEnding(w, e);
      } else if (i != 0 && Chance(k)) {
        TensionTripletQuarterChords(w, e);
      } else if (density < 80) {
        TensionTripletSparsePhrase(w, e);
      } else {
        TensionTripletPhrase(w, e);
      }
      return;
    }
    if (i == n - 1 && n != 1) return TensionLastBar(w, e);
    const int r = MelodyLeadingRest();
    if (block.length % ticks::kQuarter != 0) return TensionPhrase(w, e);
    if (i == 0 && r >= 192) {
      if (Chance(3)) return TensionLeadInHeldChord(w, e, r);
      return TensionLeadInCrescendo(w, e, r);
    }
    if (Chance(k) && (block.length == ticks::kBar || block.length == 768)) {
      return TensionQuarterChords(w, e);
    }
    if (density < 80) return TensionSparsePhrase(w, e);
    TensionPhrase(w, e);
  });
}

namespace {

// root + 12, third and fifth 4 ticks apart, ending together; the next event
// 24 ticks after the figure's start.
void StrumFigure(NoteEmitter& e, const BlockTones& t, int velocity) {
  e.Strum({t.root + 12, t.third, t.fifth}, velocity, 16, 4, 4);
  e.Wait(16);
}

// The pitch, the second and the third tone `spread` ticks apart, ending
// together; the next event `step` ticks after the first.
void Stab(NoteEmitter& e, Tone pitch, Tone second, Tone third, int velocity, int length,
          int spread, int step) {
  e.Strum({pitch, second, third}, velocity, length, spread, spread);
  e.Wait(step - 2 * spread);
}

// The same three tones bent up into their pitches.
void BentStab(NoteEmitter& e, const Tone (&tones)[3], const int (&velocity)[3], int length,
              int spread, const int (&bend)[3], int step) {
  for (int n = 0; n < 3; ++n) {
    if (n > 0) e.Wait(spread);
    e.BentFromBelow(tones[n], velocity[n], length - n * spread, bend[n]);
  }
  e.Wait(step - 2 * spread);
}

void RestStep(NoteEmitter& e, int length, int step) {
  e.Rest(length);
  e.Wait(step);
}

// root + n, or root + 12 when root + n is no scale tone of the chord.
Tone Tension(const TensionBlock& w, int n) {
  const Tone up = w.tones.root + n;
  return IsScaleTone(up.pitch(), w.block.chord_code) != 0 ? up : w.tones.root + 12;
}

int SpreadDraw() { return Chance(2) ? 4 : 0; }

// One step of the sixteenth-note phrases: a rest, or a stab on the pitch with
// the third and fifth; at the block's steps 0 and 8 the stab is bent up with
// 1 chance in 6.
void PhraseStep(NoteEmitter& e, const BlockTones& t, int s, bool play, Tone pitch, int v,
                int spread) {
  if (!play) return RestStep(e, 16, 24);
  if ((s == 0 || s == 8) && Chance(6)) {
    const int bend = spread / 6;
    return BentStab(e, {pitch, t.third, t.fifth}, {v, v, v}, 16, spread,
                    {bend, bend, (16 - 2 * spread) / 6}, 24);
  }
  Stab(e, pitch, t.third, t.fifth, v, 16, spread, 24);
}

// The sixteenth-note steps of a phrase: each step draws its velocity, then step(s, pitch, spread)
// says whether it plays and sets the pitch (and the spread, which starts at 0).
template <typename Step>
void PlayPhraseSteps(const TensionBlock& w, NoteEmitter& e, Step step) {
  for (int s = 0; s < w.block.length / ticks::kSixteenth; ++s) {
    const int v = 64 + GneRandomRange(1, 20);
    int spread = 0;
    Tone pitch;
    const bool play = step(s, pitch, spread);
    PhraseStep(e, w.tones, s, play, pitch, v, spread);
  }
}

// Step 14 of both phrases: the root an octave up, 1 chance in 5.
bool HighRootStep(const BlockTones& t, Tone& pitch) {
  const bool play = Chance(5);
  if (play) pitch = t.root + 12;
  return play;
}

}  // namespace

void TensionPhrase(const TensionBlock& w, NoteEmitter& e) {
  const BlockTones& t = w.tones;
  bool flag = false;
  PlayPhraseSteps(w, e, [&](int s, Tone& pitch, int& spread) {
    bool play = false;
    switch (s % 16) {
      case 0:
        if ((play = Chance(5))) pitch = t.root - 12, spread = SpreadDraw(), flag = true;
        break;
      case 1:
        if ((play = Chance(5) || flag)) pitch = t.root - 12, spread = SpreadDraw();
        flag = false;
        break;
      case 2:
        if ((play = Chance(3))) pitch = Tension(w, 14);
        break;
      case 3:
        if ((play = Chance(2))) pitch = t.root, spread = SpreadDraw();
        break;
      case 5:
        if ((play = Chance(5))) pitch = t.seventh;
        break;
      case 6:
        if ((play = Chance(3))) pitch = Tension(w, 17);
        break;
      case 8:
        if ((play = Chance(2))) pitch = t.seventh;
        break;
      case 11:
        if ((play = Chance(2))) pitch = Tension(w, 14), flag = true;
        break;
      case 12:
        if ((play = Chance(2) || flag)) pitch = t.root + 12, flag = false;
        break;
      case 14:
        return HighRootStep(t, pitch);
      default:
        break;
    }
    return play;
  });
}

void TensionSparsePhrase(const TensionBlock& w, NoteEmitter& e) {
  const BlockTones& t = w.tones;
  bool flag = false;
  PlayPhraseSteps(w, e, [&](int s, Tone& pitch, int&) {
    bool play = false;
    switch (s) {
      case 0:
        play = true, pitch = t.root - 12, flag = true;
        break;
      case 2:
        if ((play = Chance(3))) pitch = t.root + 14;
        break;
      case 6:
        if ((play = Chance(3))) pitch = t.root + 17;
        break;
      case 8:
        if ((play = Chance(2))) pitch = t.seventh;
        break;
      case 12:
        if ((play = Chance(2) && flag)) pitch = t.root + 12, flag = false;
        break;
      case 14:
        return HighRootStep(t, pitch);
      default:
        break;
    }
    return play;
  });
}

namespace {

// Lowers a pitch above 80 by octaves into 69..80.
Tone IntoTop(Tone tone) {
  while (tone.pitch() > 80) tone -= 12;
  return tone;
}

// Third, fifth and a top note per quarter; from the fifth quarter on, rests.
// The triplet twin takes its velocities, raised fifth and top range apart.
void QuarterChords(const TensionBlock& w, NoteEmitter& e, bool triplet) {
  const BlockTones& t = w.tones;
  const int spread = SpreadDraw();
  for (int q = 0; q < w.block.length / ticks::kQuarter; ++q) {
    const int v = (triplet ? 64 : 56) + GneRandomRange(1, 20);
    if (q >= 4) {
      RestStep(e, 92, 96);
      continue;
    }
    Tone top = t.seventh;
    if (q == 0) top = t.bass + 24;
    if (q == 2) {
      top = t.fifth;
      const bool lift =
          triplet ? IsScaleTone(t.fifth.pitch() + 2, w.block.chord_code) != 0 &&
                        (t.third.pitch() - t.root.pitch() + 48) % 12 == 4
                  : IsScaleTone(61, w.block.chord_code) != 0;
      if (lift) top = t.fifth + 2;
    }
    if (triplet) top = IntoTop(top);
    if ((q == 0 || q == 2) && Chance(7)) {
      const int third_velocity = triplet ? v : 2 * v / 3;
      BentStab(e, {t.third, t.fifth, top}, {third_velocity, v, v}, 92, spread,
               {0, 0, (92 - 2 * spread) / 6}, 96);
    } else {
      Stab(e, t.third, t.fifth, top, v, 92, spread, 96);
    }
  }
}

}  // namespace

void TensionQuarterChords(const TensionBlock& w, NoteEmitter& e) { QuarterChords(w, e, false); }

void TensionTripletQuarterChords(const TensionBlock& w, NoteEmitter& e) {
  QuarterChords(w, e, true);
}

void TensionLastBar(const TensionBlock& w, NoteEmitter& e) {
  int v = 64 + GneRandomRange(5, 20);
  const int n = w.block.length / ticks::kSixteenth;
  for (int s = 0; s < n; ++s) {
    if (s >= n - 7 && s <= n - 4) {
      v += 3;
      StrumFigure(e, w.tones, v);
    } else if (s < n - 16 && Chance(3)) {
      StrumFigure(e, w.tones, v);
    } else {
      RestStep(e, 16, 24);
    }
  }
}

void TensionLeadInCrescendo(const TensionBlock& w, NoteEmitter& e, int leading_rest) {
  const int r = std::min(leading_rest, w.block.length);
  const int lead = r / 24;
  int v = 51;
  for (int s = 0; s < w.block.length / ticks::kSixteenth; ++s) {
    if (s < lead) {
      if (s % 4 == 2) {
        RestStep(e, 16, 24);
      } else {
        v = std::min(v + 4, 127);
        StrumFigure(e, w.tones, v);
      }
    } else if (s <= lead + 3 || s <= 16) {
      RestStep(e, 16, 24);
    } else if (Chance(3)) {
      StrumFigure(e, w.tones, 51);
    } else {
      RestStep(e, 16, 24);
    }
  }
}

void TensionLeadInHeldChord(const TensionBlock& w, NoteEmitter& e, int leading_rest) {
  const int r = std::min(leading_rest, w.block.length);
  const int held = r / 24 * 24;
  const BlockTones& t = w.tones;
  e.Strum({t.root + 12, t.third, t.fifth}, 51, held - 8, 4, 4);
  e.Wait(held - 8);
  for (int s = 0; s < w.block.length / ticks::kSixteenth - r / 24; ++s) {
    if (Chance(3)) {
      StrumFigure(e, t, 64);
    } else {
      RestStep(e, 16, 24);
    }
  }
}

namespace {

// One step's choice of the triplet phrase writers.
struct TripletChoice {
  bool play = false;
  Tone pitch;
  int spread = 0;
};

// The run counter after a choice: +1 after a leap up, 0 after a low tone.
enum class Run { kKeep, kReset, kGrow };

// The sparse twin's steps 6 and 9: the seventh an octave down; on a chord
// whose seventh is the root's octave, that or root + 17 at even chances.
template <typename Pick>
void SparseSeventh(Pick& pick, const BlockTones& t, bool octave_seventh) {
  if (!octave_seventh || Chance(2)) {
    pick(t.seventh - 12, Run::kReset);
  } else {
    pick(t.root + 17, Run::kGrow);
  }
}

void TripletPhrase(const TensionBlock& w, NoteEmitter& e, bool sparse) {
  const BlockTones& t = w.tones;
  const int steps = w.block.length / 32;
  const bool octave_seventh = t.seventh.pitch() % 12 == t.root.pitch() % 12;
  int counter = 0;
  for (int s = 0; s < steps; ++s) {
    const int v0 = sparse ? 54 + GneRandomRange(4, 26) : 64 + GneRandomRange(1, 20);
    TripletChoice c;
    Run run = Run::kKeep;
    const auto pick = [&](Tone pitch, Run r) {
      c.play = true;
      c.pitch = pitch;
      run = r;
    };
    // The two twins' choice tables share their steps 2 and 3.
    switch (s) {
      case 0:
        if (sparse) {
          pick(t.root - 12, Run::kReset);
        } else if (Chance(5)) {
          pick(t.root - 12, Run::kReset), c.spread = SpreadDraw();
        }
        break;
      case 2:
        if (Chance(3)) pick(t.root + 14, Run::kGrow);
        break;
      case 3:
        if (Chance(2)) pick(t.root, Run::kReset), c.spread = SpreadDraw();
        break;
      case 5:
        if (!sparse && Chance(5)) pick(t.fifth, Run::kReset);
        break;
      case 6:
        if (sparse) {
          SparseSeventh(pick, t, octave_seventh);
        } else if (Chance(3)) {
          if (Chance(2)) {
            pick(t.fifth, Run::kReset);
          } else {
            pick(t.root + 17, Run::kGrow);
          }
        }
        break;
      case 8:
        if (!sparse && Chance(2)) pick(t.third, Run::kReset);
        break;
      case 9:
        if (sparse) SparseSeventh(pick, t, octave_seventh);
        break;
      case 11:
        if (!sparse && Chance(2)) pick(t.root + 14, Run::kGrow);
        break;
      default:
        break;
    }
    if (run == Run::kReset) counter = 0;
    if (run == Run::kGrow) counter += 1;
    int v = v0;
    if (counter > 0) {
      counter += 1;
      if (counter > 4 || s == steps - 1) {
        c.play = true;
        c.pitch = sparse ? t.third - 12 : t.fifth - 12;
        v = 48;
        counter = 0;
      }
    }
    if (!c.play) {
      RestStep(e, 28, 32);
      continue;
    }
    if (IsScaleTone(c.pitch.pitch(), w.block.chord_code) == 0) {
      c.pitch = t.fifth;
      counter = 0;
    }
    c.pitch = IntoTop(c.pitch);
    const int spread = c.spread;
    if (s == 0 && Chance(6)) {
      // Step 0 of the sparse twin has no spread, so both bend alike.
      const int bend = spread / 6;
      BentStab(e, {c.pitch, t.third, t.seventh}, {v, v, v}, 28, spread,
               {bend, bend, (28 - 2 * spread) / 6}, 32);
      continue;
    }
    e.Note(c.pitch, v, 28);
    e.Wait(spread);
    if (!(c.pitch.pitch() == t.third.pitch() && spread == 0)) e.Note(t.third, v, 28 - spread);
    e.Wait(spread);
    e.Note(t.seventh, v, 28 - 2 * spread);
    e.Wait(32 - 2 * spread);
  }
}

}  // namespace

void TensionTripletPhrase(const TensionBlock& w, NoteEmitter& e) { TripletPhrase(w, e, false); }

void TensionTripletSparsePhrase(const TensionBlock& w, NoteEmitter& e) {
  TripletPhrase(w, e, true);
}

void TensionTripletEnding(const TensionBlock& w, NoteEmitter& e) {
  const BlockTones& t = w.tones;
  const int v = 54 + GneRandomRange(1, 20);
  if (w.block.length < ticks::kBar) {
    e.Note(t.bass, v, w.block.length - 4);
    e.Wait(w.block.length);
    return;
  }
  e.Rest(252);
  e.Wait(256);
  e.Note(t.bass + 2, v, 188);
  e.Wait(4);
  e.Note(t.third, v, 184);
  e.Wait(4);
  e.Note(t.seventh, v, 180);
  e.Wait(4);
  e.Note(t.third + 15, v - 5, 176);
  e.Wait(180);
}

void RhythmicTensionComping(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Folded(block, 36, 80);
    if (block.length % ticks::kQuarter != 0) {
      e.Chord({t.root, t.third, t.fifth}, 64, 48);
      e.Wait(block.length);
      return;
    }
    for (int q = 0; q < block.length / ticks::kQuarter; ++q) {
      int f;
      if (i < 4) {
        f = Chance(2) ? 0 : GneRandomRange(2, 5);
      } else if (i < 8 && Chance(2)) {
        f = 0;
      } else {
        f = q % 4 == 0 ? GneRandomRange(1, 6) : GneRandomRange(0, 5);
      }
      // The song's last block strikes its first quarter where it would rest.
      if (f == 0 && q == 0 && i == n - 1) f = 1;
      const Tone p = q == 0 || Chance(2) ? t.fifth : t.seventh;
      const auto strike = [&](int length) { e.Chord({t.root, t.third, p}, 64, length); };
      switch (f) {
        case 0:
          e.Wait(96);
          break;
        case 1:
        case 2:
          strike(f == 1 ? 48 : 24);
          e.Wait(96);
          break;
        case 3:
        case 4: {
          const int first = triplet ? (f == 3 ? 64 : 32) : 48;
          strike(48);
          e.Wait(first);
          strike(48);
          e.Wait(96 - first);
          break;
        }
        case 5:
          e.Wait(triplet ? 64 : 48);
          strike(48);
          e.Wait(triplet ? 32 : 48);
          break;
        default: {
          const int gap = triplet ? 32 : 24;
          e.Note(t.root, 64, 24);
          e.Wait(gap);
          e.Note(t.third, 64, 24);
          e.Wait(triplet ? 32 : 48);
          e.Note(p, 64, 24);
          e.Wait(triplet ? 32 : 24);
          break;
        }
      }
    }
  });
}

namespace {

// Bar length of the dense body's pieces (384 for a metre code outside 0..2).
int DenseBarTicks(int metre) { return ticks::BarOfMetre(metre); }

int DenseMode(int i, int n) {
  if (i == n - 1) return 3;
  if (i <= 6) return Chance(4) ? 1 : 0;
  if (i < n / 2) return Chance(4) ? 1 : 2;
  return Chance(2) ? 2 : 1;
}

}  // namespace

void RhythmicTensionDense(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const int bar = DenseBarTicks(CurrentStyle().metre);
    const BlockTones t = BlockTones::Folded(block, 36, 80);
    for (int offset = 0; offset < block.length;) {
      const int piece = std::min(bar, block.length - offset);
      offset += piece;
      if (piece % ticks::kQuarter != 0) {
        e.Chord({t.root, t.third, t.fifth}, 64, 48);
        e.Wait(piece);
        continue;
      }
      const int mode = DenseMode(i, n);
      Tone first = t.third, second = t.fifth, third = t.seventh, alternative = t.root + 12;
      for (int q = 0; q < piece / ticks::kQuarter; ++q) {
        if (mode != 3) {
          switch (q % 4) {
            case 0: first = t.third, second = t.fifth, third = t.root + 12, alternative = t.seventh; break;
            case 1: first = t.root, second = t.third, third = t.seventh, alternative = t.fifth; break;
            case 2: first = t.seventh, second = t.third - 1, third = t.fifth, alternative = t.root; break;
            default: first = t.seventh, second = t.root, third = t.third, alternative = t.fifth; break;
          }
        }
        if (mode == 0 || (mode == 3 && q % 2 == 0)) {
          e.Chord({first, second, third}, 64, 96);
          e.Wait(96);
        } else if (mode == 3) {
          e.Wait(96);
        } else if (mode == 1) {
          const int strikes = triplet ? 3 : 2;
          const int each = 96 / strikes;
          for (int j = 0; j < strikes; ++j) {
            if (Chance(2)) {
              e.Chord({t.third, t.fifth, j == 0 ? t.seventh : t.root + 12}, 64, each - 2);
            } else {
              e.Chord({t.seventh, t.fifth, j == 0 ? t.third - 1 : t.third}, 64, each - 2);
            }
            e.Wait(each);
          }
        } else {
          const int a = triplet ? 64 : 48;
          const int b = triplet ? 32 : 48;
          e.Chord({first, second, third}, 64, a - 2);
          e.Wait(a);
          e.Chord({first, second, Chance(2) ? third : alternative}, 64, b - 2);
          e.Wait(b);
        }
      }
    }
  });
}
