// The graphical message-box sink: every box of the system (errors, questions, information)
// runs as a QMessageBox on the UI thread. A box asked for by a worker thread is shown on the UI
// thread and the worker waits for the answer.
#pragma once

#include "platform/core/message_sink.h"

#include <QString>

class QWidget;

namespace plat {

class QtMessageSink : public MessageSink {
 public:
  // `title` is the caption of every box (CP932).
  explicit QtMessageSink(const std::string& title);
  int Show(BoxKind kind, const std::string& text) override;

  // The window the boxes are shown over (optional; null = none, the box is application-modal).
  void SetParent(QWidget* parent);

 private:
  int ShowOnUiThread(BoxKind kind, const QString& text);

  QString title_;
  QWidget* parent_ = nullptr;
};

}  // namespace plat
