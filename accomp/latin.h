// Latin-American and Spanish accompaniments: fixed one-bar figures that fill
// whole bars and fall back to plain chords on other chord lengths.
//   35 bossa nova, 36 Latin, 37 rhythmic Latin, 55 cha-cha-cha, 58 flamenco
#pragma once

class MidiTrack;

void GenerateBossaNovaPattern(int channel, MidiTrack& track);
void GenerateLatinPattern(int channel, MidiTrack& track);
void GenerateRhythmicLatinPattern(int channel, MidiTrack& track);
// The cha-cha-cha figure, shuffled on quarters in the triplet rhythm.
void GenerateChaChaChaPattern(int channel, MidiTrack& track);
void GenerateChaChaChaFigure(int channel, MidiTrack& track);
void GenerateFlamencoPattern(int channel, MidiTrack& track);
