// The format-1 track's melody finishing passes and bend clean-ups.
#include <gtest/gtest.h>

#include <memory>

#include "music/midi1_track.h"
#include "tests/music/songs/songs_test_util.h"
#include "tests/support/test_support.h"

using namespace songs_test;

namespace {

std::unique_ptr<Midi1Track> Track(int32_t mode, const std::vector<MidiEvent*>& events) {
  auto track = std::make_unique<Midi1Track>(mode, kDefaultMusicCapacity);
  for (MidiEvent* e : events) track->AddEvent(e);
  return track;
}

std::vector<int> Values(const MidiTrack& track, uint32_t status, int number = -1) {
  std::vector<int> values;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    if (e->status != status || (number >= 0 && e->number != static_cast<uint32_t>(number))) continue;
    values.push_back(status == kStatusPitchBend ? e->GetPitchBend() : e->value);
  }
  return values;
}

// Ticks of the events of a status (and controller number).
std::vector<int64_t> TicksOfNumber(const MidiTrack& track, uint32_t status, int number) {
  std::vector<int64_t> ticks;
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    at += track.events[i]->delta;
    if (track.events[i]->status == status && track.events[i]->number == static_cast<uint32_t>(number)) {
      ticks.push_back(at);
    }
  }
  return ticks;
}

}  // namespace

TEST(Midi1Track, ConstructorsHalveTheCapacity) {
  Midi1Track empty(0x1000);
  EXPECT_EQ(empty.capacity, 0x800);
  EXPECT_EQ(empty.mode, kTrackEmpty);
  Midi1Track ended(kTrackNotes, 0, 0x1000);
  EXPECT_EQ(ended.event_count, 1);
  EXPECT_TRUE(ended.LastIsEndOfTrack());
  const Bytes chunk = Chunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  Midi1Track parsed(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0, 0x1000);
  EXPECT_EQ(parsed.mode, kTrackEvents);
  EXPECT_EQ(parsed.event_count, 3);
}

TEST(Midi1Track, DecayVelocity) {
  EXPECT_EQ(Midi1Track::DecayVelocity(100, 2), 81);
  EXPECT_EQ(Midi1Track::DecayVelocity(100, 6), 51);
  EXPECT_EQ(Midi1Track::DecayVelocity(100, 7), 100);
  EXPECT_EQ(Midi1Track::DecayVelocity(100, 0), 100);
}

TEST(Midi1Track, LimitNoteLengths) {
  auto track = Track(kTrackNotes, {Note(0, 0, 60, 100, 10), Note(96, 0, 62, 100, 10),
                                   Note(904, 0, 64, 100, 900), EndOfTrack(200)});
  track->LimitNoteLengths(384);
  EXPECT_EQ(track->events[0]->duration, 96);
  EXPECT_EQ(track->events[1]->duration, 384);
  EXPECT_EQ(track->events[2]->duration, 200);
  // Chord notes reach the next note that starts later.
  auto chord = Track(kTrackNotes, {Note(0, 0, 60, 100, 10), Note(0, 0, 64, 100, 10),
                                   Note(96, 0, 62, 100, 10)});
  chord->LimitNoteLengths(384);
  EXPECT_EQ(chord->events[0]->duration, 96);
  EXPECT_EQ(chord->events[1]->duration, 96);
  EXPECT_EQ(chord->events[2]->duration, 0);  // nothing follows
}

TEST(Midi1Track, BendsToNotes) {
  auto track = Track(kTrackNotes, {Bend(0, 0, 0x3000), Note(0, 0, 60, 100, 96), Note(96, 0, 125, 100, 96),
                                   Controller(0, 0, 1, 64), EndOfTrack(96)});
  track->BendsToNotes(12);
  ASSERT_EQ(track->CountEvents(kStatusNote), 2);
  EXPECT_EQ(track->CountEvents(kStatusPitchBend), 0);
  EXPECT_EQ(track->CountEvents(kStatusController), 0);
  EXPECT_EQ(track->events[0]->note, 66);
  EXPECT_EQ(track->events[0]->velocity, 51);
  EXPECT_EQ(track->events[1]->note, 127);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].substr(0, 12), "M1TK03000014");
}

