// The mobile-transfer dialog against a stub service on 127.0.0.1: the request it sends, the
// address it draws (read back by zbarimg), the delete at closing, and every refusal.
#include "dialogs/qr_dialog.h"

#include "draw/qr_picture.h"
#include "tests/support/stub_http_server.h"
#include "tests/support/test_support.h"
#include "tests/support/zbar.h"
#include "util/registry.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using cantrel_test::StubHttpServer;
using cantrel_test::TempDir;

const char kClosed[] = "携帯転送サービスは休止中です。";
const char kPrefix[] = "name=Cantrel.mid&data=";

class FakeOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t, uintptr_t, intptr_t) override {}
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return 100; }
};

// A small song whose Base64 text holds "+", "/" and "=".
std::string SongBytes() {
  std::string bytes("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xff\x2f\0", 26);
  // From an offset of 27 (three bytes a Base64 group): "++++////", then "AQ==".
  bytes += std::string("\0\xfb\xef\xbe\xff\xff\xff\x01", 8);
  return bytes;
}

class QrDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    ASSERT_TRUE(server_.ok());
    ASSERT_TRUE(GneRegistrySet(CQrDlg::kServiceKey, CQrDlg::kServiceName, server_.Url("")));
    CQrDlg::SetTimeLimits(2000, 3000);
    song_ = WriteFile("upload.mid", SongBytes());
  }
  void TearDown() override {
    dlg_.reset();
    CQrDlg::SetTimeLimits(10000, 60000);
  }

  static fs::path WriteFile(const std::string& name, const std::string& bytes) {
    const fs::path path = TempDir() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  void Answer(StubHttpServer::Answer answer) { server_.Set(CQrDlg::kUploadPath, answer); }

  static bool PumpUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  // Opens the dialog on the file and waits for the service's answer.
  void Open(const fs::path& file) {
    dlg_ = std::make_unique<CQrDlg>();
    dlg_->SetOwner(&owner_);
    dlg_->filePath = file;
    dlg_->Create();
    ASSERT_TRUE(PumpUntil([&] { return !dlg_->Uploading(); }));
  }

  void Close() {
    dlg_->done(QDialog::Accepted);
    dlg_.reset();
  }

  static bool PictureBlank() {
    plat::Dc* dc = CQrPicture::Surface(0);
    for (int x = 0; x < dc->Width(); ++x)
      for (int y = 0; y < dc->Height(); ++y)
        if (dc->GetPixel(x, y) != 0xFFFFFF) return false;
    return true;
  }

  static std::string PictureReads() {
    const fs::path png = TempDir() / "picture.png";
    if (CQrPicture::SaveImage(png, 0) != 1) return "(not saved)";
    return cantrel_test::ZbarRead(png);
  }

  // Bodies of the delete requests the service received.
  std::vector<std::string> Deletes() const {
    std::vector<std::string> deletes;
    for (const std::string& body : server_.Bodies())
      if (body.rfind("del=", 0) == 0) deletes.push_back(body);
    return deletes;
  }

  StubHttpServer server_;
  FakeOwner owner_;
  fs::path song_;
  std::unique_ptr<CQrDlg> dlg_;
};

