// The step writers: a step array played over a block, one hit per step.
#include <cstdint>

#include "engine/block_walker.h"
#include "engine/drum_part.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kTripletRhythm = 3;
constexpr int kRestHit = 6;
using ticks::kEighth;
using ticks::kBeat;

void Hit(int& pending, int length, int channel, MidiTrack& track, int type, int value) {
  if (!WriteDrumHit(pending, length, 1, channel, track, type, value)) ShowErrorByCode(kBadDrumHit);
}

// The steps of one block; with rest_first, step 0 is a rest whatever the array holds.
void PlaySteps(int& pending, int block_length, int channel, MidiTrack& track,
               const int32_t* steps, int step_ticks, bool rest_first) {
  if (step_ticks <= 0) return;
  const int n = block_length / step_ticks;
  const int remainder = block_length % step_ticks;
  const bool triplet = CurrentStyle().basic_beat == kTripletRhythm;
  for (int i = 0; i < n; ++i) {
    int value;
    if (triplet) value = -GneRandomRange(1, 10);
    else if (i % 2 == 1) value = -GneRandomRange(10, 25);
    else value = 10 - GneRandomRange(1, 20);
    const int type = rest_first && i == 0
                         ? kRestHit
                         : steps[i % (triplet ? kTripletDrumStepSlots : kDrumStepSlots)];
    // The last step plays the block's remainder too.
    const int length = step_ticks - 1 + (i == n - 1 ? remainder : 0);
    Hit(pending, length, channel, track, type, value);
  }
}

template <typename Writer>
void EveryBlock(const EventList& timeline, MidiTrack& track, Writer write_block) {
  int pending = 0;
  WalkTimelineBlocks(timeline, track, pending, [&](const ComposeEvent& block, int, int start) {
    write_block(pending, block.length, start);
  });
}

}  // namespace

void WriteDrumSteps(int& pending, int block_length, int channel, MidiTrack& track,
                    const int32_t* steps, int step_ticks) {
  PlaySteps(pending, block_length, channel, track, steps, step_ticks, false);
}

void WriteDrumStepsSynced(int& pending, int block_length, int channel, MidiTrack& track,
                          const int32_t* steps, int step_ticks, int block_start) {
  if (block_start % kBeat != kEighth) {
    PlaySteps(pending, block_length, channel, track, steps, step_ticks, false);
    return;
  }
  Hit(pending, kEighth - 1, channel, track, steps[0], -GneRandomRange(10, 25));
  PlaySteps(pending, block_length - kEighth, channel, track, steps, step_ticks, true);
}

void WriteDrumStepsWithVelocity(int& pending, int block_length, int channel, MidiTrack& track,
                                const int32_t* steps, int step_ticks, const int32_t* velocities) {
  if (step_ticks <= 0) return;
  const StyleRecord& style = CurrentStyle();
  const int slots =
      style.basic_beat == kTripletRhythm || style.metre == 1 ? kTripletDrumStepSlots : kDrumStepSlots;
  const int n = block_length / step_ticks;
  for (int i = 0; i < n; ++i)
    Hit(pending, step_ticks - 1, channel, track, steps[i % slots], velocities[i % slots]);
}

void WriteTripletDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                           const int32_t* steps) {
  EveryBlock(timeline, track, [&](int& pending, int length, int) {
    WriteDrumSteps(pending, length, channel, track, steps, ticks::kTripletEighth);
  });
}

void WriteSixteenthDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                             const int32_t* steps) {
  EveryBlock(timeline, track, [&](int& pending, int length, int start) {
    WriteDrumStepsSynced(pending, length, channel, track, steps, ticks::kSixteenth, start);
  });
}

void WriteEighthDrumSteps(int channel, const EventList& timeline, MidiTrack& track,
                          const int32_t* steps) {
  EveryBlock(timeline, track, [&](int& pending, int length, int start) {
    WriteDrumStepsSynced(pending, length, channel, track, steps, kEighth, start);
  });
}
