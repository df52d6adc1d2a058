// The song information driven through its controls, skin buttons and double click: where its
// buttons stand, what it shows of the song, which names it refuses, what OK, Escape and the
// language switch store, the buttons to the sub-dialogs, and the fields at their file offsets
// after a save and a reload.
#include "dialogs/lyric_panel.h"
#include "dialogs/part_settings_dialogs.h"
#include "dialogs/song_detail_dialogs.h"
#include "dialogs/song_info_dialog.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/text_limits.h"
#include "platform/core/files.h"
#include "platform/qt/qt_text.h"
#include "style/engine_services.h"
#include "tests/dialogs/song_info/dialog_test_util.h"
#include "tests/support/sample_song_info.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <cstring>

namespace {

class SongInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
    cantrel_test::Sink().Clear();
    song = MakeSong();
    cantrel_test::FillSampleSongInfo(*song);
  }
  void TearDown() override {
    dlg.reset();
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
  }
  void Open() {
    dlg = std::make_unique<CSongInfoDlg>();
    dlg->SetOwner(&owner);
    dlg->SetSong(song.get(), nullptr);
    dlg->Create();
    dlg->show();
  }
  QLabel* Label(int id) { return dlg->findChild<QLabel*>(QString::number(id)); }
  std::vector<uint8_t> Image() { return song->SerializeToVector(); }

  InfoOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CSongInfoDlg> dlg;
};

TEST_F(SongInfoTest, ButtonsStandInTheirRowAndBesideTheirLists) {
  const struct {
    int scale, y;
    const char* close;
  } cases[] = {{100, 390, "  閉じる"}, {110, 470, " 閉じる"}, {125, 470, "  閉じる"},
               {150, 550, "  閉じる"}, {175, 700, "  閉じる"}, {200, 800, "  閉じる"}};
  for (const auto& c : cases) {
    owner.scale = c.scale;
    Open();
    const int lefts[5] = {230, 10, 65, 120, 175};
    const int rights[5] = {318, 63, 118, 173, 228};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(dlg->hosts[i]->geometry(), QRect(lefts[i], c.y, rights[i] - lefts[i], 30)) << c.scale << " " << i;
    }
    EXPECT_EQ(CButtonPicture2::Caption(0), c.close) << c.scale;
    const int lists[6] = {1088, 1089, 1091, 1090, 1086, 1087};
    for (int b = 5; b <= 10; ++b) {
      const QRect list = dlg->findChild<QWidget*>(QString::number(lists[b - 5]))->geometry();
      EXPECT_EQ(dlg->hosts[b]->geometry(),
                QRect(list.right() + 1 + 5, list.y() - 2, 53, 30)) << b;
      EXPECT_LT(list.bottom(), c.y) << b;
    }
    dlg.reset();
  }
}

TEST_F(SongInfoTest, ShowsTheSongAndHidesThePartsThatAreOff) {
  song->info.SetInt(SongInfoBlock::kTempo, 96);
  song->SetBarCount(50);  // 200 beats at 96 a minute
  song->info.SetInt(SongInfoBlock::kAccompProgram, 256);
  song->style.instrument[9] = 256;
  song->SetExtraText(8, "Furusato");
  song->SetDivisionMode(2);
  Open();
  EXPECT_EQ(plat::FromQString(dlg->windowTitle()), "曲情報 [02:05]");
  EXPECT_EQ(plat::FromQString(dlg->title->text()), "ふるさと");
  EXPECT_EQ(plat::FromQString(dlg->composer->text()), "岡野貞一");
  EXPECT_EQ(plat::FromQString(dlg->lyricist->text()), "高野辰之");
  EXPECT_EQ(dlg->original->text(), "Furusato");
  EXPECT_EQ(plat::FromQString(Label(1074)->text()), "歌");
  EXPECT_EQ(dlg->vocal->count(), 128);
  EXPECT_EQ(dlg->solo->count(), 129);
  EXPECT_EQ(plat::FromQString(dlg->solo->itemText(128)), "なし");
  EXPECT_EQ(plat::FromQString(dlg->vocal->itemText(127)), InstrumentNameTable[127]);
  EXPECT_EQ(dlg->vocal->currentIndex(), 73);
  EXPECT_EQ(dlg->solo->currentIndex(), 40);
  EXPECT_EQ(dlg->subHarmony->currentIndex(), 48);
  EXPECT_EQ(dlg->bass->currentIndex(), 33);
  EXPECT_EQ(dlg->division->currentIndex(), 2);
  EXPECT_EQ(dlg->harmony->currentIndex(), -1);
  EXPECT_TRUE(dlg->harmony->isHidden());
  EXPECT_TRUE(Label(1076)->isHidden());
  EXPECT_TRUE(dlg->hosts[5]->isHidden());
  EXPECT_TRUE(dlg->hosts[8]->isHidden()) << "drums off: no rhythm settings";
  EXPECT_FALSE(dlg->subHarmony->isHidden());
  EXPECT_FALSE(dlg->hosts[7]->isHidden());
  // OK keeps the part off.
  PressSkin(dlg->hosts[0]);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(song->info.GetInt(SongInfoBlock::kAccompProgram), 256);
}

