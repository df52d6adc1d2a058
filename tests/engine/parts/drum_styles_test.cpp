// Drum styles: every pattern code on every kit, metre, beat and density plays
// sounding notes on the drum channel, in time with its blocks, and each style
// keeps its own promises (fills, rolls, section switches, counters, grids).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "engine/compose_info.h"
#include "engine/drum_part.h"
#include "engine/engine_state.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Notes;
using parts_test::NoteRow;

namespace {

constexpr int kCh = 9;

struct Block {
  int length;
  char section;
  bool ends_section;
};

// The style settings a song is drummed with.
struct Song {
  int metre = 0;       // 0 4/4, 1 3/4, 2 7/8
  int kind = 1;        // 2: 3/4 felt as 6/8
  bool triplet = false;
  int kit = 2;
  int density = 100;
};

struct Hit {
  int64_t tick;
  int pitch;
  int velocity;
};

class DrumStyleTest : public EngineTest {
 protected:
  static void Apply(int code, const Song& s) {
    StyleRecord& st = CurrentStyle();
    st.drum_pattern = code;
    st.metre = s.metre;
    st.triple_metre_kind = static_cast<int16_t>(s.kind);
    st.basic_beat = s.triplet ? 3 : 0;
    st.instrument[kDrumChannel] = s.kit;
    st.density[kDrumChannel] = s.density;
  }

  static void Fill(EventList& timeline, const std::vector<Block>& blocks) {
    for (const Block& b : blocks) {
      const char tag[4] = {b.section, b.ends_section ? 'E' : 'X', 0, 0};
      timeline.AppendSectionTag(b.length, tag);
    }
  }

  // The drum notes of the style over the blocks, from the pattern's time 0.
  static std::vector<Hit> Render(int code, const Song& s, const std::vector<Block>& blocks) {
    Apply(code, s);
    EventList timeline;
    Fill(timeline, blocks);
    PartTrack t;
    AddNote(t, kCh, 0, 0, 0, 0);
    GenerateDrumTrack(kCh, timeline, t, s.density);
    CloseTrack(t);
    std::vector<Hit> hits;
    for (const NoteRow& n : Notes(t)) {
      EXPECT_EQ(std::get<1>(n), kCh);
      hits.push_back({std::get<0>(n), std::get<2>(n), std::get<3>(n)});
    }
    return hits;
  }

  static int BarTicks(const Song& s) { return s.metre == 0 ? 384 : (s.metre == 1 ? 288 : 336); }

  // A short song with two sections: whole bars, a half bar, and blocks that
  // are no whole number of steps.
  static std::vector<Block> ShortSong(const Song& s) {
    const int bar = BarTicks(s);
    return {{bar, 'A', false}, {bar / 2 + 48, 'A', false}, {bar / 2 - 48, 'A', true},
            {bar, 'B', false}, {144, 'B', false},          {bar - 144, 'B', true},
            {bar * 2, 'C', true}};
  }

  // Blocks of 48..768 ticks (whole sixteenths, so that some are no whole number
  // of a style's steps) in sections of a few blocks each, filling 64 bars.
  static std::vector<Block> LongSong(const Song& s) {
    const int total = BarTicks(s) * 64;
    std::vector<Block> blocks;
    int used = 0;
    char section = 'A';
    int left_in_section = GneRandomRange(2, 6);
    while (used < total) {
      int length = 24 * GneRandomRange(2, 32);
      if (used + length > total) length = total - used;
      used += length;
      const bool last = --left_in_section == 0 || used == total;
      blocks.push_back({length, section, last});
      if (last) {
        section = section == 'D' ? 'A' : static_cast<char>(section + 1);
        left_in_section = GneRandomRange(2, 6);
      }
    }
    return blocks;
  }

