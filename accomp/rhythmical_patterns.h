// Repeated chord strokes, power-chord dyads and fixed sixteenth figures of
// the harmony and sub-harmony parts.
//   code 16  super-slow stroke
//   code 19  rhythmical dyads
//   code 20  rhythmic figures (by density)
//   code 29  accent strokes (the light variant at density 60 or less)
#pragma once

class MidiTrack;

void GenerateSuperSlowStrokePattern(int channel, MidiTrack& track, int density);
void GenerateRhythmicalPattern(int channel, MidiTrack& track);
void GenerateRhythmicPattern(int channel, MidiTrack& track, int density);
void GenerateAccentStrokePattern(int channel, MidiTrack& track);
void GenerateAccentStrokeLightPattern(int channel, MidiTrack& track);

// Code 20's bodies by grid and density.
enum class RhythmicBody { kTriplet, kSparse, kDense };
RhythmicBody RhythmicBodyFor(bool triplet, int density);

// Code 29: the full accent strokes above density 60, else the light ones.
void GenerateAccentStroke(int channel, MidiTrack& track, int density);
