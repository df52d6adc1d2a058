// The preview page with the plain browser and a recording MIDI-out device: the bars a preview
// plays, the style and instruments it is arranged with, the key's timing databases, links that
// stop a playing preview, the way back to the page, the end of play, closing while playing, the
// combos and the layout by scale.
// The song helpers first: Qt's "slots" keyword would rename their words.
#include "tests/arrange/render/render_fixture.h"

#include "dialogs/preview_page.h"

#include "arrange/ckv_algo.h"
#include "draw/button_picture.h"
#include "engine/engine_state.h"
#include "music/play_thread.h"
#include "platform/core/midi_devices.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/web_browser.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/dialogs/web/web_fixture.h"
#include "tests/engine/door_holder.h"
#include "util/music_names.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <set>

namespace {

using cantrel_test::Sink;
using web_test::PumpUntil;

const char kPage[] = "http://example.invalid/song/1";
const char kIdle[] = "   試  聴";
const char kPlaying[] = "   停  止";

// The first key row of the mode (0 major, 1 minor) on the tonic.
int KeyRow(int mode, int tonic) {
  for (int k = 0; k < kKeySignatureCount; ++k)
    if (KeySignatureTable[k].mode == mode && KeySignatureTable[k].tonic == tonic) return k;
  return 0;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStyleModule();
    ResetEngineServices();
    ResetEngineState();
    CKVAlgo::Initialize();
    SeedComposition(11);
    recording = backend.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&backend);
    PlayThreadTimeLimits().stop_pause_ms = 0;
    Sink().Clear();
  }
  void TearDown() override {
    dlg.reset();
    ResetPlayThreadModule();
    plat::InstallMidiOutBackend(nullptr);
    ResetEngineState();
    ResetStyleModule();
    ResetEngineServices();
  }

  // A song of `bars` bars of a rising C major line, at the tempo and key.
  void MakeSong(int bars, int tempo, int key = 0, int beats = 4) {
    render_test::SongSpec spec;
    spec.bars = bars;
    spec.beats_per_bar = beats;
    for (int i = 0; i < bars * beats; ++i) spec.tones.push_back({60 + (i % 8), 2, "ら"});
    song = render_test::MakeSong(spec);
    song->key_index = key;
    song->info.SetInt(SongInfoBlock::kTempo, tempo);
    song->info.SetInt(SongInfoBlock::kStyleCategory, 1);
    song->info.SetInt(SongInfoBlock::kStyleSlot, 2);
    song->info.SetInt(SongInfoBlock::kMelodyProgram, 40);
    song->info.SetInt(SongInfoBlock::kSoloProgram, 73);
  }

  void Open(bool withSong = true, int width = 959, int height = 731) {
    dlg = std::make_unique<CTrialDlg>();
    dlg->SetOwner(&owner);
    dlg->song = withSong ? song.get() : nullptr;
    dlg->pageAddress = kPage;
    dlg->userDataFolder = cantrel_test::TempDir();
    dlg->windowWidth = width;
    dlg->windowHeight = height;
    ASSERT_TRUE(dlg->Create());
    dlg->show();
  }

  plat::PlainWebBrowser* Browser() const {
    return static_cast<plat::PlainWebBrowser*>(dlg->Browser());
  }
  static std::string Caption() { return CButtonPicture4::Caption(1); }

  // Note-ons and program changes the device was sent.
  std::vector<std::vector<uint8_t>> Sent(uint8_t kind) const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& b : recording->Bytes()) {
      if (b.empty() || (b[0] & 0xF0) != kind) continue;
      if (kind == 0x90 && (b.size() < 3 || b[2] == 0)) continue;
      out.push_back(b);
    }
    return out;
  }

  plat::TestMidiOutBackend backend;
  std::shared_ptr<plat::MidiRecording> recording;
  web_test::RecordingOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CTrialDlg> dlg;
};

