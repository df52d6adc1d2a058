// Copying CP932 texts into fixed slots: the text is cut to the room there is, never in the middle
// of a double-byte character.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "util/gne_text.h"

// The number of bytes of `text` (up to its first NUL) that fit in `maxBytes` without splitting a
// character.
inline size_t Cp932FitLength(std::string_view text, size_t maxBytes) {
  const size_t end = std::min(text.size(), text.find('\0'));
  return GneFitCp932(text.data(), end, maxBytes);
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
