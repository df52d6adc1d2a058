// Kinds of stored system-exclusive messages: the small number a track keeps in an
// F0 event's number field so that later passes need not parse the bytes again.
#pragma once

#include <cstdint>

namespace SysExKind {
constexpr uint32_t kNone = 0;
constexpr uint32_t kMasterVolume = 1;      // universal master volume, GS master volume
constexpr uint32_t kGmSystemOn = 9;
constexpr uint32_t kGsRhythmPart = 18;     // GS 40 1x 15: the part's rhythm setting
constexpr uint32_t kGsSystemMode = 19;     // GS 00 00 7F
constexpr uint32_t kGsReverbFirst = 20;    // GS 40 01 30..35 -> 20..25
constexpr uint32_t kGsChorusFirst = 32;    // GS 40 01 37..40 -> 32..41
constexpr uint32_t kMasterBalance = 40;    // universal master balance (also GS 40 01 3F)
constexpr uint32_t kGsDelayFirst = 48;     // GS 40 01 50..59 -> 48..57
constexpr uint32_t kGsDelay5A = 64;        // GS 40 01 5A
constexpr uint32_t kGsEqFirst = 65;        // GS 40 02 00..03 -> 65..68
constexpr uint32_t kGsPartParameter = 69;  // GS 40 4x 20
constexpr uint32_t kYamaha = 127;          // Yamaha 79 06 7F
}  // namespace SysExKind

class MidiEvent;

// Classifies the message held in the event's data: sets number (kind) and value, and
// the channel of GS part messages. Reads only inside the event's data block.
void ClassifySysEx(MidiEvent& event);
