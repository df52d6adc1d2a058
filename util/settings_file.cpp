#include "util/settings_file.h"

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "util/gne.h"

#include <cstring>
#include <vector>

CConfigControl::CConfigControl(const std::filesystem::path& path, void* block, size_t size,
                               const void* defaults)
    : path_(path), block_(static_cast<uint8_t*>(block)), size_(size) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(path_, ec);
  if (exists && Load()) {
    loaded_ = true;
    return;
  }
  if (exists) GneMessageBox("iniファイルにエラーがあるため初期化しました。");
  if (defaults && block_ && size_ > 0) std::memcpy(block_, defaults, size_);
}

CConfigControl::~CConfigControl() {
  if (saveOnDestroy_) Save();
}

bool CConfigControl::Load() { return LoadFrom(path_); }

bool CConfigControl::Save() { return SaveTo(path_); }

bool CConfigControl::LoadFrom(const std::filesystem::path& other) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(other, bytes)) return false;
  if (bytes.size() < size_) return false;
  if (size_ > 0) std::memcpy(block_, bytes.data(), size_);
  return true;
}

bool CConfigControl::SaveTo(const std::filesystem::path& other) {
  std::error_code ec;
  if (!other.parent_path().empty()) std::filesystem::create_directories(other.parent_path(), ec);
  if (plat::WriteFileAtomic(other, block_, size_, &ec)) return true;
  GneReportError(kGneFileOpenFailed, plat::Utf8ToCp932(other.string()).c_str(),
                 plat::WriteFailureText(ec));
  return false;
}
