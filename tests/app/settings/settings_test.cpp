// The settings block and its file.
#include "app/config_data.h"
#include "platform/core/files.h"
#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(size_t n, uint8_t fill) { return std::vector<uint8_t>(n, fill); }

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::vector<uint8_t> out;
  plat::ReadWholeFile(p, out);
  return out;
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cantrel_test::Sink().Clear();
    path = cantrel_test::TempDir() / "setup_kv.ini";
    defaults = Bytes(16, 0xDD);
    block = Bytes(16, 0);
  }
  fs::path path;
  std::vector<uint8_t> defaults, block;
};

TEST_F(ConfigFileTest, NoFileGivesTheDefaultsSilentlyAndCreatesTheFileAtTheEnd) {
  {
    CConfigControl keeper(path, block.data(), block.size(), defaults.data());
    EXPECT_FALSE(keeper.LoadedFromFile());
    EXPECT_EQ(block, defaults);
    block[3] = 7;
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  std::vector<uint8_t> expected = defaults;
  expected[3] = 7;
  EXPECT_EQ(ReadAll(path), expected);
}

struct SizeCase {
  size_t fileSize;
  bool loads;
  bool message;
};

class ConfigFileSizeTest : public ConfigFileTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ConfigFileSizeTest, ShortFilesGiveDefaultsWithTheMessageLongerOnesLoad) {
  const SizeCase& c = GetParam();
  std::vector<uint8_t> file(c.fileSize);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i + 1);
  ASSERT_TRUE(plat::WriteFileAtomic(path, file));
  {
    CConfigControl keeper(path, block.data(), block.size(), defaults.data());
    EXPECT_EQ(keeper.LoadedFromFile(), c.loads);
    if (c.loads) {
      EXPECT_EQ(block, std::vector<uint8_t>(file.begin(), file.begin() + 16));
    } else {
      EXPECT_EQ(block, defaults);
    }
  }
  const auto texts = cantrel_test::Sink().Texts();
  EXPECT_EQ(texts.size(), c.message ? 1u : 0u);
  if (c.message) EXPECT_EQ(texts[0], "iniファイルにエラーがあるため初期化しました。");
  EXPECT_EQ(ReadAll(path).size(), 16u) << "written back whole, cut to the block";
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConfigFileSizeTest,
                         ::testing::Values(SizeCase{16, true, false}, SizeCase{40, true, false},
                                           SizeCase{15, false, true}, SizeCase{0, false, true}));

TEST_F(ConfigFileTest, AFailedSaveIsReportedAndLeavesNoHalfFile) {
  const fs::path blocked = cantrel_test::TempDir() / "file" / "setup_kv.ini";
  // A plain file where the folder should be: the write cannot happen.
  ASSERT_TRUE(plat::WriteFileAtomic(cantrel_test::TempDir() / "file", std::string("x")));
  {
    CConfigControl keeper(blocked, block.data(), block.size(), defaults.data());
    EXPECT_FALSE(keeper.Save());
    keeper.SetSaveOnDestroy(false);
  }
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  const std::string text = cantrel_test::Sink().Texts()[0];
  EXPECT_EQ(text.substr(0, 12), "GENE01000007");
  // The box says why: its last line is the reason in words.
  std::error_code error;
  ASSERT_FALSE(plat::WriteFileAtomic(blocked, std::string("x"), &error));
  const std::string why = plat::WriteFailureText(error);
  ASSERT_FALSE(why.empty());
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), why);
}

// ---------------------------------------------------------------------------- ConfigData

