// The custom grid accompaniment: steps, ties, strums, the bar modes, and a
// stored grid that is garbage.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "accomp/accomp_fuzz.h"
#include "accomp/custom_grid.h"
#include "style/style_table.h"
#include "tests/accomp/patterns/pattern_fixture.h"
#include "tests/support/test_support.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class CustomGridTest : public PatternTest {
 protected:
  void SetUp() override {
    PatternTest::SetUp();
    StyleRecord& s = CurrentStyle();
    s.accompaniment = kCustomGridAccompaniment;  // thirds right above their roots
    std::memset(&s.custom_grids, 0, sizeof s.custom_grids);
    for (int p = 0; p < kGridPartCount; ++p) s.use_x[p] = s.continue_major[p] = s.stroke[p] = 0;
    // Voices 0, 1, 2: the root, third and fifth of the middle octave; voice
    // 3 the seventh.
    Degrees({7, 9, 11, 13});
  }

  static CustomGrid& Grid(int bar, int part = kGridHarmony) {
    return CurrentStyle().custom_grids[bar].grid[part];
  }
  static void Degrees(std::initializer_list<int> degrees) {
    int v = 0;
    for (int d : degrees) Grid(0).pn_interval[v++] = d;
  }
  static void Mark(int voice, std::initializer_list<int> columns, int bar = 0,
                   int part = kGridHarmony) {
    for (int c : columns) Grid(bar, part).NoteTable[voice][c] = 1;
  }
  static void Tie(std::initializer_list<int> columns, int bar = 0) {
    for (int c : columns) Grid(bar).pn_continuem[c] = 1;
  }
  static std::vector<NoteRow> Play(int channel = kChannel) {
    PartTrack t;
    GenerateCustomGridPattern(channel, t);
    return Rows(t);
  }
  static std::vector<NoteRow> Notes(const std::vector<NoteRow>& rows) {
    std::vector<NoteRow> out;
    for (const NoteRow& r : rows)
      if (std::get<3>(r) > 0) out.push_back(r);
    return out;
  }
  // (onset, pitch, length) of the sounding notes.
  static std::vector<std::tuple<int64_t, int, int>> Struck(const std::vector<NoteRow>& rows) {
    std::vector<std::tuple<int64_t, int, int>> out;
    for (const NoteRow& r : Notes(rows)) out.emplace_back(std::get<0>(r), std::get<2>(r), std::get<4>(r));
    return out;
  }
  // The time the part's events cover: the last event's tick plus its length.
  static int64_t End(const std::vector<NoteRow>& rows) {
    int64_t end = 0;
    for (const NoteRow& r : rows) end = std::max<int64_t>(end, std::get<0>(r) + std::get<4>(r));
    return end;
  }
  static void Sections(const std::vector<std::pair<int, const char*>>& blocks) {
    std::vector<BlockSpec> specs;
    for (const auto& b : blocks) specs.push_back({"CMPs", b.first});
    SetBlocks(specs);
    std::vector<const char*> tags;
    for (const auto& b : blocks) tags.push_back(b.second);
    SetSections(tags);
  }
};

using Struck3 = std::vector<std::tuple<int64_t, int, int>>;

TEST_F(CustomGridTest, EmptyGridRestsEveryStepAndKeepsTime) {
  SetBlocks({{"CMPs", 384}, {"FMPs", 200}, {"GMPs", 192}});
  const auto rows = Play();
  EXPECT_TRUE(Notes(rows).empty());
  // 16 + 8 + 8 steps; the 200-tick chord's odd 8 ticks are the walker's.
  std::vector<int64_t> onsets;
  for (const NoteRow& r : rows) onsets.push_back(std::get<0>(r));
  ASSERT_EQ(onsets.size(), 32u);
  EXPECT_EQ(onsets[16], 384);
  EXPECT_EQ(onsets[24], 584);
  EXPECT_EQ(onsets.back(), 584 + 7 * 24);
}

