// Ornaments: each one's notes, and that every ornament ends its step on time.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/ornaments.h"
#include "engine/part_tracks.h"
#include "engine/tone_weights.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

using parts_test::Notes;
using parts_test::NoteRow;

namespace {

class OrnamentTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    WriteChordEntry(entry_, ChordEntry{384, {'C', 'M', 'P', 'o'}});
  }
  OrnamentNote Make(int pitch, int length) {
    OrnamentNote n;
    n.channel = 1;
    n.delta = 0;
    n.pitch = pitch;
    n.velocity = 64;
    n.length = length;
    n.section_time = 288;
    n.chord_entry = entry_;
    n.next_pitch = &override_;
    return n;
  }
  static std::vector<int> Pitches(const MidiTrack& t) {
    std::vector<int> out;
    for (const NoteRow& r : Notes(t)) out.push_back(std::get<2>(r));
    return out;
  }
  uint8_t entry_[6] = {};
  int override_ = 0;
};

TEST_F(OrnamentTest, WildTrill) {
  PartTrack t;
  EXPECT_EQ(OrnamentWildTrill(t, Make(60, 48)), 12);
  EXPECT_EQ(Notes(t), (std::vector<NoteRow>{{0, 1, 59, 64, 9}, {12, 1, 60, 64, 9},
                                            {24, 1, 59, 64, 9}, {36, 1, 60, 64, 9}}));
  PartTrack p;
  EXPECT_EQ(OrnamentWildTrill(p, Make(60, 96)), 96);
  EXPECT_EQ(Notes(p), (std::vector<NoteRow>{{0, 1, 60, 64, 93}}));
}

// Every ornament, over many seeds and step lengths, writes notes inside its
// step and returns the time from its last note start to the step's end.
TEST_F(OrnamentTest, EveryOrnamentEndsItsStepOnTime) {
  CurrentStyle().basic_beat = 3;
  const int codes[] = {0, 1, 2, 3, 4, 6, 7, 11, 14, 15, 16, 17, 19};
  const int lengths[] = {24, 32, 48, 64, 72, 96, 144, 192, 288, 384};
  for (int code : codes) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
      GneSeedRandomWith(seed);
      for (int length : lengths) {
        PartTrack t;
        OrnamentNote n = Make(67, length);
        n.delta = 10;
        n.event_index = static_cast<int>(seed * 7);
        n.previous_pitch = seed % 2 ? 0 : 60;
        const int pending = PlayOrnament(code, t, n);
        const auto notes = Notes(t);
        ASSERT_FALSE(notes.empty());
        int64_t last_start = std::get<0>(notes.back());
        for (const NoteRow& r : notes) {
          EXPECT_GE(std::get<0>(r), 10) << code;
          // The blues figure's last note rings 14 ticks into the next step.
          const int slack = code == kOrnamentBlues ? 14 : 1;
          EXPECT_LE(std::get<0>(r) + std::get<4>(r), 10 + length + slack) << code << " " << length;
        }
        EXPECT_EQ(last_start + pending, 10 + length) << "code " << code << " length " << length;
      }
    }
  }
}

TEST_F(OrnamentTest, AndesEndsAtTheStep) {
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    const int pending = OrnamentAndes(t, Make(60, 96));
    EXPECT_EQ(std::get<0>(Notes(t).back()) + pending, 96);
  }
}

TEST_F(OrnamentTest, ClassicalTurnOverCMajor) {
  CurrentStyle().density[1] = 50;  // the density test passes without a draw
  bool turned = false;
  for (uint32_t seed = 1; seed <= 50 && !turned; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    override_ = 0;
    const int pending = OrnamentClassical(t, Make(60, 96));
    if (Notes(t).size() == 8) {
      turned = true;
      EXPECT_EQ(Pitches(t), (std::vector<int>{59, 60, 59, 60, 59, 60, 57, 59}));
      EXPECT_EQ(pending, 12);
      EXPECT_EQ(override_, 60);
    }
  }
  EXPECT_TRUE(turned);
  // Early in the section, or in a user's song, no turn.
  PartTrack early;
  OrnamentNote n = Make(60, 96);
  n.section_time = 96;
  OrnamentClassical(early, n);
  EXPECT_EQ(Notes(early).size(), 1u);
  ComposeMode() = kSongRenderingMode;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack song;
    OrnamentClassical(song, Make(60, 96));
    EXPECT_EQ(Notes(song).size(), 1u);
  }
}

