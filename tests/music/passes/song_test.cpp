// Song-level operations of the format-1 song and the format-1 track clean-ups.
#include <gtest/gtest.h>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

Midi1Track* AddTrack(Midi1Data& song, int32_t mode, const std::vector<MidiEvent*>& events) {
  auto* track = new Midi1Track(mode, kDefaultMusicCapacity);
  for (MidiEvent* e : events) track->AddEvent(e);
  song.AddTrack(track);
  return track;
}

}  // namespace

TEST(Midi1Song, KeepOnlyChannelKeepsTheConductor) {
  Midi1Data song(96, kDefaultMusicCapacity);
  AddTrack(song, kTrackNotes, {Tempo(0, 500000), End(0)});
  AddTrack(song, kTrackNotes, {Note(0, 2, 60, 90, 10), End(10)});
  AddTrack(song, kTrackNotes, {Note(0, 3, 60, 90, 10), End(10)});
  song.KeepOnlyChannel(3);
  ASSERT_EQ(song.track_count, 2);
  EXPECT_EQ(song.tracks[0]->IsMetaOnly(), 1);
  EXPECT_EQ(song.tracks[1]->GetChannel(), 3);
}

TEST(Midi1Song, InsertEventOnChannelInAFullSong) {
  Midi1Data song(96, kDefaultMusicCapacity);
  for (int i = 0; i < kMaxSongTracks; ++i) AddTrack(song, kTrackNotes, {Tempo(0, 500000), End(0)});
  auto* e = new MidiEvent(0);
  e->SetControlChange(5, 7, 100);
  song.InsertEventOnChannel(5, e, 96);  // freed, not leaked (the sanitizer would say)
  EXPECT_EQ(song.track_count, kMaxSongTracks);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("03000001"), std::string::npos);
  Midi1Data small(96, kDefaultMusicCapacity);
  auto* f = new MidiEvent(0);
  f->SetControlChange(5, 7, 100);
  small.InsertEventOnChannel(5, f, 96);
  ASSERT_EQ(small.track_count, 1);
  EXPECT_EQ(Ticks(*small.tracks[0]), (std::vector<int64_t>{96, 96}));
}

TEST(Midi1Song, MergeTracksByChannel) {
  Midi1Data song(96, kDefaultMusicCapacity);
  AddTrack(song, kTrackNotes, {Note(0, 4, 60, 90, 10), End(10)});
  AddTrack(song, kTrackNotes, {Tempo(0, 500000), End(0)});
  AddTrack(song, kTrackNotes, {Note(5, 4, 62, 90, 10), End(10)});
  AddTrack(song, kTrackNotes, {Note(5, 20, 62, 90, 10), End(10)});
  song.MergeTracksByChannel();
  ASSERT_EQ(song.track_count, 17);
  EXPECT_EQ(song.tracks[4]->GetNoteCount(), 2);
  EXPECT_EQ(song.tracks[1]->CountMeta(0x51), 1);
  EXPECT_EQ(song.tracks[0]->IsEmpty(), 1);
  EXPECT_EQ(song.tracks[16]->GetChannel(), 20);
}

TEST(Midi1Song, LimitPolyphonyKeepsTrackNames) {
  Midi1Data song(96, kDefaultMusicCapacity);
  AddTrack(song, kTrackNotes, {Meta(0, 3, "Piano"), Note(0, 1, 60, 90, 100), Note(0, 1, 64, 90, 100),
                               Note(0, 1, 67, 90, 100), End(100)});
  AddTrack(song, kTrackNotes, {Meta(0, 3, "Bass"), Note(0, 0, 40, 90, 100), End(100)});
  song.LimitPolyphony(3);
  ASSERT_EQ(song.track_count, 17);
  EXPECT_EQ(song.tracks[1]->MetaText(3), "Bass");
  EXPECT_EQ(song.tracks[2]->MetaText(3), "Piano");
  int notes = 0;
  for (int t = 0; t < song.track_count; ++t) notes += song.tracks[t]->GetNoteCount();
  EXPECT_EQ(notes, 3);
  EXPECT_EQ(song.tracks[2]->HasPitch(60), 0);
}

