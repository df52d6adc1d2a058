// Cantrel: the program's entry.
#include "app/brevant_app.h"
#include "platform/core/encoding.h"
#include "platform/core/folders.h"
#include "platform/core/instance_lock.h"
#include "platform/core/message_sink.h"
#include "platform/qt/qt_message_sink.h"
#include "platform/qt/qt_text.h"
#include "platform/webengine/webengine_browser.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  plat::PrepareWebEngine();
  QApplication app(argc, argv);
  plat::InstallWebEngineBrowser();
  plat::InstallJapaneseQtTexts();
  QApplication::setApplicationName(QStringLiteral("Cantrel"));
  QApplication::setOrganizationName(QStringLiteral("Pellmor"));
  std::string commandLine;
  bool probe = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (arg == "--exit-when-ready") {
      probe = true;  // start-up check: open, get ready, save and end, boxes to stderr
    } else if (commandLine.empty()) {
      commandLine = arg;
    }
  }

  // One copy per user data folder: a second start says so and ends before it writes anything.
  bool held = false;
  std::string why;
  const auto lock = plat::InstanceLock::Acquire(plat::UserDataFolder(), &held, &why);
  if (!lock && held) {
    if (probe) {
      plat::HeadlessSink().Show(plat::BoxKind::Error, why);
    } else {
      plat::QtMessageSink("Cantrel").Show(plat::BoxKind::Error, why);
    }
    return 1;
  }
  if (!lock) {
    // The folder cannot be written: the program runs, and its saves report what fails.
    std::fprintf(stderr, "cantrel: the user data folder cannot be locked: %s\n",
                 plat::Cp932ToUtf8(why).c_str());
  }
  CBrevantApp::RemoveInterruptedSaves();

  CBrevantApp theApp(commandLine);
  theApp.SetExitWhenReady(probe);
  theApp.InitInstance();
  return 0;
}
