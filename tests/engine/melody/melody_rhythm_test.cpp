// Note lengths of the rhythm types: odds, patterns, swing and limits.
#include <map>
#include <numeric>
#include <set>

#include "tests/engine/melody/melody_fixture.h"
#include "tests/support/digest.h"

namespace {

using melody_test::AddChord;
using melody_test::PlainMelodyPart;

class MelodyRhythmTest : public EngineTest {
 protected:
  // Share of each length over many seeds.
  template <typename Draw>
  static std::map<int, double> Shares(int n, Draw draw) {
    std::map<int, int> counts;
    for (int i = 0; i < n; ++i) {
      GneSeedRandomWith(static_cast<uint32_t>(i + 1) * 2654435761u);
      ResetMelodyState();
      ++counts[draw()];
    }
    std::map<int, double> shares;
    for (const auto& [k, v] : counts) shares[k] = static_cast<double>(v) / n;
    return shares;
  }
};

TEST_F(MelodyRhythmTest, BarLengthOfEachMetre) {
  const std::pair<int, int> cases[] = {{0, 384}, {1, 288}, {2, 336}, {5, 288}};
  for (const auto& [metre, length] : cases) {
    CurrentStyle().metre = metre;
    EXPECT_EQ(BarLengthOfMetre(), length) << metre;
  }
}

TEST_F(MelodyRhythmTest, TripletRunGivesThreeNotesOf64) {
  PartRecord& p = PlainMelodyPart();
  p.note_length = 1;
  CurrentStyle().basic_beat = 1;
  int runs = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    const int first = ChooseNoteLength(1, 0, 384, 768, 2);
    if (Melody().triplet_counter == 0) continue;
    ++runs;
    EXPECT_EQ(first, 64);
    // The next two, wherever they fall, are 64 too; then the run is over.
    EXPECT_EQ(ChooseNoteLength(1, 64, 384, 768, 2), 64);
    EXPECT_EQ(ChooseNoteLength(1, 128, 384, 768, 2), 64);
    EXPECT_EQ(Melody().triplet_counter, 0);
  }
  EXPECT_GT(runs, 10);
}

TEST_F(MelodyRhythmTest, OddsOfTheGeneralRule) {
  PartRecord& p = PlainMelodyPart();
  struct Case {
    int type;
    int position;
    std::map<int, double> shares;
  };
  // Before syncopation and limiting; long block and bar.
  const Case cases[] = {
      {4, 0, {{24, 0.75}, {48, 0.25}}},
      {3, 0, {{96, 2.0 / 3}, {192, 2.0 / 9}, {288, 1.0 / 9}}},
      {3, 48, {{96, 2.0 / 3}, {192, 2.0 / 9}, {288, 1.0 / 9}}},
      {5, 48, {{48, 0.5}, {96, 0.5}}},
  };
  for (int beat : {0, 3}) {
    CurrentStyle().basic_beat = beat;
    for (const Case& c : cases) {
      if (beat == 3 && c.type != 3) continue;  // the triplet overrides
      p.note_length = c.type;
      const auto shares =
          Shares(6000, [&] { return ChooseNoteLength(1, c.position, 768, 768, 2); });
      ASSERT_EQ(shares.size(), c.shares.size()) << "type " << c.type << " beat " << beat;
      for (const auto& [length, share] : c.shares)
        EXPECT_NEAR(shares.at(length), share, 0.03) << "type " << c.type << " length " << length;
    }
  }
}

TEST_F(MelodyRhythmTest, LengthsAreCutAtBarAndBlockEnd) {
  PartRecord& p = PlainMelodyPart();
  for (int type = 1; type <= 10; ++type) {
    p.note_length = type;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      GneSeedRandomWith(seed);
      for (int pos : {0, 48, 96, 240, 336}) {
        const int bar = 384;
        const int block = 360;
        const int length = ChooseNoteLength(1, pos, bar, block, 4);
        if (type == kRhythmMixed || type == kRhythmBouncing) {
          EXPECT_GT(length, 0);  // cut by the generator
          continue;
        }
        EXPECT_GT(length, 0) << "type " << type;
        EXPECT_LE(pos + length, block) << "type " << type << " at " << pos;
      }
    }
  }
}

