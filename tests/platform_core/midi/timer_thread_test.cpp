#include "platform/core/timer_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using namespace std::chrono;
using plat::Clock;

int64_t MsSince(Clock::TimePoint start, Clock::TimePoint t) {
  return duration_cast<milliseconds>(t - start).count();
}

// The callback's runs happen at the start plus the running sum of the delays it returned,
// counted from due time to due time (no drift), on the fake clock of the tests.
TEST(TimerThread, RunsAtAbsoluteDueTimesOnFakeClock) {
  auto start = cantrel_test::Clock().Now();
  const std::vector<int64_t> delays = {7, 0, 250, 5, 1, 0, 0, 33};
  std::vector<int64_t> seen;
  size_t i = 0;
  plat::TimerThread t;
  ASSERT_TRUE(t.Start(2, [&]() -> int64_t {
    seen.push_back(MsSince(start, cantrel_test::Clock().Now()));
    return i < delays.size() ? delays[i++] : -1;
  }));
  t.Join();
  std::vector<int64_t> want = {2};
  for (int64_t d : delays) want.push_back(want.back() + d);
  EXPECT_EQ(seen, want);
  EXPECT_FALSE(t.Active());
}

TEST(TimerThread, DueTimeIsVisibleInsideTheCallback) {
  plat::TimerThread t;
  std::vector<Clock::TimePoint> dues, nows;
  int n = 0;
  t.Start(10, [&]() -> int64_t {
    dues.push_back(plat::CurrentTimerDue());
    nows.push_back(cantrel_test::Clock().Now());
    return ++n < 3 ? 20 : -1;
  });
  t.Join();
  EXPECT_EQ(dues, nows);
  EXPECT_EQ(plat::CurrentTimerDue(), Clock::TimePoint{});
}

// A delay of thousands of years (a long gap at a crawling tempo) is a wait like any other: the
// due time does not overflow into the past.
TEST(TimerThread, HugeDelayWaitsInsteadOfRunningAtOnce) {
  plat::ManualTimerClock clock;
  std::atomic<int> runs{0};
  plat::TimerThread t;
  ASSERT_TRUE(t.Start(0, [&]() -> int64_t {
    ++runs;
    return int64_t(0x7FFFFFFF) * 60000;
  }, &clock));
  ASSERT_TRUE(clock.WaitForWaiter(seconds(10)));
  EXPECT_EQ(runs.load(), 1);
  clock.Advance(hours(24 * 365));
  ASSERT_TRUE(clock.WaitForWaiter(seconds(10)));
  EXPECT_EQ(runs.load(), 1);
  t.Cancel();
  t.Join();
}

// On a clock moved by hand, nothing runs before its time; Cancel wakes the waiting thread at once.
TEST(TimerThread, ManualClockAndCancelWakeAtOnce) {
  plat::ManualTimerClock clock;
  std::atomic<int> runs{0};
  plat::TimerThread t;
  ASSERT_TRUE(t.Start(100, [&]() -> int64_t {
    ++runs;
    return 1000;
  }, &clock));
  Clock::TimePoint due;
  // Wait until the thread is waiting (bounded real time; normally immediate).
  for (int k = 0; k < 2000 && !clock.NextDue(&due); ++k) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(clock.NextDue(&due));
  EXPECT_EQ(MsSince(clock.Now(), due), 100);
  clock.Advance(milliseconds(99));
  EXPECT_EQ(runs.load(), 0);
  ASSERT_TRUE(clock.AdvanceToNextDue());  // 100: first run, then waits for 1100
  for (int k = 0; k < 2000 && runs.load() == 0; ++k) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(runs.load(), 1);
  t.Cancel();
  t.Join();  // returns without the clock moving
  EXPECT_EQ(runs.load(), 1);
  EXPECT_FALSE(t.Active());
}

TEST(TimerThread, CancelFromInsideTheCallbackAndRestart) {
  plat::TimerThread t;
  int runs = 0;
  ASSERT_TRUE(t.Start(0, [&]() -> int64_t {
    ++runs;
    t.Cancel();
    return 5;
  }));
  EXPECT_FALSE(t.Start(0, [] { return int64_t{-1}; })) << "a second thread while one exists";
  t.Join();
  EXPECT_EQ(runs, 1);
  // After the join the same object can run again.
  ASSERT_TRUE(t.Start(0, [&]() -> int64_t { return ++runs < 3 ? 0 : -1; }));
  t.Join();
  EXPECT_EQ(runs, 3);
}

TEST(TimerThread, RealClockWhenTheSystemClockIsInForce) {
  plat::InstallClock(nullptr);
  EXPECT_NE(dynamic_cast<plat::SteadyTimerClock*>(&plat::CurrentTimerClock()), nullptr);
  plat::InstallClock(&cantrel_test::Clock());
  EXPECT_EQ(dynamic_cast<plat::SteadyTimerClock*>(&plat::CurrentTimerClock()), nullptr);
  plat::ManualTimerClock manual;
  plat::InstallTimerClock(&manual);
  EXPECT_EQ(&plat::CurrentTimerClock(), &manual);
  plat::InstallTimerClock(nullptr);
}

}  // namespace
