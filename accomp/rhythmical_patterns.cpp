#include "accomp/rhythmical_patterns.h"

#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "accomp/whole_note_patterns.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

// ---- Super-slow stroke ------------------------------------------------------

namespace {

// T-12, S-12, F-12, or without the seventh when the chord lacks it.
void LowChord(NoteEmitter& e, const BlockTones& t, int velocity, int length, bool seventh_order) {
  if (t.seventh.missing()) {
    e.Chord({t.third - 12, t.fifth - 12}, velocity, length);
  } else if (seventh_order) {
    e.Chord({t.third - 12, t.seventh - 12, t.fifth - 12}, velocity, length);
  } else {
    e.Chord({t.third - 12, t.fifth - 12, t.seventh - 12}, velocity, length);
  }
}

// R-24 on the first beat, the chord from the second (L = 288 and the 6/8
// halves).
void RootThenChord(NoteEmitter& e, const BlockTones& t, int root_length, int gap,
                   int chord_length, int velocity) {
  e.Note(t.root - 24, 64, root_length);
  e.Wait(gap);
  e.Chord({t.third - 12, t.seventh - 12, t.fifth - 12}, velocity, chord_length);
}

Tone StrongAbove(const char* weights, Tone voice) {
  if (voice.missing()) return voice;
  return Tone(ChordBlock::NextStrongTone(weights, voice.pitch() + 1));
}

}  // namespace

void GenerateSuperSlowStrokePattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const bool six_eight = CurrentStyle().triple_metre_kind == 2;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (six_eight) {
      if (L % 288 == 0) {
        RootThenChord(e, t, L / 2 - 8, L / 2, L / 2 - 8, 64);
        e.Wait(L / 2);
      } else {
        e.Chord({t.third - 12, t.seventh - 12, t.fifth - 12}, 64, L - 8);
        e.Wait(L);
      }
      return;
    }
    const int v = 64 + 5 - GneRandomRange(1, 15);
    switch (L) {
      case 288: {
        const auto first_figure = [&]() {
          RootThenChord(e, t, 88, 96, 184, v);
          e.Wait(192);
        };
        if (i < 8 || density < 120) {
          first_figure();
        } else if (Chance(3)) {
          RootThenChord(e, t, 88, 96, 92, v);
          e.Wait(96);
          e.Chord({t.third - 12, t.seventh - 12, t.fifth - 12}, v, 92);
          e.Wait(96);
        } else if (Chance(3)) {
          e.Chord({t.third - 12, t.seventh - 12, t.fifth - 12}, v, 140);
          e.Wait(144);
          for (Tone x : {t.third - 12, t.fifth - 12, t.seventh - 12}) {
            e.Note(x, v, 44);
            e.Wait(48);
          }
        } else if (GneRandomRange(1, 2) != 1) {
          first_figure();
        } else {
          char weights[kToneWeightTextSize];
          BuildToneWeights(block.chord_code, weights);
          Tone voices[3] = {t.root, t.third - 12, t.fifth - 12};
          for (int k = 0; k < 3; ++k) {
            if (k > 0) {
              e.Wait(96);
              for (Tone& x : voices) x = StrongAbove(weights, x);
            }
            e.Chord({voices[0], voices[1], voices[2]}, v, 92);
          }
          e.Wait(96);
        }
        break;
      }
      case 576:
        RootThenChord(e, t, 88, 96, 184, 64);
        e.Wait(192);
        RootThenChord(e, t, 88, 96, 184, v);
        e.Wait(192);
        break;
      case 768:
        LowChord(e, t, 64, 376, false);
        e.Wait(384);
        LowChord(e, t, 64, 376, false);
        e.Wait(384);
        break;
      case 384:
        e.Note(t.root - 24, 64, 88);
        e.Wait(96);
        LowChord(e, t, 64, 280, false);
        e.Wait(288);
        break;
      default:
        LowChord(e, t, 64, L - 8, false);
        e.Wait(L);
    }
  });
}

// ---- Rhythmical -------------------------------------------------------------

