// Every pattern code, 1 to 62, through the harmony and sub-harmony part
// builders over many drawn songs: metres, grids, densities, block lengths,
// sections, chords lacking tones, with and without a bass part, with and
// without the channel-3 double. Each part stays on its channel, sounds only
// the chord tones of its block and the extras its code names, starts its
// notes inside their blocks and ends them by the block's end (but for the
// overhangs its figures name), opens every block on time, ends with the song,
// and writes the same events from the same seed after the engine's reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "accomp/harmony.h"
#include "accomp/harmony_patterns.h"
#include "accomp/pattern_walk.h"
#include "engine/engine_state.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/render_messages.h"
#include "engine/tone_weights.h"
#include "style/engine_services.h"
#include "util/gne_test_mode.h"
#include "tests/accomp/patterns/figure_fixture.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

constexpr int kSub = 7;
constexpr int kDouble = 11;
constexpr ProgramErrorCode kPatternError = 0xFF010027u;

// What a pattern may sound besides the chord tones of its block (root,
// third, fifth, seventh as the block holds them, in any octave). An extra is
// made from one of the block's tones, and only from a tone the block has.
enum ToneIndex { R, T, F, S, B };
struct Extra {
  enum Kind { kOffset, kWeighed, kGrace, kAny } kind = kOffset;
  int tone = R, semitones = 0;  // kOffset: that tone moved by the semitones
  int level = 0;                // kWeighed: a pitch class weighing at least this
  int low = 0, high = 1000;     // the density factors whose figures play it
  bool blues = false;           // only with the blues ornament

  Extra In(int lo, int hi) const {
    Extra e = *this;
    e.low = lo;
    e.high = hi;
    return e;
  }
  Extra Blues() const {
    Extra e = *this;
    e.blues = true;
    return e;
  }
};
Extra Off(int tone, int semitones) { return {Extra::kOffset, tone, semitones}; }
// Scale tones (5), strong tones (7, 8) or chord tones (9) of the block's
// weights.
Extra Weighed(int level) { return {Extra::kWeighed, R, 0, level}; }
// A semitone below a scale tone (a grace note).
Extra Grace() { return {Extra::kGrace}; }
// Any pitch: chromatic runs, or a search that may find no tone of its kind.
Extra Any() { return {Extra::kAny}; }
// A weighed search that, on a chord without such a tone, ends anywhere.
Extra AnyWithout(int level) { return {Extra::kAny, R, 0, level}; }

struct CodeRow {
  int code;
  std::vector<Extra> extras;
  int overhang;       // ticks a note may end after its block's end; -1 any
  int closing;        // the same on the last block, for the closing figure
  bool silent_start;  // a block may open without a sounding note
  bool grid_start;    // its first note then still falls on the 8-tick grid
};

