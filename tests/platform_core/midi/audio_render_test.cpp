#include "platform/core/audio_render.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

// Two seconds of loud chords on three channels, loud enough to clip, then silence.
fs::path LoudSong() {
  const fs::path path = cantrel_test::TempDir() / "loud.mid";
  std::vector<uint8_t> track{0x00, 0xC1, 30, 0x00, 0xC2, 48};  // guitar and strings beside piano
  for (int chord = 0; chord < 4; ++chord) {
    for (uint8_t channel = 0; channel < 3; ++channel)
      for (uint8_t note : {48, 52, 55, 60, 64})
        track.insert(track.end(), {0x00, uint8_t(0x90 | channel), uint8_t(note + chord), 127});
    track.insert(track.end(), {0x83, 0x60, 0xB0, 123, 0});  // 480 ticks later, all notes off
    track.insert(track.end(), {0x00, 0xB1, 123, 0, 0x00, 0xB2, 123, 0});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                            'M', 'T', 'r', 'k', 0, 0, uint8_t(track.size() >> 8),
                            uint8_t(track.size())};
  file.insert(file.end(), track.begin(), track.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return path;
}

// The same song through FluidSynth's own file renderer, with the settings ours renders with.
bool RenderWithFluidSynth(const fs::path& midi, const fs::path& font, const fs::path& out,
                          const char* type) {
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", 44100);
  fluid_settings_setnum(settings, "synth.gain", 0.5);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.lock-memory", 0);
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_settings_setstr(settings, "audio.file.name", out.c_str());
  fluid_settings_setstr(settings, "audio.file.type", type);
  fluid_settings_setstr(settings, "audio.file.format", "s16");
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  fluid_file_renderer_t* renderer = nullptr;
  bool ok = synth && fluid_synth_sfload(synth, font.c_str(), 1) != FLUID_FAILED;
  if (ok) player = new_fluid_player(synth);
  ok = ok && player && fluid_player_add(player, midi.c_str()) == FLUID_OK;
  if (ok) renderer = new_fluid_file_renderer(synth);
  ok = ok && renderer && fluid_player_play(player) == FLUID_OK;
  while (ok && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING)
    ok = fluid_file_renderer_process_block(renderer) == FLUID_OK;
  if (renderer) delete_fluid_file_renderer(renderer);
  if (player) delete_fluid_player(player);
  if (synth) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return ok;
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

// Our renderer writes the samples in large pieces; the file is byte for byte the one FluidSynth's
// own renderer writes a block at a time, clipped samples and AIFF header among them. A render
// tail adds silence in whole blocks after the song.
TEST(AudioRender, FilesEqualFluidSynthsOwnRendering) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont (fluid-soundfont-gm)");
  const fs::path font = plat::FindSoundFont();
  const fs::path midi = LoudSong();
  const fs::path theirs = cantrel_test::TempDir() / "theirs.aiff";
  ASSERT_TRUE(RenderWithFluidSynth(midi, font, theirs, "aiff"));
  const std::vector<uint8_t> reference = Bytes(theirs);
  ASSERT_GT(reference.size(), 54u + 2 * 44100 * 4);

  plat::RenderOptions opt;
  opt.tail_ms = 0;
  opt.durable = false;
  std::string error;
  const fs::path ours = cantrel_test::TempDir() / "ours.aiff";
  ASSERT_TRUE(plat::RenderMidiFile(midi, ours, opt, &error)) << error;
  const std::vector<uint8_t> rendered = Bytes(ours);
  EXPECT_TRUE(rendered == reference) << rendered.size() << " bytes against " << reference.size();
  size_t clipped = 0;
  for (size_t i = 54; i + 1 < rendered.size(); i += 2) {
    const int16_t v = int16_t(rendered[i] << 8 | rendered[i + 1]);
    clipped += v == 32767 || v == -32768;
  }
  EXPECT_GT(clipped, 0u) << "the song should be loud enough to clip";

  // As a WAV with a one-second tail: the same samples in little-endian order, then the tail.
  opt.type = plat::AudioFileType::kWav;
  opt.tail_ms = 1000;
  const fs::path wav = cantrel_test::TempDir() / "ours.wav";
  ASSERT_TRUE(plat::RenderMidiFile(midi, wav, opt, &error)) << error;
  const std::vector<uint8_t> w = Bytes(wav);
  const size_t song = reference.size() - 54, tail = 1000 * 44100 / 1000 / 64 * 64 * 4;
  ASSERT_EQ(w.size(), 44 + song + tail);
  const uint8_t header[] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                            16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                            4, 0, 16, 0, 'd', 'a', 't', 'a'};
  std::vector<uint8_t> expected(header, header + sizeof header);
  EXPECT_TRUE(std::equal(expected.begin() + 8, expected.end(), w.begin() + 8));
  EXPECT_EQ(w[4] | w[5] << 8 | w[6] << 16 | uint32_t(w[7]) << 24, w.size() - 8);
  EXPECT_EQ(w[40] | w[41] << 8 | w[42] << 16 | uint32_t(w[43]) << 24, song + tail);
  size_t differing = 0;
  for (size_t i = 0; i < song; i += 2)
    differing += w[44 + i] != reference[54 + i + 1] || w[44 + i + 1] != reference[54 + i];
  EXPECT_EQ(differing, 0u);
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
