#include "draw/button_picture.h"

#include "draw/skin_resources.h"
#include "draw/text_limits.h"
#include "util/gne.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

using button_detail::SetState;
using button_detail::Slot;

template <int Kind>
SetState& CButtonPictureSet<Kind>::State() {
  static SetState state;
  return state;
}

template <int Kind>
void CButtonPictureSet<Kind>::ResetState() {
  SetState& st = State();
  for (Slot& s : st.buttons) {
    if (s.dc || s.bitmap) DeleteSurface(s.bitmap, s.dc);
  }
  st = SetState();
}

template <int Kind>
void CButtonPictureSet<Kind>::ReportFull() {
  GneMessageBox("CButtonPicture::ErrorMsg");
}

template <int Kind>
CButtonPictureSet<Kind>::CButtonPictureSet(ButtonCallback press, ButtonCallback release,
                                           COffScreenControl* control, const Rect& rect,
                                           const std::string& caption, int releasedId,
                                           int pressedId, int controlId) {
  SetState& st = State();
  // Free what an earlier owner of the set left behind.
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.buttons[i].bitmap, st.buttons[i].dc);
  st.owner = this;
  Slot& s = st.buttons[0];
  SetUpSlot(control, rect, &CButtonPictureSet::OnPress, &CButtonPictureSet::OnRelease, s.width,
            s.height, s.bitmap, s.dc);
  SetPaint(&CButtonPictureSet::DrawAll);
  st.press = std::move(press);
  st.release = std::move(release);
  st.count = 0;
  st.enabledColour = button_detail::kEnabledColour;
  st.disabledColour = button_detail::kDisabledColour;
  AddButton(control, rect, caption, releasedId, pressedId, controlId);
}

template <int Kind>
CButtonPictureSet<Kind>::~CButtonPictureSet() {
  SetState& st = State();
  // A set made again before the old one is deleted owns the buttons now.
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) {
    Slot& s = st.buttons[i];
    DeleteSurface(s.bitmap, s.dc);
    s.released = plat::Bitmap();
    s.pressedFace = plat::Bitmap();
  }
  st.count = 0;
}

template <int Kind>
void CButtonPictureSet<Kind>::LoadFaces(Slot& s, int releasedId, int pressedId) {
  LoadSkinBitmap(releasedId, &s.released);
  LoadSkinBitmap(pressedId, &s.pressedFace);
  s.releasedId = releasedId & 0xFFFF;
  s.pressedId = pressedId & 0xFFFF;
}

template <int Kind>
bool CButtonPictureSet<Kind>::AddButton(COffScreenControl* control, const Rect& rect,
                                        const std::string& caption, int releasedId,
                                        int pressedId, int controlId) {
  SetState& st = State();
  if (st.count >= kCapacity) {
    ReportFull();
    return false;
  }
  const int n = st.count;
  Slot& s = st.buttons[n];
  if (n > 0) {
    SetUpSlot(control, rect, &CButtonPictureSet::OnPress, &CButtonPictureSet::OnRelease,
              s.width, s.height, s.bitmap, s.dc);
  }
  // The main window's set starts every button with the surface's font; the copies keep the
  // height a button of that number was given before.
  if (Kind == 1) s.fontHeight = 0;
  LoadFaces(s, releasedId, pressedId);
  s.caption = caption;
  s.control = control;
  if (control) control->SetId(controlId);
  s.pressed = 0;
  if (Kind == 4) s.highlight = 0;
  st.count = n + 1;
  DrawButton(n);
  return true;
}

