// Bass lines that move: classic, blues, melodic, walking, fusion, hip-hop,
// trance and drum'n'bass.
#include <algorithm>
#include <cstdlib>

#include "engine/bass_line.h"
#include "engine/bass_generators.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// A walk of a fifth from B toward the next bass: B, then three scale steps in
// `dir`; with `scale_last` false the last one lands on B-5 whatever the scale.
struct FifthWalk {
  int pitches[4];
};
FifthWalk WalkAFifth(const char* weights, int bass, int dir, bool scale_last) {
  FifthWalk w;
  w.pitches[0] = bass;
  w.pitches[1] = ScaleStep(weights, bass, dir);
  w.pitches[2] = ScaleStep(weights, bass + 2 * dir, dir);
  w.pitches[3] = scale_last ? ScaleStep(weights, bass + 4 * dir, dir) : bass + 5 * dir;
  return w;
}

// The walk as four quarters (one chance in three) or as a half note and four
// eighths (shuffled 60/30 with triplets).
void PlayFifthWalk(BassLine& line, const FifthWalk& w) {
  if (GneRandomRange(1, 3) == 1) {
    line.Note(w.pitches[0], 94, 96, 74);
    for (int i = 1; i < 4; ++i) line.Note(w.pitches[i], 94, 96, 69);
    return;
  }
  line.Note(w.pitches[0], 188, 192, 74);
  static const int kStraight[4][2] = {{47, 48}, {47, 48}, {47, 48}, {47, 48}};
  static const int kShuffled[4][2] = {{60, 64}, {30, 32}, {60, 64}, {30, 32}};
  static const int kVelocity[4] = {79, 74, 69, 69};
  const auto& rhythm = IsTripletRhythm() ? kShuffled : kStraight;
  for (int i = 0; i < 4; ++i) line.Note(w.pitches[i], rhythm[i][0], rhythm[i][1], kVelocity[i]);
}

}  // namespace

void GenerateClassicBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const FirstChordWeights w;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    if (b.last()) return;  // the final chord has no bass
    const int L = b.length, q = L / ticks::kQuarter, B = b.B(), nb = b.next->bass;
    if (L % ticks::kQuarter != 0) {
      line.Note(B, L - 6, L);
    } else if (q % 2 == 0 && q >= 2 && GneRandomRange(1, 2) == 1) {
      for (int i = 0; i < q / 2; ++i) line.Note(i % 2 == 0 ? B : b.F() - 24, 188, 192);
    } else if (B - nb == 7 && q == 4) {
      PlayFifthWalk(line, WalkAFifth(w.text, B, -1, false));
    } else if (nb - B == 7 && q == 4) {
      PlayFifthWalk(line, WalkAFifth(w.text, B, +1, true));
    } else {
      for (int i = 0; i < q; ++i) line.Note(i % 2 == 0 ? B : b.F() - 24, 94, 96);
    }
  });
}

namespace {

// The blues quarter pair (p1, p2) of quarter k.
void BluesPair(const BassBlock& b, int k, int* p1, int* p2) {
  const int B = b.B();
  if (GneRandomRange(1, 4) == 1) {
    static const int kDown[4] = {0, -2, -3, -5};
    *p1 = *p2 = B + kDown[k % 4];
    return;
  }
  switch (k % 4) {
    case 0: *p1 = *p2 = B; break;
    case 1: *p1 = b.T() - 24, *p2 = b.F() - 24; break;
    case 2: *p1 = *p2 = b.S() - 24; break;
    default: *p1 = b.F() - 22, *p2 = b.F() - 24;
  }
}

constexpr int kBluesVelocity = 104;

// A quarter of the blues: two eighths, or in triplets a shuffle whose third
// quarter of the bar starts with a grace note a semitone below.
void BluesQuarter(BassLine& line, int k, int p1, int p2) {
  if (!IsTripletRhythm()) {
    line.Note(p1, 47, 48, kBluesVelocity);
  } else if (k % 4 == 2) {
    line.Note(p1 - 1, 5, 8, kBluesVelocity);
    line.Note(p1, 54, 56, kBluesVelocity);
  } else {
    line.Note(p1, 62, 64, kBluesVelocity);
  }
  const int step = IsTripletRhythm() ? ticks::kTripletEighth : ticks::kEighth;
  line.Note(p2, step - 1, step, kBluesVelocity);
}

}  // namespace

void GenerateBluesBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  // The turnaround of the last bar: (interval above B, length, step).
  static const int kTurnaround[2][4][3] = {
      {{5, 47, 48}, {3, 47, 48}, {2, 47, 48}, {0, 94, 96}},
      {{5, 62, 64}, {3, 31, 32}, {2, 62, 64}, {0, 124, 128}}};
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length, B = b.B();
    const bool before_last = b.index == b.count - 2;
    if (!triplet && L % ticks::kQuarter != 0) {
      line.Note(B, L - 6, L);
    } else if (b.last() && L == ticks::kBar) {
      for (const auto& n : kTurnaround[triplet ? 1 : 0])
        line.Note(B + n[0], n[1], n[2], kBluesVelocity);
    } else if (before_last && L == ticks::kBar) {
      static const int kDown[4] = {0, -2, -3, -4};
      for (int k = 0; k < 4; ++k) BluesQuarter(line, k, B + kDown[k], B + kDown[k]);
    } else if (b.last() || before_last) {
      line.Note(B, L - 2, L, kBluesVelocity);
    } else {
      for (int k = 0; k < L / ticks::kQuarter; ++k) {
        int p1, p2;
        BluesPair(b, k, &p1, &p2);
        BluesQuarter(line, k, p1, p2);
      }
    }
  });
}

namespace {

// The note that leads from the current block into the next bass `nb`: the
// nearest chord tone of the block when it lies 1 to 6 semitones from nb, else
// the scale step next to nb on the side the line comes from.
int ApproachNote(const BassBlock& b, const char* weights) {
  if (b.next == nullptr) return b.B();
  const int nb = b.next->bass;
  const int near = b.chord.NearestChordTone(nb);
  const int distance = std::abs(near - nb);
  if (distance >= 1 && distance <= 6) return near;
  const int side = b.B() <= nb ? -1 : +1;
  return IsScalePitch(weights, nb + 2 * side) ? nb + 2 * side : nb + side;
}

}  // namespace

