#include "platform/qt/text_drag_drop.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/core/message_sink.h"
#include "platform/qt/qt_text.h"

namespace {

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The longest prefix of at most max bytes that ends between two characters.
size_t FitCharacters(const std::string& text, size_t max) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t w = (IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    if (i + w > max) break;
    i += w;
  }
  return i;
}

bool CarriesLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

int KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (buttons & Qt::LeftButton) state |= kKeyLeftButton;
  if (buttons & Qt::RightButton) state |= kKeyRightButton;
  if (buttons & Qt::MiddleButton) state |= kKeyMiddleButton;
  if (modifiers & Qt::ShiftModifier) state |= kKeyShift;
  if (modifiers & Qt::ControlModifier) state |= kKeyControl;
  if (modifiers & Qt::AltModifier) state |= kKeyAlt;
  return state;
}

}  // namespace

// ---- FMTETC ----

FMTETC::FMTETC(const std::vector<std::string>* formats, int count)
    : formats_(formats), count_(formats != nullptr ? std::min<int>(count, static_cast<int>(formats->size())) : 0) {}

int FMTETC::QueryInterface(DragInterface which, void** out) {
  if (out == nullptr) return kDragInvalidArgument;
  if (which == DragInterface::kUnknown || which == DragInterface::kEnumFormats) {
    *out = this;
    AddRef();
    return kDragOk;
  }
  *out = nullptr;
  return kDragNoInterface;
}

int FMTETC::AddRef() { return ++refs_; }

int FMTETC::Release() {
  const int left = --refs_;
  if (left <= 0) delete this;
  return left < 0 ? 0 : left;
}

int FMTETC::Next(int n, std::string* out, int* fetched) {
  int copied = 0;
  while (copied < n && cursor_ < count_) {
    if (out != nullptr) out[copied] = (*formats_)[static_cast<size_t>(cursor_)];
    ++copied;
    ++cursor_;
  }
  if (fetched != nullptr) *fetched = copied;
  return copied == n ? kDragOk : kDragFalse;
}

int FMTETC::Skip(int n) {
  if (n < 0 || n > count_ - cursor_) {
    cursor_ = count_;
    return kDragFalse;
  }
  cursor_ += n;
  return kDragOk;
}

int FMTETC::Reset() {
  cursor_ = 0;
  return kDragOk;
}

int FMTETC::Clone(FMTETC** out) {
  if (out != nullptr) *out = nullptr;
  return kDragNotImplemented;
}

// ---- DROPSRC ----

DROPSRC::DROPSRC(const char* name, const char* text, int length)
    : name_(name), length_(text != nullptr ? std::max(length, 0) : 0), text_(text) {}

int DROPSRC::QueryInterface(DragInterface which, void** out) {
  if (out == nullptr) return kDragInvalidArgument;
  if (which == DragInterface::kUnknown || which == DragInterface::kDropSource ||
      which == DragInterface::kDataObject) {
    *out = this;
    AddRef();
    return kDragOk;
  }
  *out = nullptr;
  return kDragNoInterface;
}

int DROPSRC::AddRef() { return ++refs_; }

int DROPSRC::Release() {
  const int left = --refs_;
  if (left <= 0) delete this;
  return left < 0 ? 0 : left;
}

int DROPSRC::QueryContinueDrag(bool escape_pressed, int key_state) {
  if (escape_pressed) return kDragCancel;
  return (key_state & kKeyLeftButton) ? kDragOk : kDragDrop;
}

int DROPSRC::GiveFeedback(int) { return kDragUseDefaultCursors; }

int DROPSRC::QueryGetData(const std::string& format) const {
  return format == kDragTextFormat ? kDragOk : kDragNotImplemented;
}

int DROPSRC::GetData(const std::string& format, std::string* out) const {
  const int result = QueryGetData(format);
  if (result != kDragOk) return result;
  if (out == nullptr) return kDragInvalidArgument;
  out->assign(text_ != nullptr ? text_ : "", static_cast<size_t>(length_));
  return kDragOk;
}

