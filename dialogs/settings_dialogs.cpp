#include "dialogs/settings_dialogs.h"

#include "dialogs/dialog_text.h"
#include "dialogs/melody_panel.h"
#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/core/encoding.h"
#include "platform/core/midi_devices.h"
#include "platform/core/midi_input.h"
#include "platform/qt/qt_text.h"
#include "util/gne_files.h"
#include "util/gne_text.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cstring>

const ScreenLayoutRow ScreenLayoutTable[7] = {
    {0, 800, 600, "3 x 3 下"},    {2, 1024, 600, "4 x 3 下"},   {5, 1024, 768, "4 x 4 下"},
    {3, 1366, 768, "4 x 4 右"},   {4, 1920, 1080, "4 x 4 拡大"}, {6, 1920, 1080, "4 x 6 右"},
    {1, 1920, 1080, "8 x 6 上"},
};

int ScreenLayoutRowOf(int mode) {
  for (int row = 0; row < 7; ++row) {
    if (ScreenLayoutTable[row].mode == mode) return row;
  }
  return 0;
}

namespace {

CConfigDlg* g_configDlg = nullptr;
CInoutConfigDlg* g_inoutDlg = nullptr;

constexpr int kReleasedBitmap = 168;
constexpr int kPressedBitmap = 167;

const char* const kRangeMessage =
    "設定の大小関係や範囲に問題があります。範囲を設定しなおしてください。";

// Sizes at a display scale: as given at exactly 100, grown with the scale otherwise.
int Scaled(int value, int scale) { return scale == 100 ? value : value * scale / 100; }

QLabel* MakeLabel(CDialogSkeleton* dialog, const char* text) {
  auto* label = new QLabel(plat::ToQString(text), dialog);
  dialog->UseDialogColours(label);
  return label;
}

QSpinBox* MakeNumber(CDialogSkeleton* dialog, int id, int low, int high) {
  auto* spin = dialog->MakeControl<QSpinBox>(id);
  spin->setRange(low, high);
  return spin;
}

QCheckBox* MakeCheck(CDialogSkeleton* dialog, int id, const char* text) {
  auto* box = dialog->MakeControl<QCheckBox>(id);
  box->setText(plat::ToQString(text));
  return box;
}

// The device name as the settings keep it: at most 31 bytes, never half a character.
void StoreDeviceName(char (&field)[32], const std::string& name) {
  dialog_text::StoreField(field, sizeof field, dialog_text::CutAtCharacter(name, sizeof field - 1));
}

}  // namespace

// ------------------------------------------------------------------------------------ CConfigDlg

CConfigDlg::CConfigDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("設定"));
  keyboardLow = MakeNumber(this, 1101, 48, 95);
  keyboardHigh = MakeNumber(this, 1102, 48, 95);
  guide = MakeCheck(this, 1097, "ガイド表示");
  scoreLow = MakeNumber(this, 1103, 40, 46);
  scoreHigh = MakeNumber(this, 1104, 78, 95);
  midiInList = MakeControl<QComboBox>(1098);
  midiOutList = MakeControl<QComboBox>(1099);
  leadIn = MakeNumber(this, 1106, 0, 8);
  interval = MakeNumber(this, 1111, 0, 99);
  exclusive = MakeCheck(this, 1136, "エクスクルーシブ送出");
  layoutList = MakeControl<QComboBox>(1100);
  advice = MakeCheck(this, 1137, "アドバイス表示");
  hideWeb = MakeCheck(this, 1139, "Webライブラリを表示しない");
  qualityList = MakeControl<QComboBox>(1170);
  thicken = MakeCheck(this, 1138, "携帯転送で音を厚くする");
  velocity = MakeNumber(this, 1158, 0, 127);
  okHost = MakeControl<COffScreenControl>(1065);
  resetHost = MakeControl<COffScreenControl>(1066);
  connect(guide, &QCheckBox::clicked, this, [this] { OnGuideClicked(); });
}

CConfigDlg::~CConfigDlg() {
  buttons_.reset();
  if (g_configDlg == this) g_configDlg = nullptr;
}

CConfigDlg* CConfigDlg::Instance() { return g_configDlg; }

int CConfigDlg::ButtonTop(int scale) {
  return scale == 100 ? 565 : 600 + 128 * ((scale - 100) / 25);
}

void CConfigDlg::SetSettings(ConfigData* config, CSettingsHost* host, CMelodyDlg* melodyPanel) {
  config_ = config;
  host_ = host;
  melodyPanel_ = melodyPanel;
}

