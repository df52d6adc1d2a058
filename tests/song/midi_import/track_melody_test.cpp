// A track of a MIDI song turned into the melody list: lengths at 96 per quarter, rests
// for gaps, bar-long pieces, the error boxes, and the list's limit.
#include "song/track_melody.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "music/midi1_data.h"
#include "music/midi_track.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using Events = std::vector<std::pair<int32_t, int32_t>>;  // (length, pitch)

struct Note {
  int32_t tick, pitch, duration;
  int32_t velocity = 100;
};

// A note-mode track of the notes (in time order) and End of Track at `end` (-1: none).
std::unique_ptr<MidiTrack> TrackOf(const std::vector<Note>& notes, int32_t end) {
  auto track = std::make_unique<MidiTrack>(kTrackNotes, kDefaultMusicCapacity);
  int32_t last = 0;
  for (const Note& n : notes) {
    track->AddNote(0, n.tick - last, n.pitch, n.velocity, n.duration);
    last = n.tick;
  }
  if (end >= 0) track->AddEndOfTrackAt(end - last);
  return track;
}

Events Convert(const MidiTrack& track, int32_t division) {
  Events out;
  ConvertTrackToEventList(track, division, [&out](int32_t length, int32_t pitch) {
    out.emplace_back(length, pitch);
    return true;
  });
  return out;
}

int BoxCount(ProgramErrorCode code) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "OVXC%08X", code);
  int n = 0;
  for (const std::string& t : cantrel_test::Sink().Texts())
    if (t.compare(0, 12, prefix) == 0) ++n;
  return n;
}

TEST(TrackMelody, CasesAtTheirLengths) {
  struct Case {
    const char* what;
    int32_t division;
    std::vector<Note> notes;
    int32_t end;
    Events expected;
  };
  const std::vector<Case> cases = {
      {"half note, gap, quarter note at 480", 480, {{0, 60, 960}, {1440, 64, 480}}, 1920,
       {{192, 60}, {96, 0}, {96, 64}}},
      {"rest before the first note", 96, {{96, 62, 96}}, 192, {{96, 0}, {96, 62}}},
      {"legato notes get no rest", 96, {{0, 60, 96}, {96, 62, 96}}, 192, {{96, 60}, {96, 62}}},
      {"rest after the last note", 96, {{0, 60, 48}}, 96, {{48, 60}, {48, 0}}},
      {"of two notes at once the later one", 96, {{0, 60, 96}, {0, 64, 96}}, 96, {{96, 64}}},
      {"overlap: each runs to the next start", 96, {{0, 60, 200}, {96, 67, 96}}, 200,
       {{96, 60}, {96, 67}, {8, 0}}},
      {"deltas scaled one by one, truncated", 480, {{0, 60, 100}, {100, 62, 100}}, 200,
       {{20, 60}, {20, 62}}},
      {"a long note: a bar with the pitch, then rests", 96, {{0, 60, 1000}}, 1000,
       {{384, 60}, {384, 0}, {232, 0}}},
      {"exactly one bar stays whole", 96, {{0, 60, 384}}, 384, {{384, 60}}},
      {"a long gap is split too", 96, {{0, 60, 96}, {1000, 62, 96}}, 1096,
       {{96, 60}, {384, 0}, {384, 0}, {136, 0}, {96, 62}}},
      {"no End of Track: the last note keeps its length", 96, {{0, 60, 96}, {96, 62, 48}}, -1,
       {{96, 60}, {48, 62}}},
      {"End of Track inside the last note", 96, {{0, 60, 192}}, 96, {{192, 60}}},
      {"a note of velocity 0 is a rest", 96, {{0, 60, 96, 0}, {96, 62, 96}}, 192,
       {{96, 0}, {96, 62}}},
      {"an empty track", 96, {}, 0, {}},
  };
  for (const Case& c : cases) {
    auto track = TrackOf(c.notes, c.end);
    const int32_t count = track->event_count;
    EXPECT_EQ(Convert(*track, c.division), c.expected) << c.what;
    EXPECT_EQ(track->event_count, count) << c.what << ": the track is not changed";
  }
}

TEST(TrackMelody, NoDivisionGivesNothing) {
  auto track = TrackOf({{0, 60, 96}}, 96);
  EXPECT_TRUE(Convert(*track, 0).empty());
  EXPECT_TRUE(Convert(*track, -96).empty());
}

