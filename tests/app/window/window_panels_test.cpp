// The melody and chord panels on the main window: made at start with the window's buttons on
// them, following the cursors, and the window's side of their messages.
#include "dialogs/chord_panel.h"
#include "dialogs/melody_panel.h"
#include "draw/button_picture.h"
#include "draw/chord_table_picture.h"
#include "tests/app/window/window_fixture.h"

#include <QComboBox>
#include <QLineEdit>

#include <cstring>

namespace {

class PanelsTest : public WindowTest {};

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

}  // namespace
