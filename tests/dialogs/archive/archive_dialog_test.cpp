// The archive dialog over real song files: listing under the popularity filter, the searches
// through the search dialog, the chosen song and its transposition, and closing while a scan
// runs.
#include "dialogs/archive_dialog.h"

#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/song_info/dialog_test_util.h"
#include "tests/song/archive/archive_files.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

namespace fs = std::filesystem;
using archive_test::SaveSong;
using archive_test::WriteBareSong;

namespace {

class FakeWebHalf : public CArchiveWebHalf {
 public:
  void Prepare(CArchiveDlg*) override { ++prepared; }
  bool FirstFetchRunning() const override { return fetching; }
  void OpenPreviewPage() override { calls.push_back("preview"); }
  void RunWebSearch() override { calls.push_back("search"); }
  void Close() override { ++closed; }
  bool fetching = false;
  int prepared = 0;
  int closed = 0;
  std::vector<std::string> calls;
};

std::string Text(const QLabel* label) { return plat::FromQString(label->text()); }

class ArchiveDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
    base = cantrel_test::TempDir();
    folder = base / "Archive";
    config.archiveFilter = 0;
  }
  void TearDown() override {
    dlg.reset();
    CButtonPicture2::ResetState();
    CButtonPicture3::ResetState();
    CKeyboardPicture::ResetState();
  }
  void Open() {
    dlg = std::make_unique<CArchiveDlg>();
    dlg->SetOwner(&owner);
    dlg->SetFolders(base, base);
    dlg->SetConfig(&config);
    dlg->SetSong(current.get());
    dlg->SetWebHalf(&web);
    dlg->Create();
    dlg->show();
    ASSERT_TRUE(WaitScan());
  }
  bool WaitScan(int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (dlg->Scanning() && t.elapsed() < ms) QTest::qWait(5);
    return !dlg->Scanning();
  }
  std::vector<std::string> Listed() const {
    std::vector<std::string> out;
    for (int i = 0; i < dlg->personalList->count(); ++i) {
      out.push_back(plat::FromQString(dlg->personalList->item(i)->text()));
    }
    return out;
  }
  // Runs a search as the search dialog would end with `fill` applied.
  void Search(std::function<void(CSearchDlg&)> fill, bool ok = true) {
    dlg->SetSearchRunner([fill, ok](CSearchDlg& s) {
      s.Create();
      fill(s);
      if (!ok) return static_cast<int>(QDialog::Rejected);
      s.OnOK();
      return s.result();
    });
    dlg->RunSearch();
    ASSERT_TRUE(WaitScan());
  }

  InfoOwner owner;
  ConfigData config{};
  FakeWebHalf web;
  fs::path base, folder;
  std::unique_ptr<CSongData> current;
  std::unique_ptr<CArchiveDlg> dlg;
};

