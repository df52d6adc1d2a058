#include "dialogs/chord_panel.h"

#include "dialogs/panel_owner.h"
#include "draw/chord_table_picture.h"
#include "draw/main_dialog_helper.h"
#include "platform/qt/qt_text.h"
#include "song/chord_model.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <algorithm>
#include <cstring>

namespace {

CChordDlg* g_instance = nullptr;

constexpr const char* kTonic = "トニック";
constexpr const char* kSubdominant = "サブドミナント";
constexpr const char* kDominant = "ドミナント";
constexpr const char* kUnknown = "不明";

// Chords the advice suggests for a function, by key mode.
struct FunctionChords {
  const char* function;
  std::vector<const char*> chords;
};
const std::vector<FunctionChords> FunctionChordTable[2] = {
    {{kTonic, {"I", "I7", "IM7", "IIIm", "IIIm7", "VIm", "VIm7"}},
     {kSubdominant, {"IV", "IVM7", "IIm", "IIm7"}},
     {kDominant, {"V", "V7", "VIIdim"}}},
    {{kTonic, {"Im", "Im7"}}, {kSubdominant, {"IVm", "IVm7"}}, {kDominant, {"V", "V7"}}},
};

// The function of a chord by key mode, degree above the tonic and type rows.
struct FunctionEntry {
  int mode, degree;
  std::vector<int> types;
  const char* function;
};
const std::vector<FunctionEntry> HarmonicFunctionTable = {
    {0, 0, {0, 2, 3}, kTonic},  {0, 2, {1, 4}, kSubdominant}, {0, 4, {1, 4}, kTonic},
    {0, 5, {0, 2, 3}, kSubdominant}, {0, 7, {0, 2}, kDominant}, {0, 9, {1, 4}, kTonic},
    {0, 11, {6}, kDominant},    {1, 0, {1, 4}, kTonic},       {1, 7, {0, 2}, kDominant},
};


void Select(QComboBox* list, int row) {
  // Loading a list is no user action: the handlers hang on `activated`, which only the user fires.
  list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
}

bool ValidKey(int keyRow) { return keyRow >= 0 && keyRow < kKeySignatureCount; }

std::string SharpName(int pc) { return ChordRootNameTable[((pc % 12) + 12) % 12]; }
std::string FlatName(int pc) { return PitchClassNameTable[((pc % 12) + 12) % 12].letter_flat; }

}  // namespace

CChordDlg* CChordDlg::Instance() { return g_instance; }

CChordDlg::CChordDlg(QWidget* parent)
    : CDialogSkeleton(kTemplateId, parent),
      tableText_(CChordTablePicture::kBlockSize, 0) {
  setWindowTitle(plat::ToQString("コード入力"));
  const int groupIds[4] = {1054, 1056, 1052, 1053};
  const char* groupTitles[4] = {"調", "表/裏", "コード選択", "拍数"};
  for (int i = 0; i < 4; ++i) {
    groups[i] = new QGroupBox(plat::ToQString(groupTitles[i]), this);
    groups[i]->setObjectName(QString::number(groupIds[i]));
  }
  keyList = MakeControl<QComboBox>(1001);
  modeList = MakeControl<QComboBox>(1002);
  rootList = MakeControl<QComboBox>(1018);
  typeList = MakeControl<QComboBox>(1019);
  bassList = MakeControl<QComboBox>(1020);
  beatsSpin = new QSpinBox(this);
  beatsSpin->setObjectName("1032");
  tableHost = new COffScreenControl(this);
  tableHost->setObjectName("1040");
  adviceBox = MakeAdviceBox(1055);
  const int buttonIds[3] = {1041, 1042, 1043};
  for (int i = 0; i < 3; ++i) {
    buttonHosts[i] = new COffScreenControl(this);
    buttonHosts[i]->setObjectName(QString::number(buttonIds[i]));
  }
  connect(rootList, qOverload<int>(&QComboBox::activated), this, [this] { OnRootChanged(); });
  connect(typeList, qOverload<int>(&QComboBox::activated), this, [this] { OnTypeChanged(); });
  connect(bassList, qOverload<int>(&QComboBox::activated), this, [this] { ApplySelection(); });
  connect(modeList, qOverload<int>(&QComboBox::activated), this,
          [this] { OnEntryModeChanged(); });
  // Only the user's own steps of the beats enter the chord (loading the panel sets the value
  // with the signals held back).
  connect(beatsSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this] {
    if (ready_ == 1) ApplySelection();
  });
  ForwardCtrlKeys(true);
}

