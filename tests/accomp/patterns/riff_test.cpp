// The riff family: random degrees, stored and fresh riff cells, stroke riffs,
// and stored cells as untrusted input.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "accomp/accomp_fuzz.h"
#include "accomp/complex_arpeggio.h"
#include "accomp/pattern_walk.h"
#include "accomp/riff_patterns.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/accomp/patterns/figure_fixture.h"
#include "tests/support/test_support.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class RiffTest : public FigureTest {
 protected:
  // Stores riff entries (length, tone A, tone B) ended by a zero length.
  static void StoreRiff(const std::vector<std::array<int, 3>>& entries) {
    uint8_t* bytes = CurrentStyle().riff;
    std::fill(bytes, bytes + 96, 0);
    for (size_t k = 0; k < entries.size() && k < 32; ++k)
      for (int j = 0; j < 3; ++j) bytes[3 * k + j] = static_cast<uint8_t>(entries[k][j]);
  }
  // Sounding (tick - block start, pitch) pairs of block i.
  static std::vector<std::pair<int64_t, int>> BlockNotes(const MidiTrack& t, int i) {
    std::vector<std::pair<int64_t, int>> out;
    for (const NoteRow& n : SoundingIn(t, BlockStart(i), BlockStart(i + 1)))
      out.emplace_back(std::get<0>(n) - BlockStart(i), std::get<2>(n));
    return out;
  }
};

// Every stroke riff is 40 entries of tone codes 1..7 and positive lengths,
// written within its arrays (a pair drawn at the last entry keeps its first).
TEST_F(RiffTest, StrokeRiffEntries) {
  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<int> tones(kStrokeRiffLength), lengths(kStrokeRiffLength);
    MakeStrokeRiff(tones.data(), lengths.data());
    for (int k = 0; k < kStrokeRiffLength; ++k) {
      ASSERT_GE(tones[k], 1) << seed << " " << k;
      ASSERT_LE(tones[k], 7);
      ASSERT_TRUE(lengths[k] == 1 || lengths[k] == 2 || lengths[k] == 4 || lengths[k] == 6);
    }
  }
}

// Type 30 over one-bar blocks: the running sum reaches the cycle (one bar,
// or two from the second block on) at every block, so every block starts the
// riff from its first degree. The song's last block opens on its root (C,
// 60) where the riff's first degree rests.
TEST_F(RiffTest, DegreeRiffCycles) {
  CBlocks(std::vector<int>(6, 384));
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateRiffPattern(kChannel, t);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(BlockNotes(t, 0), BlockNotes(t, i)) << seed;
    auto last = BlockNotes(t, 0);
    if (last.empty() || last.front().first != 0) last.insert(last.begin(), {0, 60});
    EXPECT_EQ(BlockNotes(t, 5), last) << seed;
  }
}

// The harmony's density sets the step: 48 ticks below 120 (drum pattern 1),
// 24 from 120, where the degrees 2, 4, 6, 7, 12, 14, 16 and 17 mostly rest.
TEST_F(RiffTest, DegreeRiffStepAndThinning) {
  CBlocks(std::vector<int>(8, 384));
  CurrentStyle().drum_pattern = 1;
  std::map<int, int> off_chord, all;
  for (int density : {119, 120, 130}) {
    CurrentStyle().density[kChannel] = density;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
      GneSeedRandomWith(seed);
      PartTrack t;
      GenerateRiffPattern(kChannel, t);
      for (const NoteRow& n : Sounding(t)) {
        EXPECT_EQ(std::get<0>(n) % (density == 119 ? 48 : 24), 0);
        EXPECT_EQ(std::get<4>(n), 15);
        const int pc = std::get<2>(n) % 12;
        // C major seventh: D (2), F (4), A (6), B flat (7, 17) and their octaves.
        off_chord[density] += pc == 2 || pc == 5 || pc == 9 || pc == 10;
        ++all[density];
      }
    }
  }
  EXPECT_LT(off_chord[120] * 1.0 / all[120], 0.6 * off_chord[130] / all[130]);
}

