// Bass figures built on the chord's bass note: general, pedals, root and fifth,
// repeated, pops, tango, relaxed, rockabilly, bossa nova, latin, kecak, waltz.
#include <algorithm>

#include "engine/bass_line.h"
#include "engine/bass_generators.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// Fills the block with pieces of `piece` ticks, the last one (1 to `piece`
// ticks) shortened by 3 ticks.
void PlayPieces(BassLine& line, int pitch, int length, int piece) {
  int rest = length;
  while (rest > piece) {
    line.Note(pitch, piece, piece);
    rest -= piece;
  }
  if (rest > 0) line.Note(pitch, rest - 3, rest);
}

// One note of the block less `gap` ticks: what the dance figures play on a
// block that is not a whole number of quarters.
void HoldBlock(BassLine& line, const BassBlock& b, int gap) {
  line.Note(b.B(), b.length - gap, b.length);
}

// The ending two octaves apart: B-12 (188), then B (188) a half note later.
void OctaveEnding(BassLine& line, const BassBlock& b) {
  line.Note(b.B() - 12, 188, 192);
  line.Note(b.B(), 188, 192);
}

}  // namespace

void GenerateGeneralBass(int channel, MidiTrack& track, int density) {
  BassLine line(track, channel);
  const bool pops_harmony = CurrentStyle().accompaniment == 4 && !IsTripletRhythm();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    int count, length, step;
    const int q = b.length / ticks::kQuarter;
    if (pops_harmony || b.length % ticks::kQuarter != 0) {
      count = b.length / ticks::kEighth, length = 47, step = 48;
    } else if (q < 2 || q % 2 == 1) {
      count = q, length = 94, step = 96;
    } else {
      count = q / 2, length = 188, step = 192;
    }
    for (int k = 0; k < count; ++k) {
      const bool octave = k % 2 == 0;
      if (density >= 120 && k == count - 1 && GneRandomRange(1, 3) == 1) {
        // A fill of chord tones in quarters of the note.
        const int l4 = length / 4, s4 = step / 4;
        line.Note(b.B(), l4, s4);
        if (octave) line.With(b.B() + 12, l4);
        line.Note(b.T() - 12, l4, s4);
        line.Note(b.F() - 12, l4, s4);
        line.Note(b.S() - 12, l4, s4);
        continue;
      }
      line.Note(b.B(), length, step);
      if (octave) line.With(b.B() + 12, length);
    }
  });
}

void GeneratePedalBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const ChordBlock* first = ComposeInfo().chord_block(0);
  const int pitch = first != nullptr ? first->bass : 0;
  const int piece = IsSixEightFeel() ? 288 : 192;
  WalkBassBlocks(line, [&](const BassBlock& b) { PlayPieces(line, pitch, b.length, piece); });
}

void GenerateRootFifthBass(int channel, MidiTrack& track, int density) {
  BassLine line(track, channel);
  const bool six_eight = IsSixEightFeel();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length;
    auto pitch = [&](int i) { return i % 2 == 0 ? b.B() : b.F() - 24; };
    if (density > 100) {
      const int groups = L / ticks::kHalf, r = L % ticks::kHalf;
      const bool first_half = b.index < b.count / 2;
      for (int g = 0; g < groups; ++g) {
        const int x = pitch(g);
        if (first_half) {
          line.Note(x, 136, 144);
          line.Note(x, 40, 48);
        } else {
          line.Note(x, 40, 48);
          line.Note(x, 88, 96);
          line.Note(x, 40, 48);
        }
      }
      if (r > 0) line.Note(groups > 0 ? pitch(groups - 1) : b.B(), r - 2, r);
      return;
    }
    if (six_eight) {
      if (L % 144 == 0) {
        for (int j = 0; j < L / 144; ++j) {
          if (GneRandomRange(1, 2) == 1) {
            line.Note(pitch(j), 142, 144);
          } else {
            line.Note(pitch(j), 94, 96);
            line.Note(pitch(j), 46, 48);
          }
        }
      } else {
        int i = 0;
        for (int left = L; left > 0; left -= 144, ++i) {
          const int piece = std::min(left, 144);
          line.Note(pitch(i), piece - 2, piece);
        }
      }
      return;
    }
    int count, length, step;
    if (L % ticks::kQuarter != 0) {
      count = L / ticks::kEighth, length = 47, step = 48;
    } else if ((L / ticks::kQuarter) % 2 == 1) {
      count = L / ticks::kQuarter, length = density <= 80 ? 48 : 94, step = 96;
    } else {
      count = L / ticks::kHalf, length = density <= 80 ? 48 : 188, step = 192;
    }
    for (int i = 0; i < count; ++i) line.Note(pitch(i), length, step);
  });
}

void GenerateRepeatedBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const int step = IsTripletRhythm() ? ticks::kTripletEighth : ticks::kSixteenth;
  const int length = IsTripletRhythm() ? 30 : 23;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    for (int k = 0; k < b.length / step; ++k) {
      line.Note(b.B(), length, step);
      if (k % 2 == 0) line.With(b.B() + 12, length);
    }
  });
}

void GeneratePopsBass(int channel, MidiTrack& track, int density) {
  if (IsTripletRhythm()) {
    GeneratePopsBassTriplet(channel, track);
    return;
  }
  if (density < 100) {
    GeneratePopsBassSparse(channel, track);
    return;
  }
  BassLine line(track, channel);
  WalkBassBlocks(line, [&](const BassBlock& b) {
    for (int k = 0; k < b.length / ticks::kEighth; ++k) {
      line.Note(b.B(), 47, 48);
      if (density >= 120 && b.B() != 12) line.With(b.B() - 12, 30, 42);
    }
  });
}

void GeneratePopsBassTriplet(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  auto pickup = [&](const BassBlock& b) {
    line.Note(b.B(), 30, 32);
    line.Note(b.B() + 2, 30, 32);
    line.Note(b.T() - 24, 30, 32);
  };
  WalkBassBlocks(line, [&](const BassBlock& b) {
    switch (b.length) {
      case ticks::kBar:
      case 2 * ticks::kBar:
        for (int bar = 0; bar < b.length / ticks::kBar; ++bar) {
          line.Note(b.B(), 286, 288);
          pickup(b);
        }
        break;
      case ticks::kHalf:
        if (GneRandomRange(1, 2) == 1) {
          line.Note(b.B(), 94, 96);
          pickup(b);
        } else {
          line.Note(b.B(), 158, 160);
          line.Note(b.B(), 30, 32);
        }
        break;
      default:
        HoldBlock(line, b, 2);
    }
  });
}

void GeneratePopsBassSparse(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  WalkBassBlocks(line, [&](const BassBlock& b) {
    if (b.length <= 144) {
      HoldBlock(line, b, 2);
      return;
    }
    const int n = b.length / ticks::kEighth;
    for (int k = 0; k < n; ++k) {
      switch (k % 8) {
        case 3:
        case 5:
        case 6:
          if (b.index > b.count / 2 && GneRandomRange(1, 2) == 1) {
            line.Note(b.B(), 47, 48);
          } else if (b.index <= 2 * b.count / 3 || GneRandomRange(1, 3) == 1) {
            line.Skip(48);
          } else {
            line.Note(b.B(), 47, 48);
          }
          break;
        case 7:
          if (n % 16 == 0 && k % 16 == 7) {
            line.Note(b.B(), 94, 96);  // tied over the bar line
            ++k;
          } else {
            line.Note(b.B(), 47, 48);
          }
          break;
        default:
          line.Note(b.B(), 47, 48);
      }
    }
  });
}

void GenerateTangoBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    if (b.length % ticks::kQuarter != 0) {
      HoldBlock(line, b, 6);
      return;
    }
    for (int k = 0; k < b.length / ticks::kQuarter; ++k) {
      switch (k % 4) {
        case 0: line.Note(b.B(), 30, 96); break;
        case 1: line.Note(b.T() - 24, 30, 96); break;
        case 2: line.Note(b.F() - 24, 30, 96); break;
        default:
          if (triplet) {
            line.Note(b.T() - 24, 20, 64);
            line.Note(b.B(), 10, 32);
          } else {
            line.Note(b.T() - 24, 15, 48);
            line.Note(b.B(), 15, 48);
          }
      }
    }
  });
}

