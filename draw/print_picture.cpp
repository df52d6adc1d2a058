#include "draw/print_picture.h"

#include "util/gne.h"

#include <algorithm>

CPrintPicture::CPrintPicture() = default;

CPrintPicture::~CPrintPicture() { Release(); }

void CPrintPicture::ErrorMsg(int code) {
  GneMessageBox(code == 1 ? "プリンタで設定されている用紙サイズに誤りがあります。・"
                          : "CPrintPicture::ErrorMsg");
}

bool CPrintPicture::ShowPrintDialog(plat::PrintSetup* setup) {
  Release();
  printer_ = plat::CreatePrinter();
  if (!printer_ || !printer_->ShowDialog()) {
    printer_.reset();
    return false;
  }
  const plat::PrintSetup s = printer_->Setup();
  if (s.paperWidth <= 0 || s.paperLength <= 0 || s.xResolution <= 0 || s.yResolution <= 0) {
    ErrorMsg(0);
    printer_.reset();
    return false;
  }
  if (s.orientation != 1 || s.paperSize != requiredPaperSize_) ErrorMsg(1);
  if (setup) *setup = s;
  return true;
}

int CPrintPicture::StartPrintPage(const plat::PrintSetup&) {
  if (!printer_) return 0;
  if (!started_) {
    started_ = printer_->BeginDocument();
    return started_ ? 1 : 0;
  }
  return printer_->NewPage() ? 1 : 0;
}

bool CPrintPicture::AddItem(const plat::Dc* source, int height, int width, int y, int x) {
  if (count_ >= kMaxItems) {
    ErrorMsg(0);
    return false;
  }
  sources_[count_] = source;
  heights_[count_] = height;
  widths_[count_] = width;
  ys_[count_] = y;
  xs_[count_] = x;
  ++count_;
  return true;
}

CPrintPicture::Placement CPrintPicture::Place(const plat::PrintSetup& setup, int contentWidth,
                                              int contentHeight, double fraction) {
  Placement p;
  if (contentWidth <= 0 || contentHeight <= 0) return p;
  // The paper in device pixels (0.1 mm and dots per inch).
  const double paperHeight = setup.paperLength / 2.54 / 100.0 * setup.yResolution;
  const double paperWidth = setup.paperWidth / 2.54 / 100.0 * setup.xResolution;
  p.scale = std::min(paperHeight * fraction / contentHeight, paperWidth * fraction / contentWidth);
  p.xOffset = static_cast<int>((paperWidth - contentWidth * p.scale) * 0.5);
  p.yOffset = static_cast<int>((1.0 - fraction) * paperHeight * 0.5);
  return p;
}

void CPrintPicture::PrintItems(const plat::PrintSetup& setup, int contentWidth,
                               int contentHeight, double fraction) {
  if (!printer_ || !started_) return;
  const Placement p = Place(setup, contentWidth, contentHeight, fraction);
  const double s = p.scale;
  for (int i = 0; i < count_; ++i) {
    const plat::Dc* source = sources_[i];
    if (!source || !source->HasSurface()) continue;
    const plat::Rect target{static_cast<int>(xs_[i] * s + p.xOffset),
                            static_cast<int>(ys_[i] * s + p.yOffset),
                            static_cast<int>((xs_[i] + widths_[i]) * s + p.xOffset),
                            static_cast<int>((ys_[i] + heights_[i]) * s + p.yOffset)};
    const QImage& image = source->SelectedBitmap()->Image();
    if (widths_[i] == image.width() && heights_[i] == image.height()) {
      printer_->DrawImage(target, image);
    } else {
      printer_->DrawImage(target, image.copy(0, 0, widths_[i], heights_[i]));
    }
  }
}

bool CPrintPicture::EndPrintPage() {
  if (!printer_ || !started_) {
    ErrorMsg(0);
    return false;
  }
  return true;
}

void CPrintPicture::Release() {
  if (printer_ && started_ && !printer_->EndDocument()) ErrorMsg(0);
  started_ = false;
  printer_.reset();
}
