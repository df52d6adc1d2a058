// The automatic drum patterns: one two-bar groove for verses (section A), one
// for choruses (B) and one for every other section, each in a sixteenth form
// (32 steps of 24 ticks) and a triplet form (24 steps of 32 ticks), each ending
// its second bar with a one-beat fill.
#pragma once

#include "engine/drum_steps.h"

constexpr int kAutoDrumPatternCount = 3;  // A, B, others

struct AutoDrumPattern {
  DrumSteps sixteenth;
  DrumSteps triplet;  // first 24 entries
};

const AutoDrumPattern& AutoDrumPatterns(int index);
