// The melody input panel driven through its own handlers and pictures against a recording main
// window: notes from PC keys, the keyboard, the guitar panel and the length buttons; what loading
// the panel does (nothing entered); the advice lines; the keyboard's colours and labels.
#include "dialogs/melody_panel.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/keyboard_picture.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/panels/panel_fixture.h"
#include "util/gne_music.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <optional>

namespace {

class MelodyPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CKeyboardPicture::ResetState();
    CBitmapGridPicture::ResetState();
    panel = std::make_unique<CMelodyDlg>();
    panel->SetPanelOwner(&owner);
    panel->Create();
    panel->FillNoteLengthLists();
    QCoreApplication::processEvents();
    owner.posted.clear();
  }
  void TearDown() override {
    panel.reset();
    CKeyboardPicture::ResetState();
    CBitmapGridPicture::ResetState();
  }
  // Loads the panel with the cell at (bar, eighth), as the main window does when its cursor moves.
  void Load(int bar, int eighth) {
    MelodyPanelFields& f = owner.melody;
    f.cursorBar = bar;
    f.cursorEighth = eighth;
    const int value = owner.song->GetSlotValue(bar, eighth, false);
    CSongData::SplitPitch(value, &f.typeRow, &f.nameRow);
    f.pitch = value;
    f.lengthRow = 1;
    panel->ShowCursorNote();
    QCoreApplication::processEvents();
    owner.posted.clear();
    owner.sent.clear();
  }
  RecordingOwner owner;
  std::unique_ptr<CMelodyDlg> panel;
};

TEST_F(MelodyPanelTest, ControlsSitAtTheirPlacesUnderTheirIds) {
  EXPECT_EQ(panel->objectName(), "130");
  EXPECT_EQ(plat::FromQString(panel->windowTitle()), "メロディ入力");
  struct Case {
    int id;
    QRect rect;  // drop-downs: left, top and width
  };
  const std::vector<Case> cases = {
      {1047, {10, 8, 154, 15}},   {1048, {173, 8, 70, 15}},   {1049, {251, 8, 53, 15}},
      {1050, {313, 8, 95, 15}},   {1019, {10, 32, 154, 0}},   {1021, {173, 32, 70, 0}},
      {1020, {251, 32, 53, 0}},   {1034, {313, 30, 95, 24}},  {1041, {10, 60, 400, 90}},
      {1040, {10, 157, 300, 60}}, {1055, {9, 225, 403, 81}},
  };
  for (const Case& c : cases) {
    auto* w = panel->findChild<QWidget*>(QString::number(c.id));
    ASSERT_NE(w, nullptr) << c.id;
    EXPECT_EQ(w->x(), c.rect.x()) << c.id;
    EXPECT_EQ(w->y(), c.rect.y()) << c.id;
    EXPECT_EQ(w->width(), c.rect.width()) << c.id;
    if (c.rect.height() > 0) {
      EXPECT_EQ(w->height(), c.rect.height()) << c.id;
    }
  }
  for (int id : {1004, 1005, 1051, 1052, 1042}) {
    EXPECT_NE(panel->findChild<QWidget*>(QString::number(id)), nullptr) << id;
  }
  EXPECT_EQ(panel->typeList->count(), 6);
  EXPECT_EQ(panel->lengthList->count(), 11);
  EXPECT_EQ(plat::FromQString(panel->nameList->itemText(1)), "ﾄﾞ#");
  EXPECT_EQ(CKeyboardPicture::KeyCount(0), 36);
}

