// The tune structure of a ringtone song.
#include "export/ringtone/tune_mobile.h"

#include <gtest/gtest.h>

#include "export/ringtone/mobile.h"
#include "music/tune_structure.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<MobileChannel> Voice(int index, int kind, int program, int low, int step, int length) {
  auto v = std::make_unique<MobileChannel>(index, kind);
  v->AddControl(0, kKindProgram, program);
  for (int n = 0; n < 32; ++n) v->AddNote(n == 0 ? 0 : length, low + (n * step) % 12, length, 100);
  v->AddEndOfTrack();
  return v;
}

}  // namespace

TEST(AnalyseMobile, VoicesAreChannelsOfTheirIndexAndDrumsAreRhythm) {
  MobileData song;
  song.division = 96;
  song.metre = 0x0404;
  song.AppendVoice(Voice(0, 2, 33, 36, 5, 96));   // bass: low, a finger bass
  song.AppendVoice(Voice(1, 2, 73, 72, 2, 48));   // melody: high, a flute
  song.AppendVoice(Voice(9, 1, 36, 36, 0, 24));   // drums
  song.AppendVoice(Voice(300, 2, 0, 60, 1, 96));  // no MIDI channel of that number
  TuneStructure tune;
  cantrel_test::Sink().Clear();
  AnalyseMobile(tune, song);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(tune.part_type[9], kPartRhythm);
  EXPECT_EQ(tune.program[0], 33);
  EXPECT_EQ(tune.program[1], 73);
  EXPECT_EQ(tune.bar_count, song.GetBarCount());
  EXPECT_EQ(tune.used[0], 1);
  EXPECT_EQ(tune.used[1], 1);
  EXPECT_EQ(tune.used[2], 0);
  // The low finger bass is the bass, the high flute the melody.
  EXPECT_EQ(tune.part_type[0], kPartBass);
  EXPECT_EQ(tune.part_type[1], kPartMelody);
  EXPECT_EQ(tune.MelodyChannel(), 1);
}
