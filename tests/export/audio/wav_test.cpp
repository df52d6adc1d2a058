#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "export/wav_data.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"

namespace {

using cantrel_test::Sink;
using cantrel_test::TempDir;

using cantrel_test::ReadFileBytes;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> c(id.begin(), id.end());
  c.resize(8);
  ByteWriter(c.data() + 4, 4).U32Le(static_cast<uint32_t>(data.size()));
  c.insert(c.end(), data.begin(), data.end());
  if (data.size() & 1) c.push_back(0);
  return c;
}

std::vector<uint8_t> FormatBlock(int channels, uint32_t rate, int bits) {
  const WavFormat f = WavFormat::Pcm(channels, rate, bits);
  std::vector<uint8_t> b(16);
  ByteWriter w(b.data(), b.size());
  w.U16Le(f.format_tag);
  w.U16Le(f.channels);
  w.U32Le(f.sample_rate);
  w.U32Le(f.byte_rate);
  w.U16Le(f.block_align);
  w.U16Le(f.bits_per_sample);
  return b;
}

std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> body{'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  std::vector<uint8_t> file{'R', 'I', 'F', 'F', 0, 0, 0, 0};
  ByteWriter(file.data() + 4, 4).U32Le(static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::vector<uint8_t> Pcm16(std::initializer_list<int> values) {
  std::vector<uint8_t> b;
  for (int v : values) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return b;
}

std::vector<int> Samples16(const WavData& w) {
  std::vector<int> out;
  const auto& s = w.Samples();
  for (size_t i = 0; i + 1 < s.size(); i += 2) out.push_back(int16_t(s[i] | (s[i + 1] << 8)));
  return out;
}

TEST(WavFile, WrittenFileHasTheCanonicalHeader) {
  struct Case {
    int frames;
    size_t file_size;
    uint32_t riff_size, data_size;
  } cases[] = {{8, 76, 68, 32}, {0, 44, 36, 0}};
  for (const Case& c : cases) {
    std::vector<uint8_t> samples(size_t(c.frames) * 4, 0x11);
    WavData w(WavFormat::Pcm(2, 44100, 16), samples.data(), c.frames);
    const auto path = TempDir() / "out.wav";
    ASSERT_TRUE(w.SaveFile(path));
    const auto file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), c.file_size);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(file, 4), c.riff_size);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(file, 16), 16u);
    EXPECT_EQ(Le32(file, 24), 44100u);
    EXPECT_EQ(Le32(file, 28), 176400u);
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    EXPECT_EQ(Le32(file, 40), c.data_size);
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(WavFile, ReaderSkipsKnownChunksAndReportsOthers) {
  const auto samples = Pcm16({1, -2, 3, -4});
  const auto file = Riff({Chunk("PAD ", {0, 0, 0}), Chunk("bext", std::vector<uint8_t>(10, 7)),
                          Chunk("fmt ", FormatBlock(2, 22050, 16)), Chunk("fact", {4, 0, 0, 0}),
                          Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("data", samples)});
  WavData w;
  ASSERT_TRUE(w.LoadImage(file.data(), file.size()));
  EXPECT_EQ(w.Samples(), samples);
  EXPECT_EQ(w.GetSampleRate(), 22050u);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_NE(Sink().Texts()[0].find("[LIST]"), std::string::npos);
}

TEST(WavFile, DamagedFilesAreRefusedWithTheirChunkNamed) {
  const auto fmt = Chunk("fmt ", FormatBlock(1, 8000, 16));
  auto long_data = Chunk("data", Pcm16({1, 2}));
  ByteWriter(long_data.data() + 4, 4).U32Le(0xFFFFFFF0u);  // past the end of the file
  auto long_fmt = fmt;
  ByteWriter(long_fmt.data() + 4, 4).U32Le(0x7FFFFFFFu);
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* named;
  } cases[] = {
      {"fact of 8 bytes", Riff({fmt, Chunk("fact", std::vector<uint8_t>(8)), Chunk("data", {})}),
       "[fact]"},
      {"no RIFF", std::vector<uint8_t>{'R', 'I', 'F', 'X', 0, 0, 0, 0}, "[RIFF]"},
      {"no WAVE", std::vector<uint8_t>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '},
       "[WAVE]"},
      {"no data chunk", Riff({fmt}), "[data]"},
      {"data past the end", Riff({fmt, long_data}), "[data]"},
      {"format past the end", Riff({long_fmt}), "[fmt ]"},
      {"short format", Riff({Chunk("fmt ", std::vector<uint8_t>(8))}), "[fmt ]"},
      {"empty", std::vector<uint8_t>{}, "[RIFF]"},
  };
  for (const Case& c : cases) {
    Sink().Clear();
    WavData w;
    EXPECT_FALSE(w.LoadImage(c.file.data(), c.file.size())) << c.what;
    EXPECT_FALSE(w.IsLoaded()) << c.what;
    ASSERT_GE(Sink().Count(), 1u) << c.what;
    EXPECT_NE(Sink().Texts().back().find(c.named), std::string::npos) << c.what;
  }
}

