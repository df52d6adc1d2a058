#include "draw/chord_table_picture.h"

#include "draw/cell_grid.h"
#include "draw/text_limits.h"
#include "util/gne.h"

#include <optional>
#include <vector>

namespace {

struct Cell {
  Rect rect;
  char text[CChordTablePicture::kCellText] = {};
  int marked = 0;
};

struct Grid {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 1;
  int columns = 1;
  TableCellCallback press, release, doubleClick, rightClick;
  int fontHeight = 0;
  Cell cells[CChordTablePicture::kMaxRows][CChordTablePicture::kMaxColumns];
};

struct TableState {
  std::vector<Grid> grids = std::vector<Grid>(CChordTablePicture::kCapacity);
  int count = 0;
  const void* owner = nullptr;
};

TableState& State() {
  static TableState state;
  return state;
}

bool Valid(int grid) { return grid >= 0 && grid < State().count; }

bool ValidCell(int grid, int row, int column) {
  if (!Valid(grid)) return false;
  const Grid& g = State().grids[grid];
  return row >= 0 && row < g.rows && column >= 0 && column < g.columns;
}

void CheckSize(int* rows, int* columns) {
  cell_grid::CheckSize(rows, columns, CChordTablePicture::kMaxRows, CChordTablePicture::kMaxColumns);
}

void NoCell(int* row, int* column) {
  if (row) *row = -1;
  if (column) *column = -1;
}

}  // namespace

void CChordTablePicture::ResetState() {
  for (Grid& g : State().grids) {
    if (g.dc || g.bitmap) DeleteSurface(g.bitmap, g.dc);
  }
  State() = TableState();
}

CChordTablePicture::CChordTablePicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const char* block, TableCellCallback press,
                                       TableCellCallback release, TableCellCallback doubleClick) {
  TableState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.grids[i].bitmap, st.grids[i].dc);
  st = TableState();
  st.owner = this;
  Grid& g = st.grids[0];
  SetUpSlot(control, rect, &OnPress, &OnRelease, g.width, g.height, g.bitmap, g.dc);
  SetPaint(&CChordTablePicture::DrawAll);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release),
          std::move(doubleClick));
}

CChordTablePicture::~CChordTablePicture() {
  TableState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (Grid& g : st.grids) {
    if (g.dc || g.bitmap) DeleteSurface(g.bitmap, g.dc);
  }
  st = TableState();
}

bool CChordTablePicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const char* block, TableCellCallback press,
                                 TableCellCallback release, TableCellCallback doubleClick) {
  TableState& st = State();
  if (st.count >= kCapacity) {
    GneMessageBox("error");
    return false;
  }
  CheckSize(&rows, &columns);
  const int n = st.count;
  Grid& g = st.grids[n];
  if (n > 0) SetUpSlot(control, rect, &OnPress, &OnRelease, g.width, g.height, g.bitmap, g.dc);
  g.press = std::move(press);
  g.release = std::move(release);
  g.rightClick = nullptr;
  g.rows = rows;
  g.columns = columns;
  g.control = control;
  st.count = n + 1;
  LayoutCells(n, block);
  if (control) control->SetId(n);
  SetDoubleClickCallback(n, std::move(doubleClick));
  g.fontHeight = 0;
  DrawGrid(n);
  return true;
}

void CChordTablePicture::LayoutCells(int grid, const char* block) {
  Grid& g = State().grids[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      g.cells[i][j].rect = cell_grid::CellRect(i, j, g.rows, g.columns, g.width, g.height);
      g.cells[i][j].marked = 0;
    }
  }
  cell_grid::SetAllTexts(g, block);
}

void CChordTablePicture::SetCellMarked(int grid, int row, int column, int flag) {
  if (!ValidCell(grid, row, column)) return;
  State().grids[grid].cells[row][column].marked = flag;
  DrawGrid(grid);
}

void CChordTablePicture::ClearMarks(int grid) {
  if (!Valid(grid)) return;
  for (auto& row : State().grids[grid].cells) {
    for (Cell& c : row) c.marked = 0;
  }
}

void CChordTablePicture::FindMarkedCell(int grid, int* row, int* column) {
  NoCell(row, column);
  if (!Valid(grid)) return;
  const Grid& g = State().grids[grid];
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

void CChordTablePicture::SetFontHeight(int grid, int height) {
  if (Valid(grid)) State().grids[grid].fontHeight = height;
}

void CChordTablePicture::SetTexts(int grid, int rows, int columns, const char* block) {
  if (!Valid(grid)) return;
  CheckSize(&rows, &columns);
  State().grids[grid].rows = rows;
  State().grids[grid].columns = columns;
  LayoutCells(grid, block);
}

void CChordTablePicture::SetAllTexts(int grid, const char* block) {
  if (Valid(grid)) cell_grid::SetAllTexts(State().grids[grid], block);
}

void CChordTablePicture::GetTexts(int grid, char* block) {
  if (Valid(grid) && block) cell_grid::GetTexts(State().grids[grid], block);
}

void CChordTablePicture::ClearTexts(int grid) { SetAllTexts(grid, nullptr); }

void CChordTablePicture::MoveGrid(int grid, const Rect& rect) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  Resize(g.control, g.bitmap, g.dc, rect, g.height, g.width);
  std::vector<char> block(kBlockSize, 0);
  GetTexts(grid, block.data());
  LayoutCells(grid, block.data());
  DrawGrid(grid);
}

