// The settings dialogs driven through their own controls and skin buttons against a recording
// main window: where the buttons stand by display scale, which layouts are offered, what OK,
// RESET, the guide box and "..." store and when, what a refused OK keeps, and that Escape
// leaves the block as it was apart from what is stored at once.
#include "dialogs/settings_dialogs.h"

#include "dialogs/melody_panel.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/offscreen_control.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/midi_devices.h"
#include "platform/core/encoding.h"
#include "platform/core/midi_input.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/panels/panel_fixture.h"
#include "tests/dialogs/song_info/dialog_test_util.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <array>
#include <cstring>

namespace {

// The settings a fresh start would have, as far as these dialogs show them.
void Defaults(ConfigData* c, int layout) {
  std::memset(c, 0, sizeof *c);
  c->keyboardLow = 48, c->keyboardHigh = 83, c->scoreLow = 40, c->scoreHigh = 83;
  c->sendExclusive = 1, c->midiOutDevice = -1, c->adviceShown = 1, c->thickenForMobile = 1;
  c->inputVelocity = 64, c->inputMode = 1;
  c->screenLayout = static_cast<int8_t>(layout == 1 ? 5 : layout);
  std::strcpy(c->midiOutName, "Cantrel synthesizer (FluidSynt");
}

// The main window as the settings dialog sees it: its scale, its settings and its devices.
class SettingsWindow : public RecordingOwner, public CSettingsHost {
 public:
  SettingsWindow() { Defaults(&config, 5); }
  int DisplayScale() const override { return scale; }
  int GuideShown() const override { return config.guideShown; }
  void CloseMidiDevices() override { calls.push_back("close"); }
  void OpenMidiOut() override { calls.push_back("open"); }
  void FillDefaultSettings(ConfigData* c) override {
    Defaults(c, defaultMode);
    calls.push_back("defaults");
  }
  int ScreenDefaultMode() const override { return defaultMode; }

  ConfigData config{};
  int scale = 100;
  int defaultMode = 1;
  std::vector<std::string> calls;
};

// The block's bytes: its fields lie at their stored offsets, without padding.
static_assert(sizeof(ConfigData) == kConfigDataSize, "the block has no padding");
using ConfigImage = std::array<uint8_t, kConfigDataSize>;
ConfigImage Image(const ConfigData& c) {
  ConfigImage out;
  std::memcpy(out.data(), &c, out.size());
  return out;
}

// Offsets at which two settings images differ.
std::vector<size_t> Differences(const ConfigImage& a, const ConfigImage& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) out.push_back(i);
  }
  return out;
}

class ConfigDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
    CBitmapGridPicture::ResetState();
    cantrel_test::Sink().Clear();
    outputs.AddNullDevice("Cantrel synthesizer (FluidSynth, General MIDI)");
    outputs.AddNullDevice("USB MIDI Interface");
    outputs.AddNullDevice("ﾃｽﾄ音源ﾓｼﾞｭｰﾙ 日本語の長い名前のデバイスです");
    inputs.AddPort("Keyboard A");
    inputs.AddPort("Keyboard B");
    plat::InstallMidiOutBackend(&outputs);
    plat::InstallMidiInBackend(&inputs);
    plat::InstallFileDialogs(&files);
    Defaults(&window.config, 5);
  }
  void TearDown() override {
    dlg.reset();
    melody.reset();
    plat::InstallFileDialogs(nullptr);
    plat::InstallMidiInBackend(nullptr);
    plat::InstallMidiOutBackend(nullptr);
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
    CBitmapGridPicture::ResetState();
  }
  void Open(bool withMelodyPanel = false) {
    if (withMelodyPanel) {
      melody = std::make_unique<CMelodyDlg>();
      melody->SetPanelOwner(&window);
      melody->Create();
    }
    dlg = std::make_unique<CConfigDlg>();
    dlg->SetOwner(&window);
    dlg->SetSettings(&window.config, &window, melody.get());
    dlg->Create();
    dlg->show();
    window.calls.clear();
  }
  // Waits out the pause after a skin button; a dialog that stays is given a fair while.
  bool Closed(bool expected = true) { return HiddenWithin(dlg.get(), expected ? 3000 : 400); }

  plat::TestMidiOutBackend outputs;
  plat::TestMidiInBackend inputs;
  plat::ScriptedFileDialogs files;
  SettingsWindow window;
  std::unique_ptr<CMelodyDlg> melody;
  std::unique_ptr<CConfigDlg> dlg;
};

