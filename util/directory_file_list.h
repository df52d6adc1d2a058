// The names in a folder that match a wildcard pattern, optionally with its subfolders' names, as
// paths relative to the folder ('/' between folder levels). The personal song archive lists its
// song files with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class CDirectoryFileList {
 public:
  static constexpr int kMaxFiles = 29000;

  // Lists at once. pattern: '*' any run of bytes, '?' any one byte, ASCII letters in either case;
  // "*.*" also finds names without a dot. In each folder the names come in byte order, files and
  // folders alike, then (with recurse 1) the entries of each subfolder: with keep_prefix 1 behind
  // the subfolder's name, with 0 as the subfolder lists them. Symbolic links are listed but never
  // entered; folders that cannot be read are skipped. A folder that does not exist gives an empty
  // list. The 29,000th entry shows "MAX_FILE_NUM" once; later ones are dropped.
  CDirectoryFileList(const std::filesystem::path& folder, const std::string& pattern, int recurse,
                     int keep_prefix);
  virtual ~CDirectoryFileList();

  int count() const { return static_cast<int>(entries_.size()); }
  // Native (UTF-8) relative paths.
  const std::vector<std::string>& entries() const { return entries_; }
  const std::string& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
  // The listed folder without a trailing separator (the root keeps its own).
  const std::filesystem::path& folder() const { return folder_; }

  // The pattern test on one name.
  static bool MatchPattern(const std::string& pattern, const std::string& name);

 private:
  // Lists `folder` into entries_, each entry behind `prefix`; `keep_prefix` says whether the
  // entries of its subfolders keep their folder's name.
  void Scan(const std::filesystem::path& folder, const std::string& prefix, bool keep_prefix);
  void Add(const std::string& entry);

  std::filesystem::path folder_;
  std::string pattern_;
  bool recurse_;
  std::vector<std::string> entries_;
  bool full_ = false;
};
