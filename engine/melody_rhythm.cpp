// Note lengths of the melody: the general rule and the rhythm types with
// patterns of their own. Ticks, 96 to a quarter note.
#include <algorithm>

#include "engine/engine_store.h"
#include "engine/melody.h"
#include "music/ticks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kTripletBeat = 3;
using ticks::kBar;
using ticks::kEighth;
using ticks::kHalf;
using ticks::kQuarter;
using ticks::kSixteenth;
using ticks::kTripletEighth;

bool Triplet() { return CurrentStyle().basic_beat == kTripletBeat; }

// Cuts a length at the end of the bar, then at the end of the block.
int LimitLength(int length, int position, int bar_length, int block_length) {
  if (position + length > bar_length) length = bar_length - position;
  if (position + length > block_length) length = block_length - position;
  return length;
}

// A cursor writing pattern entries; writes past the array are dropped.
struct PatternWriter {
  int32_t* pattern;
  int n = 0;
  void Put(int v) {
    if (n < kRhythmPatternSize) pattern[n] = v;
    ++n;
  }
  void Put(std::initializer_list<int> values) {
    for (int v : values) Put(v);
  }
  void FillRest(int v) {
    while (n < kRhythmPatternSize) Put(v);
  }
};

void FillAll(int32_t* pattern, int v) { std::fill(pattern, pattern + kRhythmPatternSize, v); }

// Beat figures: quarters, two-beat figures (early in the bar) and pairs.
void BeatFigures(int32_t* pattern, bool triplet) {
  PatternWriter w{pattern};
  int t = 0;
  while (w.n < 32) {
    if (GneRandomRange(1, 2) == 1) {
      w.Put(kQuarter);
      t += kQuarter;
    } else if (GneRandomRange(1, 2) == 1 && t <= kHalf) {
      if (triplet) {
        w.Put({64, 64, 64});
      } else {
        w.Put({48, 96, 48});
      }
      t += kHalf;
    } else {
      if (triplet) {
        w.Put({64, 32});
      } else {
        w.Put({48, 48});
      }
      t += kQuarter;
    }
  }
}

// A quarter, then eighths and pairs of sixteenths.
void SixteenthSteps(int32_t* pattern) {
  PatternWriter w{pattern};
  w.Put(kQuarter);
  while (w.n < 32) {
    if (GneRandomRange(1, 4) == 1) {
      w.Put({24, 24});
    } else {
      w.Put(kEighth);
    }
  }
}

struct WeightedFigure {
  int weight;  // out of the table's total
  std::initializer_list<int> lengths;
};

// Draws one of the figures by weight (total = sum of weights); a figure
// with no lengths stands for the sixteenth steps.
template <size_t N>
void DrawFigure(int32_t* pattern, const WeightedFigure (&figures)[N]) {
  int total = 0;
  for (const WeightedFigure& f : figures) total += f.weight;
  int r = GneRandomRange(1, total);
  for (const WeightedFigure& f : figures) {
    if (r <= f.weight) {
      if (f.lengths.size() == 0) {
        SixteenthSteps(pattern);
      } else {
        PatternWriter w{pattern};
        w.Put(f.lengths);
      }
      return;
    }
    r -= f.weight;
  }
}

void Fill384(int32_t* pattern) {
  if (CurrentStyle().basic_beat == 2 && GneRandomRange(1, 2) == 1) {
    PatternWriter w{pattern};
    if (GneRandomRange(1, 2) == 1) {
      w.Put({64, 64, 64, 64, 64, 64});
    } else {
      w.Put({64, 64, 64, 96, 96});
    }
    return;
  }
  // Shares out of 1728.
  const int r = GneRandomRange(1, 1728);
  PatternWriter w{pattern};
  if (r <= 576) {
    FillAll(pattern, kQuarter);
    const int beat = GneRandomRange(1, 5);
    if (beat <= 4) {
      w.n = 0;
      for (int b = 1; b <= 4; ++b) {
        if (b == beat) {
          w.Put({48, 48});
        } else {
          w.Put(kQuarter);
        }
      }
    }
  } else if (r <= 1152) {
    BeatFigures(pattern, false);
  } else if (r <= 1184) {
    w.Put({48, 48, 48, 240});
  } else if (r <= 1248) {
    w.Put({24, 360});
  } else if (r <= 1368) {
    w.Put({24, 168, 24, 168});
  } else if (r <= 1428) {
    w.Put({48, 48, 48, 48, 96, 96});
  } else if (r <= 1488) {
    w.Put({96, 96, 96, 96});
  } else if (r <= 1548) {
    for (int i = 0; i < 8; ++i) w.Put(kEighth);
  } else if (r <= 1566) {
    for (int i = 0; i < 8; ++i) w.Put(kSixteenth);
    for (int i = 0; i < 4; ++i) w.Put(kEighth);
  } else if (r <= 1575) {
    for (int i = 0; i < 8; ++i) w.Put(kEighth);
  } else if (r <= 1584) {
    for (int i = 0; i < 16; ++i) w.Put(kSixteenth);
  } else {
    w.Put({192, 192});
  }
}

