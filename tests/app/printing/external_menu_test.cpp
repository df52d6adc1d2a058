// The external menu on the main window: each choice runs its command once the menu has closed;
// the score image and print choices ask for the print options first.
#include "dialogs/import_tool_dialog.h"
#include "dialogs/print_menus.h"
#include "dialogs/settings_dialogs.h"
#include "draw/button_picture.h"
#include "platform/qt/printer.h"
#include "tests/app/window/window_fixture.h"
#include "tests/dialogs/song_info/dialog_test_util.h"
#include "tests/draw/printing/print_support.h"

#include <QCheckBox>
#include <QComboBox>

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;

using window_test::WhenShown;

class ExternalMenuTest : public WindowTest {
 protected:
  // Printing goes to a recording A4 printer at 600 dpi.
  print_test::PrinterLog log;
  print_test::ScopedPrinter printer{[this] {
    return std::make_unique<print_test::RecordingPrinter>(&log, print_test::A4At600());
  }};

  // Presses a button of the menu once it shows.
  static void PressMenu(int button) {
    WhenShown<CMidiDlg>([button](CMidiDlg* m) { m->OnButton(button); });
  }
  // Clears the named boxes of the print options and presses OK once they show.
  static void AnswerOptions(std::vector<const char*> cleared) {
    WhenShown<CPrintDlg>([cleared](CPrintDlg* p) {
      for (const char* id : cleared) p->findChild<QCheckBox*>(id)->setChecked(false);
      p->OnButton(0);
    });
  }
};

TEST_F(ExternalMenuTest, PrintChoicePrintsWithTheOptions) {
  Start();
  NewSong(20, 4);
  PressMenu(4);
  AnswerOptions({"1150"});
  dlg->ShowExternalMenu();
  EXPECT_EQ(log.dialogs, 1);
  EXPECT_EQ(log.begins, 1);
  EXPECT_EQ(log.ends, 1);
  // Without lyric lines: 16 rows and 4 headers a page, three pages, and the title.
  EXPECT_EQ(log.drawn.size(), 3u * 20 + 1);
  EXPECT_EQ(CMidiDlg::Current(), nullptr);
  EXPECT_EQ(CPrintDlg::Current(), nullptr);
}

TEST_F(ExternalMenuTest, PrintOptionsClosedByTheFramePrintEverything) {
  Start();
  NewSong(20, 4);
  PressMenu(4);
  WhenShown<CPrintDlg>([](CPrintDlg* p) {
    p->findChild<QCheckBox*>("1150")->setChecked(false);
    p->findChild<QCheckBox*>("1152")->setChecked(false);
    p->close();
  });
  dlg->ShowExternalMenu();
  EXPECT_EQ(log.begins, 1);
  // With lyric lines each of the 16 rows of a page has one more item; and the title.
  EXPECT_GT(log.drawn.size(), 3u * 20 + 1);
}

TEST_F(ExternalMenuTest, ImageChoiceSavesTheImage) {
  Start();
  NewSong(5, 4);
  const fs::path path = cantrel_test::TempDir() / "menu.bmp";
  dialogs.QueueFile(path);
  PressMenu(3);
  AnswerOptions({});
  dlg->ShowExternalMenu();
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(ExternalMenuTest, FileChoicesAskForTheirFiles) {
  // Import asks for a MIDI or ABC file, export for the output file, join for a song file; each
  // is cancelled here, so only the request shows.
  struct Case {
    int button;
    const char* extension;
  };
  const Case cases[] = {{0, "mid"}, {1, "mid"}, {7, "mwd"}};
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    const size_t before = dialogs.FileRequests().size();
    dialogs.QueueFileCancel();
    PressMenu(c.button);
    dlg->ShowExternalMenu();
    const auto requests = dialogs.FileRequests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests.back().default_extension, c.extension);
  }
}

TEST_F(ExternalMenuTest, JoinAppendsASongOfTheSameMetre) {
  struct Case {
    int fileBeats;
    int barsAfter;
    bool reported;
  };
  const Case cases[] = {{4, 7, false}, {3, 3, true}};
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileBeats);
    const fs::path path = cantrel_test::TempDir() / ("join" + std::to_string(c.fileBeats) + ".mwd");
    NewSong(4, c.fileBeats);
    ASSERT_TRUE(dlg->song->SaveAs(c.fileBeats, 0, &path, 1));
    NewSong(3, 4);
    Sink().Clear();
    dialogs.QueueFile(path);
    PressMenu(7);
    dlg->ShowExternalMenu();
    EXPECT_EQ(dlg->song->bar_count, c.barsAfter);
    EXPECT_EQ(Sink().Count() > 0, c.reported);
  }
}

TEST_F(ExternalMenuTest, ImportToolAndSettingsRunNothingAfterwards) {
  Start();
  // The settings button runs the input/output settings on the live block and keeps the menu;
  // the import-tool button then ends it with nothing to do.
  bool opened = false;
  WhenShown<CMidiDlg>([&opened](CMidiDlg* m) {
    WhenModal<CInoutConfigDlg>(
        [](CInoutConfigDlg* d) {
          d->lyricEvents->setCurrentIndex(3);
          PressSkin(d->okHost);
        },
        &opened);
    m->OnButton(6);
    EXPECT_EQ(m->Choice(), 0);
    EXPECT_TRUE(m->isVisible());
    m->OnButton(2);
  });
  ASSERT_NE(dlg->importTool, nullptr);
  EXPECT_FALSE(dlg->importTool->isVisible());
  dlg->ShowExternalMenu();
  EXPECT_TRUE(opened);
  EXPECT_EQ(dlg->config.lyricEventMode, 3);
  // Nothing else ran: no arrangement, no box, the window takes input.
  EXPECT_FALSE(ComposeWorkerRunning());
  EXPECT_TRUE(dlg->isEnabled());
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_TRUE(dlg->importTool->isVisible());
  EXPECT_EQ(log.dialogs, 0);
  EXPECT_TRUE(dialogs.FileRequests().empty());
}

}  // namespace
