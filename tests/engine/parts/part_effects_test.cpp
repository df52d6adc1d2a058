// Performance effects on closed part tracks.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/engine_state.h"
#include "engine/part_effects.h"
#include "engine/part_tracks.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Bends;
using parts_test::Controllers;
using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class EffectTest : public EngineTest {
 protected:
  // A closed channel track of the program with notes (pitch, step) played 3 ticks short.
  static void Melody(PartTrack& t, int channel, int program,
                     const std::vector<std::pair<int, int>>& notes) {
    MixerRecord m;
    m.volume = 100;
    WritePartHeader(t, channel, program, m, 0);
    int delta = 0;
    for (const auto& [pitch, step] : notes) {
      AddNote(t, channel, delta, pitch, 64, step - 3);
      delta = step;
    }
    CloseTrack(t);
  }
  static std::vector<std::pair<int, int>> LongMelody(int bars) {
    std::vector<std::pair<int, int>> out;
    const int steps[] = {96, 48, 48, 192, 96, 96, 72, 24, 96, 384};
    const int pitches[] = {60, 62, 64, 65, 67, 69, 71, 72, 0, 64};
    int total = 0;
    for (int k = 0; total < bars * 384; ++k) {
      out.push_back({pitches[k % 10], steps[k % 10]});
      total += steps[k % 10];
    }
    return out;
  }
};

TEST_F(EffectTest, TremoloAt120Bpm) {
  CurrentStyle().tempo = 500000;
  PartTrack t;
  Melody(t, 1, 40, {{60, 392}});
  // 192-tick note followed by a 200-tick gap.
  for (int32_t i = 0; i < t.event_count; ++i)
    if (t.events[i]->status == kStatusNote) t.events[i]->duration = 192;
  EffectTremolo(t);
  const auto notes = Notes(t);
  ASSERT_EQ(notes.size(), 8u);
  for (size_t k = 0; k < notes.size(); ++k) {
    EXPECT_EQ(std::get<0>(notes[k]), static_cast<int64_t>(24 * k));
    EXPECT_EQ(std::get<4>(notes[k]), k + 1 < notes.size() ? 12 : 24);
  }
  EXPECT_EQ(t.GetEndTime(), 480);
}

TEST_F(EffectTest, TremoloStepFollowsTempoAndRhythm) {
  struct Case { int tempo, beat, step; };
  for (const Case& c : {Case{750000, 1, 12}, Case{750000, 3, 16}, Case{600000, 3, 32}}) {
    CurrentStyle().tempo = c.tempo;
    CurrentStyle().basic_beat = c.beat;
    PartTrack t;
    Melody(t, 1, 40, {{60, 384}, {62, 96}});
    EffectTremolo(t);
    const auto notes = Notes(t);
    ASSERT_GT(notes.size(), 3u);
    EXPECT_EQ(std::get<0>(notes[1]) - std::get<0>(notes[0]), c.step);
    EXPECT_EQ(std::get<4>(notes[0]), c.step / 2);
    EXPECT_NE(std::find(notes.begin(), notes.end(), NoteRow{384, 1, 62, 64, c.step / 2}), notes.end());
  }
}

TEST_F(EffectTest, BendInNoteAtBendsOrGraces) {
  PartTrack bend;
  Melody(bend, 1, 40, {{60, 96}, {62, 96}});
  const int32_t first = bend.FindFirstNote();
  EXPECT_EQ(BendInNoteAt(bend, first, 10), 2);
  EXPECT_EQ(Bends(bend), (std::vector<std::pair<int64_t, int>>{{0, 7492}, {10, 8192}}));
  EXPECT_EQ(std::get<0>(Notes(bend)[1]), 96);

  PartTrack grace;
  Melody(grace, 1, 5, {{60, 96}, {62, 96}});
  EXPECT_EQ(BendInNoteAt(grace, grace.FindFirstNote(), 10), 1);
  EXPECT_EQ(Notes(grace), (std::vector<NoteRow>{{0, 1, 59, 64, 3}, {4, 1, 60, 64, 93},
                                                {96, 1, 62, 64, 93}}));
  PartTrack small;
  Melody(small, 1, 5, {{60, 96}, {62, 96}});
  EXPECT_EQ(BendInNoteAt(small, small.FindFirstNote(), 7), 0);
  EXPECT_EQ(Notes(small).size(), 2u);

  PartTrack not_note;
  Melody(not_note, 1, 40, {{60, 96}});
  EXPECT_EQ(BendInNoteAt(not_note, 0, 10), 0);
  EXPECT_EQ(ErrorCount(kMelodyTrackDataType), 1);
}

TEST_F(EffectTest, RepeatNoteAt) {
  PartTrack t;
  Melody(t, 1, 40, {{60, 96}, {62, 96}});
  EXPECT_EQ(RepeatNoteAt(t, t.FindFirstNote(), 24), 3);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 60, 64, 19}, {24, 1, 60, 64, 19},
                                            {48, 1, 60, 64, 19}, {72, 1, 60, 64, 19},
                                            {96, 1, 62, 64, 93}}));
}

