#include "style/grid_presets.h"

#include <initializer_list>

#include "util/gne.h"

namespace {

// Marks `row` of the grid at the given steps.
void Mark(CustomGrid& g, int row, std::initializer_list<int> steps) {
  for (int s : steps) g.NoteTable[row][s] = 1;
}

// Sets the continuation flags of the given steps.
void Continue(CustomGrid& g, std::initializer_list<int> steps) {
  for (int s : steps) g.pn_continuem[s] = 1;
}

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

// B0 r2: 4,6,10,14; r6: 8,12; c: 0,15
void NinetiesPopsBassGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {4, 6, 10, 14});
    Mark(g, 6, {8, 12});
    Continue(g, {0, 15});
  }
  FillContinuedSteps(r);
}

// B0 r2: 0,3,8,11,14; r6: 4,12; c: 1,2,5,6,7,9,10,13,15
void CountryBassGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {0, 3, 8, 11, 14});
    Mark(g, 6, {4, 12});
    Continue(g, {1, 2, 5, 6, 7, 9, 10, 13, 15});
  }
  FillContinuedSteps(r);
}

// B0 r6: 12; r9: 0; r13: 8; c: 1,2,3,9,10,11,13,14,15
void ChaChaChaBassGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 6, {12});
    Mark(g, 9, {0});
    Mark(g, 13, {8});
    Continue(g, {1, 2, 3, 9, 10, 11, 13, 14, 15});
  }
  FillContinuedSteps(r);
}

// B0 r6: 2,6,10,14; r9: 0,4,8,12
void LightPopsBassGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 6, {2, 6, 10, 14});
    Mark(g, 9, {0, 4, 8, 12});
  }
  FillContinuedSteps(r);
}

// D0 r0: 0,2,4,8,10,12; r2: 6,14; r5: 0,2,4,5,6,8,10,12,13,14,15
void NinetiesPopsDrumGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 0, {0, 2, 4, 8, 10, 12});
    Mark(g, 2, {6, 14});
    Mark(g, 5, {0, 2, 4, 5, 6, 8, 10, 12, 13, 14, 15});
  }
}

// D0 r0: 0,4,8,12; r6: 2,6,10,14
void SkaDrumGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 0, {0, 4, 8, 12});
    Mark(g, 6, {2, 6, 10, 14});
  }
}

// D0 r0: 0,2,4,8,10,12,13,14,15; r2: 6,14; r5: 0,2,4,5,6,8,10,12,13,14,15
void DuoDrumGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 0, {0, 2, 4, 8, 10, 12, 13, 14, 15});
    Mark(g, 2, {6, 14});
    Mark(g, 5, {0, 2, 4, 5, 6, 8, 10, 12, 13, 14, 15});
  }
}

// H0 r2: 0,4,10,14; r4: 4,10,12,14; r6: 0,10; r7: 4,14; r8: 0,10; r10: 4,14; c: 5,6,7,11,13,15
//   stroke H=1
void GuitarLoungeHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 4, 10, 14});
    Mark(g, 4, {4, 10, 12, 14});
    Mark(g, 6, {0, 10});
    Mark(g, 7, {4, 14});
    Mark(g, 8, {0, 10});
    Mark(g, 10, {4, 14});
    Continue(g, {5, 6, 7, 11, 13, 15});
  }
  r.stroke[kGridHarmony] = 1;
  FillContinuedSteps(r);
}

// H0 r2: 0; r4: 0; r5: 12; r6: 0,13; r7: 14; r8: 0,15; c: 1,2,3,4,5,6,7,8,9,10,11
//   S0 r2: 2,6; r3: 14; r6: 11; r9: 8
//   D0 r1: 0,4,8,12; r5: 0,1,3,5,6,8,9,10,13,14; r8: 2,11,15
//   B0 r0: 15; r1: 14; r2: 0,1,2,6,10,13
//   continue_major S=1
void YosakoiGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0});
    Mark(g, 4, {0});
    Mark(g, 5, {12});
    Mark(g, 6, {0, 13});
    Mark(g, 7, {14});
    Mark(g, 8, {0, 15});
    Continue(g, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {2, 6});
    Mark(g, 3, {14});
    Mark(g, 6, {11});
    Mark(g, 9, {8});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 1, {0, 4, 8, 12});
    Mark(g, 5, {0, 1, 3, 5, 6, 8, 9, 10, 13, 14});
    Mark(g, 8, {2, 11, 15});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 0, {15});
    Mark(g, 1, {14});
    Mark(g, 2, {0, 1, 2, 6, 10, 13});
  }
  r.continue_major[kGridSubHarmony] = 1;
  FillContinuedSteps(r);
}

