#include "accomp/oompah_dance.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/engine_state.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

constexpr int kVelocity = 64;

// K: the seventh, the third and the root struck together.
void Stride(NoteEmitter& e, const BlockTones& t, int length, int velocity = kVelocity) {
  e.Chord({t.seventh, t.third, t.root}, velocity, length);
}


// The ragtime's low notes of its triplet stride: an octave under, two under
// when one would not clear the bass by an octave.
Tone BelowBass(Tone tone, Tone bass) {
  return tone.pitch() - 12 < bass.pitch() + 12 ? tone - 12 : tone - 24;
}

void RagtimeTripletStride(NoteEmitter& e, const BlockTones& t) {
  e.Note(t.bass, kVelocity, 94);
  Stride(e, t, 60);
  e.Wait(64);
  Stride(e, t, 28);
  e.Wait(32);
  e.Note(BelowBass(t.third, t.bass), kVelocity, 92);
  e.Wait(64);
  Stride(e, t, 220);
  e.Wait(32);
  e.Note(BelowBass(t.fifth, t.bass), kVelocity, 92);
  e.Wait(96);
  e.Note(t.root.pitch() < t.bass.pitch() + 12 ? t.root : t.root - 12, kVelocity, 92);
  e.Wait(96);
}

void RagtimeBassAndTwoStrides(NoteEmitter& e, const BlockTones& t, int first, int gap,
                              int second, int then) {
  e.Note(t.bass, kVelocity, 94);
  e.Wait(96);
  Stride(e, t, first);
  e.Wait(gap);
  Stride(e, t, second);
  e.Wait(then);
}

void RagtimeClosing(NoteEmitter& e, const BlockTones& t, int length) {
  e.Note(t.bass, kVelocity, 94);
  int next = 96;
  if (length >= 288) {
    e.Wait(96);
    Stride(e, t, 190);
    next = 192;
  }
  if (length > 288) {
    e.Wait(next);
    e.Chord({t.bass, t.third, t.root}, kVelocity, 177);
    next = 192;
  }
  if (length > 480) {
    e.Wait(next);
    e.Note(t.bass, kVelocity, length - 481);
  }
}

}  // namespace

void GenerateRagtimePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int quarter_run = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (i == n - 1) return RagtimeClosing(e, t, length);
    quarter_run = length == ticks::kQuarter ? quarter_run + 1 : 0;
    const int r = GneRandomRange(1, 16);
    const int low_choice = GneRandomRange(1, 12);
    if (triplet && length == ticks::kBar && (i >= n / 2 || Chance(6))) return RagtimeTripletStride(e, t);
    // The bass, then two strides: 81 and 177 ticks long, or the other way
    // round with the second on beat 4.
    if (r == 1 && length == ticks::kBar) return RagtimeBassAndTwoStrides(e, t, 81, 96, 177, 192);
    if (r == 2 && length == ticks::kBar) return RagtimeBassAndTwoStrides(e, t, 177, 192, 81, 96);
    const int halves = (length + 191) / 192;
    int u = 96, v = 96;
    for (int h = 0; h < halves; ++h) {
      const int odd = length % ticks::kHalf;
      if (h == halves - 1 && odd != 0) {
        if (quarter_run % 2 == 1) {
          Stride(e, t, odd - 2);
        } else {
          e.Note(t.bass, kVelocity, odd - 2);
        }
        e.Wait(odd);
      } else if (r == 4 && halves < 3) {
        e.Note(t.bass, kVelocity, u - 2);
        e.Wait(u);
        e.Note(t.bass, kVelocity, v - 2);
        e.Wait(v);
      } else {
        const bool swing = triplet && h % 2 == 1 && i >= n / 3;
        u = swing ? 64 : 96;
        v = swing ? 128 : 96;
        const Tone low = low_choice == 1   ? t.seventh - 24
                         : low_choice == 2 ? t.third - 24
                         : low_choice == 3 ? t.fifth - 24
                                           : t.bass;
        e.Note(low, kVelocity, u - 2);
        e.Wait(u);
        if (triplet && i >= 2 * n / 3 && v == 128) {
          Stride(e, t, 64);
          e.Wait(32);
          e.Note(t.third - 12, 48, 62);
          e.Wait(64);
          e.Note(t.third - 12, 48, 30);
          e.Wait(32);
        } else {
          Stride(e, t, v - 15);
          e.Wait(v);
        }
      }
    }
  });
}