TEST(PreviewBars, AboutFortySecondsAtMostTheSong) {
  struct Case {
    int tempo, beats, bars, expected;
  };
  const Case cases[] = {
      {120, 4, 32, 20}, {120, 4, 12, 12}, {90, 3, 64, 20}, {60, 4, 64, 10},
      {200, 7, 99, 19}, {0, 4, 8, 1},     {-5, 4, 8, 1},   {120, 0, 8, 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CTrialDlg::PreviewBars(c.tempo, c.beats, c.bars), c.expected)
        << c.tempo << " " << c.beats << " " << c.bars;
  }
}

TEST_F(PreviewTest, TheCombosShowTheSongsStyleAndInstruments) {
  MakeSong(8, 120);
  Open();
  EXPECT_EQ(dlg->CategoryCombo()->currentIndex(), 1);
  EXPECT_EQ(dlg->StyleCombo()->currentData().toInt(), 2);
  EXPECT_EQ(dlg->MelodyCombo()->count(), 128);
  EXPECT_EQ(dlg->SecondCombo()->count(), 129);
  EXPECT_EQ(plat::FromQString(dlg->SecondCombo()->itemText(128)), "なし");
  EXPECT_EQ(dlg->MelodyCombo()->currentIndex(), 40);
  EXPECT_EQ(dlg->SecondCombo()->currentIndex(), 73);
  EXPECT_EQ(plat::FromQString(dlg->windowTitle()), kPage);
  EXPECT_EQ(Browser()->CurrentAddress(), kPage);
}

TEST_F(PreviewTest, StoredValuesWithoutARowTakeTheFirst) {
  struct Case {
    int category, solo, melody;
    int categoryRow, soloRow, melodyRow;
  };
  const Case cases[] = {
      {99, 256, 500, 0, 128, 0},
      {-1, 128, -3, 0, 128, 0},
      {3, 999, 127, 3, 0, 127},
  };
  for (const Case& c : cases) {
    MakeSong(4, 120);
    song->info.SetInt(SongInfoBlock::kStyleCategory, c.category);
    song->info.SetInt(SongInfoBlock::kSoloProgram, c.solo);
    song->info.SetInt(SongInfoBlock::kMelodyProgram, c.melody);
    Open();
    EXPECT_EQ(dlg->CategoryCombo()->currentIndex(), c.categoryRow) << c.category;
    EXPECT_EQ(dlg->SecondCombo()->currentIndex(), c.soloRow) << c.solo;
    EXPECT_EQ(dlg->MelodyCombo()->currentIndex(), c.melodyRow) << c.melody;
    dlg.reset();
  }
}

TEST_F(PreviewTest, AnotherStyleBringsItsInstruments) {
  MakeSong(4, 120);
  Open();
  dlg->CategoryCombo()->setCurrentIndex(4);
  const int slot = dlg->StyleCombo()->currentData().toInt();
  const StyleRecord& record = StyleTableSlot(4, slot);
  EXPECT_EQ(dlg->MelodyCombo()->currentIndex(), record.instrument[1] < 128 ? record.instrument[1] : 0);
  const int second = record.instrument[15];
  EXPECT_EQ(dlg->SecondCombo()->currentIndex(), second == 256 ? 128 : (second <= 128 ? second : 0));
}

TEST_F(PreviewTest, WithoutASongThereAreNoCombosAndNoPreview) {
  Open(/*withSong=*/false);
  for (QComboBox* c : {dlg->CategoryCombo(), dlg->StyleCombo(), dlg->MelodyCombo(), dlg->SecondCombo()})
    EXPECT_TRUE(c->isHidden());
  dlg->OnButton(1);
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"JRCとイーライセンスの管理曲は試聴できません。"});
  EXPECT_FALSE(dlg->Playing());
  EXPECT_EQ(Caption(), kIdle);
  EXPECT_TRUE(Sent(0x90).empty());
  dlg->OnButton(0);
  EXPECT_TRUE(PumpUntil([&] { return !dlg->isVisible(); }, 3000));
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(PreviewTest, APreviewPlaysTwentyBarsAt120AndStopsOnTheSecondPress) {
  MakeSong(32, 120);
  Open();
  dlg->OnButton(1);
  ASSERT_TRUE(dlg->Playing());
  EXPECT_EQ(Caption(), kPlaying);
  ASSERT_NE(dlg->PreviewSong(), nullptr);
  EXPECT_EQ(dlg->PreviewSong()->bar_count, 20);
  EXPECT_EQ(CurrentStyle().metre, 0);
  // The file lives only between its writing and its loading.
  EXPECT_FALSE(std::filesystem::exists(cantrel_test::TempDir() / CTrialDlg::kPreviewFileName));
  dlg->OnButton(1);
  EXPECT_FALSE(dlg->Playing());
  EXPECT_EQ(Caption(), kIdle);
  EXPECT_FALSE(PlayThreadRunning());
}