void Fill384Triplet(int32_t* pattern) {
  const int r = GneRandomRange(1, 72);
  PatternWriter w{pattern};
  if (r <= 24) {
    FillAll(pattern, kQuarter);
    const int beat = GneRandomRange(1, 5);
    if (beat <= 4) {
      for (int b = 1; b <= 4; ++b) {
        if (b == beat) {
          w.Put({64, 32});
        } else {
          w.Put(kQuarter);
        }
      }
    }
  } else if (r <= 48) {
    BeatFigures(pattern, true);
  } else if (r <= 52) {
    w.Put({32, 352});
  } else if (r <= 57) {
    w.Put({32, 160, 32, 160});
  } else {
    w.Put({192, 192});
  }
}

void Fill768(int32_t* pattern) {
  const int r = GneRandomRange(1, 64);
  PatternWriter w{pattern};
  if (r <= 16) {
    FillAll(pattern, kQuarter);
  } else if (r <= 40) {
    BeatFigures(pattern, false);
  } else if (r <= 44) {
    FillAll(pattern, kEighth);
    w.Put({96, 96, 96, 96});
  } else if (r <= 48) {
    FillAll(pattern, kQuarter);
    for (int i = 0; i < 8; ++i) w.Put(kEighth);
  } else if (r <= 52) {
    FillAll(pattern, kEighth);
  } else if (r <= 53) {
    FillAll(pattern, kEighth);
    for (int i = 0; i < 8; ++i) w.Put(kSixteenth);
  } else if (r <= 54) {
    FillAll(pattern, kSixteenth);
    for (int i = 0; i < 8; ++i) w.Put(kEighth);
  } else if (r <= 55) {
    FillAll(pattern, kSixteenth);
  } else {
    FillAll(pattern, kHalf);
  }
}

// Figures of the blocks that are drawn from one weighted table.
const WeightedFigure kFigures240[] = {
    {4, {144, 48, 48}}, {2, {96, 48, 96}}, {1, {24, 120, 96}}, {1, {144, 96}}};
const WeightedFigure kFigures336[] = {
    {128, {}},              {16, {144, 96, 96}},     {16, {192, 96, 48}},
    {4, {144, 48, 48, 96}}, {4, {192, 48, 48, 48}}, {3, {144, 48, 96, 48}},
    {3, {192, 48, 96}},     {18, {144, 96, 48, 48}}, {32, {336}},
    {32, {144, 192}}};
const WeightedFigure kFigures432[] = {
    {128, {}},
    {4, {144, 96, 192}},
    {4, {96, 96, 240}},
    {6, {144, 48, 192, 48}},
    {6, {96, 48, 192, 96}},
    {6, {144, 48, 48, 192}},
    {6, {96, 48, 48, 240}},
    {12, {144, 192, 96}},
    {12, {96, 192, 144}},
    {9, {144, 192, 48, 48}},
    {9, {96, 192, 48, 96}},
    {27, {240, 192}},
    {27, {192, 240}}};
const WeightedFigure kFigures720[] = {
    {4, {144, 192, 192, 192}},    {4, {192, 192, 192, 144}},    {3, {144, 96, 96, 192, 192}},
    {3, {192, 96, 96, 192, 144}}, {3, {144, 96, 192, 96, 192}}, {3, {192, 96, 192, 96, 144}},
    {6, {336, 192, 192}},         {6, {384, 192, 144}}};

// Triplet bars: a 384-tick bar of its own figures, or a 768-tick block of quarters, beat
// figures or halves.
bool FillTripletBar(int block_length, int32_t* pattern) {
  if (block_length == kBar) {
    Fill384Triplet(pattern);
    return true;
  }
  if (block_length != 2 * kBar) return false;
  const int r = GneRandomRange(1, 8);
  if (r <= 2) {
    FillAll(pattern, kQuarter);
  } else if (r <= 5) {
    BeatFigures(pattern, true);
  } else {
    FillAll(pattern, kHalf);
  }
  return true;
}

