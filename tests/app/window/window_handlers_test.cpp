// The main window's own handlers driven directly: the buttons, the Ctrl keys, the lists, the
// scroll bar and wheel, the score rows' callbacks and the private messages; every code and key
// reaches its effect or the handler of the part that carries it out.
#include "app/compose_worker.h"
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "dialogs/bar_edit_dialog.h"
#include "dialogs/import_tool_dialog.h"
#include "dialogs/melody_panel.h"
#include "dialogs/qr_dialog.h"
#include "dialogs/triplet_guitar_panels.h"
#include "app/melody_box.h"
#include "draw/chord_cell_picture.h"
#include "draw/offscreen_control.h"
#include "draw/staff_picture.h"
#include "music/midi_out_device.h"
#include "platform/core/encoding.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/core/midi_devices.h"
#include "platform/qt/app_message.h"
#include "platform/qt/text_drag_drop.h"
#include "song/song_data.h"
#include "tests/app/window/silent_window_fixture.h"
#include "tests/app/window/window_test_util.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QDropEvent>
#include <QLabel>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;

using window_test::PumpUntil;

void Pump() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Logged(const std::vector<std::string>& log, const std::string& name) {
  return std::find(log.begin(), log.end(), name) != log.end();
}

// Records the thread each private message of one number reaches the window on.
struct MessageWatch : QObject {
  explicit MessageWatch(uint32_t number) : message(number) {}
  bool eventFilter(QObject*, QEvent* e) override {
    const plat::AppMessage* m = plat::IsAppMessage(e);
    if (m && m->message == message) threads.push_back(QThread::currentThread());
    return false;
  }
  uint32_t message;
  std::vector<QThread*> threads;
};

class WindowHandlersTest : public SilentWindowTest {
 protected:
  // On a 1280 x 1024 screen.
  void SetUp() override {
    SilentWindowTest::SetUp();
    SetScreenSizeOverride(1280, 1024);
  }
  void TearDown() override {
    SilentWindowTest::TearDown();
    SetScreenSizeOverride(0, 0);
  }
  // Shown and ready, with no handler logged and no box recorded yet.
  void Start() {
    ASSERT_NO_FATAL_FAILURE(SilentWindowTest::Start());
    cantrel_test::Sink().Clear();
  }
  static void WriteSong(const fs::path& path, int bars, int beats) {
    CSongData song;
    song.Reset(bars, beats, 0, 1);
    ASSERT_TRUE(song.SaveAs(beats, 0, &path, 1));
  }
};

TEST_F(WindowHandlersTest, AFirstStartOnALargeScreenUsesModeFive) {
  Start();
  EXPECT_EQ(dlg->config.screenLayout, 5);
  EXPECT_EQ(dlg->width(), 1019 - 16);
  EXPECT_EQ(dlg->height(), 767 - 39);
  EXPECT_EQ(g_barsPerPage, 16);
  // The skinned toolbar shows the window's own tool tips; the bar labels count from 1.
  EXPECT_EQ(dlg->toolbarControls[0]->toolTip().toStdString(),
            plat::Cp932ToUtf8("終了します。"));
  EXPECT_EQ(dlg->toolbarControls[12]->toolTip(), QString());
  EXPECT_EQ(dlg->barLabels[0]->text(), "1");
  EXPECT_EQ(dlg->barLabels[15]->text(), "16");
  EXPECT_FALSE(dlg->barLabels[16]->isVisible());
  ASSERT_NE(g_scorePicture, nullptr);
  // The page's bar cells and headers, then the import tool's four rows and their header.
  EXPECT_EQ(g_scorePicture->RowCount(), 16 + 4 + 5);
}

TEST_F(WindowHandlersTest, TheModeZeroScreen) {
  SetScreenSizeOverride(800, 600);
  Start();
  EXPECT_EQ(dlg->config.screenLayout, 0);
  EXPECT_EQ(g_barsPerPage, 9);
  EXPECT_EQ(dlg->width(), 800 - 16);
  EXPECT_LE(dlg->height() + 39, 600);
}

TEST_F(WindowHandlersTest, ALayoutRebuiltAfterAModeChangeEqualsAFreshStart) {
  auto geometry = [](CBrevantDlg* d) {
    std::map<std::string, QRect> out;
    for (QWidget* w : d->findChildren<QWidget*>()) {
      if (w->parent() != d) continue;
      out[w->objectName().toStdString()] = w->isVisibleTo(d) ? w->geometry() : QRect();
    }
    out["window"] = QRect(0, 0, d->width(), d->height());
    return out;
  };
  for (int mode : {0, 2, 3, 4}) {
    Start();
    dlg->config.screenLayout = static_cast<int8_t>(mode);
    dlg->RebuildLayout();
    ASSERT_EQ(dlg->config.screenLayout, mode);
    const std::map<std::string, QRect> rebuilt = geometry(dlg.get());
    const int rows = g_scorePicture->RowCount();
    dlg->ExitCommand();
    PumpUntil([&]() { return !dlg->isVisible(); });
    dlg.reset();
    Start();
    EXPECT_EQ(dlg->config.screenLayout, mode);
    const std::map<std::string, QRect> fresh = geometry(dlg.get());
    ASSERT_EQ(fresh.size(), rebuilt.size());
    for (const auto& [name, rect] : fresh) {
      EXPECT_EQ(rect, rebuilt.at(name)) << mode << " " << name;
    }
    EXPECT_EQ(g_scorePicture->RowCount(), rows) << mode;
    dlg.reset();
    ResetMainGlobals();
  }
  // A mode outside 0-6 says so and keeps the page.
  Start();
  dlg->config.screenLayout = 9;
  const int before = g_barsPerPage;
  dlg->RebuildLayout();
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"screen size"});
  EXPECT_EQ(g_barsPerPage, before);
}

