#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "export/mp3_encoder.h"
#include "export/wav_data.h"
#include "platform/core/encoding.h"
#include "platform/core/process.h"
#include "tests/support/test_support.h"

namespace {

using cantrel_test::RunTool;
using cantrel_test::Sink;
using cantrel_test::TempDir;
namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// Two seconds of a chord with a moving level: 16-bit stereo at 44100 Hz.
fs::path WriteTestWav(const fs::path& path) {
  const uint32_t frames = 88200;
  std::vector<uint8_t> samples(size_t(frames) * 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = i / 44100.0;
    const double level = 0.3 + 0.2 * std::sin(2 * M_PI * 1.5 * t);
    const double left = level * (std::sin(2 * M_PI * 262 * t) + 0.5 * std::sin(2 * M_PI * 392 * t));
    const double right = level * std::sin(2 * M_PI * 330 * t);
    for (int c = 0; c < 2; ++c) {
      const auto v = static_cast<int16_t>(std::lround((c ? right : left) * 20000));
      samples[4 * i + 2 * c] = static_cast<uint8_t>(v & 0xFF);
      samples[4 * i + 2 * c + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
  }
  WavData wav(WavFormat::Pcm(2, 44100, 16), samples.data(), frames);
  EXPECT_TRUE(wav.SaveFile(path));
  return path;
}

// An encoder of ours: a shell script with the given body ("$1" the WAV, "$2" the MP3).
std::string FakeEncoder(const std::string& name, const std::string& body) {
  const fs::path script = TempDir() / name;
  std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
  ::chmod(script.c_str(), 0755);
  return plat::Utf8ToCp932(script.string());
}

// sox's "RMS amplitude" line of `stat` for a file (or a mix given as its arguments).
double SoxRms(const std::vector<std::string>& inputs) {
  std::vector<std::string> argv{"sox"};
  argv.insert(argv.end(), inputs.begin(), inputs.end());
  argv.insert(argv.end(), {"-n", "stat"});
  std::string out;
  // sox writes stat to its error output: send it through a shell to read it.
  std::string command;
  for (const std::string& a : argv) command += "'" + a + "' ";
  EXPECT_EQ(RunTool({"sh", "-c", command + "2>&1"}, &out), 0) << out;
  const size_t at = out.find("RMS     amplitude:");
  if (at == std::string::npos) return -1;
  return std::stod(out.substr(out.find(':', at) + 1));
}

TEST(Mp3Export, LameWritesAnMp3ThatDecodesToTheWav) {
  CANTREL_NEED_TOOL("lame");
  CANTREL_NEED_TOOL("sox");
  const fs::path dir = TempDir() / "out";
  fs::create_directories(dir);
  const fs::path wav = WriteTestWav(TempDir() / "in.wav");
  const fs::path mp3 = dir / "song.mp3";
  ASSERT_EQ(EncodeMp3(wav, mp3, ""), Mp3Result::kWritten);
  EXPECT_EQ(Names(dir), std::set<std::string>{"song.mp3"});
  EXPECT_EQ(Sink().Count(), 0u);

  const fs::path decoded = TempDir() / "decoded.wav";
  ASSERT_EQ(RunTool({"lame", "--quiet", "--decode", mp3.string(), decoded.string()}), 0);
  WavData a(wav), b(decoded);
  ASSERT_TRUE(a.IsLoaded() && b.IsLoaded());
  EXPECT_EQ(b.Format().sample_rate, a.Format().sample_rate);
  EXPECT_EQ(b.Format().channels, a.Format().channels);
  EXPECT_EQ(b.Frames(), a.Frames());
  // The difference of the two is small beside the signal.
  const double signal = SoxRms({wav.string()});
  const double difference = SoxRms({"-m", wav.string(), "-v", "-1", decoded.string()});
  ASSERT_GT(signal, 0.05);
  EXPECT_LT(difference, 0.15 * signal);
}

TEST(Mp3Export, EncoderFailuresLeaveNoMp3AndSayWhy) {
  const fs::path wav = WriteTestWav(TempDir() / "in.wav");
  struct Case {
    const char* what;
    std::string encoder;
    fs::path wav;
    int limit_ms;
    Mp3Result result;
    std::string text;
  } cases[] = {
      {"no encoder program", plat::Utf8ToCp932((TempDir() / "none").string()), wav, 5000,
       Mp3Result::kNoEncoder, "エンコーダが見つかりませんでした。"},
      {"no WAV file", FakeEncoder("ok", "echo x > \"$2\""), TempDir() / "gone.wav", 5000,
       Mp3Result::kNoWav, "WAVファイルが見つかりませんでした。"},
      {"failing exit after a partial file", FakeEncoder("fails", "echo x > \"$2\"; exit 2"), wav,
       5000, Mp3Result::kFailed, "MP3ファイルを作成できませんでした。"},
      {"an empty file", FakeEncoder("empty", ": > \"$2\""), wav, 5000, Mp3Result::kFailed,
       "MP3ファイルを作成できませんでした。"},
      {"overrunning its time", FakeEncoder("slow", "echo x > \"$2\"; sleep 30"), wav, 200,
       Mp3Result::kFailed, "エンコーダが時間内に終わらなかったため、停止しました。"},
  };
  for (const Case& c : cases) {
    Sink().Clear();
    const fs::path dir = TempDir() / "target";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // An MP3 of the same name from before stays as it was.
    std::ofstream(dir / "song.mp3") << "older";
    EXPECT_EQ(EncodeMp3(c.wav, dir / "song.mp3", c.encoder, c.limit_ms), c.result) << c.what;
    EXPECT_EQ(Names(dir), std::set<std::string>{"song.mp3"}) << c.what;
    EXPECT_EQ(fs::file_size(dir / "song.mp3"), 5u) << c.what;
    EXPECT_EQ(Sink().Texts(), std::vector<std::string>{c.text}) << c.what;
    EXPECT_EQ(Sink().Boxes()[0].kind, plat::BoxKind::Error) << c.what;
  }
}

TEST(Mp3Export, EncoderGetsTheWavThenTheMp3AsTwoArguments) {
  const fs::path wav = WriteTestWav(TempDir() / "a b;c.wav");
  const fs::path log = TempDir() / "args";
  const std::string encoder =
      FakeEncoder("records", "printf '%s\\n' \"$#\" \"$1\" > '" + log.string() +
                                 "'; cp \"$1\" \"$2\"");
  const fs::path mp3 = TempDir() / "my song.mp3";
  ASSERT_EQ(EncodeMp3(wav, mp3, encoder), Mp3Result::kWritten);
  std::ifstream in(log);
  std::string count, first;
  std::getline(in, count);
  std::getline(in, first);
  EXPECT_EQ(count, "2");
  EXPECT_EQ(first, wav.string());
  EXPECT_EQ(fs::file_size(mp3), fs::file_size(wav));
  // A bare program name is looked up on PATH.
  EXPECT_EQ(FindMp3Encoder("sh"), plat::FindProgram("sh"));
}

}  // namespace
