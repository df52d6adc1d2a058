// What the user asks of the main window: the skin buttons, Ctrl shortcuts, the lists and spins of
// the top line, the scroll bar and the wheel, clicks on the page's cells and rows, and the
// private messages that panels, workers and the player post to it.
#include "app/main_dialog.h"

#include "app/bar_commands.h"
#include "app/main_globals.h"
#include "app/main_lists.h"
#include "app/melody_box.h"
#include "dialogs/chord_panel.h"
#include "dialogs/melody_panel.h"
#include "draw/chord_cell_picture.h"
#include "draw/counter_picture.h"
#include "draw/main_dialog_helper.h"
#include "draw/staff_picture.h"
#include "engine/part_helpers.h"
#include "music/midi_out_device.h"
#include "platform/core/clock.h"
#include "platform/core/encoding.h"
#include "platform/core/message_sink.h"
#include "platform/qt/app_message.h"
#include "platform/qt/text_drag_drop.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_text.h"
#include "util/music_names.h"

#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QSpinBox>
#include <QCursor>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kWorkingSongName = "data_kv.dat";

// Virtual-key codes of the Ctrl shortcuts.
constexpr int kVkSpace = 0x20;
constexpr int kVkComma = 0xBC;
constexpr int kVkPeriod = 0xBE;

// Scroll bar codes.
enum { kLineUp = 0, kLineDown, kPageUp, kPageDown, kThumbPosition, kThumbTrack, kTop, kBottom,
       kEndScroll };

// Lengths in eighths of the melody panel's note-length rows.
constexpr double kNoteLengthEighths[11] = {0.5, 1, 1.5, 2, 3, 3.5, 4, 5, 6, 7, 8};

}  // namespace

void CBrevantDlg::Beep(int ms) {
  (void)ms;
  ++beepCount;
  QApplication::beep();
}

// --------------------------------------------------------------------------------- the buttons

void CBrevantDlg::DispatchButtonCommand(int code) {
  switch (code) {
    case 0: ExitCommand(); break;
    case 1: NewSong(); break;
    case 2: OpenSongWithDialog(); break;
    case 3: SaveSongAs(); break;
    case 4: ShowExternalMenu(); break;
    case 5: Undo(); break;
    case 6: ShowEditMenu(); break;
    case 7: OpenArchive(); break;
    case 8:
      TogglePlay();
      SetPlayCaption(g_isPlaying.load() == 1 || arranging_ ? 0 : 1);
      break;
    case 9: OpenHelpPage(); break;
    case 10: ShowSongInfo(); break;
    case 11: ToggleInputMode(); break;
    case 12: ShowStepInput(); break;
    case 13: ShowSettings(); break;
    case 14:
      MoveNoteCursorPrevious();
      FocusLyricBox();
      break;
    case 15:
      MoveNoteCursorNext();
      FocusLyricBox();
      break;
    case 16: ShowGuitarPanel(); break;
    case 17: ShowTripletPanel(); break;
    case 18: EnterRapNote(); break;
    case 19:
      MoveChordCursorPrevious();
      FocusLyricBox();
      break;
    case 20: MoveChordCursorNext(); break;
    case 21: StartChordDictionary(); break;
    case 22: HideImportTool(); break;
    case 23: ImportToolLoad(); break;
    case 24: ImportToolPlay(); break;
    default: break;
  }
}

void CBrevantDlg::OnCtrlKey(int key) {
  const int cursorSongBar = SongBarOfCell(std::max(cursorBar, 0));
  switch (key) {
    case kVkSpace: plat::PostAppMessage(this, kMsgCommand, bar_command::kPlayRange); break;
    case 'A': OpenAbcDialog(); break;
    case 'B': OnBarMenuCommand(bar_command::kRangeFirst, cursorSongBar); break;
    case 'E': OnBarMenuCommand(bar_command::kRangeLast, cursorSongBar); break;
    case 'L':
      if (cursorBar >= 0) plat::PostAppMessage(this, kMsgCommand, bar_command::kPourLyrics);
      break;
    case 'S': {
      bool saved;
      if (config.songPath[0] == '\0') {
        SaveSongAs();
        saved = true;  // the save dialog tells its own outcome
      } else {
        saved = SaveSong(plat::Cp932ToUtf8(config.songPath));
      }
      if (saved) PlaySaveChime();
      break;
    }
    case 'Z': Undo(); break;
    case kVkComma: PullNextLyric(cursorSongBar, std::max(cursorEighth, 0)); break;
    case kVkPeriod: PushLyricsFromCursor(cursorSongBar, std::max(cursorEighth, 0)); break;
    default: break;
  }
}

