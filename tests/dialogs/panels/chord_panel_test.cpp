// The chord input panel driven through its own handlers and its table against a recording main
// window: spelling of the lists by key, chords from the lists and the table, the entry modes and
// their refusals, the harmonic functions and the advice lines.
#include "dialogs/chord_panel.h"
#include "draw/chord_table_picture.h"
#include "draw/main_dialog_helper.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/panels/panel_fixture.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QGroupBox>
#include <QSpinBox>

namespace {

class ChordPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CChordTablePicture::ResetState();
    panel = std::make_unique<CChordDlg>();
    panel->SetPanelOwner(&owner);
    panel->Create();
    panel->FillTypeAndKeyLists();
    SetKey(0);
    panel->show();
    owner.chord.root = 0;
    owner.chord.type = 0;
    owner.chord.beats = 1;
    owner.chord.cursorBar = 1;
    owner.chord.cursorBeat = 1;
    owner.song->SetChord(0, 0, 0, 0, 32, 0, false);  // C everywhere
    Reload();
  }
  void TearDown() override {
    panel.reset();
    CChordTablePicture::ResetState();
  }
  void SetKey(int keyRow) {
    owner.chord.keyRow = keyRow;
    owner.keyRow = keyRow;
    panel->BuildKeyChordTable();
    panel->RefreshForKey();
  }
  // The main window's reload after a cursor move; nothing of it is entered.
  void Reload() {
    panel->PostRefresh();
    QCoreApplication::processEvents();
    owner.posted.clear();
    owner.entered.clear();
  }
  std::string Cell(int row, int column) const {
    const char* slot = &panel->TableText()[row * 512 + column * 32];
    return std::string(slot, strnlen(slot, 32));
  }
  std::string Marked() const {
    int r = -1, c = -1;
    CChordTablePicture::FindMarkedCell(0, &r, &c);
    return r < 0 ? std::string() : CChordTablePicture::CellText(0, r, c);
  }
  static void Choose(QComboBox* list, int row) {
    list->setCurrentIndex(row);
    emit list->activated(row);
  }
  RecordingOwner owner;
  std::unique_ptr<CChordDlg> panel;
};

TEST_F(ChordPanelTest, ControlsSitAtTheirPlacesUnderTheirIds) {
  EXPECT_EQ(panel->objectName(), "129");
  EXPECT_EQ(plat::FromQString(panel->windowTitle()), "コード入力");
  struct Case {
    int id, left, top, width, height;  // drop-downs: height 0 (ours)
  };
  const std::vector<Case> cases = {
      {1054, 9, 8, 55, 45},   {1001, 18, 23, 38, 0},  {1056, 65, 8, 55, 45},
      {1002, 73, 23, 48, 0},  {1052, 123, 8, 212, 45}, {1018, 131, 24, 48, 0},
      {1019, 179, 24, 88, 0}, {1020, 266, 24, 61, 0},  {1053, 345, 8, 69, 45},
      {1032, 354, 23, 53, 23}, {1040, 10, 60, 560, 80}, {1055, 11, 146, 557, 68},
  };
  for (const Case& c : cases) {
    auto* w = panel->findChild<QWidget*>(QString::number(c.id));
    ASSERT_NE(w, nullptr) << c.id;
    EXPECT_EQ(w->geometry().topLeft(), QPoint(c.left, c.top)) << c.id;
    EXPECT_EQ(w->width(), c.width) << c.id;
    if (c.height) {
      EXPECT_EQ(w->height(), c.height) << c.id;
    }
  }
  for (int id : {1041, 1042, 1043}) EXPECT_NE(panel->findChild<QWidget*>(QString::number(id)), nullptr);
  EXPECT_EQ(panel->typeList->count(), 22);
  EXPECT_EQ(panel->keyList->count(), 30);
  EXPECT_EQ(panel->modeList->count(), 3);
  EXPECT_EQ(panel->beatsSpin->minimum(), 1);
  EXPECT_EQ(panel->beatsSpin->maximum(), 8);
  EXPECT_EQ(CChordTablePicture::Rows(0), 2);
  EXPECT_EQ(CChordTablePicture::Columns(0), 7);
  EXPECT_EQ(CChordTablePicture::CellText(0, 0, 1).rfind("Dm", 0), 0u);
}

