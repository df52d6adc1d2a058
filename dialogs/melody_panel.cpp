#include "dialogs/melody_panel.h"

#include "dialogs/panel_owner.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/text_limits.h"
#include "platform/qt/keyboard_hook.h"
#include "platform/qt/qt_text.h"
#include "song/chord_model.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_music.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <cmath>
#include <cstdlib>

const PcKeyNote PcKeyNoteTable[20] = {
    {'A', -5, "A"}, {'W', -4, "W"}, {'S', -3, "S"}, {'E', -2, "E"}, {'D', -1, "D"},
    {'F', 0, "F"},  {'T', 1, "T"},  {'G', 2, "G"},  {'Y', 3, "Y"},  {'H', 4, "H"},
    {'J', 5, "J"},  {'I', 6, "I"},  {'K', 7, "K"},  {'O', 8, "O"},  {'L', 9, "L"},
    {'P', 10, "P"}, {0xBB, 11, ";"}, {0xBA, 12, ":"}, {0xDB, 13, "["}, {0xDD, 14, "]"},
};

const LengthButtons LengthButtonTable = {
    {8, 7, 6, 4, 3.5, 3, 2, 1.5, 1, 0.5},
    {{195, 198, 197, 196, 201, 200, 199, 203, 202, 204},
     {205, 209, 209, 206, 209, 209, 207, 209, 208, 194}},
    {{nullptr, nullptr, nullptr, "8", nullptr, "6", "4", "3", "2", "1"},
     {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "0"}},
};

namespace {

CMelodyDlg* g_instance = nullptr;

constexpr int kRestRow = 0;
constexpr int kRapRow = 5;
constexpr int kWholeNoteRow = 10;
constexpr int kLyricBytes = 19;
constexpr int kVkLeft = 0x25;
constexpr int kVkRight = 0x27;

// The guide labels of the length buttons shown, or taken away.
void LabelLengthButtons(bool shown) {
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 10; ++column) {
      const char* guide = LengthButtonTable.guides[row][column];
      if (guide) CBitmapGridPicture::SetCellLabel(0, row, column, shown ? guide : "");
    }
  }
  CBitmapGridPicture::DrawGrid(0);
  CBitmapGridPicture::Blit(0);
}

// Digit keys: row, column and advance of their length button.
struct DigitKey {
  int digit, row, column, advance;
};
constexpr DigitKey kDigitKeys[] = {{0, 1, 9, 0}, {1, 0, 9, 1}, {2, 0, 8, 1}, {3, 0, 7, 1},
                                   {4, 0, 6, 1}, {6, 0, 5, 1}, {8, 0, 3, 1}};


void Select(QComboBox* list, int row) {
  // Loading the list is no user action: no handler runs (handlers hang on `activated`).
  if (list) list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
}

std::string Cut(const std::string& text, size_t bytes) {
  return text.substr(0, Cp932FitLength(text, bytes));
}

bool IsPitchValue(int v) { return v >= 0 && v <= 127; }

}  // namespace

CMelodyDlg* CMelodyDlg::Instance() { return g_instance; }

CMelodyDlg::CMelodyDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("メロディ入力"));
  const char* captionTexts[4] = {"長さ", "種類", "音名", "歌詞"};
  for (int i = 0; i < 4; ++i) {
    captions[i] = new QLabel(plat::ToQString(captionTexts[i]), this);
    captions[i]->setObjectName(QString::number(1047 + i));
  }
  lengthList = MakeControl<QComboBox>(1019);
  typeList = MakeControl<QComboBox>(1021);
  nameList = MakeControl<QComboBox>(1020);
  lyricBox = new QLineEdit(this);
  lyricBox->setObjectName("1034");
  adviceBox = MakeAdviceBox(1055);
  keyboardHost = new COffScreenControl(this);
  keyboardHost->setObjectName("1041");
  lengthHost = new COffScreenControl(this);
  lengthHost->setObjectName("1040");
  const int buttonIds[5] = {1004, 1005, 1051, 1052, 1042};
  for (int i = 0; i < 5; ++i) {
    buttonHosts[i] = new COffScreenControl(this);
    buttonHosts[i]->setObjectName(QString::number(buttonIds[i]));
  }
  connect(lengthList, qOverload<int>(&QComboBox::activated), this, [this] { OnLengthChanged(); });
  connect(typeList, qOverload<int>(&QComboBox::activated), this, [this] { OnTypeChanged(); });
  connect(nameList, qOverload<int>(&QComboBox::activated), this, [this] { OnNameChanged(); });
  connect(lyricBox, &QLineEdit::textEdited, this, [this] { OnLyricChanged(); });
  ForwardCtrlKeys(true);
}

