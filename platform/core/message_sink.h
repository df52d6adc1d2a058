// Message boxes, exits and the places they go.
//
// Every box the system shows (errors, questions, information) passes through one sink. Without a
// graphical front end the headless sink writes the text to stderr and answers with the default
// button; the GUI installs a sink that shows a real box on the UI thread; tests install a recorder.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

enum class BoxKind {
  Error,    // system-modal, OK
  Confirm,  // system-modal, OK and Cancel
  Message,  // ordinary, OK
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows `text` (CP932) and returns the button pressed (kIdOk or kIdCancel).
  virtual int Show(BoxKind kind, const std::string& text) = 0;
};

// Installs `sink` for the whole process; nullptr restores the headless sink. The caller keeps
// ownership and must uninstall a sink before destroying it.
void InstallSink(MessageSink* sink);
MessageSink& Sink();

// Shows a box through the installed sink, or keeps it when a capture is open on this thread.
int ShowBox(BoxKind kind, const std::string& text);

// While it lives, boxes raised on the constructing thread are not shown but kept here (answered
// OK): a worker that reads many files gathers their complaints and shows one message at the end.
// Captures nest; the innermost one keeps the boxes.
class BoxCapture {
 public:
  BoxCapture();
  ~BoxCapture();
  BoxCapture(const BoxCapture&) = delete;
  BoxCapture& operator=(const BoxCapture&) = delete;

  size_t Count() const { return count_; }
  // The first box's text ("" when none came).
  const std::string& First() const { return first_; }
  void Keep(const std::string& text);

 private:
  BoxCapture* outer_;
  size_t count_ = 0;
  std::string first_;
};

// Writes the box to stderr (as UTF-8) and answers OK.
class HeadlessSink : public MessageSink {
 public:
  int Show(BoxKind kind, const std::string& text) override;
};

// Keeps every box it is shown; answers from a queue of scripted answers, else OK.
// Safe to use from several threads.
class RecordingSink : public MessageSink {
 public:
  struct Box {
    BoxKind kind;
    std::string text;  // CP932
  };
  int Show(BoxKind kind, const std::string& text) override;

  std::vector<Box> Boxes() const;
  std::vector<std::string> Texts() const;
  size_t Count() const;
  void Clear();
  void QueueAnswer(int answer);

 private:
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
  std::deque<int> answers_;
};

// Raised by the test exit handler in place of ending the process.
struct ProgramExit {
  int code;
};

// Ends the program with `code` after a fatal error has been shown. The handler can be replaced
// (tests throw ProgramExit); the default ends the process.
[[noreturn]] void ExitProgram(int code);
void SetExitHandler(std::function<void(int)> handler);  // empty restores the default

}  // namespace plat
