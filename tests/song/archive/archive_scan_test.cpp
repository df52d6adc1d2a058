#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "song/archive_scan.h"
#include "song/song_data.h"
#include "tests/song/archive/archive_files.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using archive_test::SaveSong;
using archive_test::SongSpec;
using archive_test::WriteBareSong;

namespace {

fs::path Folder() { return archive::ArchiveFolder(cantrel_test::TempDir()); }

archive::Outcome ScanArchive(const archive::Request& request) {
  std::atomic<bool> stop{false};
  return archive::Scan(Folder(), request, stop);
}

std::vector<std::string> Texts(const archive::Outcome& out) {
  std::vector<std::string> texts;
  for (const auto& e : out.entries) texts.push_back(e.text);
  return texts;
}

archive::Request Search(int type) {
  archive::Request r;
  r.type = type;
  return r;
}

}  // namespace

TEST(FittingShifts, ListsEveryShiftThatPutsTheSongOnPressedKeys) {
  struct Case {
    const char* what;
    std::vector<int> used, pressed, fits;
  };
  const Case cases[] = {
      {"C-major song on the six white keys from middle C", {60, 62, 64},
       {60, 62, 64, 65, 67, 69}, {0, 7}},
      {"pressed keys span less than the song", {60, 67}, {60, 62, 64}, {}},
      {"a song without notes fits nothing", {}, {60, 61, 62}, {}},
      {"a single note on one key fits only as it is", {64}, {64}, {0}},
      {"every key of an octave: a single note fits every class",
       {60},
       {60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"shifts that would leave the MIDI range hold no keys", {0, 2}, {120, 122, 127}, {0}},
      {"nothing pressed", {60}, {}, {}},
  };
  for (const Case& c : cases) {
    int used[128] = {};
    for (int n : c.used) used[n] = 1;
    int fits[12];
    std::fill(fits, fits + 12, 5);
    const int any = archive::FindFittingShifts(used, c.pressed.data(),
                                               static_cast<int>(c.pressed.size()), fits);
    std::vector<int> got;
    for (int k = 0; k < 12; ++k) {
      EXPECT_TRUE(fits[k] == 0 || fits[k] == 1) << c.what;
      if (fits[k]) got.push_back(k);
    }
    EXPECT_EQ(got, c.fits) << c.what;
    EXPECT_EQ(any, c.fits.empty() ? 0 : 1) << c.what;
  }
}

TEST(FittingShifts, ShiftedKeyKeepsTheModeAndTakesTheFirstRowOfTheTonic) {
  struct Case {
    int key, k;
    const char* name;
  };
  const Case cases[] = {
      {0, 0, "C"},    {0, 7, "F"},   {0, 11, "C#"},  // C# (row 7) comes before Db
      {8, 5, "C"},    {15, 0, "Am"}, {15, 2, "Gm"},
      {25, 1, "Bm"},  {-3, 0, "C"},  {99, 7, "F"},  // rows outside the table read as C major
  };
  for (const Case& c : cases) {
    EXPECT_EQ(archive::ShiftedKeyName(c.key, c.k), c.name) << c.key << " " << c.k;
  }
}

TEST(ArchiveScan, EmptyOrMissingFolderListsNothing) {
  EXPECT_TRUE(ScanArchive(archive::Request()).entries.empty());
  fs::create_directories(Folder());
  const archive::Outcome out = ScanArchive(archive::Request());
  EXPECT_TRUE(out.entries.empty());
  EXPECT_EQ(out.files, 0);
  EXPECT_EQ(out.denominator, 0);
  EXPECT_EQ(out.error, -1);
}

TEST(ArchiveScan, ListingFollowsThePopularityFilter) {
  WriteBareSong(Folder() / "a.mwd", "まれ", 99);
  WriteBareSong(Folder() / "b.mwd", "中くらい", 399);
  WriteBareSong(Folder() / "c.mwd", "有名", 400);
  WriteBareSong(Folder() / "d.mwd", "超有名", 1000);
  WriteBareSong(Folder() / "e.txt", "ちがう", 1000);
  const std::vector<std::vector<std::string>> want = {
      {"まれ", "中くらい", "有名", "超有名"},
      {"中くらい", "有名", "超有名"},
      {"有名", "超有名"},
      {"超有名"},
  };
  for (int row = 0; row < 4; ++row) {
    archive::Request r;
    r.filterRow = row;
    const archive::Outcome out = ScanArchive(r);
    EXPECT_EQ(Texts(out), want[row]) << row;
    EXPECT_EQ(out.files, 4);
    EXPECT_EQ(out.denominator, 4);
  }
  const archive::Outcome out = ScanArchive(archive::Request());
  ASSERT_EQ(out.entries.size(), 4u);
  EXPECT_EQ(out.entries[2].file, "c.mwd");
  EXPECT_EQ(out.entries[2].item, 0);
}

TEST(ArchiveScan, MoreThanThreeThousandFilesListsTheFirstThreeThousandWithError2) {
  for (int i = 0; i <= archive::kMaxFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "s%04d.mwd", i);
    WriteBareSong(Folder() / name, name, 0);
  }
  const archive::Outcome out = ScanArchive(archive::Request());
  EXPECT_EQ(out.error, 2);
  ASSERT_EQ(out.entries.size(), 3000u);
  EXPECT_EQ(out.entries.back().file, "s2999.mwd");
  EXPECT_EQ(out.files, 3000);
  // Searches look at the first 3000 silently.
  archive::Request r = Search(archive::kTitle);
  r.keyword = "s3000";
  const archive::Outcome search = ScanArchive(r);
  EXPECT_EQ(search.error, -1);
  EXPECT_TRUE(search.entries.empty());
}

