// The bass figures on small songs: what each pattern plays on the blocks its
// rules single out.
#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "engine/bass_generators.h"
#include "engine/engine_state.h"
#include "style/style_table.h"
#include "tests/engine/parts/bass_fixture.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/support/digest.h"
#include "util/gne.h"

namespace {

using namespace bass_test;
using Row = std::tuple<int64_t, int, int>;  // tick, pitch, length

std::vector<Row> Rows(const std::vector<Played>& played) {
  std::vector<Row> out;
  for (const Played& p : played)
    if (p.sounding()) out.emplace_back(p.tick, p.pitch, p.length);
  return out;
}

std::vector<Row> Between(const std::vector<Row>& rows, int64_t from, int64_t to) {
  std::vector<Row> out;
  for (const Row& r : rows)
    if (std::get<0>(r) >= from && std::get<0>(r) < to) out.push_back(r);
  return out;
}

std::vector<int> Pitches(const std::vector<Row>& rows) {
  std::vector<int> out;
  for (const Row& r : rows) out.push_back(std::get<1>(r));
  return out;
}

class BassFigureTest : public BassTest {};

TEST_F(BassFigureTest, GeneralBassGridFollowsHarmonyAndBlockLength) {
  struct Case {
    int accompaniment, length;
    std::vector<Row> bar;  // the first block's notes (bass of C: 36)
  } cases[] = {
      {4, 384, {{0, 36, 47}, {0, 48, 47}, {48, 36, 47}, {96, 36, 47}, {96, 48, 47},
                {144, 36, 47}, {192, 36, 47}, {192, 48, 47}, {240, 36, 47}, {288, 36, 47},
                {288, 48, 47}, {336, 36, 47}}},
      {1, 384, {{0, 36, 188}, {0, 48, 188}, {192, 36, 188}}},
      {1, 288, {{0, 36, 94}, {0, 48, 94}, {96, 36, 94}, {192, 36, 94}, {192, 48, 94}}},
      {1, 240, {{0, 36, 47}, {0, 48, 47}, {48, 36, 47}, {96, 36, 47}, {96, 48, 47},
                {144, 36, 47}, {192, 36, 47}, {192, 48, 47}}},
  };
  for (const Case& c : cases) {
    CurrentStyle().accompaniment = c.accompaniment;
    SetBlocks({{c.length, "CMPo"}, {c.length, "CMPo"}});
    const std::vector<Row> rows = Rows(Play(1));
    EXPECT_EQ(Between(rows, 0, c.length), c.bar) << c.accompaniment << " " << c.length;
    EXPECT_EQ(Between(rows, c.length, 2 * c.length).size(), c.bar.size());
  }
}

TEST_F(BassFigureTest, GeneralBassFillsTheLastNoteWithChordTonesAtHighDensity) {
  bool filled = false;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{384, "CMPs"}});
    const std::vector<Row> rows = Rows(Play(1, 120));
    // The second half note is a half note of B or four quarters of a fill.
    const std::vector<Row> second = Between(rows, 192, 384);
    if (second.size() == 1) {
      EXPECT_EQ(second[0], Row(192, 36, 188));
      continue;
    }
    const ChordBlock& b = *ComposeInfo().chord_block(0);
    EXPECT_EQ(second, (std::vector<Row>{{192, 36, 47}, {240, b.third - 12, 47},
                                        {288, b.fifth - 12, 47}, {336, b.seventh - 12, 47}}));
    filled = true;
  }
  EXPECT_TRUE(filled);
  SetBlocks({{384, "CMPs"}});
  for (uint32_t seed = 1; seed <= 20; ++seed) EXPECT_EQ(Rows(Play(1, 119)).size(), 3u);
}

TEST_F(BassFigureTest, PedalHoldsTheFirstBassInHalfNotes) {
  SetBlocks({{384, "GMPo"}, {200, "CMPo"}});
  EXPECT_EQ(Rows(Play(2)),
            (std::vector<Row>{{0, 43, 192}, {192, 43, 189}, {384, 43, 192}, {576, 43, 5}}));
  SetMetre(Metre::k68, false);
  SetBlocks({{576, "GMPo"}});
  EXPECT_EQ(Rows(Play(2)), (std::vector<Row>{{0, 43, 288}, {288, 43, 285}}));
}

