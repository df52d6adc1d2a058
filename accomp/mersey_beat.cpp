#include "accomp/mersey_beat.h"

#include <initializer_list>
#include <utility>

#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

enum class FollowUp { kNone, kLowRoot, kWalk };

// One figure of a block, written at ticks from the block's start.
class Figure {
 public:
  Figure(NoteEmitter& e, const ChordBlock& block) : e_(e), t_(BlockTones::Of(block)) {}

  const BlockTones& t() const { return t_; }

  void Note(int at, Tone x, int length, int velocity = 64) {
    e_.At(at);
    e_.Note(x, velocity, length);
  }
  void Rest(int at, int length) {
    e_.At(at);
    e_.Rest(length);
  }
  // Notes 3 ticks apart, each 3 shorter than the one before.
  void Strum(int at, std::initializer_list<Tone> tones, int length) {
    e_.At(at);
    e_.Strum(tones, 64, length, 3, 3);
  }
  void Down(int at, int length) {
    Strum(at, {t_.root - 12, t_.fifth - 12, t_.third, t_.fifth}, length);
  }
  void Up(int at, int length) {
    Strum(at, {t_.fifth, t_.third, t_.fifth - 12, t_.root - 12}, length);
  }
  void Low(int at, int length) {
    Strum(at, {t_.root - 12, t_.third - 12, t_.fifth - 12, t_.root}, length);
  }
  // Single notes of one length at the ticks.
  void Line(std::initializer_list<std::pair<int, Tone>> notes, int length) {
    for (const auto& n : notes) Note(n.first, n.second, length);
  }

 private:
  NoteEmitter& e_;
  BlockTones t_;
};

void TripletBlock(Figure& f, int L) {
  if (L >= ticks::kBar && L < 480) {
    if (GneRandomRange(1, 2) == 1) {
      for (int k = 0; k < 6; ++k) {
        f.Down(64 * k, 29);
        f.Up(64 * k + 32, 29);
      }
    } else {
      f.Rest(0, 94);
      f.Down(96, 93);
      f.Down(192, 61);
      f.Up(256, 29);
      f.Down(288, 61);
      f.Up(352, 29);
    }
  } else {
    f.Note(0, f.t().root, L - 2);
  }
}

void TwoBars(Figure& f, const ChordBlock& block, int d) {
  const BlockTones& t = f.t();
  const Tone R = t.root - 12, T = t.third - 12, F = t.fifth - 12, S = t.seventh - 12;
  if (GneRandomRange(1, d + 8) == 1) {
    f.Note(0, R, 189);
    f.Strum(192, {R, T}, 189);
    f.Strum(384, {R, T, F}, 189);
    f.Strum(576, {R, T, F, S}, 189);
  } else if (GneRandomRange(1, d + 7) == 1) {
    f.Note(0, R, 142);
    f.Line({{144, t.third - 13}, {192, T}, {240, F}, {288, t.root}}, 46);
    f.Note(336, S, 142);
    f.Note(480, F, 46);
    f.Note(528, t.root + 2, 94);
    f.Line({{624, t.root}, {672, S}, {720, F}}, 46);
  } else if (GneRandomRange(1, d + 6) == 1) {
    f.Rest(0, 94);
    f.Line({{96, t.root}, {192, S}, {288, t.fifth - 10}}, 94);
    f.Note(384, F, 142);
    f.Note(528, t.fifth - 10, 46);
    f.Line({{576, F}, {672, T}}, 94);
  } else if (GneRandomRange(1, d + 2) == 1) {
    f.Rest(0, 190);
    if (IntervalClass(block.root, block.third) == 4) {
      f.Strum(192, {R, T, F, t.root}, 189);
      f.Strum(384, {R, T, F, S}, 141);
      f.Strum(528, {R, T, t.fifth - 10}, 237);
    } else {
      f.Strum(192, {R, T, F, t.third}, 189);
      f.Strum(384, {R, T, F, t.root + 2}, 141);
      f.Strum(528, {R, T, t.root}, 237);
    }
  } else {
    f.Low(0, 765);
  }
}

