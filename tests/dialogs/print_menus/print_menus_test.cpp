// The external input/output menu and the print options, driven through their handlers.
#include "dialogs/print_menus.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>

#include <vector>

namespace {

class FakeOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t, uintptr_t, intptr_t) override {}
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return scale; }
  int scale = 100;
};

// Runs the event loop until the dialog has closed, two seconds at the most.
void WaitClosed(const QDialog& d) {
  QElapsedTimer t;
  t.start();
  while (d.isVisible() && t.elapsed() < 2000) QTest::qWait(10);
}

class PrintMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
  }
  void TearDown() override {
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
  }
  FakeOwner owner;
};

TEST_F(PrintMenusTest, MenuButtonsGiveTheirChoices) {
  struct Case {
    int button, choice;
    bool closes;
  };
  const Case cases[] = {{0, 1, true}, {1, 2, true}, {2, 0, true}, {3, 3, true},
                        {4, 4, true}, {5, 5, true}, {6, 0, false}, {7, 6, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    CMidiDlg menu;
    menu.SetOwner(&owner);
    // The menu hands the settings on without reading them: any address stands for them.
    ConfigData* const config = reinterpret_cast<ConfigData*>(&owner);
    menu.settings = config;
    int imports = 0;
    std::vector<ConfigData*> settingsRuns;
    menu.showImportTool = [&] { ++imports; };
    menu.runSettings = [&](ConfigData* s) { settingsRuns.push_back(s); };
    menu.Create();
    menu.show();
    EXPECT_EQ(CMidiDlg::Current(), &menu);
    EXPECT_EQ(menu.Choice(), 0);
    menu.OnButton(c.button);
    if (c.closes) {
      WaitClosed(menu);
      EXPECT_FALSE(menu.isVisible());
      EXPECT_EQ(menu.result(), QDialog::Accepted);
    } else {
      QTest::qWait(400);
      EXPECT_TRUE(menu.isVisible());
    }
    EXPECT_EQ(menu.Choice(), c.choice);
    EXPECT_EQ(imports, c.button == 2 ? 1 : 0);
    EXPECT_EQ(settingsRuns, c.button == 6 ? std::vector<ConfigData*>{config}
                                          : std::vector<ConfigData*>{});
    menu.close();
  }
  EXPECT_EQ(CMidiDlg::Current(), nullptr);
}

TEST_F(PrintMenusTest, MenuButtonPlaces) {
  CMidiDlg menu;
  menu.SetOwner(&owner);
  menu.Create();
  EXPECT_EQ(menu.objectName(), "215");
  struct Place {
    const char* host;
    QRect rect;
  };
  const Place places[] = {{"1067", QRect(10, 10, 88, 30)},  {"1015", QRect(10, 50, 88, 30)},
                          {"1016", QRect(120, 10, 88, 30)}, {"1017", QRect(10, 90, 88, 30)},
                          {"1018", QRect(120, 90, 88, 30)}, {"1019", QRect(120, 50, 88, 30)},
                          {"1020", QRect(10, 140, 88, 30)}, {"1021", QRect(120, 140, 88, 30)}};
  for (const Place& p : places) {
    auto* host = menu.findChild<COffScreenControl*>(p.host);
    ASSERT_NE(host, nullptr) << p.host;
    EXPECT_EQ(host->geometry(), p.rect) << p.host;
  }
  EXPECT_EQ(CButtonPicture2::Caption(4), "  楽譜印刷");
  EXPECT_EQ(CButtonPicture2::Caption(3), "  楽譜画像");
}

TEST_F(PrintMenusTest, WideDialogFontsSizeTheCaptions) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide);
    CButtonPicture2::ResetState();
    CMidiDlg menu;
    QFont f = menu.font();
    f.setPixelSize(wide ? 24 : 8);
    menu.setFont(f);
    menu.Create();
    for (int i = 0; i < 8; ++i) {
      const int want = !wide || i == 6 || i == 7 ? 0 : i == 2 ? 12 : 16;
      EXPECT_EQ(CButtonPicture2::FontHeight(i), want) << i;
    }
  }
}

TEST_F(PrintMenusTest, PrintOptionsButtonPlaceByScale) {
  struct Case {
    int scale, top;
  };
  for (const Case& c : {Case{100, 130}, Case{125, 150}, Case{150, 180}, Case{175, 210},
                        Case{200, 240}, Case{250, 150}, Case{110, 150}}) {
    SCOPED_TRACE(c.scale);
    CButtonPicture3::ResetState();
    owner.scale = c.scale;
    CPrintDlg d;
    d.SetOwner(&owner);
    d.Create();
    auto* host = d.findChild<COffScreenControl*>();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->geometry(), QRect(40, c.top, 88, 30));
  }
}

TEST_F(PrintMenusTest, PrintOptionsReadTheBoxes) {
  CPrintDlg d;
  d.SetOwner(&owner);
  d.Create();
  EXPECT_EQ(d.objectName(), "235");
  EXPECT_EQ(d.windowTitle(), "Print setting");
  auto* title = d.findChild<QCheckBox*>("1152");
  auto* lyric = d.findChild<QCheckBox*>("1150");
  auto* chord = d.findChild<QCheckBox*>("1151");
  ASSERT_TRUE(title && lyric && chord);
  EXPECT_EQ(title->text(), "Song title");
  EXPECT_EQ(lyric->text(), "Lyric");
  EXPECT_EQ(chord->text(), "Chord");
  EXPECT_TRUE(title->isChecked() && lyric->isChecked() && chord->isChecked());
  EXPECT_EQ(CButtonPicture3::Caption(0), "    O  K");

  d.show();
  lyric->setChecked(false);
  chord->setChecked(false);
  d.OnButton(0);
  // The button reads the boxes at once and ends the dialog a moment later.
  EXPECT_EQ(d.title, 1);
  EXPECT_EQ(d.lyrics, 0);
  EXPECT_EQ(d.chords, 0);
  EXPECT_TRUE(d.isVisible());
  WaitClosed(d);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST_F(PrintMenusTest, PrintOptionsClosedByTheFrameKeepEverything) {
  CPrintDlg d;
  d.SetOwner(&owner);
  d.Create();
  d.show();
  d.findChild<QCheckBox*>("1150")->setChecked(false);
  d.findChild<QCheckBox*>("1152")->setChecked(false);
  d.close();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.title, 1);
  EXPECT_EQ(d.lyrics, 1);
  EXPECT_EQ(d.chords, 1);
}

}  // namespace
