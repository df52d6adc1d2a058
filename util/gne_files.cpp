#include "util/gne_files.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/core/encoding.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace fs = std::filesystem;

namespace {

std::string ShownPath(const fs::path& path) { return plat::Utf8ToCp932(path.string()); }

// The open failure of a file: ends the program for a required file, else shows the same box.
// `why` (in words, may be empty) goes on a line of its own.
void ReportOpenFailure(const fs::path& path, GneFileUse use, const std::string& why = {}) {
  const std::string shown = ShownPath(path);
  if (use == GneFileUse::kRequired) {
    GneErrorMsg(kGneFileOpenFailed, shown.c_str(), why);
  } else {
    GneReportError(kGneFileOpenFailed, shown.c_str(), why);
  }
}

// "Data too large" and the hint that deleting the file may help.
void ReportTooLarge(const fs::path& path) {
  const std::string shown = ShownPath(path);
  GneReportError(kGneDataTooLarge);
  GneMessageBox(FormatBoxText("%sを削除すると問題が解決することがあります。", shown.c_str()));
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file for reading; nullptr for folders and files that do not open.
FilePtr OpenForReading(const fs::path& path, int64_t* size = nullptr) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return nullptr;
  struct stat st;
  if (fstat(fileno(file.get()), &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
  if (size != nullptr) *size = static_cast<int64_t>(st.st_size);
  return file;
}

size_t ReadUpTo(std::FILE* file, void* buffer, size_t n) {
  size_t total = 0;
  while (total < n) {
    const size_t got = std::fread(static_cast<char*>(buffer) + total, 1, n - total, file);
    if (got == 0) break;
    total += got;
  }
  return total;
}

// A file dialog of a kind with its default extension and filter (null = none).
plat::FileDialogRequest DialogRequest(plat::FileDialogRequest::Kind kind,
                                      const char* default_extension, const char* filter) {
  plat::FileDialogRequest request;
  request.kind = kind;
  request.default_extension = default_extension != nullptr ? default_extension : "";
  request.filter = filter != nullptr ? filter : "";
  return request;
}

// Runs a file dialog; 1 with the chosen path (and filter row) in the outputs, 0 when cancelled.
int RunDialog(const plat::FileDialogRequest& request, fs::path* out, int* filter_index) {
  const plat::FileDialogResult result = plat::CurrentFileDialogs().RunFileDialog(request);
  if (!result.chosen) return 0;
  if (out != nullptr) *out = result.path;
  if (filter_index != nullptr) *filter_index = result.filter_index;
  return 1;
}

}  // namespace

// ---- Memory ----

void* GneGlobalAllocZero(size_t bytes) {
  void* block = std::calloc(bytes != 0 ? bytes : 1, 1);
  if (block == nullptr) GneErrorMsg(kGneOutOfMemory);
  return block;
}

void GneGlobalFree(void* block) { std::free(block); }

// ---- Files ----

int GneFileExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec) ? 1 : 0;
}

int GneCanOpenFile(const fs::path& path) { return OpenForReading(path) ? 1 : 0; }

int GneFileMustExist(const fs::path& path) {
  if (GneCanOpenFile(path)) return 1;
  GneReportError(kGneFileNotFound, ShownPath(path).c_str());
  return 0;
}

uint32_t GneGetFileSize(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return 0;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) return 0;
  if (size > 0xFFFFFFFFu) GneReportError(kGneFileSizeError, ShownPath(path).c_str());
  return static_cast<uint32_t>(size & 0xFFFFFFFFu);
}

int GneReadFile(const fs::path& path, void* buffer, size_t n, GneFileUse use) {
  FilePtr file = OpenForReading(path);
  if (!file) {
    ReportOpenFailure(path, use);
    return 0;
  }
  const size_t got = ReadUpTo(file.get(), buffer, n);
  if (got < n) {
    ReportTooLarge(path);
    return 0;
  }
  return 1;
}

