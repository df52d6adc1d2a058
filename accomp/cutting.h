// The cutting accompaniment (codes 11 and 54): short voice-led triads on a
// grid of eighths or triplet eighths, rests between them, and a closing run
// of single notes or octave pairs.
#pragma once

class MidiTrack;

// Triplet rhythm: the busy body above density 60, the sparse one at 60 and
// below; every other grid: the eighth body.
void GenerateCuttingPattern(int channel, MidiTrack& track, int density);
void GenerateCuttingEighths(int channel, MidiTrack& track);
void GenerateCuttingTriplets(int channel, MidiTrack& track);
void GenerateCuttingSparseTriplets(int channel, MidiTrack& track);
