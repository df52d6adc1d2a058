#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "song/song_data.h"
#include "tests/support/test_support.h"

namespace {

constexpr int R = NoteSlotRest, H = NoteSlotHold, V = NoteSlotVacant;

// A song whose bar i starts with pitch 40 + i and chord root i.
std::unique_ptr<CSongData> Numbered(int bars, int bpb = 4) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, bpb, 0, 1);
  for (int bar = 0; bar < bars; ++bar) {
    song->SetNote(bar, 0, 40 + bar % 80, 1, false);
    song->SetChord(bar, 0, bar % 12, 1, 1, 0, false);
  }
  return song;
}

int BarMark(const CSongData& song, int bar) { return song.cells[bar * 2 * song.beats_per_bar].slot[0]; }

std::vector<int> Marks(const CSongData& song) {
  std::vector<int> marks;
  for (int bar = 0; bar < song.bar_count; ++bar) marks.push_back(BarMark(song, bar) - 40);
  return marks;
}

}  // namespace

TEST(SongEdits, InsertBarCopiesBeforeTheRange) {
  auto song = Numbered(6);
  ASSERT_TRUE(song->InsertBarCopies(2, 3, 0));
  EXPECT_EQ(song->bar_count, 8);
  EXPECT_EQ(Marks(*song), (std::vector<int>{2, 3, 0, 1, 2, 3, 4, 5}));
  EXPECT_STREQ(song->chords[0].first, "Dm");
}

TEST(SongEdits, InsertBarCopiesWithTheTargetInsideTheRange) {
  auto song = Numbered(6);
  ASSERT_TRUE(song->InsertBarCopies(1, 3, 2));
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 1, 2, 3, 2, 3, 4, 5}));
  auto after = Numbered(6);
  ASSERT_TRUE(after->InsertBarCopies(0, 1, 6));
  EXPECT_EQ(Marks(*after), (std::vector<int>{0, 1, 2, 3, 4, 5, 0, 1}));
}

TEST(SongEdits, GrowthPast1024BeatsIsRefused) {
  auto song = Numbered(255);
  EXPECT_FALSE(song->InsertBarCopies(0, 1, 0));
  EXPECT_FALSE(song->InsertBars(0, 1));
  EXPECT_FALSE(song->SetBarCount(257));
  EXPECT_EQ(song->bar_count, 255);
  EXPECT_EQ(BarMark(*song, 0), 40);
  EXPECT_TRUE(song->InsertBars(3, 3));
  EXPECT_EQ(song->bar_count, 256);
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(SongEdits, OverwriteBarsKeepsTheLength) {
  auto song = Numbered(8);
  ASSERT_TRUE(song->OverwriteBars(0, 1, 4));
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 2, 3, 0, 1, 6, 7}));
  ASSERT_TRUE(song->OverwriteBars(2, 4, 3));  // target inside the range
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 2, 2, 3, 0, 6, 7}));
  ASSERT_TRUE(song->OverwriteBars(0, 2, 7));  // past the end: the song grows
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 2, 2, 3, 0, 6, 0, 1, 2}));
  auto full = Numbered(256);
  EXPECT_TRUE(full->OverwriteBars(0, 1, 254));
  EXPECT_FALSE(full->OverwriteBars(0, 1, 255));
}

TEST(SongEdits, InsertAndDeleteBars) {
  auto song = Numbered(4);
  ASSERT_TRUE(song->InsertBars(1, 2));
  EXPECT_EQ(song->bar_count, 6);
  EXPECT_EQ(BarMark(*song, 1), R);
  EXPECT_EQ(BarMark(*song, 3), 41);
  EXPECT_STREQ(song->chords[4].first, "C ");
  song->DeleteBars(1, 2);
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 2, 3}));
  song->DeleteBars(3, 10);  // cut to the last bar
  EXPECT_EQ(song->bar_count, 3);
  song->DeleteBars(5, 6);  // beyond the song: nothing
  EXPECT_EQ(song->bar_count, 3);
  song->DeleteBars(2, 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  auto one = Numbered(1);
  one->DeleteBars(0, 0);
  EXPECT_EQ(one->bar_count, 0);
  for (int b = 0; b < 1024; ++b) ASSERT_STREQ(one->chords[b].first, "----");
}

