// The program on a real X screen (Xvfb, 1280 x 1024): a first start stores and uses layout mode 5,
// the screen shows the skin's colours where the toolbar, a chord cell, a melody box and a score
// row lie, and a termination signal runs the exit, which saves the song and the settings. The
// screen image is kept beside the build as an artifact.
#include "app/page_geometry.h"
#include "platform/core/files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool OnPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(ScreenTest, AFirstStartOnTheScreenShowsTheSkinAndSavesAtTheEnd) {
  for (const char* tool : {"Xvfb", "xdpyinfo", "import"}) {
    CANTREL_NEED(OnPath(tool), std::string(tool) + " (packages xvfb, x11-utils, imagemagick)");
  }
  const fs::path program = fs::path(CANTREL_BINARY_DIR) / "app" / "cantrel";
  ASSERT_TRUE(fs::exists(program)) << program;
  const fs::path dir = cantrel_test::TempDir();
  const fs::path data = dir / "data";
  const fs::path shot = dir / "screen.png";
  const fs::path script = dir / "run.sh";
  const fs::path log = dir / "program.log";
  PageLayout L;
  ASSERT_TRUE(ComputePageLayout(5, 100, 1280, 1024, &L));
  // No window manager: the client area lies where the mode moves the window, (2, -10) kept on
  // the screen.
  ASSERT_TRUE(L.geometry.moved);
  const int ox = L.geometry.x, oy = 0;
  const int readyX = ox + L.chordCells[0].left + 4, readyY = oy + L.chordCells[0].top + 4;
  {
    std::ofstream out(script);
    out << "#!/bin/sh\n"
        << cantrel_test::XvfbStartLines(1280, 1024, dir)
        << "export XDG_DATA_HOME='" << data.string() << "' QT_ENABLE_HIGHDPI_SCALING=0\n"
        << "export QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0\n"
        << "'" << program.string() << "' 2>'" << log.string() << "' &\n"
        << "pid=$!\n"
        // The window comes up and draws (slowly on a busy machine): wait until its first chord
        // cell shows, two minutes at the most.
        << "i=0; while [ $i -lt 240 ]; do\n"
        << "  sleep 0.5; i=$((i+1))\n"
        << "  kill -0 $pid 2>/dev/null || break\n"
        << "  import -window root '" << shot.string() << "' 2>/dev/null || continue\n"
        << "  c=$(convert '" << shot.string() << "' -format '%[pixel:p{" << readyX << ","
        << readyY << "}]' info: 2>/dev/null)\n"
        << "  [ \"$c\" = 'srgb(220,255,180)' ] && break\n"
        << "done\n"
        << "sleep 0.5\n"
        << "import -window root '" << shot.string() << "'\n"
        << "kill -TERM $pid\n"
        << "wait $pid; status=$?\n"
        << cantrel_test::XvfbStopLines()
        << "exit $status\n";
  }
  const std::string command = "timeout 300 sh '" + script.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command << "\n" << ReadText(log);

  // The image is kept for whoever looks at the run.
  const fs::path artifacts = fs::path(CANTREL_BINARY_DIR) / "artifacts";
  fs::create_directories(artifacts);
  fs::copy_file(shot, artifacts / "main_window.png", fs::copy_options::overwrite_existing);

  QImage screen(QString::fromStdString(shot.string()));
  ASSERT_FALSE(screen.isNull());
  ASSERT_EQ(screen.width(), 1280);
  auto at = [&](int x, int y) { return QColor(screen.pixel(ox + x, oy + y)); };
  EXPECT_EQ(at(1, 400), QColor(194, 194, 200)) << "the window's own background";
  EXPECT_EQ(at(L.clientWidth - 1, 400), QColor(194, 194, 200));
  EXPECT_EQ(at(L.clientWidth + 1, 400), QColor(0, 0, 0)) << "the window is 1003 pixels wide";
  EXPECT_EQ(at(1, L.clientHeight + 1), QColor(0, 0, 0)) << "and 728 high";

  // Toolbar: the new-song button shows its skin bitmap where its caption leaves it bare.
  const QImage face(QString::fromStdString(
      (cantrel_test::SourceDir() / "resources" / "skin" / "168.png").string()));
  ASSERT_FALSE(face.isNull());
  const PageRect& button = L.toolbar[1].rect;
  for (const QPoint p : {QPoint(10, 26), QPoint(44, 4), QPoint(70, 24), QPoint(6, 15)}) {
    EXPECT_EQ(at(button.left + p.x(), button.top + p.y()), QColor(face.pixel(p)))
        << p.x() << "," << p.y();
  }
  // A chord cell (active), a melody box of a rest, a score row.
  const PageRect& chord = L.chordCells[0];
  EXPECT_EQ(at(chord.left + 4, chord.top + 4), QColor(220, 255, 180));
  const PageRect& melody = L.melodyBoxes[0];
  EXPECT_EQ(at(melody.left + 5, melody.top + 5), QColor(100, 150, 100));
  const PageRect& score = L.scoreRows[5];
  EXPECT_EQ(at(score.left + 3, score.top + 3), QColor(255, 255, 255));
  // Bars past the song's end have inactive melody cells.
  const PageRect& past = L.melodyBoxes[12];
  EXPECT_EQ(at(past.left + 5, past.top + 5), QColor(200, 200, 200));

  // The signal ran the exit: both files are there, and mode 5 was stored.
  std::vector<uint8_t> settings;
  ASSERT_TRUE(plat::ReadWholeFile(data / "cantrel" / "setup_kv.ini", settings));
  ASSERT_EQ(settings.size(), 1340u);
  EXPECT_EQ(settings[552], 5);
  EXPECT_EQ(plat::FileSize(data / "cantrel" / "data_kv.dat"), 121880);
}

}  // namespace
