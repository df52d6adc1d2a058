// The program as users get it: installed into a prefix with `cmake --install`, started from
// there offscreen, with its own home. It finds its data in <prefix>/share/cantrel, saves at
// exit, registers its file type for the installed program only, and a second copy started
// while the first runs says so and ends without touching anything.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/instance_lock.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string Read(const fs::path& p) {
  std::string s;
  plat::ReadWholeFile(p, s);
  return s;
}

// A started program: its output (stdout and stderr) goes to a file.
struct Started {
  pid_t pid = -1;
  fs::path output;
};

Started Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
              const fs::path& output) {
  std::vector<std::string> env_text;
  for (const auto& [k, v] : env) env_text.push_back(k + "=" + v);
  std::vector<char*> envp, args;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (auto& a : argv_copy) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  Started s;
  s.output = output;
  if (posix_spawn(&s.pid, args[0], &fa, nullptr, args.data(), envp.data()) != 0) s.pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return s;
}

// Waits at most `limit`; kills the program when it overruns. The exit status, or -1.
int Wait(const Started& s, milliseconds limit) {
  if (s.pid < 0) return -1;
  const auto end = steady_clock::now() + limit;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(s.pid, &status, WNOHANG);
    if (done == s.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (steady_clock::now() > end) {
      ::kill(s.pid, SIGKILL);
      ::waitpid(s.pid, &status, 0);
      ADD_FAILURE() << "the program did not end within " << limit.count() << " ms";
      return -1;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
}

// Name, size and change time of every file below a folder.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    files[it->path().lexically_relative(folder).string()] =
        std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
        std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_mode);
  }
  return files;
}

// One installation for the whole program (installing copies the whole data folder).
class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/cantrel-install-XXXXXX";
    if (char* made = ::mkdtemp(tmpl)) root_ = made;
    prefix_ = root_ / "prefix";
    std::string out;
    status_ = cantrel_test::RunTool({CANTREL_CMAKE_COMMAND, "--install", CANTREL_BINARY_DIR,
                                     "--prefix", prefix_.string()},
                                    &out);
    log_ = out;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  void SetUp() override {
    ASSERT_FALSE(root_.empty());
    ASSERT_EQ(status_, 0) << log_;
    home = cantrel_test::TempDir() / "home";
    data_home = home / ".local" / "share";
    fs::create_directories(data_home);
    user_data = data_home / "cantrel";
  }

  // The environment of a user whose desktop reads `data_dirs`.
  std::map<std::string, std::string> Env(const std::string& data_dirs) const {
    std::map<std::string, std::string> env = {
        {"HOME", home.string()},
        {"XDG_DATA_HOME", data_home.string()},
        {"XDG_CONFIG_HOME", (home / ".config").string()},
        {"XDG_CACHE_HOME", (home / ".cache").string()},
        {"XDG_DATA_DIRS", data_dirs},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"LANG", "C.UTF-8"},
        {"ASAN_OPTIONS", "detect_leaks=0"},
        {"UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1"},
    };
    if (const char* path = std::getenv("PATH")) env["PATH"] = path;
    return env;
  }
  std::map<std::string, std::string> Env() const {
    return Env((prefix_ / "share").string() + ":/usr/share");
  }

  // Runs a program to its end; its output in *output.
  int Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          std::string* output, milliseconds limit = milliseconds(180000)) {
    const fs::path out = cantrel_test::TempDir() / ("out" + std::to_string(++runs_) + ".txt");
    const int status = Wait(Start(argv, env, out), limit);
    *output = Read(out);
    return status;
  }

  fs::path Program() const { return prefix_ / "bin" / "cantrel"; }
  fs::path UserEntry() const { return data_home / "applications" / "pellmor.cantrel.desktop"; }

  static fs::path root_, prefix_;
  static int status_;
  static std::string log_;
  fs::path home, data_home, user_data;
  int runs_ = 0;
};

fs::path InstallTest::root_, InstallTest::prefix_;
int InstallTest::status_ = -1;
std::string InstallTest::log_;

