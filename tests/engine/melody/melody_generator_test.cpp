// The melody generator over many seeds: lengths, onsets, weights and leaps,
// and the generator's edge cases.
#include <cstdlib>
#include <map>
#include <set>

#include "engine/pattern_db.h"
#include "style/engine_services.h"
#include "tests/engine/melody/melody_fixture.h"
#include "tests/support/digest.h"

namespace {

using melody_test::AddChord;
using melody_test::ChordSpan;
using melody_test::PlainMelodyPart;
using melody_test::SplitByChord;

// The key's own chords of C major.
const char* const kDiatonic[] = {"CMPo", "DmPo", "EmPo", "FMPo", "GMPo", "AmPo",
                                 "CMPS", "DmPs", "EmPs", "FMPS", "GMPs", "AmPs"};

class MelodyGeneratorTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SelectMajorTimingDatabases();
    ASSERT_EQ(LoadPatternDatabases(), 1);
  }

  static void Weights(const std::string& code, char* w) { BuildToneWeights(code.c_str(), w); }

  // The style's melody settings and the melody part drawn with the system's generator, the
  // scale from `scales`.
  static const PartRecord& DrawStyleAndPart(std::initializer_list<int> scales) {
    StyleRecord& s = CurrentStyle();
    s.metre = GneRandomRange(0, 1);
    s.basic_beat = GneRandomRange(0, 3);
    s.scale = scales.begin()[GneRandomRange(0, static_cast<int>(scales.size()) - 1)];
    s.melody_table_mode = GneRandomRange(0, 2);
    for (int& v : s.melody_intervals) v = GneRandomRange(0, 100);
    for (int& v : s.melody_directions) v = GneRandomRange(-50, 50);
    s.MTAdjustF = GneRandomRange(0, 1);
    s.MTAdjustL = GneRandomRange(0, 1);
    s.MTNoCnt = GneRandomRange(0, 1);
    s.density[1] = 20 * GneRandomRange(1, 8);
    PartRecord& p = PlainMelodyPart();
    p.note_length = GneRandomRange(1, 10);
    p.algorithm = GneRandomRange(1, 7);
    p.dissonance = (const int[]){0, 4, 9, 10}[GneRandomRange(0, 3)];
    p.syncopation = GneRandomRange(0, 1);
    p.tension = GneRandomRange(0, 2);
    p.rhythm_repeat = GneRandomRange(0, 2);
    p.melody_repeat = GneRandomRange(0, 2);
    p.algorithm_param = GneRandomRange(0, 1);
    return p;
  }

  // A random chord list of whole eighths (bars of the metre, halves and
  // doubles of them), drawn with the system's generator.
  static void RandomChords(EventList* list, int count, int bar) {
    for (int i = 0; i < count; ++i) {
      const int pick = GneRandomRange(0, 5);
      int length = bar;
      if (pick == 4) length = 2 * bar;
      if (pick == 5) length = bar / 2 - (bar / 2) % 48;
      AddChord(list, kDiatonic[GneRandomRange(0, 11)], length);
    }
  }
};

// ---- The generator's output, pinned ------------------------------------------

// Every event the generator writes for many seeded styles, parts and chord lists (every
// algorithm, rhythm type, repeat and ending setting), folded into a digest: the generator's
// steps may be rearranged, the melodies it writes stay the same.
TEST_F(MelodyGeneratorTest, OutputOverManySeedsIsPinned) {
  cantrel_test::Digest digest;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    ResetEngineState();
    LoadPatternDatabases();
    GneSeedRandomWith(seed);
    DrawStyleAndPart({1, 7, 2, 21});  // 21: flamenco
    EventList chords;
    EventList out;
    RandomChords(&chords, GneRandomRange(1, 12), BarLengthOfMetre());
    const int sections = GneRandomRange(1, 3);
    GenerateMelodyPart(GneRandomRange(0, sections - 1), 1, chords, &out, sections,
                       GneRandomRange(0, 1));
    digest.Int(out.count());
    for (int i = 0; i < out.count(); ++i) {
      const ComposeEvent& e = out[i];
      for (int32_t v : {e.length, e.pitch, e.kind}) digest.Int(v);
      digest.Bytes(e.chord_code, 4);
    }
  }
  EXPECT_EQ(digest.value, 0xa70aadb1e39f4a49ull);
}