TEST_F(WindowHandlersTest, HelpButtonOpensTheHelpPageInTheDesktopsBrowser) {
  Start();
  const fs::path page = plat::ProgramFolder() / "pellmorj.html";
  std::vector<uint8_t> html;
  ASSERT_TRUE(plat::ReadWholeFile(page, html)) << page;
  const std::string text(html.begin(), html.end());
  EXPECT_NE(text.find("<html lang=\"ja\">"), std::string::npos);
  EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos);

  // A browser of ours, first on the path, notes the page it is asked to show.
  const fs::path bin = cantrel_test::TempDir() / "bin";
  const fs::path opened = cantrel_test::TempDir() / "opened";
  fs::create_directories(bin);
  {
    std::ofstream script(bin / "xdg-open");
    script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".part'\nmv '"
           << opened.string() << ".part' '" << opened.string() << "'\n";
  }
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  dlg->DispatchButtonCommand(9);
  setenv("PATH", path.c_str(), 1);
  QElapsedTimer clock;
  clock.start();
  while (!fs::exists(opened) && clock.elapsed() < 60000)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::vector<uint8_t> shown;
  ASSERT_TRUE(plat::ReadWholeFile(opened, shown)) << "the browser was never started";
  EXPECT_EQ(std::string(shown.begin(), shown.end()), page.string());
  EXPECT_TRUE(cantrel_test::Sink().Texts().empty()) << cantrel_test::Sink().Texts()[0];

  // Without the page, the message names it.
  plat::SetProgramFolder(cantrel_test::TempDir());
  dlg->DispatchButtonCommand(9);
  plat::SetProgramFolder(cantrel_test::SourceDir() / "resources");
  ASSERT_EQ(cantrel_test::Sink().Texts().size(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("pellmorj.html"), std::string::npos);
}

TEST_F(WindowHandlersTest, EveryButtonReachesItsHandler) {
  Start();
  struct Case {
    int code;
    const char* dialog;
  } cases[] = {
      {6, "131:1:1"},
      {7, "213"},
      {12, "211"},
  };
  std::vector<std::string> shown;
  // The modal dialogs are told apart by their template ids (the bar-range edit dialog with the
  // range it proposes) and closed at once.
  dlg->modalRunner = [&](CDialogSkeleton& d) {
    std::string name = d.objectName().toStdString();
    if (auto* copy = qobject_cast<CCopyDlg*>(&d)) {
      name += ":" + std::to_string(copy->from) + ":" + std::to_string(copy->to);
    }
    shown.push_back(name);
    return 0;
  };
  dlg->SetNoteCursor(1, 0, 0);
  for (const Case& c : cases) {
    shown.clear();
    dlg->DispatchButtonCommand(c.code);
    EXPECT_TRUE(Logged(shown, c.dialog)) << c.code;
  }
  // 8 hands the song to the worker to arrange; the window waits for it, disabled.
  dlg->DispatchButtonCommand(8);
  EXPECT_TRUE(ComposeWorkerRunning());
  EXPECT_FALSE(dlg->isEnabled());
  // 22 hides the import tool; 23 asks for a file for it; 24 without a file plays nothing.
  ASSERT_NE(dlg->importTool, nullptr);
  dlg->ShowImportTool();
  dlg->DispatchButtonCommand(22);
  EXPECT_FALSE(dlg->importTool->isVisible());
  {
    plat::ScriptedFileDialogs files;
    files.QueueFileCancel();
    plat::InstallFileDialogs(&files);
    dlg->DispatchButtonCommand(23);
    plat::InstallFileDialogs(nullptr);
    ASSERT_EQ(files.FileRequests().size(), 1u);
    EXPECT_EQ(files.FileRequests()[0].filter, "SMF files|*.mid|");
  }
  dlg->DispatchButtonCommand(24);
  EXPECT_EQ(g_isPlaying.load(), 0);
  EXPECT_FALSE(dlg->importTool->Previewing());
  // 16 and 17 show the guitar and triplet panels.
  for (int code : {16, 17}) dlg->DispatchButtonCommand(code);
  ASSERT_NE(dlg->guitarPanel, nullptr);
  EXPECT_TRUE(dlg->guitarPanel->isVisible());
  EXPECT_TRUE(dlg->tripletPanel->isVisible());
  // 14 and 15 walk the note cursor, 19 and 20 the chord cursor.
  dlg->DispatchButtonCommand(15);
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), 2);
  dlg->DispatchButtonCommand(14);
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), 1);
  EXPECT_TRUE(g_melodyPanel->isVisible()) << "the cursor's cell shows in the melody panel";
  // 18 makes the cell a rap note.
  dlg->DispatchButtonCommand(18);
  Pump();
  EXPECT_EQ(dlg->melodyFields.typeRow, 5);
  EXPECT_EQ(dlg->song->GetSlotValue(dlg->melodyFields.cursorBar, dlg->melodyFields.cursorEighth, false),
            NoteSlotRap);
  dlg->DispatchButtonCommand(20);
  EXPECT_EQ(dlg->cursorEighth, 2);
  dlg->DispatchButtonCommand(19);
  EXPECT_EQ(dlg->cursorEighth, 0);
  // 1 asks before it clears the song; 2 and 3 open their file dialogs.
  cantrel_test::Sink().Clear();
  cantrel_test::Sink().QueueAnswer(plat::kIdCancel);
  dlg->DispatchButtonCommand(1);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"曲をクリアしますか？"});
  plat::ScriptedFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  dlg->DispatchButtonCommand(2);
  dlg->DispatchButtonCommand(3);
  plat::InstallFileDialogs(nullptr);
  ASSERT_EQ(dialogs.FileRequests().size(), 2u);
  EXPECT_EQ(dialogs.FileRequests()[0].kind, plat::FileDialogRequest::Kind::Open);
  EXPECT_EQ(dialogs.FileRequests()[1].kind, plat::FileDialogRequest::Kind::Save);

  // 11 flips the input mode and redraws the melody box with note names.
  const int mode = dlg->config.inputMode;
  dlg->DispatchButtonCommand(11);
  EXPECT_EQ(dlg->config.inputMode, 1 - mode);
  dlg->DispatchButtonCommand(11);
  EXPECT_EQ(dlg->config.inputMode, mode);

  // 21 without a configured chord dictionary says so, and does not beep.
  const int beeps = dlg->beepCount;
  cantrel_test::Sink().Clear();
  dlg->DispatchButtonCommand(21);
  EXPECT_EQ(dlg->beepCount, beeps);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"コード辞典のプログラムが設定されていません。"});

  // Undo takes back the last edit.
  dlg->song->TakeUndoSnapshot();
  dlg->song->cells[0].slot[0] = 64;
  dlg->DispatchButtonCommand(5);
  EXPECT_NE(dlg->song->cells[0].slot[0], 64);

  // Codes past 24 do nothing: the song, the cursor and the input mode stay, and nothing is said.
  {
    const std::vector<NoteCell> before(dlg->song->cells, dlg->song->cells + kSongMaxCells);
    const int bars = dlg->song->bar_count;
    const int cell = dlg->cursorBar, eighth = dlg->cursorEighth, inputMode = dlg->config.inputMode;
    const int beepsBefore = dlg->beepCount;
    cantrel_test::Sink().Clear();
    dlg->DispatchButtonCommand(25);
    dlg->DispatchButtonCommand(-1);
    EXPECT_EQ(std::memcmp(before.data(), dlg->song->cells, sizeof dlg->song->cells), 0);
    EXPECT_EQ(dlg->song->bar_count, bars);
    EXPECT_EQ(dlg->cursorBar, cell);
    EXPECT_EQ(dlg->cursorEighth, eighth);
    EXPECT_EQ(dlg->config.inputMode, inputMode);
    EXPECT_EQ(dlg->beepCount, beepsBefore);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  }
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(WindowHandlersTest, CtrlKeys) {
  Start();
  dlg->SetNoteCursor(2, 3, 0);
  // B and E set the range at the cursor's bar.
  dlg->OnCtrlKey('B');
  dlg->OnCtrlKey('E');
  EXPECT_EQ(dlg->rangeFirst, 2);
  EXPECT_EQ(dlg->rangeLast, 2);
  // Space and L post bar-menu commands to the window: the range plays, the lyric panel opens.
  dlg->menuBarCell = 1;
  MessageWatch played(kMsgPlayComposed);
  dlg->installEventFilter(&played);
  plat::PostAppMessage(dlg.get(), kMsgApp + 39, ' ', 1);
  dlg->OnCtrlKey('L');
  PumpUntil([&]() { return !played.threads.empty(); }, 60000);
  dlg->removeEventFilter(&played);
  EXPECT_EQ(played.threads.size(), 1u) << "the range was arranged to play";
  if (g_isPlaying.load() == 1) dlg->TogglePlay();
  ASSERT_NE(g_lyricInputPanel, nullptr);
  EXPECT_TRUE(g_lyricInputPanel->isVisible()) << "L shows the lyric panel";
  g_lyricInputPanel->hide();
  dlg->cursorBar = -1;
  dlg->OnCtrlKey('L');
  Pump();
  EXPECT_FALSE(g_lyricInputPanel->isVisible()) << "no cursor: no lyric panel";

  // Z undoes.
  dlg->song->TakeUndoSnapshot();
  dlg->song->cells[5].slot[0] = 70;
  dlg->OnCtrlKey('Z');
  EXPECT_NE(dlg->song->cells[5].slot[0], 70);
}