  static int Total(const std::vector<Block>& blocks) {
    int t = 0;
    for (const Block& b : blocks) t += b.length;
    return t;
  }
};

const Song kMetres[] = {{0, 1}, {1, 1}, {1, 2}, {2, 1}};
const char* kMetreNames[] = {"4/4", "3/4", "6/8", "7/8"};

// Notes outside the usual kit range that a code may sound: bells, the
// scratches of the standard kit (hit type 26), the children's song's
// triangle-like notes.
std::set<int> ExtraNotes(int code) {
  switch (code) {
    case 1: case 22: case 35: case 36: return {83, 84};
    case 14: case 21: return {29, 30};
    default: return {};
  }
}

TEST_F(DrumStyleTest, EveryCodeSoundsOnEveryKitMetreBeatAndDensity) {
  int christmas_hits = 0;
  for (int code = 1; code <= 40; ++code) {
    const std::set<int> extra = ExtraNotes(code);
    for (int m = 0; m < 4; ++m) {
      for (bool triplet : {false, true}) {
        for (int kit : {1, 2, 3, 4, 9}) {
          for (int density : {20, 60, 80, 100, 120, 160}) {
            Song s = kMetres[m];
            s.triplet = triplet;
            s.kit = kit;
            s.density = density;
            cantrel_test::Sink().Clear();
            const std::vector<Hit> hits = Render(code, s, ShortSong(s));
            const std::string where = "code " + std::to_string(code) + " " + kMetreNames[m] +
                                      (triplet ? " triplet" : " straight") + " kit " +
                                      std::to_string(kit) + " density " +
                                      std::to_string(density);
            EXPECT_EQ(BoxCount(), 0u) << where;
            // The custom style plays the style's own grid, empty here; the
            // Christmas bells are drawn and may all stay silent now and then.
            if (code != 22) {
              EXPECT_EQ(hits.empty(), code == 28) << where;
            }
            christmas_hits += code == 22 && !hits.empty();
            for (const Hit& h : hits) {
              const bool usual = h.pitch >= 35 && h.pitch <= 81;
              EXPECT_TRUE(usual || extra.count(h.pitch)) << where << " note " << h.pitch;
              EXPECT_GE(h.velocity, 1) << where;
              EXPECT_LE(h.velocity, 127) << where;
            }
            if (HasFailure()) return;
          }
        }
      }
    }
  }
  EXPECT_GT(christmas_hits, 4 * 2 * 5 * 6 * 3 / 4);
}

// Where in its block a code's hits may start: whole steps of the style, or
// the offsets of its figures (rolls, flams, odd groupings, double strokes).
bool OnStep(int code, const Song& s, int offset, int length, int64_t tick) {
  const bool t = s.triplet;
  switch (code) {
    case 3:
      if (t) return offset % 32 == 0;
      {
        static const std::set<int> kRoll = {0, 10, 20, 30, 40, 50, 60, 69, 78, 87, 24, 48, 64, 72};
        return kRoll.count(offset % 96) > 0;
      }
    case 20: {
      const int step = t ? 32 : 24;
      if (offset % step == 0) return true;
      if (length <= 96 || offset < length - 96) return false;
      const int o = offset - (length - 96);
      return o % 13 == 0 || o % 19 == 0 || o % 32 == 0 || o % 24 == 0;
    }
    case 25:
      return t ? offset % 32 == 0 : (offset % 24 == 0 || offset % 24 == 11);
    case 29: case 30:
      return offset % (t ? 16 : 24) == 0;
    case 33: case 34: case 36:
      // The triplet forms are shuffled over the whole track: notes move from
      // their steps onto the triplets of each beat.
      return t ? tick % 24 == 0 || tick % 32 == 0 : offset % (code == 33 ? 24 : 48) == 0;
    case 35: case 39:
      // Flamenco's sixteenth-triplet steps and flams; the polyrhythm's sixths.
      return offset % 16 == 0;
    case 37: case 38:
      return offset % 48 == 0;
    case 4: case 6: case 7: case 15: case 17: case 21: case 22: case 23: case 32:
      return offset % (t ? 32 : 48) == 0;
    case 1:
      if (t) return offset % 32 == 0;
      return offset % (s.metre == 1 && s.kind == 2 ? 24 : 48) == 0;
    default:
      return offset % (t ? 32 : 24) == 0;
  }
}

TEST_F(DrumStyleTest, HitsKeepTimeWithMixedBlocksOverALongSong) {
  GneSeedRandomWith(22);
  for (int m = 0; m < 4; ++m) {
    for (bool triplet : {false, true}) {
      Song s = kMetres[m];
      s.triplet = triplet;
      const std::vector<Block> blocks = LongSong(s);
      std::vector<int> starts;
      int total = 0;
      for (const Block& b : blocks) {
        starts.push_back(total);
        total += b.length;
      }
      for (int code = 1; code <= 40; ++code) {
        for (int density : {60, 100, 120}) {
          s.density = density;
          if (code == 28) continue;  // the custom grid has its own test
          const std::vector<Hit> hits = Render(code, s, blocks);
          const std::string where = "code " + std::to_string(code) + " " + kMetreNames[m] +
                                    (triplet ? " triplet" : " straight") + " density " +
                                    std::to_string(density);
          ASSERT_FALSE(hits.empty()) << where;
          const bool closing_bar = code == 1 && triplet && s.metre == 1;
          int64_t last = 0;
          for (const Hit& h : hits) {
            last = std::max(last, h.tick);
            if (h.tick >= total) continue;  // checked below
            const auto it = std::upper_bound(starts.begin(), starts.end(), static_cast<int>(h.tick));
            const size_t k = static_cast<size_t>(it - starts.begin() - 1);
            const int offset = static_cast<int>(h.tick) - starts[k];
            EXPECT_TRUE(OnStep(code, s, offset, blocks[k].length, h.tick))
                << where << " block " << k << " length " << blocks[k].length << " offset "
                << offset;
            if (HasFailure()) return;
          }
          if (closing_bar) {
            // One more block as long as the last, then the closing bell.
            EXPECT_EQ(last, total + blocks.back().length) << where;
            EXPECT_EQ(hits.back().pitch, 84);
          } else {
            EXPECT_LT(last, total) << where;
          }
        }
      }
    }
  }
}

TEST_F(DrumStyleTest, SameSeedSameDrums) {
  for (int code = 1; code <= 40; ++code) {
    Song s;
    s.density = 80;
    GneSeedRandomWith(99);
    const std::vector<Hit> a = Render(code, s, ShortSong(s));
    GneSeedRandomWith(99);
    const std::vector<Hit> b = Render(code, s, ShortSong(s));
    ASSERT_EQ(a.size(), b.size()) << code;
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].tick, b[i].tick) << code;
      EXPECT_EQ(a[i].pitch, b[i].pitch) << code;
      EXPECT_EQ(a[i].velocity, b[i].velocity) << code;
    }
  }
}

