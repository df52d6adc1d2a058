// Services shared by the part builders and accompaniment generators:
// instrument groups, the custom-grid voice pitches, random riff tones, the
// leading rest of the melody and the modulation points.
//
// The random riff rhythm, the density/rest-level conversion and the
// instrument names live in style/engine_services.h.
#pragma once

#include <cstdint>

#include "engine/compose_info.h"

constexpr int kFirstGroupValue = 136;
constexpr int kLastGroupValue = 144;
constexpr int kInstrumentGroupCount = 9;

struct InstrumentGroup {
  const char* name;  // CP932
  int count;
  int programs[24];
};
// The group of an instrument value 136..144, or nullptr.
const InstrumentGroup* FindInstrumentGroup(int value);

// The program of an instrument value: values below 136 give the style's
// instrument of the channel, 136..144 a program drawn from the group, and a
// value of 145 or more (no group) program 0.
int ResolveInstrumentProgram(int value, int channel);

constexpr int kCustomVoiceCount = 14;
// The 14 voice pitches of the harmony custom grid for a chord block.
void MakeCustomVoicePitches(int* pitches, const ChordBlock& block, const char* weights);
// The 14 voice pitches of the bass custom grid (degree 0 two octaves above the
// bass); a voice whose degree is negative or beyond MIDI's range is silent (0).
void MakeCustomBassPitches(int* pitches, const ChordBlock& block, const char* weights);
// The same with the sub-harmony grid, without the range check; returns the
// weight of the last voice when it is 5 or more, else its lowered pitch.
int MakeSubGridVoicePitches(int* pitches, const ChordBlock& block, const char* weights);

constexpr int kRiffDegreeCount = 64;
void MakeRandomRiffNotes(int* degrees);
void SoftenRiffTone(int* degree);

int MelodyLeadingRest();
int LeadingRestOf(const EventList& list);
int EighthsPerBar(int metre);

// Modulation points (nothing ever sets a section position, so no point is
// taken).
struct ModulationPoints {
  int32_t section_position[2] = {-1, -1};
  int32_t chord_block_index[2] = {-1, -1};
  int32_t key_shift[2] = {0, 0};
  int32_t melody_event_index[2] = {0, 0};
};
ModulationPoints& Modulation();
void ResetModulationPoints();
void NoteModulationPoint(int section_position);
void PickModulationShift(int32_t* shift);

// Pattern-code helpers the pattern tables name.
int PatternStepValue(int code);
bool IsCode10Or12(int code);
bool IsCode0To2(int code);
bool IsCode21Or22(int code);
bool IsCodeInMainSet(int code);

// Unless the style table's preset flag is set: drums 20 softer (when above
// 20), harmony and sub-harmony program 30 becomes 29, melody and harmony 10
// louder (when below 118).
void LoudenLeadParts(int preset_flag);

// Zeroes the first of the style presets' two part flag tables.
void ClearFirstPartFlagTable();

// Opens the help page "pellmorj.html" of the program folder in the desktop's browser. A missing
// page or a desktop without an opener is reported; returns whether the page was handed over.
bool OpenHelpPage();
