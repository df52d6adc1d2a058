// .bmp files written and read back, damaged files, the extended device context and the image
// composer.
#include "draw/bitmap_files.h"
#include "draw/image_composer.h"

#include "platform/core/files.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"
#include "util/gne.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;

uint32_t U32At(const std::string& b, size_t at) {
  ByteReader in(b.data() + at, 4);
  return in.U32Le();
}
uint16_t U16At(const std::string& b, size_t at) {
  ByteReader in(b.data() + at, 2);
  return in.U16Le();
}

std::string ReadFile(const fs::path& p) {
  std::string s;
  plat::ReadWholeFile(p, s);
  return s;
}

// 3 x 2: black, white, red / blue, green, white.
plat::Bitmap Small() {
  plat::Bitmap b(3, 2, 0xFFFFFF);
  b.SetPixel(0, 0, 0x000000);
  b.SetPixel(2, 0, plat::Rgb(255, 0, 0));
  b.SetPixel(0, 1, plat::Rgb(0, 0, 255));
  b.SetPixel(1, 1, plat::Rgb(0, 255, 0));
  return b;
}

bool ShowedBmpfBox() {
  for (const std::string& t : Sink().Texts()) {
    if (t == "BMPF00000000 Error occured in Bitmap!") return true;
  }
  return false;
}

TEST(BitmapFiles, HeadersOfEveryDepth) {
  struct Case {
    int colours, bits;
    uint32_t fileSize, offset;
    const char* fileSays;
  };
  // Rows of 3 pixels: 9 bytes at 24 bits and 1 byte at 1, 4 and 8 bits, each padded to 4.
  const Case cases[] = {
      {0, 24, 78, 54, "3 x 2 x 24"},
      {2, 1, 70, 62, "3 x 2 x 1"},
      {16, 4, 126, 118, "3 x 2 x 4"},
      {256, 8, 1086, 1078, "3 x 2 x 8"},
  };
  const bool haveFile = cantrel_test::HaveTool("file");
  const bool haveIdentify = cantrel_test::HaveTool("identify");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colours);
    const fs::path path = cantrel_test::TempDir() / ("small" + std::to_string(c.colours) + ".bmp");
    const plat::Bitmap b = Small();
    ASSERT_EQ(SaveBitmapFile(&b, path, c.colours), 1);
    const std::string f = ReadFile(path);
    ASSERT_EQ(f.size(), c.fileSize);
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(U32At(f, 2), c.fileSize);
    EXPECT_EQ(U32At(f, 6), 0u);
    EXPECT_EQ(U32At(f, 10), c.offset);
    EXPECT_EQ(U32At(f, 14), 40u);
    EXPECT_EQ(U32At(f, 18), 3u);
    EXPECT_EQ(U32At(f, 22), 2u);
    EXPECT_EQ(U16At(f, 26), 1u);
    EXPECT_EQ(U16At(f, 28), c.bits);
    EXPECT_EQ(U32At(f, 30), 0u);
    EXPECT_EQ(U32At(f, 34), c.fileSize - c.offset);
    for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(U32At(f, at), 0u) << at;

    // Toolkit's reader: pure colours come back as they were (red is no colour of the 1-bit
    // table: it takes the nearer of black and white).
    QImageReader reader(QString::fromStdString(path.string()));
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(back.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        const QRgb want = b.Image().pixel(x, y);
        const QRgb got = back.pixel(x, y);
        if (c.bits == 1 && (qRed(want) != qGreen(want) || qGreen(want) != qBlue(want))) {
          EXPECT_TRUE(got == qRgb(0, 0, 0) || got == qRgb(255, 255, 255));
        } else {
          EXPECT_EQ(got & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
        }
      }
    }
    if (haveFile) {
      std::string out;
      ASSERT_EQ(cantrel_test::RunTool({"file", "-b", path.string()}, &out), 0);
      EXPECT_NE(out.find("PC bitmap, Windows 3.x format"), std::string::npos) << out;
      EXPECT_NE(out.find(c.fileSays), std::string::npos) << out;
    }
    if (haveIdentify) {
      std::string out;
      ASSERT_EQ(cantrel_test::RunTool({"identify", "-format", "%w %h", path.string()}, &out), 0);
      EXPECT_EQ(out, "3 2");
    }
  }
  CANTREL_NEED_TOOL("file");
  CANTREL_NEED_TOOL("identify");
}

