#include "platform/qt/qt_message_sink.h"

#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace plat {

QtMessageSink::QtMessageSink(const std::string& title) : title_(ToQString(title)) {}

void QtMessageSink::SetParent(QWidget* parent) { parent_ = parent; }

int QtMessageSink::Show(BoxKind kind, const std::string& text) {
  const QString qtext = ToQString(text);
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return HeadlessSink().Show(kind, text);
  if (QThread::currentThread() == app->thread()) return ShowOnUiThread(kind, qtext);
  int answer = kIdOk;
  QMetaObject::invokeMethod(
      app, [&]() { answer = ShowOnUiThread(kind, qtext); }, Qt::BlockingQueuedConnection);
  return answer;
}

int QtMessageSink::ShowOnUiThread(BoxKind kind, const QString& text) {
  QMessageBox box(parent_);
  box.setWindowTitle(title_);
  box.setText(text);
  switch (kind) {
    case BoxKind::Error:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxKind::Confirm:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case BoxKind::Message:
      box.setIcon(QMessageBox::Information);
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  // System-modal in spirit: the box stays above the program's windows.
  if (kind != BoxKind::Message) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.setWindowModality(Qt::ApplicationModal);
  const int result = box.exec();
  if (kind == BoxKind::Confirm) return result == QMessageBox::Ok ? kIdOk : kIdCancel;
  return kIdOk;
}

}  // namespace plat
