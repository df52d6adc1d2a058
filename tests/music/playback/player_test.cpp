#include <gtest/gtest.h>

#include <atomic>

#include "platform/core/timer_thread.h"
#include "tests/music/playback/playback_fixture.h"

namespace playback_test {
namespace {

using Sends = std::vector<std::pair<int64_t, Bytes>>;

TEST(PlayerFormula, DelayIsIntegerMillisecondsIn64Bits) {
  // 96 ticks per quarter at 120 BPM: 11520 ticks per minute.
  EXPECT_EQ(PlayerTicksPerMinute(96, 120, 100), 11520);
  EXPECT_EQ(PlayerDelayMs(48, 11520), 250);
  EXPECT_EQ(PlayerDelayMs(1, 11520), 5);
  // 960 at 240 BPM: deltas up to 3 ticks are 0 ms.
  EXPECT_EQ(PlayerTicksPerMinute(960, 240, 100), 230400);
  EXPECT_EQ(PlayerDelayMs(3, 230400), 0);
  EXPECT_EQ(PlayerDelayMs(4, 230400), 1);
  // A gap above 35791 ticks does not overflow.
  EXPECT_EQ(PlayerDelayMs(40000, 11520), 208333);
  EXPECT_EQ(PlayerDelayMs(0x7FFFFFFF, 1), int64_t(0x7FFFFFFF) * 60000);
  // Speed scales the rate; nothing divides by zero.
  EXPECT_EQ(PlayerTicksPerMinute(96, 120, 50), 5760);
  EXPECT_EQ(PlayerTicksPerMinute(0, 120, 100), 0);
  EXPECT_EQ(PlayerDelayMs(10, 0), 0);
}

// Lead-in at once, the first note one period later, then every event at the sum of its delays.
TEST_F(PlaybackTest, EventsGoOutAtTheFormulasTimes) {
  auto song = Song(96, {{0, Tempo(500000)},
                        {0, Prog(0, 5)},
                        {0, On(0, 60)},
                        {48, Off(0, 60)},
                        {1, On(0, 62)},
                        {40000, Off(0, 62)},  // 208333 ms: delta x 60000 beyond 32 bits
                        {0, Eot()}});
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(PlayWithEvents(*song, nullptr, Recorder(), 0, 0), 1);
  WaitEnd();
  Sends want = {{0, {0xC0, 5}},
                {5, {0x90, 60, 100}},
                {255, {0x80, 60, 0}},
                {260, {0x90, 62, 100}},
                {260 + 208333, {0x80, 62, 0}}};
  EXPECT_EQ(Sent(start), want);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(PlaybackTest, TempoChangesTakeEffectForTheFollowingDelay) {
  auto song = Song(96, {{0, On(0, 60)},       // no tempo yet: 240 BPM, period 2 ms
                        {96, Off(0, 60)},     // 250 ms at 240 BPM
                        {0, Tempo(1000000)},  // 60 BPM from here
                        {96, On(0, 61)},      // 1000 ms
                        {0, Tempo(999)},      // below 1000 us: 60 BPM and a message
                        {96, Off(0, 61)},     // 1000 ms
                        {0, Tempo(7000000)},  // 8 BPM: too slow, 10 BPM and a message
                        {96, On(0, 62)}});    // 6000 ms
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(PlayWithEvents(*song, nullptr, Recorder(), 0, 0), 1);
  WaitEnd();
  Sends want = {{2, {0x90, 60, 100}},
                {252, {0x80, 60, 0}},
                {1252, {0x90, 61, 100}},
                {2252, {0x80, 61, 0}},
                {8252, {0x90, 62, 100}}};
  EXPECT_EQ(Sent(start), want);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"MDPL08000006 テンポに誤りがあります。",
                                      "MDPL08000003 設定されているテンポが遅すぎます。"}));
}

