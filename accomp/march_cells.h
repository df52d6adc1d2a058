// The march pattern's rhythm: 16 sixteenth-note cells, each a rest (0) or a
// scale degree of the current chord (1 root .. 7 seventh, 8 octave), drawn at
// random with the caller's rest rate (a percentage).
#pragma once

#include <cstdint>

constexpr int kMarchCellCount = 16;

void MakeMarchRhythm(int32_t* cells, int rest_rate);
