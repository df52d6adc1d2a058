// Drum notes: families folded onto the note played most on rhythm channels, the kit
// range, kit tables with and without bank changes around mapped notes, and one note
// for all.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "../passes/passes_util.h"
#include "music/midi1_track.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::vector<int> Pitches(const MidiTrack& track) {
  std::vector<int> out;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (e.status == kStatusNote || e.status == kStatusNoteOn || e.status == kStatusNoteOff) {
      out.push_back(e.note);
    }
  }
  return out;
}

std::vector<MidiEvent*> Hits(int channel, int pitch, int times) {
  std::vector<MidiEvent*> out;
  for (int i = 0; i < times; ++i) out.push_back(Note(48, channel, pitch, 100, 24));
  return out;
}

std::unique_ptr<Midi1Track> Drums(std::vector<std::vector<MidiEvent*>> groups) {
  std::vector<MidiEvent*> all;
  for (auto& g : groups) all.insert(all.end(), g.begin(), g.end());
  all.push_back(End(48));
  return Make(kTrackNotes, all);
}

}  // namespace

TEST(DrumFamilies, FoldOntoTheMostPlayedMember) {
  struct Case {
    int kicks35, kicks36, want;
  } cases[] = {{10, 2, 35}, {2, 10, 36}, {3, 3, 35}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    auto track = Drums({Hits(9, 35, c.kicks35), Hits(9, 36, c.kicks36)});
    track->RemapDrumFamilies();
    for (int p : Pitches(*track)) EXPECT_EQ(p, c.want);
  }
}

TEST(DrumFamilies, UnplayedFamilyAndOtherChannelsStay) {
  // Snare family (38, 40): only 40 played, so 40 stays. Toms: 45 most played.
  auto track = Drums({Hits(9, 40, 3), Hits(9, 41, 1), Hits(9, 45, 4), Hits(9, 50, 2),
                      Hits(0, 36, 30), Hits(9, 35, 2), Hits(9, 36, 1)});
  EXPECT_EQ(track->CountPitchOnRhythmChannels(36), 1);
  const int32_t kick[] = {35, 36};
  EXPECT_EQ(track->MostFrequentPitch(kick, 2), 35);
  const int changed = track->RemapDrumFamilies();
  std::vector<int> want;
  for (int i = 0; i < 3; ++i) want.push_back(40);
  for (int i = 0; i < 7; ++i) want.push_back(45);
  // The bass line on channel 0, note 36, is no drum and does not choose the kick.
  for (int i = 0; i < 30; ++i) want.push_back(36);
  for (int i = 0; i < 3; ++i) want.push_back(35);
  EXPECT_EQ(Pitches(*track), want);
  EXPECT_EQ(changed, 1 + 2 + 1);
  const int32_t none[] = {60, 61};
  EXPECT_EQ(track->MostFrequentPitch(none, 2), 60);
}

TEST(DrumFamilies, PitchBendOnTheDrumChannelKeepsItsValue) {
  auto* bend = new MidiEvent(0);
  bend->status = kStatusPitchBend;
  bend->channel = 9;
  bend->SetPitchBend(36 + 128 * 64);
  auto track = Drums({Hits(9, 35, 4), Hits(9, 36, 1), {bend}});
  track->RemapDrumFamilies();
  EXPECT_EQ(track->events[5]->GetPitchBend(), 36 + 128 * 64);
}

