// Step arrays of the drum styles and the builders that draw them: each entry is
// a drum hit type (engine/drum_hits.h), one per grid step of a block.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

constexpr int kDrumStepCount = 32;
constexpr int kTripletDrumStepCount = 24;  // steps a triplet-rhythm array uses

using DrumSteps = std::array<int32_t, kDrumStepCount>;

// An array from groups: each group is repeated `times`; entries past the
// groups are rests.
struct DrumStepGroup {
  std::initializer_list<int32_t> steps;
  int times = 1;
};
DrumSteps MakeDrumSteps(std::initializer_list<DrumStepGroup> groups);
DrumSteps FilledDrumSteps(int32_t type);

// A chance of num in den, drawn from the one generator.
bool DrumChance(int num, int den);
// Either value at even odds.
int32_t EitherDrum(int32_t a, int32_t b);

// A chance tree read from left to right: each branch takes its chance of what
// the branches before it left; the last two values share the rest evenly.
struct DrumBranch {
  int num;
  int den;
  int32_t type;
};
int32_t PickDrumType(std::initializer_list<DrumBranch> branches, int32_t last_a, int32_t last_b);

// Swing: a fresh array per block (32 sixteenth steps, 24 triplet steps).
DrumSteps MakeSwingSteps();
DrumSteps MakeSwingTripletSteps();

// Random sixteen-beat: classes of steps by their place in the beat.
DrumSteps MakeRandom16BeatSteps(bool three_four);
DrumSteps MakeRandom16BeatTripletSteps();
// Livens up the last steps of each beat pair before a section change.
void AddSectionEndFill(DrumSteps& steps, int used_steps);

// With 1/3: hit m1 at a random place of the first bar and a short figure of
// m2 and m3 after it.
void InsertDrumMotif(DrumSteps& steps, int32_t m1, int32_t m2, int32_t m3);

// Indian tabla-like figure of the block at `block`, with forced rests while
// the song is young.
DrumSteps MakeIndianSteps(int block);

// The tom fill (a rest, then high toms into low toms).
constexpr int32_t kTomFill[8] = {6, 8, 8, 8, 8, 7, 7, 7};
// Steps first..first+7 become the tom fill.
void PutTomFill(DrumSteps& steps, int first);

// Japanese festival drums: the base pattern, and a mix of two patterns.
DrumSteps JapaneseBaseSteps();
DrumSteps MixDrumSteps(const DrumSteps& a, const DrumSteps& b);
