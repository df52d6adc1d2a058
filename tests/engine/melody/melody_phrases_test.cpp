// Phrase lists in playing order, closing phrases and the voicing.
#include <numeric>
#include <set>

#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "style/engine_services.h"
#include "tests/engine/melody/melody_fixture.h"

namespace {

using melody_test::AddChord;
using melody_test::PlainMelodyPart;

int NoteTotal(const EventList& list) {
  int t = 0;
  for (int i = 0; i < list.count(); ++i)
    if (list[i].kind == kEventNote) t += list[i].length;
  return t;
}

std::vector<int> Pitches(const EventList& list) {
  std::vector<int> v;
  for (int i = 0; i < list.count(); ++i)
    if (list[i].kind == kEventNote) v.push_back(list[i].pitch);
  return v;
}

class MelodyPhrasesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SelectMajorTimingDatabases();
    ASSERT_EQ(LoadPatternDatabases(), 1);
    PlainMelodyPart();
  }
};

TEST_F(MelodyPhrasesTest, SectionsInPlayingOrder) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 2;
  AddChord(&info.melody_phrases[0], "CMPo", 384);
  info.melody_phrases[0].AppendNote(384, 60);
  AddChord(&info.melody_phrases[1], "GMPo", 384);
  info.melody_phrases[1].AppendControl(0, 64);
  info.melody_phrases[1].AppendNote(384, 67);
  for (int id : {1, 1, 2, 1}) info.AddSectionId(id);
  Modulation().section_position[0] = 2;
  EventList out;
  EXPECT_EQ(CollectPhraseNotes(1, info.melody_phrases, &out), 60);
  EXPECT_EQ(Pitches(out), (std::vector<int>{60, 60, 67, 60}));
  EXPECT_EQ(Modulation().melody_event_index[0], 4);  // where the third section starts
  // The phrase lists are emptied.
  EXPECT_EQ(info.melody_phrases[0].count(), 0);
  EXPECT_EQ(info.melody_phrases[1].count(), 0);
}

TEST_F(MelodyPhrasesTest, SectionIdsOutsideThePhraseListsAreReportedAndSkipped) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 1;
  AddChord(&info.melody_phrases[0], "CMPo", 384);
  info.melody_phrases[0].AppendNote(384, 62);
  for (int id : {0, 1, 201, -7, 200}) info.AddSectionId(id);
  EventList out;
  EXPECT_EQ(CollectPhraseNotes(1, info.melody_phrases, &out), 62);
  EXPECT_EQ(Pitches(out), std::vector<int>{62});
  EXPECT_EQ(ErrorCount(melody_error::kSectionId), 3);
}

TEST_F(MelodyPhrasesTest, SongRenderingTakesTheImportedMelody) {
  MelodyInputCopy().AppendNote(96, 64);
  MelodyInputCopy().AppendNote(96, 0);
  ComposeInfo().section_count = 1;
  ComposeInfo().AddSectionId(1);
  struct Case {
    int mode;
    int from_input;
    bool imported;
  };
  for (const Case& c : {Case{3, 1, true}, Case{3, 0, false}, Case{0, 1, false}}) {
    ComposeMode() = c.mode;
    MelodyFromInput() = c.from_input;
    AddChord(&ComposeInfo().melody_phrases[0], "CMPo", 192);
    ComposeInfo().melody_phrases[0].AppendNote(192, 67);
    EventList out;
    const int last = CollectPhraseNotes(1, ComposeInfo().melody_phrases, &out);
    if (c.imported) {
      EXPECT_EQ(last, 0);
      EXPECT_EQ(Pitches(out), (std::vector<int>{64, 0}));
      ComposeInfo().melody_phrases[0].FreeEvents();
    } else {
      EXPECT_EQ(last, 67);
      EXPECT_EQ(Pitches(out), std::vector<int>{67});
    }
  }
}