namespace {

// The last block of the melodic bass: a long note, or a run down the scale from the
// fifth to B.
void PlayMelodicEnding(BassLine& line, const BassBlock& b, const StyleRecord& style) {
  const int L = b.length, B = b.B();
  if (PlainEndingFlag() == 1) {
    line.Note(B, L - 5, L, 59);
    return;
  }
  const int len = L <= ticks::kBar ? 47 : 94, step = L <= ticks::kBar ? 48 : 96;
  const bool major = style.key_mode == 1;
  line.Note(B + 7, len, step);
  line.Note(B + 5, len, step);
  line.Note(major ? B + 4 : B + 3, len, step);
  if (major) {
    line.Note(B + 2, len, step);
  } else {
    line.Note(GneRandomRange(1, 3) == 1 ? B : B - 1, len, step, 59);
  }
  line.Note(B, 2 * len, 2 * step);
}

// A block longer than a bar of four starts with B held or struck twice per quarter, for
// as many quarters as bring the line back in step with its bars; the quarters left.
int PlayMelodicLeadIn(BassLine& line, const BassBlock& b, int metre, int beats) {
  const int B = b.B();
  int q = b.length / ticks::kQuarter;
  if (q <= 4) return q;
  int k;
  if (metre == 1) {
    k = beats % 3 != 0 ? q - 3 : 4;
  } else if (metre == 2) {
    k = 4;
  } else {
    k = beats % 4 == 0 ? 4 : q - 4;
  }
  for (int i = 0; i < k; ++i) {
    if (GneRandomRange(1, 3) == 1) {
      line.Note(B, 43, 48);
      line.Note(B, 43, 48);
    } else {
      line.Note(B, 86, 96);
    }
  }
  return q - k;
}

// q quarters as half notes: B on the strong ones, the third or fifth, toward the
// next bass, between.
void PlayMelodicHalfNotes(BassLine& line, const BassBlock& b, int q) {
  const int B = b.B();
  const bool has_next = b.next != nullptr;
  const int nb = has_next ? b.next->bass : 0;
  int velocity = kBassVelocity;
  for (int j = 0; j < q / 2; ++j) {
    int pitch;
    if (j % 2 == 0) {
      if (j % 4 == 0 || GneRandomRange(1, 4) == 1) {
        pitch = B;
        velocity = kBassVelocity;
      } else {
        pitch = has_next && nb >= B ? b.T() - 24 : b.T() - 36;
      }
    } else {
      velocity = GneRandomRange(10, 54);
      if (!has_next) {
        pitch = b.T() - 36;
      } else if (GneRandomRange(1, 2) == 1) {
        pitch = nb < B ? b.F() - 36 : b.F() - 24;
      } else {
        pitch = nb < B ? b.T() - 36 : b.T() - 24;
      }
    }
    line.Note(pitch, 188, 192, velocity);
  }
}

// An even number of quarters: half notes, or for a bar of four one of the figures on B
// (dotted half and approach, swelling quarters or eighths, a quarter and rest).
void PlayMelodicEvenBlock(BassLine& line, const BassBlock& b, int q, const char* weights) {
  const int B = b.B();
  if (q != 4) {
    PlayMelodicHalfNotes(line, b, q);
  } else if (GneRandomRange(1, 3) != 1) {
    line.Note(B, 282, 288);
    line.Note(ApproachNote(b, weights), 94, 96);
  } else if (GneRandomRange(1, 3) != 1) {
    static const int kVelocity[4] = {54, 59, 64, 69};
    for (int v : kVelocity) line.Note(B, 48, 96, v);
  } else if (GneRandomRange(1, 2) == 1 && !IsTripletRhythm()) {
    for (int i = 0; i < 8; ++i) line.Note(B, 24, 48, 44 + 5 * i);
  } else if (GneRandomRange(1, 3) == 1) {
    line.Note(B, 94, 96);
    line.Skip(288);
  } else {
    PlayMelodicHalfNotes(line, b, q);
  }
}

// q quarters: B on the strong ones, else the fifth, the third or a rest.
void PlayMelodicQuarters(BassLine& line, const BassBlock& b, int q) {
  const int B = b.B();
  for (int j = 0; j < q; ++j) {
    if (j % 2 == 1) {
      if (j % 4 == 3 || GneRandomRange(1, 3) == 1) {
        line.Note(B, 94, 96);
      } else {
        line.Note(b.F() - 24, 94, 96, 49);
      }
    } else if (j % 4 == 0 || GneRandomRange(1, 3) == 1) {
      line.Note(B, 94, 96);
    } else if (GneRandomRange(1, 3) == 1) {
      line.Skip(96);
    } else {
      line.Note(b.T() - 24, 94, 96, 54);
    }
  }
}

}  // namespace

void GenerateMelodicBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const FirstChordWeights w;
  const StyleRecord& style = CurrentStyle();
  int beats = 0;  // quarters of the blocks played so far
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length, B = b.B();
    if (L % ticks::kQuarter != 0) {
      line.Note(B, L - 6, L);
      return;
    }
    if (b.last() && b.count > 1) {
      PlayMelodicEnding(line, b, style);
      return;
    }
    const bool has_next = b.next != nullptr;
    const int nb = has_next ? b.next->bass : 0;
    const int q = PlayMelodicLeadIn(line, b, style.metre, beats);
    if (q % 2 == 0 && q >= 2 && GneRandomRange(1, 2) == 1) {
      PlayMelodicEvenBlock(line, b, q, w.text);
    } else if (has_next && q == 4 && std::abs(B - nb) == 7) {
      PlayFifthWalk(line, WalkAFifth(w.text, B, nb > B ? +1 : -1, true));
    } else if (has_next && q == 4 && std::abs(B - nb) == 5) {
      const int dir = nb > B ? +1 : -1;
      line.Note(B, 188, 192, 74);
      line.Note(ScaleStep(w.text, B, dir), 94, 96, 69);
      line.Note(ScaleStep(w.text, B + 2 * dir, dir), 94, 96, 69);
    } else {
      PlayMelodicQuarters(line, b, q);
    }
    beats += L / ticks::kQuarter;
  });
}

void GenerateWalkingBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const FirstChordWeights w;
  const bool triplet = IsTripletRhythm();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length, B = b.B();
    if (L % ticks::kQuarter != 0) {
      line.Note(B, L - 6, L);
      return;
    }
    if (b.last()) {
      if (L == ticks::kBar) {
        line.Note(B - 12, 188, 192);
        line.Note(B, 188, 192);
      } else {
        line.Note(B - 12, L - 4, L);
      }
      return;
    }
    const int nb = b.next->bass;
    const int dir = nb >= B ? +1 : -1;
    const int distance = std::abs(nb - B);
    static const int kThreshold[3] = {9, 7, 5};
    int p = B;
    for (int j = 0; j < L / ticks::kQuarter; ++j) {
      if (j == 0 || j == 4) {
        p = B;
      } else if (j < 8) {
        p += dir * (distance >= kThreshold[(j - 1) % 4] ? 2 : 1);
        if (!IsScalePitch(w.text, p)) p += dir;
      }
      if (!triplet) {
        line.Note(p, 71, 73);
        line.Note(p, 23, 23);
      } else if (GneRandomRange(1, 4) == 1) {
        if (GneRandomRange(1, 3) == 1) {
          line.BentFromBelow(p, kBassVelocity, 62, 62 / GneRandomRange(6, 8), 63);
        } else {
          line.Note(p, 62, 63);
        }
        line.Note(p, 32, 33);
      } else if (GneRandomRange(1, 3) == 1) {
        line.BentFromBelow(p, kBassVelocity, 94, 94 / GneRandomRange(6, 8), 96);
      } else {
        line.Note(p, 94, 96);
      }
    }
  });
}

void GenerateFusionBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  const int step = triplet ? ticks::kTripletEighth : ticks::kEighth;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int B = b.B(), T = b.T(), S = b.S();
    for (int k = 0; k < b.length / step; ++k) {
      int a = B, p = B, va = kBassVelocity, vb = kBassVelocity;
      if (k % 4 != 0 && GneRandomRange(1, 2) != 1) {
        const int draw = GneRandomRange(1, 7);
        // (main, pick-up) of each draw; 0 = silent.
        const int straight[7][2] = {{B + 7, B + 5}, {T - 12, S - 12}, {B - 10, B - 12}, {0, 0},
                                    {B + 5, T - 12}, {0, B},          {B + 12, B}};
        const int shuffled[7][2] = {{B + 7, B + 5}, {B + 5, T - 12}, {T - 12, S - 12},
                                    {B - 10, B - 12}, {B + 5, T - 12}, {0, 0},
                                    {B + 12, B}};
        const auto& row = triplet ? shuffled[draw - 1] : straight[draw - 1];
        a = row[0];
        p = row[1];
        if (a == 0) va = 0;
        if (p == 0) vb = 0;
      }
      if (triplet) {
        if (GneRandomRange(1, 6) == 1) {
          line.Note(p, 15, 16, vb);
          line.Note(a, 15, 16, va);
        } else {
          line.Note(a, 30, 32, va);
        }
        continue;
      }
      if (k == 0 && a > 35) {
        a -= 12;
        p -= 12;
        va = vb = 76;
      } else if (a >= 61) {
        a -= 12;
      } else if (p >= 61) {
        p -= 12;
      }
      if (GneRandomRange(1, 4) == 1) {
        if (p == 0) {
          line.Skip(24);
        } else {
          line.Note(p, 23, 24, vb);
        }
        line.Note(a, 23, 24, va);
      } else {
        line.Note(a, 47, 48, va);
      }
    }
  });
}

void GenerateHipHopBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  const int step = triplet ? ticks::kTripletEighth : ticks::kEighth;
  const int cycle = triplet ? 6 : 4;
  const int length = triplet ? 30 : 47;
  int held = 0;  // no pitch chosen yet: rests
  auto play_held = [&]() {
    if (held > 0) {
      line.Note(held, length, step, GneRandomRange(1, 20) + 54);
    } else {
      line.Note(0, length, step, 0);
    }
  };
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int n = b.length / step;
    if (n % cycle != 0) {
      for (int k = 0; k < n; ++k) play_held();
      return;
    }
    for (int k = 0; k < n; ++k) {
      if (k % cycle == 0) {
        held = b.B();
        const int velocity = held > 0 ? 84 : 0;
        if (triplet) {
          line.BentFromBelow(held, velocity, 60, 20, 64);
        } else {
          line.BentFromBelow(held, velocity, 94, 31, 96);
        }
        continue;
      }
      switch (GneRandomRange(1, 5)) {
        case 1: held = b.B(); break;
        case 2: held = b.T() - 24; break;
        case 3: held = b.F() - 26; break;
        case 4: held = b.F() - 24; break;
        default: held = 0;
      }
      if (k % cycle != 1) play_held();
    }
  });
}

void GenerateTranceBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  const bool seven_eight = CurrentStyle().metre == 2;
  int swell = 64, direction = +1;
  WalkBassBlocks(line, [&](const BassBlock& b) {
    auto pitch = [&](int k) {
      switch (k % 16) {
        case 2:
        case 10:
        case 14: return b.T() - 24;
        case 6:
        case 15: return b.F() - 26;
        default: return b.B();
      }
    };
    if (triplet) {
      for (int k = 0; k < b.length / 32; ++k) line.Note(pitch(k), 22, 32);
      return;
    }
    const bool r6 = GneRandomRange(1, 6) == 1;
    for (int k = 0; k < b.length / ticks::kSixteenth; ++k) {
      const int x = pitch(k);
      if (k % 4 == 0 && !seven_eight) {
        if (b.index >= 8 && b.index <= 15 && !r6) {
          line.Note(x + 12, 14, 24, swell);
        } else {
          line.BentFromAbove(x - 12, 94, 22, 2, 24);
        }
      } else if (r6) {
        line.Note(0, 14, 24, 0);
      } else {
        line.Note(x + 12, 14, 24, swell);
      }
      if (swell > 69) direction = -1;
      if (swell < 49) direction = +1;
      swell += direction;
    }
  });
}

void GenerateDrumAndBassBass(int channel, MidiTrack& track) {
  BassLine line(track, channel);
  const bool triplet = IsTripletRhythm();
  WalkBassBlocks(line, [&](const BassBlock& b) {
    const int L = b.length, B = b.B();
    if (L == 2 * ticks::kBar || L == ticks::kBar) {
      if (triplet) {
        if (L == 2 * ticks::kBar) {
          line.Note(B, 374, 384);
        } else {
          line.Note(B, 182, 192);
        }
        line.Note(B + 12, 182, 192);
        if (L == 2 * ticks::kBar) line.Note(B, 182, 192);
        return;
      }
      line.Note(B, 182, 192);
      line.Note(0, 38, 48, 0);
      for (int i = 0; i < 3; ++i) line.Note(B, 38, 48);
      if (L == 2 * ticks::kBar) {
        line.Note(0, 86, 96, 0);
        line.Note(B + 12, 86, 96);
        line.Note(0, 86, 96, 0);
        line.Note(B, 86, 96);
      }
      return;
    }
    line.BentFromAbove(B, kBassVelocity, L - 10, (L - 10) / 14, L);
  });
}
