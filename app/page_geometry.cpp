#include "app/page_geometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
double g_displayScaleOverride = 0.0;
}  // namespace

void SetDisplayScaleOverride(double scale) { g_displayScaleOverride = scale; }

double GetDisplayScale() {
  if (g_displayScaleOverride > 0.0) return g_displayScaleOverride;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1.0;
  return screen->logicalDotsPerInchY() / 96.0;
}

void GetScreenSize(int* height, int* width) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->size() : QSize(1024, 768);
  if (height) *height = size.height();
  if (width) *width = size.width();
}

int DefaultScreenModeFor(int width, int height) {
  if (width >= 1920 && height >= 1080) return 1;
  if (height <= 600) return width <= 800 ? 0 : 2;
  if (height <= 768 && width >= 1366) return 3;
  if (width == 1280 && height == 720) return 2;
  return 5;
}

int GetDefaultScreenMode() {
  int h = 0, w = 0;
  GetScreenSize(&h, &w);
  return DefaultScreenModeFor(w, h);
}

int BarCellWidthForMode(int mode) {
  if (mode == 1) return 208;
  if (mode == 4) return 240;
  return 224;
}

ScaleMetrics ScaleMetricsFor(int scale) {
  // Columns: exactly 100, other up to 125, 126-150, 151-175, 176-200, above 200.
  int col;
  if (scale == 100) {
    col = 0;
  } else if (scale <= 125) {
    col = 1;
  } else if (scale <= 150) {
    col = 2;
  } else if (scale <= 175) {
    col = 3;
  } else if (scale <= 200) {
    col = 4;
  } else {
    col = 5;
  }
  static const int kTopShift[] = {0, 15, 22, 22, 22, 22};
  static const int kExtraHeight[] = {20, 34, 44, 60, 80, 60};
  static const int kUpperButtons[] = {0, 2, 2, 2, 5, 5};
  static const int kToolbar[] = {16, 20, 25, 24, 30, 13};
  static const int kLabelsTop[] = {20, 28, 35, 48, 60, 53};
  static const int kEnlarged[] = {0, 32, 32, 32, 32, 32};
  static const int kTopShift2[] = {16, 6, 8, 18, 30, 30};
  static const int kScaleDivisor[] = {120, 120, 120, 140, 160, 160};
  static const int kHeaderTop[] = {20, 28, 35, 48, 60, 28};
  static const int kHeaderPitch[] = {165, 165, 165, 165, 165, 155};
  static const int kScrollShift[] = {20, 20, 30, 60, 100, 100};
  ScaleMetrics m;
  m.topControlsShift = kTopShift[col];
  m.windowExtraHeight = kExtraHeight[col];
  m.upperButtonsShift = kUpperButtons[col];
  m.toolbarShift = kToolbar[col];
  m.labelsTop = kLabelsTop[col];
  m.enlargedPitchExtra = kEnlarged[col];
  m.topControlsShift2 = kTopShift2[col];
  m.topControlsScale = static_cast<double>(scale) / kScaleDivisor[col];
  m.headerTop = kHeaderTop[col];
  m.headerPitch = kHeaderPitch[col];
  m.scrollBarShift = kScrollShift[col];
  return m;
}

bool ModeGeometryFor(int mode, int scale, int screenWidth, int screenHeight, ModeGeometry* out) {
  if (mode < 0 || mode >= kScreenModeCount) return false;
  const ScaleMetrics m = ScaleMetricsFor(scale);
  const bool big = screenWidth >= 1920 && screenHeight >= 1080;
  const int w = big ? 8 : 0;
  const int h = big ? 16 + m.windowExtraHeight : m.windowExtraHeight;
  ModeGeometry g;
  switch (mode) {
    case 0: g = {3, 3, 800 + w, h + 579, true, 0, -10, 96}; break;
    case 1: g = {8, 6, 1920 + w, h + 1044, false, 0, 0, 96}; break;
    case 2: g = {4, 3, 1019 + w, h + 579, true, 0, -10, 96}; break;
    case 3: g = {4, 4, 1119 + w, h + 720, false, 0, 0, 96}; break;
    case 4: {
      int height = h * scale / 60 + 816;
      if (scale >= 101 && scale <= 125) height += 30;
      g = {4, 4, 1183 + w, height, false, 0, 0, 120};
      break;
    }
    case 5: g = {4, 4, 1019 + w, h + 747, true, 2, -10, 96}; break;
    case 6: g = {4, 6, 1119 + w, h + 1044, true, 2, -10, 96}; break;
  }
  *out = g;
  return true;
}