// ---- Properties over many seeds --------------------------------------------

TEST_F(MelodyGeneratorTest, NotesFillEveryChordAndStartOnTheGrid) {
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    ResetEngineState();
    LoadPatternDatabases();
    GneSeedRandomWith(seed);
    const StyleRecord& s = CurrentStyle();
    const PartRecord& p = DrawStyleAndPart({1, 7});
    const int bar = BarLengthOfMetre();
    EventList chords;
    EventList out;
    RandomChords(&chords, GneRandomRange(1, 12), bar);
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);

    SCOPED_TRACE(::testing::Message() << "seed " << seed << " type " << p.note_length << " alg "
                                      << p.algorithm << " beat " << s.basic_beat);
    const std::vector<ChordSpan> spans = SplitByChord(out);
    ASSERT_EQ(spans.size(), static_cast<size_t>(chords.count()));
    const bool swing = p.note_length == kRhythmBouncing && s.metre == 0 && s.basic_beat != 3;
    int carry = 0;
    int list_total = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
      const ChordSpan& span = spans[i];
      const int diff = span.NoteTotal() - span.length;
      if (swing) {
        ASSERT_TRUE(diff == 48 - carry || diff == -carry) << "chord " << i << " diff " << diff;
        carry += diff;
      } else {
        ASSERT_EQ(diff, 0) << "chord " << i;
      }
      list_total += span.NoteTotal();
      // Onsets on the grid of the rhythm.
      if (p.note_length != kRhythmBouncing && (s.basic_beat == 0 || s.basic_beat == 3)) {
        const int grid = s.basic_beat == 0 ? 12 : 16;
        int t = 0;
        for (const ComposeEvent& e : span.notes) {
          ASSERT_EQ(t % grid, 0) << "chord " << i << " onset " << t;
          ASSERT_GT(e.length, 0);
          t += e.length;
        }
      }
    }
    ASSERT_EQ(list_total, SumOfEventLengths(chords));
  }
}

TEST_F(MelodyGeneratorTest, SoundingNotesWeighAtLeastFourAndLeapAtMostAnOctave) {
  int sounding = 0;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    ResetEngineState();
    LoadPatternDatabases();
    GneSeedRandomWith(seed * 7919u);
    StyleRecord& s = CurrentStyle();
    s.metre = GneRandomRange(0, 1);
    s.basic_beat = GneRandomRange(0, 1) * 3;
    // The diatonic scales, whose chords are the key's own.
    s.scale = GneRandomRange(1, 2) == 1 ? 1 : 7;
    PartRecord& p = PlainMelodyPart();
    p.note_length = GneRandomRange(1, 10);
    p.algorithm = GneRandomRange(1, 4);
    p.dissonance = (const int[]){4, 9, 10}[GneRandomRange(0, 2)];
    p.syncopation = GneRandomRange(0, 1);
    p.melody_repeat = GneRandomRange(0, 2);
    p.rhythm_repeat = GneRandomRange(0, 2);
    p.algorithm_param = GneRandomRange(0, 1);
    p.range_low = GneRandomRange(48, 64);
    p.range_high = p.range_low + GneRandomRange(20, 24);
    EventList chords;
    EventList out;
    RandomChords(&chords, 8, BarLengthOfMetre());
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);

    SCOPED_TRACE(::testing::Message() << "seed " << seed << " alg " << p.algorithm << " scale "
                                      << s.scale << " dissonance " << p.dissonance << " param " << p.algorithm_param << " range " << p.range_low << ".." << p.range_high);
    char w[kToneWeightTextSize] = {};
    int previous = 0;
    for (int i = 0; i < out.count(); ++i) {
      const ComposeEvent& e = out[i];
      if (e.kind == kEventChordMarker) {
        Weights(std::string(e.chord_code, 4), w);
        continue;
      }
      if (e.kind != kEventNote) continue;
      if (e.pitch > 0) {
        ++sounding;
        const int weight = ToneDigit(w, PitchClassOf(e.pitch));
        // The leap limit may keep the previous pitch whatever it weighs.
        EXPECT_TRUE(weight >= 4 || e.pitch == previous)
            << "event " << i << " pitch " << e.pitch << " weighs " << weight << " in " << w;
        if (previous > 0) {
          EXPECT_LE(std::abs(e.pitch - previous), 12) << "event " << i;
        }
        EXPECT_GE(e.pitch, p.range_low);
        EXPECT_LE(e.pitch, p.range_high);
      }
      previous = e.pitch;
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(sounding, 4000);
}