TEST(SongEdits, ExtendingContinuesTheProgression) {
  auto song = std::make_unique<CSongData>();
  song->Reset(1, 4, 0, 1);
  const int roots[] = {0, 5, 7, 0};
  for (int b = 0; b < 4; ++b) song->SetChord(0, b, roots[b], 0, 1, 0, false);
  ASSERT_TRUE(song->SetBarCount(2));
  for (int b = 4; b < 8; ++b) EXPECT_STREQ(song->chords[b].first, "F ");
  EXPECT_EQ(song->cells[8].slot[0], R);
  std::strcpy(song->chords[7].second, "G ");
  ASSERT_TRUE(song->SetBarCount(3));
  EXPECT_STREQ(song->chords[8].first, "G ");
  ASSERT_TRUE(song->SetBarCount(1));
  EXPECT_STREQ(song->chords[4].first, "----");
}

TEST(SongEdits, RemoveSkipBeats) {
  auto song = Numbered(2);
  song->SetChord(1, 3, 7, 0, 1, 0, false);  // the last chord: G
  song->SetChord(0, 1, -1, -1, 1, 0, false);
  song->SetChord(0, 2, -1, -1, 1, 0, false);
  song->SetChord(1, 1, -1, -1, 1, 0, false);
  song->RemoveSkipBeats();
  EXPECT_EQ(song->bar_count, 2);
  for (int b = 5; b < 8; ++b) {
    EXPECT_STREQ(song->chords[b].first, "G ");
    EXPECT_EQ(song->cells[2 * b].slot[0], R);
  }
  EXPECT_STREQ(song->chords[0].first, "Cm");
  EXPECT_STREQ(song->chords[2].first, "C#m");
}

TEST(SongEdits, ClearBarCarriesAHeldNoteOn) {
  auto song = std::make_unique<CSongData>();
  song->Reset(2, 4, 0, 1);
  song->SetNote(0, 6, 65, 4, false);  // a half note that crosses into bar 1
  song->ClearBar(0, true);
  EXPECT_EQ(song->cells[8].slot[0], 65);
  EXPECT_EQ(song->cells[0].slot[0], R);
  song->ClearNotes(1, 5);
  EXPECT_EQ(song->cells[8].slot[0], R);
  EXPECT_EQ(song->lowest_pitch, -1);
}

TEST(SongEdits, CopyBarAndTheLongHoldRule) {
  auto song = Numbered(4);
  song->SetChord(1, 2, 7, 2, 1, 4, true);
  song->CopyBar(3, 1);
  EXPECT_EQ(BarMark(*song, 3), 41);
  EXPECT_STREQ(song->chords[14].second, "G7");
  EXPECT_EQ(song->bass_second[14], 4);
  auto held = std::make_unique<CSongData>();
  held->Reset(4, 4, 0, 1);
  held->SetNote(0, 0, 60, 10, false);  // a whole note
  for (int c = 8; c < 16; ++c) held->cells[c] = NoteCell{{H, H, V}, {}};
  held->CopyBar(2, 1);  // bar 1 was all holds: its copy would hold for more than a bar
  EXPECT_EQ(held->cells[16].slot[0], R) << "the note began at cell 0: more than a bar";
  EXPECT_EQ(held->cells[24].slot[0], R);
}

TEST(SongEdits, DeleteBeatAndEighth) {
  auto song = Numbered(2);
  song->SetChord(0, 1, 2, 0, 1, 0, false);
  song->DeleteBeat(0, 0);
  EXPECT_STREQ(song->chords[0].first, "D ");
  EXPECT_EQ(song->cells[0].slot[0], R);
  EXPECT_EQ(song->cells[15].slot[0], R);
  EXPECT_EQ(song->cells[15].slot[2], H);
  EXPECT_EQ(song->bar_count, 2);

  auto eighth = std::make_unique<CSongData>();
  eighth->Reset(1, 4, 0, 1);
  for (int b = 0; b < 4; ++b) eighth->SetChord(0, b, b * 2, 0, 1, 0, false);  // C D E F#
  eighth->DeleteEighth(0, 0);
  EXPECT_STREQ(eighth->chords[0].first, "C ");
  EXPECT_STREQ(eighth->chords[0].second, "D ");
  EXPECT_STREQ(eighth->chords[1].first, "D ");
  EXPECT_STREQ(eighth->chords[1].second, "E ");

  // Halves C C | D E | F F | G G without the second eighth: C D | E F | F G | G.
  auto second = std::make_unique<CSongData>();
  second->Reset(1, 4, 0, 1);
  const char* names[] = {"C ", "D ", "F ", "G "};
  for (int b = 0; b < 4; ++b) std::strcpy(second->chords[b].first, names[b]);
  std::strcpy(second->chords[1].second, "E ");
  second->DeleteEighth(0, 1);
  const char* expected[][2] = {{"C ", "D "}, {"E ", "F "}, {"F ", "G "}, {"G ", ""}};
  for (int b = 0; b < 4; ++b) {
    EXPECT_STREQ(second->chords[b].first, expected[b][0]) << b;
    EXPECT_STREQ(second->chords[b].second, expected[b][1]) << b;
  }
}

