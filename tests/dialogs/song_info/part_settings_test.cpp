// The part settings driven through their lists, spins and close button: what each shows of the
// song's style, what the button stores, and that Enter and Escape store nothing.
#include "dialogs/part_settings_dialogs.h"
#include "draw/button_picture.h"
#include "platform/qt/qt_text.h"
#include "style/choice_lists.h"
#include "tests/dialogs/song_info/dialog_test_util.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

namespace {

class PartSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CButtonPicture3::ResetState();
    song = MakeSong();
    StyleRecord& s = song->style;
    for (int c = 0; c < 12; ++c) {
      s.octave[c] = 0;
      s.density[c] = 100;
    }
    for (int c = 0; c < 16; ++c) s.mixer[c].volume = 90;
    s.accompaniment = 13;
    s.subharmony_accompaniment = 4;
    s.drum_pattern = 2;
    s.bass_pattern = 8;
  }
  void TearDown() override {
    harmony.reset();
    mdy.reset();
    CButtonPicture3::ResetState();
  }
  void OpenHarmony(int channel) {
    harmony = std::make_unique<CHarmonyDlg>();
    harmony->SetOwner(&owner);
    harmony->SetPart(song.get(), channel);
    harmony->Create();
    harmony->show();
  }
  void OpenMdy(int channel) {
    mdy = std::make_unique<CMdyDlg>();
    mdy->SetOwner(&owner);
    mdy->SetPart(song.get(), channel);
    mdy->Create();
    mdy->show();
  }
  std::vector<uint8_t> Image() { return song->SerializeToVector(); }

  InfoOwner owner;
  std::unique_ptr<CSongData> song;
  std::unique_ptr<CHarmonyDlg> harmony;
  std::unique_ptr<CMdyDlg> mdy;
};

TEST_F(PartSettingsTest, EachChannelShowsItsCaptionListAndStoredValues) {
  song->style.octave[3] = 1;
  song->style.density[7] = 140;
  song->style.mixer[2].volume = 77;
  const struct {
    int channel;
    const char* caption;
    const ChoiceList* list;
    std::string shownPattern;
    int octaveRow;
    bool octaveShown;
  } cases[] = {
      {2, "ベース", &BassPatternChoiceList, "ｳｫｰｷﾝｸﾞﾍﾞｰｽ", 0, true},
      {3, "ハーモニー", &AccompanimentChoiceList, "アルペジオ", 3, true},
      {7, "ハーモニー", &AccompanimentChoiceList, "ポップス風", 0, true},
      {9, "ドラム", &DrumPatternChoiceList, "16ビート", 0, false},
  };
  for (const auto& c : cases) {
    OpenHarmony(c.channel);
    EXPECT_EQ(plat::FromQString(harmony->windowTitle()), c.caption);
    EXPECT_EQ(plat::FromQString(harmony->octaveLabel->text()), "音域");
    EXPECT_EQ(plat::FromQString(harmony->patternLabel->text()), "パターン");
    ASSERT_EQ(harmony->patternList->count(), static_cast<int>(c.list->count)) << c.channel;
    EXPECT_EQ(plat::FromQString(harmony->patternList->currentText()), c.shownPattern) << c.channel;
    EXPECT_EQ(harmony->octaveList->count(), 6);
    EXPECT_EQ(harmony->octaveList->currentIndex(), c.octaveRow) << c.channel;
    EXPECT_EQ(!harmony->octaveList->isHidden(), c.octaveShown);
    EXPECT_EQ(!harmony->octaveLabel->isHidden(), c.octaveShown);
    EXPECT_EQ(harmony->density->value(), song->style.density[c.channel]);
    EXPECT_EQ(harmony->density->minimum(), 20);
    EXPECT_EQ(harmony->density->maximum(), 160);
    EXPECT_EQ(harmony->volume->value(), song->style.mixer[c.channel].volume);
    harmony.reset();
  }
  // The lists hold the tables in display order.
  EXPECT_STREQ(BassPatternChoiceList.entries[0].name, "通奏低音");
  EXPECT_EQ(BassPatternChoiceList.count, 23u);
  EXPECT_EQ(DrumPatternChoiceList.count, 40u);
  EXPECT_STREQ(DrumPatternChoiceList.entries[39].name, "カスタム");
  EXPECT_EQ(AccompanimentChoiceList.count, 61u);
}

