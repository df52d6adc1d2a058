#include "draw/chord_cell_picture.h"

#include "draw/cell_grid.h"
#include "draw/text_limits.h"
#include "util/gne.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Cell {
  Rect rect;
  char text[CChordCellPicture::kCellText] = {};
  int shown = 1;
  int active = 1;
};

struct Grid {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 1;
  int columns = 1;
  CellCallback press, release, doubleClick, rightClick;
  int cursorRow = -1;
  int cursorColumn = -1;
  int fontHeight = 0;
  Cell cells[CChordCellPicture::kMaxRows][CChordCellPicture::kMaxColumns];
};

struct CellState {
  std::vector<Grid> grids = std::vector<Grid>(CChordCellPicture::kCapacity);
  int count = 0;
  const void* owner = nullptr;
};

CellState& State() {
  static CellState state;
  return state;
}

bool Valid(int grid) { return grid >= 0 && grid < State().count; }

bool ValidCell(int grid, int row, int column) {
  if (!Valid(grid)) return false;
  const Grid& g = State().grids[grid];
  return row >= 0 && row < g.rows && column >= 0 && column < g.columns;
}

void CheckSize(int* rows, int* columns) {
  cell_grid::CheckSize(rows, columns, CChordCellPicture::kMaxRows, CChordCellPicture::kMaxColumns);
}

const char* BlockSlot(const char* block, int row, int column) {
  return cell_grid::BlockSlot(block, row, column);
}

}  // namespace

void CChordCellPicture::ResetState() {
  for (Grid& g : State().grids) {
    if (g.dc || g.bitmap) DeleteSurface(g.bitmap, g.dc);
  }
  State() = CellState();
}

CChordCellPicture::CChordCellPicture(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, CellCallback press,
                                     CellCallback release) {
  CellState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.grids[i].bitmap, st.grids[i].dc);
  st.owner = this;
  Grid& g = st.grids[0];
  SetUpSlot(control, rect, &OnPress, &OnRelease, g.width, g.height, g.bitmap, g.dc);
  SetPaint(&CChordCellPicture::DrawAll);
  st.count = 0;
  CheckSize(&rows, &columns);
  AddGrid(control, rect, rows, columns, block, std::move(press), std::move(release));
}

CChordCellPicture::~CChordCellPicture() {
  CellState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.grids[i].bitmap, st.grids[i].dc);
}

bool CChordCellPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                int columns, const char* block, CellCallback press,
                                CellCallback release) {
  CellState& st = State();
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
  g.rows = rows;
  g.columns = columns;
  g.control = control;
  g.doubleClick = nullptr;
  g.rightClick = nullptr;
  st.count = n + 1;
  LayoutCells(n, block);
  if (control) control->SetId(n);
  g.fontHeight = 0;
  DrawGrid(n);
  g.cursorRow = -1;
  g.cursorColumn = -1;
  return true;
}

void CChordCellPicture::LayoutCells(int grid, const char* block) {
  Grid& g = State().grids[grid];
  g.cursorRow = -1;
  g.cursorColumn = -1;
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      Cell& c = g.cells[i][j];
      c.rect = cell_grid::CellRect(i, j, g.rows, g.columns, g.width, g.height);
      const std::string text = block ? SlotText(BlockSlot(block, i, j), kSlotText) : std::string();
      CopyToSlot(c.text, sizeof c.text, text);
      c.shown = 1;
      c.active = 1;
    }
  }
}

void CChordCellPicture::SetCellText(int grid, int column, const std::string& text, int row) {
  if (!ValidCell(grid, row, column)) return;
  Cell& c = State().grids[grid].cells[row][column];
  CopyToSlot(c.text, sizeof c.text, text);
}

void CChordCellPicture::SetCellShown(int grid, int row, int column, int flag) {
  if (ValidCell(grid, row, column)) State().grids[grid].cells[row][column].shown = flag;
}

void CChordCellPicture::SetCellActive(int grid, int row, int column, int flag) {
  if (ValidCell(grid, row, column)) State().grids[grid].cells[row][column].active = flag;
}

void CChordCellPicture::SetCursor(int grid, int row, int column) {
  if (!Valid(grid)) return;
  State().grids[grid].cursorRow = row;
  State().grids[grid].cursorColumn = column;
  DrawGrid(grid);
}

void CChordCellPicture::ClearCursor(int grid) { SetCursor(grid, -1, -1); }

void CChordCellPicture::GetCursor(int grid, int* row, int* column) {
  if (!Valid(grid)) return;
  if (row) *row = State().grids[grid].cursorRow;
  if (column) *column = State().grids[grid].cursorColumn;
}

void CChordCellPicture::SetFontHeight(int grid, int height) {
  if (Valid(grid)) State().grids[grid].fontHeight = height;
}

void CChordCellPicture::SetTexts(int grid, int rows, int columns, const char* block) {
  if (!Valid(grid)) return;
  CheckSize(&rows, &columns);
  State().grids[grid].rows = rows;
  State().grids[grid].columns = columns;
  LayoutCells(grid, block);
}

void CChordCellPicture::SetAllTexts(int grid, const char* block) {
  if (Valid(grid)) cell_grid::SetAllTexts(State().grids[grid], block);
}

void CChordCellPicture::GetTexts(int grid, char* block) {
  if (Valid(grid) && block) cell_grid::GetTexts(State().grids[grid], block);
}

