// What the grids of text cells share (the chord cells under the score and the melody boxes):
// the size check, the slots of a text block, the cell rectangles and the hit test.
#pragma once

#include "draw/text_limits.h"
#include "platform/qt/dc.h"
#include "util/gne.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

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

// ---- the texts of a grid of text cells ---------------------------------------------------
// A grid G has `rows`, `columns` and `cells[i][j].text` (a char array); the block is the text
// block of rows x 16 columns of 32 bytes.
constexpr int kSlotText = 32;
constexpr int kBlockRowStride = 16 * kSlotText;

// Copies every cell text into the block, each cut on a character boundary to fit its slot.
template <typename G>
void GetTexts(const G& g, char* block) {
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      CopyToSlot(block + i * kBlockRowStride + j * kSlotText, kSlotText, g.cells[i][j].text);
    }
  }
}

// The block's texts into the cells of the grid's rows and columns (a null block empties them).
template <typename G>
void SetAllTexts(G& g, const char* block) {
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      auto& text = g.cells[i][j].text;
      CopyToSlot(text, sizeof text,
                 block ? SlotText(BlockSlot(block, i, j), kSlotText) : std::string());
    }
  }
}

// The grid's texts without one row: setTexts(rows, columns, block) is called with the rest. The
// last row of a grid stays (a grid keeps one cell) but loses its texts.
template <typename G, typename SetTexts>
void DeleteRow(const G& g, int row, size_t blockSize, SetTexts setTexts) {
  std::vector<char> block(blockSize, 0);
  GetTexts(g, block.data());
  for (int i = row; i + 1 < g.rows; ++i) {
    std::memcpy(&block[i * kBlockRowStride], &block[(i + 1) * kBlockRowStride], kBlockRowStride);
  }
  if (g.rows <= 1) std::fill(block.begin(), block.end(), 0);
  setTexts(std::max(g.rows - 1, 1), g.columns, block.data());
}

template <typename G, typename SetTexts>
void DeleteColumn(const G& g, int column, size_t blockSize, SetTexts setTexts) {
  std::vector<char> block(blockSize, 0);
  GetTexts(g, block.data());
  for (int i = 0; i < g.rows; ++i) {
    for (int j = column; j + 1 < g.columns; ++j) {
      std::memcpy(&block[i * kBlockRowStride + j * kSlotText],
                  &block[i * kBlockRowStride + (j + 1) * kSlotText], kSlotText);
    }
    if (g.columns == 1) std::memset(&block[i * kBlockRowStride], 0, kSlotText);
  }
  setTexts(g.rows, std::max(g.columns - 1, 1), block.data());
}

template <typename G>
bool RowEmpty(const G& g, int row) {
  for (int j = 0; j < g.columns; ++j) {
    if (g.cells[row][j].text[0] != '\0') return false;
  }
  return true;
}

template <typename G>
bool ColumnEmpty(const G& g, int column) {
  for (int i = 0; i < g.rows; ++i) {
    if (g.cells[i][column].text[0] != '\0') return false;
  }
  return true;
}

// Per row from the last: each text moves into an empty cell on its left (one pass).
template <typename G>
void ShiftTextsLeft(G& g) {
  for (int i = g.rows - 1; i >= 0; --i) {
    for (int k = 1; k < g.columns; ++k) {
      auto& left = g.cells[i][k - 1].text;
      auto& here = g.cells[i][k].text;
      if (left[0] == '\0') {
        std::memcpy(left, here, sizeof left);
        std::memset(here, 0, sizeof here);
      }
    }
  }
}

template <typename G>
int ContainsText(const G& g, std::string_view text) {
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      if (text == g.cells[i][j].text) return 1;
    }
  }
  return 0;
}

}  // namespace cell_grid
