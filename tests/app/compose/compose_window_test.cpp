// The main window while the worker arranges and exports: the export button, the proposed file
// name, progress on the knob and busy notes, a window that stays responsive, refusals, and the
// completion that gives the window back.
// The song builder comes before Qt, whose keyword macros clash with its names.
#include "tests/arrange/render/render_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTimer>

#include <cstdlib>
#include <fstream>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/compose_worker.h"
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "app/page_geometry.h"
#include "dialogs/print_menus.h"
#include "draw/offscreen_control.h"
#include "dialogs/qr_dialog.h"
#include "export/media_export.h"
#include "music/midi_out_device.h"
#include "platform/core/encoding.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/audio_render.h"
#include "platform/core/folders.h"
#include "platform/core/midi_devices.h"
#include "platform/qt/ui_timer.h"
#include "tests/app/compose/compose_fixture.h"
#include "tests/engine/door_holder.h"
#include "tests/app/window/window_test_util.h"
#include "style/style_table.h"
#include "tests/support/stub_http_server.h"
#include "tests/support/test_support.h"
#include "util/registry.h"
#include "util/gne.h"

namespace {

namespace fs = std::filesystem;
using compose_test::Folder;
using compose_test::Names;

class ComposeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMainGlobals();
    SetScreenSizeOverride(1280, 1024);
    plat::InstallFileDialogs(&dialogs_);
    log_ = backend_.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&backend_);
    dlg_ = std::make_unique<CBrevantDlg>();
    dlg_->show();
    Pump([&] { return dlg_->isReady == 1; }, 5000);
    ASSERT_EQ(dlg_->isReady, 1);
    dlg_->song = render_test::MakeSong(compose_test::SungSong());
    dlg_->song->style = StyleTableSlot(0, 1);
    delete g_auditionDevice;  // the one the window opened
    g_auditionDevice = new MidiOutDevice(0);
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    dlg_.reset();
    delete g_auditionDevice;
    g_auditionDevice = nullptr;
    plat::InstallMidiOutBackend(nullptr);
    plat::InstallFileDialogs(nullptr);
    SetScreenSizeOverride(0, 0);
    ResetMainGlobals();
  }
  // Runs the event loop until `done` holds or the time is up.
  template <typename Pred>
  static void Pump(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  // The external menu's export choice, from the window's button.
  void ExportFromMenu() {
    window_test::WhenShown<CMidiDlg>([](CMidiDlg* menu) { menu->OnButton(1); });
    dlg_->DispatchButtonCommand(4);
  }
  // Busy notes: note-ons on channel 0.
  std::vector<int> BusyNotes() const {
    std::vector<int> notes;
    for (const auto& b : log_->Bytes())
      if (b.size() == 3 && b[0] == 0x90 && b[2] > 0) notes.push_back(b[1]);
    return notes;
  }

  plat::ScriptedFileDialogs dialogs_;
  plat::TestMidiOutBackend backend_;
  std::shared_ptr<plat::MidiRecording> log_;
  std::unique_ptr<CBrevantDlg> dlg_;
};

