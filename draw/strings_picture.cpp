#include "draw/strings_picture.h"

#include "draw/text_limits.h"
#include "song/chord_forms.h"
#include "util/gne.h"
#include "util/music_names.h"

#include <algorithm>
#include <array>
#include <vector>

const GuitarTuning GuitarTuningTable[2] = {
    {"スタンダード・チューニング", {52, 57, 62, 67, 71, 76}},
    {"オープン・チューニング", {50, 57, 62, 66, 69, 74}},
};

namespace {

constexpr plat::ColorRef kWhite = 0xFFFFFF;
constexpr plat::ColorRef kNumberColour = 0x646464;
constexpr plat::ColorRef kNoFretColour = 0xB4B4B4;
constexpr plat::ColorRef kTitleColour = 0x006400;
constexpr int kTextHeight = 14;

struct Board {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int firstFret = 0;
  int lastFret = 0;
  int strings = 0;
  double columnStep = 0;
  double rowStep = 0;
  FretCallback click;
  int clickable = 0;
  std::array<FretMark, CStringsMultiPicture::kMaxStrings> marks{};
  std::vector<std::string> labels;
  int labelMode = 0;
  plat::ColorRef labelColour = 0x006400;

  int Frets() const { return lastFret - firstFret + 1; }
};

struct BoardState {
  std::array<Board, CStringsMultiPicture::kCapacity> boards;
  int count = 0;
  const void* owner = nullptr;
};

BoardState& State() {
  static BoardState state;
  return state;
}

bool Valid(int board) { return board >= 0 && board < State().count; }

void Nothing(int, int, int) {}

void DrawLines(Board& b) {
  plat::Dc* dc = b.dc;
  const double c = b.columnStep, r = b.rowStep;
  dc->FillSolidRect(Rect{0, 0, b.width, b.height}, kWhite);
  const plat::Pen oldPen = dc->SelectPen(plat::BlackPen());
  for (int s = 1; s <= b.strings; ++s) {
    dc->MoveTo(static_cast<int>(s * c), static_cast<int>(r));
    dc->LineTo(static_cast<int>(s * c), b.height);
  }
  for (int j = 1; j <= b.Frets(); ++j) {
    dc->MoveTo(static_cast<int>(c), static_cast<int>(j * r));
    dc->LineTo(static_cast<int>(b.width - c), static_cast<int>(j * r));
  }
  // The nut: the first fret line drawn doubled.
  dc->MoveTo(static_cast<int>(c), static_cast<int>(r - r / 5));
  dc->LineTo(static_cast<int>(b.width - c), static_cast<int>(r - r / 5));
  std::optional<plat::LogFont> oldFont;
  SelectShiftJisFont(dc, oldFont, kTextHeight);
  const plat::ColorRef oldText = dc->SetTextColor(kNumberColour);
  const plat::ColorRef oldBack = dc->SetBkColor(kWhite);
  const int oldMode = dc->SetBkMode(plat::OPAQUE);
  for (int k = 0; k < b.Frets(); ++k) {
    const int left = static_cast<int>(c * 0.5);
    const int top = static_cast<int>((k + 1) * r - 7);
    dc->DrawText(std::to_string(k), Rect{left, top, left + 14, top + 14},
                 plat::DT_SINGLELINE | plat::DT_CENTER | plat::DT_VCENTER);
  }
  dc->SetBkMode(oldMode);
  dc->SetBkColor(oldBack);
  dc->SetTextColor(oldText);
  RestoreFont(dc, oldFont);
  dc->SelectPen(oldPen);
}

void DrawMarks(Board& b) {
  const double c = b.columnStep, r = b.rowStep, q = r / 5;
  for (int s = 0; s < b.strings; ++s) {
    const FretMark& m = b.marks[s];
    double top, bottom;
    plat::ColorRef colour;
    if (m.fret == -1) {
      top = r - 4 * q;
      bottom = r - q;
      colour = kNoFretColour;
    } else {
      top = (m.fret + 1) * r - 3 * q;
      bottom = (m.fret + 1) * r;
      colour = m.colour;
    }
    const plat::Brush old = b.dc->SelectBrush(plat::SolidBrush(colour));
    b.dc->Ellipse(static_cast<int>((s + 1) * c - c / 5), static_cast<int>(top),
                  static_cast<int>((s + 1) * c + c / 5), static_cast<int>(bottom));
    b.dc->SelectBrush(old);
  }
}

void DrawLabels(Board& b) {
  if (b.labelMode != 1 && b.labelMode != 2) return;
  plat::Dc* dc = b.dc;
  std::optional<plat::LogFont> oldFont;
  SelectShiftJisFont(dc, oldFont, kTextHeight);
  const plat::ColorRef oldText = dc->SetTextColor(b.labelColour);
  const int oldMode = dc->SetBkMode(plat::TRANSPARENT);
  const int frets = b.Frets();
  for (size_t i = 0; i < b.labels.size(); ++i) {
    const int string = static_cast<int>(i) / frets, fret = static_cast<int>(i) % frets;
    if (b.labelMode == 2 && b.marks[string].fret != fret) continue;
    const int left = static_cast<int>((string + 1) * b.columnStep - 14);
    const int top = static_cast<int>((fret + 1) * b.rowStep - 14);
    dc->DrawText(b.labels[i], Rect{left, top, left + 28, top + 14},
                 plat::DT_SINGLELINE | plat::DT_CENTER | plat::DT_VCENTER);
  }
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldText);
  RestoreFont(dc, oldFont);
}

