#include "platform/core/message_sink.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/core/encoding.h"

namespace plat {
namespace {

HeadlessSink g_headless;
std::atomic<MessageSink*> g_sink{nullptr};

std::mutex g_exit_mutex;
std::function<void(int)> g_exit_handler;

}  // namespace

void InstallSink(MessageSink* sink) { g_sink.store(sink); }

MessageSink& Sink() {
  MessageSink* s = g_sink.load();
  return s ? *s : g_headless;
}

namespace {
thread_local BoxCapture* t_capture = nullptr;
}  // namespace

BoxCapture::BoxCapture() : outer_(t_capture) { t_capture = this; }
BoxCapture::~BoxCapture() { t_capture = outer_; }

void BoxCapture::Keep(const std::string& text) {
  if (count_++ == 0) first_ = text;
}

int ShowBox(BoxKind kind, const std::string& text) {
  if (t_capture) {
    t_capture->Keep(text);
    return kIdOk;
  }
  return Sink().Show(kind, text);
}

int HeadlessSink::Show(BoxKind kind, const std::string& text) {
  const char* label = kind == BoxKind::Error ? "error" : kind == BoxKind::Confirm ? "question" : "message";
  std::string utf8 = Cp932ToUtf8(text);
  std::fprintf(stderr, "cantrel %s: %s\n", label, utf8.c_str());
  return kIdOk;
}

int RecordingSink::Show(BoxKind kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.push_back({kind, text});
  if (answers_.empty()) return kIdOk;
  int a = answers_.front();
  answers_.pop_front();
  return a;
}

std::vector<RecordingSink::Box> RecordingSink::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::vector<std::string> RecordingSink::Texts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  out.reserve(boxes_.size());
  for (const auto& b : boxes_) out.push_back(b.text);
  return out;
}

size_t RecordingSink::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.size();
}

void RecordingSink::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.clear();
  answers_.clear();
}

void RecordingSink::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

void SetExitHandler(std::function<void(int)> handler) {
  std::lock_guard<std::mutex> lock(g_exit_mutex);
  g_exit_handler = std::move(handler);
}

void ExitProgram(int code) {
  std::function<void(int)> handler;
  {
    std::lock_guard<std::mutex> lock(g_exit_mutex);
    handler = g_exit_handler;
  }
  if (handler) handler(code);
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace plat
