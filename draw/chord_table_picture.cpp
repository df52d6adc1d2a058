#include "draw/chord_table_picture.h"

#include "draw/cell_grid.h"

namespace {

using TableGrid = cell_grid::Grid<cell_grid::TextCell, CChordTablePicture::kMaxRows,
                                  CChordTablePicture::kMaxColumns>;
using Store = cell_grid::Store<TableGrid, CChordTablePicture::kCapacity>;

Store& State() {
  static Store store;
  return store;
}

void NoCell(int* row, int* column) {
  if (row) *row = -1;
  if (column) *column = -1;
}

}  // namespace

void CChordTablePicture::ResetState() { State().Reset(); }

CChordTablePicture::CChordTablePicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const char* block, TableCellCallback press,
                                       TableCellCallback release, TableCellCallback doubleClick) {
  State().Open(this, control, rect, &OnPress, &OnRelease);
  SetPaint(&CChordTablePicture::DrawAll);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release),
          std::move(doubleClick));
}

CChordTablePicture::~CChordTablePicture() { State().Close(this); }

bool CChordTablePicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const char* block, TableCellCallback press,
                                 TableCellCallback release, TableCellCallback doubleClick) {
  const int n = State().Count();
  if (!State().Add(control, rect, rows, columns, cell_grid::WithoutGrid(std::move(press)),
                   cell_grid::WithoutGrid(std::move(release)), &OnPress, &OnRelease)) {
    return false;
  }
  cell_grid::LayoutTextCells(State(), n, block);
  SetDoubleClickCallback(n, std::move(doubleClick));
  DrawGrid(n);
  return true;
}

void CChordTablePicture::SetCellMarked(int grid, int row, int column, int flag) {
  if (!State().ValidCell(grid, row, column)) return;
  State()[grid].cells[row][column].marked = flag;
  DrawGrid(grid);
}

void CChordTablePicture::ClearMarks(int grid) {
  if (!State().Valid(grid)) return;
  for (auto& row : State()[grid].cells) {
    for (cell_grid::TextCell& c : row) c.marked = 0;
  }
}

void CChordTablePicture::FindMarkedCell(int grid, int* row, int* column) {
  NoCell(row, column);
  if (!State().Valid(grid)) return;
  const TableGrid& g = State()[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      if (g.cells[i][j].marked == 1) {
        if (row) *row = i;
        if (column) *column = j;
        return;
      }
    }
  }
}

void CChordTablePicture::SetFontHeight(int grid, int height) { State().SetFontHeight(grid, height); }

void CChordTablePicture::SetTexts(int grid, int rows, int columns, const char* block) {
  cell_grid::SetTexts(State(), grid, rows, columns, block);
}

void CChordTablePicture::SetAllTexts(int grid, const char* block) {
  cell_grid::SetAllTexts(State(), grid, block);
}

void CChordTablePicture::GetTexts(int grid, char* block) { cell_grid::GetTexts(State(), grid, block); }

void CChordTablePicture::ClearTexts(int grid) { SetAllTexts(grid, nullptr); }

void CChordTablePicture::MoveGrid(int grid, const Rect& rect) {
  cell_grid::MoveGrid(State(), grid, rect);
  DrawGrid(grid);
}

void CChordTablePicture::DeleteRow(int grid, int row) { cell_grid::DeleteRow(State(), grid, row); }

void CChordTablePicture::DeleteColumn(int grid, int column) {
  cell_grid::DeleteColumn(State(), grid, column);
}

void CChordTablePicture::RemoveEmptyRows(int grid) { cell_grid::RemoveEmptyRows(State(), grid); }

void CChordTablePicture::RemoveEmptyColumns(int grid) {
  cell_grid::RemoveEmptyColumns(State(), grid);
}

void CChordTablePicture::ShiftTextsLeft(int grid) { cell_grid::ShiftTextsLeft(State(), grid); }

int CChordTablePicture::ContainsText(int grid, const std::string& text) {
  return cell_grid::ContainsText(State(), grid, text);
}

void CChordTablePicture::HitTest(int grid, int x, int y, int* row, int* column) {
  State().HitTest(grid, x, y, row, column);
}

void CChordTablePicture::DrawGrid(int grid) {
  if (!State().Valid(grid)) return;
  const TableGrid& g = State()[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, g.width, g.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const cell_grid::TextCell& c = g.cells[i][j];
      cell_grid::DrawTextCell(dc, g, c, c.marked ? kMarked : kCell);
    }
  }
}

void CChordTablePicture::DrawAll() {
  for (int i = 0; i < State().Count(); ++i) DrawGrid(i);
}

void CChordTablePicture::Blit(int grid) { State().Blit(grid); }

void CChordTablePicture::BlitAll() { State().BlitAll(); }

void CChordTablePicture::SetDoubleClickCallback(int grid, TableCellCallback callback) {
  State().SetDoubleClick(grid, cell_grid::WithoutGrid(std::move(callback)), &OnDoubleClick);
}

void CChordTablePicture::SetRightClickCallback(int grid, TableCellCallback callback) {
  State().SetRightClick(grid, cell_grid::WithoutGrid(std::move(callback)), &OnRightClick);
}

void CChordTablePicture::OnPress(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&TableGrid::press, id, x, y, false);
}

void CChordTablePicture::OnRelease(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&TableGrid::release, id, x, y, false);
}

void CChordTablePicture::OnDoubleClick(int x, int y, int id) {
  State().Report(&TableGrid::doubleClick, id, x, y, true);
}

void CChordTablePicture::OnRightClick(int x, int y, int id) {
  State().Report(&TableGrid::rightClick, id, x, y, true);
}

int CChordTablePicture::Count() { return State().Count(); }
int CChordTablePicture::Rows(int grid) { return State().Rows(grid); }
int CChordTablePicture::Columns(int grid) { return State().Columns(grid); }
std::string CChordTablePicture::CellText(int grid, int row, int column) {
  return cell_grid::CellText(State(), grid, row, column);
}
Rect CChordTablePicture::CellRect(int grid, int row, int column) {
  return State().CellRect(grid, row, column);
}
int CChordTablePicture::FontHeight(int grid) {
  return State().Valid(grid) ? State()[grid].fontHeight : 0;
}
plat::Dc* CChordTablePicture::Surface(int grid) { return State().Surface(grid); }
