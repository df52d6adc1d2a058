// The SMF loader: formats, sizes and failures.
#include <gtest/gtest.h>

#include <fstream>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "passes_util.h"
#include "tests/support/smf_bytes.h"
#include "tests/support/test_support.h"
#include "tests/support/unreadable_file.h"

using namespace passes_test;

namespace {

using Bytes = std::vector<uint8_t>;

using cantrel_test::PutVarLen;

Bytes Header(int format, int tracks, int division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format),
          0, static_cast<uint8_t>(tracks), static_cast<uint8_t>(division >> 8),
          static_cast<uint8_t>(division)};
}

void AddChunk(Bytes& file, const Bytes& body) {
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  const size_t n = body.size();
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(n >> shift));
  file.insert(file.end(), body.begin(), body.end());
}

// A format-0 body: tempo, notes on channels 0, 1 and 9, padded with a text event so
// that the whole file has `size` bytes (0 for no padding).
Bytes Format0File(size_t size, int format = 0, int tracks = 1) {
  Bytes body = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  for (int i = 0; i < 30; ++i) {
    const uint8_t ch = static_cast<uint8_t>(i % 3 == 2 ? 9 : i % 3);
    const uint8_t pitch = static_cast<uint8_t>(50 + i);
    const Bytes note = {0x00, static_cast<uint8_t>(0x90 | ch), pitch, 100,
                        0x30, static_cast<uint8_t>(0x80 | ch), pitch, 0};
    body.insert(body.end(), note.begin(), note.end());
  }
  if (size > 0) {
    const size_t fixed = 14 + 8 + body.size() + 4;  // header, chunk header, end
    // delta, FF 01, length, text
    size_t text = size - fixed - 3 - 3;
    Bytes len;
    PutVarLen(len, static_cast<uint32_t>(text));
    text = size - fixed - 3 - len.size();
    len.clear();
    PutVarLen(len, static_cast<uint32_t>(text));
    body.insert(body.end(), {0x00, 0xFF, 0x01});
    body.insert(body.end(), len.begin(), len.end());
    body.insert(body.end(), text, 'a');
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes file = Header(format, tracks, 96);
  AddChunk(file, body);
  return file;
}

std::filesystem::path Write(const std::string& name, const Bytes& bytes) {
  const std::filesystem::path path = cantrel_test::TempDir() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

TEST(MidiLoader, Format0BecomesSeventeenTracks) {
  const auto path = Write("zero.mid", Format0File(0));
  MidiLoader loader(path);
  ASSERT_NE(loader.song, nullptr);
  EXPECT_EQ(loader.song->track_count, 17);
  EXPECT_EQ(loader.file_format, 0);
  EXPECT_EQ(loader.current_format, 1);
  EXPECT_EQ(loader.file_size, static_cast<int32_t>(std::filesystem::file_size(path)));
  EXPECT_EQ(loader.song->tracks[1]->CountNotesOfChannel(0), 10);
  EXPECT_EQ(loader.song->tracks[2]->CountNotesOfChannel(1), 10);
  EXPECT_EQ(loader.song->tracks[10]->CountNotesOfChannel(9), 10);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(MidiLoader, SizeLimit) {
  {
    const Bytes bytes = Format0File(0xEFFFF);
    ASSERT_EQ(bytes.size(), 0xEFFFFu);
    MidiLoader loader(Write("edge.mid", bytes));
    ASSERT_NE(loader.song, nullptr);
    EXPECT_EQ(loader.file_size, 0xEFFFF);
    EXPECT_EQ(loader.song->track_count, 17);
    EXPECT_EQ(loader.song->tracks[1]->CountNotesOfChannel(0), 10);
    // The padding text is longer than an event should be (the parser warns once).
    for (const std::string& box : cantrel_test::Sink().Texts()) {
      EXPECT_EQ(box.find("MDLD"), std::string::npos) << box;
    }
  }
  cantrel_test::Sink().Clear();
  {
    const Bytes bytes = Format0File(0xF0000);
    ASSERT_EQ(bytes.size(), 0xF0000u);
    MidiLoader loader(Write("over.mid", bytes));
    EXPECT_EQ(loader.song, nullptr);
    EXPECT_EQ(loader.file_size, 0);
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_EQ(cantrel_test::Sink().Texts()[0].rfind("MDLD17000003", 0), 0u);
  }
}

TEST(MidiLoader, RefusedFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* first_box;  // the start of the first box, or "" for any
  };
  const std::vector<Case> cases = {
      {"format2.mid", Format0File(0, 2, 1), "MDLD17000002"},
      {"text.mid", Bytes{'h', 'e', 'l', 'l', 'o'}, "MDLD17000002"},
      // Format 0 with two tracks: the format-0 reader refuses it.
      {"zero-two.mid", Format0File(0, 0, 2), ""},
      // Format 1 whose chunk is no track.
      {"one-bad.mid", [] { Bytes f = Header(1, 1, 96); f.insert(f.end(), {0x58, 0x58, 0x58, 0x58, 0, 0, 0, 0}); return f; }(), ""},
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    MidiLoader loader(Write(c.name, c.bytes));
    EXPECT_EQ(loader.song, nullptr) << c.name;
    EXPECT_EQ(loader.file_size, 0) << c.name;
    ASSERT_GE(cantrel_test::Sink().Count(), 1u) << c.name;
    EXPECT_EQ(cantrel_test::Sink().Texts()[0].rfind(c.first_box, 0), 0u) << c.name;
    if (std::string(c.first_box) == "MDLD17000002") {
      EXPECT_EQ(cantrel_test::Sink().Count(), 1u) << c.name;
    }
  }
}

TEST(MidiLoader, MissingFileSaysSoWithThePath) {
  const std::filesystem::path path = cantrel_test::TempDir() / std::string(300, 'n');
  MidiLoader loader(path);
  EXPECT_EQ(loader.song, nullptr);
  EXPECT_EQ(loader.file_size, 0);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "Midiファイルが開けませんでした。" + path.string());
}

// A folder in the file's place and a file nobody may read: the same text with the path, no
// song, and the program goes on.
TEST(MidiLoader, WhatCannotBeOpenedIsSaidWithThePathAndTheCallerGoesOn) {
  const std::filesystem::path folder = cantrel_test::TempDir() / "folder.mid";
  std::filesystem::create_directories(folder);
  const std::filesystem::path locked =
      cantrel_test::UnreadableFile(cantrel_test::TempDir() / "locked.mid");
  for (const std::filesystem::path& path : {folder, locked}) {
    SCOPED_TRACE(path.string());
    cantrel_test::Sink().Clear();
    int32_t size = -1;
    bool song = true;
    ASSERT_TRUE(cantrel_test::RunBoundByPermissions([&] {
      MidiLoader loader(path);
      size = loader.file_size;
      song = loader.song != nullptr;
    }));
    EXPECT_FALSE(song);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(cantrel_test::Sink().Texts(),
              std::vector<std::string>{"Midiファイルが開けませんでした。" + path.string()});
  }
}

TEST(MidiLoader, ConversionsNeedTheirSong) {
  MidiLoader loader(Write("zero.mid", Format0File(0)));
  loader.SplitToFormat1();  // no format-0 song yet
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].rfind("MDLD17000001", 0), 0u);
  loader.MergeToFormat0Named();
  ASSERT_NE(loader.format0_song, nullptr);
  EXPECT_EQ(loader.song, nullptr);
  EXPECT_EQ(loader.format0_song->track->GetNoteCount(), 30);
  loader.MergeToFormat0Named();  // the song is gone
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
  loader.SplitToFormat1();
  ASSERT_NE(loader.song, nullptr);
  EXPECT_EQ(loader.format0_song, nullptr);
  EXPECT_EQ(loader.song->track_count, 17);
  EXPECT_EQ(loader.current_format, 1);
}
