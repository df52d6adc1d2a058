#include "music/music_event.h"

#include <cstring>

#include "music/music_data.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "MUEV", "音楽データのイベントでエラーが発生しました。",
      {{kMuevDataTooLong,
        "イベントのデータサイズが大きすぎます。MFiの機種依存の音色設定が含まれている場合は問題ありません。"},
       {kMuevNoData, "イベントのデータでエラーが発生しました。"}});
  return reporter;
}

// The largest data block an event may hold.
constexpr int32_t kMaxDataLength = 0x40000000;

// Block of length + 8 zeroed bytes (the spare zeros terminate a text payload).
int32_t BlockSizeFor(int32_t length) {
  if (length < 0) length = 0;
  if (length > kMaxDataLength) length = kMaxDataLength;
  return length + 8;
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x", v);
  return text;
}

}  // namespace

MusicEvent::MusicEvent(int32_t delta_ticks) : delta(delta_ticks) {}

MusicEvent::MusicEvent(const MusicEvent& other) { Copy(other); }

MusicEvent& MusicEvent::operator=(const MusicEvent& other) {
  if (this != &other) Copy(other);
  return *this;
}

MusicEvent::~MusicEvent() { FreeData(); }

void MusicEvent::Clear() {
  status = 0;
  delta = 0;
  note = 0;
  duration = 0;
  velocity = 0;
  number = 0;
  value = 0;
  data_length = 0;
  data = nullptr;
  data_block_size_ = 0;
}

void MusicEvent::FreeData() {
  if (data != nullptr && !HoldsInlineBlock()) FreeMusicBlock(data);
  data = nullptr;
  data_block_size_ = 0;
}

void MusicEvent::ReplaceBlock(uint8_t* block, int32_t size) {
  FreeData();
  data = block;
  data_block_size_ = block ? size : 0;
}

void MusicEvent::InstallBlock(const uint8_t* src, int32_t n, int32_t size) {
  if (n > size) n = size;
  if (size <= kInlineBlockSize) {
    // Through a scratch copy: the source may be the inline block itself.
    uint8_t bytes[kInlineBlockSize] = {};
    if (n > 0 && src != nullptr) std::memcpy(bytes, src, static_cast<size_t>(n));
    FreeData();
    std::memcpy(inline_block_, bytes, sizeof bytes);
    data = inline_block_;
    data_block_size_ = size;
    return;
  }
  uint8_t* block = AllocMusicBlock(static_cast<size_t>(size));
  if (n > 0 && src != nullptr) std::memcpy(block, src, static_cast<size_t>(n));
  ReplaceBlock(block, size);
}

void MusicEvent::Copy(const MusicEvent& other) {
  if (this == &other) return;
  status = other.status;
  delta = other.delta;
  note = other.note;
  duration = other.duration;
  velocity = other.velocity;
  number = other.number;
  value = other.value;
  data_length = other.data_length;
  if (other.data != nullptr) {
    int32_t n = other.data_length < 0 ? 0 : other.data_length;
    if (n > other.data_block_size_) n = other.data_block_size_;
    InstallBlock(other.data, n, BlockSizeFor(other.data_length));
  } else {
    FreeData();
  }
}

int MusicEvent::SetData(const void* bytes, int32_t length) {
  int stored = SetDataQuietly(bytes, length);
  if (stored > 256) ErrorMsg(kMuevDataTooLong);
  return stored;
}

int MusicEvent::SetDataQuietly(const void* bytes, int32_t length) {
  if (length <= 0) return 0;
  if (length > kMaxDataLength) {
    ErrorMsg(kMuevDataTooLong);
    return 0;
  }
  InstallBlock(static_cast<const uint8_t*>(bytes), length, BlockSizeFor(length));
  data_length = length;
  return length;
}

int MusicEvent::GetData(void* out) const {
  if (data == nullptr) {
    ErrorMsg(kMuevNoData);
    return 0;
  }
  int32_t n = data_length < 0 ? 0 : data_length;
  if (n > data_block_size_) n = data_block_size_;
  if (n > 0 && out != nullptr) std::memcpy(out, data, static_cast<size_t>(n));
  return data_length;
}

int MusicEvent::GetDataByte(int32_t at) const {
  uint8_t* p = GetDataAt(at);
  return p ? *p : 0;
}

uint8_t* MusicEvent::GetDataAt(int32_t at) const {
  // The block may be smaller than data length + 8 after a resize: bound by both.
  int32_t limit = BlockSizeFor(data_length);
  if (limit > data_block_size_) limit = data_block_size_;
  if (data == nullptr || at < 0 || at >= limit) {
    ErrorMsg(kMuevNoData);
    return nullptr;
  }
  return data + at;
}

void MusicEvent::ResizeData(int32_t length) {
  const int32_t size = BlockSizeFor(length);
  InstallBlock(data, data != nullptr ? data_block_size_ : 0, size);
}

void MusicEvent::SetDataByte(int32_t at, int byte) {
  if (at < 0 || at >= kMaxDataLength) {
    ErrorMsg(kMuevNoData);
    return;
  }
  if (at >= BlockSizeFor(data_length) || (data != nullptr && at >= data_block_size_)) {
    ResizeData(at + 1);
  }
  if (data == nullptr || at >= data_block_size_) {
    ErrorMsg(kMuevNoData);
    return;
  }
  data[at] = static_cast<uint8_t>(byte);
}

void MusicEvent::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

std::string MusicEventDumpLine(const MusicEvent& e) {
  return "DeltaTime :" + Hex(static_cast<uint32_t>(e.delta)) + ",MsgType :" + Hex(e.status) +
         ",Velocity :" + Hex(static_cast<uint32_t>(e.velocity)) + ",Duration :" +
         Hex(static_cast<uint32_t>(e.duration)) + ",Command :" + Hex(e.number);
}

std::string MusicEventDumpLineWithDivision(const MusicEvent& e, int32_t division) {
  int32_t bars = division > 0 ? e.delta / division : e.delta;
  int32_t rest = division > 0 ? e.delta % division : 0;
  return "DeltaTime :" + Hex(static_cast<uint32_t>(bars)) + ":" + Hex(static_cast<uint32_t>(rest)) +
         ",MsgType :" + Hex(e.status) + ",Note :" + Hex(static_cast<uint32_t>(e.note)) +
         ",Velocity :" + Hex(static_cast<uint32_t>(e.velocity)) + ",Duration :" +
         Hex(static_cast<uint32_t>(e.duration)) + ",Command :" + Hex(e.number);
}

void MusicEvent::Dump(std::FILE* file) const {
  if (file == nullptr) return;
  std::string line = MusicEventDumpLine(*this) + "\r\n";
  std::fwrite(line.data(), 1, line.size(), file);
}

void MusicEvent::DumpWithDivision(std::FILE* file, int32_t division) const {
  if (file == nullptr) return;
  std::string line = MusicEventDumpLineWithDivision(*this, division) + "\r\n";
  std::fwrite(line.data(), 1, line.size(), file);
}
