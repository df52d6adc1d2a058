// The text picture: item boxes, vertical texts, limits, images written.
#include "draw/text_picture.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;

class TextPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { CTextPicture::ResetState(); }
  void TearDown() override {
    picture.reset();
    CTextPicture::ResetState();
  }
  void Make(int width, int height) {
    auto* c = new COffScreenControl(&parent);
    picture = std::make_unique<CTextPicture>(c, Rect{0, 0, width, height}, 0);
  }
  // Left and right of the ink in the instance's surface, -1 when none.
  static std::pair<int, int> InkColumns(int instance) {
    plat::Dc* dc = CTextPicture::Surface(instance);
    int left = -1, right = -1;
    for (int x = 0; x < dc->Width(); ++x) {
      for (int y = 0; y < dc->Height(); ++y) {
        if (dc->GetPixel(x, y) != 0xFFFFFF) {
          if (left < 0) left = x;
          right = x;
          break;
        }
      }
    }
    return {left, right};
  }
  QWidget parent;
  std::unique_ptr<CTextPicture> picture;
};

TEST_F(TextPictureTest, ItemBoxesAreFontHeightPerByte) {
  Make(1000, 28);
  // Centred across its box, an item shows where its box is: 30 pixels per byte from its x.
  const unsigned centred = plat::DT_CENTER | plat::DT_VCENTER | plat::DT_SINGLELINE;
  struct Case {
    const char* text;
    int x;
  };
  for (const Case& c : {Case{"I", 100}, Case{"III", 300}, Case{"IIIIII", 600}}) {
    SCOPED_TRACE(c.text);
    CTextPicture::ClearTexts(0);
    ASSERT_TRUE(CTextPicture::AddText(0, c.x, 0, c.text, 0, centred));
    CTextPicture::DrawTexts(0);
    const auto [left, right] = InkColumns(0);
    const int middle = c.x + 30 * static_cast<int>(std::strlen(c.text)) / 2;
    ASSERT_GE(left, 0);
    EXPECT_NEAR((left + right) / 2.0, middle, 3.0);
  }
  // The box is 30 high: centred in it, a text on a 28-pixel instance sits at 15.
  CTextPicture::ClearTexts(0);
  CTextPicture::AddText(0, 0, 0, "-", 0, centred);
  CTextPicture::DrawTexts(0);
  plat::Dc* dc = CTextPicture::Surface(0);
  int inkY = -1;
  for (int y = 0; y < 28 && inkY < 0; ++y) {
    for (int x = 0; x < 30; ++x) {
      if (dc->GetPixel(x, y) != 0xFFFFFF) inkY = y;
    }
  }
  EXPECT_NEAR(inkY, 15, 3);
}

TEST_F(TextPictureTest, ClearingAndVerticalTexts) {
  Make(200, 200);
  CTextPicture::ClearTexts(0);
  EXPECT_EQ(CTextPicture::ItemCount(0), 0);
  // Two double-byte characters and one single-byte character: three items 16 apart.
  ASSERT_TRUE(CTextPicture::AddVerticalText(0, 5, 10, "歌詞A", 0, 0));
  EXPECT_EQ(CTextPicture::ItemCount(0), 3);
  CTextPicture::ClearTexts(0);
  std::optional<plat::LogFont> previous;
  CTextPicture::SelectFont(0, previous, 40);
  EXPECT_EQ(CTextPicture::FontHeight(0), 40);
  ASSERT_TRUE(CTextPicture::AddVerticalText(0, 5, 10, "AB", 0, 0));
  ASSERT_TRUE(CTextPicture::AddVerticalText(0, 5, 10, "", 0, 0));
  EXPECT_EQ(CTextPicture::ItemCount(0), 3);
  CTextPicture::RestoreFont(0, previous);
}

TEST_F(TextPictureTest, VerticalStepsFollowTheFont) {
  Make(60, 200);
  struct Case {
    int fontHeight, step;
  };
  for (const Case& c : {Case{30, 16}, Case{40, 34}}) {
    SCOPED_TRACE(c.fontHeight);
    CTextPicture::ClearTexts(0);
    std::optional<plat::LogFont> previous;
    CTextPicture::SelectFont(0, previous, 16);  // glyphs small enough to fall apart
    std::optional<plat::LogFont> unused;
    // The step follows the stored height, whatever font is selected.
    CTextPicture::SelectFont(0, unused, c.fontHeight);
    CTextPicture::RestoreFont(0, unused);
    CTextPicture::AddVerticalText(0, 0, 0, "---", 0, plat::DT_SINGLELINE);
    CTextPicture::DrawTexts(0);
    plat::Dc* dc = CTextPicture::Surface(0);
    std::vector<int> tops;
    bool wasInk = false;
    for (int y = 0; y < 200; ++y) {
      bool ink = false;
      for (int x = 0; x < 60; ++x) ink |= dc->GetPixel(x, y) != 0xFFFFFF;
      if (ink && !wasInk) tops.push_back(y);
      wasInk = ink;
    }
    ASSERT_EQ(tops.size(), 3u);
    EXPECT_EQ(tops[1] - tops[0], c.step);
    EXPECT_EQ(tops[2] - tops[1], c.step);
    CTextPicture::RestoreFont(0, previous);
  }
}

TEST_F(TextPictureTest, LimitsAreReported) {
  Make(100, 30);
  for (int i = 0; i < CTextPicture::kMaxItems; ++i) {
    ASSERT_TRUE(CTextPicture::AddText(0, i, 0, "x", 0, 0));
  }
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_FALSE(CTextPicture::AddText(0, 0, 0, "x", 0, 0));
  EXPECT_FALSE(CTextPicture::AddText(5, 0, 0, "x", 0, 0));
  EXPECT_EQ(CTextPicture::ItemCount(0), CTextPicture::kMaxItems);
  EXPECT_EQ(Sink().Count(), 2u);

  Sink().Clear();
  for (int i = 1; i < CTextPicture::kCapacity; ++i) {
    ASSERT_TRUE(picture->AddPicture(new COffScreenControl(&parent), Rect{0, 0, 10, 10}, 0));
  }
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_FALSE(picture->AddPicture(new COffScreenControl(&parent), Rect{0, 0, 10, 10}, 0));
  EXPECT_EQ(CTextPicture::Count(), CTextPicture::kCapacity);
  EXPECT_EQ(Sink().Count(), 1u);
}

TEST_F(TextPictureTest, SavedImagesEqualTheSurface) {
  Make(120, 40);
  CTextPicture::AddText(0, 4, 4, "Title", 0, plat::DT_SINGLELINE);
  CTextPicture::DrawTexts(0);
  const QImage surface = CTextPicture::Surface(0)->SelectedBitmap()->Image();
  for (const char* name : {"title.bmp", "title.png"}) {
    SCOPED_TRACE(name);
    const fs::path path = cantrel_test::TempDir() / name;
    ASSERT_EQ(CTextPicture::SaveImage(0, path), 1);
    QImageReader reader(QString::fromStdString(path.string()));
    EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32), surface);
  }
  Sink().Clear();
  EXPECT_EQ(CTextPicture::SaveImage(0, cantrel_test::TempDir() / "none" / "t.png"), 0);
  EXPECT_EQ(Sink().Count(), 1u);
}

}  // namespace
