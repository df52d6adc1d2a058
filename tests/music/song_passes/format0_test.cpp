// Editing passes of the format-0 song.
#include <gtest/gtest.h>

#include <algorithm>

#include "music/midi0_data.h"
#include "music/xf_data.h"
#include "tests/music/passes/passes_util.h"
#include "tests/music/song_passes/song_passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;
using song_passes_test::SysEx;

namespace {

// A format-0 song whose track holds the events (taken over): state 2 for a note-mode
// track, 1 for an event-mode one.
std::unique_ptr<Midi0Data> Song0(int32_t mode, const std::vector<MidiEvent*>& events) {
  auto song = std::make_unique<Midi0Data>(kDefaultMusicCapacity);
  delete song->track;
  song->track = new MidiTrack(mode, kDefaultMusicCapacity);
  for (MidiEvent* e : events) song->track->AddEvent(e);
  song->state = mode == kTrackEvents ? kSongEvents : kSongNotes;
  song->division = 480;
  return song;
}

MidiEvent* Metre(int32_t delta) {
  auto* e = Meta(delta, 0x58, std::string("\x04\x02\x18\x08", 4));
  e->value = 4 * 256 + 4;
  return e;
}

// (tick, status, channel, note or number) of every event.
using Row = std::tuple<int64_t, uint32_t, int, int>;
std::vector<Row> Rows(const MidiTrack& t) {
  std::vector<Row> rows;
  const auto ticks = t.EventTicks();
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent& e = *t.events[i];
    const int what = e.status == kStatusMeta || e.status == kStatusController
                         ? static_cast<int>(e.number)
                         : e.note;
    rows.emplace_back(ticks[static_cast<size_t>(i)], e.status, e.channel, what);
  }
  return rows;
}

}  // namespace

TEST(Format0Markers, StartMarkerCutsTheSongBeforeIt) {
  auto song = Song0(kTrackNotes, {Program(0, 0, 5), Note(0, 0, 60, 64, 400),
                                  Note(960, 0, 62, 64, 400), Cc(0, 0, 7, 90),
                                  Note(960, 0, 64, 64, 100), Meta(0, 6, "START"),
                                  Note(0, 1, 67, 64, 100), Note(480, 0, 65, 64, 100), End(480)});
  EXPECT_EQ(song->HandleStartMarker(1), 1);
  EXPECT_EQ(song->track->event_count, 9);
  EXPECT_EQ(song->CutBeforeStartMarker(), 1);
  song->track->Compact();
  const std::vector<NoteRow> want = {{0, 0, 64, 64, 100}, {0, 1, 67, 64, 100},
                                     {480, 0, 65, 64, 100}};
  EXPECT_EQ(Notes(*song->track), want);
  // The program and the controller stay at tick 0, the marker is gone.
  EXPECT_EQ(song->track->events[0]->status, kStatusProgram);
  EXPECT_EQ(song->track->CountStatusOnChannel(0, kStatusController), 1);
  EXPECT_EQ(song->track->CountMeta(6), 0);
  EXPECT_EQ(Ticks(*song->track).back(), 960);
  EXPECT_EQ(song->CutBeforeStartMarker(), 0);
}

TEST(Format0Markers, StopMarkerOrTextEndsTheSong) {
  for (uint32_t type : {6u, 1u}) {
    SCOPED_TRACE(type);
    auto song = Song0(kTrackNotes, {Note(0, 0, 60, 64, 400), Meta(960, type, "STOP"),
                                    Note(0, 0, 62, 64, 100), Cc(0, 0, 7, 90),
                                    Note(480, 0, 64, 64, 100), End(480)});
    EXPECT_EQ(song->CutAfterStopMarker(), 1);
    EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{0, 0, 60, 64, 400},
                                                         {960, 0, 62, 64, 100}}));
    EXPECT_TRUE(song->track->LastIsEndOfTrack());
    EXPECT_EQ(Ticks(*song->track).back(), 960);
    EXPECT_EQ(song->track->CountMeta(0x2F), 1);
  }
  auto none = Song0(kTrackNotes, {Meta(0, 6, "STOPS"), End(10)});
  EXPECT_EQ(none->CutAfterStopMarker(), 0);
  EXPECT_EQ(none->track->event_count, 2);
}

