#include "export/wav_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "util/byte_cursor.h"

namespace {

// Chunks the reader passes over between the format chunk and the samples.
constexpr const char* kSkippedIds[] = {"PAD ", "bext", "minf", "elm1", "vphd", "sav1",
                                       "pad ", "elmo", "regn", "ovwf", "umid"};

bool IsSkippedId(const std::string& id) {
  for (const char* s : kSkippedIds)
    if (id == s) return true;
  return false;
}

int16_t Clamp16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
}

int16_t Get16(const std::vector<uint8_t>& s, size_t i) {
  return static_cast<int16_t>(s[2 * i] | (s[2 * i + 1] << 8));
}

void Put16(std::vector<uint8_t>& s, size_t i, int64_t v) {
  const uint16_t u = static_cast<uint16_t>(Clamp16(v));
  s[2 * i] = static_cast<uint8_t>(u & 0xFF);
  s[2 * i + 1] = static_cast<uint8_t>(u >> 8);
}

// A chunk header read at the cursor: its id and its size; false when the header is cut short.
struct ChunkHeader {
  std::string id;
  uint32_t size = 0;
};

bool ReadChunkHeader(ByteReader& in, ChunkHeader* h) {
  if (in.remaining() < 8) return false;
  h->id = in.Text(4);
  h->id.resize(4, '\0');
  h->size = in.U32Le();
  return true;
}

// Moves past a chunk's data and its pad byte; false when the data runs past the end.
bool SkipChunkData(ByteReader& in, uint32_t size) {
  const uint64_t step = uint64_t(size) + (size & 1u);
  if (step > in.remaining()) {
    // The pad byte of the file's last chunk may be missing.
    if (size <= in.remaining()) {
      in.Seek(in.size());
      return true;
    }
    return false;
  }
  in.Skip(static_cast<size_t>(step));
  return true;
}

}  // namespace

WavFormat WavFormat::Pcm(int channels, uint32_t sample_rate, int bits) {
  WavFormat f;
  f.format_tag = 1;
  f.channels = static_cast<uint16_t>(channels);
  f.sample_rate = sample_rate;
  f.block_align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  f.byte_rate = f.block_align * sample_rate;
  f.bits_per_sample = static_cast<uint16_t>(bits);
  return f;
}

void ShowWavError(int code) {
  const char* text = "";
  switch (code) {
    case 0: text = "ファイルが見つかりませんでした。"; break;
    case 1: text = "不明なタグが検出されました。"; break;
    case 2: text = "ファイルが開けませんでした。"; break;
    case 3: text = "フォーマットが違う音声ファイルを処理しようとしました。"; break;
    case 4: text = "ビット数を変更しました。"; break;
    default: break;
  }
  plat::ShowBox(plat::BoxKind::Message, text);
}

void WavData::ShowTagError(int mode, const std::string& word) {
  const char* text = mode == 1 ? "不明なタグが検出されました。処理は継続可能です。" : "";
  plat::ShowBox(plat::BoxKind::Message, std::string(text) + " [" + word + "]");
}

WavData::WavData(const WavFormat& format, const void* samples, uint32_t frames) {
  format_ = format;
  const uint64_t bytes = uint64_t(format.channels) * format.bits_per_sample * frames / 8;
  if (bytes > kMaxBytes || (bytes > 0 && samples == nullptr)) {
    ShowWavError(0);
    return;
  }
  const uint8_t* p = static_cast<const uint8_t*>(samples);
  samples_.assign(p, p + bytes);
  loaded_ = true;
}

WavData::WavData(const std::filesystem::path& path) { LoadFile(path); }

WavData::WavData(const void* image, size_t size) {
  ParseImage(static_cast<const uint8_t*>(image), size, false);
}

WavData::WavData(const WavData& other, uint32_t first_frame, uint32_t end_frame) {
  format_ = other.format_;
  const uint32_t frames = other.Frames();
  if (end_frame == 0 || end_frame > frames) end_frame = frames;
  if (first_frame > end_frame) first_frame = end_frame;
  const size_t align = format_.block_align;
  samples_.assign(other.samples_.begin() + size_t(first_frame) * align,
                  other.samples_.begin() + size_t(end_frame) * align);
  loaded_ = other.loaded_;
}

