#include "draw/knob_picture.h"

#include "util/gne.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace {

struct Knob {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rangeLow = 0;
  int rangeHigh = 0;
  double value = 0;
  int mode = 0;
  plat::ColorRef background = 0;
  int dot[3] = {64, 0, 0};
  int highlight[3] = {64, 200, 0};
  int centre[3] = {64, 200, 0};
};

struct KnobState {
  std::array<Knob, CKnobPicture::kCapacity> knobs;
  int count = 0;
  const void* owner = nullptr;
};

KnobState& State() {
  static KnobState state;
  return state;
}

void Nothing(int, int, int) {}

constexpr double kDegree = 0.017453292519444445;

void Dot(plat::Dc* dc, int cx, int cy, double t, double r, plat::ColorRef c) {
  const double a = t * kDegree;
  dc->SetPixel(static_cast<int>(std::sin(a) * r + cx), static_cast<int>(std::cos(a) * r + cy), c);
}

int Jitter() { return GneRandomRange(0, 64); }

bool Valid(int knob) { return knob >= 0 && knob < State().count; }

}  // namespace

void CKnobPicture::ResetState() {
  for (Knob& k : State().knobs) {
    if (k.dc || k.bitmap) DeleteSurface(k.bitmap, k.dc);
  }
  State() = KnobState();
}

CKnobPicture::CKnobPicture(COffScreenControl* control, const Rect& rect, int rangeLow,
                           int rangeHigh) {
  KnobState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.knobs[i].bitmap, st.knobs[i].dc);
  st.owner = this;
  Knob& k = st.knobs[0];
  SetUpSlot(control, rect, &Nothing, &Nothing, k.width, k.height, k.bitmap, k.dc);
  SetPaint(&CKnobPicture::DrawAll);
  st.count = 0;
  AddKnob(control, rect, rangeLow, rangeHigh);
}

CKnobPicture::~CKnobPicture() {
  KnobState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.knobs[i].bitmap, st.knobs[i].dc);
  st.count = 0;
}

bool CKnobPicture::AddKnob(COffScreenControl* control, const Rect& rect, int rangeLow,
                           int rangeHigh) {
  KnobState& st = State();
  if (st.count >= kCapacity) {
    ErrorMsg(2);
    return false;
  }
  const int n = st.count;
  Knob& k = st.knobs[n];
  if (n > 0) SetUpSlot(control, rect, &Nothing, &Nothing, k.width, k.height, k.bitmap, k.dc);
  k.control = control;
  k.rangeLow = rangeLow;
  k.rangeHigh = rangeHigh;
  k.value = 0;
  k.mode = 0;
  k.background = 0;
  const int dot[3] = {64, 0, 0}, hi[3] = {64, 200, 0};
  std::copy(dot, dot + 3, k.dot);
  std::copy(hi, hi + 3, k.highlight);
  std::copy(hi, hi + 3, k.centre);
  st.count = n + 1;
  return true;
}

void CKnobPicture::RemoveLastKnob() {
  KnobState& st = State();
  if (st.count == 0) return;
  Knob& k = st.knobs[st.count - 1];
  DeleteSurface(k.bitmap, k.dc);
  k.control = nullptr;
  st.count--;
}

void CKnobPicture::SetBackgroundColor(plat::ColorRef colour, int knob) {
  if (!Valid(knob)) return;
  Knob& k = State().knobs[knob];
  k.background = colour;
  k.centre[0] = std::min(plat::GetRValue(colour) * 2, 255);
  k.centre[1] = std::min(plat::GetGValue(colour) * 2, 255);
  k.centre[2] = std::min(plat::GetBValue(colour) * 2, 255);
}

void CKnobPicture::SetCenterColor(int red, int green, int blue, int knob) {
  if (!Valid(knob)) return;
  Knob& k = State().knobs[knob];
  k.centre[0] = red;
  k.centre[1] = green;
  k.centre[2] = blue;
}

void CKnobPicture::SetMode(int mode, int knob) {
  if (Valid(knob)) State().knobs[knob].mode = mode;
}

void CKnobPicture::SetValue(int value, int knob) {
  if (!Valid(knob)) return;
  State().knobs[knob].value = value;
  DrawKnob(knob);
}

