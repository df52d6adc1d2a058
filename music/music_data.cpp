#include "music/music_data.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

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

// Song and track buffers are large (384 KiB unless the owner asks for another size),
// and reading or converting one song makes and drops dozens of them: a freed one is
// kept for the next buffer of its size (zeroed again when handed out) rather than
// given back to the system and mapped afresh. Under AddressSanitizer a kept buffer
// is poisoned, so that a use after free is still caught.
class BufferCache {
 public:
  static constexpr size_t kFrom = 64 * 1024;
  static constexpr size_t kLimit = 48u << 20;

  uint8_t* Take(size_t size) {
    uint8_t* block = nullptr;
    if (size >= kFrom) {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = kept_.find(size);
      if (it != kept_.end() && !it->second.empty()) {
        block = it->second.back();
        it->second.pop_back();
        bytes_ -= size;
      }
    }
    if (block == nullptr) return AllocMusicBlock(size);
    Unpoison(block, size);
    std::memset(block, 0, size);
    return block;
  }

  void Give(uint8_t* block, size_t size) {
    if (block != nullptr && size >= kFrom) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (bytes_ + size <= kLimit) {
        Poison(block, size);
        kept_[size].push_back(block);
        bytes_ += size;
        return;
      }
    }
    FreeMusicBlock(block);
  }

 private:
  static void Poison(uint8_t* b, size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_POISON_MEMORY_REGION(b, n);
#else
    (void)b, (void)n;
#endif
  }
  static void Unpoison(uint8_t* b, size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_UNPOISON_MEMORY_REGION(b, n);
#else
    (void)b, (void)n;
#endif
  }

  std::mutex mutex_;
  std::map<size_t, std::vector<uint8_t*>> kept_;
  size_t bytes_ = 0;
};

// Lives as long as the process (buffers may be freed by static objects at exit).
BufferCache& Buffers() {
  static BufferCache* cache = new BufferCache;
  return *cache;
}

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "MUDT", "音楽データでエラーが発生しました。",
      {{kMudtFileOpen, "ファイルが開けませんでした。使用中か選択中の可能性があります。"}});
  return reporter;
}

}  // namespace

MusicData::MusicData(int32_t capacity_bytes) {
  capacity = capacity_bytes < 0 ? 0 : capacity_bytes;
  buffer = Buffers().Take(static_cast<size_t>(capacity));
}

MusicData::~MusicData() { Buffers().Give(buffer, static_cast<size_t>(capacity)); }

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

int MusicData::SaveQuietly(const std::filesystem::path& path, std::error_code* error) const {
  return GneWriteFileQuietly(path, buffer, UsedBytes(), error);
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
