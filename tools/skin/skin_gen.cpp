// Draws the program's skin: button faces, counter digits, the note-length and triplet grid cells
// and the staff glyph masks, as PNG files.
//
//   skin_gen <output folder>      (normally resources/skin)
//
// Bitmaps are named by their resource id ("168.png"); the glyph masks live in "glyphs/" as
// black-on-white images of exactly their grid size, one pixel per mask cell (black = set).
//
// Look: button faces are light, slightly green-tinted panels with a soft gradient and a rounded
// dark-green rim, plain where the caption goes (captions are drawn over them in dark green).
// Counter digits and grid cells are light glyphs on black: the pictures combine them by XOR, so
// on black they show as drawn.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QString g_out;

bool Save(const QImage& img, const QString& name) {
  const QString path = g_out + "/" + name;
  if (!img.save(path, "PNG")) {
    std::fprintf(stderr, "skin_gen: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Glyph masks. Each glyph is drawn as a filled path in mask units, supersampled and thresholded,
// so that the mask is one clean shape at exactly the grid size.

using Painter = std::function<void(QPainter&)>;

QImage Mask(int w, int h, const Painter& paint, double threshold = 0.42) {
  const int k = 8;
  QImage big(w * k, h * k, QImage::Format_ARGB32);
  big.fill(Qt::white);
  {
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(k, k);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    paint(p);
  }
  QImage out(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double dark = 0;
      for (int yy = 0; yy < k; ++yy) {
        const QRgb* line = reinterpret_cast<const QRgb*>(big.constScanLine(y * k + yy));
        for (int xx = 0; xx < k; ++xx) dark += 255 - qRed(line[x * k + xx]);
      }
      dark /= 255.0 * k * k;
      out.setPixel(x, y, dark >= threshold ? 0xFF000000u : 0xFFFFFFFFu);
    }
  }
  return out;
}

// A stroked path filled as an outline of the given width.
void StrokePath(QPainter& p, const QPainterPath& path, double width,
                Qt::PenCapStyle cap = Qt::RoundCap) {
  QPainterPathStroker s;
  s.setWidth(width);
  s.setCapStyle(cap);
  s.setJoinStyle(Qt::RoundJoin);
  p.drawPath(s.createStroke(path));
}

void Line(QPainter& p, double x0, double y0, double x1, double y1, double width,
          Qt::PenCapStyle cap = Qt::FlatCap) {
  QPainterPath path;
  path.moveTo(x0, y0);
  path.lineTo(x1, y1);
  StrokePath(p, path, width, cap);
}

// A note head: an ellipse tilted upward to the right, centred at (cx, cy).
QPainterPath HeadPath(double cx, double cy, double rx, double ry, double angle) {
  QPainterPath e;
  e.addEllipse(QPointF(0, 0), rx, ry);
  QTransform t;
  t.translate(cx, cy);
  t.rotate(angle);
  return t.map(e);
}

// Treble clef in a 32 x 32 grid: staff lines at 5.33, 10.67, 16, 21.33, 26.67 (G on 21.33).
void TrebleClef(QPainter& p, double dx = 0) {
  const double cx = 14.0 + dx;
  const double g = 21.33;
  // Main line: from the top curl down through the staff to the tail.
  QPainterPath s;
  s.moveTo(cx + 0.6, g + 0.9);            // end of the spiral, on the G line
  s.cubicTo(cx - 2.4, g + 0.9, cx - 2.6, g - 3.2, cx + 0.4, g - 3.6);
  s.cubicTo(cx + 4.6, g - 3.9, cx + 5.4, g + 4.2, cx + 0.6, g + 4.4);
  s.cubicTo(cx - 5.2, g + 4.6, cx - 6.4, g - 3.0, cx - 2.4, g - 7.4);
  s.cubicTo(cx + 0.8, g - 10.8, cx + 4.2, g - 14.6, cx + 3.0, g - 18.6);
  s.cubicTo(cx + 2.2, g - 21.0, cx - 0.6, g - 19.2, cx - 1.0, g - 15.6);
  s.cubicTo(cx - 1.4, g - 11.0, cx + 1.4, g + 1.0, cx + 1.6, g + 6.8);
  s.cubicTo(cx + 1.8, g + 9.8, cx - 1.8, g + 10.4, cx - 2.8, g + 8.6);
  StrokePath(p, s, 1.55);
  // Thicker belly on the left of the spiral.
  QPainterPath b;
  b.moveTo(cx - 4.6, g + 1.0);
  b.cubicTo(cx - 4.6, g - 2.0, cx - 3.0, g - 5.0, cx - 1.6, g - 7.0);
  StrokePath(p, b, 1.2);
  // The ball at the end of the tail.
  p.drawEllipse(QPointF(cx - 2.2, g + 7.9), 1.9, 1.9);
}

// Bass clef: the F line is at 10.67 (second line from the top of the bass staff).
void BassClef(QPainter& p) {
  const double f = 10.67;
  const double cx = 12.0;
  p.drawEllipse(QPointF(cx - 3.2, f + 0.2), 2.3, 2.3);
  QPainterPath s;
  s.moveTo(cx - 5.2, f - 0.6);
  s.cubicTo(cx - 4.6, f - 5.6, cx + 5.6, f - 6.6, cx + 6.0, f + 0.4);
  s.cubicTo(cx + 6.4, f + 6.4, cx + 1.0, f + 11.8, cx - 6.0, f + 15.2);
  StrokePath(p, s, 1.9);
  p.drawEllipse(QPointF(cx + 10.0, f - 2.7), 1.35, 1.35);
  p.drawEllipse(QPointF(cx + 10.0, f + 2.7), 1.35, 1.35);
}

// Percussion clef: two thick bars over the middle of the staff.
void PercussionClef(QPainter& p) {
  p.drawRect(QRectF(10.0, 10.67, 2.6, 10.66));
  p.drawRect(QRectF(15.0, 10.67, 2.6, 10.66));
}

// Accidentals in a 28 x 28 grid. The score draws the grid 1.25 staff spaces wide and tall, its
// left edge 1.2 spaces before the note head and its top a third of a space above the head, so
// the head's centre lies on row 18.7 and the head begins just right of column 27. The signs keep
// their right edge near column 24 (a narrow gap before the head) and use strokes of about two
// units (verticals) and three and a half (the heavy bars), which stay solid at a spacing of
// seven pixels, the main score's.
void Sharp(QPainter& p) {
  Line(p, 10.0, 2.0, 10.0, 27.8, 2.1);
  Line(p, 17.5, 0.5, 17.5, 26.3, 2.1);
  Line(p, 4.8, 16.6, 23.0, 12.6, 3.6);
  Line(p, 4.8, 24.4, 23.0, 20.4, 3.6);
}

void Flat(QPainter& p) {
  Line(p, 8.5, 0.3, 8.5, 27.6, 2.2);
  QPainterPath b;
  b.moveTo(8.5, 18.6);
  b.cubicTo(12.5, 13.6, 23.0, 13.2, 21.2, 19.2);
  b.cubicTo(20.0, 22.8, 14.0, 25.6, 8.5, 27.4);
  StrokePath(p, b, 2.6);
}

void Natural(QPainter& p) {
  Line(p, 8.5, 1.0, 8.5, 23.8, 2.1);
  Line(p, 19.5, 11.0, 19.5, 27.8, 2.1);
  Line(p, 8.5, 15.4, 19.5, 12.6, 3.6);
  Line(p, 8.5, 23.2, 19.5, 20.4, 3.6);
}

// Heads in a 16 x 16 grid (the head rectangle).
void FilledHead(QPainter& p) { p.drawPath(HeadPath(8.0, 8.0, 7.9, 6.0, -24)); }

void OpenHead(QPainter& p) {
  QPainterPath ring = HeadPath(8.0, 8.0, 7.9, 6.0, -24);
  ring.addPath(HeadPath(8.2, 8.0, 5.4, 2.7, -38));
  ring.setFillRule(Qt::OddEvenFill);
  p.drawPath(ring);
}

void SecondFilledHead(QPainter& p) {
  // The drum head: a rounder head, so that drums read apart from pitched notes.
  p.drawPath(HeadPath(8.0, 8.0, 7.0, 6.2, -15));
}

void CrossHead(QPainter& p) {
  Line(p, 2.0, 2.5, 14.0, 13.5, 2.4, Qt::RoundCap);
  Line(p, 2.0, 13.5, 14.0, 2.5, 2.4, Qt::RoundCap);
}

// Stems in a 16 x 32 grid: the stem stands in column 7 (the right edge of the head when the stem
// goes up), flags hang to the right from its top.
void Stem(QPainter& p) { p.drawRect(QRectF(7.0, 0.0, 1.2, 32.0)); }

// A flag: a crescent hanging from the stem's top, widest (about three units, so that it stays a
// shape and not a hairline on the main score) a third of the way down, ending in a point.
void Flag(QPainter& p, double y) {
  QPainterPath f;
  f.moveTo(7.4, y);
  f.cubicTo(8.2, y + 4.4, 15.6, y + 5.6, 13.6, y + 14.0);
  f.cubicTo(13.4, y + 9.4, 10.4, y + 7.8, 7.4, y + 6.6);
  f.closeSubpath();
  p.drawPath(f);
}

void StemOneFlag(QPainter& p) {
  Stem(p);
  Flag(p, 0.0);
}

void StemTwoFlags(QPainter& p) {
  Stem(p);
  Flag(p, 0.0);
  Flag(p, 6.0);
}

// Rests.
void EighthRest(QPainter& p) {  // 24 x 24, drawn 1.8 spacings tall from the middle line
  p.drawEllipse(QPointF(8.5, 5.5), 2.6, 2.6);
  QPainterPath s;
  s.moveTo(8.0, 7.2);
  s.cubicTo(11.0, 8.6, 14.0, 7.4, 16.0, 4.0);
  StrokePath(p, s, 1.5);
  Line(p, 16.0, 4.0, 11.0, 22.5, 1.8, Qt::RoundCap);
}

void SixteenthRest(QPainter& p) {
  p.drawEllipse(QPointF(9.0, 4.5), 2.3, 2.3);
  p.drawEllipse(QPointF(7.0, 11.0), 2.3, 2.3);
  QPainterPath s1;
  s1.moveTo(8.6, 6.2);
  s1.cubicTo(11.5, 7.4, 14.5, 6.2, 16.8, 2.5);
  StrokePath(p, s1, 1.4);
  QPainterPath s2;
  s2.moveTo(6.6, 12.7);
  s2.cubicTo(9.5, 13.9, 12.6, 12.6, 15.0, 9.2);
  StrokePath(p, s2, 1.4);
  Line(p, 16.8, 2.5, 10.0, 23.0, 1.7, Qt::RoundCap);
}

void QuarterRest(QPainter& p) {  // 32 x 32, four spacings tall
  QPainterPath z;
  z.moveTo(11.0, 3.0);
  z.lineTo(18.0, 10.5);
  z.cubicTo(14.0, 13.0, 13.5, 15.5, 18.5, 20.0);
  z.cubicTo(12.0, 18.0, 10.0, 22.0, 15.5, 28.5);
  z.cubicTo(7.5, 24.5, 8.5, 17.5, 14.0, 18.0);
  z.lineTo(9.5, 13.0);
  z.cubicTo(14.0, 10.5, 14.5, 7.5, 11.0, 3.0);
  z.closeSubpath();
  p.drawPath(z);
}

void BarRest(QPainter& p) {  // 24 x 24: the half rest sits on, the whole rest hangs from, a line
  p.drawRect(QRectF(4.0, 0.0, 13.0, 3.6));
}

void Dot(QPainter& p) { p.drawRect(QRectF(0, 0, 4, 4)); }

void TieArc(QPainter& p) {  // 32 x 8, opening upward
  QPainterPath a;
  a.moveTo(1.0, 1.0);
  a.cubicTo(8.0, 7.6, 24.0, 7.6, 31.0, 1.0);
  a.cubicTo(24.0, 5.4, 8.0, 5.4, 1.0, 1.0);
  a.closeSubpath();
  p.drawPath(a);
  StrokePath(p, a, 0.9);
}

void CrossMark(QPainter& p) {  // 9 x 9
  Line(p, 0.5, 0.5, 8.5, 8.5, 1.6);
  Line(p, 0.5, 8.5, 8.5, 0.5, 1.6);
}

void WriteMasks() {
  QDir().mkpath(g_out + "/glyphs");
  struct M {
    const char* name;
    int w, h;
    void (*paint)(QPainter&);
  };
  const M masks[] = {
      {"treble_clef", 32, 32, [](QPainter& p) { TrebleClef(p); }},
      {"bass_clef", 32, 32, BassClef},
      {"percussion_clef", 32, 32, PercussionClef},
      {"sharp", 28, 28, Sharp},
      {"flat", 28, 28, Flat},
      {"natural", 28, 28, Natural},
      {"open_head", 16, 16, OpenHead},
      {"filled_head", 16, 16, FilledHead},
      {"cross_head", 16, 16, CrossHead},
      {"second_filled_head", 16, 16, SecondFilledHead},
      {"stem", 16, 32, Stem},
      {"stem_one_flag", 16, 32, StemOneFlag},
      {"stem_two_flags", 16, 32, StemTwoFlags},
      {"eighth_rest", 24, 24, EighthRest},
      {"sixteenth_rest", 24, 24, SixteenthRest},
      {"quarter_rest", 32, 32, QuarterRest},
      {"bar_rest", 24, 24, BarRest},
      {"dot", 4, 4, Dot},
      {"tie", 32, 8, TieArc},
      {"cross_mark", 9, 9, CrossMark},
  };
  for (const M& m : masks) Save(Mask(m.w, m.h, m.paint), QString("glyphs/%1.png").arg(m.name));
}

// ---------------------------------------------------------------------------------------------
// Button faces.

const QColor kGreen(0, 100, 0);

// The main window's background (grey with a touch of blue): the rounded corners of a face
// blend into it instead of showing white notches.
const QColor kWindowBack(194, 194, 200);

QImage Face(int w, int h, bool pressed) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(kWindowBack);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF r(0.5, 0.5, w - 1.0, h - 1.0);
  QLinearGradient g(0, 0, 0, h);
  if (!pressed) {
    g.setColorAt(0.0, QColor(252, 254, 249));
    g.setColorAt(0.45, QColor(238, 245, 233));
    g.setColorAt(1.0, QColor(212, 226, 206));
  } else {
    g.setColorAt(0.0, QColor(196, 214, 190));
    g.setColorAt(0.5, QColor(214, 228, 208));
    g.setColorAt(1.0, QColor(232, 240, 228));
  }
  p.setPen(QPen(pressed ? QColor(70, 110, 70) : QColor(128, 156, 124), 1.0));
  p.setBrush(g);
  p.drawRoundedRect(r, 4.0, 4.0);
  // Inner rim: a highlight along the top when raised, a shade when pressed.
  p.setBrush(Qt::NoBrush);
  if (!pressed) {
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.0));
    p.drawLine(QPointF(3.5, 1.5), QPointF(w - 3.5, 1.5));
    p.setPen(QPen(QColor(150, 176, 146, 120), 1.0));
    p.drawLine(QPointF(3.5, h - 1.5), QPointF(w - 3.5, h - 1.5));
  } else {
    p.setPen(QPen(QColor(120, 150, 116, 160), 1.0));
    p.drawLine(QPointF(3.5, 1.5), QPointF(w - 3.5, 1.5));
    p.drawLine(QPointF(1.5, 3.5), QPointF(1.5, h - 3.5));
  }
  return img;
}

// An arrow icon centred on a face (direction -1 left, +1 right).
void Arrow(QImage& img, int dir, bool pressed) {
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const double cx = img.width() / 2.0 + (pressed ? 1 : 0);
  const double cy = img.height() / 2.0 + (pressed ? 1 : 0);
  const double a = std::min(img.width(), img.height()) * 0.26;
  QPainterPath t;
  t.moveTo(cx + dir * a, cy);
  t.lineTo(cx - dir * a * 0.55, cy - a);
  t.lineTo(cx - dir * a * 0.55, cy + a);
  t.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawPath(t);
  // A bar behind the triangle: "one step".
  p.drawRect(QRectF(cx - dir * a * 0.95 - (dir > 0 ? 2.0 : 0.0), cy - a, 2.0, 2 * a));
}

// The rap-note icon: a note with a cross head.
void RapNote(QImage& img, bool pressed) {
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const double o = pressed ? 1 : 0;
  const double hx = 14.0 + o, hy = 23.0 + o;
  QPen pen(kGreen, 2.4, Qt::SolidLine, Qt::RoundCap);
  p.setPen(pen);
  p.drawLine(QPointF(hx - 4, hy - 3.5), QPointF(hx + 4, hy + 3.5));
  p.drawLine(QPointF(hx - 4, hy + 3.5), QPointF(hx + 4, hy - 3.5));
  p.setPen(QPen(kGreen, 1.6));
  p.drawLine(QPointF(hx + 4.4, hy - 3.0), QPointF(hx + 4.4, 7.0 + o));
  QPainterPath f;
  f.moveTo(hx + 4.4, 7.0 + o);
  f.cubicTo(hx + 6, 10 + o, hx + 11, 11 + o, hx + 9.5, 17 + o);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGreen, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(f);
}

