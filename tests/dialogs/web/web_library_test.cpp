// The web song library's list half against a stub server: the genre paths, the hidden rows and
// the counts, the keyword search, the retry question, the hidden library, failures, one fetch at
// a time, and the song request of the preview page with its file keys.
#include "tests/dialogs/web/web_fixture.h"

#include "dialogs/preview_page.h"
#include "dialogs/web_search_dialog.h"
#include "platform/core/folders.h"
#include "platform/core/message_sink.h"
#include "song/song_data.h"

#include <QLineEdit>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace web_test;
using cantrel_test::Sink;
namespace fs = std::filesystem;

const char kConnectFailed[] = "インターネットの接続に失敗しました。";
const char kRetry[] = "インターネット読み込みに失敗しました。再試行しますか？";

TEST_F(WebLibraryTest, EveryGenreAsksItsOwnPathAndShowsItsList) {
  const char* const paths[] = {"/music/music_get_list.php",     "/music/anime_get_list.php",
                               "/music/jpop_get_list.php",      "/music/natsumero_get_list.php",
                               "/music/themesong_get_list.php", "/music/kayou_get_list.php"};
  for (int g = 0; g < CWebLibrary::kGenreCount; ++g) {
    EXPECT_STREQ(CWebLibrary::ListPath(g), paths[g]);
    Serve(g, ListReply(PlainRows(13 + g, std::string("G") + std::to_string(g) + "-")));
  }
  EXPECT_STREQ(CWebLibrary::ListPath(9), paths[0]);
  EXPECT_STREQ(CWebLibrary::ListPath(-1), paths[0]);
  StartReady();
  ASSERT_EQ(web->GenreCombo()->count(), 6);
  EXPECT_EQ(plat::FromQString(web->GenreCombo()->itemText(3)), "懐メロ・演歌");
  EXPECT_EQ(CountText(), "13 / 13");
  for (int g = 1; g < CWebLibrary::kGenreCount; ++g) {
    ChooseGenre(g);
    ASSERT_EQ(Paths().back(), paths[g]);
    ASSERT_EQ(web->List()->count(), 13 + g);
    EXPECT_EQ(Shown()[0], "G" + std::to_string(g) + "-0");
    // Under another genre the second number is the total last shown under row 0.
    EXPECT_EQ(CountText(), std::to_string(13 + g) + " / 13");
    EXPECT_EQ(web->List()->currentRow(), 0);
  }
  EXPECT_EQ(Paths().size(), 6u);
  // The list came through "temp.dat", which a good reply leaves behind no more.
  EXPECT_FALSE(fs::exists(plat::UserDataFolder() / "temp.dat"));
}

TEST_F(WebLibraryTest, StarredAndScoreRowsAreNeverShownAndCellsKeepTheirCommas) {
  std::vector<Row> rows = PlainRows(12);
  rows.push_back({"＊準備中", "K90", "http://example.invalid/s"});
  rows.push_back({"（楽譜）夏の歌", "K91", "http://example.invalid/t"});
  rows.push_back({"夏\\\\冬", "K92", "http://example.invalid/u"});  // a comma in the title
  rows.push_back({"ソフト", "K93", "http://example.invalid/v"});    // 0x83 0x5C first
  Serve(0, ListReply(rows));
  StartReady();
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 14u);
  EXPECT_EQ(shown[12], "夏,冬");
  EXPECT_EQ(shown[13], "ソフト");
  EXPECT_EQ(CountText(), "14 / 14");
  // Item values are rows of the table: the last entry is row 15.
  EXPECT_EQ(web->List()->item(13)->data(Qt::UserRole).toInt(), 15);
  EXPECT_EQ(web->Table()->rows(), 16);
}

TEST_F(WebLibraryTest, AListOfOnlyStarredRowsShowsNothingAndCountsZero) {
  Serve(0, ListReply(PlainRows(20, "＊")));
  StartReady();
  EXPECT_EQ(web->List()->count(), 0);
  EXPECT_EQ(CountText(), "0 / 0");
  EXPECT_EQ(web->AllGenreTotal(), 0);
}

