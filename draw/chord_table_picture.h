// Grids of text cells on a green ground: cells can be marked, a press reports the cell's row and
// column. The chord panel shows its table of the key's chords with it. A grid's number is the id
// its control reports.
//
// Text block: rows x 16 columns x 32 bytes (row stride 512), each slot one zero-terminated text
// of at most 31 bytes; a full block is 24 x 512 bytes.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>

using TableCellCallback = std::function<void(int row, int column)>;

class CChordTablePicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 20;
  static constexpr int kMaxRows = 24;
  static constexpr int kMaxColumns = 16;
  static constexpr int kCellText = 256;
  static constexpr int kSlotText = 32;
  static constexpr int kBlockRowStride = kMaxColumns * kSlotText;  // 512
  static constexpr int kBlockSize = kMaxRows * kBlockRowStride;    // 12288

  static constexpr plat::ColorRef kBackground = 0x96C896;
  static constexpr plat::ColorRef kCell = 0xC8FFC8;
  static constexpr plat::ColorRef kMarked = 0x96FF96;

  // A size above 24 x 16 is reported ("error") and becomes 24 x 16; 0 or fewer rows or columns
  // become 1. block may be null (empty texts).
  CChordTablePicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                     const char* block, TableCellCallback press, TableCellCallback release,
                     TableCellCallback doubleClick = nullptr);
  ~CChordTablePicture() override;

  // False (reported) when 20 grids exist already.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const char* block, TableCellCallback press, TableCellCallback release,
               TableCellCallback doubleClick = nullptr);

  static void SetCellMarked(int grid, int row, int column, int flag);
  static void ClearMarks(int grid);
  static void FindMarkedCell(int grid, int* row, int* column);
  static void SetFontHeight(int grid, int height);
  static void SetTexts(int grid, int rows, int columns, const char* block);
  static void SetAllTexts(int grid, const char* block);
  // block: at least rows x 512 bytes; each text is cut on a character boundary to 31 bytes.
  static void GetTexts(int grid, char* block);
  static void ClearTexts(int grid);
  static void MoveGrid(int grid, const Rect& rect);
  static void DeleteRow(int grid, int row);
  static void DeleteColumn(int grid, int column);
  static void RemoveEmptyRows(int grid);
  static void RemoveEmptyColumns(int grid);
  static void ShiftTextsLeft(int grid);
  static int ContainsText(int grid, const std::string& text);
  static void HitTest(int grid, int x, int y, int* row, int* column);
  static void DrawGrid(int grid);
  static void DrawAll();
  static void Blit(int grid);
  static void BlitAll();
  static void SetDoubleClickCallback(int grid, TableCellCallback callback);
  static void SetRightClickCallback(int grid, TableCellCallback callback);

  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  static void OnDoubleClick(int x, int y, int id);
  static void OnRightClick(int x, int y, int id);

  // Readers (tests and owners).
  static int Count();
  static int Rows(int grid);
  static int Columns(int grid);
  static std::string CellText(int grid, int row, int column);
  static Rect CellRect(int grid, int row, int column);
  static int FontHeight(int grid);
  static plat::Dc* Surface(int grid);
  static void ResetState();
};