TEST(BitmapFiles, WriteFailuresLeaveNoFile) {
  const plat::Bitmap b = Small();
  const fs::path missing = cantrel_test::TempDir() / "no" / "such" / "folder" / "x.bmp";
  EXPECT_EQ(SaveBitmapFile(&b, missing, 0), 0);
  EXPECT_TRUE(ShowedBmpfBox());
  EXPECT_FALSE(fs::exists(missing));

  // A depth no caller asks for, and no bitmap at all, keep the earlier file.
  const fs::path kept = cantrel_test::TempDir() / "kept.bmp";
  ASSERT_EQ(SaveBitmapFile(&b, kept, 0), 1);
  const std::string before = ReadFile(kept);
  Sink().Clear();
  EXPECT_EQ(SaveBitmapFile(&b, kept, 3), 0);
  EXPECT_EQ(SaveBitmapFile(nullptr, kept, 0), 0);
  EXPECT_EQ(Sink().Count(), 2u);
  EXPECT_EQ(ReadFile(kept), before);
}

// A written 24-bit file with one field changed.
std::string Damaged(size_t at, uint32_t value, int width) {
  std::string f = EncodeBitmapFile(Small(), 0);
  for (int i = 0; i < width; ++i) f[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return f;
}

TEST(BitmapFiles, DamagedFilesAreRefused) {
  const std::string good = EncodeBitmapFile(Small(), 0);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", std::string()},
      {"header only", good.substr(0, 14)},
      {"not BM", Damaged(0, 0x4142, 2)},
      {"pixel offset past the end", Damaged(10, 0x7FFFFFF0u, 4)},
      {"pixel offset inside the header", Damaged(10, 20, 4)},
      {"header size past the end", Damaged(14, 0xFFFFFFF0u, 4)},
      {"huge width", Damaged(18, 0x7FFFFFFF, 4)},
      {"negative width", Damaged(18, 0xFFFFFFFDu, 4)},
      {"zero height", Damaged(22, 0, 4)},
      {"taller than the file", Damaged(22, 4000, 4)},
      {"seven bits", Damaged(28, 7, 2)},
      {"unknown compression", Damaged(30, 9, 4)},
      {"pixels cut short", good.substr(0, good.size() - 5)},
      {"colour table missing", Damaged(28, 8, 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Sink().Clear();
    const fs::path path = cantrel_test::TempDir() / "damaged.bmp";
    ASSERT_TRUE(plat::WriteFileAtomic(path, c.bytes));
    EXPECT_EQ(LoadBitmapFile(path), nullptr);
    BitmapInfoHeader h;
    EXPECT_FALSE(ReadBitmapInfoHeader(path, &h));
    EXPECT_TRUE(ShowedBmpfBox());
  }
  EXPECT_EQ(BitmapObjectCount(), 0);
  Sink().Clear();
  EXPECT_EQ(LoadBitmapFile(cantrel_test::TempDir() / "absent.bmp"), nullptr);
  EXPECT_TRUE(ShowedBmpfBox());
}

TEST(BitmapFiles, MutatedFilesNeverReadOutside) {
  cantrel_test::QuietBoxes quiet;
  std::vector<std::string> seeds;
  for (int colours : {0, 2, 16, 256}) seeds.push_back(EncodeBitmapFile(Small(), colours));
  const fs::path path = cantrel_test::TempDir() / "mutated.bmp";
  for (int i = 0; i < 300; ++i) {
    std::string f = seeds[cantrel_test::DrawIndex(seeds.size())];
    const int flips = 1 + static_cast<int>(cantrel_test::DrawIndex(6));
    for (int k = 0; k < flips && !f.empty(); ++k) {
      f[cantrel_test::DrawIndex(std::min<size_t>(f.size(), 60))] =
          static_cast<char>(cantrel_test::DrawIndex(256));
    }
    if (cantrel_test::DrawIndex(4) == 0) f.resize(cantrel_test::DrawIndex(f.size() + 1));
    ASSERT_TRUE(plat::WriteFileAtomic(path, f));
    DeleteBitmapObject(LoadBitmapFile(path));
    BitmapInfoHeader h;
    ReadBitmapInfoHeader(path, &h);
  }
  EXPECT_EQ(BitmapObjectCount(), 0);
}

TEST(BitmapFiles, LoadAndHeaderRoundTrip) {
  const fs::path path = cantrel_test::TempDir() / "round.bmp";
  const plat::Bitmap b = Small();
  ASSERT_EQ(SaveBitmapFile(&b, path, 0), 1);
  plat::Bitmap* loaded = LoadBitmapFile(path);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(BitmapObjectCount(), 1);
  EXPECT_EQ(loaded->Image(), b.Image());
  DeleteBitmapObject(loaded);
  EXPECT_EQ(BitmapObjectCount(), 0);

  BitmapInfoHeader h;
  ASSERT_TRUE(ReadBitmapInfoHeader(path, &h));
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.bitCount, 24);
  EXPECT_EQ(h.sizeImage, 24u);
}

TEST(BitmapFiles, HeaderBlockOnlyOfTheRightSize) {
  const fs::path path = cantrel_test::TempDir() / "block.bmp";
  const plat::Bitmap b = Small();
  ASSERT_EQ(SaveBitmapFile(&b, path, 16), 1);
  const std::string before = ReadFile(path);
  // 40 bytes of header and 64 of colour table fit; one byte fewer or more is refused whole.
  for (size_t size : {size_t{103}, size_t{105}, size_t{0}}) {
    Sink().Clear();
    std::vector<uint8_t> block(size, 0xAB);
    EXPECT_FALSE(WriteBitmapHeaderBlock(path, block.data(), block.size())) << size;
    EXPECT_TRUE(ShowedBmpfBox());
    EXPECT_EQ(ReadFile(path), before);
  }
  std::vector<uint8_t> block(before.begin() + 14, before.begin() + 118);
  block[16] = 99;  // the first byte of the image size field
  ASSERT_TRUE(WriteBitmapHeaderBlock(path, block.data(), block.size()));
  const std::string after = ReadFile(path);
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(static_cast<uint8_t>(after[30]), 99);
  EXPECT_EQ(after.substr(118), before.substr(118));
}

TEST(BitmapFiles, PatternBitmapsAndLightening) {
  plat::Bitmap* b = CreatePatternBitmap(4, 3, plat::PATCOPY, plat::SolidBrush(plat::Rgb(0, 100, 255)));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(BitmapObjectCount(), 1);
  EXPECT_EQ(b->GetPixel(3, 2), plat::Rgb(0, 100, 255));
  // c / 255 x (255 - 55) + 55: 0 -> 55, 100 -> 133 (133.43 cut), 255 -> 255.
  DrawLyric(b, 55);
  EXPECT_EQ(b->GetPixel(0, 0), plat::Rgb(55, 133, 255));
  DeleteBitmapObject(b);
  EXPECT_EQ(BitmapObjectCount(), 0);
}

TEST(ExtendedDc, AveragesAndBlends) {
  EXPECT_EQ(BlendColors(0x000000, 0xFFFFFF), plat::Rgb(127, 127, 127));
  CDCEx dc(10, 10);
  dc.FillSolidRect(plat::Rect{0, 0, 10, 10}, 0xFFFFFF);
  dc.FillSolidRect(plat::Rect{0, 0, 5, 10}, 0x000000);
  bool any = false;
  // Edges included: columns 4 and 5, one black and one white.
  EXPECT_EQ(dc.AverageColor(plat::Rect{4, 0, 5, 9}, &any), plat::Rgb(127, 127, 127));
  EXPECT_TRUE(any);
  // Clipped to the surface, and none at all.
  EXPECT_EQ(dc.AverageColor(plat::Rect{8, 8, 40, 40}, &any), 0xFFFFFFu);
  EXPECT_EQ(dc.AverageColor(plat::Rect{20, 20, 30, 30}, &any), 0u);
  EXPECT_FALSE(any);
  EXPECT_EQ(dc.AverageColor(plat::Rect{6, 6, 2, 2}, &any), 0u);
  EXPECT_FALSE(any);

  plat::Rect off{20, 20, 30, 30};
  dc.DrawBlendedText("A", off, 0x0000FF);
  EXPECT_EQ(off.left, 21);
}

TEST(ExtendedDc, BlendedTextAndCircle) {
  CDCEx dc(60, 30);
  dc.FillSolidRect(plat::Rect{0, 0, 60, 30}, 0xFFFFFF);
  dc.SetBkMode(plat::TRANSPARENT);
  plat::Rect r{0, 0, 60, 30};
  dc.DrawBlendedText("I", r, 0x000000);
  EXPECT_EQ(r.left, 1);
  // Black strokes with a grey shadow to their right.
  bool black = false, grey = false;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 60; ++x) {
      black |= dc.GetPixel(x, y) == 0;
      grey |= dc.GetPixel(x, y) == plat::Rgb(127, 127, 127);
    }
  }
  EXPECT_TRUE(black);
  EXPECT_TRUE(grey);

  const plat::Pen pen = dc.CurrentPen();
  dc.DrawCircle(10, 5, 30, 25, 0x00FF00, 0x0000FF);
  EXPECT_EQ(dc.GetPixel(20, 15), 0x00FF00u);
  EXPECT_EQ(dc.CurrentPen().color, pen.color);
  std::optional<plat::LogFont> previous;
  dc.SelectPointFont(previous, "IPAGothic", 12);
  EXPECT_EQ(dc.CurrentFont().height, -16);
  dc.RestoreFont(previous);
  EXPECT_EQ(dc.CurrentFont().height, previous->height);
}