WavData WavData::Silence(uint32_t ms, int channels, uint32_t sample_rate, int bits) {
  WavData w;
  w.format_ = WavFormat::Pcm(channels, sample_rate, bits);
  const uint64_t frames = uint64_t(ms) * sample_rate / 1000;
  const uint64_t bytes = frames * w.format_.block_align;
  if (bytes > kMaxBytes) {
    ShowWavError(3);
    return w;
  }
  // Silence is the middle of the range: 128 for unsigned 8-bit samples, 0 otherwise.
  w.samples_.assign(bytes, bits == 8 ? 0x80 : 0x00);
  w.loaded_ = true;
  return w;
}

uint32_t WavData::Frames() const {
  return format_.block_align ? static_cast<uint32_t>(samples_.size() / format_.block_align) : 0;
}

uint32_t WavData::GetSamples(void* destination, size_t capacity) const {
  const size_t n = std::min(capacity, samples_.size());
  if (n) std::memcpy(destination, samples_.data(), n);
  return static_cast<uint32_t>(samples_.size());
}

void WavData::SetData(const void* samples, uint32_t byte_count, const WavFormat& format) {
  format_ = format;
  const uint8_t* p = static_cast<const uint8_t*>(samples);
  samples_.assign(p, p + (p ? byte_count : 0));
  loaded_ = true;
}

bool WavData::LoadFile(const std::filesystem::path& path) {
  samples_.clear();
  loaded_ = false;
  std::vector<uint8_t> file;
  if (!plat::ReadWholeFile(path, file)) {
    ShowWavError(0);
    return false;
  }
  return ParseImage(file.data(), file.size(), true);
}

bool WavData::LoadImage(const void* image, size_t size) {
  return ParseImage(static_cast<const uint8_t*>(image), size, true);
}

bool WavData::ParseImage(const uint8_t* data, size_t size, bool scan_chunks) {
  samples_.clear();
  loaded_ = false;
  ByteReader in(data, size);
  ChunkHeader h;
  if (!ReadChunkHeader(in, &h) || h.id != "RIFF") {
    ShowTagError(1, "RIFF");
    return false;
  }
  if (in.Text(4) != "WAVE" || !in.ok()) {
    ShowTagError(1, "WAVE");
    return false;
  }

  if (scan_chunks) {
    for (const char* id : {"PAD ", "bext", "minf", "elm1"}) {
      ByteReader peek = in;
      if (ReadChunkHeader(peek, &h) && h.id == id) {
        in = peek;
        if (!SkipChunkData(in, h.size)) {
          ShowTagError(1, id);
          return false;
        }
      }
    }
  }
  if (!ReadChunkHeader(in, &h) || h.id != "fmt " || h.size < 16 || h.size > in.remaining()) {
    ShowTagError(1, "fmt ");
    return false;
  }
  {
    ByteReader fmt = in.Sub(h.size);
    format_.format_tag = fmt.U16Le();
    format_.channels = fmt.U16Le();
    format_.sample_rate = fmt.U32Le();
    format_.byte_rate = fmt.U32Le();
    format_.block_align = fmt.U16Le();
    format_.bits_per_sample = fmt.U16Le();
    if (h.size & 1u) in.Skip(std::min<size_t>(1, in.remaining()));
  }

  if (scan_chunks) {
    ByteReader peek = in;
    if (ReadChunkHeader(peek, &h) && h.id == "fact") {
      if (h.size != 4 || !SkipChunkData(peek, h.size)) {
        ShowTagError(1, "fact");
        return false;
      }
      in = peek;
    }
    while (true) {
      peek = in;
      if (!ReadChunkHeader(peek, &h) || !IsSkippedId(h.id)) break;
      if (!SkipChunkData(peek, h.size)) break;
      in = peek;
    }
  }
  while (true) {
    if (!ReadChunkHeader(in, &h)) {
      ShowTagError(1, "data");
      return false;
    }
    if (h.id == "data") break;
    if (!scan_chunks) {
      ShowTagError(1, "data");
      return false;
    }
    ShowTagError(1, h.id);
    if (!SkipChunkData(in, h.size)) {
      ShowTagError(1, "data");
      return false;
    }
  }
  if (h.size > in.remaining()) {
    ShowTagError(1, "data");
    return false;
  }
  samples_.assign(in.Here(), in.Here() + h.size);
  loaded_ = true;
  return true;
}

void WavData::WriteHeader(const WavFormat& format, uint32_t sample_bytes, uint8_t* out_bytes) {
  ByteWriter out(out_bytes, kHeaderSize);
  out.Bytes("RIFF", 4);
  out.U32Le(sample_bytes + 36);
  out.Bytes("WAVE", 4);
  out.Bytes("fmt ", 4);
  out.U32Le(16);
  out.U16Le(format.format_tag);
  out.U16Le(format.channels);
  out.U32Le(format.sample_rate);
  out.U32Le(format.byte_rate);
  out.U16Le(format.block_align);
  out.U16Le(format.bits_per_sample);
  out.Bytes("data", 4);
  out.U32Le(sample_bytes);
}