namespace {

void Dyad(NoteEmitter& e, Tone low, Tone high, int length) { e.Chord({low, high}, 64, length); }

// `opens_last`: the first quarter of the song's last block, which opens with its dyad.
void RhythmicalTriplets(const BlockTones& t, NoteEmitter& e, bool opens_last) {
  for (int k = 0; k < 3; ++k) {
    if (Chance(4) && !(opens_last && k == 0)) {
      e.Rest(24);
    } else {
      const Tone low = t.root - 12 * GneRandomRange(1, 2);
      Dyad(e, low, t.fifth - 12 * GneRandomRange(1, 2), 24);
    }
    e.Wait(32);
  }
}

void RhythmicalEighths(const ChordBlock& block, const BlockTones& t, NoteEmitter& e) {
  const int o = 12 * GneRandomRange(1, 2);
  for (int k = 0; k < block.length / ticks::kEighth; ++k) {
    Dyad(e, t.root - o, k == 4 ? t.fifth - o + 2 : t.fifth - o, 32);
    e.Wait(48);
  }
}

void RhythmicalSyncopation(const ChordBlock& block, const BlockTones& t, NoteEmitter& e) {
  const int o = 12 * GneRandomRange(1, 2);
  for (int k = 0; k < block.length / ticks::kEighth; ++k) {
    if (k == 2) continue;
    if (k == 1) {
      Dyad(e, t.root - 24, t.fifth - 24, 80);
      e.Wait(96);
      continue;
    }
    if (k == 5) {
      Dyad(e, t.root - o, t.fifth - o, 32);
    } else {
      e.Rest(32);
    }
    e.Wait(48);
  }
}

void RhythmicalHalfBar(const BlockTones& t, NoteEmitter& e) {
  const Tone low = t.root - 12 * GneRandomRange(1, 2);
  const Tone high = t.fifth - 12 * GneRandomRange(1, 2);
  const int lengths[4] = {16, 16, 88, 40};
  const int waits[4] = {24, 24, 96, 48};
  for (int k = 0; k < 4; ++k) {
    Dyad(e, low, high, lengths[k]);
    e.Wait(waits[k]);
  }
}

// The last block of a song of more than one block: the closing strum from the
// bass.
void RhythmicalEnding(const ChordBlock& block, const BlockTones& t, NoteEmitter& e) {
  ClosingStrum(block, t.bass, t.third + 12, e);
}

}  // namespace

void GenerateRhythmicalPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (triplet) {
      for (int q = 0; q < L / ticks::kQuarter; ++q) RhythmicalTriplets(t, e, i == n - 1 && q == 0);
      return;
    }
    if (n > 1 && i == n - 1) return RhythmicalEnding(block, t, e);
    if (GneRandomRange(1, 2) == 1) {
      if (GneRandomRange(1, 2) == 1 && L >= ticks::kHalf) {
        RhythmicalSyncopation(block, t, e);
      } else if (L == ticks::kHalf || L == ticks::kBar) {
        for (int h = 0; h < L / ticks::kHalf; ++h) RhythmicalHalfBar(t, e);
      } else {
        RhythmicalEighths(block, t, e);
      }
    } else {
      RhythmicalEighths(block, t, e);
    }
  });
}

// ---- Rhythmic -----------------------------------------------------------------

