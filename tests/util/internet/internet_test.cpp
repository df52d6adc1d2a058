// HTTP download against a stub server on 127.0.0.1, and the URL helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/test_support.h"
#include "tests/support/stub_http_server.h"
#include "util/internet.h"

namespace {

using cantrel_test::Sink;
using cantrel_test::StubHttpServer;

const char kBoxText[] = "インターネット読み込みエラー";
const char kFailed[] = "読み込みに失敗しました。";

class InternetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The loopback server must be reached directly even where a proxy is configured.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY"}) {
      unsetenv(name);
    }
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    ASSERT_TRUE(server_.ok());
  }

  static std::string Body(size_t n) {
    std::string body(n, '\0');
    for (size_t i = 0; i < n; ++i) body[i] = static_cast<char>('a' + i % 26);
    return body;
  }

  StubHttpServer server_;
};

TEST_F(InternetTest, BodiesBelowAtAndAboveTheCapacity) {
  const struct {
    size_t body;
    int result;
    int count;
    size_t boxes;
  } cases[] = {
      {0, 1, 0, 0},
      {40, 1, 40, 0},
      {99, 1, 99, 0},
      {100, 1, 100, 1},      // exactly the capacity: the box once, still a success
      {101, 0, 100, 1},      // one byte more: the box once, stop, failure
      {300000, 0, 100, 1},   // far more: the same
  };
  for (const auto& c : cases) {
    Sink().Clear();
    server_.Set("/list", {200, Body(c.body), "", false});
    CInternet net(100);
    const std::string url = server_.Url("/list");
    EXPECT_EQ(net.Download(url.c_str(), 0), c.result) << c.body;
    EXPECT_EQ(net.count(), c.count) << c.body;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(net.buffer()), static_cast<size_t>(net.count())),
              Body(c.body).substr(0, static_cast<size_t>(c.count)));
    for (int i = net.count(); i < net.capacity(); ++i) ASSERT_EQ(net.buffer()[i], 0) << c.body;
    EXPECT_EQ(Sink().Count(), c.boxes) << c.body;
    if (c.boxes) {
      EXPECT_EQ(Sink().Texts()[0], kBoxText);
    }
    EXPECT_EQ(std::string(net.error_text()), c.result ? "" : url + kFailed) << c.body;
  }
}

TEST_F(InternetTest, SendsTheAgentGetHtml) {
  server_.Set("/a", {200, "x", "", false});
  CInternet net(16);
  ASSERT_EQ(net.Download(server_.Url("/a").c_str(), 0), 1);
  ASSERT_EQ(server_.Requests().size(), 1u);
  const std::string head = server_.Requests()[0];
  EXPECT_EQ(head.rfind("GET /a HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: GetHtml\r\n"), std::string::npos) << head;
}