TEST_F(ComposeWindowTest, ExportButtonWritesTheChosenFileWhileTheWindowStaysResponsive) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont");
  const fs::path out = Folder() / "out" / "song.wav";
  fs::create_directories(out.parent_path());
  dialogs_.QueueFile(out, 2);
  ExportFromMenu();
  ASSERT_TRUE(ComposeWorkerRunning());
  EXPECT_FALSE(dlg_->isEnabled());
  EXPECT_TRUE(dlg_->Timers()->IsRunning(102));

  // A second request while the first one works is refused with a beep.
  const int beeps = dlg_->beepCount;
  EXPECT_EQ(dlg_->StartComposeThread(Folder() / "other.mid", dlg_->song.get(), kMsgExportComposed),
            0);
  EXPECT_EQ(dlg_->beepCount, beeps + 1);

  // The window's own timers keep running while the worker works.
  int ticks = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
  heartbeat.start(20);
  QElapsedTimer clock;
  clock.start();
  bool done = false;
  std::set<qint64> knobs;  // the pictures the knob's control showed while the worker worked
  Pump(
      [&] {
        done = dlg_->isEnabled();
        if (!done) knobs.insert(dlg_->knobControl->Shown().cacheKey());
        return done;
      },
      120000);
  ASSERT_TRUE(done) << "the completion message never came";
  const qint64 elapsed = clock.elapsed();
  EXPECT_GE(ticks, static_cast<int>(elapsed / 20 / 4)) << "ticks " << ticks << " in " << elapsed;

  EXPECT_FALSE(ComposeWorkerRunning());
  EXPECT_TRUE(dlg_->lastComposeWritten);
  EXPECT_FALSE(dlg_->Timers()->IsRunning(102));
  EXPECT_EQ(Names(out.parent_path()), std::set<std::string>{"song.wav"});
  EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
  // Progress: the knob moved two a step, and every twelfth step sounded a busy note.
  EXPECT_GT(dlg_->knobValue, 0);
  EXPECT_EQ(dlg_->knobValue % 2, 0);
  // Each step reached the screen, not only the knob's picture.
  EXPECT_GE(knobs.size(), 2u);
  const std::vector<int> notes = BusyNotes();
  EXPECT_EQ(static_cast<int>(notes.size()), dlg_->knobValue / 24);
  for (int n : notes) {
    EXPECT_GE(n, 48);
    EXPECT_LE(n, 60);
  }
  // The file dialog proposed the song's name and the style's, as a MIDI file.
  ASSERT_EQ(dialogs_.FileRequests().size(), 1u);
  EXPECT_EQ(dialogs_.FileRequests()[0].default_extension, "mid");
  EXPECT_EQ(dialogs_.FileRequests()[0].filter, "midi files|*.mid|wave files|*.wav|mp3 files|*.mp3|");
}

// The melody as the song's cells hold it: (tick, pitch) of every sounded slot, at `division`
// ticks a quarter. An eighth's cell holds two sixteenths, or three when it is split in three.
std::vector<std::pair<int64_t, int>> CellNotes(const CSongData& song, int division) {
  std::vector<std::pair<int64_t, int>> notes;
  const int cells = song.bar_count * song.beats_per_bar * 2;
  for (int c = 0; c < cells; ++c) {
    const NoteCell& cell = song.cells[c];
    const int parts = cell.slot[2] == NoteSlotVacant ? 2 : 3;
    for (int s = 0; s < parts; ++s) {
      if (cell.slot[s] >= 0)
        notes.emplace_back(int64_t{c} * division / 2 + int64_t{s} * division / (2 * parts),
                           cell.slot[s]);
    }
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

// The melody mido reads on the sung (1) and played (15) melody channels.
std::vector<std::pair<int64_t, int>> MelodyNotes(const std::vector<std::string>& lines) {
  std::vector<std::pair<int64_t, int>> notes;
  for (const std::string& line : lines) {
    int channel = 0, pitch = 0, velocity = 0, length = 0;
    long long tick = 0;
    if (std::sscanf(line.c_str(), "note %d %lld %d %d %d", &channel, &tick, &pitch, &velocity,
                    &length) == 5 &&
        (channel == 1 || channel == 15))
      notes.emplace_back(tick, pitch);
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

// A built-in style with its melody played as written: no ornament, effect or octave shift.
StyleRecord PlainMelodyStyle() {
  StyleRecord style = StyleTableSlot(0, 1);
  style.parts[1].ornament = 0;
  style.parts[1].effect = 0;
  style.octave[1] = 0;
  style.part15_octave = 0;
  return style;
}

TEST_F(ComposeWindowTest, BarsComposedFromTheBarMenuAreTheMelodyOfTheExportedFile) {
  CANTREL_NEED_MIDO();
  const StyleRecord style = PlainMelodyStyle();
  dlg_->config.leadInBars = 0;
  dlg_->tempoSpin->setValue(96);

  // Composes bars 0-7 one by one from the bar menu and exports them as MIDI.
  auto make = [&](uint32_t seed, const fs::path& out) {
    dlg_->song->Reset(8, 4, 0, 1);
    dlg_->song->style = style;
    GneSeedRandomWith(seed);
    for (int bar = 0; bar < 8; ++bar) dlg_->OnBarMenuCommand(266, bar);
    dialogs_.QueueFile(out, 1);
    ExportFromMenu();
    Pump([&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); }, 120000);
    ASSERT_FALSE(ComposeWorkerRunning()) << "the completion message never came";
    ASSERT_TRUE(dlg_->lastComposeWritten);
  };

  for (uint32_t seed : {5u, 61u, 903u}) {
    SCOPED_TRACE(seed);
    const fs::path first = Folder() / ("first" + std::to_string(seed) + ".mid");
    make(seed, first);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(dlg_->song->bar_count, 8);
    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(first, &division, &lines));
    const std::vector<std::pair<int64_t, int>> cells = CellNotes(*dlg_->song, division);
    ASSERT_FALSE(cells.empty());
    EXPECT_EQ(MelodyNotes(lines), cells) << ::testing::PrintToString(lines);
    // At the song's tempo: 96 a minute.
    const auto tempo = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
      return l.rfind("tempo ", 0) == 0;
    });
    ASSERT_NE(tempo, lines.end());
    EXPECT_EQ(*tempo, "tempo 0 625000");

    // The same seed gives the same song, byte for byte.
    const std::vector<uint8_t> image = dlg_->song->SerializeToVector();
    const fs::path again = Folder() / ("again" + std::to_string(seed) + ".mid");
    make(seed, again);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(dlg_->song->SerializeToVector(), image);
    EXPECT_EQ(compose_test::ReadBytes(again), compose_test::ReadBytes(first));
  }
}