CMelodyDlg::~CMelodyDlg() {
  keyboard_.reset();
  lengthGrid_.reset();
  if (g_instance == this) g_instance = nullptr;
}

void CMelodyDlg::SetPanelOwner(CPanelOwner* owner) {
  panelOwner_ = owner;
  SetOwner(owner);
}

int CMelodyDlg::InputModeOf() const { return panelOwner_ ? panelOwner_->InputMode() : 1; }
int CMelodyDlg::TypeRow() const { return typeList->currentIndex(); }
int CMelodyDlg::NameRow() const { return nameList->currentIndex(); }

bool CMelodyDlg::OnInitDialog() {
  g_instance = this;
  if (panelOwner_ && panelOwner_->AdviceShown() == 0) adviceBox->hide();
  if (panelOwner_) {
    MelodyPanelFields& f = panelOwner_->MelodyFields();
    f.typeRow = 0;
    f.cursorBar = 0;
    f.cursorEighth = 0;
    f.pitch = 0;
  }
  CreateKeyboard();
  lengthGrid_ = std::make_unique<CBitmapGridPicture>(
      lengthHost, plat::Rect{10, 157, 310, 217}, 2, 10, LengthButtonTable.bitmaps,
      [](int row, int column) {
        if (CMelodyDlg* p = Instance()) p->SelectLengthButton(row, column, 1);
      },
      [](int, int) {});
  PlaceControls({
      {1047, 10, 8, 164, 23},  {1048, 173, 8, 243, 23}, {1049, 251, 8, 304, 23},
      {1050, 313, 8, 408, 23}, {1019, 10, 32, 164, 52}, {1021, 173, 32, 243, 52},
      {1020, 251, 32, 304, 52}, {1034, 313, 30, 408, 54}, {1041, 10, 60, 410, 150},
      {1040, 10, 157, 310, 217}, {1055, 9, 225, 412, 306},
  });
  return true;
}

void CMelodyDlg::CreateKeyboard() {
  int low = 48, high = 83;
  if (panelOwner_) panelOwner_->KeyboardRange(&low, &high);
  const int range[2] = {low, high};
  keyboard_.reset();
  keyboard_ = std::make_unique<CKeyboardPicture>(keyboardHost, plat::Rect{10, 60, 410, 150}, range,
                                                 [](int note) {
                                                   if (CMelodyDlg* p = Instance()) p->OnKeyboardNote(note);
                                                 });
  keyboardHost->SetId(0);
  SetKeyLabels();
  ColourScaleKeys();
}

void CMelodyDlg::RebuildKeyboard() {
  CreateKeyboard();
  CKeyboardPicture::Blit(0);
}

void CMelodyDlg::FillNoteLengthLists() {
  for (const OctaveRange& r : OctaveRangeTable) typeList->addItem(plat::ToQString(r.label));
  for (const NoteValue& v : NoteValueTable) lengthList->addItem(plat::ToQString(v.label));
  for (const PitchClassName& n : PitchClassNameTable) {
    nameList->addItem(plat::ToQString(n.solfege_sharp));
  }
}

// ---- notes ------------------------------------------------------------------------------------

int CMelodyDlg::FoldIntoRegisters(int note) {
  while (note < 48) note += 12;
  while (note > 95) note -= 12;
  return note;
}

void CMelodyDlg::OnKeyboardNote(int note) {
  if (note > 0) {
    // The four registers hold 48-95; other notes come in by octaves.
    note = FoldIntoRegisters(note);
    Select(nameList, note % 12);
    Select(typeList, (note - 48) / 12 + 1);
    lyricBox->setEnabled(true);
  }
  nameList->setEnabled(true);
  UpdatePressedKey();
  MarkChanged(MelodyPanelFields::kPitchChanged);
  SendNoteToScore(0, 1, 1);
}

