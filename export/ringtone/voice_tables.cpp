#include "export/ringtone/voice_tables.h"

#include <algorithm>

namespace {

constexpr uint8_t kMa1Voice0[6] = {0x21, 0x7B, 0x8C, 0xA0, 0x31, 0x57};
constexpr uint8_t kMa1Octave0[8] = {0x00, 0x00, 0x01, 0x01, 0x02, 0x02, 0x04, 0x04};
constexpr uint8_t kType252Row[13] = {};
constexpr uint8_t kMfiZeroRow[20] = {};

}  // namespace

// Every program reads the given row (a program outside 0-127 reads it too).
const uint8_t* Ma1VoiceRow(int32_t) { return kMa1Voice0; }
const uint8_t* Ma1OctaveRow(int32_t) { return kMa1Octave0; }
const uint8_t* Type252VoiceRow(int32_t) { return kType252Row; }

int32_t MfiVoiceRowSize(MfiVoiceTable table) {
  switch (table) {
    case MfiVoiceTable::kProgram20: return 20;
    case MfiVoiceTable::kDrum18: return 18;
    case MfiVoiceTable::kProgram19: return 19;
    case MfiVoiceTable::kProgram12:
    case MfiVoiceTable::kDrum12: return 12;
  }
  return 12;
}
const uint8_t* MfiVoiceRow(MfiVoiceTable, int32_t) { return kMfiZeroRow; }
uint8_t MfiDrumTableByte(int32_t) { return 0; }
