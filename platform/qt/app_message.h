// Posted and sent window messages between the windows and from workers to the UI thread.
//
// A message is (message, wparam, lparam) as the windows have always exchanged them; it travels
// as a custom QEvent. Posting is safe from any thread; the receiver handles it on its own thread
// in its event() or customEvent() override (IsAppMessage tells such an event apart). Workers
// post and never touch widgets.
#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

namespace plat {

constexpr uint32_t WM_APP = 0x8000;

struct AppMessage {
  uint32_t message = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

class AppMessageEvent : public QEvent {
 public:
  explicit AppMessageEvent(const AppMessage& message);
  static QEvent::Type EventType();
  const AppMessage& Message() const { return message_; }

 private:
  AppMessage message_;
};

// The message an event carries, or nullptr when it is no such event.
const AppMessage* IsAppMessage(const QEvent* event);

// Queues the message for the target's thread and returns at once (any thread). False when the
// target is null.
bool PostAppMessage(QObject* target, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);

// Delivers the message and waits until the target has handled it. On the target's own thread
// it is handled at once; from another thread the caller blocks until the target's thread has
// handled it (the target's thread must not be waiting for the caller).
bool SendAppMessage(QObject* target, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);

// Asks the application's event loop to end (in place of posting the quit message).
void PostQuit(int code = 0);

}  // namespace plat
