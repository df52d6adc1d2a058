#include "dialogs/qr_dialog.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "draw/qr_encoder.h"
#include "draw/qr_picture.h"
#include "platform/core/files.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"
#include "util/gne.h"
#include "util/internet.h"
#include "util/registry.h"

#include <algorithm>
#include <cstring>

namespace {

CQrDlg* g_qrDlg = nullptr;

constexpr uint32_t kMsgUploadReply = plat::WM_APP + 200;  // the worker's reply is in
constexpr int kPictureHost = 1066;
constexpr int kButtonHost = 1065;
constexpr int kMargin = 10;
constexpr int kPictureTop = 10;
constexpr int kPictureSide = 120;
constexpr int kMinModulePixels = 3;
constexpr int kReleasedBitmap = 168;
constexpr int kPressedBitmap = 167;
const char kClosedMessage[] = "携帯転送サービスは休止中です。";
const char kUploadName[] = "Cantrel";

constexpr int kDeleteLimitMs = 5000;
std::atomic<int> g_connectLimitMs{10000};
std::atomic<int> g_totalLimitMs{60000};

}  // namespace

CQrDlg::CQrDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("ダウンロード"));
  setFixedSize(140, 180);
}

CQrDlg::~CQrDlg() {
  CloseDown();
  if (g_qrDlg == this) g_qrDlg = nullptr;
}

CQrDlg* CQrDlg::Current() { return g_qrDlg; }

void CQrDlg::SetTimeLimits(int connectMs, int totalMs) {
  g_connectLimitMs = connectMs;
  g_totalLimitMs = totalMs;
}

std::string CQrDlg::ServiceUrl() {
  std::string base;
  if (!GneRegistryGet(kServiceKey, kServiceName, base)) return std::string();
  while (!base.empty() && (base.back() == '/' || base.back() == ' ')) base.pop_back();
  return base.empty() ? std::string() : base + kUploadPath;
}

bool CQrDlg::AddressOfReply(const char* reply, size_t length, std::string* address) {
  address->clear();
  if (reply == nullptr) return false;
  const std::string text(reply, strnlen(reply, length));
  const size_t comma = text.find(',');
  if (comma == std::string::npos || comma > kMaxFirstField) return false;
  const size_t size = text.size() - comma - 1;
  if (size == 0 || size > static_cast<size_t>(kMaxAddress)) return false;
  *address = text.substr(comma + 1);
  return true;
}

std::string CQrDlg::UploadBody(const std::string& fileBytes) {
  // Only .mid files are sent, so the name's extension is always "mid".
  return std::string("name=") + kUploadName + ".mid&data=" +
         GneEncodeBase64(fileBytes.data(), fileBytes.size());
}

bool CQrDlg::OnInitDialog() {
  g_qrDlg = this;
  buttonHost_ = AddPictureHost(kButtonHost);
  pictureHost_ = AddPictureHost(kPictureHost);
  auto press = [](int code) {
    if (g_qrDlg) g_qrDlg->OnButton(code);
  };
  auto release = [](int) {};
  button_ = std::make_unique<CButtonPicture3>(press, release, buttonHost_,
                                              Rect{20, 140, 108, 170}, "    閉じる",
                                              kReleasedBitmap, kPressedBitmap, 0);
  pictureSide_ = kPictureSide;
  picture_ = std::make_unique<CQrPicture>(
      pictureHost_, Rect{kMargin, kPictureTop, kMargin + kPictureSide, kPictureTop + kPictureSide},
      kMargin);
  CButtonPicture3::DrawAll();
  address_.clear();
  Upload(filePath);
  return true;
}

void CQrDlg::CopyPictures() {
  if (button_) CButtonPicture3::BlitAll();
  if (picture_) CQrPicture::BlitAll();
}

void CQrDlg::ErrorMsg() { ShowMessage(kClosedMessage); }

void CQrDlg::OnButton(int code) {
  if (code == 0) CloseAfterButton(QDialog::Accepted, 100);
}

void CQrDlg::Upload(const std::filesystem::path& path) {
  if (!address_.empty()) {
    SendDelete(address_);
    address_.clear();
    if (picture_) CQrPicture::SetText("", 0);
  }
  StopUpload();
  const std::string url = ServiceUrl();
  std::string file;
  if (GneGetExtension(path.filename().string()) != "mid" || url.empty() ||
      !plat::ReadWholeFile(path, file)) {
    ErrorMsg();
    return;
  }
  upload_ = std::make_unique<CInternet>(kReplyCapacity);
  CInternet* net = upload_.get();
  const int connect = g_connectLimitMs, total = g_totalLimitMs;
  worker_ = std::thread([this, net, url, body = UploadBody(file), connect, total] {
    const int ok = net->PostForm(url.c_str(), body, connect, total);
    Post(kMsgUploadReply, static_cast<uintptr_t>(ok));
  });
}

void CQrDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message != kMsgUploadReply || !worker_.joinable()) return;
  worker_.join();  // it has posted its last word; its results are ours now
  const bool answered = wparam == 1 && upload_->count() > 0;
  const std::string reply(reinterpret_cast<const char*>(upload_->buffer()),
                          static_cast<size_t>(upload_->count()));
  upload_.reset();
  ShowReply(answered, reply);
}

void CQrDlg::ShowReply(bool answered, const std::string& reply) {
  std::string address;
  if (!answered || !AddressOfReply(reply.data(), reply.size(), &address)) {
    ErrorMsg();
    return;
  }
  address_ = address;
  // Modules of at least three pixels, so that a phone reads even the longest address: the
  // picture grows beyond its usual square when the symbol needs it.
  CQrEncoder qr;
  if (qr.EncodeText(1, 0, 1, -1, address_.c_str(), 0)) {
    const int side = std::max(kPictureSide, kMinModulePixels * qr.Size() + 2 * kMargin);
    if (side != pictureSide_) {
      pictureSide_ = side;
      CQrPicture::Resize(Rect{kMargin, kPictureTop, kMargin + side, kPictureTop + side}, 0);
      buttonHost_->move(20, kPictureTop + side + 10);
      setFixedSize(std::max(140, side + 2 * kMargin), kPictureTop + side + 60);
    }
  }
  CQrPicture::SetText(address_.c_str(), 0);
  CQrPicture::BlitAll();
  update();
}

void CQrDlg::SendDelete(const std::string& address) {
  const std::string url = ServiceUrl();
  if (url.empty()) return;
  // Closing waits for it: a shorter limit than an upload's.
  CInternet net(16);
  net.PostForm(url.c_str(), "del=" + address, std::min<int>(g_connectLimitMs, kDeleteLimitMs),
               std::min<int>(g_totalLimitMs, kDeleteLimitMs));
  // The answer is not read; only a service that never answered is reported.
  if (net.status() == 0) ErrorMsg();
}

void CQrDlg::StopUpload() {
  if (!worker_.joinable()) return;
  upload_->Cancel();
  worker_.join();
  upload_.reset();
}

void CQrDlg::CloseDown() {
  if (closedDown_ || !Created()) return;
  closedDown_ = true;
  StopUpload();
  button_.reset();
  picture_.reset();
  if (!address_.empty()) SendDelete(address_);
}

void CQrDlg::done(int result) {
  CloseDown();
  CDialogSkeleton::done(result);
}