TEST_F(SongInfoTest, NamesLongerThanTheirFieldAreRefusedWholeAndTheDialogStays) {
  const std::string kana32(32, '\xB1');  // 32 half-width katakana bytes
  const struct {
    bool english;
    std::string title;
    bool stored;
  } cases[] = {
      {false, "あいうえおかきくけこさしすせそた", true},   // 32 bytes
      {false, "あいうえおかきくけこさしすせそたa", false},  // 33
      {false, kana32, true},
      {true, std::string(30, 'T'), true},
      {true, std::string(31, 'T'), false},
  };
  for (const auto& c : cases) {
    song->info.SetText(SongInfoBlock::kTitle, 33, "ふるさと");
    song->info.SetText(SongInfoBlock::kAltTitle, 31, "Furusato");
    song->info.SetText(SongInfoBlock::kComposer, 33, "岡野貞一");
    song->info.SetText(SongInfoBlock::kAltComposer, 31, "");
    song->info.SetInt(SongInfoBlock::kMelodyProgram, 73);
    Open();
    if (c.english) dlg->ToggleLanguage();
    ASSERT_EQ(dlg->Language(), c.english ? 1 : 0);
    cantrel_test::Sink().Clear();
    dlg->title->setText(plat::ToQString(c.title));
    dlg->composer->setText(plat::ToQString("someone"));
    dlg->vocal->setCurrentIndex(5);
    PressSkin(dlg->hosts[0]);
    EXPECT_EQ(dlg->isVisible(), !c.stored) << c.title;
    const size_t at = c.english ? SongInfoBlock::kAltTitle : SongInfoBlock::kTitle;
    const size_t composerAt = c.english ? SongInfoBlock::kAltComposer : SongInfoBlock::kComposer;
    if (c.stored) {
      EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
      EXPECT_EQ(song->info.GetText(at, c.english ? 31 : 33), c.title);
      EXPECT_EQ(song->info.GetText(composerAt, c.english ? 31 : 33), "someone");
      EXPECT_EQ(song->info.GetInt(SongInfoBlock::kMelodyProgram), 5);
    } else {
      EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"入力された文字列が長すぎます。"});
      EXPECT_EQ(song->info.GetText(at, c.english ? 31 : 33), c.english ? "Furusato" : "ふるさと");
      EXPECT_NE(song->info.GetText(composerAt, 33), "someone");
      EXPECT_EQ(song->info.GetInt(SongInfoBlock::kMelodyProgram), 73) << "nothing stored";
    }
    dlg.reset();
  }
}

TEST_F(SongInfoTest, ACharacterTheSongCannotHoldIsNamedAndNothingIsStored) {
  Open();
  const std::vector<uint8_t> before = Image();
  dlg->keyword->setText(QStringLiteral("caf") + QString::fromUcs4(U"\U0001F600"));
  dlg->title->setText(plat::ToQString("新しい題"));
  PressSkin(dlg->hosts[0]);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"キーワードに使えない文字があります。"});
  EXPECT_EQ(Image(), before);
  // A language switch refused the same way does not switch.
  dlg->ToggleLanguage();
  EXPECT_EQ(dlg->Language(), 0);
}

