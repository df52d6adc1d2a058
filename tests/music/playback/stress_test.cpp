// Play, stop and play again from two threads at random moments: nothing may crash, leak, hang
// or run two players at once. tools/test runs it under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/music/playback/playback_fixture.h"
#include "util/gne.h"

namespace playback_test {
namespace {

std::vector<Timed> LongSong(int notes) {
  std::vector<Timed> ev = {{0, Tempo(500000)}, {0, Prog(0, 1)}, {0, Ctl(0, 7, 100)}};
  for (int i = 0; i < notes; ++i) {
    ev.push_back({i % 3 == 0 ? 0 : 24, On(i % 16, 40 + i % 40)});
    ev.push_back({12, Off(i % 16, 40 + i % 40)});
  }
  ev.push_back({0, Eot()});
  return ev;
}

TEST_F(PlaybackTest, PlayStopReplayFromTwoThreads) {
  PlayThreadTimeLimits().start_stop_request_ms = 1;
  auto notes = NoteSong(96, LongSong(400));  // played through copies
  auto events = Song(96, LongSong(400));     // played itself
  std::atomic<int> ends{0}, reports{0};
  PlayEndCallback on_end = [&] { ++ends; };
  PlayEventCallback on_event = [&](int, int, MidiEvent* e) {
    ++reports;
    if (e && e->status == kStatusNoteOn) e->velocity = 64;  // what the device gets
  };
  std::atomic<bool> done{false};
  std::thread other([&] {
    int i = 0;
    while (!done.load()) {
      SetPlaySpeed(50 + (i % 3) * 50);
      SendShortMessageWhilePlaying(0xB0, 10, i % 128);
      (void)SongPlayer().HasPlayer();
      (void)SongPlayer().IsPlaying();
      (void)PlayThreadRunning();
      ++i;
      std::this_thread::yield();
    }
  });
  GneSeedRandomWith(7);
  for (int round = 0; round < 300; ++round) {
    switch (GneRandomRange(0, 5)) {
      case 0: notes->PlayWithCallback(on_end, on_event, GneRandomRange(0, 1), 0); break;
      case 1: events->PlayWithEvents(on_end, on_event, 0, GneRandomRange(0, 1)); break;
      case 2: events->PlayInThread(on_end); break;
      case 3:
      case 4: notes->StopPlay(); break;
      case 5: {
        // A song destroyed while its copy plays.
        auto temporary = std::make_unique<Midi0Data>(*notes);
        temporary->PlayWithCallback(nullptr, nullptr, 1, 1);
        temporary.reset();
        break;
      }
    }
  }
  notes->StopPlay();
  done.store(true);
  other.join();
  EXPECT_FALSE(PlayThreadRunning());
  EXPECT_FALSE(SongPlayer().HasPlayer());
  EXPECT_EQ(SongPlayer().idle.load(), 1);
  EXPECT_GT(reports.load(), 0);
  for (const auto& m : log_->Messages()) {
    if (m.reset) continue;
    ASSERT_EQ(plat::CheckMidiMessage(m.bytes.data(), m.bytes.size()), plat::kMidiOk);
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u) << cantrel_test::Sink().Texts().front();
}

}  // namespace
}  // namespace playback_test
