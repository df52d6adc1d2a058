#include "dialogs/part_settings_dialogs.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "style/choice_lists.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

const OctaveChoice OctaveChoiceTable[6] = {
    {"標準", 0},          {"1ｵｸﾀｰﾌﾞ下", -1},       {"2ｵｸﾀｰﾌﾞ下", -2},
    {"1ｵｸﾀｰﾌﾞ上", 1},     {"ｵｸﾀｰﾌﾞ下ﾕﾆｿﾞﾝ", 99},  {"ｵｸﾀｰﾌﾞ上ﾕﾆｿﾞﾝ", 101},
};

namespace {

CHarmonyDlg* g_harmonyDlg = nullptr;
CMdyDlg* g_mdyDlg = nullptr;

constexpr int kReleasedBitmap = 168;
constexpr int kPressedBitmap = 167;
// A channel's note density runs from 20 to 160, 100 being the style's own.
constexpr int kDensityLow = 20;
constexpr int kDensityHigh = 160;
// The layered notes' value shown when none is stored.
constexpr int kDefaultLayered = 38;

const char* const kCloseCaption = "　閉じる";

QLabel* MakeLabel(CDialogSkeleton* dialog, int id, const char* text) {
  auto* label = dialog->MakeControl<QLabel>(id);
  label->setText(plat::ToQString(text));
  dialog->UseDialogColours(label);
  return label;
}

QLabel* MakeLabel(CDialogSkeleton* dialog, const char* text) {
  auto* label = new QLabel(plat::ToQString(text), dialog);
  dialog->UseDialogColours(label);
  return label;
}

}  // namespace

// ----------------------------------------------------------------------------------- CHarmonyDlg

CHarmonyDlg::CHarmonyDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  octaveLabel = MakeLabel(this, 1174, "");
  patternLabel = MakeLabel(this, 1175, "");
  octaveList = MakeControl<QComboBox>(1021);
  patternList = MakeControl<QComboBox>(1022);
  density = MakeControl<QSpinBox>(1177);
  volume = MakeControl<QSpinBox>(1186);
  closeHost = MakeControl<COffScreenControl>(1065);
}

CHarmonyDlg::~CHarmonyDlg() {
  buttons_.reset();
  if (g_harmonyDlg == this) g_harmonyDlg = nullptr;
}

CHarmonyDlg* CHarmonyDlg::Instance() { return g_harmonyDlg; }

void CHarmonyDlg::SetPart(CSongData* song, int channel) {
  song_ = song;
  // The style keeps octaves and densities for the first twelve channels only.
  channel_ = channel >= 0 && channel < kStyleOctaveCount ? channel : 2;
}

int CHarmonyDlg::ButtonTop(int scale) {
  if (scale == 100) return 160;
  if (scale <= 125) return 210;
  if (scale <= 150) return 260;
  if (scale <= 175) return 310;
  if (scale <= 200) return 360;
  return 160;
}

int32_t* CHarmonyDlg::PatternField() {
  StyleRecord& style = song_->style;
  switch (channel_) {
    case 3: return &style.accompaniment;
    case 7: return &style.subharmony_accompaniment;
    case 9: return &style.drum_pattern;
    default: return &style.bass_pattern;
  }
}

bool CHarmonyDlg::OnInitDialog() {
  g_harmonyDlg = this;
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int y = ButtonTop(scale);
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int index) {
        if (CHarmonyDlg* d = Instance()) d->OnButton(index);
      },
      [](int) {}, closeHost, plat::Rect{150, y, 238, y + 30}, kCloseCaption, kReleasedBitmap,
      kPressedBitmap, 0);
  closeHost->SetId(0);
  CButtonPicture3::DrawAll();

  const char* caption = channel_ == 2 ? "ベース" : channel_ == 9 ? "ドラム" : "ハーモニー";
  setWindowTitle(plat::ToQString(caption));
  octaveLabel->setText(plat::ToQString("音域"));
  patternLabel->setText(plat::ToQString("パターン"));
  // Four rows spread over the room above the button.
  const int pitch = (y - 20) / 4;
  octaveLabel->setGeometry(10, 10, 70, 22);
  PlaceControls({{1021, 85, 10, 238, 160}, {1022, 85, 10 + pitch, 238, 300}});
  patternLabel->setGeometry(10, 10 + pitch, 70, 22);
  MakeLabel(this, "音の密度")->setGeometry(10, 10 + 2 * pitch, 70, 22);
  density->setGeometry(85, 10 + 2 * pitch, 70, 22);
  MakeLabel(this, "音量")->setGeometry(10, 10 + 3 * pitch, 70, 22);
  volume->setGeometry(85, 10 + 3 * pitch, 70, 22);
  resize(248, y + 40);
  if (channel_ == 9) {
    octaveLabel->hide();
    octaveList->hide();
  }

  for (const OctaveChoice& o : OctaveChoiceTable) octaveList->addItem(plat::ToQString(o.label), o.code);
  const ChoiceList& patterns = channel_ == 2   ? BassPatternChoiceList
                               : channel_ == 9 ? DrumPatternChoiceList
                               : channel_ == 3 || channel_ == 7 ? AccompanimentChoiceList
                                                                : BassPatternChoiceList;
  for (size_t i = 0; i < patterns.count; ++i) {
    patternList->addItem(plat::ToQString(patterns.entries[i].name), patterns.entries[i].code);
  }
  if (!song_) return true;
  const StyleRecord& style = song_->style;
  // The first row of the stored code; none when the list lacks it.
  patternList->setCurrentIndex(patternList->findData(*PatternField()));
  const int octaveRow = octaveList->findData(style.octave[channel_]);
  octaveList->setCurrentIndex(octaveRow >= 0 ? octaveRow : 0);
  density->setRange(kDensityLow, kDensityHigh);
  density->setValue(style.density[channel_]);
  volume->setRange(0, 127);
  volume->setValue(style.mixer[channel_].volume);
  return true;
}

