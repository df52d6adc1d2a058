// Whole-file reading and writing with the failure policy, dialogs and folders.
#include <gtest/gtest.h>
#include <utime.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/file_dialogs.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, size_t n, char fill = 'x') {
  std::ofstream(path, std::ios::binary) << std::string(n, fill);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kTooLarge = "GENE0100000A データが大きすぎます。";

class GneFiles : public ::testing::Test {
 protected:
  void SetUp() override { plat::InstallFileDialogs(&dialogs_); }
  void TearDown() override { plat::InstallFileDialogs(nullptr); }
  plat::ScriptedFileDialogs dialogs_;
};

TEST_F(GneFiles, SizesExistenceAndOpening) {
  const fs::path dir = cantrel_test::TempDir();
  const fs::path file = dir / "a.bin";
  WriteBytes(file, 1234);
  EXPECT_EQ(GneGetFileSize(file), 1234u);
  EXPECT_EQ(GneGetFileSize(dir), 0u);
  EXPECT_EQ(GneGetFileSize(dir / "missing"), 0u);
  EXPECT_EQ(GneFileExists(dir), 1);
  EXPECT_EQ(GneFileExists(dir / "missing"), 0);
  EXPECT_EQ(GneCanOpenFile(file), 1);
  EXPECT_EQ(GneCanOpenFile(dir), 0);
  EXPECT_EQ(GneFileMustExist(file), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(GneFileMustExist(dir / "missing"), 0);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].rfind("GENE01000005 ファイルが見つかりませんでした。 [", 0), 0u);
}

TEST_F(GneFiles, ReadFileReadsExactlyOrFails) {
  const fs::path file = cantrel_test::TempDir() / "setup.ini";
  WriteBytes(file, 100, 'q');
  std::vector<char> buffer(200, 0);
  EXPECT_EQ(GneReadFile(file, buffer.data(), 100), 1);
  EXPECT_EQ(buffer[99], 'q');
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  // Too few bytes: both messages, and failure (the bytes read stay).
  std::fill(buffer.begin(), buffer.end(), 0);
  EXPECT_EQ(GneReadFile(file, buffer.data(), 150), 0);
  EXPECT_EQ(buffer[99], 'q');
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], kTooLarge);
  EXPECT_EQ(texts[1], file.string() + "を削除すると問題が解決することがあります。");
}

TEST_F(GneFiles, RequiredFileThatDoesNotOpenEndsTheProgram) {
  const fs::path missing = cantrel_test::TempDir() / "PATTERN.DB";
  char buffer[4];
  try {
    GneReadFile(missing, buffer, 4);
    FAIL() << "did not end the program";
  } catch (const plat::ProgramExit& e) {
    EXPECT_EQ(e.code, 0x01000007);
  }
  const std::string text = cantrel_test::Sink().Texts().back();
  EXPECT_EQ(text.rfind("GENE01000007 ", 0), 0u);
  EXPECT_NE(text.find("[" + missing.string() + "]"), std::string::npos);
}

TEST_F(GneFiles, UserChosenFileThatDoesNotOpenOnlyReports) {
  const fs::path dir = cantrel_test::TempDir();
  char buffer[4];
  int count = 7;
  EXPECT_EQ(GneReadFile(dir / "gone.mwd", buffer, 4, GneFileUse::kUserChosen), 0);
  EXPECT_EQ(GneReadWholeFile(dir / "gone.mwd", buffer, &count, 4, GneFileUse::kUserChosen), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(GneWriteFile(dir / "no" / "such" / "x.mid", "abc", 3, GneFileUse::kUserChosen), 0);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0].rfind("GENE01000007 ", 0), 0u);
  EXPECT_EQ(texts[1], (dir / "gone.mwd").string());  // the whole-file reader shows the path first
  EXPECT_EQ(texts[2].rfind("GENE01000007 ", 0), 0u);
  EXPECT_EQ(texts[3].rfind("GENE01000007 ", 0), 0u);
  // A failed write says why on the box's last line.
  std::error_code error;
  ASSERT_FALSE(plat::WriteFileAtomic(dir / "no" / "such" / "x.mid", std::string("abc"), &error));
  ASSERT_FALSE(plat::WriteFailureText(error).empty());
  EXPECT_EQ(texts[3].substr(texts[3].rfind('\n') + 1), plat::WriteFailureText(error));
  EXPECT_EQ(texts[2].find(plat::WriteFailureText(error)), std::string::npos);  // reads: no reason
}