TEST(DrumLimit, OutsideNotesBecomeKickAndRestrikesGo) {
  auto track = Make(kTrackNotes, {Note(0, 9, 35, 100, 96), Note(48, 9, 82, 100, 24),
                                  Note(96, 9, 20, 90, 24), Note(0, 9, 60, 90, 24), End(96)});
  EXPECT_EQ(track->LimitDrumNotesOf(), 1);
  EXPECT_EQ(track->mode, kTrackNotes);
  // 82 at tick 48 became a 35 while the first 35 still sounds: deleted, and its end
  // ends the first one.
  EXPECT_EQ(Notes(*track), (std::vector<NoteRow>{{0, 9, 35, 100, 72}, {144, 9, 35, 90, 24},
                                                  {144, 9, 60, 90, 24}}));
  auto events = Make(kTrackEvents, {On(0, 9, 90, 100), Off(10, 9, 90), End(0)});
  EXPECT_EQ(events->LimitDrumNotes(0), 0);
  EXPECT_EQ(Pitches(*events), (std::vector<int>{90, 90}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(DrumKit, TableMapsTheKitBank) {
  static int8_t table[128][128];
  std::memset(table, -1, sizeof table);
  table[25][38] = 40;
  table[25][36] = 36;  // mapped to itself: bank changes all the same
  table[0][38] = 50;
  // Bank LSB 3 program 25 is the kit; a note on bank 0 stays.
  auto make = [] {
    return Make(kTrackNotes, {Cc(0, 9, 0, 0), Cc(0, 9, 32, 3), Program(0, 9, 25),
                              Note(0, 9, 38, 100, 24), Note(48, 9, 42, 100, 24),
                              Note(48, 9, 36, 100, 24), Cc(48, 9, 32, 0), Note(0, 9, 38, 100, 24),
                              End(48)});
  };
  auto zeroed = make();
  zeroed->RemapDrumKit(3, table, 1);
  EXPECT_EQ(Pitches(*zeroed), (std::vector<int>{40, 42, 36, 38}));
  EXPECT_EQ(zeroed->events[2]->value, 0);  // program of the kit zeroed
  EXPECT_EQ(zeroed->events[1]->value, 0);  // LSB of the kit zeroed
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  auto framed = make();
  framed->RemapDrumKit(3, table, 0);
  EXPECT_EQ(Pitches(*framed), (std::vector<int>{40, 42, 36, 38}));
  // Around each mapped note: bank 0/0 and program 0 before it, the kit (bank LSB 3,
  // program 25) again after it; the unmapped 42 and the 38 on bank 0 get nothing.
  const std::vector<int64_t> ticks = Ticks(*framed);
  const auto last_before = [&](int32_t at, uint32_t status, uint32_t number) {
    for (int32_t i = at - 1; i >= 0; --i) {
      const MidiEvent& e = *framed->events[i];
      if (e.status == status && (status == kStatusProgram || e.number == number)) return e.value;
    }
    return -1;
  };
  const auto first_after = [&](int32_t at, uint32_t status, uint32_t number) {
    for (int32_t i = at + 1; i < framed->event_count; ++i) {
      const MidiEvent& e = *framed->events[i];
      if (e.status == status && (status == kStatusProgram || e.number == number)) return e.value;
    }
    return -1;
  };
  int mapped = 0;
  for (int32_t i = 0; i < framed->event_count; ++i) {
    const MidiEvent& e = *framed->events[i];
    if (e.status != kStatusNote || (e.note != 40 && e.note != 36)) continue;
    SCOPED_TRACE(e.note);
    ++mapped;
    EXPECT_EQ(last_before(i, kStatusController, 32), 0);
    EXPECT_EQ(last_before(i, kStatusProgram, 0), 0);
    // After the 36 the song's own bank change (LSB 0 at 144) takes the kit's place (of
    // two bank changes between two notes the clean-up keeps the last), and the LSB is
    // 0 already.
    EXPECT_EQ(first_after(i, kStatusController, 32), e.note == 40 ? 3 : -1);
    EXPECT_EQ(first_after(i, kStatusProgram, 0), 25);
  }
  EXPECT_EQ(mapped, 2);
  // The bank changes before the note at 96 stand at the tick of the event before it.
  int32_t at96 = 0;
  while (framed->events[at96]->status != kStatusNote || framed->events[at96]->note != 36) ++at96;
  EXPECT_EQ(ticks[static_cast<size_t>(at96) - 1], 48);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(DrumKit, MinusOneLeavesNoteWithoutBankChanges) {
  static int8_t table[128][128];
  std::memset(table, -1, sizeof table);
  auto track = Make(kTrackNotes, {Cc(0, 9, 32, 3), Program(0, 9, 25), Note(0, 9, 38, 100, 24), End(48)});
  track->RemapDrumKit(3, table, 0);
  EXPECT_EQ(track->event_count, 4);
  EXPECT_EQ(Pitches(*track), (std::vector<int>{38}));
}

TEST(DrumKit, ProgramOrNoteOutsideTheTableIsSkipped) {
  static int8_t table[128][128];
  std::memset(table, 0, sizeof table);
  auto track = Make(kTrackNotes, {Cc(0, 9, 32, 3), Note(0, 9, 200, 100, 24), Note(0, 9, -5, 100, 24),
                                  Note(0, 9, 38, 100, 24), End(48)});
  track->RemapDrumKit(3, table, 1);
  EXPECT_EQ(Pitches(*track), (std::vector<int>{200, -5, 0}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
  auto program = Make(kTrackNotes, {Cc(0, 9, 32, 3), Program(0, 9, 0), Note(0, 9, 38, 100, 24), End(48)});
  program->events[1]->value = 300;  // a program no file can hold
  program->RemapDrumKit(3, table, 1);
  EXPECT_EQ(Pitches(*program), (std::vector<int>{38}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(DrumKit, NonZeroBankMsbIsReported) {
  static int8_t table[128][128];
  std::memset(table, -1, sizeof table);
  auto track = Make(kTrackNotes, {Cc(0, 9, 0, 5), Note(0, 9, 38, 100, 24), End(48)});
  track->RemapDrumKit(3, table, 1);
  EXPECT_EQ(track->events[0]->value, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(DrumNotes, SetAllNotes) {
  auto track = Make(kTrackNotes, {Note(0, 9, 35, 100, 96), Note(48, 9, 38, 100, 24), End(96)});
  EXPECT_EQ(track->SetAllNotePitches(42), 3);
  EXPECT_EQ(Notes(*track), (std::vector<NoteRow>{{0, 9, 42, 100, 96}, {48, 9, 42, 100, 24}}));
  track->SetAllNotes(44, 10);
  EXPECT_EQ(Notes(*track), (std::vector<NoteRow>{{0, 9, 44, 100, 10}, {48, 9, 44, 100, 10}}));
  auto events = Make(kTrackEvents, {On(0, 9, 90, 100), Off(10, 9, 90), End(0)});
  EXPECT_EQ(events->SetAllNotes(44, 10), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}
