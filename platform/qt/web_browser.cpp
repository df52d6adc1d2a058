#include "platform/qt/web_browser.h"

#include "platform/qt/qt_text.h"

#include <QLabel>
#include <QUrl>

#include <mutex>

namespace plat {

namespace {

std::mutex g_factoryMutex;
WebBrowserFactory& Factory() {
  static WebBrowserFactory factory;
  return factory;
}

QUrl NormalUrl(const std::string& address) {
  QUrl url(ToQString(address).trimmed(), QUrl::StrictMode);
  if (!url.isValid()) return QUrl();
  url = url.adjusted(QUrl::NormalizePathSegments);
  const QString scheme = url.scheme().toLower();
  if ((scheme == QLatin1String("http") && url.port() == 80) ||
      (scheme == QLatin1String("https") && url.port() == 443)) {
    url.setPort(-1);
  }
  if (url.path().isEmpty()) url.setPath(QStringLiteral("/"));
  return url;
}

}  // namespace

void InstallWebBrowserFactory(WebBrowserFactory factory) {
  std::lock_guard<std::mutex> lock(g_factoryMutex);
  Factory() = std::move(factory);
}

std::unique_ptr<WebBrowser> MakeWebBrowser(QWidget* parent) {
  WebBrowserFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    factory = Factory();
  }
  if (factory) {
    if (auto browser = factory(parent)) return browser;
  }
  return std::make_unique<PlainWebBrowser>(parent);
}

bool IsWebAddress(const std::string& address) {
  const QUrl url = NormalUrl(address);
  const QString scheme = url.scheme().toLower();
  return url.isValid() && !url.host().isEmpty() &&
         (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool SameWebAddress(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const QUrl x = NormalUrl(a), y = NormalUrl(b);
  return x.isValid() && y.isValid() && x == y;
}

PlainWebBrowser::PlainWebBrowser(QWidget* parent) : label_(new QLabel(parent)) {
  label_->setAlignment(Qt::AlignCenter);
  label_->setWordWrap(true);
}

QWidget* PlainWebBrowser::Widget() { return label_; }

bool PlainWebBrowser::Navigate(const std::string& address) {
  if (!IsWebAddress(address)) return false;
  Open(address);
  return true;
}

std::string PlainWebBrowser::CurrentAddress() const {
  return history_.empty() ? std::string() : history_.back();
}

void PlainWebBrowser::FollowLink(const std::string& address) {
  NotifyBeforeNavigate(address);
  Open(address);
}

void PlainWebBrowser::GoBack() {
  if (history_.size() < 2) return;
  NotifyBeforeNavigate(history_[history_.size() - 2]);
  history_.pop_back();
  opened_.push_back(history_.back());
  label_->setText(ToQString(history_.back()));
}

void PlainWebBrowser::Open(const std::string& address) {
  history_.push_back(address);
  opened_.push_back(address);
  label_->setText(ToQString(address));
}

}  // namespace plat
