// The melody and chord panels on the main window: making them with their buttons, showing them
// as the cursors move, and the window's side of their messages (notes from the PC keys and a MIDI
// keyboard, the panel's lyric, chords from the chord dictionary and from an opened song).
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "dialogs/chord_panel.h"
#include "dialogs/import_tool_dialog.h"
#include "dialogs/melody_panel.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/main_dialog_helper.h"
#include "platform/qt/app_message.h"
#include "platform/qt/text_drag_drop.h"
#include "song/song_data.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <cstring>

namespace {

// A button the window puts on a panel: code (= control id in the button set), caption at a scale
// of exactly 100 and at others, bitmaps at 100 and at others, rectangle in the panel.
struct PanelButton {
  int code;
  const char* caption100;
  const char* captionOther;
  int up;
  int down100;
  int downOther;
  plat::Rect rect;
};

constexpr PanelButton kMelodyButtons[] = {
    {14, "", "", 175, 174, 174, {350, 157, 390, 191}},
    {15, "", "", 177, 176, 176, {390, 157, 430, 191}},
    {16, " ｷﾞﾀｰ", "  ｷﾞﾀｰ", 233, 234, 233, {325, 192, 378, 222}},
    {17, " 3連", "  3連", 233, 234, 233, {376, 192, 429, 222}},
    {18, "", "", 263, 264, 264, {308, 157, 342, 191}},
};
constexpr PanelButton kChordButtons[] = {
    {19, "", "", 192, 191, 191, {430, 18, 464, 52}},
    {20, "", "", 190, 193, 193, {464, 18, 498, 52}},
    {21, " 検 索", " 検 索", 233, 234, 234, {515, 18, 568, 48}},
};

// Client sizes of the panels (with and without their advice boxes).
constexpr int kMelodyWidth = 432;
constexpr int kMelodyWideWidth = 446;  // display scale 150 and more
constexpr int kMelodyHeight = 312;
constexpr int kMelodyShortHeight = 224;
constexpr int kChordWidth = 589;
constexpr int kChordHeight = 222;
constexpr int kChordShortHeight = 148;

constexpr uint32_t kMsgMelodyInputMode = 0x8000 + 33;

// The root letters of the chord codes (lower case = the flat of the next letter up).
constexpr char kRootLetters[] = "CdDeEFgGaAbB";

}  // namespace

// ---- what the panels use of the window ----------------------------------------------------------

void CBrevantDlg::SendToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  WindowProc(message, wparam, lparam);
}

CSongData* CBrevantDlg::Song() { return song.get(); }
int CBrevantDlg::KeyRow() const { return SelectedKeyRow(); }

void CBrevantDlg::KeyboardRange(int* lowest, int* highest) const {
  *lowest = config.keyboardLow;
  *highest = config.keyboardHigh;
}

// ---- start-up ---------------------------------------------------------------------------------

void CBrevantDlg::CreatePanels() {
  auto* melody = new CMelodyDlg(this);
  melody->SetPanelOwner(this);
  melody->Create();
  melody->FillNoteLengthLists();
  g_melodyPanel = melody;

  auto* chord = new CChordDlg(this);
  chord->SetPanelOwner(this);
  chord->Create();
  chord->FillTypeAndKeyLists();
  g_chordPanel = chord;

  ResizePanelsForAdvice();
  AddPanelButtons();

  chordFields.keyRow = song ? std::clamp(static_cast<int>(song->key_index), 0, kKeySignatureCount - 1) : 0;
  chord->BuildKeyChordTable();
  chord->RefreshForKey();
  plat::PostAppMessage(melody, kMsgMelodyInputMode, static_cast<uintptr_t>(config.inputMode));
  CreateSidePanels();
  CreateImportTool();
}

void CBrevantDlg::AddPanelButtons() {
  if (!g_toolbarButtons || !g_melodyPanel || !g_chordPanel) return;
  const bool at100 = g_displayScale == 100;
  auto add = [at100](const PanelButton& b, COffScreenControl* host) {
    g_toolbarButtons->AddButton(host, b.rect, at100 ? b.caption100 : b.captionOther, b.up,
                                at100 ? b.down100 : b.downOther, b.code);
  };
  for (int i = 0; i < 5; ++i) add(kMelodyButtons[i], g_melodyPanel->buttonHosts[i]);
  for (int i = 0; i < 3; ++i) add(kChordButtons[i], g_chordPanel->buttonHosts[i]);
  if (!at100) {
    CButtonPicture::SetFontHeight(16, 16);
    CButtonPicture::SetFontHeight(17, 16);
  }
  CButtonPicture::DrawAll();
  CButtonPicture::BlitRange(14, 21);
}

void CBrevantDlg::ResizePanelsForAdvice() {
  if (!g_melodyPanel || !g_chordPanel) return;
  const bool advice = config.adviceShown != 0;
  g_melodyPanel->adviceBox->setVisible(advice);
  g_chordPanel->adviceBox->setVisible(advice);
  const int width = g_displayScale >= 150 ? kMelodyWideWidth : kMelodyWidth;
  g_melodyPanel->setFixedSize(width, advice ? kMelodyHeight : kMelodyShortHeight);
  g_chordPanel->setFixedSize(kChordWidth, advice ? kChordHeight : kChordShortHeight);
}

