// SMAF files of MA-1/MA-2 devices: the CRC, the chunk layout, outside checks of written files,
// round trips through the loader, and the edge cases of the container.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "smaf_fixture.h"
#include "util/gne.h"
#include "util/gne_files.h"
#include <set>

using smaf_test::CountBoxes;
using smaf_test::GridNote;
using smaf_test::GridSong;
using smaf_test::HasBox;
using smaf_test::Walk;

namespace {

uint16_t BitwiseGenibus(const uint8_t* p, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= static_cast<uint16_t>(p[i] << 8);
    for (int k = 0; k < 8; ++k)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
  }
  return static_cast<uint16_t>(~crc);
}

std::vector<uint8_t> WriteSmaf(const MobileData& song, int code, int64_t start = -1,
                               int64_t stop = -1) {
  int64_t s = start, p = stop;
  SmafData data(song, code, start >= 0 ? &s : nullptr, stop >= 0 ? &p : nullptr);
  EXPECT_TRUE(data.Pack(start >= 0 ? s : -1, stop >= 0 ? p : -1));
  return data.Bytes();
}

std::filesystem::path Save(const std::vector<uint8_t>& bytes, const std::string& name) {
  const auto path = cantrel_test::TempDir() / name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Every size of a SMAF-data file is nested exactly; the score tracks' numbers come back.
std::vector<int> CheckLayout(const std::vector<uint8_t>& f) {
  std::vector<int> numbers;
  EXPECT_GE(f.size(), 23u);
  if (f.size() < 23) return numbers;
  ByteReader in(f.data(), f.size());
  in.Skip(4);
  EXPECT_EQ(in.U32Be(), f.size() - 8);
  const auto top = Walk(f, 8, f.size() - 2);
  EXPECT_FALSE(top.empty());
  if (top.empty()) return numbers;
  EXPECT_EQ(top[0].id, "CNTI");
  for (size_t i = 1; i < top.size(); ++i) {
    EXPECT_EQ(top[i].id.substr(0, 3), "MTR");
    numbers.push_back(std::atoi(top[i].id.c_str() + 3));
    const auto subs = Walk(f, top[i].offset + 6, top[i].offset + top[i].size);
    EXPECT_EQ(subs.back().id, "Mtsq");
  }
  return numbers;
}

std::string PythonCrcmod() {
  for (const char* py : {"/usr/bin/python3"})
    if (cantrel_test::RunTool({py, "-c", "import crcmod.predefined"}) == 0) return py;
  return {};
}

void ExpectSameNotes(const std::vector<GridNote>& want, const MobileData& song) {
  std::vector<GridNote> got = smaf_test::NotesOfSong(song);
  ASSERT_EQ(got.size(), want.size());
  auto order = [](const GridNote& a, const GridNote& b) {
    return std::tie(a.voice, a.tick) < std::tie(b.voice, b.tick);
  };
  std::vector<GridNote> w = want;
  std::sort(w.begin(), w.end(), order);
  std::sort(got.begin(), got.end(), order);
  for (size_t i = 0; i < w.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "note " << i << " voice " << w[i].voice << " tick "
                                    << w[i].tick);
    EXPECT_EQ(got[i].voice, w[i].voice);
    EXPECT_EQ(got[i].pitch, w[i].pitch);
    EXPECT_LE(std::abs(got[i].tick - w[i].tick), 1);
    EXPECT_LE(std::abs(got[i].duration - w[i].duration), 1);
  }
}

}  // namespace

TEST(SmafCrc, IsGenibusByTableAndByBits) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(SmafCrc(9, check), 0xD64E);
  EXPECT_EQ(SmafCrcPlain(9, check), static_cast<uint16_t>(~0xD64E));
  const auto table = SmafCrcTable();
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], 0x1021);
  GneSeedRandomWith(7);
  for (int len : {0, 1, 2, 17, 255, 1000}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(len));
    for (auto& b : bytes) b = static_cast<uint8_t>(GneRandomRange(0, 255));
    EXPECT_EQ(SmafCrc(len, bytes.data()), BitwiseGenibus(bytes.data(), bytes.size())) << len;
  }
}

