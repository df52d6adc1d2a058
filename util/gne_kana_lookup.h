// Lookup tables built once from the kana and width tables, shared by the width functions and the
// search normaliser: one slot per two-byte character of the lead bytes 0x81-0x83 (where every
// character the tables name lives) and one per single byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gne_kana {

constexpr unsigned kFirstCode = 0x8100;
constexpr int kSlots = 0x300;
constexpr uint16_t kDrop = 0xFFFF;  // a search fold value: the character is removed

// The slot of a two-byte character code, -1 outside the table's range.
inline int TwoByteSlot(unsigned code) {
  return (code >= kFirstCode && code < kFirstCode + kSlots) ? static_cast<int>(code - kFirstCode)
                                                            : -1;
}

// The two bytes at p as a big-endian code.
unsigned CharCode(const char* p);
// 2 for a lead byte followed by a byte other than the terminator, else 1.
size_t CharWidth(const char* p);

struct Lookup {
  // Two-byte characters (by slot); 0 = no entry.
  uint8_t half_plain[kSlots];    // plain or small kana -> its one-byte half-width form
  uint8_t half_voiced[kSlots];   // voiced kana -> its half-width base letter (then "ﾞ")
  uint16_t hiragana_of[kSlots];  // katakana -> hiragana
  uint16_t katakana_of[kSlots];  // hiragana -> katakana
  uint8_t is_kana[kSlots];       // either column of the kana table, or the full-width blank
  uint16_t search_fold2[kSlots];  // search passes 4-8 of a two-byte character (or kDrop)
  // Single bytes.
  uint16_t full_plain[256];     // half-width plain/small kana and "ｰ" -> full-width
  uint16_t full_voiced[256];    // base letter of a "ﾞ" form -> full-width voiced kana
  uint16_t search_plain[256];   // search pass 2, by KanaWidthTable rows
  uint16_t search_voiced[256];
  uint16_t search_semi[256];
  uint16_t search_fold1[256];   // search passes 5-8 of a single byte (or kDrop)
};

const Lookup& Tables();

}  // namespace gne_kana
