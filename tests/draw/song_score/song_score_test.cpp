// The song's cells on the score rows: glyph types, beams, ties across the bar line, rests,
// triplets and brackets, the cursor colour, the key and time signatures of the page's rows,
// and the rhythm queue of the score picture.
#include "draw/main_dialog_helper.h"
#include "draw/staff_picture.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "tests/draw/score/golden.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>

#include "util/gne.h"
#include "util/music_names.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Glyph {
  int pitch, start, type, tie;
  bool operator==(const Glyph& o) const {
    return pitch == o.pitch && start == o.start && type == o.type && tie == o.tie;
  }
};

std::ostream& operator<<(std::ostream& os, const Glyph& g) {
  return os << "{" << g.pitch << "," << g.start << ",t" << g.type << ",tie" << g.tie << "}";
}

class SongScoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CStaffPicture::ResetState();
    song::ResetProgramGlobals();
    song::SetPageGeometry(3, 3);
    picture = std::make_unique<CRhythmStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                    nullptr, 960, 240, nullptr);
    for (int i = 1; i < 12; ++i) picture->AddRow(NewControl(), Rect{0, 0, 224, 96}, 40, 83, 960);
    for (int i = 0; i < 9; ++i) picture->SetClefVisible(i, 0);
    song = std::make_unique<CSongData>();
    song->Reset(4, 4, 0, 1);
    for (int c = 0; c < kSongMaxCells; ++c) Set(c, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
    // Every bar starts with a rest unless a test says otherwise.
    for (int bar = 0; bar < 4; ++bar) Set(bar * 8, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  }
  void TearDown() override {
    picture.reset();
    CStaffPicture::ResetState();
    song::ResetProgramGlobals();
  }
  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }
  void Set(int cell, int a, int b, int c) {
    song->cells[cell].slot[0] = a;
    song->cells[cell].slot[1] = b;
    song->cells[cell].slot[2] = c;
  }
  std::vector<Glyph> Row(int row) const {
    std::vector<Glyph> out;
    for (const StaffNote& n : picture->Notes(row)) out.push_back({n.pitch, n.start, n.type, n.tie});
    return out;
  }
  void Draw(int row) {
    CCantrelCommon::DrawSongOnStaff(picture.get(), row, *song, 0, -1, -1, -1, false);
  }
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
  std::unique_ptr<CRhythmStaffPicture> picture;
  std::unique_ptr<CSongData> song;
};

TEST_F(SongScoreTest, ChordTonesLieUnderTheMelody) {
  auto chord = [this](int beat, const char* name) {
    std::memset(song->chords[beat].first, 0, 8);
    std::memcpy(song->chords[beat].first, name, std::strlen(name));
  };
  for (int beat = 0; beat < 16; ++beat) chord(beat, "");
  chord(0, "C");     // no melody in the beat: under 58
  chord(1, "Skip");  // chordless beats get nothing
  chord(2, "Am7");
  chord(3, "----");
  chord(4, "G");     // bar 1, beat 0, under a melody note of 50
  chord(5, "");
  Set(8, 50, NoteSlotHold, NoteSlotVacant);
  CCantrelCommon::DrawChordTonesOnRows(picture.get(), *song, 0);
  EXPECT_EQ(Row(0), (std::vector<Glyph>{{48, 0, 16, 0}, {52, 0, 16, 0}, {55, 0, 9, 0},
                                         {48, 480, 16, 0}, {52, 480, 16, 0}, {57, 480, 9, 0}}));
  EXPECT_EQ(Row(1), (std::vector<Glyph>{{43, 0, 16, 0}, {47, 0, 16, 0}, {50, 0, 9, 0}}));
  EXPECT_TRUE(Row(2).empty());
  chord(15, "E");  // the last bar on the page; no row of a later bar
  CCantrelCommon::DrawChordTonesOnRows(picture.get(), *song, 0);
  EXPECT_EQ(Row(3), (std::vector<Glyph>{{47, 720, 16, 0}, {52, 720, 16, 0}, {56, 720, 9, 0}}));
  EXPECT_TRUE(Row(4).empty());
  // A page past the song's bars draws nothing.
  for (int row = 0; row < 9; ++row) picture->ClearRow(row);
  CCantrelCommon::DrawChordTonesOnRows(picture.get(), *song, 1);
  for (int row = 0; row < 9; ++row) EXPECT_TRUE(Row(row).empty()) << row;
}