// The pitch-class name up to its "/": "C", "C#" ...
std::string NoteName(int pitch) {
  return PitchClassNameTable[((pitch % 12) + 12) % 12].letter_sharp;
}

}  // namespace

CStringsMultiPicture::CStringsMultiPicture(COffScreenControl* control, const Rect& rect,
                                           int firstFret, int lastFret, FretCallback click,
                                           int strings, int clickable) {
  BoardState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.boards[i].bitmap, st.boards[i].dc);
  st.owner = this;
  st.count = 0;
  Board& b = st.boards[0];
  SetUpSlot(control, rect, &CStringsMultiPicture::OnClick, &Nothing, b.width, b.height, b.bitmap,
            b.dc);
  SetPaint(&CStringsMultiPicture::DrawAll);
  AddFretboard(control, rect, firstFret, lastFret, std::move(click), strings, clickable);
}

CStringsMultiPicture::~CStringsMultiPicture() {
  BoardState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) {
    DeleteSurface(st.boards[i].bitmap, st.boards[i].dc);
    st.boards[i] = Board();
  }
  st.count = 0;
}

bool CStringsMultiPicture::AddFretboard(COffScreenControl* control, const Rect& rect,
                                        int firstFret, int lastFret, FretCallback click,
                                        int strings, int clickable) {
  BoardState& st = State();
  if (st.count >= kCapacity) {
    ErrorMsg(1);
    return false;
  }
  const int n = st.count;
  Board& b = st.boards[n];
  if (n > 0) {
    SetUpSlot(control, rect, &CStringsMultiPicture::OnClick, &Nothing, b.width, b.height,
              b.bitmap, b.dc);
  }
  b.control = control;
  b.firstFret = firstFret;
  b.lastFret = std::max(lastFret, firstFret);
  b.strings = std::clamp(strings, 0, kMaxStrings);
  b.click = std::move(click);
  b.clickable = clickable;
  b.labelMode = 0;
  b.labelColour = 0x006400;
  b.columnStep = static_cast<double>(b.width) / (b.strings + 1);
  b.rowStep = static_cast<double>(b.height) / (b.lastFret - b.firstFret + 2);
  b.labels.assign(static_cast<size_t>(b.Frets() * b.strings), std::string());
  st.count = n + 1;
  ClearMarks(n);
  return true;
}

void CStringsMultiPicture::ClearMarks(int board) {
  if (!Valid(board)) return;
  for (FretMark& m : State().boards[board].marks) m = FretMark{};
  DrawFretboard(board);
}

void CStringsMultiPicture::SetMarks(const FretMark marks[6], int board) {
  if (!Valid(board) || !marks) return;
  std::copy(marks, marks + kMaxStrings, State().boards[board].marks.begin());
  DrawFretboard(board);
}

void CStringsMultiPicture::SetLabels(const std::string* labels, int board) {
  if (!Valid(board) || !labels) return;
  Board& b = State().boards[board];
  for (size_t i = 0; i < b.labels.size(); ++i) {
    b.labels[i] = labels[i].substr(0, Cp932FitLength(labels[i], kLabelBytes));
  }
}

void CStringsMultiPicture::SetLabelMode(int mode, int board) {
  if (Valid(board)) State().boards[board].labelMode = mode;
}

void CStringsMultiPicture::SetLabelColor(plat::ColorRef colour, int board) {
  if (Valid(board)) State().boards[board].labelColour = colour;
}

int CStringsMultiPicture::GuitarPitch(int string, int fret, int tuningRow) {
  if (tuningRow < 0 || tuningRow > 1 || string < 0 || string >= kMaxStrings) return -1;
  return GuitarTuningTable[tuningRow].strings[string] + fret;
}

int CStringsMultiPicture::FourStringPitch(int string, int fret, int tuningRow) {
  if (tuningRow < 0 || tuningRow >= kFourStringTuningCount || string < 0 || string >= 4) {
    return -1;
  }
  return FourStringTuningTable[tuningRow].strings[string] + fret;
}