void CHarmonyDlg::OnButton(int) {
  if (!song_ || ClosePending()) return;
  StyleRecord& style = song_->style;
  // A list without a choice keeps what is stored.
  if (octaveList->currentIndex() >= 0) style.octave[channel_] = octaveList->currentData().toInt();
  if (patternList->currentIndex() >= 0) *PatternField() = patternList->currentData().toInt();
  style.density[channel_] = density->value();
  style.mixer[channel_].volume = static_cast<uint8_t>(volume->value());
  done(QDialog::Accepted);
}

void CHarmonyDlg::CopyPictures() { CButtonPicture3::BlitAll(); }

// --------------------------------------------------------------------------------------- CMdyDlg

CMdyDlg::CMdyDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("主旋律の設定"));
  volume = MakeControl<QSpinBox>(1186);
  layered = MakeControl<QSpinBox>(1189);
  closeHost = MakeControl<COffScreenControl>(1065);
}

CMdyDlg::~CMdyDlg() {
  buttons_.reset();
  if (g_mdyDlg == this) g_mdyDlg = nullptr;
}

CMdyDlg* CMdyDlg::Instance() { return g_mdyDlg; }

void CMdyDlg::SetPart(CSongData* song, int channel) {
  song_ = song;
  channel_ = channel >= 0 && channel < kStyleChannelCount ? channel : 1;
}

bool CMdyDlg::LayeredShown() const {
  return song_ && channel_ == 1 && song_->style.octave[1] == 1;
}

bool CMdyDlg::OnInitDialog() {
  g_mdyDlg = this;
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int index) {
        if (CMdyDlg* d = Instance()) d->OnButton(index);
      },
      [](int) {}, closeHost, plat::Rect{120, 180, 208, 210}, kCloseCaption, kReleasedBitmap,
      kPressedBitmap, 0);
  closeHost->SetId(0);
  CButtonPicture3::DrawAll();
  MakeLabel(this, "音量")->setGeometry(10, 20, 100, 22);
  volume->setGeometry(120, 20, 88, 22);
  QLabel* layeredLabel = MakeLabel(this, "重ねる音の強さ");
  layeredLabel->setGeometry(10, 60, 100, 22);
  layered->setGeometry(120, 60, 88, 22);
  resize(218, 220);
  if (!song_) return true;
  const StyleRecord& style = song_->style;
  volume->setRange(channel_ == 15 ? 1 : 0, 127);
  volume->setValue(style.mixer[channel_].volume);
  if (LayeredShown()) {
    layered->setRange(0, 127);
    // No stored value plays as 38; the song keeps its 0 until the button stores.
    const int value = style.unison_velocity == 0 ? kDefaultLayered : style.unison_velocity;
    layered->setValue(static_cast<int16_t>(value & 0xFFFF));
  } else {
    layered->hide();
    layeredLabel->hide();
  }
  return true;
}

void CMdyDlg::OnButton(int) {
  if (!song_ || ClosePending()) return;
  StyleRecord& style = song_->style;
  style.mixer[channel_].volume = static_cast<uint8_t>(volume->value());
  if (LayeredShown()) style.unison_velocity = layered->value();
  done(QDialog::Accepted);
}

void CMdyDlg::CopyPictures() { CButtonPicture3::BlitAll(); }
