#include "app/brevant_app.h"

#include "app/main_dialog.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_file_dialogs.h"
#include "platform/qt/qt_message_sink.h"
#include "util/registry.h"

#include <memory>

CBrevantApp::CBrevantApp(std::string commandLine) : commandLine_(std::move(commandLine)) {}

std::string CBrevantApp::OpenCommand(const std::filesystem::path& program) {
  return "\"" + program.string() + "\" \"%1\"";
}

void CBrevantApp::RegisterSongFileType() {
  // Built from the program's own file, wherever the program was started from.
  GneRegisterFileType(".mwd", "Pellmor.Cantrel", "Cantrel Document",
                      OpenCommand(plat::ExecutablePath()), 0);
}

bool CBrevantApp::InitInstance() {
  RegisterSongFileType();
  plat::QtMessageSink sink("Cantrel");
  plat::InstallSink(&sink);
  plat::QtFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  {
    auto dialog = std::make_unique<CBrevantDlg>(commandLine_);
    sink.SetParent(dialog.get());
    dialogs.SetParent(dialog.get());
    if (exitWhenReady_) {
      CBrevantDlg* d = dialog.get();
      QObject::connect(d, &CBrevantDlg::Ready, d, [d]() { d->done(0); }, Qt::QueuedConnection);
    }
    dialog->exec();
    sink.SetParent(nullptr);
    dialogs.SetParent(nullptr);
    dialog->ReleaseAll();
  }
  plat::InstallFileDialogs(nullptr);
  plat::InstallSink(nullptr);
  return false;
}
