// Guitar strums, sustained chords with pitch bends and layered percussive
// voices:
//   42 Hawaiian, 43 simple stroke, 44 oldies guitar, 52 sliding,
//   53 high whole notes, 57 kecak, 61 four-cut
#pragma once

class MidiTrack;

void GenerateHawaiianPattern(int channel, MidiTrack& track);
void GenerateSimpleStrokePattern(int channel, MidiTrack& track);
void GenerateOldiesGuitarPattern(int channel, MidiTrack& track);
// Its slides count on in SlideCount (engine/engine_state.h).
void GenerateSlidingPattern(int channel, MidiTrack& track);
void GenerateHighWholeNotePattern(int channel, MidiTrack& track);
void GenerateKecakPattern(int channel, MidiTrack& track);
// Strummed on the guitar programs 24..31 of the part's header, struck
// together on any other.
void GenerateFourCutPattern(int channel, MidiTrack& track);
