#include "style/grid_presets.h"

#include <initializer_list>

#include "util/gne.h"

namespace {

void CopyColumn(CustomGrid& to, int to_step, const CustomGrid& from, int from_step) {
  for (int row = 0; row < kGridRows; ++row) to.NoteTable[row][to_step] = from.NoteTable[row][from_step];
}

void ContinueSet(CustomGridSet& set) {
  for (int s = 0; s < kGridSteps; ++s) {
    const int prev = (s + kGridSteps - 1) % kGridSteps;
    for (int part : {kGridHarmony, kGridSubHarmony, kGridBass}) {
      CustomGrid& g = set.grid[part];
      if (g.pn_continuem[s] == 1) CopyColumn(g, s, g, prev);
    }
  }
}

void ContinuePass(StyleRecord& r) {
  ContinueSet(r.custom_grids[0]);
  ContinueSet(r.custom_grids[1]);
  if (r.use_x[kGridHarmony] == 1) {
    // Sets 0 and 1 of the harmony grid form one 32-step pattern.
    CustomGrid& h0 = r.custom_grids[0].grid[kGridHarmony];
    CustomGrid& h1 = r.custom_grids[1].grid[kGridHarmony];
    if (h0.pn_continuem[0] == 1) CopyColumn(h0, 0, h1, 15);
    if (h1.pn_continuem[0] == 1) CopyColumn(h1, 0, h0, 15);
  }
}

}  // namespace

void FillContinuedSteps(StyleRecord& r) {
  // The second pass carries copies over the wrap from step 15 to step 0.
  ContinuePass(r);
  ContinuePass(r);
}

