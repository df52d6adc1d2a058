#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "song/song_bytes.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"
#include "util/gne.h"

namespace fs = std::filesystem;
namespace {
int32_t ReadLe32(const uint8_t* p) { return ByteReader(p, 4).I32Le(); }
int16_t ReadLe16(const uint8_t* p) { return ByteReader(p, 2).I16Le(); }
void WriteLe32(uint8_t* p, int32_t v) { ByteWriter(p, 4).I32Le(v); }
void WriteLe16(uint8_t* p, int32_t v) { ByteWriter(p, 2).I16Le(v); }
}  // namespace

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::vector<uint8_t> data;
  EXPECT_TRUE(plat::ReadWholeFile(p, data));
  return data;
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& data) {
  ASSERT_TRUE(plat::WriteFileAtomic(p, data));
}

std::unique_ptr<CSongData> NewSong(int bars = 8, int bpb = 4, int key = 0, int metre = 1) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, bpb, key, metre);
  return song;
}

// A song with something in every block of the file.
std::unique_ptr<CSongData> RichSong() {
  auto song = NewSong(8, 4, 3, 1);
  song->SetNote(0, 0, 60, 3, false);  // a quarter
  song->SetLyric(0, 0, "ら", false);
  song->SetNote(0, 2, 64, 1, false);
  song->SetLyric(0, 2, "り", false);
  song->SetNote(1, 0, 67, 0, false);  // a sixteenth
  song->SetChord(0, 0, 9, 1, 2, 0, false);   // Am for two beats
  song->SetChord(0, 1, 2, 4, 1, 5, true);    // second half Dm7 with bass 5
  song->info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, "夕焼けの歌");
  song->info.SetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize, "作曲者");
  song->info.SetInt(SongInfoBlock::kTempo, 96);
  song->info.bytes[150] = 0x5A;  // a byte the song does not know
  std::strcpy(song->lyrics_area, "ら り\r\nる");
  std::strcpy(song->lyrics_area + 1536, "alias");
  std::strcpy(song->lyrics_area + 1792, "keyword");
  song->reserved1[7] = 0x11;
  song->reserved2[1000] = 0x22;
  SetStyleText(song->style.name, "ポップス");
  song->style.tempo = 500000;
  song->style.reserved_372 = 0x12345678;
  song->style.density[11] = 77;
  song->SetExtraText(0, "extra zero");
  song->SetExtraText(8, "原題のテキスト");
  song->SetExtraText(11, "last");
  return song;
}

fs::path Tmp(const std::string& name) { return cantrel_test::TempDir() / name; }

}  // namespace

TEST(SongFile, IsWrittenAtItsOffsetsAsExactly121880Bytes) {
  auto song = RichSong();
  const fs::path p = Tmp("a.mwd");
  ASSERT_TRUE(song->Save(&p));
  const auto data = ReadAll(p);
  ASSERT_EQ(data.size(), 121880u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data())), "Am");     // chord cell 0
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 16 + 8)), "Dm7");
  EXPECT_EQ(ReadLe32(data.data() + 16384), 60);                                  // cell 0 slot 0
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 16384 + 12)), "ら");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 90112 + 256)), "夕焼けの歌");
  EXPECT_EQ(ReadLe32(data.data() + 90112 + 200), 96);
  EXPECT_EQ(data[90112 + 150], 0x5A);
  EXPECT_EQ(ReadLe32(data.data() + 90432), 8);
  EXPECT_EQ(ReadLe16(data.data() + 90436), 4);
  EXPECT_EQ(ReadLe16(data.data() + 90438), 1);
  EXPECT_EQ(ReadLe32(data.data() + 90440), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 90444 + 1792)), "keyword");
  EXPECT_EQ(data[93516 + 1], 5);  // second-half bass byte of beat 1
  EXPECT_EQ(data[94540 + 7], 0x11);
  EXPECT_EQ(data[95052 + 1000], 0x22);
  std::vector<uint8_t> style(kStyleRecordSize);
  SerialiseStyleRecord(song->style, style.data());
  EXPECT_EQ(0, std::memcmp(data.data() + 99148, style.data(), kStyleRecordSize));
  EXPECT_EQ(0, std::memcmp(data.data() + 96076, style.data(), 3072));
}