TEST_F(WindowHandlersTest, CtrlSSavesWithAPathOrAsksForOneAndChimes) {
  plat::TestMidiOutBackend backend;
  auto log = backend.AddRecordingDevice("rec");
  plat::InstallMidiOutBackend(&backend);
  Start();
  ASSERT_NE(g_auditionDevice, nullptr);
  ASSERT_TRUE(g_auditionDevice->IsOpen());
  dlg->config.inputVelocity = 90;

  // Without a path: the save dialog, then the chime.
  plat::ScriptedFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  dlg->OnCtrlKey('S');
  plat::InstallFileDialogs(nullptr);
  EXPECT_EQ(dialogs.FileRequests().size(), 1u);
  std::vector<std::vector<uint8_t>> chime = {{0x90, 60, 90}, {0x80, 60, 0}, {0x90, 64, 90},
                                             {0x80, 64, 0}, {0x90, 67, 90}, {0x80, 67, 0}};
  auto notes = [&]() {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& b : log->Bytes()) {
      if (!b.empty() && (b[0] & 0xE0) == 0x80) out.push_back(b);
    }
    return out;
  };
  ASSERT_EQ(notes().size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(notes()[i][0] & 0xF0, chime[i][0]) << i;
    EXPECT_EQ(notes()[i][1], chime[i][1]) << i;
  }
  // With a path: the song is written there silently, and the chime again.
  log->Clear();
  const fs::path path = cantrel_test::TempDir() / "saved.mwd";
  std::strncpy(dlg->config.songPath, path.string().c_str(), sizeof dlg->config.songPath - 1);
  plat::InstallFileDialogs(&dialogs);
  dlg->OnCtrlKey('S');
  plat::InstallFileDialogs(nullptr);
  EXPECT_EQ(dialogs.FileRequests().size(), 1u) << "no dialog";
  EXPECT_EQ(plat::FileSize(path), static_cast<int64_t>(kSongImageSize));
  EXPECT_EQ(notes().size(), 6u);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(WindowHandlersTest, PrivateMessagesReachTheirHandlers) {
  Start();
  // +11 opens the mobile-transfer dialog modally on the transfer file (with no service set, after
  // its message): it is closed as soon as it shows, and the file is not kept.
  bool transferShown = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&transferShown] {
    if (CQrDlg* transfer = CQrDlg::Current(); transfer && transfer->isVisible()) {
      transferShown = true;
      transfer->reject();
    }
  });
  closer.start(20);
  dlg->midiFilePath = cantrel_test::TempDir() / "transfer.mid";
  ASSERT_TRUE(plat::WriteFileAtomic(dlg->midiFilePath, std::vector<uint8_t>{'M', 'T', 'h', 'd'}));
  plat::PostAppMessage(dlg.get(), kMsgApp + 11);
  Pump();
  EXPECT_TRUE(transferShown);
  EXPECT_FALSE(fs::exists(dlg->midiFilePath));
  // +17 (Enter in the melody panel) moves the cursor on from a note.
  dlg->song->Reset(8, 4, 0, 1);
  for (int c = 0; c < 8; ++c) dlg->song->cells[c] = NoteCell{{64, NoteSlotHold, NoteSlotVacant}, {}};
  dlg->SetNoteCursor(0, 0, 0);
  plat::PostAppMessage(dlg.get(), kMsgApp + 17);
  Pump();
  EXPECT_EQ(dlg->cursorEighth, 1);
  dlg->song->Reset(8, 4, 0, 1);
  // +22 plays the song: it is arranged on the worker (and stopped when it plays).
  MessageWatch played(kMsgPlayComposed);
  dlg->installEventFilter(&played);
  plat::PostAppMessage(dlg.get(), kMsgApp + 22);
  PumpUntil([&]() { return !played.threads.empty(); }, 60000);
  Pump();
  dlg->removeEventFilter(&played);
  EXPECT_EQ(played.threads.size(), 1u) << "the song was arranged to play";
  if (g_isPlaying.load() == 1) dlg->TogglePlay();
  // The note cursor's messages walk it; the audition device closes and opens again.
  dlg->SetNoteCursor(0, 0, 0);
  plat::PostAppMessage(dlg.get(), kMsgApp + 16);
  Pump();
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), 1);
  plat::PostAppMessage(dlg.get(), kMsgApp + 32);
  Pump();
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), 0);
  plat::PostAppMessage(dlg.get(), kMsgApp + 302);
  Pump();
  EXPECT_EQ(g_auditionDevice, nullptr);
  plat::PostAppMessage(dlg.get(), kMsgApp + 303);
  Pump();
  EXPECT_NE(g_auditionDevice, nullptr);
  // +10 and +35 enter the melody panel's note at its cursor.
  dlg->melodyFields.cursorBar = 2;
  dlg->melodyFields.cursorEighth = 0;
  dlg->melodyFields.typeRow = 2;
  dlg->melodyFields.nameRow = 7;
  dlg->melodyFields.lengthRow = 1;
  dlg->melodyFields.changed = MelodyPanelFields::kPitchChanged | MelodyPanelFields::kLengthChanged;
  plat::PostAppMessage(dlg.get(), kMsgApp + 35);
  Pump();
  EXPECT_EQ(dlg->song->cells[16].slot[0], CSongData::PitchFromRows(2, 7));
  // The panels' own numbers pass unhandled: the song and the cursor stay, nothing is said.
  {
    const std::vector<NoteCell> before(dlg->song->cells, dlg->song->cells + kSongMaxCells);
    const int cell = dlg->cursorBar, eighth = dlg->cursorEighth;
    cantrel_test::Sink().Clear();
    for (uint32_t n : {13u, 15u, 21u, 24u, 26u, 29u, 31u, 33u}) {
      plat::PostAppMessage(dlg.get(), kMsgApp + n);
    }
    Pump();
    EXPECT_EQ(std::memcmp(before.data(), dlg->song->cells, sizeof dlg->song->cells), 0);
    EXPECT_EQ(dlg->cursorBar, cell);
    EXPECT_EQ(dlg->cursorEighth, eighth);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
    EXPECT_FALSE(ComposeWorkerRunning());
  }
  // +23 stops only a song that plays: with none playing nothing is arranged.
  plat::PostAppMessage(dlg.get(), kMsgApp + 23);
  Pump();
  EXPECT_FALSE(ComposeWorkerRunning());
  EXPECT_EQ(g_isPlaying.load(), 0);
  // While a song plays, +23 stops it and MIDI input is dropped; nothing new is arranged.
  g_isPlaying = 1;
  plat::PostAppMessage(dlg.get(), kMsgApp + 23);
  plat::PostAppMessage(dlg.get(), kMsgMidiData, 0, 0x403C90);
  Pump();
  EXPECT_FALSE(ComposeWorkerRunning()) << "a stop arranges nothing";
  g_isPlaying = 0;
  // +30 gives a cursor where there was none.
  dlg->cursorBar = dlg->cursorEighth = -1;
  plat::PostAppMessage(dlg.get(), kMsgApp + 30, 'C', 0);
  Pump();
  EXPECT_EQ(dlg->cursorBar, 0);
  EXPECT_EQ(dlg->cursorEighth, 0);
  // +19 and +20 enable the window the worker disabled.
  dlg->setEnabled(false);
  plat::PostAppMessage(dlg.get(), kMsgApp + 20);
  Pump();
  EXPECT_TRUE(dlg->isEnabled());
}

