#include "accomp/whole_note_patterns.h"

#include <algorithm>
#include <cstdlib>

#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"

using namespace accomp;

namespace {

// The grid values of the whole-note figures: o the first half-bar hit, t the
// broken-chord step and u its notes' length (triplet values in brackets of
// the figure descriptions).
struct Grid {
  int o, t, u;
};
Grid WholeNoteGrid() { return TripletGrid() ? Grid{192, 64, 60} : Grid{240, 48, 47}; }

void WholeNoteChords(NoteEmitter& e) {
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    e.Chord({t.root, t.third, t.fifth, t.seventh}, 64, block.length - 8);
    e.Wait(block.length);
  });
}

void WholeNoteRootFifth(NoteEmitter& e) {
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (L == 384) {
      if (Chance(4)) {
        e.Rest(94);
        for (Tone x : {t.third, t.fifth, t.root + 12}) {
          e.Wait(96);
          e.Note(x, 64, 94);
        }
        e.Wait(96);
      } else {
        // The root held up to the last beat (triplet grid) or eighth.
        const int fifth_at = triplet ? 288 : 336;
        e.Note(t.root, 64, fifth_at - 8);
        e.Wait(fifth_at);
        e.Note(t.fifth, 64, triplet ? 94 : 47);
        e.Wait(384 - fifth_at);
      }
      return;
    }
    // The song's last block always sounds its fifth (the draw is made all the same).
    if (GneRandomRange(1, 2) == 1 && i != n - 1) {
      e.Rest(L - 8);
    } else {
      e.Note(t.fifth, 64, L - 8);
    }
    e.Wait(L);
  });
}

// F, T, R+12 and the tones an octave above, 3 ticks apart.
void SixNoteStrum(NoteEmitter& e, const BlockTones& t, int velocity, int length) {
  e.Strum({t.fifth, t.third, t.root + 12, t.fifth + 12, t.third + 12, t.root + 24}, velocity,
          length, 3, 0);
}

// After the half-bar chord: T, F, R+12 on the broken-chord steps.
void BrokenTail(NoteEmitter& e, const BlockTones& t, const Grid& g, int first_wait) {
  e.Wait(first_wait);
  e.Note(t.third, 64, g.u);
  e.Wait(g.t);
  e.Note(t.fifth, 64, g.u);
  e.Wait(g.t);
  e.Note(t.root + 12, 64, g.u);
  e.Wait(g.t);
}

void WholeNoteStrums(NoteEmitter& e) {
  const Grid g = WholeNoteGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (L == 768) {
      SixNoteStrum(e, t, 48, 376);
      e.Wait(369);
      SixNoteStrum(e, t, 64, 376);
      e.Wait(369);
    } else if (L == 384) {
      if (GneRandomRange(1, 2) == 1) {
        for (int k = 0; k < 3; ++k) {
          if (k > 0) e.Wait(24);
          e.Note(t.fifth, k == 0 ? 48 : 64, g.o - 8);
          e.Note(t.third, 64, g.o - 8);
          e.Note(t.root + 12, 64, g.o - 8);
        }
        e.Wait(336);
      } else {
        SixNoteStrum(e, t, 64, g.o - 8);
        BrokenTail(e, t, g, g.o - 15);
      }
    } else {
      SixNoteStrum(e, t, 64, L - 8);
      e.Wait(L - 15);
    }
  });
}

void Triad(NoteEmitter& e, const BlockTones& t, int velocity, int length) {
  e.Chord({t.fifth, t.third, t.root + 12}, velocity, length);
}

// The triads of 768-tick and other blocks, which both triad variants share;
// false for a 384-tick block.
bool PlainTriads(NoteEmitter& e, const BlockTones& t, int L) {
  if (L == 384) return false;
  if (L == 768) {
    Triad(e, t, 48, 376);
    e.Wait(384);
    Triad(e, t, 64, 376);
    e.Wait(384);
  } else {
    Triad(e, t, 64, L - 8);
    e.Wait(L);
  }
  return true;
}

void WholeNoteTriads(NoteEmitter& e) {
  const Grid g = WholeNoteGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    if (PlainTriads(e, t, block.length)) return;
    Triad(e, t, 64, g.o - 8);
    BrokenTail(e, t, g, g.o);
  });
}

