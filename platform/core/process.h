// Outside programs: found on PATH, started with an argument array (never through a shell),
// waited for with a time limit and killed when they overrun it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
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

// A program started without waiting whose standard output is read line by line on a thread of
// its own. It runs in a process group of its own, so that ending it also ends what it started
// (a shell script's commands). Start, Running and Stop belong to one thread, the owner's.
class LineReadingProgram {
 public:
  // Longer lines are cut to this many bytes; the rest up to the line end is dropped.
  static constexpr size_t kMaxLine = 4096;
  // Called on the reader thread with each line, without its line end ("\r\n" or "\n"); a last
  // line without a line end is handed on when the output closes.
  using LineCallback = std::function<void(const std::string& line)>;

  LineReadingProgram() = default;
  ~LineReadingProgram();  // stops the program
  LineReadingProgram(const LineReadingProgram&) = delete;
  LineReadingProgram& operator=(const LineReadingProgram&) = delete;

  // Starts `program` with `args`, its input and error output on /dev/null. One started before
  // is stopped first. False when it could not be started.
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& args,
             LineCallback onLine);
  // Whether the started program has not ended yet.
  bool Running() const;
  // Ends the program and its process group: a termination request, at most `grace_ms` for the
  // program to end, then a kill for whatever is left of the group. When this returns the reader
  // thread has ended and no further line is handed on. Nothing when none was started.
  void Stop(int grace_ms = 500);

 private:
  void ReadLines(int fd, int wake, LineCallback onLine);

  pid_t pid_ = 0;
  int wake_ = -1;  // an eventfd that tells the reader to end
  std::thread reader_;
};

}  // namespace plat
