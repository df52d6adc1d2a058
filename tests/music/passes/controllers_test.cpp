// Controller, program and pitch-bend passes, and the time-range edits.
#include <gtest/gtest.h>

#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::vector<int> ValuesOf(const MidiTrack& t, uint32_t status, int number = -1) {
  std::vector<int> values;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent& e = *t.events[i];
    if (e.status == status && (number < 0 || e.number == static_cast<uint32_t>(number))) {
      values.push_back(e.value);
    }
  }
  return values;
}

std::vector<int> Velocities(const MidiTrack& t) {
  std::vector<int> v;
  for (const NoteRow& n : Notes(t)) v.push_back(std::get<3>(n));
  return v;
}

}  // namespace

TEST(BankProgram, RedundantChangesGo) {
  auto t = Make(kTrackNotes, {Program(0, 0, 5), Program(0, 0, 5), Program(0, 0, 7),
                              Note(0, 0, 60, 90, 10), Cc(10, 0, 0, 0), Cc(0, 0, 32, 0),
                              Program(0, 0, 1), End(0)});
  t->RemoveRedundantBankProgram();
  EXPECT_EQ(ValuesOf(*t, kStatusProgram), std::vector<int>{7});
  EXPECT_EQ(t->events[0]->status, kStatusProgram);
  EXPECT_EQ(ValuesOf(*t, kStatusController), std::vector<int>{});
  EXPECT_TRUE(t->LastIsEndOfTrack());
}

TEST(BankProgram, OrderCheck) {
  struct Case {
    std::vector<MidiEvent*> events;
    int ok;
  };
  std::vector<Case> cases;
  cases.push_back({{Cc(0, 0, 0, 1), Cc(0, 0, 32, 0), Program(0, 0, 3), End(0)}, 1});
  cases.push_back({{Cc(0, 0, 32, 0), Cc(0, 0, 0, 1), End(0)}, 0});
  cases.push_back({{Cc(0, 0, 0, 1), Program(0, 0, 3), End(0)}, 0});
  cases.push_back({{End(0)}, 1});
  for (Case& c : cases) {
    auto t = Make(kTrackNotes, c.events);
    EXPECT_EQ(t->CheckBankProgramOrder(), c.ok);
  }
}

TEST(Volume, FoldIntoVelocity) {
  auto t = Make(kTrackNotes, {Cc(0, 0, 7, 64), Note(0, 0, 60, 100, 10), Cc(10, 0, 11, 127),
                              Note(0, 0, 60, 100, 10), Note(0, 20, 60, 100, 10), End(0)});
  t->FoldVolumeIntoVelocity();
  EXPECT_EQ(Velocities(*t), (std::vector<int>{100, 50, 100}));
  // Expression 127 and volume 127 for every channel at the start, volume first.
  EXPECT_EQ(t->events[0]->number, 7u);
  EXPECT_EQ(t->events[1]->number, 11u);
  EXPECT_EQ(ValuesOf(*t, kStatusController).size(), 32u);
}

TEST(Volume, RescaleForMixLeavesNotesWithoutALevel) {
  int32_t volume = 0;
  int32_t expression = 100;
  MidiEvent note;
  note.SetNote(0, 60, 100, 10);
  MidiTrack::RescaleVelocityForMix(&volume, &expression, 100, 100, note);
  EXPECT_EQ(note.velocity, 100);
  volume = 50;
  MidiTrack::RescaleVelocityForMix(&volume, &expression, 100, 100, note);
  EXPECT_EQ(note.velocity, 127);  // 200, kept in range
}

TEST(Fades, ControllerSteps) {
  auto t = Make(kTrackNotes, {Cc(0, 0, 7, 100), Note(0, 0, 60, 100, 10), Cc(480, 0, 7, 50),
                              Note(0, 0, 62, 100, 10), End(2000)});
  EXPECT_EQ(t->FadeController(1, 960, 240, 7), 1);
  std::vector<std::pair<int64_t, int>> volumes;
  const std::vector<int64_t> ticks = Ticks(*t);
  for (int32_t i = 0; i < t->event_count; ++i) {
    if (t->events[i]->status == kStatusController) volumes.push_back({ticks[i], t->events[i]->value});
  }
  EXPECT_EQ(volumes, (std::vector<std::pair<int64_t, int>>{{0, 100}, {1, 90}, {241, 81}, {481, 72}, {721, 64}}));
  EXPECT_EQ(Velocities(*t), (std::vector<int>{100, 50}));
}