TEST_F(PlaybackTest, EventsInTheSameMillisecondGoTogetherAndAreReportedWithOneTick) {
  // 960 at 240 BPM: deltas of up to 3 ticks are sent with the event before them.
  auto song = Song(960, {{0, On(0, 60)}, {3, On(0, 64)}, {2, On(0, 67)}, {960, Off(0, 60)}});
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(PlayWithEvents(*song, nullptr, Recorder(), 1000, 0), 1);
  WaitEnd();
  auto sent = Sent(start);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].first, 1);  // period: 60000 / 230400 rounds to 0, raised to 1 ms
  EXPECT_EQ(sent[1].first, 1);
  EXPECT_EQ(sent[2].first, 1);  // 3 + 2 ticks, each rounded on its own: 0 + 0
  EXPECT_EQ(sent[3].first, 1 + 250);
  auto reports = Reports();
  ASSERT_EQ(reports.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reports[i].index, i);
    EXPECT_EQ(reports[i].tick, 1005) << "one tick for the whole group: after its last delta";
  }
  EXPECT_EQ(reports[3].tick, 1965);
}

TEST_F(PlaybackTest, PlainPlayerWithoutCallbackPlaysOnTheDefaultDevice) {
  auto song = Song(96, {{0, Prog(1, 3)}, {0, On(1, 60)}, {96, Off(1, 60)}, {0, Eot()}});
  std::atomic<int> ended{0};
  ASSERT_EQ(PlayInThread(*song, [&] { ++ended; }), 1);
  WaitEnd();
  EXPECT_EQ(ended.load(), 1);
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0xC1, 3}, {0x91, 60, 100}, {0x81, 60, 0}}));
  // A null end callback is fine as well.
  log_->Clear();
  ASSERT_EQ(PlayInThread(*song, nullptr), 1);
  WaitEnd();
  EXPECT_EQ(log_->Bytes().size(), 3u);
}

TEST_F(PlaybackTest, SecondPortChannelsAreMaskedAndSysExGoesOutExactly) {
  Bytes stored = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  Bytes tiny = {0xF0};
  auto song = Song(96, {{0, SysEx(stored)},
                        {0, SysEx(tiny)},  // too short: not sent, nothing read past it
                        {0, Prog(17, 4)},
                        {0, On(25, 36)},
                        {10, Off(25, 36)}});
  ASSERT_EQ(PlayWithEvents(*song, nullptr, nullptr, 0, 0), 1);
  WaitEnd();
  Bytes sysex = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  EXPECT_EQ(log_->Bytes(),
            (std::vector<Bytes>{sysex, {0xC1, 4}, {0x99, 36, 100}, {0x89, 36, 0}}));
}

TEST_F(PlaybackTest, GmSystemOnIsSentOnceAtTheStartAndReported) {
  PlayerSettings().send_gm_on_at_prepare.store(1);
  Bytes gm = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  auto song = Song(96, {{0, Prog(0, 1)}, {0, SysEx(gm, 9)}, {0, On(0, 60)}, {5, Off(0, 60)}});
  ASSERT_EQ(PlayWithEvents(*song, nullptr, Recorder(), 0, 0), 1);
  WaitEnd();
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                                              {0xC0, 1},
                                              {0x90, 60, 100},
                                              {0x80, 60, 0}}));
  auto reports = Reports();
  ASSERT_GE(reports.size(), 1u);
  EXPECT_EQ(reports[0].index, 0);
  EXPECT_EQ(reports[0].tick, 0);
  EXPECT_EQ(reports[0].status, 0xF0u);
  EXPECT_EQ(song->track->events[1]->status, kStatusDeleted);
}

TEST_F(PlaybackTest, SongWithoutNotesEndsAfterItsLeadIn) {
  auto song = Song(96, {{0, Prog(0, 1)}, {96, Ctl(0, 7, 100)}, {0, Eot()}});
  std::atomic<int> ended{0};
  ASSERT_EQ(PlayWithEvents(*song, [&] { ++ended; }, Recorder(), 0, 0), 1);
  WaitEnd();
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0xC0, 1}, {0xB0, 7, 100}}));
  EXPECT_EQ(ended.load(), 1);
  auto reports = Reports();
  ASSERT_EQ(reports.size(), 3u);
  for (const auto& r : reports) EXPECT_EQ(r.tick, 0);
}