TEST(Format0Markers, ReplaceMarkerTextKeepsTheTerminator) {
  auto song = Song0(kTrackNotes, {Meta(0, 6, "A"), Meta(0, 6, "AB"), Meta(0, 1, "A"), End(0)});
  song->ReplaceMarkerText("A", "Verse");
  EXPECT_EQ(Text(*song->track->events[0]), std::string("Verse", 6));
  EXPECT_EQ(Text(*song->track->events[1]), "AB");
  EXPECT_EQ(Text(*song->track->events[2]), "A");
}

TEST(Format0Tempo, TwoTempiAtOneTickLeaveTheLaterAtTheFront) {
  auto song = Song0(kTrackNotes, {Note(0, 0, 60, 64, 10), Cc(480, 0, 7, 90), Tempo(0, 400000),
                                  Note(0, 0, 62, 64, 10), Tempo(0, 300000), End(0)});
  song->MoveTemposToTickStart();
  const auto rows = Rows(*song->track);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(std::get<1>(rows[1]), kStatusMeta);
  EXPECT_EQ(std::get<0>(rows[1]), 480);
  EXPECT_EQ(song->track->events[1]->value, 300000);
  EXPECT_EQ(song->track->CountMeta(0x51), 1);
  EXPECT_EQ(Notes(*song->track).size(), 2u);
}

TEST(Format0Tempo, EarlyTemposGoAndATempoComesBeforeTheFirstNote) {
  auto song = Song0(kTrackNotes, {Tempo(0, 400000), Tempo(100, 450000), Note(380, 0, 60, 64, 10),
                                  Tempo(480, 300000), End(0)});
  EXPECT_EQ(song->GetFirstTempo(), 400000);
  song->RemoveEarlyTempos();
  EXPECT_EQ(song->GetFirstTempo(), 450000);
  EXPECT_EQ(song->track->CountMeta(0x51), 2);
  EXPECT_EQ(Ticks(*song->track)[0], 100);
  song->RemoveEarlyTempos();  // the first tempo is the one in force: nothing goes
  EXPECT_EQ(song->track->CountMeta(0x51), 2);

  auto bare = Song0(kTrackNotes, {Cc(0, 0, 7, 90), Note(240, 0, 60, 64, 10),
                                  Note(0, 0, 64, 64, 10), Note(240, 0, 67, 64, 10), End(0)});
  EXPECT_EQ(bare->GetFirstTempo(), 60000);
  bare->InsertTempoAtFirstNote(600000);
  EXPECT_EQ(bare->GetFirstTempo(), 600000);
  // At the front of the first note's tick.
  EXPECT_EQ(std::get<1>(Rows(*bare->track)[1]), kStatusMeta);
  EXPECT_EQ(std::get<0>(Rows(*bare->track)[1]), 240);
  bare->InsertTempoAtFirstNote(700000);  // a tempo exists: nothing inserted
  EXPECT_EQ(bare->track->CountMeta(0x51), 1);
}

