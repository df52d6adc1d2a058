// What the main window's tests share.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace window_test {

// Runs the event loop until `done` holds, five seconds at the most.
template <typename Pred>
void PumpUntil(Pred done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace window_test