// A block longer than the 64 degrees plays on from the first degree, and a
// block longer than the 40 strokes from the first stroke.
TEST_F(RiffTest, BlocksLongerThanTheRiff) {
  CBlocks({3072, 384});
  CurrentStyle().density[kChannel] = 130;
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack degrees;
    GenerateRiffPattern(kChannel, degrees);
    EXPECT_EQ(BlockNotes(degrees, 0)[0].second, BlockNotes(degrees, 0).front().second);
    int late = 0;
    for (const NoteRow& n : SoundingIn(degrees, 1536, 3072)) late += std::get<0>(n) >= 1536;
    EXPECT_GT(late, 0);
    PartTrack strokes;
    GenerateStrokeRiffPattern(kChannel, strokes);
    const auto rows = Rows(strokes);
    int64_t last = 0;
    for (const NoteRow& r : rows)
      if (std::get<0>(r) < 3072) last = std::max(last, std::get<0>(r));
    EXPECT_GE(last, 3072 - 6 * 48);
  }
}

// Type 41 plays the riff a type-40 harmony stored in the style, also when the
// style was applied from a copy; the stored bytes are the cells played.
TEST_F(RiffTest, FixedRiffFollowsTheStoredOne) {
  CBlocks({384, 384, 768, 384});
  StyleRecord copy = CurrentStyle();
  ApplyStyle(copy);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    int32_t cells[kRiffRhythmCells] = {};
    MakeRandomRiffRhythm(cells, CurrentStyle());
    GneSeedRandomWith(seed);
    PartTrack harmony;
    GenerateRhythmRiffPattern(kChannel, harmony, 40);
    for (int i = 0; i < 96; ++i)
      ASSERT_EQ(static_cast<int8_t>(CurrentStyle().riff[i]), static_cast<int8_t>(cells[i])) << i;
    PartTrack fixed;
    GenerateRhythmRiffPattern(4, fixed, 41);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Onsets(SoundingIn(harmony, BlockStart(i), BlockStart(i + 1))),
                Onsets(SoundingIn(fixed, BlockStart(i), BlockStart(i + 1))))
          << seed << " block " << i;
    }
  }
}

// A note running two steps past its block shortens the next block by two
// steps; the last block closes with one two-note chord.
TEST_F(RiffTest, OverrunShortensTheNextBlock) {
  CBlocks({192, 192, 384});
  StoreRiff({{6, 4, -1}, {4, 6, -1}});
  PartTrack t;
  GenerateRhythmRiffPattern(kChannel, t, 41);
  const auto onsets = Onsets(Sounding(t));
  EXPECT_EQ(onsets, (std::vector<int64_t>{0, 144, 240, 384}));
  const auto closing = SoundingIn(t, 384, 768);
  ASSERT_EQ(closing.size(), 1u);  // tone B silent
  EXPECT_EQ(std::get<4>(closing[0]), 16 * 24 - 2);
}

// An overrun that covers the last block does not silence it: the closing
// chord starts on time over the ringing note and ends with the song; a song of
// one block plays its riff without the closing chord and ends it with the
// song; a riff never stored rests.
TEST_F(RiffTest, RiffEdges) {
  CBlocks({192, 96});
  StoreRiff({{20, 4, 6}});
  PartTrack covered;
  GenerateRhythmRiffPattern(kChannel, covered, 41);
  EXPECT_EQ(Onsets(SoundingIn(covered, 192, 288)), (std::vector<int64_t>{192}));
  for (const NoteRow& n : SoundingIn(covered, 192, 288))
    EXPECT_LE(std::get<0>(n) + std::get<4>(n), 288);
  EXPECT_EQ(accomp::LastWalkEnd(), 288);

  CBlocks({768});
  StoreRiff({{2, 4, 6}, {1, 8, -1}, {3, 11, 4}});
  PartTrack single;
  GenerateRhythmRiffPattern(kChannel, single, 41);
  EXPECT_GT(Onsets(Sounding(single)).size(), 4u);

  // With no chord after it, a long riff note ends with the song.
  CBlocks({144});
  StoreRiff({{20, 4, 6}});
  PartTrack ringing;
  GenerateRhythmRiffPattern(kChannel, ringing, 41);
  ASSERT_FALSE(Sounding(ringing).empty());
  for (const NoteRow& n : Sounding(ringing)) EXPECT_LE(std::get<0>(n) + std::get<4>(n), 144);
  EXPECT_EQ(accomp::LastWalkEnd(), 144);

  CBlocks({384, 384});
  StoreRiff({});
  PartTrack empty;
  GenerateRhythmRiffPattern(kChannel, empty, 41);
  EXPECT_TRUE(Sounding(empty).empty());
}

