// Speed of the song file: building the image, reading it back (every layout
// pass included), a save through the file layer, and the whole-song edits the
// main window runs on every change.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "song/song_data.h"

namespace {

std::unique_ptr<CSongData> BusySong() {
  auto song = std::make_unique<CSongData>();
  song->Reset(256, 4, 3, 1);
  for (int bar = 0; bar < 256; ++bar) {
    song->SetNote(bar, 0, 60 + bar % 12, 3, false);
    song->SetNote(bar, 2, 64, 1, true);
    song->SetLyric(bar, 0, "あい", false);
    song->SetChord(bar, 0, bar % 12, bar % 22, 4, 0, false);
  }
  song->SetExtraText(0, "extra");
  return song;
}

void BM_SerializeSong(benchmark::State& state) {
  auto song = BusySong();
  std::vector<uint8_t> image(kSongImageSize);
  for (auto _ : state) {
    song->Serialize(image.data(), 4, 3, 1);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_SerializeSong);

void BM_ReadSongFileBytes(benchmark::State& state) {
  auto song = BusySong();
  song->PackExtraTexts();
  const std::vector<uint8_t> image = song->SerializeToVector();
  auto target = std::make_unique<CSongData>();
  for (auto _ : state) {
    int bars = 0, bpb = 4, key = 0, metre = 1;
    target->ReadFileBytes(image.data(), image.size(), &bars, &bpb, &key, &metre);
    benchmark::DoNotOptimize(bars);
  }
}
BENCHMARK(BM_ReadSongFileBytes);

void BM_SaveAndLoadFile(benchmark::State& state) {
  auto song = BusySong();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "cantrel_bench_song.mwd";
  for (auto _ : state) {
    song->Save(&path);
    int bars = 0, bpb = 4, key = 0, metre = 1;
    auto loaded = CSongData::LoadFromFile(path, &bars, &bpb, &key, &metre);
    benchmark::DoNotOptimize(loaded.get());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveAndLoadFile);

void BM_UndoSnapshotAndUndo(benchmark::State& state) {
  auto song = BusySong();
  for (auto _ : state) {
    song->TakeUndoSnapshot();
    song->TransposeSong(1);
    song->Undo();
  }
}
BENCHMARK(BM_UndoSnapshotAndUndo);

void BM_NormalizeAndBuildLyrics(benchmark::State& state) {
  auto song = BusySong();
  for (auto _ : state) {
    song->NormalizeCells();
    song->BuildLyricText();
  }
}
BENCHMARK(BM_NormalizeAndBuildLyrics);

}  // namespace
