// Every pattern over many seeds, metres, grids and chord lengths: notes only
// on the part's channel, every sounding pitch one its figure names, every
// block starting on time, the same seed writing the same events, and the
// written song read by mido and midicsv.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "accomp/harmony_patterns.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "util/gne_test_mode.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

struct Pattern {
  int code;
  int density;
  bool blues;
};
const Pattern kPatterns[] = {
    {1, 100, false}, {1, 120, false}, {2, 100, false}, {2, 100, true},  {2, 130, false},
    {2, 150, false}, {28, 160, false}, {62, 100, false}, {62, 130, false}, {3, 100, false},
    {5, 100, false}, {4, 30, false},  {4, 50, false},  {4, 70, false},  {4, 90, false},
    {10, 30, false}, {10, 80, false}, {10, 100, false}, {10, 110, false}, {10, 150, false},
    {8, 50, false},  {8, 70, false},  {8, 90, false},  {8, 120, false}, {9, 100, false},
    {6, 100, false}, {7, 80, false},  {7, 120, false},
    // Each block of these starts with its figure's first step, rest or note.
    {11, 60, false}, {54, 100, false}, {47, 100, false}, {35, 100, false}, {36, 100, false},
    {37, 100, false}, {55, 100, false}, {58, 100, false}, {32, 100, false}, {33, 100, false},
    {50, 100, false}, {59, 100, false}, {60, 100, false}, {38, 100, false}, {39, 100, false},
    {49, 100, false}, {51, 100, false}, {56, 50, false},  {56, 70, false},  {56, 100, false},
    {42, 100, false}, {43, 100, false}, {44, 100, false}, {52, 100, false}, {53, 100, false},
    {57, 100, false}, {61, 100, false},
};

// Codes whose figures may leave a block's start silent (a silent stretch, a
// held chord from before, a kecak opening) or add tones the table below does
// not name for them.
bool StartsEveryBlock(const Pattern& p) {
  switch (p.code) {
    case 10: return !(p.density > 80 && p.density < 140 && p.density != 100);
    case 58: case 57: case 53: case 51: case 49: case 38: case 43: case 60: case 50: case 39:
    case 59: case 55: case 47: case 61:  // 61: a chord of no tones strums nothing
      return false;
    default: return true;
  }
}

// Through the pattern table, as the part writer calls it.
void Play(const Pattern& p, MidiTrack& t) {
  static const EventList kNoMelody;
  FindHarmonyPattern(p.code)(HarmonyPatternCall{kChannel, t, p.code, p.density, kNoMelody});
}

// Chords with every tone, and chords lacking a seventh, a third, a fifth or
// everything (no chord).
const char* const kCodes[] = {"CMPs", "DmPd", "NMPo", "GMPs", "AmPo", "FMPS",
                              "EoPd", "b4Ps", "CMCd", "dMP9", "gmds", "AMA6"};
const int kLengths[] = {96,  144, 168, 192, 200, 240, 288, 336,
                        384, 432, 480, 576, 672, 768};

class NoteSweepTest : public PatternTest {
 protected:
  // A song of 3..9 blocks drawn from the seeded generator.
  static void DrawSong() {
    std::vector<BlockSpec> blocks;
    const int n = GneRandomRange(3, 9);
    for (int i = 0; i < n; ++i) {
      blocks.push_back({kCodes[GneRandomRange(0, 11)], kLengths[GneRandomRange(0, 13)]});
    }
    SetBlocks(blocks);
    // Sections A..F on the chord timeline, or none at all.
    EventList& timeline = ComposeInfo().chord_timeline;
    timeline.FreeEvents();
    if (GneRandomRange(1, 4) == 1) return;
    const char* const kTags[] = {"AXXX", "BXXX", "CXXX", "DXXX", "EXXX", "FXXX"};
    for (int i = 0; i < n; ++i) timeline.AppendSectionTag(blocks[i].length, kTags[GneRandomRange(0, 5)]);
  }

