// The open, save and folder dialogs as Qt file dialogs, behind platform/core/file_dialogs.h.
// A dialog asked for on another thread runs on the UI thread and the caller waits.
#pragma once

#include "platform/core/file_dialogs.h"

#include <QStringList>

class QFileDialog;
class QWidget;

namespace plat {

class QtFileDialogs : public FileDialogs {
 public:
  FileDialogResult RunFileDialog(const FileDialogRequest& request) override;
  FolderDialogResult RunFolderDialog(const FolderDialogRequest& request) override;

  // The window the dialogs belong to (optional).
  void SetParent(QWidget* parent) { parent_ = parent; }

 private:
  FileDialogResult RunFileOnUiThread(const FileDialogRequest& request);
  FolderDialogResult RunFolderOnUiThread(const FolderDialogRequest& request);

  QWidget* parent_ = nullptr;
};

// "midi files|*.mid|abc files|*.abc|" -> {"midi files (*.mid)", "abc files (*.abc)"}; several
// patterns of one item ("*.mid;*.midi") become one filter.
QStringList NameFiltersFor(const std::string& filter);
// Sets a dialog up for a request (mode, filters, extension, initial folder and file).
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);
// The result of a dialog that has ended.
FileDialogResult ResultOf(const QFileDialog& dialog, bool accepted);

}  // namespace plat