bool CConfigDlg::OnInitDialog() {
  g_configDlg = this;
  layoutChanged_ = 0;
  const int scale = Owner() ? Owner()->DisplayScale() : 100;

  // Every MIDI-in device, then every MIDI-out device, item value = device index.
  const std::vector<std::string> inputs = plat::CurrentMidiInBackend().Names();
  for (size_t i = 0; i < inputs.size(); ++i) {
    midiInList->addItem(plat::ToQString(inputs[i]), static_cast<int>(i));
  }
  const std::vector<std::string> outputs = plat::MidiOutDeviceNames();
  for (size_t i = 0; i < outputs.size(); ++i) {
    midiOutList->addItem(plat::ToQString(outputs[i]), static_cast<int>(i));
  }
  // Device names are longer than the narrow lists: the open list and the tip show them whole.
  for (QComboBox* list : {midiInList, midiOutList}) {
    int widest = 0;
    for (int i = 0; i < list->count(); ++i) {
      list->setItemData(i, list->itemText(i), Qt::ToolTipRole);
      widest = std::max(widest, list->view()->fontMetrics().horizontalAdvance(list->itemText(i)));
    }
    list->view()->setMinimumWidth(widest + 16);
  }

  // The skin buttons.
  const int y = ButtonTop(scale);
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int index) {
        if (CConfigDlg* d = Instance()) d->OnButton(index);
      },
      [](int) {}, okHost, plat::Rect{90, y, 178, y + 30}, "    O  K", kReleasedBitmap,
      kPressedBitmap, 0);
  buttons_->AddButton(resetHost, plat::Rect{3, y, 91, y + 30}, "    RESET", kReleasedBitmap,
                      kPressedBitmap, 1);
  okHost->SetId(0);
  resetHost->SetId(1);
  CButtonPicture3::DrawAll();

  // The layout rows up to the screen's own mode; the audio choices.
  const int lastRow = ScreenLayoutRowOf(host_ ? host_->ScreenDefaultMode() : 5);
  for (int row = 0; row <= lastRow; ++row) {
    layoutList->addItem(plat::ToQString(ScreenLayoutTable[row].label), ScreenLayoutTable[row].mode);
  }
  qualityList->addItem(plat::ToQString("音質重視"), 0);
  qualityList->addItem(plat::ToQString("ﾌｧｲﾙｻｲｽﾞ重視"), 1);

  // One column of rows: a label with its number, a check box, or a label over a list.
  struct Row {
    const char* label;
    QWidget* control;
    bool below;  // the control takes the line under its label
  };
  const Row rows[] = {
      {"鍵盤の下限", keyboardLow, false},      {"鍵盤の上限", keyboardHigh, false},
      {nullptr, guide, false},                 {"五線の下限", scoreLow, false},
      {"五線の上限", scoreHigh, false},        {"MIDI入力デバイス", midiInList, true},
      {"MIDI出力デバイス", midiOutList, true}, {"曲頭ブランク小節数", leadIn, false},
      {"MIDIｺﾏﾝﾄﾞ送出間隔", interval, false},  {nullptr, exclusive, false},
      {"レイアウト", layoutList, true},        {nullptr, advice, false},
      {nullptr, hideWeb, false},               {"音質", qualityList, true},
      {nullptr, thicken, false},               {"入力音の音量", velocity, false},
  };
  int top = 8;
  const int left = Scaled(6, scale), width = Scaled(172, scale), line = Scaled(22, scale);
  const int spinWidth = Scaled(52, scale);
  for (const Row& r : rows) {
    const int ty = Scaled(top, scale);
    if (r.label && r.below) {
      MakeLabel(this, r.label)->setGeometry(left, ty, width, Scaled(16, scale));
      r.control->setGeometry(left, ty + Scaled(17, scale), width, line);
      top += 44;
    } else if (r.label) {
      MakeLabel(this, r.label)->setGeometry(left, ty, width - spinWidth - 4, line);
      r.control->setGeometry(left + width - spinWidth, ty, spinWidth, line);
      top += 26;
    } else {
      r.control->setGeometry(left, ty, width, line);
      top += 26;
    }
  }
  resize(Scaled(181, scale), y + 36);
  LoadControls();
  return true;
}

