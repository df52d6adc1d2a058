// WAV export of a three-minute song through the media library, against the synthesizer's own
// command-line renderer (`fluidsynth -F`) on the same MIDI file and soundfont in the same run.
// The song: 360 beats at 120 bpm of melody, chords, bass and drums on four channels.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/media_export.h"
#include "platform/core/audio_render.h"
#include "platform/core/message_sink.h"
#include "platform/core/synth.h"

namespace {

namespace fs = std::filesystem;

void VarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[4];
  int n = 0;
  do {
    bytes[n++] = v & 0x7F;
    v >>= 7;
  } while (v && n < 4);
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(bytes[i] | (i ? 0x80 : 0)));
}

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("cantrel-bench-export-" + std::to_string(getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

fs::path ThreeMinuteSong() {
  const fs::path path = Folder() / "song.mid";
  if (fs::exists(path)) return path;
  std::vector<uint8_t> t;
  const uint8_t setup[] = {0x00, 0xC0, 0,  0x00, 0xC1, 48, 0x00, 0xC2, 33};
  t.insert(t.end(), setup, setup + sizeof setup);
  const int roots[] = {48, 45, 41, 43};
  uint32_t pending = 0;
  auto event = [&](std::initializer_list<uint8_t> bytes) {
    VarLen(t, pending);
    pending = 0;
    t.insert(t.end(), bytes);
  };
  for (int beat = 0; beat < 360; ++beat) {
    const int root = roots[(beat / 4) % 4];
    const uint8_t melody = static_cast<uint8_t>(72 + (beat * 5) % 12);
    event({0x90, melody, 96});
    if (beat % 4 == 0) {
      event({0x91, uint8_t(root + 12), 70});
      event({0x91, uint8_t(root + 16), 70});
      event({0x91, uint8_t(root + 19), 70});
    }
    event({0x92, uint8_t(root - 12), 90});
    event({0x99, uint8_t(beat % 2 ? 38 : 36), 100});
    event({0x99, 42, 80});
    pending = 480;
    event({0x80, melody, 0});
    event({0x82, uint8_t(root - 12), 0});
    if (beat % 4 == 3) {
      event({0x81, uint8_t(root + 12), 0});
      event({0x81, uint8_t(root + 16), 0});
      event({0x81, uint8_t(root + 19), 0});
    }
  }
  event({0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                            'M', 'T', 'r', 'k'};
  const uint32_t n = static_cast<uint32_t>(t.size());
  file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  file.insert(file.end(), t.begin(), t.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return path;
}

void BM_WavExport(benchmark::State& state) {
  if (!plat::CanRenderMidi()) {
    state.SkipWithError("no soundfont");
    return;
  }
  const fs::path midi = ThreeMinuteSong();
  for (auto _ : state) {
    if (!ConvertMidiToWav(midi, Folder() / "ours.wav")) state.SkipWithError("export failed");
  }
}
BENCHMARK(BM_WavExport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FluidsynthCommandLine(benchmark::State& state) {
  const fs::path font = plat::FindSoundFont();
  if (font.empty() || std::system("command -v fluidsynth >/dev/null 2>&1") != 0) {
    state.SkipWithError("no fluidsynth or soundfont");
    return;
  }
  const fs::path midi = ThreeMinuteSong();
  const std::string command = "fluidsynth -ni -q -r 44100 -F '" +
                              (Folder() / "theirs.wav").string() + "' '" + font.string() +
                              "' '" + midi.string() + "' >/dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("fluidsynth failed");
  }
}
BENCHMARK(BM_FluidsynthCommandLine)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
