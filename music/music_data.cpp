#include "music/music_data.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/core/files.h"
#include "util/gne.h"
#include "util/gne_error.h"
#include "util/module_error.h"

uint8_t* AllocMusicBlock(size_t bytes) {
  void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (block == nullptr) GneErrorMsg(kGneOutOfMemory);  // ends the program
  return static_cast<uint8_t*>(block);
}

void FreeMusicBlock(void* block) { std::free(block); }

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "MUDT", "音楽データでエラーが発生しました。",
      {{kMudtFileOpen, "ファイルが開けませんでした。使用中か選択中の可能性があります。"}});
  return reporter;
}

}  // namespace

MusicData::MusicData(int32_t capacity_bytes) {
  capacity = capacity_bytes < 0 ? 0 : capacity_bytes;
  buffer = AllocMusicBlock(static_cast<size_t>(capacity));
}

MusicData::~MusicData() { FreeMusicBlock(buffer); }

int MusicData::Load(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes)) {
    used_size = 0;
    return 0;
  }
  if (bytes.size() > static_cast<size_t>(capacity)) {
    // A file longer than the buffer is refused rather than cut.
    used_size = 0;
    return 0;
  }
  std::memset(buffer, 0, static_cast<size_t>(capacity));
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  used_size = static_cast<int32_t>(bytes.size());
  return 1;
}

int MusicData::LoadWithDialog(const char* /*default_extension*/, const char* /*filter*/) {
  // The toolkit-free layer has no file dialog; the windows load through Load.
  return 0;
}

int MusicData::Save(const std::filesystem::path& path) const {
  size_t n = used_size < 0 ? 0 : static_cast<size_t>(used_size);
  if (n > static_cast<size_t>(capacity)) n = static_cast<size_t>(capacity);
  return plat::WriteFileAtomic(path, buffer, n) ? 1 : 0;
}

int MusicData::SaveWithDialog(const char* /*default_extension*/, const char* /*filter*/) const {
  return 0;
}

void MusicData::SaveMidiWithDialog() const {}

int MusicData::IsPastEnd(int32_t at, const char* message) const {
  if (at >= used_size) return 1;
  GneErrorBox(message ? message : "");
  return 0;
}

void MusicData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }
