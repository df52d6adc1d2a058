// System-exclusive messages, GS part addresses and channel moves of a track.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "music/gs_part.h"
#include "music/midi_track.h"
#include "music/sysex_message.h"
#include "tests/music/songs/songs_test_util.h"
#include "tests/support/test_support.h"

using namespace songs_test;

namespace {

// A stored GS part message for the address bytes and data byte, with its checksum.
Bytes GsPart(uint8_t mid, uint8_t low, uint8_t data) {
  Bytes m = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, mid, low, data, 0x00, 0xF7};
  SetRolandChecksum(m.data());
  return m;
}

// A track parsed from bytes, so that system-exclusive kinds are classified as in
// a file.
std::unique_ptr<MidiTrack> Parsed(const Bytes& body) {
  const Bytes chunk = Chunk(body);
  return std::make_unique<MidiTrack>(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0,
                                     kDefaultMusicCapacity);
}

Bytes Data(const MidiEvent* e) { return Bytes(e->data, e->data + e->data_length); }

}  // namespace

TEST(GsPart, AddressOfEveryChannel) {
  struct Case {
    int channel, base, expected;
  } cases[] = {{9, 0x10, 0x10}, {0, 0x10, 0x11}, {8, 0x10, 0x19}, {10, 0x10, 0x1A},
               {15, 0x10, 0x1F}, {9, 0x40, 0x40}, {3, 0x40, 0x44}, {12, 0x40, 0x4C}};
  for (const Case& c : cases) {
    uint8_t byte = 0;
    SetGsPartAddress(c.channel, &byte, c.base);
    EXPECT_EQ(byte, c.expected) << "channel " << c.channel;
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(GsPart, NullTargetAndSecondPortChannelAreReported) {
  SetGsPartAddress(3, nullptr, 0x10);
  uint8_t byte = 0x77;
  SetGsPartAddress(20, &byte, 0x10);
  EXPECT_EQ(byte, 0x77);
  SetRolandChecksum(nullptr);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "MDSX36000001 システムエクスクルーシブでエラーが発生しました。");
}

TEST(GsPart, Checksums) {
  struct Case {
    uint8_t mid, low, data, expected;
  } cases[] = {{0x11, 0x15, 0x00, 0x1A}, {0x1A, 0x15, 0x01, 0x10}, {0x00, 0x7F, 0x41, 0x00}};
  for (const Case& c : cases) {
    Bytes m = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, c.mid, c.low, c.data, 0x55, 0xF7};
    SetRolandChecksum(m.data());
    EXPECT_EQ(m[10], c.expected);
    EXPECT_EQ(m[11], 0xF7);
  }
}

TEST(SysExBytes, CompareAndLength) {
  const uint8_t a[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x11};
  const uint8_t b[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x22};
  const uint8_t c[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x02, 0xF7};
  EXPECT_EQ(CompareSysEx(a, b), 0);
  EXPECT_EQ(CompareSysEx(a, c), -1);
  EXPECT_EQ(SysExLength(a), 7);
  EXPECT_EQ(SysExLengthWithin(a, 6), -1);
  EXPECT_EQ(CompareSysExWithin(a, 8, b, 6), -1);  // b too short to hold a
  EXPECT_EQ(CompareSysExWithin(a, 8, b, 7), 0);
}

TEST(SysExMessages, BuildersStoreTheTemplates) {
  MidiTrack track(kTrackEvents, kDefaultMusicCapacity);
  track.AddGmSystemOn();
  track.AddGsReset();
  track.AddXgSystemOn();
  ASSERT_EQ(track.event_count, 3);
  EXPECT_EQ(Data(track.events[0]), Bytes(std::begin(kGmSystemOnMessage), std::end(kGmSystemOnMessage)));
  EXPECT_EQ(track.events[0]->number, 9u);
  EXPECT_EQ(Data(track.events[1]), Bytes(std::begin(kGsResetMessage), std::end(kGsResetMessage)));
  EXPECT_EQ(track.events[1]->number, 0u);
  EXPECT_EQ(Data(track.events[2]), Bytes(std::begin(kXgSystemOnMessage), std::end(kXgSystemOnMessage)));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(track.events[i]->status, kStatusSysEx);
    EXPECT_EQ(track.events[i]->channel, kNoChannel);
  }
}

