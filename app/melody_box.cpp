#include "app/melody_box.h"

#include "draw/cell_grid.h"
#include "draw/text_limits.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Cell {
  Rect rect;
  char text[CMelodyBoxPicture::kCellText] = {};
  int shown = 1;
  int active = 1;
  int marked = 0;
  int colour = 0;
  int tint = 0;
};

struct Box {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 1;
  int columns = 1;
  MelodyBoxCallback press, release, click, rightClick;
  int cursorRow = -1;
  int cursorColumn = -1;
  int fontHeight = 0;
  Cell cells[CMelodyBoxPicture::kMaxRows][CMelodyBoxPicture::kMaxColumns];
};

struct BoxState {
  std::vector<Box> boxes = std::vector<Box>(CMelodyBoxPicture::kCapacity);
  int count = 0;
  const void* owner = nullptr;
};

BoxState& State() {
  static BoxState state;
  return state;
}

bool Valid(int i) { return i >= 0 && i < State().count; }

Cell* CellAt(int i, int row, int column) {
  if (!Valid(i)) return nullptr;
  Box& b = State().boxes[i];
  if (row < 0 || row >= b.rows || column < 0 || column >= b.columns) return nullptr;
  return &b.cells[row][column];
}

void CheckSize(int* rows, int* columns) {
  cell_grid::CheckSize(rows, columns, CMelodyBoxPicture::kMaxRows, CMelodyBoxPicture::kMaxColumns);
}

plat::ColorRef TextColour(int kind) {
  switch (kind) {
    case 1: return 0x191900;
    case 2: return 0x6400;
    case 3: return 0x3264;
    case 4: return 0xC8;
    default: return 0;
  }
}

void CallHit(int id, int x, int y, bool release) {
  if (!Valid(id)) return;
  CMelodyBoxPicture::DrawAllMelodyBoxes();
  int r, c;
  CMelodyBoxPicture::HitTestMelodyBox(id, x, y, &r, &c);
  const MelodyBoxCallback cb = release ? State().boxes[id].release : State().boxes[id].press;
  if (cb && r >= 0) cb(id, r, c);
}

}  // namespace

void CMelodyBoxPicture::ResetState() {
  for (Box& b : State().boxes) {
    if (b.dc || b.bitmap) DeleteSurface(b.bitmap, b.dc);
  }
  State() = BoxState();
}

CMelodyBoxPicture::CMelodyBoxPicture(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, MelodyBoxCallback press,
                                     MelodyBoxCallback release) {
  BoxState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.boxes[i].bitmap, st.boxes[i].dc);
  st.owner = this;
  Box& b = st.boxes[0];
  SetUpSlot(control, rect, &OnPress, &OnRelease, b.width, b.height, b.bitmap, b.dc);
  SetPaint(&CMelodyBoxPicture::DrawAllMelodyBoxes);
  st.count = 0;
  CheckSize(&rows, &columns);
  AddMelodyBox(control, rect, rows, columns, block, std::move(press), std::move(release));
}

CMelodyBoxPicture::~CMelodyBoxPicture() {
  if (State().owner != this) return;
  DestroyMelodyBoxes();
  State().owner = nullptr;
}

void CMelodyBoxPicture::DestroyMelodyBoxes() {
  BoxState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.boxes[i].bitmap, st.boxes[i].dc);
  st.count = 0;
}

bool CMelodyBoxPicture::AddMelodyBox(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, MelodyBoxCallback press,
                                     MelodyBoxCallback release) {
  BoxState& st = State();
  if (st.count >= kCapacity) {
    GneMessageBox("error");
    return false;
  }
  CheckSize(&rows, &columns);
  const int n = st.count;
  Box& b = st.boxes[n];
  if (n > 0) SetUpSlot(control, rect, &OnPress, &OnRelease, b.width, b.height, b.bitmap, b.dc);
  b.control = control;
  b.press = std::move(press);
  b.release = std::move(release);
  b.click = nullptr;
  b.rightClick = nullptr;
  b.rows = rows;
  b.columns = columns;
  b.fontHeight = 0;
  st.count = n + 1;
  if (control) control->SetId(n);
  LayoutMelodyBoxCells(n, block);
  return true;
}