TEST_F(InternetTest, ErrorStatusFailsWithTheUrl) {
  for (int status : {404, 500}) {
    server_.Set("/e", {status, "<html>error page</html>", "", false});
    CInternet net(1024);
    const std::string url = server_.Url("/e");
    EXPECT_EQ(net.Download(url.c_str(), 0), 0) << status;
    EXPECT_EQ(net.count(), 0) << status;  // the error page is no body
    EXPECT_EQ(net.buffer()[0], 0);
    EXPECT_EQ(std::string(net.error_text()), url + kFailed);
  }
  // A path the server does not know answers 404 too.
  CInternet net(1024);
  EXPECT_EQ(net.Download(server_.Url("/nothing").c_str(), 3000), 0);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(InternetTest, FollowsRedirectsUpToTen) {
  server_.Set("/final", {200, "song list", "", false});
  server_.Set("/old", {302, "", "/final", false});
  CInternet net(64);
  ASSERT_EQ(net.Download(server_.Url("/old").c_str(), 0), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(net.buffer()), "song list");

  // Ten hops arrive; eleven are too many.
  for (int i = 0; i < 11; ++i) {
    server_.Set("/hop" + std::to_string(i), {301, "", "/hop" + std::to_string(i + 1), false});
  }
  server_.Set("/hop11", {200, "end", "", false});
  server_.Set("/hop10", {301, "", "/hop11", false});
  EXPECT_EQ(net.Download(server_.Url("/hop1").c_str(), 0), 1);  // hop1 .. hop11: ten redirects
  EXPECT_EQ(net.Download(server_.Url("/hop0").c_str(), 0), 0);  // eleven
  // A redirect to another scheme is not followed.
  server_.Set("/file", {302, "", "file:///etc/passwd", false});
  EXPECT_EQ(net.Download(server_.Url("/file").c_str(), 0), 0);
  EXPECT_EQ(net.count(), 0);
}

TEST_F(InternetTest, SilentServerFailsAfterTheLimit) {
  server_.Set("/silent", {200, "", "", true});
  const std::string url = server_.Url("/silent");
  {
    CInternet net(64);
    EXPECT_EQ(net.Download(url.c_str(), 300), 0);  // the caller's time-out
    EXPECT_EQ(std::string(net.error_text()), url + kFailed);
  }
  {
    CInternet net(64);
    net.SetSilenceLimit(300);  // time-out 0: the built-in silence limit (30 s, shortened here)
    EXPECT_EQ(net.Download(url.c_str(), 0), 0);
    EXPECT_EQ(std::string(net.error_text()), url + kFailed);
  }
}

TEST_F(InternetTest, CancelFromAnotherThreadReturnsAtOnce) {
  server_.Set("/silent", {200, "", "", true});
  CInternet net(64);  // time-out 0 and the full 30 s silence limit
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    net.Cancel();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(net.Download(server_.Url("/silent").c_str(), 0), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  closer.join();
  EXPECT_LT(took, std::chrono::seconds(10));  // nowhere near the 30 s limit
  // Once cancelled, later downloads do not start.
  server_.Set("/a", {200, "x", "", false});
  EXPECT_EQ(net.Download(server_.Url("/a").c_str(), 0), 0);
}

TEST_F(InternetTest, ProxyOnlyWithATimeOut) {
  // A proxy that refuses every connection: time-out 0 goes direct and gets the body; with a
  // time-out the environment's proxy is used, and fails.
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(StubHttpServer::ClosedPort())).c_str(), 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  server_.Set("/a", {200, "direct", "", false});
  CInternet net(64);
  EXPECT_EQ(net.Download(server_.Url("/a").c_str(), 0), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(net.buffer()), "direct");
  EXPECT_EQ(net.Download(server_.Url("/a").c_str(), 3000), 0);
  EXPECT_EQ(server_.Requests().size(), 1u);
  unsetenv("http_proxy");
}

TEST_F(InternetTest, RefusedConnectionFails) {
  const std::string url = "http://127.0.0.1:" + std::to_string(StubHttpServer::ClosedPort()) + "/x";
  CInternet net(64);
  EXPECT_EQ(net.Download(url.c_str(), 0), 0);
  EXPECT_EQ(std::string(net.error_text()), url + kFailed);
  EXPECT_EQ(net.Download(url.c_str(), 2000), 0);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(InternetTest, OnlyHttpUrlsWithoutControlCharacters) {
  const char* urls[] = {"", "ftp://127.0.0.1/x", "file:///etc/passwd", "127.0.0.1/x",
                        "http://", "http:///x", "gopher://a"};
  CInternet net(64);
  for (const char* url : urls) {
    EXPECT_EQ(net.Download(url, 0), 0) << url;
    EXPECT_EQ(std::string(net.error_text()), std::string(url) + kFailed) << url;
  }
  server_.Set("/a", {200, "x", "", false});
  const std::string split = server_.Url("/a") + "\r\nX-Evil: 1";
  EXPECT_EQ(net.Download(split.c_str(), 0), 0);
  EXPECT_EQ(std::string(net.error_text()), server_.Url("/a") + "  X-Evil: 1" + kFailed);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_TRUE(plat::IsHttpUrl("HTTPS://example.com/"));
  EXPECT_FALSE(plat::IsHttpUrl("http://a\x7f"));
}

TEST_F(InternetTest, LongUrlsAreCutInTheErrorText) {
  const std::string base = "http://127.0.0.1:" + std::to_string(StubHttpServer::ClosedPort()) + "/";
  const std::string url999 = base + std::string(999 - base.size(), 'x');
  CInternet net(64);
  EXPECT_EQ(net.Download(url999.c_str(), 0), 0);
  EXPECT_EQ(std::strlen(net.error_text()), 1023u);  // just fits its 1024 bytes
  EXPECT_EQ(std::string(net.error_text()), url999 + kFailed);

  const std::string url5000 = base + std::string(5000, 'y');
  EXPECT_EQ(net.Download(url5000.c_str(), 0), 0);
  const std::string text = net.error_text();
  EXPECT_LE(text.size(), 1023u);
  EXPECT_EQ(text.substr(0, base.size()), base);
  EXPECT_EQ(text.substr(text.size() - std::strlen(kFailed) - 3), std::string("...") + kFailed);
}

TEST_F(InternetTest, SaveToFileWritesTheReceivedBytes) {
  server_.Set("/song", {200, std::string("MThd\0\0\0\6", 8), "", false});
  CInternet net(4096);
  ASSERT_EQ(net.Download(server_.Url("/song").c_str(), 0), 1);
  const auto path = cantrel_test::TempDir() / "song.mid";
  EXPECT_EQ(net.SaveToFile(path), 1);
  std::ifstream in(path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, std::string("MThd\0\0\0\6", 8));
  // A folder that does not exist: a box and 0, the program goes on.
  EXPECT_EQ(net.SaveToFile(cantrel_test::TempDir() / "no" / "such" / "x.mid"), 0);
  EXPECT_EQ(Sink().Count(), 1u);
}

TEST(InternetErrorMsg, Texts) {
  CInternet::ErrorMsg(1);
  CInternet::ErrorMsg(7);
  EXPECT_EQ(Sink().Texts(), (std::vector<std::string>{kBoxText, "CInternet::ErrorMsg"}));
  EXPECT_EQ(Sink().Boxes()[0].kind, plat::BoxKind::Message);
}

TEST(UrlHelpers, CopyWithoutLineBreaks) {
  const struct {
    int first, last;
    const char* text;
    const char* out;
  } cases[] = {
      {0, 4, "ab\r\ncd", "abc"},
      {2, 3, "abcdef", "cd"},
      {0, 100, "abc", "abc"},     // past the end: clamped
      {-5, 1, "abc", "ab"},
      {3, 1, "abcdef", ""},
      {10, 20, "abc", ""},
      {0, 0, "", ""},
  };
  for (const auto& c : cases) {
    char dest[1024];
    std::memset(dest, 'z', sizeof dest);
    CopyWithoutLineBreaks(c.first, c.last, c.text, dest);
    EXPECT_STREQ(dest, c.out) << c.text << " " << c.first << ".." << c.last;
  }
  const std::string long_text(2000, 'q');
  char dest[1024];
  CopyWithoutLineBreaks(0, 1022, long_text.c_str(), dest);
  EXPECT_EQ(std::strlen(dest), 1023u);
  CopyWithoutLineBreaks(0, 1023, long_text.c_str(), dest);  // 1024 bytes: too long
  EXPECT_STREQ(dest, "");
}

TEST(UrlHelpers, GetUrlFileName) {
  const struct {
    const char* url;
    const char* out;
  } cases[] = {
      {"http://host/songs/abc.mwd", "abc.mwd"},
      {"http://host/dir/", ""},
      {"nofolder.mid", "nofolder.mid"},
      {"http://host/a\r\nb.mid", "ab.mid"},
  };
  for (const auto& c : cases) {
    char dest[1024];
    GetUrlFileName(c.url, dest);
    EXPECT_STREQ(dest, c.out) << c.url;
  }
}

}  // namespace

namespace {

TEST_F(InternetTest, FormPostSendsTheBodyAsItIs) {
  server_.Set("/work/get_file.php", {200, "12,abc", "", false});
  CInternet net(65535);
  // A form body with every byte value the callers send unescaped.
  std::string body = "name=Cantrel.mid&data=ab+/cd==";
  body += std::string(200000, 'Q');  // long enough for several pieces
  ASSERT_EQ(net.PostForm(server_.Url("/work/get_file.php").c_str(), body, 2000, 5000), 1);
  EXPECT_EQ(net.status(), 200);
  EXPECT_STREQ(reinterpret_cast<const char*>(net.buffer()), "12,abc");
  ASSERT_EQ(server_.Requests().size(), 1u);
  const std::string head = server_.Requests()[0];
  EXPECT_EQ(head.rfind("POST /work/get_file.php HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos) << head;
  EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;
  EXPECT_EQ(server_.Bodies()[0], body);
}

TEST_F(InternetTest, FormPostFailures) {
  const struct {
    const char* name;
    StubHttpServer::Answer answer;
    long status;
  } cases[] = {
      {"not found", {404, "gone", "", false}, 404},
      {"server error", {500, "", "", false}, 500},
      {"no content", {204, "", "", false}, 204},
      {"redirect not followed", {302, "", "/elsewhere", false}, 302},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Set("/p", c.answer);
    CInternet net(64);
    EXPECT_EQ(net.PostForm(server_.Url("/p").c_str(), "del=a", 2000, 5000), 0);
    EXPECT_EQ(net.status(), c.status);
  }
  // A long reply keeps its beginning.
  server_.Set("/p", {200, Body(100), "", false});
  CInternet small(10);
  EXPECT_EQ(small.PostForm(server_.Url("/p").c_str(), "x=1", 2000, 5000), 1);
  EXPECT_EQ(small.count(), 10);
  // Refused, and never answered: bounded by the total limit.
  CInternet net(64);
  const std::string closed =
      "http://127.0.0.1:" + std::to_string(StubHttpServer::ClosedPort()) + "/p";
  EXPECT_EQ(net.PostForm(closed.c_str(), "x=1", 2000, 5000), 0);
  EXPECT_EQ(net.status(), 0);
  server_.Set("/silent", {200, "", "", true});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(net.PostForm(server_.Url("/silent").c_str(), "x=1", 2000, 300), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(InternetTest, FormPostCancelledFromAnotherThread) {
  server_.Set("/silent", {200, "", "", true});
  CInternet net(64);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    net.Cancel();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(net.PostForm(server_.Url("/silent").c_str(), "x=1", 2000, 60000), 0);
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
