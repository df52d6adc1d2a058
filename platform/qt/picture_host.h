// The widget that hosts a drawn picture and reports the mouse and dropped files.
//
// It shows the image last copied to it (Show) and reports, through plain callbacks:
//   press (left button down), release (left button up, or the pointer leaving while the left
//   button is held: x = y = -1, once), move, right-click (right button down), double-click
//   (left) and the drop of exactly one file.
// The reported id is the id, or group * 256 + id once a group is set; press, release, move and
// right-click report that, double-click and drop the plain id.
// The widget behaves as if it never captured the mouse: once the pointer has left it while
// pressed, the button-up that follows elsewhere reports nothing here (a picture host under the
// pointer reports it as its own release, whatever its pressed state), and moves outside it are
// not reported.
#pragma once

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <functional>

namespace plat {

class PictureHost : public QWidget {
  Q_OBJECT

 public:
  using PointCallback = std::function<void(int x, int y, int id)>;
  using DropCallback = std::function<void(const std::filesystem::path& path, int id)>;

  explicit PictureHost(QWidget* parent = nullptr);
  ~PictureHost() override;

  void SetId(int id) { id_ = id; }
  void SetGroup(int group) { group_ = group; }
  int Id() const { return id_; }
  int Group() const { return group_; }
  int ReportedId() const { return group_ == -1 ? id_ : group_ * 256 + id_; }
  bool Pressed() const { return pressed_ != 0; }

  // Stores the four callbacks at once (the double-click callback too, also when null).
  void SetCallbacks(PointCallback press, PointCallback release, PointCallback move,
                    PointCallback doubleClick);
  void SetDoubleClickCallback(PointCallback cb) { doubleClick_ = std::move(cb); }
  void SetRightClickCallback(PointCallback cb) { rightClick_ = std::move(cb); }
  void SetDropCallback(DropCallback cb);

  // Copies a picture onto the widget at (0,0); a zoom other than 1.0 stretches it, its size
  // truncated. The widget keeps showing it until the next Show.
  void Show(const QImage& image, double zoom = 1.0);
  const QImage& Shown() const { return shown_; }
  double Zoom() const { return zoom_; }
  // The background painted where no picture lies.
  void SetBackground(const QColor& c) { background_ = c; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // The right button is the picture's own (its right-click report): the window behind it opens
  // no menu of its own.
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void LeaveWhilePressed();
  void ReleaseFromElsewhere(const QPoint& pt);

  int id_ = -1;
  int group_ = -1;
  int pressed_ = 0;
  bool outside_ = false;  // the pointer has left while pressed: ignore until the next press
  PointCallback press_, release_, move_, doubleClick_, rightClick_;
  DropCallback drop_;
  QImage shown_;
  double zoom_ = 1.0;
  QColor background_;
};

}  // namespace plat