void CMelodyBoxPicture::LayoutMelodyBoxCells(int i, const char* block) {
  Box& b = State().boxes[i];
  b.cursorRow = -1;
  b.cursorColumn = -1;
  for (int r = 0; r < b.rows; ++r) {
    for (int c = 0; c < b.columns; ++c) {
      Cell& cell = b.cells[r][c];
      cell.rect = cell_grid::CellRect(r, c, b.rows, b.columns, b.width, b.height);
      const std::string text =
          block ? SlotText(cell_grid::BlockSlot(block, r, c), kSlotText) : std::string();
      CopyToSlot(cell.text, sizeof cell.text, text);
      cell.shown = 1;
      cell.active = 1;
      cell.marked = 0;
      cell.colour = 0;
    }
  }
}

void CMelodyBoxPicture::SetMelodyBoxText(int i, int column, const std::string& text, int row) {
  Cell* cell = CellAt(i, row, column);
  if (!cell) return;
  // Four bytes to a line: a character that would start a fifth byte starts a new line.
  std::string out;
  size_t onLine = 0;
  const size_t limit = sizeof cell->text - 1;
  for (size_t k = 0; k < text.size() && text[k] != '\0';) {
    const bool lead = GneIsLeadByte(static_cast<uint8_t>(text[k])) && k + 1 < text.size() &&
                      text[k + 1] != '\0';
    const size_t width = lead ? 2 : 1;
    if (text[k] == '\n') {
      if (out.size() + 1 > limit) break;
      out += '\n';
      onLine = 0;
      ++k;
      continue;
    }
    const bool breakFirst = onLine >= 4;
    if (out.size() + width + (breakFirst ? 1 : 0) > limit) break;
    if (breakFirst) {
      out += '\n';
      onLine = 0;
    }
    out.append(text, k, width);
    onLine += width;
    k += width;
  }
  std::memset(cell->text, 0, sizeof cell->text);
  std::memcpy(cell->text, out.data(), out.size());
}

