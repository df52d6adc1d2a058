#include <gtest/gtest.h>

#include <cstring>

#include "song/song_data.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<CSongData> NewSong(int bars = 4, int bpb = 4, int key = 0) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, bpb, key, 1);
  return song;
}

void ExpectCell(const NoteCell& cell, int s0, int s1, int s2) {
  EXPECT_EQ(cell.slot[0], s0);
  EXPECT_EQ(cell.slot[1], s1);
  EXPECT_EQ(cell.slot[2], s2);
}

constexpr int R = NoteSlotRest, H = NoteSlotHold, V = NoteSlotVacant;

}  // namespace

TEST(SongEntry, AnEmptyBarIsOneRest) {
  auto song = NewSong(2, 3);
  ExpectCell(song->cells[0], R, H, V);
  for (int c = 1; c < 6; ++c) ExpectCell(song->cells[c], H, H, V);
  ExpectCell(song->cells[6], R, H, V);
  EXPECT_STREQ(song->chords[5].first, "C ");
  EXPECT_STREQ(song->chords[6].first, "----");
}

TEST(SongEntry, AQuarterNoteRestartsTheRestAfterIt) {
  auto song = NewSong();
  song->SetNote(0, 0, 60, 3, false);
  ExpectCell(song->cells[0], 60, H, V);
  ExpectCell(song->cells[1], H, H, V);
  ExpectCell(song->cells[2], R, H, V);
  ExpectCell(song->cells[3], H, H, V);
  EXPECT_EQ(song->lowest_pitch, 60);
  EXPECT_EQ(song->highest_pitch, 60);
  double length = 0;
  EXPECT_EQ(song->GetNoteAt(0, 0, &length, false), 60);
  EXPECT_DOUBLE_EQ(length, 2);
  EXPECT_DOUBLE_EQ(song->GetNoteLength(0, 0), 2);
  EXPECT_DOUBLE_EQ(song->GetSlotLength(0, 0, false), 2);
  EXPECT_EQ(song->GetSoundingValue(0, 1, true), 60);
}

TEST(SongEntry, NoteValuesFromEitherSixteenth) {
  auto song = NewSong();
  song->SetNote(0, 0, 62, 0, false);  // a sixteenth
  ExpectCell(song->cells[0], 62, R, V);
  song->SetNote(0, 2, 64, 2, true);  // dotted eighth from the second sixteenth
  ExpectCell(song->cells[2], H, 64, V);
  ExpectCell(song->cells[3], H, H, V);
  EXPECT_EQ(song->cells[4].slot[0], R);
  double length = 0;
  EXPECT_EQ(song->GetNoteAt(0, 2, &length, true), 64);
  EXPECT_DOUBLE_EQ(length, 1.5);
  song->SetNote(1, 0, 67, 2, false);  // dotted eighth from the first
  ExpectCell(song->cells[8], 67, H, V);
  ExpectCell(song->cells[9], H, R, V);
  EXPECT_EQ(song->highest_pitch, 67);
  EXPECT_EQ(song->lowest_pitch, 62);
  // Replacing the highest note renews the range.
  song->SetNote(1, 0, 50, 1, false);
  EXPECT_EQ(song->highest_pitch, 64);
  EXPECT_EQ(song->lowest_pitch, 50);
}

TEST(SongEntry, RefusedNotes) {
  auto song = NewSong(1);
  song->SetNote(0, 0, 60, 7, true);  // 2分音符と8分音符 cannot start on the second sixteenth
  song->SetNote(0, 6, 60, 10, false);  // a whole note does not fit
  song->SetNote(0, 0, 60, -1, false);
  song->SetNote(0, 0, 60, 11, false);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"SGDT00000002 この位置にその音価は設定できません。",
                                      "SGDT00000000 楽曲情報でエラーがおきました。",
                                      "SGDT00000000 楽曲情報でエラーがおきました。",
                                      "SGDT00000000 楽曲情報でエラーがおきました。"}));
  ExpectCell(song->cells[0], R, H, V);
  EXPECT_EQ(song->lowest_pitch, -1);
}

