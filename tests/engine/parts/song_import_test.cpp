// Song import: chord input and melody lists from a song document, time kept in
// every metre and rhythm, and the lyrics of the karaoke file.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/melody_parts.h"
#include "engine/song_import.h"
#include "song/song_data.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

namespace {

class ImportTest : public EngineTest {
 protected:
  std::unique_ptr<CSongData> NewSong(int bars, int bpb) {
    auto song = std::make_unique<CSongData>();
    song->Reset(bars, bpb, 0, bpb == 3 ? 2 : 1);
    return song;
  }
  static void SetChord(CSongData& s, int beat, const char* first, const char* second = "") {
    std::memset(s.chords[beat].first, 0, 8);
    std::memset(s.chords[beat].second, 0, 8);
    std::strncpy(s.chords[beat].first, first, 8);
    std::strncpy(s.chords[beat].second, second, 8);
  }
  // A quarter note (pitch, or -1 for a rest) on the beat, with an optional lyric.
  static void Quarter(CSongData& s, int beat, int pitch, const char* lyric = "") {
    NoteCell& a = s.cells[2 * beat];
    NoteCell& b = s.cells[2 * beat + 1];
    a = NoteCell{};
    b = NoteCell{};
    a.slot[0] = pitch;
    a.slot[1] = NoteSlotHold;
    a.slot[2] = NoteSlotVacant;
    b.slot[0] = NoteSlotHold;
    b.slot[1] = NoteSlotHold;
    b.slot[2] = NoteSlotVacant;
    std::strncpy(a.lyric[0], lyric, 7);
  }
  static std::vector<int> Lengths(const EventList& l) {
    std::vector<int> out;
    for (int i = 0; i < l.count(); ++i) out.push_back(l[i].length);
    return out;
  }
  static std::vector<int> Pitches(const EventList& l) {
    std::vector<int> out;
    for (int i = 0; i < l.count(); ++i) out.push_back(l[i].pitch);
    return out;
  }
  static std::vector<std::pair<int, std::string>> Entries() {
    std::vector<std::pair<int, std::string>> out;
    const ComposeInformation& info = ComposeInfo();
    for (int i = 0; i < info.ChordInputCount(); ++i) {
      const ChordEntry e = info.ChordInputEntry(i);
      out.push_back({e.length, std::string(e.code, 4) + std::string(info.bass_digits[i], 2)});
    }
    return out;
  }
};

TEST_F(ImportTest, OneBarOfQuarterNotesWithLyrics) {
  auto song = NewSong(1, 4);
  for (int b = 0; b < 4; ++b) {
    SetChord(*song, b, "C");
    Quarter(*song, b, 60 + b, "la");
  }
  ImportSongToEngine(*song, 1, 4, 1536);
  EXPECT_EQ(Entries(), (std::vector<std::pair<int, std::string>>{{384, "CMPo00"}}));
  EXPECT_EQ(Lengths(VocalMelodyList()), (std::vector<int>{96, 96, 96, 96}));
  EXPECT_EQ(Pitches(VocalMelodyList()), (std::vector<int>{60, 61, 62, 63}));
  EXPECT_EQ(Pitches(InstrumentalMelodyList()), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(MelodyInputCopy().count(), 4);
}

TEST_F(ImportTest, LongChordsAndBassChanges) {
  auto song = NewSong(3, 4);
  for (int b = 0; b < 12; ++b) SetChord(*song, b, "C");
  ImportSongToEngine(*song, 3, 4, 1536);
  EXPECT_EQ(Entries(), (std::vector<std::pair<int, std::string>>{{768, "CMPo00"}, {384, "CMPo00"}}));
  // A change of only the bass byte starts a new entry with the same code.
  song->bass_first[2] = 7;
  song->bass_second[2] = 7;
  ImportSongToEngine(*song, 3, 4, 1536);
  EXPECT_EQ(Entries(), (std::vector<std::pair<int, std::string>>{
                           {192, "CMPo00"}, {96, "CMPo07"}, {768, "CMPo00"}, {96, "CMPo00"}}));
}

TEST_F(ImportTest, WholeRestThenNoteAndLongNotes) {
  auto song = NewSong(3, 4);
  for (int b = 0; b < 12; ++b) SetChord(*song, b, "Am");
  Quarter(*song, 4, 64);
  for (int b = 5; b < 12; ++b) Quarter(*song, b, NoteSlotHold);
  ImportSongToEngine(*song, 3, 4, 384);
  EXPECT_EQ(Lengths(InstrumentalMelodyList()), (std::vector<int>{384, 384, 384}));
  EXPECT_EQ(Pitches(InstrumentalMelodyList()), (std::vector<int>{0, 64, 0}));
  // With a small maximum every piece stays within it.
  ImportSongToEngine(*song, 3, 4, 100);
  for (int l : Lengths(InstrumentalMelodyList())) EXPECT_LE(l, 100);
  EXPECT_EQ(InstrumentalMelodyList().TotalLength(), 1152);
}

TEST_F(ImportTest, SkipBeatsAddNoTime) {
  auto song = NewSong(2, 4);
  for (int b = 0; b < 8; ++b) SetChord(*song, b, b < 4 ? "C" : "G");
  SetChord(*song, 0, "Skip");
  SetChord(*song, 5, "Skip");
  ImportSongToEngine(*song, 2, 4, 1536);
  EXPECT_EQ(SkipBeats().beats, (std::vector<int32_t>{0, 5}));
  // The first beat skipped writes no empty entry: the chords are all there.
  EXPECT_EQ(Entries(), (std::vector<std::pair<int, std::string>>{{288, "CMPo00"}, {288, "GMPo00"}}));
  EXPECT_EQ(VocalMelodyList().TotalLength(), 576);
  int beats = 0;
  BuildChordBlocksFromInput(&beats);
  EXPECT_EQ(beats, 6);
  EXPECT_EQ(ComposeInfo().section_count, 1);
  EXPECT_EQ(ComposeInfo().section_chords[0].count(), 2);
}

TEST_F(ImportTest, EverySkipBeatIsKept) {
  auto song = NewSong(100, 4);
  for (int b = 0; b < 400; ++b) SetChord(*song, b, b % 4 == 3 ? "C" : "Skip");
  ImportSongToEngine(*song, 100, 4, 1536);
  EXPECT_EQ(SkipBeats().count(), 300);
}

TEST_F(ImportTest, ManyEntriesReportOnceAndStop) {
  auto song = NewSong(256, 4);
  const char* names[2] = {"C", "G"};
  for (int b = 0; b < 1024; ++b) SetChord(*song, b, names[b % 2], names[(b + 1) % 2]);
  ImportSongToEngine(*song, 256, 4, 1536);
  EXPECT_EQ(ErrorCount(kEditInitError), 1);
  EXPECT_EQ(ComposeInfo().ChordInputCount(), kChordInputEntries);
  EXPECT_LE(ComposeInfo().ChordInputCount(), kChordInputEntries);
}

// A vacant slot where a note could stand is a rest: the melody keeps time.
TEST_F(ImportTest, VacantSlotIsARest) {
  auto song = NewSong(1, 4);
  for (int b = 0; b < 4; ++b) {
    SetChord(*song, b, "C");
    Quarter(*song, b, 60);
  }
  song->cells[2].slot[0] = NoteSlotVacant;
  song->cells[2].slot[1] = NoteSlotVacant;
  ImportSongToEngine(*song, 1, 4, 1536);
  EXPECT_EQ(VocalMelodyList().TotalLength(), 384);
  EXPECT_EQ(InstrumentalMelodyList().TotalLength(), 384);
}

// Random songs in every metre and rhythm: 96 ticks per played beat everywhere.
TEST_F(ImportTest, TimeKeptInEveryMetreAndRhythm) {
  const int values[] = {NoteSlotRest, NoteSlotHold, NoteSlotVacant, NoteSlotRap, 60, 64, 67};
  for (int bpb : {2, 3, 4, 6, 7}) {
    for (int beat_kind : {1, 2, 3}) {
      CurrentStyle().basic_beat = beat_kind;
      for (uint32_t seed = 1; seed <= 20; ++seed) {
        GneSeedRandomWith(seed * 31 + bpb);
        const int bars = GneRandomRange(1, 40);
        auto song = NewSong(bars, bpb);
        int played = 0;
        for (int b = 0; b < bars * bpb; ++b) {
          const int kind = GneRandomRange(1, 12);
          SetChord(*song, b, kind == 1 ? "Skip" : (kind < 6 ? "C" : "Dm7"), kind == 7 ? "G7" : "");
          if (kind != 1) ++played;
          song->bass_first[b] = static_cast<uint8_t>(GneRandomRange(0, 1));
          for (int c = 0; c < 2; ++c) {
            NoteCell& cell = song->cells[2 * b + c];
            for (int s = 0; s < 3; ++s) cell.slot[s] = values[GneRandomRange(0, 6)];
            if (GneRandomRange(1, 2) == 1) cell.slot[2] = NoteSlotVacant;
            std::strcpy(cell.lyric[0], GneRandomRange(1, 2) == 1 ? "a" : "");
          }
        }
        ImportSongToEngine(*song, bars, bpb, 1536);
        const int want = played * 96;
        EXPECT_EQ(VocalMelodyList().TotalLength(), want) << bpb << " " << beat_kind << " " << seed;
        EXPECT_EQ(InstrumentalMelodyList().TotalLength(), want);
        int chords = 0;
        for (const auto& e : Entries()) chords += e.first;
        EXPECT_EQ(chords, want) << bpb << " " << beat_kind << " " << seed;
        for (const auto& e : Entries()) EXPECT_GT(e.first, 0);
      }
    }
  }
}

TEST_F(ImportTest, TripletCellsAndDottedRhythm) {
  CurrentStyle().basic_beat = 3;
  auto song = NewSong(1, 4);
  for (int b = 0; b < 4; ++b) SetChord(*song, b, "C");
  // Beat 0: 60 62 | 64 -- a triplet (0, 32, 64).
  NoteCell& a = song->cells[0];
  NoteCell& b = song->cells[1];
  a.slot[0] = 60; a.slot[1] = 62; a.slot[2] = NoteSlotVacant;
  b.slot[0] = 64; b.slot[1] = NoteSlotHold; b.slot[2] = NoteSlotVacant;
  std::strcpy(a.lyric[0], "a");
  std::strcpy(a.lyric[1], "b");
  std::strcpy(b.lyric[0], "c");
  ImportSongToEngine(*song, 1, 4, 1536);
  const std::vector<int> lengths = Lengths(VocalMelodyList());
  ASSERT_GE(lengths.size(), 3u);
  EXPECT_EQ(VocalMelodyList().TotalLength(), 384);
  int start = 0;
  std::vector<int> starts;
  for (int i = 0; i < 3; ++i) {
    starts.push_back(start);
    start += lengths[static_cast<size_t>(i)];
  }
  EXPECT_EQ(starts, (std::vector<int>{0, 32, 48}));
}

TEST_F(ImportTest, LyricEventTexts) {
  MidiTrack t(kTrackEvents, 4096);
  AddLyricEvent(t, 0, "-", 2, 62);
  AddLyricEvent(t, 5, "ka", 0, 62);
  AddLyricEvent(t, 0, "ka", 1, 60);
  AddLyricEvent(t, 0, "ka", 7, 60);
  AddLyricEvent(t, 0, std::string(100, 'x').c_str(), 0, 60);
  ASSERT_EQ(t.event_count, 5);
  auto text = [&](int i) {
    return std::string(reinterpret_cast<const char*>(t.events[i]->GetDataPointer()),
                       static_cast<size_t>(t.events[i]->data_length));
  };
  EXPECT_EQ(text(0), "(" + GneSolfegeName(62) + ") ");
  EXPECT_EQ(text(1), "ka");
  EXPECT_EQ(t.events[1]->delta, 5);
  EXPECT_EQ(text(2), GneSolfegeName(60));
  EXPECT_EQ(t.events[3]->data_length, 0);
  EXPECT_EQ(text(4).size(), 63u);
}

}  // namespace