TEST_F(MelodyPanelTest, PcKeysEnterNotesLengthsAndCursorMoves) {
  struct Case {
    const char* name;
    int key, bits;
    std::optional<int> pitch;  // the note entered, when one is
    int lengthRow;             // -1: unchanged
    std::vector<Message> posted;
    std::vector<Message> sent;
  };
  const std::vector<Case> cases = {
      {"F", 'F', 0, 60, -1, {{kApp + 10, 1, 0}}, {}},
      {"Shift+F", 'F', 2, 72, -1, {{kApp + 10, 1, 0}}, {}},
      {"A", 'A', 0, 55, -1, {{kApp + 10, 1, 0}}, {}},
      {"[", 0xDB, 0, 73, -1, {{kApp + 10, 1, 0}}, {}},
      {"Shift+]", 0xDD, 2, 86, -1, {{kApp + 10, 1, 0}}, {}},
      {"@ is no note", 0xC0, 0, std::nullopt, -1, {}, {}},
      {"5 is no length", '5', 0, std::nullopt, -1, {}, {}},
      {"numpad 4: quarter, cursor on", 0x64, 0, std::nullopt, 3, {{kApp + 16, 0, 0}},
       {{kApp + 35, 1, 0}}},
      {"8: half", '8', 0, std::nullopt, 6, {{kApp + 16, 0, 0}}, {{kApp + 35, 1, 0}}},
      {"0: sixteenth rest, cursor stays", '0', 0, -1, 0, {{kApp + 10, 1, 1}}, {}},
      {"left", 0x25, 0, std::nullopt, -1, {{kApp + 32, 0, 0}}, {}},
      {"right", 0x27, 0, std::nullopt, -1, {{kApp + 16, 0, 0}}, {}},
      {"ctrl", 'Z', 1, std::nullopt, -1, {{kApp + 39, 'Z', 1}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Load(1, 0);
    owner.melody.pitch = -99;
    panel->Send(kApp + 30, c.key, c.bits);
    EXPECT_EQ(owner.Posted(), c.posted);
    EXPECT_EQ(owner.sent, c.sent);
    if (c.pitch) {
      EXPECT_EQ(owner.melody.pitch, *c.pitch);
    }
    if (!c.pitch && c.sent.empty()) EXPECT_EQ(owner.melody.pitch, -99) << "nothing entered";
    if (c.lengthRow >= 0) {
      EXPECT_EQ(owner.melody.lengthRow, c.lengthRow);
    }
  }
}

TEST_F(MelodyPanelTest, KeyboardNotesFoldIntoTheFourRegisters) {
  struct Case {
    int note, pitch, typeRow;
  };
  for (const Case& c : std::vector<Case>{{48, 48, 1}, {60, 60, 2}, {95, 95, 4}, {30, 54, 1},
                                         {100, 88, 4}, {127, 91, 4}, {1, 49, 1}}) {
    Load(0, 0);
    panel->OnKeyboardNote(c.note);
    EXPECT_EQ(owner.melody.pitch, c.pitch) << c.note;
    EXPECT_EQ(owner.melody.typeRow, c.typeRow) << c.note;
    EXPECT_EQ(CKeyboardPicture::GetFirstPressedKey(0), c.pitch);
  }
  // A press on the panel's keyboard is a note too.
  Load(0, 0);
  const KeyRecord key = CKeyboardPicture::Key(0, 12);  // note 60
  CKeyboardPicture::OnPress(key.rect.left + 2, key.rect.bottom - 2, 0);
  EXPECT_EQ(owner.melody.pitch, 60);
}

TEST_F(MelodyPanelTest, GuitarNotesAboveTheRangeComeAnOctaveRangeLower) {
  Load(0, 0);
  panel->Send(kApp + 21, static_cast<uintptr_t>(-1), 0);
  EXPECT_TRUE(owner.Posted().empty());
  panel->Send(kApp + 21, 90, 0);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"音域外の音です。"});
  EXPECT_EQ(owner.melody.pitch, 78);
  panel->Send(kApp + 21, 70, 0);
  EXPECT_EQ(owner.melody.pitch, 70);
}

TEST_F(MelodyPanelTest, WithoutALengthTheWholeNoteIsTaken) {
  Load(0, 0);
  panel->lengthList->setCurrentIndex(-1);
  panel->OnKeyboardNote(62);
  EXPECT_EQ(owner.melody.lengthRow, 10);
  EXPECT_EQ(panel->lengthList->currentIndex(), 10);
}

