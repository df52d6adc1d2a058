#include "platform/core/synth.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <mutex>

#include "platform/core/timer_thread.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

const char* const kSoundFontFolder = "/usr/share/sounds/sf2";

std::mutex g_font_mutex;
fs::path g_font_setting;

// FluidSynth's log goes nowhere (its errors reach the user through our own texts); the last
// error is kept for those texts.
std::mutex g_log_mutex;
std::string g_last_log;

void QuietLog(int level, const char* message, void* /*data*/) {
  if (level > FLUID_WARN || !message) return;
  std::lock_guard<std::mutex> g(g_log_mutex);
  g_last_log = message;
}

// ALSA's library prints its own errors (a machine without a sound card) unless told otherwise;
// it is loaded with FluidSynth, so its handler is looked up rather than linked.
void QuietAlsa(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
               const char* /*fmt*/, ...) {}

}  // namespace

void QuietSynthLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, QuietLog, nullptr);
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (void* sym = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
      reinterpret_cast<SetHandler>(sym)(QuietAlsa);
  });
}

namespace {

std::string LastLog() {
  std::lock_guard<std::mutex> g(g_log_mutex);
  return g_last_log;
}

// ---- the shared live synthesizer ----

struct SharedSynth {
  std::mutex mutex;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_audio_driver_t* driver = nullptr;
  bool font_failed = false;
  std::string font_error;
  int open_ports = 0;
};

SharedSynth& Shared() {
  // Lives for the whole process: the audio driver's thread must not outlive a destroyed synth.
  static SharedSynth* s = new SharedSynth;
  return *s;
}

class SharedSynthPort : public MidiOutPort {
 public:
  explicit SharedSynthPort(fluid_synth_t* synth) : synth_(synth) {}
  ~SharedSynthPort() override {
    SharedSynth& s = Shared();
    std::lock_guard<std::mutex> g(s.mutex);
    --s.open_ports;
  }
  int Send(const uint8_t* bytes, size_t length) override {
    return SendToFluidSynth(synth_, bytes, length);
  }
  int Reset() override {
    fluid_synth_all_notes_off(synth_, -1);
    return kMidiOk;
  }

 private:
  fluid_synth_t* synth_;
};

fluid_settings_t* NewSettings(int sample_rate) {
  fluid_settings_t* settings = new_fluid_settings();
  if (!settings) return nullptr;
  fluid_settings_setnum(settings, "synth.sample-rate", sample_rate);
  fluid_settings_setnum(settings, "synth.gain", 0.5);
  fluid_settings_setint(settings, "synth.midi-channels", 16);
  return settings;
}

}  // namespace

void SetSoundFontPath(const fs::path& path) {
  {
    std::lock_guard<std::mutex> g(g_font_mutex);
    g_font_setting = path;
  }
  // A soundfont that could not be loaded is tried again with the new setting (one that did load
  // stays: the synthesizer is loaded once).
  SharedSynth& s = Shared();
  std::lock_guard<std::mutex> g(s.mutex);
  s.font_failed = false;
  s.font_error.clear();
}

fs::path FindSoundFont() {
  fs::path setting;
  {
    std::lock_guard<std::mutex> g(g_font_mutex);
    setting = g_font_setting;
  }
  std::error_code ec;
  if (!setting.empty() && fs::is_regular_file(setting, ec)) return setting;
  for (const char* name : {"FluidR3_GM.sf2", "TimGM6mb.sf2", "default-GM.sf2"}) {
    fs::path p = fs::path(kSoundFontFolder) / name;
    if (fs::is_regular_file(p, ec)) return p;
  }
  return {};
}

int SendToFluidSynth(void* fluid_synth, const uint8_t* b, size_t n) {
  auto* synth = static_cast<fluid_synth_t*>(fluid_synth);
  if (!synth) return kMidiNotOpen;
  int check = CheckMidiMessage(b, n);
  if (check != kMidiOk) return check;
  int status = b[0] & 0xF0;
  int ch = b[0] & 0x0F;
  int d1 = n > 1 ? b[1] : 0;
  int d2 = n > 2 ? b[2] : 0;
  switch (status) {
    case 0x80: fluid_synth_noteoff(synth, ch, d1); break;
    case 0x90:
      if (d2 == 0)
        fluid_synth_noteoff(synth, ch, d1);
      else
        fluid_synth_noteon(synth, ch, d1, d2);
      break;
    case 0xA0: fluid_synth_key_pressure(synth, ch, d1, d2); break;
    case 0xB0: fluid_synth_cc(synth, ch, d1, d2); break;
    case 0xC0: fluid_synth_program_change(synth, ch, d1); break;
    case 0xD0: fluid_synth_channel_pressure(synth, ch, d1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, ch, d1 | (d2 << 7)); break;
    case 0xF0:
      if (b[0] == 0xF0 && n >= 2) {
        // FluidSynth takes the message without its F0 and F7.
        fluid_synth_sysex(synth, reinterpret_cast<const char*>(b + 1), static_cast<int>(n - 2),
                          nullptr, nullptr, nullptr, 0);
      }
      break;
    default: break;
  }
  return kMidiOk;
}

