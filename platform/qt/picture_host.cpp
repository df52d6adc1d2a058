#include "platform/qt/picture_host.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace plat {
namespace {

// The one local file a drag carries, or an empty path when it carries none or several.
std::filesystem::path SingleFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return {};
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return {};
  const QByteArray local = urls[0].toLocalFile().toUtf8();
  return std::filesystem::path(std::string(local.constData(), static_cast<size_t>(local.size())));
}

}  // namespace

PictureHost::PictureHost(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setMouseTracking(true);
}

PictureHost::~PictureHost() = default;

void PictureHost::SetCallbacks(PointCallback press, PointCallback release, PointCallback move,
                               PointCallback doubleClick) {
  press_ = std::move(press);
  release_ = std::move(release);
  move_ = std::move(move);
  doubleClick_ = std::move(doubleClick);
}

void PictureHost::SetDropCallback(DropCallback cb) {
  drop_ = std::move(cb);
  setAcceptDrops(static_cast<bool>(drop_));
}

void PictureHost::Show(const QImage& image, double zoom) {
  shown_ = image;
  zoom_ = zoom;
  update();
}

void PictureHost::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (background_.isValid()) {
    p.fillRect(rect(), background_);
  } else {
    p.fillRect(rect(), palette().window());
  }
  if (shown_.isNull()) return;
  if (zoom_ == 1.0) {
    p.drawImage(QPoint(0, 0), shown_);
  } else {
    const int w = static_cast<int>(shown_.width() * zoom_);
    const int h = static_cast<int>(shown_.height() * zoom_);
    p.drawImage(QRect(0, 0, w, h), shown_);
  }
}

void PictureHost::mousePressEvent(QMouseEvent* event) {
  const QPoint pt = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    pressed_ = 1;
    outside_ = false;
    if (press_) press_(pt.x(), pt.y(), ReportedId());
  } else if (event->button() == Qt::RightButton) {
    if (rightClick_) rightClick_(pt.x(), pt.y(), ReportedId());
  }
}

void PictureHost::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pt = event->position().toPoint();
  // A button-up outside the widget belongs to whatever lies there: nothing is reported here,
  // and a picture host under the pointer reports it as its own release.
  if (!rect().contains(pt)) {
    if (pressed_) LeaveWhilePressed();
    outside_ = false;
    const QPoint global = event->globalPosition().toPoint();
    if (auto* other = qobject_cast<PictureHost*>(QApplication::widgetAt(global))) {
      if (other != this) other->ReleaseFromElsewhere(other->mapFromGlobal(global));
    }
    return;
  }
  outside_ = false;
  pressed_ = 0;
  if (release_) release_(pt.x(), pt.y(), ReportedId());
}

void PictureHost::ReleaseFromElsewhere(const QPoint& pt) {
  outside_ = false;
  pressed_ = 0;
  if (release_) release_(pt.x(), pt.y(), ReportedId());
}

void PictureHost::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pt = event->position().toPoint();
  if (!rect().contains(pt)) {
    if (pressed_) LeaveWhilePressed();
    return;
  }
  if (outside_) return;  // back in while still held: the press has ended already
  if (move_) move_(pt.x(), pt.y(), ReportedId());
}

void PictureHost::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pt = event->position().toPoint();
  if (doubleClick_) doubleClick_(pt.x(), pt.y(), id_);
}

void PictureHost::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void PictureHost::leaveEvent(QEvent*) {
  if (pressed_) LeaveWhilePressed();
}

void PictureHost::LeaveWhilePressed() {
  pressed_ = 0;
  outside_ = true;
  if (release_) release_(-1, -1, ReportedId());
}

void PictureHost::dragEnterEvent(QDragEnterEvent* event) {
  if (drop_ && !SingleFile(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void PictureHost::dragMoveEvent(QDragMoveEvent* event) {
  if (drop_ && !SingleFile(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void PictureHost::dropEvent(QDropEvent* event) {
  if (!drop_) return;
  const std::filesystem::path path = SingleFile(event->mimeData());
  if (path.empty()) return;
  event->acceptProposedAction();
  drop_(path, id_);
}

}  // namespace plat