TEST(SysExMessages, GsDisplayTextChecksum) {
  MidiTrack track(kTrackEvents, kDefaultMusicCapacity);
  // 0x10 + 'p' (0x70) = 0x80: a multiple of 128, checksum 0.
  track.AddGsDisplayText(5, "p");
  track.AddXgDisplayText(0, "Hi");
  ASSERT_EQ(track.event_count, 2);
  EXPECT_EQ(Data(track.events[0]),
            (Bytes{0xF0, 10, 0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0x00, 'p', 0x00, 0xF7}));
  EXPECT_EQ(track.events[0]->delta, 5);
  EXPECT_EQ(Data(track.events[1]),
            (Bytes{0xF0, 9, 0x43, 0x10, 0x4C, 0x06, 0x00, 0x00, 'H', 'i', 0xF7}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SysExMessages, LongDisplayTextIsReportedAndStaysWellFormed) {
  MidiTrack track(kTrackEvents, kDefaultMusicCapacity);
  const std::string text(130, 'a');
  track.AddGsDisplayText(0, text.c_str());
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].substr(0, 12), "MDTK0D000028");
  const MidiEvent* e = track.events[0];
  // 139 needs two bytes as a variable-length number.
  EXPECT_EQ(e->data[1], 0x81);
  EXPECT_EQ(e->data[2], 139 - 128);
  EXPECT_EQ(e->data_length, 1 + 2 + 7 + 130 + 2);
  EXPECT_EQ(e->data[e->data_length - 1], 0xF7);
}

TEST(SysExMessages, InsertGmSystemOnReplacesTheFirst) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {Controller(0, 0, 7, 100), SysEx(10, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 9),
                     NoteOn(0, 0, 60, 100), EndOfTrack(96)}));
  track->InsertGmSystemOn();
  ASSERT_EQ(track->event_count, 4);
  EXPECT_EQ(track->events[0]->number, 9u);
  EXPECT_EQ(track->CountSysExKind(9), 1);
  // The note keeps its tick after the old message went.
  EXPECT_EQ(TicksOf(*track, kStatusNoteOn), std::vector<int64_t>{10});
}

TEST(SysExMessages, XgOnBecomesGmOn) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {SysEx(0, Bytes(std::begin(kXgSystemOnMessage), std::end(kXgSystemOnMessage))),
                     EndOfTrack(0)}));
  EXPECT_EQ(track->ReplaceXgOnWithGmOn(), 1);
  EXPECT_EQ(Data(track->events[0]), Bytes(std::begin(kGmSystemOnMessage), std::end(kGmSystemOnMessage)));
  EXPECT_EQ(track->events[0]->number, 9u);
  EXPECT_EQ(track->ReplaceXgOnWithGmOn(), 0);
}

TEST(SysExMessages, MasterVolumeAfterReset) {
  const Bytes gm_on(std::begin(kGmSystemOnMessage), std::end(kGmSystemOnMessage));
  // Without a master volume: one at full is inserted right after the reset.
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {Meta(0, 3, "x"), SysEx(0, gm_on, 9), NoteOn(0, 0, 60, 90), EndOfTrack(10)}));
  EXPECT_EQ(track->CheckMasterVolumeAfterReset(0), 0);
  EXPECT_EQ(track->event_count, 4);
  EXPECT_EQ(track->AddMasterVolumeAfterReset(), 0);
  ASSERT_EQ(track->event_count, 5);
  EXPECT_EQ(Data(track->events[2]),
            Bytes(std::begin(kMasterVolumeFullMessage), std::end(kMasterVolumeFullMessage)));
  EXPECT_EQ(track->CheckMasterVolumeAfterReset(0), 1);

  // A master volume of 100 does not count.
  std::unique_ptr<MidiTrack> soft(MakeTrack(
      kTrackEvents, {SysEx(0, gm_on, 9), SysEx(0, {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7}, 1),
                     NoteOn(0, 0, 60, 90), EndOfTrack(10)}));
  EXPECT_EQ(soft->CheckMasterVolumeAfterReset(0), 0);
}

