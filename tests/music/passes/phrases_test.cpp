// Excerpts and shifts in place, range copies and insertions, note passes over what
// sounds when, the queries around note events, the phrase finders, and the song
// picked in the open-file dialog.
#include <gtest/gtest.h>

#include <cstdio>

#include "music/midi1_data.h"
#include "music/sysex_kind.h"
#include "passes_util.h"
#include "platform/core/file_dialogs.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

// 1 when the sink shows the code (eight hexadecimal digits) in one of its boxes.
bool Shown(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", code);
  for (const std::string& box : cantrel_test::Sink().Texts()) {
    if (box.find(text) != std::string::npos) return true;
  }
  return false;
}

std::vector<int> Values(const MidiTrack& track, uint32_t status) {
  std::vector<int> values;
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (track.events[i]->status == status) values.push_back(track.events[i]->value);
  }
  return values;
}

}  // namespace

// ---------------------------------------------------------------- excerpts and shifts

TEST(ExcerptInPlace, KeepsTheWindowFromTickZeroCutToItsLength) {
  // Window [100, 300): the note 0-50 and the note at 300 go; the note 150-400 ends at
  // the window's end; the volume at 120 stays.
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 100, 50), Cc(120, 0, 7, 90), Note(30, 0, 62, 90, 250),
                              Note(150, 0, 64, 80, 10), End(500)});
  t->ExcerptInPlace(100, 300);
  EXPECT_EQ(t->mode, kTrackNotes);
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{50, 0, 62, 90, 150}}));
  EXPECT_EQ(Values(*t, kStatusController), (std::vector<int>{90}));
  EXPECT_EQ(Ticks(*t).front(), 20);
  ASSERT_TRUE(t->LastIsEndOfTrack());
  EXPECT_EQ(Ticks(*t).back(), 200);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(ExcerptInPlace, RefusesEventModeAndEmptyWindowsUnchanged) {
  struct Case {
    int32_t mode, from, to;
    uint32_t code;
  };
  for (const Case& c : {Case{kTrackEvents, 0, 100, 0x0D000001}, Case{kTrackNotes, 100, 100, 0x0D000025},
                        Case{kTrackNotes, -1, 100, 0x0D000025}}) {
    cantrel_test::Sink().Clear();
    auto t = c.mode == kTrackNotes ? Make(kTrackNotes, {Note(10, 0, 60, 100, 50), End(0)})
                                   : Make(kTrackEvents, {On(10, 0, 60, 100), Off(50, 0, 60), End(0)});
    const std::vector<int64_t> before = Ticks(*t);
    t->ExcerptInPlace(c.from, c.to);
    EXPECT_TRUE(Shown(c.code)) << c.from << " " << c.to;
    EXPECT_EQ(Ticks(*t), before);
  }
}

TEST(ShiftFirstEventInRange, MovesTheFirstEventOfTheRange) {
  struct Case {
    int32_t from, to, ticks;
    std::vector<int64_t> expected;
  };
  // Events at 10, 30, 60 and End of Track at 100.
  for (const Case& c : {Case{20, 70, 15, {10, 45, 75, 115}},     // later: everything after moves too
                        Case{20, 70, -5, {10, 25, 55, 95}},      // from its own delta
                        Case{20, 70, -25, {5, 5, 35, 75}},       // 20 of its own, then 5 before it
                        Case{20, 70, -45, {0, 0, 15, 55}},       // 20 + 10 before, 15 after
                        Case{70, 90, 10, {10, 30, 60, 100}}}) {  // nothing in range
    auto t = Make(kTrackNotes, {Note(10, 0, 60, 1, 1), Note(20, 0, 61, 1, 1), Note(30, 0, 62, 1, 1),
                                End(40)});
    t->ShiftFirstEventInRange(c.from, c.to, c.ticks);
    EXPECT_EQ(Ticks(*t), c.expected) << c.ticks;
  }
}

// ---------------------------------------------------------------- range copies and insertions

