// The pops pattern (code 4): six bodies, from a sparse bass-and-dyad figure
// to a busy mix of strokes and short arpeggio runs, chosen by the basic beat,
// the density factor and the 6/8 feel.
#pragma once

class MidiTrack;

void GeneratePopsPattern(int channel, MidiTrack& track, int density);
void GeneratePopsTriplet(int channel, MidiTrack& track);
void GeneratePopsSparse(int channel, MidiTrack& track);
void GeneratePopsLight(int channel, MidiTrack& track);
void GeneratePopsSixEight(int channel, MidiTrack& track);
void GeneratePopsMedium(int channel, MidiTrack& track);
void GeneratePopsDense(int channel, MidiTrack& track);
