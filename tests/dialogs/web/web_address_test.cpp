// The browser's address rules: which addresses open, and which name the same page.
#include "platform/qt/web_browser.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

TEST(WebAddress, OnlyHttpAndHttpsPagesWithAHostOpen) {
  struct Case {
    const char* address;
    bool opens;
  };
  const Case cases[] = {
      {"http://example.invalid/a", true},   {"https://example.invalid", true},
      {"HTTP://Example.invalid:8080/", true}, {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},        {"ftp://example.invalid/", false},
      {"http:///nohost", false},             {"example.invalid/a", false},
      {"", false},                           {"http://exa mple.invalid/", false},
  };
  QWidget parent;
  plat::PlainWebBrowser browser(&parent);
  for (const Case& c : cases) {
    EXPECT_EQ(plat::IsWebAddress(c.address), c.opens) << c.address;
    EXPECT_EQ(browser.Navigate(c.address), c.opens) << c.address;
  }
}

TEST(WebAddress, AddressesCompareAsNormalisedUrls) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"http://example.invalid/x", "http://example.invalid/x", true},
      {"http://example.invalid", "http://example.invalid/", true},
      {"HTTP://EXAMPLE.invalid/x", "http://example.invalid/x", true},
      {"http://example.invalid:80/x", "http://example.invalid/x", true},
      {"https://example.invalid:443/x", "https://example.invalid/x", true},
      {"http://example.invalid/a/../x", "http://example.invalid/./x", true},
      {"http://example.invalid/x", "https://example.invalid/x", false},
      {"http://example.invalid:8080/x", "http://example.invalid/x", false},
      {"http://example.invalid/X", "http://example.invalid/x", false},
      {"http://example.invalid/x?a=1", "http://example.invalid/x?a=2", false},
      {"http://example.invalid/x#top", "http://example.invalid/x", false},
      {"", "http://example.invalid/", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::SameWebAddress(c.a, c.b), c.same) << c.a << " ~ " << c.b;
    EXPECT_EQ(plat::SameWebAddress(c.b, c.a), c.same) << c.b << " ~ " << c.a;
  }
}

TEST(WebAddress, ThePlainBrowserGivesNoticeForTheUsersStepsOnly) {
  QWidget parent;
  plat::PlainWebBrowser browser(&parent);
  std::vector<std::string> notices;
  browser.SetBeforeNavigate([&](const std::string& t) { notices.push_back(t); });
  browser.Navigate("http://example.invalid/1");
  EXPECT_TRUE(notices.empty());
  browser.GoBack();  // nothing earlier
  EXPECT_TRUE(notices.empty());
  browser.FollowLink("http://example.invalid/2");
  browser.GoBack();
  EXPECT_EQ(notices, (std::vector<std::string>{"http://example.invalid/2", "http://example.invalid/1"}));
  EXPECT_EQ(browser.CurrentAddress(), "http://example.invalid/1");
}

}  // namespace