// One row per code, from what each pattern plays.
//
// Overhangs, each a rule of its figures:
//  2, 44  the medium and fast strokes (and the oldies' eighths) in triplets
//         alternate 64- and 32-tick steps over the block's eighths: a block of
//         an odd number of eighths ends with a 62-tick note 48 ticks before
//         its end (14);
//  4      the dense and medium pops walk passes the end of a block that is
//         no whole number of eighths with a stroke of up to 94 ticks begun
//         24 ticks before it (70);
//  5      the Spanish up-strum's last note ends 2 ticks after its unit;
//  10     the triplet comping shuffles strike 64 ticks into the quarter for
//         48 ticks (16); the triplet ending's chord ends 444 ticks after the
//         last block's start (60 past a bar);
//  11, 54 the triplet cut's closing third, passing tone and root last 46
//         ticks on 32-tick steps (14);
//  12     the six-note strum: every note as long as the first, the last
//         begun 15 ticks later (7);
//  20     the two-bar block's second half: the held chord begins 48 ticks in
//         and lasts 352 (16); the 36-tick cells of the sixteenth figures
//         (12);
//  22     the enka phrase's root-and-fifth on its eighth step lasts two steps
//         (44 past a bar);
//  32     the ragtime's closing chord from the third beat for 177 ticks
//         (129 past a 7/8 bar);
//  40, 41, 46  riff notes held over the next chord (the next chord then
//         starts its riff later);
//  55     the triplet cha-cha-cha is shuffled on quarters after it is written:
//         an off-beat eighth moves 16 ticks later and may cross a block edge
//         that is no quarter (16);
//  60     the jazz waltz's doubled chord on a block's last step (46);
//  61     the four-cut's second strum in triplets, 64 ticks into the quarter
//         and strummed 4 apart (12).
// Silent openings: rests, off-beats, silent stretches, chance figures and
// riff overruns on a block's first step; with grid_start the overrun or
// rest is whole steps.
const std::vector<CodeRow>& CodeRows() {
  static const std::vector<CodeRow> kRows = {
      {1, {}, 0, 0, false, false},
      {2, {Off(F, 2).In(140, 1000), Off(F, 2).In(0, 119).Blues()}, 14, 14, false, false},
      {3, {}, 0, 0, false, false},
      {4, {}, 70, 70, false, false},
      {5, {}, 2, 2, false, false},
      {6, {Weighed(ChordToneLevel), AnyWithout(ChordToneLevel)}, 0, 0, false, false},
      {7, {Weighed(ScaleToneLevel)}, 0, 0, true, false},
      {8, {}, 0, 0, false, false},
      {9, {}, 0, 0, true, false},
      // The phrases: ninth and eleventh above the root, the bass on top, the
      // raised fifth, the closing chord's bass + 2 and third + 15; the dense
      // chords: the third's lower neighbour.
      {10, {Off(R, 2).In(0, 80), Off(R, 5).In(0, 80), Off(B, 0).In(0, 80), Off(F, 2).In(0, 80),
            Off(B, 2).In(0, 80), Off(T, 3).In(0, 80), Off(R, 2).In(100, 100),
            Off(R, 5).In(100, 100), Off(B, 0).In(100, 100), Off(F, 2).In(100, 100),
            Off(B, 2).In(100, 100), Off(T, 3).In(100, 100), Off(T, -1).In(140, 1000)},
       16, 60, true, false},
      {11, {Off(R, 2), Weighed(ScaleToneLevel)}, 14, 14, true, false},
      {12, {Off(B, 0).In(160, 179)}, 7, 7, true, false},
      {13, {}, 0, 0, false, false},
      {14, {Off(F, 2), Off(R, 2)}, 0, 0, false, false},
      {15, {}, 0, 0, false, false},
      {16, {Weighed(ToneLevel8)}, 0, 0, false, true},
      {17, {Off(B, 2), Off(T, 3), Off(B, 0), Off(F, 2)}, 0, 0, false, false},
      {18, {}, 0, 0, true, false},
      {19, {Off(B, 0), Off(F, 2)}, 0, 0, true, false},
      {20, {Off(R, 2), Off(F, 2), Off(R, 9)}, 16, 16, false, false},
      {21, {}, 0, 0, true, false},
      {22, {Off(R, 2)}, 44, 44, true, false},
      {23, {Off(F, 2), Off(F, 1), Off(F, -2)}, 0, 0, false, false},
      {24, {Off(F, -2), Off(R, 2), Off(B, 0)}, 0, 0, true, false},
      // Figures of chord tones, and between 60 and 119 the degree figure:
      // every degree raised to a scale tone (kept where no weight raises it),
      // with a grace note a semitone below.
      {25, {Weighed(ScaleToneLevel).In(60, 119), Grace().In(60, 119), Off(R, 2).In(60, 119),
            Off(F, -2).In(60, 119), Off(R, -1).In(60, 119), Off(R, 1).In(60, 119),
            Off(T, -1).In(60, 119), Off(F, -3).In(60, 119), Off(F, -1).In(60, 119),
            Off(S, -1).In(60, 119)},
       0, 0, true, true},
      {26, {Off(R, 11), Off(R, 8), Off(R, 7), Off(R, 3), Off(R, 2)}, 0, 0, false, false},
      {27, {Off(T, -1), Off(R, 2), Off(F, 2), Off(F, -2), Off(R, -1), Off(R, 1)}, 0, 0, true,
       false},
      {28, {Off(F, 2).Blues()}, 0, 0, false, false},
      {29, {Off(T, -1)}, 0, 0, true, false},
      {30, {Off(R, 2), Off(F, -2), Off(F, 2)}, 0, 0, true, true},
      {31, {Off(R, 2), Off(R, 5), Off(F, 2)}, 0, 0, true, true},
      {32, {Off(B, 0)}, 0, 129, false, false},
      {33, {Off(F, 2), Off(F, -2)}, 0, 0, false, false},
      {34, {Weighed(ScaleToneLevel)}, 0, 0, false, false},
      {35, {Off(F, 2), Off(B, 0)}, 0, 0, false, false},
      {36, {}, 0, 0, true, false},
      {37, {Off(R, 2)}, 0, 0, false, false},
      {38, {Off(R, 1), Off(R, 2), Off(T, 1), Off(F, 1)}, 0, 0, true, false},
      {39, {}, 0, 0, true, false},
      // The riff tones (kept where no weight raises them), raised to scale
      // tones of the chord.
      {40, {Off(R, 2), Off(F, 2), Off(F, -2), Weighed(ScaleToneLevel)}, -1, -1, true, true},
      {41, {Off(R, 2), Off(F, 2), Off(F, -2), Weighed(ScaleToneLevel)}, -1, -1, true, true},
      {42, {}, 0, 0, false, false},
      {43, {}, 0, 0, true, false},
      {44, {Any()}, 14, 14, false, false},
      {45, {Off(F, -2), Off(R, 2)}, 0, 0, true, false},
      {46, {Off(R, 2), Off(F, 2), Off(F, -2), Weighed(ScaleToneLevel)}, -1, -1, true, true},
      // The grid's degrees: root, root + 2, third, fifth - 2, fifth, fifth + 2,
      // seventh, each a semitone lower where the chord weighs it below 5.
      {47, {Off(R, 2), Off(R, 1), Off(R, -1), Off(T, -1), Off(F, -2), Off(F, -3), Off(F, -1),
            Off(F, 2), Off(F, 1), Off(S, -1)},
       0, 0, true, false},
      {48, {}, 0, 0, true, false},
      {49, {Weighed(ChordToneLevel), AnyWithout(ChordToneLevel)}, 0, 0, true, false},
      {50, {}, 0, 0, true, false},
      {51, {Off(F, -2)}, 0, 0, true, false},
      {52, {Off(B, 0)}, 0, 0, false, false},
      {53, {}, 0, 0, true, false},
      {54, {Off(R, 2), Weighed(ScaleToneLevel)}, 14, 14, true, false},
      {55, {Off(F, 2), Off(R, 2)}, 16, 16, true, false},
      {56, {Weighed(ScaleToneLevel)}, 0, 0, true, false},
      {57, {Weighed(ToneLevel7), AnyWithout(ToneLevel7)}, 0, 0, true, false},
      {58, {}, 0, 0, true, false},
      {59, {}, 0, 0, true, false},
      {60, {}, 46, 46, true, false},
      {61, {}, 12, 12, true, false},
      {62, {}, 0, 0, true, false},
  };
  return kRows;
}

