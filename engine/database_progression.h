// The database progression builder: a whole chord progression for the current
// style, drawn from the pattern and timing databases.
//
// It plans the sections and how often each is played, gives every section a
// chart of chord lengths (the section's work block: up to 255 lengths in
// ticks, ended by 0), chooses chord after chord by the style's progression
// code and chord generation method, and closes the song with a cadence
// section. The result is the section chord lists and section ids of the
// compose information, ready for BuildChordProgression.
#pragma once

#include <cstdint>

#include "engine/compose_info.h"

constexpr int kPlainSectionCount = 5;
constexpr int kSectionRepeatCount = 2;
constexpr int kChoiceRetries = 21;
constexpr int kChartSlots = 255;          // lengths of one chart (the work block ends with 0)
constexpr int kMotionCandidateLimit = 10000;
constexpr int kMotionCadenceTries = 151;
constexpr int kCadenceAttempts = 4000;
constexpr int kCadenceRepeatAllowance = 2000;

// The whole builder: plan, sections 1 .. count - 1, then the cadence section
// from the last chord of the section before it.
void BuildDatabaseProgression();

// Section count (1 .. 200) and section ids.
void PlanSections();
// r = GneRandomRange(1, bound + 2); the fallback when r is bound + 1 or
// bound + 2, else r.
int PickSectionCount(int fallback, int bound);
// Clears the 200 section chord lists and work blocks, then builds sections
// 1 .. count - 1.
void BuildAllSections();
void BuildSectionChords(EventList* list, int32_t* work_block);
// The closing section from the last chord (in/out).
void BuildCadenceSection(EventList* list, char* last_chord, int32_t* work_block);
// The code of the list's last chord marker, or the chord-template key.
void LastChordOf(const EventList& list, char* code);

// A chart record drawn from a time-chart text into lengths (ended by 0).
void PickTimeChart(int32_t* lengths, const char* chart_text);
// A generated chart (ended by three zeros).
void MakeTimeChart(int32_t* lengths);
// `needed` codes (four characters each) of a cadence record drawn from the
// cadence text; every code the chord-template key when none fits.
void PickCadence(const char* last_chord, char* codes, int needed, const char* cadence_text);
// `needed` codes by motion from the last chord (in/out).
void MotionCadence(char* last_chord, char* codes, int needed);
void MotionCadenceStep(char* last_chord, char* result);

// Chord choosers: each replaces the four characters of `code`.
void RandomChord(char* code);
void SubdominantStep(char* code);
void FlamencoStep(char* code);
void MotionStep(char* code);
void PassingChord(char* code);
// The chooser of the current style for the next chord.
void ChooseNextChord(char* code);
// True when the root's weight in the style's scale template is above 1.
bool ScaleAllowsRoot(const char* code);

// 0 for pitch classes 1, 3 and 10; 1 for 6 and 8 in key mode 1, else 2;
// 2 for all others.
int ToneScore(int pitch);
// Sum of the tone scores of the seventh, fifth, third and root of the code's
// chord block.
int ChordScore(const char* code);

char FifthUp(char root);
char FourthUp(char root);

// The chord the builder carries from one choice to the next.
struct DatabaseProgressionState {
  char current[5] = {};
};
DatabaseProgressionState& DatabaseProgression();
void ResetDatabaseProgression();
