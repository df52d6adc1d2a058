#include "draw/image_composer.h"

#include "draw/bitmap_files.h"
#include "util/gne.h"

#include <cmath>
#include <cstdio>

namespace {

// The largest canvas made: 1 GB of pixels.
constexpr int64_t kMaxCanvasPixels = int64_t{1} << 28;

}  // namespace

CImageComposer::CImageComposer(int width, int height, const plat::Dc* reference,
                               plat::ColorRef background)
    : width_(width), height_(height) {
  if (!reference || width <= 0 || height <= 0 ||
      static_cast<int64_t>(width) * height > kMaxCanvasPixels) {
    ErrorMsg(0);
    return;
  }
  auto canvas = std::make_unique<plat::Bitmap>(width, height, background);
  if (canvas->IsNull()) {
    ErrorMsg(0);
    return;
  }
  canvas_ = std::move(canvas);
  dc_ = std::make_unique<plat::Dc>();
  dc_->SelectBitmap(canvas_.get());
}

CImageComposer::~CImageComposer() {
  if (dc_) dc_->SelectBitmap(nullptr);
}

void CImageComposer::ErrorMsg(uint32_t code) {
  char text[96];
  std::snprintf(text, sizeof text, "GNLL%08X %s", static_cast<unsigned>(code),
                "画像保存でエラーがおきました。");
  GneErrorBox(text);
}

bool CImageComposer::AddBlit(const plat::Dc* source, int height, int width, int top, int left) {
  if (count_ >= kMaxAreas) {
    ErrorMsg(0);
    return false;
  }
  areas_[count_++] = Area_{source, plat::Rect{left, top, left + width, top + height}};
  return true;
}

plat::Rect CImageComposer::Area(int i) const {
  return i >= 0 && i < count_ ? areas_[i].rect : plat::Rect{};
}

void CImageComposer::Compose(double zoom) {
  if (!dc_) return;
  for (int i = 0; i < count_; ++i) {
    const Area_& a = areas_[i];
    if (!a.source || !a.source->HasSurface()) continue;
    const plat::Rect& r = a.rect;
    if (zoom == 1.0) {
      dc_->BitBlt(r.left, r.top, r.Width(), r.Height(), *a.source, 0, 0, plat::SRCCOPY);
    } else {
      const int x = static_cast<int>(r.left * zoom), y = static_cast<int>(r.top * zoom);
      const int w = static_cast<int>(r.right * zoom - r.left * zoom);
      const int h = static_cast<int>(r.bottom * zoom - r.top * zoom);
      dc_->StretchBlt(x, y, w, h, *a.source, 0, 0, r.Width(), r.Height(), plat::SRCCOPY);
    }
  }
}

int CImageComposer::SaveBitmap(const std::filesystem::path& path) const {
  if (!canvas_) return 0;
  return SaveBitmapFile(canvas_.get(), path, 0);
}
