// The main window in-process on the offscreen platform: start-up, what it shows, and the road
// out with the two files it leaves in the user data folder.
#include "app/about_dialog.h"
#include "app/main_dialog.h"
#include "app/page_geometry.h"
#include "style/style_table.h"
#include "app/main_globals.h"
#include "draw/offscreen_control.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "song/song_data.h"
#include "tests/app/window/silent_window_fixture.h"
#include "tests/app/window/window_test_util.h"
#include "platform/core/midi_devices.h"
#include "music/midi_out_device.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <cstring>
#include <memory>

namespace {

namespace fs = std::filesystem;

using window_test::PumpUntil;

class MainWindowTest : public SilentWindowTest {
 protected:
  // A song file of `bars` bars and `beats` beats at `path`.
  static void WriteSong(const fs::path& path, int bars, int beats, int key) {
    CSongData song;
    song.Reset(bars, beats, key, 1);
    ASSERT_TRUE(song.SaveAs(beats, key, &path, 1));
  }
};

TEST_F(MainWindowTest, OpensWithTheListsFilledAndIsDrawn) {
  Start();
  EXPECT_EQ(g_mainDialog, dlg.get());
  EXPECT_EQ(dlg->keyList->count(), 30);
  EXPECT_EQ(dlg->keyList->currentIndex(), 0);
  ASSERT_EQ(dlg->metreList->count(), 3);
  EXPECT_EQ(dlg->metreList->itemText(2), "6/8");
  EXPECT_EQ(dlg->metreList->currentIndex(), 0);
  EXPECT_EQ(dlg->categoryList->count(), 9);
  EXPECT_GT(dlg->styleList->count(), 0);
  EXPECT_EQ(dlg->tempoSpin->minimum(), 30);
  EXPECT_EQ(dlg->tempoSpin->maximum(), 210);
  EXPECT_EQ(dlg->barCountSpin->value(), 8) << "no working song: 8 empty bars";
  EXPECT_EQ(dlg->barCountSpin->maximum(), 256);
  ASSERT_NE(dlg->song, nullptr);
  EXPECT_EQ(dlg->song->beats_per_bar, 4);
  EXPECT_FALSE(dlg->settingsFileOpened);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  // The window has its mode's size (less the frame the layout counts in).
  EXPECT_GE(dlg->width(), 700);
  EXPECT_GE(dlg->height(), 500);
  EXPECT_GT(g_barsPerPage, 0);

  const QImage shot = dlg->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.size(), dlg->size());
  EXPECT_EQ(QColor(shot.pixel(1, shot.height() / 2)), QColor(0xC2, 0xC2, 0xC8))
      << "the dialog's own background";
  // The controls are drawn over it: the key list's area is not plain background.
  const QRect key = dlg->keyList->geometry();
  int other = 0;
  for (int y = key.top(); y <= key.bottom(); ++y) {
    for (int x = key.left(); x <= key.right(); ++x) {
      if (QColor(shot.pixel(x, y)) != QColor(0xC2, 0xC2, 0xC8)) ++other;
    }
  }
  EXPECT_GT(other, key.width() * key.height() / 4);
  EXPECT_TRUE(dlg->toolbarControls[0]->isVisible());
}

TEST_F(MainWindowTest, EscapeDoesNothingAndTheCloseBoxRunsTheExit) {
  Start();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(dlg.get(), &esc);
  dlg->reject();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->Released());

  // The desktop's close request, even while a song plays, saves as the exit button does.
  dlg->barCountSpin->setValue(11);
  g_isPlaying = 1;
  const auto slept = cantrel_test::Clock().Slept();
  dlg->close();
  EXPECT_EQ((cantrel_test::Clock().Slept() - slept).count(), 500);
  PumpUntil([&]() { return !dlg->isVisible(); });
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(g_isPlaying.load(), 0);
  dlg.reset();
  int bars = 0, beats = 0, key = 0;
  std::unique_ptr<CSongData> saved =
      CSongData::LoadFromFile(folder / "data_kv.dat", &bars, &beats, &key, nullptr);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->bar_count, 11);
  EXPECT_EQ(plat::FileSize(folder / "setup_kv.ini"), 1340);
}

