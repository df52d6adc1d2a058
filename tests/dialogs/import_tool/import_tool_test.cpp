// The import tool driven through its own handlers: reading a file on the worker (the panel
// disabled and the knob turning meanwhile, a clear or a shutdown during the read), the scroll
// range and scrolling, bars of the song written into a channel, the preview of the four shown
// bars, and the shown notes of every installed planetblupi file against mido's reading.
#include "dialogs/import_tool_dialog.h"
#include "draw/button_picture.h"
#include "draw/knob_picture.h"
#include "draw/orvanta_common.h"
#include "draw/staff_picture.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "music/midi_out_device.h"
#include "music/play_thread.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/midi_devices.h"
#include "tests/dialogs/song_info/dialog_test_util.h"
#include "tests/support/holding_sink.h"

#include <QComboBox>
#include <QScrollBar>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Button 24 is the third of the set here.
constexpr int kPreviewSlot = 2;
const fs::path kBlupi = "/usr/share/planetblupi/music";

using cantrel_test::HoldingSink;

struct NoteSpec {
  int start, pitch, duration;
};

// A note-mode track of the notes on the channel.
Midi1Track* NotesTrack(int channel, const std::vector<NoteSpec>& notes) {
  auto* track = new Midi1Track(kTrackNotes, 0x10000);
  int at = 0;
  for (const NoteSpec& n : notes) {
    auto* e = new MidiEvent(n.start - at);
    e->SetNote(channel, n.pitch, 90, n.duration);
    track->AddEvent(e);
    at = n.start;
  }
  track->AddEndOfTrack();
  return track;
}

// A format-1 file (480 ticks per quarter, 4/4 at the given tempo) of the tracks.
fs::path WriteSong(const fs::path& file, std::vector<Midi1Track*> tracks, int tempo = 500000) {
  Midi1Data song(480, 0x60000);
  auto* conductor = new Midi1Track(kTrackNotes, 0x1000);
  conductor->AddTempo(tempo);
  conductor->AddTimeSignature(4, 2);
  conductor->AddEndOfTrack();
  song.AddTrack(conductor);
  for (Midi1Track* t : tracks) song.AddTrack(t);
  EXPECT_EQ(song.SaveFile(file), 1);
  return file;
}

// A file of one track on `channel` holding a quarter note (pitch 60 + bar mod 12) at the start
// of each of `bars` bars.
fs::path WriteBars(const fs::path& file, int channel, int bars) {
  std::vector<NoteSpec> notes;
  for (int b = 0; b < bars; ++b) notes.push_back({1920 * b, 60 + b % 12, 480});
  return WriteSong(file, {NotesTrack(channel, notes)});
}

class ImportToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CStaffPicture::ResetState();
    CKnobPicture::ResetState();
    CButtonPicture::ResetState();
    recording = outputs.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&outputs);
    plat::InstallFileDialogs(&dialogs);
    config.midiOutDevice = 0;
  }
  void TearDown() override {
    tool.reset();
    WaitPlayThreadEnd(3000);
    buttons.reset();
    knob.reset();
    picture.reset();
    delete audition;
    plat::InstallFileDialogs(nullptr);
    plat::InstallMidiOutBackend(nullptr);
    CStaffPicture::ResetState();
    CKnobPicture::ResetState();
    CButtonPicture::ResetState();
  }
  // The panel with its rows, knob and buttons as the main window gives them.
  void Open(int scale = 100) {
    owner.scale = scale;
    tool = std::make_unique<CImportToolDlg>();
    tool->SetOwner(&owner);
    tool->SetLinks(&config, &playing, &audition, &picture_);
    tool->Create();
    picture = std::make_unique<CRhythmStaffPicture>(tool->rowHosts[0], plat::Rect{106, 5, 330, 101},
                                                    40, 83, nullptr, 960, 240, nullptr);
    for (int k = 1; k < 4; ++k)
      picture->AddRow(tool->rowHosts[k], plat::Rect{106 + 224 * k, 5, 330 + 224 * k, 101}, 40, 83, 960);
    for (int k = 0; k < 4; ++k) picture->SetClefVisible(k, 0);
    picture->AddRow(tool->headerHost, plat::Rect{10, 5, 106, 101}, 40, 83, 240);
    picture_ = picture.get();
    tool->SetFirstRow(0);
    knob = std::make_unique<CKnobPicture>(&knobParent, plat::Rect{0, 0, 36, 36}, 0, 100);
    const int top = scale == 100 ? 110 : 140;
    knob->AddKnob(tool->knobHost, plat::Rect{10, top, 46, top + 36}, 0, 100);
    buttons = std::make_unique<CButtonPicture>([](int) {}, [](int) {}, tool->buttonHosts[0],
                                               plat::Rect{900, 110, 988, 140}, "   閉じる", 168,
                                               167, 22);
    buttons->AddButton(tool->buttonHosts[1], plat::Rect{50, 110, 138, 140}, "   読込", 168, 167, 23);
    buttons->AddButton(tool->buttonHosts[2], plat::Rect{150, 110, 238, 140}, "   再生", 168, 167, 24);
    for (int b = 0; b < 3; ++b) tool->buttonHosts[b]->SetId(22 + b);
    tool->show();
  }
  // Reads the file through the worker and waits for the panel to take it.
  void Load(const fs::path& file) {
    ASSERT_TRUE(tool->StartParse(file));
    WaitParsed();
  }
  void WaitParsed() {
    QElapsedTimer clock;
    clock.start();
    while (tool->Parsing() && clock.elapsed() < 20000) QTest::qWait(5);
    ASSERT_FALSE(tool->Parsing());
  }
  // (start, pitch) of the notes shown in a row.
  std::vector<std::pair<int, int>> Shown(int row) const {
    std::vector<std::pair<int, int>> out;
    for (const StaffNote& n : picture->Notes(row))
      if (n.pitch >= 0) out.emplace_back(n.start, n.pitch);
    return out;
  }

  InfoOwner owner;
  ConfigData config{};
  std::atomic<int> playing{0};
  MidiOutDevice* audition = nullptr;
  CRhythmStaffPicture* picture_ = nullptr;
  plat::TestMidiOutBackend outputs;
  std::shared_ptr<plat::MidiRecording> recording;
  plat::ScriptedFileDialogs dialogs;
  QWidget parent;
  COffScreenControl knobParent{&parent};
  std::unique_ptr<CImportToolDlg> tool;
  std::unique_ptr<CRhythmStaffPicture> picture;
  std::unique_ptr<CKnobPicture> knob;
  std::unique_ptr<CButtonPicture> buttons;
};