TEST(SongEdits, AppendFile) {
  const auto path = cantrel_test::TempDir() / "more.mwd";
  auto other = Numbered(3);
  ASSERT_TRUE(other->Save(&path));
  auto song = Numbered(2);
  song->AppendFile(path);
  EXPECT_EQ(Marks(*song), (std::vector<int>{0, 1, 0, 1, 2}));
  auto waltz = Numbered(2, 3);
  waltz->AppendFile(path);
  EXPECT_EQ(waltz->bar_count, 2);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"SGDT00000005 拍子の異なるデータは結合できません。"});
  waltz->AppendFile(cantrel_test::TempDir() / "missing.mwd");
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // A damaged file is reported by the reader and nothing is appended.
  const auto bad = cantrel_test::TempDir() / "bad.mwd";
  { std::ofstream(bad) << "not a song"; }
  song->AppendFile(bad);
  EXPECT_EQ(song->bar_count, 5);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(SongEdits, Transposition) {
  EXPECT_EQ(CSongData::TransposePitch(125, 5), 118);
  EXPECT_EQ(CSongData::TransposePitch(3, -5), 10);
  EXPECT_EQ(CSongData::TransposePitch(NoteSlotHold, 5), NoteSlotHold);
  const struct {
    const char* in;
    int s;
    const char* out;
  } cases[] = {{"E ", 1, "F "}, {"Bbm7", 2, "Cm7"}, {"C ", -1, "B "}, {"Skip", 3, "Skip"},
               {"", 3, ""},     {"G#7", 13, "A7"}};
  for (const auto& c : cases) {
    char name[8] = {0};
    std::strcpy(name, c.in);
    CSongData::TransposeChordName(name, c.s);
    EXPECT_STREQ(name, c.out) << c.in;
  }
  auto song = Numbered(2);
  song->TransposeSong(1);
  EXPECT_EQ(song->key_index, 7);  // C# (sharp rows come first)
  EXPECT_EQ(BarMark(*song, 0), 41);
  EXPECT_STREQ(song->chords[0].first, "C#m");
  song->ChangeKey(7, 15);  // C# major to A minor: relative tonics C# and C, up 11
  EXPECT_EQ(BarMark(*song, 0), 52);
  EXPECT_STREQ(song->key_tonic, "Am");
  auto bars = Numbered(3);
  std::memset(bars->chords[4].second, 0xCC, 7);
  bars->TransposeBars(1, 1, 2);
  EXPECT_EQ(BarMark(*bars, 1), 43);
  EXPECT_EQ(BarMark(*bars, 2), 42);
  EXPECT_STREQ(bars->chords[4].first, "D#m");
  EXPECT_STREQ(bars->chords[4].second, "");
}

TEST(SongEdits, MirrorAndInversion) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"C ", "Fm"}, {"Am", "G# "}, {"G7", "A#m6"}, {"Xyz", "Xyz"},
               {"Bbm", "Bbm"}};  // a flat root is not recognised: "bm" is no suffix
  for (const auto& c : cases) {
    char name[8] = {0};
    std::strcpy(name, c.in);
    CSongData::MirrorChord(name);
    EXPECT_STREQ(name, c.out) << c.in;
  }
  auto song = std::make_unique<CSongData>();
  song->Reset(1, 4, 0, 1);
  song->SetNote(0, 0, 60, 3, false);
  song->SetNote(0, 2, 67, 3, false);
  song->InvertMelodyAndChords(0, 1);
  EXPECT_EQ(song->cells[0].slot[0], 60);
  EXPECT_EQ(song->cells[2].slot[0], 53);
  EXPECT_STREQ(song->chords[0].first, "Fm");
  // Far from the middle, the result folds into the pitch range.
  auto high = std::make_unique<CSongData>();
  high->Reset(1, 4, 0, 1);
  high->SetNote(0, 0, 127, 3, false);
  high->SetNote(0, 2, 1, 3, false);
  high->InvertMelodyAndChords(0, 1);
  for (int s : {high->cells[0].slot[0], high->cells[2].slot[0]}) {
    EXPECT_GE(s, 0);
    EXPECT_LE(s, 127);
  }
}

