// The score of a 256-bar song (layout 5, notes, lyrics and chords on every bar) saved as one
// image (target 400 ms) and printed to a PDF file (target 1.5 s).
#include "bench/bench_window.h"

namespace {

using bench_window::Window;

void BM_ScoreImageOf256Bars(benchmark::State& state) {
  Window w("score", 1920, 1200, 5, 256);
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
  Window w("score", 1920, 1200, 5, 256);
  const auto path = w.folder / "score.pdf";
  plat::InstallPrinterFactory([&] { return plat::QtPrinter::Pdf(path, 300); });
  for (auto _ : state) w.dlg->PrintScore(1, 3, 1, 1);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ScorePrintedToPdfOf256Bars)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
