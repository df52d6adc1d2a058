// The melody and chord panels on the main window: made at start with the window's buttons on
// them, following the cursors, and the window's side of their messages.
#include "dialogs/chord_panel.h"
#include "dialogs/melody_panel.h"
#include "draw/button_picture.h"
#include "draw/chord_table_picture.h"
#include "draw/keyboard_picture.h"
#include "tests/app/window/window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include <cstring>

namespace {

class PanelsTest : public WindowTest {
 protected:
  // A pick in one of the window's lists, as the user makes it in the list's popup.
  static void Choose(QComboBox* list, int row) {
    list->setCurrentIndex(row);
    emit list->activated(row);
  }
  // The chord names (the text before the line break) of a row of the chord table.
  static std::vector<std::string> TableRow(int row) {
    std::vector<std::string> names;
    for (int c = 0; c < CChordDlg::kTableColumns; ++c) {
      const std::string text = CChordTablePicture::CellText(0, row, c);
      names.push_back(text.substr(0, text.find('\n')));
    }
    return names;
  }
  // The melody keyboard's colour of a note.
  static plat::ColorRef KeyColour(int note) {
    for (int i = 0; i < CKeyboardPicture::KeyCount(0); ++i) {
      if (CKeyboardPicture::Key(0, i).note == note) return CKeyboardPicture::Key(0, i).colour;
    }
    ADD_FAILURE() << "no key " << note;
    return 0;
  }
  // An eighth's cell: a note (or rest start, -1) that does not split the eighth.
  void SetEighth(int bar, int eighth, int value) {
    dlg->song->cells[dlg->song->CellIndex(bar, eighth)] =
        NoteCell{{value, NoteSlotHold, NoteSlotVacant}, {}};
  }
  static void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }
};

TEST_F(PanelsTest, PanelsAreMadeHiddenWithTheWindowsButtonsOnThem) {
  Start();
  ASSERT_NE(g_melodyPanel, nullptr);
  ASSERT_NE(g_chordPanel, nullptr);
  EXPECT_FALSE(g_melodyPanel->isVisible());
  EXPECT_FALSE(g_chordPanel->isVisible());
  EXPECT_EQ(g_melodyPanel->typeList->count(), 6);
  EXPECT_EQ(g_chordPanel->keyList->count(), 30);
  struct Case {
    int code;
    QWidget* panel;
    int id;
    QRect rect;
  };
  const std::vector<Case> cases = {
      {14, g_melodyPanel, 1004, {350, 157, 40, 34}}, {15, g_melodyPanel, 1005, {390, 157, 40, 34}},
      {16, g_melodyPanel, 1051, {325, 192, 53, 30}}, {17, g_melodyPanel, 1052, {376, 192, 53, 30}},
      {18, g_melodyPanel, 1042, {308, 157, 34, 34}}, {19, g_chordPanel, 1041, {430, 18, 34, 34}},
      {20, g_chordPanel, 1042, {464, 18, 34, 34}},   {21, g_chordPanel, 1043, {515, 18, 53, 30}},
  };
  ASSERT_GE(CButtonPicture::Count(), 22);
  for (const Case& c : cases) {
    auto* host = c.panel->findChild<QWidget*>(QString::number(c.id));
    ASSERT_NE(host, nullptr) << c.code;
    EXPECT_EQ(host->geometry(), c.rect) << c.code;
  }
  EXPECT_EQ(CButtonPicture::Caption(16), " ｷﾞﾀｰ");
  EXPECT_EQ(CButtonPicture::Caption(21), " 検 索");
  // The chord table is the key's.
  EXPECT_EQ(CChordTablePicture::CellText(0, 0, 0).rfind("C", 0), 0u);
  // Pictures fit the panels.
  for (QWidget* panel : {static_cast<QWidget*>(g_melodyPanel), static_cast<QWidget*>(g_chordPanel)}) {
    for (QWidget* w : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!w->isVisibleTo(panel)) continue;
      EXPECT_LE(w->geometry().right(), panel->width()) << w->objectName().toStdString();
      EXPECT_LE(w->geometry().bottom(), panel->height()) << w->objectName().toStdString();
    }
  }
}

TEST_F(PanelsTest, CursorsShowTheirPanelsAndKeysMakeNotes) {
  Start();
  NewSong(8, 4);
  dlg->SetNoteCursor(1, 2, 0);
  Pump();
  EXPECT_TRUE(g_melodyPanel->isVisible());
  EXPECT_EQ(g_melodyPanel->windowTitle().toStdString(), "002-03");
  // A key of the keyboard hook reaches the panel through the window and comes back as a note.
  plat::PostAppMessage(dlg.get(), kMsgApp + 30, 'G', 0);
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(1, 2, false), 62);
  plat::PostAppMessage(dlg.get(), kMsgApp + 30, 'G', 2);  // with Shift
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(1, 2, false), 74);
  // The hook's callback posts the same.
  dlg->OnHookKeyDown('F', 0, 0, 0);
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(1, 2, false), 60);
  // A MIDI keyboard's note-on.
  plat::PostAppMessage(dlg.get(), kMsgMidiData, 0, 0x404590);
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(1, 2, false), 69);
  // The panel's lyric.
  dlg->melodyFields.lyric = "ら";
  plat::PostAppMessage(dlg.get(), kMsgApp + 34);
  Pump();
  char lyric[8] = {};
  dlg->song->GetSlotLyric(1, 2, lyric, false);
  EXPECT_STREQ(lyric, "ら");
  // The chord cursor.
  dlg->SetChordCursor(2, 1, 0);
  Pump();
  EXPECT_TRUE(g_chordPanel->isVisible());
}