int DROPSRC::EnumFormatEtc(int, FMTETC** out) {
  if (out == nullptr) return kDragInvalidArgument;
  FMTETC* e = new (std::nothrow) FMTETC(&formats_, static_cast<int>(formats_.size()));
  if (e == nullptr) {
    *out = nullptr;
    return kDragOutOfMemory;
  }
  void* face = nullptr;
  const int result = e->QueryInterface(DragInterface::kEnumFormats, &face);
  *out = static_cast<FMTETC*>(face);
  return result;
}

QMimeData* DROPSRC::MakeMimeData() const {
  std::string text;
  GetData(kDragTextFormat, &text);
  // The block may hold its terminator within the length: the text ends there.
  text = std::string(text.c_str());
  auto* mime = new QMimeData;
  mime->setText(plat::ToQString(text));
  return mime;
}

int DROPSRC::DoDragDrop(QWidget* source) {
  AddRef();
  auto* drag = new QDrag(source);
  drag->setMimeData(MakeMimeData());
  const Qt::DropAction action = drag->exec(Qt::CopyAction);
  Release();
  return action == Qt::CopyAction ? kDropEffectCopy : kDropEffectNone;
}

// ---- CDropTarget ----

CDropTarget::CDropTarget(Callback drop, Callback drag_over)
    : drop_(std::move(drop)), drag_over_(std::move(drag_over)) {}

CDropTarget::~CDropTarget() { Revoke(); }

void CDropTarget::Register(QWidget* window) {
  Revoke();
  window_ = window;
  if (window_ == nullptr) return;
  window_->setAcceptDrops(true);
  window_->installEventFilter(this);
  QObject::connect(window_, &QObject::destroyed, this, [this] { window_ = nullptr; });
}

void CDropTarget::Revoke() {
  if (window_ == nullptr) return;
  window_->removeEventFilter(this);
  QObject::disconnect(window_, nullptr, this, nullptr);
  window_ = nullptr;
}

int CDropTarget::ErrorMsg(int code) {
  char text[256];
  std::snprintf(text, sizeof text, "DRTG%08X %s", static_cast<unsigned>(code),
                code == 1 ? "この形式はサポートしていません" : "CDropTarget::ErrorMsg");
  return plat::ShowBox(plat::BoxKind::Error, text);
}

bool CDropTarget::TextOf(const QMimeData* data, std::string* out) {
  if (data == nullptr || !data->hasText()) return false;
  std::string text = plat::FromQString(data->text());
  text.resize(FitCharacters(text, kMaxText));
  *out = std::string(text.c_str());  // up to a NUL the text may carry
  return true;
}

int CDropTarget::OnDragOver(const QMimeData* data, int key_state, QPoint point) {
  key_state_ = key_state;
  std::string text;
  if (!TextOf(data, &text)) return kDropEffectNone;
  if (drag_over_) drag_over_(text.c_str(), point.x(), point.y());
  return kDropEffectCopy;
}

bool CDropTarget::OnDrop(const QMimeData* data, int, QPoint point) {
  std::string text;
  if (!TextOf(data, &text)) {
    ErrorMsg(1);
    return false;
  }
  if (drop_) drop_(text.c_str(), point.x(), point.y());
  return true;
}

bool CDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::DragEnter: {
      auto* e = static_cast<QDragEnterEvent*>(event);
      if (CarriesLocalFiles(e->mimeData())) return false;  // the window's file drop
      // Every other drag enters, so that the moves and the drop reach this target; a drag
      // without text is then refused move by move, and its drop says why.
      e->setDropAction(Qt::CopyAction);
      e->accept();
      return true;
    }
    case QEvent::DragMove: {
      auto* e = static_cast<QDragMoveEvent*>(event);
      if (CarriesLocalFiles(e->mimeData())) return false;
      const int effect = OnDragOver(e->mimeData(), KeyState(e->buttons(), e->modifiers()),
                                    e->position().toPoint());
      if (effect == kDropEffectCopy) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
      } else {
        e->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* e = static_cast<QDropEvent*>(event);
      if (CarriesLocalFiles(e->mimeData())) return false;
      if (OnDrop(e->mimeData(), kDropEffectCopy, e->position().toPoint())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
      } else {
        e->ignore();
      }
      return true;
    }
    default:
      return false;
  }
}
