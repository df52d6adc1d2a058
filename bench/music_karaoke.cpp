// Karaoke files: the lyric text of a file of 2,000 lyrics (target 5 ms or less), and
// reading that file from its bytes with the text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "music/xf_data.h"
#include "platform/core/message_sink.h"

namespace {

constexpr int kLyrics = 2000;

// Boxes (the missing master volume) are answered and dropped.
class SilentSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string&) override { return plat::kIdOk; }
};

// The bytes of a karaoke file of 2,000 lyrics: mixed kana, readings, line and
// paragraph marks, as the engine writes them.
std::vector<uint8_t> KaraokeFileBytes() {
  static SilentSink sink;
  plat::InstallSink(&sink);
  static const char* const kWords[] = {"さく", "ら/", "<A", "咲[さ]", "く^", "はな", "<間奏", "ラー/"};
  MidiTrack song(kTrackNotes, kDefaultMusicCapacity);
  auto* karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  for (int i = 0; i < kLyrics; ++i) {
    const std::string word = kWords[i % 8];
    song.AddNote(0, 120, 60 + i % 12, 100, 100);
    karaoke->AddMetaEvent(120, 0x05, word.data(), static_cast<int32_t>(word.size()));
  }
  song.AddEndOfTrackAt(0);
  karaoke->AddEndOfTrackAt(0);
  XfData xf(song, karaoke, 480);
  const auto path = std::filesystem::temp_directory_path() / "cantrel_bench_karaoke.mid";
  xf.SaveFile(path);
  std::vector<uint8_t> bytes(xf.buffer, xf.buffer + xf.UsedBytes());
  std::filesystem::remove(path);
  return bytes;
}

void BM_LyricTextOf2000Lyrics(benchmark::State& state) {
  const std::vector<uint8_t> bytes = KaraokeFileBytes();
  int flag = 0;
  XfData xf(bytes.data(), static_cast<int32_t>(bytes.size()), 0, &flag);
  if (flag != 1) state.SkipWithError("the file did not read as a karaoke file");
  for (auto _ : state) {
    std::string text = xf.GetLyricText();
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_LyricTextOf2000Lyrics)->Unit(benchmark::kMillisecond);

void BM_ReadKaraokeFileAndLyricText(benchmark::State& state) {
  const std::vector<uint8_t> bytes = KaraokeFileBytes();
  for (auto _ : state) {
    int flag = 0;
    XfData xf(bytes.data(), static_cast<int32_t>(bytes.size()), 0, &flag);
    std::string text = xf.GetLyricText();
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_ReadKaraokeFileAndLyricText)->Unit(benchmark::kMillisecond);

}  // namespace