TEST_F(PanelsTest, ChordsFromTheDictionaryAndTheCursor) {
  Start();
  NewSong(8, 4);
  dlg->SetChordCursor(0, 2, 0);
  Pump();
  // "A" "m" "P" "o": A minor, no slash bass.
  const uint32_t code = 'A' | ('m' << 8) | ('P' << 16) | (static_cast<uint32_t>('o') << 24);
  plat::PostAppMessage(dlg.get(), kMsgApp + 25, 9, static_cast<intptr_t>(code));
  Pump();
  EXPECT_EQ(g_chordPanel->rootList->currentIndex(), 9);
  EXPECT_EQ(g_chordPanel->typeList->currentIndex(), 1);
  int root = -1, type = -1, key = 0, bass = -1;
  dlg->song->GetChord(0, 2, &root, &type, &key, &bass, 0);
  EXPECT_EQ(root, 9);
  EXPECT_EQ(type, 1);
  EXPECT_EQ(bass, 0);
  // An unknown root letter and quality keep the lists.
  plat::PostAppMessage(dlg.get(), kMsgApp + 25, 9, static_cast<intptr_t>('X' | ('z' << 8)));
  Pump();
  EXPECT_EQ(g_chordPanel->rootList->currentIndex(), 9);
  EXPECT_EQ(g_chordPanel->typeList->currentIndex(), 1);
  // 33078 reads the cursor's chord back into the panel.
  dlg->song->SetChord(0, 2, 7, 2, 1, 0, false);
  plat::PostAppMessage(dlg.get(), kMsgApp + 310);
  Pump();
  EXPECT_EQ(dlg->chordFields.root, 7);
  EXPECT_EQ(dlg->chordFields.type, 2);
  EXPECT_EQ(g_chordPanel->rootList->currentIndex(), 7);
}

TEST_F(PanelsTest, AnOpenedSongsChordsJoinTheTable) {
  Start();
  NewSong(4, 4);
  dlg->song->SetChord(0, 0, 1, 0, 4, 0, false);   // C#: not diatonic in C
  dlg->song->SetChord(1, 0, 10, 0, 4, 0, false);  // A#
  dlg->CollectSongChords();
  int row = -1, column = -1;
  g_chordPanel->FindChordInTable("C#", &row, &column);
  EXPECT_EQ(row, 0);
  g_chordPanel->FindChordInTable("A#", &row, &column);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(CChordTablePicture::CellText(0, row, column).rfind("A#", 0), 0u);
}

TEST_F(PanelsTest, AKeyChosenInTheListRebuildsTheChordTableAndRecoloursTheKeyboard) {
  Start();
  dlg->config.guideShown = 1;
  NewSong(8, 4);
  Choose(dlg->keyList, 1);  // G major
  Pump();
  EXPECT_EQ(dlg->song->key_index, 1);
  EXPECT_EQ(dlg->chordFields.keyRow, 1);
  EXPECT_EQ(TableRow(0),
            (std::vector<std::string>{"G", "Am", "Bm", "C", "D", "Em", "F#dim"}));
  EXPECT_EQ(TableRow(1),
            (std::vector<std::string>{"GM7", "Am7", "Bm7", "CM7", "D7", "Em7", "F#m7b5"}));
  // F# joins the scale and F leaves it, at once.
  EXPECT_EQ(KeyColour(66), 0x205050u);
  EXPECT_EQ(KeyColour(65), 0xDFDFDFu);
  EXPECT_EQ(KeyColour(67), 0xBFFFFFu);
  // Back to C: the table and the keys follow again.
  Choose(dlg->keyList, 0);
  Pump();
  EXPECT_EQ(TableRow(0), (std::vector<std::string>{"C", "Dm", "Em", "F", "G", "Am", "Bdim"}));
  EXPECT_EQ(KeyColour(66), 0x5F5F5Fu);
  EXPECT_EQ(KeyColour(65), 0xBFFFFFu);
}

TEST_F(PanelsTest, AMetreChangeBuildsTheChordTableForTheSongsKey) {
  Start();
  NewSong(8, 4, 2);  // D major, written past the key list's handler
  ASSERT_EQ(TableRow(0)[0], "C");
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  Choose(dlg->metreList, 2);  // 4/4 into 6/8
  Pump();
  ASSERT_EQ(dlg->song->beats_per_bar, 3);
  EXPECT_EQ(dlg->song->key_index, 2);
  EXPECT_EQ(TableRow(0), (std::vector<std::string>{"D", "Em", "F#m", "G", "A", "Bm", "C#dim"}));
}

