// Cantrel: the program's entry.
#include "app/brevant_app.h"

#include <QApplication>

#include <string>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Cantrel"));
  QApplication::setOrganizationName(QStringLiteral("Pellmor"));
  std::string commandLine;
  bool probe = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (arg == "--exit-when-ready") {
      probe = true;  // start-up measurement: open, get ready, end
    } else if (commandLine.empty()) {
      commandLine = arg;
    }
  }
  CBrevantApp theApp(commandLine);
  theApp.SetExitWhenReady(probe);
  theApp.InitInstance();
  return 0;
}