TEST(WavFile, OddChunksArePaddedAndMissingFilesReported) {
  const auto samples = Pcm16({5, 6});
  const auto file = Riff({Chunk("fmt ", FormatBlock(1, 8000, 16)),
                          Chunk("junk", {1, 2, 3}), Chunk("data", samples)});
  WavData w;
  ASSERT_TRUE(w.LoadImage(file.data(), file.size()));
  EXPECT_EQ(w.Samples(), samples);

  Sink().Clear();
  WavData missing(TempDir() / "none.wav");
  EXPECT_FALSE(missing.IsLoaded());
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Texts()[0], "ファイルが見つかりませんでした。");
}

TEST(WavFile, SavedFileReadsBackAndSoxAgrees) {
  std::vector<uint8_t> samples;
  for (int i = 0; i < 400; ++i) {
    const auto s = Pcm16({(i * 97) % 20000 - 10000, -((i * 31) % 30000)});
    samples.insert(samples.end(), s.begin(), s.end());
  }
  WavData w(WavFormat::Pcm(2, 32000, 16), samples.data(), 400);
  const auto path = TempDir() / "sox.wav";
  ASSERT_TRUE(w.SaveFile(path));
  WavData back(path);
  ASSERT_TRUE(back.IsLoaded());
  EXPECT_EQ(back.Samples(), samples);

  CANTREL_NEED_TOOL("sox");
  const auto raw = TempDir() / "sox.raw";
  ASSERT_EQ(cantrel_test::RunTool({"sox", path.string(), "-t", "raw", raw.string()}), 0);
  EXPECT_EQ(ReadFileBytes(raw), samples);
  std::string info;
  ASSERT_EQ(cantrel_test::RunTool({"soxi", "-r", path.string()}, &info), 0);
  EXPECT_EQ(std::stoi(info), 32000);
}

TEST(WavEdit, BitDepthAndChannelConversions) {
  const uint8_t eight[] = {0, 128, 255, 64};
  WavData w(WavFormat::Pcm(2, 8000, 8), eight, 2);
  w.To16Bit();
  EXPECT_EQ(Samples16(w), (std::vector<int>{-32768, 0, 32512, -16384}));
  EXPECT_EQ(w.Format().block_align, 4);
  w.ToMono();
  EXPECT_EQ(Samples16(w), (std::vector<int>{-16384, 8064}));
  w.ToStereo();
  EXPECT_EQ(Samples16(w), (std::vector<int>{-16384, -16384, 8064, 8064}));
  EXPECT_EQ(w.IsDualMono(), 1);
  w.To8Bit();
  EXPECT_EQ(w.Samples(), (std::vector<uint8_t>{64, 64, 159, 159}));
  EXPECT_EQ(w.Format().byte_rate, 16000u);

  const uint8_t wide[] = {0x01, 0x34, 0x12, 0xFF, 0xCD, 0xAB};
  WavData w24(WavFormat::Pcm(1, 8000, 24), wide, 2);
  w24.From24Bit();
  EXPECT_EQ(w24.Samples(), (std::vector<uint8_t>{0x34, 0x12, 0xCD, 0xAB}));
  EXPECT_EQ(w24.Format().bits_per_sample, 16);
}

