// A main window for the song-information dialogs: its scale and the messages posted to it; a
// song to edit; and helpers to press a skin button and to act on a modal dialog once it runs.
#pragma once

#include "dialogs/dialog_owner.h"
#include "draw/offscreen_control.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

class InfoOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t m, uintptr_t w, intptr_t l) override { posted.emplace_back(m, w, l); }
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return scale; }
  int scale = 100;
  std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> posted;
};

inline std::unique_ptr<CSongData> MakeSong(int bars = 8) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, 4, 0, 1);
  return song;
}

inline void PressSkin(COffScreenControl* host) {
  QTest::mousePress(host, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  QTest::mouseRelease(host, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

// The ways to leave a dialog without its own buttons: Escape and the window's close box.
enum class Cancel { kEscape, kCloseBox };
inline void CancelBy(QWidget* dialog, Cancel how) {
  if (how == Cancel::kEscape) {
    QTest::keyClick(dialog, Qt::Key_Escape);
  } else {
    dialog->close();
  }
}
constexpr Cancel kCancelWays[] = {Cancel::kEscape, Cancel::kCloseBox};

// Waits until the widget is hidden (a dialog closing after its button's pause), at most `ms`.
inline bool HiddenWithin(QWidget* w, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  while (w->isVisible() && t.elapsed() < ms) QTest::qWait(10);
  return !w->isVisible();
}

// Runs `act` on the modal dialog of type D once it is up (looking again every 10 ms for a few
// seconds); *opened tells whether it came. A modal dialog of another kind is ended, so that the
// test goes on.
template <typename D>
void WhenModal(std::function<void(D*)> act, bool* opened, int tries = 300) {
  *opened = false;
  QTimer::singleShot(tries == 300 ? 0 : 10, [act, opened, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      if (tries > 0) WhenModal<D>(act, opened, tries - 1);
      return;
    }
    auto* d = qobject_cast<D*>(modal);
    if (!d) {
      QTest::keyClick(modal, Qt::Key_Escape);
      return;
    }
    *opened = true;
    act(d);
  });
}