TEST(SmafFile, EveryWrittenFileEndsInTheCrcOfTheBytesBefore) {
  std::vector<std::vector<uint8_t>> files;
  for (int code : {16, 4, 0}) files.push_back(WriteSmaf(*GridSong(code == 4 ? 4 : 16, 500000, nullptr), code));
  for (const auto& f : files) {
    ASSERT_GE(f.size(), 10u);
    const uint16_t crc = static_cast<uint16_t>(f[f.size() - 2] << 8 | f.back());
    EXPECT_EQ(crc, SmafCrc(static_cast<int32_t>(f.size() - 2), f.data()));
  }
  const std::string py = PythonCrcmod();
  CANTREL_NEED(!py.empty(), "python3 with crcmod (python3-crcmod)");
  for (size_t i = 0; i < files.size(); ++i) {
    const auto path = Save(files[i], "crc" + std::to_string(i) + ".mmf");
    std::string out;
    ASSERT_EQ(cantrel_test::RunTool({py, "-c",
                                     "import sys,crcmod.predefined\n"
                                     "d=open(sys.argv[1],'rb').read()\n"
                                     "f=crcmod.predefined.mkCrcFun('crc-16-genibus')\n"
                                     "print(int(f(d[:-2])==(d[-2]<<8|d[-1])))",
                                     path.string()},
                                    &out),
              0);
    EXPECT_EQ(out.substr(0, 1), "1") << path;
  }
}

TEST(SmafFile, FileCallsEveryWrittenFileSmaf) {
  CANTREL_NEED_TOOL("file");
  int i = 0;
  for (int code : {16, 4, 0}) {
    const auto path = Save(WriteSmaf(*GridSong(code == 4 ? 4 : 16, 500000, nullptr), code),
                           "f" + std::to_string(i++) + ".mmf");
    std::string out;
    ASSERT_EQ(cantrel_test::RunTool({"file", "-b", path.string()}, &out), 0);
    EXPECT_EQ(out.substr(0, 16), "Yamaha SMAF file") << out;
  }
}

