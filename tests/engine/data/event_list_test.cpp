#include <cstring>
#include <vector>

#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "tests/engine/engine_fixture.h"

namespace {

class EventListTest : public EngineTest {};

std::vector<int> Lengths(const EventList& list) {
  std::vector<int> out;
  for (int i = 0; i < list.count(); ++i) out.push_back(list[i].length);
  return out;
}

std::vector<int> Pitches(const EventList& list) {
  std::vector<int> out;
  for (int i = 0; i < list.count(); ++i) out.push_back(list[i].pitch);
  return out;
}

TEST_F(EventListTest, SplitLongNotesMakesNoteAndRest) {
  EventList list;
  list.AppendNote(2000, 64);
  list.AppendNote(96, 65);
  list.AppendNote(4000, 0);  // a long rest is split too, every piece within the limit
  list.AppendNote(5000, 67);
  list.SplitLongNotes(1536);
  EXPECT_EQ(Lengths(list),
            (std::vector<int>{1536, 464, 96, 1536, 1536, 928, 1536, 1536, 1536, 392}));
  EXPECT_EQ(Pitches(list), (std::vector<int>{64, 0, 65, 0, 0, 0, 67, 0, 0, 0}));
  for (int i = 0; i < list.count(); ++i) EXPECT_EQ(list[i].kind, kEventNote);
}

TEST_F(EventListTest, InsertAtTimeCases) {
  struct Case {
    std::vector<int> lengths;
    int time;
    std::vector<int> expect;
    int inserted_at;
  };
  const Case cases[] = {
      {{96, 96}, 96, {96, 0, 96}, 1},          // at a boundary: after that event, length 0
      {{384, 384}, 1000, {384, 616, 0}, 2},    // past the end: last event lengthened
      {{384}, 100, {100, 284}, 1},             // inside an event: cut there
      {{}, 50, {0}, 0},                        // empty list takes the event
      {{96, 96}, 0, {0, 96, 96}, 1},           // at the start
  };
  for (const Case& c : cases) {
    EventList list;
    for (int len : c.lengths) list.AppendNote(len, 60);
    auto* e = new ComposeEvent;
    e->pitch = 99;
    e->length = 12345;
    list.InsertAtTime(e, c.time);
    EXPECT_EQ(Lengths(list), c.expect) << "time " << c.time;
    EXPECT_EQ(list[c.inserted_at].pitch, 99);
  }
}

TEST_F(EventListTest, InsertKeepsTimelineAfterInsertionPoint) {
  EventList list;
  list.AppendNote(100, 60);
  list.AppendNote(200, 61);
  list.AppendNote(300, 62);
  list.InsertAtTime(new ComposeEvent, 150);
  EXPECT_EQ(list.TotalLength(), 600);
  EXPECT_EQ(list.StartOf(3), 300);  // the 300-tick note still starts at 300
}

TEST_F(EventListTest, CountNotesBetweenIgnoresRestsAndMarkers) {
  EventList list;
  list.AppendNote(96, 60);
  list.AppendNote(96, 0);
  list.AppendControl(96, 5);
  list.AppendNote(96, 62);
  list.AppendNote(96, 64);  // starts at 384: next bar
  EXPECT_EQ(list.CountNotesBetween(0, 384), 2);
  EXPECT_EQ(list.CountNotesBetween(384, 768), 1);
}

TEST_F(EventListTest, TransposeOnlyWithModulation) {
  EventList list;
  list.AppendNote(96, 126);
  list.AppendNote(96, 60);
  ChordBlock block;
  std::memcpy(block.chord_code, "CMPo", 4);
  block.length = 384;
  list.AppendChordMarker(block);

  CurrentStyle().modulation = 0;
  list.TransposeUpFrom(0);
  list.TransposeDownFrom(0);
  EXPECT_EQ(Pitches(list), (std::vector<int>{126, 60, 0}));
  EXPECT_EQ(list[2].chord_code[0], 'C');

  CurrentStyle().modulation = 1;
  CurrentStyle().parts[kMelodyChannel].range_high = 120;
  list.TransposeUpFrom(0);
  EXPECT_EQ(list[0].pitch, 115);
  EXPECT_EQ(list[1].pitch, 61);
  EXPECT_EQ(list[2].chord_code[0], 'd');
  CurrentStyle().parts[kMelodyChannel].range_low = 73;
  list.TransposeDownFrom(1);
  EXPECT_EQ(list[1].pitch, 72);  // 60 + 12 is still below 73: raised
  EXPECT_EQ(list[2].chord_code[0], 'C');
}

TEST_F(EventListTest, FullListWarnsOnceThenRefuses) {
  EventList list;
  for (int i = 0; i < kEventListCapacity - 1; ++i) ASSERT_NE(list.AppendNote(1, 60), nullptr);
  EXPECT_EQ(ErrorCount(engine_error::kNoteMemory), 0);
  EXPECT_NE(list.AppendNote(1, 60), nullptr);  // the 16384th: warned, stored
  EXPECT_EQ(ErrorCount(engine_error::kNoteMemory), 1);
  EXPECT_EQ(list.AppendNote(1, 60), nullptr);  // the 16385th: silently ignored
  EXPECT_EQ(list.AppendSectionTag(1, "AE"), nullptr);
  EXPECT_EQ(ErrorCount(engine_error::kNoteMemory), 1);
  EXPECT_EQ(list.count(), kEventListCapacity);
  // The unchecked appends of the original are bounded too, with a report.
  EXPECT_EQ(list.AppendCopy(list[0]), nullptr);
  list.InsertAtTime(new ComposeEvent, 5);
  list.SplitLongNotes(0);
  EXPECT_EQ(list.count(), kEventListCapacity);
  EXPECT_GE(ErrorCount(engine_error::kNoteMemory), 2);
}

TEST_F(EventListTest, CopyMergeAndPack) {
  EventList a;
  a.AppendNote(300, 60);
  a.AppendSectionTag(84, "AE");
  EventList b;
  b.CopyFrom(a);
  ASSERT_EQ(b.count(), 2);
  EXPECT_EQ(b[1].kind, kEventSectionTag);
  EXPECT_EQ(b[1].tag[0], '\0');  // copies leave the tag out

  EventList melody;
  melody.AppendNote(384, 60);
  EventList markers;
  markers.AppendNote(192, 1);
  markers.AppendNote(192, 2);
  melody.MergeFrom(markers);
  EXPECT_EQ(Lengths(melody), (std::vector<int>{0, 192, 192}));
  EXPECT_EQ(melody.TotalLength(), 384);

  std::vector<uint8_t> buffer(EventList::kPackBufferSize, 0xAA);
  a.PackNotes(buffer.data());
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[1], 44);
  EXPECT_EQ(buffer[2], 60);
  EXPECT_EQ(buffer[3], 0);
  EXPECT_EQ(buffer[4], 84);
  EXPECT_EQ(buffer[6], 0);
}

