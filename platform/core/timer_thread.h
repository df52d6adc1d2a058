// Precise one-shot timing for the MIDI player.
//
// A TimerThread runs one callback at absolute due times on its own thread. The callback returns
// the delay in milliseconds until its next run, counted from the due time of the run that just
// ended (not from the moment the callback returned), so delays add up without drift. Cancel()
// wakes the thread at once. Waiting goes through a TimerClock: the real one waits with
// condition_variable::wait_until on the steady clock; under a fake plat::Clock the wait advances
// the fake time instead of sleeping; ManualTimerClock lets a test move time by hand.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/clock.h"

namespace plat {

class TimerClock {
 public:
  using TimePoint = Clock::TimePoint;
  virtual ~TimerClock() = default;
  virtual TimePoint Now() = 0;
  // Waits until `due`, or until `wake()` is true (the waker changes what wake() reads under
  // `lock`'s mutex and notifies `cv`). Returns with `lock` held.
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                         TimePoint due, const std::function<bool()>& wake) = 0;
};

// The steady clock of the machine.
class SteadyTimerClock : public TimerClock {
 public:
  TimePoint Now() override;
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, TimePoint due,
                 const std::function<bool()>& wake) override;
};

// Time of a plat::Clock that moves when slept on (FakeClock): a wait advances it to the due
// time at once.
class SleepingTimerClock : public TimerClock {
 public:
  explicit SleepingTimerClock(Clock* clock) : clock_(clock) {}
  TimePoint Now() override;
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, TimePoint due,
                 const std::function<bool()>& wake) override;

 private:
  Clock* clock_;
};

// Time that moves only through Advance()/Set(); waits block (on a real condition variable)
// until the time is reached or the waiter is woken.
class ManualTimerClock : public TimerClock {
 public:
  ManualTimerClock();
  TimePoint Now() override;
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, TimePoint due,
                 const std::function<bool()>& wake) override;

  void Advance(std::chrono::milliseconds ms);
  // The earliest due time, still ahead, that somebody waits for; false when there is none.
  bool NextDue(TimePoint* due);
  // Advances to the earliest pending due time; false when nobody waits.
  bool AdvanceToNextDue();
  // Blocks (real time, at most `timeout`) until somebody waits for a time still ahead.
  bool WaitForWaiter(std::chrono::milliseconds timeout);
  // WaitForWaiter, then AdvanceToNextDue: runs the next timer that is due.
  bool Step(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

 private:
  void WakeAll();
  std::mutex mutex_;
  std::condition_variable waiter_cv_;
  TimePoint now_;
  struct Waiter {
    std::mutex* m;
    std::condition_variable* cv;
    TimePoint due;
  };
  std::vector<Waiter> waiters_;
};

// The timer clock in force: the installed one, else one that follows CurrentClock() (the
// machine's steady clock for the system clock, SleepingTimerClock for any other clock).
TimerClock& CurrentTimerClock();
// nullptr restores the default. The caller keeps ownership.
void InstallTimerClock(TimerClock* clock);

// Due time of the timer callback running on this thread (lateness measurement); the epoch when
// no timer callback runs on this thread.
Clock::TimePoint CurrentTimerDue();

class TimerThread {
 public:
  // Returns the delay in ms to the next run (0 = run again at once), or a negative value to end.
  using Callback = std::function<int64_t()>;

  TimerThread() = default;
  ~TimerThread();  // cancels and joins
  TimerThread(const TimerThread&) = delete;
  TimerThread& operator=(const TimerThread&) = delete;

  // Starts the thread: the first run is due `first_delay_ms` from now. False when a thread of
  // this object still exists (join it first) or the thread cannot be created.
  bool Start(int64_t first_delay_ms, Callback callback, TimerClock* clock = nullptr);
  // No further runs; a waiting thread wakes at once. Safe from inside the callback.
  void Cancel();
  // The waiting thread runs the callback at once instead of at its due time; the delay the
  // callback returns then counts from now.
  void RunNow();
  // Waits for the thread to end; does nothing on the timer thread itself or with no thread.
  void Join();
  // True while the thread has runs ahead of it (started, not cancelled, callback not ended).
  bool Active() const { return active_.load(); }
  bool OnTimerThread() const;

 private:
  void Run(int64_t first_delay_ms, TimerClock* clock);

  std::mutex mutex_;
  std::condition_variable cv_;
  bool cancelled_ = false;
  bool run_now_ = false;
  std::atomic<bool> active_{false};
  Callback callback_;
  std::thread thread_;
  std::atomic<std::thread::id> thread_id_{};
  std::mutex join_mutex_;
};

}  // namespace plat
