// The rhythmic tension pattern (code 10): quick strums and stabs on a
// sixteenth (or triplet) grid with leaps to tensions above the root, a
// crescendo into the last chord and a special opening under a late melody;
// at busier densities a quarter-by-quarter comping or bar-by-bar four-voice
// chords with moving inner voices.
#pragma once

class MidiTrack;
struct BlockTones;
struct ChordBlock;
class NoteEmitter;

void GenerateRhythmicTension(int channel, MidiTrack& track, int density);
void RhythmicTensionPhrases(int channel, MidiTrack& track, int density);
void RhythmicTensionComping(int channel, MidiTrack& track, int density);
void RhythmicTensionDense(int channel, MidiTrack& track, int density);

// The phrase writers: each fills one chord block given as its folded tones
// and chord code, through the emitter (whose pending delta runs on from
// block to block). The lead-in writers also take the melody's leading rest.
struct TensionBlock {
  const ChordBlock& block;  // chord code and length
  const BlockTones& tones;  // folded into 36..80
};
void TensionPhrase(const TensionBlock& w, NoteEmitter& e);
void TensionSparsePhrase(const TensionBlock& w, NoteEmitter& e);
void TensionQuarterChords(const TensionBlock& w, NoteEmitter& e);
void TensionLastBar(const TensionBlock& w, NoteEmitter& e);
void TensionLeadInCrescendo(const TensionBlock& w, NoteEmitter& e, int leading_rest);
void TensionLeadInHeldChord(const TensionBlock& w, NoteEmitter& e, int leading_rest);
void TensionTripletPhrase(const TensionBlock& w, NoteEmitter& e);
void TensionTripletSparsePhrase(const TensionBlock& w, NoteEmitter& e);
void TensionTripletQuarterChords(const TensionBlock& w, NoteEmitter& e);
void TensionTripletEnding(const TensionBlock& w, NoteEmitter& e);
