// The mobile-transfer dialog (template 222, "ダウンロード"): sends the song the main window has
// written as a MIDI file to the mobile-transfer service and shows the address the service answers
// with as a QR Code, for a phone to fetch the song; closing it asks the service to delete the
// upload.
//
// The service: POST <base>/work/get_file.php, a form body "name=Cantrel.mid&data=" followed by
// the file's Base64 text as it is ("+", "/" and "=" unescaped, as the service reads them). Its
// answer (status 200) is "<id>,<address>": the address is everything after the first comma, at
// most 259 bytes; the id before it is shorter than 256 characters. Closing posts
// "del=<address>" the same way and does not read the answer. The base address (scheme, host
// and port) is the key-value file's value MobileTransfer/Server; with none set nothing is sent.
//
// The upload runs on a worker started by the initialisation, with connect and total time
// limits; its reply is drawn on the UI thread. Closing during an upload stops and joins it. Any
// failure shows "携帯転送サービスは休止中です。" once and leaves the picture empty.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

class CButtonPicture3;
class CInternet;
class CQrPicture;
class COffScreenControl;

class CQrDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 222;
  static constexpr int kMaxAddress = 259;    // bytes of a transfer address
  static constexpr int kMaxFirstField = 255;  // characters before the comma
  static constexpr int kReplyCapacity = 65535;
  static constexpr const char* kUploadPath = "/work/get_file.php";
  // Where the service's base address is kept (util/registry.h).
  static constexpr const char* kServiceKey = "MobileTransfer";
  static constexpr const char* kServiceName = "Server";

  explicit CQrDlg(QWidget* parent = nullptr);
  ~CQrDlg() override;

  // The MIDI file to send; set before the dialog is shown.
  std::filesystem::path filePath;

  // Sends the file (deleting an address already held first); the reply arrives later.
  void Upload(const std::filesystem::path& path);
  // Asks the service to delete the upload at the address; bounded by the time limits.
  void SendDelete(const std::string& address);
  // "携帯転送サービスは休止中です。" with the keyboard hook out while notes come from the PC keys.
  void ErrorMsg();
  // The close button.
  void OnButton(int code);

  const std::string& Address() const { return address_; }
  bool Uploading() const { return worker_.joinable(); }
  // The QR picture's side (control and surface) in pixels.
  int PictureSide() const { return pictureSide_; }

  // The transfer address of a service reply, or false when the reply is refused: empty, without
  // a comma, a first field of 256 characters or more, an empty address or one over 259 bytes.
  // The reply is read as text up to its first zero byte.
  static bool AddressOfReply(const char* reply, size_t length, std::string* address);
  // The body of the upload request for the file's bytes.
  static std::string UploadBody(const std::string& fileBytes);
  // The service's URL for requests, empty when no base address is set.
  static std::string ServiceUrl();
  // Connect and total limits of every request, in milliseconds (tests shorten them).
  static void SetTimeLimits(int connectMs, int totalMs);

  static CQrDlg* Current();

  void done(int result) override;

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

 private:
  void ShowReply(bool answered, const std::string& reply);
  void StopUpload();
  void CloseDown();

  std::string address_;
  int pictureSide_ = 120;
  COffScreenControl* buttonHost_ = nullptr;
  COffScreenControl* pictureHost_ = nullptr;
  std::unique_ptr<CButtonPicture3> button_;
  std::unique_ptr<CQrPicture> picture_;
  // The running upload: its connection (cancelled by closing) and its thread.
  std::unique_ptr<CInternet> upload_;
  std::thread worker_;
  bool closedDown_ = false;
};
