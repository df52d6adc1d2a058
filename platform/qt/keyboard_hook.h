// The PC keyboard as a note keyboard: while the hook is installed, every key press and release
// of the program's windows that take part is reported to two callbacks with the state of Ctrl,
// Shift and Alt, as Windows virtual-key codes, and the key is withheld from the focused widget.
// Dialogs and message boxes of their own keep their keys.
//
// The hook is one event filter of the application; its state is process-wide, shared by every
// CKeyboardHook object.
#pragma once

#include <functional>

class QEvent;
class QKeyEvent;
class QObject;
class QWidget;

// (virtual-key code, ctrl, shift, alt), the last three 1 when the key is down.
using KeyHookCallback = std::function<void(int vk, int ctrl, int shift, int alt)>;

class CKeyboardHook {
 public:
  // Clears the key flags and forgets the installed hook's handle state (callbacks stay).
  CKeyboardHook();
  // Removes the hook, whoever installed it.
  virtual ~CKeyboardHook();
  CKeyboardHook(const CKeyboardHook&) = delete;
  CKeyboardHook& operator=(const CKeyboardHook&) = delete;

  // The key-up callback may be empty: releases are then swallowed without a call.
  static void SetCallbacks(KeyHookCallback down, KeyHookCallback up);
  // 1 when the hook is in place (a second install changes nothing); 0 without an application.
  static int Install();
  static void Uninstall();
  static bool Installed();

  // Which top-level windows give their keys to the hook (none until set).
  static void SetHookedWindows(std::function<bool(const QWidget* window)> hooked);

  // The virtual-key code of a key event, 0 for a key the hook leaves alone. The melody panel's
  // punctuation keys go by their place on a Japanese keyboard where the platform tells it.
  static int VirtualKeyOf(const QKeyEvent& event);
  // The same from Qt's key, its keypad flag and the X11 key code (0 when not known).
  static int VirtualKeyOf(int qtKey, bool keypad, unsigned nativeScanCode);

  // The hook: a key event of a hooked window goes to the callbacks and is withheld (true);
  // any other event passes (false).
  static bool HookProc(QObject* watched, QEvent* event);
  // Ctrl, Shift and Alt as the key event saw them, into the flags.
  static void ReadModifiers(const QKeyEvent& event);

  // Flags as last read.
  static int Ctrl();
  static int Shift();
  static int Alt();

  // Empties the process-wide state and removes the filter.
  static void Reset();
};

// Takes the hook out for the life of the object (a dialog opened from the panels), when asked
// and installed, and puts it back afterwards with its callbacks.
class KeyboardHookPause {
 public:
  explicit KeyboardHookPause(bool active);
  ~KeyboardHookPause();
  KeyboardHookPause(const KeyboardHookPause&) = delete;
  KeyboardHookPause& operator=(const KeyboardHookPause&) = delete;

 private:
  bool reinstall_ = false;
};