namespace {

// Code 20's pitch names of a block.
struct RhythmicNames {
  Tone o, m, g, e, h, r, l, t;
  static RhythmicNames Of(const ChordBlock& block) {
    const BlockTones b = BlockTones::Of(block);
    RhythmicNames n;
    n.o = b.fifth - 12;
    n.m = b.third - 12;
    n.g = b.root;
    n.e = b.third;
    n.h = IsScaleTone(block.root + 14, block.chord_code) != 0 ? b.root + 14 : b.third;
    n.r = n.h - 12;
    n.l = IsScaleTone(block.fifth + 2, block.chord_code) != 0 ? b.fifth - 10 : b.fifth - 12;
    n.t = b.seventh - 12;
    return n;
  }
};

struct Hit {
  Tone tone;
  int velocity;
};

// Eight sixteenths of 16 ticks, 24 apart.
void Sixteenths(NoteEmitter& e, const Hit (&hits)[8]) {
  for (const Hit& h : hits) {
    e.Note(h.tone, h.velocity, 16);
    e.Wait(24);
  }
}

// The sixteenth figures X and Y; Y's fourth note accented when asked.
void FigureX(NoteEmitter& e, const RhythmicNames& n) {
  Sixteenths(e, {{n.o, 64}, {n.l, 42}, {n.t, 42}, {n.g, 64},
                 {n.t, 42}, {n.g, 64}, {n.r, 42}, {n.m, 64}});
}
void FigureY(NoteEmitter& e, const RhythmicNames& n, bool accent_fourth) {
  Sixteenths(e, {{n.m, 64}, {n.r, 42}, {n.g, 64}, {n.t, accent_fourth ? 64 : 42},
                 {n.g, 64}, {n.t, 42}, {n.l, 42}, {n.o, 64}});
}

// Four eighths of 40 ticks, 48 apart.
void Eighths(NoteEmitter& e, const Hit (&hits)[4]) {
  for (const Hit& h : hits) {
    e.Note(h.tone, h.velocity, 40);
    e.Wait(48);
  }
}

// o, m and g held together.
void LowTriad(NoteEmitter& e, const RhythmicNames& n, int length) {
  e.Note(n.o, 64, length);
  e.Note(n.m, 42, length);
  e.Note(n.g, 64, length);
}

void DenseBar(NoteEmitter& e, const RhythmicNames& n, const BlockTones& b, int density) {
  if (GneRandomRange(1, 9) == 1) {
    if (GneRandomRange(1, 2) == 1) {
      Eighths(e, {{n.m, 54}, {n.r, 42}, {n.g, 64}, {n.t, 42}});
    } else {
      Eighths(e, {{n.o, 54}, {n.l, 64}, {n.t, 42}, {n.g, 64}});
    }
    if (GneRandomRange(1, 2) == 1) {
      Eighths(e, {{n.g, 64}, {n.t, 42}, {n.l, 42}, {n.o, 64}});
    } else {
      Eighths(e, {{n.t, 42}, {n.g, 64}, {n.r, 42}, {n.e, 64}});
    }
  } else if (GneRandomRange(1, 5) != 1) {
    if (density < 120) {
      LowTriad(e, n, 232);
      e.Wait(240);
      for (Tone x : {n.m, n.o, b.root + 12}) {
        e.Note(x, 64, 47);
        e.Wait(48);
      }
    } else {
      const Tone T24 = b.third - 24, h24 = n.h - 24, R12 = b.root - 12;
      const Hit hits[8] = {{T24, 54}, {h24, 42}, {R12, 64}, {n.o, 42},
                           {T24, 54}, {h24, 42}, {R12, 64}, {n.o, 42}};
      const int lengths[8] = {24, 24, 40, 24, 24, 40, 24, 24};
      for (int k = 0; k < 8; ++k) {
        e.Note(hits[k].tone, hits[k].velocity, lengths[k]);
        e.Wait(48);
      }
    }
  } else {
    if (GneRandomRange(1, 2) == 2) {
      FigureX(e, n);
    } else {
      FigureY(e, n, false);
    }
    if (GneRandomRange(1, 2) == 2) {
      FigureX(e, n);
    } else {
      FigureY(e, n, true);
    }
  }
}

void RhythmicDense(NoteEmitter& e, int density) {
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const RhythmicNames n = RhythmicNames::Of(block);
    const BlockTones b = BlockTones::Of(block);
    const int L = block.length;
    if (L == ticks::kBar) {
      DenseBar(e, n, b, density);
    } else if (L == ticks::kHalf && Chance(3)) {
      if (GneRandomRange(1, 2) == 1) {
        FigureX(e, n);
      } else {
        FigureY(e, n, false);
      }
    } else if (L == 768) {
      for (int half = 0; half < 2; ++half) {
        if (density >= 120 && GneRandomRange(1, 2) == 1) {
          for (int k = 0; k < 2; ++k) {
            e.Chord({b.fifth, b.third, b.root}, 42, 16);
            e.Wait(24);
          }
          LowTriad(e, n, 352);
          e.Wait(336);
        } else {
          LowTriad(e, n, 376);
          e.Wait(384);
        }
      }
    } else {
      LowTriad(e, n, L - 8);
      e.Wait(L);
    }
  });
}