TEST_F(MelodyGeneratorTest, LeapsStayWithinAnOctaveForEveryAlgorithmButLeapControl) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    ResetEngineState();
    LoadPatternDatabases();
    GneSeedRandomWith(seed * 31u);
    StyleRecord& s = CurrentStyle();
    s.basic_beat = GneRandomRange(0, 3);
    s.melody_table_mode = GneRandomRange(0, 2);
    for (int& v : s.melody_intervals) v = GneRandomRange(0, 100);
    PartRecord& p = PlainMelodyPart();
    const int algorithms[] = {1, 2, 3, 4, 6, 7};
    p.algorithm = algorithms[GneRandomRange(0, 5)];
    p.note_length = GneRandomRange(1, 10);
    p.dissonance = (const int[]){0, 4, 9, 10}[GneRandomRange(0, 3)];
    p.tension = GneRandomRange(0, 2);
    p.melody_repeat = GneRandomRange(0, 2);
    p.algorithm_param = GneRandomRange(0, 1);
    p.range_low = GneRandomRange(40, 70);
    p.range_high = p.range_low + GneRandomRange(5, 24);
    EventList chords;
    EventList out;
    RandomChords(&chords, 8, BarLengthOfMetre());
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);
    int previous = 0;
    for (int i = 0; i < out.count(); ++i) {
      const ComposeEvent& e = out[i];
      if (e.kind != kEventNote) continue;
      if (e.pitch > 0 && previous > 0) {
        ASSERT_LE(std::abs(e.pitch - previous), 12)
            << "seed " << seed << " alg " << p.algorithm << " event " << i;
      }
      previous = e.pitch;
    }
  }
}

TEST_F(MelodyGeneratorTest, StrictDissonanceFitsOnlyChordTones) {
  PartRecord& p = PlainMelodyPart();
  int chord_tones = 0;
  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    GneSeedRandomWith(seed);
    p.dissonance = GneRandomRange(9, 10);
    const std::string code = kDiatonic[GneRandomRange(0, 11)];
    char w[kToneWeightTextSize];
    Weights(code, w);
    const int n = GneRandomRange(1, 127);
    const int p1 = GneRandomRange(0, 3) == 0 ? 0 : GneRandomRange(60, 84);
    const int len = 24 * GneRandomRange(1, 8);
    const int c = GneRandomRange(0, 8);
    const int r = FitPitchToWeights(n, w, len, c, p1, 0, 1);
    const bool kept = r == p1;
    ASSERT_TRUE(r == 0 || ToneDigit(w, PitchClassOf(r)) == 9 || kept)
        << "seed " << seed << " n " << n << " -> " << r;
    if (r != 0 && !kept) ++chord_tones;
  }
  EXPECT_GT(chord_tones, 1000);
}