const CodeRow& RowOf(int code) { return CodeRows()[static_cast<size_t>(code - 1)]; }

// Densities of the style (20..160), and beyond it the whole-note variants.
const int kDensities[] = {20, 40, 60, 61, 80, 81, 100, 120, 140, 160, 170, 190, 200};
constexpr int kDensityCount = sizeof kDensities / sizeof kDensities[0];
// Chords with every tone, and chords lacking a seventh, a third, a fifth or
// everything (no chord).
const char* const kCodes[] = {"CMPs", "DmPd", "NMPo", "GMPs", "AmPo", "FMPS",
                              "EoPd", "b4Ps", "CMCd", "dMP9", "gmds", "AMA6"};
const char* const kTags[] = {"AXXX", "BXXX", "CXXX", "DXXX", "EXXX", "FXXX"};

// A melody for the codes that read it (23, 34): notes in some blocks, rests
// in others.
const EventList& Melody() {
  static EventList melody;
  if (melody.count() == 0) {
    for (int k = 0; k < 60; ++k) melody.AppendNote(k % 3 == 0 ? 384 : 96, k % 3 == 0 ? 0 : 67);
  }
  return melody;
}

// One drawn rendering: the settings and the song, all from the seed.
struct Draw {
  int code = 0;
  uint32_t seed = 0;
  Setting setting{};
  int density = 100, sub_density = 100;
  bool bass = true, doubled = false, blues = false, plain_ending = false;
  int tempo = 500000, drums = 1;
  std::vector<BlockSpec> blocks;
  std::vector<const char*> tags;