void WholeNoteTriadsVaried(NoteEmitter& e) {
  const Grid g = WholeNoteGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    if (PlainTriads(e, t, block.length)) return;
    Triad(e, t, 64, g.o - 8);
    e.Wait(g.o);
    // The second band's figure, also the third band's fallback.
    const auto second_band = [&]() {
      if (GneRandomRange(1, 3) != 1) {
        if (GneRandomRange(1, 2) == 1) {
          e.Chord({t.fifth, t.third, t.root}, 64, 3 * g.t - 8);
        } else {
          const Tone lower = t.fifth.pitch() < t.third.pitch() ? t.fifth : t.third;
          e.Chord({t.fifth, lower + 12, t.root + 12}, 64, 3 * g.t - 8);
        }
      } else {
        Triad(e, t, 64, 3 * g.t - 8);
      }
      e.Wait(3 * g.t);
    };
    if (i < n / 4) {
      Triad(e, t, 64, 3 * g.t - 8);
      e.Wait(3 * g.t);
    } else if (i < n / 2) {
      second_band();
    } else if (i < 3 * (n / 4)) {
      if (Chance(3)) {
        const bool up = GneRandomRange(1, 2) == 1;
        const Tone order[3] = {up ? t.third : t.root + 12, t.fifth, up ? t.root + 12 : t.third};
        for (int k = 0; k < 3; ++k) {
          if (k > 0) e.Wait(g.t);
          e.Note(order[k], 64, g.u);
        }
        e.Wait(g.t);
      } else {
        second_band();
      }
    } else if (Chance(3)) {
      for (int k = 0; k < 3; ++k) {
        if (k > 0) e.Wait(g.t);
        Triad(e, t, 64, g.t - 8);
      }
      e.Wait(g.t);
    } else {
      Triad(e, t, 64, 2 * g.t - 8);
      e.Wait(2 * g.t);
      Triad(e, t, 64, g.t - 8);
      e.Wait(g.t);
    }
  });
}

void WholeNoteTrill(NoteEmitter& e) {
  const StyleRecord& style = CurrentStyle();
  int step = TripletGrid() ? 16 : 12;
  if (style.tempo < 700000) step *= 2;
  int ref = ComposeInfo().chord_block(0)->root;
  int a = ref;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    // A song that opens without a chord takes its reference from the first chord it meets.
    if (ref == 0) a = ref = block.root;
    a = block.NearestChordTone(a);
    if (a - ref > 12) a -= 12;
    if (ref - a > 12) a += 12;
    const int b = block.NearestChordTone(a + 2);
    // A block without a chord has no tone to trill on: it rests.
    const bool no_chord = block.root == 0 && block.third == 0 && block.fifth == 0;
    const Tone ta = no_chord ? Tone::Missing(a) : Tone(a);
    const Tone tb = no_chord ? Tone::Missing(b) : Tone(b);
    int k = 0;
    for (int left = block.length; left > 0; left -= step, ++k) {
      const int piece = left < step ? left : step;
      const int velocity = k % 8 == 7 ? 42 : (k % 4 == 3 ? 48 : 64);
      e.Note(k % 2 == 0 ? ta : tb, velocity, piece / 2);
      e.Wait(piece);
    }
  });
}

void WholeNoteQuarterChords(NoteEmitter& e) {
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    int left = block.length;
    for (; left > 96; left -= 96) {
      e.Chord({t.root, t.third, t.fifth, t.seventh}, 64, 88);
      e.Wait(96);
    }
    if (left > 0) {
      e.Chord({t.root, t.third, t.fifth, t.seventh}, 64, left - 8);
      e.Wait(left);
    }
  });
}

void WholeNoteBrokenChords(NoteEmitter& e) {
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const Tone seventh = t.seventh.missing() ? t.third : t.seventh;
    const Tone cycle[4] = {t.root, t.third, t.fifth, seventh};
    for (int k = 0; k < block.length / 48; ++k) {
      e.Note(cycle[k % 4], 64, 40);
      e.Wait(48);
    }
    const int r = block.length % 48;
    if (r > 0) {
      e.Chord({t.root, t.third, t.fifth, t.seventh}, 64, r - 8);
      e.Wait(r);
    }
  });
}

}  // namespace

WholeNoteVariant WholeNoteVariantFor(int density) {
  if (density >= 200) return WholeNoteVariant::kBrokenChords;
  if (density >= 180) return WholeNoteVariant::kQuarterChords;
  if (density >= 160) return WholeNoteVariant::kTrill;
  if (density >= 120) return WholeNoteVariant::kTriadsVaried;
  if (density >= 100) return WholeNoteVariant::kTriads;
  if (density >= 80) return WholeNoteVariant::kStrums;
  if (density >= 60) return WholeNoteVariant::kRootFifth;
  return WholeNoteVariant::kChords;
}

void GenerateWholeNotePattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  switch (WholeNoteVariantFor(density)) {
    case WholeNoteVariant::kBrokenChords: return WholeNoteBrokenChords(e);
    case WholeNoteVariant::kQuarterChords: return WholeNoteQuarterChords(e);
    case WholeNoteVariant::kTrill: return WholeNoteTrill(e);
    case WholeNoteVariant::kTriadsVaried: return WholeNoteTriadsVaried(e);
    case WholeNoteVariant::kTriads: return WholeNoteTriads(e);
    case WholeNoteVariant::kStrums: return WholeNoteStrums(e);
    case WholeNoteVariant::kRootFifth: return WholeNoteRootFifth(e);
    case WholeNoteVariant::kChords: return WholeNoteChords(e);
  }
}

void GenerateArpeggioPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const int length = triplet ? 30 : 47;
  const StyleRecord& style = CurrentStyle();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones b = BlockTones::Of(block);
    // Everything an octave lower.
    const Tone R = b.root - 12, T = b.third - 12, F = b.fifth - 12, S = b.seventh - 12;
    const int s_over_r = block.seventh - block.root;
    const Tone S2 = (block.seventh != block.root && s_over_r <= 2) ? S + 12 : S;
    const int n = block.length / step;
    const bool up_down_block = (n == 6 || n == 12);
    Tone figure[8];
    int cycle = 6;
    if (triplet || (style.metre == 1 && style.triple_metre_kind != 1)) {
      if (up_down_block && GneRandomRange(1, 4) != 1) {
        const Tone up_down[6] = {R, T, F, S, F, T};
        std::copy(up_down, up_down + 6, figure);
      } else if (triplet) {
        const Tone f[6] = {R - 12, R, T, R, F, R};
        std::copy(f, f + 6, figure);
      } else {
        const Tone f[6] = {R - 12, R, T, R - 12, F, S2};
        std::copy(f, f + 6, figure);
      }
    } else if (style.metre == 1) {
      const Tone f[6] = {R - 12, R, T, F, S2, F};
      std::copy(f, f + 6, figure);
    } else {
      const Tone f[8] = {R - 12, R, T, R, S2, R, T, R};
      std::copy(f, f + 8, figure);
      cycle = 8;
    }
    for (int k = 0; k < n; ++k) {
      Tone x = figure[k % cycle];
      if (cycle == 8 && k % 8 == 7 && GneRandomRange(1, 2) == 1) x = R + 12;
      e.Note(x, 64, length);
      e.Wait(step);
    }
  });
}

void GenerateTechnoPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    if (block.length == 768) {
      e.Chord({t.fifth, t.seventh, t.third}, 64, 376);
      e.Wait(384);
      e.Chord({t.fifth + 2, t.third}, 64, 184);
      e.Wait(192);
      e.Chord({t.fifth, t.root + 14}, 64, 184);
      e.Wait(192);
    } else {
      e.Chord({t.fifth, t.third, t.root + 12}, 64, block.length - 8);
      e.Wait(block.length);
    }
  });
}

void GenerateHipHopPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  // Ticks of the closing pair of roots, and their length.
  const int pair = triplet ? 32 : 24;
  const int pair_length = triplet ? 30 : 23;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const Tone root = t.root - 12;
    const Tone low = (triplet || t.fifth.pitch() - 24 > 45) ? t.fifth - 24 : t.fifth - 12;
    const int L = block.length;
    int held = 0;  // length of the opening low note and root; 0: the short-block figure
    if (L == 768 || L == 384) {
      held = triplet ? 152 : 136;
    } else if (L >= 192) {
      held = triplet ? 64 : 96;
    }
    if (held == 0) {
      e.Note(low, 44, L / 2);
      e.Note(root, 64, L / 2);
      e.Wait(L);
      return;
    }
    e.Note(low, 44, held);
    e.Note(root, 64, held);
    e.Wait(L - 2 * pair);
    e.Note(root, 49, pair_length);
    e.Wait(pair);
    e.Note(root, 49, pair_length);
    e.Wait(pair);
  });
}

void RhythmicalTechnoStrums(const ChordBlock& block, NoteEmitter& e) {
  const BlockTones t = BlockTones::Of(block);
  for (int k = 0; k < block.length / 48; ++k) {
    const int velocity = GneRandomRange(1, 40) + 44;
    e.Note(t.root - 12, velocity, 24);
    e.Wait(2);
    e.Note(t.third - 12, velocity, 26);
    e.Wait(2);
    e.Note(t.fifth - 12, velocity, 28);
    e.Wait(44);
  }
}

