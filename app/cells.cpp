// The chord and note cells of the main window: the chord cursor on a beat and the note cursor on
// a sixteenth, the chord names of the visible bars, entering the panels' chords and notes, and
// runs of notes made triplets.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "draw/chord_cell_picture.h"
#include "draw/counter_picture.h"
#include "draw/main_dialog_helper.h"
#include "music/midi_out_device.h"
#include "platform/core/clock.h"
#include "platform/qt/app_message.h"
#include "song/cantrel_uty.h"
#include "song/song_data.h"
#include "util/music_names.h"

#include <QComboBox>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string FieldText(const char* field) { return std::string(field, strnlen(field, 8)); }

// A chord name as the cell shows it: spelled for the key, with its slash bass.
std::string CellName(const std::string& name, int bass, int keyRow) {
  char text[CCantrelUty::kSpellingSize + 8] = {};
  CCantrelUty::SpellRootForKey(keyRow, text, name.c_str());
  AppendSlashBass(text, static_cast<int8_t>(bass), keyRow);
  return text;
}

// Source and target slots of the triplet figures, counted from the first slot of the run.
struct TripletPattern {
  int run;  // slots
  int count;
  int source[4];
  int target[4];
};
constexpr TripletPattern kTripletPatterns[6] = {
    {12, 3, {0, 3, 9}, {0, 4, 8}},       {6, 3, {0, 1, 4}, {0, 2, 4}},
    {6, 4, {0, 1, 3, 4}, {0, 1, 2, 3}},  {12, 3, {0, 6, 9}, {0, 4, 8}},
    {6, 2, {0, 3}, {0, 4}},              {3, 2, {0, 1}, {0, 2}},
};

}  // namespace

// ------------------------------------------------------------------------------ chord cells

void CBrevantDlg::GetChordCell(int bar, int beat, char* text, int* attribute) const {
  const long long b = static_cast<long long>(bar) * SongBeatsPerBar() + beat;
  if (text) text[0] = '\0';
  if (attribute) *attribute = 0;
  if (!song || b < 0 || b >= kSongMaxBeats) return;
  if (text) {
    const std::string name = FieldText(song->chords[b].first);
    std::memcpy(text, name.c_str(), name.size() + 1);
  }
  if (attribute) *attribute = song->bass_first[b];
}

void CBrevantDlg::GetNextChordCell(int bar, int beat, char* text, int* attribute) const {
  const int beats = SongBeatsPerBar();
  const int last = std::max(0, std::min(song ? song->SongBeats() : 0, kSongMaxBeats) - 1);
  const int b = std::min(bar * beats + beat + 1, last);
  GetChordCell(b / beats, b % beats, text, attribute);
}

void CBrevantDlg::GetPreviousChordCell(int bar, int beat, char* text, int* attribute) const {
  const int beats = SongBeatsPerBar();
  const int b = std::max(bar * beats + beat - 1, 0);
  GetChordCell(b / beats, b % beats, text, attribute);
}

void CBrevantDlg::SetChordCell(int bar, int beat, const char* text, int attribute) {
  const long long b = static_cast<long long>(bar) * SongBeatsPerBar() + beat;
  if (!song || !text || b < 0 || b >= kSongMaxBeats) return;
  char* field = song->chords[b].first;
  std::memset(field, 0, 8);
  std::memcpy(field, text, strnlen(text, 7));
  song->bass_first[b] = static_cast<uint8_t>(attribute);
}

void CBrevantDlg::SetChordCursor(int cell, int beat, int follow) {
  if (!song) return;
  const int bar = SongBarOfCell(cell);
  if (!GrowSongTo(bar + 1)) return;
  chordFields.entryMode = 0;
  if (follow == 1 && !melodyFields.visible) {
    melodyFields.cursorBar = bar;
    melodyFields.cursorEighth = beat * 2;
    melodyFields.changed = 0;
  } else if (follow == 0) {
    cursorBar = cell;
    cursorEighth = beat * 2;
    cursorHalf = 0;
  }
  ShowChordCellCursor(cell, beat);
  const int beats = SongBeatsPerBar();
  chordFields.beats = std::min(song->CountSameChordBeats(bar, beat), beats - beat);
  int key = 0;
  song->GetPreviousChord(bar, beat, &chordFields.previousRoot, &chordFields.previousType, &key,
                         &chordFields.previousBass);
  chordFields.previousKey = key;
  chordFields.listsEnabled = true;
  song->GetChord(bar, beat, &chordFields.root, &chordFields.type, &chordFields.key,
                 &chordFields.bass, chordFields.entryMode == 1 ? 1 : 0);
  if (chordFields.root == -1 && chordFields.type == -1 && chordFields.bass == -1) {
    // A "Skip" beat: the panel offers to erase.
    chordFields.entryMode = 2;
    chordFields.listsEnabled = false;
  }
  chordFields.keyRow = SelectedKeyRow();
  chordFields.cursorBar = bar;
  chordFields.cursorBeat = beat;
  ++chordFields.refreshes;
  chordFields.visible = true;
  ShowChordPanel();
  if (follow == 0 && melodyFields.visible) plat::PostAppMessage(this, kMsgApp + 14);
  RefreshScore(0);
}

