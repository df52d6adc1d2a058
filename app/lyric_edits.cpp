#include "app/lyric_edits.h"

#include "draw/text_limits.h"
#include "song/song_data.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lyric_edit {

namespace {

// A slot position as one number: cell x 3 + slot.
int PositionCount(const CSongData& song) { return song.SongCells() * 3; }

bool IsPitched(const CSongData& song, int position) {
  return song.cells[position / 3].slot[position % 3] > 0;
}

std::string LyricOfPosition(const CSongData& song, int position) {
  return LyricAt(song, position / 3, position % 3);
}

void SetLyricOfPosition(CSongData& song, int position, const std::string& text) {
  SetLyricAt(song, position / 3, position % 3, text);
}

// Every pitched position from `first` on, in order.
std::vector<int> PitchedFrom(const CSongData& song, int first) {
  std::vector<int> out;
  for (int p = std::max(first, 0); p < PositionCount(song); ++p) {
    if (IsPitched(song, p)) out.push_back(p);
  }
  return out;
}

bool IsSeparator(char c) { return c == ' ' || c == '\r' || c == '\n'; }

// Skips one separator at text[i] (a carriage return or blank takes a line feed after it).
size_t SkipSeparator(const char* text, size_t i) {
  const char c = text[i];
  if (!IsSeparator(c)) return i;
  ++i;
  if (c != '\n' && text[i] == '\n') ++i;
  return i;
}

// The cursor lyric with the first character of `next` appended, and `next` without it.
bool TakeFirstChar(std::string* into, std::string* from) {
  const size_t n = FirstCharLength(*from);
  if (into->size() + n > kLyricBytes) return false;
  into->append(*from, 0, n);
  from->erase(0, n);
  return true;
}

Outcome SplitEnd(CSongData& song, int cell, int slot, bool push) {
  if (cell < 0 || cell >= song.SongCells() || slot < 0 || slot > 2) return Outcome::kNothing;
  if (song.cells[cell].slot[slot] < 0) return Outcome::kNothing;
  std::string lyric = LyricAt(song, cell, slot);
  if (lyric.empty()) return Outcome::kEmpty;
  const size_t cut = lyric.size() == 1 ? 0 : LastCharStart(lyric);
  const std::string piece = lyric.substr(cut);
  lyric.erase(cut);
  // The piece goes on first: with no note to take it, or a join that does not fit, the cursor
  // lyric stays whole.
  const Outcome moved = push ? InsertLyricShifting(song, piece.c_str(), cell, slot)
                             : PrependToNextLyric(song, piece.c_str(), cell, slot);
  if (moved != Outcome::kDone) return moved;
  SetLyricAt(song, cell, slot, lyric);
  return Outcome::kDone;
}

}  // namespace

size_t FirstCharLength(const std::string& text) {
  if (text.empty()) return 0;
  return GneIsLeadByte(static_cast<uint8_t>(text[0])) && text.size() > 1 ? 2 : 1;
}

size_t LastCharStart(const std::string& text) {
  size_t i = 0, last = 0;
  while (i < text.size()) {
    last = i;
    i += FirstCharLength(text.substr(i, 2));
  }
  return last;
}

std::string LyricAt(const CSongData& song, int cell, int slot) {
  const std::string raw = SlotText(song.cells[cell].lyric[slot], kLyricBytes);
  return raw.substr(0, Cp932FitLength(raw, kLyricBytes));
}

void SetLyricAt(CSongData& song, int cell, int slot, const std::string& text) {
  CopyToSlot(song.cells[cell].lyric[slot], sizeof song.cells[cell].lyric[slot], text);
}

size_t NextSyllable(const char* text, char* syllable) {
  size_t i = 0;
  size_t n = 0;
  if (syllable) std::memset(syllable, 0, kLyricBytes + 1);
  if (!text) return 0;
  while (text[i] != '\0') {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    if (IsSeparator(text[i])) {
      i = SkipSeparator(text, i);
      break;
    }
    if (c == 0x81 && static_cast<uint8_t>(text[i + 1]) == 0x40) {
      i += 2;
      if (text[i] == '\n') ++i;
      break;
    }
    const size_t width = GneIsLeadByte(c) && text[i + 1] != '\0' ? 2 : 1;
    // A character that would pass the slot starts the next syllable.
    if (n + width > kLyricBytes) break;
    if (syllable) std::memcpy(syllable + n, text + i, width);
    n += width;
    i += width;
    if (n >= kLyricBytes) {
      i = SkipSeparator(text, i);
      break;
    }
  }
  return i;
}

int PourLyrics(CSongData& song, const char* text, int cell) {
  if (!text) return 0;
  int written = 0;
  size_t at = 0;
  for (int p = std::max(cell, 0) * 3; p < PositionCount(song) && text[at] != '\0'; ++p) {
    const int v = song.cells[p / 3].slot[p % 3];
    if (v <= 0 && v != NoteSlotRap) continue;
    char syllable[kLyricBytes + 1];
    at += NextSyllable(text + at, syllable);
    SetLyricOfPosition(song, p, syllable);
    ++written;
  }
  return written;
}

bool NextPitchedSlot(const CSongData& song, int* cell, int* slot) {
  for (int p = std::max(*cell * 3 + *slot + 1, 0); p < PositionCount(song); ++p) {
    if (IsPitched(song, p)) {
      *cell = p / 3;
      *slot = p % 3;
      return true;
    }
  }
  return false;
}

