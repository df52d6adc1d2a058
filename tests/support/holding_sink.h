// A message sink whose boxes hold the thread that shows them until the test releases them: a
// worker's box waiting for its user, while the test looks at what the window does meanwhile.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/core/message_sink.h"

namespace cantrel_test {

class HoldingSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++shown_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return plat::kIdOk;
  }
  // Whether a box came within the time.
  bool WaitShown(int ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return shown_ > 0; });
  }
  // Every box held and every later one goes on at once.
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int shown_ = 0;
  bool released_ = false;
};

}  // namespace cantrel_test