TEST_F(MelodyPhrasesTest, ComposeMelodyPhrasesFillsEverySectionAndKeepsTheRhythmType) {
  ComposeInformation& info = ComposeInfo();
  PartRecord& p = CurrentStyle().parts[1];
  p.note_length = 2;
  p.algorithm = 4;
  info.section_count = 250;  // more than there are lists: 200 are composed
  for (int i = 0; i < kSectionCapacity; ++i)
    AddChord(&info.section_chords[static_cast<size_t>(i)], i % 2 ? "GMPo" : "CMPo", 384);
  GneSeedRandomWith(4);
  ComposeMelodyPhrases(1);
  EXPECT_EQ(p.note_length, 2);
  for (int i = 0; i < kSectionCapacity; ++i)
    EXPECT_EQ(NoteTotal(info.melody_phrases[static_cast<size_t>(i)]), 384) << i;
}

TEST_F(MelodyPhrasesTest, ClosingPhrases) {
  PartRecord& p = CurrentStyle().parts[1];
  struct Case {
    int ornament;
    int channel;
    int key_mode;
    int method;
  };
  const Case cases[] = {{0, 1, 1, 0}, {0, 4, 1, 0}, {1, 1, 1, 0}, {1, 1, 2, 0},
                        {1, 4, 1, 0}, {0, 1, 1, 8}};
  for (const Case& c : cases) {
    CurrentStyle().key_mode = c.key_mode;
    CurrentStyle().chord_method = c.method;
    for (int ch : {1, 4}) {
      CurrentStyle().parts[ch] = p;
      CurrentStyle().parts[ch].ornament = c.ornament;
    }
    for (uint32_t seed = 1; seed <= 60; ++seed) {
      GneSeedRandomWith(seed);
      EventList out;
      BuildMelodyEnding(c.channel, &out, GneRandomRange(0, 1) ? 0 : GneRandomRange(40, 90));
      ASSERT_GE(out.count(), 1);
      EXPECT_EQ(out[0].kind, kEventChordMarker);
      EXPECT_EQ(std::string(out[0].chord_code, 4), "CMPS");
      EXPECT_EQ(out[0].length, 768);
      if (c.method == 8 || (c.ornament == 1 && c.channel != 1)) {
        EXPECT_EQ(out.count(), 1);
        continue;
      }
      for (int i = 1; i < out.count(); ++i) {
        EXPECT_GT(out[i].length, 0) << "ornament " << c.ornament << " seed " << seed;
        EXPECT_GE(out[i].pitch, 0);
        EXPECT_LE(out[i].pitch, 127);
      }
      if (c.ornament == 1) {
        EXPECT_EQ(NoteTotal(out), 576) << "seed " << seed;
      }
    }
  }
}

TEST_F(MelodyPhrasesTest, ClosingPhraseAfterARestStartsOnTheTonicBelowTheMiddle) {
  PartRecord& p = CurrentStyle().parts[1];
  p.range_low = 60;
  p.range_high = 84;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    EventList out;
    BuildMelodyEnding(1, &out, 0);
    ASSERT_GE(out.count(), 2);
    EXPECT_EQ(out[1].pitch, 72);  // C, one octave below the middle's octave (84)
  }
}

TEST_F(MelodyPhrasesTest, TrillEndingInKeyModeOneEndsLeadingToneToTonic) {
  CurrentStyle().key_mode = 1;
  PartRecord& p = CurrentStyle().parts[1];
  p.range_low = 48;
  p.range_high = 84;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    EventList out;
    ClassicTrillEnding(1, &out, GneRandomRange(0, 1) ? 0 : GneRandomRange(55, 80));
    EXPECT_EQ(NoteTotal(out), 576);
    const std::vector<int> pitches = Pitches(out);
    ASSERT_GE(pitches.size(), 3u);
    const size_t n = pitches.size();
    EXPECT_EQ(PitchClassOf(pitches[n - 3]), 11) << "seed " << seed;
    EXPECT_EQ(PitchClassOf(pitches[n - 2]), 0);
    EXPECT_EQ(PitchClassOf(pitches[n - 1]), 0);
  }
}

