// Grids of text cells on a green ground: cells can be marked, a press reports the cell's row and
// column. The chord panel shows its table of the key's chords with it. A grid's number is the id
// its control reports.
//
// Text block: rows x 16 columns x 32 bytes (row stride 512), each slot one zero-terminated text
// of at most 31 bytes; a full block is 24 x 512 bytes.
#pragma once

#include "draw/grid_picture.h"

#include <functional>
#include <string>

using TableCellCallback = std::function<void(int row, int column)>;

class CChordTablePicture
    : public CTextCellGridPicture<CChordTablePicture, 24, 20, TableCellCallback> {
 public:
  static constexpr plat::ColorRef kBackground = 0x96C896;
  static constexpr plat::ColorRef kCell = 0xC8FFC8;
  static constexpr plat::ColorRef kMarked = 0x96FF96;

  // A size above 24 x 16 is reported ("error") and becomes 24 x 16; 0 or fewer rows or columns
  // become 1. block may be null (empty texts).
  CChordTablePicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                     const char* block, TableCellCallback press, TableCellCallback release,
                     TableCellCallback doubleClick = nullptr);

  // False (reported) when 20 grids exist already.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const char* block, TableCellCallback press, TableCellCallback release,
               TableCellCallback doubleClick = nullptr);

  static void SetCellMarked(int grid, int row, int column, int flag);
  static void ClearMarks(int grid);
  static void FindMarkedCell(int grid, int* row, int* column);
  static int FontHeight(int grid);
  static void DrawGrid(int grid);
};
