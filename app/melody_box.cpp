#include "app/melody_box.h"

#include "draw/text_limits.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

plat::ColorRef TextColour(int kind) {
  switch (kind) {
    case 1: return 0x191900;
    case 2: return 0x6400;
    case 3: return 0x3264;
    case 4: return 0xC8;
    default: return 0;
  }
}

}  // namespace

CMelodyBoxPicture::CMelodyBoxPicture(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, MelodyBoxCallback press,
                                     MelodyBoxCallback release) {
  Open(control, rect);
  AddMelodyBox(control, rect, rows, columns, block, std::move(press), std::move(release));
}

void CMelodyBoxPicture::DestroyMelodyBoxes() { State().Clear(); }

bool CMelodyBoxPicture::AddMelodyBox(COffScreenControl* control, const Rect& rect, int rows,
                                     int columns, const char* block, MelodyBoxCallback press,
                                     MelodyBoxCallback release) {
  const int n = AddCells(control, rect, rows, columns, std::move(press), std::move(release));
  if (n < 0) return false;
  LayoutMelodyBoxCells(n, block);
  return true;
}

void CMelodyBoxPicture::SetMelodyBoxText(int i, int column, const std::string& text, int row) {
  cell_grid::TextCell* cell = CellAt(i, row, column);
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
  if (cell_grid::TextCell* c = CellAt(i, row, column)) c->shown = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellActive(int i, int row, int column, int value) {
  if (cell_grid::TextCell* c = CellAt(i, row, column)) c->active = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellMarked(int i, int row, int column, int value) {
  if (cell_grid::TextCell* c = CellAt(i, row, column)) c->marked = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellColour(int i, int row, int column, int value) {
  if (cell_grid::TextCell* c = CellAt(i, row, column)) c->colour = value;
}
void CMelodyBoxPicture::SetMelodyBoxCellTint(int i, int row, int column, int value) {
  if (cell_grid::TextCell* c = CellAt(i, row, column)) c->tint = value;
}

void CMelodyBoxPicture::SetMelodyBoxCursor(int i, int row, int column) {
  State().SetCursor(i, row, column);
  DrawGrid(i);
}

plat::ColorRef CMelodyBoxPicture::CellFill(int i, int row, int column) {
  const cell_grid::TextCell* c = CellAt(i, row, column);
  if (!c) return kBackground;
  const auto& b = State()[i];
  if (c->shown == 0) return kHiddenCell;
  if (c->active == 0) return kInactiveCell;
  if (row == b.cursorRow && column == b.cursorColumn) return kCursorCell;
  if (c->marked == 1 && c->colour != 0) return kMarkedCell;
  if (c->colour == 0) return kRestCell;
  return c->tint == 1 ? kLyricCell : kNoteCell;
}

void CMelodyBoxPicture::DrawGrid(int i) {
  if (!State().Valid(i)) return;
  const auto& b = State()[i];
  plat::Dc* dc = b.dc;
  if (!dc || !dc->HasSurface()) return;
  dc->FillSolidRect(Rect{0, 0, b.width, b.height}, kBackground);
  dc->SetBkMode(plat::TRANSPARENT);
  for (int r = 0; r < b.rows; ++r) {
    for (int c = 0; c < b.columns; ++c) {
      const cell_grid::TextCell& cell = b.cells[r][c];
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

int CMelodyBoxPicture::CellShown(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->shown : 0; }
int CMelodyBoxPicture::CellActive(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->active : 0; }
int CMelodyBoxPicture::CellMarked(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->marked : 0; }
int CMelodyBoxPicture::CellColour(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->colour : 0; }
int CMelodyBoxPicture::CellTint(int i, int r, int c) { return CellAt(i, r, c) ? CellAt(i, r, c)->tint : 0; }

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