std::vector<uint8_t> WavData::BuildFileImage() const {
  std::vector<uint8_t> image(kHeaderSize + samples_.size());
  WriteHeader(format_, static_cast<uint32_t>(samples_.size()), image.data());
  if (!samples_.empty())
    std::memcpy(image.data() + kHeaderSize, samples_.data(), samples_.size());
  return image;
}

bool WavData::SaveImage(const std::filesystem::path& path, const std::vector<uint8_t>& image) {
  if (!plat::WriteFileAtomic(path, image)) {
    ShowWavError(2);
    return false;
  }
  return true;
}

bool WavData::SaveFile(const std::filesystem::path& path) const {
  if (samples_.size() > kMaxBytes) {
    ShowWavError(2);
    return false;
  }
  return SaveImage(path, BuildFileImage());
}

bool WavData::SamplesFit(uint64_t bytes) const {
  if (bytes > kMaxBytes) {
    ShowWavError(3);
    return false;
  }
  return true;
}

void WavData::SetSampleBytes(std::vector<uint8_t> bytes) { samples_ = std::move(bytes); }

void WavData::ChangeBits(int target_bits) {
  if (format_.bits_per_sample == 8 && target_bits == 16)
    To16Bit();
  else if (format_.bits_per_sample == 16 && target_bits == 8)
    To8Bit();
}

void WavData::To8Bit() {
  if (format_.bits_per_sample != 16) return;
  const size_t n = samples_.size() / 2;
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(samples_[2 * i + 1] + 128);
  SetSampleBytes(std::move(out));
  format_.bits_per_sample = 8;
  format_.byte_rate /= 2;
  format_.block_align /= 2;
}

void WavData::To16Bit() {
  if (format_.bits_per_sample != 8) return;
  if (!SamplesFit(uint64_t(samples_.size()) * 2)) return;
  const size_t n = samples_.size();
  std::vector<uint8_t> out(2 * n);
  for (size_t i = 0; i < n; ++i) Put16(out, i, (int(samples_[i]) - 128) * 256);
  SetSampleBytes(std::move(out));
  format_.bits_per_sample = 16;
  format_.byte_rate *= 2;
  format_.block_align *= 2;
}

void WavData::From24Bit() {
  if (format_.bits_per_sample != 24) return;
  const size_t n = samples_.size() / 3;
  std::vector<uint8_t> out(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = samples_[3 * i + 1];
    out[2 * i + 1] = samples_[3 * i + 2];
  }
  SetSampleBytes(std::move(out));
  format_.bits_per_sample = 16;
  format_.byte_rate = static_cast<uint32_t>(uint64_t(format_.byte_rate) * 2 / 3);
  format_.block_align = static_cast<uint16_t>(format_.block_align * 2 / 3);
}

void WavData::ToStereo() {
  if (format_.channels != 1) return;
  if (!SamplesFit(uint64_t(samples_.size()) * 2)) return;
  const size_t width = format_.bits_per_sample == 8 ? 1 : 2;
  const size_t n = samples_.size() / width;
  std::vector<uint8_t> out(2 * n * width);
  for (size_t i = 0; i < n; ++i)
    for (size_t c = 0; c < 2; ++c)
      std::memcpy(&out[(2 * i + c) * width], &samples_[i * width], width);
  SetSampleBytes(std::move(out));
  format_.channels = 2;
  format_.byte_rate *= 2;
  format_.block_align *= 2;
}

void WavData::ToMono() {
  if (format_.channels != 2) return;
  std::vector<uint8_t> out;
  if (format_.bits_per_sample == 8) {
    const size_t n = samples_.size() / 2;
    out.resize(n);
    for (size_t i = 0; i < n; ++i)
      out[i] = static_cast<uint8_t>(((samples_[2 * i] - 128) + (samples_[2 * i + 1] - 128)) / 2 +
                                    128);
  } else {
    const size_t n = samples_.size() / 4;
    out.resize(2 * n);
    for (size_t i = 0; i < n; ++i)
      Put16(out, i, (int(Get16(samples_, 2 * i)) + Get16(samples_, 2 * i + 1)) / 2);
  }
  SetSampleBytes(std::move(out));
  format_.channels = 1;
  format_.byte_rate /= 2;
  format_.block_align /= 2;
}

void WavData::Resample(uint32_t new_rate) {
  if (format_.channels != 1 && format_.channels != 2) {
    ShowTagError(1, "channels");
    return;
  }
  if (format_.bits_per_sample != 8 && format_.bits_per_sample != 16) {
    ShowTagError(1, "bitswidth");
    return;
  }
  if (new_rate == format_.sample_rate || format_.sample_rate == 0 || new_rate == 0) return;
  const double ratio = double(new_rate) / format_.sample_rate;
  const size_t align = format_.block_align ? format_.block_align : 1;
  const double wanted = std::floor(double(samples_.size()) * ratio);
  if (!SamplesFit(static_cast<uint64_t>(wanted))) return;
  const size_t new_bytes = static_cast<size_t>(wanted) / align * align;
  const size_t channels = format_.channels;
  const bool eight = format_.bits_per_sample == 8;
  const size_t old_frames = Frames();
  const size_t new_frames = new_bytes / align;
  // 8-bit samples are unsigned around 128: they are interpolated as such, and silence is 128.
  auto sample = [&](size_t frame, size_t c) -> int {
    return eight ? int(samples_[frame * channels + c]) : Get16(samples_, frame * channels + c);
  };
  std::vector<uint8_t> out(new_bytes);
  for (size_t i = 0; i < new_frames; ++i) {
    const double position = double(i) / ratio;
    const size_t k = static_cast<size_t>(position);
    for (size_t c = 0; c < channels; ++c) {
      int v = eight ? 128 : 0;
      if (k + 1 < old_frames) {
        const int a = sample(k, c), b = sample(k + 1, c);
        v = a + static_cast<int>((b - a) * (position - double(k)));
      }
      if (eight)
        out[i * channels + c] = static_cast<uint8_t>(std::clamp(v, 0, 255));
      else
        Put16(out, i * channels + c, v);
    }
  }
  SetSampleBytes(std::move(out));
  format_.byte_rate = static_cast<uint32_t>(format_.byte_rate * ratio);
  format_.sample_rate = new_rate;
}

bool WavData::Append(const WavData& other) {
  if (format_.bits_per_sample != 16 || format_.channels != 1 ||
      other.format_.bits_per_sample != 16 || other.format_.channels != 1 ||
      other.format_.sample_rate != format_.sample_rate) {
    ShowWavError(3);
    return false;
  }
  if (!SamplesFit(uint64_t(samples_.size()) + other.samples_.size())) return false;
  samples_.insert(samples_.end(), other.samples_.begin(), other.samples_.end());
  return true;
}

bool WavData::MixFile(const std::filesystem::path& path, uint32_t position_ms, bool overwrite) {
  WavData other;
  if (!other.LoadFile(path)) return false;
  return Mix(std::move(other), position_ms, overwrite);
}

bool WavData::Mix(WavData other, uint32_t position_ms, bool overwrite) {
  // Channels: the other sound takes this sound's count.
  if (other.format_.channels != format_.channels) {
    if (other.format_.channels == 1 && format_.channels == 2)
      other.ToStereo();
    else if (other.format_.channels == 2 && format_.channels == 1)
      other.ToMono();
    else {
      ShowWavError(3);
      return false;
    }
  }
  // Bits: likewise.
  if (other.format_.bits_per_sample != format_.bits_per_sample) {
    const int ob = other.format_.bits_per_sample;
    if (format_.bits_per_sample == 16 && ob == 8) {
      other.To16Bit();
    } else if (format_.bits_per_sample == 16 && ob == 24) {
      other.From24Bit();
    } else if (format_.bits_per_sample == 8 && ob == 16) {
      other.To8Bit();
    } else if (format_.bits_per_sample == 8 && ob == 24) {
      other.From24Bit();
      other.To8Bit();
    } else {
      ShowWavError(3);
      return false;
    }
  }
  if (other.format_.sample_rate != format_.sample_rate) other.Resample(format_.sample_rate);
  if (other.format_.bits_per_sample != format_.bits_per_sample ||
      other.format_.channels != format_.channels ||
      other.format_.sample_rate != format_.sample_rate) {
    ShowWavError(3);
    return false;
  }

  const uint64_t start = uint64_t(format_.sample_rate) * position_ms / 1000 *
                         (format_.bits_per_sample / 8) * format_.channels;
  if (start >= samples_.size()) return true;
  const size_t length =
      static_cast<size_t>(std::min<uint64_t>(other.samples_.size(), samples_.size() - start));
  uint8_t* dst = samples_.data() + start;
  const uint8_t* src = other.samples_.data();
  if (overwrite) {
    if (length) std::memcpy(dst, src, length);
  } else if (format_.bits_per_sample == 8) {
    for (size_t i = 0; i < length; ++i)
      dst[i] = static_cast<uint8_t>(std::clamp((dst[i] - 128) + (src[i] - 128) + 128, 0, 255));
  } else {
    for (size_t i = 0; i + 1 < length; i += 2) {
      const int a = static_cast<int16_t>(dst[i] | (dst[i + 1] << 8));
      const int b = static_cast<int16_t>(src[i] | (src[i + 1] << 8));
      const uint16_t u = static_cast<uint16_t>(Clamp16(a + b));
      dst[i] = static_cast<uint8_t>(u & 0xFF);
      dst[i + 1] = static_cast<uint8_t>(u >> 8);
    }
  }
  return true;
}

void WavData::AddEcho(double delay_seconds, double level, int repeats) {
  if (format_.bits_per_sample == 8) {
    ShowWavError(1);
    return;
  }
  if (format_.channels != 1 && format_.channels != 2) {
    ShowTagError(1, "channels");
    return;
  }
  if (format_.bits_per_sample != 16) {
    ShowTagError(1, "bitswidth");
    return;
  }
  const size_t channels = format_.channels;
  const double fps = double(format_.byte_rate) / channels / 2;
  const double d = fps * delay_seconds;
  if (!(d >= 0) || d > double(kMaxBytes)) return;
  const size_t delay = static_cast<size_t>(d);
  const size_t frames = Frames();
  if (!SamplesFit((uint64_t(frames) + delay) * channels * 2)) return;
  const size_t total = frames + delay;
  std::vector<int64_t> mix(total * channels, 0);
  for (size_t i = 0; i < frames * channels; ++i) mix[i] = Get16(samples_, i) / 2;
  for (size_t n = 0; n < frames; ++n)
    for (int k = 1; k <= repeats; ++k) {
      const size_t to = n + size_t(k) * delay;
      if (to >= total) break;
      for (size_t c = 0; c < channels; ++c) {
        const int64_t part = static_cast<int64_t>(Get16(samples_, n * channels + c) * 0.5 * level);
        mix[to * channels + c] += part / k;
      }
    }
  std::vector<uint8_t> out(total * channels * 2);
  for (size_t i = 0; i < mix.size(); ++i) Put16(out, i, mix[i]);
  SetSampleBytes(std::move(out));
}

void WavData::ScaleVolume(double factor) {
  if (format_.bits_per_sample != 16) {
    ChangeBits(16);
    ShowWavError(4);
    if (format_.bits_per_sample != 16) return;
  }
  const size_t n = samples_.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    const double v = Get16(samples_, i) * factor;
    Put16(samples_, i, std::isfinite(v) ? static_cast<int64_t>(std::clamp(v, -40000.0, 40000.0))
                                        : 0);
  }
}

void WavData::AppendSilence(uint32_t ms) {
  const int sample_bytes = format_.bits_per_sample / 8;  // whole bytes: 8, 16, 24 or 32 bits
  const double add = double(format_.channels) *
                     std::floor(double(format_.sample_rate) * ms / 1000) * sample_bytes;
  if (!SamplesFit(static_cast<uint64_t>(add) + samples_.size())) return;
  samples_.resize(samples_.size() + static_cast<size_t>(add),
                  format_.bits_per_sample == 8 ? 0x80 : 0x00);
}

double WavData::GetPeakLevel() const {
  if (format_.bits_per_sample == 16) {
    if (samples_.size() < 2) return 0;
    int peak = 0;
    for (size_t i = 0; i < samples_.size() / 2; ++i) peak = std::max(peak, std::abs(int(Get16(samples_, i))));
    return peak / 32768.0;
  }
  if (samples_.empty()) return 0;
  int peak = 0;
  if (format_.bits_per_sample == 8) {
    for (uint8_t b : samples_) peak = std::max(peak, std::abs(int(b) - 128));
  } else {
    for (uint8_t b : samples_) peak = std::max(peak, std::abs(int(static_cast<int8_t>(b))));
  }
  return peak / 128.0;
}

int WavData::IsDualMono() const {
  if (format_.channels == 1) return 1;
  if (format_.bits_per_sample != 16) {
    ShowWavError(1);
    return 1;
  }
  for (size_t i = 0; i + 1 < samples_.size() / 2; i += 2)
    if (Get16(samples_, i) != Get16(samples_, i + 1)) return 0;
  return 1;
}
