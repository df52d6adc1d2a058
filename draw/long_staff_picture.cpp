#include "draw/staff_picture.h"

#include "draw/skin_resources.h"
#include "draw/staff_state.h"
#include "draw/text_limits.h"
#include "util/gne.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using staff_detail::Row;

namespace {

staff_detail::State& St() { return staff_detail::Get(); }

bool HasStem(int type) {
  return (type >= 0 && type <= 6) || (type >= 9 && type <= 11) || type == 13 || type == 14 ||
         (type >= 18 && type <= 21);
}

bool IsPairSecond(int type, int previous) {
  return (type == 5 && previous == 4) || (type == 2 && previous == 1) ||
         (type == 21 && previous == 20);
}

bool IsPairFirst(int type, int next) {
  return (type == 4 && next == 5) || (type == 1 && next == 2) || (type == 20 && next == 21);
}

// The index of the note before i, passing over continuations (type 16); -1 when none.
int PreviousIndex(const std::vector<StaffNote>& notes, int i) {
  for (int j = i - 1; j >= 0; --j) {
    if (notes[j].type != kNoteContinuation) return j;
  }
  return -1;
}

int NextIndex(const std::vector<StaffNote>& notes, int i) {
  for (int j = i + 1; j < static_cast<int>(notes.size()); ++j) {
    if (notes[j].type != kNoteContinuation) return j;
  }
  return -1;
}

plat::LogFont FigureFont(double s) {
  plat::LogFont lf;
  lf.weight = plat::FW_BOLD;
  lf.height = static_cast<int>(-2.2 * s);
  lf.faceName = "Courier New";
  return lf;
}

// Which pixels of the row a label's text must keep off: the ink of its notes (heads, stems,
// flags, beams, ledger lines, accidentals, "8va"), its staff lines, and a pixel round each.
std::vector<bool> TakenPixels(const Row& r, const plat::Dc& dc) {
  const int w = r.width, h = std::max(r.height, 0);
  std::vector<bool> line(static_cast<size_t>(h));
  for (int i = 0; i < r.lineCount; ++i) {
    const int y = static_cast<int>(r.s * (i + 1));
    if (r.lineFlags[i] == 1 && y >= 0 && y < h) line[static_cast<size_t>(y)] = true;
  }
  std::vector<bool> ink(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      ink[static_cast<size_t>(y) * w + x] = line[static_cast<size_t>(y)] ||
                                            (dc.GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  std::vector<bool> taken(ink.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool any = false;
      for (int dy = -1; dy <= 1 && !any; ++dy) {
        for (int dx = -1; dx <= 1 && !any; ++dx) {
          const int u = x + dx, v = y + dy;
          any = u >= 0 && v >= 0 && u < w && v < h && ink[static_cast<size_t>(v) * w + u];
        }
      }
      taken[static_cast<size_t>(y) * w + x] = any;
    }
  }
  return taken;
}

// The ink of a label's text drawn at the top left corner of its rectangle, as offsets from
// that corner.
std::vector<plat::Point> TextInk(const Row& r, const plat::Dc& dc, const Rect& box) {
  std::vector<plat::Point> ink;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, r.height); ++y) {
    for (int x = std::max(box.left, 0); x < std::min(box.right, r.width); ++x)
      if ((dc.GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ink.push_back({x - box.left, y - box.top});
  }
  return ink;
}

// Where a label's text goes inside the label's rectangle: the shift of its ink that meets the
// fewest taken pixels (ink off the surface counts as taken); among equals the one nearest the
// rectangle's top left corner, which is where the text stays when the rectangle is clear there.
plat::Point PlaceLabelText(const Row& r, const std::vector<bool>& taken, const Rect& box,
                           const std::vector<plat::Point>& ink, int* leastCost) {
  int right = 0, bottom = 0;
  for (const plat::Point& p : ink) {
    right = std::max(right, p.x + 1);
    bottom = std::max(bottom, p.y + 1);
  }
  plat::Point best{box.left, box.top};
  int bestCost = -1;
  for (int top = box.top; top == box.top || top + bottom <= box.bottom; ++top) {
    for (int left = box.left; left == box.left || left + right <= box.right; ++left) {
      int cost = 0;
      for (const plat::Point& p : ink) {
        const int x = left + p.x, y = top + p.y;
        cost += (x < 0 || y < 0 || x >= r.width || y >= r.height ||
                 taken[static_cast<size_t>(y) * r.width + x]) ? 1 : 0;
      }
      if (bestCost < 0 || cost < bestCost) {
        bestCost = cost;
        best = plat::Point{left, top};
      }
      if (cost == 0) break;
    }
    if (bestCost == 0) break;
  }
  *leastCost = bestCost;
  return best;
}

}  // namespace

void CLongStaffPicture::error() { GneMessageBox("CLongStaffPicture::error"); }

CLongStaffPicture::CLongStaffPicture(COffScreenControl* control, const Rect& rect, int low,
                                     int high, StaffClickCallback click, int ticksPerRow,
                                     StaffDoubleClickCallback doubleClick) {
  ConstructLong(control, rect, low, high, std::move(click), ticksPerRow, std::move(doubleClick));
}

void CLongStaffPicture::ConstructLong(COffScreenControl* control, const Rect& rect, int low,
                                      int high, StaffClickCallback click, int ticksPerRow,
                                      StaffDoubleClickCallback doubleClick) {
  Construct(control, rect, low, high, std::move(click), std::move(doubleClick));
  St().beamX = 0;
  St().beamTop = 0;
  // Row 0 gets the long staff's entries: take it back and add it again.
  St().count -= 1;
  AddRow(control, rect, low, high, ticksPerRow);
}

CLongStaffPicture::~CLongStaffPicture() = default;

bool CLongStaffPicture::AddRow(COffScreenControl* control, const Rect& rect, int low, int high,
                               int ticksPerRow) {
  auto& st = St();
  const int index = st.count;
  if (index > 0) {
    if (!CStaffPicture::AddRow(control, rect, low, high)) return false;
  } else {
    st.count = 1;  // row 0 was built by the constructor
  }
  Row& r = st.rows[index];
  r.ticksPerRow = std::max(ticksPerRow, 1);
  r.notes.clear();
  r.notes.reserve(kMaxNotes);
  r.brackets.clear();
  r.labels.clear();
  r.highlights.clear();
  SetClefVisible(index, 1);
  r.keyShown = 0;
  r.timeNumerator = 0;
  r.edge = 0;
  r.rightBarLine = 1;
  r.queue.clear();
  // Only the new row needs drawing: the earlier rows look as they did.
  MarkDirty(index);
  return true;
}

bool CLongStaffPicture::AddNote(int row, int pitch, int start, plat::ColorRef colour, int type,
                                int tie) {
  if (!ValidRow(row)) {
    error();
    return false;
  }
  Row& r = St().rows[row];
  if (static_cast<int>(r.notes.size()) >= kMaxNotes) {
    error();
    return false;
  }
  r.notes.push_back(StaffNote{pitch, start, colour, type, tie});
  MarkDirty(row);
  return true;
}

bool CLongStaffPicture::AddTripletBracket(int row, int start, int end, int third) {
  if (!ValidRow(row)) {
    error();
    return false;
  }
  Row& r = St().rows[row];
  if (static_cast<int>(r.brackets.size()) >= kMaxBrackets) {
    error();
    return false;
  }
  r.brackets.push_back(TripletBracket{start, end, third});
  MarkDirty(row);
  return true;
}

void CLongStaffPicture::ClearRow(int row) {
  if (!ValidRow(row)) return;
  St().rows[row].notes.clear();
  St().rows[row].brackets.clear();
  MarkDirty(row);
}

void CLongStaffPicture::ClearAllRows() {
  for (int i = 0; i < St().count; ++i) {
    ClearRow(i);
    DrawRow(i);
  }
}

int CLongStaffPicture::HasNoteAt(int row, int start, int pitch) {
  if (!ValidRow(row)) {
    error();
    return 0;
  }
  for (const StaffNote& n : St().rows[row].notes) {
    if (n.start == start && n.pitch == pitch) return 1;
  }
  return 0;
}

bool CLongStaffPicture::AddHighlight(int row, int left, int right, plat::ColorRef colour) {
  if (!ValidRow(row)) return false;
  Row& r = St().rows[row];
  if (static_cast<int>(r.highlights.size()) >= kMaxHighlights) {
    error();
    return false;
  }
  r.highlights.push_back(staff_detail::Highlight{Rect{left, 0, right, r.height}, colour});
  MarkDirty(row);
  return true;
}

bool CLongStaffPicture::AddHighlightByTicks(int row, int startTick, int endTick,
                                            plat::ColorRef colour) {
  if (!ValidRow(row)) return false;
  const Row& r = St().rows[row];
  auto x = [&](int tick) {
    return static_cast<int>(static_cast<long long>(tick) * r.width / r.ticksPerRow);
  };
  return AddHighlight(row, x(startTick), x(endTick), colour);
}

void CLongStaffPicture::ClearHighlights(int row) {
  if (!ValidRow(row)) return;
  St().rows[row].highlights.clear();
  MarkDirty(row);
}

int CLongStaffPicture::HighlightCount(int row) const {
  return ValidRow(row) ? static_cast<int>(St().rows[row].highlights.size()) : 0;
}

bool CLongStaffPicture::AddLabel(int row, const std::string& text, int x, int y) {
  if (!ValidRow(row)) return false;
  Row& r = St().rows[row];
  if (static_cast<int>(r.labels.size()) >= kMaxLabels) {
    error();
    return false;
  }
  staff_detail::Label label;
  CopyToSlot(label.text, sizeof label.text, text);
  label.x = x;
  label.y = y;
  r.labels.push_back(label);
  MarkDirty(row);
  return true;
}

void CLongStaffPicture::ClearLabels(int row) {
  if (!ValidRow(row)) return;
  St().rows[row].labels.clear();
  MarkDirty(row);
}

void CLongStaffPicture::SetKeySignature(int row, int keyByte) {
  if (!ValidRow(row)) return;
  St().rows[row].keyByte = keyByte & 0xFF;
  MarkDirty(row);
}

void CLongStaffPicture::ShowKeySignature(int row, int flag) {
  if (!ValidRow(row)) return;
  St().rows[row].keyShown = flag;
  MarkDirty(row);
}

void CLongStaffPicture::SetTimeSignature(int row, int numerator) {
  if (!ValidRow(row)) return;
  St().rows[row].timeNumerator = numerator;
  MarkDirty(row);
}

void CLongStaffPicture::SetRightBarLine(int row, int flag) {
  if (!ValidRow(row)) return;
  St().rows[row].rightBarLine = flag;
  MarkDirty(row);
}

void CLongStaffPicture::SetClefVisible(int row, int flag) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  r.clef = flag;
  r.noteStartX = flag ? r.width / 4 : r.width / 16;
  const int left = static_cast<int>(r.noteStartX - r.s / 2);
  const int right = static_cast<int>(r.noteStartX + r.s / 2);
  for (StaffPosition& p : r.sharpTable) {
    p.left = left;
    p.right = right;
  }
  for (StaffPosition& p : r.flatTable) {
    p.left = left;
    p.right = right;
  }
  MarkDirty(row);
}

