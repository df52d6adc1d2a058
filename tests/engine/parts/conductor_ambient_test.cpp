// Conductor track, clash clean-ups and the ambient part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/ambient.h"
#include "engine/compose_info.h"
#include "engine/conductor.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "music/midi0_data.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class ConductorTest : public EngineTest {
 protected:
  static void Chords(const std::vector<std::pair<int, const char*>>& chords) {
    parts_test::SetChords(chords);
  }
  // A merged note-mode song of (tick, channel, pitch, velocity, duration) notes.
  static std::unique_ptr<Midi0Data> Song(std::vector<NoteRow> notes) {
    std::sort(notes.begin(), notes.end(),
              [](const NoteRow& a, const NoteRow& b) { return std::get<0>(a) < std::get<0>(b); });
    MidiTrack track(kTrackNotes, 0x10000);
    int64_t t = 0;
    for (const NoteRow& n : notes) {
      track.AddNote(std::get<1>(n), static_cast<int32_t>(std::get<0>(n) - t), std::get<2>(n),
                    std::get<3>(n), std::get<4>(n));
      t = std::get<0>(n);
    }
    track.AddEndOfTrackAt(96);
    return std::make_unique<Midi0Data>(track, 96);
  }
};

TEST_F(ConductorTest, ConductorOfA34AMinorStyle) {
  StyleRecord& s = CurrentStyle();
  s.metre = 1;
  s.key_mode = 2;
  s.key_offset = 0;
  s.tempo = 500000;
  SeedComposition(12345);
  PartTrackList tracks;
  AddConductorTrack(tracks);
  ASSERT_EQ(tracks.size(), 1u);
  const MidiTrack& t = *tracks[0];
  ASSERT_EQ(t.event_count, 7);
  EXPECT_EQ(t.events[0]->status, kStatusSysEx);  // master volume
  EXPECT_EQ(t.GetMasterVolume(), 127);
  EXPECT_EQ(t.events[1]->status, kStatusMeta);
  EXPECT_EQ(t.events[1]->number, 0x01u);
  EXPECT_EQ(t.events[1]->data_length, 18);  // text and its terminating zero
  EXPECT_STREQ(reinterpret_cast<const char*>(t.events[1]->GetDataPointer()), "random_seed 12345");
  EXPECT_EQ(t.events[2]->status, kStatusSysEx);  // GM System On
  EXPECT_EQ(t.events[3]->number, 0x58u);
  EXPECT_EQ(t.events[3]->GetDataByte(0), 3);
  EXPECT_EQ(t.events[4]->number, 0x59u);
  EXPECT_EQ(t.events[4]->GetDataByte(0), 0);
  EXPECT_EQ(t.events[4]->GetDataByte(1), 1);
  EXPECT_EQ(t.events[5]->number, 0x51u);
  EXPECT_EQ(t.GetTempoAt(0), 500000);
  EXPECT_TRUE(t.LastIsEndOfTrack());
  EXPECT_EQ(t.LastEvent()->delta, 0);
  for (int32_t i = 0; i < t.event_count; ++i) EXPECT_EQ(t.events[i]->delta, 0);
}

// The seed written is the one the composition was seeded with, whatever another
// thread seeds afterwards.
TEST_F(ConductorTest, SeedIsTheComposition) {
  SeedComposition(777);
  GneSeedRandomWith(5);
  PartTrack t;
  WriteConductorTrack(t);
  EXPECT_STREQ(reinterpret_cast<const char*>(t.events[1]->GetDataPointer()), "random_seed 777");
}

TEST_F(ConductorTest, ChordMarkersOnlyWithBothSettings) {
  Chords({{384, "CMPo"}, {384, "AmPs"}});
  PartTrack plain;
  WriteConductorTrack(plain);
  EXPECT_EQ(plain.CountMeta(0x06), 0);
  LeadInSetting() = 1;
  ConductorMarkerSetting() = 1;
  PartTrack marked;
  WriteConductorTrack(marked);
  EXPECT_EQ(marked.CountMeta(0x06), 3);
  EXPECT_EQ(marked.FindMarkerTime("Am 7"), 768);
  EXPECT_EQ(ErrorCount(kMarkerClash), 0);
}

