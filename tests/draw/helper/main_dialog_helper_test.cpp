// The main-dialog helpers: paths, chord texts, chord pitches, diatonic tables, metre list,
// style lists and the bar hit test.
#include "draw/main_dialog_helper.h"
#include "style/style_table.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(MainDialogHelper, DataFilePath) {
  EXPECT_EQ(CCantrelCommon::MakeDataFilePath("C:\\"), "C:\\data_kv.dat");
  EXPECT_EQ(CCantrelCommon::MakeDataFilePath("C:\\Tools"), "C:\\Tools\\data_kv.dat");
  EXPECT_EQ(CCantrelCommon::MakeChordListPath("C:\\Tools"), "C:\\Tools\\chord.txt");
}

TEST(MainDialogHelper, ChordNames) {
  EXPECT_EQ(CCantrelCommon::FormatChordName(9, 10, 4), "Bbm7");
  EXPECT_EQ(CCantrelCommon::FormatChordName(1, 10, 4), "A#m7");
  EXPECT_EQ(CCantrelCommon::FormatChordName(0, 0, 0), "C");
  EXPECT_EQ(CCantrelCommon::FormatChordName(0, -1, 4), "m7");
  EXPECT_EQ(CCantrelCommon::FormatChordName(0, 2, -1), "D");
  EXPECT_EQ(CCantrelCommon::FormatChordWithDegree(0, "C "), "C\n(I)");
  EXPECT_EQ(CCantrelCommon::FormatChordWithDegree(0, "Am7"), "Am7\n(VIm7)");
  EXPECT_EQ(CCantrelCommon::PadChordRoot("C"), "C ");
  EXPECT_EQ(CCantrelCommon::PadChordRoot("Bb"), "Bb ");
  EXPECT_EQ(CCantrelCommon::PadChordRoot("Am"), "Am");
}

TEST(MainDialogHelper, ChordPitchesForAudition) {
  int p[6] = {};
  ASSERT_EQ(CCantrelCommon::GetChordPitches(p, 0, 3, 0), 4);
  EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{60, 64, 67, 71}));
  ASSERT_EQ(CCantrelCommon::GetChordPitches(p, 0, 3, 4), 5);
  EXPECT_EQ(p[4], 52);
  ASSERT_EQ(CCantrelCommon::GetChordPitches(p, 9, 1, 0), 3);  // A minor, ascending from 69
  EXPECT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{69, 72, 76}));
  EXPECT_EQ(CCantrelCommon::GetChordPitches(p, -1, -1, 0), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(CCantrelCommon::GetChordPitches(p, -1, 2, 0), 0);
  EXPECT_EQ(cantrel_test::Sink().Texts().back(), "CCantrelCommon::ErrorMsg");
  CCantrelCommon::ErrorMsg(1);
  EXPECT_EQ(cantrel_test::Sink().Texts().back(), "音価が異常です。");
}

TEST(MainDialogHelper, MetreList) {
  int kind = 0;
  EXPECT_EQ(CCantrelCommon::MetreFromIndex(2, &kind), 3);
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(CCantrelCommon::MetreFromIndex(0, &kind), 4);
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(CCantrelCommon::MetreFromIndex(1, nullptr), 3);
  EXPECT_EQ(CCantrelCommon::MetreIndex(3, 2), 2);
  EXPECT_EQ(CCantrelCommon::MetreIndex(3, 0), 2);
  EXPECT_EQ(CCantrelCommon::MetreIndex(3, 1), 1);
  EXPECT_EQ(CCantrelCommon::MetreIndex(4, 2), 0);
}

TEST(MainDialogHelper, DiatonicTableOfCMajor) {
  std::vector<char> block(24 * 512, 'x');
  CCantrelCommon::BuildDiatonicChordTable(0, 0, block.data(), false);
  EXPECT_STREQ(&block[0], "C\n(I)");
  EXPECT_EQ(std::string(&block[5 * 32]).substr(0, 3), "Am\n");
  EXPECT_EQ(std::string(&block[512]).substr(0, 3), "CM7");
  // Transposed: the chords run down the rows.
  CCantrelCommon::BuildDiatonicChordTable(0, 0, block.data(), true);
  EXPECT_EQ(std::string(&block[1 * 512]).substr(0, 3), "Dm\n");
  EXPECT_EQ(std::string(&block[1 * 512 + 32]).substr(0, 3), "Dm7");
}

TEST(MainDialogHelper, StyleLists) {
  BuildStyleTable();
  QComboBox categories, styles;
  QLabel label;
  CCantrelCommon::FillCategoryCombo(&categories, 2);
  EXPECT_EQ(categories.count(), 9);
  EXPECT_EQ(categories.currentIndex(), 2);
  CCantrelCommon::FillStyleCombo(&styles, &categories, &label);
  ASSERT_GT(styles.count(), 0);
  EXPECT_EQ(label.text(), QStringLiteral("Free"));
  const int slot = styles.itemData(styles.count() - 1).toInt();
  CCantrelCommon::SelectStyleInCombo(2, &styles, slot);
  EXPECT_EQ(styles.currentIndex(), styles.count() - 1);
  EXPECT_EQ(CCantrelCommon::FindStyleSlotByName(2, "no such style"), 24);
}

TEST(MainDialogHelper, BarHitTest) {
  const std::vector<QRect> windows = {QRect(10, 10, 224, 96), QRect(234, 10, 224, 96)};
  int eighth = -7;
  EXPECT_EQ(CCantrelCommon::HitTestBarWindows(5, 5, &eighth, windows, nullptr, 0), -1);
  EXPECT_EQ(eighth, -7);
  EXPECT_EQ(CCantrelCommon::HitTestBarWindows(10 + 28 * 3 + 1, 50, &eighth, windows, nullptr, 0), 0);
  EXPECT_EQ(eighth, 3);
  EXPECT_EQ(CCantrelCommon::HitTestBarWindows(300, 50, &eighth, windows, nullptr, 0), 1);
  EXPECT_EQ(eighth, 2);
}

}  // namespace