void CLongStaffPicture::SetMoveCallback(int row, COffScreenControl::PointCallback callback) {
  if (!ValidRow(row) || !St().rows[row].control) return;
  COffScreenControl* c = St().rows[row].control;
  // Keep the press and release the picture installed.
  c->SetCallbacks([this](int x, int y, int id) { OnPress(x, y, id); },
                  [this](int x, int y, int id) { OnRelease(x, y, id); }, std::move(callback),
                  St().doubleClick ? COffScreenControl::PointCallback(
                                         [cb = St().doubleClick](int x, int y, int id) {
                                           cb(x, y, id);
                                         })
                                   : nullptr);
}

void CLongStaffPicture::SetRightClickCallback(int row, COffScreenControl::PointCallback callback) {
  if (ValidRow(row) && St().rows[row].control) {
    St().rows[row].control->SetRightClickCallback(std::move(callback));
  }
}

int CLongStaffPicture::PositionTop(int row, int pitch) const {
  if (!ValidRow(row)) return 0;
  const StaffPosition* p = Find(row, pitch);
  return p ? p->top : 0;
}

void CLongStaffPicture::GetNoteRange(int row, int* lowest, int* highest) const {
  int lo = 127, hi = 0;
  if (ValidRow(row)) {
    for (const StaffNote& n : St().rows[row].notes) {
      if (n.pitch < 0) continue;
      lo = std::min(lo, n.pitch);
      hi = std::max(hi, n.pitch);
    }
  }
  if (lowest) *lowest = lo;
  if (highest) *highest = hi;
}

