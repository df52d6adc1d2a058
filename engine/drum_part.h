// The drum part (channel 9): the part builder song rendering calls, the kit program, the
// dispatcher from the style's drum pattern code to its style (engine/drum_patterns.h), and what
// every style shares: the step writers, which play a step array over a block, and the drum grid.
//
// Steps: a step array holds 32 hit types (a triplet rhythm uses the first 24); step i of a block
// plays entry i modulo 32 (modulo 24 with a triplet rhythm), restarting at every block, so a
// pattern follows the chord changes rather than the bar lines. A step is 48, 24, 32 or 16 ticks
// long, as each style says.
#pragma once

#include <cstdint>

#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "music/ticks.h"
#include "util/program_errors.h"

constexpr int kDrumStepSlots = 32;
constexpr int kTripletDrumStepSlots = 24;
constexpr ProgramErrorCode kBadDrumPattern = 0xFF010001u;
constexpr ProgramErrorCode kBadDrumHit = 0xFF010002u;

// Appends the drum track; nothing when the style's drum kit is off (256).
void BuildDrumTrack(PartTrackList& tracks);
// The program the drum header sends: 0 (the standard kit), 40 or 49.
int DrumKitProgram();
// Runs the style of the current drum pattern code over the timeline's blocks. A code outside
// 1..40 shows 0xFF010001 and writes nothing; a code whose style is not there yet writes nothing
// either and is named in the rendering's silent-part message.
void GenerateDrumTrack(int channel, const EventList& timeline, MidiTrack& track, int density);

// One hit of a step (written by the hit table): its notes start together at the pending delta,
// each `length` long, and the pending delta becomes length + gap. False for a type outside
// 1..53 (the caller reports it).
bool WriteDrumHit(int& pending, int length, int gap, int channel, MidiTrack& track, int type,
                  int value);

// One block of steps of step_ticks: its whole steps, the last one holding the remainder, each
// with the grid's velocity value (drawn per step). A block shorter than one step plays nothing.
void WriteDrumSteps(int& pending, int block_length, int channel, MidiTrack& track,
                    const int32_t* steps, int step_ticks);
// As WriteDrumSteps for a block that starts at block_start (ticks from the first block): one
// that begins on the second eighth of a beat opens with step 0's hit for that eighth, then
// plays the rest of the block from a rest.
void WriteDrumStepsSynced(int& pending, int block_length, int channel, MidiTrack& track,
                          const int32_t* steps, int step_ticks, int block_start);
// One block of whole steps with the given velocities (entry i modulo 24 with a triplet rhythm
// or in 3/4, else modulo 32); the remainder is not played.
void WriteDrumStepsWithVelocity(int& pending, int block_length, int channel, MidiTrack& track,
                                const int32_t* steps, int step_ticks, const int32_t* velocities);
// Every block of the timeline with the same steps: 32-tick steps; 24-tick and 48-tick steps
// synced to the block starts.
void WriteTripletDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                           const int32_t* steps);
void WriteSixteenthDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                             const int32_t* steps);
void WriteEighthDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                          const int32_t* steps);

// A drum grid: 16 rows, one per 24-tick step, each of 8 slots; a slot sounds its note unless
// the note is -1.
constexpr int kDrumGridRows = 16;
constexpr int kDrumGridSlots = 8;
constexpr int kDrumGridStep = ticks::kSixteenth;
struct DrumGridSlot {
  int32_t note = -1;
  int32_t velocity = 0;
};
struct DrumGrid {
  DrumGridSlot rows[kDrumGridRows][kDrumGridSlots];
};
// One block of the grid: row j (modulo 16) at 24 j ticks into the block, each sounding slot a
// 2-tick note; a block that is not a whole number of rows ends with a shorter row. Returns the
// pending delta of the next block, which then starts at this block's end.
int WriteDrumGrid(int block_length, int pending, const DrumGrid& grid, MidiTrack& track,
                  int channel);
// destination = source plus the layer's notes, each in the first free slot of its row (dropped
// when the row is full).
void MergeDrumGrid(DrumGrid& destination, const DrumGrid& source, const DrumGrid& layer);