TEST_F(WindowHandlersTest, MessagesPostedFromAnotherThreadRunOnTheWindowsThread) {
  Start();
  // Notes on every eighth: each Enter of the melody panel moves the cursor one eighth on.
  dlg->song->Reset(16, 4, 0, 1);
  for (int c = 0; c < 16 * 8; ++c) {
    dlg->song->cells[c] = NoteCell{{64, NoteSlotHold, NoteSlotVacant}, {}};
  }
  dlg->SetNoteCursor(0, 0, 0);
  // The thread each Enter is handled on.
  MessageWatch watch(kMsgApp + 17);
  dlg->installEventFilter(&watch);
  std::thread worker([&]() {
    for (int i = 0; i < 50; ++i) plat::PostAppMessage(dlg.get(), kMsgApp + 17, i, 0);
    plat::PostAppMessage(dlg.get(), kMsgApp + 20);
  });
  worker.join();
  PumpUntil([&]() { return watch.threads.size() >= 50; });
  Pump();
  dlg->removeEventFilter(&watch);
  ASSERT_EQ(watch.threads.size(), 50u);
  for (QThread* t : watch.threads) EXPECT_EQ(t, dlg->thread());
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar) * 8 + dlg->cursorEighth, 50)
      << "every Enter moved the cursor on";
}

TEST_F(WindowHandlersTest, OneDroppedFileOpensTwoAreRefused) {
  Start();
  const fs::path a = cantrel_test::TempDir() / "a.mwd";
  const fs::path b = cantrel_test::TempDir() / "b.mwd";
  WriteSong(a, 9, 4);
  WriteSong(b, 10, 4);
  dlg->OnDropFiles({a, b});
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CBrevantDlg error"});
  EXPECT_EQ(dlg->song->bar_count, 8);
  dlg->OnDropFiles({a});
  EXPECT_EQ(dlg->song->bar_count, 9);
  EXPECT_EQ(dlg->barCountSpin->value(), 9);
}

TEST_F(WindowHandlersTest, ThreeBeatsHideTheFourthBeatsCells) {
  Start();
  dlg->ShowBeatsPerBar(3);
  for (int c = 0; c < g_barsPerPage; ++c) {
    const Rect chord = CChordCellPicture::CellRect(c, 0, 3);
    EXPECT_EQ(CChordCellPicture::Surface(c)->GetPixel(chord.left + 1, chord.top + 1),
              CChordCellPicture::kHidden) << c;
    EXPECT_NE(CChordCellPicture::Surface(c)->GetPixel(CChordCellPicture::CellRect(c, 0, 2).left + 1,
                                                     chord.top + 1),
              CChordCellPicture::kHidden) << c;
    for (int e = 0; e < 8; ++e) {
      EXPECT_EQ(CMelodyBoxPicture::CellShown(c, 0, e), e < 6 ? 1 : 0) << c << "/" << e;
    }
  }
  dlg->ShowBeatsPerBar(4);
  EXPECT_EQ(CMelodyBoxPicture::CellShown(0, 0, 7), 1);
}