// Half a 4/4 bar: quarters with now and then a sixteenth and dotted eighth, else even notes.
void Fill192(int32_t* pattern) {
  const int r = GneRandomRange(1, 30);
  if (r > 15) {
    FillAll(pattern, r <= 20 ? kEighth : (r <= 22 ? kSixteenth : kHalf));
    return;
  }
  PatternWriter w{pattern};
  while (w.n < 32) {
    if (GneRandomRange(1, 3) == 1) {
      w.Put({24, 72});
    } else {
      w.Put(kQuarter);
    }
  }
}

// Seven and a half beats: eighths after a quarter, or a figure of the table.
void Fill720(int32_t* pattern) {
  if (GneRandomRange(1, 2) == 1) {
    FillAll(pattern, kEighth);
    pattern[0] = kQuarter;
    return;
  }
  DrawFigure(pattern, kFigures720);
}

}  // namespace

MelodyState& Melody() { return TheEngineStore().melody; }
void ResetMelodyState() { TheEngineStore().melody = MelodyState{}; }

const PartRecord& MelodyPart(int channel) { return MutableMelodyPart(channel); }

PartRecord& MutableMelodyPart(int channel) {
  if (channel < 0 || channel >= kStyleChannelCount) channel = kMelodyChannel;
  return CurrentStyle().parts[channel];
}

int DensityFactorOf(int channel) {
  if (channel < 0 || channel >= kStyleOctaveCount) return 100;
  return CurrentStyle().density[channel];
}

int RestLevelOf(int channel) { return DensityToLevel(DensityFactorOf(channel)); }

int BarLengthOfMetre() {
  switch (CurrentStyle().metre) {
    case 0:
      return kBar;
    case 2:
      return ticks::Bar(7, 8);
    default:
      return ticks::Bar(3, 4);
  }
}

bool FillBarRhythm(int block_length, bool triplet, int32_t* pattern) {
  if (triplet) return FillTripletBar(block_length, pattern);
  switch (block_length) {
    case kEighth:
      PatternWriter{pattern}.Put(kEighth);
      return true;
    case kQuarter: {
      const int r = GneRandomRange(1, 8);
      FillAll(pattern, r <= 4 ? kQuarter : (r <= 7 ? kEighth : kSixteenth));
      return true;
    }
    case 144:
      if (GneRandomRange(1, 2) == 1) {
        PatternWriter{pattern}.Put({96, 48});
      } else {
        PatternWriter{pattern}.Put(144);
      }
      return true;
    case kHalf:
      Fill192(pattern);
      return true;
    case 240:
      DrawFigure(pattern, kFigures240);
      return true;
    case 288:
    case 576:
    case 672: {
      const int r = GneRandomRange(1, 4);
      FillAll(pattern, r <= 2 ? kQuarter : (r == 3 ? kEighth : kSixteenth));
      return true;
    }
    case 336:
      DrawFigure(pattern, kFigures336);
      return true;
    case kBar:
      Fill384(pattern);
      return true;
    case 432:
      DrawFigure(pattern, kFigures432);
      return true;
    case 720:
      Fill720(pattern);
      return true;
    case 2 * kBar:
      Fill768(pattern);
      return true;
    default:
      return false;
  }
}

int LongRhythmLength(int p, int bar_length, int block_length) {
  const bool tr = Triplet();
  const int d = GneRandomRange(1, 9);
  // {straight, triplet}
  auto pick = [tr](int straight, int triplet) { return tr ? triplet : straight; };
  int length;
  if (p == 0) {
    length = d == 1 ? pick(144, 160) : pick(48, 64);
  } else if (p == 48 || p == 64) {
    length = (d >= 2 && d <= 6) ? kQuarter : pick(kEighth, kTripletEighth);
  } else if (p == kQuarter) {
    length = pick(48, 64);
  } else if (p == 144 || p == 160) {
    length = (d >= 6 && d <= 8) ? kQuarter : pick(kEighth, kTripletEighth);
  } else if (p == kHalf) {
    if (d <= 4) {
      length = kQuarter;
    } else if (d == 5 || d == 9) {
      length = pick(48, 64);
    } else {
      length = pick(kEighth, kTripletEighth);
    }
  } else if (p == 240 || p == 256) {
    length = d == 9 ? kQuarter : pick(kEighth, kTripletEighth);
  } else if (p == 288) {
    if (d == 4 || d == 8) {
      length = pick(48, 64);
    } else if (d == 9) {
      length = pick(kEighth, kTripletEighth);
    } else {
      length = kQuarter;
    }
  } else if (p == 336 || p == 352) {
    length = (d == 4 || d == 8 || d == 9) ? pick(kQuarter, kTripletEighth)
                                          : pick(kEighth, kTripletEighth);
  } else {
    length = pick(kEighth, kTripletEighth);
  }
  return LimitLength(length, p, bar_length, block_length);
}

