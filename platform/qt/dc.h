// Device context over an RGB32 image, keeping the rules the pictures were drawn with:
//
// - The pen, brush, font, text colour, background colour, background mode, text alignment and
//   raster mode stay selected until changed; every Select/Set returns what was there before.
// - Rectangles (Rectangle, FillRect, InvertRect, FrameRect, Ellipse) cover left..right-1 and
//   top..bottom-1: the far edges are excluded. A Rectangle drawn with the null pen fills one
//   pixel less in both directions, as the outline it would have had is not there.
// - LineTo draws from the current position up to, but not including, the end point, and moves
//   the current position there.
// - Colours are 0x00BBGGRR values.
// - Fonts are logical fonts: a positive height is the cell height (ascent + descent), a negative
//   height the character (em) height, 0 a default of 16 pixels of cell. Japanese faces and the
//   Shift-JIS character set draw in IPA Gothic; Courier New in its metric twin; text is never
//   antialiased.
// - Text passed in is CP932.
// - Everything outside the surface (and outside the clip rectangle, when one is set) is clipped.
#pragma once

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QFont;
class QPainter;

namespace plat {

using ColorRef = uint32_t;  // 0x00BBGGRR

constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

struct Point {
  int x = 0;
  int y = 0;
};

struct Size {
  int cx = 0;
  int cy = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;

struct Pen {
  int style = PS_SOLID;
  int width = 1;  // 0 and 1 are both one pixel
  ColorRef color = 0;
};

// Brush styles.
constexpr int BS_SOLID = 0;
constexpr int BS_NULL = 1;

struct Brush {
  int style = BS_SOLID;
  ColorRef color = 0xFFFFFF;
};

// Font weights and character sets.
constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t SHIFTJIS_CHARSET = 128;

struct LogFont {
  int32_t height = 0;  // > 0 cell height, < 0 character height, 0 default
  int32_t width = 0;   // average character width, 0 = natural
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = FW_DONTCARE;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = ANSI_CHARSET;
  std::string faceName;  // CP932, empty = the default face
};

// Stock objects.
inline Pen NullPen() { return Pen{PS_NULL, 1, 0}; }
inline Pen BlackPen() { return Pen{PS_SOLID, 1, 0}; }
inline Pen WhitePen() { return Pen{PS_SOLID, 1, 0xFFFFFF}; }
inline Brush NullBrush() { return Brush{BS_NULL, 0}; }
inline Brush SolidBrush(ColorRef c) { return Brush{BS_SOLID, c}; }

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Text alignment (TextOut).
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;

// DrawText flags.
constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_EXPANDTABS = 0x0040;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;

// Raster operations of the blits.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t NOTSRCCOPY = 0x00330008;
constexpr uint32_t DSTINVERT = 0x00550009;
constexpr uint32_t PATCOPY = 0x00F00021;
constexpr uint32_t BLACKNESS = 0x00000042;
constexpr uint32_t WHITENESS = 0x00FF0062;

// Raster modes of the pen (SetROP2).
constexpr int R2_BLACK = 1;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_COPYPEN = 13;
constexpr int R2_WHITE = 16;

struct TextMetrics {
  int height = 0;   // ascent + descent
  int ascent = 0;
  int descent = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  int externalLeading = 0;
};

// A surface of pixels (RGB32). Copies share the pixels until one of them is drawn on.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, ColorRef fill = 0);
  explicit Bitmap(const QImage& image);

  bool IsNull() const { return image_.isNull(); }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }

  // Reads an image file (BMP, PNG, ...); false when it cannot be read.
  bool Load(const std::filesystem::path& path);
  // Writes the image; the format follows the extension (".bmp" = 24-bit BMP).
  bool Save(const std::filesystem::path& path) const;

  ColorRef GetPixel(int x, int y) const;  // 0xFFFFFFFF outside
  void SetPixel(int x, int y, ColorRef c);

  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

// The device context. It draws into the bitmap selected into it (its own when built with a size).
class Dc {
 public:
  Dc();
  // A memory context with a surface of its own of this size, black as a new bitmap is.
  Dc(int width, int height);
  ~Dc();
  Dc(const Dc&) = delete;
  Dc& operator=(const Dc&) = delete;

  // Selects a bitmap to draw into (not owned; nullptr = none, nothing is drawn) and returns
  // the one selected before.
  Bitmap* SelectBitmap(Bitmap* bitmap);
  Bitmap* SelectedBitmap() const { return bitmap_; }
  bool HasSurface() const { return bitmap_ != nullptr && !bitmap_->IsNull(); }
  int Width() const;
  int Height() const;

