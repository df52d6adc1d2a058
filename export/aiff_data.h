// Reading an AIFF file (as the media library renders a MIDI file) and writing its samples as a
// PCM WAV file.
//
// The FORM holds a COMM chunk (channels, frames, bits, the sample rate as an 80-bit extended
// number) and an SSND chunk (offset, block size, big-endian samples); other chunks are passed
// over. Every chunk is bounded by the file: a file whose chunks run past its end, or whose COMM
// names no channels or fewer than 8 bits, is refused with "Aiff Error" and nothing is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One chunk: its id as stored and its data bytes (after the 8-byte header), where they lie in
// the file image, which must outlive the chunk.
class CAiffChunk {
 public:
  CAiffChunk() = default;
  virtual ~CAiffChunk() = default;
  // Takes the chunk whose header starts at `header`; false when it runs past `end`.
  bool Take(const uint8_t* header, const uint8_t* end);

  const std::string& Id() const { return id_; }
  uint32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }

 protected:
  std::string id_;
  uint32_t size_ = 0;
  const uint8_t* data_ = nullptr;
};

class CCommonChunk : public CAiffChunk {
 public:
  // Reads the fields; false for a chunk under 18 bytes or a sample rate that is no rate.
  bool Parse();
  int Channels() const { return channels_; }
  uint32_t Frames() const { return frames_; }
  int Bits() const { return bits_; }
  int32_t SampleRate() const { return sample_rate_; }

  // The integer part of an 80-bit IEEE 754 extended number (big-endian, 10 bytes); -1 when it is
  // not finite or outside 0..2^31-1.
  static int64_t DecodeExtended(const uint8_t* bytes);

 private:
  int16_t channels_ = 0;
  uint32_t frames_ = 0;
  int16_t bits_ = 0;
  int32_t sample_rate_ = 0;
};

class CSoundDataChunk : public CAiffChunk {
 public:
  // Reads offset and block size; the samples follow them whatever the offset says.
  bool Parse();
  uint32_t Offset() const { return offset_; }
  uint32_t BlockSize() const { return block_size_; }
  const uint8_t* Samples() const { return data_ + 8; }
  size_t SampleByteCount() const { return size_ >= 8 ? size_ - 8 : 0; }

 private:
  uint32_t offset_ = 0;
  uint32_t block_size_ = 0;
};

class CFormChunk : public CAiffChunk {
 public:
  // Walks the FORM's chunks by id and keeps COMM and SSND where they lie in `file`; false (after
  // "Aiff Error") when the FORM is no AIFF or either chunk is missing or damaged.
  bool Parse(const uint8_t* file, size_t size);
  const CCommonChunk& Common() const { return comm_; }
  const CSoundDataChunk& SoundData() const { return ssnd_; }
  static void ErrorMsg();

 private:
  CCommonChunk comm_;
  CSoundDataChunk ssnd_;
};

class CAiffData {
 public:
  // Reads the file; check IsValid().
  explicit CAiffData(const std::filesystem::path& path);
  // From a file image in memory, which is copied.
  CAiffData(const uint8_t* bytes, size_t size);
  CAiffData(const CAiffData&) = delete;
  CAiffData& operator=(const CAiffData&) = delete;
  bool IsValid() const { return valid_; }
  const CFormChunk& Form() const { return form_; }
  static void ErrorMsg();

 private:
  std::vector<uint8_t> file_;  // the image the chunks point into
  CFormChunk form_;
  bool valid_ = false;
};

// The bytes of the samples in WAV byte order: a last frame cut short is left out. 0 when the
// COMM is unusable.
size_t AiffWavSampleBytes(const CAiffData& aiff);
// Writes those samples to `out` (AiffWavSampleBytes bytes): 8-bit samples become unsigned,
// wider ones little-endian.
void AiffSamplesToWav(const CAiffData& aiff, uint8_t* out);
std::vector<uint8_t> AiffSamplesToWav(const CAiffData& aiff);

// Reads the AIFF at `aiff_path` and writes its samples as a WAV file at `wav_path` (through a
// temporary name). Returns true when the WAV was written; failures are reported.
bool ConvertAiffToWav(const std::filesystem::path& aiff_path,
                      const std::filesystem::path& wav_path);
