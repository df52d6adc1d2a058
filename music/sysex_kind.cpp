#include "music/sysex_kind.h"

#include "music/midi_event.h"
#include "music/midi_track.h"

namespace {

// Byte of the stored message at a position; 0 outside the data block.
int At(const MidiEvent& e, int32_t pos) {
  const uint8_t* p = e.GetDataPointer();
  if (p == nullptr || pos < 0 || pos >= e.DataBlockSize()) return 0;
  return p[pos];
}

bool Matches(const MidiEvent& e, int32_t from, std::initializer_list<int> bytes) {
  int32_t pos = from;
  for (int b : bytes) {
    if (At(e, pos++) != b) return false;
  }
  return true;
}

// Channel of a GS part nibble: part 0 is the drum channel 9, parts 1-9 channels 0-8,
// parts 10-15 themselves.
int32_t GsPartChannel(int part) {
  if (part == 0) return 9;
  if (part <= 9) return part - 1;
  return part;
}

}  // namespace

void ClassifySysEx(MidiEvent& e) {
  e.number = SysExKind::kNone;
  // Universal messages (position 2 onwards).
  if (Matches(e, 2, {0x7F, 0x7F, 0x04, 0x01}) && At(e, 8) == 0xF7) {
    e.number = SysExKind::kMasterVolume;
    e.value = At(e, 7);
    return;
  }
  if (Matches(e, 2, {0x7F, 0x7F, 0x04, 0x02}) && At(e, 8) == 0xF7) {
    e.number = SysExKind::kMasterBalance;
    e.value = At(e, 7);
    return;
  }
  if (Matches(e, 2, {0x7E, 0x7F, 0x09, 0x01}) && At(e, 6) == 0xF7) {
    e.number = SysExKind::kGmSystemOn;
    return;
  }
  if (Matches(e, 2, {0x43, 0x79, 0x06, 0x7F}) && At(e, 8) == 0xF7) {
    e.number = SysExKind::kYamaha;
    return;
  }
  if (!Matches(e, 2, {0x41, 0x10, 0x42, 0x12})) return;
  // Roland GS: address at positions 6, 7, 8; the first data byte at 9.
  int a1 = At(e, 6), a2 = At(e, 7), a3 = At(e, 8);
  if (a1 == 0x00 && a2 == 0x00 && a3 == 0x7F) {
    e.number = SysExKind::kGsSystemMode;
    return;
  }
  if (a1 != 0x40) return;
  if (a2 == 0x00 && a3 == 0x04) {
    e.number = SysExKind::kMasterVolume;
    e.value = At(e, 9);
    return;
  }
  bool part_address = (a2 & 0xF0) == 0x10 || (a2 & 0xF0) == 0x40;
  if (a2 != 0x01 && a2 != 0x02 && !part_address) return;
  e.value = At(e, 9);
  if (a2 == 0x01) {
    if (a3 >= 0x30 && a3 <= 0x35) {
      e.number = SysExKind::kGsReverbFirst + static_cast<uint32_t>(a3 - 0x30);
    } else if (a3 >= 0x37 && a3 <= 0x40) {
      e.number = SysExKind::kGsChorusFirst + static_cast<uint32_t>(a3 - 0x37);
    } else if (a3 >= 0x50 && a3 <= 0x59) {
      e.number = SysExKind::kGsDelayFirst + static_cast<uint32_t>(a3 - 0x50);
    } else if (a3 == 0x5A) {
      e.number = SysExKind::kGsDelay5A;
    }
  } else if (a2 == 0x02) {
    if (a3 <= 0x03) e.number = SysExKind::kGsEqFirst + static_cast<uint32_t>(a3);
  } else if ((a2 & 0xF0) == 0x10 && a3 == 0x15) {
    e.number = SysExKind::kGsRhythmPart;
    e.channel = GsPartChannel(a2 & 0x0F);
  } else if ((a2 & 0xF0) == 0x40 && a3 == 0x20) {
    e.number = SysExKind::kGsPartParameter;
    e.channel = GsPartChannel(a2 & 0x0F);
  }
}

void MidiTrack::ParseSysExKind(MidiEvent& event) {
  if (event.status != kStatusSysEx) ErrorMsg(kMdtkInternal);
  ClassifySysEx(event);
}