void CMelodyDlg::MarkChanged(int parts) {
  pending_ = true;
  if (panelOwner_) panelOwner_->MelodyFields().changed |= parts;
}

int CMelodyDlg::SendNoteToScore(int redrawAll, int audition, int post) {
  const int type = TypeRow();
  const bool restOrRap = type == kRestRow || type == kRapRow;
  if (!restOrRap && InputModeOf() == 0) {
    lyricBox->setEnabled(false);
  } else if (restOrRap && InputModeOf() == 1) {
    lyricBox->setEnabled(true);
    lyricBox->setFocus();
  }
  const int name = NameRow();
  if (lengthList->currentIndex() < 0) Select(lengthList, kWholeNoteRow);
  const int length = lengthList->currentIndex();
  const std::string lyric = Cut(plat::FromQString(lyricBox->text()), kLyricBytes);
  const int pitch = PitchFromRows(type, name);
  if (type == kRestRow && !lyric.empty()) {
    ShowMessageCode(1);
    return 0;
  }
  SyncLengthButtons();
  if (panelOwner_) {
    MelodyPanelFields& f = panelOwner_->MelodyFields();
    f.typeRow = type;
    f.nameRow = std::max(name, 0);
    f.lengthRow = length;
    f.lyric = Cut(lyric, 7);
    f.pitch = pitch;
  }
  pending_ = false;
  if (post == 1) {
    PostToMain(kMsgEnterNote, audition, redrawAll);
  } else if (panelOwner_) {
    panelOwner_->SendToMain(kMsgEnterNoteNow, audition, redrawAll);
  }
  return 1;
}

void CMelodyDlg::SelectLengthButton(int row, int column, int advance) {
  if (row < 0 || row > 1 || column < 0 || column > 9) return;
  CBitmapGridPicture::ClearSelection(0);
  CBitmapGridPicture::SetCellSelected(0, row, column, 1);
  CBitmapGridPicture::Blit(0);
  for (int i = 0; i < kNoteValueCount; ++i) {
    if (NoteValueTable[i].eighths == LengthButtonTable.eighths[column]) {
      Select(lengthList, i);
      break;
    }
  }
  MarkChanged(MelodyPanelFields::kLengthChanged);
  if (row == 1) {
    Select(typeList, kRestRow);
    lyricBox->clear();
    MarkChanged(MelodyPanelFields::kLyricChanged);
    OnTypeChanged();
  } else if (SendNoteToScore(0, 1, 0) == 0) {
    return;
  }
  if (advance == 1) PostToMain(kMsgNextCell, 0, 0);
}

void CMelodyDlg::SyncLengthButtons() {
  const int row = std::clamp(lengthList->currentIndex(), 0, kNoteValueCount - 1);
  int column = 0;
  for (int j = 0; j < 10; ++j) {
    if (LengthButtonTable.eighths[j] == NoteValueTable[row].eighths) {
      column = j;
      break;
    }
  }
  CBitmapGridPicture::ClearSelection(0);
  if (panelOwner_ && panelOwner_->GuideShown() == 1) SetLengthLabels();
  CBitmapGridPicture::SetCellSelected(0, TypeRow() == kRestRow ? 1 : 0, column, 1);
  CBitmapGridPicture::Blit(0);
}

void CMelodyDlg::SetLengthLabels() { LabelLengthButtons(true); }

void CMelodyDlg::ClearLengthLabels() { LabelLengthButtons(false); }

void CMelodyDlg::OnHookKey(int key, int bits) {
  if (bits & 1) {
    PostToMain(kMsgCtrlKey, key, bits);
    return;
  }
  if (key >= 0x60 && key <= 0x69) key = '0' + (key - 0x60);
  if (key == kVkLeft) {
    PostToMain(kMsgPreviousCell, 0, 0);
    return;
  }
  if (key == kVkRight) {
    PostToMain(kMsgNextCell, 0, 0);
    return;
  }
  for (const DigitKey& d : kDigitKeys) {
    if (key == '0' + d.digit) {
      SelectLengthButton(d.row, d.column, d.advance);
      return;
    }
  }
  for (const PcKeyNote& k : PcKeyNoteTable) {
    if (k.vk == key) {
      OnKeyboardNote(((bits & 2) ? 72 : 60) + k.offset);
      return;
    }
  }
}

