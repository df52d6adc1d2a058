// Files that exist but may not be read, for the tests of what a reader does with them. Tests run
// as root, who reads past file permissions; the work is therefore done on a thread of its own that
// has given up the two capabilities that allow it (capabilities belong to a thread on Linux, so
// the rest of the test program keeps them).
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace cantrel_test {

// A file of a few bytes at `path` that nobody may read (mode 000).
inline std::filesystem::path UnreadableFile(const std::filesystem::path& path) {
  std::ofstream(path, std::ios::binary) << "MThd";
  std::filesystem::permissions(path, std::filesystem::perms::none);
  return path;
}

// Runs `work` on a thread that file permissions bind. False (nothing run) when the thread could
// not give up root's permission to read past them.
inline bool RunBoundByPermissions(const std::function<void()>& work) {
  bool bound = false;
  std::thread thread([&] {
    if (geteuid() == 0) {
      __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
      __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
      if (syscall(SYS_capget, &header, data) != 0) return;
      for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[cap / 32].effective &= ~(1u << (cap % 32));
      if (syscall(SYS_capset, &header, data) != 0) return;
    }
    bound = true;
    work();
  });
  thread.join();
  return bound;
}

}  // namespace cantrel_test