TEST_F(OrnamentTest, ClassicalSoftensTheObbligatoStart) {
  for (int i = 0; i < 5; ++i) {
    PartTrack t;
    OrnamentNote n = Make(60, 96);
    n.channel = 4;
    n.event_index = i;
    OrnamentClassical(t, n);
    EXPECT_EQ(std::get<3>(Notes(t)[0]), i < 3 ? 42 : 64);
  }
}

TEST_F(OrnamentTest, PopsAndLeadingLeapUseChordTones) {
  // Over C major, grace notes below come from strong tones (weight 8 or more).
  char w[kToneWeightTextSize];
  BuildToneWeights("CMPo", w);
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    OrnamentPops(t, Make(72, 192));
    const auto pitches = Pitches(t);
    EXPECT_EQ(pitches.back(), 72);
    for (size_t k = 0; k + 1 < pitches.size(); ++k) {
      if (pitches[k] == 71) continue;  // the semitone grace
      EXPECT_GE(ToneDigit(w, PitchClassOf(pitches[k])), 8) << pitches[k];
    }
    PartTrack leap;
    OrnamentNote n = Make(72, 192);
    n.previous_pitch = 0;
    EXPECT_EQ(OrnamentLeadingLeap(leap, n), 144);
    ASSERT_EQ(Notes(leap).size(), 2u);
    EXPECT_EQ(std::get<2>(Notes(leap)[0]), 64);  // below G, the chord tone E
  }
}

TEST_F(OrnamentTest, StepDownToToneStopsAtZero) {
  char none[kToneWeightTextSize] = "xxxx000000000000";
  EXPECT_EQ(StepDownToTone(60, none), 0);
  EXPECT_EQ(StepDownToTone(0, none), 0);
  char c[kToneWeightTextSize] = "xxxx900000000000";
  EXPECT_EQ(StepDownToTone(60, c), 48);
}

TEST_F(OrnamentTest, JitterMostlyKeepsThePitch) {
  GneSeedRandomWith(7);
  int same = 0, rests = 0, total = 3000;
  int previous = -1;
  for (int k = 0; k < total; ++k) {
    const int q = JitterPitch(60);
    if (q == 60) ++same;
    if (q == 0) ++rests;
    if (previous == 0 && q != 0) EXPECT_TRUE(q == 59 || q == 60 || q == 58 || q == 64) << q;
    previous = q;
  }
  EXPECT_GT(same, total * 8 / 10);
  EXPECT_GT(rests, total / 60);
  EXPECT_LT(rests, total / 15);
}

TEST_F(OrnamentTest, ScottishAlwaysVelocity64) {
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    MixerRecord m;
    WritePartHeader(t, 1, seed % 2 ? 5 : 40, m, 0);
    OrnamentNote n = Make(60, 96);
    n.velocity = 100;
    OrnamentScottish(t, n);
    for (const NoteRow& r : Notes(t)) EXPECT_EQ(std::get<3>(r), 64);
  }
}

TEST_F(OrnamentTest, PassingNoteBetweenWholeTones) {
  int with = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    AddNote(t, 1, 0, 64, 64, 96);
    AddNote(t, 1, 96, 62, 64, 40);  // too short for a passing note of its own
    CloseTrack(t);
    AddPassingNotes(t);
    const auto notes = Notes(t);
    if (notes.size() == 3 && std::get<4>(notes[0]) == 72) {
      ++with;
      EXPECT_EQ(notes[1], (NoteRow{72, 1, 63, 64, 24}));
      EXPECT_EQ(std::get<0>(notes[2]), 96);
    }
    EXPECT_EQ(std::get<0>(notes.back()), 96);  // the next note keeps its time
  }
  EXPECT_GT(with, 20);
  EXPECT_LT(with, 90);
}

TEST_F(OrnamentTest, PassingNoteBeforeTheNextAfterALongNote) {
  int with = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    PartTrack t;
    AddNote(t, 1, 0, 60, 64, 189);
    AddNote(t, 1, 192, 62, 64, 40);
    CloseTrack(t);
    AddPassingNotes(t);
    const auto notes = Notes(t);
    if (notes.size() == 3) {
      ++with;
      EXPECT_EQ(notes[1], (NoteRow{144, 1, 61, 64, 48}));
      EXPECT_EQ(std::get<0>(notes[2]), 192);
    }
  }
  EXPECT_GT(with, 20);
}

TEST_F(OrnamentTest, PassingNotesNeedNoteMode) {
  MidiTrack t(kTrackEvents, 4096);
  AddPassingNotes(t);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

}  // namespace