void CBrevantDlg::MoveChordCursorNext() {
  const int beats = SongBeatsPerBar();
  int cell = std::max(cursorBar, 0);
  int b = std::max(cursorEighth, 0) / 2 + 1;
  if (b >= beats) {
    ++cell;
    b = 0;
  }
  if (SongBarOfCell(cell) >= kSongMaxBeats / beats) {
    Beep(100);
    return;
  }
  // The cursor walks on to the next row of the page, which scrolls when it has to.
  if (cell >= g_barsPerPage) {
    const int before = topRow;
    ScrollRowDown();
    cell -= (topRow - before) * g_barsPerRow;
    if (cell >= g_barsPerPage) {
      cell = g_barsPerPage - 1;
      b = beats - 1;
    }
  }
  SetChordCursor(cell, b, 0);
}

void CBrevantDlg::MoveChordCursorPrevious() {
  const int beats = SongBeatsPerBar();
  int cell = std::max(cursorBar, 0);
  int b = std::max(cursorEighth, 0) / 2 - 1;
  if (b < 0) {
    --cell;
    b = beats - 1;
  }
  if (cell < 0) {
    const int before = topRow;
    ScrollRowUp();
    cell += (before - topRow) * g_barsPerRow;
    if (cell < 0) {
      cell = 0;
      b = 0;
    }
  }
  SetChordCursor(cell, b, 0);
}

void CBrevantDlg::ShowChordCellCursor(int cell, int beat) {
  if (!chordCells) return;
  for (int c = 0; c < CChordCellPicture::Count(); ++c) CChordCellPicture::ClearCursor(c);
  if (cell >= 0 && cell < g_barsPerPage) CChordCellPicture::SetCursor(cell, 0, beat);
  CChordCellPicture::DrawAll();
  CChordCellPicture::BlitAll();
}

std::string CBrevantDlg::ChordCellText(int beat, bool* active) const {
  const int K = SelectedKeyRow();
  ChordCell& cell = song->chords[beat];
  const uint8_t lead = static_cast<uint8_t>(cell.second[0]);
  if (lead == 0xCD || lead == 0xCC) std::memset(cell.second, 0, 8);
  const std::string A = FieldText(cell.first);
  std::string B = FieldText(cell.second);
  const int a = song->bass_first[beat], b = song->bass_second[beat];
  if (B.empty() && a != b) B = A;
  std::string P, Q;
  int p = 0, q = 0;
  if (beat > 0) {
    P = FieldText(song->chords[beat - 1].first);
    Q = FieldText(song->chords[beat - 1].second);
    p = song->bass_first[beat - 1];
    q = song->bass_second[beat - 1];
  }
  *active = true;
  if (A == "----" || A == "Skip") {
    *active = false;
    return std::string();
  }
  const bool barStart = beat % SongBeatsPerBar() == 0;
  if (!barStart && A == P && a == p && B == Q && b == q && (Q.empty() || (Q == P && q == p))) {
    return std::string();  // the chord goes on unchanged
  }
  std::string name1 = CellName(A, a, K);
  if (B.empty()) return name1;
  const std::string name2 = CellName(B, b, K);
  const bool continues = !barStart && ((A == Q && a == q) || (A == P && a == p && Q.empty()));
  return continues ? "|" + name2 : name1 + "|" + name2;
}

void CBrevantDlg::RedrawChordCells() {
  if (!chordCells || !song) return;
  const int beats = SongBeatsPerBar();
  for (int c = 0; c < g_barsPerPage; ++c) {
    const int bar = SongBarOfCell(c);
    for (int j = 0; j < 4; ++j) {
      const int beat = bar * beats + j;
      bool active = j < beats && bar < song->bar_count && beat < kSongMaxBeats;
      std::string text;
      if (active) text = ChordCellText(beat, &active);
      CChordCellPicture::SetCellText(c, j, text, 0);
      CChordCellPicture::SetCellActive(c, 0, j, active ? 1 : 0);
    }
  }
  CChordCellPicture::DrawAll();
  CChordCellPicture::BlitAll();
}