namespace {

// One edit of a preset: cells of a row, continuation flags, a row's interval or a grid field.
enum class EditKind : uint8_t { kNone, kMark, kContinue, kInterval, kUseX, kContinueMajor, kStroke };

struct GridAt {
  int8_t set;
  int8_t part;
};
constexpr GridAt H0{0, kGridHarmony}, H1{1, kGridHarmony}, S0{0, kGridSubHarmony}, D0{0, kGridDrum},
    B0{0, kGridBass};

struct GridEdit {
  EditKind kind = EditKind::kNone;
  GridAt at{0, 0};
  int8_t row = 0;     // kMark, kInterval; the grid part for the field edits
  int8_t value = 0;   // kInterval and the field edits
  uint16_t steps = 0; // kMark, kContinue: bit s = step s
};

constexpr uint16_t StepBits(std::initializer_list<int> steps) {
  uint16_t bits = 0;
  for (int s : steps) bits = static_cast<uint16_t>(bits | (1u << s));
  return bits;
}
constexpr GridEdit Mark(GridAt at, int row, std::initializer_list<int> steps) {
  return {EditKind::kMark, at, static_cast<int8_t>(row), 0, StepBits(steps)};
}
constexpr GridEdit Continue(GridAt at, std::initializer_list<int> steps) {
  return {EditKind::kContinue, at, 0, 0, StepBits(steps)};
}
constexpr GridEdit Interval(GridAt at, int row, int value) {
  return {EditKind::kInterval, at, static_cast<int8_t>(row), static_cast<int8_t>(value), 0};
}
constexpr GridEdit Field(EditKind kind, int part, int value) {
  return {kind, {0, 0}, static_cast<int8_t>(part), static_cast<int8_t>(value), 0};
}
constexpr GridEdit UseX(int part, int value) { return Field(EditKind::kUseX, part, value); }
constexpr GridEdit ContinueMajor(int part, int value) { return Field(EditKind::kContinueMajor, part, value); }
constexpr GridEdit Stroke(int part, int value) { return Field(EditKind::kStroke, part, value); }

enum Fill : bool { kNoFill = false, kFill = true };

constexpr int kMaxPresetEdits = 18;
struct GridPresetRow {
  GridPreset preset;
  Fill fill;                         // ends with FillContinuedSteps
  GridEdit edits[kMaxPresetEdits];   // in order, up to the first kNone
};

using P = GridPreset;
// Rows: H harmony, S sub-harmony, D drum, B bass; the digit is the grid set.
const GridPresetRow kGridPresets[] = {
    {P::kNinetiesPopsBass, kFill,
     {Mark(B0, 2, {4, 6, 10, 14}),
      Mark(B0, 6, {8, 12}),
      Continue(B0, {0, 15})}},
    {P::kCountryBass, kFill,
     {Mark(B0, 2, {0, 3, 8, 11, 14}),
      Mark(B0, 6, {4, 12}),
      Continue(B0, {1, 2, 5, 6, 7, 9, 10, 13, 15})}},
    {P::kChaChaChaBass, kFill,
     {Mark(B0, 6, {12}),
      Mark(B0, 9, {0}),
      Mark(B0, 13, {8}),
      Continue(B0, {1, 2, 3, 9, 10, 11, 13, 14, 15})}},
    {P::kLightPopsBass, kFill,
     {Mark(B0, 6, {2, 6, 10, 14}),
      Mark(B0, 9, {0, 4, 8, 12})}},
    {P::kNinetiesPopsDrum, kNoFill,
     {Mark(D0, 0, {0, 2, 4, 8, 10, 12}),
      Mark(D0, 2, {6, 14}),
      Mark(D0, 5, {0, 2, 4, 5, 6, 8, 10, 12, 13, 14, 15})}},
    {P::kSkaDrum, kNoFill,
     {Mark(D0, 0, {0, 4, 8, 12}),
      Mark(D0, 6, {2, 6, 10, 14})}},
    {P::kDuoDrum, kNoFill,
     {Mark(D0, 0, {0, 2, 4, 8, 10, 12, 13, 14, 15}),
      Mark(D0, 2, {6, 14}),
      Mark(D0, 5, {0, 2, 4, 5, 6, 8, 10, 12, 13, 14, 15})}},
    {P::kGuitarLoungeHarmony, kFill,
     {Mark(H0, 2, {0, 4, 10, 14}),
      Mark(H0, 4, {4, 10, 12, 14}),
      Mark(H0, 6, {0, 10}),
      Mark(H0, 7, {4, 14}),
      Mark(H0, 8, {0, 10}),
      Mark(H0, 10, {4, 14}),
      Continue(H0, {5, 6, 7, 11, 13, 15}),
      Stroke(kGridHarmony, 1)}},
    {P::kYosakoi, kFill,
     {Mark(H0, 2, {0}),
      Mark(H0, 4, {0}),
      Mark(H0, 5, {12}),
      Mark(H0, 6, {0, 13}),
      Mark(H0, 7, {14}),
      Mark(H0, 8, {0, 15}),
      Continue(H0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
      Mark(S0, 2, {2, 6}),
      Mark(S0, 3, {14}),
      Mark(S0, 6, {11}),
      Mark(S0, 9, {8}),
      Mark(D0, 1, {0, 4, 8, 12}),
      Mark(D0, 5, {0, 1, 3, 5, 6, 8, 9, 10, 13, 14}),
      Mark(D0, 8, {2, 11, 15}),
      Mark(B0, 0, {15}),
      Mark(B0, 1, {14}),
      Mark(B0, 2, {0, 1, 2, 6, 10, 13}),
      ContinueMajor(kGridSubHarmony, 1)}},
    {P::kMambo, kFill,
     {Mark(D0, 0, {0, 4, 8, 12}),
      Mark(D0, 3, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}),
      Mark(D0, 5, {0, 4, 8, 12}),
      Interval(D0, 3, 34),
      Interval(D0, 5, 29),
      Mark(H0, 2, {0, 8}),
      Mark(H0, 6, {3, 5, 7, 11, 13, 15}),
      Mark(H0, 9, {4, 12})}},
    {P::kReggae, kFill,
     {Mark(H0, 2, {2, 5, 8, 11}),
      Mark(H0, 4, {2, 5, 8, 11}),
      Mark(H0, 6, {2, 5, 8, 11}),
      Mark(S0, 6, {9, 10, 11}),
      Mark(S0, 9, {9, 10, 11}),
      Mark(B0, 2, {0, 2, 3, 5, 6, 8, 9, 11}),
      Mark(D0, 0, {0, 6}),
      Mark(D0, 2, {0, 1, 2, 4, 5, 7, 8, 10}),
      Mark(D0, 3, {3, 9, 11}),
      Mark(D0, 4, {6}),
      Interval(D0, 2, 35),
      Interval(D0, 3, 30),
      Interval(D0, 4, 31)}},
    {P::kBoleroHarmony, kFill,
     {Mark(H0, 2, {0}),
      Mark(H0, 6, {6}),
      Mark(H0, 13, {3})}},
    {P::kChinaTownHarmony, kFill,
     {Mark(H0, 2, {0, 4, 8, 12}),
      Mark(H0, 6, {2, 10}),
      Mark(H0, 9, {6, 14})}},
    {P::kSymphonicRockHarmony, kFill,
     {Mark(H0, 2, {2, 4, 6, 8, 10, 12, 14}),
      Mark(H0, 4, {2, 4, 6, 8, 10, 12, 14}),
      Continue(H0, {0, 1, 3, 7, 15}),
      Mark(H1, 2, {4, 8, 10, 14}),
      Mark(H1, 4, {4, 8, 10, 14}),
      Mark(H1, 6, {8, 10, 14}),
      Mark(H1, 7, {4}),
      Continue(H1, {0, 1, 5, 11}),
      UseX(kGridHarmony, 2),
      ContinueMajor(kGridHarmony, 1),
      Stroke(kGridHarmony, 1)}},
    {P::kAcousticHarmony, kFill,
     {Mark(H0, 4, {0, 4, 10, 14}),
      Mark(H0, 6, {0, 4, 10, 14}),
      Mark(H0, 8, {0, 4, 10, 14}),
      Continue(H0, {1, 5, 6, 7, 11, 15}),
      Mark(H1, 4, {0, 2, 6, 12}),
      Mark(H1, 6, {0, 2, 6, 12}),
      Mark(H1, 8, {0, 2, 6, 12}),
      Continue(H1, {0, 1, 3, 4, 5, 7, 13, 14, 15}),
      UseX(kGridHarmony, 1),
      ContinueMajor(kGridHarmony, 1),
      Stroke(kGridHarmony, 1)}},
    {P::kMysteryCaveHarmony, kNoFill,
     {Mark(H0, 2, {0}),
      Mark(H0, 3, {2}),
      Mark(H0, 4, {1, 4}),
      Mark(H0, 5, {3}),
      Mark(H0, 6, {5, 7})}},
    {P::kNostalgic, kFill,
     {Mark(H0, 2, {0, 3, 4, 12, 13, 15}),
      Mark(H0, 6, {14}),
      Mark(B0, 2, {6}),
      Mark(B0, 3, {8, 10, 14}),
      UseX(kGridHarmony, 0),
      ContinueMajor(kGridHarmony, 0),
      Stroke(kGridHarmony, 0)}},
    {P::kTechnoPop, kFill,
     {Mark(D0, 1, {7, 13, 15}),
      Mark(D0, 4, {3, 11}),
      Mark(D0, 5, {0, 2, 4, 6, 8, 10, 12, 14}),
      Mark(H0, 2, {0, 1, 6, 7, 8, 9, 12, 13}),
      Mark(H0, 4, {2, 3, 14, 15}),
      Mark(H0, 6, {4, 5, 10, 11}),
      Mark(S0, 2, {0, 2, 4, 6, 8, 12, 14}),
      Mark(S0, 3, {0, 6, 14}),
      Mark(S0, 4, {2, 4, 8, 12}),
      Mark(S0, 6, {0, 2, 4, 6, 8, 12, 14}),
      UseX(kGridHarmony, 0),
      ContinueMajor(kGridHarmony, 0),
      Stroke(kGridHarmony, 0)}},
    {P::kEveningGirls, kFill,
     {Mark(B0, 2, {0, 2, 8}),
      Mark(B0, 6, {4, 12}),
      Mark(B0, 7, {6, 14}),
      Mark(H0, 2, {2, 6, 10, 14}),
      Mark(H1, 2, {2, 6, 10, 14})}},
    {P::kMarch, kFill,
     {Mark(H0, 2, {2, 6, 10, 14}),
      Mark(H0, 4, {2, 6, 10, 14}),
      Mark(H0, 6, {2, 6, 10, 14}),
      Mark(B0, 6, {4, 12}),
      Mark(B0, 9, {0, 8})}},
    {P::kShamisenHarmony, kFill,
     {Mark(H0, 2, {0, 4, 8, 12}),
      Mark(H0, 4, {2, 3, 6, 7})}},
    {P::kCountryHarmony, kFill,
     {Mark(H0, 2, {0, 8}),
      Mark(H0, 4, {4, 12}),
      Mark(H0, 6, {2, 6, 10, 14}),
      Mark(H0, 9, {5, 13}),
      Mark(H0, 11, {3, 7, 11, 15})}},
    {P::kChaChaChaHarmony, kFill,
     {Mark(H0, 2, {0}),
      Mark(H0, 6, {0, 6}),
      Mark(H0, 9, {4}),
      Mark(H0, 10, {4}),
      Mark(H0, 11, {4})}},
    {P::kYodel, kFill,
     {Mark(B0, 2, {0, 6, 8, 12}),
      Mark(B0, 7, {14}),
      Continue(B0, {1, 2, 3, 4, 7, 15}),
      Mark(H0, 2, {0, 4}),
      Mark(H0, 4, {2, 6, 8, 10, 12}),
      Mark(H0, 6, {2, 6, 8, 12}),
      Mark(H0, 7, {10}),
      Mark(D0, 11, {4, 7, 12}),
      Mark(D0, 12, {0, 8}),
      Interval(D0, 11, 21)}},
    {P::kSeventiesPopsHarmony, kNoFill,
     {Mark(H0, 2, {2, 6, 10, 14}),
      Mark(H0, 4, {2, 6, 10, 14}),
      Mark(H0, 6, {2, 6, 10, 14})}},
    {P::kOrrenValeHarmony, kFill,
     {Mark(H0, 0, {4, 10}),
      Mark(H0, 1, {4, 10, 12}),
      Mark(H0, 2, {2, 4, 8, 10, 12, 14}),
      Mark(H0, 4, {2, 8, 12, 14}),
      Mark(H0, 6, {2, 8, 14}),
      Interval(H0, 0, 2),
      Interval(H0, 1, 4),
      Continue(H0, {0, 5, 6, 11, 13, 15}),
      Mark(H1, 2, {2, 4, 5}),
      Mark(H1, 4, {2, 4, 5, 6, 10, 12, 13, 14}),
      Mark(H1, 6, {2, 4, 5, 6, 10, 12, 13, 14}),
      Mark(H1, 9, {6, 10, 12, 14}),
      Continue(H1, {0, 1, 3, 7, 8, 9, 11, 15})}},
    {P::kSilkRoadHarmony, kFill,
     {Mark(H0, 1, {12}),
      Mark(H0, 2, {0, 5, 8, 12}),
      Mark(H0, 4, {0, 6, 8, 12}),
      Mark(H0, 6, {0, 7, 8}),
      Interval(H0, 1, 4),
      Continue(H0, {1, 2, 3, 9, 10, 13, 14})}},
    {P::kNinetiesPopsHarmony, kFill,
     {Mark(H0, 2, {2, 4, 5, 10, 12, 13}),
      Mark(H0, 4, {2, 4, 5, 7, 9, 10, 12, 13, 14}),
      Mark(H0, 6, {2, 4, 5, 7, 9, 10, 12, 13, 14, 15}),
      Mark(H0, 9, {7, 9, 14, 15}),
      Mark(H0, 11, {15}),
      Continue(H0, {3, 6, 8})}},
    {P::kAntiWarSongHarmony, kFill,
     {Mark(H0, 2, {2, 6, 10}),
      Mark(H0, 4, {0, 4, 8}),
      Mark(H0, 6, {0, 4, 8}),
      Mark(H0, 7, {12}),
      Mark(H0, 8, {13}),
      Mark(H0, 9, {15}),
      Mark(H0, 10, {0, 4, 8}),
      Continue(H0, {1, 3, 5, 7, 9, 11, 14})}},
    {P::kForestMusicHarmony, kFill,
     {Mark(H0, 2, {0}),
      Mark(H0, 4, {2}),
      Mark(H0, 6, {4}),
      Mark(H0, 9, {6}),
      Mark(H0, 11, {8}),
      Continue(H0, {1, 3, 5, 7, 9})}},
    {P::kClubTechno, kFill,
     {Mark(H0, 2, {0, 2, 4, 6, 8, 10, 12, 14}),
      Mark(H0, 9, {1, 3, 5, 7, 9, 11, 13, 15}),
      Mark(S0, 11, {0, 2, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15})}},
    {P::kEthnicGuitar, kFill,
     {Mark(H0, 2, {4, 6, 12}),
      Mark(H0, 4, {4, 6, 12}),
      Mark(H0, 6, {4, 6, 12}),
      Mark(H0, 9, {0, 8}),
      Interval(H0, 6, 4),
      Interval(H0, 9, 0),
      Continue(H0, {1, 9, 13, 14}),
      Mark(D0, 12, {4, 12}),
      Stroke(kGridHarmony, 1),
      ContinueMajor(kGridHarmony, 1)}},
    {P::kSilkRoadSubHarmony, kNoFill,
     {Mark(S0, 2, {0}),
      Mark(S0, 4, {1, 4}),
      Mark(S0, 6, {2, 5, 8}),
      Mark(S0, 9, {3, 6, 9}),
      Mark(S0, 11, {7, 10}),
      Mark(S0, 13, {11})}},
    {P::kSkaSubHarmony, kFill,
     {Mark(S0, 2, {2, 6, 10, 14}),
      Mark(S0, 4, {2, 6, 10, 14}),
      Mark(S0, 6, {2, 6, 10, 14})}},
    {P::kGlamRockSubHarmony, kFill,
     {Mark(S0, 2, {0, 2, 8, 14, 15}),
      Mark(S0, 3, {4, 10}),
      Continue(S0, {0, 15})}},
    {P::kCountrySubHarmony, kFill,
     {Mark(S0, 2, {0, 4, 8}),
      Mark(S0, 3, {12}),
      Mark(S0, 4, {13}),
      Mark(S0, 6, {2, 3, 6, 7, 10, 11, 14, 15}),
      Mark(S0, 9, {2, 3, 6, 7, 10, 11, 14, 15}),
      Mark(S0, 11, {2, 3, 6, 7, 10, 11, 14, 15})}},
    {P::kLightPopsSubHarmony, kFill,
     {Mark(S0, 6, {2, 6, 10, 14}),
      Mark(S0, 9, {2, 6, 10, 14}),
      Mark(S0, 11, {2, 6, 10, 14})}},
    {P::kNinetiesPopsSubHarmony, kFill,
     {Mark(S0, 2, {0, 10, 14}),
      Mark(S0, 4, {0, 10, 14}),
      Mark(S0, 6, {0, 10, 14}),
      Continue(S0, {1, 11, 15})}},
};

void ApplyEdit(const GridEdit& e, StyleRecord& r) {
  CustomGrid& g = r.custom_grids[e.at.set].grid[e.at.part];
  switch (e.kind) {
    case EditKind::kNone:
      break;
    case EditKind::kMark:
      for (int s = 0; s < kGridSteps; ++s)
        if (e.steps & (1u << s)) g.NoteTable[e.row][s] = 1;
      break;
    case EditKind::kContinue:
      for (int s = 0; s < kGridSteps; ++s)
        if (e.steps & (1u << s)) g.pn_continuem[s] = 1;
      break;
    case EditKind::kInterval:
      g.pn_interval[e.row] = e.value;
      break;
    case EditKind::kUseX:
      r.use_x[e.row] = e.value;
      break;
    case EditKind::kContinueMajor:
      r.continue_major[e.row] = e.value;
      break;
    case EditKind::kStroke:
      r.stroke[e.row] = e.value;
      break;
  }
}

}  // namespace

