// Arpeggio patterns whose speed changes: the variable-speed arpeggio (code 8),
// from a dotted rhythm at low density to running sixteenths or thirty-seconds
// at high density, and the irregular arpeggio (code 9), an eighth-note or
// triplet arpeggio that plays only on some chord lengths and drops whole
// chords at random.
#pragma once

class MidiTrack;

void GenerateVariableSpeedArpeggio(int channel, MidiTrack& track, int density);
void VariableArpeggioBursts(int channel, MidiTrack& track, int density);
void VariableArpeggioRun(int channel, MidiTrack& track, int density);
void VariableArpeggioDotted(int channel, MidiTrack& track, int density);
void VariableArpeggioCycle(int channel, MidiTrack& track, int density);
void GenerateIrregularArpeggio(int channel, MidiTrack& track);
void IrregularArpeggioEighths(int channel, MidiTrack& track);
void IrregularArpeggioTriplet(int channel, MidiTrack& track);
