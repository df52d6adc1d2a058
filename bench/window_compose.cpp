// The main window's composing of a song bar by bar, as the range edit does it: chords and melody
// for each of 64 bars (target 100 ms for the whole song).
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
  std::unique_ptr<CBrevantDlg> dlg;

  Window() {
    folder = std::filesystem::temp_directory_path() / ("cantrel_compose_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    plat::SetUserDataFolder(folder);
    plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
    backend.AddNullDevice("null");
    plat::InstallMidiOutBackend(&backend);
    SetScreenSizeOverride(1280, 1024);
    dlg = std::make_unique<CBrevantDlg>();
    dlg->show();
    QElapsedTimer guard;
    guard.start();
    while (dlg->isReady != 1 && guard.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
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
    w.dlg->song->Reset(64, 4, 0, 1);
    GneSeedRandomWith(seed++);
    state.ResumeTiming();
    w.dlg->RunRangeEdit(14, 1, 64, 0);
  }
}
BENCHMARK(BM_ChordsAndMelodyBarByBar64)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