// While another thread composes, the page does not wait for the engine: no preview plays and
// the button is ready again; once the engine is free the next press plays.
TEST_F(PreviewTest, WhileAnotherThreadComposesNoPreviewPlays) {
  MakeSong(32, 120);
  Open();
  {
    engine_test::DoorHolder other;
    dlg->OnButton(1);
    EXPECT_FALSE(dlg->Playing());
    EXPECT_EQ(Caption(), kIdle);
    EXPECT_TRUE(Sent(0x90).empty());
  }
  dlg->OnButton(1);
  EXPECT_TRUE(dlg->Playing());
  EXPECT_EQ(Caption(), kPlaying);
  dlg->OnButton(1);
  EXPECT_FALSE(dlg->Playing());
}

TEST_F(PreviewTest, TheKeyChoosesTheTimingDatabasesAndTheTonic) {
  struct Case {
    int key;
    int mode;
    int offset;
  };
  const Case cases[] = {
      {KeyRow(1, 9), 2, 0},  // A minor: on the tonic of C
      {KeyRow(1, 4), 2, 7},  // E minor: on G
      {KeyRow(0, 7), 1, 7},  // G major
      {0, 1, 0},
  };
  for (const Case& c : cases) {
    MakeSong(4, 120, c.key, 3);
    Open();
    // A style whose progression has minor tables.
    ASSERT_NE(StyleTableSlot(1, 2).progression, 3);
    dlg->OnButton(1);
    EXPECT_EQ(CurrentStyle().key_mode, c.mode) << c.key;
    EXPECT_EQ(CurrentStyle().key_offset, c.offset) << c.key;
    EXPECT_EQ(CurrentStyle().metre, 1);
    // The minor tables, as the 3/4 metre names them.
    EXPECT_EQ(CurrentTimingDatabases().database_kind, c.mode) << c.key;
    dlg.reset();
  }
}

TEST_F(PreviewTest, TheChosenInstrumentsAreTheOnesPlayed) {
  MakeSong(2, 240);
  Open();
  dlg->MelodyCombo()->setCurrentIndex(19);
  dlg->SecondCombo()->setCurrentIndex(56);
  dlg->OnButton(1);
  ASSERT_TRUE(PumpUntil([&] { return !dlg->Playing(); }, 20000));
  std::set<int> programs1, programs15;
  for (const auto& b : Sent(0xC0)) {
    if ((b[0] & 0x0F) == 1) programs1.insert(b[1]);
    if ((b[0] & 0x0F) == 15) programs15.insert(b[1]);
  }
  EXPECT_EQ(programs1, std::set<int>{19});
  EXPECT_EQ(programs15, std::set<int>{56});
  EXPECT_EQ(CurrentStyle().instrument[15], 56);
  EXPECT_EQ(std::memcmp(&CurrentStyle().mixer[15], &CurrentStyle().mixer[1], sizeof(MixerRecord)), 0);
}

TEST_F(PreviewTest, TheEndOfPlayRestoresTheCaptionAndTheMelodyIsTheSongs) {
  for (uint32_t seed : {3u, 17u, 40u}) {
    SCOPED_TRACE(seed);
    recording->Clear();
    MakeSong(1, 240);
    Open();
    SeedComposition(seed);
    dlg->OnButton(1);
    ASSERT_TRUE(dlg->Playing());
    ASSERT_TRUE(PumpUntil([&] { return !dlg->Playing(); }, 20000));
    EXPECT_EQ(Caption(), kIdle);
    // The preview's melody on channel 1: the song's four eighths, 60 to 63.
    std::vector<int> melody;
    for (const auto& b : Sent(0x90))
      if ((b[0] & 0x0F) == 1) melody.push_back(b[1]);
    EXPECT_EQ(melody, (std::vector<int>{60, 61, 62, 63}));
    dlg.reset();
  }
}

