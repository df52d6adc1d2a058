// A web browser inside a dialog: it opens an address, tells the address it shows, and gives
// notice before it leaves its page for another one the user asked for (a link, a form, back or
// forward). Frames and server redirects give no notice. Addresses are CP932 texts, as the
// system keeps them.
//
// Dialogs make their browser through MakeWebBrowser. The program installs the web engine's
// browser at start; without one (tests, builds without a web engine) the plain browser below
// stands in: it shows the address as text and lets a caller follow links in the user's place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QWidget;

namespace plat {

class WebBrowser {
 public:
  // Gets the address the browser is about to open.
  using NavigateNotice = std::function<void(const std::string& target)>;

  virtual ~WebBrowser() = default;
  // The browser's widget (owned by the parent it was made for).
  virtual QWidget* Widget() = 0;
  // Opens the address; an address that is not http or https is refused (false).
  virtual bool Navigate(const std::string& address) = 0;
  // The address shown now ("" before the first one).
  virtual std::string CurrentAddress() const = 0;

  void SetBeforeNavigate(NavigateNotice notice) { notice_ = std::move(notice); }

 protected:
  void NotifyBeforeNavigate(const std::string& target) {
    if (notice_) notice_(target);
  }

 private:
  NavigateNotice notice_;
};

using WebBrowserFactory = std::function<std::unique_ptr<WebBrowser>(QWidget* parent)>;
// Installs the factory dialogs use; an empty one restores the plain browser.
void InstallWebBrowserFactory(WebBrowserFactory factory);
std::unique_ptr<WebBrowser> MakeWebBrowser(QWidget* parent);

// True for an absolute http or https address with a host.
bool IsWebAddress(const std::string& address);
// True when the two addresses name the same page once normalised (scheme and host in small
// letters, the default port dropped, "." and ".." resolved, an empty path read as "/").
bool SameWebAddress(const std::string& a, const std::string& b);

// The browser without a web engine. FollowLink, FollowForm and GoBack stand for the user.
class PlainWebBrowser : public WebBrowser {
 public:
  explicit PlainWebBrowser(QWidget* parent);
  QWidget* Widget() override;
  bool Navigate(const std::string& address) override;
  std::string CurrentAddress() const override;

  // The user follows a link (or sends a form) to the address: notice first, then it opens.
  void FollowLink(const std::string& address);
  // The user goes back one page (nothing without an earlier page).
  void GoBack();
  // Every address opened, in order.
  const std::vector<std::string>& Opened() const { return opened_; }

 private:
  void Open(const std::string& address);

  QLabel* label_;
  std::vector<std::string> history_;
  std::vector<std::string> opened_;
};

}  // namespace plat
