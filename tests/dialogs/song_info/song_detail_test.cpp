// The classification, extended information and note range, driven through their controls and
// close buttons: what each stores, which codes it warns of, which notes it shows.
#include "dialogs/song_detail_dialogs.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/song_info/dialog_test_util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <cstring>

namespace {

class SongDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
    cantrel_test::Sink().Clear();
    song = MakeSong();
  }
  void TearDown() override {
    group.reset();
    extra.reset();
    range.reset();
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
  }
  void OpenGroup() {
    group = std::make_unique<CGroupDlg>();
    group->SetOwner(&owner);
    group->SetSong(song.get());
    group->Create();
    group->show();
  }
  void OpenExtra() {
    extra = std::make_unique<CExtraInfoDlg>();
    extra->SetOwner(&owner);
    extra->SetSong(song.get());
    extra->Create();
    extra->show();
  }
  std::vector<uint8_t> Image() { return song->SerializeToVector(); }

  InfoOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CGroupDlg> group;
  std::unique_ptr<CExtraInfoDlg> extra;
  std::unique_ptr<CRangeDlg> range;
};

TEST_F(SongDetailTest, TheReadingInitialKeepsTwoBytesOfWholeCharacters) {
  const struct {
    const char* typed;
    std::string stored;
  } cases[] = {
      {"", std::string("\0 ", 2)},
      {"a", std::string("a\0", 2)},
      {"abc", "ab"},
      {"ふ", "ふ"},
      {"aふ", std::string("a\0", 2)},
      {"ｱｲｳ", "ｱｲ"},
  };
  for (const auto& c : cases) {
    OpenGroup();
    group->initial->setText(plat::ToQString(c.typed));
    group->accept();
    EXPECT_FALSE(group->isVisible());
    EXPECT_EQ(std::string(song->info.Field(SongInfoBlock::kShortText), 2), c.stored) << c.typed;
    group.reset();
  }
}

TEST_F(SongDetailTest, TheCountryIsStoredByCodeAndAnUnknownOneAs255) {
  song->info.bytes[SongInfoBlock::kListItem] = 200;
  OpenGroup();
  EXPECT_EQ(group->countryList->count(), 68);
  EXPECT_EQ(group->countryList->currentIndex(), -1);
  group->accept();
  EXPECT_EQ(song->info.bytes[SongInfoBlock::kListItem], 255);
  group.reset();
  song->info.bytes[SongInfoBlock::kListItem] = 67;
  OpenGroup();
  EXPECT_EQ(plat::FromQString(group->countryList->currentText()), "沖縄・奄美");
  group->countryList->setCurrentIndex(1);
  group->accept();
  EXPECT_EQ(song->info.bytes[SongInfoBlock::kListItem], 3) << "日本";
}

TEST_F(SongDetailTest, FlagsFollowTheBoxesAndTheHiddenRemarksPassThrough) {
  song->info.SetU16(SongInfoBlock::kFlags1, 0x8421);
  song->info.bytes[SongInfoBlock::kFlags2] = 0xCC;  // bits 2, 3, 6, 7
  OpenGroup();
  EXPECT_EQ(plat::FromQString(group->findChild<QLabel*>("1079")->text()), "知名度指数");
  EXPECT_TRUE(group->popularity->text().isEmpty());
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(group->genre[i]->isChecked(), ((0x8421 >> GenreFlagTable[i].bit) & 1) != 0) << i;
  }
  EXPECT_TRUE(group->findChild<QCheckBox*>("1105")->isHidden());
  EXPECT_TRUE(group->findChild<QCheckBox*>("1103")->isHidden());
  group->findChild<QCheckBox*>("1100")->click();  // rock on (bit 4)
  group->findChild<QCheckBox*>("1114")->click();  // dance off (bit 15)
  group->findChild<QCheckBox*>("1106")->click();  // lullaby on (bit 5)
  PressSkin(group->closeHost);
  EXPECT_TRUE(group->isVisible()) << "the pressed button is seen first";
  EXPECT_TRUE(HiddenWithin(group.get()));
  EXPECT_EQ(song->info.GetU16(SongInfoBlock::kFlags1), 0x0431);
  EXPECT_EQ(song->info.bytes[SongInfoBlock::kFlags2], 0x2C);
}

TEST_F(SongDetailTest, EscapeLeavesTheSongAsItWas) {
  const std::vector<uint8_t> before = Image();
  for (Cancel how : kCancelWays) {
    OpenGroup();
    group->initial->setText(QStringLiteral("zz"));
    group->genre[3]->click();
    CancelBy(group.get(), how);
    EXPECT_FALSE(group->isVisible());
    OpenExtra();
    extra->edits[0]->setText(QStringLiteral("zz"));
    CancelBy(extra.get(), how);
    EXPECT_FALSE(extra->isVisible());
    EXPECT_EQ(Image(), before);
  }
}

