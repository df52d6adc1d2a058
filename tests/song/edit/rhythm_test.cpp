#include <gtest/gtest.h>

#include <cstring>

#include "song/song_data.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

constexpr int R = NoteSlotRest, H = NoteSlotHold, V = NoteSlotVacant;

std::unique_ptr<CSongData> NewSong(int bars, int bpb = 4) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, bpb, 0, 1);
  return song;
}

void ExpectCell(const NoteCell& cell, int s0, int s1, int s2) {
  EXPECT_EQ(cell.slot[0], s0);
  EXPECT_EQ(cell.slot[1], s1);
  EXPECT_EQ(cell.slot[2], s2);
}

}  // namespace

TEST(SongRhythm, SixteenthsToTripletMovesTheSecondSixteenth) {
  auto song = NewSong(1);
  song->cells[0] = NoteCell{{60, 62, V}, {}};
  std::strcpy(song->cells[0].lyric[0], "ら");
  std::strcpy(song->cells[0].lyric[1], "り");
  song->cells[1] = NoteCell{{64, H, 65}, {}};
  song->SixteenthsToTriplet(0, -1);
  ExpectCell(song->cells[0], 60, H, 62);
  EXPECT_STREQ(song->cells[0].lyric[0], "ら");
  EXPECT_STREQ(song->cells[0].lyric[1], "");
  EXPECT_STREQ(song->cells[0].lyric[2], "り");
  ExpectCell(song->cells[1], 64, H, 65);
}

TEST(SongRhythm, MakeTripletsPatterns) {
  auto song = NewSong(1);
  song->cells[0] = NoteCell{{60, 62, V}, {}};
  song->cells[1] = NoteCell{{H, 64, V}, {}};
  song->cells[2] = NoteCell{{60, H, V}, {}};
  song->cells[3] = NoteCell{{62, 64, V}, {}};
  song->MakeTriplets(0, 0);
  ExpectCell(song->cells[0], 60, H, 62);
  ExpectCell(song->cells[1], H, 64, H);
  ExpectCell(song->cells[2], 60, H, H);
  ExpectCell(song->cells[3], H, 62, 64);
}

TEST(SongRhythm, HalvingTakesFirstSixteenthsAndEveryOtherChord) {
  auto song = NewSong(2);
  for (int c = 0; c < 16; ++c) song->cells[c] = NoteCell{{40 + c, 90, V}, {}};
  std::strcpy(song->cells[2].lyric[0], "x");
  const char* names[] = {"C ", "D ", "E ", "F ", "G ", "A ", "B ", "Cm"};
  for (int b = 0; b < 8; ++b) {
    std::memset(song->chords[b].first, 0, 8);
    std::strcpy(song->chords[b].first, names[b]);
  }
  song->HalveNoteValues(0, 1);
  EXPECT_EQ(song->bar_count, 1);
  ExpectCell(song->cells[0], 40, 41, V);
  ExpectCell(song->cells[1], 42, 43, V);
  EXPECT_STREQ(song->cells[1].lyric[0], "x");
  EXPECT_STREQ(song->chords[0].first, "C ");
  EXPECT_STREQ(song->chords[1].first, "E ");
  EXPECT_STREQ(song->chords[2].first, "G ");
  EXPECT_STREQ(song->chords[3].first, "B ");
  EXPECT_STREQ(song->chords[4].first, "----");
}

TEST(SongRhythm, HalvingMovesTheLaterBarsForward) {
  auto song = NewSong(3);
  song->SetNote(2, 0, 70, 3, false);
  std::strcpy(song->chords[8].first, "G7");
  song->HalveNoteValues(0, 1);
  EXPECT_EQ(song->bar_count, 2);
  EXPECT_EQ(song->cells[8].slot[0], 70);
  EXPECT_STREQ(song->chords[4].first, "G7");
}