// The worker renders on a copy of the song's style; the riff its riff pattern made goes back
// into the song's style, so that an export with the fixed riff plays it again.
TEST_F(ComposeWindowTest, TheRiffOfARenderingIsKeptInTheSongsStyle) {
  std::memset(dlg_->song->style.riff, 0, sizeof dlg_->song->style.riff);
  dlg_->song->style.accompaniment = 40;
  dlg_->config.leadInBars = 0;
  auto run = [&](const fs::path& out) {
    dialogs_.QueueFile(out, 1);
    ExportFromMenu();
    Pump([&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); }, 120000);
    ASSERT_FALSE(ComposeWorkerRunning()) << "the completion message never came";
    ASSERT_TRUE(dlg_->lastComposeWritten);
  };
  run(Folder() / "made.mid");
  ASSERT_FALSE(HasFatalFailure());
  uint8_t riff[sizeof StyleRecord::riff];
  std::memcpy(riff, dlg_->song->style.riff, sizeof riff);
  EXPECT_GT(riff[0], 0) << "no riff kept";

  dlg_->song->style.accompaniment = 41;
  run(Folder() / "fixed.mid");
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(std::memcmp(dlg_->song->style.riff, riff, sizeof riff), 0);
}

// In the running program a melodic bass (pattern 7) ends the song on one plain note: the last
// chord's bass, as long as the bar less 5 ticks, at velocity 59. Each export draws a new seed.
TEST_F(ComposeWindowTest, AMelodicBassEndsTheSongOnOneLongNote) {
  CANTREL_NEED_MIDO();
  const StyleRecord* melodic = nullptr;
  for (int category = 0; category < kStyleCategoryCount && !melodic; ++category) {
    for (int slot = 1; slot < kStyleSlotCount && !melodic; ++slot) {
      const StyleRecord* r = FindStyleSlot(category, slot);
      if (r && r->name[0] && r->bass_pattern == 7 && r->instrument[2] != 256) melodic = r;
    }
  }
  ASSERT_NE(melodic, nullptr) << "no built-in style plays the melodic bass";
  dlg_->song->style = *melodic;
  dlg_->config.leadInBars = 0;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const fs::path out = Folder() / ("melodic" + std::to_string(round) + ".mid");
    ASSERT_EQ(dlg_->StartComposeThread(out, dlg_->song.get(), kMsgExportComposed), 1);
    Pump([&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); }, 120000);
    ASSERT_FALSE(ComposeWorkerRunning()) << "the completion message never came";
    ASSERT_TRUE(dlg_->lastComposeWritten);
    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(out, &division, &lines));
    // The bass notes (channel 2) that start in the song's last bar, the G bar.
    const long long lastBar = 4LL * division;
    std::vector<std::array<long long, 3>> ending;  // pitch, velocity, length
    for (const std::string& line : lines) {
      int channel = 0, pitch = 0, velocity = 0;
      long long tick = 0, length = 0;
      if (std::sscanf(line.c_str(), "note %d %lld %d %d %lld", &channel, &tick, &pitch, &velocity,
                      &length) == 5 &&
          channel == 2 && tick >= lastBar)
        ending.push_back({pitch, velocity, length});
    }
    ASSERT_EQ(ending.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_EQ(ending[0][0] % 12, 7);
    EXPECT_EQ(ending[0][1], 59);
    EXPECT_EQ(ending[0][2], lastBar - 5LL * division / 96);
  }
}

