// Chord names of two-quarter slots, the key and the tone-weight text.
#include "music/chord_analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis_util.h"
#include "music/tune_structure.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using analysis_test::N;
using analysis_test::SongOf;

// Channels: 0 accompaniment, 1 bass, 2 melody, 5 undecided (counted, not weighed).
struct Analysis {
  std::vector<std::string> names;
  uint8_t key[2] = {0xEE, 0xEE};
  char weights[kToneWeightTextBytes] = {};
  int32_t slot_length = 0;
};

int g_progress = 0;
int g_busy = 0;
int Progress() { return ++g_progress; }
int Busy() { return ++g_busy; }

Analysis Analyse(const std::vector<N>& notes, int32_t room = 64, int32_t division = 96) {
  auto song = SongOf(notes, division);
  TuneStructure ts;
  ts.part_type[0] = kPartAccompaniment;
  ts.part_type[1] = kPartBass;
  ts.part_type[2] = kPartMelody;
  ts.part_type[3] = kPartSecondMelody;
  std::vector<char> table(static_cast<size_t>(room) * kChordNameBytes, '\x7f');
  Analysis a;
  const int32_t n = AnalyseChords(*song, table.data(), room, a.key, 0, 1, a.weights, division, ts,
                                  Progress, Busy, &a.slot_length);
  for (int32_t i = 0; i < n; ++i) a.names.emplace_back(&table[static_cast<size_t>(i) * kChordNameBytes]);
  return a;
}

// A chord held through slot `slot` (192 ticks at division 96) on the channel.
void Hold(std::vector<N>& notes, int slot, int channel, std::initializer_list<int> pitches,
          int duration = 192) {
  for (int p : pitches) notes.push_back({slot * 192, channel, p, duration});
}

class ChordAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetChordAnalysisModule();
    g_progress = g_busy = 0;
  }
};

TEST_F(ChordAnalysisTest, NamesOfThePartsExamples) {
  struct Case {
    const char* what;
    std::vector<int> accompaniment;
    std::vector<int> bass;
    int weak_pitch;  // a pitch held only briefly (below the tension threshold); 0 none
    const char* name;
  };
  const std::vector<Case> cases = {
      {"C E G over C", {60, 64, 67}, {36}, 0, "C"},
      {"C E G over E", {60, 64, 67}, {40}, 0, "Em"},
      {"G B D E over C", {67, 71, 62, 64}, {36}, 0, "CM7(9)"},
      {"G B E over C, D short", {67, 71, 64}, {36}, 62, "CM7"},
      {"D# G A# over C", {63, 67, 70}, {36}, 0, "Cm7"},
      {"one accompaniment pitch only", {62}, {}, 0, "D"},
      {"A C E over A", {57, 60, 64}, {45}, 0, "Am"},
      {"C F G over C", {60, 65, 67}, {36}, 0, "Csus4"},
      {"G B D F over G", {67, 71, 62, 65}, {43}, 0, "G7"},
      {"B D F over B", {59, 62, 65}, {47}, 0, "Bdim"},
  };
  for (const Case& c : cases) {
    ResetChordAnalysisModule();
    std::vector<N> notes;
    for (int p : c.accompaniment) notes.push_back({0, 0, p, 192});
    for (int p : c.bass) notes.push_back({0, 1, p, 192});
    if (c.weak_pitch) notes.push_back({0, 0, c.weak_pitch, 40});
    const Analysis a = Analyse(notes);
    ASSERT_EQ(a.names.size(), 1u) << c.what;
    EXPECT_EQ(a.names[0], c.name) << c.what;
  }
}

TEST_F(ChordAnalysisTest, MelodyAloneNamesTheSlot) {
  std::vector<N> notes;
  Hold(notes, 0, 2, {60, 64, 67}, 60);
  EXPECT_EQ(Analyse(notes).names, std::vector<std::string>{"C"});

  // C and G alone: major when E is among the seven most frequent pitch classes.
  notes.clear();
  Hold(notes, 0, 2, {60, 67}, 60);
  Analysis a = Analyse(notes);
  EXPECT_EQ(a.names[0], "C");
  EXPECT_EQ(a.weights[4 + 4], '9');

  // Seven other pitch classes counted more often (on a channel that does not weigh).
  for (int p : {61, 62, 63, 65, 66, 68, 69})
    for (int k = 0; k < 2; ++k) notes.push_back({192 + k * 48, 5, p, 40});
  a = Analyse(notes);
  EXPECT_EQ(a.weights[4 + 4], '0');
  EXPECT_EQ(a.names[0], "Cm");
}

