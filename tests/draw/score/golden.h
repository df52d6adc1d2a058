// Tolerant golden images: a rendered surface is compared with a committed PNG under
// tests/data/draw/ pixel by pixel, allowing a small difference per channel and a few stray
// pixels (font rasterisation differs slightly between machines). Set CANTREL_UPDATE_GOLDENS=1
// to write the goldens afresh.
#pragma once

#include "platform/qt/dc.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <string>

namespace draw_test {

inline QImage ToImage(const plat::Dc& dc) {
  return dc.SelectedBitmap() ? dc.SelectedBitmap()->Image().convertToFormat(QImage::Format_RGB32)
                             : QImage();
}

// Counts pixels whose channels differ by more than `tolerance`.
inline int CountDifferent(const QImage& a, const QImage& b, int tolerance) {
  if (a.size() != b.size()) return a.width() * a.height() + 1;
  int n = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
          std::abs(qBlue(p) - qBlue(q)) > tolerance) {
        ++n;
      }
    }
  }
  return n;
}

// Compares the image with tests/data/draw/<name>.png; `allowed` stray pixels may differ.
inline void ExpectGolden(const QImage& image, const std::string& name, int allowed = 40,
                         int tolerance = 24) {
  const std::string path = cantrel_test::DataPath("draw/" + name + ".png").string();
  const char* update = std::getenv("CANTREL_UPDATE_GOLDENS");
  if (update && *update == '1') {
    ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
    return;
  }
  QImage golden;
  ASSERT_TRUE(golden.load(QString::fromStdString(path))) << "missing golden " << path;
  golden = golden.convertToFormat(QImage::Format_RGB32);
  const int diff = CountDifferent(image, golden, tolerance);
  if (diff > allowed) {
    const std::string out = (cantrel_test::TempDir() / (name + ".actual.png")).string();
    image.save(QString::fromStdString(out), "PNG");
    ADD_FAILURE() << name << ": " << diff << " pixels differ (allowed " << allowed
                  << "); the rendering is in " << out;
  }
}

}  // namespace draw_test