TEST(ConfigDataTest, DefaultsMatchTheTable) {
  SetDefaultScreenModeOverride(1);  // a 1920 x 1080 screen's mode is stored as 5
  ConfigData c;
  SetDefaultConfig(&c);
  SetDefaultScreenModeOverride(-1);
  const ConfigImage img = ConfigToImage(c);
  EXPECT_EQ(img.size(), 1340u);
  auto i32 = [&](size_t o) {
    return static_cast<int32_t>(img[o] | img[o + 1] << 8 | img[o + 2] << 16 | img[o + 3] << 24);
  };
  auto i16 = [&](size_t o) { return static_cast<int16_t>(img[o] | img[o + 1] << 8); };
  EXPECT_EQ(img[0], 0) << "no song path";
  EXPECT_EQ(i32(268), 0);
  EXPECT_EQ(i32(272), 0);
  EXPECT_EQ(i32(276), 1);
  EXPECT_EQ(i16(280), -1);
  EXPECT_NE(img[282], 0) << "the default device's name";
  EXPECT_EQ(img[542], 48);
  EXPECT_EQ(img[543], 83);
  EXPECT_EQ(img[544], 40);
  EXPECT_EQ(img[545], 83);
  EXPECT_EQ(img[546], 0);
  EXPECT_EQ(i16(548), 0);
  EXPECT_EQ(i16(550), 1);
  EXPECT_EQ(img[552], 5);
  EXPECT_EQ(i32(556), 1);
  EXPECT_EQ(img[560], 2);
  EXPECT_EQ(img[561], 1);
  EXPECT_EQ(img[562], 64);
  EXPECT_EQ(img[563], 96);
  EXPECT_EQ(img[564], 0);
  EXPECT_EQ(img[565], 0);
  EXPECT_EQ(img[825], 0);
  EXPECT_EQ(img[826], 0);
  for (size_t o : {size_t{260}, size_t{314}, size_t{547}, size_t{553}, size_t{827}, size_t{1339}}) {
    EXPECT_EQ(img[o], 0) << o;
  }
}

TEST(ConfigDataTest, EveryByteSurvivesARoundTrip) {
  ConfigImage in;
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7 + 3);
  ConfigData c;
  ConfigFromBytes(in.data(), c);
  EXPECT_EQ(ConfigToImage(c), in);
  EXPECT_EQ(c.midiOutDevice, static_cast<int16_t>(in[280] | in[281] << 8));
  EXPECT_EQ(c.inputVelocity, in[562]);
}

TEST(ConfigDataTest, SanitizeEndsTextsAndClampsToTheDialogRanges) {
  ConfigData c;
  SetDefaultConfig(&c);
  std::memset(c.songPath, 'a', sizeof(c.songPath));
  std::memset(c.midiOutName, 'b', sizeof(c.midiOutName));
  std::memset(c.encoderPath, 'c', sizeof(c.encoderPath));
  c.keyboardLow = 90;
  c.keyboardHigh = 60;
  c.scoreLow = 0;
  c.scoreHigh = 200;
  c.leadInBars = 50;
  c.commandInterval = -5;
  c.inputVelocity = 200;
  c.screenLayout = 9;
  c.archiveFilter = -1;
  c.lyricEventMode = 7;
  c.midiOutDevice = -40;
  EXPECT_TRUE(SanitizeConfig(c));
  EXPECT_EQ(strnlen(c.songPath, sizeof(c.songPath)), sizeof(c.songPath) - 1);
  EXPECT_EQ(strnlen(c.midiOutName, sizeof(c.midiOutName)), sizeof(c.midiOutName) - 1);
  EXPECT_EQ(strnlen(c.encoderPath, sizeof(c.encoderPath)), sizeof(c.encoderPath) - 1);
  EXPECT_EQ(c.keyboardLow, 71);
  EXPECT_EQ(c.keyboardHigh, 95);
  EXPECT_EQ(c.scoreLow, 40);
  EXPECT_EQ(c.scoreHigh, 95);
  EXPECT_EQ(c.leadInBars, 8);
  EXPECT_EQ(c.commandInterval, 0);
  EXPECT_EQ(c.inputVelocity, 127);
  EXPECT_EQ(c.screenLayout, 6);
  EXPECT_EQ(c.archiveFilter, 0);
  EXPECT_EQ(c.lyricEventMode, 3);
  EXPECT_EQ(c.midiOutDevice, -1);
  ConfigData d;
  SetDefaultConfig(&d);
  EXPECT_FALSE(SanitizeConfig(d)) << "the defaults are within range";
}

