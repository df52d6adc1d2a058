#include "platform/qt/app_message.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace plat {
namespace {

#if defined(__SANITIZE_THREAD__)
// Qt hands a posted event to the receiving thread under its own locks, which a ThreadSanitizer
// build does not see (Qt is not instrumented), so the event's fields would look written by one
// thread and read by another without order. The posting thread releases the event; the receiving
// thread acquires it before anything (event filters among them) looks at it.
bool AcquireDeliveredEvent(void** data) {
  __tsan_acquire(data[1]);  // { receiver, event, result }
  return false;             // delivery goes on as usual
}

void WatchDeliveries() {
  QInternal::registerCallback(QInternal::EventNotifyCallback, AcquireDeliveredEvent);
}
Q_COREAPP_STARTUP_FUNCTION(WatchDeliveries)
#endif

}  // namespace

AppMessageEvent::AppMessageEvent(const AppMessage& message)
    : QEvent(EventType()), message_(message) {}

QEvent::Type AppMessageEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

const AppMessage* IsAppMessage(const QEvent* event) {
  if (!event || event->type() != AppMessageEvent::EventType()) return nullptr;
  return &static_cast<const AppMessageEvent*>(event)->Message();
}

bool PostAppMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!target) return false;
  auto* event = new AppMessageEvent(AppMessage{message, wparam, lparam});
#if defined(__SANITIZE_THREAD__)
  __tsan_release(event);
#endif
  QCoreApplication::postEvent(target, event);
  return true;
}

bool SendAppMessage(QObject* target, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!target) return false;
  const AppMessage m{message, wparam, lparam};
  if (target->thread() == QThread::currentThread()) {
    AppMessageEvent event(m);
    QCoreApplication::sendEvent(target, &event);
    return true;
  }
  QPointer<QObject> guard(target);
  return QMetaObject::invokeMethod(
      target,
      [guard, m]() {
        if (!guard) return;
        AppMessageEvent event(m);
        QCoreApplication::sendEvent(guard.data(), &event);
      },
      Qt::BlockingQueuedConnection);
}

void PostQuit(int code) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [code]() { QCoreApplication::exit(code); },
      Qt::QueuedConnection);
}

}  // namespace plat
