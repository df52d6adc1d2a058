// Step input and step edit driven through their handlers: the rows, the buttons' captions and
// values, the editor's list and what it stores, the event-length check and the walks to the
// previous and next note.
#include "dialogs/step_dialog.h"
#include "draw/button_picture.h"
#include "platform/qt/dc.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/editing/editing_fixture.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

namespace {

class StepDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
    song = EmptySong();
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    dlg.reset();
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
  }
  void Open(int row = 0) {
    dlg = std::make_unique<CStepDlg>();
    dlg->SetOwner(&owner);
    dlg->SetSong(song.get());
    dlg->startRow = row;
    dlg->runEditor = [this](CStepEditDlg& e) {
      e.Create();
      editorLists.emplace_back();
      for (int i = 0; i < e.valueList->count(); ++i) {
        editorLists.back().push_back(e.valueList->itemData(i).toInt());
      }
      shownValue = e.valueList->currentData().toInt();
      shownLyric = plat::FromQString(e.lyricBox->text());
      if (editorAction) editorAction(e);
      return e.result;
    };
    dlg->Create();
  }
  std::string Row(int row) const { return plat::FromQString(dlg->list->item(row)->text()); }
  int Slot(int row) const { return song->cells[row / 3].slot[row % 3]; }
  // The editor closed by a button, after an optional pick in its list and a typed lyric.
  void EditWith(int button, std::optional<int> pick = std::nullopt,
                std::optional<std::string> lyric = std::nullopt) {
    editorAction = [=](CStepEditDlg& e) {
      if (pick) {
        e.valueList->setCurrentIndex(e.valueList->findData(*pick));
        emit e.valueList->activated(e.valueList->currentIndex());
      }
      if (lyric) {
        e.lyricBox->setText(plat::ToQString(*lyric));
        emit e.lyricBox->textEdited(e.lyricBox->text());
      }
      e.OnButton(button);
    };
  }

  EditingOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CStepDlg> dlg;
  std::function<void(CStepEditDlg&)> editorAction;
  std::vector<std::vector<int>> editorLists;
  int shownValue = 0;
  std::string shownLyric;
};

TEST_F(StepDialogTest, OneRowPerSlotWithBarAndBeatOnTheFirst) {
  song->cells[1].slot[0] = 62;
  std::strcpy(song->cells[1].lyric[0], "あい");
  Open();
  ASSERT_EQ(dlg->list->count(), 2 * 8 * 3);
  EXPECT_EQ(Row(0), "[小節:001] [拍:1表]　休符  ");
  EXPECT_EQ(Row(1), "                     音か休符を伸ばす  ");
  EXPECT_EQ(Row(2), "                     3連音符を使用しない  ");
  EXPECT_EQ(Row(3), "[小節:001] [拍:1裏]　" + song->DescribeSlot(1, 0, true) + "  あい");
  EXPECT_EQ(Row(8 * 3 + 3 * 2 * 3), "[小節:002] [拍:4表]　音か休符を伸ばす  ");
}

// The later slots' rows are indented with spaces to stand under the first slot's description:
// that holds in the list's face at every size it may take.
TEST_F(StepDialogTest, TheIndentedRowsLineUpUnderTheFirst) {
  CANTREL_NEED(QFontDatabase::hasFamily(QStringLiteral("IPAGothic")),
               "the IPAGothic font (fonts-ipafont-gothic)");
  Open();
  const QString first = plat::ToQString(Row(0));
  const QString second = plat::ToQString(Row(1));
  const int indent = static_cast<int>(second.indexOf(QRegularExpression(QStringLiteral("\\S"))));
  const int description = static_cast<int>(first.indexOf(plat::ToQString("休符")));
  ASSERT_GT(indent, 0);
  ASSERT_GT(description, 0);
  auto linesUp = [&](const QFont& font) {
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(first.left(description)) ==
           fm.horizontalAdvance(second.left(indent));
  };
  EXPECT_EQ(dlg->list->font().family(), QStringLiteral("IPAGothic"));
  EXPECT_TRUE(linesUp(dlg->list->font()));
  QFont like = dlg->list->font();
  for (int pixels = 9; pixels <= 24; ++pixels) {
    like.setPixelSize(pixels);
    EXPECT_TRUE(linesUp(plat::FixedPitchJapaneseFont(like))) << pixels;
  }
}