TEST(Format0Tempo, TheInsertedTempoStandsAtTheFirstNotesTick) {
  struct Case {
    const char* name;
    std::vector<MidiEvent*> events;
    int64_t tempo_tick;  // -1: no tempo is inserted
  };
  Case cases[] = {
      {"one note, then a later note", {Cc(0, 0, 7, 90), Note(240, 0, 60, 64, 10),
                                       Note(240, 0, 64, 64, 10), End(0)}, 240},
      {"a chord and nothing later", {Cc(0, 0, 7, 90), Note(240, 0, 60, 64, 10),
                                     Note(0, 0, 64, 64, 10), End(0)}, 240},
      {"the first note at tick 0", {Note(0, 0, 60, 64, 10), Note(96, 0, 62, 64, 10), End(0)}, 0},
      {"a controller between note ticks", {Program(0, 0, 5), Note(480, 0, 60, 64, 10),
                                           Cc(100, 0, 7, 90), Note(20, 0, 62, 64, 10), End(0)},
       480},
      {"a tempo in the first note's tick", {Note(240, 0, 60, 64, 10), Tempo(0, 400000),
                                            Note(240, 0, 62, 64, 10), End(0)}, -1},
      {"no notes", {Cc(0, 0, 7, 90), End(480)}, -1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto song = Song0(kTrackNotes, c.events);
    auto others = [](const std::vector<Row>& all) {
      std::vector<Row> kept;
      for (const Row& r : all)
        if (std::get<1>(r) != kStatusMeta || std::get<3>(r) != 0x51) kept.push_back(r);
      return kept;
    };
    const auto before = Rows(*song->track);
    const int tempi_before = song->track->CountMeta(0x51);
    song->InsertTempoAtFirstNote(600000);
    const auto rows = Rows(*song->track);
    EXPECT_EQ(others(rows), others(before));  // every other event keeps its tick and order
    if (c.tempo_tick < 0) {
      EXPECT_EQ(song->track->CountMeta(0x51), tempi_before);
      continue;
    }
    ASSERT_EQ(song->track->CountMeta(0x51), 1);
    // The tempo opens its tick.
    for (size_t i = 0; i < rows.size(); ++i) {
      if (std::get<1>(rows[i]) != kStatusMeta || std::get<3>(rows[i]) != 0x51) continue;
      EXPECT_EQ(std::get<0>(rows[i]), c.tempo_tick);
      EXPECT_TRUE(i == 0 || std::get<0>(rows[i - 1]) < c.tempo_tick);
    }
  }
}

TEST(Format0Pedal, HeldNotesEndAtTheReleaseTheRestrikeOrTheEnd) {
  auto song = Song0(kTrackNotes, {Cc(0, 0, 64, 127), Note(0, 0, 60, 64, 100),
                                  Note(0, 1, 48, 64, 100), Note(240, 0, 62, 64, 100),
                                  Note(240, 0, 60, 80, 100), Cc(240, 0, 64, 0),
                                  Note(240, 0, 65, 64, 100), Cc(240, 1, 64, 127), End(960)});
  song->ApplySustainPedal();
  ASSERT_EQ(song->state, kSongNotes);
  const std::vector<NoteRow> want = {
      {0, 0, 60, 64, 480},   // held, ends where it is struck again
      {0, 1, 48, 64, 100},   // channel 1's pedal comes after the note ended
      {240, 0, 62, 64, 480},  // held to the release
      {480, 0, 60, 80, 240},  // struck again, held to the release
      {960, 0, 65, 64, 100},  // pedal up: as it was
  };
  EXPECT_EQ(Notes(*song->track), want);
  EXPECT_EQ(song->track->CountEvents(kStatusController), 0);
  EXPECT_EQ(Ticks(*song->track).back(), 2160);

  // A note still held at the end ends with the track.
  auto end = Song0(kTrackNotes, {Cc(0, 2, 64, 100), Note(0, 2, 70, 64, 10), End(960)});
  end->ApplySustainPedal();
  EXPECT_EQ(Notes(*end->track), (std::vector<NoteRow>{{0, 2, 70, 64, 960}}));
  EXPECT_TRUE(end->track->LastIsEndOfTrack());
}

TEST(Format0Channels, KeepOnlyChannelKeepsTempoMetreAndEnd) {
  auto song = Song0(kTrackNotes, {Meta(0, 3, "name"), Tempo(0, 500000), Metre(0),
                                  Program(0, 0, 1), Program(0, 3, 2), Note(0, 3, 60, 64, 10),
                                  Note(480, 0, 62, 64, 10), Tempo(0, 400000), End(480)});
  song->KeepOnlyChannel(3);
  EXPECT_EQ(song->track->CountMeta(0x51), 2);
  EXPECT_EQ(song->track->CountMeta(0x58), 1);
  EXPECT_EQ(song->track->CountMeta(3), 0);
  EXPECT_TRUE(song->track->LastIsEndOfTrack());
  EXPECT_EQ(Ticks(*song->track).back(), 960);
  EXPECT_EQ(song->track->CountChannel(0), 0);
  EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{0, 3, 60, 64, 10}}));
  song->DeleteChannel(3);
  EXPECT_EQ(song->track->CountChannel(3), 0);
  EXPECT_EQ(Ticks(*song->track).back(), 960);
}

