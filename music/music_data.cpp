#include "music/music_data.h"

#include <cstdlib>
#include <cstring>

#include "util/gne.h"
#include "util/gne_error.h"
#include "util/gne_files.h"
#include "util/module_error.h"

uint8_t* AllocMusicBlock(size_t bytes) {
  return static_cast<uint8_t*>(GneGlobalAllocZero(bytes));  // failure ends the program
}

void FreeMusicBlock(void* block) {
  if (block != nullptr) GneGlobalFree(block);
}

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
  // A file longer than the buffer is reported and refused rather than cut.
  int count = 0;
  int result = GneReadWholeFile(path, buffer, &count, static_cast<size_t>(capacity),
                                GneFileUse::kUserChosen);
  used_size = result == 1 ? count : 0;
  return result;
}

int MusicData::LoadWithDialog(const char* default_extension, const char* filter) {
  std::filesystem::path chosen;
  int count = 0;
  int result = GneOpenAndReadFile(&chosen, default_extension, filter, buffer,
                                  static_cast<size_t>(capacity), &count);
  used_size = result == 1 ? count : 0;
  return result;
}

int MusicData::Save(const std::filesystem::path& path) const {
  return GneWriteFile(path, buffer, UsedBytes(), GneFileUse::kUserChosen);
}

int MusicData::SaveWithDialog(const char* default_extension, const char* filter) const {
  std::filesystem::path chosen;
  return GneSaveFileAs(&chosen, default_extension, filter, buffer, UsedBytes());
}

void MusicData::SaveMidiWithDialog() const {
  std::filesystem::path chosen;
  if (GneSaveFileDialog(&chosen, "mid", "midi files|*.mid|", nullptr, nullptr) == 1) {
    GneWriteFile(chosen, buffer, UsedBytes(), GneFileUse::kUserChosen);
  }
}

size_t MusicData::UsedBytes() const {
  size_t n = used_size < 0 ? 0 : static_cast<size_t>(used_size);
  return n > static_cast<size_t>(capacity) ? static_cast<size_t>(capacity) : n;
}

int MusicData::IsPastEnd(int32_t at, const char* message) const {
  if (at >= used_size) return 1;
  GneErrorBox(message ? message : "");
  return 0;
}

void MusicData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }
