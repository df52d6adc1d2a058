#include "platform/core/audio_render.h"

#include <fluidsynth.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/core/synth.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

// Longest audio rendered for one file: a bound against endless songs (looping players).
constexpr double kMaxSeconds = 3 * 3600;
// The synthesizer renders this many frames at a time, and the player is asked after each whether
// the song has ended, so a song's audio ends on such a boundary.
constexpr int kBlockFrames = 64;
constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
// Samples reach the file in pieces of this size.
constexpr size_t kPieceBytes = 1 << 20;

struct Fluid {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  ~Fluid() {
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

fs::path TemporaryBeside(const fs::path& out) {
  std::string name = "." + out.filename().string() + ".part" + std::to_string(::getpid());
  return out.parent_path() / name;
}

void Be16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
void Be32(uint8_t* p, uint32_t v) {
  Be16(p, v >> 16);
  Be16(p + 2, v);
}
void Le16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Le32(uint8_t* p, uint32_t v) {
  Le16(p, v);
  Le16(p + 2, v >> 16);
}

// A whole sample rate as an 80-bit IEEE 754 extended number (big-endian), as COMM stores it.
void Extended(uint8_t* p, uint32_t rate) {
  uint64_t mantissa = rate;
  int exponent = 16383 + 63;
  while (mantissa && !(mantissa & (uint64_t(1) << 63))) {
    mantissa <<= 1;
    --exponent;
  }
  if (!mantissa) exponent = 0;
  Be16(p, uint32_t(exponent));
  Be32(p + 2, uint32_t(mantissa >> 32));
  Be32(p + 6, uint32_t(mantissa));
}

// A sample of the synthesizer's float output (full scale -1..1) as 16-bit PCM, as the
// synthesizer's own file writer makes it: rounded to a clipped 32-bit sample, whose top 16 bits
// are kept.
int16_t Pcm16(float x) {
  const double scaled = double(x) * 2147483648.0;
  if (scaled >= 2147483647.0) return 32767;
  if (scaled <= -2147483648.0) return -32768;
  return static_cast<int16_t>(static_cast<int32_t>(std::lrint(scaled)) >> 16);
}

// A 16-bit stereo sound file being written: a header whose sizes are filled in when it is
// closed, then the samples, gathered into large pieces.
class SoundFileOut {
 public:
  SoundFileOut(AudioFileType type, int rate) : type_(type), rate_(uint32_t(rate)) {
    pending_.reserve(kPieceBytes + kBlockFrames * kBytesPerFrame);
  }
  ~SoundFileOut() {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Open(const fs::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    pending_.assign(HeaderSize(), 0);
    return true;
  }

  // The frames that still fit under the formats' 32-bit sizes.
  uint64_t Room() const { return (kMaxData - data_) / kBytesPerFrame; }

  bool Add(const float* interleaved, int frames) {
    const size_t at = pending_.size();
    pending_.resize(at + size_t(frames) * kBytesPerFrame);
    uint8_t* p = pending_.data() + at;
    const bool big = type_ == AudioFileType::kAiff;
    for (int i = 0; i < frames * kChannels; ++i, p += 2) {
      const uint16_t v = static_cast<uint16_t>(Pcm16(interleaved[i]));
      p[big ? 0 : 1] = uint8_t(v >> 8);
      p[big ? 1 : 0] = uint8_t(v);
    }
    data_ += uint64_t(frames) * kBytesPerFrame;
    return pending_.size() < kPieceBytes || Flush();
  }

  // Writes what is pending and the header; the file is complete on true.
  bool Close() {
    if (!Flush()) return false;
    std::vector<uint8_t> header(HeaderSize());
    MakeHeader(header.data());
    bool ok = ::pwrite(fd_, header.data(), header.size(), 0) == ssize_t(header.size());
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok;
  }

 private:
  // The largest sample data whose chunk and file sizes still fit 32 bits.
  static constexpr uint64_t kMaxData = 0xFFFFFFFFull - 64;

  size_t HeaderSize() const { return type_ == AudioFileType::kAiff ? 54 : 44; }

  void MakeHeader(uint8_t* h) const {
    const uint32_t data = static_cast<uint32_t>(data_);
    const uint32_t frames = data / kBytesPerFrame;
    if (type_ == AudioFileType::kAiff) {
      std::copy_n("FORM", 4, h);
      Be32(h + 4, 46 + data);
      std::copy_n("AIFFCOMM", 8, h + 8);
      Be32(h + 16, 18);
      Be16(h + 20, kChannels);
      Be32(h + 22, frames);
      Be16(h + 26, 16);
      Extended(h + 28, rate_);
      std::copy_n("SSND", 4, h + 38);
      Be32(h + 42, 8 + data);
      Be32(h + 46, 0);  // offset
      Be32(h + 50, 0);  // block size
    } else {
      std::copy_n("RIFF", 4, h);
      Le32(h + 4, 36 + data);
      std::copy_n("WAVEfmt ", 8, h + 8);
      Le32(h + 16, 16);
      Le16(h + 20, 1);  // PCM
      Le16(h + 22, kChannels);
      Le32(h + 24, rate_);
      Le32(h + 28, rate_ * kBytesPerFrame);
      Le16(h + 32, kBytesPerFrame);
      Le16(h + 34, 16);
      std::copy_n("data", 4, h + 36);
      Le32(h + 40, data);
    }
  }

  bool Flush() {
    const uint8_t* p = pending_.data();
    size_t left = pending_.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += n;
      left -= size_t(n);
    }
    pending_.clear();
    return true;
  }