// Starting between two events: the state in force first (bank select before its program), then
// the lead-in from the first event at or after the start tick.
TEST_F(PlaybackTest, StartMidSongSendsTheStateInForceFirst) {
  auto song = NoteSong(96, {{0, Tempo(1000000)},
                            {0, Prog(0, 10)},
                            {0, Ctl(0, 0, 8)},
                            {0, On(0, 60)},
                            {96, Off(0, 60)},
                            {0, Prog(1, 20)},
                            {84, Ctl(1, 7, 90)},  // tick 180: after the start tick
                            {12, On(1, 64)},
                            {96, Off(1, 64)}});
  PlayableSong playable(*song);  // a copy prepared at division 96 in event mode
  std::atomic<int> ended{0};
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(playable.PlayRange([&] { ++ended; }, Recorder(), 150, -1), 1);
  WaitEnd();
  Sends want = {{0, {0xB0, 0, 8}},  // state: channel 0 bank, program; channel 1 program
                {0, {0xC0, 10}},
                {0, {0xC1, 20}},
                {0, {0xB1, 7, 90}},  // lead-in from tick 180
                {10, {0x91, 64, 100}},  // one period (60000 / 5760) later
                {1010, {0x81, 64, 0}}};
  EXPECT_EQ(Sent(start), want);
  EXPECT_EQ(ended.load(), 1);
  auto reports = Reports();
  ASSERT_GE(reports.size(), 3u);
  EXPECT_FALSE(reports[0].has_event);  // the first report (0, 0, none)
  // Skipped ticks (the last event before the start) + the deltas the timer played; the
  // lead-in's deltas are not counted.
  EXPECT_EQ(reports.back().tick, 96 + 12 + 96);
}

TEST_F(PlaybackTest, EndTickStopsBeforeTheEventAtIt) {
  auto song = NoteSong(96, {{0, On(0, 60)}, {96, Off(0, 60)}, {0, On(0, 62)}, {96, Off(0, 62)}});
  PlayableSong playable(*song);
  std::atomic<int> ended{0};
  ASSERT_EQ(playable.PlayRange([&] { ++ended; }, Recorder(), 0, 96), 1);
  WaitEnd();
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0x90, 60, 100}}));
  EXPECT_EQ(ended.load(), 1) << "called once, by the player";
  // Without an end callback the player says so, once per run.
  log_->Clear();
  ASSERT_EQ(playable.PlayRange(nullptr, Recorder(), 0, 96), 1);
  WaitEnd();
  ASSERT_EQ(playable.PlayRange(nullptr, Recorder(), 0, 96), 1);
  WaitEnd();
  EXPECT_EQ(cantrel_test::Sink().Texts(), (std::vector<std::string>{"CallBackPlayer Error!"}));
}

TEST_F(PlaybackTest, EndTickAtOrBeforeTheFirstNoteSendsNoNote) {
  auto song = NoteSong(96, {{0, Prog(0, 3)}, {96, On(0, 60)}, {96, Off(0, 60)}, {0, Eot()}});
  PlayableSong playable(*song);
  for (int end_tick : {1, 96}) {
    SCOPED_TRACE(end_tick);
    log_->Clear();
    std::atomic<int> ended{0};
    ASSERT_EQ(playable.PlayRange([&] { ++ended; }, Recorder(), 0, end_tick), 1);
    WaitEnd();
    // The lead-in still sets the program; the note at or after the end is not struck.
    EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0xC0, 3}}));
    EXPECT_EQ(ended.load(), 1);
  }
}

