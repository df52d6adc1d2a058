// Track questions: channel, programs, controllers, times, tempi, counts, predicates.
#include <gtest/gtest.h>

#include <cmath>

#include "music/midi_track.h"
#include "tests/support/test_support.h"

namespace {

MidiEvent* Make(uint32_t status, int32_t delta, int32_t channel = kNoChannel, uint32_t number = 0,
                int32_t value = 0) {
  MidiEvent* e = new MidiEvent(delta);
  e->status = status;
  e->channel = channel;
  e->number = number;
  e->value = value;
  return e;
}

// Note mode: GM System On, tempo 600000 at 0, program 5 and volume on channel 3, notes
// at 0 (60, 96 long), 96 (64, 48 long) and 384 (67, 30 long, velocity 120), a tempo of
// 400000 at 192, End of Track at 400.
std::unique_ptr<MidiTrack> Song() {
  auto t = std::make_unique<MidiTrack>(kTrackNotes, 0x1000);
  MidiEvent* gm = Make(kStatusSysEx, 0);
  const uint8_t bytes[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  gm->SetData(bytes, 7);
  gm->number = SysExKind::kGmSystemOn;
  t->AddEvent(gm);
  t->AddTempo(600000);
  t->AddProgramChange(3, 5);
  t->AddControlChange(3, 7, 90);
  t->AddNote(3, 0, 60, 100, 96);
  t->AddNote(3, 96, 64, 100, 48);
  t->AddEvent(Make(kStatusMeta, 96, kNoChannel, 0x51, 400000));
  t->AddNote(3, 192, 67, 120, 30);
  t->AddEndOfTrackAt(16);
  return t;
}

}  // namespace

TEST(TrackQuery, ChannelAndPrograms) {
  auto t = Song();
  EXPECT_EQ(t->GetChannel(), 3);
  EXPECT_EQ(t->GetFirstProgramOfChannel(3), 5);
  EXPECT_EQ(t->GetLastProgram(3), 5);
  EXPECT_EQ(t->GetFirstProgramOfChannel(4), -1);
  EXPECT_EQ(t->GetFirstNonZeroProgram(3), 5);
  int flags[128];
  t->ProgramsUsed(3, flags);
  EXPECT_EQ(flags[0], 1);
  EXPECT_EQ(flags[5], 1);
  EXPECT_EQ(flags[6], 0);
  EXPECT_EQ(t->GetProgramBefore(3, 0, 0), -1);
  EXPECT_EQ(t->GetProgramBefore(3, 0, 1), 5);
  EXPECT_EQ(t->GetVolume(0), 90);
  EXPECT_EQ(t->GetPan(0), -1);
  int32_t channel = -1;
  EXPECT_EQ(t->FindFirstController(7, &channel), 0);
  EXPECT_EQ(channel, 3);
  EXPECT_EQ(t->GetMaxControllerValue(7), 90);
  EXPECT_EQ(t->GetPitchBendAt(3, 100), 8192);
}

TEST(TrackQuery, Times) {
  auto t = Song();
  EXPECT_EQ(t->GetEventTime(-1), 0);
  EXPECT_EQ(t->GetEventTime(5), 96);
  EXPECT_EQ(t->IndexAtTime(96), 5);
  EXPECT_EQ(t->IndexAtTime(100000), t->event_count - 1);
  MidiTrack empty(kTrackNotes, 16);
  EXPECT_EQ(empty.IndexAtTime(0), -1);
  EXPECT_EQ(t->GetGroupEnd(0), 4);
  EXPECT_EQ(t->GetTimeToNextNote(3), 0);   // a note follows at the same tick
  EXPECT_EQ(t->GetTimeToNextNote(7), -1);  // none after the last note
  EXPECT_EQ(t->GetTimeToNextNoteOn(t->event_count - 1), -1);
  EXPECT_EQ(t->GetTimeToNextNoteOn(t->event_count + 3), 0);
  EXPECT_EQ(t->GetFirstNoteOnTime(), 0);
  EXPECT_EQ(t->GetFirstNoteTimeBetween(10, 300), 96);
  EXPECT_EQ(t->GetFirstNoteTimeBetween(200, 300), 384);  // the first event at or after 300
  EXPECT_EQ(t->GetLastNoteStartBetween(0, 384), 96);
  EXPECT_EQ(t->GetNoteDurationAt(96), 48);
  EXPECT_EQ(t->GetNoteDurationAt(97), -1);
  int32_t pitch, at;
  t->FindHighestNoteFrom(50, &pitch, &at);
  EXPECT_EQ(pitch, 67);
  EXPECT_EQ(at, 384);
  EXPECT_EQ(t->FindFirstNote(), 4);
  EXPECT_EQ(t->GetEndTime(), 414);
  EXPECT_EQ(t->GetLength(), 414);  // the last note outlasts End of Track at 400
  EXPECT_EQ(t->GetLastNoteOffTimeAny(), 414);
}

TEST(TrackQuery, TempoAndSeconds) {
  auto t = Song();
  EXPECT_EQ(t->GetTempoAt(0), 600000);
  EXPECT_EQ(t->GetTempoAt(191), 600000);
  EXPECT_EQ(t->GetTempoAt(192), 400000);
  MidiTrack bare(kTrackEvents, 16);
  bare.AddEndOfTrackAt(96);
  EXPECT_EQ(bare.GetTempoAt(0), 600000);  // two defaults that differ
  int32_t tempo = 0;
  EXPECT_EQ(bare.GetMicrosecondsAt(96, 96, 0, &tempo), 500000);
  EXPECT_EQ(tempo, 500000);
  MidiTrack nothing(kTrackEvents, 16);
  EXPECT_EQ(nothing.GetMicrosecondsAt(0, 96, 0, &tempo), 0);
  EXPECT_EQ(tempo, 500000);
  int32_t first = 0;
  EXPECT_EQ(t->GetFirstTempo(&first), 1);
  EXPECT_EQ(first, 600000);
  EXPECT_EQ(t->GetNthTempo(&first, 3), 0);
  EXPECT_EQ(first, 400000);
  // 192 ticks at 600000 (the tempo at 0 takes effect after the span up to it, so the
  // first 0 ticks go at 500000), then 96 at 400000.
  EXPECT_NEAR(t->GetSecondsUpTo(0, 288, 96), 1.2 + 0.4, 1e-9);
  EXPECT_NEAR(t->GetSecondsBetween(96, 288, 96), 0.6 + 0.4, 1e-9);
  EXPECT_EQ(t->TempoWithin(90, 160), 1);
  EXPECT_EQ(t->TempoWithin(110, 160), 0);
  EXPECT_EQ(t->GetTimeSignatureAt(100), 0x404);
}

TEST(TrackQuery, CountsAndPredicates) {
  auto t = Song();
  EXPECT_EQ(t->GetNoteCount(), 3);
  EXPECT_EQ(t->CountNotesOfChannel(3), 3);
  EXPECT_EQ(t->CountPitch(64), 1);
  EXPECT_EQ(t->CountNotesBetween(0, 384), 2);
  EXPECT_EQ(t->CountMeta(0x51), 2);
  EXPECT_EQ(t->CountAllDistinctPitches(), 3);
  const int32_t excluded[1] = {60};
  EXPECT_EQ(t->CountDistinctPitches(excluded, 1), 2);
  EXPECT_EQ(t->GetMaxVelocity(), 120);
  EXPECT_EQ(t->HasSysExKindAt(0, SysExKind::kGmSystemOn), 1);
  EXPECT_EQ(t->HasMetaValueAt(192, 0x51, 400000), 1);
  EXPECT_EQ(t->HasProgramChangeAt(96), 0);
  EXPECT_EQ(t->HasStatusBetween(kStatusNote, 100, 384), 0);
  EXPECT_EQ(t->HasStatusBetween(kStatusNote, 100, 385), 1);
  EXPECT_EQ(t->AllValuesEqual(kStatusProgram, 5), 1);
  EXPECT_EQ(t->AllNumberValuesEqual(kStatusController, 7, 91), 0);
  EXPECT_EQ(t->AllValuesWithin(kStatusController, 7, 0, 100), 1);
  EXPECT_EQ(t->IsOnGrid(48), 0);
  EXPECT_EQ(t->IsOnGridBetween(0, 191, 48), 1);
  EXPECT_EQ(t->HasShortNote(-1), 1);
  EXPECT_EQ(t->HasShortNote(2), 0);
  EXPECT_EQ(t->HasOverlappingNotes(), 0);
}

TEST(TrackQuery, SoundingNotes) {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddEvent(Make(kStatusNoteOn, 0, 0, 0, 0));
  t->events[0]->note = 60;
  t->events[0]->velocity = 100;
  t->AddEvent(Make(kStatusNoteOff, 96, 0));
  t->events[1]->note = 60;
  t->AddEndOfTrackAt(96);
  EXPECT_EQ(t->NoNotesSoundingAt(50), 0);
  EXPECT_EQ(t->NoNotesSoundingAt(97), 1);
  EXPECT_EQ(t->NotesActiveBetween(100, 150), 0);
  EXPECT_EQ(t->NotesActiveBetween(50, 60), 1);
  EXPECT_EQ(t->GetLastNoteOffTime(), 96);
}

TEST(TrackQuery, TimeSignaturesOnBarLines) {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddTimeSignature(3, 2);
  t->AddEvent(Make(kStatusMeta, 96 * 3 * 2, kNoChannel, 0x58, 0x404));
  t->AddEndOfTrack();
  EXPECT_EQ(t->TimeSignaturesOnBarLines(96), 1);
  t->events[1]->delta += 96;
  EXPECT_EQ(t->TimeSignaturesOnBarLines(96), 0);
}

TEST(TrackQuery, WrongModesReturnTheirDefaults) {
  MidiTrack t(kTrackChunk, 16);
  EXPECT_EQ(t.GetNoteDurationAt(0), -1);
  EXPECT_EQ(t.GetNoteCount(), 0);
  EXPECT_EQ(t.GetProgramBefore(0, 0, 1), -1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}