CChordDlg::~CChordDlg() {
  table_.reset();
  if (g_instance == this) g_instance = nullptr;
}

void CChordDlg::SetPanelOwner(CPanelOwner* owner) {
  panelOwner_ = owner;
  SetOwner(owner);
}

bool CChordDlg::OnInitDialog() {
  g_instance = this;
  if (panelOwner_) {
    ChordPanelFields& f = panelOwner_->ChordFields();
    f.previousKey = 0;
    f.previousRoot = 0;
    f.previousType = 0;
    if (panelOwner_->AdviceShown() == 0) adviceBox->hide();
  }
  beatsSpin->setRange(1, 8);
  PlaceControls({
      {1054, 9, 8, 64, 53},     {1001, 18, 23, 56, 153},  {1056, 65, 8, 120, 53},
      {1002, 73, 23, 121, 123}, {1052, 123, 8, 335, 53},  {1018, 131, 24, 179, 144},
      {1019, 179, 24, 267, 144}, {1020, 266, 24, 327, 144}, {1053, 345, 8, 414, 53},
      {1032, 354, 23, 407, 46}, {1040, 10, 60, 570, 140}, {1055, 11, 146, 568, 214},
  });
  for (const char* mode : {"表", "裏", "消"}) modeList->addItem(plat::ToQString(mode));
  Select(modeList, 0);
  ready_ = 1;
  return true;
}

void CChordDlg::FillTypeAndKeyLists() {
  for (const ChordSuffix& s : ChordSuffixTable) typeList->addItem(plat::ToQString(s.suffix));
  for (const KeySignature& k : KeySignatureTable) keyList->addItem(plat::ToQString(k.name));
}

void CChordDlg::BuildKeyChordTable() {
  std::fill(tableText_.begin(), tableText_.end(), 0);
  const int keyRow = panelOwner_ ? panelOwner_->ChordFields().keyRow : 0;
  if (!ValidKey(keyRow)) return;
  CCantrelCommon::BuildDiatonicChordTable(KeySignatureTable[keyRow].mode == 1 ? 2 : 0, keyRow,
                                          tableText_.data(), false);
}

void CChordDlg::PostRefresh() { Post(kMsgRefresh); }

void CChordDlg::RefreshForKey() {
  if (!panelOwner_) return;
  ChordPanelFields& f = panelOwner_->ChordFields();
  const int keyRow = ValidKey(f.keyRow) ? f.keyRow : 0;
  const KeySignature& key = KeySignatureTable[keyRow];
  rootList->clear();
  for (int pc = 0; pc < 12; ++pc) {
    const bool leadingTone = (key.tonic + 11) % 12 == pc;
    const std::string name = key.accidentals < 0 && !leadingTone ? FlatName(pc) : SharpName(pc);
    rootList->addItem(plat::ToQString(name));
  }
  FillBassList(keyRow);
  table_.reset();
  table_ = std::make_unique<CChordTablePicture>(
      tableHost, plat::Rect{10, 60, 570, 140}, kTableRows, kTableColumns, tableText_.data(),
      [](int row, int column) {
        if (CChordDlg* p = Instance()) p->OnChordTablePress(row, column);
      },
      [](int, int) {});
  if (QFontMetrics(font()).averageCharWidth() > 8) CChordTablePicture::SetFontHeight(0, 16);
  CChordTablePicture::DrawGrid(0);
  CChordTablePicture::Blit(0);
  if (isVisible()) {
    Select(rootList, f.root);
    Select(typeList, f.type);
    Select(keyList, f.keyRow);
    Select(modeList, f.entryMode);
    EnableForEntryMode();
    const QSignalBlocker hold(beatsSpin);
    beatsSpin->setValue(std::clamp(f.beats, 1, 8));
    SelectChordInTable();
    ShowAdvice();
  }
}