const std::vector<StaffNote>& CLongStaffPicture::Notes(int row) const {
  static const std::vector<StaffNote> kNone;
  return ValidRow(row) ? St().rows[row].notes : kNone;
}

const std::vector<TripletBracket>& CLongStaffPicture::Brackets(int row) const {
  static const std::vector<TripletBracket> kNone;
  return ValidRow(row) ? St().rows[row].brackets : kNone;
}

int CLongStaffPicture::TicksPerRow(int row) const {
  return ValidRow(row) ? St().rows[row].ticksPerRow : 0;
}

int CLongStaffPicture::NoteStartX(int row) const {
  return ValidRow(row) ? St().rows[row].noteStartX : 0;
}

void CLongStaffPicture::ShadePixel(int row, int x, int y, plat::ColorRef colour, int step) {
  plat::Dc* dc = St().rows[row].dc;
  if (colour != 0) {
    dc->SetPixel(x, y, colour);
    return;
  }
  const plat::ColorRef present = dc->GetPixel(x, y);
  if (present == 0xFFFFFFFFu) return;  // outside
  const int c = std::max(plat::GetRValue(present) - step, 0);
  dc->SetPixel(x, y, plat::Rgb(c, c, c));
}

void CLongStaffPicture::PaintMask(int row, int glyph, double x0, double y0, double k,
                                  plat::ColorRef colour, bool shade, bool mirror, bool flip,
                                  int dx, int dy) {
  const GlyphMask& m = GetGlyph(static_cast<Glyph>(glyph));
  // Nothing of a glyph that far away could land on the surface.
  if (!(k > 0) || k > 1e3 || std::abs(x0) > 1e6 || std::abs(y0) > 1e6) return;
  plat::Dc* dc = St().rows[row].dc;
  // Darkening per cell: 64 while every pixel inside the glyph takes at least four cells (two
  // per axis), so that the edges, which take fewer, come out grey and smooth the shape. Once a
  // cell spans more than half a pixel, an inside pixel may take a single cell: then each cell
  // darkens fully, so that the glyph reads solid instead of hatched.
  const int perAxis = k > 0.5 ? 1 : static_cast<int>(1.0 / k);
  const int step = std::max(64, 255 / (perAxis * perAxis));
  for (int r = 0; r < m.height; ++r) {
    const int y1 = static_cast<int>(r * k + y0) + dy;
    const int y2 = std::max(static_cast<int>((r + 1) * k + y0) + dy, y1 + 1);
    for (int c = 0; c < m.width; ++c) {
      if (!m.At(mirror ? m.width - 1 - c : c, flip ? m.height - 1 - r : r)) continue;
      const int x1 = static_cast<int>(c * k + x0) + dx;
      const int x2 = std::max(static_cast<int>((c + 1) * k + x0) + dx, x1 + 1);
      for (int y = y1; y < y2; ++y) {
        for (int x = x1; x < x2; ++x) {
          if (shade) {
            ShadePixel(row, x, y, colour, step);
          } else {
            dc->SetPixel(x, y, colour);
          }
        }
      }
    }
  }
}

void CLongStaffPicture::DrawAccidentalGlyph(int row, int glyph, int x0, int y0,
                                            plat::ColorRef colour) {
  const double h = 28.0 / St().rows[row].s * 0.8;
  PaintMask(row, glyph, x0, y0, 1.0 / h, colour, true);
}

void CLongStaffPicture::DrawRow(int row) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  r.dirty = false;
  plat::Dc* dc = r.dc;
  if (!dc || !dc->HasSurface()) return;
  EraseRow(row);
  for (const staff_detail::Highlight& h : r.highlights) dc->FillSolidRect(h.rect, h.colour);
  if (r.clef == 1) DrawClefs(row);
  DrawStaffLines(row);
  if (!r.labels.empty()) DrawLabels(row);
  DrawNotes(row);
  DrawBarLines(row);
  if (r.keyByte != 0 && r.keyShown == 1) DrawKeySignatureGlyphs(row);
  if (r.timeNumerator != 0) DrawTimeSignature(row);
  if (!r.brackets.empty()) DrawTripletBrackets(row);
}