TEST_F(ChordAnalysisTest, DrumsOnlyGiveUnknownAndKeyC) {
  std::vector<N> notes;
  for (int i = 0; i < 16; ++i) notes.push_back({i * 48, 9, 36 + (i % 3) * 2 + 1, 20});
  const Analysis a = Analyse(notes);
  ASSERT_EQ(a.names.size(), 4u);
  for (const std::string& n : a.names) EXPECT_EQ(n, "UnKnown");
  EXPECT_EQ(a.key[0], 0);
  EXPECT_EQ(a.key[1], 0);
  EXPECT_STREQ(a.weights, "xxxx999999900000");
  EXPECT_EQ(a.slot_length, 192);
  EXPECT_EQ(g_busy, 2);
}

TEST_F(ChordAnalysisTest, KeyAndToneWeightsByFrequency) {
  std::vector<N> notes;
  // G most often, then D, B, A, E, F#, C.
  const int counts[][2] = {{67, 9}, {62, 8}, {71, 7}, {69, 6}, {64, 5}, {66, 4}, {60, 3}, {65, 1}};
  int t = 0;
  for (const auto& pc : counts)
    for (int k = 0; k < pc[1]; ++k) notes.push_back({(t++) * 24, 2, pc[0], 20});
  const Analysis a = Analyse(notes);
  EXPECT_EQ(a.key[0], 7);
  EXPECT_EQ(a.key[1], 0);
  EXPECT_STREQ(a.weights, "xxxx909090990909");
}

TEST_F(ChordAnalysisTest, HeldNoteWeighsInTwoSlotsOnly) {
  std::vector<N> notes;
  Hold(notes, 0, 0, {62}, 3 * 192);
  const Analysis a = Analyse(notes);
  EXPECT_EQ(a.names, (std::vector<std::string>{"D", "D", "UnKnown"}));
}

TEST_F(ChordAnalysisTest, SecondHalfKeepsThePreviousBass) {
  std::vector<N> notes;
  Hold(notes, 0, 0, {60, 64, 67});
  Hold(notes, 0, 1, {36});
  Hold(notes, 1, 0, {60, 64, 67});
  Hold(notes, 1, 1, {40});  // E, the third of the chord before: still C in the bar's second half
  Hold(notes, 2, 0, {60, 64, 67});
  Hold(notes, 2, 1, {40});  // a new bar: E is the bass
  EXPECT_EQ(Analyse(notes).names, (std::vector<std::string>{"C", "C", "Em"}));
}

TEST_F(ChordAnalysisTest, ProgressAfterEveryHundredSlots) {
  for (int slots : {99, 100, 250}) {
    g_progress = 0;
    std::vector<N> notes;
    for (int i = 0; i < slots; ++i) notes.push_back({i * 192, 0, 60, 192});
    EXPECT_EQ(Analyse(notes, 400).names.size(), static_cast<size_t>(slots));
    EXPECT_EQ(g_progress, slots / 100) << slots;
  }
}

TEST_F(ChordAnalysisTest, NamesStopAtTheSmallerTable) {
  std::vector<N> notes;
  for (int i = 0; i < 1900; ++i) notes.push_back({i * 192, 0, 60 + i % 12, 192});
  EXPECT_EQ(Analyse(notes, 100).names.size(), 100u);  // the caller's table, exactly sized
  const Analysis a = Analyse(notes, 6800);
  EXPECT_EQ(a.names.size(), static_cast<size_t>(kChordCountSlots));
  EXPECT_EQ(a.names[13], "C#");
}

