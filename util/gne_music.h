// General library: MIDI variable-length numbers and byte order, tempo, time
// and metre arithmetic, and the names of notes, keys, degrees, intervals and
// melodic motions. Texts are CP932; output texts go into caller buffers
// (sizes given per function), or come back as std::string from the
// convenience overloads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ---- Variable-length numbers and byte order ----

// Writes value as a Standard MIDI File variable-length number (big-endian
// groups of 7 bits, high bit set on every byte but the last) and returns the
// number of bytes written, 1 to 4. Negative values are written as 0, values
// above 0x0FFFFFFF as 0x0FFFFFFF. out must hold 4 bytes.
int GneWriteVarLen(int64_t value, uint8_t* out);
// Reads a variable-length number of at most 4 bytes from at most avail bytes;
// returns the bytes used, 0 when the number is unterminated within them.
int GneReadVarLen(const uint8_t* in, size_t avail, uint32_t* value);

void GneWriteBigEndian32(uint8_t* out, uint32_t value);
void GneWriteLittleEndian32(uint8_t* out, uint32_t value);
// b0 * 65536 + b1 * 256 + b2.
int GneReadBigEndian24(const uint8_t* bytes);
// The 32-bit value stored at bytes in machine order.
int32_t GneReadInt32(const uint8_t* bytes);

// ---- Tempo, time and metre ----
// Tempo: microseconds per quarter note; bpm: quarter notes per minute.
// Metre word: numerator * 256 + denominator.

// (60000 / bpm) * 1000. bpm 0 shows GENE 0x01000013 and gives 500000.
int GneBpmToTempo(int bpm);
// 60000 / (tempo / 1000). A tempo below 1000 shows GENE 0x01000012 and
// gives 120.
int GneTempoToBpm(int tempo);
// ticks / division * tempo / 1000000; 0 for 0 ticks or a division of 0.
double GneTicksToSeconds(int ticks, int division, int tempo);
// seconds * 1000000 * division / tempo, truncated; 0 for 0 seconds or tempo 0.
int GneSecondsToTicks(double seconds, int division, int tempo);
// 60.0 / bpm * beats, truncated; 0 for bpm 0.
int GneBeatsToSeconds(double beats, int bpm);
// 4.0 / denominator * numerator. A denominator below 2 shows GENE 0x0100000E;
// the result then counts the denominator as 1.
double GneQuartersPerBar(int metre);
// The 4-byte data of a MIDI time-signature event: numerator, power of two of
// the denominator (rounded down; a denominator below 2 counts as 2^0), 0x12,
// 0x08. length receives 4.
void GneMakeTimeSignature(int metre, uint8_t* record, int* length);

// ---- Note names ----
// out buffers: the name's length + 1 (names are copied whole).

// "C#", "D#", "F#", "G#", "A#" at the start become "Db", "Eb", "Gb", "Ab",
// "Bb"; the rest of the name follows unchanged.
void GneSharpToFlat(const char* name, char* out);
std::string GneSharpToFlat(const std::string& name);
// The inverse: "Db", "Eb", "Gb", "Ab", "Bb" become sharps; "Cb", "Fb" stay.
void GneFlatToSharp(const char* name, char* out);
std::string GneFlatToSharp(const std::string& name);
// The pitch class 0..11 of a note name without suffix, trying the flat
// spelling first when flat_first is set, else the sharp one; -1 when none.
void GnePitchClassFromName(int* out, const char* name, int flat_first);
// NoteNameTable[pitch mod 12] (out: 3 bytes).
void GneNoteName(int pitch, char* out);
std::string GneNoteName(int pitch);
// Katakana solfege name of pitch mod 12 (out: 8 bytes).
void GneSolfegeName(int pitch, char* out);
std::string GneSolfegeName(int pitch);
// "C4" gives 72 in mode 0 and 60 in mode 1. The octave is kept to -2 .. 9.
int GnePitchFromNoteName(int octave_mode, const char* name);

// ---- Keys and degrees (rows of KeySignatureTable) ----

// The name of the first key with that mode (0 major, 1 minor) and signed
// count of sharps/flats; empty when none (out: 4 bytes).
void GneKeySignatureName(char* out, int mode, int count);
// The first row whose tonic is pc; 30 when none.
int GneKeyIndexOfTonic(int pitch_class);
// Marks the key's sharps (+1) or flats (-1) on letters C D E F G A B.
void GneMarkKeyAccidentals(int row, int letters[7]);
// 1 when pitch is a tone of the key's major scale (minor keys use the
// relative major), else 0.
int GneIsDiatonic(int row, int pitch);
// 1 when pitch is in the major (minor 0) or combined minor (minor 1) scale.
int GneIsScaleTone(int tonic, int minor, int pitch);
// Degree name of a chord in a key ("Dm7" in C gives "IIm7"); out is left
// untouched when the chord begins with no note name (out: chord length + 3).
void GneDegreeChordName(char* out, const char* chord, int row);

// ---- Intervals and motion ----

// The shortest distance between two pitch classes, 0..6.
int GnePitchClassDistance(int a, int b);
// "完全５度", "1オクターブと長２度" ... (out: 64 bytes).
void GneFormatIntervalName(int semitones, char* out);
std::string GneFormatIntervalName(int semitones);
// "同音進行", "順次進行" or "跳躍進行" (out: 16 bytes).
void GneFormatMotionName(int step, char* out);
std::string GneFormatMotionName(int step);

// ---- Position and time texts ----

// "%04d:%02d:%03d" of bar + 1, beat + 1, tick (out: 32 bytes).
void GneFormatBarBeatTick(char* out, int bar, int beat, int tick);
// Reads the fields at characters 0-3, 5-6 and 8-10 as written (no 1 taken
// off); missing characters count as absent digits.
void GneParseBarBeatTick(const char* text, int* bar, int* beat, int* tick);
// "mm:ss:ms" with each field "%02d" (out: 48 bytes).
void GneFormatMinSecMs(char* out, double seconds);
