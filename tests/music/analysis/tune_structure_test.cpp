// What each channel plays: statistics of its notes and the classification into bass,
// accompaniment, melody, rhythm and secondary melody.
#include "music/tune_structure.h"

#include <gtest/gtest.h>

#include "analysis_util.h"
#include "music/midi_event.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using analysis_test::Line;
using analysis_test::N;
using analysis_test::SongOf;

TEST(TuneStructure, StartsUndecidedWithTheRhythmChannel) {
  TuneStructure ts;
  for (int c = 0; c < kTuneChannels; ++c) EXPECT_EQ(ts.part_type[c], c == 9 ? kPartRhythm : 0);
  EXPECT_EQ(ts.FindChannelOfType(kPartMelody), kNoChannelOfType);
  EXPECT_EQ(ts.MelodyChannel(), 0);
}

TEST(TuneStructure, ProgramLists) {
  struct Case {
    int program;
    bool bass, accompaniment, melody;
  };
  const Case cases[] = {{0, true, true, true},     {9, false, true, false},  {14, false, false, false},
                        {28, false, true, false},  {31, false, false, false}, {33, true, false, false},
                        {45, false, true, false},  {46, true, true, true},   {47, false, false, false},
                        {90, false, false, false}, {100, true, true, true},  {112, false, false, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsBassProgram(c.program), c.bass) << c.program;
    EXPECT_EQ(IsAccompanimentProgram(c.program), c.accompaniment) << c.program;
    EXPECT_EQ(IsMelodyProgram(c.program), c.melody) << c.program;
  }
}

TEST(TuneStructure, Statistics) {
  std::vector<N> notes = {
      {0, 0, 60, 96}, {0, 0, 64, 96}, {0, 0, 67, 96},  // a chord: 2 + 1 overlaps, 1 single
      {96, 0, 72, 10},                                  // leap of 5 from 67; short
      {192, 0, 70, 30},                                 // step of 2; medium
      {288, 0, 40, 0},                                  // no duration class; low
  };
  auto song = SongOf(notes, 96);
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.overlapped[0], 3);
  EXPECT_EQ(ts.single[0], 4);
  EXPECT_EQ(ts.low[0], 1);
  EXPECT_EQ(ts.high[0], 5);
  EXPECT_EQ(ts.short_notes[0], 1);
  EXPECT_EQ(ts.medium_notes[0], 1);
  EXPECT_EQ(ts.long_notes[0], 3);
  EXPECT_EQ(ts.leaps[0], 2);  // 67 -> 72, 70 -> 40
  EXPECT_EQ(ts.steps[0], 3);  // 60 -> 64, 64 -> 67, 72 -> 70
  EXPECT_EQ(ts.used[0], 1);
  EXPECT_EQ(ts.used_channel_count, 1);
  EXPECT_EQ(ts.bar_count, 1);  // ends at 288
}

TEST(TuneStructure, OverlapsCountEveryLaterNoteStartingInside) {
  // A held note over four short ones: 4 overlaps for it, the short ones are single.
  std::vector<N> notes = {{0, 2, 60, 400}};
  Line(notes, 2, 4, 96, 48, {64}, 0);
  auto song = SongOf(notes, 96);
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.overlapped[2], 4);
  EXPECT_EQ(ts.single[2], 4);
}

TEST(TuneStructure, MonophonicPianoLineIsTheMelody) {
  std::vector<N> notes;
  Line(notes, 0, 32, 96, 90, {60, 62, 64, 65, 67, 65, 64, 62});
  auto song = SongOf(notes, 96, {{0, 0}});
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.part_type[0], kPartMelody);
  EXPECT_EQ(ts.MelodyChannel(), 0);
}

TEST(TuneStructure, LowSingleNotesAreTheBass) {
  for (int program : {33, 31}) {  // in the bass list; outside it (the bass choice takes it)
    std::vector<N> notes;
    Line(notes, 1, 32, 96, 90, {36, 43, 41, 38});
    Line(notes, 0, 32, 96, 90, {72, 74, 76, 77});
    auto song = SongOf(notes, 96, {{1, program}, {0, 0}});
    TuneStructure ts;
    ts.Analyse(*song, 96);
    EXPECT_EQ(ts.part_type[1], kPartBass) << program;
    EXPECT_EQ(ts.part_type[0], kPartMelody) << program;
  }
}