TEST_F(PlaybackTest, RefusedSongsCallTheEndCallbackAndReturnZero) {
  std::atomic<int> ended{0};
  auto zero_division = Song(0, {{0, On(0, 60)}, {10, Off(0, 60)}});
  EXPECT_EQ(PlayWithEvents(*zero_division, [&] { ++ended; }, Recorder(), 0, 0), 0);
  WaitEnd();
  EXPECT_EQ(ended.load(), 1);
  EXPECT_EQ(cantrel_test::Sink().Texts().back(),
            "MDPL08000004 Midiの演奏機能で内部エラーが起きました。");
  // A song in note mode: the song player says so, then the core refuses it.
  cantrel_test::Sink().Clear();
  auto notes = NoteSong(96, {{0, On(0, 60)}, {10, Off(0, 60)}});
  EXPECT_EQ(PlayWithEvents(*notes, [&] { ++ended; }, Recorder(), 0, 0), 0);
  WaitEnd();
  EXPECT_EQ(ended.load(), 2);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"MDSP09000001 Midiの演奏機能で内部エラーが発生しました。",
                                      "MDPL08000004 Midiの演奏機能で内部エラーが起きました。"}));
  ended.store(1);
  // No device.
  backend_.SetOpenFailure(0, plat::kMidiError, "no sound");
  auto song = Song(96, {{0, On(0, 60)}, {10, Off(0, 60)}});
  EXPECT_EQ(PlayWithEvents(*song, [&] { ++ended; }, Recorder(), 0, 0), 0);
  WaitEnd();
  EXPECT_EQ(ended.load(), 2);
  EXPECT_TRUE(log_->Bytes().empty());
  EXPECT_EQ(SongPlayer().idle.load(), 1);
  EXPECT_FALSE(SongPlayer().HasPlayer());
}

// With the time moved by hand the song waits; a stop wakes the player at once, silences every
// channel and does not call the end callback.
TEST_F(PlaybackTest, StopWakesThePlayerAtOnceAndSilences) {
  plat::ManualTimerClock clock;
  plat::InstallTimerClock(&clock);
  auto song = Song(96, {{0, On(0, 60)}, {96 * 100, Off(0, 60)}});
  std::atomic<int> ended{0};
  ASSERT_EQ(PlayWithEvents(*song, [&] { ++ended; }, Recorder(), 0, 0), 1);
  EXPECT_TRUE(SongPlayer().HasPlayer());
  EXPECT_EQ(SongPlayer().idle.load(), 0);
  ASSERT_TRUE(clock.Step());  // the first note
  ASSERT_TRUE(log_->WaitForCount(1, std::chrono::seconds(10)));
  ASSERT_TRUE(clock.WaitForWaiter(std::chrono::seconds(10)));  // waiting for the long note
  auto slept = cantrel_test::Clock().Slept();
  EXPECT_EQ(StopPlay(*song), 1);
  EXPECT_FALSE(PlayThreadRunning());
  EXPECT_EQ(SongPlayer().idle.load(), 1);
  EXPECT_FALSE(SongPlayer().HasPlayer());
  EXPECT_EQ(cantrel_test::Clock().Slept() - slept, std::chrono::milliseconds(1000));
  auto msgs = log_->Messages();
  ASSERT_EQ(msgs.size(), 1u + 16u + 1u);
  for (int ch = 0; ch < 16; ++ch) EXPECT_EQ(msgs[1 + ch].bytes, (Bytes{uint8_t(0xB0 | ch), 123, 0}));
  EXPECT_TRUE(msgs.back().reset) << "closing the device resets it";
  EXPECT_EQ(ended.load(), 0);
  // Stopping again, with nothing playing, returns at once.
  slept = cantrel_test::Clock().Slept();
  EXPECT_EQ(StopPlay(*song), 1);
  EXPECT_EQ(cantrel_test::Clock().Slept(), slept);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(PlaybackTest, LoopPlaysAgainUntilStopped) {
  plat::ManualTimerClock clock;
  plat::InstallTimerClock(&clock);
  auto song = Song(96, {{0, On(0, 60)}, {96, Off(0, 60)}});
  ASSERT_EQ(PlayWithEvents(*song, nullptr, Recorder(), 0, 1), 1);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(clock.Step());
  StopPlay(*song);
  auto bytes = log_->Bytes();
  ASSERT_GE(bytes.size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(bytes[i][0], i % 2 == 0 ? 0x90 : 0x80) << i;
}

// A new start while a song plays waits, asks the old play to stop, and never runs two at once.
TEST_F(PlaybackTest, SecondStartStopsTheFirstThenPlays) {
  plat::ManualTimerClock clock;
  plat::InstallTimerClock(&clock);
  PlayThreadTimeLimits().start_stop_request_ms = 20;
  auto first = Song(96, {{0, On(0, 60)}, {96 * 1000, Off(0, 60)}});
  auto second = Song(96, {{0, On(0, 70)}, {1, Off(0, 70)}});
  std::atomic<int> first_ended{0};
  ASSERT_EQ(PlayWithEvents(*first, [&] { ++first_ended; }, nullptr, 0, 0), 1);
  ASSERT_EQ(PlayWithEvents(*second, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(first_ended.load(), 0) << "stopped, not ended";
  StopPlay(*second);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

// The playback copy at 96 ticks per quarter without its empty bars: the first report says where
// playing starts; the original song may go while its copy plays.
TEST_F(PlaybackTest, PlayWithCallbackPlaysACutCopy) {
  auto song = std::make_unique<Midi0Data>(kSongEvents, 960, kDefaultMusicCapacity);
  auto add = [&](int delta, MidiEvent e) {
    e.delta = delta;
    song->track->AddEventCopy(e);
  };
  add(0, Prog(0, 1));
  add(20000, On(0, 60));  // tick 2000 at 96: bar 5 (cut 1920)
  add(960, Off(0, 60));
  add(0, Eot());
  song->ToNoteMode();
  ASSERT_EQ(song->state, kSongNotes);
  plat::ManualTimerClock clock;
  plat::InstallTimerClock(&clock);
  ASSERT_EQ(PlayWithCallback(*song, nullptr, Recorder(), 1, 0), 1);
  song.reset();  // the copy belongs to the play thread
  ASSERT_TRUE(clock.Step());  // the note
  ASSERT_TRUE(clock.Step());  // its end
  WaitEnd();
  auto reports = Reports();
  ASSERT_GE(reports.size(), 3u);
  EXPECT_FALSE(reports[0].has_event);
  EXPECT_EQ(reports[0].tick, 1920);
  EXPECT_EQ(reports.back().tick, 1920 + 80 + 96);
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0xC0, 1}, {0x90, 60, 100}, {0x80, 60, 0}}));
}

}  // namespace
}  // namespace playback_test

