// The editor's "compose a melody over chosen bars" through the engine's API:
// a chord marker per bar, the style applied, the databases loaded, then the
// generator over the whole range.
#include <set>

#include "engine/pattern_db.h"
#include "style/engine_services.h"
#include "tests/engine/melody/melody_fixture.h"

namespace {

using melody_test::BuildBarChords;
using melody_test::ChordSpan;
using melody_test::SplitByChord;

const std::vector<std::string> kSongChords = {"C", "Am", "Dm7", "G7", "Em", "F", "Bm7-5", "E7",
                                              "FM7", "G", "C7", "Gsus4"};

class MelodyCommandTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    BuildStyleTable();
  }

  // Runs the command over `bars` bars of `beats` beats with the style of a
  // slot; checks that every bar has its marker and is filled.
  void ComposeAndCheck(int category, int slot, int beats, int bars, uint32_t seed) {
    SCOPED_TRACE(::testing::Message() << "style " << category << "/" << slot << ", " << beats
                                      << " beats, " << bars << " bars, seed " << seed);
    GneSeedRandomWith(seed);
    EventList chords;
    EventList notes;
    BuildBarChords(&chords, kSongChords, bars, beats * 96, static_cast<int>(seed % 3));
    ApplyStyle(StyleTableSlot(category, slot));
    if (seed % 2 == 0) {
      SelectMajorTimingDatabases();
    } else {
      SelectMinorTimingDatabases();
    }
    LoadPatternDatabases();
    ASSERT_EQ(GenerateMelodyPart(0, 1, chords, &notes, 1, 1), 1);

    const std::vector<ChordSpan> spans = SplitByChord(notes);
    ASSERT_EQ(static_cast<int>(spans.size()), bars);
    const bool swing = CurrentStyle().parts[1].note_length == kRhythmBouncing &&
                       CurrentStyle().metre == 0 && CurrentStyle().basic_beat != 3;
    int carry = 0;  // a swung block lends 48 ticks to the next
    for (int i = 0; i < bars; ++i) {
      const ChordSpan& s = spans[static_cast<size_t>(i)];
      ASSERT_EQ(s.code, std::string(chords[i].chord_code, 4));
      ASSERT_EQ(s.length, beats * 96);
      const int diff = s.NoteTotal() - s.length;
      if (swing) {
        ASSERT_TRUE(diff == -carry + 48 || diff == -carry) << "bar " << i << " diff " << diff;
        carry = diff + carry;
      } else {
        ASSERT_EQ(diff, 0) << "bar " << i;
      }
      for (const ComposeEvent& e : s.notes) {
        ASSERT_GT(e.length, 0);
        ASSERT_TRUE(e.pitch == 0 || (e.pitch >= 12 && e.pitch <= 127)) << e.pitch;
      }
    }
    ASSERT_EQ(carry, 0);
  }
};

TEST_F(MelodyCommandTest, EveryBuiltInStyleFillsEveryBar) {
  for (int category = 0; category < kStyleCategoryCount; ++category) {
    for (int slot = 0; slot < kStyleSlotCount; ++slot) {
      for (int beats : {4, 3}) {
        for (int bars : {1, 2, 5, 64}) {
          ComposeAndCheck(category, slot, beats, bars,
                          static_cast<uint32_t>(category * 1000 + slot * 10 + bars + beats));
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

TEST_F(MelodyCommandTest, LongestRangeOf341Bars) {
  // 341 bars is the most the editor selects; a chord per bar.
  for (int category = 0; category < kStyleCategoryCount; ++category) {
    for (int slot : {1, 5, 11}) {
      for (int beats : {4, 3}) {
        ComposeAndCheck(category, slot, beats, 341, static_cast<uint32_t>(category * 7 + slot));
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_F(MelodyCommandTest, EveryBarCountUpTo341) {
  for (int bars = 1; bars <= 341; bars += (bars < 40 ? 1 : 23)) {
    ComposeAndCheck(1, 1, bars % 2 == 0 ? 4 : 3, bars, static_cast<uint32_t>(bars));
    if (HasFatalFailure()) return;
  }
  ComposeAndCheck(1, 1, 4, 341, 341);
}

TEST_F(MelodyCommandTest, SameSeedSameMelodyAfterAReset) {
  auto run = [this](uint32_t seed) {
    ResetEngineState();
    ApplyStyle(StyleTableSlot(2, 3));
    LoadPatternDatabases();
    GneSeedRandomWith(seed);
    EventList chords;
    EventList notes;
    BuildBarChords(&chords, kSongChords, 16, 384);
    GenerateMelodyPart(0, 1, chords, &notes, 1, 1);
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < notes.count(); ++i) v.emplace_back(notes[i].length, notes[i].pitch);
    return v;
  };
  for (uint32_t seed : {1u, 77u, 4242u}) {
    const auto a = run(seed);
    // Something in between that moves the generator's own state.
    run(seed + 1);
    const auto b = run(seed);
    EXPECT_EQ(a, b) << "seed " << seed;
  }
}

}  // namespace
