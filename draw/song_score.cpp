// The song on the score rows: note values become glyph types, eighth and sixteenth pairs are
// beamed, triplet patterns get brackets, composite values and values crossing the bar line are
// tied, and rests fill the beats. The score counts 120 ticks per eighth, 240 per beat.
#include "draw/main_dialog_helper.h"

#include "engine/chord_block.h"
#include "song/chord_codes.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "util/music_names.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kEighth = CCantrelCommon::kTicksPerEighth;

bool IsPitchValue(int v) { return v >= 0 || v == NoteSlotRap; }
bool StartsEvent(int v) { return v >= NoteSlotRest || v == NoteSlotRap; }

int PageRows() { return std::max(song::Globals().bars_per_page, 0); }

int Slot(const CSongData& song, int bar, int cell, int slot) {
  const int c = song.CellIndex(bar, cell);
  if (c < 0 || c >= kSongMaxCells) return NoteSlotVacant;
  return song.cells[c].slot[slot];
}

// The glyph type of a length in eighths without the error box (for tests of the value).
int TypeOfLengthQuiet(double length) {
  static const struct {
    double length;
    int type;
  } kTable[] = {{0.5, 0},  {1, 3},    {1.5, 6},  {2, 9},    {2.5, 27}, {3, 10},
                {3.5, 26}, {4, 11},   {4.5, 25}, {5, 12},   {5.5, 23}, {6, 13},
                {6.5, 24}, {7, 14},   {7.5, 22}};
  if (length >= 8) return kNoteWhole;
  for (const auto& e : kTable) {
    if (length == e.length) return e.type;
  }
  return -1;
}

// Puts a value of `length` eighths at a tick: one glyph when the value has one, else tied parts.
// The last glyph carries `tie`.
void PutLength(CLongStaffPicture* picture, int row, int pitch, int tick, double length,
               int colour, int tie) {
  if (length <= 0) return;
  int type = TypeOfLengthQuiet(length);
  if (type < 0) type = TypeOfLengthQuiet(std::floor(length * 2) / 2);
  if (type < 0) type = kNoteSixteenth;
  const int value = pitch;
  switch (type) {
    case kNoteHalfAndEighth:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteHalf, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 480, colour, kNoteEighth, tie);
      return;
    case kNoteFiveAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteHalf, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 480, colour, kNoteDottedEighth, tie);
      return;
    case kNoteSixAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteDottedHalf, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 720, colour, kNoteSixteenth, tie);
      return;
    case kNoteFourAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteHalf, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 480, colour, kNoteSixteenth, tie);
      return;
    case kNoteThreeAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteQuarter, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 240, colour, kNoteDottedEighth, tie);
      return;
    case kNoteTwoAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteQuarter, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 240, colour, kNoteSixteenth, tie);
      return;
    case kNoteSevenAndHalf:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, kNoteHalf, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 480, colour, kNoteQuarter, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 720, colour, kNoteEighth, 1);
      CCantrelCommon::PutNote(picture, row, value, tick + 840, colour, kNoteSixteenth, tie);
      return;
    default:
      CCantrelCommon::PutNote(picture, row, value, tick, colour, type, tie);
  }
}

// A run of tied chunks (4, 2, 1 and 0.5 eighths: half, quarter, eighth, sixteenth) from a tick;
// the last chunk carries `tie`. Rests are never tied.
void PutChunks(CLongStaffPicture* picture, int row, int pitch, int tick, double length,
               int colour, int tie) {
  static const struct {
    double length;
    int type;
  } kChunks[] = {{4, kNoteHalf}, {2, kNoteQuarter}, {1, kNoteEighth}, {0.5, kNoteSixteenth}};
  while (length >= 0.5) {
    for (const auto& c : kChunks) {
      if (length >= c.length) {
        length -= c.length;
        const int t = (length >= 0.5 && pitch != NoteSlotRest) ? 1 : (pitch >= 0 ? tie : 0);
        CCantrelCommon::PutNote(picture, row, pitch, tick, colour, c.type, t);
        tick += static_cast<int>(c.length * kEighth);
        break;
      }
    }
  }
  if (length > 0 && length < 0.5) CCantrelCommon::ErrorMsg(0);
}

}  // namespace

