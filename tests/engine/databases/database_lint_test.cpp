// Lints the shipped pattern, cadence and time-chart databases against the
// grammar the readers accept and the limits they rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "song/chord_codes.h"
#include "song/chord_model.h"
#include "tests/engine/engine_fixture.h"

namespace {

namespace fs = std::filesystem;

struct DatabaseFile {
  std::string bytes;
  std::vector<std::string> records;  // blanks, CR and LF removed
  bool terminated = true;            // the last record ends with "|"
};

fs::path ResourcePath(const std::string& name) {
  return cantrel_test::SourceDir() / "resources" / name;
}

DatabaseFile Load(const std::string& name) {
  DatabaseFile f;
  std::ifstream in(ResourcePath(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << name << " is missing";
  f.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::string current;
  for (char c : f.bytes) {
    if (c == '\r' || c == '\n' || c == ' ') continue;
    if (c == '|') {
      f.records.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  f.terminated = current.empty();
  return f;
}

bool IsChordCode(const std::string& code) {
  if (code.size() != 4) return false;
  // Every code the databases name must have tone weights of its own.
  char weights[kToneWeightTextSize];
  FindChordToneWeights(code.c_str(), weights);
  return std::memcmp(weights, code.data(), 4) == 0;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

void CheckCommon(const std::string& name, const DatabaseFile& f) {
  EXPECT_LT(f.bytes.size(), kDatabaseBufferSize) << name;
  EXPECT_TRUE(f.terminated) << name << ": last record without \"|\"";
  EXPECT_FALSE(f.records.empty()) << name;
  for (const std::string& r : f.records) {
    EXPECT_LE(r.size(), 83u) << name << ": " << r;
    EXPECT_FALSE(r.empty()) << name << ": empty record";
  }
  for (unsigned char c : f.bytes) EXPECT_LT(c, 0x80) << name << ": not plain ASCII";
}

using SuccessorMap = std::map<std::string, std::map<std::string, int>>;

SuccessorMap LintPattern(const std::string& name) {
  SCOPED_TRACE(name);
  const DatabaseFile f = Load(name);
  CheckCommon(name, f);
  SuccessorMap map;
  int largest = 0;
  for (const std::string& r : f.records) {
    EXPECT_EQ(r.size(), 11u) << r;
    if (r.size() != 11u) continue;
    const std::string from = r.substr(0, 4);
    const std::string to = r.substr(4, 4);
    const std::string count = r.substr(8);
    EXPECT_TRUE(IsChordCode(from)) << r;
    EXPECT_TRUE(IsChordCode(to)) << r;
    EXPECT_TRUE(AllDigits(count)) << r;
    const int n = std::stoi(count);
    EXPECT_GT(n, 0) << r;
    EXPECT_EQ(map[from].count(to), 0u) << "twice: " << r;
    map[from][to] = n;
    if (n > largest) largest = n;
  }
  EXPECT_GE(largest, 8);
  const int scale = largest / 8;
  for (const auto& [from, successors] : map) {
    EXPECT_LE(successors.size(), 30u) << from;
    int strongest = 0;
    for (const auto& [to, n] : successors) {
      EXPECT_TRUE(map.count(to)) << from << " -> " << to << ": the successor has no records";
      if (1 + n / scale > strongest) strongest = 1 + n / scale;
    }
    // Even the simplest progression setting (threshold up to 5) moves on.
    EXPECT_GE(strongest, 5) << from;
  }
  for (const char* key : {"CMPS", "CMPs", "AmPs"})
    EXPECT_TRUE(map.count(key)) << "template key " << key << " has no records";
  return map;
}

std::set<std::string> Reachable(const SuccessorMap& map, const std::string& start) {
  std::set<std::string> seen = {start};
  std::vector<std::string> todo = {start};
  while (!todo.empty()) {
    const std::string c = todo.back();
    todo.pop_back();
    auto it = map.find(c);
    if (it == map.end()) continue;
    for (const auto& [to, n] : it->second)
      if (seen.insert(to).second) todo.push_back(to);
  }
  return seen;
}

std::vector<std::vector<int>> LintChart(const std::string& name, const std::set<int>& allowed,
                                        int bar) {
  SCOPED_TRACE(name);
  const DatabaseFile f = Load(name);
  CheckCommon(name, f);
  std::vector<std::vector<int>> charts;
  if (f.records.empty()) return charts;
  EXPECT_TRUE(AllDigits(f.records[0]));
  EXPECT_EQ(std::stoi(f.records[0]), static_cast<int>(f.records.size()) - 1);
  for (size_t i = 1; i < f.records.size(); ++i) {
    const std::string& r = f.records[i];
    EXPECT_TRUE(AllDigits(r)) << r;
    EXPECT_EQ(r.size() % 3, 0u) << r;
    EXPECT_LE(r.size() / 3, 255u) << r;
    std::vector<int> lengths;
    int total = 0;
    for (size_t k = 0; k + 3 <= r.size(); k += 3) {
      const int len = std::stoi(r.substr(k, 3));
      EXPECT_TRUE(allowed.count(len)) << r << ": length " << len;
      lengths.push_back(len);
      total += len;
    }
    EXPECT_EQ(total % bar, 0) << r << ": not whole bars";
    // Phrases of two-bar units (a cadence meets the two closing bars).
    EXPECT_EQ(total / bar % 2, 0) << r << ": an odd number of bars";
    charts.push_back(lengths);
  }
  return charts;
}

// A cadence leads home: its last chord is one that the pattern file lets
// move to a chord on the key's root (the closing chord follows it).
std::set<int> LintCadence(const std::string& name, const SuccessorMap& pattern, char key_root) {
  SCOPED_TRACE(name);
  const DatabaseFile f = Load(name);
  CheckCommon(name, f);
  std::set<int> counts;
  if (f.records.empty()) return counts;
  EXPECT_TRUE(AllDigits(f.records[0]));
  EXPECT_EQ(std::stoi(f.records[0]), static_cast<int>(f.records.size()) - 1);
  for (size_t i = 1; i < f.records.size(); ++i) {
    const std::string& r = f.records[i];
    EXPECT_EQ(r.size() % 4, 0u) << r;
    for (size_t k = 0; k + 4 <= r.size(); k += 4) {
      const std::string code = r.substr(k, 4);
      EXPECT_TRUE(IsChordCode(code)) << r;
      EXPECT_TRUE(pattern.count(code)) << r << ": " << code << " unknown to the pattern file";
    }
    if (r.size() >= 4) {
      const auto last = pattern.find(r.substr(r.size() - 4));
      bool home = false;
      if (last != pattern.end())
        for (const auto& [to, n] : last->second) home = home || to[0] == key_root;
      EXPECT_TRUE(home) << r << ": the last chord does not lead to " << key_root;
    }
    counts.insert(static_cast<int>(r.size() / 4));
  }
  return counts;
}

// The chords a song of a key may hold before the engine composes the next chord: every root in
// the five forms users write most (major, minor, seventh, minor seventh, diminished), and every
// chord of the key's chord palette for each scale type.
std::set<std::string> ChordsWrittenInKey(int key_index) {
  std::set<std::string> codes;
  static const char* kRoots[] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
  for (const char* root : kRoots) {
    for (const char* suffix : {"", "m", "7", "m7", "dim"}) {
      char name[16];
      std::snprintf(name, sizeof name, "%s%s", root, suffix);
      ChordNameToCode(name);
      codes.insert(std::string(name, 4));
    }
  }
  for (int scale : {0, 1, 2, 3, 12}) {
    for (int form : {3, 4}) {
      CDiatonicChord palette(scale, form, key_index);
      for (int i = 0; i < palette.count(); ++i) {
        char name[32] = {};
        std::snprintf(name, sizeof name, "%s", palette.chord(i)->GetName().c_str());
        if (std::strlen(name) < 4) std::strcat(name, "   ");
        ChordNameToCode(name);
        codes.insert(std::string(name, 4));
      }
    }
  }
  return codes;
}

// A chord written into the song without successor records would always be followed by the
// fallback chord; every chord of the file is reached from the template key or from a chord
// the song may hold.
void ExpectSuccessorsForWrittenChords(const std::string& name, const SuccessorMap& map,
                                      const std::string& key, int key_index) {
  const std::set<std::string> written = ChordsWrittenInKey(key_index);
  for (const std::string& code : written) {
    EXPECT_TRUE(map.count(code)) << name << ": " << code << " has no successor records";
  }
  std::set<std::string> reached = Reachable(map, key);
  for (const std::string& code : written) {
    const std::set<std::string> more = Reachable(map, code);
    reached.insert(more.begin(), more.end());
  }
  for (const auto& entry : map) EXPECT_TRUE(reached.count(entry.first)) << name << ": " << entry.first;
}

class DatabaseLintTest : public EngineTest {};

TEST_F(DatabaseLintTest, PatternFiles) {
  const SuccessorMap major = LintPattern("PATTERN.DB");
  const SuccessorMap minor = LintPattern("PATTERN.DB2");
  const SuccessorMap frame = LintPattern("PATTERN.DBB");
  // No chord is cut off from the key's own template chord.
  EXPECT_EQ(Reachable(frame, "CMPs").size(), frame.size());
  ExpectSuccessorsForWrittenChords("PATTERN.DB", major, "CMPS", 0);    // C major
  ExpectSuccessorsForWrittenChords("PATTERN.DB2", minor, "AmPs", 15);  // A minor
}

TEST_F(DatabaseLintTest, TimeChartsFollowTheirMetre) {
  const std::set<int> four = {96, 192, 384, 768};
  const std::set<int> three = {288, 576};
  const std::set<int> seven = {336};
  LintChart("TIMECHT.DB", four, 384);
  LintChart("TIMECHT.DB2", four, 384);
  LintChart("TIMECHT3.DB", three, 288);
  LintChart("TIMECHT7.DB", seven, 336);
}

TEST_F(DatabaseLintTest, CadencesFitEveryCadenceChart) {
  // Any cadence file may meet any cadence time chart (the style names the
  // one, key mode and metre choose the other), so every chord count a chart
  // asks for must be found in every cadence file.
  std::set<int> needed;
  const std::set<int> four = {96, 192, 384, 768};
  for (const auto& [name, allowed, bar] :
       std::vector<std::tuple<std::string, std::set<int>, int>>{
           {"RESTIME.DB", four, 384},
           {"RESTIME.DB2", four, 384},
           {"RESTIME3.DB", {288, 576}, 288},
           {"RESTIME7.DB", {336}, 336}}) {
    for (const auto& chart : LintChart(name, allowed, bar))
      needed.insert(static_cast<int>(chart.size()));
  }
  const std::tuple<const char*, const char*, char> files[] = {{"RESOLUT.DB", "PATTERN.DB", 'C'},
                                                            {"RESOLUT.DB2", "PATTERN.DB2", 'A'},
                                                            {"RESOLUT.DBB", "PATTERN.DBB", 'C'}};
  for (const auto& [cadence, pattern, key_root] : files) {
    const std::set<int> counts = LintCadence(cadence, LintPattern(pattern), key_root);
    for (int n : needed) EXPECT_TRUE(counts.count(n)) << cadence << " has no cadence of " << n;
  }
}

TEST_F(DatabaseLintTest, ShippedFilesLoad) {
  for (const char* pattern : {"PATTERN.DB", "PATTERN.DB2", "PATTERN.DBB"}) {
    SetStyleText(CurrentStyle().pattern_db, pattern);
    EXPECT_EQ(LoadPatternDatabases(), 1) << pattern;
  }
  for (int metre : {0, 1, 2}) {
    CurrentStyle().metre = metre;
    SelectMinorTimingDatabases();
    EXPECT_EQ(LoadPatternDatabases(), 1);
    SelectMajorTimingDatabases();
    EXPECT_EQ(LoadPatternDatabases(), 1);
  }
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_EQ(PatternCountScale(), 10);
}

}  // namespace
