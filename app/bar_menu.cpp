// The bar context menu and the bar-range edits: playing bars, lyric and bar edits, the selected
// range, composing, rhythm figures and the pitch statistic of the sung notes.
#include "app/main_dialog.h"

#include "app/bar_commands.h"
#include "app/main_globals.h"
#include "draw/main_dialog_helper.h"
#include "dialogs/bar_edit_dialog.h"
#include "draw/staff_picture.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "util/gne.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QSpinBox>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct MenuRow {
  int command;
  const char* text;
};

constexpr MenuRow kMenuRows[38] = {
    {bar_command::kPlayBar, "この小節を演奏"},
    {bar_command::kPlayAround, "前後３小節を演奏"},
    {bar_command::kPlayPage, "このページを演奏"},
    {bar_command::kPlayFromPage, "このページ以降を演奏"},
    {bar_command::kPlayRange, "選択範囲を演奏"},
    {bar_command::kClearBarLyrics, "この小節の歌詞をクリア"},
    {bar_command::kClearLyricsFromBar, "この小節以降の歌詞をクリア"},
    {bar_command::kSetBarLyrics, "この小節に歌詞を設定"},
    {bar_command::kPourLyrics, "歌詞を流し込む"},
    {bar_command::kShiftLyricsLater, "歌詞を１つ後ろにずらす"},
    {bar_command::kShiftLyricsEarlier, "歌詞を１つ前にずらす"},
    {bar_command::kSetLyricsFromBar, "この小節以降に歌詞を設定"},
    {bar_command::kDeleteBar, "この小節を削除"},
    {bar_command::kDeleteEighth, "編集位置の８分音符を削除"},
    {bar_command::kInsertBar, "ここに小節を挿入"},
    {bar_command::kBarOctaveUp, "この小節のﾒﾛﾃﾞｨをオクターブ上げる"},
    {bar_command::kThreeToFour, "3拍子を4拍子に変換"},
    {bar_command::kRemoveSkipBeats, "未使用拍をつめる"},
    {bar_command::kSongOctaveDown, "歌をオクターブ下げる"},
    {bar_command::kSongOctaveUp, "歌をオクターブ上げる"},
    {bar_command::kPitchStatistics, "統計情報"},
    {bar_command::kComposeChords, "この小節のｺｰﾄﾞを自動生成"},
    {bar_command::kComposeMelody, "この小節のﾒﾛﾃﾞｨを自動生成"},
    {bar_command::kComposeBoth, "この小節のﾒﾛﾃﾞｨとｺｰﾄﾞを自動生成"},
    {bar_command::kUndo, "やり直し"},
    {bar_command::kRangeFirst, "この小節を開始位置に指定 Ctrl+B"},
    {bar_command::kRangeLast, "この小節を終了位置に指定 Ctrl+E"},
    {bar_command::kRangeCopyInsert, "選択範囲をコピーして挿入"},
    {bar_command::kRangeOverwrite, "選択範囲を上書き"},
    {bar_command::kRangeMove, "選択範囲を移動"},
    {bar_command::kRangeDelete, "選択範囲を削除"},
    {bar_command::kRangeClearNotes, "選択範囲の音符をクリア"},
    {bar_command::kLyricNotesOctaveDown, "歌詞付きの音符をオクターブ下げる"},
    {bar_command::kRangeToTriplets, "選択範囲を3連化"},
    {bar_command::kSixteenthsToTriplet, "16分音符２つを３連音符の8分音符と16分音符にする"},
    {bar_command::kGlissandoUp, "１拍分を上にグリッサンド"},
    {bar_command::kGlissandoDown, "１拍分を下にグリッサンド"},
    {bar_command::kTrillBar, "１小節分トリル"},
};

// The highlight of the selected range.
constexpr plat::ColorRef kRangeHighlight = 0xFFFF80;

constexpr const char* kPitchClassNames[12] = {"ド ", "ド#", "レ ", "レ#", "ミ ", "ファ ",
                                              "ファ#", "ソ ", "ソ#", "ラ ", "ラ#", "シ "};

}  // namespace

const char* CBrevantDlg::MenuText(int command) {
  for (const MenuRow& row : kMenuRows) {
    if (row.command == command) return row.text;
  }
  return kMenuRows[37].text;
}