void CMelodyDlg::OnTypeChanged() {
  const int row = TypeRow();
  nameList->setEnabled(row >= 0 && row < kOctaveRangeCount && OctaveRangeTable[row].octave >= 0);
  UpdatePressedKey();
  MarkChanged(MelodyPanelFields::kPitchChanged);
  SendNoteToScore(1, 1, 1);
}

void CMelodyDlg::OnNameChanged() {
  UpdatePressedKey();
  MarkChanged(MelodyPanelFields::kPitchChanged);
  SendNoteToScore(1, 1, 1);
}

void CMelodyDlg::OnLengthChanged() {
  MarkChanged(MelodyPanelFields::kLengthChanged);
  SendNoteToScore(1, 1, 1);
}

void CMelodyDlg::UpdatePressedKey() {
  if (CKeyboardPicture::Count() == 0) return;
  CKeyboardPicture::ClearPressedKeys(0);
  const int pitch = PitchFromRows(TypeRow(), NameRow());
  if (pitch > 0) CKeyboardPicture::AddPressedKey(pitch, 0);
}

void CMelodyDlg::OnLyricChanged() {
  const int type = TypeRow();
  lyricBox->setEnabled(InputModeOf() != 0 && type != kRestRow);
  const std::string lyric = Cut(plat::FromQString(lyricBox->text()), kLyricBytes);
  if (panelOwner_) panelOwner_->MelodyFields().lyric = Cut(lyric, 7);
  PostToMain(kMsgStoreLyric, 0, 0);
}

void CMelodyDlg::ShowCursorNote() {
  ColourScaleKeys();
  if (!panelOwner_) return;
  const MelodyPanelFields& f = panelOwner_->MelodyFields();
  setWindowTitle(plat::ToQString(f.position));
  Select(typeList, f.typeRow);
  if (f.typeRow == kRestRow) lyricBox->setEnabled(false);
  if (f.typeRow == kRapRow) lyricBox->setEnabled(true);
  nameList->setEnabled(f.typeRow >= 0 && f.typeRow < kOctaveRangeCount &&
                       OctaveRangeTable[f.typeRow].octave >= 0);
  Select(lengthList, f.lengthRow);
  Select(nameList, f.nameRow);
  UpdatePressedKey();
  lyricBox->setText(plat::ToQString(f.lyric));
  pending_ = false;
  Post(kMsgAdvice);
}

void CMelodyDlg::ColourScaleKeys() {
  if (CKeyboardPicture::Count() == 0 || !panelOwner_) return;
  const int keyRow = panelOwner_->KeyRow();
  if (keyRow < 0 || keyRow >= kKeySignatureCount) return;
  const bool guide = panelOwner_->GuideShown() == 1;
  for (int i = 0; i < CKeyboardPicture::KeyCount(0); ++i) {
    const int note = CKeyboardPicture::Key(0, i).note;
    const bool inScale = GneIsDiatonic(keyRow, note) == 1;
    const bool white = !CKeyboardPicture::IsBlackKey(note);
    plat::ColorRef c;
    if (inScale) {
      c = white ? (guide ? 0xBFFFFF : 0xFFFFFF) : (guide ? 0x205050 : 0x000000);
    } else {
      c = white ? (guide ? 0xDFDFDF : 0xFFFFFF) : (guide ? 0x5F5F5F : 0x000000);
    }
    CKeyboardPicture::SetKeyColor(0, note, c);
  }
  CKeyboardPicture::DrawKeyboard(0);
  CKeyboardPicture::Blit(0);
}

void CMelodyDlg::SetKeyLabels() {
  if (CKeyboardPicture::Count() == 0) return;
  const bool guide = panelOwner_ && panelOwner_->GuideShown() == 1;
  for (int note = 48; note <= 83; ++note) {
    std::string label;
    if (guide) {
      for (const PcKeyNote& k : PcKeyNoteTable) {
        if (60 + k.offset == note) {
          label = k.label;
          break;
        }
      }
    }
    CKeyboardPicture::SetKeyLabel(0, note, label);
  }
  CKeyboardPicture::DrawKeyboard(0);
  CKeyboardPicture::Blit(0);
}

