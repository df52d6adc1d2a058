// The log file: names with the test clock's time stamp, line ends, and where it refuses.
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>

#include "platform/core/folders.h"
#include "tests/support/test_support.h"
#include "util/log_file.h"

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using cantrel_test::TempDir;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 2024-01-02 03:04:05 local time on the test clock.
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    cantrel_test::Clock().SetWallTime(std::mktime(&t));
  }
};

TEST_F(LogFileTest, TimeStampedNames) {
  const struct {
    const char* name;
    const char* file;
  } cases[] = {
      {"run.log", "run20240102-030405.log"},
      {"Run.LOG", "Run20240102-030405.log"},
      {"noext", "noext20240102-030405"},               // no extension: no '.'
      {"logs.d/run", "logs.d/run20240102-030405"},     // the dot of the folder is not cut
      {"logs.d/a.b.TXT", "logs.d/a.b20240102-030405.txt"},
  };
  fs::create_directories(TempDir() / "logs.d");
  for (const auto& c : cases) {
    CLogFile log(TempDir() / c.name, 1);
    EXPECT_EQ(log.path(), TempDir() / c.file) << c.name;
    log.Output("x");
    EXPECT_TRUE(fs::exists(TempDir() / c.file)) << c.name;
  }
}

TEST_F(LogFileTest, RelativeNamesGoToTheUserDataFolder) {
  CLogFile log("run.log", 1);
  EXPECT_EQ(log.path(), plat::UserDataFolder() / "run20240102-030405.log");
  log.Output("hello");
  EXPECT_EQ(Read(plat::UserDataFolder() / "run20240102-030405.log"), "hello\r\n");
}

TEST_F(LogFileTest, CancelledDialogLogsToLogTxt) {
  // The test file dialogs answer "cancel" unless told otherwise.
  CLogFile log;
  EXPECT_EQ(log.path(), plat::UserDataFolder() / "log.txt");
  EXPECT_FALSE(log.disabled());
}

TEST_F(LogFileTest, LinesEndInCrLf) {
  const fs::path path = TempDir() / "out.txt";
  CLogFile log(path, 0);
  log.Output("first");
  log.Output("two\nlines");
  log.Output("");
  log.OutputHex("\x0a\xff", 2);
  log.OutputValue("value", 0x1A2B);
  log.OutputValue("zero", 0);
  EXPECT_EQ(Read(path), "first\r\ntwo\r\nlines\r\n\r\n0a ff \r\nvalue - 1a2b\r\nzero - 0\r\n");
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(LogFileTest, LongLinesAreWrittenWhole) {
  const fs::path path = TempDir() / "long.txt";
  CLogFile log(path, 0);
  std::string bytes(6000, '\x5a');
  log.OutputHex(bytes.data(), bytes.size());  // more than the 5,461 bytes of a 16 KiB line
  const std::string text(1000, 't');
  log.OutputValue(text.c_str(), 0xFFFFFFFFu);
  std::string hex;
  for (int i = 0; i < 6000; ++i) hex += "5a ";
  EXPECT_EQ(Read(path), hex + "\r\n" + text + " - ffffffff\r\n");
}

TEST_F(LogFileTest, SecondLogOnTheSameNameStartsAfresh) {
  const fs::path path = TempDir() / "same.txt";
  CLogFile first(path, 0);
  first.Output("old");
  CLogFile second(path, 0);
  EXPECT_FALSE(fs::exists(path));
  second.Output("new");
  EXPECT_EQ(Read(path), "new\r\n");
}

TEST_F(LogFileTest, MissingFolderWritesNothingAndSaysNothing) {
  CLogFile log(TempDir() / "no" / "such" / "x.log", 0);
  EXPECT_TRUE(log.disabled());
  log.Output("x");
  log.OutputHex("a", 1);
  log.OutputValue("v", 1);
  EXPECT_FALSE(fs::exists(TempDir() / "no"));
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(LogFileTest, FileThatDoesNotOpenDisablesTheLog) {
  const fs::path path = TempDir() / "dir.log";
  CLogFile log(path, 0);
  fs::create_directory(path);  // a folder of that name now stands in the way
  log.Output("a");
  log.Output("b");
  EXPECT_TRUE(log.disabled());
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"GNLG2C000002 ログファイルが開けません"});
  CLogFile::ErrorMsg(0x2C000009);
  EXPECT_EQ(Sink().Texts().back(), "GNLG2C000009 ログファイルでエラーがおきました。");
}

}  // namespace