void CChordDlg::EnableForEntryMode() {
  const int mode = modeList->currentIndex();
  const bool lists = mode == 0 || mode == 1;
  rootList->setEnabled(lists);
  typeList->setEnabled(lists);
  bassList->setEnabled(lists);
  beatsSpin->setEnabled(mode == 0);
}

void CChordDlg::FillBassList(int keyRow) {
  bassList->clear();
  const int root = panelOwner_ ? panelOwner_->ChordFields().root : -1;
  const bool sharp = !ValidKey(keyRow) || KeySignatureTable[keyRow].accidentals >= 0;
  for (int pc = 0; pc < 12; ++pc) {
    if (pc == root) {
      bassList->addItem(QStringLiteral(" "));
    } else {
      bassList->addItem(plat::ToQString("on " + (sharp ? SharpName(pc) : FlatName(pc))));
    }
  }
  // A beat without a chord has no bass to select.
  if (root >= 0 && panelOwner_) {
    const int bass = std::max(panelOwner_->ChordFields().bass, 0);
    Select(bassList, (bass + root) % 12);
  } else {
    Select(bassList, -1);
  }
}

std::string CChordDlg::SelectedChordName() const {
  const std::string root = plat::FromQString(rootList->currentText());
  const std::string suffix = plat::FromQString(typeList->currentText());
  return suffix == " " ? root : root + suffix;
}

void CChordDlg::FindChordInTable(const std::string& name, int* row, int* column) const {
  *row = -1;
  *column = -1;
  for (int i = 0; i < kTableRows; ++i) {
    for (int j = 0; j < kTableColumns; ++j) {
      const char* slot = &tableText_[i * CChordTablePicture::kBlockRowStride + j * 32];
      std::string text(slot, strnlen(slot, 31));
      if (text.empty()) continue;
      std::string root, suffix;
      CKvCommon::SplitChordText(text, &root, &suffix);
      if (root + suffix == name) {
        *row = i;
        *column = j;
        return;
      }
    }
  }
}

void CChordDlg::SetTableCell(int row, int column, const std::string& text) {
  char* slot = &tableText_[row * CChordTablePicture::kBlockRowStride + column * 32];
  std::memset(slot, 0, 32);
  std::memcpy(slot, text.data(), std::min<size_t>(text.size(), 31));
}

void CChordDlg::PutChordInTable(const std::string& name, int* row, int* column) {
  *row = -1;
  *column = -1;
  if (name.empty() || !panelOwner_) return;
  int col = -1;
  for (int j = 0; j < kTableColumns && col < 0; ++j) {
    if (tableText_[j * 32] == name[0]) col = j;
  }
  if (col < 0) return;
  const std::string text = CCantrelCommon::FormatChordWithDegree(panelOwner_->ChordFields().keyRow, name);
  auto cell = [&](int r) {
    const char* slot = &tableText_[r * CChordTablePicture::kBlockRowStride + col * 32];
    return std::string(slot, strnlen(slot, 32));
  };
  if (cell(0) == text || cell(1) == text) return;
  SetTableCell(1, col, cell(0));
  SetTableCell(0, col, text);
  if (table_) CChordTablePicture::SetAllTexts(0, tableText_.data());
  *row = 0;
  *column = col;
}

void CChordDlg::SelectChordInTable() {
  int row = -1, column = -1;
  const std::string name = SelectedChordName();
  FindChordInTable(name, &row, &column);
  if (row < 0) PutChordInTable(name, &row, &column);
  if (!table_) return;
  CChordTablePicture::ClearMarks(0);
  if (row >= 0) {
    CChordTablePicture::SetCellMarked(0, row, column, 1);
  } else {
    CChordTablePicture::DrawGrid(0);
  }
  CChordTablePicture::Blit(0);
}