// ---- edge cases of single styles ----

std::vector<Hit> InBlock(const std::vector<Hit>& hits, int64_t from, int64_t to) {
  std::vector<Hit> out;
  for (const Hit& h : hits)
    if (h.tick >= from && h.tick < to) out.push_back(h);
  return out;
}

std::set<int> PitchesOf(const std::vector<Hit>& hits) {
  std::set<int> p;
  for (const Hit& h : hits) p.insert(h.pitch);
  return p;
}

TEST_F(DrumStyleTest, EthnicHouseBeatHasNoKitDrums) {
  Song s;
  s.kit = 3;
  for (int d = 0; d < 10; ++d) {
    const std::set<int> p = PitchesOf(Render(8, s, ShortSong(s)));
    for (int kit_drum : {35, 36, 38, 40}) EXPECT_EQ(p.count(kit_drum), 0u) << kit_drum;
  }
  s.kit = 2;
  EXPECT_TRUE(PitchesOf(Render(8, s, ShortSong(s))).count(36));
}

TEST_F(DrumStyleTest, BoleroInTripletsTakesSixteenthTriplets) {
  Song s;
  s.triplet = true;
  std::vector<int64_t> ticks;
  for (const Hit& h : Render(29, s, {{384, 'A', true}})) ticks.push_back(h.tick);
  ticks.erase(std::unique(ticks.begin(), ticks.end()), ticks.end());
  std::vector<int64_t> want;
  for (int i : {0, 3, 4, 5, 6, 9, 10, 11, 12, 15, 18, 21, 22, 23}) want.push_back(16 * i);
  EXPECT_EQ(ticks, want);
}

TEST_F(DrumStyleTest, GlamRockSwitchesAtTheChorus) {
  for (bool triplet : {false, true}) {
    Song s;
    s.triplet = triplet;
    const std::vector<Hit> hits =
        Render(32, s, {{384, 'A', true}, {384, 'B', false}, {384, 'B', true}, {384, 'C', true}});
    for (int k = 0; k < 4; ++k) {
      const std::vector<Hit> block = InBlock(hits, 384 * k, 384 * (k + 1));
      const bool chorus = k == 1 || k == 2;
      EXPECT_EQ(PitchesOf(block).count(36) > 0, !chorus) << k << " " << triplet;
      EXPECT_EQ(block.front().pitch, chorus ? 40 : 36) << k;
    }
  }
}

