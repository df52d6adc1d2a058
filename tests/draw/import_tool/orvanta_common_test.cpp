// The import tool's staff display and loading steps on the offscreen rhythm staff.
#include "draw/orvanta_common.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <memory>
#include <tuple>
#include <vector>

#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "tests/support/test_support.h"

namespace {

struct NoteSpec { int start; int pitch; int duration; };

Midi1Track* TrackOf(int channel, const std::vector<NoteSpec>& notes) {
  auto* track = new Midi1Track(2, COrvantaCommon::kTrackCapacity);
  int at = 0;
  for (const NoteSpec& n : notes) {
    auto* e = new MidiEvent(n.start - at);
    e->SetNote(channel, n.pitch, 100, n.duration);
    track->AddEvent(e);
    at = n.start;
  }
  track->AddEndOfTrack();
  return track;
}

// A song of 17 tracks with the notes on one channel.
std::unique_ptr<Midi1Data> SongWith(int channel, const std::vector<NoteSpec>& notes) {
  auto song = std::make_unique<Midi1Data>(COrvantaCommon::kDivision, 0x60000);
  song->AddTrack(TrackOf(0, {}));
  song->AddTrack(TrackOf(channel, notes));
  COrvantaCommon::SplitByChannel(song.get(), 0);
  return song;
}

class ImportToolTest : public ::testing::Test {
 protected:
  void SetUp() override { CStaffPicture::ResetState(); }
  void TearDown() override {
    picture.reset();
    CStaffPicture::ResetState();
  }
  // A page of `cells` bar cells of 4/4 at 240 ticks per quarter.
  void MakePicture(int cells) {
    for (int i = 0; i < cells; ++i) controls.push_back(std::make_unique<COffScreenControl>(&parent));
    picture = std::make_unique<CRhythmStaffPicture>(controls[0].get(), Rect{0, 0, 200, 120}, 40,
                                                    83, nullptr, 960, 240, nullptr);
    for (int i = 0; i < cells; ++i)
      picture->AddRow(controls[i].get(), Rect{0, 0, 200, 120}, 40, 83, 960);
  }
  std::vector<std::tuple<int, int, int, int>> Cell(int row) const {  // start, pitch, type, tie
    std::vector<std::tuple<int, int, int, int>> out;
    for (const StaffNote& n : picture->Notes(row)) out.emplace_back(n.start, n.pitch, n.type, n.tie);
    return out;
  }
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
  std::unique_ptr<CRhythmStaffPicture> picture;
};

TEST(StaffNoteType, LengthAndGapChooseTheValue) {
  struct Case { int length, gap, type; };
  const Case cases[] = {
      {200, 240, kNoteQuarter}, {100, 240, kNoteEighth},  {240, 240, kNoteQuarter},
      {60, 60, kNoteSixteenth}, {47, 60, kNoteSixteenth}, {960, 960, kNoteWhole},
      {2000, 5000, kNoteWhole}, {500, 10000, kNoteHalfAndEighth}, {300, 10000, kNoteDottedQuarter},
      {180, 180, kNoteDottedEighth}, {600, 600, kNoteHalfAndEighth}, {0, 0, kNoteSixteenth},
  };
  for (const Case& c : cases)
    EXPECT_EQ(COrvantaCommon::StaffNoteTypeOf(c.length, c.gap), c.type) << c.length << " " << c.gap;
}

TEST_F(ImportToolTest, NotesChordsAndTiesAcrossTheBar) {
  MakePicture(4);
  // Bar 0: a quarter of 200 ticks (next note 240 later), one of 100, a chord of two
  // notes (the second a chord member), then a note 120 before the bar's end lasting 360.
  auto song = SongWith(0, {{0, 60, 200}, {240, 62, 100}, {480, 64, 480}, {480, 67, 480},
                           {840, 65, 360}, {1080, 69, 240}});
  COrvantaCommon::ShowTracksOnStaff(1, 4, picture.get(), 0, song.get(), 0, 0, 4);
  auto bar0 = Cell(0);
  const std::vector<std::tuple<int, int, int, int>> notes0 = {
      {0, 60, kNoteQuarter, 0}, {240, 62, kNoteEighth, 0}, {480, 64, kNoteDottedQuarter, 0},
      {480, 67, kNoteContinuation, 0}, {840, 65, kNoteEighth, 1}};
  for (const auto& n : notes0)
    EXPECT_NE(std::find(bar0.begin(), bar0.end(), n), bar0.end()) << std::get<0>(n);
  auto bar1 = Cell(1);
  EXPECT_NE(std::find(bar1.begin(), bar1.end(), std::make_tuple(0, 65, int(kNoteQuarter), 0)),
            bar1.end());
}

TEST_F(ImportToolTest, ScrolledViewsFillRestsOnlyWithinTheSong) {
  MakePicture(4);
  // Two bars of notes; the view starts at bar 1 and shows four bars.
  auto song = SongWith(2, {{0, 60, 960}, {960, 62, 960}});
  COrvantaCommon::ShowTracksOnStaff(1, 4, picture.get(), 0, song.get(), 1, 2, 4);
  EXPECT_FALSE(Cell(0).empty());  // bar 1: its note
  for (int cell = 1; cell < 4; ++cell) EXPECT_TRUE(Cell(cell).empty()) << cell;
}

TEST_F(ImportToolTest, ALongTiedNoteIsCutAtTheNextBar) {
  MakePicture(3);
  auto song = SongWith(1, {{720, 60, 2400}});
  COrvantaCommon::ClampLongNotes(song.get());
  EXPECT_EQ(song->Track(2)->Event(0)->duration, 960);
  song->Track(2)->Event(0)->duration = 2400;  // unclamped: the remainder still ends at the bar
  COrvantaCommon::ShowTracksOnStaff(1, 3, picture.get(), 0, song.get(), 0, 1, 4);
  for (const StaffNote& n : picture->Notes(1)) EXPECT_LE(n.start, 960);
  EXPECT_NE(std::find(Cell(1).begin(), Cell(1).end(), std::make_tuple(0, 60, int(kNoteWhole), 0)),
            Cell(1).end());
  EXPECT_TRUE(Cell(2).empty() || std::get<1>(Cell(2).front()) < 0);
}

TEST(ImportToolSplit, TracksGoToTheirChannelSlotsAndDuplicatesAreDropped) {
  auto song = std::make_unique<Midi1Data>(COrvantaCommon::kDivision, 0x60000);
  song->AddTrack(TrackOf(1, {{0, 60, 240}}));
  song->AddTrack(TrackOf(1, {{0, 72, 240}}));   // a second track on channel 1: dropped
  song->AddTrack(TrackOf(17, {{0, 50, 240}}));  // second port channel 1: dropped too
  song->AddTrack(TrackOf(19, {{0, 55, 240}}));  // second port channel 3: slot 4
  COrvantaCommon::SplitByChannel(song.get(), 5);
  ASSERT_EQ(song->track_count, 17);
  EXPECT_EQ(song->Track(2)->Event(0)->note, 60);
  EXPECT_EQ(song->Track(4)->Event(0)->note, 55);
  // An empty slot holds a program change of its channel and the End of Track.
  const MidiEvent* program = song->Track(6)->Event(0);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(program->status, kStatusProgram);
  EXPECT_EQ(program->channel, 5);
  EXPECT_EQ(program->value, 5);
  EXPECT_TRUE(IsEndOfTrack(song->Track(6)->Event(1)));
  EXPECT_EQ(song->Track(0)->GetChannel(), kNoChannel);
}

}  // namespace