std::unique_ptr<MidiOutPort> OpenSharedSynth(int* result, std::string* text) {
  QuietSynthLog();
  SharedSynth& s = Shared();
  std::lock_guard<std::mutex> g(s.mutex);
  auto fail = [&](const std::string& why) -> std::unique_ptr<MidiOutPort> {
    if (result) *result = kMidiError;
    if (text) *text = why;
    return nullptr;
  };
  if (!s.synth) {
    if (s.font_failed) return fail(s.font_error);
    fs::path font = FindSoundFont();
    if (font.empty()) {
      s.font_failed = true;
      s.font_error =
          "音色ファイル（サウンドフォント .sf2）が見つかりません。"
          "fluid-soundfont-gm をインストールするか、設定で .sf2 ファイルを指定してください。";
      return fail(s.font_error);
    }
    s.settings = NewSettings(44100);
    s.synth = s.settings ? new_fluid_synth(s.settings) : nullptr;
    if (!s.synth || fluid_synth_sfload(s.synth, font.c_str(), 1) == FLUID_FAILED) {
      if (s.synth) delete_fluid_synth(s.synth);
      if (s.settings) delete_fluid_settings(s.settings);
      s.synth = nullptr;
      s.settings = nullptr;
      s.font_failed = true;
      s.font_error = "音色ファイル（サウンドフォント）を読み込めませんでした。";
      return fail(s.font_error);
    }
  }
  if (!s.driver) {
    // Every driver fails at once when its server or device is missing; try them in turn.
    for (const char* name : {"pulseaudio", "pipewire", "alsa"}) {
      if (fluid_settings_setstr(s.settings, "audio.driver", name) != FLUID_OK) continue;
      s.driver = new_fluid_audio_driver(s.settings, s.synth);
      if (s.driver) break;
    }
    if (!s.driver) {
      return fail(
          "音声出力装置を開けませんでした（PulseAudio、PipeWire、ALSA のどれも使えません）。"
          "サウンドの設定を確認するか、MIDI出力に別のデバイスを選んでください。");
    }
  }
  ++s.open_ports;
  if (result) *result = kMidiOk;
  return std::make_unique<SharedSynthPort>(s.synth);
}

bool SharedSynthLoaded() {
  SharedSynth& s = Shared();
  std::lock_guard<std::mutex> g(s.mutex);
  return s.synth != nullptr;
}

// ---- OfflineSynthOut ----

OfflineSynthOut::OfflineSynthOut(const fs::path& soundfont, int sample_rate, TimerClock* clock)
    : rate_(sample_rate), clock_(clock ? clock : &CurrentTimerClock()) {
  QuietSynthLog();
  start_ = clock_->Now();
  fs::path font = soundfont.empty() ? FindSoundFont() : soundfont;
  if (font.empty()) {
    error_ = "no soundfont";
    return;
  }
  auto* settings = NewSettings(sample_rate);
  if (!settings) {
    error_ = "no settings";
    return;
  }
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  auto* synth = new_fluid_synth(settings);
  if (!synth || fluid_synth_sfload(synth, font.c_str(), 1) == FLUID_FAILED) {
    error_ = "cannot load " + font.string() + ": " + LastLog();
    if (synth) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return;
  }
  settings_ = settings;
  synth_ = synth;
}

OfflineSynthOut::~OfflineSynthOut() {
  if (synth_) delete_fluid_synth(static_cast<fluid_synth_t*>(synth_));
  if (settings_) delete_fluid_settings(static_cast<fluid_settings_t*>(settings_));
}

void OfflineSynthOut::RenderUntilMs(int64_t ms) {
  if (!synth_) return;
  int64_t target = ms * rate_ / 1000;
  int64_t have = FrameCount();
  if (target <= have) return;
  samples_.resize(static_cast<size_t>(target) * 2);
  int64_t pos = have;
  while (pos < target) {
    int len = static_cast<int>(std::min<int64_t>(target - pos, 4096));
    int16_t* out = samples_.data() + pos * 2;
    fluid_synth_write_s16(static_cast<fluid_synth_t*>(synth_), len, out, 0, 2, out, 1, 2);
    pos += len;
  }
}

void OfflineSynthOut::RenderToNow() {
  auto elapsed = clock_->Now() - start_;
  RenderUntilMs(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void OfflineSynthOut::Restart() {
  samples_.clear();
  start_ = clock_->Now();
}

int OfflineSynthOut::Send(const uint8_t* bytes, size_t length) {
  if (!synth_) return kMidiNotOpen;
  RenderToNow();
  return SendToFluidSynth(synth_, bytes, length);
}

int OfflineSynthOut::Reset() {
  if (!synth_) return kMidiNotOpen;
  RenderToNow();
  fluid_synth_all_notes_off(static_cast<fluid_synth_t*>(synth_), -1);
  return kMidiOk;
}

}  // namespace plat
