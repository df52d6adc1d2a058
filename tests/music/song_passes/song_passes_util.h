// Event builders the song pass tests share beyond the pass tests' own.
#pragma once

#include <cstdint>
#include <vector>

#include "music/midi_event.h"

namespace song_passes_test {

// A system-exclusive event holding the stored bytes (F0, length, message ...).
inline MidiEvent* SysEx(int32_t delta, const std::vector<uint8_t>& bytes) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusSysEx;
  e->channel = kNoChannel;
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

}  // namespace song_passes_test
