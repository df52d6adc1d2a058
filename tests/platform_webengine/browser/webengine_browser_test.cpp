// The web engine's browser on Qt's offscreen platform: a page from the stub server loads, its
// address reads back, and a link the page's script clicks gives the notice before it opens; the
// browser's own openings give none, and addresses other than http and https are refused.
#include "platform/webengine/webengine_browser.h"

#include "tests/support/stub_http_server.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace cantrel_test {
void InstallTestEnvironment();
}

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(WebEngineBrowser, LoadsAPageReadsItsAddressAndNoticesALinkClick) {
  cantrel_test::StubHttpServer server;
  ASSERT_TRUE(server.ok());
  cantrel_test::StubHttpServer::Answer page;
  page.body =
      "<html><body><a id='go' href='/next.html'>next</a>"
      "<iframe src='/frame.html'></iframe></body></html>";
  server.Set("/page.html", page);
  cantrel_test::StubHttpServer::Answer next;
  next.body = "<html><body>next</body></html>";
  server.Set("/next.html", next);
  server.Set("/frame.html", next);

  QWidget parent;
  parent.resize(400, 300);
  std::unique_ptr<plat::WebBrowser> browser = plat::MakeWebEngineBrowser(&parent);
  auto* view = qobject_cast<QWebEngineView*>(browser->Widget());
  ASSERT_NE(view, nullptr);
  view->resize(400, 300);
  parent.show();
  std::vector<std::string> notices;
  browser->SetBeforeNavigate([&](const std::string& target) { notices.push_back(target); });
  int loads = 0;
  QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) { loads += ok ? 1 : 0; });

  EXPECT_FALSE(browser->Navigate("file:///etc/passwd"));
  EXPECT_FALSE(browser->Navigate("javascript:alert(1)"));
  const std::string address = server.Url("/page.html");
  ASSERT_TRUE(browser->Navigate(address));
  ASSERT_TRUE(PumpUntil([&] { return loads >= 1; }));
  EXPECT_TRUE(plat::SameWebAddress(browser->CurrentAddress(), address)) << browser->CurrentAddress();
  // Neither the browser's own opening nor the frame gave notice.
  EXPECT_TRUE(notices.empty());

  view->page()->runJavaScript(QStringLiteral("document.getElementById('go').click();"));
  ASSERT_TRUE(PumpUntil([&] { return !notices.empty(); }));
  EXPECT_TRUE(plat::SameWebAddress(notices[0], server.Url("/next.html"))) << notices[0];
  ASSERT_TRUE(PumpUntil([&] { return plat::SameWebAddress(browser->CurrentAddress(), server.Url("/next.html")); }));
  EXPECT_EQ(notices.size(), 1u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  plat::PrepareWebEngine();
  QApplication app(argc, argv);
  cantrel_test::InstallTestEnvironment();
  return RUN_ALL_TESTS();
}
