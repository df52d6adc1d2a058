// The main window's page: a full mode-1 page (48 bars of notes, lyrics and chords) redrawn
// through the score and the melody boxes (target 16 ms), and the whole layout rebuilt as after a
// change of layout in the settings (target 50 ms).
#include "bench/bench_window.h"

namespace {

using bench_window::Window;

void BM_FullModeOnePageRefresh(benchmark::State& state) {
  Window w("page", 1920, 1080, 1, 48);
  if (g_barsPerPage != 48) state.SkipWithError("mode 1 did not fit");
  for (auto _ : state) {
    w.dlg->RefreshScore(1);
    w.dlg->RefreshMelodyBox(1);
  }
}
BENCHMARK(BM_FullModeOnePageRefresh)->Unit(benchmark::kMillisecond);

void BM_LayoutRebuiltAfterSettings(benchmark::State& state) {
  Window w("page", 1920, 1080, 1, 48);
  int mode = 1;
  for (auto _ : state) {
    mode = mode == 1 ? 5 : 1;
    w.dlg->config.screenLayout = static_cast<int8_t>(mode);
    w.dlg->RebuildLayout();
  }
}
BENCHMARK(BM_LayoutRebuiltAfterSettings)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
