// Chord names back into songs: the chord-name list and its chord codes (room, long
// lengths, scale), the first tempo and key of a conductor track, marker texts, and
// markers that replace the old ones but keep the start and stop marks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../passes/passes_util.h"
#include "music/chord_markers.h"
#include "music/midi1_data.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::vector<char> Table(const std::vector<std::string>& names) {
  std::vector<char> table(names.size() * 18, 0);
  for (size_t i = 0; i < names.size(); ++i) {
    std::strncpy(&table[i * 18], names[i].c_str(), 17);
  }
  return table;
}

std::vector<std::pair<int, std::string>> Codes(const uint8_t* out, int32_t bytes) {
  std::vector<std::pair<int, std::string>> codes;
  for (int32_t i = 0; i < bytes; i += 6) {
    codes.push_back({out[i] * 256 + out[i + 1], std::string(reinterpret_cast<const char*>(out + i + 2), 4)});
  }
  return codes;
}

MidiEvent* Key(int32_t delta, int sharps, int mode) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->number = 0x59;
  const uint8_t data[2] = {static_cast<uint8_t>(sharps), static_cast<uint8_t>(mode)};
  e->SetDataQuietly(data, 2);
  return e;
}

}  // namespace

TEST(ChordList, RunsOfOneNameAreOneEntry) {
  const std::vector<char> table = Table({"C", "C", "G"});
  ChordNameList list(3, 192, table.data());
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.entries[0]->length, 384);
  EXPECT_EQ(list.entries[1]->length, 192);
  EXPECT_EQ(list.entries[0]->root, 60);
  EXPECT_EQ(list.entries[0]->third, 64);
  EXPECT_EQ(list.entries[1]->root, 67);
  uint8_t out[64];
  std::memset(out, 0xAA, sizeof out);
  ASSERT_EQ(list.WriteChordCodes(1, 1, out, sizeof out), 12);
  EXPECT_EQ(Codes(out, 12), (std::vector<std::pair<int, std::string>>{{384, "CMPd"}, {192, "GMPd"}}));
  EXPECT_EQ(out[12], 0);
  EXPECT_EQ(out[13], 0);
  EXPECT_EQ(out[14], 0xAA);
}

TEST(ChordList, CodesOfChordKinds) {
  const std::vector<char> table = Table({"Am7", "C#M7", "Bbm", "UnKnown", "Ebdim", "F7", "Gsus4"});
  ChordNameList list(7, 10, table.data());
  uint8_t out[128];
  const int32_t bytes = list.WriteChordCodes(3, 2, out, sizeof out);
  ASSERT_EQ(bytes, 42);
  std::vector<std::string> codes;
  for (const auto& c : Codes(out, bytes)) {
    EXPECT_EQ(c.first, 15);
    codes.push_back(c.second);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"AmPs", "dMPS", "bmPd", "NoCd", "emPd", "FMPs", "GMPd"}));
}

TEST(ChordList, RoomLongLengthsAndScale) {
  const std::vector<char> table = Table({"C", "G", "F"});
  ChordNameList list(3, 100000, table.data());
  uint8_t out[64];
  // 100000 ticks take two entries (65535 + 34465).
  ASSERT_EQ(list.WriteChordCodes(1, 1, out, sizeof out), 36);
  const auto codes = Codes(out, 36);
  EXPECT_EQ(codes[0], (std::pair<int, std::string>{65535, "CMPd"}));
  EXPECT_EQ(codes[1], (std::pair<int, std::string>{34465, "CMPd"}));
  // The products do not overflow 32 bits.
  ASSERT_EQ(list.WriteChordCodes(30000, 60000, out, sizeof out), 18);
  EXPECT_EQ(Codes(out, 18)[2], (std::pair<int, std::string>{50000, "FMPd"}));
  // Room for two entries and the closing word only.
  std::memset(out, 0xAA, sizeof out);
  ASSERT_EQ(list.WriteChordCodes(1, 100, out, 14), 12);
  EXPECT_EQ(out[12], 0);
  EXPECT_EQ(out[13], 0);
  EXPECT_EQ(out[14], 0xAA);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(list.WriteChordCodes(1, 0, out, sizeof out), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(ChordList, AtMost900Entries) {
  std::vector<std::string> names;
  for (int i = 0; i < 1000; ++i) names.push_back(i % 2 ? "C" : "G");
  const std::vector<char> table = Table(names);
  ChordNameList list(1000, 10, table.data());
  EXPECT_EQ(list.count, 900);
}

TEST(ChordMarkers, TempoAndKey) {
  auto track = Make(kTrackNotes, {Tempo(0, 0), Key(0, -3, 1), Tempo(0, 500000), Key(10, 2, 0), End(0)});
  track->events[0]->value = 0;  // a tempo of 0 is passed over
  int major = 7, found = 0;
  int32_t tempo = 0;
  EXPECT_EQ(ReadTempoAndKey(*track, &major, &found, &tempo), 1);
  EXPECT_EQ(tempo, 120);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(major, 0);
  auto odd = Make(kTrackNotes, {Key(0, 0, 5), End(0)});
  major = 7;
  found = 0;
  EXPECT_EQ(ReadTempoAndKey(*odd, &major, &found, &tempo), 1);
  EXPECT_EQ(major, 7);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(ChordMarkers, MarkerTexts) {
  const struct {
    const char* name;
    const char* text;
  } cases[] = {{"UnKnown", "N/C"}, {"Csus4(9)", "C"}, {"Am7", "Am7"}, {"C6", "C"},
               {"G7(9,13)", "G7"}, {"Fsus4", "F"}, {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(CleanChordNameForMarker(c.name), c.text) << c.name;
}

TEST(ChordMarkers, ReplaceOldMarkersButKeepStartAndStop) {
  Midi1Data song(96, 0x60000);
  song.AddTrack(Make(kTrackNotes, {Tempo(0, 500000), Meta(0, 6, "START"), Meta(0, 6, "Old"),
                                   Meta(300, 6, "STOP"), End(100)})
                    .release());
  song.AddTrack(Make(kTrackNotes, {Note(0, 0, 60, 100, 96), End(400)}).release());
  const std::vector<char> table = Table({"UnKnown", "Csus4(9)", "Am7"});
  WriteChordMarkers(song, table.data(), 3);
  std::vector<std::pair<int64_t, std::string>> markers;
  const std::vector<int64_t> ticks = Ticks(*song.tracks[0]);
  for (int32_t i = 0; i < song.tracks[0]->event_count; ++i) {
    const MidiEvent& e = *song.tracks[0]->events[i];
    if (e.status == kStatusMeta && e.number == 6) markers.push_back({ticks[static_cast<size_t>(i)], Text(e)});
  }
  std::sort(markers.begin(), markers.end());
  EXPECT_EQ(markers, (std::vector<std::pair<int64_t, std::string>>{
                         {0, "N/C"}, {0, "START"}, {192, "C"}, {300, "STOP"}, {384, "Am7"}}));
  EXPECT_EQ(song.tracks[0]->GetLength(), 400);
}