void CKnobPicture::DrawKnob(int knob) {
  if (!Valid(knob)) return;
  Knob& k = State().knobs[knob];
  plat::Dc* dc = k.dc;
  if (!dc || !dc->HasSurface()) return;
  const int w = k.width, h = k.height;
  dc->FillSolidRect(Rect{0, 0, w, h}, k.background);
  const int cx = w / 2, cy = h / 2;
  if (k.mode == 1) {
    // The head angle, reduced in floating point: the value grows without bound while the
    // worker runs, and 3.6 times a large value does not fit an int.
    const int a = static_cast<int>(std::fmod(std::trunc(180.0 - k.value / 100.0 * 360.0), 360.0));
    for (int t = 0; t < 360; t += 3) {
      int r = Jitter() + k.dot[0];
      int g = Jitter() + k.dot[1];
      int b = Jitter() + k.dot[2];
      int d = t - a;
      if (d > 180) d -= 360;
      if (d >= 0 && d <= 60) {
        const double f = (60.0 - d) / 60.0;
        r = static_cast<int>((Jitter() + k.highlight[0]) * f);
        g = static_cast<int>((Jitter() + k.highlight[1]) * f);
        b = static_cast<int>((Jitter() + k.highlight[2]) * f);
      }
      r = std::min(r, 255);
      g = std::min(g, 255);
      b = std::min(b, 255);
      const plat::ColorRef full = plat::Rgb(r, g, b);
      const plat::ColorRef faint = plat::Rgb(static_cast<int>(r * 0.8),
                                             static_cast<int>(g * 0.8),
                                             static_cast<int>(b * 0.8));
      Dot(dc, cx, cy, t, 14.5, faint);
      Dot(dc, cx, cy, t, 15.5, faint);
      Dot(dc, cx, cy, t, 15.0, full);
    }
    const int phase = static_cast<int>(k.value) % 30;
    if (phase >= 16 && phase <= 29) {
      const plat::ColorRef c = plat::Rgb(k.centre[0], k.centre[1], k.centre[2]);
      const int r = std::max(1, w / 4 - 2);
      const plat::Pen oldPen = dc->SelectPen(plat::Pen{plat::PS_SOLID, 1, c});
      const plat::Brush oldBrush = dc->SelectBrush(plat::SolidBrush(c));
      dc->Ellipse(cx - r, cy - r, cx + r, cy + r);
      dc->SelectPen(oldPen);
      dc->SelectBrush(oldBrush);
    }
  } else if (k.mode == 2) {
    const int n = static_cast<int>(k.value) % 100;
    const int d = std::max(1, static_cast<int>(n * 30 / 100.0));
    const plat::ColorRef full = plat::Rgb(k.dot[0], k.dot[1], k.dot[2]);
    const plat::ColorRef faint = plat::Rgb(static_cast<int>(k.dot[0] * 0.8),
                                           static_cast<int>(k.dot[1] * 0.8),
                                           static_cast<int>(k.dot[2] * 0.8));
    const double step = 360.0 / d * 0.25;
    for (double t = 0; t < 360; t += step) {
      Dot(dc, cx, cy, t, (d + 1) / 2.0, faint);  // half a pixel outside the full ring
      Dot(dc, cx, cy, t, d / 2.0, full);
    }
  } else if (k.mode == 3) {
    for (int t = 0; t < 360; t += 5) {
      Dot(dc, cx, cy, t, 18.5, 0);
      Dot(dc, cx, cy, t, 18.0, 0);
    }
    const std::string text = std::to_string(static_cast<int>(k.value));
    dc->DrawText(text, Rect{0, h / 2 - 9, w, h}, plat::DT_CENTER | plat::DT_VCENTER);
  }
}

void CKnobPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawKnob(i);
}

void CKnobPicture::BlitAll() {
  KnobState& st = State();
  for (int i = 0; i < st.count; ++i) Blit(st.knobs[i].dc, st.knobs[i].control);
}

int CKnobPicture::Count() { return State().count; }

double CKnobPicture::Value(int knob) { return Valid(knob) ? State().knobs[knob].value : 0; }

plat::Dc* CKnobPicture::Surface(int knob) { return Valid(knob) ? State().knobs[knob].dc : nullptr; }
