// The song import's melody in the engine: one track of a MIDI song appended to the vocal
// melody list, event for event as the import's own list gets it.
#include "engine/track_melody.h"

#include <gtest/gtest.h>

#include "engine/compose_info.h"
#include "music/midi1_data.h"
#include "tests/engine/engine_fixture.h"

namespace {

using SongMelody = EngineTest;

TEST_F(SongMelody, AppendsTheTrackToTheVocalMelodyList) {
  Midi1Data song(480, 0x60000);
  auto* track = new Midi1Track(kTrackNotes, kDefaultMusicCapacity);
  track->AddNote(0, 0, 60, 100, 960);
  track->AddNote(0, 1440, 64, 100, 480);
  track->AddEndOfTrackAt(480);
  song.AddTrack(track);

  VocalMelodyList().FreeEvents();
  VocalMelodyList().AppendNote(48, 0);  // the caller empties the list; appending keeps this
  ConvertTrackToEventList(song, 0, 480);
  const EventList& list = VocalMelodyList();
  ASSERT_EQ(list.count(), 4);
  const int expected[][2] = {{48, 0}, {192, 60}, {96, 0}, {96, 64}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list[i].length, expected[i][0]) << i;
    EXPECT_EQ(list[i].pitch, expected[i][1]) << i;
    EXPECT_EQ(list[i].kind, kEventNote) << i;
  }

  MelodyEventList own;
  ConvertTrackToEventList(song, 0, 480, own);
  ASSERT_EQ(own.count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(own[i].length, list[i + 1].length);
    EXPECT_EQ(own[i].pitch, list[i + 1].pitch);
  }

  ConvertTrackToEventList(song, 5, 480);  // no such track: nothing
  EXPECT_EQ(VocalMelodyList().count(), 4);
}

TEST_F(SongMelody, StopsWhenTheListIsFull) {
  Midi1Data song(96, 0x60000);
  auto* track = new Midi1Track(kTrackNotes, kDefaultMusicCapacity);
  for (int i = 0; i < 200; ++i) track->AddNote(0, i == 0 ? 0 : 96, 60, 100, 96);
  track->AddEndOfTrackAt(96);
  song.AddTrack(track);
  VocalMelodyList().FreeEvents();
  for (int i = 0; i < kEventListCapacity - 10; ++i) VocalMelodyList().AppendNote(1, 0);
  ConvertTrackToEventList(song, 0, 96);
  EXPECT_EQ(VocalMelodyList().count(), kEventListCapacity);
  EXPECT_EQ(ErrorCount(0xFF010134u), 1);
}

}  // namespace
