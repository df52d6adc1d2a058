#include "draw/keyboard_picture.h"

#include "draw/text_limits.h"
#include "util/gne.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

struct Keyboard {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int lowest = 0;
  int highest = 0;
  std::vector<KeyRecord> keys;
  double whiteWidth = 0.0;
  NoteCallback press, release, doubleClick, rightClick;
  std::array<int, CKeyboardPicture::kMaxPressed> pressed{};
  int pressedCount = 0;
  int lastPressed = -1;
  plat::ColorRef textColour = CKeyboardPicture::kLabelColour;
  plat::ColorRef highlight = CKeyboardPicture::kHighlight;
};

struct KeyboardState {
  std::vector<Keyboard> keyboards = std::vector<Keyboard>(CKeyboardPicture::kCapacity);
  int count = 0;
  const void* owner = nullptr;
};

KeyboardState& State() {
  static KeyboardState state;
  return state;
}

bool Valid(int keyboard) { return keyboard >= 0 && keyboard < State().count; }

plat::ColorRef DefaultColour(const KeyRecord& k) {
  return k.type == 1 ? CKeyboardPicture::kBlack : CKeyboardPicture::kWhite;
}

bool Hit(const Rect& r, int x, int y) {
  return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

// The key under a point: black keys first (they lie over the white ones), then white keys.
int FindKey(const Keyboard& kb, int x, int y) {
  for (int pass = 1; pass >= 0; --pass) {
    for (size_t i = 0; i < kb.keys.size(); ++i) {
      if (kb.keys[i].type == pass && Hit(kb.keys[i].rect, x, y)) return static_cast<int>(i);
    }
  }
  return -1;
}

// The key that was pressed last shows in the previous-press colour until the next drawing.
void MarkPreviousPress(Keyboard& kb) {
  if (kb.lastPressed >= 0 && kb.lastPressed < static_cast<int>(kb.keys.size()) && kb.dc) {
    kb.dc->FillSolidRect(kb.keys[kb.lastPressed].rect, CKeyboardPicture::kPreviousPress);
  }
}

// A range the keyboard can hold: ends within 0-127, lowest first, at most 128 keys.
std::pair<int, int> BoundRange(const int range[2]) {
  int low = range ? range[0] : 0;
  int high = range ? range[1] : 127;
  if (high - low + 1 > CKeyboardPicture::kMaxKeys || high < low || low < 0 || high > 127) {
    CKeyboardPicture::ErrorMsg(0);
    low = std::clamp(low, 0, 127);
    high = std::clamp(high, low, 127);
  }
  return {low, high};
}

bool InList(const Keyboard& kb, int note) {
  return std::find(kb.pressed.begin(), kb.pressed.begin() + kb.pressedCount, note) !=
         kb.pressed.begin() + kb.pressedCount;
}

}  // namespace

void CKeyboardPicture::ResetState() {
  for (Keyboard& kb : State().keyboards) {
    if (kb.dc || kb.bitmap) DeleteSurface(kb.bitmap, kb.dc);
  }
  State() = KeyboardState();
}

bool CKeyboardPicture::IsBlackKey(int note) {
  switch (((note % 12) + 12) % 12) {
    case 1: case 3: case 6: case 8: case 10: return true;
    default: return false;
  }
}

void CKeyboardPicture::ErrorMsg(int) { GneMessageBox("CKeyboardPicture::ErrorMsg"); }

CKeyboardPicture::CKeyboardPicture(COffScreenControl* control, const Rect& rect,
                                   const int range[2], NoteCallback press, NoteCallback release,
                                   NoteCallback doubleClick, NoteCallback rightClick) {
  KeyboardState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.keyboards[i].bitmap, st.keyboards[i].dc);
  st = KeyboardState();
  st.owner = this;
  Keyboard& kb = st.keyboards[0];
  SetUpSlot(control, rect, &OnPress, &OnRelease, kb.width, kb.height, kb.bitmap, kb.dc, nullptr,
            &OnDoubleClick);
  SetPaint(&CKeyboardPicture::DrawAll);
  AddKeyboard(control, rect, range, std::move(press), std::move(release), std::move(doubleClick),
              std::move(rightClick));
}

