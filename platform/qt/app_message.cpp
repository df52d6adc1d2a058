#include "platform/qt/app_message.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

namespace plat {

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
  QCoreApplication::postEvent(target, new AppMessageEvent(AppMessage{message, wparam, lparam}));
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
