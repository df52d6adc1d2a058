// The long riff and the custom grid of the bass.
#include <climits>
#include <cstring>
#include <vector>

#include "engine/bass_generators.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "style/style_table.h"
#include "tests/engine/parts/bass_fixture.h"
#include "util/gne.h"

namespace {

using namespace bass_test;

constexpr ProgramErrorCode kRiffError = 0xFF0101CFu;

struct Segment {
  int length, a, b;
};

std::vector<Segment> Segments(const int32_t* figure) {
  std::vector<Segment> out;
  for (int i = 0; i < 32 && figure[3 * i] != 0; ++i)
    out.push_back({figure[3 * i], figure[3 * i + 1], figure[3 * i + 2]});
  return out;
}

// Stores a figure in the style and lets the harmony play it as the fixed riff.
void StoreFigure(const std::vector<Segment>& segments) {
  StyleRecord& s = CurrentStyle();
  std::memset(s.riff, 0, sizeof s.riff);
  for (size_t i = 0; i < segments.size(); ++i) {
    s.riff[3 * i] = static_cast<uint8_t>(segments[i].length);
    s.riff[3 * i + 1] = static_cast<uint8_t>(segments[i].a);
    s.riff[3 * i + 2] = static_cast<uint8_t>(segments[i].b);
  }
  s.accompaniment = 41;
}

std::vector<std::pair<int64_t, int>> Onsets(const std::vector<Played>& played, int64_t from,
                                            int64_t to) {
  std::vector<std::pair<int64_t, int>> out;
  for (const Played& p : played)
    if (p.tick >= from && p.tick < to && p.sounding()) out.emplace_back(p.tick - from, p.pitch);
  return out;
}

class BassRiffTest : public BassTest {};

TEST_F(BassRiffTest, RandomFiguresFillTwoBars) {
  struct Case {
    Metre metre;
    bool triplet;
    int steps;
  } cases[] = {{Metre::k44, false, 32}, {Metre::k34, false, 24}, {Metre::k78, false, 28},
               {Metre::k44, true, 24},  {Metre::k34, true, 18},  {Metre::k78, true, 21}};
  for (const Case& c : cases) {
    SetMetre(c.metre, c.triplet);
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      GneSeedRandomWith(seed);
      int32_t figure[kBassRiffCells];
      std::memset(figure, 0x55, sizeof figure);
      MakeRandomBassRiff(figure);
      const std::vector<Segment> segments = Segments(figure);
      ASSERT_LE(segments.size(), 32u);
      if (segments.size() < 32) ASSERT_EQ(figure[3 * segments.size()], 0);
      int sum = 0;
      for (const Segment& s : segments) {
        EXPECT_GE(s.length, 1);
        sum += s.length;
        EXPECT_GE(s.a, -1);
        EXPECT_LE(s.a, 11);
        EXPECT_TRUE(s.b == -1 || s.b == s.a - 3) << s.a << " " << s.b;
      }
      EXPECT_GE(sum, c.steps) << MetreName(c.metre) << " seed " << seed;
      EXPECT_LE(sum, 32);
    }
  }
}

TEST_F(BassRiffTest, FreshFigureIsLeftInTheStyleUnlessTheHarmonyPlaysTheFixedRiff) {
  SetBlocks({{384, "CMPo"}, {384, "FMPo"}, {384, "CMPo"}});
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    GneSeedRandomWith(seed);
    const uint32_t state = GneGetRandomState();
    Play(19);
    int32_t expected[kBassRiffCells] = {};
    GneSetRandomState(state);
    MakeRandomBassRiff(expected);
    for (int i = 0; i < 96; ++i)
      ASSERT_EQ(static_cast<int8_t>(CurrentStyle().riff[i]), expected[i]) << i;
  }
  StoreFigure({{4, 4, 1}, {4, 6, -1}, {8, 8, 5}});
  uint8_t stored[96];
  std::memcpy(stored, CurrentStyle().riff, 96);
  const std::vector<Played> played = Play(19);
  EXPECT_EQ(std::memcmp(stored, CurrentStyle().riff, 96), 0);
  // On C: the root with the fifth below it, the third, the fifth with the second above it.
  const std::vector<std::pair<int64_t, int>> bar = Onsets(played, 0, 384);
  const int t = ComposeInfo().chord_block(0)->third - 24;
  EXPECT_EQ(bar, (std::vector<std::pair<int64_t, int>>{{0, 36}, {0, 31}, {96, t}, {192, 43},
                                                       {192, 38}}));
}

