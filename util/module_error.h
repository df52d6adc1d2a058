// The error convention every module follows: a four-character tag, codes with the module number
// in the top byte and the message index in the low byte, a table of Japanese texts with a default
// for unknown codes, and a box "TAG%08X text". Some modules keep once-only warnings: a warning is
// shown the first time and then stays quiet until the module's warnings are reset with code 0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct ErrorText {
  uint32_t code;
  const char* text;  // CP932
};

class ModuleErrorReporter {
 public:
  // `shared_flags` pairs a warning code with the code whose flag it shares (shown
  // once for both until reset).
  // `lasting` warnings stay quiet for the rest of the process once shown: only
  // ResetAll clears them.
  ModuleErrorReporter(const char* tag, const char* default_text, std::vector<ErrorText> table,
                      std::vector<uint32_t> warning_codes = {},
                      std::vector<std::pair<uint32_t, uint32_t>> shared_flags = {},
                      std::vector<uint32_t> lasting = {});

  // The box text: tag, the code as eight upper-case hex digits, a blank, the text; cut to the
  // 2048-byte buffer the boxes are formatted into.
  std::string Format(uint32_t code) const;
  const char* Text(uint32_t code) const;

  // Shows the error box for `code`; returns the button pressed.
  int ErrorMsg(uint32_t code) const;
  // The same box with why it failed (in words) on a line of its own.
  int ErrorMsg(uint32_t code, const std::string& why) const;

  // Once-only warnings: 0 clears every flag; a warning code is shown only while its flag is clear;
  // a code that is no warning is shown every time. Returns true when a box was shown.
  bool Warning(uint32_t code);
  void ResetWarnings();
  // Clears the lasting warnings as well (for tests).
  void ResetAll();

  const char* tag() const { return tag_; }

 private:
  const char* tag_;
  const char* default_text_;
  std::vector<ErrorText> table_;
  std::set<uint32_t> warning_codes_;
  std::map<uint32_t, uint32_t> flag_of_;  // a code to the code whose flag it uses
  std::set<uint32_t> lasting_;
  mutable std::mutex mutex_;
  std::set<uint32_t> shown_;
};

// Formats into the 2048-byte limit the boxes use (the terminating zero counts).
std::string FormatBoxText(const char* format, ...) __attribute__((format(printf, 1, 2)));
