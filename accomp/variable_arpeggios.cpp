#include "accomp/variable_arpeggios.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "music/ticks.h"

using namespace accomp;

void GenerateVariableSpeedArpeggio(int channel, MidiTrack& track, int density) {
  if (density <= 60) {
    VariableArpeggioDotted(channel, track, density);
  } else if (density <= 80) {
    VariableArpeggioCycle(channel, track, density);
  } else if (density <= 100) {
    VariableArpeggioBursts(channel, track, density);
  } else {
    VariableArpeggioRun(channel, track, density);
  }
}

namespace {

// Root, third, fifth, seventh by a draw of 1..4.
Tone DrawnChordTone(const BlockTones& t) {
  switch (GneRandomRange(1, 4)) {
    case 1: return t.root;
    case 2: return t.third;
    case 3: return t.fifth;
    default: return t.seventh;
  }
}

}  // namespace

void VariableArpeggioBursts(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Folded(block, block.root, block.root + 12);
    int u = 48, w = 47, k = 4;
    if (triplet) {
      k = 2;
      if (block.length % 32 == 0) u = 32, w = 30;
    }
    for (int j = 0; j < block.length / u; ++j) {
      bool burst = false;
      if (i < n / 4 && j == 0) {
        burst = Chance(8);
      } else if (i > n / 2) {
        burst = Chance(10);
      }
      bool pair = i > 3 * n / 4;
      if (!pair) {
        if (j % 2 == 0) {
          pair = i > n / 2 && Chance(3);
        } else {
          pair = (i < n / 4 && Chance(3)) || (i > n / 2 && Chance(2));
        }
      }
      if (i == n - 1) {
        e.Note(t.root, 64, w);
        e.Wait(u);
      } else if (i == 0) {
        const bool root = j % 4 < 2 || (j % 4 == 2 && Chance(2));
        e.Note(root ? t.root : Tone::Missing(), 64, w);
        e.Wait(u);
      } else if (burst) {
        const Tone fall[4] = {t.fifth, t.third, t.root, t.third};
        for (int b = 0; b < k; ++b) {
          if (b > 0) e.Wait(u / k);
          e.Note(fall[b % 4], 64, w / k);
        }
        e.Wait(u / k);
      } else if (pair) {
        e.Note(t.third, 64, w / 2);
        e.Wait(u / 2);
        e.Note(Chance(3) ? t.fifth : t.root, 64, w / 2);
        e.Wait(u / 2);
      } else {
        Tone tone = t.root;
        if (i >= n / 4) {
          const int draw = GneRandomRange(1, 4);
          if (draw == 1) {
            if (i > n / 2 && Chance(2)) tone = t.root + 12;
          } else {
            tone = draw == 2 ? t.third : draw == 3 ? t.fifth : t.seventh;
          }
        }
        if (i > n / 2 && Chance(6)) {
          e.Note(tone, 64, w / 2);
          e.Wait(u / 2);
          e.Note(DrawnChordTone(t), 64, w / 4);
          e.Wait(u / 4);
          e.Note(DrawnChordTone(t), 64, w / 4);
          e.Wait(u / 4);
        } else {
          e.Note(tone, 64, w);
          e.Wait(u);
        }
      }
    }
  });
}

void VariableArpeggioRun(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    int u = 24, w = 23, cycle = 8;
    bool thirty_seconds = false;
    if (triplet) {
      u = 32, w = 30, cycle = 6;
    } else if (Chance(3) && i >= 8) {
      u = 12, w = 11, thirty_seconds = true;
    }
    const Tone fine[8] = {t.root,      t.third,      t.fifth,      t.seventh,
                          t.root + 12, t.third + 12, t.fifth + 12, t.seventh + 12};
    const Tone plain[8] = {t.root, t.third, t.fifth, t.seventh,
                           t.third, t.fifth, t.seventh, t.root + 12};
    for (int s = 0; s < block.length / u; ++s) {
      e.Note(thirty_seconds ? fine[s % cycle] : plain[s % cycle], 64, w);
      e.Wait(u);
    }
  });
}

