// What every dialog and panel needs of the main window that opens it. The main window implements
// it; tests give the dialogs a fake. Dialogs never reach the main window's class itself.
#pragma once

#include <cstdint>

class CDialogOwner {
 public:
  virtual ~CDialogOwner() = default;

  // Queues a private message (WM_APP+n and the rest) for the main window and returns at once.
  virtual void PostToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  // The settings' note-entry mode: 0 while notes come from the PC keyboard (the keyboard hook is
  // in), 1 otherwise.
  virtual int InputMode() const = 0;
  // The display scale in per cent (100, 125, 150, 175 or 200).
  virtual int DisplayScale() const = 0;
};