void WriteButtons() {
  struct B {
    int up, down, w, h;
  };
  // Faces with a caption drawn over them.
  const B faces[] = {{168, 167, 88, 30}, {170, 169, 103, 30}, {230, 229, 73, 30},
                     {233, 234, 53, 30}};
  for (const B& b : faces) {
    Save(Face(b.w, b.h, false), QString("%1.png").arg(b.up));
    Save(Face(b.w, b.h, true), QString("%1.png").arg(b.down));
  }
  // Panel buttons without a caption: arrows and the rap note.
  struct I {
    int up, down, w, h, dir;
  };
  const I arrows[] = {{175, 174, 40, 34, -1}, {177, 176, 40, 34, 1}, {192, 191, 34, 34, -1},
                      {190, 193, 34, 34, 1}};
  for (const I& a : arrows) {
    QImage u = Face(a.w, a.h, false);
    Arrow(u, a.dir, false);
    Save(u, QString("%1.png").arg(a.up));
    QImage d = Face(a.w, a.h, true);
    Arrow(d, a.dir, true);
    Save(d, QString("%1.png").arg(a.down));
  }
  QImage u = Face(34, 34, false);
  RapNote(u, false);
  Save(u, "263.png");
  QImage d = Face(34, 34, true);
  RapNote(d, true);
  Save(d, "264.png");
}

