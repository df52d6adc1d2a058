// The score page of the main window: layout by screen mode and display scale, the toolbar, the
// knob and bar counter, the bar cells with their labels, chord cells, melody boxes and score rows,
// and the redraws of the page.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "app/melody_box.h"
#include "draw/button_picture.h"
#include "draw/chord_cell_picture.h"
#include "draw/counter_picture.h"
#include "draw/knob_picture.h"
#include "draw/main_dialog_helper.h"
#include "draw/staff_picture.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/text_drag_drop.h"
#include "song/cantrel_uty.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "util/gne.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void Place(QWidget* w, const PageRect& r) {
  if (w) w->setGeometry(r.left, r.top, r.Width(), r.Height());
}

// The highlight of the cursor's eighth on its score row.
constexpr plat::ColorRef kCursorHighlight = 0xFFE6D2;

}  // namespace

int CBrevantDlg::SongBarOfCell(int cell) const { return topRow * g_barsPerRow + cell; }

int CBrevantDlg::SongBeatsPerBar() const {
  return song && song->beats_per_bar > 0 ? song->beats_per_bar : 4;
}

void CBrevantDlg::SetScaleMetrics() { layout_.metrics = ScaleMetricsFor(g_displayScale); }

bool CBrevantDlg::ComputeLayout() {
  int screenH = 0, screenW = 0, availH = 0, availW = 0;
  GetScreenSize(&screenH, &screenW);
  GetAvailableScreenSize(&availH, &availW);
  const int wanted = config.screenLayout;
  if (wanted < 0 || wanted >= kScreenModeCount) {
    GneMessageBox("screen size");
    return false;
  }
  // The window never grows past the available screen: a smaller mode takes its place, and that
  // is what is kept.
  const int mode = FittingScreenMode(wanted, g_displayScale, screenW, screenH, availW, availH);
  config.screenLayout = static_cast<int8_t>(mode);
  PageLayout L;
  ComputePageLayout(mode, g_displayScale, screenW, screenH, &L);
  layout_ = L;
  g_barsPerRow = L.geometry.barsPerRow;
  g_rowsPerPage = L.geometry.rowsPerPage;
  g_barsPerPage = L.barsPerPage;
  config.scoreRowHeight = static_cast<uint8_t>(L.geometry.scoreRowHeight);
  song::SetPageGeometry(g_rowsPerPage, g_barsPerRow);
  setFixedSize(L.clientWidth, L.clientHeight);
  if (L.geometry.moved) move(std::max(0, L.geometry.x), std::max(0, L.geometry.y));
  return true;
}

void CBrevantDlg::CreatePageLayout() {
  SetScaleMetrics();
  if (!ComputeLayout()) {
    config.screenLayout = 5;
    ComputeLayout();
  }
  CreateToolbarButtons();
  PlaceTopControls();
  ComputeLabelRects();
  PlaceBarLabels();
  CreateChordCells();
  CreateMelodyBox();
  NumberBars();
  RedrawChordCells();
  RefreshMelodyBox(1);
  CreateScorePage();
}

void CBrevantDlg::RebuildLayout() {
  if (!ComputeLayout()) return;
  topRow = 0;
  cursorBar = 0;
  cursorEighth = 0;
  MoveToolbarButtons();
  PlaceTopControls();
  ComputeLabelRects();
  PlaceBarLabels();
  melodyBox.reset();
  chordCells.reset();
  CreateChordCells();
  CreateMelodyBox();
  NumberBars();
  ShowBeatsPerBar(ControlBeats());
  RedrawChordCells();
  RefreshMelodyBox(1);
  RecreateScorePage();
  SetupScoreRows();
  RefreshScore(1);
}

// ------------------------------------------------------------------------------------ toolbar

