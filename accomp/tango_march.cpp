#include "accomp/tango_march.h"

#include "accomp/march_cells.h"
#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "accomp/voicing.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

// Whether chord block i is the last of its section: the timeline has an
// entry after it with another section letter.
bool BeforeSectionChange(int i) {
  const ComposeEvent* next = ComposeInfo().chord_timeline.event(i + 1);
  return next != nullptr && next->tag[0] != SectionLetter(i);
}

}  // namespace

void GenerateTangoPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = !triplet && CurrentStyle().metre == 2 ? 48 : 96;
  const int held = step == 48 ? 36 : 84;
  // The velocity of the last regular chord, which the section figure keeps.
  int kept = 64;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    const bool change = BeforeSectionChange(i);
    if (!triplet) {
      if (change && L % ticks::kQuarter == 0) {
        for (int j = 0; j < L / step; ++j) {
          if (j % 4 == 1) {
            e.Chord({t.third, t.fifth, t.root}, kept, held);
          } else if (j % 4 == 2) {
            e.Chord({t.third, t.fifth, t.root + 12}, kept, 20);
          } else {
            e.Rest(12);
          }
          e.Wait(step);
        }
        return;
      }
      for (int j = 0; j < L / step; ++j) {
        if (j == 3) {
          e.Chord({t.third, t.fifth, t.root}, 34, 12);
          e.Wait(held / 2 + 6);
          e.Chord({t.third, t.fifth}, 64, 12);
          e.BentFromBelow(t.root, 64, 12, 4);
          e.Wait(held / 2 + 6);
          kept = 64;
        } else {
          kept = j == 0 ? 64 : 44;
          e.Chord({t.third, t.fifth, t.root}, kept, 12);
          e.Wait(step);
        }
      }
      return;
    }
    for (int q = 0; q < L / ticks::kQuarter; ++q) {
      if (change) {
        if (q % 4 == 1 || q % 4 == 2) {
          const bool held_chord = q % 4 == 1;
          e.Strum({t.third, t.fifth, held_chord ? t.root : t.root + 12}, kept,
                  held_chord ? 84 : 20, 2, 2);
          e.Wait(92);
        } else {
          e.Rest(12);
          e.Wait(96);
        }
      } else if (q == 3) {
        e.Strum({t.third, t.fifth, t.root}, 34, 8, 2, 2);
        e.Wait(60);
        e.Strum({t.third, t.fifth}, 64, 4, 2, 2);
        e.Wait(2);
        e.BentFromBelow(t.root, 64, 1, 0);
        e.Wait(28);
        kept = 64;
      } else {
        kept = q == 0 ? 64 : 44;
        e.Chord({t.third, t.fifth, t.root}, kept, 12);
        e.Wait(96);
      }
    }
  });
}

void EnkaPhrase(const ChordBlock& block, int step, NoteEmitter& e) {
  const BlockTones t = BlockTones::Of(block);
  const int o = 12 * GneRandomRange(1, 2);
  char weights[kToneWeightTextSize];
  BuildToneWeights(block.chord_code, weights);
  // Lowered by o; at or below 0 a rest; off the scale the seventh instead.
  const auto placed = [&](Tone x) {
    x -= o;
    if (x.pitch() <= 0) return Tone();
    if (!x.missing() && ToneDigit(weights, PitchClassOf(x.pitch())) < ScaleToneLevel) {
      return t.seventh - o;
    }
    return x;
  };
  for (int k = 0; k < block.length / step; ++k) {
    switch (k % 12) {
      case 1:
      case 5: e.Note(placed(t.root + 12), 64, step - 2); break;
      case 2:
      case 4: e.Note(placed(t.root + 14), 64, step - 2); break;
      case 3: e.Note(placed(t.third + 12), 64, step - 2); break;
      case 6: e.Note(placed(t.fifth), 64, step - 2); break;
      case 7: e.Chord({placed(t.root), placed(t.fifth)}, 49, 2 * (step - 2)); break;
      default: e.Rest(step - 2);
    }
    e.Wait(step);
  }
}

void GenerateEnkaPattern(int channel, MidiTrack& track, int density) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int s = triplet ? 32 : 48;
  const int octave =
      channel >= 0 && channel < kStyleOctaveCount ? CurrentStyle().octave[channel] : 0;
  const int ceiling = 72 + 12 * octave;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    if (density < 120) {
      if (Chance(4) || L % ticks::kQuarter != 0) return EnkaPhrase(block, s, e);
      for (int q = 0; q < L / ticks::kQuarter; ++q) {
        const bool shortened = GneRandomRange(1, 2) == 1;
        e.Strum({t.third, t.fifth, t.root}, 44, shortened ? 16 : 94, 2, 2);
        e.Wait(92);
      }
      return;
    }
    if ((Chance(6) && i >= 5) || L % ticks::kQuarter != 0) return EnkaPhrase(block, s, e);
    int32_t tones[4] = {block.root, block.third, block.fifth, block.seventh};
    SortFoldChordTones(tones, ceiling, 4);
    const Tone p1(tones[0]), p2(tones[1]), p3(tones[2]);
    const int sub_beat = triplet ? 32 : 48;
    for (int q = 0; q < L / ticks::kQuarter; ++q) {
      if (i <= n / 2) {
        if (GneRandomRange(1, 2) == 2) {
          e.Strum({p2, p3, p1}, 44, 94, 2, 2);
        } else {
          e.Strum({p3, p2, p1}, 44, 16, 2, 2);
        }
        e.Wait(92);
        continue;
      }
      for (int k = 0; k < (triplet ? 3 : 2); ++k) {
        const bool accent = k == 0 && q % 4 == 1;
        const int length = sub_beat / 2;
        e.Note(accent ? p1 + 12 : p1, accent ? 69 : 34, length);
        e.Wait(2);
        e.Note(p2, accent ? 69 : 34, length);
        e.Wait(2);
        e.Note(p3, accent ? 69 : 24, length);
        e.Wait(sub_beat - 4);
      }
    }
  });
}

