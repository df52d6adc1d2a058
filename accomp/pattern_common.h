// Small readings of the current style and of chance that the accompaniment
// generators share.
#pragma once

#include "accomp/note_emitter.h"
#include "accomp/pattern_walk.h"
#include "engine/block_walker.h"
#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace accomp {

constexpr int kNoPart = 256;  // instrument value of a part that is switched off
constexpr ProgramErrorCode kMetreError = 0xFF010133u;  // a block is no whole number of steps

// The song has a bass part (its instrument is not 256).
inline bool HasBassPart() { return CurrentStyle().instrument[2] != kNoPart; }
// The style's basic beat is 3: the triplet grid.
inline bool TripletGrid() { return CurrentStyle().basic_beat == 3; }
// 3/4 felt as 6/8.
inline bool SixEightFeel() {
  return CurrentStyle().metre == 1 && CurrentStyle().triple_metre_kind == 2;
}
// One chance in n.
inline bool Chance(int n) { return GneRandomRange(1, n) == 1; }
// Semitones from a to b, 0..11 (both pitches as stored).
inline int IntervalClass(int a, int b) { return ((b - a) % 12 + 12) % 12; }

}  // namespace accomp