int ShortVaryingRhythmLength(int p, int bar_length, int block_length) {
  MelodyState& m = Melody();
  if (p == 0) {
    if (block_length >= kBar) {
      m.figure = GneRandomRange(0, 5);
      if (m.figure == 5) m.figure = 0;
    } else {
      m.figure = GneRandomRange(0, 2);
    }
  }
  const bool tr = Triplet();
  auto short_draw = [tr] {
    const int r = GneRandomRange(1, 3);
    return (!tr && r == 3) ? 1 : r;
  };
  auto long_draw = [tr] {
    if (tr) return GneRandomRange(3, 12);
    const int r = GneRandomRange(2, 9);
    return r == 9 ? 3 : r;
  };
  auto mid_draw = [tr] { return tr ? GneRandomRange(3, 8) : GneRandomRange(2, 5); };
  const bool middle = p >= 96 && p <= 288;
  int units;
  switch (m.figure) {
    case 1:
      units = p < kHalf ? short_draw() : long_draw();
      break;
    case 2:
      units = p < kHalf ? long_draw() : short_draw();
      break;
    case 3:
      units = middle ? mid_draw() : short_draw();
      break;
    case 4:
      units = middle ? short_draw() : mid_draw();
      break;
    default:
      if (tr) {
        units = GneRandomRange(1, 5);
        if (units >= 4) units = 1;
      } else {
        units = short_draw();
      }
      break;
  }
  int length;
  if (tr) {
    if (m.figure != 0 && units > 3 && GneRandomRange(1, 3) == 1) units = 3;
    length = kTripletEighth * units;
  } else {
    length = kEighth * units;
  }
  return LimitLength(length, p, bar_length, block_length);
}

int MixedRhythmLength(int p, int block_length, int c) {
  MelodyState& m = Melody();
  if (p == 0) {
    m.mixed_index = 0;
    if (Triplet()) {
      FillAll(m.mixed_pattern.data(), kQuarter);
      if (block_length == kBar || block_length == 2 * kBar) {
        FillBarRhythm(block_length, true, m.mixed_pattern.data());
      } else if (block_length == 672) {
        ShowErrorByCode(melody_error::kSevenEightRhythm);
      }
    } else {
      bool redraw = block_length != m.mixed_block;
      if (!redraw) redraw = GneRandomRange(1, 2) == 1 && c >= 4;
      if (redraw) {
        static const int kBlocks[] = {96, 192, 288, 384, 576, 672, 768};
        const bool known = std::find(std::begin(kBlocks), std::end(kBlocks), block_length) !=
                           std::end(kBlocks);
        if (!known || !FillBarRhythm(block_length, false, m.mixed_pattern.data()))
          FillAll(m.mixed_pattern.data(), kQuarter);
      }
    }
    m.mixed_block = block_length;
  }
  const int length = m.mixed_pattern[static_cast<size_t>(m.mixed_index % kRhythmPatternSize)];
  m.mixed_index = (m.mixed_index + 1) % kRhythmPatternSize;
  return length;
}

int BouncingRhythmLength(int p, int block_length) {
  MelodyState& m = Melody();
  if (p == 0) {
    m.bouncing_index = 0;
    if (Triplet()) FillAll(m.bouncing_pattern.data(), kQuarter);
    static const int kBlocks[] = {48, 96, 144, 192, 240, 288, 336, 384, 432, 576, 672, 720};
    const bool known =
        std::find(std::begin(kBlocks), std::end(kBlocks), block_length) != std::end(kBlocks);
    if (!known || !FillBarRhythm(block_length, false, m.bouncing_pattern.data()))
      FillAll(m.bouncing_pattern.data(), kQuarter);
  }
  const int length = m.bouncing_pattern[static_cast<size_t>(m.bouncing_index % kRhythmPatternSize)];
  m.bouncing_index = (m.bouncing_index + 1) % kRhythmPatternSize;
  return length;
}

