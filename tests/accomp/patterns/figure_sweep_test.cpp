// The held-chord, riff, dance and line patterns over many seeds, metres,
// grids and chord lengths: notes only on the part's channel, every sounding
// pitch one its figure names, blocks starting on time, the same seed writing
// the same events, and the written song read by mido and midicsv.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "accomp/complex_arpeggio.h"
#include "accomp/mersey_beat.h"
#include "accomp/rhythmical_patterns.h"
#include "accomp/riff_patterns.h"
#include "accomp/tango_march.h"
#include "accomp/whole_note_patterns.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "tests/accomp/patterns/figure_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

// Tone indexes of the offsets a figure may add: root, third, fifth, seventh,
// bass.
enum { R, T, F, S, B };
struct Offset {
  int tone, semitones;
};

struct Pattern {
  int code;
  int density;
  std::vector<Offset> extras;  // beyond the chord tones
  bool scale = false;          // scale tones of the chord may sound
  bool strong = false;         // tones of weight 8 or more may sound
  bool grace = false;          // a semitone below a scale tone may sound
  bool silent_steps = false;   // a block may open with a step that writes nothing
};

// Code 25's degrees where the chord has no weights to raise them by, and a
// semitone below each (its grace notes).
const std::vector<Offset> kDegrees = {{R, 2}, {F, -2}, {R, -1}, {R, 1}, {T, -1},
                                      {F, -3}, {F, -1}, {S, -1}};

// The riff tone codes' offsets (kept as they are where the chord has no
// weights to raise them by).
const std::vector<Offset> kRiffTones = {{R, 2}, {F, 2}, {F, -2}};

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> kPatterns = {
      {12, 40, {}}, {12, 70, {}}, {12, 90, {}}, {12, 110, {}}, {12, 130, {}},
      {12, 170, {{B, 0}}}, {12, 190, {}}, {12, 200, {}},
      {13, 100, {}}, {14, 100, {{F, 2}, {R, 2}}}, {15, 100, {}},
      {17, 60, {{B, 2}, {T, 3}, {B, 0}, {F, 2}}}, {17, 160, {{B, 2}, {T, 3}, {B, 0}, {F, 2}}},
      {18, 100, {}},
      {16, 100, {}, false, true}, {16, 130, {}, false, true},
      {19, 100, {{B, 0}, {F, 2}}},
      {20, 60, {{R, 2}, {F, 2}, {R, 9}}}, {20, 110, {{R, 2}, {F, 2}}},
      {20, 130, {{R, 2}, {F, 2}}},
      {29, 60, {{T, -1}}}, {29, 100, {{T, -1}}},
      {21, 100, {}}, {22, 100, {}, true}, {22, 130, {}, true},
      {23, 100, {{F, 2}, {F, 1}, {F, -2}}}, {26, 100, {{R, 11}, {R, 8}, {R, 7}, {R, 3}, {R, 2}}},
      {31, 100, {{R, 2}, {R, 5}, {F, 2}}, false, false, false, true},
      {24, 60, {{B, 0}}, true}, {24, 100, {{B, 0}}, true},
      {25, 30, {}, false, false, false, true}, {25, 60, kDegrees, true, false, true, true},
      {25, 100, kDegrees, true, false, true, true}, {25, 130, {}, false, false, false, true},
      {27, 100, {{T, -1}, {R, 2}, {F, 2}, {F, -2}, {R, -1}, {R, 1}}},
      {30, 100, {{R, 2}, {F, -2}, {F, 2}}, false, false, false, true},
      {30, 120, {{R, 2}, {F, -2}, {F, 2}}, false, false, false, true},
      {40, 100, kRiffTones, true, false, false, true},
      {41, 100, kRiffTones, true, false, false, true},
      {46, 100, kRiffTones, true, false, false, true}, {45, 100, {{F, -2}, {R, 2}}},
  };
  return kPatterns;
}

// A melody for code 23: notes in some blocks, rests in others.
const EventList& Melody() {
  static EventList melody;
  if (melody.count() == 0) {
    for (int k = 0; k < 40; ++k) melody.AppendNote(k % 3 == 0 ? 384 : 96, k % 3 == 0 ? 0 : 67);
  }
  return melody;
}

