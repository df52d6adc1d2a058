// Grid and duration arithmetic behind the track's quantizing, division change,
// shuffle and triplet passes (the passes are members of MidiTrack,
// music/midi_track.h). Every grid and window size is in ticks.
#pragma once

#include <cstdint>

// Error codes of the passes (track module, tag "MDTK").
constexpr uint32_t kTimingBadValue = 0x0D000024;
constexpr uint32_t kTimingEditFailed = 0x0D00002C;
constexpr uint32_t kTimingEditRule = 0x0D00002D;

// One rounding step of the start quantizer: `delta` (the carried position, not
// negative) is rounded to the grid. The tie-break depends on the half-beat the
// event stands in: in an even half-beat a remainder below `half` rounds down, in an
// odd one a remainder up to `half` does. Returns the rounded delta and sets *carry
// to what is left over (positive after rounding down, negative after rounding up,
// 0 on a grid line).
int32_t QuantizeRoundDelta(int32_t delta, int32_t grid, int32_t half, int64_t walking_tick,
                           int32_t division, int32_t* carry);

// Rounds a duration to the grid: down when the remainder is below grid / 2, else up.
int32_t RoundDurationToGrid(int32_t duration, int32_t grid);

// Rescales one delta from the old to the new division with the carried remainder,
// so that absolute ticks do not drift; updates *carry.
int32_t RescaleDelta(int32_t delta, int32_t old_division, int32_t new_division,
                     int32_t* carry);
