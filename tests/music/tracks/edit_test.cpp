// Event list editing: insertion at ticks, deletion, compaction, swaps, regrouping and
// the builders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/midi_track.h"
#include "tests/support/test_support.h"

namespace {

// Three events: a controller at 0, two programs at 480, End of Track at 960.
std::unique_ptr<MidiTrack> Sample() {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddControlChange(0, 7, 100);
  t->AddProgramChange(0, 1);
  t->events[1]->delta = 480;
  t->AddProgramChange(0, 2);
  t->AddEndOfTrackAt(480);
  return t;
}

// "tick:status" per event.
std::string Layout(const MidiTrack& t) {
  std::string s;
  int64_t tick = 0;
  for (int32_t i = 0; i < t.event_count; ++i) {
    tick += t.events[i]->delta;
    char b[48];
    std::snprintf(b, sizeof b, "%s%lld:%x", i ? " " : "", static_cast<long long>(tick),
                  t.events[i]->status == kStatusController ? 0xB0u
                  : t.events[i]->status == kStatusProgram  ? 0xC0u + static_cast<unsigned>(t.events[i]->value)
                                                           : t.events[i]->status);
    s += b;
  }
  return s;
}

MidiEvent* Pressure(int32_t value) {
  MidiEvent* e = new MidiEvent(0);
  e->status = kStatusChannelPressure;
  e->value = value;
  return e;
}

}  // namespace

TEST(TrackEdit, InsertAtTickWithPlacements) {
  auto t = Sample();
  t->InsertEventAtTime(480, Pressure(1), 2);
  EXPECT_EQ(Layout(*t), "0:b0 480:d0 480:c1 480:c2 960:ff");
  t->InsertEventAtTime(480, Pressure(2));
  EXPECT_EQ(Layout(*t), "0:b0 480:d0 480:c1 480:c2 480:d0 960:ff");
  t->InsertEventAtTime(960, Pressure(3), 2);
  t->InsertEventAtTime(960, Pressure(4), 1);
  EXPECT_EQ(Layout(*t), "0:b0 480:d0 480:c1 480:c2 480:d0 960:d0 960:d0 960:ff");
  EXPECT_EQ(t->events[6]->value, 4);
}

TEST(TrackEdit, InsertPastTheEndMovesEndOfTrack) {
  auto t = Sample();
  MidiEvent* note = new MidiEvent(0);
  note->SetNote(0, 60, 100, 10);
  t->InsertEventAtTime(1200, note);
  EXPECT_EQ(Layout(*t), "0:b0 480:c1 480:c2 1200:10 1200:ff");
  auto u = Sample();
  MidiEvent* early = new MidiEvent(0);
  early->SetNote(0, 60, 100, 10);
  u->InsertEventAtTime(700, early);
  EXPECT_EQ(Layout(*u), "0:b0 480:c1 480:c2 700:10 960:ff");
  // An End of Track at a later tick moves the end.
  MidiEvent* end = new MidiEvent(0);
  end->status = kStatusMeta;
  end->number = 0x2F;
  u->InsertEventAtTime(1500, end);
  EXPECT_EQ(Layout(*u), "0:b0 480:c1 480:c2 700:10 1500:ff");
  EXPECT_EQ(u->event_count, 5);
}

TEST(TrackEdit, InsertBeforeTheLastEvent) {
  auto t = Sample();
  t->InsertEventAtTime(-1, Pressure(1));
  EXPECT_EQ(Layout(*t), "0:b0 480:c1 480:c2 960:d0 960:ff");
}

TEST(TrackEdit, DeletingKeepsTheOtherTicks) {
  auto t = Sample();
  t->DeleteEvent(0);
  EXPECT_EQ(Layout(*t), "480:c1 480:c2 960:ff");
  EXPECT_EQ(t->DeleteEvent(5), 3);
}

TEST(TrackEdit, CompactDropsTrailingDeletedDeltas) {
  auto t = Sample();
  t->events[1]->MarkDeleted();
  t->events[3]->MarkDeleted();
  t->Compact();
  EXPECT_EQ(Layout(*t), "0:b0 480:c2");
}

TEST(TrackEdit, Swaps) {
  auto t = Sample();
  t->SwapEvents(0, 1);
  EXPECT_EQ(Layout(*t), "0:c1 480:b0 480:c2 960:ff");
  auto u = Sample();
  u->SwapEventsChecked(0, 1);
  EXPECT_EQ(Layout(*u), "480:c1 480:b0 480:c2 960:ff");
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);  // a delta was not 0
  u->SwapEventPointers(1, 2);
  EXPECT_EQ(Layout(*u), "480:c1 480:c2 480:b0 960:ff");
}

TEST(TrackEdit, MoveEventBack) {
  auto t = Sample();
  t->MoveEventBack(2, 0);
  EXPECT_EQ(Layout(*t), "0:c2 480:b0 480:c1 960:ff");
  t->MoveEventBack(0, 2);
  EXPECT_EQ(cantrel_test::Sink().Texts().at(0).rfind("MDTK0D000029", 0), 0u);
}

