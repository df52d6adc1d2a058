#include "dialogs/step_dialog.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "draw/text_limits.h"
#include "platform/qt/dc.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <cstdio>

namespace {

CStepDlg* g_stepInstance = nullptr;
CStepEditDlg* g_editInstance = nullptr;

constexpr const char* kHoldCaption = "      ～";
constexpr const char* kNoTripletCaption = "3連不使用";

std::string Format(const char* format, int a, const char* b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

// ---- step edit ----------------------------------------------------------------------------------

CStepEditDlg* CStepEditDlg::Instance() { return g_editInstance; }

CStepEditDlg::CStepEditDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("ステップ編集"));
  barLabel = MakeControl<QLabel>(1059);
  beatLabel = MakeControl<QLabel>(1060);
  valueList = MakeControl<QComboBox>(1061);
  lyricBox = MakeControl<QLineEdit>(1034);
  buttonHosts[0] = MakeControl<COffScreenControl>(1065);
  buttonHosts[1] = MakeControl<COffScreenControl>(1004);
  buttonHosts[2] = MakeControl<COffScreenControl>(1005);
  for (QLabel* l : {barLabel, beatLabel}) UseDialogColours(l);
  connect(valueList, qOverload<int>(&QComboBox::activated), this, [this] { picked_ = true; });
  connect(lyricBox, &QLineEdit::textEdited, this, [this] {
    // The lyric field holds seven bytes: a longer edit is taken back.
    const std::string now = plat::FromQString(lyricBox->text());
    if (now.size() > kLyricBytes) {
      const int cursor = std::min(lyricBox->cursorPosition(), 7);
      lyricBox->setText(plat::ToQString(acceptedLyric_));
      lyricBox->setCursorPosition(cursor);
      return;
    }
    acceptedLyric_ = now;
  });
  connect(lyricBox, &QLineEdit::returnPressed, this, [this] {
    result = 1;
    TakeValues();
  });
}

CStepEditDlg::~CStepEditDlg() {
  buttons_.reset();
  if (g_editInstance == this) g_editInstance = nullptr;
}

bool CStepEditDlg::OnInitDialog() {
  g_editInstance = this;
  result = 0;
  valueChanged = lyricChanged = picked_ = false;
  barLabel->setText(plat::ToQString(barText));
  beatLabel->setText(plat::ToQString(beatText));
  for (int p = 0; p < 128; ++p) {
    valueList->addItem(
        plat::ToQString(Format("ｵｸﾀｰﾌﾞ%d <%s>", p / 12, PitchClassNameTable[p % 12].solfege_sharp)),
        p);
  }
  valueList->addItem(plat::ToQString("～"), NoteSlotHold);
  valueList->addItem(plat::ToQString("休符"), NoteSlotRest);
  if (thirdPart == 1) valueList->addItem(plat::ToQString("3連音符を使用しない"), NoteSlotVacant);
  valueList->addItem(plat::ToQString("ﾗｯﾌﾟ音"), NoteSlotRap);
  valueList->setCurrentIndex(valueList->findData(value));
  lyric = lyric.substr(0, Cp932FitLength(lyric, kLyricBytes));
  acceptedLyric_ = lyric;
  lyricBox->setText(plat::ToQString(lyric));

  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int t = scale < 150 ? 45 : 67;
  auto press = [](int number) {
    if (CStepEditDlg* d = Instance()) d->OnButton(number);
  };
  buttons_ = std::make_unique<CButtonPicture3>(press, [](int) {}, buttonHosts[0],
                                               plat::Rect{10, t, 98, t + 30}, "    閉じる", 168,
                                               167, 0);
  buttons_->AddButton(buttonHosts[1], plat::Rect{400, t, 440, t + 34}, "", 175, 174, 1);
  buttons_->AddButton(buttonHosts[2], plat::Rect{440, t, 480, t + 34}, "", 177, 176, 2);
  CButtonPicture3::DrawAll();
  PlaceControls({{1059, 10, 12, 60, 32},
                 {1060, 64, 12, 150, 32},
                 {1061, 154, 10, 330, 330},
                 {1034, 336, 10, 480, 34}});
  setFixedSize(490, t + 44);
  Post(kMsgFocusLyric);
  return true;
}