// A label's rectangle is (x, y, x + 20 per character, y + 20); inside it the text keeps off the
// notes and the staff lines where the rectangle leaves room, so that a chord name does not run
// into the stem of a high note nor a lyric into the lowest line. Where the surface's font
// finds no clear place, smaller sizes of it are tried. The labels are still drawn before the
// notes.
void CLongStaffPicture::DrawLabels(int row) {
  Row& r = St().rows[row];
  plat::Dc* dc = r.dc;
  const int oldMode = dc->SetBkMode(plat::TRANSPARENT);
  const plat::ColorRef oldColour = dc->SetTextColor(kLabelColour);
  const plat::LogFont font = dc->CurrentFont();
  std::vector<plat::LogFont> sizes{font};
  const int full = dc->GetTextMetrics().height;
  for (int pixels = full - 2; pixels >= std::max(8, full * 2 / 3); pixels -= 2) {
    sizes.push_back(font);
    sizes.back().height = -pixels;
  }
  EraseRow(row);
  DrawNotes(row);
  const std::vector<bool> taken = TakenPixels(r, *dc);
  struct Placed {
    plat::Point at;
    size_t size = 0;
  };
  std::vector<Placed> placed;
  // The tallest letters' ink of each size, measured once for all the row's labels.
  std::vector<std::vector<plat::Point>> tall(sizes.size());
  for (const staff_detail::Label& l : r.labels) {
    const Rect box{l.x, l.y, l.x + 20 * static_cast<int>(std::strlen(l.text)), l.y + 20};
    Placed best;
    int bestCost = -1;
    for (size_t k = 0; k < sizes.size() && bestCost != 0; ++k) {
      dc->SelectFont(sizes[k]);
      if (tall[k].empty()) {
        EraseRow(row);
        dc->DrawText("Mbdfhgjpqy", Rect{0, 0, r.width, 20}, plat::DT_SINGLELINE);
        tall[k] = TextInk(r, *dc, Rect{0, 0, r.width, 20});
      }
      const std::vector<plat::Point> ink = LabelInk(row, l.text, box, tall[k]);
      int cost = 0;
      const plat::Point at = PlaceLabelText(r, taken, box, ink, &cost);
      if (bestCost < 0 || cost < bestCost) {
        bestCost = cost;
        best = Placed{at, k};
      }
    }
    placed.push_back(best);
  }
  EraseRow(row);
  for (const staff_detail::Highlight& h : r.highlights) dc->FillSolidRect(h.rect, h.colour);
  if (r.clef == 1) DrawClefs(row);
  DrawStaffLines(row);
  for (size_t i = 0; i < r.labels.size(); ++i) {
    const int width = 20 * static_cast<int>(std::strlen(r.labels[i].text));
    dc->SelectFont(sizes[placed[i].size]);
    const plat::Point at = placed[i].at;
    dc->DrawText(r.labels[i].text, Rect{at.x, at.y, at.x + width, at.y + 20}, plat::DT_SINGLELINE);
  }
  dc->SelectFont(font);
  dc->SetTextColor(oldColour);
  dc->SetBkMode(oldMode);
}

// The ink of a label's text in the surface's present font, drawn alone at the top left corner
// of its rectangle, as offsets from that corner. Every text counts as tall as the font's
// tallest letters (`tall`) reach, so that the labels of a line (the lyrics of a bar) keep one
// baseline.
std::vector<plat::Point> CLongStaffPicture::LabelInk(int row, const char* text, const Rect& box,
                                                     const std::vector<plat::Point>& tall) {
  const Row& r = St().rows[row];
  plat::Dc* dc = r.dc;
  EraseRow(row);
  dc->DrawText(text, box, plat::DT_SINGLELINE);
  std::vector<plat::Point> ink = TextInk(r, *dc, box);
  if (ink.empty()) return ink;
  const int top = ink.front().y, bottom = ink.back().y;
  for (const plat::Point& p : tall) {
    if (p.y < top || p.y > bottom) ink.push_back({0, p.y});
  }
  return ink;
}

void CLongStaffPicture::DrawBarLines(int row) {
  Row& r = St().rows[row];
  if (r.edge != 1) return;
  int first = -1, last = -1;
  for (int i = 0; i < r.lineCount; ++i) {
    if (r.lineFlags[i] == 1) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0) return;
  const int y1 = LineY(row, first), y2 = LineY(row, last);
  r.dc->MoveTo(0, y1);
  r.dc->LineTo(0, y2 + 1);
  if (r.rightBarLine == 1) {
    r.dc->MoveTo(r.width - 1, y1);
    r.dc->LineTo(r.width - 1, y2 + 1);
  }
}

void CLongStaffPicture::DrawKeySignatureGlyphs(int row) {
  Row& r = St().rows[row];
  const double s = r.s;
  static const int kSharps[7] = {77, 72, 79, 74, 69, 76, 71};
  static const int kFlats[7] = {71, 76, 69, 74, 67, 72, 65};
  const bool sharps = r.keyByte < 240;
  const int n = std::clamp(sharps ? r.keyByte : 256 - r.keyByte, 0, 7);
  const int glyph = static_cast<int>(sharps ? Glyph::Sharp : Glyph::Flat);
  for (int staff = 0; staff < 2; ++staff) {
    for (int i = 0; i < n; ++i) {
      const int pitch = (sharps ? kSharps[i] : kFlats[i]) - staff * 24;
      const int x0 = static_cast<int>(16 / (28 / s * 0.8) * i + 6 * s - 16);
      const int y0 = PositionTop(row, pitch) - static_cast<int>(s / 3);
      DrawAccidentalGlyph(row, glyph, x0, y0, 0);
    }
  }
}