TEST_F(BassFigureTest, RootAndFifthAlternateInHalvesShortenedAtLowDensity) {
  SetBlocks({{384, "CMPo"}});
  EXPECT_EQ(Rows(Play(3, 100)), (std::vector<Row>{{0, 36, 188}, {192, 43, 188}}));
  EXPECT_EQ(Rows(Play(3, 80)), (std::vector<Row>{{0, 36, 48}, {192, 43, 48}}));
  // Above 100: long-short groups in the first half of the song, short-long-short after it.
  SetBlocks({{384, "CMPo"}, {200, "CMPo"}});
  EXPECT_EQ(Rows(Play(3, 120)),
            (std::vector<Row>{{0, 36, 136}, {144, 36, 40}, {192, 43, 136}, {336, 43, 40},
                              {384, 36, 40}, {432, 36, 88}, {528, 36, 40}, {576, 36, 6}}));
}

TEST_F(BassFigureTest, RepeatedTripletsDoubleEveryOtherStep) {
  SetMetre(Metre::k44, true);
  SetBlocks({{384, "CMPo"}});
  const std::vector<Row> rows = Rows(Play(5));
  ASSERT_EQ(rows.size(), 18u);
  int doubled = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(std::get<0>(r) % 32, 0);
    EXPECT_EQ(std::get<2>(r), 30);
    if (std::get<1>(r) == 48) ++doubled;
  }
  EXPECT_EQ(doubled, 6);
}

TEST_F(BassFigureTest, PopsFigures) {
  SetMetre(Metre::k44, true);
  SetBlocks({{576, "CMPo"}});
  EXPECT_EQ(Rows(Play(11)), (std::vector<Row>{{0, 36, 574}}));
  SetBlocks({{384, "CMPo"}});
  const int t = ComposeInfo().chord_block(0)->third - 24;
  EXPECT_EQ(Rows(Play(11)),
            (std::vector<Row>{{0, 36, 286}, {288, 36, 30}, {320, 38, 30}, {352, t, 30}}));
  SetMetre(Metre::k44, false);
  // Dense pops: every eighth with a soft octave below.
  const std::vector<Played> dense = PlaySounding(11, 120);
  ASSERT_EQ(dense.size(), 16u);
  EXPECT_EQ(dense[1].pitch, 24);
  EXPECT_EQ(dense[1].velocity, 42);
  EXPECT_EQ(dense[1].length, 30);
}

TEST_F(BassFigureTest, TangoPlaysBassThirdFifthAndAPair) {
  SetBlocks({{192, "CMPo"}});
  int t = ComposeInfo().chord_block(0)->third - 24;
  EXPECT_EQ(Rows(Play(12)), (std::vector<Row>{{0, 36, 30}, {96, t, 30}}));
  SetBlocks({{384, "CMPo"}});
  t = ComposeInfo().chord_block(0)->third - 24;
  EXPECT_EQ(Rows(Play(12)), (std::vector<Row>{{0, 36, 30}, {96, t, 30}, {192, 43, 30},
                                              {288, t, 15}, {336, 36, 15}}));
}

TEST_F(BassFigureTest, RelaxedBassTakesItsArpeggioAboveDensity110) {
  SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
  const int t0 = ComposeInfo().chord_block(0)->third, t1 = ComposeInfo().chord_block(1)->third;
  const std::set<int> plain = {36, 38, t0 - 24, t1 - 24};
  const std::set<int> arpeggio = {48, t0 - 12, t1 - 12, 55, 60, 36};
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    for (const Played& p : PlaySounding(13, 110)) EXPECT_TRUE(plain.count(p.pitch)) << p.pitch;
    const std::vector<Played> played = PlaySounding(13, 111);
    EXPECT_EQ(played[0].pitch, 48);  // R-12 opens the arpeggio
    for (const Played& p : played) EXPECT_TRUE(arpeggio.count(p.pitch)) << p.pitch;
  }
}

