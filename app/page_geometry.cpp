#include "app/page_geometry.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <string>

namespace {
double g_displayScaleOverride = 0.0;
int g_screenWidthOverride = 0;
int g_screenHeightOverride = 0;
}  // namespace

void SetScreenSizeOverride(int width, int height) {
  g_screenWidthOverride = width;
  g_screenHeightOverride = height;
}

void SetDisplayScaleOverride(double scale) { g_displayScaleOverride = scale; }

double GetDisplayScale() {
  if (g_displayScaleOverride > 0.0) return g_displayScaleOverride;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1.0;
  return screen->logicalDotsPerInchY() / 96.0;
}

void GetScreenSize(int* height, int* width) {
  if (g_screenWidthOverride > 0 && g_screenHeightOverride > 0) {
    if (height) *height = g_screenHeightOverride;
    if (width) *width = g_screenWidthOverride;
    return;
  }
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

int GetBarCellWidth(int mode) {
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

// ------------------------------------------------------------------------------ the whole page

namespace {

// Window coordinates of the page turned into client coordinates through the nominal frame.
PageRect ToClient(int left, int top, int right, int bottom) {
  const int dx = kNominalFrameWidth / 2;
  const int dy = kNominalFrameWidth / 2 - kNominalFrameHeight;
  return PageRect{left - dx, top + dy, right - dx, bottom + dy};
}

struct ButtonKind {
  int width, up, down;
};
constexpr ButtonKind kStandard{88, 168, 167};
constexpr ButtonKind kWide{103, 170, 169};
constexpr ButtonKind kNarrow{53, 233, 234};
constexpr ButtonKind kMiddle{73, 230, 229};

ButtonKind KindOf(int mode, int code) {
  if (mode == 0) {
    switch (code) {
      case 0: case 1: case 2: case 3: case 6: case 8: case 9: case 13: return kNarrow;
      case 7: case 10: case 11: case 12: return kMiddle;
      default: return kStandard;
    }
  }
  if (code == 11 || code == 12) return kWide;
  if (mode == 1) return code == 4 ? kStandard : kMiddle;
  if ((mode == 2 || mode == 5) && code == 13) return kMiddle;
  return kStandard;
}

// Button positions (top, left) per mode column: 0, 1, 2, 3 and 6, 4, 5. -1 = the top line.
struct TopLeft {
  int top, left;
};
constexpr TopLeft kButtonPlaces[kToolbarButtonCount][5] = {
    {{511, 727}, {-1, 1840}, {511, 915}, {630, 1014}, {630, 1078}},
    {{511, 5}, {-1, 970}, {511, 5}, {50, 1014}, {50, 1078}},
    {{511, 63}, {-1, 1055}, {511, 93}, {90, 1014}, {90, 1078}},
    {{511, 121}, {-1, 1140}, {511, 181}, {130, 1014}, {130, 1078}},
    {{511, 174}, {-1, 1250}, {511, 269}, {180, 1014}, {180, 1078}},
    {{511, 262}, {-1, 1340}, {511, 367}, {220, 1014}, {220, 1078}},
    {{511, 355}, {-1, 1420}, {511, 455}, {260, 1014}, {260, 1078}},
    {{511, 408}, {-1, 1510}, {511, 543}, {300, 1014}, {300, 1078}},
    {{511, 481}, {-1, 1590}, {511, 641}, {350, 1014}, {350, 1078}},
    {{511, 667}, {-1, 1750}, {511, 827}, {580, 1014}, {580, 1078}},
    {{511, 539}, {-1, 1670}, {511, 729}, {400, 1014}, {400, 1078}},
    {{-1, 624}, {-1, 624}, {-1, 624}, {-1, 894}, {-1, 958}},
    {{-1, 694}, {-1, 727}, {-1, 727}, {-1, 997}, {-1, 1061}},
    {{511, 612}, {-1, 847}, {-1, 925}, {450, 1014}, {450, 1078}},
};
// Mode 5 differs from mode 2 in its row only.
constexpr TopLeft kMode5Places[kToolbarButtonCount] = {
    {678, 915}, {678, 5}, {678, 93}, {678, 181}, {678, 269}, {678, 367}, {678, 455},
    {678, 543}, {678, 641}, {678, 827}, {678, 729}, {-1, 719}, {-1, 822}, {-1, 924}};

TopLeft PlaceOf(int mode, int code) {
  switch (mode) {
    case 0: return kButtonPlaces[code][0];
    case 1: return kButtonPlaces[code][1];
    case 2: return kButtonPlaces[code][2];
    case 3: case 6: return kButtonPlaces[code][3];
    case 4: return kButtonPlaces[code][4];
    default: return kMode5Places[code];
  }
}

// Captions of modes 2-6: at a scale of exactly 100, and at every other scale.
constexpr const char* kCaptions100[kToolbarButtonCount] = {
    "  終　了", "  新　規", "  読　込", "  保　存", " 外部/印刷", " やり直し", "  編　集",
    "  ｱｰｶｲﾌﾞ", "  再　生", "  ヘルプ", "  曲情報", " 音符/歌詞", " ｽﾃｯﾌﾟ入力", ""};
constexpr const char* kCaptionsOther[kToolbarButtonCount] = {
    "  終了", "  新規", "  読 込", "  保 存", " 外部/印刷", " やり直し", "  編集",
    " ｱｰｶｲﾌﾞ", "  再 生", " ヘルプ", " 曲情報", " 音符/歌詞", "ｽﾃｯﾌﾟ入力", ""};

const char* CaptionOf(int mode, int code, bool exact100) {
  if (mode == 0) {
    switch (code) {
      case 0: return " 終 了";
      case 1: return " 新 規";
      case 2: return " 読 込";
      case 3: return " 保 存";
      case 6: return " 編 集";
      case 7: return "  ｱｰｶｲﾌﾞ";
      case 8: return " 再 生";
      case 9: return "  ﾍﾙﾌﾟ";
      case 13: return " 設 定";
      case 11: if (exact100) return "  音/詞"; break;
      case 12: if (exact100) return "   ｽﾃｯﾌﾟ"; break;
      default: break;
    }
  }
  if (mode == 1 && exact100) {
    switch (code) {
      case 0: return "   終 了";
      case 1: return "   新 規";
      case 2: return "　読 込";
      case 3: return "　保 存";
      case 6: return "   編集";
      case 8: return "   再 生";
      default: break;
    }
  }
  if (code == 13) return (mode == 3 || mode == 4 || mode == 6) ? "  設　定" : "  設 定";
  return exact100 ? kCaptions100[code] : kCaptionsOther[code];
}

// The control whose tool tip each button shows, by meaning (0 = none).
constexpr int kTipIds[kToolbarButtonCount] = {1039, 1014, 1009, 1011, 1015, 1006, 1024,
                                              1007, 1012, 1013, 1028, 1029, 0, 0};

// Top line: base (left, right) of each control, in the order of TopLineControl.
constexpr int kTopLine[kTopLineControls][2] = {
    {12, 100}, {101, 150}, {150, 199}, {225, 243}, {201, 227}, {330, 348},
    {306, 332}, {262, 304}, {581, 625}, {353, 476}, {476, 581}};

// Where the chord cells lie above their bar label (dx left, dy up), by scale.
struct ChordOffset {
  int dx, dy;
};
ChordOffset ChordOffsetFor(int scale) {
  if (scale == 100) return {8, 16};
  if (scale <= 125) return {8, 21};
  if (scale <= 150) return {11, 26};
  const int n = (scale - 100) / 25;
  return {2 * n + 6, 9 * n + 6};
}

// The label, chord cell, melody box and score row of every bar of the page; `labelsTop` is
// the first row's label top.
void PlaceBarCells(PageLayout& L, int labelsTop, ChordOffset chord) {
  const ModeGeometry& g = L.geometry;
  const int W = L.barCellWidth;
  const int P = L.rowPitch;
  for (int c = 0; c < L.barsPerPage; ++c) {
    const int i = c / g.barsPerRow;  // row of bars
    const int j = c % g.barsPerRow;  // bar within the row
    int left, top;
    bool lastOfLine;
    if (L.mode == 1) {
      const int half = g.rowsPerPage / 2;
      const int k = i / half;
      const int r = i % half;
      left = W * (j % 4 + 4 * k) + 92 + (k == 1 ? 50 : 0);
      top = P * (j / 4 + 2 * r) + labelsTop;
      if (i >= 3) left += 80;  // the right block stands clear of its headers
      lastOfLine = j % 4 == 3;
    } else {
      left = 92 + j * W;
      top = labelsTop + i * P;
      lastOfLine = j == g.barsPerRow - 1;
    }
    L.barLabels[c] = ToClient(left, top, left + W, top + 15);
    L.chordCells[c] =
        ToClient(left - chord.dx, top - chord.dy, left - chord.dx + W, top - chord.dy + 15);
    L.melodyBoxes[c] = ToClient(left, top + 30, left + W, top + 60);
    L.scoreRows[c] = ToClient(left, top + 60, left + W, top + 60 + g.scoreRowHeight);
    L.rightBarLine[c] = lastOfLine;
  }
}

// Header rows: one per row of bars (mode 1: per line of its left block, and the right block's
// beside them).
void PlaceHeaders(PageLayout& L) {
  const ModeGeometry& g = L.geometry;
  const ScaleMetrics& m = L.metrics;
  int H = m.headerPitch;
  if (L.mode == 4) H += L.scale <= 100 ? 24 : 56;
  L.headerCount = 0;
  for (int i = 0; i < g.rowsPerPage && L.headerCount < kMaxHeaderRows; ++i) {
    const int top = m.headerTop + 118 + i * H;
    L.headers[L.headerCount++] = ToClient(12, top, 92, top + g.scoreRowHeight);
  }
  if (L.mode == 1) {
    for (int i = 0; i < g.rowsPerPage && L.headerCount < kMaxHeaderRows; ++i) {
      const int top = m.headerTop + 118 + i * H;
      const int dx = 4 * L.barCellWidth + 130;
      L.headers[L.headerCount++] = ToClient(12 + dx, top, 92 + dx, top + g.scoreRowHeight);
    }
  }
}

// The score's scroll bar at the right of the page.
void PlaceScrollBar(PageLayout& L) {
  const ModeGeometry& g = L.geometry;
  const ScaleMetrics& m = L.metrics;
  const int x = L.barCellWidth * g.barsPerRow + (L.mode == 1 ? 224 : 94) - kNominalFrameWidth / 2;
  const int y = kNominalFrameWidth / 2 + m.scrollBarShift + (L.scale == 125 ? 66 : 58) -
                kNominalFrameHeight;
  const int pitch = L.mode == 4 ? 189 : 165;
  const int h = pitch * g.rowsPerPage - m.scrollBarShift - 10;
  L.scrollBar = PageRect{x, y, x + 16, y + h};
}

// The top line, kept clear of the first row's chord cells below it.
void PlaceTopLine(PageLayout& L, int labelsTop, ChordOffset chord) {
  const ScaleMetrics& m = L.metrics;
  const int chordTop = labelsTop - chord.dy + kNominalFrameWidth / 2 - kNominalFrameHeight;
  const int topLineY = std::max(0, std::min(35 + m.topControlsShift + m.topControlsShift2 +
                                                kNominalFrameWidth / 2 - kNominalFrameHeight,
                                            chordTop - 21));
  for (int t = 0; t < kTopLineControls; ++t) {
    const int left = static_cast<int>(kTopLine[t][0] * m.topControlsScale);
    const int right = static_cast<int>(kTopLine[t][1] * m.topControlsScale);
    const int x = left - kNominalFrameWidth / 2;
    L.topLine[t] = PageRect{x, std::max(0, topLineY), x + right - left, std::max(0, topLineY) + 20};
  }
}

void PlaceToolbar(PageLayout& L) {
  const ScaleMetrics& m = L.metrics;
  for (int code = 0; code < kToolbarButtonCount; ++code) {
    const TopLeft p = PlaceOf(L.mode, code);
    const ButtonKind kind = KindOf(L.mode, code);
    const bool upper = code >= 11 && code <= 13;
    int top;
    if (p.top < 0) {
      // The top line's buttons stand at the window's top edge, above the chord cells.
      top = std::max(0, -1 + m.upperButtonsShift);
    } else {
      top = p.top + (upper ? m.upperButtonsShift : m.toolbarShift);
    }
    ToolbarButtonPlace& b = L.toolbar[code];
    b.code = code;
    b.rect = PageRect{p.left, top, p.left + kind.width, top + 30};
    b.caption = CaptionOf(L.mode, code, L.scale == 100);
    b.upBitmap = kind.up;
    b.downBitmap = kind.down;
    b.tipId = kTipIds[code];
  }
}

// The window is made tall enough for the page's last row, whatever the scale.
void FitLastRow(PageLayout& L) {
  int lowest = 0;
  for (int c = 0; c < L.barsPerPage; ++c) lowest = std::max(lowest, L.scoreRows[c].bottom);
  if (L.clientHeight < lowest + 2) {
    L.clientHeight = lowest + 2;
    L.geometry.height = L.clientHeight + kNominalFrameHeight;
  }
}

// The knob, with the bar counter in its middle, below the top line's own shift.
void PlaceKnob(PageLayout& L) {
  const int dy = L.metrics.topControlsShift + L.metrics.topControlsShift2 - 16;
  L.knob = L.mode == 0 ? PageRect{35, 60 + dy, 65, 90 + dy} : PageRect{20, 35 + dy, 70, 85 + dy};
  L.counter = PageRect{23, 52 + dy, 65, 68 + dy};
}

}  // namespace

bool ComputePageLayout(int mode, int scale, int screenWidth, int screenHeight, PageLayout* out) {
  PageLayout L;
  if (!ModeGeometryFor(mode, scale, screenWidth, screenHeight, &L.geometry)) return false;
  const ModeGeometry& g = L.geometry;
  const ScaleMetrics m = ScaleMetricsFor(scale);
  L.mode = mode;
  L.scale = scale;
  L.metrics = m;
  L.clientWidth = g.width - kNominalFrameWidth;
  L.clientHeight = g.height - kNominalFrameHeight;
  L.barsPerPage = std::min(kMaxBarCells, g.barsPerRow * g.rowsPerPage);
  L.barCellWidth = GetBarCellWidth(mode);
  L.rowPitch = mode == 4 ? m.enlargedPitchExtra + 189 : 165;
  const int labelsTop = m.labelsTop + 58;
  const ChordOffset chord = ChordOffsetFor(scale);

  PlaceBarCells(L, labelsTop, chord);
  PlaceHeaders(L);
  PlaceScrollBar(L);
  PlaceTopLine(L, labelsTop, chord);
  PlaceToolbar(L);
  FitLastRow(L);
  PlaceKnob(L);
  *out = L;
  return true;
}

int FittingScreenMode(int wanted, int scale, int screenWidth, int screenHeight,
                      int availableWidth, int availableHeight) {
  if (wanted < 0 || wanted >= kScreenModeCount) return wanted;
  // The client area and a title bar must fit; the side borders may go past the edges.
  auto fits = [&](int mode, PageLayout* L) {
    return ComputePageLayout(mode, scale, screenWidth, screenHeight, L) &&
           L->clientWidth <= availableWidth &&
           L->clientHeight + kNominalFrameHeight - kNominalFrameWidth / 2 <= availableHeight;
  };
  PageLayout L;
  if (fits(wanted, &L)) return wanted;
  int best = 0;
  long bestArea = -1;
  for (int mode = 0; mode < kScreenModeCount; ++mode) {
    if (!fits(mode, &L)) continue;
    const long area = static_cast<long>(L.clientWidth) * L.clientHeight;
    if (area > bestArea) {
      best = mode;
      bestArea = area;
    }
  }
  return best;
}

void GetAvailableScreenSize(int* height, int* width) {
  if (g_screenWidthOverride > 0 && g_screenHeightOverride > 0) {
    GetScreenSize(height, width);
    return;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->availableGeometry().size() : QSize(1024, 768);
  if (height) *height = size.height();
  if (width) *width = size.width();
}

const char* SwapPlayCaption(const char* caption, int stopped) {
  static const char* const kPairs[][2] = {{"  再　生", "  停　止"},
                                          {"  再 生", "  停 止"},
                                          {"   再 生", "   停 止"},
                                          {" 再 生", " 停 止"}};
  const std::string text = caption ? caption : "";
  for (const auto& pair : kPairs) {
    if (stopped == 1 && text == pair[1]) return pair[0];
    if (stopped == 0 && text == pair[0]) return pair[1];
  }
  return caption;
}

int LastTopRow(int beatsPerBar, int barsPerRow, int rowsPerPage) {
  if (beatsPerBar <= 0 || barsPerRow <= 0) return 0;
  const int bars = 1024 / beatsPerBar;
  const int rows = (bars + barsPerRow - 1) / barsPerRow;
  return std::max(0, rows - rowsPerPage);
}
