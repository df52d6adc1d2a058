// Entering notes, rests, rap notes, lyrics and chords into the song, and the
// queries that read them back (values, lengths, neighbours, chords, lyrics
// and display texts).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "song/song_bytes.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_music.h"
#include "util/music_names.h"

using namespace song_bytes;

namespace {

bool IsPitch(int v) { return v >= 0 && v <= 127; }

// Cuts a text to at most `max` bytes without splitting a double-byte character.
size_t CutLength(const char* text, size_t len, size_t max) { return GneFitCp932(text, len, max); }

}  // namespace

// ---------------------------------------------------------------------------
// Name helpers

void CSongData::SplitPitch(int value, int* octave_row, int* pitch_row) {
  ::SplitPitch(value, octave_row, pitch_row);
}
int CSongData::PitchFromRows(int octave_row, int pitch_row) {
  return ::PitchFromRows(octave_row, pitch_row);
}
int CSongData::NoteValueIndex(double length) { return ::NoteValueIndex(length); }
int CSongData::KeyIndexFromName(const char* text) { return ::KeyIndexFromName(text); }

void CSongData::AppendSolfegeName(int pitch, std::string* text) const {
  if (pitch < 0) return;
  char buf[16] = {0};
  ::AppendSolfegeName(key_index, pitch, buf);
  *text += buf;
}

void CSongData::AppendDegreeDigit(int pitch, std::string* text) const {
  if (pitch < 0) return;
  char buf[16] = {0};
  ::AppendDegreeDigit(key_index, pitch, buf);
  *text += buf;
}

// ---------------------------------------------------------------------------
// Entering

void CSongData::SetNote(int bar, int eighth, int value, int row, bool from_second) {
  if (row < 0 || row >= kNoteValueCount) {
    ReportError(0);
    return;
  }
  if (value != NoteSlotRest && value != NoteSlotRap && (value < 0 || value > 127)) {
    ReportError(0);
    return;
  }
  const double L = NoteValueTable[row].eighths;
  if (from_second) {
    static const double kAllowed[] = {0.5, 1, 1.5, 2, 3, 3.5, 4, 6, 7, 8};
    if (std::find(std::begin(kAllowed), std::end(kAllowed), L) == std::end(kAllowed)) {
      ReportError(2);
      return;
    }
  }
  const int c = CellIndex(bar, eighth);
  const int w = static_cast<int>(L);
  const bool h = L - w > 0;
  if (c < 0 || c >= SongCells() || c + w > SongCells()) {
    ReportError(0);
    return;
  }
  const int s0 = from_second ? 1 : 0;

  // The old event at the entry slot becomes a rest.
  const int replaced = cells[c].slot[s0];
  cells[c].slot[s0] = NoteSlotRest;
  bool first_hold = true;
  for (int k = c + 1; k < kSongMaxCells; ++k) {
    if (cells[k].slot[0] != NoteSlotHold) break;
    if (from_second && first_hold) cells[k].slot[0] = NoteSlotRest;
    first_hold = false;
    if (cells[k].slot[1] != NoteSlotHold) break;
  }

  // Pitch range.
  if (value != NoteSlotRest && value != NoteSlotRap) {
    if (lowest_pitch == -1 && highest_pitch == -1) {
      lowest_pitch = highest_pitch = value;
    } else {
      if (replaced == lowest_pitch || replaced == highest_pitch) UpdatePitchRange(c);
      if (lowest_pitch == -1 && highest_pitch == -1) {
        lowest_pitch = highest_pitch = value;
      } else {
        lowest_pitch = std::min(lowest_pitch, value);
        highest_pitch = std::max(highest_pitch, value);
      }
    }
  }

  auto cell_ok = [](int k) { return k >= 0 && k < kSongMaxCells; };
  if (!from_second) {
    for (int k = c; k < c + w && cell_ok(k); ++k) {
      cells[k].slot[0] = k == c ? value : NoteSlotHold;
      cells[k].slot[1] = NoteSlotHold;
      cells[k].slot[2] = NoteSlotVacant;
    }
    const int e = c + w;
    if (!h) {
      if (cell_ok(e) && cells[e].slot[0] == NoteSlotHold) cells[e].slot[0] = NoteSlotRest;
    } else if (cell_ok(e)) {
      cells[e].slot[0] = w == 0 ? value : NoteSlotHold;
      if (cells[e].slot[1] == NoteSlotHold) {
        cells[e].slot[1] = NoteSlotRest;
        cells[e].slot[2] = NoteSlotVacant;
      }
    }
  } else {
    cells[c].slot[1] = value;
    cells[c].slot[2] = NoteSlotVacant;
    for (int k = c + 1; k <= c + w && cell_ok(k); ++k) {
      cells[k].slot[0] =
          (value == NoteSlotRest && IsBarStartCell(k)) ? NoteSlotRest : NoteSlotHold;
      if (!h && k == c + w) {
        if (cells[k].slot[1] == NoteSlotHold) cells[k].slot[1] = NoteSlotRest;
      } else {
        cells[k].slot[1] = NoteSlotHold;
        cells[k].slot[2] = NoteSlotVacant;
      }
    }
    const int e = h ? c + w + 1 : -1;
    if (!h && w == 0) {
      // A sixteenth in the second slot: the next cell's first slot starts anew.
      if (cell_ok(c + 1) && cells[c + 1].slot[0] == NoteSlotHold)
        cells[c + 1].slot[0] = NoteSlotRest;
    }
    if (cell_ok(e) && cells[e].slot[0] == NoteSlotHold) cells[e].slot[0] = NoteSlotRest;
  }
}

