#include "accomp/gamelan_chinese.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

void GenerateGamelanPattern(int channel, MidiTrack& track) {
  if (TripletGrid()) {
    GamelanOctaveTriplets(channel, track);
  } else {
    GamelanStraight(channel, track);
  }
}

void GamelanOctaveTriplets(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const Tone root = BlockTones::Of(block).root;
    int v = 34;
    for (int q = 0; q < block.length / ticks::kQuarter; ++q) {
      e.Strum({root, root + 12, root + 24}, v, 28, 32, 0);
      ++v;
      e.Wait(32);
    }
  });
}

void GamelanStraight(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int n = block.length / ticks::kSixteenth;
    // Tremolos in thirty-seconds, rising through the block: the root alone,
    // or root and fifth.
    const auto tremolo = [&](Tone second, int velocity, int rise) {
      for (int k = 0; k < n; ++k) {
        e.Note(t.root, velocity, 8);
        e.Wait(12);
        e.Note(second, velocity, 8);
        e.Wait(12);
        velocity += rise;
      }
    };
    if (Chance(5)) return tremolo(t.root, 34, 1);
    if (Chance(4)) return tremolo(t.fifth, 44, 2);
    // Strong tones, every eighth; the last of an odd count of sixteenths
    // keeps only what fits in the block.
    const bool two_octaves = Chance(2);
    for (int k = 0; k < n; k += 2) {
      const int strong = PickRandomStrongTone(block.chord_code);
      if (two_octaves) {
        e.Note(strong - 12, 69, 15);
        if (e.Remaining() > 24) {
          e.Wait(24);
          e.Note(strong + 12, 49, 15);
        }
        e.WaitWithinBlock(24);
      } else {
        e.Note(strong - 12, 32, 15);
        e.WaitWithinBlock(48);
      }
    }
  });
}

int ChineseLineTone(const ChordBlock& block) {
  for (int draw = 0; draw < 64; ++draw) {
    const int pitch = GneRandomRange(block.root, block.root + 12);
    if (block.IsChordTone(pitch) || IsScaleTone(pitch, block.chord_code) == 1) return pitch;
  }
  return block.root;
}

void GenerateChinesePattern(int channel, MidiTrack& track, int density) {
  if (TripletGrid()) {
    ChineseTripletLine(channel, track);
  } else {
    ChineseLine(channel, track, density);
  }
}

namespace {

// A line pitch: a tone of the block (present unless it is a rest pitch).
Tone LineTone(int pitch) { return pitch > 0 ? Tone(pitch) : Tone::Missing(); }

}  // namespace

void ChineseTripletLine(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  int previous = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    for (int s = 0; s < block.length / 32; ++s) {
      const int tone = ChineseLineTone(block);
      e.Note(LineTone(tone), tone == previous ? 0 : 64, 15);
      e.Wait(32);
      previous = tone;
    }
  });
}

void ChineseLine(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  int previous = 0;
  int previous_velocity = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const int n = block.length / ticks::kSixteenth;
    for (int s = 0; s < n; ++s) {
      int v = 64;
      Tone tone;
      int velocity = v;
      if (s == 0 || s == n - 1) {
        tone = Chance(3) ? t.root : Chance(2) ? t.third : t.fifth;
      } else {
        tone = LineTone(ChineseLineTone(block));
        const bool resolve = !block.IsChordTone(previous) && previous_velocity != 0;
        if (resolve) {
          const int draw = GneRandomRange(1, 3);
          tone = draw == 1 ? t.root + 12 : draw == 2 ? t.third : t.fifth;
        } else if (density < 100 && Chance(3)) {
          v = 0;
        }
        if (block.IsChordTone(tone.pitch())) {
          velocity = v;
        } else if (previous_velocity == 0) {
          velocity = 0;
        } else if (density < 100 && Chance(3)) {
          velocity = 0;
        } else {
          velocity = v;
        }
      }
      if (tone.pitch() == previous) velocity = 0;
      e.Note(tone, velocity, 15);
      e.Wait(24);
      previous = tone.pitch();
      previous_velocity = tone.sounds() ? velocity : 0;
    }
  });
}
