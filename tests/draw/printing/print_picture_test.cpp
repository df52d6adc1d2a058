// Printing picture surfaces: scale and placement on the paper, the dialog's outcomes, one
// document of sheets, and a PDF read back by poppler's pdfinfo.
#include "draw/print_picture.h"

#include "tests/draw/printing/print_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>


namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using print_test::A4At600;
using print_test::PrinterLog;
using print_test::RecordingPrinter;
using print_test::ScopedPrinter;

const char kPaperMessage[] = "プリンタで設定されている用紙サイズに誤りがあります。・";

TEST(PrintPicture, PlacementOnThePaper) {
  // 4960.6 x 7015.7 pixels of paper; the height binds: 7015.7 x 0.8 / 2000 = 2.806.
  const CPrintPicture::Placement p = CPrintPicture::Place(A4At600(), 1000, 2000, 0.8);
  EXPECT_NEAR(p.scale, 2.806, 0.0005);
  EXPECT_EQ(p.yOffset, 701);
  EXPECT_EQ(p.xOffset, 1077);  // (4960.6 - 2806.3) / 2: centred across
  // The width binds: a tenth of the paper's width on either side.
  const CPrintPicture::Placement w = CPrintPicture::Place(A4At600(), 2000, 1000, 0.8);
  EXPECT_NEAR(w.scale, 4960.63 * 0.8 / 2000, 0.0005);
  EXPECT_EQ(w.xOffset, 496);
  EXPECT_EQ(w.yOffset, 701);
  // No content size: scale 1 from the corner.
  for (auto [width, height] : {std::pair{0, 2000}, {1000, 0}, {-5, 10}}) {
    const CPrintPicture::Placement z = CPrintPicture::Place(A4At600(), width, height, 0.8);
    EXPECT_EQ(z.scale, 1.0);
    EXPECT_EQ(z.xOffset, 0);
    EXPECT_EQ(z.yOffset, 0);
  }
}

TEST(PrintPicture, ItemsLandScaledInOneDocument) {
  PrinterLog log;
  ScopedPrinter scoped([&] { return std::make_unique<RecordingPrinter>(&log, A4At600()); });
  plat::Dc a(1000, 1000), b(1000, 1000);
  CPrintPicture pp;
  plat::PrintSetup setup;
  ASSERT_TRUE(pp.ShowPrintDialog(&setup));
  EXPECT_EQ(Sink().Count(), 0u);
  for (int sheet = 0; sheet < 3; ++sheet) {
    ASSERT_EQ(pp.StartPrintPage(setup), 1);
    pp.AddItem(&a, 1000, 1000, 0, 0);
    pp.AddItem(&b, 1000, 1000, 1000, 0);
    pp.PrintItems(setup, 1000, 2000, 0.8);
    pp.ClearItems();
    EXPECT_TRUE(pp.EndPrintPage());
  }
  pp.Release();
  EXPECT_EQ(log.begins, 1);
  EXPECT_EQ(log.newPages, 2);
  EXPECT_EQ(log.ends, 1);
  ASSERT_EQ(log.drawn.size(), 6u);
  const plat::Rect first = log.drawn[0].target, second = log.drawn[1].target;
  EXPECT_EQ(first.left, 1077);
  EXPECT_EQ(first.top, 701);
  EXPECT_EQ(first.right, static_cast<int>(1000 * 2.80627 + 1077));
  EXPECT_EQ(second.top, static_cast<int>(1000 * 2.80627 + 701));
  EXPECT_EQ(log.drawn[5].page, 2);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(PrintPicture, DialogOutcomes) {
  struct Case {
    const char* what;
    int orientation, paper;
    bool confirm;
    bool result;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"A4 portrait", 1, 9, true, true, {}},
      {"landscape prints all the same", 2, 9, true, true, {kPaperMessage}},
      {"letter paper", 1, 1, true, true, {kPaperMessage}},
      {"cancelled", 2, 1, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Sink().Clear();
    PrinterLog log;
    plat::PrintSetup s = A4At600();
    s.orientation = c.orientation;
    s.paperSize = c.paper;
    ScopedPrinter scoped(
        [&] { return std::make_unique<RecordingPrinter>(&log, s, c.confirm); });
    CPrintPicture pp;
    plat::PrintSetup got;
    EXPECT_EQ(pp.ShowPrintDialog(&got), c.result);
    EXPECT_EQ(pp.HasPrinter(), c.result);
    EXPECT_EQ(Sink().Texts(), c.boxes);
    if (c.result) {
      EXPECT_EQ(got.orientation, c.orientation);
      EXPECT_EQ(pp.StartPrintPage(got), 1);
    } else {
      EXPECT_EQ(pp.StartPrintPage(got), 0);
    }
  }
}

TEST(PrintPicture, LimitsAndFailures) {
  PrinterLog log;
  bool canBegin = false;
  ScopedPrinter scoped(
      [&] { return std::make_unique<RecordingPrinter>(&log, A4At600(), true, canBegin); });
  CPrintPicture pp;
  plat::PrintSetup setup;
  ASSERT_TRUE(pp.ShowPrintDialog(&setup));
  EXPECT_EQ(pp.StartPrintPage(setup), 0);
  EXPECT_FALSE(pp.EndPrintPage());
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"CPrintPicture::ErrorMsg"});

  Sink().Clear();
  plat::Dc dc(2, 2);
  for (int i = 0; i < CPrintPicture::kMaxItems; ++i) ASSERT_TRUE(pp.AddItem(&dc, 2, 2, i, 0));
  EXPECT_FALSE(pp.AddItem(&dc, 2, 2, 0, 0));
  EXPECT_EQ(pp.Count(), CPrintPicture::kMaxItems);
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"CPrintPicture::ErrorMsg"});

  // A printer without a usable setup.
  Sink().Clear();
  plat::PrintSetup broken = A4At600();
  broken.xResolution = 0;
  ScopedPrinter again([&] { return std::make_unique<RecordingPrinter>(&log, broken); });
  CPrintPicture other;
  EXPECT_FALSE(other.ShowPrintDialog(&setup));
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"CPrintPicture::ErrorMsg"});
}