TEST_F(MelodyGeneratorTest, SameSeedSameListForEveryAlgorithm) {
  for (int algorithm = 1; algorithm <= 7; ++algorithm) {
    auto run = [algorithm](uint32_t seed) {
      ResetEngineState();
      LoadPatternDatabases();
      PartRecord& p = PlainMelodyPart();
      p.algorithm = algorithm;
      p.note_length = 5;
      GneSeedRandomWith(seed);
      EventList chords;
      EventList out;
      for (const char* code : kDiatonic) AddChord(&chords, code, 384);
      GenerateMelodyPart(0, 1, chords, &out, 1, 1);
      std::vector<std::pair<int, int>> v;
      for (int i = 0; i < out.count(); ++i) v.emplace_back(out[i].length, out[i].pitch);
      return v;
    };
    const auto a = run(99);
    run(100);
    EXPECT_EQ(run(99), a) << "algorithm " << algorithm;
  }
}

// ---- Edge cases ------------------------------------------------------------

TEST_F(MelodyGeneratorTest, OneChordOfTheMiddlePitch) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 7;
  p.note_length = 1;
  CurrentStyle().density[1] = 160;  // rest level 1: no density rests
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    GneSeedRandomWith(seed);
    EventList chords;
    EventList out;
    AddChord(&chords, "CMPo", 384);
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);
    ASSERT_GE(out.count(), 2);
    EXPECT_EQ(out[0].kind, kEventChordMarker);
    int total = 0;
    for (int i = 1; i < out.count(); ++i) {
      EXPECT_TRUE(out[i].pitch == 72 || out[i].pitch == 0) << out[i].pitch;
      total += out[i].length;
    }
    EXPECT_EQ(total, 384);
  }
}

TEST_F(MelodyGeneratorTest, RhythmRepetitionCopiesTheFirstChordsLengths) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 7;
  p.rhythm_repeat = 2;
  p.note_length = 1;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    EventList chords;
    EventList out;
    AddChord(&chords, "CMPo", 384);
    AddChord(&chords, "GMPo", 384);
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);
    const auto spans = SplitByChord(out);
    ASSERT_EQ(spans.size(), 2u);
    ASSERT_EQ(spans[0].notes.size(), spans[1].notes.size()) << "seed " << seed;
    for (size_t i = 0; i < spans[0].notes.size(); ++i)
      EXPECT_EQ(spans[0].notes[i].length, spans[1].notes[i].length);
  }
}

TEST_F(MelodyGeneratorTest, MelodyRepetitionRepeatsIntervalsAndRests) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 2;
  p.rhythm_repeat = 2;
  p.melody_repeat = 2;
  p.dissonance = 0;
  p.range_low = 36;
  p.range_high = 96;
  CurrentStyle().density[1] = 160;
  int repeated_rests = 0;
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    GneSeedRandomWith(seed);
    EventList chords;
    EventList out;
    AddChord(&chords, "CMPo", 384);
    AddChord(&chords, "CMPo", 384);
    GenerateMelodyPart(0, 1, chords, &out, 1, 1);
    const auto spans = SplitByChord(out);
    ASSERT_EQ(spans.size(), 2u);
    const auto& a = spans[0].notes;
    const auto& b = spans[1].notes;
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 1; i < a.size(); ++i) {
      // A rest of the first chord is a rest in the second.
      if (a[i].pitch == 0 && a[i - 1].pitch != 0) {
        EXPECT_EQ(b[i].pitch, 0) << "seed " << seed << " note " << i;
        ++repeated_rests;
      }
    }
  }
  EXPECT_GT(repeated_rests, 5);
}

TEST_F(MelodyGeneratorTest, OctaveLimitMovesLeapsOfMoreThanAnOctave) {
  struct Case {
    int pitch, p1, result;
  };
  const Case cases[] = {{73, 60, 61}, {72, 60, 72}, {47, 60, 59}, {48, 60, 48},
                        {0, 60, 0},   {80, 0, 80},  {99, 60, 87}};
  for (const Case& c : cases) EXPECT_EQ(OctaveLimit(c.pitch, c.p1), c.result) << c.pitch;
}

