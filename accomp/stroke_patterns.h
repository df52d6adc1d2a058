// Stroke patterns of the harmony and sub-harmony parts: the chord struck as
// repeated block chords.
//   code 1   slow stroke, one stroke per beat
//   code 2   continuous stroke on every eighth (three speeds by density)
//   code 28  the slow continuous stroke alone
//   code 62  off-beat chords
#pragma once

class MidiTrack;

void GenerateSlowStroke(int channel, MidiTrack& track, int density);
void GenerateContinuousStroke(int channel, MidiTrack& track);
void GenerateContinuousStrokeMedium(int channel, MidiTrack& track);
void GenerateContinuousStrokeFast(int channel, MidiTrack& track);
void GenerateOffBeat(int channel, MidiTrack& track, int density);

// The first stroke of a block leads its voices from the previous block's:
// the seventh drops an octave when it lies 5 or more above `top` (and stays
// at 60 or above), the third rises one when it lies 5 or more below `low`
// (and stays at 83 or below). Works on the block's stored pitches.
struct StrokeVoices {
  int top;
  int low;
};
struct LedTones {
  int third_shift;    // 0 or +12
  int seventh_shift;  // 0 or -12
};
LedTones LeadFirstStroke(const StrokeVoices& refs, int third, int seventh);
