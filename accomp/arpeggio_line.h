// Single-note lines over the chords:
//   39 fast random-octave roots, 49 descending strong tones, 51 a melodic
//   figure that follows the sections, 56 a parade line with passing tones,
//   38 a trance trill.
#pragma once

#include "accomp/note_emitter.h"

class MidiTrack;
struct ChordBlock;

void GenerateFastArpeggioPattern(int channel, MidiTrack& track);
void GenerateScatteredDissonancePattern(int channel, MidiTrack& track);
void GenerateMelodicPattern(int channel, MidiTrack& track);
void GenerateParadePattern(int channel, MidiTrack& track, int density);
void GenerateTrancePattern(int channel, MidiTrack& track);

// The trance trill's lower and upper pitch for a block.
struct TrancePair {
  Tone low, high;
};
TrancePair PickTrancePair(const ChordBlock& block);
