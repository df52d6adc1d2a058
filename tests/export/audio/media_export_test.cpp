#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "export/aiff_data.h"
#include "export/media_export.h"
#include "export/wav_data.h"
#include "platform/core/audio_render.h"
#include "platform/core/folders.h"
#include "platform/core/synth.h"
#include "tests/support/test_support.h"

namespace {

using cantrel_test::Sink;
using cantrel_test::TempDir;
namespace fs = std::filesystem;

// A small type-0 file: one note a beat for two seconds at 120 bpm.
void WriteMidi(const fs::path& path) {
  std::vector<uint8_t> track;
  for (int i = 0; i < 4; ++i) {
    const uint8_t on[] = {0x00, 0x90, uint8_t(60 + i), 100};
    const uint8_t off[] = {0x83, 0x60, 0x80, uint8_t(60 + i), 0};  // 480 ticks later
    track.insert(track.end(), on, on + 4);
    track.insert(track.end(), off, off + 5);
  }
  const uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
  track.insert(track.end(), end, end + 4);
  std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                            'M', 'T', 'r', 'k', 0, 0, 0, uint8_t(track.size())};
  file.insert(file.end(), track.begin(), track.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) names.insert(fs::relative(e.path(), folder).string());
  return names;
}

// A media library whose steps the test scripts.
class FakeLibrary : public media::MediaLibrary {
 public:
  bool available = true, opens = true, converts = true;
  std::vector<std::string> calls;
  bool Start() override {
    calls.push_back("start");
    return available;
  }
  void Stop() override { calls.push_back("stop"); }
  bool OpenMovie(const fs::path& midi, media::Movie* movie) override {
    calls.push_back("open");
    if (!opens) return false;
    movie->file = midi;
    movie->open = true;
    return true;
  }
  bool ConvertMovieToFile(const media::Movie&, const fs::path& out, media::MovieFileType type,
                          std::string* error) override {
    calls.push_back(type == media::MovieFileType::kAiff ? "convert aiff" : "convert wave");
    last_output = out;
    if (!converts) return false;
    // Two frames of 16-bit mono at 8000 Hz.
    const uint8_t aiff[] = {'F', 'O', 'R', 'M', 0, 0, 0, 50, 'A', 'I', 'F', 'F',
                            'C', 'O', 'M', 'M', 0, 0, 0, 18, 0, 1, 0, 0, 0, 2, 0, 16,
                            0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0,
                            'S', 'S', 'N', 'D', 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0,
                            0x10, 0x00, 0x20, 0x00};
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(aiff), sizeof aiff);
    return true;
  }
  void DisposeMovie(media::Movie* movie) override {
    calls.push_back("dispose");
    *movie = media::Movie{};
  }
  fs::path last_output;
};

class MediaExport : public ::testing::Test {
 protected:
  void SetUp() override { media::InstallLibrary(&fake_); }
  void TearDown() override { media::InstallLibrary(nullptr); }
  FakeLibrary fake_;
};