TEST_F(ArchiveDialogTest, EmptyArchiveIsMadeAndListsNothingWithoutAdvice) {
  Open();
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(dlg->personalList->count(), 0);
  EXPECT_EQ(Text(dlg->personalCount), " 0 / 0");
  EXPECT_EQ(Text(dlg->conditionLabel), " 全て表示 / 絞り込みなし");
  EXPECT_EQ(plat::FromQString(dlg->windowTitle()), "アーカイブ");
  EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
  EXPECT_EQ(web.prepared, 1);
  EXPECT_EQ(dlg->filterList->count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(CButtonPicture2::IsButtonEnabled(i)) << i;
  EXPECT_TRUE(dlg->personalList->isEnabled());
  EXPECT_EQ(dlg->hosts[1]->geometry(), QRect(510, 443, 88, 30));
  EXPECT_EQ(CButtonPicture2::Caption(3), "リセット");
}

TEST_F(ArchiveDialogTest, FilterChangeRelistsAndClearsTheConditionAndAdvisesWhenEmpty) {
  WriteBareSong(folder / "a.mwd", "中くらい", 399);
  WriteBareSong(folder / "b.mwd", "有名", 500);
  config.archiveFilter = 1;
  Open();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"中くらい", "有名"}));
  Search([](CSearchDlg& s) {
    s.typeList->setCurrentIndex(0);
    s.keywordEdit->setText(plat::ToQString("有名"));
  });
  EXPECT_EQ(Listed(), std::vector<std::string>{"有名"});
  EXPECT_EQ(Text(dlg->conditionLabel), " 知名度低いものも表示 / 有名");
  dlg->filterList->setCurrentIndex(2);
  ASSERT_TRUE(WaitScan());
  EXPECT_EQ(config.archiveFilter, 2);
  EXPECT_EQ(Listed(), std::vector<std::string>{"有名"});
  EXPECT_EQ(Text(dlg->conditionLabel), " 有名曲のみ表示 / 絞り込みなし");
  EXPECT_EQ(Text(dlg->personalCount), " 1 / 2");
  cantrel_test::Sink().Clear();
  dlg->filterList->setCurrentIndex(3);
  ASSERT_TRUE(WaitScan());
  EXPECT_EQ(Listed(), std::vector<std::string>{});
  ASSERT_EQ(cantrel_test::Sink().Texts().size(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0],
            "「超有名曲のみ表示」の条件を「全て表示」等の条件に緩めて再度検索してください。");
}

TEST_F(ArchiveDialogTest, NotesSearchGivesTheChosenEntrysTransposition) {
  SaveSong(folder / "c.mwd", {"ハ長調", 0, 0, 0, 4, {60, 62, 64, 60, 62, 64}});
  SaveSong(folder / "d.mwd", {"広い", 0, 0, 0, 4, {40, 80}});
  Open();
  Search([](CSearchDlg& s) {
    s.typeList->setCurrentIndex(4);
    for (int n : {60, 62, 64, 65, 67, 69}) s.OnKey(n);
  });
  EXPECT_EQ(Listed(), (std::vector<std::string>{"ハ長調<C>", "ハ長調<F>"}));
  EXPECT_EQ(Text(dlg->personalCount), " 2 / 24");
  EXPECT_EQ(Text(dlg->conditionLabel), " 全て表示 / 使用音検索");
  dlg->personalList->setCurrentRow(1);
  dlg->OnOK();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(dlg->ChosenFile(), "c.mwd");
  EXPECT_EQ(dlg->ChosenTransposition(), 7);
  EXPECT_GE(web.closed, 1);
}

TEST_F(ArchiveDialogTest, PhraseSearchComparesWithACopyOfTheOpenSong) {
  SaveSong(folder / "same.mwd", {"同じ", 0, 0, 0, 4, {62, 64, 66, 67, 69, 67, 66, 64}});
  SaveSong(folder / "other.mwd", {"別", 0, 0, 0, 4, {60, 48, 72, 50, 71, 49, 70, 55}});
  current = archive_test::MakeSong({"今", 0, 0, 0, 4, {60, 62, 64, 65, 67, 65, 64, 62}});
  Open();
  Search([](CSearchDlg& s) {
    s.typeList->setCurrentIndex(2);
    s.firstSpin->setValue(1);
    s.lastSpin->setValue(1);
    s.similaritySpin->setValue(90);
  });
  EXPECT_EQ(Listed(), std::vector<std::string>{"同じ"});
  EXPECT_EQ(Text(dlg->conditionLabel), " 全て表示 / フレーズ検索");
}

