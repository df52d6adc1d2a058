#include "draw/chord_table_picture.h"

CChordTablePicture::CChordTablePicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const char* block, TableCellCallback press,
                                       TableCellCallback release, TableCellCallback doubleClick) {
  Open(control, rect);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release),
          std::move(doubleClick));
}

bool CChordTablePicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const char* block, TableCellCallback press,
                                 TableCellCallback release, TableCellCallback doubleClick) {
  const int n = AddCells(control, rect, rows, columns, std::move(press), std::move(release));
  if (n < 0) return false;
  LayoutCells(n, block);
  SetDoubleClickCallback(n, std::move(doubleClick));
  DrawGrid(n);
  return true;
}

void CChordTablePicture::SetCellMarked(int grid, int row, int column, int flag) {
  cell_grid::TextCell* c = CellAt(grid, row, column);
  if (!c) return;
  c->marked = flag;
  DrawGrid(grid);
}

void CChordTablePicture::ClearMarks(int grid) {
  if (!State().Valid(grid)) return;
  for (auto& row : State()[grid].cells) {
    for (cell_grid::TextCell& c : row) c.marked = 0;
  }
}

void CChordTablePicture::FindMarkedCell(int grid, int* row, int* column) {
  int r = -1, c = -1;
  for (int i = 0; i < Rows(grid) && r < 0; ++i) {
    for (int j = 0; j < Columns(grid); ++j) {
      if (CellAt(grid, i, j)->marked == 1) {
        r = i;
        c = j;
        break;
      }
    }
  }
  if (row) *row = r;
  if (column) *column = c;
}

int CChordTablePicture::FontHeight(int grid) {
  return State().Valid(grid) ? State()[grid].fontHeight : 0;
}

void CChordTablePicture::DrawGrid(int grid) {
  cell_grid::DrawTextGrid(State(), grid, kBackground, [](const auto& g, int i, int j) {
    return g.cells[i][j].marked ? kMarked : kCell;
  });
}
