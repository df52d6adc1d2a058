// Track dumps (three line forms), the songs' dump file in the user data folder, and a
// track saved alone, read back by midicsv and mido.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../passes/passes_util.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "platform/core/folders.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ThroughFile(const std::function<void(std::FILE*)>& write) {
  const std::filesystem::path path = cantrel_test::TempDir() / "open.txt";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  write(file);
  std::fclose(file);
  return Slurp(path);
}

}  // namespace

TEST(Dump, EmptyTrackIsTheTitleAlone) {
  MidiTrack track(kTrackNotes, 0x1000);
  EXPECT_EQ(ThroughFile([&](std::FILE* f) { track.WriteDump(f); }), "Midi Track Data\r");
  EXPECT_EQ(ThroughFile([&](std::FILE* f) { track.WriteDumpAbsolute(f); }), "Midi Track Data\r");
  EXPECT_EQ(ThroughFile([&](std::FILE* f) { track.WriteDumpWithDivision(f, 96); }),
            "Midi Track Data\r");
}

TEST(Dump, LinesOfTheThreeForms) {
  auto track = Make(kTrackNotes, {Note(5, 9, 36, 100, 300), Cc(1000, 0, 7, 90), End(0)});
  const std::string absolute = ThroughFile([&](std::FILE* f) { track->WriteDumpAbsolute(f); });
  EXPECT_EQ(absolute,
            "Midi Track Data\r"
            "DeltaTime :05,MsgType :10,Note :24,Velocity :64,Duration :12c,Command :00\r\n"
            "DeltaTime :1005,MsgType :b0,Note :00,Velocity :00,Duration :00,Command :07\r\n"
            "DeltaTime :1005,MsgType :ff,Note :00,Velocity :00,Duration :00,Command :2f\r\n");
  std::string want = "Midi Track Data\r";
  for (int32_t i = 0; i < track->event_count; ++i) want += MusicEventDumpLine(*track->events[i]) + "\r\n";
  EXPECT_EQ(ThroughFile([&](std::FILE* f) { track->WriteDump(f); }), want);
  const std::filesystem::path path = cantrel_test::TempDir() / "dump.txt";
  ASSERT_EQ(track->DumpToFile(path), 1);
  EXPECT_EQ(Slurp(path), want);
  std::string with_division = "Midi Track Data\r";
  for (int32_t i = 0; i < track->event_count; ++i) {
    with_division += MusicEventDumpLineWithDivision(*track->events[i], 96) + "\r\n";
  }
  ASSERT_EQ(track->DumpToFileWithDivision(path, 96), 1);
  EXPECT_EQ(Slurp(path), with_division);
  ASSERT_EQ(track->DumpToFileAbsolute(path), 1);
  EXPECT_EQ(Slurp(path), absolute);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Dump, UnwritableFileIsReportedAndNothingWritten) {
  auto track = Make(kTrackNotes, {Note(5, 9, 36, 100, 300), End(0)});
  const std::filesystem::path missing = cantrel_test::TempDir() / "no" / "such" / "dump.txt";
  EXPECT_EQ(track->DumpToFile(missing), 0);
  EXPECT_EQ(track->DumpToFileAbsolute(missing), 0);
  EXPECT_EQ(track->DumpToFileWithDivision(missing, 96), 0);
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(Dump, SongsWriteDumpDataIntoTheUserDataFolder) {
  const std::filesystem::path file = plat::UserDataFolder() / "DumpData.txt";
  Midi0Data song0(kSongNotes, 96, 0x60000);
  song0.track->AddEvent(Note(0, 0, 60, 100, 96));
  song0.track->AddEvent(End(96));
  ASSERT_EQ(song0.DumpToFile(), 1);
  std::string want0 = "Midi Track Data\r";
  for (int32_t i = 0; i < song0.track->event_count; ++i) {
    want0 += MusicEventDumpLine(*song0.track->events[i]) + "\r\n";
  }
  EXPECT_EQ(Slurp(file), want0);

  Midi1Data song1(96, 0x60000);
  song1.AddTrack(Make(kTrackNotes, {Tempo(0, 500000), End(0)}).release());
  song1.AddTrack(Make(kTrackNotes, {Note(0, 0, 60, 100, 96), End(96)}).release());
  ASSERT_EQ(song1.DumpToFile(), 1);
  const std::string text = Slurp(file);
  EXPECT_EQ(text.find("Midi Track Data\r"), 0u);
  EXPECT_NE(text.find("Midi Track Data\r", 1), std::string::npos);  // the second track
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SaveAsSmf, TrackAloneLoadsInMidoAndMidicsv) {
  CANTREL_NEED_TOOL("midicsv");
  CANTREL_NEED_MIDO();
  auto track = Make(kTrackNotes, {Tempo(0, 600000), Program(0, 2, 33), Note(0, 2, 40, 90, 480),
                                  Note(480, 2, 43, 80, 240), Note(0, 2, 47, 70, 960), End(960)});
  std::vector<NoteRow> before = Notes(*track);
  const std::filesystem::path path = cantrel_test::TempDir() / "alone.mid";
  ASSERT_EQ(track->SaveAsSmf(path), 1);
  EXPECT_EQ(track->mode, kTrackNotes);
  EXPECT_EQ(Notes(*track), before);
  EXPECT_EQ(MidoError(path), "");
  std::vector<CsvNote> got;
  ASSERT_TRUE(MidicsvNotes(path, &got));
  EXPECT_EQ(got, (std::vector<CsvNote>{{2, 40, 90, 0, 480}, {2, 43, 80, 480, 720},
                                       {2, 47, 70, 480, 1440}}));
  const std::vector<std::string> messages = MidoMessages(path);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], "0 program_change channel=2 program=33");

  // An event-mode track is saved as it stands.
  track->ToEventMode();
  const int32_t count = track->event_count;
  ASSERT_EQ(track->SaveAsSmf(path), 1);
  EXPECT_EQ(track->event_count, count);
  ASSERT_TRUE(MidicsvNotes(path, &got));
  EXPECT_EQ(got.size(), 3u);
}

TEST(SaveAsSmf, ChunkTrackIsRefused) {
  MidiTrack track(kTrackChunk, 0x1000);
  const std::filesystem::path path = cantrel_test::TempDir() / "none.mid";
  EXPECT_EQ(track.SaveAsSmf(path), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}
