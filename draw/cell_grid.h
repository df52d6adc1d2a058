// What the grid pictures share (the chord cells under the score, the melody boxes, the chord
// table and the grid of bitmap cells): the per-class storage of grids, each in its own host
// control; the size check; adding grids; the cell rectangles and the hit test; the mouse events
// turned into cells; and, for grids of text cells, the text block and the text operations.
//
// Text block: rows x 16 columns x 32 bytes (row stride 512), each slot one zero-terminated text
// of at most 31 bytes.
#pragma once

#include "draw/offscreen_picture.h"
#include "draw/text_limits.h"
#include "platform/qt/dc.h"
#include "util/gne.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cell_grid {

constexpr int kSlotText = 32;
constexpr int kBlockRowStride = 16 * kSlotText;

// Rows and columns within the limits; too large shows "error" and gives the full size; a grid
// keeps at least one cell.
inline void CheckSize(int* rows, int* columns, int maxRows, int maxColumns) {
  if (*rows > maxRows || *columns > maxColumns) {
    GneMessageBox("error");
    *rows = maxRows;
    *columns = maxColumns;
  }
  *rows = std::max(*rows, 1);
  *columns = std::max(*columns, 1);
}

// Slot (row, column) of a text block.
inline const char* BlockSlot(const char* block, int row, int column) {
  return block + row * kBlockRowStride + column * kSlotText;
}

// Cell (i, j) of a grid of the given surface size: whole parts of i x e + 2 and j x g + 2, each
// e - 2 high and g - 2 wide, with e and g the size less 2 divided by the rows and columns.
inline plat::Rect CellRect(int i, int j, int rows, int columns, int width, int height) {
  const double e = (height - 2) / static_cast<double>(rows);
  const double g = (width - 2) / static_cast<double>(columns);
  plat::Rect r;
  r.top = static_cast<int>(i * e + 2.0);
  r.bottom = static_cast<int>(r.top + e - 2.0);
  r.left = static_cast<int>(j * g + 2.0);
  r.right = static_cast<int>(r.left + g - 2.0);
  return r;
}

// A cell event: the grid, the row and the column (-1, -1 off every cell).
using CellEvent = std::function<void(int grid, int row, int column)>;

// One grid in its own host control.
template <typename Cell, int MaxRows, int MaxColumns>
struct Grid {
  static constexpr int kMaxRows = MaxRows;
  static constexpr int kMaxColumns = MaxColumns;
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 1;
  int columns = 1;
  CellEvent press, release, doubleClick, rightClick;
  int cursorRow = -1;
  int cursorColumn = -1;
  int fontHeight = 0;
  Cell cells[MaxRows][MaxColumns];
};

// A cell of text. The chord cells and the melody boxes show, enable, mark and colour theirs;
// the chord table marks its own.
struct TextCell {
  plat::Rect rect;
  char text[256] = {};
  int shown = 1;
  int active = 1;
  int marked = 0;
  int colour = 0;
  int tint = 0;
};

// The per-class storage of a grid picture: its grids, how many are in use and the picture that
// owns them (one owner at a time). A grid's number is the id its control reports.
template <typename G, int Capacity>
class Store {
 public:
  using GridType = G;
  static constexpr int kCapacity = Capacity;
  // Handlers and cell events are taken by value and moved into place. clang-tidy misses the
  // moves inside this template and reports them as copies; the NOLINTs below say so.
  using Handler = COffScreenPicture::PointCallback;

  bool Valid(int g) const { return g >= 0 && g < count_; }
  bool ValidCell(int g, int row, int column) const {
    return Valid(g) && row >= 0 && row < grids_[g].rows && column >= 0 &&
           column < grids_[g].columns;
  }
  int Count() const { return count_; }
  G& operator[](int g) { return grids_[g]; }
  const G& operator[](int g) const { return grids_[g]; }

