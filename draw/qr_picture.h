// QR Codes on pictures and in image files. Both encode at level M with the smallest version that
// holds the text and the mask chosen by penalty.
//
// CQrPicture: up to four instances, each a host control showing the QR Code of its text inside
// a margin: the symbol fills the square of side min(width, height) - 2 x margin at the top-left
// margin, each pixel taking the module under it (modules may differ by a pixel). A text that
// cannot be encoded leaves the background; a margin too large for the control beeps.
//
// CQrImageFile: the QR Code of a text as an image file of a given side, in the format the
// target's extension names; the intermediate 24-bit .bmp (one pixel a module, within the margin)
// stays beside it.
#pragma once

#include "draw/offscreen_picture.h"

#include <cstdint>
#include <filesystem>
#include <string>

class CQrPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 4;
  static constexpr int kTextSize = 1024;  // bytes of text an instance keeps, with its zero

  // Instance 0 on the control, blank text, white background.
  CQrPicture(COffScreenControl* control, const Rect& rect, int margin);
  ~CQrPicture() override;

  // A further instance; false (nothing added) when the picture holds its four already.
  bool AddSymbol(COffScreenControl* control, const Rect& rect, int margin);

  // Keeps at most 1,023 bytes of the text and redraws the instance's surface (no copy to the
  // control).
  static void SetText(const char* text, int instance);
  // The colour around and between the dark modules; takes effect at the next draw.
  static void SetBackground(plat::ColorRef colour, int instance);
  // Moves the instance's control to the rectangle with a new surface of its size, and redraws.
  static void Resize(const Rect& rect, int instance);

  static void DrawSymbol(int instance);
  static void DrawAll();
  static void BlitAll();

  // The instance's surface as a 24-bit .bmp file (SaveBitmap), or as an image in the format the
  // extension names (SaveImage). 1 when written; 0 after the BMPF box.
  static int SaveBitmap(const std::filesystem::path& path, int instance);
  static int SaveImage(const std::filesystem::path& path, int instance);

  static int Count();
  static std::string Text(int instance);
  static int Margin(int instance);
  static plat::Dc* Surface(int instance);
  static COffScreenControl* Control(int instance);
  // Beeps given for margins too large for their control, since the last ResetState.
  static int BeepCount();

  static void ResetState();

 private:
  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
};

class CQrImageFile {
 public:
  // The side of the final image in pixels and the file it goes to.
  CQrImageFile(int pixelSize, const std::filesystem::path& target);

  // Writes the target's name with the extension ".bmp" (WriteMarginBitmap), then that image
  // scaled without smoothing to pixelSize x pixelSize to the target in the format its extension
  // names, at quality 100. 1 when both are written; 0 when the text cannot be encoded, the side
  // is not 1-16384 or a file cannot be read or written (the earlier target is then left as
  // it was).
  int Save(const char* text, int margin);

  // The symbol, one pixel a module, black on white inside a white margin of `margin` pixels
  // (0-4096), as a 24-bit .bmp file. 1 when written; 0 (nothing written) when the text cannot
  // be encoded or the margin is out of range, or after the BMPF box.
  static int WriteMarginBitmap(const std::filesystem::path& path, const char* text, int margin);
  // The symbol with the given encoding values, one pixel a module, no margin, as a 24-bit .bmp
  // file. The symbol's size when written; 0 when the text cannot be encoded, or after the box.
  static int WriteBitmap(const std::filesystem::path& path, const char* text, int level,
                         int version, int allowLarger, int mask);

  // The intermediate .bmp of a target: the file name's extension (after its last ".") replaced,
  // or ".bmp" appended to a name without one; folders are left alone.
  static std::filesystem::path BitmapPathFor(const std::filesystem::path& target);

  int PixelSize() const { return pixelSize_; }
  const std::filesystem::path& Target() const { return target_; }

 private:
  std::filesystem::path target_;
  int pixelSize_;
};
