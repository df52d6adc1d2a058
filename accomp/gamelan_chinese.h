// Patterns with an ethnic colour: the gamelan (code 6), the root struck in
// octaves or fast tremolos with slowly rising velocity, or the chord's
// strongest tones in two octaves; and the Chinese line (code 7), a single
// running line of chord and scale tones that resolves what does not belong
// to the chord and leaves out repeated notes.
#pragma once

class MidiTrack;
struct ChordBlock;

void GenerateGamelanPattern(int channel, MidiTrack& track);
void GamelanOctaveTriplets(int channel, MidiTrack& track);
void GamelanStraight(int channel, MidiTrack& track);
void GenerateChinesePattern(int channel, MidiTrack& track, int density);
void ChineseTripletLine(int channel, MidiTrack& track);
void ChineseLine(int channel, MidiTrack& track, int density);

// A pitch of the octave above the block's root that is a chord or scale tone
// of the block: drawn again until it is, at most 64 times, then the root.
int ChineseLineTone(const ChordBlock& block);