CKeyboardPicture::~CKeyboardPicture() {
  KeyboardState& st = State();
  if (st.owner != this) return;
  for (int i = st.count - 1; i >= 0; --i) RemoveKeyboard(i);
  // Slot 0's surface exists even when its keyboard was refused.
  if (st.keyboards[0].dc) DeleteSurface(st.keyboards[0].bitmap, st.keyboards[0].dc);
  st.owner = nullptr;
}

bool CKeyboardPicture::AddKeyboard(COffScreenControl* control, const Rect& rect,
                                   const int range[2], NoteCallback press, NoteCallback release,
                                   NoteCallback doubleClick, NoteCallback rightClick) {
  KeyboardState& st = State();
  if (st.count >= kCapacity) {
    ErrorMsg(0);
    return false;
  }
  const int n = st.count;
  Keyboard& kb = st.keyboards[n];
  if (n > 0) SetUpSlot(control, rect, &OnPress, &OnRelease, kb.width, kb.height, kb.bitmap, kb.dc);
  if (control) {
    control->SetId(n);
    if (rightClick) control->SetRightClickCallback(&OnRightClick);
  }
  kb.control = control;
  kb.press = std::move(press);
  kb.release = std::move(release);
  kb.doubleClick = std::move(doubleClick);
  kb.rightClick = std::move(rightClick);
  kb.pressedCount = 0;
  kb.lastPressed = -1;
  const auto [low, high] = BoundRange(range);
  kb.lowest = low;
  kb.highest = high;
  kb.textColour = kLabelColour;
  kb.highlight = kHighlight;
  const int count = high - low + 1;
  kb.keys.assign(static_cast<size_t>(count), KeyRecord{});
  double units = 0.0;
  for (int j = 0; j < count; ++j) {
    KeyRecord& k = kb.keys[j];
    k.note = low + j;
    k.type = IsBlackKey(k.note) ? 1 : 0;
    k.colour = DefaultColour(k);
    if (k.type == 0) {
      units += 1.0;
    } else if (j == 0 || j == count - 1) {
      units += 0.5;
    }
  }
  const double w = kb.width / units;  // units >= 0.5: a range holds one key at least
  kb.whiteWidth = w;
  double x = 0.0;
  for (int j = 0; j < count; ++j) {
    KeyRecord& k = kb.keys[j];
    if (k.type == 0) {
      x += w;
      k.rect = Rect{static_cast<int>(x - w), 0, static_cast<int>(x), kb.height};
    } else {
      if (j == 0 || j == count - 1) x += w / 2;
      k.rect = Rect{static_cast<int>(x - w / 2), 0, static_cast<int>(x + w / 2), kb.height / 2};
    }
  }
  st.count = n + 1;
  DrawKeyboard(n);
  return true;
}

void CKeyboardPicture::RemoveKeyboard(int keyboard) {
  KeyboardState& st = State();
  if (keyboard != st.count - 1 || keyboard < 0) {
    ErrorMsg(0);
    return;
  }
  Keyboard& kb = st.keyboards[keyboard];
  DeleteSurface(kb.bitmap, kb.dc);
  kb = Keyboard();
  st.count = keyboard;
}

void CKeyboardPicture::AddPressedKey(int note, int keyboard) {
  if (!Valid(keyboard)) return;
  Keyboard& kb = State().keyboards[keyboard];
  if (kb.pressedCount < kMaxPressed) kb.pressed[kb.pressedCount++] = note;
  DrawKeyboard(keyboard);
  Blit(keyboard);
}

void CKeyboardPicture::RemovePressedKey(int note, int keyboard) {
  if (!Valid(keyboard)) return;
  Keyboard& kb = State().keyboards[keyboard];
  for (int i = 0; i < kb.pressedCount; ++i) {
    if (kb.pressed[i] == note) {
      kb.pressed[i] = kb.pressed[kb.pressedCount - 1];
      --kb.pressedCount;
      break;
    }
  }
  DrawKeyboard(keyboard);
  Blit(keyboard);
}

void CKeyboardPicture::ClearPressedKeys(int keyboard) {
  if (!Valid(keyboard)) return;
  State().keyboards[keyboard].pressedCount = 0;
  DrawKeyboard(keyboard);
  Blit(keyboard);
}

int CKeyboardPicture::IsKeyPressed(int note, int keyboard) {
  return Valid(keyboard) && InList(State().keyboards[keyboard], note) ? 1 : 0;
}

