// Song-wide passes and queries of the format-1 song.
#include <gtest/gtest.h>

#include "music/midi1_data.h"
#include "tests/music/passes/passes_util.h"
#include "tests/music/song_passes/song_passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;
using song_passes_test::SysEx;

namespace {

const std::vector<uint8_t> kGmOn = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

// A song in state 2 holding the tracks (taken over).
std::unique_ptr<Midi1Data> Song(std::vector<std::unique_ptr<Midi1Track>> tracks) {
  auto song = std::make_unique<Midi1Data>(480, kDefaultMusicCapacity);
  for (auto& t : tracks) song->AddTrack(t.release());
  return song;
}

template <typename... T>
std::vector<std::unique_ptr<Midi1Track>> List(T... tracks) {
  std::vector<std::unique_ptr<Midi1Track>> out;
  (out.push_back(std::move(tracks)), ...);
  return out;
}

}  // namespace

TEST(SongWidePasses, ClampNoteValuesRepairsOneNotePerTrack) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "song"), End(0)}),
                        Make(kTrackNotes, {Note(0, 0, 130, 64, 10), Note(0, 0, 140, 64, 10),
                                           End(0)}),
                        Make(kTrackNotes, {Note(0, 1, 60, 300, 10), End(0)})));
  EXPECT_EQ(song->ClampNoteValues(), 1);
  EXPECT_EQ(song->tracks[1]->events[0]->note, 127);
  EXPECT_EQ(song->tracks[1]->events[1]->note, 140);
  EXPECT_EQ(song->tracks[2]->events[0]->velocity, 127);
  EXPECT_EQ(song->ClampNoteValues(), 1);
  EXPECT_EQ(song->ClampNoteValues(), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SongWidePasses, DeleteMetaEventsStopsAtTheFirstTrackThatHadOne) {
  struct Case {
    int all;
    int left_in_first;  // markers left in the first track that had some
  };
  for (const Case& c : {Case{0, 1}, Case{1, 0}}) {
    SCOPED_TRACE(c.all);
    auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "name"), End(0)}),
                          Make(kTrackNotes, {Meta(0, 6, "A"), Meta(10, 6, "B"), End(0)}),
                          Make(kTrackNotes, {Meta(0, 6, "C"), End(0)})));
    EXPECT_EQ(song->DeleteMetaEvents(6, c.all), 1);
    EXPECT_EQ(song->tracks[1]->CountMeta(6), c.left_in_first);
    EXPECT_EQ(song->tracks[2]->CountMeta(6), 1);
    EXPECT_EQ(Ticks(*song->tracks[1]).back(), 10);  // End of Track keeps its tick
  }
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 6, "A"), End(0)})));
  EXPECT_EQ(song->DeleteMetaEvents(1, 1), 0);
  song->ToEventMode();
  EXPECT_EQ(song->DeleteMetaEvents(6, 1), 0);
  EXPECT_EQ(song->tracks[0]->CountMeta(6), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(SongWidePasses, MoveGmSystemOnFirstWorksOnTheFirstPlayingTrack) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "conductor"), SysEx(0, kGmOn), End(0)}),
                        Make(kTrackNotes, {Program(0, 0, 1), Cc(0, 0, 7, 100), SysEx(0, kGmOn),
                                           Note(0, 0, 60, 64, 10), End(0)}),
                        Make(kTrackNotes, {Program(0, 1, 1), SysEx(0, kGmOn), End(0)})));
  // The first track holds a system-exclusive event, so it is no conductor track.
  song->MoveGmSystemOnFirst();
  EXPECT_EQ(song->tracks[0]->events[0]->status, kStatusSysEx);
  EXPECT_EQ(song->tracks[1]->events[0]->status, kStatusProgram);

  auto second = Song(List(Make(kTrackNotes, {Meta(0, 3, "conductor"), Tempo(0, 500000), End(0)}),
                          Make(kTrackNotes, {Program(0, 0, 1), Cc(0, 0, 7, 100), SysEx(0, kGmOn),
                                             Note(0, 0, 60, 64, 10), End(0)}),
                          Make(kTrackNotes, {Program(0, 1, 1), SysEx(0, kGmOn), End(0)})));
  second->MoveGmSystemOnFirst();
  EXPECT_EQ(second->tracks[1]->events[0]->status, kStatusSysEx);
  EXPECT_EQ(second->tracks[2]->events[0]->status, kStatusProgram);
}

TEST(SongWidePasses, TransposeBetweenAndKeySignaturesReachEveryTrack) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "c"), End(0)}),
                        Make(kTrackNotes, {Note(0, 0, 60, 64, 10), Note(480, 0, 60, 64, 10),
                                           End(0)}),
                        Make(kTrackNotes, {Note(0, 1, 50, 64, 10), End(0)})));
  song->TransposeBetween(0, 480, 3);
  EXPECT_EQ(song->tracks[1]->events[0]->note, 63);
  EXPECT_EQ(song->tracks[1]->events[1]->note, 60);
  EXPECT_EQ(song->tracks[2]->events[0]->note, 53);
  song->tracks[0]->SetKeySignatureAt(0, 0, 0);
  song->TransposeKeySignatures(0, 1, 7);
  int32_t key[2] = {};
  ASSERT_EQ(song->tracks[0]->GetKeySignature(key, nullptr), 1);
  EXPECT_EQ(key[0], 1);  // G major
}

