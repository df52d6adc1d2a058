#include "platform/qt/printer.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>

#include <cmath>

namespace plat {

namespace {

PrinterFactory& Factory() {
  static PrinterFactory factory;
  return factory;
}

}  // namespace

int PaperCodeOf(const QPageSize& size) {
  switch (size.id()) {
    case QPageSize::A4: return 9;
    case QPageSize::Letter: return 1;
    case QPageSize::Legal: return 5;
    case QPageSize::A3: return 8;
    case QPageSize::A5: return 11;
    case QPageSize::B5: return 13;
    default: return 256;
  }
}

QtPrinter::QtPrinter(QPrinter::PrinterMode mode) : printer_(mode) {
  printer_.setPageSize(QPageSize(QPageSize::A4));
  printer_.setPageOrientation(QPageLayout::Portrait);
  printer_.setFullPage(true);
}

QtPrinter::~QtPrinter() {
  if (painter_ && painter_->isActive()) painter_->end();
}

std::unique_ptr<QtPrinter> QtPrinter::Pdf(const std::filesystem::path& path, int dpi) {
  auto p = std::make_unique<QtPrinter>();
  p->printer_.setOutputFormat(QPrinter::PdfFormat);
  p->printer_.setOutputFileName(QString::fromStdString(path.string()));
  p->printer_.setResolution(dpi);
  p->printer_.setPageSize(QPageSize(QPageSize::A4));
  p->printer_.setPageOrientation(QPageLayout::Portrait);
  p->printer_.setFullPage(true);
  p->runner_ = [](QPrinter&) { return true; };
  return p;
}

bool QtPrinter::ShowDialog() {
  if (runner_) return runner_(printer_);
  QPrintDialog dialog(&printer_);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
  const bool ok = dialog.exec() == QDialog::Accepted;
  printer_.setFullPage(true);
  return ok;
}

PrintSetup QtPrinter::Setup() const {
  PrintSetup s;
  const QPageLayout layout = printer_.pageLayout();
  s.orientation = layout.orientation() == QPageLayout::Landscape ? 2 : 1;
  s.paperSize = PaperCodeOf(layout.pageSize());
  const QRectF paper = layout.fullRect(QPageLayout::Millimeter);
  s.paperWidth = static_cast<int>(std::lround(paper.width() * 10.0));
  s.paperLength = static_cast<int>(std::lround(paper.height() * 10.0));
  s.xResolution = printer_.resolution();
  s.yResolution = printer_.resolution();
  return s;
}

bool QtPrinter::BeginDocument() {
  if (painter_ && painter_->isActive()) return true;
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(&printer_)) {
    painter_.reset();
    return false;
  }
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
  return true;
}

bool QtPrinter::NewPage() {
  if (!painter_ || !painter_->isActive()) return false;
  return printer_.newPage();
}

void QtPrinter::DrawImage(const Rect& target, const QImage& image) {
  if (!painter_ || !painter_->isActive() || image.isNull()) return;
  painter_->drawImage(QRect(target.left, target.top, target.Width(), target.Height()), image);
}

bool QtPrinter::EndDocument() {
  if (!painter_) return false;
  const bool ok = painter_->end() && printer_.printerState() != QPrinter::Error;
  painter_.reset();
  return ok;
}

std::unique_ptr<Printer> CreatePrinter() {
  if (Factory()) return Factory()();
  return std::make_unique<QtPrinter>();
}

void InstallPrinterFactory(PrinterFactory factory) { Factory() = std::move(factory); }

}  // namespace plat