TEST_F(MelodyGeneratorTest, LastSectionStopsOnAChordToneAndRests) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 3;
  p.note_length = 1;
  CurrentStyle().density[1] = 160;
  int stopped = 0;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    GneSeedRandomWith(seed);
    EventList chords;
    EventList out;
    AddChord(&chords, "FMPo", 384);
    AddChord(&chords, "CMPo", 768);
    GenerateMelodyPart(1, 1, chords, &out, 2, 0);
    const auto spans = SplitByChord(out);
    ASSERT_EQ(spans.size(), 2u);
    const auto& last = spans[1].notes;
    EXPECT_EQ(spans[1].NoteTotal(), 768);
    // The first chord tone after the start ends the melody; rests of at most
    // 384 ticks follow.
    ChordEntry entry;
    entry.length = 768;
    std::memcpy(entry.code, "CMPo", 4);
    const ChordBlock block(entry, nullptr);
    int t = 0;
    size_t i = 0;
    for (; i < last.size(); ++i) {
      t += last[i].length;
      if (last[i].pitch > 0 && block.IsChordTone(last[i].pitch)) break;
    }
    if (i < last.size()) {
      if (i + 1 < last.size()) ++stopped;
      for (size_t j = i + 1; j < last.size(); ++j) {
        EXPECT_EQ(last[j].pitch, 0);
        EXPECT_LE(last[j].length, 384);
      }
    }
  }
  EXPECT_GT(stopped, 10);
}

TEST_F(MelodyGeneratorTest, PedalEventsAroundEveryChord) {
  PlainMelodyPart();
  CurrentStyle().mixer[1].reserved[0] = 64;
  GneSeedRandomWith(3);
  EventList chords;
  EventList out;
  AddChord(&chords, "CMPo", 384);
  AddChord(&chords, "FMPo", 384);
  AddChord(&chords, "GMPo", 384);
  GenerateMelodyPart(0, 1, chords, &out, 1, 1);
  std::vector<int> controls;
  std::vector<int> marker_at;
  for (int i = 0; i < out.count(); ++i) {
    if (out[i].kind == kEventControl) {
      controls.push_back(out[i].pitch);
      EXPECT_EQ(out[i].length, 0);
    }
    if (out[i].kind == kEventChordMarker) marker_at.push_back(i);
  }
  EXPECT_EQ(controls, (std::vector<int>{64, 0, 64, 0, 64, 0}));
  ASSERT_EQ(out[0].kind, kEventControl);
  EXPECT_EQ(out[out.count() - 1].kind, kEventControl);
}

TEST_F(MelodyGeneratorTest, BadAlgorithmIsReportedAndRests) {
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 9;
  GneSeedRandomWith(1);
  EventList chords;
  EventList out;
  AddChord(&chords, "CMPo", 384);
  GenerateMelodyPart(0, 1, chords, &out, 1, 1);
  EXPECT_GT(ErrorCount(melody_error::kAlgorithm), 0);
  int total = 0;
  for (int i = 1; i < out.count(); ++i) {
    EXPECT_EQ(out[i].pitch, 0);
    total += out[i].length;
  }
  EXPECT_EQ(total, 384);
}

TEST_F(MelodyGeneratorTest, LongChordListsAndLongChordsNeedNoFixedMemory) {
  // 600 chords, some longer than a stored entry holds, with both memories on.
  PartRecord& p = PlainMelodyPart();
  p.algorithm = 6;
  p.rhythm_repeat = 2;
  p.melody_repeat = 2;
  p.note_length = 1;
  CurrentStyle().basic_beat = 3;  // many short notes
  GneSeedRandomWith(11);
  EventList chords;
  EventList out;
  for (int i = 0; i < 600; ++i) AddChord(&chords, kDiatonic[i % 12], i == 599 ? 70000 : 384);
  GenerateMelodyPart(0, 1, chords, &out, 1, 1);
  const auto spans = SplitByChord(out);
  ASSERT_EQ(spans.size(), 600u);
  for (const ChordSpan& s : spans) EXPECT_EQ(s.NoteTotal(), s.length);
  EXPECT_EQ(spans.back().length, 70000);
}

