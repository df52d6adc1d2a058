#include "draw/chord_cell_picture.h"

CChordCellPicture::CChordCellPicture(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, CellCallback press,
                                     CellCallback release) {
  Open(control, rect);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release));
}

bool CChordCellPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                int columns, const char* block, CellCallback press,
                                CellCallback release) {
  const int n = AddCells(control, rect, rows, columns, std::move(press), std::move(release));
  if (n < 0) return false;
  LayoutCells(n, block);
  DrawGrid(n);
  return true;
}

void CChordCellPicture::SetCellText(int grid, int column, const std::string& text, int row) {
  if (cell_grid::TextCell* c = CellAt(grid, row, column)) CopyToSlot(c->text, sizeof c->text, text);
}

void CChordCellPicture::SetCellShown(int grid, int row, int column, int flag) {
  if (cell_grid::TextCell* c = CellAt(grid, row, column)) c->shown = flag;
}

void CChordCellPicture::SetCellActive(int grid, int row, int column, int flag) {
  if (cell_grid::TextCell* c = CellAt(grid, row, column)) c->active = flag;
}

void CChordCellPicture::SetCursor(int grid, int row, int column) {
  State().SetCursor(grid, row, column);
  DrawGrid(grid);
}

void CChordCellPicture::ClearCursor(int grid) { SetCursor(grid, -1, -1); }

void CChordCellPicture::GetCursor(int grid, int* row, int* column) {
  State().GetCursor(grid, row, column);
}

void CChordCellPicture::DrawGrid(int grid) {
  cell_grid::DrawTextGrid(State(), grid, kBackground, [](const auto& g, int i, int j) {
    const cell_grid::TextCell& c = g.cells[i][j];
    if (c.shown == 0) return kHidden;
    if (c.active == 0) return kInactive;
    if (i == g.cursorRow && j == g.cursorColumn) return kCursor;
    return kActive;
  });
}
