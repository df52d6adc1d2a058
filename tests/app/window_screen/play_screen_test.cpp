// The program on a real X screen driven as a user drives it (Xvfb and xdotool): a right click on
// a bar's score row opens the bar menu, whose compose command fills the bar; after the play
// button, the knob turns while the song is arranged, then the play marker and the bar counter
// follow the song to its end. There is no audio output here: one message says so and the song
// plays silently. The exit button then ends the program. Every step waits for what the screen shows, with generous limits.
#include "app/page_geometry.h"
#include "platform/core/files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <signal.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool OnPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A virtual screen of its own, 1280 x 1024, ended with the test.
class XScreen {
 public:
  explicit XScreen(const fs::path& dir) : dir_(dir) {}
  ~XScreen() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }

  bool Start() {
    // The server outlives the script that starts it; its display and process id are kept.
    const fs::path script = dir_ / "xvfb.sh", display = dir_ / "display", pid = dir_ / "xvfb.pid";
    {
      std::ofstream out(script);
      out << "#!/bin/sh\n"
          << cantrel_test::XvfbStartLines(1280, 1024, dir_)
          << "echo \"$DISPLAY\" >" << Quote(display.string()) << "\n"
          << "echo \"$XVFB_PID\" >" << Quote(pid.string()) << "\n";
    }
    if (std::system(("sh " + Quote(script.string()) + " >/dev/null 2>&1").c_str()) != 0)
      return false;
    pid_ = std::atoi(ReadText(pid).c_str());
    name_ = ReadText(display);
    while (!name_.empty() && name_.back() == '\n') name_.pop_back();
    return pid_ > 0 && !name_.empty();
  }

  // A command run with this screen as its display.
  int Run(const std::string& command, std::string* out = nullptr) const {
    const fs::path capture = dir_ / "out.txt";
    const int status =
        std::system(("export DISPLAY=" + name_ + "; " + command + " >" + Quote(capture.string()) +
                     " 2>/dev/null").c_str());
    if (out) *out = ReadText(capture);
    return status;
  }

  QImage Shot() const {
    const fs::path shot = dir_ / "shot.png";
    if (Run("import -window root " + Quote(shot.string())) != 0) return QImage();
    return QImage(QString::fromStdString(shot.string()));
  }

  const std::string& Name() const { return name_; }

 private:
  fs::path dir_;
  std::string name_;
  int pid_ = 0;
};

// A small rectangle of the screen read straight from the X server every few milliseconds (a
// screen shot through import takes half a second, and the knob turns faster), from Start to
// Stop: every picture it showed, each kept once when it changes.
class RectWatcher {
 public:
  RectWatcher(const std::string& display, const PageRect& r) : rect_(r) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  }
  ~RectWatcher() {
    Stop();
    xcb_disconnect(connection_);
  }
  bool Ok() const { return root_ != 0; }

  void Start() {
    thread_ = std::thread([this] {
      while (!stop_) {
        QImage picture = Grab();
        if (!picture.isNull() && (pictures_.empty() || picture != pictures_.back()))
          pictures_.push_back(picture);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  const std::vector<QImage>& Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return pictures_;
  }

 private:
  QImage Grab() {
    const int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, int16_t(rect_.left),
                      int16_t(rect_.top), uint16_t(w), uint16_t(h), ~0u),
        nullptr);
    if (!reply) return QImage();
    QImage picture;
    // A 24-bit screen keeps its pixels in 32 bits, as QImage's RGB32 does.
    if (reply->depth == 24 && xcb_get_image_data_length(reply) >= w * h * 4) {
      picture = QImage(w, h, QImage::Format_RGB32);
      const uint8_t* data = xcb_get_image_data(reply);
      for (int y = 0; y < h; ++y) std::memcpy(picture.scanLine(y), data + y * w * 4, size_t(w) * 4);
    }
    std::free(reply);
    return picture;
  }

  PageRect rect_;
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<QImage> pictures_;
};

// The angles, in the knob's degrees (0 down, 90 right, 180 up), at which its ring shows the green
// arc of its value, among those that the counter in its middle (`hidden`) leaves in sight. At
// value 0 the arc runs from 180 to 237; the value turns it back by 3.6 degrees a unit.
std::vector<int> ArcAngles(const QImage& knob, const PageRect& hidden) {
  const int cx = knob.width() / 2, cy = knob.height() / 2;
  std::vector<int> angles;
  for (int t = 0; t < 360; ++t) {
    const double a = t * M_PI / 180;
    const int x = int(std::sin(a) * 15 + cx), y = int(std::cos(a) * 15 + cy);
    if (x >= hidden.left && x < hidden.right && y >= hidden.top && y < hidden.bottom) continue;
    const QColor c(knob.pixel(x, y));
    if (c.green() > c.red() + 16) angles.push_back(t);
  }
  return angles;
}

// Whether two screens differ inside a rectangle (screen pixels), outside `hole` when given.
bool Differs(const QImage& a, const QImage& b, const PageRect& r, const PageRect* hole = nullptr) {
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      if (hole && x >= hole->left && x < hole->right && y >= hole->top && y < hole->bottom)
        continue;
      if (a.pixel(x, y) != b.pixel(x, y)) return true;
    }
  }
  return false;
}