void CStepEditDlg::WindowProc(uint32_t message, uintptr_t, intptr_t) {
  if (message == kMsgFocusLyric) lyricBox->setFocus();
}

void CStepEditDlg::CopyPictures() {
  if (buttons_) CButtonPicture3::BlitAll();
}

void CStepEditDlg::OnButton(int index) {
  if (index == 0) {
    result = 0;
  } else if (index == 1) {
    result = -1;
  } else if (index == 2) {
    result = 1;
  } else {
    return;
  }
  TakeValues();
}

void CStepEditDlg::TakeValues() {
  // A value the user did not pick (the preselected one) is no change of theirs.
  const QVariant data = valueList->currentData();
  valueChanged = picked_ && data.isValid();
  if (valueChanged) value = data.toInt();
  lyricChanged = acceptedLyric_ != lyric;
  lyric = acceptedLyric_;
  // The close button is seen pressed before the dialog goes.
  if (result == 0) {
    CloseAfterButton(QDialog::Accepted);
  } else {
    accept();
  }
}

void CStepEditDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    result = 1;
    TakeValues();
    return;
  }
  CDialogSkeleton::keyPressEvent(event);
}

// ---- step input ---------------------------------------------------------------------------------

CStepDlg* CStepDlg::Instance() { return g_stepInstance; }

CStepDlg::CStepDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("ステップ入力"));
  list = MakeControl<QListWidget>(1058);
  list->setUniformItemSizes(true);
  // The second and third slots of a cell are indented with spaces under the first slot's bar
  // and beat, which line up only in a fixed-pitch face.
  list->setFont(plat::FixedPitchJapaneseFont(list->font()));
  for (int i = 0; i < 3; ++i) buttonHosts[i] = MakeControl<COffScreenControl>(1065 + i);
  connect(list, &QListWidget::currentRowChanged, this, [this] { UpdateButtonCaptions(); });
  connect(list, &QListWidget::itemDoubleClicked, this, [this] { EditRow(); });
}

CStepDlg::~CStepDlg() {
  buttons_.reset();
  if (g_stepInstance == this) g_stepInstance = nullptr;
}

int CStepDlg::ButtonTop(int scale) {
  if (scale == 100) return 430;
  if (scale <= 125) return 540;
  if (scale <= 150) return 650;
  if (scale <= 175) return 780;
  return (scale - 150) / 25 * 160 + 540;
}

std::string CStepDlg::PitchCaption(int pitch) {
  return Format("   %d <%s>", pitch / 12, PitchClassNameTable[pitch % 12].solfege_sharp);
}

std::string CStepDlg::FormatRow(CSongData& song, int bar, int beat, int eighth, int slot) {
  const int cell = (bar * song.beats_per_bar + beat) * 2 + eighth;
  const std::string description = song.DescribeSlot(cell, slot, true);
  char lyric[32];
  song.GetCellLyric(bar, beat, eighth, lyric, slot);
  char text[160];
  if (slot == 0) {
    std::snprintf(text, sizeof text, "[小節:%03d] [拍:%d%s]　%s  %s", bar + 1, beat + 1,
                  eighth == 0 ? "表" : "裏", description.c_str(), lyric);
  } else {
    std::snprintf(text, sizeof text, "                     %s  %s", description.c_str(), lyric);
  }
  return text;
}

int CStepDlg::Rows() const { return song_ ? song_->SongCells() * 3 : 0; }

int CStepDlg::SlotAt(int row) const { return song_->cells[row / 3].slot[row % 3]; }

