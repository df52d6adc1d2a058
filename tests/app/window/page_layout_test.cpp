// The page layout of every screen mode at three display scales, in client pixels through the
// constant nominal frame: window size, bars, rows, the rectangles of the bar cells, headers,
// scroll bar, toolbar, knob and top line.
#include "app/page_geometry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "tests/support/digest.h"
#include "tests/support/test_support.h"

namespace {

struct R {
  int l, t, r, b;
};

::testing::AssertionResult Same(const PageRect& got, const R& want) {
  if (got.left == want.l && got.top == want.t && got.right == want.r && got.bottom == want.b) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "(" << got.left << "," << got.top << ")-(" << got.right << "," << got.bottom
         << ") instead of (" << want.l << "," << want.t << ")-(" << want.r << "," << want.b << ")";
}

struct LayoutCase {
  int mode, scale, windowWidth, windowHeight, barsPerRow, rows, rowHeight;
  R firstLabel, lastLabel, firstChord, firstMelody, lastScore, firstHeader;
  int headers;
  R scrollBar, exitButton, inputModeButton, knob, metreList;
};

// Worked out by hand from the mode table and the scale metrics; screen 1280 x 1024.
const LayoutCase kCases[] = {
  {0, 100, 800, 599, 3, 3, 96, {84,47,308,62}, {532,377,756,392}, {76,31,300,46}, {84,77,308,107}, {532,437,756,533}, {4,107,84,203}, 3, {758,47,774,512}, {727,527,780,557}, {624,0,697,30}, {35,60,65,90}, {76,10,117,30}},
  {0, 125, 800, 613, 3, 3, 96, {84,55,308,70}, {532,385,756,400}, {76,34,300,49}, {84,85,308,115}, {532,445,756,541}, {4,115,84,211}, 3, {758,55,774,520}, {727,531,780,561}, {624,1,697,31}, {35,65,65,95}, {97,13,148,33}},
  {0, 175, 800, 639, 3, 3, 96, {84,75,308,90}, {532,405,756,420}, {72,42,296,57}, {84,105,308,135}, {532,465,756,561}, {4,135,84,231}, 3, {758,87,774,512}, {727,535,780,565}, {624,1,697,31}, {35,84,65,114}, {118,21,179,41}},
  {1, 100, 1920, 1069, 8, 6, 96, {84,47,292,62}, {1670,872,1878,887}, {76,31,284,46}, {84,77,292,107}, {1670,932,1878,1028}, {4,107,84,203}, 12, {1880,47,1896,1007}, {1840,0,1913,30}, {624,0,727,30}, {20,35,70,85}, {76,10,117,30}},
  {1, 125, 1920, 1078, 8, 6, 96, {84,55,292,70}, {1670,880,1878,895}, {76,34,284,49}, {84,85,292,115}, {1670,940,1878,1036}, {4,115,84,211}, 12, {1880,55,1896,1015}, {1840,1,1913,31}, {624,1,727,31}, {20,40,70,90}, {97,13,148,33}},
  {1, 175, 1920, 1104, 8, 6, 96, {84,75,292,90}, {1670,900,1878,915}, {72,42,280,57}, {84,105,292,135}, {1670,960,1878,1056}, {4,135,84,231}, 12, {1880,87,1896,1007}, {1840,1,1913,31}, {624,1,727,31}, {20,59,70,109}, {118,21,179,41}},
  {2, 100, 1019, 599, 4, 3, 96, {84,47,308,62}, {756,377,980,392}, {76,31,300,46}, {84,77,308,107}, {756,437,980,533}, {4,107,84,203}, 3, {982,47,998,512}, {915,527,1003,557}, {624,0,727,30}, {20,35,70,85}, {76,10,117,30}},
  {2, 125, 1019, 613, 4, 3, 96, {84,55,308,70}, {756,385,980,400}, {76,34,300,49}, {84,85,308,115}, {756,445,980,541}, {4,115,84,211}, 3, {982,55,998,520}, {915,531,1003,561}, {624,1,727,31}, {20,40,70,90}, {97,13,148,33}},
  {2, 175, 1019, 639, 4, 3, 96, {84,75,308,90}, {756,405,980,420}, {72,42,296,57}, {84,105,308,135}, {756,465,980,561}, {4,135,84,231}, 3, {982,87,998,512}, {915,535,1003,565}, {624,1,727,31}, {20,59,70,109}, {118,21,179,41}},
  {3, 100, 1119, 740, 4, 4, 96, {84,47,308,62}, {756,542,980,557}, {76,31,300,46}, {84,77,308,107}, {756,602,980,698}, {4,107,84,203}, 4, {982,47,998,677}, {1014,646,1102,676}, {894,0,997,30}, {20,35,70,85}, {76,10,117,30}},
  {3, 125, 1119, 754, 4, 4, 96, {84,55,308,70}, {756,550,980,565}, {76,34,300,49}, {84,85,308,115}, {756,610,980,706}, {4,115,84,211}, 4, {982,55,998,685}, {1014,650,1102,680}, {894,1,997,31}, {20,40,70,90}, {97,13,148,33}},
  {3, 175, 1119, 780, 4, 4, 96, {84,75,308,90}, {756,570,980,585}, {72,42,296,57}, {84,105,308,135}, {756,630,980,726}, {4,135,84,231}, 4, {982,87,998,677}, {1014,654,1102,684}, {894,1,997,31}, {20,59,70,109}, {118,21,179,41}},
  {4, 100, 1183, 849, 4, 4, 120, {84,47,324,62}, {804,614,1044,629}, {76,31,316,46}, {84,77,324,107}, {804,674,1044,794}, {4,107,84,227}, 4, {1046,47,1062,773}, {1078,646,1166,676}, {958,0,1061,30}, {20,35,70,85}, {76,10,117,30}},
  {4, 125, 1183, 939, 4, 4, 120, {84,55,324,70}, {804,718,1044,733}, {76,34,316,49}, {84,85,324,115}, {804,778,1044,898}, {4,115,84,235}, 4, {1046,55,1062,781}, {1078,650,1166,680}, {958,1,1061,31}, {20,40,70,90}, {97,13,148,33}},
  {4, 175, 1183, 991, 4, 4, 120, {84,75,324,90}, {804,738,1044,753}, {72,42,312,57}, {84,105,324,135}, {804,798,1044,918}, {4,135,84,255}, 4, {1046,87,1062,773}, {1078,654,1166,684}, {958,1,1061,31}, {20,59,70,109}, {118,21,179,41}},
  {5, 100, 1019, 767, 4, 4, 96, {84,47,308,62}, {756,542,980,557}, {76,31,300,46}, {84,77,308,107}, {756,602,980,698}, {4,107,84,203}, 4, {982,47,998,677}, {915,694,1003,724}, {719,0,822,30}, {20,35,70,85}, {76,10,117,30}},
  {5, 125, 1019, 781, 4, 4, 96, {84,55,308,70}, {756,550,980,565}, {76,34,300,49}, {84,85,308,115}, {756,610,980,706}, {4,115,84,211}, 4, {982,55,998,685}, {915,698,1003,728}, {719,1,822,31}, {20,40,70,90}, {97,13,148,33}},
  {5, 175, 1019, 807, 4, 4, 96, {84,75,308,90}, {756,570,980,585}, {72,42,296,57}, {84,105,308,135}, {756,630,980,726}, {4,135,84,231}, 4, {982,87,998,677}, {915,702,1003,732}, {719,1,822,31}, {20,59,70,109}, {118,21,179,41}},
  {6, 100, 1119, 1069, 4, 6, 96, {84,47,308,62}, {756,872,980,887}, {76,31,300,46}, {84,77,308,107}, {756,932,980,1028}, {4,107,84,203}, 6, {982,47,998,1007}, {1014,646,1102,676}, {894,0,997,30}, {20,35,70,85}, {76,10,117,30}},
  {6, 125, 1119, 1078, 4, 6, 96, {84,55,308,70}, {756,880,980,895}, {76,34,300,49}, {84,85,308,115}, {756,940,980,1036}, {4,115,84,211}, 6, {982,55,998,1015}, {1014,650,1102,680}, {894,1,997,31}, {20,40,70,90}, {97,13,148,33}},
  {6, 175, 1119, 1104, 4, 6, 96, {84,75,308,90}, {756,900,980,915}, {72,42,296,57}, {84,105,308,135}, {756,960,980,1056}, {4,135,84,231}, 6, {982,87,998,1007}, {1014,654,1102,684}, {894,1,997,31}, {20,59,70,109}, {118,21,179,41}},
};

bool Inside(const PageRect& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

TEST(PageLayoutTable, EveryModeAtThreeScales) {
  for (const LayoutCase& c : kCases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " at " + std::to_string(c.scale) + "%");
    PageLayout L;
    ASSERT_TRUE(ComputePageLayout(c.mode, c.scale, 1280, 1024, &L));
    EXPECT_EQ(L.geometry.width, c.windowWidth);
    EXPECT_EQ(L.geometry.height, c.windowHeight);
    EXPECT_EQ(L.clientWidth, c.windowWidth - 16);
    EXPECT_EQ(L.clientHeight, c.windowHeight - 39);
    EXPECT_EQ(L.geometry.barsPerRow, c.barsPerRow);
    EXPECT_EQ(L.geometry.rowsPerPage, c.rows);
    EXPECT_EQ(L.barsPerPage, c.barsPerRow * c.rows);
    EXPECT_EQ(L.geometry.scoreRowHeight, c.rowHeight);
    const int last = L.barsPerPage - 1;
    EXPECT_TRUE(Same(L.barLabels[0], c.firstLabel));
    EXPECT_TRUE(Same(L.barLabels[last], c.lastLabel));
    EXPECT_TRUE(Same(L.chordCells[0], c.firstChord));
    EXPECT_TRUE(Same(L.melodyBoxes[0], c.firstMelody));
    EXPECT_TRUE(Same(L.scoreRows[last], c.lastScore));
    EXPECT_TRUE(Same(L.headers[0], c.firstHeader));
    EXPECT_EQ(L.headerCount, c.headers);
    EXPECT_TRUE(Same(L.scrollBar, c.scrollBar));
    EXPECT_TRUE(Same(L.toolbar[0].rect, c.exitButton));
    EXPECT_TRUE(Same(L.toolbar[11].rect, c.inputModeButton));
    EXPECT_TRUE(Same(L.knob, c.knob));
    EXPECT_TRUE(Same(L.topLine[kTopMetreList], c.metreList));

    // Every bar cell: chord cells above the melody box above the score row, one width.
    for (int i = 0; i < L.barsPerPage; ++i) {
      EXPECT_LT(L.chordCells[i].top, L.melodyBoxes[i].top) << i;
      EXPECT_EQ(L.melodyBoxes[i].bottom, L.scoreRows[i].top) << i;
      EXPECT_EQ(L.scoreRows[i].Width(), L.barCellWidth) << i;
      EXPECT_EQ(L.scoreRows[i].Height(), c.rowHeight) << i;
      EXPECT_TRUE(Inside(L.scoreRows[i], L.clientWidth, L.clientHeight)) << i;
      EXPECT_TRUE(Inside(L.chordCells[i], L.clientWidth, L.clientHeight)) << i;
    }
    // The top line lies above the first chord cells; every button lies in the window.
    for (const PageRect& t : L.topLine) EXPECT_LE(t.bottom, L.chordCells[0].top);
    for (const ToolbarButtonPlace& b : L.toolbar) {
      // (Mode 1 is for screens of 1920 pixels and more, where its window is 8 wider; its exit
      // button reaches one pixel past the right edge even there, as drawn.)
      const int slack = c.mode == 1 ? 9 : 0;
      EXPECT_TRUE(Inside(b.rect, L.clientWidth + slack, L.clientHeight)) << b.code;
      EXPECT_EQ(b.rect.Height(), 30) << b.code;
      EXPECT_STRNE(b.caption, "") << b.code;
    }
  }
}

TEST(PageLayoutTable, ModeOneIsTwoBlocksWithTheRightOneClearOfItsHeaders) {
  PageLayout L;
  ASSERT_TRUE(ComputePageLayout(1, 100, 1920, 1080, &L));
  ASSERT_EQ(L.barsPerPage, 48);
  ASSERT_EQ(L.headerCount, 12);
  // Row 0 holds bars 0-7 in two lines of the left block; row 3 starts the right block.
  EXPECT_EQ(L.barLabels[4].left, L.barLabels[0].left);
  EXPECT_EQ(L.barLabels[4].top, L.barLabels[0].top + 165);
  const PageRect right = L.barLabels[24];
  EXPECT_EQ(right.left, 208 * 4 + 92 + 50 + 80 - 8);
  EXPECT_EQ(right.top, L.barLabels[0].top);
  // The right block's header ends where its first bar begins.
  EXPECT_EQ(L.headers[6].right, right.left);
  EXPECT_EQ(L.headers[6].top, L.headers[0].top);
  // Right bar lines close each block of four.
  for (int c = 0; c < 48; ++c) EXPECT_EQ(L.rightBarLine[c], c % 4 == 3) << c;
  // The toolbar stands in the top line, the settings button among the upper three.
  for (const ToolbarButtonPlace& b : L.toolbar) EXPECT_LE(b.rect.bottom, L.chordCells[0].top + 15);
}

TEST(PageLayoutTable, CaptionsAndBitmapsFollowTheModeAndScale) {
  struct Case {
    int mode, scale, code;
    const char* caption;
    int width, up, down;
    int tip;
  } cases[] = {
      {5, 100, 0, "  終　了", 88, 168, 167, 1039},
      {5, 125, 0, "  終了", 88, 168, 167, 1039},
      {5, 100, 13, "  設 定", 73, 230, 229, 0},
      {3, 100, 13, "  設　定", 88, 168, 167, 0},
      {5, 100, 11, " 音符/歌詞", 103, 170, 169, 1029},
      {0, 100, 0, " 終 了", 53, 233, 234, 1039},
      {0, 175, 7, "  ｱｰｶｲﾌﾞ", 73, 230, 229, 1007},
      {0, 100, 11, "  音/詞", 73, 230, 229, 1029},
      {0, 125, 11, " 音符/歌詞", 73, 230, 229, 1029},
      {0, 100, 4, " 外部/印刷", 88, 168, 167, 1015},
      {1, 100, 8, "   再 生", 73, 230, 229, 1012},
      {1, 125, 8, "  再 生", 73, 230, 229, 1012},
      {1, 100, 4, " 外部/印刷", 88, 168, 167, 1015},
      {2, 125, 12, "ｽﾃｯﾌﾟ入力", 103, 170, 169, 0},
      {6, 100, 10, "  曲情報", 88, 168, 167, 1028},
  };
  for (const Case& c : cases) {
    PageLayout L;
    ASSERT_TRUE(ComputePageLayout(c.mode, c.scale, 1280, 1024, &L));
    const ToolbarButtonPlace& b = L.toolbar[c.code];
    EXPECT_EQ(std::string(b.caption), c.caption) << c.mode << "/" << c.scale << "/" << c.code;
    EXPECT_EQ(b.rect.Width(), c.width) << c.mode << "/" << c.code;
    EXPECT_EQ(b.upBitmap, c.up) << c.mode << "/" << c.code;
    EXPECT_EQ(b.downBitmap, c.down) << c.mode << "/" << c.code;
    EXPECT_EQ(b.tipId, c.tip) << c.code;
  }
  EXPECT_FALSE(ComputePageLayout(7, 100, 1280, 1024, nullptr));
}

TEST(PageLayoutTable, TheWindowNeverGrowsPastTheAvailableScreen) {
  // Mode 1 on 1280 x 1024 would be 1920 wide: a smaller mode that fits takes its place.
  int mode = FittingScreenMode(1, 100, 1280, 1024, 1280, 1024);
  ModeGeometry g;
  ASSERT_TRUE(ModeGeometryFor(mode, 100, 1280, 1024, &g));
  EXPECT_NE(mode, 1);
  EXPECT_LE(g.width, 1280);
  EXPECT_LE(g.height, 1024);
  // A font DPI of 192 on 1920 x 1080: neither mode 1 nor mode 6 fits in height.
  mode = FittingScreenMode(1, 200, 1920, 1080, 1920, 1040);
  ASSERT_TRUE(ModeGeometryFor(mode, 200, 1920, 1080, &g));
  EXPECT_LE(g.height, 1040) << mode;
  EXPECT_TRUE(mode == 3 || mode == 5 || mode == 2 || mode == 0) << mode;
  // What fits stays; a tiny screen gets mode 0; a mode outside 0-6 is left to the caller.
  EXPECT_EQ(FittingScreenMode(5, 100, 1280, 1024, 1280, 1024), 5);
  EXPECT_EQ(FittingScreenMode(1, 100, 1920, 1080, 1920, 1080), 1);
  EXPECT_EQ(FittingScreenMode(5, 100, 640, 480, 640, 480), 0);
  EXPECT_EQ(FittingScreenMode(9, 100, 1280, 1024, 1280, 1024), 9);
}

TEST(PageLayoutTable, PlayCaptionsSwapBetweenFormsOfOneWidth) {
  EXPECT_STREQ(SwapPlayCaption("  再　生", 0), "  停　止");
  EXPECT_STREQ(SwapPlayCaption("  停　止", 1), "  再　生");
  EXPECT_STREQ(SwapPlayCaption("   再 生", 0), "   停 止");
  EXPECT_STREQ(SwapPlayCaption(" 停 止", 1), " 再 生");
  EXPECT_STREQ(SwapPlayCaption("  再 生", 1), "  再 生") << "already the play form";
  EXPECT_STREQ(SwapPlayCaption("other", 0), "other");
}

TEST(PageLayoutTable, TheLastPageHoldsTheMetresLastBar) {
  // 4/4: 256 bars; 3/4: 341 bars.
  EXPECT_EQ(LastTopRow(4, 4, 4), 60);  // bars 240-255
  EXPECT_EQ(LastTopRow(3, 4, 4), 82);  // bars 328-343 hold bar 340
  EXPECT_EQ(LastTopRow(4, 8, 6), 26);  // bars 208-255
  EXPECT_EQ(LastTopRow(3, 3, 3), 111);
  EXPECT_EQ(LastTopRow(4, 4, 80), 0);
  for (int beats : {3, 4}) {
    for (int perRow : {3, 4, 8}) {
      const int top = LastTopRow(beats, perRow, 4);
      const int lastBar = 1024 / beats - 1;
      EXPECT_GE(lastBar, top * perRow) << beats << "/" << perRow;
      EXPECT_LT(lastBar, (top + 4) * perRow) << beats << "/" << perRow;
    }
  }
}

}  // namespace