void CLongStaffPicture::DrawTimeSignature(int row) {
  Row& r = St().rows[row];
  plat::Dc* dc = r.dc;
  const double s = r.s;
  const plat::LogFont old = dc->SelectFont(FigureFont(s));
  const plat::ColorRef oldColour = dc->SetTextColor(0);
  const int oldMode = dc->SetBkMode(plat::TRANSPARENT);
  const int x1 = TimeSignatureLeft(row);
  const int x2 = std::min(x1 + static_cast<int>(2 * s), r.width);
  const std::string numerator = std::to_string(r.timeNumerator);
  auto figure = [&](const std::string& text, int pitch) {
    const int top = PositionTop(row, pitch) + static_cast<int>(0.3 * s);
    dc->DrawText(text, Rect{x1, top, x2, top + static_cast<int>(2 * s)}, plat::DT_SINGLELINE);
  };
  figure(numerator, 77);
  figure("4", 71);
  figure(numerator, 57);
  figure("4", 50);
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColour);
  dc->SelectFont(old);
}

void CLongStaffPicture::DrawTripletBrackets(int row) {
  // A bracket spans its notes (from just before the first head to just before the next
  // beat's) and sits clear of every glyph under it: above the notes where the row has room,
  // else below them. Its figure stands in a gap of the line.
  Row& r = St().rows[row];
  plat::Dc* dc = r.dc;
  const double s = r.s;
  plat::LogFont font = FigureFont(s);
  font.height = static_cast<int>(-1.6 * s);
  const plat::LogFont old = dc->SelectFont(font);
  const plat::ColorRef oldColour = dc->SetTextColor(0);
  const int oldMode = dc->SetBkMode(plat::TRANSPARENT);
  const int origin = NoteOrigin(row);
  const int headLeft = origin - static_cast<int>(s / 2);
  const long long a = r.width - origin;
  const int t = r.ticksPerRow;
  const plat::Size figure = dc->GetTextExtent("3");
  const int hook = 3;
  const int upper = figure.cy / 2, lower = std::max(hook, figure.cy - figure.cy / 2);
  for (const TripletBracket& b : r.brackets) {
    const int x1 = headLeft + static_cast<int>(a * b.start / t) - static_cast<int>(s);
    const int x2 = headLeft + static_cast<int>(a * b.end / t) - static_cast<int>(1.2 * s);
    int top = r.height, bottom = -1;
    for (const Rect& box : St().glyphBoxes) {
      if (box.right <= x1 || box.left >= x2) continue;
      top = std::min(top, box.top);
      bottom = std::max(bottom, box.bottom);
    }
    int y = 5;  // the line; hooks point towards the notes
    bool above = true;
    if (bottom >= 0) {
      const int yAbove = top - 2 - lower;
      const int yBelow = bottom + 1 + lower;
      if (yAbove - upper >= 0) {
        y = yAbove;
      } else if (yBelow + lower <= r.height - 1) {
        y = yBelow;
        above = false;
      } else {
        y = std::max(yAbove, upper);
      }
    }
    const int hookEnd = above ? y + hook : y - hook;
    const int mid = (x1 + x2) / 2;
    const int gapLeft = mid - figure.cx / 2 - 2, gapRight = mid + (figure.cx + 1) / 2 + 2;
    if (gapLeft > x1 && gapRight < x2) {
      dc->MoveTo(x1, hookEnd);
      dc->LineTo(x1, y);
      dc->LineTo(gapLeft, y);
      dc->MoveTo(gapRight, y);
      dc->LineTo(x2, y);
      dc->LineTo(x2, hookEnd);
    }
    dc->DrawText("3", Rect{x1, y - upper, x2, y - upper + figure.cy},
                 plat::DT_CENTER | plat::DT_SINGLELINE | plat::DT_VCENTER);
  }
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColour);
  dc->SelectFont(old);
}

// What one row's note drawing carries from note to note.
struct CLongStaffPicture::NoteRun {
  int row = 0;
  std::vector<StaffNote> notes;  // a copy, octave-shifted
  int keySharps = 0;
  int keyFlats = 0;
  int state[12] = {};  // per pitch class: 0 none, 1 flat shown, 2 sharp shown, 3 natural shown
  int firstLeft = 0;   // left of the table's first record (rests)
  int origin = 0;      // x where tick 0 lies (after the signatures the row shows)
  int shift = 0;       // origin - the row's note start x: added to every record's left
  int prevTop = 0;
  int prevBottom = 0;
  bool prevDisplaced = false;

  bool InSharps(int pc) const {
    static const int kSharpOrder[7] = {6, 1, 8, 3, 10, 5, 0};
    for (int i = 0; i < keySharps; ++i) {
      if (kSharpOrder[i] == pc) return true;
    }
    return false;
  }
  bool InFlats(int pc) const {
    static const int kFlatOrder[7] = {10, 3, 8, 1, 6, 11, 4};
    for (int i = 0; i < keyFlats; ++i) {
      if (kFlatOrder[i] == pc) return true;
    }
    return false;
  }
};

void CLongStaffPicture::DrawNotes(int row) {
  NoteRun run = BeginNotes(row);
  for (int i = 0; i < static_cast<int>(run.notes.size()); ++i) DrawOneNote(run, i);
}

CLongStaffPicture::NoteRun CLongStaffPicture::BeginNotes(int row) {
  auto& st = St();
  const Row& r = st.rows[row];
  st.beamX = 0;
  st.beamTop = 0;
  NoteRun run;
  run.row = row;
  run.keySharps = r.keyByte < 240 ? std::min(r.keyByte, 7) : 0;
  run.keyFlats = r.keyByte >= 240 ? std::min(256 - r.keyByte, 7) : 0;
  run.notes = r.notes;
  ShiftOctaveIntoRange(row, run.notes);
  const auto& table = Table(row);
  run.firstLeft = table.empty() ? 0 : table.front().left;
  run.origin = NoteOrigin(row);
  run.shift = run.origin - r.noteStartX;
  st.glyphBoxes.clear();
  return run;
}

