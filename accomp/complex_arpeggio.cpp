#include "accomp/complex_arpeggio.h"

#include <cstdlib>

#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

// The highest tone of the figures: the octave, or the octave above the fifth
// when the fifth lies above it.
Tone TopTone(const BlockTones& t) {
  if (t.fifth.pitch() - t.root.pitch() > 11) {
    return t.root.pitch() + 24 < t.fifth.pitch() ? t.root + 36 : t.root + 24;
  }
  return t.root + 12;
}

// A note of the figures, or its step as a rest when the chord lacks the tone.
void FigureNote(NoteEmitter& e, Tone x, int length) {
  if (!x.sounds()) return;
  e.Note(x, 64, length);
}

void ComplexArpeggioFigureA(NoteEmitter& e, const BlockTones& t, int count, int a) {
  const bool first_row = GneRandomRange(1, 4) == 1;
  const Tone R = t.root - 12, T = t.third, F = t.fifth, top = TopTone(t);
  const Tone rows[4][8] = {{R, T, F, top, T, F, top, T + 12},
                           {R, T, F, R, T, F, top, T + 12},
                           {R, T, F, T, R, T, F, top},
                           {R, T, F, top, F, T, R, T}};
  const Tone* row = rows[(first_row ? 0 : 2) + (SixEightFeel() ? 1 : 0)];
  for (int k = 0; k < count; ++k) {
    FigureNote(e, row[k % 8], a - 2);
    e.Wait(a);
  }
}

void ComplexArpeggioFigureB(NoteEmitter& e, const BlockTones& t, int count, int a, int i, int n) {
  for (int k = 0; k < count; ++k) {
    switch (k % 4) {
      case 0:
        e.Note(t.root - 12, 64, 2 * a - 2);
        if (i >= n / 2 && GneRandomRange(1, 2) == 1) {
          e.Note(t.third, 64, a - 2);
          e.Note(t.fifth, 64, 2 * a - 2);
        }
        break;
      case 1: e.Note(t.third, 64, a - 2); break;
      case 2: e.Note(t.fifth, 64, a - 2); break;
      default: e.Note(GneRandomRange(1, 2) == 1 ? t.third : TopTone(t), 64, a - 2);
    }
    e.Wait(a);
  }
}

void ComplexArpeggioFigureC(NoteEmitter& e, const BlockTones& t, int length, int a) {
  for (int k = 0; k < length / a; ++k) {
    if (k % 4 == 0) e.Note(t.root, 64, a - 2);
    if (k % 4 == 1) e.Note(t.third, 64, a - 2);
    if (k % 4 == 2) e.Note(t.fifth, 64, 2 * a - 2);
    e.Wait(a);
  }
}

// `last`: the song's last block, whose first pulse always sounds.
void ComplexArpeggioPulses(NoteEmitter& e, const BlockTones& t, int length, int a, bool last) {
  for (int k = 0; k < length / a; ++k) {
    if (!Chance(4) || (last && k == 0)) {
      e.Chord({t.root - 12, t.root, t.third, t.fifth}, GneRandomRange(1, 32) + 48, a - 2);
    }
    e.Wait(a);
  }
}

void ComplexArpeggioStrokes(NoteEmitter& e, const BlockTones& t, int b) {
  const bool triplet = TripletGrid();
  const auto stroke = [&](int length) {
    e.Strum({t.root - 12, t.root, t.third, t.fifth}, 64, length, 1, 0);
  };
  const auto full = [&](int length) {
    e.Chord({t.root - 12, t.root, t.third, t.fifth}, 64, length);
  };
  if (b == 192 && !triplet) {
    e.Note(t.root, 64, 46);
    e.Note(t.third, 64, 24);
    e.Note(t.fifth, 64, 24);
    e.Wait(48);
    if (Chance(3)) {
      e.Chord({t.root, t.third, t.fifth}, 64, 142);
      e.Wait(144);
    } else if (Chance(2)) {
      e.Chord({t.root, t.third, t.fifth}, 64, 94);
      e.Wait(96);
      e.Chord({t.root, t.third, t.fifth}, 64, 46);
      e.Wait(48);
    } else {
      for (int k = 0; k < 3; ++k) {
        e.Chord({t.root, t.third, t.fifth}, 64, 46);
        e.Wait(48);
      }
    }
  } else if (b == 384 && !triplet && GneRandomRange(1, 3) != 1) {
    stroke(140);
    e.Wait(141);
    full(94);
    e.Wait(96);
    full(142);
    e.Wait(144);
  } else if (b == 768) {
    stroke(284);
    e.Wait(285);
    stroke(284);
    e.Wait(285);
    stroke(188);
    e.Wait(189);
  } else {
    full(b - 2);
    e.Wait(b);
  }
}

