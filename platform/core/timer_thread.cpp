#include "platform/core/timer_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <algorithm>
#include <system_error>

namespace plat {
namespace {

SteadyTimerClock g_steady;
SleepingTimerClock g_following(nullptr);  // follows CurrentClock()
std::atomic<TimerClock*> g_installed{nullptr};
thread_local Clock::TimePoint t_current_due{};

// The longest wait (about 35 years): the due time is kept in nanoseconds of the steady clock,
// which a longer delay would overflow.
constexpr int64_t kLongestDelayMs = int64_t{1} << 40;

std::chrono::milliseconds DelayMs(int64_t ms) {
  return std::chrono::milliseconds(std::min(std::max<int64_t>(ms, 0), kLongestDelayMs));
}

std::chrono::milliseconds CeilMs(std::chrono::steady_clock::duration d) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d);
  if (ms < d) ms += std::chrono::milliseconds(1);
  return ms;
}

}  // namespace

// ---- SteadyTimerClock ----

TimerClock::TimePoint SteadyTimerClock::Now() { return std::chrono::steady_clock::now(); }

void SteadyTimerClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                                 TimePoint due, const std::function<bool()>& wake) {
  cv.wait_until(lock, due, wake);
}

// ---- SleepingTimerClock ----

TimerClock::TimePoint SleepingTimerClock::Now() {
  return (clock_ ? *clock_ : CurrentClock()).Now();
}

void SleepingTimerClock::WaitUntil(std::unique_lock<std::mutex>& lock,
                                   std::condition_variable& /*cv*/, TimePoint due,
                                   const std::function<bool()>& wake) {
  if (wake()) return;
  Clock& clock = clock_ ? *clock_ : CurrentClock();
  TimePoint now = clock.Now();
  if (due <= now) return;
  lock.unlock();
  clock.SleepFor(CeilMs(due - now));
  lock.lock();
}

// ---- ManualTimerClock ----

ManualTimerClock::ManualTimerClock()
    : now_(std::chrono::steady_clock::time_point{} + std::chrono::hours(1)) {}

TimerClock::TimePoint ManualTimerClock::Now() {
  std::lock_guard<std::mutex> g(mutex_);
  return now_;
}

void ManualTimerClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                                 TimePoint due, const std::function<bool()>& wake) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    waiters_.push_back(Waiter{lock.mutex(), &cv, due});
    waiter_cv_.notify_all();
  }
  for (;;) {
    if (wake()) break;
    {
      std::lock_guard<std::mutex> g(mutex_);
      if (now_ >= due) break;
    }
    cv.wait(lock);
  }
  std::lock_guard<std::mutex> g(mutex_);
  for (auto it = waiters_.begin(); it != waiters_.end(); ++it) {
    if (it->cv == &cv) {
      waiters_.erase(it);
      break;
    }
  }
}

void ManualTimerClock::WakeAll() {
  std::vector<Waiter> copy;
  {
    std::lock_guard<std::mutex> g(mutex_);
    copy = waiters_;
  }
  for (const Waiter& w : copy) {
    // Taking the waiter's mutex makes sure it is inside cv.wait (or has not yet checked the
    // time), so the notification cannot be lost.
    std::lock_guard<std::mutex> g(*w.m);
    w.cv->notify_all();
  }
}

void ManualTimerClock::Advance(std::chrono::milliseconds ms) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    now_ += ms;
  }
  WakeAll();
}

bool ManualTimerClock::NextDue(TimePoint* due) {
  std::lock_guard<std::mutex> g(mutex_);
  bool found = false;
  for (const Waiter& w : waiters_) {
    if (w.due <= now_) continue;  // reached: that waiter is about to wake
    if (!found || w.due < *due) *due = w.due;
    found = true;
  }
  return found;
}

bool ManualTimerClock::AdvanceToNextDue() {
  TimePoint due;
  if (!NextDue(&due)) return false;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (due > now_) now_ = due;
  }
  WakeAll();
  return true;
}

