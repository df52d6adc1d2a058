// Karaoke files: the lyric text of a file of 2,000 lyrics (target 5 ms or less), and
// reading that file from its bytes with the text. The analysis of a MIDI song (tune
// structure and chord names, target 10 ms) on planetblupi's music002.mid and on a song
// of long held notes, and the whole import of music002.mid into a song (target 100 ms).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "music/chord_analysis.h"
#include "music/tune_structure.h"
#include "music/xf_data.h"
#include "song/midi_import.h"
#include "song/song_data.h"
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

// ---- analysis and import ----

const std::filesystem::path kMusic002 = "/usr/share/planetblupi/music/music002.mid";

// The song as the import analyses it: read as a karaoke file, at 96 per quarter.
std::unique_ptr<XfData> SongAt96(const std::filesystem::path& path) {
  static SilentSink sink;
  plat::InstallSink(&sink);
  int flag = 0;
  auto song = std::make_unique<XfData>(&path, 0, &flag);
  song->SetDivision(96);
  return song;
}

void Analyse(benchmark::State& state, Midi0Data& song) {
  std::vector<char> names(static_cast<size_t>(kImportChordSlots) * kChordNameBytes);
  for (auto _ : state) {
    TuneStructure ts;
    ts.Analyse(song, 96);
    uint8_t key[2];
    char weights[kToneWeightTextBytes];
    int32_t slot_length = 0;
    const int32_t slots = AnalyseChords(song, names.data(), kImportChordSlots, key, 0, 1, weights, 96,
                                        ts, nullptr, nullptr, &slot_length);
    benchmark::DoNotOptimize(slots);
  }
}

void BM_AnalyseMusic002(benchmark::State& state) {
  if (!std::filesystem::exists(kMusic002)) {
    state.SkipWithError("planetblupi-music-midi is not installed");
    return;
  }
  auto song = SongAt96(kMusic002);
  state.counters["events"] = song->track->event_count;
  Analyse(state, *song);
}
BENCHMARK(BM_AnalyseMusic002)->Unit(benchmark::kMillisecond);

// 16 channels of notes held for 64 bars, a new one every sixteenth: every note overlaps
// the thousands that start while it sounds.
void BM_AnalyseLongHeldNotes(benchmark::State& state) {
  auto song = std::make_unique<Midi0Data>(kTrackNotes, 96, kDefaultMusicCapacity);
  for (int i = 0; i < 40000; ++i) {
    song->track->AddNote(i % 16 == 9 ? 10 : i % 16, i % 16 == 0 ? 24 : 0, 36 + (i * 7) % 48, 100,
                         64 * 384);
  }
  song->track->AddEndOfTrackAt(64 * 384);
  state.counters["events"] = song->track->event_count;
  Analyse(state, *song);
}
BENCHMARK(BM_AnalyseLongHeldNotes)->Unit(benchmark::kMillisecond);

void BM_ImportMusic002(benchmark::State& state) {
  if (!std::filesystem::exists(kMusic002)) {
    state.SkipWithError("planetblupi-music-midi is not installed");
    return;
  }
  static SilentSink sink;
  plat::InstallSink(&sink);
  auto song = std::make_unique<CSongData>();
  for (auto _ : state) {
    const bool ok = CKvImport::ImportFile(kMusic002, *song, nullptr);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_ImportMusic002)->Unit(benchmark::kMillisecond);

}  // namespace
