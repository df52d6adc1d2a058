#include "draw/text_grid_picture.h"

#include "util/gne_text.h"

#include <algorithm>

namespace {

struct TextGridState {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int rows = 0;
  int columns = 0;
  std::vector<std::string> cells;  // row-major
  plat::ColorRef lineColour = 0xFFFFFF;
  const void* owner = nullptr;
};

TextGridState& State() {
  static TextGridState state;
  return state;
}

bool ValidCell(int row, int column) {
  const TextGridState& st = State();
  return row >= 0 && row < st.rows && column >= 0 && column < st.columns;
}

}  // namespace

void CTextGridPicture::ResetState() {
  TextGridState& st = State();
  if (st.dc || st.bitmap) DeleteSurface(st.bitmap, st.dc);
  st = TextGridState();
}

CTextGridPicture::CTextGridPicture(COffScreenControl* control, const Rect& rect, int rows,
                                   int columns) {
  ResetState();
  TextGridState& st = State();
  st.owner = this;
  SetUpSlot(control, rect, &CTextGridPicture::OnPress, &CTextGridPicture::OnRelease, st.width,
            st.height, st.bitmap, st.dc);
  SetPaint(&CTextGridPicture::Draw);
  st.control = control;
  const bool fits = rows >= 1 && columns >= 1 && rows <= kMaxSize && columns <= kMaxSize;
  st.rows = fits ? rows : 0;
  st.columns = fits ? columns : 0;
  st.cells.assign(static_cast<size_t>(st.rows) * st.columns, std::string());
  Draw();
}

CTextGridPicture::~CTextGridPicture() {
  if (State().owner == this) ResetState();
}

bool CTextGridPicture::SetCell(const std::string& text, int row, int column) {
  if (!ValidCell(row, column)) return false;
  TextGridState& st = State();
  st.cells[static_cast<size_t>(row) * st.columns + column] = text;
  Draw();
  return true;
}

void CTextGridPicture::AppendLine(const std::string& text) {
  if (PutLine(text, nextLine_)) ++nextLine_;
}

bool CTextGridPicture::PutLine(const std::string& text, int line) {
  TextGridState& st = State();
  if (st.rows > 0 && line == st.rows) {
    // One past the last line: every line moves up by one and the last is filled.
    std::move(st.cells.begin() + st.columns, st.cells.end(), st.cells.begin());
    nextLine_ = std::max(0, nextLine_ - 1);
    line = st.rows - 1;
  }
  if (line < 0 || line >= st.rows) return false;
  std::string* cells = &st.cells[static_cast<size_t>(line) * st.columns];
  for (int c = 0; c < st.columns; ++c) cells[c].clear();
  size_t i = 0;
  for (int c = 0; c < st.columns && i < text.size() && text[i] != '\0'; ++c) {
    // A lead byte with its trail is one character; a lead byte at the very end stands alone.
    const bool pair = GneIsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() &&
                      text[i + 1] != '\0';
    const size_t n = pair ? 2 : 1;
    cells[c] = text.substr(i, n);
    i += n;
  }
  Draw();
  return true;
}

void CTextGridPicture::Draw() {
  TextGridState& st = State();
  plat::Dc* dc = st.dc;
  if (!dc || !dc->HasSurface()) return;
  const int w = st.width, h = st.height;
  dc->FillSolidRect(Rect{0, 0, w, h}, 0xFFFFFF);
  if (st.rows < 1 || st.columns < 1) return;
  const double rh = h / static_cast<double>(st.rows);
  const double cw = w / static_cast<double>(st.columns);
  if (st.rows > 1) {
    const plat::Pen old = dc->SelectPen(plat::Pen{plat::PS_SOLID, 1, st.lineColour});
    for (int i = 1; i < st.rows; ++i) {
      const int y = static_cast<int>(i * rh);
      dc->MoveTo(0, y);
      dc->LineTo(w, y);
    }
    for (int j = 1; j < st.columns; ++j) {
      const int x = static_cast<int>(j * cw);
      dc->MoveTo(x, 0);
      dc->LineTo(x, h);
    }
    dc->SelectPen(old);
  }
  dc->SetBkMode(plat::TRANSPARENT);
  dc->SetTextColor(kTextColour);
  std::optional<plat::LogFont> previous;
  SelectShiftJisFont(dc, previous, kFontHeight);
  for (size_t i = 0; i < st.cells.size(); ++i) {
    const int c = static_cast<int>(i % st.columns);
    const int r = static_cast<int>(i / st.columns);
    const int x = static_cast<int>(c * cw);
    const int y = static_cast<int>(r * rh);
    dc->DrawText(st.cells[i], Rect{x, y, x + 20, y + 20},
                 plat::DT_SINGLELINE | plat::DT_VCENTER | plat::DT_LEFT);
  }
  RestoreFont(dc, previous);
}

void CTextGridPicture::Blit() { COffScreenPicture::Blit(State().dc, State().control); }

int CTextGridPicture::Rows() { return State().rows; }
int CTextGridPicture::Columns() { return State().columns; }

std::string CTextGridPicture::Cell(int row, int column) {
  if (!ValidCell(row, column)) return std::string();
  return State().cells[static_cast<size_t>(row) * State().columns + column];
}

plat::ColorRef CTextGridPicture::LineColour() { return State().lineColour; }
plat::Dc* CTextGridPicture::Surface() { return State().dc; }

void CTextGridPicture::OnPress(int, int, int) {}
void CTextGridPicture::OnRelease(int, int, int) {}
