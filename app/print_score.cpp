// Printing the score and saving it as an image: the whole song is walked page by page, the
// score page redrawn at each, and its rows copied in page order onto the paper or a canvas.
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "draw/image_composer.h"
#include "draw/offscreen_control.h"
#include "draw/print_picture.h"
#include "draw/staff_picture.h"
#include "draw/text_picture.h"
#include "platform/qt/keyboard_hook.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "util/gne.h"
#include "util/gne_files.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kLyricLineHeight = 28;
constexpr int kTitleWidth = 1000;
constexpr int kTitleHeight = 80;
constexpr int kRowGap = 10;
constexpr unsigned kCentredVertically = 4;  // DT_VCENTER

// The text picture of one print or image run and the hidden controls that host it, released
// together whichever way the run ends.
class ScoreTexts {
 public:
  explicit ScoreTexts(QWidget* window) : window_(window) {}
  ~ScoreTexts() {
    picture_.reset();
    for (COffScreenControl* c : controls_) delete c;
  }
  ScoreTexts(const ScoreTexts&) = delete;
  ScoreTexts& operator=(const ScoreTexts&) = delete;

  // A new instance of the size whose host has the id; its index, -1 when none could be made.
  int Add(int id, int width, int height) {
    auto* control = new COffScreenControl(window_);
    control->setObjectName(QString::number(id));
    controls_.push_back(control);
    // Outside the window's area, to its left.
    const Rect rect{-width - 16, 0, -16, height};
    if (!picture_) {
      picture_ = std::make_unique<CTextPicture>(control, rect, 0);
    } else if (!picture_->AddPicture(control, rect, 0)) {
      return -1;
    }
    control->show();
    return CTextPicture::Count() - 1;
  }
  CTextPicture* Picture() const { return picture_.get(); }

 private:
  QWidget* window_;
  std::vector<COffScreenControl*> controls_;
  std::unique_ptr<CTextPicture> picture_;
};

// The busy cursor for the length of a walk.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

struct PageShape {
  int barsPerPage, rowsPerPage, barsPerRow;
};

void UsePageShape(const PageShape& shape) {
  g_barsPerPage = shape.barsPerPage;
  g_rowsPerPage = shape.rowsPerPage;
  g_barsPerRow = shape.barsPerRow;
  song::SetPageGeometry(shape.rowsPerPage, shape.barsPerRow);
}

// A text field of the song information, cut at its end.
std::string InfoText(const CSongData& song, size_t offset, size_t size) {
  return song.info.GetText(offset, size);
}

}  // namespace

// The cursor and the scroll position before a walk, and everything the walk changes on the
// page, put back when it ends.
class PageWalk {
 public:
  explicit PageWalk(CBrevantDlg* window)
      : w_(window), topRow_(window->topRow), cursorBar_(window->cursorBar),
        cursorEighth_(window->cursorEighth), cursorHalf_(window->cursorHalf) {
    // The walk shows no cursor on the rows it copies.
    w_->cursorBar = -1;
  }
  ~PageWalk() {
    w_->topRow = topRow_;
    w_->cursorBar = cursorBar_;
    for (int c = 0; c < g_barsPerPage; ++c) g_scorePicture->ClearLabels(c);
    w_->ResetCursor();
    w_->cursorEighth = cursorEighth_;
    w_->cursorHalf = cursorHalf_;
    w_->RefreshMelodyBox(1);
    w_->RefreshScore(1);
  }
  PageWalk(const PageWalk&) = delete;
  PageWalk& operator=(const PageWalk&) = delete;

  // The score rows of the page from song row `row`, without a cursor; the rest of the window
  // follows when the walk ends.
  void Show(int row) {
    w_->topRow = row;
    w_->cursorEighth = 0;
    w_->cursorHalf = 0;
    w_->RefreshScore(1);
  }

 private:
  CBrevantDlg* w_;
  int topRow_, cursorBar_, cursorEighth_, cursorHalf_;
};