TEST_F(DrumStyleTest, PolyrhythmUnitsFollowBlockLengthAndDensity) {
  struct Case {
    int length, density;
    std::vector<int64_t> first_unit;  // onsets of the block's first unit
    size_t notes;
  };
  const Case cases[] = {
      {288, 80, {0, 0, 32, 48, 64}, 15},    // not a multiple of 192: beat units
      {384, 80, {0, 0, 64, 96, 128}, 10},   // two-beat units
      {384, 100, {0, 0, 32, 48, 64}, 20},
      {336, 80, {0}, 1},                    // no whole beats: one kick
  };
  for (const Case& c : cases) {
    Song s;
    s.density = c.density;
    const std::vector<Hit> hits = Render(39, s, {{c.length, 'A', true}, {96, 'A', true}});
    const std::vector<Hit> block = InBlock(hits, 0, c.length);
    ASSERT_EQ(block.size(), c.notes) << c.length;
    for (size_t i = 0; i < c.first_unit.size(); ++i) EXPECT_EQ(block[i].tick, c.first_unit[i]);
    if (c.notes == 1) {
      EXPECT_EQ(block[0].pitch, 36);
    }
    EXPECT_EQ(InBlock(hits, c.length, c.length + 96).front().tick, c.length);
  }
}

TEST_F(DrumStyleTest, RandomSixteenBeatFillsOnlyLongSectionEnds) {
  // Blocks 0 and 1 share the section's array; block 1 ends the section. At
  // steps outside the fill places both sound the same (rides aside, which
  // draw one of two notes).
  int filled_192 = 0;
  for (int draw = 0; draw < 60; ++draw) {
    for (int end_length : {192, 96}) {
      Song s;
      const std::vector<Hit> hits =
          Render(12, s, {{192, 'A', false}, {end_length, 'A', true}, {192, 'B', true}});
      std::map<int, std::set<int>> first, second;
      for (const Hit& h : hits) {
        const int pitch = h.pitch == 59 ? 51 : h.pitch;
        if (h.tick < 192) first[static_cast<int>(h.tick / 24)].insert(pitch);
        else if (h.tick < 192 + end_length) second[static_cast<int>((h.tick - 192) / 24)].insert(pitch);
      }
      bool differs = false;
      for (int step = 0; step < end_length / 24; ++step) {
        const bool fill_place = step % 16 >= 5 && step % 16 <= 7;
        if (first[step] != second[step]) {
          EXPECT_TRUE(fill_place && end_length == 192) << step << " " << end_length;
          differs = true;
        }
      }
      filled_192 += differs && end_length == 192;
    }
  }
  EXPECT_GT(filled_192, 20);
}

TEST_F(DrumStyleTest, ChristmasBellsAddedAtSectionsStay) {
  // Whole 32-step blocks, each a new section. A block may put its one
  // sleigh-bell accent (84) on a step of its own, nothing else moves a bell.
  int grew = 0;
  for (int draw = 0; draw < 40; ++draw) {
    Song s;
    std::vector<Block> blocks;
    for (char section : {'A', 'B', 'C', 'D', 'E', 'F'}) blocks.push_back({1536, section, true});
    const std::vector<Hit> hits = Render(22, s, blocks);
    std::set<int64_t> before;
    for (int k = 0; k < 6; ++k) {
      std::set<int64_t> bells, accents;
      for (const Hit& h : InBlock(hits, 1536 * k, 1536 * (k + 1))) {
        if (h.pitch == 83) bells.insert((h.tick - 1536 * k) / 48);
        if (h.pitch == 84) accents.insert((h.tick - 1536 * k) / 48);
      }
      for (int64_t step : before) EXPECT_TRUE(bells.count(step) || accents.count(step)) << k;
      grew += k > 0 && bells.size() > before.size();
      before = bells;
      before.insert(accents.begin(), accents.end());
      for (int64_t step : accents) {
        // an accent over a step that held no bell is no bell of the master
        if (!bells.count(step)) before.erase(step);
      }
    }
  }
  EXPECT_GT(grew, 10);
}

TEST_F(DrumStyleTest, MarchEndsPlainAndRollsOnlyOverWholeBeats) {
  for (int draw = 0; draw < 30; ++draw) {
    Song s;
    s.density = 100;
    std::vector<Block> blocks(16, {144, 'A', false});
    blocks.push_back({384, 'A', true});
    const std::vector<Hit> hits = Render(3, s, blocks);
    // The last block is a plain march: snare and hat on beats only.
    const int last = 144 * 16;
    const std::vector<Hit> tail = InBlock(hits, last, last + 384);
    ASSERT_FALSE(tail.empty());
    EXPECT_EQ(tail.front().tick, last);
    for (const Hit& h : tail) {
      EXPECT_EQ((h.tick - last) % 96, 0);
      EXPECT_TRUE(h.pitch == 40 || h.pitch == 42) << h.pitch;
    }
    // Blocks of a beat and a half never roll: only the snare and hat of the
    // march, or silence.
    for (const Hit& h : InBlock(hits, 0, last)) {
      EXPECT_TRUE(h.pitch == 40 || h.pitch == 42) << h.pitch;
      EXPECT_EQ((h.tick % 144) % 24, 0);
    }
  }
}

