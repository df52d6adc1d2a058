// Folder file lists over temporary trees.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/directory_file_list.h"

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using cantrel_test::TempDir;
using Names = std::vector<std::string>;

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

// root/a.mwd root/b.txt root/B.MWD root/x.mwd/ root/sub/c.mwd root/sub/deep/d.mwd root/sub/e.txt
fs::path MakeTree() {
  const fs::path root = TempDir() / "tree";
  for (const char* f : {"a.mwd", "b.txt", "B.MWD", "sub/c.mwd", "sub/deep/d.mwd", "sub/e.txt",
                        "zz/f.mwd"}) {
    Touch(root / f);
  }
  fs::create_directories(root / "x.mwd");
  return root;
}

TEST(FolderList, PatternRecursionAndPrefix) {
  const fs::path root = MakeTree();
  const struct {
    const char* name;
    const char* pattern;
    int recurse, keep;
    Names entries;
  } cases[] = {
      // Names in byte order, the pattern blind to ASCII case, folders matched like files.
      {"flat", "*.mwd", 0, 0, {"B.MWD", "a.mwd", "x.mwd"}},
      {"flat txt", "*.txt", 0, 0, {"b.txt"}},
      {"question mark", "?.mwd", 0, 0, {"B.MWD", "a.mwd", "x.mwd"}},
      {"all", "*.*", 0, 0, {"B.MWD", "a.mwd", "b.txt", "sub", "x.mwd", "zz"}},
      {"nothing", "*.abc", 1, 1, {}},
      {"recursive with prefix", "*.mwd", 1, 1,
       {"B.MWD", "a.mwd", "x.mwd", "sub/c.mwd", "sub/deep/d.mwd", "zz/f.mwd"}},
      // Without the prefix the first level goes; deeper levels keep theirs, as the subfolder
      // lists them.
      {"recursive without prefix", "*.mwd", 1, 0,
       {"B.MWD", "a.mwd", "x.mwd", "c.mwd", "deep/d.mwd", "f.mwd"}},
  };
  for (const auto& c : cases) {
    CDirectoryFileList list(root, c.pattern, c.recurse, c.keep);
    EXPECT_EQ(list.entries(), c.entries) << c.name;
    EXPECT_EQ(list.count(), static_cast<int>(c.entries.size())) << c.name;
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(FolderList, FolderKeepsNoTrailingSeparator) {
  const fs::path root = MakeTree();
  CDirectoryFileList list(root.string() + "/", "a.*", 0, 0);
  EXPECT_EQ(list.folder(), root);
  EXPECT_EQ(list.entries(), Names{"a.mwd"});
  EXPECT_EQ(CDirectoryFileList(fs::path("/"), "*.no-such-name", 0, 0).folder(), fs::path("/"));
}

TEST(FolderList, MissingFolderGivesAnEmptyListWithoutMessage) {
  CDirectoryFileList list(TempDir() / "none", "*.*", 1, 1);
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(FolderList, SymbolicLinkLoopIsListedButNotEntered) {
  const fs::path root = MakeTree();
  fs::create_directory_symlink(root, root / "sub" / "loop");  // sub/loop -> the root
  fs::create_symlink(root / "a.mwd", root / "link.mwd");
  CDirectoryFileList list(root, "*.mwd", 1, 1);
  EXPECT_EQ(list.entries(), (Names{"B.MWD", "a.mwd", "link.mwd", "x.mwd", "sub/c.mwd",
                                   "sub/deep/d.mwd", "zz/f.mwd"}));
  CDirectoryFileList all(root / "sub", "*.*", 1, 1);
  EXPECT_EQ(all.entries(), (Names{"c.mwd", "deep", "e.txt", "loop", "deep/d.mwd"}));
}

// Lists `root` as the user nobody when we are root (who can read any folder), so that a folder
// of mode 000 really cannot be read. The entries come back through a pipe.
Names ListAsUnprivileged(const fs::path& root) {
  if (geteuid() != 0) {
    return CDirectoryFileList(root, "*.mwd", 1, 1).entries();
  }
  int fds[2];
  if (pipe(fds) != 0) return {"pipe failed"};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string out;
    if (setgid(65534) == 0 && setuid(65534) == 0) {
      const CDirectoryFileList list(root, "*.mwd", 1, 1);
      for (const std::string& e : list.entries()) out += e + "\n";
    } else {
      out = "setuid failed\n";
    }
    const ssize_t ignored = write(fds[1], out.data(), out.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Names names;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    names.push_back(text.substr(start, nl - start));
  }
  return names;
}

TEST(FolderList, UnreadableFolderIsSkipped) {
  const fs::path root = MakeTree();
  // Every level down to the tree must be reachable for the unprivileged lister.
  for (fs::path p = root; p != TempDir().parent_path() && !p.empty(); p = p.parent_path()) {
    chmod(p.c_str(), 0755);
  }
  for (const char* f : {"a.mwd", "B.MWD", "sub/c.mwd", "sub/deep/d.mwd", "zz/f.mwd"}) {
    chmod((root / f).c_str(), 0644);
  }
  for (const char* d : {"sub", "sub/deep", "zz", "x.mwd"}) chmod((root / d).c_str(), 0755);
  chmod((root / "sub").c_str(), 0000);
  const Names names = ListAsUnprivileged(root);
  chmod((root / "sub").c_str(), 0755);
  EXPECT_EQ(names, (Names{"B.MWD", "a.mwd", "x.mwd", "zz/f.mwd"}));
}

TEST(FolderList, AtMost29000EntriesWithOneMessage) {
  const fs::path root = TempDir() / "many";
  fs::create_directories(root);
  for (int i = 0; i < CDirectoryFileList::kMaxFiles + 5; ++i) {
    std::ofstream(root / ("f" + std::to_string(100000 + i) + ".mwd"));
  }
  CDirectoryFileList list(root, "*.mwd", 0, 0);
  EXPECT_EQ(list.count(), CDirectoryFileList::kMaxFiles);
  EXPECT_EQ(list.entries().back(), "f" + std::to_string(100000 + CDirectoryFileList::kMaxFiles - 1) + ".mwd");
  EXPECT_EQ(Sink().Texts(), Names{"MAX_FILE_NUM"});
}

TEST(FolderList, PatternMatching) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.mwd", "song.MWD", true}, {"*.mwd", "song.mwd.bak", false}, {"*", "", true},
      {"a*b*c", "aXbYc", true},    {"a*b*c", "aXbY", false},         {"*.*", "noext", true},
      {"?", "ab", false},          {"s?ng*", "SONG1", true},         {"", "", true},
      {"**a", "xxa", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CDirectoryFileList::MatchPattern(c.pattern, c.name), c.match)
        << c.pattern << " " << c.name;
  }
}

}  // namespace
