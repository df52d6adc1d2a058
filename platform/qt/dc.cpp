#include "platform/qt/dc.h"

#include "platform/qt/qt_text.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>

namespace plat {
namespace {

inline QRgb ToQRgb(ColorRef c) {
  return 0xFF000000u | (static_cast<QRgb>(GetRValue(c)) << 16) |
         (static_cast<QRgb>(GetGValue(c)) << 8) | static_cast<QRgb>(GetBValue(c));
}

inline ColorRef FromQRgb(QRgb q) {
  return Rgb(static_cast<int>((q >> 16) & 0xFF), static_cast<int>((q >> 8) & 0xFF),
             static_cast<int>(q & 0xFF));
}

inline QColor ToQColor(ColorRef c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

Rect Normalised(int l, int t, int r, int b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  return Rect{l, t, r, b};
}

// The face that stands in for a logical font's face name.
QString FamilyFor(const LogFont& font) {
  const std::string utf8 = ToQString(font.faceName).toStdString();
  auto has = [&](const char* s) { return utf8.find(s) != std::string::npos; };
  // The texts below compare UTF-8 converted face names; they are written as escapes so that the
  // execution character set of this file does not change them.
  const char* kGothic = "\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";  // "gothic" in kana
  const char* kMincho = "\xE6\x98\x8E\xE6\x9C\x9D";                          // "mincho" in kanji
  const char* kFullP = "\xEF\xBC\xB0";                                       // full-width P
  if (has("Courier") || has("Consolas") || has("Lucida Console")) return "Liberation Mono";
  if (has("Arial") || has("Helvetica") || has("Tahoma") || has("Verdana")) {
    return "Liberation Sans";
  }
  if (has("Times")) return "Liberation Serif";
  if (has(kMincho) || has("Mincho")) {
    return (has(kFullP) || has("PMincho")) ? "IPAPMincho" : "IPAMincho";
  }
  if (has(kGothic) || has("Gothic")) {
    return (has(kFullP) || has("PGothic") || has("UI Gothic")) ? "IPAPGothic" : "IPAGothic";
  }
  return "IPAGothic";
}

// (ascent + descent) / em of a family, measured once.
double CellRatio(const QString& family) {
  static std::mutex mutex;
  static std::map<QString, double> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(family);
  if (it != cache.end()) return it->second;
  QFont f(family);
  f.setPixelSize(1000);
  QFontMetricsF fm(f);
  double ratio = (fm.ascent() + fm.descent()) / 1000.0;
  if (!(ratio > 0.3 && ratio < 3.0)) ratio = 1.0;
  cache.emplace(family, ratio);
  return ratio;
}

// The dash pattern (on, off, on, off...) of a one-pixel pen.
const std::vector<int>& DashPattern(int style) {
  static const std::vector<int> kDash{18, 6};
  static const std::vector<int> kDot{3, 3};
  static const std::vector<int> kDashDot{9, 6, 3, 6};
  static const std::vector<int> kDashDotDot{9, 3, 3, 3, 3, 3};
  static const std::vector<int> kNone{};
  switch (style) {
    case PS_DASH: return kDash;
    case PS_DOT: return kDot;
    case PS_DASHDOT: return kDashDot;
    case PS_DASHDOTDOT: return kDashDotDot;
    default: return kNone;
  }
}

QPainter::CompositionMode ModeForRop2(int rop2) {
  switch (rop2) {
    case R2_XORPEN: return QPainter::RasterOp_SourceXorDestination;
    case R2_NOTXORPEN: return QPainter::RasterOp_NotSourceXorDestination;
    case R2_NOT: return QPainter::RasterOp_NotDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

inline uint32_t ApplyRop(uint32_t rop, uint32_t d, uint32_t s, uint32_t pattern) {
  switch (rop) {
    case SRCCOPY: return s;
    case SRCPAINT: return d | s;
    case SRCAND: return d & s;
    case SRCINVERT: return d ^ s;
    case NOTSRCCOPY: return ~s;
    case DSTINVERT: return ~d;
    case PATCOPY: return pattern;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFF;
    default: return s;
  }
}

// Text with the prefix character removed ("&&" stays one '&').
QString StripPrefix(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&') && i + 1 < s.size()) {
      ++i;
      out += s[i];
    } else if (s[i] != QLatin1Char('&')) {
      out += s[i];
    }
  }
  return out;
}

bool IsWide(QChar c) { return c.unicode() > 0x7F; }

// Splits one paragraph into lines no wider than `width`, breaking after blanks and around wide
// (double-byte) characters; a piece that cannot be broken stays whole.
void WrapParagraph(const QString& text, const QFontMetrics& fm, int width,
                   std::vector<QString>& lines) {
  if (text.isEmpty()) {
    lines.push_back(QString());
    return;
  }
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype lastBreak = -1;  // index where the next line may begin
    qsizetype i = start;
    for (; i < text.size(); ++i) {
      if (i > start) {
        const QChar prev = text[i - 1];
        if (prev == QLatin1Char(' ') || IsWide(prev) || IsWide(text[i])) lastBreak = i;
      }
      const int w = fm.horizontalAdvance(text.mid(start, i - start + 1));
      if (w > width && i > start) break;
    }
    if (i >= text.size()) {
      lines.push_back(text.mid(start));
      break;
    }
    qsizetype end = (lastBreak > start) ? lastBreak : i;
    if (lastBreak <= start) {
      // No break opportunity: the word runs on to the next blank.
      qsizetype j = i;
      while (j < text.size() && text[j] != QLatin1Char(' ') && !IsWide(text[j])) ++j;
      end = j;
    }
    QString line = text.mid(start, end - start);
    while (line.endsWith(QLatin1Char(' '))) line.chop(1);
    lines.push_back(line);
    start = end;
    while (start < text.size() && text[start] == QLatin1Char(' ')) ++start;
  }
}

// A pen wider than one pixel, drawn by the painter with the given joins.
QPen WidePen(const Pen& pen, Qt::PenJoinStyle join) {
  QPen qp(ToQColor(pen.color));
  qp.setWidth(pen.width);
  qp.setJoinStyle(join);
  return qp;
}

// The inside of a shape: no brush for a null brush, else the brush's solid colour.
QBrush ShapeBrush(const Brush& brush) {
  return brush.style == BS_NULL ? QBrush(Qt::NoBrush) : QBrush(ToQColor(brush.color));
}

// The outline and inside of an ellipse or polygon: no pen for a null pen, else at least one
// pixel wide.
void UseShapePenAndBrush(QPainter& p, const Pen& pen, const Brush& brush) {
  if (pen.style == PS_NULL) {
    p.setPen(Qt::NoPen);
  } else {
    QPen qp(ToQColor(pen.color));
    qp.setWidth(std::max(1, pen.width));
    p.setPen(qp);
  }
  p.setBrush(ShapeBrush(brush));
}

}  // namespace

// ---------------------------------------------------------------------------------- Bitmap

Bitmap::Bitmap(int width, int height, ColorRef fill) {
  if (width > 0 && height > 0) {
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(ToQRgb(fill));
  }
}

Bitmap::Bitmap(const QImage& image) {
  if (!image.isNull()) image_ = image.convertToFormat(QImage::Format_RGB32);
}

bool Bitmap::Load(const std::filesystem::path& path) {
  QImageReader reader(QString::fromStdString(path.string()));
  QImage img = reader.read();
  if (img.isNull()) return false;
  image_ = img.convertToFormat(QImage::Format_RGB32);
  return true;
}

bool Bitmap::Save(const std::filesystem::path& path) const {
  if (image_.isNull()) return false;
  QImageWriter writer(QString::fromStdString(path.string()));
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".bmp") {
    return writer.write(image_.convertToFormat(QImage::Format_RGB888));
  }
  return writer.write(image_);
}