// Without a General MIDI sound font a WAV export says what to install, and writes nothing.
TEST_F(ComposeWindowTest, AnAudioExportWithoutASoundFontNamesThePackage) {
  struct NoSoundFont : media::MediaLibrary {
    bool Start() override { return false; }
    void Stop() override {}
    bool OpenMovie(const fs::path&, media::Movie*) override { return false; }
    bool ConvertMovieToFile(const media::Movie&, const fs::path&, media::MovieFileType,
                            std::string*) override {
      return false;
    }
    void DisposeMovie(media::Movie*) override {}
  } none;
  media::InstallLibrary(&none);
  struct Restore {
    ~Restore() { media::InstallLibrary(nullptr); }
  } restore;
  dlg_->config.leadInBars = 0;
  const fs::path out = Folder() / "silent" / "song.wav";
  fs::create_directories(out.parent_path());
  dialogs_.QueueFile(out, 2);
  ExportFromMenu();
  Pump([&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); }, 120000);
  ASSERT_FALSE(ComposeWorkerRunning()) << "the completion message never came";
  EXPECT_FALSE(dlg_->lastComposeWritten);
  const std::vector<std::string> texts = cantrel_test::Sink().Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0],
            "General MIDIのサウンドフォントが見つかりませんでした。WAVやMP3に書き出すには、"
            "Debianのパッケージ fluid-soundfont-gm をインストールしてください。");
  for (const std::string& text : texts) EXPECT_EQ(text.find("QuickTime"), std::string::npos);
  EXPECT_EQ(Names(out.parent_path()), std::set<std::string>{});
}

TEST_F(ComposeWindowTest, NothingStartsWithoutAFileOrAnEncoder) {
  // The dialog cancelled.
  dialogs_.QueueFileCancel();
  ExportFromMenu();
  EXPECT_FALSE(ComposeWorkerRunning());
  EXPECT_TRUE(dlg_->isEnabled());

  // An MP3 without its encoder: said before any work, and the setting is forgotten.
  std::strcpy(dlg_->config.encoderPath, plat::Utf8ToCp932((Folder() / "none").string()).c_str());
  dialogs_.QueueFile(Folder() / "song.mp3", 3);
  ExportFromMenu();
  EXPECT_FALSE(ComposeWorkerRunning());
  EXPECT_TRUE(dlg_->isEnabled());
  EXPECT_EQ(dlg_->config.encoderPath[0], 0);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"エンコーダが見つかりませんでした。"});
  EXPECT_FALSE(fs::exists(Folder() / "song.mp3"));
}

TEST_F(ComposeWindowTest, ProposedNameIsTheSongsAndTheStyles) {
  dlg_->song->path = (Folder() / "my song.mwd").string();
  std::string expected = "my song_";
  for (const char* c = StyleTableSlot(0, 1).english_name; *c && expected.size() < 8 + 20; ++c)
    expected += *c == ' ' ? '_' : *c;
  EXPECT_EQ(dlg_->ProposedExportName(0, 1), expected + ".mid");
  // The song's own style: the name the list shows.
  dlg_->styleList->clear();
  dlg_->styleList->addItem(QString::fromUtf8("Own style"), -1);
  EXPECT_EQ(dlg_->ProposedExportName(0, -1), "my song_Own_style.mid");
}