TEST(SmafFile, ChunkSizesNestExactly) {
  struct Case {
    int code, voices;
    std::vector<int> numbers;
    bool seek_phrase;
  };
  const Case cases[] = {{16, 16, {1, 2, 3, 4}, true},
                        {4, 4, {0}, false},
                        {0, 16, {0, 0, 0, 0}, true},
                        {16, 5, {1, 2}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const auto f = WriteSmaf(*GridSong(c.voices, 500000, nullptr), c.code);
    EXPECT_EQ(CheckLayout(f), c.numbers);
    const auto top = Walk(f, 8, f.size() - 2);
    for (size_t i = 1; i < top.size(); ++i) {
      const auto subs = Walk(f, top[i].offset + 6, top[i].offset + top[i].size);
      std::vector<std::string> ids;
      for (const auto& s : subs) ids.push_back(s.id);
      std::vector<std::string> want;
      if (c.seek_phrase) want.push_back("MspI");
      if (i == 1) want.push_back("Mtsu");
      want.push_back("Mtsq");
      EXPECT_EQ(ids, want) << "track " << i;
      if (c.seek_phrase) {
        EXPECT_EQ(subs[0].size, 16u);
      }
    }
  }
}

TEST(SmafFile, ContentsInfoAndTitle) {
  auto song = GridSong(4, 500000, nullptr);
  song->title = "abcdefghijklmnopqrst";  // 20 bytes
  auto f = WriteSmaf(*song, 16);
  ByteReader in(f.data() + 8, f.size() - 8);
  char id[4];
  in.Bytes(id, 4);
  EXPECT_EQ(std::string(id, 4), "CNTI");
  EXPECT_EQ(in.U32Be(), 29u);
  EXPECT_EQ(std::string(f.begin() + 21, f.begin() + 24), "ST:");
  EXPECT_EQ(f[16 + 29 - 1], ',');
  // One byte of the title changes the last two bytes of the file.
  song->title[3] = 'X';
  auto g = WriteSmaf(*song, 16);
  ASSERT_EQ(f.size(), g.size());
  EXPECT_TRUE(f[f.size() - 2] != g[g.size() - 2] || f.back() != g.back());
  // A title over 251 bytes is cut at a character boundary so that the option keeps 255 bytes.
  std::string long_title(249, 'a');
  long_title += "\x82\xA0\x82\xA0";  // two double-byte characters: 253 bytes
  song->title = long_title;
  f = WriteSmaf(*song, 16);
  ByteReader again(f.data() + 12, 4);
  EXPECT_EQ(again.U32Be(), 5u + 3 + 251 + 1);
  SmafData back(f.data(), static_cast<int32_t>(f.size()));
  std::string title;
  EXPECT_EQ(back.file->contents->GetOptionTag("ST", &title), 251);
  EXPECT_EQ(title, long_title.substr(0, 251));
}

TEST(SmafFile, SetupRecordsOfTheForms) {
  // Four-track form: one 21-byte record per timbre, drums by their drum note.
  auto song = std::make_unique<MobileData>();
  auto drum = std::make_unique<MobileChannel>(0, 1);
  drum->AddControl(0, kKindVoiceType, 1);
  drum->AddControl(0, kKindProgram, 35);
  drum->AddNote(0, 35, 48, 100);
  song->AppendVoice(std::move(drum));
  auto piano = std::make_unique<MobileChannel>(1, 2);
  piano->AddControl(0, kKindProgram, 0);
  piano->AddNote(0, 60, 48, 100);
  song->AppendVoice(std::move(piano));
  SmafData four(*song, 16);
  ASSERT_TRUE(four.Pack());
  const auto& setup = *four.file->tracks[0]->setup;
  ASSERT_EQ(setup.records.size(), 2u);
  const std::vector<uint8_t> bass_drum = {0xFF, 0xF0, 0x12, 0x43, 0x03, 0x00, 0x80, 0x23,
                                          0x68, 0x01, 0x10, 0x7F, 0xF7, 0x00, 0xA0, 0x01,
                                          0x63, 0xF0, 0x00, 0xA0, 0xF7};
  EXPECT_EQ(setup.records[0], bass_drum);
  const std::vector<uint8_t> program0 = {0xFF, 0xF0, 0x12, 0x43, 0x03, 0x01, 0x00, 0x00,
                                         0x60, 0x01, 0x14, 0x52, 0xF4, 0x3A, 0xA0, 0x14,
                                         0x62, 0xF7, 0x00, 0xA0, 0xF7};
  EXPECT_EQ(setup.records[1], program0);
  // Single-track form: the header exclusive, then 22-byte records; the drum makes none.
  cantrel_test::Sink().Clear();
  SmafData single(*song, 4);
  ASSERT_TRUE(single.Pack());
  EXPECT_TRUE(HasBox("SMCD", kSmcdDrumSetup));
  const auto bytes = single.Bytes();
  const std::vector<uint8_t> head = {0xFF, 0xF0, 0x05, 0x43, 0x02, 0x80, 0x11, 0xF7,
                                     0xFF, 0xF0, 0x13, 0x43, 0x02, 0x01, 0x00, 0x00,
                                     0xF1, 0x21, 0x7B, 0x8C, 0xA0, 0x31, 0x57, 0x8C,
                                     0x00, 0x00, 0x11, 0x22, 0x44, 0xF7};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), head.begin(), head.end()), bytes.end());
  // Read back: the same records.
  SmafData back(bytes.data(), static_cast<int32_t>(bytes.size()));
  ASSERT_EQ(back.file->track_count(), 1);
  EXPECT_EQ(back.file->tracks[0]->setup->records.size(), 1u);
  EXPECT_EQ(back.file->tracks[0]->setup->header.size(), 8u);
  EXPECT_EQ(back.contents_code, kSmafSingleTrack);
}