TEST_F(WindowHandlersTest, ScrollingStopsAtThePageHoldingTheMetresLastBar) {
  Start();
  // 4/4, mode 5: the last page shows bars 241-256.
  dlg->OnVScroll(7, 0);  // bottom
  dlg->OnVScroll(8, 0);
  EXPECT_EQ(dlg->topRow, 60);
  EXPECT_EQ(dlg->barLabels[15]->text(), "256");
  EXPECT_EQ(dlg->scrollBar->maximum(), 60);
  EXPECT_EQ(dlg->scrollBar->value(), 60);
  dlg->OnMouseWheel(-120);
  dlg->ScrollRowDown();
  dlg->OnVScroll(1, 0);
  dlg->OnVScroll(3, 0);
  dlg->OnVScroll(4, 500);
  EXPECT_EQ(dlg->topRow, 60) << "one bound for all";
  dlg->OnVScroll(2, 0);  // page up
  EXPECT_EQ(dlg->topRow, 56);
  dlg->OnMouseWheel(120);
  EXPECT_EQ(dlg->topRow, 55);
  dlg->OnVScroll(6, 0);
  EXPECT_EQ(dlg->topRow, 0);
  dlg->ScrollRowUp();
  dlg->OnMouseWheel(120);
  EXPECT_EQ(dlg->topRow, 0);
  // Thumb dragging changes nothing until it is let go.
  dlg->OnVScroll(5, 30);
  EXPECT_EQ(dlg->topRow, 0);

  // 3/4: bar 341 is reachable; the cells past it beep.
  dlg->song->Reset(8, 3, 0, 1);
  dlg->OnVScroll(7, 0);
  dlg->OnVScroll(8, 0);
  EXPECT_EQ(dlg->topRow, 82);
  EXPECT_EQ(dlg->barLabels[12]->text(), "341");
  EXPECT_TRUE(dlg->CellWithinLimit(12));
  EXPECT_FALSE(dlg->CellWithinLimit(13));
  const int beeps = dlg->beepCount;
  dlg->OnMelodyBoxPress(13, 0, 0);
  dlg->OnChordCellPress(14, 0, 0);
  dlg->OnScorePress(15, 10, 10);
  EXPECT_EQ(dlg->beepCount, beeps + 3);
  dlg->OnMelodyBoxPress(12, 0, 2);
  EXPECT_EQ(dlg->beepCount, beeps + 3);
  EXPECT_EQ(dlg->cursorBar, 12);
  EXPECT_EQ(dlg->cursorEighth, 2);
}

TEST_F(WindowHandlersTest, CellPressesMoveTheCursorsWithinTheMetre) {
  Start();
  dlg->song->Reset(8, 3, 0, 1);
  int beeps = dlg->beepCount;
  dlg->OnChordCellPress(1, 0, 3);  // beat 4 of a 3/4 bar
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  dlg->OnMelodyBoxPress(1, 0, 6);
  EXPECT_EQ(dlg->beepCount, beeps + 2);
  dlg->OnChordCellPress(1, 0, 2);
  EXPECT_EQ(dlg->cursorBar, 1);
  EXPECT_EQ(dlg->cursorEighth, 4);
  int row = 0, column = 0;
  CChordCellPicture::GetCursor(1, &row, &column);
  EXPECT_EQ(column, 2);
  // The score row: the eighth under the click.
  const int w = g_scorePicture->RowWidth(2) / 8;
  dlg->OnScorePress(2, 3 * w + 2, 20);
  EXPECT_EQ(dlg->cursorBar, 2);
  EXPECT_EQ(dlg->cursorEighth, 3);
  dlg->OnScorePress(2, 7 * w + 2, 20);  // past the bar's six eighths
  EXPECT_EQ(dlg->cursorEighth, 0);
  CMelodyBoxPicture::GetMelodyBoxCursor(2, &row, &column);
  EXPECT_EQ(column, 0);
}

TEST_F(WindowHandlersTest, DoubleClicksSetAndClearTheRange) {
  Start();
  struct Step {
    int cell;
    int first, last;
  } steps[] = {
      {3, 3, 3},     // no range: one bar
      {6, 3, 6},     // after it: the end
      {1, 1, 6},     // before it: the start
      {4, 1, 4},     // inside: the end
      {4, -1, -1},   // the end again: cleared
      {2, 2, 2},
  };
  for (const Step& s : steps) {
    dlg->OnScoreDoubleClick(s.cell);
    EXPECT_EQ(dlg->rangeFirst, s.first) << s.cell;
    EXPECT_EQ(dlg->rangeLast, s.last) << s.cell;
  }
  // The range is in song bars: it follows the page.
  dlg->OnVScroll(1, 0);
  dlg->OnScoreDoubleClick(0);
  EXPECT_EQ(dlg->rangeLast, 4);
}

TEST_F(WindowHandlersTest, MetreChangeCancelKeepsMetreAndSong) {
  WriteSong(folder / "data_kv.dat", 12, 3);
  Start();
  ASSERT_EQ(dlg->metreList->currentIndex(), 1);
  dlg->song->cells[0].slot[0] = 62;
  cantrel_test::Sink().QueueAnswer(plat::kIdCancel);
  dlg->metreList->setCurrentIndex(0);
  dlg->OnMetreChange();
  EXPECT_EQ(dlg->metreList->currentIndex(), 1);
  EXPECT_EQ(dlg->song->beats_per_bar, 3);
  EXPECT_EQ(dlg->song->bar_count, 12);
  EXPECT_EQ(dlg->song->cells[0].slot[0], 62);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"拍子を変更すると、曲データがリセットされます。"});

  // OK resets the song in 4/4; keeping the title is asked.
  cantrel_test::Sink().Clear();
  dlg->song->info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, "Kept");
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  dlg->metreList->setCurrentIndex(0);
  dlg->OnMetreChange();
  EXPECT_EQ(dlg->song->beats_per_bar, 4);
  EXPECT_EQ(dlg->song->bar_count, 8);
  EXPECT_EQ(dlg->barCountSpin->value(), 8);
  EXPECT_EQ(dlg->barCountSpin->maximum(), 256);
  EXPECT_EQ(dlg->song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "Kept");
  EXPECT_EQ(dlg->metreList->currentIndex(), 0);
}