void CChordCellPicture::ClearTexts(int grid) { SetAllTexts(grid, nullptr); }

void CChordCellPicture::MoveGrid(int grid, const Rect& rect) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  Resize(g.control, g.bitmap, g.dc, rect, g.height, g.width);
  std::vector<char> block(kBlockSize, 0);
  GetTexts(grid, block.data());
  LayoutCells(grid, block.data());
  DrawGrid(grid);
}

void CChordCellPicture::DeleteRow(int grid, int row) {
  if (!ValidCell(grid, row, 0)) return;
  cell_grid::DeleteRow(State().grids[grid], row, kBlockSize,
                       [grid](int rows, int columns, const char* block) {
                         SetTexts(grid, rows, columns, block);
                       });
}

void CChordCellPicture::DeleteColumn(int grid, int column) {
  if (!ValidCell(grid, 0, column)) return;
  cell_grid::DeleteColumn(State().grids[grid], column, kBlockSize,
                          [grid](int rows, int columns, const char* block) {
                            SetTexts(grid, rows, columns, block);
                          });
}

void CChordCellPicture::RemoveEmptyRows(int grid) {
  if (!Valid(grid)) return;
  for (int i = State().grids[grid].rows - 1; i >= 0; --i) {
    const Grid& g = State().grids[grid];
    if (g.rows > 1 && cell_grid::RowEmpty(g, i)) DeleteRow(grid, i);
  }
}

void CChordCellPicture::RemoveEmptyColumns(int grid) {
  if (!Valid(grid)) return;
  for (int j = State().grids[grid].columns - 1; j >= 0; --j) {
    const Grid& g = State().grids[grid];
    if (g.columns > 1 && cell_grid::ColumnEmpty(g, j)) DeleteColumn(grid, j);
  }
}

void CChordCellPicture::ShiftTextsLeft(int grid) {
  if (Valid(grid)) cell_grid::ShiftTextsLeft(State().grids[grid]);
}

int CChordCellPicture::ContainsText(int grid, const std::string& text) {
  return Valid(grid) ? cell_grid::ContainsText(State().grids[grid], text) : 0;
}

void CChordCellPicture::HitTest(int grid, int x, int y, int* row, int* column) {
  if (!Valid(grid)) {
    if (row) *row = -1;
    if (column) *column = -1;
    return;
  }
  const Grid& g = State().grids[grid];
  cell_grid::HitTest(g.rows, g.columns, x, y,
                     [&g](int i, int j) -> const Rect& { return g.cells[i][j].rect; }, row, column);
}

void CChordCellPicture::DrawGrid(int grid) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, g.width, g.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const Cell& c = g.cells[i][j];
      plat::ColorRef fill = kActive;
      if (c.shown == 0) {
        fill = kHidden;
      } else if (c.active == 0) {
        fill = kInactive;
      } else if (i == g.cursorRow && j == g.cursorColumn) {
        fill = kCursor;
      }
      dc->FillRect(c.rect, plat::SolidBrush(fill));
      if (c.shown == 0) continue;
      std::optional<plat::LogFont> previous;
      if (g.fontHeight != 0) SelectShiftJisFont(dc, previous, g.fontHeight);
      dc->DrawText(c.text, c.rect, plat::DT_CENTER | plat::DT_VCENTER);
      RestoreFont(dc, previous);
    }
  }
}

void CChordCellPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawGrid(i);
}

void CChordCellPicture::Blit(int grid) {
  if (!Valid(grid)) return;
  COffScreenPicture::Blit(State().grids[grid].dc, State().grids[grid].control);
}

void CChordCellPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CChordCellPicture::SetDoubleClickCallback(int grid, CellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.doubleClick = std::move(callback);
  if (g.control) g.control->SetDoubleClickCallback(&OnDoubleClick);
}

void CChordCellPicture::SetRightClickCallback(int grid, CellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.rightClick = std::move(callback);
  if (g.control) g.control->SetRightClickCallback(&OnRightClick);
}

void CChordCellPicture::OnPress(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const CellCallback cb = State().grids[id].press;
  if (cb && r >= 0) cb(id, r, c);
}

void CChordCellPicture::OnRelease(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const CellCallback cb = State().grids[id].release;
  if (cb && r >= 0) cb(id, r, c);
}

void CChordCellPicture::OnDoubleClick(int x, int y, int id) {
  if (!Valid(id) || !State().grids[id].doubleClick) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const CellCallback cb = State().grids[id].doubleClick;
  cb(id, r, c);
}

void CChordCellPicture::OnRightClick(int x, int y, int id) {
  if (!Valid(id)) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const CellCallback cb = State().grids[id].rightClick;
  if (cb) cb(id, r, c);
}

int CChordCellPicture::Count() { return State().count; }
int CChordCellPicture::Rows(int grid) { return Valid(grid) ? State().grids[grid].rows : 0; }
int CChordCellPicture::Columns(int grid) {
  return Valid(grid) ? State().grids[grid].columns : 0;
}
std::string CChordCellPicture::CellText(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? std::string(State().grids[grid].cells[row][column].text)
                                      : std::string();
}
Rect CChordCellPicture::CellRect(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? State().grids[grid].cells[row][column].rect : Rect{};
}
plat::Dc* CChordCellPicture::Surface(int grid) {
  return Valid(grid) ? State().grids[grid].dc : nullptr;
}
