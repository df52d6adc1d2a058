// A chord read from an analysis chord name ("C", "Am7", "Csus4", "Bbdim", "G7(9)")
// as MIDI notes around middle C.
#pragma once

#include <cstdint>

// Codes of the chord-name reader (tag "CNCL").
constexpr uint32_t kCnclUnexpectedText = 0x2d000001;
constexpr uint32_t kCnclBadThird = 0x2d000002;

struct ChordName {
  // No chord (an empty name, or one beginning with 'N' or 'U') leaves every note 0.
  explicit ChordName(const char* name);
  static void ErrorMsg(uint32_t code);

  int32_t root = 0;
  int32_t third = 0;
  int32_t fifth = 0;
  int32_t seventh = 0;  // the seventh or tension note; 0 for none
  int32_t bass = 0;
};