// ---------------------------------------------------------------------------------------------
// Counter digits: seven segments, lit in light green, unlit segments faintly visible.
// The main window hands the counter the ids 241..249, 240 for the digits 0..9, so the digit d
// is drawn as bitmap 241 + d, and 9 as 240.
//
// The segments are set pixel by pixel (14 x 16 cells are too small for smooth shapes): two
// pixels thick, the bars four pixels long between the columns, the corners left out so that
// neighbouring segments read apart. Digits of a counter stand next to each other, so each
// keeps three blank columns on the left and three on the right.

void WriteDigits() {
  // Segments a b c d e f g.
  static const int kSeg[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const QColor lit(150, 255, 150), unlit(14, 34, 16);
  struct Box {
    int x, y, w, h;
  };
  const int l = 3, r = 9;          // left and right columns (two pixels each)
  const int t = 1, m = 7, b = 13;  // top, middle and bottom rows (two pixels each)
  const Box seg[7] = {
      {l + 2, t, 4, 2},          // a
      {r, t + 2, 2, m - t - 2},  // b
      {r, m + 2, 2, b - m - 2},  // c
      {l + 2, b, 4, 2},          // d
      {l, m + 2, 2, b - m - 2},  // e
      {l, t + 2, 2, m - t - 2},  // f
      {l + 2, m, 4, 2},          // g
  };
  for (int digit = 0; digit <= 9; ++digit) {
    QImage img(14, 16, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int s = 0; s < 7; ++s) {
      const QRgb c = ((kSeg[digit] >> s) & 1) ? lit.rgb() : unlit.rgb();
      for (int y = seg[s].y; y < seg[s].y + seg[s].h; ++y)
        for (int x = seg[s].x; x < seg[s].x + seg[s].w; ++x) img.setPixel(x, y, c);
    }
    Save(img, QString("%1.png").arg(digit == 9 ? 240 : 241 + digit));
  }
}

// ---------------------------------------------------------------------------------------------
// Small notation for the grid cells: light glyphs on black.

const QColor kInk(225, 240, 255);

struct Ink {
  QPainter& p;
  double scale;  // pixels per staff space
};

// A note at (x, y) (head centre): kind 1 whole, 2 half, 4 quarter, 8 eighth, 16 sixteenth;
// flags only when not beamed. Returns the x of the stem.
double NoteAt(Ink& k, double x, double y, int kind, bool flags, double stemLen, int dots) {
  QPainter& p = k.p;
  const double s = k.scale;
  const bool open = kind <= 2;
  // The whole note is an upright oval with a wide, steeply tilted hole (a narrow hole reads as a
  // slash across a filled head at this size); the half note keeps the tilted head of the others.
  QPainterPath head = kind == 1 ? HeadPath(x, y, 0.72 * s, 0.48 * s, 0)
                                : HeadPath(x, y, 0.62 * s, 0.44 * s, -24);
  if (kind == 1) {
    head.addPath(HeadPath(x, y, 0.36 * s, 0.25 * s, 55));
    head.setFillRule(Qt::OddEvenFill);
  } else if (open) {
    head.addPath(HeadPath(x + 0.02 * s, y, 0.44 * s, 0.2 * s, -38));
    head.setFillRule(Qt::OddEvenFill);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPath(head);
  const double sx = x + 0.56 * s;
  if (kind >= 2) {
    p.drawRect(QRectF(sx - 0.55, y - stemLen, 1.3, stemLen - 0.1 * s));
    if (flags && kind >= 8) {
      for (int i = 0; i < (kind == 16 ? 2 : 1); ++i) {
        const double fy = y - stemLen + i * 0.55 * s;
        QPainterPath f;
        f.moveTo(sx, fy);
        f.cubicTo(sx + 0.2 * s, fy + 0.55 * s, sx + 0.95 * s, fy + 0.7 * s, sx + 0.75 * s,
                  fy + 1.45 * s);
        QPainterPathStroker st;
        st.setWidth(1.4);
        st.setCapStyle(Qt::RoundCap);
        p.drawPath(st.createStroke(f));
      }
    }
  }
  for (int d = 0; d < dots; ++d) {
    p.drawEllipse(QPointF(x + 0.95 * s + d * 0.42 * s, y - 0.1 * s), 0.14 * s + 0.4,
                  0.14 * s + 0.4);
  }
  return sx;
}

void Beam(Ink& k, double x0, double x1, double y, int count) {
  for (int i = 0; i < count; ++i) {
    k.p.drawRect(QRectF(x0 - 0.55, y + i * 0.38 * k.scale, x1 - x0 + 1.3, 0.22 * k.scale + 1.0));
  }
}

// The rest glyphs of the masks, redrawn in ink at a size.
void RestAt(Ink& k, double x, double y, int kind) {
  QPainter& p = k.p;
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  const double s = k.scale;
  p.save();
  switch (kind) {
    case 1:  // whole: hangs from a line
      p.setPen(QPen(QColor(110, 120, 130), 1.0));
      p.drawLine(QPointF(x - 0.9 * s, y), QPointF(x + 0.9 * s, y));
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(x - 0.55 * s, y, 1.1 * s, 0.5 * s));
      break;
    case 2:  // half: sits on a line
      p.setPen(QPen(QColor(110, 120, 130), 1.0));
      p.drawLine(QPointF(x - 0.9 * s, y), QPointF(x + 0.9 * s, y));
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(x - 0.55 * s, y - 0.5 * s, 1.1 * s, 0.5 * s));
      break;
    case 4:  // the mask's shape (32 units), centred on (x, y)
      p.translate(x - 13.0 * s / 9.5, y - 16.0 * s / 9.5);
      p.scale(s / 9.5, s / 9.5);
      QuarterRest(p);
      break;
    case 8:  // 24 units
      p.translate(x - 11.5 * s / 8.0, y - 13.0 * s / 8.0);
      p.scale(s / 8.0, s / 8.0);
      EighthRest(p);
      break;
    case 16:
      p.translate(x - 12.0 * s / 8.0, y - 13.0 * s / 8.0);
      p.scale(s / 8.0, s / 8.0);
      SixteenthRest(p);
      break;
  }
  p.restore();
}