void CBrevantDlg::PutLyricLines(CTextPicture* text, int cells, int first) {
  if (!text || !song) return;
  const int eighths = std::min(SongBeatsPerBar() * 2, 8);
  for (int i = 0; i < cells && i < CTextPicture::Count(); ++i) {
    CTextPicture::ClearTexts(i);
    const int bar = first + i;
    const int width = CTextPicture::Width(i);
    for (int j = 0; j < eighths && bar < song->bar_count; ++j) {
      const int cell = song->CellIndex(bar, j);
      if (cell < 0 || cell >= kSongMaxCells) continue;
      std::string joined;
      for (const char* lyric : song->cells[cell].lyric) joined.append(lyric, strnlen(lyric, 7));
      if (!joined.empty()) {
        CTextPicture::AddText(i, j * width / 8, 0, joined, 0, kCentredVertically);
      }
    }
    CTextPicture::DrawTexts(i);
  }
  CTextPicture::BlitAll();
}

void CBrevantDlg::PutTitleLine(int instance, CTextPicture* text) {
  if (!text || !song) return;
  CTextPicture::ClearTexts(instance);
  // The texts stand at their places on a line 1000 pixels wide; a narrower score (a narrower
  // line) draws them closer together, so that none falls beyond the score's right edge.
  const double f = std::min(1.0, CTextPicture::Width(instance) / double(kTitleWidth));
  auto put = [&](int x, const std::string& t) {
    CTextPicture::AddText(instance, static_cast<int>(x * f), 50, t, 0, kCentredVertically);
  };
  const SongInfoBlock& info = song->info;
  put(20, InfoText(*song, info.kTitle, info.kTitleSize));
  put(400, "作曲");
  put(460, InfoText(*song, info.kComposer, info.kComposerSize));
  const std::string lyricist = InfoText(*song, info.kLyricist, info.kLyricistSize);
  if (!lyricist.empty()) {
    put(800, "作詞");
    put(860, lyricist);
  }
  CTextPicture::DrawTexts(instance);
  CTextPicture::Blit(instance);
}

void CBrevantDlg::QueueTitleLine(CTextPicture* text, int instance, CPrintPicture* print) {
  PutTitleLine(instance, text);
  print->AddItem(CTextPicture::Surface(instance), CTextPicture::Height(instance),
                 CTextPicture::Width(instance), 0, 0);
}

void CBrevantDlg::QueuePrintRows(CPrintPicture* print, int barsPerRow, int rowGap, int* y,
                                 int* x, int cells, int header, CTextPicture* text, int lyrics) {
  CRhythmStaffPicture* score = g_scorePicture;
  for (int i = 0; i < cells; ++i) {
    if (i % barsPerRow == 0) {
      print->AddItem(score->Surface(header), score->RowHeight(header), score->RowWidth(header),
                     *y, *x);
      *x += score->RowWidth(header);
    }
    print->AddItem(score->Surface(i), score->RowHeight(i), score->RowWidth(i), *y, *x);
    if (lyrics && text) {
      print->AddItem(CTextPicture::Surface(i), CTextPicture::Height(i), CTextPicture::Width(i),
                     *y + score->RowHeight(i) - 12, *x);
    }
    if (i % barsPerRow == barsPerRow - 1) {
      *x = 0;
      *y += rowGap + score->RowHeight(i);
    } else {
      *x += score->RowWidth(i);
    }
  }
}