  // Frees every surface and empties the storage.
  void Reset() {
    for (G& g : grids_) {
      if (g.dc || g.bitmap) COffScreenPicture::DeleteSurface(g.bitmap, g.dc);
    }
    *this = Store();
  }
  // The picture's constructor: the storage starts over, owned by `picture`, with grid 0's slot
  // set up on the control (the first Add fills it).
  void Open(COffScreenPicture* picture, COffScreenControl* control, const plat::Rect& rect,
            // NOLINTNEXTLINE(performance-unnecessary-value-param): moved
            Handler press, Handler release) {
    Reset();
    owner_ = picture;
    G& g = grids_[0];
    COffScreenPicture::SetUpSlot(control, rect, std::move(press), std::move(release), g.width,
                                 g.height, g.bitmap, g.dc);
  }
  // The picture's destructor: only its owner empties the storage.
  void Close(const COffScreenPicture* picture) {
    if (owner_ == picture) Reset();
  }
  // Empties the grids, keeping the owner.
  void Clear() {
    for (int i = 0; i < count_; ++i) COffScreenPicture::DeleteSurface(grids_[i].bitmap, grids_[i].dc);
    count_ = 0;
  }

  // The next grid, on its control with its size checked: null ("error") when every grid is in
  // use. The grid's cells are the caller's to lay out.
  G* Add(COffScreenControl* control, const plat::Rect& rect, int rows, int columns,
         // NOLINTNEXTLINE(performance-unnecessary-value-param): moved
         CellEvent press, CellEvent release, Handler onPress, Handler onRelease) {
    if (count_ >= Capacity) {
      GneMessageBox("error");
      return nullptr;
    }
    CheckSize(&rows, &columns, G::kMaxRows, G::kMaxColumns);
    G& g = grids_[count_];
    if (!g.dc) {
      COffScreenPicture::SetUpSlot(control, rect, std::move(onPress), std::move(onRelease),
                                   g.width, g.height, g.bitmap, g.dc);
    }
    g.control = control;
    g.press = std::move(press);
    g.release = std::move(release);
    g.doubleClick = nullptr;
    g.rightClick = nullptr;
    g.rows = rows;
    g.columns = columns;
    g.cursorRow = -1;
    g.cursorColumn = -1;
    g.fontHeight = 0;
    if (control) control->SetId(count_);
    ++count_;
    return &g;
  }

  void SetCursor(int g, int row, int column) {
    if (!Valid(g)) return;
    grids_[g].cursorRow = row;
    grids_[g].cursorColumn = column;
  }
  void GetCursor(int g, int* row, int* column) const {
    if (!Valid(g)) return;
    if (row) *row = grids_[g].cursorRow;
    if (column) *column = grids_[g].cursorColumn;
  }
  void SetFontHeight(int g, int height) {
    if (Valid(g)) grids_[g].fontHeight = height;
  }
  // Moves the grid's control to the rectangle on a new, blank surface.
  void Resize(int g, const plat::Rect& rect) {
    if (!Valid(g)) return;
    G& grid = grids_[g];
    COffScreenPicture::Resize(grid.control, grid.bitmap, grid.dc, rect, grid.height, grid.width);
  }

  void Blit(int g) const {
    if (Valid(g)) COffScreenPicture::Blit(grids_[g].dc, grids_[g].control);
  }
  void BlitAll() const {
    for (int i = 0; i < count_; ++i) Blit(i);
  }

  // The double-click and right-click callbacks; `handler` is the picture's own, set on the
  // grid's control.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): moved
  void SetDoubleClick(int g, CellEvent callback, Handler handler) {
    if (!Valid(g)) return;
    grids_[g].doubleClick = std::move(callback);
    if (grids_[g].control) grids_[g].control->SetDoubleClickCallback(std::move(handler));
  }
  // NOLINTNEXTLINE(performance-unnecessary-value-param): moved
  void SetRightClick(int g, CellEvent callback, Handler handler) {
    if (!Valid(g)) return;
    grids_[g].rightClick = std::move(callback);
    if (grids_[g].control) grids_[g].control->SetRightClickCallback(std::move(handler));
  }

  // The first cell (rows, then columns) whose rectangle holds the point, edges included; -1, -1
  // when none.
  void HitTest(int g, int x, int y, int* row, int* column) const {
    int hr = -1, hc = -1;
    if (Valid(g)) {
      const G& grid = grids_[g];
      for (int i = 0; i < grid.rows && hr < 0; ++i) {
        for (int j = 0; j < grid.columns; ++j) {
          const plat::Rect& rc = grid.cells[i][j].rect;
          if (rc.left <= x && x <= rc.right && rc.top <= y && y <= rc.bottom) {
            hr = i;
            hc = j;
            break;
          }
        }
      }
    }
    if (row) *row = hr;
    if (column) *column = hc;
  }