TEST_F(ChordPanelTest, ListsAreSpelledForTheKey) {
  struct Case {
    const char* key;
    int pc;
    const char* root;
    const char* bass;
  };
  const std::vector<Case> cases = {
      {"C", 1, "C#", "on C#"},  {"C", 10, "A#", "on A#"}, {"Dm", 1, "C#", "on Db"},
      {"Dm", 3, "Eb", "on Eb"}, {"Dm", 6, "Gb", "on Gb"}, {"Dm", 8, "Ab", "on Ab"},
      {"Dm", 10, "Bb", "on Bb"}, {"F", 4, "E", "on E"},   {"F", 10, "Bb", "on Bb"},
      {"Dm", 2, "D", " "},       // the root's own row: no slash bass
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.pc));
    owner.chord.root = 2;
    owner.chord.bass = 0;
    SetKey(KeyIndexFromName(c.key));
    EXPECT_EQ(plat::FromQString(panel->rootList->itemText(c.pc)), c.root);
    EXPECT_EQ(plat::FromQString(panel->bassList->itemText(c.pc)), c.bass);
  }
  // A beat without a chord selects no bass row.
  owner.chord.root = -1;
  panel->FillBassList(0);
  EXPECT_EQ(panel->bassList->currentIndex(), -1);
}

TEST_F(ChordPanelTest, ChoosingFromTheListsEntersAndMarksTheChord) {
  panel->typeList->setCurrentIndex(1);
  Choose(panel->rootList, 2);
  ASSERT_EQ(owner.entered.size(), 1u);
  EXPECT_EQ(owner.entered[0].root, 2);
  EXPECT_EQ(owner.entered[0].type, 1);
  EXPECT_EQ(owner.entered[0].bass, 0);
  EXPECT_EQ(Marked().rfind("Dm", 0), 0u);
  // C# is not in C's table: it takes row 0 of the C column, whose old text moves down.
  const std::string oldTop = Cell(0, 0);
  panel->typeList->setCurrentIndex(0);
  Choose(panel->rootList, 1);
  EXPECT_EQ(Cell(0, 0).rfind("C#\n", 0), 0u);
  EXPECT_EQ(Cell(1, 0), oldTop);
  EXPECT_EQ(CChordTablePicture::CellText(0, 1, 0), oldTop);
  EXPECT_EQ(Marked(), Cell(0, 0));
  // Choosing it again changes the table no more.
  Choose(panel->rootList, 1);
  EXPECT_EQ(Cell(1, 0), oldTop);
  // The bass list: "on E" under C is an interval of 4.
  Choose(panel->rootList, 0);
  Choose(panel->bassList, 4);
  EXPECT_EQ(owner.entered.back().bass, 4);
  // A list without a selection enters no half chord.
  owner.entered.clear();
  panel->bassList->setCurrentIndex(-1);
  panel->ApplySelection();
  EXPECT_TRUE(owner.entered.empty());
}