TEST(Midi1Song, CollectTemposStopsAtTheRecords) {
  Midi1Data song(96, kDefaultMusicCapacity);
  std::vector<MidiEvent*> tempos;
  for (int i = 0; i < 600; ++i) tempos.push_back(Tempo(10, 500000 + i));
  tempos.push_back(End(0));
  AddTrack(song, kTrackNotes, tempos);
  auto records = std::make_unique<int32_t[][2]>(kMaxTempoRecords);
  EXPECT_EQ(song.CollectTempos(records.get()), 512);
  EXPECT_EQ(records[511][0], 5120);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Midi1Song, NormaliseAndChannels) {
  Midi1Data song(96, kDefaultMusicCapacity);
  AddTrack(song, kTrackNotes, {Cc(0, 0, 7, 50), Note(0, 0, 60, 64, 10), End(10)});
  AddTrack(song, kTrackNotes, {Cc(0, 1, 7, 100), Note(0, 1, 60, 32, 10), End(10)});
  song.NormaliseController(7);
  EXPECT_EQ(song.tracks[0]->events[0]->value, 63);
  EXPECT_EQ(song.tracks[1]->events[0]->value, 127);
  song.NormaliseVelocities();
  EXPECT_EQ(song.tracks[0]->events[1]->velocity, 127);
  EXPECT_EQ(song.FindFreeChannel(), 2);
  int second = -1;
  EXPECT_EQ(song.CountChannels(&second), 2);
  EXPECT_EQ(second, 0);
}

TEST(Midi1TrackCleanup, QueriesAndGuards) {
  auto conductor = Make(kTrackNotes, {Tempo(0, 500000), Meta(0, 0x58, std::string("\x04\x02\x18\x08", 4)), End(0)});
  EXPECT_EQ(conductor->IsMetaOnly(), 1);
  auto end_only = Make(kTrackNotes, {End(0)});
  EXPECT_EQ(end_only->IsMetaOnly(), 0);
  EXPECT_EQ(end_only->IsEmpty(), 1);
  EXPECT_EQ(end_only->AveragePitch(), 64);
  auto chords = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Note(10, 0, 60, 90, 10), Note(0, 0, 64, 90, 10),
                                   Note(0, 0, 67, 90, 10), End(10)});
  EXPECT_EQ(chords->LargestChord(), 3);
  cantrel_test::Sink().Clear();
  chords->ThinToVoices(0);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("０ボイスには間引けません。"), std::string::npos);
  chords->ThinToVoices(1);
  EXPECT_EQ(chords->GetMaxPolyphony(1), 1);
  cantrel_test::Sink().Clear();
  chords->ReducePitchCount(0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  auto pitches = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Note(10, 0, 62, 90, 10),
                                    Note(10, 0, 60, 90, 10), Note(10, 0, 64, 90, 10), End(10)});
  pitches->ReducePitchCount(1);
  EXPECT_EQ(pitches->CountAllDistinctPitches(), 1);
  EXPECT_EQ(pitches->HasPitch(60), 1);
}

TEST(Midi1TrackCleanup, MonophonicNoteModeInOneWalk) {
  auto t = Make(kTrackEvents, {On(0, 0, 60, 90), Off(100, 0, 61), On(0, 0, 62, 80), Off(50, 0, 62),
                               Off(10, 0, 70), On(0, 0, 64, 70), On(0, 0, 65, 70), Off(20, 0, 64),
                               End(30)});
  t->ToMonophonicNoteMode();
  EXPECT_EQ(t->mode, kTrackNotes);
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 100},
                                             {100, 0, 62, 80, 50},
                                             {160, 0, 64, 70, 20}}));
  EXPECT_EQ(Ticks(*t).back(), 210);
}