TEST_F(MainWindowTest, ExitWritesTheWorkingSongAndTheSettings) {
  Start();
  dlg->barCountSpin->setValue(12);
  dlg->config.inputVelocity = 99;
  const auto slept = cantrel_test::Clock().Slept();
  dlg->DispatchButtonCommand(0);
  EXPECT_EQ((cantrel_test::Clock().Slept() - slept).count(), 500) << "half a second first";
  PumpUntil([&]() { return !dlg->isVisible(); });
  EXPECT_FALSE(dlg->isVisible()) << "the modal loop has ended";
  dlg.reset();  // destruction releases everything

  EXPECT_EQ(plat::FileSize(folder / "data_kv.dat"), static_cast<int64_t>(kSongImageSize));
  std::vector<uint8_t> settings;
  ASSERT_TRUE(plat::ReadWholeFile(folder / "setup_kv.ini", settings));
  ASSERT_EQ(settings.size(), 1340u);
  EXPECT_EQ(settings[562], 99);

  // The next start finds both.
  Start();
  EXPECT_TRUE(dlg->settingsFileOpened);
  EXPECT_EQ(dlg->config.inputVelocity, 99);
  EXPECT_EQ(dlg->barCountSpin->value(), 12);
}

TEST_F(MainWindowTest, ExitWhilePlayingDoesNothing) {
  Start();
  g_isPlaying = 1;
  dlg->ExitCommand();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dlg->isVisible());
  g_isPlaying = 0;
}

TEST_F(MainWindowTest, AFailedSongSaveIsReportedAndTheSettingsAreStillWritten) {
  Start();
  // A folder where the working song should go: it cannot be written.
  fs::create_directories(folder / "data_kv.dat" / "blocker");
  dlg->ExitCommand();
  PumpUntil([&]() { return !dlg->isVisible(); });
  dlg.reset();
  ASSERT_GE(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("GENE01000007"), std::string::npos);
  EXPECT_EQ(plat::FileSize(folder / "setup_kv.ini"), 1340);
}

TEST_F(MainWindowTest, SettingsOutOfRangeAreClampedAndShortFilesReset) {
  std::vector<uint8_t> block(1400, 0);
  block[542] = 10;   // keyboard low below 48
  block[562] = 250;  // velocity above 127
  block[552] = 40;   // no such layout
  ASSERT_TRUE(plat::WriteFileAtomic(folder / "setup_kv.ini", block));
  Start();
  EXPECT_TRUE(dlg->settingsFileOpened) << "a longer file is accepted";
  EXPECT_EQ(dlg->config.keyboardLow, 48);
  EXPECT_EQ(dlg->config.inputVelocity, 127);
  EXPECT_LE(dlg->config.screenLayout, 6);
  dlg.reset();
  EXPECT_EQ(plat::FileSize(folder / "setup_kv.ini"), 1340) << "cut to the block when written";

  ASSERT_TRUE(plat::WriteFileAtomic(folder / "setup_kv.ini", std::vector<uint8_t>(1339, 0)));
  cantrel_test::Sink().Clear();
  Start();
  EXPECT_FALSE(dlg->settingsFileOpened);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "iniファイルにエラーがあるため初期化しました。");
  EXPECT_EQ(dlg->config.inputVelocity, 64);
}

TEST_F(MainWindowTest, ASongOnTheCommandLineOpensOnceReady) {
  const fs::path song = cantrel_test::TempDir() / "my song.mwd";
  WriteSong(song, 12, 3, 2);
  Start("\"" + song.string() + "\"");
  EXPECT_EQ(dlg->song->bar_count, 12);
  EXPECT_EQ(dlg->barCountSpin->value(), 12);
  EXPECT_EQ(dlg->metreList->currentIndex(), 1);
  EXPECT_EQ(dlg->keyList->currentIndex(), 2);
  EXPECT_EQ(dlg->windowTitle().toStdString(), "my song.mwd");
  EXPECT_EQ(std::string(dlg->config.songPath), song.string());
}

TEST_F(MainWindowTest, TheTitleIsTheWholeFileNameEvenWhenABackslashByteIsInIt) {
  // "表" is 0x95 0x5C in CP932.
  const fs::path song = cantrel_test::TempDir() / plat::Cp932ToUtf8("表計算.mwd");
  WriteSong(song, 5, 4, 0);
  Start("\"" + song.string() + "\"");
  EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(plat::Cp932ToUtf8("表計算.mwd").c_str()));
  dlg->ShowSongTitle("C:\\songs\\a.mwd");
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("a.mwd"));
  dlg->ShowSongTitle("");
  EXPECT_EQ(dlg->windowTitle(), QString());
}

TEST_F(MainWindowTest, ARelativePathOnTheCommandLineIsKeptWhole) {
  const fs::path song = cantrel_test::TempDir() / "relative.mwd";
  WriteSong(song, 10, 4, 1);
  const fs::path before = fs::current_path();
  fs::current_path(cantrel_test::TempDir());
  Start("relative.mwd");
  fs::current_path(before);
  EXPECT_EQ(dlg->song->bar_count, 10);
  EXPECT_EQ(fs::path(dlg->config.songPath), fs::absolute(song)) << "a later save finds it";
}