void CBrevantDlg::PlaySaveChime() {
  if (!g_auditionDevice) return;
  for (int note : {60, 64, 67}) {
    g_auditionDevice->NoteOn(note, config.inputVelocity, 0);
    plat::SleepMs(100);
    g_auditionDevice->NoteOff(note, 0);
  }
}

void CBrevantDlg::Undo() {
  if (!song) return;
  song->Undo();
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
  update();
}

void CBrevantDlg::ToggleInputMode() {
  config.inputMode = config.inputMode == 1 ? 0 : 1;
  RefreshMelodyBox(1);
  // The melody panel hears of the mode (its lyric box comes back when the PC keys stop making
  // notes); the keyboard hook follows it.
  if (g_melodyPanel) {
    plat::PostAppMessage(g_melodyPanel, CMelodyDlg::kMsgInputMode,
                         static_cast<uintptr_t>(config.inputMode));
  }
  if (config.inputMode == 0) {
    ArmKeyboardHook();
    if (g_melodyPanel && g_melodyPanel->isVisible()) {
      g_melodyPanel->activateWindow();
      g_melodyPanel->setFocus();
    }
  } else {
    DisarmKeyboardHook();
  }
}

// ------------------------------------------------------------------------ lists and the spin

void CBrevantDlg::OnKeyChange() {
  if (!song) return;
  song->key_index = std::max(0, keyList->currentIndex());
  SetupScoreRows();
  RefreshScore(1);
  RedrawChordCells();
  // The panels follow: the chord panel's table of the key's chords, the keyboard's scale keys.
  ChordPanelFollowsSongKey();
  if (g_melodyPanel) g_melodyPanel->ColourScaleKeys();
}

void CBrevantDlg::OnCategoryChange() {
  if (!song) return;
  FillStyleList();
  ApplyStyleInstruments();
  ApplyStyleTempo();
  song->info.SetInt(SongInfoBlock::kStyleCategory, std::max(0, categoryList->currentIndex()));
  const QVariant data = styleList->currentData();
  const int slot = data.isValid() ? data.toInt() : -1;
  if (slot == -1) {
    Beep(500);
  } else {
    song->info.SetInt(SongInfoBlock::kStyleSlot, slot);
  }
  ShowStyleOrigin(slot);
  UseTableStyle();
}

void CBrevantDlg::OnStyleChange() {
  if (!song) return;
  const QVariant data = styleList->currentData();
  const int slot = data.isValid() ? data.toInt() : -1;
  ShowStyleOrigin(slot);
  ApplyStyleInstruments();
  ApplyStyleTempo();
  song->info.SetInt(SongInfoBlock::kStyleCategory, std::max(0, categoryList->currentIndex()));
  if (slot == -1) {
    Beep(500);
  } else {
    song->info.SetInt(SongInfoBlock::kStyleSlot, slot);
  }
  UseTableStyle();
}

void CBrevantDlg::OnBarCountChange() {
  if (isReady != 1) return;
  SetBarCount(barCountSpin->value());
}

void CBrevantDlg::SetBarCount(int count) {
  if (!song) return;
  const int beats = SongBeatsPerBar();
  count = std::clamp(count, 1, kSongMaxBeats / beats);
  if (count != song->bar_count) song->SetBarCount(count);
  {
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setValue(song->bar_count);
  }
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
}