TEST_F(BassFigureTest, RelaxedArpeggioWaitsForTheMelodyAndLeavesTheHandOverTick) {
  ComposeInfo().render_handover_tick = 150;
  SetBlocks({{384, "CMPo"}, {384, "GMPo"}});
  const int t = ComposeInfo().chord_block(0)->third - 12;
  const std::vector<Row> rows = Rows(Play(13, 113));
  EXPECT_EQ(Between(rows, 0, 384),
            (std::vector<Row>{{150, 48, 21}, {174, t, 21}, {198, 55, 21}, {222, 60, 159}}));
  EXPECT_EQ(ComposeInfo().render_handover_tick, 150);
  // At 116 and above the bass does not wait.
  EXPECT_EQ(std::get<0>(Rows(Play(13, 116)).front()), 0);
}

TEST_F(BassFigureTest, RelaxedArpeggioPlaysTwiceOnlyUnderAQuietMelody) {
  auto doubled = [&](const EventList& melody) {
    int count = 0;
    for (uint32_t seed = 1; seed <= 30; ++seed) {
      GneSeedRandomWith(seed);
      SetBlocks({{384, "CMPo"}, {384, "CMPo"}});
      PartTrack t;
      GenerateRelaxedBass(kBassChannel, t, 140, melody);
      for (const auto& n : parts_test::Notes(t))
        if (std::get<0>(n) < 384 && std::get<2>(n) > 0) ++count;
    }
    return count;
  };
  EventList quiet, busy;
  for (int k = 0; k < 8; ++k) busy.AppendNote(96, 72);
  // Eight notes a bar for the two arpeggios, four for one.
  EXPECT_GT(doubled(quiet), 30 * 4);
  EXPECT_EQ(doubled(busy), 30 * 4);
}

TEST_F(BassFigureTest, RockabillyWalksDownAndRestsOnAMissingSeventh) {
  SetBlocks({{768, "CMPd"}, {384, "CMPd"}});
  const std::vector<Played> played = Play(14);
  std::vector<Row> rows = Rows(played);
  // Quarters 1 and 5 would play the seventh: silent.
  EXPECT_TRUE(Between(rows, 96, 192).empty());
  EXPECT_TRUE(Between(rows, 480, 576).empty());
  EXPECT_EQ(Pitches(Between(rows, 0, 96)), (std::vector<int>{36, 36}));
  EXPECT_EQ(Pitches(Between(rows, 192, 384)), (std::vector<int>{33, 33, 31, 31}));
  // The ending: B-12, then B a half note later.
  EXPECT_EQ(Between(rows, 768, 1152), (std::vector<Row>{{768, 24, 188}, {960, 36, 188}}));
}

// The two-note endings of a song whose last chord is short stop with it.
TEST_F(BassFigureTest, EndingsStopWithTheLastChord) {
  struct Case {
    int code, last;
    std::vector<Row> ending;
  } cases[] = {
      {14, 96, {{384, 24, 96}}},
      {14, 192, {{384, 24, 188}}},
      {15, 96, {{384, 24, 96}}},
      {15, 192, {{384, 24, 188}}},
      {15, 288, {{384, 24, 188}, {576, 36, 96}}},
  };
  for (const Case& c : cases) {
    PlainEndingFlag() = 0;
    SetBlocks({{384, "CMPo"}, {c.last, "CMPo"}});
    EXPECT_EQ(Between(Rows(Play(c.code)), 384, 10000), c.ending) << c.code << " " << c.last;
  }
}