void GenerateRelaxedBass(int channel, MidiTrack& track, int density, const EventList& melody) {
  if (density > 110) {
    GenerateRelaxedBassArpeggio(channel, track, density, melody);
  } else {
    GenerateRelaxedBassPlain(channel, track);
  }
}

void GenerateRelaxedBassPlain(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const int s = IsTripletRhythm() ? ticks::kTripletEighth : ticks::kSixteenth;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length;
    const bool bar_of_three = L >= ticks::Bar(3, 4) && L < ticks::Bar(7, 8);
    if (GneRandomRange(1, 4) == 1 && bar_of_three) {
      line.Note(b.B(), 93, 96);
      line.Note(b.B() + 2, 93, 96);
      line.Note(b.T() - 24, 93, 96);
    } else if (GneRandomRange(1, 4) == 1 && bar_of_three) {
      line.Note(b.B(), 189 - s, 192 - s);
      line.Note(b.B(), s - 3, s);
      line.Note(b.B(), 93, 96);
    } else if (GneRandomRange(1, 2) == 1 && L >= 576 && L < 624) {
      const int h = L / 2 - s;
      line.Note(b.B(), h - 3, h);
      line.Note(b.B(), s - 3, s);
      line.Note(b.B(), h - 3, h);
      line.Note(b.B(), s - 3, s);
    } else {
      // A long note and a short pick-up into the next block.
      line.Note(b.B(), L - s - 3, L - s);
      line.Note(b.B(), s - 3, s);
    }
  });
}

void GenerateRelaxedBassArpeggio(int channel, MidiTrack& track, int density,
                                 const EventList& melody) {
  int& handover = ComposeInfo().render_handover_tick;
  const int saved_handover = handover;
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  const int s = triplet ? ticks::kTripletEighth : ticks::kSixteenth;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int c = melody.CountNotesBetween(b.start, b.start + b.length);
    const int bound = b.length / ticks::kHalf;
    int L = b.length;
    if (density <= 115 && handover >= 1) {
      // The bass waits for the melody's first note.
      line.Skip(handover);
      L -= handover;
      handover = 0;
    }
    auto arpeggio = [&]() {
      line.Note(b.R() - 12, s - 3, s);
      line.Note(b.T() - 12, s - 3, s);
      line.Note(b.F() - 12, s - 3, s);
    };
    if (GneRandomRange(1, 3) == 1 && c <= bound && L >= ticks::kBar && !triplet) {
      arpeggio();
      line.Note(b.R(), 189 - 3 * s, 192 - 3 * s);
      arpeggio();
      line.Note(b.R(), L - 3 * s - 195, L - 3 * s - 192);
    } else if (L > 3 * s && (L > ticks::kHalf || density > 115)) {
      arpeggio();
      line.Note(b.R(), L - 3 * s - 3, L - 3 * s);
    } else {
      line.Note(b.B(), L - 3, L);
    }
  });
  handover = saved_handover;
}

namespace {

// How the two notes of a dance quarter fall: swung eighths (straight eighths
// unless the rhythm is in triplets), a dotted eighth and a sixteenth (a triplet
// quarter and eighth), or always two even eighths.
enum class PairRhythm { kSwung, kDotted, kEven };

void PlayPair(BassLine& line, int x, int y, PairRhythm rhythm) {
  if (rhythm == PairRhythm::kEven || (rhythm == PairRhythm::kSwung && !IsTripletRhythm())) {
    line.Note(x, 38, 48);
    line.Note(y, 38, 48);
  } else if (IsTripletRhythm()) {
    line.Note(x, 54, 64);
    line.Note(y, 22, 32);
  } else {
    line.Note(x, 62, 72);
    line.Note(y, 14, 24);
  }
}

// The dance figures: a block that is no whole number of quarters holds its
// bass, the last block plays `ending`, every other block plays `quarter` on
// each of its quarters (beats from the eighth on play the eighth's figure).
template <typename Ending, typename Quarter>
void WalkDanceBlocks(BassLine& line, Ending ending, Quarter quarter) {
  WalkBassBlocks(line, [&](const BassBlock& b) {
    if (b.length % ticks::kQuarter != 0) {
      HoldBlock(line, b, 6);
    } else if (b.last()) {
      ending(b);
    } else {
      for (int k = 0; k < b.length / ticks::kQuarter; ++k) quarter(b, std::min(k, 7));
    }
  });
}

}  // namespace

void GenerateRockabillyBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  WalkDanceBlocks(
      line, [&](const BassBlock& b) { OctaveEnding(line, b); },
      [&](const BassBlock& b, int beat) {
        // Root, then the seventh, sixth and fifth below it.
        const int walk[4] = {b.R() - 24, b.S() - 36, b.F() - 34, b.F() - 36};
        const int x = walk[beat % 4];
        PlayPair(line, x, x, PairRhythm::kSwung);
      });
}

void GenerateBossaNovaBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  WalkDanceBlocks(
      line,
      [&](const BassBlock& b) {
        if (PlainEndingFlag() == 1) {
          HoldBlock(line, b, 6);
        } else {
          OctaveEnding(line, b);
        }
      },
      [&](const BassBlock& b, int beat) {
        const int x = beat % 2 == 0 ? b.R() - 24 : b.F() - 24;
        PlayPair(line, x, x, PairRhythm::kDotted);
      });
}

void GenerateLatinBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  WalkDanceBlocks(
      line, [&](const BassBlock& b) { line.Note(b.B() - 12, b.length - 4, b.length); },
      [&](const BassBlock& b, int beat) {
        const int root = b.R() - 24, fifth = b.F() - 24;
        if (beat % 4 == 3) {  // the straight pair of beats 4 and 8
          PlayPair(line, fifth, root, PairRhythm::kEven);
        } else if (beat % 2 == 0) {
          PlayPair(line, root, fifth, PairRhythm::kDotted);
        } else {
          PlayPair(line, fifth, root, PairRhythm::kDotted);
        }
      });
}

void GenerateTwoTonePedalBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  int pitch = 45;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int piece = GneRandomRange(1, 2) == 1 ? ticks::kHalf : ticks::kQuarter;
    PlayPieces(line, pitch, b.length, piece);
    pitch = GneRandomRange(0, 1) == 0 ? 45 : 43;
  });
}

void GenerateKecakBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const int step = IsTripletRhythm() ? ticks::kTripletEighth : ticks::kSixteenth;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int n = b.length / step;
    const int base = b.B() % 12 + 36;
    const int r = GneRandomRange(1, 4);
    char weights[kToneWeightTextSize];
    BuildToneWeights(b.chord.chord_code, weights);
    static const int kRun[4] = {7, 5, 4, 2};  // down from the fifth
    for (int k = 0; k < n; ++k) {
      int pitch = 0;
      if (r == 1 && k < 4) {
        pitch = base + kRun[k];
        while (pitch > 0 && !IsScalePitch(weights, pitch)) --pitch;
      } else if (r == 2) {
        pitch = k == 0 ? base : 0;
      } else if (k % 4 == 0) {
        pitch = base;
      }
      line.Note(pitch, 20, step, pitch > 0 ? 127 : 0);
    }
  });
}

void GenerateWaltzBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool six_eight = IsSixEightFeel();
  const bool triplet = IsTripletRhythm();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length;
    if (six_eight) {
      if (L % 144 != 0) {
        HoldBlock(line, b, 2);
        return;
      }
      for (int j = 0; j < L / 144; ++j) {
        if (b.index > b.count / 2 && GneRandomRange(1, 3) == 1) {
          line.Note(b.B(), 94, 96);
          line.Note(b.B(), 46, 48);
        } else {
          line.Note(b.B(), 142, 144);
        }
      }
      return;
    }
    const int n = L / ticks::kEighth;
    if (triplet || b.index % 2 == 0 || GneRandomRange(1, 4) != 1) {
      line.Note(b.B(), 47, 48 * n);
      return;
    }
    for (int k = 0; k < n; ++k) {
      if (k == 3 || k > 4) {
        line.Skip(48);
      } else {
        line.Note(b.B(), 47, 48, 80);
      }
    }
  });
}
