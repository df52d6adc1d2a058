#include "util/log_file.h"

#include <cstdio>
#include <ctime>
#include <system_error>

#include "platform/core/clock.h"
#include "platform/core/folders.h"
#include "util/gne.h"

namespace fs = std::filesystem;

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "GNLG", "ログファイルでエラーがおきました。",
      {{kGnlgDriveError, "ログファイルでドライブのエラーがおきました。"},
       {kGnlgOpenFailed, "ログファイルが開けません"},
       {kGnlgNoMemory, "メモリ確保失敗 in LogFile->Output()"},
       {kGnlgWriteFailed, "ログファイル書き込み失敗"}});
  return reporter;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The name with the time stamp between its stem and its extension (of the file-name part only).
fs::path Stamped(const fs::path& name) {
  const std::time_t now = plat::CurrentClock().WallTime();
  std::tm t{};
  localtime_r(&now, &t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  const std::string file = name.filename().string();
  const size_t dot = file.rfind('.');
  const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : "." + LowerAscii(file.substr(dot + 1));
  return name.parent_path() / (stem + stamp + extension);
}

}  // namespace

CLogFile::CLogFile(const fs::path& name, int stamp) { Open(name, stamp); }

CLogFile::CLogFile() {
  fs::path chosen;
  if (GneSaveFileDialog(&chosen, "txt", "txt files|*.txt|") != 1) chosen = "log.txt";
  Open(chosen, 0);
}

CLogFile::~CLogFile() = default;

int CLogFile::ErrorMsg(uint32_t code) { return Reporter().ErrorMsg(code); }

void CLogFile::Open(const fs::path& name, int stamp) {
  error_ = false;
  fs::path path = stamp == 1 ? Stamped(name) : name;
  if (path.is_relative()) path = plat::UserDataFolder() / path;
  path_ = path;
  std::error_code ec;
  if (path.filename().empty() || !fs::is_directory(path.parent_path(), ec)) {
    error_ = true;  // no such folder: the log stays silent
    return;
  }
  fs::remove(path, ec);
}

void CLogFile::Output(const char* text) {
  if (error_) return;
  std::string line;
  for (const char* c = text != nullptr ? text : ""; *c != 0; ++c) {
    if (*c == '\n') line += '\r';
    line += *c;
  }
  line += "\r\n";
  std::FILE* f = std::fopen(path_.c_str(), "ab");
  if (f == nullptr) {
    error_ = true;
    ErrorMsg(kGnlgOpenFailed);
    return;
  }
  const bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) ErrorMsg(kGnlgWriteFailed);
}

void CLogFile::OutputHex(const void* bytes, size_t n) {
  if (error_) return;
  static const char kDigits[] = "0123456789abcdef";
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  std::string line;
  line.reserve(n * 3);
  for (size_t i = 0; i < n; ++i) {
    line += kDigits[b[i] >> 4];
    line += kDigits[b[i] & 15];
    line += ' ';
  }
  Output(line.c_str());
}

void CLogFile::OutputValue(const char* text, uint32_t value) {
  if (error_) return;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", value);
  Output((std::string(text != nullptr ? text : "") + " - " + hex).c_str());
}
