// Time from the start of the main window to its being shown and ready (target: 300 ms or less).
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "bench/bench_window.h"
#include "platform/core/folders.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "bench_startup";
  static char* argv[] = {name, nullptr};
  static QApplication* app = []() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return app;
}

void BM_MainWindowStartToShown(benchmark::State& state) {
  App();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("cantrel_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  plat::SetUserDataFolder(folder);
  for (auto _ : state) {
    auto dlg = bench_window::StartedWindow();
    benchmark::DoNotOptimize(dlg->isReady);
    state.PauseTiming();
    dlg.reset();  // writes the working song and the settings for the next round
    ResetMainGlobals();
    state.ResumeTiming();
  }
  plat::SetUserDataFolder({});
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

BENCHMARK(BM_MainWindowStartToShown)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

namespace {

// The whole program: process start, Qt, fonts, settings, working song, window shown and ready.
void BM_ProgramStartToReady(benchmark::State& state) {
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  const std::filesystem::path program = self.parent_path().parent_path() / "app" / "cantrel";
  if (!std::filesystem::exists(program)) {
    state.SkipWithError("cantrel is not built");
    return;
  }
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("cantrel_bench_home_" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  const std::string command = "env XDG_DATA_HOME='" + home.string() +
                              "' QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 '" +
                              program.string() + "' --exit-when-ready >/dev/null 2>&1";
  for (auto _ : state) {
    const int rc = std::system(command.c_str());
    if (rc != 0) {
      state.SkipWithError("cantrel failed");
      break;
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
}

BENCHMARK(BM_ProgramStartToReady)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
