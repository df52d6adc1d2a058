// Random style parameters and random custom grids: generators that give
// single settings of the current style random values within musical bounds.
// Every draw goes through GneRandomRange.  No command of the program calls
// them; they are kept for random styles.
#pragma once

#include <cstdint>

// Parts of RandomInstrument (the MIDI channel of the part).
constexpr int kRandomPartMelody = 1;
constexpr int kRandomPartBass = 2;
constexpr int kRandomPartHarmony = 3;
constexpr int kRandomPartObbligato = 4;
constexpr int kRandomPartSubHarmony = 7;

// The instrument choice table: 128 programs x 20 columns; non-zero entries
// mark programs suitable for a category's part (column 1 holds the melody
// volume bonus of category 0).
constexpr int kInstrumentChoiceColumns = 20;
int32_t InstrumentChoice(int program, int column);

// Draws a program for `part` of a style of `category` into the current style.
// An unknown part shows 0xFF010177, a category without choices 0xFF010178;
// then nothing changes.  A part that is off stays off.
void RandomInstrument(int part, int category);
void RandomHealingInstruments();
void RandomBassPattern();
void RandomMelodyRhythm();
void RandomMetre();
void RandomMelodyOrnament();
void RandomMelodyAlgorithm();
void RandomProgression();
void RandomDrumPattern();
void RandomKeyMode();
void RandomTempo(int category);
// Reverbs of channels 9, 3, 1, 2 and resonances of channels 3, 2, 1, 4, 5, 9.
// Every mixer byte stays within 0..127.
void RandomMixer();

// Random 16-step patterns in set 0 of one grid of the current style; each
// only adds marks and ends with FillContinuedSteps.
void RandomBassGrid();
void RandomDrumGrid();
void RandomHarmonyGrid();
void RandomSubHarmonyGrid();