Outcome PrependToNextLyric(CSongData& song, const char* text, int cell, int slot) {
  if (!text || !NextPitchedSlot(song, &cell, &slot)) return Outcome::kNothing;
  const std::string joined = std::string(text) + LyricAt(song, cell, slot);
  if (joined.size() > kLyricBytes) return Outcome::kTooLong;
  SetLyricAt(song, cell, slot, joined);
  return Outcome::kDone;
}

Outcome InsertLyricShifting(CSongData& song, const char* text, int cell, int slot) {
  if (!text) return Outcome::kNothing;
  if (std::strlen(text) > kLyricBytes) return Outcome::kTooLong;
  std::string carried = text;
  bool any = false;
  for (int p : PitchedFrom(song, cell * 3 + slot + 1)) {
    std::string own = LyricOfPosition(song, p);
    SetLyricOfPosition(song, p, carried);
    carried.swap(own);
    any = true;
  }
  return any ? Outcome::kDone : Outcome::kNothing;
}

Outcome SplitEndToNext(CSongData& song, int cell, int slot) {
  return SplitEnd(song, cell, slot, false);
}

Outcome SplitEndAndPush(CSongData& song, int cell, int slot) {
  return SplitEnd(song, cell, slot, true);
}

Outcome JoinNextLyric(CSongData& song, int cell, int slot) {
  if (cell < 0 || cell >= song.SongCells() || slot < 0 || slot > 2) return Outcome::kNothing;
  int c = cell, s = slot;
  if (!NextPitchedSlot(song, &c, &s)) return Outcome::kNothing;
  std::string into = LyricAt(song, cell, slot);
  std::string from = LyricAt(song, c, s);
  if (from.empty()) return Outcome::kNothing;
  if (!TakeFirstChar(&into, &from)) return Outcome::kTooLong;
  SetLyricAt(song, cell, slot, into);
  SetLyricAt(song, c, s, from);
  return Outcome::kDone;
}

Outcome JoinNextLyricAndPull(CSongData& song, int cell, int slot) {
  if (cell < 0 || cell >= song.SongCells() || slot < 0 || slot > 2) return Outcome::kNothing;
  // The chain: the cursor, then pitched slots up to the first without a lyric.
  std::vector<int> chain = {cell * 3 + slot};
  for (int p : PitchedFrom(song, cell * 3 + slot + 1)) {
    if (LyricOfPosition(song, p).empty()) break;
    chain.push_back(p);
  }
  if (chain.size() < 2) return Outcome::kNothing;
  // Every join is worked out first; one that does not fit leaves the song as it was.
  std::vector<std::string> texts;
  for (int p : chain) texts.push_back(LyricOfPosition(song, p));
  for (size_t i = 0; i + 1 < texts.size(); ++i) {
    if (!TakeFirstChar(&texts[i], &texts[i + 1])) return Outcome::kTooLong;
  }
  for (size_t i = 0; i < chain.size(); ++i) SetLyricOfPosition(song, chain[i], texts[i]);
  return Outcome::kDone;
}

Outcome PullNextLyric(CSongData& song, int cell) {
  if (cell < 0 || cell >= song.SongCells()) return Outcome::kNothing;
  // Lyric places from the cursor cell on, latest first within a cell as the walk meets them.
  int cursorPlace = -1;
  for (int s = 2; s >= 0 && cursorPlace < 0; --s) {
    if (!LyricAt(song, cell, s).empty()) cursorPlace = cell * 3 + s;
  }
  std::vector<int> later;
  for (int p = (cell + 1) * 3; p < PositionCount(song); ++p) {
    if (!LyricOfPosition(song, p).empty()) later.push_back(p);
  }
  if (later.empty()) return Outcome::kNothing;
  if (cursorPlace >= 0) {
    const std::string joined = LyricOfPosition(song, cursorPlace) + LyricOfPosition(song, later[0]);
    if (joined.size() > kLyricBytes) return Outcome::kTooLong;
    SetLyricOfPosition(song, cursorPlace, joined);
  }
  // Each lyric moves one lyric place earlier; the last place empties.
  for (size_t i = 0; i + 1 < later.size(); ++i) {
    SetLyricOfPosition(song, later[i], LyricOfPosition(song, later[i + 1]));
  }
  SetLyricOfPosition(song, later.back(), "");
  return Outcome::kDone;
}

void PushLyricsFromCursor(CSongData& song, int cell) {
  std::string carried;
  for (int p = std::max(cell, 0) * 3; p < PositionCount(song); ++p) {
    if (song.cells[p / 3].slot[p % 3] < 0) continue;
    std::string own = LyricOfPosition(song, p);
    SetLyricOfPosition(song, p, carried);
    carried.swap(own);
  }
}

void ShiftLyricsLater(CSongData& song, int bar) {
  const int first = song.CellIndex(std::max(bar, 0), 0);
  if (first < 0) return;
  std::string carried;
  for (int p : PitchedFrom(song, first * 3)) {
    std::string own = LyricOfPosition(song, p);
    SetLyricOfPosition(song, p, carried);
    carried.swap(own);
  }
}

void ShiftLyricsEarlier(CSongData& song, int bar) {
  const int first = song.CellIndex(std::max(bar, 0), 0);
  if (first < 0) return;
  const std::vector<int> pitched = PitchedFrom(song, first * 3);
  for (size_t i = 1; i < pitched.size(); ++i) {
    SetLyricOfPosition(song, pitched[i - 1], LyricOfPosition(song, pitched[i]));
  }
}

}  // namespace lyric_edit