TEST_F(ComposeWindowTest, UploadSendsTheArrangedSongAndRemovesItsFile) {
  CANTREL_NEED_TOOL("base64");
  CANTREL_NEED_MIDO();
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  cantrel_test::StubHttpServer server;
  ASSERT_TRUE(server.ok());
  ASSERT_TRUE(GneRegistrySet(CQrDlg::kServiceKey, CQrDlg::kServiceName, server.Url("")));
  server.Set(CQrDlg::kUploadPath, {200, "5,xyz", "", false});

  // The dialog is closed once its answer is drawn.
  std::string shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    CQrDlg* transfer = CQrDlg::Current();
    if (transfer && transfer->isVisible() && !transfer->Uploading()) {
      shown = transfer->Address();
      transfer->reject();
    }
  });
  closer.start(20);
  // Bars composed from the bar menu: the uploaded song carries them as its melody.
  dlg_->song->Reset(4, 4, 0, 1);
  dlg_->song->style = PlainMelodyStyle();
  GneSeedRandomWith(17);
  for (int bar = 0; bar < 4; ++bar) dlg_->OnBarMenuCommand(266, bar);
  dlg_->UploadToMobile();
  const fs::path upload = dlg_->userDataFolder / "upload.mid";
  EXPECT_EQ(dlg_->midiFilePath, upload);
  Pump([&] { return !shown.empty() && CQrDlg::Current() == nullptr; }, 120000);
  EXPECT_EQ(shown, "xyz");
  EXPECT_FALSE(fs::exists(upload));
  EXPECT_TRUE(dlg_->isEnabled());
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

  // The service got the arranged song, and then its delete.
  const std::vector<std::string> bodies = server.Bodies();
  ASSERT_EQ(bodies.size(), 2u);
  const std::string prefix = "name=Cantrel.mid&data=";
  ASSERT_EQ(bodies[0].rfind(prefix, 0), 0u);
  std::string song;
  ASSERT_EQ(cantrel_test::RunTool({"base64", "-d"}, &song, bodies[0].substr(prefix.size())), 0);
  const fs::path copy = Folder() / "sent.mid";
  std::ofstream(copy, std::ios::binary) << song;
  int division = 0;
  std::vector<std::string> events;
  ASSERT_TRUE(cantrel_test::MidoEventLines(copy, &division, &events));
  const std::vector<std::pair<int64_t, int>> cells = CellNotes(*dlg_->song, division);
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(MelodyNotes(events), cells);
  EXPECT_EQ(bodies[1], "del=xyz");
  // The audition voice was the busy one while the song was arranged, and is the piano again.
  std::vector<int> programs;
  for (const auto& b : log_->Bytes())
    if (b.size() == 2 && b[0] == 0xC0) programs.push_back(b[1]);
  ASSERT_GE(programs.size(), 2u);
  EXPECT_EQ(programs[programs.size() - 2], 123);
  EXPECT_EQ(programs.back(), 0);

  // Thickened for the phone (the settings' default): the arrangement leaves channel 0 without
  // notes, so its doubles on channels 12 and 13 are silent, panned apart.
  std::map<int, std::set<int>> pans;
  for (const std::string& line : events) {
    int channel = 0, number = 0, value = 0;
    long long tick = 0;
    if (std::sscanf(line.c_str(), "cc %d %lld %d %d", &channel, &tick, &number, &value) == 4 &&
        number == 10)
      pans[channel].insert(value);
  }
  EXPECT_EQ(pans[0], std::set<int>{127});
  EXPECT_EQ(pans[13], std::set<int>{0});
}