void RhythmicTriplet(NoteEmitter& e) {
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones b = BlockTones::Of(block);
    if (block.length == ticks::kBar && Chance(3)) {
      const Hit hits[12] = {{b.third + 12, 54}, {b.root + 14, 64}, {b.root + 12, 64},
                            {b.seventh, 64},    {b.fifth, 54},     {b.root + 9, 64},
                            {b.seventh, 64},    {b.root + 12, 64}, {b.seventh, 64},
                            {b.fifth, 54},      {b.root + 9, 64},  {b.fifth, 54}};
      for (const Hit& h : hits) {
        e.Note(h.tone, h.velocity, 24);
        e.Wait(32);
      }
    } else {
      e.Chord({b.fifth - 12, b.third - 12, b.root}, 64, block.length - 8);
      e.Wait(block.length);
    }
  });
}

// The sparse body's figures, each one block of L/24 cells (the eighths
// figure L/48 eighths).
void RhythmicFigureEighths(NoteEmitter& e, const ChordBlock& block) {
  const BlockTones b = BlockTones::Of(block);
  for (int k = 0; k < block.length / ticks::kEighth; ++k) {
    const bool fifth = k % 8 == 0 || k % 8 == 3 || k % 8 == 6;
    e.Note(fifth ? b.fifth - 12 : b.root - 12, 74, fifth ? 47 : 24);
    e.Wait(48);
  }
}

void RhythmicFigureOctaves(NoteEmitter& e, const ChordBlock& block) {
  const BlockTones b = BlockTones::Of(block);
  for (int k = 0; k < block.length / ticks::kSixteenth; ++k) {
    const int cell = k % 16;
    const Tone x = cell % 3 == 0 ? b.root + 24 : (cell % 3 == 1 ? b.third + 12 : b.fifth + 12);
    e.Note(x, 54, 28);
    e.Note(x - 12, 74, 22);
    e.Wait(24);
  }
}

void RhythmicFigureStabs(NoteEmitter& e, const ChordBlock& block) {
  const BlockTones b = BlockTones::Of(block);
  for (int k = 0; k < block.length / ticks::kSixteenth; ++k) {
    const int cell = k % 16;
    if (cell % 6 == 0) {
      e.Chord({b.fifth, b.third}, 74, 36);
    } else if (cell % 6 == 1) {
      e.Rest(12);
    } else {
      e.Note(b.root - 12, 74, 12);
    }
    e.Wait(24);
  }
}

// Cell lengths of the jumps and off-beats figures.
constexpr int kJumpLengths[16] = {12, 12, 36, 12, 12, 12, 36, 12, 36, 12, 12, 36, 12, 12, 36, 12};

// The jumps and off-beats figures: a tone or a rest (a default Tone) per cell.
void JumpCells(NoteEmitter& e, const ChordBlock& block, const Tone (&cells)[16]) {
  for (int k = 0; k < block.length / ticks::kSixteenth; ++k) {
    const int cell = k % 16;
    if (cells[cell] == Tone()) {
      e.Rest(kJumpLengths[cell]);
    } else {
      e.Note(cells[cell], 74, kJumpLengths[cell]);
    }
    e.Wait(24);
  }
}

void RhythmicFigureJumps(NoteEmitter& e, const ChordBlock& block) {
  const BlockTones b = BlockTones::Of(block);
  const Tone R12 = b.root - 12, Rp12 = b.root + 12, F = b.fifth, T = b.third, no = Tone();
  JumpCells(e, block, {R12, R12, Rp12, no, R12, no, F, no, Rp12, no, R12, T, R12, no, F, no});
}

void RhythmicFigureOffbeats(NoteEmitter& e, const ChordBlock& block) {
  const BlockTones b = BlockTones::Of(block);
  const Tone R12 = b.root - 12, Rp12 = b.root + 12, F = b.fifth, T = b.third, no = Tone();
  JumpCells(e, block, {R12, no, Rp12, no, R12, no, F, no, Rp12, no, T, no, F, no, Rp12, no});
}

using SparseFigure = void (*)(NoteEmitter&, const ChordBlock&);
// The figures drawn every fourth block, by the draw 0..3.
constexpr SparseFigure kDrawnFigures[4] = {RhythmicFigureEighths, RhythmicFigureStabs,
                                           RhythmicFigureJumps, RhythmicFigureOffbeats};

