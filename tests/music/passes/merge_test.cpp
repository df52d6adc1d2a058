// Merging and appending tracks, one merge for the song and the track.
#include <gtest/gtest.h>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::vector<std::string> Names(const MidiTrack& track) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (track.events[i]->status == kStatusMeta && track.events[i]->number == 3) {
      names.push_back(Text(*track.events[i]));
    }
  }
  return names;
}

int CountEnds(const MidiTrack& track) {
  int n = 0;
  for (int32_t i = 0; i < track.event_count; ++i) n += IsEndOfTrack(track.events[i]) ? 1 : 0;
  return n;
}

}  // namespace

TEST(MergeTracks, InterleavesRoundByRoundInTrackOrder) {
  auto a = Make(kTrackNotes, {Note(0, 0, 60, 100, 10), Note(96, 0, 62, 100, 10), End(10)});
  auto b = Make(kTrackNotes, {Note(0, 1, 40, 90, 10), Note(48, 1, 41, 90, 10), End(100)});
  MidiTrack out(kTrackNotes, kDefaultMusicCapacity);
  out.AddNote(5, 0, 1, 1, 1);  // replaced
  const MidiTrack* sources[] = {a.get(), b.get()};
  out.MergeTracks(2, sources);
  EXPECT_EQ(Notes(out), (std::vector<NoteRow>{{0, 0, 60, 100, 10},
                                               {0, 1, 40, 90, 10},
                                               {48, 1, 41, 90, 10},
                                               {96, 0, 62, 100, 10}}));
  EXPECT_EQ(CountEnds(out), 1);
  EXPECT_TRUE(out.LastIsEndOfTrack());
  EXPECT_EQ(Ticks(out).back(), 148);  // the longer source's end
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(MergeTracks, StepHelpersFollowThePositions) {
  auto a = Make(kTrackNotes, {Note(30, 0, 60, 100, 10), End(0)});
  auto b = Make(kTrackNotes, {Note(10, 1, 61, 100, 10), End(0)});
  auto c = Make(kTrackNotes, {Note(10, 2, 62, 100, 10), End(0)});
  const MidiTrack* tracks[] = {a.get(), b.get(), c.get()};
  struct Case {
    std::vector<int32_t> positions;
    int any;
    int32_t only, minimum;
    std::vector<int32_t> ties;
  };
  for (const Case& k : {Case{{0, 0, 0}, 1, -1, 10, {1, 2}},
                        Case{{0, 2, 0}, 1, -1, 10, {2}},
                        Case{{0, 1, 1}, 1, -1, 0, {1, 2}},
                        Case{{0, 2, 2}, 1, 0, 30, {0}},
                        Case{{2, 2, 2}, 0, -1, -1, {}}}) {
    EXPECT_EQ(AnyTrackHasEventsLeft(3, tracks, k.positions.data()), k.any);
    EXPECT_EQ(OnlyTrackWithEventsLeft(3, tracks, k.positions.data()), k.only);
    int32_t ties[3] = {-7, -7, -7};
    int32_t tie_count = -7;
    EXPECT_EQ(MinimumCurrentDelta(3, tracks, k.positions.data(), &tie_count, ties), k.minimum);
    EXPECT_EQ(std::vector<int32_t>(ties, ties + tie_count), k.ties);
  }
}

TEST(MergeTracks, EventsOfOneTickComeOneTrackAfterAnother) {
  // Two events at tick 10 in the first track, one in each of the others: round one
  // takes one from each track in order, round two the first track's second event.
  auto a = Make(kTrackNotes, {Note(10, 0, 60, 100, 5), Note(0, 0, 64, 100, 5), End(50)});
  auto b = Make(kTrackNotes, {Meta(0, 3, "B"), Note(10, 1, 50, 90, 5), End(0)});
  auto c = Make(kTrackNotes, {Note(10, 2, 70, 80, 5), Cc(20, 2, 7, 90), End(0)});
  const MidiTrack* sources[] = {a.get(), b.get(), c.get()};
  MidiTrack out(kTrackNotes, kDefaultMusicCapacity);
  out.MergeTracks(3, sources);
  ASSERT_EQ(out.event_count, 7);
  EXPECT_EQ(Ticks(out), (std::vector<int64_t>{0, 10, 10, 10, 10, 30, 60}));
  EXPECT_EQ(out.events[0]->number, 3u);
  EXPECT_EQ(out.events[1]->note, 60);
  EXPECT_EQ(out.events[2]->note, 50);
  EXPECT_EQ(out.events[3]->note, 70);
  EXPECT_EQ(out.events[4]->note, 64);
  EXPECT_EQ(out.events[5]->status, kStatusController);
  EXPECT_TRUE(IsEndOfTrack(out.events[6]));
  // The sources are untouched.
  EXPECT_EQ(Ticks(*a), (std::vector<int64_t>{10, 10, 60}));
  EXPECT_EQ(Ticks(*c), (std::vector<int64_t>{10, 30, 30}));
}

TEST(MergeTracks, RefusesBadCountsAndEventModeSourcesWithoutChange) {
  auto a = Make(kTrackNotes, {Note(0, 0, 60, 100, 10), End(10)});
  auto events = Make(kTrackEvents, {On(0, 0, 60, 100), Off(10, 0, 60), End(0)});
  MidiTrack out(kTrackNotes, kDefaultMusicCapacity);
  out.AddNote(0, 0, 70, 1, 1);
  struct Case {
    int32_t count;
    const MidiTrack* second;
    uint32_t code;
  };
  std::vector<const MidiTrack*> many(257, a.get());
  for (const Case& c : {Case{0, a.get(), 0x0D000026}, Case{257, a.get(), 0x0D000026},
                        Case{2, events.get(), 0x0D000001}}) {
    cantrel_test::Sink().Clear();
    many[1] = c.second;
    out.MergeTracks(c.count, many.data());
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u) << c.count;
    char code[16];
    std::snprintf(code, sizeof code, "%08X", c.code);
    EXPECT_NE(cantrel_test::Sink().Texts()[0].find(code), std::string::npos);
    EXPECT_EQ(Notes(out), (std::vector<NoteRow>{{0, 0, 70, 1, 1}}));
  }
  // 256 sources are fine.
  cantrel_test::Sink().Clear();
  many[1] = a.get();
  out.MergeTracks(256, many.data());
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(out.GetNoteCount(), 256);
}