TEST(ConfigDataTest, AnUnendedTextIsNotCutInsideADoubleByteCharacter) {
  ConfigData c;
  SetDefaultConfig(&c);
  // "…aあ" filling the whole field: the last character straddles the terminator's place.
  std::memset(c.songPath, 'a', sizeof(c.songPath));
  c.songPath[258] = static_cast<char>(0x82);
  c.songPath[259] = static_cast<char>(0xA0);
  std::memset(c.midiOutName, 'b', sizeof(c.midiOutName));
  c.midiOutName[30] = static_cast<char>(0x83);
  c.midiOutName[31] = static_cast<char>(0x41);
  EXPECT_TRUE(SanitizeConfig(c));
  EXPECT_EQ(strnlen(c.songPath, sizeof(c.songPath)), 258u) << "the whole character goes";
  EXPECT_EQ(strnlen(c.midiOutName, sizeof(c.midiOutName)), 30u);
}

TEST(ConfigDataTest, KeyboardKeepsTwoOctavesBetweenItsEnds) {
  ConfigData c;
  SetDefaultConfig(&c);
  c.keyboardLow = 60;
  c.keyboardHigh = 70;
  SanitizeConfig(c);
  EXPECT_EQ(c.keyboardLow, 60);
  EXPECT_EQ(c.keyboardHigh, 84);
}

}  // namespace

namespace {

// Any 1340 bytes read from a file become a block within the dialogs' ranges.
TEST(ConfigDataTest, AnyBytesSanitiseIntoRange) {
  GneSeedRandomWith(12345);
  for (int round = 0; round < 300; ++round) {
    ConfigImage raw;
    for (uint8_t& b : raw) b = static_cast<uint8_t>(GneRandomRange(0, 255));
    ConfigData c;
    ConfigFromBytes(raw.data(), c);
    SanitizeConfig(c);
    ASSERT_NE(std::memchr(c.songPath, 0, sizeof(c.songPath)), nullptr);
    ASSERT_NE(std::memchr(c.midiOutName, 0, sizeof(c.midiOutName)), nullptr);
    ASSERT_NE(std::memchr(c.encoderPath, 0, sizeof(c.encoderPath)), nullptr);
    ASSERT_GE(c.keyboardLow, 48);
    ASSERT_LE(c.keyboardHigh, 95);
    ASSERT_GE(c.keyboardHigh, c.keyboardLow + 24);
    ASSERT_TRUE(c.scoreLow >= 40 && c.scoreLow <= 46);
    ASSERT_TRUE(c.scoreHigh >= 78 && c.scoreHigh <= 95);
    ASSERT_LE(c.leadInBars, 8);
    ASSERT_TRUE(c.commandInterval >= 0 && c.commandInterval <= 99);
    ASSERT_LE(c.inputVelocity, 127);
    ASSERT_TRUE(c.screenLayout >= 0 && c.screenLayout <= 6);
    ASSERT_TRUE(c.archiveFilter >= 0 && c.archiveFilter <= 3);
    ASSERT_LE(c.lyricEventMode, 3);
    ASSERT_GE(c.midiOutDevice, -1);
    // Sanitising is settled: a second pass changes nothing, and the reserved bytes survive.
    ConfigData again = c;
    ASSERT_FALSE(SanitizeConfig(again));
    const ConfigImage out = ConfigToImage(c);
    ASSERT_TRUE(std::equal(raw.begin() + 827, raw.end(), out.begin() + 827));
    ASSERT_TRUE(std::equal(raw.begin() + 314, raw.begin() + 542, out.begin() + 314));
  }
}

}  // namespace
