// Voice parameter tables of the ringtone formats (handset FM voices by program and by drum
// note). See README.md: only the rows the format descriptions give are real; every other row
// repeats its table's given row (zero where none is given) and stands as a placeholder.
#pragma once

#include <cstdint>

// MA-1: 6 voice-parameter bytes and 4 octave pairs (x, y) by program 0-127.
const uint8_t* Ma1VoiceRow(int32_t program);
const uint8_t* Ma1OctaveRow(int32_t program);
// MFi type 252: 13-byte rows by program.
const uint8_t* Type252VoiceRow(int32_t program);