TEST(SysExMessages, MasterVolumeQueriesAndSetting) {
  std::unique_ptr<MidiTrack> track(Parsed(
      {0x00, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 90, 0xF7,
       0x00, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7, 0x00, 0xFF, 0x2F, 0x00}));
  EXPECT_EQ(track->GetMasterVolume(), 100);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);  // more than one: warned once
  EXPECT_EQ(track->GetMasterVolume(), 100);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(track->SetMasterVolume(64), 1);
  EXPECT_EQ(track->events[0]->data[7], 64);
  EXPECT_EQ(track->events[0]->value, 64);
  // Out of range: reported and held to 127.
  EXPECT_EQ(track->SetMasterVolume(300), 1);
  EXPECT_EQ(track->events[0]->data[7], 127);
  EXPECT_EQ(track->CountSysExKind(1), 2);
  track->DeleteMasterVolumeSysEx();
  EXPECT_EQ(track->GetMasterVolume(), -1);
  EXPECT_EQ(track->event_count, 1);
}

TEST(SysExMessages, GsMasterVolumeKeepsItsAddressAndChecksum) {
  Bytes gs = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x7F, 0x00, 0xF7};
  SetRolandChecksum(gs.data());
  std::unique_ptr<MidiTrack> track(Parsed(Join({{0x00}, gs, {0x00, 0xFF, 0x2F, 0x00}})));
  ASSERT_EQ(track->events[0]->number, 1u);
  EXPECT_EQ(track->SetMasterVolume(50), 1);
  const Bytes d = Data(track->events[0]);
  EXPECT_EQ(d[7], 0x00);
  EXPECT_EQ(d[8], 0x04);
  EXPECT_EQ(d[9], 50);
  EXPECT_EQ((d[6] + d[7] + d[8] + d[9] + d[10]) % 128, 0);
}

TEST(SysExMessages, FindingAndDeleting) {
  std::unique_ptr<MidiTrack> track(Parsed(Join(
      {{0x00}, GsPart(0x1A, 0x15, 1), {0x60}, GsPart(0x11, 0x15, 0), {0x00, 0xF7, 0x02, 0x01, 0x02},
       {0x10, 0x90, 60, 100, 0x10, 0x80, 60, 0}, {0x00, 0xFF, 0x2F, 0x00}})));
  EXPECT_EQ(track->CountSysExKind(18), 2);
  EXPECT_EQ(track->GetSysExValue(18), 1);
  EXPECT_EQ(track->FindSysExKindTime(18), 0);
  EXPECT_EQ(track->GetSysExValueBefore(18, 0x60), 1);
  EXPECT_EQ(track->GetSysExValueBefore(18, 0x61), 0);
  EXPECT_EQ(track->GetSysExValueBefore(40, 1000), -1);
  Bytes out(32);
  EXPECT_EQ(track->GetSysExData(18, out.data(), static_cast<int32_t>(out.size())), 1);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 12), GsPart(0x1A, 0x15, 1));
  EXPECT_EQ(track->DeleteSysExOfChannel(0, 18), 1);
  EXPECT_EQ(track->CountSysExKind(18), 1);
  EXPECT_EQ(track->DeleteFirstF7(), 1);
  EXPECT_EQ(track->DeleteFirstF7(), 0);
  track->DeleteAllSysEx();
  EXPECT_EQ(track->CountEvents(kStatusSysEx), 0);
  EXPECT_EQ(TicksOf(*track, kStatusNoteOn), std::vector<int64_t>{0x70});
}

TEST(SysExMessages, ReplaceSysExByMessageOrText) {
  const Bytes gm_on(std::begin(kGmSystemOnMessage), std::end(kGmSystemOnMessage));
  std::unique_ptr<MidiTrack> track(
      MakeTrack(kTrackEvents, {SysEx(0, gm_on, 9), SysEx(5, gm_on, 9), EndOfTrack(0)}));
  const uint8_t text[] = "reset";
  track->ReplaceSysEx(kGmSystemOnMessage, 1, text);
  EXPECT_EQ(track->events[0]->status, kStatusMeta);
  EXPECT_EQ(track->events[0]->number, 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(track->events[0]->data), "reset");
  EXPECT_EQ(track->events[1]->status, kStatusMeta);

  std::unique_ptr<MidiTrack> other(MakeTrack(kTrackEvents, {SysEx(0, gm_on, 9), EndOfTrack(0)}));
  other->ReplaceSysEx(kGmSystemOnMessage, 0, kGsResetMessage);
  EXPECT_EQ(Data(other->events[0]), Bytes(std::begin(kGsResetMessage), std::end(kGsResetMessage)));
}

