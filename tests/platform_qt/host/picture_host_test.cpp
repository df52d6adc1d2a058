// The picture host reports the mouse and dropped files as the pictures expect; driven with
// synthetic events on the offscreen platform.
#include "platform/qt/picture_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <string>
#include <vector>

namespace {

struct Call {
  std::string what;
  int x, y, id;
  bool operator==(const Call& o) const {
    return what == o.what && x == o.x && y == o.y && id == o.id;
  }
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
  return os << c.what << "(" << c.x << "," << c.y << "," << c.id << ")";
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.resize(40, 30);
    auto rec = [this](const char* what) {
      return [this, what](int x, int y, int id) { calls.push_back(Call{what, x, y, id}); };
    };
    host.SetCallbacks(rec("press"), rec("release"), rec("move"), rec("dbl"));
    host.SetRightClickCallback(rec("right"));
    host.SetId(5);
  }

  void Mouse(QEvent::Type type, int x, int y, Qt::MouseButton button) {
    const Qt::MouseButtons buttons =
        (type == QEvent::MouseButtonRelease) ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent ev(type, QPointF(x, y), host.mapToGlobal(QPointF(x, y)), button, buttons,
                   Qt::NoModifier);
    QApplication::sendEvent(&host, &ev);
  }
  void Press(int x, int y, Qt::MouseButton b = Qt::LeftButton) { Mouse(QEvent::MouseButtonPress, x, y, b); }
  void Release(int x, int y) { Mouse(QEvent::MouseButtonRelease, x, y, Qt::LeftButton); }
  void Move(int x, int y, bool held) {
    QMouseEvent ev(QEvent::MouseMove, QPointF(x, y), host.mapToGlobal(QPointF(x, y)),
                   Qt::NoButton, held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&host, &ev);
  }
  void Leave() {
    QEvent ev(QEvent::Leave);
    QApplication::sendEvent(&host, &ev);
  }

  plat::PictureHost host;
  std::vector<Call> calls;
};

TEST_F(HostTest, PressReleaseMoveAndRightClick) {
  Press(3, 4);
  Move(5, 6, true);
  Release(7, 8);
  Press(9, 10, Qt::RightButton);
  EXPECT_EQ(calls, (std::vector<Call>{{"press", 3, 4, 5},
                                      {"move", 5, 6, 5},
                                      {"release", 7, 8, 5},
                                      {"right", 9, 10, 5}}));
  EXPECT_FALSE(host.Pressed());
}

TEST_F(HostTest, LeavingWhilePressedReleasesOnceAtMinusOne) {
  Press(3, 4);
  EXPECT_TRUE(host.Pressed());
  Leave();
  Leave();
  Release(100, 100);  // the button comes up elsewhere
  EXPECT_EQ(calls, (std::vector<Call>{{"press", 3, 4, 5}, {"release", -1, -1, 5}}));
  EXPECT_FALSE(host.Pressed());
}

TEST_F(HostTest, DraggingOutOfTheWidgetEndsThePressOnce) {
  // Qt keeps sending a held drag to the widget that took the press: outside, it counts as left.
  Press(3, 4);
  Move(60, 10, true);
  Move(70, 10, true);
  Release(70, 10);
  EXPECT_EQ(calls, (std::vector<Call>{{"press", 3, 4, 5}, {"release", -1, -1, 5}}));
}

TEST_F(HostTest, ReleaseInsideAfterComingBackReportsRealCoordinates) {
  Press(3, 4);
  Move(60, 10, true);
  Move(10, 10, true);  // back in, still held: no move reported, the press has ended
  Release(11, 12);
  EXPECT_EQ(calls, (std::vector<Call>{
                       {"press", 3, 4, 5}, {"release", -1, -1, 5}, {"release", 11, 12, 5}}));
}

TEST(PictureHostPairTest, AButtonUpOverAnotherHostIsItsRelease) {
  QWidget parent;
  parent.resize(100, 40);
  plat::PictureHost a(&parent), b(&parent);
  a.setGeometry(0, 0, 40, 40);
  b.setGeometry(50, 0, 40, 40);
  a.SetId(1);
  b.SetId(2);
  std::vector<Call> calls;
  auto rec = [&](const char* what) {
    return [&calls, what](int x, int y, int id) { calls.push_back(Call{what, x, y, id}); };
  };
  a.SetCallbacks(rec("press"), rec("release"), nullptr, nullptr);
  b.SetCallbacks(rec("press"), rec("release"), nullptr, nullptr);
  parent.show();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), a.mapToGlobal(QPointF(5, 5)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&a, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(60, 7), a.mapToGlobal(QPointF(60, 7)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&a, &release);
  EXPECT_EQ(calls, (std::vector<Call>{
                       {"press", 5, 5, 1}, {"release", -1, -1, 1}, {"release", 10, 7, 2}}));
}