std::vector<BarMenuGroup> CBrevantDlg::BarMenuLayout(bool ctrl) const {
  using namespace bar_command;
  std::vector<BarMenuGroup> groups;
  groups.push_back({std::string(), std::vector<int>(recentCommands, recentCommands + recentCount)});
  groups.push_back({"演奏", {kPlayBar, kPlayAround, kPlayPage, kPlayFromPage, kPlayRange}});
  BarMenuGroup edit{"編集", {kUndo, kDeleteBar, kDeleteEighth, kInsertBar, kBarOctaveUp,
                             kRangeCopyInsert, kRangeOverwrite, kRangeMove, kRangeDelete,
                             kRangeClearNotes, kRangeToTriplets, kSixteenthsToTriplet,
                             kLyricNotesOctaveDown, kGlissandoUp, kGlissandoDown, kTrillBar}};
  if (ctrl) {
    edit.commands.insert(edit.commands.end(), {kThreeToFour, kRemoveSkipBeats, kPitchStatistics,
                                               kSongOctaveDown, kSongOctaveUp});
  }
  groups.push_back(edit);
  BarMenuGroup lyrics{"歌詞", {kClearBarLyrics, kClearLyricsFromBar}};
  if (ctrl) {
    lyrics.commands.insert(lyrics.commands.end(), {kSetBarLyrics, kPourLyrics, kShiftLyricsLater,
                                                   kShiftLyricsEarlier, kSetLyricsFromBar});
  }
  groups.push_back(lyrics);
  groups.push_back({"範囲指定", {kRangeFirst, kRangeLast}});
  groups.push_back({"自動作曲", {kComposeChords, kComposeMelody, kComposeBoth}});
  return groups;
}

void CBrevantDlg::ShowBarMenu(int cell, int x, int y) {
  const bool ctrl = (QApplication::keyboardModifiers() & Qt::ControlModifier) != 0;
  menuBarCell = cell;
  QMenu menu(this);
  for (const BarMenuGroup& group : BarMenuLayout(ctrl)) {
    QMenu* target = &menu;
    if (!group.title.empty()) target = menu.addMenu(plat::ToQString(group.title));
    for (int command : group.commands) {
      QAction* action = target->addAction(plat::ToQString(MenuText(command)));
      action->setData(command);
    }
  }
  QWidget* control = cell >= 0 && cell < kMaxBarCells ? scoreControls[cell] : nullptr;
  const QPoint at = control ? control->mapToGlobal(QPoint(x, y)) : QCursor::pos();
  if (QAction* chosen = menu.exec(at)) {
    plat::PostAppMessage(this, kMsgCommand, static_cast<uintptr_t>(chosen->data().toInt()));
  }
}

void CBrevantDlg::AddRecentCommand(int command) {
  for (int i = 0; i < recentCount; ++i) {
    if (recentCommands[i] != command) continue;
    std::swap(recentCommands[i], recentCommands[0]);
    return;
  }
  for (int i = std::min(recentCount, 2); i > 0; --i) recentCommands[i] = recentCommands[i - 1];
  recentCommands[0] = command;
  recentCount = std::min(recentCount + 1, 3);
}

bool CBrevantDlg::HasRange() const { return rangeFirst >= 0 && rangeLast >= rangeFirst; }

void CBrevantDlg::ClearRange() {
  rangeFirst = rangeLast = -1;
  RedrawAfterEdit();
}

void CBrevantDlg::RedrawAfterEdit() {
  if (song) {
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setValue(song->bar_count);
  }
  NumberBars();
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
}

bool CBrevantDlg::PlayBars(int firstBar, int from, int to) {
  if (!song || g_isPlaying.load() == 1 || from < 0 || from >= song->bar_count || to <= from) {
    return false;
  }
  playFirstBar = firstBar;
  partialSong = CSongData::CopyFromBars(*song, from, std::min(to, song->bar_count));
  if (!partialSong) return false;
  PlaySong(partialSong.get());
  return true;
}

void CBrevantDlg::OnBarMenuCommand(int command, int b) {
  if (!song) return;
  // Each group of commands answers whether the command was its own and whether the menu
  // keeps it among the recent ones.
  using Group = BarCommandResult (CBrevantDlg::*)(int, int);
  static constexpr Group kGroups[] = {&CBrevantDlg::PlayBarCommand, &CBrevantDlg::LyricBarCommand,
                                      &CBrevantDlg::BarEditCommand, &CBrevantDlg::RangeBarCommand,
                                      &CBrevantDlg::FigureBarCommand};
  for (Group group : kGroups) {
    const BarCommandResult result = (this->*group)(command, b);
    if (result == BarCommandResult::kNotMine) continue;
    if (result == BarCommandResult::kRemember) AddRecentCommand(command);
    return;
  }
}