void CSongData::SetNoteFromRows(int bar, int eighth, int octave_row, int pitch_row, int row,
                                bool from_second) {
  SetNote(bar, eighth, PitchFromRows(octave_row, pitch_row), row, from_second);
}

void CSongData::SetSlotValue(int cell, int slot, int value) {
  if (cell < 0 || cell >= kSongMaxCells || slot < 0 || slot > 2) return;
  cells[cell].slot[slot] = value;
  std::memset(cells[cell].lyric[slot], 0, 8);
}

int CSongData::SetCell(int bar, int eighth, const NoteCell& cell) {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return 0;
  cells[c] = cell;
  return 1;
}

bool CSongData::GetCell(int bar, int eighth, NoteCell* out) const {
  const int c = CellIndex(bar, eighth);
  if (c < 0 || !out) return false;
  *out = cells[c];
  return true;
}

void CSongData::SetLyric(int bar, int eighth, const char* text, bool second) {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return;
  const size_t len = text ? std::strlen(text) : 0;
  const size_t keep = CutLength(text ? text : "", len, 7);
  char* field = cells[c].lyric[second ? 1 : 0];
  std::memset(field, 0, 8);
  // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker): keep is 0 without a text
  if (keep) std::memcpy(field, text, keep);
  if (keep < len) ReportError(3);
}

void CSongData::FillLyricDashes(int first_bar, int end_bar) {
  const int n = SongCells();
  const int c0 = BarCell(first_bar, 2 * beats_per_bar, n);
  const int c1 = BarCell(end_bar, 2 * beats_per_bar, n);
  for (int c = c0; c < c1; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) SetField(cells[c].lyric[s], 8, "-");
}

void CSongData::SetChord(int bar, int beat, int root, int type, int count, int bass,
                         bool second_half) {
  if (second_half) count = 1;
  if (bar < 0 || beat < 0 || beats_per_bar <= 0) return;
  const long long b0 = static_cast<long long>(bar) * beats_per_bar + beat;
  if (root == -1 && type == -1) {
    if (b0 < kSongMaxBeats) SetField(chords[b0].first, 8, "Skip");
    return;
  }
  if (root < 0 || root > 11 || type < 0 || type >= kChordSuffixCount) {
    ReportError(0);
    return;
  }
  std::string name = std::string(ChordRootNameTable[root]) + ChordSuffixTable[type].suffix;
  const uint8_t bass_byte = static_cast<uint8_t>(bass);
  for (int i = 0; i < count; ++i) {
    const long long b = b0 + i;
    if (b >= kSongMaxBeats) break;
    ChordCell& cc = chords[b];
    if (!second_half) {
      const bool no_second = cc.second[0] == 0 && bass_first[b] == bass_second[b];
      SetField(cc.first, 8, name);
      bass_first[b] = bass_byte;
      const bool last_keeps = (i == count - 1) && cc.second[0] != 0;
      if (!last_keeps && (bass_second[b] == bass_byte || no_second)) {
        std::memset(cc.second, 0, 8);
        bass_second[b] = bass_byte;
      }
    } else {
      if (FieldIs(cc.first, 8, name.c_str()))
        std::memset(cc.second, 0, 8);
      else
        SetField(cc.second, 8, name);
      bass_second[b] = bass_byte;
    }
  }
}

void CSongData::SetTonicChordCell(int beat) {
  if (beat < 0 || beat >= kSongMaxBeats) return;
  SetField(chords[beat].first, 8, key_tonic);
  std::memset(chords[beat].second, 0, 8);
}