void Play(const Pattern& p, MidiTrack& t) {
  const int d = p.density;
  switch (p.code) {
    case 12: return GenerateWholeNotePattern(kChannel, t, d);
    case 13: return GenerateArpeggioPattern(kChannel, t);
    case 14: return GenerateTechnoPattern(kChannel, t);
    case 15: return GenerateHipHopPattern(kChannel, t);
    case 17: return GenerateRhythmicalTechnoPattern(kChannel, t);
    case 18: return GenerateRapTechnoPattern(kChannel, t);
    case 16: return GenerateSuperSlowStrokePattern(kChannel, t, d);
    case 19: return GenerateRhythmicalPattern(kChannel, t);
    case 20: return GenerateRhythmicPattern(kChannel, t, d);
    case 29: return GenerateAccentStroke(kChannel, t, d);
    case 21: return GenerateTangoPattern(kChannel, t);
    case 22: return GenerateEnkaPattern(kChannel, t, d);
    case 23: return GenerateTango2Pattern(kChannel, t, Melody());
    case 26: return GenerateMiddleEasternPattern(kChannel, t);
    case 31: return GenerateMarchPattern(kChannel, t);
    case 24: return GenerateMelodicLinePattern(kChannel, t, d);
    case 25: return GenerateComplexArpeggioPattern(kChannel, t, d);
    case 27: return GenerateMerseyBeatPattern(kChannel, t);
    case 30: return GenerateRiffPattern(kChannel, t);
    case 45: return GenerateStrokeRiffPattern(kChannel, t);
    case 41: {
      // The stored riff of an earlier part of the song.
      PartTrack earlier;
      GenerateRhythmRiffPattern(kChannel, earlier, 40);
      return GenerateRhythmRiffPattern(kChannel, t, 41);
    }
    default: return GenerateRhythmRiffPattern(kChannel, t, p.code);
  }
}

// Chords with every tone, and chords lacking a seventh, a third, a fifth or
// everything (no chord).
const char* const kCodes[] = {"CMPs", "DmPd", "NMPo", "GMPs", "AmPo", "FMPS",
                              "EoPd", "b4Ps", "CMCd", "dMP9", "gmds", "AMA6"};
const int kLengths[] = {96, 144, 168, 192, 240, 288, 336, 384, 432, 480, 576, 672, 768};
constexpr int kLengthCount = sizeof kLengths / sizeof kLengths[0];

class FigureSweepTest : public PatternTest {
 protected:
  // A song of 3..12 blocks drawn from the seeded generator, with sections.
  static void DrawSong() {
    std::vector<BlockSpec> blocks;
    const int n = GneRandomRange(3, 12);
    for (int i = 0; i < n; ++i) {
      blocks.push_back({kCodes[GneRandomRange(0, 11)], kLengths[GneRandomRange(0, kLengthCount - 1)]});
    }
    SetBlocks(blocks);
    EventList& timeline = ComposeInfo().chord_timeline;
    timeline.FreeEvents();
    char tag[4] = {'A', 'X', 'X', 'X'};
    for (int i = 0; i < n; ++i) {
      if (GneRandomRange(1, 3) == 1) tag[0] = static_cast<char>('A' + GneRandomRange(0, 2));
      timeline.AppendSectionTag(blocks[static_cast<size_t>(i)].length, tag);
    }
  }

  static std::set<int> Allowed(const Pattern& p, const ChordBlock& b) {
    std::set<int> pcs;
    const int tones[5] = {b.root, b.third, b.fifth, b.seventh, b.bass};
    for (int k = 0; k < 4; ++k)
      if (tones[k] != 0) pcs.insert(tones[k] % 12);
    for (const Offset& o : p.extras) {
      if (tones[o.tone] != 0) pcs.insert(((tones[o.tone] + o.semitones) % 12 + 12) % 12);
    }
    char w[kToneWeightTextSize];
    BuildToneWeights(b.chord_code, w);
    for (int pc = 0; pc < 12; ++pc) {
      const int weight = ToneDigit(w, pc);
      if (p.scale && weight >= ScaleToneLevel) pcs.insert(pc);
      if (p.strong && weight >= ToneLevel8) pcs.insert(pc);
      if (p.grace && ToneDigit(w, (pc + 1) % 12) >= ScaleToneLevel) pcs.insert(pc);
    }
    return pcs;
  }