TEST(SongEdits, ExtremeBarNumbersAreRefusedOrIgnored) {
  const int big = 0x7FFFFFFF, small = -0x7FFFFFFF - 1;
  auto song = Numbered(4);
  EXPECT_FALSE(song->InsertBars(0, big));
  EXPECT_FALSE(song->InsertBars(small, 2));
  EXPECT_FALSE(song->InsertBarCopies(0, big, 0));
  EXPECT_FALSE(song->InsertBarCopies(small, big, 1));
  EXPECT_FALSE(song->OverwriteBars(small, 1, big));
  song->DeleteBars(1, small);
  song->DeleteBars(big, big);
  song->ClearNotes(0, small);
  song->ClearLyrics(small, big);
  song->TransposeBars(0, big, 1);
  song->SixteenthsToTriplet(big, big);
  song->MakeTriplets(small, big);
  song->HalveNoteValues(small, big);
  EXPECT_FALSE(song->DoubleNoteValues(big, small));
  song->FillLyricDashes(small, big);
  song->MergeRests(big, big);
  song->InvertMelodyAndChords(small, big);
  int lo, hi, first, last;
  song->GetPitchRange(&lo, &hi, big, big);
  song->GetFirstAndLastPitch(&first, &last, big, small);
  EXPECT_EQ(song->CountNotes(big, big), 0);
  song->SetNote(big, big, 60, 1, false);
  song->SetLyric(small, big, "x", false);
  song->SetChord(big, big, 0, 0, big, 0, false);
  song->SetGlissando(big, 0, true);
  song->ClearBar(big, true);
  song->CopyBar(big, small);
  song->DeleteBeat(big, small);
  song->DeleteEighth(small, big);
  EXPECT_EQ(song->GetCellText(big, big, big), "");
  NoteCell cell{};
  EXPECT_EQ(song->SetCell(big, big, cell), 0);
  EXPECT_FALSE(song->GetCell(small, 0, &cell));
  double length = 0;
  for (int bar : {big, small, -1}) {
    song->GetSlotValue(bar, big, true);
    song->GetNoteAt(bar, small, &length, false);
    song->GetSlotLength(bar, big, true);
    song->GetNoteLength(bar, big);
    song->GetSoundingValue(bar, big, false);
    song->IsTripletBeat(bar, big - 1);
    song->IsQuarterTriplet(bar, 0);
    song->IsHalfTriplet(bar, 0);
    song->IsCellSplit(bar, 0);
    song->HasThirdPart(bar, 0);
    int root, type, key, bass;
    song->GetChord(bar, big, &root, &type, &key, &bass, 1);
    song->GetPreviousChord(bar, small, &root, &type, &key, &bass);
    EXPECT_EQ(song->CountSameChordBeats(bar, big), 0);
    char buf[32];
    song->GetCellLyric(bar, big, 1, buf, -1);
    song->GetSlotLyric(bar, big, buf, true);
    song->SetTrill(bar, big);
    song->SetNoteFromRows(bar, 0, 2, 0, 1, true);
  }
  int slot = 0;
  EXPECT_EQ(song->FindNextNote(big, 2, &slot), -1);
  song->FindPreviousNote(big, 2, &slot, 1);
  EXPECT_EQ(song->FindPreviousNote(small, 0, &slot, 1), -1);
  song->SetSlotValue(big, 0, 1);
  song->DescribeSlot(small, 0, true);
  EXPECT_EQ(song->CountHoldRun(big), 0);
  song->CopyBar(big, 0);
  song->TransposeSong(big);
  song->TransposeNotes(small, false);
  song->ChangeKey(0, 29);
  for (int shift : {big, small, 1000, -1000}) {
    const int p = CSongData::TransposePitch(100, shift);
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 127);
    EXPECT_EQ(((static_cast<long long>(p) - 100 - shift) % 12 + 12) % 12, 0);
  }
  const int before = song->cells[0].slot[0];
  song->SetNote(0, 0, 128, 1, false);
  song->SetNote(0, 0, NoteSlotHold, 1, false);
  EXPECT_EQ(song->cells[0].slot[0], before);
  EXPECT_EQ(song->bar_count, 4);
}