TEST_F(WebLibraryTest, KeywordSearchNarrowsTheListOnceAndAGenreChangeShowsItWhole) {
  std::vector<Row> rows = PlainRows(13);
  rows.push_back({"ラブソング", "K50", "http://example.invalid/l"});
  rows.push_back({"ﾗﾌﾞﾚﾀｰ", "K51", "http://example.invalid/m"});
  Serve(0, ListReply(rows));
  Serve(1, ListReply(PlainRows(14, "A")));
  StartReady();
  std::string typed;
  web->runKeywordDialog = [&](QWidget*) { return typed; };
  typed = "らぶ";  // hiragana finds katakana, half width and full
  web->WebKeywordSearch();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"ラブソング", "ﾗﾌﾞﾚﾀｰ"}));
  EXPECT_EQ(CountText(), "2 / 2");
  // The keyword is used once: a fill afterwards lists everything again.
  web->FillWebList();
  EXPECT_EQ(web->List()->count(), 15);
  typed = "ない";
  web->WebKeywordSearch();
  EXPECT_EQ(web->List()->count(), 0);
  ChooseGenre(1);
  EXPECT_EQ(web->List()->count(), 14);
  EXPECT_EQ(CountText(), "14 / 0");
}

TEST_F(WebLibraryTest, KeywordSearchNeedsAHeldTable) {
  config.hideWebLibrary = 1;
  Start();
  int runs = 0;
  web->runKeywordDialog = [&](QWidget*) {
    ++runs;
    return std::string();
  };
  web->WebKeywordSearch();
  EXPECT_EQ(runs, 0);
}

TEST_F(WebLibraryTest, TheKeywordDialogKeepsAtMost1023BytesCutOnACharacter) {
  struct Case {
    std::string typed;
    size_t kept;
  };
  const Case cases[] = {
      {"ラブ", 4},
      {std::string(1500, 'a'), 1023},
      {std::string(1, 'a') + [] { std::string s; for (int i = 0; i < 700; ++i) s += "ア"; return s; }(), 1023},
      {[] { std::string s; for (int i = 0; i < 700; ++i) s += "ア"; return s; }(), 1022},
  };
  for (const Case& c : cases) {
    CWebSearchDlg dlg;
    dlg.Create();
    dlg.Edit()->setText(plat::ToQString(c.typed));
    dlg.done(QDialog::Accepted);
    EXPECT_EQ(dlg.Keyword().size(), c.kept);
    EXPECT_EQ(dlg.Keyword(), c.typed.substr(0, c.kept));
  }
  CWebSearchDlg cancelled;
  cancelled.Create();
  cancelled.Edit()->setText(QStringLiteral("abc"));
  cancelled.done(QDialog::Rejected);
  EXPECT_EQ(cancelled.Keyword(), "");
}

TEST_F(WebLibraryTest, ShortReplyAsksToRetryYesFetchesTheGenreShownThen) {
  Serve(0, ListReply(PlainRows(12)));
  Serve(3, ListReply(PlainRows(13)));
  Sink().QueueAnswer(plat::kIdOk);
  CWebLibrary::SetRetryPause(400);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() == 1; }));
  // Before the question the combo has come to show another genre (without a change notice).
  {
    const QSignalBlocker block(web->GenreCombo());
    web->GenreCombo()->setCurrentIndex(3);
  }
  ASSERT_TRUE(PumpUntil([&] { return Sink().Count() == 1; }));
  EXPECT_EQ(Sink().Boxes()[0].kind, plat::BoxKind::Confirm);
  EXPECT_EQ(Sink().Texts()[0], kRetry);
  ASSERT_TRUE(PumpUntil([&] { return web->Ready() == 1; }));
  EXPECT_EQ(Paths(), (std::vector<std::string>{CWebLibrary::ListPath(0), CWebLibrary::ListPath(3)}));
  EXPECT_EQ(web->List()->count(), 13);
}

TEST_F(WebLibraryTest, ShortReplyAnsweredNoEmptiesTheListAndTheDialogIsReady) {
  Serve(0, ListReply(PlainRows(12)));
  Sink().QueueAnswer(plat::kIdCancel);
  Start();
  EXPECT_EQ(web->Ready(), 0);
  ASSERT_TRUE(PumpUntil([&] { return web->Ready() == 1; }));
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{kRetry});
  EXPECT_EQ(web->List()->count(), 0);
  EXPECT_EQ(web->Table(), nullptr);
  EXPECT_EQ(Paths().size(), 1u);
  // The short reply's file stays.
  EXPECT_TRUE(fs::exists(plat::UserDataFolder() / "temp.dat"));
}

