// Printing the whole score to a PDF printer and saving it as an image, checked with poppler's
// pdfinfo and pdftoppm, file and ImageMagick's identify.
#include "draw/staff_picture.h"
#include "draw/text_picture.h"
#include "platform/core/files.h"
#include "platform/qt/printer.h"
#include "tests/app/window/window_fixture.h"
#include "tests/draw/printing/print_support.h"

#include <QGuiApplication>
#include <QImageReader>

#include <cmath>
#include <cstring>
#include <sstream>


namespace {

namespace fs = std::filesystem;
using cantrel_test::Sink;
using print_test::ScopedPrinter;

// A grey image read from a binary PGM file (what pdftoppm -gray writes).
struct Grey {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool Dark(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] < 128; }
  // Any ink at all: thin lines shrunk onto the paper come out grey.
  bool Inked(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] < 224; }
};

bool ReadPgm(const fs::path& path, Grey* out) {
  std::string bytes;
  if (!plat::ReadWholeFile(path, bytes)) return false;
  std::istringstream in(bytes);
  std::string magic;
  int maxval = 0;
  in >> magic >> out->width >> out->height >> maxval;
  in.get();
  if (magic != "P5" || maxval != 255 || out->width <= 0 || out->height <= 0) return false;
  const size_t at = static_cast<size_t>(in.tellg());
  const size_t n = static_cast<size_t>(out->width) * out->height;
  if (bytes.size() < at + n) return false;
  out->pixels.assign(bytes.begin() + at, bytes.begin() + at + n);
  return true;
}

// What one printed sheet shows.
struct SheetLook {
  bool blank = true;
  int top = -1, bottom = -1, left = -1, right = -1;  // extent of the ink
  std::vector<int> lines;                            // y of each staff line
  int bands = 0;                                     // groups of staff lines (score rows)
};

SheetLook Look(const Grey& g, double rowPitch) {
  SheetLook s;
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.width; ++x) {
      if (!g.Dark(x, y)) continue;
      if (s.blank) {
        s.blank = false;
        s.top = y;
        s.left = x;
        s.right = x;
      }
      s.bottom = y;
      s.left = std::min(s.left, x);
      s.right = std::max(s.right, x);
    }
  }
  if (s.blank) return s;
  // A staff line runs dark over most of the content's width.
  const int span = s.right - s.left + 1;
  bool previous = false;
  for (int y = s.top; y <= s.bottom; ++y) {
    int dark = 0;
    for (int x = s.left; x <= s.right; ++x) dark += g.Inked(x, y) ? 1 : 0;
    const bool line = dark * 2 >= span;
    if (line && !previous) s.lines.push_back(y);
    previous = line;
  }
  // The staff of a score row takes less than 70 % of the row's pitch on the paper: a line
  // further from the first line of its group starts the next row's group.
  int first = -1;
  for (int y : s.lines) {
    if (first < 0 || y - first > 0.7 * rowPitch) {
      ++s.bands;
      first = y;
    }
  }
  return s;
}

struct Shape {
  int layout;
  int barsPerPage, rowsPerPage;  // as printed
};

class ScoreOutputTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetScreenSizeOverride(1920, 1200);
  }
  void StartIn(int layout) {
    Start();
    dlg->config.screenLayout = static_cast<int8_t>(layout);
    dlg->RebuildLayout();
    ASSERT_EQ(dlg->config.screenLayout, layout);
  }
  // A song of the bars with a note, a lyric and a chord on every beat, and song information.
  void FillSong(int bars) {
    NewSong(bars, 4);
    CSongData& s = *dlg->song;
    static const char* const kChords[] = {"C", "Am", "F", "G7"};
    for (int bar = 0; bar < bars; ++bar) {
      for (int e = 0; e < 8; ++e) {
        const int cell = s.CellIndex(bar, e);
        s.cells[cell].slot[0] = 60 + (bar * 3 + e * 5) % 17;
        std::snprintf(s.cells[cell].lyric[0], 8, "%c", 'a' + (bar + e) % 26);
      }
      for (int b = 0; b < 4; ++b) std::strcpy(s.chords[bar * 4 + b].first, kChords[(bar + b) % 4]);
    }
    s.info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, "Song");
    s.info.SetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize, "Composer");
    s.info.SetText(SongInfoBlock::kLyricist, SongInfoBlock::kLyricistSize, "Lyricist");
  }
  // The pitch of the score rows on a sheet of the width (pixels at 100 dots per inch).
  double ScaledRowPitch(int title, int paperWidth) const {
    const int B = g_barsPerRow == 8 ? 4 : g_barsPerRow;
    const int P = g_barsPerRow == 8 ? 16 : g_barsPerPage;
    const int W = B * g_scorePicture->RowWidth(0) + g_scorePicture->RowWidth(g_barsPerPage);
    const int pitch = g_scorePicture->RowHeight(0) + 10;
    const int H = 3 * pitch * P / B + (title ? 80 : 0);
    const double paperHeight = paperWidth * 2970.0 / 2100.0;
    const double scale = std::min(paperWidth * 0.8 / W, paperHeight * 0.8 / H);
    return pitch * scale;
  }
  fs::path PrintToPdf(int lyrics, int chords, int title) {
    const fs::path pdf = cantrel_test::TempDir() / "score.pdf";
    ScopedPrinter scoped([&] { return plat::QtPrinter::Pdf(pdf, 100); });
    dlg->PrintScore(lyrics, 3, chords, title);
    return pdf;
  }
};