TEST(SongFile, SaveLoadSaveIsByteIdentical) {
  auto song = RichSong();
  const fs::path a = Tmp("a.mwd"), b = Tmp("b.mwd");
  ASSERT_TRUE(song->Save(&a));
  int bars = 0, bpb = 4, key = 0, metre = 1;
  auto loaded = CSongData::LoadFromFile(a, &bars, &bpb, &key, &metre);
  EXPECT_EQ(bars, 8);
  EXPECT_EQ(key, 3);
  ASSERT_TRUE(loaded->Save(&b));
  EXPECT_EQ(ReadAll(a), ReadAll(b));
  EXPECT_EQ(loaded->ExtraText(0), "extra zero");
  EXPECT_EQ(loaded->ExtraText(8), "原題のテキスト");
  EXPECT_EQ(loaded->ExtraText(11), "last");
  EXPECT_EQ(loaded->style.reserved_372, 0x12345678);
  EXPECT_EQ(loaded->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "夕焼けの歌");
  EXPECT_EQ(loaded->path, a.string());
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(SongFile, ExtraTextsTravelInRestLyricFieldsAndAreClearedAfterSaving) {
  auto song = RichSong();
  const fs::path p = Tmp("x.mwd");
  ASSERT_TRUE(song->Save(&p));
  // In memory, every lyric field of a rest, hold or vacant slot is empty again.
  for (const NoteCell& cell : song->cells)
    for (int s = 0; s < 3; ++s)
      if (cell.slot[s] < 0 && cell.slot[s] != NoteSlotRap) {
        ASSERT_EQ(cell.lyric[s][0], 0);
      }
  // In the file, the first rest slot's field holds the start of text 0.
  const auto data = ReadAll(p);
  EXPECT_EQ(0, std::memcmp(data.data() + 16384 + 12 + 8, "extra ze", 8))
      << "cell 0 slot 1 is a hold after the quarter note";
  // A rap note's lyric is never used for the texts.
  auto rap = NewSong(1);
  rap->SetNote(0, 0, NoteSlotRap, 0, false);
  rap->SetLyric(0, 0, "ya", false);
  rap->SetExtraText(0, "abc");
  ASSERT_TRUE(rap->Save(&p));
  int bars = 0, bpb = 4, key = 0;
  auto back = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_STREQ(back->cells[0].lyric[0], "ya");
  EXPECT_EQ(back->ExtraText(0), "abc");
}

TEST(SongFile, SavingTrimsTrailingBlanksExceptInExtraTextSix) {
  auto song = NewSong(1);
  song->info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, "題名 　 ");
  song->SetExtraText(5, "five  ");
  song->SetExtraText(6, "six  ");
  const fs::path p = Tmp("t.mwd");
  ASSERT_TRUE(song->Save(&p));
  EXPECT_EQ(song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "題名");
  EXPECT_EQ(song->ExtraText(5), "five");
  EXPECT_EQ(song->ExtraText(6), "six  ");
}

TEST(SongFile, TrimTrailingBlanksStepsOverDoubleByteCharacters) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"", ""}, {"ab  ", "ab"}, {"あ　", "あ"}, {"   ", " "}, {"　　", "　"},
               {"a b", "a b"}, {"ソ ", "ソ"}};
  for (const Case& c : cases) {
    char buf[33] = {0};
    std::strcpy(buf, c.in);
    CSongData::TrimTrailingBlanks(buf, sizeof buf);
    EXPECT_STREQ(buf, c.out) << c.in;
  }
}

TEST(SongFile, TidyLyricTextFoldsBlankRuns) {
  auto song = NewSong(1);
  std::strcpy(song->lyrics_area, "  あ 　 い  \r\n う　 ");
  std::strcpy(song->lyrics_area + 1536, "alias");
  song->TidyLyricText();
  EXPECT_STREQ(song->lyrics_area, "あ い\r\n う");
  EXPECT_STREQ(song->lyrics_area + 1536, "alias");
}

TEST(SongFile, FailedSaveReportsAndKeepsTheSong) {
  auto song = RichSong();
  std::strcpy(song->cells[1].lyric[1], "rest");  // a lyric on a hold survives a failed save
  const fs::path dir = Tmp("folder.mwd");
  fs::create_directories(dir / "inside");  // a folder cannot be replaced by a file
  EXPECT_FALSE(song->Save(&dir));
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("GENE01000007"), std::string::npos);
  {
    // The box ends with why the write failed, in words.
    std::error_code error;
    ASSERT_FALSE(plat::WriteFileAtomic(dir, std::string("x"), &error));
    const std::string text = cantrel_test::Sink().Texts()[0];
    ASSERT_FALSE(plat::WriteFailureText(error).empty());
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), plat::WriteFailureText(error));
  }
  EXPECT_EQ(song->ExtraText(8), "原題のテキスト");
  EXPECT_EQ(song->cells[0].slot[0], 60);
  EXPECT_STREQ(song->cells[0].lyric[0], "ら");
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_STREQ(song->cells[1].lyric[1], "rest");
  // A missing folder fails the same way, and the next save still works.
  const fs::path missing = Tmp("no/such/folder/a.mwd");
  EXPECT_FALSE(song->Save(&missing));
  const fs::path good = Tmp("good.mwd");
  EXPECT_TRUE(song->Save(&good));
  EXPECT_EQ(fs::file_size(good), 121880u);
  // The box shows a Japanese path in the system's own text encoding.
  cantrel_test::Sink().Clear();
  const fs::path japanese = Tmp(plat::Cp932ToUtf8("無い フォルダ/曲.mwd"));
  EXPECT_FALSE(song->Save(&japanese));
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("[" + plat::Utf8ToCp932(japanese.string()) + "]"),
            std::string::npos);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("無い フォルダ"), std::string::npos);
}

