// Bars, beats and seconds of the two song classes: positions in simple and compound
// metres, bar lines, bar counts, durations, density, and songs whose bars would last
// no tick (they count as 4/4, division 0 is reported) instead of hanging.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../passes/passes_util.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

MidiEvent* Metre(int32_t delta, int numerator, int power) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->number = 0x58;
  e->value = numerator * 256 + (1 << (power & 7));
  const uint8_t data[4] = {static_cast<uint8_t>(numerator), static_cast<uint8_t>(power), 0x12, 8};
  e->SetDataQuietly(data, 4);
  return e;
}

// A format-0 song of the division whose track holds the events (state and mode given).
std::unique_ptr<Midi0Data> Song0(int32_t division, int32_t state, std::vector<MidiEvent*> events) {
  auto song = std::make_unique<Midi0Data>(state, division, 0x60000);
  for (MidiEvent* e : events) song->track->AddEvent(e);
  return song;
}

struct Position {
  int32_t bars, beats, ticks;
  bool operator==(const Position& o) const {
    return bars == o.bars && beats == o.beats && ticks == o.ticks;
  }
};
std::ostream& operator<<(std::ostream& os, const Position& p) {
  return os << p.bars << ":" << p.beats << ":" << p.ticks;
}

Position Where(Midi0Data& song, int32_t tick, int signature_beats) {
  Position p{};
  song.TickToBarBeatTick(tick, &p.bars, &p.beats, &p.ticks, signature_beats);
  return p;
}

}  // namespace

