#include "music/midi_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_track.h"
#include "tests/support/test_support.h"

namespace {

MidiEvent Controller(int ch, int number, int value) {
  MidiEvent e(0);
  e.SetControlChange(ch, number, value);
  return e;
}
MidiEvent Program(int ch, int program) {
  MidiEvent e(0);
  e.SetProgramChange(ch, program);
  return e;
}

struct Made {
  uint32_t status;
  int channel;
  uint32_t number;
  int value;
  int note;
  bool operator==(const Made& o) const {
    return status == o.status && channel == o.channel && number == o.number && value == o.value &&
           note == o.note;
  }
};
std::ostream& operator<<(std::ostream& os, const Made& m) {
  return os << "{" << std::hex << m.status << std::dec << " ch" << m.channel << " #" << m.number
            << " v" << m.value << " n" << m.note << "}";
}

std::vector<Made> Make(const MidiState& s) {
  std::vector<MidiEvent*> out(kMidiStateMaxEvents, nullptr);
  int n = s.MakeEvents(out.data());
  std::vector<Made> r;
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(out[i]->delta, 0);
    uint32_t number = out[i]->status == kStatusProgram ? 0 : out[i]->number;
    int note = out[i]->status == kStatusPitchBend ? out[i]->note : 0;
    r.push_back({out[i]->status, out[i]->channel, number, out[i]->value, note});
    delete out[i];
  }
  return r;
}

TEST(MidiState, FreshRecordMakesNothing) {
  MidiState s;
  EXPECT_TRUE(Make(s).empty());
  for (int32_t v : s.Entries()) ASSERT_EQ(v, -1);
}

TEST(MidiState, LaterValuesWinAndBankSelectComesBeforeTheProgram) {
  MidiState s;
  s.ApplyEvent(Program(3, 10));
  s.ApplyEvent(Program(3, 20));  // only the later one is in force
  s.ApplyEvent(Controller(0, 7, 100));
  s.ApplyEvent(Program(0, 48));
  s.ApplyEvent(Controller(0, 0, 8));    // bank select after the program in the song
  s.ApplyEvent(Controller(0, 32, 1));
  s.ApplyEvent(Program(1, 5));
  MidiEvent bend(0);
  bend.status = kStatusPitchBend;
  bend.channel = 2;
  bend.value = 64;
  bend.note = 0;
  s.ApplyEvent(bend);
  std::vector<Made> want = {
      {0xB0, 0, 0, 8, 0},   {0xB0, 0, 32, 1, 0},  {0xC0, 0, 0, 48, 0}, {0xB0, 0, 7, 100, 0},
      {0xC0, 1, 0, 5, 0},   {0xE0, 2, 0, 64, 0},  {0xC0, 3, 0, 20, 0},
  };
  EXPECT_EQ(Make(s), want);
}

TEST(MidiState, ChannelsOutsideTheFirstPortAreIgnored) {
  MidiState s;
  s.ApplyEvent(Program(17, 3));
  s.ApplyEvent(Controller(31, 7, 1));
  s.ApplyEvent(Controller(255, 7, 1));
  s.ApplyEvent(Program(-1, 3));
  EXPECT_TRUE(Make(s).empty());
}

TEST(MidiState, TempoAndTimeSignatureComeLast) {
  MidiState s;
  MidiEvent tempo(0);
  tempo.SetTempo(500000);
  MidiEvent sig(0);
  sig.status = kStatusMeta;
  sig.number = 0x58;
  sig.value = 6 * 256 + 8;
  s.ApplyEvent(sig);
  s.ApplyEvent(tempo);
  s.ApplyEvent(Program(15, 1));
  std::vector<MidiEvent*> out(kMidiStateMaxEvents, nullptr);
  int n = s.MakeEvents(out.data());
  ASSERT_EQ(n, 3);
  EXPECT_EQ(out[0]->status, kStatusProgram);
  EXPECT_EQ(out[1]->number, 0x51u);
  EXPECT_EQ(out[1]->value, 500000);
  ASSERT_EQ(out[1]->data_length, 3);
  EXPECT_EQ(out[1]->data[0], 0x07);
  EXPECT_EQ(out[2]->number, 0x58u);
  EXPECT_EQ(out[2]->channel, kNoChannel);
  ASSERT_EQ(out[2]->data_length, 4);
  EXPECT_EQ((std::vector<uint8_t>(out[2]->data, out[2]->data + 4)),
            (std::vector<uint8_t>{6, 3, 0x12, 0x08}));
  for (int i = 0; i < n; ++i) delete out[i];
}

