// The web song library's half of a dialog against a stub server on 127.0.0.1, and the lists and
// songs the server serves.
#pragma once

#include "dialogs/config_block.h"
#include "dialogs/dialog_skeleton.h"
#include "dialogs/web_library.h"
#include "util/list_file.h"
#include "tests/support/stub_http_server.h"
#include "tests/support/test_support.h"
#include "platform/qt/qt_text.h"
#include "util/registry.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace web_test {

class RecordingOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t message, uintptr_t, intptr_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(message);
  }
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return scale; }
  std::vector<uint32_t> Posted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_;
  }
  int scale = 100;

 private:
  mutable std::mutex mutex_;
  std::vector<uint32_t> posted_;
};

inline bool PumpUntil(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

inline void Pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// One row of a list reply: title, an unused cell, the file key, the page address, unused.
struct Row {
  std::string title;
  std::string key;
  std::string page;
};

// A list reply as the server sends it: CP932, CRLF, the page address quoted.
inline std::string ListReply(const std::vector<Row>& rows) {
  std::string out;
  for (const Row& r : rows) out += r.title + ",x," + r.key + ",\"" + r.page + "\",y\r\n";
  return out;
}

// `n` plain rows "曲<i>" with keys "K<i>" and pages http://example.invalid/<i>.
inline std::vector<Row> PlainRows(int n, const std::string& prefix = "曲") {
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) {
    rows.push_back({prefix + std::to_string(i), "K" + std::to_string(i),
                    "http://example.invalid/" + std::to_string(i)});
  }
  return rows;
}

class WebLibraryTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(GneRegistrySet(CWebLibrary::kServerKey, CWebLibrary::kServerName, server.Url("")));
    CWebLibrary::SetRetryPause(0);
    std::memset(&config, 0, sizeof config);
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    web.reset();
    host.reset();
    GneRegistrySet(CWebLibrary::kServerKey, CWebLibrary::kServerName, "");
    CWebLibrary::SetRetryPause(1000);
  }

  void Serve(int genre, const std::string& body, bool never = false) {
    cantrel_test::StubHttpServer::Answer a;
    a.body = body;
    a.never_answer = never;
    server.Set(CWebLibrary::ListPath(genre), a);
  }

  // The dialog and its web half, started (the first fetch posted).
  void Start() {
    host = std::make_unique<CDialogSkeleton>(213);
    host->SetOwner(&owner);
    web = std::make_unique<CWebLibrary>(host.get(), &config);
    web->Prepare();
  }
  // Started, and the first fetch over.
  void StartReady() {
    Start();
    ASSERT_TRUE(PumpUntil([&] { return web->Ready() == 1; }));
  }

  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (const std::string& head : server.Requests()) {
      const size_t a = head.find(' '), b = head.find(' ', a + 1);
      out.push_back(head.substr(a + 1, b - a - 1));
    }
    return out;
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (int i = 0; i < web->List()->count(); ++i)
      out.push_back(plat::FromQString(web->List()->item(i)->text()));
    return out;
  }
  std::string CountText() const { return plat::FromQString(web->CountLabel()->text()); }
  // Chooses a genre as the user does (the change starts a fetch) and waits for its list.
  void ChooseGenre(int row) {
    const size_t before = server.Requests().size();
    web->GenreCombo()->setCurrentIndex(row);
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() > before && !Loading(); }));
  }
  bool Loading() const {
    return web->List()->count() == 1 &&
           plat::FromQString(web->List()->item(0)->text()) == "読込み中・・・";
  }

  cantrel_test::StubHttpServer server;
  RecordingOwner owner;
  ConfigData config;
  std::unique_ptr<CDialogSkeleton> host;
  std::unique_ptr<CWebLibrary> web;
};

}  // namespace web_test