void CBrevantDlg::PrintScore(int lyrics, int pagesPerSheet, int chords, int title) {
  if (!g_scorePicture || !song || song->bar_count <= 0) return;
  const PageShape window{g_barsPerPage, g_rowsPerPage, g_barsPerRow};
  // The wide layout prints four bars a row, sixteen a page.
  const PageShape print =
      window.barsPerRow == 8 ? PageShape{16, 4, 4} : window;
  const int P = print.barsPerPage, R = print.rowsPerPage, B = print.barsPerRow;
  const int N = std::max(pagesPerSheet, 1);

  ScoreTexts texts(this);
  if (lyrics) {
    for (int i = 0; i < P; ++i) texts.Add(5000 + i, g_scorePicture->RowWidth(i), kLyricLineHeight);
  }
  // Every sheet has the one scale that fits its N pages (and the title line) on the paper.
  const int header = window.barsPerPage;
  const int width = B * g_scorePicture->RowWidth(0) + g_scorePicture->RowWidth(header);
  const int titleInstance =
      title ? texts.Add(6000, std::min(kTitleWidth, width), kTitleHeight) : -1;

  CPrintPicture printer;
  plat::PrintSetup setup;
  if (!printer.ShowPrintDialog(&setup)) return;

  BusyCursor busy;
  PageWalk walk(this);
  const int pageHeight = (g_scorePicture->RowHeight(0) + kRowGap) * P / B;
  const int height = N * pageHeight + (title ? kTitleHeight : 0);
  const int sheets = (song->bar_count + P * N - 1) / (P * N);
  for (int s = 0; s < sheets; ++s) {
    if (!printer.StartPrintPage(setup)) {
      CPrintPicture::ErrorMsg(0);
      break;
    }
    int y = title && s == 0 ? kTitleHeight : 0;
    int x = 0;
    for (int p = 0; p < N; ++p) {
      UsePageShape(print);
      walk.Show((s * N + p) * R);
      if (lyrics) PutLyricLines(texts.Picture(), P, topRow * B);
      if (chords) LabelScoreRows(topRow * B, 1, 0);
      UsePageShape(window);
      QueuePrintRows(&printer, B, kRowGap, &y, &x, P, header, texts.Picture(), lyrics);
      if (s == 0 && p == 0 && titleInstance >= 0) {
        QueueTitleLine(texts.Picture(), titleInstance, &printer);
      }
      printer.PrintItems(setup, width, height, 0.8);
      printer.ClearItems();
    }
    printer.EndPrintPage();
  }
  printer.Release();
}

void CBrevantDlg::SaveScoreImage(int lyrics, int chords, int title) {
  if (!g_scorePicture || !song || song->bar_count <= 0) return;
  const int P = g_barsPerPage, B = g_barsPerRow;
  for (int c = 0; c < P; ++c) g_scorePicture->ClearLabels(c);
  CRhythmStaffPicture* score = g_scorePicture;
  const int width = score->RowWidth(0) * B + score->RowWidth(P);
  ScoreTexts texts(this);
  const int titleInstance =
      title ? texts.Add(6000, std::min(kTitleWidth, width), kTitleHeight) : -1;
  const int top = titleInstance >= 0 ? kTitleHeight : 0;

  std::filesystem::path path;
  int chosen;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    chosen = GneSaveFileDialog(&path, "bmp", "bitmap files|*.bmp|");
  }
  if (!chosen) return;

  BusyCursor busy;
  PageWalk walk(this);
  const int bars = song->bar_count;
  const int rows = (bars + B - 1) / B;
  CImageComposer composer(width, rows * (score->RowHeight(0) + kRowGap) + top, score->Surface(0),
                          0xFFFFFF);
  int y = top, x = 0;
  int closed = -1;  // the cell whose right bar line closes the song
  for (int k = 0; k < bars; ++k) {
    const int c = k % P;
    if (c == 0) {
      walk.Show(k / B);
      // The song's last bar closes with a bar line, drawn after its page's redraw.
      if (bars - 1 < k + P) {
        closed = (bars - 1) % P;
        score->SetRightBarLine(closed, 1);
      }
      if (chords || lyrics) LabelScoreRows(topRow * B, chords, lyrics);
      if (k == 0 && titleInstance >= 0) {
        PutTitleLine(titleInstance, texts.Picture());
        composer.AddBlit(CTextPicture::Surface(titleInstance), CTextPicture::Height(titleInstance),
                         CTextPicture::Width(titleInstance), 0, 0);
      }
    }
    if (c % B == 0) {
      const int header = P + c / B;
      composer.AddBlit(score->Surface(header), score->RowHeight(header), score->RowWidth(header),
                       y, x);
      x += score->RowWidth(header);
    }
    composer.AddBlit(score->Surface(c), score->RowHeight(c), score->RowWidth(c), y, x);
    score->SmoothRow(c, plat::Rgb(127, 127, 127));
    if (c % B == B - 1) {
      y += kRowGap + score->RowHeight(c);
      x = 0;
    } else {
      x += score->RowWidth(c);
    }
    if (c == P - 1) {
      composer.Compose(1.0);
      composer.Clear();
    }
  }
  if (bars % P != 0) composer.Compose(1.0);
  composer.SaveBitmap(path);
  if (closed >= 0) score->SetRightBarLine(closed, layout_.rightBarLine[closed] ? 1 : 0);
}