TEST(SongEntry, AWholeSongOfNotesStopsAtTheLastCell) {
  auto song = NewSong(256);
  for (int bar = 0; bar < 256; ++bar) song->SetNote(bar, 0, 60, 10, false);
  ExpectCell(song->cells[2047], H, H, V);
  EXPECT_EQ(song->cells[2040].slot[0], 60);
}

TEST(SongEntry, LyricsAreCutWithoutTouchingTheCallersText) {
  auto song = NewSong();
  song->SetLyric(0, 1, "next", false);
  const char text[] = "abcdefgh";
  char copy[sizeof text];
  std::memcpy(copy, text, sizeof text);
  song->SetLyric(0, 0, copy, false);
  EXPECT_STREQ(song->cells[0].lyric[0], "abcdefg");
  EXPECT_STREQ(song->cells[1].lyric[0], "next");
  EXPECT_STREQ(copy, "abcdefgh");
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{
                "SGDT00000003 歌詞は６文字までです。２つの音符に分割して入力してください"});
  song->SetLyric(0, 2, "あいうえ", true);  // 8 bytes: the cut keeps whole characters
  EXPECT_STREQ(song->cells[2].lyric[1], "あいう");
  song->SetLyric(300, 0, "far", false);  // beyond the cell arrays: ignored
  char buf[32];
  song->GetSlotLyric(0, 2, buf, true);
  EXPECT_STREQ(buf, "あいう");
}

TEST(SongEntry, CellLyricsJoinedAndPatternsDropped) {
  auto song = NewSong();
  std::strcpy(song->cells[0].lyric[0], "a");
  std::memset(song->cells[0].lyric[1], 0xCD, 8);
  std::strcpy(song->cells[0].lyric[2], "c");
  char buf[32];
  song->GetCellLyric(0, 0, 0, buf, -1);
  EXPECT_STREQ(buf, "ac");
  song->GetCellLyric(0, 0, 0, buf, 2);
  EXPECT_STREQ(buf, "c");
}