TEST_F(MainWindowTest, ASongPathTooLongForTheSettingsIsNotStoredCut) {
  // A folder path that, with the file name, is longer than the 259 bytes the settings keep.
  fs::path dir = cantrel_test::TempDir();
  while (dir.string().size() < 300) dir /= std::string(40, 'd');
  fs::create_directories(dir);
  const fs::path song = dir / "long.mwd";
  WriteSong(song, 6, 4, 0);
  Start();
  dlg->DropFile(song);
  EXPECT_EQ(dlg->song->bar_count, 6) << "the song itself opens";
  EXPECT_EQ(dlg->config.songPath[0], 0) << "a cut path would name another file";
  // A name the settings' encoding cannot hold ("é") is not stored as "caf?.mwd" either.
  const fs::path accented = cantrel_test::TempDir() / "caf\xC3\xA9.mwd";
  WriteSong(accented, 7, 4, 0);
  dlg->DropFile(accented);
  EXPECT_EQ(dlg->song->bar_count, 7);
  EXPECT_EQ(dlg->config.songPath[0], 0);
}

TEST_F(MainWindowTest, AMissingOrDamagedSongLeavesTheWorkingSongAsItWas) {
  WriteSong(folder / "data_kv.dat", 14, 4, 3);
  const fs::path missing = cantrel_test::TempDir() / "no such song.mwd";
  const fs::path damaged = cantrel_test::TempDir() / "damaged.mwd";
  ASSERT_TRUE(plat::WriteFileAtomic(damaged, std::vector<uint8_t>(2000, 0x5A)));
  for (const fs::path& path : {missing, damaged}) {
    Start("\"" + path.string() + "\"");
    EXPECT_GE(cantrel_test::Sink().Count(), 1u) << path << ": the user is told";
    EXPECT_EQ(dlg->song->bar_count, 14) << path;
    EXPECT_EQ(dlg->barCountSpin->value(), 14) << path;
    EXPECT_EQ(dlg->keyList->currentIndex(), 3) << path;
    EXPECT_EQ(dlg->config.songPath[0], 0) << path;
    dlg.reset();
    // The exit saved the working song it had, not an empty one.
    int bars = 0, beats = 0, key = 0;
    std::unique_ptr<CSongData> saved =
        CSongData::LoadFromFile(folder / "data_kv.dat", &bars, &beats, &key, nullptr);
    EXPECT_EQ(saved->bar_count, 14) << path;
    cantrel_test::Sink().Clear();
  }
}

TEST_F(MainWindowTest, DroppedFilesOfOtherKindsOrTooLargeAreRefused) {
  Start();
  const int bars = dlg->song->bar_count;
  const fs::path text = cantrel_test::TempDir() / "notes.txt";
  ASSERT_TRUE(plat::WriteFileAtomic(text, std::string("x")));
  const fs::path big = cantrel_test::TempDir() / "big.mwd";
  ASSERT_TRUE(plat::WriteFileAtomic(big, std::vector<uint8_t>(151917, 0)));
  cantrel_test::Sink().Clear();
  dlg->DropFile(text);
  dlg->DropFile(big);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"CBrevantDlg error", "CBrevantDlg error"}));
  EXPECT_EQ(dlg->song->bar_count, bars);
  EXPECT_EQ(dlg->config.songPath[0], 0);
}

TEST_F(MainWindowTest, AWorkingSongInAnUnknownMetreIsShownInFourFour) {
  WriteSong(folder / "data_kv.dat", 8, 2, 0);
  Start();
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "拍子が誤っています。");
  EXPECT_EQ(dlg->metreList->currentIndex(), 0);
  EXPECT_EQ(dlg->barCountSpin->maximum(), 256);
  EXPECT_EQ(dlg->song->beats_per_bar, 2) << "the song itself is not changed";
}

TEST_F(MainWindowTest, AWorkingSongOfOneFullImageBringsItsOwnStyle) {
  {
    CSongData song;
    song.Reset(8, 4, 0, 1);
    std::strncpy(song.style.name, "MyOwnStyle", sizeof(song.style.name));
    song.style.tempo = 432100;
    const fs::path path = folder / "data_kv.dat";
    ASSERT_TRUE(song.SaveAs(4, 0, &path, 1));
  }
  ASSERT_EQ(plat::FileSize(folder / "data_kv.dat"), static_cast<int64_t>(kSongImageSize));
  Start();
  EXPECT_STREQ(CurrentStyle().name, "MyOwnStyle");
  dlg.reset();

  // One byte shorter: the style of the song's category and slot from the table.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(plat::ReadWholeFile(folder / "data_kv.dat", bytes));
  bytes.pop_back();
  ASSERT_TRUE(plat::WriteFileAtomic(folder / "data_kv.dat", bytes));
  Start();
  EXPECT_STRNE(CurrentStyle().name, "MyOwnStyle");
  EXPECT_EQ(dlg->song->style.tempo, CurrentStyle().tempo) << "the table style is stored in the song";
  dlg.reset();

  // A full-length file the reader refuses brings no (empty) style either.
  ASSERT_TRUE(plat::WriteFileAtomic(folder / "data_kv.dat", std::vector<uint8_t>(kSongImageSize, 0)));
  cantrel_test::Sink().Clear();
  Start();
  EXPECT_GE(cantrel_test::Sink().Count(), 1u) << "the reader says why";
  EXPECT_STRNE(CurrentStyle().name, "");
  EXPECT_STREQ(dlg->song->style.name, CurrentStyle().name);
}