TEST_F(GneFiles, ReadWholeFileNoticesEveryTruncation) {
  const fs::path dir = cantrel_test::TempDir();
  struct Case {
    size_t file_size, limit;
    int result, count;
    bool warned;
  } cases[] = {
      {10, 20, 1, 10, false},
      {20, 20, 1, 20, false},
      {21, 20, 0, 20, true},
      {0xF0000, 0xF0000, 1, 0xF0000, false},
      {0xF0001, 0xF0000, 0, 0xF0000, true},
      {0xF0001, 0xF0001, 1, 0xF0001, false},
      {0, 5, 1, 0, false},
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    const fs::path file = dir / "f.bin";
    WriteBytes(file, c.file_size);
    std::vector<char> buffer(c.limit + 16, 0);
    int count = -1;
    EXPECT_EQ(GneReadWholeFile(file, buffer.data(), &count, c.limit), c.result) << c.file_size << "/" << c.limit;
    EXPECT_EQ(count, c.count) << c.file_size << "/" << c.limit;
    EXPECT_EQ(buffer[c.limit], 0) << "read past the limit";
    const auto texts = cantrel_test::Sink().Texts();
    EXPECT_EQ(texts.size(), c.warned ? 2u : 0u) << c.file_size << "/" << c.limit;
    if (c.warned && !texts.empty()) {
      EXPECT_EQ(texts[0], kTooLarge);
    }
  }
}

