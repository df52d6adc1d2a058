// The custom grid accompaniment (code 47): the style's own drawing of 14
// chord-degree voices over the steps of a bar, with ties, an optional strum
// and an optional second bar, played over every chord of the song.
#pragma once

#include "util/program_errors.h"

class MidiTrack;

// Shown when the metre and the grid disagree (an unknown metre, or 7/8 in the
// triplet rhythm when the bars alternate by section).
constexpr ProgramErrorCode kGridMetreError = 0xFF0101D4u;

// Channel 3 plays the harmony's grid in the harmony's mode; every other
// channel plays its own first-bar grid in the one-bar mode.
void GenerateCustomGridPattern(int channel, MidiTrack& track);
