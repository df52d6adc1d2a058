// The device context keeps the drawing rules the pictures rely on. Small surfaces, exact pixels.
#include "platform/qt/dc.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include <string>
#include <vector>

namespace {

using plat::Brush;
using plat::ColorRef;
using plat::Dc;
using plat::Pen;
using plat::Rect;

constexpr ColorRef kGrey = 0x808080;
constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kWhite = 0xFFFFFF;

// Renders the surface as rows of characters: '.' for the background, '#' for `ink`,
// 'o' for anything else.
std::vector<std::string> Picture(const Dc& dc, ColorRef ink, ColorRef background = kGrey) {
  std::vector<std::string> rows;
  for (int y = 0; y < dc.Height(); ++y) {
    std::string row;
    for (int x = 0; x < dc.Width(); ++x) {
      const ColorRef c = dc.GetPixel(x, y);
      row += c == background ? '.' : (c == ink ? '#' : 'o');
    }
    rows.push_back(row);
  }
  return rows;
}

void Clear(Dc& dc, ColorRef c = kGrey) { dc.FillRect(Rect{0, 0, dc.Width(), dc.Height()}, Brush{plat::BS_SOLID, c}); }

// Bounding box of the pixels of colour `ink`.
Rect InkBox(const Dc& dc, ColorRef ink) {
  Rect box{dc.Width(), dc.Height(), -1, -1};
  for (int y = 0; y < dc.Height(); ++y) {
    for (int x = 0; x < dc.Width(); ++x) {
      if (dc.GetPixel(x, y) == ink) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
  }
  return box;
}

TEST(DcTest, NewSurfaceIsBlack) {
  Dc dc(3, 2);
  EXPECT_EQ(dc.GetPixel(0, 0), 0u);
  EXPECT_EQ(dc.GetPixel(2, 1), 0u);
  EXPECT_EQ(dc.GetPixel(3, 0), 0xFFFFFFFFu) << "outside the surface";
}

struct LineCase {
  int x0, y0, x1, y1;
  std::vector<std::string> expected;
};

class LineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTest, LineToLeavesOutTheEndPoint) {
  const LineCase& c = GetParam();
  Dc dc(6, 4);
  Clear(dc);
  dc.SelectPen(Pen{plat::PS_SOLID, 1, kRed});
  dc.MoveTo(c.x0, c.y0);
  dc.LineTo(c.x1, c.y1);
  EXPECT_EQ(Picture(dc, kRed), c.expected);
  EXPECT_EQ(dc.CurrentPosition().x, c.x1);
  EXPECT_EQ(dc.CurrentPosition().y, c.y1);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineTest,
    ::testing::Values(
        LineCase{1, 1, 5, 1, {"......", ".####.", "......", "......"}},
        LineCase{5, 1, 1, 1, {"......", "..####", "......", "......"}},
        LineCase{2, 0, 2, 3, {"..#...", "..#...", "..#...", "......"}},
        LineCase{0, 0, 3, 3, {"#.....", ".#....", "..#...", "......"}},
        LineCase{1, 2, 1, 2, {"......", "......", "......", "......"}},
        LineCase{-3, 1, 9, 1, {"......", "######", "......", "......"}}));

TEST(DcTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  Dc dc(7, 6);
  Clear(dc);
  dc.SelectPen(Pen{plat::PS_SOLID, 1, kRed});
  dc.SelectBrush(Brush{plat::BS_SOLID, kWhite});
  dc.Rectangle(1, 1, 6, 5);
  EXPECT_EQ(Picture(dc, kRed), (std::vector<std::string>{
                                   ".......",
                                   ".#####.",
                                   ".#ooo#.",
                                   ".#ooo#.",
                                   ".#####.",
                                   ".......",
                               }));
  EXPECT_EQ(dc.GetPixel(2, 2), kWhite);
}

TEST(DcTest, RectangleWithTheNullPenFillsOnePixelLess) {
  Dc dc(7, 6);
  Clear(dc);
  dc.SelectPen(plat::NullPen());
  dc.SelectBrush(Brush{plat::BS_SOLID, kRed});
  dc.Rectangle(1, 1, 6, 5);
  EXPECT_EQ(Picture(dc, kRed), (std::vector<std::string>{
                                   ".......",
                                   ".####..",
                                   ".####..",
                                   ".####..",
                                   ".......",
                                   ".......",
                               }));
}

TEST(DcTest, RectangleWithTheNullBrushDrawsOnlyTheOutline) {
  Dc dc(5, 5);
  Clear(dc);
  dc.SelectPen(Pen{plat::PS_SOLID, 1, kRed});
  dc.SelectBrush(plat::NullBrush());
  dc.Rectangle(0, 0, 5, 5);
  EXPECT_EQ(dc.GetPixel(2, 2), kGrey);
  EXPECT_EQ(dc.GetPixel(4, 4), kRed);
}

TEST(DcTest, FillFrameAndInvertExcludeTheFarEdges) {
  Dc dc(6, 4);
  Clear(dc);
  dc.FillRect(Rect{1, 1, 4, 3}, Brush{plat::BS_SOLID, kRed});
  EXPECT_EQ(Picture(dc, kRed), (std::vector<std::string>{"......", ".###..", ".###..", "......"}));
  Clear(dc);
  dc.FrameRect(Rect{0, 0, 4, 4}, Brush{plat::BS_SOLID, kRed});
  EXPECT_EQ(Picture(dc, kRed), (std::vector<std::string>{"####..", "#..#..", "#..#..", "####.."}));
  Clear(dc, 0);
  dc.InvertRect(Rect{2, 1, 3, 2});
  EXPECT_EQ(dc.GetPixel(2, 1), kWhite);
  EXPECT_EQ(dc.GetPixel(3, 1), 0u);
}

TEST(DcTest, FillSolidRectLeavesItsColourAsTheBackground) {
  Dc dc(4, 4);
  dc.SetBkColor(kWhite);
  dc.FillSolidRect(Rect{0, 0, 2, 2}, kBlue);
  EXPECT_EQ(dc.GetBkColor(), kBlue);
  EXPECT_EQ(dc.GetPixel(1, 1), kBlue);
  EXPECT_EQ(dc.GetPixel(2, 2), 0u);
}

TEST(DcTest, SelectedObjectsPersistAndSelectReturnsThePrevious) {
  Dc dc(4, 4);
  const Pen first = dc.SelectPen(Pen{plat::PS_SOLID, 1, kRed});
  EXPECT_EQ(first.color, 0u);
  EXPECT_EQ(dc.SelectPen(Pen{plat::PS_SOLID, 1, kBlue}).color, kRed);
  const Brush b = dc.SelectBrush(Brush{plat::BS_SOLID, kRed});
  EXPECT_EQ(b.color, kWhite) << "the default brush is white";
  EXPECT_EQ(dc.SetTextColor(kRed), 0u);
  EXPECT_EQ(dc.SetTextColor(kBlue), kRed);
  EXPECT_EQ(dc.SetBkMode(plat::TRANSPARENT), plat::OPAQUE);
  EXPECT_EQ(dc.GetBkMode(), plat::TRANSPARENT);
  plat::LogFont lf;
  lf.height = 20;
  dc.SelectFont(lf);
  EXPECT_EQ(dc.SelectFont(plat::LogFont{}).height, 20);
  // The pen stays in effect across drawing calls.
  dc.MoveTo(0, 0);
  dc.LineTo(2, 0);
  dc.MoveTo(0, 1);
  dc.LineTo(2, 1);
  EXPECT_EQ(dc.GetPixel(1, 1), kBlue);
}

struct BlitCase {
  uint32_t rop;
  ColorRef dst, src, expected;
};

class BlitTest : public ::testing::TestWithParam<BlitCase> {};

TEST_P(BlitTest, RasterOperation) {
  const BlitCase& c = GetParam();
  Dc dst(4, 4);
  Clear(dst, c.dst);
  Dc src(2, 2);
  Clear(src, c.src);
  ASSERT_TRUE(dst.BitBlt(1, 1, 2, 2, src, 0, 0, c.rop));
  EXPECT_EQ(dst.GetPixel(1, 1), c.expected);
  EXPECT_EQ(dst.GetPixel(2, 2), c.expected);
  EXPECT_EQ(dst.GetPixel(3, 3), c.dst) << "outside the blit";
  EXPECT_EQ(dst.GetPixel(0, 0), c.dst);
}

INSTANTIATE_TEST_SUITE_P(
    Rops, BlitTest,
    ::testing::Values(BlitCase{plat::SRCCOPY, 0x123456, 0xABCDEF, 0xABCDEF},
                      BlitCase{plat::SRCINVERT, 0x123456, 0xFFFFFF, 0xEDCBA9},
                      BlitCase{plat::SRCINVERT, 0x0F0F0F, 0x00FF00, 0x0FF00F},
                      BlitCase{plat::SRCAND, 0x0F0F0F, 0x00FF00, 0x000F00},
                      BlitCase{plat::SRCPAINT, 0x0F0F0F, 0x00FF00, 0x0FFF0F},
                      BlitCase{plat::NOTSRCCOPY, 0, 0x00FF00, 0xFF00FF}));

TEST(DcTest, SrcInvertTwiceRestores) {
  Dc dst(3, 3);
  Clear(dst, 0x3366CC);
  Dc src(3, 3);
  Clear(src, 0x5A5A5A);
  dst.BitBlt(0, 0, 3, 3, src, 0, 0, plat::SRCINVERT);
  EXPECT_NE(dst.GetPixel(1, 1), 0x3366CCu);
  dst.BitBlt(0, 0, 3, 3, src, 0, 0, plat::SRCINVERT);
  EXPECT_EQ(dst.GetPixel(1, 1), 0x3366CCu);
}

TEST(DcTest, BlitClipsToBothSurfaces) {
  Dc dst(4, 4);
  Clear(dst, 0);
  Dc src(2, 2);
  Clear(src, kRed);
  EXPECT_TRUE(dst.BitBlt(3, 3, 5, 5, src, 0, 0, plat::SRCCOPY));
  EXPECT_EQ(dst.GetPixel(3, 3), kRed);
  EXPECT_TRUE(dst.BitBlt(-1, -1, 2, 2, src, 0, 0, plat::SRCCOPY));
  EXPECT_EQ(dst.GetPixel(0, 0), kRed);
  EXPECT_EQ(dst.GetPixel(1, 1), 0u);
}

TEST(DcTest, StretchBltScalesByWholePixels) {
  Dc src(2, 1);
  src.SetPixel(0, 0, kRed);
  src.SetPixel(1, 0, kBlue);
  Dc dst(4, 2);
  dst.StretchBlt(0, 0, 4, 2, src, 0, 0, 2, 1, plat::SRCCOPY);
  EXPECT_EQ(dst.GetPixel(0, 0), kRed);
  EXPECT_EQ(dst.GetPixel(1, 1), kRed);
  EXPECT_EQ(dst.GetPixel(2, 0), kBlue);
  EXPECT_EQ(dst.GetPixel(3, 1), kBlue);
}

TEST(DcTest, ClipRectLimitsDrawing) {
  Dc dc(5, 1);
  Clear(dc);
  dc.SetClipRect(Rect{1, 0, 3, 1});
  dc.FillRect(Rect{0, 0, 5, 1}, Brush{plat::BS_SOLID, kRed});
  EXPECT_EQ(Picture(dc, kRed), std::vector<std::string>{".##.."});
  dc.ClearClip();
  dc.SetPixel(4, 0, kRed);
  EXPECT_EQ(dc.GetPixel(4, 0), kRed);
}

TEST(DcTest, XorPenDrawsTwiceToNothing) {
  Dc dc(4, 1);
  Clear(dc, 0x00FF00);
  dc.SetROP2(plat::R2_XORPEN);
  dc.SelectPen(Pen{plat::PS_SOLID, 1, kWhite});
  for (int i = 0; i < 2; ++i) {
    dc.MoveTo(0, 0);
    dc.LineTo(4, 0);
    EXPECT_EQ(dc.GetPixel(1, 0), i == 0 ? 0xFF00FFu : 0x00FF00u);
  }
}

// ----------------------------------------------------------------------------------- Text

plat::LogFont Font(int height) {
  plat::LogFont lf;
  lf.height = height;
  lf.charSet = plat::SHIFTJIS_CHARSET;
  return lf;
}

TEST(DcTextTest, JapaneseFacesDrawInIpaGothic) {
  for (const char* face : {"", "ＭＳ ゴシック", "MS Gothic"}) {
    plat::LogFont lf = Font(16);
    lf.faceName = face;
    QFontInfo info(Dc::MakeQFont(lf));
    EXPECT_EQ(info.family().toStdString(), "IPAGothic") << face;
  }
}

struct HeightCase {
  int logical;
  int cellMin, cellMax;
};

class FontHeightTest : public ::testing::TestWithParam<HeightCase> {};

TEST_P(FontHeightTest, LogicalHeights) {
  const HeightCase& c = GetParam();
  Dc dc(4, 4);
  dc.SelectFont(Font(c.logical));
  const plat::TextMetrics tm = dc.GetTextMetrics();
  EXPECT_GE(tm.height, c.cellMin) << c.logical;
  EXPECT_LE(tm.height, c.cellMax) << c.logical;
  EXPECT_EQ(tm.height, tm.ascent + tm.descent);
}

// A positive height is the cell height; a negative one the character height (the cell is at
// least as tall); 0 is a readable default.
INSTANTIATE_TEST_SUITE_P(Heights, FontHeightTest,
                         ::testing::Values(HeightCase{12, 11, 13}, HeightCase{16, 15, 17},
                                           HeightCase{24, 23, 25}, HeightCase{-16, 16, 19},
                                           HeightCase{0, 14, 18}));

TEST(DcTextTest, JapaneseTextDrawsInkWithinItsCell) {
  Dc dc(64, 24);
  Clear(dc, kWhite);
  dc.SelectFont(Font(16));
  dc.SetTextColor(0);
  dc.SetBkMode(plat::TRANSPARENT);
  ASSERT_TRUE(dc.TextOut(2, 3, "あい"));
  const Rect ink = InkBox(dc, 0);
  ASSERT_GT(ink.right, ink.left) << "nothing drawn";
  EXPECT_GE(ink.left, 2);
  EXPECT_GE(ink.top, 3);
  EXPECT_LE(ink.bottom, 3 + 16 + 1);
  const plat::Size extent = dc.GetTextExtent("あい");
  EXPECT_NEAR(extent.cx, 32, 2) << "two full-width characters of 16 pixels";
}

TEST(DcTextTest, OpaqueBackgroundFillsTheCellTransparentDoesNot) {
  Dc dc(40, 20);
  dc.SelectFont(Font(16));
  dc.SetTextColor(0);
  dc.SetBkColor(kRed);
  Clear(dc, kWhite);
  dc.SetBkMode(plat::OPAQUE);
  dc.TextOut(0, 0, "A");
  const plat::Size ext = dc.GetTextExtent("A");
  EXPECT_EQ(InkBox(dc, kRed).left, 0);
  EXPECT_EQ(InkBox(dc, kRed).bottom, ext.cy);
  EXPECT_EQ(InkBox(dc, kRed).right, ext.cx);
  Clear(dc, kWhite);
  dc.SetBkMode(plat::TRANSPARENT);
  dc.TextOut(0, 0, "A");
  EXPECT_EQ(InkBox(dc, kRed).right, -1) << "no background with TRANSPARENT";
}

TEST(DcTextTest, TextAlignMovesTheReferencePoint) {
  Dc dc(80, 40);
  dc.SelectFont(Font(16));
  dc.SetBkMode(plat::OPAQUE);
  dc.SetBkColor(kRed);
  const plat::Size ext = dc.GetTextExtent("AB");
  Clear(dc, kWhite);
  dc.SetTextAlign(plat::TA_RIGHT);
  dc.TextOut(60, 5, "AB");
  EXPECT_EQ(InkBox(dc, kRed).right, 60);
  Clear(dc, kWhite);
  dc.SetTextAlign(plat::TA_CENTER | plat::TA_BOTTOM);
  dc.TextOut(40, 30, "AB");
  const Rect box = InkBox(dc, kRed);
  EXPECT_EQ(box.bottom, 30);
  EXPECT_EQ(box.left, 40 - ext.cx / 2);
}

TEST(DcTextTest, DrawTextSingleLineCentred) {
  Dc dc(100, 40);
  dc.SelectFont(Font(16));
  dc.SetBkMode(plat::OPAQUE);
  dc.SetBkColor(kRed);
  Clear(dc, kWhite);
  Rect r{10, 0, 90, 40};
  const int offset = dc.DrawText("ABC", r, plat::DT_CENTER | plat::DT_VCENTER | plat::DT_SINGLELINE);
  const plat::Size ext = dc.GetTextExtent("ABC");
  const Rect box = InkBox(dc, kRed);
  EXPECT_EQ(box.left, (10 + 90 - ext.cx) / 2);
  EXPECT_EQ(box.top, (0 + 40 - ext.cy) / 2);
  EXPECT_EQ(offset, box.bottom) << "with DT_VCENTER the result is the offset of the text's bottom";
}

TEST(DcTextTest, DrawTextVCentreNeedsSingleLine) {
  Dc dc(100, 40);
  dc.SelectFont(Font(16));
  dc.SetBkMode(plat::OPAQUE);
  dc.SetBkColor(kRed);
  Clear(dc, kWhite);
  Rect r{0, 0, 100, 40};
  dc.DrawText("ABC", r, plat::DT_VCENTER | plat::DT_RIGHT);
  const Rect box = InkBox(dc, kRed);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 100);
}

