// The ambient part on channel 8: waves, birds or applause, chosen by the
// style's channel-8 program and following the chord blocks.
#pragma once

#include "engine/part_tracks.h"
#include "util/program_errors.h"

constexpr ProgramErrorCode kBadAmbientProgram = 0xFF0101D2u;
constexpr int kAmbientSeashore = 122;
constexpr int kAmbientBirds = 123;
constexpr int kAmbientApplause = 126;

// Nothing when the channel-8 instrument is off (256).
void GenerateAmbientPart(PartTrackList& tracks);
void WriteAmbientPattern(MidiTrack& track);
void WriteSeashorePattern(int channel, MidiTrack& track);
void WriteBirdPattern(int channel, MidiTrack& track);
void WriteApplausePattern(int channel, MidiTrack& track);
