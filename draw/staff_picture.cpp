#include "draw/staff_picture.h"

#include "draw/skin_resources.h"
#include "draw/staff_state.h"

#include <algorithm>
#include <cmath>
#include <functional>

using staff_detail::Row;

namespace staff_detail {

State& Get() {
  static State state;
  return state;
}

}  // namespace staff_detail

namespace {

staff_detail::State& St() { return staff_detail::Get(); }

bool IsLinePosition(int pitch) {
  switch (pitch % 24) {
    case 2: case 5: case 9: case 12: case 16: case 19: case 23: return true;
    default: return false;
  }
}

bool IsDrawnStaffLine(int pitch) {
  switch (pitch) {
    case 43: case 47: case 50: case 53: case 57:
    case 64: case 67: case 71: case 74: case 77: return true;
    default: return false;
  }
}

bool InSet(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

// The top and bottom of a head rectangle at a running y.
void SetVertical(StaffPosition& p, double y, double s) {
  p.top = static_cast<int>(y);
  p.bottom = static_cast<int>(y + s);
  if (static_cast<int>(10 * y) % 10 >= 5) p.top += 1;
  if (static_cast<int>(10 * (y + s)) % 10 >= 5) p.bottom += 1;
}

void OnPressThunk(int x, int y, int id) {
  if (St().owner) St().owner->OnPress(x, y, id);
}

void OnReleaseThunk(int x, int y, int id) {
  if (St().owner) St().owner->OnRelease(x, y, id);
}

void SetUpRowSlot(Row& r, COffScreenControl* control, const Rect& rect) {
  COffScreenPicture::SetUpSlot(control, rect, &OnPressThunk, &OnReleaseThunk, r.width, r.height,
                               r.bitmap, r.dc);
  if (control && St().doubleClick) {
    const StaffDoubleClickCallback cb = St().doubleClick;
    control->SetDoubleClickCallback([cb](int x, int y, int id) { cb(x, y, id); });
  }
}

}  // namespace

void CStaffPicture::ResetState() {
  for (Row& r : St().rows) {
    if (r.dc || r.bitmap) DeleteSurface(r.bitmap, r.dc);
  }
  St() = staff_detail::State();
}

void CStaffPicture::PaintAll() {
  if (St().owner) St().owner->DrawAll();
}

CStaffPicture::CStaffPicture(COffScreenControl* control, const Rect& rect, int low, int high,
                             StaffClickCallback click, StaffDoubleClickCallback doubleClick) {
  Construct(control, rect, low, high, std::move(click), std::move(doubleClick));
}

void CStaffPicture::Construct(COffScreenControl* control, const Rect& rect, int low, int high,
                              StaffClickCallback click, StaffDoubleClickCallback doubleClick) {
  auto& st = St();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.rows[i].bitmap, st.rows[i].dc);
  st.count = 0;
  st.owner = this;
  st.click = std::move(click);
  st.doubleClick = std::move(doubleClick);
  SetUpRowSlot(st.rows[0], control, rect);
  SetPaint(&CStaffPicture::PaintAll);
  CStaffPicture::AddRow(control, rect, low, high);
}

CStaffPicture::~CStaffPicture() {
  auto& st = St();
  // A picture made again before the old one is deleted owns the rows now.
  if (st.owner != this) return;
  for (int i = 0; i < st.count; ++i) {
    Row& r = st.rows[i];
    DeleteSurface(r.bitmap, r.dc);
    r = Row();
  }
  st.count = 0;
  st.owner = nullptr;
}

