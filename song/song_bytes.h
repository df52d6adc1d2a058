// Small helpers of the song code: bounded texts in fixed-size fields. Stored
// integers go through the byte cursors of util/byte_cursor.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace song_bytes {

// Copies and clears of the short fields songs are made of (names, lyrics, cells): a word at a
// time, which the compiler keeps inline; a call to memcpy or memset per field costs many times
// the copy in an instrumented build, where every such call is checked.
inline void CopyBytes(void* to, const void* from, size_t n) {
  if (n > 64) {
    std::memcpy(to, from, n);
    return;
  }
  auto* d = static_cast<uint8_t*>(to);
  const auto* s = static_cast<const uint8_t*>(from);
  for (; n >= 8; n -= 8, d += 8, s += 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    std::memcpy(d, &w, 8);
  }
  for (; n > 0; --n) *d++ = *s++;
}
inline void ZeroBytes(void* to, size_t n) {
  if (n > 64) {
    std::memset(to, 0, n);
    return;
  }
  auto* d = static_cast<uint8_t*>(to);
  const uint64_t zero = 0;
  for (; n >= 8; n -= 8, d += 8) std::memcpy(d, &zero, 8);
  for (; n > 0; --n) *d++ = 0;
}

// Length of a text in a field of `size` bytes (the field may lack its NUL).
inline size_t FieldLen(const char* field, size_t size) {
  const void* nul = std::memchr(field, 0, size);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size;
}
inline std::string FieldText(const char* field, size_t size) {
  return std::string(field, FieldLen(field, size));
}
// Writes a text into a field of `size` bytes, cut to size-1, NUL-padded.
inline void SetField(char* field, size_t size, const char* text) {
  size_t n = text ? std::strlen(text) : 0;
  if (n > size - 1) n = size - 1;
  ZeroBytes(field, size);
  CopyBytes(field, text, n);
}
inline void SetField(char* field, size_t size, const std::string& text) {
  size_t n = text.size();
  if (n > size - 1) n = size - 1;
  ZeroBytes(field, size);
  CopyBytes(field, text.data(), n);
}
// Field equals a NUL-terminated text (bounded by the field size).
inline bool FieldIs(const char* field, size_t size, const char* text) {
  size_t n = FieldLen(field, size);
  return n == std::strlen(text) && std::memcmp(field, text, n) == 0;
}
inline bool FieldsEqual(const char* a, const char* b, size_t size) {
  size_t n = FieldLen(a, size);
  return n == FieldLen(b, size) && std::memcmp(a, b, n) == 0;
}
// bar x cells per bar, kept within 0..limit whatever the bar number.
inline int BarCell(long long bar, int cells_per_bar, int limit) {
  const long long c = bar * cells_per_bar;
  return c < 0 ? 0 : (c > limit ? limit : static_cast<int>(c));
}

inline bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace song_bytes