TEST_F(MelodyPanelTest, ARestTakesNoLyric) {
  Load(0, 0);
  panel->lyricBox->setText(plat::ToQString("あ"));
  panel->typeList->setCurrentIndex(0);
  emit panel->typeList->activated(0);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"休符に歌詞は入力できません。"});
  EXPECT_TRUE(owner.Posted().empty());
  EXPECT_TRUE(owner.sent.empty());
}

TEST_F(MelodyPanelTest, LoadingThePanelEntersNothingAndOnlyTheUsersChangesDo) {
  owner.PutNote(2, 4, 67, 2);
  MelodyPanelFields& f = owner.melody;
  f.cursorBar = 2;
  f.cursorEighth = 4;
  f.typeRow = 2;
  f.nameRow = 7;
  f.lengthRow = 3;
  f.pitch = 67;
  f.lyric = "ら";
  f.position = "003-05.5";
  panel->ShowCursorNote();
  EXPECT_TRUE(owner.Posted().empty()) << "a cursor move does not enter its own note again";
  EXPECT_EQ(plat::FromQString(panel->windowTitle()), "003-05.5");
  EXPECT_EQ(panel->typeList->currentIndex(), 2);
  EXPECT_EQ(panel->nameList->currentIndex(), 7);
  EXPECT_EQ(panel->lengthList->currentIndex(), 3);
  EXPECT_EQ(plat::FromQString(panel->lyricBox->text()), "ら");
  EXPECT_EQ(CKeyboardPicture::GetFirstPressedKey(0), 67);
  // Losing the focus with nothing changed enters nothing either.
  QEvent deactivate(QEvent::WindowDeactivate);
  QCoreApplication::sendEvent(panel.get(), &deactivate);
  EXPECT_TRUE(owner.Posted().empty());

  // Each change marks what it changed, which is all the window enters.
  constexpr int kPitch = MelodyPanelFields::kPitchChanged;
  constexpr int kLength = MelodyPanelFields::kLengthChanged;
  struct Case {
    const char* name;
    void (*act)(CMelodyDlg*);
    std::vector<Message> posted;
    int changed;
  };
  const std::vector<Case> cases = {
      {"name list", [](CMelodyDlg* p) { p->nameList->setCurrentIndex(9); emit p->nameList->activated(9); },
       {{kApp + 10, 1, 1}}, kPitch},
      {"length list", [](CMelodyDlg* p) { p->lengthList->setCurrentIndex(1); emit p->lengthList->activated(1); },
       {{kApp + 10, 1, 1}}, kLength},
      {"type list", [](CMelodyDlg* p) { p->typeList->setCurrentIndex(3); emit p->typeList->activated(3); },
       {{kApp + 10, 1, 1}}, kPitch},
      {"lyric typed", [](CMelodyDlg* p) { QTest::keyClicks(p->lyricBox, "a"); }, {{kApp + 34, 0, 0}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    owner.posted.clear();
    f.changed = 0;
    c.act(panel.get());
    EXPECT_EQ(owner.Posted(), c.posted);
    EXPECT_EQ(f.changed, c.changed);
  }
  EXPECT_EQ(f.nameRow, 9);
  EXPECT_EQ(f.typeRow, 3);
  EXPECT_EQ(f.pitch, 6 * 12 + 9);
  EXPECT_EQ(f.lyric, "らa");
}

TEST_F(MelodyPanelTest, LengthButtonsEnterAndMoveOn) {
  Load(0, 0);
  panel->OnKeyboardNote(64);
  owner.posted.clear();
  // Cell (0, 6) is the quarter note.
  const plat::Rect quarter = CBitmapGridPicture::CellRect(0, 0, 6);
  CBitmapGridPicture::OnPress(quarter.left + 5, quarter.top + 5, 0);
  EXPECT_EQ(owner.melody.lengthRow, 3);
  EXPECT_EQ(owner.sent, (std::vector<Message>{{kApp + 35, 1, 0}}));
  EXPECT_TRUE(owner.melody.changed & MelodyPanelFields::kLengthChanged);
  EXPECT_EQ(owner.Posted(), (std::vector<Message>{{kApp + 16, 0, 0}}));
  int r = 0, c = 0;
  CBitmapGridPicture::FindSelectedCell(0, &r, &c);
  EXPECT_EQ(std::make_pair(r, c), std::make_pair(0, 6));
  EXPECT_EQ(CBitmapGridPicture::CellLabel(0, 0, 6), "4") << "digit guides shown";
  // The rest row: an eighth rest (1, 8).
  owner.posted.clear();
  const plat::Rect rest = CBitmapGridPicture::CellRect(0, 1, 8);
  CBitmapGridPicture::OnPress(rest.left + 5, rest.top + 5, 0);
  EXPECT_EQ(owner.melody.typeRow, 0);
  EXPECT_EQ(owner.melody.lengthRow, 1);
  const int all = MelodyPanelFields::kPitchChanged | MelodyPanelFields::kLengthChanged |
                  MelodyPanelFields::kLyricChanged;
  EXPECT_EQ(owner.melody.changed & all, all) << "a rest button sets the rest, its length and no lyric";
  EXPECT_EQ(owner.Posted(), (std::vector<Message>{{kApp + 10, 1, 1}, {kApp + 16, 0, 0}}));
}

TEST_F(MelodyPanelTest, TheKeyboardShowsTheScaleAndTheKeysOfThePcKeyboard) {
  struct Case {
    int guide, keyRow, note;
    plat::ColorRef colour;
  };
  const int gMajor = KeyIndexFromName("G");
  const std::vector<Case> cases = {
      {1, 0, 60, 0xBFFFFF}, {1, 0, 61, 0x5F5F5F}, {1, 0, 66, 0x5F5F5F},
      {1, gMajor, 66, 0x205050}, {1, gMajor, 65, 0xDFDFDF}, {0, 0, 60, 0xFFFFFF},
      {0, 0, 61, 0x000000}, {0, gMajor, 65, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    owner.guide = c.guide;
    owner.keyRow = c.keyRow;
    panel->ColourScaleKeys();
    EXPECT_EQ(CKeyboardPicture::Key(0, c.note - 48).colour, c.colour)
        << c.guide << " " << c.keyRow << " " << c.note;
  }
  owner.guide = 1;
  panel->SetKeyLabels();
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 60 - 48).label), "F");
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 55 - 48).label), "A");
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 74 - 48).label), "]");
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 54 - 48).label), "");
  owner.guide = 0;
  panel->SetKeyLabels();
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 60 - 48).label), "");
  // A new range from the settings builds a new keyboard.
  owner.low = 36;
  owner.high = 96;
  panel->RebuildKeyboard();
  EXPECT_EQ(CKeyboardPicture::KeyCount(0), 61);
}