TEST_F(CustomGridTest, StepsTiesAndStrums) {
  struct Case {
    const char* name;
    void (*draw)();
    int stroke;
    Struck3 first_bar;
  };
  const Case cases[] = {
      {"quarters", [] { Mark(0, {0, 4, 8, 12}); }, 0,
       {{0, 60, 15}, {96, 60, 15}, {192, 60, 15}, {288, 60, 15}}},
      {"tied pair", [] { Mark(0, {0, 1, 4}); Tie({1}); }, 0, {{0, 60, 30}, {96, 60, 15}}},
      // A run strikes the voices of its last column.
      {"tie takes the last column", [] { Mark(0, {0}); Mark(1, {1}); Tie({1}); }, 0, {{0, 64, 30}}},
      {"chord", [] { Mark(0, {2}); Mark(1, {2}); Mark(2, {2}); }, 0,
       {{48, 60, 15}, {48, 64, 15}, {48, 67, 15}}},
      {"strum", [] { Mark(0, {2, 3}); Mark(1, {2, 3}); Mark(2, {2, 3}); Tie({3}); }, 1,
       {{48, 60, 30}, {50, 64, 28}, {52, 67, 26}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    SetBlocks({{"CMPs", 384}, {"CMPs", 384}});
    c.draw();
    CurrentStyle().stroke[kGridHarmony] = c.stroke;
    const auto rows = Play();
    Struck3 first, second;
    for (const auto& n : Struck(rows)) {
      if (std::get<0>(n) < 384) {
        first.push_back(n);
      } else {
        second.emplace_back(std::get<0>(n) - 384, std::get<1>(n), std::get<2>(n));
      }
    }
    EXPECT_EQ(first, c.first_bar);
    EXPECT_EQ(second, c.first_bar) << "the next bar repeats";
  }
}

// A tie into the next chord ends the run with its chord; the next strikes.
TEST_F(CustomGridTest, TieRunEndsWithItsChord) {
  SetBlocks({{"CMPs", 192}, {"FMPs", 192}});
  Mark(0, {7, 8});
  Tie({8});
  CurrentStyle().continue_major[kGridHarmony] = 1;
  EXPECT_EQ(Struck(Play()), (Struck3{{168, 60, 15}, {192, 65, 15}}));
}

TEST_F(CustomGridTest, StepCounterRunsOnOnlyWhenAsked) {
  struct Case {
    int runs_on;
    std::vector<BlockSpec> blocks;
    Struck3 notes;
  };
  const Case cases[] = {
      // Half-bar chords each start at column 0: columns 8..15 never play.
      {0, {{"CMPs", 192}, {"CMPs", 192}}, {{0, 60, 15}, {96, 64, 15}, {192, 60, 15}, {288, 64, 15}}},
      {1, {{"CMPs", 192}, {"CMPs", 192}}, {{0, 60, 15}, {96, 64, 15}, {192, 67, 15}, {288, 67, 15}}},
      // A chord shorter than a step leaves the counter where it was.
      {1, {{"CMPs", 192}, {"CMPs", 20}, {"CMPs", 192}},
       {{0, 60, 15}, {96, 64, 15}, {212, 67, 15}, {308, 67, 15}}},
  };
  for (const Case& c : cases) {
    SetUp();
    Mark(0, {0});
    Mark(1, {4});
    Mark(2, {8, 12});
    CurrentStyle().continue_major[kGridHarmony] = c.runs_on;
    SetBlocks(c.blocks);
    EXPECT_EQ(Struck(Play()), c.notes) << c.runs_on << " " << c.blocks.size();
  }
}

TEST_F(CustomGridTest, BarModes) {
  // The first bar strikes the root on its first step, the second the third.
  struct Case {
    const char* name;
    int metre;
    int mode;
    int channel;
    std::vector<std::pair<int, const char*>> blocks;
    std::vector<int> pitches;  // of each block's first step
  };
  const Case cases[] = {
      {"one bar", 0, 0, kChannel, {{384, "AXXX"}, {384, "BXXX"}}, {60, 60}},
      {"two bars", 0, 1, kChannel, {{384, "AXXX"}, {384, "AXXX"}, {384, "AXXX"}}, {60, 64, 60}},
      {"by section", 0, 2, kChannel,
       {{384, "AXXX"}, {384, "AXXX"}, {384, "BXXX"}, {384, "BXXX"}, {384, "AXXX"}},
       {60, 60, 64, 64, 60}},
      {"sub-harmony stays on one bar", 0, 2, 7, {{384, "AXXX"}, {384, "BXXX"}}, {60, 60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    SetMetre(c.metre);
    for (int part : {kGridHarmony, kGridSubHarmony}) {
      Mark(0, {0}, 0, part);
      Mark(1, {0}, 1, part);
      CurrentStyle().use_x[part] = c.mode;
      CurrentStyle().continue_major[part] = 1;
    }
    Sections(c.blocks);
    const auto notes = Struck(Play(c.channel));
    std::vector<int> firsts;
    for (const auto& n : notes) firsts.push_back(std::get<1>(n));
    EXPECT_EQ(firsts, c.pitches);
  }
}

// 3/4 in two bars: the strip is the first bar's 16 columns and the second's
// first 8, 24 columns over two 288-tick bars.
TEST_F(CustomGridTest, TwoBarStripIn34) {
  SetMetre(1);
  CurrentStyle().use_x[kGridHarmony] = 1;
  CurrentStyle().continue_major[kGridHarmony] = 1;
  Mark(0, {12, 15});
  Mark(1, {0, 7, 8}, 1);
  SetBlocks({{"CMPs", 288}, {"CMPs", 288}, {"CMPs", 288}});
  EXPECT_EQ(Struck(Play()), (Struck3{{288, 60, 15}, {360, 60, 15}, {384, 64, 15}, {552, 64, 15}}));
}

TEST_F(CustomGridTest, MetresAndModesThatDoNotFit) {
  Mark(0, {0, 1});
  SetBlocks({{"CMPs", 384}});
  CurrentStyle().metre = 5;  // no metre we know: 2 steps per bar
  EXPECT_EQ(Struck(Play()).size(), 16u);
  EXPECT_EQ(ErrorCount(kGridMetreError), 1);

  SetMetre(2);
  SetGrid(true);
  SetBlocks({{"CMPs", 336}});
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    CurrentStyle().use_x[kGridHarmony] = mode;
    const int before = ErrorCount(kGridMetreError);
    Play();
    EXPECT_EQ(ErrorCount(kGridMetreError) - before, mode == 2 ? 1 : 0);
  }
  CurrentStyle().use_x[kGridHarmony] = 3;
  EXPECT_TRUE(Play().empty());
}

// In triplets a chord that is no whole number of beats plays its length / 32
// steps, and the next chord still starts on time.
TEST_F(CustomGridTest, TripletStepsOnChordsOfAnyLength) {
  SetGrid(true);
  Mark(0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  SetBlocks({{"CMPs", 144}, {"FMPs", 384}});
  const auto notes = Struck(Play());
  ASSERT_EQ(notes.size(), 16u);
  EXPECT_EQ(std::get<0>(notes[3]), 96);
  EXPECT_EQ(std::get<2>(notes[3]), 23);
  EXPECT_EQ(std::get<0>(notes[4]), 144);
  EXPECT_EQ(std::get<1>(notes[4]), 65);
}

// A voice made from a tone the chord lacks rests; its time passes.
TEST_F(CustomGridTest, VoicesOfMissingTonesRest) {
  Mark(3, {0, 4});
  Mark(0, {8});
  SetBlocks({{"CMPs", 384}});
  Block(0).seventh = 0;
  EXPECT_EQ(Struck(Play()), (Struck3{{192, 60, 15}}));
}

// Stored grids come from song files: any cell, degree, tie and flag value
// plays to the end on time with valid MIDI values.
TEST_F(CustomGridTest, MutatedGridsKeepTime) {
  const int32_t odd[] = {0, 1, 2, -1, 7, 13, 20, 27, 99, 1000, -1000, 0x7FFFFFFF,
                         static_cast<int32_t>(0x80000000)};
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    SetUp();
    GneSeedRandomWith(seed);
    StyleRecord& s = CurrentStyle();
    auto* words = reinterpret_cast<int32_t*>(&s.custom_grids);
    const int count = static_cast<int>(kGridSetCount * sizeof(CustomGridSet) / sizeof(int32_t));
    for (int k = 0; k < 400; ++k) {
      const int32_t value = GneRandomRange(1, 3) == 1 ? odd[GneRandomRange(0, 12)] : 1;
      words[GneRandomRange(0, count - 1)] = value;
    }
    for (int p = 0; p < kGridPartCount; ++p) {
      s.use_x[p] = odd[GneRandomRange(0, 12)];
      s.continue_major[p] = odd[GneRandomRange(0, 3)];
      s.stroke[p] = odd[GneRandomRange(0, 3)];
    }
    SetMetre(GneRandomRange(0, 2));
    SetGrid(GneRandomRange(0, 1) == 1);
    SetBlocks({{"CMPs", 384}, {"NMPo", 200}, {"AmPo", 144}, {"GMPs", 768}});
    for (int channel : {kChannel, 7}) {
      const auto rows = Play(channel);
      if (rows.empty()) continue;
      EXPECT_LE(End(rows), 384 + 200 + 144 + 768);
      EXPECT_GE(std::get<0>(rows.back()), 384 + 200 + 144);
      for (const NoteRow& r : rows) {
        EXPECT_GE(std::get<2>(r), 0);
        EXPECT_LE(std::get<2>(r), 127);
        EXPECT_LE(std::get<3>(r), 127);
        EXPECT_GE(std::get<4>(r), 0);
      }
    }
  }
}

// The fuzz entry of the stored grids as a seeded mutation test: patches of
// cells, degrees, ties and flags (any value, odd ones often) over a grid that
// plays, and over an empty one; every input ends and keeps time with valid
// MIDI values.
TEST_F(CustomGridTest, SeededMutations) {
  const auto patch = [](std::vector<uint8_t>& data, int index, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (uint8_t b : {uint8_t(index), uint8_t(index >> 8), uint8_t(v), uint8_t(v >> 8),
                      uint8_t(v >> 16), uint8_t(v >> 24)})
      data.push_back(b);
  };
  // A grid that plays: voices 0-3 on degrees 7, 9, 11, 13, each struck on
  // steps 0, 4, 8 and 12, in every bar set, for both parts.
  constexpr int kGridWords = sizeof(CustomGrid) / sizeof(int32_t);
  std::vector<uint8_t> playing = {0, 0};
  for (int set = 0; set < kGridSetCount; ++set) {
    for (int part : {kGridHarmony, kGridSubHarmony}) {
      const int base = (set * kGridPartCount + part) * kGridWords;
      for (int v = 0; v < 4; ++v) {
        patch(playing, base + kGridRows * kGridSteps + v, 7 + 2 * v);
        for (int step : {0, 4, 8, 12}) patch(playing, base + v * kGridSteps + step, 1);
      }
    }
  }
  EXPECT_GT(FuzzCustomGridBytes(playing.data(), playing.size()), 0);
  const std::vector<std::vector<uint8_t>> seeds = {playing, {1, 1}, {2, 0}};
  const int32_t odd[] = {0, 1, 2, -1, 7, 13, 20, 27, 99, 1000, -1000, 0x7FFFFFFF,
                         static_cast<int32_t>(0x80000000)};
  GneSeedRandomWith(20261211);
  const int64_t rounds = cantrel_test::FuzzInputs(300);
  for (int64_t round = 0; round < rounds; ++round) {
    std::vector<uint8_t> data = seeds[static_cast<size_t>(GneRandomRange(0, 2))];
    const int steps = GneRandomRange(1, 40);
    for (int i = 0; i < steps; ++i) {
      if (GneRandomRange(0, 3) == 0 && !data.empty()) {
        data[static_cast<size_t>(GneRandomRange(0, 32767)) % data.size()] =
            static_cast<uint8_t>(GneRandomRange(0, 255));
      } else {
        patch(data, GneRandomRange(0, 32767), GneRandomRange(0, 2) == 0
                                                  ? odd[GneRandomRange(0, 12)]
                                                  : GneRandomRange(-2, 2));
      }
    }
    SetUp();
    const uint32_t state = GneGetRandomState();
    ASSERT_GE(FuzzCustomGridBytes(data.data(), data.size()), 0) << "round " << round;
    GneSetRandomState(state);
  }
}

}  // namespace
}  // namespace pattern_test