ColorRef Bitmap::GetPixel(int x, int y) const {
  if (image_.isNull() || x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) {
    return 0xFFFFFFFF;
  }
  return FromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

void Bitmap::SetPixel(int x, int y, ColorRef c) {
  if (image_.isNull() || x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToQRgb(c);
}

// -------------------------------------------------------------------------------------- Dc

Dc::Dc() = default;

Dc::Dc(int width, int height) : own_(width, height, 0) { bitmap_ = &own_; }

Dc::~Dc() = default;

Bitmap* Dc::SelectBitmap(Bitmap* bitmap) {
  Bitmap* old = bitmap_;
  bitmap_ = bitmap;
  return old == &own_ ? nullptr : old;
}

int Dc::Width() const { return bitmap_ ? bitmap_->Width() : 0; }
int Dc::Height() const { return bitmap_ ? bitmap_->Height() : 0; }

Pen Dc::SelectPen(const Pen& pen) {
  Pen old = pen_;
  pen_ = pen;
  dashPhase_ = 0;
  return old;
}
Brush Dc::SelectBrush(const Brush& brush) {
  Brush old = brush_;
  brush_ = brush;
  return old;
}
LogFont Dc::SelectFont(const LogFont& font) {
  LogFont old = font_;
  font_ = font;
  return old;
}
ColorRef Dc::SetTextColor(ColorRef c) {
  ColorRef old = textColor_;
  textColor_ = c & 0xFFFFFF;
  return old;
}
ColorRef Dc::SetBkColor(ColorRef c) {
  ColorRef old = bkColor_;
  bkColor_ = c & 0xFFFFFF;
  return old;
}
int Dc::SetBkMode(int mode) {
  int old = bkMode_;
  if (mode == TRANSPARENT || mode == OPAQUE) bkMode_ = mode;
  return old;
}
unsigned Dc::SetTextAlign(unsigned align) {
  unsigned old = textAlign_;
  textAlign_ = align;
  return old;
}
int Dc::SetROP2(int mode) {
  int old = rop2_;
  if (mode >= 1 && mode <= 16) rop2_ = mode;
  return old;
}

void Dc::SetClipRect(const Rect& r) {
  hasClip_ = true;
  clip_ = Normalised(r.left, r.top, r.right, r.bottom);
}
void Dc::ClearClip() { hasClip_ = false; }

Rect Dc::ClipBox() const {
  Rect all{0, 0, Width(), Height()};
  return hasClip_ ? Intersect(all, clip_) : all;
}

ColorRef Dc::GetPixel(int x, int y) const {
  return bitmap_ ? bitmap_->GetPixel(x, y) : 0xFFFFFFFF;
}

void Dc::SetPixel(int x, int y, ColorRef c) {
  if (!HasSurface() || !ClipBox().Contains(x, y)) return;
  bitmap_->SetPixel(x, y, c);
}

void Dc::PutPixel(int x, int y, ColorRef c, bool usePenRop) {
  if (!ClipBox().Contains(x, y)) return;
  QRgb* px = reinterpret_cast<QRgb*>(bitmap_->Image().scanLine(y)) + x;
  const uint32_t d = *px & 0xFFFFFF;
  const uint32_t s = ToQRgb(c) & 0xFFFFFF;
  uint32_t v = s;
  if (usePenRop) {
    switch (rop2_) {
      case R2_BLACK: v = 0; break;
      case R2_NOT: v = ~d; break;
      case R2_XORPEN: v = d ^ s; break;
      case R2_NOTXORPEN: v = ~(d ^ s); break;
      case R2_WHITE: v = 0xFFFFFF; break;
      default: v = s; break;
    }
  }
  *px = 0xFF000000u | (v & 0xFFFFFF);
}

void Dc::HLine(int x0, int x1, int y, ColorRef c) {
  for (int x = x0; x < x1; ++x) PutPixel(x, y, c, true);
}

void Dc::FillArea(const Rect& r, ColorRef c) {
  if (!HasSurface()) return;
  const Rect a = Intersect(Normalised(r.left, r.top, r.right, r.bottom), ClipBox());
  const QRgb q = ToQRgb(c);
  QImage& img = bitmap_->Image();
  for (int y = a.top; y < a.bottom; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    std::fill(line + a.left, line + a.right, q);
  }
}

void Dc::BeginPainter(QPainter& p) const {
  p.begin(&bitmap_->Image());
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  const Rect c = ClipBox();
  p.setClipRect(QRect(c.left, c.top, c.Width(), c.Height()));
}

Point Dc::MoveTo(int x, int y) {
  Point old = position_;
  position_ = Point{x, y};
  dashPhase_ = 0;
  return old;
}

void Dc::LineTo(int x, int y) {
  const Point from = position_;
  position_ = Point{x, y};
  if (!HasSurface() || pen_.style == PS_NULL) return;
  if (pen_.width > 1) {
    QPainter p;
    BeginPainter(p);
    p.setCompositionMode(ModeForRop2(rop2_));
    QPen qp = WidePen(pen_, Qt::RoundJoin);
    qp.setCapStyle(Qt::RoundCap);
    p.setPen(qp);
    p.drawLine(from.x, from.y, x, y);
    return;
  }
  // One-pixel line (Bresenham), the end point left out.
  const std::vector<int>& pattern = DashPattern(pen_.style);
  int patternLength = 0;
  for (int v : pattern) patternLength += v;
  int x0 = from.x, y0 = from.y;
  const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
  const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  while (!(x0 == x && y0 == y)) {
    bool on = true;
    if (patternLength > 0) {
      int phase = dashPhase_ % patternLength;
      size_t k = 0;
      while (phase >= pattern[k]) {
        phase -= pattern[k];
        ++k;
      }
      on = (k % 2) == 0;
      ++dashPhase_;
    }
    if (on) {
      PutPixel(x0, y0, pen_.color, true);
    } else if (bkMode_ == OPAQUE) {
      PutPixel(x0, y0, bkColor_, false);
    }
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void Dc::Polyline(const std::vector<Point>& points) {
  if (points.empty()) return;
  const Point saved = position_;
  MoveTo(points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
  position_ = saved;
}

void Dc::Rectangle(int left, int top, int right, int bottom) {
  if (!HasSurface()) return;
  const Rect r = Normalised(left, top, right, bottom);
  if (pen_.style == PS_NULL) {
    if (brush_.style != BS_NULL) FillArea(Rect{r.left, r.top, r.right - 1, r.bottom - 1}, brush_.color);
    return;
  }
  if (r.Width() <= 0 || r.Height() <= 0) return;
  if (pen_.width > 1) {
    QPainter p;
    BeginPainter(p);
    p.setCompositionMode(ModeForRop2(rop2_));
    p.setPen(WidePen(pen_, Qt::MiterJoin));
    p.setBrush(ShapeBrush(brush_));
    p.drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
    return;
  }
  if (brush_.style != BS_NULL && r.Width() > 2 && r.Height() > 2) {
    FillArea(Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush_.color);
  }
  HLine(r.left, r.right, r.top, pen_.color);
  if (r.Height() > 1) HLine(r.left, r.right, r.bottom - 1, pen_.color);
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    PutPixel(r.left, y, pen_.color, true);
    if (r.Width() > 1) PutPixel(r.right - 1, y, pen_.color, true);
  }
}

void Dc::Ellipse(int left, int top, int right, int bottom) {
  if (!HasSurface()) return;
  const Rect r = Normalised(left, top, right, bottom);
  if (r.Width() <= 1 || r.Height() <= 1) return;
  QPainter p;
  BeginPainter(p);
  p.setCompositionMode(ModeForRop2(rop2_));
  UseShapePenAndBrush(p, pen_, brush_);
  p.drawEllipse(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
}

void Dc::Polygon(const std::vector<Point>& points) {
  if (!HasSurface() || points.size() < 2) return;
  QPolygon poly;
  for (const Point& pt : points) poly << QPoint(pt.x, pt.y);
  QPainter p;
  BeginPainter(p);
  p.setCompositionMode(ModeForRop2(rop2_));
  UseShapePenAndBrush(p, pen_, brush_);
  p.drawPolygon(poly, Qt::OddEvenFill);
}

void Dc::FillRect(const Rect& r, const Brush& brush) {
  if (brush.style == BS_NULL) return;
  FillArea(r, brush.color);
}

void Dc::FillSolidRect(const Rect& r, ColorRef c) {
  SetBkColor(c);
  FillArea(r, c);
}

void Dc::FrameRect(const Rect& r0, const Brush& brush) {
  if (!HasSurface() || brush.style == BS_NULL) return;
  const Rect r = Normalised(r0.left, r0.top, r0.right, r0.bottom);
  if (r.IsEmpty()) return;
  FillArea(Rect{r.left, r.top, r.right, r.top + 1}, brush.color);
  FillArea(Rect{r.left, r.bottom - 1, r.right, r.bottom}, brush.color);
  FillArea(Rect{r.left, r.top, r.left + 1, r.bottom}, brush.color);
  FillArea(Rect{r.right - 1, r.top, r.right, r.bottom}, brush.color);
}

void Dc::InvertRect(const Rect& r0) {
  if (!HasSurface()) return;
  const Rect a = Intersect(Normalised(r0.left, r0.top, r0.right, r0.bottom), ClipBox());
  QImage& img = bitmap_->Image();
  for (int y = a.top; y < a.bottom; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = a.left; x < a.right; ++x) line[x] = 0xFF000000u | (~line[x] & 0xFFFFFF);
  }
}

// ------------------------------------------------------------------------------------ Text

QFont Dc::MakeQFont(const LogFont& font) {
  const QString family = FamilyFor(font);
  QFont f(family);
  f.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::NoAntialias | QFont::NoSubpixelAntialias));
  f.setHintingPreference(QFont::PreferFullHinting);
  int cell = font.height;
  int em;
  if (cell < 0) {
    em = -cell;
  } else {
    if (cell == 0) cell = 16;
    em = static_cast<int>(std::lround(cell / CellRatio(family)));
  }
  f.setPixelSize(std::max(1, em));
  if (font.weight >= 600) f.setWeight(QFont::Bold);
  f.setItalic(font.italic != 0);
  f.setUnderline(font.underline != 0);
  f.setStrikeOut(font.strikeOut != 0);
  if (font.width > 0) {
    QFontMetrics fm(f);
    const int natural = std::max(1, fm.averageCharWidth());
    f.setStretch(std::clamp(font.width * 100 / natural, 1, 4000));
  }
  return f;
}

TextMetrics Dc::GetTextMetrics() const {
  const QFont f = MakeQFont(font_);
  QFontMetrics fm(f);
  TextMetrics tm;
  tm.ascent = fm.ascent();
  tm.descent = fm.descent();
  tm.height = tm.ascent + tm.descent;
  tm.aveCharWidth = fm.averageCharWidth();
  tm.maxCharWidth = fm.maxWidth();
  tm.externalLeading = fm.leading();
  return tm;
}

Size Dc::GetTextExtent(std::string_view text) const {
  const QFont f = MakeQFont(font_);
  QFontMetrics fm(f);
  return Size{fm.horizontalAdvance(ToQString(text)), fm.ascent() + fm.descent()};
}

void Dc::DrawTextLine(QPainter& p, const QFont& f, int x, int top, const QString& text,
                      int width) const {
  QFontMetrics fm(f);
  if (bkMode_ == OPAQUE) {
    p.fillRect(QRect(x, top, width, fm.ascent() + fm.descent()), ToQColor(bkColor_));
  }
  p.setPen(ToQColor(textColor_));
  p.setFont(f);
  p.drawText(QPoint(x, top + fm.ascent()), text);
}

bool Dc::TextOut(int x, int y, std::string_view text) {
  if (!HasSurface()) return false;
  const QString q = ToQString(text);
  const QFont f = MakeQFont(font_);
  QFontMetrics fm(f);
  const int w = fm.horizontalAdvance(q);
  int left = x;
  if ((textAlign_ & 6) == TA_CENTER) {
    left = x - w / 2;
  } else if ((textAlign_ & 6) == TA_RIGHT) {
    left = x - w;
  }
  int top = y;
  if ((textAlign_ & 24) == TA_BASELINE) {
    top = y - fm.ascent();
  } else if ((textAlign_ & 24) == TA_BOTTOM) {
    top = y - (fm.ascent() + fm.descent());
  }
  QPainter p;
  BeginPainter(p);
  if (font_.escapement != 0) {
    p.translate(x, y);
    p.rotate(-font_.escapement / 10.0);
    p.translate(-x, -y);
  }
  DrawTextLine(p, f, left, top, q, w);
  return true;
}

int Dc::DrawText(std::string_view text, Rect& rect, unsigned format) {
  QString q = ToQString(text);
  if (!(format & DT_NOPREFIX)) q = StripPrefix(q);
  const QFont f = MakeQFont(font_);
  QFontMetrics fm(f);
  const int lineHeight = fm.ascent() + fm.descent();
  if (format & DT_EXPANDTABS) {
    q.replace(QLatin1Char('\t'), QString(8, QLatin1Char(' ')));
  } else {
    q.remove(QLatin1Char('\t'));
  }

  std::vector<QString> lines;
  if (format & DT_SINGLELINE) {
    q.remove(QLatin1Char('\r'));
    q.remove(QLatin1Char('\n'));
    lines.push_back(q);
  } else {
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList paragraphs = q.split(QLatin1Char('\n'));
    for (const QString& para : paragraphs) {
      if (format & DT_WORDBREAK) {
        WrapParagraph(para, fm, std::max(1, rect.Width()), lines);
      } else {
        lines.push_back(para);
      }
    }
  }
  if (text.empty()) lines.assign(1, QString());

  int maxWidth = 0;
  std::vector<int> widths;
  for (const QString& line : lines) {
    widths.push_back(fm.horizontalAdvance(line));
    maxWidth = std::max(maxWidth, widths.back());
  }
  const int total = lineHeight * static_cast<int>(lines.size());

  if (format & DT_CALCRECT) {
    rect.right = rect.left + maxWidth;
    rect.bottom = rect.top + total;
    return total;
  }

  int top = rect.top;
  const bool single = (format & DT_SINGLELINE) != 0;
  if (single && (format & DT_BOTTOM)) {
    top = rect.bottom - lineHeight;
  } else if (single && (format & DT_VCENTER)) {
    top = (rect.top + rect.bottom - lineHeight) / 2;
  }

  if (HasSurface()) {
    QPainter p;
    BeginPainter(p);
    if (!(format & DT_NOCLIP)) {
      p.setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), Qt::IntersectClip);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      int x = rect.left;
      if (format & DT_CENTER) {
        x = (rect.left + rect.right - widths[i]) / 2;
      } else if (format & DT_RIGHT) {
        x = rect.right - widths[i];
      }
      DrawTextLine(p, f, x, top + static_cast<int>(i) * lineHeight, lines[i], widths[i]);
    }
  }
  if (single && (format & (DT_BOTTOM | DT_VCENTER))) return top - rect.top + lineHeight;
  return total;
}

