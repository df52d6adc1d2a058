// The note emitter: missing tones, time kept as block ticks and deltas, bend
// ticks taken off the next delta, velocities held to 127.
#include <gtest/gtest.h>

#include "accomp/note_emitter.h"
#include "engine/chord_block.h"
#include "tests/engine/parts/parts_fixture.h"

using parts_test::Bends;
using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class NoteEmitterTest : public EngineTest {};

ChordBlock BlockOf(int root, int third, int fifth, int seventh, int bass, int length = 384) {
  ChordBlock b;
  b.root = static_cast<uint8_t>(root);
  b.third = static_cast<uint8_t>(third);
  b.fifth = static_cast<uint8_t>(fifth);
  b.seventh = static_cast<uint8_t>(seventh);
  b.bass = static_cast<uint8_t>(bass);
  b.length = length;
  return b;
}

// Whatever a pattern adds to a missing tone, it rests; the time it stood for
// still passes, so the next note lands where it belongs.
TEST_F(NoteEmitterTest, MissingTonesRestThroughEveryOffset) {
  const BlockTones t = BlockTones::Of(BlockOf(62, 65, 69, 0, 38));
  struct Case { const char* name; Tone tone; bool sounds; };
  const Case cases[] = {
      {"seventh", t.seventh, false},
      {"seventh + 24", t.seventh + 24, false},
      {"seventh + 15", t.seventh + 15, false},
      {"seventh - 1 + 40", t.seventh - 1 + 40, false},
      {"third + 15", t.third + 15, true},
      {"root + 24", t.root + 24, true},
      {"plain pitch 12", Tone(12), false},
      {"plain pitch 128", Tone(128), false},
  };
  for (const Case& c : cases) {
    PartTrack track;
    NoteEmitter e(track, 3);
    e.Note(c.tone, 64, 40);
    e.Wait(48);
    e.Note(t.fifth, 64, 40);
    const auto notes = Notes(track);
    ASSERT_EQ(notes.size(), 2u) << c.name;
    EXPECT_EQ(std::get<2>(notes[0]) != 0, c.sounds) << c.name;
    EXPECT_EQ(c.tone.sounds(), c.sounds) << c.name;
    EXPECT_EQ(notes[1], (NoteRow{48, 3, 69, 64, 40})) << c.name;
  }
}

// A no-chord block lacks every tone; a fold lifts its zeros into range, yet
// they stay missing, and present tones fold as the working copy does.
TEST_F(NoteEmitterTest, FoldedTonesKeepWhatIsMissing) {
  const BlockTones none = BlockTones::Folded(BlockOf(0, 0, 0, 0, 0), 36, 80);
  for (const Tone& x : {none.root, none.third, none.fifth, none.seventh, none.bass}) {
    EXPECT_TRUE(x.missing());
    EXPECT_EQ(x.pitch(), 36);
    EXPECT_FALSE((x + 24).sounds());
  }
  const BlockTones f = BlockTones::Folded(BlockOf(62, 77, 81, 0, 26), 36, 80);
  EXPECT_EQ(f.root, Tone(62));
  EXPECT_EQ(f.third, Tone(77));
  EXPECT_EQ(f.fifth, Tone(69));
  EXPECT_EQ(f.bass, Tone(38));
  EXPECT_EQ(f.seventh, Tone::Missing(36));
  // Folding into the octave above the root: a missing tone becomes the C at
  // or above the root, and still does not sound.
  const BlockTones g = BlockTones::Folded(BlockOf(65, 69, 72, 0, 41), 65, 77);
  EXPECT_EQ(g.seventh, Tone::Missing(72));
}

TEST_F(NoteEmitterTest, BlockTicksAndStrums) {
  PartTrack track;
  NoteEmitter e(track, 7);
  e.BeginBlock(192);
  e.Strum({Tone(72), Tone(64), Tone(67)}, 70, 16, 4, 4);
  EXPECT_EQ(e.BlockTick(), 8);
  e.At(96);
  e.Chord({Tone(60), Tone::Missing(36), Tone(67)}, 200, 94);
  EXPECT_EQ(e.Remaining(), 96);
  e.Wait(96);
  e.BeginBlock(96);
  e.At(24);
  e.Note(62, 64, 20);
  EXPECT_EQ(e.Now(), 216);
  EXPECT_EQ(Notes(track), (std::vector<NoteRow>{{0, 7, 72, 70, 16},
                                               {4, 7, 64, 70, 12},
                                               {8, 7, 67, 70, 8},
                                               {96, 7, 60, 127, 94},
                                               {96, 7, 0, 0, 1},
                                               {96, 7, 67, 127, 94},
                                               {216, 7, 62, 64, 20}}));
}

// Bend and grace events after a note use ticks; the next note still lands on
// its tick, whether the channel bends or plays a grace note instead.
TEST_F(NoteEmitterTest, BendTicksComeOffTheNextDelta) {
  struct Case { int program; int bend; int bends; };
  const Case cases[] = {{24, 14, 2}, {0, 14, 0}, {24, 0, 0}};
  for (const Case& c : cases) {
    PartTrack track;
    MixerRecord mixer;
    WritePartHeader(track, 3, c.program, mixer, 0);
    const size_t header_notes = Notes(track).size();
    NoteEmitter e(track, 3);
    e.BeginBlock(384);
    e.BentFromBelow(Tone(64), 64, 92, c.bend);
    e.At(4);
    e.BentFromBelow(Tone::Missing(36), 64, 88, c.bend);
    e.At(96);
    e.Note(67, 64, 90);
    const auto notes = Notes(track);
    ASSERT_GE(notes.size(), header_notes + 3) << c.program;
    EXPECT_EQ(notes.back(), (NoteRow{96, 3, 67, 64, 90})) << c.program << " " << c.bend;
    EXPECT_EQ(Bends(track).size(), static_cast<size_t>(c.bends)) << c.program;
  }
}

}  // namespace
