// The drum pattern table: from a drum pattern code (1..40) to the style that plays it.
//
// A style writes the drum notes into the track on the channel, walking the blocks of the chord
// timeline it is given (engine/block_walker.h), mostly through the step writers and the drum
// grid of engine/drum_part.h; chance only from GneRandomRange.
#pragma once

#include "engine/compose_info.h"
#include "music/midi_track.h"

// What the dispatcher hands a style; each uses the part it needs.
struct DrumPatternCall {
  int channel;
  const EventList& timeline;  // the chord timeline: one block per chord, then the closing blocks
  MidiTrack& track;
  int density;                // the channel-9 density factor, 20..160
};
using DrumPatternGenerator = void (*)(const DrumPatternCall& call);

constexpr int kFirstDrumPattern = 1;
constexpr int kLastDrumPattern = 40;

// The style of a pattern code; nullptr when the code is outside 1..40 or its style is not there
// yet.
DrumPatternGenerator FindDrumPattern(int code);