QImage Cell(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::black);
  return img;
}

void WriteLengthGrid() {
  // Row 0: notes of 8, 7, 6, 4, 3.5, 3, 2, 1.5, 1, 0.5 eighths.
  struct N {
    int id, kind, dots;
  };
  const N notes[] = {{195, 1, 0}, {198, 2, 2}, {197, 2, 1}, {196, 2, 0}, {201, 4, 2},
                     {200, 4, 1}, {199, 4, 0}, {203, 8, 1}, {202, 8, 0}, {204, 16, 0}};
  for (const N& n : notes) {
    QImage img = Cell(30, 30);
    {
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing, true);
      Ink k{p, 8.0};
      const double x = n.dots == 2 ? 9.0 : (n.dots == 1 ? 10.5 : 13.0);
      const double x1 = n.kind >= 8 ? x - 2.0 : x;
      if (n.kind == 1) {
        Ink big{p, 12.0};
        NoteAt(big, 15.0, 15.0, 1, false, 0.0, 0);
      } else {
        NoteAt(k, x1, 22.0, n.kind, true, 17.0, n.dots);
      }
    }
    Save(img, QString("%1.png").arg(n.id));
  }
  // Row 1: rests; 209 is the blank cell.
  struct R {
    int id, kind;
  };
  const R rests[] = {{205, 1}, {206, 2}, {207, 4}, {208, 8}, {194, 16}};
  for (const R& r : rests) {
    QImage img = Cell(30, 30);
    {
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing, true);
      Ink k{p, 8.0};
      RestAt(k, 15.0, r.kind == 1 ? 12.0 : (r.kind == 2 ? 17.0 : 15.0), r.kind);
    }
    Save(img, QString("%1.png").arg(r.id));
  }
  Save(Cell(30, 30), "209.png");
}