TEST_F(MelodyPhrasesTest, VoicingOfRests) {
  const std::string code = "CMPo";
  char w[kToneWeightTextSize];
  BuildToneWeights(code.c_str(), w);
  PartRecord& p = CurrentStyle().parts[1];
  // Symmetric voicing: a melody rest is a voicing rest.
  p.voicing = 1;
  int pivot = 0;
  const int v = VoicingPitch(1, &pivot, 72, w);
  EXPECT_GT(v, 0);
  EXPECT_LT(v, 72);
  EXPECT_EQ(VoicingPitch(1, &pivot, 0, w), 0);
  // Delayed voicing: the last pitch held, an octave higher, or a rest.
  p.voicing = 2;
  std::set<int> seen;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GneSeedRandomWith(seed);
    Melody().voicing_pitch = 55;
    Melody().held_rests = 0;
    seen.insert(VoicingPitch(1, &pivot, 0, w));
  }
  EXPECT_EQ(seen, (std::set<int>{0, 55, 67}));
}

TEST_F(MelodyPhrasesTest, VoicingMirrorsBelowAndStaysAbovePitchZero) {
  char w[kToneWeightTextSize];
  BuildToneWeights("GMPs", w);
  CurrentStyle().parts[1].voicing = 1;
  for (int n : {1, 5, 13, 40, 60, 72, 96, 127}) {
    for (int start_pivot : {0, 3, 50, 126}) {
      int pivot = start_pivot;
      const int v = VoicingPitch(1, &pivot, n, w);
      EXPECT_GE(v, 0) << n;
      EXPECT_LE(v, 127);
      EXPECT_LE(n - v, 12) << n << " pivot " << start_pivot;
    }
  }
}

TEST_F(MelodyPhrasesTest, VoicingPhrasesFollowTheMelodyPhrases) {
  ComposeInformation& info = ComposeInfo();
  info.section_count = 2;
  CurrentStyle().parts[1].voicing = 1;
  AddChord(&info.melody_phrases[0], "CMPo", 384);
  info.melody_phrases[0].AppendControl(0, 64);
  info.melody_phrases[0].AppendNote(192, 76);
  info.melody_phrases[0].AppendNote(192, 0);
  AddChord(&info.melody_phrases[1], "GMPo", 384);
  info.melody_phrases[1].AppendNote(384, 74);
  GneSeedRandomWith(1);
  DeriveVoicingPhrases(1);
  const EventList& v0 = info.voicing_phrases[0];
  ASSERT_EQ(v0.count(), 3);  // no control event
  EXPECT_EQ(v0[0].kind, kEventChordMarker);
  EXPECT_EQ(v0[1].length, 192);
  EXPECT_GT(v0[1].pitch, 0);
  EXPECT_LT(v0[1].pitch, 76);
  EXPECT_EQ(v0[2].pitch, 0);
  EXPECT_EQ(info.voicing_phrases[1].count(), 2);
}

TEST_F(MelodyPhrasesTest, InputLinesAlongTheChordBlocks) {
  ComposeInformation& info = ComposeInfo();
  ChordEntry c{384, {'C', 'M', 'P', 'o'}};
  ChordEntry g{384, {'G', 'M', 'P', 'o'}};
  info.AddChordBlock(c, nullptr);
  info.AddChordBlock(g, nullptr);
  EventList input;
  input.AppendNote(192, 62);  // D over C: the first note moves to a triad tone
  input.AppendNote(192, 65);
  input.AppendNote(0, 60);  // reported
  input.AppendNote(384, 69);
  input.AppendNote(96, 64);  // past the last block: the walk stops
  EventList obbligato;
  ObbligatoFromInput(&obbligato, input);
  EXPECT_EQ(ErrorCount(melody_error::kObbligatoLength), 1);
  EXPECT_EQ(Pitches(obbligato), (std::vector<int>{64, 65, 71}));

  EventList voicing;
  VoicingFromInput(&voicing, input);
  const std::vector<int> v = Pitches(voicing);
  ASSERT_EQ(v.size(), 4u);
  for (int p : v) {
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 127);
  }
}

TEST_F(MelodyPhrasesTest, UnsteadyPitchStaysNearOrRests) {
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    GneSeedRandomWith(seed);
    const int r = UnsteadyPitch(64);
    EXPECT_TRUE(r == 0 || (r >= 62 && r <= 70)) << r;
  }
}

}  // namespace