TEST(TrackMelody, LowOctaveAndBadPitchAreReported) {
  cantrel_test::Sink().Clear();
  auto low = TrackOf({{0, 11, 96}, {96, 60, 96}}, 192);
  EXPECT_EQ(Convert(*low, 96), (Events{{96, 11}, {96, 60}}));
  EXPECT_EQ(BoxCount(kTrackMelodyOctaveError), 1);
  EXPECT_EQ(BoxCount(kTrackMelodyPitchError), 0);

  cantrel_test::Sink().Clear();
  auto bad = TrackOf({{0, 60, 96}, {96, 62, 96}}, 192);
  bad->Event(0)->note = 300;  // damaged data: never handed on as a pitch
  const Events got = Convert(*bad, 96);
  EXPECT_EQ(BoxCount(kTrackMelodyPitchError), 1);
  for (const auto& [length, pitch] : got) EXPECT_TRUE(pitch >= 0 && pitch <= 127) << pitch;
  EXPECT_EQ(got.back(), (std::pair<int32_t, int32_t>{96, 62}));
}

// Over many random monophonic lines: every note comes back at its onset with its pitch,
// the lengths add up to the track's length, and no event is longer than a bar.
TEST(TrackMelody, RandomLinesComeBackNoteForNote) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<Note> notes;
    int32_t tick = 0;
    for (int i = 0, n = GneRandomRange(1, 40); i < n; ++i) {
      tick += GneRandomRange(0, 3) == 0 ? GneRandomRange(1, 500) : 0;  // sometimes a gap
      const int32_t duration = GneRandomRange(1, 600);
      notes.push_back({tick, GneRandomRange(36, 96), duration});
      tick += duration;
    }
    const int32_t end = tick + GneRandomRange(0, 200);
    auto track = TrackOf(notes, end);
    const Events got = Convert(*track, 96);
    int64_t at = 0;
    std::vector<Note> heard;
    for (const auto& [length, pitch] : got) {
      ASSERT_GT(length, 0) << "seed " << seed;
      ASSERT_LE(length, kTrackMelodyBarTicks) << "seed " << seed;
      if (pitch != 0) heard.push_back({static_cast<int32_t>(at), pitch, 0});
      at += length;
    }
    EXPECT_EQ(at, end) << "seed " << seed;
    ASSERT_EQ(heard.size(), notes.size()) << "seed " << seed;
    for (size_t i = 0; i < notes.size(); ++i) {
      EXPECT_EQ(heard[i].tick, notes[i].tick) << "seed " << seed << " note " << i;
      EXPECT_EQ(heard[i].pitch, notes[i].pitch) << "seed " << seed << " note " << i;
    }
  }
}

TEST(TrackMelody, SongTrackIntoTheImportList) {
  Midi1Data song(96, 0x60000);
  song.AddTrack(new Midi1Track(kTrackNotes, kDefaultMusicCapacity));
  Midi1Track* melody = new Midi1Track(kTrackNotes, kDefaultMusicCapacity);
  melody->AddNote(0, 0, 60, 100, 96);
  melody->AddNote(0, 192, 62, 100, 96);
  melody->AddEndOfTrackAt(96);
  song.AddTrack(melody);

  MelodyEventList list;
  ConvertTrackToEventList(song, 1, 96, list);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list[0].length, 96);
  EXPECT_EQ(list[0].pitch, 60);
  EXPECT_EQ(list[1].length, 96);
  EXPECT_EQ(list[1].pitch, 0);
  EXPECT_EQ(list[2].pitch, 62);

  list.FreeEvents();
  ConvertTrackToEventList(song, 0, 96, list);  // End of Track only
  EXPECT_EQ(list.count(), 0);
  ConvertTrackToEventList(song, 7, 96, list);  // no such track
  EXPECT_EQ(list.count(), 0);
}

TEST(TrackMelody, TheListStopsAtItsCapacity) {
  cantrel_test::Sink().Clear();
  MidiTrack track(kTrackNotes, kDefaultMusicCapacity);
  for (int i = 0; i < kTrackMelodyCapacity / 2 + 100; ++i) {
    track.AddNote(0, i == 0 ? 0 : 96, 60 + i % 12, 100, 48);  // note + rest each
  }
  track.AddEndOfTrackAt(96);
  MelodyEventList list;
  list.AppendNote(10, 0);
  ConvertTrackToEventList(track, 96, [&list](int32_t l, int32_t p) { return list.AppendNote(l, p); });
  EXPECT_EQ(list.count(), kTrackMelodyCapacity);
  EXPECT_EQ(BoxCount(kTrackMelodyListFull), 1);
  EXPECT_FALSE(list.AppendNote(1, 1));
}

}  // namespace