TEST(ArchiveScan, TitleAndLyricSearches) {
  SaveSong(Folder() / "1.mwd", {"さくら", 500, 3, 0, 4, {60}, "はるの うた"});
  SaveSong(Folder() / "2.mwd", {"ふるさと", 50, 3, 0, 4, {60}, "うさぎ おいし"});
  SaveSong(Folder() / "3.mwd", {"SAKURA", 500, 1, 0, 4, {60}, ""});
  struct Case {
    int type, row;
    std::string keyword;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {archive::kTitle, 0, "サクラ", {"さくら"}},  // kana script does not matter
      {archive::kTitle, 0, "ｓａｋｕｒａ", {"SAKURA"}},
      {archive::kTitle, 2, "ふるさと", {}},  // below the filter
      {archive::kLyric, 0, "うさぎ", {"ふるさと"}},
      {archive::kLyric, 0, "ウサギ", {}},  // lyrics match byte for byte
      {archive::kLyric, 0, "う", {"さくら", "ふるさと"}},
  };
  for (const Case& c : cases) {
    archive::Request r = Search(c.type);
    r.filterRow = c.row;
    r.keyword = c.keyword;
    EXPECT_EQ(Texts(ScanArchive(r)), c.want) << c.keyword;
  }
}

TEST(ArchiveScan, CountryAndPhraseSearchesLoadEachSong) {
  SaveSong(Folder() / "1.mwd", {"日本の歌", 500, 3, 0, 4, {60, 62, 64, 65, 67, 65, 64, 62}});
  SaveSong(Folder() / "2.mwd", {"中国の歌", 500, 1, 0, 4, {72, 74, 76, 77, 79, 77, 76, 74}});
  SaveSong(Folder() / "3.mwd", {"ほか", 500, 3, 0, 4, {60, 59, 55, 67, 60, 72, 48, 50}});
  archive::Request country = Search(archive::kCountry);
  country.country = 3;
  EXPECT_EQ(Texts(ScanArchive(country)), (std::vector<std::string>{"日本の歌", "ほか"}));

  auto current = archive_test::MakeSong({"今の歌", 0, 0, 0, 4, {50, 52, 54, 55, 57, 55, 54, 52}});
  archive::Request phrase = Search(archive::kPhrase);
  phrase.current = std::shared_ptr<const CSongData>(std::move(current));
  phrase.firstBar = 0;
  phrase.lastBar = 0;
  phrase.threshold = 0.9;
  EXPECT_EQ(Texts(ScanArchive(phrase)), (std::vector<std::string>{"日本の歌", "中国の歌"}));
  // A range past the song's bars compares as nothing alike.
  phrase.firstBar = 3;
  phrase.lastBar = 4;
  phrase.threshold = 0.0;
  EXPECT_EQ(ScanArchive(phrase).entries.size(), 3u);
  phrase.threshold = 0.01;
  EXPECT_TRUE(ScanArchive(phrase).entries.empty());
}

TEST(ArchiveScan, NotesSearchListsEachFittingKeyWithItsShift) {
  SaveSong(Folder() / "c.mwd", {"ハ長調", 500, 0, 0, 4, {60, 62, 64, 60, 62, 64}});
  SaveSong(Folder() / "wide.mwd", {"広い", 500, 0, 0, 4, {48, 72}});
  SaveSong(Folder() / "empty.mwd", {"無音", 500, 0, 0, 4, {}});
  archive::Request r = Search(archive::kNotes);
  r.notes = {60, 62, 64, 65, 67, 69};
  const archive::Outcome out = ScanArchive(r);
  ASSERT_EQ(out.entries.size(), 2u);
  EXPECT_EQ(out.entries[0].text, "ハ長調<C>");
  EXPECT_EQ(out.entries[0].item, 0);
  EXPECT_EQ(out.entries[1].text, "ハ長調<F>");
  EXPECT_EQ(out.entries[1].item, 7);
  EXPECT_EQ(out.entries[1].file, "c.mwd");
  EXPECT_EQ(out.files, 3);
  EXPECT_EQ(out.denominator, 36);
}

