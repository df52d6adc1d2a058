// Whether a process of the test's own making has ended, read from /proc.
#pragma once

#include <fstream>
#include <string>

namespace cantrel_test {

// True when the process is gone or only waits to be collected (a zombie).
inline bool ProcessEnded(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string text;
  if (!std::getline(in, text)) return true;
  const size_t close = text.rfind(')');
  return close == std::string::npos || text.compare(close, 4, ") Z ") == 0;
}

}  // namespace cantrel_test
