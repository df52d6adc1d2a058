// WAV export of a three-minute song through the media library, against the synthesizer's own
// command-line renderer (`fluidsynth -F`) on the same MIDI file and soundfont in the same run.
// The song: a file of the planetblupi-music-midi package cut to three minutes.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "export/media_export.h"
#include "platform/core/audio_render.h"
#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "platform/core/synth.h"
#include "util/byte_cursor.h"

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

void Be32(std::vector<uint8_t>& out, uint32_t v) {
  out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

// The run's own folder, removed with what the run wrote there (two WAVs of 30 MB) at exit.
struct Scratch {
  fs::path path;
  Scratch() : path(fs::temp_directory_path() / ("cantrel-bench-export-" + std::to_string(getpid()))) {
    fs::create_directories(path);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

fs::path Folder() {
  static const Scratch scratch;
  return scratch.path;
}

// One event of a track: its absolute tick and its bytes with the status written out.
struct Event {
  uint64_t tick;
  std::vector<uint8_t> bytes;
};

std::vector<Event> ReadTrack(ByteReader in) {
  std::vector<Event> events;
  uint64_t tick = 0;
  uint8_t status = 0;
  while (!in.AtEnd() && in.ok()) {
    tick += in.VarLen();
    Event e{tick, {}};
    uint8_t first = in.Peek();
    if (first & 0x80) {
      in.U8();
      if (first < 0xF0) status = first;
    } else {
      first = status;  // running status
    }
    e.bytes.push_back(first);
    if (first == 0xFF) {
      e.bytes.push_back(in.U8());
      const uint32_t n = in.VarLen();
      VarLen(e.bytes, n);
      for (uint32_t i = 0; i < n && in.ok(); ++i) e.bytes.push_back(in.U8());
    } else if (first == 0xF0 || first == 0xF7) {
      const uint32_t n = in.VarLen();
      VarLen(e.bytes, n);
      for (uint32_t i = 0; i < n && in.ok(); ++i) e.bytes.push_back(in.U8());
    } else {
      const int data = (first & 0xE0) == 0xC0 ? 1 : 2;
      for (int i = 0; i < data; ++i) e.bytes.push_back(in.U8());
    }
    if (first == 0xFF && e.bytes[1] == 0x2F) break;
    events.push_back(std::move(e));
  }
  return events;
}

// The first music file of the game's soundtrack cut to three minutes: every track ends at the
// tick where the tempo map reaches 180 seconds, with its sounding notes ended there.
fs::path ThreeMinuteSong() {
  const fs::path path = Folder() / "song.mid";
  if (fs::exists(path)) return path;
  std::vector<uint8_t> file;
  if (!plat::ReadWholeFile("/usr/share/planetblupi/music/music000.mid", file)) return {};
  ByteReader in(file.data(), file.size());
  in.Skip(10);
  const uint16_t tracks = in.U16Be();
  const uint16_t division = in.U16Be();
  std::vector<std::vector<Event>> song;
  for (int t = 0; t < tracks && in.ok(); ++t) {
    in.Skip(4);
    const uint32_t length = in.U32Be();
    song.push_back(ReadTrack(in.Sub(length)));
  }
  std::map<uint64_t, uint32_t> tempi{{0, 500000}};
  for (const auto& track : song)
    for (const Event& e : track)
      if (e.bytes.size() == 6 && e.bytes[0] == 0xFF && e.bytes[1] == 0x51)
        tempi[e.tick] = (uint32_t(e.bytes[3]) << 16) | (e.bytes[4] << 8) | e.bytes[5];
  double seconds = 0;
  uint64_t cut = 0;
  for (auto it = tempi.begin(); it != tempi.end(); ++it) {
    const double per_tick = it->second / 1e6 / division;
    const auto next = std::next(it);
    const double span = next == tempi.end() ? 1e12 : (next->first - it->first) * per_tick;
    if (seconds + span >= 180) {
      cut = it->first + static_cast<uint64_t>((180 - seconds) / per_tick);
      break;
    }
    seconds += span;
  }
  std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  out.insert(out.end(), {uint8_t(song.size() >> 8), uint8_t(song.size()),
                         uint8_t(division >> 8), uint8_t(division)});
  for (const auto& track : song) {
    std::vector<uint8_t> t;
    uint64_t last = 0;
    for (const Event& e : track) {
      if (e.tick >= cut) break;
      VarLen(t, static_cast<uint32_t>(e.tick - last));
      last = e.tick;
      t.insert(t.end(), e.bytes.begin(), e.bytes.end());
    }
    VarLen(t, static_cast<uint32_t>(cut - last));
    for (uint8_t channel = 0; channel < 16; ++channel) {
      t.insert(t.end(), {uint8_t(0xB0 | channel), 123, 0, 0});  // all notes off
    }
    t.insert(t.end(), {0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Be32(out, static_cast<uint32_t>(t.size()));
    out.insert(out.end(), t.begin(), t.end());
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  return path;
}

void BM_WavExport(benchmark::State& state) {
  if (!plat::CanRenderMidi()) {
    state.SkipWithError("no soundfont");
    return;
  }
  const fs::path midi = ThreeMinuteSong();
  if (midi.empty()) {
    state.SkipWithError("no planetblupi-music-midi");
    return;
  }
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
  if (midi.empty()) {
    state.SkipWithError("no planetblupi-music-midi");
    return;
  }
  const std::string command = "fluidsynth -ni -q -r 44100 -F '" +
                              (Folder() / "theirs.wav").string() + "' '" + font.string() +
                              "' '" + midi.string() + "' >/dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("fluidsynth failed");
  }
}
BENCHMARK(BM_FluidsynthCommandLine)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