TEST(Midi1Track, BendInsideANoteSplitsIt) {
  auto track = Track(kTrackNotes, {Note(0, 0, 60, 100, 96), Bend(48, 0, 0x2000 + 2 * 682),
                                   Bend(48, 0, 0x2000), EndOfTrack(0)});
  track->BendsToNotes(12);
  ASSERT_EQ(track->CountEvents(kStatusNote), 2);
  EXPECT_EQ(TicksOf(*track, kStatusNote), (std::vector<int64_t>{0, 48}));
  EXPECT_EQ(track->events[0]->note, 60);
  EXPECT_EQ(track->events[0]->duration, 48);
  EXPECT_EQ(track->events[1]->note, 62);
  EXPECT_EQ(track->events[1]->duration, 48);
  EXPECT_EQ(track->events[1]->velocity, 81);
  track->BendsToNotes(0);  // nothing
  EXPECT_EQ(track->CountEvents(kStatusNote), 2);
}

TEST(Midi1Track, BendRange) {
  auto none = Track(kTrackEvents, {EndOfTrack(0)});
  EXPECT_EQ(none->GetBendRange(), 12);
  auto two = Track(kTrackEvents, {Controller(0, 0, 101, 0), Controller(0, 0, 100, 0), Controller(0, 0, 6, 2),
                                  Controller(0, 0, 101, 0), Controller(0, 0, 100, 0), Controller(0, 0, 6, 7),
                                  EndOfTrack(0)});
  EXPECT_EQ(two->GetBendRange(), 7);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(two->GetBendRange(), 7);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);  // once until reset
  two->RemoveBendRangeData();
  EXPECT_EQ(two->CountEvents(kStatusController), 4);
  EXPECT_EQ(two->GetBendRange(), 12);

  auto meta = Track(kTrackNotes, {Meta(0, 3, "name"), EndOfTrack(0)});
  meta->InsertBendRange(12);
  EXPECT_EQ(meta->event_count, 2);
  auto notes = Track(kTrackNotes, {Controller(0, 3, 7, 100), Note(0, 3, 60, 100, 96), EndOfTrack(96)});
  notes->InsertBendRange(12);
  EXPECT_EQ(Values(*notes, kStatusController), (std::vector<int>{100, 0, 0, 12}));
  // At tick 0 after the events already there, on the track's channel.
  EXPECT_EQ(notes->events[1]->status, kStatusNote);
  EXPECT_EQ(notes->events[4]->number, 6u);
  EXPECT_EQ(notes->events[4]->channel, 3);
}

TEST(Midi1Track, Glides) {
  auto track = Track(kTrackNotes, {Note(0, 0, 60, 100, 96), Note(96, 0, 62, 100, 96), EndOfTrack(96)});
  track->AddGlides(24, 8, 12);
  const auto bends = Values(*track, kStatusPitchBend);
  // A centred bend before each note, eight glide steps, the last note falls by
  // the range, and a centred bend before End of Track.
  ASSERT_EQ(bends.size(), 2u + 8u + 8u + 1u);
  EXPECT_EQ(bends[0], 0x2000);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(bends[1 + k], 0x2000 + k * 170);
  EXPECT_EQ(bends[9], 0x2000);
  EXPECT_EQ(bends[10 + 7], 0x2000 - 7 * 1023);
  const auto ticks = TicksOf(*track, kStatusPitchBend);
  EXPECT_EQ(ticks[1], 72);
  EXPECT_EQ(ticks[8], 93);
  EXPECT_EQ(ticks[9], 96);
  EXPECT_EQ(TicksOf(*track, kStatusNote), (std::vector<int64_t>{0, 96}));
  EXPECT_EQ(Ticks(*track).back(), 192);

  auto refused = Track(kTrackNotes, {Note(0, 0, 60, 100, 96), EndOfTrack(96)});
  refused->AddGlides(25, 8, 12);
  EXPECT_EQ(refused->event_count, 2);
  refused->AddGlides(24, 8, 0);
  EXPECT_EQ(refused->event_count, 2);
}

