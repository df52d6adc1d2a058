// A whole song through the engine facade, as the compose worker renders it: a 64-bar
// 4/4 song with every part the rendering plays, from the import to the written file.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/rich_song.h"
#include "arrange/ckv_algo.h"
#include "engine/engine_state.h"
#include "platform/core/folders.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"

namespace {

constexpr int kBars = 64;

void SetName(char (&field)[8], const char* name) {
  std::memset(field, 0, sizeof field);
  std::strncpy(field, name, sizeof field);
}

// Chords a bar (two in every fourth bar), eighths and quarters of a sung melody with
// instrumental fills and rests.
std::unique_ptr<CSongData> SixtyFourBarSong() {
  auto song = std::make_unique<CSongData>();
  song->Reset(kBars, 4, 0, 1);
  const char* chords[] = {"C", "Am", "F", "G7", "Em", "Dm7", "G", "C"};
  for (int beat = 0; beat < kBars * 4; ++beat) {
    const int bar = beat / 4;
    SetName(song->chords[beat].first, chords[(bar + (bar % 4 == 3 && beat % 4 >= 2)) % 8]);
    SetName(song->chords[beat].second, "");
  }
  const int pitches[] = {60, 62, 64, 67, 69, 67, 64, 62, 60, 64, 65, 67};
  for (int cell = 0; cell < kBars * 8; ++cell) {
    NoteCell& c = song->cells[cell];
    c = NoteCell{};
    c.slot[2] = NoteSlotVacant;
    if (cell % 8 == 7) {
      c.slot[0] = NoteSlotRest;
      c.slot[1] = NoteSlotHold;
    } else if (cell % 4 == 1) {
      c.slot[0] = NoteSlotHold;
      c.slot[1] = NoteSlotHold;
    } else {
      c.slot[0] = pitches[cell % 12];
      c.slot[1] = cell % 3 == 0 ? pitches[(cell + 5) % 12] : NoteSlotHold;
      if (cell % 16 < 12) std::strcpy(c.lyric[0], "la");
    }
  }
  return song;
}

void BM_RenderSixtyFourBars(benchmark::State& state) {
  bench_songs::QuietBoxes();
  plat::SetProgramFolder(std::filesystem::path(CANTREL_SOURCE_DIR) / "resources");
  ResetStyleModule();
  ResetEngineServices();
  ResetEngineState();
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "cantrel_bench_render.mid";
  auto song = SixtyFourBarSong();
  CKVAlgo::Initialize();
  // Mersey Beat plays every part the rendering allows; the second melody part joins in.
  StyleRecord style = StyleTableSlot(0, 6);
  style.instrument[5] = 53;
  style.song_bars = kBars;
  for (auto _ : state) {
    SeedComposition(20260101);
    ApplyStyle(style);
    CurrentStyle().metre = 0;
    CKVAlgo::ImportSongToEngine(*song, kBars, 4, kComposeMelodyNoteLimit);
    CKVAlgo::PrepareSongRendering(73, 120, -1, -1, 1, 0);
    SelectMajorTimingDatabases();
    CurrentStyle().key_mode = 1;
    CurrentStyle().key_offset = 0;
    CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_RenderSixtyFourBars)->Unit(benchmark::kMillisecond);

}  // namespace
