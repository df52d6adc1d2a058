#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "export/aiff_data.h"
#include "export/wav_data.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"

namespace {

using cantrel_test::Sink;
using cantrel_test::TempDir;

using cantrel_test::ReadFileBytes;
using cantrel_test::WriteFileBytes;

// An 80-bit extended number of a rate.
std::vector<uint8_t> Extended(double rate) {
  int exponent = 0;
  const double m = std::frexp(rate, &exponent);  // rate = m * 2^exponent, m in [0.5, 1)
  const uint64_t mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
  std::vector<uint8_t> b(10);
  ByteWriter w(b.data(), b.size());
  w.U16Be(static_cast<uint32_t>(exponent - 1 + 16383));
  w.U32Be(static_cast<uint32_t>(mantissa >> 32));
  w.U32Be(static_cast<uint32_t>(mantissa & 0xFFFFFFFFu));
  return b;
}

std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> c(id.begin(), id.end());
  c.resize(8);
  ByteWriter(c.data() + 4, 4).U32Be(static_cast<uint32_t>(data.size()));
  c.insert(c.end(), data.begin(), data.end());
  if (data.size() & 1) c.push_back(0);
  return c;
}

std::vector<uint8_t> Comm(int channels, uint32_t frames, int bits, double rate) {
  std::vector<uint8_t> d(8);
  ByteWriter w(d.data(), d.size());
  w.U16Be(static_cast<uint32_t>(channels));
  w.U32Be(frames);
  w.U16Be(static_cast<uint32_t>(bits));
  const auto r = Extended(rate);
  d.insert(d.end(), r.begin(), r.end());
  return Chunk("COMM", d);
}

std::vector<uint8_t> Ssnd(const std::vector<uint8_t>& samples, uint32_t offset = 0) {
  std::vector<uint8_t> d(8);
  ByteWriter(d.data(), 4).U32Be(offset);
  d.insert(d.end(), samples.begin(), samples.end());
  return Chunk("SSND", d);
}

std::vector<uint8_t> Form(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> body{'A', 'I', 'F', 'F'};
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("FORM", body);
}

