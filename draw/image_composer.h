// An off-screen canvas on which the score page is assembled, area by area, and saved as a
// 24-bit .bmp file. One composer per image: construct, queue areas, compose, save, destroy.
#pragma once

#include "platform/qt/dc.h"

#include <cstdint>
#include <filesystem>
#include <memory>

class CImageComposer {
 public:
  static constexpr int kMaxAreas = 192;

  // A canvas of the size filled with the background colour. A canvas that cannot be made (no
  // reference, a size of no pixels or too many) is reported (GNLL) and the composer stays
  // without one: it then composes and saves nothing.
  CImageComposer(int width, int height, const plat::Dc* reference, plat::ColorRef background);
  ~CImageComposer();
  CImageComposer(const CImageComposer&) = delete;
  CImageComposer& operator=(const CImageComposer&) = delete;

  // Queues a copy of the source's (0, 0, width, height) to (left, top); a full queue is
  // reported (GNLL) and nothing is queued.
  bool AddBlit(const plat::Dc* source, int height, int width, int top, int left);
  // Copies every queued area in order; a zoom other than exactly 1 stretches them.
  void Compose(double zoom);
  void Clear() { count_ = 0; }
  // Saves the canvas as a 24-bit .bmp file; 1 when written.
  int SaveBitmap(const std::filesystem::path& path) const;

  // "GNLL%08X 画像保存でエラーがおきました。" in the program-wide error box.
  static void ErrorMsg(uint32_t code);

  int Count() const { return count_; }
  // Queued area i as (left, top, right, bottom).
  plat::Rect Area(int i) const;
  // The canvas, null when it could not be made.
  const plat::Bitmap* Canvas() const { return canvas_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  struct Area_ {
    const plat::Dc* source = nullptr;
    plat::Rect rect;
  };
  Area_ areas_[kMaxAreas];
  int count_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<plat::Bitmap> canvas_;
  std::unique_ptr<plat::Dc> dc_;
};
