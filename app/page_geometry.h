// What the page layout needs to know of the screen, and the window size and scale metrics of
// each layout mode. The main window opens at its mode's size; the placing of the page's
// controls and pictures builds on these.
#pragma once

// Screen layout modes 0-6.
constexpr int kScreenModeCount = 7;

// The screen's logical pixels per inch (vertical) / 96.
double GetDisplayScale();
// Tests stand in for a screen of another resolution (0 = the screen's own).
void SetDisplayScaleOverride(double scale);
// The primary screen's size in pixels.
void GetScreenSize(int* height, int* width);
// The default layout mode for a screen of this size, and for the primary screen.
int DefaultScreenModeFor(int width, int height);
int GetDefaultScreenMode();

// Bar-cell width of a layout mode: 208 in mode 1, 240 in mode 4, else 224.
int BarCellWidthForMode(int mode);

struct ScaleMetrics {
  int topControlsShift = 0;
  int windowExtraHeight = 20;
  int upperButtonsShift = 0;
  int toolbarShift = 16;
  int labelsTop = 20;
  int enlargedPitchExtra = 0;
  int topControlsShift2 = 16;
  double topControlsScale = 100.0 / 120.0;
  int headerTop = 20;
  int headerPitch = 165;
  int scrollBarShift = 20;
};

// The metrics for a display scale in per cent.
ScaleMetrics ScaleMetricsFor(int displayScale);

struct ModeGeometry {
  int barsPerRow = 4;
  int rowsPerPage = 4;
  int width = 0;   // window size
  int height = 0;
  bool moved = false;  // whether the window is moved, and where to
  int x = 0, y = 0;
  int scoreRowHeight = 96;
};

// Geometry of a mode for the display scale and screen size; false for a mode outside 0-6.
bool ModeGeometryFor(int mode, int displayScale, int screenWidth, int screenHeight,
                     ModeGeometry* out);