TEST_F(QrDialogTest, UploadsTheFileAsAFormAndDecodesBack) {
  CANTREL_NEED_TOOL("base64");
  Answer({200, "12,abc", "", false});
  Open(song_);
  ASSERT_EQ(server_.Requests().size(), 1u);
  const std::string head = server_.Requests()[0];
  EXPECT_EQ(head.rfind("POST /work/get_file.php HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos) << head;
  const std::string body = server_.Bodies()[0];
  ASSERT_EQ(body.rfind(kPrefix, 0), 0u) << body;
  const std::string data = body.substr(sizeof kPrefix - 1);
  for (char c : {'+', '/', '='}) EXPECT_NE(data.find(c), std::string::npos) << c;
  std::string decoded;
  ASSERT_EQ(cantrel_test::RunTool({"base64", "-d"}, &decoded, data), 0);
  EXPECT_EQ(decoded, SongBytes());
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(QrDialogTest, DrawsTheAddressAndDeletesItAtClosing) {
  CANTREL_NEED_TOOL("zbarimg");
  const struct {
    const char* reply;
    const char* address;
    const char* file;
  } cases[] = {
      {"12,abc", "abc", "upload.mid"},
      {"1,a,b", "a,b", "upload.mid"},  // the address keeps its own commas
      {"7,http://127.0.0.1/m/x", "http://127.0.0.1/m/x", "SONG.MID"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const fs::path file = WriteFile(c.file, SongBytes());
    Answer({200, c.reply, "", false});
    Open(file);
    EXPECT_EQ(dlg_->Address(), c.address);
    EXPECT_EQ(PictureReads(), c.address);
    EXPECT_EQ(dlg_->PictureSide(), 120);
    const size_t before = Deletes().size();
    Close();
    ASSERT_EQ(Deletes().size(), before + 1);
    EXPECT_EQ(Deletes().back(), std::string("del=") + c.address);
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(QrDialogTest, LongAddressesGrowThePictureAndStillDecode) {
  CANTREL_NEED_TOOL("zbarimg");
  for (size_t length : {60, 150, 200, 259}) {
    SCOPED_TRACE(length);
    std::string address = "http://127.0.0.1:8080/work/m/";
    while (address.size() < length) address += static_cast<char>('a' + address.size() % 26);
    Answer({200, "9," + address, "", false});
    Open(song_);
    ASSERT_EQ(dlg_->Address(), address);
    EXPECT_EQ(PictureReads(), address);
    EXPECT_GE(dlg_->PictureSide(), 120);
    EXPECT_GE(dlg_->height(), dlg_->PictureSide() + 60);  // the close button stays below it
    Close();
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(QrDialogTest, EveryFailureShowsTheOneMessage) {
  enum Setting { kSong, kMissingFile, kTextFile, kNoService };
  struct Case {
    const char* name;
    StubHttpServer::Answer answer;
    Setting setting;
  };
  const Case cases[] = {
      {"status 404", {404, "1,abc", "", false}, kSong},
      {"empty reply", {200, "", "", false}, kSong},
      {"no comma", {200, "abc", "", false}, kSong},
      {"empty address", {200, "12,", "", false}, kSong},
      {"first field of 256", {200, std::string(256, '1') + ",abc", "", false}, kSong},
      {"address over 259 bytes", {200, "1," + std::string(260, 'a'), "", false}, kSong},
      {"server never answers", {200, "", "", true}, kSong},
      {"missing file", {200, "1,abc", "", false}, kMissingFile},
      {"not a MIDI file", {200, "1,abc", "", false}, kTextFile},
      {"no service set", {200, "1,abc", "", false}, kNoService},
  };
  CQrDlg::SetTimeLimits(2000, 500);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(GneRegistrySet(CQrDlg::kServiceKey, CQrDlg::kServiceName,
                               c.setting == kNoService ? "" : server_.Url("")));
    Sink().Clear();
    Answer(c.answer);
    const size_t requests = server_.Requests().size();
    Open(c.setting == kMissingFile ? TempDir() / "gone.mid"
         : c.setting == kTextFile  ? WriteFile("song.txt", "x")
                                   : song_);
    ASSERT_EQ(Sink().Count(), 1u);
    EXPECT_EQ(Sink().Texts()[0], kClosed);
    EXPECT_EQ(dlg_->Address(), "");
    EXPECT_TRUE(PictureBlank());
    Close();
    EXPECT_TRUE(Deletes().empty());
    EXPECT_EQ(Sink().Count(), 1u);
    // Only a request that could be sent was.
    EXPECT_LE(server_.Requests().size(), requests + 1);
  }
  // With no service set no request is made at all.
  GneRegistrySet(CQrDlg::kServiceKey, CQrDlg::kServiceName, "");
  const size_t requests = server_.Requests().size();
  Open(song_);
  EXPECT_EQ(server_.Requests().size(), requests);
}

TEST_F(QrDialogTest, ClosingDuringAnUploadStopsIt) {
  CQrDlg::SetTimeLimits(2000, 60000);
  Answer({200, "", "", true});
  dlg_ = std::make_unique<CQrDlg>();
  dlg_->SetOwner(&owner_);
  dlg_->filePath = song_;
  dlg_->Create();
  ASSERT_TRUE(PumpUntil([&] { return !server_.Requests().empty(); }));
  const auto start = std::chrono::steady_clock::now();
  Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_TRUE(Deletes().empty());
}

TEST_F(QrDialogTest, SendingAgainDeletesTheHeldAddressFirst) {
  Answer({200, "1,first", "", false});
  Open(song_);
  ASSERT_EQ(dlg_->Address(), "first");
  Answer({200, "2,second", "", false});
  dlg_->Upload(song_);
  ASSERT_TRUE(PumpUntil([&] { return !dlg_->Uploading(); }));
  EXPECT_EQ(dlg_->Address(), "second");
  Close();
  const std::vector<std::string> bodies = server_.Bodies();
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_EQ(bodies[1], "del=first");
  EXPECT_EQ(bodies[2].rfind(kPrefix, 0), 0u);
  EXPECT_EQ(bodies[3], "del=second");
}

TEST(QrDialogReply, AddressesOfReplies) {
  const struct {
    std::string reply;
    bool ok;
    std::string address;
  } cases[] = {
      {"12,abc", true, "abc"},
      {"1,a,b", true, "a,b"},
      {",x", true, "x"},
      {std::string(255, '9') + ",x", true, "x"},
      {std::string(256, '9') + ",x", false, ""},
      {"1," + std::string(259, 'a'), true, std::string(259, 'a')},
      {"1," + std::string(260, 'a'), false, ""},
      {"abc", false, ""},
      {"12,", false, ""},
      {"", false, ""},
      {std::string("1,ab\0cd", 7), true, "ab"},  // read as text, up to a zero byte
  };
  for (const auto& c : cases) {
    std::string address = "stale";
    EXPECT_EQ(CQrDlg::AddressOfReply(c.reply.data(), c.reply.size(), &address), c.ok) << c.reply;
    EXPECT_EQ(address, c.address) << c.reply;
  }
}

}  // namespace
