// Part tracks: clamps, bend ornaments and their grace fallback, headers, close.
#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "music/midi1_data.h"
#include "util/gne.h"

using parts_test::Bends;
using parts_test::Controllers;
using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class PartTrackTest : public EngineTest {};

// A track whose channel plays the program (bendable above 15, not 99).
void SetProgram(PartTrack& t, int channel, int program) {
  MixerRecord mixer;
  WritePartHeader(t, channel, program, mixer, 0);
}

TEST_F(PartTrackTest, AddNoteClamps) {
  struct Case { int pitch, velocity, length; NoteRow want; };
  const Case cases[] = {
      {12, 100, 50, {0, 1, 0, 0, 1}},    // below 13 with a velocity: rest
      {13, 100, 50, {0, 1, 13, 100, 50}},
      {200, 100, 50, {0, 1, 0, 0, 1}},   // above 127: rest
      {60, 100, -5, {0, 1, 60, 100, 0}}, // negative length: 0
      {0, 0, 90, {0, 1, 0, 0, 1}},       // rest: length 1
      {5, 0, 90, {0, 1, 5, 0, 90}},      // silent low pitch stays (dropped at close)
  };
  for (const Case& c : cases) {
    PartTrack t;
    AddNote(t, 1, 0, c.pitch, c.velocity, c.length);
    ASSERT_EQ(Notes(t).size(), 1u);
    EXPECT_EQ(Notes(t)[0], c.want) << c.pitch << " " << c.velocity;
  }
}

TEST_F(PartTrackTest, RestKeepsItsDelta) {
  PartTrack t;
  AddNote(t, 1, 10, 12, 100, 96);
  AddNote(t, 1, 96, 60, 100, 90);
  CloseTrack(t);
  ASSERT_EQ(Notes(t).size(), 1u);
  EXPECT_EQ(std::get<0>(Notes(t)[0]), 106);
}

TEST_F(PartTrackTest, AddNoteInRangeFolds) {
  struct Case { int pitch, low, high, want_pitch, want_length; };
  const Case cases[] = {{30, 48, 71, 54, 90}, {90, 48, 71, 66, 90}, {0, 48, 71, 0, 1},
                        {60, 72, 60, 60, 90} /* low above high: the second step wins */,
                        {127, 0, 200, 127, 90}};
  for (const Case& c : cases) {
    PartTrack t;
    AddNoteInRange(t, 1, 0, c.pitch, c.pitch ? 100 : 0, 90, c.low, c.high);
    EXPECT_EQ(std::get<2>(Notes(t)[0]), c.want_pitch) << c.pitch;
    EXPECT_EQ(std::get<4>(Notes(t)[0]), c.want_length) << c.pitch;
  }
}

TEST_F(PartTrackTest, BendsOnABendableChannel) {
  PartTrack t;
  SetProgram(t, 1, 40);
  EXPECT_EQ(AddNoteBentFromAbove(t, 1, 0, 60, 100, 96, 10), 10);
  EXPECT_EQ(Bends(t), (std::vector<std::pair<int64_t, int>>{{0, 8704}, {10, 8192}}));
  PartTrack b;
  SetProgram(b, 1, 40);
  EXPECT_EQ(AddNoteBentFromBelow(b, 1, 0, 60, 100, 96, 12), 12);
  EXPECT_EQ(Bends(b), (std::vector<std::pair<int64_t, int>>{{0, 7492}, {12, 8192}}));
  PartTrack z;
  SetProgram(z, 1, 40);
  EXPECT_EQ(AddNoteBentFromBelow(z, 1, 0, 60, 100, 96, 0), 0);
  EXPECT_TRUE(Bends(z).empty());
  PartTrack g;
  SetProgram(g, 1, 40);
  EXPECT_EQ(AddNoteWithBendGlide(g, 1, 0, 60, 100, 96, 6), 30);
  EXPECT_EQ(Bends(g), (std::vector<std::pair<int64_t, int>>{
                          {0, 7748}, {6, 62 * 128}, {12, 63 * 128}, {18, 8192}, {24, 65 * 128},
                          {30, 8192}}));
}

TEST_F(PartTrackTest, GraceNotesWhereTheProgramCannotBend) {
  for (int program : {5, 99}) {
    PartTrack t;
    SetProgram(t, 1, program);
    EXPECT_EQ(AddNoteBentFromBelow(t, 1, 20, 60, 100, 96, 12), 4);
    EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{20, 1, 59, 100, 4}, {24, 1, 60, 100, 92}}));
    PartTrack p;
    SetProgram(p, 1, program);
    EXPECT_EQ(AddNoteBentFromBelow(p, 1, 20, 60, 100, 96, 7), 0);
    EXPECT_EQ(Notes(p), (std::vector<NoteRow>{{20, 1, 60, 100, 96}}));
    EXPECT_TRUE(Bends(p).empty());
    PartTrack f;
    SetProgram(f, 1, program);
    EXPECT_EQ(AddNoteWithBendFlick(f, 1, 0, 60, 100, 96), 0);
    EXPECT_TRUE(Bends(f).empty());
  }
}