TEST(SmafFile, TimbreLimits) {
  // 40 programs in one voice: the list stops at 32 (0x1a00000d), 16 and more warn 0x1a00000a.
  auto song = std::make_unique<MobileData>();
  auto v = std::make_unique<MobileChannel>(0, 2);
  for (int p = 0; p < 40; ++p) {
    v->AddControl(0, kKindProgram, p);
    v->AddNote(0, 60, 10, 100);
  }
  song->AppendVoice(std::move(v));
  SmafData data(*song, 16);
  ASSERT_TRUE(data.Pack());
  EXPECT_TRUE(HasBox("SMCD", kSmcdTooManyTimbres));
  EXPECT_TRUE(HasBox("SMCD", kSmcdSixteenTimbres));
  EXPECT_EQ(data.file->tracks[0]->setup->records.size(), 32u);
  const auto f = data.Bytes();
  SmafData back(f.data(), static_cast<int32_t>(f.size()));
  EXPECT_EQ(back.file->tracks[0]->setup->records.size(), 32u);
  // Other forms write four records at most (0x1a000009).
  cantrel_test::Sink().Clear();
  SmafData single(*song, 4);
  ASSERT_TRUE(single.Pack());
  EXPECT_TRUE(HasBox("SMCD", kSmcdNoTimbre));
  EXPECT_EQ(single.file->tracks[0]->setup->records.size(), 4u);
}

TEST(SmafFile, VoiceCountsGiveTracks) {
  struct Case {
    int voices, tracks;
    bool reported;
  };
  for (const Case& c : {Case{18, 4, true}, Case{5, 2, false}, Case{16, 4, false}, Case{1, 1, false}}) {
    SCOPED_TRACE(c.voices);
    cantrel_test::Sink().Clear();
    auto song = GridSong(c.voices, 500000, nullptr, 3);
    SmafData data(*song, 16);
    ASSERT_TRUE(data.Pack());
    EXPECT_EQ(data.file->track_count(), c.tracks);
    EXPECT_EQ(CountBoxes("SMDT", kSmdtTrackCount), c.reported ? 1 : 0);
  }
  // Five voices: four in the first track, one in the second.
  auto song = GridSong(5, 500000, nullptr, 3);
  SmafData data(*song, 16);
  ASSERT_TRUE(data.Pack());
  for (int v = 0; v < 4; ++v) EXPECT_TRUE(data.file->tracks[0]->sequence->track->HasVoice(v));
  EXPECT_TRUE(data.file->tracks[1]->sequence->track->HasVoice(0));
  EXPECT_FALSE(data.file->tracks[1]->sequence->track->HasVoice(1));
}

TEST(SmafFile, PackingTwiceWritesTheSameBytes) {
  auto song = GridSong(16, 500000, nullptr);
  SmafData data(*song, 16);
  ASSERT_TRUE(data.Pack());
  const auto first = data.Bytes();
  ASSERT_TRUE(data.Pack());
  EXPECT_EQ(first, data.Bytes());
}

TEST(SmafFile, RoundTripsThroughTheLoader) {
  struct Case {
    int code, voices, tempo;
  };
  const Case cases[] = {{16, 16, 500000}, {16, 16, 1000000}, {4, 4, 500000},
                        {4, 4, 1000000},  {0, 16, 500000},   {0, 16, 1000000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " tempo " << c.tempo);
    std::vector<GridNote> notes;
    auto song = GridSong(c.voices, c.tempo, &notes);
    const auto bytes = WriteSmaf(*song, c.code);
    const auto path = Save(bytes, "round.mmf");
    cantrel_test::Sink().Clear();
    SmafLoader loader(path);
    ASSERT_TRUE(loader.smaf);
    EXPECT_FALSE(loader.ma3);
    EXPECT_EQ(loader.smaf->contents_code, c.code == 16 ? 16 : 4);
    MobileData back;
    loader.smaf->ToMobileData(back);
    EXPECT_EQ(back.tempo, c.tempo);
    EXPECT_EQ(back.division, 96);
    EXPECT_EQ(back.title, "grid");
    ExpectSameNotes(notes, back);
    for (int32_t i = 0; i < back.voice_count; ++i)
      EXPECT_EQ(back.voices[i]->kind, back.voices[i]->index % 4 == 3 ? 1 : 2) << i;
  }
}

