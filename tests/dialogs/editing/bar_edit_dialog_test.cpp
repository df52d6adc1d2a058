// The bar-range edit dialog: its operations, the labels and number ranges each one sets, the
// last bar following the first, its buttons at each display scale and what it answers.
#include "dialogs/bar_edit_dialog.h"
#include "draw/button_picture.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/editing/editing_fixture.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>

#include <optional>

namespace {

class BarEditDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { CButtonPicture3::ResetState(); }
  void TearDown() override {
    dlg.reset();
    CButtonPicture3::ResetState();
  }
  void Open(int beats, int from, int to) {
    dlg = std::make_unique<CCopyDlg>();
    dlg->SetOwner(&owner);
    dlg->beatsPerBar = beats;
    dlg->from = from;
    dlg->to = to;
    dlg->Create();
  }
  void Choose(int operation) {
    dlg->operationList->setCurrentIndex(operation);
    emit dlg->operationList->activated(operation);
  }
  static std::string Text(QLabel* l) { return plat::FromQString(l->text()); }
  EditingOwner owner;
  std::unique_ptr<CCopyDlg> dlg;
};

TEST_F(BarEditDialogTest, EachOperationSetsItsFields) {
  Open(3, 2, 5);
  EXPECT_EQ(dlg->objectName(), "131");
  ASSERT_EQ(dlg->operationList->count(), 16);
  EXPECT_EQ(plat::FromQString(dlg->operationList->itemText(15)), "ﾒﾛﾃﾞｨとｺｰﾄ垂直反転");
  EXPECT_EQ(dlg->operation, 0) << "the first row at the start";
  struct Range {
    int low, high, value;
  };
  struct Case {
    int op;
    const char* fromLabel;
    const char* toLabel;
    bool targetShown;
    Range from, to;
    std::optional<Range> target;
  };
  const int bars = 1024 / 3;
  const Case cases[] = {
      {0, "小節目から", "小節目までを", true, {1, bars, 2}, {1, bars, 5}, Range{1, bars, 6}},
      {1, "小節目から", "小節目までを", true, {1, bars, 2}, {1, bars, 5}, Range{1, bars, 6}},
      {2, "小節目から", "小節目までを", false, {1, bars, 6}, {1, bars, 6}, std::nullopt},
      {3, "小節目から", "小節目までを", false, {1, bars, 2}, {1, bars, 5}, std::nullopt},
      {4, "小節目の", "拍目を", false, {1, bars, 6}, {1, 3, 1}, std::nullopt},
      {5, "小節目の", "つ目を", false, {1, bars, 6}, {1, 6, 1}, std::nullopt},
      {6, "小節目から", "小節目までを", false, {1, bars, 2}, {1, bars, 5}, std::nullopt},
      {7, "小節目から", "小節目までを", true, {1, bars, 2}, {1, bars, 5}, Range{-12, 12, 12}},
      {12, "小節目から", "小節目までを", false, {1, bars, 6}, {1, bars, 6}, std::nullopt},
      {15, "小節目から", "小節目までを", false, {1, bars, 2}, {1, bars, 5}, std::nullopt},
  };
  for (const Case& c : cases) {
    Choose(c.op);
    EXPECT_EQ(dlg->operation, c.op);
    EXPECT_EQ(Text(dlg->fromLabel), c.fromLabel) << c.op;
    EXPECT_EQ(Text(dlg->toLabel), c.toLabel) << c.op;
    EXPECT_EQ(dlg->targetBox->isVisibleTo(dlg.get()), c.targetShown) << c.op;
    EXPECT_TRUE(dlg->fromBox->isVisibleTo(dlg.get())) << c.op;
    const std::pair<QSpinBox*, Range> spins[] = {{dlg->fromBox, c.from}, {dlg->toBox, c.to}};
    for (const auto& [box, r] : spins) {
      EXPECT_EQ(box->minimum(), r.low) << c.op;
      EXPECT_EQ(box->maximum(), r.high) << c.op;
      EXPECT_EQ(box->value(), r.value) << c.op;
    }
    if (c.target) {
      EXPECT_EQ(dlg->targetBox->minimum(), c.target->low) << c.op;
      EXPECT_EQ(dlg->targetBox->maximum(), c.target->high) << c.op;
      EXPECT_EQ(dlg->targetBox->value(), c.target->value) << c.op;
    }
  }
  EXPECT_EQ(Text(dlg->targetLabel), "の値で") << "after the transposition";
  // The metre conversions hide every number field.
  Choose(10);
  for (QWidget* w : std::initializer_list<QWidget*>{dlg->fromBox, dlg->toBox, dlg->targetBox,
                                                     dlg->fromLabel, dlg->toLabel}) {
    EXPECT_FALSE(w->isVisibleTo(dlg.get())) << plat::FromQString(w->objectName());
  }
}

