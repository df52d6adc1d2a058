// Every bass pattern over whole songs: in time with the chord blocks in every
// metre, grid and density, on its own channel, on the pitches its figure
// names, and the same for the same seed.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/bass_generators.h"
#include "engine/engine_state.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "style/style_table.h"
#include "tests/engine/parts/bass_fixture.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

namespace {

using namespace bass_test;

constexpr int kFirstCode = 1, kLastCode = 23;
constexpr int kCustomCode = 20;

struct GridCase {
  Metre metre;
  bool triplet;
};
const GridCase kGrids[] = {{Metre::k44, false}, {Metre::k44, true}, {Metre::k34, false},
                           {Metre::k34, true},  {Metre::k68, false}, {Metre::k68, true},
                           {Metre::k78, false}, {Metre::k78, true}};

class BassSongTest : public BassTest {
 protected:
  void SetUp() override {
    BassTest::SetUp();
    // A custom grid of single steps: two voices on alternate columns.
    CustomGrid& g = CurrentStyle().custom_grids[0].grid[kGridBass];
    std::memset(&g, 0, sizeof g);
    g.pn_interval[0] = 7;
    g.pn_interval[1] = 11;
    for (int col = 0; col < kGridSteps; ++col) g.NoteTable[col % 2][col] = 1;
  }