// ----------------------------------------------------------------------------------- Blits

bool Dc::BitBlt(int x, int y, int width, int height, const Dc& src, int sx, int sy,
                uint32_t rop) {
  if (!src.bitmap_) return false;
  return BitBlt(x, y, width, height, *src.bitmap_, sx, sy, rop);
}

bool Dc::BitBlt(int x, int y, int width, int height, const Bitmap& src, int sx, int sy,
                uint32_t rop) {
  if (!HasSurface() || src.IsNull()) return false;
  // Destination area, clipped; the source follows it.
  Rect d = Intersect(Normalised(x, y, x + width, y + height), ClipBox());
  // Keep the source inside its surface.
  d = Intersect(d, Rect{x - sx, y - sy, x - sx + src.Width(), y - sy + src.Height()});
  if (d.IsEmpty()) return true;
  // Copy the source rows first when the source is our own surface (overlapping blits).
  QImage source = src.Image();
  if (&src == bitmap_) source = src.Image().copy();
  const uint32_t pattern = ToQRgb(brush_.color) & 0xFFFFFF;
  QImage& img = bitmap_->Image();
  for (int yy = d.top; yy < d.bottom; ++yy) {
    QRgb* dl = reinterpret_cast<QRgb*>(img.scanLine(yy));
    const QRgb* sl = reinterpret_cast<const QRgb*>(source.constScanLine(yy - y + sy));
    if (rop == SRCCOPY) {
      std::copy(sl + (d.left - x + sx), sl + (d.right - x + sx), dl + d.left);
      continue;
    }
    for (int xx = d.left; xx < d.right; ++xx) {
      const uint32_t s = sl[xx - x + sx] & 0xFFFFFF;
      const uint32_t v = ApplyRop(rop, dl[xx] & 0xFFFFFF, s, pattern);
      dl[xx] = 0xFF000000u | (v & 0xFFFFFF);
    }
  }
  return true;
}