TEST(TrackEdit, EndOfTrackHousekeeping) {
  auto t = Sample();
  MidiEvent* stray = new MidiEvent(0);
  stray->status = kStatusMeta;
  stray->number = 0x2F;
  t->InsertEvent(0, 2, stray);
  t->KeepOneEndOfTrack();
  EXPECT_EQ(Layout(*t), "0:b0 480:c1 480:c2 960:ff");
  t->DeleteAllEndOfTrack();
  EXPECT_EQ(Layout(*t), "0:b0 480:c1 480:c2");
  t->KeepOneEndOfTrack();
  EXPECT_TRUE(t->LastIsEndOfTrack());
  t->ClearToEndOfTrack();
  EXPECT_EQ(Layout(*t), "480:ff");
}

TEST(TrackEdit, Regrouping) {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddNote(0, 0, 60, 100, 10);
  t->events[0]->status = kStatusNoteOn;
  t->AddProgramChange(0, 3);
  t->AddNote(0, 0, 62, 100, 10);
  t->events[2]->status = kStatusNoteOff;
  t->AddControlChange(0, 7, 90);
  t->AddEndOfTrack();
  t->MoveNonNotesFirst();
  EXPECT_EQ(Layout(*t), "0:c3 0:b0 0:90 0:80 0:ff");
  t->MoveStatusFirst(kStatusNoteOn);
  EXPECT_EQ(Layout(*t), "0:90 0:c3 0:b0 0:80 0:ff");
  t->MoveEventsFirst(kStatusMeta, 0x2F, nullptr);
  EXPECT_EQ(Layout(*t), "0:ff 0:90 0:c3 0:b0 0:80");
}

TEST(TrackEdit, GmSystemOnMovesToTheFrontOfItsGroup) {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddProgramChange(0, 3);
  MidiEvent* gm = new MidiEvent(0);
  gm->status = kStatusSysEx;
  const uint8_t bytes[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  gm->SetData(bytes, 7);
  t->AddEvent(gm);
  t->MoveGmSystemOnFirst();
  EXPECT_EQ(t->events[0]->status, kStatusSysEx);
}

TEST(TrackEdit, Builders) {
  MidiTrack t(kTrackEvents, 0x1000);
  t.AddKeySignature(0, 3, 0);
  ASSERT_EQ(t.event_count, 1);
  EXPECT_EQ(t.events[0]->data[0], 0xFD);
  EXPECT_EQ(t.events[0]->data[1], 0x00);
  t.AddTimeSignatureFraction(6, 8);
  EXPECT_EQ(t.events[1]->value, 0x608);
  EXPECT_EQ(t.events[1]->data[1], 3);
  EXPECT_EQ(t.events[1]->data[2], 0x12);
  t.AddTimeSignatureFraction(3, 0);  // never reaches 1: reported, nothing added
  EXPECT_EQ(t.event_count, 2);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  t.AddTempoOrDefault(0);
  EXPECT_EQ(t.events[2]->value, 500000);
  t.AddEndOfTrack();
  t.AddEndOfTrack();
  EXPECT_EQ(t.event_count, 4);
  t.InsertBendSensitivityAtStart(2, 12);
  EXPECT_EQ(t.events[0]->status, kStatusMeta);
  EXPECT_EQ(t.events[3]->number, 101u);
  EXPECT_EQ(t.events[4]->number, 100u);
  EXPECT_EQ(t.events[5]->number, 6u);
  EXPECT_EQ(t.events[5]->value, 12);
  t.InsertBendSensitivityAtStart(-1, 12);
  EXPECT_EQ(t.event_count, 7);
  t.SetTempoAt(0, 400000);
  EXPECT_EQ(t.events[2]->value, 400000);
  t.SetKeySignatureAt(0, 1, 2);
  EXPECT_EQ(t.events[0]->data[0], 2);
  EXPECT_EQ(t.events[0]->data[1], 1);
  std::string long_text(130, 'x');
  t.AddMarker(0, long_text.c_str());
  EXPECT_EQ(t.events[7]->data_length, 130);
  int reported = 0;
  for (const auto& text : cantrel_test::Sink().Texts()) reported += text.rfind("MDTK0D000028", 0) == 0;
  EXPECT_EQ(reported, 1);
}

TEST(TrackEdit, ProgramBeforeTheFirstEventOfAChannel) {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, 0x1000);
  t->AddControlChange(1, 7, 100);
  t->AddControlChange(2, 7, 100);
  t->events[1]->delta = 96;
  t->AddEndOfTrack();
  EXPECT_EQ(t->InsertProgramBeforeFirstEvent(2, 5), 1);
  EXPECT_EQ(Layout(*t), "0:b0 96:c5 96:b0 96:ff");
  EXPECT_EQ(t->InsertProgramBeforeFirstEvent(7, 5), 0);
}