TEST_F(ImportToolTest, ThePanelTakesItsSizeAndPlacesByScale) {
  struct Case {
    int scale, height, knobTop;
    QPoint list, bar;
  } cases[] = {{100, 182, 110, {280, 116}, {400, 116}}, {125, 220, 140, {250, 142}, {370, 140}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    tool.reset();
    picture.reset();
    knob.reset();
    buttons.reset();
    CStaffPicture::ResetState();
    CKnobPicture::ResetState();
    CButtonPicture::ResetState();
    Open(c.scale);
    EXPECT_EQ(tool->size(), QSize(1019, c.height));
    EXPECT_EQ(tool->knobHost->geometry().topLeft(), QPoint(10, c.knobTop));
    EXPECT_EQ(tool->channelList->pos(), c.list);
    EXPECT_EQ(tool->scrollBar->pos(), c.bar);
    ASSERT_EQ(tool->channelList->count(), 16);
    EXPECT_EQ(tool->channelList->itemText(0), "Channel 1");
    EXPECT_EQ(tool->channelList->itemText(15), "Channel 16");
    EXPECT_EQ(tool->channelList->currentIndex(), 0);
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(tool->rowHosts[k]->geometry(), QRect(106 + 224 * k, 5, 224, 96)) << k;
    EXPECT_EQ(tool->FirstBar(), 0);
    EXPECT_EQ(tool->BeatsPerBar(), 4);
  }
}

TEST_F(ImportToolTest, WhileAFileIsReadThePanelRestsAndTheKnobTurns) {
  Open();
  const fs::path good = WriteBars(cantrel_test::TempDir() / "good.mid", 0, 6);
  Load(good);
  ASSERT_NE(ImportToolSong, nullptr);
  Midi1Data* const before = ImportToolSong;
  const auto shown = Shown(0);
  ASSERT_FALSE(shown.empty());

  // A file that is no Standard MIDI File: its box holds the worker for as long as it is up.
  const fs::path bad = cantrel_test::TempDir() / "bad.mid";
  std::ofstream(bad) << "no MIDI here";
  HoldingSink holding;
  plat::InstallSink(&holding);
  ASSERT_TRUE(tool->StartParse(bad));
  EXPECT_FALSE(tool->StartParse(good)) << "one file at a time";
  ASSERT_TRUE(holding.WaitShown(5000));
  EXPECT_FALSE(tool->isEnabled());
  const double knobBefore = CKnobPicture::Value(CImportToolDlg::kKnob);
  bool answered = false;
  QTimer::singleShot(50, [&] { answered = true; });
  QTest::qWait(450);
  EXPECT_TRUE(answered) << "the UI thread goes on while the worker reads";
  EXPECT_GE(tool->KnobPosition(), 12) << "timer 101 turns the knob every 100 ms";
  EXPECT_GT(CKnobPicture::Value(CImportToolDlg::kKnob), knobBefore);
  EXPECT_TRUE(tool->Parsing());
  holding.Release();
  WaitParsed();
  plat::InstallSink(&cantrel_test::Sink());
  // The refused file leaves everything as it was, the panel enabled again.
  EXPECT_TRUE(tool->isEnabled());
  EXPECT_EQ(ImportToolSong, before);
  EXPECT_EQ(Shown(0), shown);
  const int position = tool->KnobPosition();
  QTest::qWait(250);
  EXPECT_EQ(tool->KnobPosition(), position) << "the knob rests after the read";
}

TEST_F(ImportToolTest, AClearWhileReadingDropsTheFileAndShutdownWaitsForTheWorker) {
  Open();
  const fs::path good = WriteBars(cantrel_test::TempDir() / "good.mid", 2, 6);
  // The worker may be done already: its song is taken only on the UI thread, after the clear.
  ASSERT_TRUE(tool->StartParse(good));
  tool->ClearImport();
  WaitParsed();
  EXPECT_EQ(ImportToolSong, nullptr);
  EXPECT_TRUE(tool->isEnabled());
  Load(good);
  EXPECT_NE(ImportToolSong, nullptr);

  // Closing while the worker waits on a box: the panel waits (serving the UI meanwhile) and
  // leaves no song behind.
  const fs::path bad = cantrel_test::TempDir() / "bad.mid";
  std::ofstream(bad) << "MThd";
  HoldingSink holding;
  plat::InstallSink(&holding);
  ASSERT_TRUE(tool->StartParse(bad));
  ASSERT_TRUE(holding.WaitShown(5000));
  QTimer::singleShot(100, [&] { holding.Release(); });
  tool.reset();
  plat::InstallSink(&cantrel_test::Sink());
  EXPECT_EQ(ImportToolSong, nullptr);
  // A shutdown right after the start.
  Open();
  ASSERT_TRUE(tool->StartParse(good));
  tool.reset();
  EXPECT_EQ(ImportToolSong, nullptr);
}

TEST_F(ImportToolTest, TheOpenDialogNamesTheFileAndItsCaption) {
  Open();
  const fs::path good = WriteBars(cantrel_test::TempDir() / "named.mid", 0, 2);
  dialogs.QueueFileCancel();
  tool->OpenSmfWithDialog();
  EXPECT_FALSE(tool->Parsing());
  dialogs.QueueFile(good);
  tool->OpenSmfWithDialog();
  const auto requests = dialogs.FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].default_extension, "mid");
  EXPECT_EQ(requests[1].filter, "SMF files|*.mid|");
  EXPECT_EQ(tool->windowTitle().toStdString(), good.string());
  WaitParsed();
  EXPECT_NE(ImportToolSong, nullptr);
  EXPECT_EQ(tool->ChosenPath(), good);
}