void CSongData::SetStyle(const StyleRecord& record) { style = record; }

void CSongData::BuildLyricText() {
  // The lyrics text keeps to 1535 bytes so that the alias and keyword texts
  // behind it stay intact.
  constexpr size_t kMaxText = 1535;
  std::string text;
  int without_pitch = 0;
  const int n = SongCells();
  bool full = false;
  for (int c = 0; c < n && !full; ++c) {
    for (int s = 0; s < 3; ++s) {
      const size_t len = CutLength(cells[c].lyric[s], FieldLen(cells[c].lyric[s], 8), 7);
      if (len > 0) {
        std::string piece;
        if (without_pitch > 12) {
          if (!text.empty()) piece = "\r\n";
          without_pitch = 0;
        }
        piece.append(cells[c].lyric[s], len);
        if (text.size() + piece.size() > kMaxText) {
          full = true;
          break;
        }
        text += piece;
      }
      if (cells[c].slot[s] < 0)
        ++without_pitch;
      else
        without_pitch = 0;
    }
  }
  const size_t old_len = FieldLen(lyrics_area, kLyricsAreaSize);
  const size_t clear_end = std::min<size_t>(kLyricsAreaSize, std::max(old_len + 1, kMaxText + 1));
  std::memset(lyrics_area, 0, clear_end);
  std::memcpy(lyrics_area, text.data(), text.size());
}

// ---------------------------------------------------------------------------
// Reading values and lengths

int CSongData::GetSlotValue(int bar, int eighth, bool second) const {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return NoteSlotVacant;
  return cells[c].slot[second ? 1 : 0];
}

int CSongData::GetSecondSlot(int bar, int eighth) const { return GetSlotValue(bar, eighth, true); }

int CSongData::IsCellSplit(int bar, int eighth) const {
  const int c = CellIndex(bar, eighth);
  return c >= 0 && cells[c].slot[1] != NoteSlotHold ? 1 : 0;
}

int CSongData::HasThirdPart(int bar, int eighth) const {
  const int c = CellIndex(bar, eighth);
  return c >= 0 && cells[c].slot[2] != NoteSlotVacant ? 1 : 0;
}

int CSongData::GetNoteAt(int bar, int eighth, double* length, bool second) const {
  const int c = CellIndex(bar, eighth);
  double len = 0;
  int value = NoteSlotVacant;
  const int n = std::min(SongCells(), kSongMaxCells);
  if (c >= 0) {
    const NoteCell& cell = cells[c];
    if (!second) {
      value = cell.slot[0];
      if (cell.slot[1] != NoteSlotHold ||
          (cell.slot[2] != NoteSlotHold && cell.slot[2] != NoteSlotVacant)) {
        len = 0.5;
      } else {
        len = 1;
        for (int k = c + 1; k < n; ++k) {
          if (cells[k].slot[0] != NoteSlotHold) break;
          len += 0.5;
          if (cells[k].slot[1] == NoteSlotHold &&
              (cells[k].slot[2] == NoteSlotHold || cells[k].slot[2] == NoteSlotVacant))
            len += 0.5;
          else
            break;
        }
      }
    } else {
      value = cell.slot[1];
      len = 0.5;
      for (int k = c + 1; k < n; ++k) {
        if (cells[k].slot[0] != NoteSlotHold) break;
        len += 0.5;
        if (cells[k].slot[1] == NoteSlotHold)
          len += 0.5;
        else
          break;
      }
    }
  }
  if (length) *length = len;
  return value;
}

double CSongData::GetSlotLength(int bar, int eighth, bool second) const {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return 0;
  const int n = std::min(SongCells(), kSongMaxCells);
  double len = 0.5;
  int k = c, s = second ? 1 : 0;
  while (true) {
    if (++s > 1) {
      s = 0;
      ++k;
    }
    if (k >= n || cells[k].slot[s] != NoteSlotHold) break;
    len += 0.5;
  }
  return len;
}

double CSongData::GetNoteLength(int bar, int eighth) const {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return 0;
  if (cells[c].slot[1] != NoteSlotHold || cells[c].slot[2] != NoteSlotVacant) return 0.5;
  const int n = std::min(SongCells(), kSongMaxCells);
  double len = 1;
  for (int k = c + 1; k < n; ++k) {
    if (cells[k].slot[2] != NoteSlotVacant) break;
    if (cells[k].slot[0] != NoteSlotHold) break;
    len += 0.5;
    if (cells[k].slot[1] != NoteSlotHold) break;
    len += 0.5;
  }
  return len;
}