  std::string Name() const {
    std::ostringstream o;
    o << "code " << code << " seed " << seed << ", " << setting.name << ", density " << density
      << "/" << sub_density << (bass ? "" : ", no bass") << (doubled ? ", doubled" : "")
      << (blues ? ", blues" : "") << (plain_ending ? ", plain ending" : "") << ", tempo "
      << tempo << ", drums " << drums << ", blocks";
    for (const BlockSpec& b : blocks) o << " " << b.code << ":" << b.length;
    if (!tags.empty()) o << ", sections";
    for (const char* t : tags) o << " " << t[0];
    return o.str();
  }
  int64_t Length() const {
    int64_t length = 0;
    for (const BlockSpec& b : blocks) length += b.length;
    return length;
  }
  // The density factor of the part on the channel.
  int DensityOf(int channel) const { return channel == kSub ? sub_density : density; }
};

Draw DrawRendering(int code, uint32_t seed) {
  GneSeedRandomWith(seed);
  Draw d;
  d.code = code;
  d.seed = seed;
  d.setting = kSettings[GneRandomRange(0, 6)];
  d.density = kDensities[GneRandomRange(0, kDensityCount - 1)];
  d.sub_density = kDensities[GneRandomRange(0, kDensityCount - 1)];
  d.bass = GneRandomRange(0, 1) == 1;
  d.doubled = GneRandomRange(0, 2) == 0;
  d.blues = GneRandomRange(0, 2) == 0;
  d.plain_ending = GneRandomRange(0, 1) == 1;
  d.tempo = GneRandomRange(0, 1) == 1 ? 500000 : 800000;
  d.drums = GneRandomRange(1, 14);
  const int bar = d.setting.metre == 0 ? 384 : d.setting.metre == 1 ? 288 : 336;
  const int lengths[] = {bar, bar / 2, 2 * bar, 144, 168};
  const int n = GneRandomRange(1, 8);
  for (int i = 0; i < n; ++i)
    d.blocks.push_back({kCodes[GneRandomRange(0, 11)], lengths[GneRandomRange(0, 4)]});
  if (GneRandomRange(0, 3) != 0) {
    for (int i = 0; i < n; ++i) d.tags.push_back(kTags[GneRandomRange(0, 5)]);
  }
  return d;
}

// Whether the rendering's last block plays its code's closing figure, which
// ends where the figure says rather than with the song.
bool PlaysClosingFigure(const Draw& d, int density) {
  if (d.blocks.size() < 2 && d.code != 32) return false;
  switch (d.code) {
    case 10: return d.setting.triplet && (density <= 80 || density == 100);
    case 17: return !d.setting.triplet && !d.plain_ending;
    case 19: return !d.setting.triplet;
    case 32: return true;
    default: return false;
  }
}