TEST(MidiState, BadTimeSignatureIsReportedAndMakesNoEvent) {
  for (int metre : {0, 4 * 256 + 0, 4 * 256 + 1}) {
    cantrel_test::Sink().Clear();
    MidiState s;
    MidiEvent sig(0);
    sig.status = kStatusMeta;
    sig.number = 0x58;
    sig.value = metre;
    s.ApplyEvent(sig);
    EXPECT_TRUE(Make(s).empty());
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_EQ(cantrel_test::Sink().Texts()[0], "MDSS37000002 拍子が異常です。");
  }
}

TEST(MidiState, FullRecordFitsTheCallersRoom) {
  MidiState s;
  for (int ch = 0; ch < 16; ++ch) {
    s.ApplyEvent(Program(ch, ch));
    MidiEvent bend(0);
    bend.status = kStatusPitchBend;
    bend.channel = ch;
    bend.value = 1;
    s.ApplyEvent(bend);
    for (int c = 0; c < 128; ++c) s.ApplyEvent(Controller(ch, c, c));
  }
  MidiEvent tempo(0);
  tempo.SetTempo(400000);
  s.ApplyEvent(tempo);
  MidiEvent sig(0);
  sig.status = kStatusMeta;
  sig.number = 0x58;
  sig.value = 0x0304;
  s.ApplyEvent(sig);
  EXPECT_EQ(Make(s).size(), size_t(kMidiStateMaxEvents));
}

TEST(MidiState, TakeChangesKeepsOnlyWhatDiffers) {
  MidiState before, after, changes;
  before.ApplyEvent(Program(0, 1));
  after.ApplyEvent(Program(0, 1));
  after.ApplyEvent(Program(1, 7));
  after.ApplyEvent(Controller(2, 10, 64));
  MidiEvent bend(0);
  bend.status = kStatusPitchBend;
  bend.channel = 4;
  bend.value = 64;
  bend.note = 3;
  after.ApplyEvent(bend);
  changes.TakeChanges(before, after);
  std::vector<Made> want = {{0xC0, 1, 0, 7, 0}, {0xB0, 2, 10, 64, 0}, {0xE0, 4, 0, 64, 3}};
  EXPECT_EQ(Make(changes), want);
}

// A track: program at 0, controller at 96, program at 192, note at 192, note off at 288.
std::unique_ptr<MidiTrack> SmallTrack() {
  auto t = std::make_unique<MidiTrack>(kTrackEvents, kDefaultMusicCapacity);
  auto add = [&](int delta, MidiEvent e) {
    e.delta = delta;
    t->AddEventCopy(e);
  };
  add(0, Program(0, 1));
  add(96, Controller(0, 7, 90));
  add(96, Program(0, 2));
  MidiEvent on(0);
  on.status = kStatusNoteOn;
  on.channel = 0;
  on.note = 60;
  on.velocity = 100;
  add(0, on);
  MidiEvent off(0);
  off.SetNoteOff(0, 60);
  add(96, off);
  return t;
}

TEST(MidiState, RunToStopsAtTheFirstEventAtOrAfterTheTick) {
  auto t = SmallTrack();
  struct Case {
    int tick, index, elapsed, program;
  } cases[] = {
      {0, 0, 0, -1},     // the event at the target tick is not applied
      {1, 1, 0, 1},      // between two events
      {192, 2, 96, 1},   // exactly at an event
      {193, 4, 192, 2},  // note-on applied (ignored by the record)
      {10000, 5, 288, 2},
  };
  for (const auto& c : cases) {
    MidiState s;
    int elapsed = -5;
    EXPECT_EQ(s.RunTo(*t, c.tick, &elapsed), c.index) << c.tick;
    EXPECT_EQ(elapsed, c.elapsed) << c.tick;
    EXPECT_EQ(s.Program(0), c.program) << c.tick;
  }
  MidiTrack empty(kTrackEvents, kDefaultMusicCapacity);
  MidiState s;
  int elapsed = -5;
  EXPECT_EQ(s.RunTo(empty, 100, &elapsed), 0);
  EXPECT_EQ(elapsed, 0);
}

TEST(MidiState, RunToWalksTheSongsTrack) {
  Midi0Data song(kSongEvents, 96, kDefaultMusicCapacity);
  auto t = SmallTrack();
  for (int i = 0; i < t->event_count; ++i) song.track->AddEventCopy(*t->events[i]);
  MidiState s;
  int elapsed = -5;
  EXPECT_EQ(s.RunTo(song, 193, &elapsed), 4);
  EXPECT_EQ(elapsed, 192);
  EXPECT_EQ(s.Program(0), 2);
  // A song without a track has nothing to walk.
  Midi0Data bare(kDefaultMusicCapacity);
  delete bare.track;
  bare.track = nullptr;
  MidiState none;
  elapsed = -5;
  EXPECT_EQ(none.RunTo(bare, 100, &elapsed), 0);
  EXPECT_EQ(elapsed, 0);
}

}  // namespace