namespace {

// The dotted and cycle bodies fill what is left of a block after its whole
// quarters with the third.
void HeldThird(NoteEmitter& e, const BlockTones& t, int length) {
  const int rest = length % ticks::kQuarter;
  if (rest == 0) return;
  e.Note(t.third, 64, rest - 1);
  e.Wait(rest);
}

// Two notes, the second `gap` ticks after the first; now ends 24 later.
void QuarterPair(NoteEmitter& e, Tone a, int va, int la, int gap, Tone b, int vb, int lb) {
  e.Note(a, va, la);
  e.Wait(gap);
  e.Note(b, vb, lb);
  e.Wait(24);
}

}  // namespace

void VariableArpeggioDotted(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    for (int q = 0; q < block.length / ticks::kQuarter; ++q) {
      if (q < 2 || !Chance(4)) {
        const bool even = q % 2 == 0;
        QuarterPair(e, even ? t.root : t.fifth, 64, 71, 72, even ? t.root : t.seventh, 64, 23);
      } else {
        e.Note(t.root, 44, 10);
        e.Wait(12);
        e.Note(t.root, 34, 10);
        e.Wait(12);
        QuarterPair(e, t.root, 34, 47, 48, t.fifth, 64, 22);
      }
    }
    HeldThird(e, t, block.length);
  });
}

void VariableArpeggioCycle(int channel, MidiTrack& track, int) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    for (int q = 0; q < block.length / ticks::kQuarter; ++q) {
      switch (q % 4) {
        case 0: QuarterPair(e, t.root, 44, 70, 72, t.seventh, 34, 22); break;
        case 1: QuarterPair(e, t.fifth, 44, 70, 72, t.third, 34, 22); break;
        case 2:
          e.Note(t.root, 44, 46);
          e.Wait(48);
          QuarterPair(e, t.third, 34, 22, 24, t.third, 34, 22);
          break;
        default: QuarterPair(e, t.fifth, 44, 70, 72, t.fifth, 34, 22); break;
      }
    }
    HeldThird(e, t, block.length);
  });
}

void GenerateIrregularArpeggio(int channel, MidiTrack& track) {
  if (TripletGrid()) {
    IrregularArpeggioTriplet(channel, track);
  } else {
    IrregularArpeggioEighths(channel, track);
  }
}

void IrregularArpeggioEighths(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int metre = CurrentStyle().metre;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    const BlockTones t = BlockTones::Of(block);
    const int n = block.length / ticks::kEighth;
    // The song's last block is never muted, and whatever its length it plays its
    // first arpeggio (the draws are made all the same).
    const bool last = i == count - 1;
    const bool muted = Chance(2) && !last;
    // Silent steps carry no tone.
    const Tone three[6] = {Tone(), t.root + 12, t.third, t.fifth, Tone(), Tone()};
    const Tone four[8] = {Tone(), t.root + 12, t.third, t.fifth, Tone(), t.root + 12, t.third,
                          t.fifth};
    for (int s = 0; s < n; ++s) {
      const Tone tone = metre == 1 ? three[s % 6] : four[s % 8];
      int v = tone.pitch() == 0 && !tone.missing() ? 0 : 64;
      if (muted) v = 0;
      switch (n) {
        case 4: break;
        case 8: if (!Chance(3)) v = 0; break;
        case 6: if (metre != 1) v = 0; break;
        case 12: if (metre != 1 || !Chance(3)) v = 0; break;
        case 7: if (s > 3) v = 0; break;
        default: v = 0; break;
      }
      if (last && s < 4 && tone.pitch() != 0) v = 64;
      e.Note(tone, v, 47);
      e.Wait(48);
    }
  });
}

void IrregularArpeggioTriplet(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    const BlockTones t = BlockTones::Of(block);
    const int n = block.length / 32;
    // The song's last block is never muted, and whatever its length it plays its
    // first arpeggio (the draws are made all the same).
    const bool last = i == count - 1;
    const bool muted = Chance(2) && !last;
    for (int s = 0; s < n; ++s) {
      Tone tone;
      switch (s % 3) {
        case 0: tone = Chance(4) ? t.root + 12 : Tone(); break;
        case 1: tone = t.third; break;
        default: tone = t.fifth; break;
      }
      e.Note(tone, (muted || n != 6) && !(last && s < 3) ? 0 : 64, 30);
      e.Wait(32);
    }
  });
}
