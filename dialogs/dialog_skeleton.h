// What every dialog and panel of the program shares: a template id as its object name, the
// program's dialog colours, private messages, message boxes that keep typed text away from the
// keyboard hook, closing after a skin button has been seen and Ctrl keys for the main window.
//
// A dialog is built, its creator fills in the owner and other back pointers, then Create() runs
// its initialisation once (modeless panels), or exec() does so and runs it modally.
#pragma once

#include "dialogs/dialog_owner.h"
#include "platform/qt/dc.h"

#include <QDialog>
#include <QPointer>

class COffScreenControl;

#include <cstdint>
#include <initializer_list>
#include <string>

class QPlainTextEdit;

class CDialogSkeleton : public QDialog {
  Q_OBJECT

 public:
  // Text and background colours (0x00BBGGRR) of a dialog and the labels it colours.
  static constexpr plat::ColorRef kTextColour = 0x407F40;
  static constexpr plat::ColorRef kBackColour = 0xC8C2C2;
  // The Ctrl+key command message of the main window.
  static constexpr uint32_t kMsgCtrlKey = 0x8000 + 39;

  explicit CDialogSkeleton(int templateId, QWidget* parent = nullptr);
  ~CDialogSkeleton() override;

  int TemplateId() const { return templateId_; }
  void SetOwner(CDialogOwner* owner) { owner_ = owner; }
  CDialogOwner* Owner() const { return owner_; }
  // 1 when the owner's display scale is exactly 100 (the first set of captions and places).
  bool AtScale100() const;

  // Runs the initialisation once (later calls do nothing); false when it failed.
  bool Create();
  bool Created() const { return created_; }
  // Create(), then runs modally with the keyboard hook out while notes come from the PC keys.
  int exec() override;

  // The dialog's message in an OK box; while notes come from the PC keyboard the hook is out for
  // the box's time and back in afterwards with its callbacks.
  void ShowMessage(const std::string& text);
  // Ends the dialog with `result` once the pressed skin button has been seen (`delayMs` later,
  // on a timer: the window keeps painting meanwhile).
  void CloseAfterButton(int result, int delayMs = 300);
  bool ClosePending() const { return closePending_; }

  // A label that shows in the dialog's own colours; other controls keep the toolkit's.
  void UseDialogColours(QWidget* label);
  // Key presses with Ctrl held anywhere in the dialog go to the main window as its Ctrl+key
  // command (key, 1) before the focused control sees them.
  void ForwardCtrlKeys(bool on) { forwardCtrlKeys_ = on; }

  // A control's place in client pixels, by its resource id.
  struct ControlPlace {
    int id, left, top, right, bottom;
  };
  // A closed drop-down's height.
  static constexpr int kClosedListHeight = 22;
  // Moves each of the dialog's own controls to its place. A drop-down's rectangle gives its left,
  // top and width and the height of its open list.
  void PlaceControls(std::initializer_list<ControlPlace> places);
  // A new control of the dialog named by its resource id.
  template <typename W>
  W* MakeControl(int id) {
    W* w = new W(this);
    w->setObjectName(QString::number(id));
    return w;
  }
  // A read-only box of advice lines: a small font, one line to a row.
  QPlainTextEdit* MakeAdviceBox(int id);

  // Handles a private message at once on the calling (UI) thread, as a sent message.
  void Send(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Queues a private message for this dialog.
  void Post(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Posts to the owner (nothing without one).
  void PostToMain(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);

 protected:
  // The dialog's own initialisation: pictures on their hosts, lists, places. False: failed.
  virtual bool OnInitDialog() { return true; }
  // The dialog's private messages.
  virtual void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {}
  // Copies the dialog's pictures to their hosts (painting).
  virtual void CopyPictures() {}
  // A shown picture host of this dialog, named by its control id.
  COffScreenControl* AddPictureHost(int id);

  void customEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WatchKeys(QObject* object);

  int templateId_;
  CDialogOwner* owner_ = nullptr;
  bool created_ = false;
  bool closePending_ = false;
  bool forwardCtrlKeys_ = false;
  const QEvent* lastKeyEvent_ = nullptr;
  quint64 lastKeyTime_ = 0;
  int lastKey_ = 0;
  QPointer<QObject> lastKeyTarget_;
};