TEST(TuneStructure, GsRhythmPartMakesAChannelRhythm) {
  std::vector<N> notes;
  Line(notes, 1, 32, 96, 90, {60, 62, 64, 65});
  auto song = SongOf(notes, 96);
  // GS: part 2 (block 12) becomes a rhythm part; part 10's own block (10) changes nothing.
  for (uint8_t block : {0x12, 0x10}) {
    const uint8_t bytes[] = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, block, 0x15, 0x02, 0x17, 0xF7};
    auto* e = new MidiEvent(0);
    e->status = kStatusSysEx;
    e->channel = kNoChannel;
    e->SetData(bytes, sizeof bytes);
    song->track->InsertEvent(0, 0, e);
  }
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.part_type[1], kPartRhythm);
  EXPECT_EQ(ts.part_type[9], kPartRhythm);
  EXPECT_EQ(ts.FindChannelOfType(kPartMelody), kNoChannelOfType);
}

TEST(TuneStructure, FourMelodiesKeepThreeAndOneMain) {
  std::vector<N> notes;
  for (int c = 0; c < 3; ++c) Line(notes, c, 16, 96, 40, {60, 72, 62, 74});  // leaping, medium
  Line(notes, 3, 64, 24, 10, {60, 62, 64, 65, 67, 69, 71, 72});                // stepping, short
  auto song = SongOf(notes, 96, {{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  TuneStructure ts;
  ts.Analyse(*song, 96);
  int mains = 0, seconds = 0;
  for (int c = 0; c < 4; ++c) {
    mains += ts.part_type[c] == kPartMelody;
    seconds += ts.part_type[c] == kPartSecondMelody;
  }
  EXPECT_EQ(mains, 1);
  EXPECT_EQ(seconds, 2);
  EXPECT_EQ(ts.melody_count, 3);
  // The stepping line took the place of the first listed channel, once.
  EXPECT_EQ(ts.melody_list[0], 3);
  EXPECT_EQ(ts.melody_list[1], 1);
  EXPECT_EQ(ts.melody_list[2], 2);
}

TEST(TuneStructure, DrumsStayRhythmBesideOneMelody) {
  std::vector<N> notes;
  Line(notes, 0, 32, 96, 90, {60, 62, 64, 65});
  Line(notes, 9, 64, 48, 20, {36, 42, 38, 42});
  auto song = SongOf(notes, 96, {{0, 0}});
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.part_type[0], kPartMelody);
  EXPECT_EQ(ts.part_type[9], kPartRhythm);
}

TEST(TuneStructure, EmptySongDecidesNothing) {
  auto song = SongOf({}, 96);
  TuneStructure ts;
  ts.Analyse(*song, 96);
  for (int c = 0; c < kTuneChannels; ++c) EXPECT_EQ(ts.part_type[c], c == 9 ? kPartRhythm : 0) << c;
  EXPECT_EQ(ts.FindChannelOfType(kPartMelody), kNoChannelOfType);
  EXPECT_EQ(ts.bar_count, 0);
}

TEST(TuneStructure, ChannelsAboveFifteenAreSkipped) {
  std::vector<N> notes;
  Line(notes, 16, 32, 96, 90, {60, 62});
  Line(notes, 31, 32, 96, 90, {30, 32});
  auto song = SongOf(notes, 96);
  TuneStructure ts;
  ts.Analyse(*song, 96);
  EXPECT_EQ(ts.used_channel_count, 0);
  EXPECT_EQ(ts.used[16], 0);
  EXPECT_EQ(ts.part_type[16], 0);
}

TEST(TuneStructure, SwapAndClearChannels) {
  std::vector<N> notes;
  Line(notes, 0, 32, 96, 90, {60, 62, 64, 65});
  Line(notes, 1, 8, 384, 380, {36, 43});
  auto song = SongOf(notes, 96, {{0, 0}, {1, 33}});
  TuneStructure ts;
  ts.Analyse(*song, 96);
  ASSERT_EQ(ts.part_type[0], kPartMelody);
  ASSERT_EQ(ts.part_type[1], kPartBass);

  cantrel_test::Sink().Clear();
  ts.SwapChannels(*song, 0, 9);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0].substr(0, 12), "TNST32000001");
  ts.SwapChannels(*song, 0, 1);
  EXPECT_EQ(ts.part_type[1], kPartMelody);
  EXPECT_EQ(ts.part_type[0], kPartBass);
  EXPECT_EQ(song->track->CountNotesOfChannel(1), 32);
  EXPECT_EQ(song->track->CountNotesOfChannel(0), 8);

  EXPECT_EQ(ts.ClearChannel(0), 1);
  EXPECT_EQ(song->track->CountNotesOfChannel(0), 0);
  EXPECT_EQ(ts.part_type[0], 0);
  EXPECT_EQ(ts.used[0], 0);
  EXPECT_EQ(ts.ClearChannel(0), 0);
}