TEST_F(WindowHandlersTest, AMetreChangeWhoseSaveFailsKeepsTheSong) {
  Start();
  dlg->song->cells[0].slot[0] = 65;
  // 4/4 to 6/8 converts the song; the working file cannot be written.
  fs::create_directories(folder / "data_kv.dat" / "blocker");
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  dlg->metreList->setCurrentIndex(2);
  dlg->OnMetreChange();
  EXPECT_EQ(dlg->song->beats_per_bar, 3);
  EXPECT_EQ(dlg->song->metre_kind, 2);
  EXPECT_EQ(dlg->song->cells[0].slot[0], 65) << "the converted song, not an older one";
  EXPECT_EQ(dlg->metreList->currentIndex(), 2);
  EXPECT_GE(cantrel_test::Sink().Count(), 2u) << "the question and the failed save";
  fs::remove_all(folder / "data_kv.dat");
}

TEST_F(WindowHandlersTest, TheCategoryListRefillsTheStylesAndWhatIsSavedIsWhatIsShown) {
  Start();
  const int before = dlg->categoryList->currentIndex();
  const int next = (before + 1) % dlg->categoryList->count();
  dlg->categoryList->setCurrentIndex(next);
  dlg->OnCategoryChange();
  ASSERT_GT(dlg->styleList->count(), 0);
  const int slot = dlg->styleList->currentData().toInt();
  EXPECT_EQ(dlg->song->info.GetInt(SongInfoBlock::kStyleCategory), next);
  EXPECT_EQ(dlg->song->info.GetInt(SongInfoBlock::kStyleSlot), slot);
  dlg->ExitCommand();
  PumpUntil([&]() { return !dlg->isVisible(); });
  dlg.reset();
  Start();
  EXPECT_EQ(dlg->categoryList->currentIndex(), next);
  EXPECT_EQ(dlg->styleList->currentData().toInt(), slot);
}

TEST_F(WindowHandlersTest, TheKeyListSetsTheSongsKey) {
  Start();
  dlg->keyList->setCurrentIndex(5);
  dlg->OnKeyChange();
  EXPECT_EQ(dlg->song->key_index, 5);
}

TEST_F(WindowHandlersTest, TheBarCountIsAtLeastOne) {
  Start();
  EXPECT_EQ(dlg->barCountSpin->minimum(), 1);
  dlg->SetBarCount(0);
  EXPECT_EQ(dlg->song->bar_count, 1);
  dlg->barCountSpin->setValue(20);
  EXPECT_EQ(dlg->song->bar_count, 20) << "the spin reaches the song once ready";
  dlg->SetBarCount(5000);
  EXPECT_EQ(dlg->song->bar_count, 256);
}