void CMelodyDlg::ShowMessageCode(int code) {
  const char* text = "";
  switch (code) {
    case 1: text = "休符に歌詞は入力できません。"; break;
    case 2: text = "先にキーボード上の音を選んでから長さを指定してください。"; break;
    case 3: text = "音域外の音です。"; break;
    default: break;
  }
  ShowMessage(text);
}

// ---- advice -----------------------------------------------------------------------------------

int CMelodyDlg::FindPreviousNote(const CSongData& song, int bar, int eighth, int* foundBar,
                                 int* foundEighth) {
  const int eighths = std::max(1, static_cast<int>(song.beats_per_bar) * 2);
  int b = std::min(bar, song.SongBeats() * 2 / eighths);
  int e = eighth;
  auto back = [&] {
    if (--e < 0) {
      --b;
      e = eighths - 1;
    }
    return b >= 0;
  };
  auto none = [&] {
    if (foundBar) *foundBar = -1;
    if (foundEighth) *foundEighth = -1;
    return -1;
  };
  if (!back()) return none();
  int value = song.GetSlotValue(b, e, false);
  while (value == NoteSlotHold) {
    if (!back()) return none();
    value = song.GetSlotValue(b, e, false);
  }
  int rb = b, re = e;
  if (value == NoteSlotRest) {
    while (back() && song.GetSlotValue(b, e, false) == NoteSlotRest) {
      rb = b;
      re = e;
    }
  }
  if (foundBar) *foundBar = rb;
  if (foundEighth) *foundEighth = re;
  return value;
}

std::string CMelodyDlg::FormatPitchName(int pitch) {
  if (pitch == NoteSlotRap) return OctaveRangeTable[kRapRow].label;
  if (!IsPitchValue(pitch)) return std::string();
  const int octave = pitch / 12;
  std::string mark;
  if (octave < 5) {
    mark = "▽";
  } else if (octave == 6) {
    mark = "△";
  } else if (octave > 6) {
    mark = "▲";
  }
  return mark + GneSolfegeName(pitch);
}

bool CMelodyDlg::IsChordTone(int keyRow, int root, int type, int pitch) {
  if (keyRow < 0 || keyRow >= kKeySignatureCount || root < 0 || type < 0 ||
      type >= kChordSuffixCount || pitch < 0) {
    return false;
  }
  const int degree = (root - KeySignatureTable[keyRow].tonic + 12) % 12;
  const CChordControl chord(keyRow, degree, type);
  int tones[4] = {-1, -1, -1, -1};
  const int n = chord.GetChordTones(tones);
  for (int i = 0; i < n && i < 4; ++i) {
    if (tones[i] >= 0 && pitch % 12 == tones[i] % 12) return true;
  }
  return false;
}

