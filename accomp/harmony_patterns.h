// The accompaniment pattern table: from a pattern code (1..62) to the generator that plays it.
//
// A generator writes one part's notes into the track on the channel, walking the chord blocks
// (engine/block_walker.h) and keeping the generator rules: only notes, bends and pedals through
// engine/part_tracks.h, time as deltas from the lead-in rest, chance only from GneRandomRange,
// no state kept beyond its call unless its pattern says so.
#pragma once

#include "engine/compose_info.h"
#include "music/midi_track.h"

// What the dispatcher hands a generator; each uses the part it needs.
struct HarmonyPatternCall {
  int channel;
  MidiTrack& track;
  int code;                 // the pattern code (the shared riff generator tells 40, 41, 46 apart)
  int density;              // the channel's density factor, 20..160
  const EventList& melody;  // the melody working list (patterns 23 and 34)
};
using HarmonyPatternGenerator = void (*)(const HarmonyPatternCall& call);

constexpr int kFirstHarmonyPattern = 1;
constexpr int kLastHarmonyPattern = 62;
constexpr int kNoHarmonyPattern = 48;  // in the code range but without a pattern

// True for the codes that name a pattern (1..62 but 48).
bool IsHarmonyPatternCode(int code);
// The generator of a pattern code; nullptr when the code names no pattern.
HarmonyPatternGenerator FindHarmonyPattern(int code);
