#include "draw/counter_picture.h"

#include "draw/skin_resources.h"

#include <algorithm>

namespace {

struct Counter {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int digits = 3;
  std::array<plat::Bitmap, 10> faces;
  int value = 0;
};

struct CounterState {
  std::array<Counter, CCounterPicture::kCapacity> counters;
  int count = 0;
  const void* owner = nullptr;
};

CounterState& State() {
  static CounterState state;
  return state;
}

void Nothing(int, int, int) {}

}  // namespace

void CCounterPicture::ResetState() {
  for (Counter& c : State().counters) {
    if (c.dc || c.bitmap) DeleteSurface(c.bitmap, c.dc);
  }
  State() = CounterState();
}

CCounterPicture::CCounterPicture(COffScreenControl* control, const Rect& rect, int digits,
                                 const std::array<int, 10>& digitIds) {
  CounterState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.counters[i].bitmap, st.counters[i].dc);
  st.owner = this;
  Counter& c = st.counters[0];
  SetUpSlot(control, rect, &Nothing, &Nothing, c.width, c.height, c.bitmap, c.dc);
  SetPaint(&CCounterPicture::DrawAll);
  st.count = 0;
  AddCounter(control, rect, digits, digitIds);
}

CCounterPicture::~CCounterPicture() {
  CounterState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) {
    DeleteSurface(st.counters[i].bitmap, st.counters[i].dc);
    st.counters[i].faces = {};
  }
  st.count = 0;
}

bool CCounterPicture::AddCounter(COffScreenControl* control, const Rect& rect, int digits,
                                 const std::array<int, 10>& digitIds) {
  CounterState& st = State();
  if (st.count >= kCapacity) {
    ErrorMsg(2);
    return false;
  }
  const int n = st.count;
  Counter& c = st.counters[n];
  if (n > 0) SetUpSlot(control, rect, &Nothing, &Nothing, c.width, c.height, c.bitmap, c.dc);
  c.control = control;
  // A counter needs at least one digit (its cells are W / digits wide).
  c.digits = std::clamp(digits, 1, kMaxDigits);
  c.value = 0;
  for (int k = 0; k < 10; ++k) LoadSkinBitmap(digitIds[k], &c.faces[k]);
  st.count = n + 1;
  DrawCounter(n);
  return true;
}

void CCounterPicture::DrawCounter(int index) {
  CounterState& st = State();
  if (index < 0 || index >= st.count) return;
  Counter& c = st.counters[index];
  if (!c.dc || !c.dc->HasSurface()) return;
  const int w = c.width, h = c.height, n = c.digits;
  c.dc->FillSolidRect(Rect{0, 0, w, h}, 0x000000);
  for (int i = 0; i < n; ++i) {
    int v = c.value;
    for (int k = 0; k < n - 1 - i; ++k) v /= 10;
    const int digit = v % 10;
    const plat::Bitmap& face = c.faces[digit];
    if (face.IsNull()) continue;
    c.dc->BitBlt(i * w / n, 0, w / n, h, face, 0, 0, plat::SRCINVERT);
  }
}

void CCounterPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawCounter(i);
}

void CCounterPicture::SetValue(int index, int value) {
  CounterState& st = State();
  if (index < 0 || index >= st.count) return;
  st.counters[index].value = std::max(value, 0);
  DrawCounter(index);
  Blit(st.counters[index].dc, st.counters[index].control);
}

int CCounterPicture::GetValue(int index) {
  CounterState& st = State();
  return (index >= 0 && index < st.count) ? st.counters[index].value : 0;
}

void CCounterPicture::BlitAll() {
  CounterState& st = State();
  for (int i = 0; i < st.count; ++i) Blit(st.counters[i].dc, st.counters[i].control);
}

int CCounterPicture::Count() { return State().count; }

plat::Dc* CCounterPicture::Surface(int index) {
  CounterState& st = State();
  return (index >= 0 && index < st.count) ? st.counters[index].dc : nullptr;
}