TEST_F(EventListTest, ComposeInformationResetKeepsBlocksAndInput) {
  ComposeInformation& info = ComposeInfo();
  ChordEntry e;
  e.length = 384;
  std::memcpy(e.code, "CMPo", 4);
  info.AddChordBlock(e, nullptr);
  ASSERT_TRUE(info.SetChordInputEntry(0, e, "00"));
  info.section_chords[0].AppendNote(1, 1);
  info.melody_notes.AppendNote(1, 1);
  info.AddSectionId(1);
  info.Reset();
  EXPECT_EQ(info.section_id_count, 0);
  EXPECT_EQ(info.section_chords[0].count(), 0);
  EXPECT_EQ(info.melody_notes.count(), 0);
  EXPECT_EQ(info.chord_block_count(), 1);
  EXPECT_EQ(info.ChordInputCount(), 1);
  EXPECT_EQ(info.TotalChordLength(), 384);
}

TEST_F(EventListTest, ChordInputIsBounded) {
  ComposeInformation& info = ComposeInfo();
  ChordEntry e;
  e.length = 96;
  std::memcpy(e.code, "GMPs", 4);
  for (int i = 0; i < kChordInputEntries; ++i) ASSERT_TRUE(info.SetChordInputEntry(i, e, "07"));
  EXPECT_EQ(ErrorCount(engine_error::kEditInit), 0);
  EXPECT_FALSE(info.SetChordInputEntry(kChordInputEntries, e, "07"));
  EXPECT_EQ(ErrorCount(engine_error::kEditInit), 1);
  EXPECT_EQ(info.ChordInputCount(), kChordInputEntries);
  // The end mark after the last whole entry lies inside the 4096 bytes.
  EXPECT_EQ(info.chord_input[4092], 0);
  EXPECT_EQ(info.chord_input[4093], 0);
  EXPECT_EQ(info.bass_digits[681][1], '7');
  const ChordEntry back = info.ChordInputEntry(681);
  EXPECT_EQ(back.length, 96);
  EXPECT_EQ(std::memcmp(back.code, "GMPs", 4), 0);
}

TEST_F(EventListTest, ChordBlockListStopsAtThousand) {
  ComposeInformation& info = ComposeInfo();
  ChordEntry e;
  e.length = 96;
  std::memcpy(e.code, "CMPo", 4);
  for (int i = 0; i < kChordBlockCapacity + 5; ++i) info.AddChordBlockWithBass(e, 7);
  EXPECT_EQ(info.chord_block_count(), kChordBlockCapacity);
  EXPECT_EQ(BoxCount(), 1u);  // the class box once, at the 1000th block
  EXPECT_EQ(info.chord_block(0)->bass, 36 + 7);
  EXPECT_EQ(std::string(info.chord_block(0)->bass_text, 2), "07");
}

}  // namespace