TEST_F(ConfigDlgTest, OkAndResetStandAtTheirPlacesForEachScale) {
  const struct {
    int scale, y;
  } cases[] = {{100, 565}, {125, 728}, {150, 856}, {175, 984}, {200, 1112}};
  for (const auto& c : cases) {
    window.scale = c.scale;
    Open();
    EXPECT_EQ(dlg->okHost->geometry(), QRect(90, c.y, 88, 30)) << c.scale;
    EXPECT_EQ(dlg->resetHost->geometry(), QRect(3, c.y, 88, 30)) << c.scale;
    EXPECT_EQ(CButtonPicture3::Caption(0), "    O  K");
    EXPECT_EQ(CButtonPicture3::Caption(1), "    RESET");
    // Every control lies above the buttons and inside the dialog.
    for (QWidget* w : dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (w == dlg->okHost || w == dlg->resetHost) continue;
      EXPECT_LE(w->geometry().bottom(), c.y) << c.scale << " " << w->objectName().toStdString();
      EXPECT_LE(w->geometry().right(), dlg->width()) << c.scale;
    }
    EXPECT_GE(dlg->height(), c.y + 30);
    dlg.reset();
  }
}

TEST_F(ConfigDlgTest, TheLayoutListOffersTheRowsUpToTheScreensMode) {
  const struct {
    int defaultMode, stored;
    std::vector<std::string> rows;
    std::string shown;
  } cases[] = {
      {5, 1, {"3 x 3 下", "4 x 3 下", "4 x 4 下"}, "4 x 4 下"},
      {5, 2, {"3 x 3 下", "4 x 3 下", "4 x 4 下"}, "4 x 3 下"},
      {0, 0, {"3 x 3 下"}, "3 x 3 下"},
      {1, 6, {"3 x 3 下", "4 x 3 下", "4 x 4 下", "4 x 4 右", "4 x 4 拡大", "4 x 6 右", "8 x 6 上"},
       "4 x 6 右"},
  };
  for (const auto& c : cases) {
    window.defaultMode = c.defaultMode;
    window.config.screenLayout = static_cast<int8_t>(c.stored);
    Open();
    std::vector<std::string> rows;
    for (int i = 0; i < dlg->layoutList->count(); ++i) {
      rows.push_back(plat::FromQString(dlg->layoutList->itemText(i)));
      EXPECT_EQ(dlg->layoutList->itemData(i).toInt(), ScreenLayoutTable[i].mode);
    }
    EXPECT_EQ(rows, c.rows) << c.defaultMode;
    EXPECT_EQ(plat::FromQString(dlg->layoutList->currentText()), c.shown) << c.stored;
    dlg.reset();
  }
}

TEST_F(ConfigDlgTest, TheControlsShowTheStoredFieldsAndTheDevicesByIndex) {
  ConfigData& c = window.config;
  c.keyboardLow = 50, c.keyboardHigh = 90, c.scoreLow = 41, c.scoreHigh = 80, c.leadInBars = 3;
  c.commandInterval = 12, c.sendExclusive = 0, c.adviceShown = 0, c.hideWebLibrary = 1;
  c.thickenForMobile = 0, c.inputVelocity = 100, c.audioQuality = 1, c.guideShown = 1;
  c.midiInDevice = 1, c.midiOutDevice = 2;
  Open();
  EXPECT_EQ(dlg->keyboardLow->value(), 50);
  EXPECT_EQ(dlg->keyboardHigh->value(), 90);
  EXPECT_EQ(dlg->scoreLow->value(), 41);
  EXPECT_EQ(dlg->scoreHigh->value(), 80);
  EXPECT_EQ(dlg->leadIn->value(), 3);
  EXPECT_EQ(dlg->interval->value(), 12);
  EXPECT_FALSE(dlg->exclusive->isChecked());
  EXPECT_FALSE(dlg->advice->isChecked());
  EXPECT_TRUE(dlg->hideWeb->isChecked());
  EXPECT_FALSE(dlg->thicken->isChecked());
  EXPECT_TRUE(dlg->guide->isChecked());
  EXPECT_EQ(dlg->velocity->value(), 100);
  EXPECT_EQ(dlg->qualityList->currentIndex(), 1);
  EXPECT_EQ(plat::FromQString(dlg->midiInList->currentText()), "Keyboard B");
  EXPECT_EQ(dlg->midiOutList->count(), 3);
  EXPECT_EQ(dlg->midiOutList->currentIndex(), 2);
  // No row stands for the default device: a stored -1 selects nothing, as does a lost device.
  c.midiOutDevice = -1;
  c.midiInDevice = 7;
  dlg->LoadControls();
  EXPECT_EQ(dlg->midiOutList->currentIndex(), -1);
  EXPECT_EQ(dlg->midiInList->currentIndex(), -1);
}

