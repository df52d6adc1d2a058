#include "platform/core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/core/files.h"

namespace plat {
namespace fs = std::filesystem;

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor drops the lock
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const fs::path& folder, bool* held,
                                                    std::string* why) {
  if (held) *held = false;
  const fs::path file = folder / "cantrel.lock";
  // Opening an existing lock file changes nothing in it; the file stays when the program ends
  // (removing it would race with the next start).
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (why) *why = WriteFailureText(std::error_code(errno, std::generic_category()));
    return nullptr;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) {
      if (held) *held = true;
      if (why) *why = AlreadyRunningText();
    } else if (why) {
      *why = WriteFailureText(std::error_code(err, std::generic_category()));
    }
    return nullptr;
  }
  // The holder's process id, for whoever looks (never read by the program).
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    ssize_t ignored = ::pwrite(fd, pid.data(), pid.size(), 0);
    (void)ignored;
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd, file));
}

std::string AlreadyRunningText() {
  return "Cantrelはすでに起動しています。\n"
         "同時に二つは起動できません。起動しているCantrelをお使いください。";
}

}  // namespace plat
