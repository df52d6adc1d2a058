#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "song/chord_forms.h"
#include "tests/support/test_support.h"

namespace {

// The chord tones of each quality mark, above the root.
const std::map<std::string, std::set<int>>& Qualities() {
  static const std::map<std::string, std::set<int>> q = {
      {"△", {0, 4, 7}},      {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},
      {"m7", {0, 3, 7, 10}},  {"△7", {0, 4, 7, 11}},  {"6", {0, 4, 7, 9}},
      {"m6", {0, 3, 7, 9}},   {"sus4", {0, 5, 7}},     {"7sus4", {0, 5, 7, 10}},
      {"dim", {0, 3, 6}},     {"aug", {0, 4, 8}},      {"add9", {0, 2, 4, 7}},
      {"m7-5", {0, 3, 6, 10}}, {"9", {0, 2, 4, 7, 10}}, {"mM7", {0, 3, 7, 11}},
      {"dim7", {0, 3, 6, 9}},
  };
  return q;
}

const char* const kSharp[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const char* const kFlat[] = {"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};

// Root pitch class and quality mark of a form name; checks the flat half too.
bool ParseName(const std::string& name, int* root, std::string* mark) {
  const size_t slash = name.find('/');
  const std::string sharp_part = name.substr(0, slash);
  for (int pc = 11; pc >= 0; --pc) {  // two-letter roots first
    const std::string r = kSharp[pc];
    if (sharp_part.compare(0, r.size(), r) != 0) continue;
    if (r.size() == 1 && sharp_part.size() > 1 && sharp_part[1] == '#') continue;
    *root = pc;
    *mark = sharp_part.substr(r.size());
    const bool black = r.size() == 2;
    if (black != (slash != std::string::npos)) return false;
    if (black && name.substr(slash + 1) != std::string(kFlat[pc]) + *mark) return false;
    return Qualities().count(*mark) == 1;
  }
  return false;
}

void ExpectChordTones(const std::vector<ChordFormRecord>& forms, const int* strings,
                      int string_count, const char* what) {
  for (const ChordFormRecord& f : forms) {
    int root = -1;
    std::string mark;
    ASSERT_TRUE(ParseName(f.name, &root, &mark)) << what << " " << f.name;
    const std::set<int>& tones = Qualities().at(mark);
    bool has_root = false;
    int played = 0;
    for (int s = 0; s < string_count; ++s) {
      if (f.frets[s] < 0) continue;
      ++played;
      EXPECT_LE(f.frets[s], 15) << what << " " << f.name;
      const int interval = ((strings[s] + f.frets[s]) % 12 - root + 12) % 12;
      EXPECT_EQ(tones.count(interval), 1u) << what << " " << f.name << " string " << s;
      has_root = has_root || interval == 0;
    }
    EXPECT_GE(played, 3) << what << " " << f.name;
    EXPECT_TRUE(has_root) << what << " " << f.name;
  }
}

std::vector<ChordFormRecord> Records(std::initializer_list<const char*> names) {
  std::vector<ChordFormRecord> out;
  for (const char* n : names) {
    ChordFormRecord r;
    r.name = n;
    r.frets[0] = 1;
    r.frets[3] = 4;
    out.push_back(r);
  }
  return out;
}

class ChordForms : public ::testing::Test {
 protected:
  void SetUp() override { FreeFourStringFormTables(); }
  void TearDown() override { FreeFourStringFormTables(); }
};

TEST_F(ChordForms, RaisingRespellsRootsAndKeepsFrets) {
  const auto source = Records({"B7", "A#m/Bbm", "Fm", "C△", "C#△/Db△", "E7", "G#dim/Abdim",
                               "Dm7-5", "Asus4", "Bm6"});
  const char* const want[] = {"C7", "Bm", "F#m/Gbm", "C#△/Db△", "D△", "F7", "Adim",
                              "D#m7-5/Ebm7-5", "A#sus4/Bbsus4", "Cm6"};
  std::vector<ChordFormRecord> out(source.size());
  TransposeFormTable(static_cast<int>(source.size()), out.data(), source.data());
  for (size_t i = 0; i < source.size(); ++i) {
    EXPECT_EQ(out[i].name, want[i]) << source[i].name;
    EXPECT_EQ(out[i].frets[0], 1);
    EXPECT_EQ(out[i].frets[3], 4);
    EXPECT_EQ(out[i].frets[5], -1);
  }
  EXPECT_TRUE(cantrel_test::Sink().Count() == 0);
}

TEST_F(ChordForms, ANameWithoutNoteLetterShowsTheBoxAndKeepsItsName) {
  auto source = Records({"△7", "m"});
  std::vector<ChordFormRecord> out(2);
  TransposeFormTable(2, out.data(), source.data());
  EXPECT_EQ(out[0].name, "△7");
  EXPECT_EQ(out[1].name, "m");
  ASSERT_EQ(cantrel_test::Sink().Count(), 2u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "error");
}

TEST_F(ChordForms, TwelveRaisesComeBackToEveryName) {
  std::vector<ChordFormRecord> t(kStandardFormCount);
  for (int i = 0; i < kStandardFormCount; ++i) {
    t[i].name = kStandardFourStringForms[i].name;
  }
  std::vector<ChordFormRecord> u = t;
  for (int k = 0; k < 12; ++k) TransposeFormTable(kStandardFormCount, u.data(), u.data());
  for (int i = 0; i < kStandardFormCount; ++i) EXPECT_EQ(u[i].name, t[i].name);
}

TEST_F(ChordForms, DataTablesHaveTheirSizesAndDerivedTablesWaitForTheBuild) {
  EXPECT_EQ(FourStringFormTable(FourStringForms::kStandard).size(), 545u);
  EXPECT_EQ(FourStringFormTable(FourStringForms::kDada).size(), 490u);
  EXPECT_TRUE(FourStringFormTable(FourStringForms::kGuitar).empty());
  EXPECT_TRUE(FourStringFormTable(FourStringForms::kStandardUp2).empty());
  EXPECT_TRUE(FourStringFormTable(FourStringForms::kDadaUp5).empty());
  BuildFourStringFormTables();
  BuildFourStringFormTables();
  EXPECT_EQ(FourStringFormTable(FourStringForms::kStandardUp2).size(), 545u);
  EXPECT_EQ(FourStringFormTable(FourStringForms::kDadaUp5).size(), 490u);
  size_t all_four = 0;
  for (const ChordFormData& g : GuitarChordFormTable)
    if (g.frets[2] >= 0 && g.frets[3] >= 0 && g.frets[4] >= 0 && g.frets[5] >= 0) ++all_four;
  EXPECT_EQ(FourStringFormTable(FourStringForms::kGuitar).size(), all_four);
  EXPECT_GT(all_four, 500u);
  EXPECT_LT(all_four, 961u);  // some guitar forms leave an inner or top string out
  FreeFourStringFormTables();
  EXPECT_TRUE(FourStringFormTable(FourStringForms::kGuitar).empty());
  // The panel's lookup builds them itself.
  EXPECT_EQ(FourStringFormsOf(5).size(), 490u);
  EXPECT_TRUE(FourStringFormsOf(6).empty());
  EXPECT_TRUE(FourStringFormsOf(-1).empty());
}

TEST_F(ChordForms, AGuitarFormWithAMutedHighStringIsNoFourStringForm) {
  const ChordFormData forms[] = {
      {"C△", {-1, 3, 2, 0, 1, 0}},
      {"C△", {-1, 3, -1, 0, 1, 0}},  // muted third string
      {"C7", {-1, 3, 2, -1, 1, 0}},  // muted fourth string
      {"C△", {8, 10, 10, 9, 8, -1}},
  };
  const auto four = FourStringFormsFromGuitar(forms, 4);
  ASSERT_EQ(four.size(), 1u);
  EXPECT_EQ(four[0].name, "C△");
  const int want[] = {2, 0, 1, 0, -1, -1};
  for (int s = 0; s < 6; ++s) EXPECT_EQ(four[0].frets[s], want[s]);
}

TEST_F(ChordForms, EveryFormSoundsOnlyChordTonesWithTheRootAmongThem) {
  const int guitar[] = {40, 45, 50, 55, 59, 64};
  std::vector<ChordFormRecord> six;
  for (const ChordFormData& g : GuitarChordFormTable) {
    ChordFormRecord r;
    r.name = g.name;
    for (int s = 0; s < 6; ++s) r.frets[s] = g.frets[s];
    six.push_back(r);
  }
  ExpectChordTones(six, guitar, 6, "guitar");
  for (int t = 0; t < kFourStringTuningCount; ++t) {
    const auto& forms = FourStringFormsOf(t);
    EXPECT_FALSE(forms.empty()) << t;
    ExpectChordTones(forms, FourStringTuningTable[t].strings, 4, FourStringTuningTable[t].name);
    for (const ChordFormRecord& f : forms) EXPECT_EQ(f.frets[4], -1) << f.name;
  }
}

TEST_F(ChordForms, EachTableCoversEveryRootAndHasNoRepeatedForm) {
  for (int t = 0; t < kFourStringTuningCount; ++t) {
    std::set<std::pair<std::string, std::vector<int>>> seen;
    std::set<int> roots;
    for (const ChordFormRecord& f : FourStringFormsOf(t)) {
      int root = -1;
      std::string mark;
      ParseName(f.name, &root, &mark);
      roots.insert(root);
      EXPECT_TRUE(seen.insert({f.name, {f.frets, f.frets + 4}}).second)
          << FourStringTuningTable[t].name << " " << f.name;
    }
    EXPECT_EQ(roots.size(), 12u) << FourStringTuningTable[t].name;
  }
}

}  // namespace