TEST_F(InstallTest, EverythingGoesWhereTheDesktopLooks) {
  for (const char* rel :
       {"bin/cantrel", "share/cantrel/PATTERN.DB", "share/cantrel/TIMECHT7.DB",
        "share/cantrel/cantrel.png", "share/applications/cantrel.desktop",
        "share/mime/packages/cantrel.xml", "share/icons/hicolor/48x48/apps/cantrel.png",
        "share/icons/hicolor/256x256/apps/cantrel.png"}) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ / rel)) << rel;
  }
  EXPECT_TRUE(fs::is_directory(prefix_ / "share/cantrel/skin"));
  EXPECT_FALSE(fs::is_empty(prefix_ / "share/cantrel/skin"));
  EXPECT_EQ(::access(Program().c_str(), X_OK), 0);
  // The desktop's pieces are not copied among the program's data as well.
  EXPECT_FALSE(fs::exists(prefix_ / "share/cantrel/cantrel.desktop"));
  EXPECT_FALSE(fs::exists(prefix_ / "share/cantrel/icons"));
  // The installed MIME package names the type the program registers.
  const std::string mime = Read(prefix_ / "share/mime/packages/cantrel.xml");
  EXPECT_NE(mime.find("type=\"application/x-pellmor-cantrel\""), std::string::npos) << mime;
  EXPECT_NE(mime.find("<glob pattern=\"*.mwd\"/>"), std::string::npos) << mime;
  const std::string entry = Read(prefix_ / "share/applications/cantrel.desktop");
  EXPECT_NE(entry.find("MimeType=application/x-pellmor-cantrel;"), std::string::npos) << entry;
  EXPECT_NE(entry.find("Icon=cantrel\n"), std::string::npos) << entry;
}

TEST_F(InstallTest, TheInstalledEntryIsAValidDesktopEntry) {
  CANTREL_NEED_TOOL("desktop-file-validate");
  std::string out;
  EXPECT_EQ(cantrel_test::RunTool({"desktop-file-validate",
                                   (prefix_ / "share/applications/cantrel.desktop").string()},
                                  &out),
            0)
      << out;
  EXPECT_EQ(out, "");
}

TEST_F(InstallTest, TheMimePackageIsWellFormed) {
  CANTREL_NEED_TOOL("xmllint");
  std::string out;
  EXPECT_EQ(cantrel_test::RunTool({"xmllint", "--noout",
                                   (prefix_ / "share/mime/packages/cantrel.xml").string()}, &out),
            0);
}

