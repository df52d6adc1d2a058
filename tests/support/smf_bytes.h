// Byte writers for Standard MIDI Files built by hand in the tests and benchmarks: a 32-bit
// big-endian number and a variable-length number.
#pragma once

#include <cstdint>
#include <vector>

namespace cantrel_test {

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Seven bits a byte, the highest group first, every byte but the last with its top bit set.
inline void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v != 0);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

}  // namespace cantrel_test