// The pitch classes block b may sound in the part of the code at the density.
std::set<int> Allowed(const CodeRow& row, const ChordBlock& b, int density, bool blues) {
  std::set<int> pcs;
  const int tones[5] = {b.root, b.third, b.fifth, b.seventh, b.bass};
  for (int k = 0; k < 4; ++k)
    if (tones[k] != 0) pcs.insert(tones[k] % 12);
  char w[kToneWeightTextSize];
  BuildToneWeights(b.chord_code, w);
  for (const Extra& x : row.extras) {
    if (density < x.low || density > x.high || (x.blues && !blues)) continue;
    switch (x.kind) {
      case Extra::kOffset:
        if (tones[x.tone] != 0) pcs.insert(((tones[x.tone] + x.semitones) % 12 + 12) % 12);
        break;
      case Extra::kWeighed:
        for (int pc = 0; pc < 12; ++pc)
          if (ToneDigit(w, pc) >= x.level) pcs.insert(pc);
        break;
      case Extra::kGrace:
        for (int pc = 0; pc < 12; ++pc)
          if (ToneDigit(w, (pc + 1) % 12) >= ScaleToneLevel) pcs.insert(pc);
        break;
      case Extra::kAny: {
        bool none = x.level > 0;
        for (int pc = 0; pc < 12 && none; ++pc) none = ToneDigit(w, pc) < x.level;
        if (x.level == 0 || none)
          for (int pc = 0; pc < 12; ++pc) pcs.insert(pc);
        break;
      }
    }
  }
  return pcs;
}

// The tracks of one rendering: the harmony builder's (the channel-11 copy
// first when doubled) and the sub-harmony builder's, with where each part's
// walk ended.
struct Rendering {
  PartTrackList harmony, sub;
  int64_t harmony_end = 0, sub_end = 0;
  int pattern_errors = 0;
};

class PartSweepTest : public PatternTest {
 protected:
  // Sets the engine and the style up for the draw, from a reset engine, and
  // renders both parts; `probe` appends two bars of a full chord to the song.
  static Rendering Render(const Draw& d, bool probe) {
    ResetEngineState();
    BuildChordToneTable();
    cantrel_test::Sink().Clear();
    // Chord blocks draw their octaves: everything from here on comes from the seed.
    GneSeedRandomWith(d.seed);
    StyleRecord& s = CurrentStyle();
    SetMetre(d.setting.metre, d.setting.six_eight);
    SetGrid(d.setting.triplet);
    SetBassPart(d.bass);
    s.accompaniment = d.code;
    s.subharmony_accompaniment = d.code;
    s.instrument[kChannel] = 24;
    s.instrument[kSub] = 48;
    s.octave[kChannel] = s.octave[kSub] = 0;
    s.density[kChannel] = d.density;
    s.density[kSub] = d.sub_density;
    s.parts[kChannel].ornament = s.parts[kSub].ornament = d.blues ? 3 : 0;
    s.tempo = d.tempo;
    s.drum_pattern = d.drums;
    PlainEndingFlag() = d.plain_ending ? 1 : 0;
    s.mixer[kChannel] = MixerRecord{};
    s.mixer[kChannel].double_delay = d.doubled ? 12 : 0;
    std::vector<BlockSpec> blocks = d.blocks;
    if (probe) blocks.insert(blocks.end(), 2, BlockSpec{"CMPs", 384});
    SetBlocks(blocks);
    std::vector<const char*> tags = d.tags;
    if (!tags.empty() && probe) tags.insert(tags.end(), 2, "AXXX");
    SetSections(tags);
    // A riff stored by an earlier rendering, for the fixed riff.
    int32_t cells[kRiffRhythmCells] = {};
    MakeRandomRiffRhythm(cells, s);
    for (int i = 0; i < 96; ++i) s.riff[i] = static_cast<uint8_t>(cells[i] & 0xFF);

    Rendering r;
    {
      Watchdog watch(d.Name());
      RenderMessageScope rendering;
      accomp::LastWalkEnd() = -1;
      GenerateHarmonyPart(r.harmony, Melody());
      r.harmony_end = accomp::LastWalkEnd();
      accomp::LastWalkEnd() = -1;
      GenerateSubHarmonyPart(r.sub, Melody());
      r.sub_end = accomp::LastWalkEnd();
    }
    r.pattern_errors = ErrorCount(kPatternError);
    return r;
  }

