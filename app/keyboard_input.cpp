// Notes from the PC keyboard: while notes are entered from it, the keyboard hook takes the keys
// of the main window and hands them to the melody panel; Ctrl keys and Enter keep their commands.
#include "app/main_dialog.h"

#include "platform/qt/keyboard_hook.h"

namespace {
constexpr int kVkReturn = 0x0D;
}  // namespace

void CBrevantDlg::ArmKeyboardHook() {
  if (config.inputMode != 0) return;
  CKeyboardHook::SetHookedWindows([this](const QWidget* window) { return window == this; });
  CKeyboardHook::SetCallbacks(
      [this](int vk, int ctrl, int shift, int alt) { OnHookKeyDown(vk, ctrl, shift, alt); },
      nullptr);
  CKeyboardHook::Install();
}

void CBrevantDlg::DisarmKeyboardHook() { CKeyboardHook::Uninstall(); }

void CBrevantDlg::OnHookKeyDown(int vk, int ctrl, int shift, int alt) {
  (void)shift;
  (void)alt;
  if (ctrl) {
    OnCtrlKey(vk);
  } else if (vk == kVkReturn) {
    OnOK();
  } else {
    // The melody panel plays and enters the key's note.
    seamLog.push_back("MelodyPanelKey:" + std::to_string(vk));
  }
}