void CBrevantDlg::EnterChord() {
  if (!song) return;
  const ChordPanelFields& f = chordFields;
  if (g_isPlaying.load() != 1 && f.root >= 0 && f.type >= 0) {
    int pitches[8] = {};
    const int count = CCantrelCommon::GetChordPitches(pitches, f.root, f.type, f.bass);
    ReopenAuditionDevice();
    if (g_auditionDevice) {
      for (int i = 0; i < count; ++i) g_auditionDevice->NoteOn(pitches[i], config.inputVelocity, 0);
      plat::SleepMs(30);
      for (int i = 0; i < count; ++i) g_auditionDevice->NoteOff(pitches[i], 0);
    }
  }
  song->TakeUndoSnapshot();
  const int mode = f.entryMode;
  song->SetChord(f.cursorBar, f.cursorBeat, f.root, f.type, f.beats, f.bass, mode == 1);
  // A chord entered on the second half of a beat also fills the following beats of the bar.
  if (mode == 1 && f.beats - 1 > 0 && f.cursorBeat + 1 < SongBeatsPerBar()) {
    song->SetChord(f.cursorBar, f.cursorBeat + 1, f.root, f.type, f.beats - 1, f.bass, false);
  }
  RedrawChordCells();
  ShowChordCellCursor(f.cursorBar - topRow * g_barsPerRow, f.cursorBeat);
}

void CBrevantDlg::EnterChordOnBeat() {
  if (!song) return;
  const ChordPanelFields& f = chordFields;
  song->TakeUndoSnapshot();
  song->SetChord(f.cursorBar, f.cursorBeat, f.root, f.type, 1, f.bass, false);
  RedrawChordCells();
}

// ------------------------------------------------------------------------------- note cells

// The melody panel's fields take the note at (bar, eighth) of the song: its second sixteenth when
// `half` is 1 and the cell is split. Gives the half shown (0 or 1). A place outside the song only
// moves the panel's position there.
int CBrevantDlg::LoadMelodyFields(int bar, int eighth, int half) {
  MelodyPanelFields& m = melodyFields;
  const bool inSong = song->CellIndex(bar, eighth) >= 0;
  const bool second = half == 1 && inSong && song->IsCellSplit(bar, eighth);
  char text[32];
  std::snprintf(text, sizeof text, second ? "%03d-%02d.5" : "%03d-%02d", bar + 1, eighth + 1);
  m.position = text;
  m.cursorBar = bar;
  m.cursorEighth = eighth;
  m.secondSixteenth = second ? 1 : 0;
  m.changed = 0;
  if (!inSong) return 0;
  char lyric[8] = {};
  int value;
  if (second) {
    value = song->GetSecondSlot(bar, eighth);
    m.lengthRow = CSongData::NoteValueIndex(song->GetSlotLength(bar, eighth, true));
  } else {
    value = song->GetSlotValue(bar, eighth, false);
    m.lengthRow = CSongData::NoteValueIndex(song->GetNoteLength(bar, eighth));
  }
  song->GetSlotLyric(bar, eighth, lyric, second);
  CSongData::SplitPitch(value, &m.typeRow, &m.nameRow);
  m.pitch = value;
  m.lyric.assign(lyric, strnlen(lyric, 7));
  return second ? 1 : 0;
}

void CBrevantDlg::SetNoteCursor(int cell, int eighth, int half) {
  if (!song) return;
  const int bar = SongBarOfCell(cell);
  if (!GrowSongTo(bar + 1)) return;
  cursorHalf = LoadMelodyFields(bar, eighth, half);
  MelodyPanelFields& m = melodyFields;
  m.visible = true;
  ShowMelodyPanel();
  if (chordFields.visible) SetChordCursor(cell, eighth / 2, 1);
  cursorBar = cell;
  cursorEighth = eighth;
  RefreshMelodyBox(0);
  RefreshScore(0);
  if (barCounter) CCounterPicture::SetValue(0, bar + 1);
  AuditionPanelNote();
}

void CBrevantDlg::GoToNotePosition(int bar, int eighth, int half) {
  // The page follows the cursor a row at a time.
  for (int guard = 0; guard < kSongMaxBeats && bar >= (topRow * g_barsPerRow + g_barsPerPage);
       ++guard) {
    const int before = topRow;
    ScrollRowDown();
    if (topRow == before) break;
  }
  for (int guard = 0; guard < kSongMaxBeats && bar < topRow * g_barsPerRow; ++guard) {
    const int before = topRow;
    ScrollRowUp();
    if (topRow == before) break;
  }
  const int cell = bar - topRow * g_barsPerRow;
  if (cell < 0 || cell >= g_barsPerPage) return;
  SetNoteCursor(cell, eighth, half);
}

