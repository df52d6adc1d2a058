// Notes from the PC keyboard: while notes are entered from it, the keyboard hook takes the keys
// of the main window and hands them to the melody panel; Ctrl keys and Enter keep their commands.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "dialogs/chord_panel.h"
#include "dialogs/melody_panel.h"
#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"

namespace {
constexpr int kVkReturn = 0x0D;
}  // namespace

void CBrevantDlg::ArmKeyboardHook() {
  if (config.inputMode != 0) return;
  // The melody and chord panels give their keys to the hook too: letters there are notes.
  CKeyboardHook::SetHookedWindows([this](const QWidget* window) {
    return window == this || (window && (window == static_cast<const QWidget*>(g_melodyPanel) ||
                                         window == static_cast<const QWidget*>(g_chordPanel)));
  });
  CKeyboardHook::SetCallbacks(
      [this](int vk, int ctrl, int shift, int alt) { OnHookKeyDown(vk, ctrl, shift, alt); },
      nullptr);
  CKeyboardHook::Install();
}

void CBrevantDlg::DisarmKeyboardHook() { CKeyboardHook::Uninstall(); }

void CBrevantDlg::OnHookKeyDown(int vk, int ctrl, int shift, int alt) {
  if (ctrl) {
    OnCtrlKey(vk);
  } else if (vk == kVkReturn) {
    OnOK();
  } else {
    // The melody panel plays and enters the key's note.
    plat::PostAppMessage(this, kMsgApp + 30, static_cast<uintptr_t>(vk),
                         (shift ? 2 : 0) | (alt ? 4 : 0));
  }
}
