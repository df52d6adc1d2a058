// Voice parameters of the SMAF setup data (see README.md: the rows the format gives are real,
// every other row repeats its table's given row and stands as a placeholder).
#include "export/ringtone/smaf.h"

namespace {

constexpr uint8_t kFourTrackProgram0[12] = {0x60, 0x01, 0x14, 0x52, 0xF4, 0x3A,
                                            0xA0, 0x14, 0x62, 0xF7, 0x00, 0xA0};
constexpr uint8_t kDrumNote35[12] = {0x68, 0x01, 0x10, 0x7F, 0xF7, 0x00,
                                     0xA0, 0x01, 0x63, 0xF0, 0x00, 0xA0};
constexpr uint8_t kProgram0[13] = {0xF1, 0x21, 0x7B, 0x8C, 0xA0, 0x31, 0x57,
                                   0x8C, 0x00, 0x00, 0x11, 0x22, 0x44};

}  // namespace

const uint8_t* SmafFourTrackVoiceRow(int32_t) { return kFourTrackProgram0; }
const uint8_t* SmafDrumVoiceRow(int32_t) { return kDrumNote35; }
const uint8_t* SmafVoiceRow(int32_t) { return kProgram0; }
