#include "draw/offscreen_picture.h"

#include "util/module_error.h"

#include <QImage>

#include <cmath>

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "OSPC", "COffScreenPictureでエラーが発生しました。", {{1, "描画エラー。"}}, {1});
  return reporter;
}

}  // namespace

void ResetOffScreenPictureState() { Reporter().ResetWarnings(); }

void COffScreenPicture::ErrorMsg(uint32_t code) {
  if (code == 0) {
    Reporter().Warning(0);
    return;
  }
  if (code == 1) {
    Reporter().Warning(1);
    return;
  }
  Reporter().ErrorMsg(code);
}

COffScreenPicture::COffScreenPicture(COffScreenControl* control, const Rect& rect,
                                     PaintFn paint, PointCallback press, PointCallback release,
                                     int& width, int& height, plat::Bitmap*& bitmap,
                                     plat::Dc*& dc, PointCallback move,
                                     PointCallback doubleClick) {
  SetUpSlot(control, rect, std::move(press), std::move(release), width, height, bitmap, dc,
            std::move(move), std::move(doubleClick));
  paint_ = paint;
}

COffScreenPicture::~COffScreenPicture() = default;

void COffScreenPicture::SetUpSlot(COffScreenControl* control, const Rect& rect,
                                  PointCallback press, PointCallback release, int& width,
                                  int& height, plat::Bitmap*& bitmap, plat::Dc*& dc,
                                  PointCallback move, PointCallback doubleClick) {
  ErrorMsg(0);
  height = rect.bottom - rect.top;
  width = rect.right - rect.left;
  if (control) {
    control->setGeometry(rect.left, rect.top, std::max(0, width), std::max(0, height));
    control->raise();
  }
  dc = new plat::Dc();
  bitmap = new plat::Bitmap();
  if (control) {
    control->SetCallbacks(std::move(press), std::move(release), std::move(move),
                          std::move(doubleClick));
  }
  CreateSurface(bitmap, dc, control);
}

void COffScreenPicture::Resize(COffScreenControl* control, plat::Bitmap*& bitmap, plat::Dc*& dc,
                               const Rect& rect, int& height, int& width) {
  height = rect.bottom - rect.top;
  width = rect.right - rect.left;
  if (control) {
    control->setGeometry(rect.left, rect.top, std::max(0, width), std::max(0, height));
    control->raise();
  }
  ReleaseSurface(bitmap, dc);
  CreateSurface(bitmap, dc, control);
}

void COffScreenPicture::CreateSurface(plat::Bitmap*& bitmap, plat::Dc*& dc,
                                      COffScreenControl* control) {
  if (!bitmap || !dc) return;
  const int w = control ? control->width() : 0;
  const int h = control ? control->height() : 0;
  // A surface that cannot be made draws nothing.
  *bitmap = plat::Bitmap(w, h, 0);
  dc->SelectBitmap(bitmap);
}

void COffScreenPicture::Blit(plat::Dc* dc, COffScreenControl* control, uint32_t rop,
                             double zoom) {
  if (!dc || !control || !dc->SelectedBitmap()) return;
  // Nothing to copy onto a control that shows no area.
  if (control->width() <= 0 || control->height() <= 0) return;
  QImage image = dc->SelectedBitmap()->Image();
  if (image.isNull()) return;
  if (rop != plat::SRCCOPY) {
    // Combine with what the control shows now.
    plat::Bitmap shown(control->Shown().isNull()
                           ? QImage(image.size(), QImage::Format_RGB32)
                           : control->Shown());
    if (control->Shown().isNull()) shown.Image().fill(0xFF000000u);
    plat::Dc target;
    target.SelectBitmap(&shown);
    target.BitBlt(0, 0, image.width(), image.height(), *dc, 0, 0, rop);
    image = shown.Image();
  }
  control->Show(image, zoom);
}

void COffScreenPicture::ReleaseSurface(plat::Bitmap*& bitmap, plat::Dc*& dc) {
  if (dc) dc->SelectBitmap(nullptr);
  if (bitmap) *bitmap = plat::Bitmap();
}

void COffScreenPicture::DeleteSurface(plat::Bitmap*& bitmap, plat::Dc*& dc) {
  ReleaseSurface(bitmap, dc);
  delete bitmap;
  delete dc;
  bitmap = nullptr;
  dc = nullptr;
}

void SelectShiftJisFont(plat::Dc* dc, std::optional<plat::LogFont>& previous, int height) {
  if (!dc) return;
  plat::LogFont lf;
  lf.height = height;
  lf.charSet = plat::SHIFTJIS_CHARSET;
  previous = dc->SelectFont(lf);
}

void RestoreFont(plat::Dc* dc, std::optional<plat::LogFont>& previous) {
  if (!dc || !previous) return;
  dc->SelectFont(*previous);
}