int CKeyboardPicture::GetFirstPressedKey(int keyboard) {
  if (!Valid(keyboard)) return -1;
  const Keyboard& kb = State().keyboards[keyboard];
  return kb.pressedCount > 0 ? kb.pressed[0] : -1;
}

void CKeyboardPicture::SetKeyColor(int keyboard, int note, plat::ColorRef colour) {
  if (!Valid(keyboard)) return;
  Keyboard& kb = State().keyboards[keyboard];
  const int index = note - kb.lowest;
  if (index >= 0 && index < static_cast<int>(kb.keys.size())) kb.keys[index].colour = colour;
}

void CKeyboardPicture::ResetKeyColor(int keyboard, int note) {
  if (!Valid(keyboard)) return;
  Keyboard& kb = State().keyboards[keyboard];
  const int index = note - kb.lowest;
  if (index >= 0 && index < static_cast<int>(kb.keys.size())) {
    kb.keys[index].colour = DefaultColour(kb.keys[index]);
  }
}

void CKeyboardPicture::SetKeyColorByNote(int keyboard, int note, plat::ColorRef colour) {
  if (!Valid(keyboard)) return;
  for (KeyRecord& k : State().keyboards[keyboard].keys) {
    if (k.note == note) k.colour = colour;
  }
}

void CKeyboardPicture::ResetKeyColorByNote(int keyboard, int note) {
  if (!Valid(keyboard)) return;
  for (KeyRecord& k : State().keyboards[keyboard].keys) {
    if (k.note == note) k.colour = DefaultColour(k);
  }
}

void CKeyboardPicture::SetKeyLabel(int keyboard, int note, const std::string& text) {
  if (!Valid(keyboard)) return;
  for (KeyRecord& k : State().keyboards[keyboard].keys) {
    if (k.note == note) {
      CopyToSlot(k.label, sizeof k.label, text);
      return;
    }
  }
}

void CKeyboardPicture::ClearKeyLabels(int keyboard) {
  if (!Valid(keyboard)) return;
  for (KeyRecord& k : State().keyboards[keyboard].keys) k.label[0] = '\0';
}

void CKeyboardPicture::DrawKeyboard(int keyboard) {
  if (!Valid(keyboard)) return;
  Keyboard& kb = State().keyboards[keyboard];
  plat::Dc* dc = kb.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, kb.width, kb.height}, kBackground);
  const plat::Pen before = dc->SelectPen(plat::BlackPen());
  for (const KeyRecord& k : kb.keys) {
    if (k.type != 0) continue;
    dc->FillSolidRect(k.rect, k.colour);
    if (InList(kb, k.note)) dc->FillSolidRect(k.rect, kPressedWhite);
  }
  dc->SetBkMode(plat::TRANSPARENT);
  dc->SetTextColor(kb.textColour);
  const unsigned format = plat::DT_SINGLELINE | plat::DT_VCENTER;
  for (const KeyRecord& k : kb.keys) {
    if (k.type != 0) continue;
    dc->MoveTo(k.rect.right, k.rect.top);
    dc->LineTo(k.rect.right, k.rect.bottom);
    if (k.label[0]) dc->DrawText(k.label, Rect{k.rect.left + 4, k.rect.top + 18, k.rect.right, k.rect.bottom}, format);
  }
  for (const KeyRecord& k : kb.keys) {
    if (k.type != 1) continue;
    dc->FillSolidRect(k.rect, k.colour);
    if (k.label[0]) dc->DrawText(k.label, Rect{k.rect.left + 4, k.rect.top + 18, k.rect.right, k.rect.bottom}, format);
    if (InList(kb, k.note)) dc->FillSolidRect(k.rect, kPressedBlack);
  }
  dc->SelectPen(plat::WhitePen());
  for (const KeyRecord& k : kb.keys) {
    if (k.type != 1) continue;
    dc->MoveTo(k.rect.right, k.rect.top);
    dc->LineTo(k.rect.right, k.rect.bottom);
  }
  dc->SelectPen(before);
}

void CKeyboardPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawKeyboard(i);
}

void CKeyboardPicture::Blit(int keyboard) {
  if (!Valid(keyboard)) return;
  COffScreenPicture::Blit(State().keyboards[keyboard].dc, State().keyboards[keyboard].control);
}

void CKeyboardPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CKeyboardPicture::SwapKeyboards(int a, int b) {
  if (!Valid(a) || !Valid(b) || a == b) return;
  Keyboard& ka = State().keyboards[a];
  Keyboard& kbb = State().keyboards[b];
  std::swap(ka, kbb);
  if (ka.control) ka.control->SetId(a);
  if (kbb.control) kbb.control->SetId(b);
}

void CKeyboardPicture::OnPress(int x, int y, int id) {
  if (!Valid(id)) return;
  Keyboard& kb = State().keyboards[id];
  MarkPreviousPress(kb);
  const int index = FindKey(kb, x, y);
  if (index < 0) return;
  const KeyRecord& k = kb.keys[index];
  if (k.note < 0 || k.note > 127) return;
  const NoteCallback cb = kb.press;
  const Rect rect = k.rect;
  const int note = k.note;
  kb.lastPressed = index;
  if (kb.dc) kb.dc->FillSolidRect(rect, kb.highlight);
  if (cb) cb(note);
}

void CKeyboardPicture::OnRelease(int x, int y, int id) {
  if (id == -1) {
    GneMessageBox("CKeyboardPicture error");
    return;
  }
  if (!Valid(id)) return;
  DrawKeyboard(id);
  Keyboard& kb = State().keyboards[id];
  const int last = kb.lastPressed;
  for (int i = 0; i < State().count; ++i) State().keyboards[i].lastPressed = -1;
  if (kb.release && last >= 0 && last < static_cast<int>(kb.keys.size())) {
    const int note = kb.keys[last].note;
    const NoteCallback cb = kb.release;
    if (note >= 0 && note <= 127) cb(note);
  }
}

void CKeyboardPicture::OnDoubleClick(int x, int y, int id) {
  if (!Valid(id)) return;
  MarkPreviousPress(State().keyboards[id]);
  for (int i = 0; i < State().count; ++i) {
    Keyboard& kb = State().keyboards[i];
    if (!kb.doubleClick) continue;
    const int index = FindKey(kb, x, y);
    if (index < 0) continue;
    kb.lastPressed = index;
    if (kb.dc) kb.dc->FillSolidRect(kb.keys[index].rect, kDoubleClicked);
    const NoteCallback cb = kb.doubleClick;
    cb(kb.keys[index].note);
    return;
  }
}

void CKeyboardPicture::OnRightClick(int x, int y, int id) {
  if (!Valid(id)) return;
  MarkPreviousPress(State().keyboards[id]);
  for (int i = 0; i < State().count; ++i) {
    Keyboard& kb = State().keyboards[i];
    if (!kb.rightClick) continue;
    const int index = FindKey(kb, x, y);
    if (index < 0) continue;
    const KeyRecord& k = kb.keys[index];
    if (k.note < 0 || k.note > 127) return;
    kb.lastPressed = index;
    if (kb.dc) kb.dc->FillSolidRect(k.rect, kb.highlight);
    const NoteCallback cb = kb.rightClick;
    cb(k.note);
    return;
  }
}

int CKeyboardPicture::Count() { return State().count; }
int CKeyboardPicture::KeyCount(int keyboard) {
  return Valid(keyboard) ? static_cast<int>(State().keyboards[keyboard].keys.size()) : 0;
}
int CKeyboardPicture::Lowest(int keyboard) {
  return Valid(keyboard) ? State().keyboards[keyboard].lowest : 0;
}
KeyRecord CKeyboardPicture::Key(int keyboard, int index) {
  if (index < 0 || index >= KeyCount(keyboard)) return KeyRecord{};
  return State().keyboards[keyboard].keys[index];
}
int CKeyboardPicture::KeyAt(int keyboard, int x, int y) {
  return Valid(keyboard) ? FindKey(State().keyboards[keyboard], x, y) : -1;
}
int CKeyboardPicture::LastPressedKey(int keyboard) {
  return Valid(keyboard) ? State().keyboards[keyboard].lastPressed : -1;
}
double CKeyboardPicture::WhiteKeyWidth(int keyboard) {
  return Valid(keyboard) ? State().keyboards[keyboard].whiteWidth : 0.0;
}
int CKeyboardPicture::PressedCount(int keyboard) {
  return Valid(keyboard) ? State().keyboards[keyboard].pressedCount : 0;
}
plat::Dc* CKeyboardPicture::Surface(int keyboard) {
  return Valid(keyboard) ? State().keyboards[keyboard].dc : nullptr;
}
