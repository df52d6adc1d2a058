// The modal dialogs the main window opens, driven while they run: what the window does after
// each, and what of it survives the end of the program.
#include "dialogs/import_dialogs.h"
#include "dialogs/print_menus.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/song_detail_dialogs.h"
#include "dialogs/song_info_dialog.h"
#include "draw/keyboard_picture.h"
#include "draw/offscreen_control.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"
#include "tests/app/window/window_fixture.h"
#include "tests/dialogs/song_info/dialog_test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>

namespace {

namespace fs = std::filesystem;

class WindowDialogsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    backend.AddNullDevice("second output");
    inputs.AddPort("first input");
    inputs.AddPort("second input");
  }
  void Exit() {
    dlg->DispatchButtonCommand(0);
    window_test::PumpUntil([&] { return !dlg->isVisible(); });
    dlg.reset();
  }
  // Opens the input/output settings from the external menu, acts on them, then closes the menu.
  void FromExternalMenu(std::function<void(CInoutConfigDlg*)> act, bool* opened) {
    window_test::WhenShown<CMidiDlg>([act, opened](CMidiDlg* m) {
      WhenModal<CInoutConfigDlg>(act, opened);
      m->OnButton(6);
      QTest::keyClick(m, Qt::Key_Escape);
    });
    dlg->ShowExternalMenu();
  }
  std::vector<uint8_t> SettingsFile() {
    std::vector<uint8_t> bytes;
    plat::ReadWholeFile(plat::UserDataFolder() / "setup_kv.ini", bytes);
    return bytes;
  }
};

// Byte ranges of the fields the two settings dialogs edit.
struct Field {
  const char* name;
  size_t offset, size;
};
const Field kDialogFields[] = {
    {"guideShown", 268, 4},    {"midiInDevice", 272, 4},    {"midiOutDevice", 280, 2},
    {"midiOutName", 282, 32},  {"keyboardLow", 542, 1},     {"keyboardHigh", 543, 1},
    {"scoreLow", 544, 1},      {"scoreHigh", 545, 1},       {"leadInBars", 546, 1},
    {"commandInterval", 548, 2}, {"sendExclusive", 550, 2}, {"screenLayout", 552, 1},
    {"adviceShown", 556, 4},   {"thickenForMobile", 561, 1}, {"inputVelocity", 562, 1},
    {"audioQuality", 564, 1},  {"encoderPath", 565, 260},   {"hideWebLibrary", 825, 1},
    {"lyricEventMode", 826, 1},
};

TEST_F(WindowDialogsTest, EverySettingSurvivesARestartAndNothingElseChanges) {
  Start();
  Exit();
  const std::vector<uint8_t> before = SettingsFile();
  ASSERT_EQ(before.size(), 1340u);

  Start();
  bool opened = false;
  WhenModal<CConfigDlg>(
      [](CConfigDlg* d) {
        d->guide->click();
        d->keyboardLow->setValue(53);
        d->keyboardHigh->setValue(89);
        d->scoreLow->setValue(42);
        d->scoreHigh->setValue(90);
        d->midiInList->setCurrentIndex(1);
        d->midiOutList->setCurrentIndex(1);
        d->leadIn->setValue(2);
        d->interval->setValue(7);
        d->exclusive->setChecked(!d->exclusive->isChecked());
        d->layoutList->setCurrentIndex(1);
        d->advice->setChecked(!d->advice->isChecked());
        d->hideWeb->setChecked(!d->hideWeb->isChecked());
        d->qualityList->setCurrentIndex(1);
        d->thicken->setChecked(!d->thicken->isChecked());
        d->velocity->setValue(111);
        PressSkin(d->okHost);
      },
      &opened);
  dlg->DispatchButtonCommand(13);
  ASSERT_TRUE(opened);
  // The window follows: the new layout, the chosen output opened by the audition device.
  EXPECT_EQ(dlg->config.screenLayout, 2);
  EXPECT_EQ(dlg->Layout().mode, 2);
  EXPECT_EQ(dlg->config.midiOutDevice, 1);
  EXPECT_GT(backend.OpenCount(1), 0);
  // The input/output settings, from the external menu.
  FromExternalMenu(
      [](CInoutConfigDlg* d) {
        d->pathBox->setText(QStringLiteral("/usr/local/bin/lame"));
        d->lyricEvents->setCurrentIndex(1);
        PressSkin(d->okHost);
      },
      &opened);
  ASSERT_TRUE(opened);
  Exit();

  const std::vector<uint8_t> after = SettingsFile();
  ASSERT_EQ(after.size(), 1340u);
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] == before[i]) continue;
    bool inField = false;
    for (const Field& f : kDialogFields) inField |= i >= f.offset && i < f.offset + f.size;
    EXPECT_TRUE(inField) << "byte " << i << " changed";
  }
  for (const Field& f : kDialogFields) {
    EXPECT_FALSE(std::equal(before.begin() + f.offset, before.begin() + f.offset + f.size,
                            after.begin() + f.offset))
        << f.name << " unchanged";
  }

  // The next start shows them.
  Start();
  WhenModal<CConfigDlg>(
      [](CConfigDlg* d) {
        EXPECT_EQ(d->keyboardLow->value(), 53);
        EXPECT_EQ(d->keyboardHigh->value(), 89);
        EXPECT_EQ(d->scoreLow->value(), 42);
        EXPECT_EQ(d->scoreHigh->value(), 90);
        EXPECT_EQ(d->midiInList->currentIndex(), 1);
        EXPECT_EQ(plat::FromQString(d->midiOutList->currentText()), "second output");
        EXPECT_EQ(d->leadIn->value(), 2);
        EXPECT_EQ(d->interval->value(), 7);
        EXPECT_EQ(plat::FromQString(d->layoutList->currentText()), "4 x 3 下");
        EXPECT_EQ(d->qualityList->currentIndex(), 1);
        EXPECT_EQ(d->velocity->value(), 111);
        QTest::keyClick(d, Qt::Key_Escape);
      },
      &opened);
  dlg->DispatchButtonCommand(13);
  ASSERT_TRUE(opened);
  FromExternalMenu(
      [](CInoutConfigDlg* d) {
        EXPECT_EQ(d->pathBox->text(), "/usr/local/bin/lame");
        EXPECT_EQ(d->lyricEvents->currentIndex(), 1);
        QTest::keyClick(d, Qt::Key_Escape);
      },
      &opened);
  EXPECT_TRUE(opened);
}