void CBrevantDlg::OnMetreChange() {
  if (!song) return;
  int kind = 1;
  const int beats = CCantrelCommon::MetreFromIndex(std::max(0, metreList->currentIndex()), &kind);
  const int oldBeats = song->beats_per_bar;
  const int oldKind = song->metre_kind;
  const int oldBars = barCountSpin->value();
  auto showSongMetre = [this]() {
    const QSignalBlocker block(metreList);
    metreList->setCurrentIndex(CCantrelCommon::MetreIndex(song->beats_per_bar, song->metre_kind));
  };
  if (beats == oldBeats && kind == oldKind) return;
  bool reset = false;
  if (beats != oldBeats) {
    if (oldBeats == 4 && beats == 3 && kind == 2) {
      if (GneConfirmBox("4/4拍子３連系を6/8拍子に変更します。") != plat::kIdOk ||
          !song->ConvertToSixEight()) {
        showSongMetre();
        return;
      }
      song->metre_kind = 2;
    } else if (oldBeats == 3 && oldKind == 2 && beats == 4) {
      if (GneConfirmBox("6/8拍子を4/4拍子３連系の符割に変更します。") != plat::kIdOk ||
          !song->ConvertToFourFourTriplets()) {
        showSongMetre();
        return;
      }
      song->metre_kind = 1;
    } else {
      if (GneConfirmBox("拍子を変更すると、曲データがリセットされます。") != plat::kIdOk) {
        showSongMetre();
        return;
      }
      const SongInfoBlock kept = song->info;
      ResetSong();
      reset = true;
      if (GneConfirmBox("曲タイトル等を復元しますか？") == plat::kIdOk) song->info = kept;
    }
    showSongMetre();
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setRange(1, kSongMaxBeats / song->beats_per_bar);
    barCountSpin->setValue(song->bar_count);
  } else {
    song->metre_kind = kind;
  }
  ShowBeatsPerBar(song->beats_per_bar);
  ClearImportTool();
  {
    const QSignalBlocker block(scrollBar);
    scrollBar->setRange(0, LastTopRow());
    topRow = std::min(topRow, LastTopRow());
    scrollBar->setValue(topRow);
  }
  // A bar count that does not fill whole bars of the new metre gets tonic chords up to the next
  // whole bar.
  if (!reset) {
    for (int b = oldBars * oldBeats; b % song->beats_per_bar != 0 && b < kSongMaxBeats; ++b) {
      song->SetTonicChordCell(b);
    }
  }
  // The song goes through its file once, so that it comes back in the form the new metre reads.
  // A save that fails keeps the song as it is (its own box has said why).
  const std::filesystem::path path = userDataFolder / kWorkingSongName;
  if (SaveSong(path)) {
    int bars = song->bar_count, b = song->beats_per_bar, key = song->key_index;
    int metre = song->metre_kind;
    bool readOk = false;
    std::unique_ptr<CSongData> loaded =
        CSongData::LoadFromFile(path, &bars, &b, &key, &metre, &readOk);
    if (loaded && readOk) {
      loaded->style = song->style;
      song = std::move(loaded);
    }
  }
  ChordPanelFollowsSongKey();
  ShowBeatsPerBar(song->beats_per_bar);
  NumberBars();
  RedrawChordCells();
  RefreshMelodyBox(1);
  SetupScoreRows();
  RefreshScore(1);
  ImportToolBeats(song->beats_per_bar);
}

void CBrevantDlg::ResetSong() {
  topRow = 0;
  cursorBar = 0;
  cursorEighth = 0;
  int kind = 1;
  const int beats = CCantrelCommon::MetreFromIndex(std::max(0, metreList->currentIndex()), &kind);
  ShowBeatsPerBar(beats);
  ImportToolBeats(beats);
  {
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setRange(1, kSongMaxBeats / beats);
    barCountSpin->setValue(8);
  }
  song->Reset(8, beats, std::max(0, keyList->currentIndex()), kind);
  song->info.SetInt(SongInfoBlock::kStyleCategory, std::max(0, categoryList->currentIndex()));
  const QVariant slot = styleList->currentData();
  if (slot.isValid() && slot.toInt() >= 0) {
    song->info.SetInt(SongInfoBlock::kStyleSlot, slot.toInt());
  }
  UseTableStyle();
  ChordPanelFollowsSongKey();
  ApplyStyleInstruments();
  NumberBars();
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
  std::memset(config.songPath, 0, sizeof config.songPath);
  ShowSongTitle(std::string());
}

