// The main of the benchmark programs that need Qt: on Qt's offscreen platform (unless
// another is set), at a scale of 1.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>

namespace bench_qt {

inline int RunWithQt(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench_qt