// The triplet buttons: what the pattern takes (small, dimmed) and what it makes.
struct Figure {
  std::vector<int> kinds;  // 4 quarter, 8 eighth, 16 sixteenth
  bool triplet;
};

// Draws a group at x (baseline y); beams eighths and sixteenths that follow each other.
double DrawFigure(QPainter& p, const Figure& f, double x, double y, double s, double gap,
                  const QColor& ink) {
  Ink k{p, s};
  const double stem = 2.6 * s;
  std::vector<double> stems;
  std::vector<int> kinds = f.kinds;
  const double x0 = x;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const int kd = kinds[i];
    const bool prevBeam = i > 0 && kinds[i - 1] >= 8 && kd >= 8;
    const bool nextBeam = i + 1 < kinds.size() && kinds[i + 1] >= 8 && kd >= 8;
    p.setBrush(ink);
    stems.push_back(NoteAt(k, x, y, kd, !(prevBeam || nextBeam), stem, 0));
    x += gap * (kd == 4 ? 1.5 : (kd == 8 ? 1.0 : 0.8));
    if (kd >= 8 && !(prevBeam || nextBeam)) x += 0.7 * s;  // room for the flag
  }
  // Beams between neighbouring flagged notes.
  for (size_t i = 0; i + 1 < kinds.size(); ++i) {
    if (kinds[i] >= 8 && kinds[i + 1] >= 8) {
      Beam(k, stems[i], stems[i + 1], y - stem, 1);
      const double y2 = y - stem + 0.38 * s;
      if (kinds[i] == 16 && kinds[i + 1] == 16) {
        Beam(k, stems[i], stems[i + 1], y2, 1);
      } else if (kinds[i + 1] == 16) {
        Beam(k, stems[i + 1] - 0.7 * s, stems[i + 1], y2, 1);  // a short beam on the sixteenth
      } else if (kinds[i] == 16) {
        Beam(k, stems[i], stems[i] + 0.7 * s, y2, 1);
      }
    }
  }
  if (f.triplet) {
    const double bx0 = x0 - 0.4 * s, bx1 = stems[std::min<size_t>(2, stems.size() - 1)] + 0.4 * s;
    const double by = y - stem - 0.9 * s;
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::NoBrush);
    const double mid = (bx0 + bx1) / 2;
    p.drawLine(QPointF(bx0, by + 0.45 * s), QPointF(bx0, by));
    p.drawLine(QPointF(bx0, by), QPointF(mid - 0.45 * s, by));
    p.drawLine(QPointF(mid + 0.45 * s, by), QPointF(bx1, by));
    p.drawLine(QPointF(bx1, by), QPointF(bx1, by + 0.45 * s));
    QFont font("DejaVu Sans");
    font.setPixelSize(static_cast<int>(s * 1.15));
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(mid - s, by - 0.75 * s, 2 * s, 1.5 * s), Qt::AlignCenter, "3");
    p.setPen(Qt::NoPen);
  }
  return x;
}

