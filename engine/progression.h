// The chord progression: section chord lists to chord blocks, fitting a
// progression to the song length, and the choice of a following chord from
// the pattern database.
#pragma once

#include <array>

#include "engine/compose_info.h"

constexpr int kSuccessorCapacity = 30;
constexpr int kSuccessorDrawLimit = 4000;

// Rebuilds every chord block from the section ids and section chord lists
// (plus the closing chord); returns the beats (total length / 96).
int BuildChordProgression();
// One block per chord marker of section `section` (0-based).
void AddChordsOfSection(int section);
// The two-bar closing chord of the template key (none with chord input); the
// chord before it takes what its bar lacks, so that the closing chord starts on a bar
// line.
void AddFinalChord();
// Replaces the four characters at `code` by a successor from the pattern
// text, or by the chord-template key when none is found.
void PickNextChord(char* code, const char* pattern_text);
// The same over the loaded pattern file.
void PickNextChord(char* code);
// A successor candidate of PickNextChord (code and weight 1..).
struct SuccessorCandidate {
  char code[4];
  int weight;
};
// The candidates of `code` in the pattern text (at most 30; more shows
// 0xFF010035 once per call and the rest are ignored). Returns their number.
int CollectSuccessors(const char* code, const char* pattern_text,
                      std::array<SuccessorCandidate, kSuccessorCapacity>* out);
// The lowest drawn threshold of a progression code (1, 3, 4 or 5); -1 for a
// code without one.
int ProgressionMinimumThreshold(int progression_code);

int BeatsPerBar();
// One fitting step each; 1 = stop fitting, 0 = go on.
int FitSongLength44(int* counter);
int FitSongLength34(int* counter);
void LengthenOneChord44(int counter);
void ShortenOneChord44(int counter);
// 3/4: a chord shorter than two bars grows to two; one longer drops to one.
void LengthenOneChord34();
void ShortenOneChord34();
