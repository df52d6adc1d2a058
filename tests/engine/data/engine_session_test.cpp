// The engine's door: one composition at a time. Sessions nest on one thread; another thread
// waits for the door, or, trying it, finds it closed, until the holder leaves.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/engine_session.h"
#include "tests/engine/door_holder.h"

namespace {

TEST(EngineSession, SessionsNestOnOneThread) {
  EngineSession outer;
  ASSERT_TRUE(outer.owns());
  {
    EngineSession inner;
    EXPECT_TRUE(inner.owns());
    EngineSession tried(std::try_to_lock);
    EXPECT_TRUE(tried.owns());
  }
  EXPECT_TRUE(outer.owns());
}

TEST(EngineSession, AnotherThreadFindsTheDoorClosedUntilTheHolderLeaves) {
  engine_test::DoorHolder holder;
  {
    EngineSession tried(std::try_to_lock);
    EXPECT_FALSE(tried.owns());
  }
  holder.Leave();
  EngineSession tried(std::try_to_lock);
  EXPECT_TRUE(tried.owns());
}

TEST(EngineSession, AWaitingSessionEntersOnlyAfterTheHolderHasLeft) {
  std::atomic<bool> left{false};
  bool entered_after_leaving = false;
  std::thread waiter;
  {
    engine_test::DoorHolder holder;
    waiter = std::thread([&] {
      EngineSession engine;
      entered_after_leaving = left.load();
    });
    left = true;
    holder.Leave();
  }
  waiter.join();
  EXPECT_TRUE(entered_after_leaving);
}

}  // namespace