TEST(SongEntry, ChordsAcrossBeats) {
  auto song = NewSong();
  std::strcpy(song->chords[1].second, "F ");
  std::strcpy(song->chords[3].second, "F ");
  song->SetChord(0, 0, 0, 0, 4, 0, false);
  for (int b = 0; b < 4; ++b) EXPECT_STREQ(song->chords[b].first, "C ");
  EXPECT_STREQ(song->chords[1].second, "");
  EXPECT_STREQ(song->chords[3].second, "F ") << "the last beat keeps its second half";
  // With both bass bytes 4 a second half survives in every beat.
  auto other = NewSong();
  std::strcpy(other->chords[1].second, "F ");
  other->bass_first[1] = other->bass_second[1] = 4;
  other->SetChord(0, 0, 0, 0, 4, 0, false);
  EXPECT_STREQ(other->chords[1].second, "F ");
  // Second halves.
  song->SetChord(0, 2, 7, 2, 5, 4, true);
  EXPECT_STREQ(song->chords[2].second, "G7");
  EXPECT_EQ(song->bass_second[2], 4);
  song->SetChord(0, 2, 0, 0, 1, 0, true);
  EXPECT_STREQ(song->chords[2].second, "");
  song->SetChord(1, 0, -1, -1, 1, 0, false);
  EXPECT_STREQ(song->chords[4].first, "Skip");
  song->SetChord(1, 0, -2, 0, 1, 0, false);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(SongEntry, ReadingChords) {
  auto song = NewSong();
  const struct {
    const char* name;
    int root, type;
  } cases[] = {{"Bbm7", 10, 4}, {"Cb ", 11, 0}, {"Cb", 11, -1}, {"C#m", 1, 1},
               {"Db", 1, -1},   {"A ", 9, 0},   {"F#m7b5", 6, 13}, {"Xm", -1, -1}};
  for (const auto& c : cases) {
    std::memset(song->chords[0].first, 0, 8);
    std::strcpy(song->chords[0].first, c.name);
    int root, type, key, bass;
    song->GetChord(0, 0, &root, &type, &key, &bass, 0);
    EXPECT_EQ(root, c.root) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
  std::strcpy(song->chords[0].first, "Skip");
  int root, type, key, bass;
  song->GetChord(0, 0, &root, &type, &key, &bass, 0);
  EXPECT_EQ(root, -1);
  EXPECT_EQ(bass, -1);
  song->GetPreviousChord(0, 0, &root, &type, &key, &bass);
  EXPECT_EQ(root, -1);
  EXPECT_EQ(key, 0);
}

TEST(SongEntry, SameChordBeats) {
  auto song = NewSong();
  std::strcpy(song->chords[1].second, "C ");
  std::strcpy(song->chords[3].first, "G ");
  EXPECT_EQ(song->CountSameChordBeats(0, 0), 3);
  EXPECT_STREQ(song->chords[1].second, "");
  EXPECT_EQ(song->CountSameChordBeats(5, 0), 0);
}

TEST(SongEntry, CellTextsAndDescriptions) {
  auto song = NewSong();
  song->cells[0] = NoteCell{{H, 64, V}, {}};
  song->cells[1] = NoteCell{{60, H, V}, {}};
  song->cells[2] = NoteCell{{72, 74, V}, {}};
  song->cells[3] = NoteCell{{H, H, V}, {}};
  song->cells[4] = NoteCell{{R, H, V}, {}};
  song->cells[5] = NoteCell{{48, H, -9}, {}};
  EXPECT_EQ(song->GetCellText(0, 0, 0), "ﾐ");
  EXPECT_EQ(song->GetCellText(0, 0, 1), "ﾄﾞ");
  EXPECT_EQ(song->GetCellText(0, 1, 0), "△ﾄﾞ△ﾚ");
  EXPECT_EQ(song->GetCellText(0, 1, 1), "～");
  EXPECT_EQ(song->GetCellText(0, 2, 0), "休");
  EXPECT_EQ(song->GetCellText(0, 2, 1), "▽ﾄﾞ");
  EXPECT_EQ(song->cells[5].slot[2], V);
  EXPECT_EQ(song->GetCellText(300, 0, 0), "");
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"SGDT00000001 楽曲情報でエラーがおきました。"});
  song->cells[6] = NoteCell{{61, static_cast<int32_t>(0xCDCDCDCD), NoteSlotRap}, {}};
  EXPECT_EQ(song->DescribeSlot(6, 0, false), "ｵｸﾀｰﾌﾞ5 <ﾚb>");
  EXPECT_EQ(song->DescribeSlot(6, 0, true), "ｵｸﾀｰﾌﾞ5 ﾚb フラット");
  EXPECT_EQ(song->DescribeSlot(6, 1, false), "～");
  EXPECT_EQ(song->cells[6].slot[1], H);
  EXPECT_EQ(song->DescribeSlot(6, 2, true), "ﾗｯﾌﾟ音");
  EXPECT_EQ(song->DescribeSlot(3, 2, true), "3連音符を使用しない");
  EXPECT_EQ(song->DescribeSlot(4, 0, false), "休符");
}

TEST(SongEntry, PitchQueries) {
  auto song = NewSong();
  int lo, hi;
  song->GetPitchRange(&lo, &hi, -1, -1);
  EXPECT_EQ(lo, 128);
  EXPECT_EQ(hi, -1);
  song->SetNote(1, 0, 62, 1, false);
  song->SetNote(2, 0, 70, 1, false);
  song->SetNote(3, 0, 55, 1, false);
  song->GetPitchRange(&lo, &hi, 1, 3);
  EXPECT_EQ(lo, 62);
  EXPECT_EQ(hi, 70);
  int first, last;
  song->GetFirstAndLastPitch(&first, &last, -1, -1);
  EXPECT_EQ(first, 62);
  EXPECT_EQ(last, 55);
  EXPECT_EQ(song->CountNotes(1, 2), 2);
  int table[128];
  song->MarkUsedPitches(table);
  EXPECT_EQ(table[70], 1);
  EXPECT_EQ(table[71], 0);
  int slot = -1;
  EXPECT_EQ(song->FindNextNote(0, 0, &slot), 8);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(song->FindPreviousNote(16, 0, &slot, 0), 8);
  EXPECT_EQ(song->GetPreviousPitch(16, 0), 62);
  EXPECT_EQ(song->FindPreviousNote(8, 0, &slot, 1), 0) << "the bar's rest start";
  EXPECT_EQ(song->FindNextNote(24, 0, &slot), -1);
}