TEST_F(ConfigDlgTest, NoteRangesCloserThanTwoOctavesAreRefusedAndTheDialogStays) {
  const struct {
    int low, high;
    bool accepted;
  } cases[] = {{60, 83, false}, {59, 83, true}, {48, 95, true}, {71, 95, true}, {72, 95, false}};
  for (const auto& c : cases) {
    Defaults(&window.config, 5);
    Open();
    const ConfigImage before = Image(window.config);
    cantrel_test::Sink().Clear();
    dlg->keyboardLow->setValue(c.low);
    dlg->keyboardHigh->setValue(c.high);
    dlg->interval->setValue(33);
    dlg->leadIn->setValue(5);
    dlg->midiOutList->setCurrentIndex(1);
    PressSkin(dlg->okHost);
    EXPECT_EQ(Closed(c.accepted), c.accepted) << c.low << "-" << c.high;
    // The devices and the lead-in are stored even by a refused OK.
    EXPECT_EQ(window.config.leadInBars, 5);
    EXPECT_EQ(window.config.midiOutDevice, 1);
    EXPECT_STREQ(window.config.midiOutName, "USB MIDI Interface");
    if (c.accepted) {
      EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
      EXPECT_EQ(dlg->result(), QDialog::Accepted);
      EXPECT_EQ(window.config.keyboardLow, c.low);
      EXPECT_EQ(window.config.commandInterval, 33);
    } else {
      EXPECT_EQ(cantrel_test::Sink().Texts(),
                std::vector<std::string>{
                    "設定の大小関係や範囲に問題があります。範囲を設定しなおしてください。"});
      EXPECT_EQ(window.config.keyboardLow, before[542]);
      EXPECT_EQ(window.config.commandInterval, 0);
    }
    dlg.reset();
  }
}

TEST_F(ConfigDlgTest, OkStoresEveryFieldAndTellsOfANewLayout) {
  window.defaultMode = 1;
  window.config.screenLayout = 5;
  Open();
  dlg->keyboardLow->setValue(55);
  dlg->keyboardHigh->setValue(91);
  dlg->scoreLow->setValue(44);
  dlg->scoreHigh->setValue(93);
  dlg->midiInList->setCurrentIndex(0);
  dlg->midiOutList->setCurrentIndex(0);
  dlg->leadIn->setValue(8);
  dlg->interval->setValue(99);
  dlg->exclusive->setChecked(false);
  dlg->layoutList->setCurrentIndex(6);
  dlg->advice->setChecked(false);
  dlg->hideWeb->setChecked(true);
  dlg->qualityList->setCurrentIndex(1);
  dlg->thicken->setChecked(false);
  dlg->velocity->setValue(127);
  PressSkin(dlg->okHost);
  // The pause lets the pressed button be seen: nothing closes at once.
  EXPECT_TRUE(dlg->isVisible());
  ASSERT_TRUE(Closed());
  const ConfigData& c = window.config;
  EXPECT_EQ(c.keyboardLow, 55);
  EXPECT_EQ(c.keyboardHigh, 91);
  EXPECT_EQ(c.scoreLow, 44);
  EXPECT_EQ(c.scoreHigh, 93);
  EXPECT_EQ(c.midiInDevice, 0);
  EXPECT_EQ(c.midiOutDevice, 0);
  EXPECT_EQ(c.leadInBars, 8);
  EXPECT_EQ(c.commandInterval, 99);
  EXPECT_EQ(c.sendExclusive, 0);
  EXPECT_EQ(c.screenLayout, 1);
  EXPECT_EQ(c.adviceShown, 0);
  EXPECT_EQ(c.hideWebLibrary, 1);
  EXPECT_EQ(c.audioQuality, 1);
  EXPECT_EQ(c.thickenForMobile, 0);
  EXPECT_EQ(c.inputVelocity, 127);
  EXPECT_EQ(dlg->LayoutChanged(), 1);
}