TEST_F(DrumStyleTest, MarchRollsAreTenStrokesInABeat) {
  int rolls = 0;
  for (int draw = 0; draw < 60; ++draw) {
    Song s;
    const std::vector<Hit> hits = Render(3, s, {{384, 'A', false}, {384, 'A', true}});
    const std::vector<Hit> first = InBlock(hits, 0, 96);
    if (first.size() != 10) continue;
    ++rolls;
    std::vector<int64_t> ticks;
    for (const Hit& h : first) ticks.push_back(h.tick);
    EXPECT_EQ(ticks, (std::vector<int64_t>{0, 10, 20, 30, 40, 50, 60, 69, 78, 87}));
    EXPECT_EQ(first[0].velocity, 100);
    EXPECT_EQ(first[9].velocity, 54);
  }
  EXPECT_GT(rolls, 3);
}

TEST_F(DrumStyleTest, RockabillyCounterBuildsToARoll) {
  Song s;
  s.triplet = true;
  RockabillyRollCounter() = 0;
  std::vector<Block> blocks = {{384, 'A', true}, {384, 'B', false}, {384, 'B', false},
                               {384, 'B', false}, {384, 'B', true}};
  const std::vector<Hit> hits = Render(23, s, blocks);
  // Blocks 1 and 2 play the snare on the beat only; block 3 the roll.
  for (int k : {1, 2}) {
    for (const Hit& h : InBlock(hits, 384 * k, 384 * (k + 1))) {
      if (h.pitch == 51 || h.pitch == 59) continue;  // a ride may stand on a rest
      EXPECT_EQ(h.pitch, 40);
      EXPECT_EQ((h.tick - 384 * k) % 192, 0);
    }
  }
  std::map<int64_t, std::set<int>> roll;
  for (const Hit& h : InBlock(hits, 384 * 3, 384 * 4))
    if (h.pitch != 51 && h.pitch != 59) roll[(h.tick - 384 * 3) / 32].insert(h.pitch);
  const std::map<int64_t, std::set<int>> want = {{0, {40}}, {1, {40}}, {2, {40}}, {3, {40}},
                                                 {4, {40}}, {5, {40}}, {6, {49, 36}}, {8, {40}}};
  EXPECT_EQ(roll, want);
  // 0, 2, 4, then 12 after the roll, and block 4 starts afresh.
  EXPECT_EQ(RockabillyRollCounter(), 0);
  RockabillyRollCounter() = 0;
  Render(23, s, {{384, 'B', false}, {384, 'B', false}, {384, 'B', false}});
  EXPECT_EQ(RockabillyRollCounter(), 12);
  ResetEngineState();
  EXPECT_EQ(RockabillyRollCounter(), 0);
}

TEST_F(DrumStyleTest, FlamencoLateBlocksMayLoseTheirAnswer) {
  int silent_answers = 0;
  for (int draw = 0; draw < 20; ++draw) {
    Song s;
    const std::vector<Hit> hits = Render(35, s, std::vector<Block>(24, {384, 'A', false}));
    for (int k = 0; k < 24; ++k) {
      const size_t voices = PitchesOf(InBlock(hits, 384 * k, 384 * (k + 1))).size();
      if (k < 11) {
        EXPECT_EQ(voices, 2u) << k;
      }
      silent_answers += voices == 1;
    }
  }
  EXPECT_GT(silent_answers, 5);
}