TEST_F(MediaExport, TheRoadLeavesOnlyTheWav) {
  const fs::path out = TempDir() / "out";
  fs::create_directories(out);
  WriteMidi(out / "song.mid");
  std::ofstream(out / "song.aiff") << "the user's own file";
  ASSERT_TRUE(ConvertMidiToWav(out / "song.mid", out / "song.wav"));
  EXPECT_EQ(fake_.calls, (std::vector<std::string>{"start", "open", "convert aiff", "dispose",
                                                   "stop"}));
  // The AIFF was ours, in the temporary folder, and is gone; the user's files are untouched.
  EXPECT_EQ(fake_.last_output.parent_path(), plat::UserDataFolder() / "temp");
  EXPECT_FALSE(fs::exists(fake_.last_output));
  EXPECT_EQ(Names(out), (std::set<std::string>{"song.aiff", "song.mid", "song.wav"}));
  WavData wav(out / "song.wav");
  EXPECT_EQ(wav.Format().sample_rate, 8000u);
  EXPECT_EQ(wav.Samples(), (std::vector<uint8_t>{0x00, 0x10, 0x00, 0x20}));
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(MediaExport, FailuresAreReportedAndWriteNothing) {
  struct Case {
    const char* what;
    bool available, opens, converts;
    std::vector<std::string> texts;
  };
  const fs::path midi = TempDir() / "song.mid";
  WriteMidi(midi);
  const std::string failure = "エラー発生 " + midi.string();
  const Case cases[] = {
      {"no library", false, true, true,
       {"General MIDIのサウンドフォントが見つかりませんでした。WAVやMP3に書き出すには、Debianの"
        "パッケージ fluid-soundfont-gm をインストールしてください。",
        failure}},
      {"no movie", true, false, true, {failure}},
      {"conversion fails", true, true, false, {failure}},
  };
  for (const Case& c : cases) {
    Sink().Clear();
    fake_.available = c.available;
    fake_.opens = c.opens;
    fake_.converts = c.converts;
    const fs::path wav = TempDir() / "result.wav";
    EXPECT_FALSE(ConvertMidiToWav(midi, wav)) << c.what;
    EXPECT_FALSE(fs::exists(wav)) << c.what;
    EXPECT_EQ(Sink().Texts(), c.texts) << c.what;
    EXPECT_EQ(Names(plat::UserDataFolder() / "temp"), std::set<std::string>{}) << c.what;
  }
}

TEST_F(MediaExport, TwoStepRoadKeepsTheAiffBesideTheWav) {
  const fs::path dir = TempDir() / "my.dir";
  fs::create_directories(dir);
  WriteMidi(dir / "in.mid");
  std::string name;
  EXPECT_EQ(MidiFileToWav(dir / "in.mid", dir / "song", &name), 1);
  EXPECT_EQ(name, "song.aiff");
  EXPECT_EQ(Names(dir), (std::set<std::string>{"in.mid", "song", "song.aiff"}));
  EXPECT_EQ(AiffPathFor("/a/my.dir/song"), fs::path("/a/my.dir/song.aiff"));
  EXPECT_EQ(AiffPathFor("/a/out/song.wav"), fs::path("/a/out/song.aiff"));
}

// The real library: the built-in synthesizer renders the file.
TEST(MediaExportSynth, RendersAudibleWavOfTheSongsLength) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont");
  const fs::path midi = TempDir() / "song.mid";
  WriteMidi(midi);
  const fs::path wav = TempDir() / "song.wav";
  ASSERT_TRUE(ConvertMidiToWav(midi, wav));
  WavData w(wav);
  ASSERT_TRUE(w.IsLoaded());
  EXPECT_EQ(w.Format().channels, 2);
  EXPECT_EQ(w.Format().bits_per_sample, 16);
  EXPECT_EQ(w.Format().sample_rate, 44100u);
  const double seconds = double(w.Frames()) / 44100;
  EXPECT_GE(seconds, 2.0);
  EXPECT_LE(seconds, 2.0 + 4.0);  // the song, then the last notes' release
  EXPECT_GT(w.GetPeakLevel(), 0.01);
  EXPECT_EQ(Sink().Count(), 0u);
}

// The road's WAV holds the synthesizer's AIFF samples as sox converts them, and lasts as long as
// the synthesizer's own command-line rendering of the file: the song and its render tail.
TEST(MediaExportSynth, WavIsTheRenderedAiffAsSoxConvertsIt) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont");
  CANTREL_NEED_TOOL("sox");
  CANTREL_NEED_TOOL("fluidsynth");
  const fs::path midi = TempDir() / "song.mid";
  WriteMidi(midi);
  const fs::path out = TempDir() / "out";
  fs::create_directories(out);
  ASSERT_TRUE(ConvertMidiToWav(midi, out / "song.wav"));
  EXPECT_EQ(Names(out), std::set<std::string>{"song.wav"});
  EXPECT_EQ(Names(plat::UserDataFolder() / "temp"), std::set<std::string>{});

  plat::RenderOptions aiff_options;
  aiff_options.tail_ms = 0;
  const fs::path aiff = TempDir() / "song.aiff";
  std::string error;
  ASSERT_TRUE(plat::RenderMidiFile(midi, aiff, aiff_options, &error)) << error;
  const fs::path theirs = TempDir() / "sox.wav";
  ASSERT_EQ(cantrel_test::RunTool({"sox", aiff.string(), theirs.string()}), 0);
  WavData ours(out / "song.wav"), converted(theirs);
  ASSERT_TRUE(ours.IsLoaded() && converted.IsLoaded());
  EXPECT_EQ(ours.Format().sample_rate, converted.Format().sample_rate);
  EXPECT_EQ(ours.Format().channels, converted.Format().channels);
  EXPECT_TRUE(ours.Samples() == converted.Samples());
  EXPECT_GT(ours.GetPeakLevel(), 0.01);

  const fs::path reference = TempDir() / "fluidsynth.wav";
  ASSERT_EQ(cantrel_test::RunTool({"fluidsynth", "-ni", "-q", "-r", "44100", "-F",
                                   reference.string(), plat::FindSoundFont().string(),
                                   midi.string()}),
            0);
  WavData cli(reference);
  ASSERT_TRUE(cli.IsLoaded());
  EXPECT_NEAR(double(ours.Frames()), double(cli.Frames()), 64.0);
  EXPECT_GE(ours.Frames(), 2u * 44100u);  // the song itself lasts two seconds
}

}  // namespace