namespace playback_test {
namespace {

// A per-event callback that holds the player's thread until released.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  bool entered = false;
  void Hold() {
    std::unique_lock<std::mutex> lk(m);
    entered = true;
    cv.notify_all();
    cv.wait(lk, [&] { return open; });
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> lk(m);
    cv.wait(lk, [&] { return entered; });
  }
  void Open() {
    std::lock_guard<std::mutex> g(m);
    open = true;
    cv.notify_all();
  }
};

// A play thread that will not end keeps its place: the new start gives up with a message and
// no second player runs.
TEST_F(PlaybackTest, StartGivesUpRatherThanRunTwoPlayers) {
  PlayThreadTimeLimits().start_stop_request_ms = 10;
  PlayThreadTimeLimits().start_give_up_ms = 30;
  Gate gate;
  auto first = Song(96, {{0, On(0, 60)}, {10, Off(0, 60)}});
  ASSERT_EQ(PlayWithEvents(*first, nullptr, [&](int, int, MidiEvent* e) {
              if (e && e->status == kStatusNoteOn) gate.Hold();
            }, 0, 0), 1);
  gate.WaitEntered();
  auto second = Song(96, {{0, On(0, 70)}, {10, Off(0, 70)}});
  std::atomic<int> second_ended{0};
  EXPECT_EQ(PlayWithEvents(*second, [&] { ++second_ended; }, nullptr, 0, 0), 0);
  EXPECT_EQ(second_ended.load(), 1);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].substr(0, 12), "GENE01000004");
  gate.Open();
  WaitEnd();
  for (const auto& b : log_->Bytes()) EXPECT_NE(b[1], 70) << "the second song never played";
}

// A stop whose player does not come back in time kills its timer and still waits for the
// thread before it frees anything.
TEST_F(PlaybackTest, StopKillsTheTimerOfAStuckPlayerAndWaitsForItsThread) {
  PlayThreadTimeLimits().stop_wait_end_ms = 10;
  Gate gate;
  auto song = Song(96, {{0, On(0, 60)}, {10, Off(0, 60)}, {1000, On(0, 61)}});
  ASSERT_EQ(PlayWithEvents(*song, nullptr, [&](int, int, MidiEvent* e) {
              if (e && e->status == kStatusNoteOn && e->note == 60) gate.Hold();
            }, 0, 0), 1);
  gate.WaitEntered();
  std::thread opener([&] {
    // Once the stop has killed the timer (the playing state ends), release the callback.
    while (PlayerState().playing.load() != 0) std::this_thread::yield();
    gate.Open();
  });
  EXPECT_EQ(StopPlay(*song), 1);
  opener.join();
  EXPECT_FALSE(PlayThreadRunning());
  EXPECT_FALSE(SongPlayer().HasPlayer());
  for (const auto& b : log_->Bytes()) EXPECT_NE(b[1], 61);
}