TEST_F(ImportToolTest, TheScrollRangeFollowsTheChannelsLength) {
  Open();
  EXPECT_EQ(tool->ScrollLimit(), 0) << "no song";
  struct Case {
    int channel, bars, limit;
  } cases[] = {{0, 10, 7}, {15, 10, 7}, {9, 4, 1}, {3, 2, 1}, {5, 25, 22}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channel << " " << c.bars);
    Load(WriteBars(cantrel_test::TempDir() / "bars.mid", c.channel, c.bars));
    tool->channelList->setCurrentIndex(c.channel);
    tool->OnChannelChanged();
    EXPECT_EQ(tool->ScrollLimit(), c.limit);
    EXPECT_EQ(tool->scrollBar->maximum(), c.limit);
    EXPECT_EQ(tool->scrollBar->minimum(), 0);
  }
  // A channel with no notes has the range of its empty track.
  tool->channelList->setCurrentIndex(1);
  tool->OnChannelChanged();
  EXPECT_EQ(tool->ScrollLimit(), 1);
}

TEST_F(ImportToolTest, ScrollingMovesTheShownBarsWithinTheRange) {
  Open();
  Load(WriteBars(cantrel_test::TempDir() / "bars.mid", 0, 10));
  ASSERT_EQ(tool->ScrollLimit(), 7);
  using C = CImportToolDlg;
  struct Case {
    int from, code, thumb, to;
  } cases[] = {{3, C::kLineLeft, 0, 2},       {3, C::kLineRight, 0, 4},  {3, C::kPageLeft, 0, 1},
               {3, C::kPageRight, 0, 5},      {3, C::kThumbPosition, 6, 6},
               {3, C::kThumbPosition, 99, 7}, {3, C::kFarLeft, 0, 0},    {3, C::kFarRight, 0, 7},
               {0, C::kLineLeft, 0, 0},       {7, C::kPageRight, 0, 7},  {3, C::kThumbTrack, 5, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " " << c.code);
    tool->OnScroll(C::kThumbPosition, c.from);
    tool->OnScroll(c.code, c.thumb);
    EXPECT_EQ(tool->FirstBar(), c.to);
    EXPECT_EQ(tool->scrollBar->value(), c.to);
    // Row k shows bar first + k: its note (pitch 60 + bar) at the bar's start; past the
    // channel's ten bars a row stays empty.
    for (int k = 0; k < 4; ++k) {
      const auto shown = Shown(k);
      if (c.to + k >= 10) {
        EXPECT_TRUE(shown.empty()) << k;
        continue;
      }
      ASSERT_FALSE(shown.empty()) << k;
      EXPECT_EQ(shown.front(), std::make_pair(0, 60 + (c.to + k) % 12)) << k;
    }
  }
  // The scroll bar's own buttons go the same way.
  tool->OnScroll(C::kFarLeft, 0);
  tool->scrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(tool->FirstBar(), 2);
  tool->scrollBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(tool->FirstBar(), 1);
}

// A bar of the song with the given slots per eighth (two slots: a pair of sixteenths).
void SetBar(CSongData* song, int bar, const std::vector<std::vector<int>>& eighths) {
  for (size_t e = 0; e < eighths.size(); ++e) {
    NoteCell cell{};
    cell.slot[0] = eighths[e][0];
    cell.slot[1] = eighths[e][1];
    cell.slot[2] = eighths[e].size() > 2 ? eighths[e][2] : NoteSlotVacant;
    song->SetCell(bar, static_cast<int>(e), cell);
  }
}

struct Written {
  int64_t tick;
  int pitch, velocity, duration, channel;
  bool operator==(const Written& o) const {
    return tick == o.tick && pitch == o.pitch && velocity == o.velocity &&
           duration == o.duration && channel == o.channel;
  }
};
std::ostream& operator<<(std::ostream& out, const Written& w) {
  return out << "{" << w.tick << " " << w.pitch << " " << w.velocity << " " << w.duration << " ch"
             << w.channel << "}";
}

