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
#include "tests/support/holding_sink.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

using cantrel_test::HoldingSink;

// A format-0 file at 480 ticks per quarter in 4/4 of the notes (tick, channel, pitch, length).
struct FileNote {
  int tick, channel, pitch, length;
};
fs::path WriteNotesFile(const std::string& name, const std::vector<FileNote>& notes) {
  std::vector<std::tuple<int, int, std::vector<uint8_t>>> events;  // tick, off before on, bytes
  for (const FileNote& n : notes) {
    events.push_back({n.tick, 1, {uint8_t(0x90 | n.channel), uint8_t(n.pitch), 100}});
    events.push_back({n.tick + n.length, 0, {uint8_t(0x80 | n.channel), uint8_t(n.pitch), 0}});
  }
  std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
    return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b)
                                            : std::get<1>(a) < std::get<1>(b);
  });
  std::vector<uint8_t> track = {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8};
  int at = 0;
  auto delta = [&track](int ticks) {
    uint8_t bytes[4];
    int n = 0;
    do {
      bytes[n++] = uint8_t(ticks & 0x7F);
      ticks >>= 7;
    } while (ticks > 0);
    while (n-- > 0) track.push_back(uint8_t(bytes[n] | (n > 0 ? 0x80 : 0)));
  };
  for (const auto& e : events) {
    delta(std::get<0>(e) - at);
    at = std::get<0>(e);
    const std::vector<uint8_t>& bytes = std::get<2>(e);
    track.insert(track.end(), bytes.begin(), bytes.end());
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                               'M', 'T', 'r', 'k', 0, 0, uint8_t(track.size() >> 8),
                               uint8_t(track.size())};
  file.insert(file.end(), track.begin(), track.end());
  const fs::path path = cantrel_test::TempDir() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return path;
}

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

TEST_F(ImportToolWindowTest, AToolBarDroppedOnThePageBecomesTheBarsNoteCells) {
  Start();
  NewSong(8, 4);
  CImportToolDlg* tool = dlg->importTool;
  dlg->ShowImportTool();
  // Bar 1 of the file (ticks 1920-3839 at 480 a quarter): an eighth; a sixteenth on the second
  // sixteenth of an eighth; three triplet eighths; a chord whose top note stays; and notes that
  // are not the bar's or not the channel's.
  const int bar = 1920;
  const fs::path file = WriteNotesFile(
      "tool.mid", {{0, 0, 50, 480},
                   {bar + 0, 0, 60, 240},
                   {bar + 360, 0, 62, 120},
                   {bar + 960, 0, 64, 80},
                   {bar + 1040, 0, 65, 80},
                   {bar + 1120, 0, 67, 80},
                   {bar + 1440, 0, 64, 240},
                   {bar + 1440, 0, 67, 240},
                   {bar + 0, 1, 40, 480},
                   {2 * bar, 0, 51, 480}});
  ASSERT_TRUE(tool->StartParse(file));
  WaitParsed();
  ASSERT_NE(ImportToolSong, nullptr);

  // Every cell of bar 3 written over: pitches in the slots of their sixteenths or triplet
  // eighths, a rest where each note ends.
  constexpr int H = NoteSlotHold, R = NoteSlotRest, V = NoteSlotVacant;
  const int expected[8][3] = {{60, H, V},  {R, 62, V}, {R, H, V},  {H, H, V},
                              {64, 65, 67}, {R, R, V}, {67, H, V}, {R, H, V}};
  NoteCell busy{};
  busy.slot[0] = 72;
  busy.slot[1] = 74;
  busy.slot[2] = 76;
  for (int e = 0; e < 8; ++e) dlg->song->SetCell(3, e, busy);
  dlg->DropImportBar(3, 1);
  for (int e = 0; e < 8; ++e) {
    NoteCell cell{};
    ASSERT_TRUE(dlg->song->GetCell(3, e, &cell));
    for (int s = 0; s < 3; ++s) EXPECT_EQ(cell.slot[s], expected[e][s]) << "eighth " << e << " slot " << s;
  }
  NoteCell next{};
  ASSERT_TRUE(dlg->song->GetCell(4, 0, &next));
  EXPECT_EQ(next.slot[0], R) << "the bar after is not touched";

  // Through the page: an Import text dropped on a bar cell; a target past the end lengthens the
  // song first.
  const PageRect& r = dlg->Layout().scoreRows[1];
  dlg->OnScoreDrop("score:Import:1", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  NoteCell cell{};
  ASSERT_TRUE(dlg->song->GetCell(dlg->SongBarOfCell(1), 4, &cell));
  EXPECT_EQ(cell.slot[2], 67);
  dlg->DropImportBar(9, 1);
  EXPECT_EQ(dlg->song->bar_count, 10);
  ASSERT_TRUE(dlg->song->GetCell(9, 6, &cell));
  EXPECT_EQ(cell.slot[0], 67);

  // A channel with no notes in the file leaves the bar as it was; so does a tool without a song.
  tool->channelList->setCurrentIndex(5);
  tool->OnChannelChanged();
  for (int e = 0; e < 8; ++e) dlg->song->SetCell(2, e, busy);
  dlg->DropImportBar(2, 1);
  ASSERT_TRUE(dlg->song->GetCell(2, 3, &cell));
  EXPECT_EQ(cell.slot[0], 72);
  tool->ClearImport();
  dlg->DropImportBar(2, 1);
  ASSERT_TRUE(dlg->song->GetCell(2, 3, &cell));
  EXPECT_EQ(cell.slot[0], 72);
}

}  // namespace
