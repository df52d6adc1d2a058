#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"
#include "util/gne.h"

namespace {

class PickNextChordTest : public EngineTest {
 protected:
  // Successors of every chord in the loaded pattern text.
  static std::map<std::string, std::set<std::string>> Successors() {
    std::map<std::string, std::set<std::string>> map;
    const char* text = PatternDb().pattern_text;
    size_t pos = 0;
    char record[kSuccessorRecordSize];
    for (;;) {
      int length = 0;
      if (ReadDatabaseRecord(text, record, sizeof record, &length, &pos)) break;
      if (length >= 8) map[std::string(record, 4)].insert(std::string(record + 4, 4));
    }
    return map;
  }
  static std::string Pick(const std::string& from, const char* text = nullptr) {
    char code[4];
    std::memcpy(code, from.data(), 4);
    if (text != nullptr) {
      PickNextChord(code, text);
    } else {
      PickNextChord(code);
    }
    return std::string(code, 4);
  }
};

TEST_F(PickNextChordTest, OnlyListedSuccessorsOrTheTemplateKey) {
  struct Setup {
    const char* pattern;
    bool minor;
  };
  const Setup setups[] = {{"PATTERN.DB", false}, {"PATTERN.DB2", true}, {"PATTERN.DBB", false}};
  for (const Setup& setup : setups) {
    SetStyleText(CurrentStyle().pattern_db, setup.pattern);
    for (int progression : {1, 2, 3, 4, 6, 7, 9}) {
      CurrentStyle().progression = progression;
      if (setup.minor) {
        SelectMinorTimingDatabases();
      } else {
        SelectMajorTimingDatabases();
      }
      ASSERT_EQ(LoadPatternDatabases(), 1);
      const auto map = Successors();
      const std::string key = ChordTemplateKey();
      for (uint32_t seed = 1; seed <= 40; ++seed) {
        GneSeedRandomWith(seed * 7919u + static_cast<uint32_t>(progression));
        for (const auto& [from, successors] : map) {
          const std::string next = Pick(from);
          EXPECT_TRUE(successors.count(next) || next == key)
              << setup.pattern << " " << from << " -> " << next;
        }
        // Walking a progression stays inside the file too.
        std::string chord = key;
        for (int step = 0; step < 64; ++step) {
          const std::string next = Pick(chord);
          ASSERT_TRUE(map.count(chord) == 0 || map.at(chord).count(next) || next == key)
              << chord << " -> " << next;
          chord = next;
        }
      }
      // A chord the file does not know leads to the template key.
      EXPECT_EQ(Pick("N.C."), key);
      EXPECT_EQ(Pick("UnKn"), key);
    }
  }
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(PickNextChordTest, SameSeedSameChords) {
  ASSERT_EQ(LoadPatternDatabases(), 1);
  auto walk = [](uint32_t seed) {
    GneSeedRandomWith(seed);
    std::vector<std::string> chords;
    std::string chord = "CMPS";
    for (int i = 0; i < 32; ++i) {
      chord = Pick(chord);
      chords.push_back(chord);
    }
    return chords;
  };
  EXPECT_EQ(walk(42), walk(42));
  EXPECT_NE(walk(42), walk(43));
}

TEST_F(PickNextChordTest, WeightsFollowCounts) {
  const char text[] = "CMPoFMPo080|CMPoGMPo040|CMPoAmPo008|";
  ScanPatternCounts(text);
  ASSERT_EQ(PatternCountScale(), 10);
  CurrentStyle().progression = 1;  // thresholds 1..9: weights 9, 5 and 1
  std::map<std::string, int> seen;
  for (int i = 0; i < 3000; ++i) ++seen[Pick("CMPo", text)];
  EXPECT_GT(seen["FMPo"], seen["GMPo"]);
  EXPECT_GT(seen["GMPo"], seen["AmPo"]);
  EXPECT_GT(seen["AmPo"], 0);
  EXPECT_EQ(seen.size(), 3u);
  // The simplest setting never takes the rarely used successor.
  CurrentStyle().progression = 4;
  for (int i = 0; i < 500; ++i) EXPECT_NE(Pick("CMPo", text), "AmPo");
}

TEST_F(PickNextChordTest, NoPassingSuccessorGivesTheKeyAfterAllDraws) {
  const char text[] = "CMPoFMPo080|AmPoFMPo020|";
  ScanPatternCounts(text);
  CurrentStyle().progression = 4;  // minimum 5; FMPo from AmPo weighs 3
  const uint32_t before = GneGetRandomState();
  EXPECT_EQ(Pick("AmPo", text), "CMPS");
  // One candidate: no index draw, one threshold draw each time: 4000 in all.
  GneSetRandomState(before);
  for (int i = 0; i < kSuccessorDrawLimit; ++i) GneRandomRange(5, 9);
  const uint32_t expected = GneGetRandomState();
  GneSetRandomState(before);
  Pick("AmPo", text);
  EXPECT_EQ(GneGetRandomState(), expected);
}

TEST_F(PickNextChordTest, UnknownProgressionCodeIsReported) {
  const char text[] = "CMPoFMPo080|";
  ScanPatternCounts(text);
  for (int code : {0, 99}) {
    cantrel_test::Sink().Clear();
    CurrentStyle().progression = code;
    EXPECT_EQ(Pick("CMPo", text), "FMPo");
    EXPECT_EQ(ErrorCount(engine_error::kProgressionSetting), 1);
    EXPECT_EQ(CurrentStyle().progression, 3);
  }
}

TEST_F(PickNextChordTest, RandomAndFlamencoProgressionsDrawLikeTheLoosestWithoutABox) {
  const char text[] = "CMPoFMPo080|CMPoGMPo040|CMPoAmPo008|";
  ScanPatternCounts(text);
  for (int code : {5, 10}) {
    cantrel_test::Sink().Clear();
    GneSeedRandomWith(77);
    CurrentStyle().progression = 1;
    std::vector<std::string> loosest;
    for (int i = 0; i < 50; ++i) loosest.push_back(Pick("CMPo", text));
    GneSeedRandomWith(77);
    CurrentStyle().progression = code;
    std::vector<std::string> drawn;
    for (int i = 0; i < 50; ++i) drawn.push_back(Pick("CMPo", text));
    EXPECT_EQ(drawn, loosest) << code;
    EXPECT_EQ(BoxCount(), 0u) << code;
    EXPECT_EQ(CurrentStyle().progression, code);
  }
}

TEST_F(PickNextChordTest, SmallCountsDoNotDivideByZero) {
  const char text[] = "CMPoFMPo005|CMPoGMPo003|";
  ScanPatternCounts(text);
  ASSERT_EQ(PatternCountScale(), 0);
  CurrentStyle().progression = 4;
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) seen.insert(Pick("CMPo", text));
  EXPECT_EQ(seen, (std::set<std::string>{"FMPo"}));  // weights 6 and 4 against minimum 5
}

TEST_F(PickNextChordTest, AtMostThirtySuccessorsAndLastRecordUnused) {
  std::string text;
  const char roots[] = "CdDeEFgGaAbB";
  const char* qualities[] = {"MPo", "mPo", "MPs"};
  int n = 0;
  std::vector<std::string> codes;
  for (const char* q : qualities)
    for (int r = 0; r < 12; ++r) {
      const std::string code = std::string(1, roots[r]) + q;
      codes.push_back(code);
      text += "CMPS" + code + "080|";
      ++n;
    }
  ASSERT_EQ(n, 36);
  text += "CMPSBmds080";  // no "|": not used
  ScanPatternCounts(text.c_str());
  std::set<std::string> allowed(codes.begin(), codes.begin() + kSuccessorCapacity);
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) {
    const std::string next = Pick("CMPS", text.c_str());
    EXPECT_TRUE(allowed.count(next)) << next;
    seen.insert(next);
  }
  EXPECT_GT(seen.size(), 20u);
  EXPECT_GE(ErrorCount(engine_error::kPatternFile), 1);
}

TEST_F(PickNextChordTest, EmptyTemplateKeyIsReported) {
  SetChordTemplateKey("");
  EXPECT_EQ(Pick("CMPo", ""), std::string(4, '\0'));
  EXPECT_EQ(ErrorCount(engine_error::kPatternResult), 1);
}

}  // namespace