  static void Check(const Setting& s, const Pattern& p, uint32_t seed) {
    std::ostringstream name;
    name << "code " << p.code << " density " << p.density << ", " << s.name << ", seed " << seed;
    SCOPED_TRACE(name.str());
    SetMetre(s.metre, s.six_eight);
    SetGrid(s.triplet);
    CurrentStyle().density[kChannel] = p.density;
    CurrentStyle().tempo = seed % 2 == 0 ? 500000 : 800000;
    CurrentStyle().drum_pattern = static_cast<int32_t>(seed % 14);
    PlainEndingFlag() = static_cast<int32_t>(seed % 2);
    GneSeedRandomWith(seed);
    DrawSong();
    const int n = ComposeInfo().chord_block_count();
    const uint32_t state = GneGetRandomState();
    MixerRecord mixer;
    PartTrack t;
    WritePartHeader(t, kChannel, 24, mixer, 0);
    {
      Watchdog watch(name.str());
      Play(p, t);
    }
    GneSetRandomState(state);
    PartTrack again;
    WritePartHeader(again, kChannel, 24, mixer, 0);
    Play(p, again);
    EXPECT_EQ(parts_test::Events(t), parts_test::Events(again)) << "same seed, other events";

    const auto rows = Rows(t);
    std::vector<int64_t> starts;
    for (int i = 0; i <= n; ++i) starts.push_back(BlockStart(i));
    for (int i = 0; i < n; ++i) {
      int64_t first = -1;
      for (const NoteRow& r : rows) {
        const int64_t at = std::get<0>(r);
        if (at >= starts[i] && at < starts[i + 1] && (first < 0 || at < first)) first = at;
      }
      if (p.silent_steps) {
        // Silent steps pass as time: the first event falls on the grid.
        if (first >= 0) EXPECT_EQ((first - starts[i]) % 8, 0) << "block " << i;
      } else {
        EXPECT_EQ(first, starts[i]) << "block " << i << " does not start on time";
      }
    }
    for (const NoteRow& r : rows) {
      EXPECT_EQ(std::get<1>(r), kChannel);
      const int64_t at = std::get<0>(r);
      const int pitch = std::get<2>(r), velocity = std::get<3>(r);
      ASSERT_GE(at, 0);
      ASSERT_LT(at, starts[n]) << "a note after the song";
      EXPECT_GE(std::get<4>(r), 0);
      if (pitch == 0 || velocity == 0) continue;
      EXPECT_GE(pitch, 13);
      EXPECT_LE(pitch, 127);
      EXPECT_LE(velocity, 127);
      const int i = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), at) -
                                     starts.begin()) - 1;
      EXPECT_TRUE(Allowed(p, Block(i)).count(pitch % 12))
          << "pitch " << pitch << " at " << at << " in block " << i << " " << Block(i).chord_code
          << " (" << int(Block(i).root) << " " << int(Block(i).third) << " "
          << int(Block(i).fifth) << " " << int(Block(i).seventh) << ")";
    }
  }
};

TEST_F(FigureSweepTest, NotesOverManySeeds) {
  for (const Pattern& p : Patterns()) {
    for (const Setting& s : kSettings) {
      for (uint32_t seed = 1; seed <= 10; ++seed) Check(s, p, seed * 7919 + p.code);
      if (HasFailure()) return;
    }
  }
}

// The written part loads in mido and midicsv with its notes where the track
// has them.
TEST_F(FigureSweepTest, WrittenSongLoads) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  for (const Pattern& p : Patterns()) {
    SCOPED_TRACE(p.code);
    CurrentStyle().density[kChannel] = p.density;
    GneSeedRandomWith(40 + p.code);
    DrawSong();
    PartTrack t;
    MixerRecord mixer;
    WritePartHeader(t, kChannel, 24, mixer, 0);
    AddNote(t, kChannel, 0, 0, 0, 0);
    Play(p, t);
    ExpectLoadsInMidoAndMidicsv(t, kChannel);
  }
}

}  // namespace
}  // namespace pattern_test
