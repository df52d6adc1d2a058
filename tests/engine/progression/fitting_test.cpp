// Fitting a generated progression to the song length, in every metre the
// styles use: sections drawn from the shipped time charts, as the database
// builder plans them, brought to any target of 1 .. 64 bars.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/compose_info.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"

namespace {

struct Metre {
  const char* name;
  int code;        // the style's metre code
  int16_t kind;    // 2 = 3/4 felt as 6/8
  int bar;         // ticks
  int shortest;    // shortest and longest chord the fitting makes
  int longest;
};

constexpr Metre kFourFour = {"4/4", 0, 1, 384, 96, 768};
constexpr Metre kThreeFour = {"3/4", 1, 1, 288, 288, 576};
constexpr Metre kSixEight = {"6/8", 1, 2, 288, 288, 576};
constexpr Metre kSevenEight = {"7/8", 2, 1, 336, 336, 336};

using Chart = std::vector<int>;

class FittingTest : public EngineTest {
 protected:
  // Selects the metre and loads its shipped time chart; returns its charts.
  static std::vector<Chart> UseMetre(const Metre& m) {
    CurrentStyle().metre = m.code;
    CurrentStyle().triple_metre_kind = m.kind;
    CurrentStyle().chord_method = 0;
    SelectMajorTimingDatabases();
    EXPECT_EQ(LoadPatternDatabases(), 1);
    std::vector<Chart> charts;
    const char* text = PatternDb().time_chart_text;
    size_t pos = 0;
    char record[kScanRecordSize];
    int length = 0;
    ReadDatabaseRecord(text, record, sizeof record, &length, &pos);  // the count
    while (!ReadDatabaseRecord(text, record, sizeof record, &length, &pos)) {
      Chart chart;
      for (int k = 0; k + 3 <= length; k += 3) chart.push_back(ParseDatabaseNumber(record + k, 3));
      charts.push_back(chart);
    }
    EXPECT_FALSE(charts.empty()) << m.name;
    return charts;
  }

  // A plan of sections whose chords can span the target: sections (a chart
  // from the file, played 1 .. 3 times, or up to 4 times beyond 30 bars, as
  // the database builder draws them) are added while the plan cannot reach
  // the target even with every chord at its longest; a section that would
  // make it too long even with every chord at its shortest is drawn again,
  // at last played once. The closing chord adds two bars.
  static void Plan(const Metre& m, const std::vector<Chart>& charts, int target) {
    ComposeInformation& info = ComposeInfo();
    info.Reset();
    info.section_count = 0;
    long fewest = 0;
    long most = 0;
    const long lowest = static_cast<long>(target - 1 - 2) * m.bar;
    const long highest = static_cast<long>(target + 1 - 2) * m.bar;
    while (most < lowest) {
      const Chart* chart = nullptr;
      int repeats = 1;
      for (int draw = 0; draw < 200 && chart == nullptr; ++draw) {
        const Chart& c = charts[static_cast<size_t>(
            GneRandomRange(0, static_cast<int>(charts.size()) - 1))];
        const int r = draw < 100 ? GneRandomRange(1, target > 30 ? 4 : 3) : 1;
        const long n = static_cast<long>(c.size()) * r;
        if (fewest + n * m.shortest <= highest) {
          chart = &c;
          repeats = r;
        }
      }
      ASSERT_NE(chart, nullptr) << m.name << " target " << target;
      const int section = info.section_count++;
      for (int len : *chart) {
        ChordBlock block;
        std::memcpy(block.chord_code, "CMPo", 4);
        block.length = len;
        info.section_chords[static_cast<size_t>(section)].AppendChordMarker(block);
      }
      for (int r = 0; r < repeats; ++r) info.AddSectionId(section + 1);
      fewest += static_cast<long>(chart->size()) * repeats * m.shortest;
      most += static_cast<long>(chart->size()) * repeats * m.longest;
    }
  }

