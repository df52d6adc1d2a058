// Posted and sent messages, window timers, the message-box sink and the text converter.
#include "platform/qt/app_message.h"
#include "platform/qt/qt_message_sink.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/ui_timer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Receiver : public QObject {
 public:
  std::vector<plat::AppMessage> got;
  std::atomic<int> handledOn{0};

 protected:
  void customEvent(QEvent* e) override {
    if (const plat::AppMessage* m = plat::IsAppMessage(e)) {
      got.push_back(*m);
      handledOn = QThread::currentThread() == qApp->thread() ? 1 : 2;
    }
  }
};

// Runs the event loop until `done` or a generous bound.
template <typename Pred>
void PumpUntil(Pred done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

TEST(AppMessageTest, PostedMessagesArriveInOrderOnTheReceiversThread) {
  Receiver r;
  std::thread worker([&]() {
    plat::PostAppMessage(&r, plat::WM_APP + 19, 7, -3);
    plat::PostAppMessage(&r, plat::WM_APP + 36, 1, 2);
  });
  worker.join();
  EXPECT_TRUE(r.got.empty()) << "posting does not deliver at once";
  PumpUntil([&]() { return r.got.size() == 2; });
  ASSERT_EQ(r.got.size(), 2u);
  EXPECT_EQ(r.got[0].message, plat::WM_APP + 19);
  EXPECT_EQ(r.got[0].wparam, 7u);
  EXPECT_EQ(r.got[0].lparam, -3);
  EXPECT_EQ(r.got[1].message, plat::WM_APP + 36);
  EXPECT_EQ(r.handledOn.load(), 1);
  EXPECT_FALSE(plat::PostAppMessage(nullptr, 1));
}

TEST(AppMessageTest, SendFromTheUiThreadIsHandledAtOnce) {
  Receiver r;
  EXPECT_TRUE(plat::SendAppMessage(&r, plat::WM_APP + 12));
  ASSERT_EQ(r.got.size(), 1u);
  EXPECT_EQ(r.got[0].message, plat::WM_APP + 12);
}

TEST(AppMessageTest, SendFromAWorkerWaitsUntilHandled) {
  Receiver r;
  std::atomic<bool> returned{false};
  std::atomic<size_t> seenAtReturn{99};
  std::thread worker([&]() {
    plat::SendAppMessage(&r, plat::WM_APP + 30, 5, 0);
    seenAtReturn = r.got.size();
    returned = true;
  });
  PumpUntil([&]() { return returned.load(); });
  worker.join();
  EXPECT_EQ(seenAtReturn.load(), 1u);
  EXPECT_EQ(r.handledOn.load(), 1);
}

TEST(UiTimersTest, SetKillAndRestartByNumber) {
  plat::UiTimers timers;
  std::vector<int> fired;
  timers.SetTimer(103, 1, [&](int id) {
    fired.push_back(id);
    timers.KillTimer(id);  // a one-shot, as the audition timer is
  });
  EXPECT_TRUE(timers.IsRunning(103));
  PumpUntil([&]() { return !fired.empty(); });
  EXPECT_EQ(fired, std::vector<int>{103});
  EXPECT_FALSE(timers.IsRunning(103));
  timers.KillTimer(999);  // unknown: nothing
  timers.SetTimer(102, 100000, [](int) {});
  timers.SetTimer(102, 1, [&](int id) { fired.push_back(id * 10); timers.KillTimer(id); });
  PumpUntil([&]() { return fired.size() == 2; });
  EXPECT_EQ(fired.back(), 1020) << "setting a running number replaces it";
}

TEST(UiTimersTest, AllTimersCanBeKilledFromATimersOwnCallback) {
  // As the window's release does when it runs from a timer's work.
  plat::UiTimers timers;
  int fired = 0;
  timers.SetTimer(5, 1, [&](int) {
    ++fired;
    timers.KillAll();
  });
  timers.SetTimer(6, 100000, [](int) {});
  PumpUntil([&]() { return fired > 0; });
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timers.IsRunning(5));
  EXPECT_FALSE(timers.IsRunning(6));
}

TEST(UiTimersTest, AWorkerCanSetATimerThatRunsOnTheUiThread) {
  plat::UiTimers timers;
  std::atomic<int> firedOn{0};
  std::thread worker([&]() {
    timers.SetTimer(102, 1, [&](int id) {
      firedOn = QThread::currentThread() == qApp->thread() ? 1 : 2;
      timers.KillTimer(id);
    });
  });
  worker.join();
  PumpUntil([&]() { return firedOn.load() != 0; });
  EXPECT_EQ(firedOn.load(), 1);
}

// Presses a button of the message box that is open, as soon as there is one.
void AnswerNextBox(QMessageBox::StandardButton button, QString* text = nullptr) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, button, text]() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box && box->isVisible()) {
        if (text) *text = box->text();
        box->button(button)->click();
        poll->stop();
        poll->deleteLater();
        return;
      }
    }
  });
  poll->start(1);
}

TEST(QtMessageSinkTest, QuestionsAnswerOkOrCancel) {
  plat::QtMessageSink sink("Cantrel");
  QString text;
  AnswerNextBox(QMessageBox::Cancel, &text);
  EXPECT_EQ(sink.Show(plat::BoxKind::Confirm, "曲をクリアしますか？"), plat::kIdCancel);
  EXPECT_EQ(text, QString::fromUtf8("\xE6\x9B\xB2\xE3\x82\x92\xE3\x82\xAF\xE3\x83\xAA\xE3\x82\xA2"
                                    "\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x81\x8B\xEF\xBC\x9F"));
  AnswerNextBox(QMessageBox::Ok);
  EXPECT_EQ(sink.Show(plat::BoxKind::Confirm, "x"), plat::kIdOk);
  AnswerNextBox(QMessageBox::Ok);
  EXPECT_EQ(sink.Show(plat::BoxKind::Error, "x"), plat::kIdOk);
}

TEST(QtMessageSinkTest, AWorkersBoxRunsOnTheUiThreadAndWaitsForTheAnswer) {
  plat::QtMessageSink sink("Cantrel");
  std::atomic<int> answer{0};
  std::thread worker([&]() { answer = sink.Show(plat::BoxKind::Confirm, "worker"); });
  AnswerNextBox(QMessageBox::Cancel);
  PumpUntil([&]() { return answer.load() != 0; });
  worker.join();
  EXPECT_EQ(answer.load(), plat::kIdCancel);
}

TEST(QtTextTest, ConvertsBothWays) {
  const std::string cp932 = "ﾃﾝﾎﾟ小節数";
  const QString q = plat::ToQString(cp932);
  EXPECT_EQ(q, QString::fromUtf8("\xEF\xBE\x83\xEF\xBE\x9D\xEF\xBE\x8E\xEF\xBE\x9F"
                                 "\xE5\xB0\x8F\xE7\xAF\x80\xE6\x95\xB0"));
  EXPECT_EQ(plat::FromQString(q), cp932);
  EXPECT_TRUE(plat::ToQString("").isEmpty());
  EXPECT_EQ(plat::ToQString(std::string("\x82", 1)), QString(QChar(0xFFFD)));
  EXPECT_EQ(plat::FromQString(QString(QChar(0x4E02))), "?") << "no CP932 form";
}

}  // namespace