TEST(Midi1Track, VibratoAndSwell) {
  // In the engine's order: vibrato, then the swell.
  auto track = Track(kTrackNotes, {Note(0, 2, 60, 100, 480), Note(480, 2, 62, 100, 48), EndOfTrack(48)});
  track->AddDelayedVibrato(96);
  EXPECT_EQ(Values(*track, kStatusController, 1), (std::vector<int>{0, 127, 0}));
  EXPECT_EQ(TicksOfNumber(*track, kStatusController, 1), (std::vector<int64_t>{0, 96, 480}));
  track->AddExpressionSwell(48, 4);
  EXPECT_EQ(Values(*track, kStatusController, 11), (std::vector<int>{103, 111, 119, 127}));
  EXPECT_EQ(TicksOfNumber(*track, kStatusController, 11), (std::vector<int64_t>{0, 12, 24, 36}));
  EXPECT_EQ(TicksOf(*track, kStatusNote), (std::vector<int64_t>{0, 480}));
  EXPECT_EQ(TicksOfNumber(*track, kStatusController, 1), (std::vector<int64_t>{0, 96, 480}));
  EXPECT_EQ(Ticks(*track).back(), 528);
  track->AddExpressionSwell(48, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Midi1Track, RedundantBends) {
  auto track = Track(kTrackEvents, {Bend(0, 0, 0x2000), Bend(10, 0, 0x2100), Bend(10, 0, 0x2200),
                                    Bend(10, 0, 0x2200), NoteOn(10, 0, 60, 100), NoteOff(10, 0, 60),
                                    EndOfTrack(0)});
  track->RemoveRedundantBends();
  EXPECT_EQ(Values(*track, kStatusPitchBend), (std::vector<int>{0x2000, 0x2200}));
  EXPECT_EQ(TicksOf(*track, kStatusNoteOn), std::vector<int64_t>{40});
}

TEST(Midi1Track, ConvertBendRange) {
  auto track = Track(kTrackEvents, {Controller(0, 0, 101, 0), Controller(0, 0, 100, 0), Controller(0, 0, 6, 2),
                                    Bend(0, 0, 0x2000 + 1000), Bend(10, 0, 0x3FFF), EndOfTrack(0)});
  track->ConvertBendRange(12);
  EXPECT_EQ(Values(*track, kStatusController, 6), std::vector<int>{12});
  const auto bends = Values(*track, kStatusPitchBend);
  ASSERT_EQ(bends.size(), 2u);
  EXPECT_EQ(bends[0], 0x2000 + 166);
  EXPECT_EQ(bends[1], 0x2000 + 1365);
}

TEST(Midi1Track, RpnHelpers) {
  auto track = Track(kTrackEvents, {Controller(0, 4, 7, 100), EndOfTrack(0)});
  track->InsertRpn(1, 2, 0, 0, 5);
  int32_t index = 0;
  EXPECT_EQ(track->FindRpnData(&index, 0, 0), 5);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(track->FindRpnData(&index, 0, 1), -1);
  track->InsertRpn(4, 2, 0, 0, 5);  // the same range again
  track->InsertRpn(0, 1, 0, 0, 5);  // wrong flag
  EXPECT_EQ(track->event_count, 8);
  track->RemoveRedundantRpn();
  EXPECT_EQ(Values(*track, kStatusController, 6), std::vector<int>{5});
  EXPECT_EQ(track->SetControllerValues(7, 90), track->event_count);
  EXPECT_EQ(Values(*track, kStatusController, 7), std::vector<int>{90});
}

TEST(Midi1Track, DeleteBendsInNote) {
  auto notes = Track(kTrackNotes, {Note(0, 0, 60, 100, 96), Bend(10, 0, 9000), Bend(90, 0, 9100), EndOfTrack(0)});
  notes->DeleteBendsInNote(0);
  EXPECT_EQ(Values(*notes, kStatusPitchBend), std::vector<int>{9100});
  auto events = Track(kTrackEvents, {NoteOn(0, 0, 60, 100), Bend(10, 0, 9000), NoteOff(10, 0, 60),
                                     Bend(10, 0, 9100), EndOfTrack(0)});
  events->DeleteBendsInNote(0);
  EXPECT_EQ(Values(*events, kStatusPitchBend), std::vector<int>{9100});
  EXPECT_EQ(TicksOf(*events, kStatusNoteOff), std::vector<int64_t>{20});
}