  // A mouse event at (x, y) on grid `id` goes to the grid's callback `which` with the cell under
  // it; off every cell only when `offCellsToo`.
  void Report(CellEvent G::*which, int id, int x, int y, bool offCellsToo) const {
    if (!Valid(id) || !(grids_[id].*which)) return;
    int r, c;
    HitTest(id, x, y, &r, &c);
    if (r < 0 && !offCellsToo) return;
    const CellEvent callback = grids_[id].*which;  // the callback may rebuild the grids
    callback(id, r, c);
  }

  int Rows(int g) const { return Valid(g) ? grids_[g].rows : 0; }
  int Columns(int g) const { return Valid(g) ? grids_[g].columns : 0; }
  plat::Rect CellRect(int g, int row, int column) const {
    return ValidCell(g, row, column) ? grids_[g].cells[row][column].rect : plat::Rect{};
  }
  plat::Dc* Surface(int g) const { return Valid(g) ? grids_[g].dc : nullptr; }

 private:
  std::vector<G> grids_ = std::vector<G>(Capacity);
  int count_ = 0;
  const COffScreenPicture* owner_ = nullptr;
};

// A cell event that reports only the row and the column.
template <typename RowColumn>
CellEvent WithoutGrid(RowColumn callback) {
  if (!callback) return nullptr;
  return [callback](int, int row, int column) { callback(row, column); };
}

// ---- grids of text cells ------------------------------------------------------------------

// Lays out the cells of grid g on its surface and fills them from the block (null: empty
// texts); every cell is shown, active, unmarked and uncoloured, and the cursor goes.
template <typename S>
void LayoutTextCells(S& store, int g, const char* block) {
  auto& grid = store[g];
  grid.cursorRow = -1;
  grid.cursorColumn = -1;
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = 0; j < grid.columns; ++j) {
      TextCell& c = grid.cells[i][j];
      c.rect = CellRect(i, j, grid.rows, grid.columns, grid.width, grid.height);
      CopyToSlot(c.text, sizeof c.text,
                 block ? SlotText(BlockSlot(block, i, j), kSlotText) : std::string());
      c.shown = 1;
      c.active = 1;
      c.marked = 0;
      c.colour = 0;
    }
  }
}

// A new size and texts for grid g.
template <typename S>
void SetTexts(S& store, int g, int rows, int columns, const char* block) {
  if (!store.Valid(g)) return;
  using G = typename S::GridType;
  CheckSize(&rows, &columns, G::kMaxRows, G::kMaxColumns);
  store[g].rows = rows;
  store[g].columns = columns;
  LayoutTextCells(store, g, block);
}

// The block's texts into the cells of the grid's rows and columns (a null block empties them).
template <typename S>
void SetAllTexts(S& store, int g, const char* block) {
  if (!store.Valid(g)) return;
  auto& grid = store[g];
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = 0; j < grid.columns; ++j) {
      auto& text = grid.cells[i][j].text;
      CopyToSlot(text, sizeof text,
                 block ? SlotText(BlockSlot(block, i, j), kSlotText) : std::string());
    }
  }
}

// Copies every cell text into the block, each cut on a character boundary to fit its slot.
template <typename S>
void GetTexts(const S& store, int g, char* block) {
  if (!store.Valid(g) || !block) return;
  const auto& grid = store[g];
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = 0; j < grid.columns; ++j) {
      CopyToSlot(block + i * kBlockRowStride + j * kSlotText, kSlotText, grid.cells[i][j].text);
    }
  }
}

template <typename S>
constexpr size_t BlockSize() {
  return static_cast<size_t>(S::GridType::kMaxRows) * kBlockRowStride;
}

// Moves grid g to the rectangle: a new surface, the cells laid out again with their texts.
template <typename S>
void MoveGrid(S& store, int g, const plat::Rect& rect) {
  if (!store.Valid(g)) return;
  store.Resize(g, rect);
  std::vector<char> block(BlockSize<S>(), 0);
  GetTexts(store, g, block.data());
  LayoutTextCells(store, g, block.data());
}

// The grid's texts without one row. The last row of a grid stays (a grid keeps one cell) but
// loses its texts.
template <typename S>
void DeleteRow(S& store, int g, int row) {
  if (!store.ValidCell(g, row, 0)) return;
  const auto& grid = store[g];
  std::vector<char> block(BlockSize<S>(), 0);
  GetTexts(store, g, block.data());
  for (int i = row; i + 1 < grid.rows; ++i) {
    std::memcpy(&block[i * kBlockRowStride], &block[(i + 1) * kBlockRowStride], kBlockRowStride);
  }
  if (grid.rows <= 1) std::fill(block.begin(), block.end(), 0);
  SetTexts(store, g, std::max(grid.rows - 1, 1), grid.columns, block.data());
}