namespace {

// R - 12, T - 12 and F - 12 together.
void LowTriad(NoteEmitter& e, const BlockTones& t, int velocity, int length) {
  e.Chord({t.root - 12, t.third - 12, t.fifth - 12}, velocity, length);
}

// The triad, then four single notes walking down to the low fifth.
void RockabillyWalkDown(NoteEmitter& e, const BlockTones& t, bool triplet) {
  const int length = triplet ? 30 : 46;
  const int gaps[4] = {triplet ? 64 : 48, triplet ? 32 : 48, triplet ? 64 : 48,
                       triplet ? 32 : 48};
  LowTriad(e, t, kVelocity, 190);
  e.Wait(192);
  const Tone walk[4] = {t.root - 12, t.seventh - 24, t.fifth - 22, t.fifth - 24};
  for (int k = 0; k < 4; ++k) {
    e.Note(walk[k], 84, length);
    e.Wait(gaps[k]);
  }
}

// The plain figure: root and low third for the block, the fifth joining them,
// bent down into place at a change of section.
void RockabillyPlain(NoteEmitter& e, const BlockTones& t, int i, int length) {
  e.Chord({t.root - 12, t.third - 24}, kVelocity, length - 15);
  if (i > 0 && SectionLetter(i) != 0 && SectionLetter(i) != SectionLetter(i - 1)) {
    e.BentFromAbove(t.fifth - 12, kVelocity, length - 15, (length - 15) / 8);
  } else {
    e.Note(t.fifth - 12, kVelocity, length - 15);
  }
  e.Wait(length);
}

void RockabillyShuffle(NoteEmitter& e, const BlockTones& t, int i, int length) {
  if (Chance(6)) {
    for (int q = 0; q < length / ticks::kQuarter; ++q) {
      LowTriad(e, t, kVelocity, 54);
      e.Wait(64);
      LowTriad(e, t, kVelocity, 22);
      e.Wait(32);
    }
    return;
  }
  if (length != ticks::kBar) return RockabillyPlain(e, t, i, length);
  if (Chance(3)) {
    LowTriad(e, t, kVelocity, 15);
    e.Wait(160);
    LowTriad(e, t, kVelocity, 214);
    e.Wait(224);
    return;
  }
  if (Chance(3)) {
    const Tone pairs[4][2] = {{t.root, t.fifth - 10},
                              {t.seventh - 12, t.fifth - 12},
                              {t.fifth - 10, t.fifth - 14},
                              {t.fifth - 12, t.third - 12}};
    for (const auto& pair : pairs) {
      e.Chord({pair[0], pair[1]}, kVelocity, 54);
      e.Wait(64);
      e.Chord({pair[0], pair[1]}, kVelocity, 22);
      e.Wait(32);
    }
    return;
  }
  RockabillyPlain(e, t, i, length);
}

}  // namespace

void GenerateRockabillyPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int32_t& stabs = RockabillyStabCounter();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    const char section = SectionLetter(i);
    if ((section == 'B' || section == 'F') && (length == ticks::kBar || length == ticks::kHalf) && stabs < 4) {
      for (int h = 0; h < length / ticks::kHalf; ++h) {
        LowTriad(e, t, 79, 30);
        e.Wait(192);
      }
      stabs += length / ticks::kHalf;
      return;
    }
    stabs = 0;
    if (!triplet) {
      if (length == ticks::kBar && Chance(12)) return RockabillyWalkDown(e, t, false);
      return RockabillyPlain(e, t, i, length);
    }
    if (length == ticks::kBar && Chance(4)) return RockabillyWalkDown(e, t, true);
    if (length == ticks::kBar && SectionLetter(i + 1) != 0 && SectionLetter(i + 1) != section) {
      LowTriad(e, t, kVelocity, 190);
      e.Wait(192);
      for (int k = 0; k < 6; ++k) {
        LowTriad(e, t, 64 + 5 * k, 30);
        e.Wait(32);
      }
      return;
    }
    RockabillyShuffle(e, t, i, length);
  });
}

void GenerateBoleroPattern(int channel, MidiTrack& track) {
  static constexpr bool kBolero[18] = {1, 0, 0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 0, 1, 0, 0};
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 16 : 24;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const Tone fifth = BlockTones::Of(block).fifth;
    for (int k = 0; k < block.length / step; ++k) {
      if (kBolero[k % 18]) {
        e.Note(fifth, kVelocity, step - 2);
      } else {
        e.Rest(step - 2);
      }
      e.Wait(step);
    }
  });
}

void GenerateWaltzPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool six_eight = SixEightFeel();
  const bool triplet = TripletGrid();
  int quarter_count = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (six_eight) {
      if (length % 144 != 0) {
        LowTriad(e, t, kVelocity, length / 2);
        e.Wait(length);
        return;
      }
      for (int k = 0; k < length / 144; ++k) {
        if (Chance(6) && i > n / 2) {
          LowTriad(e, t, kVelocity, 48);
          e.Wait(96);
          LowTriad(e, t, kVelocity, 24);
          e.Wait(48);
        } else {
          LowTriad(e, t, kVelocity, 72);
          e.Wait(144);
        }
      }
      return;
    }
    if (!triplet && i % 2 == 1 && Chance(4)) {
      for (int k = 0; k < length / ticks::kEighth; ++k) {
        if (k <= 2 || k == 4) LowTriad(e, t, kVelocity, 47);
        e.Wait(48);
      }
      return;
    }
    if (i % 4 == 3 && Chance(3)) {
      LowTriad(e, t, kVelocity, length / 2);
      e.Wait(length);
      return;
    }
    for (int at = 0; at < length; at += 96, ++quarter_count) {
      const int quarter = length - at < 96 ? length - at : 96;
      // The song's last block opens with its triad even where the count rests.
      if (quarter_count % 4 != 0 || (i == n - 1 && at == 0))
        LowTriad(e, t, kVelocity, quarter / 2 - 1);
      e.Wait(quarter);
    }
  });
}

void GenerateJazzWaltzPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 48;
  int k = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    if (block.length % step != 0) ShowErrorByCode(kMetreError);
    for (int s = 0; s < block.length / step; ++s, ++k) {
      switch (k % 12) {
        case 0: case 3: case 10: e.Note(t.root - 12, kVelocity, step - 1); break;
        case 1: case 5: e.Chord({t.fifth, t.third, t.seventh - 12}, kVelocity, step - 1); break;
        case 6: e.Note(t.fifth - 12, kVelocity, step - 1); break;
        case 8: e.Chord({t.fifth, t.third, t.seventh - 12}, kVelocity, 2 * (step - 1)); break;
        default: break;
      }
      e.Wait(step);
    }
  });
}
