// Dragging short texts out of a window and accepting texts dropped on it. Only plain text is
// offered and accepted; inside the system it is CP932, on the Qt side QMimeData's text/plain.
//
// DROPSRC is the drag source and the data it carries; FMTETC enumerates the formats it offers
// (one: text/plain). Both are reference counted and delete themselves at their last Release,
// as the code that hands them around expects. CDropTarget watches a window's drag events and
// hands every dragged or dropped text, with the point in the window's coordinates, to two
// callbacks. A drag that carries local files is the window's file drop and is left to it.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

// Results of the drag-source and enumerator operations.
enum DragResult : int {
  kDragOk = 0,
  kDragFalse = 1,              // fewer records than asked for, or a skip past the end
  kDragNotImplemented = 2,
  kDragInvalidArgument = 3,
  kDragNoInterface = 4,
  kDragOutOfMemory = 5,
  kDragDrop = 6,               // the drag ends with a drop
  kDragCancel = 7,             // the drag ends without one
  kDragUseDefaultCursors = 8,
};

// What QueryInterface is asked for.
enum class DragInterface { kUnknown, kDropSource, kDataObject, kEnumFormats };

constexpr int kDropEffectNone = 0;
constexpr int kDropEffectCopy = 1;

// Key state flags as a drag reports them.
constexpr int kKeyLeftButton = 0x01;
constexpr int kKeyRightButton = 0x02;
constexpr int kKeyShift = 0x04;
constexpr int kKeyControl = 0x08;
constexpr int kKeyMiddleButton = 0x10;
constexpr int kKeyAlt = 0x20;

constexpr char kDragTextFormat[] = "text/plain";

class FMTETC {
 public:
  FMTETC(const std::vector<std::string>* formats, int count);
  int QueryInterface(DragInterface which, void** out);
  int AddRef();
  int Release();
  // Copies up to n records from the cursor on and advances it; kDragOk when n were copied,
  // kDragFalse when fewer were left (also none). fetched may be null.
  int Next(int n, std::string* out, int* fetched);
  // Advances the cursor; past the end it stops there with kDragFalse.
  int Skip(int n);
  int Reset();
  int Clone(FMTETC** out);  // kDragNotImplemented

 private:
  ~FMTETC() = default;
  int refs_ = 0;
  int cursor_ = 0;
  const std::vector<std::string>* formats_;
  int count_;
};

class DROPSRC {
 public:
  // The text block is not owned: the window that made it frees it after the drag loop.
  DROPSRC(const char* name, const char* text, int length);

  // Drag source.
  int QueryInterface(DragInterface which, void** out);
  int AddRef();
  int Release();
  // Left button still down: kDragOk (go on); Escape: kDragCancel; else kDragDrop.
  int QueryContinueDrag(bool escape_pressed, int key_state);
  int GiveFeedback(int effect);  // kDragUseDefaultCursors

  // Data.
  int QueryGetData(const std::string& format) const;  // text/plain: kDragOk
  // A copy of the text block (CP932) for text/plain.
  int GetData(const std::string& format, std::string* out) const;
  int EnumFormatEtc(int direction, FMTETC** out);

  // The data Qt carries: the text as text/plain. The caller owns it.
  QMimeData* MakeMimeData() const;
  // Runs the drag loop from the source widget with the copy effect; the effect of the drop
  // (kDropEffectCopy, or kDropEffectNone when cancelled).
  int DoDragDrop(QWidget* source);

  const char* name() const { return name_; }

 private:
  ~DROPSRC() = default;
  const char* name_;
  int length_;
  const char* text_;
  int refs_ = 0;
  std::vector<std::string> formats_{kDragTextFormat};
};

class CDropTarget : public QObject {
 public:
  // text: terminated CP932 of at most 1024 bytes; x and y in the window's coordinates.
  using Callback = std::function<void(const char* text, int x, int y)>;
  static constexpr size_t kMaxText = 1024;

  CDropTarget(Callback drop, Callback drag_over);
  ~CDropTarget() override;

  // Watches the window's drag events (and lets it accept drops) until Revoke or destruction.
  void Register(QWidget* window);
  void Revoke();

  // A drag moving over the window: stores the key state; with text, calls the drag-over
  // callback and gives the copy effect, else kDropEffectNone.
  int OnDragOver(const QMimeData* data, int key_state, QPoint point);
  // A drop: without text shows CDropTarget::ErrorMsg(1) and gives false; else calls the drop
  // callback and gives true.
  bool OnDrop(const QMimeData* data, int effect, QPoint point);

  // "DRTG%08X %s": "この形式はサポートしていません" for code 1, else "CDropTarget::ErrorMsg".
  static int ErrorMsg(int code);

  int last_key_state() const { return key_state_; }

  // The text of the data as it reaches the callbacks; false when it carries none.
  static bool TextOf(const QMimeData* data, std::string* out);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Callback drop_;
  Callback drag_over_;
  QWidget* window_ = nullptr;
  int key_state_ = 0;
};
