// The lyric input panel and the lyric view driven through their handlers: splitting, pouring and
// the list, the four cell-edit buttons, "lyric.dat", and the lyric view's two buttons.
#include "dialogs/lyric_list.h"
#include "dialogs/lyric_panel.h"
#include "draw/button_picture.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/editing/editing_fixture.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstring>

namespace {

std::string BoxText(QPlainTextEdit* box) { return plat::FromQString(box->toPlainText()); }

TEST(LyricSplitTest, SyllablesAndMarks) {
  struct Case {
    const char* text;
    const char* split;
  } cases[] = {
      {"きゃりー", "きゃ りー "},
      // A mark followed by a blank does not attach.
      {"きゃ み", "き ゃ み "},
      {"か な", "か な "},
      {"かな", "か な "},
      {"abc", "a b c "},
      // A full-width blank separates like a blank.
      {"か　な", "か な "},
      // A line break ends a syllable and stays, without blanks around it.
      {"かな\nさ", "か な\nさ "},
      {"か\r\nき", "か\r\nき "},
      {"", ""},
      // The half-width long mark is a character of its own, not a split kana.
      {"よｰ", "よ ｰ "},
      {"ょ", "ょ "},
  };
  for (const Case& c : cases) {
    const std::string split = SplitLyricSyllables(c.text);
    EXPECT_EQ(split, c.split) << plat::Cp932ToUtf8(c.text);
    std::string utf8;
    EXPECT_TRUE(plat::TryCp932ToUtf8(split, utf8)) << plat::Cp932ToUtf8(c.text);
  }
  EXPECT_TRUE(IsAttachMark("ー"));
  EXPECT_TRUE(IsAttachMark("ォ"));
  EXPECT_FALSE(IsAttachMark("あ"));
  EXPECT_FALSE(IsAttachMark(""));
}

TEST(LyricListTest, TheFileIsAlwaysItsFullSizeAndSurvivesASaveAndLoad) {
  const auto folder = cantrel_test::TempDir();
  for (int count : {0, 1, 256}) {
    LyricList list;
    for (int i = 0; i < count; ++i) list.Add("うた" + std::to_string(i), i, i % 8);
    std::string why;
    ASSERT_TRUE(list.Save(folder, &why)) << why;
    EXPECT_EQ(plat::FileSize(folder / "lyric.dat"), 264196) << count;
    LyricList back;
    ASSERT_TRUE(back.Load(folder, &why)) << why;
    ASSERT_EQ(back.Count(), count);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(back.At(i).text, list.At(i).text);
      EXPECT_EQ(back.At(i).bar, i);
      EXPECT_EQ(back.At(i).eighth, i % 8);
    }
  }
  LyricList full;
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(full.Add("x", -1, -1));
  EXPECT_FALSE(full.Add("y", -1, -1));
  EXPECT_EQ(full.Count(), 256);
}

TEST(LyricListTest, BadFilesAreReportedAndTheListStays) {
  const auto folder = cantrel_test::TempDir();
  LyricList list;
  list.Add("keep", 1, 2);
  std::string why;
  EXPECT_FALSE(list.Load(folder, &why)) << "no file";
  EXPECT_FALSE(why.empty());
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool ok;
    int count;
  };
  std::vector<uint8_t> big(LyricList::kFileBytes, 0);
  big[0] = 0x10;  // 0x7FFFFF10: far past the 256 slots
  big[1] = 0xFF;
  big[2] = 0xFF;
  big[3] = 0x7F;
  std::fill(big.begin() + 12, big.begin() + 12 + 1024, 'A');  // a text without its zero
  std::vector<uint8_t> negative(LyricList::kFileBytes, 0xFF);
  std::vector<uint8_t> shortFile(4 + 2 * LyricList::kSlotBytes + 100, 0);
  shortFile[0] = 9;
  shortFile[12] = 'B';
  const Case cases[] = {
      {"three bytes", {1, 0, 0}, false, 1},
      {"longer than the list", std::vector<uint8_t>(LyricList::kFileBytes + 1, 0), false, 1},
      {"a count past the slots", big, true, 256},
      {"a negative count", negative, true, 0},
      {"a short file covers two slots", shortFile, true, 2},
  };
  for (const Case& c : cases) {
    LyricList l;
    l.Add("keep", 1, 2);
    EXPECT_EQ(l.Parse(c.bytes.data(), c.bytes.size()), c.ok) << c.what;
    EXPECT_EQ(l.Count(), c.count) << c.what;
    if (!c.ok) {
      EXPECT_EQ(l.At(0).text, "keep") << c.what;
    }
    for (int i = 0; i < l.Count(); ++i) EXPECT_LE(l.At(i).text.size(), 1023u) << c.what;
  }
  LyricList l;
  ASSERT_TRUE(l.Parse(big.data(), big.size()));
  EXPECT_EQ(l.At(0).text, std::string(1023, 'A')) << "the text ends within its field";
  ASSERT_TRUE(l.Parse(shortFile.data(), shortFile.size()));
  EXPECT_EQ(l.At(0).text, "B");
  EXPECT_EQ(l.At(2).text, "") << "a slot the file does not cover is empty";
}

class LyricPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramLyricList().Clear();
    panel = std::make_unique<CLyricInputDlg>();
    panel->SetOwner(&owner);
    panel->SetLyricOwner(&owner);
    panel->Create();
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    panel.reset();
    ProgramLyricList().Clear();
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < panel->list->count(); ++i) {
      rows.push_back(plat::FromQString(panel->list->item(i)->text()));
    }
    return rows;
  }
  void Type(const std::string& text) { panel->textBox->setPlainText(plat::ToQString(text)); }
  EditingOwner owner;
  std::unique_ptr<CLyricInputDlg> panel;
};

TEST_F(LyricPanelTest, ControlsUnderTheirIds) {
  EXPECT_EQ(panel->objectName(), "232");
  EXPECT_EQ(plat::FromQString(panel->windowTitle()), "歌詞を流し込む");
  for (int id : {1146, 1152, 1147, 1153, 1148, 1151, 1149, 1150, 1154, 1155, 1156, 1157, 1}) {
    auto* w = panel->findChild<QWidget*>(QString::number(id));
    ASSERT_NE(w, nullptr) << id;
    EXPECT_TRUE(QRect(0, 0, panel->width(), panel->height()).contains(w->geometry())) << id;
  }
}

TEST_F(LyricPanelTest, PouringAddsOrReplacesTheEntryAtTheCursor) {
  owner.bar = 3;
  owner.eighth = 2;
  Type("あい うえ");
  panel->PourLyric();
  EXPECT_EQ(owner.text, "あい うえ");
  EXPECT_EQ(BoxText(panel->textBox), "") << "an appended entry empties the box";
  EXPECT_EQ(Rows(), std::vector<std::string>{"あい うえ"});
  ASSERT_EQ(owner.Posted().size(), 1u);
  EXPECT_EQ(owner.posted[0], Message(kApp + 40, 3, 2));
  // Again at the same place: the entry's text is replaced and the box keeps the text.
  Type("か");
  panel->PourLyric();
  EXPECT_EQ(Rows(), std::vector<std::string>{"か"});
  EXPECT_EQ(BoxText(panel->textBox), "か");
  // Without a cursor the pour starts at the song's start.
  owner.bar = owner.eighth = -1;
  owner.posted.clear();
  panel->PourLyric();
  EXPECT_EQ(owner.Posted(), std::vector<Message>{Message(kApp + 40, 0, 0)});
  // An empty box pours nothing.
  panel->textBox->clear();
  owner.posted.clear();
  panel->PourLyric();
  EXPECT_TRUE(owner.Posted().empty());
}