TEST_F(BassRiffTest, TwoBarBlocksRestartTheFigureShorterOnesRunOn) {
  // Five segments of four steps: a bar ends after the fourth.
  StoreFigure({{4, 4, -1}, {4, 9, -1}, {4, 8, -1}, {4, 11, -1}, {4, 5, -1}});
  SetBlocks({{768, "CMPo"}, {768, "CMPo"}, {384, "CMPo"}});
  const std::vector<Played> whole = Play(19);
  EXPECT_EQ(Onsets(whole, 0, 768), Onsets(whole, 768, 1536));
  // Bars of 16 steps play on through the figure as one long block does.
  SetBlocks({{384, "CMPo"}, {384, "CMPo"}, {384, "CMPo"}});
  const std::vector<Played> bars = Play(19);
  std::vector<std::pair<int64_t, int>> joined = Onsets(bars, 0, 768);
  EXPECT_EQ(joined, Onsets(whole, 0, 768));
}

TEST_F(BassRiffTest, ASegmentIsCutAtTheBlocksEndAndTheNextBlockTakesTheNextOne) {
  StoreFigure({{8, 4, -1}, {8, 6, -1}, {2, 8, -1}, {2, 11, -1}});
  SetBlocks({{288, "CMPo"}, {288, "CMPo"}, {288, "CMPo"}});  // 12 steps a block
  const std::vector<Played> played = Play(19);
  const int t = ComposeInfo().chord_block(0)->third - 24;
  ASSERT_EQ(Onsets(played, 0, 288), (std::vector<std::pair<int64_t, int>>{{0, 36}, {192, t}}));
  for (const Played& p : played)
    if (p.tick == 192 && p.sounding()) EXPECT_EQ(p.length, 94);  // 4 steps kept, less 2
  EXPECT_EQ(Onsets(played, 288, 576),
            (std::vector<std::pair<int64_t, int>>{{0, 43}, {48, 48}, {96, 36}}));
}

TEST_F(BassRiffTest, LastBlockPlaysTheBassOrReportsABlockShorterThanAStep) {
  SetBlocks({{384, "CMPo"}, {384, "GMPo"}});
  const std::vector<Played> played = Play(19);
  ASSERT_FALSE(played.empty());
  EXPECT_EQ(played.back().tick, 384);
  EXPECT_EQ(played.back().pitch, 43);
  EXPECT_EQ(played.back().length, 382);
  EXPECT_GE(played.back().velocity, 74);
  EXPECT_LE(played.back().velocity, 84);
  EXPECT_EQ(ErrorCount(kRiffError), 0);
  SetBlocks({{384, "CMPo"}, {20, "GMPo"}});
  for (const Played& p : Play(19)) EXPECT_LT(p.tick, 384);
  EXPECT_EQ(ErrorCount(kRiffError), 1);
}

TEST_F(BassRiffTest, AnEmptyOrBrokenStoredFigureRestsUntilTheLastChord) {
  for (int first_length : {0, -4, -128}) {
    StoreFigure({});
    CurrentStyle().riff[0] = static_cast<uint8_t>(first_length);
    CurrentStyle().riff[1] = 4;
    SetBlocks({{384, "CMPo"}, {384, "FMPo"}, {384, "GMPo"}});
    const std::vector<Played> sounding = PlaySounding(19);
    ASSERT_EQ(sounding.size(), 1u) << first_length;
    EXPECT_EQ(sounding[0].tick, 768);
    EXPECT_EQ(sounding[0].pitch, 43);
  }
  // A negative length further on ends the figure there.
  StoreFigure({{4, 4, -1}, {-2, 6, -1}, {4, 8, -1}});
  SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
  EXPECT_EQ(Onsets(Play(19), 0, 384),
            (std::vector<std::pair<int64_t, int>>{{0, 36}, {96, 36}, {192, 36}, {288, 36}}));
}

TEST_F(BassRiffTest, AScaleWithoutTonesKeepsThePitch) {
  StyleRecord& s = CurrentStyle();
  s.scale = kCustomScaleCode;
  SetStyleText(s.scale_tones, "xxxx000000000000");
  StoreFigure({{4, 5, -1}, {4, 9, -1}});
  SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
  // R+2 and F+2, two octaves down, as they are.
  EXPECT_EQ(Onsets(Play(19), 0, 384),
            (std::vector<std::pair<int64_t, int>>{{0, 38}, {96, 45}, {192, 38}, {288, 45}}));
}

class BassCustomGridTest : public BassTest {
 protected:
  CustomGrid& Grid() { return CurrentStyle().custom_grids[0].grid[kGridBass]; }
  void SetUp() override {
    BassTest::SetUp();
    std::memset(&Grid(), 0, sizeof(CustomGrid));
  }
};

