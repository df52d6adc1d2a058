#include "dialogs/lyric_list.h"

#include "draw/text_limits.h"
#include "platform/core/files.h"
#include "util/byte_cursor.h"

#include <algorithm>

namespace {

std::string Fit(const std::string& text) {
  return text.substr(0, Cp932FitLength(text, LyricList::kTextBytes - 1));
}

}  // namespace

bool LyricList::Add(const std::string& text, int bar, int eighth) {
  if (Full()) return false;
  slots_[count_] = LyricListEntry{bar, eighth, Fit(text)};
  ++count_;
  return true;
}

int LyricList::Find(int bar, int eighth) const {
  for (int i = 0; i < count_; ++i) {
    if (slots_[i].bar == bar && slots_[i].eighth == eighth) return i;
  }
  return -1;
}

void LyricList::SetText(int row, const std::string& text) {
  if (row >= 0 && row < count_) slots_[row].text = Fit(text);
}

void LyricList::Remove(int row) {
  if (row < 0 || row >= count_) return;
  std::move(slots_.begin() + row + 1, slots_.begin() + count_, slots_.begin() + row);
  --count_;
}

std::vector<uint8_t> LyricList::Serialize() const {
  std::vector<uint8_t> bytes(kFileBytes, 0);
  ByteWriter w(bytes.data(), bytes.size());
  w.I32Le(count_);
  for (const LyricListEntry& e : slots_) {
    w.I32Le(e.bar);
    w.I32Le(e.eighth);
    const size_t at = w.pos();
    std::copy(e.text.begin(), e.text.end(), bytes.begin() + static_cast<long>(at));
    w.Skip(kTextBytes);
  }
  return bytes;
}

bool LyricList::Parse(const uint8_t* data, size_t size) {
  if (!data || size < 4 || size > kFileBytes) return false;
  ByteReader r(data, size);
  const int32_t count = r.I32Le();
  const int covered = static_cast<int>(std::min<size_t>((size - 4) / kSlotBytes, kSlots));
  for (int i = 0; i < kSlots; ++i) {
    if (i >= covered) {
      slots_[i] = LyricListEntry{};
      continue;
    }
    LyricListEntry& e = slots_[i];
    e.bar = r.I32Le();
    e.eighth = r.I32Le();
    const std::string field = SlotText(reinterpret_cast<const char*>(r.Here()), kTextBytes);
    r.Skip(kTextBytes);
    e.text = Fit(field);
  }
  count_ = std::clamp<int32_t>(count, 0, covered);
  return true;
}

bool LyricList::Load(const std::filesystem::path& folder, std::string* why) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(folder / kFileName, bytes)) {
    if (why) *why = "歌詞リスト \"lyric.dat\" を読み込めません。";
    return false;
  }
  if (!Parse(bytes.data(), bytes.size())) {
    if (why) *why = "\"lyric.dat\" は歌詞リストのファイルではありません。";
    return false;
  }
  return true;
}

bool LyricList::Save(const std::filesystem::path& folder, std::string* why) const {
  std::error_code error;
  if (!plat::WriteFileAtomic(folder / kFileName, Serialize(), &error)) {
    if (why) *why = "歌詞リストを保存できません。" + plat::WriteFailureText(error);
    return false;
  }
  return true;
}

LyricList& ProgramLyricList() {
  static LyricList list;
  return list;
}
