// The frames of the harmony, sub-harmony, bass and drum parts: which tracks they append, their
// headers and pans, the doubled harmony, the pattern-code errors, the pickup mute, the kit
// program and the drum grid.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "accomp/harmony.h"
#include "engine/bass_part.h"
#include "engine/bass_patterns.h"
#include "engine/compose_info.h"
#include "engine/drum_part.h"
#include "engine/drum_patterns.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "engine/render_messages.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"

using parts_test::Controllers;
using parts_test::Notes;

namespace {

constexpr ProgramErrorCode kPatternError = 0xFF010027u;

class PartFramesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StyleRecord& s = CurrentStyle();
    for (int ch : {2, 3, 7, 9}) s.instrument[ch] = 1;
    s.mixer[3].pan = 64;
    s.accompaniment = 1;
    s.subharmony_accompaniment = 1;
    s.bass_pattern = 1;
    s.drum_pattern = 1;
    parts_test::SetChordLengths({384, 384});
  }
  static std::vector<int> Channels(const MidiTrack& track) {
    std::vector<int> out;
    for (int32_t i = 0; i < track.event_count; ++i) {
      const int ch = track.events[i]->channel;
      if (ch != kNoChannel && (out.empty() || out.back() != ch)) out.push_back(ch);
    }
    return out;
  }
  static std::vector<int> Pans(const MidiTrack& track) {
    std::vector<int> out;
    for (const auto& [tick, number, value] : Controllers(track))
      if (number == 10) out.push_back(value);
    return out;
  }
  static std::vector<std::string> MessageTexts() {
    std::vector<std::string> out;
    for (const auto& box : cantrel_test::Sink().Boxes())
      if (box.kind == plat::BoxKind::Message) out.push_back(box.text);
    return out;
  }
  EventList melody_;
};

TEST_F(PartFramesTest, PartsSwitchedOffAppendNothing) {
  StyleRecord& s = CurrentStyle();
  for (int ch : {2, 3, 7, 9}) s.instrument[ch] = kInstrumentOff;
  s.mixer[3].double_delay = 12;
  PartTrackList tracks;
  GenerateHarmonyPart(tracks, melody_);
  GenerateSubHarmonyPart(tracks, melody_);
  GenerateBassPart(tracks, melody_);
  BuildDrumTrack(tracks);
  EXPECT_TRUE(tracks.empty());
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(PartFramesTest, EachPartAppendsOneClosedTrackOnItsChannel) {
  PartTrackList tracks;
  GenerateHarmonyPart(tracks, melody_);
  GenerateSubHarmonyPart(tracks, melody_);
  GenerateBassPart(tracks, melody_);
  BuildDrumTrack(tracks);
  ASSERT_EQ(tracks.size(), 4u);
  const int channels[] = {3, 7, 2, 9};
  for (size_t i = 0; i < tracks.size(); ++i) {
    EXPECT_EQ(Channels(*tracks[i]), std::vector<int>{channels[i]}) << i;
    ASSERT_NE(tracks[i]->LastEvent(), nullptr);
    EXPECT_EQ(tracks[i]->LastEvent()->status, kStatusMeta) << i;
    EXPECT_EQ(tracks[i]->LastEvent()->number, 0x2Fu) << i;  // End of Track
  }
}

// The doubled harmony: the channel-11 copy first, panned (pan - 40) AND 127, then the channel-3
// track panned (pan + 40) AND 127; both wrap.
TEST_F(PartFramesTest, TheHarmonyDoubleComesFirstWithBothPansWrapped) {
  struct Case {
    int pan, copy_pan, harmony_pan;
  };
  for (const Case& c : {Case{64, 24, 104}, Case{20, 108, 60}, Case{100, 60, 12}}) {
    CurrentStyle().mixer[3].pan = static_cast<uint8_t>(c.pan);
    CurrentStyle().mixer[3].double_delay = 12;
    PartTrackList tracks;
    GenerateHarmonyPart(tracks, melody_);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(Channels(*tracks[0]), std::vector<int>{11});
    EXPECT_EQ(Channels(*tracks[1]), std::vector<int>{3});
    EXPECT_EQ(Pans(*tracks[0]), std::vector<int>{c.copy_pan}) << "pan " << c.pan;
    EXPECT_EQ(Pans(*tracks[1]), std::vector<int>{c.harmony_pan}) << "pan " << c.pan;
  }
}

TEST_F(PartFramesTest, TheSubHarmonyIsNeverDoubled) {
  CurrentStyle().mixer[7].double_delay = 12;
  CurrentStyle().mixer[7].pan = 30;
  PartTrackList tracks;
  GenerateSubHarmonyPart(tracks, melody_);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Channels(*tracks[0]), std::vector<int>{7});
  EXPECT_EQ(Pans(*tracks[0]), std::vector<int>{30});
}