  static std::vector<parts_test::EventRow> AllEvents(const Rendering& r) {
    std::vector<parts_test::EventRow> all;
    for (const PartTrackList* list : {&r.harmony, &r.sub}) {
      for (const auto& t : *list) {
        const auto events = parts_test::Events(*t);
        all.insert(all.end(), events.begin(), events.end());
      }
    }
    return all;
  }

  static void Check(int code, uint32_t seed) {
    const Draw d = DrawRendering(code, seed);
    SCOPED_TRACE(d.Name());
    const auto first = AllEvents(Render(d, false));
    const Rendering r = Render(d, false);
    {
      const auto again = AllEvents(r);
      size_t k = 0;
      while (k < again.size() && k < first.size() && again[k] == first[k]) ++k;
      EXPECT_EQ(again, first) << "same seed, other events from event " << k << " of "
                              << first.size();
    }

    ASSERT_EQ(r.harmony.size(), d.doubled ? 2u : 1u);
    ASSERT_EQ(r.sub.size(), 1u);
    const MidiTrack& harmony = *r.harmony.back();
    if (code == kNoHarmonyPattern) {
      EXPECT_EQ(r.pattern_errors, 1);
      for (const auto* list : {&r.harmony, &r.sub})
        for (const auto& t : *list) EXPECT_TRUE(Sounding(*t).empty());
      return;
    }
    EXPECT_EQ(r.pattern_errors, 0);
    if (d.doubled) {
      const auto copy = Sounding(*r.harmony.front());
      EXPECT_EQ(copy.size(), Sounding(harmony).size());
      for (const NoteRow& n : copy) EXPECT_EQ(std::get<1>(n), kDouble);
    }
    CheckPart(d, harmony, kChannel, r.harmony_end);
    CheckPart(d, *r.sub.back(), kSub, r.sub_end);
  }

