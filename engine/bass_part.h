// The bass part (channel 2): the part builder song rendering calls, the part writer that frames
// a bass pattern with header, lead-in, octave option and end of track, the muting of the first
// bar under a melody pickup, and the dispatcher from the style's bass pattern code to its
// generator (engine/bass_patterns.h).
#pragma once

#include "engine/compose_info.h"
#include "engine/part_tracks.h"

// Octave options of channel 2 beside a plain shift by whole octaves.
constexpr int kBassOctaveDoubleBelow = 99;
constexpr int kBassOctaveDoubleAbove = 101;
// The accompaniment pattern under which a melody pickup silences the bass's first bar.
constexpr int kIrregularArpeggioPattern = 9;

// Appends the bass track; nothing when channel 2 is off. `melody` is the rendering's melody
// working list (emptied by then; one pattern reads it).
void GenerateBassPart(PartTrackList& tracks, const EventList& melody);
// The complete part: header, lead-in, the pattern, the octave option, end of track.
void WriteBassPart(MidiTrack& track, const EventList& melody);
// A code outside 1..23 shows 0xFF010027 and writes no note; a code whose generator is not there
// yet writes no note either and is named in the rendering's silent-part message.
void WriteBassPattern(int channel, MidiTrack& track, int code, int density, const EventList& melody);
// Notes that start within the first bar (counted from the track's start, lead-in included)
// become silent when the melody begins after a rest of 192 ticks or more but less than a bar.
void MuteBassUnderPickup(MidiTrack& track);