TEST(SongRhythm, DoublingSplitsBeatsIntoTwo) {
  auto song = NewSong(1);
  std::strcpy(song->chords[0].second, "G ");
  song->bass_first[0] = 2;
  song->bass_second[0] = 5;
  song->cells[0] = NoteCell{{60, 62, V}, {}};
  std::strcpy(song->cells[0].lyric[1], "b");
  song->cells[2] = NoteCell{{64, 65, 67}, {}};
  std::strcpy(song->cells[2].lyric[2], "c");
  ASSERT_TRUE(song->DoubleNoteValues(0, 0));
  EXPECT_EQ(song->bar_count, 2);
  EXPECT_STREQ(song->chords[0].first, "C ");
  EXPECT_STREQ(song->chords[0].second, "");
  EXPECT_STREQ(song->chords[1].first, "G ");
  EXPECT_EQ(song->bass_first[0], 2);
  EXPECT_EQ(song->bass_second[0], 2);
  EXPECT_EQ(song->bass_first[1], 5);
  ExpectCell(song->cells[0], 60, H, V);
  ExpectCell(song->cells[1], 62, H, V);
  EXPECT_STREQ(song->cells[1].lyric[0], "b");
  ExpectCell(song->cells[4], 64, H, 65);
  ExpectCell(song->cells[5], H, 67, H);
  EXPECT_STREQ(song->cells[5].lyric[1], "c");
}

TEST(SongRhythm, DoublingStopsAtTheEndOfTheCellArrays) {
  auto song = NewSong(129);
  song->SetNote(128, 0, 60, 1, false);
  EXPECT_FALSE(song->DoubleNoteValues(0, 128));
  EXPECT_EQ(song->bar_count, 129);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  auto fits = NewSong(128);
  fits->SetNote(127, 7, 61, 0, true);
  EXPECT_TRUE(fits->DoubleNoteValues(0, 127));
  EXPECT_EQ(fits->bar_count, 256);
  EXPECT_EQ(fits->cells[2047].slot[0], 61);
}

TEST(SongRhythm, SixEightConversion) {
  auto song = NewSong(2);
  song->SetNote(0, 0, 60, 10, false);  // a whole note
  const char* names[][2] = {{"C ", ""}, {"D ", "E "}, {"F ", ""}, {"G ", ""}};
  for (int b = 0; b < 4; ++b) {
    std::memset(&song->chords[b], 0, sizeof(ChordCell));
    std::strcpy(song->chords[b].first, names[b][0]);
    std::strcpy(song->chords[b].second, names[b][1]);
  }
  ASSERT_TRUE(song->ConvertToSixEight());
  EXPECT_EQ(song->beats_per_bar, 3);
  EXPECT_EQ(song->bar_count, 4);
  EXPECT_EQ(song->GetDivisionMode(), 2);
  // The whole note lasts twelve sixteenths and a rest follows.
  EXPECT_EQ(song->cells[0].slot[0], 60);
  int holds = 0;
  for (int i = 1; i < 12; ++i) holds += song->cells[i / 2].slot[i % 2] == H;
  EXPECT_EQ(holds, 11);
  EXPECT_EQ(song->cells[6].slot[0], R);
  // Beats (C, D/E) become C, C|D, E.
  EXPECT_STREQ(song->chords[0].first, "C ");
  EXPECT_STREQ(song->chords[0].second, "");
  EXPECT_STREQ(song->chords[1].first, "C ");
  EXPECT_STREQ(song->chords[1].second, "D ");
  EXPECT_STREQ(song->chords[2].first, "E ");
  EXPECT_STREQ(song->chords[3].first, "F ");
  EXPECT_STREQ(song->chords[12].first, "----");
}

