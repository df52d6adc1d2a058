// The skin's bitmaps and the staff glyph masks, read from the program folder's "skin" folder.
//
// Bitmaps are found by their resource id ("skin/168.png"); glyph masks by name
// ("skin/glyphs/sharp.png", black = set). Both are read once and kept.
#pragma once

#include "platform/qt/dc.h"

#include <cstdint>
#include <string>
#include <vector>

// Loads the bitmap of a resource id (only the low 16 bits count). False, with *out made null,
// when the skin has no such bitmap.
bool LoadSkinBitmap(int id, plat::Bitmap* out);

// A glyph mask: rows of 0/1 cells.
struct GlyphMask {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> cells;  // row-major
  bool At(int column, int row) const {
    return column >= 0 && row >= 0 && column < width && row < height &&
           cells[static_cast<size_t>(row) * width + column] != 0;
  }
};

enum class Glyph {
  TrebleClef, BassClef, PercussionClef,             // 32 x 32
  Sharp, Flat, Natural,                             // 28 x 28
  OpenHead, FilledHead, CrossHead, SecondFilledHead,  // 16 x 16
  Stem, StemOneFlag, StemTwoFlags,                  // 16 x 32
  EighthRest, SixteenthRest,                        // 24 x 24
  QuarterRest,                                      // 32 x 32
  BarRest,                                          // 24 x 24 (half and whole rest)
  Dot,                                              // 4 x 4
  Tie,                                              // 32 x 8
  CrossMark,                                        // 9 x 9
  Count
};

// The mask of a glyph. A mask that cannot be read is reported once (the picture base's drawing
// error) and comes back with every cell clear, at its proper size.
const GlyphMask& GetGlyph(Glyph glyph);

// Forgets what was read (tests that change the program folder).
void ResetSkinResources();