TEST_F(WindowHandlersTest, CopyingAndGrowingStopAtTheSongsLimit) {
  Start();
  dlg->song->cells[0].slot[0] = 67;
  dlg->CopyBarTo(10, 0);
  EXPECT_EQ(dlg->song->bar_count, 11);
  EXPECT_EQ(dlg->song->cells[80].slot[0], 67);
  dlg->CopyBarTo(2, 50);  // a source past the end: nothing
  EXPECT_EQ(dlg->song->bar_count, 11);
  int beeps = dlg->beepCount;
  dlg->CopyBarTo(256, 0);  // would pass 1024 beats
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  EXPECT_EQ(dlg->song->bar_count, 11);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  // A note that ends past the song's last eighth adds a bar.
  EXPECT_TRUE(dlg->GrowForNote(10, 6, 3, 0));  // a quarter from the last bar's seventh eighth
  EXPECT_EQ(dlg->song->bar_count, 11) << "ends with the song";
  EXPECT_TRUE(dlg->GrowForNote(10, 6, 4, 0));  // a dotted quarter does not
  EXPECT_EQ(dlg->song->bar_count, 12);
  EXPECT_TRUE(dlg->GrowForNote(10, 6, 1, 0));  // an eighth fits
  EXPECT_EQ(dlg->song->bar_count, 12);
  EXPECT_TRUE(dlg->GrowForNote(11, 7, 0, 1));  // a sixteenth on the second half: fits
  EXPECT_EQ(dlg->song->bar_count, 12);
  dlg->SetBarCount(256);
  beeps = dlg->beepCount;
  EXPECT_FALSE(dlg->GrowForNote(255, 7, 10, 0));
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  EXPECT_EQ(dlg->song->bar_count, 256);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(ScoreDropTest, OnlyExactScoreTextsAreAccepted) {
  struct Case {
    const char* text;
    bool ok;
    int bar, copy;
  } cases[] = {
      {"score:Copy:3", true, 3, 1},
      {"score:Import:0", true, 0, 0},
      {"score:Copy:1023", true, 1023, 1},
      {"score:Copy:0012", true, 12, 1},
      {"score:Copy:1024", false, 0, 0},
      {"score:Copy:-3", false, 0, 0},
      {"score:Copy:99999999999", false, 0, 0},
      {"score:Copy:3x", false, 0, 0},
      {"score:Copy:", false, 0, 0},
      {"score:Copy: 3", false, 0, 0},
      {"Copy:3", false, 0, 0},
      {"score:Move:3", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    int bar = -7, copy = -7;
    EXPECT_EQ(CBrevantDlg::ParseScoreDrop(c.text, &bar, &copy), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bar, c.bar) << c.text;
      EXPECT_EQ(copy, c.copy) << c.text;
    } else {
      EXPECT_EQ(bar, -7) << c.text;
    }
  }
}

TEST_F(WindowHandlersTest, SyllablesFitTheirSlot) {
  Start();
  struct Case {
    const char* text;
    std::vector<std::string> syllables;
  } cases[] = {
      {"a bc defghijklm", {"a", "bc", "defghij", "klm"}},
      {"ab\r\ncd", {"ab", "cd"}},
      {"ab\ncd", {"ab", "cd"}},
      {"ab　cd", {"ab", "cd"}},
      {"abcdefg hi", {"abcdefg", "hi"}},
      // A double-byte character at the seventh byte starts the next syllable.
      {"abcdefあい", {"abcdef", "あい"}},
      {"あいうえお", {"あいう", "えお"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    const char* p = c.text;
    for (int guard = 0; *p && guard < 20; ++guard) {
      char slot[8];
      std::memset(slot, 'Z', sizeof slot);
      const int used = dlg->NextSyllable(p, slot);
      ASSERT_GT(used, 0) << c.text;
      EXPECT_EQ(slot[7], '\0') << c.text;
      EXPECT_LE(std::strlen(slot), 7u) << c.text;
      got.emplace_back(slot);
      p += used;
    }
    EXPECT_EQ(got, c.syllables) << c.text;
  }
}

TEST_F(WindowHandlersTest, JoinsThatPassTheSlotAreRefused) {
  Start();
  CSongData& s = *dlg->song;
  s.cells[0].slot[0] = 60;
  s.cells[1].slot[0] = NoteSlotHold;
  s.cells[2].slot[0] = 62;
  s.cells[2].slot[1] = 0;   // pitch 0 is no note for the lyrics
  s.cells[3].slot[0] = 64;
  s.cells[5].slot[0] = 65;
  std::strcpy(s.cells[2].lyric[0], "abcde");
  std::strcpy(s.cells[3].lyric[0], "x");
  std::strcpy(s.cells[5].lyric[0], "y");
  std::strcpy(s.cells[2].lyric[1], "keep");

  EXPECT_TRUE(dlg->PrependToNextLyric("Q", 0, 0));
  EXPECT_STREQ(s.cells[2].lyric[0], "Qabcde");
  EXPECT_FALSE(dlg->PrependToNextLyric("RS", 0, 0)) << "eight bytes";
  EXPECT_STREQ(s.cells[2].lyric[0], "Qabcde");
  EXPECT_STREQ(s.cells[2].lyric[1], "keep") << "the neighbouring slot is untouched";
  EXPECT_FALSE(dlg->PrependToNextLyric("z", 5, 2)) << "no note after the last";

  // Inserting shifts every later lyric one note on; the last falls off.
  EXPECT_TRUE(dlg->InsertLyricShifting("new", 0, 0));
  EXPECT_STREQ(s.cells[2].lyric[0], "new");
  EXPECT_STREQ(s.cells[3].lyric[0], "Qabcde");
  EXPECT_STREQ(s.cells[5].lyric[0], "x");
  EXPECT_STREQ(s.cells[2].lyric[1], "keep");
  EXPECT_FALSE(dlg->InsertLyricShifting("12345678", 0, 0));
  EXPECT_STREQ(s.cells[2].lyric[0], "new");

  int cell = 0, half = 0;
  dlg->cursorHalf = 1;
  dlg->CursorCell(&cell, &half, 3, 5);
  EXPECT_EQ(cell, 3 * 4 * 2 + 5);
  EXPECT_EQ(half, 1);
}

}  // namespace

namespace {

TEST_F(WindowHandlersTest, DroppedScoreTextsCopyBars) {
  Start();
  CSongData& s = *dlg->song;
  for (int bar = 0; bar < 8; ++bar) s.cells[bar * 8].slot[0] = 60 + bar;
  const PageLayout& L = dlg->Layout();
  auto centre = [&](int cell) {
    const PageRect& r = L.scoreRows[cell];
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  };
  EXPECT_EQ(dlg->BarCellAt(centre(5).x(), centre(5).y()), 5);
  EXPECT_EQ(dlg->BarCellAt(1, 1), -1);

  // Bar 3 onto bar 10 with the range 2..5 selected: bars 2-5 onto 10-13.
  dlg->rangeFirst = 2;
  dlg->rangeLast = 5;
  dlg->OnScoreDrop("score:Copy:3", centre(10).x(), centre(10).y());
  EXPECT_EQ(s.bar_count, 14);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.cells[(10 + i) * 8].slot[0], 62 + i) << i;
  EXPECT_EQ(dlg->rangeFirst, -1);
  EXPECT_EQ(dlg->rangeLast, -1);
  // With the range 6..8, bar 3 alone.
  dlg->rangeFirst = 6;
  dlg->rangeLast = 8;
  dlg->OnScoreDrop("score:Copy:3", centre(1).x(), centre(1).y());
  EXPECT_EQ(s.cells[8].slot[0], 63);
  EXPECT_EQ(s.cells[16].slot[0], 62) << "only one bar";
  // It can be undone.
  dlg->Undo();
  EXPECT_EQ(s.cells[8].slot[0], 61);
  // An Import text takes the import tool's bar, and without a tool song the bar stays as it was;
  // other texts are refused; outside the page, a beep.
  const NoteCell before = s.cells[0];
  dlg->OnScoreDrop("score:Import:2", centre(0).x(), centre(0).y());
  EXPECT_EQ(s.cells[0].slot[0], before.slot[0]);
  cantrel_test::Sink().Clear();
  dlg->OnScoreDrop("score:Copy:3x", centre(0).x(), centre(0).y());
  dlg->OnScoreDrop("hello", centre(0).x(), centre(0).y());
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"CBrevantDlg error", "CBrevantDlg error"}));
  const int beeps = dlg->beepCount;
  dlg->OnScoreDrop("score:Copy:1", 1, 1);
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  // Dragging over a bar highlights its row.
  dlg->OnScoreDragOver(centre(4).x(), centre(4).y());
  EXPECT_EQ(g_scorePicture->HighlightCount(4), 1);
  EXPECT_EQ(g_scorePicture->HighlightCount(3), 0);
}

TEST_F(WindowHandlersTest, TheWindowTakesDroppedTextsThroughItsDropTarget) {
  Start();
  dlg->song->cells[0].slot[0] = 71;
  const PageRect& r = dlg->Layout().scoreRows[6];
  QMimeData data;
  data.setText("score:Copy:0");
  const QPoint at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_NE(dlg->dropTarget, nullptr);
  EXPECT_EQ(dlg->dropTarget->OnDragOver(&data, 1, at), kDropEffectCopy);
  EXPECT_TRUE(dlg->dropTarget->OnDrop(&data, kDropEffectCopy, at));
  EXPECT_EQ(dlg->song->cells[6 * 8].slot[0], 71);
  EXPECT_TRUE(dlg->acceptDrops());
}

}  // namespace

