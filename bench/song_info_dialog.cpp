// The song-information dialog opening on a song with every part on: its five instrument lists of
// 128 names filled, its eleven skin buttons drawn, the names shown and the first paint done
// (target 50 ms).
#include "bench/qt_main.h"
#include "bench/quiet_owner.h"
#include "dialogs/song_info_dialog.h"
#include "draw/button_picture.h"
#include "platform/core/folders.h"
#include "song/song_data.h"
#include "tests/support/sample_song_info.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <filesystem>
#include <memory>

namespace {

void BM_SongInfoOpens(benchmark::State& state) {
  plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
  auto song = std::make_unique<CSongData>();
  song->Reset(64, 4, 0, 1);
  cantrel_test::FillSampleSongInfo(*song);
  bench_dialogs::QuietOwner owner;
  for (auto _ : state) {
    CSongInfoDlg dialog;
    dialog.SetOwner(&owner);
    dialog.SetSong(song.get(), nullptr);
    dialog.Create();
    dialog.show();
    dialog.repaint();
    QApplication::processEvents();
    benchmark::DoNotOptimize(dialog.title);
  }
  CButtonPicture2::ResetState();
}
BENCHMARK(BM_SongInfoOpens)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
