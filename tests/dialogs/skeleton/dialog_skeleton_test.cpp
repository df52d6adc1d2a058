#include "dialogs/dialog_skeleton.h"

#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QtTest/QSignalSpy>
#include <QTimer>

#include <tuple>
#include <vector>

namespace {

using Posted = std::tuple<uint32_t, uintptr_t, intptr_t>;

class FakeOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t m, uintptr_t w, intptr_t l) override { posted.emplace_back(m, w, l); }
  int InputMode() const override { return inputMode; }
  int DisplayScale() const override { return scale; }
  std::vector<Posted> posted;
  int inputMode = 1;
  int scale = 100;
};

class ProbeDialog : public CDialogSkeleton {
 public:
  ProbeDialog() : CDialogSkeleton(130) { resize(200, 100); }
  int inits = 0;
  int copies = 0;
  std::vector<Posted> messages;
  QLineEdit* edit = nullptr;

 protected:
  bool OnInitDialog() override {
    ++inits;
    edit = new QLineEdit(this);
    edit->setObjectName("1034");
    return true;
  }
  void WindowProc(uint32_t m, uintptr_t w, intptr_t l) override { messages.emplace_back(m, w, l); }
  void CopyPictures() override { ++copies; }
};

// A box that notes whether the keyboard hook was in while it was open.
class HookProbeSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string& text) override {
    hookDuringBox.push_back(CKeyboardHook::Installed());
    texts.push_back(text);
    return plat::kIdOk;
  }
  std::vector<bool> hookDuringBox;
  std::vector<std::string> texts;
};

class DialogSkeletonTest : public ::testing::Test {
 protected:
  void SetUp() override { CKeyboardHook::Reset(); }
  void TearDown() override {
    plat::InstallSink(&cantrel_test::Sink());
    CKeyboardHook::Reset();
  }
  FakeOwner owner;
};

QColor Rgb(plat::ColorRef c) {
  return QColor(plat::GetRValue(c), plat::GetGValue(c), plat::GetBValue(c));
}

TEST_F(DialogSkeletonTest, NamedByTemplateAndPaintedInTheDialogColours) {
  ProbeDialog dlg;
  dlg.SetOwner(&owner);
  ASSERT_TRUE(dlg.Create());
  auto* label = new QLabel("abc", &dlg);
  dlg.UseDialogColours(label);
  EXPECT_EQ(dlg.objectName(), "130");
  EXPECT_EQ(dlg.TemplateId(), 130);
  const QImage shot = dlg.grab().toImage();
  EXPECT_EQ(shot.pixelColor(150, 80).rgb(), Rgb(0xC8C2C2).rgb());
  EXPECT_GT(dlg.copies, 0) << "painting copies the pictures to their hosts";
  EXPECT_EQ(label->palette().color(QPalette::WindowText).rgb(), Rgb(0x407F40).rgb());
  // Other controls keep the toolkit's text colour.
  EXPECT_EQ(dlg.edit->palette().color(QPalette::WindowText).rgb(),
            QApplication::palette().color(QPalette::WindowText).rgb());
}

TEST_F(DialogSkeletonTest, InitialisationRunsOnceAndMessagesReachTheWindowProcedure) {
  ProbeDialog dlg;
  dlg.Create();
  dlg.Create();
  EXPECT_EQ(dlg.inits, 1);
  dlg.Post(0x8000 + 13, 4, -2);
  dlg.Send(0x8000 + 15);
  ASSERT_EQ(dlg.messages.size(), 1u) << "a sent message is handled at once, a posted one later";
  QCoreApplication::processEvents();
  ASSERT_EQ(dlg.messages.size(), 2u);
  EXPECT_EQ(dlg.messages[0], Posted(0x8000 + 15, 0, 0));
  EXPECT_EQ(dlg.messages[1], Posted(0x8000 + 13, 4, -2));
}

TEST_F(DialogSkeletonTest, MessageBoxesTakeTheHookOutOnlyInPcKeyMode) {
  HookProbeSink sink;
  plat::InstallSink(&sink);
  CKeyboardHook::SetCallbacks([](int, int, int, int) {}, nullptr);
  struct Case {
    int inputMode;
    bool hookInDuringBox;
  };
  for (const Case c : {Case{0, false}, Case{1, true}}) {
    SCOPED_TRACE(c.inputMode);
    ASSERT_EQ(CKeyboardHook::Install(), 1);
    owner.inputMode = c.inputMode;
    ProbeDialog dlg;
    dlg.SetOwner(&owner);
    dlg.ShowMessage("音域外の音です。");
    ASSERT_FALSE(sink.hookDuringBox.empty());
    EXPECT_EQ(sink.hookDuringBox.back(), c.hookInDuringBox);
    EXPECT_EQ(sink.texts.back(), "音域外の音です。");
    EXPECT_TRUE(CKeyboardHook::Installed()) << "the hook is back after the box";
  }
  // Without a hook in place nothing is put in afterwards.
  CKeyboardHook::Uninstall();
  owner.inputMode = 0;
  ProbeDialog dlg;
  dlg.SetOwner(&owner);
  dlg.ShowMessage("x");
  EXPECT_FALSE(CKeyboardHook::Installed());
}