  // The pitch classes a block's figures may sound in the pattern.
  static std::set<int> Allowed(const Pattern& p, const ChordBlock& b) {
    std::set<int> pcs;
    const auto add = [&](int tone, int offset) {
      if (tone != 0) pcs.insert(((tone + offset) % 12 + 12) % 12);
    };
    for (int tone : {int(b.root), int(b.third), int(b.fifth), int(b.seventh)}) add(tone, 0);
    if (p.code == 2 && (p.blues || p.density >= 140)) add(b.fifth, 2);
    if (p.code == 10) {
      add(b.bass, 0);
      add(b.root, 2);   // ninth
      add(b.root, 5);   // eleventh
      add(b.third, -1);
      add(b.bass, 2);
      add(b.third, 15);
      add(b.fifth, 2);
    }
    char w[kToneWeightTextSize];
    BuildToneWeights(b.chord_code, w);
    const auto add_weighed = [&](int level) {
      for (int pc = 0; pc < 12; ++pc)
        if (ToneDigit(w, pc) >= level) pcs.insert(pc);
    };
    switch (p.code) {
      case 35: case 55: add(b.fifth, 2); add(b.root, 2); add(b.bass, 0); break;
      case 37: add(b.root, 2); break;
      case 32: add(b.bass, 0); break;
      case 33: add(b.fifth, 2); add(b.fifth, -2); break;
      case 38: for (int o : {1, 2}) add(b.root, o); add(b.third, 1); add(b.fifth, 1); break;
      case 51: add(b.fifth, -2); break;
      case 52: add(b.bass, 0); break;
      case 11: case 54: add(b.root, 2); add_weighed(ScaleToneLevel); break;
      case 49:  // strong tones; a chord without any lets the search end anywhere
        add_weighed(ChordToneLevel);
        if (std::none_of(w + 4, w + 16, [](char c) { return c - '0' >= ChordToneLevel; }))
          for (int pc = 0; pc < 12; ++pc) pcs.insert(pc);
        break;
      case 56: add_weighed(ScaleToneLevel); break;
      case 57:  // strong tones, or any pitch a search without one ends on
        add_weighed(7);
        if (std::none_of(w + 4, w + 16, [](char c) { return c - '0' >= 7; }))
          for (int pc = 0; pc < 12; ++pc) pcs.insert(pc);
        break;
      case 44: case 47: for (int pc = 0; pc < 12; ++pc) pcs.insert(pc); break;  // chromatic runs, grid degrees
      default: break;
    }
    if (p.code == 7) {
      for (int pc = 0; pc < 12; ++pc)
        if (IsScaleTone(60 + pc, b.chord_code)) pcs.insert(pc);
    }
    if (p.code == 6) {
      bool strong = false;
      for (int pc = 0; pc < 12; ++pc) {
        if (ToneDigit(w, pc) >= ChordToneLevel) {
          pcs.insert(pc);
          strong = true;
        }
      }
      if (!strong)
        for (int pc = 0; pc < 12; ++pc) pcs.insert(pc);  // any drawn pitch
    }
    return pcs;
  }

  static std::string Name(const Setting& s, const Pattern& p, bool bass, uint32_t seed) {
    std::ostringstream o;
    o << "code " << p.code << " density " << p.density << (p.blues ? " blues" : "") << ", "
      << s.name << (bass ? "" : ", no bass") << ", seed " << seed;
    return o.str();
  }