namespace {

// "M" as the chord code's third letter: a major third.
bool MajorThird(const ChordBlock& block) { return block.chord_code[1] == 'M'; }

// Tango (2)'s run: eight notes from the octave down, on sixteenths or eighths.
void TangoRun(NoteEmitter& e, const ChordBlock& block, bool flag) {
  const BlockTones t = BlockTones::Of(block);
  const bool sixteenths = GneRandomRange(1, 2) == 1;
  const int step = sixteenths ? 24 : 48;
  const Tone passing = flag ? t.fifth : (MajorThird(block) ? t.fifth + 2 : t.fifth + 1);
  const Tone run[7] = {t.root + 12, t.root + 12, t.seventh, passing,
                       t.fifth,     flag ? t.fifth : t.fifth - 2, t.third};
  for (const Tone& x : run) {
    e.Note(x, 44, step - 1);
    e.Wait(step);
  }
  e.Wait(step);  // the eighth note is a rest
  if (sixteenths) {
    e.Rest(190);
    e.Wait(192);
  }
}

}  // namespace

void GenerateTango2Pattern(int channel, MidiTrack& track, const EventList& melody) {
  if (TripletGrid()) return GenerateTango2Triplet(channel, track);
  NoteEmitter e(track, channel);
  char previous = 'V';
  int start = 0;  // the block's first tick
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    const int c = melody.CountNotesBetween(start, start + L);
    start += L;
    const char letter = SectionLetter(i);
    bool run = false;
    bool flag = true;
    if (letter != 0 && letter != previous) {
      previous = letter;
      run = true;
      flag = c != 0;
    } else {
      run = i > n / 2 && Chance(4);
    }
    if (run && L == ticks::kBar) return TangoRun(e, block, flag);
    if (L % ticks::kQuarter != 0) {
      e.Note(t.root, 64, 20);
      e.Wait(L);
    } else if (c > 1) {
      if (GneRandomRange(1, 2) == 1) {
        e.Note(t.root, 64, 20);
        e.Wait(L);
      } else {
        e.Note(t.root, 44, 20);
        e.Wait(L / 2);
        e.Note(t.fifth, 54, 20);
        e.Wait(L / 2);
      }
    } else {
      const Tone tones[4] = {t.root, t.third, t.fifth, t.seventh};
      for (int q = 0; q < L / ticks::kQuarter; ++q) {
        e.Note(tones[GneRandomRange(1, 4) - 1], 54, 20);
        e.Wait(96);
      }
    }
  });
}

void GenerateTango2Triplet(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  char previous = 'V';
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const char letter = SectionLetter(i);
    if (letter != previous) {
      previous = letter;
      if (block.length == ticks::kBar) {
        const Tone passing = MajorThird(block) ? t.fifth + 2 : t.fifth + 1;
        const Tone run[6] = {t.root + 12, t.root + 12, t.seventh, passing, t.fifth, t.fifth - 2};
        for (int k = 0; k < 12; ++k) {
          e.Note(run[k % 6], 44, 30);
          e.Wait(32);
        }
        return;
      }
    }
    e.Note(t.root, 64, 20);
    e.Wait(block.length);
  });
}

void GenerateMiddleEasternPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const BlockTones t = BlockTones::Of(block);
    const int L = block.length;
    const bool run = (i == 0 && Chance(3)) || (L >= ticks::kBar && Chance(5));
    // The run needs 38 ticks before its held notes; shorter blocks keep the
    // bent root.
    if (run && L >= ticks::kEighth) {
      for (int offset : {12, 11, 8, 7, 3}) {
        e.Note(t.root + offset, 64, 4);
        e.Wait(6);
      }
      e.Note(t.root + 2, 59, (L - 38) / 2);
      e.Wait(6);
      e.Note(t.root, 54, L - 38);
      e.Wait(L - 36);
      return;
    }
    e.BentFromBelow(t.root, 49, L - 2, (L - 2) / 15);
    e.Wait(L);
  });
}

void GenerateMarchPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  int32_t rhythm[kMarchCellCount] = {};
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    if (triplet) {
      for (int k = 0; k < block.length / 32; ++k) {
        if (k % 6 != 0 && k % 6 != 5) e.Chord({t.root, t.root + 12}, 64, 32);
        e.Wait(32);
      }
      return;
    }
    if (i % 8 == 0) MakeMarchRhythm(rhythm, i < 8 ? 60 : (i < 16 ? 40 : 20));
    const int velocity = i < n / 6 ? 42 : (i < n / 2 ? 48 : 64);
    const bool doubled = !(i < n / 6 && GneRandomRange(1, 2) == 1);
    const Tone degrees[8] = {t.root,      t.root + 2,  t.third,   t.root + 5,
                             t.fifth,     t.fifth + 2, t.seventh, t.root + 12};
    for (int k = 0; k < block.length / ticks::kSixteenth; ++k) {
      int c = rhythm[k % kMarchCellCount];
      // The song's last block opens on its root where the rhythm holds or rests.
      if (i == n - 1 && k == 0 && (c < 1 || c > 8)) c = 1;
      if (c >= 1 && c <= 8) {
        e.Note(degrees[c - 1], velocity, 24);
        if (doubled) {
          e.Note(degrees[c - 1] + 12, velocity, 24);
        } else {
          e.Rest(24);
        }
      } else if (c > 8) {
        e.Rest(24);
      }
      e.Wait(24);
    }
  });
}