TEST(Format0Channels, DuplicateChannelDoublesWithoutMovingTime) {
  auto song = Song0(kTrackNotes, {Program(0, 0, 1), Note(0, 0, 60, 64, 10), Note(0, 1, 40, 64, 10),
                                  Note(480, 0, 62, 70, 20), End(480)});
  const auto before = Ticks(*song->track);
  song->DuplicateChannel(0, 5);
  EXPECT_EQ(song->track->event_count, 8);
  EXPECT_EQ(song->track->CountChannel(5), 3);
  EXPECT_EQ(Ticks(*song->track).back(), before.back());
  const std::vector<NoteRow> want = {{0, 0, 60, 64, 10}, {0, 5, 60, 64, 10}, {0, 1, 40, 64, 10},
                                     {480, 0, 62, 70, 20}, {480, 5, 62, 70, 20}};
  EXPECT_EQ(Notes(*song->track), want);
}

TEST(Format0Channels, CountsAndTheQuietestChannel) {
  auto song = Song0(kTrackNotes, {SysEx(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                                  Note(0, 0, 60, 64, 10), Note(0, 0, 62, 64, 10),
                                  Note(0, 1, 60, 64, 10), Note(0, 9, 36, 64, 10), End(0)});
  int32_t counts[16];
  song->GetChannelEventCounts(counts);
  EXPECT_EQ(counts[0], 2);
  EXPECT_EQ(counts[1], 1);
  EXPECT_EQ(counts[9], 1);
  EXPECT_EQ(song->FindQuietestChannel(nullptr, 0), 2);
  std::vector<int32_t> excluded = {2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(song->FindQuietestChannel(excluded.data(), static_cast<int32_t>(excluded.size())), 1);
  excluded.push_back(0);
  excluded.push_back(1);
  EXPECT_EQ(song->FindQuietestChannel(excluded.data(), static_cast<int32_t>(excluded.size())), -1);
  EXPECT_EQ(song->HasChannelEvents(1), 1);
  EXPECT_EQ(song->HasChannelEvents(4), 0);
  EXPECT_EQ(song->CountChannelStatus(0, kStatusNote), 2);
  int32_t low = 0;
  int32_t high = 0;
  song->GetNoteRange(0, &low, &high);
  EXPECT_EQ(low, 60);
  EXPECT_EQ(high, 62);
  song->GetNoteRange(7, &low, &high);
  EXPECT_EQ(low, 127);
  EXPECT_EQ(high, 0);
}

TEST(Format0Pitch, TransposeAndInvertLeaveRhythmChannels) {
  auto song = Song0(kTrackEvents, {On(0, 0, 60, 64), On(0, 9, 36, 64), On(0, 1, 126, 64),
                                   Off(10, 0, 60), Off(0, 9, 36), Off(0, 1, 126), End(0)});
  song->TransposeNonRhythm(5);
  EXPECT_EQ(song->track->events[0]->note, 65);
  EXPECT_EQ(song->track->events[1]->note, 36);
  EXPECT_EQ(song->track->events[2]->note, 119);  // 131 folded down an octave
  EXPECT_EQ(song->track->events[5]->note, 119);
  song->InvertNonRhythm();
  // Channel 0: lowest = highest = 65, axis (130 / 24) * 24 = 120.
  EXPECT_EQ(song->track->events[0]->note, 55);
  EXPECT_EQ(song->track->events[3]->note, 55);
  EXPECT_EQ(song->track->events[1]->note, 36);
  // Channel 1: axis 216, clamped.
  EXPECT_EQ(song->track->events[2]->note, 97);
}

TEST(Format0Queries, FirstNoteTickIndexAndBusySpans) {
  auto song = Song0(kTrackNotes, {Tempo(0, 500000), Cc(120, 0, 7, 100), Note(120, 0, 60, 64, 480),
                                  Cc(0, 0, 10, 64), Note(480, 0, 62, 64, 10), End(0)});
  EXPECT_EQ(song->GetFirstNoteTick(), 240);
  EXPECT_EQ(song->GetFirstNoteIndex(), 3);
  EXPECT_EQ(song->IsBusyBetween(0, 240), 0);
  EXPECT_EQ(song->IsBusyBetween(0, 241), 1);
  EXPECT_EQ(song->IsBusyBetween(400, 700), 1);   // the first note sounds at 400
  EXPECT_EQ(song->IsBusyBetween(721, 800), 1);  // the second note sounds to 730
  EXPECT_EQ(song->IsBusyBetween(731, 800), 0);
  EXPECT_EQ(song->HasStatusBetween(kStatusController, 121, 240), 0);
  EXPECT_EQ(song->HasStatusBetween(kStatusController, 120, 240), 1);
  song->ToEventMode();
  EXPECT_EQ(song->IsBusyBetween(400, 700), 1);
  EXPECT_EQ(song->IsBusyBetween(721, 800), 1);
  EXPECT_EQ(song->IsBusyBetween(731, 800), 0);
  auto empty = Song0(kTrackNotes, {});
  EXPECT_EQ(empty->GetFirstNoteTick(), 0);
}

TEST(Format0Songs, AppendSongFollowsTheEnd) {
  auto a = Song0(kTrackNotes, {Note(0, 0, 60, 64, 10), End(480)});
  auto b = Song0(kTrackNotes, {Note(0, 1, 62, 64, 10), Note(240, 1, 64, 64, 10), End(240)});
  a->AppendSong(*b);
  EXPECT_EQ(Notes(*a->track), (std::vector<NoteRow>{{0, 0, 60, 64, 10}, {480, 1, 62, 64, 10},
                                                    {720, 1, 64, 64, 10}}));
  EXPECT_EQ(a->track->CountMeta(0x2F), 1);
  EXPECT_EQ(Ticks(*a->track).back(), 960);
}

TEST(Format0Songs, GsResetOfAnyDeviceBecomesGmOn) {
  std::vector<uint8_t> gs = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  std::vector<uint8_t> gs20 = gs;
  gs20[3] = 0x20;
  auto song = Song0(kTrackNotes, {SysEx(0, gs), SysEx(0, gs20), End(0)});
  EXPECT_EQ(song->ReplaceGsResetWithGmOn(), 1);
  for (int i : {0, 1}) EXPECT_EQ(song->track->events[i]->data_length, 7);
  EXPECT_EQ(song->ReplaceGsResetWithGmOn(), 0);
  EXPECT_EQ(song->ReplaceXgOnWithGmOn(), 0);
}

TEST(Format0Reverse, MirrorsNotesProgramsAndTempi) {
  auto song = Song0(kTrackEvents, {Tempo(0, 500000), Program(0, 0, 1), On(0, 0, 60, 64),
                                   Off(480, 0, 60), Tempo(0, 400000), Program(0, 0, 2),
                                   On(0, 0, 62, 70), Off(240, 0, 62), End(120)});
  song->Reverse();
  // T = 720: [0, 480) becomes [240, 720), [480, 720) becomes [0, 240).
  song->ToNoteMode();
  EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{0, 0, 62, 70, 240},
                                                       {240, 0, 60, 64, 480}}));
  // Program 2 governs the first part, then program 1; the tempi likewise.
  std::vector<std::pair<int64_t, int>> programs;
  std::vector<std::pair<int64_t, int>> tempos;
  const auto ticks = Ticks(*song->track);
  for (int32_t i = 0; i < song->track->event_count; ++i) {
    const MidiEvent& e = *song->track->events[i];
    if (e.status == kStatusProgram) programs.emplace_back(ticks[static_cast<size_t>(i)], e.value);
    if (e.status == kStatusMeta && e.number == 0x51) {
      tempos.emplace_back(ticks[static_cast<size_t>(i)], e.value);
    }
  }
  EXPECT_EQ(programs, (std::vector<std::pair<int64_t, int>>{{0, 2}, {240, 1}}));
  EXPECT_EQ(tempos, (std::vector<std::pair<int64_t, int>>{{0, 400000}, {240, 500000}}));
  EXPECT_TRUE(song->track->LastIsEndOfTrack());
  EXPECT_EQ(ticks.back(), 840);
}

