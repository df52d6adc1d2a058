#include "util/internet.h"

#include <algorithm>
#include <cstring>

#include "util/gne.h"

namespace {

constexpr size_t kErrorTextSize = 1024;
constexpr int kConnectLimitMs = 30000;
const char kAgent[] = "GetHtml";
const char kUrlFailed[] = "読み込みに失敗しました。";
const char kSessionFailed[] = "インターネットの接続に失敗しました。";

}  // namespace

CInternet::CInternet(int capacity) : buffer_(static_cast<size_t>(std::max(capacity, 0)), 0) {}

CInternet::~CInternet() = default;

int CInternet::ErrorMsg(int code) {
  return GneMessageBox(code == 1 ? "インターネット読み込みエラー" : "CInternet::ErrorMsg");
}

void CInternet::Cancel() { cancel_.Cancel(); }

void CInternet::SetUrlError(const char* url) {
  // The URL, cut so that it and the message fit the 1024-byte error text; control characters
  // become blanks.
  std::string text = url != nullptr ? url : "";
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  const size_t room = kErrorTextSize - 1 - std::strlen(kUrlFailed);
  if (text.size() > room) {
    text.resize(GneFitCp932(text.data(), text.size(), room - 3));
    text += "...";
  }
  error_ = text + kUrlFailed;
}

int CInternet::Download(const char* url, int timeout_ms) {
  count_ = 0;
  error_.clear();
  std::fill(buffer_.begin(), buffer_.end(), 0);
  if (cancel_.Cancelled()) {
    SetUrlError(url);
    return 0;
  }
  plat::HttpRequest request;
  request.url = url != nullptr ? url : "";
  request.agent = kAgent;
  request.connect_limit_ms = kConnectLimitMs;
  request.silence_limit_ms = timeout_ms > 0 ? timeout_ms : silence_limit_ms_;
  request.use_environment_proxy = timeout_ms > 0;
  request.max_redirects = 10;

  bool overflow = false;
  const size_t capacity = buffer_.size();
  const plat::HttpReply reply = plat::HttpGet(request, BufferSink(&overflow), &cancel_);

  if (capacity > 0 && static_cast<size_t>(count_) == capacity) ErrorMsg(1);
  if (reply.outcome == plat::HttpOutcome::kNoSession) {
    error_ = kSessionFailed;
    return 0;
  }
  if (overflow || reply.outcome != plat::HttpOutcome::kOk) {
    SetUrlError(url);
    return 0;
  }
  return 1;
}

plat::HttpBodySink CInternet::BufferSink(bool* overflow) {
  return [this, overflow](const char* data, size_t n) {
    const size_t room = buffer_.size() - static_cast<size_t>(count_);
    const size_t take = std::min(n, room);
    std::memcpy(buffer_.data() + count_, data, take);
    count_ += static_cast<int>(take);
    if (take < n) {
      *overflow = true;  // more than the buffer holds: stop here
      return false;
    }
    return true;
  };
}

int CInternet::PostForm(const char* url, const std::string& body, int connect_ms, int total_ms) {
  count_ = 0;
  status_ = 0;
  std::fill(buffer_.begin(), buffer_.end(), 0);
  plat::HttpRequest request;
  request.url = url != nullptr ? url : "";
  request.agent = kAgent;
  request.connect_limit_ms = connect_ms;
  request.silence_limit_ms = total_ms;
  request.total_limit_ms = total_ms;
  request.max_redirects = 0;
  bool overflow = false;
  const plat::HttpReply reply = plat::HttpPostForm(request, body, BufferSink(&overflow), &cancel_);
  status_ = reply.status;
  // A reply longer than the buffer keeps its beginning.
  const bool whole = reply.outcome == plat::HttpOutcome::kOk ||
                     (overflow && reply.outcome == plat::HttpOutcome::kStopped);
  return whole && status_ == 200 ? 1 : 0;
}

int CInternet::SaveToFile(const std::filesystem::path& path) const {
  return GneWriteFile(path, buffer_.data(), static_cast<size_t>(count_), GneFileUse::kUserChosen);
}

void CopyWithoutLineBreaks(int first, int last, const char* text, char* dest) {
  if (dest == nullptr) return;
  dest[0] = 0;
  if (text == nullptr) return;
  const int length = static_cast<int>(std::strlen(text));
  first = std::max(first, 0);
  last = std::min(last, length - 1);
  if (first > last || last - first + 1 >= 1024) return;
  size_t w = 0;
  for (int i = first; i <= last; ++i) {
    if (text[i] != '\r' && text[i] != '\n') dest[w++] = text[i];
  }
  dest[w] = 0;
}

void GetUrlFileName(const char* url, char* dest) {
  if (dest == nullptr) return;
  dest[0] = 0;
  if (url == nullptr) return;
  const char* slash = std::strrchr(url, '/');
  const int first = slash != nullptr ? static_cast<int>(slash - url) + 1 : 0;
  CopyWithoutLineBreaks(first, static_cast<int>(std::strlen(url)) - 1, url, dest);
}
