// What the grids of text cells share (the chord cells under the score and the melody boxes):
// the size check, the slots of a text block, the cell rectangles and the hit test.
#pragma once

#include "platform/qt/dc.h"
#include "util/gne.h"

#include <algorithm>

namespace cell_grid {

// Rows and columns within the limits; too large shows "error" and gives the full size; a grid
// keeps at least one cell.
inline void CheckSize(int* rows, int* columns, int maxRows, int maxColumns) {
  if (*rows > maxRows || *columns > maxColumns) {
    GneMessageBox("error");
    *rows = maxRows;
    *columns = maxColumns;
  }
  *rows = std::max(*rows, 1);
  *columns = std::max(*columns, 1);
}

// Slot (row, column) of a text block of 16 columns of 32 bytes.
inline const char* BlockSlot(const char* block, int row, int column) {
  return block + row * 512 + column * 32;
}

// Cell (i, j) of a grid of the given surface size: whole parts of i x e + 2 and j x g + 2, each
// e - 2 high and g - 2 wide, with e and g the size less 2 divided by the rows and columns.
inline plat::Rect CellRect(int i, int j, int rows, int columns, int width, int height) {
  const double e = (height - 2) / static_cast<double>(rows);
  const double g = (width - 2) / static_cast<double>(columns);
  plat::Rect r;
  r.top = static_cast<int>(i * e + 2.0);
  r.bottom = static_cast<int>(r.top + e - 2.0);
  r.left = static_cast<int>(j * g + 2.0);
  r.right = static_cast<int>(r.left + g - 2.0);
  return r;
}

// The first cell (rows, then columns) whose rectangle holds the point, edges included; -1, -1
// when none. rectOf(i, j) gives a cell's rectangle.
template <typename RectOf>
void HitTest(int rows, int columns, int x, int y, RectOf rectOf, int* row, int* column) {
  int hr = -1, hc = -1;
  for (int i = 0; i < rows && hr < 0; ++i) {
    for (int j = 0; j < columns; ++j) {
      const plat::Rect& rc = rectOf(i, j);
      if (rc.left <= x && x <= rc.right && rc.top <= y && y <= rc.bottom) {
        hr = i;
        hc = j;
        break;
      }
    }
  }
  if (row) *row = hr;
  if (column) *column = hc;
}

}  // namespace cell_grid