  // The bar counts (closing chord included) that some choice of lengths
  // within the fitting's reach gives the current plan: 96, 192, 384 or 768
  // ticks per chord in 4/4, one or two bars in 3/4, each counted once per
  // play of its section. A plan whose every section is played four times can
  // only take every fourth bar count in 3/4, for instance.
  static std::vector<bool> ReachableBarCounts(const Metre& m) {
    const ComposeInformation& info = ComposeInfo();
    const std::vector<int> options =
        m.code == 0 ? std::vector<int>{1, 2, 4, 8} : std::vector<int>{3, 6};  // in 96 ticks
    std::vector<bool> totals = {true};
    for (int sct = 0; sct < info.section_count; ++sct) {
      int plays = 0;
      for (int i = 0; i < info.section_id_count; ++i) plays += info.section_ids[i] == sct + 1;
      for (int k = 0; k < info.section_chords[static_cast<size_t>(sct)].count(); ++k) {
        std::vector<bool> next(totals.size() + static_cast<size_t>(options.back() * plays), false);
        for (size_t t = 0; t < totals.size(); ++t)
          if (totals[t])
            for (int o : options) next[t + static_cast<size_t>(o * plays)] = true;
        totals.swap(next);
      }
    }
    std::vector<bool> bars(totals.size() + 3, false);
    for (size_t t = 0; t < totals.size(); ++t)
      if (totals[t]) bars[(t * 96 + static_cast<size_t>(m.bar) - 1) / static_cast<size_t>(m.bar) + 2] =
          true;
    return bars;
  }

