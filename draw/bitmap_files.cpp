#include "draw/bitmap_files.h"

#include "draw/offscreen_picture.h"
#include "platform/core/files.h"
#include "platform/qt/image_files.h"
#include "util/byte_cursor.h"
#include "util/gne.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct BitmapFileState {
  int made = 0;  // bitmaps made by this module and not deleted yet
};

BitmapFileState& State() {
  static BitmapFileState state;
  return state;
}

// Bit depth of a colours argument; 0 for a value no file is written for.
int BitsFor(int colours) {
  switch (colours) {
    case 0: return 24;
    case 2: return 1;
    case 16: return 4;
    case 256: return 8;
    default: return 0;
  }
}

struct Rgb {
  int r, g, b;
};

const std::array<Rgb, 16> kVgaColours = {{{0, 0, 0},
                                          {128, 0, 0},
                                          {0, 128, 0},
                                          {128, 128, 0},
                                          {0, 0, 128},
                                          {128, 0, 128},
                                          {0, 128, 128},
                                          {192, 192, 192},
                                          {128, 128, 128},
                                          {255, 0, 0},
                                          {0, 255, 0},
                                          {255, 255, 0},
                                          {0, 0, 255},
                                          {255, 0, 255},
                                          {0, 255, 255},
                                          {255, 255, 255}}};

std::vector<Rgb> PaletteFor(int bits) {
  std::vector<Rgb> p;
  if (bits == 1) {
    p = {{0, 0, 0}, {255, 255, 255}};
  } else if (bits == 4) {
    p.assign(kVgaColours.begin(), kVgaColours.end());
  } else if (bits == 8) {
    for (int r = 0; r < 6; ++r) {
      for (int g = 0; g < 6; ++g) {
        for (int b = 0; b < 6; ++b) p.push_back({r * 51, g * 51, b * 51});
      }
    }
    // Greys between the cube's own: 40 steps that miss its six.
    for (int i = 0; i < 40; ++i) {
      const int v = 5 + i * 250 / 39;
      p.push_back({v, v, v});
    }
  }
  return p;
}

int Distance(const Rgb& a, int r, int g, int b) {
  return (a.r - r) * (a.r - r) + (a.g - g) * (a.g - g) + (a.b - b) * (a.b - b);
}

// The nearest entry of the palette.
int NearestIndex(const std::vector<Rgb>& palette, int bits, int r, int g, int b) {
  if (bits == 8) {
    // The cube's nearest corner, then the nearest grey.
    const int ri = (r + 25) / 51, gi = (g + 25) / 51, bi = (b + 25) / 51;
    int best = ri * 36 + gi * 6 + bi;
    int bestD = Distance(palette[best], r, g, b);
    for (int i = 216; i < 256; ++i) {
      const int d = Distance(palette[i], r, g, b);
      if (d < bestD) {
        bestD = d;
        best = i;
      }
    }
    return best;
  }
  int best = 0, bestD = Distance(palette[0], r, g, b);
  for (int i = 1; i < static_cast<int>(palette.size()); ++i) {
    const int d = Distance(palette[i], r, g, b);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

void ReportBitmapFile() { BitmapFileErrorMsg(0); }

// The file's bytes with its headers checked against its length; false (nothing reported)
// when they do not fit. `info` receives the information header.
bool CheckedBitmapFile(const std::vector<uint8_t>& file, BitmapInfoHeader* info,
                       uint32_t* pixelOffset) {
  ByteReader in(file.data(), file.size());
  if (in.U16Le() != 0x4D42) return false;
  in.Skip(8);
  const uint32_t offset = in.U32Le();
  BitmapInfoHeader h;
  h.size = in.U32Le();
  h.width = in.I32Le();
  h.height = in.I32Le();
  h.planes = in.U16Le();
  h.bitCount = in.U16Le();
  h.compression = in.U32Le();
  h.sizeImage = in.U32Le();
  h.xPelsPerMeter = in.I32Le();
  h.yPelsPerMeter = in.I32Le();
  h.clrUsed = in.U32Le();
  h.clrImportant = in.U32Le();
  if (!in.ok()) return false;
  if (h.size < kBitmapInfoHeaderSize || h.size > file.size() - kBitmapFileHeaderSize) return false;
  if (offset < kBitmapFileHeaderSize + h.size || offset > file.size()) return false;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN || h.planes != 1) return false;
  const int bits = h.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  // The colour table lies between the headers and the pixels.
  if (bits <= 8) {
    const uint64_t entries = h.clrUsed != 0 ? h.clrUsed : (1u << bits);
    if (entries > (1u << bits)) return false;
    if (kBitmapFileHeaderSize + h.size + entries * 4 > offset) return false;
  }
  const uint64_t rows = static_cast<uint64_t>(std::abs(static_cast<int64_t>(h.height)));
  const uint64_t rowBytes = (static_cast<uint64_t>(h.width) * bits + 31) / 32 * 4;
  switch (h.compression) {
    case 0:  // plain rows
    case 3:  // rows with bit masks
      if (h.compression == 3 && bits != 16 && bits != 32) return false;
      if (rowBytes * rows > file.size() - offset) return false;
      break;
    case 1:  // run-length, 8 and 4 bits: the decoder stops at the end of the data
    case 2:
      if ((h.compression == 1 && bits != 8) || (h.compression == 2 && bits != 4)) return false;
      if (h.height < 0) return false;
      break;
    default:
      return false;
  }
  // The decoded image must stay a sensible size.
  if (static_cast<uint64_t>(h.width) * rows > (uint64_t{1} << 28)) return false;
  *info = h;
  *pixelOffset = offset;
  return true;
}

bool ReadChecked(const std::filesystem::path& path, std::vector<uint8_t>* file,
                 BitmapInfoHeader* info, uint32_t* offset) {
  if (!plat::ReadWholeFile(path, *file) || !CheckedBitmapFile(*file, info, offset)) {
    ReportBitmapFile();
    return false;
  }
  return true;
}

}  // namespace