TEST_F(ChordAnalysisTest, LongNamesDropTensionsFromTheRight) {
  ChordStructure s(0, 1, 192, "xxxx999999900000");
  s.root = 1;
  s.naming_bass = 1;
  s.third = 3;
  s.fifth = 6;
  s.seventh = 10;
  s.tension9 = 1;
  s.tension11 = 6;
  s.tension13 = 8;
  char name[kChordNameBytes + 4];
  std::memset(name, '#', sizeof name);
  s.FormatName(name);
  EXPECT_STREQ(name, "C#dim7(b9,#11)");
  EXPECT_EQ(name[kChordNameBytes], '#');
  s.root = 0;
  s.naming_bass = 0;
  s.FormatName(name);
  EXPECT_STREQ(name, "Cdim7(b9,#11,b13)");  // 17 characters fit
  s.root = -1;
  s.FormatName(name);
  EXPECT_STREQ(name, "UnKnown");
  // The two bass-letter names.
  s = ChordStructure(0, 1, 192, "xxxx999999900000");
  s.root = 7, s.naming_bass = 0, s.third = 4, s.fifth = 7, s.seventh = 9;
  s.FormatName(name);
  EXPECT_STREQ(name, "CM7");
  s.root = 3, s.seventh = 0;
  s.FormatName(name);
  EXPECT_STREQ(name, "Cm7");
  s.root = 5, s.third = 5;
  s.FormatName(name);
  EXPECT_STREQ(name, "Fsus4onC");
}

TEST_F(ChordAnalysisTest, TensionTables) {
  ChordStructure major(0, 1, 192, "xxxx999999900000");
  ChordStructure other(0, 0, 192, "xxxx999999900000");
  EXPECT_TRUE(major.IsTensionAvailable(7, 8));    // G: b9
  EXPECT_FALSE(other.IsTensionAvailable(7, 8));
  EXPECT_TRUE(other.IsTensionAvailable(4, 5));    // E: b9 in the other table
  EXPECT_FALSE(major.IsTensionAvailable(4, 5));
  EXPECT_TRUE(major.IsTensionAvailable(0, 9));    // C: 13
  EXPECT_FALSE(major.IsTensionAvailable(0, 4));   // a third is no tension
}

TEST_F(ChordAnalysisTest, NamesOfRandomSongsStayAsPinned) {
  // Up to twelve slots of random accompaniment, bass and melody notes, in both modes: the
  // names, count and key folded into a digest, so that the chord chooser may be rearranged
  // but not changed.
  cantrel_test::Digest d;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    ResetChordAnalysisModule();
    GneSeedRandomWith(seed);
    std::vector<N> notes;
    const int slots = GneRandomRange(1, 12);
    for (int s = 0; s < slots; ++s) {
      for (int channel : {0, 1, 2}) {
        for (int j = GneRandomRange(0, channel == 1 ? 2 : 5); j > 0; --j) {
          notes.push_back({s * 192 + GneRandomRange(0, 3) * 48, channel, GneRandomRange(36, 84),
                           GneRandomRange(1, 8) * 24});
        }
      }
    }
    if (notes.empty()) continue;
    auto song = SongOf(notes, 96);
    TuneStructure ts;
    ts.part_type[0] = kPartAccompaniment;
    ts.part_type[1] = kPartBass;
    ts.part_type[2] = kPartMelody;
    std::vector<char> table(64 * kChordNameBytes, 0);
    uint8_t key[2] = {};
    char weights[kToneWeightTextBytes] = {};
    int32_t slot_length = 0;
    const int major = GneRandomRange(0, 1);
    d.Int(AnalyseChords(*song, table.data(), 64, key, 0, major, weights, 96, ts, nullptr, nullptr,
                        &slot_length));
    d.Bytes(table.data(), table.size());
    d.Bytes(key, 2);
  }
  EXPECT_EQ(d.value, 0x1ed1f27f4ff5cb4aull);
}

TEST(KeyName, TonicsInMajorAndTheFallback) {
  const char* names[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
  char out[8];
  for (uint8_t pc = 0; pc < 12; ++pc) {
    const uint8_t pair[2] = {pc, 0};
    GetKeyName(pair, out);
    EXPECT_STREQ(out, names[pc]);
    const uint8_t minor[2] = {pc, 1};  // the first row of every tonic is a major key
    GetKeyName(minor, out);
    EXPECT_STREQ(out, "C");
  }
  const uint8_t none[2] = {12, 0};
  GetKeyName(none, out);
  EXPECT_STREQ(out, "C");
}

}  // namespace
