#include "util/module_error.h"

#include <cstdarg>
#include <cstdio>

#include "util/gne.h"

namespace {
constexpr size_t kBoxTextLimit = 2048;
}

std::string FormatBoxText(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  va_list again;
  va_copy(again, ap);
  const int needed = std::vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string text(needed > 0 ? static_cast<size_t>(needed) + 1 : 1, '\0');
  if (needed > 0) std::vsnprintf(&text[0], text.size(), format, again);
  va_end(again);
  text.resize(needed > 0 ? static_cast<size_t>(needed) : 0);
  // A box text keeps at most kBoxTextLimit - 1 bytes, cut between characters.
  text.resize(GneFitCp932(text.data(), text.size(), kBoxTextLimit - 1));
  return text;
}

ModuleErrorReporter::ModuleErrorReporter(const char* tag, const char* default_text,
                                         std::vector<ErrorText> table,
                                         std::vector<uint32_t> warning_codes,
                                         std::vector<std::pair<uint32_t, uint32_t>> shared_flags,
                                         std::vector<uint32_t> lasting)
    : tag_(tag),
      default_text_(default_text),
      table_(std::move(table)),
      warning_codes_(warning_codes.begin(), warning_codes.end()),
      flag_of_(shared_flags.begin(), shared_flags.end()),
      lasting_(lasting.begin(), lasting.end()) {}

const char* ModuleErrorReporter::Text(uint32_t code) const {
  for (const ErrorText& e : table_)
    if (e.code == code) return e.text;
  return default_text_;
}

std::string ModuleErrorReporter::Format(uint32_t code) const {
  return FormatBoxText("%s%08X %s", tag_, code, Text(code));
}

int ModuleErrorReporter::ErrorMsg(uint32_t code) const { return GneErrorBox(Format(code)); }

int ModuleErrorReporter::ErrorMsg(uint32_t code, const std::string& why) const {
  return GneErrorBox(GneWithReason(Format(code), why));
}

bool ModuleErrorReporter::Warning(uint32_t code) {
  if (code == 0) {
    ResetWarnings();
    return false;
  }
  if (warning_codes_.count(code)) {
    const auto shared = flag_of_.find(code);
    const uint32_t flag = shared == flag_of_.end() ? code : shared->second;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_.insert(flag).second) return false;
  }
  ErrorMsg(code);
  return true;
}

void ModuleErrorReporter::ResetWarnings() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = shown_.begin(); it != shown_.end();) it = lasting_.count(*it) ? std::next(it) : shown_.erase(it);
}

void ModuleErrorReporter::ResetAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.clear();
}
