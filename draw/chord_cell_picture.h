// Small grids of text cells with a cursor cell, each grid in its own host control (the chord
// row under the score: one grid of 1 x 4 per bar, one cell per beat).
//
// Text block: the form in which whole grids of texts are handed in and out, rows x 16 columns
// x 32 bytes (row stride 512), each slot one zero-terminated text of at most 31 bytes.
#pragma once

#include "draw/grid_picture.h"

#include <functional>
#include <string>

using CellCallback = std::function<void(int grid, int row, int column)>;

class CChordCellPicture : public CTextCellGridPicture<CChordCellPicture, 10, 48, CellCallback> {
 public:
  static constexpr plat::ColorRef kBackground = 0x96C896;
  static constexpr plat::ColorRef kActive = 0xB4FFDC;
  static constexpr plat::ColorRef kCursor = 0x96FF96;
  static constexpr plat::ColorRef kInactive = 0xC8C8C8;
  static constexpr plat::ColorRef kHidden = 0xC8C2C2;

  // rows and columns above the limits show "error" and become 10 x 16; 0 or fewer become 1.
  // block may be null (empty texts).
  CChordCellPicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                    const char* block, CellCallback press, CellCallback release);

  // Adds a grid; a full picture ("error") or a size out of range is refused / clamped.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const char* block, CellCallback press, CellCallback release);

  static void SetCellText(int grid, int column, const std::string& text, int row);
  static void SetCellShown(int grid, int row, int column, int flag);
  static void SetCellActive(int grid, int row, int column, int flag);
  static void SetCursor(int grid, int row, int column);
  static void ClearCursor(int grid);
  static void GetCursor(int grid, int* row, int* column);
  static void DrawGrid(int grid);
};