TEST_F(SongInfoTest, LongLyricsKeepTheirTailAndDisableAliasAndKeyword) {
  std::memset(song->lyrics_area, 0, sizeof song->lyrics_area);
  for (int i = 0; i < 1535; ++i) song->lyrics_area[i] = static_cast<char>('a' + i % 26);
  Open();
  EXPECT_FALSE(dlg->alias->isEnabled());
  EXPECT_FALSE(dlg->keyword->isEnabled());
  const std::string tail(song->lyrics_area + 1536, 512);
  dlg->title->setText(QStringLiteral("x"));
  dlg->accept();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(std::string(song->lyrics_area + 1536, 512), tail);
  EXPECT_EQ(song->info.GetText(SongInfoBlock::kTitle, 33), "x");
}

TEST_F(SongInfoTest, ListsStoreTheirRowsAndVocalOrSoloWithoutAChoiceKeepTheirs) {
  Open();
  dlg->solo->setCurrentIndex(128);
  dlg->vocal->setCurrentIndex(-1);
  dlg->subHarmony->setCurrentIndex(-1);
  dlg->bass->setCurrentIndex(38);
  dlg->division->setCurrentIndex(1);
  QTest::keyClick(dlg->title, Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
  const SongInfoBlock& info = song->info;
  EXPECT_EQ(info.GetInt(SongInfoBlock::kSoloProgram), 128);
  EXPECT_EQ(info.GetInt(SongInfoBlock::kMelodyProgram), 73);
  EXPECT_EQ(info.GetInt(SongInfoBlock::kAccomp2Program), 256);
  EXPECT_EQ(song->style.instrument[2], 38);
  EXPECT_EQ(song->GetDivisionMode(), 1);
}

TEST_F(SongInfoTest, EscapeStoresNothingButAnEarlierLanguageSwitchKeepsItsTexts) {
  const std::vector<uint8_t> before = Image();
  for (Cancel how : kCancelWays) {
    Open();
    dlg->title->setText(QStringLiteral("changed"));
    dlg->solo->setCurrentIndex(1);
    dlg->division->setCurrentIndex(2);
    CancelBy(dlg.get(), how);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Image(), before);
  }

  Open();
  dlg->title->setText(plat::ToQString("新題"));
  QTest::mouseDClick(dlg.get(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(dlg->Language(), 1);
  EXPECT_EQ(Label(1071)->text(), "Title");
  EXPECT_EQ(Label(1080)->text(), "Basic Rhythm");
  EXPECT_EQ(dlg->title->text(), "Furusato");
  dlg->title->setText(QStringLiteral("Old Home"));
  QTest::mouseDClick(dlg.get(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(dlg->Language(), 0);
  EXPECT_EQ(plat::FromQString(Label(1074)->text()), "歌の設定");
  EXPECT_EQ(plat::FromQString(dlg->title->text()), "新題");
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_EQ(song->info.GetText(SongInfoBlock::kTitle, 33), "新題");
  EXPECT_EQ(song->info.GetText(SongInfoBlock::kAltTitle, 31), "Old Home");
}

TEST_F(SongInfoTest, EachButtonOpensItsDialogOnTheSong) {
  Open();
  const struct {
    int code;
    std::function<void(bool*)> expect;
  } cases[] = {
      {2, [](bool* o) { WhenModal<CGroupDlg>([](CGroupDlg* d) { d->reject(); }, o); }},
      {3, [](bool* o) { WhenModal<CRangeDlg>([](CRangeDlg* d) { d->reject(); }, o); }},
      {4, [](bool* o) { WhenModal<CExtraInfoDlg>([](CExtraInfoDlg* d) { d->reject(); }, o); }},
      {5, [](bool* o) { WhenModal<CHarmonyDlg>([](CHarmonyDlg* d) {
             EXPECT_EQ(d->windowTitle(), plat::ToQString("ハーモニー")); d->reject(); }, o); }},
      {7, [](bool* o) { WhenModal<CHarmonyDlg>([](CHarmonyDlg* d) {
             EXPECT_EQ(d->windowTitle(), plat::ToQString("ベース")); d->reject(); }, o); }},
      {8, [](bool* o) { WhenModal<CHarmonyDlg>([](CHarmonyDlg* d) {
             EXPECT_EQ(d->windowTitle(), plat::ToQString("ドラム")); d->reject(); }, o); }},
      {10, [](bool* o) { WhenModal<CMdyDlg>([](CMdyDlg* d) {
             EXPECT_EQ(d->volume->minimum(), 1) << "the solo's volume"; d->reject(); }, o); }},
  };
  for (const auto& c : cases) {
    bool opened = false;
    c.expect(&opened);
    PressSkin(dlg->hosts[c.code]);
    EXPECT_TRUE(opened) << c.code;
  }
  // The lyrics: the playing song stops first, then the lyric dialog runs on the song.
  bool opened = false;
  WhenModal<CLyricDlg>([](CLyricDlg* d) { d->reject(); }, &opened);
  PressSkin(dlg->hosts[1]);
  EXPECT_TRUE(opened);
  ASSERT_FALSE(owner.posted.empty());
  EXPECT_EQ(std::get<0>(owner.posted.back()), 32791u);
  EXPECT_TRUE(dlg->isVisible());
}

// The lyric text shares the song's lyrics block with the alias and keyword: what the lyric
// dialog stores decides whether they may be edited, and a short text leaves them in place.
TEST_F(SongInfoTest, TheLyricDialogsTextDecidesOverAliasAndKeyword) {
  const struct {
    size_t lyricBytes;
    bool editable;
  } cases[] = {{1534, true}, {1535, false}, {10, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lyricBytes);
    std::memset(song->lyrics_area, 0, sizeof song->lyrics_area);
    std::strcpy(song->lyrics_area + 1536, "別の名");
    std::strcpy(song->lyrics_area + 1792, "hills");
    Open();
    bool opened = false;
    const std::string text(c.lyricBytes, 'a');
    WhenModal<CLyricDlg>(
        [text](CLyricDlg* d) {
          d->lyricBox->setPlainText(QString::fromLatin1(text.c_str()));
          d->OnButton(0);
        },
        &opened);
    PressSkin(dlg->hosts[1]);
    ASSERT_TRUE(opened);
    EXPECT_EQ(SlotText(song->lyrics_area, 2048), text);
    EXPECT_EQ(dlg->alias->isEnabled(), c.editable);
    EXPECT_EQ(dlg->keyword->isEnabled(), c.editable);
    if (c.editable) {
      EXPECT_STREQ(song->lyrics_area + 1792, "hills");
      dlg->keyword->setText(QStringLiteral("valleys"));
    }
    PressSkin(dlg->hosts[0]);
    EXPECT_FALSE(dlg->isVisible());
    if (c.editable) EXPECT_STREQ(song->lyrics_area + 1792, "valleys");
    dlg.reset();
  }
}

TEST_F(SongInfoTest, EditedFieldsLieAtTheirFileOffsetsAfterSaveAndReload) {
  Open();
  dlg->title->setText(plat::ToQString("故郷"));
  dlg->composer->setText(plat::ToQString("作曲"));
  dlg->lyricist->setText(plat::ToQString("作詞"));
  dlg->original->setText(QStringLiteral("Home"));
  dlg->alias->setText(plat::ToQString("別の名"));
  dlg->keyword->setText(QStringLiteral("hills"));
  dlg->vocal->setCurrentIndex(11);
  dlg->solo->setCurrentIndex(12);
  dlg->harmony->setCurrentIndex(13);
  dlg->subHarmony->setCurrentIndex(14);
  PressSkin(dlg->hosts[0]);
  const std::filesystem::path file = cantrel_test::TempDir() / "info.mwd";
  ASSERT_TRUE(song->SaveAs(4, 0, &file, 1));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(plat::ReadWholeFile(file, bytes));
  const uint8_t* info = bytes.data() + kImageInfoOffset;
  auto text = [info](size_t at) { return std::string(reinterpret_cast<const char*>(info + at)); };
  auto int32 = [info](size_t at) { return info[at] | info[at + 1] << 8 | info[at + 2] << 16 | info[at + 3] << 24; };
  EXPECT_EQ(text(256), "故郷");
  EXPECT_EQ(text(0), "作曲");
  EXPECT_EQ(text(64), "作詞");
  EXPECT_EQ(int32(204), 11);
  EXPECT_EQ(int32(212), 12);
  EXPECT_EQ(int32(216), 13);
  EXPECT_EQ(int32(220), 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + kImageLyricsOffset + 1536)), "別の名");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + kImageLyricsOffset + 1792)), "hills");
  int bars = 0, beats = 0, key = 0;
  auto again = CSongData::LoadFromFile(file, &bars, &beats, &key, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->ExtraText(8), "Home");
  EXPECT_EQ(again->info.GetText(SongInfoBlock::kTitle, 33), "故郷");
}

}  // namespace
