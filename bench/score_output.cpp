// The score of a 256-bar song (layout 5, notes, lyrics and chords on every bar) saved as one
// image (target 400 ms) and printed to a PDF file (target 1.5 s).
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "app/page_geometry.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/folders.h"
#include "platform/qt/printer.h"
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
  plat::ScriptedFileDialogs dialogs;

  Window() {
    folder = std::filesystem::temp_directory_path() / ("cantrel_score_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    plat::SetUserDataFolder(folder);
    plat::InstallFileDialogs(&dialogs);
    SetScreenSizeOverride(1920, 1200);
    dlg = std::make_unique<CBrevantDlg>();
    dlg->show();
    QElapsedTimer guard;
    guard.start();
    while (dlg->isReady != 1 && guard.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    dlg->config.screenLayout = 5;
    dlg->RebuildLayout();
    CSongData& song = *dlg->song;
    song.SetBarCount(256);
    static const char* const kChords[] = {"C", "Am", "F", "G7"};
    for (int cell = 0; cell < 256 * 8; ++cell) {
      song.cells[cell].slot[0] = 60 + (cell * 5) % 19;
      std::snprintf(song.cells[cell].lyric[0], 8, "l%d", cell % 100);
    }
    for (int beat = 0; beat < 256 * 4; ++beat) {
      std::strncpy(song.chords[beat].first, kChords[beat % 4], 7);
    }
  }
  ~Window() {
    dlg.reset();
    plat::InstallFileDialogs(nullptr);
    plat::InstallPrinterFactory(nullptr);
    ResetMainGlobals();
    SetScreenSizeOverride(0, 0);
    plat::SetUserDataFolder({});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

void BM_ScoreImageOf256Bars(benchmark::State& state) {
  Window w;
  if (w.dlg->song->bar_count != 256) state.SkipWithError("song not made");
  const auto path = w.folder / "score.bmp";
  for (auto _ : state) {
    w.dialogs.QueueFile(path);
    w.dlg->SaveScoreImage(1, 1, 1);
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ScoreImageOf256Bars)->Unit(benchmark::kMillisecond);

void BM_ScorePrintedToPdfOf256Bars(benchmark::State& state) {
  Window w;
  const auto path = w.folder / "score.pdf";
  plat::InstallPrinterFactory([&] { return plat::QtPrinter::Pdf(path, 300); });
  for (auto _ : state) w.dlg->PrintScore(1, 3, 1, 1);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ScorePrintedToPdfOf256Bars)->Unit(benchmark::kMillisecond);

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