// Started from the prefix, the program finds its databases and skin there, gets ready, saves at
// exit and points the file type at itself without a second menu entry.
TEST_F(InstallTest, TheInstalledProgramStartsAndRegistersItself) {
  // Leftovers of saves cut short go at start; files of other names stay.
  fs::create_directories(user_data / "temp");
  plat::WriteFileAtomic(user_data / "data_kv.dat.tmp0badf00d", std::string("half"));
  plat::WriteFileAtomic(user_data / "temp" / "x.wav.tmp12345678", std::string("half"));
  plat::WriteFileAtomic(user_data / "notes.tmp", std::string("mine"));
  plat::WriteFileAtomic(user_data / "data_kv.dat.tmpZZZZZZZZ", std::string("not ours"));

  std::string out;
  ASSERT_EQ(Run({Program().string(), "--exit-when-ready"}, Env(), &out), 0) << out;
  EXPECT_EQ(out.find("cantrel error"), std::string::npos) << out;
  EXPECT_EQ(plat::FileSize(user_data / "data_kv.dat"), 121880) << out;
  EXPECT_EQ(plat::FileSize(user_data / "setup_kv.ini"), 1340) << out;
  EXPECT_FALSE(fs::exists(user_data / "data_kv.dat.tmp0badf00d"));
  EXPECT_FALSE(fs::exists(user_data / "temp" / "x.wav.tmp12345678"));
  EXPECT_TRUE(fs::exists(user_data / "notes.tmp"));
  EXPECT_TRUE(fs::exists(user_data / "data_kv.dat.tmpZZZZZZZZ"));

  const std::string entry = Read(UserEntry());
  EXPECT_NE(entry.find("Exec=" + Program().string() + " %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("NoDisplay=true\n"), std::string::npos) << entry;
  EXPECT_TRUE(fs::exists(data_home / "mime" / "packages" / "pellmor.cantrel.xml"));

  CANTREL_NEED_TOOL("desktop-file-validate");
  EXPECT_EQ(cantrel_test::RunTool({"desktop-file-validate", UserEntry().string()}, &out), 0) << out;
  EXPECT_EQ(out, "");
}

// When the desktop does not read the prefix, the program's own entry is the one in the menu.
TEST_F(InstallTest, WithoutAVisibleInstalledEntryTheUsersEntryIsShown) {
  std::string out;
  ASSERT_EQ(Run({Program().string(), "--exit-when-ready"}, Env("/usr/share"), &out), 0) << out;
  const std::string entry = Read(UserEntry());
  EXPECT_NE(entry.find("Exec=" + Program().string() + " %f\n"), std::string::npos) << entry;
  EXPECT_EQ(entry.find("NoDisplay"), std::string::npos) << entry;
}

// The program of a build tree runs, but names no build folder in the association.
TEST_F(InstallTest, TheBuildTreesProgramRegistersNothing) {
  const fs::path built = fs::path(CANTREL_BINARY_DIR) / "app" / "cantrel";
  ASSERT_TRUE(fs::exists(built));
  std::string out;
  ASSERT_EQ(Run({built.string(), "--exit-when-ready"}, Env(), &out), 0) << out;
  EXPECT_EQ(plat::FileSize(user_data / "data_kv.dat"), 121880) << out;
  EXPECT_FALSE(fs::exists(UserEntry()));
  EXPECT_FALSE(fs::exists(data_home / "mime" / "packages" / "pellmor.cantrel.xml"));
}

// A second copy while the first runs: a clear message, a failing exit, and nothing touched.
TEST_F(InstallTest, ASecondCopySaysTheFirstRunsAndTouchesNothing) {
  const Started first =
      Start({Program().string()}, Env(), cantrel_test::TempDir() / "first.txt");
  ASSERT_GT(first.pid, 0);
  // The first copy holds the lock once its process id is in the lock file.
  const auto end = steady_clock::now() + milliseconds(120000);
  while (Read(user_data / "cantrel.lock") != std::to_string(first.pid) + "\n" &&
         steady_clock::now() < end) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  ASSERT_EQ(Read(user_data / "cantrel.lock"), std::to_string(first.pid) + "\n")
      << Read(first.output);
  // Wait until the first copy is past its start: the association is written and the desktop's
  // caches are refreshed, and nothing has changed for a second.
  auto before = Snapshot(data_home);
  for (int still = 0; still < 5 && steady_clock::now() < end;) {
    std::this_thread::sleep_for(milliseconds(200));
    auto now = Snapshot(data_home);
    still = now == before && fs::exists(UserEntry()) ? still + 1 : 0;
    before = std::move(now);
  }
  plat::WriteFileAtomic(user_data / "setup_kv.ini.tmp00c0ffee", std::string("left by a crash"));
  before = Snapshot(data_home);

  std::string out;
  const int status = Run({Program().string(), "--exit-when-ready"}, Env(), &out, milliseconds(60000));
  EXPECT_EQ(status, 1) << out;
  // The box goes to the standard error stream of an unattended start, as UTF-8.
  EXPECT_NE(out.find(plat::Cp932ToUtf8(plat::AlreadyRunningText())), std::string::npos) << out;
  EXPECT_EQ(Snapshot(data_home), before);

  ::kill(first.pid, SIGKILL);
  int ignored = 0;
  ::waitpid(first.pid, &ignored, 0);
}

}  // namespace
