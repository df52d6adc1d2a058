// The import tool on the main window: its buttons and knob, its rows in the score picture, the
// window going on while a file is read, bars of the page dropped on its rows, and the song's
// changes that clear it.
#include "dialogs/archive_dialog.h"
#include "dialogs/import_tool_dialog.h"
#include "draw/button_picture.h"
#include "draw/knob_picture.h"
#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "tests/app/window/window_fixture.h"

#include <QElapsedTimer>
#include <QTest>

#include <condition_variable>
#include <fstream>
#include <mutex>

namespace {

namespace fs = std::filesystem;

// Holds the thread that shows a box until released.
class HoldingSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    shown_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return plat::kIdOk;
  }
  bool WaitShown() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [this] { return shown_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool shown_ = false, released_ = false;
};

class ImportToolWindowTest : public WindowTest {
 protected:
  void WaitParsed() {
    QElapsedTimer clock;
    clock.start();
    while (dlg->importTool->Parsing() && clock.elapsed() < 20000) QTest::qWait(5);
    ASSERT_FALSE(dlg->importTool->Parsing());
  }
};

TEST_F(ImportToolWindowTest, TheToolCarriesTheWindowsButtonsKnobAndRows) {
  Start();
  CImportToolDlg* tool = dlg->importTool;
  ASSERT_NE(tool, nullptr);
  EXPECT_FALSE(tool->isVisible());
  EXPECT_EQ(tool->objectName(), "216");
  EXPECT_EQ(CKnobPicture::Count(), 2);
  EXPECT_EQ(tool->knobHost->geometry(), QRect(10, 110, 36, 36));
  const struct {
    int index, left, right;
  } buttons[] = {{0, 900, 988}, {1, 50, 138}, {2, 150, 238}};
  for (const auto& b : buttons)
    EXPECT_EQ(tool->buttonHosts[b.index]->geometry(), QRect(b.left, 110, b.right - b.left, 30));
  // The four rows and their header follow the page's rows and headers.
  const int first = g_barsPerPage + dlg->Layout().headerCount;
  EXPECT_EQ(tool->FirstRow(), first);
  ASSERT_EQ(g_scorePicture->RowCount(), first + 5);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(g_scorePicture->Control(first + k), tool->rowHosts[k]);
    EXPECT_EQ(g_scorePicture->TicksPerRow(first + k), 960);
  }
  EXPECT_EQ(g_scorePicture->Control(first + 4), tool->headerHost);
  EXPECT_EQ(tool->BeatsPerBar(), dlg->song->beats_per_bar);
  dlg->ShowImportTool();
  EXPECT_TRUE(tool->isVisible());
}

TEST_F(ImportToolWindowTest, WhileAFileIsReadTheToolRestsAndTheWindowAnswers) {
  Start();
  CImportToolDlg* tool = dlg->importTool;
  dlg->ShowImportTool();
  const fs::path bad = cantrel_test::TempDir() / "bad.mid";
  std::ofstream(bad) << "not a song";
  dialogs.QueueFile(bad);
  HoldingSink holding;
  plat::InstallSink(&holding);
  dlg->DispatchButtonCommand(23);
  ASSERT_TRUE(holding.WaitShown());
  EXPECT_FALSE(tool->isEnabled());
  EXPECT_TRUE(dlg->isEnabled());
  const double knob = CKnobPicture::Value(CImportToolDlg::kKnob);
  QTest::qWait(350);
  EXPECT_GT(CKnobPicture::Value(CImportToolDlg::kKnob), knob) << "the tool's knob turns";
  // A toolbar button of the window works meanwhile.
  bool archiveOpened = false;
  dlg->modalRunner = [&archiveOpened](CDialogSkeleton& d) {
    archiveOpened = qobject_cast<CArchiveDlg*>(&d) != nullptr;
    return 0;
  };
  QTest::mousePress(dlg->toolbarControls[7], Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  QTest::mouseRelease(dlg->toolbarControls[7], Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  dlg->modalRunner = nullptr;
  EXPECT_TRUE(archiveOpened) << "the archive button opens the archive";
  holding.Release();
  WaitParsed();
  plat::InstallSink(&cantrel_test::Sink());
  EXPECT_TRUE(tool->isEnabled());
  EXPECT_EQ(ImportToolSong, nullptr);
}

TEST_F(ImportToolWindowTest, APageBarDroppedOnARowGoesIntoTheChannelAndANewSongClearsIt) {
  Start();
  NewSong(8, 4);
  CImportToolDlg* tool = dlg->importTool;
  dlg->ShowImportTool();
  NoteCell cell{};
  cell.slot[0] = 64;
  cell.slot[1] = NoteSlotHold;
  cell.slot[2] = NoteSlotVacant;
  dlg->song->SetCell(2, 0, cell);
  cell.slot[0] = NoteSlotRest;
  dlg->song->SetCell(2, 1, cell);
  const QPoint onRow = tool->rowHosts[1]->mapToGlobal(QPoint(20, 20));
  // Other texts do nothing there; a bar of the page is written into the shown bar of the row.
  dlg->OnImportToolDrop("score:Import:2", onRow);
  EXPECT_EQ(ImportToolSong, nullptr);
  const int beeps = dlg->beepCount;
  dlg->OnImportToolDrop("score:Copy:2", onRow);
  ASSERT_NE(ImportToolSong, nullptr);
  EXPECT_EQ(dlg->beepCount, beeps);
  const MidiTrack* track = ImportToolSong->Track(1);
  ASSERT_NE(track, nullptr);
  bool found = false;
  const std::vector<int64_t> ticks = track->EventTicks();
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->Event(i);
    if (e->status != kStatusNote) continue;
    EXPECT_EQ(ticks[i], 960);
    EXPECT_EQ(e->note, 64);
    EXPECT_EQ(e->duration, 96);
    found = true;
  }
  EXPECT_TRUE(found);
  // Away from the tool the drop beeps.
  dlg->OnImportToolDrop("score:Copy:2", tool->mapToGlobal(QPoint(-400, -400)));
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  // A new song clears the tool.
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  dlg->NewSong();
  EXPECT_EQ(ImportToolSong, nullptr);
}

}  // namespace