void CStringsMultiPicture::SetGuitarNoteNames(int board, int mode, int tuningRow) {
  if (!Valid(board)) return;
  SetLabelMode(mode, board);
  const int frets = State().boards[board].Frets();
  std::vector<std::string> names(static_cast<size_t>(frets * kMaxStrings));
  for (size_t i = 0; i < names.size(); ++i) {
    names[i] = NoteName(GuitarPitch(static_cast<int>(i) / frets, static_cast<int>(i) % frets,
                                    tuningRow));
  }
  if (State().boards[board].labels.size() <= names.size()) SetLabels(names.data(), board);
}

void CStringsMultiPicture::SetFourStringNoteNames(int board, int mode, int tuningRow) {
  if (!Valid(board)) return;
  SetLabelMode(mode, board);
  const int frets = State().boards[board].Frets();
  std::vector<std::string> names(static_cast<size_t>(frets * 4));
  for (size_t i = 0; i < names.size(); ++i) {
    names[i] = NoteName(FourStringPitch(static_cast<int>(i) / frets, static_cast<int>(i) % frets,
                                        tuningRow));
  }
  // A board of more than four strings keeps empty texts on the others.
  std::vector<std::string> all(State().boards[board].labels.size());
  std::copy_n(names.begin(), std::min(names.size(), all.size()), all.begin());
  SetLabels(all.data(), board);
}

void CStringsMultiPicture::DrawFretboard(int board) {
  if (!Valid(board)) return;
  Board& b = State().boards[board];
  if (!b.dc || !b.dc->HasSurface()) return;
  DrawLines(b);
  DrawMarks(b);
  DrawLabels(b);
}

void CStringsMultiPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawFretboard(i);
}

void CStringsMultiPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(State().boards[i].dc, State().boards[i].control);
}

void CStringsMultiPicture::DrawTitle(const std::string& text, int board) {
  if (!Valid(board)) return;
  plat::Dc* dc = State().boards[board].dc;
  const plat::ColorRef old = dc->SetTextColor(kTitleColour);
  dc->DrawText(text, Rect{2, 2, 114, 16}, plat::DT_SINGLELINE | plat::DT_VCENTER | plat::DT_LEFT);
  dc->SetTextColor(old);
}

void CStringsMultiPicture::ShowAll(bool show) {
  for (int i = 0; i < State().count; ++i) {
    if (State().boards[i].control) State().boards[i].control->setVisible(show);
  }
}

void CStringsMultiPicture::OnClick(int x, int y, int id) {
  if (id == -1) {
    ErrorMsg(0);
    return;
  }
  if (!Valid(id)) return;
  Board& b = State().boards[id];
  if (!b.click) return;
  if (!b.clickable) {
    b.click(0);
    return;
  }
  const double c = b.columnStep, r = b.rowStep;
  int string = -1;
  for (int s = 0; s < b.strings; ++s) {
    if ((s + 1) * c - c / 2 <= x && x < (s + 1) * c + c / 2) {
      string = s;
      break;
    }
  }
  // Only the board's own frets count: below its last fret nothing is played.
  int fret = -1;
  for (int f = 0; f < b.Frets(); ++f) {
    if (f * r + 6 <= y && y < (f + 1) * r + 6) {
      fret = f;
      break;
    }
  }
  if (string < 0 || fret < 0) {
    b.click(-1);
    return;
  }
  const int note = GuitarTuningTable[0].strings[string] + fret;
  FretMark marks[kMaxStrings];
  marks[string] = FretMark{fret, kClickedColour};
  SetMarks(marks, id);
  // The callback may end the board's owner: it is called last, from a copy.
  FretCallback click = b.click;
  click(note);
}

void CStringsMultiPicture::ErrorMsg(int) { GneMessageBox("CStringsMultiPicture::ErrorMsg"); }

int CStringsMultiPicture::Count() { return State().count; }

plat::Dc* CStringsMultiPicture::Surface(int board) {
  return Valid(board) ? State().boards[board].dc : nullptr;
}

FretMark CStringsMultiPicture::Mark(int board, int string) {
  if (!Valid(board) || string < 0 || string >= kMaxStrings) return FretMark{};
  return State().boards[board].marks[string];
}

std::string CStringsMultiPicture::Label(int board, int string, int fret) {
  if (!Valid(board)) return std::string();
  const Board& b = State().boards[board];
  const int i = string * b.Frets() + fret;
  return i >= 0 && i < static_cast<int>(b.labels.size()) ? b.labels[static_cast<size_t>(i)]
                                                         : std::string();
}

void CStringsMultiPicture::ResetState() {
  for (Board& b : State().boards) {
    if (b.dc || b.bitmap) DeleteSurface(b.bitmap, b.dc);
  }
  State() = BoardState();
}