template <typename S>
void DeleteColumn(S& store, int g, int column) {
  if (!store.ValidCell(g, 0, column)) return;
  const auto& grid = store[g];
  std::vector<char> block(BlockSize<S>(), 0);
  GetTexts(store, g, block.data());
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = column; j + 1 < grid.columns; ++j) {
      std::memcpy(&block[i * kBlockRowStride + j * kSlotText],
                  &block[i * kBlockRowStride + (j + 1) * kSlotText], kSlotText);
    }
    if (grid.columns == 1) std::memset(&block[i * kBlockRowStride], 0, kSlotText);
  }
  SetTexts(store, g, grid.rows, std::max(grid.columns - 1, 1), block.data());
}

template <typename S>
void RemoveEmptyRows(S& store, int g) {
  if (!store.Valid(g)) return;
  for (int i = store[g].rows - 1; i >= 0; --i) {
    const auto& grid = store[g];
    bool empty = true;
    for (int j = 0; j < grid.columns; ++j) empty = empty && grid.cells[i][j].text[0] == '\0';
    if (grid.rows > 1 && empty) DeleteRow(store, g, i);
  }
}

template <typename S>
void RemoveEmptyColumns(S& store, int g) {
  if (!store.Valid(g)) return;
  for (int j = store[g].columns - 1; j >= 0; --j) {
    const auto& grid = store[g];
    bool empty = true;
    for (int i = 0; i < grid.rows; ++i) empty = empty && grid.cells[i][j].text[0] == '\0';
    if (grid.columns > 1 && empty) DeleteColumn(store, g, j);
  }
}

// Per row from the last: each text moves into an empty cell on its left (one pass).
template <typename S>
void ShiftTextsLeft(S& store, int g) {
  if (!store.Valid(g)) return;
  auto& grid = store[g];
  for (int i = grid.rows - 1; i >= 0; --i) {
    for (int k = 1; k < grid.columns; ++k) {
      auto& left = grid.cells[i][k - 1].text;
      auto& here = grid.cells[i][k].text;
      if (left[0] == '\0') {
        std::memcpy(left, here, sizeof left);
        std::memset(here, 0, sizeof here);
      }
    }
  }
}

template <typename S>
int ContainsText(const S& store, int g, std::string_view text) {
  if (!store.Valid(g)) return 0;
  const auto& grid = store[g];
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = 0; j < grid.columns; ++j) {
      if (text == grid.cells[i][j].text) return 1;
    }
  }
  return 0;
}

template <typename S>
std::string CellText(const S& store, int g, int row, int column) {
  return store.ValidCell(g, row, column) ? std::string(store[g].cells[row][column].text)
                                         : std::string();
}

// Fills the cell's rectangle and draws its text centred across and down, in the grid's font.
template <typename G>
void DrawTextCell(plat::Dc* dc, const G& grid, const TextCell& c, plat::ColorRef fill) {
  dc->FillRect(c.rect, plat::SolidBrush(fill));
  if (c.shown == 0) return;
  std::optional<plat::LogFont> previous;
  if (grid.fontHeight != 0) SelectShiftJisFont(dc, previous, grid.fontHeight);
  dc->DrawText(c.text, c.rect, plat::DT_CENTER | plat::DT_VCENTER);
  RestoreFont(dc, previous);
}

// Draws grid g of a store of text cells: the background over the whole surface, then each cell
// in the fill `fill(grid, row, column)` gives. Nothing for a grid without a surface.
template <typename S, typename Fill>
void DrawTextGrid(const S& store, int g, plat::ColorRef background, Fill fill) {
  if (!store.Valid(g)) return;
  const auto& grid = store[g];
  plat::Dc* dc = grid.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(plat::Rect{0, 0, grid.width, grid.height}, background);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int i = 0; i < grid.rows; ++i) {
    for (int j = 0; j < grid.columns; ++j) {
      DrawTextCell(dc, grid, grid.cells[i][j], fill(grid, i, j));
    }
  }
}

}  // namespace cell_grid