TEST_F(WebLibraryTest, FailuresShowTheConnectionMessageAndLeaveTheDialogUsable) {
  struct Case {
    const char* what;
    std::function<void(WebLibraryTest&)> arrange;
  };
  const Case cases[] = {
      {"an empty reply", [](WebLibraryTest& t) { t.Serve(0, ""); }},
      {"status 500",
       [](WebLibraryTest& t) {
         cantrel_test::StubHttpServer::Answer a;
         a.status = 500;
         a.body = ListReply(PlainRows(20));
         t.server.Set(CWebLibrary::ListPath(0), a);
       }},
      {"a refused connection",
       [](WebLibraryTest&) {
         GneRegistrySet(CWebLibrary::kServerKey, CWebLibrary::kServerName,
                        "http://127.0.0.1:" + std::to_string(cantrel_test::StubHttpServer::ClosedPort()));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GneRegistrySet(CWebLibrary::kServerKey, CWebLibrary::kServerName, server.Url(""));
    c.arrange(*this);
    Sink().Clear();
    StartReady();
    EXPECT_EQ(Sink().Texts(), std::vector<std::string>{kConnectFailed});
    EXPECT_EQ(web->List()->count(), 0);
    EXPECT_EQ(web->Table(), nullptr);
    web.reset();
    host.reset();
  }
}

TEST_F(WebLibraryTest, WithoutAServerAddressNothingIsRequested) {
  GneRegistrySet(CWebLibrary::kServerKey, CWebLibrary::kServerName, "");
  Serve(0, ListReply(PlainRows(20)));
  StartReady();
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{kConnectFailed});
}

TEST_F(WebLibraryTest, AHiddenLibraryMakesNoRequestAndIsReadyAtOnce) {
  config.hideWebLibrary = 1;
  Serve(0, ListReply(PlainRows(20)));
  Start();
  EXPECT_EQ(web->Ready(), 1);
  EXPECT_EQ(Shown(), std::vector<std::string>{"Webライブラリが非表示に設定されています。"});
  EXPECT_EQ(web->GenreCombo()->count(), 0);
  Pump(200);
  EXPECT_TRUE(server.Requests().empty());
  // The notice line is no entry: the preview page does not open.
  web->List()->setCurrentRow(0);
  int pages = 0;
  web->runPreviewPage = [&](CTrialDlg&) { ++pages; };
  web->OpenPreviewPage();
  EXPECT_EQ(pages, 0);
  EXPECT_EQ(web->BeepCount(), 1);
}

TEST_F(WebLibraryTest, TheFirstFetchHoldsThePreviewAndShutdownEndsItAtOnce) {
  Serve(0, "", /*never=*/true);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !server.Requests().empty(); }));
  EXPECT_EQ(web->Ready(), 0);
  web->OpenPreviewPage();
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"曲リストの読込み中です。"});
  QElapsedTimer timer;
  timer.start();
  web->Shutdown();
  EXPECT_LT(timer.elapsed(), 5000);
  Pump(50);
  EXPECT_EQ(web->Ready(), 0);  // the cancelled fetch reports nothing
}

TEST_F(WebLibraryTest, ANewGenreCancelsTheRunningFetch) {
  Serve(0, ListReply(PlainRows(13)));
  Serve(1, "", /*never=*/true);
  Serve(2, ListReply(PlainRows(15, "J")));
  StartReady();
  web->GenreCombo()->setCurrentIndex(1);
  ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() == 2; }));
  ChooseGenre(2);
  EXPECT_EQ(web->List()->count(), 15);
  EXPECT_EQ(Shown()[0], "J0");
  Pump(100);
  EXPECT_EQ(web->List()->count(), 15);
}

TEST(WebLibraryProtocol, SongRequestPathEncodesWhatAQueryCannotCarry) {
  struct Case {
    std::string key;
    const char* path;
  };
  const Case cases[] = {
      {"abc123_x-y.mwd", "/music/music_get_file.php?fn=abc123_x-y.mwd"},
      {"a b", "/music/music_get_file.php?fn=a%20b"},
      {"a#b&c%d", "/music/music_get_file.php?fn=a%23b%26c%25d"},
      {"x=1?y/z", "/music/music_get_file.php?fn=x=1?y/z"},
      {"曲", "/music/music_get_file.php?fn=%8B%C8"},
      {std::string("a\r\nb\x7f", 5), "/music/music_get_file.php?fn=a%0D%0Ab%7F"},
      {"", "/music/music_get_file.php?fn="},
  };
  for (const Case& c : cases) EXPECT_EQ(CWebLibrary::SongRequestPath(c.key), c.path) << c.key;
}

