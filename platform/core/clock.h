// Time for the whole program: a monotonic clock for waits and timing, the calendar for dates.
// Tests install a FakeClock so that nothing sleeps for real and dates are fixed.
#pragma once

#include <chrono>
#include <ctime>
#include <mutex>

namespace plat {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
  virtual void SleepFor(std::chrono::milliseconds ms) = 0;
  // Calendar time in seconds since the epoch.
  virtual std::time_t WallTime() = 0;
};

class SystemClock : public Clock {
 public:
  TimePoint Now() override;
  void SleepFor(std::chrono::milliseconds ms) override;
  std::time_t WallTime() override;
};

// A clock that only moves when told to: sleeping advances it at once.
class FakeClock : public Clock {
 public:
  FakeClock();
  TimePoint Now() override;
  void SleepFor(std::chrono::milliseconds ms) override;
  std::time_t WallTime() override;

  void Advance(std::chrono::milliseconds ms);
  void SetWallTime(std::time_t t);
  // Sets the calendar to a local date at noon.
  void SetDate(int year, int month, int day);
  std::chrono::milliseconds Slept() const;  // total of every SleepFor so far

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
  std::time_t wall_;
  std::chrono::milliseconds slept_{0};
};

// nullptr restores the system clock. The caller keeps ownership.
void InstallClock(Clock* clock);
Clock& CurrentClock();
void SleepMs(int ms);

}  // namespace plat
