// Host controls on a parent widget and mouse events for the panels' pictures.
#pragma once

#include "draw/offscreen_control.h"
#include "platform/qt/dc.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <ostream>
#include <vector>

namespace plat {
inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
}  // namespace plat

class PictureFixture : public ::testing::Test {
 protected:
  void SetUp() override { parent.resize(1200, 800); }
  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }
  static void Mouse(QWidget* w, QEvent::Type type, int x, int y,
                    Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent ev(type, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), button, buttons,
                   Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
  }
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
};
