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
  CBrevantApp::RegisterSongFileType();
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
  if (!cantrel_test::HaveTool("update-mime-database")) GTEST_SKIP() << "no update-mime-database";
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

}  // namespace
