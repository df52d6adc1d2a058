#include "platform/core/midi_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <fstream>

#include "platform/core/synth.h"
#include "platform/core/timer_thread.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

TEST(MidiMessage, CompleteMessagesOnly) {
  struct Case {
    Bytes bytes;
    int want;
  } cases[] = {
      {{0x90, 60, 100}, plat::kMidiOk},
      {{0x80, 60, 0}, plat::kMidiOk},
      {{0xC3, 5}, plat::kMidiOk},
      {{0xD0, 5}, plat::kMidiOk},
      {{0xE1, 0, 64}, plat::kMidiOk},
      {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, plat::kMidiOk},
      {{0xF0, 0xF7}, plat::kMidiOk},
      {{0xF0}, plat::kMidiInvalParam},
      {{0xF0, 0x7E, 0x7F}, plat::kMidiInvalParam},  // no F7
      {{0x90, 60}, plat::kMidiInvalParam},
      {{0xC0, 5, 5}, plat::kMidiInvalParam},
      {{0x90, 0x80, 1}, plat::kMidiInvalParam},     // data byte with bit 7
      {{0x40, 1, 2}, plat::kMidiInvalParam},        // no status
      {{}, plat::kMidiInvalParam},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plat::CheckMidiMessage(c.bytes.data(), c.bytes.size()), c.want)
        << "first byte " << (c.bytes.empty() ? -1 : c.bytes[0]) << " size " << c.bytes.size();
}

TEST(RecordingDevice, RecordsBytesWithTheTimerClockTime) {
  plat::TestMidiOutBackend backend;
  auto log = backend.AddRecordingDevice("rec");
  backend.AddNullDevice("null");
  int rc = -1;
  std::string text;
  auto port = backend.Open(-1, &rc, &text);  // the default device is device 0
  ASSERT_TRUE(port);
  EXPECT_EQ(rc, plat::kMidiOk);
  auto t0 = cantrel_test::Clock().Now();
  const uint8_t on[3] = {0x90, 60, 100};
  EXPECT_EQ(port->Send(on, 3), plat::kMidiOk);
  cantrel_test::Clock().Advance(milliseconds(250));
  const uint8_t bad[2] = {0x90, 60};
  EXPECT_EQ(port->Send(bad, 2), plat::kMidiInvalParam);
  EXPECT_EQ(port->Reset(), plat::kMidiOk);
  auto msgs = log->Messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].bytes, (Bytes{0x90, 60, 100}));
  EXPECT_EQ(msgs[0].time, t0);
  EXPECT_TRUE(msgs[1].reset);
  EXPECT_EQ(msgs[1].time - t0, milliseconds(250));
  EXPECT_EQ(log->Bytes().size(), 1u);

  auto null_port = backend.Open(1, &rc, &text);
  ASSERT_TRUE(null_port);
  EXPECT_EQ(null_port->Send(on, 3), plat::kMidiOk);
  EXPECT_FALSE(backend.Open(2, &rc, &text));
  EXPECT_EQ(rc, plat::kMidiBadDeviceId);
  backend.SetOpenFailure(1, plat::kMidiAllocated);
  EXPECT_FALSE(backend.Open(1, &rc, &text));
  EXPECT_EQ(rc, plat::kMidiAllocated);
  EXPECT_EQ(backend.OpenCount(1), 2);
}

TEST(SystemDevices, SynthesizerFirstThenSequencerPorts) {
  plat::SystemMidiOutBackend sys;
  auto alsa = plat::AlsaMidiOutPortNames();
  struct stat st;
  if (stat("/dev/snd/seq", &st) != 0) {
    EXPECT_TRUE(alsa.empty()) << "no sequencer: no ports";
  }
  EXPECT_EQ(sys.Count(), 1 + static_cast<int>(alsa.size()));
  EXPECT_FALSE(sys.Name(0).empty());
  EXPECT_EQ(sys.Name(-1), sys.Name(0));
  EXPECT_TRUE(sys.Name(sys.Count()).empty());
  int rc = 0;
  std::string text;
  EXPECT_FALSE(sys.Open(sys.Count(), &rc, &text));
  EXPECT_EQ(rc, plat::kMidiBadDeviceId);
}