TEST(SongRhythm, ConversionsRefuseAWrongMetreOrTooLongASong) {
  auto waltz = NewSong(2, 3);
  waltz->SetNote(0, 0, 60, 1, false);
  EXPECT_FALSE(waltz->ConvertToSixEight());
  EXPECT_EQ(waltz->beats_per_bar, 3);
  EXPECT_EQ(waltz->bar_count, 2);
  auto four = NewSong(2);
  EXPECT_FALSE(four->ConvertToFourFourTriplets());
  EXPECT_EQ(four->beats_per_bar, 4);
  auto longer = NewSong(171);
  EXPECT_FALSE(longer->ConvertToSixEight());
  EXPECT_EQ(longer->bar_count, 171);
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
  auto longest = NewSong(170);
  longest->SetNote(169, 7, 72, 0, true);
  EXPECT_TRUE(longest->ConvertToSixEight());
  EXPECT_EQ(longest->bar_count, 340);
}

TEST(SongRhythm, SixEightToFourFourTriplets) {
  auto song = NewSong(3, 3);
  for (int c = 0; c < 18; ++c) song->cells[c] = NoteCell{{40 + 2 * c, 41 + 2 * c, V}, {}};
  std::strcpy(song->cells[1].lyric[1], "y");
  ASSERT_TRUE(song->ConvertToFourFourTriplets());
  EXPECT_EQ(song->beats_per_bar, 4);
  EXPECT_EQ(song->bar_count, 2);
  EXPECT_EQ(song->GetDivisionMode(), 1);
  ExpectCell(song->cells[0], 40, 41, 42);
  ExpectCell(song->cells[1], 43, 44, 45);
  EXPECT_STREQ(song->cells[1].lyric[0], "y");
  ExpectCell(song->cells[11], 73, 74, 75);
  ExpectCell(song->cells[12], R, H, V);  // the half bar left over
  EXPECT_STREQ(song->chords[8].first, "----");
}

TEST(SongRhythm, GlissandoAndTrill) {
  auto song = NewSong(1);
  song->cells[0].slot[0] = 125;
  song->SetGlissando(0, 0, true);
  ExpectCell(song->cells[0], 125, 126, 127);
  ExpectCell(song->cells[1], 127, 127, 127);
  song->cells[2] = NoteCell{{R, H, 70}, {}};
  song->SetGlissando(0, 3, false);
  ExpectCell(song->cells[3], 69, 68, 67);
  auto trill = NewSong(1);
  trill->cells[0].slot[0] = 60;
  trill->SetTrill(0, 0);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(trill->cells[i / 3].slot[i % 3], i % 2 ? 59 : 60);
  auto nothing = NewSong(1);
  nothing->SetTrill(0, 0);
  ExpectCell(nothing->cells[0], R, H, V);
  auto end = NewSong(256);
  end->cells[2047].slot[0] = 60;
  end->SetTrill(255, 7);
  end->SetGlissando(255, 7, true);
  EXPECT_EQ(end->cells[2047].slot[2], 62);
}

TEST(SongRhythm, RestRepairs) {
  auto song = NewSong(1);
  song->cells[0] = NoteCell{{60, R, V}, {}};
  song->RestartRestsAtBeats();
  EXPECT_EQ(song->cells[1].slot[0], R);
  auto merge = NewSong(1);
  merge->cells[2].slot[0] = R;  // a second rest start inside the bar's rest
  merge->NormalizeRests();
  EXPECT_EQ(merge->cells[2].slot[0], H);
  EXPECT_EQ(merge->cells[0].slot[0], R);
  auto fill = NewSong(1);
  fill->cells[0] = NoteCell{{60, R, V}, {}};
  fill->cells[1] = NoteCell{{62, H, V}, {}};
  fill->FillShortRests();
  EXPECT_EQ(fill->cells[0].slot[1], H);
  auto repair = NewSong(1);
  repair->cells[0] = NoteCell{{-7, -9, -5}, {}};
  EXPECT_TRUE(repair->RepairSlotValues());
  ExpectCell(repair->cells[0], R, R, V);
  EXPECT_FALSE(repair->RepairSlotValues());
  auto lyrics = NewSong(1);
  std::strcpy(lyrics->cells[3].lyric[0], "z");
  lyrics->cells[4] = NoteCell{{NoteSlotRap, H, V}, {}};
  std::strcpy(lyrics->cells[4].lyric[0], "ra");
  lyrics->ClearRestLyrics();
  EXPECT_STREQ(lyrics->cells[3].lyric[0], "");
  EXPECT_STREQ(lyrics->cells[4].lyric[0], "ra");
}

