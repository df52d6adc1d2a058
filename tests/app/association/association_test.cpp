// The song file type is registered with the program's own path.
#include "app/brevant_app.h"
#include "platform/core/association.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "tests/support/test_support.h"
#include "util/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class AssociationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = cantrel_test::TempDir() / "share";
    plat::SetAssociationDataHome(home);
    plat::SetAssociationRefresh(false);
  }
  void TearDown() override {
    plat::SetAssociationDataHome({});
    plat::SetAssociationRefresh(true);
  }
  std::string Read(const fs::path& p) {
    std::string s;
    plat::ReadWholeFile(p, s);
    return s;
  }
  fs::path home;
};

TEST_F(AssociationTest, UsesTheProgramsOwnPathWhateverTheCurrentFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(cantrel_test::TempDir());
  CBrevantApp::RegisterSongFileTypeFor(plat::ExecutablePath());
  fs::current_path(before);
  const std::string desktop = Read(home / "applications" / "pellmor.cantrel.desktop");
  const std::string exe = plat::ExecutablePath().string();
  EXPECT_NE(desktop.find("Exec=" + exe + " %f\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("MimeType=application/x-pellmor-cantrel;\n"), std::string::npos);
  EXPECT_NE(desktop.find("Comment=Cantrel Document\n"), std::string::npos);
  const std::string mime = Read(home / "mime" / "packages" / "pellmor.cantrel.xml");
  EXPECT_NE(mime.find("<mime-type type=\"application/x-pellmor-cantrel\">"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.mwd\"/>"), std::string::npos);
  EXPECT_NE(mime.find("<comment>Cantrel Document</comment>"), std::string::npos);
}

TEST_F(AssociationTest, RegisteringTwiceGivesTheSameFilesAndWritesNothingNew) {
  plat::FileTypeAssociation a;
  a.extension = ".mwd";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  a.program = "/opt/my apps/cantrel";
  plat::AssociationFiles first, second;
  ASSERT_TRUE(plat::RegisterFileAssociation(a, &first));
  EXPECT_TRUE(first.changed);
  const std::string text = Read(first.desktopEntry);
  ASSERT_TRUE(plat::RegisterFileAssociation(a, &second));
  EXPECT_FALSE(second.changed);
  EXPECT_EQ(Read(second.desktopEntry), text);
  EXPECT_NE(text.find("Exec=\"/opt/my apps/cantrel\" %f"), std::string::npos) << text;
  // Everything stays below the data home.
  EXPECT_EQ(first.desktopEntry.string().rfind(home.string(), 0), 0u);
  EXPECT_EQ(first.mimePackage.string().rfind(home.string(), 0), 0u);
}

TEST_F(AssociationTest, OpenCommandQuotesThePathAndTheFile) {
  EXPECT_EQ(CBrevantApp::OpenCommand("/usr/bin/cantrel"), "\"/usr/bin/cantrel\" \"%1\"");
  EXPECT_EQ(GneSplitCommandLine("\"/a b/c\" \"%1\""), (std::vector<std::string>{"/a b/c", "%1"}));
}

TEST_F(AssociationTest, DesktopEntryEscapesSpecialCharacters) {
  plat::FileTypeAssociation a;
  a.extension = ".MWD";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  a.program = "/tmp/100% \"odd\"/cantrel";
  const std::string text = plat::DesktopEntryText(a);
  EXPECT_NE(text.find("Exec=\"/tmp/100%% \\\"odd\\\"/cantrel\" %f"), std::string::npos) << text;
  const std::string mime = plat::MimePackageText(a);
  EXPECT_NE(mime.find("*.mwd"), std::string::npos);
  EXPECT_NE(mime.find("*.MWD"), std::string::npos);
}

TEST_F(AssociationTest, RefreshRunsTheDesktopToolsWhenPresent) {
  CANTREL_NEED_TOOL("update-mime-database");
  plat::SetAssociationRefresh(true);
  plat::FileTypeAssociation a;
  a.extension = ".mwd";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  a.program = "/usr/bin/cantrel";
  ASSERT_TRUE(plat::RegisterFileAssociation(a));
  std::string globs;
  ASSERT_TRUE(plat::ReadWholeFile(home / "mime" / "globs2", globs));
  EXPECT_NE(globs.find("application/x-pellmor-cantrel:*.mwd"), std::string::npos) << globs;
}

TEST_F(AssociationTest, AHangingCacheToolIsEndedAndTheStartGoesOn) {
  // A tool of that name that never ends, found first on the search path.
  const fs::path bin = cantrel_test::TempDir() / "bin";
  fs::create_directories(bin);
  ASSERT_TRUE(plat::WriteFileAtomic(bin / "update-mime-database",
                                    std::string("#!/bin/sh\nexec sleep 600\n")));
  fs::permissions(bin / "update-mime-database", fs::perms::owner_all);
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  setenv("PATH", ("relative:" + bin.string() + ":" + saved).c_str(), 1);
  plat::SetAssociationRefresh(true);
  plat::SetAssociationToolTimeout(50);
  plat::FileTypeAssociation a;
  a.extension = ".mwd";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  a.program = "/usr/bin/cantrel";
  EXPECT_TRUE(plat::RegisterFileAssociation(a)) << "the files are written all the same";
  plat::SetAssociationToolTimeout(10000);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_TRUE(fs::exists(home / "mime" / "packages" / "pellmor.cantrel.xml"));
}

TEST_F(AssociationTest, OtherValuesLiveInAKeyValueFile) {
  std::string name;
  EXPECT_EQ(GneGetMidiMapperDeviceName(name), 0);
  EXPECT_EQ(GneSetMidiMapperDeviceName("x"), 0) << "no key yet";
  GneMakeMidiMapperDeviceName("Synth A");
  ASSERT_EQ(GneGetMidiMapperDeviceName(name), 1);
  EXPECT_EQ(name, "Synth A");
  EXPECT_EQ(GneSetMidiMapperDeviceName("Synth B"), 1);
  GneGetMidiMapperDeviceName(name);
  EXPECT_EQ(name, "Synth B");
  EXPECT_TRUE(fs::exists(plat::UserDataFolder() / "registry.txt"));
  // A key with a tab or line break is found again and replaced, not added once more.
  std::string value;
  ASSERT_TRUE(GneRegistrySet("Odd\tkey", "na\nme", "1"));
  ASSERT_TRUE(GneRegistrySet("Odd\tkey", "na\nme", "2"));
  ASSERT_TRUE(GneRegistryGet("Odd\tkey", "na\nme", value));
  EXPECT_EQ(value, "2");
  std::string text;
  ASSERT_TRUE(plat::ReadWholeFile(plat::UserDataFolder() / "registry.txt", text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

// This test program runs from the build tree, which may be deleted: nothing may point at it.
TEST_F(AssociationTest, AProgramInABuildTreeRegistersNothing) {
  ASSERT_TRUE(plat::RunningFromBuildTree());
  EXPECT_FALSE(CBrevantApp::RegisterSongFileType());
  EXPECT_FALSE(fs::exists(home / "applications"));
  EXPECT_FALSE(fs::exists(home / "mime"));
}

// An installed program whose desktop entry the desktop shows gets no second menu entry; the
// user's entry still opens the song files with it.
TEST_F(AssociationTest, NoSecondMenuEntryWhereAnInstalledOneIsShown) {
  const fs::path prefix = cantrel_test::TempDir() / "prefix";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "applications");
  ASSERT_TRUE(plat::WriteFileAtomic(prefix / "bin" / "cantrel", std::string("#!/bin/sh\n")));
  plat::FileTypeAssociation a;
  a.extension = ".mwd";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  a.program = prefix / "bin" / "cantrel";
  const char* old_dirs = std::getenv("XDG_DATA_DIRS");
  const std::string saved = old_dirs ? old_dirs : "";
  struct Case {
    bool installed_entry;
    std::string data_dirs;
    bool hidden;
  };
  const Case cases[] = {
      {false, (prefix / "share").string() + ":/usr/share", false},  // no installed entry
      {true, "/usr/share:" + (prefix / "share").string() + "/", true},
      {true, "/usr/local/share:/usr/share", false},  // installed where the desktop does not look
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data_dirs + (c.installed_entry ? " with" : " without") + " an installed entry");
    const fs::path entry = prefix / "share" / "applications" / "cantrel.desktop";
    if (c.installed_entry) {
      ASSERT_TRUE(plat::WriteFileAtomic(entry, Read(cantrel_test::SourceDir() / "resources" / "cantrel.desktop")));
    } else {
      fs::remove(entry);
    }
    setenv("XDG_DATA_DIRS", c.data_dirs.c_str(), 1);
    EXPECT_EQ(!plat::VisibleInstalledEntry(a.program).empty(), c.hidden);
    plat::AssociationFiles files;
    ASSERT_TRUE(plat::RegisterFileAssociation(a, &files));
    const std::string text = Read(files.desktopEntry);
    EXPECT_EQ(text.find("NoDisplay=true\n") != std::string::npos, c.hidden) << text;
    EXPECT_NE(text.find("Exec=" + a.program.string() + " %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MimeType=application/x-pellmor-cantrel;\n"), std::string::npos);
  }
  if (old_dirs) {
    setenv("XDG_DATA_DIRS", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_DIRS");
  }
}

// What the program writes passes the desktop's own check, odd program paths included.
TEST_F(AssociationTest, WrittenEntriesPassTheDesktopsCheck) {
  CANTREL_NEED_TOOL("desktop-file-validate");
  for (const char* program : {"/usr/bin/cantrel", "/opt/my apps/100% \"odd\"/cantrel",
                              u8"/home/ユーザー/bin/cantrel"}) {  // paths are UTF-8
    for (bool hidden : {false, true}) {
      plat::FileTypeAssociation a;
      a.extension = ".mwd";
      a.typeName = "Pellmor.Cantrel";
      a.description = "Cantrel Document";
      a.program = program;
      a.icon = "/usr/share/cantrel/cantrel.png";
      a.noDisplay = hidden;
      const fs::path path = cantrel_test::TempDir() / "check.desktop";
      ASSERT_TRUE(plat::WriteFileAtomic(path, plat::DesktopEntryText(a)));
      std::string out;
      EXPECT_EQ(cantrel_test::RunTool({"desktop-file-validate", path.string()}, &out), 0)
          << program << "\n" << out;
      EXPECT_EQ(out, "") << program;
    }
  }
}

// The MIME package installed with the program and the one the program writes agree.
TEST_F(AssociationTest, InstalledAndWrittenMimePackagesAgree) {
  const std::string installed = Read(cantrel_test::SourceDir() / "resources" / "cantrel-mime.xml");
  plat::FileTypeAssociation a;
  a.extension = ".mwd";
  a.typeName = "Pellmor.Cantrel";
  a.description = "Cantrel Document";
  const std::string written = plat::MimePackageText(a);
  for (const std::string& part : {std::string("<mime-type type=\"application/x-pellmor-cantrel\">"),
                                  std::string("<glob pattern=\"*.mwd\"/>"),
                                  std::string("<comment>Cantrel Document</comment>")}) {
    EXPECT_NE(installed.find(part), std::string::npos) << part;
    EXPECT_NE(written.find(part), std::string::npos) << part;
  }
  const std::string entry = Read(cantrel_test::SourceDir() / "resources" / "cantrel.desktop");
  EXPECT_NE(entry.find("MimeType=" + plat::MimeTypeFor("Pellmor.Cantrel") + ";\n"), std::string::npos);
}

TEST_F(AssociationTest, WritesCutShortAreCleanedUp) {
  fs::create_directories(home / "applications");
  fs::create_directories(home / "mime" / "packages");
  const fs::path ours1 = home / "applications" / "pellmor.cantrel.desktop.tmp0123abcd";
  const fs::path ours2 = home / "mime" / "packages" / "pellmor.cantrel.xml.tmpdeadbeef";
  const fs::path theirs = home / "applications" / "other.desktop.tmp0123abcd";
  for (const fs::path& p : {ours1, ours2, theirs}) ASSERT_TRUE(plat::WriteFileAtomic(p, std::string("x")));
  plat::RemoveInterruptedAssociationWrites("Pellmor.Cantrel");
  EXPECT_FALSE(fs::exists(ours1));
  EXPECT_FALSE(fs::exists(ours2));
  EXPECT_TRUE(fs::exists(theirs));
}

// A registry value that cannot be written is said, with the library's texts.
TEST_F(AssociationTest, AFailedRegistryWriteIsReported) {
  GneMakeMidiMapperDeviceName("Synth A");
  cantrel_test::Sink().Clear();
  // The key-value file's place is taken by a folder: every write fails.
  const fs::path file = plat::UserDataFolder() / "registry.txt";
  std::string keep;
  ASSERT_TRUE(plat::ReadWholeFile(file, keep));
  fs::remove(file);
  fs::create_directories(file / "x");
  EXPECT_EQ(GneSetMidiMapperDeviceName("Synth B"), 0);
  GneMakeMidiMapperDeviceName("Synth C");
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"GneMakeMidiMapperDeviceName registry error", "registry error"}));
  fs::remove_all(file);
  ASSERT_TRUE(plat::WriteFileAtomic(file, keep));
  EXPECT_EQ(GneSetMidiMapperDeviceName("Synth B"), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

}  // namespace