TEST(SysExChannels, SwapMovesGsPartMessages) {
  std::unique_ptr<MidiTrack> track(Parsed(Join(
      {{0x00}, GsPart(0x11, 0x15, 0), {0x00, 0x90, 60, 100, 0x00, 0x91, 62, 100, 0x30, 0x80, 60, 0,
                                        0x00, 0x81, 62, 0, 0x00, 0xFF, 0x2F, 0x00}})));
  ASSERT_EQ(track->events[0]->channel, 0);
  track->SwapChannels(0, 1);
  const Bytes d = Data(track->events[0]);
  EXPECT_EQ(d[7], 0x12);
  EXPECT_EQ((d[6] + d[7] + d[8] + d[9] + d[10]) % 128, 0);
  EXPECT_EQ(track->events[0]->channel, 1);
  EXPECT_EQ(track->events[1]->channel, 1);
  EXPECT_EQ(track->events[2]->channel, 0);
  EXPECT_EQ(track->events[3]->channel, 1);
  EXPECT_EQ(track->events[4]->channel, 0);
}

TEST(SysExChannels, ChangeChannelCountsTheSecondPort) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {NoteOn(0, 2, 60, 100), Meta(0, 4, "Roland SC-88 B Part A"), NoteOn(0, 2, 62, 100),
                     NoteOff(10, 2, 60), NoteOff(0, 2, 62), EndOfTrack(0)}));
  EXPECT_EQ(track->GetPortChannel(), 18);
  // Channel 18 is channel 2 of the second port: only events after the name.
  track->ChangeChannel(18, 21);
  EXPECT_EQ(track->events[0]->channel, 2);
  EXPECT_EQ(track->events[2]->channel, 5);
  EXPECT_EQ(track->events[3]->channel, 5);
  // A target on the other port cannot be reached from this track: reported, kept.
  track->ChangeChannel(21, 3);
  EXPECT_EQ(track->events[2]->channel, 5);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  track->ChangeChannel(2, 7);
  EXPECT_EQ(track->events[0]->channel, 7);
  EXPECT_EQ(track->events[2]->channel, 5);
}

TEST(SysExChannels, ChangeChannelIfInstrumentName) {
  std::unique_ptr<MidiTrack> track(MakeTrack(
      kTrackEvents, {Meta(0, 4, "Piano"), NoteOn(0, 3, 60, 100), NoteOff(10, 3, 60), EndOfTrack(0)}));
  track->ChangeChannelIfInstrumentName("Organ", 3, 4);
  EXPECT_EQ(track->events[1]->channel, 3);
  track->ChangeChannelIfInstrumentName("Piano", 3, 4);
  EXPECT_EQ(track->events[1]->channel, 4);
  EXPECT_EQ(track->events[2]->channel, 4);
}

TEST(SysExChannels, SetAndDeleteChannel) {
  std::unique_ptr<MidiTrack> track(Parsed(Join(
      {{0x00}, GsPart(0x1A, 0x15, 1), {0x00, 0x90, 60, 100, 0x00, 0x91, 62, 100, 0x30, 0x80, 60, 0,
                                        0x00, 0x81, 62, 0, 0x00, 0xFF, 0x2F, 0x00}})));
  EXPECT_EQ(track->DeleteChannel(1), 1);
  EXPECT_EQ(track->DeleteChannel(1), 0);
  track->SetChannel(4);
  for (int32_t i = 0; i < track->event_count; ++i) {
    if (track->events[i]->status != kStatusMeta) EXPECT_EQ(track->events[i]->channel, 4);
  }
  // The GS part message moved its address along (channel 4 is block 5).
  EXPECT_EQ(track->events[0]->data[7], 0x15);
  track->SetChannel(16);  // no such channel in a track: reported, nothing changes
  EXPECT_EQ(track->events[1]->channel, 4);
  EXPECT_EQ(TicksOf(*track, kStatusNoteOff), std::vector<int64_t>{0x30});
}

