#include "platform/qt/keyboard_hook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace {

// X11 key codes of the keys right of L and right of P on any keyboard: the places of the melody
// panel's ";", ":", "@", "[" and "]" on a Japanese keyboard.
constexpr unsigned kX11Semicolon = 47;
constexpr unsigned kX11Apostrophe = 48;
constexpr unsigned kX11LeftBrace = 34;
constexpr unsigned kX11RightBrace = 35;
constexpr unsigned kX11Backslash = 51;

constexpr int kVkOemPlus = 0xBB;  // ";" on a Japanese keyboard
constexpr int kVkOem1 = 0xBA;     // ":"
constexpr int kVkOem3 = 0xC0;     // "@"
constexpr int kVkOem4 = 0xDB;     // "["
constexpr int kVkOem6 = 0xDD;     // "]"

class HookFilter;

struct HookState {
  KeyHookCallback down;
  KeyHookCallback up;
  std::function<bool(const QWidget*)> hooked;
  HookFilter* filter = nullptr;  // the installed hook, null when none
  int ctrl = 0, shift = 0, alt = 0;
};

HookState& State() {
  static HookState state;
  return state;
}

bool IsKeyEvent(const QEvent* e) {
  return e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease ||
         e->type() == QEvent::ShortcutOverride;
}

class HookFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    return CKeyboardHook::HookProc(watched, event);
  }
};

}  // namespace

bool CKeyboardHook::HookProc(QObject* watched, QEvent* event) {
  if (!IsKeyEvent(event) || !watched->isWidgetType()) return false;
  HookState& s = State();
  const auto* widget = static_cast<const QWidget*>(watched);
  if (!s.hooked || !s.hooked(widget->window())) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const int vk = VirtualKeyOf(*key);
  if (vk == 0) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // The key is the hook's: no shortcut takes it.
    event->accept();
    return true;
  }
  ReadModifiers(*key);
  // Callbacks are copied: one may replace them while it runs.
  if (event->type() == QEvent::KeyPress) {
    if (KeyHookCallback down = s.down) down(vk, s.ctrl, s.shift, s.alt);
  } else if (!key->isAutoRepeat()) {
    // A held key repeats its press alone, as the keyboard reports it.
    if (KeyHookCallback up = s.up) up(vk, s.ctrl, s.shift, s.alt);
  }
  return true;
}

void CKeyboardHook::ReadModifiers(const QKeyEvent& event) {
  HookState& s = State();
  const Qt::KeyboardModifiers m = event.modifiers();
  s.ctrl = (m & Qt::ControlModifier) ? 1 : 0;
  s.shift = (m & Qt::ShiftModifier) ? 1 : 0;
  s.alt = (m & Qt::AltModifier) ? 1 : 0;
}

CKeyboardHook::CKeyboardHook() {
  HookState& s = State();
  s.ctrl = s.shift = s.alt = 0;
}

CKeyboardHook::~CKeyboardHook() { Uninstall(); }

void CKeyboardHook::SetCallbacks(KeyHookCallback down, KeyHookCallback up) {
  State().down = std::move(down);
  State().up = std::move(up);
}

int CKeyboardHook::Install() {
  HookState& s = State();
  if (s.filter) return 1;
  if (!qApp) return 0;
  s.filter = new HookFilter;
  qApp->installEventFilter(s.filter);
  return 1;
}

void CKeyboardHook::Uninstall() {
  HookState& s = State();
  if (!s.filter) return;
  if (qApp) qApp->removeEventFilter(s.filter);
  delete s.filter;
  s.filter = nullptr;
}

bool CKeyboardHook::Installed() { return State().filter != nullptr; }

void CKeyboardHook::SetHookedWindows(std::function<bool(const QWidget*)> hooked) {
  State().hooked = std::move(hooked);
}

int CKeyboardHook::Ctrl() { return State().ctrl; }
int CKeyboardHook::Shift() { return State().shift; }
int CKeyboardHook::Alt() { return State().alt; }

void CKeyboardHook::Reset() {
  Uninstall();
  State() = HookState();
}

int CKeyboardHook::VirtualKeyOf(const QKeyEvent& event) {
  // Only the X11 platform gives key codes that tell a key's place.
  static const bool placesKnown = QGuiApplication::platformName() == QLatin1String("xcb");
  return VirtualKeyOf(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0,
                      placesKnown ? event.nativeScanCode() : 0);
}

int CKeyboardHook::VirtualKeyOf(int key, bool keypad, unsigned scanCode) {
  switch (scanCode) {
    case kX11Semicolon: return kVkOemPlus;
    case kX11Apostrophe: return kVkOem1;
    case kX11LeftBrace: return kVkOem3;
    case kX11RightBrace: return kVkOem4;
    case kX11Backslash: return kVkOem6;
    default: break;
  }
  if (keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    switch (key) {
      case Qt::Key_Asterisk: return 0x6A;
      case Qt::Key_Plus: return 0x6B;
      case Qt::Key_Minus: return 0x6D;
      case Qt::Key_Period: case Qt::Key_Comma: return 0x6E;
      case Qt::Key_Slash: return 0x6F;
      case Qt::Key_Enter: case Qt::Key_Return: return 0x0D;
      default: break;
    }
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    // Where the key's place is not known, its character stands for it.
    case Qt::Key_Semicolon: return kVkOemPlus;
    case Qt::Key_Colon: return kVkOem1;
    case Qt::Key_At: return kVkOem3;
    case Qt::Key_BracketLeft: return kVkOem4;
    case Qt::Key_BracketRight: return kVkOem6;
    default: return 0;
  }
}

KeyboardHookPause::KeyboardHookPause(bool active) {
  if (!active || !CKeyboardHook::Installed()) return;
  CKeyboardHook::Uninstall();
  reinstall_ = true;
}

KeyboardHookPause::~KeyboardHookPause() {
  if (reinstall_) CKeyboardHook::Install();
}
