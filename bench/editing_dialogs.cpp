// The editing dialogs on a full song of 1,024 beats (256 bars of 4/4): the step list opening with
// its 6,144 rows (target 50 ms), and a lyric of 1,023 bytes poured over all its notes (target
// 2 ms).
#include "app/lyric_edits.h"
#include "dialogs/step_dialog.h"
#include "draw/button_picture.h"
#include "song/song_data.h"

#include "bench/qt_main.h"
#include "bench/quiet_owner.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// 256 bars of 4/4: a note on every eighth, with a lyric.
std::unique_ptr<CSongData> FullSong() {
  auto song = std::make_unique<CSongData>();
  song->Reset(256, 4, 0, 1);
  for (int c = 0; c < song->SongCells(); ++c) {
    song->cells[c].slot[0] = 60 + c % 12;
    song->cells[c].slot[1] = NoteSlotHold;
    song->cells[c].slot[2] = NoteSlotVacant;
    lyric_edit::SetLyricAt(*song, c, 0, "か");
  }
  return song;
}

void BM_StepListOpens(benchmark::State& state) {
  auto song = FullSong();
  bench_dialogs::QuietOwner owner;
  for (auto _ : state) {
    CStepDlg dialog;
    dialog.SetOwner(&owner);
    dialog.SetSong(song.get());
    dialog.startRow = 3000;
    dialog.Create();
    benchmark::DoNotOptimize(dialog.list);
  }
  CButtonPicture2::ResetState();
}
BENCHMARK(BM_StepListOpens)->Unit(benchmark::kMillisecond);

void BM_PourAWholeLyric(benchmark::State& state) {
  auto song = FullSong();
  std::string text;
  while (text.size() + 3 <= 1023) text += "かな ";
  while (text.size() < 1023) text += "a";
  int written = 0;
  for (auto _ : state) written = lyric_edit::PourLyrics(*song, text.c_str(), 0);
  benchmark::DoNotOptimize(written);
}
BENCHMARK(BM_PourAWholeLyric)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
