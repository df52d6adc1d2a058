// The QR picture (where its modules land on the surface, its limits) and the QR image file,
// both read back by a decoder (zbarimg).
#include "draw/qr_picture.h"

#include "draw/qr_encoder.h"
#include "tests/support/test_support.h"
#include "tests/support/zbar.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using cantrel_test::TempDir;
using cantrel_test::ZbarRead;

// 20 bytes at level M: version 2 (25 modules); 40 capitals: version 3 (29 modules).
const char kShortText[] = "http://127.0.0.1/abc";
const char kVersion3Text[] = "HTTP://EXAMPLE.COM/GET/ABCDEFGHIJKLMNOPQ";

QImage ReadImage(const fs::path& path) {
  QImageReader reader(QString::fromStdString(path.string()));
  return reader.read().convertToFormat(QImage::Format_RGB32);
}

bool IsBlack(const QImage& image, int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == 0; }

class QrPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { CQrPicture::ResetState(); }
  void TearDown() override {
    picture.reset();
    CQrPicture::ResetState();
  }
  void Make(int width, int height, int margin) {
    picture = std::make_unique<CQrPicture>(new COffScreenControl(&parent),
                                           Rect{10, 10, 10 + width, 10 + height}, margin);
  }
  // The surface's pixel: true when black.
  static bool Dark(int x, int y, int instance = 0) {
    return CQrPicture::Surface(instance)->GetPixel(x, y) == 0;
  }
  // Pixels of the surface other than the colour.
  static int PixelsNot(plat::ColorRef colour, int instance = 0) {
    plat::Dc* dc = CQrPicture::Surface(instance);
    int n = 0;
    for (int x = 0; x < dc->Width(); ++x)
      for (int y = 0; y < dc->Height(); ++y) n += dc->GetPixel(x, y) != colour;
    return n;
  }
  QWidget parent;
  std::unique_ptr<CQrPicture> picture;
};