bool CStepDlg::OnInitDialog() {
  g_stepInstance = this;
  if (song_) {
    const int beats = song_->beats_per_bar;
    QStringList rows;
    rows.reserve(Rows());
    for (int cell = 0; cell < song_->SongCells(); ++cell) {
      for (int slot = 0; slot < 3; ++slot) {
        rows << plat::ToQString(
            FormatRow(*song_, cell / 2 / beats, (cell / 2) % beats, cell % 2, slot));
      }
    }
    list->addItems(rows);
  }
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const bool at100 = scale == 100;
  const int y = ButtonTop(scale);
  restCaption_ = at100 ? "   休 符" : " 休 符";
  auto press = [](int number) {
    if (CStepDlg* d = Instance()) d->OnButton(number);
  };
  buttons_ = std::make_unique<CButtonPicture2>(press, [](int) {}, buttonHosts[0],
                                               plat::Rect{10, y, 98, y + 30},
                                               at100 ? "   閉じる" : " 閉じる", 168, 167, 0);
  buttons_->AddButton(buttonHosts[1], plat::Rect{118, y, 206, y + 30}, restCaption_, 168, 167, 1);
  buttons_->AddButton(buttonHosts[2], plat::Rect{206, y, 294, y + 30}, kHoldCaption, 168, 167, 2);
  CButtonPicture2::DrawAll();
  // The list fills the room above the buttons.
  const int width = std::max(420, 420 * scale / 100);
  PlaceControls({{1058, 10, 10, width - 10, y - 10}});
  setFixedSize(width, y + 40);
  SelectRow(startRow);
  return true;
}

void CStepDlg::CopyPictures() {
  if (buttons_) CButtonPicture2::BlitAll();
}

void CStepDlg::SelectRow(int row) {
  if (Rows() == 0) return;
  row = std::clamp(row, 0, Rows() - 1);
  list->setCurrentRow(row);
  list->scrollToItem(list->item(row));
}

void CStepDlg::WindowProc(uint32_t message, uintptr_t, intptr_t) {
  if (message == kMsgEditRow) EditRow();
}

void CStepDlg::UpdateButtonCaptions() {
  const int row = list->currentRow();
  if (!song_ || row < 0 || row >= Rows() || !buttons_) return;
  const int slot = row % 3;
  const int v = SlotAt(row);
  const int p = song_->GetPreviousPitch(row / 3, slot);
  std::string one = restCaption_;
  std::string two = kHoldCaption;
  if (slot == 2 && v == NoteSlotRest) {
    one = p >= 0 ? PitchCaption(p) : kNoTripletCaption;
  } else if (slot == 2 && v == NoteSlotVacant) {
    one = restCaption_;
  } else {
    if (slot == 2) one = kNoTripletCaption;
    if (v == NoteSlotHold && p >= 0) two = PitchCaption(p);
  }
  CButtonPicture2::SetCaption(1, one);
  CButtonPicture2::SetCaption(2, two);
}

void CStepDlg::OnButton(int index) {
  if (index == 0) {
    CloseAfterButton(QDialog::Accepted);
    return;
  }
  const int row = list->currentRow();
  if (!song_ || row < 0 || row >= Rows() || (index != 1 && index != 2)) return;
  const std::string caption = CButtonPicture2::Caption(index);
  const int p = song_->GetPreviousPitch(row / 3, row % 3);
  int value;
  if (index == 1 && caption == kNoTripletCaption) {
    value = NoteSlotVacant;
  } else if (index == 1 && caption == restCaption_) {
    value = NoteSlotRest;
  } else if (index == 2 && caption == kHoldCaption) {
    value = NoteSlotHold;
  } else if (p >= 0) {
    value = p;
  } else {
    return;
  }
  SetSlotValue(value);
}

void CStepDlg::SetSlotValue(int value) {
  const int row = list->currentRow();
  if (!song_ || row < 0 || row >= Rows()) return;
  const int cell = row / 3, slot = row % 3;
  const NoteCell before = song_->cells[cell];
  song_->SetSlotValue(cell, slot, value);
  song_->RestartRestsAtBeats();
  if (!CheckEventLengths(row)) {
    song_->cells[cell] = before;
    song_->RestartRestsAtBeats();
    ShowMessage("この位置にその音符は入力できません。");
  }
  PostToMain(kMsgRedrawPage);
  RewriteRows();
  UpdateButtonCaptions();
}

