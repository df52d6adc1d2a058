#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "engine/progression.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"

namespace {

class ChordProgressionTest : public EngineTest {
 protected:
  // Appends a chord marker to section `section` (0-based).
  static void Marker(int section, const char* code, int length, const char* bass = "") {
    ChordBlock block;
    std::memcpy(block.chord_code, code, 4);
    block.length = length;
    if (bass[0] != '\0') std::memcpy(block.bass_text, bass, 2);
    ComposeInfo().section_chords[static_cast<size_t>(section)].AppendChordMarker(block);
  }
  static std::string CodeOf(int block) {
    return std::string(ComposeInfo().chord_block(block)->chord_code, 4);
  }
};

TEST_F(ChordProgressionTest, SectionsPlayInIdOrderWithClosingChord) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 2;
  Marker(0, "CMPo", 384);
  Marker(0, "GMPs", 384, "04");
  Marker(1, "AmPo", 768);
  for (int id : {1, 1, 2}) info.AddSectionId(id);
  CurrentStyle().chord_method = 0;
  const int beats = BuildChordProgression();
  ASSERT_EQ(info.chord_block_count(), 6);
  EXPECT_EQ(CodeOf(0), "CMPo");
  EXPECT_EQ(CodeOf(1), "GMPs");
  EXPECT_EQ(CodeOf(2), "CMPo");
  EXPECT_EQ(CodeOf(4), "AmPo");
  EXPECT_EQ(CodeOf(5), "CMPS");  // the template key, two bars
  EXPECT_EQ(info.chord_block(5)->length, 768);
  EXPECT_EQ(info.chord_block(1)->bass, 43 + 4);
  EXPECT_EQ(beats, (384 * 4 + 768 + 768) / 96);

  // With chord input there is no closing chord.
  CurrentStyle().chord_method = 8;
  EXPECT_EQ(BuildChordProgression(), (384 * 4 + 768) / 96);
  // A 3/4 song closes with 576 ticks.
  CurrentStyle().chord_method = 0;
  CurrentStyle().metre = 1;
  BuildChordProgression();
  EXPECT_EQ(info.chord_block(info.chord_block_count() - 1)->length, 576);
}

TEST_F(ChordProgressionTest, SixBarsGainTheClosingChord) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  for (int i = 0; i < 6; ++i) Marker(0, "FMPo", 384);
  info.AddSectionId(1);
  EXPECT_EQ(BuildChordProgression(), 32);
}

TEST_F(ChordProgressionTest, BadSectionIdsAreReportedAndSkipped) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  Marker(0, "FMPo", 384);
  for (int id : {0, -3, 1, 201}) info.AddSectionId(id);
  CurrentStyle().chord_method = 8;
  EXPECT_EQ(BuildChordProgression(), 4);
  EXPECT_EQ(ErrorCount(engine_error::kSectionId), 3);
}

TEST_F(ChordProgressionTest, FittingStopsWhenNothingCanChange) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  info.AddSectionId(1);  // an empty section: nothing to lengthen
  CurrentStyle().song_bars = 20;
  info.bar_count = BuildChordProgression() / BeatsPerBar();
  int counter = 0;
  int calls = 0;
  while (FitSongLength44(&counter) == 0) ++calls;
  EXPECT_EQ(calls + 1, 7);  // returns 1 on its seventh call
  // Target reached: only counts.
  CurrentStyle().song_bars = info.bar_count;
  counter = 0;
  EXPECT_EQ(FitSongLength44(&counter), 0);
  EXPECT_EQ(counter, 1);
  // Chord input or one chord per bar stop at once.
  CurrentStyle().chord_method = 8;
  EXPECT_EQ(FitSongLength44(&counter), 1);
  EXPECT_EQ(FitSongLength34(&counter), 1);
}

// The compose loop's use of the fitting: while the bar count is more than one
// bar off the target, one step, until the step says stop.
int FitLikeComposeLoop(int target) {
  ComposeInformation& info = ComposeInfo();
  CurrentStyle().song_bars = target;
  info.bar_count = BuildChordProgression() / BeatsPerBar();
  int counter = 0;
  int steps = 0;
  while (info.bar_count < target - 1 || info.bar_count > target + 1) {
    const int stop = CurrentStyle().metre == 0 ? FitSongLength44(&counter)
                                               : FitSongLength34(&counter);
    ++steps;
    EXPECT_LE(steps, 1001);
    if (stop == 1) break;
  }
  return info.bar_count;
}

TEST_F(ChordProgressionTest, ChordInputOfAnyLengthBuildsWholly) {
  // Chord input: one section per four entries, every bar kept, no closing
  // chord, up to the 682 entries the input holds.
  CurrentStyle().chord_method = 8;
  for (int bars : {1, 2, 3, 4, 5, 17, 64, 250, 682}) {
    ComposeInformation& info = ComposeInfo();
    info.Reset();
    info.section_count = 0;
    for (int i = 0; i < bars; ++i) {
      if (i % 4 == 0) {
        ++info.section_count;
        info.AddSectionId(info.section_count);
      }
      Marker(info.section_count - 1, i % 2 ? "GMPs" : "CMPo", 384);
    }
    EXPECT_EQ(BuildChordProgression() / BeatsPerBar(), bars);
    EXPECT_EQ(info.chord_block_count(), bars);
  }
}

TEST_F(ChordProgressionTest, FittingAlwaysEnds) {
  // 3/4 fitting only turns two-bar chords into one bar and short chords into
  // two bars; whatever the plan and target, it ends and never moves away.
  for (int metre : {0, 1}) {
    for (int target : {1, 2, 5, 40, 200, 1000}) {
      GneSeedRandomWith(static_cast<uint32_t>(target + metre));
      ComposeInformation& info = ComposeInfo();
      info.Reset();
      CurrentStyle().metre = metre;
      info.section_count = 3;
      for (int s = 0; s < 3; ++s) {
        Marker(s, "FMPo", 576);
        Marker(s, "GMPo", 96);
        Marker(s, "CMPo", 288);
        info.AddSectionId(s + 1);
      }
      const int start = BuildChordProgression() / BeatsPerBar();
      const int bars = FitLikeComposeLoop(target);
      EXPECT_LE(std::abs(bars - target), std::abs(start - target) + 1) << metre << " " << target;
    }
  }
}

TEST_F(ChordProgressionTest, OneChordChanges) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  Marker(0, "CMPo", 96);
  Marker(0, "GMPo", 384);
  bool lengthened = false;
  for (int i = 0; i < 50 && !lengthened; ++i) {
    LengthenOneChord44(0);
    lengthened = info.section_chords[0][0].length != 96;
  }
  EXPECT_TRUE(lengthened);
  EXPECT_TRUE(info.section_chords[0][0].length == 384 || info.section_chords[0][0].length == 768);
  for (int i = 0; i < 200; ++i) ShortenOneChord44(5);
  EXPECT_EQ(info.section_chords[0][0].length, 96);
  EXPECT_EQ(info.section_chords[0][1].length, 96);
  for (int i = 0; i < 200; ++i) LengthenOneChord34();
  EXPECT_EQ(info.section_chords[0][0].length, 576);
  for (int i = 0; i < 200; ++i) ShortenOneChord34();
  EXPECT_EQ(info.section_chords[0][1].length, 288);
}

}  // namespace