// ----------------------------------------------------------------------------- scrolling

int CBrevantDlg::LastTopRow() const {
  const int beats = song ? SongBeatsPerBar() : ControlBeats();
  return ::LastTopRow(beats, g_barsPerRow, g_rowsPerPage);
}

void CBrevantDlg::SetScrollPosition() {
  const QSignalBlocker block(scrollBar);
  scrollBar->setRange(0, LastTopRow());
  scrollBar->setValue(topRow);
}

void CBrevantDlg::OnVScroll(int code, int position) {
  const int bottom = LastTopRow();
  const int page = g_barsPerRow == 8 ? g_rowsPerPage / 2 : g_rowsPerPage;
  int row = topRow;
  switch (code) {
    case kLineUp: row -= 1; break;
    case kLineDown: row += 1; break;
    case kPageUp: row -= page; break;
    case kPageDown: row += page; break;
    case kThumbPosition: row = position; break;
    case kTop: row = 0; break;
    case kBottom: row = bottom; break;
    case kEndScroll:
      menuBarCell = -1;
      if (g_isPlaying.load() == 1) MovePlayMarker(0);
      ResetCursor();
      MelodyCursorToPage();
      return;
    default: return;  // the thumb is being dragged: nothing until it is let go
  }
  topRow = std::clamp(row, 0, bottom);
  SetScrollPosition();
}

void CBrevantDlg::OnMouseWheel(int delta) {
  if (delta == 0) return;
  topRow = std::clamp(topRow + (delta > 0 ? -1 : 1), 0, LastTopRow());
  ResetCursor();
  SetScrollPosition();
}

void CBrevantDlg::ScrollRowDown() {
  topRow = std::min(topRow + 1, LastTopRow());
  SetScrollPosition();
  ResetCursor();
}

void CBrevantDlg::ScrollRowUp() {
  topRow = std::max(topRow - 1, 0);
  SetScrollPosition();
  ResetCursor();
}

void CBrevantDlg::ResetCursor() {
  cursorEighth = 0;
  cursorHalf = 0;
  ClearChordCursors();
  NumberBars();
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
  if (barCounter) CCounterPicture::SetValue(0, SongBarOfCell(std::max(cursorBar, 0)) + 1);
}

// ------------------------------------------------------------------------- the page's cells

bool CBrevantDlg::CellWithinLimit(int cell) const {
  if (cell < 0 || cell >= g_barsPerPage) return false;
  const int beats = song ? SongBeatsPerBar() : ControlBeats();
  return SongBarOfCell(cell) < kSongMaxBeats / beats;
}

void CBrevantDlg::OnChordCellPress(int cell, int row, int column) {
  (void)row;
  if (column < SongBeatsPerBar() && CellWithinLimit(cell)) {
    SetChordCursor(cell, column, 0);
  } else {
    Beep(100);
  }
}

void CBrevantDlg::OnMelodyBoxPress(int cell, int row, int column) {
  (void)row;
  if (column < SongBeatsPerBar() * 2 && CellWithinLimit(cell)) {
    SetNoteCursor(cell, column, 0);
  } else {
    Beep(100);
  }
}