TEST(ArchiveScan, NotesSearchStopsAtAFullListWithError0) {
  // Ten shifts for the first song, twelve for each single-note song after it: the list fills
  // within the 251st file.
  SaveSong(Folder() / "000.mwd", {"二音", 0, 0, 0, 4, {60, 62}});
  SaveSong(Folder() / "001.mwd", {"一音", 0, 0, 0, 4, {60}});
  for (int i = 2; i <= 260; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.mwd", i);
    fs::copy_file(Folder() / "001.mwd", Folder() / name);
  }
  archive::Request r = Search(archive::kNotes);
  for (int n = 60; n < 72; ++n) r.notes.push_back(n);
  const archive::Outcome out = ScanArchive(r);
  EXPECT_EQ(out.error, 0);
  ASSERT_EQ(out.entries.size(), 3000u);
  EXPECT_EQ(out.entries.back().file, "250.mwd");
  EXPECT_EQ(out.entries.back().item, 1);
  // A list that fills exactly at a file's end ends the search without the error.
  fs::remove(Folder() / "000.mwd");
  const archive::Outcome exact = ScanArchive(r);
  EXPECT_EQ(exact.error, -1);
  EXPECT_EQ(exact.entries.size(), 3000u);
}

TEST(ArchiveScan, UnreadableFilesAreCountedQuietlyAndNotListed) {
  SaveSong(Folder() / "good.mwd", {"良い", 0, 3});
  {
    std::ofstream(Folder() / "cut.mwd") << "too short to be a song";
  }
  cantrel_test::Sink().Clear();
  for (int type : {archive::kListAll, archive::kCountry, archive::kNotes}) {
    archive::Request r = Search(type);
    r.country = 3;
    r.notes = {60};
    const archive::Outcome out = ScanArchive(r);
    EXPECT_EQ(out.unreadable, 1) << type;
    for (const auto& e : out.entries) EXPECT_NE(e.file, "cut.mwd") << type;
  }
  archive::Request r = Search(archive::kCountry);
  r.country = 3;
  const archive::Outcome out = ScanArchive(r);
  EXPECT_EQ(Texts(out), std::vector<std::string>{"良い"});
  EXPECT_FALSE(out.firstComplaint.empty());
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

// The worker: results come through its callbacks; a stop ends a scan between files and joins.
TEST(ArchiveWorker, ReportsProgressAndOneOutcome) {
  for (int i = 0; i < 40; ++i) WriteBareSong(Folder() / (std::to_string(100 + i) + ".mwd"), "x", 0);
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<int> progress;
  int outcomes = 0;
  size_t entries = 0;
  {
    CArchiveWorker worker;
    worker.Start(
        Folder(), archive::Request(),
        [&](int n) {
          std::lock_guard<std::mutex> lock(mutex);
          progress.push_back(n);
        },
        [&](archive::Outcome out) {
          std::lock_guard<std::mutex> lock(mutex);
          ++outcomes;
          entries = out.entries.size();
          cv.notify_all();
        });
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return outcomes == 1; }));
  }
  EXPECT_EQ(outcomes, 1);
  EXPECT_EQ(entries, 40u);
  ASSERT_EQ(progress.size(), 40u);
  EXPECT_EQ(progress.back(), 40);
}

TEST(ArchiveWorker, StoppingOrRestartingEndsTheRunningScan) {
  for (int i = 0; i < 300; ++i) {
    WriteBareSong(Folder() / (std::to_string(1000 + i) + ".mwd"), "x", 0);
  }
  std::atomic<int> outcomes{0};
  std::atomic<int> stopped{0};
  auto done = [&](archive::Outcome out) {
    ++outcomes;
    if (out.stopped) ++stopped;
  };
  CArchiveWorker worker;
  for (int round = 0; round < 5; ++round) {
    worker.Start(Folder(), archive::Request(), nullptr, done);
  }
  worker.Stop();
  EXPECT_FALSE(worker.Running());
  EXPECT_EQ(outcomes.load(), 5);
  // A stop between files ends the scan early; one that comes after the end changes nothing.
  std::atomic<bool> stop{true};
  EXPECT_TRUE(archive::Scan(Folder(), archive::Request(), stop).stopped);
  {
    CArchiveWorker dropped;
    dropped.Start(Folder(), archive::Request(), nullptr, done);
  }
  EXPECT_EQ(outcomes.load(), 6);
}
