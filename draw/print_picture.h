// Prints picture surfaces: asks for a printer, checks that it is set to A4 portrait, and prints
// sheets by stretching queued surfaces onto the paper, scaled together so that the content
// fills a fraction of the paper and stands centred.
//
// Calling order: ShowPrintDialog once; per sheet StartPrintPage, then per stack of items any
// number of AddItem, PrintItems, ClearItems, and EndPrintPage; finally Release. All sheets are
// pages of one document, which Release ends.
#pragma once

#include "platform/qt/dc.h"
#include "platform/qt/printer.h"

#include <cstdint>
#include <memory>

class CPrintPicture {
 public:
  static constexpr int kMaxItems = 64;

  CPrintPicture();
  ~CPrintPicture();
  CPrintPicture(const CPrintPicture&) = delete;
  CPrintPicture& operator=(const CPrintPicture&) = delete;

  // The print dialog. False when cancelled (nothing shown) or when the printer gives no usable
  // setup (message 0). Paper other than A4, or landscape, shows message 1 and goes on.
  bool ShowPrintDialog(plat::PrintSetup* setup);
  // Starts the document on the first sheet, a new page on every later one. 0 when the
  // document or the page cannot start.
  int StartPrintPage(const plat::PrintSetup& setup);
  // Queues a surface at (x, y) of the content; a 65th item is reported (message 0) and not
  // queued.
  bool AddItem(const plat::Dc* source, int height, int width, int y, int x);
  // Prints the queued items with the scale that fits the content (W x H) into the fraction of
  // the paper, centred across and `(1 - fraction) / 2` of the paper's length from the top.
  // W or H of 0 or less prints at scale 1 from the paper's corner.
  void PrintItems(const plat::PrintSetup& setup, int contentWidth, int contentHeight,
                  double fraction);
  void ClearItems() { count_ = 0; }
  // Ends the sheet; a printer that reports a failure gives message 0 (false).
  bool EndPrintPage();
  // Ends the document when one was started (a failure gives message 0) and lets the printer go.
  void Release();

  // Message 1: the paper; any other code "CPrintPicture::ErrorMsg". Ordinary box.
  static void ErrorMsg(int code);

  // The scale and offsets PrintItems uses for a setup and content.
  struct Placement {
    double scale = 1.0;
    int xOffset = 0;
    int yOffset = 0;
  };
  static Placement Place(const plat::PrintSetup& setup, int contentWidth, int contentHeight,
                         double fraction);

  int Count() const { return count_; }
  bool HasPrinter() const { return printer_ != nullptr; }
  int RequiredPaperSize() const { return requiredPaperSize_; }

 private:
  const plat::Dc* sources_[kMaxItems] = {};
  int heights_[kMaxItems] = {};
  int widths_[kMaxItems] = {};
  int ys_[kMaxItems] = {};
  int xs_[kMaxItems] = {};
  int count_ = 0;
  std::unique_ptr<plat::Printer> printer_;
  bool started_ = false;
  int requiredPaperSize_ = plat::kPaperA4;
};
