// Constant name tables of keys, chords, octaves, note values and pitch
// classes, shared by the whole system, and the small lookups that walk them.
// All texts are CP932 byte strings.
#pragma once

#include <cstdint>

// One key of the song: mode 0 major / 1 minor, accidentals = number of sharps
// or minus the number of flats, the key's name and its tonic pitch class.
struct KeySignature {
    uint8_t mode;
    int8_t accidentals;
    const char* name;
    int32_t tonic;
};

constexpr int kKeySignatureCount = 30;
// Index = the song's key index: 15 majors (0..14), then 15 minors (15..29).
extern const KeySignature KeySignatureTable[kKeySignatureCount];

// Twelve note names in sharp spelling by pitch class ("C" .. "B"), then the
// twelve degree names by semitone above the tonic ("I", "bII", .. "VII").
extern const char* const NoteNameTable[24];
// The twelve degree names alone ("I" .. "VII"), by semitone above the tonic.
constexpr const char* const* DegreeNameTable = NoteNameTable + 12;

// Root texts by pitch class, sharp spelling.
extern const char* const ChordRootNameTable[12];

// One chord type: the suffix written in chord names (major is one blank),
// the engine's three-letter quality code and the Japanese reading.
struct ChordSuffix {
    const char* suffix;
    const char* engine_code;
    const char* reading;
};
constexpr int kChordSuffixCount = 22;
extern const ChordSuffix ChordSuffixTable[kChordSuffixCount];

// The note-entry panels' octave list; octave -1 is a rest, -4 a rap note.
struct OctaveRange {
    int32_t octave;
    const char* label;
};
constexpr int kOctaveRangeCount = 6;
extern const OctaveRange OctaveRangeTable[kOctaveRangeCount];

// Note values by their length in eighth notes.
struct NoteValue {
    double eighths;
    const char* label;
};
constexpr int kNoteValueCount = 11;
extern const NoteValue NoteValueTable[kNoteValueCount];

// Solfege (half-width katakana) and letter names of a pitch class in sharp and
// flat spelling.
struct PitchClassName {
    int32_t pitch_class;
    const char* solfege_sharp;
    const char* solfege_flat;
    const char* letter_sharp;
    const char* letter_flat;
};
extern const PitchClassName PitchClassNameTable[12];

// Hiragana solfege and full-width degree digits by pitch class from C.
extern const char* const HiraganaSolfegeSharp[12];
extern const char* const HiraganaSolfegeFlat[12];
extern const char* const DegreeDigitSharp[12];
extern const char* const DegreeDigitFlat[12];

// True for a key written with flats (negative accidentals); rows 8..14 and
// 23..29. Out-of-range indexes are no flat key.
bool IsFlatKey(int key_index);

// Splits a note slot value into the OctaveRangeTable row and the
// PitchClassNameTable row. octave = -4 for a rap note, -1 for a rest or a
// hold, else value / 12; the octave row is left untouched when no row has that
// octave. The pitch-class row is 0 when value mod 12 matches nothing
// (negative values).
void SplitPitch(int value, int* octave_row, int* pitch_class_row);

// The slot value of an octave row and a pitch-class row: -1 for the rest row,
// -4 for the rap row, else pitch class + octave * 12. Rows outside the tables
// give -1.
int PitchFromRows(int octave_row, int pitch_class_row);

// The NoteValueTable row with exactly this length, 0 when there is none.
int NoteValueIndex(double eighths);

// The first KeySignatureTable row whose name equals the text, 0 when none.
int KeyIndexFromName(const char* name);

// The distance between the relative major tonics of two keys, not reduced
// modulo 12 (C major to A minor gives 12).
int KeyDistance(int from_key, int to_key);

// The root pitch class 0..11 of a chord text, or -1 ("Cb", "Fb", "E#", "B#"
// and unknown letters give -1).
int ChordRootIndex(const char* chord);

// A note text of the form mark + solfege name ("休" gives -1; "↓", "↑" or a
// blank followed by one byte select the octave) to a MIDI pitch, -1 when the
// name is unknown.
int PitchFromNoteText(const char* text);

// Append the hiragana solfege name / full-width degree digit of pitch mod 12
// to text, flat spelling in a flat key. pitch must be 0 or more; text must
// have room for 7 more bytes.
void AppendSolfegeName(int key_index, int pitch, char* text);
void AppendDegreeDigit(int key_index, int pitch, char* text);

// Appends "/" and the bass note name (root + interval) to a chord text; an
// interval of 0 appends nothing. The spelling follows the root's own spelling
// and, where that says nothing, the key. text must have room for 4 more bytes.
void AppendSlashBass(char* chord, int interval, int key_index);