// Codes without a pattern: the error once per part, and a closed track without notes.
TEST_F(PartFramesTest, CodesWithoutAPatternReportTheErrorAndWriteNoNote) {
  struct Case {
    int harmony, bass, drums;
  };
  for (const Case& c : {Case{48, 24, 41}, Case{0, 0, 0}, Case{-1, -1, -1}, Case{63, 99, 256}}) {
    cantrel_test::Sink().Clear();
    StyleRecord& s = CurrentStyle();
    s.accompaniment = c.harmony;
    s.bass_pattern = c.bass;
    s.drum_pattern = c.drums;
    PartTrackList tracks;
    GenerateHarmonyPart(tracks, melody_);
    GenerateBassPart(tracks, melody_);
    BuildDrumTrack(tracks);
    ASSERT_EQ(tracks.size(), 3u);
    for (const auto& t : tracks) EXPECT_TRUE(Notes(*t).empty());
    EXPECT_EQ(Pans(*tracks[0]).size(), 1u);
    EXPECT_EQ(ErrorCount(kPatternError), 2) << c.harmony;
    EXPECT_EQ(ErrorCount(0xFF010001u), 1) << c.drums;
    EXPECT_TRUE(MessageTexts().empty());
  }
}

// Within one rendering the pattern-code error is shown once however many parts meet it; the
// parts keep their frames and sound nothing, and no other message follows.
TEST_F(PartFramesTest, ARenderingShowsThePatternErrorOnce) {
  StyleRecord& s = CurrentStyle();
  s.accompaniment = 48;
  s.subharmony_accompaniment = 48;
  s.bass_pattern = 24;
  s.drum_pattern = 3;
  {
    RenderMessageScope rendering;
    PartTrackList tracks;
    GenerateHarmonyPart(tracks, melody_);
    GenerateSubHarmonyPart(tracks, melody_);
    GenerateBassPart(tracks, melody_);
    BuildDrumTrack(tracks);
    GenerateHarmonyPart(tracks, melody_);  // the same part and code again
    EXPECT_EQ(tracks.size(), 5u);
    for (size_t i = 0; i < tracks.size(); ++i)
      EXPECT_EQ(Notes(*tracks[i]).empty(), i != 3) << i;  // the drums play their march
  }
  EXPECT_EQ(ErrorCount(kPatternError), 1);
  EXPECT_TRUE(MessageTexts().empty());
}

// Every bass and drum code in range has its generator, so no part is left silent for want of
// one; a part built on its own plays and shows nothing.
TEST_F(PartFramesTest, EveryBassAndDrumCodeHasItsGenerator) {
  for (int code = kFirstBassPattern; code <= kLastBassPattern; ++code)
    EXPECT_NE(FindBassPattern(code), nullptr) << "bass " << code;
  for (int code = kFirstDrumPattern; code <= kLastDrumPattern; ++code)
    EXPECT_NE(FindDrumPattern(code), nullptr) << "drums " << code;
  CurrentStyle().bass_pattern = 7;
  PartTrackList tracks;
  GenerateBassPart(tracks, melody_);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_FALSE(Notes(*tracks.back()).empty());
  CurrentStyle().subharmony_accompaniment = 1;
  GenerateSubHarmonyPart(tracks, melody_);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_FALSE(Notes(*tracks.back()).empty());
}