int CSongData::GetSoundingValue(int bar, int eighth, bool second) const {
  int c = CellIndex(bar, eighth);
  if (c < 0) return NoteSlotHold;
  int s = second ? 1 : 0;
  while (cells[c].slot[s] == NoteSlotHold) {
    if (s == 1) {
      s = 0;
    } else {
      if (c == 0) return NoteSlotHold;
      --c;
      s = 1;
    }
  }
  return cells[c].slot[s];
}

int CSongData::FindNextNote(int cell, int slot, int* slot_out) const {
  const int n = std::min(SongCells(), kSongMaxCells);
  if (cell >= kSongMaxCells) return -1;
  int pos = (cell < 0 || slot < 0) ? 0 : cell * 3 + std::min(slot, 2) + 1;
  for (; pos < n * 3; ++pos) {
    if (IsPitch(cells[pos / 3].slot[pos % 3])) {
      if (slot_out) *slot_out = pos % 3;
      return pos / 3;
    }
  }
  return -1;
}

int CSongData::FindPreviousNote(int cell, int slot, int* slot_out, int mode) const {
  const long long start = static_cast<long long>(cell) * 3 + slot - 1;
  int pos = start >= kSongMaxCells * 3 ? kSongMaxCells * 3 - 1
                                       : static_cast<int>(std::max<long long>(start, -1));
  for (; pos >= 0; --pos) {
    const int v = cells[pos / 3].slot[pos % 3];
    if (IsPitch(v) || (mode == 1 && v == NoteSlotRest)) {
      if (slot_out) *slot_out = pos % 3;
      return pos / 3;
    }
  }
  return -1;
}

int CSongData::GetPreviousPitch(int cell, int slot) const {
  int s = 0;
  const int c = FindPreviousNote(cell, slot, &s, 0);
  return c < 0 ? -1 : cells[c].slot[s];
}

namespace {
struct CellRange {
  int begin, end;
};
CellRange RangeOfBars(const CSongData& song, long long first_bar, long long end_bar) {
  const int n = song.SongCells();
  const int per_bar = 2 * std::max<int>(song.beats_per_bar, 1);
  int b = first_bar < 0 ? 0 : BarCell(first_bar, per_bar, n);
  int e = end_bar < 0 ? n : BarCell(end_bar, per_bar, n);
  return {b, std::max(b, e)};
}
}  // namespace

void CSongData::GetFirstAndLastPitch(int* first, int* last, int first_bar, int end_bar) const {
  const CellRange r = RangeOfBars(*this, first_bar, end_bar);
  int f = -1, l = -1;
  for (int c = r.begin; c < r.end; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) {
        if (f < 0) f = cells[c].slot[s];
        l = cells[c].slot[s];
      }
  if (first) *first = f;
  if (last) *last = l;
}

void CSongData::GetPitchRange(int* lowest, int* highest, int first_bar, int end_bar) const {
  const CellRange r = RangeOfBars(*this, first_bar, end_bar);
  int lo = 128, hi = -1;
  for (int c = r.begin; c < r.end; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) {
        lo = std::min(lo, static_cast<int>(cells[c].slot[s]));
        hi = std::max(hi, static_cast<int>(cells[c].slot[s]));
      }
  if (lowest) *lowest = lo;
  if (highest) *highest = hi;
}

void CSongData::MarkUsedPitches(int* table) const {
  std::fill(table, table + 128, 0);
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) table[cells[c].slot[s]] = 1;
}

int CSongData::CountNotes(int first, int last) const {
  const CellRange r = RangeOfBars(*this, first, last < 0 ? -1 : static_cast<long long>(last) + 1);
  int count = 0;
  for (int c = r.begin; c < r.end; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) ++count;
  return count;
}

int CSongData::GetPlayingSeconds() const {
  return GneBeatsToSeconds(SongBeats(), info.GetInt(SongInfoBlock::kTempo));
}

int CSongData::IsTripletBeat(int bar, int eighth) const {
  if (eighth & 1) return 0;
  const int c = CellIndex(bar, eighth);
  if (c < 0 || c + 1 >= SongCells()) return 0;
  return cells[c].slot[2] != NoteSlotVacant && cells[c + 1].slot[2] != NoteSlotVacant ? 1 : 0;
}