TEST(SongFile, SaveWithoutPathUsesTheLoadedPath) {
  const fs::path p = Tmp("own.mwd");
  int bars = 3, bpb = 3, key = 15, metre = 1;
  auto song = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);  // missing: reset
  EXPECT_EQ(song->bar_count, 3);
  EXPECT_EQ(song->beats_per_bar, 3);
  EXPECT_EQ(song->key_index, 15);
  EXPECT_STREQ(song->key_tonic, "Am");
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_TRUE(song->Save());
  EXPECT_EQ(fs::file_size(p), 121880u);
}

TEST(SongFile, KeyTonicTexts) {
  auto song = NewSong();
  const struct {
    int key;
    const char* text;
  } cases[] = {{0, "C "}, {14, "Cb "}, {29, "Abm"}, {18, "F#m"}, {9, "Bb "}};
  for (const auto& c : cases) {
    song->SetKeyName(c.key);
    EXPECT_STREQ(song->key_tonic, c.text);
  }
}

// ---------------------------------------------------------------------------
// Older layouts

namespace {
std::vector<uint8_t> CurrentImage(CSongData& song) {
  std::vector<uint8_t> image(kSongImageSize);
  song.Serialize(image.data(), song.beats_per_bar, song.key_index, song.metre_kind);
  return image;
}
}  // namespace

TEST(SongFileLayouts, OldestLayoutWithTwelveByteCells) {
  std::vector<uint8_t> data(32780, 0);
  std::memcpy(data.data(), "ABCDEFGH", 8);  // eight characters: the eighth is dropped
  std::memcpy(data.data() + 8, "G7", 2);
  for (int c = 0; c < 2048; ++c) WriteLe32(data.data() + 8192 + 12 * c, NoteSlotHold);
  WriteLe32(data.data() + 8192, 60);
  std::memcpy(data.data() + 8192 + 4, "ら", 2);
  WriteLe32(data.data() + 8192 + 12, NoteSlotRest);
  std::memcpy(data.data() + 8192 + 12 + 4, "12345678", 8);  // no NUL: 7 bytes kept... then unpacked
  WriteLe32(data.data() + 32768, 2);
  WriteLe16(data.data() + 32772, 4);
  WriteLe16(data.data() + 32774, 1);
  WriteLe32(data.data() + 32776, 0);
  const fs::path p = Tmp("old.mwd");
  WriteAll(p, data);
  int bars = 0, bpb = 0, key = 0;
  auto song = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(bars, 2);
  EXPECT_EQ(bpb, 4);
  EXPECT_STREQ(song->chords[0].first, "ABCDEFG");
  EXPECT_STREQ(song->chords[0].second, "");
  EXPECT_STREQ(song->chords[1].first, "G7");
  EXPECT_EQ(song->cells[0].slot[0], 60);
  EXPECT_EQ(song->cells[0].slot[1], NoteSlotHold);
  EXPECT_EQ(song->cells[0].slot[2], NoteSlotVacant);
  EXPECT_STREQ(song->cells[0].lyric[0], "ら");
  // The song information keeps the defaults of an empty song.
  EXPECT_EQ(song->info.GetInt(SongInfoBlock::kTempo), 120);
  EXPECT_EQ(song->info.GetInt(SongInfoBlock::kStyleSlot), 1);
}

TEST(SongFileLayouts, OldChordNamesWithFullCells) {
  std::vector<uint8_t> data(81932, 0);
  std::memcpy(data.data(), "C9", 2);
  std::memcpy(data.data() + 8, "Cm9", 3);
  std::memcpy(data.data() + 16, "C#9", 3);
  auto song = NewSong(4);
  song->SetNote(0, 0, 72, 1, false);
  auto image = CurrentImage(*song);
  std::memcpy(data.data() + 8192, image.data() + 16384, 73728);
  WriteLe32(data.data() + 81920, 4);
  WriteLe16(data.data() + 81924, 4);
  WriteLe16(data.data() + 81926, 0);
  WriteLe32(data.data() + 81928, 0);
  const fs::path p = Tmp("old2.mwd");
  WriteAll(p, data);
  int bars = 0, bpb = 0, key = 0, metre = 0;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
  EXPECT_EQ(loaded->cells[0].slot[0], 72);
  EXPECT_EQ(metre, 1) << "a metre kind of 0 in the file gives 1";
  EXPECT_STREQ(loaded->chords[0].first, "Cadd9");
  EXPECT_STREQ(loaded->chords[1].first, "Cmadd9");
  EXPECT_STREQ(loaded->chords[2].first, "C#add9");
}