TEST_F(BassCustomGridTest, OneVoiceOnEveryColumnPlaysSixteenths) {
  struct Case {
    int degree, pitch;
  } cases[] = {{7, 36}, {0, 24}, {14, 48}, {11, 43}};
  for (const Case& c : cases) {
    Grid().pn_interval[0] = c.degree;
    for (int col = 0; col < kGridSteps; ++col) Grid().NoteTable[0][col] = 1;
    SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
    const std::vector<Played> played = Play(20);
    ASSERT_EQ(played.size(), 32u) << c.degree;
    for (size_t k = 0; k < played.size(); ++k) {
      EXPECT_EQ(played[k].tick, 24 * static_cast<int64_t>(k));
      EXPECT_EQ(played[k].pitch, c.pitch) << c.degree;
      EXPECT_EQ(played[k].length, 23);
      EXPECT_EQ(played[k].velocity, 64);
    }
  }
}

TEST_F(BassCustomGridTest, ContinuedStepsMakeOneNoteEvenToTheSongsEnd) {
  Grid().pn_interval[0] = 7;
  Grid().pn_interval[1] = 9;
  for (int col = 0; col < kGridSteps; ++col) Grid().NoteTable[0][col] = 1;
  Grid().NoteTable[1][7] = 1;
  for (int col = 0; col < kGridSteps; ++col) Grid().pn_continuem[col] = 1;
  SetBlocks({{384, "CMPo"}, {384, "GMPo"}, {200, "FMPo"}});
  const std::vector<Played> played = Play(20);
  // One run through the whole song, the notes of its last step (F: bass and third).
  ASSERT_EQ(played.size(), 2u);
  const int steps = 16 + 16 + 8;
  for (const Played& p : played) {
    EXPECT_EQ(p.tick, 0);
    EXPECT_EQ(p.length, steps * 23);
  }
  EXPECT_EQ(played[0].pitch, 41);
  EXPECT_EQ(played[1].pitch, ComposeInfo().chord_block(2)->third - 24);
  // Runs of two steps: every second column continues the one before.
  for (int col = 0; col < kGridSteps; ++col) Grid().pn_continuem[col] = col % 2;
  std::memset(Grid().NoteTable[1], 0, sizeof Grid().NoteTable[1]);
  SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
  const std::vector<Played> pairs = Play(20);
  ASSERT_EQ(pairs.size(), 16u);
  for (size_t k = 0; k < pairs.size(); ++k) {
    EXPECT_EQ(pairs[k].tick, 48 * static_cast<int64_t>(k));
    EXPECT_EQ(pairs[k].length, 46);
  }
}

TEST_F(BassCustomGridTest, NegativeAndHugeDegreesAreSilent) {
  const int32_t degrees[] = {-1, INT_MIN, 7 * 12, INT_MAX, 2000000000};
  for (int32_t d : degrees) {
    Grid().pn_interval[0] = d;
    for (int col = 0; col < kGridSteps; ++col) Grid().NoteTable[0][col] = 1;
    SetBlocks({{384, "CMPo"}, {384, "CMPs"}});
    EXPECT_TRUE(PlaySounding(20).empty()) << d;
    int pitches[kCustomVoiceCount];
    char weights[kToneWeightTextSize];
    BuildToneWeights("CMPo", weights);
    MakeCustomBassPitches(pitches, *ComposeInfo().chord_block(0), weights);
    EXPECT_EQ(pitches[0], 0) << d;
  }
}

TEST_F(BassCustomGridTest, VoicePitchesFollowTheChordAndTheScale) {
  ChordBlock block;
  std::memcpy(block.chord_code, "CMPo", 4);
  block.root = 60;
  block.bass = 36;
  block.third = 64;
  block.fifth = 67;
  block.seventh = 70;
  char weights[kToneWeightTextSize];
  BuildToneWeights("CMPo", weights);
  const int32_t degrees[kCustomVoiceCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 20, 21, 27};
  // B+24, R+2, T, F-2, F, F+2, S an octave down; then the chord's own octave and above.
  // The seventh (Bb) is lowered a semitone: the scale lacks it.
  const int expected[kCustomVoiceCount] = {48, 50, 52, 53, 55, 57, 57, 60, 62, 69, 72, 81, 84,
                                           93};
  for (int v = 0; v < kCustomVoiceCount; ++v) Grid().pn_interval[v] = degrees[v];
  int pitches[kCustomVoiceCount];
  MakeCustomBassPitches(pitches, block, weights);
  for (int v = 0; v < kCustomVoiceCount; ++v) EXPECT_EQ(pitches[v], expected[v]) << v;
}

}  // namespace
