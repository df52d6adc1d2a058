// Chord names and the composition engine's four-character chord codes.
//
// A chord code is a root letter (C d D e E F g G a A b B; lower case is the
// flat of the next natural note, N = no chord) and three quality letters
// (ChordSuffixTable's engine codes, e.g. "MPo" major, "mPs" minor seventh).
// These are the conversions the engine's facade offers as
// CKVAlgo::ChordNameToCode and CKVAlgo::DecodeChordCode; they live here so
// that the song document and its imports can use them too.
#pragma once

// Root letters: one semitone lower / higher (C->B, d->C ... / C->d, d->D ...);
// any other character is returned unchanged.
char RootLetterDown(char letter);
char RootLetterUp(char letter);
// Pitch class of a root letter: A 9, B 11, D 2, E 4, F 5, G 7, a 8, b 10,
// d 1, e 3, g 6; C and every other character 0.
int RootPitchClass(char letter);

// Rewrites a chord name in place into its chord code: "----" becomes "CMPS"
// (with a terminator), "Skip" is left alone; otherwise the root letter with an
// optional "#" or "b" and a suffix of ChordSuffixTable (none = major; a suffix
// outside the table gives "MP9" when it begins with "9", else "MPo"). A sharp
// or flat after a letter outside A..G shows the "CKVAlgo::ErrorMsg" box and
// keeps that letter. The code overwrites the first four characters; nothing
// else of the name changes, so `name` must hold at least four bytes (an empty
// name is left alone).
void ChordNameToCode(char* name);

// The root pitch class of a code's root letter (C and unknown letters 0) and
// the ChordSuffixTable row of its quality letters (first match). The row is
// left unchanged when no row matches.
void DecodeChordCode(const char* code, int* root_pitch_class, int* quality_row);
