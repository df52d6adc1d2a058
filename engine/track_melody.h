// The song import's melody for the engine: one track of a MIDI song appended to the
// vocal melody list (see song/track_melody.h for the conversion itself).
#pragma once

#include <cstdint>

#include "song/track_melody.h"

class Midi1Data;

// Appends the melody of the note-mode song's track (index) at 96 ticks per quarter to
// VocalMelodyList(); the caller empties the list first. A missing track appends nothing.
void ConvertTrackToEventList(const Midi1Data& song, int32_t track_index, int32_t division);
