// Playing, auditioning and the MIDI devices of the main window.
#include "tests/app/window/window_fixture.h"

#include "app/compose_worker.h"

#include "draw/counter_picture.h"
#include "draw/staff_picture.h"
#include "engine/engine_state.h"
#include "music/midi0_data.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "platform/core/files.h"
#include "util/registry.h"

#include <QElapsedTimer>

#include "platform/core/timer_thread.h"

#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

// A format-0 file at 96 ticks per quarter: GM System On, a fast tempo and one note per beat over
// `beats` beats.
void WriteSong(const fs::path& path, int beats, int quarterMicros = 60000) {
  std::vector<uint8_t> track = {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,
                                0x00, 0xFF, 0x51, 0x03,
                                static_cast<uint8_t>(quarterMicros >> 16),
                                static_cast<uint8_t>(quarterMicros >> 8),
                                static_cast<uint8_t>(quarterMicros)};
  // Each beat: a note-on, 48 ticks later its note-off, 48 ticks to the next beat.
  for (int b = 0; b < beats; ++b) {
    const uint8_t note = static_cast<uint8_t>(60 + b % 12);
    const uint8_t events[] = {static_cast<uint8_t>(b == 0 ? 0 : 48), 0x90, note, 100, 48, 0x80,
                              note, 0};
    track.insert(track.end(), events, events + sizeof events);
  }
  const uint8_t end[] = {48, 0xFF, 0x2F, 0x00};
  track.insert(track.end(), end, end + 4);
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                               'M', 'T', 'r', 'k'};
  const uint32_t n = static_cast<uint32_t>(track.size());
  for (int shift : {24, 16, 8, 0}) file.push_back(static_cast<uint8_t>(n >> shift));
  file.insert(file.end(), track.begin(), track.end());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
}

class PlayTest : public WindowTest {
 protected:
  void TearDown() override {
    if (g_playingSong) g_playingSong->StopPlay();
    WaitPlayThreadEnd(5000);
    delete g_playingSong;
    g_playingSong = nullptr;
    SkipBeats().beats.clear();
    WindowTest::TearDown();
  }
  void WaitForEnd() {
    window_test::PumpUntil([&]() { return g_isPlaying.load() == 0; });
  }
};

TEST_F(PlayTest, AuditionsEndTheNoteThatSounds) {
  Start();
  ASSERT_NE(g_auditionDevice, nullptr);
  recording->Clear();
  dlg->config.inputVelocity = 77;
  dlg->melodyFields.pitch = 60;
  dlg->AuditionPanelNote();
  dlg->melodyFields.pitch = 64;
  dlg->AuditionPanelNote();
  // The panel's note changes before the timer ends the audition: the sounding note ends.
  dlg->melodyFields.pitch = 67;
  window_test::PumpUntil([&]() { return dlg->auditionNote == -1; });
  const std::vector<std::vector<uint8_t>> expected = {
      {0x90, 60, 77}, {0x80, 60, 0}, {0x90, 64, 77}, {0x80, 64, 0}};
  std::vector<std::vector<uint8_t>> got;
  for (const auto& n : Notes()) got.push_back({static_cast<uint8_t>(n[0] & 0xF0), n[1], n[2]});
  EXPECT_EQ(got, expected);
  // A rest is not sounded.
  recording->Clear();
  dlg->melodyFields.pitch = -1;
  dlg->AuditionPanelNote();
  EXPECT_TRUE(Notes().empty());
}

TEST_F(PlayTest, OutputDevicesAreFoundByName) {
  backend.AddRecordingDevice("Second synthesizer with a name longer than its field");
  backend.AddRecordingDevice("Third");
  Start();
  struct Case {
    int device;
    std::string stored;
    int found;
  } cases[] = {
      {2, "Third", 2},
      {1, "Third", 2},   // renumbered: the name finds it
      {1, "Fourth", -1}, // gone: the default device
      {0, std::string("Second synthesizer with a name longer than its field").substr(0, 31), 1},
      {0, "Second", -1},  // a short name must match whole
  };
  for (const Case& c : cases) {
    dlg->config.midiOutDevice = static_cast<int16_t>(c.device);
    std::memset(dlg->config.midiOutName, 0, sizeof dlg->config.midiOutName);
    std::memcpy(dlg->config.midiOutName, c.stored.data(), c.stored.size());
    dlg->OpenMidiOut();
    EXPECT_EQ(dlg->config.midiOutDevice, c.found) << c.stored;
    EXPECT_NE(g_auditionDevice, nullptr);
  }
}