TEST_F(PanelsTest, ANoteTypedAfterAScrollLandsInTheFirstBarShown) {
  Start();
  NewSong(32, 4);
  dlg->SetNoteCursor(0, 0, 0);
  Pump();
  dlg->scrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  Pump();
  ASSERT_EQ(dlg->topRow, 1);
  const int first = dlg->SongBarOfCell(0);
  ASSERT_GT(first, 0);
  char position[16];
  std::snprintf(position, sizeof position, "%03d-01", first + 1);
  EXPECT_EQ(dlg->melodyFields.position, position);
  EXPECT_EQ(g_melodyPanel->windowTitle().toStdString(), position) << "the panel shows it";
  plat::PostAppMessage(dlg.get(), kMsgApp + 30, 'F', 0);
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(first, 0, false), 60);
  EXPECT_NE(dlg->song->GetSlotValue(0, 0, false), 60) << "the bar scrolled away keeps its note";
}

TEST_F(PanelsTest, EnterInTheMelodyPanelMergesRestsAndStepsPastARest) {
  Start();
  NewSong(8, 4);
  // Bar 0: a note, an eighth of two sixteenth rests, notes.
  const int bar0[8] = {64, -1, 67, 69, 71, 72, 74, 76};
  for (int e = 0; e < 8; ++e) SetEighth(0, e, bar0[e]);
  dlg->song->cells[1].slot[1] = NoteSlotRest;
  dlg->SetNoteCursor(0, 0, 0);
  Pump();
  ASSERT_TRUE(g_melodyPanel->isVisible());
  Press(g_melodyPanel->lyricBox, Qt::Key_Return);
  Pump();
  // The two rests are one now.
  EXPECT_EQ(dlg->song->GetSlotValue(0, 1, false), NoteSlotRest);
  EXPECT_EQ(dlg->song->GetSlotValue(0, 1, true), NoteSlotHold);
  // The cursor landed on the rest and went on past it to the next note, which the panel shows.
  EXPECT_EQ(dlg->cursorEighth, 2);
  EXPECT_EQ(dlg->melodyFields.cursorEighth, 2);
  EXPECT_EQ(g_melodyPanel->windowTitle().toStdString(), "001-03");
  // From a note onto a note: one step (Enter on a list of the panel as well).
  Press(g_melodyPanel->typeList, Qt::Key_Return);
  Pump();
  EXPECT_EQ(dlg->cursorEighth, 3);
}

TEST_F(PanelsTest, TheInputModeButtonTellsTheMelodyPanel) {
  Start();
  NewSong(8, 4);
  SetEighth(0, 0, 64);
  dlg->SetNoteCursor(0, 0, 0);
  Pump();
  if (dlg->config.inputMode == 0) dlg->DispatchButtonCommand(11);
  ASSERT_EQ(dlg->config.inputMode, 1);
  // Into PC-keyboard mode: the hook is in, and a typed note takes the lyric box away.
  dlg->DispatchButtonCommand(11);
  Pump();
  EXPECT_EQ(dlg->config.inputMode, 0);
  EXPECT_TRUE(CKeyboardHook::Installed());
  plat::PostAppMessage(dlg.get(), kMsgApp + 30, 'G', 0);
  Pump();
  EXPECT_EQ(dlg->song->GetSlotValue(0, 0, false), 62);
  EXPECT_FALSE(g_melodyPanel->lyricBox->isEnabled());
  // Out of it: the hook goes and the panel, told of the mode, gives the lyric box back.
  dlg->DispatchButtonCommand(11);
  Pump();
  EXPECT_EQ(dlg->config.inputMode, 1);
  EXPECT_FALSE(CKeyboardHook::Installed());
  EXPECT_TRUE(g_melodyPanel->lyricBox->isEnabled());
}

TEST_F(PanelsTest, AnOpenedOrDroppedSongBuildsTheChordTableForItsKey) {
  Start();
  struct Case {
    int key;
    bool drop;
    std::vector<std::string> triads;
  } cases[] = {
      {2, false, {"D", "Em", "F#m", "G", "A", "Bm", "C#dim"}},
      {3, true, {"A", "Bm", "C#m", "D", "E", "F#m", "G#dim"}},
  };
  for (const Case& c : cases) {
    CSongData other;
    other.Reset(4, 4, c.key, 1);
    const std::filesystem::path path = cantrel_test::TempDir() / ("key" + std::to_string(c.key) + ".mwd");
    ASSERT_TRUE(other.SaveAs(4, c.key, &path, 1));
    if (c.drop) {
      dlg->OnDropFiles({path});
    } else {
      dialogs.QueueFile(path);
      dlg->DispatchButtonCommand(2);
    }
    EXPECT_EQ(dlg->song->key_index, c.key);
    EXPECT_EQ(dlg->chordFields.keyRow, c.key);
    EXPECT_EQ(TableRow(0), c.triads) << c.key;
  }
}

}  // namespace