int CLongStaffPicture::KeySignatureRight(int row) const {
  const Row& r = St().rows[row];
  if (r.keyByte == 0 || r.keyShown != 1) return 0;
  const double s = r.s;
  const bool sharps = r.keyByte < 240;
  const int n = std::clamp(sharps ? r.keyByte : 256 - r.keyByte, 0, 7);
  if (n == 0) return 0;
  const int x0 = static_cast<int>(16 / (28 / s * 0.8) * (n - 1) + 6 * s - 16);
  return x0 + static_cast<int>(1.25 * s) + 1;  // an accidental covers 1.25 s
}

int CLongStaffPicture::TimeSignatureLeft(int row) const {
  const Row& r = St().rows[row];
  const double s = r.s;
  const int x1 = static_cast<int>(6 * s) - static_cast<int>(-96 / (0.9 * 28 / s)) - 8;
  return x1 + static_cast<int>(2 * s) > r.width ? r.width - static_cast<int>(2 * s) : x1;
}

int CLongStaffPicture::NoteOrigin(int row) const {
  // Tick 0 lies at the row's note start x, unless the key or time signature the row shows
  // reaches that far: then the notes begin after them, with room for an accidental before the
  // first head, and the ticks share what is left of the row.
  const Row& r = St().rows[row];
  const double s = r.s;
  int end = KeySignatureRight(row);
  if (r.timeNumerator != 0) {
    end = std::max(end, TimeSignatureLeft(row) + static_cast<int>(2 * s));
  }
  if (end == 0) return r.noteStartX;
  const int needed = end + static_cast<int>(1.2 * s) + static_cast<int>(s / 2) + static_cast<int>(s / 2);
  const int room = r.width - static_cast<int>(2 * s);  // keep a little of the row for the notes
  return std::max(r.noteStartX, std::min(needed, room));
}

int CLongStaffPicture::NoteOriginX(int row) const {
  return ValidRow(row) ? NoteOrigin(row) : 0;
}

void CLongStaffPicture::NoteGlyphBox(double left, double top, double right, double bottom) {
  St().glyphBoxes.push_back(Rect{static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top)),
                                 static_cast<int>(std::ceil(right)), static_cast<int>(std::ceil(bottom))});
}

void CLongStaffPicture::ShiftOctaveIntoRange(int row, std::vector<StaffNote>& notes) {
  // Only pitches move: rests and marks (negative values) stay what they are.
  const Row& r = St().rows[row];
  const int H = r.height;
  int highest = -1, lowest = 128;
  for (const StaffNote& n : notes) {
    if (n.pitch < 0) continue;
    highest = std::max(highest, n.pitch);
    lowest = std::min(lowest, n.pitch);
  }
  if (highest >= 0 && highest > r.high) {
    for (StaffNote& n : notes) {
      if (n.pitch < 0) continue;
      n.pitch -= 12;
      while (n.pitch < 0) n.pitch += 12;
    }
    r.dc->DrawText("8va", Rect{10, H - 20, 100, H}, plat::DT_SINGLELINE);
  } else if (highest >= 0 && lowest < r.low) {
    for (StaffNote& n : notes) {
      if (n.pitch < 0) continue;
      n.pitch += 12;
      while (n.pitch > 127) n.pitch -= 12;
    }
    r.dc->DrawText("8va", Rect{10, 0, 100, 100}, plat::DT_SINGLELINE);
  }
}

bool CLongStaffPicture::StemPointsDown(const std::vector<StaffNote>& notes, int i) {
  const StaffNote& n = notes[i];
  if (n.type == kNoteDrumCross || n.type == kNoteDrumFilled) return n.pitch < 48;
  // A beamed pair takes one direction, from the middle of its two pitches (a half pitch when
  // they are an odd number of semitones apart).
  const int prevIndex = PreviousIndex(notes, i);
  const int nextIndex = NextIndex(notes, i);
  double v = n.pitch;
  if (prevIndex >= 0 && IsPairSecond(n.type, notes[prevIndex].type)) {
    v = (n.pitch + notes[prevIndex].pitch) / 2.0;
  } else if (nextIndex >= 0 && IsPairFirst(n.type, notes[nextIndex].type)) {
    v = (n.pitch + notes[nextIndex].pitch) / 2.0;
  }
  return v > 69 || (v >= 49 && v <= 59);
}