  // The notes of one part against its blocks, and where the part ends.
  static void CheckPart(const Draw& d, const MidiTrack& track, int channel, int64_t end) {
    SCOPED_TRACE("channel " + std::to_string(channel));
    const CodeRow& row = RowOf(d.code);
    const int density = d.DensityOf(channel);
    const int n = static_cast<int>(d.blocks.size());
    const bool closing = PlaysClosingFigure(d, density);
    std::vector<int64_t> starts{0};
    for (const BlockSpec& b : d.blocks) starts.push_back(starts.back() + b.length);
    if (!closing) {
      EXPECT_EQ(end, starts[n]) << "the part does not end with the song";
    }
    std::vector<int64_t> opening(static_cast<size_t>(n), -1);
    for (const NoteRow& note : Rows(track)) {
      EXPECT_EQ(std::get<1>(note), channel);
      const int64_t at = std::get<0>(note);
      const int pitch = std::get<2>(note), velocity = std::get<3>(note);
      const int length = std::get<4>(note);
      if (pitch == 0 || velocity == 0) continue;
      EXPECT_GE(pitch, 13);
      EXPECT_LE(pitch, 127);
      EXPECT_LE(velocity, 127);
      ASSERT_GE(at, 0);
      ASSERT_LT(at, starts[n]) << "a note after the song";
      const int i = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), at) -
                                     starts.begin()) - 1;
      if (opening[i] < 0) opening[i] = at;
      const int reach = i == n - 1 && closing ? std::max(row.closing, row.overhang) : row.overhang;
      if (reach >= 0) {
        EXPECT_LE(at + length, starts[i + 1] + reach)
            << "a note of block " << i << " at " << at << " lasting " << length
            << " ends too long after the block";
      }
      std::set<int> allowed = Allowed(row, Block(i), density, d.blues);
      // The shuffled cha-cha-cha may carry a note over a block edge.
      if (d.code == 55 && d.setting.triplet) {
        for (int k : {i - 1, i + 1}) {
          if (k < 0 || k >= n) continue;
          const std::set<int> more = Allowed(row, Block(k), density, d.blues);
          allowed.insert(more.begin(), more.end());
        }
      }
      EXPECT_TRUE(allowed.count(pitch % 12))
          << "pitch " << pitch << " at " << at << " in block " << i << " " << Block(i).chord_code
          << " (" << int(Block(i).root) << " " << int(Block(i).third) << " "
          << int(Block(i).fifth) << " " << int(Block(i).seventh) << " " << int(Block(i).bass)
          << ")";
    }
    // Blocks open on time: with their first step where the figure sounds it
    // (a chord with all its tones), or on a whole step after it.
    for (int i = 0; i < n; ++i) {
      const ChordBlock& b = Block(i);
      const bool full = b.root != 0 && b.third != 0 && b.fifth != 0 && b.seventh != 0;
      if (!row.silent_start && full && !(closing && i == n - 1)) {
        EXPECT_EQ(opening[i], starts[i]) << "block " << i << " does not open on time";
      } else if (row.grid_start && opening[i] >= 0) {
        EXPECT_EQ((opening[i] - starts[i]) % 8, 0) << "block " << i << " opens off the grid";
      }
    }
  }

  // The song's end handed on: the first of two full-chord bars appended to
  // the song starts at the song's length (or, for figures that may open
  // silently, no earlier).
  static void CheckEnd(int code, uint32_t seed) {
    if (code == kNoHarmonyPattern) return;
    const Draw d = DrawRendering(code, seed);
    SCOPED_TRACE(d.Name() + ", two bars after the song");
    const Rendering r = Render(d, true);
    const int64_t length = d.Length();
    for (const MidiTrack* t : {r.harmony.back().get(), r.sub.back().get()}) {
      const auto after = SoundingIn(*t, length, length + 384);
      const auto late = SoundingIn(*t, length, length + 768);
      if (RowOf(code).silent_start) {
        for (const NoteRow& note : late) EXPECT_GE(std::get<0>(note), length);
      } else {
        ASSERT_FALSE(after.empty()) << "nothing in the bar after the song";
        EXPECT_EQ(std::get<0>(after.front()), length) << "the part does not end with the song";
      }
    }
  }
};

TEST_F(PartSweepTest, EveryCodeOverManyDrawnSongs) {
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    for (uint32_t seed = 1; seed <= 16; ++seed) Check(code, seed * 7919 + static_cast<uint32_t>(code));
    if (HasFailure()) return;
  }
}

TEST_F(PartSweepTest, EveryCodeHandsTheSongsEndOn) {
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    for (uint32_t seed = 1; seed <= 6; ++seed) CheckEnd(code, seed * 104729 + static_cast<uint32_t>(code));
    if (HasFailure()) return;
  }
}

// The same with every draw the least of three: the rare branches, "one
// chance in n" figures and redraw loops run often.
TEST_F(PartSweepTest, EveryCodeUnderLowDraws) {
  GneSetBiasedLowForTests(true);
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      Check(code, seed * 31337 + static_cast<uint32_t>(code));
      CheckEnd(code, seed * 31337 + static_cast<uint32_t>(code));
    }
    if (HasFailure()) break;
  }
  GneSetBiasedLowForTests(false);
}

