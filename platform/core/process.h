// Outside programs: found on PATH, started with an argument array (never through a shell),
// waited for with a time limit and killed when they overrun it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plat {

// Finds a program in the absolute folders of PATH; empty when it is not there.
std::filesystem::path FindProgram(const std::string& name);

// How a program run with a time limit ended.
enum class ProgramEnd {
  kNotStarted,  // it could not be started
  kSucceeded,   // it exited with status 0
  kFailed,      // it exited with another status, or a signal ended it
  kTimedOut,    // it overran its time limit and was killed (and has ended)
};

// Runs `program` with `args`, its output thrown away, and waits at most `timeout_ms`; a program
// that takes longer is killed. When this returns, the program has ended either way.
ProgramEnd RunProgramWithLimit(const std::filesystem::path& program,
                               const std::vector<std::string>& args, int timeout_ms);
// True when it ran and exited with status 0.
bool RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                int timeout_ms);

// Starts `program` with `args` and does not wait for it (a helper thread collects its exit).
// False when it could not be started.
bool StartProgram(const std::filesystem::path& program, const std::vector<std::string>& args);

}  // namespace plat
