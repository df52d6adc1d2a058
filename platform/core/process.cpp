#include "platform/core/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

extern char** environ;

namespace plat {
namespace {

// Spawns the program with its output sent to /dev/null; 0 when it could not be started.
pid_t Spawn(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::string prog = program.string();
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  argv.push_back(prog.data());
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, prog.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

void Reap(pid_t pid, int* status) {
  while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::filesystem::path FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::filesystem::path dir = dirs.substr(start, end - start);
    // Only absolute folders: an empty or relative entry would run a program of the current folder.
    std::filesystem::path candidate = dir / name;
    if (dir.is_absolute() && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

namespace {

// Waits until the child has ended or the deadline has passed; true when it has ended (status in
// *status). A process file descriptor lets poll() wait without looking again and again; where the
// kernel has none, the child is looked at every few milliseconds.
bool WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, int* status) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  while (true) {
    const pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) break;  // not our child any more: nothing to wait for
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      if (pidfd >= 0) close(pidfd);
      return false;
    }
    if (pidfd >= 0) {
      struct pollfd p = {pidfd, POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
    } else {
      const struct timespec step = {0, 5 * 1000 * 1000};
      nanosleep(&step, nullptr);
    }
  }
  if (pidfd >= 0) close(pidfd);
  return true;
}

}  // namespace

ProgramEnd RunProgramWithLimit(const std::filesystem::path& program,
                               const std::vector<std::string>& args, int timeout_ms) {
  const pid_t pid = Spawn(program, args);
  if (pid == 0) return ProgramEnd::kNotStarted;
  int status = 0;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  if (!WaitUntil(pid, deadline, &status)) {
    kill(pid, SIGKILL);
    Reap(pid, &status);
    return ProgramEnd::kTimedOut;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ProgramEnd::kSucceeded
                                                       : ProgramEnd::kFailed;
}

bool RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                int timeout_ms) {
  return RunProgramWithLimit(program, args, timeout_ms) == ProgramEnd::kSucceeded;
}

bool StartProgram(const std::filesystem::path& program, const std::vector<std::string>& args) {
  const pid_t pid = Spawn(program, args);
  if (pid == 0) return false;
  std::thread([pid] {
    int status = 0;
    Reap(pid, &status);
  }).detach();
  return true;
}

}  // namespace plat