namespace {

TEST_F(WindowHandlersTest, ScoreLabelsForPrinting) {
  Start();
  CSongData& s = *dlg->song;
  std::strcpy(s.chords[0].first, "C");
  std::strcpy(s.chords[1].first, "C");
  std::strcpy(s.chords[2].first, "Am");
  std::strcpy(s.chords[3].first, "Skip");
  s.cells[0].slot[0] = 60;
  std::strcpy(s.cells[0].lyric[0], "la");
  s.cells[1].slot[0] = NoteSlotRest;
  std::strcpy(s.cells[1].lyric[0], "no");
  dlg->LabelScoreRows(0, 1, 1);
  // "C" once, "Am", no "Skip"; the lyric of the note, not of the rest.
  const int width = g_scorePicture->RowWidth(0);
  plat::Dc* row = g_scorePicture->Surface(0);
  // The staff lines run on to the right end of a row without a skip beat...
  plat::Dc* plain = g_scorePicture->Surface(1);
  int lines = 0;
  for (int y = 0; y < g_scorePicture->RowHeight(1); ++y) lines += plain->GetPixel(width - 4, y) != 0xFFFFFF;
  EXPECT_GT(lines, 3);
  // ...but are painted out from the skip beat on.
  for (int y = 0; y < g_scorePicture->RowHeight(0); ++y) {
    EXPECT_EQ(row->GetPixel(width - 4, y), 0xFFFFFFu) << y;
    EXPECT_EQ(row->GetPixel(3 * (width / 4) + 4, y), 0xFFFFFFu) << y;
  }
  // The chord name is written at the row's top left.
  int ink = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 2; x < 20; ++x) ink += row->GetPixel(x, y) != 0xFFFFFF;
  }
  EXPECT_GT(ink, 3);
  dlg->LabelScoreRows(0, 0, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

}  // namespace

namespace {

// The lyric panel's messages, the Ctrl keys and the bar menu edit the lyrics at the cursor.
TEST_F(WindowHandlersTest, LyricMessagesEditTheSongAtTheCursor) {
  Start();
  CSongData& s = *dlg->song;
  const int perBar = s.beats_per_bar * 2;
  auto notes = [&](std::vector<std::string> lyrics) {
    for (int c = 0; c < s.SongCells(); ++c) {
      for (int k = 0; k < 3; ++k) {
        s.cells[c].slot[k] = k == 2 ? NoteSlotVacant : NoteSlotHold;
        std::memset(s.cells[c].lyric[k], 0, 8);
      }
    }
    for (size_t i = 0; i < lyrics.size(); ++i) {
      s.cells[i].slot[0] = 60 + static_cast<int>(i);
      std::strcpy(s.cells[i].lyric[0], lyrics[i].c_str());
    }
  };
  auto lyric = [&](int c) { return std::string(s.cells[c].lyric[0]); };
  dlg->cursorHalf = 0;

  // A pour without a cursor (-1) starts at the song's first cell.
  notes({"", "", ""});
  dlg->lyricText = "la li lu";
  plat::PostAppMessage(dlg.get(), kMsgApp + 40, static_cast<uintptr_t>(-1), -1);
  Pump();
  EXPECT_EQ(lyric(0), "la");
  EXPECT_EQ(lyric(2), "lu");

  struct Case {
    uint32_t message;
    std::vector<std::string> before, after;
    size_t boxes;
  } cases[] = {
      {kMsgApp + 42, {"あい", "b", "c"}, {"あ", "い", "b"}, 0},
      {kMsgApp + 43, {"あい", "b", "c"}, {"あ", "いb", "c"}, 0},
      {kMsgApp + 43, {"", "b", "c"}, {"", "b", "c"}, 1},
      {kMsgApp + 44, {"a", "bc", "de"}, {"ab", "cd", "e"}, 0},
      {kMsgApp + 45, {"a", "bc", "de"}, {"ab", "c", "de"}, 0},
      {kMsgApp + 45, {"abcdefg", "h", ""}, {"abcdefg", "h", ""}, 1},
  };
  for (const Case& c : cases) {
    notes(c.before);
    cantrel_test::Sink().Clear();
    plat::PostAppMessage(dlg.get(), c.message, 0, 0);
    Pump();
    EXPECT_EQ((std::vector<std::string>{lyric(0), lyric(1), lyric(2)}), c.after)
        << c.message - kMsgApp;
    EXPECT_EQ(cantrel_test::Sink().Count(), c.boxes) << c.message - kMsgApp;
  }
  // The cursor's eighth picks the cell: bar 0, eighth 1.
  notes({"x", "ab", "c"});
  plat::PostAppMessage(dlg.get(), kMsgApp + 43, 0, 1);
  Pump();
  EXPECT_EQ(lyric(1), "a");
  EXPECT_EQ(lyric(2), "bc");

  // Ctrl+"," pulls the next lyric onto the cursor's; Ctrl+"." pushes them on.
  notes({"a", "b", "c"});
  dlg->SetNoteCursor(0, 0, 0);
  dlg->OnCtrlKey(0xBC);
  EXPECT_EQ((std::vector<std::string>{lyric(0), lyric(1), lyric(2)}),
            (std::vector<std::string>{"ab", "c", ""}));
  dlg->OnCtrlKey(0xBE);
  EXPECT_EQ((std::vector<std::string>{lyric(0), lyric(1), lyric(2)}),
            (std::vector<std::string>{"", "ab", "c"}));

  // The bar menu's shifts start at the menu's bar.
  cantrel_test::Sink().Clear();
  const int beeps = dlg->beepCount;
  notes({"a", "b"});
  s.cells[perBar].slot[0] = 70;
  std::strcpy(s.cells[perBar].lyric[0], "n");
  dlg->menuBarCell = 0;
  plat::PostAppMessage(dlg.get(), kMsgCommand, 270);
  Pump();
  EXPECT_EQ((std::vector<std::string>{lyric(0), lyric(1), lyric(perBar)}),
            (std::vector<std::string>{"", "a", "b"}));
  plat::PostAppMessage(dlg.get(), kMsgCommand, 271);
  Pump();
  EXPECT_EQ((std::vector<std::string>{lyric(0), lyric(1), lyric(perBar)}),
            (std::vector<std::string>{"a", "b", "b"}));
  // Only the lyrics moved: the notes stay, and nothing was refused.
  EXPECT_EQ(s.cells[perBar].slot[0], 70);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(dlg->beepCount, beeps);
}

}  // namespace
