#include "accomp/arpeggio_line.h"

#include <cstdlib>

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

constexpr int kVelocity = 64;

}  // namespace

void GenerateFastArpeggioPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 16 : 24;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const Tone root = BlockTones::Of(block).root;
    for (int k = 0; k < block.length / step; ++k) {
      const Tone pitch = root + 12 * GneRandomRange(0, 2);
      e.Note(pitch, GneRandomRange(0, 20) + 34, step - 10);
      e.Wait(step);
    }
  });
}

void GenerateScatteredDissonancePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const int length = triplet ? 16 : 47;
  const PartRecord& melody = CurrentStyle().parts[1];
  const int middle = (melody.range_high + melody.range_low) / 2;
  int centre = middle;
  int groups = 0;
  int pitch = centre;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    if (groups > 3) {
      groups = 0;
      centre = middle;
    }
    char weights[kToneWeightTextSize];
    BuildToneWeights(block.chord_code, weights);
    for (int k = 0; k < block.length / step; ++k) {
      if (k % 4 == 0) pitch = centre;
      for (int moves = 0; moves < 13; ++moves) {
        --pitch;
        if (ToneDigit(weights, PitchClassOf(pitch)) >= ChordToneLevel) break;
      }
      if (k % 4 == 1) {
        ++groups;
        centre = pitch;
      }
      while (pitch < 37) pitch += 12;
      e.Note(pitch, kVelocity, length);
      e.Wait(step);
    }
  });
}

void GenerateMelodicPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const bool sectioned = ComposeInfo().chord_timeline.count() > 0;
  int counter = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const char section = SectionLetter(i);
    const char next = SectionLetter(i + 1);
    const bool last_of_section = next != 0 && next != section;
    if (!sectioned || (section != 'A' && i > 0 && section != SectionLetter(i - 1)) ||
        last_of_section || i == n - 1) {
      // The song's last block, too, starts the figure on its first, sounding step.
      counter = 0;
    }
    for (int k = 0; k < block.length / step; ++k, ++counter) {
      Tone pitch;
      bool plays = true;
      if (triplet) {
        switch (counter % 12) {
          case 0: pitch = t.fifth; break;
          case 3: pitch = t.root; break;
          case 5: pitch = t.third; break;
          case 8: pitch = t.seventh; break;
          case 11: pitch = t.fifth - 2; break;
          default: plays = false; break;
        }
      } else if (section == 'A') {
        switch (counter % 16) {
          case 0: pitch = Chance(2) ? t.fifth : t.third; break;
          case 2: pitch = t.root; break;
          case 3: pitch = t.third; break;
          case 5: pitch = t.seventh; break;
          case 7: pitch = Chance(2) ? t.fifth - 2 : t.third; break;
          default: plays = false; break;
        }
      } else if (!last_of_section) {
        switch (counter % 8) {
          case 0: pitch = t.fifth; break;
          case 2: pitch = t.root; break;
          case 3: pitch = t.third; break;
          case 5: pitch = t.seventh; break;
          case 7: pitch = Chance(2) ? t.fifth - 2 : t.third; break;
          default: plays = false; break;
        }
      } else {
        switch (counter % 8) {
          case 1: pitch = t.third; break;
          case 2: pitch = t.fifth; break;
          case 3: pitch = t.seventh; break;
          case 5: pitch = t.fifth; break;
          default: plays = false; break;
        }
      }
      if (plays) e.Note(pitch, kVelocity, step - 12);
      e.Wait(step);
    }
  });
}

