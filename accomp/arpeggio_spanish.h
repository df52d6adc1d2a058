// Two small patterns without chance: the slow arpeggio (code 3), the chord one
// tone at a time on an even grid, and the Spanish pattern (code 5), fast
// three-note strums in the manner of a flamenco guitar.
#pragma once

class MidiTrack;

void GenerateSlowArpeggio(int channel, MidiTrack& track);
void GenerateSpanishPattern(int channel, MidiTrack& track);