TEST_F(ChordPanelTest, TheTableEntersItsChordAndASecondPressMovesOn) {
  const plat::Rect g = CChordTablePicture::CellRect(0, 0, 4);
  CChordTablePicture::OnPress(g.left + 3, g.top + 3, 0);
  ASSERT_EQ(owner.entered.size(), 1u);
  EXPECT_EQ(owner.entered[0].root, 7);
  EXPECT_EQ(owner.entered[0].type, 0);
  EXPECT_EQ(owner.cursorMoves, 0) << "the first press only enters";
  EXPECT_EQ(panel->rootList->currentIndex(), 7);
  CChordTablePicture::OnPress(g.left + 3, g.top + 3, 0);
  EXPECT_EQ(owner.cursorMoves, 1);
  const plat::Rect g7 = CChordTablePicture::CellRect(0, 1, 4);
  CChordTablePicture::OnPress(g7.left + 3, g7.top + 3, 0);
  EXPECT_EQ(owner.entered.back().type, 2);
  EXPECT_EQ(owner.cursorMoves, 1);
  EXPECT_TRUE(owner.Posted().empty()) << "the advice is the panel's own message";
}

TEST_F(ChordPanelTest, LoadingThePanelEntersNothing) {
  owner.chord.root = 9;
  owner.chord.type = 4;
  owner.chord.beats = 3;
  Reload();
  EXPECT_TRUE(owner.entered.empty());
  EXPECT_EQ(panel->rootList->currentIndex(), 9);
  EXPECT_EQ(panel->typeList->currentIndex(), 4);
  EXPECT_EQ(panel->beatsSpin->value(), 3);
  EXPECT_EQ(Marked().rfind("Am7", 0), 0u);
  // The user's step of the beats enters the chord.
  panel->beatsSpin->stepUp();
  ASSERT_EQ(owner.entered.size(), 1u);
  EXPECT_EQ(owner.entered[0].beats, 4);
}

