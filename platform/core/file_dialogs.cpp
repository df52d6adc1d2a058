#include "platform/core/file_dialogs.h"

#include <atomic>

namespace plat {
namespace {

HeadlessFileDialogs g_headless;
std::atomic<FileDialogs*> g_installed{nullptr};

}  // namespace

std::vector<std::pair<std::string, std::string>> SplitFilter(const std::string& filter) {
  std::vector<std::string> items;
  std::string current;
  for (size_t i = 0; i < filter.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(filter[i]);
    // A double-byte character goes whole: its second byte may be a '|' (as in "ポ").
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < filter.size()) {
      current += filter[i];
      current += filter[++i];
    } else if (c == '|') {
      items.push_back(current);
      current.clear();
    } else {
      current += filter[i];
    }
  }
  if (!current.empty()) items.push_back(current);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    if (items[i].empty() && items[i + 1].empty()) break;  // "||" ends a classic filter
    pairs.emplace_back(items[i], items[i + 1]);
  }
  return pairs;
}

FileDialogResult HeadlessFileDialogs::RunFileDialog(const FileDialogRequest&) { return {}; }
FolderDialogResult HeadlessFileDialogs::RunFolderDialog(const FolderDialogRequest&) { return {}; }

FileDialogResult ScriptedFileDialogs::RunFileDialog(const FileDialogRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  file_requests_.push_back(request);
  if (files_.empty()) return {};
  FileDialogResult result = files_.front();
  files_.pop_front();
  return result;
}

FolderDialogResult ScriptedFileDialogs::RunFolderDialog(const FolderDialogRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  folder_requests_.push_back(request);
  if (folders_.empty()) return {};
  FolderDialogResult result = folders_.front();
  folders_.pop_front();
  return result;
}

void ScriptedFileDialogs::QueueFile(const std::filesystem::path& path, int filter_index) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.push_back(FileDialogResult{true, path, filter_index});
}

void ScriptedFileDialogs::QueueFileCancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.push_back(FileDialogResult{});
}

void ScriptedFileDialogs::QueueFolder(const std::filesystem::path& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  folders_.push_back(FolderDialogResult{true, path});
}

void ScriptedFileDialogs::QueueFolderCancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  folders_.push_back(FolderDialogResult{});
}

std::vector<FileDialogRequest> ScriptedFileDialogs::FileRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_requests_;
}

std::vector<FolderDialogRequest> ScriptedFileDialogs::FolderRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return folder_requests_;
}

void InstallFileDialogs(FileDialogs* dialogs) { g_installed.store(dialogs); }

FileDialogs& CurrentFileDialogs() {
  FileDialogs* installed = g_installed.load();
  return installed != nullptr ? *installed : g_headless;
}

}  // namespace plat