void RhythmicalTechnoAccents(const ChordBlock& block, NoteEmitter& e) {
  const BlockTones t = BlockTones::Of(block);
  const int o = GneRandomRange(1, 2) == 1 ? 4 : 0;
  for (int j = 0; j < block.length / 96; ++j) {
    const int velocity = GneRandomRange(1, 20) + 64;
    Tone top;
    if (j == 0) {
      top = t.bass + 24;
    } else if (j == 1 || j == 3) {
      top = t.seventh;
    } else if (j == 2) {
      top = (CurrentStyle().metre != 1 && IsScaleTone(block.fifth + 2, block.chord_code) != 0)
                ? t.fifth + 2
                : t.fifth;
    }
    if (top.missing() || top.pitch() == 0) {
      e.Rest(92);
      e.Wait(96);
      continue;
    }
    if ((j == 0 || j == 2) && GneRandomRange(1, 7) == 1) {
      e.BentFromBelow(t.third, velocity, 92, 0);
      e.Wait(o);
      e.BentFromBelow(t.fifth, velocity, 92 - o, 0);
      e.Wait(o);
      e.BentFromBelow(top, velocity, 92 - 2 * o, (92 - 2 * o) / 6);
    } else {
      e.Note(t.third, velocity, 92);
      e.Wait(o);
      e.Note(t.fifth, velocity, 92 - o);
      e.Wait(o);
      e.Note(top, velocity, 92 - 2 * o);
    }
    e.Wait(96 - 2 * o);
  }
}

void ClosingStrum(const ChordBlock& block, Tone first, Tone top, NoteEmitter& e) {
  const BlockTones t = BlockTones::Of(block);
  const int L = block.length;
  // From 384 ticks in when a whole strum fits after that, else from the middle of the block
  // (on an eighth), so that the song's last block always ends on its chord.
  const int start = L >= 384 + kClosingStrumSpan ? 384 : L / 96 * 48;
  const int span = std::min(kClosingStrumSpan, L - start);
  const int spread = span >= 32 ? 4 : 0;
  // Every note ends with the first, 4 ticks before the span's end.
  const int held = std::max(1, span - 4);
  if (start > 0) {
    e.Rest(start - 4);
    e.Wait(start);
  }
  const int velocity = GneRandomRange(1, 20) + 54;
  e.Note(first, velocity, held);
  e.Wait(spread);
  e.Note(t.third, velocity, std::max(1, held - spread));
  e.Wait(spread);
  e.Note(t.fifth, velocity, std::max(1, held - 2 * spread));
  e.Wait(spread);
  e.Note(top, velocity - 5, std::max(1, held - 3 * spread));
  e.Wait(span - 3 * spread);
}

void RhythmicalTechnoEnding(const ChordBlock& block, NoteEmitter& e) {
  const BlockTones t = BlockTones::Of(block);
  ClosingStrum(block, t.bass + 2, t.third + 15, e);
}

void GenerateRhythmicalTechnoPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int k_chance = std::max(1, 10 - ChannelDensity(channel) / 20);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    if (triplet) {
      const BlockTones t = BlockTones::Of(block);
      for (int k = 0; k < block.length / 32; ++k) {
        Triad(e, t, 64 - GneRandomRange(1, 30), 24);
        e.Wait(32);
      }
      return;
    }
    if (n > 1 && i == n - 1) {
      if (PlainEndingFlag() == 1) {
        RhythmicalTechnoStrums(block, e);
      } else {
        RhythmicalTechnoEnding(block, e);
      }
    } else if (block.length % 96 == 0 && GneRandomRange(1, k_chance) == 1) {
      RhythmicalTechnoAccents(block, e);
    } else {
      RhythmicalTechnoStrums(block, e);
    }
  });
}

void GenerateRapTechnoPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int silent = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    // The song's last block is never left silent: it ends the song on its chord.
    if ((GneRandomRange(1, 2) == 1 || silent < 13) && i != n - 1) {
      e.Rest(L - 8);
      ++silent;
      e.Wait(L);
    } else if (L == 384) {
      Triad(e, t, 64, triplet ? 24 : 40);
      e.Wait(triplet ? 32 : 48);
      Triad(e, t, 64, triplet ? 344 : 328);
      e.Wait(triplet ? 352 : 336);
    } else {
      Triad(e, t, 64, L - 8);
      e.Wait(L);
    }
  });
}