TEST_F(WindowDialogsTest, EscapeFromTheSettingsKeepsTheLayoutAndTheBlock) {
  Start();
  const ConfigImage before = ConfigToImage(dlg->config);
  bool opened = false;
  WhenModal<CConfigDlg>(
      [](CConfigDlg* d) {
        d->layoutList->setCurrentIndex(0);
        d->velocity->setValue(3);
        QTest::keyClick(d, Qt::Key_Escape);
      },
      &opened);
  dlg->DispatchButtonCommand(13);
  ASSERT_TRUE(opened);
  EXPECT_EQ(ConfigToImage(dlg->config), before);
  EXPECT_EQ(dlg->Layout().mode, 5);
}

TEST_F(WindowDialogsTest, TheSongInformationTakesTheTempoAndEditsTheWorkingSong) {
  Start();
  dlg->tempoSpin->setValue(140);
  const int keyboards = CKeyboardPicture::Count();
  int duringRange = 0;
  bool opened = false, rangeOpened = false;
  WhenModal<CSongInfoDlg>(
      [&](CSongInfoDlg* d) {
        // The note range adds its keyboard to the melody panel's picture while it runs.
        WhenModal<CRangeDlg>(
            [&](CRangeDlg* r) {
              duringRange = CKeyboardPicture::Count();
              r->reject();
            },
            &rangeOpened);
        PressSkin(d->hosts[3]);
        d->title->setText(QStringLiteral("Window title"));
        PressSkin(d->hosts[0]);
      },
      &opened);
  dlg->DispatchButtonCommand(10);
  ASSERT_TRUE(opened);
  EXPECT_TRUE(rangeOpened);
  EXPECT_EQ(duringRange, keyboards + 1);
  EXPECT_EQ(CKeyboardPicture::Count(), keyboards);
  EXPECT_EQ(dlg->song->info.GetInt(SongInfoBlock::kTempo), 140);
  EXPECT_EQ(dlg->song->info.GetText(SongInfoBlock::kTitle, 33), "Window title");
}

TEST_F(WindowDialogsTest, CtrlAImportsTheAbcTextAndDiscardOrEscapeImportNothing) {
  Start();
  const std::vector<uint8_t> before = dlg->song->SerializeToVector();
  for (int way = 0; way < 3; ++way) {
    bool opened = false;
    WhenModal<CAbcNotationDlg>(
        [way](CAbcNotationDlg* d) {
          d->textBox->setPlainText(QStringLiteral("X:1\nT:Tune\nM:4/4\nL:1/8\nK:C\nCDEF GABc|"));
          if (way == 0) d->discard->click();
          if (way == 1) QTest::keyClick(d, Qt::Key_Escape);
          if (way == 2) {
            d->textBox->clear();
            d->submit->click();
          }
        },
        &opened);
    dlg->OnCtrlKey('A');
    EXPECT_TRUE(opened) << way;
    EXPECT_EQ(dlg->song->SerializeToVector(), before) << way;
  }
  bool opened = false;
  WhenModal<CAbcNotationDlg>(
      [](CAbcNotationDlg* d) {
        d->textBox->setPlainText(QStringLiteral("X:1\nT:Tune\nM:3/4\nL:1/4\nK:G\nGAB|c2d|B3|"));
        d->submit->click();
      },
      &opened);
  dlg->OnCtrlKey('A');
  ASSERT_TRUE(opened);
  EXPECT_EQ(dlg->song->beats_per_bar, 3);
  EXPECT_GT(dlg->song->CountNotes(0, dlg->song->bar_count - 1), 0);
  EXPECT_EQ(dlg->barCountSpin->value(), dlg->song->bar_count);
}

}  // namespace
