// The pops arpeggio: the held-melody fill, section voicing, the pedal, the
// melody lead-in and the triplet arpeggio.
#include <gtest/gtest.h>

#include <memory>

#include "accomp/pops_arpeggio.h"
#include "tests/accomp/patterns/pattern_fixture.h"

namespace pattern_test {
namespace {

using parts_test::NoteRow;

class PopsArpeggioTest : public PatternTest {
 protected:
  void SetUp() override {
    PatternTest::SetUp();
    CurrentStyle().parts[kChannel].range_high = 0;  // 0..127
    CurrentStyle().parts[kChannel].range_low = 0;
    CurrentStyle().density[kChannel] = 100;
    melody_.FreeEvents();
  }
  static void Melody(std::initializer_list<std::pair<int, int>> notes) {
    melody_.FreeEvents();
    for (const auto& n : notes) melody_.AppendNote(n.first, n.second);
  }
  static std::unique_ptr<PartTrack> Play() {
    auto t = std::make_unique<PartTrack>();
    GeneratePopsArpeggioPattern(kChannel, *t, melody_);
    return t;
  }
  static EventList melody_;
};
EventList PopsArpeggioTest::melody_;

// Under one melody note held through a 3/4 bar: six eighths of arpeggio.
// Two melody notes: the figure for other lengths.
TEST_F(PopsArpeggioTest, HeldMelodyNoteGetsTheArpeggio) {
  SetMetre(1);
  SetBlocks({{"CMPs", 288}, {"FMPs", 288}});
  SetTones(0, 60, 64, 67, 70, 48);
  Melody({{288, 72}, {288, 72}});
  const auto held_track = Play();
    const PartTrack& held = *held_track;
  auto notes = SoundingIn(held, 0, 288);
  ASSERT_EQ(notes.size(), 6u);
  std::vector<int> pitches;
  for (const NoteRow& n : notes) pitches.push_back(std::get<2>(n));
  EXPECT_EQ(pitches, (std::vector<int>{72, 64, 67, 70, 72, 70}));

  Melody({{144, 72}, {144, 74}, {288, 72}});
  const auto other_track = Play();
    const PartTrack& other = *other_track;
  // Rule of other lengths: four eighths, then the closing chord after 48.
  EXPECT_EQ(Onsets(SoundingIn(other, 0, 288)), (std::vector<int64_t>{0, 48, 96, 144, 192}));
}

TEST_F(PopsArpeggioTest, SectionBPlaysAnOctaveHigher) {
  SetBlocks({{"CMPs", 192}, {"CMPs", 192}, {"CMPs", 192}, {"CMPs", 192}});
  for (int k = 0; k < 4; ++k) SetTones(k, 60, 64, 67, 70, 48);
  SetSections({"AXXX", "BXXX", "EXXX", "AXXX"});
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    GneSeedRandomWith(seed);
    const auto t_track = Play();
    const PartTrack& t = *t_track;
    // The half-bar figure: low, third, fifth, third.
    const auto b = SoundingIn(t, 192, 384);
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(std::get<2>(b[0]), 48);  // R - 12
    EXPECT_EQ(std::get<2>(b[1]), 64);  // T
    EXPECT_EQ(std::get<2>(b[2]), 67);  // F
    const auto d = SoundingIn(t, 384, 576);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(std::get<2>(d[0]), 36);  // R - 24
    EXPECT_EQ(std::get<2>(d[1]), 52);  // T - 12
  }
}

TEST_F(PopsArpeggioTest, PedalPerBlock) {
  SetRepeated("CMPs", 384, 3);
  for (int depth : {0, 100}) {
    SCOPED_TRACE(depth);
    CurrentStyle().mixer[kChannel].reserved[0] = static_cast<uint8_t>(depth);
    const auto t_track = Play();
    const PartTrack& t = *t_track;
    const auto pedals = parts_test::Controllers(t);
    if (depth == 0) {
      EXPECT_TRUE(pedals.empty());
      continue;
    }
    using Row = std::tuple<int64_t, int, int>;
    EXPECT_EQ(pedals, (std::vector<Row>{{0, 64, 100}, {383, 64, 0}, {384, 64, 100},
                                       {768, 64, 0}}));
  }
}

// Below density 91 the first block waits for the melody's first note.
TEST_F(PopsArpeggioTest, MelodyLeadIn) {
  SetRepeated("CMPs", 192, 3);
  ComposeInfo().render_handover_tick = 48;
  for (int density : {90, 91}) {
    CurrentStyle().density[kChannel] = density;
    const auto t_track = Play();
    const PartTrack& t = *t_track;
    EXPECT_EQ(ComposeInfo().render_handover_tick, 48) << "put back";
    const auto first = Onsets(SoundingIn(t, 0, 192));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), density == 90 ? 48 : 0);
    EXPECT_EQ(Onsets(SoundingIn(t, 192, 384)).front(), 192);
  }
}

TEST_F(PopsArpeggioTest, TripletArpeggioOverTheBass) {
  SetGrid(true);
  SetBlocks({{"CMPs", 384}, {"FMPs", 144}});
  SetTones(0, 60, 64, 67, 70, 48);
  const auto t_track = Play();
    const PartTrack& t = *t_track;
  const auto bar = SoundingIn(t, 0, 384);
  ASSERT_EQ(bar.size(), 13u);
  EXPECT_EQ(PitchesAt(bar, 0), (std::vector<int>{36, 48}));
  EXPECT_EQ(std::get<4>(bar.front()), 383);
  // 144 ticks are no whole number of half bars: one chord.
  EXPECT_EQ(Onsets(SoundingIn(t, 384, 528)), std::vector<int64_t>{384});
}

}  // namespace
}  // namespace pattern_test
