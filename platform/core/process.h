// Outside programs: found on PATH, started with an argument array (never through a shell),
// waited for with a time limit and killed when they overrun it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plat {

// Finds a program in the absolute folders of PATH; empty when it is not there.
std::filesystem::path FindProgram(const std::string& name);

// Runs `program` with `args`, its output thrown away, and waits at most `timeout_ms`; a program
// that takes longer is killed. True when it ran and exited with status 0.
bool RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                int timeout_ms);

// Starts `program` with `args` and does not wait for it (a helper thread collects its exit).
// False when it could not be started.
bool StartProgram(const std::filesystem::path& program, const std::vector<std::string>& args);

}  // namespace plat