TEST(CopyAndInsertEvents, CopiesARangeAndInsertsItBehindTheTrack) {
  auto source = Make(kTrackNotes, {Note(50, 0, 60, 100, 20), Cc(60, 0, 7, 90), Note(40, 0, 62, 90, 300),
                                   Note(100, 0, 64, 80, 10), End(0)});
  MidiEvent* list[kEventListRoom];
  ASSERT_EQ(source->CopyEventsInRange(100, 250, list), 2);
  EXPECT_EQ(list[0]->delta, 10);  // the volume at 110
  EXPECT_EQ(list[1]->delta, 40);  // the note at 150
  EXPECT_EQ(list[2], nullptr);
  // Behind the track: End of Track moves to cover the long note (1000 + 50 + 300).
  auto target = Make(kTrackNotes, {Note(0, 1, 40, 100, 10), End(500)});
  target->InsertEventsAt(1000, 1150, list);
  EXPECT_EQ(Ticks(*target), (std::vector<int64_t>{0, 1010, 1050, 1350}));
  EXPECT_TRUE(target->LastIsEndOfTrack());
  // Inside the track, where the time is free; later events keep their ticks.
  auto inside = Make(kTrackNotes, {Note(0, 1, 40, 100, 10), Note(500, 1, 41, 100, 10), End(10)});
  inside->InsertEventsAt(100, 250, list);
  EXPECT_EQ(Ticks(*inside), (std::vector<int64_t>{0, 110, 150, 500, 510}));
  for (MidiEvent** e = list; *e != nullptr; ++e) delete *e;
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(CopyAndInsertEvents, RefusesTimeThatIsNotFreeAndOverlongLists) {
  auto track = Make(kTrackNotes, {Note(0, 1, 40, 100, 10), Note(200, 1, 41, 100, 10), End(10)});
  const std::vector<int64_t> before = Ticks(*track);
  MidiEvent* one[] = {Note(0, 0, 60, 100, 10), nullptr};
  track->InsertEventsAt(100, 250, one);  // the note at 200 lies before 250
  EXPECT_TRUE(Shown(0x0D000019));
  EXPECT_EQ(Ticks(*track), before);
  cantrel_test::Sink().Clear();
  std::vector<MidiEvent*> many(kEventListRoom + 1, one[0]);
  many.push_back(nullptr);
  track->InsertEventsAt(1000, 1000, many.data());
  EXPECT_TRUE(Shown(0x0D00001A));
  EXPECT_EQ(Ticks(*track), before);
  delete one[0];
  // A copy stops at its room, reported, and the list stays closed.
  cantrel_test::Sink().Clear();
  auto dense = Make(kTrackNotes, {});
  for (int i = 0; i < kEventListRoom + 10; ++i) dense->AddEvent(Note(1, 0, 60, 100, 1));
  std::vector<MidiEvent*> list(kEventListRoom);
  EXPECT_EQ(dense->CopyEventsInRange(0, 100000, list.data()), kEventListRoom - 1);
  EXPECT_TRUE(Shown(0x0D00001A));
  EXPECT_EQ(list[kEventListRoom - 1], nullptr);
  for (int i = 0; i < kEventListRoom - 1; ++i) delete list[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------- note passes

TEST(MergeGraceNotes, AGraceNoteASemitoneBelowBecomesTheNote) {
  struct Case {
    int32_t grace_length, gap, second_pitch, second_length;
    std::vector<NoteRow> expected;
  };
  // Length 120: grace notes up to 60 ticks, a gap up to 60, a main note over 60.
  for (const Case& c :
       {Case{20, 10, 61, 200, {{0, 0, 61, 90, 210}}},
        Case{20, 60, 61, 200, {{0, 0, 61, 90, 260}}},
        Case{20, 61, 61, 200, {{0, 0, 60, 50, 20}, {61, 0, 61, 90, 200}}},   // too far
        Case{20, 10, 62, 200, {{0, 0, 60, 50, 20}, {10, 0, 62, 90, 200}}},   // a tone, not a semitone
        Case{61, 10, 61, 200, {{0, 0, 60, 50, 61}, {10, 0, 61, 90, 200}}},   // no grace note
        Case{20, 10, 61, 60, {{0, 0, 60, 50, 20}, {10, 0, 61, 90, 60}}}}) {  // short main note
    auto t = Make(kTrackNotes, {Note(0, 0, 60, 50, c.grace_length),
                                Note(c.gap, 0, c.second_pitch, 90, c.second_length), End(300)});
    t->MergeGraceNotes(120);
    EXPECT_EQ(Notes(*t), c.expected) << c.grace_length << " " << c.gap;
    EXPECT_EQ(Ticks(*t).back(), c.gap + 300);  // End of Track keeps its tick
  }
}

TEST(DropNotesSharedWith, SharedPitchClassesGoUnlessTheyAreTheTop) {
  // This track: C4 and E4 at 0, C5 at 50. The other: C3 sounding 0-200.
  auto mine = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(0, 0, 64, 90, 100),
                                 Note(50, 0, 72, 90, 100), Note(200, 0, 62, 90, 10), End(0)});
  auto other = Make(kTrackNotes, {Note(0, 1, 48, 90, 200), Note(250, 1, 50, 90, 10), End(0)});
  mine->DropNotesSharedWith(*other);
  EXPECT_EQ(Notes(*mine), (std::vector<NoteRow>{{0, 0, 64, 90, 100},
                                                {50, 0, 72, 90, 100},
                                                {250, 0, 62, 90, 10}}));
  EXPECT_EQ(Ticks(*mine).back(), 250);
}

TEST(ReplaceBankAndProgram, OnlyWhenBothCombinationsOccur) {
  struct Case {
    int32_t second_msb, second_program;
    std::vector<int> controllers, programs;
  };
  // Bank 1/0 program 5 first, then bank 2/0 with the second program; 5 on bank 1/0
  // becomes 7 on bank 3/1 when 3/1/7 also occurs.
  for (const Case& c : {Case{3, 7, {3, 1, 3, 1}, {7, 7}},
                        Case{3, 8, {1, 0, 3, 1}, {5, 8}},     // 3/1/7 does not occur
                        Case{4, 7, {1, 0, 4, 1}, {5, 7}}}) {  // nor here
    auto t = Make(kTrackNotes, {Cc(0, 0, 0, 1), Cc(0, 0, 32, 0), Program(0, 0, 5),
                                Note(10, 0, 60, 90, 10), Cc(100, 0, 0, c.second_msb),
                                Cc(0, 0, 32, 1), Program(0, 0, c.second_program), End(0)});
    t->ReplaceBankAndProgram(3, 1, 7, 1, 0, 5);
    EXPECT_EQ(Values(*t, kStatusController), c.controllers);
    EXPECT_EQ(Values(*t, kStatusProgram), c.programs);
  }
}

TEST(InsertRhythmPartSysEx, MakesTheGsMessageFirst) {
  struct Case {
    int flag;
    int32_t channel;
    uint8_t address, value, checksum;
  };
  for (const Case& c : {Case{1, 9, 0x10, 1, 0x1A}, Case{0, 0, 0x11, 0, 0x1A}, Case{1, 15, 0x1F, 1, 0x0B}}) {
    auto t = Make(kTrackNotes, {Note(10, c.channel, 36, 90, 10), End(0)});
    t->InsertRhythmPartSysEx(c.flag, c.channel);
    ASSERT_EQ(t->event_count, 3);
    MidiEvent& e = *t->events[0];
    const std::vector<uint8_t> expected = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40,
                                           c.address, 0x15, c.value, c.checksum, 0xF7};
    EXPECT_EQ(std::vector<uint8_t>(e.data, e.data + e.data_length), expected) << c.channel;
    EXPECT_EQ(e.status, kStatusSysEx);
    EXPECT_EQ(e.number, SysExKind::kGsRhythmPart);
    EXPECT_EQ(e.value, c.value);
    // The track's own reading of the message agrees.
    MidiEvent read(e);
    read.number = 0;
    read.value = -1;
    ClassifySysEx(read);
    EXPECT_EQ(read.number, SysExKind::kGsRhythmPart);
    EXPECT_EQ(read.value, c.value);
    EXPECT_EQ(Ticks(*t), (std::vector<int64_t>{0, 10, 10}));
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(InsertRhythmPartSysEx, ChannelsWithoutAGsPartAreReportedAndGetNoMessage) {
  for (int32_t channel : {16, 25, 31, -1, 255}) {
    SCOPED_TRACE(channel);
    cantrel_test::Sink().Clear();
    auto t = Make(kTrackNotes, {Note(10, 0, 36, 90, 10), End(0)});
    t->InsertRhythmPartSysEx(1, channel);
    EXPECT_EQ(t->event_count, 2);
    EXPECT_EQ(t->events[0]->status, kStatusNote);
    EXPECT_EQ(Ticks(*t), (std::vector<int64_t>{10, 10}));
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_NE(cantrel_test::Sink().Texts()[0].find("MDSX36000001"), std::string::npos);
  }
}

// ---------------------------------------------------------------- notes by time

TEST(NotesByTime, SoundingStartingAndMatchingNotes) {
  // 60 over 0-100, 64 over 0-50, 67 over 50-150, 60 again over 100-200 (velocity 0 at
  // 150 never sounds).
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(0, 0, 64, 80, 50), Note(50, 0, 67, 70, 100),
                              Note(50, 0, 60, 60, 100), Note(50, 0, 70, 0, 10), End(100)});
  struct Case {
    int32_t tick;
    std::vector<int> sounding, starting;
    int32_t highest;
  };
  for (const Case& c : {Case{0, {60, 64}, {60, 64}, 64}, Case{49, {60, 64}, {}, 64},
                        Case{50, {60, 67}, {67}, 67}, Case{100, {60, 67}, {60}, 67},
                        Case{150, {60}, {}, 60}, Case{200, {}, {}, -1}}) {
    uint8_t flags[128];
    const int32_t n = t->NotesSoundingAt(flags, c.tick);
    std::vector<int> sounding;
    for (int p = 0; p < 128; ++p) {
      if (flags[p]) sounding.push_back(p);
    }
    EXPECT_EQ(sounding, c.sounding) << c.tick;
    EXPECT_EQ(n, static_cast<int32_t>(c.sounding.size()));
    int32_t list[128];
    int32_t count = -1;
    t->NotesStartingAt(list, &count, c.tick);
    EXPECT_EQ(std::vector<int>(list, list + count), c.starting) << c.tick;
    EXPECT_EQ(t->HighestNoteSoundingAt(c.tick), c.highest) << c.tick;
  }
  std::unique_ptr<MidiEvent> probe(Note(0, 3, 67, 70, 100));
  EXPECT_EQ(t->HasMatchingNote(40, 50, *probe, 1), 1);
  EXPECT_EQ(t->HasMatchingNote(51, 99, *probe, 0), 0);
  probe->velocity = 71;
  EXPECT_EQ(t->HasMatchingNote(0, 200, *probe, 1), 0);
  EXPECT_EQ(t->HasMatchingNote(0, 200, *probe, 0), 1);
  probe->duration = 99;
  EXPECT_EQ(t->HasMatchingNote(0, 200, *probe, 0), 0);
}