TEST(Format0Reverse, NeedsEventsAndAnEnd) {
  auto notes = Song0(kTrackNotes, {Note(0, 0, 60, 64, 10), End(0)});
  notes->Reverse();
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  auto open = Song0(kTrackEvents, {On(0, 0, 60, 64), Off(10, 0, 60)});
  open->Reverse();
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
  EXPECT_EQ(open->track->events[0]->status, kStatusNoteOn);
}

// A merged real file reversed: every note [s, e) of the original reads in midicsv
// as [T - e, T - s), T the tick of the last event before End of Track.
TEST(Format0Reverse, MergedRealFileMirrorsEveryNote) {
  CANTREL_NEED(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  CANTREL_NEED(HaveMidicsv(), "midicsv");
  for (int n : {4, 6}) {
    SCOPED_TRACE(n);
    std::vector<CsvNote> original;
    ASSERT_TRUE(MidicsvNotes(BlupiFile(n), &original));
    Midi0Data song(BlupiFile(n), kDefaultMusicCapacity);
    ASSERT_NE(song.track, nullptr);
    song.ToEventMode();
    ASSERT_EQ(song.state, kSongEvents);
    const auto ticks = Ticks(*song.track);
    ASSERT_GE(ticks.size(), 2u);
    const int64_t t_end = ticks[ticks.size() - 2];
    song.Reverse();
    const std::filesystem::path path = cantrel_test::TempDir() / "reversed.mid";
    ASSERT_EQ(song.SaveFile(path, 1), 1);
    std::vector<CsvNote> got;
    ASSERT_TRUE(MidicsvNotes(path, &got));
    std::vector<CsvNote> want;
    for (const CsvNote& c : original) {
      want.emplace_back(std::get<0>(c), std::get<1>(c), std::get<2>(c), t_end - std::get<4>(c),
                        t_end - std::get<3>(c));
    }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  }
}

TEST(Format0Reverse, ANoteStruckAgainWhileItSoundsKeepsBothNotes) {
  // [0, 480) at velocity 60 and [240, 720) at 90 on one pitch: first in, first out.
  auto song = Song0(kTrackEvents, {On(0, 0, 60, 60), On(240, 0, 60, 90), Off(240, 0, 60),
                                   Off(240, 0, 60), End(0)});
  song->Reverse();
  song->ToNoteMode();
  EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{0, 0, 60, 90, 480},
                                                       {240, 0, 60, 60, 480}}));
}