void CBrevantDlg::CreateToolbarButtons() {
  PlaceScrollBar();
  auto press = [](int code) {
    if (g_mainDialog) g_mainDialog->DispatchButtonCommand(code);
  };
  auto release = [](int) {};
  for (int code = 0; code < kToolbarButtonCount; ++code) {
    const ToolbarButtonPlace& b = layout_.toolbar[code];
    COffScreenControl* control = toolbarControls[code];
    control->setToolTip(plat::ToQString(GetToolTipText(b.tipId)));
    if (code == 0) {
      g_toolbarButtons = new CButtonPicture(press, release, control, (b.rect), b.caption,
                                            b.upBitmap, b.downBitmap, code);
    } else {
      g_toolbarButtons->AddButton(control, (b.rect), b.caption, b.upBitmap, b.downBitmap,
                                  code);
    }
    control->show();
  }
  CButtonPicture::DrawAll();
  CButtonPicture::BlitRange(0, kToolbarButtonCount - 1);
  CreateKnob();
}

void CBrevantDlg::MoveToolbarButtons() {
  PlaceScrollBar();
  if (!g_toolbarButtons) {
    CreateToolbarButtons();
    return;
  }
  for (int code = 0; code < kToolbarButtonCount; ++code) {
    const ToolbarButtonPlace& b = layout_.toolbar[code];
    CButtonPicture::MoveButton(code, (b.rect), b.caption, b.upBitmap, b.downBitmap);
    CButtonPicture::DrawButton(code);
  }
  CButtonPicture::BlitRange(0, kToolbarButtonCount - 1);
  knob.reset();
  CreateKnob();
  AddImportKnob();
}

void CBrevantDlg::SetPlayCaption(int stopped) {
  if (!g_toolbarButtons) return;
  const std::string now = CButtonPicture::Caption(8);
  const char* next = SwapPlayCaption(now.c_str(), stopped);
  if (next == now.c_str()) return;
  CButtonPicture::SetCaption(8, next);
}

void CBrevantDlg::CreateKnob() {
  knob = std::make_unique<CKnobPicture>(knobControl, (layout_.knob), 0, 100);
  knobControl->SetId(0);
  CKnobPicture::SetBackgroundColor(0xC8C2C2, 0);
  CKnobPicture::SetCenterColor(255, 126, 126, 0);
  CKnobPicture::SetMode(1, 0);
  CKnobPicture::SetValue(0, 0);
  knobValue = 0;
  CKnobPicture::DrawKnob(0);
  CKnobPicture::BlitAll();
  knobControl->show();
  if (counterControl) counterControl->raise();
}

void CBrevantDlg::PlaceScrollBar() {
  Place(scrollBar, layout_.scrollBar);
  {
    const QSignalBlocker block(scrollBar);
    scrollBar->setRange(0, LastTopRow());
    scrollBar->setPageStep(std::max(1, g_rowsPerPage));
    scrollBar->setValue(0);
  }
  scrollBar->show();
}

void CBrevantDlg::PlaceTopControls() {
  const PageRect* t = layout_.topLine;
  Place(metreLabel, t[kTopMetreLabel]);
  Place(metreList, t[kTopMetreList]);
  Place(keyList, t[kTopKeyList]);
  // Each edit shares its place with its spin: one control covers both.
  PageRect tempo = t[kTopTempoEdit];
  tempo.right = t[kTopTempoSpin].right;
  Place(tempoSpin, tempo);
  PageRect bars = t[kTopBarCountEdit];
  bars.right = t[kTopBarCountSpin].right;
  Place(barCountSpin, bars);
  Place(barCountLabel, t[kTopBarCountLabel]);
  Place(styleOriginLabel, t[kTopStyleOrigin]);
  Place(categoryList, t[kTopCategoryList]);
  Place(styleList, t[kTopStyleList]);
}