TEST(DcTextTest, DrawTextCalcRectMeasuresWithoutDrawing) {
  Dc dc(100, 60);
  dc.SelectFont(Font(16));
  Clear(dc, kWhite);
  Rect r{5, 5, 100, 5};
  const int h = dc.DrawText("AB\nABCD", r, plat::DT_CALCRECT);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(r.bottom, 5 + 32);
  EXPECT_EQ(r.right, 5 + dc.GetTextExtent("ABCD").cx);
  EXPECT_EQ(InkBox(dc, 0).right, -1) << "nothing drawn";
}

TEST(DcTextTest, DrawTextPrefixAndNoPrefix) {
  Dc dc(100, 20);
  dc.SelectFont(Font(16));
  Rect a{0, 0, 100, 0}, b{0, 0, 100, 0}, c{0, 0, 100, 0};
  dc.DrawText("&Save", a, plat::DT_CALCRECT | plat::DT_SINGLELINE);
  dc.DrawText("Save", b, plat::DT_CALCRECT | plat::DT_SINGLELINE);
  dc.DrawText("&Save", c, plat::DT_CALCRECT | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
  EXPECT_EQ(a.right, b.right);
  EXPECT_GT(c.right, b.right);
}

TEST(DcTextTest, DrawTextWordBreakWrapsJapaneseAndWords) {
  Dc dc(200, 200);
  dc.SelectFont(Font(16));
  Rect r{0, 0, 40, 0};
  const int h = dc.DrawText("あいうえおかき", r, plat::DT_CALCRECT | plat::DT_WORDBREAK);
  EXPECT_GE(h, 16 * 3) << "seven 16-pixel characters in 40 pixels take several lines";
  Rect w{0, 0, 60, 0};
  const int hw = dc.DrawText("ab cd ef", w, plat::DT_CALCRECT | plat::DT_WORDBREAK);
  EXPECT_GE(hw, 32);
  Rect s{0, 0, 40, 0};
  EXPECT_EQ(dc.DrawText("あいうえおかき", s, plat::DT_CALCRECT | plat::DT_SINGLELINE), 16);
}

TEST(DcTextTest, DrawTextClipsToItsRectangleUnlessNoClip) {
  Dc dc(100, 20);
  dc.SelectFont(Font(16));
  dc.SetBkMode(plat::OPAQUE);
  dc.SetBkColor(kRed);
  Clear(dc, kWhite);
  dc.DrawText("WWWWWW", Rect{0, 0, 10, 20}, plat::DT_SINGLELINE);
  EXPECT_EQ(InkBox(dc, kRed).right, 10);
  Clear(dc, kWhite);
  dc.DrawText("WWWWWW", Rect{0, 0, 10, 20}, plat::DT_SINGLELINE | plat::DT_NOCLIP);
  EXPECT_GT(InkBox(dc, kRed).right, 10);
}

TEST(DcTest, NoSurfaceDrawsNothingAndDoesNotCrash) {
  Dc dc;
  dc.MoveTo(0, 0);
  dc.LineTo(10, 10);
  dc.Rectangle(0, 0, 5, 5);
  dc.TextOut(0, 0, "x");
  EXPECT_EQ(dc.GetPixel(0, 0), 0xFFFFFFFFu);
  plat::Bitmap bmp(3, 3, kWhite);
  dc.SelectBitmap(&bmp);
  dc.SetPixel(1, 1, kRed);
  EXPECT_EQ(bmp.GetPixel(1, 1), kRed);
}

}  // namespace
