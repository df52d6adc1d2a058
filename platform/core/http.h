// HTTP GET and form POST over libcurl: the reply's body arrives piece by piece at a sink, with
// limits on connecting, on silence and on the whole exchange, a bounded number of redirects, and
// cancellation from another thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace plat {

struct HttpRequest {
  std::string url;
  std::string agent;
  int connect_limit_ms = 30000;  // to open the connection
  int silence_limit_ms = 30000;  // without a byte from the server (headers or body)
  bool use_environment_proxy = false;  // false: a direct connection, whatever the environment says
  int max_redirects = 10;
  int total_limit_ms = 0;  // for the whole exchange; 0 = no limit
};

enum class HttpOutcome {
  kOk,         // the whole body arrived with a status below 400
  kBadUrl,     // not an http or https URL, or one holding control characters
  kNoSession,  // the HTTP library could not be started
  kFailed,     // no connection, a broken transfer, too many redirects
  kHttpError,  // the server answered with status 400 or above (no body is delivered)
  kTimedOut,   // the connect or silence limit ran out
  kCancelled,  // HttpCancel::Cancel was called
  kStopped,    // the sink asked to stop
};

struct HttpReply {
  HttpOutcome outcome = HttpOutcome::kFailed;
  long status = 0;     // the last HTTP status, 0 when none arrived
  std::string detail;  // the library's own words, for logs
};

// Cancels a running or later HttpGet from any thread; the call returns at once. Stays cancelled
// until Reset.
class HttpCancel {
 public:
  void Cancel();
  void Reset();
  bool Cancelled() const { return cancelled_.load(); }

 private:
  friend class HttpTransfer;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  void* waker_ = nullptr;  // the running transfer's multi handle, woken by Cancel
};

// Receives each piece of the body; returns false to stop the transfer.
using HttpBodySink = std::function<bool(const char* data, size_t n)>;

// True for an http:// or https:// URL (scheme in any case) without control characters.
bool IsHttpUrl(std::string_view url);

// Fetches the URL with GET, following redirects among http and https URLs only.
HttpReply HttpGet(const HttpRequest& request, const HttpBodySink& sink,
                  HttpCancel* cancel = nullptr);

// Sends the body as it is with POST and the content type "application/x-www-form-urlencoded"
// (the caller encodes the fields), and gives the reply's body to the sink. Redirects are not
// followed. Outcomes as for HttpGet.
HttpReply HttpPostForm(const HttpRequest& request, std::string_view body,
                       const HttpBodySink& sink, HttpCancel* cancel = nullptr);

}  // namespace plat
