// Each accompaniment pattern composed once through the facade: the song loads
// in mido and midicsv with the harmony on channel 3 and the sub-harmony on 7.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accomp/harmony_patterns.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/engine/parts/render_fixture.h"

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

}  // namespace
