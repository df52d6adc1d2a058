// Quantizing, durations, division changes, shuffle and triplets of a track.
#include <gtest/gtest.h>

#include <memory>

#include "music/midi_track.h"
#include "music/quantize.h"
#include "tests/music/songs/songs_test_util.h"
#include "tests/support/test_support.h"

using namespace songs_test;

namespace {

// A note-mode track with one note per start tick (duration 10) and End of Track
// at `end`.
std::unique_ptr<MidiTrack> NotesAt(const std::vector<int>& starts, int end, int duration = 10) {
  std::vector<MidiEvent*> events;
  int at = 0;
  for (int s : starts) {
    events.push_back(Note(s - at, 0, 60, 100, duration));
    at = s;
  }
  events.push_back(EndOfTrack(end - at));
  return std::unique_ptr<MidiTrack>(MakeTrack(kTrackNotes, events));
}

std::vector<int64_t> NoteTicks(const MidiTrack& track) { return TicksOf(track, kStatusNote); }

}  // namespace

TEST(Quantize, SingleNoteRoundsByHalfBeat) {
  struct Case {
    int start, expected;
  } cases[] = {{13, 24}, {11, 0}, {12, 24}, {60, 48}, {24, 24}, {61, 72}};
  for (const Case& c : cases) {
    auto track = NotesAt({c.start}, 200);
    track->Quantize(4, 96, 0, 0);
    EXPECT_EQ(NoteTicks(*track), std::vector<int64_t>{c.start == 0 ? 0 : c.expected})
        << "note at " << c.start;
    // End of Track stands in the range too: 200 rounds down to 192.
    EXPECT_EQ(Ticks(*track).back(), 192);
  }
}

TEST(Quantize, RangeLeavesOutsideEventsInPlace) {
  auto track = NotesAt({13, 110, 205, 300}, 400);
  track->Quantize(4, 96, 96, 288);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{13, 120, 216, 300}));
  EXPECT_EQ(Ticks(*track).back(), 400);
  EXPECT_EQ(track->CountEvents(kStatusDeleted), 0);
}

TEST(Quantize, OffGridStartIsReportedAndWorkGoesOn) {
  auto track = NotesAt({13, 110}, 400);
  track->Quantize(4, 96, 10, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(track->event_count, 3);
}

TEST(Quantize, ZeroGridsAreRefused) {
  auto track = NotesAt({13}, 100);
  track->Quantize(0, 96, 0, 0);
  track->Quantize(200, 96, 0, 0);  // grid of 0 ticks
  track->QuantizeTwoGrids(4, 0, 96, 0, 0);
  track->QuantizeAll(0);
  track->QuantizeRange(0, 100, 0);
  track->QuantizeDurations(0);
  track->ConvertToShuffle(0);
  track->ConvertToTriplets(-5);
  EXPECT_EQ(NoteTicks(*track), std::vector<int64_t>{13});
  EXPECT_EQ(cantrel_test::Sink().Count(), 8u);
}

TEST(Quantize, TwoGridsPreferTheCloserLine) {
  // Grids of 24 (sixteenths) and 32 (eighth triplets) at division 96.
  auto track = NotesAt({33, 70}, 200);
  track->QuantizeTwoGrids(4, 3, 96, 0, 0);
  // 33: r1 = 9, r2 = 1 -> grid 1 rounding (r2 <= r1): down to 24.
  // 70 carries -... and lands on a grid line.
  const auto ticks = NoteTicks(*track);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[0], 24);
  EXPECT_TRUE(ticks[1] % 24 == 0 || ticks[1] % 32 == 0) << ticks[1];
}

TEST(Quantize, QuantizeAllMovesToNearestLine) {
  auto track = NotesAt({5, 30, 59}, 100);
  track->QuantizeAll(24);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 24, 48}));
  auto half = NotesAt({12}, 100);
  half->QuantizeAll(24);  // an exact half grid moves later
  EXPECT_EQ(NoteTicks(*half), std::vector<int64_t>{24});
  auto range = NotesAt({5, 30, 59}, 100);
  range->QuantizeRange(20, 40, 24);
  EXPECT_EQ(NoteTicks(*range), (std::vector<int64_t>{5, 24, 59}));
}

TEST(QuantizeDurations, Rounding) {
  auto track = NotesAt({0, 100, 200}, 400);
  track->events[0]->duration = 20;
  track->events[1]->duration = 24;
  track->events[2]->duration = 96;
  track->QuantizeDurations(48);
  EXPECT_EQ(track->events[0]->duration, 0);
  EXPECT_EQ(track->events[1]->duration, 48);
  EXPECT_EQ(track->events[2]->duration, 96);

  auto ex = NotesAt({0, 100}, 400);
  ex->events[0]->duration = 20;
  ex->events[1]->duration = 70;
  ex->QuantizeDurationsEx(48, 1);
  EXPECT_EQ(ex->events[0]->duration, 1);
  EXPECT_EQ(ex->events[1]->duration, 48);
  ex->QuantizeDurationsEx(48, 7);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);

  auto between = NotesAt({0, 100, 300}, 400);
  between->events[0]->duration = 5;
  between->events[1]->duration = 5;
  EXPECT_EQ(between->QuantizeDurationsBetween(50, 200, 48, 3), 400);
  EXPECT_EQ(between->events[0]->duration, 5);
  EXPECT_EQ(between->events[1]->duration, 48);
}

