#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>

#include "platform/qt/gne_window.h"

TEST(GneWindow, FindsVisibleTopLevelWindowsByTitleAndClass) {
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("曲の情報"));
  dialog.show();
  QWidget plain;
  plain.setWindowTitle(QStringLiteral("曲の情報"));  // same title, other class, hidden

  EXPECT_EQ(GneFindWindow("曲の情報", "QDialog"), &dialog);
  EXPECT_EQ(GneFindWindow("曲の情報", nullptr), &dialog);
  EXPECT_EQ(GneFindWindow(nullptr, "QDialog"), &dialog);
  EXPECT_EQ(GneFindWindow("曲の情報", "QMainWindow"), nullptr);
  EXPECT_EQ(GneFindWindow("別の窓", nullptr), nullptr);
  dialog.hide();
  EXPECT_EQ(GneFindWindow("曲の情報", nullptr), nullptr);
}

TEST(GneWindow, FrameSizeIsOuterMinusInnerAndNullIsZero) {
  QWidget w;
  w.resize(200, 100);
  w.show();
  int fw = -1, fh = -1;
  GneGetFrameSize(&w, &fw, &fh);
  EXPECT_EQ(fw, w.frameGeometry().width() - w.geometry().width());
  EXPECT_EQ(fh, w.frameGeometry().height() - w.geometry().height());
  EXPECT_GE(fw, 0);
  GneGetFrameSize(nullptr, &fw, &fh);
  EXPECT_EQ(fw, 0);
  EXPECT_EQ(fh, 0);
}

TEST(GneWindow, DisplayClassIsOneOfThree) {
  int c = GneGetDisplayClass();
  EXPECT_GE(c, 0);
  EXPECT_LE(c, 2);
}
