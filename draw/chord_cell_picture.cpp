#include "draw/chord_cell_picture.h"

#include "draw/cell_grid.h"

namespace {

using Store = cell_grid::Store<cell_grid::TextGrid, CChordCellPicture::kCapacity>;
static_assert(cell_grid::TextGrid::kMaxRows == CChordCellPicture::kMaxRows &&
              cell_grid::TextGrid::kMaxColumns == CChordCellPicture::kMaxColumns);

Store& State() {
  static Store store;
  return store;
}

}  // namespace

void CChordCellPicture::ResetState() { State().Reset(); }

CChordCellPicture::CChordCellPicture(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, CellCallback press,
                                     CellCallback release) {
  State().Open(this, control, rect, &OnPress, &OnRelease);
  SetPaint(&CChordCellPicture::DrawAll);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release));
}

CChordCellPicture::~CChordCellPicture() { State().Close(this); }

bool CChordCellPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                int columns, const char* block, CellCallback press,
                                CellCallback release) {
  const int n = State().Count();
  if (!State().Add(control, rect, rows, columns, std::move(press), std::move(release), &OnPress,
                   &OnRelease)) {
    return false;
  }
  cell_grid::LayoutTextCells(State(), n, block);
  DrawGrid(n);
  return true;
}

void CChordCellPicture::SetCellText(int grid, int column, const std::string& text, int row) {
  if (!State().ValidCell(grid, row, column)) return;
  auto& c = State()[grid].cells[row][column];
  CopyToSlot(c.text, sizeof c.text, text);
}

void CChordCellPicture::SetCellShown(int grid, int row, int column, int flag) {
  if (State().ValidCell(grid, row, column)) State()[grid].cells[row][column].shown = flag;
}

void CChordCellPicture::SetCellActive(int grid, int row, int column, int flag) {
  if (State().ValidCell(grid, row, column)) State()[grid].cells[row][column].active = flag;
}

void CChordCellPicture::SetCursor(int grid, int row, int column) {
  State().SetCursor(grid, row, column);
  DrawGrid(grid);
}

void CChordCellPicture::ClearCursor(int grid) { SetCursor(grid, -1, -1); }

void CChordCellPicture::GetCursor(int grid, int* row, int* column) {
  State().GetCursor(grid, row, column);
}

void CChordCellPicture::SetFontHeight(int grid, int height) { State().SetFontHeight(grid, height); }

void CChordCellPicture::SetTexts(int grid, int rows, int columns, const char* block) {
  cell_grid::SetTexts(State(), grid, rows, columns, block);
}

void CChordCellPicture::SetAllTexts(int grid, const char* block) {
  cell_grid::SetAllTexts(State(), grid, block);
}

void CChordCellPicture::GetTexts(int grid, char* block) { cell_grid::GetTexts(State(), grid, block); }

void CChordCellPicture::ClearTexts(int grid) { SetAllTexts(grid, nullptr); }

void CChordCellPicture::MoveGrid(int grid, const Rect& rect) {
  cell_grid::MoveGrid(State(), grid, rect);
  DrawGrid(grid);
}

void CChordCellPicture::DeleteRow(int grid, int row) { cell_grid::DeleteRow(State(), grid, row); }

void CChordCellPicture::DeleteColumn(int grid, int column) {
  cell_grid::DeleteColumn(State(), grid, column);
}

void CChordCellPicture::RemoveEmptyRows(int grid) { cell_grid::RemoveEmptyRows(State(), grid); }

void CChordCellPicture::RemoveEmptyColumns(int grid) {
  cell_grid::RemoveEmptyColumns(State(), grid);
}

void CChordCellPicture::ShiftTextsLeft(int grid) { cell_grid::ShiftTextsLeft(State(), grid); }

int CChordCellPicture::ContainsText(int grid, const std::string& text) {
  return cell_grid::ContainsText(State(), grid, text);
}

void CChordCellPicture::HitTest(int grid, int x, int y, int* row, int* column) {
  State().HitTest(grid, x, y, row, column);
}

void CChordCellPicture::DrawGrid(int grid) {
  if (!State().Valid(grid)) return;
  const auto& g = State()[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, g.width, g.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const cell_grid::TextCell& c = g.cells[i][j];
      plat::ColorRef fill = kActive;
      if (c.shown == 0) {
        fill = kHidden;
      } else if (c.active == 0) {
        fill = kInactive;
      } else if (i == g.cursorRow && j == g.cursorColumn) {
        fill = kCursor;
      }
      cell_grid::DrawTextCell(dc, g, c, fill);
    }
  }
}

void CChordCellPicture::DrawAll() {
  for (int i = 0; i < State().Count(); ++i) DrawGrid(i);
}

void CChordCellPicture::Blit(int grid) { State().Blit(grid); }

void CChordCellPicture::BlitAll() { State().BlitAll(); }

void CChordCellPicture::SetDoubleClickCallback(int grid, CellCallback callback) {
  State().SetDoubleClick(grid, std::move(callback), &OnDoubleClick);
}

void CChordCellPicture::SetRightClickCallback(int grid, CellCallback callback) {
  State().SetRightClick(grid, std::move(callback), &OnRightClick);
}

void CChordCellPicture::OnPress(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&cell_grid::TextGrid::press, id, x, y, false);
}

void CChordCellPicture::OnRelease(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&cell_grid::TextGrid::release, id, x, y, false);
}

void CChordCellPicture::OnDoubleClick(int x, int y, int id) {
  State().Report(&cell_grid::TextGrid::doubleClick, id, x, y, true);
}

void CChordCellPicture::OnRightClick(int x, int y, int id) {
  State().Report(&cell_grid::TextGrid::rightClick, id, x, y, true);
}

int CChordCellPicture::Count() { return State().Count(); }
int CChordCellPicture::Rows(int grid) { return State().Rows(grid); }
int CChordCellPicture::Columns(int grid) { return State().Columns(grid); }
std::string CChordCellPicture::CellText(int grid, int row, int column) {
  return cell_grid::CellText(State(), grid, row, column);
}
Rect CChordCellPicture::CellRect(int grid, int row, int column) {
  return State().CellRect(grid, row, column);
}
plat::Dc* CChordCellPicture::Surface(int grid) { return State().Surface(grid); }
