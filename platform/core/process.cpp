#include "platform/core/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    const std::filesystem::path candidate = dir / name;
    if (dir.is_absolute() && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

bool RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                int timeout_ms) {
  const pid_t pid = Spawn(program, args);
  if (pid == 0) return false;
  // A child process gives no handle to wait on with a time limit: look every few milliseconds.
  int status = 0;
  for (int waited_ms = 0;; waited_ms += 5) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (waited_ms >= timeout_ms) {
      kill(pid, SIGKILL);
      Reap(pid, &status);
      return false;
    }
    const struct timespec step = {0, 5 * 1000 * 1000};
    nanosleep(&step, nullptr);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
