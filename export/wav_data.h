// One sound in PCM form and its canonical WAV file.
//
// The export road builds a sound from a format and samples and saves it; the reader and the
// editing operations (bit depths, channels, resampling, mixing, echo, volume, silence, peak level)
// serve everything else that works on WAV files. Samples are little-endian with the channels
// interleaved: 8-bit samples unsigned with 128 as silence, 16-bit samples signed.
//
// Every read is bounded by the bytes there are; sums of sizes are computed in 64 bits and a sound
// that would not fit a WAV file (4 GiB) is refused. Edits saturate instead of wrapping around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The 16-byte PCM format block of the WAV format chunk, in file order.
struct WavFormat {
  uint16_t format_tag = 1;  // 1 = PCM
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint32_t byte_rate = 0;
  uint16_t block_align = 0;
  uint16_t bits_per_sample = 0;

  // A PCM format of the given shape with byte rate and block align filled in.
  static WavFormat Pcm(int channels, uint32_t sample_rate, int bits);
};

// The module's messages, by code (0-4).
void ShowWavError(int code);

class WavData {
 public:
  static constexpr size_t kHeaderSize = 44;
  // Largest sample byte count a WAV file holds (its size fields are 32 bits).
  static constexpr uint64_t kMaxBytes = 0xFFFFFFFFull - kHeaderSize;

  WavData() = default;
  // From a format and `frames` frames of source samples (channels x bits x frames / 8 bytes).
  WavData(const WavFormat& format, const void* samples, uint32_t frames);
  // Reads a WAV file; check IsLoaded() afterwards.
  explicit WavData(const std::filesystem::path& path);
  // From a WAV file image in memory: "RIFF", "WAVE", "fmt " at offset 12, then "data".
  WavData(const void* image, size_t size);
  // Frames [first, end) of another sound; end 0 = to its end.
  WavData(const WavData& other, uint32_t first_frame, uint32_t end_frame);
  // Silence of `ms` milliseconds.
  static WavData Silence(uint32_t ms, int channels, uint32_t sample_rate, int bits);

  WavData(const WavData&) = default;
  WavData& operator=(const WavData&) = default;
  WavData(WavData&&) = default;
  WavData& operator=(WavData&&) = default;

  // Reads a WAV file. On any failure shows the module's message and leaves the sound empty.
  bool LoadFile(const std::filesystem::path& path);
  // Reads a whole WAV file image as LoadFile reads the file's bytes.
  bool LoadImage(const void* image, size_t size);
  // Writes the file (through a temporary name); a failure shows message 2 and returns false.
  bool SaveFile(const std::filesystem::path& path) const;
  // The whole file image: header and samples.
  std::vector<uint8_t> BuildFileImage() const;
  // The 44-byte header of a file of `sample_bytes` sample bytes in `format`, at `out`.
  static void WriteHeader(const WavFormat& format, uint32_t sample_bytes, uint8_t* out);
  // Writes a whole file image (through a temporary name); a failure shows message 2.
  static bool SaveImage(const std::filesystem::path& path, const std::vector<uint8_t>& image);
  uint64_t GetFileSize() const { return samples_.size() + kHeaderSize; }

  bool IsLoaded() const { return loaded_; }
  const WavFormat& Format() const { return format_; }
  const std::vector<uint8_t>& Samples() const { return samples_; }
  uint32_t ByteCount() const { return static_cast<uint32_t>(samples_.size()); }
  uint32_t GetSampleRate() const { return format_.sample_rate; }
  uint32_t Frames() const;
  // Copies the samples out; returns the byte count.
  uint32_t GetSamples(void* destination, size_t capacity) const;
  // Sets the format and a copy of the samples.
  void SetData(const void* samples, uint32_t byte_count, const WavFormat& format);

  // Bit depth and channel conversions.
  void ChangeBits(int target_bits);
  void To8Bit();
  void To16Bit();
  void From24Bit();
  void ToStereo();
  void ToMono();
  void Resample(uint32_t new_rate);
  // Appends another 16-bit mono sound of the same rate.
  bool Append(const WavData& other);
  // Mixes (or with `overwrite` copies) a WAV file in at `position_ms`.
  bool MixFile(const std::filesystem::path& path, uint32_t position_ms, bool overwrite);
  // Mixes another sound in; converts it to this sound's channels, bits and rate first.
  bool Mix(WavData other, uint32_t position_ms, bool overwrite);
  void AddEcho(double delay_seconds, double level, int repeats);
  void ScaleVolume(double factor);
  void AppendSilence(uint32_t ms);
  double GetPeakLevel() const;
  int IsDualMono() const;

  // "%s [%s]": the reader's message for an unexpected chunk (mode 1), and the word.
  static void ShowTagError(int mode, const std::string& word);

 private:
  bool ParseImage(const uint8_t* data, size_t size, bool scan_chunks);
  void SetSampleBytes(std::vector<uint8_t> bytes);
  bool SamplesFit(uint64_t bytes) const;

  WavFormat format_;
  std::vector<uint8_t> samples_;
  bool loaded_ = false;
};