TEST_F(GneFiles, WriteFileReplacesWholeAndLeavesNoTemporaryFiles) {
  const fs::path dir = cantrel_test::TempDir() / "save";
  fs::create_directories(dir);
  const fs::path file = dir / "data_kv.dat";
  WriteBytes(file, 500);
  EXPECT_EQ(GneWriteFile(file, "hello", 5), 1);
  EXPECT_EQ(ReadText(file), "hello");
  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(GneWriteFileQuietly(dir / "none" / "x", "a", 1), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  try {
    GneWriteFile(dir / "none" / "setup_kv.ini", "a", 1);
    FAIL() << "did not end the program";
  } catch (const plat::ProgramExit& e) {
    EXPECT_EQ(e.code, 0x01000007);
  }
}

TEST_F(GneFiles, ReadOrZeroCompareDeleteAndTimes) {
  const fs::path dir = cantrel_test::TempDir();
  WriteBytes(dir / "a.tmp", 4, 'a');
  WriteBytes(dir / "b.tmp", 4, 'a');
  WriteBytes(dir / "c.txt", 4, 'c');
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(GneReadFileOrZero(dir / "a.tmp", buffer, 8), 0);
  EXPECT_EQ(std::string(buffer, 8), std::string(8, '\0'));
  EXPECT_EQ(GneReadFileOrZero(dir / "a.tmp", buffer, 4), 1);
  EXPECT_EQ(GneReadFileOrZero(dir / "missing", buffer, 4), 0);
  EXPECT_EQ(GneCompareFiles(dir / "a.tmp", dir / "b.tmp", 100), 1);
  EXPECT_EQ(GneCompareFiles(dir / "a.tmp", dir / "c.txt", 100), 0);
  EXPECT_EQ(GneCompareFiles(dir / "a.tmp", dir / "missing", 100), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  struct utimbuf times = {1700000000, 1700000000};  // 2023-11-14 22:13:20 UTC
  ASSERT_EQ(utime((dir / "c.txt").c_str(), &times), 0);
  char text[20];
  GneGetFileTimeText(dir / "c.txt", text);
  EXPECT_STREQ(text, "2023/11/14 22:13:20");
  GneGetFileTimeText(dir / "missing", text);
  EXPECT_STREQ(text, "0000/00/00 00:00:00");

  EXPECT_EQ(GneDeleteFiles(dir / "*.tmp"), 2);
  EXPECT_FALSE(fs::exists(dir / "a.tmp"));
  EXPECT_TRUE(fs::exists(dir / "c.txt"));
}

TEST_F(GneFiles, MemoryBlocksAreZeroed) {
  auto* block = static_cast<uint8_t*>(GneGlobalAllocZero(0x60000));
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < 0x60000; i += 4099) ASSERT_EQ(block[i], 0);
  GneGlobalFree(block);
  GneGlobalFree(GneGlobalAllocZero(0));
}

TEST_F(GneFiles, OpenDialogRequestAndAnswer) {
  const fs::path dir = cantrel_test::TempDir();
  const fs::path chosen = dir / "song.mid";
  dialogs_.QueueFile(chosen, 2);
  dialogs_.QueueFileCancel();
  fs::path out;
  int index = 0;
  const fs::path initial_file = dir / "not-there.mid";
  EXPECT_EQ(GneOpenFileDialog("mid", "midi files|*.mid|all|*.*|", &out, &initial_file, &index, &dir), 1);
  EXPECT_EQ(out, chosen);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(GneOpenFileDialog("mid", "midi files|*.mid|", &out), 0);
  const auto requests = dialogs_.FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].kind, plat::FileDialogRequest::Kind::Open);
  EXPECT_TRUE(requests[0].must_exist);
  EXPECT_EQ(requests[0].default_extension, "mid");
  EXPECT_EQ(requests[0].initial_folder, dir) << "a missing initial file starts in the folder";
  EXPECT_EQ(requests[0].initial_file, initial_file);
  EXPECT_EQ(plat::SplitFilter(requests[0].filter).size(), 2u);
  EXPECT_EQ(plat::SplitFilter(requests[0].filter)[1].second, "*.*");
  EXPECT_TRUE(requests[1].initial_folder.empty());
}

TEST_F(GneFiles, SaveDialogKeepsTheFilterIndex) {
  dialogs_.QueueFile("/tmp/x.mwd", 3);
  fs::path out;
  int index = 2;
  EXPECT_EQ(GneSaveFileDialog(&out, "mwd", "cantrel files|*.mwd|", &index), 1);
  EXPECT_EQ(index, 3);
  const auto requests = dialogs_.FileRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].filter_index, 2);
  EXPECT_TRUE(requests[0].confirm_overwrite);
  // Without a front end every dialog cancels.
  plat::InstallFileDialogs(nullptr);
  EXPECT_EQ(GneSaveFileDialog(&out, "mwd", "cantrel files|*.mwd|"), 0);
}

TEST_F(GneFiles, OpenAndReadNeverWritesPastTheBuffer) {
  const fs::path dir = cantrel_test::TempDir();
  WriteBytes(dir / "small.mid", 10, 's');
  WriteBytes(dir / "big.mid", 100, 'b');
  std::vector<char> buffer(64 + 16, 0);
  int count = -1;
  fs::path out;
  dialogs_.QueueFile(dir / "small.mid");
  EXPECT_EQ(GneOpenAndReadFile(&out, "mid", "midi files|*.mid|", buffer.data(), 64, &count), 1);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(out, dir / "small.mid");
  dialogs_.QueueFile(dir / "big.mid");
  EXPECT_EQ(GneOpenAndReadFile(&out, "mid", "midi files|*.mid|", buffer.data(), 64, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(buffer[64], 0);
  EXPECT_EQ(buffer[0], 's');
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].rfind(kTooLarge + " [", 0), 0u);
  // A chosen file that vanished before reading: a box, no program end.
  dialogs_.QueueFile(dir / "vanished.mid");
  EXPECT_EQ(GneOpenAndReadFile(&out, "mid", "midi files|*.mid|", buffer.data(), 64, &count), 0);
  dialogs_.QueueFileCancel();
  EXPECT_EQ(GneOpenAndReadFile(&out, "mid", "midi files|*.mid|", buffer.data(), 64, &count), 0);
}