void ResetBitmapFileState() { State() = BitmapFileState(); }

void BitmapFileErrorMsg(uint32_t code) {
  char text[64];
  std::snprintf(text, sizeof text, "BMPF%08X %s", static_cast<unsigned>(code),
                "Error occured in Bitmap!");
  GneMessageBox(text);
}

namespace {

// A bitmap's file: its headers and colour table, then its rows bottom first, each encoded on
// request (so that a large image is written without a second copy of it in memory).
class BitmapFileEncoder {
 public:
  BitmapFileEncoder(const plat::Bitmap& bitmap, int colours)
      : image_(bitmap.Image()), bits_(BitsFor(colours)) {
    if (bits_ == 0 || bitmap.IsNull()) return;
    width_ = image_.width();
    height_ = image_.height();
    rowBytes_ = (static_cast<uint64_t>(width_) * bits_ + 31) / 32 * 4;
    const uint64_t imageSize = rowBytes_ * static_cast<uint64_t>(height_);
    const uint64_t offset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4u * colours;
    if (offset + imageSize > UINT32_MAX) return;
    palette_ = PaletteFor(bits_);
    header_.assign(static_cast<size_t>(offset), '\0');
    ByteWriter w(header_.data(), header_.size());
    w.U16Le(0x4D42);
    w.U32Le(static_cast<uint32_t>(offset + imageSize));
    w.U32Le(0);
    w.U32Le(static_cast<uint32_t>(offset));
    w.U32Le(kBitmapInfoHeaderSize);
    w.I32Le(width_);
    w.I32Le(height_);
    w.U16Le(1);
    w.U16Le(static_cast<uint32_t>(bits_));
    w.U32Le(0);
    w.U32Le(static_cast<uint32_t>(imageSize));
    w.Zeros(16);  // resolution and colour counts
    for (const Rgb& c : palette_) {
      w.U8(static_cast<uint8_t>(c.b));
      w.U8(static_cast<uint8_t>(c.g));
      w.U8(static_cast<uint8_t>(c.r));
      w.U8(0);
    }
    if (!w.ok()) header_.clear();
  }

  bool ok() const { return !header_.empty(); }
  const std::string& Header() const { return header_; }
  int Rows() const { return height_; }
  uint64_t RowBytes() const { return rowBytes_; }