plat::ColorRef CCantrelCommon::PitchClassColour(int pitch) {
  static const int kColours[12][3] = {{255, 0, 0},    {220, 60, 0},  {200, 120, 0}, {200, 160, 0},
                                      {200, 200, 0},  {0, 180, 0},   {25, 165, 100}, {50, 150, 200},
                                      {25, 75, 200},  {0, 0, 200},   {60, 0, 160},  {125, 0, 125}};
  if (pitch < 0) return 0;
  const int* c = kColours[pitch % 12];
  return plat::Rgb(c[0], c[1], c[2]);
}

int CCantrelCommon::NoteTypeOfLength(double length) {
  const int type = TypeOfLengthQuiet(length);
  if (type >= 0) return type;
  if (length < 1) {
    ErrorMsg(0);
    return kNoteEighth;
  }
  return TypeOfLengthQuiet(std::floor(length));
}

void CCantrelCommon::FitOctave(int* pitch, int top) {
  if (!pitch) return;
  while (*pitch > top) *pitch -= 12;
  while (*pitch < top - 12) *pitch += 12;
}

void CCantrelCommon::AddTripletBracket(CLongStaffPicture* picture, int row, int start, int end) {
  if (picture) picture->AddTripletBracket(row, start, end, 0);
}

void CCantrelCommon::PutNote(CLongStaffPicture* picture, int row, int pitch, int tick,
                             int colour, int type, int tie) {
  if (!picture || row < 0 || row >= PageRows() || row >= picture->RowCount()) return;
  if (pitch == NoteSlotRest) {
    switch (type) {
      case kNoteDottedEighth:
        PutNote(picture, row, pitch, tick, colour, kNoteEighth, 0);
        PutNote(picture, row, pitch, tick + 120, colour, kNoteSixteenth, 0);
        return;
      case kNoteDottedQuarter:
        PutNote(picture, row, pitch, tick, colour, kNoteQuarter, 0);
        PutNote(picture, row, pitch, tick + 240, colour, kNoteEighth, 0);
        return;
      case kNoteDottedHalf:
        PutNote(picture, row, pitch, tick, colour, kNoteHalf, 0);
        PutNote(picture, row, pitch, tick + 480, colour, kNoteQuarter, 0);
        return;
      case kNoteHalf:
        tick += 240;
        break;
      case kNoteWhole:
        tick += 480;
        break;
      default:
        break;
    }
    tie = 0;
  }
  if (picture->HasNoteAt(row, tick, pitch)) return;
  plat::ColorRef c = static_cast<plat::ColorRef>(colour);
  if (colour == kColourByPitch) c = PitchClassColour(pitch);
  picture->AddNote(row, pitch, tick, c, type, tie);
}