void ApplyGridPreset(GridPreset preset, StyleRecord& r) {
  for (const GridPresetRow& row : kGridPresets) {
    if (row.preset != preset) continue;
    for (const GridEdit& e : row.edits) ApplyEdit(e, r);
    if (row.fill) FillContinuedSteps(r);
    return;
  }
}

void RandomChordGrids(StyleRecord& r) {
  static const int kRows[4] = {2, 4, 6, 9};
  CustomGrid& h = r.custom_grids[0].grid[kGridHarmony];
  CustomGrid& s = r.custom_grids[0].grid[kGridSubHarmony];
  for (int step = 0; step < kGridSteps; ++step) {
    int v = GneRandomRange(1, 5);
    if (v <= 4) h.NoteTable[kRows[v - 1]][step] = 1;
    v = GneRandomRange(1, 5);
    if (v <= 4) s.NoteTable[kRows[v - 1]][step] = 1;
  }
  FillContinuedSteps(r);
}

void RandomMelodicGrids(StyleRecord& r) {
  CustomGrid& h = r.custom_grids[0].grid[kGridHarmony];
  CustomGrid& s = r.custom_grids[0].grid[kGridSubHarmony];
  for (int step = 0; step < kGridSteps; ++step) {
    int v = GneRandomRange(0, 8);
    if (v < 8) h.NoteTable[2 + v][step] = 1;
    v = GneRandomRange(0, 8);
    if (v < 8) s.NoteTable[2 + v][step] = 1;
  }
  FillContinuedSteps(r);
}

void RandomSubHarmonyNotes(StyleRecord& r) {
  static const int kRows[3] = {2, 4, 6};
  CustomGrid& s = r.custom_grids[0].grid[kGridSubHarmony];
  for (int step = 0; step < kGridSteps; step += 2) {
    if (GneRandomRange(1, 2) != 1) continue;
    s.NoteTable[kRows[GneRandomRange(1, 3) - 1]][step] = 1;
    if (GneRandomRange(1, 2) == 1) {
      s.NoteTable[kRows[GneRandomRange(1, 3) - 1]][step + 1] = 1;
    } else if (GneRandomRange(1, 2) == 1) {
      s.pn_continuem[step + 1] = 1;
    }
  }
  FillContinuedSteps(r);
}
