#include "draw/bitmap_grid_picture.h"

#include "draw/cell_grid.h"
#include "draw/skin_resources.h"

#include <algorithm>
#include <optional>

namespace {

struct BitmapCell {
  Rect rect;
  int selected = 0;
  plat::Bitmap bitmap;
  char label[CBitmapGridPicture::kLabelSize] = {};
};

using BitmapGrid =
    cell_grid::Grid<BitmapCell, CBitmapGridPicture::kMaxRows, CBitmapGridPicture::kMaxColumns>;
using Store = cell_grid::Store<BitmapGrid, CBitmapGridPicture::kCapacity>;

Store& State() {
  static Store store;
  return store;
}

void NoCell(int* row, int* column) {
  if (row) *row = -1;
  if (column) *column = -1;
}

// The cells divide the surface without gaps; each shows its skin bitmap.
void LayoutCells(int grid, const int (*ids)[16]) {
  BitmapGrid& g = State()[grid];
  const double rowStep = g.height / static_cast<double>(g.rows);
  const double columnStep = g.width / static_cast<double>(g.columns);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      BitmapCell& c = g.cells[i][j];
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

}  // namespace

void CBitmapGridPicture::ResetState() { State().Reset(); }

CBitmapGridPicture::CBitmapGridPicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const int (*ids)[16], GridCellCallback press,
                                       GridCellCallback release) {
  State().Open(this, control, rect, &OnPress, &OnRelease);
  SetPaint(&CBitmapGridPicture::DrawAll);
  AddGrid(control, rect, rows, columns, ids, std::move(press), std::move(release));
}

CBitmapGridPicture::~CBitmapGridPicture() { State().Close(this); }

bool CBitmapGridPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const int (*ids)[16], GridCellCallback press,
                                 GridCellCallback release) {
  const int n = State().Count();
  if (!State().Add(control, rect, rows, columns, cell_grid::WithoutGrid(std::move(press)),
                   cell_grid::WithoutGrid(std::move(release)), &OnPress, &OnRelease)) {
    return false;
  }
  LayoutCells(n, ids);
  DrawGrid(n);
  return true;
}

void CBitmapGridPicture::SetCellSelected(int grid, int row, int column, int flag) {
  if (!State().ValidCell(grid, row, column)) return;
  State()[grid].cells[row][column].selected = flag;
  DrawGrid(grid);
}

void CBitmapGridPicture::ClearSelection(int grid) {
  if (!State().Valid(grid)) return;
  BitmapGrid& g = State()[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      g.cells[i][j].selected = 0;
      g.cells[i][j].label[0] = '\0';
    }
  }
}

void CBitmapGridPicture::SetCellLabel(int grid, int row, int column, const std::string& text) {
  if (!State().ValidCell(grid, row, column)) return;
  BitmapCell& c = State()[grid].cells[row][column];
  CopyToSlot(c.label, sizeof c.label, text);
}

void CBitmapGridPicture::FindSelectedCell(int grid, int* row, int* column) {
  NoCell(row, column);
  if (!State().Valid(grid)) return;
  const BitmapGrid& g = State()[grid];
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
  State().HitTest(grid, x, y, row, column);
}

void CBitmapGridPicture::DrawGrid(int grid) {
  if (!State().Valid(grid)) return;
  const BitmapGrid& g = State()[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const BitmapCell& c = g.cells[i][j];
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
        dc->DrawText(c.label, r, kLabelFormat);
        RestoreFont(dc, previous);
      }
    }
  }
}

void CBitmapGridPicture::DrawAll() {
  for (int i = 0; i < State().Count(); ++i) DrawGrid(i);
}

void CBitmapGridPicture::Blit(int grid) { State().Blit(grid); }

void CBitmapGridPicture::BlitAll() { State().BlitAll(); }

void CBitmapGridPicture::SetDoubleClickCallback(int grid, GridCellCallback callback) {
  State().SetDoubleClick(grid, cell_grid::WithoutGrid(std::move(callback)), &OnDoubleClick);
}

void CBitmapGridPicture::SetRightClickCallback(int grid, GridCellCallback callback) {
  State().SetRightClick(grid, cell_grid::WithoutGrid(std::move(callback)), &OnRightClick);
}

void CBitmapGridPicture::OnPress(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&BitmapGrid::press, id, x, y, false);
}

// A release off every cell is reported too (-1, -1): the owner lets go of what the press took.
void CBitmapGridPicture::OnRelease(int x, int y, int id) {
  if (!State().Valid(id)) return;
  DrawAll();
  State().Report(&BitmapGrid::release, id, x, y, true);
}

void CBitmapGridPicture::OnDoubleClick(int x, int y, int id) {
  State().Report(&BitmapGrid::doubleClick, id, x, y, true);
}

void CBitmapGridPicture::OnRightClick(int x, int y, int id) {
  State().Report(&BitmapGrid::rightClick, id, x, y, true);
}

int CBitmapGridPicture::Count() { return State().Count(); }
int CBitmapGridPicture::Rows(int grid) { return State().Rows(grid); }
int CBitmapGridPicture::Columns(int grid) { return State().Columns(grid); }
Rect CBitmapGridPicture::CellRect(int grid, int row, int column) {
  return State().CellRect(grid, row, column);
}
int CBitmapGridPicture::CellSelected(int grid, int row, int column) {
  return State().ValidCell(grid, row, column) ? State()[grid].cells[row][column].selected : 0;
}
std::string CBitmapGridPicture::CellLabel(int grid, int row, int column) {
  return State().ValidCell(grid, row, column) ? std::string(State()[grid].cells[row][column].label)
                                              : std::string();
}
plat::Dc* CBitmapGridPicture::Surface(int grid) { return State().Surface(grid); }
