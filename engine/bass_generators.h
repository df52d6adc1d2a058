// The bass patterns: one generator per bass pattern code, each walking the
// chord blocks and writing the bass line into the part track.
//
//   1 general, 2 pedal, 3 root and fifth, 5 repeated, 11 pops, 12 tango,
//   13 relaxed, 14 rockabilly, 15 bossa nova, 16 latin, 21 two-tone pedal,
//   22 kecak, 23 waltz (bass_root.cpp);
//   4 classic, 6 blues, 7 melodic, 8 walking, 9 fusion, 10 hip-hop, 17 trance,
//   18 drum'n'bass (bass_walking.cpp);
//   19 long riff, 20 custom grid (bass_riff.cpp).
#pragma once

#include <cstdint>

#include "engine/compose_info.h"
#include "engine/part_tracks.h"

// Root, pedal and dance figures.
void GenerateGeneralBass(int channel, MidiTrack& track, int density);
void GeneratePedalBass(int channel, MidiTrack& track);
void GenerateRootFifthBass(int channel, MidiTrack& track, int density);
void GenerateRepeatedBass(int channel, MidiTrack& track);
void GeneratePopsBass(int channel, MidiTrack& track, int density);
void GeneratePopsBassTriplet(int channel, MidiTrack& track);
void GeneratePopsBassSparse(int channel, MidiTrack& track);
void GenerateTangoBass(int channel, MidiTrack& track);
void GenerateRelaxedBass(int channel, MidiTrack& track, int density, const EventList& melody);
void GenerateRelaxedBassArpeggio(int channel, MidiTrack& track, int density,
                                 const EventList& melody);
void GenerateRelaxedBassPlain(int channel, MidiTrack& track);
void GenerateRockabillyBass(int channel, MidiTrack& track);
void GenerateBossaNovaBass(int channel, MidiTrack& track);
void GenerateLatinBass(int channel, MidiTrack& track);
void GenerateTwoTonePedalBass(int channel, MidiTrack& track);
void GenerateKecakBass(int channel, MidiTrack& track);
void GenerateWaltzBass(int channel, MidiTrack& track);

// Walking, melodic and groove lines.
void GenerateClassicBass(int channel, MidiTrack& track);
void GenerateBluesBass(int channel, MidiTrack& track);
void GenerateMelodicBass(int channel, MidiTrack& track);
void GenerateWalkingBass(int channel, MidiTrack& track);
void GenerateFusionBass(int channel, MidiTrack& track);
void GenerateHipHopBass(int channel, MidiTrack& track);
void GenerateTranceBass(int channel, MidiTrack& track);
void GenerateDrumAndBassBass(int channel, MidiTrack& track);

// The riff and the custom grid.
constexpr int kBassRiffCells = 97;
void GenerateLongRiffBass(int channel, MidiTrack& track);
// Fills `figure` (at least kBassRiffCells entries) with segments (length in
// steps, degree a, degree b) ended by a length 0.
void MakeRandomBassRiff(int32_t* figure);
void GenerateCustomBass(int channel, MidiTrack& track);