template <int Kind>
void CButtonPictureSet<Kind>::DrawButton(int number) {
  if (!ValidNumber(number)) return;
  SetState& st = State();
  Slot& s = st.buttons[number];
  plat::Dc* dc = s.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, s.width, s.height}, 0xFFFFFF);
  const plat::Bitmap& face = s.pressed == 1 ? s.pressedFace : s.released;
  if (!face.IsNull()) dc->BitBlt(0, 0, s.width, s.height, face, 0, 0, plat::SRCCOPY);
  dc->SetBkMode(plat::TRANSPARENT);
  const bool enabled = s.control == nullptr || s.control->isEnabled();
  plat::ColorRef colour = enabled ? st.enabledColour : st.disabledColour;
  if (Kind == 4 && enabled && s.highlight == 1) colour = button_detail::kHighlightColour;
  dc->SetTextColor(colour);
  std::optional<plat::LogFont> previous;
  const bool ownFont = Kind != 4 && s.fontHeight != 0;
  if (ownFont) SelectShiftJisFont(dc, previous, s.fontHeight);
  dc->DrawText(s.caption, Rect{2, 2, 210, 28}, plat::DT_SINGLELINE | plat::DT_VCENTER);
  if (ownFont) RestoreFont(dc, previous);
}

template <int Kind>
void CButtonPictureSet<Kind>::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawButton(i);
}

template <int Kind>
void CButtonPictureSet<Kind>::SetPressed(int id, int pressed) {
  if (!ValidNumber(id)) return;
  SetState& st = State();
  st.buttons[id].pressed = pressed;
  DrawButton(id);
  Blit(st.buttons[id].dc, st.buttons[id].control);
  const ButtonCallback& report = pressed ? st.press : st.release;
  if (report) report(id);
}

template <int Kind>
void CButtonPictureSet<Kind>::OnPress(int, int, int id) {
  SetPressed(id, 1);
}

template <int Kind>
void CButtonPictureSet<Kind>::OnRelease(int, int, int id) {
  SetPressed(id, 0);
}

template <int Kind>
void CButtonPictureSet<Kind>::BlitRange(int first, int last) {
  SetState& st = State();
  first = std::max(first, 0);
  last = std::min(last, st.count - 1);
  for (int i = first; i <= last; ++i) Blit(st.buttons[i].dc, st.buttons[i].control);
}

template <int Kind>
void CButtonPictureSet<Kind>::BlitAll() {
  BlitRange(0, State().count - 1);
}

template <int Kind>
int CButtonPictureSet<Kind>::FindByControlId(int controlId) {
  SetState& st = State();
  for (int i = 0; i < st.count; ++i) {
    if (st.buttons[i].control && st.buttons[i].control->Id() == controlId) return i;
  }
  return -1;
}

template <int Kind>
void CButtonPictureSet<Kind>::SetCaption(int controlId, const std::string& caption) {
  const int i = FindByControlId(controlId);
  if (i < 0) return;
  State().buttons[i].caption = caption;
  DrawButton(i);
  // Shown at once: a caption may change with no press to redraw its button (a play's end).
  BlitRange(i, i);
}

template <int Kind>
void CButtonPictureSet<Kind>::EnableButton(int controlId, bool enable) {
  const int i = FindByControlId(controlId);
  if (i < 0) return;
  if (State().buttons[i].control) State().buttons[i].control->setEnabled(enable);
  DrawButton(i);
}

template <int Kind>
int CButtonPictureSet<Kind>::IsButtonEnabled(int controlId) {
  const int i = FindByControlId(controlId);
  if (i < 0) return 0;
  return State().buttons[i].control->isEnabled() ? 1 : 0;
}

template <int Kind>
void CButtonPictureSet<Kind>::SetBitmaps(int controlId, int releasedId, int pressedId) {
  SetState& st = State();
  for (int i = 0; i < st.count; ++i) {
    if (st.buttons[i].control && st.buttons[i].control->Id() == controlId) {
      LoadFaces(st.buttons[i], releasedId, pressedId);
      DrawButton(i);
    }
  }
}

template <int Kind>
void CButtonPictureSet<Kind>::SetTextColor(plat::ColorRef colour) {
  State().enabledColour = colour;
  DrawAll();
}