TEST(SongEntry, TripletPatterns) {
  auto song = NewSong();
  song->cells[0] = NoteCell{{60, H, 62}, {}};
  song->cells[1] = NoteCell{{64, H, 65}, {}};
  EXPECT_EQ(song->IsTripletBeat(0, 0), 1);
  EXPECT_EQ(song->IsTripletBeat(0, 1), 0);
  for (int c = 0; c < 4; ++c) song->cells[c] = NoteCell{{H, H, H}, {}};
  song->cells[0].slot[0] = 60;
  song->cells[1].slot[1] = 62;
  song->cells[2].slot[2] = 64;
  EXPECT_EQ(song->IsQuarterTriplet(0, 0), 1);
  EXPECT_EQ(song->IsQuarterTriplet(0, 2), 0);
  EXPECT_EQ(song->IsHalfTriplet(0, 0), 0);
}

TEST(SongEntry, LyricTextIsRebuiltWithLineBreaks) {
  auto song = NewSong(4);
  song->SetNote(0, 0, 60, 1, false);
  song->SetLyric(0, 0, "ら", false);
  song->SetNote(0, 1, 62, 1, false);
  song->SetLyric(0, 1, "ら", false);
  song->SetNote(2, 0, 64, 1, false);  // far after: more than 12 slots without a pitch
  song->SetLyric(2, 0, "ぎ", false);
  std::strcpy(song->lyrics_area + 1536, "alias");
  song->BuildLyricText();
  EXPECT_STREQ(song->lyrics_area, "らら\r\nぎ");
  EXPECT_STREQ(song->lyrics_area + 1536, "alias");
  song->FillLyricDashes(0, 4);
  EXPECT_STREQ(song->cells[16].lyric[0], "-");
  EXPECT_EQ(song->HasLyrics(), 0);
  char buf[8];
  song->CopyLyricText(buf, sizeof buf);
  EXPECT_STREQ(buf, "ららぎ");
}

TEST(SongEntry, LyricTextStaysWithinItsArea) {
  auto song = NewSong(256);
  for (int c = 0; c < 2048; ++c) {
    song->cells[c] = NoteCell{{60, 62, 64}, {}};
    for (int s = 0; s < 3; ++s) std::strcpy(song->cells[c].lyric[s], "abcdefg");
  }
  std::strcpy(song->lyrics_area + 1792, "keyword");
  song->BuildLyricText();
  EXPECT_LE(std::strlen(song->lyrics_area), 1535u);
  EXPECT_STREQ(song->lyrics_area + 1792, "keyword");
}

TEST(SongEntry, SmallQueries) {
  auto song = NewSong(2);
  EXPECT_EQ(song->SongChecksum(), 1);
  EXPECT_EQ(song->IsUntouched(), 1);
  song->SetNote(0, 0, 60, 1, false);
  EXPECT_EQ(song->IsUntouched(), 0);
  EXPECT_EQ(song->SongChecksum(), 61);
  EXPECT_EQ(song->GetPlayingSeconds(), 4);  // 8 beats at 120
  std::strcpy(song->lyrics_area, "ＡＢ１　アガ");
  song->NarrowLyricText();
  EXPECT_STREQ(song->lyrics_area, "AB1 ｱｶﾞ");
  EXPECT_EQ(song->CountHoldRun(1), 8);  // itself, six holds, the next bar's rest
  int octave_row = 9, pitch_row = 9;
  CSongData::SplitPitch(60, &octave_row, &pitch_row);
  EXPECT_EQ(octave_row, 2);
  EXPECT_EQ(pitch_row, 0);
  EXPECT_EQ(CSongData::PitchFromRows(3, 9), 81);
  std::string text;
  song->AppendSolfegeName(61, &text);
  EXPECT_EQ(text, "ど#");
}

TEST(SongEntry, DivisionMode) {
  auto song = NewSong();
  EXPECT_EQ(song->GetDivisionMode(), 0);
  song->SetDivisionMode(1);
  EXPECT_EQ(song->GetDivisionMode(), 1);
  song->SetDivisionMode(2);
  EXPECT_EQ(song->info.bytes[227] & 3, 2);
  song->info.bytes[227] |= 3;
  EXPECT_EQ(song->GetDivisionMode(), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}
