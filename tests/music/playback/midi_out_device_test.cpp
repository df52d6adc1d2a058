#include "music/midi_out_device.h"

#include <gtest/gtest.h>

#include "platform/core/synth.h"
#include "util/gne_music.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class MidiOutDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMidiOutModule();
    log_ = backend_.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&backend_);
  }
  void TearDown() override { plat::InstallMidiOutBackend(nullptr); }

  plat::TestMidiOutBackend backend_;
  std::shared_ptr<plat::MidiRecording> log_;
};

TEST_F(MidiOutDeviceTest, ChannelMessagesAsTheDeviceReceivesThem) {
  MidiOutDevice dev(0);
  ASSERT_TRUE(dev.IsOpen());
  dev.NoteOn(60, 200, 3);        // velocity above 127 goes as 127
  dev.NoteOff(60, 3);            // always velocity 0
  dev.NoteOn(61, 100, 17);       // the second port's channel 17 is channel 1
  dev.ProgramChange(5, 9);
  dev.ControlChange(100, 7, 2);
  dev.ShortMessage(0x40, 0x00, 0xE5);
  dev.SetBendRange(12, 0);
  EXPECT_EQ(log_->Bytes(), (std::vector<Bytes>{{0x93, 60, 127},
                                               {0x83, 60, 0},
                                               {0x91, 61, 100},
                                               {0xC9, 5},
                                               {0xB2, 7, 100},
                                               {0xE5, 0x00, 0x40},
                                               {0xB0, 101, 0},
                                               {0xB0, 100, 0},
                                               {0xB0, 6, 12},
                                               {0xB0, 38, 0}}));
  log_->Clear();
  dev.AllNotesOffAllChannels();
  auto sent = log_->Bytes();
  ASSERT_EQ(sent.size(), 16u);
  for (int ch = 0; ch < 16; ++ch) EXPECT_EQ(sent[ch], (Bytes{uint8_t(0xB0 | ch), 123, 0}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(MidiOutDeviceTest, SystemExclusiveSendsExactlyTheMessage) {
  MidiOutDevice dev(0);
  EXPECT_EQ(dev.SendGmSystemOn(), 0);
  // Stored data longer than 256 bytes goes out whole.
  Bytes stored = {0xF0, 0x00};
  for (int i = 0; i < 400; ++i) stored.push_back(i & 0x7F);
  stored.push_back(0xF7);
  EXPECT_EQ(dev.SendSysEx(int(stored.size()), stored.data()), 0);
  // Too short to hold a message: refused, nothing sent, nothing read past the data.
  const uint8_t one[1] = {0xF0};
  EXPECT_NE(dev.SendSysEx(1, one), 0);
  EXPECT_NE(dev.SendSysEx(0, one), 0);
  auto sent = log_->Bytes();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  Bytes want(stored.begin() + 2, stored.end());
  want.insert(want.begin(), 0xF0);
  EXPECT_EQ(sent[1], want);
}

TEST_F(MidiOutDeviceTest, LongSystemExclusiveLosesItsWholeLengthNumber) {
  // A message of 128 bytes or more carries a length number of two bytes or more, as a file
  // stores it: none of its bytes reaches the device.
  MidiOutDevice dev(0);
  for (int body : {127, 128, 200, 16384}) {
    SCOPED_TRACE(body);
    Bytes message;
    for (int i = 0; i + 1 < body; ++i) message.push_back(uint8_t(i & 0x7F));
    message.push_back(0xF7);
    uint8_t length[4];
    int n = GneWriteVarLen(body, length);
    Bytes stored = {0xF0};
    stored.insert(stored.end(), length, length + n);
    stored.insert(stored.end(), message.begin(), message.end());
    log_->Clear();
    EXPECT_EQ(dev.SendSysEx(int(stored.size()), stored.data()), 0);
    message.insert(message.begin(), 0xF0);
    EXPECT_EQ(log_->Bytes(), std::vector<Bytes>{message});
  }
}

TEST_F(MidiOutDeviceTest, CloseResetsAndClosedDeviceSendsNothing) {
  MidiOutDevice dev(0);
  dev.Close();
  EXPECT_FALSE(dev.IsOpen());
  auto msgs = log_->Messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_TRUE(msgs[0].reset);
  EXPECT_NE(dev.NoteOn(60, 1, 0), 0);
  dev.Close();  // nothing happens
  EXPECT_EQ(log_->Count(), 1u);
}

TEST(MidiOutDeviceOpen, NoDeviceAtAllWarnsOncePerRun) {
  ResetMidiOutModule();
  plat::TestMidiOutBackend empty;
  plat::InstallMidiOutBackend(&empty);
  MidiOutDevice first;
  MidiOutDevice second(0);
  EXPECT_FALSE(first.IsOpen());
  EXPECT_FALSE(second.IsOpen());
  auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, plat::BoxKind::Error);
  EXPECT_EQ(boxes[0].text,
            "MDCT07000001 Midiデバイスのオープンに失敗しました。連続して発生する場合は、"
            "ＰＣを再起動してください。");
  first.Close();  // closing a device whose open failed shows nothing
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  plat::InstallMidiOutBackend(nullptr);
}

TEST(MidiOutDeviceOpen, FailedOpenShowsTheReasonThenTheModuleMessageEveryTime) {
  ResetMidiOutModule();
  plat::TestMidiOutBackend backend;
  backend.AddNullDevice("a");
  backend.AddNullDevice("b");
  backend.SetOpenFailure(1, plat::kMidiAllocated);
  plat::InstallMidiOutBackend(&backend);
  for (int round = 0; round < 2; ++round) {
    MidiOutDevice dev(1);
    EXPECT_FALSE(dev.IsOpen());
  }
  auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].kind, plat::BoxKind::Message);
  EXPECT_EQ(boxes[0].text, "指定されたリソースは既に割り当てられています。");
  EXPECT_EQ(boxes[1].kind, plat::BoxKind::Error);
  EXPECT_EQ(boxes[1].text.substr(0, 12), "MDCT07000001");
  // A device explaining its own failure (the synthesizer without sound output) is shown with it.
  backend.SetOpenFailure(0, plat::kMidiError, "no sound output");
  cantrel_test::Sink().Clear();
  MidiOutDevice synth(0);
  EXPECT_EQ(cantrel_test::Sink().Texts().at(0), "no sound output");
  plat::InstallMidiOutBackend(nullptr);
}

