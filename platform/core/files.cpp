#include "platform/core/files.h"

#include "platform/core/folders.h"
#include "platform/core/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
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

namespace {

// The file a path names, following symbolic links (relative ones from the link's folder); the
// path itself when it is no link. A dangling link gives the file it would create. Empty for a
// loop of links.
fs::path ThroughLinks(const fs::path& path) {
  fs::path p = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::error_code ec;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) return p;
    p = target.is_absolute() ? target : (p.parent_path() / target).lexically_normal();
  }
  return fs::path();
}

// Flushes the folder so that a rename in it survives a crash.
void SyncFolder(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames the finished temporary file over `path` (removing it on failure); `flush` flushes the
// folder after.
bool RenameInto(const fs::path& tmp, const fs::path& path, std::error_code* error, bool flush) {
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    SetError(error, err);
    return false;
  }
  if (flush) {
    const fs::path dir = path.parent_path();
    SyncFolder(dir.empty() ? fs::path(".") : dir);
  }
  if (error) error->clear();
  return true;
}

// Whether a file lies in our temp folder, whose files are all made anew when needed.
bool InTempFolder(const fs::path& path) {
  return path.parent_path().lexically_normal() == TempFolder().lexically_normal();
}

// Writes the file whole under a temporary name and renames it into place; `flush` first flushes
// the file, and the folder after the rename.
bool WriteWhole(const fs::path& requested, const FilePieces& pieces, std::error_code* error,
                bool flush) {
  const fs::path path = ThroughLinks(requested);
  if (path.empty()) {
    SetError(error, ELOOP);
    return false;
  }
  const fs::path tmp = TemporaryNameFor(path);

  // A replaced file keeps its permission bits; a new one gets what the umask allows.
  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetError(error, errno);
    return false;
  }
  if (replacing) ::fchmod(fd, old.st_mode & 07777);
  auto fail = [&](int err) {
    ::close(fd);
    ::unlink(tmp.c_str());
    SetError(error, err);
    return false;
  };
  const void* data = nullptr;
  size_t size = 0;
  while (true) {
    const int more = pieces(&data, &size);
    if (more < 0) return fail(EIO);
    if (more == 0) break;
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
      ssize_t n = ::write(fd, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        return fail(errno);
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  // The descriptor is closed whether or not the data reached the disk.
  const int synced = !flush || ::fsync(fd) == 0 ? 0 : errno;
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (synced != 0 || closed != 0) {
    ::unlink(tmp.c_str());
    SetError(error, synced != 0 ? synced : closed);
    return false;
  }
  return RenameInto(tmp, path, error, flush);
}

// The pieces of a file held in one buffer.
FilePieces OnePiece(const void* data, size_t size) {
  auto given = std::make_shared<bool>(false);
  return [=](const void** piece, size_t* length) {
    if (*given) return 0;
    *given = true;
    *piece = data;
    *length = size;
    return 1;
  };
}

}  // namespace

bool WriteFileAtomicFrom(const fs::path& path, const FilePieces& pieces, std::error_code* error) {
  return WriteWhole(path, pieces, error, !InTempFolder(path));
}

bool WriteScratchFile(const fs::path& path, const void* data, size_t size,
                      std::error_code* error) {
  return WriteWhole(path, OnePiece(data, size), error, false);
}

bool WriteFileAtomic(const fs::path& path, const void* data, size_t size,
                     std::error_code* error) {
  return WriteFileAtomicFrom(path, OnePiece(data, size), error);
}

fs::path TemporaryNameFor(const fs::path& path) {
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::random_device rd;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(rd()));
  return dir / (path.filename().string() + suffix);
}

bool CommitTemporary(const fs::path& tmp, const fs::path& path, std::error_code* error) {
  return RenameInto(tmp, path, error, true);
}

fs::path NewTempFileName(const std::string& stem, const std::string& extension) {
  static std::atomic<unsigned> serial{0};
  const fs::path folder = TempFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder / (stem + "-" + std::to_string(::getpid()) + "-" +
                   std::to_string(serial.fetch_add(1)) + extension);
}

std::string WriteFailureText(const std::error_code& error) {
  if (error.category() == std::generic_category() || error.category() == std::system_category()) {
    switch (error.value()) {
      case ENOSPC: return "ディスクの空き容量が足りません。";
      case EDQUOT: return "ディスクの使用量の上限に達しています。";
      case EACCES:
      case EPERM: return "この場所に書き込む権限がありません。";
      case EROFS: return "読み取り専用の場所には書き込めません。";
      case ENOENT:
      case ENOTDIR: return "保存先のフォルダがありません。";
      case EISDIR: return "同じ名前のフォルダがあります。";
      case ENAMETOOLONG: return "ファイル名が長すぎます。";
      case ELOOP: return "シンボリックリンクが循環しています。";
      case EIO: return "ディスクの読み書きでエラーが発生しました。";
      case EMFILE:
      case ENFILE: return "開いているファイルが多すぎます。";
      case EFBIG: return "ファイルが大きすぎます。";
      default: break;
    }
  }
  if (!error) return std::string();
  // The system's text is plain ASCII in the C locale, which CP932 keeps as it is.
  return "書き込めませんでした（" + error.message() + "）。";
}

bool IsInterruptedSaveName(const std::string& filename, std::string* base) {
  // "<name>.tmp" + 8 lower-case hex digits, <name> not empty.
  const size_t n = filename.size();
  if (n < 13 || filename.compare(n - 12, 4, ".tmp") != 0) return false;
  for (size_t i = n - 8; i < n; ++i) {
    const char c = filename[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  if (base) *base = filename.substr(0, n - 12);
  return true;
}

int RemoveInterruptedSaves(const fs::path& folder, const std::vector<std::string>& names) {
  int removed = 0;
  std::error_code ec;
  std::vector<fs::path> victims;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string base;
    if (!IsInterruptedSaveName(it->path().filename().string(), &base)) continue;
    if (!names.empty() && std::find(names.begin(), names.end(), base) == names.end()) continue;
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec) || it->is_symlink(type_ec)) continue;
    victims.push_back(it->path());
  }
  for (const fs::path& p : victims) {
    if (::unlink(p.c_str()) == 0) ++removed;
  }
  return removed;
}

int64_t FileSize(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace plat