// No chord blocks: each part keeps its header and lead-in and plays nothing, silently.
TEST_F(PartFramesTest, WithoutChordBlocksThePartsWriteOnlyTheirFrames) {
  parts_test::SetChordLengths({});
  LeadInSetting() = 1;
  PartTrackList tracks;
  {
    RenderMessageScope rendering;
    GenerateHarmonyPart(tracks, melody_);
    GenerateSubHarmonyPart(tracks, melody_);
    GenerateBassPart(tracks, melody_);
    BuildDrumTrack(tracks);
  }
  ASSERT_EQ(tracks.size(), 4u);
  for (const auto& t : tracks) EXPECT_TRUE(Notes(*t).empty());
  EXPECT_EQ(BoxCount(), 0u);
}

// The first bar of the bass falls silent under a melody pickup of 192 ticks up to a bar.
TEST_F(PartFramesTest, TheBassFirstBarIsMutedUnderAPickup) {
  struct Case {
    int metre, lead_rest, lead_in;
    std::vector<int> velocities;  // of the notes at 0, 96, ... 480 ticks after the lead-in
  };
  const std::vector<Case> cases = {
      {0, 240, 0, {0, 0, 0, 0, 64, 64}},
      {0, 96, 0, {64, 64, 64, 64, 64, 64}},
      {0, 191, 0, {64, 64, 64, 64, 64, 64}},
      {0, 384, 0, {64, 64, 64, 64, 64, 64}},
      {0, 240, 1, {64, 64, 64, 64, 64, 64}},  // the lead-in fills the first bar
      {1, 192, 0, {0, 0, 0, 64, 64, 64}},
  };
  for (const Case& c : cases) {
    CurrentStyle().metre = c.metre;
    LeadInSetting() = c.lead_in;
    for (EventList* list : {&VocalMelodyList(), &InstrumentalMelodyList()}) {
      list->FreeEvents();
      list->AppendNote(c.lead_rest, 0);
      list->AppendNote(96, 67);
    }
    PartTrack track;
    WritePartHeader(track, 2, 33, CurrentStyle().mixer[2], 0);
    AddNote(track, 2, GetLeadInTicks(), 0, 0, 0);
    for (int i = 0; i < 6; ++i) AddNote(track, 2, i == 0 ? 0 : 96, 40, 64, 90);
    CloseTrack(track);
    MuteBassUnderPickup(track);
    std::vector<int> velocities;
    for (const auto& n : Notes(track)) velocities.push_back(std::get<3>(n));
    EXPECT_EQ(velocities, c.velocities) << "metre " << c.metre << ", rest " << c.lead_rest
                                        << ", lead-in " << c.lead_in;
  }
}

