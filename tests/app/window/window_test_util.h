// What the main window's tests share.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

namespace window_test {

// Runs the event loop until `done` holds, five seconds (or `ms`) at the most.
template <typename Pred>
void PumpUntil(Pred done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs `act` on the dialog D::Current() as soon as it shows, from that dialog's own event loop
// (no nested loop, so the caller's modal runs go on in order). Gives up after five seconds.
template <typename D>
void WhenShown(std::function<void(D*)> act) {
  auto* timer = new QTimer;
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, act] {
    D* d = D::Current();
    const bool shown = d && d->isVisible();
    if (shown || ++*ticks > 500) {
      timer->stop();
      timer->deleteLater();
    }
    if (shown) act(d);
  });
  timer->start(10);
}

}  // namespace window_test
