// The keyboard hook: which keys it takes, with which virtual-key codes and modifier flags, and
// which windows keep their keys.
#include "platform/qt/keyboard_hook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <tuple>
#include <vector>

namespace {

class KeyCounter : public QWidget {
 public:
  int presses = 0;
  int releases = 0;

 protected:
  void keyPressEvent(QKeyEvent*) override { ++presses; }
  void keyReleaseEvent(QKeyEvent*) override { ++releases; }
};

using Call = std::tuple<char, int, int, int, int>;  // 'd'own / 'u'p, vk, ctrl, shift, alt

class KeyboardHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CKeyboardHook::Reset();
    CKeyboardHook::SetHookedWindows([this](const QWidget* w) { return w == &hooked; });
    CKeyboardHook::SetCallbacks(
        [this](int vk, int c, int s, int a) { calls.emplace_back('d', vk, c, s, a); },
        [this](int vk, int c, int s, int a) { calls.emplace_back('u', vk, c, s, a); });
  }
  void TearDown() override { CKeyboardHook::Reset(); }
  void Key(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers m, bool repeat = false) {
    QKeyEvent e(type, key, m, QString(), repeat);
    QApplication::sendEvent(w, &e);
  }

  KeyCounter hooked;
  KeyCounter other;
  std::vector<Call> calls;
};

TEST(KeyboardHookMapping, KeysToVirtualKeyCodes) {
  struct Case {
    int key;
    bool keypad;
    unsigned scan;
    int vk;
  } cases[] = {
      {Qt::Key_A, false, 0, 0x41},          {Qt::Key_Z, false, 0, 0x5A},
      {Qt::Key_0, false, 0, 0x30},          {Qt::Key_9, false, 0, 0x39},
      {Qt::Key_0, true, 0, 0x60},           {Qt::Key_7, true, 0, 0x67},
      {Qt::Key_Asterisk, true, 0, 0x6A},    {Qt::Key_Plus, true, 0, 0x6B},
      {Qt::Key_Minus, true, 0, 0x6D},       {Qt::Key_Period, true, 0, 0x6E},
      {Qt::Key_Slash, true, 0, 0x6F},       {Qt::Key_Enter, true, 0, 0x0D},
      {Qt::Key_F1, false, 0, 0x70},         {Qt::Key_F12, false, 0, 0x7B},
      {Qt::Key_Left, false, 0, 0x25},       {Qt::Key_Up, false, 0, 0x26},
      {Qt::Key_Right, false, 0, 0x27},      {Qt::Key_Down, false, 0, 0x28},
      {Qt::Key_Insert, false, 0, 0x2D},     {Qt::Key_Delete, false, 0, 0x2E},
      {Qt::Key_Home, false, 0, 0x24},       {Qt::Key_End, false, 0, 0x23},
      {Qt::Key_PageUp, false, 0, 0x21},     {Qt::Key_PageDown, false, 0, 0x22},
      {Qt::Key_Backspace, false, 0, 0x08},  {Qt::Key_Tab, false, 0, 0x09},
      {Qt::Key_Space, false, 0, 0x20},      {Qt::Key_Return, false, 0, 0x0D},
      {Qt::Key_Escape, false, 0, 0x1B},
      // The melody panel's keys by their characters where their places are not known ...
      {Qt::Key_Semicolon, false, 0, 0xBB}, {Qt::Key_Colon, false, 0, 0xBA},
      {Qt::Key_At, false, 0, 0xC0},        {Qt::Key_BracketLeft, false, 0, 0xDB},
      {Qt::Key_BracketRight, false, 0, 0xDD},
      // ... and by their places on the keyboard where they are, whatever the layout prints.
      {Qt::Key_Semicolon, false, 47, 0xBB}, {Qt::Key_Apostrophe, false, 48, 0xBA},
      {Qt::Key_Plus, false, 47, 0xBB},      {Qt::Key_Colon, false, 48, 0xBA},
      {Qt::Key_BracketLeft, false, 34, 0xC0}, {Qt::Key_BracketRight, false, 35, 0xDB},
      {Qt::Key_Backslash, false, 51, 0xDD},
      // Keys the hook leaves alone.
      {Qt::Key_Shift, false, 50, 0},        {Qt::Key_Control, false, 37, 0},
      {Qt::Key_Alt, false, 64, 0},          {Qt::Key_Backslash, false, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CKeyboardHook::VirtualKeyOf(c.key, c.keypad, c.scan), c.vk)
        << std::hex << c.key << " keypad " << c.keypad << " scan " << std::dec << c.scan;
  }
}

TEST_F(KeyboardHookTest, ShiftAGoesToBothCallbacksAndNotToTheWindow) {
  ASSERT_EQ(CKeyboardHook::Install(), 1);
  Key(&hooked, QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
  Key(&hooked, QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier);
  EXPECT_EQ(calls, (std::vector<Call>{{'d', 0x41, 0, 1, 0}, {'u', 0x41, 0, 1, 0}}));
  EXPECT_EQ(hooked.presses, 0);
  EXPECT_EQ(hooked.releases, 0);
  // Ctrl and Alt read as flags too; a held key repeats its press alone.
  calls.clear();
  Key(&hooked, QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
  Key(&hooked, QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier, true);
  Key(&hooked, QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier, true);
  EXPECT_EQ(calls, (std::vector<Call>{{'d', 0x53, 1, 0, 1}, {'d', 0x53, 1, 0, 1}}));
}

TEST_F(KeyboardHookTest, OtherWindowsAndUnmappedKeysKeepTheirKeys) {
  CKeyboardHook::Install();
  Key(&other, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  Key(&hooked, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(other.presses, 1);
  EXPECT_EQ(hooked.presses, 1);
}

TEST_F(KeyboardHookTest, WithoutAKeyUpCallbackReleasesAreSwallowedSilently) {
  CKeyboardHook::SetCallbacks([this](int vk, int c, int s, int a) { calls.emplace_back('d', vk, c, s, a); },
                              nullptr);
  CKeyboardHook::Install();
  Key(&hooked, QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(hooked.releases, 0);
}

TEST_F(KeyboardHookTest, InstallOnceRemoveFromAnyObjectAndPause) {
  EXPECT_FALSE(CKeyboardHook::Installed());
  {
    CKeyboardHook first;
    EXPECT_EQ(first.Install(), 1);
    EXPECT_EQ(CKeyboardHook::Install(), 1);  // a second install changes nothing
    {
      CKeyboardHook second;  // destroying any object removes the hook
    }
    EXPECT_FALSE(CKeyboardHook::Installed());
  }
  CKeyboardHook::Install();
  {
    const KeyboardHookPause pause(true);
    EXPECT_FALSE(CKeyboardHook::Installed());
    Key(&hooked, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(hooked.presses, 1) << "a dialog's time: keys go through";
  }
  EXPECT_TRUE(CKeyboardHook::Installed());
  {
    const KeyboardHookPause idle(false);
    EXPECT_TRUE(CKeyboardHook::Installed());
  }
  Key(&hooked, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  EXPECT_EQ(calls.size(), 1u);
}

}  // namespace
