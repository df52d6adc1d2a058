// The line-filled text grid and the background pictures.
#include "draw/background_picture.h"
#include "draw/skin_resources.h"
#include "draw/text_grid_picture.h"
#include "tests/draw/score/golden.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace {

class TextGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CTextGridPicture::ResetState();
    CBackgroundPicture::ResetState();
    parent.resize(400, 300);
  }
  void TearDown() override {
    CTextGridPicture::ResetState();
    CBackgroundPicture::ResetState();
  }
  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }
  static std::vector<std::string> Row(int row) {
    std::vector<std::string> out;
    for (int c = 0; c < CTextGridPicture::Columns(); ++c) out.push_back(CTextGridPicture::Cell(row, c));
    return out;
  }
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
};

TEST_F(TextGridTest, FourLinesOnThreeRowsScrollTheFirstAway) {
  CTextGridPicture grid(NewControl(), Rect{0, 0, 80, 60}, 3, 4);
  for (const char* line : {"1abc", "2def", "3ghi", "4jkl"}) grid.AppendLine(line);
  EXPECT_EQ(Row(0), (std::vector<std::string>{"2", "d", "e", "f"}));
  EXPECT_EQ(Row(1), (std::vector<std::string>{"3", "g", "h", "i"}));
  EXPECT_EQ(Row(2), (std::vector<std::string>{"4", "j", "k", "l"}));
  EXPECT_EQ(grid.NextLine(), 3);
  grid.AppendLine("5");
  EXPECT_EQ(Row(2), (std::vector<std::string>{"5", "", "", ""}));
  EXPECT_EQ(Row(0)[0], "3");
}

TEST_F(TextGridTest, LinesAreCutIntoCharactersAndToTheColumns) {
  CTextGridPicture grid(NewControl(), Rect{0, 0, 80, 60}, 3, 4);
  struct Case {
    std::string text;
    std::vector<std::string> cells;
  };
  const Case cases[] = {
      {"abcdef", {"a", "b", "c", "d"}},           // six characters on four columns
      {"あaいう漢", {"あ", "a", "い", "う"}},      // a double-byte character takes one cell
      {"x", {"x", "", "", ""}},                   // the rest of the line is emptied
      {std::string("a\x82", 2), {"a", "\x82", "", ""}},  // a lone lead byte at the end
      {"", {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(grid.PutLine(c.text, 1));
    EXPECT_EQ(Row(1), c.cells) << c.text;
  }
  EXPECT_TRUE(CTextGridPicture::SetCell("Z", 2, 3));
  EXPECT_EQ(CTextGridPicture::Cell(2, 3), "Z");
}

TEST_F(TextGridTest, CellsLinesAndSizesOutsideAreRefused) {
  CTextGridPicture grid(NewControl(), Rect{0, 0, 80, 60}, 3, 4);
  for (auto [row, column] : std::vector<std::pair<int, int>>{{-1, 0}, {3, 0}, {0, 4}, {0, -1}}) {
    EXPECT_FALSE(CTextGridPicture::SetCell("x", row, column)) << row << "," << column;
  }
  EXPECT_FALSE(grid.PutLine("x", -1));
  EXPECT_FALSE(grid.PutLine("x", 4));
  for (auto [rows, columns] : std::vector<std::pair<int, int>>{{0, 4}, {3, 0}, {-2, 5}, {1001, 1}}) {
    CTextGridPicture empty(NewControl(), Rect{0, 0, 40, 40}, rows, columns);
    EXPECT_EQ(CTextGridPicture::Rows(), 0);
    empty.AppendLine("abc");
    EXPECT_FALSE(empty.PutLine("abc", 0));
    EXPECT_EQ(empty.NextLine(), 0);
    EXPECT_EQ(CTextGridPicture::Surface()->GetPixel(20, 20), 0xFFFFFFu);
  }
}

TEST_F(TextGridTest, GridGoldenWithInvisibleLinesAndGreenText) {
  CTextGridPicture grid(NewControl(), Rect{0, 0, 100, 60}, 3, 5);
  grid.AppendLine("Abc");
  grid.AppendLine("音楽");
  EXPECT_EQ(CTextGridPicture::LineColour(), 0xFFFFFFu);
  const QImage image = draw_test::ToImage(*CTextGridPicture::Surface());
  // Only white and the text's green (and its blend with white) are on the surface.
  bool green = false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      EXPECT_LE(qRed(p), qGreen(p));
      if (p == qRgb(0, 0x64, 0)) green = true;
    }
  }
  EXPECT_TRUE(green);
  draw_test::ExpectGolden(image, "text_grid", 30);
  // One row only: no lines even in a colour that would show.
  CTextGridPicture single(NewControl(), Rect{0, 0, 60, 20}, 1, 3);
  EXPECT_EQ(CTextGridPicture::Surface()->GetPixel(20, 10), 0xFFFFFFu);
}

TEST_F(TextGridTest, BackgroundsShowTheirBitmapAndOnlyTheLastGoes) {
  plat::Bitmap skin;
  ASSERT_TRUE(LoadSkinBitmap(168, &skin));
  CBackgroundPicture bg(NewControl(), Rect{0, 0, 88, 30}, 168);
  ASSERT_TRUE(bg.AddBackground(NewControl(), Rect{0, 40, 44, 70}, 167));
  EXPECT_EQ(CBackgroundPicture::Count(), 2);
  for (int x : {0, 10, 43, 87}) {
    EXPECT_EQ(CBackgroundPicture::Surface(0)->GetPixel(x, 15), skin.GetPixel(x, 15)) << x;
  }
  draw_test::ExpectGolden(draw_test::ToImage(*CBackgroundPicture::Surface(1)), "background_167",
                          0, 0);
  for (int i = 2; i < CBackgroundPicture::kCapacity; ++i) {
    ASSERT_TRUE(bg.AddBackground(NewControl(), Rect{0, 0, 8, 8}, 168)) << i;
  }
  EXPECT_FALSE(bg.AddBackground(NewControl(), Rect{0, 0, 8, 8}, 168)) << "a 21st background";
  EXPECT_EQ(CBackgroundPicture::Count(), 20);
  cantrel_test::Sink().Clear();
  CBackgroundPicture::RemoveBackground(3);
  CBackgroundPicture::RemoveBackground(20);
  EXPECT_EQ(cantrel_test::Sink().Texts(), (std::vector<std::string>{"error bg", "error bg"}));
  EXPECT_EQ(CBackgroundPicture::Count(), 20);
  ASSERT_NE(CBackgroundPicture::Surface(3), nullptr);
  CBackgroundPicture::RemoveBackground(19);
  EXPECT_EQ(CBackgroundPicture::Count(), 19);
  EXPECT_EQ(CBackgroundPicture::Surface(19), nullptr);
}

}  // namespace
