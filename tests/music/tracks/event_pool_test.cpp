// Events made by a track come from its pool; they behave as heap events do: they may
// move to another track, outlive the track that made them, and be deleted anywhere.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "music/event_pool.h"
#include "music/midi_track.h"
#include "tests/music/tracks/track_test_util.h"

namespace {

std::vector<uint8_t> NotesChunk(int notes) {
  std::vector<uint8_t> body;
  for (int i = 0; i < notes; ++i) {
    body.insert(body.end(), {0x00, 0x90, static_cast<uint8_t>(40 + i % 40), 0x64});
    body.insert(body.end(), {0x10, 0x80, static_cast<uint8_t>(40 + i % 40), 0x40});
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  return track_test::Chunk(body);
}

TEST(EventPool, EventsOutliveAndLeaveTheTrackThatMadeThem) {
  const std::vector<uint8_t> chunk = NotesChunk(3000);  // several pool blocks
  auto maker = std::make_unique<MidiTrack>(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0,
                                           0x60000);
  ASSERT_EQ(maker->event_count, 6001);
  MidiTrack keeper(kTrackEvents, 0x60000);
  // Every other event moves; the rest are deleted with the track that made them.
  for (int32_t i = 0; i < maker->event_count; i += 2) {
    keeper.AddEvent(maker->events[i]);
    maker->events[i] = new MidiEvent(0);  // a heap event in its place
  }
  maker.reset();
  int notes = 0;
  for (int32_t i = 0; i < keeper.event_count; ++i) {
    if (keeper.events[i]->status == kStatusNoteOn) {
      EXPECT_EQ(keeper.events[i]->note, 40 + notes % 40);
      ++notes;
    }
  }
  EXPECT_EQ(notes, 3000);
  // A copy of a pool event made outside any scope comes from the heap and is deleted alike.
  std::unique_ptr<MidiEvent> copy(new MidiEvent(*keeper.events[0]));
  EXPECT_EQ(copy->note, 40);
}

TEST(EventPool, NoteModeAndBackKeepEveryNote) {
  const std::vector<uint8_t> chunk = NotesChunk(500);
  MidiTrack t(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0, 0x60000);
  for (int round = 0; round < 5; ++round) {
    t.ToNoteMode();
    ASSERT_EQ(t.CountEvents(kStatusNote), 500);
    t.ToEventMode();
    ASSERT_EQ(t.CountEvents(kStatusNoteOn), 500);
    ASSERT_EQ(t.CountEvents(kStatusNoteOff), 500);
  }
}

TEST(EventPool, AScopeServesOnlyItsOwnThread) {
  EventPool pool;
  std::unique_ptr<MidiEvent> pooled, other;
  {
    EventPool::Scope scope(pool);
    pooled.reset(new MidiEvent(1));
    std::thread([&other] { other.reset(new MidiEvent(2)); }).join();
  }
  EXPECT_EQ(pooled->delta, 1);
  EXPECT_EQ(other->delta, 2);
  other.reset();   // deleted on another thread than the one that made it: both work
  pooled.reset();
}

TEST(EventPool, EventsDeletedWhileTheirBlockIsStillCutLeaveItToTheRest) {
  // Events freed before, during and after the pool's life, from one block and from several:
  // the sanitizers report a block freed early (use after free) or never (leak).
  for (int count : {1, 2, 700, 3000}) {
    std::vector<std::unique_ptr<MidiEvent>> kept;
    {
      EventPool pool;
      EventPool::Scope scope(pool);
      for (int i = 0; i < count; ++i) {
        std::unique_ptr<MidiEvent> e(new MidiEvent(i));
        if (i % 3 != 0) kept.push_back(std::move(e));  // every third goes at once
      }
      if (!kept.empty()) kept.erase(kept.begin());  // and one while the pool still cuts
      kept.emplace_back(new MidiEvent(-1));
    }
    int32_t sum = 0;
    for (const auto& e : kept) sum += e->delta;
    int32_t expected = -1;
    for (int i = 1; i < count; ++i) expected += i % 3 != 0 ? i : 0;
    if (count > 1) expected -= 1;  // the first kept one (delta 1) went
    EXPECT_EQ(sum, expected) << count;
  }
}

}  // namespace