TEST_F(DrumStyleTest, CustomGridPlaysTheStyleRows) {
  CustomGrid& grid = CurrentStyle().custom_grids[0].grid[kGridDrum];
  grid.pn_interval[0] = 7;    // 42, closed hat
  grid.pn_interval[1] = 1;    // 36
  grid.pn_interval[2] = 0x107;  // the low byte counts: 42 again
  for (int c = 0; c < 16; c += 2) grid.NoteTable[0][c] = 1;
  grid.NoteTable[1][0] = 1;
  grid.NoteTable[1][8] = 1;
  grid.NoteTable[2][5] = 1;
  Song s;
  const std::vector<Hit> hits = Render(28, s, {{384, 'A', true}, {192, 'A', true}});
  std::vector<std::tuple<int64_t, int, int>> got;
  for (const Hit& h : hits) got.emplace_back(h.tick, h.pitch, h.velocity);
  std::vector<std::tuple<int64_t, int, int>> want;
  for (int c = 0; c < 16; ++c) {
    if (c % 2 == 0) want.emplace_back(24 * c, 42, 49);
    if (c == 0 || c == 8) want.emplace_back(24 * c, 36, 64);
    if (c == 5) want.emplace_back(24 * c, 42, 49);
  }
  for (int c = 0; c < 8; ++c) {
    if (c % 2 == 0) want.emplace_back(384 + 24 * c, 42, 49);
    if (c == 0) want.emplace_back(384, 36, 64);
    if (c == 5) want.emplace_back(384 + 24 * c, 42, 49);
  }
  EXPECT_EQ(got, want);
}

TEST_F(DrumStyleTest, HeavyEightBeatRepeatsItsSixteenStepsInLongBlocks) {
  Song s;
  for (int draw = 0; draw < 20; ++draw) {
    cantrel_test::Sink().Clear();
    const std::vector<Hit> hits = Render(16, s, {{1536, 'A', true}});
    std::set<int64_t> kicks;
    for (const Hit& h : hits)
      if (h.pitch == 36) kicks.insert(h.tick / 48);
    for (int step : {0, 5, 8, 12, 16, 21, 24, 28}) EXPECT_TRUE(kicks.count(step)) << step;
    EXPECT_EQ(BoxCount(), 0u);
  }
}

TEST_F(DrumStyleTest, AutomaticPatternsFollowTheSections) {
  Song s;
  // The chorus opens with the crash; verse and bridge do not.
  const std::vector<Hit> hits = Render(27, s, {{384, 'A', true}, {384, 'B', true}, {384, 'C', true}});
  EXPECT_FALSE(PitchesOf(InBlock(hits, 0, 384)).count(49));
  EXPECT_TRUE(PitchesOf(InBlock(hits, 384, 768)).count(49));
  EXPECT_FALSE(PitchesOf(InBlock(hits, 768, 1152)).count(49));
  // A song without section letters plays one pattern throughout.
  cantrel_test::Sink().Clear();
  const std::vector<Hit> plain = Render(27, s, {{384, 'x', false}, {384, 'x', false}});
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_FALSE(plain.empty());
}

// ---- the written drum track in outside readers ----

TEST_F(DrumStyleTest, DrumTrackLoadsInMidoAndMidicsv) {
  Song s;
  s.density = 120;
  Apply(24, s);
  EventList& timeline = ComposeInfo().chord_timeline;
  Fill(timeline, ShortSong(s));
  ChordEntry entry;
  entry.length = 384;
  std::memcpy(entry.code, "CMPo", 4);
  ComposeInfo().AddChordBlock(entry, nullptr);
  PartTrackList tracks;
  BuildDrumTrack(tracks);
  ASSERT_EQ(tracks.size(), 1u);
  const std::filesystem::path file = parts_test::WriteJoined({tracks[0].get()}, "drums.mid");
  const size_t notes = Notes(*tracks[0]).size();

  CANTREL_NEED_TOOL("midicsv");
  int status = 0;
  const std::string csv = parts_test::RunMidicsv(file, &status);
  ASSERT_EQ(status, 0);
  size_t ons = 0;
  for (size_t at = csv.find("Note_on_c, 9,"); at != std::string::npos;
       at = csv.find("Note_on_c, 9,", at + 1))
    ++ons;
  EXPECT_GE(ons, notes);  // each note's on (and perhaps its off as a zero on)
  EXPECT_EQ(csv.find("Note_on_c, 1,"), std::string::npos);

  CANTREL_NEED_MIDO();
  const std::string out = parts_test::RunMido(
      "m = mido.MidiFile(sys.argv[1])\n"
      "n = [x for t in m.tracks for x in t if x.type == 'note_on' and x.velocity > 0]\n"
      "print(len(n), sorted(set(x.channel for x in n)), min(x.note for x in n), max(x.note for x in n))\n",
      file);
  EXPECT_EQ(out.rfind("ERROR", 0), std::string::npos) << out;
  EXPECT_EQ(out.substr(0, out.find(' ')), std::to_string(notes)) << out;
  EXPECT_NE(out.find("[9]"), std::string::npos) << out;
}

}  // namespace
