// The melody-channel and ABC dialogs driven through their buttons: which channel comes back,
// what the preview plays and that it stops with the dialog, and what text reaches the buffer.
#include "dialogs/import_dialogs.h"

#include "draw/button_picture.h"
#include "music/midi0_data.h"
#include "music/play_thread.h"
#include "platform/core/midi_devices.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/song_info/dialog_test_util.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstring>

namespace {

class MelodyChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture2::ResetState();
    recording = outputs.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&outputs);
    config.midiOutDevice = 0;
    song = std::make_unique<Midi0Data>(cantrel_test::DataPath("midi/features.mid"), 0x60000);
  }
  void TearDown() override {
    dlg.reset();
    WaitPlayThreadEnd(3000);
    plat::InstallMidiOutBackend(nullptr);
    CButtonPicture2::ResetState();
  }
  void Open(int proposed) {
    dlg = std::make_unique<CMelodyChannelDlg>();
    dlg->SetOwner(&owner);
    dlg->SetSong(song.get(), proposed, &config);
    dlg->Create();
    dlg->show();
  }
  InfoOwner owner;
  ConfigData config{};
  plat::TestMidiOutBackend outputs;
  std::shared_ptr<plat::MidiRecording> recording;
  std::unique_ptr<Midi0Data> song;
  std::unique_ptr<CMelodyChannelDlg> dlg;
};

TEST_F(MelodyChannelTest, TheButtonChoosesTheListsChannelAndOtherWaysKeepTheProposed) {
  Open(5);
  EXPECT_EQ(dlg->channelList->count(), 16);
  EXPECT_EQ(dlg->channelList->currentIndex(), 0);
  EXPECT_EQ(dlg->hosts[0]->geometry(), QRect(5, 50, 88, 30));
  EXPECT_EQ(dlg->hosts[1]->geometry(), QRect(93, 50, 88, 30));
  EXPECT_EQ(CButtonPicture2::Caption(1), "　試　聴");
  dlg->channelList->setCurrentIndex(2);
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_EQ(dlg->Channel(), 5);
  Open(5);
  dlg->channelList->setCurrentIndex(2);
  PressSkin(dlg->hosts[0]);
  EXPECT_TRUE(dlg->isVisible()) << "the pressed button is seen first";
  EXPECT_TRUE(HiddenWithin(dlg.get()));
  EXPECT_EQ(dlg->Channel(), 2);
}

TEST_F(MelodyChannelTest, ThePreviewPlaysOnlyTheListsChannelAndStopsWithTheDialog) {
  int32_t counts[16] = {};
  song->GetChannelEventCounts(counts);
  int channel = -1;
  for (int c = 0; c < 16 && channel < 0; ++c) {
    if (counts[c] > 0) channel = c;
  }
  ASSERT_GE(channel, 0);
  Open(0);
  dlg->channelList->setCurrentIndex(channel);
  PressSkin(dlg->hosts[1]);
  ASSERT_TRUE(dlg->Previewing());
  EXPECT_EQ(CButtonPicture2::Caption(1), "　停　止");
  ASSERT_TRUE(recording->WaitForCount(2, std::chrono::milliseconds(5000)));
  // Closing while it plays stops it: the device hears nothing more.
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->Previewing());
  EXPECT_TRUE(WaitPlayThreadEnd(3000));
  const size_t heard = recording->Count();
  QTest::qWait(200);
  EXPECT_EQ(recording->Count(), heard);
  for (const auto& bytes : recording->Bytes()) {
    if (bytes.empty() || bytes[0] < 0x80 || bytes[0] >= 0xF0) continue;
    // Notes, controllers and programs of the chosen channel only (the stop's note-offs too).
    EXPECT_EQ(bytes[0] & 0x0F, channel) << std::hex << int(bytes[0]);
  }
}

class AbcDialogTest : public ::testing::Test {
 protected:
  void Open(size_t size) {
    buffer.assign(size, 'x');
    dlg = std::make_unique<CAbcNotationDlg>();
    dlg->SetOwner(&owner);
    dlg->SetBuffer(buffer.data(), buffer.size());
    dlg->Create();
    dlg->show();
  }
  InfoOwner owner;
  std::vector<char> buffer;
  std::unique_ptr<CAbcNotationDlg> dlg;
};

TEST_F(AbcDialogTest, SubmitFillsTheBufferWithCrLfLinesAndDiscardLeavesIt) {
  Open(30000);
  dlg->textBox->setPlainText(QStringLiteral("X:1\nK:C\nCDEF|"));
  dlg->submit->click();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(dlg->TextCame());
  EXPECT_EQ(std::string(buffer.data()), "X:1\r\nK:C\r\nCDEF|");
  EXPECT_EQ(dlg->TextLength(), 15u);

  Open(30000);
  dlg->textBox->setPlainText(QStringLiteral("X:1"));
  dlg->discard->click();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->TextCame());
  EXPECT_EQ(buffer[0], 'x');
}

TEST_F(AbcDialogTest, TextLongerThanTheBufferIsRefusedAndTheDialogStays) {
  const struct {
    int length;
    bool taken;
  } cases[] = {{29999, true}, {30000, false}};
  for (const auto& c : cases) {
    Open(30000);
    cantrel_test::Sink().Clear();
    dlg->textBox->setPlainText(QString(c.length, 'a'));
    dlg->submit->click();
    EXPECT_EQ(dlg->isVisible(), !c.taken) << c.length;
    EXPECT_EQ(dlg->TextCame(), c.taken);
    EXPECT_EQ(cantrel_test::Sink().Count(), c.taken ? 0u : 1u);
    if (c.taken) EXPECT_EQ(std::strlen(buffer.data()), 29999u);
  }
  // Enter is a line break, not a button.
  Open(100);
  QTest::keyClick(dlg->textBox, Qt::Key_Return);
  EXPECT_TRUE(dlg->isVisible());
}

}  // namespace