PageRect Shift(const PageRect& r, int dx, int dy) {
  return PageRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

TEST(PlayScreenTest, ComposeABarFromItsMenuAndPlayTheSongSilently) {
  for (const char* tool : {"Xvfb", "xdpyinfo", "xdotool", "xprop", "import"}) {
    CANTREL_NEED(OnPath(tool), std::string(tool) + " (packages xvfb, xdotool, x11-utils, imagemagick)");
  }
  const fs::path program = fs::path(CANTREL_BINARY_DIR) / "app" / "cantrel";
  ASSERT_TRUE(fs::exists(program)) << program;
  const fs::path dir = cantrel_test::TempDir();
  const fs::path log = dir / "program.log", status = dir / "status", pid_file = dir / "pid";

  XScreen screen(dir);
  ASSERT_TRUE(screen.Start()) << "Xvfb did not start";

  // No sound server, no ALSA: the built-in synthesizer has nowhere to play.
  const std::string start =
      "(cd " + Quote(dir.string()) + " && XDG_DATA_HOME=" + Quote((dir / "data").string()) +
      " QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0 ASAN_OPTIONS=detect_leaks=0"
      " PULSE_SERVER=unix:/nonexistent PIPEWIRE_REMOTE=/nonexistent"
      " ALSA_CONFIG_PATH=/nonexistent/alsa.conf " +
      Quote(program.string()) + " 2>" + Quote(log.string()) + " & echo $! >" +
      Quote(pid_file.string()) + "; wait $!; echo $? >" + Quote(status.string()) +
      ") >/dev/null 2>&1 &";
  ASSERT_EQ(screen.Run(start), 0);
  // A program left running is ended with the test.
  struct Ender {
    fs::path pid_file, status;
    ~Ender() {
      const int pid = std::atoi(ReadText(pid_file).c_str());
      if (pid > 0 && !fs::exists(status)) kill(pid, SIGTERM);
    }
  } ender{pid_file, status};

  PageLayout L;
  ASSERT_TRUE(ComputePageLayout(5, 100, 1280, 1024, &L));
  // Without a window manager the client area lies where the mode puts the window.
  const int ox = L.geometry.x, oy = 0;
  auto at = [&](const QImage& img, int x, int y) { return QColor(img.pixel(ox + x, oy + y)); };
  const std::string failure_hint = "\nprogram output:\n";

  // Message boxes (the program's dialog windows) are answered with Enter so that they hide
  // nothing and hold nothing up; every box seen is kept. The main window is a normal window.
  std::set<std::string> boxes;
  std::set<std::string> normal;
  auto handle_boxes = [&] {
    std::string ids;
    screen.Run("xdotool search --onlyvisible --class cantrel", &ids);
    std::istringstream in(ids);
    std::string id;
    while (in >> id) {
      std::string type;
      screen.Run("xprop -id " + id + " _NET_WM_WINDOW_TYPE", &type);
      if (type.find("_NET_WM_WINDOW_TYPE_NORMAL") != std::string::npos) normal.insert(id);
      if (type.find("_NET_WM_WINDOW_TYPE_DIALOG") == std::string::npos) continue;
      boxes.insert(id);
      screen.Run("xdotool windowfocus " + id + " key Return");
    }
  };
  // Clicks, and takes the pointer off the window so that no tool tip comes up.
  auto click = [&](int x, int y, int button) {
    screen.Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
               std::to_string(button));
    if (button == 1) screen.Run("xdotool mousemove 1200 1000");
  };

  // Polls the screen until `done` holds for a shot, or the time is up.
  QImage shot;
  auto wait_for = [&](const std::function<bool(const QImage&)>& done, int seconds) {
    const auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < limit) {
      if (fs::exists(status)) return false;
      handle_boxes();
      shot = screen.Shot();
      if (!shot.isNull() && shot.width() == 1280 && done(shot)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    // The last screen is kept for whoever looks at the failed run.
    const fs::path artifacts = fs::path(CANTREL_BINARY_DIR) / "artifacts";
    fs::create_directories(artifacts);
    shot.save(QString::fromStdString((artifacts / "play_screen_failed.png").string()));
    return false;
  };

  // The window comes up and draws (slowly on a busy machine).
  const PageRect& chord = L.chordCells[0];
  ASSERT_TRUE(wait_for(
      [&](const QImage& s) {
        return at(s, chord.left + 4, chord.top + 4) == QColor(220, 255, 180);
      },
      180))
      << "the window never showed" << failure_hint << ReadText(log);
  EXPECT_FALSE(normal.empty()) << "the main window is not shown as a normal window";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(wait_for([](const QImage&) { return true; }, 30));
  const QImage idle = shot;

  // A right click on bar 1's score row; the menu: the last group (automatic composing), its
  // third command (melody and chords of this bar).
  const PageRect row = Shift(L.scoreRows[0], ox, oy);
  const int cx = row.left + 40, cy = row.top + 30;
  click(cx, cy, 3);
  const PageRect near_menu{cx + 4, cy + 4, cx + 60, cy + 40};
  ASSERT_TRUE(wait_for([&](const QImage& s) { return Differs(s, idle, near_menu); }, 60))
      << "the bar menu never opened" << failure_hint << ReadText(log);
  // The pointer leaves the menu's corner, so that it highlights nothing: Up then reaches the last
  // group, Right opens it on its first command.
  screen.Run("xdotool mousemove 1200 1000");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screen.Run("xdotool key --delay 400 Up Right Down Down Return");
  const PageRect melody = Shift(L.melodyBoxes[0], ox, oy);
  ASSERT_TRUE(wait_for([&](const QImage& s) { return Differs(s, idle, melody); }, 60))
      << "the bar was not composed" << failure_hint << ReadText(log);

  // Play, with the knob watched from the click until the song plays.
  RectWatcher knob(screen.Name(), Shift(L.knob, ox, oy));
  ASSERT_TRUE(knob.Ok()) << "cannot read the screen from the X server";
  knob.Start();
  const PageRect play = Shift(L.toolbar[8].rect, ox, oy);
  click((play.left + play.right) / 2, (play.top + play.bottom) / 2, 1);
  const PageRect counter = Shift(L.counter, ox, oy);
  const QColor marker(255, 200, 200);
  auto marked_slot = [&](const QImage& s) {
    for (int slot = 0; slot < L.barsPerPage; ++slot) {
      const PageRect& r = L.scoreRows[slot];
      for (const int y : {r.top + 3, r.bottom - 4})
        if (at(s, r.left + 3, y) == marker) return slot;
    }
    return -1;
  };
  std::vector<int> rows;          // the marked row of each shot that had one, in order
  std::vector<QImage> counters;    // the screen at each new marked row
  int unmarked_after = 0;
  const bool ended = wait_for(
      [&](const QImage& s) {
        const int slot = marked_slot(s);
        if (slot >= 0 && rows.empty()) knob.Stop();
        if (slot >= 0) {
          if (rows.empty() || rows.back() != slot) counters.push_back(s);
          rows.push_back(slot);
          unmarked_after = 0;
        } else if (!rows.empty()) {
          ++unmarked_after;
        }
        return unmarked_after >= 3;
      },
      300);
  ASSERT_FALSE(rows.empty()) << "the play marker never showed" << failure_hint << ReadText(log);
  // While the song was arranged the knob turned: each progress step draws it anew, and the last
  // one stays in sight while the song plays. Value 0 is all it shows otherwise: its arc stands
  // where value 0 puts it. Any other picture is one the steps drew (the arc elsewhere or
  // behind the counter, or the second display mode's circle).
  const PageRect hidden = Shift(L.counter, -L.knob.left, -L.knob.top);
  const std::vector<QImage>& pictures = knob.Stop();
  int turned = 0;
  std::string seen;
  for (const QImage& picture : pictures) {
    const std::vector<int> arc = ArcAngles(picture, hidden);
    const bool drawn = [&] {  // anything but the knob's background outside the counter
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
          if (!(x >= hidden.left && x < hidden.right && y >= hidden.top && y < hidden.bottom) &&
              picture.pixel(x, y) != picture.pixel(0, 0))
            return true;
      return false;
    }();
    if (drawn && (arc.empty() || std::any_of(arc.begin(), arc.end(), [](int t) {
                    return t < 174 || t > 243;
                  })))
      ++turned;
    seen += arc.empty() ? " (none)"
                        : " " + std::to_string(arc.front()) + "-" + std::to_string(arc.back());
  }
  EXPECT_GE(turned, 1)
      << "the knob did not turn while the song was arranged; its arcs:" << seen;
  EXPECT_TRUE(ended) << "the song never ended";
  // The marker walks from the first bar forward, bar by bar. A bar lasts two seconds, and on a
  // busy machine a screen may take longer than that: the first one seen may show the second.
  EXPECT_LE(rows.front(), 1);
  std::set<int> distinct(rows.begin(), rows.end());
  EXPECT_GE(distinct.size(), 2u) << "the marker never moved";
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_GE(rows[i], rows[i - 1]);
  // The counter shows another number when the marker stands on another bar.
  ASSERT_GE(counters.size(), 2u);
  EXPECT_TRUE(Differs(counters.front(), counters.back(), counter)) << "the counter stood still";

  // No audio output: a message said so (notices of parts the arrangement leaves silent may come
  // before it), and the song played on all the same.
  EXPECT_GE(boxes.size(), 1u) << "no message told of the missing audio output";

  // The exit button ends the program, which saves the song.
  const PageRect exit = Shift(L.toolbar[0].rect, ox, oy);
  click((exit.left + exit.right) / 2, (exit.top + exit.bottom) / 2, 1);
  const auto limit = Clock::now() + std::chrono::seconds(120);
  while (!fs::exists(status) && Clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(fs::exists(status)) << "the exit did not end the program" << failure_hint
                                  << ReadText(log);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReadText(status), "0\n") << ReadText(log);
  EXPECT_EQ(plat::FileSize(dir / "data" / "cantrel" / "data_kv.dat"), 121880);
}

}  // namespace
