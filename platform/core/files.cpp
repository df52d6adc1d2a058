#include "platform/core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace plat {
namespace fs = std::filesystem;
namespace {

void SetError(std::error_code* error, int err) {
  if (error) *error = std::error_code(err, std::generic_category());
}

template <typename Buffer>
bool ReadInto(const fs::path& path, Buffer& out, std::error_code* error) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetError(error, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetError(error, S_ISDIR(st.st_mode) ? EISDIR : errno ? errno : EINVAL);
    ::close(fd);
    return false;
  }
  out.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (true) {
    if (done == out.size()) out.resize(out.size() + 65536);  // the file grew, or /proc-like
    ssize_t n = ::read(fd, &out[done], out.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, errno);
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  ::close(fd);
  if (error) error->clear();
  return true;
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& out, std::error_code* error) {
  return ReadInto(path, out, error);
}

bool ReadWholeFile(const fs::path& path, std::string& out, std::error_code* error) {
  return ReadInto(path, out, error);
}

bool WriteFileAtomic(const fs::path& path, const void* data, size_t size, std::error_code* error) {
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::random_device rd;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(rd()));
  fs::path tmp = dir / (path.filename().string() + suffix);

  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetError(error, errno);
    return false;
  }
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      SetError(error, err);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  // The descriptor is closed whether or not the data reached the disk.
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (synced != 0 || closed != 0) {
    ::unlink(tmp.c_str());
    SetError(error, synced != 0 ? synced : closed);
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    SetError(error, err);
    return false;
  }
  if (error) error->clear();
  return true;
}

int64_t FileSize(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace plat
