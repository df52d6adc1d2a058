// What the page layout needs to know of the screen, and the window size and scale metrics of
// each layout mode. The main window opens at its mode's size; the placing of the page's
// controls and pictures builds on these.
#pragma once

#include "platform/qt/dc.h"

// Screen layout modes 0-6.
constexpr int kScreenModeCount = 7;

// The screen's logical pixels per inch (vertical) / 96.
double GetDisplayScale();
// Tests stand in for a screen of another resolution (0 = the screen's own).
void SetDisplayScaleOverride(double scale);
// Tests stand in for a screen of another size (0, 0 = the screen's own); the whole screen is
// then available.
void SetScreenSizeOverride(int width, int height);
// The primary screen's size in pixels.
void GetScreenSize(int* height, int* width);
// The default layout mode for a screen of this size, and for the primary screen.
int DefaultScreenModeFor(int width, int height);
int GetDefaultScreenMode();

// Bar-cell width of a layout mode: 208 in mode 1, 240 in mode 4, else 224.
int GetBarCellWidth(int mode);

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

// ---- the whole page, as the main window lays it out -------------------------------------------

// The frame the layout's window coordinates count in: a constant nominal frame (never the window
// manager's), so that one mode and scale always give the same client pixels.
constexpr int kNominalFrameWidth = 16;
constexpr int kNominalFrameHeight = 39;
constexpr int kToolbarButtonCount = 14;
constexpr int kMaxBarCells = 48;
constexpr int kMaxHeaderRows = 12;
constexpr int kTopLineControls = 11;

// Rectangles of the page: (left, top)-(right, bottom), the far edges outside.
using PageRect = plat::Rect;

struct ToolbarButtonPlace {
  int code = 0;
  PageRect rect;         // client pixels
  const char* caption = "";  // CP932
  int upBitmap = 168;
  int downBitmap = 167;
  int tipId = 0;         // the control id whose tool tip the button shows (0 = none)
};

// The controls of the top line, in this order.
enum TopLineControl {
  kTopMetreLabel, kTopMetreList, kTopKeyList, kTopTempoSpin, kTopTempoEdit, kTopBarCountSpin,
  kTopBarCountEdit, kTopBarCountLabel, kTopStyleOrigin, kTopCategoryList, kTopStyleList
};

// Everything the page layout places, in client pixels of the window.
struct PageLayout {
  int mode = 5;
  int scale = 100;
  ModeGeometry geometry;  // window size (with the nominal frame), bars, rows
  int clientWidth = 0, clientHeight = 0;
  int barsPerPage = 16;
  int barCellWidth = 224;
  int rowPitch = 165;  // P
  ScaleMetrics metrics;
  PageRect barLabels[kMaxBarCells];
  PageRect chordCells[kMaxBarCells];
  PageRect melodyBoxes[kMaxBarCells];
  PageRect scoreRows[kMaxBarCells];
  bool rightBarLine[kMaxBarCells] = {};  // whether a row draws its right bar line
  PageRect headers[kMaxHeaderRows];
  int headerCount = 0;
  PageRect scrollBar;
  ToolbarButtonPlace toolbar[kToolbarButtonCount];
  PageRect knob;
  PageRect counter;
  PageRect topLine[kTopLineControls];
};

// The layout of a mode (0-6) for the display scale and screen size; false for another mode.
bool ComputePageLayout(int mode, int displayScale, int screenWidth, int screenHeight,
                       PageLayout* out);

// The mode to show: `wanted` when its window fits the available area, else the fitting mode
// with the largest window (mode 0 when none fits). A mode outside 0-6 is returned as it is.
int FittingScreenMode(int wanted, int displayScale, int screenWidth, int screenHeight,
                      int availableWidth, int availableHeight);

// The primary screen's area without panels and docks.
void GetAvailableScreenSize(int* height, int* width);

// The caption of the play button in its other state: play <-> stop forms of equal width; with
// `stopped` 1 a stop form becomes its play form, with 0 a play form its stop form; any other
// caption is returned as it is.
const char* SwapPlayCaption(const char* caption, int stopped);

// The scroll position of the page's last row: the last page holds the metre's last bar
// (1024 beats / beats per bar bars in all). Never negative.
int LastTopRow(int beatsPerBar, int barsPerRow, int rowsPerPage);