int GneReadWholeFile(const fs::path& path, void* buffer, int* count, size_t n, GneFileUse use) {
  if (count != nullptr) *count = 0;
  int64_t size = 0;
  FilePtr file = OpenForReading(path, &size);
  if (!file) {
    GneMessageBox(ShownPath(path));
    ReportOpenFailure(path, use);
    return 0;
  }
  const size_t got = ReadUpTo(file.get(), buffer, n);
  if (count != nullptr) *count = static_cast<int>(got);
  // The file holds more than the caller can take: its end would be lost.
  if (got == n && (size > static_cast<int64_t>(n) || std::fgetc(file.get()) != EOF)) {
    ReportTooLarge(path);
    return 0;
  }
  return 1;
}

int GneReadFileOrZero(const fs::path& path, void* buffer, size_t n) {
  FilePtr file = OpenForReading(path);
  if (!file) return 0;
  if (ReadUpTo(file.get(), buffer, n) < n) {
    std::memset(buffer, 0, n);
    return 0;
  }
  return 1;
}

int GneWriteFileQuietly(const fs::path& path, const void* data, size_t n, std::error_code* error) {
  if (path.empty()) {
    if (error != nullptr) *error = std::make_error_code(std::errc::no_such_file_or_directory);
    return 0;
  }
  return plat::WriteFileAtomic(path, data, n, error) ? 1 : 0;
}

int GneWriteFile(const fs::path& path, const void* data, size_t n, GneFileUse use) {
  std::error_code error;
  if (GneWriteFileQuietly(path, data, n, &error)) return 1;
  ReportOpenFailure(path, use, plat::WriteFailureText(error));
  return 0;
}

int GneCompareFiles(const fs::path& a, const fs::path& b, size_t n) {
  std::vector<uint8_t> da(n), db(n);
  FilePtr fa = OpenForReading(a);
  FilePtr fb = OpenForReading(b);
  if (!fa || !fb) return 0;
  const size_t ca = ReadUpTo(fa.get(), da.data(), n);
  const size_t cb = ReadUpTo(fb.get(), db.data(), n);
  return ca == cb && std::memcmp(da.data(), db.data(), ca) == 0 ? 1 : 0;
}

int GneDeleteFiles(const fs::path& pattern) {
  const fs::path folder = pattern.has_parent_path() ? pattern.parent_path() : fs::path(".");
  const std::string name = pattern.filename().string();
  std::error_code ec;
  std::vector<fs::path> victims;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) && !it->is_symlink(ec)) continue;
    if (fnmatch(name.c_str(), it->path().filename().c_str(), FNM_PERIOD) == 0) victims.push_back(it->path());
  }
  int deleted = 0;
  for (const fs::path& p : victims) {
    if (fs::remove(p, ec)) ++deleted;
  }
  return deleted;
}

void GneGetFileTimeText(const fs::path& path, char* out) {
  struct stat st;
  struct tm t;
  if (path.empty() || stat(path.c_str(), &st) != 0 || gmtime_r(&st.st_mtime, &t) == nullptr) {
    std::strcpy(out, "0000/00/00 00:00:00");
    return;
  }
  char text[80];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", (t.tm_year + 1900) % 10000,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  std::memcpy(out, text, 19);
  out[19] = 0;
}

// ---- Dialogs ----

int GneOpenFileDialog(const char* default_extension, const char* filter, fs::path* out,
                      const fs::path* initial_file, int* filter_index, const fs::path* initial_folder) {
  plat::FileDialogRequest request =
      DialogRequest(plat::FileDialogRequest::Kind::Open, default_extension, filter);
  request.must_exist = true;
  if (initial_file != nullptr) request.initial_file = *initial_file;
  if (initial_folder != nullptr && (initial_file == nullptr || initial_file->empty() ||
                                    !GneCanOpenFile(*initial_file))) {
    request.initial_folder = *initial_folder;
  }
  return RunDialog(request, out, filter_index);
}

