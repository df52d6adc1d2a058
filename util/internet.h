// HTTP download into a buffer of fixed capacity, as the web song library fetches its song lists
// and songs, with the helpers that cut a file name out of a URL.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/http.h"

class CInternet {
 public:
  explicit CInternet(int capacity);
  virtual ~CInternet();
  CInternet(const CInternet&) = delete;
  CInternet& operator=(const CInternet&) = delete;

  // Fetches the URL (http or https, no control characters) with the agent "GetHtml". With
  // time-out 0 the connection is direct (no proxy) and a server silent for 30 s fails; with a
  // time-out in milliseconds the environment's proxy is used and a server silent that long
  // fails. 1 when the body arrived whole: count() bytes are in buffer(), the rest of the buffer
  // is zero. 0 on failure with error_text() set (the URL and "読み込みに失敗しました。", or
  // "インターネットの接続に失敗しました。"): a status of 400 or above, no connection, silence, more
  // than 10 redirects, a cancelled download, or a body longer than the capacity. A body that
  // reaches the capacity shows "インターネット読み込みエラー" once.
  int Download(const char* url, int timeout_ms);

  // Sends the form body as it is with POST ("application/x-www-form-urlencoded") to the URL,
  // directly (no proxy), and keeps the first capacity() bytes of the reply. Gives up when the
  // connection takes longer than connect_ms or the whole exchange longer than total_ms. 1 when
  // the server answered with status 200: count() bytes are in buffer(), the rest is zero.
  // 0 otherwise (refused, silent, cancelled, any other status: see status()). No box: the
  // caller reports.
  int PostForm(const char* url, const std::string& body, int connect_ms, int total_ms);
  // The HTTP status of the last PostForm, 0 when none arrived.
  long status() const { return status_; }

  // Stops a running download from any other thread (it returns 0 at once); later downloads
  // return 0 at once too.
  void Cancel();

  // Writes the received bytes to the file; 1 written, 0 failed (after its box).
  int SaveToFile(const std::filesystem::path& path) const;

  // "インターネット読み込みエラー" for code 1, "CInternet::ErrorMsg" for any other, in a plain box.
  static int ErrorMsg(int code);

  const uint8_t* buffer() const { return buffer_.data(); }
  int count() const { return count_; }
  int capacity() const { return static_cast<int>(buffer_.size()); }
  const char* error_text() const { return error_.c_str(); }

  // The silence limit of a download with time-out 0 (30 s; tests shorten it).
  void SetSilenceLimit(int ms) { silence_limit_ms_ = ms; }

 private:
  void SetUrlError(const char* url);
  // A sink that fills the buffer; sets *overflow and stops when the body is longer.
  plat::HttpBodySink BufferSink(bool* overflow);

  std::vector<uint8_t> buffer_;
  std::string error_;  // at most 1023 bytes
  int count_ = 0;
  long status_ = 0;
  int silence_limit_ms_ = 30000;
  plat::HttpCancel cancel_;
};

// Copies the bytes first..last of the text (both included, clamped to the text) without CR and
// LF into dest when the span holds fewer than 1024 bytes; else dest becomes empty. dest: 1024
// bytes; always terminated.
void CopyWithoutLineBreaks(int first, int last, const char* text, char* dest);

// The part of the URL after its last '/' (the whole URL when it has none), through
// CopyWithoutLineBreaks. dest: 1024 bytes.
void GetUrlFileName(const char* url, char* dest);