TEST_F(SongScoreTest, LengthsToTypes) {
  const struct {
    double length;
    int type;
  } cases[] = {{0.5, 0}, {1, 3},   {1.5, 6},  {2, 9},   {2.5, 27}, {3, 10},  {3.5, 26}, {4, 11},
               {4.5, 25}, {5, 12}, {5.5, 23}, {6, 13},  {6.5, 24}, {7, 14},  {7.5, 22}, {8, 15},
               {12, 15},  {1.25, 3}};
  for (const auto& c : cases) EXPECT_EQ(CCantrelCommon::NoteTypeOfLength(c.length), c.type) << c.length;
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(CCantrelCommon::NoteTypeOfLength(0.25), 3);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST_F(SongScoreTest, QuarterThenTwoBeamedEighths) {
  // Bar 0: quarter C, eighths D E, then rests.
  Set(0, 60, NoteSlotHold, NoteSlotVacant);
  Set(2, 62, NoteSlotHold, NoteSlotVacant);
  Set(3, 64, NoteSlotHold, NoteSlotVacant);
  Set(4, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Draw(0);
  const std::vector<Glyph> want = {{60, 0, 9, 0}, {62, 240, 4, 0}, {64, 360, 5, 0},
                                   {-1, 720, 11, 0}};
  EXPECT_EQ(Row(0), want);
}

TEST_F(SongScoreTest, WholeNoteFromTheMiddleOfTheBarCrossesTheBarLine) {
  Set(0, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Set(4, 67, NoteSlotHold, NoteSlotVacant);
  Set(8, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
  Set(12, 69, NoteSlotHold, NoteSlotVacant);  // the next note ends the whole note
  Draw(0);
  const std::vector<Glyph> want0 = {{-1, 240, 11, 0}, {67, 480, 11, 1}};
  EXPECT_EQ(Row(0), want0);
  const auto next = Row(1);
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(next[0], (Glyph{67, 0, 11, 0}));
}

TEST_F(SongScoreTest, FiveEighthRestIsAHalfAndAnEighth) {
  Set(0, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Set(5, 72, NoteSlotHold, NoteSlotVacant);
  Set(6, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Draw(0);
  const std::vector<Glyph> want = {{-1, 240, 11, 0}, {-1, 480, 3, 0}, {72, 600, 3, 0},
                                   {-1, 720, 9, 0}};
  EXPECT_EQ(Row(0), want);
}

TEST_F(SongScoreTest, EighthTripletBeat) {
  Set(0, 60, NoteSlotHold, 62);
  Set(1, NoteSlotHold, 64, NoteSlotHold);
  Set(2, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  CCantrelCommon::MarkTriplets(picture.get(), 0, *song, 0);
  Draw(0);
  const std::vector<Glyph> want = {{60, 0, 3, 0}, {62, 80, 3, 0}, {64, 160, 3, 0},
                                   {-1, 240, 9, 0}, {-1, 720, 11, 0}};
  // The rest of the bar is a quarter rest (3 eighths fold into quarter + half by the song's
  // own lengths): compare the triplet part and the bracket.
  const auto got = Row(0);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(std::vector<Glyph>(got.begin(), got.begin() + 3),
            std::vector<Glyph>(want.begin(), want.begin() + 3));
  ASSERT_EQ(picture->Brackets(0).size(), 1u);
  EXPECT_EQ(picture->Brackets(0)[0].start, 0);
  EXPECT_EQ(picture->Brackets(0)[0].end, 240);
}

TEST_F(SongScoreTest, SixteenthPairsAndDottedEighthWithSixteenth) {
  Set(0, 60, 62, NoteSlotVacant);  // two sixteenths
  Set(1, 64, NoteSlotHold, NoteSlotVacant);
  Set(2, 65, NoteSlotHold, NoteSlotVacant);  // dotted eighth ...
  Set(3, NoteSlotHold, 67, NoteSlotVacant);  // ... and a sixteenth
  Set(4, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Draw(0);
  const auto got = Row(0);
  const std::vector<Glyph> head = {{60, 0, 1, 0}, {62, 60, 2, 0}, {64, 120, 3, 0},
                                   {65, 240, 20, 0}, {67, 420, 21, 0}};
  ASSERT_GE(got.size(), head.size());
  EXPECT_EQ(std::vector<Glyph>(got.begin(), got.begin() + 5), head);
}

// An event on the second sixteenth after a sixteenth: lengths with a sequence of their own, one
// without (a sixteenth, then tied chunks), and one that runs past the bar end from a cell
// before the bar's last (tied up to the bar line, the rest on the next row).
TEST_F(SongScoreTest, SecondSixteenthEventsFillTheirLength) {
  struct Case {
    const char* what;
    int cell;
    int holds;      // cells held after the event's own cell
    bool halfMore;  // the cell after them holds the event for one more sixteenth
    std::vector<Glyph> row0, row1;  // the glyphs of pitch 62
  };
  const Case cases[] = {
      {"two eighths", 0, 1, true, {{62, 60, 0, 1}, {62, 120, 3, 1}, {62, 240, 0, 0}}, {}},
      {"two and a half eighths", 0, 2, false, {{62, 60, 0, 1}, {62, 120, 9, 0}}, {}},
      {"past the bar end", 6, 2, false, {{62, 780, 6, 1}}, {{62, 0, 3, 0}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    SetUp();
    Set(k.cell, 60, 62, NoteSlotVacant);
    for (int i = 1; i <= k.holds; ++i) Set(k.cell + i, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
    if (k.halfMore) {
      Set(k.cell + k.holds + 1, NoteSlotHold, NoteSlotRest, NoteSlotVacant);
    } else {
      Set(k.cell + k.holds + 1, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
    }
    Draw(0);
    Draw(1);
    auto of62 = [&](int row) {
      std::vector<Glyph> out;
      for (const Glyph& g : Row(row)) {
        if (g.pitch == 62) out.push_back(g);
      }
      return out;
    };
    EXPECT_EQ(of62(0), k.row0);
    EXPECT_EQ(of62(1), k.row1);
  }
}

TEST_F(SongScoreTest, RestsKeepTheirValueWhenTheRowIsShiftedAnOctave) {
  Set(0, 90, NoteSlotHold, NoteSlotVacant);  // above the range: the row is drawn an octave down
  Set(2, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Draw(0);
  picture->DrawRow(0);
  // The stored notes are untouched; the rest is still a rest.
  const auto got = Row(0);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].pitch, -1);
}

TEST_F(SongScoreTest, CursorCellIsDrawnInTheHighlightColour) {
  Set(0, 60, NoteSlotHold, NoteSlotVacant);
  Set(2, 62, NoteSlotHold, NoteSlotVacant);
  CCantrelCommon::DrawSongOnStaff(picture.get(), 0, *song, 0, 0, 0, 2, false);
  const auto& notes = picture->Notes(0);
  ASSERT_GE(notes.size(), 2u);
  EXPECT_EQ(notes[0].colour, 0u);
  EXPECT_EQ(notes[1].colour, plat::Rgb(191, 32, 32));
}

TEST_F(SongScoreTest, SetupStaffRowsGivesKeyAndTimeToThePageRows) {
  // Key 9 is a flat key: its rows spell with flats and carry its signature byte.
  CCantrelCommon::SetupStaffRows(picture.get(), 9, 3, false);
  const KeySignature& key = KeySignatureTable[9];
  const int spelling = ChooseKeySpelling(key.tonic, key.mode);
  for (int row = 0; row < 12; ++row) EXPECT_EQ(picture->Spelling(row), spelling) << row;
}

TEST_F(SongScoreTest, RedrawStaffRowsDrawsThePageAndKeepsTheCursorRow) {
  Set(0, 60, NoteSlotHold, NoteSlotVacant);
  Set(8, 64, NoteSlotHold, NoteSlotVacant);
  int last = -1;
  CCantrelCommon::RedrawStaffRows(true, picture.get(), song.get(), &last, 0, 1, 0, 0);
  EXPECT_EQ(last, 1);
  EXPECT_FALSE(picture->Notes(0).empty());
  EXPECT_FALSE(picture->Notes(1).empty());
  EXPECT_EQ(picture->Notes(1)[0].colour, plat::Rgb(191, 32, 32));
}

TEST_F(SongScoreTest, NoteCrossingIntoTheNextRowSurvivesItsRedraw) {
  Set(6, 67, NoteSlotHold, NoteSlotVacant);
  Set(8, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
  Set(9, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
  Set(10, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  int last = -1;
  CCantrelCommon::RedrawStaffRows(true, picture.get(), song.get(), &last, 0, -1, -1, 0);
  ASSERT_FALSE(picture->Notes(1).empty());
  EXPECT_EQ(Row(1)[0], (Glyph{67, 0, 9, 0}));
  // Redrawing only the next row (the cursor moved there) keeps the end of the note.
  CCantrelCommon::RedrawStaffRows(false, picture.get(), song.get(), &last, 0, 1, 0, 1);
  ASSERT_FALSE(picture->Notes(1).empty());
  EXPECT_EQ(Row(1)[0], (Glyph{67, 0, 9, 0}));
}

TEST_F(SongScoreTest, PageGolden) {
  // Two bars of a tune on page rows, with the beams, a triplet, a tie over the bar line and
  // rests, drawn as the main window draws them.
  Set(0, 67, NoteSlotHold, NoteSlotVacant);
  Set(2, 69, NoteSlotHold, NoteSlotVacant);
  Set(3, 71, NoteSlotHold, NoteSlotVacant);
  Set(4, 72, NoteSlotHold, 74);
  Set(5, NoteSlotHold, 76, NoteSlotHold);
  Set(6, 77, 76, NoteSlotVacant);
  Set(7, 74, NoteSlotHold, NoteSlotVacant);
  Set(8, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
  Set(9, NoteSlotHold, NoteSlotHold, NoteSlotVacant);
  Set(10, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
  Set(12, 66, NoteSlotHold, NoteSlotVacant);
  CCantrelCommon::SetupStaffRows(picture.get(), 1, 4, false);  // G major
  picture->ShowBarLines(0, 1);
  picture->ShowBarLines(1, 1);
  picture->SetRightBarLine(0, 0);
  int last = -1;
  CCantrelCommon::RedrawStaffRows(true, picture.get(), song.get(), &last, 0, -1, -1, 0);
  QImage page(448, 96, QImage::Format_RGB32);
  page.fill(Qt::white);
  {
    QPainter p(&page);
    p.drawImage(0, 0, draw_test::ToImage(*picture->Surface(0)));
    p.drawImage(224, 0, draw_test::ToImage(*picture->Surface(1)));
  }
  draw_test::ExpectGolden(page, "song_two_bars");
}

// ---- the rhythm queue ----------------------------------------------------------------------

TEST_F(SongScoreTest, QueueBeamsEighthPairsWithinTheBeat) {
  picture->QueueNote(0, 60, 0, 0, kNoteEighth, 0);
  picture->QueueNote(0, 62, 120, 0, kNoteEighth, 0);
  picture->QueueNote(0, 64, 360, 0, kNoteEighth, 0);   // straddles: stays
  picture->QueueNote(0, 65, 480, 0, kNoteEighth, 0);
  picture->QueueNote(0, -1, 600, 0, kNoteEighth, 0);   // a rest half a beat later
  picture->FlushRow(0);
  const std::vector<Glyph> want = {{60, 0, 4, 0}, {62, 120, 5, 0}, {64, 360, 3, 0},
                                   {65, 480, 3, 0}, {-1, 600, 3, 0}};
  EXPECT_EQ(Row(0), want);
  EXPECT_EQ(picture->QueueCount(0), 0);
}

TEST_F(SongScoreTest, QueueSplitsFiveEighthNotes) {
  picture->QueueNote(0, 60, 0, 0, kNoteHalfAndEighth, 0);
  picture->QueueNote(1, 60, 120, 0, kNoteHalfAndEighth, 1);
  picture->FlushAll();
  EXPECT_EQ(Row(0), (std::vector<Glyph>{{60, 0, 11, 1}, {60, 480, 3, 0}}));
  EXPECT_EQ(Row(1), (std::vector<Glyph>{{60, 120, 3, 1}, {60, 240, 11, 1}}));
}

TEST_F(SongScoreTest, DrumKeys) {
  picture->QueueDrumEvent(0, 42, 0, 0);
  picture->QueueDrumEvent(0, 36, 240, 0);
  picture->QueueDrumEvent(0, 99, 480, 0);
  picture->FlushRow(0);
  EXPECT_EQ(Row(0), (std::vector<Glyph>{{59, 0, 18, 0}, {45, 240, 19, 0}, {60, 480, 19, 0}}));
}

TEST_F(SongScoreTest, DrumRowGolden) {
  // The import tool's drum row: hi-hat eighths, bass drum and snare, rests filled in.
  CStaffPicture::ResetState();
  controls.clear();
  picture = std::make_unique<CRhythmStaffPicture>(NewControl(), Rect{0, 0, 320, 96}, 40, 83,
                                                  nullptr, 960, 240, nullptr);
  picture->SetPercussionClef(0, 1);
  picture->SetTimeSignature(0, 4);
  for (int t = 0; t < 960; t += 120) picture->QueueDrumEvent(0, 42, t, 0);
  picture->QueueDrumEvent(0, 36, 0, 0);
  picture->QueueDrumEvent(0, 38, 240, 0);
  picture->QueueDrumEvent(0, 36, 480, 0);
  picture->QueueDrumEvent(0, 38, 720, 0);
  picture->FlushRow(0);
  picture->FillRests(0, 4);
  draw_test::ExpectGolden(draw_test::ToImage(*picture->Surface(0)), "drum_row");
}

TEST_F(SongScoreTest, QueueLimitIsReported) {
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(picture->QueueEvent(0, 60, i, 0, kNoteSixteenth, 0));
  EXPECT_FALSE(picture->QueueEvent(0, 60, 0, 0, kNoteSixteenth, 0));
  EXPECT_EQ(picture->QueueCount(0), 64);
  EXPECT_EQ(cantrel_test::Sink().Texts().back(), "CLongStaffPicture::error");
}

TEST_F(SongScoreTest, FillRests) {
  picture->FillRests(0, 4);
  EXPECT_EQ(Row(0), (std::vector<Glyph>{{-1, 480, 15, 0}}));
  picture->AddNote(1, 60, 0, 0, kNoteQuarter, 0);
  picture->FillRests(1, 4);
  EXPECT_EQ(Row(1), (std::vector<Glyph>{{60, 0, 9, 0}, {-1, 360, 9, 0}, {-1, 720, 11, 0}}));
  // A sixteenth on the second sixteenth leaves a sixteenth rest before it.
  picture->AddNote(2, 60, 60, 0, kNoteSixteenth, 0);
  picture->FillRests(2, 1);
  EXPECT_EQ(Row(2), (std::vector<Glyph>{{60, 60, 0, 0}, {-1, 0, 0, 0}, {-1, 120, 3, 0}}));
  // Beats outside 1..4 are held to the row's 16 sixteenths.
  picture->FillRests(3, 9);
  EXPECT_EQ(Row(3), (std::vector<Glyph>{{-1, 480, 15, 0}}));
}

}  // namespace

namespace {

// A random slot value: a pitch, a rest, a hold, rap or vacant, by the weights given (out of 100).
int RandomSlot(int pitch, int rest, int hold, int rap) {
  const int r = GneRandomRange(0, 99);
  if (r < pitch) return GneRandomRange(45, 90);
  if (r < pitch + rest) return NoteSlotRest;
  if (r < pitch + rest + hold) return NoteSlotHold;
  if (r < pitch + rest + hold + rap) return NoteSlotRap;
  return NoteSlotVacant;
}

struct Fnv {
  uint64_t h = 1469598103934665603ull;
  void Add(int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= static_cast<uint8_t>(v >> (8 * i));
      h *= 1099511628211ull;
    }
  }
};

}  // namespace

// Every glyph, colour, tie and bracket the score draws for 300 seeded random songs (all
// metres the program writes, triplets of every span, notes on the second sixteenth, notes
// across bar lines and rows, the cursor in both modes), folded into one digest: the drawing
// code may be rearranged, but what it draws stays the same.
TEST_F(SongScoreTest, DrawingOfRandomSongsIsPinned) {
  Fnv digest;
  int glyphs = 0, brackets = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    static const int kBeats[] = {2, 3, 4, 6};
    const int bpb = kBeats[GneRandomRange(0, 3)];
    song->Reset(4, bpb, 0, 1);
    const int cellsPerBar = 2 * bpb;
    const int cells = 4 * cellsPerBar;
    for (int c = 0; c < cells; ++c) {
      Set(c, RandomSlot(40, 12, 40, 4), RandomSlot(30, 10, 55, 3), RandomSlot(6, 2, 4, 0));
    }
    // Triplet patterns: starts at every span-th of the span's slots, holds between them.
    for (int c = 0; c < cells; c += 2) {
      const int kind = GneRandomRange(0, 9);
      const int span = kind == 0 ? 8 : kind == 1 ? 4 : kind <= 3 ? 2 : 0;
      if (span == 0 || (c % cellsPerBar) % span != 0 || c + span > cells) continue;
      for (int i = 0; i < span * 3; ++i) {
        int& slot = song->cells[c + i / 3].slot[i % 3];
        slot = i % span == 0 ? RandomSlot(85, 15, 0, 0) : NoteSlotHold;
      }
      // A beat triplet needs only both third slots taken.
      if (span == 2 && GneRandomRange(0, 1) == 0) song->cells[c + 1].slot[2] = RandomSlot(50, 10, 40, 0);
    }
    for (int pass = 0; pass < 3; ++pass) {
      const int cursorMode = GneRandomRange(0, 1);
      const int cursorRow = GneRandomRange(-1, 3);
      const int cursorCell = GneRandomRange(0, cellsPerBar - 1);
      const bool coloured = pass == 2;
      for (int row = 0; row < 4; ++row) picture->ClearRow(row);
      for (int row = 0; row < 4; ++row) {
        CCantrelCommon::MarkTriplets(picture.get(), row, *song, 0);
        CCantrelCommon::DrawSongOnStaff(picture.get(), row, *song, 0, cursorMode, cursorRow,
                                        cursorCell, coloured);
      }
      for (int row = 0; row < 4; ++row) {
        for (const StaffNote& n : picture->Notes(row)) {
          for (int64_t v : {int64_t{row}, int64_t{n.pitch}, int64_t{n.start},
                            static_cast<int64_t>(n.colour), int64_t{n.type}, int64_t{n.tie}}) {
            digest.Add(v);
          }
          ++glyphs;
        }
        for (const TripletBracket& b : picture->Brackets(row)) {
          digest.Add(b.start);
          digest.Add(b.end);
          ++brackets;
        }
      }
    }
  }
  // Enough of everything was drawn for the digest to mean something.
  EXPECT_GT(glyphs, 20000);
  EXPECT_GT(brackets, 500);
  EXPECT_EQ(digest.h, 0x65bfe2318cc8972dull) << std::hex << digest.h << std::dec << " glyphs " << glyphs
                              << " brackets " << brackets;
}
