// Shaping an MFi file for a handset model: the "vers" text, the model exclusives, the voice
// records and the four-track spreading of model 5.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/ringtone/mfi.h"
#include "ringtone_fixture.h"
#include "tests/support/test_support.h"

using ringtone_test::FixtureShape;
using ringtone_test::FixtureSong;

namespace {

using Bytes = std::vector<uint8_t>;

// The leading exclusive records (kind 73) of track 0, in order.
std::vector<Bytes> LeadingRecords(const MFiData& file) {
  std::vector<Bytes> out;
  for (const auto& e : file.tracks[0]->events->events) {
    if (!e->IsControl(kKindRawExtended)) break;
    out.emplace_back(e->data, e->data + e->data_length);
  }
  return out;
}

Bytes Head(const Bytes& record, size_t n) { return Bytes(record.begin(), record.begin() + std::min(n, record.size())); }

int Length(const Bytes& record) { return (record[1] << 8) | record[2]; }

std::string Vers(const MFiData& file) {
  const MFiInfoChunk* vers = file.info->Find("vers");
  return vers ? std::string(reinterpret_cast<const char*>(vers->data), 4) : "";
}

// Melodic voices 0-8 of programs index x 17 mod 128 and a drum voice of program 36 with 12
// distinct sounds, tenth of the song: voice 1 of track 2.
std::unique_ptr<MobileData> FullSong() {
  FixtureShape shape;
  shape.melodic = 9;
  return FixtureSong(shape);
}

// Four melodic voices, all in track 0 of a type-5 file.
std::unique_ptr<MobileData> FourVoices() {
  FixtureShape shape;
  shape.melodic = 4;
  shape.drums = false;
  shape.low = 45;
  shape.high = 107;
  return FixtureSong(shape);
}

int CountKind(const MFiTrack& track, uint32_t kind) {
  int n = 0;
  for (const auto& e : track.events->events) n += e->IsControl(kind) ? 1 : 0;
  return n;
}

}  // namespace

TEST(ShapeForModel, VersTextByModel) {
  const std::pair<int, const char*> cases[] = {
      {1, "0400"},  {2, "0301"},  {3, "0300"},  {4, "0300"},  {5, "0200"},  {6, "0301"},
      {7, "0300"},  {8, "0301"},  {9, "0200"},  {10, "0301"}, {11, "0301"}, {12, "0300"},
      {13, "0200"}, {14, "0400"}, {15, "0301"}, {16, "0301"}, {17, "0300"}, {18, "0400"},
      {19, "0301"}, {20, "0301"}, {21, "0300"}, {22, "0301"}, {23, "0300"}, {24, "0200"},
      {25, "0200"}};
  auto song = FullSong();
  for (const auto& [model, vers] : cases) {
    MFiData file(*song, 5, kMfiFileCapacity);
    file.ShapeForModel(model);
    EXPECT_EQ(Vers(file), vers) << model;
    file.WriteFile(model);
    EXPECT_GT(file.Bytes().size(), 13u) << model;
  }
  MFiData untouched(*song, 5, kMfiFileCapacity);
  const std::string before = Vers(untouched);
  for (int model : {0, 26, -1}) {
    untouched.ShapeForModel(model);
    EXPECT_EQ(Vers(untouched), before) << model;
  }
}

