// Melody-type part tracks.
#include <gtest/gtest.h>

#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/melody_parts.h"
#include "engine/ornaments.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Controllers;
using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class MelodyPartTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StyleRecord& s = CurrentStyle();
    s.instrument[1] = 73;
    s.instrument[4] = 40;
    s.instrument[5] = 0;
    s.mixer[1].pan = 64;
    s.mixer[1].volume = 100;
  }
};

TEST_F(MelodyPartTest, VelocitiesAndShortenedSteps) {
  EventList list;
  list.AppendNote(96, 60);
  list.AppendNote(96, 0);
  list.AppendNote(192, 64);
  PartTrack t;
  WriteMelodyTypePart(list, t, 1, 1536);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 60, 64, 93}, {192, 1, 64, 48, 189}}));
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(t.GetProgram(1), 73);
  EXPECT_EQ(t.GetFirstControllerValue(10), 64);
}

TEST_F(MelodyPartTest, PedalMarker) {
  EventList list;
  list.AppendControl(96, 127);
  list.AppendNote(96, 60);
  PartTrack t;
  WriteMelodyTypePart(list, t, 4, 384);
  const auto c = Controllers(t);
  EXPECT_NE(std::find(c.begin(), c.end(), std::make_tuple(int64_t{0}, 64, 127)), c.end());
  EXPECT_EQ(std::get<0>(Notes(t)[0]), 96);
}

// A note over the limit is cut to the limit, reported once, and the part goes on.
TEST_F(MelodyPartTest, LongNoteIsCutNotTheRest) {
  EventList list;
  list.AppendNote(1600, 60);
  list.AppendNote(96, 62);
  list.AppendNote(2000, 64);
  list.AppendNote(96, 65);
  PartTrack t;
  WriteMelodyTypePart(list, t, 1, 1536);
  EXPECT_EQ(ErrorCount(kMelodyNoteLength), 1);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 60, 64, 1533}, {1600, 1, 62, 64, 93},
                                            {1696, 1, 64, 64, 1533}, {3696, 1, 65, 48, 93}}));
}

TEST_F(MelodyPartTest, UnknownChannelHasNoHeader) {
  EventList list;
  list.AppendNote(96, 60);
  PartTrack t;
  WriteMelodyTypePart(list, t, 7, 384);
  EXPECT_EQ(ErrorCount(kTrackInfoError), 1);
  EXPECT_EQ(t.CountProgramChanges(), 0);
  EXPECT_EQ(Notes(t).size(), 1u);
}

TEST_F(MelodyPartTest, DoubledMelodyPans) {
  struct Case { int pan, melody, copy; };
  for (const Case& c : {Case{64, 104, 24}, Case{20, 60, 108}, Case{100, 12, 60}}) {
    CurrentStyle().mixer[1].pan = static_cast<uint8_t>(c.pan);
    CurrentStyle().mixer[1].double_delay = 5;
    EventList& notes = ComposeInfo().melody_notes;
    notes.FreeEvents();
    notes.AppendNote(96, 60);
    notes.AppendNote(96, 62);
    PartTrackList tracks;
    BuildMelodyPart(tracks, 1536);
    ASSERT_EQ(tracks.size(), 2u);
    const MidiTrack& copy = *tracks[0];
    const MidiTrack& melody = *tracks[1];
    EXPECT_EQ(melody.GetFirstControllerValue(10), c.melody);
    EXPECT_EQ(copy.GetFirstControllerValue(10), c.copy);
    EXPECT_EQ(copy.CountNotesOfChannel(10), 2);
    EXPECT_EQ(copy.CountNotesOfChannel(1), 0);
    EXPECT_EQ(std::get<0>(Notes(copy)[0]), std::get<0>(Notes(melody)[0]) + 5);
  }
}

TEST_F(MelodyPartTest, Unison) {
  CurrentStyle().octave[1] = 1;
  EventList list;
  list.AppendNote(96, 60);
  list.AppendNote(96, 116);
  list.AppendNote(96, 0);
  list.AppendNote(96, 62);
  PartTrack t;
  WriteMelodyTypePart(list, t, 1, 1536);
  EXPECT_EQ(CurrentStyle().unison_velocity, 38);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 60, 64, 93}, {0, 1, 72, 38, 93},
                                            {96, 1, 116, 64, 93}, {288, 1, 62, 48, 93},
                                            {288, 1, 74, 38, 93}}));
}

TEST_F(MelodyPartTest, SubDrumRhythm) {
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  for (int k = 0; k < 2; ++k) info.AddChordBlock(ChordEntry{384, {'C', 'M', 'P', 'o'}}, "00");
  info.melody_notes.FreeEvents();
  WriteSubDrumRhythm();
  ASSERT_EQ(info.melody_notes.count(), 16);
  const int row0[16] = {1, 0, 1, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 0, 0, 0};
  for (int s = 0; s < 16; ++s) {
    EXPECT_EQ(info.melody_notes[s].length, 48);
    EXPECT_EQ(info.melody_notes[s].pitch, row0[s] ? 60 : 0);
  }
}

TEST_F(MelodyPartTest, SubDrumRhythmFillsEveryChord) {
  CurrentStyle().basic_beat = 3;
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  const int lengths[] = {384, 100, 288, 768, 384, 384, 384, 50, 384};
  int total = 0;
  for (int l : lengths) {
    info.AddChordBlock(ChordEntry{static_cast<uint16_t>(l), {'C', 'M', 'P', 'o'}}, "00");
    total += l;
  }
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    info.melody_notes.FreeEvents();
    WriteSubDrumRhythm();
    EXPECT_EQ(info.melody_notes.TotalLength(), total);
    for (int i = 0; i < info.melody_notes.count(); ++i) EXPECT_LE(info.melody_notes[i].length, 32);
  }
}