TEST_F(PlayTest, ADeviceThatDoesNotOpenIsToldOncePerChoiceAndPlaysSilently) {
  Start();
  backend.SetOpenFailure(0, plat::kMidiAllocated);
  dlg->OpenMidiOut();
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u) << "nothing is told before a note should sound";
  dlg->melodyFields.pitch = 60;
  for (int i = 0; i < 3; ++i) {
    dlg->CloseAuditionDevice();
    dlg->AuditionPanelNote();
  }
  Pump();
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // A song still plays, on a silent device, to its end; then the exit works.
  const fs::path file = dlg->userDataFolder / "temp.tmp";
  WriteSong(file, 4);
  dlg->StartPlayback(file);
  EXPECT_EQ(g_isPlaying.load(), 1);
  WaitForEnd();
  EXPECT_EQ(g_isPlaying.load(), 0);
  Pump();
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  // A new choice of device tells again.
  dlg->OpenMidiOut();
  dlg->AuditionPanelNote();
  Pump();
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST_F(PlayTest, PlayingFollowsTheMusicAndEnds) {
  Start();
  dlg->song->Reset(8, 4, 0, 1);
  const fs::path file = dlg->userDataFolder / "temp.tmp";
  WriteSong(file, 12);  // three bars
  recording->Clear();
  std::vector<int> counter;
  // The player's timer runs on a clock the test steps, one event after another.
  plat::ManualTimerClock clock;
  plat::InstallTimerClock(&clock);
  const QImage idleButton = dlg->toolbarControls[8]->Shown();
  dlg->SetPlayCaption(0);
  dlg->StartPlayback(file);
  ASSERT_EQ(g_isPlaying.load(), 1);
  EXPECT_NE(dlg->toolbarControls[8]->Shown(), idleButton) << "the play button says stop";
  EXPECT_EQ(g_auditionDevice, nullptr) << "the player has its own device";
  int last = -2;
  for (int step = 0; step < 200 && g_isPlaying.load() == 1; ++step) {
    clock.Step(std::chrono::milliseconds(2000));
    window_test::PumpUntil([&]() { return true; });
    Pump();
    if (dlg->playMarkerBar != last) {
      last = dlg->playMarkerBar;
      counter.push_back(CCounterPicture::GetValue(0));
    }
  }
  window_test::PumpUntil([&]() { return g_isPlaying.load() == 0; });
  plat::InstallTimerClock(nullptr);
  EXPECT_EQ(g_isPlaying.load(), 0);
  // The end shows the play button's own caption again, with no press to redraw it.
  EXPECT_EQ(dlg->toolbarControls[8]->Shown(), idleButton);
  // Bars 1 to 3, then the end of the song.
  ASSERT_GE(counter.size(), 3u);
  EXPECT_EQ(counter.front(), 1);
  EXPECT_TRUE(std::find(counter.begin(), counter.end(), 3) != counter.end());
  EXPECT_TRUE(std::is_sorted(counter.begin(), counter.end()));
  // The song's GM System On was taken out and the player sent none of its own.
  for (const auto& b : recording->Bytes()) EXPECT_NE(b[0], 0xF0);
  EXPECT_EQ(PlayerSettings().send_gm_on_at_prepare.load(), 0);
  // The next play without the setting sends it again.
  dlg->config.sendExclusive = 0;
  dlg->StartPlayback(file);
  EXPECT_EQ(PlayerSettings().send_gm_on_at_prepare.load(), 1);
  dlg->TogglePlay();
  EXPECT_EQ(g_isPlaying.load(), 0);
  EXPECT_EQ(g_playingSong, nullptr);
}

// Turns the arranging worker's completion into a failed one, whenever it comes: the worker
// runs for real, and the window learns that it wrote nothing.
class FailTheArrangement : public QObject {
 public:
  explicit FailTheArrangement(QObject* window) : window_(window) { window->installEventFilter(this); }
  bool eventFilter(QObject* target, QEvent* event) override {
    const plat::AppMessage* m = plat::IsAppMessage(event);
    if (target != window_ || !m || m->message != kMsgPlayComposed) return false;
    if (m->wparam == 0) {
      ++completions;
      return false;
    }
    plat::PostAppMessage(window_, kMsgPlayComposed, 0);
    return true;
  }
  int completions = 0;  // arrangements the window was told the end of

 private:
  QObject* window_;
};