TEST_F(PartSettingsTest, TheButtonStandsLowerAtLargerScales) {
  const struct {
    int scale, y;
  } cases[] = {{100, 160}, {125, 210}, {150, 260}, {175, 310}, {200, 360}, {250, 160}};
  for (const auto& c : cases) {
    owner.scale = c.scale;
    OpenHarmony(3);
    EXPECT_EQ(harmony->closeHost->geometry(), QRect(150, c.y, 88, 30)) << c.scale;
    EXPECT_EQ(CButtonPicture3::Caption(0), "　閉じる");
    harmony.reset();
  }
  OpenMdy(1);
  EXPECT_EQ(mdy->closeHost->geometry(), QRect(120, 180, 88, 30));
}

TEST_F(PartSettingsTest, APatternTheListLacksShowsNoChoiceAndIsKept) {
  song->style.bass_pattern = 99;
  OpenHarmony(2);
  EXPECT_EQ(harmony->patternList->currentIndex(), -1);
  PressSkin(harmony->closeHost);
  EXPECT_FALSE(harmony->isVisible());
  EXPECT_EQ(song->style.bass_pattern, 99);
}

TEST_F(PartSettingsTest, TheFixedPatternIsStoredAs46AndShownAsItsFirstRow) {
  OpenHarmony(3);
  harmony->patternList->setCurrentIndex(harmony->patternList->findText(plat::ToQString("固定パターン")));
  harmony->octaveList->setCurrentIndex(4);
  harmony->density->setValue(160);
  harmony->volume->setValue(127);
  PressSkin(harmony->closeHost);
  EXPECT_EQ(song->style.accompaniment, 46);
  EXPECT_EQ(song->style.octave[3], 99);
  EXPECT_EQ(song->style.density[3], 160);
  EXPECT_EQ(song->style.mixer[3].volume, 127);
  harmony.reset();
  OpenHarmony(3);
  EXPECT_EQ(plat::FromQString(harmony->patternList->currentText()), "長めの固定リフ");
}

TEST_F(PartSettingsTest, TheDrumsStoreTheirHiddenOctaveRow) {
  song->style.octave[9] = 55;  // not a choice: row 0 is shown
  OpenHarmony(9);
  EXPECT_EQ(harmony->octaveList->currentIndex(), 0);
  PressSkin(harmony->closeHost);
  EXPECT_EQ(song->style.octave[9], 0);
}

TEST_F(PartSettingsTest, EnterAndEscapeLeaveTheSongAsItWas) {
  song->style.octave[1] = 1;
  const std::vector<uint8_t> before = Image();
  // Enter, Escape, and (key 0) the close box.
  auto leave = [](QWidget* d, int key) {
    if (key == 0) {
      d->close();
    } else {
      QTest::keyClick(d, static_cast<Qt::Key>(key));
    }
  };
  for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
    OpenHarmony(7);
    harmony->volume->setValue(3);
    harmony->patternList->setCurrentIndex(0);
    leave(harmony.get(), key);
    EXPECT_FALSE(harmony->isVisible());
    OpenMdy(1);
    mdy->volume->setValue(3);
    leave(mdy.get(), key);
    EXPECT_FALSE(mdy->isVisible());
    EXPECT_EQ(Image(), before) << key;
  }
}

TEST_F(PartSettingsTest, TheMelodyPlayedAnOctaveUpShowsItsLayeredNotes) {
  const struct {
    int octave, stored;
    bool shown;
    int value;
  } cases[] = {{1, 0, true, 38}, {1, 70, true, 70}, {0, 0, false, 0}, {-1, 5, false, 5}};
  for (const auto& c : cases) {
    song->style.octave[1] = c.octave;
    song->style.unison_velocity = c.stored;
    OpenMdy(1);
    EXPECT_EQ(!mdy->layered->isHidden(), c.shown);
    EXPECT_EQ(song->style.unison_velocity, c.stored) << "nothing written on opening";
    if (c.shown) EXPECT_EQ(mdy->layered->value(), c.value);
    PressSkin(mdy->closeHost);
    EXPECT_EQ(song->style.unison_velocity, c.value);
    mdy.reset();
  }
}

TEST_F(PartSettingsTest, TheSoloCannotBeSilencedTheVocalCan) {
  for (int channel : {1, 15}) {
    OpenMdy(channel);
    mdy->volume->setValue(0);
    PressSkin(mdy->closeHost);
    EXPECT_EQ(song->style.mixer[channel].volume, channel == 15 ? 1 : 0);
    mdy.reset();
  }
}

}  // namespace