TEST_F(PartTrackTest, LowPitchOrnamentIsARest) {
  PartTrack t;
  SetProgram(t, 1, 40);
  EXPECT_EQ(AddNoteBentFromAbove(t, 1, 7, 11, 100, 96, 12), 0);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{7, 1, 0, 0, 1}}));
}

TEST_F(PartTrackTest, FlickIsOneOfThreeBendsOverManySeeds) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    for (int length : {24, 96, 200}) {
      PartTrack t;
      SetProgram(t, 1, 40);
      const int used = AddNoteWithBendFlick(t, 1, 0, 60, 100, length);
      const auto bends = Bends(t);
      ASSERT_EQ(bends.size(), 2u);
      EXPECT_TRUE(bends[0].second == 8260 || bends[0].second == 6212 || bends[0].second == 10308)
          << bends[0].second;
      EXPECT_EQ(bends[1].second, 8192);
      EXPECT_EQ(used, bends[1].first);
      if (length <= 96) EXPECT_EQ(used, 16);
      else EXPECT_TRUE(used >= 16 && used <= 32);
    }
    PartTrack s;
    SetProgram(s, 1, 40);
    EXPECT_EQ(AddNoteWithBendFlick(s, 1, 0, 60, 100, 23), 0);
  }
}

TEST_F(PartTrackTest, HeaderProgramsPerModule) {
  struct Case { int mode, program; std::vector<std::tuple<int64_t, int, int>> bank; int want; };
  const Case cases[] = {
      {2, 132, {{0, 0, 0}}, 40},
      {2, 5, {{0, 0, 0}}, 5},
      {2, 128, {{0, 0, 0}}, 53},
      {0, 128, {{0, 0, 64}, {0, 32, 0}}, 48},
      {0, 130, {{0, 0, 0}, {0, 32, 99}}, 112},
      {0, 133, {{0, 0, 0}}, 90},
      {1, 131, {{0, 0, 10}, {0, 32, 0}}, 112},
      {1, 133, {{0, 0, 8}, {0, 32, 0}}, 109},
      {0, 7, {{0, 0, 0}, {0, 32, 0}}, 7},
  };
  for (const Case& c : cases) {
    SoundModuleMode() = c.mode;
    PartTrack t;
    MixerRecord m;
    m.volume = 100;
    for (uint8_t* b : {&m.chorus, &m.reverb, &m.brightness, &m.attack, &m.decay, &m.release,
                       &m.resonance})
      *b = 64;
    WritePartHeader(t, 2, c.program, m, 0);
    auto ctl = Controllers(t);
    std::vector<std::tuple<int64_t, int, int>> want = c.bank;
    want.push_back({0, 7, 100});
    want.push_back({0, 101, 0});
    want.push_back({0, 100, 0});
    want.push_back({0, 6, 12});
    EXPECT_EQ(ctl, want) << c.mode << " " << c.program;
    EXPECT_EQ(t.GetProgram(2), c.want);
  }
}

TEST_F(PartTrackTest, InvalidExtendedInstrumentWritesNoProgram) {
  for (int program : {129, 134, 255}) {
    cantrel_test::Sink().Clear();
    PartTrack t;
    MixerRecord m;
    WritePartHeader(t, 1, program, m, 0);
    EXPECT_EQ(ErrorCount(kBadExtendedInstrument), 1);
    EXPECT_EQ(t.CountProgramChanges(), 0);
    EXPECT_EQ(t.CountController(0), 0);
  }
}

TEST_F(PartTrackTest, HeaderControllersAndDrums) {
  PartTrack t;
  MixerRecord m;
  m.volume = 90; m.chorus = 1; m.reverb = 2; m.brightness = 3; m.attack = 4; m.decay = 5;
  m.release = 6; m.resonance = 7; m.pan = 8;
  WritePartHeader(t, 9, 0, m, 192);
  EXPECT_EQ(t.CountProgramChanges(), 0);
  const std::vector<std::tuple<int64_t, int, int>> want = {
      {192, 7, 90}, {192, 91, 2}, {192, 93, 1}, {192, 74, 3}, {192, 71, 7}, {192, 72, 6},
      {192, 73, 4}, {192, 75, 5}, {192, 101, 0}, {192, 100, 0}, {192, 6, 12}};
  EXPECT_EQ(Controllers(t), want);
  PartTrack d;
  WritePartHeader(d, 9, 25, m, 0);
  EXPECT_EQ(d.GetProgram(9), 25);
  EXPECT_EQ(d.CountController(0), 0);
}

