// The strum and sustained figures: Hawaiian, simple stroke, oldies guitar,
// sliding, high whole notes, kecak and four-cut.
#include <gtest/gtest.h>

#include <memory>

#include "accomp/strum_sustained.h"
#include "engine/engine_state.h"
#include "engine/tone_weights.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class StrumTest : public PatternTest {
 protected:
  // A part with its header (the program the four-cut reads) and the figure.
  static std::unique_ptr<PartTrack> Play(void (*generate)(int, MidiTrack&), int program) {
    auto t = std::make_unique<PartTrack>();
    MixerRecord mixer;
    WritePartHeader(*t, kChannel, program, mixer, 0);
    generate(kChannel, *t);
    return t;
  }
};

TEST_F(StrumTest, SimpleStrokeDownOnEveryBeatUpAfterTwoAndFour) {
  SetBlocks({{"CMPs", 384}});
  SetTones(0, 60, 64, 67, 70, 48);
  const auto t_track = Play(GenerateSimpleStrokePattern, 24);
    const PartTrack& t = *t_track;
  EXPECT_EQ(Onsets(Sounding(t)),
            (std::vector<int64_t>{0, 2, 4, 96, 98, 100, 144, 146, 148, 192, 194, 196, 288, 290,
                                  292, 336, 338, 340}));
  EXPECT_EQ(PitchesAt(Sounding(t), 0), std::vector<int>{52});   // down: the third first
  EXPECT_EQ(PitchesAt(Sounding(t), 144), std::vector<int>{58});  // up: the seventh first
}

TEST_F(StrumTest, FourCutStrumsOnlyOnGuitars) {
  SetRepeated("CMPs", 384, 2);
  for (int k = 0; k < 2; ++k) SetTones(k, 60, 64, 67, 70, 48);
  struct Case {
    int program;
    int even_gap, odd_gap;
  };
  for (const Case& c : {Case{24, 4, 2}, Case{0, 0, 0}}) {
    GneSeedRandomWith(5);
    const auto t_track = Play(GenerateFourCutPattern, c.program);
    const PartTrack& t = *t_track;
    const auto first = Onsets(SoundingIn(t, 0, 96));
    const auto second = Onsets(SoundingIn(t, 96, 192));
    EXPECT_EQ(first.size() > 1 ? first[1] - first[0] : 0, c.even_gap) << c.program;
    EXPECT_EQ(second.size() > 1 ? second[1] - second[0] : 0, c.odd_gap) << c.program;
    for (const NoteRow& n : Sounding(t)) EXPECT_LE(std::get<2>(n), 68);
  }
}

TEST_F(StrumTest, FourCutLastBarRingsOnThreeAndRestsOnFour) {
  SetRepeated("CMPs", 384, 2);
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    const auto t_track = Play(GenerateFourCutPattern, 0);
    const PartTrack& t = *t_track;
    const auto third = SoundingIn(t, 384 + 192, 384 + 288);
    ASSERT_FALSE(third.empty());
    for (const NoteRow& n : third) EXPECT_EQ(std::get<4>(n), 88);
    EXPECT_TRUE(SoundingIn(t, 384 + 288, 768).empty());
    EXPECT_FALSE(SoundingIn(t, 288, 384).empty());
  }
}

// About one piece in four sounds; a sounding piece glides within its note and
// keeps the next piece on time, also on a short last piece.
TEST_F(StrumTest, HighWholeNotesSoundOnePieceInFour) {
  SetBlocks({{"CMPs", 500}, {"FMPs", 1600}, {"GMPs", 384}});
  int pieces = 0, sounding = 0;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    GneSeedRandomWith(seed);
    const auto t_track = Play(GenerateHighWholeNotePattern, 48);
    const PartTrack& t = *t_track;
    for (int64_t start : {0, 384, 500, 884, 1268, 1652, 2036}) {
      ++pieces;
      if (!SoundingIn(t, start, start + 5).empty()) ++sounding;
    }
    // The song's last block always sounds.
    EXPECT_FALSE(SoundingIn(t, 2100, 2105).empty()) << seed;
    for (size_t i = 0; i < static_cast<size_t>(t.event_count); ++i)
      EXPECT_GE(t.events[i]->delta, 0) << "event " << i;
  }
  EXPECT_GT(sounding * 6, pieces);
  EXPECT_LT(sounding * 3, pieces);
}

// Even slides glide twice, odd ones once; the count lives on past the call
// and the engine's reset clears it.
TEST_F(StrumTest, SlidesAlternateAndCountOn) {
  SetRepeated("CMPs", 384, 3);
  for (int k = 0; k < 3; ++k) SetTones(k, 60, 64, 67, 70, 48);
  SlideCount() = 0;
  const auto t_track = Play(GenerateSlidingPattern, 24);
    const PartTrack& t = *t_track;
  EXPECT_EQ(SlideCount(), 3);
  EXPECT_EQ(SoundingIn(t, 0, 384).size(), 4u);
  EXPECT_EQ(SoundingIn(t, 384, 768).size(), 3u);
  for (size_t i = 0; i < static_cast<size_t>(t.event_count); ++i)
    EXPECT_GE(t.events[i]->delta, 0) << "event " << i;
  ResetEngineState();
  EXPECT_EQ(SlideCount(), 0);
}

TEST_F(StrumTest, KecakVoicesAreStrongTonesAbove46) {
  SetRepeated("CMPs", 384, 8);
  char w[kToneWeightTextSize];
  BuildToneWeights(Block(0).chord_code, w);
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    const auto t_track = Play(GenerateKecakPattern, 0);
    const PartTrack& t = *t_track;
    for (const NoteRow& n : Sounding(t)) {
      EXPECT_GE(std::get<2>(n), 46);
      EXPECT_GE(ToneDigit(w, std::get<2>(n) % 12), 7) << std::get<2>(n);
      EXPECT_LE(std::get<3>(n), 127);
    }
  }
}

TEST_F(StrumTest, HawaiianAndOldiesKeepTheirBlocks) {
  SetBlocks({{"CMPs", 384}, {"FMPs", 192}, {"GMPs", 384}, {"CMPs", 384}});
  for (auto generate : {GenerateHawaiianPattern, GenerateOldiesGuitarPattern}) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      GneSeedRandomWith(seed);
      const auto t_track = Play(generate, 24);
    const PartTrack& t = *t_track;
      for (int i = 0; i < 3; ++i) {
        const auto notes = SoundingIn(t, BlockStart(i), BlockStart(i + 1));
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(std::get<0>(notes.front()), BlockStart(i));
      }
      for (size_t i = 0; i < static_cast<size_t>(t.event_count); ++i)
        EXPECT_GE(t.events[i]->delta, 0);
    }
  }
}

// Oldies: the song's last bar rests its eighths.
TEST_F(StrumTest, OldiesLastBarRests) {
  SetRepeated("CMPs", 384, 2);
  int silent = 0;
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    GneSeedRandomWith(seed);
    const auto t_track = Play(GenerateOldiesGuitarPattern, 24);
    const PartTrack& t = *t_track;
    // Its fill and figures still may play (none starts with a 46-tick
    // note); its eighths never.
    for (const NoteRow& n : SoundingIn(t, 384, 385)) EXPECT_NE(std::get<4>(n), 46);
    if (SoundingIn(t, 384, 768).empty()) ++silent;
  }
  EXPECT_GT(silent, 0);
}

}  // namespace
}  // namespace pattern_test
