#include "dialogs/modal_dialog.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

void CModalDialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  QWidget* focus = focusWidget();
  const bool multiLine = qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QTextEdit*>(focus);
  if (enter && event->modifiers() == Qt::NoModifier && !multiLine) {
    accept();
    return;
  }
  CDialogSkeleton::keyPressEvent(event);
}
