// A composition on another thread, as the tests see it: the engine's door held.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine_session.h"

namespace engine_test {

// A thread that holds the engine's door, as a composition on another thread does, from the
// constructor's return until Leave (or the end).
class DoorHolder {
 public:
  DoorHolder()
      : thread_([this] {
          EngineSession engine;
          std::unique_lock<std::mutex> lock(mutex_);
          holding_ = true;
          changed_.notify_all();
          changed_.wait(lock, [this] { return leave_; });
        }) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return holding_; });
  }
  ~DoorHolder() { Leave(); }
  void Leave() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      leave_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holding_ = false;
  bool leave_ = false;
  std::thread thread_;
};

}  // namespace engine_test
