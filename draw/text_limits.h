// Copying CP932 texts into fixed slots: the text is cut to the room there is, never in the middle
// of a double-byte character.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// The number of bytes of `text` that fit in `maxBytes` without splitting a character.
inline size_t Cp932FitLength(std::string_view text, size_t maxBytes) {
  size_t i = 0;
  while (i < text.size() && text[i] != '\0') {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    const size_t len = (lead && i + 1 < text.size() && text[i + 1] != '\0') ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return i;
}

// Copies the text into a slot of `size` bytes (terminator included), cut to fit.
inline void CopyToSlot(char* slot, size_t size, std::string_view text) {
  if (!slot || size == 0) return;
  const size_t n = Cp932FitLength(text, size - 1);
  std::memcpy(slot, text.data(), n);
  std::memset(slot + n, 0, size - n);
}

// The text of a slot of `size` bytes that may lack its terminator.
inline std::string SlotText(const char* slot, size_t size) {
  size_t n = 0;
  while (n < size && slot[n] != '\0') ++n;
  return std::string(slot, n);
}