  // Persistent state.
  Pen SelectPen(const Pen& pen);
  Brush SelectBrush(const Brush& brush);
  LogFont SelectFont(const LogFont& font);
  const Pen& CurrentPen() const { return pen_; }
  const Brush& CurrentBrush() const { return brush_; }
  const LogFont& CurrentFont() const { return font_; }
  ColorRef SetTextColor(ColorRef c);
  ColorRef SetBkColor(ColorRef c);
  int SetBkMode(int mode);
  unsigned SetTextAlign(unsigned align);
  int SetROP2(int mode);
  ColorRef GetTextColor() const { return textColor_; }
  ColorRef GetBkColor() const { return bkColor_; }
  int GetBkMode() const { return bkMode_; }

  // Clipping: drawing is limited to the rectangle (and the surface). An empty call clears it.
  void SetClipRect(const Rect& r);
  void ClearClip();

  // Pixels.
  ColorRef GetPixel(int x, int y) const;  // 0xFFFFFFFF outside the surface
  void SetPixel(int x, int y, ColorRef c);

  // Lines and shapes with the pen and brush.
  Point MoveTo(int x, int y);
  void LineTo(int x, int y);
  Point CurrentPosition() const { return position_; }
  void Polyline(const std::vector<Point>& points);
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const Rect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void Ellipse(int left, int top, int right, int bottom);
  void Polygon(const std::vector<Point>& points);

  // Areas without the pen.
  void FillRect(const Rect& r, const Brush& brush);
  // Fills with a colour; like the class library's helper it leaves that colour as the
  // background colour.
  void FillSolidRect(const Rect& r, ColorRef c);
  void FrameRect(const Rect& r, const Brush& brush);
  void InvertRect(const Rect& r);

  // Text (CP932).
  bool TextOut(int x, int y, std::string_view text);
  // Returns the height of the text; with DT_VCENTER or DT_BOTTOM the offset from the top of
  // the rectangle to the bottom of the drawn text. DT_CALCRECT only measures: it sets the
  // rectangle's right and bottom and draws nothing.
  int DrawText(std::string_view text, Rect& rect, unsigned format);
  int DrawText(std::string_view text, const Rect& rect, unsigned format) {
    Rect r = rect;
    return DrawText(text, r, format);
  }
  Size GetTextExtent(std::string_view text) const;
  TextMetrics GetTextMetrics() const;

  // Blits. The source rectangle is clipped to the source surface.
  bool BitBlt(int x, int y, int width, int height, const Dc& src, int sx, int sy, uint32_t rop);
  bool BitBlt(int x, int y, int width, int height, const Bitmap& src, int sx, int sy,
              uint32_t rop);
  bool StretchBlt(int x, int y, int width, int height, const Dc& src, int sx, int sy,
                  int swidth, int sheight, uint32_t rop);
  bool StretchBlt(int x, int y, int width, int height, const Bitmap& src, int sx, int sy,
                  int swidth, int sheight, uint32_t rop);
  // A raster operation that needs no source (PATCOPY, DSTINVERT, BLACKNESS, WHITENESS).
  bool PatBlt(int x, int y, int width, int height, uint32_t rop);

  // The QFont that a logical font stands for (exposed for measuring outside a Dc).
  static QFont MakeQFont(const LogFont& font);

 private:
  Rect ClipBox() const;
  void PutPixel(int x, int y, ColorRef c, bool usePenRop);
  void HLine(int x0, int x1, int y, ColorRef c);  // x0..x1-1, pen raster mode
  void FillArea(const Rect& r, ColorRef c);         // plain copy, clipped
  void BeginPainter(QPainter& p) const;
  void DrawTextLine(QPainter& p, const QFont& f, int x, int top, const QString& text,
                    int width) const;

  Bitmap own_;
  Bitmap* bitmap_ = nullptr;
  Pen pen_;
  Brush brush_;
  LogFont font_;
  ColorRef textColor_ = 0;
  ColorRef bkColor_ = 0xFFFFFF;
  int bkMode_ = OPAQUE;
  unsigned textAlign_ = TA_LEFT | TA_TOP;
  int rop2_ = R2_COPYPEN;
  bool hasClip_ = false;
  Rect clip_;
  Point position_;
  int dashPhase_ = 0;
};

// A fixed-pitch face for Japanese text, at the size of `like`: IPA Gothic, whose half-width
// characters are exactly half as wide as its full-width ones, so that rows indented with spaces
// line up under rows of kanji; else another such face; else the system's fixed-pitch font.
QFont FixedPitchJapaneseFont(const QFont& like);

}  // namespace plat
