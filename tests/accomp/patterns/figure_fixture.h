// What the tests of the held-chord, riff, dance and line patterns share: C
// major seventh blocks at fixed octaves, and the written part read back by
// mido and midicsv.
#pragma once

#include <vector>

#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {

class FigureTest : public PatternTest {
 protected:
  // Blocks of the lengths, each C major seventh (60 64 67 70, bass 48), or a
  // C major triad (seventh 0) without the seventh.
  static void CBlocks(const std::vector<int>& lengths, int seventh = 70);
};

// The track, closed (unless it is already) and written as a song file, loads in mido and midicsv
// with one note-on per sounding note of `channel`.
void ExpectLoadsInMidoAndMidicsv(MidiTrack& track, int channel);

}  // namespace pattern_test