  // The file's n-th row (the image's row height - 1 - n) into `row`, RowBytes() zeroed bytes.
  void EncodeRow(int n, uint8_t* row) const {
    const QRgb* line = reinterpret_cast<const QRgb*>(image_.constScanLine(height_ - 1 - n));
    if (bits_ == 24) {
      for (int x = 0; x < width_; ++x, row += 3) {
        const QRgb p = line[x];
        row[0] = static_cast<uint8_t>(qBlue(p));
        row[1] = static_cast<uint8_t>(qGreen(p));
        row[2] = static_cast<uint8_t>(qRed(p));
      }
      return;
    }
    for (int x = 0; x < width_; ++x) {
      const int index = NearestIndex(palette_, bits_, qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
      const int bit = x * bits_;
      row[bit / 8] |= static_cast<uint8_t>(index << (8 - bits_ - bit % 8));
    }
  }

 private:
  const QImage& image_;
  const int bits_;
  int width_ = 0, height_ = 0;
  uint64_t rowBytes_ = 0;
  std::vector<Rgb> palette_;
  std::string header_;
};

}  // namespace

std::string EncodeBitmapFile(const plat::Bitmap& bitmap, int colours) {
  const BitmapFileEncoder encoder(bitmap, colours);
  if (!encoder.ok()) return std::string();
  std::string out = encoder.Header();
  const size_t start = out.size();
  out.resize(start + encoder.RowBytes() * static_cast<uint64_t>(encoder.Rows()), '\0');
  uint8_t* pixels = reinterpret_cast<uint8_t*>(out.data()) + start;
  for (int n = 0; n < encoder.Rows(); ++n) encoder.EncodeRow(n, pixels + n * encoder.RowBytes());
  return out;
}

int SaveBitmapFile(const plat::Bitmap* bitmap, const std::filesystem::path& path, int colours) {
  if (!bitmap) {
    ReportBitmapFile();
    return 0;
  }
  const BitmapFileEncoder encoder(*bitmap, colours);
  // The rows go out in pieces of about a megabyte.
  const uint64_t rowBytes = std::max<uint64_t>(encoder.RowBytes(), 1);
  const int rowsPerPiece = static_cast<int>(std::max<uint64_t>(1, (uint64_t{1} << 20) / rowBytes));
  std::vector<uint8_t> piece;
  int next = -1;  // -1: the headers are next
  const bool written =
      encoder.ok() &&
      plat::WriteFileAtomicFrom(path, [&](const void** data, size_t* size) {
        if (next < 0) {
          *data = encoder.Header().data();
          *size = encoder.Header().size();
          next = 0;
          return 1;
        }
        if (next >= encoder.Rows()) return 0;
        const int rows = std::min(rowsPerPiece, encoder.Rows() - next);
        piece.assign(static_cast<size_t>(rows * rowBytes), 0);
        for (int n = 0; n < rows; ++n) encoder.EncodeRow(next + n, piece.data() + n * rowBytes);
        next += rows;
        *data = piece.data();
        *size = piece.size();
        return 1;
      });
  if (!written) {
    ReportBitmapFile();
    return 0;
  }
  return 1;
}

int SaveImageFile(const plat::Bitmap* bitmap, const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".bmp" || !bitmap || bitmap->IsNull()) return SaveBitmapFile(bitmap, path, 0);
  if (!plat::WriteImageFile(bitmap->Image(), path, 100)) {
    ReportBitmapFile();
    return 0;
  }
  return 1;
}

plat::Bitmap* LoadBitmapFile(const std::filesystem::path& path) {
  std::vector<uint8_t> file;
  BitmapInfoHeader info;
  uint32_t offset = 0;
  if (!ReadChecked(path, &file, &info, &offset)) return nullptr;
  const QImage image = plat::DecodeImage(file, "bmp");
  if (image.isNull()) {
    ReportBitmapFile();
    return nullptr;
  }
  ++State().made;
  return new plat::Bitmap(image);
}

bool ReadBitmapInfoHeader(const std::filesystem::path& path, BitmapInfoHeader* record) {
  std::vector<uint8_t> file;
  BitmapInfoHeader info;
  uint32_t offset = 0;
  if (!ReadChecked(path, &file, &info, &offset)) return false;
  if (record) *record = info;
  return true;
}

