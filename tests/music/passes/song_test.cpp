// Song-level operations of the format-1 song and the format-1 track clean-ups.
#include <gtest/gtest.h>

#include <algorithm>

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

TEST(Midi1TrackEdits, CollapseAndMarkers) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Cc(100, 0, 7, 80), Note(0, 0, 62, 90, 10),
                              Program(50, 0, 4), Meta(0, 6, "Am"), Note(100, 0, 64, 90, 10), End(10)});
  char text[16];
  t->GetMarkerTextInRange(0, 1000, text, sizeof text);
  EXPECT_STREQ(text, "Am");
  t->CollapseRange(100, 250);
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 10}, {250, 0, 64, 90, 10}}));
  EXPECT_EQ(t->CountEvents(kStatusController), 1);
  EXPECT_EQ(t->CountEvents(kStatusProgram), 1);
  EXPECT_EQ(t->FindFirstEventTimeOfStatus(kStatusProgram), 100);
  // More kept changes than the list holds: refused, nothing changes.
  std::vector<MidiEvent*> many;
  for (int i = 0; i < 300; ++i) many.push_back(Cc(1, 0, 7, i % 128));
  many.push_back(End(0));
  auto m = Make(kTrackNotes, many);
  m->CollapseRange(0, 1000);
  EXPECT_EQ(m->event_count, 301);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Midi1TrackEdits, MergeRescaled) {
  auto a = Make(kTrackNotes, {Meta(0, 3, "A"), Cc(0, 0, 7, 100), Note(0, 0, 60, 100, 10), End(10)});
  auto b = Make(kTrackNotes, {Meta(0, 3, "B"), Cc(0, 0, 7, 50), Cc(0, 0, 101, 0), Cc(0, 0, 100, 0),
                              Cc(0, 0, 6, 0), Note(0, 0, 64, 100, 10), End(10)});
  auto* bend = new MidiEvent(0);
  bend->status = kStatusPitchBend;
  bend->channel = 0;
  bend->SetPitchBend(9000);
  b->InsertEvent(4, 1, bend);
  a->MergeRescaled(*b, 1);
  EXPECT_EQ(a->MetaText(3), "A / B");
  std::vector<int> velocities;
  for (const NoteRow& n : Notes(*a)) velocities.push_back(std::get<3>(n));
  std::sort(velocities.begin(), velocities.end());
  EXPECT_EQ(velocities, (std::vector<int>{50, 100}));
  // A bend range of 0 leaves the bend as it was.
  int bend_value = -1;
  for (int32_t i = 0; i < a->event_count; ++i) {
    if (a->events[i]->status == kStatusPitchBend) bend_value = a->events[i]->GetPitchBend();
  }
  EXPECT_EQ(bend_value, 9000);
  auto other_channel = Make(kTrackNotes, {Note(0, 5, 64, 100, 10), End(10)});
  cantrel_test::Sink().Clear();
  a->MergeRescaled(*other_channel, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(ConvertSmfFormat, BothWaysAndTooSmallABlock) {
  // A format-0 file of one note on channel 2.
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                               'M', 'T', 'r', 'k', 0, 0, 0, 12, 0x00, 0x92, 60, 100,
                               0x60, 0x82, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
  const std::vector<uint8_t> original = file;
  std::vector<uint8_t> block(file);
  block.resize(4096);
  int32_t size = static_cast<int32_t>(file.size());
  // Too small a block: reported, the bytes stay.
  EXPECT_EQ(ConvertSmfFormat(block.data(), &size, 1, 100), 0);
  EXPECT_EQ(size, static_cast<int32_t>(original.size()));
  EXPECT_TRUE(std::equal(original.begin(), original.end(), block.begin()));
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("03000019"), std::string::npos);
  cantrel_test::Sink().Clear();
  EXPECT_EQ(ConvertSmfFormat(block.data(), &size, 1, 4096), 1);
  EXPECT_EQ(PeekSmfFormat(block.data(), size), 1);
  EXPECT_EQ(block[11], 17);  // tracks
  EXPECT_EQ(ConvertSmfFormat(block.data(), &size, 0, 4096), 1);
  EXPECT_EQ(PeekSmfFormat(block.data(), size), 0);
  Midi0Data back(block.data(), size);
  ASSERT_NE(back.track, nullptr);
  EXPECT_EQ(back.track->GetNoteCount(), 1);
}