void CBrevantDlg::LabelScoreRows(int first, int chords, int lyrics) {
  if (!g_scorePicture || !song) return;
  const int beats = SongBeatsPerBar();
  for (int h = 0; h < g_barsPerPage; ++h) {
    const int bar = first + h;
    g_scorePicture->ClearLabels(h);
    const int width = g_scorePicture->RowWidth(h);
    const int height = g_scorePicture->RowHeight(h);
    int skipX = -1;
    if (chords && bar >= 0 && bar < song->bar_count) {
      std::string previous;
      for (int b = 0; b < beats; ++b) {
        const int beat = bar * beats + b;
        if (beat >= kSongMaxBeats) break;
        const std::string name(song->chords[beat].first, strnlen(song->chords[beat].first, 8));
        const int x = b * (width / 4) + 2;
        if (name == "Skip" && skipX < 0) skipX = x;
        if (name != previous && name != "----" && name != "Skip") {
          char spelled[CCantrelUty::kSpellingSize];
          CCantrelUty::SpellRootForKey(song->key_index, spelled, name.c_str());
          g_scorePicture->AddLabel(h, spelled, x, 0);
        }
        previous = name;
      }
    }
    if (lyrics && bar >= 0 && bar < song->bar_count) {
      for (int e = 0; e < beats * 2 && e < 8; ++e) {
        const int cell = song->CellIndex(bar, e);
        if (cell < 0) continue;
        std::string joined;
        for (int s = 0; s < 3; ++s) {
          if (song->cells[cell].slot[s] >= 0) {
            joined.append(song->cells[cell].lyric[s], strnlen(song->cells[cell].lyric[s], 7));
          }
        }
        if (!joined.empty()) g_scorePicture->AddLabel(h, joined, e * width / 8, height - 18);
      }
    }
    g_scorePicture->DrawRow(h);
    if (skipX >= 0) {
      if (plat::Dc* dc = g_scorePicture->Surface(h)) {
        dc->FillSolidRect(Rect{skipX, 0, width, height}, 0xFFFFFF);
      }
    }
    g_scorePicture->Blit(h);
  }
}

// ---------------------------------------------------------------------------------- bar cells

void CBrevantDlg::ComputeLabelRects() {
  for (int c = 0; c < kMaxBarCells; ++c) barLabelRects[c] = layout_.barLabels[c];
}

void CBrevantDlg::PlaceBarLabels() {
  for (int c = 0; c < kMaxBarCells; ++c) {
    if (c < g_barsPerPage) {
      Place(barLabels[c], barLabelRects[c]);
      barLabels[c]->show();
    } else {
      barLabels[c]->hide();
    }
  }
}

void CBrevantDlg::CreateChordCells() {
  auto press = [](int cell, int row, int column) {
    if (g_mainDialog) g_mainDialog->OnChordCellPress(cell, row, column);
  };
  auto release = [](int, int, int) {};
  chordCells.reset();
  for (int c = 0; c < g_barsPerPage; ++c) {
    const Rect r = (layout_.chordCells[c]);
    if (c == 0) {
      chordCells = std::make_unique<CChordCellPicture>(chordCellControls[0], r, 1, 4, nullptr,
                                                       press, release);
    } else {
      chordCells->AddGrid(chordCellControls[c], r, 1, 4, nullptr, press, release);
    }
    CChordCellPicture::SetFontHeight(c, 12);
  }
  for (int c = 0; c < kMaxBarCells; ++c) chordCellControls[c]->setVisible(c < g_barsPerPage);
}

void CBrevantDlg::CreateMelodyBox() {
  auto press = [](int cell, int row, int column) {
    if (g_mainDialog) g_mainDialog->OnMelodyBoxPress(cell, row, column);
  };
  melodyBox.reset();
  for (int c = 0; c < g_barsPerPage; ++c) {
    const Rect r = (layout_.melodyBoxes[c]);
    if (c == 0) {
      melodyBox = std::make_unique<CMelodyBoxPicture>(melodyBoxControls[0], r, 1, 8, nullptr,
                                                      press, nullptr);
    } else {
      CMelodyBoxPicture::AddMelodyBox(melodyBoxControls[c], r, 1, 8, nullptr, press, nullptr);
    }
    CMelodyBoxPicture::SetMelodyBoxFont(c, 12);
  }
  for (int c = 0; c < kMaxBarCells; ++c) melodyBoxControls[c]->setVisible(c < g_barsPerPage);
}

