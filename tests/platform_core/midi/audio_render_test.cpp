#include "platform/core/audio_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "platform/core/synth.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

fs::path SmallSong() {
  fs::path p = "/usr/share/planetblupi/music/music004.mid";
  return fs::exists(p) ? p : fs::path();
}

TEST(AudioRender, MidiFileBecomesAiffOfFormCommSsnd) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont (fluid-soundfont-gm)");
  CANTREL_NEED(!SmallSong().empty(), "a real MIDI file (planetblupi-music-midi)");
  fs::path out = cantrel_test::TempDir() / "song.aiff";
  plat::RenderOptions opt;
  opt.soundfont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!fs::exists(opt.soundfont)) opt.soundfont.clear();
  std::string error;
  ASSERT_TRUE(plat::RenderMidiFile(SmallSong(), out, opt, &error)) << error;
  std::ifstream in(out, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(b.size(), 1000u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "FORM");
  EXPECT_EQ(Be32(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "AIFF");
  // The chunks in order: COMM before SSND, nothing of the temporary name left behind.
  std::vector<std::string> chunks;
  size_t at = 12, comm = 0, ssnd = 0;
  while (at + 8 <= b.size()) {
    std::string id(b.begin() + at, b.begin() + at + 4);
    chunks.push_back(id);
    if (id == "COMM") comm = at;
    if (id == "SSND") ssnd = at;
    at += 8 + Be32(b, at + 4) + (Be32(b, at + 4) & 1);
  }
  ASSERT_NE(comm, 0u);
  ASSERT_NE(ssnd, 0u);
  EXPECT_LT(comm, ssnd);
  EXPECT_EQ(b[comm + 8] << 8 | b[comm + 9], 2);     // channels
  EXPECT_EQ(b[comm + 14] << 8 | b[comm + 15], 16);  // bits
  uint32_t frames = Be32(b, comm + 10);
  double seconds = frames / 44100.0;
  EXPECT_GT(seconds, 10.0);
  // Loud enough somewhere in the middle.
  size_t data = ssnd + 16;
  double sum = 0;
  size_t n = 0;
  for (size_t i = data + b.size() / 4; i + 1 < data + b.size() / 2 && i + 1 < b.size(); i += 2, ++n) {
    int16_t v = int16_t(b[i] << 8 | b[i + 1]);
    sum += double(v) * v;
  }
  EXPECT_GT(std::sqrt(sum / double(n)), 200.0);
  for (const auto& e : fs::directory_iterator(out.parent_path()))
    EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
  // sox reads it as the same length.
  CANTREL_NEED_TOOL("soxi");
  std::string text;
  ASSERT_EQ(cantrel_test::RunTool({"soxi", "-D", out.string()}, &text), 0);
  EXPECT_NEAR(std::stod(text), seconds, 0.01);
}

TEST(AudioRender, WavAndFailuresLeaveNoFile) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont (fluid-soundfont-gm)");
  fs::path out = cantrel_test::TempDir() / "none.wav";
  plat::RenderOptions opt;
  opt.type = plat::AudioFileType::kWav;
  std::string error;
  EXPECT_FALSE(plat::RenderMidiFile(cantrel_test::TempDir() / "missing.mid", out, opt, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(out));
  // A file that is no MIDI file is refused (not rendered as silence), with a good soundfont.
  fs::path midi = cantrel_test::TempDir() / "x.mid";
  std::ofstream(midi) << "not a midi file";
  error.clear();
  EXPECT_FALSE(plat::RenderMidiFile(midi, out, opt, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(out));
  CANTREL_NEED(!SmallSong().empty(), "a real MIDI file (planetblupi-music-midi)");
  opt.soundfont = cantrel_test::TempDir() / "missing.sf2";
  error.clear();
  EXPECT_FALSE(plat::RenderMidiFile(SmallSong(), out, opt, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(out));
  opt.soundfont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!fs::exists(opt.soundfont)) opt.soundfont.clear();
  opt.sample_rate = 22050;
  ASSERT_TRUE(plat::RenderMidiFile(SmallSong(), out, opt, &error)) << error;
  std::ifstream in(out, std::ios::binary);
  char head[12];
  in.read(head, 12);
  EXPECT_EQ(std::string(head, 4), "RIFF");
  EXPECT_EQ(std::string(head + 8, 4), "WAVE");
}

}  // namespace