  static void Check(const Setting& s, const Pattern& p, bool bass, uint32_t seed) {
    SCOPED_TRACE(Name(s, p, bass, seed));
    CurrentStyle().parts[kChannel].ornament = p.blues ? 3 : 0;
    SetMetre(s.metre, s.six_eight);
    SetGrid(s.triplet);
    SetBassPart(bass);
    GneSeedRandomWith(seed);
    DrawSong();
    const int n = ComposeInfo().chord_block_count();
    const uint32_t state = GneGetRandomState();
    // A program that bends, so that bent notes keep their pitch (the grace
    // notes of other programs are the emitter's own test).
    MixerRecord mixer;
    PartTrack t;
    WritePartHeader(t, kChannel, 24, mixer, 0);
    RockabillyStabCounter() = SlideCount() = 0;  // as the engine's reset leaves them
    {
      Watchdog watch(Name(s, p, bass, seed));
      Play(p, t);
    }
    GneSetRandomState(state);
    RockabillyStabCounter() = SlideCount() = 0;
    PartTrack again;
    WritePartHeader(again, kChannel, 24, mixer, 0);
    Play(p, again);
    EXPECT_EQ(parts_test::Events(t), parts_test::Events(again)) << "same seed, other events";

    const auto rows = Rows(t);
    std::vector<int64_t> starts;
    for (int i = 0; i <= n; ++i) starts.push_back(BlockStart(i));
    for (int i = 0; i < n; ++i) {
      if (!StartsEveryBlock(p)) break;
      bool first = false;
      for (const NoteRow& r : rows) first = first || std::get<0>(r) == starts[i];
      EXPECT_TRUE(first) << "block " << i << " does not start at " << starts[i];
    }
    for (const NoteRow& r : rows) {
      EXPECT_EQ(std::get<1>(r), kChannel);
      const int64_t at = std::get<0>(r);
      const int pitch = std::get<2>(r), velocity = std::get<3>(r);
      ASSERT_GE(at, 0);
      ASSERT_LT(at, starts[n]) << "a note after the song";
      if (pitch == 0 || velocity == 0) continue;
      EXPECT_GE(pitch, 13);
      EXPECT_LE(pitch, 127);
      EXPECT_LE(velocity, 127);
      const int i = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
      std::set<int> allowed = Allowed(p, Block(i));
      // The cha-cha-cha in triplets is shuffled on quarters after it is
      // written: a note near a block edge that is no quarter may cross it.
      if (p.code == 55 && s.triplet) {
        for (int k : {i - 1, i + 1}) {
          if (k < 0 || k >= n) continue;
          const std::set<int> more = Allowed(p, Block(k));
          allowed.insert(more.begin(), more.end());
        }
      }
      EXPECT_TRUE(allowed.count(pitch % 12))
          << "pitch " << pitch << " at " << at << " in block " << i << " " << Block(i).chord_code
          << " (" << int(Block(i).root) << " " << int(Block(i).third) << " " << int(Block(i).fifth)
          << " " << int(Block(i).seventh) << ")";
    }
  }
};

TEST_F(NoteSweepTest, NotesOverManySeeds) {
  for (const Pattern& p : kPatterns) {
    for (const Setting& s : kSettings) {
      for (bool bass : {true, false}) {
        for (uint32_t seed = 1; seed <= 6; ++seed) Check(s, p, bass, seed * 7919 + p.code);
        if (HasFailure()) return;
      }
    }
  }
}

// The same with every draw the least of three: the rare branches, "one
// chance in n" figures and redraw loops run often.
TEST_F(NoteSweepTest, NotesUnderLowDraws) {
  GneSetBiasedLowForTests(true);
  for (const Pattern& p : kPatterns) {
    for (const Setting& s : kSettings) {
      for (uint32_t seed = 1; seed <= 4; ++seed) Check(s, p, seed % 2 == 0, seed * 104729 + p.code);
      if (HasFailure()) break;
    }
    if (HasFailure()) break;
  }
  GneSetBiasedLowForTests(false);
}

// The written part loads in mido and midicsv with its notes where the track
// has them.
TEST_F(NoteSweepTest, WrittenSongLoads) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  for (const Pattern& p : kPatterns) {
    SCOPED_TRACE(p.code);
    GneSeedRandomWith(40 + p.code);
    DrawSong();
    PartTrack t;
    MixerRecord mixer;
    WritePartHeader(t, kChannel, 24, mixer, 0);
    AddNote(t, kChannel, 0, 0, 0, 0);
    Play(p, t);
    CloseTrack(t);
    const auto notes = Sounding(t);
    const auto path = parts_test::WriteJoined({&t}, "pattern.mid");
    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
    size_t mido_notes = 0;
    for (const std::string& l : lines) mido_notes += l.rfind("note 3 ", 0) == 0;
    EXPECT_EQ(mido_notes, notes.size());
    int status = 0;
    const std::string csv = parts_test::RunMidicsv(path, &status);
    EXPECT_EQ(status, 0);
    size_t on = 0;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
      if (line.find("Note_on_c, 3,") != std::string::npos && line.rfind(", 0") != line.size() - 3) ++on;
    }
    EXPECT_EQ(on, notes.size());
  }
}

}  // namespace
}  // namespace pattern_test