TEST_F(PartTrackTest, LeadInWritesEveryController) {
  LeadInSetting() = 1;
  CurrentStyle().metre = 1;
  EXPECT_EQ(GetLeadInTicks(), 288);
  CurrentStyle().metre = 2;
  EXPECT_EQ(GetLeadInTicks(), 336);
  PartTrack t;
  MixerRecord m;
  for (uint8_t* b : {&m.chorus, &m.reverb, &m.brightness, &m.attack, &m.decay, &m.release,
                     &m.resonance})
    *b = 64;
  WritePartHeader(t, 1, 5, m, 0);
  EXPECT_EQ(t.CountStatus(kStatusController), 1 + 1 + 7 + 3);
  LeadInSetting() = 0;
  EXPECT_EQ(GetLeadInTicks(), 0);
}

TEST_F(PartTrackTest, ScaleTuningOnlyForXgAndGs) {
  CurrentStyle().scale = 8;
  PartTrack gm;
  MixerRecord m;
  WritePartHeader(gm, 3, 5, m, 0);
  EXPECT_EQ(gm.CountStatus(kStatusSysEx), 0);
  SoundModuleMode() = 0;
  PartTrack xg;
  WritePartHeader(xg, 3, 5, m, 0);
  EXPECT_EQ(xg.CountStatus(kStatusSysEx), 12);
  SoundModuleMode() = 1;
  PartTrack gs;
  WritePartHeader(gs, 3, 5, m, 0);
  ASSERT_EQ(gs.CountStatus(kStatusSysEx), 1);
  for (int32_t i = 0; i < gs.event_count; ++i) {
    const MidiEvent* e = gs.events[i];
    if (e->status != kStatusSysEx) continue;
    const uint8_t* d = e->GetDataPointer();
    ASSERT_EQ(e->data_length, 23);
    EXPECT_EQ(d[0], 0xF0);
    EXPECT_EQ(d[1], 21);
    EXPECT_EQ(d[7], 0x14);  // part block of channel 3
    int sum = 0;
    for (int k = 6; k <= 21; ++k) sum += d[k];
    EXPECT_EQ(sum % 128, 0);  // address, data and checksum add up to a multiple of 128
    EXPECT_EQ(d[22], 0xF7);
  }
}

TEST_F(PartTrackTest, CloseTrackEndsOnABeat) {
  PartTrack t;
  AddNote(t, 1, 0, 60, 100, 400);
  AddNote(t, 1, 380, 0, 0, 20);  // a rest: dropped, its time goes with it
  AddNote(t, 1, 0, 62, 100, 10);  // last event at 380, ends 390
  CloseTrack(t);
  ASSERT_TRUE(t.LastIsEndOfTrack());
  EXPECT_EQ(t.GetEndTime(), 480);
  PartTrack l;
  AddNote(l, 1, 0, 60, 100, 5000);
  AddNote(l, 1, 10, 62, 100, 10);
  CloseTrack(l);
  EXPECT_EQ(l.LastEvent()->delta, 768);
  PartTrack once;
  CloseTrack(once);
  CloseTrack(once);
  EXPECT_EQ(once.event_count, 1);
}

TEST_F(PartTrackTest, FineTuneRpn) {
  PartTrack empty;
  MixerRecord m;
  WritePartHeader(empty, 10, 5, m, 0);
  const int before = empty.event_count;
  InsertFineTuneRpn(empty, 10, 5);
  EXPECT_EQ(empty.event_count, before);
  PartTrack t;
  AddNote(t, 10, 0, 60, 100, 90);
  AddNote(t, 10, 96, 62, 100, 90);
  InsertFineTuneRpn(t, 10, 5);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{5, 10, 60, 100, 90}, {101, 10, 62, 100, 90}}));
  EXPECT_EQ(Controllers(t), (std::vector<std::tuple<int64_t, int, int>>{
                                {0, 101, 0}, {0, 100, 1}, {0, 6, 56}, {0, 38, 0}}));
}

TEST_F(PartTrackTest, SustainPedal) {
  PartTrack t;
  AddSustainPedal(t, 4, 30, 127);
  EXPECT_EQ(Controllers(t), (std::vector<std::tuple<int64_t, int, int>>{{30, 64, 127}}));
}

// Engine tracks keep what they hold, beyond the byte capacity and the event
// count at which ordinary tracks stop.
TEST_F(PartTrackTest, TracksGrowToWhatTheyHold) {
  PartTrack t;
  const int notes = kTrackEventLimit + 5000;
  for (int i = 0; i < notes; ++i) AddNote(t, 1, 2, 60 + i % 12, 100, 1);
  CloseTrack(t);
  EXPECT_EQ(t.GetNoteCount(), notes);
  const std::vector<uint8_t> bytes = JoinPartTracks({&t});
  ASSERT_GT(bytes.size(), static_cast<size_t>(TrackCapacity));
  const int32_t size = static_cast<int32_t>(bytes.size());
  Midi1Data back(bytes.data(), size, 0, 4 * size);
  ASSERT_EQ(back.track_count, 1);
  EXPECT_EQ(back.Track(0)->GetNoteCount(), notes);
}

}  // namespace
