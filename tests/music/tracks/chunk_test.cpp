// Track chunks: parsing with its normalisations, bounds on damaged bytes, and the
// serialised bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "music/midi_track.h"
#include "tests/music/tracks/track_test_util.h"
#include "tests/support/test_support.h"

using track_test::Bytes;
using track_test::Chunk;
using track_test::ChunkBytes;
using track_test::ParseBody;

namespace {

int Boxes(const char* prefix) {
  int n = 0;
  for (const auto& t : cantrel_test::Sink().Texts()) n += t.rfind(prefix, 0) == 0;
  return n;
}

// The events part of the serialised chunk.
Bytes Written(MidiTrack& t) {
  t.ToChunk("MTrk");
  Bytes b = track_test::ChunkBytes(t);
  return Bytes(b.begin() + 8, b.end());
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(TrackChunk, NoteOnWithVelocityZeroIsANoteOff) {
  auto t = ParseBody(Cat({{0x00, 0x90, 0x3C, 0x40, 0x60, 0x90, 0x3C, 0x00}, kEnd}));
  ASSERT_EQ(t->event_count, 3);
  EXPECT_EQ(t->events[1]->status, kStatusNoteOff);
  EXPECT_EQ(t->events[1]->delta, 0x60);
  EXPECT_EQ(Written(*t), Cat({{0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x40}, kEnd}));
}

TEST(TrackChunk, RunningStatusGoesOnAcrossMetaEvents) {
  auto t = ParseBody(Cat({{0x00, 0x91, 0x3C, 0x40, 0x10, 0x3E, 0x41, 0x00, 0xFF, 0x05, 0x01, 'a',
                           0x10, 0x40, 0x42, 0x10, 0x3C, 0x00},
                          kEnd}));
  ASSERT_EQ(t->event_count, 6);
  const int notes[] = {0x3C, 0x3E, -1, 0x40, 0x3C};
  for (int i : {0, 1, 3, 4}) {
    EXPECT_EQ(t->events[i]->channel, 1) << i;
    EXPECT_EQ(t->events[i]->note, notes[i]) << i;
    // The stored bytes begin with the real status byte.
    EXPECT_EQ(t->events[i]->data[0], i == 4 ? 0x91 : 0x91) << i;
  }
  EXPECT_EQ(t->events[4]->status, kStatusNoteOff);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(TrackChunk, FixedMetaNormalisations) {
  auto t = ParseBody(Cat({{0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00,        // tempo 0
                           0x00, 0xFF, 0x58, 0x04, 0x03, 0x00, 0x18, 0x08,  // power 0
                           0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x18, 0x08,  // 6/8
                           0x00, 0xFF, 0x59, 0x02, 0xFD, 0x01,              // 3 flats, minor
                           0x00, 0xFF, 0x20, 0x01, 0x05},                   // channel prefix
                          kEnd}));
  ASSERT_EQ(t->event_count, 6);
  EXPECT_EQ(t->events[0]->value, 500000);
  EXPECT_EQ(Boxes("MDTK0D000005"), 1);
  EXPECT_EQ(t->events[1]->value, 0x404);
  EXPECT_EQ(Boxes("MDTK0D000027"), 1);
  EXPECT_EQ(t->events[2]->value, 0x608);
  EXPECT_EQ(t->events[3]->data[0], 0xFD);
  EXPECT_EQ(t->events[3]->data[1], 0x01);
  EXPECT_EQ(t->events[4]->data[0], 0x05);  // kept, not zeroed
}

TEST(TrackChunk, FixedMetaWithAnOddLengthConsumesItsDeclaredBytes) {
  // A tempo declaring 4 bytes and a key signature declaring 1: the next event is read
  // where the declared length ends.
  auto t = ParseBody(Cat({{0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x99,
                           0x00, 0xFF, 0x59, 0x01, 0x02,
                           0x00, 0xC0, 0x05},
                          kEnd}));
  ASSERT_EQ(t->event_count, 4);
  EXPECT_EQ(t->events[0]->value, 500000);
  EXPECT_EQ(t->events[1]->data[0], 0x02);
  EXPECT_EQ(t->events[1]->data[1], 0x00);
  EXPECT_EQ(t->events[2]->status, kStatusProgram);
  EXPECT_EQ(t->events[2]->value, 5);
}

TEST(TrackChunk, MetaTypesKeptRenamedAndDropped) {
  auto t = ParseBody(Cat({{0x00, 0xFF, 0x09, 0x02, 'S', 'C',
                           0x00, 0xFF, 0x7F, 0x02, 0x43, 0x00,
                           0x00, 0xFF, 0x08, 0x02, 'P', 'G',
                           0x00, 0xFF, 0x21, 0x01, 0x00,
                           0x05, 0xFF, 0x01, 0x00},
                          kEnd}));
  ASSERT_EQ(t->event_count, 6);
  EXPECT_EQ(t->events[0]->number, 0x04u);
  EXPECT_EQ(t->events[1]->number, 0x7Fu);
  EXPECT_EQ(t->events[2]->status, kStatusDeleted);
  EXPECT_EQ(t->events[3]->status, kStatusDeleted);
  EXPECT_EQ(t->events[4]->data_length, 1);  // the empty text holds one zero byte
  EXPECT_EQ(t->events[4]->data[0], 0);
  // Dropped events write nothing; their deltas go to the next event.
  EXPECT_EQ(Written(*t), Cat({{0x00, 0xFF, 0x04, 0x02, 'S', 'C', 0x00, 0xFF, 0x7F, 0x02, 0x43,
                               0x00, 0x05, 0xFF, 0x01, 0x01, 0x00},
                              kEnd}));
}

TEST(TrackChunk, LongTextsGetVariableLengthLengths) {
  Bytes lyric(100, 'a'), text(200, 'b'), other(150, 'c');
  Bytes body = Cat({{0x00, 0xFF, 0x05, 100}, lyric, {0x00, 0xFF, 0x01, 0x81, 0x48}, text,
                    {0x00, 0xFF, 0x7F, 0x81, 0x16}, other, kEnd});
  auto t = ParseBody(body);
  ASSERT_EQ(t->event_count, 4);
  EXPECT_EQ(t->events[1]->data_length, 200);
  EXPECT_EQ(Written(*t), body);
  EXPECT_EQ(Boxes("MDTK0D00000B"), 1);  // once, for the 200-byte text
}

TEST(TrackChunk, SystemExclusiveWithAWrongLengthReadsToItsF7) {
  auto t = ParseBody(Cat({{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xC0, 0x01}, kEnd}));
  ASSERT_EQ(t->event_count, 3);
  EXPECT_EQ(t->events[0]->data_length, 7);
  EXPECT_EQ(t->events[0]->number, SysExKind::kGmSystemOn);
  EXPECT_EQ(t->events[1]->status, kStatusProgram);
  // Written back with its true length.
  EXPECT_EQ(Written(*t),
            Cat({{0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xC0, 0x01}, kEnd}));
}

TEST(TrackChunk, EscapeLengthIsAVariableLengthNumber) {
  Bytes payload(130, 0x11);
  Bytes body = Cat({{0x00, 0xF7, 0x81, 0x02}, payload, kEnd});
  auto t = ParseBody(body);
  ASSERT_EQ(t->event_count, 2);
  EXPECT_EQ(t->events[0]->status, kStatusSysExEscape);
  EXPECT_EQ(t->events[0]->data_length, 133);
  EXPECT_EQ(Written(*t), body);
}

TEST(TrackChunk, SerialisingWithoutEndOfTrackChangesNothing) {
  auto t = ParseBody({0x00, 0xC0, 0x01});
  ASSERT_EQ(t->event_count, 1);
  t->ToChunk("MTrk");
  EXPECT_EQ(t->mode, kTrackEvents);
  EXPECT_EQ(Boxes("MDTK0D000001"), 1);
}

// An End of Track in the middle of the events (a spliced or damaged file) would end
// the written chunk for every reader; it is left out and its delta goes on, so that
// the events behind it keep their ticks and a second save writes the same bytes.
TEST(TrackChunk, EndOfTrackBeforeTheLastEventIsNotWritten) {
  auto t = ParseBody({0x00, 0x90, 60, 100, 0x10, 0xFF, 0x2F, 0x00, 0x20, 0x80, 60, 0,
                      0x05, 0xFF, 0x2F, 0x00});
  ASSERT_EQ(t->event_count, 4);
  t->ToChunk("MTrk");
  ASSERT_EQ(t->mode, kTrackChunk);
  const Bytes first = ChunkBytes(*t);
  EXPECT_EQ(first, Chunk({0x00, 0x90, 60, 100, 0x30, 0x80, 60, 64, 0x05, 0xFF, 0x2F, 0x00}));
  EXPECT_EQ(Boxes("MDTK"), 0);
  auto again = ParseBody(Bytes(first.begin() + 8, first.end()));
  again->ToChunk("MTrk");
  EXPECT_EQ(ChunkBytes(*again), first);
}

// A message of 15330 bytes after its length number has the length F7 62: the F7 of
// the number does not end the message, which reads back whole and is written again
// with the same bytes.
TEST(TrackChunk, SystemExclusiveWhoseLengthNumberHoldsAnF7ReadsWhole) {
  Bytes body = {0x00, 0xF0, 0xF7, 0x62};
  body.insert(body.end(), 15329, 0x11);
  body.insert(body.end(), {0xF7, 0x00, 0xFF, 0x2F, 0x00});
  auto t = ParseBody(body);
  ASSERT_EQ(t->event_count, 2);
  EXPECT_EQ(t->events[0]->status, kStatusSysEx);
  EXPECT_EQ(t->events[0]->data_length, 1 + 2 + 15330);
  t->ToChunk("MTrk");
  EXPECT_EQ(ChunkBytes(*t), Chunk(body));
}

TEST(TrackChunk, RefusedChunks) {
  struct Case {
    Bytes bytes;
    int32_t capacity;
    const char* box;
  } cases[] = {
      {{'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00}, 0x60000, "MDTK0D000001"},
      {{'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x09, 0x00, 0xFF, 0x2F, 0x00}, 0x60000, "MDTK0D000001"},
      {{'M', 'T', 'r', 'k', 0x00, 0x00}, 0x60000, "MDTK0D000001"},
      {{'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0x2F, 0x00}, 0x60000, "MDTK0D000007"},
      {{'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0x2F, 0x00}, 11, "MDTK0D000006"},
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    MidiTrack t(static_cast<int64_t>(c.bytes.size()), 0, c.bytes.data(), 0, c.capacity);
    EXPECT_EQ(t.mode, kTrackEmpty) << c.box;
    EXPECT_EQ(t.used_size, 0) << c.box;
    EXPECT_EQ(Boxes(c.box), 1) << c.box;
  }
  // Other chunk ids the files carry.
  Bytes xf = {'X', 'F', 'K', 'M', 0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0x2F, 0x00};
  MidiTrack t(static_cast<int64_t>(xf.size()), 0, xf.data(), 0, 0x60000);
  EXPECT_EQ(t.mode, kTrackEvents);
}

TEST(TrackChunk, DamagedBytesStayInsideTheChunk) {
  struct Case {
    Bytes body;
    int32_t events;
  } cases[] = {
      {{0x81, 0x82, 0x83}, 1},                    // a delta running off the end
      {{0x81, 0x82, 0x83, 0x84, 0x05, 0xC0, 0x01}, 2},  // five bytes: four are the most
      {{0x00, 0xFF, 0x05, 0x7F, 'a', 'b'}, 1},    // text longer than the chunk
      {{0x00, 0xFF, 0x05, 0x81}, 1},              // text length cut short
      {{0x00, 0xFF}, 1},                          // meta without type
      {{0x00, 0xF0, 0x41, 0x10}, 1},              // sysex without F7
      {{0x00, 0xF7, 0x7F, 0x01}, 1},              // escape longer than the chunk
      {{0x00, 0xB0, 0x07}, 1},                    // controller cut short
      {{0x00, 0xFF, 0x51, 0x03, 0x07}, 1},        // tempo cut short
  };
  for (const Case& c : cases) {
    auto t = ParseBody(c.body);
    EXPECT_EQ(t->mode, kTrackEvents) << testing::PrintToString(c.body);
    EXPECT_EQ(t->event_count, c.events) << testing::PrintToString(c.body);
    EXPECT_EQ(t->position, t->used_size) << testing::PrintToString(c.body);
  }
}

TEST(TrackChunk, BytesWithoutEventAreSteppedOver) {
  // No running status yet and undefined status bytes: each is stepped over, one box
  // for the chunk, and the events after them are read.
  ResetMidiTrackModule();
  auto t = ParseBody(Cat({{0x00, 0xF4, 0x00, 0xF5, 0x00, 0xC2, 0x07}, kEnd}));
  int programs = t->CountEvents(kStatusProgram);
  EXPECT_EQ(programs, 1);
  EXPECT_EQ(Boxes("MDTK0D000002"), 1);
  EXPECT_TRUE(t->LastIsEndOfTrack());
}

TEST(TrackChunk, WrittenBytesAreMaskedAndDeltasFitFourBytes) {
  MidiTrack t(kTrackEvents, 0x1000);
  MidiEvent* on = new MidiEvent(0x200000);
  on->status = kStatusNoteOn;
  on->channel = 17;
  on->note = 60;
  on->velocity = 200;
  t.AddEvent(on);
  MidiEvent* dropped = new MidiEvent(5);  // deleted: its delta goes to the next event
  t.AddEvent(dropped);
  t.AddControlChange(3, 300, 129);
  t.events[2]->delta = 7;
  t.AddEndOfTrack();
  EXPECT_EQ(Written(t), Cat({{0x81, 0x80, 0x80, 0x00, 0x91, 0x3C, 0x48, 0x0C, 0xB3, 0x2C, 0x01},
                             kEnd}));
  EXPECT_EQ(Boxes("MDTK0D000003"), 1);
}

TEST(TrackChunk, ChunkTooLargeForTheBufferIsCutAndClosed) {
  MidiTrack t(kTrackEvents, 300);
  for (int i = 0; i < 100; ++i) t.AddNote(0, 0, 60, 100, 10);
  for (int i = 0; i < 100; ++i) t.events[i]->status = kStatusController;
  t.AddEndOfTrack();
  t.ToChunk("MTrk");
  EXPECT_EQ(t.mode, kTrackChunk);
  EXPECT_EQ(Boxes("MDTK0D00001A"), 1);
  EXPECT_LE(t.used_size, 300 - 256 + 4);
  Bytes b = track_test::ChunkBytes(t);
  EXPECT_EQ(Bytes(b.end() - 3, b.end()), Bytes({0xFF, 0x2F, 0x00}));
  MidiTrack again(static_cast<int64_t>(b.size()), 0, b.data(), 0, 0x1000);
  EXPECT_TRUE(again.LastIsEndOfTrack());
}

TEST(TrackChunk, TrackWithoutRoomForAChunkIsNotWritten) {
  MidiTrack t(kTrackEvents, 0);
  t.AddEndOfTrack();
  t.ToChunk("MTrk");
  EXPECT_EQ(t.mode, kTrackEvents);
  EXPECT_EQ(t.used_size, 0);
  EXPECT_EQ(Boxes("MDTK0D00001A"), 1);
}

TEST(TrackChunk, ManyEventsAreReportedAndKept) {
  MidiTrack t(kTrackEvents, 0x60000);
  for (int i = 0; i < kTrackEventLimit + 2; ++i) t.AddEvent(new MidiEvent(0));
  EXPECT_EQ(t.event_count, kTrackEventLimit + 2);
  EXPECT_EQ(Boxes("MDTK0D000006"), 2);
}

TEST(TrackChunk, WarningsShowOnceUntilReset) {
  MidiTrack::WarningMsg(kMdtkManyVolumes);
  MidiTrack::WarningMsg(kMdtkManyMasterVolumes);  // shares the flag
  MidiTrack::WarningMsg(kMdtkManyVolumes);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  MidiTrack::WarningMsg(0);
  MidiTrack::WarningMsg(kMdtkManyMasterVolumes);
  EXPECT_EQ(Boxes("MDTK0D000011 複数のマスターボリュームが設定されています。"), 1);
  MidiTrack::WarningMsg(0x0D000099);
  MidiTrack::WarningMsg(0x0D000099);
  EXPECT_EQ(Boxes("MDTK0D000099 Midiのトラックデータでエラーが発生しました。"), 2);
}

TEST(TrackChunk, YieldPeriodPausesWhileParsing) {
  Bytes body;
  for (int i = 0; i < 650; ++i) body.insert(body.end(), {0x00, 0xC0, 0x01});
  body.insert(body.end(), kEnd.begin(), kEnd.end());
  Bytes chunk = track_test::Chunk(body);
  auto before = cantrel_test::Clock().Slept();
  MidiTrack t(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 5, 0x60000);
  EXPECT_EQ((cantrel_test::Clock().Slept() - before).count(), 15);  // events 0, 300, 600
  ResetMidiTrackModule();
}
