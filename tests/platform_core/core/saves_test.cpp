// Saving safely: leftovers of saves cut short, the replaced file's mode, symbolic links, the
// folder flush, reasons in words, and the one-copy lock of the user data folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/instance_lock.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::string s;
  plat::ReadWholeFile(p, s);
  return s;
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st.st_mode;
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Both ways of writing a file whole: flushed to disk, and as a scratch file of ours.
using Writer = bool (*)(const fs::path&, const std::string&, std::error_code*);
const std::pair<const char*, Writer> kWriters[] = {
    {"flushed",
     [](const fs::path& p, const std::string& s, std::error_code* e) {
       return plat::WriteFileAtomic(p, s, e);
     }},
    {"scratch",
     [](const fs::path& p, const std::string& s, std::error_code* e) {
       return plat::WriteScratchFile(p, s.data(), s.size(), e);
     }},
};

TEST(Saves, TheReplacedFileKeepsItsMode) {
  const fs::path dir = cantrel_test::TempDir() / "modes";
  fs::create_directories(dir);
  for (mode_t mode : {0600, 0640, 0664, 0755}) {
    const fs::path file = dir / ("f" + std::to_string(mode));
    ASSERT_TRUE(plat::WriteFileAtomic(file, std::string("old")));
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    ASSERT_TRUE(plat::WriteFileAtomic(file, std::string("new")));
    EXPECT_EQ(ModeOf(file) & 07777, mode) << std::oct << mode;
    EXPECT_EQ(Read(file), "new");
  }
  // A new file gets what the umask allows of read and write for everyone.
  const mode_t old_mask = ::umask(022);
  ASSERT_TRUE(plat::WriteFileAtomic(dir / "fresh", std::string("x")));
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(dir / "fresh") & 07777, 0644u);
}

TEST(Saves, ALinkIsWrittenThroughToItsFile) {
  const fs::path dir = cantrel_test::TempDir() / "links";
  fs::create_directories(dir / "real");
  const fs::path target = dir / "real" / "song.mwd";
  ASSERT_TRUE(plat::WriteFileAtomic(target, std::string("old")));
  // An absolute link, a relative one, and a link to that link.
  fs::create_symlink(target, dir / "abs.mwd");
  fs::create_symlink("real/song.mwd", dir / "rel.mwd");
  fs::create_symlink("rel.mwd", dir / "chain.mwd");
  for (const char* link : {"abs.mwd", "rel.mwd", "chain.mwd"}) {
    SCOPED_TRACE(link);
    const std::string text = std::string("via ") + link;
    ASSERT_TRUE(plat::WriteFileAtomic(dir / link, text));
    EXPECT_TRUE(fs::is_symlink(dir / link));
    EXPECT_EQ(Read(target), text);
  }
  EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"song.mwd"});  // no temporary left
  // A link whose file does not exist yet makes that file.
  fs::create_symlink("real/new.mwd", dir / "dangling.mwd");
  ASSERT_TRUE(plat::WriteFileAtomic(dir / "dangling.mwd", std::string("born")));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.mwd"));
  EXPECT_EQ(Read(dir / "real" / "new.mwd"), "born");
  // A loop fails with its reason instead of going round for ever.
  fs::create_symlink("loop2", dir / "loop1");
  fs::create_symlink("loop1", dir / "loop2");
  std::error_code ec;
  EXPECT_FALSE(plat::WriteFileAtomic(dir / "loop1", std::string("x"), &ec));
  EXPECT_EQ(ec.value(), ELOOP);
  EXPECT_TRUE(fs::is_symlink(dir / "loop1"));
}

TEST(Saves, LeftoversOfSavesCutShortAreRecognisedAndRemoved) {
  struct Case {
    const char* name;
    bool leftover;
    const char* base;
  };
  const Case cases[] = {
      {"data_kv.dat.tmp0badf00d", true, "data_kv.dat"},
      {"setup_kv.ini.tmp12345678", true, "setup_kv.ini"},
      {"a.tmpffffffff", true, "a"},
      {".tmp12345678", false, ""},            // no name before it
      {"data_kv.dat.tmp1234567", false, ""},  // seven digits
      {"data_kv.dat.tmp0BADF00D", false, ""}, // we write lower case
      {"data_kv.dat.tmp0badf00g", false, ""},
      {"song.tmp", false, ""},
      {"data_kv.dat", false, ""},
  };
  for (const Case& c : cases) {
    std::string base;
    EXPECT_EQ(plat::IsInterruptedSaveName(c.name, &base), c.leftover) << c.name;
    if (c.leftover) {
      EXPECT_EQ(base, c.base);
    }
  }
  const fs::path dir = cantrel_test::TempDir() / "left";
  fs::create_directories(dir / "sub.tmp12345678");  // a folder of that form is not ours
  for (const Case& c : cases) ASSERT_TRUE(plat::WriteFileAtomic(dir / c.name, std::string("x")));
  EXPECT_EQ(plat::RemoveInterruptedSaves(dir, {"setup_kv.ini", "other"}), 1);
  EXPECT_FALSE(fs::exists(dir / "setup_kv.ini.tmp12345678"));
  EXPECT_TRUE(fs::exists(dir / "data_kv.dat.tmp0badf00d"));
  EXPECT_EQ(plat::RemoveInterruptedSaves(dir), 2);
  std::vector<std::string> want = {"sub.tmp12345678"};
  for (const Case& c : cases)
    if (!c.leftover) want.push_back(c.name);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Names(dir), want);
  EXPECT_EQ(plat::RemoveInterruptedSaves(dir / "missing"), 0);
}