TEST(ImageComposer, QueuesComposesAndSaves) {
  plat::Dc source(200, 100);
  source.FillSolidRect(plat::Rect{0, 0, 200, 100}, 0x0000FF);
  CImageComposer c(300, 150, &source, 0xFFFFFF);
  ASSERT_NE(c.Canvas(), nullptr);
  ASSERT_TRUE(c.AddBlit(&source, 100, 200, 10, 20));
  const plat::Rect a = c.Area(0);
  EXPECT_EQ(a.left, 20);
  EXPECT_EQ(a.top, 10);
  EXPECT_EQ(a.right, 220);
  EXPECT_EQ(a.bottom, 110);
  c.Compose(1.0);
  EXPECT_EQ(c.Canvas()->GetPixel(19, 10), 0xFFFFFFu);
  EXPECT_EQ(c.Canvas()->GetPixel(20, 10), 0x0000FFu);
  EXPECT_EQ(c.Canvas()->GetPixel(219, 109), 0x0000FFu);
  EXPECT_EQ(c.Canvas()->GetPixel(220, 110), 0xFFFFFFu);

  // A zoom stretches from the scaled corner.
  CImageComposer z(300, 150, &source, 0xFFFFFF);
  z.AddBlit(&source, 10, 10, 5, 5);
  z.Compose(2.0);
  EXPECT_EQ(z.Canvas()->GetPixel(9, 9), 0xFFFFFFu);
  EXPECT_EQ(z.Canvas()->GetPixel(10, 10), 0x0000FFu);
  EXPECT_EQ(z.Canvas()->GetPixel(29, 29), 0x0000FFu);
  EXPECT_EQ(z.Canvas()->GetPixel(30, 30), 0xFFFFFFu);

  const fs::path path = cantrel_test::TempDir() / "canvas.bmp";
  ASSERT_EQ(c.SaveBitmap(path), 1);
  QImageReader reader(QString::fromStdString(path.string()));
  EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32), c.Canvas()->Image());
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(ImageComposer, FullQueueAndMissingCanvasAreReported) {
  const std::string gnll = "GNLL00000000 画像保存でエラーがおきました。";
  plat::Dc source(4, 4);
  CImageComposer c(10, 10, &source, 0xFFFFFF);
  for (int i = 0; i < CImageComposer::kMaxAreas; ++i) ASSERT_TRUE(c.AddBlit(&source, 1, 1, 0, 0));
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_FALSE(c.AddBlit(&source, 1, 1, 0, 0));
  EXPECT_EQ(c.Count(), CImageComposer::kMaxAreas);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Texts()[0], gnll);

  // Canvases that cannot be made: no pixels, too many, no reference. Nothing is written.
  struct Case {
    int w, h;
    const plat::Dc* ref;
  };
  for (const Case& k : {Case{0, 10, &source}, Case{100000, 100000, &source}, Case{10, 10, nullptr}}) {
    Sink().Clear();
    CImageComposer bad(k.w, k.h, k.ref, 0xFFFFFF);
    EXPECT_EQ(bad.Canvas(), nullptr);
    bad.AddBlit(&source, 4, 4, 0, 0);
    bad.Compose(1.0);
    const fs::path path = cantrel_test::TempDir() / "none.bmp";
    EXPECT_EQ(bad.SaveBitmap(path), 0);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(Sink().Count(), 1u);
    EXPECT_EQ(Sink().Texts()[0], gnll);
  }
}

}  // namespace