TEST(SysExChannels, RhythmPartAndPrograms) {
  std::unique_ptr<MidiTrack> plain(MakeTrack(kTrackEvents, {EndOfTrack(0)}));
  EXPECT_EQ(plain->IsRhythmPart(9), 1);
  EXPECT_EQ(plain->IsRhythmPart(3), 0);

  std::unique_ptr<MidiTrack> gs(Parsed(Join({{0x00}, GsPart(0x10, 0x15, 0), {0x00}, GsPart(0x1A, 0x15, 2),
                                              {0x00, 0xFF, 0x2F, 0x00}})));
  EXPECT_EQ(gs->IsRhythmPart(9), 0);
  EXPECT_EQ(gs->IsRhythmPart(10), 1);

  std::unique_ptr<MidiTrack> programs(Parsed(
      {0x00, 0xC2, 0, 0x00, 0xC2, 24, 0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x05, 0x03, 40, 0xF7,
       0x00, 0xC6, 99, 0x00, 0xFF, 0x2F, 0x00}));
  EXPECT_EQ(programs->GetProgram(2), 24);
  EXPECT_EQ(programs->GetProgram(5), 40);  // from the XG part message
  EXPECT_EQ(programs->GetProgram(7), -1);
  EXPECT_EQ(programs->IsBendableProgram(2), 1);
  EXPECT_EQ(programs->IsBendableProgram(6), 0);
  EXPECT_EQ(programs->IsBendableProgram(7), 0);
}

// The copy of a stored message never runs past the caller's buffer: a message longer
// than the room given is refused untouched, and the two-argument form (a buffer of
// kSysExDataRoom bytes) copies the usual messages but not a long one.
TEST(SysExMessages, SysExDataCopyIsBounded) {
  // A GS part message carrying 40 data bytes: still classified by its address.
  Bytes long_message = {0xF0, 0x32, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15};
  long_message.insert(long_message.end(), 40, 0x01);
  long_message.insert(long_message.end(), {0x00, 0xF7});
  std::unique_ptr<MidiTrack> track(Parsed(Join(
      {{0x00}, long_message, {0x00}, GsPart(0x00, 0x04, 100), {0x00, 0xFF, 0x2F, 0x00}})));
  ASSERT_EQ(track->CountSysExKind(SysExKind::kGsRhythmPart), 1);

  struct Case {
    uint32_t kind;
    int32_t room;
    int expected;
    size_t copied;
  } cases[] = {
      {SysExKind::kGsRhythmPart, 64, 1, long_message.size()},
      {SysExKind::kGsRhythmPart, static_cast<int32_t>(long_message.size()), 1, long_message.size()},
      {SysExKind::kGsRhythmPart, static_cast<int32_t>(long_message.size()) - 1, -1, 0},
      {SysExKind::kGsRhythmPart, 0, -1, 0},
      {SysExKind::kGmSystemOn, 64, 0, 0},
  };
  for (const Case& c : cases) {
    Bytes out(static_cast<size_t>(c.room) + 1, 0xEE);  // one guard byte past the room
    EXPECT_EQ(track->GetSysExData(c.kind, out.data(), c.room), c.expected) << c.room;
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i], i < c.copied ? long_message[i] : 0xEE) << c.room << " at " << i;
    }
  }
  EXPECT_EQ(track->GetSysExData(SysExKind::kGsRhythmPart, nullptr, 0), 1);

  // The two-argument form.
  uint8_t room[kSysExDataRoom + 1];
  std::memset(room, 0xEE, sizeof room);
  EXPECT_EQ(track->GetSysExData(SysExKind::kGsRhythmPart, room), 0);
  for (uint8_t b : room) EXPECT_EQ(b, 0xEE);
  EXPECT_EQ(track->GetSysExData(SysExKind::kMasterVolume, room), 1);
  EXPECT_EQ(Bytes(room, room + 12), GsPart(0x00, 0x04, 100));
  EXPECT_EQ(room[kSysExDataRoom], 0xEE);
}
