#include "platform/core/http.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>

namespace plat {

namespace {

using Steady = std::chrono::steady_clock;

bool StartLibrary() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

void HttpCancel::Cancel() {
  cancelled_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (waker_ != nullptr) curl_multi_wakeup(static_cast<CURLM*>(waker_));
}

void HttpCancel::Reset() { cancelled_.store(false); }

bool IsHttpUrl(std::string_view url) {
  for (char c : url) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return false;
  }
  const std::string_view rest = StartsWithNoCase(url, "http://")    ? url.substr(7)
                                : StartsWithNoCase(url, "https://") ? url.substr(8)
                                                                    : std::string_view();
  return !rest.empty() && rest[0] != '/';
}

// One transfer: the easy handle inside a multi handle, so that the wait can be woken by Cancel
// and the silence limit is measured between pieces.
class HttpTransfer {
 public:
  HttpTransfer(const HttpRequest& request, const HttpBodySink& sink, HttpCancel* cancel,
               const std::string_view* form = nullptr)
      : request_(request), sink_(sink), cancel_(cancel), form_(form) {}

  HttpReply Run() {
    HttpReply reply;
    if (!IsHttpUrl(request_.url)) {
      reply.outcome = HttpOutcome::kBadUrl;
      return reply;
    }
    if (cancel_ != nullptr && cancel_->Cancelled()) {
      reply.outcome = HttpOutcome::kCancelled;
      return reply;
    }
    if (!StartLibrary()) {
      reply.outcome = HttpOutcome::kNoSession;
      return reply;
    }
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (easy == nullptr || multi == nullptr) {
      if (easy) curl_easy_cleanup(easy);
      if (multi) curl_multi_cleanup(multi);
      reply.outcome = HttpOutcome::kNoSession;
      return reply;
    }
    char error[CURL_ERROR_SIZE] = {0};
    curl_slist* headers = Configure(easy, error);
    curl_multi_add_handle(multi, easy);
    SetWaker(multi);
    const Ending ending = Pump(multi);
    SetWaker(nullptr);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    reply.status = status;
    reply.detail = error[0] != 0 ? error : curl_easy_strerror(ending.result);
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    reply.outcome = OutcomeOf(ending, status);
    if (ending.timed_out) reply.detail = "no data within the limit";
    return reply;
  }

 private:
  // How the transfer loop ended.
  struct Ending {
    CURLcode result = CURLE_OK;
    bool finished = false;
    bool timed_out = false;
    bool cancelled = false;
  };

  // A GET (following redirects up to the request's limit) or a form POST, of http or https
  // only, failing on HTTP errors, through the environment's proxy only when the request allows
  // it. Answers the header list the handle uses (freed after the transfer).
  curl_slist* Configure(CURL* easy, char* error) {
    curl_easy_setopt(easy, CURLOPT_URL, request_.url.c_str());
    curl_slist* headers = nullptr;
    if (form_ != nullptr) {
      // The body goes at once: no "Expect: 100-continue" round trip.
      headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
      headers = curl_slist_append(headers, "Expect:");
      curl_easy_setopt(easy, CURLOPT_POST, 1L);
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, form_->empty() ? "" : form_->data());
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form_->size()));
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    } else {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request_.agent.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, form_ == nullptr ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(request_.max_redirects));
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request_.connect_limit_ms));
    if (request_.total_limit_ms > 0)
      curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(request_.total_limit_ms));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    if (!request_.use_environment_proxy) curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    // Bytes going out count as activity too, for a long body to a slow server.
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &HttpTransfer::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    return headers;
  }

  // The multi handle a Cancel wakes (none after the transfer).
  void SetWaker(CURLM* multi) {
    if (cancel_ == nullptr) return;
    std::lock_guard<std::mutex> lock(cancel_->mutex_);
    cancel_->waker_ = multi;
  }

  // Runs the transfer until it is done, cancelled, or silent for longer than the limit.
  Ending Pump(CURLM* multi) {
    Ending ending;
    last_activity_ = Steady::now();
    const auto silence = std::chrono::milliseconds(request_.silence_limit_ms);
    while (!ending.finished) {
      int running = 0;
      if (curl_multi_perform(multi, &running) != CURLM_OK) break;
      int queued = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg == CURLMSG_DONE) {
          ending.result = msg->data.result;
          ending.finished = true;
        }
      }
      if (ending.finished || running == 0) {
        ending.finished = true;
        break;
      }
      if (cancel_ != nullptr && cancel_->Cancelled()) {
        ending.cancelled = true;
        break;
      }
      const auto idle = Steady::now() - last_activity_;
      if (idle >= silence) {
        ending.timed_out = true;
        break;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(silence - idle);
      curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::min<long long>(left.count() + 1, 1000)),
                      nullptr);
    }
    return ending;
  }

  HttpOutcome OutcomeOf(const Ending& e, long status) const {
    if (e.cancelled) return HttpOutcome::kCancelled;
    if (e.timed_out || e.result == CURLE_OPERATION_TIMEDOUT) return HttpOutcome::kTimedOut;
    if (stopped_ && e.result == CURLE_WRITE_ERROR) return HttpOutcome::kStopped;
    if (e.result == CURLE_HTTP_RETURNED_ERROR || (e.result == CURLE_OK && status >= 400))
      return HttpOutcome::kHttpError;
    if (e.result == CURLE_OK && e.finished) return HttpOutcome::kOk;
    return HttpOutcome::kFailed;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self_ptr) {
    auto* self = static_cast<HttpTransfer*>(self_ptr);
    const size_t n = size * count;
    self->last_activity_ = Steady::now();
    if (n == 0) return 0;
    if (!self->sink_(data, n)) {
      self->stopped_ = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return n;
  }

  static int OnProgress(void* self_ptr, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* self = static_cast<HttpTransfer*>(self_ptr);
    if (sent != self->sent_) {
      self->sent_ = sent;
      self->last_activity_ = Steady::now();
    }
    return 0;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self_ptr) {
    static_cast<HttpTransfer*>(self_ptr)->last_activity_ = Steady::now();
    (void)data;
    return size * count;
  }

  const HttpRequest& request_;
  const HttpBodySink& sink_;
  HttpCancel* cancel_;
  const std::string_view* form_;  // the POST body; null for GET
  Steady::time_point last_activity_;
  curl_off_t sent_ = 0;
  bool stopped_ = false;
};

HttpReply HttpGet(const HttpRequest& request, const HttpBodySink& sink, HttpCancel* cancel) {
  return HttpTransfer(request, sink, cancel).Run();
}

HttpReply HttpPostForm(const HttpRequest& request, std::string_view body, const HttpBodySink& sink,
                       HttpCancel* cancel) {
  return HttpTransfer(request, sink, cancel, &body).Run();
}

}  // namespace plat