bool CStaffPicture::AddRow(COffScreenControl* control, const Rect& rect, int low, int high) {
  auto& st = St();
  if (st.count >= kCapacity) {
    ErrorMsg(2);
    return false;
  }
  const int index = st.count;
  Row& r = st.rows[index];
  if (index > 0) SetUpRowSlot(r, control, rect);
  low = std::clamp(low, 0, 127);
  high = std::clamp(high, 0, 127);
  if (low > high) {
    // A range upside down cannot be laid out: report it and keep a single pitch.
    ErrorMsg(2);
    high = low;
  }
  r.control = control;
  r.low = low;
  r.high = high;
  r.percussion = 0;
  r.chordNotes.clear();
  r.spelling = index < 16 ? 2 : 0;
  r.clef = 1;
  r.edge = 0;
  // Line positions, highest first.
  r.lineFlags.clear();
  for (int p = high; p >= low; --p) {
    if (IsLinePosition(p)) r.lineFlags.push_back(IsDrawnStaffLine(p) ? 1 : 0);
  }
  r.lineCount = static_cast<int>(r.lineFlags.size());
  const int W = r.width, H = r.height;
  const double s = H / static_cast<double>(r.lineCount + 1);
  r.s = s;
  const int centre = W / 2;  // the heads' middle, a whole pixel
  const int count = high - low + 1;
  r.sharpTable.assign(count, StaffPosition());
  r.flatTable.assign(count, StaffPosition());
  // Both tables walk the pitches upward from a start y, moving up half a spacing where the
  // spelling's rule says the head goes to the next line position.
  auto fill = [&](std::vector<StaffPosition>& table, int spelling, double y,
                  const std::function<bool(int m, int j, int f)>& movesUp) {
    int f = 0;
    for (int j = 0; j < count; ++j) {
      const int p = low + j;
      if (movesUp(p % 24, j, f)) {
        y -= s / 2;
        f = 1;
      }
      StaffPosition& sp = table[j];
      sp.pitch = p;
      sp.accidental = AccidentalOf(p, spelling);
      sp.left = static_cast<int>(centre - s / 2);
      sp.right = static_cast<int>(centre + s / 2);
      SetVertical(sp, y, s);
    }
  };
  fill(r.sharpTable, 2, H - s, [](int m, int j, int f) {
    return InSet(m, {2, 5, 9, 12, 16, 19, 23}) ||
           (InSet(m, {0, 4, 7, 11, 14, 17, 21}) && (j >= 2 || (j == 1 && f == 1)));
  });
  fill(r.flatTable, 1, H - 1.5 * s, [](int m, int j, int f) {
    return (InSet(m, {1, 3, 6, 10, 13, 17, 20}) && j >= 1) ||
           (InSet(m, {0, 5, 8, 12, 15, 18, 22}) && (j >= 3 || ((j == 1 || j == 2) && f == 1)));
  });
  st.count = index + 1;
  MarkDirty(index);
  return true;
}

bool CStaffPicture::ValidRow(int row) const { return row >= 0 && row < St().count; }

void CStaffPicture::MarkDirty(int row) {
  if (ValidRow(row)) St().rows[row].dirty = true;
}

void CStaffPicture::EnsureDrawn(int row) {
  if (ValidRow(row) && St().rows[row].dirty) DrawRow(row);
}

void CStaffPicture::OnPress(int x, int y, int id) {
  if (id >= 0 && id < St().count && St().click) St().click(id, x, y);
}

void CStaffPicture::OnRelease(int, int, int) {}

void CStaffPicture::EraseRow(int row) {
  Row& r = St().rows[row];
  r.dc->FillSolidRect(Rect{0, 0, r.width, r.height}, 0xFFFFFF);
}

void CStaffPicture::DrawStaffLines(int row) {
  Row& r = St().rows[row];
  const plat::Pen old = r.dc->SelectPen(plat::Pen{plat::PS_SOLID, 1, 0x646464});
  for (int i = 0; i < r.lineCount; ++i) {
    if (r.lineFlags[i] != 1) continue;
    const int y = LineY(row, i);
    r.dc->MoveTo(0, y);
    r.dc->LineTo(r.width, y);
  }
  r.dc->SelectPen(old);
}

const std::vector<StaffPosition>& CStaffPicture::Table(int row) const {
  const Row& r = St().rows[row];
  return r.spelling == 2 ? r.sharpTable : r.flatTable;
}