TEST_F(ConductorTest, ChordCodeToName) {
  struct Case { const char* code; const char* name; int errors; };
  const Case cases[] = {{"AmPs", "Am 7", 0},   {"CMAs", "Caug 7", 0}, {"bMPS", "Bb M7", 0},
                        {"CmdS", "Cdim M7", 0}, {"NMPS", "N/C", 0},   {"CMdo", "dim ", 1},
                        {"eMPo", "Eb ", 0},     {"gmdo", "Gbdim ", 0}};
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    char text[32] = {};
    std::memcpy(text, c.code, 4);
    ChordCodeToName(text);
    EXPECT_STREQ(text, c.name) << c.code;
    EXPECT_EQ(ErrorCount(kDiminishedCode), c.errors) << c.code;
  }
  char bass[32] = "C ";
  AppendSlashBass(bass, 14);
  EXPECT_STREQ(bass, "C onD");
  AppendSlashBass(bass, -1);
  EXPECT_STREQ(bass, "C onD");
}

TEST_F(ConductorTest, RemoveClashingNotes) {
  struct Case { int held; bool removed; };
  for (const Case& c : {Case{71, true}, Case{73, true}, Case{72, false}, Case{61, false},
                        Case{47, true}, Case{49, true}}) {
    auto song = Song({{0, 1, c.held, 100, 192}, {96, 6, 60, 90, 48}, {96, 6, 64, 90, 48}});
    RemoveClashingNotes(*song, 1, 6);
    const auto notes = Notes(*song->track);
    std::vector<NoteRow> want = {{0, 1, c.held, 100, 192}};
    if (!c.removed) want.push_back({96, 6, 60, 90, 48});
    want.push_back({96, 6, 64, 90, 48});
    EXPECT_EQ(notes, want) << c.held;
  }
}

TEST_F(ConductorTest, SameTickHeldNoteCounts) {
  auto song = Song({{96, 6, 60, 90, 48}, {96, 1, 71, 100, 96}});
  // Written with the channel-6 note first at that tick.
  RemoveClashingNotes(*song, 1, 6);
  EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{96, 1, 71, 100, 96}}));
}

// A deleted note takes its note-off with it: another note of the key keeps its length.
TEST_F(ConductorTest, DeletedNoteTakesItsEnd) {
  auto song = Song({{0, 6, 60, 90, 300}, {96, 1, 71, 100, 96}, {120, 6, 60, 80, 24}});
  RemoveClashingNotes(*song, 1, 6);
  EXPECT_EQ(Notes(*song->track), (std::vector<NoteRow>{{0, 6, 60, 90, 300}, {96, 1, 71, 100, 96}}));
  // Keys beyond 0..127 are not looked at.
  auto edge = Song({{0, 1, 127, 100, 96}, {10, 6, 116, 90, 24}, {10, 6, 120, 90, 24}});
  RemoveClashingNotes(*edge, 1, 6);
  EXPECT_EQ(Notes(*edge->track).size(), 2u);
}

TEST_F(ConductorTest, AttenuateClashingNotes) {
  struct Case { int pitch, delta; bool same; int velocity; };
  const Case cases[] = {{63, 0, false, 80}, {63, 0, true, -1}, {60, 0, false, 83},
                        {67, 0, false, 80}, {64, 0, false, 80}, {63, 12, false, 100},
                        {63, 11, false, 80}};
  for (const Case& c : cases) {
    CurrentStyle().instrument[3] = c.same ? CurrentStyle().instrument[1] : CurrentStyle().instrument[1] + 1;
    auto song = Song({{0, 1, 64, 100, 192}, {c.delta, 3, c.pitch, 100, 48}, {0, 3, 50, 30, 300}});
    AttenuateClashingNotes(*song, 1, 3);
    bool found = false;
    for (const NoteRow& r : Notes(*song->track)) {
      if (std::get<1>(r) == 3 && std::get<2>(r) == c.pitch && std::get<0>(r) == c.delta) {
        found = true;
        EXPECT_EQ(std::get<3>(r), c.velocity) << c.pitch << " " << c.delta;
      }
    }
    EXPECT_EQ(found, c.velocity >= 0) << c.pitch;
  }
}

