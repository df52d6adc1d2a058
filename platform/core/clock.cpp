#include "platform/core/clock.h"

#include <atomic>
#include <thread>

namespace plat {
namespace {
SystemClock g_system;
std::atomic<Clock*> g_clock{nullptr};
}  // namespace

Clock::TimePoint SystemClock::Now() { return std::chrono::steady_clock::now(); }
void SystemClock::SleepFor(std::chrono::milliseconds ms) {
  if (ms.count() > 0) std::this_thread::sleep_for(ms);
}
std::time_t SystemClock::WallTime() { return std::time(nullptr); }

FakeClock::FakeClock() : now_(std::chrono::steady_clock::time_point{} + std::chrono::hours(1)) {
  SetDate(2026, 1, 1);
}

Clock::TimePoint FakeClock::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

void FakeClock::SleepFor(std::chrono::milliseconds ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ms.count() > 0) {
    now_ += ms;
    slept_ += ms;
  }
}

std::time_t FakeClock::WallTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return wall_;
}

void FakeClock::Advance(std::chrono::milliseconds ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ += ms;
}

void FakeClock::SetWallTime(std::time_t t) {
  std::lock_guard<std::mutex> lock(mutex_);
  wall_ = t;
}

void FakeClock::SetDate(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  SetWallTime(std::mktime(&tm));
}

std::chrono::milliseconds FakeClock::Slept() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slept_;
}

void InstallClock(Clock* clock) { g_clock.store(clock); }

Clock& CurrentClock() {
  Clock* c = g_clock.load();
  return c ? *c : g_system;
}

void SleepMs(int ms) { CurrentClock().SleepFor(std::chrono::milliseconds(ms)); }

}  // namespace plat