TEST(Fades, RefusedAndDegenerateFadesLeaveTheTrack) {
  auto t = Make(kTrackNotes, {Cc(0, 0, 7, 0), Note(10, 0, 60, 100, 10), Cc(10, 0, 7, 50),
                              Note(0, 0, 62, 100, 10), End(10)});
  // A step below one tick never ends: refused.
  EXPECT_EQ(t->FadeController(1, 960, 0, 7), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // From level 0 there is no ratio: the velocities stay.
  EXPECT_EQ(t->FadeController(1, 960, 240, 7), 1);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{100, 100}));
  t->FadeVelocities(10, 10);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{100, 100}));
  t->FadeVelocities(10, 30);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{100, 50}));
}

TEST(Controllers, SetScaleAndDelete) {
  auto t = Make(kTrackNotes, {Cc(0, 0, 7, 100), Cc(0, 1, 7, 20), Program(0, 0, 3), Program(0, 1, 4),
                              Tempo(0, 500000), On(0, 0, 60, 10), End(0)});
  t->ScaleController(0, 7, 200);
  EXPECT_EQ(ValuesOf(*t, kStatusController, 7), (std::vector<int>{127, 40}));
  t->OffsetControllerValue(0, 7, -50);
  EXPECT_EQ(ValuesOf(*t, kStatusController, 7), (std::vector<int>{77, 0}));
  t->NormalizeControllerTo127(7);
  EXPECT_EQ(ValuesOf(*t, kStatusController, 7), (std::vector<int>{127, 0}));
  t->SetProgramOfChannel(1, 9);
  EXPECT_EQ(ValuesOf(*t, kStatusProgram), (std::vector<int>{3, 9}));
  EXPECT_EQ(t->SetFirstTempo(600000), 1);
  EXPECT_EQ(ValuesOf(*t, kStatusMeta, 0x51), std::vector<int>{600000});
  EXPECT_EQ(t->DeleteProgramChanges(0), 1);
  EXPECT_EQ(ValuesOf(*t, kStatusProgram), std::vector<int>{9});
  EXPECT_EQ(t->DeleteControlChange(7), 1);
  t->DeleteAllControllers();
  EXPECT_TRUE(ValuesOf(*t, kStatusController).empty());
}

TEST(FineTuning, BecomesBendOffsets) {
  // Fine tuning +50 cents (MSB 0x60, LSB 0x00 = 8192 + 4096) on channel 0.
  auto t = Make(kTrackNotes, {Cc(0, 0, 101, 0), Cc(0, 0, 100, 1), Cc(0, 0, 6, 0x60), Cc(0, 0, 38, 0),
                              Note(0, 0, 60, 90, 10), End(10)});
  t->FoldFineTuningIntoBends();
  std::vector<int> bends;
  for (int32_t i = 0; i < t->event_count; ++i) {
    if (t->events[i]->status == kStatusPitchBend) bends.push_back(t->events[i]->GetPitchBend());
  }
  ASSERT_EQ(bends.size(), 1u);
  EXPECT_GT(bends[0], 8192);
  EXPECT_EQ(ValuesOf(*t, kStatusController, 6), std::vector<int>{});
}

TEST(TimeRanges, CutCropAndCutNotes) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(960, 0, 62, 90, 100),
                              Tempo(480, 400000), Note(0, 0, 64, 90, 100), Note(480, 0, 65, 90, 100),
                              End(100)});
  t->CutRange(960, 1920);
  EXPECT_EQ(Notes(*t), (std::vector<NoteRow>{{0, 0, 60, 90, 100}, {960, 0, 65, 90, 100}}));
  EXPECT_EQ(t->FindFirstEventTimeOfStatus(kStatusMeta), 960);

  auto c = Make(kTrackNotes, {Note(0, 0, 60, 90, 100), Note(960, 0, 62, 90, 2000),
                              Note(960, 0, 64, 90, 100), End(100)});
  c->Crop(960, 1920);
  EXPECT_EQ(Notes(*c), (std::vector<NoteRow>{{0, 0, 62, 90, 2000}}));

  auto n = Make(kTrackNotes, {Note(0, 0, 60, 90, 960), Note(480, 0, 62, 90, 100), End(960)});
  n->CutNotesAt(480);
  EXPECT_EQ(Notes(*n), (std::vector<NoteRow>{{0, 0, 60, 90, 480}}));

  auto d = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Note(10, 0, 62, 90, 10), End(10)});
  d->DeleteRange(0, 100);
  EXPECT_EQ(d->event_count, 1);
  EXPECT_TRUE(d->LastIsEndOfTrack());
  d->DeleteRange(-1, 100);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(TimeRanges, Truncate) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Note(100, 0, 62, 90, 10), End(100)});
  t->TruncateFrom(50);
  EXPECT_EQ(Ticks(*t), (std::vector<int64_t>{0, 0}));
  auto u = Make(kTrackNotes, {Note(0, 0, 60, 90, 10), Note(100, 0, 62, 90, 10), End(100)});
  u->TruncateAt(50);
  EXPECT_EQ(Ticks(*u), (std::vector<int64_t>{0, 50}));
}