TEST_F(ConductorTest, SoftenKeepsOtherChannelsAndNeverWritesSilentNotes) {
  GneSeedRandomWith(3);
  std::vector<NoteRow> notes;
  for (int k = 0; k < 400; ++k) {
    notes.push_back({k * 48, 1, 60 + GneRandomRange(0, 12), 100, 47});
    notes.push_back({k * 48, 3, 55 + GneRandomRange(0, 12), 90, 96});
    notes.push_back({k * 48 + 24, 9, 36, 100, 10});
  }
  auto song = Song(notes);
  SoftenAccompanimentClashes(*song, 1, 3);
  int drums = 0, melody = 0;
  for (const NoteRow& r : Notes(*song->track)) {
    EXPECT_GT(std::get<3>(r), 0);
    if (std::get<1>(r) == 9) ++drums;
    if (std::get<1>(r) == 1) ++melody;
  }
  EXPECT_EQ(drums, 400);
  EXPECT_EQ(melody, 400);
}

// ---- ambient ----

TEST_F(ConductorTest, AmbientOffWritesNothing) {
  CurrentStyle().instrument[8] = kInstrumentOff;
  PartTrackList tracks;
  GenerateAmbientPart(tracks);
  EXPECT_TRUE(tracks.empty());
}

TEST_F(ConductorTest, AmbientBadProgramKeepsTheHeader) {
  CurrentStyle().instrument[8] = 0;
  Chords({{384, "CMPo"}});
  PartTrackList tracks;
  GenerateAmbientPart(tracks);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(ErrorCount(kBadAmbientProgram), 1);
  EXPECT_EQ(tracks[0]->GetNoteCount(), 0);
  EXPECT_TRUE(tracks[0]->LastIsEndOfTrack());
}

TEST_F(ConductorTest, SeashoreWavesEvery384) {
  CurrentStyle().instrument[8] = kAmbientSeashore;
  for (const auto& lengths : {std::vector<int>(16, 384), std::vector<int>(4, 1536),
                              std::vector<int>{96, 500, 1000, 192, 2000}}) {
    std::vector<std::pair<int, const char*>> chords;
    int total = 0;
    for (int l : lengths) {
      chords.push_back({l, "CMPo"});
      total += l;
    }
    Chords(chords);
    for (uint32_t seed = 1; seed <= 10; ++seed) {
      GneSeedRandomWith(seed);
      PartTrackList tracks;
      GenerateAmbientPart(tracks);
      const auto notes = Notes(*tracks[0]);
      const int waves = (total + 383) / 384;
      ASSERT_GE(notes.size(), 2u);
      // Two closing notes of pitch 72 after the waves.
      EXPECT_EQ(std::get<2>(notes[notes.size() - 1]), 72);
      EXPECT_EQ(std::get<0>(notes[notes.size() - 1]), 384 * (waves + 1));
      EXPECT_EQ(std::get<0>(notes[notes.size() - 2]), 384 * waves);
      for (size_t k = 0; k + 2 < notes.size(); ++k) {
        EXPECT_EQ(std::get<0>(notes[k]) % 384, 0);
        EXPECT_EQ(std::get<2>(notes[k]), 72);  // C root + 12
        EXPECT_EQ(std::get<4>(notes[k]), 383);
      }
      EXPECT_LE(notes.size(), static_cast<size_t>(waves + 2));
    }
  }
}

TEST_F(ConductorTest, ApplauseAndBirds) {
  CurrentStyle().instrument[8] = kAmbientApplause;
  std::vector<std::pair<int, const char*>> chords(17, {384, "CMPo"});
  Chords(chords);
  PartTrackList tracks;
  GenerateAmbientPart(tracks);
  EXPECT_EQ(Notes(*tracks[0]), (std::vector<NoteRow>{{0, 8, 71, 34, 96}, {96, 8, 72, 74, 472},
                                                     {6240, 8, 72, 74, 376}}));
  Chords({{1536, "GMPo"}});
  CurrentStyle().instrument[8] = kAmbientBirds;
  PartTrackList birds;
  GenerateAmbientPart(birds);
  EXPECT_EQ(Notes(*birds[0]), (std::vector<NoteRow>{{0, 8, 55, 54, 1528}, {1536, 8, 72, 64, 383}}));
}

}  // namespace