std::vector<Written> NotesOf(const MidiTrack* track) {
  std::vector<Written> out;
  const std::vector<int64_t> ticks = track->EventTicks();
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->Event(i);
    if (e->status == kStatusNote) out.push_back({ticks[i], e->note, e->velocity, e->duration, e->channel});
  }
  return out;
}

TEST_F(ImportToolTest, ADroppedBarBecomesNotesOfTheChannel) {
  Open();
  auto song = MakeSong(4);
  const int H = NoteSlotHold, R = NoteSlotRest, X = NoteSlotRap;
  // Bar 0: sixteenths, a held eighth, a rest, a triplet, a rap note, then a held quarter.
  SetBar(song.get(), 0,
         {{60, 62}, {64, H}, {R, R}, {65, 67, 69}, {X, H}, {R, 71}, {H, H}, {H, H}});
  // Bar 1: one note over the whole bar.
  SetBar(song.get(), 1, {{72, H}, {H, H}, {H, H}, {H, H}, {H, H}, {H, H}, {H, H}, {H, H}});
  struct Case {
    int row, bar, channel;
    std::vector<Written> notes;  // in the target track
  } cases[] = {
      {0, 0, 0,
       {{0, 60, 127, 48, 0}, {60, 62, 127, 48, 0}, {120, 64, 127, 96, 0}, {360, 65, 127, 32, 0},
        {400, 67, 127, 32, 0}, {440, 69, 127, 32, 0}, {660, 71, 127, 240, 0}}},
      // Row 2 of the first view is bar 2; channel 16 has no track yet and takes its own.
      {2, 1, 15, {{1920, 72, 127, 768, 15}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channel);
    tool->channelList->setCurrentIndex(c.channel);
    tool->OnChannelChanged();
    ASSERT_TRUE(tool->WriteBarsToChannel(c.row, c.bar, song.get()));
    ASSERT_NE(ImportToolSong, nullptr);
    EXPECT_EQ(ImportToolSong->track_count, 17);
    EXPECT_EQ(ImportToolSong->division, 240);
    EXPECT_EQ(NotesOf(ImportToolSong->Track(c.channel + 1)), c.notes);
    EXPECT_FALSE(Shown(c.row).empty()) << "the row shows what was written";
  }
  // A second drop on the same bar replaces it; other bars keep theirs.
  tool->channelList->setCurrentIndex(0);
  tool->OnChannelChanged();
  ASSERT_TRUE(tool->WriteBarsToChannel(0, 1, song.get()));
  EXPECT_EQ(NotesOf(ImportToolSong->Track(1)), (std::vector<Written>{{0, 72, 127, 768, 0}}));
  // What lies outside the song or the rows writes nothing.
  Midi1Data* const kept = ImportToolSong;
  for (auto [row, bar] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 4}}) {
    EXPECT_FALSE(tool->WriteBarsToChannel(row, bar, song.get())) << row << " " << bar;
  }
  EXPECT_FALSE(tool->WriteBarsToChannel(0, 0, nullptr));
  EXPECT_EQ(ImportToolSong, kept);
  EXPECT_EQ(NotesOf(ImportToolSong->Track(1)), (std::vector<Written>{{0, 72, 127, 768, 0}}));
  // A clear takes the song and the shown notes away.
  tool->ClearImport();
  EXPECT_EQ(ImportToolSong, nullptr);
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(Shown(k).empty()) << k;
}