void WriteTripletGrid() {
  struct T {
    int id;
    Figure from, to;
  };
  const T cells[] = {
      {256, {{8, 4, 8}, false}, {{4, 4, 4}, true}},
      {258, {{16, 8, 16}, false}, {{8, 8, 8}, true}},
      {260, {{16, 16, 16, 16}, false}, {{16, 16, 16, 8}, true}},
      {257, {{4, 8, 8}, false}, {{4, 4, 4}, true}},
      {259, {{8, 8}, false}, {{4, 8}, true}},
      {261, {{16, 16}, false}, {{8, 16}, true}},
  };
  for (const T& c : cells) {
    QImage img = Cell(220, 50);
    {
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing, true);
      const QColor dim(120, 150, 170);
      const double end = DrawFigure(p, c.from, 16.0, 40.0, 7.0, 15.0, dim);
      // The arrow.
      const double ax = std::max(end + 4.0, 84.0);
      p.setPen(QPen(QColor(150, 220, 150), 2.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(ax, 28.0), QPointF(ax + 22.0, 28.0));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(150, 220, 150));
      QPainterPath head;
      head.moveTo(ax + 28.0, 28.0);
      head.lineTo(ax + 20.0, 23.5);
      head.lineTo(ax + 20.0, 32.5);
      head.closeSubpath();
      p.drawPath(head);
      DrawFigure(p, c.to, ax + 44.0, 40.0, 8.0, 19.0, kInk);
    }
    Save(img, QString("%1.png").arg(c.id));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: skin_gen <output folder>\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  g_out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out);
  WriteMasks();
  WriteButtons();
  WriteDigits();
  WriteLengthGrid();
  WriteTripletGrid();
  std::printf("skin written to %s\n", qPrintable(g_out));
  return 0;
}