TEST(WebLibraryProtocol, KeysWithoutASongFileAndHiddenTitles) {
  for (const char* key : {"JRC0001", "JRC", "elicense77", "elicense"}) {
    EXPECT_FALSE(CWebLibrary::HasSongFile(key)) << key;
  }
  for (const char* key : {"jrc0001", "XJRC", "Elicense", "elic", ""}) {
    EXPECT_TRUE(CWebLibrary::HasSongFile(key)) << key;
  }
  EXPECT_FALSE(CWebLibrary::IsShownTitle("＊"));
  EXPECT_FALSE(CWebLibrary::IsShownTitle("（楽譜）歌"));
  EXPECT_TRUE(CWebLibrary::IsShownTitle("歌＊"));
  EXPECT_TRUE(CWebLibrary::IsShownTitle("（楽）"));
  EXPECT_TRUE(CWebLibrary::IsShownTitle(""));
}

// A song image as the server keeps it.
std::string SongImage(int bars, const char* title) {
  CSongData song;
  song.Reset(bars, 4, 0, 1);
  song.info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, title);
  const std::vector<uint8_t> image = song.SerializeToVector();
  return std::string(image.begin(), image.end());
}

struct SeenPage {
  bool hadSong = false;
  int bars = 0;
  std::string title;
  std::string page;
  int width = 0, height = 0;
};

TEST_F(WebLibraryTest, ThePreviewGetsTheSongOfItsKeyOrNoneForManagedKeys) {
  std::vector<Row> rows = PlainRows(13);
  rows.push_back({"普通", "song 1#&%", "http://example.invalid/p1"});
  rows.push_back({"管理", "JRC777", "http://example.invalid/p2"});
  rows.push_back({"管理2", "elicense5", "https://example.invalid/p3"});
  rows.push_back({"壊れ", "broken", "http://example.invalid/p4"});
  Serve(0, ListReply(rows));
  cantrel_test::StubHttpServer::Answer song;
  song.body = SongImage(9, "夕焼け");
  server.Set("/music/music_get_file.php?fn=song%201%23%26%25", song);
  cantrel_test::StubHttpServer::Answer broken;
  broken.body = "short";
  server.Set("/music/music_get_file.php?fn=broken", broken);
  StartReady();
  std::vector<SeenPage> seen;
  web->runPreviewPage = [&](CTrialDlg& page) {
    SeenPage s;
    s.hadSong = page.song != nullptr;
    if (page.song) {
      s.bars = page.song->bar_count;
      s.title = page.song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize);
    }
    s.page = page.pageAddress;
    s.width = page.windowWidth;
    s.height = page.windowHeight;
    seen.push_back(s);
  };
  for (int entry = 13; entry < 17; ++entry) {
    const size_t requests = server.Requests().size();
    web->List()->setCurrentRow(entry);
    web->OpenPreviewPage();
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == static_cast<size_t>(entry - 12); }));
    EXPECT_FALSE(web->FetchingSong());
    EXPECT_EQ(server.Requests().size() - requests, entry == 14 || entry == 15 ? 0u : 1u) << entry;
  }
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_TRUE(seen[0].hadSong);
  EXPECT_EQ(seen[0].bars, 9);
  EXPECT_EQ(seen[0].title, "夕焼け");
  EXPECT_EQ(seen[0].page, "http://example.invalid/p1");
  EXPECT_FALSE(seen[1].hadSong);
  EXPECT_FALSE(seen[2].hadSong);
  EXPECT_EQ(seen[2].page, "https://example.invalid/p3");
  // A song the document refuses is reported by it; the page opens without a song.
  EXPECT_FALSE(seen[3].hadSong);
  EXPECT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(seen[0].width, 800);
  EXPECT_EQ(seen[0].height, 600);
  // Each page was framed by the main window's audition messages.
  const std::vector<uint32_t> posted = owner.Posted();
  ASSERT_EQ(posted.size(), 8u);
  for (size_t i = 0; i < posted.size(); i += 2) {
    EXPECT_EQ(posted[i], CWebLibrary::kMsgPreviewOpening);
    EXPECT_EQ(posted[i + 1], CWebLibrary::kMsgPreviewClosed);
  }
}