namespace {

// A parade step: its pitch and velocity (velocity 0: a rest).
struct ParadeNote {
  Tone pitch;
  int velocity;
};

// From the pitch to the nearest scale tone in the direction; a search that
// gives up is a rest.
Tone Stepped(Tone from, int step) {
  if (from.missing()) return from;
  const int found = StepToScaleTone(from.pitch(), step);
  if (found <= 0 || found > 127 ||
      ToneDigit(CurrentStyle().scale_tones, PitchClassOf(found)) < ScaleToneLevel) {
    return Tone::Missing(found);
  }
  return Tone(found);
}

constexpr ParadeNote kRest{Tone(), 0};

ParadeNote ParadeA(const BlockTones& t, int k) {
  switch (k % 16) {
    case 0: return {t.root, kVelocity};
    case 1: return Chance(4) ? ParadeNote{Stepped(t.root + 1, 1), 48} : kRest;
    case 2: return {t.third, kVelocity};
    case 3:
      if (Chance(4)) return kRest;
      return Chance(3) ? ParadeNote{Stepped(t.third - 1, -1), 48}
                       : ParadeNote{Stepped(t.third + 1, 1), kVelocity};
    case 4: return {Chance(3) ? t.third : t.fifth, kVelocity};
    case 5: return Chance(3) ? ParadeNote{t.third, 48} : kRest;
    case 6:
    case 8: return {Chance(3) ? t.root + 12 : t.root, kVelocity};
    case 7: return kRest;
    case 9:
    case 13: return {Stepped(t.fifth + 1, 1), kVelocity};
    case 10: return {t.third, kVelocity};
    case 11: return {Stepped(t.fifth - 3, -1), kVelocity};
    case 12: return {t.fifth, kVelocity};
    case 14: return Chance(3) ? kRest : ParadeNote{t.seventh, kVelocity};
    default: return {t.root + 12, kVelocity};
  }
}

ParadeNote ParadeB(const BlockTones& t, int k) {
  switch (k % 16) {
    case 0: return {t.root, kVelocity};
    case 1: return Chance(3) ? ParadeNote{Stepped(t.root + 1, 1), 48} : kRest;
    case 2: return {Chance(3) ? t.root : t.third, kVelocity};
    case 3:
    case 5: return ParadeA(t, k);
    case 4: return {t.fifth, kVelocity};
    case 6: return Chance(3) ? kRest : ParadeNote{t.root, kVelocity};
    case 7:
    case 9: return kRest;
    case 8: return {t.third, kVelocity};
    case 10: return Chance(3) ? kRest : ParadeNote{Stepped(t.fifth + 1, 1), kVelocity};
    case 11: return {t.fifth, kVelocity};
    case 12:
    case 14: return {t.third, kVelocity};
    case 13: return Chance(3) ? kRest : ParadeNote{Stepped(t.root + 1, 1), kVelocity};
    default: return Chance(3) ? kRest : ParadeNote{t.root, kVelocity};
  }
}

// The remembered pitch moved one or two semitones onto the root, the third
// or the fifth when it lies that close to one of them (classes compared
// without wrapping); 0 when it stays where it is.
int Resolved(int remembered, const BlockTones& t) {
  if (remembered == 0) return 0;
  const int pc = remembered % 12;
  const Tone tones[3] = {t.root, t.third, t.fifth};
  for (const Tone& tone : tones)
    if (!tone.missing() && tone.pitch() % 12 == pc) return 0;
  for (const Tone& tone : tones) {
    if (tone.missing()) continue;
    const int gap = tone.pitch() % 12 - pc;
    if (gap != 0 && std::abs(gap) <= 2) return remembered + gap;
  }
  return 0;
}

}  // namespace

void GenerateParadePattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 24;
  int remembered = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    char weights[kToneWeightTextSize];
    BuildToneWeights(block.chord_code, weights);
    const bool figure_a = Chance(3);
    for (int k = 0; k < block.length / step; ++k) {
      ParadeNote n = figure_a ? ParadeA(t, k) : ParadeB(t, k);
      const int weight = ToneDigit(weights, PitchClassOf(n.pitch.pitch()));
      if (weight < ScaleToneLevel) n = kRest;
      if (density <= 60) {
        if (k >= 1 && k <= 7 && weight < ChordToneLevel) n = kRest;
      } else if (density <= 75) {
        if (!Chance(4) && k <= 7 && weight < ChordToneLevel) n = kRest;
      }
      const bool sounds = n.velocity > 0 && n.pitch.sounds();
      if (!figure_a && sounds) {
        const int moved = Resolved(remembered, t);
        if (moved != 0) n.pitch = Tone(moved);
      }
      if (sounds) {
        e.Note(n.pitch, n.velocity, 15);
      } else {
        e.Rest(15);
      }
      const int written = sounds ? n.pitch.pitch() : 0;
      if (figure_a) {
        const int moved = Resolved(written, t);
        remembered = moved != 0 ? moved : written;
      } else {
        remembered = written;
      }
      e.Wait(step);
    }
  });
}