void CConfigDlg::LoadControls() {
  if (!config_) return;
  const ConfigData& c = *config_;
  keyboardLow->setValue(c.keyboardLow);
  keyboardHigh->setValue(c.keyboardHigh);
  guide->setChecked(c.guideShown != 0);
  scoreLow->setValue(c.scoreLow);
  scoreHigh->setValue(c.scoreHigh);
  leadIn->setValue(c.leadInBars);
  interval->setValue(c.commandInterval);
  exclusive->setChecked(c.sendExclusive != 0);
  advice->setChecked(c.adviceShown != 0);
  hideWeb->setChecked(c.hideWebLibrary != 0);
  thicken->setChecked(c.thickenForMobile != 0);
  velocity->setValue(c.inputVelocity);
  qualityList->setCurrentIndex(qualityList->findData(static_cast<int>(c.audioQuality)));
  // The layout row of the stored mode, else the last offered (the screen's own).
  const int row = layoutList->findData(static_cast<int>(c.screenLayout));
  layoutList->setCurrentIndex(row >= 0 ? row : layoutList->count() - 1);
  // A negative or missing device selects nothing.
  midiInList->setCurrentIndex(c.midiInDevice < 0 ? -1 : midiInList->findData(c.midiInDevice));
  midiOutList->setCurrentIndex(c.midiOutDevice < 0 ? -1
                                                   : midiOutList->findData(static_cast<int>(c.midiOutDevice)));
}

void CConfigDlg::StoreDevices() {
  ConfigData& c = *config_;
  c.midiInDevice = midiInList->currentIndex();
  c.midiOutDevice = static_cast<int16_t>(midiOutList->currentIndex());
  StoreDeviceName(c.midiOutName, plat::CurrentMidiOutBackend().Name(c.midiOutDevice));
  c.leadInBars = static_cast<uint8_t>(leadIn->value());
}

void CConfigDlg::OnButton(int index) {
  if (!config_ || ClosePending()) return;
  ConfigData& c = *config_;
  if (index == 0) {
    StoreDevices();
    if (keyboardHigh->value() - keyboardLow->value() < 24 ||
        scoreHigh->value() - scoreLow->value() < 24) {
      ErrorMsg(1);
      return;
    }
    c.keyboardLow = static_cast<uint8_t>(keyboardLow->value());
    c.keyboardHigh = static_cast<uint8_t>(keyboardHigh->value());
    c.scoreLow = static_cast<uint8_t>(scoreLow->value());
    c.scoreHigh = static_cast<uint8_t>(scoreHigh->value());
    c.commandInterval = static_cast<int16_t>(interval->value());
    c.sendExclusive = exclusive->isChecked() ? 1 : 0;
    c.inputVelocity = static_cast<uint8_t>(velocity->value());
    c.audioQuality = static_cast<int8_t>(std::max(0, qualityList->currentData().toInt()));
    if (layoutList->currentIndex() >= 0) {
      const int mode = layoutList->currentData().toInt();
      if (mode != c.screenLayout) layoutChanged_ = 1;
      c.screenLayout = static_cast<int8_t>(mode);
    }
    c.adviceShown = advice->isChecked() ? 1 : 0;
    c.thickenForMobile = thicken->isChecked() ? 1 : 0;
    c.hideWebLibrary = hideWeb->isChecked() ? 1 : 0;
    CloseAfterButton(QDialog::Accepted, 100);
  } else if (index == 1) {
    if (host_) host_->CloseMidiDevices();
    char songPath[sizeof c.songPath];
    std::memcpy(songPath, c.songPath, sizeof songPath);
    const int kept = c.screenLayout;
    if (host_) host_->FillDefaultSettings(&c);
    if (c.screenLayout != kept) layoutChanged_ = 1;
    std::memcpy(c.songPath, songPath, sizeof songPath);
    if (host_) host_->OpenMidiOut();
    LoadControls();
  }
}

void CConfigDlg::OnGuideClicked() {
  if (!config_) return;
  config_->guideShown = guide->isChecked() ? 1 : 0;
  if (!melodyPanel_) return;
  melodyPanel_->SetKeyLabels();
  melodyPanel_->ColourScaleKeys();
  if (config_->guideShown == 1) {
    melodyPanel_->SetLengthLabels();
  } else {
    melodyPanel_->ClearLengthLabels();
  }
}

void CConfigDlg::ErrorMsg(int code) { ShowMessage(code == 1 ? kRangeMessage : "ErrorMsg"); }

void CConfigDlg::CopyPictures() { CButtonPicture3::BlitAll(); }