void CCantrelCommon::PutNoteGlyphs(int beatsPerBar, int value, int type, int beat,
                                   CLongStaffPicture* picture, int row, int cell, int colour) {
  const int t = kEighth * cell;
  if (value == NoteSlotRest) {
    auto rest = [&](int tick, int ty) { PutNote(picture, row, value, tick, colour, ty, 0); };
    switch (type) {
      case kNoteDottedEighth:
        rest(t, kNoteSixteenth);
        rest(t + 60, kNoteEighth);
        return;
      case kNoteDottedQuarter:
        if (beat % 2 == 1) {
          PutNote(picture, row, value, t, 0, kNoteEighth, 0);
          rest(t + 120, kNoteQuarter);
        } else {
          rest(t, kNoteQuarter);
          rest(t + 240, kNoteEighth);
        }
        return;
      case kNoteHalfAndEighth:
        rest(t, kNoteHalf);
        rest(t + 480, kNoteEighth);
        return;
      case kNoteDottedHalf:
        if (beatsPerBar == 3) {
          rest(t, kNoteWhole);
        } else if (beat % 4 != 0) {
          rest(t, kNoteQuarter);
          rest(t + 240, kNoteHalf);
        } else {
          rest(t, kNoteHalf);
          rest(t + 480, kNoteQuarter);
        }
        return;
      case kNoteDoubleDottedHalf:
        rest(t, kNoteHalf);
        rest(t + 480, kNoteQuarter);
        rest(t + 720, kNoteEighth);
        return;
      case kNoteSevenAndHalf:
        rest(t, kNoteHalf);
        rest(t + 480, kNoteQuarter);
        rest(t + 720, kNoteEighth);
        rest(t + 840, kNoteSixteenth);
        return;
      case kNoteFiveAndHalf:
        rest(t, kNoteHalf);
        rest(t + 480, kNoteDottedEighth);
        return;
      case kNoteSixAndHalf:
        rest(t, kNoteDottedHalf);
        rest(t + 720, kNoteSixteenth);
        return;
      case kNoteFourAndHalf:
        rest(t, kNoteHalf);
        rest(t + 480, kNoteSixteenth);
        return;
      case kNoteThreeAndHalf:
        rest(t, kNoteQuarter);
        rest(t + 240, kNoteDottedEighth);
        return;
      case kNoteTwoAndHalf:
        rest(t, kNoteQuarter);
        rest(t + 240, kNoteSixteenth);
        return;
      default:
        rest(t, type);
        return;
    }
  }
  switch (type) {
    case kNoteHalfAndEighth:
    case kNoteFiveAndHalf:
    case kNoteSixAndHalf:
    case kNoteFourAndHalf:
    case kNoteThreeAndHalf:
    case kNoteTwoAndHalf:
    case kNoteSevenAndHalf: {
      static const struct {
        int type;
        double length;
      } kLengths[] = {{12, 5}, {23, 5.5}, {24, 6.5}, {25, 4.5}, {26, 3.5}, {27, 2.5}, {22, 7.5}};
      for (const auto& l : kLengths) {
        if (l.type == type) PutLength(picture, row, value, t, l.length, colour, 0);
      }
      return;
    }
    default:
      PutNote(picture, row, value, t, colour, type, 0);
  }
}

int CCantrelCommon::EighthNoteType(const CSongData& song, int bar, int cell) {
  auto eighthPitchAt = [&](int c) {
    if (c < 0 || c >= 2 * song.beats_per_bar) return false;
    const int v = Slot(song, bar, c, 0);
    if (!IsPitchValue(v)) return false;
    double len = 0;
    song.GetNoteAt(bar, c, &len, false);
    return TypeOfLengthQuiet(len) == kNoteEighth;
  };
  if (cell % 2 == 0) return eighthPitchAt(cell + 1) ? kNoteEighthPairFirst : kNoteEighth;
  return eighthPitchAt(cell - 1) ? kNoteEighthPairSecond : kNoteEighth;
}

void CCantrelCommon::PutNoteAcrossBarLine(const CSongData& song, int cell, double length,
                                          CLongStaffPicture* picture, int row, int pitch,
                                          int pageRows, bool fromSecond, int colour) {
  const double f = 2.0 * song.beats_per_bar - cell - (fromSecond ? 0.5 : 0.0);
  const int tick = kEighth * cell + (fromSecond ? 60 : 0);
  PutLength(picture, row, pitch, tick, f, colour, 1);
  if (row + 1 < pageRows && length > f) {
    PutLength(picture, row + 1, pitch, 0, length - f, colour, 0);
  }
}

void CCantrelCommon::MarkTriplets(CLongStaffPicture* picture, int row, const CSongData& song,
                                  int firstBar) {
  const int bar = firstBar + row;
  if (!picture || bar < 0 || bar >= song.bar_count) return;
  const int beats = song.beats_per_bar;
  for (int b = 0; b < beats; ++b) {
    const int u = 2 * b;
    if (song.IsHalfTriplet(bar, u)) {
      AddTripletBracket(picture, row, u * kEighth, u * kEighth + 960);
      break;
    }
    if (song.IsQuarterTriplet(bar, u)) {
      AddTripletBracket(picture, row, u * kEighth, u * kEighth + 480);
      ++b;
      continue;
    }
    if (song.IsTripletBeat(bar, u)) {
      AddTripletBracket(picture, row, u * kEighth, u * kEighth + 240);
      continue;
    }
    for (int k = u; k < u + 2; ++k) {
      if (song.HasThirdPart(bar, k)) AddTripletBracket(picture, row, k * kEighth, k * kEighth + 120);
    }
  }
}

