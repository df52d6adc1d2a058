#include "platform/qt/qt_file_dialogs.h"

#include "platform/qt/qt_text.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMetaObject>
#include <QThread>

namespace plat {
namespace {

QString NativePath(const std::filesystem::path& p) {
  return QString::fromUtf8(p.string().c_str());
}

std::filesystem::path FromQtPath(const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  return std::filesystem::path(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}

bool OnUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace

QStringList NameFiltersFor(const std::string& filter) {
  QStringList out;
  for (const auto& [name, pattern] : SplitFilter(filter)) {
    QString patterns = ToQString(pattern);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << ToQString(name) + QStringLiteral(" (") + patterns.simplified() + QStringLiteral(")");
  }
  return out;
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  const bool save = request.kind != FileDialogRequest::Kind::Open;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && request.confirm_overwrite));
  if (!request.default_extension.empty()) {
    dialog.setDefaultSuffix(ToQString(request.default_extension));
  }
  const QStringList filters = NameFiltersFor(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = request.filter_index > 0 ? request.filter_index - 1 : 0;
    if (index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  if (!request.initial_folder.empty()) dialog.setDirectory(NativePath(request.initial_folder));
  if (!request.initial_file.empty() && request.kind != FileDialogRequest::Kind::SaveNewStyle) {
    const std::filesystem::path file = request.initial_file;
    if (file.has_parent_path() && request.initial_folder.empty()) {
      dialog.setDirectory(NativePath(file.parent_path()));
    }
    dialog.selectFile(NativePath(file.filename()));
  }
}

FileDialogResult ResultOf(const QFileDialog& dialog, bool accepted) {
  FileDialogResult result;
  if (!accepted) return result;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return result;
  result.chosen = true;
  result.path = FromQtPath(files.first());
  const int index = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
  result.filter_index = index >= 0 ? index + 1 : 1;
  return result;
}

namespace {

// Runs a dialog on the UI thread: directly there, from another thread by waiting for it; no
// application gives the empty result.
template <typename Result, typename Run>
Result RunOnUiThread(Run run) {
  if (!QCoreApplication::instance()) return Result{};
  if (OnUiThread()) return run();
  Result result;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&]() { result = run(); }, Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace

FileDialogResult QtFileDialogs::RunFileDialog(const FileDialogRequest& request) {
  return RunOnUiThread<FileDialogResult>([&]() { return RunFileOnUiThread(request); });
}

FolderDialogResult QtFileDialogs::RunFolderDialog(const FolderDialogRequest& request) {
  return RunOnUiThread<FolderDialogResult>([&]() { return RunFolderOnUiThread(request); });
}

FileDialogResult QtFileDialogs::RunFileOnUiThread(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  ConfigureFileDialog(dialog, request);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  return ResultOf(dialog, accepted);
}

FolderDialogResult QtFileDialogs::RunFolderOnUiThread(const FolderDialogRequest& request) {
  QFileDialog dialog(parent_);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (!request.title.empty()) dialog.setWindowTitle(ToQString(request.title));
  if (!request.initial_folder.empty()) dialog.setDirectory(NativePath(request.initial_folder));
  FolderDialogResult result;
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    result.chosen = true;
    result.path = FromQtPath(dialog.selectedFiles().first());
  }
  return result;
}

}  // namespace plat