void CChordDlg::ApplySelection() {
  if (!panelOwner_) return;
  const int root = rootList->currentIndex();
  const int type = typeList->currentIndex();
  const int bassRow = bassList->currentIndex();
  // A list without a selection would enter half a chord.
  if (root < 0 || type < 0 || bassRow < 0) return;
  ChordPanelFields& f = panelOwner_->ChordFields();
  f.root = root;
  f.type = type;
  if (keyList->currentIndex() >= 0) f.keyRow = keyList->currentIndex();
  f.bass = (bassRow - root + 12) % 12;
  const int beats = std::clamp(beatsSpin->value(), 1, 8);
  if (beats != beatsSpin->value()) {
    const QSignalBlocker hold(beatsSpin);
    beatsSpin->setValue(beats);
  }
  f.beats = beats;
  panelOwner_->EnterChord();
}

void CChordDlg::OnRootChanged() {
  if (!panelOwner_) return;
  ChordPanelFields& f = panelOwner_->ChordFields();
  f.root = rootList->currentIndex();
  f.bass = 0;
  FillBassList(f.keyRow);
  ApplySelection();
  SelectChordInTable();
}

void CChordDlg::OnTypeChanged() {
  ApplySelection();
  SelectChordInTable();
}

void CChordDlg::OnChordTablePress(int row, int column) {
  if (!panelOwner_ || row < 0 || row >= kTableRows || column < 0 || column >= kTableColumns) return;
  int markedRow = -1, markedColumn = -1;
  CChordTablePicture::FindMarkedCell(0, &markedRow, &markedColumn);
  const char* slot = &tableText_[row * CChordTablePicture::kBlockRowStride + column * 32];
  std::string text(slot, strnlen(slot, 31));
  if (text.empty()) return;
  ChordPanelFields& f = panelOwner_->ChordFields();
  std::string rootText, suffix;
  CKvCommon::SplitChordText(text, &rootText, &suffix);
  int root = -1, type = -1;
  CKvCommon::ParseChord(f.keyRow, rootText, suffix, &root, &type);
  if (root < 0 || type < 0) return;
  Select(rootList, root);
  Select(typeList, type);
  f.root = root;
  f.bass = 0;
  FillBassList(f.keyRow);
  ApplySelection();
  CChordTablePicture::ClearMarks(0);
  CChordTablePicture::SetCellMarked(0, row, column, 1);
  CChordTablePicture::Blit(0);
  if (markedRow == row && markedColumn == column) panelOwner_->MoveChordCursorNext();
  Post(kMsgAdvice);
}

int CChordDlg::CanEraseChord(int bar, int beat) const {
  if (beat <= 0 || !panelOwner_ || !panelOwner_->Song()) return 0;
  if (beat >= panelOwner_->Song()->beats_per_bar - 1) return 1;
  char text[8] = {};
  int attribute = 0;
  panelOwner_->GetNextChordCell(bar, beat, text, &attribute);
  return std::strcmp(text, "Skip") == 0 ? 1 : 0;
}

void CChordDlg::OnEntryModeChanged() {
  if (!panelOwner_) return;
  ChordPanelFields& f = panelOwner_->ChordFields();
  const int mode = modeList->currentIndex();
  if (mode == 2) {
    if (CanEraseChord(f.cursorBar, f.cursorBeat) == 0) {
      ErrorMsg(1);
      Select(modeList, 0);
      f.entryMode = 0;
      return;
    }
    f.entryMode = 2;
    f.root = f.type = f.bass = -1;
    panelOwner_->EnterChord();
    PostToMain(kMsgRedrawRows, 0, 0);
  } else {
    f.entryMode = mode;
    char here[8] = {};
    int attribute = 0;
    panelOwner_->GetChordCell(f.cursorBar, f.cursorBeat, here, &attribute);
    if (std::strcmp(here, "Skip") == 0) {
      char before[8] = {};
      panelOwner_->GetPreviousChordCell(f.cursorBar, f.cursorBeat, before, &attribute);
      if (std::strcmp(before, "Skip") == 0) {
        ErrorMsg(1);
        Select(modeList, 2);
        f.entryMode = 2;
        return;
      }
      panelOwner_->SetChordCell(f.cursorBar, f.cursorBeat, before, attribute);
      PostToMain(kMsgRedrawChordCells, 0, 0);
      PostToMain(kMsgRedrawRows, 0, 0);
    }
  }
  PostToMain(kMsgReloadPanel, 0, 0);
}

