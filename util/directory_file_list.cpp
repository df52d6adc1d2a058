#include "util/directory_file_list.h"

#include <algorithm>
#include <system_error>

#include "util/gne.h"

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Match(const char* p, const char* n) {
  // Iterative wildcard match with one backtrack point for the last '*'.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*n != 0) {
    if (*p == '*') {
      star = p++;
      resume = n;
    } else if (*p != 0 && (*p == '?' || Lower(*p) == Lower(*n))) {
      ++p;
      ++n;
    } else if (star != nullptr) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

// The names in a folder in byte order, and which of them are folders to enter (not links). An
// unreadable folder gives none.
struct FolderNames {
  std::vector<std::string> names;
  std::vector<std::string> subfolders;
};

FolderNames ReadFolder(const fs::path& folder) {
  FolderNames out;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    out.names.push_back(name);
    std::error_code kind_ec;
    if (it->is_directory(kind_ec) && !it->is_symlink(kind_ec)) out.subfolders.push_back(name);
  }
  std::sort(out.names.begin(), out.names.end());
  std::sort(out.subfolders.begin(), out.subfolders.end());
  return out;
}

}  // namespace

bool CDirectoryFileList::MatchPattern(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  return Match(pattern.c_str(), name.c_str());
}

CDirectoryFileList::CDirectoryFileList(const fs::path& folder, const std::string& pattern,
                                       int recurse, int keep_prefix)
    : pattern_(pattern), recurse_(recurse == 1) {
  std::string text = folder.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  folder_ = text;
  Scan(folder_, "", keep_prefix == 1);
}

CDirectoryFileList::~CDirectoryFileList() = default;

void CDirectoryFileList::Scan(const fs::path& folder, const std::string& prefix, bool keep_prefix) {
  const FolderNames names = ReadFolder(folder);
  for (const std::string& name : names.names) {
    if (MatchPattern(pattern_, name)) Add(prefix + name);
  }
  if (!recurse_) return;
  for (const std::string& sub : names.subfolders) {
    // A subfolder lists its own subfolders with their names in front; this list keeps the
    // subfolder's own name only with keep_prefix.
    const std::string child_prefix = keep_prefix ? prefix + sub + "/" : prefix;
    Scan(folder / sub, child_prefix, true);
    if (full_) return;
  }
}

void CDirectoryFileList::Add(const std::string& entry) {
  if (full_) return;
  entries_.push_back(entry);
  if (count() == kMaxFiles) {
    full_ = true;
    GneMessageBox("MAX_FILE_NUM");
  }
}
