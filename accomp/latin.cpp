#include "accomp/latin.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/part_tracks.h"
#include "music/midi_track.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

// The tone's pitch class placed on a base pitch (48 or 60); a missing tone
// stays missing.
Tone OnBase(Tone tone, int base) {
  return tone.missing() ? Tone::Missing(base) : Tone(base + tone.pitch() % 12);
}

// The bossa nova bar: its five timings (a, b, c, d, e) over 384 ticks.
void BossaNovaBar(NoteEmitter& e, const BlockTones& t, bool triplet) {
  const int a = triplet ? 160 : 168, b = triplet ? 64 : 48, c = triplet ? 32 : 48,
            d = triplet ? 32 : 24, last = triplet ? 64 : 72;
  constexpr int v = 84;
  e.Chord({t.fifth - 10, t.third, t.root}, v, a - 5);
  e.Wait(a);
  e.Chord({t.fifth - 10, t.third}, v, b - 5);
  e.Wait(b);
  e.Chord({t.fifth, t.root}, v, c - 5);
  if (!t.seventh.missing()) {
    e.Wait(c);
    e.Note(t.seventh, v, d - 5);
    e.Wait(d);
  } else {
    e.Wait(c + d);
  }
  e.Note(t.root + 12, v, d - 5);
  e.Wait(d);
  e.Note(t.fifth + 14, v, last - 5);
  e.Wait(last);
}

// The third, the root and, when the chord has one, the seventh.
void ThirdRootSeventh(NoteEmitter& e, const BlockTones& t, int velocity, int length) {
  if (t.seventh.missing()) {
    e.Chord({t.third, t.root}, velocity, length);
  } else {
    e.Chord({t.third, t.root, t.seventh}, velocity, length);
  }
}

}  // namespace

void GenerateBossaNovaPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int x = triplet ? 64 : 48, y = triplet ? 32 : 48;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (i == n - 1) {
      e.Chord({t.seventh, t.third, t.root}, 84, length - 15);
      e.Wait(length);
      return;
    }
    const int quarters = (length + 95) / 96;
    const int odd = length % ticks::kQuarter;
    if ((quarters == 4 || quarters == 8) && odd == 0) {
      for (int bar = 0; bar < quarters / 4; ++bar) BossaNovaBar(e, t, triplet);
      return;
    }
    for (int q = 0; q < quarters; ++q) {
      if (q == quarters - 1 && odd != 0) {
        e.Note(t.bass, 84, odd - 2);
        e.Wait(odd);
      } else {
        e.Note(t.bass, 84, x - 2);
        e.Wait(x);
        ThirdRootSeventh(e, t, 84, y - 15);
        e.Wait(y);
      }
    }
  });
}

void GenerateLatinPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int bar_blocks = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const auto pair = [&](int length) { e.Chord({t.third - 12, t.fifth - 12}, 64, length); };
    const auto rest_then_pair = [&](int pair_length) {
      e.Rest(38);
      e.Wait(48);
      pair(pair_length);
    };
    const int steps = block.length / ticks::kEighth;
    if (!triplet && (steps == 8 || steps == 16)) {
      const bool even = bar_blocks % 2 == 0;
      ++bar_blocks;
      for (int bar = 0; bar < steps / 8; ++bar) {
        if (even) {
          pair(26);
          e.Wait(96);
          pair(134);
        } else {
          rest_then_pair(134);
        }
        e.Wait(144);
        pair(26);
        e.Wait(96);
        pair(even ? 38 : 26);
        e.Wait(even ? 48 : 96);
      }
    } else if (!triplet && steps == 4) {
      if (Chance(2)) {
        rest_then_pair(134);
        e.Wait(144);
      } else {
        for (int k = 0; k < 2; ++k) {
          rest_then_pair(38);
          e.Wait(48);
        }
      }
    } else {
      pair(block.length - 2);
      e.Wait(block.length);
    }
  });
}

namespace {

// The rhythmic Latin bar of 384 ticks, or its first half (192 ticks) up to
// the first fifth on an off-beat sixteenth.
void RhythmicLatinBar(NoteEmitter& e, const BlockTones& t, bool half) {
  enum Kind { kRest, kNote, kFifths };  // kFifths: F - 12 and F together
  struct Step {
    int delta;
    Kind kind;
    Tone tone;
    int length;
  };
  const Step steps[] = {
      {0, kFifths, t.fifth, 22},  {24, kRest, {}, 22},     {24, kNote, t.root + 2, 8},
      {24, kFifths, t.fifth, 46}, {48, kNote, t.root + 2, 8}, {24, kRest, {}, 22},
      {24, kNote, t.fifth, 22},   {24, kRest, {}, 22},     {24, kNote, t.root, 22},
      {24, kRest, {}, 22},        {24, kNote, t.fifth, 22}, {24, kNote, t.fifth, 46},
      {48, kNote, t.root, 46},
  };
  const int count = half ? 7 : 13;
  for (int k = 0; k < count; ++k) {
    const Step& s = steps[k];
    e.Wait(s.delta);
    switch (s.kind) {
      case kRest: e.Rest(s.length); break;
      case kNote: e.Note(s.tone, 64, s.length); break;
      case kFifths: e.Chord({s.tone - 12, s.tone}, 64, s.length); break;
    }
  }
  e.Wait(half ? 24 : 48);
}

// A half bar of the triplet rhythmic Latin figure (192 ticks).
void RhythmicLatinTripletHalf(NoteEmitter& e, const BlockTones& t) {
  if (Chance(3)) {
    e.Note(t.root + 2, 64, 30);
    e.Wait(32);
    e.Note(t.fifth, 64, 30);
    e.Wait(32);
  } else {
    e.Chord({t.root - 12, t.fifth - 12}, 64, 62);
    e.Wait(64);
  }
  e.Chord({t.root + 2, t.third - 12}, 64, 30);
  if (Chance(2)) {
    e.Wait(32);
    e.Chord({t.root - 12, t.fifth - 12}, 64, 62);
    e.Wait(64);
  } else {
    e.Wait(32);
    e.Note(t.fifth - 12, 64, 30);
    e.Wait(32);
    e.Note(t.fifth, 64, 30);
    e.Wait(32);
  }
  e.Chord({t.root, t.third - 12}, 64, 30);
  e.Wait(32);
}

}  // namespace

void GenerateRhythmicLatinPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (!triplet && (length / ticks::kEighth == 8 || length / ticks::kEighth == 16)) {
      for (int bar = 0; bar < length / ticks::kBar; ++bar) RhythmicLatinBar(e, t, false);
    } else if (!triplet && length / ticks::kEighth == 4) {
      RhythmicLatinBar(e, t, true);
    } else if (triplet && (length / 32 == 6 || length / 32 == 12 || length / 32 == 24)) {
      for (int half = 0; half < length / 32 / 6; ++half) RhythmicLatinTripletHalf(e, t);
    } else {
      e.Chord({t.third - 12, t.fifth - 12}, 64, length - 2);
      e.Wait(length);
    }
  });
}

namespace {

// What a cha-cha-cha step strikes: two tones together.
struct ChaStep {
  Tone high, low;
  bool rest;
};
ChaStep ChaChaChaStep(const BlockTones& t, int k) {
  switch (k % 16) {
    case 0: case 2: case 9: return {t.root + 12, t.root, false};
    case 3: case 12: case 13: return {t.seventh, t.seventh - 12, false};
    case 5: return {t.fifth + 2, t.fifth - 10, false};
    case 7: case 11: case 14: return {t.fifth, t.fifth - 12, false};
    case 10: return {t.root + 14, t.root + 2, false};
    default: return {{}, {}, true};
  }
}

}  // namespace

void GenerateChaChaChaFigure(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    // The song's last block plays the figure, not a break (the draw is made all the same).
    const bool break_block = Chance(6) && i != n - 1;
    for (int k = 0; k < block.length / ticks::kEighth; ++k) {
      if (break_block) {
        const int at = k % 16;
        if (at >= 2 && at <= 4) {
          e.Note(t.fifth + 12, 84, 15);
          e.Note(t.root + 26, 64, 15);
        } else {
          e.Rest(15);
        }
      } else {
        const ChaStep s = ChaChaChaStep(t, k);
        if (s.rest) {
          e.Rest(15);
        } else {
          e.Chord({s.high, s.low}, 64, 15);
        }
      }
      e.Wait(48);
    }
  });
}

void GenerateChaChaChaPattern(int channel, MidiTrack& track) {
  GenerateChaChaChaFigure(channel, track);
  if (!TripletGrid()) return;
  DropEmptyNotes(track);
  track.ConvertToShuffle(96);
}

namespace {

enum class FlamencoMode { kArpeggio, kSilent, kStrum };

// Ten strokes of R, F and T on 60, 32 ticks apart; the tenth rings 95.
void Rasgueado(NoteEmitter& e, const BlockTones& t) {
  for (int k = 0; k < 10; ++k) {
    if (k > 0) e.Wait(32);
    e.Chord({OnBase(t.root, 60), OnBase(t.fifth, 60), OnBase(t.third, 60)}, 64, k == 9 ? 95 : 31);
  }
}

}  // namespace

void GenerateFlamencoPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 48;
  FlamencoMode mode = FlamencoMode::kStrum;
  int base = 48;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (i % 4 == 0) {
      if (Chance(4)) {
        mode = FlamencoMode::kArpeggio;
        base = Chance(2) ? 48 : 60;
      } else if (Chance(6)) {
        mode = FlamencoMode::kSilent;
      } else {
        mode = FlamencoMode::kStrum;
      }
    }
    // A silent stretch that reaches the song's last block strums it instead.
    switch (mode == FlamencoMode::kSilent && i == n - 1 ? FlamencoMode::kStrum : mode) {
      case FlamencoMode::kSilent:
        e.Wait(length);
        break;
      case FlamencoMode::kArpeggio: {
        const Tone cycle[3] = {OnBase(t.fifth, base), OnBase(t.third, base), OnBase(t.root, base)};
        if (Chance(3) && length % ticks::kBar == 0) {
          int velocity = 64;
          for (int k = 0; k < length / 32; ++k) {
            e.Note(cycle[k % 3], velocity, 31);
            e.Wait(32);
            if (++velocity > 100) velocity = 64;
          }
        } else {
          for (int k = 0; k < length / step; ++k) {
            e.Note(cycle[(k % 8) % 3], 64, step - 1);
            e.Wait(step);
          }
        }
        break;
      }
      case FlamencoMode::kStrum:
        if (Chance(5) && length >= ticks::kBar) {
          Rasgueado(e, t);
          e.Wait(length - 288);
        } else {
          for (int k = 0; k < length / step; ++k) {
            const int at = k % 8;
            if (at != 1 && at != 2 && at != 4) {
              e.Chord({OnBase(t.root, 60), OnBase(t.root, 48), OnBase(t.third, 60),
                       OnBase(t.fifth, 60)},
                      64, step - 1);
            }
            e.Wait(step);
          }
        }
        break;
    }
  });
}