TEST_F(SongDetailTest, ManagementCodesOfAnUnknownFormWarnButAreStored) {
  const struct {
    const char* code;
    bool known;
  } cases[] = {{"", true},           {"123-4567-8", true}, {"123-4567-89", false},
               {"elicense-42", true}, {"N0001", true},      {"abc-defg-h", true},
               {"1234567890", false}, {"x", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(CExtraInfoDlg::IsManagementCode(c.code), c.known) << c.code;
    OpenExtra();
    cantrel_test::Sink().Clear();
    extra->edits[0]->setText(QString::fromLatin1(c.code));
    PressSkin(extra->closeHost);
    EXPECT_FALSE(extra->isVisible());
    EXPECT_EQ(song->ExtraText(0), c.code);
    EXPECT_EQ(cantrel_test::Sink().Texts(),
              c.known ? std::vector<std::string>{}
                      : std::vector<std::string>{"JASRACコードに異常があります。"});
    extra.reset();
  }
}

TEST_F(SongDetailTest, TextsAreCutWholeAndKeepTheirLineBreaks) {
  song->SetExtraText(6, "first\r\nsecond");
  OpenExtra();
  EXPECT_EQ(extra->comment->toPlainText(), "first\nsecond");
  const struct {
    int text;
    QString typed;
    std::string stored;
  } cases[] = {
      {1, QString(2100, 'v'), std::string(2047, 'v')},
      // 1023 double-byte characters are 2046 bytes; the next does not fit whole.
      {5, QString(1100, QChar(0x3042)), [] {
         std::string s;
         for (int i = 0; i < 1023; ++i) s += "あ";
         return s;
       }()},
      {6, QStringLiteral("a\nb\n"), "a\r\nb\r\n"},
  };
  for (const auto& c : cases) {
    if (c.text == 6) {
      extra->comment->setPlainText(c.typed);
    } else {
      extra->edits[c.text]->setText(c.typed);
    }
  }
  extra->accept();
  for (const auto& c : cases) EXPECT_EQ(song->ExtraText(c.text), c.stored) << c.text;
  EXPECT_EQ(plat::FromQString(extra->windowTitle()), "拡張情報");
}

TEST_F(SongDetailTest, TheCloseButtonStandsByScale) {
  const struct {
    int scale, x, y;
  } cases[] = {{100, 460, 240}, {125, 520, 300}, {150, 550, 380}, {175, 550, 420}, {200, 550, 500}};
  for (const auto& c : cases) {
    owner.scale = c.scale;
    OpenExtra();
    EXPECT_EQ(extra->closeHost->geometry(), QRect(c.x, c.y, 88, 30)) << c.scale;
    extra.reset();
    OpenGroup();
    EXPECT_EQ(group->closeHost->geometry().y(), CGroupDlg::ButtonTop(c.scale));
    group.reset();
  }
  EXPECT_EQ(CGroupDlg::ButtonTop(100), 200);
  EXPECT_EQ(CGroupDlg::ButtonTop(150), 300);
  EXPECT_EQ(CGroupDlg::ButtonTop(250), 400);
}

TEST_F(SongDetailTest, EveryFlagCaptionFitsItsBoxWithinTheDialog) {
  OpenGroup();
  for (QCheckBox* box : group->findChildren<QCheckBox*>()) {
    if (box->isHidden()) continue;
    EXPECT_GE(box->width(), box->sizeHint().width()) << box->objectName().toStdString();
    EXPECT_LE(box->geometry().right(), group->width()) << box->objectName().toStdString();
  }
}

TEST_F(SongDetailTest, TheRangeShowsTheUsedNotesWithinItsKeyboard) {
  // A shared keyboard picture with one keyboard already on it, as the melody panel has.
  COffScreenControl panelHost;
  const int panelRange[2] = {48, 83};
  CKeyboardPicture shared(&panelHost, plat::Rect{0, 0, 400, 90}, panelRange, [](int) {});
  song->cells[0].slot[0] = 40;
  song->cells[1].slot[0] = 60;
  song->cells[2].slot[1] = 84;
  song->cells[3].slot[0] = 90;
  song->cells[4].slot[2] = 48;
  for (bool empty : {true, false}) {
    auto s = empty ? MakeSong() : nullptr;
    range = std::make_unique<CRangeDlg>();
    range->SetOwner(&owner);
    range->SetSong(&shared, empty ? s.get() : song.get());
    range->Create();
    ASSERT_EQ(range->Keyboard(), 1);
    EXPECT_EQ(range->keyboardHost->geometry(), QRect(10, 10, 300, 70));
    EXPECT_EQ(CKeyboardPicture::Lowest(1), 48);
    std::vector<int> pressed;
    for (int note = 0; note < 128; ++note) {
      if (CKeyboardPicture::IsKeyPressed(note, 1)) pressed.push_back(note);
    }
    EXPECT_EQ(pressed, empty ? std::vector<int>{} : (std::vector<int>{48, 60, 84}));
    PressSkin(range->closeHost);
    EXPECT_FALSE(range->isVisible());
    range.reset();
    EXPECT_EQ(CKeyboardPicture::Count(), 1) << "its keyboard goes with it";
  }
}

}  // namespace