bool Dc::StretchBlt(int x, int y, int width, int height, const Dc& src, int sx, int sy,
                    int swidth, int sheight, uint32_t rop) {
  if (!src.bitmap_) return false;
  return StretchBlt(x, y, width, height, *src.bitmap_, sx, sy, swidth, sheight, rop);
}

bool Dc::StretchBlt(int x, int y, int width, int height, const Bitmap& src, int sx, int sy,
                    int swidth, int sheight, uint32_t rop) {
  if (!HasSurface() || src.IsNull() || width <= 0 || height <= 0 || swidth <= 0 ||
      sheight <= 0) {
    return false;
  }
  if (width == swidth && height == sheight) return BitBlt(x, y, width, height, src, sx, sy, rop);
  const Rect d = Intersect(Rect{x, y, x + width, y + height}, ClipBox());
  QImage source = src.Image();
  if (&src == bitmap_) source = src.Image().copy();
  const uint32_t pattern = ToQRgb(brush_.color) & 0xFFFFFF;
  QImage& img = bitmap_->Image();
  for (int yy = d.top; yy < d.bottom; ++yy) {
    const int syy = sy + static_cast<int>(static_cast<int64_t>(yy - y) * sheight / height);
    if (syy < 0 || syy >= source.height()) continue;
    QRgb* dl = reinterpret_cast<QRgb*>(img.scanLine(yy));
    const QRgb* sl = reinterpret_cast<const QRgb*>(source.constScanLine(syy));
    for (int xx = d.left; xx < d.right; ++xx) {
      const int sxx = sx + static_cast<int>(static_cast<int64_t>(xx - x) * swidth / width);
      if (sxx < 0 || sxx >= source.width()) continue;
      const uint32_t v = ApplyRop(rop, dl[xx] & 0xFFFFFF, sl[sxx] & 0xFFFFFF, pattern);
      dl[xx] = 0xFF000000u | (v & 0xFFFFFF);
    }
  }
  return true;
}

