#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/core/encoding.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/core/message_sink.h"
#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/module_error.h"

namespace fs = std::filesystem;

TEST(Encoding, RoundTripsJapaneseBetweenCp932AndUtf8) {
  const std::string cp932 = "出力ファイルのエラーです！";  // compiled as CP932
  const std::string utf8 = "\xE5\x87\xBA\xE5\x8A\x9B";     // 出力
  EXPECT_EQ(plat::Cp932ToUtf8(cp932).substr(0, 6), utf8);
  EXPECT_EQ(plat::Utf8ToCp932(plat::Cp932ToUtf8(cp932)), cp932);
  std::string out;
  EXPECT_TRUE(plat::TryCp932ToUtf8(cp932, out));
}

TEST(Encoding, InvalidBytesAreReplacedOrRefused) {
  const std::string bad = std::string("A") + "\x81" ;  // lead byte cut short
  std::string out;
  EXPECT_FALSE(plat::TryCp932ToUtf8(bad, out));
  EXPECT_EQ(plat::Cp932ToUtf8(bad), "A\xEF\xBF\xBD");
  EXPECT_EQ(plat::Utf8ToCp932("a\xF0\x9F\x8E\xB5" "b"), "a?b");  // an emoji has no CP932 form
}

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  fs::path dir = cantrel_test::TempDir();
  fs::path target = dir / "song.dat";
  ASSERT_TRUE(plat::WriteFileAtomic(target, std::string(1000, 'a')));
  ASSERT_TRUE(plat::WriteFileAtomic(target, std::string("bc")));
  std::string back;
  ASSERT_TRUE(plat::ReadWholeFile(target, back));
  EXPECT_EQ(back, "bc");
  EXPECT_EQ(plat::FileSize(target), 2);
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir)) entries += e.path().filename() != "userdata";
  EXPECT_EQ(entries, 1);
}

TEST(Files, FailuresReportAnErrorAndKeepTheOldFile) {
  fs::path dir = cantrel_test::TempDir();
  std::error_code ec;
  std::vector<uint8_t> data;
  EXPECT_FALSE(plat::ReadWholeFile(dir / "missing", data, &ec));
  EXPECT_TRUE(ec);
  EXPECT_FALSE(plat::ReadWholeFile(dir, data, &ec));  // a folder is no file
  EXPECT_FALSE(plat::WriteFileAtomic(dir / "no" / "such" / "folder.dat", std::string("x"), &ec));
  EXPECT_TRUE(ec);
  EXPECT_EQ(plat::FileSize(dir / "missing"), -1);
}

TEST(Folders, OverridesAndDefaults) {
  fs::path d = cantrel_test::TempDir() / "u";
  plat::SetUserDataFolder(d);
  EXPECT_EQ(plat::UserDataFolder(), d);
  EXPECT_TRUE(fs::is_directory(d));
  EXPECT_TRUE(fs::exists(plat::ProgramFolder()));
  EXPECT_FALSE(plat::ExecutablePath().empty());
}

TEST(Folders, UserDataFolderFollowsXdgDataHomeOnlyWhenAbsolute) {
  const fs::path before = plat::UserDataFolder();
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_xdg = old_xdg ? old_xdg : "", saved_home = old_home ? old_home : "";
  const fs::path home = cantrel_test::TempDir() / "home";
  const fs::path xdg = cantrel_test::TempDir() / "xdg";
  setenv("HOME", home.c_str(), 1);
  plat::SetUserDataFolder({});
  setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  EXPECT_EQ(plat::UserDataFolder(), xdg / "cantrel");
  setenv("XDG_DATA_HOME", "relative/share", 1);
  EXPECT_EQ(plat::UserDataFolder(), home / ".local" / "share" / "cantrel");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(plat::UserDataFolder(), home / ".local" / "share" / "cantrel");
  if (old_xdg) setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
  plat::SetUserDataFolder(before);
  EXPECT_FALSE(fs::exists("relative")) << "nothing made in the current folder";
}

TEST(FileDialogs, FilterNamesMayHoldDoubleByteCharactersEndingInABar) {
  // "ポ" is 0x83 0x7C in CP932: its second byte is the '|' that separates the items.
  const auto pairs = plat::SplitFilter("ポップス|*.mid|すべて|*.*|");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].first, "ポップス");
  EXPECT_EQ(pairs[0].second, "*.mid");
  EXPECT_EQ(pairs[1].first, "すべて");
  EXPECT_EQ(plat::SplitFilter("midi files|*.mid|").size(), 1u);
  EXPECT_TRUE(plat::SplitFilter("").empty());
}

TEST(Sink, RecorderKeepsBoxesAndScriptedAnswers) {
  auto& sink = cantrel_test::Sink();
  sink.QueueAnswer(plat::kIdCancel);
  EXPECT_EQ(GneConfirmBox("q"), IDCANCEL);
  EXPECT_EQ(GneConfirmBox("q"), IDOK);
  GneErrorBox("e");
  auto boxes = sink.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].kind, plat::BoxKind::Error);
  EXPECT_THROW(plat::ExitProgram(7), plat::ProgramExit);
}

TEST(ModuleError, FormatsTagCodeAndTextAndKeepsWarningsOnce) {
  ModuleErrorReporter r("MDTK", "既定", {{0x0D000001, "内部"}, {0x0D000010, "警告"}}, {0x0D000010});
  EXPECT_EQ(r.Format(0x0D000001), "MDTK0D000001 内部");
  EXPECT_EQ(r.Format(0x0D0000FF), "MDTK0D0000FF 既定");
  EXPECT_TRUE(r.Warning(0x0D000010));
  EXPECT_FALSE(r.Warning(0x0D000010));
  EXPECT_TRUE(r.Warning(0x0D000001));  // no warning: shown every time
  EXPECT_TRUE(r.Warning(0x0D000001));
  r.Warning(0);
  EXPECT_TRUE(r.Warning(0x0D000010));
  EXPECT_EQ(cantrel_test::Sink().Count(), 4u);
  // Texts are cut to the box buffer.
  std::string long_text(5000, 'x');
  ModuleErrorReporter big("LONG", long_text.c_str(), {});
  EXPECT_EQ(big.Format(1).size(), 2047u);
}

TEST(Random, ClassicGeneratorSequence) {
  GneSeedRandomWith(1);
  EXPECT_EQ(GneRandomRange(0, 32767), 41);
  EXPECT_EQ(GneRandomRange(0, 32767), 18467);
  EXPECT_EQ(GneRandomRange(0, 32767), 6334);
  uint32_t state = GneGetRandomState();
  EXPECT_EQ(GneRandomRange(5, 5), 5);
  EXPECT_EQ(GneGetRandomState(), state);
  for (int i = 0; i < 1000; ++i) {
    int v = GneRandomRange(9, 3);
    ASSERT_GE(v, 3);
    ASSERT_LE(v, 9);
  }
}
