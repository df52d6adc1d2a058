// The base of the grid pictures: a class keeps its grids in its own storage (cell_grid::Store),
// each grid in its own host control, and shares with the others adding and laying out grids,
// the hit test, the mouse events turned into cells, copying to the controls and the readers.
// Grids of text cells (the chord cells under the score, the melody boxes, the chord table) add
// the text operations over a text block of 16 columns of 32 bytes a row.
//
// Derived is the picture class: it has DrawGrid(int grid), and kReportsReleaseOffCells when a
// release off every cell is to reach its callback (-1, -1). Callback is the type of its cell
// callbacks: (grid, row, column) or (row, column).
#pragma once

#include "draw/cell_grid.h"

#include <functional>
#include <string>

namespace cell_grid {

inline CellEvent ToCellEvent(CellEvent callback) { return callback; }
inline CellEvent ToCellEvent(const std::function<void(int row, int column)>& callback) {
  return WithoutGrid(callback);
}

}  // namespace cell_grid

template <typename Derived, typename G, int Capacity, typename Callback>
class CGridPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = Capacity;
  static constexpr int kMaxRows = G::kMaxRows;
  static constexpr int kMaxColumns = G::kMaxColumns;

  static void HitTest(int grid, int x, int y, int* row, int* column) {
    State().HitTest(grid, x, y, row, column);
  }
  static void DrawAll() {
    for (int i = 0; i < State().Count(); ++i) Derived::DrawGrid(i);
  }
  static void Blit(int grid) { State().Blit(grid); }
  static void BlitAll() { State().BlitAll(); }
  static void SetFontHeight(int grid, int height) { State().SetFontHeight(grid, height); }
  static void SetDoubleClickCallback(int grid, Callback callback) {
    State().SetDoubleClick(grid, cell_grid::ToCellEvent(std::move(callback)), &OnDoubleClick);
  }
  static void SetRightClickCallback(int grid, Callback callback) {
    State().SetRightClick(grid, cell_grid::ToCellEvent(std::move(callback)), &OnRightClick);
  }

  // Every grid is drawn before a press or release reaches its callback.
  static void OnPress(int x, int y, int id) {
    if (!State().Valid(id)) return;
    Derived::DrawAll();
    State().Report(&G::press, id, x, y, false);
  }
  static void OnRelease(int x, int y, int id) {
    if (!State().Valid(id)) return;
    Derived::DrawAll();
    State().Report(&G::release, id, x, y, Derived::kReportsReleaseOffCells);
  }
  static void OnDoubleClick(int x, int y, int id) {
    State().Report(&G::doubleClick, id, x, y, true);
  }
  static void OnRightClick(int x, int y, int id) { State().Report(&G::rightClick, id, x, y, true); }

  // Readers (tests and owners).
  static int Count() { return State().Count(); }
  static int Rows(int grid) { return State().Rows(grid); }
  static int Columns(int grid) { return State().Columns(grid); }
  static Rect CellRect(int grid, int row, int column) { return State().CellRect(grid, row, column); }
  static plat::Dc* Surface(int grid) { return State().Surface(grid); }
  static void ResetState() { State().Reset(); }

 protected:
  using Store = cell_grid::Store<G, Capacity>;
  static Store& State() {
    static Store store;
    return store;
  }

  // The constructor's part: the storage starts over, owned by this picture, on the control.
  void Open(COffScreenControl* control, const Rect& rect) {
    State().Open(this, control, rect, &Derived::OnPress, &Derived::OnRelease);
    SetPaint(&Derived::DrawAll);
  }
  ~CGridPicture() override { State().Close(this); }

  // The next grid on its control, its size checked; its number, or -1 ("error") when every
  // grid is in use. The caller lays out its cells.
  static int AddCells(COffScreenControl* control, const Rect& rect, int rows, int columns,
                      Callback press, Callback release) {
    const int n = State().Count();
    if (!State().Add(control, rect, rows, columns, cell_grid::ToCellEvent(std::move(press)),
                     cell_grid::ToCellEvent(std::move(release)), &Derived::OnPress,
                     &Derived::OnRelease)) {
      return -1;
    }
    return n;
  }
};

template <typename Derived, int MaxRows, int Capacity, typename Callback>
class CTextCellGridPicture
    : public CGridPicture<Derived, cell_grid::Grid<cell_grid::TextCell, MaxRows, 16>, Capacity,
                          Callback> {
  using Base =
      CGridPicture<Derived, cell_grid::Grid<cell_grid::TextCell, MaxRows, 16>, Capacity, Callback>;

 public:
  static constexpr int kCellText = sizeof(cell_grid::TextCell::text);
  static constexpr int kSlotText = cell_grid::kSlotText;
  static constexpr int kBlockRowStride = cell_grid::kBlockRowStride;  // 512
  static constexpr int kBlockSize = MaxRows * kBlockRowStride;
  static constexpr bool kReportsReleaseOffCells = false;

  static void SetTexts(int grid, int rows, int columns, const char* block) {
    cell_grid::SetTexts(Base::State(), grid, rows, columns, block);
  }
  static void SetAllTexts(int grid, const char* block) {
    cell_grid::SetAllTexts(Base::State(), grid, block);
  }
  // block: at least rows x 512 bytes; each text is cut on a character boundary to 31 bytes.
  static void GetTexts(int grid, char* block) { cell_grid::GetTexts(Base::State(), grid, block); }
  static void ClearTexts(int grid) { SetAllTexts(grid, nullptr); }
  static void MoveGrid(int grid, const Rect& rect) {
    cell_grid::MoveGrid(Base::State(), grid, rect);
    Derived::DrawGrid(grid);
  }
  static void DeleteRow(int grid, int row) { cell_grid::DeleteRow(Base::State(), grid, row); }
  static void DeleteColumn(int grid, int column) {
    cell_grid::DeleteColumn(Base::State(), grid, column);
  }
  static void RemoveEmptyRows(int grid) { cell_grid::RemoveEmptyRows(Base::State(), grid); }
  static void RemoveEmptyColumns(int grid) { cell_grid::RemoveEmptyColumns(Base::State(), grid); }
  static void ShiftTextsLeft(int grid) { cell_grid::ShiftTextsLeft(Base::State(), grid); }
  static int ContainsText(int grid, const std::string& text) {
    return cell_grid::ContainsText(Base::State(), grid, text);
  }
  static std::string CellText(int grid, int row, int column) {
    return cell_grid::CellText(Base::State(), grid, row, column);
  }

 protected:
  // Lays out the grid's cells on its surface, filled from the block (null: empty texts); every
  // cell shown, active, unmarked and uncoloured; no cursor.
  static void LayoutCells(int grid, const char* block) {
    cell_grid::LayoutTextCells(Base::State(), grid, block);
  }
  static cell_grid::TextCell* CellAt(int grid, int row, int column) {
    return Base::State().ValidCell(grid, row, column) ? &Base::State()[grid].cells[row][column]
                                                      : nullptr;
  }
};