TEST_F(MelodyRhythmTest, EveryPatternFillsItsBlock) {
  const int straight[] = {48, 96, 144, 192, 240, 288, 336, 384, 432, 576, 672, 720, 768};
  for (int basic_beat : {0, 2}) {
    CurrentStyle().basic_beat = basic_beat;
    for (int block : straight) {
      for (uint32_t seed = 1; seed <= 400; ++seed) {
        GneSeedRandomWith(seed);
        std::array<int32_t, kRhythmPatternSize> pattern{};
        ASSERT_TRUE(FillBarRhythm(block, false, pattern.data()));
        int t = 0;
        int i = 0;
        while (t < block) {
          ASSERT_LT(i, kRhythmPatternSize);
          ASSERT_GT(pattern[static_cast<size_t>(i)], 0) << "block " << block << " seed " << seed;
          t += pattern[static_cast<size_t>(i++)];
        }
        // Bar-length patterns end on the block's end.
        if (block != 768 && block != 576 && block != 672) {
          EXPECT_EQ(t, block) << "block " << block << " seed " << seed;
        }
      }
    }
  }
  for (int block : {384, 768}) {
    for (uint32_t seed = 1; seed <= 400; ++seed) {
      GneSeedRandomWith(seed);
      std::array<int32_t, kRhythmPatternSize> pattern{};
      ASSERT_TRUE(FillBarRhythm(block, true, pattern.data()));
      int t = 0;
      for (int i = 0; t < block; ++i) {
        ASSERT_GT(pattern[static_cast<size_t>(i)], 0);
        EXPECT_EQ(t % 32, 0);
        t += pattern[static_cast<size_t>(i)];
      }
    }
  }
  std::array<int32_t, kRhythmPatternSize> pattern{};
  EXPECT_FALSE(FillBarRhythm(100, false, pattern.data()));
  EXPECT_FALSE(FillBarRhythm(288, true, pattern.data()));
}

// The patterns of every block length, straight and triplet, over many seeds, folded into a
// digest: the bar rhythms may be rearranged, the patterns they draw stay the same.
TEST_F(MelodyRhythmTest, BarRhythmsArePinned) {
  cantrel_test::Digest digest;
  for (int basic_beat : {0, 2, 3}) {
    CurrentStyle().basic_beat = basic_beat;
    for (int block : {0, 48, 96, 100, 144, 192, 240, 288, 336, 384, 432, 576, 672, 720, 768}) {
      for (bool triplet : {false, true}) {
        for (uint32_t seed = 1; seed <= 120; ++seed) {
          GneSeedRandomWith(seed);
          std::array<int32_t, kRhythmPatternSize> pattern;
          pattern.fill(-1);
          digest.Int(FillBarRhythm(block, triplet, pattern.data()) ? 1 : 0);
          for (int32_t v : pattern) digest.Int(v);
        }
      }
    }
  }
  EXPECT_EQ(digest.value, 0x4fa4007b7ac7987eull);
}

TEST_F(MelodyRhythmTest, MixedRhythmRepeatsTheFirstBlockUnlessRedrawn) {
  PartRecord& p = PlainMelodyPart();
  p.note_length = kRhythmMixed;
  int repeated = 0;
  int redrawn = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    ResetMelodyState();
    std::vector<std::vector<int>> blocks;
    for (int b = 0; b < 4; ++b) {
      std::vector<int> lengths;
      int t = 0;
      // A short last note: no redraw (the previous note was below a quarter).
      const int c = 2;
      while (t < 384) {
        const int length = std::min(ChooseNoteLength(1, t, 384, 384, c), 384 - t);
        lengths.push_back(length);
        t += length;
      }
      blocks.push_back(lengths);
    }
    for (int b = 1; b < 4; ++b) EXPECT_EQ(blocks[static_cast<size_t>(b)], blocks[0]);
    ++repeated;
    // With a long previous note a coin may redraw.
    std::vector<int> again;
    int t = 0;
    while (t < 384) {
      const int length = std::min(ChooseNoteLength(1, t, 384, 384, 8), 384 - t);
      again.push_back(length);
      t += length;
    }
    if (again != blocks[0]) ++redrawn;
  }
  EXPECT_EQ(repeated, 200);
  EXPECT_GT(redrawn, 20);
}