// The mapper that cannot be opened falls back to device 0 once.
class MapperlessBackend : public plat::TestMidiOutBackend {
 public:
  std::unique_ptr<plat::MidiOutPort> Open(int id, int* result, std::string* text) override {
    if (id == -1) {
      *result = plat::kMidiNoDevice;
      return nullptr;
    }
    return TestMidiOutBackend::Open(id, result, text);
  }
};

TEST(MidiOutDeviceOpen, MapperFallsBackToDeviceZero) {
  ResetMidiOutModule();
  MapperlessBackend backend;
  auto log = backend.AddRecordingDevice("rec");
  plat::InstallMidiOutBackend(&backend);
  MidiOutDevice dev;
  EXPECT_TRUE(dev.IsOpen());
  auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, plat::BoxKind::Message);
  EXPECT_NE(boxes[0].text.find("MIDI ポートが見つかりませんでした。"), std::string::npos);
  plat::InstallMidiOutBackend(nullptr);
}

class FailingPort : public plat::MidiOutPort {
 public:
  int Send(const uint8_t*, size_t) override { return plat::kMidiError; }
  int Reset() override { return plat::kMidiError; }
};

TEST(MidiOutDeviceOpen, FailuresOfProgramChangeAndCloseAreShown) {
  ResetMidiOutModule();
  plat::TestMidiOutBackend backend;
  backend.AddDevice("bad", [](int) { return std::make_unique<FailingPort>(); });
  plat::InstallMidiOutBackend(&backend);
  MidiOutDevice dev(0);
  ASSERT_TRUE(dev.IsOpen());
  EXPECT_NE(dev.ProgramChange(1, 0), 0);
  EXPECT_NE(dev.NoteOn(1, 1, 0), 0);  // other sends only return their code
  dev.Close();
  auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "MDCT07000003 Midiデバイスで音色を変更できませんでした。");
  EXPECT_EQ(texts[1], "MDCT07000002 Midiデバイスのクローズに失敗しました。");
  plat::InstallMidiOutBackend(nullptr);
}

}  // namespace

namespace {

// The machine's default device is the built-in synthesizer: it opens, or tells clearly why not.
TEST(MidiOutDeviceOpen, BuiltInSynthesizerOpensOrSaysWhyNot) {
  ResetMidiOutModule();
  plat::InstallMidiOutBackend(nullptr);
  int rc = 0;
  std::string why;
  bool works = plat::OpenSharedSynth(&rc, &why) != nullptr;
  cantrel_test::Sink().Clear();
  MidiOutDevice dev;
  EXPECT_EQ(dev.IsOpen(), works);
  if (!works) {
    auto boxes = cantrel_test::Sink().Boxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].kind, plat::BoxKind::Message);
    EXPECT_EQ(boxes[0].text, why);
    EXPECT_EQ(boxes.back().text.substr(0, 12), "MDCT07000001");
  } else {
    EXPECT_EQ(dev.NoteOn(60, 1, 0), 0);
    EXPECT_EQ(dev.NoteOff(60, 0), 0);
    dev.Close();
  }
}

}  // namespace