TEST(SmafFile, StartAndStopTicksBecomeSeekPositions) {
  auto song = GridSong(4, 500000, nullptr);
  // Ticks between events move to the first event at or after them.
  int64_t start = 50, stop = 300;
  SmafData data(*song, 16, &start, &stop);
  EXPECT_EQ(start, 100);  // tick 96 is 100 units
  EXPECT_EQ(stop, 350);   // no event at tick 300: the next one, at 336
  ASSERT_TRUE(data.Pack(start, stop));
  const auto& seek = data.Bytes();
  SmafData back(seek.data(), static_cast<int32_t>(seek.size()));
  const auto& sp = *back.file->tracks[0]->seek_phrase;
  EXPECT_GT(sp.start, 0);
  EXPECT_GT(sp.stop, sp.start);
  // A start past every event is reported and the first note is taken.
  cantrel_test::Sink().Clear();
  int64_t late = 1000000, none = -1;
  SmafData past(*song, 16, &late, &none);
  ASSERT_TRUE(past.Pack(late, -1));
  EXPECT_TRUE(HasBox("SMCD", kSmcdNoStart));
}

TEST(SmafFile, DamagedContainers) {
  const auto good = WriteSmaf(*GridSong(8, 500000, nullptr), 16);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t code;
    int tracks;
  };
  std::vector<Case> cases;
  {
    auto b = good;  // "MMMD" over 0x10000
    b[4] = 0x00, b[5] = 0x01, b[6] = 0x00, b[7] = 0x01;
    cases.push_back({"mmmd over limit", b, kSmcdChunkSize, 0});
  }
  {
    auto b = good;  // past the file's end
    b[7] = static_cast<uint8_t>(b[7] + 1);
    cases.push_back({"mmmd past end", b, kSmcdChunkSize, 0});
  }
  {
    auto b = good;  // CNTI renamed
    b[8] = 'X';
    cases.push_back({"no cnti", b, kSmcdNoContentsInfo, 0});
  }
  {
    auto b = good;  // the second track's size past the file chunk: the walk ends there
    const auto top = Walk(good, 8, good.size() - 2);
    const size_t at = top[2].offset - 4;
    b[at] = 0x00, b[at + 1] = 0x00, b[at + 2] = 0xFF, b[at + 3] = 0x00;
    cases.push_back({"track past parent", b, kSmcdChunkSize, 1});
  }
  {
    auto b = good;  // CNTI of 2 bytes
    std::vector<uint8_t> c(b.begin(), b.begin() + 8);
    const uint8_t cnti[] = {'C', 'N', 'T', 'I', 0, 0, 0, 2, 0, 0};
    c.insert(c.end(), cnti, cnti + 10);
    c.push_back(0x12);
    c.push_back(0x34);
    c[7] = static_cast<uint8_t>(c.size() - 8);
    c[4] = c[5] = c[6] = 0;
    cases.push_back({"short cnti", c, kSmcdChunkSize, 0});
  }
  {
    auto b = good;  // "MMMD" of size 1: no room for the CRC
    std::vector<uint8_t> c = {'M', 'M', 'M', 'D', 0, 0, 0, 1, 0x55};
    c.resize(30, 0);
    cases.push_back({"mmmd of one byte", c, kSmcdNoContentsInfo, 0});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    SmafData data(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_TRUE(HasBox("SMCD", c.code));
    ASSERT_TRUE(data.file);
    EXPECT_EQ(data.file->track_count(), c.tracks);
  }
}