TEST_F(BarEditDialogTest, TheLastBarFollowsTheFirstExceptForBeatsAndEighths) {
  Open(4, 1, 3);
  dlg->fromBox->setValue(7);
  EXPECT_EQ(dlg->toBox->value(), 7);
  dlg->fromBox->setValue(2);
  EXPECT_EQ(dlg->toBox->value(), 7) << "only raised";
  Choose(4);
  dlg->fromBox->setValue(9);
  EXPECT_EQ(dlg->toBox->value(), 1);
}

TEST_F(BarEditDialogTest, AnswersAndCancels) {
  Open(4, 2, 4);
  Choose(7);
  dlg->targetBox->setValue(-5);
  dlg->OnButton(0);
  EXPECT_EQ(dlg->operation, 7);
  EXPECT_EQ(dlg->from, 2);
  EXPECT_EQ(dlg->to, 4);
  EXPECT_EQ(dlg->target, -5);
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  // A last bar left below the first covers the first bar alone.
  Open(4, 2, 4);
  Choose(3);
  {
    const QSignalBlocker block(dlg->fromBox);
    dlg->fromBox->setValue(9);
  }
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(dlg.get(), &enter);
  EXPECT_EQ(dlg->operation, 3);
  EXPECT_EQ(dlg->from, 9);
  EXPECT_EQ(dlg->to, 9);
  // Beat and eighth deletions keep their second number.
  Open(4, 2, 4);
  Choose(5);
  dlg->toBox->setValue(2);
  dlg->OnButton(0);
  EXPECT_EQ(dlg->from, 5);
  EXPECT_EQ(dlg->to, 2);
  // Cancel by button and by Escape.
  for (bool byButton : {true, false}) {
    Open(4, 2, 4);
    Choose(6);
    if (byButton) {
      dlg->OnButton(1);
    } else {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(dlg.get(), &escape);
    }
    EXPECT_EQ(dlg->operation, -1);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
  }
}

TEST_F(BarEditDialogTest, ButtonsByDisplayScale) {
  struct Case {
    int scale;
    QRect ok, cancel;
    const char* okCaption;
  } cases[] = {
      {100, {50, 95, 88, 30}, {170, 95, 88, 30}, "　入　力"},
      {125, {60, 120, 88, 30}, {190, 120, 88, 30}, "　入 力"},
      {150, {60, 140, 88, 30}, {190, 140, 88, 30}, "　入 力"},
      {175, {60, 160, 88, 30}, {190, 160, 88, 30}, "　入 力"},
      {200, {60, 190, 88, 30}, {190, 190, 88, 30}, "　入 力"},
  };
  for (const Case& c : cases) {
    owner.scale = c.scale;
    Open(4, 1, 1);
    EXPECT_EQ(dlg->buttonHosts[0]->geometry(), c.ok) << c.scale;
    EXPECT_EQ(dlg->buttonHosts[1]->geometry(), c.cancel) << c.scale;
    EXPECT_EQ(CButtonPicture3::Caption(0), c.okCaption) << c.scale;
    EXPECT_GE(dlg->height(), c.ok.bottom()) << c.scale;
    CButtonPicture3::OnPress(5, 5, 1);
    EXPECT_EQ(dlg->operation, -1) << "the cancel button, pressed";
  }
}

}  // namespace