// D0 r0: 0,4,8,12; r3: 1,2,3,5,6,7,9,10,11,13,14,15; r5: 0,4,8,12; i3=34 i5=29
//   H0 r2: 0,8; r6: 3,5,7,11,13,15; r9: 4,12
void MamboGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 0, {0, 4, 8, 12});
    Mark(g, 3, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15});
    Mark(g, 5, {0, 4, 8, 12});
    g.pn_interval[3] = 34;
    g.pn_interval[5] = 29;
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 8});
    Mark(g, 6, {3, 5, 7, 11, 13, 15});
    Mark(g, 9, {4, 12});
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,5,8,11; r4: 2,5,8,11; r6: 2,5,8,11
//   S0 r6: 9,10,11; r9: 9,10,11
//   B0 r2: 0,2,3,5,6,8,9,11
//   D0 r0: 0,6; r2: 0,1,2,4,5,7,8,10; r3: 3,9,11; r4: 6; i2=35 i3=30 i4=31
void ReggaeGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 5, 8, 11});
    Mark(g, 4, {2, 5, 8, 11});
    Mark(g, 6, {2, 5, 8, 11});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 6, {9, 10, 11});
    Mark(g, 9, {9, 10, 11});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {0, 2, 3, 5, 6, 8, 9, 11});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 0, {0, 6});
    Mark(g, 2, {0, 1, 2, 4, 5, 7, 8, 10});
    Mark(g, 3, {3, 9, 11});
    Mark(g, 4, {6});
    g.pn_interval[2] = 35;
    g.pn_interval[3] = 30;
    g.pn_interval[4] = 31;
  }
  FillContinuedSteps(r);
}

// H0 r2: 0; r6: 6; r13: 3
void BoleroHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0});
    Mark(g, 6, {6});
    Mark(g, 13, {3});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0,4,8,12; r6: 2,10; r9: 6,14
void ChinaTownHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 4, 8, 12});
    Mark(g, 6, {2, 10});
    Mark(g, 9, {6, 14});
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,4,6,8,10,12,14; r4: 2,4,6,8,10,12,14; c: 0,1,3,7,15
//   H1 r2: 4,8,10,14; r4: 4,8,10,14; r6: 8,10,14; r7: 4; c: 0,1,5,11
//   use_x H=2
//   continue_major H=1
//   stroke H=1
void SymphonicRockHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 4, 6, 8, 10, 12, 14});
    Mark(g, 4, {2, 4, 6, 8, 10, 12, 14});
    Continue(g, {0, 1, 3, 7, 15});
  }
  {
    CustomGrid& g = r.custom_grids[1].grid[kGridHarmony];  // H1
    Mark(g, 2, {4, 8, 10, 14});
    Mark(g, 4, {4, 8, 10, 14});
    Mark(g, 6, {8, 10, 14});
    Mark(g, 7, {4});
    Continue(g, {0, 1, 5, 11});
  }
  r.use_x[kGridHarmony] = 2;
  r.continue_major[kGridHarmony] = 1;
  r.stroke[kGridHarmony] = 1;
  FillContinuedSteps(r);
}

// H0 r4: 0,4,10,14; r6: 0,4,10,14; r8: 0,4,10,14; c: 1,5,6,7,11,15
//   H1 r4: 0,2,6,12; r6: 0,2,6,12; r8: 0,2,6,12; c: 0,1,3,4,5,7,13,14,15
//   use_x H=1
//   continue_major H=1
//   stroke H=1
void AcousticHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 4, {0, 4, 10, 14});
    Mark(g, 6, {0, 4, 10, 14});
    Mark(g, 8, {0, 4, 10, 14});
    Continue(g, {1, 5, 6, 7, 11, 15});
  }
  {
    CustomGrid& g = r.custom_grids[1].grid[kGridHarmony];  // H1
    Mark(g, 4, {0, 2, 6, 12});
    Mark(g, 6, {0, 2, 6, 12});
    Mark(g, 8, {0, 2, 6, 12});
    Continue(g, {0, 1, 3, 4, 5, 7, 13, 14, 15});
  }
  r.use_x[kGridHarmony] = 1;
  r.continue_major[kGridHarmony] = 1;
  r.stroke[kGridHarmony] = 1;
  FillContinuedSteps(r);
}