TEST_F(MelodyRhythmTest, SwingLendsFortyEightTicksToTheNextBlock) {
  PartRecord& p = PlainMelodyPart();
  p.note_length = kRhythmBouncing;
  EventList chords;
  for (int length : {384, 768, 384, 384}) AddChord(&chords, "CMPo", length);
  struct Case {
    int metre;
    int basic_beat;
    bool swings;
  };
  for (const Case& c : {Case{0, 0, true}, Case{0, 3, false}, Case{1, 0, false}}) {
    CurrentStyle().metre = c.metre;
    CurrentStyle().basic_beat = c.basic_beat;
    int lengthened = 0;
    for (uint32_t seed = 1; seed <= 100; ++seed) {
      GneSeedRandomWith(seed);
      ResetMelodyState();
      std::vector<int> lengths;
      for (int i = 0; i < chords.count(); ++i) {
        int length = chords[i].length;
        SwingBlockLength(&length, chords, i == chords.count() - 1, 1);
        lengths.push_back(length);
      }
      EXPECT_EQ(std::accumulate(lengths.begin(), lengths.end(), 0), 384 * 3 + 768);
      for (size_t i = 0; i < lengths.size(); ++i) {
        const int own = chords[static_cast<int>(i)].length;
        if (lengths[i] == own + 48) {
          ++lengthened;
          ASSERT_LT(i + 1, lengths.size()) << "the last block is never lengthened";
          EXPECT_EQ(lengths[i + 1], chords[static_cast<int>(i) + 1].length - 48);
        }
        if (own == 768) {
          EXPECT_NE(lengths[i], 768 + 48);
        }
      }
    }
    if (c.swings) {
      EXPECT_GT(lengthened, 50);
    } else {
      EXPECT_EQ(lengthened, 0);
    }
  }
}

TEST_F(MelodyRhythmTest, BlockLengthReportsByMetre) {
  struct Case {
    int metre;
    int method;
    int length;
    ProgramErrorCode code;  // 0: no report
  };
  const Case cases[] = {
      {1, 0, 288, 0},
      {1, 0, 576, 0},
      {1, 0, 384, melody_error::kTripleMetre},
      {2, 0, 336, 0},
      {2, 0, 384, melody_error::kSevenEight},
      {1, 8, 384, 0},
      {0, 0, 100, 0},
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    CurrentStyle().metre = c.metre;
    CurrentStyle().chord_method = c.method;
    CheckMelodyBlockLength(c.length);
    if (c.code == 0) {
      EXPECT_EQ(BoxCount(), 0u) << c.metre << "/" << c.length;
    } else {
      EXPECT_EQ(ErrorCount(c.code), 1) << c.metre << "/" << c.length;
    }
  }
}

TEST_F(MelodyRhythmTest, TripletMixedRhythmInSevenEightIsReported) {
  PartRecord& p = PlainMelodyPart();
  p.note_length = kRhythmMixed;
  CurrentStyle().basic_beat = 3;
  GneSeedRandomWith(1);
  EXPECT_EQ(ChooseNoteLength(1, 0, 672, 672, 2), 96);
  EXPECT_EQ(ErrorCount(melody_error::kSevenEightRhythm), 1);
}

TEST_F(MelodyRhythmTest, FixedFigureTypesByPosition) {
  PartRecord& p = PlainMelodyPart();
  struct Case {
    int type;
    int basic_beat;
    int position;
    std::set<int> lengths;
  };
  const Case cases[] = {
      {kRhythmDotted, 0, 0, {96, 72}},   {kRhythmDotted, 0, 72, {24}},
      {kRhythmDotted, 3, 0, {96, 64}},   {kRhythmDotted, 3, 64, {32}},
      {kRhythmLong, 0, 0, {144, 48}},    {kRhythmLong, 3, 0, {160, 64}},
      {kRhythmLong, 0, 96, {48}},        {kRhythmLong, 0, 192, {96, 48}},
      {kRhythmLong, 0, 336, {48}},  // cut at the bar end
  };
  for (const Case& c : cases) {
    p.note_length = c.type;
    CurrentStyle().basic_beat = c.basic_beat;
    std::set<int> seen;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      GneSeedRandomWith(seed);
      seen.insert(ChooseNoteLength(1, c.position, 384, 384, 2));
    }
    EXPECT_EQ(seen, c.lengths) << "type " << c.type << " at " << c.position;
  }
}

}  // namespace