TEST(MergeTracks, MergingWithItselfDoublesTheEvents) {
  auto a = Make(kTrackNotes, {Note(0, 0, 60, 100, 10), Note(20, 0, 62, 100, 10), End(10)});
  const MidiTrack* sources[] = {a.get(), a.get()};
  a->MergeTracks(2, sources);
  EXPECT_EQ(a->GetNoteCount(), 4);
  EXPECT_EQ(CountEnds(*a), 1);
}

TEST(MergeTrack, JoinsNamesAndPutsTheOtherFirstAtEqualTicks) {
  struct Case {
    std::string first, second, joined;
  };
  const std::string long_name(100, 'x');
  for (const Case& c : {Case{"P", "B", "P / B"}, Case{"", "B", "B"}, Case{"P", "", "P / "},
                        Case{long_name, long_name, "long name"}}) {
    std::vector<MidiEvent*> mine;
    if (!c.first.empty()) mine.push_back(Meta(0, 3, c.first));
    mine.push_back(Note(0, 0, 60, 100, 10));
    mine.push_back(End(96));
    std::vector<MidiEvent*> theirs;
    if (!c.second.empty()) theirs.push_back(Meta(0, 3, c.second));
    theirs.push_back(Note(0, 1, 50, 100, 10));
    theirs.push_back(End(48));
    auto a = Make(kTrackNotes, mine);
    auto b = Make(kTrackNotes, theirs);
    a->MergeTrack(*b);
    EXPECT_EQ(Names(*a), std::vector<std::string>{c.joined}) << c.first << "|" << c.second;
    EXPECT_EQ(Notes(*a), (std::vector<NoteRow>{{0, 1, 50, 100, 10}, {0, 0, 60, 100, 10}}));
    EXPECT_EQ(CountEnds(*a), 1);
    EXPECT_EQ(Ticks(*a).back(), 96);
  }
}

TEST(MergeTrack, KeepingNamesDropsTheNameOfAChannelTrack) {
  auto a = Make(kTrackNotes, {Meta(0, 3, "Song"), End(10)});
  auto channel = Make(kTrackNotes, {Meta(0, 3, "Piano"), Note(0, 0, 60, 1, 1), End(10)});
  auto conductor = Make(kTrackNotes, {Meta(0, 3, "Tempo"), Tempo(0, 500000), End(10)});
  a->MergeTrackKeepNames(*channel);
  EXPECT_EQ(Names(*a), std::vector<std::string>{"Song"});
  a->MergeTrackKeepNames(*conductor);
  EXPECT_EQ(Names(*a), (std::vector<std::string>{"Tempo", "Song"}));
  // A source in event mode changes nothing.
  auto events = Make(kTrackEvents, {On(0, 0, 60, 100), Off(10, 0, 60), End(0)});
  const int32_t before = a->event_count;
  a->MergeTrack(*events);
  EXPECT_EQ(a->event_count, before);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(AppendTrack, FollowsFromTheEndAndKeepsALastEventThatIsNoEnd) {
  auto a = Make(kTrackNotes, {Note(0, 0, 60, 100, 10), End(1920)});
  auto b = Make(kTrackNotes, {Note(0, 0, 62, 100, 10), End(10)});
  a->AppendTrack(*b);
  EXPECT_EQ(Notes(*a), (std::vector<NoteRow>{{0, 0, 60, 100, 10}, {1920, 0, 62, 100, 10}}));
  EXPECT_EQ(CountEnds(*a), 1);
  auto open = Make(kTrackNotes, {Note(0, 0, 60, 100, 10), Note(5, 0, 61, 100, 10)});
  open->AppendTrack(*b);
  EXPECT_EQ(open->GetNoteCount(), 3);
}

TEST(MergeToFormat0, IsTheTrackMergeOfTheSong) {
  Midi1Data song(96, kDefaultMusicCapacity);
  for (int t = 0; t < 3; ++t) {
    Midi1Track* track = song.AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
    if (t == 0) track->AddEvent(Meta(0, 3, "Title"));
    track->AddNote(t, 0, 60 + t, 100, 10);
    track->AddNote(t, 24 * (t + 1), 70 + t, 100, 10);
    track->AddEndOfTrackAt(10);
  }
  Midi0Data merged(kDefaultMusicCapacity);
  song.MergeToFormat0(merged);
  MidiTrack direct(kTrackNotes, kDefaultMusicCapacity);
  const MidiTrack* sources[] = {song.tracks[0], song.tracks[1], song.tracks[2]};
  direct.MergeTracks(3, sources);
  ASSERT_EQ(merged.track->event_count, direct.event_count);
  for (int32_t i = 0; i < direct.event_count; ++i) {
    EXPECT_TRUE(merged.track->events[i]->Equals(*direct.events[i])) << i;
  }
  EXPECT_EQ(Text(*merged.track->events[0]), "Title");
  EXPECT_EQ(merged.division, 96);
}
