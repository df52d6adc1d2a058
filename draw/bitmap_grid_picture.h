// Grids of picture cells: each cell shows one skin bitmap, may be selected (drawn tinted) and may
// carry a short label; a press reports the cell's row and column. A grid's number is the id its
// control reports.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>

using GridCellCallback = std::function<void(int row, int column)>;

class CBitmapGridPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 20;
  static constexpr int kMaxRows = 24;
  static constexpr int kMaxColumns = 16;
  static constexpr int kLabelSize = 16;
  static constexpr plat::ColorRef kCellFill = 0x000000;
  static constexpr plat::ColorRef kSelectedFill = 0x202000;
  static constexpr unsigned kLabelFormat = 36;  // single line, vertically centred

  // ids: `rows` rows of 16 resource ids (only the first `columns` of a row are read).
  // A size above 24 x 16 is reported and becomes 24 x 16; 0 or fewer rows or columns become 1.
  CBitmapGridPicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                     const int (*ids)[16], GridCellCallback press, GridCellCallback release);
  ~CBitmapGridPicture() override;

  // False (reported) when 20 grids exist already.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const int (*ids)[16], GridCellCallback press, GridCellCallback release);

  static void SetCellSelected(int grid, int row, int column, int flag);
  static void ClearSelection(int grid);
  // At most 15 bytes, cut on a character boundary.
  static void SetCellLabel(int grid, int row, int column, const std::string& text);
  static void FindSelectedCell(int grid, int* row, int* column);
  static void HitTest(int grid, int x, int y, int* row, int* column);
  static void DrawGrid(int grid);
  static void DrawAll();
  static void Blit(int grid);
  static void BlitAll();
  static void SetDoubleClickCallback(int grid, GridCellCallback callback);
  static void SetRightClickCallback(int grid, GridCellCallback callback);

  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  static void OnDoubleClick(int x, int y, int id);
  static void OnRightClick(int x, int y, int id);

  // Readers (tests and owners).
  static int Count();
  static int Rows(int grid);
  static int Columns(int grid);
  static Rect CellRect(int grid, int row, int column);
  static int CellSelected(int grid, int row, int column);
  static std::string CellLabel(int grid, int row, int column);
  static plat::Dc* Surface(int grid);
  static void ResetState();
};