// ------------------------------------------------------------------------------- CInoutConfigDlg

namespace {
const char* const kLyricEventRows[4] = {"Lyric", "Note Name", "Lyric and Note Name", "None"};
const char* const kPathTooLong = "エンコーダのパスが長すぎます。";
const char* const kPathCharacters = "エンコーダのパスに使えない文字があります。";
}  // namespace

CInoutConfigDlg::CInoutConfigDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("入出力設定"));
  pathBox = MakeControl<QLineEdit>(1171);
  browse = MakeControl<QPushButton>(1172);
  browse->setText(QStringLiteral("..."));
  browse->setAutoDefault(false);
  lyricEvents = MakeControl<QComboBox>(1192);
  okHost = MakeControl<COffScreenControl>(1065);
  connect(browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
}

CInoutConfigDlg::~CInoutConfigDlg() {
  buttons_.reset();
  if (g_inoutDlg == this) g_inoutDlg = nullptr;
}

CInoutConfigDlg* CInoutConfigDlg::Instance() { return g_inoutDlg; }

bool CInoutConfigDlg::OnInitDialog() {
  g_inoutDlg = this;
  const int y = AtScale100() ? 120 : 140;
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int) {
        if (CInoutConfigDlg* d = Instance()) d->OnOk();
      },
      [](int) {}, okHost, plat::Rect{330, y, 418, y + 30}, "   O   K", kReleasedBitmap,
      kPressedBitmap, 0);
  okHost->SetId(0);
  CButtonPicture3::DrawAll();
  MakeLabel(this, "MP3エンコーダ")->setGeometry(10, 8, 300, 18);
  pathBox->setGeometry(10, 28, 350, 24);
  browse->setGeometry(366, 28, 52, 24);
  MakeLabel(this, "MIDIファイルの歌詞イベント")->setGeometry(10, 62, 300, 18);
  PlaceControls({{1192, 10, 82, 210, 160}});
  resize(428, y + 40);
  if (config_) {
    pathBox->setText(dialog_text::FromField(config_->encoderPath, sizeof config_->encoderPath));
  }
  for (const char* row : kLyricEventRows) lyricEvents->addItem(plat::ToQString(row));
  if (config_) lyricEvents->setCurrentIndex(config_->lyricEventMode <= 3 ? config_->lyricEventMode : -1);
  return true;
}

void CInoutConfigDlg::OnBrowse() {
  if (!config_) return;
  std::filesystem::path chosen;
  // The encoder is any program the user names; nothing here ends in ".exe".
  if (GneOpenFileDialog(nullptr, "all files|*|", &chosen) != 1) return;
  std::string cp932;
  if (!plat::TryUtf8ToCp932(chosen.string(), cp932)) {
    ShowMessage(kPathCharacters);
    return;
  }
  if (cp932.size() >= sizeof config_->encoderPath) {
    ShowMessage(kPathTooLong);
    return;
  }
  dialog_text::StoreField(config_->encoderPath, sizeof config_->encoderPath, cp932);
  pathBox->setText(dialog_text::FromField(config_->encoderPath, sizeof config_->encoderPath));
}

void CInoutConfigDlg::OnOk() {
  if (!config_ || ClosePending()) return;
  std::string cp932;
  if (!dialog_text::ToCp932(pathBox->text(), &cp932)) {
    ShowMessage(kPathCharacters);
    return;
  }
  if (cp932.size() >= sizeof config_->encoderPath) {
    ShowMessage(kPathTooLong);
    return;
  }
  dialog_text::StoreField(config_->encoderPath, sizeof config_->encoderPath, cp932);
  if (lyricEvents->currentIndex() >= 0) {
    config_->lyricEventMode = static_cast<uint8_t>(lyricEvents->currentIndex());
  }
  done(QDialog::Accepted);
}

void CInoutConfigDlg::accept() { OnOk(); }

void CInoutConfigDlg::CopyPictures() { CButtonPicture3::BlitAll(); }

// ------------------------------------------------------------------------------------- CDebugDlg

CDebugDlg::CDebugDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("デバッグ用"));
}

bool CDebugDlg::OnInitDialog() {
  auto* number = MakeControl<QSpinBox>(1137);
  number->hide();
  auto* ok = MakeControl<QPushButton>(1);
  ok->setText(QStringLiteral("OK"));
  ok->setGeometry(60, 40, 80, 26);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  resize(200, 80);
  return true;
}