TEST(NotesByTime, SharedNotePercentWithinTheTolerance) {
  auto a = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(100, 0, 62, 90, 100), Note(100, 0, 64, 90, 100),
                              Note(100, 0, 65, 90, 100), End(0)});
  auto b = Make(kTrackNotes, {Note(5, 1, 60, 10, 100), Note(100, 1, 62, 10, 50), Note(100, 1, 64, 10, 100),
                              Note(200, 1, 65, 10, 100), End(0)});
  struct Case {
    int32_t tolerance, percent;
  };
  for (const Case& c : {Case{0, 0}, Case{5, 50}, Case{200, 75}}) {
    EXPECT_EQ(a->SharedNotePercent(*b, c.tolerance), c.percent) << c.tolerance;
  }
  auto empty = Make(kTrackNotes, {End(0)});
  EXPECT_EQ(empty->SharedNotePercent(*b, 10), 0);
}

// ---------------------------------------------------------------- time around note events

TEST(NoteEventTimes, GapsAndRestsOfAnEventModeTrack) {
  // 0 on, 100 off, 100 volume, 300 on, 350 off, 350 on, 400 off, End of Track at 1000.
  auto t = Make(kTrackEvents, {On(0, 0, 60, 90), Off(100, 0, 60), Cc(0, 0, 7, 90), On(200, 0, 62, 90),
                               Off(50, 0, 62), On(0, 0, 64, 90), Off(50, 0, 64), End(600)});
  struct Case {
    int32_t index, to_next, since_previous, back_to_controller;
  };
  for (const Case& c : {Case{0, 100, -1, 0}, Case{1, 200, 100, 100}, Case{2, 200, 100, 100},
                        Case{3, 50, 200, 200}, Case{5, 50, 50, 250}, Case{6, -1, 50, 300},
                        Case{7, -1, 600, 900}}) {
    EXPECT_EQ(t->TicksToNextNoteEvent(c.index), c.to_next) << c.index;
    EXPECT_EQ(t->TicksSincePreviousNoteEvent(c.index), c.since_previous) << c.index;
    EXPECT_EQ(t->TicksBackToStatus(c.index, kStatusController), c.back_to_controller) << c.index;
  }
  EXPECT_EQ(t->HasGapAfter(1, 200), 1);
  EXPECT_EQ(t->HasGapAfter(1, 201), 0);
  EXPECT_EQ(t->HasGapAfter(6, 1), 0);
  // The note-on at 300 follows 200 ticks of silence; the one at 350 none.
  EXPECT_EQ(t->NextNoteAfterRest(0, 200), 3);
  EXPECT_EQ(t->NextNoteAfterRest(0, 201), -1);
  EXPECT_EQ(t->NextNoteAfterRest(3, 1), -1);
}

