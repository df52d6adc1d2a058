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
  data_.assign(in.Here(), in.Here() + size_);
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
  if (data_.size() < 18) return false;
  ByteReader in(data_.data(), data_.size());
  channels_ = static_cast<int16_t>(in.U16Be());
  frames_ = in.U32Be();
  bits_ = static_cast<int16_t>(in.U16Be());
  const int64_t rate = DecodeExtended(data_.data() + 8);
  if (rate <= 0) return false;
  sample_rate_ = static_cast<int32_t>(rate);
  return true;
}

bool CSoundDataChunk::Parse() {
  if (data_.size() < 8) return false;
  ByteReader in(data_.data(), data_.size());
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
  std::vector<uint8_t> file;
  if (!plat::ReadWholeFile(path, file)) {
    ErrorMsg();
    return;
  }
  valid_ = form_.Parse(file.data(), file.size());
}

CAiffData::CAiffData(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < 4) {
    ErrorMsg();
    return;
  }
  valid_ = form_.Parse(bytes, size);
}

std::vector<uint8_t> AiffSamplesToWav(const CAiffData& aiff) {
  std::vector<uint8_t> out;
  if (!aiff.IsValid()) return out;
  const CCommonChunk& comm = aiff.Form().Common();
  const CSoundDataChunk& ssnd = aiff.Form().SoundData();
  const size_t width = static_cast<size_t>((comm.Bits() + 7) / 8);
  const size_t frame = width * static_cast<size_t>(comm.Channels());
  const size_t count = ssnd.SampleByteCount() / frame * frame;
  out.resize(count);
  const uint8_t* in = ssnd.Samples();
  if (width == 1) {
    // Signed 8-bit samples become unsigned ones with 128 as silence.
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(in[i] ^ 0x80);
  } else {
    for (size_t i = 0; i < count; i += width)
      for (size_t k = 0; k < width; ++k) out[i + k] = in[i + width - 1 - k];
  }
  return out;
}

bool ConvertAiffToWav(const std::filesystem::path& aiff_path,
                      const std::filesystem::path& wav_path) {
  CAiffData aiff(aiff_path);
  if (!aiff.IsValid()) return false;
  const CCommonChunk& comm = aiff.Form().Common();
  const std::vector<uint8_t> samples = AiffSamplesToWav(aiff);
  const int bits = (comm.Bits() + 7) / 8 * 8;
  const WavFormat format =
      WavFormat::Pcm(comm.Channels(), static_cast<uint32_t>(comm.SampleRate()), bits);
  const uint32_t frames =
      format.block_align ? static_cast<uint32_t>(samples.size() / format.block_align) : 0;
  WavData wav(format, samples.data(), frames);
  return wav.IsLoaded() && wav.SaveFile(wav_path);
}
