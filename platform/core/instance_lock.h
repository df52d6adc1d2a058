// One copy of the program per user data folder. Two copies would each write the working song
// and the settings at exit, and the last one would silently undo the other's work; so the first
// copy holds a lock on a file in the folder for as long as it runs, and a second start finds it
// taken, says so and ends without touching anything. The system drops the lock when the process
// ends, however it ends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace plat {

class InstanceLock {
 public:
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock of `folder` (its file "cantrel.lock"). Null when another process (or another
  // lock object) holds it (*held = true) or the lock file cannot be made (*held = false, *why
  // says why). A refused lock writes nothing.
  static std::unique_ptr<InstanceLock> Acquire(const std::filesystem::path& folder,
                                               bool* held = nullptr, std::string* why = nullptr);

  const std::filesystem::path& File() const { return file_; }

 private:
  InstanceLock(int fd, std::filesystem::path file) : fd_(fd), file_(std::move(file)) {}
  int fd_;
  std::filesystem::path file_;
};

// The message of a second start, CP932.
std::string AlreadyRunningText();

}  // namespace plat