namespace {
int SpanTriplet(const CSongData& song, int c, int span_cells) {
  if (c < 0 || c + span_cells > song.SongCells()) return 0;
  const int step = span_cells;  // starts every `span_cells` slots of 3 * span_cells
  for (int i = 0; i < span_cells * 3; ++i) {
    const int v = song.cells[c + i / 3].slot[i % 3];
    if (i % step == 0) {
      if (v < NoteSlotRest) return 0;
    } else if (v != NoteSlotHold) {
      return 0;
    }
  }
  return 1;
}
}  // namespace

int CSongData::IsQuarterTriplet(int bar, int eighth) const {
  if (eighth % 4 != 0) return 0;
  return SpanTriplet(*this, CellIndex(bar, eighth), 4);
}

int CSongData::IsHalfTriplet(int bar, int eighth) const {
  if (eighth % 8 != 0) return 0;
  return SpanTriplet(*this, CellIndex(bar, eighth), 8);
}

// ---------------------------------------------------------------------------
// Chords

namespace {

void ParseChordText(const std::string& raw, int* root, int* type) {
  std::string text = raw;
  if (text == "Cb")
    text = "B";
  else if (text == "Cb ")
    text = "B ";
  int r = -1;
  size_t root_len = 0;
  for (int i = 0; i < 12; ++i) {
    const size_t n = std::strlen(ChordRootNameTable[i]);
    if (text.compare(0, n, ChordRootNameTable[i]) != 0) continue;
    r = i;
    root_len = n;
    if (text.size() > 1 && text[1] == 'b') {
      r = i - 1;
      root_len = 2;
      break;
    }
  }
  int t = -1;
  if (r >= 0 || root_len > 0) {
    const std::string rest = text.substr(std::min(root_len, text.size()));
    for (int i = 0; i < kChordSuffixCount; ++i)
      if (rest == ChordSuffixTable[i].suffix) {
        t = i;
        break;
      }
  }
  if (r < 0) r = (root_len > 0) ? 11 : -1;  // a flat below C wraps to B
  *root = r;
  *type = t;
}

}  // namespace

void CSongData::GetChord(int bar, int beat, int* root, int* type, int* key, int* bass,
                         int half) const {
  int r = -1, t = -1, bs = -1;
  const long long b = static_cast<long long>(bar) * beats_per_bar + beat;
  if (key) *key = key_index;
  if (bar >= 0 && beat >= 0 && b >= 0 && b < kSongMaxBeats) {
    const ChordCell& cc = chords[b];
    const bool use_second = half == 1 && cc.second[0] != 0;
    const std::string text = FieldText(use_second ? cc.second : cc.first, 8);
    if (text != "Skip") {
      ParseChordText(text, &r, &t);
      bs = use_second || half == 1 ? bass_second[b] : bass_first[b];
    }
  }
  if (root) *root = r;
  if (type) *type = t;
  if (bass) *bass = bs;
}

void CSongData::GetPreviousChord(int bar, int beat, int* root, int* type, int* key,
                                 int* bass) const {
  const long long b = static_cast<long long>(bar) * beats_per_bar + beat;
  if (b <= 0 || beats_per_bar <= 0) {
    if (root) *root = -1;
    if (type) *type = -1;
    if (key) *key = key_index;
    return;
  }
  const int prev = static_cast<int>(b - 1);
  GetChord(prev / beats_per_bar, prev % beats_per_bar, root, type, key, bass, 0);
}