CBrevantDlg::BarCommandResult CBrevantDlg::PlayBarCommand(int command, int b) {
  const int n = song->bar_count;
  const int pageFirst = topRow * g_barsPerRow;
  bool played = false;
  switch (command) {
    case bar_command::kPlayBar:
      played = PlayBars(b, b, std::min(b + 1, n));
      break;
    case bar_command::kPlayAround:
      played = PlayBars(std::max(b - 1, 0), std::max(b - 1, 0), std::min(b + 2, n));
      break;
    case bar_command::kPlayPage:
      played = PlayBars(pageFirst, pageFirst, std::min(pageFirst + g_barsPerPage, n));
      break;
    case bar_command::kPlayFromPage:
      played = PlayBars(pageFirst, pageFirst, n);
      break;
    case bar_command::kPlayRange:
      // Without a range it is still remembered.
      played = !HasRange() || PlayBars(rangeFirst, rangeFirst, std::min(rangeLast + 1, n));
      break;
    default:
      return BarCommandResult::kNotMine;
  }
  return played ? BarCommandResult::kRemember : BarCommandResult::kForget;
}

CBrevantDlg::BarCommandResult CBrevantDlg::LyricBarCommand(int command, int b) {
  const int n = song->bar_count;
  switch (command) {
    case bar_command::kClearBarLyrics:
      song->ClearLyrics(b, b);
      RefreshMelodyBox(1);
      break;
    case bar_command::kClearLyricsFromBar:
      song->ClearLyrics(b, n);
      RefreshMelodyBox(1);
      break;
    case bar_command::kSetBarLyrics:
      song->FillLyricDashes(b, std::min(b + 1, n));
      RefreshMelodyBox(1);
      break;
    case bar_command::kSetLyricsFromBar:
      song->FillLyricDashes(b, n);
      RefreshMelodyBox(1);
      break;
    case bar_command::kPourLyrics:
      if (cursorBar >= 0) ShowLyricInputPanel();
      break;
    case bar_command::kShiftLyricsLater:
      ShiftLyricsLater(b);
      break;
    case bar_command::kShiftLyricsEarlier:
      ShiftLyricsEarlier(b);
      break;
    default:
      return BarCommandResult::kNotMine;
  }
  return BarCommandResult::kRemember;
}

CBrevantDlg::BarCommandResult CBrevantDlg::BarEditCommand(int command, int b) {
  const int n = song->bar_count;
  constexpr BarCommandResult kRefused = BarCommandResult::kForget;
  switch (command) {
    case bar_command::kDeleteBar:
      // The song keeps at least one bar.
      if (b >= n || n <= 1) return kRefused;
      song->DeleteBars(b, b);
      RedrawAfterEdit();
      break;
    case bar_command::kInsertBar:
      if (b >= n || !CanGrowBy(1)) return kRefused;
      song->InsertBars(b, b);
      RedrawAfterEdit();
      break;
    case bar_command::kDeleteEighth:
      if (b >= n || cursorEighth < 0) return kRefused;
      song->DeleteEighth(b, cursorEighth);
      RedrawAfterEdit();
      break;
    case bar_command::kBarOctaveUp:
      if (b >= n) return kRefused;
      song->TransposeBars(b, b, 12);
      RefreshMelodyBox(1);
      RefreshScore(1);
      break;
    case bar_command::kComposeChords:
    case bar_command::kComposeMelody:
    case bar_command::kComposeBoth:
      if (ComposeRefused()) return kRefused;
      if (command == bar_command::kComposeBoth && b < n) song->ClearBar(b, true);
      if (command != bar_command::kComposeMelody) ComposeChords(b, b);
      if (command != bar_command::kComposeChords) ComposeMelody(b, b);
      RedrawAfterEdit();
      break;
    case bar_command::kUndo:
      Undo();
      break;
    case bar_command::kThreeToFour:
      ConvertToFourFour();
      break;
    case bar_command::kRemoveSkipBeats:
      song->RemoveSkipBeats();
      SetBarCount(song->bar_count);
      ResetCursor();
      break;
    case bar_command::kSongOctaveDown:
    case bar_command::kSongOctaveUp:
      song->TransposeNotes(command == bar_command::kSongOctaveDown ? -12 : 12, true);
      RefreshMelodyBox(1);
      RefreshScore(1);
      break;
    case bar_command::kPitchStatistics:
      ShowPitchStatistics();
      break;
    default:
      return BarCommandResult::kNotMine;
  }
  return BarCommandResult::kRemember;
}

