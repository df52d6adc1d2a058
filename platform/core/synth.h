// The built-in software synthesizer: FluidSynth with a General MIDI soundfont.
//
// One live synthesizer plays through the desktop's audio server (PulseAudio, PipeWire or ALSA);
// it is loaded on first use and shared by every port opened on it (the song player and the note
// audition). An offline synthesizer of its own renders into memory instead, timed by a
// TimerClock, for tests and for rendering files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/midi_devices.h"

namespace plat {

class TimerClock;

// The soundfont the settings name; empty = Debian's General MIDI soundfonts. After a failed load
// the shared synthesizer tries again with it at its next open.
void SetSoundFontPath(const std::filesystem::path& path);
// The soundfont that will be loaded: the settings' one when it exists, else FluidR3_GM.sf2, else
// TimGM6mb.sf2 (then default-GM.sf2) from /usr/share/sounds/sf2; empty when there is none.
std::filesystem::path FindSoundFont();

// Opens a port on the shared live synthesizer. On failure (no soundfont, no audio output) returns
// nullptr with *result = kMidiError and a CP932 explanation in *text. Never blocks for long:
// every audio driver fails at once when its server or device is missing.
std::unique_ptr<MidiOutPort> OpenSharedSynth(int* result, std::string* text);
// True once the shared synthesizer has been loaded (its soundfont is loaded only once).
bool SharedSynthLoaded();

// FluidSynth's and ALSA's own messages go nowhere (they reach the user through our own texts).
void QuietSynthLog();

// Sends one MIDI message to a FluidSynth synthesizer (fluid_synth_t*). Returns a MidiResult.
int SendToFluidSynth(void* fluid_synth, const uint8_t* bytes, size_t length);

// A synthesizer of its own whose audio goes into memory: interleaved stereo 16-bit samples at
// `sample_rate`. Each message is applied at the time of `clock` when it arrives; the audio up
// to that time is rendered first, so the samples follow the timing of the messages exactly.
class OfflineSynthOut : public MidiOutPort {
 public:
  // An empty path takes FindSoundFont(). Check Ok() afterwards.
  explicit OfflineSynthOut(const std::filesystem::path& soundfont = {}, int sample_rate = 44100,
                           TimerClock* clock = nullptr);
  ~OfflineSynthOut() override;
  OfflineSynthOut(const OfflineSynthOut&) = delete;
  OfflineSynthOut& operator=(const OfflineSynthOut&) = delete;

  bool Ok() const { return synth_ != nullptr; }
  const std::string& Error() const { return error_; }

  int Send(const uint8_t* bytes, size_t length) override;
  int Reset() override;

  // Renders the audio up to `ms` milliseconds after the start (the time of construction, or of
  // Restart). Does nothing for a time already rendered.
  void RenderUntilMs(int64_t ms);
  // Renders up to the clock's present time.
  void RenderToNow();
  // Forgets the audio and counts time from now.
  void Restart();
  const std::vector<int16_t>& Samples() const { return samples_; }
  int SampleRate() const { return rate_; }
  int64_t FrameCount() const { return static_cast<int64_t>(samples_.size() / 2); }

 private:
  void* settings_ = nullptr;  // fluid_settings_t*
  void* synth_ = nullptr;     // fluid_synth_t*
  int rate_;
  TimerClock* clock_;
  Clock::TimePoint start_;
  std::vector<int16_t> samples_;
  std::string error_;
};

}  // namespace plat