TEST_F(MelodyPartTest, SilenceEarlyObbligato) {
  EventList instrumental, vocal, obbligato;
  instrumental.AppendNote(192, 0);
  instrumental.AppendNote(192, 60);
  vocal.AppendNote(384, 0);
  obbligato.AppendNote(96, 67);
  obbligato.AppendNote(96, 69);
  obbligato.AppendNote(384, 71);
  obbligato.AppendNote(96, 72);
  SilenceEarlyObbligato(instrumental, vocal, obbligato);
  EXPECT_EQ(obbligato[0].pitch, 0);
  EXPECT_EQ(obbligato[1].pitch, 0);
  EXPECT_EQ(obbligato[2].pitch, 0);
  EXPECT_EQ(obbligato[3].pitch, 72);
}

// The ornaments' notes stay within each step over a whole melody, every code.
TEST_F(MelodyPartTest, EveryOrnamentCodeKeepsTheMelodyInTime) {
  for (int code : {0, 1, 2, 3, 4, 6, 7, 11, 14, 15, 16, 17, 18, 19, 20}) {
    CurrentStyle().parts[1].ornament = code;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
      GneSeedRandomWith(seed);
      EventList list;
      const int steps[] = {96, 48, 48, 192, 96, 96, 72, 24, 144, 384};
      int total = 0;
      for (int k = 0; k < 60; ++k) {
        if (k % 7 == 0) list.AppendChordMarker(ChordBlock(ChordEntry{384, {'C', 'M', 'P', 'o'}}, nullptr));
        list.AppendNote(steps[k % 10], k % 9 == 8 ? 0 : 60 + k % 12);
        total += steps[k % 10];
      }
      PartTrack t;
      WriteMelodyTypePart(list, t, 1, 1536);
      ASSERT_TRUE(t.LastIsEndOfTrack());
      for (const NoteRow& r : Notes(t)) {
        EXPECT_LT(std::get<0>(r), total) << code;
        EXPECT_GE(std::get<2>(r), 13) << code;
      }
      EXPECT_LE(t.GetEndTime(), total + 96) << code;
    }
  }
}

TEST_F(MelodyPartTest, VoicingPlaysSofter) {
  CurrentStyle().parts[1].voicing = 1;
  EventList& voicing = ComposeInfo().voicing_notes;
  voicing.FreeEvents();
  voicing.AppendNote(96, 60);
  voicing.AppendNote(96, 64);
  PartTrackList tracks;
  BuildVoicingPart(tracks);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Notes(*tracks[0]), (std::vector<NoteRow>{{0, 6, 60, 39, 93}, {96, 6, 64, 23, 93}}));
  CurrentStyle().parts[1].voicing = 0;
  PartTrackList none;
  BuildVoicingPart(none);
  EXPECT_TRUE(none.empty());
}

// With ornament code 4 the channel-5 part plays plain notes, and the melody keeps
// the code; the part's octave setting moves it up.
TEST_F(MelodyPartTest, SubDrumPartSuspendsTheUnstableOrnament) {
  StyleRecord& s = CurrentStyle();
  s.parts[1].ornament = kOrnamentUnstable;
  s.subdrum_pattern = 1;
  s.octave[5] = 1;
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  for (int k = 0; k < 8; ++k) info.AddChordBlock(ChordEntry{384, {'C', 'M', 'P', 'o'}}, "00");
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    info.melody_notes.FreeEvents();
    PartTrackList tracks;
    BuildSubDrumPart(tracks);
    ASSERT_EQ(tracks.size(), 1u);
    for (const NoteRow& r : Notes(*tracks[0])) {
      EXPECT_EQ(std::get<2>(r), 72);
      EXPECT_EQ(std::get<4>(r), 45);
      EXPECT_EQ(std::get<0>(r) % 48, 0);
    }
    EXPECT_EQ(s.parts[1].ornament, kOrnamentUnstable);
  }
  s.instrument[5] = kInstrumentOff;
  PartTrackList none;
  BuildSubDrumPart(none);
  EXPECT_TRUE(none.empty());
}

TEST_F(MelodyPartTest, InstrumentalMelodyOctave) {
  CurrentStyle().instrument[15] = 66;
  CurrentStyle().part15_octave = -1;
  EventList list;
  list.AppendNote(96, 72);
  PartTrackList tracks;
  BuildInstrumentalMelodyPart(list, tracks, 1536);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Notes(*tracks[0]), (std::vector<NoteRow>{{0, 15, 60, 48, 93}}));
  EXPECT_EQ(tracks[0]->GetProgram(15), 66);
}

TEST_F(MelodyPartTest, ObbligatoOffWritesNothing) {
  CurrentStyle().instrument[4] = kInstrumentOff;
  PartTrackList tracks;
  BuildObbligatoPart(tracks, nullptr);
  EXPECT_TRUE(tracks.empty());
}

// The canon mode plays the canon list; the melody notes come back afterwards.
TEST_F(MelodyPartTest, ObbligatoCanon) {
  StyleRecord& s = CurrentStyle();
  s.submelody_mode = 8;
  s.octave[4] = 1;
  EventList& melody = ComposeInfo().melody_notes;
  melody.FreeEvents();
  melody.AppendNote(96, 65);
  EventList canon;
  canon.AppendNote(384, 0);
  canon.AppendNote(96, 60);
  PartTrackList tracks;
  BuildObbligatoPart(tracks, &canon);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Notes(*tracks[0]), (std::vector<NoteRow>{{384, 4, 72, 48, 93}}));
  ASSERT_EQ(melody.count(), 1);
  EXPECT_EQ(melody[0].pitch, 65);
}

}  // namespace