// ---- Filters -----------------------------------------------------------------

TEST_F(MelodyGeneratorTest, RequiredWeightByDissonance) {
  struct Case {
    int dissonance;
    int len;
    int c;
    int low;
    int high;
  };
  const Case cases[] = {
      {0, 48, 2, 4, 9},  {4, 48, 2, 4, 9},   {9, 48, 2, 9, 9},
      {10, 48, 2, 9, 9}, {10, 24, 1, 9, 10}, {0, 24, 1, 0, 9},
  };
  PartRecord& p = PlainMelodyPart();
  for (const Case& c : cases) {
    p.dissonance = c.dissonance;
    std::set<int> seen;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
      GneSeedRandomWith(seed);
      seen.insert(RequiredWeight(c.len, c.c, 1));
    }
    EXPECT_EQ(*seen.begin(), c.low) << c.dissonance;
    EXPECT_EQ(*seen.rbegin(), c.high) << c.dissonance;
  }
}

TEST_F(MelodyGeneratorTest, RepeatedPitchAndLeapLimit) {
  struct RepeatCase {
    int n, p1, len, q;
    int result, need_after;
  };
  const RepeatCase repeats[] = {
      {60, 62, 96, 48, 60, 5},  // not a repeat
      {60, 60, 96, 48, 0, 5},   // a repeated quarter off the bar start rests
      {60, 60, 96, 0, 60, 6},   // at the bar start it stays, asking more
      {60, 60, 48, 48, 60, 6},
      {60, 60, 48, 48, 60, 9},  // need capped at 9 (from 9)
  };
  for (const RepeatCase& c : repeats) {
    int need = c.need_after == 9 ? 9 : 5;
    EXPECT_EQ(AvoidRepeatedPitch(c.n, c.p1, &need, c.len, c.q), c.result);
    EXPECT_EQ(need, c.need_after);
  }

  PartRecord& p = PlainMelodyPart();
  struct LeapCase {
    int h, p1, density;
    bool stop;
    int after;
  };
  const LeapCase leaps[] = {
      {60, 0, 100, false, 60},   // no previous pitch
      {80, 60, 100, false, 80},  // under two octaves
      {40, 70, 100, true, 70},   // two octaves and more outside 70..110: keeps p1
      {100, 60, 80, true, 60},   // rest level 5 inside 70..110: always stops
      {100, 60, 160, false, 100},  // rest level 1: goes on
  };
  for (const LeapCase& c : leaps) {
    CurrentStyle().density[1] = c.density;
    int h = c.h;
    EXPECT_EQ(LimitLeap(&h, c.p1, 1), c.stop) << c.h << " from " << c.p1;
    EXPECT_EQ(h, c.after);
  }
  (void)p;
}

TEST_F(MelodyGeneratorTest, SplitLengthAlwaysAddsUp) {
  struct Case {
    int total, count, unit;
    bool ok;
  };
  const Case cases[] = {{192, 3, 48, true}, {96, 2, 24, true}, {96, 3, 24, true},
                        {200, 3, 48, true}, {144, 2, 48, true}, {96, 3, 48, false},
                        {40, 2, 24, false}, {288, 2, 48, true}};
  for (const Case& c : cases) {
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      GneSeedRandomWith(seed);
      int parts[3] = {};
      ASSERT_EQ(SplitLength(c.total, c.count, c.unit, parts), c.ok);
      if (!c.ok) continue;
      int sum = 0;
      for (int i = 0; i < c.count; ++i) {
        EXPECT_GT(parts[i], 0);
        sum += parts[i];
      }
      EXPECT_EQ(sum, c.total) << c.total << "/" << c.count << "/" << c.unit;
    }
  }
}