TEST(ShapeForModel, VoiceRecordsFrameTheRowsOfEveryProgramAndDrumSound) {
  auto song = FullSong();
  const int programs = 9, drums = 12;
  struct Case {
    int model;
    std::vector<Bytes> heads;  // leading bytes of every record, in order
    std::vector<int> lengths;  // their length fields
  };
  std::vector<Case> cases;
  // Models 1 and 2: the model exclusives, then the drum rows, then the voice rows.
  cases.push_back({1,
                   {{0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x0A}, {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03},
                    {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x01}, {0xFF, 0x00, 18 * drums + 4, 0x11, 0x01, 0xF0, 0x05},
                    {0xFF, 0x01, (20 * (programs + drums) + 4) & 0xFF, 0x11, 0x01, 0xF0, 0x04}},
                   {5, 5, 5, 18 * drums + 4, 20 * (programs + drums) + 4}});
  // Models 6 and 7: one record per drum sound, then one per program.
  {
    Case c{7, {{0xFF, 0x00, 0x04, 0x31, 0x10, 0x01}, {0xFF, 0x00, 0x04, 0x31, 0x10, 0x11}}, {4, 4}};
    for (int i = 0; i < drums; ++i) {
      c.heads.push_back({0xFF, 0x00, 0x15, 0x31, 0x10, 0x05});
      c.lengths.push_back(0x15);
    }
    for (int i = 0; i < programs; ++i) {
      c.heads.push_back({0xFF, 0x00, 0x16, 0x31, 0x10, 0x04});
      c.lengths.push_back(0x16);
    }
    cases.push_back(c);
  }
  // Model 25: one record per program, then per drum program, indexes counted down.
  {
    Case c{25, {}, {}};
    const int drum_programs = 1;
    int countdown = programs + drum_programs;
    for (int p = 0; p < programs; ++p) {
      const int program = p * 17 % 128;
      c.heads.push_back({0xFF, 0x00, 0x13, 0x21, 0x01, 0x02, 0x00, static_cast<uint8_t>(--countdown),
                         static_cast<uint8_t>(program < 64 ? 2 : 3), static_cast<uint8_t>(program % 64)});
      c.lengths.push_back(0x13);
    }
    for (int d = 0; d < drum_programs; ++d) {
      c.heads.push_back({0xFF, 0x00, 0x13, 0x21, 0x01, 0x02, 0x00, static_cast<uint8_t>(--countdown), 0x82,
                         36 - 35});
      c.lengths.push_back(0x13);
    }
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    MFiData file(*song, 5, kMfiFileCapacity);
    file.ShapeForModel(c.model);
    const auto records = LeadingRecords(file);
    ASSERT_EQ(records.size(), c.heads.size());
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(Head(records[i], c.heads[i].size()), c.heads[i]) << i;
      EXPECT_EQ(Length(records[i]), c.lengths[i]) << i;
      EXPECT_EQ(records[i].size(), 3u + Length(records[i])) << i;
    }
    // Models 1, 2, 6, 7: melodic programs are written as kind 74.
    int programs_left = 0, banks = 0;
    for (const auto& t : file.tracks) {
      if (!t) continue;
      programs_left += CountKind(*t, kKindProgram);
      banks += CountKind(*t, kKindDrumBankProgram);
    }
    if (c.model == 25) {
      EXPECT_EQ(banks, 0);
    } else {
      EXPECT_GT(banks, 0);
    }
    file.WriteFile(c.model);
    const Bytes bytes = file.Bytes();
    ASSERT_GT(bytes.size(), 13u);
    MFiData read(bytes.data(), bytes.size());
    EXPECT_EQ(read.device_type, 4);  // a melo file of four tracks
  }
  // Shaping reports nothing (type 5 itself has no bend: the track module says so).
  for (const auto& t : cantrel_test::Sink().Texts()) EXPECT_NE(t.rfind("MFDT", 0), 0u) << t;
}

TEST(ShapeForModel, ModelFiveHasOneRecordAndSpreadsFourVoicesOverFourTracks) {
  auto song = FourVoices();
  MFiData file(*song, 5, kMfiFileCapacity);
  int used[4];
  ASSERT_EQ(file.tracks[0]->CountUsedVoices(used), 4);
  ASSERT_EQ(file.tracks[1]->CountUsedVoices(used), 0);
  file.ShapeForModel(5);
  const auto records = LeadingRecords(file);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Head(records[0], 6), (Bytes{0xFF, 0x00, 17 * 4 + 3, 0x11, 0xF0, 0x01}));
  // The first program row: 01 00, index 0, program 0 (below 64: 2), program mod 64.
  EXPECT_EQ(Bytes(records[0].begin() + 6, records[0].begin() + 11), (Bytes{0x01, 0x00, 0, 2, 0}));
  for (int j = 0; j < 4; ++j) {
    SCOPED_TRACE(j);
    EXPECT_GE(file.tracks[j]->CountUsedVoices(used), 1);
    EXPECT_EQ(CountKind(*file.tracks[j], kKindVoiceType), 0);
    const auto& events = file.tracks[j]->events->events;
    // The settings stand after the record of track 0, at the start of the others.
    const size_t at = j == 0 ? 1 : 0;
    ASSERT_GE(events.size(), at + 8);
    for (int k = 0; k < 4; ++k) {
      EXPECT_TRUE(events[at + k]->IsControl(kKindVolume));
      EXPECT_EQ(events[at + k]->value, 42);
      EXPECT_EQ(events[at + k]->voice, 3 - k);
      EXPECT_TRUE(events[at + 4 + k]->IsControl(kKindProgram));
      EXPECT_EQ(events[at + 4 + k]->value, 0);
    }
  }
  // Track 0 keeps voice 0; each other track holds one voice it gave up.
  file.tracks[0]->CountUsedVoices(used);
  int notes = 0;
  for (const auto& t : file.tracks)
    for (const auto& e : t->events->events) notes += e->IsNote() ? 1 : 0;
  EXPECT_EQ(notes, 4 * 12);
  file.WriteFile(5);
  EXPECT_GT(file.Bytes().size(), 13u);
  for (const auto& t : cantrel_test::Sink().Texts()) EXPECT_NE(t.rfind("MFDT", 0), 0u) << t;
}

TEST(ShapeForModel, ModelFiveWithFewerThanFourVoicesReports) {
  FixtureShape shape;
  shape.melodic = 3;
  shape.drums = false;
  auto song = FixtureSong(shape);
  MFiData file(*song, 5, kMfiFileCapacity);
  file.ShapeForModel(5);
  bool reported = false;
  for (const auto& t : cantrel_test::Sink().Texts()) reported |= t.rfind("MFDT20000009", 0) == 0;
  EXPECT_TRUE(reported);
  int used[4];
  EXPECT_EQ(file.tracks[1]->CountUsedVoices(used), 0);
}