TEST_F(WebLibraryTest, ThePreviewWindowSizeFollowsTheLayoutAndScale) {
  Serve(0, ListReply({{"曲", "JRC1", "http://example.invalid/"}, {}, {}, {}, {}, {}, {}, {}, {},
                      {}, {}, {}, {}}));
  struct Case {
    int layout, scale, width, height;
  };
  const Case cases[] = {{0, 100, 800, 600}, {2, 200, 800, 600}, {1, 100, 959, 731},
                        {3, 175, 959, 731}, {1, 200, 1059, 731}, {6, 250, 1059, 731}};
  StartReady();
  for (const Case& c : cases) {
    config.screenLayout = static_cast<int8_t>(c.layout);
    owner.scale = c.scale;
    int width = 0, height = 0;
    web->runPreviewPage = [&](CTrialDlg& page) {
      width = page.windowWidth;
      height = page.windowHeight;
    };
    web->List()->setCurrentRow(0);
    web->OpenPreviewPage();
    EXPECT_EQ(width, c.width) << c.layout << " " << c.scale;
    EXPECT_EQ(height, c.height) << c.layout << " " << c.scale;
  }
}

TEST_F(WebLibraryTest, NoChosenEntryBeeps) {
  Serve(0, ListReply(PlainRows(13)));
  StartReady();
  web->List()->setCurrentRow(-1);
  int pages = 0;
  web->runPreviewPage = [&](CTrialDlg&) { ++pages; };
  web->OpenPreviewPage();
  EXPECT_EQ(web->BeepCount(), 1);
  EXPECT_EQ(pages, 0);
}

TEST_F(WebLibraryTest, ClosingDuringTheSongRequestCancelsIt) {
  Serve(0, ListReply(PlainRows(13)));
  cantrel_test::StubHttpServer::Answer silent;
  silent.never_answer = true;
  server.Set("/music/music_get_file.php?fn=K0", silent);
  StartReady();
  int pages = 0;
  web->runPreviewPage = [&](CTrialDlg&) { ++pages; };
  web->List()->setCurrentRow(0);
  web->OpenPreviewPage();
  EXPECT_TRUE(web->FetchingSong());
  EXPECT_FALSE(web->List()->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() == 2; }));
  web->OpenPreviewPage();  // a second press while the first request runs does nothing
  QElapsedTimer timer;
  timer.start();
  web->Shutdown();
  EXPECT_LT(timer.elapsed(), 5000);
  EXPECT_FALSE(web->FetchingSong());
  Pump(50);
  EXPECT_EQ(pages, 0);
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(WebLibraryTest, TheDialogsOwnControlsAreTaken) {
  Serve(0, ListReply(PlainRows(13)));
  host = std::make_unique<CDialogSkeleton>(213);
  QListWidget* list = host->MakeControl<QListWidget>(CWebLibrary::kListBoxId);
  QComboBox* genres = host->MakeControl<QComboBox>(CWebLibrary::kGenreComboId);
  web = std::make_unique<CWebLibrary>(host.get(), &config);
  web->Prepare();
  EXPECT_EQ(web->List(), list);
  EXPECT_EQ(web->GenreCombo(), genres);
  ASSERT_NE(web->CountLabel(), nullptr);
  EXPECT_EQ(web->CountLabel()->parent(), host.get());
  ASSERT_TRUE(PumpUntil([&] { return web->Ready() == 1; }));
  EXPECT_EQ(list->count(), 13);
}

// Boxes as the program shows them: a worker's box waits until the UI thread has shown it.
class UiThreadSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string& text) override {
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() == app->thread()) {
      texts.push_back(text);
    } else {
      QMetaObject::invokeMethod(app, [&] { texts.push_back(text); }, Qt::BlockingQueuedConnection);
    }
    return plat::kIdOk;
  }
  std::vector<std::string> texts;  // touched on the UI thread only
};

TEST_F(WebLibraryTest, ClosingWhileAWorkersBoxWaitsForTheUiThreadEnds) {
  Serve(0, std::string(CWebLibrary::kReceiveCapacity + 1000, 'a'));  // an overlong reply
  UiThreadSink sink;
  plat::InstallSink(&sink);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !server.Requests().empty(); }));
  // The worker meets the overlong reply and asks for its box while the UI thread looks away.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  QElapsedTimer timer;
  timer.start();
  web->Shutdown();
  EXPECT_LT(timer.elapsed(), 5000);
  plat::InstallSink(&cantrel_test::Sink());
  EXPECT_EQ(sink.texts, std::vector<std::string>{"インターネット読み込みエラー"});
}

}  // namespace