TEST_F(BassFigureTest, BossaNovaAndMelodicEndPlainlyInTheRunningProgram) {
  for (int flag : {0, 1}) {
    PlainEndingFlag() = flag;
    SetBlocks({{384, "CMPo"}, {384, "GMPo"}});
    const std::vector<Played> bossa = PlaySounding(15);
    const std::vector<Played> melodic = PlaySounding(7);
    auto last_block = [](const std::vector<Played>& v) {
      std::vector<Played> out;
      for (const Played& p : v)
        if (p.tick >= 384) out.push_back(p);
      return out;
    };
    const std::vector<Played> b = last_block(bossa), m = last_block(melodic);
    if (flag == 1) {
      ASSERT_EQ(b.size(), 1u);
      EXPECT_EQ(std::make_tuple(b[0].tick, b[0].pitch, b[0].length), std::make_tuple(384, 43, 378));
      ASSERT_EQ(m.size(), 1u);
      EXPECT_EQ(std::make_tuple(m[0].pitch, m[0].length, m[0].velocity),
                std::make_tuple(43, 379, 59));
    } else {
      EXPECT_EQ(b.size(), 2u);
      // The ending figure: a fifth, a fourth and a major third above, a second, the bass.
      ASSERT_EQ(m.size(), 5u);
      EXPECT_EQ(m[0].pitch, 50);
      EXPECT_EQ(m[2].pitch, 47);
      EXPECT_EQ(m[4].pitch, 43);
      EXPECT_EQ(m[4].length, 94);
    }
  }
}

TEST_F(BassFigureTest, TwoTonePedalPlaysAAndGWhateverTheChords) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks(RandomSong(12, true, 384, seed));
    const std::vector<Played> played = PlaySounding(21);
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(played[0].pitch, 45);
    for (const Played& p : played) EXPECT_TRUE(p.pitch == 45 || p.pitch == 43) << p.pitch;
  }
}

TEST_F(BassFigureTest, KecakSoundsOnTheBeatsOrRunsDownFromTheFifth) {
  SetMetre(Metre::k78, false);
  bool beats_seen = false;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{336, "CMPo"}, {336, "GMPo"}, {336, "CMPo"}});
    const std::vector<Played> played = Play(22);
    ASSERT_EQ(played.size(), 42u);  // 14 steps a block, silent ones as rests
    for (int block = 0; block < 3; ++block) {
      std::vector<int> steps;
      std::vector<int> run;
      for (const Played& p : played) {
        if (p.tick / 336 != block) continue;
        EXPECT_EQ(p.length, p.sounding() ? 20 : 1);
        if (!p.sounding()) continue;
        EXPECT_EQ(p.velocity, 127);
        const int step = static_cast<int>(p.tick % 336) / 24;
        steps.push_back(step);
        if (step < 4) run.push_back(p.pitch);
      }
      if (steps == std::vector<int>{0, 4, 8, 12}) {
        beats_seen = true;
      } else if (steps != std::vector<int>{0}) {
        ASSERT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4, 8, 12}));
        // The fifth, fourth, third and second above the base, each lowered into the scale.
        const std::vector<int> expected =
            block == 1 ? std::vector<int>{50, 48, 47, 45} : std::vector<int>{43, 41, 40, 38};
        EXPECT_EQ(run, expected);
      }
    }
  }
  EXPECT_TRUE(beats_seen);
}

TEST_F(BassFigureTest, WaltzSoundsOneEighthOnEveryOtherBlock) {
  SetMetre(Metre::k34, false);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks(std::vector<Block>(8, Block{288, "CMPo"}));
    const std::vector<Row> rows = Rows(Play(23));
    for (int block = 0; block < 8; ++block) {
      const std::vector<Row> in = Between(rows, block * 288, (block + 1) * 288);
      if (block % 2 == 0 || in.size() == 1) {
        EXPECT_EQ(in, (std::vector<Row>{{block * 288, 36, 47}}));
      } else {
        const int t = block * 288;
        EXPECT_EQ(in, (std::vector<Row>{{t, 36, 47}, {t + 48, 36, 47}, {t + 96, 36, 47},
                                        {t + 192, 36, 47}}));
      }
    }
  }
}