  // What must hold for any pattern on any song: one channel, notes that sound
  // within the song, and every block's first note or rest on its start.
  void CheckTiming(int code, const std::vector<Played>& played, const std::string& what) {
    const std::vector<int64_t> starts = BlockStarts();
    const int64_t end = starts.back();
    size_t next = 0;
    for (size_t block = 0; block + 1 < starts.size(); ++block) {
      bool first = true;
      while (next < played.size() && played[next].tick < starts[block + 1]) {
        const Played& p = played[next++];
        ASSERT_GE(p.tick, starts[block]) << what << " block " << block << " written out of order";
        if (first) {
          ASSERT_EQ(p.tick, starts[block]) << what << " block " << block;
          first = false;
        }
      }
    }
    ASSERT_EQ(next, played.size()) << what << ": notes after the song's end";
    for (const Played& p : played) {
      ASSERT_EQ(p.channel, kBassChannel) << what;
      if (!p.sounding()) continue;
      ASSERT_GE(p.length, 1) << what << " at " << p.tick;
      ASSERT_LE(p.velocity, 127) << what;
      ASSERT_LE(p.tick + p.length, end) << what << " sounds after the song";
    }
    (void)code;
  }
};

TEST_F(BassSongTest, EveryPatternKeepsEveryBlockOnTimeInEveryMetreGridAndDensity) {
  const int harmony[] = {1, 4, 9, 41};
  uint32_t seed = 0;
  for (const GridCase& grid : kGrids) {
    SetMetre(grid.metre, grid.triplet);
    for (int density = 20; density <= 160; density += 20) {
      ++seed;
      GneSeedRandomWith(seed);
      // 64 bars' worth of blocks from 48 to 768 ticks.
      SetBlocks(RandomSong(64, false, 0, seed));
      for (int code = kFirstCode; code <= kLastCode; ++code) {
        CurrentStyle().accompaniment = harmony[(code + density / 20) % 4];
        PlainEndingFlag() = code % 2;
        const std::string what = "code " + std::to_string(code) + " " +
                                 MetreName(grid.metre) + (grid.triplet ? " triplet" : "") +
                                 " density " + std::to_string(density);
        CheckTiming(code, Play(code, density), what);
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST_F(BassSongTest, ShortBlocksOfTripletsKeepTheNextBlockOnTime) {
  // 144 and 336 ticks are no whole number of triplet quarters or bars.
  for (const GridCase& grid : kGrids) {
    if (!grid.triplet) continue;
    SetMetre(grid.metre, true);
    SetBlocks({{144, "CMPo"}, {336, "FMPo"}, {144, "GMPo"}, {336, "AmPo"}, {384, "CMPo"}});
    for (int code = kFirstCode; code <= kLastCode; ++code) {
      CheckTiming(code, Play(code), "code " + std::to_string(code) + " " + MetreName(grid.metre));
      if (HasFatalFailure()) return;
    }
  }
}

// The pitches a pattern may play in block i: what its figure names.
class PitchRules {
 public:
  explicit PitchRules(int code) : code_(code) {
    const ChordBlock* first = ComposeInfo().chord_block(0);
    BuildToneWeights(first->chord_code, first_weights_);
  }

  std::set<int> Allowed(int i) {
    const ComposeInformation& info = ComposeInfo();
    const ChordBlock& c = *info.chord_block(i);
    const bool has_next = i + 1 < info.chord_block_count();
    const int nb = has_next ? info.chord_block(i + 1)->bass : c.bass;
    const int B = c.bass, R = c.root, T = c.third, F = c.fifth, S = c.seventh;
    std::set<int> a;
    auto add = [&](std::initializer_list<int> pitches) { a.insert(pitches.begin(), pitches.end()); };
    auto scale = [&](int p) { return ToneDigit(first_weights_, PitchClassOf(p)) >= ScaleToneLevel; };
    // A fifth walked in scale steps from B either way: x+1 when that is a scale
    // tone, else x+2 (x-1 or x-2 downward).
    auto walk_a_fifth = [&]() {
      for (int dir : {-1, +1})
        for (int from : {B, B + 2 * dir, B + 4 * dir}) add({scale(from + dir) ? from + dir : from + 2 * dir});
    };
    switch (code_) {
      case 1: add({B, B + 12, T - 12, F - 12, S - 12}); break;
      case 2: add({info.chord_block(0)->bass}); break;
      case 3: add({B, F - 24}); break;
      case 4:
        add({B, F - 24, B - 5});
        walk_a_fifth();
        break;
      case 5: add({B, B + 12}); break;
      case 6:
        add({B, B - 1, B - 2, B - 3, B - 4, B - 5, B + 5, B + 3, B + 2, T - 24, F - 24, S - 24,
             S - 25, F - 22});
        break;
      case 7:
        add({B, B + 7, B + 5, B + 4, B + 3, B + 2, B - 1, T - 24, T - 36, F - 24, F - 36});
        walk_a_fifth();
        // The approach: a chord tone near the next bass, or the scale step beside it.
        for (int p = nb - 6; p <= nb + 6; ++p)
          if (p != nb && (c.IsChordTone(p) || PitchClassOf(p) == PitchClassOf(B))) a.insert(p);
        for (int side : {-1, +1}) add({scale(nb + 2 * side) ? nb + 2 * side : nb + side});
        break;
      case 8:
        // Three steps of at most three semitones toward the next bass (up when it is the same).
        add({B, B - 12});
        for (int d = 1; d <= 9; ++d) add({nb >= B ? B + d : B - d});
        break;
      case 9:
        for (int x : {B, B + 7, B + 5, T - 12, S - 12, B - 10, B - 12, B + 12}) add({x, x - 12});
        break;
      case 10:
        // The held pitch carries over from the blocks before.
        add({B, T - 24, F - 26, F - 24});
        held_.insert(a.begin(), a.end());
        a = held_;
        break;
      case 11: add({B, B - 12, B + 2, T - 24}); break;
      case 12: add({B, T - 24, F - 24}); break;
      case 13: add({B, B + 2, T - 24, R - 12, T - 12, F - 12, R}); break;
      case 14: add({B, B - 12, R - 24, S - 36, F - 34, F - 36}); break;
      case 15:
      case 16: add({B, B - 12, R - 24, F - 24}); break;
      case 17: add({B, B + 12, B - 12, T - 24, T - 12, F - 26, F - 14}); break;
      case 18: add({B, B + 12}); break;
      case 19:
        // The riff's degrees two octaves down, raised into the scale; the last block's bass.
        add({B});
        if (has_next) {
          for (int x : {F - 12, F - 10, S - 12, R, R + 2, T, F - 2, F, F + 2, S, R + 12}) {
            int up = 0;
            while (up <= 12 && !scale(x - 24 + up)) ++up;
            a.insert(up <= 12 ? x - 24 + up : x - 24);  // kept where no tone is a scale tone
          }
        }
        break;
      case 20: break;
      case 21: add({45, 43}); break;
      case 22: {
        char w[kToneWeightTextSize];
        BuildToneWeights(c.chord_code, w);
        const int base = B % 12 + 36;
        a.insert(base);
        for (int p = base; p <= base + 7; ++p)
          if (ToneDigit(w, PitchClassOf(p)) >= ScaleToneLevel) a.insert(p);
        break;
      }
      case 23: add({B}); break;
      default: break;
    }
    return a;
  }

 private:
  int code_;
  char first_weights_[kToneWeightTextSize] = {};
  std::set<int> held_;
};

TEST_F(BassSongTest, EveryNoteIsAPitchItsFigureNamesForItsBlock) {
  BuildChordToneTable();  // chord tones weigh in the scale
  const GridCase grids[] = {{Metre::k44, false}, {Metre::k44, true}, {Metre::k34, false},
                            {Metre::k68, false}, {Metre::k78, false}};
  for (const GridCase& grid : grids) {
    SetMetre(grid.metre, grid.triplet);
    const int bar = StyleBarTicks(CurrentStyle().metre);
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      GneSeedRandomWith(seed);
      SetBlocks(RandomSong(24, true, bar, seed));
      const std::vector<int64_t> starts = BlockStarts();
      for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (code == kCustomCode) continue;  // its voices have tests of their own
        for (int density : {80, 100, 120}) {
          CurrentStyle().accompaniment = density == 120 ? 4 : 1;
          PitchRules rules(code);
          const std::vector<Played> played = PlaySounding(code, density);
          size_t n = 0;
          for (size_t block = 0; block + 1 < starts.size(); ++block) {
            const std::set<int> allowed = rules.Allowed(static_cast<int>(block));
            for (; n < played.size() && played[n].tick < starts[block + 1]; ++n) {
              const Played& p = played[n];
              ASSERT_TRUE(allowed.count(p.pitch))
                  << "code " << code << " " << MetreName(grid.metre) << " seed " << seed
                  << " block " << block << " " << ComposeInfo().chord_block(static_cast<int>(block))->chord_code
                  << ": pitch " << p.pitch << " at " << p.tick << " first "
                  << ComposeInfo().chord_block(0)->chord_code << " next "
                  << (block + 2 < starts.size() ? ComposeInfo().chord_block(static_cast<int>(block) + 1)->chord_code : "-")
                  << " density " << density << " len "
                  << ComposeInfo().chord_block(static_cast<int>(block))->length;
              ASSERT_GE(p.pitch, 24) << "code " << code;
              ASSERT_LE(p.pitch, 71) << "code " << code;
            }
          }
        }
      }
    }
  }
}

TEST_F(BassSongTest, SlashBassesMoveTheBassNote) {
  SetBlocks({{384, "CMPo", "04"}, {384, "GMPo", "05"}});
  std::set<int> pitches;
  for (const Played& p : PlaySounding(1)) pitches.insert(p.pitch);
  EXPECT_EQ(pitches, (std::set<int>{40, 52, 48, 60}));  // E under C, C under G
}

TEST_F(BassSongTest, TheSameSeedGivesTheSameTrack) {
  SetMetre(Metre::k44, false);
  for (int code = kFirstCode; code <= kLastCode; ++code) {
    std::vector<parts_test::EventRow> first;
    for (int run = 0; run < 2; ++run) {
      GneSeedRandomWith(77);
      SetBlocks(RandomSong(16, false, 0, 5));
      Play(code, 120);
      const std::vector<parts_test::EventRow> events = parts_test::Events(track());
      if (run == 0) {
        first = events;
      } else {
        EXPECT_EQ(events, first) << "code " << code;
      }
    }
  }
}

}  // namespace
