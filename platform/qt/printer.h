// Printing: one document of pages, each page drawn in device pixels of the whole paper
// (origin at the paper's top-left corner, no margins), images stretched onto rectangles.
//
// The program asks for a printer through CreatePrinter(); by default that is a QPrinter whose
// dialog is the platform's print dialog (ranges and selection hidden, print-to-file kept). Tests
// install a factory of their own (a recording printer, or a PDF printer whose dialog is a
// function that answers at once).
#pragma once

#include "platform/qt/dc.h"

#include <QPrinter>

#include <filesystem>
#include <functional>
#include <memory>

class QImage;

namespace plat {

// What the dialog chose, in the terms the pictures print by.
struct PrintSetup {
  int orientation = 1;    // 1 portrait, 2 landscape
  int paperSize = 9;      // 9 A4, 1 Letter, 5 Legal, 8 A3, 11 A5, 13 B5, 256 any other
  int paperWidth = 2100;  // of the paper as printed on, in 0.1 mm
  int paperLength = 2970;
  int xResolution = 0;    // dots per inch
  int yResolution = 0;
};

constexpr int kPaperA4 = 9;

class Printer {
 public:
  virtual ~Printer() = default;
  // The print dialog; false when the user cancelled it.
  virtual bool ShowDialog() = 0;
  virtual PrintSetup Setup() const = 0;
  // Starts the document on its first page; false when it cannot start (an unwritable file).
  virtual bool BeginDocument() = 0;
  // Ends the page drawn on and starts the next one.
  virtual bool NewPage() = 0;
  // Stretches the whole image onto the target rectangle (device pixels of the paper).
  virtual void DrawImage(const Rect& target, const QImage& image) = 0;
  // Ends the document; false when the printer reports a failure.
  virtual bool EndDocument() = 0;
};

// A printer over QPrinter. The dialog runner shows the dialog for the QPrinter and answers
// whether to print; the default runs QPrintDialog.
class QtPrinter : public Printer {
 public:
  using DialogRunner = std::function<bool(QPrinter&)>;
  explicit QtPrinter(QPrinter::PrinterMode mode = QPrinter::HighResolution);
  ~QtPrinter() override;

  // A printer writing a PDF file on A4 portrait at the resolution, whose dialog answers
  // "print" without showing anything.
  static std::unique_ptr<QtPrinter> Pdf(const std::filesystem::path& path, int dpi = 300);

  void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }
  QPrinter& Device() { return printer_; }

  bool ShowDialog() override;
  PrintSetup Setup() const override;
  bool BeginDocument() override;
  bool NewPage() override;
  void DrawImage(const Rect& target, const QImage& image) override;
  bool EndDocument() override;

 private:
  QPrinter printer_;
  DialogRunner runner_;
  std::unique_ptr<class QPainter> painter_;
};

// The printer the program prints on: made by the installed factory, a QtPrinter when none.
using PrinterFactory = std::function<std::unique_ptr<Printer>()>;
std::unique_ptr<Printer> CreatePrinter();
// Installs a factory (an empty one puts the default back).
void InstallPrinterFactory(PrinterFactory factory);

// The paper code of a page size as the pictures know them.
int PaperCodeOf(const QPageSize& size);

}  // namespace plat