TEST_F(ConfigDlgTest, DeviceNamesAreCutWholeToTheirField) {
  Open();
  // The synthesizer's name has 46 bytes; the Japanese one a double-byte character across
  // byte 31, which is left out whole; no row stores the default device's name.
  const struct {
    int row;
    size_t length;
  } cases[] = {{0, 31}, {2, 30}, {-1, 31}};
  for (const auto& c : cases) {
    dlg->midiOutList->setCurrentIndex(c.row);
    dlg->keyboardLow->setValue(70);  // refused: only the devices are stored
    dlg->keyboardHigh->setValue(80);
    cantrel_test::Sink().Clear();
    dlg->OnButton(0);
    const std::string name(window.config.midiOutName);
    EXPECT_EQ(name.size(), c.length) << c.row;
    EXPECT_EQ(name, plat::CurrentMidiOutBackend().Name(c.row).substr(0, c.length)) << c.row;
    std::string utf8;
    EXPECT_TRUE(plat::TryCp932ToUtf8(name, utf8)) << c.row;
    EXPECT_EQ(window.config.midiOutDevice, c.row);
  }
}

TEST_F(ConfigDlgTest, TheDeviceListsShowLongNamesWholeWhenOpenAndAsTips) {
  Open();
  for (QComboBox* list : {dlg->midiInList, dlg->midiOutList}) {
    for (int i = 0; i < list->count(); ++i) {
      const QString name = list->itemText(i);
      EXPECT_GE(list->view()->minimumWidth(), list->view()->fontMetrics().horizontalAdvance(name))
          << name.toStdString();
      EXPECT_EQ(list->itemData(i, Qt::ToolTipRole).toString(), name);
    }
  }
}

TEST_F(ConfigDlgTest, ResetStoresTheDefaultsAtOnceAndKeepsTheSongPath) {
  window.defaultMode = 2;
  ConfigData& c = window.config;
  std::strcpy(c.songPath, "/home/user/song.mwd");
  c.keyboardLow = 60, c.keyboardHigh = 90, c.inputVelocity = 5, c.adviceShown = 0;
  c.screenLayout = 0;
  Open();
  PressSkin(dlg->resetHost);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"close", "defaults", "open"}));
  ConfigData expected;
  Defaults(&expected, 2);
  std::strcpy(expected.songPath, "/home/user/song.mwd");
  EXPECT_TRUE(Differences(Image(c), Image(expected)).empty());
  EXPECT_EQ(dlg->keyboardLow->value(), 48);
  EXPECT_EQ(dlg->velocity->value(), 64);
  EXPECT_TRUE(dlg->advice->isChecked());
  EXPECT_EQ(dlg->LayoutChanged(), 1);
  // The dialog stays, and Escape keeps what RESET stored.
  EXPECT_FALSE(Closed(false));
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(Differences(Image(c), Image(expected)).empty());
}

TEST_F(ConfigDlgTest, EscapeKeepsOnlyWhatTheGuideBoxStoredAtOnce) {
  for (Cancel how : kCancelWays) {
    window.config.guideShown = 0;
    Open();
    const ConfigImage before = Image(window.config);
    dlg->keyboardLow->setValue(50);
    dlg->velocity->setValue(1);
    dlg->layoutList->setCurrentIndex(0);
    dlg->midiOutList->setCurrentIndex(1);
    dlg->advice->setChecked(false);
    dlg->guide->click();
    CancelBy(dlg.get(), how);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Differences(before, Image(window.config)), std::vector<size_t>{268});
    EXPECT_EQ(window.config.guideShown, 1);
  }
}

TEST_F(ConfigDlgTest, TheGuideBoxRelabelsTheMelodyPanelBeforeTheDialogCloses) {
  window.config.guideShown = 0;
  Open(true);
  auto label = [](int note) {
    for (int i = 0; i < CKeyboardPicture::KeyCount(0); ++i) {
      if (CKeyboardPicture::Key(0, i).note == note) return std::string(CKeyboardPicture::Key(0, i).label);
    }
    return std::string("?");
  };
  auto lengthLabels = [] {
    std::string all;
    for (int r = 0; r < CBitmapGridPicture::Rows(0); ++r) {
      for (int col = 0; col < CBitmapGridPicture::Columns(0); ++col) all += CBitmapGridPicture::CellLabel(0, r, col);
    }
    return all;
  };
  EXPECT_EQ(label(60), "");
  EXPECT_EQ(lengthLabels(), "");
  dlg->guide->click();
  EXPECT_EQ(window.config.guideShown, 1);
  EXPECT_NE(label(60), "");
  EXPECT_NE(lengthLabels(), "");
  dlg->guide->click();
  EXPECT_EQ(window.config.guideShown, 0);
  EXPECT_EQ(label(60), "");
  EXPECT_EQ(lengthLabels(), "");
}