TEST(AiffToWav, SixteenBitStereoBecomesALittleEndianWav) {
  const std::vector<uint8_t> samples{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};
  const auto aiff = TempDir() / "in.aiff";
  WriteFileBytes(aiff, Form({Comm(2, 4, 16, 44100), Ssnd(samples, 0)}));
  const auto wav = TempDir() / "out.wav";
  ASSERT_TRUE(ConvertAiffToWav(aiff, wav));
  const auto file = ReadFileBytes(wav);
  ASSERT_EQ(file.size(), 60u);
  WavData back(wav);
  EXPECT_EQ(back.Format().sample_rate, 44100u);
  EXPECT_EQ(back.Format().byte_rate, 176400u);
  EXPECT_EQ(back.Format().block_align, 4);
  EXPECT_EQ(back.Format().bits_per_sample, 16);
  EXPECT_EQ(back.Samples(), (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07,
                                                  0x0A, 0x09, 0x0C, 0x0B, 0x0E, 0x0D, 0x10, 0x0F}));
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(AiffToWav, RatesChunksAndWidths) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    uint32_t rate;
    int bits;
    std::vector<uint8_t> samples;
  } cases[] = {
      {"22050 Hz", Form({Comm(1, 1, 16, 22050), Ssnd({0x12, 0x34})}), 22050, 16, {0x34, 0x12}},
      {"22254.5454 Hz", Form({Comm(1, 1, 16, 22254.5454545), Ssnd({0x12, 0x34})}), 22254, 16,
       {0x34, 0x12}},
      {"96000 Hz keeps its rate", Form({Comm(1, 1, 16, 96000), Ssnd({0x12, 0x34})}), 96000, 16,
       {0x34, 0x12}},
      {"a marker chunk before the samples",
       Form({Comm(1, 1, 16, 8000), Chunk("MARK", {0, 0, 1}), Ssnd({0x12, 0x34})}), 8000, 16,
       {0x34, 0x12}},
      {"the samples before COMM", Form({Ssnd({0x12, 0x34}), Comm(1, 1, 16, 8000)}), 8000, 16,
       {0x34, 0x12}},
      {"8-bit signed to unsigned", Form({Comm(1, 3, 8, 8000), Ssnd({0x00, 0x7F, 0x80})}), 8000, 8,
       {0x80, 0xFF, 0x00}},
      {"24-bit to little-endian", Form({Comm(1, 1, 24, 8000), Ssnd({0x12, 0x34, 0x56})}), 8000,
       24, {0x56, 0x34, 0x12}},
      {"a cut last frame is left out", Form({Comm(2, 1, 16, 8000), Ssnd({1, 2, 3, 4, 5})}), 8000,
       16, {2, 1, 4, 3}},
      {"the offset does not move the samples", Form({Comm(1, 1, 16, 8000), Ssnd({1, 2}, 4)}),
       8000, 16, {2, 1}},
  };
  for (const Case& c : cases) {
    const auto aiff = TempDir() / "case.aiff";
    const auto wav = TempDir() / "case.wav";
    WriteFileBytes(aiff, c.file);
    ASSERT_TRUE(ConvertAiffToWav(aiff, wav)) << c.what;
    WavData back(wav);
    EXPECT_EQ(back.Format().sample_rate, c.rate) << c.what;
    EXPECT_EQ(back.Format().bits_per_sample, c.bits) << c.what;
    EXPECT_EQ(back.Samples(), c.samples) << c.what;
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(AiffToWav, DamagedFilesGiveTheErrorAndNoWav) {
  auto past_end = Form({Comm(1, 1, 16, 8000), Ssnd({1, 2})});
  ByteWriter(past_end.data() + 4, 4).U32Be(0x10000);
  auto inner_past = Form({Comm(1, 1, 16, 8000), Ssnd({1, 2})});
  ByteWriter(inner_past.data() + 16, 4).U32Be(0x7FFFFFF0u);
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"FORM past the end", past_end},
      {"COMM past the FORM", inner_past},
      {"no channels", Form({Comm(0, 1, 16, 8000), Ssnd({1, 2})})},
      {"4 bits", Form({Comm(1, 1, 4, 8000), Ssnd({1, 2})})},
      {"rate 0", Form({Comm(1, 1, 16, 0), Ssnd({1, 2})})},
      {"no SSND", Form({Comm(1, 1, 16, 8000)})},
      {"no COMM", Form({Ssnd({1, 2})})},
      {"not AIFF", Chunk("FORM", {'A', 'I', 'F', 'C'})},
      {"no FORM", Chunk("RIFF", {'A', 'I', 'F', 'F'})},
  };
  for (const Case& c : cases) {
    Sink().Clear();
    const auto aiff = TempDir() / "bad.aiff";
    const auto wav = TempDir() / "bad.wav";
    WriteFileBytes(aiff, c.file);
    EXPECT_FALSE(ConvertAiffToWav(aiff, wav)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(wav)) << c.what;
    ASSERT_EQ(Sink().Count(), 1u) << c.what;
    EXPECT_EQ(Sink().Texts()[0], "Aiff Error") << c.what;
  }
  Sink().Clear();
  EXPECT_FALSE(ConvertAiffToWav(TempDir() / "missing.aiff", TempDir() / "x.wav"));
  EXPECT_EQ(Sink().Count(), 1u);  // reported, the program goes on
}

// sox writes AIFF files of every width; its own conversion to WAV is the reference.
TEST(AiffToWav, SamplesEqualSoxConversion) {
  CANTREL_NEED_TOOL("sox");
  for (int bits : {8, 16, 24}) {
    const auto aiff = TempDir() / ("tone" + std::to_string(bits) + ".aiff");
    const auto ours = TempDir() / "ours.wav";
    const auto theirs = TempDir() / "theirs.wav";
    ASSERT_EQ(cantrel_test::RunTool({"sox", "-n", "-r", "44100", "-c", "2", "-b",
                                     std::to_string(bits), aiff.string(), "synth", "0.05", "sine",
                                     "440", "sine", "660"}),
              0);
    ASSERT_TRUE(ConvertAiffToWav(aiff, ours)) << bits;
    ASSERT_EQ(cantrel_test::RunTool({"sox", aiff.string(), "-b", std::to_string(bits),
                                     "-e", bits == 8 ? "unsigned-integer" : "signed-integer",
                                     theirs.string()}),
              0);
    WavData a(ours), b(theirs);
    ASSERT_TRUE(a.IsLoaded() && b.IsLoaded());
    EXPECT_EQ(a.Format().channels, b.Format().channels);
    EXPECT_EQ(a.Format().sample_rate, b.Format().sample_rate);
    EXPECT_EQ(a.Format().bits_per_sample, b.Format().bits_per_sample);
    EXPECT_EQ(a.Samples(), b.Samples()) << bits << " bits";
    EXPECT_GT(a.ByteCount(), 0u);
  }
}

}  // namespace
