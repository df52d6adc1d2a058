// Voice thinning and the chord names it reads.
#include <gtest/gtest.h>

#include "music/chord_name.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

TEST(ChordName, Parses) {
  struct Case {
    const char* name;
    int root, third, fifth, seventh, bass;
  };
  for (const Case& c : {Case{"C", 60, 64, 67, 0, 48}, Case{"Am7", 69, 72, 76, 79, 57},
                        Case{"Csus4", 60, 65, 67, 0, 48}, Case{"Bbdim", 70, 73, 76, 0, 58},
                        Case{"F#M7", 66, 70, 73, 77, 54}, Case{"G(9)", 67, 71, 74, 81, 55},
                        Case{"D6", 62, 66, 69, 71, 50}, Case{"ConE", 60, 64, 67, 0, 48},
                        Case{"Cx", 60, 64, 67, 0, 48}, Case{"N/C", 0, 0, 0, 0, 0},
                        Case{"UnKnown", 0, 0, 0, 0, 0}, Case{"", 0, 0, 0, 0, 0},
                        // "s" skips four characters: the reading stays inside the text.
                        Case{"Cs", 60, 65, 67, 0, 48}, Case{"Cd", 60, 63, 66, 0, 48}}) {
    const ChordName chord(c.name);
    EXPECT_EQ(chord.root, c.root) << c.name;
    EXPECT_EQ(chord.third, c.third) << c.name;
    EXPECT_EQ(chord.fifth, c.fifth) << c.name;
    EXPECT_EQ(chord.seventh, c.seventh) << c.name;
    EXPECT_EQ(chord.bass, c.bass) << c.name;
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  ChordName bad("H");
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);  // unknown letter, then the root out of range
}

TEST(KeepTopNotes, ChordsAndShortening) {
  auto chord = Make(kTrackNotes, {Note(0, 0, 60, 90, 480), Note(0, 0, 64, 90, 480),
                                  Note(0, 0, 67, 90, 480), Note(480, 0, 72, 90, 240),
                                  Note(0, 1, 72, 90, 240), End(240)});
  chord->KeepTopNotes(255, 1);
  EXPECT_EQ(Notes(*chord), (std::vector<NoteRow>{{0, 0, 67, 90, 480},
                                                 {480, 0, 72, 90, 240},
                                                 {480, 1, 72, 90, 240}}));
  auto melody = Make(kTrackNotes, {Note(0, 0, 60, 90, 480), Note(240, 0, 62, 90, 480), End(480)});
  melody->KeepTopNotes(255, 0);
  EXPECT_EQ(Notes(*melody), (std::vector<NoteRow>{{0, 0, 60, 90, 240}, {240, 0, 62, 90, 480}}));
  // A chord far larger than any fixed list.
  std::vector<MidiEvent*> big;
  for (int i = 0; i < 100; ++i) big.push_back(Note(0, i % 16, 20 + i, 90, 10));
  big.push_back(End(10));
  auto wide = Make(kTrackNotes, big);
  wide->KeepTopNotes(255, 1);
  EXPECT_EQ(Notes(*wide), (std::vector<NoteRow>{{0, 99 % 16, 119, 90, 10}}));
}

TEST(LimitPolyphony, CutsTheLowestNoteOfTheHighestChannelEntirely) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 480), Note(0, 1, 64, 90, 480),
                              Note(0, 1, 67, 90, 480), Note(480, 0, 50, 90, 10), End(10)});
  t->ToEventMode();
  t->LimitPolyphony(2);
  t->ToNoteMode();
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 480},
                                             {0, 1, 67, 90, 480},
                                             {480, 0, 50, 90, 10}}));
  EXPECT_EQ(t->GetMaxPolyphony(1), 2);
}

TEST(LimitPolyphony, ALongerNoteEndsWhereTheLimitIsPassed) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 960), Note(240, 0, 64, 90, 240), End(720)});
  t->ToEventMode();
  t->LimitPolyphony(1);
  t->ToNoteMode();
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 240}, {240, 0, 64, 90, 240}}));
}

TEST(LimitPolyphony, UnknownMethodAndSecondPortStopSafely) {
  auto t = Make(kTrackEvents, {On(0, 20, 60, 90), On(0, 21, 62, 90), On(0, 0, 64, 90),
                               On(0, 0, 65, 90), Off(10, 0, 64), Off(0, 0, 65), Off(0, 20, 60),
                               Off(0, 21, 62), End(0)});
  t->LimitPolyphonyEx(1, nullptr, 0, 3, nullptr, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(t->event_count, 9);
  cantrel_test::Sink().Clear();
  t->LimitPolyphony(1);  // the second port's notes are left as they are
  EXPECT_EQ(t->CountChannel(20), 2);
  EXPECT_EQ(t->CountChannel(0), 2);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(LimitPolyphonyEx, ByChordGivesUpTheNotesInPriorityOrder) {
  // Under "C": give up the fifth first, then the root.
  int32_t priority[4][12];
  for (auto& row : priority) {
    const int order[12] = {7, 0, 4, 1, 2, 3, 5, 6, 8, 9, 10, 11};
    std::copy(std::begin(order), std::end(order), row);
  }
  auto t = Make(kTrackNotes, {Meta(0, 6, "C"), Note(0, 0, 60, 90, 480), Note(0, 0, 64, 90, 480),
                              Note(0, 0, 67, 90, 480), End(480)});
  t->ToEventMode();
  t->LimitPolyphonyEx(2, nullptr, 0, 2, priority, 0);
  t->ToNoteMode();
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 480}, {0, 0, 64, 90, 480}}));
}

TEST(Polyphony, Measures) {
  auto line = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(100, 0, 62, 90, 100),
                                 Note(100, 0, 64, 90, 100), End(100)});
  EXPECT_EQ(line->GetMaxPolyphony(1), 1);
  EXPECT_EQ(line->GetMaxPitchPolyphony(), 1);
  auto unison = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(0, 1, 60, 90, 100),
                                   Note(0, 1, 67, 90, 100), End(100)});
  EXPECT_EQ(unison->GetMaxPolyphony(1), 3);
  EXPECT_EQ(unison->GetMaxPitchPolyphony(), 2);
}

TEST(Duplicates, SameTickGroups) {
  auto t = Make(kTrackNotes, {Note(0, 0, 50, 90, 10), Note(0, 0, 50, 90, 10),  // first tick: left
                              Note(10, 0, 60, 90, 10), Note(0, 1, 60, 90, 10),
                              Note(0, 0, 60, 90, 20), Note(10, 0, 48, 90, 10),
                              Note(0, 0, 60, 90, 10), Note(0, 0, 72, 90, 10),
                              Note(0, 0, 84, 90, 10), End(10)});
  EXPECT_EQ(t->RemoveDuplicateNotes(), 1);
  EXPECT_EQ(t->GetNoteCount(), 8);
  // After 48: 60, 72 and 84 share its class; 72 is neither their lowest nor highest.
  EXPECT_EQ(t->RemoveOctaveDoublings(), 1);
  EXPECT_EQ(t->CountPitch(72), 0);
}
