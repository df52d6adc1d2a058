// The lyric panel's list of poured texts: 256 slots of (bar, eighth, text) and a count, kept for
// the program's run and saved to and loaded from "lyric.dat" in the user data folder:
// a little-endian int32 count, then the 256 slots of 1,032 bytes each (bar, eighth, a
// 1,024-byte zero-terminated CP932 text), 264,196 bytes whatever the count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct LyricListEntry {
  int32_t bar = -1;  // absolute bar of the pour; -1 for a text added without one
  int32_t eighth = -1;
  std::string text;  // at most kTextBytes - 1 bytes
};

class LyricList {
 public:
  static constexpr int kSlots = 256;
  static constexpr size_t kTextBytes = 1024;
  static constexpr size_t kSlotBytes = 8 + kTextBytes;
  static constexpr size_t kFileBytes = 4 + kSlots * kSlotBytes;
  static constexpr const char* kFileName = "lyric.dat";

  int Count() const { return count_; }
  bool Full() const { return count_ >= kSlots; }
  const LyricListEntry& At(int row) const { return slots_[row]; }
  // Appends an entry (the text cut to fit at a character); false when the list is full.
  bool Add(const std::string& text, int bar, int eighth);
  // The row holding (bar, eighth), or -1.
  int Find(int bar, int eighth) const;
  void SetText(int row, const std::string& text);
  // Removes the row; the later entries move up one.
  void Remove(int row);
  void Clear() { count_ = 0; }

  // The file's bytes (kFileBytes).
  std::vector<uint8_t> Serialize() const;
  // Reads a file's bytes: false (the list unchanged) when they are no list file. The count is
  // kept within the slots the file covers, every text ends within its field, and slots the
  // file does not cover are empty.
  bool Parse(const uint8_t* data, size_t size);
  // Whole-file forms in the given folder: false after the reason went to `why` (CP932).
  bool Load(const std::filesystem::path& folder, std::string* why);
  bool Save(const std::filesystem::path& folder, std::string* why) const;

 private:
  std::array<LyricListEntry, kSlots> slots_{};
  int count_ = 0;
};

// The list of the running program (the panel's, surviving its hiding).
LyricList& ProgramLyricList();
