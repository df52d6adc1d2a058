// Open, save and folder dialogs behind one interface.
//
// The general library asks for a file or a folder through the installed FileDialogs. Without a
// graphical front end the headless default cancels every dialog; the GUI installs one that shows
// the real dialogs on the UI thread; tests install a ScriptedFileDialogs that answers from a queue
// and keeps every request.
#pragma once

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

struct FileDialogRequest {
  enum class Kind {
    Open,          // the file must exist
    Save,          // classic save dialog
    SaveNewStyle,  // the newer save dialog (no initial file)
  };
  Kind kind = Kind::Open;
  std::string default_extension;  // without the dot, e.g. "mid"
  // CP932 filter text: display name and pattern, each followed by '|' ("midi files|*.mid|").
  std::string filter;
  std::filesystem::path initial_file;    // empty: none
  std::filesystem::path initial_folder;  // empty: none
  int filter_index = 0;                  // 1-based; 0 = the first
  bool must_exist = false;
  bool confirm_overwrite = false;
};

struct FileDialogResult {
  bool chosen = false;
  std::filesystem::path path;
  int filter_index = 0;  // 1-based index of the filter in force when the user chose
};

struct FolderDialogRequest {
  std::filesystem::path initial_folder;  // empty: none
  std::string title;                     // CP932
};

struct FolderDialogResult {
  bool chosen = false;
  std::filesystem::path path;
};

// Splits a filter text into (display name, pattern) pairs; a trailing unpaired item is dropped.
std::vector<std::pair<std::string, std::string>> SplitFilter(const std::string& filter);

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual FileDialogResult RunFileDialog(const FileDialogRequest& request) = 0;
  virtual FolderDialogResult RunFolderDialog(const FolderDialogRequest& request) = 0;
};

// Cancels every dialog.
class HeadlessFileDialogs : public FileDialogs {
 public:
  FileDialogResult RunFileDialog(const FileDialogRequest& request) override;
  FolderDialogResult RunFolderDialog(const FolderDialogRequest& request) override;
};

// Answers from queues (an empty queue cancels) and records every request. Thread-safe.
class ScriptedFileDialogs : public FileDialogs {
 public:
  FileDialogResult RunFileDialog(const FileDialogRequest& request) override;
  FolderDialogResult RunFolderDialog(const FolderDialogRequest& request) override;

  // Queues the next file answer: a chosen path (with its filter index), or a cancel.
  void QueueFile(const std::filesystem::path& path, int filter_index = 1);
  void QueueFileCancel();
  void QueueFolder(const std::filesystem::path& path);
  void QueueFolderCancel();

  std::vector<FileDialogRequest> FileRequests() const;
  std::vector<FolderDialogRequest> FolderRequests() const;

 private:
  mutable std::mutex mutex_;
  std::deque<FileDialogResult> files_;
  std::deque<FolderDialogResult> folders_;
  std::vector<FileDialogRequest> file_requests_;
  std::vector<FolderDialogRequest> folder_requests_;
};

// Installs `dialogs` for the whole process; nullptr restores the headless default. The caller
// keeps ownership and must uninstall before destroying it.
void InstallFileDialogs(FileDialogs* dialogs);
FileDialogs& CurrentFileDialogs();

}  // namespace plat