void CStepDlg::RewriteRows() {
  const int beats = song_->beats_per_bar;
  for (int row = 0; row < Rows() && row < list->count(); ++row) {
    const int cell = row / 3;
    const QString text =
        plat::ToQString(FormatRow(*song_, cell / 2 / beats, (cell / 2) % beats, cell % 2, row % 3));
    if (list->item(row)->text() != text) list->item(row)->setText(text);
  }
}

int CStepDlg::EventStart(int row) const {
  while (row > 0 && (SlotAt(row) == NoteSlotHold || SlotAt(row) == NoteSlotVacant)) --row;
  return row;
}

int CStepDlg::EventLength(int start) const {
  int n = 1;
  for (int r = start + 1; r < Rows(); ++r) {
    if (SlotAt(r) != NoteSlotHold && SlotAt(r) != NoteSlotVacant) break;
    ++n;
  }
  return n;
}

bool CStepDlg::CheckEventLengths(int row) const {
  if (!song_ || row < 0 || row >= Rows()) return false;
  // The song's first slot has nothing before it to hold on.
  if (SlotAt(0) == NoteSlotHold) return false;
  auto fits = [this](int start) {
    if (start < 0 || start >= Rows()) return true;
    const int n = EventLength(start);
    return n >= 1 && n <= kMaxEventSlots;
  };
  if (SlotAt(row) == NoteSlotHold) {
    const int start = EventStart(row);
    return fits(start) && fits(start + EventLength(start));
  }
  const int before = row > 0 ? EventStart(row - 1) : -1;
  return fits(before) && fits(row) && fits(row + EventLength(row));
}

void CStepDlg::EditRow() {
  const int row = list->currentRow();
  if (!song_ || row < 0 || row >= Rows()) return;
  const int cell = row / 3, slot = row % 3;
  const int beats = song_->beats_per_bar;
  const int bar = cell / 2 / beats, beat = (cell / 2) % beats, eighth = cell % 2;
  CStepEditDlg editor(this);
  editor.SetOwner(Owner());
  char text[32];
  std::snprintf(text, sizeof text, "%03d", bar + 1);
  editor.barText = text;
  std::snprintf(text, sizeof text, "%d%s%s", beat + 1, eighth == 0 ? "表" : "裏",
                slot == 1 ? "(2)" : "(3)");
  editor.beatText = text;
  // An empty third part belongs to the third slot only.
  editor.thirdPart = slot == 2 ? 1 : 0;
  const int old = SlotAt(row);
  const int p = song_->GetPreviousPitch(cell, slot);
  editor.value = (old == NoteSlotRest || old == NoteSlotHold || old == NoteSlotVacant) && p >= 0
                     ? p
                     : old;
  editor.lyric = SlotText(song_->cells[cell].lyric[slot], CStepEditDlg::kLyricBytes);
  if (runEditor) {
    runEditor(editor);
  } else {
    editor.exec();
  }
  // Only what the user changed is stored: a preselected pitch is no choice of theirs.
  if (editor.valueChanged && editor.value != old) {
    const NoteCell before = song_->cells[cell];
    song_->SetSlotValue(cell, slot, editor.value);
    song_->RestartRestsAtBeats();
    if (!CheckEventLengths(row)) {
      song_->cells[cell] = before;
      song_->RestartRestsAtBeats();
      ShowMessage("この位置にその音符は入力できません。");
    }
  }
  // The lyric stands as the editor left it (a changed value empties the slot's own).
  CopyToSlot(song_->cells[cell].lyric[slot], sizeof song_->cells[cell].lyric[slot], editor.lyric);
  PostToMain(kMsgRedrawPage);
  PostToMain(kMsgRedrawRows);
  RewriteRows();
  int nextSlot = slot;
  int nextCell = -1;
  if (editor.result == -1) {
    nextCell = song_->FindPreviousNote(cell, slot, &nextSlot, 0);
  } else if (editor.result == 1) {
    nextCell = song_->FindNextNote(cell, slot, &nextSlot);
  } else {
    UpdateButtonCaptions();
    return;
  }
  // Before the first note or after the last the editor stays on its row.
  SelectRow(nextCell >= 0 && nextCell * 3 + nextSlot < Rows() ? nextCell * 3 + nextSlot : row);
  Post(kMsgEditRow);
}
