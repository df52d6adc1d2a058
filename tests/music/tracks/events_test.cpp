// Music events, MIDI events and the classification of system-exclusive messages.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "music/midi_event.h"
#include "music/sysex_kind.h"
#include "tests/support/test_support.h"

namespace {

bool SawBox(const char* prefix) {
  for (const auto& t : cantrel_test::Sink().Texts()) {
    if (t.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

MidiEvent SysEx(std::vector<uint8_t> bytes) {
  MidiEvent e;
  e.status = kStatusSysEx;
  e.SetData(bytes.data(), static_cast<int32_t>(bytes.size()));
  ClassifySysEx(e);
  return e;
}

}  // namespace

TEST(MusicEvent, SetDataOfLengthZeroKeepsTheOldData) {
  MusicEvent e;
  const uint8_t bytes[3] = {1, 2, 3};
  EXPECT_EQ(e.SetData(bytes, 3), 3);
  EXPECT_EQ(e.SetData(bytes, 0), 0);
  EXPECT_EQ(e.data_length, 3);
  EXPECT_EQ(e.GetDataByte(2), 3);
}

TEST(MusicEvent, SetDataByteOnePastTheBlockGrowsIt) {
  MusicEvent e;
  const uint8_t bytes[2] = {7, 9};
  e.SetData(bytes, 2);  // block of 10 bytes
  e.SetDataByte(10, 0x55);
  EXPECT_EQ(e.data_length, 2);
  EXPECT_GE(e.DataBlockSize(), 11);
  EXPECT_EQ(e.data[0], 7);
  EXPECT_EQ(e.data[1], 9);
  EXPECT_EQ(e.data[10], 0x55);
}

TEST(MusicEvent, LongDataIsReportedAndKept) {
  MusicEvent e;
  std::vector<uint8_t> bytes(300, 0x41);
  e.SetData(bytes.data(), 300);
  EXPECT_EQ(e.data_length, 300);
  EXPECT_TRUE(SawBox("MUEV06000001"));
}

TEST(MusicEvent, ReadsOutsideTheBlockAreRefused) {
  MusicEvent e;
  EXPECT_EQ(e.GetDataByte(0), 0);
  EXPECT_EQ(e.GetDataAt(0), nullptr);
  EXPECT_TRUE(SawBox("MUEV06000002"));
  const uint8_t bytes[4] = {1, 2, 3, 4};
  e.SetData(bytes, 4);
  e.ResizeData(0);  // block of 8 bytes, data length still 4
  EXPECT_EQ(e.GetDataByte(11), 0);
  EXPECT_EQ(e.GetDataByte(3), 4);
}

TEST(MusicEvent, CopiesOwnTheirData) {
  MidiEvent a;
  const uint8_t bytes[3] = {0xB0, 7, 100};
  a.SetData(bytes, 3);
  a.channel = 4;
  MidiEvent b(a);
  EXPECT_NE(a.data, b.data);
  a.FreeData();
  EXPECT_EQ(b.GetDataByte(2), 100);
  EXPECT_EQ(b.channel, 4);
}

// Short data lives inside the event and long data in a block of its own; moving
// between the two by resizing, growing byte by byte or copying keeps every byte and
// the zeros after the data.
TEST(MusicEvent, DataKeepsItsBytesAcrossTheSmallBlockLimit) {
  std::vector<uint8_t> bytes(40);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  for (int32_t length : {1, 3, 8, 9, 16, 40}) {
    MusicEvent e;
    ASSERT_EQ(e.SetDataQuietly(bytes.data(), length), length);
    EXPECT_EQ(e.DataBlockSize(), length + 8);
    for (int32_t i = 0; i < length + 8; ++i) {
      EXPECT_EQ(e.GetDataByte(i), i < length ? bytes[static_cast<size_t>(i)] : 0) << length;
    }
    MusicEvent copy(e);
    EXPECT_NE(copy.data, e.data);
    e.SetDataByte(0, 0xEE);
    EXPECT_EQ(copy.GetDataByte(0), 1);
    // Grow past the small-block limit and shrink back: the bytes that fit stay.
    e.ResizeData(30);
    e.data_length = 30;
    EXPECT_EQ(e.DataBlockSize(), 38);
    EXPECT_EQ(e.GetDataByte(0), 0xEE);
    for (int32_t i = 1; i < 38; ++i) {
      EXPECT_EQ(e.GetDataByte(i), i < length ? bytes[static_cast<size_t>(i)] : 0) << length;
    }
    e.ResizeData(2);
    e.data_length = 2;
    EXPECT_EQ(e.DataBlockSize(), 10);
    EXPECT_EQ(e.GetDataByte(1), length > 1 ? 2 : 0);
    // Copying onto an event that holds data of the other kind replaces it.
    e = copy;
    EXPECT_EQ(e.data_length, length);
    EXPECT_EQ(e.GetDataByte(length - 1), bytes[static_cast<size_t>(length - 1)]);
  }
  MusicEvent grown;
  const uint8_t first = 100;
  grown.SetDataQuietly(&first, 1);
  for (int i = 1; i < 30; ++i) {
    grown.SetDataByte(i, i + 100);
    grown.data_length = i + 1;
  }
  for (int i = 0; i < 30; ++i) EXPECT_EQ(grown.GetDataByte(i), i + 100);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(MusicEvent, DumpLinesUseTwoDigitsAtLeast) {
  MusicEvent e(12);
  e.status = 0x90;
  e.velocity = -1;
  EXPECT_EQ(MusicEventDumpLine(e),
            "DeltaTime :0c,MsgType :90,Velocity :ffffffff,Duration :00,Command :00");
  e.note = 60;
  EXPECT_EQ(MusicEventDumpLineWithDivision(e, 5),
            "DeltaTime :02:02,MsgType :90,Note :3c,Velocity :ffffffff,Duration :00,Command :00");
}

TEST(MidiEvent, PitchBendIsClamped) {
  struct Case {
    int in, note, value, ok;
  } cases[] = {{0x4000, 127, 127, 0}, {-5, 0, 0, 0}, {8192, 0, 64, 1}, {0x3FFF, 127, 127, 1}};
  for (const Case& c : cases) {
    MidiEvent e;
    EXPECT_EQ(e.SetPitchBend(c.in), c.ok) << c.in;
    EXPECT_EQ(e.note, c.note) << c.in;
    EXPECT_EQ(e.value, c.value) << c.in;
  }
}

TEST(MidiEvent, TempoAndMasterVolumeBytes) {
  MidiEvent t;
  t.SetTempo(500000);
  ASSERT_EQ(t.data_length, 3);
  EXPECT_EQ(t.data[0], 0x07);
  EXPECT_EQ(t.data[1], 0xA1);
  EXPECT_EQ(t.data[2], 0x20);
  EXPECT_EQ(t.number, 0x51u);
  MidiEvent m;
  m.SetMasterVolume(100);
  const uint8_t want[9] = {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7};
  ASSERT_EQ(m.data_length, 9);
  EXPECT_EQ(std::memcmp(m.data, want, 9), 0);
  EXPECT_EQ(m.number, SysExKind::kMasterVolume);
}

TEST(MidiEvent, ControllerNames) {
  std::string name;
  ControllerName(64, name);
  EXPECT_EQ(name, "ホールド ");
  ControllerName(74, name);
  EXPECT_EQ(name, "コントロールチェンジ(74)");
}

TEST(MidiEvent, Descriptions) {
  MidiEvent e;
  e.SetProgramChange(0, 4);
  std::string text;
  e.Describe(text);
  EXPECT_EQ(text, "プログラムチェンジ 5");
  e.SetTempo(500000);
  e.Describe(text);
  EXPECT_EQ(text, "テンポ 120");
  e.SetControlChange(0, 7, 100);
  e.Describe(text);
  EXPECT_EQ(text, "チャネルボリュームMSB 100");
  e.status = 0x33;
  e.Describe(text);
  EXPECT_EQ(text, "未定義のイベント");
}

TEST(MidiEvent, FromRingtoneEvents) {
  MusicEvent note(10);
  note.status = kStatusNote;
  note.note = 60;
  note.velocity = 90;
  note.duration = 48;
  MidiEvent e;
  e.SetFromMobileEvent(note, 3, 1);
  EXPECT_EQ(e.status, kStatusNote);
  EXPECT_EQ(e.channel, 9);
  EXPECT_EQ(e.duration, 48);

  MusicEvent control;
  control.status = kStatusMeta;
  struct Case {
    uint32_t kind;
    int drum;
    uint32_t status;
  } cases[] = {{kMobileProgram, 0, kStatusProgram}, {kMobileProgram, 1, kStatusDeleted},
               {kMobileVolume, 0, kStatusController}, {kMobilePan, 0, kStatusController},
               {kMobileTempo, 0, kStatusMeta},      {kMobileMasterVolume, 0, kStatusSysEx},
               {34, 0, kStatusDeleted},             {240, 0, kStatusDeleted}};
  for (const Case& c : cases) {
    control.number = c.kind;
    control.value = 100;
    MidiEvent out;
    out.SetFromMobileEvent(control, 2, c.drum);
    EXPECT_EQ(out.status, c.status) << c.kind;
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  control.number = kMobilePitchBend;
  control.value = 200;
  MidiEvent bend;
  bend.SetFromMobileEvent(control, 2, 0);
  EXPECT_EQ(bend.status, kStatusPitchBend);
  EXPECT_EQ(bend.value, 200);
  EXPECT_TRUE(SawBox("MDEV1D000002"));

  control.number = 99;
  MidiEvent unknown;
  unknown.SetFromMobileEvent(control, 2, 0);
  EXPECT_EQ(unknown.status, kStatusDeleted);
  EXPECT_TRUE(SawBox("MDEV1D000003"));
}

TEST(MidiEvent, Equality) {
  MidiEvent a(5), b(5);
  a.SetNote(1, 60, 90, 48);
  b.SetNote(2, 60, 90, 48);
  EXPECT_EQ(a.Equals(b), 0);
  EXPECT_EQ(a.EqualsIgnoringChannel(b), 1);
  EXPECT_EQ(a.EqualsIgnoringTime(b), 1);  // neither the channel nor the delta counts
  b.delta = 7;
  EXPECT_EQ(a.EqualsIgnoringTime(b), 1);
  EXPECT_EQ(a.EqualsIgnoringChannel(b), 0);
  b.channel = 1;
  EXPECT_EQ(a.EqualsIgnoringTime(b), 1);
  EXPECT_EQ(a.Equals(b), 0);
  b.delta = 5;
  EXPECT_EQ(a.Equals(b), 1);
  b.velocity = 91;
  EXPECT_EQ(a.EqualsIgnoringTime(b), 0);
  EXPECT_EQ(a.EqualsIgnoringChannel(b), 0);
}

TEST(SysExKinds, Classification) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t kind;
    int32_t value;
    int32_t channel;
  } cases[] = {
      {{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 9, 0, kNoChannel},
      {{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7}, 1, 0x64, kNoChannel},
      {{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x02, 0x00, 0x30, 0xF7}, 40, 0x30, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x58, 0x64, 0xF7}, 1, 0x58, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x01, 0x10, 0xF7}, 18, 1, 10},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x10, 0x15, 0x02, 0x19, 0xF7}, 18, 2, 9},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x13, 0x15, 0x00, 0x18, 0xF7}, 18, 0, 2},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x40, 0x20, 0x01, 0x00, 0xF7}, 69, 1, 9},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x4F, 0x20, 0x01, 0x00, 0xF7}, 69, 1, 15},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x36, 0x05, 0x00, 0xF7}, 0, 5, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3F, 0x06, 0x00, 0xF7}, 40, 6, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x30, 0x07, 0x00, 0xF7}, 20, 7, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x5A, 0x07, 0x00, 0xF7}, 64, 7, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x02, 0x03, 0x07, 0x00, 0xF7}, 68, 7, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x00, 0x00, 0x7F, 0x00, 0x01, 0xF7}, 19, 0, kNoChannel},
      {{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, 0, 0, kNoChannel},
      {{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}, 0, 0, kNoChannel},
      {{0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x01, 0x02, 0xF7}, 127, 0, kNoChannel},
      {{0xF0, 0x02, 0x41}, 0, 0, kNoChannel},  // cut short: nothing read past it
  };
  for (const Case& c : cases) {
    MidiEvent e = SysEx(c.bytes);
    EXPECT_EQ(e.number, c.kind) << testing::PrintToString(c.bytes);
    EXPECT_EQ(e.value, c.value) << testing::PrintToString(c.bytes);
    EXPECT_EQ(e.channel, c.channel) << testing::PrintToString(c.bytes);
  }
  MidiEvent part = SysEx(cases[4].bytes);
  EXPECT_EQ(part.IsGsPartSysEx(), 1);
  EXPECT_EQ(SysEx(cases[0].bytes).IsGsPartSysEx(), 0);
}

TEST(MidiEvent, SecondPortName) {
  MidiEvent e;
  e.status = kStatusMeta;
  e.number = 4;
  const char* name = "Roland SC-88 B Part A";
  e.SetData(name, static_cast<int32_t>(std::strlen(name)));
  EXPECT_EQ(e.IsSecondPortName(), 1);
  e.SetData("SC-88Pro", 8);
  EXPECT_EQ(e.IsSecondPortName(), 0);
}