TEST_F(StepDialogTest, ButtonsStandByTheDisplayScale) {
  struct Case {
    int scale, top;
    const char* close;
  } cases[] = {{100, 430, "   閉じる"}, {125, 540, " 閉じる"}, {150, 650, " 閉じる"},
               {175, 780, " 閉じる"},  {200, 860, " 閉じる"}};
  for (const Case& c : cases) {
    owner.scale = c.scale;
    Open();
    EXPECT_EQ(dlg->buttonHosts[0]->geometry(), QRect(10, c.top, 88, 30)) << c.scale;
    EXPECT_EQ(CButtonPicture2::Caption(0), c.close) << c.scale;
    // The list fills the room above the buttons.
    EXPECT_EQ(dlg->list->geometry().bottom() + 1, c.top - 10) << c.scale;
    EXPECT_EQ(dlg->height(), c.top + 40) << c.scale;
    dlg.reset();
    CButtonPicture2::ResetState();
  }
}

TEST_F(StepDialogTest, CaptionsAndValuesOfTheRestAndHoldButtons) {
  song->cells[1].slot[0] = 64;  // E4 on the first eighth's second half
  Open();
  struct Case {
    const char* what;
    int row;  // slot values are set before the row is selected
    int value;
    std::string one, two;
  };
  const std::string pitch = CStepDlg::PitchCaption(64);
  const Case cases[] = {
      {"a hold after a note offers the note", 6, NoteSlotHold, "   休 符", pitch},
      {"a hold with no note before", 1, NoteSlotHold, "   休 符", "      ～"},
      {"a third-part rest offers the note", 5, NoteSlotRest, pitch, "      ～"},
      {"a third-part rest with nothing before", 2, NoteSlotRest, "3連不使用", "      ～"},
      {"an empty third part", 8, NoteSlotVacant, "   休 符", "      ～"},
      {"a third-part note", 11, 67, "3連不使用", "      ～"},
  };
  for (const Case& c : cases) {
    song->cells[c.row / 3].slot[c.row % 3] = c.value;
    dlg->list->setCurrentRow(c.row);
    dlg->UpdateButtonCaptions();
    EXPECT_EQ(CButtonPicture2::Caption(1), c.one) << c.what;
    EXPECT_EQ(CButtonPicture2::Caption(2), c.two) << c.what;
  }
  // Button 2 on a hold after a note restarts the note there; button 1 makes a rest.
  song->cells[2].slot[0] = NoteSlotHold;
  dlg->list->setCurrentRow(6);
  dlg->OnButton(2);
  EXPECT_EQ(Slot(6), 64);
  EXPECT_EQ(std::get<0>(owner.Posted().back()), kApp + 18);
  dlg->OnButton(1);
  EXPECT_EQ(Slot(6), NoteSlotRest);
  EXPECT_NE(Row(6).find("休符"), std::string::npos) << "the row is rewritten";
  // Without a selection the buttons do nothing.
  dlg->list->setCurrentRow(-1);
  owner.posted.clear();
  dlg->OnButton(1);
  EXPECT_TRUE(owner.Posted().empty());
}

TEST_F(StepDialogTest, EventLengthsAreCheckedForButtonsAndTheEditor) {
  // A hold in the song's very first slot continues nothing.
  Open(0);
  dlg->list->setCurrentRow(0);
  dlg->OnButton(2);
  EXPECT_EQ(Slot(0), NoteSlotRest);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"この位置にその音符は入力できません。"});
  // A note held on over the bar line past the whole note's 24 slots is refused.
  song->cells[0].slot[0] = 60;
  for (int c = 1; c < 9; ++c) song->cells[c].slot[0] = NoteSlotHold;
  song->cells[9].slot[0] = 62;
  cantrel_test::Sink().Clear();
  dlg->list->setCurrentRow(9 * 3);
  EditWith(0, NoteSlotHold);
  dlg->EditRow();
  EXPECT_EQ(Slot(27), 62) << "refused";
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // Eight eighths (24 slots) fit.
  song->cells[7].slot[0] = 66;
  song->cells[8].slot[0] = 64;
  cantrel_test::Sink().Clear();
  dlg->list->setCurrentRow(7 * 3);
  dlg->EditRow();
  EXPECT_EQ(Slot(21), NoteSlotHold);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_TRUE(dlg->CheckEventLengths(47)) << "the walks stop at the song's end";
}