// H0 r2: 0; r3: 2; r4: 1,4; r5: 3; r6: 5,7
void MysteryCaveHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0});
    Mark(g, 3, {2});
    Mark(g, 4, {1, 4});
    Mark(g, 5, {3});
    Mark(g, 6, {5, 7});
  }
}

// H0 r2: 0,3,4,12,13,15; r6: 14
//   B0 r2: 6; r3: 8,10,14
//   use_x H=0
//   continue_major H=0
//   stroke H=0
void NostalgicGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 3, 4, 12, 13, 15});
    Mark(g, 6, {14});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {6});
    Mark(g, 3, {8, 10, 14});
  }
  r.use_x[kGridHarmony] = 0;
  r.continue_major[kGridHarmony] = 0;
  r.stroke[kGridHarmony] = 0;
  FillContinuedSteps(r);
}

// D0 r1: 7,13,15; r4: 3,11; r5: 0,2,4,6,8,10,12,14
//   H0 r2: 0,1,6,7,8,9,12,13; r4: 2,3,14,15; r6: 4,5,10,11
//   S0 r2: 0,2,4,6,8,12,14; r3: 0,6,14; r4: 2,4,8,12; r6: 0,2,4,6,8,12,14
//   use_x H=0
//   continue_major H=0
//   stroke H=0
void TechnoPopGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 1, {7, 13, 15});
    Mark(g, 4, {3, 11});
    Mark(g, 5, {0, 2, 4, 6, 8, 10, 12, 14});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 1, 6, 7, 8, 9, 12, 13});
    Mark(g, 4, {2, 3, 14, 15});
    Mark(g, 6, {4, 5, 10, 11});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {0, 2, 4, 6, 8, 12, 14});
    Mark(g, 3, {0, 6, 14});
    Mark(g, 4, {2, 4, 8, 12});
    Mark(g, 6, {0, 2, 4, 6, 8, 12, 14});
  }
  r.use_x[kGridHarmony] = 0;
  r.continue_major[kGridHarmony] = 0;
  r.stroke[kGridHarmony] = 0;
  FillContinuedSteps(r);
}

// B0 r2: 0,2,8; r6: 4,12; r7: 6,14
//   H0 r2: 2,6,10,14
//   H1 r2: 2,6,10,14
void EveningGirlsGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {0, 2, 8});
    Mark(g, 6, {4, 12});
    Mark(g, 7, {6, 14});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 6, 10, 14});
  }
  {
    CustomGrid& g = r.custom_grids[1].grid[kGridHarmony];  // H1
    Mark(g, 2, {2, 6, 10, 14});
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,6,10,14; r4: 2,6,10,14; r6: 2,6,10,14
//   B0 r6: 4,12; r9: 0,8
void MarchGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 6, 10, 14});
    Mark(g, 4, {2, 6, 10, 14});
    Mark(g, 6, {2, 6, 10, 14});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 6, {4, 12});
    Mark(g, 9, {0, 8});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0,4,8,12; r4: 2,3,6,7
void ShamisenHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 4, 8, 12});
    Mark(g, 4, {2, 3, 6, 7});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0,8; r4: 4,12; r6: 2,6,10,14; r9: 5,13; r11: 3,7,11,15
void CountryHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 8});
    Mark(g, 4, {4, 12});
    Mark(g, 6, {2, 6, 10, 14});
    Mark(g, 9, {5, 13});
    Mark(g, 11, {3, 7, 11, 15});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0; r6: 0,6; r9: 4; r10: 4; r11: 4
void ChaChaChaHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0});
    Mark(g, 6, {0, 6});
    Mark(g, 9, {4});
    Mark(g, 10, {4});
    Mark(g, 11, {4});
  }
  FillContinuedSteps(r);
}