int CSongData::CountSameChordBeats(int bar, int beat) {
  const long long b0 = static_cast<long long>(bar) * beats_per_bar + beat;
  const int beats = SongBeats();
  if (bar < 0 || beat < 0 || b0 >= beats) return 0;
  const std::string name = FieldText(chords[b0].first, 8);
  const uint8_t bass = bass_first[b0];
  int count = 0;
  for (long long b = b0; b < beats; ++b) {
    ChordCell& cc = chords[b];
    if (FieldText(cc.first, 8) != name || bass_first[b] != bass) break;
    if (cc.second[0] != 0) {
      if (!FieldIs(cc.second, 8, name.c_str()) || bass_second[b] != bass) break;
      std::memset(cc.second, 0, 8);
    }
    ++count;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Lyrics and texts

void CSongData::GetCellLyric(int bar, int beat, int half, char* buffer, int slot) {
  buffer[0] = 0;
  const long long c = (static_cast<long long>(bar) * beats_per_bar + beat) * 2 + half;
  if (bar < 0 || beat < 0 || c < 0 || c >= kSongMaxCells) return;
  NoteCell& cell = cells[c];
  auto pattern = [](const char* f) {
    return static_cast<uint8_t>(f[0]) == 0xCD && static_cast<uint8_t>(f[1]) == 0xCD;
  };
  if (slot >= 0 && slot <= 2) {
    if (pattern(cell.lyric[slot])) std::memset(cell.lyric[slot], 0, 8);
    const size_t n = FieldLen(cell.lyric[slot], 7);
    std::memcpy(buffer, cell.lyric[slot], n);
    buffer[n] = 0;
    return;
  }
  std::string joined;
  for (int s = 0; s < 3; ++s) {
    if (s > 0 && pattern(cell.lyric[s])) std::memset(cell.lyric[s], 0, 8);
    joined += FieldText(cell.lyric[s], 7);
  }
  std::memcpy(buffer, joined.data(), joined.size());
  buffer[joined.size()] = 0;
}

void CSongData::GetSlotLyric(int bar, int eighth, char* buffer, bool second) {
  buffer[0] = 0;
  const int c = CellIndex(bar, eighth);
  if (c < 0) return;
  char* field = cells[c].lyric[second ? 1 : 0];
  field[7] = 0;
  const size_t n = FieldLen(field, 8);
  std::memcpy(buffer, field, n);
  buffer[n] = 0;
}

std::string CSongData::GetCellText(int bar, int beat, int eighth_in_beat) {
  const long long c = (static_cast<long long>(bar) * beats_per_bar + beat) * 2 + eighth_in_beat;
  if (bar < 0 || beat < 0 || eighth_in_beat < 0 || c >= kSongMaxCells) {
    ReportError(1);
    return std::string();
  }
  NoteCell& cell = cells[c];
  if (cell.slot[2] < NoteSlotRap) cell.slot[2] = NoteSlotVacant;
  auto slot_text = [](int v) -> std::string {
    if (IsPitch(v)) {
      const int octave = v / 12;
      std::string mark;
      if (octave <= 4)
        mark = "▽";
      else if (octave == 5)
        mark = " ";
      else if (octave == 6)
        mark = "△";
      else if (octave == 7)
        mark = "▲";
      return mark + "\n" + PitchClassNameTable[v % 12].solfege_sharp;
    }
    switch (v) {
      case NoteSlotRest: return "休";
      case NoteSlotHold: return "～";
      case NoteSlotRap: return "x";
      default: return std::string();
    }
  };
  const int s0 = cell.slot[0], s1 = cell.slot[1], s2 = cell.slot[2];
  std::string text;
  if (s0 == NoteSlotHold && s1 == NoteSlotHold && (s2 == NoteSlotHold || s2 == NoteSlotVacant))
    text = "～";
  else if (s0 == NoteSlotHold)
    text = slot_text(s1);
  else {
    text = slot_text(s0);
    if (s1 != NoteSlotHold && s1 != NoteSlotRest) text += slot_text(s1);
  }
  text += slot_text(s2);
  std::string out;
  for (char ch : text)
    if (ch != ' ' && ch != '\n' && ch != '\r') out += ch;
  return out;
}

std::string CSongData::DescribeSlot(int cell, int slot, bool long_form) {
  if (cell < 0 || cell >= kSongMaxCells || slot < 0 || slot > 2) return std::string();
  int32_t& v = cells[cell].slot[slot];
  if (static_cast<uint32_t>(v) == 0xCDCDCDCDu) v = slot == 2 ? NoteSlotVacant : NoteSlotHold;
  switch (v) {
    case NoteSlotRest: return "休符";
    case NoteSlotHold: return long_form ? "音か休符を伸ばす" : "～";
    case NoteSlotVacant: return long_form ? "3連音符を使用しない" : " ";
    case NoteSlotRap: return long_form ? "ﾗｯﾌﾟ音" : "x";
    default: break;
  }
  if (!IsPitch(v)) return std::string();
  const std::string name = PitchClassNameTable[v % 12].solfege_flat;
  std::string text = FormatBoxText(long_form ? "ｵｸﾀｰﾌﾞ%d %s" : "ｵｸﾀｰﾌﾞ%d <%s>", v / 12, name.c_str());
  if (long_form && !name.empty()) {
    if (name.back() == 'b') text += " フラット";
    if (name.back() == '#') text += " シャープ";
  }
  return text;
}

// ---------------------------------------------------------------------------
// Queries nothing in the program calls

int CSongData::SongChecksum() const {
  long long sum = 0;
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 2; ++s)
      if (IsPitch(cells[c].slot[s])) sum += cells[c].slot[s];
  return static_cast<int>(sum % 127) + 1;
}

int CSongData::CountPitches(int* table) const {
  std::fill(table, table + 128, 0);
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) ++table[cells[c].slot[s]];
  return 2 * beats_per_bar * bar_count;
}