// A soundfont that cannot be loaded is said once per setting; naming a good one tries again.
TEST(SystemDevices, SharedSynthesizerTriesAgainWithANewSoundFont) {
  if (plat::SharedSynthLoaded()) GTEST_SKIP() << "the shared synthesizer is loaded already";
  std::filesystem::path good = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!std::filesystem::exists(good)) good = plat::FindSoundFont();
  CANTREL_NEED(!good.empty(), "a General MIDI soundfont (fluid-soundfont-gm)");
  std::filesystem::path bad = cantrel_test::TempDir() / "broken.sf2";
  std::ofstream(bad) << "not a soundfont";
  plat::SetSoundFontPath(bad);
  int rc = -1;
  std::string text;
  EXPECT_FALSE(plat::OpenSharedSynth(&rc, &text));
  EXPECT_EQ(text, "音色ファイル（サウンドフォント）を読み込めませんでした。");
  EXPECT_FALSE(plat::SharedSynthLoaded());
  plat::SetSoundFontPath(good);
  text.clear();
  auto port = plat::OpenSharedSynth(&rc, &text);  // opens, or fails for want of audio only
  EXPECT_TRUE(plat::SharedSynthLoaded());
  EXPECT_NE(text, "音色ファイル（サウンドフォント）を読み込めませんでした。");
  plat::SetSoundFontPath({});
}

// The shared synthesizer either opens (a desktop with sound) or says clearly why not, at once.
TEST(SystemDevices, SharedSynthesizerOpensOrExplains) {
  CANTREL_NEED(!plat::FindSoundFont().empty(), "a General MIDI soundfont (fluid-soundfont-gm)");
  auto t0 = steady_clock::now();
  int rc = -1;
  std::string text;
  auto port = plat::OpenSharedSynth(&rc, &text);
  if (port) {
    EXPECT_EQ(rc, plat::kMidiOk);
    const uint8_t on[3] = {0x90, 60, 1}, off[3] = {0x80, 60, 0};
    EXPECT_EQ(port->Send(on, 3), plat::kMidiOk);
    EXPECT_EQ(port->Send(off, 3), plat::kMidiOk);
    // A second port shares the one synthesizer.
    auto second = plat::OpenSharedSynth(&rc, &text);
    EXPECT_TRUE(second);
  } else {
    EXPECT_EQ(rc, plat::kMidiError);
    EXPECT_FALSE(text.empty());
  }
  EXPECT_TRUE(plat::SharedSynthLoaded());
  // Loading the soundfont may take a moment; failing audio drivers do not hang.
  EXPECT_LT(steady_clock::now() - t0, seconds(30));
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
  double sum = 0;
  to = std::min(to, s.size());
  if (to <= from) return 0;
  for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(to - from));
}

std::filesystem::path SmallFont() {
  std::filesystem::path p = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (std::filesystem::exists(p)) return p;
  return plat::FindSoundFont();
}

// Offline rendering follows the clock: silence before the note, sound after it, the audio as
// long as the time that passed.
TEST(OfflineSynth, RendersNotesAtTheirTimes) {
  CANTREL_NEED(!SmallFont().empty(), "a General MIDI soundfont (fluid-soundfont-gm)");
  plat::OfflineSynthOut synth(SmallFont(), 44100);
  ASSERT_TRUE(synth.Ok()) << synth.Error();
  auto& clock = cantrel_test::Clock();
  clock.Advance(milliseconds(500));
  const uint8_t prog[2] = {0xC0, 0};
  const uint8_t on[3] = {0x90, 60, 110};
  const uint8_t off[3] = {0x80, 60, 0};
  const uint8_t gm_on[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  EXPECT_EQ(synth.Send(gm_on, 6), plat::kMidiOk);
  EXPECT_EQ(synth.Send(prog, 2), plat::kMidiOk);
  EXPECT_EQ(synth.Send(on, 3), plat::kMidiOk);
  clock.Advance(milliseconds(1000));
  EXPECT_EQ(synth.Send(off, 3), plat::kMidiOk);
  clock.Advance(milliseconds(500));
  synth.RenderToNow();
  EXPECT_EQ(synth.FrameCount(), 44100 * 2);
  const auto& s = synth.Samples();
  EXPECT_LT(Rms(s, 0, 44100), 2.0);                       // first 0.5 s: dither only
  EXPECT_GT(Rms(s, 44100 + 2000, 44100 + 60000), 100.0);  // while the note sounds
}

}  // namespace