TEST(SongRhythm, ChangeMetreDropsOrAddsTheFourthBeat) {
  auto song = NewSong(2);
  song->SetNote(0, 6, 60, 1, false);
  song->SetNote(1, 0, 62, 1, false);
  song->ChangeMetre(3);
  EXPECT_EQ(song->beats_per_bar, 3);
  EXPECT_EQ(song->cells[6].slot[0], 62);
  song->ChangeMetre(4);
  EXPECT_EQ(song->cells[8].slot[0], 62);
  EXPECT_EQ(song->cells[6].slot[0], H) << "the added fourth beat holds a cleared cell";
}

namespace {

// A song of random shape with random slots, lyrics, chords and bass bytes in every beat.
void FillRandomSong(CSongData& song) {
  const int bpb = GneRandomRange(1, 8);
  const int max_bars = kSongMaxBeats / bpb;
  const int bars = GneRandomRange(0, 3) == 0 ? GneRandomRange(1, max_bars) : GneRandomRange(1, 12);
  song.Reset(bars, bpb, GneRandomRange(0, 29), 1);
  static const int32_t kSlots[] = {R, H, V, NoteSlotRap};
  static const char* const kNames[] = {"C", "Am7", "G7", "F#m7-5", "Bbadd9", "E", ""};
  for (int c = 0; c < 2 * bars * bpb; ++c) {
    for (int s = 0; s < 3; ++s) {
      const int pick = GneRandomRange(0, 7);
      song.cells[c].slot[s] = pick < 4 ? kSlots[pick] : GneRandomRange(36, 96);
      if (GneRandomRange(0, 3) == 0) song.cells[c].lyric[s][0] = static_cast<char>('a' + s);
    }
  }
  for (int b = 0; b < bars * bpb; ++b) {
    std::strcpy(song.chords[b].first, kNames[GneRandomRange(0, 5)]);
    std::strcpy(song.chords[b].second, kNames[GneRandomRange(0, 6)]);
    song.bass_first[b] = static_cast<uint8_t>(GneRandomRange(0, 11));
    song.bass_second[b] = static_cast<uint8_t>(GneRandomRange(0, 11));
  }
}

void AddSong(cantrel_test::Digest& digest, const CSongData& song) {
  digest.Int(song.bar_count);
  const std::vector<uint8_t> image = song.SerializeToVector();
  digest.Bytes(image.data(), image.size());
}

}  // namespace

// Doubling any range of random songs (ranges out of the song, songs that outgrow the cell
// arrays) and the save's rest tidying, pinned by a digest of the songs they leave: the code
// may be rearranged, what it makes stays the same.
TEST(SongRhythm, DoublingAndRestTidyingOfRandomSongsArePinned) {
  cantrel_test::QuietBoxes quiet;
  cantrel_test::Digest doubled, tidied;
  int done = 0;
  auto song = std::make_unique<CSongData>();
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    FillRandomSong(*song);
    const int first = GneRandomRange(-1, song->bar_count);
    const int last = GneRandomRange(first - 1, song->bar_count + 2);
    const bool ok = song->DoubleNoteValues(first, last);
    done += ok;
    doubled.Int(ok);
    AddSong(doubled, *song);
    song->NormalizeCells();
    AddSong(tidied, *song);
  }
  EXPECT_GT(done, 150);
  EXPECT_EQ(doubled.value, 0x6a146c3e743b1e7aull);
  EXPECT_EQ(tidied.value, 0x8a5e70583c0a697bull);
}
