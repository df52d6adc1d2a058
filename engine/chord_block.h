// Chord codes, chord entries and chord blocks.
//
// A chord code is four characters without terminator: root letter
// (C d D e E F g G a A b B; lower case = the flat of the next natural note,
// N = no chord), third (4 M m o), fifth (A P d C) and seventh (6 9 S s o d).
// "CMPo" is C major, "AmPs" A minor seventh, "CMPS" C major seventh.
//
// A chord block expands one chord entry (style/style_record.h: ChordEntry, a
// big-endian length and a code) into the pitches the part builders use.
#pragma once

#include <cstdint>

#include "song/chord_codes.h"
#include "style/style_record.h"

// Root pitch (middle-C octave) of a root letter: C 60 ... B 71, N 0; -1 for a
// letter outside the table.
int RootPitchOfLetter(char letter);

// RootLetterDown, RootLetterUp and RootPitchClass: song/chord_codes.h.
// (pitch class of a - pitch class of b + 12) mod 12.
int RootInterval(char a, char b);
// The stepped interval of the database builder (see chord_block.cpp).
int StepRootInterval(char a, char b, int* counter);
// True when the four characters of both codes are equal.
bool SameChordCode(const char* a, const char* b);

// Above high: down by octaves until at most high; then below low: up by
// octaves until at least low (stays within 0..255).
void FoldIntoRange(uint8_t* pitch, int low, int high);
void FoldFiveVoicesIntoRange(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d, uint8_t* e, int low,
                             int high);

// The fixed-bass pitch every block takes as its bass when the style's
// fixed-bass setting is 10 (0 at start; the compose entry sets 43).
int32_t& FixedBassPitch();

constexpr int kFixedBassSetting = 10;
constexpr int kCustomGridAccompaniment = 47;

struct ChordBlock {
  uint8_t entry[kChordEntrySize] = {};  // the stored entry the block was built from
  uint8_t root = 0;                     // 60..71, 0 = no chord
  int32_t length = 0;                   // ticks
  uint8_t bass = 0;
  uint8_t third = 0;    // 0 = none
  uint8_t fifth = 0;    // 0 = none
  uint8_t seventh = 0;  // seventh, sixth, ninth or octave; 0 = none
  char chord_code[16] = {};  // first four characters used
  char bass_text[16] = {};   // two-digit bass offset text; first character 0 = none

  ChordBlock() = default;
  // Builds the block from a stored 6-byte entry and an optional two-digit bass
  // offset text (nullptr or "" = none). Draws the octaves of third and seventh.
  ChordBlock(const uint8_t* entry_bytes, const char* bass_offset_text);
  ChordBlock(const ChordEntry& entry, const char* bass_offset_text);

  void CopyFrom(const ChordBlock& other) { *this = other; }

  bool IsChordTone(int pitch) const;
  bool IsTriadTone(int pitch) const;
  bool IsSeventh(int pitch) const;
  bool IsDominantSeventh() const;
  // Weight digit 0..9 of the pitch's class in the block's tone weights.
  int ToneWeight(int pitch) const;
  // First pitch at or above `pitch` whose weight in `weights` is at least 8;
  // 0 when it reaches 128.
  static int NextStrongTone(const char* weights, int pitch);
  // The pitch when its weight is 9, else the first of the next 12 pitches up
  // whose weight is 9, else pitch + 12.
  static int SnapUpToChordTone(const char* weights, int pitch);
  // Moves *pitch by step until its class is the root's, third's or fifth's
  // (seventh's too for StepToChordTone); 0 when it leaves 0..127 or the block
  // has no chord.
  void StepToTriadTone(int* pitch, int step) const;
  void StepToChordTone(int* pitch, int step) const;
  // The nearer of the triad tones above and below; a tie goes up when
  // prefer_up > 0.
  void NearestTriadTone(int* pitch, int prefer_up) const;
  // pitch + the signed distance -5..+6 to the nearest of root, bass, third,
  // fifth, seventh (first found wins a tie).
  int NearestChordTone(int pitch) const;
  // One semitone down / up, chord code included. Tones stored as 0 stay 0.
  void TransposeDown();
  void TransposeUp();

  // The building steps (public for tests).
  void SetRoot();
  void SetThird();
  void SetFifth();
  void SetSeventh();
  void FitTonesToScale();

 private:
  void Build(const char* bass_offset_text);
};

// Applies TransposeDown / TransposeUp to chord blocks first .. count-1 of the
// compose information.
void TransposeChordBlocksDown(int first);
void TransposeChordBlocksUp(int first);