TEST(Saves, AFailedSaveSaysWhyInWords) {
  struct Case {
    int err;
    const char* words;  // UTF-8 (u8 literals)
  };
  const Case cases[] = {
      {ENOSPC, u8"ディスクの空き容量が足りません。"},
      {EACCES, u8"この場所に書き込む権限がありません。"},
      {EPERM, u8"この場所に書き込む権限がありません。"},
      {EROFS, u8"読み取り専用の場所には書き込めません。"},
      {ENOENT, u8"保存先のフォルダがありません。"},
      {EDQUOT, u8"ディスクの使用量の上限に達しています。"},
  };
  for (const Case& c : cases) {
    const std::string text =
        plat::Cp932ToUtf8(plat::WriteFailureText(std::error_code(c.err, std::generic_category())));
    EXPECT_EQ(text, c.words) << c.err;
  }
  // An error without words of ours still says what the system says.
  const std::string other =
      plat::Cp932ToUtf8(plat::WriteFailureText(std::error_code(EXDEV, std::generic_category())));
  EXPECT_NE(other.find(std::error_code(EXDEV, std::generic_category()).message()), std::string::npos);
  EXPECT_EQ(plat::WriteFailureText(std::error_code()), "");

  // A real failure: a save into a folder that is not there.
  for (const auto& [name, write] : kWriters) {
    std::error_code ec;
    EXPECT_FALSE(write(cantrel_test::TempDir() / "gone" / "x.mwd", "x", &ec)) << name;
    EXPECT_EQ(ec.value(), ENOENT) << name;
  }
}

// A file size limit stands in for a full disk: the write fails part way, the old file stays
// whole and no temporary is left.
TEST(Saves, AWriteCutShortKeepsTheOldFile) {
  for (const auto& [name, write] : kWriters) {
    SCOPED_TRACE(name);
    const fs::path dir = cantrel_test::TempDir() / "full" / name;
    fs::create_directories(dir);
    ASSERT_TRUE(write(dir / "song.mwd", std::string(100, 'a'), nullptr));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &before);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::error_code ec;
    const bool saved = write(dir / "song.mwd", std::string(100000, 'b'), &ec);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::sigaction(SIGXFSZ, &before, nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ec.value(), EFBIG);
    EXPECT_FALSE(plat::WriteFailureText(ec).empty());
    EXPECT_EQ(Read(dir / "song.mwd"), std::string(100, 'a'));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"song.mwd"});
    // Written in full, it replaces the old file.
    ASSERT_TRUE(write(dir / "song.mwd", std::string(100000, 'b'), &ec));
    EXPECT_EQ(Read(dir / "song.mwd"), std::string(100000, 'b'));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"song.mwd"});
  }
}

TEST(InstanceLock, OneHolderAtATimeAndARefusalWritesNothing) {
  const fs::path dir = cantrel_test::TempDir() / "data";
  fs::create_directories(dir);
  bool held = true;
  std::string why = "x";
  auto first = plat::InstanceLock::Acquire(dir, &held, &why);
  ASSERT_TRUE(first);
  EXPECT_FALSE(held);
  EXPECT_EQ(first->File(), dir / "cantrel.lock");
  EXPECT_EQ(Read(first->File()), std::to_string(::getpid()) + "\n");
  struct stat before {};
  ::stat(first->File().c_str(), &before);

  auto second = plat::InstanceLock::Acquire(dir, &held, &why);
  EXPECT_FALSE(second);
  EXPECT_TRUE(held);
  EXPECT_EQ(why, plat::AlreadyRunningText());
  struct stat after {};
  ::stat(first->File().c_str(), &after);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(Read(first->File()), std::to_string(::getpid()) + "\n");

  // Another folder has a lock of its own; the first lock, once let go, can be taken again.
  fs::create_directories(cantrel_test::TempDir() / "other");
  EXPECT_TRUE(plat::InstanceLock::Acquire(cantrel_test::TempDir() / "other"));
  first.reset();
  EXPECT_TRUE(plat::InstanceLock::Acquire(dir, &held, &why));
  EXPECT_FALSE(held);
}

TEST(InstanceLock, AFolderThatCannotHoldTheLockSaysWhy) {
  bool held = true;
  std::string why;
  EXPECT_FALSE(plat::InstanceLock::Acquire(cantrel_test::TempDir() / "missing", &held, &why));
  EXPECT_FALSE(held);
  EXPECT_EQ(why, plat::WriteFailureText(std::error_code(ENOENT, std::generic_category())));
}

}  // namespace