TEST(PrintPicture, PdfOfThreeSheets) {
  CANTREL_NEED_TOOL("pdfinfo");
  const fs::path pdf = cantrel_test::TempDir() / "sheets.pdf";
  ScopedPrinter scoped([&] { return plat::QtPrinter::Pdf(pdf, 150); });
  plat::Dc dc(100, 50);
  dc.FillSolidRect(plat::Rect{0, 0, 100, 50}, 0);
  CPrintPicture pp;
  plat::PrintSetup setup;
  ASSERT_TRUE(pp.ShowPrintDialog(&setup));
  EXPECT_EQ(setup.paperSize, plat::kPaperA4);
  EXPECT_EQ(setup.orientation, 1);
  EXPECT_EQ(setup.paperWidth, 2100);
  EXPECT_EQ(setup.paperLength, 2970);
  for (int sheet = 0; sheet < 3; ++sheet) {
    ASSERT_EQ(pp.StartPrintPage(setup), 1);
    pp.AddItem(&dc, 50, 100, 0, 0);
    pp.PrintItems(setup, 100, 50, 0.8);
    pp.ClearItems();
    pp.EndPrintPage();
  }
  pp.Release();
  EXPECT_EQ(Sink().Count(), 0u);
  std::string info;
  ASSERT_EQ(cantrel_test::RunTool({"pdfinfo", pdf.string()}, &info), 0);
  EXPECT_EQ(print_test::PdfInfoLine(info, "Pages"), "3");
  EXPECT_EQ(print_test::PdfInfoLine(info, "Page size"), "595 x 842 pts (A4)");
}

TEST(PrintPicture, UnwritablePdfDoesNotStart) {
  const fs::path pdf = cantrel_test::TempDir() / "no" / "folder" / "x.pdf";
  ScopedPrinter scoped([&] { return plat::QtPrinter::Pdf(pdf, 150); });
  CPrintPicture pp;
  plat::PrintSetup setup;
  ASSERT_TRUE(pp.ShowPrintDialog(&setup));
  EXPECT_EQ(pp.StartPrintPage(setup), 0);
  pp.Release();
  EXPECT_FALSE(fs::exists(pdf));
}

}  // namespace