bool ManualTimerClock::WaitForWaiter(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lk(mutex_);
  return waiter_cv_.wait_for(lk, timeout, [this] {
    for (const Waiter& w : waiters_)
      if (w.due > now_) return true;
    return false;
  });
}

bool ManualTimerClock::Step(std::chrono::milliseconds timeout) {
  return WaitForWaiter(timeout) && AdvanceToNextDue();
}

// ---- the clock in force ----

TimerClock& CurrentTimerClock() {
  if (TimerClock* c = g_installed.load()) return *c;
  if (dynamic_cast<SystemClock*>(&CurrentClock()) != nullptr) return g_steady;
  return g_following;
}

void InstallTimerClock(TimerClock* clock) { g_installed.store(clock); }

Clock::TimePoint CurrentTimerDue() { return t_current_due; }

// ---- TimerThread ----

namespace {

// A thread that waits on the machine's clock asks for precise wake-ups: the smallest timer
// slack, and the real-time round-robin class when the system grants it (it is refused without
// the privilege, and then the thread simply keeps its ordinary priority).
void AskForPreciseWakeUps() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  sched_param param{};
  param.sched_priority = std::min(sched_get_priority_min(SCHED_RR) + 10,
                                  sched_get_priority_max(SCHED_RR));
  pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

}  // namespace

TimerThread::~TimerThread() {
  Cancel();
  Join();
  // A thread still joinable here is this object's own timer thread destroying its owner: let
  // it finish on its own rather than terminate the program.
  std::lock_guard<std::mutex> g(join_mutex_);
  if (thread_.joinable()) thread_.detach();
}

bool TimerThread::Start(int64_t first_delay_ms, Callback callback, TimerClock* clock) {
  std::lock_guard<std::mutex> g(join_mutex_);
  if (thread_.joinable()) return false;
  if (!clock) clock = &CurrentTimerClock();
  {
    std::lock_guard<std::mutex> lk(mutex_);
    cancelled_ = false;
    run_now_ = false;
    callback_ = std::move(callback);
  }
  active_.store(true);
  try {
    thread_ = std::thread(&TimerThread::Run, this, std::max<int64_t>(first_delay_ms, 0), clock);
  } catch (const std::system_error&) {
    active_.store(false);
    return false;
  }
  return true;
}

void TimerThread::Cancel() {
  std::lock_guard<std::mutex> lk(mutex_);
  cancelled_ = true;
  active_.store(false);
  cv_.notify_all();
}

void TimerThread::RunNow() {
  std::lock_guard<std::mutex> lk(mutex_);
  run_now_ = true;
  cv_.notify_all();
}

bool TimerThread::OnTimerThread() const {
  return std::this_thread::get_id() == thread_id_.load();
}

void TimerThread::Join() {
  std::lock_guard<std::mutex> g(join_mutex_);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) return;
  thread_.join();
}

void TimerThread::Run(int64_t first_delay_ms, TimerClock* clock) {
  thread_id_.store(std::this_thread::get_id());
  // Only real waits profit; a fake clock's thread runs flat out and must not take a core.
  if (dynamic_cast<SteadyTimerClock*>(clock) != nullptr) AskForPreciseWakeUps();
  // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage): Start never passes a null clock
  TimerClock::TimePoint due = clock->Now() + DelayMs(first_delay_ms);
  Callback callback;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    callback = callback_;
  }
  for (;;) {
    {
      std::unique_lock<std::mutex> lk(mutex_);
      clock->WaitUntil(lk, cv_, due, [this] { return cancelled_ || run_now_; });
      if (cancelled_) break;
      if (run_now_) {
        run_now_ = false;
        TimerClock::TimePoint now = clock->Now();
        if (now < due) due = now;
      }
    }
    t_current_due = due;
    int64_t next = callback ? callback() : -1;
    t_current_due = {};
    if (next < 0) break;
    due += DelayMs(next);
  }
  active_.store(false);
}

}  // namespace plat