namespace {

// What the steps that draw one row of the song share.
struct RowDrawing {
  CLongStaffPicture* picture;
  int row;
  const CSongData& song;
  int bar;
  int cells;     // eighth cells of the bar
  int pageRows;  // rows of the page; a note running past the last row is cut there
  int cursorMode, cursorRow, cursorCell;

  int Slot(int cell, int slot) const { return ::Slot(song, bar, cell, slot); }
  // The colour of the event on the second sixteenth of a cell.
  int SecondColour(int cell, int colour) const {
    if (row == cursorRow && cell == cursorCell && cursorMode == 1) {
      return static_cast<int>(CCantrelCommon::kSecondCursorColour);
    }
    return colour;
  }
};

// Parts of a tied sequence: ticks from the cell's start, glyph type, tie to the next part.
struct TiedPart {
  int tick, type, tie;
};
struct TiedSequence {
  double length;  // in eighths
  int parity;     // the cell's parity it applies to, -1 for both
  int count;
  TiedPart parts[3];
};

// A value of `length` eighths on the second sixteenth of a cell (`tick` is the cell's start),
// ending within the bar: the sequences of tied glyphs it is written with.
const TiedSequence kSecondSixteenthSequences[] = {
    {1, -1, 1, {{60, kNoteEighth, 0}}},
    {1.5, -1, 1, {{60, kNoteDottedEighth, 0}}},
    {2, -1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteEighth, 1}, {240, kNoteSixteenth, 0}}},
    {3, -1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteQuarter, 1}, {360, kNoteSixteenth, 0}}},
    {3.5, 0, 2, {{60, kNoteDottedEighth, 1}, {240, kNoteQuarter, 0}}},
    {3.5, 1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteQuarter, 1}, {360, kNoteEighth, 0}}},
    {4, 0, 3, {{60, kNoteDottedEighth, 1}, {240, kNoteQuarter, 1}, {480, kNoteSixteenth, 0}}},
    {4, 1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteQuarter, 1}, {360, kNoteDottedEighth, 0}}},
    {6, -1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteHalf, 1}, {600, kNoteDottedEighth, 0}}},
    {7, -1, 3, {{60, kNoteSixteenth, 1}, {120, kNoteDottedHalf, 1}, {840, kNoteSixteenth, 0}}},
};

// What is left on the next row of a value that starts on the last sixteenth of the bar.
const TiedSequence kNextRowSequences[] = {
    {0.5, -1, 1, {{0, kNoteSixteenth, 0}}},
    {1, -1, 1, {{0, kNoteEighth, 0}}},
    {1.5, -1, 2, {{0, kNoteEighth, 1}, {120, kNoteSixteenth, 0}}},
    {2.5, -1, 2, {{0, kNoteQuarter, 1}, {240, kNoteSixteenth, 0}}},
    {3, -1, 2, {{0, kNoteQuarter, 1}, {240, kNoteEighth, 0}}},
    {3.5, -1, 2, {{0, kNoteDottedQuarter, 1}, {360, kNoteSixteenth, 0}}},
    {5.5, -1, 2, {{0, kNoteHalf, 1}, {480, kNoteDottedEighth, 0}}},
    {6.5, -1, 2, {{0, kNoteDottedHalf, 1}, {720, kNoteSixteenth, 0}}},
    {7.5, -1, 2, {{0, kNoteDoubleDottedHalf, 1}, {840, kNoteSixteenth, 0}}},
};

template <size_t N>
const TiedSequence* FindSequence(const TiedSequence (&table)[N], double length, int cell) {
  for (const TiedSequence& s : table) {
    if (s.length == length && (s.parity < 0 || s.parity == cell % 2)) return &s;
  }
  return nullptr;
}

// Puts the parts of a sequence from `tick`; ties only between pitches.
void PutSequence(const RowDrawing& d, int row, const TiedSequence& s, int value, int tick,
                 int colour, bool tied) {
  for (int i = 0; i < s.count; ++i) {
    const TiedPart& p = s.parts[i];
    CCantrelCommon::PutNote(d.picture, row, value, tick + p.tick, colour, p.type,
                            tied ? p.tie : 0);
  }
}

