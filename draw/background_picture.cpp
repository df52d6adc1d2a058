#include "draw/background_picture.h"

#include "draw/skin_resources.h"
#include "util/gne.h"

#include <array>

namespace {

struct BackgroundSlot {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  plat::Bitmap picture;
};

struct BackgroundState {
  std::array<BackgroundSlot, CBackgroundPicture::kCapacity> entries;
  int count = 0;
  const void* owner = nullptr;
};

BackgroundState& State() {
  static BackgroundState state;
  return state;
}

BackgroundSlot* Find(int index) {
  BackgroundState& st = State();
  return index >= 0 && index < st.count ? &st.entries[static_cast<size_t>(index)] : nullptr;
}

}  // namespace

void CBackgroundPicture::ResetState() {
  for (BackgroundSlot& s : State().entries) {
    if (s.dc || s.bitmap) DeleteSurface(s.bitmap, s.dc);
  }
  State() = BackgroundState();
}

CBackgroundPicture::CBackgroundPicture(COffScreenControl* control, const Rect& rect,
                                       int bitmapId) {
  ResetState();
  BackgroundState& st = State();
  st.owner = this;
  BackgroundSlot& s = st.entries[0];
  SetUpSlot(control, rect, &CBackgroundPicture::OnPress, &CBackgroundPicture::OnRelease, s.width,
            s.height, s.bitmap, s.dc);
  SetPaint(&CBackgroundPicture::DrawAll);
  st.count = 0;
  AddBackground(control, rect, bitmapId);
}

CBackgroundPicture::~CBackgroundPicture() {
  if (State().owner == this) ResetState();
}

bool CBackgroundPicture::AddBackground(COffScreenControl* control, const Rect& rect,
                                       int bitmapId) {
  BackgroundState& st = State();
  if (st.count >= kCapacity) return false;
  const int n = st.count;
  BackgroundSlot& s = st.entries[static_cast<size_t>(n)];
  if (n > 0) {
    SetUpSlot(control, rect, &CBackgroundPicture::OnPress, &CBackgroundPicture::OnRelease,
              s.width, s.height, s.bitmap, s.dc);
  }
  s.control = control;
  if (control) control->SetId(n);
  LoadSkinBitmap(bitmapId, &s.picture);
  st.count = n + 1;
  DrawBackground(n);
  return true;
}

void CBackgroundPicture::RemoveBackground(int index) {
  BackgroundState& st = State();
  if (index != st.count - 1 || index < 0) {
    ErrorMsg();
    return;
  }
  BackgroundSlot& s = st.entries[static_cast<size_t>(index)];
  DeleteSurface(s.bitmap, s.dc);
  s = BackgroundSlot();
  --st.count;
}

void CBackgroundPicture::DrawBackground(int index) {
  BackgroundSlot* s = Find(index);
  if (!s || !s->dc || !s->dc->HasSurface() || s->picture.IsNull()) return;
  s->dc->BitBlt(0, 0, s->width, s->height, s->picture, 0, 0, plat::SRCCOPY);
}

void CBackgroundPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawBackground(i);
}

void CBackgroundPicture::Blit(int index) {
  if (BackgroundSlot* s = Find(index)) COffScreenPicture::Blit(s->dc, s->control);
}

void CBackgroundPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CBackgroundPicture::ErrorMsg() { GneMessageBox("error bg"); }

int CBackgroundPicture::Count() { return State().count; }

plat::Dc* CBackgroundPicture::Surface(int index) {
  BackgroundSlot* s = Find(index);
  return s ? s->dc : nullptr;
}

void CBackgroundPicture::OnPress(int, int, int) {}
void CBackgroundPicture::OnRelease(int, int, int) {}