void CBrevantDlg::OnScorePress(int row, int x, int y) {
  (void)y;
  if (!g_scorePicture) return;
  if (row >= g_barsPerPage + layout_.headerCount) {
    DragImportRow(row - g_barsPerPage - layout_.headerCount);
    return;
  }
  if (row >= g_barsPerPage) return;  // a header row
  if (!CellWithinLimit(row)) {
    Beep(100);
    return;
  }
  const int beats = SongBeatsPerBar();
  const int w = std::max(1, g_scorePicture->RowWidth(row) / 8);
  int eighth = 0;
  int half = 0;
  for (int k = 0; k < beats * 2; ++k) {
    if (x > k * w && x <= k * w + w) {
      eighth = k;
      if (x > k * w + w / 2 && song->IsCellSplit(SongBarOfCell(row), k)) half = 1;
      break;
    }
  }
  SetNoteCursor(row, eighth, half);
  FocusLyricBox();
  // Dragging on from here copies the bar elsewhere.
  dragRow_ = row;
  dragStart_ = QPoint(x, y);
}

void CBrevantDlg::OnScoreMove(int row, int x, int y) {
  if (dragRow_ < 0 || row != dragRow_) return;
  if (!(QApplication::mouseButtons() & Qt::LeftButton)) {
    dragRow_ = -1;
    return;
  }
  if ((QPoint(x, y) - dragStart_).manhattanLength() < QApplication::startDragDistance()) return;
  const int bar = SongBarOfCell(dragRow_);
  dragRow_ = -1;
  // A fresh drop target for the drag, as the window always had.
  dropTarget = std::make_unique<CDropTarget>(
      [this](const char* text, int px, int py) { OnScoreDrop(text, px, py); },
      [this](const char*, int px, int py) { OnScoreDragOver(px, py); });
  dropTarget->Register(this);
  char text[256] = {};
  std::snprintf(text, sizeof text, "score:Copy:%d", bar);
  DROPSRC* source = new DROPSRC("DROPSRC.TXT", text, static_cast<int>(std::strlen(text)));
  source->AddRef();
  source->DoDragDrop(scoreControls[row]);
  source->Release();
}

int CBrevantDlg::BarCellAt(int x, int y) const {
  // Each bar window reaches from its chord cell down to the bottom of its score row.
  std::vector<QRect> windows;
  for (int c = 0; c < g_barsPerPage && c < kMaxBarCells; ++c) {
    const PageRect& r = layout_.scoreRows[c];
    const int top = std::min(layout_.chordCells[c].top, r.top);
    windows.emplace_back(QPoint(r.left, top), QPoint(r.right - 1, r.bottom - 1));
  }
  int eighth = 0;
  return CCantrelCommon::HitTestBarWindows(x, y, &eighth, windows, g_scorePicture, 0);
}

void CBrevantDlg::OnScoreDragOver(int x, int y) {
  const int cell = BarCellAt(x, y);
  if (cell < 0 || !g_scorePicture) return;
  for (int c = 0; c < g_barsPerPage; ++c) g_scorePicture->ClearHighlights(c);
  g_scorePicture->AddHighlight(cell, 0, g_scorePicture->RowWidth(cell), plat::Rgb(210, 230, 255));
  for (int c = 0; c < g_barsPerPage; ++c) g_scorePicture->DrawRow(c);
  g_scorePicture->BlitAll();
}

void CBrevantDlg::OnScoreDrop(const char* text, int x, int y) {
  if (!song || !text) return;
  song->TakeUndoSnapshot();
  const int cell = BarCellAt(x, y);
  if (cell < 0) {
    // Outside the page: the import tool takes bars when it is there.
    OnImportToolDrop(text, mapToGlobal(QPoint(x, y)));
    return;
  }
  int bar = 0, copy = 0;
  if (!ParseScoreDrop(text, &bar, &copy)) {
    ErrorMsg(0);
    return;
  }
  const int target = SongBarOfCell(cell);
  if (copy == 0) {
    DropImportBar(target, bar);
  } else if (rangeFirst >= 0 && bar >= rangeFirst && bar <= rangeLast) {
    // Bars are copied in the order that reads each before it is overwritten, so a target
    // inside the range copies the bars as they were.
    if (target > rangeFirst) {
      for (int b = rangeLast; b >= rangeFirst; --b) CopyBarTo(target + (b - rangeFirst), b);
    } else {
      for (int b = rangeFirst; b <= rangeLast; ++b) CopyBarTo(target + (b - rangeFirst), b);
    }
  } else {
    CopyBarTo(target, bar);
  }
  rangeFirst = rangeLast = -1;
  DrawRangeHighlight();
  RefreshScore(1);
}

