// Each accompaniment pattern composed once through the facade: the song loads
// in mido and midicsv with the harmony on channel 3 and the sub-harmony on 7.
// The riff a song's riff pattern makes is played by every part that plays a
// stored riff, in the same rendering and in later ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "accomp/harmony_patterns.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/arrange/render/render_fixture.h"

namespace {

class HarmonyRenderTest : public EngineTest {};

// Patterns that may stay silent for a whole short song by chance (or, for
// the custom grid, by an empty drawing).
bool MayBeSilent(int code) { return code == 18 || code == 47 || code == 53 || code == 58; }

TEST_F(HarmonyRenderTest, EveryPatternComposesIntoAReadableSong) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  render_test::SongSpec spec;
  spec.bars = 4;
  spec.chords = {"C", "Am", "F", "G7"};
  spec.tones = {{60, 8, "la"}, {64, 8}, {67, 16, "lo"}, {65, 8}, {64, 8}, {62, 16}};
  for (int code = kFirstHarmonyPattern; code <= kLastHarmonyPattern; ++code) {
    if (FindHarmonyPattern(code) == nullptr) continue;
    SCOPED_TRACE("code " + std::to_string(code));
    ResetEngineState();
    auto song = render_test::MakeSong(spec);
    render_test::PrepareRoad(*song, spec, 0, 1, 40u + static_cast<uint32_t>(code));
    StyleRecord& style = CurrentStyle();
    style.accompaniment = code;
    style.subharmony_accompaniment = code;
    style.instrument[kHarmonyChannel] = 24;
    style.instrument[kSubHarmonyChannel] = 0;
    const auto path = cantrel_test::TempDir() / "song.mid";
    CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
    size_t harmony = 0, sub = 0;
    for (const std::string& l : lines) {
      harmony += l.rfind("note 3 ", 0) == 0;
      sub += l.rfind("note 7 ", 0) == 0;
    }
    if (!MayBeSilent(code)) {
      EXPECT_GT(harmony, 0u);
      EXPECT_GT(sub, 0u);
    }
    int status = 0;
    const std::string csv = parts_test::RunMidicsv(path, &status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(csv.empty());
  }
}

// Onsets of the sounding notes of a channel in mido's lines.
std::set<long long> OnsetsOn(const std::vector<std::string>& lines, int channel) {
  std::set<long long> onsets;
  for (const std::string& l : lines) {
    int ch = 0, pitch = 0, velocity = 0, length = 0;
    long long tick = 0;
    if (std::sscanf(l.c_str(), "note %d %lld %d %d %d", &ch, &tick, &pitch, &velocity,
                    &length) == 5 &&
        ch == channel && velocity > 0)
      onsets.insert(tick);
  }
  return onsets;
}

class RiffRenderTest : public EngineTest {
 protected:
  static constexpr int kBassChannel = 2;
  static constexpr int kLongRiffBass = 19;

  // Composes the song with the harmony, sub-harmony and bass codes; `stored`,
  // when given, is the riff the song's style holds. Mido's lines come back.
  std::vector<std::string> Compose(int harmony, int sub, int bass, const uint8_t* stored) {
    ResetEngineState();
    auto song = render_test::MakeSong(spec_);
    render_test::PrepareRoad(*song, spec_, 0, 1, 77);
    StyleRecord& style = CurrentStyle();
    if (stored != nullptr) std::memcpy(style.riff, stored, sizeof style.riff);
    style.accompaniment = harmony;
    style.subharmony_accompaniment = sub;
    style.bass_pattern = bass;
    for (int ch : {kBassChannel, kHarmonyChannel, kSubHarmonyChannel}) style.instrument[ch] = 24;
    const auto path = cantrel_test::TempDir() / "riff.mid";
    CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
    int division = 0;
    std::vector<std::string> lines;
    EXPECT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
    return lines;
  }

  render_test::SongSpec spec_ = [] {
    render_test::SongSpec spec;
    spec.bars = 4;
    spec.chords = {"C", "Am", "F", "G"};
    spec.tones = {{60, 8, "la"}, {64, 8}, {67, 16, "lo"}, {65, 8}, {64, 8}, {62, 16}};
    return spec;
  }();
};

// A harmony of code 40 or 46 with a sub-harmony of code 41 plays one riff in
// both parts and leaves it in the style; a later rendering of the song with
// harmony 41 plays it again, as does the long-riff bass beside it.
TEST_F(RiffRenderTest, TheRiffMadeIsTheRiffStoredAndPlayed) {
  CANTREL_NEED_MIDO();
  for (int maker : {40, 46}) {
    SCOPED_TRACE("harmony " + std::to_string(maker));
    const std::vector<std::string> first = Compose(maker, 41, 1, nullptr);
    uint8_t riff[sizeof StyleRecord::riff];
    std::memcpy(riff, CurrentStyle().riff, sizeof riff);
    ASSERT_GT(riff[0], 0) << "no riff stored";
    const std::set<long long> harmony = OnsetsOn(first, kHarmonyChannel);
    ASSERT_FALSE(harmony.empty());
    EXPECT_EQ(OnsetsOn(first, kSubHarmonyChannel), harmony);

    const std::vector<std::string> later = Compose(41, 48, kLongRiffBass, riff);
    EXPECT_EQ(OnsetsOn(later, kHarmonyChannel), harmony);
    EXPECT_EQ(std::memcmp(CurrentStyle().riff, riff, sizeof riff), 0) << "the stored riff changed";
    const std::set<long long> bass = OnsetsOn(later, kBassChannel);
    EXPECT_FALSE(bass.empty());
    EXPECT_TRUE(std::includes(harmony.begin(), harmony.end(), bass.begin(), bass.end()))
        << "bass onsets off the riff";
  }
}

}  // namespace
