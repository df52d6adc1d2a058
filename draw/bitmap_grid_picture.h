// Grids of picture cells: each cell shows one skin bitmap, may be selected (drawn tinted) and may
// carry a short label; a press reports the cell's row and column. A grid's number is the id its
// control reports.
#pragma once

#include "draw/grid_picture.h"

#include <functional>
#include <string>

using GridCellCallback = std::function<void(int row, int column)>;

struct BitmapGridCell {
  Rect rect;
  int selected = 0;
  plat::Bitmap bitmap;
  char label[16] = {};
};

class CBitmapGridPicture
    : public CGridPicture<CBitmapGridPicture, cell_grid::Grid<BitmapGridCell, 24, 16>, 20,
                          GridCellCallback> {
 public:
  static constexpr int kLabelSize = sizeof(BitmapGridCell::label);
  static constexpr plat::ColorRef kCellFill = 0x000000;
  static constexpr plat::ColorRef kSelectedFill = 0x202000;
  static constexpr unsigned kLabelFormat = 36;  // single line, vertically centred
  // A release off every cell reaches the release callback too (-1, -1).
  static constexpr bool kReportsReleaseOffCells = true;

  // ids: `rows` rows of 16 resource ids (only the first `columns` of a row are read).
  // A size above 24 x 16 is reported and becomes 24 x 16; 0 or fewer rows or columns become 1.
  CBitmapGridPicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                     const int (*ids)[16], GridCellCallback press, GridCellCallback release);

  // False (reported) when 20 grids exist already.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const int (*ids)[16], GridCellCallback press, GridCellCallback release);

  static void SetCellSelected(int grid, int row, int column, int flag);
  static void ClearSelection(int grid);
  // At most 15 bytes, cut on a character boundary.
  static void SetCellLabel(int grid, int row, int column, const std::string& text);
  static void FindSelectedCell(int grid, int* row, int* column);
  static void DrawGrid(int grid);

  // Readers (tests and owners).
  static int CellSelected(int grid, int row, int column);
  static std::string CellLabel(int grid, int row, int column);

 private:
  static void LayoutCells(int grid, const int (*ids)[16]);
};
