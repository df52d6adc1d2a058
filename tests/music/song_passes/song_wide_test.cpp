// Song-wide passes and queries of the format-1 song.
#include <gtest/gtest.h>

#include "music/midi1_data.h"
#include "tests/music/passes/passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

MidiEvent* SysEx(int32_t delta, const std::vector<uint8_t>& bytes) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusSysEx;
  e->channel = kNoChannel;
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

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