  // The compose loop's use of the fitting: while the bar count is more than
  // one bar off the target, one step, until the step says stop. Returns the
  // bar count.
  static int Fit(int target) {
    ComposeInformation& info = ComposeInfo();
    CurrentStyle().song_bars = target;
    info.bar_count = BuildChordProgression() / BeatsPerBar();
    int counter = 0;
    for (int steps = 0; info.bar_count < target - 1 || info.bar_count > target + 1; ++steps) {
      const int stop = CurrentStyle().metre == 0 ? FitSongLength44(&counter)
                                                 : FitSongLength34(&counter);
      if (stop == 1 || steps > 2000) break;
    }
    return info.bar_count;
  }
};

TEST_F(FittingTest, GeneratedProgressionFitsAnyBarCount) {
  // In 4/4 the fitting gives up on a plan whose bar count stays through a
  // step (once six are made), and the compose loop plans afresh: up to five
  // plans, as many passes as the loop makes.
  for (const Metre& m : {kFourFour, kThreeFour, kSixEight}) {
    const std::vector<Chart> charts = UseMetre(m);
    for (int target = 1; target <= 64; ++target) {
      for (uint32_t seed = 1; seed <= 6; ++seed) {
        GneSeedRandomWith(seed * 7919u + static_cast<uint32_t>(target * 3 + m.code + m.kind));
        int bars = 0;
        bool reachable = false;
        for (int plan = 0; plan < (m.code == 0 ? 5 : 1); ++plan) {
          Plan(m, charts, target);
          const std::vector<bool> reach = ReachableBarCounts(m);
          reachable = false;
          for (int b = std::max(target - 1, 0); b <= target + 1; ++b)
            reachable = reachable ||
                        (static_cast<size_t>(b) < reach.size() && reach[static_cast<size_t>(b)]);
          bars = Fit(target);
          // The song ends on a bar line.
          EXPECT_EQ(ComposeInfo().TotalChordLength() % m.bar, 0) << m.name << " target " << target;
          // Quarter-bar steps reach every bar count in 4/4; in 3/4 a plan whose
          // every section is played four times misses one count in four.
          if (m.code == 0) {
            EXPECT_TRUE(reachable) << "target " << target << " seed " << seed;
          }
          if (bars >= target - 1 && bars <= target + 1) break;
        }
        if (!reachable) continue;
        EXPECT_GE(bars, target - 1) << m.name << " target " << target << " seed " << seed;
        EXPECT_LE(bars, target + 1) << m.name << " target " << target << " seed " << seed;
      }
    }
  }
}

TEST_F(FittingTest, SevenEightProgressionIsWholeBars) {
  // 7/8 is not fitted (every chord is one bar); its progression and the two
  // closing bars keep to the bar lines.
  const std::vector<Chart> charts = UseMetre(kSevenEight);
  for (int target = 1; target <= 64; ++target) {
    GneSeedRandomWith(static_cast<uint32_t>(target));
    Plan(kSevenEight, charts, target);
    int planned = 0;
    for (int i = 0; i < ComposeInfo().section_id_count; ++i) {
      const EventList& list =
          ComposeInfo().section_chords[static_cast<size_t>(ComposeInfo().section_ids[i] - 1)];
      for (int k = 0; k < list.count(); ++k) planned += list[k].length;
    }
    BuildChordProgression();
    const int total = ComposeInfo().TotalChordLength();
    EXPECT_EQ(total % 336, 0) << target;
    EXPECT_EQ(total, planned + 2 * 336) << target;
  }
}

TEST_F(FittingTest, ClosingChordStartsOnABarLine) {
  // Two bars of the template key; the chord before them takes what its bar
  // lacks, so the final tonic starts on a downbeat.
  struct Case {
    Metre metre;
    std::vector<int> chords;
    int before;  // the last chord of the progression as built (0: none)
    int closing;
  };
  const Case cases[] = {
      {kFourFour, {384, 384}, 384, 768},
      {kFourFour, {384, 96}, 384, 768},
      {kFourFour, {192}, 384, 768},
      {kFourFour, {96, 96, 96, 96, 192}, 384, 768},
      {kFourFour, {}, 0, 768},
      {kThreeFour, {288, 576}, 576, 576},
      {kSevenEight, {336}, 336, 672},
  };
  for (const Case& c : cases) {
    CurrentStyle().metre = c.metre.code;
    CurrentStyle().chord_method = 0;
    ComposeInformation& info = ComposeInfo();
    info.Reset();
    info.section_count = 1;
    info.AddSectionId(1);
    for (int len : c.chords) {
      ChordBlock block;
      std::memcpy(block.chord_code, "FMPo", 4);
      block.length = len;
      info.section_chords[0].AppendChordMarker(block);
    }
    BuildChordProgression();
    const int n = info.chord_block_count();
    ASSERT_EQ(n, static_cast<int>(c.chords.size()) + 1);
    const ChordBlock* closing = info.chord_block(n - 1);
    EXPECT_EQ(closing->length, c.closing) << c.metre.name << " " << c.chords.size();
    EXPECT_EQ(std::string(closing->chord_code, 4), "CMPS");
    EXPECT_EQ((info.TotalChordLength() - closing->length) % c.metre.bar, 0);
    if (n >= 2) {
      const ChordBlock* before = info.chord_block(n - 2);
      EXPECT_EQ(before->length, c.before) << c.metre.name << " " << c.chords.size();
      // The stored entry carries the new length too.
      EXPECT_EQ((before->entry[0] << 8) | before->entry[1], c.before);
    }
  }
}

TEST_F(FittingTest, ThreeFourOneBarChordsGrow) {
  // A 3/4 progression of one-bar chords (all a 3/4 chart may hold besides
  // two-bar chords) can be lengthened: each step turns one chord into two bars.
  CurrentStyle().metre = 1;
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  info.AddSectionId(1);
  for (int i = 0; i < 4; ++i) {
    ChordBlock block;
    std::memcpy(block.chord_code, "GMPo", 4);
    block.length = 288;
    info.section_chords[0].AppendChordMarker(block);
  }
  EXPECT_EQ(BuildChordProgression() / BeatsPerBar(), 4 + 2);
  EXPECT_EQ(Fit(11), 10);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(info.section_chords[0][i].length, 576);
  // Shortening takes them back to one bar.
  EXPECT_EQ(Fit(6), 7);  // one bar over the target is within reach
}

}  // namespace
