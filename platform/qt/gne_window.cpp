#include "platform/qt/gne_window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>

#include "platform/qt/qt_text.h"

void GneGetFrameSize(const QWidget* window, int* width, int* height) {
  int w = 0, h = 0;
  if (window) {
    QRect outer = window->frameGeometry();
    QRect inner = window->geometry();
    w = outer.width() - inner.width();
    h = outer.height() - inner.height();
  }
  if (width) *width = w;
  if (height) *height = h;
}

QWidget* GneFindWindow(const char* title, const char* class_name) {
  const QString wanted_title = title && *title ? plat::ToQString(title) : QString();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    if (!wanted_title.isNull() && w->windowTitle() != wanted_title) continue;
    if (class_name && *class_name && qstrcmp(w->metaObject()->className(), class_name) != 0) continue;
    return w;
  }
  return nullptr;
}

int GneGetDisplayClass() {
  QFontMetrics metrics(QApplication::font());
  if (metrics.averageCharWidth() < 9) return 0;
  QScreen* screen = QGuiApplication::primaryScreen();
  int dpi = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
  return dpi == 120 ? 1 : 2;
}