TEST_F(ImportToolTest, ThePreviewIsTheFourShownBarsOfTheChannel) {
  Open();
  // Channel 2 holds a note per bar over 12 bars; channel 0 sounds along.
  std::vector<Midi1Track*> tracks;
  for (int channel : {0, 2}) {
    std::vector<NoteSpec> notes;
    for (int b = 0; b < 12; ++b) notes.push_back({1920 * b, 50 + channel + b, 120});
    tracks.push_back(NotesTrack(channel, notes));
  }
  const fs::path file = WriteSong(cantrel_test::TempDir() / "preview.mid", tracks, 250000);
  Load(file);
  tool->channelList->setCurrentIndex(2);
  tool->OnChannelChanged();
  tool->OnScroll(CImportToolDlg::kThumbPosition, 5);

  auto preview = tool->MakePreviewSong();
  ASSERT_NE(preview, nullptr);
  ASSERT_NE(preview->track, nullptr);
  std::vector<std::pair<int64_t, int>> notes;
  const std::vector<int64_t> ticks = preview->track->EventTicks();
  for (int32_t i = 0; i < preview->track->event_count; ++i) {
    const MidiEvent* e = preview->track->Event(i);
    if (e->status == kStatusNote) {
      EXPECT_EQ(e->channel, 2);
      notes.emplace_back(ticks[i], e->note);
    }
  }
  EXPECT_EQ(notes, (std::vector<std::pair<int64_t, int>>{{0, 57}, {960, 58}, {1920, 59}, {2880, 60}}));

  // Played on the settings' device in place of the audition device, only channel 2 is heard.
  audition = new MidiOutDevice(0);
  tool->TogglePreview();
  EXPECT_TRUE(tool->Previewing());
  EXPECT_EQ(playing.load(), 1);
  EXPECT_EQ(audition, nullptr) << "the audition device is closed for the preview";
  EXPECT_EQ(CButtonPicture::Caption(kPreviewSlot), "    STOP");
  ASSERT_TRUE(recording->WaitForCount(4, std::chrono::milliseconds(5000)));
  tool->TogglePreview();
  EXPECT_FALSE(tool->Previewing());
  EXPECT_EQ(playing.load(), 0);
  EXPECT_EQ(CButtonPicture::Caption(kPreviewSlot), "    PLAY");
  EXPECT_TRUE(WaitPlayThreadEnd(3000));
  std::vector<int> pitches;
  for (const auto& bytes : recording->Bytes()) {
    if (bytes.empty() || bytes[0] < 0x80 || bytes[0] >= 0xF0) continue;
    EXPECT_EQ(bytes[0] & 0x0F, 2) << std::hex << int(bytes[0]);
    if ((bytes[0] & 0xF0) == 0x90 && bytes.size() > 2 && bytes[2] > 0) pitches.push_back(bytes[1]);
  }
  ASSERT_FALSE(pitches.empty());
  for (int p : pitches) EXPECT_TRUE(p >= 57 && p <= 60) << p;

  // While the main window plays its own song the button does nothing; so it does without a song.
  playing = 1;
  tool->TogglePreview();
  EXPECT_FALSE(tool->Previewing());
  EXPECT_EQ(playing.load(), 1);
  playing = 0;
  tool->ClearImport();
  tool->TogglePreview();
  EXPECT_FALSE(tool->Previewing());
  EXPECT_EQ(playing.load(), 0);
}

TEST_F(ImportToolTest, APreviewPlayedToItsEndGivesTheButtonBack) {
  Open();
  Load(WriteBars(cantrel_test::TempDir() / "short.mid", 0, 1));
  tool->TogglePreview();
  ASSERT_TRUE(tool->Previewing());
  QElapsedTimer clock;
  clock.start();
  while (tool->Previewing() && clock.elapsed() < 10000) QTest::qWait(20);
  EXPECT_FALSE(tool->Previewing());
  EXPECT_EQ(playing.load(), 0);
  EXPECT_EQ(CButtonPicture::Caption(kPreviewSlot), "    PLAY");
}

TEST_F(ImportToolTest, TheMetreShowsOnTheHeaderAndSetsTheBarLength) {
  Open();
  Load(WriteBars(cantrel_test::TempDir() / "bars.mid", 0, 10));
  tool->SetBeatsPerBar(3);
  EXPECT_EQ(tool->BeatsPerBar(), 3);
  // The channel ends with its last note at tick 8880: 13 bars of 3/4 (the last one partly).
  EXPECT_EQ(tool->ScrollLimit(), 10);
  // The second note (tick 960) lies in the second bar of 3/4, a beat after its start.
  const auto shown = Shown(1);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), std::make_pair(240, 61));
}