template <int Kind>
plat::Dc* CButtonPictureSet<Kind>::Surface(int number) {
  return ValidNumber(number) ? State().buttons[number].dc : nullptr;
}

template <int Kind>
int CButtonPictureSet<Kind>::Pressed(int number) {
  return ValidNumber(number) ? State().buttons[number].pressed : 0;
}

template <int Kind>
std::string CButtonPictureSet<Kind>::Caption(int number) {
  return ValidNumber(number) ? State().buttons[number].caption : std::string();
}

template <int Kind>
int CButtonPictureSet<Kind>::FontHeight(int number) {
  return ValidNumber(number) ? State().buttons[number].fontHeight : 0;
}

template class CButtonPictureSet<1>;
template class CButtonPictureSet<2>;
template class CButtonPictureSet<3>;
template class CButtonPictureSet<4>;

// ---- CButtonPicture ----------------------------------------------------------------------

CButtonPicture::~CButtonPicture() {
  if (State().owner != this) return;
  // Remove from the last button to the first; the base destructor then finds none.
  for (int i = State().count - 1; i >= 0; --i) RemoveButton(i);
}

void CButtonPicture::ErrorMsg(int) { GneMessageBox("CButtonPicture::ErrorMsg"); }

void CButtonPicture::MoveButton(int number, const Rect& rect, const std::string& caption,
                                int releasedId, int pressedId) {
  if (!ValidNumber(number)) return;
  Slot& s = State().buttons[number];
  Resize(s.control, s.bitmap, s.dc, rect, s.height, s.width);
  LoadFaces(s, releasedId, pressedId);
  s.caption = caption;
}

void CButtonPicture::RemoveButton(int number) {
  SetState& st = State();
  if (st.count == 0 || number != st.count - 1) {
    ErrorMsg(0);
    return;
  }
  Slot& s = st.buttons[number];
  DeleteSurface(s.bitmap, s.dc);
  s.control = nullptr;
  s.released = plat::Bitmap();
  s.pressedFace = plat::Bitmap();
  s.caption.clear();
  st.count--;
}

void CButtonPicture::SwapButtons(int a, int b) {
  if (!ValidNumber(a) || !ValidNumber(b) || a == b) return;
  SetState& st = State();
  Slot& x = st.buttons[a];
  Slot& y = st.buttons[b];
  std::swap(x.control, y.control);
  std::swap(x.dc, y.dc);
  std::swap(x.bitmap, y.bitmap);
  std::swap(x.width, y.width);
  std::swap(x.height, y.height);
  std::swap(x.caption, y.caption);
  std::swap(x.fontHeight, y.fontHeight);
  std::swap(x.releasedId, y.releasedId);
  std::swap(x.pressedId, y.pressedId);
  std::swap(x.pressed, y.pressed);
  if (x.control) x.control->SetId(a);
  if (y.control) y.control->SetId(b);
  LoadFaces(x, x.releasedId, x.pressedId);
  LoadFaces(y, y.releasedId, y.pressedId);
}

void CButtonPicture::SetFontHeight(int number, int height) {
  if (number >= 0 && number < kCapacity) State().buttons[number].fontHeight = height;
}

// ---- CButtonPicture2 / 4 -------------------------------------------------------------------

void CButtonPicture2::GetCaption(int controlId, char* buffer, size_t size) {
  const int i = FindByControlId(controlId);
  if (i < 0 || buffer == nullptr || size == 0) return;
  const std::string& c = State().buttons[i].caption;
  const size_t n = Cp932FitLength(c, size - 1);
  std::memcpy(buffer, c.data(), n);
  buffer[n] = '\0';
}

void CButtonPicture2::SetFontHeight(int number, int height) {
  if (number >= 0 && number < kCapacity) State().buttons[number].fontHeight = height;
}

void CButtonPicture4::SetHighlight(int number, int flag) {
  if (number >= 0 && number < kCapacity) State().buttons[number].highlight = flag;
}
