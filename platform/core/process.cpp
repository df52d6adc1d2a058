#include "platform/core/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/eventfd.h>
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

// A program's argument vector: its path, the arguments, a null; the texts are kept here.
class ArgumentVector {
 public:
  ArgumentVector(const std::filesystem::path& program, const std::vector<std::string>& args)
      : texts_(1, program.string()) {
    texts_.insert(texts_.end(), args.begin(), args.end());
    for (std::string& t : texts_) pointers_.push_back(t.data());
    pointers_.push_back(nullptr);
  }
  const char* program() const { return texts_[0].c_str(); }
  char* const* argv() const { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

// Spawns the program with its output sent to /dev/null; 0 when it could not be started.
pid_t Spawn(const std::filesystem::path& program, const std::vector<std::string>& args) {
  const ArgumentVector argv(program, args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv.program(), &actions, nullptr, argv.argv(), environ);
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

// Whether the child has ended; it is left unreaped, so its process id (and its group's) stays
// ours until the owner collects it.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) < 0) {
    if (errno != EINTR) return true;  // not our child any more
  }
  return info.si_pid == pid;
}

// Waits until the child has ended or the deadline has passed, leaving it unreaped; true when it
// has ended. A process file descriptor lets poll() wait without looking again and again; where the
// kernel has none, the child is looked at every few milliseconds.
bool WaitForEnd(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  bool ended = HasEnded(pid);
  while (!ended) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (pidfd >= 0) {
      struct pollfd p = {pidfd, POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
    } else {
      const struct timespec step = {0, 5 * 1000 * 1000};
      nanosleep(&step, nullptr);
    }
    ended = HasEnded(pid);
  }
  if (pidfd >= 0) close(pidfd);
  return ended;
}

// As WaitForEnd, and an ended child is collected (its status in *status).
bool WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, int* status) {
  if (!WaitForEnd(pid, deadline)) return false;
  Reap(pid, status);
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

namespace {

// Spawns the program in a process group of its own with its output on the pipe's write end;
// 0 when it could not be started. Signals the program should meet in their default state
// (this process may ignore some of them) are reset for it.
pid_t SpawnWithOutput(const std::filesystem::path& program, const std::vector<std::string>& args,
                      int outFd) {
  const ArgumentVector argv(program, args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                      POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv.program(), &actions, &attr, argv.argv(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

}  // namespace

LineReadingProgram::~LineReadingProgram() { Stop(); }

bool LineReadingProgram::Start(const std::filesystem::path& program,
                               const std::vector<std::string>& args, LineCallback onLine) {
  Stop();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const int wake = eventfd(0, EFD_CLOEXEC);
  const pid_t pid = wake < 0 ? 0 : SpawnWithOutput(program, args, fds[1]);
  close(fds[1]);
  if (pid == 0) {
    close(fds[0]);
    if (wake >= 0) close(wake);
    return false;
  }
  pid_ = pid;
  wake_ = wake;
  reader_ = std::thread(&LineReadingProgram::ReadLines, this, fds[0], wake, std::move(onLine));
  return true;
}

bool LineReadingProgram::Running() const { return pid_ != 0 && !HasEnded(pid_); }

void LineReadingProgram::Stop(int grace_ms) {
  if (pid_ != 0) {
    kill(-pid_, SIGTERM);
    WaitForEnd(pid_, std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(std::max(grace_ms, 0)));
    // The group's id is still ours while its leader is unreaped: what is left of it goes.
    kill(-pid_, SIGKILL);
    int status = 0;
    Reap(pid_, &status);
    pid_ = 0;
  }
  if (reader_.joinable()) {
    const uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) {
      // An eventfd write fails only on overflow, when the reader has been told already.
    }
    reader_.join();
  }
  if (wake_ >= 0) close(wake_);
  wake_ = -1;
}

void LineReadingProgram::ReadLines(int fd, int wake, LineCallback onLine) {
  std::string line;
  char buffer[1024];
  while (true) {
    struct pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    if (poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p[1].revents != 0) break;  // told to end: a partial line is not an answer
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (!line.empty() && onLine) onLine(line);
      break;
    }
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (onLine) onLine(line);
        line.clear();
      } else if (line.size() < kMaxLine) {
        line += c;  // past kMaxLine the rest of the line is dropped
      }
    }
  }
  close(fd);
}

}  // namespace plat