const StaffPosition* CStaffPicture::Find(int row, int pitch) const {
  const Row& r = St().rows[row];
  if (pitch < r.low || pitch > r.high) return nullptr;
  return &Table(row)[pitch - r.low];
}

namespace {

double ClefFactor(int pitch, bool treble) {
  if (treble) {
    switch (pitch) {
      case 64: return 4.5;
      case 65: case 66: return 4;
      case 67: case 68: return 3.5;
      case 69: case 70: return 3;
      case 71: return 2.5;
      case 72: case 73: return 2;
      case 74: case 75: return 1.5;
      case 76: return 1;
      default: return 0.5;
    }
  }
  switch (pitch) {
    case 43: case 44: return 4.5;
    case 45: case 46: return 4;
    case 47: return 3.5;
    case 48: case 49: return 3;
    case 50: case 51: return 2.5;
    case 52: return 2;
    case 53: case 54: return 1.5;
    case 55: case 56: return 1;
    default: return 0.5;
  }
}

void DrawClefGlyph(plat::Dc* dc, const GlyphMask& mask, int y0, double s) {
  const double g = 32.0 / (6.0 * s);
  const double u = g / 2;
  if (u <= 0) return;
  for (double gy = 0; gy < 32; gy += u) {
    for (double gx = 0; gx < 32; gx += u) {
      if (mask.At(static_cast<int>(gx), static_cast<int>(gy))) {
        dc->SetPixel(static_cast<int>(gx / g) - 8, y0 + static_cast<int>(gy / g), 0);
      }
    }
  }
}

}  // namespace

void CStaffPicture::DrawClefs(int row) {
  Row& r = St().rows[row];
  const double s = r.s;
  int y0 = r.height;
  for (const StaffPosition& p : Table(row)) {
    if (p.pitch >= 64 && p.pitch <= 77) {
      y0 = p.top - static_cast<int>(ClefFactor(p.pitch, true) * s);
      break;
    }
  }
  DrawClefGlyph(r.dc, GetGlyph(r.percussion ? Glyph::PercussionClef : Glyph::TrebleClef), y0, s);
  y0 = r.height;
  for (const StaffPosition& p : r.sharpTable) {
    if (p.pitch >= 43 && p.pitch <= 57) {
      y0 = p.top - static_cast<int>(ClefFactor(p.pitch, false) * s);
      break;
    }
  }
  DrawClefGlyph(r.dc, GetGlyph(Glyph::BassClef), y0, s);
}

void CStaffPicture::EraseClefArea(int row) {
  Row& r = St().rows[row];
  r.dc->FillSolidRect(Rect{0, 0, 34, r.height}, 0xFFFFFF);
}

void CStaffPicture::DrawEdgeLines(int row) {
  Row& r = St().rows[row];
  if (r.edge != 1) return;
  r.dc->MoveTo(r.width - 1, 0);
  r.dc->LineTo(r.width - 1, r.height);
  r.dc->MoveTo(0, 0);
  r.dc->LineTo(0, r.height);
}

void CStaffPicture::DrawLedgerLines(int low, int high, int x, int row) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  const int n = r.lineCount;
  int counter = n, m = -1, a = 0, b = n;
  for (int p = r.low; p <= r.high; ++p) {
    if (p == 60) m = counter;
    if (IsLinePosition(p)) --counter;
    if (p == low) a = counter;
    if (p == high) b = counter;
  }
  const double s = r.s;
  const plat::Pen old = r.dc->SelectPen(plat::BlackPen());
  auto line = [&](int y) {
    r.dc->MoveTo(static_cast<int>(x - s + 8), y);
    r.dc->LineTo(static_cast<int>(x + s + 8), y);
  };
  if (low >= 58 && high <= 61 && m != -1) line(static_cast<int>(s * m));
  for (int i = std::max(b, 0); i <= n - 1; ++i) {
    if (r.lineFlags[i] == 0) {
      line(static_cast<int>(s * (i + 1)));
    } else if (i >= a - 1) {
      break;
    }
  }
  r.dc->SelectPen(old);
}