TEST(Format0Songs, KaraokeSongsHaveTheFormat0Passes) {
  std::vector<uint8_t> gs = {0xF0, 0x0A, 0x41, 0x30, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  auto track = Make(kTrackNotes, {SysEx(0, gs), Note(0, 0, 60, 64, 10), End(0)});
  XfData song(*track, nullptr, 480);
  EXPECT_EQ(song.ReplaceGsResetWithGmOn(), 1);
  song.DuplicateChannel(0, 5);
  EXPECT_EQ(Notes(*song.track), (std::vector<NoteRow>{{0, 0, 60, 64, 10}, {0, 5, 60, 64, 10}}));
}

TEST(Format0Pitch, DrumFamiliesCountRhythmChannelsOnly) {
  // A bass line on note 36 must not make 36 the kick: on channel 9, 35 is used more.
  std::vector<MidiEvent*> events;
  for (int i = 0; i < 8; ++i) events.push_back(Note(0, 1, 36, 64, 10));
  for (int i = 0; i < 3; ++i) events.push_back(Note(0, 9, 35, 64, 10));
  events.push_back(Note(0, 9, 36, 64, 10));
  events.push_back(End(0));
  auto song = Song0(kTrackNotes, events);
  song->RemapDrumFamilies();
  EXPECT_EQ(song->track->events[11]->note, 35);
  EXPECT_EQ(song->track->events[0]->note, 36);
}