// ----------------------------------------------------------------------- input/output settings

class InoutConfigDlgTest : public ConfigDlgTest {
 protected:
  void OpenInout() {
    inout = std::make_unique<CInoutConfigDlg>();
    inout->SetOwner(&window);
    inout->SetSettings(&window.config);
    inout->Create();
    inout->show();
  }
  void TearDown() override {
    inout.reset();
    ConfigDlgTest::TearDown();
  }
  std::unique_ptr<CInoutConfigDlg> inout;
};

TEST_F(InoutConfigDlgTest, ShowsAndStoresThePathAndTheLyricEvents) {
  for (int scale : {100, 150}) {
    window.scale = scale;
    std::strcpy(window.config.encoderPath, "/usr/bin/lame");
    window.config.lyricEventMode = 2;
    OpenInout();
    EXPECT_EQ(inout->okHost->geometry(), QRect(330, scale == 100 ? 120 : 140, 88, 30));
    EXPECT_EQ(inout->pathBox->text(), "/usr/bin/lame");
    ASSERT_EQ(inout->lyricEvents->count(), 4);
    EXPECT_EQ(inout->lyricEvents->itemText(3), "None");
    EXPECT_EQ(inout->lyricEvents->currentIndex(), 2);
    inout->pathBox->setText(plat::ToQString("/opt/エンコーダ/lame"));
    inout->lyricEvents->setCurrentIndex(3);
    PressSkin(inout->okHost);
    EXPECT_FALSE(inout->isVisible());
    EXPECT_EQ(window.config.lyricEventMode, 3);
    EXPECT_STREQ(window.config.encoderPath, "/opt/エンコーダ/lame");
    inout.reset();
  }
}

TEST_F(InoutConfigDlgTest, APathTooLongOrNotStorableIsRefusedAndTheDialogStays) {
  std::strcpy(window.config.encoderPath, "/usr/bin/lame");
  OpenInout();
  const struct {
    QString text;
    bool accepted;
  } cases[] = {
      {QString(259, 'a'), true},
      {QString(260, 'a'), false},
      // 130 double-byte characters are 260 bytes.
      {QString(130, QChar(0x3042)), false},
      {QStringLiteral("/opt/") + QString::fromUcs4(U"\U0001F3B5") + QStringLiteral("/lame"), false},
  };
  for (const auto& c : cases) {
    std::strcpy(window.config.encoderPath, "/usr/bin/lame");
    cantrel_test::Sink().Clear();
    inout->show();
    inout->pathBox->setText(c.text);
    QTest::keyClick(inout->pathBox, Qt::Key_Return);
    EXPECT_EQ(!inout->isVisible(), c.accepted) << c.text.size();
    EXPECT_EQ(cantrel_test::Sink().Count(), c.accepted ? 0u : 1u);
    EXPECT_EQ(std::string(window.config.encoderPath) == "/usr/bin/lame", !c.accepted);
  }
}

TEST_F(InoutConfigDlgTest, BrowseStoresTheChosenProgramAtOnceAndEscapeKeepsIt) {
  std::strcpy(window.config.encoderPath, "/usr/bin/lame");
  OpenInout();
  files.QueueFileCancel();
  inout->browse->click();
  EXPECT_STREQ(window.config.encoderPath, "/usr/bin/lame");
  files.QueueFile("/opt/tools/encoder");
  inout->browse->click();
  EXPECT_STREQ(window.config.encoderPath, "/opt/tools/encoder");
  EXPECT_EQ(inout->pathBox->text(), "/opt/tools/encoder");
  const auto requests = files.FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].filter, "all files|*|");
  inout->lyricEvents->setCurrentIndex(1);
  QTest::keyClick(inout.get(), Qt::Key_Escape);
  EXPECT_FALSE(inout->isVisible());
  EXPECT_STREQ(window.config.encoderPath, "/opt/tools/encoder");
  EXPECT_EQ(window.config.lyricEventMode, 0);
  // The close box keeps the typed path and the list as unstored as Escape does.
  OpenInout();
  inout->pathBox->setText(QStringLiteral("/elsewhere/lame"));
  inout->lyricEvents->setCurrentIndex(2);
  CancelBy(inout.get(), Cancel::kCloseBox);
  EXPECT_FALSE(inout->isVisible());
  EXPECT_STREQ(window.config.encoderPath, "/opt/tools/encoder");
  EXPECT_EQ(window.config.lyricEventMode, 0);
}

}  // namespace