void CBrevantDlg::CreateScorePage() {
  auto click = [](int row, int x, int y) {
    if (g_mainDialog) g_mainDialog->OnScorePress(row, x, y);
  };
  auto doubleClick = [](int, int, int row) {
    if (g_mainDialog) g_mainDialog->OnScoreDoubleClick(row);
  };
  auto rightClick = [](int x, int y, int id) {
    if (g_mainDialog) g_mainDialog->ShowBarMenu(id, x, y);
  };
  delete g_scorePicture;
  g_scorePicture = nullptr;
  const int low = config.scoreLow, high = config.scoreHigh;
  for (int c = 0; c < g_barsPerPage; ++c) {
    const Rect r = (layout_.scoreRows[c]);
    if (c == 0) {
      g_scorePicture = new CRhythmStaffPicture(scoreControls[0], r, low, high, click, 960, 240,
                                               doubleClick);
    } else {
      g_scorePicture->AddRow(scoreControls[c], r, low, high, 960);
    }
    scoreControls[c]->SetId(c);
    g_scorePicture->SetClefVisible(c, 0);
    g_scorePicture->ShowBarLines(c, 1);
    g_scorePicture->SetRightClickCallback(c, rightClick);
    g_scorePicture->SetMoveCallback(c, [](int x, int y, int id) {
      if (g_mainDialog) g_mainDialog->OnScoreMove(id, x, y);
    });
    g_scorePicture->SetRightBarLine(c, layout_.rightBarLine[c] ? 1 : 0);
  }
  for (int h = 0; h < layout_.headerCount; ++h) {
    const int id = g_barsPerPage + h;
    COffScreenControl* control = scoreControls[kMaxBarCells + h];
    g_scorePicture->AddRow(control, (layout_.headers[h]), low, high, 240);
    control->SetId(id);
    g_scorePicture->ShowKeySignature(id, 1);
  }
  for (int c = 0; c < kMaxBarCells; ++c) scoreControls[c]->setVisible(c < g_barsPerPage);
  for (int h = 0; h < kMaxHeaderRows; ++h) {
    scoreControls[kMaxBarCells + h]->setVisible(h < layout_.headerCount);
  }
  // The chord cells of a row reach into the blank foot of the staff above them: they lie on top.
  for (int c = 0; c < kMaxBarCells; ++c) chordCellControls[c]->raise();
}

void CBrevantDlg::RecreateScorePage() {
  delete g_scorePicture;
  g_scorePicture = nullptr;
  CreateScorePage();
  CreateImportRows();
  if (g_scorePicture) g_scorePicture->BlitAll();
}

// ------------------------------------------------------------------------------------ redraws

void CBrevantDlg::NumberBars() {
  char text[16];
  for (int c = 0; c < kMaxBarCells; ++c) {
    std::snprintf(text, sizeof text, "%d", topRow * g_barsPerRow + c + 1);
    if (barLabels[c]) barLabels[c]->setText(QString::fromLatin1(text));
  }
}

void CBrevantDlg::ShowBeatsPerBar(int beats) {
  controlBeats_ = beats;
  for (int c = 0; c < g_barsPerPage; ++c) {
    for (int b = 0; b < 4; ++b) CChordCellPicture::SetCellShown(c, 0, b, b < beats ? 1 : 0);
    for (int e = 0; e < 8; ++e) {
      CMelodyBoxPicture::SetMelodyBoxCellShown(c, 0, e, e < beats * 2 ? 1 : 0);
    }
  }
  if (chordCells) {
    CChordCellPicture::DrawAll();
    CChordCellPicture::BlitAll();
  }
  if (melodyBox) {
    CMelodyBoxPicture::DrawAllMelodyBoxes();
    CMelodyBoxPicture::BlitAllMelodyBoxes();
  }
}

void CBrevantDlg::RefreshMelodyBox(int all) {
  if (!melodyBox || !song) return;
  MelodyBoxSource source;
  source.song = song.get();
  source.firstBar = topRow * g_barsPerRow;
  source.inputMode = config.inputMode;
  const int beats = std::min(SongBeatsPerBar(), 4);
  for (int c = 0; c < g_barsPerPage; ++c) {
    if (all != 1 && c != cursorBar) continue;
    int held = 0;
    for (int b = 0; b < beats; ++b) SetMelodyBoxSub(source, c, b, &held);
  }
  if (cursorBar >= 0) {
    for (int c = 0; c < CMelodyBoxPicture::Count(); ++c) {
      int row = -1, column = -1;
      CMelodyBoxPicture::GetMelodyBoxCursor(c, &row, &column);
      if (row >= 0 && c != cursorBar) {
        CMelodyBoxPicture::ClearMelodyBoxCursor(c);
        CMelodyBoxPicture::BlitMelodyBox(c);
      }
    }
    CMelodyBoxPicture::SetMelodyBoxCursor(cursorBar, 0, cursorEighth);
  }
  // Only the boxes that were filled are drawn again.
  for (int c = 0; c < g_barsPerPage; ++c) {
    if (all != 1 && c != cursorBar) continue;
    CMelodyBoxPicture::DrawMelodyBox(c);
    CMelodyBoxPicture::BlitMelodyBox(c);
  }
}