TEST_F(ArchiveDialogTest, RefusedAndCancelledSearchesLeaveTheList) {
  WriteBareSong(folder / "a.mwd", "歌", 0);
  Open();
  // A lyric search without a keyword: error 3.
  Search([](CSearchDlg& s) { s.typeList->setCurrentIndex(3); });
  EXPECT_EQ(Listed(), std::vector<std::string>{"歌"});
  ASSERT_EQ(cantrel_test::Sink().Texts().size(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "検索語が指定されていませんでした。");
  // Cancelled: nothing changes.
  Search([](CSearchDlg& s) {
    s.typeList->setCurrentIndex(0);
    s.keywordEdit->setText("x");
  }, false);
  EXPECT_EQ(Listed(), std::vector<std::string>{"歌"});
  EXPECT_EQ(Text(dlg->conditionLabel), " 全て表示 / 絞り込みなし");
  // An empty title keyword lists everything again.
  Search([](CSearchDlg& s) { s.typeList->setCurrentIndex(0); });
  EXPECT_EQ(Listed(), std::vector<std::string>{"歌"});
}

TEST_F(ArchiveDialogTest, OkWithoutAnEntryAndButtonsDuringTheFirstFetch) {
  WriteBareSong(folder / "a.mwd", "歌", 0);
  Open();
  cantrel_test::Sink().Clear();
  dlg->OnOK();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"曲が選択されていません。"});
  web.fetching = true;
  cantrel_test::Sink().Clear();
  dlg->personalList->setCurrentRow(0);
  dlg->OnOK();
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"インターネット接続中は操作できません。",
                                      "インターネット接続中は操作できません。"}));
  dlg->OnButton(4);
  dlg->OnButton(5);
  EXPECT_EQ(web.calls, (std::vector<std::string>{"preview", "search"}));
  web.fetching = false;
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(dlg->ChosenFile().empty());
}

TEST_F(ArchiveDialogTest, EscapeWhileListingStopsTheScan) {
  for (int i = 0; i < 2000; ++i) {
    WriteBareSong(folder / (std::to_string(10000 + i) + ".mwd"), "x", 0);
  }
  dlg = std::make_unique<CArchiveDlg>();
  dlg->SetOwner(&owner);
  dlg->SetFolders(base, base);
  dlg->SetConfig(&config);
  dlg->Create();
  dlg->show();
  EXPECT_TRUE(dlg->Scanning());
  EXPECT_FALSE(CButtonPicture2::IsButtonEnabled(0));
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->Scanning());
  QTest::qWait(20);  // a message the stopped scan posted finds nothing to do
  dlg.reset();
}

TEST_F(ArchiveDialogTest, ListingCountsInTheCaptionAndReportsTooManyFiles) {
  for (int i = 0; i <= 3000; ++i) {
    WriteBareSong(folder / (std::to_string(10000 + i) + ".mwd"), "x", 0);
  }
  std::vector<std::string> captions;
  dlg = std::make_unique<CArchiveDlg>();
  dlg->SetOwner(&owner);
  dlg->SetFolders(base, base);
  dlg->SetConfig(&config);
  QObject::connect(dlg.get(), &QWidget::windowTitleChanged,
                   [&](const QString& t) { captions.push_back(plat::FromQString(t)); });
  dlg->Create();
  dlg->show();
  ASSERT_TRUE(WaitScan());
  EXPECT_EQ(dlg->personalList->count(), 3000);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"アーカイブに登録されている曲数が最大に達しています。"});
  ASSERT_GE(captions.size(), 2u);
  EXPECT_EQ(captions.front().rfind("アーカイブ ", 0), 0u) << captions.front();
  EXPECT_EQ(captions.back(), "アーカイブ");
}

// ----------------------------------------------------------------------------- the search dialog

class SearchDialogTest : public ArchiveDialogTest {};

TEST_F(SearchDialogTest, PhraseRangesOutsideTheSongBeepAndStay) {
  struct Case {
    int first, last;  // as the spins show them (1-based)
    bool accepted;
  };
  const Case cases[] = {{2, 1, false}, {1, 9, false}, {1, 8, true}, {3, 3, true}};
  for (const Case& c : cases) {
    CSearchDlg s;
    s.SetOwner(&owner);
    s.SetSongBars(8);
    s.Create();
    s.typeList->setCurrentIndex(2);
    s.firstSpin->setValue(c.first);
    s.lastSpin->setValue(c.last);
    s.similaritySpin->setValue(75);
    s.OnOK();
    EXPECT_EQ(s.beepCount, c.accepted ? 0 : 1) << c.first << "-" << c.last;
    EXPECT_EQ(s.result(), c.accepted ? QDialog::Accepted : 0) << c.first << "-" << c.last;
    if (c.accepted) {
      EXPECT_EQ(s.firstBar, c.first - 1);
      EXPECT_EQ(s.lastBar, c.last - 1);
      EXPECT_DOUBLE_EQ(s.threshold, 0.75);
      EXPECT_EQ(s.keyword, "フレーズ検索");
    }
  }
}

