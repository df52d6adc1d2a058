#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/core/process.h"
#include "tests/support/test_support.h"

TEST(Process, FindsProgramsOnlyInAbsolutePathFolders) {
  EXPECT_FALSE(plat::FindProgram("sh").empty());
  EXPECT_TRUE(plat::FindProgram("no-such-program-here").empty());
}

TEST(Process, RunReportsExitStatusAndKillsOverrunningPrograms) {
  const auto sh = plat::FindProgram("sh");
  ASSERT_FALSE(sh.empty());
  EXPECT_TRUE(plat::RunProgram(sh, {"-c", "exit 0"}, 5000));
  EXPECT_FALSE(plat::RunProgram(sh, {"-c", "exit 3"}, 5000));
  EXPECT_FALSE(plat::RunProgram(sh, {"-c", "sleep 30"}, 50));  // killed after its time limit
  EXPECT_FALSE(plat::RunProgram("/no/such/program", {}, 1000));
  // Arguments reach the program as they are, never through a shell.
  const auto marker = cantrel_test::TempDir() / "a b;c";
  EXPECT_TRUE(plat::RunProgram(plat::FindProgram("touch"), {marker.string()}, 5000));
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(Process, RunWithLimitTellsHowTheProgramEnded) {
  const auto sh = plat::FindProgram("sh");
  ASSERT_FALSE(sh.empty());
  struct Case {
    const char* script;
    int limit_ms;
    plat::ProgramEnd end;
  } cases[] = {
      {"exit 0", 5000, plat::ProgramEnd::kSucceeded},
      {"exit 1", 5000, plat::ProgramEnd::kFailed},
      {"kill -9 $$", 5000, plat::ProgramEnd::kFailed},
      {"sleep 30", 100, plat::ProgramEnd::kTimedOut},
      {"sleep 0.2; exit 0", 5000, plat::ProgramEnd::kSucceeded},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::RunProgramWithLimit(sh, {"-c", c.script}, c.limit_ms), c.end) << c.script;
  EXPECT_EQ(plat::RunProgramWithLimit("/no/such/program", {}, 1000),
            plat::ProgramEnd::kNotStarted);
  // A killed program has ended when the call returns: what it would have written never comes.
  const auto late = cantrel_test::TempDir() / "late";
  EXPECT_EQ(plat::RunProgramWithLimit(sh, {"-c", "sleep 0.3; touch '" + late.string() + "'"}, 50),
            plat::ProgramEnd::kTimedOut);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(std::filesystem::exists(late));
}

TEST(Process, StartDoesNotWait) {
  EXPECT_TRUE(plat::StartProgram(plat::FindProgram("sh"), {"-c", "exit 0"}));
  EXPECT_FALSE(plat::StartProgram("/no/such/program", {}));
}
