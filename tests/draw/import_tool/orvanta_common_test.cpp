// The import tool's staff display and loading steps on the offscreen rhythm staff.
#include "draw/orvanta_common.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <vector>

#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "tests/support/test_support.h"
#include "tests/support/unreadable_file.h"

namespace {

struct NoteSpec { int start; int pitch; int duration; };

Midi1Track* TrackOf(int channel, const std::vector<NoteSpec>& notes,
                    int capacity = COrvantaCommon::kTrackCapacity) {
  auto* track = new Midi1Track(2, capacity);
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

TEST_F(ImportToolTest, AChordOfHalfNotesHasTheLongChordMember) {
  MakePicture(1);
  auto song = SongWith(0, {{0, 60, 480}, {0, 64, 480}, {480, 67, 240}, {480, 71, 240}});
  COrvantaCommon::ShowTracksOnStaff(1, 1, picture.get(), 0, song.get(), 0, 0, 4);
  const auto bar = Cell(0);
  for (const auto& n : {std::make_tuple(0, 60, int(kNoteHalf), 0), std::make_tuple(0, 64, 17, 0),
                        std::make_tuple(480, 67, int(kNoteQuarter), 0),
                        std::make_tuple(480, 71, int(kNoteContinuation), 0)})
    EXPECT_NE(std::find(bar.begin(), bar.end(), n), bar.end()) << std::get<1>(n);
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

using NoteRow = std::tuple<int64_t, int, int, int>;  // tick, pitch, velocity, duration

// Every note mido reads in a file, by channel.
bool MidoNotes(const std::filesystem::path& file, int* division,
               std::map<int, std::vector<NoteRow>>* by_channel) {
  std::vector<std::string> lines;
  if (!cantrel_test::MidoEventLines(file, division, &lines)) return false;
  for (const std::string& line : lines) {
    if (line.rfind("note ", 0) != 0) continue;
    std::istringstream in(line.substr(5));
    int channel, pitch, velocity, duration;
    int64_t tick;
    in >> channel >> tick >> pitch >> velocity >> duration;
    (*by_channel)[channel].emplace_back(tick, pitch, velocity, duration);
  }
  return true;
}

class LoadSmfTest : public ::testing::Test {
 protected:
  void TearDown() override { delete song; }
  Midi1Data* song = nullptr;
};

TEST_F(LoadSmfTest, PlanetBlupiFilesComeInSeventeenTracksAt240) {
  const std::filesystem::path folder = "/usr/share/planetblupi/music";
  CANTREL_NEED(std::filesystem::exists(folder / "music000.mid"), "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  // Files of division 120 (nine tracks) and of 192 (five to seven tracks).
  for (int n : {0, 3, 4, 5, 9}) {
    char name[32];
    std::snprintf(name, sizeof name, "music%03d.mid", n);
    SCOPED_TRACE(name);
    int division = 0;
    std::map<int, std::vector<NoteRow>> want;
    ASSERT_TRUE(MidoNotes(folder / name, &division, &want));
    ASSERT_GT(division, 0);
    ASSERT_EQ(COrvantaCommon::LoadSmf((folder / name).string(), &song, 0), 1);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->track_count, 17);
    EXPECT_EQ(song->division, 240);
    EXPECT_EQ(song->Track(0)->GetChannel(), kNoChannel);
    for (int channel = 0; channel < 16; ++channel) {
      SCOPED_TRACE(channel);
      std::vector<NoteRow> expected;
      for (const NoteRow& r : want[channel]) {
        const int64_t length = int64_t{std::get<3>(r)} * 240 / division;
        expected.emplace_back(std::get<0>(r) * 240 / division, std::get<1>(r), std::get<2>(r),
                              static_cast<int>(std::clamp<int64_t>(length, 1, 960)));
      }
      const MidiTrack* track = song->Track(channel + 1);
      ASSERT_NE(track, nullptr);
      const std::vector<int64_t> ticks = track->EventTicks();
      std::vector<NoteRow> got;
      for (int32_t i = 0; i < track->event_count; ++i) {
        const MidiEvent* e = track->Event(i);
        if (e->status != kStatusNote) continue;
        EXPECT_EQ(e->channel, channel);
        EXPECT_LE(e->duration, 960);
        got.emplace_back(ticks[i], e->note, e->velocity, e->duration);
      }
      std::sort(expected.begin(), expected.end());
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got.size(), expected.size());
      const auto differ = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
      if (differ.first != got.end() && differ.second != expected.end()) {
        ADD_FAILURE() << "first difference: tick " << std::get<0>(*differ.first) << " pitch "
                      << std::get<1>(*differ.first) << " velocity " << std::get<2>(*differ.first)
                      << " length " << std::get<3>(*differ.first) << ", mido: tick "
                      << std::get<0>(*differ.second) << " pitch " << std::get<1>(*differ.second)
                      << " velocity " << std::get<2>(*differ.second) << " length "
                      << std::get<3>(*differ.second);
      }
      if (expected.empty()) {
        // An empty channel's slot: its program change and the End of Track.
        ASSERT_GE(track->event_count, 1);
        EXPECT_EQ(track->Event(0)->status, kStatusProgram);
      }
    }
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(LoadSmfTest, WhatIsNoStandardMidiFileLeavesTheSongAsItWas) {
  song = new Midi1Data(COrvantaCommon::kDivision, 0x60000);
  Midi1Data* const before = song;
  const std::filesystem::path text = cantrel_test::TempDir() / "not.mid";
  std::ofstream(text) << "no MIDI here";
  const std::filesystem::path empty = cantrel_test::TempDir() / "empty.mid";
  std::ofstream(empty).flush();
  // A folder in a file's place, and a file nobody may read: said with the path, and the
  // import tool goes on.
  const std::filesystem::path folder = cantrel_test::TempDir() / "folder.mid";
  std::filesystem::create_directories(folder);
  const std::filesystem::path locked =
      cantrel_test::UnreadableFile(cantrel_test::TempDir() / "locked.mid");
  struct Case { std::filesystem::path path; bool cannotOpen; };
  for (const Case& c : {Case{text, false}, Case{empty, false},
                        Case{cantrel_test::TempDir() / "missing.mid", true}, Case{folder, true},
                        Case{locked, true}}) {
    SCOPED_TRACE(c.path.string());
    cantrel_test::Sink().Clear();
    int loaded = -1;
    ASSERT_TRUE(cantrel_test::RunBoundByPermissions(
        [&] { loaded = COrvantaCommon::LoadSmf(c.path.string(), &song, 0); }));
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(song, before);
    ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
    if (c.cannotOpen) {
      EXPECT_EQ(cantrel_test::Sink().Texts()[0],
                "Midiファイルが開けませんでした。" + c.path.string());
    }
  }
}

TEST_F(LoadSmfTest, RescalesSplitsAndClampsALoadedFile) {
  // A format-1 file at 480 per quarter: two tracks on channel 1 (the second is
  // dropped), a second-port channel 18 (slot 3) and a note of four bars.
  auto source = std::make_unique<Midi1Data>(480, 0x60000);
  source->AddTrack(TrackOf(1, {{0, 60, 480}, {960, 62, 240}}));
  source->AddTrack(TrackOf(1, {{0, 72, 480}}));
  source->AddTrack(TrackOf(18, {{480, 50, 7680}}));
  const std::filesystem::path file = cantrel_test::TempDir() / "source.mid";
  ASSERT_EQ(source->SaveFile(file), 1);
  ASSERT_EQ(COrvantaCommon::LoadSmf(file.string(), &song, 7), 1);
  ASSERT_EQ(song->track_count, 17);
  EXPECT_EQ(song->division, 240);
  const MidiTrack* one = song->Track(2);
  std::vector<std::tuple<int64_t, int, int>> notes;
  const std::vector<int64_t> ticks = one->EventTicks();
  for (int32_t i = 0; i < one->event_count; ++i)
    if (one->Event(i)->status == kStatusNote)
      notes.emplace_back(ticks[i], one->Event(i)->note, one->Event(i)->duration);
  EXPECT_EQ(notes, (std::vector<std::tuple<int64_t, int, int>>{{0, 60, 240}, {480, 62, 120}}));
  const MidiTrack* second_port = song->Track(3);
  bool found = false;
  for (int32_t i = 0; i < second_port->event_count; ++i) {
    const MidiEvent* e = second_port->Event(i);
    if (e->status != kStatusNote) continue;
    found = true;
    EXPECT_EQ(e->note, 50);
    EXPECT_EQ(e->duration, 960);
  }
  EXPECT_TRUE(found);
  // An empty slot holds the given program.
  EXPECT_EQ(song->Track(5)->Event(0)->status, kStatusProgram);
  EXPECT_EQ(song->Track(5)->Event(0)->value, 7);
}

TEST_F(LoadSmfTest, ATrackLargerThanTheUsualRoomArrivesWhole) {
  // 60,000 notes in one track: more bytes than a track of the usual room holds.
  auto source = std::make_unique<Midi1Data>(480, 0x200000);
  std::vector<NoteSpec> notes;
  for (int i = 0; i < 60000; ++i) notes.push_back({i * 120, 40 + i % 60, 100});
  source->AddTrack(TrackOf(3, notes, 0x200000));
  const std::filesystem::path file = cantrel_test::TempDir() / "large.mid";
  ASSERT_EQ(source->SaveFile(file), 1);
  ASSERT_GT(std::filesystem::file_size(file), size_t{COrvantaCommon::kTrackCapacity / 2});
  ASSERT_EQ(COrvantaCommon::LoadSmf(file.string(), &song, 0), 1);
  const MidiTrack* track = song->Track(4);
  int32_t count = 0;
  for (int32_t i = 0; i < track->event_count; ++i)
    count += track->Event(i)->status == kStatusNote ? 1 : 0;
  EXPECT_EQ(count, 60000);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(LoadSmfTest, RescaledTicksDoNotDriftAtAnUnevenRatio) {
  // 192 to 240 per quarter: every note lands on its own tick x 5 / 4, rounded down,
  // however many one-tick delays come before it.
  auto source = std::make_unique<Midi1Data>(192, 0x60000);
  std::vector<NoteSpec> notes;
  for (int i = 0; i < 40; ++i) notes.push_back({i * 3 + (i % 2), 60 + i % 12, 2});
  source->AddTrack(TrackOf(0, notes));
  const std::filesystem::path file = cantrel_test::TempDir() / "uneven.mid";
  ASSERT_EQ(source->SaveFile(file), 1);
  ASSERT_EQ(COrvantaCommon::LoadSmf(file.string(), &song, 0), 1);
  const MidiTrack* track = song->Track(1);
  const std::vector<int64_t> ticks = track->EventTicks();
  std::vector<int64_t> got, want;
  for (int32_t i = 0; i < track->event_count; ++i)
    if (track->Event(i)->status == kStatusNote) got.push_back(ticks[i]);
  for (const NoteSpec& n : notes) want.push_back(int64_t{n.start} * 240 / 192);
  EXPECT_EQ(got, want);
}

}  // namespace
