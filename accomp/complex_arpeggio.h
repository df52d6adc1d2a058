// Patterns of the harmony and sub-harmony parts that shape a line across the
// song.
//   code 24  melodic line: a slow counter-line of chord tones
//   code 25  complex arpeggio: figures by the block's place in the song, and
//            at middle density a random eight-step degree figure
#pragma once

class MidiTrack;

void GenerateMelodicLinePattern(int channel, MidiTrack& track, int density);
void GenerateComplexArpeggioPattern(int channel, MidiTrack& track, int density);

// Code 25's bodies by density.
enum class ComplexArpeggioBody { kPlaceFigures, kDegreeFigure, kSparseFigures };
ComplexArpeggioBody ComplexArpeggioBodyFor(int density);

// The eight degrees of code 25's degree figure (0 silent, 1 root, 2 second,
// 3 third, 4 lowered fifth, 5 and 6 fifth, 7 seventh, 8 and 9 octave, 10 a
// short stroke), drawn as the figure draws them.
void DrawComplexArpeggioDegrees(int* degrees);