void CBrevantDlg::SetupScoreRows() {
  if (!g_scorePicture) return;
  CCantrelCommon::SetupStaffRows(g_scorePicture, std::max(0, keyList->currentIndex()),
                                 ControlBeats(), config.screenLayout == 1);
}

void CBrevantDlg::RefreshScore(int all) {
  if (!g_scorePicture || !song) return;
  // Every row is drawn below when all are redrawn: the highlight is only marked then.
  if (all == 1 && song::Globals().bars_per_page == g_barsPerPage) {
    MarkRangeHighlight();
  } else {
    DrawRangeHighlight();
  }
  CCantrelCommon::RedrawStaffRows(all == 1, g_scorePicture, song.get(), &staffRedrawState, topRow,
                                  cursorBar, cursorEighth, cursorHalf);
  if (cursorBar >= 0 && cursorBar < g_barsPerPage && cursorEighth >= 0) {
    const int w = g_scorePicture->RowWidth(cursorBar);
    g_scorePicture->ClearHighlights(cursorBar);
    g_scorePicture->AddHighlight(cursorBar, cursorEighth * w / 8, (cursorEighth + 1) * w / 8,
                                 kCursorHighlight);
    g_scorePicture->DrawRow(cursorBar);
    g_scorePicture->Blit(cursorBar);
  }
  update();
}

void CBrevantDlg::ClearChordCursors() {
  for (int c = 0; c < CChordCellPicture::Count(); ++c) CChordCellPicture::ClearCursor(c);
  if (chordCells) CChordCellPicture::BlitAll();
}

void CBrevantDlg::CreateBarCounter() {
  static const std::array<int, 10> kDigits = {241, 242, 243, 244, 245, 246, 247, 248, 249, 240};
  barCounter = std::make_unique<CCounterPicture>(counterControl, (layout_.counter), 3, kDigits);
  counterControl->SetId(0);
  CCounterPicture::SetValue(0, topRow * g_barsPerRow + std::max(cursorBar, 0) + 1);
  counterControl->show();
  counterControl->raise();
}

void CBrevantDlg::ReleasePicturesAndPanels() {
  // The toolbar set's pointer is cleared before the set goes.
  CButtonPicture* buttons = g_toolbarButtons;
  g_toolbarButtons = nullptr;
  delete buttons;
  delete g_scorePicture;
  g_scorePicture = nullptr;
  dropTarget.reset();
  knob.reset();
  chordCells.reset();
  melodyBox.reset();
  barCounter.reset();
  ReleasePanels();
}


std::string CBrevantDlg::GetToolTipText(int id) {
  switch (id) {
    case 0: return std::string();
    case 1004: return "前のページを表示します。";
    case 1005: return "次のページを表示します。";
    case 1006: return "直前の操作を取り消して、楽譜を１つ前の状態に戻します。";
    case 1007: return "アーカイブを表示します。";
    case 1009: return "Cantrelの形式のデータを読み込みます。";
    case 1011: return "作成したデータをCantrelの形式で保存します。";
    case 1012: return "指定された音楽スタイルで曲を再生します。";
    case 1013: return "ヘルプを表示します。";
    case 1014: return "すでに入力されている内容をクリアし、新しい楽譜を表示します。";
    case 1015: return "指定された音楽スタイルでMIDIファイルを書き出します。";
    case 1024: return "コピー、挿入、削除などの編集を行ないます。";
    case 1028: return "曲の情報を表示します。";
    case 1029: return "音符表示と歌詞表示を切り替えます。";
    case 1039: return "終了します。";
    default: return "前頁、次頁で楽譜のページを移動できます。";
  }
}