// Every rectangle, flag and caption of every mode at every display scale the program offers
// and on three screens, folded into one digest: the layout code may be rearranged, the page it
// lays out stays the same.
TEST(PageLayout, EveryModeAndScaleIsPinned) {
  cantrel_test::Digest digest;
  const auto rect = [&digest](const PageRect& r) {
    for (int v : {r.left, r.top, r.right, r.bottom}) digest.Int(v);
  };
  int laid_out = 0;
  for (int mode = 0; mode < 7; ++mode) {
    for (int scale = 100; scale <= 300; scale += 25) {
      for (const auto& screen : {std::pair<int, int>{1280, 1024}, {1920, 1080}, {1024, 768}}) {
        PageLayout L;
        if (!ComputePageLayout(mode, scale, screen.first, screen.second, &L)) continue;
        ++laid_out;
        const ModeGeometry& g = L.geometry;
        for (int v : {g.barsPerRow, g.rowsPerPage, g.width, g.height, int{g.moved}, g.x, g.y,
                      g.scoreRowHeight, L.clientWidth, L.clientHeight, L.barsPerPage,
                      L.barCellWidth, L.rowPitch, L.headerCount}) {
          digest.Int(v);
        }
        for (int c = 0; c < kMaxBarCells; ++c) {
          for (const PageRect* r : {&L.barLabels[c], &L.chordCells[c], &L.melodyBoxes[c],
                                    &L.scoreRows[c]}) {
            rect(*r);
          }
          digest.Int(L.rightBarLine[c]);
        }
        for (const PageRect& r : L.headers) rect(r);
        for (const PageRect& r : L.topLine) rect(r);
        for (const PageRect* r : {&L.scrollBar, &L.knob, &L.counter}) rect(*r);
        for (const ToolbarButtonPlace& b : L.toolbar) {
          for (int v : {b.code, b.upBitmap, b.downBitmap, b.tipId}) digest.Int(v);
          rect(b.rect);
          digest.Bytes(b.caption, std::strlen(b.caption));
        }
      }
    }
  }
  EXPECT_EQ(laid_out, 7 * 9 * 3);
  EXPECT_EQ(digest.value, 0xafab6389f872571aull);
}