void CStaffPicture::DrawChordNotes(int row) {
  Row& r = St().rows[row];
  const double s = r.s;
  const GlyphMask& head = GetGlyph(Glyph::OpenHead);
  int prevTop = 0, prevBottom = 0, prevPitch = -1000;
  bool prevDisplaced = false;
  bool first = true;
  int lowest, highest;
  GetChordRange(row, &lowest, &highest);
  for (const ChordNote& cn : r.chordNotes) {
    const StaffPosition* p = Find(row, cn.pitch);
    if (!p) continue;
    int d = 0;
    if (!first && !prevDisplaced &&
        (cn.pitch == prevPitch || (p->bottom > prevTop && p->bottom <= prevBottom))) {
      d = static_cast<int>(s);
    }
    if (p->accidental == 2 || p->accidental == 1) {
      const GlyphMask& acc = GetGlyph(p->accidental == 2 ? Glyph::Sharp : Glyph::Flat);
      const double w = 28.0 / s * 0.9;
      for (double gy = 0; gy < 28; gy += 0.5) {
        for (double gx = 0; gx < 28; gx += 0.5) {
          if (acc.At(static_cast<int>(gx), static_cast<int>(gy))) {
            r.dc->SetPixel(static_cast<int>(gx / w - 2 * s) + p->left + d,
                           static_cast<int>(gy / w) + p->top, cn.colour);
          }
        }
      }
    }
    const double hs = 16.0 / s;
    for (double gy = 0; gy < 16; gy += 0.5) {
      for (double gx = 0; gx < 16; gx += 0.5) {
        if (head.At(static_cast<int>(gx), static_cast<int>(gy))) {
          r.dc->SetPixel(static_cast<int>(gx / hs + d) + p->left, static_cast<int>(gy / hs) + p->top,
                         cn.colour);
        }
      }
    }
    DrawLedgerLines(lowest, highest, p->left, row);
    prevDisplaced = d != 0;
    prevTop = p->top;
    prevBottom = p->bottom;
    prevPitch = cn.pitch;
    first = false;
  }
}

void CStaffPicture::DrawRow(int row) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  r.dirty = false;
  if (!r.dc || !r.dc->HasSurface()) return;
  EraseRow(row);
  DrawStaffLines(row);
  if (r.clef == 1) {
    DrawClefs(row);
  } else {
    EraseClefArea(row);
  }
  DrawChordNotes(row);
  DrawEdgeLines(row);
}

void CStaffPicture::DrawAll() {
  for (int i = 0; i < St().count; ++i) DrawRow(i);
}

void CStaffPicture::Blit(int row) {
  if (!ValidRow(row)) return;
  EnsureDrawn(row);
  COffScreenPicture::Blit(St().rows[row].dc, St().rows[row].control);
}

void CStaffPicture::BlitAll() { BlitRange(0, St().count - 1); }

void CStaffPicture::BlitRange(int first, int last) {
  for (int i = std::max(first, 0); i <= last && i < St().count; ++i) Blit(i);
}

void CStaffPicture::SetSpelling(int row, int value) {
  if (!ValidRow(row)) return;
  St().rows[row].spelling = value;
  MarkDirty(row);
}

void CStaffPicture::ToggleSpelling(int row) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  r.spelling = r.spelling == 1 ? 2 : 1;
  MarkDirty(row);
}

int CStaffPicture::Spelling(int row) const { return ValidRow(row) ? St().rows[row].spelling : 0; }

void CStaffPicture::ShowBarLines(int row, int flag) {
  if (ValidRow(row)) St().rows[row].edge = flag;
}

void CStaffPicture::ShowClef(int row, int flag) {
  if (ValidRow(row)) St().rows[row].clef = flag;
}

void CStaffPicture::SetPercussionClef(int row, int flag) {
  if (ValidRow(row)) St().rows[row].percussion = flag;
}