int CSongData::LyricLength() const {
  int total = 0;
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s) {
      const size_t len = FieldLen(cells[c].lyric[s], 8);
      if (len > 0 && cells[c].lyric[s][0] != '-') total += static_cast<int>(len);
    }
  return total;
}

int CSongData::CountPitchedSlots() const {
  int count = 0;
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s)
      if (IsPitch(cells[c].slot[s])) ++count;
  return count;
}

int CSongData::HasLyrics() const {
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s)
      if (cells[c].lyric[s][0] != 0 && cells[c].lyric[s][0] != '-') return 1;
  return 0;
}

int CSongData::IsLyricTextSingleByte() const {
  const size_t len = FieldLen(lyrics_area, kLyricsAreaSize);
  for (size_t i = 0; i < len; ++i)
    if (static_cast<uint8_t>(lyrics_area[i]) >= 0x80) return 0;
  return 1;
}

int CSongData::IsUntouched() const {
  const int beats = SongBeats();
  for (int b = 0; b < beats; ++b)
    if (!FieldsEqual(chords[b].first, key_tonic, 8)) return 0;
  for (int c = 0; c < 2 * beats; ++c)
    if (IsPitch(cells[c].slot[0])) return 0;
  return 1;
}

int CSongData::CountHoldRun(int cell) const {
  if (cell < 0 || cell >= kSongMaxCells) return 0;
  int count = 1;
  int k = cell + 1;
  while (k < kSongMaxCells && cells[k].slot[0] == NoteSlotHold) {
    ++count;
    ++k;
  }
  while (k < kSongMaxCells && cells[k].slot[0] == NoteSlotRest) {
    ++count;
    ++k;
  }
  return count;
}

void CSongData::CopyLyricText(char* buffer, size_t size) const {
  if (size == 0) return;
  const size_t len = FieldLen(lyrics_area, kLyricsAreaSize);
  size_t out = 0;
  for (size_t i = 0; i < len;) {
    const char ch = lyrics_area[i];
    if (ch == '\r' || ch == '\n') {
      ++i;
      continue;
    }
    const size_t w = (IsLeadByte(static_cast<uint8_t>(ch)) && i + 1 < len) ? 2 : 1;
    if (out + w > size - 1) break;
    std::memcpy(buffer + out, lyrics_area + i, w);
    out += w;
    i += w;
  }
  buffer[out] = 0;
}

void CSongData::LyricsToRests() {
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int s = 0; s < 3; ++s)
      if (cells[c].lyric[s][0] != 0) {
        cells[c].slot[s] = NoteSlotRest;
        std::memset(cells[c].lyric[s], 0, 8);
      }
}

// ---------------------------------------------------------------------------
// Narrowing the lyrics text