void RhythmicSparse(NoteEmitter& e) {
  SparseFigure chosen = RhythmicFigureEighths;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const bool long_block = block.length == ticks::kBar || block.length == 768;
    const bool octaves =
        (i >= n / 2 && long_block && Chance(6) && i < n - 8) ||
        (i >= 3 * (n / 4) && long_block && Chance(4) && i < n - 16);
    if (octaves) {
      RhythmicFigureOctaves(e, block);
      return;
    }
    if (i % 4 == 0) chosen = kDrawnFigures[GneRandomRange(0, 3)];
    chosen(e, block);
  });
}

}  // namespace

RhythmicBody RhythmicBodyFor(bool triplet, int density) {
  if (triplet) return RhythmicBody::kTriplet;
  return density < 100 ? RhythmicBody::kSparse : RhythmicBody::kDense;
}

void GenerateRhythmicPattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  switch (RhythmicBodyFor(TripletGrid(), density)) {
    case RhythmicBody::kTriplet: return RhythmicTriplet(e);
    case RhythmicBody::kSparse: return RhythmicSparse(e);
    case RhythmicBody::kDense: return RhythmicDense(e, density);
  }
}

// ---- Accent strokes -------------------------------------------------------------

namespace {

// A block that is no whole number of quarters: the root bent up from below.
bool BentRootBlock(NoteEmitter& e, const ChordBlock& block) {
  if (block.length % ticks::kQuarter == 0) return false;
  e.BentFromBelow(BlockTones::Of(block).root, 49, 20, 1);
  e.Wait(block.length);
  return true;
}

// The stroke: T-12 and R together; velocity 0 is a silent stroke.
void Stroke(NoteEmitter& e, const BlockTones& t, int velocity, int length) {
  if (velocity == 0) {
    e.Rest(length);
  } else {
    e.Chord({t.third - 12, t.root}, velocity, length);
  }
}

// The neighbour note below the third that closes every fourth quarter.
Tone ClosingThird(const BlockTones& t, int quarters, int j, bool light) {
  const bool plain = light ? quarters < 5 : (quarters < 5 || j == quarters - 1);
  return plain ? t.third - 12 : t.third - 13;
}

}  // namespace

void GenerateAccentStrokePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 24;
  const int strokes = triplet ? 3 : 4;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    if (BentRootBlock(e, block)) return;
    const BlockTones t = BlockTones::Of(block);
    const int quarters = block.length / ticks::kQuarter;
    for (int j = 0; j < quarters; ++j) {
      if (j % 4 == 3) {
        Stroke(e, t, 32, 92 - step);
        e.Wait(96 - step);
        e.Note(ClosingThird(t, quarters, j, false), 74, step - 1);
        e.Wait(step);
        continue;
      }
      int velocities[4] = {64, 64, 64, 64};
      if (j % 4 == 1) {
        velocities[1] = velocities[2] = 32;
      } else {
        // The song's last block opens with its stroke (the draw is made all the same).
        velocities[0] = Chance(3) || (i == n - 1 && j == 0) ? 64 : 0;
        velocities[1] = velocities[2] = Chance(3) ? 0 : 32;
      }
      for (int k = 0; k < strokes; ++k) {
        Stroke(e, t, velocities[k], step / 2);
        e.Wait(step);
      }
    }
  });
}

void GenerateAccentStrokeLightPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 24;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    if (BentRootBlock(e, block)) return;
    const BlockTones t = BlockTones::Of(block);
    const int quarters = block.length / ticks::kQuarter;
    for (int j = 0; j < quarters; ++j) {
      if (j == 3) {
        e.Rest(81 - step);
        e.Wait(96 - step);
        e.Note(ClosingThird(t, quarters, j, true), 54, step - 1);
        e.Wait(step);
      } else if (j == 1 || j == 4 || (i == n - 1 && quarters == 1)) {
        // A last block of one quarter strokes it.
        Stroke(e, t, 64, 15);
        e.Wait(96);
      } else {
        e.Rest(15);
        e.Wait(96);
      }
    }
  });
}

void GenerateAccentStroke(int channel, MidiTrack& track, int density) {
  if (density > 60) return GenerateAccentStrokePattern(channel, track);
  GenerateAccentStrokeLightPattern(channel, track);
}