TEST_F(PlaybackTest, SpeedScalesTheDelaysAndCallbackChangesReachTheDevice) {
  auto song = Song(96, {{0, Tempo(500000)}, {0, On(0, 60)}, {96, Off(0, 60)}, {96, On(0, 62)}});
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(PlayWithEvents(*song, nullptr, [&](int, int, MidiEvent* e) {
              if (!e) return;
              if (e->status == kStatusNoteOn) {
                e->velocity = 33;
                SetPlaySpeed(200);  // from the next delay on
              }
            }, 0, 0), 1);
  WaitEnd();
  // The delay after the note was computed before its report: the speed acts from the next one.
  Sends want = {{5, {0x90, 60, 33}}, {5 + 500, {0x80, 60, 0}}, {5 + 500 + 250, {0x90, 62, 33}}};
  EXPECT_EQ(Sent(start), want);
}

}  // namespace
}  // namespace playback_test

namespace playback_test {
namespace {

// An end callback that starts the song again is refused (no second player, no endless calls);
// a stop from a per-event callback only asks.
TEST_F(PlaybackTest, PlayAndStopFromThePlayersOwnThreads) {
  auto song = Song(96, {{0, On(0, 60)}, {10, Off(0, 60)}, {1000, On(0, 62)}, {10, Off(0, 62)}});
  std::atomic<int> ends{0}, restarts{0};
  ASSERT_EQ(PlayWithEvents(*song, [&] {
              ++ends;
              restarts += PlayInThread(*song, [&] { ++ends; });
            }, nullptr, 0, 0), 1);
  WaitEnd();
  EXPECT_EQ(ends.load(), 1);
  EXPECT_EQ(restarts.load(), 0);
  log_->Clear();
  ASSERT_EQ(PlayWithEvents(*song, nullptr, [&](int, int, MidiEvent* e) {
              if (e && e->status == kStatusNoteOff) StopPlay(*song);
            }, 0, 0), 1);
  WaitEnd();
  auto bytes = log_->Bytes();
  ASSERT_GE(bytes.size(), 2u);
  for (const auto& b : bytes) EXPECT_NE(b[1], 62) << "stopped before the second note";
}

}  // namespace
}  // namespace playback_test

namespace playback_test {
namespace {

// An excerpt keeps the settings before it, its own notes (shortened to its end) and nothing
// after it; the song itself is not changed.
TEST_F(PlaybackTest, ExcerptPlaysOnlyItsRange) {
  auto song = NoteSong(96, {{0, Prog(0, 7)},
                            {0, On(0, 60)}, {48, Off(0, 60)},
                            {48, On(0, 62)}, {48, Off(0, 62)},
                            {48, On(0, 64)}, {96, Off(0, 64)},  // 192..288, cut at 240
                            {0, On(0, 65)}, {48, Off(0, 65)},
                            {0, Eot()}});
  int events_before = song->track->event_count;
  auto start = cantrel_test::Clock().Now();
  ASSERT_EQ(PlayExcerptWithCallback(*song, nullptr, Recorder(), 96, 240), 1);
  WaitEnd();
  // 240 BPM at 96 ticks: 250 ms a quarter; the first note one period (2 ms) after the lead-in.
  Sends want = {{0, {0xC0, 7}},
                {2, {0x90, 62, 100}},
                {2 + 125, {0x80, 62, 0}},
                {2 + 250, {0x90, 64, 100}},
                {2 + 375, {0x80, 64, 0}}};
  EXPECT_EQ(Sent(start), want);
  EXPECT_EQ(song->track->event_count, events_before);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

}  // namespace
}  // namespace playback_test
