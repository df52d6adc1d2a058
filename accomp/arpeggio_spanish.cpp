#include "accomp/arpeggio_spanish.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "music/ticks.h"

using namespace accomp;

void GenerateSlowArpeggio(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  const int step = triplet ? 32 : 48;
  const int length = triplet ? 30 : 47;
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const Tone eighths[8] = {HasBassPart() ? t.seventh : t.root, t.fifth, t.third, t.fifth,
                             t.seventh, t.third, t.fifth, t.seventh};
    const Tone triplets[6] = {t.root, t.third, t.fifth, t.seventh, t.fifth, t.third};
    for (int j = 0; j < block.length / step; ++j) {
      e.Note(triplet ? triplets[j % 6] : eighths[j % 8], 64, length);
      e.Wait(step);
    }
  });
}

namespace {

// Pitches above 80 are played an octave lower.
Tone Spanish(Tone tone) { return tone.pitch() > 80 ? tone - 12 : tone; }

}  // namespace

void GenerateSpanishPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const bool triplet = TripletGrid();
  WalkBlocks(e, [&](const ChordBlock& block, int, int) {
    const BlockTones t = BlockTones::Of(block);
    const Tone root = Spanish(t.root);
    const Tone third = Spanish(t.third);
    const Tone fifth = Spanish(t.fifth);
    if (triplet) {
      for (int q = 0; q < block.length / ticks::kQuarter; ++q) {
        e.Chord({fifth, root}, 84, 60);
        e.Wait(64);
        e.Chord({third, root}, 84, 28);
        e.Wait(32);
      }
      return;
    }
    for (int u = 0; u < block.length / ticks::kSixteenth; ++u) {
      e.Strum({fifth, third, root}, 84, 8, 3, 0);
      e.Wait(6);
      e.Strum({Spanish(t.fifth - 12), root, third}, 84, 8, 3, 0);
      e.Wait(6);
    }
  });
}