void CStaffPicture::AddChordNote(int row, int pitch, plat::ColorRef colour) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  // The list holds one note per pitch of the range.
  if (static_cast<int>(r.chordNotes.size()) >= r.high - r.low + 1) {
    ErrorMsg(2);
    return;
  }
  r.chordNotes.push_back(ChordNote{pitch, colour});
  std::stable_sort(r.chordNotes.begin(), r.chordNotes.end(),
                   [](const ChordNote& a, const ChordNote& b) { return a.pitch < b.pitch; });
  for (int i = 0; i < St().count; ++i) MarkDirty(i);
}

void CStaffPicture::ClearChordNotes(int row) {
  if (!ValidRow(row)) return;
  St().rows[row].chordNotes.clear();
  for (int i = 0; i < St().count; ++i) MarkDirty(i);
}

void CStaffPicture::GetChordRange(int row, int* lowest, int* highest) const {
  int lo = 127, hi = 0;
  if (ValidRow(row)) {
    for (const ChordNote& c : St().rows[row].chordNotes) {
      lo = std::min(lo, c.pitch);
      hi = std::max(hi, c.pitch);
    }
  }
  if (lowest) *lowest = lo;
  if (highest) *highest = hi;
}

int CStaffPicture::AccidentalOf(int pitch, int spelling) {
  switch (((pitch % 12) + 12) % 12) {
    case 1: case 3: case 6: case 8: case 10: return spelling;
    default: return 3;
  }
}

int CStaffPicture::RowCount() const { return St().count; }
int CStaffPicture::LineCount(int row) const { return ValidRow(row) ? St().rows[row].lineCount : 0; }
double CStaffPicture::Spacing(int row) const { return ValidRow(row) ? St().rows[row].s : 0; }
int CStaffPicture::RowWidth(int row) const { return ValidRow(row) ? St().rows[row].width : 0; }
int CStaffPicture::RowHeight(int row) const { return ValidRow(row) ? St().rows[row].height : 0; }

bool CStaffPicture::Position(int row, int pitch, int spelling, StaffPosition* out) const {
  if (!ValidRow(row)) return false;
  const Row& r = St().rows[row];
  if (pitch < r.low || pitch > r.high) return false;
  if (out) *out = (spelling == 2 ? r.sharpTable : r.flatTable)[pitch - r.low];
  return true;
}

int CStaffPicture::LineY(int row, int index) const {
  return ValidRow(row) ? static_cast<int>(St().rows[row].s * (index + 1)) : 0;
}

bool CStaffPicture::IsDrawnLine(int row, int index) const {
  return ValidRow(row) && index >= 0 && index < St().rows[row].lineCount &&
         St().rows[row].lineFlags[index] == 1;
}

COffScreenControl* CStaffPicture::Control(int row) const {
  return ValidRow(row) ? St().rows[row].control : nullptr;
}

plat::Dc* CStaffPicture::Surface(int row) {
  if (!ValidRow(row)) return nullptr;
  EnsureDrawn(row);
  return St().rows[row].dc;
}

int ChooseKeySpelling(int tonic, int mode) {
  if (tonic < 0 || tonic > 11 || mode > 3) return 1;
  if (mode == 0) return InSet(tonic, {2, 4, 6, 7, 9, 11}) ? 2 : 1;
  return InSet(tonic, {1, 3, 4, 6, 8, 9, 11}) ? 2 : 1;
}

int ChooseSpellingByKeyName(const std::string& name, const std::string& mode) {
  static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F",
                                         "F#", "G", "G#", "A", "A#", "B"};
  static const int kMinor[12] = {1, 2, 1, 1, 2, 1, 2, 1, 1, 2, 1, 2};
  static const int kMajor[12] = {1, 1, 2, 1, 2, 1, 1, 2, 1, 2, 1, 2};
  const bool minor = !mode.empty() && mode[0] == 'm';
  for (int i = 0; i < 12; ++i) {
    if (name == kNames[i]) return minor ? kMinor[i] : kMajor[i];
  }
  return 2;
}