TrancePair PickTrancePair(const ChordBlock& block) {
  const BlockTones t = BlockTones::Of(block);
  const auto scale = [&](Tone tone) { return IsScaleTone(tone.pitch(), block.chord_code) != 0; };
  if (scale(t.root + 25)) return {t.root + 24, t.root + 25};
  if (!Chance(3)) {
    if (scale(t.third + 13)) return {t.third + 12, t.third + 13};
    if (scale(t.fifth + 13)) return {t.fifth + 12, t.fifth + 13};
  }
  return {t.root + 24, t.root + 26};
}

namespace {

void TranceBar(NoteEmitter& e, const ChordBlock& block) {
  const TrancePair pair = PickTrancePair(block);
  const Tone a = pair.low, b = pair.high;
  const auto drawn = [] { return 58 - GneRandomRange(0, 10); };
  e.Note(a, 58, 32);
  e.Wait(48);
  e.Rest(8);
  e.Wait(24);
  e.Note(a, 58, 32);
  e.Wait(48);
  e.Rest(8);
  e.Wait(24);
  e.Note(a, 58, 32);
  e.Wait(48);
  e.Note(b, drawn(), 8);
  e.Wait(24);
  e.Rest(8);
  e.Wait(24);
  e.Note(a, drawn(), 8);
  e.Wait(24);
  e.Note(b, drawn(), 32);
  e.Wait(48);
  e.Note(a, drawn(), 8);
  e.Wait(24);
  e.Note(b, drawn(), 32);
  e.Wait(48);
}

void TranceHalfBar(NoteEmitter& e, const ChordBlock& block, const BlockTones& t, bool last) {
  if (Chance(2)) {
    for (int k = 0; k < 8; ++k) {
      Tone pitch = Chance(2) ? t.root + 24 : t.root + 12;
      if (k % 2 == 1) pitch += 1;
      if (!IsScaleTone(pitch.pitch(), block.chord_code)) pitch += 1;
      e.Note(pitch, 58, 8);
      e.Wait(24);
    }
    return;
  }
  // The song's last block is never left silent (the draw is made all the same).
  if (Chance(6) && !last) {
    e.Rest(20);
    e.Wait(block.length);
    return;
  }
  e.Note(t.root + 24, 58, 32);
  e.Wait(48);
  e.Rest(8);
  e.Wait(24);
  e.Note(t.root + 24, 48, 32);
  e.Wait(48);
  e.Rest(24);
  e.Wait(24);
  if (Chance(4)) {
    e.Note(t.seventh + 12, 48, 32);
  } else {
    e.Note(t.root + 24, 38, 32);
  }
  e.Wait(48);
}

}  // namespace

void GenerateTrancePattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int length = block.length;
    const bool last = i == n - 1;
    if (triplet) {
      const int eighths = length / 32;
      if (eighths == 6 || eighths == 12 || eighths == 24) {
        for (int half = 0; half < eighths / 6; ++half) {
          if (Chance(2)) {
            for (int k = 0; k < 6; ++k) {
              e.Note(k % 2 == 0 ? t.root + 24 : t.root + 25, kVelocity, 30);
              e.Wait(32);
            }
          } else {
            for (int k = 0; k < 3; ++k) {
              e.Note(t.root + 24, kVelocity, 30);
              e.Wait(64);
            }
          }
        }
      } else {
        e.Chord({t.third, t.fifth}, kVelocity, length - 2);
        e.Wait(length);
      }
      return;
    }
    const int eighths = length / ticks::kEighth;
    if (eighths == 8 || eighths == 16) {
      for (int bar = 0; bar < eighths / 8; ++bar) TranceBar(e, block);
    } else if (eighths == 4) {
      TranceHalfBar(e, block, t, last);
    } else {
      // The song's last block always sounds its note (the draw is made all the same).
      if (Chance(2) || last) {
        e.Note(t.root + 24, 38, 20);
      } else {
        e.Rest(20);
      }
      e.Wait(length);
    }
  });
}
