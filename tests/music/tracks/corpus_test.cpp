// Our chunk parser against midicsv on real files, and our serialised chunks read back
// by midicsv and mido.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "music/midi_track.h"
#include "platform/core/files.h"
#include "tests/music/tracks/track_test_util.h"
#include "tests/support/test_support.h"

using track_test::Bytes;

namespace {

std::vector<std::filesystem::path> Fixtures() {
  std::vector<std::filesystem::path> files;
  for (const char* name : {"abc_tune.mid", "features.mid", "running_status.mid", "unknown_chunk.mid"}) {
    files.push_back(cantrel_test::DataPath(std::string("midi/") + name));
  }
  return files;
}

std::vector<std::filesystem::path> BlupiFiles() {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/share/planetblupi/music", ec)) {
    if (entry.path().extension() == ".mid") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Parsed {
  track_test::FileChunks file;
  std::vector<std::unique_ptr<MidiTrack>> tracks;
};

Parsed ParseFile(const std::filesystem::path& path) {
  Parsed p;
  EXPECT_TRUE(track_test::SplitFile(path, &p.file)) << path;
  for (size_t offset : p.file.track_offsets) {
    p.tracks.push_back(std::make_unique<MidiTrack>(static_cast<int64_t>(p.file.bytes.size()),
                                                   static_cast<int64_t>(offset), p.file.bytes.data(),
                                                   0, kDefaultMusicCapacity));
    EXPECT_EQ(p.tracks.back()->mode, kTrackEvents) << path;
  }
  return p;
}

// The file with only its header and track chunks (the tools stop at other chunks).
std::filesystem::path ToolCopy(const Parsed& p, const std::string& name) {
  Bytes bytes = p.file.header;
  for (size_t offset : p.file.track_offsets) {
    const uint8_t* c = &p.file.bytes[offset];
    uint32_t len = (uint32_t{c[4]} << 24) | (c[5] << 16) | (c[6] << 8) | c[7];
    bytes.insert(bytes.end(), c, c + 8 + len);
  }
  auto path = cantrel_test::TempDir() / name;
  EXPECT_TRUE(plat::WriteFileAtomic(path, bytes));
  return path;
}

// Serialises every track and writes them behind the original header.
std::filesystem::path WriteBack(Parsed& p, const std::string& name) {
  Bytes bytes = p.file.header;
  for (auto& track : p.tracks) {
    if (!track->LastIsEndOfTrack()) track->KeepOneEndOfTrack();
    track->ToChunk("MTrk");
    EXPECT_EQ(track->mode, kTrackChunk);
    Bytes chunk = track_test::ChunkBytes(*track);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  auto path = cantrel_test::TempDir() / name;
  EXPECT_TRUE(plat::WriteFileAtomic(path, bytes));
  return path;
}

void CheckAgainstMidicsv(const std::filesystem::path& path) {
  SCOPED_TRACE(path.string());
  Parsed p = ParseFile(path);
  std::vector<std::vector<std::string>> expected;
  std::string error;
  ASSERT_TRUE(track_test::MidicsvCanonical(ToolCopy(p, "original.mid"), &expected, &error)) << error;
  ASSERT_EQ(expected.size(), p.tracks.size());
  for (size_t t = 0; t < p.tracks.size(); ++t) {
    EXPECT_EQ(track_test::Canonical(*p.tracks[t]), expected[t]) << "track " << t + 1;
  }

  // Written back, both tools read the file, and midicsv finds the same events.
  auto written = WriteBack(p, "written.mid");
  std::vector<std::vector<std::string>> again;
  ASSERT_TRUE(track_test::MidicsvCanonical(written, &again, &error)) << error;
  EXPECT_EQ(again, expected);
  EXPECT_EQ(track_test::MidoLoadError(written), "");

  // Through note mode and back the files still load in both tools.
  Parsed q = ParseFile(path);
  for (auto& track : q.tracks) {
    track->ToNoteMode();
    EXPECT_EQ(track->mode, kTrackNotes);
    track->ToEventMode();
    EXPECT_EQ(track->mode, kTrackEvents);
  }
  auto via_notes = WriteBack(q, "via_notes.mid");
  ASSERT_TRUE(track_test::MidicsvCanonical(via_notes, &again, &error)) << error;
  EXPECT_EQ(track_test::MidoLoadError(via_notes), "");
}

}  // namespace

TEST(TrackCorpus, FixturesParseAsMidicsvReadsThem) {
  CANTREL_NEED_TOOL("midicsv");
  CANTREL_NEED_MIDO();
  for (const auto& path : Fixtures()) CheckAgainstMidicsv(path);
}

TEST(TrackCorpus, PlanetBlupiFilesParseAsMidicsvReadsThem) {
  CANTREL_NEED_TOOL("midicsv");
  CANTREL_NEED_MIDO();
  auto files = BlupiFiles();
  CANTREL_NEED(!files.empty(), "the real MIDI files of planetblupi-music-midi");
  for (const auto& path : files) CheckAgainstMidicsv(path);
}

TEST(TrackCorpus, UnknownChunkIsSteppedOver) {
  Parsed with = ParseFile(cantrel_test::DataPath("midi/unknown_chunk.mid"));
  Parsed without = ParseFile(cantrel_test::DataPath("midi/running_status.mid"));
  ASSERT_EQ(with.tracks.size(), 2u);
  ASSERT_EQ(without.tracks.size(), 2u);
  for (size_t t = 0; t < 2; ++t) {
    EXPECT_EQ(track_test::Canonical(*with.tracks[t]), track_test::Canonical(*without.tracks[t]));
  }
}

TEST(TrackCorpus, WrittenChunksAreStable) {
  // A second parse and write of our own chunk gives the same bytes.
  for (const auto& path : Fixtures()) {
    SCOPED_TRACE(path.string());
    Parsed p = ParseFile(path);
    for (auto& track : p.tracks) {
      track->ToChunk("MTrk");
      Bytes first = track_test::ChunkBytes(*track);
      MidiTrack again(static_cast<int64_t>(first.size()), 0, first.data(), 0, kDefaultMusicCapacity);
      again.ToChunk("MTrk");
      Bytes second = track_test::ChunkBytes(again);
      MidiTrack third(static_cast<int64_t>(second.size()), 0, second.data(), 0, kDefaultMusicCapacity);
      third.ToChunk("MTrk");
      EXPECT_EQ(track_test::ChunkBytes(third), second);
    }
  }
}

TEST(TrackCorpus, FixtureEventsAreTheOnesMidicsvLists) {
  CANTREL_NEED_TOOL("midicsv");
  Parsed p = ParseFile(cantrel_test::DataPath("midi/running_status.mid"));
  std::vector<std::string> track2 = track_test::Canonical(*p.tracks[1]);
  std::vector<std::string> want = {"0 on 0 60 64",  "16 on 0 62 64",       "16 text5 616263",
                                   "32 on 0 64 64", "32 text4 5343383842", "48 off 0 60",
                                   "48 off 0 62",   "48 off 0 64",         "48 cc 1 7 100",
                                   "56 cc 1 10 64", "56 end"};
  EXPECT_EQ(track2, want);
  // The tempo of 0 was read as 500000 and reported; the power of 0 as 4/4.
  EXPECT_EQ(track_test::Canonical(*p.tracks[0])[0], "0 tempo 500000");
  EXPECT_EQ(p.tracks[0]->events[1]->value, 0x404);
  std::vector<std::string> texts = cantrel_test::Sink().Texts();
  auto has = [&](const char* code) {
    for (const auto& t : texts) if (t.rfind(code, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(has("MDTK0D000005"));
  EXPECT_TRUE(has("MDTK0D000027"));
}