// Printed shapes: layout, bars and rows of a printed page.
struct PrintShape {
  int layout, barsPerPage, rowsPerPage;
};

class PrintedLayouts : public ScoreOutputTest, public ::testing::WithParamInterface<PrintShape> {};

// Pages of the PDF from first to last as grey images at 100 dots per inch.
std::vector<Grey> Rasterise(const fs::path& pdf, int first, int last) {
  const fs::path stem = cantrel_test::TempDir() / ("sheet" + std::to_string(first));
  std::vector<Grey> out;
  if (cantrel_test::RunTool({"pdftoppm", "-r", "100", "-gray", "-f", std::to_string(first), "-l",
                             std::to_string(last), pdf.string(), stem.string()}) != 0) {
    return out;
  }
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(cantrel_test::TempDir())) {
    const std::string name = e.path().filename().string();
    if (name.rfind(stem.filename().string() + "-", 0) == 0) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) {
    Grey g;
    if (ReadPgm(f, &g)) out.push_back(std::move(g));
    fs::remove(f);
  }
  return out;
}

TEST_P(PrintedLayouts, SheetsOfThreePagesOnA4) {
  CANTREL_NEED_TOOL("pdfinfo");
  CANTREL_NEED_TOOL("pdftoppm");
  const PrintShape shape = GetParam();
  StartIn(shape.layout);
  for (int bars : {10, 17, 49, 256}) {
    for (int all : {1, 0}) {
      SCOPED_TRACE(std::to_string(bars) + " bars, options " + std::to_string(all));
      FillSong(bars);
      Sink().Clear();
      const fs::path pdf = PrintToPdf(all, all, all);
      EXPECT_EQ(Sink().Count(), 0u);
      std::string info;
      ASSERT_EQ(cantrel_test::RunTool({"pdfinfo", pdf.string()}, &info), 0);
      const int sheets = (bars + shape.barsPerPage * 3 - 1) / (shape.barsPerPage * 3);
      EXPECT_EQ(print_test::PdfInfoLine(info, "Pages"), std::to_string(sheets));
      EXPECT_EQ(print_test::PdfInfoLine(info, "Page size"), "595 x 842 pts (A4)");
      // The first and the last sheet as they print.
      const std::vector<Grey> pages = Rasterise(pdf, 1, 1);
      std::vector<Grey> last = sheets > 1 ? Rasterise(pdf, sheets, sheets) : std::vector<Grey>{};
      ASSERT_EQ(pages.size(), 1u);
      for (const Grey* g : std::vector<const Grey*>{&pages[0], last.empty() ? nullptr : &last[0]}) {
        if (!g) continue;
        const SheetLook look = Look(*g, ScaledRowPitch(all, g->width));
        EXPECT_EQ(look.bands, 3 * shape.rowsPerPage);
        // Within the middle 80 % of the paper's height (a pixel of rasterising aside) ...
        EXPECT_GE(look.top, g->height / 10 - 2);
        EXPECT_LE(look.bottom, g->height - g->height / 10 + 2);
        // ... and centred across.
        EXPECT_NEAR(look.left, g->width - 1 - look.right, 3);
      }
      fs::remove(pdf);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PrintedLayouts,
                         ::testing::Values(PrintShape{0, 9, 3}, PrintShape{1, 16, 4},
                                           PrintShape{4, 16, 4}, PrintShape{5, 16, 4},
                                           PrintShape{6, 24, 6}),
                         [](const auto& info) { return "Layout" + std::to_string(info.param.layout); });


// The page as the window shows it: every score row's pixels.
std::vector<QImage> PageRows() {
  std::vector<QImage> rows;
  for (int c = 0; c < g_scorePicture->RowCount(); ++c) {
    rows.push_back(g_scorePicture->Surface(c)->SelectedBitmap()->Image().copy());
  }
  return rows;
}

TEST_F(ScoreOutputTest, PrintingLeavesThePageAsItWas) {
  StartIn(5);
  FillSong(40);
  dlg->topRow = 2;
  dlg->ResetCursor();
  dlg->SetNoteCursor(1, 3, 0);
  const int bar = dlg->cursorBar, eighth = dlg->cursorEighth, half = dlg->cursorHalf;
  const std::vector<QImage> before = PageRows();
  print_test::PrinterLog log;
  bool busy = true;
  class BusyCheck : public print_test::RecordingPrinter {
   public:
    BusyCheck(print_test::PrinterLog* log, bool* busy)
        : RecordingPrinter(log, print_test::A4At600()), busy_(busy) {}
    void DrawImage(const plat::Rect& target, const QImage& image) override {
      const QCursor* c = QGuiApplication::overrideCursor();
      *busy_ = *busy_ && c && c->shape() == Qt::WaitCursor;
      RecordingPrinter::DrawImage(target, image);
    }

   private:
    bool* busy_;
  };
  {
    ScopedPrinter scoped([&] { return std::make_unique<BusyCheck>(&log, &busy); });
    dlg->PrintScore(1, 3, 1, 1);
  }
  EXPECT_EQ(log.begins, 1);
  EXPECT_EQ(log.newPages, 0);  // 40 bars: one sheet
  EXPECT_EQ(log.ends, 1);
  EXPECT_TRUE(busy);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  // Per page: 16 rows, 4 headers, 16 lyric lines; the title once.
  EXPECT_EQ(log.drawn.size(), 3u * 36 + 1);
  EXPECT_EQ(dlg->topRow, 2);
  EXPECT_EQ(dlg->cursorBar, bar);
  EXPECT_EQ(dlg->cursorEighth, eighth);
  EXPECT_EQ(dlg->cursorHalf, half);
  EXPECT_EQ(PageRows(), before);
  EXPECT_EQ(CTextPicture::Count(), 0);
  EXPECT_TRUE(dlg->findChildren<COffScreenControl*>(QStringLiteral("6000")).isEmpty());
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(ScoreOutputTest, CancelledOrFailedPrints) {
  StartIn(5);
  FillSong(20);
  dlg->ResetCursor();
  const std::vector<QImage> before = PageRows();
  // Cancelled: nothing printed, nothing said, nothing left behind.
  print_test::PrinterLog log;
  {
    ScopedPrinter scoped([&] {
      return std::make_unique<print_test::RecordingPrinter>(&log, print_test::A4At600(), false);
    });
    dlg->PrintScore(1, 3, 1, 1);
  }
  EXPECT_EQ(log.dialogs, 1);
  EXPECT_EQ(log.begins, 0);
  EXPECT_TRUE(log.drawn.empty());
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_EQ(CTextPicture::Count(), 0);
  EXPECT_TRUE(dlg->findChildren<COffScreenControl*>(QStringLiteral("5000")).isEmpty());

  // A document that cannot start is reported once and nothing more is tried.
  const fs::path pdf = cantrel_test::TempDir() / "missing" / "score.pdf";
  {
    ScopedPrinter scoped([&] { return plat::QtPrinter::Pdf(pdf, 100); });
    dlg->PrintScore(1, 3, 1, 1);
  }
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{"CPrintPicture::ErrorMsg"});
  EXPECT_FALSE(fs::exists(pdf));
  EXPECT_EQ(PageRows(), before);
}

TEST_F(ScoreOutputTest, OtherPaperIsToldAndPrinted) {
  CANTREL_NEED_TOOL("pdfinfo");
  StartIn(5);
  FillSong(49);
  const fs::path pdf = cantrel_test::TempDir() / "landscape.pdf";
  {
    ScopedPrinter scoped([&] {
      auto p = plat::QtPrinter::Pdf(pdf, 100);
      p->SetDialogRunner([](QPrinter& printer) {
        printer.setPageOrientation(QPageLayout::Landscape);
        return true;
      });
      return p;
    });
    dlg->PrintScore(0, 3, 0, 0);
  }
  EXPECT_EQ(Sink().Texts(),
            std::vector<std::string>{"プリンタで設定されている用紙サイズに誤りがあります。・"});
  std::string info;
  ASSERT_EQ(cantrel_test::RunTool({"pdfinfo", pdf.string()}, &info), 0);
  EXPECT_EQ(print_test::PdfInfoLine(info, "Pages"), "2");
  EXPECT_EQ(print_test::PdfInfoLine(info, "Page size"), "842 x 595 pts (A4)");
}

// ------------------------------------------------------------------------------ the image

struct ImageCase {
  int layout, bars, title;
  int width, height;
};

// Whether the rightmost ink of the score rows of a bar's area is a bar line: a column of ink
// at least half the row high at the right edge.
bool ClosesWithBarLine(const QImage& image, int left, int right, int top, int rowHeight) {
  int rightmost = -1;
  for (int x = right - 1; x >= left && rightmost < 0; --x) {
    for (int y = top; y < top + rowHeight; ++y) {
      if (qGray(image.pixel(x, y)) < 128) {
        rightmost = x;
        break;
      }
    }
  }
  if (rightmost < right - 3) return false;
  int run = 0, best = 0;
  for (int y = top; y < top + rowHeight; ++y) {
    run = qGray(image.pixel(rightmost, y)) < 200 ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best * 2 >= rowHeight;
}

TEST_F(ScoreOutputTest, ScoreImages) {
  const ImageCase cases[] = {
      {5, 5, 0, 976, 212},  {5, 5, 1, 976, 292},   {0, 10, 0, 752, 424},
      {4, 5, 0, 1040, 260}, {1, 17, 0, 1744, 318}, {5, 17, 1, 976, 5 * 106 + 80},
      // 13 pages with the title and a lyricist.
      {5, 193, 1, 976, 49 * 106 + 80},
  };
  for (const ImageCase& c : cases) {
    SCOPED_TRACE("layout " + std::to_string(c.layout) + ", " + std::to_string(c.bars) + " bars");
    dlg.reset();
    StartIn(c.layout);
    FillSong(c.bars);
    const fs::path path = cantrel_test::TempDir() / "score.bmp";
    dialogs.QueueFile(path);
    dlg->SaveScoreImage(1, 1, c.title);
    EXPECT_EQ(Sink().Count(), 0u);
    QImageReader reader(QString::fromStdString(path.string()));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), c.width);
    EXPECT_EQ(image.height(), c.height);
    if (cantrel_test::HaveTool("file")) {
      std::string out;
      cantrel_test::RunTool({"file", "-b", path.string()}, &out);
      EXPECT_NE(out.find("PC bitmap, Windows 3.x format, " + std::to_string(c.width) + " x " +
                         std::to_string(c.height) + " x 24"),
                std::string::npos)
          << out;
    }
    if (cantrel_test::HaveTool("identify")) {
      std::string out;
      cantrel_test::RunTool({"identify", "-format", "%w %h %z", path.string()}, &out);
      EXPECT_EQ(out, std::to_string(c.width) + " " + std::to_string(c.height) + " 8");
    }
    // The last bar's right edge.
    const int B = g_barsPerRow;
    const int cellWidth = g_scorePicture->RowWidth(0), rowHeight = g_scorePicture->RowHeight(0);
    const int last = c.bars - 1;
    const int left = g_scorePicture->RowWidth(g_barsPerPage) + (last % B) * cellWidth;
    const int top = (c.title ? 80 : 0) + (last / B) * (rowHeight + 10);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(ClosesWithBarLine(rgb, left, left + cellWidth, top, rowHeight));
    // A bar inside a row runs on into the next without its own closing line.
    if (last % B != 0) {
      EXPECT_FALSE(ClosesWithBarLine(rgb, left - cellWidth, left - 4, top, rowHeight));
    }
  }
  CANTREL_NEED_TOOL("file");
  CANTREL_NEED_TOOL("identify");
}

// The score image of a song whose bars open on a note above the staff (its chord name right over
// it), the other notes in the treble staff: every chord name keeps a pixel clear of the notes'
// ink (heads, stems, beams, ledger lines) and every lyric lies below the lowest line of the bass
// staff, in the wide and the narrow layout.
TEST_F(ScoreOutputTest, ChordNamesAndLyricsKeepClearOfTheStaff) {
  static const int kHigh[] = {79, 77, 79, 76, 79, 77, 79, 76};
  static const int kLow[] = {64, 72, 71, 74, 72, 71, 74};
  for (int layout : {5, 0}) {
    SCOPED_TRACE("layout " + std::to_string(layout));
    dlg.reset();
    StartIn(layout);
    FillSong(8);
    CSongData& s = *dlg->song;
    for (int bar = 0; bar < 8; ++bar) {
      for (int e = 0; e < 8; ++e)
        s.cells[s.CellIndex(bar, e)].slot[0] = e == 0 ? kHigh[bar] : kLow[e - 1];
    }
    const fs::path path = cantrel_test::TempDir() / "high.bmp";
    dialogs.QueueFile(path);
    dlg->SaveScoreImage(1, 1, 0);
    const QImage image =
        QImage(QString::fromStdString(path.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    // Labels are green; the notes are grey to black, the staff lines grey 100.
    auto label = [&](int x, int y) {
      const QRgb c = image.pixel(x, y);
      return qGreen(c) > qBlue(c) + 20;
    };
    auto note = [&](int x, int y) {
      if (!image.valid(x, y)) return false;
      const QRgb c = image.pixel(x, y);
      return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) != 100 && qRed(c) < 255;
    };
    const int rowHeight = g_scorePicture->RowHeight(0);
    const int left = g_scorePicture->RowWidth(g_barsPerPage);
    int labelPixels = 0, lyricPixels = 0;
    for (int top = 0; top + rowHeight <= image.height(); top += rowHeight + 10) {
      int lowestLine = -1;  // in the bar cells, past the row header
      for (int y = top; y < top + rowHeight; ++y) {
        int grey = 0;
        for (int x = left; x < image.width(); ++x) grey += qRed(image.pixel(x, y)) == 100;
        if (grey * 2 > image.width() - left) lowestLine = y;
      }
      ASSERT_GE(lowestLine, top);
      for (int y = top; y < top + rowHeight; ++y) {
        for (int x = left + 1; x + 1 < image.width(); ++x) {
          if (!label(x, y)) continue;
          ++labelPixels;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) ASSERT_FALSE(note(x + dx, y + dy)) << x << "," << y;
          if (y > top + rowHeight / 2) {
            ++lyricPixels;
            EXPECT_GT(y, lowestLine + 1) << x;
          }
        }
      }
    }
    EXPECT_GT(labelPixels, 0);
    EXPECT_GT(lyricPixels, 0);
  }
}

TEST_F(ScoreOutputTest, CancelledImageDialog) {
  StartIn(5);
  FillSong(8);
  dlg->ResetCursor();
  dlg->config.inputMode = 0;
  dlg->ArmKeyboardHook();
  bool hookedDuringDialog = true;
  class Watching : public plat::FileDialogs {
   public:
    explicit Watching(bool* hooked) : hooked_(hooked) {}
    plat::FileDialogResult RunFileDialog(const plat::FileDialogRequest& r) override {
      *hooked_ = CKeyboardHook::Installed();
      request = r;
      return plat::FileDialogResult{};
    }
    plat::FolderDialogResult RunFolderDialog(const plat::FolderDialogRequest&) override {
      return plat::FolderDialogResult{};
    }
    plat::FileDialogRequest request;

   private:
    bool* hooked_;
  } watching(&hookedDuringDialog);
  plat::InstallFileDialogs(&watching);
  const std::vector<QImage> before = PageRows();
  dlg->SaveScoreImage(1, 1, 1);
  plat::InstallFileDialogs(&dialogs);
  EXPECT_FALSE(hookedDuringDialog);
  EXPECT_TRUE(CKeyboardHook::Installed());
  EXPECT_EQ(watching.request.default_extension, "bmp");
  EXPECT_EQ(watching.request.filter, "bitmap files|*.bmp|");
  EXPECT_EQ(CTextPicture::Count(), 0);
  EXPECT_TRUE(dlg->findChildren<COffScreenControl*>(QStringLiteral("6000")).isEmpty());
  EXPECT_EQ(PageRows(), before);
  EXPECT_EQ(Sink().Count(), 0u);
}

}  // namespace

