#include "accomp/strum_sustained.h"

#include <algorithm>

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "accomp/voicing.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "music/midi_track.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

constexpr int kVelocity = 64;

// Calls piece(P) for each piece of at most a bar (384 ticks) of the block.
template <typename Piece>
void InPieces(int length, Piece piece) {
  for (int at = 0; at < length; at += 384) piece(std::min(384, length - at));
}

}  // namespace

void GenerateHawaiianPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (length == ticks::kBar && Chance(5)) {
      e.Chord({t.third - 12, t.seventh - 12}, kVelocity, 184);
      e.BentFromBelow(t.fifth - 12, kVelocity, 184, Chance(2) ? 11 : 23);
      e.Wait(192);
      e.Chord({t.third, t.seventh, t.fifth}, kVelocity, 184);
      e.Wait(192);
      return;
    }
    if (Chance(2)) {
      e.Note(t.root - 12, 62, length - 8);
      e.Wait(8);
      e.Note(t.third - 12, 62, length - 16);
      e.Wait(8);
      e.Note(t.fifth - 12, 64, length - 24);
      e.Wait(8);
      e.Note(t.seventh - 12, 64, length - 32);
      e.Wait(length - 24);
      return;
    }
    e.Chord({t.third - 12, t.seventh - 12}, kVelocity, length - 8);
    if (Chance(4) || length > ticks::kHalf) {
      if (Chance(2) && length == ticks::kBar) {
        e.BentFromAbove(t.fifth - 12, kVelocity, 376, 47);
      } else {
        e.BentFromBelow(t.fifth - 12, kVelocity, length - 8, (length - 8) / 8);
      }
    } else {
      e.Note(t.fifth - 12, kVelocity, length - 8);
    }
    e.Wait(length);
  });
}

void GenerateSimpleStrokePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const auto down = [&](int length) {
      e.Strum({t.third - 12, t.fifth - 12, t.seventh - 12}, 49, length, 2, 2);
    };
    const auto up = [&](int length) {
      e.Strum({t.seventh - 12, t.fifth - 12, t.third - 12}, kVelocity, length, 2, 2);
    };
    for (int k = 0; k < block.length / ticks::kQuarter; ++k) {
      if (k % 2 == 0) {
        down(88);
        e.Wait(92);
      } else if (!triplet) {
        down(40);
        e.Wait(44);
        up(40);
        e.Wait(44);
      } else {
        down(24);
        e.Wait(28);
        up(24);
        e.Wait(28);
        up(24);
        e.Wait(28);
      }
    }
  });
}

void GenerateOldiesGuitarPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int x = triplet ? 64 : 48, y = triplet ? 32 : 48;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    const int eighths = length / ticks::kEighth;
    if (eighths == 8 && !triplet && Chance(2)) {
      const Tone low = t.root - 12;
      e.Note(t.fifth - 12, kVelocity, 94);
      e.Wait(2);
      e.Note(low, kVelocity, 92);
      e.Wait(94);
      e.Note(low, kVelocity, 46);
      e.Wait(48);
      e.Note(low, kVelocity, 94);
      e.Wait(96);
      e.Note(low, 69, 22);
      e.Wait(24);
      e.Note(low, 69, 22);
      e.Wait(24);
      e.Note(low, 74, 46);
      e.Wait(48);
      e.Note(low, 79, 46);
      e.Wait(48);
      return;
    }
    if (eighths == 8 && !triplet && Chance(2)) {
      if (Chance(2)) {
        const int last = GneRandomRange(8, 16);
        for (int k = 0; k < 16; ++k) {
          if (k <= last) {
            e.Note(t.root - k, 64 + 2 * k, 22);
          } else {
            e.Rest(22);
          }
          e.Wait(24);
        }
      } else {
        e.Note(t.root, kVelocity, 94);
        e.Wait(96);
        e.Note(t.seventh - 12, kVelocity, x - 2);
        e.Wait(x);
        e.Note(t.root, kVelocity, 94);
        e.Wait(96);
        e.Note(t.seventh - 12, kVelocity, y - 2);
        e.Wait(y);
        e.Note(t.root, kVelocity, x - 2);
        e.Wait(x);
        e.Note(t.seventh - 12, kVelocity, y - 2);
        e.Wait(y);
      }
      return;
    }
    const bool silent = i == n - 1 && n > 1 && length == ticks::kBar && !triplet;
    // In triplets the eighths go long and short; one that would pass the
    // block's end is cut to it.
    for (int k = 0; k < eighths && e.Remaining() > 0; ++k) {
      const int step = std::min(k % 2 == 0 ? x : y, e.Remaining());
      const Tone pitch = k % 4 == 0 ? t.root - 12 : k % 4 == 2 ? t.third - 12 : t.fifth - 12;
      if (silent) {
        e.Rest(step - 2);
      } else {
        e.Note(pitch, kVelocity, step - 2);
      }
      e.Wait(step);
    }
  });
}

void GenerateSlidingPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  int32_t& slides = SlideCount();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    InPieces(block.length, [&](int piece) {
      const int start = e.BlockTick();
      const int g = piece == ticks::kBar && Chance(4) ? 96 : 2;
      e.Note(t.seventh - 12, kVelocity, piece - g);
      e.Wait(2);
      e.Note(t.fifth, kVelocity, piece - g - 2);
      e.Wait(2);
      if (slides % 2 == 0) {
        e.Glide(t.bass + 24, kVelocity, piece / 2, piece / 2 / 20);
        e.At(start + piece / 2);
        const int held = piece / 2 - g - 4;
        e.Glide(t.third, 54, held, held / 20);
      } else {
        const int held = piece - g - 4;
        e.Glide(t.third, kVelocity, held, held / 20);
      }
      ++slides;
      e.At(start + piece);
    });
  });
}

void GenerateHighWholeNotePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    InPieces(block.length, [&](int piece) {
      // Every piece of the song's last block sounds (the draw is made all the same).
      if (!Chance(4) && i != n - 1) {
        e.Wait(piece);
        return;
      }
      const int start = e.BlockTick();
      e.Note(t.seventh + 24, 21, piece - 2);
      e.Wait(2);
      e.Glide(t.third + 36, 21, piece - 4, 0);
      e.Wait(2);
      // The glide's steps come from the piece, so that it ends within its note.
      e.Glide(t.fifth + 24, 21, piece - 6, (piece - 6) / 20);
      e.At(start + piece);
    });
  });
}

namespace {

// The first pitch above `from` (up to 12 tried) weighing 7 or more; from +
// 12 when none does.
int StrongAbove(const char* weights, int from) {
  for (int p = from; p < from + 12; ++p)
    if (ToneDigit(weights, PitchClassOf(p)) >= 7) return p;
  return from + 12;
}

constexpr bool kKecakCells[4][16] = {
    {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0},
    {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0},
    {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0},
    {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1},
};

}  // namespace

void GenerateKecakPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 24;
  int vel[4] = {32, 32, 0, 0};
  const auto strike = [&](int pitch, int velocity) {
    if (velocity > 0) e.Note(pitch, std::min(velocity, 127), 15);
  };
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    char weights[kToneWeightTextSize];
    BuildToneWeights(block.chord_code, weights);
    int p[4];
    p[0] = StrongAbove(weights, 46);
    for (int v = 1; v < 4; ++v) p[v] = StrongAbove(weights, p[v - 1] + 1);
    const int steps = block.length / step;
    if (Chance(6)) {
      vel[0] = vel[2] = 127;
      for (int k = 0; k < steps; ++k) {
        if (k % 16 == 0) {
          e.Chord({Tone(p[0]), Tone(p[1]), Tone(p[2]), Tone(p[2])}, 127, 15);
        } else {
          e.Rest(15);
        }
        e.Wait(step);
      }
      if (Chance(2)) {
        vel[0] = vel[1] = 32;
        vel[2] = vel[3] = 0;
      } else {
        vel[1] = vel[3] = 127;
      }
      return;
    }
    if (Chance(6)) {
      vel[3] = 32;
      if (!Chance(3)) {
        vel[2] = 32;
        if (!Chance(4)) {
          vel[1] = 32;
          if (Chance(3)) vel[0] = 32;
        }
      }
    }
    int k = 0;
    if (GneRandomRange(0, 2) == 0) {
      for (int& v : vel) v = 127;
      for (; k < 8 && k < steps; ++k) {
        if (k == 0 || k == 2 || k == 4) {
          strike(p[0] + 12, vel[0]);
          strike(p[1], vel[1] + 12);
          strike(p[2], vel[2] + 12);
          strike(p[2], vel[3] + 12);
        }
        e.Wait(step);
      }
    }
    for (; k < steps; ++k) {
      for (int& v : vel) v = std::min(v + 2, 127);
      for (int v = 0; v < 4; ++v)
        if (kKecakCells[v][k % 16]) strike(p[v], vel[v]);
      e.Wait(step);
    }
    if (Chance(2)) {
      vel[0] = vel[1] = 32;
      vel[2] = vel[3] = 0;
    }
  });
}

void GenerateFourCutPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int program = track.GetProgram(channel);
  if (program < 0) program = CurrentStyle().instrument[channel & 15];
  const bool guitar = program >= 24 && program <= 31;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    if (length % ticks::kQuarter != 0) {
      // The song's last block always sounds its fifth (the draw is made all the same).
      if (GneRandomRange(1, 2) == 2 || i == n - 1) {
        e.Note(t.fifth, kVelocity, length - 8);
      } else {
        e.Rest(length - 8);
      }
      e.Wait(length);
      return;
    }
    const int quarters = length / ticks::kQuarter;
    const bool last = i == n - 1;
    const int R = block.root, T = block.third, F = block.fifth, S = block.seventh;
    for (int k = 0; k < quarters; ++k) {
      int velocity = kVelocity;
      int notes, gap;
      if (k % 2 == 0) {
        notes = k % 4 == 0 && Chance(2) ? 32 : 24;
        gap = 4;
      } else {
        notes = k % 4 == 3 && Chance(2) ? 19 : 12;
        gap = 2;
      }
      if (last && ((k % 4 == 2 && quarters == 4) || (quarters == 8 && k == 6))) notes = 88;
      if (last && ((k % 4 == 3 && quarters == 4) || (quarters == 8 && k == 7))) velocity = 0;
      if (!guitar) gap = 0;
      int32_t tones[4];
      switch (k % 4) {
        case 0: tones[0] = T - 12, tones[1] = F - 12, tones[2] = R, tones[3] = R - 12; break;
        case 1: tones[0] = T - 12, tones[1] = F - 12, tones[2] = R, tones[3] = Chance(2) ? S : R - 12; break;
        case 2: tones[0] = T - 12, tones[1] = F - 12, tones[2] = S - 12, tones[3] = Chance(2) ? T : R; break;
        default: tones[0] = T - 12, tones[1] = F - 12, tones[2] = S - 12, tones[3] = R; break;
      }
      // A tone the chord lacks is 0 or below and drops out as an empty slot.
      SortFoldChordTones(tones, 68, 4);
      const auto strum = [&](int v) {
        int written = 0;
        for (int32_t tone : tones) {
          if (tone <= 0) continue;
          if (written++ > 0) e.Wait(gap);
          if (v > 0) {
            e.Note(tone, v, notes);
          } else {
            e.Rest(notes);
          }
        }
        return written;
      };
      const int start = e.BlockTick();
      strum(velocity);
      if (i >= 2 * n / 3 && triplet && !last && Chance(6)) {
        e.At(start + 64);
        strum(2 * velocity / 3);
      }
      e.At(start + 96);
    }
  });
}
