// Passing a text between this program and a helper program it starts: a named shared-memory view
// guarded by a lock the system releases when its holder dies, and message ports that say a text
// is waiting.
//
// In place of windows and their messages there are message ports: a port is a number; messages
// (message, w, l) posted to a port of this process are queued for it directly, and those for a
// port of another process travel as a datagram on a local socket named by the number (per user).
// Posting never waits for the receiver.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>

constexpr uint32_t kWmQuit = 0x0012;  // asks the receiver of a port to end

struct PortMessage {
  uint32_t message = 0;
  int64_t w = 0;
  int64_t l = 0;
};

// The receiving end of a port. One per number per user; ok() is false when the number is taken.
class MessagePort {
 public:
  explicit MessagePort(int number);
  ~MessagePort();
  MessagePort(const MessagePort&) = delete;
  MessagePort& operator=(const MessagePort&) = delete;

  bool ok() const { return ok_; }
  int number() const { return number_; }
  // The next message, waiting at most timeout_ms; false when none came.
  bool Receive(PortMessage* out, int timeout_ms);

 private:
  friend bool PostPortMessage(int number, uint32_t message, int64_t w, int64_t l);
  void Push(const PortMessage& m);

  int number_;
  bool ok_ = false;
  bool registered_ = false;
  int socket_ = -1;
  int wake_ = -1;  // an eventfd that in-process posts signal
  std::mutex mutex_;
  std::deque<PortMessage> queue_;
};

// Posts to the port of that number; false when no port of that number is listening.
bool PostPortMessage(int number, uint32_t message, int64_t w, int64_t l);

// The shared segment: the text view first, the lock after it.
constexpr char kExchangeName[] = "/SharedMemory";
constexpr size_t kExchangeMappingSize = 4096;
constexpr size_t kExchangeViewSize = 1024;     // a text of at most 1023 bytes and its terminator
constexpr size_t kExchangeLockOffset = 1024;   // a robust process-shared pthread mutex

class CProcessDataExchange {
 public:
  // Creates or opens the segment (mode 0600) and its lock. `window` is the port that Write posts
  // to. A segment or lock that cannot be had is reported once (GENE) and every call then does
  // nothing and returns false.
  CProcessDataExchange(int window, uint32_t message, const char* name = kExchangeName);
  virtual ~CProcessDataExchange();
  CProcessDataExchange(const CProcessDataExchange&) = delete;
  CProcessDataExchange& operator=(const CProcessDataExchange&) = delete;

  bool ok() const { return view_ != nullptr; }

  // Starts the program without waiting, with the arguments "/w<a>" and "/m<b>" (as a rule the
  // port and the message number). False when it could not be started.
  static bool StartProcess(const std::filesystem::path& program, int a, int b);

  // Under the lock, copies the text and its terminator into the view, then posts the message to
  // the port with w and l. A text of 1024 bytes or more is refused: nothing is written or posted.
  bool Write(const char* text, int64_t w, int64_t l);
  // Under the lock, copies the view's text (at most 1023 bytes, whatever another program left
  // there). A nonzero window and reply replace the stored port and reply message.
  bool Read(std::string* out, int window = 0, uint32_t reply = 0);
  // Posts the reply message (when one is set) to the port with zero parameters.
  bool PostReply();
  // Posts kWmQuit to the port.
  bool PostQuit();

  int window() const { return window_; }
  uint32_t reply() const { return reply_; }

 private:
  bool Lock();
  void Unlock();

  std::string name_;
  int fd_ = -1;
  uint8_t* view_ = nullptr;  // the whole mapping
  int window_;
  uint32_t message_;
  uint32_t reply_ = 0;
};