TEST(FindPhraseBoundary, TheNearerOfTheSilentPositionAndTheNoteOn) {
  // Phrase one 0-200, phrase two 500-700, phrase three 760-800.
  auto t = Make(kTrackEvents, {On(0, 0, 60, 90), Off(100, 0, 60), On(0, 0, 62, 90), Off(100, 0, 62),
                               Cc(100, 0, 7, 90), On(200, 0, 64, 90), Off(200, 0, 64),
                               On(60, 0, 65, 90), Off(40, 0, 65), End(0)});
  struct Case {
    int32_t index;
    int direction;
    int32_t length, expected;
  };
  for (const Case& c : {Case{0, 1, 250, 3},     // the note-off at 200 before a rest of 300
                        Case{4, 1, 250, 5},     // inside the rest: the next phrase's note-on
                        Case{6, 1, 250, 8},     // 60 ticks is no rest: the track's end
                        Case{6, 1, 50, 6},      // it is with 50
                        Case{8, 0, 250, 3},     // backwards: the note-off before the long rest
                        Case{4, 0, 50, 4},      // the volume sits 100 ticks into the rest
                        Case{4, 0, 250, 3},     // not 250: the note-off that begins the rest
                        Case{2, 0, 250, -1}}) {  // nothing silent before, and no note-off
    EXPECT_EQ(t->FindPhraseBoundary(c.index, c.direction, c.length), c.expected)
        << c.index << " " << c.direction << " " << c.length;
  }
}