std::string CChordDlg::HarmonicFunction(int keyRow, int root, int type) {
  if (!ValidKey(keyRow) || root < 0 || type < 0) return kUnknown;
  const KeySignature& key = KeySignatureTable[keyRow];
  if (type >= kChordSuffixCount || root >= 12) {
    if (key.mode == 0) {
      if (CChordDlg* p = Instance()) {
        p->ErrorMsg(0);
      } else {
        GneMessageBox("CChordDlg::ErrorMsg");
      }
    }
    return kUnknown;
  }
  const int degree = (root - key.tonic + 12) % 12;
  for (const FunctionEntry& e : HarmonicFunctionTable) {
    if (e.mode == key.mode && e.degree == degree &&
        std::find(e.types.begin(), e.types.end(), type) != e.types.end()) {
      return e.function;
    }
  }
  return kUnknown;
}

std::string CChordDlg::NextFunction(const std::string& function) {
  if (function == kTonic) return kSubdominant;
  if (function == kSubdominant) return kDominant;
  if (function == kDominant) return kTonic;
  return kUnknown;
}

std::vector<std::string> CChordDlg::AdviceLines() const {
  std::vector<std::string> lines(5);
  if (!panelOwner_) return lines;
  const ChordPanelFields& f = panelOwner_->ChordFields();
  const int previousKey = ValidKey(f.previousKey) ? f.previousKey : 0;
  const std::string keyName = KeySignatureTable[previousKey].name;
  if (f.previousType == -1) {
    lines[0] = "先頭のコードです。";
    lines[1] = "[" + keyName + "]のキーでは通常、先頭に[" + keyName + "]のコードを設定します。";
  } else {
    const std::string p = CCantrelCommon::FormatChordName(previousKey, f.previousRoot, f.previousType);
    const std::string fn = HarmonicFunction(previousKey, f.previousRoot, f.previousType);
    const std::string next = NextFunction(fn);
    lines[0] = "1つ前に設定されているコードは、" + p + "です。" + p + "は、[" + keyName +
               "]のキーでは、[" + fn + "]の役割を持ちます。";
    lines[1] = "[" + fn + "]に続くコードには、[" + next + "]の役割を持つコードが適切です。";
    std::string suggest = "ここでは、";
    const int mode = ValidKey(f.keyRow) ? KeySignatureTable[f.keyRow].mode : 0;
    for (const FunctionChords& fc : FunctionChordTable[mode == 1 ? 1 : 0]) {
      if (next != fc.function) continue;
      for (const char* chord : fc.chords) suggest += std::string("[") + chord + "]、";
    }
    lines[2] = suggest + "などを選択することが考えられます。";
  }
  const std::string current =
      f.root < 0 || f.type < 0 ? std::string() : CCantrelCommon::FormatChordName(f.keyRow, f.root, f.type);
  lines[3] = "現在は[" + current + "]が選択されています。";
  lines[4] = "[" + current + "]のコードは、[" + HarmonicFunction(f.keyRow, f.root, f.type) +
             "]の役割をもちます。";
  return lines;
}

void CChordDlg::ShowAdvice() {
  if (!panelOwner_ || panelOwner_->AdviceShown() != 1) return;
  std::string text;
  const std::vector<std::string> lines = AdviceLines();
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  adviceBox->setPlainText(plat::ToQString(text));
}

void CChordDlg::ErrorMsg(int code) {
  ShowMessage(code == 1 ? "その位置には指定できません。" : "CChordDlg::ErrorMsg");
}

void CChordDlg::WindowProc(uint32_t message, uintptr_t, intptr_t) {
  switch (message) {
    case kMsgAdvice: ShowAdvice(); break;
    case kMsgRefresh: RefreshForKey(); break;
    default: break;
  }
}

void CChordDlg::CopyPictures() { CChordTablePicture::BlitAll(); }