// The triplet patterns that start at a cell: a half-note triplet over two beats, a quarter-note
// triplet over a beat pair, an eighth triplet in one beat, or three parts of one cell. Answers
// the cells they take, 0 when none starts there.
int PutTriplets(const RowDrawing& d, int u, int colour) {
  const int T = kEighth * u;
  auto put = [&](int value, int tick, int type) {
    CCantrelCommon::PutNote(d.picture, d.row, value, tick, colour, type, 0);
  };
  if (d.song.IsHalfTriplet(d.bar, u)) {
    put(d.Slot(u, 0), T, kNoteHalf);
    put(d.Slot(u + 2, 2), T + 320, kNoteHalf);
    put(d.Slot(u + 5, 1), T + 640, kNoteHalf);
    return 8;
  }
  if (d.song.IsQuarterTriplet(d.bar, u)) {
    put(d.Slot(u, 0), T, kNoteQuarter);
    put(d.Slot(u + 1, 1), T + 160, kNoteQuarter);
    put(d.Slot(u + 2, 2), T + 320, kNoteQuarter);
    return 4;
  }
  if (d.song.IsTripletBeat(d.bar, u)) {
    put(d.Slot(u, 0), T, kNoteEighth);
    put(d.Slot(u, 2), T + 80, kNoteEighth);
    put(d.Slot(u + 1, 1), T + 160, kNoteEighth);
    return 2;
  }
  if (d.song.HasThirdPart(d.bar, u)) {
    for (int k = 0; k < 3; ++k) {
      const int v = d.Slot(u, k);
      if (!StartsEvent(v)) continue;
      const int next = k < 2 ? d.Slot(u, k + 1) : d.Slot(u + 1, 0);
      const bool held = next == NoteSlotHold && (k < 2 || u + 1 < d.cells);
      put(v, T + 40 * k, held ? kNoteEighth : kNoteSixteenth);
    }
    return 1;
  }
  return 0;
}

// A pitch on the second sixteenth of the bar's last cell that runs on: a sixteenth tied over
// the bar line, the rest of it on the next row.
void PutSecondSixteenthFromLastCell(const RowDrawing& d, int u, int value, double length,
                                    int colour) {
  CCantrelCommon::PutNote(d.picture, d.row, value, kEighth * u + 60, colour, kNoteSixteenth, 1);
  const double rest = length - 0.5;
  if (d.row + 1 >= d.pageRows) return;
  if (const TiedSequence* s = FindSequence(kNextRowSequences, rest, u)) {
    PutSequence(d, d.row + 1, *s, value, 0, colour, true);
  } else {
    PutChunks(d.picture, d.row + 1, value, 0, rest, colour, 0);
  }
}

// The event on the second sixteenth of a cell whose first sixteenth holds a sixteenth of
// `type` (plain, or the first of a beamed pair).
void PutSecondSixteenthAfterSixteenth(const RowDrawing& d, int u, int type, int colour) {
  const int value = d.Slot(u, 1);
  double n = 0;
  d.song.GetNoteAt(d.bar, u, &n, true);
  const int c1 = d.SecondColour(u, colour);
  const int T = kEighth * u;
  const bool pitch = IsPitchValue(value);
  if (pitch && u + 0.5 + n > d.cells) {
    // Runs past the bar end.
    if (u == d.cells - 1) {
      PutSecondSixteenthFromLastCell(d, u, value, n, c1);
    } else {
      CCantrelCommon::PutNoteAcrossBarLine(d.song, u, n, d.picture, d.row, value, d.pageRows,
                                           true, c1);
    }
  } else if (n == 0.5) {
    CCantrelCommon::PutNote(d.picture, d.row, value, T + 60, c1,
                            type == kNoteSixteenthPairFirst ? kNoteSixteenthPairSecond : type, 0);
  } else if (const TiedSequence* s = FindSequence(kSecondSixteenthSequences, n, u)) {
    PutSequence(d, d.row, *s, value, T, c1, pitch);
  } else if (n > 0.5) {
    // Lengths without a sequence of their own: a sixteenth to the beat's half, then tied
    // chunks.
    CCantrelCommon::PutNote(d.picture, d.row, value, T + 60, c1, kNoteSixteenth, pitch ? 1 : 0);
    PutChunks(d.picture, d.row, value, T + 120, n - 0.5, c1, 0);
  }
}