TEST(FindRepeatedPhrase, TheLongestRunThatRecurs) {
  // 60 62 64 at 0, 120, 240 (a grace note 63 leads into the 64), 70 at 480, then
  // 60 62 64 again from 960, slightly off the grid.
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(120, 0, 62, 90, 100), Note(110, 0, 63, 90, 10),
                              Note(10, 0, 64, 90, 100), Note(240, 0, 70, 90, 100),
                              Note(482, 0, 60, 90, 100), Note(118, 0, 62, 90, 100),
                              Note(121, 0, 64, 90, 100), Cc(0, 0, 7, 90), End(200)});
  int32_t start = 0;
  int32_t end = 0;
  EXPECT_EQ(t->FindRepeatedPhrase(&start, &end, 120), 3);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 350);  // the 64 the grace note became: from 240 (230 on the grid), 110 long
  EXPECT_EQ(t->event_count, 10);  // the track itself is untouched
  auto single = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(120, 0, 62, 90, 100), End(0)});
  EXPECT_EQ(single->FindRepeatedPhrase(&start, &end, 120), 0);
  EXPECT_EQ(start, -1);
}

// ---------------------------------------------------------------- the song from the dialog

TEST(Midi1DataDialog, ReadsThePickedFileAndStaysEmptyWhenCancelled) {
  plat::ScriptedFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  const std::filesystem::path file = cantrel_test::DataPath("midi/songs/tune_f1.mid");
  Midi1Data direct(file, kDefaultMusicCapacity);
  dialogs.QueueFile(file);
  dialogs.QueueFileCancel();
  Midi1Data picked;
  Midi1Data cancelled;
  plat::InstallFileDialogs(nullptr);
  EXPECT_EQ(picked.state, kSongNotes);
  EXPECT_EQ(picked.track_count, direct.track_count);
  EXPECT_EQ(picked.division, direct.division);
  EXPECT_EQ(picked.capacity, kDefaultMusicCapacity);
  for (int32_t i = 0; i < picked.track_count && i < direct.track_count; ++i) {
    EXPECT_EQ(Notes(*picked.tracks[i]), Notes(*direct.tracks[i])) << i;
  }
  EXPECT_EQ(cancelled.state, kSongBytes);
  EXPECT_EQ(cancelled.track_count, 0);
  EXPECT_EQ(cancelled.division, 0);
  ASSERT_EQ(dialogs.FileRequests().size(), 2u);
  EXPECT_EQ(dialogs.FileRequests()[0].default_extension, "mid");
}