TEST(SongWidePasses, SetDivisionRescalesAndRefusesZero) {
  auto song = Song(List(Make(kTrackNotes, {Note(0, 0, 60, 64, 240), Note(480, 0, 62, 64, 120),
                                           End(0)})));
  song->SetDivision(960);
  EXPECT_EQ(song->division, 960);
  EXPECT_EQ(Notes(*song->tracks[0]),
            (std::vector<NoteRow>{{0, 0, 60, 64, 480}, {960, 0, 62, 64, 240}}));
  song->SetDivision(0);
  EXPECT_EQ(song->division, 960);
  song->division = 0;
  song->SetDivision(480);
  EXPECT_EQ(song->division, 0);
  EXPECT_EQ(std::get<0>(Notes(*song->tracks[0])[1]), 960);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(SongWidePasses, ConductorPassesUseTheFirstMetaOnlyTrack) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "old"), Tempo(0, 500000), End(1920)}),
                        Make(kTrackNotes, {Meta(0, 3, "part"), Note(0, 0, 60, 64, 10),
                                           End(0)})));
  song->SetConductorTitle("title");
  EXPECT_EQ(song->tracks[0]->MetaText(3), "title");
  EXPECT_EQ(song->tracks[1]->MetaText(3), "part");
  song->SetTimeSignature(3, 4);
  // The metre stands at tick 0, End of Track stays last.
  EXPECT_EQ(song->tracks[0]->events[0]->number, 0x58u);
  EXPECT_TRUE(song->tracks[0]->LastIsEndOfTrack());
  EXPECT_EQ(Ticks(*song->tracks[0]).back(), 1920);
  EXPECT_EQ(song->HasMetaAt(0, 0x58), 1);
  EXPECT_EQ(song->HasMetaAt(10, 0x58), 0);
  EXPECT_EQ(song->TempoRangeCheck(100, 140), 1);
  EXPECT_EQ(song->TempoRangeCheck(130, 140), 0);
  // Without a conductor track the tests hold.
  auto plain = Song(List(Make(kTrackNotes, {Note(0, 0, 60, 64, 10), End(0)})));
  EXPECT_EQ(plain->HasMetaAt(0, 0x58), 1);
  EXPECT_EQ(plain->TempoRangeCheck(130, 140), 1);
  plain->SetTimeSignature(3, 4);
  EXPECT_EQ(plain->tracks[0]->CountMeta(0x58), 0);
}

TEST(SongWidePasses, KeepFirstTrackNameAndMarkers) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 6, "A"), Meta(480, 6, "B"), End(0)}),
                        Make(kTrackNotes, {Meta(0, 3, "one"), Meta(0, 3, "two"),
                                           Note(0, 0, 60, 64, 10), End(0)}),
                        Make(kTrackNotes, {Meta(0, 3, "three"), Note(0, 1, 60, 64, 10),
                                           End(0)})));
  song->KeepFirstTrackName();
  EXPECT_EQ(song->tracks[1]->CountMeta(3), 1);
  EXPECT_EQ(song->tracks[1]->MetaText(3), "one");
  EXPECT_EQ(song->tracks[2]->CountMeta(3), 0);
  song->DeleteMarkersBetween(0, 480);
  EXPECT_EQ(song->tracks[0]->CountMeta(6), 1);
  EXPECT_EQ(song->tracks[0]->MetaText(6), "B");
}

TEST(SongWidePasses, TrackIndexAndStartAreChecked) {
  auto song = Song(List(Make(kTrackNotes, {Note(0, 0, 60, 64, 10), End(0)})));
  song->QuantizeTrack(5, 4, 0, 100);
  song->QuantizeTrack(-1, 4, 0, 100);
  song->SetMinimumLength(1, 60);
  EXPECT_EQ(song->CutTime(-5, 10), -5);
  EXPECT_EQ(cantrel_test::Sink().Count(), 4u);
  song->SetMinimumLength(0, 60);
  EXPECT_EQ(song->tracks[0]->events[0]->duration, 60);
}

TEST(SongWidePasses, GsResetOfAnyDeviceAndXgOnBecomeGmOn) {
  const std::vector<uint8_t> gs10 = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12,
                                     0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  std::vector<uint8_t> gs20 = gs10;
  gs20[3] = 0x20;
  std::vector<uint8_t> other = gs10;
  other[8] = 0x7E;
  const std::vector<uint8_t> xg = {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "c"), End(0)}),
                        Make(kTrackNotes, {SysEx(0, gs10), SysEx(0, gs20), SysEx(0, other),
                                           SysEx(0, xg), End(0)})));
  EXPECT_EQ(song->ReplaceGsResetWithGmOn(), 1);
  const MidiTrack& t = *song->tracks[1];
  for (int i : {0, 1}) {
    ASSERT_EQ(t.events[i]->data_length, 7);
    EXPECT_EQ(std::vector<uint8_t>(t.events[i]->data, t.events[i]->data + 7), kGmOn);
  }
  EXPECT_EQ(t.events[2]->data_length, 12);
  EXPECT_EQ(song->ReplaceGsResetWithGmOn(), 0);
  EXPECT_EQ(song->ReplaceXgOnWithGmOn(), 1);
  EXPECT_EQ(t.events[3]->data_length, 7);
}