TEST_F(HostTest, LeaveWithoutPressReportsNothing) {
  Move(2, 2, false);
  Leave();
  EXPECT_EQ(calls, (std::vector<Call>{{"move", 2, 2, 5}}));
}

TEST_F(HostTest, GroupChangesTheReportedIdButNotDoubleClick) {
  host.SetGroup(2);
  Press(1, 1);
  Release(1, 1);
  Mouse(QEvent::MouseButtonDblClick, 1, 1, Qt::LeftButton);
  Release(1, 1);
  Press(2, 2, Qt::RightButton);
  EXPECT_EQ(calls, (std::vector<Call>{{"press", 1, 1, 517},
                                      {"release", 1, 1, 517},
                                      {"dbl", 1, 1, 5},
                                      {"release", 1, 1, 517},
                                      {"right", 2, 2, 517}}));
}

TEST_F(HostTest, DoubleClickLeavesThePressedFlag) {
  Mouse(QEvent::MouseButtonDblClick, 1, 1, Qt::LeftButton);
  EXPECT_FALSE(host.Pressed());
  Leave();
  EXPECT_EQ(calls, (std::vector<Call>{{"dbl", 1, 1, 5}}));
}

TEST_F(HostTest, NullCallbacksReportNothing) {
  host.SetCallbacks(nullptr, nullptr, nullptr, nullptr);
  host.SetRightClickCallback(nullptr);
  Press(1, 1);
  Move(2, 2, true);
  Leave();
  Press(1, 1, Qt::RightButton);
  EXPECT_TRUE(calls.empty());
}

// The right button is the picture's: the window it sits on never opens a menu of its own over
// it (which would open after the picture's menu closed and take the next click).
TEST(HostContextMenuTest, TheWindowBehindOpensNoMenuOfItsOwn) {
  struct Window : QWidget {
    int menus = 0;
    void contextMenuEvent(QContextMenuEvent*) override { ++menus; }
  } window;
  auto* host = new plat::PictureHost(&window);
  host->resize(40, 30);
  int rights = 0;
  host->SetRightClickCallback([&](int, int, int) { ++rights; });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 4), host->mapToGlobal(QPointF(3, 4)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(host, &press);
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 4), host->mapToGlobal(QPoint(3, 4)));
  QApplication::sendEvent(host, &menu);
  EXPECT_EQ(rights, 1);
  EXPECT_EQ(window.menus, 0);
  // Beside the picture, the window's own menu still opens.
  QContextMenuEvent own(QContextMenuEvent::Mouse, QPoint(50, 50), window.mapToGlobal(QPoint(50, 50)));
  QApplication::sendEvent(&window, &own);
  EXPECT_EQ(window.menus, 1);
}

class DropTest : public HostTest {
 protected:
  void Drop(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&host, &enter);
    QDropEvent ev(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&host, &ev);
  }
  std::vector<std::pair<std::string, int>> drops;
};

TEST_F(DropTest, OneFileIsReportedWithThePlainId) {
  host.SetGroup(3);
  host.SetDropCallback([this](const std::filesystem::path& p, int id) {
    drops.emplace_back(p.string(), id);
  });
  EXPECT_TRUE(host.acceptDrops());
  Drop({QUrl::fromLocalFile(QString::fromUtf8("/tmp/my songs/\xE6\x9B\xB2.mwd"))});
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].first, "/tmp/my songs/\xE6\x9B\xB2.mwd");
  EXPECT_EQ(drops[0].second, 5);
}

TEST_F(DropTest, SeveralFilesOrNoCallbackAreIgnored) {
  Drop({QUrl::fromLocalFile("/tmp/a.mwd")});  // no callback yet
  host.SetDropCallback([this](const std::filesystem::path& p, int id) {
    drops.emplace_back(p.string(), id);
  });
  Drop({QUrl::fromLocalFile("/tmp/a.mwd"), QUrl::fromLocalFile("/tmp/b.mwd")});
  Drop({QUrl("http://example.invalid/x.mwd")});
  EXPECT_TRUE(drops.empty());
}

TEST(PictureHostPaintTest, ShowsTheCopiedPictureAndZoomTruncates) {
  plat::PictureHost host;
  host.resize(10, 10);
  host.SetBackground(QColor(0, 0, 0));
  QImage img(4, 4, QImage::Format_RGB32);
  img.fill(qRgb(255, 0, 0));
  host.Show(img);
  QImage shot = host.grab().toImage();
  EXPECT_EQ(shot.pixel(3, 3), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(4, 4), qRgb(0, 0, 0));
  host.Show(img, 1.6);  // 4 * 1.6 = 6.4 -> 6 pixels
  shot = host.grab().toImage();
  EXPECT_EQ(shot.pixel(5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(6, 6), qRgb(0, 0, 0));
}

}  // namespace