void CChordTablePicture::DeleteRow(int grid, int row) {
  if (!ValidCell(grid, row, 0)) return;
  cell_grid::DeleteRow(State().grids[grid], row, kBlockSize,
                       [grid](int rows, int columns, const char* block) {
                         SetTexts(grid, rows, columns, block);
                       });
}

void CChordTablePicture::DeleteColumn(int grid, int column) {
  if (!ValidCell(grid, 0, column)) return;
  cell_grid::DeleteColumn(State().grids[grid], column, kBlockSize,
                          [grid](int rows, int columns, const char* block) {
                            SetTexts(grid, rows, columns, block);
                          });
}

void CChordTablePicture::RemoveEmptyRows(int grid) {
  if (!Valid(grid)) return;
  for (int i = State().grids[grid].rows - 1; i >= 0; --i) {
    const Grid& g = State().grids[grid];
    if (g.rows > 1 && cell_grid::RowEmpty(g, i)) DeleteRow(grid, i);
  }
}

void CChordTablePicture::RemoveEmptyColumns(int grid) {
  if (!Valid(grid)) return;
  for (int j = State().grids[grid].columns - 1; j >= 0; --j) {
    const Grid& g = State().grids[grid];
    if (g.columns > 1 && cell_grid::ColumnEmpty(g, j)) DeleteColumn(grid, j);
  }
}

void CChordTablePicture::ShiftTextsLeft(int grid) {
  if (Valid(grid)) cell_grid::ShiftTextsLeft(State().grids[grid]);
}

int CChordTablePicture::ContainsText(int grid, const std::string& text) {
  return Valid(grid) ? cell_grid::ContainsText(State().grids[grid], text) : 0;
}

void CChordTablePicture::HitTest(int grid, int x, int y, int* row, int* column) {
  if (!Valid(grid)) return NoCell(row, column);
  const Grid& g = State().grids[grid];
  cell_grid::HitTest(g.rows, g.columns, x, y,
                     [&g](int i, int j) -> const Rect& { return g.cells[i][j].rect; }, row, column);
}

void CChordTablePicture::DrawGrid(int grid) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, g.width, g.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const Cell& c = g.cells[i][j];
      dc->FillRect(c.rect, plat::SolidBrush(c.marked ? kMarked : kCell));
      std::optional<plat::LogFont> previous;
      if (g.fontHeight != 0) SelectShiftJisFont(dc, previous, g.fontHeight);
      dc->DrawText(c.text, c.rect, plat::DT_CENTER | plat::DT_VCENTER);
      RestoreFont(dc, previous);
    }
  }
}

void CChordTablePicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawGrid(i);
}

void CChordTablePicture::Blit(int grid) {
  if (!Valid(grid)) return;
  COffScreenPicture::Blit(State().grids[grid].dc, State().grids[grid].control);
}

void CChordTablePicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CChordTablePicture::SetDoubleClickCallback(int grid, TableCellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.doubleClick = std::move(callback);
  if (g.control) g.control->SetDoubleClickCallback(&OnDoubleClick);
}

void CChordTablePicture::SetRightClickCallback(int grid, TableCellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.rightClick = std::move(callback);
  if (g.control) g.control->SetRightClickCallback(&OnRightClick);
}

void CChordTablePicture::OnPress(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const TableCellCallback cb = State().grids[id].press;
  if (cb && r >= 0) cb(r, c);
}

void CChordTablePicture::OnRelease(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const TableCellCallback cb = State().grids[id].release;
  if (cb && r >= 0) cb(r, c);
}

void CChordTablePicture::OnDoubleClick(int x, int y, int id) {
  if (!Valid(id) || !State().grids[id].doubleClick) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const TableCellCallback cb = State().grids[id].doubleClick;
  cb(r, c);
}

void CChordTablePicture::OnRightClick(int x, int y, int id) {
  if (!Valid(id) || !State().grids[id].rightClick) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const TableCellCallback cb = State().grids[id].rightClick;
  cb(r, c);
}

int CChordTablePicture::Count() { return State().count; }
int CChordTablePicture::Rows(int grid) { return Valid(grid) ? State().grids[grid].rows : 0; }
int CChordTablePicture::Columns(int grid) {
  return Valid(grid) ? State().grids[grid].columns : 0;
}
std::string CChordTablePicture::CellText(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? std::string(State().grids[grid].cells[row][column].text)
                                      : std::string();
}
Rect CChordTablePicture::CellRect(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? State().grids[grid].cells[row][column].rect : Rect{};
}
int CChordTablePicture::FontHeight(int grid) {
  return Valid(grid) ? State().grids[grid].fontHeight : 0;
}
plat::Dc* CChordTablePicture::Surface(int grid) {
  return Valid(grid) ? State().grids[grid].dc : nullptr;
}
