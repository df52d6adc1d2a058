// Harmony and sub-harmony patterns with a style of their own.
//   code 21  tango (1): a section figure in the block before a section change
//   code 22  enka (by density)
//   code 23  tango (2): runs at section changes and where the melody rests
//   code 26  Middle-Eastern: bent roots and descending runs
//   code 31  march
#pragma once

class EventList;
class MidiTrack;
class NoteEmitter;
struct ChordBlock;

void GenerateTangoPattern(int channel, MidiTrack& track);
void GenerateEnkaPattern(int channel, MidiTrack& track, int density);
void GenerateTango2Pattern(int channel, MidiTrack& track, const EventList& melody);
void GenerateTango2Triplet(int channel, MidiTrack& track);
void GenerateMiddleEasternPattern(int channel, MidiTrack& track);
void GenerateMarchPattern(int channel, MidiTrack& track);

// Enka's phrase over one block, steps of `step` ticks.
void EnkaPhrase(const ChordBlock& block, int step, NoteEmitter& e);