// An event that starts on the first sixteenth of a cell: its glyph (beamed with a neighbour,
// tied over the bar line, or a dotted eighth beamed with the next cell's second sixteenth),
// then what starts on the cell's second sixteenth. Answers the cells it took.
int PutFirstSixteenthEvent(const RowDrawing& d, int u, int colour) {
  const int v0 = d.Slot(u, 0);
  const int v1 = d.Slot(u, 1);
  const int T = kEighth * u;
  double len = 0;
  d.song.GetNoteAt(d.bar, u, &len, false);
  int type = CCantrelCommon::NoteTypeOfLength(len);
  const bool pitch = IsPitchValue(v0);
  bool placed = false;
  int advance = 1;
  if (pitch && u + len > d.cells) {
    CCantrelCommon::PutNoteAcrossBarLine(d.song, u, len, d.picture, d.row, v0, d.pageRows, false,
                                         colour);
    placed = true;
  } else if (pitch && type == kNoteEighth) {
    type = CCantrelCommon::EighthNoteType(d.song, d.bar, u);
  } else if (pitch && type == kNoteSixteenth && IsPitchValue(v1)) {
    double len1 = 0;
    d.song.GetNoteAt(d.bar, u, &len1, true);
    if (len1 == 0.5) type = kNoteSixteenthPairFirst;
  } else if (pitch && type == kNoteDottedEighth && u % 2 == 0 && u + 1 < d.cells &&
             d.Slot(u + 1, 0) == NoteSlotHold && IsPitchValue(d.Slot(u + 1, 1))) {
    double len1 = 0;
    d.song.GetNoteAt(d.bar, u + 1, &len1, true);
    if (len1 == 0.5) {
      CCantrelCommon::PutNote(d.picture, d.row, v0, T, colour, kNoteDottedEighthBeamed, 0);
      CCantrelCommon::PutNote(d.picture, d.row, d.Slot(u + 1, 1), T + 180,
                              d.SecondColour(u + 1, colour), kNoteSixteenthAfterDotted, 0);
      placed = true;
      advance = 2;
    }
  }
  if (!placed) {
    CCantrelCommon::PutNoteGlyphs(d.song.beats_per_bar, v0, type, u / 2, d.picture, d.row, u,
                                  colour);
  }
  if ((type == kNoteSixteenth || type == kNoteSixteenthPairFirst) && StartsEvent(v1)) {
    PutSecondSixteenthAfterSixteenth(d, u, type, colour);
  }
  return advance;
}

// An event that starts on the second sixteenth of a cell whose first sixteenth holds the note
// before it: an eighth, a dotted eighth or a sixteenth to the beat, then tied chunks.
void PutSecondSixteenthAfterHold(const RowDrawing& d, int u, int colour) {
  const int v1 = d.Slot(u, 1);
  if (u == 0) {
    // The note held into the bar is shown as a sixteenth at its start.
    const int sounding = d.song.GetSoundingValue(d.bar, 0, false);
    if (StartsEvent(sounding)) {
      CCantrelCommon::PutNote(d.picture, d.row, sounding, 0, colour, kNoteSixteenth, 0);
    }
  }
  double n = 0;
  d.song.GetNoteAt(d.bar, u, &n, true);
  const int c1 = d.SecondColour(u, colour);
  const int E = kEighth * u + 60;
  if (!IsPitchValue(v1)) {
    PutLength(d.picture, d.row, v1, E, n, c1, 0);
    return;
  }
  if (u + 0.5 + n > d.cells) {
    const double f = d.cells - u - 0.5;
    PutLength(d.picture, d.row, v1, E, f, c1, 1);
    if (d.row + 1 < d.pageRows && d.bar + 1 < d.song.bar_count) {
      PutChunks(d.picture, d.row + 1, v1, 0, n - f, c1, 0);
    }
    return;
  }
  double first = 1;
  int firstType = kNoteEighth;
  if (u % 2 == 1 || n == 0.5) {
    first = 0.5;
    firstType = kNoteSixteenth;
  } else if (n >= 1.5) {
    first = 1.5;
    firstType = kNoteDottedEighth;
  }
  double rest = n - first;
  CCantrelCommon::PutNote(d.picture, d.row, v1, E, c1, firstType, rest > 0 ? 1 : 0);
  int tick = E + static_cast<int>(first * kEighth);
  static const struct {
    double length;
    int type;
  } kChunks[] = {{4, kNoteHalf}, {2, kNoteQuarter}, {1, kNoteEighth}};
  for (const auto& c : kChunks) {
    while (rest >= c.length) {
      rest -= c.length;
      CCantrelCommon::PutNote(d.picture, d.row, v1, tick, c1, c.type, rest > 0 ? 1 : 0);
      tick += static_cast<int>(c.length * kEighth);
    }
  }
  if (rest >= 0.5) CCantrelCommon::PutNote(d.picture, d.row, v1, tick, c1, kNoteSixteenth, 0);
}

}  // namespace