void CBrevantDlg::MoveNoteCursorNext() {
  if (!song) return;
  const int eighths = SongBeatsPerBar() * 2;
  const int limit = kSongMaxBeats / SongBeatsPerBar();
  int bar = SongBarOfCell(std::max(cursorBar, 0));
  int e = std::max(cursorEighth, 0);
  if (cursorHalf == 0 && song->IsCellSplit(bar, e)) {
    GoToNotePosition(bar, e, 1);
    return;
  }
  for (;;) {
    if (++e >= eighths) {
      e = 0;
      ++bar;
    }
    if (bar >= limit) {
      ErrorMsg(0);
      return;
    }
    const int c = song->CellIndex(bar, e);
    if (c < 0) {
      ErrorMsg(0);
      return;
    }
    if (song->cells[c].slot[0] != NoteSlotHold) {
      GoToNotePosition(bar, e, 0);
      return;
    }
    if (song->cells[c].slot[1] != NoteSlotHold) {
      GoToNotePosition(bar, e, 1);
      return;
    }
  }
}

void CBrevantDlg::MoveNoteCursorPrevious() {
  if (!song) return;
  const int eighths = SongBeatsPerBar() * 2;
  int bar = SongBarOfCell(std::max(cursorBar, 0));
  int e = std::max(cursorEighth, 0);
  const int here = song->CellIndex(bar, e);
  if (cursorHalf == 1 && here >= 0 && song->cells[here].slot[0] != NoteSlotHold) {
    GoToNotePosition(bar, e, 0);
    return;
  }
  for (;;) {
    if (--e < 0) {
      e = eighths - 1;
      --bar;
    }
    if (bar < 0) {
      GoToNotePosition(0, 0, 0);
      return;
    }
    const int c = song->CellIndex(bar, e);
    if (c < 0) continue;
    if (song->IsCellSplit(bar, e)) {
      GoToNotePosition(bar, e, 1);
      return;
    }
    if (song->cells[c].slot[0] != NoteSlotHold) {
      GoToNotePosition(bar, e, 0);
      return;
    }
  }
}

void CBrevantDlg::EnterPanelNote(int audition, int boxMode, int draw) {
  if (!song) return;
  MelodyPanelFields& m = melodyFields;
  const int bar = m.cursorBar, eighth = m.cursorEighth;
  const bool second = m.secondSixteenth == 1;
  const int c = song->CellIndex(bar, eighth);
  if (c < 0) return;
  // Only what the user changed is entered: the panel's rows cannot show every cell (pitches
  // outside its registers, lengths without a row), and after an undo or another edit they show
  // an older note.
  const int changed = m.changed;
  if (changed == 0) return;
  const int current = song->cells[c].slot[second ? 1 : 0];
  const bool startsEvent = current >= NoteSlotRest || current == NoteSlotRap;
  const bool newLength = (changed & MelodyPanelFields::kLengthChanged) || !startsEvent;
  const int value = (changed & MelodyPanelFields::kPitchChanged) || !startsEvent
                        ? CSongData::PitchFromRows(m.typeRow, m.nameRow)
                        : current;
  // A note that would pass the song's 1024 beats changes nothing.
  if (newLength && !GrowForNote(bar, eighth, m.lengthRow, second ? 1 : 0)) return;
  song->TakeUndoSnapshot();
  m.changed = 0;
  if (g_isPlaying.load() != 1 && audition == 1) AuditionPanelNote();
  if (changed & MelodyPanelFields::kLyricChanged) {
    song->SetLyric(bar, eighth, m.lyric.c_str(), second);
  }
  if (newLength) {
    song->SetNote(bar, eighth, value, m.lengthRow, second);
  } else if (value != current) {
    // The event keeps its length and its lyric.
    song->cells[c].slot[second ? 1 : 0] = value;
    song->UpdatePitchRange(-1);
  }
  RefreshMelodyBox(boxMode);
  if (draw == 1) {
    double length = 0;
    song->GetNoteAt(bar, eighth, &length, second);
    const bool across = eighth + length + (second ? 0.5 : 0.0) > SongBeatsPerBar() * 2;
    RefreshScore(across ? 1 : 0);
  }
  ShowChordCellCursor(bar - topRow * g_barsPerRow, eighth / 2);
}

void CBrevantDlg::MakeTriplets(int pattern, int atEnd) {
  if (!song || pattern < 0 || pattern > 5) return;
  const TripletPattern& p = kTripletPatterns[pattern];
  int E = song->CellIndex(melodyFields.cursorBar, melodyFields.cursorEighth);
  if (atEnd) E -= p.run / 3;
  // The run lies wholly within the song's cells, or nothing changes.
  if (E < 0 || E + p.run / 3 > song->SongCells()) {
    Beep(100);
    return;
  }
  song->TakeUndoSnapshot();
  auto slot = [&](int x) -> int32_t& { return song->cells[E + x / 3].slot[x % 3]; };
  int values[4] = {};
  for (int i = 0; i < p.count; ++i) values[i] = slot(p.source[i]);
  for (int x = 0; x < p.run; ++x) slot(x) = NoteSlotHold;
  for (int i = 0; i < p.count; ++i) slot(p.target[i]) = values[i];
  RefreshScore(0);
}