TEST_F(LyricPanelTest, TheListAddsTakesClearsAndRefusesWhenFull) {
  Type("one");
  panel->AddToList();
  Type("two");
  panel->AddToList();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ProgramLyricList().At(0).bar, -1) << "an added text has no place";
  // A pour where an added text's place is open does not take that entry.
  owner.bar = owner.eighth = -1;
  Type("three");
  panel->PourLyric();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"one", "two", "three"}));
  panel->TakeFromList(0);
  EXPECT_EQ(BoxText(panel->textBox), "one");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"two", "three"}));
  panel->TakeFromList(7);
  EXPECT_EQ(Rows().size(), 2u);
  panel->ClearList();
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(BoxText(panel->textBox), "");
  for (int i = 0; i < 256; ++i) ProgramLyricList().Add("x", -1, -1);
  Type("more");
  panel->AddToList();
  EXPECT_EQ(ProgramLyricList().Count(), 256);
  EXPECT_EQ(BoxText(panel->textBox), "more") << "a refused text stays in the box";
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST_F(LyricPanelTest, SplittingAndTheBoxesLimit) {
  Type("きゃりー");
  panel->SplitSyllables();
  EXPECT_EQ(BoxText(panel->textBox), "きゃ りー ");
  // A split that would pass 1,023 bytes is refused and the box kept.
  const std::string long_text(600, 'a');
  Type(long_text);
  cantrel_test::Sink().Clear();
  panel->SplitSyllables();
  EXPECT_EQ(BoxText(panel->textBox), long_text);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // A paste past the box's 1,023 bytes is taken back whole.
  cantrel_test::Sink().Clear();
  Type("short");
  Type(std::string(1024, 'b'));
  EXPECT_EQ(BoxText(panel->textBox), "short");
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  Type(std::string(1023, 'c'));
  EXPECT_EQ(BoxText(panel->textBox).size(), 1023u);
}

TEST_F(LyricPanelTest, TheFourButtonsPostTheCursor) {
  owner.bar = 5;
  owner.eighth = 1;
  for (int i = 0; i < 4; ++i) panel->cellButtons[i]->click();
  EXPECT_EQ(owner.Posted(),
            (std::vector<Message>{Message(kApp + 42, 5, 1), Message(kApp + 43, 5, 1),
                                  Message(kApp + 44, 5, 1), Message(kApp + 45, 5, 1)}));
}

TEST_F(LyricPanelTest, SaveAndLoadThroughTheUserDataFolder) {
  Type("save me");
  panel->AddToList();
  panel->SaveList();
  EXPECT_EQ(plat::FileSize(plat::UserDataFolder() / "lyric.dat"), 264196);
  panel->ClearList();
  panel->LoadList();
  EXPECT_EQ(Rows(), std::vector<std::string>{"save me"});
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  // A missing file is said and the list stays.
  std::filesystem::remove(plat::UserDataFolder() / "lyric.dat");
  panel->LoadList();
  EXPECT_EQ(Rows(), std::vector<std::string>{"save me"});
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST_F(LyricPanelTest, OkPoursAndHides) {
  panel->show();
  owner.bar = 0;
  owner.eighth = 4;
  Type("la");
  panel->okButton->click();
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(owner.Posted(), std::vector<Message>{Message(kApp + 40, 0, 4)});
}

class LyricViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture3::ResetState();
    song = EmptySong();
    view = std::make_unique<CLyricDlg>();
    view->SetOwner(&owner);
    view->SetSong(song.get());
  }
  void TearDown() override {
    view.reset();
    CButtonPicture3::ResetState();
  }
  EditingOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CLyricDlg> view;
};

TEST_F(LyricViewTest, ShowsStoresAndRebuildsTheSongsLyricText) {
  std::strcpy(song->lyrics_area, "はる\r\nなつ");
  view->Create();
  EXPECT_EQ(view->objectName(), "214");
  EXPECT_EQ(BoxText(view->lyricBox), "はる\nなつ");
  EXPECT_EQ(view->lyricBox->geometry(), QRect(10, 10, 305, 364));
  EXPECT_EQ(CButtonPicture3::Count(), 2);
  // Button 1 rebuilds the text from the notes' lyrics.
  song->cells[1].slot[0] = 60;
  std::strcpy(song->cells[1].lyric[0], "あき");
  view->OnButton(1);
  EXPECT_NE(BoxText(view->lyricBox).find("あき"), std::string::npos);
  // Button 0 stores the box's text and closes with OK.
  view->lyricBox->setPlainText(plat::ToQString("ふゆ\nゆき"));
  view->OnButton(0);
  EXPECT_STREQ(song->lyrics_area, "ふゆ\r\nゆき");
  EXPECT_EQ(view->result(), QDialog::Accepted);
  // Other buttons do nothing.
  view->OnButton(5);
}

}  // namespace