bool WriteBitmapHeaderBlock(const std::filesystem::path& path, const uint8_t* block,
                            size_t size) {
  std::vector<uint8_t> file;
  if (!plat::ReadWholeFile(path, file)) {
    ReportBitmapFile();
    return false;
  }
  ByteReader in(file.data(), file.size());
  const uint16_t type = in.U16Le();
  in.Skip(8);
  const uint32_t offset = in.U32Le();
  if (!in.ok() || type != 0x4D42 || offset < kBitmapFileHeaderSize || offset > file.size() ||
      size != offset - kBitmapFileHeaderSize || (size > 0 && block == nullptr)) {
    ReportBitmapFile();
    return false;
  }
  std::copy(block, block + size, file.begin() + kBitmapFileHeaderSize);
  if (!plat::WriteFileAtomic(path, file)) {
    ReportBitmapFile();
    return false;
  }
  return true;
}

plat::Bitmap* CreatePatternBitmap(int width, int height, uint32_t rop, const plat::Brush& brush) {
  auto* bitmap = new plat::Bitmap(width, height, 0);
  plat::Dc dc;
  dc.SelectBitmap(bitmap);
  dc.SelectBrush(brush);
  dc.PatBlt(0, 0, width, height, rop);
  dc.SelectBitmap(nullptr);
  ++State().made;
  return bitmap;
}

void DeleteBitmapObject(plat::Bitmap* bitmap) {
  if (!bitmap) return;
  delete bitmap;
  --State().made;
}

int BitmapObjectCount() { return State().made; }

void DrawLyric(plat::Bitmap* bitmap, int amount) {
  if (!bitmap) {
    GneMessageBox("DrawLyric1");
    return;
  }
  amount = std::clamp(amount, 0, 255);
  std::array<uint8_t, 256> lut;
  for (int c = 0; c < 256; ++c) {
    lut[c] = static_cast<uint8_t>(static_cast<int>(c / 255.0 * (255 - amount) + amount));
  }
  QImage& image = bitmap->Image();
  for (int y = 0; y < image.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      line[x] = qRgb(lut[qRed(line[x])], lut[qGreen(line[x])], lut[qBlue(line[x])]);
    }
  }
}

plat::ColorRef BlendColors(plat::ColorRef a, plat::ColorRef b) {
  return plat::Rgb((plat::GetRValue(a) + plat::GetRValue(b)) / 2,
                   (plat::GetGValue(a) + plat::GetGValue(b)) / 2,
                   (plat::GetBValue(a) + plat::GetBValue(b)) / 2);
}

// ------------------------------------------------------------------------------------ CDCEx

plat::ColorRef CDCEx::AverageColor(const plat::Rect& rect, bool* any) const {
  const int left = std::max(rect.left, 0), top = std::max(rect.top, 0);
  const int right = std::min(rect.right, Width() - 1), bottom = std::min(rect.bottom, Height() - 1);
  int64_t r = 0, g = 0, b = 0, n = 0;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      const plat::ColorRef c = GetPixel(x, y);
      r += plat::GetRValue(c);
      g += plat::GetGValue(c);
      b += plat::GetBValue(c);
      ++n;
    }
  }
  if (any) *any = n > 0;
  if (n == 0) return 0;
  return plat::Rgb(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n));
}

void CDCEx::DrawBlendedText(std::string_view text, plat::Rect& rect, plat::ColorRef colour) {
  bool any = false;
  plat::ColorRef background = AverageColor(rect, &any);
  if (!any) background = colour;
  const plat::ColorRef before = SetTextColor(colour);
  DrawText(text, rect, 0);
  rect.left += 1;
  SetTextColor(BlendColors(background, colour));
  DrawText(text, rect, 0);
  SetTextColor(before);
}

void CDCEx::DrawCircle(int left, int top, int right, int bottom, plat::ColorRef fill,
                       plat::ColorRef outline) {
  const plat::Brush brush = SelectBrush(plat::SolidBrush(fill));
  const plat::Pen pen = SelectPen(plat::Pen{plat::PS_SOLID, 1, outline});
  Ellipse(left, top, right, bottom);
  SelectPen(pen);
  SelectBrush(brush);
}

void CDCEx::SelectPointFont(std::optional<plat::LogFont>& previous, const std::string& face,
                            int points) {
  plat::LogFont font;
  font.height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
  font.faceName = face;
  previous = SelectFont(font);
}

void CDCEx::SelectShiftJisFont(std::optional<plat::LogFont>& previous, int height) {
  ::SelectShiftJisFont(this, previous, height);
}

void CDCEx::RestoreFont(std::optional<plat::LogFont>& previous) { ::RestoreFont(this, previous); }