std::vector<std::string> CMelodyDlg::AdviceLines() const {
  std::vector<std::string> lines(6);
  if (!panelOwner_ || !panelOwner_->Song()) return lines;
  const CSongData& song = *panelOwner_->Song();
  const MelodyPanelFields& f = panelOwner_->MelodyFields();
  int b1 = -1, e1 = -1;
  const int p1 = FindPreviousNote(song, f.cursorBar, f.cursorEighth, &b1, &e1);
  const int p2 = b1 < 0 ? -1 : FindPreviousNote(song, b1, e1, nullptr, nullptr);
  if (!IsPitchValue(p1) && p1 != NoteSlotRap) {
    lines[0] = "出だしの音です。";
  } else if (!IsPitchValue(p1) || !IsPitchValue(p2)) {
    // Without two pitches there is no motion to name.
    lines[0] = "1つ前の音は[" + FormatPitchName(p1) + "]です。";
  } else {
    lines[0] = "2つ前の音は[" + FormatPitchName(p2) + "]、1つ前の音は[" + FormatPitchName(p1) +
               "]で[" + GneFormatIntervalName(p1 - p2) + "]の[" + GneFormatMotionName(p1 - p2) +
               "]です。";
  }
  const int keyRow = std::clamp(panelOwner_->KeyRow(), 0, kKeySignatureCount - 1);
  const KeySignature& key = KeySignatureTable[keyRow];
  if (IsPitchValue(p1)) {
    // Lines 2-4 step from the previous note; without one they stay empty.
    int upper = -1, lower = -1;
    for (int step = 1; step < 128; ++step) {
      const int up = (p1 + step) % 128;
      if (upper < 0 && GneIsScaleTone(key.tonic, key.mode, up)) upper = up;
      const int down = (p1 - step + 128) % 128;
      if (lower < 0 && GneIsScaleTone(key.tonic, key.mode, down)) lower = down;
    }
    if (upper >= 0 && lower >= 0) {
      lines[1] = "音階内に[順次進行]させる場合は、[" + FormatPitchName(lower) + "]、[" +
                 FormatPitchName(upper) + "]の選択が可能です。";
    }
    int root = -1, type = -1, chordKey = 0, bass = 0;
    song.GetChord(f.cursorBar, f.cursorEighth / 2, &root, &type, &chordKey, &bass, 0);
    auto first = [&](int from, int dir, bool chordTone) {
      for (int p = from; p >= 0 && p <= 127; p += dir) {
        const bool tone = IsChordTone(keyRow, root, type, p);
        if (chordTone ? tone : (!tone && GneIsScaleTone(key.tonic, key.mode, p))) return p;
      }
      return -1;
    };
    // A beat without a chord ("Skip") has no tones in or out of it.
    if (root >= 0 && type >= 0) {
      const int inUp = first(p1 + 3, 1, true), inDown = first(p1 - 3, -1, true);
      if (inUp >= 0 && inDown >= 0) {
        lines[2] = "コードの内音に[跳躍進行]させる場合は[" + FormatPitchName(inDown) + "]、[" +
                   FormatPitchName(inUp) + "]の選択が可能です。";
      }
      const int outUp = first(p1 + 3, 1, false), outDown = first(p1 - 3, -1, false);
      if (outUp >= 0 && outDown >= 0) {
        lines[3] = "コードの外音に[跳躍進行]させる場合は[" + FormatPitchName(outDown) + "]、[" +
                   FormatPitchName(outUp) + "]の選択が可能です。";
      }
    }
    if (IsPitchValue(p2) && p1 - p2 >= 5) lines[4] = "大きな跳躍の後なので順次進行が望まれます。";
  }
  int lowest = -1, highest = -1;
  song.GetPitchRange(&lowest, &highest, 0, song.SongBeats() / std::max(1, static_cast<int>(song.beats_per_bar)));
  if (lowest > 127) lowest = -1;  // no pitch in the song
  if ((lowest < 0) != (highest < 0)) {
    GneErrorMsg(0);
  } else if (lowest >= 0) {
    lines[5] = "現在の音域は、[" + FormatPitchName(lowest) + "]から[" + FormatPitchName(highest) +
               "]の[" + GneFormatIntervalName(highest - lowest) + "]です。";
  }
  return lines;
}

void CMelodyDlg::ShowAdvice() {
  if (!panelOwner_ || panelOwner_->AdviceShown() != 1) return;
  std::string text;
  for (const std::string& line : AdviceLines()) text += line + "\n";
  adviceBox->setPlainText(plat::ToQString(text));
}

// ---- messages and events ------------------------------------------------------------------------

void CMelodyDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case kMsgAdvice: ShowAdvice(); break;
    case kMsgGuitarNote: {
      int note = static_cast<int>(wparam);
      if (note == -1) break;
      if (note >= 84) {
        ShowMessageCode(3);
        note = (note - 72) % 12 + 72;
      }
      OnKeyboardNote(note);
      break;
    }
    case kMsgHookKey: OnHookKey(static_cast<int>(wparam), static_cast<int>(lparam)); break;
    case kMsgInputMode:
      if (wparam != 0) lyricBox->setEnabled(true);
      break;
    default: break;
  }
}

void CMelodyDlg::CopyPictures() {
  CKeyboardPicture::BlitAll();
  CBitmapGridPicture::BlitAll();
}

void CMelodyDlg::accept() { PostToMain(kMsgEnterKey, 0, 0); }

void CMelodyDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    accept();
    return;
  }
  CDialogSkeleton::keyPressEvent(event);
}

bool CMelodyDlg::event(QEvent* e) {
  // Losing the focus enters what the user changed and has not been entered yet.
  if (e->type() == QEvent::WindowDeactivate && pending_) {
    pending_ = false;
    PostToMain(kMsgEnterNote, 0, 1);
  }
  return CDialogSkeleton::event(e);
}