TEST(WavEdit, ResampleInterpolatesAndKeepsEightBitSilence) {
  const auto s = Pcm16({0, 1000, 2000, 3000});
  WavData w(WavFormat::Pcm(1, 8000, 16), s.data(), 4);
  w.Resample(16000);
  EXPECT_EQ(Samples16(w), (std::vector<int>{0, 500, 1000, 1500, 2000, 2500, 0, 0}));
  EXPECT_EQ(w.GetSampleRate(), 16000u);

  // Unsigned 8-bit samples crossing the middle interpolate without a jump, and frames past the
  // data are silence (128).
  const uint8_t eight[] = {120, 136};
  WavData e(WavFormat::Pcm(1, 100, 8), eight, 2);
  e.Resample(200);
  EXPECT_EQ(e.Samples(), (std::vector<uint8_t>{120, 128, 128, 128}));
}

TEST(WavEdit, MixingConvertsTheOtherSoundFirstAndSaturates) {
  // A mono 8-bit file at 22050 Hz mixed into a stereo 16-bit sound at 44100 Hz.
  const uint8_t eight[] = {255, 255, 255, 255};
  WavData other(WavFormat::Pcm(1, 22050, 8), eight, 4);
  const auto path = TempDir() / "other.wav";
  ASSERT_TRUE(other.SaveFile(path));
  std::vector<uint8_t> loud;
  for (int i = 0; i < 16; ++i) {
    const auto s = Pcm16({30000, -100});
    loud.insert(loud.end(), s.begin(), s.end());
  }
  WavData w(WavFormat::Pcm(2, 44100, 16), loud.data(), 16);
  ASSERT_TRUE(w.MixFile(path, 0, false));
  const auto mixed = Samples16(w);
  EXPECT_EQ(mixed[0], 32767);           // 30000 + 32512 held at the top
  EXPECT_EQ(mixed[1], 32512 - 100);     // the same sample on the right channel
  EXPECT_EQ(mixed[2 * 15], 30000);      // past the resampled sound: unchanged
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(WavEdit, EchoVolumeSilenceAndPeak) {
  const auto s = Pcm16({20000, 0, 0, 0});
  WavData w(WavFormat::Pcm(1, 4, 16), s.data(), 4);  // 4 frames a second
  w.AddEcho(0.5, 1.0, 2);                             // 2 frames of delay
  EXPECT_EQ(Samples16(w), (std::vector<int>{10000, 0, 10000, 0, 5000, 0}));

  WavData v(WavFormat::Pcm(1, 8000, 16), Pcm16({20000, -20000, 100}).data(), 3);
  v.ScaleVolume(3.0);
  EXPECT_EQ(Samples16(v), (std::vector<int>{32767, -32768, 300}));
  EXPECT_DOUBLE_EQ(v.GetPeakLevel(), 1.0);

  const uint8_t eight[] = {128};
  WavData q(WavFormat::Pcm(1, 1000, 8), eight, 1);
  q.AppendSilence(2);
  EXPECT_EQ(q.Samples(), (std::vector<uint8_t>{128, 128, 128}));
  EXPECT_DOUBLE_EQ(q.GetPeakLevel(), 0.0);
  WavData quiet = WavData::Silence(1, 1, 1000, 8);
  EXPECT_EQ(quiet.Samples(), (std::vector<uint8_t>{128}));

  q.ScaleVolume(1.0);  // 8-bit: widened first, with its message
  EXPECT_EQ(q.Format().bits_per_sample, 16);
  EXPECT_EQ(Sink().Texts().back(), "ビット数を変更しました。");
}

TEST(WavEdit, AppendNeedsMatchingMonoSounds) {
  WavData a(WavFormat::Pcm(1, 8000, 16), Pcm16({1}).data(), 1);
  WavData b(WavFormat::Pcm(1, 8000, 16), Pcm16({2, 3}).data(), 2);
  ASSERT_TRUE(a.Append(b));
  EXPECT_EQ(Samples16(a), (std::vector<int>{1, 2, 3}));
  WavData stereo(WavFormat::Pcm(2, 8000, 16), Pcm16({2, 3}).data(), 1);
  EXPECT_FALSE(a.Append(stereo));
  EXPECT_EQ(Sink().Texts().back(), "フォーマットが違う音声ファイルを処理しようとしました。");
  WavData part(a, 1, 0);
  EXPECT_EQ(Samples16(part), (std::vector<int>{2, 3}));
}

}  // namespace