TEST(QuantizeDurations, ScalingMinimaAndGaps) {
  auto track = NotesAt({0, 96, 96, 300}, 400, 90);
  track->events[3]->channel = 1;
  track->ScaleDurations(1);
  EXPECT_EQ(track->events[0]->duration, 1);
  track->SetMinimumDuration60(1);
  EXPECT_EQ(track->events[3]->duration, 60);
  EXPECT_EQ(track->events[0]->duration, 1);
  track->SetMinimumDuration(50);
  EXPECT_EQ(track->events[0]->duration, 50);
  EXPECT_EQ(track->SetDurationOfChannel(0, 200), 3);
  track->LimitDurationsToGap(10);
  // 0 -> next later note at 96; the two notes at 96 -> 300; 300 -> end 400.
  EXPECT_EQ(track->events[0]->duration, 86);
  EXPECT_EQ(track->events[1]->duration, 194);
  EXPECT_EQ(track->events[2]->duration, 194);
  EXPECT_EQ(track->events[3]->duration, 60);
}

TEST(DivisionChange, NoDrift) {
  auto track = NotesAt({0, 100, 200}, 480);
  EXPECT_EQ(track->ConvertDivisionEx(480, 96, 0), 0);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 20, 40}));
  EXPECT_EQ(track->events[0]->duration, 2);
  EXPECT_EQ(Ticks(*track).back(), 96);

  std::vector<int> starts;
  for (int i = 0; i < 100; ++i) starts.push_back(i * 101);
  auto many = NotesAt(starts, 101 * 100);
  many->ConvertDivision(480, 96);
  const auto ticks = NoteTicks(*many);
  for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(ticks[i], static_cast<int64_t>(i) * 101 * 96 / 480);
}

TEST(DivisionChange, ZeroLengthNotes) {
  auto keep = NotesAt({0, 100}, 480, 3);
  EXPECT_EQ(keep->ConvertDivisionEx(480, 96, 0), 1);
  EXPECT_EQ(keep->events[0]->duration, 1);
  auto drop = NotesAt({0, 100}, 480, 3);
  EXPECT_EQ(drop->ConvertDivisionEx(480, 96, 1), 1);
  EXPECT_EQ(drop->CountEvents(kStatusNote), 0);
  EXPECT_EQ(Ticks(*drop).back(), 96);
}

TEST(DivisionChange, RefusedInEventModeAndForZero) {
  auto track = NotesAt({0, 100}, 480);
  EXPECT_EQ(track->ConvertDivisionEx(0, 96, 0), 0);
  EXPECT_EQ(track->ConvertDivisionEx(480, 0, 0), 0);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 100}));
  track->mode = kTrackEvents;
  track->ConvertDivision(480, 96);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 100}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(Shuffle, SecondEighthMovesLate) {
  auto track = NotesAt({0, 48, 96, 144}, 192);
  track->ConvertToShuffle(96);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 64, 96, 160}));
  EXPECT_EQ(Ticks(*track).back(), 192);
}

TEST(Shuffle, SparseNotesAreStillReached) {
  // Windows without events between the notes: every note's window is found.
  auto track = NotesAt({0, 48, 960, 1008}, 1100);
  track->ConvertToShuffle(96);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 64, 960, 1024}));
}

TEST(Triplets, PlacesByCount) {
  auto three = NotesAt({0, 30, 70}, 96);
  three->ConvertToTriplets(96);
  EXPECT_EQ(NoteTicks(*three), (std::vector<int64_t>{0, 32, 64}));
  auto one = NotesAt({60}, 96);
  one->ConvertToTriplets(96);
  EXPECT_EQ(NoteTicks(*one), std::vector<int64_t>{64});
  auto four = NotesAt({0, 20, 40, 60}, 200);
  four->PlaceManyNotes(0, 96, 96, 4);
  // d = 2: offsets 0, 48, 96, 144.
  EXPECT_EQ(NoteTicks(*four), (std::vector<int64_t>{0, 48, 96, 144}));
  four->PlaceManyNotes(0, 96, 96, 65);  // more than 64 notes: reported, nothing moves
  EXPECT_EQ(NoteTicks(*four), (std::vector<int64_t>{0, 48, 96, 144}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(MoveEventTime, LaterAndEarlierKeepOtherTicks) {
  auto track = NotesAt({0, 50, 100}, 200);
  EXPECT_EQ(track->MoveEventTime(1, 50, 50, 70), 70);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 70, 100}));
  EXPECT_EQ(track->MoveEventTime(1, 70, 70, 120), 120);  // passes the next note
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 120, 120}));
  EXPECT_EQ(track->MoveEventTime(2, 120, 120, 110), 110);
  EXPECT_EQ(NoteTicks(*track), (std::vector<int64_t>{0, 110, 110}));
  EXPECT_EQ(Ticks(*track).back(), 200);
}

TEST(DivisionChange, RescaledDelaysSaturateAndNeverTurnNegative) {
  struct Case {
    int32_t delta, carry_in, old_division, new_division;
    int32_t want, want_carry;
  } cases[] = {
      {100, 0, 480, 96, 20, 0},
      {101, 0, 480, 96, 20, 1},
      // 22,369,622 ticks at division 1 are 2,147,483,712 at 96: past 32 bits.
      {22369622, 0, 1, 96, INT32_MAX, 0},
      {INT32_MAX, INT32_MAX, 1, 2, INT32_MAX, 0},
      // A negative delta (or carry) is no delay at all.
      {-50, 0, 480, 96, 0, 0},
      {10, -100, 96, 96, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t carry = c.carry_in;
    EXPECT_EQ(RescaleDelta(c.delta, c.old_division, c.new_division, &carry), c.want) << c.delta;
    EXPECT_EQ(carry, c.want_carry) << c.delta;
  }
}