CBrevantDlg::BarCommandResult CBrevantDlg::RangeBarCommand(int command, int b) {
  switch (command) {
    case bar_command::kRangeFirst:
      rangeFirst = b;
      if (rangeLast == -1 || rangeLast < b) rangeLast = b;
      DrawRangeHighlight();
      break;
    case bar_command::kRangeLast:
      rangeLast = b;
      if (b < rangeFirst) std::swap(rangeFirst, rangeLast);
      DrawRangeHighlight();
      break;
    case bar_command::kRangeCopyInsert:
      if (HasRange()) {
        InsertBarCopies(rangeFirst, rangeLast, b);
        ClearRange();
      }
      break;
    case bar_command::kRangeOverwrite:
      if (HasRange()) {
        song->OverwriteBars(rangeFirst, rangeLast, b);
        ClearRange();
      }
      break;
    case bar_command::kRangeMove:
      if (HasRange()) {
        if (!MoveBars(rangeFirst, rangeLast, b)) return BarCommandResult::kForget;
        ClearRange();
      }
      break;
    case bar_command::kRangeDelete:
      if (HasRange()) {
        song->DeleteBars(rangeFirst, rangeLast);
        ClearRange();
      }
      break;
    case bar_command::kRangeClearNotes:
      if (HasRange()) {
        song->ClearNotes(rangeFirst, rangeLast);
        ClearRange();
      }
      break;
    case bar_command::kLyricNotesOctaveDown:
      song->TransposeNotes(-12, true);
      ClearRange();
      break;
    default:
      return BarCommandResult::kNotMine;
  }
  return BarCommandResult::kRemember;
}

CBrevantDlg::BarCommandResult CBrevantDlg::FigureBarCommand(int command, int) {
  const int n = song->bar_count;
  const int cursorSongBar = cursorBar >= 0 ? SongBarOfCell(cursorBar) : -1;
  switch (command) {
    case bar_command::kRangeToTriplets:
    case bar_command::kSixteenthsToTriplet:
      if (!HasRange()) {
        ErrorMsg(0);
        return BarCommandResult::kRemember;
      }
      if (command == bar_command::kRangeToTriplets) {
        song->MakeTriplets(rangeFirst, rangeLast);
      } else {
        song->SixteenthsToTriplet(rangeFirst, rangeLast);
      }
      ClearRange();
      return BarCommandResult::kRemember;
    case bar_command::kGlissandoUp:
    case bar_command::kGlissandoDown:
    case bar_command::kTrillBar:
      // Ornaments at the cursor are never remembered.
      if (cursorSongBar < 0 || cursorSongBar >= n || cursorEighth < 0) return BarCommandResult::kForget;
      if (command == bar_command::kTrillBar) {
        song->SetTrill(cursorSongBar, cursorEighth);
      } else {
        song->SetGlissando(cursorSongBar, cursorEighth, command == bar_command::kGlissandoUp);
      }
      ClearRange();
      return BarCommandResult::kForget;
    default:
      return BarCommandResult::kNotMine;
  }
}

bool CBrevantDlg::InsertBarCopies(int first, int last, int target) {
  if (!song || first < 0 || last < first || last >= song->bar_count || target < 0) return false;
  const long long bars = std::max(target, song->bar_count) + (last - first + 1);
  if (bars * SongBeatsPerBar() > kSongMaxBeats) {
    Beep(100);
    return false;
  }
  if (target >= song->bar_count) SetBarCount(target);
  return song->InsertBarCopies(first, last, target);
}

bool CBrevantDlg::MoveBars(int first, int last, int target) {
  // A target inside the range would have its own copies deleted.
  if (target > first && target <= last) {
    Beep(100);
    return false;
  }
  const int k = last - first + 1;
  if (!InsertBarCopies(first, last, target)) return false;
  if (target < first) {
    song->DeleteBars(first + k, last + k);
  } else {
    song->DeleteBars(first, last);
  }
  return true;
}

void CBrevantDlg::ShowPitchStatistics() {
  const int n = song->bar_count;
  std::unique_ptr<CSongData> copy = CSongData::CopyFromBars(*song, 0, n);
  if (!copy) return;
  copy->ChangeKey(copy->key_index, 0);
  int counts[12] = {};
  int total = 0;
  for (int c = 0; c < copy->SongCells(); ++c) {
    for (int s = 0; s < 3; ++s) {
      const int v = copy->cells[c].slot[s];
      if (v < 0 || v > 127 || copy->cells[c].lyric[s][0] == '\0') continue;
      ++counts[v % 12];
      ++total;
    }
  }
  if (total == 0) {
    GneMessageBox("err 歌詞つきの音符がありません。");
    return;
  }
  std::string text;
  for (int p = 0; p < 12; ++p) {
    int percent = counts[p] * 100 / total;
    if ((counts[p] * 1000 / total) % 10 >= 5) ++percent;
    char line[64];
    std::snprintf(line, sizeof line, "\n%s [%d][%d％]", kPitchClassNames[p], counts[p], percent);
    text += line;
  }
  GneMessageBox(text);
}

