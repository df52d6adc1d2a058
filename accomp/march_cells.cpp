#include "accomp/march_cells.h"

#include "util/gne.h"

namespace {

// The degree after a sounding previous one, or 0 to draw a fresh degree.
int FollowingDegree(int previous, int d, int p) {
  switch (previous) {
    case 2:
      return d < 50 ? 3 : 1;
    case 4:
      return d > 49 ? 5 : 3;
    case 6:
      return d < 50 && p < 7 ? 7 : 5;
    case 7:
      return d < 50 && p < 7 ? 6 : 8;
    default:
      return d <= 14 ? previous : 0;
  }
}

int FreshDegree(int d, int p) {
  if (d < 30) return 1;
  if (d < 45) return 3;
  if (d < 60) return 5;
  if (d < 65) return 2;
  if (p < 7) {
    if (d < 70) return 4;
    if (d < 80) return 6;
    if (d < 90) return 7;
  }
  return d < 95 ? 8 : 0;
}

// The last sounding cell of a half ends on a triad tone.
void EndHalfOnChordTone(int32_t* half) {
  for (int k = kMarchCellCount / 2 - 1; k >= 0; --k) {
    if (half[k] == 0) continue;
    if (half[k] != 1 && half[k] != 3 && half[k] != 5) half[k] = 1;
    return;
  }
}

}  // namespace

void MakeMarchRhythm(int32_t* cells, int rest_rate) {
  static const int kForced[] = {1, 3, 5};
  int forced = 0;
  if (rest_rate >= 40 && GneRandomRange(1, 2) == 1) forced = kForced[GneRandomRange(1, 3) - 1];

  for (int k = 0; k < kMarchCellCount; ++k) cells[k] = 0;
  for (int k = 0; k < kMarchCellCount; ++k) {
    const int p = k % 8;
    const int rest_chance = (p == 0 || p == 5 || p == 7) ? 80 : rest_rate;
    if (GneRandomRange(0, 100) < rest_chance) continue;
    const int d = GneRandomRange(0, 100);
    int degree = 0;
    if (k > 0 && cells[k - 1] != 0) degree = FollowingDegree(cells[k - 1], d, p);
    if (degree == 0) degree = FreshDegree(d, p);
    if (degree != 0 && forced != 0) degree = forced;
    cells[k] = degree;
  }
  EndHalfOnChordTone(cells);
  EndHalfOnChordTone(cells + kMarchCellCount / 2);
}