TEST_F(ChordPanelTest, EntryModesAndTheirRefusals) {
  const std::string refused = "その位置には指定できません。";
  struct Case {
    const char* name;
    int beat;
    void (*prepare)(RecordingOwner&);
    int mode;
    bool refused;
    int modeAfter;
    std::vector<Message> posted;
    bool erased;
  };
  const std::vector<Case> cases = {
      {"erase at a bar's first beat", 0, nullptr, 2, true, 0, {}, false},
      {"erase at a bar's last beat", 3, nullptr, 2, false, 2, {{kApp + 38, 0, 0}, {33078, 0, 0}}, true},
      {"erase before a chord", 1, nullptr, 2, true, 0, {}, false},
      {"erase before a Skip", 1, [](RecordingOwner& o) { o.PutSkip(1, 2); }, 2, false, 2,
       {{kApp + 38, 0, 0}, {33078, 0, 0}}, true},
      {"on the beat of a Skip after a Skip", 1,
       [](RecordingOwner& o) {
         o.PutSkip(1, 0);
         o.PutSkip(1, 1);
       },
       0, true, 2, {}, false},
      {"second half of a Skip after a chord", 1, [](RecordingOwner& o) { o.PutSkip(1, 1); }, 1,
       false, 1, {{kApp + 37, 0, 0}, {kApp + 38, 0, 0}, {33078, 0, 0}}, false},
      {"on the beat of a chord", 2, nullptr, 0, false, 0, {{33078, 0, 0}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    owner.song->SetChord(0, 0, 0, 0, 32, 0, false);
    if (c.prepare) c.prepare(owner);
    owner.chord.cursorBar = 1;
    owner.chord.cursorBeat = c.beat;
    owner.chord.entryMode = 0;
    Reload();
    cantrel_test::Sink().Clear();
    Choose(panel->modeList, c.mode);
    EXPECT_EQ(cantrel_test::Sink().Texts(),
              c.refused ? std::vector<std::string>{refused} : std::vector<std::string>{});
    EXPECT_EQ(panel->modeList->currentIndex(), c.modeAfter);
    EXPECT_EQ(owner.Posted(), c.posted);
    EXPECT_EQ(!owner.entered.empty() && owner.entered.back().root == -1, c.erased);
    if (c.refused) {
      EXPECT_TRUE(owner.entered.empty());
    }
  }
  // A Skip after a chord takes the chord before it.
  char before[8] = {}, text[8] = {};
  int attribute = 0;
  owner.PutSkip(1, 1);
  owner.chord.cursorBeat = 1;
  Choose(panel->modeList, 0);
  owner.GetChordCell(1, 0, before, &attribute);
  owner.GetChordCell(1, 1, text, &attribute);
  EXPECT_STREQ(text, before);
}

TEST_F(ChordPanelTest, HarmonicFunctionsByKeyDegreeAndType) {
  const int am = KeyIndexFromName("Am");
  struct Case {
    int key, root, type;
    const char* function;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, "トニック"},      {0, 0, 3, "トニック"},        {0, 2, 4, "サブドミナント"},
      {0, 4, 1, "トニック"},      {0, 5, 3, "サブドミナント"},  {0, 7, 2, "ドミナント"},
      {0, 9, 1, "トニック"},      {0, 11, 6, "ドミナント"},     {0, 7, 1, "不明"},
      {0, 2, 0, "不明"},          {am, 9, 1, "トニック"},       {am, 9, 4, "トニック"},
      {am, 2, 1, "不明"},         {am, 4, 2, "ドミナント"},     {am, 4, 1, "不明"},
      {0, -1, 0, "不明"},         {0, 0, -1, "不明"},           {-1, 0, 0, "不明"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CChordDlg::HarmonicFunction(c.key, c.root, c.type), c.function)
        << c.key << " " << c.root << " " << c.type;
  }
  EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
  // A type past the table is told and unknown.
  EXPECT_EQ(CChordDlg::HarmonicFunction(0, 0, 30), "不明");
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CChordDlg::ErrorMsg"});
  struct Next {
    const char* from;
    const char* to;
  };
  for (const Next& n : std::vector<Next>{{"トニック", "サブドミナント"},
                                         {"サブドミナント", "ドミナント"},
                                         {"ドミナント", "トニック"},
                                         {"不明", "不明"}}) {
    EXPECT_EQ(CChordDlg::NextFunction(n.from), n.to);
  }
}

TEST_F(ChordPanelTest, AdviceNamesThePreviousAndTheCurrentChord) {
  ChordPanelFields& f = owner.chord;
  f.previousType = -1;
  f.previousKey = KeyIndexFromName("Am");
  f.keyRow = 0;
  f.root = 2;
  f.type = 1;
  std::vector<std::string> lines = panel->AdviceLines();
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "先頭のコードです。", "[Am]のキーでは通常、先頭に[Am]のコードを設定します。", "",
                       "現在は[Dm]が選択されています。", "[Dm]のコードは、[サブドミナント]の役割をもちます。"}));
  f.previousKey = 0;
  f.previousRoot = 7;
  f.previousType = 2;
  lines = panel->AdviceLines();
  EXPECT_EQ(lines[0], "1つ前に設定されているコードは、G7です。G7は、[C]のキーでは、[ドミナント]の役割を持ちます。");
  EXPECT_EQ(lines[1], "[ドミナント]に続くコードには、[トニック]の役割を持つコードが適切です。");
  EXPECT_EQ(lines[2], "ここでは、[I]、[I7]、[IM7]、[IIIm]、[IIIm7]、[VIm]、[VIm7]、などを選択することが考えられます。");
  // In a minor key IVm has no function: nothing is suggested after it.
  f.keyRow = KeyIndexFromName("Am");
  f.previousKey = f.keyRow;
  f.previousRoot = 2;
  f.previousType = 1;
  lines = panel->AdviceLines();
  EXPECT_NE(lines[0].find("[不明]"), std::string::npos);
  EXPECT_EQ(lines[2], "ここでは、などを選択することが考えられます。");
  // Without a chord the current name is empty.
  f.root = -1;
  EXPECT_EQ(panel->AdviceLines()[3], "現在は[]が選択されています。");
  // The box shows the lines joined.
  panel->ShowAdvice();
  EXPECT_TRUE(panel->adviceBox->toPlainText().startsWith(plat::ToQString("1つ前")));
}

}  // namespace
