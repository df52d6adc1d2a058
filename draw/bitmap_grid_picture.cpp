#include "draw/bitmap_grid_picture.h"

#include "draw/cell_grid.h"
#include "draw/skin_resources.h"
#include "draw/text_limits.h"
#include "util/gne.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

struct Cell {
  Rect rect;
  int selected = 0;
  plat::Bitmap bitmap;
  char label[CBitmapGridPicture::kLabelSize] = {};
};

struct Grid {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 1;
  int columns = 1;
  GridCellCallback press, release, doubleClick, rightClick;
  int fontHeight = 0;
  unsigned format = CBitmapGridPicture::kLabelFormat;
  Cell cells[CBitmapGridPicture::kMaxRows][CBitmapGridPicture::kMaxColumns];
};

struct GridState {
  std::vector<Grid> grids = std::vector<Grid>(CBitmapGridPicture::kCapacity);
  int count = 0;
  const void* owner = nullptr;
};

GridState& State() {
  static GridState state;
  return state;
}

bool Valid(int grid) { return grid >= 0 && grid < State().count; }

bool ValidCell(int grid, int row, int column) {
  if (!Valid(grid)) return false;
  const Grid& g = State().grids[grid];
  return row >= 0 && row < g.rows && column >= 0 && column < g.columns;
}

void NoCell(int* row, int* column) {
  if (row) *row = -1;
  if (column) *column = -1;
}

}  // namespace

void CBitmapGridPicture::ResetState() {
  for (Grid& g : State().grids) {
    if (g.dc || g.bitmap) DeleteSurface(g.bitmap, g.dc);
  }
  State() = GridState();
}

CBitmapGridPicture::CBitmapGridPicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const int (*ids)[16], GridCellCallback press,
                                       GridCellCallback release) {
  GridState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.grids[i].bitmap, st.grids[i].dc);
  st = GridState();
  st.owner = this;
  Grid& g = st.grids[0];
  SetUpSlot(control, rect, &OnPress, &OnRelease, g.width, g.height, g.bitmap, g.dc);
  SetPaint(&CBitmapGridPicture::DrawAll);
  AddGrid(control, rect, rows, columns, ids, std::move(press), std::move(release));
}

CBitmapGridPicture::~CBitmapGridPicture() {
  GridState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (Grid& g : st.grids) {
    if (g.dc || g.bitmap) DeleteSurface(g.bitmap, g.dc);
  }
  st = GridState();
}

bool CBitmapGridPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const int (*ids)[16], GridCellCallback press,
                                 GridCellCallback release) {
  GridState& st = State();
  if (st.count >= kCapacity) {
    GneMessageBox("error");
    return false;
  }
  cell_grid::CheckSize(&rows, &columns, kMaxRows, kMaxColumns);
  const int n = st.count;
  Grid& g = st.grids[n];
  if (n > 0) SetUpSlot(control, rect, &OnPress, &OnRelease, g.width, g.height, g.bitmap, g.dc);
  g.press = std::move(press);
  g.release = std::move(release);
  g.doubleClick = nullptr;
  g.rightClick = nullptr;
  g.rows = rows;
  g.columns = columns;
  g.control = control;
  g.fontHeight = 0;
  g.format = kLabelFormat;
  st.count = n + 1;
  LayoutCells(n, ids);
  if (control) control->SetId(n);
  DrawGrid(n);
  return true;
}

void CBitmapGridPicture::LayoutCells(int grid, const int (*ids)[16]) {
  Grid& g = State().grids[grid];
  const double rowStep = g.height / static_cast<double>(g.rows);
  const double columnStep = g.width / static_cast<double>(g.columns);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      Cell& c = g.cells[i][j];
      c.rect.top = static_cast<int>(i * rowStep);
      c.rect.bottom = static_cast<int>(c.rect.top + rowStep);
      c.rect.left = static_cast<int>(j * columnStep);
      c.rect.right = static_cast<int>(c.rect.left + columnStep);
      c.bitmap = plat::Bitmap();
      if (ids) LoadSkinBitmap(ids[i][j] & 0xFFFF, &c.bitmap);
      c.selected = 0;
      c.label[0] = '\0';
    }
  }
}

void CBitmapGridPicture::SetCellSelected(int grid, int row, int column, int flag) {
  if (!ValidCell(grid, row, column)) return;
  State().grids[grid].cells[row][column].selected = flag;
  DrawGrid(grid);
}

void CBitmapGridPicture::ClearSelection(int grid) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      g.cells[i][j].selected = 0;
      g.cells[i][j].label[0] = '\0';
    }
  }
}

