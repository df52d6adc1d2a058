#include "export/aiff_data.h"

#include <cmath>
#include <cstring>

#include "export/wav_data.h"
#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "util/byte_cursor.h"

bool CAiffChunk::Take(const uint8_t* header, const uint8_t* end) {
  if (end - header < 8) return false;
  ByteReader in(header, static_cast<size_t>(end - header));
  id_ = std::string(reinterpret_cast<const char*>(header), 4);
  in.Skip(4);
  size_ = in.U32Be();
  if (size_ > in.remaining()) return false;
  data_ = in.Here();
  return true;
}

int64_t CCommonChunk::DecodeExtended(const uint8_t* b) {
  ByteReader in(b, 10);
  const uint16_t sign_exponent = in.U16Be();
  const uint64_t mantissa = (uint64_t(in.U32Be()) << 32) | in.U32Be();
  const int exponent = sign_exponent & 0x7FFF;
  if (exponent == 0x7FFF) return -1;  // infinity or not a number
  const double value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  if ((sign_exponent & 0x8000) && value != 0) return -1;
  if (!(value < 2147483648.0)) return -1;
  return static_cast<int64_t>(value);
}

bool CCommonChunk::Parse() {
  if (size_ < 18) return false;
  ByteReader in(data_, size_);
  channels_ = static_cast<int16_t>(in.U16Be());
  frames_ = in.U32Be();
  bits_ = static_cast<int16_t>(in.U16Be());
  const int64_t rate = DecodeExtended(data_ + 8);
  if (rate <= 0) return false;
  sample_rate_ = static_cast<int32_t>(rate);
  return true;
}

bool CSoundDataChunk::Parse() {
  if (size_ < 8) return false;
  ByteReader in(data_, size_);
  offset_ = in.U32Be();
  block_size_ = in.U32Be();
  return true;
}

void CFormChunk::ErrorMsg() { plat::ShowBox(plat::BoxKind::Message, "Aiff Error"); }

bool CFormChunk::Parse(const uint8_t* file, size_t size) {
  // The FORM is walked where it lies in the file: only COMM and SSND keep copies of their data.
  ByteReader in(file, size);
  id_ = in.Text(4);
  size_ = in.U32Be();
  if (!in.ok() || id_ != "FORM" || size_ < 4 || size_ > in.remaining() ||
      std::memcmp(in.Here(), "AIFF", 4) != 0) {
    ErrorMsg();
    return false;
  }
  bool have_comm = false, have_ssnd = false;
  const uint8_t* p = in.Here() + 4;
  const uint8_t* form_end = in.Here() + size_;
  while (form_end - p >= 8) {
    ByteReader header(p, static_cast<size_t>(form_end - p));
    const std::string id = header.Text(4);
    const uint32_t chunk_size = header.U32Be();
    if (chunk_size > header.remaining()) {
      ErrorMsg();
      return false;
    }
    if (id == "COMM" && !have_comm) {
      have_comm = comm_.Take(p, form_end) && comm_.Parse();
      if (!have_comm) break;
    } else if (id == "SSND" && !have_ssnd) {
      have_ssnd = ssnd_.Take(p, form_end) && ssnd_.Parse();
      if (!have_ssnd) break;
    }
    // Chunks hold an even number of bytes: an odd size is followed by a pad byte.
    const uint64_t step = 8 + uint64_t(chunk_size) + (chunk_size & 1u);
    if (step >= uint64_t(form_end - p)) break;
    p += step;
  }
  if (!have_comm || !have_ssnd || comm_.Channels() <= 0 || comm_.Bits() < 8 ||
      comm_.Bits() > 32) {
    ErrorMsg();
    return false;
  }
  return true;
}

void CAiffData::ErrorMsg() { plat::ShowBox(plat::BoxKind::Message, "CAiffData::ErrorMsg"); }

CAiffData::CAiffData(const std::filesystem::path& path) {
  if (!plat::ReadWholeFile(path, file_)) {
    ErrorMsg();
    return;
  }
  valid_ = form_.Parse(file_.data(), file_.size());
}

CAiffData::CAiffData(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < 4) {
    ErrorMsg();
    return;
  }
  file_.assign(bytes, bytes + size);
  valid_ = form_.Parse(file_.data(), file_.size());
}

size_t AiffWavSampleBytes(const CAiffData& aiff) {
  if (!aiff.IsValid()) return 0;
  const CCommonChunk& comm = aiff.Form().Common();
  const size_t width = static_cast<size_t>((comm.Bits() + 7) / 8);
  const size_t frame = width * static_cast<size_t>(comm.Channels());
  return aiff.Form().SoundData().SampleByteCount() / frame * frame;
}

void AiffSamplesToWav(const CAiffData& aiff, uint8_t* out) {
  const size_t count = AiffWavSampleBytes(aiff);
  if (count == 0) return;
  const size_t width = static_cast<size_t>((aiff.Form().Common().Bits() + 7) / 8);
  const uint8_t* in = aiff.Form().SoundData().Samples();
  if (width == 1) {
    // Signed 8-bit samples become unsigned ones with 128 as silence.
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(in[i] ^ 0x80);
  } else if (width == 2) {
    for (size_t i = 0; i < count; i += 2) {
      out[i] = in[i + 1];
      out[i + 1] = in[i];
    }
  } else {
    for (size_t i = 0; i < count; i += width)
      for (size_t k = 0; k < width; ++k) out[i + k] = in[i + width - 1 - k];
  }
}

std::vector<uint8_t> AiffSamplesToWav(const CAiffData& aiff) {
  std::vector<uint8_t> out(AiffWavSampleBytes(aiff));
  AiffSamplesToWav(aiff, out.data());
  return out;
}

bool ConvertAiffToWav(const std::filesystem::path& aiff_path,
                      const std::filesystem::path& wav_path) {
  CAiffData aiff(aiff_path);
  if (!aiff.IsValid()) return false;
  const CCommonChunk& comm = aiff.Form().Common();
  const int bits = (comm.Bits() + 7) / 8 * 8;
  const WavFormat format =
      WavFormat::Pcm(comm.Channels(), static_cast<uint32_t>(comm.SampleRate()), bits);
  // The file image is made in one piece: header, then the samples turned straight into it.
  const size_t bytes = AiffWavSampleBytes(aiff);
  if (bytes > WavData::kMaxBytes) {
    ShowWavError(0);
    return false;
  }
  std::vector<uint8_t> image(WavData::kHeaderSize + bytes);
  WavData::WriteHeader(format, static_cast<uint32_t>(bytes), image.data());
  AiffSamplesToWav(aiff, image.data() + WavData::kHeaderSize);
  return WavData::SaveImage(wav_path, image);
}