// Stroke riffs on the triplet grid step 32 ticks in every block.
TEST_F(RiffTest, StrokeRiffTripletSteps) {
  SetGrid(true);
  CBlocks({384, 288, 768});
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    GenerateStrokeRiffPattern(kChannel, t);
    for (int i = 0; i < 3; ++i)
      for (const auto& n : BlockNotes(t, i)) EXPECT_EQ(n.first % 32, 0);
  }
}

// With a scale that has no tone of weight 5 and a chord the tone table does
// not know, the riff and the degree figure keep their pitches.
TEST_F(RiffTest, RaisesEndWithoutScaleTones) {
  CurrentStyle().scale = 11;
  std::memcpy(CurrentStyle().scale_tones, "xxxx000000000000", 17);
  SetRepeated("CMCd", 384, 4);
  StoreRiff({{2, 4, 6}, {2, 8, 9}, {4, 2, 11}});
  PartTrack riff;
  GenerateRhythmRiffPattern(kChannel, riff, 41);
  EXPECT_FALSE(Sounding(riff).empty());
  PartTrack degrees;
  GenerateComplexArpeggioPattern(kChannel, degrees, 100);
  EXPECT_FALSE(Sounding(degrees).empty());
}

// Stored riff cells are untrusted: mutated cells (negative and zero lengths,
// tone codes outside -1..11, all zero) always end, keep time and write valid
// MIDI values.
TEST_F(RiffTest, SeededMutations) {
  std::vector<std::vector<uint8_t>> seeds;
  std::vector<uint8_t> stored(96, 0);
  GneSeedRandomWith(5);
  int32_t cells[kRiffRhythmCells] = {};
  MakeRandomRiffRhythm(cells, CurrentStyle());
  for (int i = 0; i < 96; ++i) stored[i] = static_cast<uint8_t>(cells[i]);
  std::vector<uint8_t> with_blocks = stored;
  for (int k = 0; k < 12; ++k) {
    with_blocks.push_back(static_cast<uint8_t>(k * 5));
    with_blocks.push_back(static_cast<uint8_t>(k));
  }
  seeds = {stored, with_blocks, std::vector<uint8_t>(96, 0), std::vector<uint8_t>(120, 0xFF)};
  EXPECT_GT(FuzzRiffBytes(with_blocks.data(), with_blocks.size()), 0);
  GneSeedRandomWith(20261211);
  const int64_t rounds = cantrel_test::FuzzInputs(400);
  for (int64_t round = 0; round < rounds; ++round) {
    std::vector<uint8_t> data = seeds[static_cast<size_t>(GneRandomRange(0, 3))];
    const int steps = GneRandomRange(1, 10);
    for (int i = 0; i < steps && !data.empty(); ++i) {
      const size_t at = static_cast<size_t>(GneRandomRange(0, 32767)) % data.size();
      switch (GneRandomRange(0, 3)) {
        case 0: data[at] = static_cast<uint8_t>(GneRandomRange(0, 255)); break;
        case 1: data[at] = static_cast<uint8_t>(GneRandomRange(-3, 13)); break;
        case 2: data[at - at % 3] = 0; break;
        default: data.resize(at); break;
      }
    }
    const uint32_t state = GneGetRandomState();
    ASSERT_GE(FuzzRiffBytes(data.data(), data.size()), 0) << "round " << round;
    GneSetRandomState(state);
  }
}

}  // namespace
}  // namespace pattern_test
