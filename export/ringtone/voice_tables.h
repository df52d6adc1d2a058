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

// MFi handset voice records (the model-specific voice data): rows by program 0-127 or by
// drum note 35-81, of the sizes the records frame. No row of these is given: all are zero.
enum class MfiVoiceTable {
  kProgram20,  // models 1 and 2: melodic programs and drum notes, 20 bytes
  kDrum18,     // models 1, 2, 6 and 7: drum notes, 18 bytes
  kProgram19,  // models 6 and 7: melodic programs, 19 bytes
  kProgram12,  // models 5 and 25: melodic parameter rows, 12 bytes
  kDrum12,     // models 5 and 25: drum parameter rows, 12 bytes
};
int32_t MfiVoiceRowSize(MfiVoiceTable table);
const uint8_t* MfiVoiceRow(MfiVoiceTable table, int32_t key);
// The drum table's byte of a drum note (models 5 and 25).
uint8_t MfiDrumTableByte(int32_t note);
