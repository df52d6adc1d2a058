#include <gtest/gtest.h>

#include <chrono>

#include "export/ringtone/mobile.h"
#include "tests/music/playback/playback_fixture.h"
#include "ringtone_fixture.h"
#include "tests/support/test_support.h"

using ringtone_test::NotesOf;

namespace {

bool HasBox(const char* head) {
  for (const auto& t : cantrel_test::Sink().Texts())
    if (t.rfind(head, 0) == 0) return true;
  return false;
}

}  // namespace

TEST(MobileChannel, DuplicateValuesAskOnceAndCancelKeepsLaterValues) {
  MobileData song;
  for (int i = 0; i < 3; ++i) {
    auto v = std::make_unique<MobileChannel>(i, 2);
    v->AddControl(0, kKindVolume, 100);
    v->AddControl(10, kKindVolume, 100);  // equal: goes without a question
    v->AddControl(10, kKindVolume, 50 + i);
    v->AddNote(0, 60, 10, 64);
    song.AppendVoice(std::move(v));
  }
  cantrel_test::Sink().Clear();
  cantrel_test::Sink().QueueAnswer(plat::kIdCancel);
  song.ResolveDuplicates(kKindVolume, 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(song.voices[i]->CountKind(kMobileControl, kKindVolume), 2) << i;
    EXPECT_EQ(song.voices[i]->events[1]->delta, 20) << i;  // the deleted event's time stays
  }
}

TEST(MobileChannel, ExcerptsLengthsAndTempoInsertion) {
  MobileChannel v(0, 2);
  v.AddControl(100, kKindVolume, 90);
  v.AddNote(300, 60, 200, 64);   // at 400
  v.AddNote(500, 62, 200, 64);   // at 900
  v.AddEndOfTrack();
  MobileChannel part(v, 480, 960, kMobileCapacity);
  ASSERT_GE(part.event_count(), 3);
  EXPECT_TRUE(part.events[0]->IsControl(kKindVolume));
  EXPECT_EQ(part.events[0]->delta, 0);
  EXPECT_TRUE(part.events[1]->IsNote());
  EXPECT_EQ(part.events[1]->delta, 420);
  EXPECT_EQ(part.events[1]->duration, 60);
  EXPECT_EQ(v.events[2]->duration, 200);
  EXPECT_EQ(part.HasEndOfTrack(), 1);

  MobileChannel bars(0, 2);
  bars.AddNote(1500, 60, 200, 64);
  EXPECT_EQ(bars.GetLengthInUnits(384), 5);
  EXPECT_EQ(bars.GetLengthInUnits(0), 0);  // refused, no division by zero

  MobileChannel start(0, 2);
  start.AddControl(100, kKindStartStop, 0);
  start.AddNote(0, 60, 10, 64);
  start.InsertTempoAt(100, 400000);
  EXPECT_TRUE(start.events[0]->IsControl(kKindStartStop));
  EXPECT_TRUE(start.events[1]->IsControl(kKindTempo));
  EXPECT_EQ(start.events[0]->delta, 100);
  EXPECT_EQ(start.events[1]->delta, 0);
}

TEST(MobileData, BarLengthsAndSongFromTrack) {
  struct Case {
    int metre, division, length;
  };
  for (const Case& c : {Case{0x0404, 96, 384}, Case{0x0608, 96, 288}, Case{0x0300, 96, 384},
                        Case{0x0404, 0, 384}, Case{0, 480, 384}, Case{0x0302, 480, 2880}}) {
    MobileData song;
    song.metre = c.metre;
    song.division = c.division;
    EXPECT_EQ(song.GetBarLength(), c.length) << std::hex << c.metre;
  }
  MobileTrack track;
  track.AddControl(0, kAllVoices, kKindTempo, 500000);
  track.AddNote(10, 0, 60, 5, 64);
  track.AddControl(5, 1, kKindVolume, 100);
  track.AddControl(5, 2, kKindVolume, 100);
  track.AddNote(5, 3, 62, 5, 64);
  MobileData song(track, kMobileCapacity);
  ASSERT_EQ(song.voice_count, 2);
  EXPECT_EQ(song.voices[0]->index, 0);
  EXPECT_EQ(song.voices[1]->index, 3);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(song.voices[i]->events[0]->IsControl(kKindTempo));
  const auto notes = NotesOf(song);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].tick, 25);
}

TEST(MobileTrack, MergingKeepsTheTrackFirstAndEndsReportedWhenMissing) {
  MobileChannel a(0, 2), b(1, 2);
  a.AddNote(0, 60, 10, 64);
  a.AddNote(10, 61, 10, 64);
  b.AddNote(0, 70, 10, 64);
  b.AddNote(10, 71, 10, 64);
  MobileChannel* both[2] = {&a, &b};
  MobileTrack track(both, 2, kMobileCapacity);
  ASSERT_EQ(track.event_count(), 4);
  EXPECT_EQ(track.events[0]->voice, 0);
  EXPECT_EQ(track.events[1]->voice, 1);
  EXPECT_EQ(track.events[2]->voice, 0);
  EXPECT_EQ(track.events[2]->delta, 10);
  EXPECT_EQ(track.events[3]->delta, 0);
  cantrel_test::Sink().Clear();
  track.KeepLastOfKind(kKindEndOfTrack);
  EXPECT_TRUE(HasBox("MBTK0C000009"));
  EXPECT_EQ(track.event_count(), 4);
  // Division change carries its remainder; division 0 is refused.
  MobileTrack t;
  for (int i = 0; i < 3; ++i) t.AddNote(5, 0, 60, 96, 64);
  t.ConvertDivision(96, 12);
  EXPECT_EQ(t.events[0]->delta + t.events[1]->delta + t.events[2]->delta, 1);
  EXPECT_EQ(t.events[0]->duration, 12);
  t.ConvertDivision(0, 12);
  t.CutLeadIn(0);
}

