// Fuzz entry of the track chunk parser: any bytes, read as a Standard MIDI File when
// they start with "MThd" and as the body of one track chunk in any case, parsed,
// converted and written back. Returns 0, or a number naming the broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzMidiTrackInput(const uint8_t* data, size_t size);
