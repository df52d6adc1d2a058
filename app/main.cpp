// Cantrel: the program's entry.
#include "app/brevant_app.h"

#include <QApplication>

#include <string>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Cantrel"));
  QApplication::setOrganizationName(QStringLiteral("Pellmor"));
  std::string commandLine;
  if (argc > 1 && argv[1]) commandLine = argv[1];
  CBrevantApp theApp(commandLine);
  theApp.InitInstance();
  return 0;
}
