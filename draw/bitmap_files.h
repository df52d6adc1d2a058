// .bmp files, bitmaps made and counted for the pictures, and the extended device context.
//
// Files written: "BM" header (14 bytes), a 40-byte information header (width, height positive
// so rows run bottom-up, one plane, the bit depth, no compression, the pixel bytes; resolution
// and colour counts 0), a colour table for 1, 4 and 8 bits (black and white; the sixteen VGA
// colours; the 6 x 6 x 6 cube and 40 greys), then the rows, each padded to 4 bytes.
// Pixels of indexed depths take the nearest colour of the table.
//
// Readers check the headers against the file before anything is read through them; a damaged
// file gives the "BMPF" box and nothing is read outside it.
#pragma once

#include "platform/qt/dc.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The 40-byte information header, field by field.
struct BitmapInfoHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapInfoHeaderSize = 40;

// Writes the bitmap: colours 0 gives 24 bits per pixel, 2 one bit, 16 four and 256 eight. 1
// when written; 0 after the BMPF box (no bitmap, another colours value, a file that cannot be
// written), leaving any earlier file as it was.
int SaveBitmapFile(const plat::Bitmap* bitmap, const std::filesystem::path& path, int colours);
// Writes the bitmap in the format the extension names: a 24-bit .bmp as SaveBitmapFile does, or
// another format the image writers know at quality 100. 1 when written; 0 after the BMPF box.
int SaveImageFile(const plat::Bitmap* bitmap, const std::filesystem::path& path);

// Reads a .bmp file into a new bitmap, counted; null after the BMPF box when the file cannot
// be read or its headers do not fit it.
plat::Bitmap* LoadBitmapFile(const std::filesystem::path& path);
// The file's information header; false after the BMPF box as above.
bool ReadBitmapInfoHeader(const std::filesystem::path& path, BitmapInfoHeader* record);
// Replaces the information header and colour table (the bytes from offset 14 up to the pixels)
// by the block. A block of another size than the file has room for is reported and nothing
// is written. False after the BMPF box.
bool WriteBitmapHeaderBlock(const std::filesystem::path& path, const uint8_t* block,
                            size_t size);

// A bitmap filled by a raster operation with the brush (PATCOPY, WHITENESS, ...), counted.
plat::Bitmap* CreatePatternBitmap(int width, int height, uint32_t rop,
                                  const plat::Brush& brush = plat::SolidBrush(0xFFFFFF));
// Deletes a bitmap made above and counts it down.
void DeleteBitmapObject(plat::Bitmap* bitmap);
// Bitmaps made by the functions above and not deleted yet.
int BitmapObjectCount();

// "BMPF%08X Error occured in Bitmap!" in an ordinary box.
void BitmapFileErrorMsg(uint32_t code);

// Lightens every pixel towards white: c becomes trunc(c / 255 x (255 - amount) + amount).
void DrawLyric(plat::Bitmap* bitmap, int amount);

// Per channel (a + b) / 2.
plat::ColorRef BlendColors(plat::ColorRef a, plat::ColorRef b);

// The encoded file of a bitmap (what SaveBitmapFile writes); empty for no bitmap or another
// colours value.
std::string EncodeBitmapFile(const plat::Bitmap& bitmap, int colours);

// The device context with a few drawing helpers of its own.
class CDCEx : public plat::Dc {
 public:
  using plat::Dc::Dc;

  // The text in the colour, then once more one pixel to the right (the rectangle's left moves
  // and stays moved) in the blend of the colour with the rectangle's average colour; a
  // rectangle with no pixels on the surface blends with the text colour itself.
  void DrawBlendedText(std::string_view text, plat::Rect& rect, plat::ColorRef colour);
  // Per channel, the average of the pixels from left to right and top to bottom, edges
  // included, as far as they lie on the surface. *any tells whether there was one; with none
  // the result is 0.
  plat::ColorRef AverageColor(const plat::Rect& rect, bool* any = nullptr) const;
  // An ellipse filled with the fill colour, outlined by a 1-pixel pen; pen and brush come back.
  void DrawCircle(int left, int top, int right, int bottom, plat::ColorRef fill,
                  plat::ColorRef outline);
  // Selects a font of `points` points (at the screen's 96 dots per inch) in the face, keeping
  // the font before in `previous`.
  void SelectPointFont(std::optional<plat::LogFont>& previous, const std::string& face,
                       int points);
  void SelectShiftJisFont(std::optional<plat::LogFont>& previous, int height);
  void RestoreFont(std::optional<plat::LogFont>& previous);
};

void ResetBitmapFileState();
