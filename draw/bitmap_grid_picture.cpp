#include "draw/bitmap_grid_picture.h"

#include "draw/skin_resources.h"

#include <algorithm>
#include <optional>

CBitmapGridPicture::CBitmapGridPicture(COffScreenControl* control, const Rect& rect, int rows,
                                       int columns, const int (*ids)[16], GridCellCallback press,
                                       GridCellCallback release) {
  Open(control, rect);
  AddGrid(control, rect, rows, columns, ids, std::move(press), std::move(release));
}

bool CBitmapGridPicture::AddGrid(COffScreenControl* control, const Rect& rect, int rows,
                                 int columns, const int (*ids)[16], GridCellCallback press,
                                 GridCellCallback release) {
  const int n = AddCells(control, rect, rows, columns, std::move(press), std::move(release));
  if (n < 0) return false;
  LayoutCells(n, ids);
  DrawGrid(n);
  return true;
}

// The cells divide the surface without gaps; each shows its skin bitmap.
void CBitmapGridPicture::LayoutCells(int grid, const int (*ids)[16]) {
  auto& g = State()[grid];
  const double rowStep = g.height / static_cast<double>(g.rows);
  const double columnStep = g.width / static_cast<double>(g.columns);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      BitmapGridCell& c = g.cells[i][j];
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
  if (!State().ValidCell(grid, row, column)) return;
  State()[grid].cells[row][column].selected = flag;
  DrawGrid(grid);
}

void CBitmapGridPicture::ClearSelection(int grid) {
  if (!State().Valid(grid)) return;
  auto& g = State()[grid];
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      g.cells[i][j].selected = 0;
      g.cells[i][j].label[0] = '\0';
    }
  }
}

void CBitmapGridPicture::SetCellLabel(int grid, int row, int column, const std::string& text) {
  if (!State().ValidCell(grid, row, column)) return;
  BitmapGridCell& c = State()[grid].cells[row][column];
  CopyToSlot(c.label, sizeof c.label, text);
}

void CBitmapGridPicture::FindSelectedCell(int grid, int* row, int* column) {
  int r = -1, c = -1;
  for (int i = 0; i < Rows(grid) && r < 0; ++i) {
    for (int j = 0; j < Columns(grid); ++j) {
      if (State()[grid].cells[i][j].selected == 1) {
        r = i;
        c = j;
        break;
      }
    }
  }
  if (row) *row = r;
  if (column) *column = c;
}

void CBitmapGridPicture::DrawGrid(int grid) {
  if (!State().Valid(grid)) return;
  const auto& g = State()[grid];
  plat::Dc* dc = g.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.columns; ++j) {
      const BitmapGridCell& c = g.cells[i][j];
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

int CBitmapGridPicture::CellSelected(int grid, int row, int column) {
  return State().ValidCell(grid, row, column) ? State()[grid].cells[row][column].selected : 0;
}

std::string CBitmapGridPicture::CellLabel(int grid, int row, int column) {
  return State().ValidCell(grid, row, column) ? std::string(State()[grid].cells[row][column].label)
                                              : std::string();
}