namespace {

// Full-width katakana and their half-width forms.
const char* const kKanaPairs[][2] = {
    {"ァ", "ｧ"}, {"ア", "ｱ"}, {"ィ", "ｨ"}, {"イ", "ｲ"}, {"ゥ", "ｩ"}, {"ウ", "ｳ"}, {"ェ", "ｪ"},
    {"エ", "ｴ"}, {"ォ", "ｫ"}, {"オ", "ｵ"}, {"カ", "ｶ"}, {"ガ", "ｶﾞ"}, {"キ", "ｷ"}, {"ギ", "ｷﾞ"},
    {"ク", "ｸ"}, {"グ", "ｸﾞ"}, {"ケ", "ｹ"}, {"ゲ", "ｹﾞ"}, {"コ", "ｺ"}, {"ゴ", "ｺﾞ"}, {"サ", "ｻ"},
    {"ザ", "ｻﾞ"}, {"シ", "ｼ"}, {"ジ", "ｼﾞ"}, {"ス", "ｽ"}, {"ズ", "ｽﾞ"}, {"セ", "ｾ"}, {"ゼ", "ｾﾞ"},
    {"ソ", "ｿ"}, {"ゾ", "ｿﾞ"}, {"タ", "ﾀ"}, {"ダ", "ﾀﾞ"}, {"チ", "ﾁ"}, {"ヂ", "ﾁﾞ"}, {"ッ", "ｯ"},
    {"ツ", "ﾂ"}, {"ヅ", "ﾂﾞ"}, {"テ", "ﾃ"}, {"デ", "ﾃﾞ"}, {"ト", "ﾄ"}, {"ド", "ﾄﾞ"}, {"ナ", "ﾅ"},
    {"ニ", "ﾆ"}, {"ヌ", "ﾇ"}, {"ネ", "ﾈ"}, {"ノ", "ﾉ"}, {"ハ", "ﾊ"}, {"バ", "ﾊﾞ"}, {"パ", "ﾊﾟ"},
    {"ヒ", "ﾋ"}, {"ビ", "ﾋﾞ"}, {"ピ", "ﾋﾟ"}, {"フ", "ﾌ"}, {"ブ", "ﾌﾞ"}, {"プ", "ﾌﾟ"}, {"ヘ", "ﾍ"},
    {"ベ", "ﾍﾞ"}, {"ペ", "ﾍﾟ"}, {"ホ", "ﾎ"}, {"ボ", "ﾎﾞ"}, {"ポ", "ﾎﾟ"}, {"マ", "ﾏ"}, {"ミ", "ﾐ"},
    {"ム", "ﾑ"}, {"メ", "ﾒ"}, {"モ", "ﾓ"}, {"ャ", "ｬ"}, {"ヤ", "ﾔ"}, {"ュ", "ｭ"}, {"ユ", "ﾕ"},
    {"ョ", "ｮ"}, {"ヨ", "ﾖ"}, {"ラ", "ﾗ"}, {"リ", "ﾘ"}, {"ル", "ﾙ"}, {"レ", "ﾚ"}, {"ロ", "ﾛ"},
    {"ヮ", "ﾜ"}, {"ワ", "ﾜ"}, {"ヲ", "ｦ"}, {"ン", "ﾝ"}, {"ヴ", "ｳﾞ"}, {"ー", "ｰ"}, {"。", "｡"},
    {"「", "｢"}, {"」", "｣"}, {"、", "､"}, {"・", "･"}, {"゛", "ﾞ"}, {"゜", "ﾟ"}, {"　", " "},
};

// The ASCII form of a full-width letter, digit or symbol (two CP932 bytes),
// or 0 when it has none.
char NarrowAscii(uint8_t lead, uint8_t trail) {
  if (lead == 0x82) {
    if (trail >= 0x4F && trail <= 0x58) return static_cast<char>('0' + trail - 0x4F);
    if (trail >= 0x60 && trail <= 0x79) return static_cast<char>('A' + trail - 0x60);
    if (trail >= 0x81 && trail <= 0x9A) return static_cast<char>('a' + trail - 0x81);
    return 0;
  }
  if (lead != 0x81) return 0;
  static const struct {
    uint8_t trail;
    char ascii;
  } kSymbols[] = {{0x49, '!'}, {0x94, '#'}, {0x90, '$'}, {0x93, '%'}, {0x95, '&'}, {0x69, '('},
                  {0x6A, ')'}, {0x96, '*'}, {0x7B, '+'}, {0x43, ','}, {0x7C, '-'}, {0x44, '.'},
                  {0x5E, '/'}, {0x46, ':'}, {0x47, ';'}, {0x83, '<'}, {0x81, '='}, {0x84, '>'},
                  {0x48, '?'}, {0x97, '@'}, {0x6D, '['}, {0x6E, ']'}, {0x4F, '^'}, {0x51, '_'},
                  {0x4D, '`'}, {0x6F, '{'}, {0x62, '|'}, {0x70, '}'}};
  for (const auto& s : kSymbols)
    if (s.trail == trail) return s.ascii;
  return 0;
}

}  // namespace

void CSongData::NarrowLyricText() {
  const size_t len = FieldLen(lyrics_area, kLyricsAreaSize);
  std::string out;
  for (size_t i = 0; i < len;) {
    const uint8_t c = static_cast<uint8_t>(lyrics_area[i]);
    if (IsLeadByte(c) && i + 1 < len) {
      const uint8_t t = static_cast<uint8_t>(lyrics_area[i + 1]);
      std::string narrow;
      if (char a = NarrowAscii(c, t)) {
        narrow = std::string(1, a);
      } else {
        for (const auto& pair : kKanaPairs)
          if (static_cast<uint8_t>(pair[0][0]) == c && static_cast<uint8_t>(pair[0][1]) == t) {
            narrow = pair[1];
            break;
          }
      }
      if (narrow.empty()) narrow.assign(lyrics_area + i, 2);
      out += narrow;
      i += 2;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  // Narrowing never makes the text longer than the whole-width one.
  std::memset(lyrics_area, 0, len);
  std::memcpy(lyrics_area, out.data(), std::min(out.size(), len));
}