void CLongStaffPicture::DrawOneNote(NoteRun& run, int i) {
  const int row = run.row;
  const Row& r = St().rows[row];
  const StaffNote& n = run.notes[i];
  const int xr =
      static_cast<int>(static_cast<long long>(r.width - run.origin) * n.start / r.ticksPerRow);
  const double s = r.s;
  if (n.pitch == kStaffCross) {
    PaintMask(row, static_cast<int>(Glyph::CrossMark), xr, 30, 1.0, n.colour, false);
    NoteGlyphBox(xr, 30, xr + 9, 39);
    return;
  }
  if (n.pitch < 0) {
    DrawRest(row, n, run.firstLeft + run.shift + xr);
    return;
  }
  int code = 0;
  StaffPosition p;
  if (!SpellNote(run, i, &p, &code)) return;
  const int d = ChordDisplacement(run, i, p);
  const int x = p.left + run.shift + d + xr;
  const int top = p.top;
  DrawNoteAccidental(run, n, code, x, top);
  DrawHead(row, n, x, top);
  NoteGlyphBox(x, top, x + s, top + s);
  const bool down = StemPointsDown(run.notes, i);
  if (HasStem(n.type)) {
    DrawStem(row, n, x, top, down);
    const int prevIndex = PreviousIndex(run.notes, i);
    if (prevIndex >= 0 && IsPairSecond(n.type, run.notes[prevIndex].type)) {
      DrawBeams(row, n.type, x, top, down);
    }
    St().beamX = x;
    St().beamTop = top;
  }
  DrawDots(row, n, x, top);
  if (n.tie) {
    PaintMask(row, static_cast<int>(Glyph::Tie), x, top, r.s / 8, n.colour, false, false, down, 4,
              down ? -8 : 8);
    NoteGlyphBox(x + 4, top + (down ? -8 : 8), x + 4 + 4 * s, top + (down ? -8 : 8) + s);
  }
  DrawLedgerLines(n.pitch, n.pitch, x - static_cast<int>(r.s / 2), row);
  run.prevTop = p.top;
  run.prevBottom = p.bottom;
  run.prevDisplaced = d != 0;
}

void CLongStaffPicture::DrawRest(int row, const StaffNote& n, int x) {
  const double s = St().rows[row].s;
  Glyph g;
  double G = 24, L = 1.8;
  int y0;
  switch (n.type) {
    case kNoteSixteenth:
      g = Glyph::SixteenthRest;
      y0 = PositionTop(row, 71);
      break;
    case kNoteEighth:
      g = Glyph::EighthRest;
      y0 = PositionTop(row, 71);
      break;
    case kNoteQuarter:
      g = Glyph::QuarterRest;
      G = 32;
      L = 4.0;
      y0 = PositionTop(row, 76);
      break;
    case kNoteHalf:
      g = Glyph::BarRest;
      y0 = PositionTop(row, 69) - static_cast<int>(s / 2);
      break;
    case kNoteWhole:
      g = Glyph::BarRest;
      y0 = PositionTop(row, 74) + static_cast<int>(s / 2);
      break;
    default:
      return;
  }
  const double f = G / s / L;
  PaintMask(row, static_cast<int>(g), x, y0, 1.0 / f, n.colour, false);
  NoteGlyphBox(x, y0, x + G / f, y0 + G / f);
}

bool CLongStaffPicture::SpellNote(const NoteRun& run, int i, StaffPosition* p, int* code) const {
  const StaffNote& n = run.notes[i];
  const StaffPosition* rec = Find(run.row, n.pitch);
  if (!rec) return false;
  *p = *rec;
  *code = p->accidental;
  // Respelling keeps two heads of one chord off the same position: it looks at the notes
  // sounding with this one (same start), so that a melody keeps its spelling and the row's
  // accidentals read as written (F, then F sharp, shows the sharp again).
  auto chordHasPitch = [&](int pitch) {
    for (int j = 0; j < static_cast<int>(run.notes.size()); ++j) {
      if (j != i && run.notes[j].pitch == pitch && run.notes[j].start == n.start) return true;
    }
    return false;
  };
  if (*code == 2 && chordHasPitch(n.pitch - 1)) {
    if (const StaffPosition* other = Find(run.row, n.pitch + 1)) {
      *p = *other;
      *code = 1;
    }
  } else if (*code == 1 && chordHasPitch(n.pitch + 1)) {
    if (const StaffPosition* other = Find(run.row, n.pitch - 1)) {
      *p = *other;
      *code = 2;
    }
  }
  return true;
}

int CLongStaffPicture::ChordDisplacement(const NoteRun& run, int i, const StaffPosition& p) const {
  // A head a second away from the previous head of the same chord moves right by a space.
  if (i == 0 || run.prevDisplaced) return 0;
  const StaffNote& n = run.notes[i];
  const StaffNote& before = run.notes[i - 1];
  if (n.start != before.start) return 0;
  if (n.pitch == before.pitch || (p.bottom > run.prevTop && p.bottom <= run.prevBottom)) {
    return static_cast<int>(St().rows[run.row].s);
  }
  return 0;
}

void CLongStaffPicture::DrawNoteAccidental(NoteRun& run, const StaffNote& n, int code, int x,
                                           int top) {
  const Row& r = St().rows[run.row];
  const double s = r.s;
  const int pc = n.pitch % 12;
  int* state = run.state;
  Glyph glyph = Glyph::Natural;
  if (code == 2 || code == 1) {
    // Sharps and flats against the key and what the row has shown.
    bool shown = code == 2 ? !run.InSharps(pc) : !run.InFlats(pc);
    if (state[pc] == 1 || state[pc] == 2) shown = false;
    const int white = code == 2 ? (pc + 11) % 12 : (pc + 1) % 12;
    if (state[white] == 3) {
      shown = true;
      state[white] = 0;
    }
    if (!shown) return;
    state[pc] = code;
    glyph = code == 2 ? Glyph::Sharp : Glyph::Flat;
  } else {
    // A white key cancels the key's or the row's sharp below it or flat above it.
    const int below = (pc + 11) % 12, above = (pc + 1) % 12;
    bool needed = r.spelling == 1 ? run.InFlats(below) : run.InSharps(above);
    if (state[above] == 2) {
      needed = true;
      state[above] = 0;
    }
    if (state[below] == 1) {
      needed = true;
      state[below] = 0;
    }
    if (!needed || state[pc] == 3) return;
    state[pc] = 3;
  }
  DrawAccidentalGlyph(run.row, static_cast<int>(glyph), static_cast<int>(x - 1.2 * s),
                      top - static_cast<int>(s / 3), n.colour);
}

