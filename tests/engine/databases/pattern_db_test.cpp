#include <cstring>
#include <filesystem>
#include <string>

#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "engine/pattern_db.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "tests/engine/engine_fixture.h"

namespace {

namespace fs = std::filesystem;

class PatternDbTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    folder_ = cantrel_test::TempDir() / "program";
    fs::create_directories(folder_);
    plat::SetProgramFolder(folder_);
  }
  void TearDown() override {
    plat::SetProgramFolder(cantrel_test::SourceDir() / "resources");
    EngineTest::TearDown();
  }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(plat::WriteFileAtomic(folder_ / name, text));
  }
  void WriteAll(const std::string& pattern) {
    Write("PATTERN.DB", pattern);
    Write("RESOLUT.DB", "001|FMPoGMPo|");
    Write("TIMECHT.DB", "001|384384|");
    Write("RESTIME.DB", "001|384384|");
  }
  fs::path folder_;
};

TEST_F(PatternDbTest, CountScaleFromLargestCount) {
  WriteAll("CMPoFMPo040|CMPoGMPo080|");
  EXPECT_EQ(LoadPatternDatabases(), 1);
  EXPECT_EQ(PatternCountScale(), 10);
  EXPECT_STREQ(PatternDb().cadence_text, "001|FMPoGMPo|");
  EXPECT_STREQ(PatternDb().time_chart_text, "001|384384|");
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(PatternDbTest, RecordReading) {
  const char text[] = "CMPo FMPo\r\n040|CMPoGMPo080|tail";
  char record[kSuccessorRecordSize];
  int length = 0;
  size_t pos = 0;
  EXPECT_FALSE(ReadDatabaseRecord(text, record, sizeof record, &length, &pos));
  EXPECT_STREQ(record, "CMPoFMPo040");
  EXPECT_EQ(length, 11);
  EXPECT_EQ(pos, 15u);
  EXPECT_FALSE(ReadDatabaseRecord(text, record, sizeof record, &length, &pos));
  EXPECT_TRUE(ReadDatabaseRecord(text, record, sizeof record, &length, &pos));
  EXPECT_STREQ(record, "tail");  // a final record without "|" keeps its characters

  pos = 0;
  SkipDatabaseRecords(text, 2, &pos);
  EXPECT_EQ(std::string(text + pos), "tail");
  SkipDatabaseRecords(text, 1, &pos);
  EXPECT_EQ(ErrorCount(engine_error::kDatabaseRead), 1);
}

TEST_F(PatternDbTest, OverlongRecordIsCutAndReported) {
  const std::string text = std::string(300, 'A') + "|";
  char record[8];
  int length = 0;
  size_t pos = 0;
  EXPECT_FALSE(ReadDatabaseRecord(text.c_str(), record, sizeof record, &length, &pos));
  EXPECT_EQ(length, 7);
  EXPECT_STREQ(record, "AAAAAAA");
  EXPECT_EQ(pos, text.size());
  EXPECT_EQ(ErrorCount(engine_error::kDatabaseRead), 1);
}

TEST_F(PatternDbTest, MissingPatternFileStillBuildsToneTable) {
  WriteAll("CMPoFMPo040|");
  ASSERT_EQ(LoadPatternDatabases(), 1);
  fs::remove(folder_ / "PATTERN.DB");
  std::memset(PatternDb().chord_tone_table, 0, 16);
  EXPECT_EQ(LoadPatternDatabases(), 0);
  EXPECT_EQ(ErrorCount(engine_error::kPatternFile), 1);
  ASSERT_EQ(BoxCount(), 2u);
  EXPECT_NE(cantrel_test::Sink().Texts()[1].find("PATTERN.DB"), std::string::npos);
  EXPECT_EQ(std::string(PatternDb().chord_tone_table, 16), "CMPS900090090004");
  EXPECT_STREQ(PatternDb().time_chart_text, "001|384384|");  // kept
}

TEST_F(PatternDbTest, MissingTimingFilesAreReportedEach) {
  Write("PATTERN.DB", "CMPoFMPo040|");
  EXPECT_EQ(LoadPatternDatabases(), 1);
  EXPECT_EQ(ErrorCount(engine_error::kCadenceFile), 1);
  EXPECT_EQ(ErrorCount(engine_error::kTimeChartFile), 1);
  EXPECT_EQ(ErrorCount(engine_error::kCadenceTimeChartFile), 1);
  EXPECT_STREQ(PatternDb().cadence_text, "");
}

TEST_F(PatternDbTest, FileOfBufferSizeIsRefused) {
  std::string big = "CMPoFMPo040|";
  big.resize(kDatabaseBufferSize, ' ');
  WriteAll(big);
  EXPECT_EQ(LoadPatternDatabases(), 0);
  EXPECT_EQ(ErrorCount(engine_error::kPatternFile), 1);

  big.resize(kDatabaseBufferSize - 1);
  WriteAll(big);
  cantrel_test::Sink().Clear();
  EXPECT_EQ(LoadPatternDatabases(), 1);
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_EQ(PatternDb().pattern_text[kDatabaseBufferSize - 1], '\0');
  EXPECT_EQ(PatternCountScale(), 5);
}

TEST_F(PatternDbTest, SmallCountsGiveScaleZero) {
  WriteAll("CMPoFMPo005|CMPoGMPo003|");
  EXPECT_EQ(LoadPatternDatabases(), 1);
  EXPECT_EQ(PatternCountScale(), 0);
}

TEST_F(PatternDbTest, DatabasePaths) {
  EXPECT_EQ(DatabasePath("C:\\OVX\\PATTERN.DB"), "C:\\OVX\\PATTERN.DB");
  EXPECT_EQ(DatabasePath("/opt/x/PATTERN.DB"), "/opt/x/PATTERN.DB");
  EXPECT_EQ(fs::path(DatabasePath("PATTERN.DB")), folder_ / "PATTERN.DB");
}

TEST_F(PatternDbTest, StyleNamesTheFiles) {
  Write("MINE.DB", "AmPoDmPo080|");
  Write("CAD.DB", "001|DmPoEMPo|");
  Write("TIMECHT3.DB", "001|288288|");
  Write("RESTIME3.DB", "001|576|");
  SetStyleText(CurrentStyle().pattern_db, "MINE.DB");
  SetStyleText(CurrentStyle().chorus_db, "CAD.DB");
  CurrentStyle().metre = 1;
  SelectMinorTimingDatabases();
  EXPECT_EQ(TimeChartFileName(), "TIMECHT3.DB");
  EXPECT_EQ(CadenceTimeChartFileName(), "RESTIME3.DB");
  EXPECT_EQ(CurrentStyle().key_mode, 2);
  EXPECT_EQ(ChordTemplateKey(), "AmPs");
  EXPECT_EQ(LoadPatternDatabases(), 1);
  EXPECT_STREQ(PatternDb().pattern_text, "AmPoDmPo080|");
  EXPECT_STREQ(PatternDb().cadence_text, "001|DmPoEMPo|");
  EXPECT_STREQ(PatternDb().cadence_time_chart_text, "001|576|");
}

TEST_F(PatternDbTest, ChordToneTableLayout) {
  const char* table = PatternDb().chord_tone_table;
  EXPECT_EQ(std::string(table, 19), "CMPS900090090004|\r\n");
  EXPECT_EQ(std::strlen(table), static_cast<size_t>(kChordToneLines * kChordToneLineSize));
  // Line order: root, third, fifth, seventh; the last line is B4d9.
  EXPECT_EQ(std::string(table + (kChordToneLines - 1) * kChordToneLineSize, 4), "B4d9");
  char line[17];
  MakeChordToneLine(line, 'A', 'm', 'P', 's');
  EXPECT_STREQ(line, "AmPs900090050900");
  MakeChordToneLine(line, 'D', '4', 'A', '6');
  EXPECT_STREQ(line, "D4A6009000090095");
}

}  // namespace