TEST_F(QrPictureTest, SymbolFillsTheSquareAtTheTopLeftMargin) {
  CQrEncoder qr;
  ASSERT_EQ(qr.EncodeText(1, 0, 1, -1, kVersion3Text, 0), 1);
  ASSERT_EQ(qr.Version(), 3);
  const int n = qr.Size();
  struct Case {
    int width, height, margin;
  };
  // A wide control keeps the 100-pixel square at the left; so does a tall one at the top.
  for (const Case c : {Case{120, 120, 10}, Case{200, 120, 10}, Case{120, 200, 10},
                       Case{60, 60, 0}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    Make(c.width, c.height, c.margin);
    CQrPicture::SetText(kVersion3Text, 0);
    const int side = std::min(c.width, c.height) - 2 * c.margin;
    const double scale = static_cast<double>(side) / n;
    int wrong = 0;
    for (int x = 0; x < c.width; ++x) {
      for (int y = 0; y < c.height; ++y) {
        const int i = x - c.margin, j = y - c.margin;
        const bool inside = i >= 0 && j >= 0 && i < side && j < side;
        const bool dark = inside && qr.Module(static_cast<int>(i / scale),
                                              static_cast<int>(j / scale)) == 1;
        wrong += Dark(x, y) != dark;
      }
    }
    EXPECT_EQ(wrong, 0);
    // The finder's dark corners mark the square's edges.
    EXPECT_TRUE(Dark(c.margin, c.margin));
    EXPECT_TRUE(Dark(c.margin + side - 1, c.margin));
    EXPECT_FALSE(Dark(c.margin + side, c.margin));
    picture.reset();
    CQrPicture::ResetState();
  }
}

TEST_F(QrPictureTest, BackgroundOnlyWithoutASymbol) {
  Make(120, 120, 10);
  EXPECT_EQ(PixelsNot(0xFFFFFF), 0);  // made blank
  CQrPicture::SetText(kShortText, 0);
  EXPECT_GT(PixelsNot(0xFFFFFF), 0);
  CQrPicture::SetText("", 0);  // an empty text clears the picture
  EXPECT_EQ(PixelsNot(0xFFFFFF), 0);

  // The background comes in at the next draw.
  CQrPicture::SetBackground(0x00FF00, 0);
  EXPECT_EQ(PixelsNot(0xFFFFFF), 0);
  CQrPicture::SetText(kShortText, 0);
  EXPECT_TRUE(Dark(10, 10));
  EXPECT_EQ(CQrPicture::Surface(0)->GetPixel(5, 5), 0x00FF00u);
  EXPECT_EQ(CQrPicture::Surface(0)->GetPixel(115, 115), 0x00FF00u);

  // A margin larger than half the control beeps and draws no modules.
  picture.reset();
  const int beeps = CQrPicture::BeepCount();
  Make(120, 120, 70);
  CQrPicture::SetText(kShortText, 0);
  EXPECT_EQ(CQrPicture::BeepCount(), beeps + 1);
  EXPECT_EQ(PixelsNot(0xFFFFFF), 0);
}

TEST_F(QrPictureTest, TextAndInstanceLimits) {
  Make(120, 120, 10);
  const std::string longText(2000, 'a');
  CQrPicture::SetText(longText.c_str(), 0);
  EXPECT_EQ(CQrPicture::Text(0), std::string(1023, 'a'));
  EXPECT_GT(PixelsNot(0xFFFFFF), 0);

  for (int i = 1; i < CQrPicture::kCapacity; ++i)
    ASSERT_TRUE(picture->AddSymbol(new COffScreenControl(&parent), Rect{0, 0, 50, 50}, i));
  EXPECT_FALSE(picture->AddSymbol(new COffScreenControl(&parent), Rect{0, 0, 50, 50}, 9));
  EXPECT_EQ(CQrPicture::Count(), CQrPicture::kCapacity);
  EXPECT_EQ(CQrPicture::Margin(3), 3);
  // Another instance's text leaves the first alone.
  CQrPicture::SetText("", 2);
  EXPECT_EQ(CQrPicture::Text(0), std::string(1023, 'a'));
  CQrPicture::SetText(kShortText, 9);  // no such instance: nothing happens
}

TEST_F(QrPictureTest, SavedPicturesEqualTheSurfaceAndDecode) {
  CANTREL_NEED_TOOL("zbarimg");
  Make(120, 120, 10);
  CQrPicture::SetText(kShortText, 0);
  const QImage surface = CQrPicture::Surface(0)->SelectedBitmap()->Image();
  const fs::path bmp = TempDir() / "qr.bmp", png = TempDir() / "qr.png";
  ASSERT_EQ(CQrPicture::SaveBitmap(bmp, 0), 1);
  ASSERT_EQ(CQrPicture::SaveImage(png, 0), 1);
  for (const fs::path& path : {bmp, png}) {
    SCOPED_TRACE(path.filename().string());
    EXPECT_EQ(ReadImage(path), surface);
    EXPECT_EQ(ZbarRead(path), kShortText);
  }
  Sink().Clear();
  EXPECT_EQ(CQrPicture::SaveImage(TempDir() / "none" / "qr.png", 0), 0);
  EXPECT_EQ(Sink().Count(), 1u);
}

TEST_F(QrPictureTest, GrownPictureDecodesLongAddresses) {
  CANTREL_NEED_TOOL("zbarimg");
  // The longest address the transfer dialog takes, at three pixels a module.
  std::string address = "http://127.0.0.1:8080/work/m/";
  while (address.size() < 259) address += static_cast<char>('a' + address.size() % 26);
  CQrEncoder qr;
  ASSERT_EQ(qr.EncodeText(1, 0, 1, -1, address.c_str(), 0), 1);
  const int side = 3 * qr.Size() + 20;
  Make(120, 120, 10);
  CQrPicture::Resize(Rect{10, 10, 10 + side, 10 + side}, 0);
  CQrPicture::SetText(address.c_str(), 0);
  EXPECT_EQ(CQrPicture::Control(0)->width(), side);
  const fs::path png = TempDir() / "long.png";
  ASSERT_EQ(CQrPicture::SaveImage(png, 0), 1);
  EXPECT_EQ(ZbarRead(png), address);
}

TEST(QrImageFile, IntermediateBitmapNames) {
  const std::pair<fs::path, fs::path> cases[] = {
      {"code.jpg", "code.bmp"},
      {"code", "code.bmp"},
      {"/a.b/code", "/a.b/code.bmp"},
      {"/a.b/code.tar.png", "/a.b/code.tar.bmp"},
      {"code.bmp", "code.bmp"},
  };
  for (const auto& [target, bitmap] : cases)
    EXPECT_EQ(CQrImageFile::BitmapPathFor(target), bitmap) << target;
}

TEST(QrImageFile, BitmapsHoldOnePixelAModule) {
  CQrEncoder qr;
  ASSERT_EQ(qr.EncodeText(1, 0, 1, -1, kShortText, 0), 1);
  const int n = qr.Size();
  const fs::path margin = TempDir() / "margin.bmp", plain = TempDir() / "plain.bmp";
  ASSERT_EQ(CQrImageFile::WriteMarginBitmap(margin, kShortText, 4), 1);
  const QImage withMargin = ReadImage(margin);
  ASSERT_EQ(withMargin.width(), n + 8);
  ASSERT_EQ(withMargin.height(), n + 8);
  int wrong = 0;
  for (int x = 0; x < n + 8; ++x)
    for (int y = 0; y < n + 8; ++y) {
      const bool inside = x >= 4 && y >= 4 && x < n + 4 && y < n + 4;
      wrong += IsBlack(withMargin, x, y) != (inside && qr.Module(x - 4, y - 4) == 1);
    }
  EXPECT_EQ(wrong, 0);

  // The given encoding values: version 5 asked, mask 6, level H.
  ASSERT_EQ(qr.EncodeText(3, 5, 0, 6, kShortText, 0), 1);
  EXPECT_EQ(CQrImageFile::WriteBitmap(plain, kShortText, 3, 5, 0, 6), 37);
  const QImage bare = ReadImage(plain);
  ASSERT_EQ(bare.width(), 37);
  wrong = 0;
  for (int x = 0; x < 37; ++x)
    for (int y = 0; y < 37; ++y) wrong += IsBlack(bare, x, y) != (qr.Module(x, y) == 1);
  EXPECT_EQ(wrong, 0);

  // Nothing to encode, or a text too long for the version: no file.
  const fs::path none = TempDir() / "none.bmp";
  EXPECT_EQ(CQrImageFile::WriteMarginBitmap(none, "", 4), 0);
  EXPECT_EQ(CQrImageFile::WriteBitmap(none, std::string(200, 'x').c_str(), 1, 2, 0, -1), 0);
  EXPECT_EQ(CQrImageFile::WriteMarginBitmap(none, kShortText, -1), 0);
  EXPECT_FALSE(fs::exists(none));
}

TEST(QrImageFile, SaveWritesTheBitmapAndAScaledImage) {
  CANTREL_NEED_TOOL("zbarimg");
  const fs::path dir = TempDir() / "a.b";
  fs::create_directories(dir);
  CQrImageFile file(200, dir / "code.png");
  ASSERT_EQ(file.Save(kVersion3Text, 4), 1);
  ASSERT_TRUE(fs::exists(dir / "code.bmp"));
  const QImage image = ReadImage(dir / "code.png");
  EXPECT_EQ(image.width(), 200);
  EXPECT_EQ(image.height(), 200);
  // Unsmoothed: only black and white.
  int grey = 0;
  for (int x = 0; x < 200; ++x)
    for (int y = 0; y < 200; ++y) {
      const QRgb p = image.pixel(x, y) & 0xFFFFFF;
      grey += p != 0 && p != 0xFFFFFF;
    }
  EXPECT_EQ(grey, 0);
  EXPECT_EQ(ZbarRead(dir / "code.png"), kVersion3Text);
  EXPECT_EQ(ReadImage(dir / "code.bmp").width(), 29 + 8);  // one pixel a module

  // Failures are returned: nothing to encode, no side, an unknown format, a missing folder.
  Sink().Clear();
  EXPECT_EQ(CQrImageFile(200, dir / "empty.png").Save("", 4), 0);
  EXPECT_EQ(CQrImageFile(0, dir / "zero.png").Save(kShortText, 4), 0);
  EXPECT_EQ(CQrImageFile(200, dir / "code.nosuchformat").Save(kShortText, 4), 0);
  EXPECT_EQ(CQrImageFile(200, dir / "none" / "code.png").Save(kShortText, 4), 0);
  EXPECT_FALSE(fs::exists(dir / "empty.png"));
  EXPECT_FALSE(fs::exists(dir / "zero.png"));
}

}  // namespace
