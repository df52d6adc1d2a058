// The chord and note cursors, the chord names of the cells, entering chords and notes and the
// triplet figures, through the window's handlers.
#include "tests/app/window/window_fixture.h"

#include "draw/chord_cell_picture.h"
#include "platform/qt/app_message.h"
#include "util/music_names.h"

#include <cstring>

namespace {

std::string First(const CSongData& s, int beat) {
  return std::string(s.chords[beat].first, strnlen(s.chords[beat].first, 8));
}
std::string Second(const CSongData& s, int beat) {
  return std::string(s.chords[beat].second, strnlen(s.chords[beat].second, 8));
}

class CellsTest : public WindowTest {
 protected:
  void SetChord(int beat, const char* first, const char* second = "") {
    std::memset(dlg->song->chords[beat].first, 0, 8);
    std::memset(dlg->song->chords[beat].second, 0, 8);
    std::strncpy(dlg->song->chords[beat].first, first, 7);
    std::strncpy(dlg->song->chords[beat].second, second, 7);
  }
  std::string CellText(int beat) {
    bool active = false;
    return dlg->ChordCellText(beat, &active);
  }
};

TEST_F(CellsTest, TheChordCursorWalksBeatsBarsAndRows) {
  Start();
  NewSong(64, 4);
  dlg->SetChordCursor(0, 3, 0);
  dlg->MoveChordCursorNext();
  EXPECT_EQ(dlg->cursorBar, 1);
  EXPECT_EQ(dlg->cursorEighth, 0);
  dlg->MoveChordCursorPrevious();
  EXPECT_EQ(dlg->cursorBar, 0);
  EXPECT_EQ(dlg->cursorEighth, 6);
  dlg->SetChordCursor(0, 0, 0);
  dlg->MoveChordCursorPrevious();
  EXPECT_EQ(dlg->cursorBar, 0);
  EXPECT_EQ(dlg->cursorEighth, 0) << "before the first beat it stays";
  // Past the page's last beat the page scrolls a row and the cursor stays on the page.
  dlg->SetChordCursor(g_barsPerPage - 1, 3, 0);
  dlg->MoveChordCursorNext();
  EXPECT_EQ(dlg->topRow, 1);
  EXPECT_EQ(dlg->cursorBar, g_barsPerPage - g_barsPerRow);
  EXPECT_EQ(dlg->chordFields.cursorBar, g_barsPerPage);
  EXPECT_EQ(dlg->chordFields.cursorBeat, 0);
  dlg->MoveChordCursorPrevious();
  EXPECT_EQ(dlg->chordFields.cursorBar, g_barsPerPage - 1);
  EXPECT_EQ(dlg->chordFields.cursorBeat, 3);
}

TEST_F(CellsTest, TheChordPanelFollowsTheCursor) {
  Start();
  NewSong(8, 4);
  SetChord(5, "Am7");
  SetChord(6, "Am7");
  SetChord(7, "Skip");
  dlg->SetChordCursor(1, 1, 0);
  EXPECT_EQ(dlg->chordFields.root, 9);
  EXPECT_EQ(dlg->chordFields.beats, 2);
  EXPECT_EQ(dlg->chordFields.entryMode, 0);
  EXPECT_TRUE(dlg->chordFields.listsEnabled);
  dlg->SetChordCursor(1, 3, 0);
  EXPECT_EQ(dlg->chordFields.entryMode, 2) << "a Skip beat switches the panel to erase";
  EXPECT_FALSE(dlg->chordFields.listsEnabled);
  EXPECT_EQ(dlg->chordFields.previousRoot, 9);
}

TEST_F(CellsTest, TheMelodyPanelFollowsTheChordCursorUnlessTheBeatIsHeld) {
  Start();
  NewSong(2, 4);
  CSongData& song = *dlg->song;
  // Beat 0 a half note, beat 2 a quarter note.
  song.cells[0].slot[0] = 60;
  for (int c = 1; c < 4; ++c) song.cells[c].slot[0] = NoteSlotHold;
  song.cells[4].slot[0] = 64;
  dlg->SetNoteCursor(0, 0, 0);
  ASSERT_TRUE(dlg->melodyFields.visible);
  dlg->SetChordCursor(0, 2, 0);
  Pump();
  EXPECT_TRUE(dlg->melodyFields.visible);
  EXPECT_EQ(dlg->melodyFields.cursorEighth, 4);
  EXPECT_EQ(dlg->melodyFields.pitch, 64);
  dlg->SetChordCursor(0, 1, 0);
  Pump();
  EXPECT_FALSE(dlg->melodyFields.visible) << "beat 1 lies inside the half note";
  EXPECT_EQ(dlg->melodyFields.cursorEighth, 4);
}

TEST_F(CellsTest, AChordOnTheSecondHalfFillsTheFollowingBeats) {
  Start();
  NewSong(4, 4);
  for (int b = 0; b < 16; ++b) SetChord(b, "C");
  dlg->SetChordCursor(0, 1, 0);
  ChordPanelFields& f = dlg->chordFields;
  f.entryMode = 1;
  f.root = 7;  // G
  f.type = 0;
  f.bass = 0;
  f.beats = 3;
  dlg->EnterChord();
  const CSongData& s = *dlg->song;
  EXPECT_EQ(First(s, 1), "C");
  EXPECT_EQ(Second(s, 1), "G ");
  EXPECT_EQ(First(s, 2), "G ");
  EXPECT_EQ(First(s, 3), "G ");
  EXPECT_EQ(First(s, 4), "C") << "the next bar keeps its chord";
  // It sounded as a chord on the audition device, and can be undone.
  EXPECT_GE(Notes().size(), 6u);
  dlg->Undo();
  EXPECT_EQ(Second(*dlg->song, 1), "");
}

TEST_F(CellsTest, ChordNamesShowChanges) {
  Start();
  NewSong(2, 4);
  struct Case {
    const char* a1;
    const char* b1;
    const char* a2;
    const char* b2;
    std::string shown;  // the second beat's text
  } cases[] = {
      {"C", "", "C", "", ""},          // the chord goes on
      {"C", "", "C", "G", "|G"},       // only the second half changes
      {"C", "", "Am", "G", "Am|G"},    // both halves differ
      {"C", "G", "G", "", "G"},
      {"C", "G", "G", "F", "|F"},      // the first half continues, the second changes
      {"C", "", "Am", "", "Am"},
      {"C", "", "----", "", ""},
      {"C", "", "Skip", "", ""},
  };
  for (const Case& c : cases) {
    SetChord(0, c.a1, c.b1);
    SetChord(1, c.a2, c.b2);
    EXPECT_EQ(CellText(1), c.shown) << c.a1 << "/" << c.b1 << " " << c.a2 << "/" << c.b2;
  }
  // A bar's first beat always shows its chord; a slash bass shows after the name.
  SetChord(4, "C");
  SetChord(3, "C");
  dlg->song->bass_first[4] = 4;
  dlg->song->bass_second[4] = 4;
  EXPECT_EQ(CellText(4), "C/E");
  // Spelled for the key: A# in F major reads B flat.
  {
    const QSignalBlocker block(dlg->keyList);
    dlg->keyList->setCurrentIndex(CSongData::KeyIndexFromName("F"));
  }
  SetChord(4, "A#");
  dlg->song->bass_first[4] = dlg->song->bass_second[4] = 0;
  EXPECT_EQ(CellText(4), "Bb");
}

TEST_F(CellsTest, TheNoteWalkSkipsHeldCellsAndStopsOnSecondSixteenths) {
  Start();
  NewSong(4, 4);
  CSongData& s = *dlg->song;
  s.SetNote(0, 0, 60, CSongData::NoteValueIndex(3), false);  // eighths 0-2
  s.SetNote(0, 3, 62, 0, false);                              // a sixteenth, then its rest
  s.SetNote(0, 4, 64, CSongData::NoteValueIndex(4), false);  // to the bar's end
  dlg->SetNoteCursor(0, 0, 0);
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(dlg->cursorEighth, 3);
  EXPECT_EQ(dlg->cursorHalf, 0);
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(dlg->cursorEighth, 3);
  EXPECT_EQ(dlg->cursorHalf, 1) << "the split eighth's second sixteenth";
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(dlg->cursorEighth, 4);
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(dlg->cursorBar, 1);
  EXPECT_EQ(dlg->cursorEighth, 0);
  dlg->MoveNoteCursorPrevious();
  EXPECT_EQ(dlg->cursorBar, 0);
  EXPECT_EQ(dlg->cursorEighth, 4);
  dlg->MoveNoteCursorPrevious();
  EXPECT_EQ(dlg->cursorEighth, 3);
  EXPECT_EQ(dlg->cursorHalf, 1);
  dlg->MoveNoteCursorPrevious();
  EXPECT_EQ(dlg->cursorHalf, 0);
  dlg->MoveNoteCursorPrevious();
  EXPECT_EQ(dlg->cursorEighth, 0);
  dlg->MoveNoteCursorPrevious();
  EXPECT_EQ(dlg->cursorEighth, 0) << "the walk stops at the song's start";
  // The melody panel shows the cursor's note.
  EXPECT_EQ(dlg->melodyFields.pitch, 60);
  EXPECT_EQ(dlg->melodyFields.position, "001-01");
  EXPECT_EQ(dlg->melodyFields.lengthRow, CSongData::NoteValueIndex(3));
}

TEST_F(CellsTest, TheNoteWalkScrollsThePageAndStopsAtTheLimit) {
  Start();
  NewSong(256, 4);
  dlg->SetNoteCursor(g_barsPerPage - 1, 7, 0);
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(dlg->topRow, 1);
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), g_barsPerPage);
  // From the last bar the walk refuses to leave the song's 1024 beats.
  dlg->topRow = dlg->LastTopRow();
  dlg->SetNoteCursor(255 - dlg->topRow * g_barsPerRow, 7, 0);
  cantrel_test::Sink().Clear();
  dlg->MoveNoteCursorNext();
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CBrevantDlg error"});
  EXPECT_EQ(dlg->SongBarOfCell(dlg->cursorBar), 255);
  EXPECT_EQ(dlg->song->bar_count, 256);
}

