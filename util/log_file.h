// A log file of text lines (CR LF line ends), optionally named with a time stamp. Diagnostics
// only; no command of the program creates one. Errors use the tag GNLG (module 0x2C).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

constexpr uint32_t kGnlgDriveError = 0x2C000001u;
constexpr uint32_t kGnlgOpenFailed = 0x2C000002u;
constexpr uint32_t kGnlgNoMemory = 0x2C000003u;
constexpr uint32_t kGnlgWriteFailed = 0x2C000004u;

class CLogFile {
 public:
  // Open(name, stamp).
  CLogFile(const std::filesystem::path& name, int stamp);
  // Asks for the file with the save dialog ("txt files|*.txt|"); a cancelled dialog logs to
  // "log.txt".
  CLogFile();
  virtual ~CLogFile();

  // With stamp 1 the file name becomes name + "YYYYMMDD-hhmmss" + "." + the extension in lower
  // case (local time of the program's clock; no '.' when the name has no extension), so
  // "run.log" becomes "run20240102-030405.log". A relative name lives in the user data folder.
  // When the folder does not exist, nothing will be written (and nothing is shown); otherwise an
  // existing file of that name is deleted.
  void Open(const std::filesystem::path& name, int stamp);

  // Appends the text and a line end; each '\n' is written as CR LF. A file that does not open
  // shows GNLG 0x2C000002 and disables the log; a failed write shows GNLG 0x2C000004.
  void Output(const char* text);
  // One line of the bytes as two lower-case hex digits and a blank each ("0a ff ").
  void OutputHex(const void* bytes, size_t n);
  // The text, " - " and the value in lower-case hex without padding.
  void OutputValue(const char* text, uint32_t value);

  static int ErrorMsg(uint32_t code);

  const std::filesystem::path& path() const { return path_; }
  bool disabled() const { return error_; }

 private:
  std::filesystem::path path_;
  bool error_ = false;
};
