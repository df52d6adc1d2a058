// The main window's composing of a song bar by bar, as the range edit does it: chords and melody
// for each of 64 bars (target 100 ms for the whole song); and a play request of a 64-bar song,
// from the press to the first event the player sends to the output device (target 100 ms).
#include "app/compose_worker.h"
#include "bench/bench_window.h"
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "app/page_geometry.h"
#include "platform/core/folders.h"
#include "platform/core/midi_devices.h"
#include "song/song_data.h"
#include "util/gne.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

struct Window {
  std::filesystem::path folder;
  plat::TestMidiOutBackend backend;
  std::shared_ptr<plat::MidiRecording> recording;
  std::unique_ptr<CBrevantDlg> dlg;

  // With `record`, the output device records what it is sent; else it discards it.
  explicit Window(bool record = false) {
    folder = std::filesystem::temp_directory_path() / ("cantrel_compose_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    plat::SetUserDataFolder(folder);
    plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
    if (record) {
      recording = backend.AddRecordingDevice("rec");
    } else {
      backend.AddNullDevice("null");
    }
    plat::InstallMidiOutBackend(&backend);
    SetScreenSizeOverride(1280, 1024);
    dlg = bench_window::StartedWindow();
  }
  // An empty song of `bars` bars of 4/4 in the window's style: a reset song has no style of its
  // own until the window gives it one, and the arrangement reads its pattern files from it.
  void NewSong(int bars) {
    const StyleRecord style = dlg->song->style;
    dlg->song->Reset(bars, 4, 0, 1);
    dlg->song->style = style;
  }
  ~Window() {
    dlg.reset();
    ResetMainGlobals();
    plat::InstallMidiOutBackend(nullptr);
    SetScreenSizeOverride(0, 0);
    plat::SetUserDataFolder({});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

void BM_ChordsAndMelodyBarByBar64(benchmark::State& state) {
  Window w;
  uint32_t seed = 1;
  for (auto _ : state) {
    state.PauseTiming();
    w.NewSong(64);
    GneSeedRandomWith(seed++);
    state.ResumeTiming();
    w.dlg->RunRangeEdit(14, 1, 64, 0);
  }
}
BENCHMARK(BM_ChordsAndMelodyBarByBar64)->Unit(benchmark::kMillisecond);

// Whether the device has been sent anything of the song: the window's own busy sounds (program
// changes and notes on the first channel) come before the player starts and do not count.
bool SongHasStarted(const plat::MidiRecording& log) {
  for (const std::vector<uint8_t>& m : log.Bytes()) {
    if (m.empty()) continue;
    const uint8_t kind = m[0] & 0xF0;
    const bool busy = (m[0] & 0x0F) == 0 && (kind == 0x80 || kind == 0x90 || kind == 0xC0);
    if (!busy) return true;
  }
  return false;
}

template <typename Pred>
bool PumpUntil(Pred done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

void BM_PlayRequestToFirstEvent64(benchmark::State& state) {
  Window w(true);
  w.NewSong(64);
  GneSeedRandomWith(7);
  w.dlg->RunRangeEdit(14, 1, 64, 0);
  for (auto _ : state) {
    state.PauseTiming();
    w.recording->Clear();
    state.ResumeTiming();
    w.dlg->TogglePlay();
    if (!PumpUntil([&] { return SongHasStarted(*w.recording); }, 60000)) {
      state.SkipWithError("the song never started");
      break;
    }
    state.PauseTiming();
    w.dlg->TogglePlay();
    PumpUntil([] { return g_isPlaying.load() == 0 && !ComposeWorkerRunning(); }, 60000);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlayRequestToFirstEvent64)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