int DottedRhythmLength(int p, int bar_length, int block_length) {
  const bool tr = Triplet();
  int length;
  if (p % kQuarter == 0) {
    length = GneRandomRange(1, 4) == 1 ? kQuarter : (tr ? 64 : 72);
  } else {
    length = tr ? kTripletEighth : kSixteenth;
  }
  return LimitLength(length, p, bar_length, block_length);
}

int ChooseNoteLength(int channel, int p, int bar_length, int block_length, int c) {
  const PartRecord& part = MelodyPart(channel);
  const int type = part.note_length;
  switch (type) {
    case kRhythmLong:
      return LongRhythmLength(p, bar_length, block_length);
    case kRhythmShortVarying:
      return ShortVaryingRhythmLength(p, bar_length, block_length);
    case kRhythmMixed:
      return MixedRhythmLength(p, block_length, c);
    case kRhythmBouncing:
      return BouncingRhythmLength(p, block_length);
    case kRhythmDotted:
      return DottedRhythmLength(p, bar_length, block_length);
    default:
      break;
  }
  MelodyState& m = Melody();
  const int basic_beat = CurrentStyle().basic_beat;
  const bool sync = part.syncopation == 1;
  int n = 0;
  if (m.triplet_counter != 0) {
    ++m.triplet_counter;
  } else if (type == 5) {
    n = 2 * GneRandomRange(1, 2);
  } else if (p % kQuarter == 0) {
    if (type == 4) {
      n = GneRandomRange(1, 2);
      if (n == 2) n = GneRandomRange(1, 2);
    } else {
      n = GneRandomRange(type, 10);
    }
    if (n == 9) {
      n = 2;
    } else if (n >= 10) {
      if (basic_beat == 1) {
        m.triplet_counter = 1;
      } else {
        n = 2;
      }
    }
    if (sync && GneRandomRange(1, 3) != 1) n = 1;
  } else if (p % kEighth == 0) {
    if (type == 4) {
      n = GneRandomRange(1, 2);
    } else if (sync && GneRandomRange(1, 2) == 1) {
      n = 4;
    } else {
      n = GneRandomRange(type, 4);
    }
  } else {
    if (sync && GneRandomRange(1, 2) == 1) {
      n = 2;
    } else {
      n = GneRandomRange(type, 2);
    }
  }

  int length;
  if (m.triplet_counter != 0) {
    length = 64;
    if (m.triplet_counter >= 3) m.triplet_counter = 0;
  } else {
    if (n == 3 || n == 5 || n == 6 || n == 7) n = c == 0 ? 4 : c;
    length = kSixteenth * n;
  }

  if (basic_beat == kTripletBeat) {
    if (type == 5) {
      length = GneRandomRange(1, 3) == 1 ? kQuarter : kTripletEighth * GneRandomRange(1, 3);
    } else if (m.short_triplet != 0) {
      length = 16;
      m.short_triplet = 0;
    } else if (GneRandomRange(1, 8) == 1) {
      if (GneRandomRange(1, 4) == 1) {
        length = 16;
        m.short_triplet = 1;
      } else {
        length = kTripletEighth;
      }
    } else {
      length = 64;
    }
  }
  if (type == 3) {
    length = kQuarter;
    if (GneRandomRange(1, 3) == 1) length = GneRandomRange(1, 3) == 1 ? 288 : kHalf;
  }
  return LimitLength(length, p, bar_length, block_length);
}

void SwingBlockLength(int* block_length, const EventList& /*chords*/, bool is_last, int channel) {
  const StyleRecord& style = CurrentStyle();
  if (MelodyPart(channel).note_length != kRhythmBouncing || style.metre != 0 ||
      style.basic_beat == kTripletBeat)
    return;
  MelodyState& m = Melody();
  if (m.swing == 1) {
    *block_length -= kEighth;
    m.swing = 0;
  } else if (*block_length != 2 * kBar && !is_last) {
    if (GneRandomRange(1, 3) != 1) {
      *block_length += kEighth;
      m.swing = 1;
    }
  }
}

bool CheckMelodyBlockLength(int block_length) {
  const StyleRecord& style = CurrentStyle();
  if (style.chord_method == 8) return false;
  if (style.metre == 1 && block_length != ticks::Bar(3, 4) &&
      block_length != 2 * ticks::Bar(3, 4)) {
    ShowErrorByCode(melody_error::kTripleMetre);
    return true;
  }
  if (style.metre == 2 && block_length != ticks::Bar(7, 8)) {
    ShowErrorByCode(melody_error::kSevenEight);
    return true;
  }
  return false;
}