void CCantrelCommon::DrawSongOnStaff(CLongStaffPicture* picture, int row, const CSongData& song,
                                     int firstBar, int cursorMode, int cursorRow, int cursorCell,
                                     bool coloured) {
  const int bar = firstBar + row;
  if (!picture || bar < 0 || bar >= song.bar_count) return;
  const int bpb = song.beats_per_bar;
  if (bpb <= 0) return;
  const RowDrawing d{picture, row, song, bar, 2 * bpb, PageRows(), cursorMode, cursorRow, cursorCell};
  int u = 0;
  while (u < d.cells) {
    int colour = coloured ? kColourByPitch : 0;
    if (row == cursorRow && u == cursorCell && cursorMode == 0) {
      colour = static_cast<int>(kCursorColour);
    }
    if (const int taken = PutTriplets(d, u, colour)) {
      u += taken;
      continue;
    }
    const int v0 = d.Slot(u, 0);
    if (StartsEvent(v0)) {
      u += PutFirstSixteenthEvent(d, u, colour);
      continue;
    }
    if (v0 == NoteSlotHold && StartsEvent(d.Slot(u, 1))) PutSecondSixteenthAfterHold(d, u, colour);
    ++u;
  }
}

void CCantrelCommon::RedrawStaffRows(bool all, CLongStaffPicture* picture, CSongData* song,
                                     int* lastCursorRow, int pagePosition, int cursorRow,
                                     int cursorCell, int cursorMode) {
  if (!picture || !song) return;
  song->RestartRestsAtBeats();
  const int last = lastCursorRow ? *lastCursorRow : -1;
  const int firstBar = pagePosition * song::Globals().bars_per_line;
  const int rows = std::min(PageRows(), picture->RowCount());
  std::vector<bool> redraw(std::max(rows, 0), false);
  for (int row = 0; row < rows; ++row) {
    redraw[row] = all || row == last || row == cursorRow ||
                  (row == cursorRow - 1 && cursorRow == last);
  }
  // Clear first, then fill: a note that runs past its bar puts its end on the next row, which
  // must not be cleared after it. A row whose previous row is not redrawn takes that end again
  // from it (notes already there are not added twice).
  for (int row = 0; row < rows; ++row) {
    if (redraw[row]) picture->ClearRow(row);
  }
  for (int row = 0; row < rows; ++row) {
    if (!redraw[row]) continue;
    if (row > 0 && !redraw[row - 1]) {
      DrawSongOnStaff(picture, row - 1, *song, firstBar, cursorMode, cursorRow, cursorCell, false);
    }
    MarkTriplets(picture, row, *song, firstBar);
    DrawSongOnStaff(picture, row, *song, firstBar, cursorMode, cursorRow, cursorCell, false);
  }
  for (int row = 0; row < rows; ++row) {
    if (redraw[row]) picture->DrawRow(row);
  }
  picture->BlitAll();
  if (lastCursorRow) *lastCursorRow = cursorRow;
}

void CCantrelCommon::RedrawPage(bool all, CLongStaffPicture* picture, CSongData* song,
                                int* lastCursorRow, int page, int cursorRow, int cursorCell,
                                int cursorMode) {
  RedrawStaffRows(all, picture, song, lastCursorRow, page * song::Globals().lines_per_page,
                  cursorRow, cursorCell, cursorMode);
}

int CCantrelCommon::ClearUsedStaffRows(CLongStaffPicture* picture) {
  if (!picture) return 0;
  int any = 0;
  const int rows = std::min(PageRows(), picture->RowCount());
  for (int row = 0; row < rows; ++row) {
    if (picture->HighlightCount(row) == 0) continue;
    picture->ClearHighlights(row);
    picture->DrawRow(row);
    any = 1;
  }
  return any;
}