TEST_F(BassFigureTest, ClassicWalksAFifthDownInTheScaleAndLeavesTheLastChordSilent) {
  std::set<std::vector<int>> seen;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{384, "CMPo"}, {384, "GMPo"}, {384, "CMPo"}});
    const std::vector<Row> rows = Rows(Play(4));
    EXPECT_TRUE(Between(rows, 768, 10000).empty());
    const std::vector<int> g = Pitches(Between(rows, 384, 768));
    seen.insert(g);
    EXPECT_TRUE(g == (std::vector<int>{43, 50}) || g == (std::vector<int>{43, 41, 40, 38}) ||
                g == (std::vector<int>{43, 43, 41, 40, 38}))
        << ::testing::PrintToString(g);
    // C to G is a fifth up: C, D, E, F (C# and D# are no scale tones).
    const std::vector<int> c = Pitches(Between(rows, 0, 384));
    EXPECT_TRUE(c == (std::vector<int>{36, 43}) || c == (std::vector<int>{36, 38, 40, 41}) ||
                c == (std::vector<int>{36, 36, 38, 40, 41}))
        << ::testing::PrintToString(c);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(BassFigureTest, WalkingBassStepsTowardTheNextBass) {
  struct Case {
    const char *from, *to;
    std::vector<int> quarters;
  } cases[] = {
      {"CMPo", "FMPo", {36, 38, 40, 43}},  // 5 up: +1, +1, +2, each into the scale
      {"GMPo", "DmPo", {43, 41, 40, 38}},  // 5 down
      {"CMPo", "CMPo", {36, 38, 40, 41}},
  };
  for (const Case& c : cases) {
    SetBlocks({{768, c.from}, {384, c.to}});
    const std::vector<Row> rows = Rows(Play(8));
    std::vector<int> q;
    for (int j = 0; j < 8; ++j) {
      const std::vector<Row> in = Between(rows, 96 * j, 96 * (j + 1));
      ASSERT_EQ(in.size(), 2u);
      EXPECT_EQ(std::get<0>(in[1]) - std::get<0>(in[0]), 73);
      EXPECT_EQ(std::get<1>(in[0]), std::get<1>(in[1]));
      q.push_back(std::get<1>(in[0]));
    }
    std::vector<int> expected = c.quarters;
    expected.insert(expected.end(), c.quarters.begin(), c.quarters.end());
    EXPECT_EQ(q, expected) << c.from << " " << c.to;
    // The last chord: B-12 and B in half notes.
    const int nb = ComposeInfo().chord_block(1)->bass;
    EXPECT_EQ(Between(rows, 768, 10000), (std::vector<Row>{{768, nb - 12, 188}, {960, nb, 188}}));
  }
}

TEST_F(BassFigureTest, BluesTurnsAroundOnTheLastTwoBars) {
  SetBlocks(std::vector<Block>(12, Block{384, "CMPo"}));
  const std::vector<Played> played = PlaySounding(6);
  std::vector<Row> bar11, bar12;
  for (const Played& p : played) {
    EXPECT_EQ(p.velocity, 104);
    if (p.tick >= 10 * 384 && p.tick < 11 * 384) bar11.emplace_back(p.tick - 10 * 384, p.pitch, p.length);
    if (p.tick >= 11 * 384) bar12.emplace_back(p.tick - 11 * 384, p.pitch, p.length);
  }
  EXPECT_EQ(bar11, (std::vector<Row>{{0, 36, 47}, {48, 36, 47}, {96, 34, 47}, {144, 34, 47},
                                     {192, 33, 47}, {240, 33, 47}, {288, 32, 47},
                                     {336, 32, 47}}));
  EXPECT_EQ(bar12, (std::vector<Row>{{0, 41, 47}, {48, 39, 47}, {96, 38, 47}, {144, 36, 94}}));
}