void CBitmapGridPicture::SetCellLabel(int grid, int row, int column, const std::string& text) {
  if (!ValidCell(grid, row, column)) return;
  Cell& c = State().grids[grid].cells[row][column];
  CopyToSlot(c.label, sizeof c.label, text);
}

void CBitmapGridPicture::FindSelectedCell(int grid, int* row, int* column) {
  NoCell(row, column);
  if (!Valid(grid)) return;
  const Grid& g = State().grids[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      if (g.cells[i][j].selected == 1) {
        if (row) *row = i;
        if (column) *column = j;
        return;
      }
    }
  }
}

void CBitmapGridPicture::HitTest(int grid, int x, int y, int* row, int* column) {
  if (!Valid(grid)) return NoCell(row, column);
  const Grid& g = State().grids[grid];
  cell_grid::HitTest(g.rows, g.columns, x, y,
                     [&g](int i, int j) -> const Rect& { return g.cells[i][j].rect; }, row, column);
}

void CBitmapGridPicture::DrawGrid(int grid) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const Cell& c = g.cells[i][j];
      const Rect& r = c.rect;
      dc->FillRect(r, plat::SolidBrush(c.selected ? kSelectedFill : kCellFill));
      if (!c.bitmap.IsNull()) {
        dc->BitBlt(r.left, r.top, std::min(r.Width(), c.bitmap.Width()),
                   std::min(r.Height(), c.bitmap.Height()), c.bitmap, 0, 0, plat::SRCINVERT);
      }
      dc->MoveTo(r.left, r.top);
      dc->LineTo(r.left, r.bottom - 1);
      dc->LineTo(r.right - 1, r.bottom - 1);
      dc->LineTo(r.right - 1, r.top);
      dc->LineTo(r.left, r.top);
      if (c.label[0]) {
        std::optional<plat::LogFont> previous;
        if (g.fontHeight != 0) SelectShiftJisFont(dc, previous, g.fontHeight);
        dc->DrawText(c.label, r, g.format);
        RestoreFont(dc, previous);
      }
    }
  }
}

void CBitmapGridPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawGrid(i);
}

void CBitmapGridPicture::Blit(int grid) {
  if (!Valid(grid)) return;
  COffScreenPicture::Blit(State().grids[grid].dc, State().grids[grid].control);
}

void CBitmapGridPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CBitmapGridPicture::SetDoubleClickCallback(int grid, GridCellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.doubleClick = std::move(callback);
  if (g.control) g.control->SetDoubleClickCallback(&OnDoubleClick);
}

void CBitmapGridPicture::SetRightClickCallback(int grid, GridCellCallback callback) {
  if (!Valid(grid)) return;
  Grid& g = State().grids[grid];
  g.rightClick = std::move(callback);
  if (g.control) g.control->SetRightClickCallback(&OnRightClick);
}

void CBitmapGridPicture::OnPress(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const GridCellCallback cb = State().grids[id].press;
  if (cb && r >= 0) cb(r, c);
}

void CBitmapGridPicture::OnRelease(int x, int y, int id) {
  if (!Valid(id)) return;
  DrawAll();
  int r, c;
  HitTest(id, x, y, &r, &c);
  const GridCellCallback cb = State().grids[id].release;
  if (cb) cb(r, c);
}

void CBitmapGridPicture::OnDoubleClick(int x, int y, int id) {
  if (!Valid(id) || !State().grids[id].doubleClick) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const GridCellCallback cb = State().grids[id].doubleClick;
  cb(r, c);
}

void CBitmapGridPicture::OnRightClick(int x, int y, int id) {
  if (!Valid(id) || !State().grids[id].rightClick) return;
  int r, c;
  HitTest(id, x, y, &r, &c);
  const GridCellCallback cb = State().grids[id].rightClick;
  cb(r, c);
}

int CBitmapGridPicture::Count() { return State().count; }
int CBitmapGridPicture::Rows(int grid) { return Valid(grid) ? State().grids[grid].rows : 0; }
int CBitmapGridPicture::Columns(int grid) {
  return Valid(grid) ? State().grids[grid].columns : 0;
}
Rect CBitmapGridPicture::CellRect(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? State().grids[grid].cells[row][column].rect : Rect{};
}
int CBitmapGridPicture::CellSelected(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? State().grids[grid].cells[row][column].selected : 0;
}
std::string CBitmapGridPicture::CellLabel(int grid, int row, int column) {
  return ValidCell(grid, row, column) ? std::string(State().grids[grid].cells[row][column].label)
                                      : std::string();
}
plat::Dc* CBitmapGridPicture::Surface(int grid) {
  return Valid(grid) ? State().grids[grid].dc : nullptr;
}