// Four strummed low tones 4 ticks apart, each 4 ticks shorter.
void ShortStroke(NoteEmitter& e, const BlockTones& t, int length) {
  e.Strum({t.root - 12, t.third - 12, t.fifth - 12, t.root}, 64, length, 4, 4);
}

// Redraws while the draw equals the degree before (a bounded number of
// times: the generator could in principle repeat a value).
template <typename Draw>
int DrawDifferent(int before, Draw draw) {
  int d = draw();
  for (int tries = 0; d == before && tries < 64; ++tries) d = draw();
  return d;
}

int OddDegree() {
  switch (GneRandomRange(1, 20)) {
    case 1: case 2: case 15: case 19: return 8;
    case 3: case 9: case 17: return 3;
    case 4: case 10: case 18: return 5;
    case 5: case 11: return 2;
    case 6: case 12: return 4;
    case 7: case 13: return 6;
    case 8: case 14: return 7;
    case 16: return 0;
    default: return 10;
  }
}
int SecondSixthDegree() {
  switch (GneRandomRange(1, 8)) {
    case 1: case 2: case 5: return 8;
    case 3: case 6: return 3;
    case 4: case 7: return 5;
    default: return 10;
  }
}
int FourthDegree() {
  switch (GneRandomRange(1, 8)) {
    case 1: case 8: return 10;
    case 2: case 5: return 8;
    case 3: case 6: return 3;
    default: return 5;
  }
}
int LastDegree() {
  switch (GneRandomRange(1, 8)) {
    case 1: return 1;
    case 2: case 3: case 6: return 8;
    case 4: case 7: return 3;
    default: return 5;
  }
}

// The degree's pitch: lowered by m, then raised to the next scale tone of the
// chord (at most an octave; else kept). 0: a silent step.
Tone DegreePitch(const ChordBlock& block, const BlockTones& t, int degree, int m) {
  Tone p;
  switch (degree) {
    case 1: p = t.root; break;
    case 2: p = t.root + 2; break;
    case 3: p = t.third; break;
    case 4: p = t.fifth - 2; break;
    case 5: case 6: p = t.fifth; break;
    case 7: p = t.seventh; break;
    case 8: case 9: p = t.root + 12; break;
    default: return Tone();
  }
  if (p.missing()) return Tone();
  p -= m;
  if (p.pitch() < 0) return Tone();
  for (int up = 0; up <= 12; ++up) {
    if (IsScaleTone(p.pitch() + up, block.chord_code) != 0) return p + up;
  }
  return p;
}

void DegreeFigure(NoteEmitter& e, int density, int a) {
  const int Q = GneRandomRange(4, 8);
  const int m = 12 * GneRandomRange(1, 2);
  int c[8];
  DrawComplexArpeggioDegrees(c);
  const int t_chance = GneRandomRange(4, 16);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (density == 60 && i <= n / 4) {
      e.Wait(L);
      return;
    }
    if (GneRandomRange(1, t_chance) == 1) {
      ShortStroke(e, t, L - 2);
      e.Wait(L - 12);
      return;
    }
    for (int k = 0; k < L / a; ++k) {
      int degree = c[k % 8];
      const bool forced = k % 8 == 0 && GneRandomRange(1, Q / 2) == 1;
      if (forced) {
        degree = 1;
      } else if ((k % 4 == 0 || k % 2 == 1) && GneRandomRange(1, Q) == 1) {
        degree = 10;
      }
      if (degree == 10) {
        ShortStroke(e, t, a - 2);
        e.Wait(a - 12);
        continue;
      }
      const Tone p = DegreePitch(block, t, degree, m);
      if (p.pitch() == 0) {
        e.Wait(a);
      } else if (GneRandomRange(1, 8) == 1) {
        e.Note(p - 1, 64, a / 2 - 2);
        e.Wait(a / 2);
        e.Note(p, 64, a / 2 - 2);
        e.Wait(a / 2);
      } else {
        e.Note(p, 64, a - 2);
        e.Wait(a);
      }
    }
  });
}

}  // namespace

void DrawComplexArpeggioDegrees(int* c) {
  c[0] = GneRandomRange(1, 2) == 1 ? 1 : 10;
  for (int j = 1; j < 8; ++j) {
    int (*draw)() = OddDegree;
    if (j == 2 || j == 6) draw = SecondSixthDegree;
    if (j == 4) draw = FourthDegree;
    if (j == 7) draw = LastDegree;
    c[j] = DrawDifferent(c[j - 1], draw);
  }
  // Each degree 2, 4, 6 and 7 is approached from a neighbour.
  for (int j = 1; j < 8; ++j) {
    int x = 0, y = 0;
    switch (c[j]) {
      case 2: x = 1; y = 3; break;
      case 4: x = 5; y = 3; break;
      case 6: x = 5; y = 7; break;
      case 7: x = 5; y = 1; break;
      default: continue;
    }
    if (c[j - 1] != x && c[j - 1] != y) c[j - 1] = GneRandomRange(0, 1) == 0 ? x : y;
  }
}