TEST_F(BassFigureTest, MelodicBassOfOneBlockNeedsNoNextChord) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{384, "CMPo"}});
    const int t = ComposeInfo().chord_block(0)->third;
    const std::vector<Row> rows = Rows(Play(7));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(std::get<1>(rows[0]), 36);
    // Bass, third and fifth below it; the approach note is the bass itself.
    for (const Row& r : rows) {
      const int p = std::get<1>(r);
      EXPECT_TRUE(p == 36 || p == t - 36 || p == t - 24 || p == 43) << p;
    }
  }
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(BassFigureTest, MelodicBassOfRandomSongsStaysAsPinned) {
  // Every metre, straight and in triplets, major and minor, blocks of whole bars and of any
  // length: what the melodic bass writes, folded into a digest, so that it may be rearranged
  // but not changed.
  cantrel_test::Digest d;
  for (Metre m : {Metre::k44, Metre::k34, Metre::k68, Metre::k78}) {
    for (bool triplet : {false, true}) {
      for (uint32_t seed = 1; seed <= 40; ++seed) {
        SetMetre(m, triplet);
        CurrentStyle().key_mode = static_cast<int>(seed % 2) + 1;  // major, minor
        SetBlocks(RandomSong(8, seed % 3 != 0, 384, seed));
        GneSeedRandomWith(seed);
        for (const Played& p : Play(7)) {
          for (int64_t field : {p.tick, int64_t{p.channel}, int64_t{p.pitch}, int64_t{p.velocity},
                                int64_t{p.length}}) {
            d.Int(field);
          }
        }
      }
    }
  }
  EXPECT_EQ(d.value, 0x8205a146710cb869ull);
}

TEST_F(BassFigureTest, FusionDropsEveryBlocksFirstEighthAnOctave) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{384, "CMPo"}, {384, "GMPo"}, {384, "AmPo"}});
    const std::vector<Played> played = PlaySounding(9);
    for (int block = 0; block < 3; ++block) {
      const auto first = std::find_if(played.begin(), played.end(),
                                      [&](const Played& p) { return p.tick == 384 * block; });
      ASSERT_NE(first, played.end());
      EXPECT_EQ(first->pitch, ComposeInfo().chord_block(block)->bass - 12);
      EXPECT_EQ(first->velocity, 76);
    }
  }
}

TEST_F(BassFigureTest, HipHopHoldsTheLastDrawnPitchOverAnUnevenBlock) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{384, "CMPo"}, {240, "FMPo"}});
    const std::vector<Played> played = Play(10);
    ASSERT_GE(played.size(), 5u);
    const std::vector<Played> tail(played.end() - 5, played.end());
    const Played& last_of_bar = played[played.size() - 6];
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(tail[k].tick, 384 + 48 * k);
      EXPECT_EQ(tail[k].pitch, last_of_bar.pitch);
      EXPECT_EQ(tail[k].sounding(), last_of_bar.sounding());
    }
  }
}

TEST_F(BassFigureTest, HipHopRestsUntilItHasAPitch) {
  SetMetre(Metre::k34, false);
  SetBlocks({{288, "CMPo"}, {288, "CMPo"}});  // six eighths: never a multiple of four
  for (const Played& p : Play(10)) EXPECT_FALSE(p.sounding());
}

TEST_F(BassFigureTest, TranceInSevenEightHasNoBends) {
  SetMetre(Metre::k78, false);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    SetBlocks({{336, "CMPo"}, {336, "GMPo"}});
    const std::vector<Played> played = Play(17);
    EXPECT_TRUE(parts_test::Bends(track()).empty());
    ASSERT_EQ(played.size(), 28u);
    for (const Played& p : played) {
      EXPECT_EQ(p.tick % 24, 0);
      if (!p.sounding()) continue;
      const ChordBlock& b = *ComposeInfo().chord_block(static_cast<int>(p.tick / 336));
      EXPECT_TRUE(p.pitch == b.bass + 12 || p.pitch == b.third - 12 || p.pitch == b.fifth - 14)
          << p.pitch;
      EXPECT_GE(p.velocity, 48);
      EXPECT_LE(p.velocity, 70);
    }
  }
}

TEST_F(BassFigureTest, DrumAndBassBendsAnOddBlockFromAbove) {
  SetBlocks({{576, "CMPo"}});
  EXPECT_EQ(Rows(Play(18)), (std::vector<Row>{{0, 36, 566}}));
  EXPECT_EQ(parts_test::Bends(track()),
            (std::vector<std::pair<int64_t, int>>{{0, 68 * 128}, {40, 64 * 128}}));
}

}  // namespace