TEST(SongFileLayouts, ShapeFallsBackWhenTheBarCountIsZero) {
  auto song = NewSong(4);
  auto image = CurrentImage(*song);
  image.resize(90444);
  WriteLe32(image.data() + 90432, 0);
  WriteLe32(image.data() + 90112, 5);
  WriteLe32(image.data() + 90116, 3);
  WriteLe32(image.data() + 90120, 16);
  const fs::path p = Tmp("s.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 0, key = 0;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(bars, 5);
  EXPECT_EQ(bpb, 3);
  EXPECT_EQ(key, 16);
  EXPECT_EQ(loaded->beats_per_bar, 3);
  EXPECT_STREQ(loaded->key_tonic, "Em");
}

TEST(SongFileLayouts, EveryLengthReadsTheBlocksItHolds) {
  auto song = RichSong();
  song->style.reserved_372 = 99;
  const auto full = CurrentImage(*song);
  struct Case {
    size_t length;
    bool lyrics, bass, style;
  } cases[] = {{90444, false, false, false}, {91000, false, false, false},
               {92492, true, false, false},  {94000, true, false, false},
               {94540, true, true, false},   {99208, true, true, false},
               {121879, true, true, false},  {121880, true, true, true},
               {130000, true, true, true}};
  for (const Case& c : cases) {
    std::vector<uint8_t> data(full.begin(), full.begin() + std::min(c.length, full.size()));
    data.resize(c.length, 0xEE);
    const fs::path p = Tmp("len.mwd");
    WriteAll(p, data);
    int bars = 0, bpb = 0, key = 0;
    auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
    SCOPED_TRACE(c.length);
    EXPECT_EQ(loaded->bar_count, 8);
    EXPECT_EQ(loaded->cells[0].slot[0], 60);
    EXPECT_EQ(std::string(loaded->lyrics_area + 1792) == "keyword", c.lyrics);
    EXPECT_EQ(loaded->bass_second[1] == 5, c.bass);
    EXPECT_EQ(loaded->style.reserved_372 == 99, c.style);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  }
}

TEST(SongFileLayouts, TheStyleRecordComesFromItsOwnPlaceNotTheCopy) {
  auto song = RichSong();
  auto image = CurrentImage(*song);
  image[96076 + 372] = 0x01;  // damage the copy only
  const fs::path p = Tmp("copy.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 0, key = 0;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(loaded->style.reserved_372, 0x12345678);
}

TEST(SongFileLayouts, MetreKindForTheCaller) {
  auto song = NewSong(2, 3, 0, 2);
  const fs::path p = Tmp("m.mwd");
  ASSERT_TRUE(song->Save(&p));
  auto data = ReadAll(p);
  WriteLe16(data.data() + 90438, 1);
  WriteAll(p, data);
  int bars = 0, bpb = 0, key = 0, metre = 2;
  auto a = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
  EXPECT_EQ(metre, 2);
  EXPECT_EQ(a->metre_kind, 2);
  metre = 1;
  auto b = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
  EXPECT_EQ(metre, 1);
  EXPECT_EQ(b->metre_kind, 1);
  WriteLe16(data.data() + 90438, 0);
  WriteAll(p, data);
  auto c = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(c->metre_kind, 0) << "with no place for it, the file's value";
}

TEST(SongFileLayouts, RepairsOfFreedMemoryPatterns) {
  auto song = NewSong(2);
  song->SetExtraText(3, "\xCC\xCC\xCC\xCC");
  song->SetExtraText(4, "ﾌﾞﾙｰｽ");  // a text that merely begins with 0xCC stays
  auto image = CurrentImage(*song);
  song->PackExtraTexts();
  image = CurrentImage(*song);
  WriteLe32(image.data() + 90112 + 192, static_cast<int32_t>(0xFEEEFEEE));
  WriteLe32(image.data() + 90112 + 196, static_cast<int32_t>(0xFEEEFEEE));
  image[90112 + 64] = 0xDD;
  image[90112 + 65] = 'x';
  WriteLe32(image.data() + 90112 + 200, 250);
  WriteLe32(image.data() + 90112 + 204, 300);
  const fs::path p = Tmp("r.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 0, key = 0;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(loaded->info.GetInt(SongInfoBlock::kStyleCategory), 0);
  EXPECT_EQ(loaded->info.GetInt(SongInfoBlock::kStyleSlot), 1);
  EXPECT_EQ(loaded->info.GetText(SongInfoBlock::kLyricist, SongInfoBlock::kLyricistSize), "");
  EXPECT_EQ(loaded->info.GetInt(SongInfoBlock::kTempo), 80);
  EXPECT_EQ(loaded->info.GetInt(SongInfoBlock::kMelodyProgram), 0);
  EXPECT_EQ(loaded->ExtraText(3), "");
  EXPECT_EQ(loaded->ExtraText(4), "ﾌﾞﾙｰｽ");
}

TEST(SongFileLayouts, BassRepairRunsOnlyBefore2013) {
  auto song = NewSong(1);
  song->bass_first[0] = 4;
  song->bass_second[0] = 0;  // no second half of its own, yet different bytes
  const fs::path p = Tmp("bass.mwd");
  ASSERT_TRUE(song->Save(&p));
  int bars = 0, bpb = 0, key = 0;
  cantrel_test::Clock().SetDate(2026, 5, 1);
  EXPECT_EQ(CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr)->bass_second[0], 0);
  cantrel_test::Clock().SetDate(2012, 12, 31);
  EXPECT_EQ(CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr)->bass_second[0], 4);
}

// ---------------------------------------------------------------------------
// Malformed files

TEST(SongFileErrors, ShortFilesGiveTheOldDataErrorAndAUsableSong) {
  for (size_t length : {size_t{0}, size_t{1}, size_t{12}, size_t{32779}, size_t{50000},
                        size_t{81931}, size_t{90443}}) {
    cantrel_test::Sink().Clear();
    const fs::path p = Tmp("short.mwd");
    WriteAll(p, std::vector<uint8_t>(length, 0x41));
    int bars = 6, bpb = 4, key = 0, metre = 1;
    auto song = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
    SCOPED_TRACE(length);
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_EQ(cantrel_test::Sink().Texts()[0],
              "SGDT00000004 このデータは古いデータなのでこの機能では使用できません。");
    EXPECT_EQ(song->bar_count, 4);
    EXPECT_EQ(bars, 4);
    EXPECT_EQ(song->beats_per_bar, 4);
    EXPECT_STREQ(song->chords[0].first, "C ");
    EXPECT_STREQ(song->chords[16].first, "----");
  }
}

TEST(SongFileErrors, BadBeatsPerBarGivesTwoBoxesAndAFourBarSong) {
  auto song = NewSong(4);
  auto image = CurrentImage(*song);
  WriteLe16(image.data() + 90436, 9);
  const fs::path p = Tmp("bpb.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 0, key = 5, metre = 1;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
  EXPECT_EQ(cantrel_test::Sink().Texts(), (std::vector<std::string>{"[9]", "time sign 0"}));
  EXPECT_EQ(bars, 4);
  EXPECT_EQ(bpb, 4);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(metre, 0);
  EXPECT_EQ(loaded->bar_count, 4);
  EXPECT_EQ(loaded->metre_kind, 0);
}

TEST(SongFileErrors, BadKeyOrTooManyBarsAreRefused) {
  const struct {
    int bars, bpb, key;
  } cases[] = {{4, 4, 30}, {4, 4, -1}, {257, 4, 0}, {342, 3, 0}, {1025, 1, 0}};
  for (const auto& c : cases) {
    cantrel_test::Sink().Clear();
    auto song = NewSong(4);
    auto image = CurrentImage(*song);
    WriteLe32(image.data() + 90432, c.bars);
    WriteLe16(image.data() + 90436, c.bpb);
    WriteLe32(image.data() + 90440, c.key);
    const fs::path p = Tmp("shape.mwd");
    WriteAll(p, image);
    int bars = 0, bpb = 0, key = 0;
    auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
    SCOPED_TRACE(c.bars * 100 + c.key);
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_EQ(cantrel_test::Sink().Texts()[0], "SGDT00000000 楽曲情報でエラーがおきました。");
    EXPECT_EQ(loaded->bar_count, 4);
    EXPECT_EQ(loaded->key_index, 0);
  }
}

TEST(SongFileErrors, OutOfRangeSlotValuesAreNotTakenForPitches) {
  auto song = NewSong(1);
  auto image = CurrentImage(*song);
  WriteLe32(image.data() + 16384, 5000);
  WriteLe32(image.data() + 16384 + 4, static_cast<int32_t>(0xCDCDCDCD));
  WriteLe32(image.data() + 16384 + 8, -77);
  std::memset(image.data() + 16384 + 36 + 12, 'z', 24);  // lyrics without NUL
  std::memset(image.data(), 'Q', 16);                     // chord names without NUL
  const fs::path p = Tmp("vals.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 0, key = 0;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, nullptr);
  EXPECT_EQ(loaded->cells[0].slot[0], NoteSlotRest);
  EXPECT_EQ(loaded->cells[0].slot[1], NoteSlotRest);
  EXPECT_EQ(loaded->cells[0].slot[2], NoteSlotVacant);
  EXPECT_EQ(loaded->lowest_pitch, -1);
  EXPECT_EQ(std::strlen(loaded->chords[0].first), 7u);
  int table[128];
  loaded->MarkUsedPitches(table);
  loaded->BuildLyricText();
  char buf[32];
  loaded->GetCellLyric(0, 0, 1, buf, -1);
  EXPECT_LE(std::strlen(buf), 21u);
}

// ---------------------------------------------------------------------------
// Images and undo

TEST(SongImage, AcceptedLengthsAndChecks) {
  auto song = RichSong();
  const auto full = CurrentImage(*song);
  for (size_t length : {size_t{92492}, size_t{94540}, size_t{100000}, size_t{121880}}) {
    auto s = CSongData::LoadFromImage(full.data(), length);
    SCOPED_TRACE(length);
    EXPECT_EQ(s->bar_count, 8);
    EXPECT_EQ(s->key_index, 3);
    EXPECT_STREQ(s->key_tonic, "A ");
    EXPECT_EQ(s->bass_second[1] == 5, length >= 94540);
    EXPECT_EQ(s->style.reserved_372 == 0x12345678, length >= 121880);
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  // The extra-information texts of a song file come along.
  const fs::path p = Tmp("web.mwd");
  ASSERT_TRUE(RichSong()->Save(&p));
  const auto file = ReadAll(p);
  EXPECT_EQ(CSongData::LoadFromImage(file.data(), file.size())->ExtraText(8), "原題のテキスト");
  for (size_t length : {size_t{0}, size_t{90444}, size_t{92491}, size_t{93000}}) {
    cantrel_test::Sink().Clear();
    auto s = CSongData::LoadFromImage(full.data(), length);
    EXPECT_EQ(cantrel_test::Sink().Texts(),
              std::vector<std::string>{
                  "SGDT00000004 このデータは古いデータなのでこの機能では使用できません。"});
    EXPECT_EQ(s->bar_count, 0);
  }
  auto bad = full;
  WriteLe16(bad.data() + 90436, 0);
  cantrel_test::Sink().Clear();
  auto s = CSongData::LoadFromImage(bad.data(), bad.size());
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(s->bar_count, 0);
  EXPECT_EQ(s->beats_per_bar, 4);
}

TEST(SongUndo, RestoresTheSnapshotEveryTime) {
  auto song = NewSong(2, 3, 16, 2);  // six-eight
  song->SetNote(0, 0, 64, 1, false);
  song->TakeUndoSnapshot();
  song->SetNote(0, 0, 70, 1, false);
  song->SetBarCount(5);
  song->metre_kind = 1;
  song->Undo();
  EXPECT_EQ(song->cells[0].slot[0], 64);
  EXPECT_EQ(song->bar_count, 2);
  EXPECT_EQ(song->metre_kind, 2);
  EXPECT_EQ(song->key_index, 16);
  EXPECT_EQ(song->highest_pitch, 64);
  song->ChangeKey(16, 0);
  song->Undo();
  EXPECT_EQ(song->cells[0].slot[0], 64);
  EXPECT_STREQ(song->key_tonic, "Em");
}

TEST(SongCopy, CopyFromBarsTakesTheRange) {
  auto song = NewSong(4);
  song->SetNote(1, 0, 60, 8, false);  // whole note in bar 1
  song->SetChord(2, 0, 7, 2, 1, 0, false);
  auto copy = CSongData::CopyFromBars(*song, 1, 3);
  EXPECT_EQ(copy->bar_count, 2);
  EXPECT_EQ(copy->cells[0].slot[0], 60);
  EXPECT_STREQ(copy->chords[4].first, "G7");
  EXPECT_STREQ(copy->chords[8].first, "----");
  auto from_hold = CSongData::CopyFromBars(*song, 0, 2);
  song->SetNote(0, 4, 62, 8, false);  // crosses into bar 1
  auto held = CSongData::CopyFromBars(*song, 1, 2);
  EXPECT_EQ(held->cells[0].slot[0], NoteSlotRest);
}

TEST(SongArchive, ReadsSingleFields) {
  song::SetProgramFolderPath(cantrel_test::TempDir());
  auto song = RichSong();
  song->info.SetU16(SongInfoBlock::kPopularity, 400);
  song->info.bytes[SongInfoBlock::kListItem] = 7;
  song->info.SetU16(SongInfoBlock::kFlags1, 0x1234);
  song->info.SetText(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize, "alt");
  fs::create_directories(cantrel_test::TempDir() / "mine");
  const fs::path p = cantrel_test::TempDir() / "mine" / "s.mwd";
  ASSERT_TRUE(song->Save(&p));
  char lyrics[2048];
  ASSERT_TRUE(song_archive::ReadArchivedLyrics("s.mwd", "mine", nullptr, lyrics));
  EXPECT_STREQ(lyrics + 1536, "alias");
  std::string title, composer, alt_title;
  int popularity = 0, item = 0;
  uint16_t flags = 0;
  char alias[256], keyword[256];
  ASSERT_TRUE(song_archive::ReadArchivedSongInfo(&title, &composer, "s.mwd", "mine", nullptr,
                                                 &alt_title, nullptr, &popularity, alias,
                                                 keyword, &item, &flags));
  EXPECT_EQ(title, "夕焼けの歌");
  EXPECT_EQ(composer, "作曲者");
  EXPECT_EQ(alt_title, "alt");
  EXPECT_EQ(popularity, 400);
  EXPECT_EQ(item, 7);
  EXPECT_EQ(flags, 0x1234);
  EXPECT_STREQ(keyword, "keyword");
  std::string untouched = "keep";
  EXPECT_FALSE(song_archive::ReadArchivedSongInfo(&untouched, nullptr, "none.mwd", "mine", nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr));
  EXPECT_EQ(untouched, "keep");
  song::ResetProgramGlobals();
}

TEST(SongGlobals, PageLayouts) {
  song::ResetProgramGlobals();
  EXPECT_TRUE(song::SetPageLayout(1));
  EXPECT_EQ(song::Globals().bars_per_page, 48);
  EXPECT_FALSE(song::SetPageLayout(5));
  EXPECT_EQ(song::Globals().bars_per_line, 8);
  song::ResetProgramGlobals();
  EXPECT_EQ(song::Globals().bars_per_page, 9);
}

TEST(SongFile, RandomSongsSaveLoadSaveIdentically) {
  GneSeedRandomWith(4242);
  const fs::path a = Tmp("ra.mwd"), b = Tmp("rb.mwd");
  const char* lyrics[] = {"ら", "  ", "あい", "ﾌﾞ", "x", "　"};
  for (int round = 0; round < 40; ++round) {
    const int bpb = GneRandomRange(1, 8);
    const int bars = GneRandomRange(0, 1024 / bpb);
    auto song = NewSong(bars, bpb, GneRandomRange(0, 29), GneRandomRange(0, 2));
    for (int i = 0; i < GneRandomRange(0, 200) && bars > 0; ++i) {
      const int bar = GneRandomRange(0, bars - 1), eighth = GneRandomRange(0, 2 * bpb - 1);
      switch (GneRandomRange(0, 5)) {
        case 0:
          song->SetNote(bar, eighth, GneRandomRange(-4, 127), GneRandomRange(0, 10),
                        GneRandomRange(0, 1) == 1);
          break;
        case 1:
          song->SetLyric(bar, eighth, lyrics[GneRandomRange(0, 5)], GneRandomRange(0, 1) == 1);
          break;
        case 2:
          song->SetChord(bar, eighth / 2, GneRandomRange(0, 11), GneRandomRange(0, 21),
                         GneRandomRange(1, 4), GneRandomRange(0, 11), GneRandomRange(0, 1) == 1);
          break;
        case 3:
          song->MakeTriplets(bar, bar);
          break;
        case 4:
          song->SetExtraText(GneRandomRange(0, 11), std::string(GneRandomRange(0, 40), 'e') + " ");
          break;
        default:
          std::strcpy(song->lyrics_area, "  a  　b \r\n c  ");
          break;
      }
    }
    cantrel_test::Sink().Clear();
    ASSERT_TRUE(song->Save(&a));
    int r_bars = 0, r_bpb = 0, r_key = 0;
    auto loaded = CSongData::LoadFromFile(a, &r_bars, &r_bpb, &r_key, nullptr);
    ASSERT_TRUE(loaded->Save(&b));
    ASSERT_EQ(ReadAll(a), ReadAll(b)) << "round " << round;
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  }
}

namespace {

// Writes raw slot values over cells of a saved image and loads it.
std::unique_ptr<CSongData> LoadWithCells(const std::vector<std::array<int32_t, 3>>& slots,
                                         int first_cell) {
  auto song = NewSong(2, 4, 0, 1);
  std::vector<uint8_t> image = song->SerializeToVector();
  for (size_t i = 0; i < slots.size(); ++i) {
    for (int s = 0; s < 3; ++s) {
      WriteLe32(image.data() + 16384 + 36 * (first_cell + i) + 4 * s, static_cast<uint32_t>(slots[i][s]));
    }
  }
  const fs::path p = Tmp("cells.mwd");
  WriteAll(p, image);
  int bars = 0, bpb = 4, key = 0, metre = 1;
  return CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
}

std::vector<uint8_t> SavedBytes(CSongData& song, const std::string& name) {
  const fs::path p = Tmp(name);
  EXPECT_TRUE(song.Save(&p));
  return ReadAll(p);
}

}  // namespace

TEST(SongFile, RestsAndHoldsSettleInOneSave) {
  // (rest, rest, hold) merges to (rest, hold, hold), which a second pass makes
  // (rest, hold, vacant): the first save already writes the settled cell.
  const struct {
    std::vector<std::array<int32_t, 3>> slots;
    int first_cell;
  } kCases[] = {
      {{{-1, -1, -2}}, 0},
      {{{-1, -1, -2}}, 3},
      {{{60, -2, -3}, {-1, -1, -2}, {-1, -1, -1}}, 1},
      {{{-1, -2, -2}, {-2, -1, -2}, {-1, -1, -2}}, 2},
      {{{62, -2, -2}, {-2, -1, -2}, {-2, -1, -2}}, 5},
  };
  for (const auto& c : kCases) {
    auto song = LoadWithCells(c.slots, c.first_cell);
    const std::vector<uint8_t> first = SavedBytes(*song, "first.mwd");
    int bars = 0, bpb = 4, key = 0, metre = 1;
    auto again = CSongData::LoadFromFile(Tmp("first.mwd"), &bars, &bpb, &key, &metre);
    EXPECT_EQ(SavedBytes(*again, "second.mwd"), first) << "cell " << c.first_cell;
  }
  auto song = LoadWithCells({{-1, -1, -2}}, 0);
  song->NormalizeCells();
  EXPECT_EQ(song->cells[0].slot[0], NoteSlotRest);
  EXPECT_EQ(song->cells[0].slot[1], NoteSlotHold);
  EXPECT_EQ(song->cells[0].slot[2], NoteSlotVacant);
  std::vector<NoteCell> settled(song->cells, song->cells + kSongMaxCells);
  song->NormalizeCells();
  for (int c = 0; c < 16; ++c) {
    for (int s = 0; s < 3; ++s) EXPECT_EQ(song->cells[c].slot[s], settled[c].slot[s]) << c;
  }
}

TEST(SongFile, RandomCellValuesSettleInOneSave) {
  const int32_t kValues[] = {-1, -1, -2, -2, -3, -4, 60, 64};
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<std::array<int32_t, 3>> slots(16);
    for (auto& cell : slots) {
      for (int32_t& v : cell) v = kValues[GneRandomRange(0, 7)];
    }
    auto song = LoadWithCells(slots, 0);
    const std::vector<uint8_t> first = SavedBytes(*song, "first.mwd");
    int bars = 0, bpb = 4, key = 0, metre = 1;
    auto again = CSongData::LoadFromFile(Tmp("first.mwd"), &bars, &bpb, &key, &metre);
    ASSERT_EQ(SavedBytes(*again, "second.mwd"), first) << "seed " << seed;
  }
}

TEST(SongFile, DamagedStyleValuesAreMendedAndReportedOnce) {
  auto song = RichSong();
  std::vector<uint8_t> image = song->SerializeToVector();
  // Style record at 99148: key offset, the melody part's range and an instrument out of range.
  WriteLe32(image.data() + 99148 + 712, 0x7FFFFFF0u);
  WriteLe32(image.data() + 99148 + 21724 + 60 + 28, 0x7FFFFFFFu);
  WriteLe32(image.data() + 99148 + 21724 + 60 + 32, 0x80000000u);
  WriteLe32(image.data() + 99148 + 4 * 3, 5000);
  const fs::path p = Tmp("damaged.mwd");
  WriteAll(p, image);
  cantrel_test::Sink().Clear();
  int bars = 0, bpb = 4, key = 0, metre = 1;
  auto loaded = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(loaded->style.key_offset, 11);
  EXPECT_EQ(loaded->style.parts[1].range_high, 127);
  EXPECT_EQ(loaded->style.parts[1].range_low, 0);
  EXPECT_EQ(loaded->style.instrument[3], kInstrumentOff);
  // Mended once, the song saves and loads without another report.
  const std::vector<uint8_t> first = SavedBytes(*loaded, "mended.mwd");
  cantrel_test::Sink().Clear();
  auto again = CSongData::LoadFromFile(Tmp("mended.mwd"), &bars, &bpb, &key, &metre);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(SavedBytes(*again, "again.mwd"), first);
}

// The image is made whole: a buffer that held anything before gives the same bytes.
TEST(SongFile, SerializingWritesEveryByteOfTheImage) {
  auto song = RichSong();
  for (uint8_t fill : {0x00, 0xA5, 0xFF}) {
    std::vector<uint8_t> image(kSongImageSize, fill);
    song->Serialize(image.data(), song->beats_per_bar, song->key_index, song->metre_kind);
    EXPECT_EQ(image, song->SerializeToVector()) << int{fill};
  }
}

// Damaged and shortened song files and images of many seeds, read by both readers, pinned by
// a digest of the songs they give: the readers may be rearranged, what they read stays.
TEST(SongFileLayouts, ReadingDamagedBytesIsPinned) {
  cantrel_test::QuietBoxes quiet;
  const std::vector<uint8_t> full = RichSong()->SerializeToVector();
  static const size_t kLengths[] = {kOldLayoutSize,     kOldCellsLayoutSize, kNoLyricsLayoutSize,
                                    kNoBassLayoutSize,  kNoStyleLayoutSize,  kSongImageSize - 1,
                                    kSongImageSize,     kSongImageSize + 5,  1000};
  cantrel_test::Digest digest;
  auto song = std::make_unique<CSongData>();
  std::vector<uint8_t> data;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    data = full;
    data.resize(kLengths[GneRandomRange(0, 8)], 0x41);
    for (int k = GneRandomRange(0, 200); k > 0; --k) {
      data[static_cast<size_t>(GneRandomRange(0, 32767)) * 4 % data.size()] =
          static_cast<uint8_t>(GneRandomRange(0, 255));
    }
    if (GneRandomRange(0, 1)) WriteLe32(data.data() + 90432 % data.size(), GneRandomRange(0, 40));
    int bars = 4, bpb = 4, key = 0, metre = GneRandomRange(0, 2);
    digest.Int(song->ReadFileBytes(data.data(), data.size(), &bars, &bpb, &key, &metre));
    for (int v : {bars, bpb, key, metre, song->lowest_pitch, song->highest_pitch}) digest.Int(v);
    for (int i = 0; i < kExtraTextCount; ++i) {
      const std::string text = song->ExtraText(i);
      digest.Bytes(text.data(), text.size());
    }
    std::vector<uint8_t> image = song->SerializeToVector();
    digest.Bytes(image.data(), image.size());
    digest.Int(song->ReadImage(data.data(), data.size()));
    image = song->SerializeToVector();
    digest.Bytes(image.data(), image.size());
  }
  EXPECT_EQ(digest.value, 0x4e9aea933a7575e2ull);
}
