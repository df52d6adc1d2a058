// The main window's lyric commands: the lyric panel's pour and its four buttons, the two Ctrl
// keys and the bar menu's shifts, each working on the song at the cursor and redrawing the
// melody box. A join that would not fit a note's lyric is refused with a box.
#include "app/lyric_edits.h"
#include "app/main_dialog.h"

#include "song/song_data.h"
#include "util/gne.h"

#include <algorithm>

namespace {

constexpr uint32_t kMsgSplitAndPush = 0x8000 + 42;
constexpr uint32_t kMsgSplitToNext = 0x8000 + 43;
constexpr uint32_t kMsgJoinAndPull = 0x8000 + 44;
constexpr uint32_t kMsgJoinNext = 0x8000 + 45;

}  // namespace

int CBrevantDlg::NextSyllable(const char* text, char* syllable) {
  return static_cast<int>(lyric_edit::NextSyllable(text, syllable));
}

bool CBrevantDlg::PrependToNextLyric(const char* text, int cell, int slot) {
  return song && lyric_edit::PrependToNextLyric(*song, text, cell, slot) ==
                     lyric_edit::Outcome::kDone;
}

bool CBrevantDlg::InsertLyricShifting(const char* text, int cell, int slot) {
  return song && lyric_edit::InsertLyricShifting(*song, text, cell, slot) ==
                     lyric_edit::Outcome::kDone;
}

// A cursor of the lyric panel without a place (-1) stands at the song's start.
int CBrevantDlg::LyricCursorCell(int bar, int eighth) {
  int cell = 0;
  CursorCell(&cell, nullptr, std::max(bar, 0), std::max(eighth, 0));
  return cell;
}

void CBrevantDlg::ReportLyricEdit(int outcome) {
  switch (static_cast<lyric_edit::Outcome>(outcome)) {
    case lyric_edit::Outcome::kEmpty: GneMessageBox("LyricDivSend"); break;
    case lyric_edit::Outcome::kTooLong: ErrorMsg(0); break;
    default: break;
  }
}

void CBrevantDlg::PourLyrics(const char* text, int bar, int eighth) {
  if (!song) return;
  lyric_edit::PourLyrics(*song, text, LyricCursorCell(bar, eighth));
  RefreshMelodyBox(1);
}

void CBrevantDlg::LyricEdit(uint32_t message, int bar, int eighth) {
  if (!song) return;
  const int cell = LyricCursorCell(bar, eighth);
  const int slot = cursorHalf == 1 ? 1 : 0;
  lyric_edit::Outcome outcome = lyric_edit::Outcome::kNothing;
  switch (message) {
    case kMsgSplitAndPush: outcome = lyric_edit::SplitEndAndPush(*song, cell, slot); break;
    case kMsgSplitToNext: outcome = lyric_edit::SplitEndToNext(*song, cell, slot); break;
    case kMsgJoinAndPull: outcome = lyric_edit::JoinNextLyricAndPull(*song, cell, slot); break;
    case kMsgJoinNext: outcome = lyric_edit::JoinNextLyric(*song, cell, slot); break;
    default: return;
  }
  ReportLyricEdit(static_cast<int>(outcome));
  RefreshMelodyBox(1);
}

void CBrevantDlg::PullNextLyric(int bar, int eighth) {
  if (!song) return;
  ReportLyricEdit(static_cast<int>(lyric_edit::PullNextLyric(*song, LyricCursorCell(bar, eighth))));
  RefreshMelodyBox(1);
}

void CBrevantDlg::PushLyricsFromCursor(int bar, int eighth) {
  if (!song) return;
  lyric_edit::PushLyricsFromCursor(*song, LyricCursorCell(bar, eighth));
  RefreshMelodyBox(1);
}

void CBrevantDlg::ShiftLyricsLater(int bar) {
  if (!song) return;
  lyric_edit::ShiftLyricsLater(*song, bar);
  RefreshMelodyBox(1);
}

void CBrevantDlg::ShiftLyricsEarlier(int bar) {
  if (!song) return;
  lyric_edit::ShiftLyricsEarlier(*song, bar);
  RefreshMelodyBox(1);
}