TEST(SmafFile, FifthTrackAndBadIdsAreSkipped) {
  auto f = WriteSmaf(*GridSong(16, 500000, nullptr, 2), 16);
  const auto top = Walk(f, 8, f.size() - 2);
  // Append a copy of track 4 and an "OPDA" chunk; fix the sizes and the CRC.
  std::vector<uint8_t> extra(f.begin() + static_cast<long>(top[4].offset - 8),
                             f.begin() + static_cast<long>(top[4].offset + top[4].size));
  const uint8_t opda[] = {'O', 'P', 'D', 'A', 0, 0, 0, 0};
  std::vector<uint8_t> g(f.begin(), f.end() - 2);
  g.insert(g.end(), extra.begin(), extra.end());
  g.insert(g.end(), opda, opda + 8);
  const uint32_t size = static_cast<uint32_t>(g.size() - 8 + 2);
  g[4] = static_cast<uint8_t>(size >> 24), g[5] = static_cast<uint8_t>(size >> 16);
  g[6] = static_cast<uint8_t>(size >> 8), g[7] = static_cast<uint8_t>(size);
  const uint16_t crc = SmafCrc(static_cast<int32_t>(g.size()), g.data());
  g.push_back(static_cast<uint8_t>(crc >> 8));
  g.push_back(static_cast<uint8_t>(crc));
  cantrel_test::Sink().Clear();
  SmafData data(g.data(), static_cast<int32_t>(g.size()));
  EXPECT_EQ(data.file->track_count(), 4);
  EXPECT_TRUE(HasBox("SMDT", kSmdtTrackCount));
  EXPECT_TRUE(HasBox("SMCD", kSmcdBadFormat));
}

TEST(SmafFile, SizeLimitsRefuseWithoutBytes) {
  // A sequence over 0x10000 bytes: refused, nothing written.
  auto song = std::make_unique<MobileData>();
  auto v = std::make_unique<MobileChannel>(0, 2);
  for (int n = 0; n < 30000; ++n) v->AddNote(n ? 48 : 0, 60 + n % 12, 48, 100);
  song->AppendVoice(std::move(v));
  SmafData data(*song, 16);
  EXPECT_FALSE(data.Pack());
  EXPECT_EQ(data.used_size, 0);
  EXPECT_TRUE(HasBox("SSQD", kSsqdDataSize));
  // Byte constructors take at most 0x60000 bytes.
  cantrel_test::Sink().Clear();
  std::vector<uint8_t> big(0x60001, 0);
  std::memcpy(big.data(), "MMMD", 4);
  SmafData refused(big.data(), static_cast<int32_t>(big.size()));
  EXPECT_FALSE(refused.file);
  EXPECT_TRUE(HasBox("SMDT", kSmdtNotSmaf));
}

TEST(SmafLoaderTest, ContentsTypeChoosesTheReader) {
  const auto good = WriteSmaf(*GridSong(4, 500000, nullptr), 16);
  struct Case {
    uint8_t type, copy;
    bool smaf, ma3;
    uint32_t code;
  };
  const Case cases[] = {{0x00, 0, true, false, 0},         {0x05, 0, true, false, 0},
                        {0x0F, 0, true, false, 0},         {0x20, 0, false, false, kSmldFileType},
                        {0x31, 0, false, true, 0},         {0x32, 0x33, false, true, 0},
                        {0x34, 0x34, false, false, kSmldFileType}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    auto b = good;
    b[17] = c.type;
    b[19] = c.copy;
    cantrel_test::Sink().Clear();
    SmafLoader loader(Save(b, "t.mmf"));
    EXPECT_EQ(static_cast<bool>(loader.smaf), c.smaf);
    EXPECT_EQ(static_cast<bool>(loader.ma3), c.ma3);
    if (c.code) {
      EXPECT_TRUE(HasBox("SMLD", c.code));
    }
  }
  for (const std::vector<uint8_t>& b :
       {std::vector<uint8_t>{}, std::vector<uint8_t>(good.begin(), good.begin() + 22),
        std::vector<uint8_t>(40, 'x')}) {
    cantrel_test::Sink().Clear();
    SmafLoader loader(Save(b, "short.mmf"));
    EXPECT_FALSE(loader.smaf);
    EXPECT_FALSE(loader.ma3);
    EXPECT_TRUE(HasBox("SMDT", kSmdtNotSmaf));
  }
  // A missing file is a box, never the end of the program.
  cantrel_test::Sink().Clear();
  SmafLoader missing(cantrel_test::TempDir() / "none.mmf");
  EXPECT_FALSE(missing.smaf);
  EXPECT_GE(cantrel_test::Sink().Count(), 1u);
}