TEST_F(CellsTest, EnteringANoteGrowsTheSongWithinItsLimit) {
  Start();
  NewSong(2, 4);
  MelodyPanelFields& m = dlg->melodyFields;
  m.cursorBar = 1;
  m.cursorEighth = 6;
  m.typeRow = 2;  // middle octave
  m.nameRow = 4;  // E
  m.lengthRow = CSongData::NoteValueIndex(4);
  m.lyric = "la";
  m.secondSixteenth = 0;
  const int everything = MelodyPanelFields::kPitchChanged | MelodyPanelFields::kLengthChanged |
                         MelodyPanelFields::kLyricChanged;
  m.changed = everything;
  dlg->EnterPanelNote(0, 0, 1);
  EXPECT_EQ(dlg->song->bar_count, 3);
  EXPECT_EQ(dlg->song->cells[14].slot[0], CSongData::PitchFromRows(2, 4));
  EXPECT_STREQ(dlg->song->cells[14].lyric[0], "la");
  // At the limit nothing changes.
  NewSong(256, 4);
  m.cursorBar = 255;
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  m.changed = everything;
  dlg->EnterPanelNote(0, 0, 1);
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
}

TEST_F(CellsTest, EnteringANoteKeepsWhatTheUserDidNotChange) {
  Start();
  // Bar 0: a note of 2.5 eighths (no row of the length list) with a lyric, then rests.
  struct Case {
    const char* name;
    int pitch;      // of the note in the song
    int changed;    // what the user changed
    int typeRow, nameRow, lengthRow;  // the panel's rows when entered
    int value;                        // the note afterwards
    double length;
  };
  const int eighthRow = CSongData::NoteValueIndex(1);
  const int sixteenthRow = CSongData::NoteValueIndex(0.5);
  const std::vector<Case> cases = {
      {"nothing changed: a focus loss enters nothing", 64, 0, 1, 0, sixteenthRow,
       64, 2.5},
      {"a new pitch keeps the length and the lyric", 64, MelodyPanelFields::kPitchChanged, 2, 7,
       sixteenthRow, CSongData::PitchFromRows(2, 7), 2.5},
      {"a new length keeps a pitch outside the registers", 100, MelodyPanelFields::kLengthChanged,
       4, 4, eighthRow, 100, 1},
      {"a rest keeps its length", 64, MelodyPanelFields::kPitchChanged, 0, 0, sixteenthRow,
       NoteSlotRest, 2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewSong(2, 4);
    CSongData& song = *dlg->song;
    const int before[] = {c.pitch, -2, -2, -2, -2, -1, -1, -2};
    for (int k = 0; k < 8; ++k) song.cells[k / 2].slot[k % 2] = before[k];
    std::strcpy(song.cells[0].lyric[0], "la");
    dlg->SetNoteCursor(0, 0, 0);
    MelodyPanelFields& m = dlg->melodyFields;
    EXPECT_EQ(m.changed, 0);
    m.changed = c.changed;
    m.typeRow = c.typeRow;
    m.nameRow = c.nameRow;
    m.lengthRow = c.lengthRow;
    const std::vector<uint8_t> image = song.SerializeToVector();
    dlg->EnterPanelNote(0, 0, 1);
    double length = 0;
    EXPECT_EQ(song.GetNoteAt(0, 0, &length, false), c.value);
    EXPECT_EQ(length, c.length);
    EXPECT_STREQ(song.cells[0].lyric[0], "la");
    EXPECT_EQ(m.changed, 0);
    if (c.changed == 0) {
      EXPECT_EQ(song.SerializeToVector(), image);
    }
  }
}

TEST_F(CellsTest, TripletFigures) {
  Start();
  NewSong(2, 4);
  struct Case {
    int pattern;
    std::vector<int> before;  // slots of the run
    std::vector<int> after;
  } cases[] = {
      // Two sixteenths of one eighth: a triplet eighth and a triplet sixteenth.
      {5, {60, 62, -3}, {60, -2, 62}},
      {1, {60, 62, -3, -2, 64, -3}, {60, -2, 62, -2, 64, -2}},
      {4, {60, -2, -3, 62, -2, -3}, {60, -2, -2, -2, 62, -2}},
  };
  for (const Case& c : cases) {
    NewSong(2, 4);
    for (size_t x = 0; x < c.before.size(); ++x) dlg->song->cells[x / 3].slot[x % 3] = c.before[x];
    dlg->melodyFields.cursorBar = 0;
    dlg->melodyFields.cursorEighth = 0;
    dlg->MakeTriplets(c.pattern, 0);
    std::vector<int> after;
    for (size_t x = 0; x < c.after.size(); ++x) after.push_back(dlg->song->cells[x / 3].slot[x % 3]);
    EXPECT_EQ(after, c.after) << c.pattern;
  }
  // Through the triplet panel's message, at the end of the run.
  NewSong(2, 4);
  dlg->song->cells[2].slot[0] = 60;
  dlg->song->cells[2].slot[1] = 62;
  dlg->melodyFields.cursorEighth = 3;
  plat::PostAppMessage(dlg.get(), kMsgApp + 41, 5, 1);
  Pump();
  EXPECT_EQ(dlg->song->cells[2].slot[2], 62);
  // A run outside the cells changes nothing.
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  dlg->melodyFields.cursorEighth = 1;
  dlg->MakeTriplets(0, 1);
  dlg->melodyFields.cursorBar = 1;
  dlg->melodyFields.cursorEighth = 6;
  dlg->MakeTriplets(0, 0);
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
}

}  // namespace