// A rest after the note stays silent: the repeats keep to the note's own steps.
TEST_F(EffectTest, RepeatNoteAtLeavesTheRestAfterTheNote) {
  PartTrack t;
  Melody(t, 1, 40, {{60, 96}, {0, 48}, {62, 96}});
  EXPECT_EQ(RepeatNoteAt(t, t.FindFirstNote(), 24), 3);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 60, 64, 19}, {24, 1, 60, 64, 19},
                                            {48, 1, 60, 64, 19}, {72, 1, 60, 64, 19},
                                            {144, 1, 62, 64, 93}}));
}

TEST_F(EffectTest, SirenRipplesThroughTheGap) {
  PartTrack t;
  Melody(t, 1, 40, {{60, 48}, {70, 48}});
  EffectSiren(t);
  const auto notes = Notes(t);
  // Copies every 4 ticks while the next event is 4 or more away: the last one lands
  // on the next note's tick.
  ASSERT_EQ(notes.size(), 26u);
  for (size_t k = 0; k < 13; ++k) {
    EXPECT_EQ(std::get<0>(notes[k]), static_cast<int64_t>(4 * k));
    EXPECT_EQ(std::get<2>(notes[k]), 60 + static_cast<int>(k % 12));
    EXPECT_EQ(std::get<4>(notes[k]), 2);
  }
  EXPECT_EQ(std::get<0>(notes[13]), 48);
  EXPECT_EQ(std::get<2>(notes[13]), 70);
  for (const NoteRow& r : notes) EXPECT_LE(std::get<2>(r), 127);
}

TEST_F(EffectTest, EveryEffectKeepsTimeAndOrder) {
  const int codes[] = {5, 10, 13, 17, 18, 19, 20, 21, 22};
  for (int code : codes) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      CurrentStyle().parts[4].effect = code;
      CurrentStyle().parts[4].range_high = 84;
      PartTrack t;
      Melody(t, 4, 40 + 60 * (seed % 2) /* 100: bendable, 40: bendable */, LongMelody(8));
      const int64_t end = t.GetEndTime();
      const auto before = Notes(t);
      ApplyPartEffects(t, 4);
      ASSERT_TRUE(t.LastIsEndOfTrack()) << code;
      EXPECT_EQ(t.GetEndTime(), end) << code;
      for (int32_t i = 0; i < t.event_count; ++i) {
        ASSERT_GE(t.events[i]->delta, 0) << code;
        if (t.events[i]->status == kStatusNote) {
          EXPECT_GE(t.events[i]->velocity, 0);
          EXPECT_LE(t.events[i]->velocity, 127);
          EXPECT_LE(t.events[i]->note, 127);
        }
      }
      // Every note start of the melody still has a note.
      std::set<int64_t> starts;
      for (const NoteRow& r : Notes(t)) starts.insert(std::get<0>(r));
      for (const NoteRow& r : before) {
        if (code == 21) break;  // glides may turn bends into notes; starts are kept below
        const int64_t s = std::get<0>(r);
        EXPECT_TRUE(starts.count(s) || starts.count(s + 4)) << code << " at " << s;
      }
    }
  }
}

TEST_F(EffectTest, ChannelOneQuestionOnlyOnce) {
  CurrentStyle().parts[1].effect = 9;
  PartTrack a;
  Melody(a, 1, 40, {{60, 96}});
  ApplyPartEffects(a, 1);
  EXPECT_EQ(BoxCount(), 1u);
  PartTrack b;
  Melody(b, 1, 40, {{60, 96}});
  ApplyPartEffects(b, 1);
  EXPECT_EQ(BoxCount(), 1u);
}

TEST_F(EffectTest, NoQuestionWhenTheFirstCompositionDoesNotNeedIt) {
  PartTrack a;
  Melody(a, 1, 40, {{60, 96}});
  ApplyPartEffects(a, 1);
  CurrentStyle().parts[1].effect = 12;
  PartTrack b;
  Melody(b, 1, 40, {{60, 96}});
  ApplyPartEffects(b, 1);
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_GT(b.CountController(74), 3);
}

TEST_F(EffectTest, LongPipeFillsGapsAndEnds) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    Melody(t, 1, 40, LongMelody(4));
    const int64_t end = t.EventTicks().back();
    EffectLongPipe(t);
    EXPECT_EQ(t.EventTicks().back(), end);
    for (const NoteRow& r : Notes(t)) EXPECT_LE(std::get<4>(r), 12);
  }
}

TEST_F(EffectTest, PanStepWalks) {
  PartTrack t;
  int value = 120;
  for (int k = 0; k < 4; ++k) AddPanStep(t, 1, &value);
  const auto c = Controllers(t);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(std::get<2>(c[0]), 120);
  EXPECT_EQ(std::get<2>(c[1]), 125);
  EXPECT_EQ(std::get<2>(c[2]), 124);  // 130 turns to 124, the step to -5
  EXPECT_EQ(std::get<2>(c[3]), 119);
}

}  // namespace
