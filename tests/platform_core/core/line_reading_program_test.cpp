// A program whose output lines are read on a thread of their own, and its end.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/process.h"
#include "tests/support/process_state.h"
#include "tests/support/test_support.h"

namespace {

using cantrel_test::ProcessEnded;

// The lines handed on by the reader thread.
class Collected {
 public:
  plat::LineReadingProgram::LineCallback Callback() {
    return [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(line);
    };
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  // Waits (five seconds at the most) until `count` lines have come.
  bool WaitFor(size_t count) const {
    for (int i = 0; i < 1000 && Lines().size() < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Lines().size() >= count;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

const std::filesystem::path& Sh() {
  static const std::filesystem::path sh = plat::FindProgram("sh");
  return sh;
}

}  // namespace

TEST(LineReadingProgram, HandsOnEachLineWithoutItsEndAndCutsLongOnes) {
  Collected got;
  plat::LineReadingProgram program;
  ASSERT_TRUE(program.Start(Sh(),
                            {"-c",
                             "printf 'one\\r\\ntwo\\n\\n'; head -c 5000 "
                             "/dev/zero | tr '\\0' x; echo; printf last"},
                            got.Callback()));
  ASSERT_TRUE(got.WaitFor(5));
  EXPECT_EQ(got.Lines(),
            (std::vector<std::string>{
                "one", "two", "", std::string(plat::LineReadingProgram::kMaxLine, 'x'), "last"}));
  program.Stop();
  EXPECT_FALSE(program.Running());
}

TEST(LineReadingProgram, StopEndsTheWholeGroupEvenWhenItIgnoresTheRequest) {
  Collected got;
  plat::LineReadingProgram program;
  // The script and its child ignore the termination request and keep the output open.
  ASSERT_TRUE(program.Start(Sh(), {"-c", "trap '' TERM; sleep 60 & echo $$; echo $!; wait"},
                            got.Callback()));
  ASSERT_TRUE(got.WaitFor(2));
  EXPECT_TRUE(program.Running());
  program.Stop(50);
  EXPECT_FALSE(program.Running());
  EXPECT_TRUE(ProcessEnded(got.Lines()[0]));
  for (int i = 0; i < 1000 && !ProcessEnded(got.Lines()[1]); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(ProcessEnded(got.Lines()[1])) << "the child of the program ended with it";
  const size_t seen = got.Lines().size();
  program.Stop();  // once more: nothing to do
  EXPECT_EQ(got.Lines().size(), seen);
}

TEST(LineReadingProgram, AProgramThatEndsByItselfIsNoLongerRunningAndANewStartReplacesIt) {
  Collected got;
  plat::LineReadingProgram program;
  EXPECT_FALSE(program.Running());
  program.Stop();  // nothing started: nothing happens
  EXPECT_FALSE(program.Start("/no/such/program", {}, got.Callback()));
  EXPECT_FALSE(program.Running());

  ASSERT_TRUE(program.Start(Sh(), {"-c", "echo $$; exec sleep 60"}, got.Callback()));
  ASSERT_TRUE(got.WaitFor(1));
  const std::string first = got.Lines()[0];
  ASSERT_TRUE(program.Start(Sh(), {"-c", "echo done"}, got.Callback()));
  EXPECT_TRUE(ProcessEnded(first)) << "a new start ends the one before";
  ASSERT_TRUE(got.WaitFor(2));
  EXPECT_EQ(got.Lines()[1], "done");
  for (int i = 0; i < 1000 && program.Running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(program.Running());
}
