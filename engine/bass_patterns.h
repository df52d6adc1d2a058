// The bass pattern table: from a bass pattern code (1..23) to the generator that plays it.
//
// A generator writes the bass notes into the track on the channel, walking the chord blocks
// (engine/block_walker.h) and keeping the bass rules: only AddNote and the two bend operations
// of engine/part_tracks.h, time as deltas from the lead-in rest, chance only from
// GneRandomRange, nothing kept beyond its call unless its pattern says so.
#pragma once

#include "engine/compose_info.h"
#include "music/midi_track.h"

// What the dispatcher hands a generator; each uses the part it needs.
struct BassPatternCall {
  int channel;
  MidiTrack& track;
  int density;              // the channel-2 density factor, 20..160
  const EventList& melody;  // the melody working list (pattern 13)
};
using BassPatternGenerator = void (*)(const BassPatternCall& call);

constexpr int kFirstBassPattern = 1;
constexpr int kLastBassPattern = 23;

// The generator of a pattern code; nullptr when the code is outside 1..23 or its generator is
// not there yet.
BassPatternGenerator FindBassPattern(int code);