ComplexArpeggioBody ComplexArpeggioBodyFor(int density) {
  if (density >= 120) return ComplexArpeggioBody::kPlaceFigures;
  if (density >= 60) return ComplexArpeggioBody::kDegreeFigure;
  return ComplexArpeggioBody::kSparseFigures;
}

void GenerateComplexArpeggioPattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const int a = TripletGrid() ? 32 : 48;
  switch (ComplexArpeggioBodyFor(density)) {
    case ComplexArpeggioBody::kDegreeFigure: return DegreeFigure(e, density, a);
    case ComplexArpeggioBody::kPlaceFigures:
      return WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
        const BlockTones t = BlockTones::Of(block);
        const int L = block.length;
        if (L > ticks::kHalf && i < 2 * (n / 3)) {
          if (i > n / 4) {
            ComplexArpeggioFigureB(e, t, L / a, a, i, n);
          } else {
            ComplexArpeggioFigureA(e, t, L / a, a);
          }
        } else if (L == ticks::kHalf && i < n / 2) {
          ComplexArpeggioFigureA(e, t, 192 / a, a);
        } else {
          ComplexArpeggioStrokes(e, t, L);
        }
      });
    case ComplexArpeggioBody::kSparseFigures:
      return WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
        const BlockTones t = BlockTones::Of(block);
        const int L = block.length;
        if (i >= 3 * (n / 4)) {
          ComplexArpeggioPulses(e, t, L, a, i == n - 1);
        } else if (i < n / 3 && (L == ticks::kHalf || L == ticks::kBar)) {
          ComplexArpeggioFigureC(e, t, L, a);
        } else {
          ComplexArpeggioStrokes(e, t, L);
        }
      });
  }
}

void GenerateMelodicLinePattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  int reference = ComposeInfo().chord_block(0)->root;
  int intro_velocity = 29;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const int L = block.length;
    const int velocity = intro_velocity;
    intro_velocity += 5;
    // A song that opens without a chord takes its reference from the first chord it meets.
    if (reference == 0) reference = block.root;
    if (i < 4 && density <= 80) {
      reference = block.NearestChordTone(reference);
      // A block without a chord has no tone to hold.
      const bool no_chord = block.root == 0 && block.third == 0 && block.fifth == 0;
      e.Note(no_chord ? Tone::Missing(reference) : Tone(reference), velocity, L);
      e.Wait(L);
      return;
    }
    const BlockTones t = BlockTones::Of(block);
    const int q = L / ticks::kQuarter + (L % ticks::kQuarter == 48 ? 1 : 0);
    const int o = reference >= 75 ? reference - 5 : reference;
    const auto near = [&](const Tone& x) { return std::abs(o - x.pitch()) <= 2; };
    Tone w[4];
    bool flag = false;
    if (near(t.third)) {
      w[0] = t.third, w[1] = t.fifth - 2, w[2] = t.fifth, w[3] = t.fifth;
      flag = Chance(3);
    } else if (near(t.root)) {
      w[0] = t.root, w[1] = t.root + 2, w[2] = t.third, w[3] = t.fifth - 2;
      flag = Chance(3);
    } else if (near(t.fifth)) {
      w[0] = t.fifth, w[1] = t.fifth, w[2] = t.fifth - 2, w[3] = t.third;
      flag = Chance(3);
    } else {
      w[0] = t.third, w[1] = t.fifth - 2, w[2] = t.fifth, w[3] = t.fifth - 2;
      flag = Chance(2);
    }
    // Each tone within a tritone of the one before; off-scale tones become
    // the third.
    const auto place = [](Tone& x, int around) {
      while (x.pitch() - around > 6) x -= 12;
      while (around - x.pitch() > 6) x += 12;
    };
    if (o > 0) place(w[0], o);
    for (int k = 1; k < 4; ++k) place(w[k], w[k - 1].pitch());
    for (int k = 1; k < 4; ++k) {
      if (!w[k].missing() && IsScaleTone(w[k].pitch(), block.chord_code) == 0) w[k] = t.third;
    }
    const bool long_short = L % ticks::kQuarter == 0 && flag && q % 2 == 0;
    int last = o;
    for (int j = 0; j < q; ++j) {
      const Tone x = w[j % 4];
      const int v = 44 - GneRandomRange(1, 10);
      if (e.Remaining() == 48) {
        e.Note(x, v, 47);
        e.Wait(48);
      } else {
        const int length = long_short ? (j % 2 == 0 ? 143 : 47) : 95;
        e.Note(x, v, length);
        e.Wait(length + 1);
      }
      if (x.sounds()) last = x.pitch();
    }
    reference = (q >= 1 && q <= 4) ? last : o;
  });
}