TEST_F(SearchDialogTest, StartsAfreshAndShowsOnlyTheTypesInputs) {
  CKeyboardPicture melody(nullptr, plat::Rect{0, 0, 100, 40}, std::array<int, 2>{48, 83}.data(),
                          nullptr);
  {
    CSearchDlg s;
    s.SetOwner(&owner);
    s.SetKeyboardPicture(&melody);
    s.Create();
    EXPECT_EQ(s.typeList->currentIndex(), 0);
    EXPECT_EQ(s.firstSpin->value(), 1);
    EXPECT_EQ(s.lastSpin->value(), 2);
    EXPECT_EQ(s.similaritySpin->value(), 60);
    EXPECT_EQ(s.countryList->count(), 68);
    EXPECT_EQ(s.countryList->currentData().toInt(), 0);
    EXPECT_EQ(CKeyboardPicture::Count(), 2);
    EXPECT_EQ(s.KeyboardNumber(), 1);
    struct Visible {
      int type;
      bool keyword, country, bars, keys;
      const char* hint;
    };
    const Visible rows[] = {
        {0, true, false, false, false, "キーワードを入力してください。複合検索はできません。"},
        {1, false, true, false, false, "国を選択してください。"},
        {2, false, false, true, false, "フレーズの開始小節と終了小節を指定してください。"},
        {3, true, false, false, false, "キーワードを入力してください。複合検索はできません。"},
        {4, false, false, false, true, "音符を選択してください。"},
    };
    s.show();
    for (const Visible& v : rows) {
      s.typeList->setCurrentIndex(v.type);
      EXPECT_EQ(s.type, v.type);
      EXPECT_EQ(s.keywordEdit->isVisible(), v.keyword) << v.type;
      EXPECT_EQ(s.countryList->isVisible(), v.country) << v.type;
      EXPECT_EQ(s.firstSpin->isVisible(), v.bars) << v.type;
      EXPECT_EQ(s.similarityLabel->isVisible(), v.bars) << v.type;
      EXPECT_EQ(s.keyboardHost->isVisible(), v.keys) << v.type;
      EXPECT_EQ(Text(s.hint), v.hint) << v.type;
    }
    cantrel_test::Sink().Clear();
    s.ShowTypeControls(5);
    EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CSearchDlg::ErrorMsg"});
    s.OnKey(61);
    s.OnKey(50);
    s.countryList->setCurrentIndex(1);  // "日本", code 3
    s.OnOK();
    EXPECT_EQ(s.notes, (std::vector<int>{50, 61}));
    EXPECT_EQ(s.country, 3);
    EXPECT_EQ(s.keyword, "使用音検索");
  }
  EXPECT_EQ(CKeyboardPicture::Count(), 1) << "the dialog's keyboard goes with it";
}

TEST_F(SearchDialogTest, KeywordIsCutOnACharacterWithRoomForItsEnd) {
  CSearchDlg s;
  s.SetOwner(&owner);
  s.Create();
  QString long_text;
  for (int i = 0; i < 200; ++i) long_text += plat::ToQString("あ");
  s.keywordEdit->setMaxLength(1000);
  s.keywordEdit->setText(QStringLiteral("a") + long_text);
  s.OnOK();
  EXPECT_EQ(s.keyword.size(), 255u);  // "a" and 127 double-byte characters
  EXPECT_EQ(s.keyword.substr(s.keyword.size() - 2), "あ");
}

}  // namespace