void CCantrelCommon::SetupStaffRows(CLongStaffPicture* picture, int keyIndex, int beatsPerBar,
                                    bool extra) {
  if (!picture || keyIndex < 0 || keyIndex >= kKeySignatureCount) return;
  const KeySignature& key = KeySignatureTable[keyIndex];
  const int spelling = ChooseKeySpelling(key.tonic, key.mode);
  const int keyByte = static_cast<uint8_t>(key.accidentals);
  const int barRows = PageRows();
  const int lines = std::max(song::Globals().lines_per_page, 0);
  const int rows = picture->RowCount();
  for (int row = 0; row < barRows && row < rows; ++row) {
    picture->SetSpelling(row, spelling);
    picture->SetKeySignature(row, keyByte);
  }
  const int headerEnd = barRows + lines * (extra ? 2 : 1);
  for (int row = barRows; row < headerEnd && row < rows; ++row) {
    picture->SetSpelling(row, spelling);
    picture->SetKeySignature(row, keyByte);
    picture->SetTimeSignature(row, beatsPerBar);
    picture->DrawRow(row);
  }
}

namespace {

// The highest pitch sounding in beat `beat` of the bar (the note held into it included), -1
// when the beat only rests.
int HighestPitchOfBeat(const CSongData& song, int bar, int beat) {
  int highest = -1;
  const int held = song.GetSoundingValue(bar, 2 * beat, false);
  if (held >= 0 && held <= 127) highest = held;
  for (int e = 2 * beat; e < 2 * beat + 2; ++e) {
    const int c = song.CellIndex(bar, e);
    if (c < 0) continue;
    for (int v : song.cells[c].slot) {
      if (v >= 0 && v <= 127) highest = std::max(highest, v);
    }
  }
  return highest;
}

}  // namespace

void CCantrelCommon::DrawChordTonesOnRows(CLongStaffPicture* picture, const CSongData& song,
                                          int page) {
  if (!picture || page < 0) return;
  const int beats = song.beats_per_bar;
  const int rows = std::min(PageRows(), picture->RowCount());
  const long long firstBar = static_cast<long long>(page) * PageRows();
  for (int row = 0; row < rows && beats > 0; ++row) {
    const long long bar = firstBar + row;
    if (bar >= song.bar_count || bar * beats >= kSongMaxBeats) break;
    for (int beat = 0; beat < beats; ++beat) {
      const long long b = bar * beats + beat;
      if (b >= kSongMaxBeats) break;
      // The chord name as the engine's code: a beat without one has no tones.
      char code[256] = {};
      std::memcpy(code, song.chords[b].first, strnlen(song.chords[b].first, 8));
      if (code[0] == '\0' || std::strcmp(code, "Skip") == 0 || std::strcmp(code, "----") == 0 ||
          ChordRootIndex(code) < 0) {
        continue;
      }
      ChordNameToCode(code);
      ChordEntry entry;
      entry.length = 240;
      std::memcpy(entry.code, code, 4);
      char bassText[3] = {};
      const int bass = song.bass_first[b];
      if (bass > 0 && bass < 100) std::snprintf(bassText, sizeof bassText, "%02d", bass);
      const ChordBlock block(entry, bassText);
      if (block.root == 0) continue;
      int top = HighestPitchOfBeat(song, static_cast<int>(bar), beat);
      top = top < 0 ? 58 : std::min(top, 58);
      std::vector<int> tones;
      for (int tone : {block.fifth, block.root, block.third, block.bass}) {
        if (tone == 0) continue;
        FitOctave(&tone, top);
        if (std::find(tones.begin(), tones.end(), tone) == tones.end()) tones.push_back(tone);
      }
      std::sort(tones.begin(), tones.end());
      for (size_t k = 0; k < tones.size(); ++k) {
        const int type = k + 1 == tones.size() ? kNoteQuarter : kNoteContinuation;
        PutNote(picture, row, tones[k], beat * 2 * kEighth, 0, type, 0);
      }
    }
    picture->DrawRow(row);
  }
}
