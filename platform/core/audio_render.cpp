#include "platform/core/audio_render.h"

#include <fluidsynth.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/core/synth.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

// Longest audio rendered for one file: a bound against endless songs (looping players).
constexpr double kMaxSeconds = 3 * 3600;

struct Fluid {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  fluid_file_renderer_t* renderer = nullptr;
  ~Fluid() {
    if (renderer) delete_fluid_file_renderer(renderer);  // closes the file
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

fs::path TemporaryBeside(const fs::path& out) {
  std::string name = "." + out.filename().string() + ".part" + std::to_string(::getpid());
  return out.parent_path() / name;
}

}  // namespace

bool CanRenderMidi() { return !FindSoundFont().empty(); }

bool RenderMidiFile(const fs::path& midi, const fs::path& out, const RenderOptions& options,
                    std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::error_code ec;
  if (!fs::is_regular_file(midi, ec)) return fail("no MIDI file: " + midi.string());
  // The file renderer plays what it cannot read as silence: such a file is refused first.
  QuietSynthLog();
  if (!fluid_is_midifile(midi.c_str())) return fail("not a MIDI file: " + midi.string());
  fs::path font = options.soundfont.empty() ? FindSoundFont() : options.soundfont;
  if (font.empty() || !fs::is_regular_file(font, ec)) return fail("no General MIDI soundfont");
  if (options.sample_rate < 8000 || options.sample_rate > 192000)
    return fail("unsupported sample rate");
  fs::path temp = TemporaryBeside(out);

  bool ok = false;
  {
    Fluid f;
    f.settings = new_fluid_settings();
    if (!f.settings) return fail("cannot create the synthesizer's settings");
    fluid_settings_setnum(f.settings, "synth.sample-rate", options.sample_rate);
    fluid_settings_setnum(f.settings, "synth.gain", 0.5);
    fluid_settings_setint(f.settings, "synth.cpu-cores", 1);
    fluid_settings_setint(f.settings, "synth.lock-memory", 0);
    fluid_settings_setstr(f.settings, "player.timing-source", "sample");
    fluid_settings_setstr(f.settings, "audio.file.name", temp.c_str());
    fluid_settings_setstr(f.settings, "audio.file.type",
                          options.type == AudioFileType::kAiff ? "aiff" : "wav");
    fluid_settings_setstr(f.settings, "audio.file.format", "s16");
    f.synth = new_fluid_synth(f.settings);
    if (!f.synth) return fail("cannot create the synthesizer");
    if (fluid_synth_sfload(f.synth, font.c_str(), 1) == FLUID_FAILED)
      return fail("cannot load the soundfont " + font.string());
    f.player = new_fluid_player(f.synth);
    if (!f.player || fluid_player_add(f.player, midi.c_str()) != FLUID_OK)
      return fail("cannot read the MIDI file " + midi.string());
    f.renderer = new_fluid_file_renderer(f.synth);
    if (!f.renderer) {
      fs::remove(temp, ec);
      return fail("cannot write the audio file " + temp.string());
    }
    if (fluid_player_play(f.player) != FLUID_OK) {
      delete_fluid_file_renderer(f.renderer);
      f.renderer = nullptr;
      fs::remove(temp, ec);
      return fail("cannot play the MIDI file");
    }
    int period = 64;
    fluid_settings_getint(f.settings, "audio.period-size", &period);
    if (period <= 0) period = 64;
    double blocks_per_second = double(options.sample_rate) / period;
    long max_blocks = static_cast<long>(kMaxSeconds * blocks_per_second);
    long blocks = 0;
    ok = true;
    while (fluid_player_get_status(f.player) == FLUID_PLAYER_PLAYING) {
      if (fluid_file_renderer_process_block(f.renderer) != FLUID_OK || ++blocks > max_blocks) {
        ok = false;
        break;
      }
    }
    long tail = static_cast<long>(options.tail_ms / 1000.0 * blocks_per_second);
    for (long i = 0; ok && i < tail; ++i)
      if (fluid_file_renderer_process_block(f.renderer) != FLUID_OK) ok = false;
  }  // the renderer closes the file here
  if (!ok) {
    fs::remove(temp, ec);
    return fail("rendering failed");
  }
  int fd = options.durable ? ::open(temp.c_str(), O_RDONLY) : -1;
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  fs::rename(temp, out, ec);
  if (ec) {
    fs::remove(temp, ec);
    return fail("cannot rename the audio file to " + out.string());
  }
  return true;
}

}  // namespace plat
