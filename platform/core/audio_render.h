// Offline rendering of a Standard MIDI File to an audio file with the built-in synthesizer's
// General MIDI soundfont (FluidSynth's file renderer): 16-bit stereo PCM, as AIFF (FORM, COMM,
// then SSND, big-endian) or WAV. The file is written under a temporary name in the target's
// folder and renamed when complete.
#pragma once

#include <filesystem>
#include <string>

namespace plat {

enum class AudioFileType { kAiff, kWav };

struct RenderOptions {
  AudioFileType type = AudioFileType::kAiff;
  int sample_rate = 44100;
  int tail_ms = 2000;                 // rendered after the last event, for the notes' release
  std::filesystem::path soundfont;    // empty = FindSoundFont()
  // Flushed to the disk before it is renamed into place; an intermediate file that is read back
  // at once and deleted needs no flush.
  bool durable = true;
};

// True when rendering can work on this machine (a soundfont is there).
bool CanRenderMidi();

// Renders `midi` into `out`. On failure returns false with an explanation (UTF-8, for logs and
// for the caller's own message) in *error; `out` is then left as it was.
bool RenderMidiFile(const std::filesystem::path& midi, const std::filesystem::path& out,
                    const RenderOptions& options, std::string* error);

}  // namespace plat