void CBrevantDlg::MarkRangeHighlight() {
  if (!g_scorePicture) return;
  for (int c = 0; c < g_barsPerPage; ++c) {
    g_scorePicture->ClearHighlights(c);
    const int bar = SongBarOfCell(c);
    if (HasRange() && bar >= rangeFirst && bar <= rangeLast) {
      g_scorePicture->AddHighlight(c, 0, g_scorePicture->RowWidth(c), kRangeHighlight);
    }
  }
}

void CBrevantDlg::DrawRangeHighlight() {
  if (!g_scorePicture) return;
  MarkRangeHighlight();
  for (int c = 0; c < g_barsPerPage; ++c) {
    g_scorePicture->DrawRow(c);
    g_scorePicture->Blit(c);
  }
}

void CBrevantDlg::ShowEditMenu() {
  if (!song) return;
  song->TakeUndoSnapshot();
  const int first = rangeFirst >= 0 ? rangeFirst + 1 : 1;
  int last = song->bar_count;
  if (rangeFirst >= 0) {
    last = rangeLast + 1;
  } else if (cursorBar >= 0) {
    last = std::min(song->bar_count, SongBarOfCell(cursorBar));
  }
  // The bar-range edit dialog proposes (first, last) and answers the operation to run.
  CCopyDlg dialog(this);
  dialog.SetOwner(this);
  dialog.beatsPerBar = SongBeatsPerBar();
  dialog.from = first;
  dialog.to = last;
  RunModal(dialog);
  RunRangeEdit(dialog.operation, dialog.from, dialog.to, dialog.target);
}

bool CBrevantDlg::RangeEditValid(int operation, int f, int l, int v) const {
  const int n = song->bar_count;
  const int maxBars = kSongMaxBeats / SongBeatsPerBar();
  if (operation == 10 || operation == 11) return true;
  if (f < 1 || l < f) return false;
  if (operation == 2) return f <= n + 1 && l <= maxBars;
  if (l > n) return false;
  if (operation == 0 || operation == 1) return v >= 1 && v <= maxBars;
  if (operation == 7) return v >= -127 && v <= 127;
  return true;
}

void CBrevantDlg::RunRangeEdit(int operation, int f, int l, int v) {
  if (!song || operation == -1) return;
  if (operation < 0 || operation > 15 || !RangeEditValid(operation, f, l, v)) {
    ErrorMsg(0);
    return;
  }
  const int i = f - 1, e = l - 1;
  switch (operation) {
    case 0: InsertBarCopies(i, e, v - 1); break;
    case 1: MoveBars(i, e, v - 1); break;
    case 2:
      if (CanGrowBy(e - i + 1)) song->InsertBars(i, e);
      break;
    case 3: song->DeleteBars(i, e); break;
    case 4: song->DeleteBeat(i, e); break;
    case 5: song->DeleteEighth(i, e); break;
    case 6: song->ClearLyrics(i, e); break;
    case 7: song->TransposeBars(i, e, v); break;
    case 8:
      if ((e - i + 1) % 2 != 0) {
        ErrorMsg(4);
        return;
      }
      song->HalveNoteValues(i, e);
      break;
    case 9: song->DoubleNoteValues(i, e); break;
    case 10:
    case 11:
      if (operation == 10 ? song->ConvertToFourFourTriplets() : song->ConvertToSixEight()) {
        FollowSongMetre();
      }
      break;
    case 12:
    case 13:
    case 14:
      if (ComposeRefused()) return;
      for (int bar = i; bar <= e; ++bar) {
        if (operation == 14) song->ClearBar(bar, true);
        if (operation != 13) ComposeChords(bar, bar);
        if (operation != 12) ComposeMelody(bar, bar);
      }
      break;
    case 15: song->InvertMelodyAndChords(i, l); break;
    default: break;
  }
  RedrawAfterEdit();
}

void CBrevantDlg::FollowSongMetre() {
  {
    const QSignalBlocker block(metreList);
    metreList->setCurrentIndex(CCantrelCommon::MetreIndex(song->beats_per_bar, song->metre_kind));
  }
  OnMetreChange();
  SetBarCount(song->bar_count);
  tempoSpin->setValue(2 * tempoSpin->value() / 3);
  ShowBeatsPerBar(song->beats_per_bar);
}