TEST_F(DialogSkeletonTest, ModalRunsWithTheHookOutInPcKeyMode) {
  CKeyboardHook::SetCallbacks([](int, int, int, int) {}, nullptr);
  ASSERT_EQ(CKeyboardHook::Install(), 1);
  owner.inputMode = 0;
  ProbeDialog dlg;
  dlg.SetOwner(&owner);
  bool hookWhileOpen = true;
  QTimer::singleShot(0, &dlg, [&] {
    hookWhileOpen = CKeyboardHook::Installed();
    dlg.done(7);
  });
  EXPECT_EQ(dlg.exec(), 7);
  EXPECT_EQ(dlg.inits, 1);
  EXPECT_FALSE(hookWhileOpen);
  EXPECT_TRUE(CKeyboardHook::Installed());
}

TEST_F(DialogSkeletonTest, ClosingAfterASkinButtonWaitsOnATimer) {
  ProbeDialog dlg;
  dlg.Create();
  dlg.show();
  QSignalSpy finished(&dlg, &QDialog::finished);
  dlg.CloseAfterButton(1, 50);
  dlg.CloseAfterButton(2, 50);  // a second press while waiting changes nothing
  EXPECT_TRUE(dlg.isVisible()) << "the pressed button stays in view meanwhile";
  EXPECT_TRUE(dlg.ClosePending());
  EXPECT_EQ(cantrel_test::Clock().Slept().count(), 0) << "no sleeping on the UI thread";
  ASSERT_TRUE(finished.wait(2000));
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(finished.at(0).at(0).toInt(), 1);
  EXPECT_FALSE(dlg.isVisible());
}

TEST_F(DialogSkeletonTest, CtrlKeysGoToTheMainWindowOnce) {
  ProbeDialog dlg;
  dlg.SetOwner(&owner);
  dlg.Create();
  auto* late = new QLineEdit(&dlg);  // made after the initialisation
  struct Case {
    const char* name;
    bool forward;
    QWidget* target;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    std::vector<Posted> expected;
  };
  const std::vector<Case> cases = {
      {"ctrl+z in an edit", true, dlg.edit, Qt::Key_Z, Qt::ControlModifier,
       {Posted(0x8000 + 39, 'Z', 1)}},
      {"ctrl+s on the dialog", true, &dlg, Qt::Key_S, Qt::ControlModifier,
       {Posted(0x8000 + 39, 'S', 1)}},
      {"a later control", true, late, Qt::Key_C, Qt::ControlModifier,
       {Posted(0x8000 + 39, 'C', 1)}},
      {"no ctrl", true, dlg.edit, Qt::Key_Z, Qt::NoModifier, {}},
      {"panel that takes no keys", false, dlg.edit, Qt::Key_Z, Qt::ControlModifier, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    owner.posted.clear();
    dlg.ForwardCtrlKeys(c.forward);
    QTest::keyClick(c.target, c.key, c.mods);
    EXPECT_EQ(owner.posted, c.expected);
  }
}

TEST_F(DialogSkeletonTest, ScaleChoosesTheFirstOrSecondVariant) {
  ProbeDialog dlg;
  EXPECT_TRUE(dlg.AtScale100()) << "without an owner";
  dlg.SetOwner(&owner);
  for (int scale : {100, 125, 150, 200}) {
    owner.scale = scale;
    EXPECT_EQ(dlg.AtScale100(), scale == 100) << scale;
  }
}

}  // namespace

namespace {

TEST(DialogPlacesTest, ControlsGoToTheirRectanglesAndDropDownsKeepTheirClosedHeight) {
  CDialogSkeleton dlg(129);
  auto* label = dlg.MakeControl<QLabel>(1054);
  auto* tall = dlg.MakeControl<QComboBox>(1001);
  auto* flat = dlg.MakeControl<QComboBox>(1019);
  dlg.PlaceControls({{1054, 9, 8, 64, 53}, {1001, 18, 23, 56, 153}, {1019, 10, 32, 164, 52},
                     {4242, 0, 0, 10, 10}});  // no such control: nothing happens
  EXPECT_EQ(label->geometry(), QRect(9, 8, 55, 45));
  EXPECT_EQ(tall->geometry(), QRect(18, 23, 38, CDialogSkeleton::kClosedListHeight));
  EXPECT_EQ(tall->maxVisibleItems(), 130 / 16) << "the open list's height";
  EXPECT_EQ(flat->geometry(), QRect(10, 32, 154, CDialogSkeleton::kClosedListHeight));
  EXPECT_EQ(flat->maxVisibleItems(), QComboBox().maxVisibleItems());
  EXPECT_EQ(label->objectName(), "1054");
  QPlainTextEdit* advice = dlg.MakeAdviceBox(1055);
  EXPECT_TRUE(advice->isReadOnly());
  EXPECT_EQ(advice->objectName(), "1055");
}

}  // namespace