void CBrevantDlg::OnScoreDoubleClick(int row) {
  if (row < 0 || row >= g_barsPerPage) return;
  const int a = SongBarOfCell(row);
  if (a == rangeLast) {
    rangeFirst = rangeLast = -1;
  } else if (rangeFirst < 0) {
    rangeFirst = rangeLast = a;
  } else if (a < rangeFirst) {
    rangeFirst = a;
  } else {
    rangeLast = a;
  }
  DrawRangeHighlight();
}

// -------------------------------------------------------------------- bars, drops, growth

void CBrevantDlg::CopyBarTo(int target, int source) {
  if (!song || source < 0 || target < 0 || source >= song->bar_count) return;
  if (target >= song->bar_count) {
    if ((target + 1) > kSongMaxBeats / SongBeatsPerBar()) {
      Beep(100);
      return;
    }
    song->SetBarCount(target + 1);
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setValue(song->bar_count);
  }
  song->CopyBar(target, source);
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
}

bool CBrevantDlg::ParseScoreDrop(const std::string& text, int* bar, int* copy) {
  static const std::string kPrefix = "score:";
  if (text.compare(0, kPrefix.size(), kPrefix) != 0) return false;
  std::string rest = text.substr(kPrefix.size());
  int isCopy;
  if (rest.compare(0, 5, "Copy:") == 0) {
    isCopy = 1;
    rest = rest.substr(5);
  } else if (rest.compare(0, 7, "Import:") == 0) {
    isCopy = 0;
    rest = rest.substr(7);
  } else {
    return false;
  }
  if (rest.empty() || rest.size() > 4) return false;
  int n = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n >= kSongMaxBeats) return false;
  if (bar) *bar = n;
  if (copy) *copy = isCopy;
  return true;
}

void CBrevantDlg::CursorCell(int* cell, int* half, int bar, int eighth) {
  if (cell) *cell = bar * SongBeatsPerBar() * 2 + eighth;
  if (half) *half = cursorHalf == 1 ? 1 : 0;
}

bool CBrevantDlg::GrowForNote(int bar, int eighth, int lengthRow, int secondHalf) {
  if (!song || lengthRow < 0 || lengthRow > 10) return false;
  const int beats = SongBeatsPerBar();
  const double start = bar * beats * 2.0 + eighth;
  const double end = std::ceil(start + kNoteLengthEighths[lengthRow] + (secondHalf ? 0.5 : 0.0));
  if (end <= song->bar_count * beats * 2.0) return true;
  if (song->bar_count + 1 > kSongMaxBeats / beats) {
    Beep(100);
    return false;
  }
  SetBarCount(song->bar_count + 1);
  return true;
}

// -------------------------------------------------------------------------------- messages

void CBrevantDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  const int wp = static_cast<int>(wparam);
  const int lp = static_cast<int>(lparam);
  if (HandleComposeReport(message, wparam)) return;
  switch (message) {
    case kMsgApp + 10: EnterPanelNote(wp, lp, 1); break;
    case kMsgApp + 11: MobileTransferDone(); break;
    case kMsgReady: OnReadyMessage(); break;
    case kMsgApp + 14: MelodyPanelFollowsChordCursor(); break;
    case kMsgApp + 16: MoveNoteCursorNext(); break;
    case kMsgApp + 17: MergeRestsAtCursor(); break;
    case kMsgApp + 18: RefreshScore(1); break;
    case kMsgApp + 19:
      // Only a file this arrangement wrote is played.
      setEnabled(true);
      StartPlayback(wparam == 1 ? outputPath : std::filesystem::path());
      break;
    case kMsgApp + 20: setEnabled(true); break;
    case kMsgApp + 22: TogglePlay(); break;
    case kMsgApp + 23:
      if (g_isPlaying.load() == 1) TogglePlay();
      break;
    case kMsgApp + 25: ChordFromDictionary(wp, static_cast<uint32_t>(lparam)); break;
    case kMsgApp + 30: KeyToMelodyPanel(wparam, lparam); break;
    case kMsgApp + 32: MoveNoteCursorPrevious(); break;
    case kMsgApp + 34: StorePanelLyric(); break;
    case kMsgApp + 35: EnterPanelNote(wp, lp, 0); break;
    case kMsgApp + 36:
      if (g_isPlaying.load() == 1) MovePlayMarker(wp);
      break;
    case kMsgNoSound: OnNoSound(); break;
    case kMsgPlayEnded:
      if (wp == PlayGeneration()) OnPlayEnd();
      break;
    case kMsgApp + 37: RedrawChordCells(); break;
    case kMsgApp + 38: RefreshMelodyBox(1); break;
    case kMsgApp + 39: OnCtrlKey(wp); break;
    case kMsgApp + 40: PourLyrics(lyricText.c_str(), wp, lp); break;
    case kMsgApp + 41: MakeTriplets(wp, lp); break;
    case kMsgApp + 42: case kMsgApp + 43: case kMsgApp + 44: case kMsgApp + 45:
      LyricEdit(message, wp, lp);
      break;
    case kMsgApp + 302: CloseAuditionDevice(); break;
    case kMsgApp + 303: ReopenAuditionDevice(); break;
    case kMsgApp + 310: ReadChordIntoPanel(); break;
    case kMsgCommand: OnBarMenuCommand(wp, SongBarOfCell(std::max(menuBarCell, 0))); break;
    case kMsgMidiData:
      if (g_isPlaying.load() != 1) OnMidiInData(static_cast<uint32_t>(lparam));
      break;
    case kMsgPaint: update(); break;
    case kMsgQuit: done(0); break;
    default: break;  // the panels' own numbers pass unhandled
  }
}

void CBrevantDlg::OnDropFiles(const std::vector<std::filesystem::path>& files) {
  if (files.size() == 1) {
    DropFile(files[0]);
  } else if (files.size() > 1) {
    ErrorMsg(0);
  }
}

// The help page ships with the program and opens in the desktop's browser; a missing page or
// browser is reported there.
void CBrevantDlg::OpenHelpPage() { ::OpenHelpPage(); }

// ------------------------------------------------------------- handlers of the later parts

// Enter in the melody panel: the rests around the cursor's bar become whole values, and the
// cursor moves on, past a rest that starts where it lands.
void CBrevantDlg::MergeRestsAtCursor() {
  if (!song) return;
  const int bar = SongBarOfCell(std::max(cursorBar, 0));
  if (song->MergeRests(bar, bar + 2)) {
    RefreshMelodyBox(1);
    RefreshScore(1);
  }
  MoveNoteCursorNext();
  const int here = SongBarOfCell(std::max(cursorBar, 0));
  if (song->GetSlotValue(here, std::max(cursorEighth, 0), cursorHalf == 1) == NoteSlotRest) {
    MoveNoteCursorNext();
    FocusLyricBox();
  }
}

void CBrevantDlg::ChordPanelFollowsSongKey() {
  if (!song) return;
  chordFields.keyRow = std::clamp(static_cast<int>(song->key_index), 0, kKeySignatureCount - 1);
  if (!g_chordPanel) return;
  g_chordPanel->BuildKeyChordTable();
  g_chordPanel->RefreshForKey();
}

// After a scroll the melody panel edits the cursor's bar on the new page: its fields are those
// of that bar's cell at the cursor (the first eighth, as the cursor was reset).
void CBrevantDlg::MelodyCursorToPage() {
  if (!song) return;
  LoadMelodyFields(SongBarOfCell(std::max(cursorBar, 0)), std::max(cursorEighth, 0), 0);
  if (g_melodyPanel && g_melodyPanel->isVisible()) g_melodyPanel->ShowCursorNote();
}
