#include "dialogs/dialog_skeleton.h"

#include "draw/offscreen_control.h"
#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"
#include "util/gne.h"

#include <QChildEvent>
#include <QComboBox>
#include <QFont>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

QColor ToQColor(plat::ColorRef c) {
  return QColor(plat::GetRValue(c), plat::GetGValue(c), plat::GetBValue(c));
}

}  // namespace

CDialogSkeleton::CDialogSkeleton(int templateId, QWidget* parent)
    : QDialog(parent), templateId_(templateId) {
  setObjectName(QString::number(templateId));
  // The dialog answers its own colour request with its background; its children show through
  // to it but keep the toolkit's text colours.
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(kBackColour));
  setPalette(pal);
  installEventFilter(this);
}

CDialogSkeleton::~CDialogSkeleton() = default;

bool CDialogSkeleton::AtScale100() const { return !owner_ || owner_->DisplayScale() == 100; }

bool CDialogSkeleton::Create() {
  if (created_) return true;
  created_ = true;
  const bool ok = OnInitDialog();
  for (QObject* child : findChildren<QObject*>()) WatchKeys(child);
  return ok;
}

int CDialogSkeleton::exec() {
  Create();
  const KeyboardHookPause pause(owner_ && owner_->InputMode() == 0);
  return QDialog::exec();
}

void CDialogSkeleton::ShowMessage(const std::string& text) {
  const KeyboardHookPause pause(owner_ && owner_->InputMode() == 0);
  GneMessageBox(text);
}

void CDialogSkeleton::CloseAfterButton(int result, int delayMs) {
  if (closePending_) return;
  closePending_ = true;
  QTimer::singleShot(delayMs, this, [this, result] {
    closePending_ = false;
    done(result);
  });
}

void CDialogSkeleton::UseDialogColours(QWidget* label) {
  if (!label) return;
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, ToQColor(kTextColour));
  pal.setColor(QPalette::Window, ToQColor(kBackColour));
  label->setPalette(pal);
}

void CDialogSkeleton::PlaceControls(std::initializer_list<ControlPlace> places) {
  for (const ControlPlace& p : places) {
    QWidget* w = findChild<QWidget*>(QString::number(p.id), Qt::FindDirectChildrenOnly);
    if (!w) continue;
    const int height = p.bottom - p.top;
    if (auto* list = qobject_cast<QComboBox*>(w)) {
      w->setGeometry(p.left, p.top, p.right - p.left, kClosedListHeight);
      if (height > kClosedListHeight) list->setMaxVisibleItems(std::max(3, height / 16));
    } else {
      w->setGeometry(p.left, p.top, p.right - p.left, height);
    }
  }
}

QPlainTextEdit* CDialogSkeleton::MakeAdviceBox(int id) {
  auto* box = MakeControl<QPlainTextEdit>(id);
  box->setReadOnly(true);
  // Every line fits the box's width, and the lines its height.
  QFont small = box->font();
  small.setPixelSize(10);
  box->setFont(small);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->document()->setDocumentMargin(1);
  return box;
}

void CDialogSkeleton::Send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  WindowProc(message, wparam, lparam);
}

void CDialogSkeleton::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  plat::PostAppMessage(this, message, wparam, lparam);
}

void CDialogSkeleton::PostToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (owner_) owner_->PostToMain(message, wparam, lparam);
}

void CDialogSkeleton::customEvent(QEvent* event) {
  if (const plat::AppMessage* m = plat::IsAppMessage(event)) {
    WindowProc(m->message, m->wparam, m->lparam);
    return;
  }
  QDialog::customEvent(event);
}

void CDialogSkeleton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(kBackColour));
  p.end();
  CopyPictures();
}

void CDialogSkeleton::WatchKeys(QObject* object) {
  // Installing twice would only move the filter; every object is watched once.
  if (object->property("cantrelKeysWatched").toBool()) return;
  object->setProperty("cantrelKeysWatched", true);
  object->installEventFilter(this);
}

bool CDialogSkeleton::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    // Controls made after the initialisation (lists' pop-ups, rebuilt pictures) are watched too.
    QObject* child = static_cast<QChildEvent*>(event)->child();
    if (child && created_) WatchKeys(child);
  } else if (event->type() == QEvent::KeyPress && forwardCtrlKeys_) {
    auto* key = static_cast<QKeyEvent*>(event);
    // A key no control takes travels up to its parents: it is forwarded once, where it began.
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* last = qobject_cast<QWidget*>(lastKeyTarget_.data());
    const bool passedUp = event == lastKeyEvent_ && key->timestamp() == lastKeyTime_ &&
                          key->key() == lastKey_ && widget &&
                          last && widget->isAncestorOf(last);
    lastKeyEvent_ = event;
    lastKeyTime_ = key->timestamp();
    lastKey_ = key->key();
    lastKeyTarget_ = watched;
    if (!passedUp && (key->modifiers() & Qt::ControlModifier)) {
      const int vk = CKeyboardHook::VirtualKeyOf(*key);
      // Ctrl alone is no command.
      if (vk != 0 && vk != 0x11) PostToMain(kMsgCtrlKey, static_cast<uintptr_t>(vk), 1);
    }
  }
  return QDialog::eventFilter(watched, event);
}

COffScreenControl* CDialogSkeleton::AddPictureHost(int id) {
  auto* host = new COffScreenControl(this);
  host->setObjectName(QString::number(id));
  host->show();
  return host;
}