TEST_F(GneFiles, SaveFileAsWritesOrReports) {
  const fs::path dir = cantrel_test::TempDir();
  fs::path out;
  dialogs_.QueueFile(dir / "out.mid");
  EXPECT_EQ(GneSaveFileAs(&out, "mid", "midi files|*.mid|", "MThd", 4), 1);
  EXPECT_EQ(ReadText(dir / "out.mid"), "MThd");
  EXPECT_EQ(dialogs_.FileRequests()[0].kind, plat::FileDialogRequest::Kind::SaveNewStyle);
  dialogs_.QueueFile(dir / "missing-folder" / "out.mid");
  EXPECT_EQ(GneSaveFileAs(&out, "mid", "midi files|*.mid|", "MThd", 4), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(GneSaveFileAs(&out, "mid", "midi files|*.mid|", "MThd", 4), 0);  // cancelled
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST_F(GneFiles, FolderChooserAndDialogErrors) {
  dialogs_.QueueFolder("/srv/songs");
  fs::path out;
  const fs::path initial = "/srv";
  EXPECT_EQ(GneChooseFolder(&initial, &out, "フォルダ"), 1);
  EXPECT_EQ(out, fs::path("/srv/songs"));
  EXPECT_EQ(GneChooseFolder(nullptr, &out, "フォルダ"), 2);
  ASSERT_EQ(dialogs_.FolderRequests().size(), 2u);
  EXPECT_EQ(dialogs_.FolderRequests()[0].initial_folder, initial);
  GneDialogErrorMsg(0x3002);
  GneDialogErrorMsg(0xFF01012B);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "GNWN00003002 ファイル名が無効です。 ");
  EXPECT_EQ(texts[1], "GNWNFF01012B 未定義のエラーです。");
}

TEST_F(GneFiles, Folders) {
  fs::path out;
  GneGetAppDataFolder(&out, "a\\b");
  EXPECT_EQ(out, plat::UserDataFolder() / "a" / "b");
  EXPECT_TRUE(fs::is_directory(out));
  GneGetCommonDocumentsFolder(&out, "OVX");
  EXPECT_TRUE(fs::is_directory(out));
  GneGetSpecialFolder(&out, 99);
  EXPECT_TRUE(out.empty());
  GneGetModuleFolder(&out);
  EXPECT_EQ(out, plat::ProgramFolder());
  EXPECT_EQ(GneModuleFolderOf("C:\\tools\\Release\\cantrel.exe"), "C:\\tools");
  EXPECT_EQ(GneModuleFolderOf("/opt/cantrel/Release/cantrel"), "/opt/cantrel");
  EXPECT_EQ(GneModuleFolderOf("/usr/bin/cantrel"), "/usr/bin");
  // Folders whose names only begin with "Release" are not build folders.
  EXPECT_EQ(GneModuleFolderOf("/home/u/Releases/cantrel"), "/home/u/Releases");
  EXPECT_EQ(GneModuleFolderOf("C:\\Release-2\\bin\\cantrel.exe"), "C:\\Release-2\\bin");
  EXPECT_EQ(GneModuleFolderOf("/opt/Release/sub/cantrel"), "/opt");
  const fs::path deep = cantrel_test::TempDir() / "x" / "y" / "z";
  EXPECT_EQ(GneCreateFolders(deep), 1);
  EXPECT_TRUE(fs::is_directory(deep));
}

}  // namespace