TEST(SmafLoaderTest, ReadSongPlaysThroughMido) {
  CANTREL_NEED_MIDO();
  std::vector<GridNote> notes;
  auto song = GridSong(8, 500000, &notes, 6);
  const auto bytes = WriteSmaf(*song, 16);
  SmafData data(bytes.data(), static_cast<int32_t>(bytes.size()));
  MobileData back;
  data.ToMobileData(back);
  std::vector<MobileChannel*> voices = back.ActiveVoices();
  MobileTrack track(voices.data(), static_cast<int32_t>(voices.size()), kMobileCapacity);
  Midi0Data midi(kMobileCapacity);
  track.ToMidi0Data(midi, 96, 0, back.tempo);
  const auto path = cantrel_test::TempDir() / "back.mid";
  ASSERT_EQ(midi.SaveFile(path, 0), 1);
  std::string out;
  ASSERT_EQ(cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c",
                                   "import sys,mido\n"
                                   "m=mido.MidiFile(sys.argv[1])\n"
                                   "t=0\n"
                                   "for msg in mido.merge_tracks(m.tracks):\n"
                                   "  t+=msg.time\n"
                                   "  if msg.type=='note_on' and msg.velocity>0: print(t, msg.note)\n",
                                   path.string()},
                                  &out),
            0);
  std::multiset<std::pair<int, int>> want, got;
  for (const auto& n : notes) want.insert({n.tick, n.pitch});
  std::istringstream lines(out);
  int t, p;
  while (lines >> t >> p) got.insert({t, p});
  ASSERT_EQ(got.size(), want.size());
  auto w = want.begin();
  for (auto g = got.begin(); g != got.end(); ++g, ++w) {
    EXPECT_LE(std::abs(g->first - w->first), 1);
    EXPECT_EQ(g->second, w->second);
  }
}