TEST_F(PlayTest, OnlyWhatThisRequestWroteIsPlayed) {
  Start();
  const fs::path file = dlg->userDataFolder / "temp.tmp";
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  ASSERT_TRUE(plat::WriteFileAtomic(file, old));
  FailTheArrangement failing(dlg.get());
  dlg->TogglePlay();
  EXPECT_TRUE(ComposeWorkerRunning());
  // The worker may already have written its own file; the old one is gone either way.
  std::vector<uint8_t> now;
  EXPECT_FALSE(fs::exists(file) && plat::ReadWholeFile(file, now) && now == old)
      << "an old arrangement is not played";
  // A second toggle while the song is arranged starts nothing: the window has not yet taken
  // the worker's completion, however far the worker is.
  const int beeps = dlg->beepCount;
  dlg->TogglePlay();
  EXPECT_EQ(dlg->beepCount, beeps + 1);
  // The arrangement failed: nothing plays, even a file the worker left, and the next request
  // may start.
  window_test::PumpUntil([] { return !ComposeWorkerRunning(); }, 60000);
  ASSERT_FALSE(ComposeWorkerRunning());
  Pump();
  EXPECT_EQ(g_isPlaying.load(), 0);
  EXPECT_EQ(g_playingSong, nullptr);
  EXPECT_EQ(failing.completions, 1) << "the second toggle arranged nothing";
  dlg->TogglePlay();
  EXPECT_TRUE(ComposeWorkerRunning());
}

TEST_F(PlayTest, TheMarkerStepsOverSkippedBeats) {
  Start();
  dlg->song->Reset(8, 4, 0, 1);
  SkipBeats().beats = {4, 5, 6, 7};  // bar 1 is left out of the arranged song
  // The player's reports, by hand.
  g_isPlaying = 1;
  dlg->BeginPlayPositions();
  auto at = [&](int tick) {
    CBrevantDlg::OnPlayPosition(dlg.get(), tick);
    Pump();
    return dlg->playMarkerBar;
  };
  EXPECT_EQ(at(0), 0);
  EXPECT_EQ(at(380), 0);
  // One skipped beat is caught up per event.
  EXPECT_EQ(at(384), 1);
  at(390);
  at(400);
  EXPECT_EQ(at(410), 2);
  EXPECT_EQ(at(500), 2);
  g_isPlaying = 0;
}

TEST_F(PlayTest, TheMarkerIsDrawnOnThePageOnlyAndTheCounterAlwaysFollows) {
  Start();
  dlg->song->Reset(64, 4, 0, 1);
  g_isPlaying = 1;
  dlg->playFirstBar = 2;
  dlg->MovePlayMarker(0);
  EXPECT_EQ(dlg->playMarkerBar, 2);
  EXPECT_EQ(g_scorePicture->HighlightCount(2), 1);
  dlg->MovePlayMarker(100);  // the same bar: nothing new
  EXPECT_EQ(g_scorePicture->HighlightCount(2), 1);
  dlg->MovePlayMarker(384 * 40);
  EXPECT_EQ(dlg->playMarkerBar, 42);
  EXPECT_EQ(CCounterPicture::GetValue(0), 43);
  EXPECT_EQ(g_scorePicture->HighlightCount(2), 2) << "the old bar is painted white";
  g_isPlaying = 0;
}

TEST_F(PlayTest, KeyboardNotesComeFromTheFirstChannelsNoteOns) {
  inputs.AddPort("Keyboard A");
  inputs.AddPort("Keyboard B");
  // The stored name finds its port wherever it now is.
  GneRegistrySet("MidiIn", "Name", "Keyboard B");
  Start();
  ASSERT_EQ(inputs.OpenCount(), 1);
  dlg->SetNoteCursor(0, 0, 0);
  // Each message in turn from the port's own thread; the melody panel takes the note-ons of the
  // first channel (a velocity of 0 ends a note).
  struct Step {
    uint32_t message;
    int pitch;
  };
  for (const Step& s : std::vector<Step>{{0x403C90u, 60}, {0x003E90u, 60}, {0x403C80u, 60},
                                         {0x404091u, 60}, {0x40C0B0u, 60}, {0x7F4390u, 67}}) {
    std::thread sender([&]() { inputs.Feed(1, s.message); });
    sender.join();
    window_test::PumpUntil([&]() { return dlg->melodyFields.pitch == s.pitch; });
    Pump();
    EXPECT_EQ(dlg->melodyFields.pitch, s.pitch) << std::hex << s.message;
  }
  EXPECT_EQ(dlg->song->GetSlotValue(0, 0, false), 67);
  // While a song plays the keyboard is not heard.
  g_isPlaying = 1;
  inputs.Feed(1, 0x403C90u);
  Pump();
  EXPECT_EQ(dlg->melodyFields.pitch, 67);
  g_isPlaying = 0;
}

TEST_F(PlayTest, MidiInputOpensByIndexAndKeepsThePortsName) {
  inputs.AddPort("Only keyboard");
  Start();
  EXPECT_EQ(inputs.OpenCount(), 1);
  std::string name;
  ASSERT_TRUE(GneRegistryGet("MidiIn", "Name", name));
  EXPECT_EQ(name, "Only keyboard");
  dlg->CloseMidiDevices();
  EXPECT_EQ(g_auditionDevice, nullptr);
  const int before = dlg->melodyFields.pitch;
  inputs.Feed(0, 0x403C90u);
  Pump();
  EXPECT_EQ(dlg->melodyFields.pitch, before);
}

}  // namespace