TEST(TuneStructure, RingtoneChannels) {
  std::vector<MobileChannelView::Event> melody, drums;
  for (int i = 0; i < 32; ++i) melody.push_back({i == 0 ? 0 : 96, kStatusNote, 60 + i % 5, 90, 100, 0, 0});
  melody.insert(melody.begin(), {0, kStatusMeta, 0, 0, 0, 0x21, 73});  // flute
  for (int i = 0; i < 32; ++i) drums.push_back({i == 0 ? 0 : 96, kStatusNote, 36, 20, 100, 0, 0});
  MobileChannelView channels[3];
  channels[0] = {2, false, melody.data(), static_cast<int32_t>(melody.size())};
  channels[1] = {5, true, drums.data(), static_cast<int32_t>(drums.size())};
  channels[2] = {300, false, nullptr, 0};
  cantrel_test::Sink().Clear();
  TuneStructure ts;
  ts.AnalyseMobile(channels, 3, 8, 96);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);  // the channel 300
  EXPECT_EQ(ts.program[2], 73);
  EXPECT_EQ(ts.part_type[2], kPartMelody);
  EXPECT_EQ(ts.part_type[5], kPartRhythm);
  EXPECT_EQ(ts.bar_count, 8);
}

}  // namespace

// The classification of many seeded channel statistics, folded into a digest: the steps of the
// classification may be rearranged, the parts it gives stay the same. The statistics are drawn
// from small ranges so that ties, empty channels and every fallback come up.
TEST(TuneStructure, ClassificationOfSeededStatisticsIsPinned) {
  GneSeedRandomWith(20261211);
  cantrel_test::Digest digest;
  for (int song = 0; song < 4000; ++song) {
    TuneStructure ts;
    const int range = GneRandomRange(0, 3) == 0 ? 4 : 60;
    ts.bar_count = GneRandomRange(0, 24);
    for (int c = 0; c < kTuneChannels; ++c) {
      ts.used[c] = GneRandomRange(0, 4) != 0 ? 1 : 0;
      ts.program[c] = GneRandomRange(0, 127);
      for (int32_t* field : {ts.overlapped, ts.single, ts.low, ts.high, ts.short_notes,
                             ts.medium_notes, ts.long_notes, ts.leaps, ts.steps})
        field[c] = ts.used[c] ? GneRandomRange(0, range) : 0;
      ts.used_channel_count += ts.used[c];
    }
    if (GneRandomRange(0, 5) == 0) ts.part_type[GneRandomRange(0, 15)] = kPartRhythm;
    ts.Classify();
    for (int c = 0; c < kTuneChannels; ++c) digest.Int(ts.part_type[c]);
    for (int32_t v : {ts.melody_count, ts.bass_count, ts.accompaniment_count}) digest.Int(v);
    for (int k = 0; k < kMelodyListSize; ++k) digest.Int(ts.melody_list[k]);
  }
  EXPECT_EQ(digest.value, 0xaf46b208baade5a7ull);
}
