// The main window's page: a full mode-1 page (48 bars of notes, lyrics and chords) redrawn
// through the score and the melody boxes (target 16 ms), and the whole layout rebuilt as after a
// change of layout in the settings (target 50 ms).
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "app/page_geometry.h"
#include "platform/core/folders.h"
#include "song/song_data.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

struct Window {
  std::filesystem::path folder;
  std::unique_ptr<CBrevantDlg> dlg;

  Window() {
    folder = std::filesystem::temp_directory_path() / ("cantrel_page_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    plat::SetUserDataFolder(folder);
    SetScreenSizeOverride(1920, 1080);
    dlg = std::make_unique<CBrevantDlg>();
    dlg->show();
    QElapsedTimer guard;
    guard.start();
    while (dlg->isReady != 1 && guard.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    dlg->config.screenLayout = 1;
    dlg->RebuildLayout();
    // 48 bars of eighth notes with lyrics, a chord on every beat.
    CSongData& song = *dlg->song;
    song.SetBarCount(48);
    static const char* const kChords[] = {"C", "Am", "F", "G7"};
    for (int cell = 0; cell < 48 * 8; ++cell) {
      song.cells[cell].slot[0] = 60 + (cell * 5) % 19;
      std::snprintf(song.cells[cell].lyric[0], 8, "l%d", cell % 100);
    }
    for (int beat = 0; beat < 48 * 4; ++beat) {
      std::strncpy(song.chords[beat].first, kChords[beat % 4], 7);
    }
  }
  ~Window() {
    dlg.reset();
    ResetMainGlobals();
    SetScreenSizeOverride(0, 0);
    plat::SetUserDataFolder({});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

void BM_FullModeOnePageRefresh(benchmark::State& state) {
  Window w;
  if (g_barsPerPage != 48) state.SkipWithError("mode 1 did not fit");
  for (auto _ : state) {
    w.dlg->RefreshScore(1);
    w.dlg->RefreshMelodyBox(1);
  }
}
BENCHMARK(BM_FullModeOnePageRefresh)->Unit(benchmark::kMillisecond);

void BM_LayoutRebuiltAfterSettings(benchmark::State& state) {
  Window w;
  int mode = 1;
  for (auto _ : state) {
    mode = mode == 1 ? 5 : 1;
    w.dlg->config.screenLayout = static_cast<int8_t>(mode);
    w.dlg->RebuildLayout();
  }
}
BENCHMARK(BM_LayoutRebuiltAfterSettings)->Unit(benchmark::kMillisecond);

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