TEST(MobileTrack, TheTrackByPositionBecomesAMidiSong) {
  MobileChannel melody(0, 2), drums(1, 1);
  melody.AddControl(0, kKindProgram, 5);
  melody.AddNote(0, 60, 48, 100);
  melody.AddNote(48, 62, 48, 100);
  drums.AddControl(0, kKindVoiceType, 1);
  drums.AddControl(0, kKindProgram, 38);
  drums.AddNote(24, 40, 10, 90);
  MobileChannel* voices[2] = {&melody, &drums};
  MobileTrack track(voices, 2, kMobileCapacity);
  Midi0Data song(kMobileCapacity);
  track.ToMidi0Data(song, 96, 0x0404, 500000);
  int notes = 0, drum_notes = 0, programs = 0;
  for (int32_t i = 0; i < song.track->event_count; ++i) {
    const MidiEvent& e = *song.track->events[i];
    if (e.status == kStatusNote) {
      ++notes;
      if (e.channel == 9) {
        ++drum_notes;
        EXPECT_EQ(e.note, 38);  // the voice's drum note
      }
    }
    if (e.status == kStatusProgram) ++programs;
  }
  EXPECT_EQ(notes, 3);
  EXPECT_EQ(drum_notes, 1);
  EXPECT_EQ(programs, 1);
}

namespace {

class PreviewTest : public playback_test::PlaybackTest {};

}  // namespace

TEST_F(PreviewTest, PlayPreviewSendsTheNotesInOrder) {
  MobileData song;
  song.division = 48;
  auto v = std::make_unique<MobileChannel>(0, 2);
  const int pitches[] = {60, 64, 67, 72};
  for (int p : pitches) v->AddNote(p == 60 ? 0 : 24, p, 20, 100);
  v->AddEndOfTrack();
  song.AppendVoice(std::move(v));
  int ended = 0;
  ASSERT_EQ(song.PlayPreview([&] { ++ended; }), 1);
  ASSERT_TRUE(WaitPlayThreadEnd(20000));
  std::vector<int> on;
  for (const auto& bytes : log_->Bytes())
    if (bytes.size() == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) on.push_back(bytes[1]);
  EXPECT_EQ(on, std::vector<int>(std::begin(pitches), std::end(pitches)));
  EXPECT_EQ(ended, 1);
}

TEST_F(PreviewTest, StopPreviewStopsThePlayThread) {
  MobileData song;
  song.division = 96;
  auto v = std::make_unique<MobileChannel>(0, 2);
  for (int i = 0; i < 200; ++i) v->AddNote(i ? 96 : 0, 60 + i % 12, 90, 100);
  v->AddEndOfTrack();
  song.AppendVoice(std::move(v));
  ASSERT_EQ(song.PlayPreview(nullptr), 1);
  ASSERT_TRUE(log_->WaitForCount(1, std::chrono::seconds(10)));
  EXPECT_EQ(MobileData::StopPreview(), 1);
  EXPECT_FALSE(PlayThreadRunning());
}

TEST_F(PreviewTest, SeventeenVoicesCannotBePlayed) {
  MobileData song;
  for (int i = 0; i < 17; ++i) {
    auto v = std::make_unique<MobileChannel>(i, 2);
    v->AddNote(0, 60, 10, 64);
    song.AppendVoice(std::move(v));
  }
  cantrel_test::Sink().Clear();
  EXPECT_EQ(song.PlayPreview(nullptr), 0);
  EXPECT_TRUE(HasBox("MBDT05000005"));
}

TEST(MobileTables, IndexesPastTheFixedTablesAreReportedAndSkipped) {
  // AddFourChannels: events of voices above 3 are dropped with one report; their time stays.
  {
    MobileTrack track;
    track.AddNote(0, 0, 60, 10, 64);
    track.AddNote(10, 5, 62, 10, 64);
    track.AddNote(10, 7, 64, 10, 64);
    track.AddNote(10, 0, 65, 10, 64);
    MobileData song;
    cantrel_test::Sink().Clear();
    song.AddFourChannels(track);
    EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_TRUE(HasBox("MBDT05000002"));
    const auto notes = NotesOf(song);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1].tick, 30);
  }
  // A merged track takes 16 voice positions: the 17th is reported and left out.
  {
    std::vector<std::unique_ptr<MobileChannel>> voices;
    std::vector<MobileChannel*> list;
    for (int i = 0; i < 17; ++i) {
      voices.push_back(std::make_unique<MobileChannel>(i, 2));
      voices.back()->AddNote(0, 40 + i, 10, 64);
      list.push_back(voices.back().get());
    }
    cantrel_test::Sink().Clear();
    MobileTrack merged(list.data(), 17, kMobileCapacity);
    EXPECT_TRUE(HasBox("MBTK0C000006"));
    int notes = 0;
    for (const auto& e : merged.events) notes += e->IsNote() ? 1 : 0;
    EXPECT_EQ(notes, 16);
  }
}