// Start, completion, play and stop racing one another: exports run while the window asks to play
// (refused), plays are stopped while arranging (refused), at once or midway, an export runs while
// a song plays, and some plays reach their end. The worker and the player only post to the
// window, so the window ends every round whole. tools/test runs it under ThreadSanitizer too.
TEST_F(ComposeWindowTest, StartCompletePlayAndStopRacingLeaveTheWindowWhole) {
  dlg_->tempoSpin->setValue(240);
  dlg_->config.leadInBars = 0;
  auto quiet = [&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); };
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    const fs::path out = Folder() / ("race" + std::to_string(round) + ".mid");
    ASSERT_EQ(dlg_->StartComposeThread(out, dlg_->song.get(), kMsgExportComposed), 1);
    // A play request while the export works: refused, nothing plays.
    int beeps = dlg_->beepCount;
    dlg_->TogglePlay();
    EXPECT_EQ(dlg_->beepCount, beeps + 1);
    EXPECT_EQ(g_isPlaying.load(), 0);
    Pump(quiet, 120000);
    ASSERT_TRUE(quiet()) << "the export never completed";
    EXPECT_TRUE(dlg_->lastComposeWritten);
    EXPECT_TRUE(fs::exists(out));

    // A play; a second press while it is being arranged is refused.
    const int plays = dlg_->PlayGeneration();
    dlg_->TogglePlay();
    beeps = dlg_->beepCount;
    if (ComposeWorkerRunning()) {
      dlg_->TogglePlay();
      EXPECT_EQ(dlg_->beepCount, beeps + 1);
    }
    // The test's clock lets a song play as fast as it can: it may be over already.
    Pump([&] { return dlg_->PlayGeneration() > plays; }, 120000);
    ASSERT_GT(dlg_->PlayGeneration(), plays) << "the arranged song never played";
    // Stopped at once, a little later, or, every third round, left to play to its end with an
    // export running beside it.
    if (round % 3 == 2) {
      const fs::path beside = Folder() / ("beside" + std::to_string(round) + ".mid");
      ASSERT_EQ(dlg_->StartComposeThread(beside, dlg_->song.get(), kMsgExportComposed), 1);
      Pump([&] { return g_isPlaying.load() == 0 && quiet(); }, 120000);
      EXPECT_EQ(g_isPlaying.load(), 0) << "the song never ended";
      EXPECT_TRUE(fs::exists(beside));
    } else {
      // The stop races the song's end.
      Pump([] { return false; }, 5 * (round % 3));
      if (g_isPlaying.load() == 1) dlg_->TogglePlay();
      EXPECT_EQ(g_isPlaying.load(), 0);
    }
    Pump(quiet, 120000);
    ASSERT_TRUE(quiet());
  }
  // What was left on its way is delivered to a window that is at rest.
  Pump([] { return false; }, 200);
  EXPECT_TRUE(quiet());
  EXPECT_EQ(g_isPlaying.load(), 0);
  EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
}


// The window's compose commands on bar 1 (cleared, then chords from the style's pattern
// database and a melody from the engine), as the bar menu gives them.
void ComposeBarOne(CBrevantDlg& dlg) {
  dlg.song->ClearBar(1, true);
  dlg.ComposeChords(1, 1);
  dlg.ComposeMelody(1, 1);
}

// While another thread composes, the window does not wait for the engine: its compose commands
// are refused with a beep and the song stays as it was. Once the engine is free they compose.
TEST_F(ComposeWindowTest, ComposingBarsWhileAnotherThreadComposesIsRefused) {
  engine_test::DoorHolder other;
  const std::vector<uint8_t> before = dlg_->song->SerializeToVector();
  const int beeps = dlg_->beepCount;
  dlg_->ComposeChords(1, 1);
  dlg_->ComposeMelody(1, 1);
  EXPECT_EQ(dlg_->beepCount, beeps + 2);
  EXPECT_EQ(dlg_->song->SerializeToVector(), before);
  other.Leave();

  ComposeBarOne(*dlg_);
  EXPECT_EQ(dlg_->beepCount, beeps + 2);
  EXPECT_NE(dlg_->song->SerializeToVector(), before);
}

// The window composes bars again and again while the worker arranges the song for an export:
// each command either finds the engine free and composes, before or after the worker's road but
// never within it, or is refused with a beep. Both finish: every export is written whole and the
// song keeps its bars. tools/test runs it under ThreadSanitizer.
TEST_F(ComposeWindowTest, ComposingBarsRacingTheWorkerComposesOrIsRefused) {
  dlg_->tempoSpin->setValue(240);
  dlg_->config.leadInBars = 0;
  auto quiet = [&] { return dlg_->isEnabled() && !ComposeWorkerRunning(); };
  const int bars = dlg_->song->bar_count;
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    const fs::path out = Folder() / ("door" + std::to_string(round) + ".mid");
    ASSERT_EQ(dlg_->StartComposeThread(out, dlg_->song.get(), kMsgExportComposed), 1);
    for (int tries = 0; !quiet() && tries < 100000; ++tries) {
      const int beeps = dlg_->beepCount;
      ComposeBarOne(*dlg_);
      // Chords and melody are refused each on its own: none, one or both.
      EXPECT_LE(dlg_->beepCount - beeps, 2);
      EXPECT_EQ(dlg_->song->bar_count, bars);
      Pump([] { return false; }, 1 + round % 2);
    }
    ASSERT_TRUE(quiet()) << "the export never completed";
    EXPECT_TRUE(dlg_->lastComposeWritten);
    EXPECT_TRUE(fs::exists(out));
  }
  EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
}

}  // namespace
