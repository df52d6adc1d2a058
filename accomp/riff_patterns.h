// The riff family of the harmony and sub-harmony parts: short repeating
// single notes or two-note figures instead of chords.
//   code 30      random tone degrees on a one- or two-bar cycle
//   code 40, 46  fresh riff cells, stored into the current style's riff
//   code 41      the riff cells the current style holds, with held notes
//   code 45      random two-note strokes
#pragma once

#include <cstdint>

class MidiTrack;
struct ChordBlock;

constexpr int kRiffEntryCount = 32;   // entries of (length in steps, tone A, tone B)
constexpr int kStrokeRiffLength = 40;

void GenerateRiffPattern(int channel, MidiTrack& track);
// Codes 40, 41 and 46 (`code` tells them apart).
void GenerateRhythmRiffPattern(int channel, MidiTrack& track, int code);
void GenerateStrokeRiffPattern(int channel, MidiTrack& track);

// Fills the 40 tone codes (1..7) and lengths in steps of a stroke riff.
void MakeStrokeRiff(int* tones, int* lengths);

// The pitch of a riff tone code (0..11) in the block; a code outside 0..11,
// or a tone the block lacks, gives 0 (a rest).
int RiffToneA(int code, const ChordBlock& block);
int RiffToneB(int code, const ChordBlock& block);
// Whether code A or code B, read as tone A, names pitch_a or pitch_b.
bool RiffEntrySharesPitch(int code_a, int code_b, int pitch_a, int pitch_b,
                          const ChordBlock& block);

// The pitch of a code-30 degree (0..18) in the block; 0 for a rest.
int RiffDegreeTone(int degree, const ChordBlock& block);