bool Dc::PatBlt(int x, int y, int width, int height, uint32_t rop) {
  if (!HasSurface()) return false;
  const Rect d = Intersect(Normalised(x, y, x + width, y + height), ClipBox());
  const uint32_t pattern = ToQRgb(brush_.color) & 0xFFFFFF;
  QImage& img = bitmap_->Image();
  for (int yy = d.top; yy < d.bottom; ++yy) {
    QRgb* dl = reinterpret_cast<QRgb*>(img.scanLine(yy));
    for (int xx = d.left; xx < d.right; ++xx) {
      const uint32_t v = ApplyRop(rop, dl[xx] & 0xFFFFFF, 0, pattern);
      dl[xx] = 0xFF000000u | (v & 0xFFFFFF);
    }
  }
  return true;
}

QFont FixedPitchJapaneseFont(const QFont& like) {
  static const char* const kFaces[] = {"IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic",
                                       "TakaoGothic"};
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const char* face : kFaces) {
    if (QFontDatabase::hasFamily(QString::fromLatin1(face))) {
      f = QFont(QString::fromLatin1(face));
      break;
    }
  }
  f.setStyleHint(QFont::Monospace);
  f.setPixelSize(std::max(1, QFontInfo(like).pixelSize()));
  return f;
}

}  // namespace plat
