#include <gtest/gtest.h>

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

TEST(Process, StartDoesNotWait) {
  EXPECT_TRUE(plat::StartProgram(plat::FindProgram("sh"), {"-c", "exit 0"}));
  EXPECT_FALSE(plat::StartProgram("/no/such/program", {}));
}
