// Every pattern code, 1 to 62, through the harmony and sub-harmony part
// builders over many drawn songs: metres, grids, densities, block lengths,
// sections, chords lacking tones, with and without a bass part, with and
// without the channel-3 double. Each part stays on its channel, starts and
// ends its notes inside their blocks (but for the overhangs its figures
// name), hands the song's end on time, and writes the same events from the
// same seed after the engine's reset. The pitches each figure may sound are
// the family sweeps' (note_sweep_test.cpp, figure_sweep_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "accomp/harmony.h"
#include "accomp/harmony_patterns.h"
#include "engine/engine_state.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/render_messages.h"
#include "style/engine_services.h"
#include "util/gne_test_mode.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

constexpr int kSub = 7;
constexpr int kDouble = 11;
constexpr ProgramErrorCode kPatternError = 0xFF010027u;

// What a code's figures may do beyond starting and ending their notes in
// their block: hold a note past the block's end (riff notes over the next
// chord, strums and ringing notes longer than their step, the closing
// figures on the last block), or leave a block's first step silent.
struct CodeRow {
  int code;
  bool overhangs;     // a note may end after its block
  bool silent_start;  // a block may open without a note
};

// Overhangs: continuous strokes (2), strums (5, 12) and cuts (11, 54)
// longer than what remains of a block that is no whole number of their
// steps, the rhythmic and enka figures' last notes (20, 22), riff notes held
// over the next chord (40, 41, 46), the triplet cha-cha-cha's shuffle (55),
// the jazz waltz's ringing chord (60) and the closing figures of the last
// block (10, 17, 19, 32). Silent openings: rests, off-beats, silent
// stretches and chance figures on a block's first step.
const CodeRow kCodeRows[] = {
    {1, false, false}, {2, true, false}, {3, false, false}, {4, false, false},
    {5, true, false}, {6, false, false}, {7, false, false}, {8, false, false},
    {9, false, true}, {10, true, true}, {11, true, true}, {12, true, true},
    {13, false, false}, {14, false, false}, {15, false, false}, {16, false, false},
    {17, true, false}, {18, false, true}, {19, true, true}, {20, true, false},
    {21, false, false}, {22, true, true}, {23, false, false}, {24, false, true},
    {25, false, true}, {26, false, false}, {27, false, true}, {28, false, false},
    {29, false, true}, {30, false, true}, {31, false, true}, {32, true, false},
    {33, false, false}, {34, false, false}, {35, false, false}, {36, false, true},
    {37, false, false}, {38, false, true}, {39, false, true}, {40, true, true},
    {41, true, true}, {42, false, false}, {43, false, true}, {44, false, false},
    {45, false, true}, {46, true, true}, {47, false, true}, {48, false, true},
    {49, false, true}, {50, false, true}, {51, false, true}, {52, false, false},
    {53, false, true}, {54, true, true}, {55, true, true}, {56, false, false},
    {57, false, true}, {58, false, true}, {59, false, true}, {60, true, true},
    {61, false, true}, {62, false, true},
};

const CodeRow& RowOf(int code) { return kCodeRows[code - 1]; }

const int kDensities[] = {20, 40, 60, 61, 80, 81, 100, 120, 140, 160};
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
  bool bass = true, doubled = false;
  std::vector<BlockSpec> blocks;
  std::vector<const char*> tags;

  std::string Name() const {
    std::ostringstream o;
    o << "code " << code << " seed " << seed << ", " << setting.name << ", density " << density
      << "/" << sub_density << (bass ? "" : ", no bass") << (doubled ? ", doubled" : "")
      << ", blocks";
    for (const BlockSpec& b : blocks) o << " " << b.code << ":" << b.length;
    if (!tags.empty()) o << ", sections";
    return o.str();
  }
};

Draw DrawRendering(int code, uint32_t seed) {
  GneSeedRandomWith(seed);
  Draw d;
  d.code = code;
  d.seed = seed;
  d.setting = kSettings[GneRandomRange(0, 6)];
  d.density = kDensities[GneRandomRange(0, 9)];
  d.sub_density = kDensities[GneRandomRange(0, 9)];
  d.bass = GneRandomRange(0, 1) == 1;
  d.doubled = GneRandomRange(0, 2) == 0;
  const int bar = d.setting.metre == 0 ? 384 : d.setting.metre == 1 ? 288 : 336;
  const int lengths[] = {bar, bar / 2, 2 * bar, 144, 168};
  const int n = GneRandomRange(3, 8);
  for (int i = 0; i < n; ++i)
    d.blocks.push_back({kCodes[GneRandomRange(0, 11)], lengths[GneRandomRange(0, 4)]});
  if (GneRandomRange(0, 3) != 0) {
    for (int i = 0; i < n; ++i) d.tags.push_back(kTags[GneRandomRange(0, 5)]);
  }
  return d;
}

// The tracks of one rendering: the harmony builder's (the channel-11 copy
// first when doubled) and the sub-harmony builder's.
struct Rendering {
  PartTrackList harmony, sub;
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
      GenerateHarmonyPart(r.harmony, Melody());
      GenerateSubHarmonyPart(r.sub, Melody());
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
    const Rendering r = Render(d, false);
    {
      const auto again = AllEvents(Render(d, false)), first = AllEvents(r);
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
    CheckPart(d, harmony, kChannel);
    CheckPart(d, *r.sub.back(), kSub);
  }

  // The notes of one part against its blocks.
  static void CheckPart(const Draw& d, const MidiTrack& track, int channel) {
    SCOPED_TRACE("channel " + std::to_string(channel));
    const CodeRow& row = RowOf(d.code);
    const int n = static_cast<int>(d.blocks.size());
    std::vector<int64_t> starts{0};
    for (const BlockSpec& b : d.blocks) starts.push_back(starts.back() + b.length);
    for (const NoteRow& note : Rows(track)) {
      EXPECT_EQ(std::get<1>(note), channel);
      const int64_t at = std::get<0>(note);
      const int velocity = std::get<3>(note), length = std::get<4>(note);
      if (std::get<2>(note) == 0 || velocity == 0) continue;
      EXPECT_LE(velocity, 127);
      ASSERT_GE(at, 0);
      ASSERT_LT(at, starts[n]) << "a note after the song";
      const int i = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), at) -
                                     starts.begin()) - 1;
      if (!row.overhangs) {
        EXPECT_LE(at + length, starts[i + 1])
            << "a note of block " << i << " at " << at << " lasting " << length
            << " ends after the block";
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
    int64_t length = 0;
    for (const BlockSpec& b : d.blocks) length += b.length;
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
    for (uint32_t seed = 1; seed <= 12; ++seed) Check(code, seed * 7919 + static_cast<uint32_t>(code));
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
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      Check(code, seed * 31337 + static_cast<uint32_t>(code));
      CheckEnd(code, seed * 31337 + static_cast<uint32_t>(code));
    }
    if (HasFailure()) break;
  }
  GneSetBiasedLowForTests(false);
}

}  // namespace
}  // namespace pattern_test