TEST(SongWidePasses, QueriesSumAndTestOverTheTracks) {
  auto song = Song(List(Make(kTrackNotes, {Meta(0, 3, "c"), Tempo(0, 500000), End(0)}),
                        Make(kTrackNotes, {Program(0, 0, 1), Cc(0, 0, 7, 100),
                                           Note(0, 0, 60, 64, 480), Note(0, 0, 64, 64, 240),
                                           Note(0, 0, 67, 64, 960), Program(480, 0, 2), End(0)}),
                        Make(kTrackNotes, {Note(0, 9, 36, 64, 30), Note(120, 9, 38, 64, 120),
                                           Note(120, 9, 36, 64, 120), End(0)})));
  EXPECT_EQ(song->CountNotes(), 6);
  EXPECT_EQ(song->CountControlChanges(7), 1);
  EXPECT_EQ(song->CountMetaEvents(0x51), 1);
  EXPECT_EQ(song->CountVoices(), 3 + 2);
  EXPECT_EQ(song->CountChannelVoices(0), 3);
  EXPECT_EQ(song->CountChannelVoices(9), 2);
  EXPECT_EQ(song->CountChannelVoices(4), 0);
  EXPECT_EQ(song->GetMaxPolyphony(), 4);
  EXPECT_EQ(song->HasShortDrumNote(), 1);
  EXPECT_EQ(song->HasTrackWithSeveralPrograms(), 1);
  EXPECT_EQ(song->HasDrumProgram(), 0);
  EXPECT_EQ(song->HasEventBetween(kStatusProgram, 1, 480), 0);
  EXPECT_EQ(song->HasEventBetween(kStatusProgram, 1, 481), 1);
  EXPECT_EQ(song->IsOnGrid(0, 2000, 120, 0), 0);  // the 30-tick drum note
  EXPECT_EQ(song->IsOnGrid(0, 2000, 120, 1), 1);
  EXPECT_EQ(song->IsChannelOnGrid(0, 2000, 0, 240, 0), 1);
  EXPECT_EQ(song->GetLastNoteOffTick(), 960);
  EXPECT_EQ(song->GetChannelAverageNote(5), 64);
  int32_t failing = -1;
  // A program change without bank selects before it fails; the drum track has none.
  EXPECT_EQ(song->CheckBankOrder(&failing), 0);
  EXPECT_EQ(failing, 1);
  song->tracks[1]->InsertControllerAtStart(0, 32, 0);
  song->tracks[1]->InsertControllerAtStart(0, 0, 0);
  EXPECT_EQ(song->IsBankOrderValid(), 1);
  song->ToEventMode();
  EXPECT_EQ(song->GetLastNoteOffTick(), 960);
}

TEST(SongWidePasses, DrumAndNonDrumTracksAreTreatedApart) {
  auto song = Song(List(Make(kTrackNotes, {Program(0, 0, 1), Note(0, 0, 20, 64, 10),
                                           Note(10, 0, 110, 64, 30), End(0)}),
                        Make(kTrackNotes, {Program(0, 9, 3), Note(0, 9, 20, 64, 10), End(0)})));
  EXPECT_EQ(song->FoldNotesIntoRange(30, 100), 1);
  EXPECT_EQ(song->tracks[0]->events[1]->note, 32);
  EXPECT_EQ(song->tracks[0]->events[2]->note, 98);
  EXPECT_EQ(song->tracks[1]->events[1]->note, 20);
  song->SetMinimumDrumLength();
  EXPECT_EQ(song->tracks[0]->events[1]->duration, 10);
  EXPECT_EQ(song->tracks[1]->events[1]->duration, 60);
  EXPECT_EQ(song->HasDrumProgram(), 1);
  song->DeleteDrumPrograms();
  EXPECT_EQ(song->HasDrumProgram(), 0);
  EXPECT_EQ(song->tracks[0]->CountProgramChanges(), 1);
}

TEST(SongWidePasses, DrumNotesAreLimitedOnDrumTracksOnly) {
  auto song = Song(List(Make(kTrackNotes, {Program(0, 0, 1), Note(0, 0, 90, 64, 10), End(0)}),
                        Make(kTrackNotes, {Program(0, 9, 3), Note(0, 9, 90, 64, 10),
                                           Note(100, 9, 36, 64, 10), End(0)})));
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  song->CheckDrumTracks();
  EXPECT_EQ(song->tracks[0]->events[1]->note, 90);
  EXPECT_EQ(song->tracks[1]->events[1]->note, 35);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);  // the drum track's program 3
}