TEST_F(StepDialogTest, TheEditorStoresOnlyWhatTheUserChanged) {
  song->cells[0].slot[0] = 60;
  song->cells[1].slot[0] = NoteSlotRest;
  std::strcpy(song->cells[0].lyric[0], "abcdefg");
  Open();
  // A rest opens with the previous pitch preselected; closing keeps the rest.
  dlg->list->setCurrentRow(3);
  EditWith(0);
  dlg->EditRow();
  EXPECT_EQ(shownValue, 60);
  EXPECT_EQ(Slot(3), NoteSlotRest);
  // A seven-byte lyric is shown and kept whole.
  dlg->list->setCurrentRow(0);
  dlg->EditRow();
  EXPECT_EQ(shownLyric, "abcdefg");
  EXPECT_STREQ(song->cells[0].lyric[0], "abcdefg");
  // A picked value and a typed lyric are stored; the page and rows are redrawn.
  owner.posted.clear();
  EditWith(0, 67, std::string("そら"));
  dlg->EditRow();
  EXPECT_EQ(Slot(0), 67);
  EXPECT_STREQ(song->cells[0].lyric[0], "そら");
  EXPECT_EQ(owner.Posted(), (std::vector<Message>{Message(kApp + 18, 0, 0),
                                                  Message(kApp + 38, 0, 0)}));
  // An eight-byte lyric is taken back to what the box held.
  EditWith(0, std::nullopt, std::string("12345678"));
  dlg->EditRow();
  EXPECT_STREQ(song->cells[0].lyric[0], "そら");
}

TEST_F(StepDialogTest, TheEditorsListOffersTheEmptyThirdPartInTheThirdSlotOnly) {
  Open();
  for (int row : {0, 1, 2}) {
    dlg->list->setCurrentRow(row);
    EditWith(0);
    dlg->EditRow();
  }
  ASSERT_EQ(editorLists.size(), 3u);
  auto offers = [](const std::vector<int>& list, int v) {
    return std::find(list.begin(), list.end(), v) != list.end();
  };
  EXPECT_FALSE(offers(editorLists[0], NoteSlotVacant));
  EXPECT_FALSE(offers(editorLists[1], NoteSlotVacant));
  EXPECT_TRUE(offers(editorLists[2], NoteSlotVacant));
  for (const auto& list : editorLists) {
    EXPECT_EQ(list.size(), 128u + 3 + (list == editorLists[2] ? 1 : 0));
    EXPECT_TRUE(offers(list, NoteSlotRap));
  }
}

TEST_F(StepDialogTest, PreviousAndNextWalkTheNotes) {
  song->cells[2].slot[0] = 60;
  song->cells[5].slot[1] = 62;
  Open();
  dlg->list->setCurrentRow(6);
  // Next: the editor reopens on the next note (its message is posted to the dialog).
  int opened = 0;
  editorAction = [&](CStepEditDlg& e) {
    ++opened;
    e.OnButton(opened == 1 ? 2 : 0);
  };
  dlg->EditRow();
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->list->currentRow(), 5 * 3 + 1);
  EXPECT_EQ(opened, 2);
  // Next after the last note and previous before the first keep the row.
  for (int button : {2, 1}) {
    const int row = button == 2 ? 16 : 6;
    dlg->list->setCurrentRow(row);
    opened = 0;
    editorAction = [&](CStepEditDlg& e) {
      ++opened;
      e.OnButton(opened == 1 ? button : 0);
    };
    dlg->EditRow();
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->list->currentRow(), row) << button;
  }
  // Enter in the lyric box moves on as well.
  dlg->list->setCurrentRow(6);
  opened = 0;
  editorAction = [&](CStepEditDlg& e) {
    ++opened;
    if (opened == 1) {
      emit e.lyricBox->returnPressed();
    } else {
      e.OnButton(0);
    }
  };
  dlg->EditRow();
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->list->currentRow(), 5 * 3 + 1);
}

}  // namespace