void CLongStaffPicture::DrawHead(int row, const StaffNote& n, int x, int top) {
  Glyph g = Glyph::OpenHead;
  bool mirrored = false;
  switch (n.type) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 9: case 10: case 16:
    case 20: case 21:
      g = Glyph::FilledHead;
      break;
    case kNoteDrumFilled:
      g = Glyph::SecondFilledHead;
      break;
    case kNoteDrumCross:
      g = Glyph::CrossHead;
      break;
    case kNoteWhole:
      mirrored = true;
      break;
    default:
      break;
  }
  const double s = St().rows[row].s;
  PaintMask(row, static_cast<int>(g), x, top, s / 16, n.colour, true, mirrored);
}

void CLongStaffPicture::DrawStem(int row, const StaffNote& n, int x, int top, bool down) {
  const double s = St().rows[row].s;
  Glyph g = Glyph::Stem;
  if (n.type == kNoteSixteenth) g = Glyph::StemTwoFlags;
  if (n.type == kNoteEighth || n.type == kNoteDottedEighth) g = Glyph::StemOneFlag;
  const double bx = down ? x - s : x;
  const double by =
      down ? top + s / 2 - static_cast<int>(16 / s) : top - 4 * s + static_cast<int>(16 / s);
  PaintMask(row, static_cast<int>(g), bx, by, s / 8, n.colour, false, false, down);
  NoteGlyphBox(bx, by, bx + 2 * s, by + 4 * s);
}

void CLongStaffPicture::DrawBeams(int row, int type, int x, int top, bool down) {
  // Beams back to the partner's stem, kept in the beam memory.
  const auto& st = St();
  plat::Dc* dc = st.rows[row].dc;
  const double s = st.rows[row].s;
  const int dx = down ? -2 : 5;
  const int dy = down ? static_cast<int>(4 * s) + 1 : -static_cast<int>(4 * s) - 1;
  const int px = st.beamX, ptop = st.beamTop;
  for (int b = 0; b < 3; ++b) {
    dc->MoveTo(x + dx, top + dy + b);
    dc->LineTo(px + dx, ptop + dy + b);
  }
  if (type == kNoteSixteenthPairSecond) {
    for (int b = 0; b < 2; ++b) {
      const int yy = down ? dy - 5 - b : dy + 5 + b;
      dc->MoveTo(x + dx, top + yy);
      dc->LineTo(px + dx, ptop + yy);
    }
  } else if (type == kNoteSixteenthAfterDotted) {
    // A short second beam, a quarter of the way towards the dotted note's stem.
    for (int b = 0; b < 2; ++b) {
      const int K = x + dx;
      const int Y = down ? top + dy - 5 - b : top + dy + 5 + b;
      const int P = px + dx;
      const int Q = ptop + (Y - top);
      dc->MoveTo(K, Y);
      dc->LineTo(K + P / 4 - K / 4, Y + Q / 4 - Y / 4);
    }
  }
}

void CLongStaffPicture::DrawDots(int row, const StaffNote& n, int x, int top) {
  const int dots = n.type == kNoteDoubleDottedHalf ? 2
                   : (n.type == kNoteDottedEighth || n.type == kNoteDottedQuarter ||
                      n.type == kNoteDottedHalf || n.type == kNoteDottedEighthBeamed)
                       ? 1
                       : 0;
  if (dots == 0) return;
  const Row& r = St().rows[row];
  const int D = static_cast<int>(static_cast<double>(r.ticksPerRow) / r.width / 4.2 * 10);
  const int lift = D / 5;  // whole pixels
  for (int dot = 0; dot < dots; ++dot) {
    PaintMask(row, static_cast<int>(Glyph::Dot), x + D * (dot + 1), top + lift, r.s / 16,
              n.colour, false);
  }
}

void CLongStaffPicture::SmoothRow(int row, plat::ColorRef colour) {
  if (!ValidRow(row)) return;
  EnsureDrawn(row);
  Row& r = St().rows[row];
  plat::Dc* dc = r.dc;
  if (!dc || !dc->HasSurface()) return;
  const QImage& image = dc->SelectedBitmap()->Image();
  const int W = std::min(r.width, image.width()), H = std::min(r.height, image.height());
  if (W < 3 || H < 3) return;
  // corners[y * W + x]: how many of the four pixels (x, y) to (x + 1, y + 1) are black.
  std::vector<uint8_t> black(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uint8_t* out = &black[static_cast<size_t>(y) * W];
    for (int x = 0; x < W; ++x) out[x] = (line[x] & 0xFFFFFF) == 0;
  }
  std::vector<uint8_t> corners(static_cast<size_t>(W) * H);
  for (int y = 0; y + 1 < H; ++y) {
    const uint8_t* a = &black[static_cast<size_t>(y) * W];
    const uint8_t* b = a + W;
    uint8_t* out = &corners[static_cast<size_t>(y) * W];
    for (int x = 0; x + 1 < W; ++x) out[x] = a[x] + a[x + 1] + b[x] + b[x + 1];
  }
  // A white pixel closes an inside corner when one of the four squares it belongs to has three
  // black pixels.
  std::vector<std::pair<int, int>> marked;
  for (int y = 1; y <= H - 2; ++y) {
    const uint8_t* self = &black[static_cast<size_t>(y) * W];
    const uint8_t* above = &corners[static_cast<size_t>(y - 1) * W];
    const uint8_t* here = &corners[static_cast<size_t>(y) * W];
    for (int x = 1; x <= W - 2; ++x) {
      if (self[x]) continue;
      if (above[x - 1] == 3 || above[x] == 3 || here[x - 1] == 3 || here[x] == 3) {
        marked.emplace_back(x, y);
      }
    }
  }
  for (const auto& m : marked) dc->SetPixel(m.first, m.second, colour);
}