TEST(SmafFile, SetupMessagesAreReadWithinTheirChunk) {
  struct Case {
    const char* name;
    int records;
    std::vector<uint8_t> tail;
    size_t want_records;
    bool reported;
  };
  const std::vector<uint8_t> bad_length = {0xFF, 0xF0, 0x07, 0x43, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7};
  const std::vector<uint8_t> no_f7 = {0xFF, 0xF0, 0x05, 0x43, 0x02, 0x80, 0x11, 0x00};
  const std::vector<uint8_t> cut = {0xFF, 0xF0, 0x12, 0x43, 0x03};
  const std::vector<uint8_t> ma3 = {0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7};
  const Case cases[] = {{"33 records", 33, {}, 32, true},
                        {"a length of 7", 2, bad_length, 2, true},
                        {"no F7", 1, no_f7, 1, true},
                        {"cut record", 3, cut, 3, true},
                        {"MA-3 message skipped", 2, ma3, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmafSetupData setup;
    for (int r = 0; r < c.records; ++r) {
      const uint8_t head[] = {0xFF, 0xF0, 0x12, 0x43, 0x03, static_cast<uint8_t>(r), 0x00, 0x05};
      setup.data.insert(setup.data.end(), head, head + 8);
      setup.data.insert(setup.data.end(), 12, 0x11);
      setup.data.push_back(0xF7);
    }
    setup.data.insert(setup.data.end(), c.tail.begin(), c.tail.end());
    cantrel_test::Sink().Clear();
    RingtoneReports().Reset();
    setup.Parse();
    EXPECT_EQ(setup.records.size(), c.want_records);
    EXPECT_EQ(HasBox("SMCD", kSmcdBadSetup), c.reported);
    for (const auto& r : setup.records) EXPECT_EQ(r.size(), 21u);
  }
}

TEST(SmafFile, ProgramsOutsideTheTablesFallBack) {
  struct Case {
    int code, bank, program, written;
  };
  for (const Case& c : {Case{16, 0, 200, 0}, Case{16, 0x80, 90, 35}, Case{16, 0x80, 20, 35},
                        Case{4, 0, -3, 0}}) {
    SCOPED_TRACE(testing::Message() << c.code << " " << c.program);
    cantrel_test::Sink().Clear();
    RingtoneReports().Reset();
    SmafSetupData setup({{c.bank, c.program}}, c.code);
    EXPECT_TRUE(HasBox("SMCD", kSmcdBadProgram));
    ASSERT_EQ(setup.records.size(), 1u);
    EXPECT_EQ(setup.records[0][7], c.written);
  }
  cantrel_test::Sink().Clear();
  RingtoneReports().Reset();
  SmafSetupData empty({}, 16);
  EXPECT_TRUE(HasBox("SMCD", kSmcdNoTimbre));
  ASSERT_EQ(empty.records.size(), 1u);
  EXPECT_EQ(empty.records[0][7], 0);
}

TEST(SmafFile, AFileOverTheChunkLimitIsRefused) {
  // Four tracks that fit one by one but not together in the file chunk.
  auto song = std::make_unique<MobileData>();
  for (int v = 0; v < 16; ++v) {
    auto ch = std::make_unique<MobileChannel>(v, 2);
    for (int n = 0; n < 1700; ++n) ch->AddNote(n ? 48 : 0, 50 + (n + v) % 30, 48, 100);
    song->AppendVoice(std::move(ch));
  }
  SmafData data(*song, 16);
  cantrel_test::Sink().Clear();
  EXPECT_FALSE(data.Pack());
  EXPECT_EQ(data.used_size, 0);
  EXPECT_TRUE(HasBox("SMCD", kSmcdChunkSize));
  EXPECT_FALSE(HasBox("SSQD", kSsqdDataSize));
}

TEST(SmafFile, TimebaseChange) {
  struct Row {
    int code, ms;
  };
  for (const Row& r : {Row{0, 1}, Row{1, 2}, Row{2, 4}, Row{3, 5}, Row{0x10, 10}, Row{0x11, 20},
                       Row{0x12, 40}, Row{0x13, 50}, Row{7, 7}})
    EXPECT_EQ(SmafScoreTrack::TimebaseMs(r.code), r.ms) << r.code;
  MobileTrack t(kMobileCapacity);
  t.AddNote(7, 0, 60, 9, 100);
  t.AddNote(3, 0, 62, 1, 100);
  SmafScoreTrack track(t, 1, 3, 3);
  track.ChangeTimebase(0x10);  // 5 ms to 10 ms
  const auto& ev = track.sequence->track->events;
  EXPECT_EQ(ev[0]->delta, 3);
  EXPECT_EQ(ev[0]->duration, 4);
  EXPECT_EQ(ev[1]->delta, 1);
  EXPECT_EQ(ev[1]->duration, 0);
  EXPECT_EQ(track.duration_base, 3);
}

TEST(SmafFile, EventsWithoutAStatusOfTheirOwnWriteNoOperations) {
  MobileTrack t(kMobileCapacity);
  t.AddNote(0, 0, 60, 5, 100);
  t.AddNop(4);
  t.events.back()->status = 0x55;  // no such status
  t.AddNote(6, 0, 62, 5, 100);
  t.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  cantrel_test::Sink().Clear();
  SmafSequenceData seq(t);
  int32_t a, b;
  ASSERT_TRUE(seq.Encode(-1, -1, &a, &b));
  EXPECT_TRUE(HasBox("SSQD", kSsqdStatus));
  SmafSequenceData back(seq.data.data(), seq.data_size());
  EXPECT_EQ(back.track->FindKindTime(kMobileNote, 0), 0);
  int64_t tick = 0, last = -1;
  for (const auto& e : back.track->events) {
    tick += e->delta;
    if (e->IsNote()) last = tick;
  }
  EXPECT_EQ(last, 10);
  cantrel_test::Sink().Clear();
  SmafMa3SequenceData ma3(t);
  ASSERT_TRUE(ma3.Encode(200, &a, &b, nullptr, nullptr));
  EXPECT_TRUE(HasBox("SMCD", kSmcdBadEvent));
  SmafMa3SequenceData read(ma3.data.data(), ma3.data_size());
  tick = 0;
  for (const auto& e : read.track->events) {
    tick += e->delta;
    if (e->IsNote()) last = tick;
  }
  EXPECT_EQ(last, 10);
}