// `last`: the song's last block, which holds its root where the bar would rest.
FollowUp OneBar(Figure& f, int c, FollowUp state, bool last) {
  const BlockTones& t = f.t();
  const Tone R = t.root - 12, T = t.third - 12, F = t.fifth - 12;
  if (GneRandomRange(1, c + 6) == 1) {
    f.Down(0, 45);
    f.Rest(48, 46);
    f.Line({{96, t.root - 24}, {144, t.root - 24}, {192, R}, {240, R}, {288, F}, {336, F}}, 46);
    return FollowUp::kNone;
  }
  if (GneRandomRange(1, c + 8) == 1) {
    f.Rest(0, 190);
    f.Line({{192, R}, {256, F}, {320, t.seventh - 24}}, 62);
    return FollowUp::kLowRoot;
  }
  if (GneRandomRange(1, c + 5) == 1) {
    f.Rest(0, 190);
    f.Line({{192, R}, {240, t.root - 13}, {288, R}, {336, t.root - 11}}, 46);
    return FollowUp::kLowRoot;
  }
  if (GneRandomRange(1, c + 6) == 1) {
    f.Note(0, R, 94);
    f.Line({{96, F}, {144, T}}, 46);
    f.Line({{192, R}, {256, t.root - 10}, {320, F}}, 62);
    return state;
  }
  if (GneRandomRange(1, c + 3) == 1) {
    f.Note(0, F, 142);
    f.Line({{144, t.fifth - 14}, {240, T}}, 94);
    f.Note(336, R, 46);
    return FollowUp::kLowRoot;
  }
  if (GneRandomRange(1, 2) == 1) {
    f.Rest(0, 94);
    f.Down(96, 45);
    f.Up(144, 45);
    f.Rest(192, 94);
    f.Down(288, 45);
    return state;
  }
  if (GneRandomRange(1, c + 2) == 1) {
    f.Low(0, 45);
    f.Low(96, 141);
    f.Line({{240, T}, {288, F}, {336, t.seventh - 12}}, 46);
    return FollowUp::kWalk;
  }
  if (last) {
    f.Note(0, t.root, 382);
  } else {
    f.Rest(0, 382);
  }
  return state;
}

// `last`: the song's last block, which holds its root where the block would rest.
void OtherQuarters(Figure& f, int L, bool last) {
  const BlockTones& t = f.t();
  const Tone R = t.root - 12, T = t.third - 12, F = t.fifth - 12;
  if (GneRandomRange(1, 6) == 1) {
    f.Note(0, t.root, L - 2);
  } else if (GneRandomRange(1, 5) == 1) {
    const Tone low[4] = {R, T, F, t.root};
    for (int k = 0; k < 4; ++k) f.Note(3 * k, low[k], L - 3 * (k + 1), 64 - GneRandomRange(0, 15));
  } else if (GneRandomRange(1, 5) == 1) {
    for (int q = 0; q < L / ticks::kQuarter; ++q) {
      f.Rest(96 * q, 46);
      const Tone low[4] = {R, T, F, t.root};
      for (int k = 0; k < 4; ++k) {
        f.Note(96 * q + 48 + 2 * k, low[k], 46 - 2 * k, 64 - GneRandomRange(0, 10));
      }
    }
  } else if (GneRandomRange(1, 6) == 1) {
    for (int k = 0; k < 2 * (L / ticks::kQuarter); ++k) {
      const int h = GneRandomRange(0, 20);
      const Tone low[4] = {R, T, F, t.root};
      for (int s = 0; s < 4; ++s) {
        f.Note(48 * k + 2 * s, low[s], 36 - 2 * s - h, 64 - GneRandomRange(0, 15));
      }
    }
  } else if (last) {
    f.Note(0, t.root, L - 2);
  } else {
    f.Rest(0, L - 2);
  }
}

}  // namespace

void GenerateMerseyBeatPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int c = GneRandomRange(0, 10);
  const int d = GneRandomRange(0, 5);
  FollowUp state = FollowUp::kNone;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    Figure f(e, block);
    const int L = block.length;
    const int q = L / ticks::kQuarter;
    if (triplet) {
      TripletBlock(f, L);
    } else if (L % ticks::kQuarter != 0) {
      e.BentFromBelow(f.t().root, 49, L - 2, (L - 2) / 15);
      e.Wait(L);
      return;
    } else if (q == 8) {
      TwoBars(f, block, d);
      state = FollowUp::kNone;
    } else if (state == FollowUp::kLowRoot) {
      f.Note(0, f.t().root - 12, L - 2);
      state = FollowUp::kNone;
    } else if (state == FollowUp::kWalk) {
      if (q == 4) {
        const Tone F = f.t().fifth - 12;
        f.Rest(0, 46);
        f.Line({{48, F}, {96, f.t().fifth - 10}}, 46);
        f.Note(144, f.t().root, 94);
        f.Line({{240, F}, {288, f.t().fifth - 10}, {336, f.t().root}}, 46);
      } else {
        f.Note(0, f.t().root, L - 2);
      }
      state = FollowUp::kNone;
    } else if (q == 4) {
      state = OneBar(f, c, state, i == n - 1);
    } else {
      OtherQuarters(f, L, i == n - 1);
    }
    // The next block follows at this block's end.
    e.At(L);
  });
}
