// The personal archive over 3,000 song files of 64 bars: listing them (information blocks only)
// should take 100 ms or less; the notes search and a 4-bar phrase search, which read every
// song's notes, 500 ms or less each.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "bench/random_song.h"
#include "song/archive_scan.h"
#include "song/song_data.h"
#include "util/gne.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<CSongData> RandomSong(int bars, uint32_t seed) {
  auto song = bench_songs::RandomSong(bars, seed);
  song->info.SetU16(SongInfoBlock::kPopularity, static_cast<uint16_t>(GneRandomRange(0, 1500)));
  return song;
}

// 3,000 songs of 64 bars in an archive folder of their own, made once, removed at exit.
class Archive {
 public:
  Archive() {
    root_ = fs::temp_directory_path() / ("cantrel-bench-archive-" + std::to_string(getpid()));
    folder_ = archive::ArchiveFolder(root_);
    fs::create_directories(folder_);
    for (int i = 0; i < 16; ++i) {
      auto song = RandomSong(64, 100 + i);
      char title[32];
      std::snprintf(title, sizeof title, "song %d", i);
      song->info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, title);
      const fs::path path = folder_ / ("model" + std::to_string(i) + ".mwd");
      song->Save(&path);
    }
    for (int i = 16; i < 3000; ++i) {
      fs::copy_file(folder_ / ("model" + std::to_string(i % 16) + ".mwd"),
                    folder_ / ("s" + std::to_string(i) + ".mwd"));
    }
  }
  ~Archive() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  const fs::path& folder() const { return folder_; }

 private:
  fs::path root_;
  fs::path folder_;
};

const Archive& Songs() {
  static Archive archive;
  return archive;
}

void Run(benchmark::State& state, const archive::Request& request) {
  const fs::path& folder = Songs().folder();
  std::atomic<bool> stop{false};
  size_t entries = 0;
  for (auto _ : state) entries = archive::Scan(folder, request, stop).entries.size();
  state.counters["entries"] = static_cast<double>(entries);
}

void BM_ListThreeThousandSongs(benchmark::State& state) { Run(state, archive::Request()); }
BENCHMARK(BM_ListThreeThousandSongs)->Unit(benchmark::kMillisecond);

void BM_NotesSearchThreeThousandSongs(benchmark::State& state) {
  archive::Request request;
  request.type = archive::kNotes;
  // The white keys: the chromatic test songs rarely fit, so every file is read.
  for (int n = 48; n <= 84; ++n) {
    if (n % 12 != 1 && n % 12 != 3 && n % 12 != 6 && n % 12 != 8 && n % 12 != 10) {
      request.notes.push_back(n);
    }
  }
  Run(state, request);
}
BENCHMARK(BM_NotesSearchThreeThousandSongs)->Unit(benchmark::kMillisecond);

void BM_FourBarPhraseSearchThreeThousandSongs(benchmark::State& state) {
  archive::Request request;
  request.type = archive::kPhrase;
  request.current = RandomSong(64, 104);
  request.firstBar = 8;
  request.lastBar = 11;
  request.threshold = 0.6;
  Run(state, request);
}
BENCHMARK(BM_FourBarPhraseSearchThreeThousandSongs)->Unit(benchmark::kMillisecond);

}  // namespace