TEST_F(MainWindowTest, OnlyTheFirstStartGivesTheSongTheStylesInstruments) {
  Start();
  const int category = dlg->categoryList->currentIndex();
  const int slot = dlg->styleList->currentData().toInt();
  const StyleRecord& style = StyleTableSlot(category, slot);
  EXPECT_EQ(dlg->song->info.GetInt(SongInfoBlock::kMelodyProgram), style.instrument[1]);
  dlg->song->info.SetInt(SongInfoBlock::kMelodyProgram, 5);
  dlg->ExitCommand();
  PumpUntil([&]() { return !dlg->isVisible(); });
  dlg.reset();
  Start();
  EXPECT_EQ(dlg->song->info.GetInt(SongInfoBlock::kMelodyProgram), 5);
}

TEST_F(MainWindowTest, ADisplayScaleAbove200IsToldOnceAndTheWindowStillOpens) {
  struct Case {
    double scale;
    int percent;
    size_t boxes;
  } cases[] = {{2.0, 200, 0}, {2.25, 225, 1}};
  for (const Case& c : cases) {
    SetDisplayScaleOverride(c.scale);
    cantrel_test::Sink().Clear();
    Start();
    SetDisplayScaleOverride(0.0);
    EXPECT_EQ(g_displayScale, c.percent);
    const auto texts = cantrel_test::Sink().Texts();
    ASSERT_EQ(texts.size(), c.boxes) << c.percent;
    if (c.boxes == 1) EXPECT_NE(texts[0].find("２００％以上"), std::string::npos) << texts[0];
    EXPECT_TRUE(dlg->isVisible());
    dlg.reset();
  }
}

TEST_F(MainWindowTest, HasItsIconAndAnAboutBox) {
  Start();
  EXPECT_FALSE(dlg->windowIcon().isNull());
  CAboutDlg about(dlg.get());
  const QLabel* version = about.findChild<QLabel*>("version");
  ASSERT_NE(version, nullptr);
  EXPECT_TRUE(version->text().startsWith("Cantrel Version "));
  EXPECT_GT(about.findChildren<QLabel*>().size(), 2);
}

struct ScreenCase {
  int w, h, mode;
};

TEST(PageGeometryTest, DefaultModesBySreenSize) {
  for (const ScreenCase& c : {ScreenCase{1920, 1080, 1}, ScreenCase{2560, 1440, 1},
                              ScreenCase{1280, 720, 2}, ScreenCase{1366, 768, 3},
                              ScreenCase{1024, 768, 5}, ScreenCase{800, 600, 0},
                              ScreenCase{1024, 600, 2}, ScreenCase{1280, 1024, 5}}) {
    EXPECT_EQ(DefaultScreenModeFor(c.w, c.h), c.mode) << c.w << "x" << c.h;
  }
}

TEST(PageGeometryTest, WindowSizeOfEachMode) {
  ModeGeometry g;
  ASSERT_TRUE(ModeGeometryFor(5, 100, 1024, 768, &g));
  EXPECT_EQ(g.width, 1019);
  EXPECT_EQ(g.height, 20 + 747);
  EXPECT_EQ(g.barsPerRow * g.rowsPerPage, 16);
  ASSERT_TRUE(ModeGeometryFor(1, 100, 1920, 1080, &g));
  EXPECT_EQ(g.width, 1928);
  EXPECT_EQ(g.height, 16 + 20 + 1044);
  EXPECT_EQ(g.barsPerRow * g.rowsPerPage, 48);
  ASSERT_TRUE(ModeGeometryFor(4, 125, 1280, 1024, &g));
  EXPECT_EQ(g.height, 34 * 125 / 60 + 816 + 30);
  EXPECT_EQ(g.scoreRowHeight, 120);
  EXPECT_FALSE(ModeGeometryFor(7, 100, 1024, 768, &g));
}

}  // namespace