// ---- advice ---------------------------------------------------------------------------------------

TEST_F(MelodyPanelTest, PreviousNotesStepOverHeldCellsAndRestRuns) {
  owner.PutNote(0, 0, 60, 3);   // C over three eighths
  owner.PutNote(0, 3, -1, 1);   // rests
  owner.PutNote(0, 4, -1, 1);
  owner.PutNote(0, 5, 64, 4);   // E into bar 1
  owner.PutNote(1, 1, 67, 1);
  struct Case {
    int bar, eighth, value, foundBar, foundEighth;
  };
  for (const Case& c : std::vector<Case>{{0, 0, -1, -1, -1},
                                         {0, 3, 60, 0, 0},
                                         {0, 5, -1, 0, 3},
                                         {1, 1, 64, 0, 5},
                                         {1, 2, 67, 1, 1}}) {
    int b = 9, e = 9;
    EXPECT_EQ(CMelodyDlg::FindPreviousNote(*owner.song, c.bar, c.eighth, &b, &e), c.value)
        << c.bar << "-" << c.eighth;
    EXPECT_EQ(b, c.foundBar);
    EXPECT_EQ(e, c.foundEighth);
  }
}

TEST_F(MelodyPanelTest, AdviceDescribesTheMotionAndTheNotesWithinReach) {
  owner.song->SetChord(0, 0, 0, 0, 4, 0, false);  // C major over bar 0
  owner.PutNote(0, 0, 60, 1);
  owner.PutNote(0, 1, 65, 1);  // up a fourth
  owner.PutNote(0, 2, 64, 1);  // down a step
  owner.PutNote(0, 3, 55, 1);  // down a sixth
  const std::string c = CMelodyDlg::FormatPitchName(60), e = CMelodyDlg::FormatPitchName(64),
                    f = CMelodyDlg::FormatPitchName(65);
  struct Case {
    int eighth;
    std::vector<std::string> lines;  // "*": any non-empty text
  };
  const std::vector<Case> cases = {
      {0, {"出だしの音です。", "", "", "", "", "*"}},
      {1, {"1つ前の音は[" + c + "]です。", "*", "*", "*", "", "*"}},
      {2, {"2つ前の音は[" + c + "]、1つ前の音は[" + f + "]で[" + GneFormatIntervalName(5) + "]の[" +
               GneFormatMotionName(5) + "]です。",
           "*", "*", "*", "大きな跳躍の後なので順次進行が望まれます。", "*"}},
      {3, {"*", "*", "*", "*", "", "*"}},
      {4, {"*", "*", "*", "*", "", "*"}},  // after the downward leap: no warning
  };
  for (const Case& k : cases) {
    owner.melody.cursorBar = 0;
    owner.melody.cursorEighth = k.eighth;
    const std::vector<std::string> lines = panel->AdviceLines();
    ASSERT_EQ(lines.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
      if (k.lines[i] == "*") {
        EXPECT_FALSE(lines[i].empty()) << k.eighth << " line " << i + 1;
      } else {
        EXPECT_EQ(lines[i], k.lines[i]) << k.eighth << " line " << i + 1;
      }
    }
  }
  // From E over C major: scale steps D and F, chord tones C and G, other scale tones B and A.
  owner.melody.cursorEighth = 3;
  const std::vector<std::string> lines = panel->AdviceLines();
  auto name = [](int p) { return CMelodyDlg::FormatPitchName(p); };
  EXPECT_EQ(lines[1], "音階内に[順次進行]させる場合は、[" + name(62) + "]、[" + name(65) + "]の選択が可能です。");
  EXPECT_EQ(lines[2], "コードの内音に[跳躍進行]させる場合は[" + name(60) + "]、[" + name(67) + "]の選択が可能です。");
  EXPECT_EQ(lines[3], "コードの外音に[跳躍進行]させる場合は[" + name(59) + "]、[" + name(69) + "]の選択が可能です。");
  EXPECT_EQ(lines[5], "現在の音域は、[" + name(55) + "]から[" + name(65) + "]の[" +
                          GneFormatIntervalName(10) + "]です。");
  // On a beat without a chord nothing is in or out of it.
  owner.PutSkip(0, 1);
  const std::vector<std::string> skipped = panel->AdviceLines();
  EXPECT_EQ(skipped[2], "");
  EXPECT_EQ(skipped[3], "");
}

TEST_F(MelodyPanelTest, PitchNamesCarryTheirRegisterMark) {
  struct Case {
    int pitch;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{59, "▽" + GneSolfegeName(59)},
                                         {60, GneSolfegeName(60)},
                                         {72, "△" + GneSolfegeName(72)},
                                         {90, "▲" + GneSolfegeName(90)},
                                         {-4, "ﾗｯﾌﾟ音"},
                                         {-1, ""},
                                         {200, ""}}) {
    EXPECT_EQ(CMelodyDlg::FormatPitchName(c.pitch), c.text) << c.pitch;
  }
  // A rap note before the cursor is named, not looked up.
  owner.PutNote(0, 0, -4, 1);
  owner.PutNote(0, 1, 62, 1);
  owner.melody.cursorEighth = 1;
  EXPECT_EQ(panel->AdviceLines()[0], "1つ前の音は[ﾗｯﾌﾟ音]です。");
}

}  // namespace