void CBrevantDlg::ReleasePanels() {
  // The triplet panel draws the melody panel's picture and the guitar panel posts to that panel:
  // they go first.
  ReleaseSidePanels();
  // The tool waits for a file it is still reading; its song goes with it.
  importDropTarget.reset();
  delete importTool;
  importTool = nullptr;
  // The buttons on the panels go with the button set, before the panels.
  delete g_melodyPanel;
  g_melodyPanel = nullptr;
  delete g_chordPanel;
  g_chordPanel = nullptr;
}

// ---- the panels follow the cursors ----------------------------------------------------------------

void CBrevantDlg::ShowMelodyPanel() {
  if (!g_melodyPanel) return;
  g_melodyPanel->ShowCursorNote();
  if (!g_melodyPanel->isVisible()) g_melodyPanel->show();
}

void CBrevantDlg::MelodyPanelFollowsChordCursor() {
  if (!song || !melodyFields.visible) return;
  const int cell = std::max(cursorBar, 0), eighth = std::max(cursorEighth, 0);
  const int c = song->CellIndex(SongBarOfCell(cell), eighth);
  if (c < 0) return;
  if (song->cells[c].slot[0] == NoteSlotHold) {
    melodyFields.visible = false;
    if (g_melodyPanel) g_melodyPanel->hide();
    return;
  }
  SetNoteCursor(cell, eighth, 0);
}

void CBrevantDlg::ShowChordPanel() {
  if (!g_chordPanel) return;
  if (!g_chordPanel->isVisible()) g_chordPanel->show();
  g_chordPanel->PostRefresh();
}

void CBrevantDlg::FocusLyricBox() {
  if (!g_melodyPanel || !g_melodyPanel->isVisible()) return;
  g_melodyPanel->activateWindow();
  g_melodyPanel->lyricBox->setFocus();
}

void CBrevantDlg::EnterRapNote() {
  if (!g_melodyPanel) return;
  g_melodyPanel->typeList->setCurrentIndex(5);
  g_melodyPanel->lyricBox->setEnabled(true);
  if (CKeyboardPicture::Count() > 0) CKeyboardPicture::ClearPressedKeys(0);
  g_melodyPanel->MarkChanged(MelodyPanelFields::kPitchChanged);
  g_melodyPanel->SendNoteToScore(1, 1, 1);
}

// ---- messages -----------------------------------------------------------------------------------

void CBrevantDlg::KeyToMelodyPanel(uintptr_t wparam, intptr_t lparam) {
  if (cursorBar == -1) cursorBar = 0;
  if (cursorEighth == -1) cursorEighth = 0;
  if (g_melodyPanel) plat::PostAppMessage(g_melodyPanel, kMsgApp + 30, wparam, lparam);
}

void CBrevantDlg::KeyboardNote(int note) {
  if (g_melodyPanel) g_melodyPanel->OnKeyboardNote(note);
}

void CBrevantDlg::StorePanelLyric() {
  if (!song) return;
  const MelodyPanelFields& m = melodyFields;
  if (song->CellIndex(m.cursorBar, m.cursorEighth) < 0) return;
  song->TakeUndoSnapshot();
  song->SetLyric(m.cursorBar, m.cursorEighth, m.lyric.c_str(), m.secondSixteenth == 1);
  RefreshMelodyBox(0);
}

void CBrevantDlg::CollectSongChords() {
  if (!g_chordPanel || !song) return;
  g_chordPanel->RefreshForKey();
  const int keyRow = chordFields.keyRow;
  const int beats = song->SongBeats();
  const int perBar = std::max(1, static_cast<int>(song->beats_per_bar));
  for (int b = 0; b < beats; ++b) {
    int root = -1, type = -1, key = 0, bass = 0;
    song->GetChord(b / perBar, b % perBar, &root, &type, &key, &bass, 0);
    if (root < 0 || type < 0) continue;
    const std::string name = CCantrelCommon::FormatChordName(keyRow, root, type);
    int row = -1, column = -1;
    g_chordPanel->FindChordInTable(name, &row, &column);
    if (row < 0) g_chordPanel->PutChordInTable(name, &row, &column);
  }
  g_chordPanel->RefreshForKey();
}

void CBrevantDlg::ChordFromDictionary(int bassRow, uint32_t code) {
  if (!g_chordPanel) return;
  const char letters[4] = {static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF),
                           static_cast<char>((code >> 16) & 0xFF),
                           static_cast<char>((code >> 24) & 0xFF)};
  for (int i = 0; i < 12; ++i) {
    if (kRootLetters[i] == letters[0]) {
      chordFields.root = i;
      g_chordPanel->rootList->setCurrentIndex(i);
      break;
    }
  }
  g_chordPanel->FillBassList(chordFields.keyRow);
  for (int t = 0; t < kChordSuffixCount; ++t) {
    if (std::strncmp(ChordSuffixTable[t].engine_code, letters + 1, 3) == 0) {
      g_chordPanel->typeList->setCurrentIndex(t);
      break;
    }
  }
  if (bassRow >= 0 && bassRow < g_chordPanel->bassList->count()) {
    g_chordPanel->bassList->setCurrentIndex(bassRow);
  }
  g_chordPanel->ApplySelection();
  g_chordPanel->SelectChordInTable();
}

void CBrevantDlg::ReadChordIntoPanel() {
  if (!g_chordPanel || !song) return;
  ChordPanelFields& f = chordFields;
  f.entryMode = std::max(g_chordPanel->modeList->currentIndex(), 0);
  g_chordPanel->EnableForEntryMode();
  song->GetChord(f.cursorBar, f.cursorBeat, &f.root, &f.type, &f.key, &f.bass,
                 f.entryMode == 1 ? 1 : 0);
  g_chordPanel->PostRefresh();
}