  AudioFileType type_;
  uint32_t rate_;
  int fd_ = -1;
  uint64_t data_ = 0;
  std::vector<uint8_t> pending_;
};

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
  // The player plays what it cannot read as silence: such a file is refused first.
  QuietSynthLog();
  if (!fluid_is_midifile(midi.c_str())) return fail("not a MIDI file: " + midi.string());
  fs::path font = options.soundfont.empty() ? FindSoundFont() : options.soundfont;
  if (font.empty() || !fs::is_regular_file(font, ec)) return fail("no General MIDI soundfont");
  if (options.sample_rate < 8000 || options.sample_rate > 192000)
    return fail("unsupported sample rate");
  const fs::path temp = TemporaryBeside(out);

  Fluid f;
  f.settings = new_fluid_settings();
  if (!f.settings) return fail("cannot create the synthesizer's settings");
  fluid_settings_setnum(f.settings, "synth.sample-rate", options.sample_rate);
  fluid_settings_setnum(f.settings, "synth.gain", 0.5);
  fluid_settings_setint(f.settings, "synth.cpu-cores", 1);
  fluid_settings_setint(f.settings, "synth.lock-memory", 0);
  fluid_settings_setstr(f.settings, "player.timing-source", "sample");
  f.synth = new_fluid_synth(f.settings);
  if (!f.synth) return fail("cannot create the synthesizer");
  if (fluid_synth_sfload(f.synth, font.c_str(), 1) == FLUID_FAILED)
    return fail("cannot load the soundfont " + font.string());
  f.player = new_fluid_player(f.synth);
  if (!f.player || fluid_player_add(f.player, midi.c_str()) != FLUID_OK)
    return fail("cannot read the MIDI file " + midi.string());
  SoundFileOut file(options.type, options.sample_rate);
  if (!file.Open(temp)) return fail("cannot write the audio file " + temp.string());
  auto drop = [&](const std::string& why) {
    fs::remove(temp, ec);
    return fail(why);
  };
  if (fluid_player_play(f.player) != FLUID_OK) return drop("cannot play the MIDI file");

  const uint64_t max_frames = static_cast<uint64_t>(kMaxSeconds * options.sample_rate);
  const uint64_t tail_frames =
      static_cast<uint64_t>(options.tail_ms / 1000.0 * options.sample_rate / kBlockFrames) *
      kBlockFrames;
  float block[kBlockFrames * kChannels];
  auto render = [&] {
    if (file.Room() < kBlockFrames) return false;
    if (fluid_synth_write_float(f.synth, kBlockFrames, block, 0, 2, block, 1, 2) != FLUID_OK)
      return false;
    return file.Add(block, kBlockFrames);
  };
  uint64_t frames = 0;
  while (fluid_player_get_status(f.player) == FLUID_PLAYER_PLAYING) {
    if (frames >= max_frames || !render()) return drop("rendering failed");
    frames += kBlockFrames;
  }
  for (uint64_t done = 0; done < tail_frames; done += kBlockFrames)
    if (!render()) return drop("rendering failed");
  if (!file.Close()) return drop("cannot write the audio file " + temp.string());

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