TEST_F(PreviewTest, ALinkStopsAPlayingPreviewOnly) {
  MakeSong(32, 120);
  Open();
  // Idle: a link changes nothing but the page.
  Browser()->FollowLink("http://example.invalid/other");
  EXPECT_FALSE(dlg->Playing());
  EXPECT_EQ(Caption(), kIdle);
  // Play goes back to the song's page first.
  dlg->OnButton(1);
  ASSERT_TRUE(dlg->Playing());
  EXPECT_EQ(Browser()->CurrentAddress(), kPage);
  EXPECT_EQ(Browser()->Opened(),
            (std::vector<std::string>{kPage, "http://example.invalid/other", kPage}));
  // A link to the page itself (as written another way) keeps playing.
  Browser()->FollowLink("HTTP://Example.invalid:80/song/./1");
  EXPECT_TRUE(dlg->Playing());
  Browser()->FollowLink("http://example.invalid/shop#buy");
  EXPECT_FALSE(dlg->Playing());
  EXPECT_EQ(Caption(), kIdle);
  EXPECT_FALSE(PlayThreadRunning());
}

TEST_F(PreviewTest, BackIsRefusedWhilePlayingAndEscapeStopsAndCloses) {
  MakeSong(32, 120);
  Open();
  dlg->OnButton(1);
  ASSERT_TRUE(dlg->Playing());
  dlg->OnButton(0);
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"再生を停止してください。"});
  EXPECT_FALSE(dlg->ClosePending());
  EXPECT_TRUE(dlg->isVisible());
  dlg->reject();  // Escape and the frame's close box
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->Playing());
  EXPECT_FALSE(PlayThreadRunning());
}

TEST_F(PreviewTest, TheButtonBlinks) {
  MakeSong(4, 120);
  Open();
  const int before = dlg->BlinkFlag();
  dlg->OnTimer();
  EXPECT_NE(dlg->BlinkFlag(), before);
  dlg->OnTimer();
  EXPECT_EQ(dlg->BlinkFlag(), before);
}

TEST_F(PreviewTest, TheLayoutFollowsTheScale) {
  struct Case {
    int scale, width, height;
    QRect browser, back, preview;
    int styleLeft, comboTop;
  };
  const Case cases[] = {
      {100, 959, 731, {10, 10, 880, 645}, {10, 665, 88, 30}, {800, 665, 88, 30}, 270, 668},
      {125, 959, 731, {10, 10, 919, 641}, {10, 650, 88, 30}, {710, 650, 88, 30}, 270, 650},
      {150, 959, 731, {10, 10, 899, 611}, {10, 640, 88, 30}, {770, 640, 88, 30}, 290, 640},
      {175, 959, 731, {10, 10, 899, 611}, {10, 630, 88, 30}, {830, 630, 88, 30}, 310, 630},
      {200, 1059, 731, {10, 10, 999, 611}, {10, 625, 88, 30}, {920, 625, 88, 30}, 340, 625},
      {250, 1059, 731, {10, 10, 999, 611}, {10, 625, 88, 30}, {890, 625, 88, 30}, 330, 625},
  };
  MakeSong(4, 120);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    owner.scale = c.scale;
    Open(true, c.width, c.height);
    EXPECT_EQ(dlg->Browser()->Widget()->geometry(), c.browser);
    EXPECT_EQ(dlg->findChild<QWidget*>("1065")->geometry(), c.back);
    EXPECT_EQ(dlg->findChild<QWidget*>("1012")->geometry(), c.preview);
    EXPECT_EQ(dlg->StyleCombo()->geometry().left(), c.styleLeft);
    EXPECT_EQ(dlg->StyleCombo()->geometry().top(), c.comboTop);
    EXPECT_EQ(dlg->size(), QSize(c.width, c.height));
    dlg.reset();
  }
}

}  // namespace