// What the Parts give a song's last block of the draw with the code: it
// sounds, or by the code's own rule it may rest, or the code plays nothing.
enum class LastBlock { kSounds, kMayRest, kNoPart };
LastBlock LastBlockOf(const Draw& d) {
  // 7/8 has no triplet riff: there the riff codes rest throughout.
  const bool riff = d.code == 40 || d.code == 41 || d.code == 46;
  if (riff && d.setting.metre == 2 && d.setting.triplet) return LastBlock::kNoPart;
  // The oldies guitar's straight eighths rest through a last block of a bar
  // (where it draws none of its one-bar figures).
  if (d.code == 44 && !d.setting.triplet && d.blocks.size() > 1 && d.blocks.back().length == 384)
    return LastBlock::kMayRest;
  return LastBlock::kSounds;
}

// The song's last block sounds in every code, whatever its length (a beat, two
// beats, a bar, two bars): both parts start a note in it, and every note
// begun in it ends by the song's end but for the overhangs the code names.
// That holds for the figures that leave other blocks silent by chance or by
// their count (a rest drawn for a whole block, the irregular arpeggio's muted
// blocks, riff rests, a figure's silent half): the song never ends on a
// silence. The custom grid plays only what the style draws, and the sweep's
// style draws nothing.
TEST_F(PartSweepTest, EveryCodeSoundsInTheLastBlock) {
  constexpr int kCustomGrid = 47;
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    if (code == kNoHarmonyPattern || code == kCustomGrid) continue;
    for (int k = 0; k < 4; ++k) {
      for (uint32_t seed = 1; seed <= 16; ++seed) {
        Draw d = DrawRendering(code, seed * 6151 + static_cast<uint32_t>(code * 4 + k));
        const int bar = d.setting.metre == 0 ? 384 : d.setting.metre == 1 ? 288 : 336;
        const int lengths[] = {96, 192, bar, 2 * bar};
        d.blocks.push_back({"CMPs", lengths[k]});
        if (!d.tags.empty()) d.tags.push_back("AXXX");
        SCOPED_TRACE(d.Name());
        const Rendering r = Render(d, false);
        const int64_t end = d.Length();
        // The shuffled cha-cha-cha may move the block's first note up to 16
        // ticks earlier where the block starts off the quarters.
        const int early = code == 55 && d.setting.triplet ? 16 : 0;
        const int64_t last = end - d.blocks.back().length - early;
        // Only the overhangs the code's figures name.
        const int reach = std::max(RowOf(code).closing, RowOf(code).overhang);
        const LastBlock expected = LastBlockOf(d);
        for (const MidiTrack* t : {r.harmony.back().get(), r.sub.back().get()}) {
          if (expected == LastBlock::kNoPart) {
            EXPECT_TRUE(Sounding(*t).empty()) << "a riff in 7/8 triplets";
            continue;
          }
          const auto notes = SoundingIn(*t, last, end);
          if (expected == LastBlock::kSounds) {
            EXPECT_FALSE(notes.empty()) << "a silent last block";
          }
          for (const NoteRow& n : notes) {
            if (reach >= 0) {
              EXPECT_LE(std::get<0>(n) + std::get<4>(n), end + reach);
            }
          }
        }
      }
    }
    if (HasFailure()) return;
  }
}

// Each code's written part loads in mido and midicsv with its notes where the
// track has them.
TEST_F(PartSweepTest, WrittenPartsLoad) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    if (code == kNoHarmonyPattern) continue;
    const Draw d = DrawRendering(code, 40 + static_cast<uint32_t>(code));
    SCOPED_TRACE(d.Name());
    Rendering r = Render(d, false);
    ExpectLoadsInMidoAndMidicsv(*r.harmony.back(), kChannel);
  }
}

}  // namespace
}  // namespace pattern_test