TEST_F(MelodyGeneratorTest, DownwardSearchesStopAtPitchZero) {
  char none[kToneWeightTextSize];
  std::memcpy(none, "xxxx000000000000", 17);
  char c_only[kToneWeightTextSize];
  std::memcpy(c_only, "xxxx900000000000", 17);
  struct Case {
    const char* weights;
    int pitch;
    int result;
  };
  const Case cases[] = {{none, 60, 0}, {c_only, 61, 60}, {c_only, 60, 48}, {c_only, 5, 0},
                        {c_only, 0, 0}};
  for (const Case& c : cases) {
    int pitch = c.pitch;
    StepDownToStrongTone(&pitch, c.weights);
    EXPECT_EQ(pitch, c.result) << c.pitch;
  }
}

TEST_F(MelodyGeneratorTest, TensionNotesNearThePreviousPitch) {
  PartRecord& p = PlainMelodyPart();
  ChordEntry entry;
  entry.length = 384;
  std::memcpy(entry.code, "CMPs", 4);  // C E G B-flat
  const ChordBlock block(entry, nullptr);
  p.tension = 2;
  // At the bar start the ninth (D) is taken when it lies near p1.
  EXPECT_EQ(ApplyTension(64, 0, block, 63, 96, 1), 62);
  // Nothing near: unchanged.
  EXPECT_EQ(ApplyTension(64, 0, block, 80, 96, 1), 64);
  p.tension = 0;
  EXPECT_EQ(ApplyTension(64, 0, block, 63, 96, 1), 64);
  // Blue notes: after an E-flat (p1 class 3) half the time a D.
  p.tension = 1;
  p.dissonance = 4;
  std::set<int> seen;
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    seen.insert(ApplyTension(64, 48, block, 63, 96, 1));
  }
  EXPECT_TRUE(seen.count(62));
  // Longer than a quarter: no blue note.
  EXPECT_EQ(ApplyTension(64, 48, block, 63, 192, 1), 64);
}

TEST_F(MelodyGeneratorTest, FlamencoPhrygianTones) {
  ChordEntry entry;
  entry.length = 384;
  std::memcpy(entry.code, "EMPo", 4);  // E G# B
  const ChordBlock e_major(entry, nullptr);
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    const int n = FlamencoAdjust(67, e_major, 64, 60);  // a G over E major
    // G becomes G# (the chord's third) or E.
    EXPECT_TRUE(n == 68 || n == 64) << n;
    EXPECT_EQ(FlamencoAdjust(0, e_major, 64, 60), 0);
  }
}

// Chords that fit the style's 3/4 or 7/8 bars compose without a report; chords of another
// length (a style's own progression in the wrong metre) are reported once for the part, not
// once per chord, and the melody is still written over every chord; the user's own chords
// (method 8) are never reported.
TEST_F(MelodyGeneratorTest, ChordsOutsideTheMetreAreReportedOncePerPart) {
  struct Case {
    int metre, method, length;
    ProgramErrorCode code;  // 0: no report
  };
  const Case cases[] = {
      {2, 0, 336, 0},
      {2, 0, 384, melody_error::kSevenEight},
      {2, 8, 384, 0},
      {1, 0, 288, 0},
      {1, 0, 576, 0},
      {1, 0, 384, melody_error::kTripleMetre},
      {0, 0, 384, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "metre " << c.metre << ", method " << c.method
                                      << ", chords of " << c.length);
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      cantrel_test::Sink().Clear();
      GneSeedRandomWith(seed);
      DrawStyleAndPart({1});
      CurrentStyle().metre = c.metre;
      CurrentStyle().chord_method = c.method;
      EventList chords, out;
      for (int i = 0; i < 16; ++i) AddChord(&chords, kDiatonic[i % 12], c.length);
      ASSERT_EQ(GenerateMelodyPart(0, 1, chords, &out, 1, 1), 1);
      EXPECT_EQ(SplitByChord(out).size(), 16u);
      EXPECT_EQ(ErrorCount(melody_error::kSevenEight) + ErrorCount(melody_error::kTripleMetre),
                c.code == 0 ? 0 : 1);
      if (c.code != 0) EXPECT_EQ(ErrorCount(c.code), 1);
    }
  }
}

}  // namespace
