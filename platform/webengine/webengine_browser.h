// The web engine's browser (Qt WebEngine) behind the dialogs' browser interface. Only the program
// and its one test link this library: it is large, and everything else uses the plain browser.
#pragma once

#include "platform/qt/web_browser.h"

namespace plat {

// Before the application object exists: the settings the web engine needs. Run as root it
// cannot start its sandbox (it would end the whole process when the first page is made), so
// the sandbox is turned off there.
void PrepareWebEngine();

// Makes dialogs use the web engine's browser.
void InstallWebEngineBrowser();

// The web engine's browser on its own (the factory above makes these).
std::unique_ptr<WebBrowser> MakeWebEngineBrowser(QWidget* parent);

}  // namespace plat
