#include "platform/webengine/webengine_browser.h"

#include "platform/qt/qt_text.h"

#include <QCoreApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace plat {

namespace {

// A page that tells its browser before it leaves for an address the user asked for.
class NoticePage : public QWebEnginePage {
 public:
  NoticePage(std::function<void(const QUrl&)> notice, QObject* parent)
      : QWebEnginePage(parent), notice_(std::move(notice)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    // Frames, redirects, reloads and the browser's own openings give no notice.
    if (isMainFrame && (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted ||
                        type == NavigationTypeBackForward)) {
      notice_(url);
    }
    return true;
  }

 private:
  std::function<void(const QUrl&)> notice_;
};

class WebEngineBrowser : public WebBrowser {
 public:
  explicit WebEngineBrowser(QWidget* parent) : view_(new QWebEngineView(parent)) {
    view_->setPage(new NoticePage(
        [this](const QUrl& url) {
          NotifyBeforeNavigate(FromQString(url.toString(QUrl::FullyEncoded)));
        },
        view_));
  }

  QWidget* Widget() override { return view_; }

  bool Navigate(const std::string& address) override {
    if (!IsWebAddress(address)) return false;
    view_->load(QUrl(ToQString(address)));
    return true;
  }

  std::string CurrentAddress() const override {
    return FromQString(view_->url().toString(QUrl::FullyEncoded));
  }

 private:
  QWebEngineView* view_;
};

}  // namespace

void PrepareWebEngine() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

std::unique_ptr<WebBrowser> MakeWebEngineBrowser(QWidget* parent) {
  return std::make_unique<WebEngineBrowser>(parent);
}

void InstallWebEngineBrowser() { InstallWebBrowserFactory(MakeWebEngineBrowser); }

}  // namespace plat