TEST(Bars, PositionsInSimpleAndCompoundMetres) {
  struct Case {
    int numerator, power, tick, signature_beats;
    Position want;
  } cases[] = {
      {3, 2, 700, 0, {2, 1, 28}},   // 3/4: bar of 288, quarters
      {6, 3, 700, 1, {2, 2, 28}},   // 6/8 in eighths of 48 ticks
      {6, 3, 700, 0, {2, 1, 28}},   // 6/8 in quarters
      {4, 2, 0, 0, {0, 0, 0}},
      {4, 2, 384, 0, {1, 0, 0}},
      {2, 1, 400, 1, {1, 0, 16}},   // 2/2: beats of 192
      {7, 3, 3 * 336 + 50, 0, {3, 0, 50}},  // 7/8: bar of 336 ticks (3.5 quarters)
      {7, 3, 3 * 336 + 200, 0, {3, 2, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.numerator << "/" << (1 << c.power) << " @" << c.tick);
    auto song = Song0(96, kSongEvents,
                      {Metre(0, c.numerator, c.power), On(0, 0, 60, 100), Off(96, 0, 60), End(5000)});
    EXPECT_EQ(Where(*song, c.tick, c.signature_beats), c.want);
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Bars, PositionWithoutTimeSignatureIsFourFour) {
  auto song = Song0(96, kSongEvents, {On(0, 0, 60, 100), Off(96, 0, 60), End(100)});
  // Past the last event the position goes on in the same bars.
  EXPECT_EQ(Where(*song, 384 * 5 + 96 * 3 + 7, 0), (Position{5, 3, 7}));
  EXPECT_EQ(Where(*song, 384 * 5 + 96 * 3 + 7, 1), (Position{5, 3, 7}));
}

TEST(Bars, TimeSignatureOffTheBarLineWarnsOnce) {
  auto song = Song0(96, kSongEvents,
                    {On(0, 0, 60, 100), Off(100, 0, 60), Metre(0, 3, 2), Metre(50, 4, 2), End(1000)});
  Position p{};
  song->TickToBarBeatTick(1000, &p.bars, &p.beats, &p.ticks, 0);
  song->TickToBarBeatTick(1000, &p.bars, &p.beats, &p.ticks, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Bars, BarLinesAndCounts) {
  // 4/4 for two bars, then 3/4.
  auto song = Song0(96, kSongEvents,
                    {On(0, 0, 60, 100), Off(96, 0, 60), Metre(672, 3, 2), On(0, 0, 62, 100),
                     Off(96, 0, 62), End(500)});
  // The song ends at 768 + 596 = 1364: 2 bars of 4/4 and ceil(596 / 288) = 3 of 3/4.
  EXPECT_EQ(song->CountBars(), 5);
  struct Case {
    int tick, next, before;
  } cases[] = {
      {0, 0, 0},       {1, 384, 0},        {384, 384, 0},     {385, 768, 384},
      {768, 768, 384}, {769, 1056, 768},   {1056, 1056, 768}, {1100, 1344, 1056},
      {2000, 2208, 1920},  // past the end the bars of 288 go on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tick);
    EXPECT_EQ(song->GetNextBarLine(c.tick), c.next);
    EXPECT_EQ(song->GetBarLineBefore(c.tick), c.before);
  }
  EXPECT_EQ(song->GetBarTick(0), 0);
  EXPECT_EQ(song->GetBarTick(2), 768);
  EXPECT_EQ(song->GetBarTick(3), 1056);
  EXPECT_EQ(song->GetBarTick(6), 768 + 4 * 288);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Bars, CountAndBarTickOfPlainFourFour) {
  auto song = Song0(96, kSongEvents, {On(0, 0, 60, 100), Off(96, 0, 60), End(289)});
  EXPECT_EQ(song->CountBars(), 2);  // 385 ticks
  auto two_bars = Song0(96, kSongEvents, {On(0, 0, 60, 100), Off(96, 0, 60), End(672)});
  EXPECT_EQ(two_bars->GetBarTick(5), 1920);
  EXPECT_EQ(two_bars->GetBarTick(2), 768);
}

TEST(Bars, WrongStateIsReported) {
  auto song = Song0(96, kSongNotes, {Note(0, 0, 60, 100, 96), End(384)});
  EXPECT_EQ(song->CountBars(), 0);
  EXPECT_EQ(song->GetBarTick(1), 0);
  EXPECT_EQ(song->GetBarLineBefore(100), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
  // The next bar line works on note mode as well.
  EXPECT_EQ(song->GetNextBarLine(100), 384);
}

TEST(Bars, BarsOfNoTickCountAsFourFour) {
  // Numerator 0, and a 32nd-note metre at division 4 (bar of 1/8 quarter: 0 ticks).
  for (auto* metre : {Metre(0, 0, 2), Metre(0, 1, 5)}) {
    SCOPED_TRACE(metre->data[0]);
    auto song = Song0(4, kSongEvents, {metre, On(0, 0, 60, 100), Off(4, 0, 60), End(60)});
    EXPECT_EQ(song->GetNextBarLine(17), 32);
    EXPECT_EQ(song->GetBarLineBefore(17), 16);
    EXPECT_EQ(song->CountBars(), 4);
    EXPECT_EQ(song->GetBarTick(3), 48);
    Position p{};
    song->TickToBarBeatTick(37, &p.bars, &p.beats, &p.ticks, 1);
    EXPECT_EQ(p, (Position{2, 1, 1}));
  }
}

TEST(Bars, DivisionZeroIsReportedAndAnswersZero) {
  auto song = Song0(0, kSongEvents, {Metre(0, 3, 2), On(0, 0, 60, 100), Off(4, 0, 60), End(60)});
  EXPECT_EQ(song->GetNextBarLine(17), 0);
  EXPECT_EQ(song->GetBarLineBefore(17), 0);
  EXPECT_EQ(song->CountBars(), 0);
  EXPECT_EQ(song->GetBarTick(3), 0);
  EXPECT_EQ(song->GetDurationMs(), 0);
  Position p{1, 1, 1};
  song->TickToBarBeatTick(37, &p.bars, &p.beats, &p.ticks, 1);
  EXPECT_EQ(p, (Position{0, 0, 0}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 6u);
}

TEST(Bars, DurationFollowsTheTempi) {
  auto plain = Song0(96, kSongEvents, {On(0, 0, 60, 100), Off(96, 0, 60), End(288)});
  EXPECT_EQ(plain->GetDurationMs(), 4000);
  auto fast = Song0(96, kSongEvents, {Tempo(0, 500000), On(0, 0, 60, 100), Off(96, 0, 60), End(288)});
  EXPECT_EQ(fast->GetDurationMs(), 2000);
  // The tempo event's own delta still counts at the tempo before it.
  auto late = Song0(96, kSongEvents, {On(0, 0, 60, 100), Off(96, 0, 60), Tempo(96, 250000), End(192)});
  EXPECT_EQ(late->GetDurationMs(), 2000 + 500);
  auto empty = Song0(96, kSongEvents, {});
  EXPECT_EQ(empty->GetDurationMs(), 0);
}

TEST(Bars, EndTickNeedsNoteMode) {
  auto song = Song0(96, kSongNotes, {Note(0, 0, 60, 100, 500), Note(96, 0, 62, 100, 10), End(10)});
  EXPECT_EQ(song->GetEndTick(), 500);
  song->ToEventMode();
  EXPECT_EQ(song->GetEndTick(), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Bars, PeakPolyphonyTick) {
  auto song = Song0(96, kSongNotes,
                    {Note(0, 0, 60, 100, 96), Note(96, 0, 60, 100, 96), Note(0, 0, 64, 100, 96),
                     Note(96, 0, 60, 100, 96), Note(0, 0, 64, 100, 96), Note(0, 1, 67, 100, 50),
                     Note(200, 0, 60, 100, 96), Note(0, 1, 64, 100, 96), Note(0, 2, 67, 100, 96),
                     End(96)});
  const size_t before = static_cast<size_t>(song->track->event_count);
  // Three notes sound from 192 to 242 and from 392 to 488: the answer is the first
  // tick, from the start, that ends a stretch of the most notes.
  EXPECT_EQ(song->FindPeakPolyphonyTick(0), 242);
  EXPECT_EQ(song->FindPeakPolyphonyTick(243), 488);
  EXPECT_EQ(song->FindPeakPolyphonyTick(489), -1);
  EXPECT_EQ(song->track->mode, kTrackNotes);
  EXPECT_EQ(static_cast<size_t>(song->track->event_count), before);
}

TEST(Bars, DensestWindow) {
  // Notes at 0, 10, 20, 100, 105, 108, 110, 300; End at 1000.
  auto song = Song0(96, kSongNotes,
                    {Note(0, 0, 60, 100, 5), Note(10, 0, 60, 100, 5), Note(10, 0, 60, 100, 5),
                     Note(80, 0, 60, 100, 5), Note(5, 0, 60, 100, 5), Note(3, 0, 60, 100, 5),
                     Note(2, 0, 60, 100, 5), Note(190, 0, 60, 100, 5), End(700)});
  EXPECT_EQ(song->FindDensestWindow(0, 30, kStatusNote), 100);
  EXPECT_EQ(song->FindDensestWindow(101, 30, kStatusNote), -1);  // no later window holds 4
  EXPECT_EQ(song->FindDensestWindow(0, 5000, kStatusNote), -1);  // no window closes
  auto empty = Song0(96, kSongNotes, {});
  EXPECT_EQ(empty->FindDensestWindow(0, 30, kStatusNote), -1);
}

// ---- format 1 ----

namespace {

std::unique_ptr<Midi1Data> Song1(int32_t division, std::vector<std::vector<MidiEvent*>> tracks) {
  auto song = std::make_unique<Midi1Data>(division, 0x60000);
  for (auto& events : tracks) song->AddTrack(Make(kTrackNotes, events).release());
  return song;
}

}  // namespace

TEST(Bars1, PositionsFormatAndBack) {
  auto song = Song1(96, {{Metre(0, 6, 3), Tempo(0, 500000), End(2000)},
                         {Note(0, 0, 60, 100, 96), Note(700, 0, 62, 100, 96), End(10)}});
  int32_t bars = 0, beats = 0, ticks = 0;
  song->TickToBarBeatTick(700, &bars, &beats, &ticks, 1);
  EXPECT_EQ((Position{bars, beats, ticks}), (Position{2, 2, 28}));
  song->TickToBarBeat(700, &bars, &beats, &ticks);
  EXPECT_EQ((Position{bars, beats, ticks}), (Position{2, 1, 28}));
  char text[32];
  song->FormatPosition(700, text);
  EXPECT_STREQ(text, "0003:03:028");
  // Bar 2, quarter 1, tick 28 is tick 700 again; past the conductor's end bars go on.
  EXPECT_EQ(song->BarBeatTickToTick(2, 1, 28), 700);
  EXPECT_EQ(song->BarBeatTickToTick(0, 0, 5), 5);
  EXPECT_EQ(song->BarBeatTickToTick(10, 0, 0), 2880);
  EXPECT_EQ(song->GetQuarterCount(), 21);  // 2000 ticks
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Bars1, MetresTheFormat1SongCannotUse) {
  // A 32nd-note metre on track 0 and any metre on another track are reported.
  auto song = Song1(96, {{Metre(0, 8, 5), End(2000)}, {Metre(0, 3, 4), Note(0, 0, 60, 100, 96), End(10)}});
  int32_t bars = 0, beats = 0, ticks = 0;
  song->TickToBarBeatTick(100, &bars, &beats, &ticks, 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(Bars1, MergedAnswersAndSeconds) {
  auto song = Song1(96, {{Tempo(0, 500000), Metre(0, 3, 2), End(10)},
                         {Note(0, 0, 60, 100, 96), Note(1000, 0, 62, 100, 96), End(96)}});
  EXPECT_EQ(song->GetDurationMs(), 1096 * 500 / 96);
  EXPECT_EQ(song->CountBars(), 4);          // 1096 / 288 rounded up
  EXPECT_EQ(song->GetNextBarLine(300), 576);
  EXPECT_DOUBLE_EQ(song->SecondsBetween(0, 192), 1.0);
  // Two events (note-on and note-off of the first note... counted by the track) over
  // one second at 120 bpm.
  EXPECT_GT(song->EventsPerSecond(0, 192), 0);
  EXPECT_EQ(song->EventsPerSecond(192, 192), 0);
  int32_t highest = -1, average = -1;
  const int32_t got = song->GetEventDensity(&highest, &average);
  EXPECT_EQ(got, average);
  EXPECT_GE(highest, average);
  auto no_conductor = Song1(96, {{Note(0, 0, 60, 100, 96), End(0)}});
  EXPECT_EQ(no_conductor->SecondsBetween(0, 96), 0.0);
}

TEST(Bars1, DivisionZeroAnswersZero) {
  auto song = Song1(0, {{Metre(0, 3, 2), End(10)}, {Note(0, 0, 60, 100, 96), End(0)}});
  int32_t highest = -1, average = -1;
  EXPECT_EQ(song->GetEventDensity(&highest, &average), 0);
  EXPECT_EQ(highest, 0);
  EXPECT_EQ(song->EventsPerSecond(0, 100), 0);
  EXPECT_EQ(song->GetQuarterCount(), 0);
  EXPECT_EQ(song->BarBeatTickToTick(1, 0, 0), 0);
  EXPECT_EQ(song->GetDurationMs(), 0);
  EXPECT_EQ(song->CountBars(), 0);
  EXPECT_GE(cantrel_test::Sink().Count(), 6u);
}

TEST(Bars1, DurationOfEveryBlupiFileIsMidosLength) {
  CANTREL_NEED(std::filesystem::exists(BlupiFile(0)), "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  const std::string python = cantrel_test::PythonWithMido();
  for (int n = 0; n <= 9; ++n) {
    SCOPED_TRACE(n);
    std::string out;
    ASSERT_EQ(cantrel_test::RunTool({python, "-c",
                                     "import sys, mido\nprint(int(mido.MidiFile(sys.argv[1]).length * 1000))",
                                     BlupiFile(n).string()},
                                    &out),
              0);
    const int32_t want = std::stoi(out);
    Midi1Data song(BlupiFile(n), 0x60000);
    EXPECT_EQ(song.GetDurationMs(), want);
    Midi0Data merged(BlupiFile(n), 0x60000);
    EXPECT_EQ(merged.GetDurationMs(), want);
  }
}