// B0 r2: 0,6,8,12; r7: 14; c: 1,2,3,4,7,15
//   H0 r2: 0,4; r4: 2,6,8,10,12; r6: 2,6,8,12; r7: 10
//   D0 r11: 4,7,12; r12: 0,8; i11=21
void YodelGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridBass];  // B0
    Mark(g, 2, {0, 6, 8, 12});
    Mark(g, 7, {14});
    Continue(g, {1, 2, 3, 4, 7, 15});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 4});
    Mark(g, 4, {2, 6, 8, 10, 12});
    Mark(g, 6, {2, 6, 8, 12});
    Mark(g, 7, {10});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 11, {4, 7, 12});
    Mark(g, 12, {0, 8});
    g.pn_interval[11] = 21;
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,6,10,14; r4: 2,6,10,14; r6: 2,6,10,14
void SeventiesPopsHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 6, 10, 14});
    Mark(g, 4, {2, 6, 10, 14});
    Mark(g, 6, {2, 6, 10, 14});
  }
}

// H0 r0: 4,10; r1: 4,10,12; r2: 2,4,8,10,12,14; r4: 2,8,12,14; r6: 2,8,14; i0=2 i1=4; c: 0,5,6,11,13,15
//   H1 r2: 2,4,5; r4: 2,4,5,6,10,12,13,14; r6: 2,4,5,6,10,12,13,14; r9: 6,10,12,14; c: 0,1,3,7,8,9,11,15
void OrrenValeHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 0, {4, 10});
    Mark(g, 1, {4, 10, 12});
    Mark(g, 2, {2, 4, 8, 10, 12, 14});
    Mark(g, 4, {2, 8, 12, 14});
    Mark(g, 6, {2, 8, 14});
    g.pn_interval[0] = 2;
    g.pn_interval[1] = 4;
    Continue(g, {0, 5, 6, 11, 13, 15});
  }
  {
    CustomGrid& g = r.custom_grids[1].grid[kGridHarmony];  // H1
    Mark(g, 2, {2, 4, 5});
    Mark(g, 4, {2, 4, 5, 6, 10, 12, 13, 14});
    Mark(g, 6, {2, 4, 5, 6, 10, 12, 13, 14});
    Mark(g, 9, {6, 10, 12, 14});
    Continue(g, {0, 1, 3, 7, 8, 9, 11, 15});
  }
  FillContinuedSteps(r);
}

// H0 r1: 12; r2: 0,5,8,12; r4: 0,6,8,12; r6: 0,7,8; i1=4; c: 1,2,3,9,10,13,14
void SilkRoadHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 1, {12});
    Mark(g, 2, {0, 5, 8, 12});
    Mark(g, 4, {0, 6, 8, 12});
    Mark(g, 6, {0, 7, 8});
    g.pn_interval[1] = 4;
    Continue(g, {1, 2, 3, 9, 10, 13, 14});
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,4,5,10,12,13; r4: 2,4,5,7,9,10,12,13,14; r6: 2,4,5,7,9,10,12,13,14,15; r9: 7,9,14,15; r11: 15; c: 3,6,8
void NinetiesPopsHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 4, 5, 10, 12, 13});
    Mark(g, 4, {2, 4, 5, 7, 9, 10, 12, 13, 14});
    Mark(g, 6, {2, 4, 5, 7, 9, 10, 12, 13, 14, 15});
    Mark(g, 9, {7, 9, 14, 15});
    Mark(g, 11, {15});
    Continue(g, {3, 6, 8});
  }
  FillContinuedSteps(r);
}

// H0 r2: 2,6,10; r4: 0,4,8; r6: 0,4,8; r7: 12; r8: 13; r9: 15; r10: 0,4,8; c: 1,3,5,7,9,11,14
void AntiWarSongHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {2, 6, 10});
    Mark(g, 4, {0, 4, 8});
    Mark(g, 6, {0, 4, 8});
    Mark(g, 7, {12});
    Mark(g, 8, {13});
    Mark(g, 9, {15});
    Mark(g, 10, {0, 4, 8});
    Continue(g, {1, 3, 5, 7, 9, 11, 14});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0; r4: 2; r6: 4; r9: 6; r11: 8; c: 1,3,5,7,9
void ForestMusicHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0});
    Mark(g, 4, {2});
    Mark(g, 6, {4});
    Mark(g, 9, {6});
    Mark(g, 11, {8});
    Continue(g, {1, 3, 5, 7, 9});
  }
  FillContinuedSteps(r);
}

// H0 r2: 0,2,4,6,8,10,12,14; r9: 1,3,5,7,9,11,13,15
//   S0 r11: 0,2,3,4,6,7,8,10,11,12,14,15
void ClubTechnoGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {0, 2, 4, 6, 8, 10, 12, 14});
    Mark(g, 9, {1, 3, 5, 7, 9, 11, 13, 15});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 11, {0, 2, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15});
  }
  FillContinuedSteps(r);
}

// H0 r2: 4,6,12; r4: 4,6,12; r6: 4,6,12; r9: 0,8; i6=4 i9=0; c: 1,9,13,14
//   D0 r12: 4,12
//   stroke H=1
//   continue_major H=1
void EthnicGuitarGrids(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridHarmony];  // H0
    Mark(g, 2, {4, 6, 12});
    Mark(g, 4, {4, 6, 12});
    Mark(g, 6, {4, 6, 12});
    Mark(g, 9, {0, 8});
    g.pn_interval[6] = 4;
    g.pn_interval[9] = 0;
    Continue(g, {1, 9, 13, 14});
  }
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridDrum];  // D0
    Mark(g, 12, {4, 12});
  }
  r.stroke[kGridHarmony] = 1;
  r.continue_major[kGridHarmony] = 1;
  FillContinuedSteps(r);
}

// S0 r2: 0; r4: 1,4; r6: 2,5,8; r9: 3,6,9; r11: 7,10; r13: 11
void SilkRoadSubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {0});
    Mark(g, 4, {1, 4});
    Mark(g, 6, {2, 5, 8});
    Mark(g, 9, {3, 6, 9});
    Mark(g, 11, {7, 10});
    Mark(g, 13, {11});
  }
}

// S0 r2: 2,6,10,14; r4: 2,6,10,14; r6: 2,6,10,14
void SkaSubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {2, 6, 10, 14});
    Mark(g, 4, {2, 6, 10, 14});
    Mark(g, 6, {2, 6, 10, 14});
  }
  FillContinuedSteps(r);
}

// S0 r2: 0,2,8,14,15; r3: 4,10; c: 0,15
void GlamRockSubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {0, 2, 8, 14, 15});
    Mark(g, 3, {4, 10});
    Continue(g, {0, 15});
  }
  FillContinuedSteps(r);
}

// S0 r2: 0,4,8; r3: 12; r4: 13; r6: 2,3,6,7,10,11,14,15; r9: 2,3,6,7,10,11,14,15; r11: 2,3,6,7,10,11,14,15
void CountrySubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {0, 4, 8});
    Mark(g, 3, {12});
    Mark(g, 4, {13});
    Mark(g, 6, {2, 3, 6, 7, 10, 11, 14, 15});
    Mark(g, 9, {2, 3, 6, 7, 10, 11, 14, 15});
    Mark(g, 11, {2, 3, 6, 7, 10, 11, 14, 15});
  }
  FillContinuedSteps(r);
}

// S0 r6: 2,6,10,14; r9: 2,6,10,14; r11: 2,6,10,14
void LightPopsSubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 6, {2, 6, 10, 14});
    Mark(g, 9, {2, 6, 10, 14});
    Mark(g, 11, {2, 6, 10, 14});
  }
  FillContinuedSteps(r);
}

// S0 r2: 0,10,14; r4: 0,10,14; r6: 0,10,14; c: 1,11,15
void NinetiesPopsSubHarmonyGrid(StyleRecord& r) {
  {
    CustomGrid& g = r.custom_grids[0].grid[kGridSubHarmony];  // S0
    Mark(g, 2, {0, 10, 14});
    Mark(g, 4, {0, 10, 14});
    Mark(g, 6, {0, 10, 14});
    Continue(g, {1, 11, 15});
  }
  FillContinuedSteps(r);
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
