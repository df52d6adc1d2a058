#include "app/brevant_app.h"

#include "app/main_dialog.h"
#include "platform/core/association.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_file_dialogs.h"
#include "platform/qt/qt_message_sink.h"
#include "util/registry.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// A termination signal (logout, shutdown, kill) reaches the window as its close request, so
// that the exit saves the working song and the settings. The handler only writes a byte.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  if (g_signalPipe[1] >= 0) {
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
  }
}

class TerminationWatch {
 public:
  explicit TerminationWatch(QWidget* window) {
    if (pipe(g_signalPipe) != 0) return;
    for (int fd : g_signalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, window, [window]() {
      char buffer[16];
      while (read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
      }
      window->close();
    });
    struct sigaction action = {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &oldTerm_);
    sigaction(SIGHUP, &action, &oldHup_);
  }
  ~TerminationWatch() {
    if (!notifier_) return;
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGHUP, &oldHup_, nullptr);
    notifier_.reset();
    for (int& fd : g_signalPipe) {
      close(fd);
      fd = -1;
    }
  }

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction oldTerm_ = {};
  struct sigaction oldHup_ = {};
};

}  // namespace

CBrevantApp::CBrevantApp(std::string commandLine) : commandLine_(std::move(commandLine)) {}

std::string CBrevantApp::OpenCommand(const std::filesystem::path& program) {
  return "\"" + program.string() + "\" \"%1\"";
}

void CBrevantApp::RegisterSongFileTypeFor(const std::filesystem::path& program) {
  GneRegisterFileType(".mwd", "Pellmor.Cantrel", "Cantrel Document", OpenCommand(program), 0);
}

bool CBrevantApp::RegisterSongFileType() {
  if (plat::RunningFromBuildTree()) return false;
  // Built from the program's own file, wherever the program was started from.
  RegisterSongFileTypeFor(plat::ExecutablePath());
  return true;
}

void CBrevantApp::RemoveInterruptedSaves() {
  plat::RemoveInterruptedSaves(plat::UserDataFolder());
  plat::RemoveInterruptedSaves(plat::TempFolder());
  plat::RemoveInterruptedAssociationWrites("Pellmor.Cantrel");
}

bool CBrevantApp::InitInstance() {
  RegisterSongFileType();
  // A start-up probe runs unattended: its boxes go to the standard error stream and take their
  // default answer instead of waiting for a click.
  plat::QtMessageSink sink("Cantrel");
  if (!exitWhenReady_) plat::InstallSink(&sink);
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
    {
      TerminationWatch watch(dialog.get());
      dialog->exec();
    }
    sink.SetParent(nullptr);
    dialogs.SetParent(nullptr);
    dialog->ReleaseAll();
  }
  plat::InstallFileDialogs(nullptr);
  if (!exitWhenReady_) plat::InstallSink(nullptr);
  return false;
}
