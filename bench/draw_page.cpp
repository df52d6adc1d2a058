// Drawing a full score page: 48 bar rows with 16 notes each (eighths, beamed pairs, a few
// accidentals and rests), as the main window redraws it. Target: a full redraw in 16 ms.
#include "bench/qt_main.h"
#include "draw/staff_picture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int kRows = 48;

struct Page {
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
  std::unique_ptr<CLongStaffPicture> picture;

  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }

  void Build() {
    CStaffPicture::ResetState();
    picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                  nullptr, 960, nullptr);
    for (int r = 1; r < kRows; ++r) picture->AddRow(NewControl(), Rect{0, 0, 224, 96}, 40, 83, 960);
    for (int r = 0; r < kRows; ++r) {
      picture->SetClefVisible(r, 0);
      picture->ShowBarLines(r, 1);
      picture->SetKeySignature(r, 1);
      Fill(r);
    }
  }

  void Fill(int r) {
    static const int kPitches[16] = {60, 62, 64, 65, 67, 69, 71, 72, 74, 72, 70, 69, 67, 66, 64, 62};
    for (int i = 0; i < 16; ++i) {
      const int pitch = (i % 7 == 6) ? -1 : kPitches[(i + r) % 16];
      const int type = pitch < 0 ? kNoteSixteenth : (i % 2 == 0 ? kNoteSixteenthPairFirst
                                                                : kNoteSixteenthPairSecond);
      picture->AddNote(r, pitch, i * 60, 0, type, i == 15 ? 1 : 0);
    }
  }
};

void BM_RedrawPage(benchmark::State& state) {
  Page page;
  page.Build();
  for (auto _ : state) {
    page.picture->DrawAll();
    benchmark::DoNotOptimize(page.picture->Surface(kRows - 1));
  }
  page.picture.reset();
  CStaffPicture::ResetState();
}
BENCHMARK(BM_RedrawPage)->Unit(benchmark::kMillisecond);

// Building the page from nothing: rows, notes and one drawing of each row.
void BM_BuildPage(benchmark::State& state) {
  for (auto _ : state) {
    Page page;
    page.Build();
    for (int r = 0; r < kRows; ++r) benchmark::DoNotOptimize(page.picture->Surface(r));
    page.picture.reset();
  }
  CStaffPicture::ResetState();
}
BENCHMARK(BM_BuildPage)->Unit(benchmark::kMillisecond);

// Clearing and refilling every row, then drawing: what a page turn costs.
void BM_RefillPage(benchmark::State& state) {
  Page page;
  page.Build();
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r) {
      page.picture->ClearRow(r);
      page.Fill(r);
    }
    for (int r = 0; r < kRows; ++r) benchmark::DoNotOptimize(page.picture->Surface(r));
  }
  page.picture.reset();
  CStaffPicture::ResetState();
}
BENCHMARK(BM_RefillPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