TEST_F(PartFramesTest, DrumKitProgramFollowsPatternBeatMetreKitAndModule) {
  struct Case {
    int pattern, beat, metre, kit, module, program;
  };
  const Case cases[] = {
      {1, 3, 1, 2, 0, 40}, {1, 3, 1, 2, 1, 40}, {1, 3, 1, 2, 2, 0},  {1, 3, 0, 2, 0, 0},
      {1, 3, 0, 1, 1, 40}, {1, 3, 2, 4, 2, 0},  {1, 0, 1, 1, 0, 0},  {18, 0, 0, 1, 1, 49},
      {18, 0, 0, 1, 2, 0}, {18, 3, 0, 1, 0, 0}, {2, 3, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    StyleRecord& s = CurrentStyle();
    s.drum_pattern = c.pattern;
    s.basic_beat = c.beat;
    s.metre = c.metre;
    s.instrument[9] = c.kit;
    SoundModuleMode() = c.module;
    EXPECT_EQ(DrumKitProgram(), c.program)
        << c.pattern << " " << c.beat << " " << c.metre << " " << c.kit << " " << c.module;
  }
}

TEST_F(PartFramesTest, TheDrumHeaderOfTheSystemsSettingsSendsNoProgram) {
  SoundModuleMode() = 2;
  LeadInSetting() = 0;
  PartTrackList tracks;
  BuildDrumTrack(tracks);
  ASSERT_EQ(tracks.size(), 1u);
  for (int32_t i = 0; i < tracks[0]->event_count; ++i)
    EXPECT_NE(tracks[0]->events[i]->status, kStatusProgram);
}

DrumGrid GridOf(const std::vector<std::tuple<int, int, int>>& notes) {
  DrumGrid g;
  for (const auto& [row, note, velocity] : notes) {
    for (DrumGridSlot& slot : g.rows[row]) {
      if (slot.note != -1) continue;
      slot = {note, velocity};
      break;
    }
  }
  return g;
}

// A grid block: row j at 24 j, 2-tick notes; the next block starts at this one's end.
TEST_F(PartFramesTest, DrumGridRowsSoundOnTheirStepsAndTheBlockKeepsItsLength) {
  struct Case {
    int length;
    std::vector<std::tuple<int, int, int>> grid;  // row, note, velocity
    std::vector<std::tuple<int64_t, int, int>> notes;  // tick, note, velocity
  };
  const std::vector<Case> cases = {
      {384, {{0, 36, 100}, {0, 42, 60}, {15, 38, 90}}, {{0, 36, 100}, {0, 42, 60}, {360, 38, 90}}},
      {400, {{0, 36, 100}}, {{0, 36, 100}, {384, 36, 100}}},  // row 16 is row 0 again, 16 long
      {10, {{0, 36, 100}, {1, 38, 80}}, {{0, 36, 100}}},
      {96, {}, {}},
  };
  for (const Case& c : cases) {
    PartTrack track;
    const int pending = WriteDrumGrid(c.length, 0, GridOf(c.grid), track, 9);
    AddNote(track, 9, pending, 49, 1, 1);  // the next block's first note
    std::vector<std::tuple<int64_t, int, int>> got;
    int64_t next = -1;
    for (const auto& [tick, ch, note, velocity, length] : Notes(track)) {
      if (note == 49) {
        next = tick;
        continue;
      }
      got.emplace_back(tick, note, velocity);
      EXPECT_EQ(length, 2);
    }
    EXPECT_EQ(got, c.notes) << c.length;
    EXPECT_EQ(next, c.length);
  }
}

TEST_F(PartFramesTest, MergedGridsFillFreeSlotsAndDropWhatAFullRowCannotTake) {
  std::vector<std::tuple<int, int, int>> full;
  for (int k = 0; k < 8; ++k) full.emplace_back(2, 60 + k, 50);
  DrumGrid source = GridOf(full);
  source.rows[0][0] = {36, 100};
  source.rows[0][2] = {42, 40};  // slot 1 is free
  const DrumGrid layer = GridOf({{0, 38, 90}, {0, 46, 70}, {2, 49, 110}, {5, 51, 30}});
  DrumGrid merged;
  MergeDrumGrid(merged, source, layer);
  EXPECT_EQ(merged.rows[0][0].note, 36);
  EXPECT_EQ(merged.rows[0][1].note, 38);
  EXPECT_EQ(merged.rows[0][2].note, 42);
  EXPECT_EQ(merged.rows[0][3].note, 46);
  EXPECT_EQ(merged.rows[0][3].velocity, 70);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(merged.rows[2][k].note, 60 + k);
  EXPECT_EQ(merged.rows[5][0].note, 51);
  EXPECT_EQ(merged.rows[5][1].note, -1);
}

}  // namespace