void CMelodyBoxPicture::SetMelodyBoxCellShown(int i, int row, int column, int value) {
  if (Cell* c = CellAt(i, row, column)) c->shown = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellActive(int i, int row, int column, int value) {
  if (Cell* c = CellAt(i, row, column)) c->active = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellMarked(int i, int row, int column, int value) {
  if (Cell* c = CellAt(i, row, column)) c->marked = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellColour(int i, int row, int column, int value) {
  if (Cell* c = CellAt(i, row, column)) c->colour = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellTint(int i, int row, int column, int value) {
  if (Cell* c = CellAt(i, row, column)) c->tint = value;
}

void CMelodyBoxPicture::SetMelodyBoxCursor(int i, int row, int column) {
  if (!Valid(i)) return;
  State().boxes[i].cursorRow = row;
  State().boxes[i].cursorColumn = column;
  DrawMelodyBox(i);
}

void CMelodyBoxPicture::ClearMelodyBoxCursor(int i) { SetMelodyBoxCursor(i, -1, -1); }

void CMelodyBoxPicture::GetMelodyBoxCursor(int i, int* row, int* column) {
  if (!Valid(i)) return;
  if (row) *row = State().boxes[i].cursorRow;
  if (column) *column = State().boxes[i].cursorColumn;
}

void CMelodyBoxPicture::SetMelodyBoxFont(int i, int height) {
  if (Valid(i)) State().boxes[i].fontHeight = height;
}

void CMelodyBoxPicture::SetMelodyBoxTexts(int i, int rows, int columns, const char* block) {
  if (!Valid(i)) return;
  CheckSize(&rows, &columns);
  State().boxes[i].rows = rows;
  State().boxes[i].columns = columns;
  LayoutMelodyBoxCells(i, block);
}

void CMelodyBoxPicture::GetMelodyBoxTexts(int i, char* block) {
  if (!Valid(i) || !block) return;
  const Box& b = State().boxes[i];
  for (int r = 0; r < b.rows; ++r) {
    for (int c = 0; c < b.columns; ++c) {
      CopyToSlot(block + r * kBlockRowStride + c * kSlotText, kSlotText, b.cells[r][c].text);
    }
  }
}

void CMelodyBoxPicture::SetMelodyBoxAllTexts(int i, const char* block) {
  if (!Valid(i)) return;
  Box& b = State().boxes[i];
  for (int r = 0; r < b.rows; ++r) {
    for (int c = 0; c < b.columns; ++c) {
      const std::string text =
          block ? SlotText(cell_grid::BlockSlot(block, r, c), kSlotText) : std::string();
      CopyToSlot(b.cells[r][c].text, kCellText, text);
    }
  }
}

void CMelodyBoxPicture::ClearMelodyBoxTexts(int i) { SetMelodyBoxAllTexts(i, nullptr); }

void CMelodyBoxPicture::MoveMelodyBox(int i, const Rect& rect) {
  if (!Valid(i)) return;
  Box& b = State().boxes[i];
  Resize(b.control, b.bitmap, b.dc, rect, b.height, b.width);
  std::vector<char> block(kBlockSize, 0);
  GetMelodyBoxTexts(i, block.data());
  LayoutMelodyBoxCells(i, block.data());
  DrawMelodyBox(i);
}

void CMelodyBoxPicture::HitTestMelodyBox(int i, int x, int y, int* row, int* column) {
  if (!Valid(i)) {
    if (row) *row = -1;
    if (column) *column = -1;
    return;
  }
  const Box& b = State().boxes[i];
  cell_grid::HitTest(b.rows, b.columns, x, y,
                     [&b](int r, int c) -> const Rect& { return b.cells[r][c].rect; }, row, column);
}

plat::ColorRef CMelodyBoxPicture::CellFill(int i, int row, int column) {
  const Cell* c = CellAt(i, row, column);
  if (!c) return kBackground;
  const Box& b = State().boxes[i];
  if (c->shown == 0) return kHiddenCell;
  if (c->active == 0) return kInactiveCell;
  if (row == b.cursorRow && column == b.cursorColumn) return kCursorCell;
  if (c->marked == 1 && c->colour != 0) return kMarkedCell;
  if (c->colour == 0) return kRestCell;
  return c->tint == 1 ? kLyricCell : kNoteCell;
}

void CMelodyBoxPicture::DrawMelodyBox(int i) {
  if (!Valid(i)) return;
  Box& b = State().boxes[i];
  plat::Dc* dc = b.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, b.width, b.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int r = 0; r < b.rows; ++r) {
    for (int c = 0; c < b.columns; ++c) {
      const Cell& cell = b.cells[r][c];
      dc->FillRect(cell.rect, plat::SolidBrush(CellFill(i, r, c)));
      if (cell.shown == 0 || cell.active == 0 || cell.text[0] == '\0') continue;
      std::optional<plat::LogFont> previous;
      if (b.fontHeight != 0) SelectShiftJisFont(dc, previous, b.fontHeight);
      dc->SetTextColor(TextColour(cell.colour));
      // Centred as a block of lines.
      Rect measure = cell.rect;
      dc->DrawText(cell.text, measure, plat::DT_CENTER | plat::DT_CALCRECT);
      const int h = measure.Height();
      Rect place = cell.rect;
      place.top = cell.rect.top + std::max(0, (cell.rect.Height() - h) / 2);
      place.bottom = place.top + h;
      dc->DrawText(cell.text, place, plat::DT_CENTER);
      RestoreFont(dc, previous);
    }
  }
}

void CMelodyBoxPicture::DrawAllMelodyBoxes() {
  for (int i = 0; i < State().count; ++i) DrawMelodyBox(i);
}

void CMelodyBoxPicture::BlitMelodyBox(int i) {
  if (!Valid(i)) return;
  COffScreenPicture::Blit(State().boxes[i].dc, State().boxes[i].control);
}

void CMelodyBoxPicture::BlitAllMelodyBoxes() {
  for (int i = 0; i < State().count; ++i) BlitMelodyBox(i);
}

void CMelodyBoxPicture::SetMelodyBoxClickCallback(int i, MelodyBoxCallback callback) {
  if (!Valid(i)) return;
  Box& b = State().boxes[i];
  b.click = std::move(callback);
  if (b.control) {
    b.control->SetDoubleClickCallback([](int x, int y, int id) {
      if (!Valid(id) || !State().boxes[id].click) return;
      int r, c;
      HitTestMelodyBox(id, x, y, &r, &c);
      const MelodyBoxCallback cb = State().boxes[id].click;
      cb(id, r, c);
    });
  }
}

void CMelodyBoxPicture::SetMelodyBoxRightClickCallback(int i, MelodyBoxCallback callback) {
  if (!Valid(i)) return;
  Box& b = State().boxes[i];
  b.rightClick = std::move(callback);
  if (b.control) {
    b.control->SetRightClickCallback([](int x, int y, int id) {
      if (!Valid(id) || !State().boxes[id].rightClick) return;
      int r, c;
      HitTestMelodyBox(id, x, y, &r, &c);
      const MelodyBoxCallback cb = State().boxes[id].rightClick;
      cb(id, r, c);
    });
  }
}

void CMelodyBoxPicture::OnPress(int x, int y, int id) { CallHit(id, x, y, false); }
void CMelodyBoxPicture::OnRelease(int x, int y, int id) { CallHit(id, x, y, true); }

int CMelodyBoxPicture::Count() { return State().count; }
int CMelodyBoxPicture::Rows(int i) { return Valid(i) ? State().boxes[i].rows : 0; }
int CMelodyBoxPicture::Columns(int i) { return Valid(i) ? State().boxes[i].columns : 0; }
std::string CMelodyBoxPicture::CellText(int i, int row, int column) {
  const Cell* c = CellAt(i, row, column);
  return c ? std::string(c->text) : std::string();
}
Rect CMelodyBoxPicture::CellRect(int i, int row, int column) {
  const Cell* c = CellAt(i, row, column);
  return c ? c->rect : Rect{};
}
int CMelodyBoxPicture::CellShown(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->shown : 0; }
int CMelodyBoxPicture::CellActive(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->active : 0; }
int CMelodyBoxPicture::CellMarked(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->marked : 0; }
int CMelodyBoxPicture::CellColour(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->colour : 0; }
int CMelodyBoxPicture::CellTint(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->tint : 0; }
plat::Dc* CMelodyBoxPicture::Surface(int i) { return Valid(i) ? State().boxes[i].dc : nullptr; }

// ------------------------------------------------------------------------- fill from the song

void SetMelodyBoxSub(const MelodyBoxSource& source, int barCell, int beat, int* held) {
  CSongData* song = source.song;
  if (!song || !held) return;
  const int bar = barCell + source.firstBar;
  const bool inside = bar >= 0 && bar < song->bar_count &&
                      (bar + 1) * song->beats_per_bar <= kSongMaxBeats;
  for (int k = 0; k < 2; ++k) {
    const int column = beat * 2 + k;
    std::string names = "----";
    std::string shown;
    char lyric[32] = {};
    if (inside) {
      names = song->GetCellText(bar, beat, k);
      song->GetCellLyric(bar, beat, k, lyric, -1);
      if (source.inputMode == 0) {
        if (names.size() > 39) GneMessageBox("SetMelodyBoxSub");
        shown = names.substr(0, Cp932FitLength(names, 39));
      } else {
        shown = lyric;
      }
    }
    CMelodyBoxPicture::SetMelodyBoxCellActive(barCell, 0, column, 1);
    const int songBeat = inside ? bar * song->beats_per_bar + beat : -1;
    const bool skip = songBeat >= 0 && songBeat < kSongMaxBeats &&
                      std::strncmp(song->chords[songBeat].first, "Skip", 8) == 0;
    if (names == "----" || skip) {
      CMelodyBoxPicture::SetMelodyBoxText(barCell, column, std::string(), 0);
      CMelodyBoxPicture::SetMelodyBoxCellActive(barCell, 0, column, 0);
      continue;
    }
    if (names == "～") {
      if (*held) {
        CMelodyBoxPicture::SetMelodyBoxCellColour(barCell, 0, column, 0);
        CMelodyBoxPicture::SetMelodyBoxCellMarked(barCell, 0, column, 0);
      } else {
        CMelodyBoxPicture::SetMelodyBoxCellMarked(barCell, 0, column, 1);
        CMelodyBoxPicture::SetMelodyBoxCellColour(barCell, 0, column, 5);
      }
      CMelodyBoxPicture::SetMelodyBoxCellTint(barCell, 0, column, 0);
      CMelodyBoxPicture::SetMelodyBoxText(barCell, column, std::string(), 0);
      continue;
    }
    CMelodyBoxPicture::SetMelodyBoxCellMarked(barCell, 0, column, 0);
    int kind = 2;
    if (names.find("▽") != std::string::npos) {
      kind = 1;
    } else if (names.find("△") != std::string::npos) {
      kind = 3;
    } else if (names.find("▲") != std::string::npos) {
      kind = 4;
    }
    if (names == "休") {
      kind = 0;
      *held = 1;
    } else {
      *held = 0;
    }
    CMelodyBoxPicture::SetMelodyBoxCellColour(barCell, 0, column, kind);
    CMelodyBoxPicture::SetMelodyBoxCellTint(barCell, 0, column, lyric[0] != '\0' ? 1 : 0);
    CMelodyBoxPicture::SetMelodyBoxText(barCell, column, shown, 0);
  }
}