// Every note start mido reads in the file, by channel, bar (of 4/4 at 240 ticks per quarter) and
// tick within the bar.
using Starts = std::map<int, std::map<int64_t, std::vector<int>>>;
bool MidoStarts(const fs::path& file, Starts* out) {
  int division = 0;
  std::vector<std::string> lines;
  if (!cantrel_test::MidoEventLines(file, &division, &lines) || division <= 0) return false;
  for (const std::string& line : lines) {
    if (line.rfind("note ", 0) != 0) continue;
    std::istringstream in(line.substr(5));
    int channel, pitch, velocity, length;
    int64_t tick;
    in >> channel >> tick >> pitch >> velocity >> length;
    const int64_t at = tick * 240 / division;
    (*out)[channel][at / 960].push_back(static_cast<int>(at % 960));
  }
  return true;
}

TEST_F(ImportToolTest, EveryPlanetblupiChannelShowsMidosNoteStartsBarByBar) {
  CANTREL_NEED(fs::exists(kBlupi / "music000.mid"), "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  Open();
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kBlupi))
    if (entry.path().extension() == ".mid") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    Starts want;
    ASSERT_TRUE(MidoStarts(file, &want));
    Load(file);
    ASSERT_NE(ImportToolSong, nullptr);
    for (int channel = 0; channel < 16; ++channel) {
      SCOPED_TRACE(channel);
      tool->channelList->setCurrentIndex(channel);
      tool->OnChannelChanged();
      EXPECT_LE(tool->FirstBar(), tool->ScrollLimit());
      std::map<int64_t, std::vector<int>> got;
      const int limit = tool->ScrollLimit();
      int64_t seen = -1;  // the last bar read
      for (int first = 0;; first = std::min(first + 4, limit)) {
        tool->OnScroll(CImportToolDlg::kThumbPosition, first);
        ASSERT_EQ(tool->FirstBar(), first);
        // A note tied over a bar line goes on at the next bar's start, and a value of five
        // eighths is drawn as two tied pieces (an eighth or a half apart): such a piece is no
        // start of its own.
        std::multimap<int, std::pair<int, int>> tied;  // pitch: cell and start of a tied piece
        for (int k = 0; k < 4; ++k) {
          std::vector<StaffNote> notes;
          for (const StaffNote& n : picture->Notes(k))
            if (n.pitch >= 0) notes.push_back(n);
          std::stable_sort(notes.begin(), notes.end(),
                           [](const StaffNote& a, const StaffNote& b) { return a.start < b.start; });
          for (const StaffNote& n : notes) {
            bool continuing = false;
            auto [from, to] = tied.equal_range(n.pitch);
            for (auto t = from; t != to; ++t) {
              const auto [cell, start] = t->second;
              if ((cell == k - 1 && n.start == 0) ||
                  (cell == k && (n.start - start == 120 || n.start - start == 480))) {
                continuing = true;
                tied.erase(t);
                break;
              }
            }
            if (n.tie != 0) tied.emplace(n.pitch, std::make_pair(k, n.start));
            if (continuing || first + k <= seen) continue;
            got[first + k].push_back(n.start);
          }
        }
        seen = first + 3;
        if (first == limit) break;
      }
      std::map<int64_t, std::vector<int>> expected = want[channel];
      // Onsets as ticks of the bar (a note struck again where a tied one goes on shares them).
      for (auto* side : {&expected, &got}) {
        for (auto& [bar, starts] : *side) {
          std::sort(starts.begin(), starts.end());
          starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        }
      }
      EXPECT_EQ(got, expected);
      if (got != expected) {
        for (const auto& [bar, starts] : expected) {
          if (got[bar] != starts) {
            ADD_FAILURE() << "first differing bar " << bar << ": " << got[bar].size()
                          << " starts shown, mido " << starts.size();
            break;
          }
        }
      }
    }
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

}  // namespace
