// Held chords, arpeggios and techno figures of the harmony and sub-harmony
// parts.
//   code 12  whole notes: eight variants by the part's density
//   code 13  arpeggio
//   code 14  techno
//   code 15  hip-hop
//   code 17  rhythmical techno
//   code 18  rap techno
#pragma once

class MidiTrack;
struct ChordBlock;
class NoteEmitter;
class Tone;

void GenerateWholeNotePattern(int channel, MidiTrack& track, int density);
void GenerateArpeggioPattern(int channel, MidiTrack& track);
void GenerateTechnoPattern(int channel, MidiTrack& track);
void GenerateHipHopPattern(int channel, MidiTrack& track);
void GenerateRhythmicalTechnoPattern(int channel, MidiTrack& track);
void GenerateRapTechnoPattern(int channel, MidiTrack& track);

// The variants of code 12, from the highest density band down.
enum class WholeNoteVariant {
  kBrokenChords,   // 200 and above
  kQuarterChords,  // 180..199
  kTrill,          // 160..179
  kTriadsVaried,   // 120..159
  kTriads,         // 100..119
  kStrums,         // 80..99
  kRootFifth,      // 60..79
  kChords,         // below 60
};
WholeNoteVariant WholeNoteVariantFor(int density);

// The figures of code 17's blocks, each writing one block at the emitter's
// block start.
void RhythmicalTechnoStrums(const ChordBlock& block, NoteEmitter& e);
void RhythmicalTechnoAccents(const ChordBlock& block, NoteEmitter& e);
void RhythmicalTechnoEnding(const ChordBlock& block, NoteEmitter& e);

// The ending strum of codes 17 and 19: a rest, then `first`, T, F and `top`
// 4 ticks apart, all ending together 4 ticks before the strum's span of
// kClosingStrumSpan ticks is over. The strum starts 384 ticks into the block
// when the whole span fits after that; on a shorter last block it starts in
// the block's middle (on an eighth) and its span is cut to the block's end, so
// that every last block sounds and nothing sounds after it.
constexpr int kClosingStrumSpan = 192;
void ClosingStrum(const ChordBlock& block, Tone first, Tone top, NoteEmitter& e);
