// A 64-bit FNV-1a digest, for pinning what code makes over many seeded inputs while the code
// is rearranged: bytes as they come, integers as eight little-endian bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cantrel_test {

struct Digest {
  uint64_t value = 14695981039346656037ull;
  void Byte(uint8_t b) {
    value ^= b;
    value *= 1099511628211ull;
  }
  void Bytes(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) Byte(p[i]);
  }
  void Int(int64_t v) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
  }
};

}  // namespace cantrel_test
