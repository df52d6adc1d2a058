// Oom-pah and dance accompaniments: a low note against chords on the
// off-beats, or a dance rhythm on one chord tone.
//   32 ragtime, 33 rockabilly, 50 bolero, 59 waltz, 60 jazz waltz
#pragma once

class MidiTrack;

void GenerateRagtimePattern(int channel, MidiTrack& track);
// Its break stabs count on in RockabillyStabCounter (engine/engine_state.h).
void GenerateRockabillyPattern(int channel, MidiTrack& track);
void GenerateBoleroPattern(int channel, MidiTrack& track);
void GenerateWaltzPattern(int channel, MidiTrack& track);
void GenerateJazzWaltzPattern(int channel, MidiTrack& track);
