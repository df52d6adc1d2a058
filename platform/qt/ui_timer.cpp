#include "platform/qt/ui_timer.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <utility>

namespace plat {

UiTimers::UiTimers(QObject* owner) : QObject(owner) {}

UiTimers::~UiTimers() { KillAll(); }

void UiTimers::SetTimer(int id, int periodMs, Callback callback) {
  if (thread() == QThread::currentThread()) {
    SetOnThread(id, periodMs, std::move(callback));
  } else {
    QMetaObject::invokeMethod(
        this,
        [this, id, periodMs, callback = std::move(callback)]() {
          SetOnThread(id, periodMs, callback);
        },
        Qt::QueuedConnection);
  }
}

void UiTimers::KillTimer(int id) {
  if (thread() == QThread::currentThread()) {
    KillOnThread(id);
  } else {
    QMetaObject::invokeMethod(this, [this, id]() { KillOnThread(id); }, Qt::QueuedConnection);
  }
}

void UiTimers::KillAll() {
  for (auto& [id, timer] : timers_) {
    timer->stop();
    delete timer;
  }
  timers_.clear();
}

bool UiTimers::IsRunning(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void UiTimers::SetOnThread(int id, int periodMs, Callback callback) {
  QTimer*& timer = timers_[id];
  if (timer) {
    timer->stop();
    timer->deleteLater();
  }
  timer = new QTimer(this);
  QObject::connect(timer, &QTimer::timeout, this, [id, callback = std::move(callback)]() {
    if (callback) callback(id);
  });
  timer->start(periodMs < 1 ? 1 : periodMs);
}

void UiTimers::KillOnThread(int id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
}

}  // namespace plat