int GneSaveFileDialog(fs::path* out, const char* default_extension, const char* filter, int* filter_index,
                      const fs::path* initial_file) {
  plat::FileDialogRequest request =
      DialogRequest(plat::FileDialogRequest::Kind::Save, default_extension, filter);
  request.confirm_overwrite = true;
  if (filter_index != nullptr) request.filter_index = *filter_index;
  if (initial_file != nullptr) request.initial_file = *initial_file;
  return RunDialog(request, out, filter_index);
}

int GneOpenAndReadFile(fs::path* out, const char* default_extension, const char* filter, void* buffer,
                       size_t capacity, int* count) {
  if (count != nullptr) *count = 0;
  fs::path chosen;
  if (!GneOpenFileDialog(default_extension, filter, &chosen)) return 0;
  if (out != nullptr) *out = chosen;
  const uint32_t size = GneGetFileSize(chosen);
  if (size > capacity) {
    GneReportError(kGneDataTooLarge, ShownPath(chosen).c_str());
    return 0;
  }
  return GneReadWholeFile(chosen, buffer, count, size, GneFileUse::kUserChosen);
}

int GneSaveFileAs(fs::path* out, const char* default_extension, const char* filter, const void* data,
                  size_t n) {
  const plat::FileDialogRequest request =
      DialogRequest(plat::FileDialogRequest::Kind::SaveNewStyle, default_extension, filter);
  const plat::FileDialogResult result = plat::CurrentFileDialogs().RunFileDialog(request);
  if (!result.chosen) return 0;
  if (out != nullptr) *out = result.path;
  return GneWriteFile(result.path, data, n, GneFileUse::kUserChosen);
}

int GneChooseFolder(const fs::path* initial_folder, fs::path* out, const std::string& title) {
  plat::FolderDialogRequest request;
  if (initial_folder != nullptr) request.initial_folder = *initial_folder;
  request.title = title;
  const plat::FolderDialogResult result = plat::CurrentFileDialogs().RunFolderDialog(request);
  if (!result.chosen) return 2;
  if (out != nullptr) *out = result.path;
  return 1;
}

int GneDialogErrorMsg(uint32_t code) {
  return GneErrorBox(FormatBoxText("GNWN%08X %s", code, CommonDialogErrorText(code, false)));
}

// ---- Folders ----

void GneGetModuleFolder(fs::path* out) { *out = plat::ProgramFolder(); }

std::string GneModuleFolderOf(const std::string& program_file) {
  std::vector<char> folder(program_file.size() + 260, 0);
  GneGetFolder(folder.data(), program_file.c_str());
  std::string text(folder.data());
  // Only a folder named exactly "Release" counts ("Releases" or "Release-1" do not).
  for (size_t at = 0; at + 8 <= text.size(); ++at) {
    const bool separator = text[at] == '\\' || text[at] == '/';
    const bool ends = at + 8 == text.size() || text[at + 8] == '\\' || text[at + 8] == '/';
    if (separator && ends && text.compare(at + 1, 7, "Release") == 0) {
      text.resize(at);
      break;
    }
  }
  return text;
}

static fs::path JoinName(fs::path base, const std::string& name) {
  std::string part;
  for (char c : name + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty()) base /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  return base;
}

int GneCreateFolders(const fs::path& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec) ? 1 : 0;
}

void GneGetAppDataFolder(fs::path* out, const std::string& name) {
  *out = JoinName(plat::UserDataFolder(), name);
  if (!GneFileExists(*out)) GneCreateFolders(*out);
}

void GneGetCommonDocumentsFolder(fs::path* out, const std::string& name) {
  *out = JoinName(plat::UserDataFolder() / "Documents", name);
  if (!GneFileExists(*out)) GneCreateFolders(*out);
}

void GneGetSpecialFolder(fs::path* out, int folder_id) {
  if (folder_id == 26) {
    *out = plat::UserDataFolder();
  } else if (folder_id == 46) {
    *out = plat::UserDataFolder() / "Documents";
  } else {
    out->clear();
    return;
  }
  GneCreateFolders(*out);
}
