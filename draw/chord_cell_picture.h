// Small grids of text cells with a cursor cell, each grid in its own host control (the chord
// row under the score: one grid of 1 x 4 per bar, one cell per beat).
//
// Text block: the form in which whole grids of texts are handed in and out, rows x 16 columns
// x 32 bytes (row stride 512), each slot one zero-terminated text of at most 31 bytes.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>

using CellCallback = std::function<void(int grid, int row, int column)>;

class CChordCellPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 48;
  static constexpr int kMaxRows = 10;
  static constexpr int kMaxColumns = 16;
  static constexpr int kCellText = 256;
  static constexpr int kSlotText = 32;
  static constexpr int kBlockRowStride = kMaxColumns * kSlotText;  // 512
  static constexpr int kBlockSize = kMaxRows * kBlockRowStride;    // 5120

  static constexpr plat::ColorRef kBackground = 0x96C896;
  static constexpr plat::ColorRef kActive = 0xB4FFDC;
  static constexpr plat::ColorRef kCursor = 0x96FF96;
  static constexpr plat::ColorRef kInactive = 0xC8C8C8;
  static constexpr plat::ColorRef kHidden = 0xC8C2C2;

  // rows and columns above the limits show "error" and become 10 x 16; 0 or fewer become 1.
  // block may be null (empty texts).
  CChordCellPicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                    const char* block, CellCallback press, CellCallback release);
  ~CChordCellPicture() override;

  // Adds a grid; a full picture ("error") or a size out of range is refused / clamped.
  bool AddGrid(COffScreenControl* control, const Rect& rect, int rows, int columns,
               const char* block, CellCallback press, CellCallback release);

  static void SetCellText(int grid, int column, const std::string& text, int row);
  static void SetCellShown(int grid, int row, int column, int flag);
  static void SetCellActive(int grid, int row, int column, int flag);
  static void SetCursor(int grid, int row, int column);
  static void ClearCursor(int grid);
  static void GetCursor(int grid, int* row, int* column);
  static void SetFontHeight(int grid, int height);
  static void SetTexts(int grid, int rows, int columns, const char* block);
  static void SetAllTexts(int grid, const char* block);
  // block: at least rows x 512 bytes of the grid.
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
  static void SetDoubleClickCallback(int grid, CellCallback callback);
  static void SetRightClickCallback(int grid, CellCallback callback);

  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  static void OnDoubleClick(int x, int y, int id);
  static void OnRightClick(int x, int y, int id);

  // Readers (tests, the page).
  static int Count();
  static int Rows(int grid);
  static int Columns(int grid);
  static std::string CellText(int grid, int row, int column);
  static Rect CellRect(int grid, int row, int column);
  static plat::Dc* Surface(int grid);
  static void ResetState();
};
