// The harmony part (channel 3, optionally doubled on channel 11) and the sub-harmony part
// (channel 7): the part builders song rendering calls, the part writer that frames a pattern
// with header, pan, lead-in, octave shift and end of track, and the dispatcher from the style's
// accompaniment pattern code to its generator (accomp/harmony_patterns.h).
#pragma once

#include "engine/compose_info.h"
#include "engine/part_tracks.h"

// Appends the harmony track, after its detuned double when the channel-3 mixer asks for one;
// nothing when channel 3 is off. `melody` is the melody working list of the rendering.
void GenerateHarmonyPart(PartTrackList& tracks, const EventList& melody);
// Appends the sub-harmony track (never doubled); nothing when channel 7 is off.
void GenerateSubHarmonyPart(PartTrackList& tracks, const EventList& melody);

// One complete part track: header, pan, lead-in, the pattern, the octave setting, end of track.
void WritePatternPart(int channel, MidiTrack& track, int instrument, int code, int density,
                      const EventList& melody);
// The lead-in rest, then the pattern's notes. A code without a pattern (48, 0 and below, above
// 62) shows 0xFF010027 (once per rendering) and writes no note.
void WriteHarmonyPattern(int channel, MidiTrack& track, int code, int lead_in, int density,
                         const EventList& melody);
