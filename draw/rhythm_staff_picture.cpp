#include "draw/staff_picture.h"

#include "draw/staff_state.h"

#include <algorithm>
#include <climits>

using staff_detail::Row;

namespace {

staff_detail::State& St() { return staff_detail::Get(); }

struct DrumEntry {
  int key;
  int pitch;
  int type;
};

constexpr DrumEntry kDrums[] = {
    {35, 45, 19}, {36, 45, 19}, {37, 53, 19}, {38, 52, 19}, {39, 53, 19}, {40, 52, 19},
    {41, 48, 19}, {42, 59, 18}, {43, 48, 19}, {44, 59, 18}, {45, 50, 19}, {46, 59, 18},
    {47, 50, 19}, {48, 53, 19}, {49, 62, 18}, {50, 53, 19}, {51, 60, 18}, {52, 60, 18},
    {53, 65, 19}, {54, 65, 19}, {55, 62, 18}, {56, 57, 19}, {57, 62, 18}, {58, 67, 19},
    {59, 60, 18}, {60, 71, 19}, {61, 69, 19}, {62, 67, 19}, {63, 65, 19}, {64, 64, 19},
    {65, 77, 19}, {66, 76, 19}, {67, 81, 19}, {68, 79, 19}, {69, 67, 19}, {70, 69, 19},
    {71, 74, 19}, {72, 74, 19}, {73, 76, 19}, {74, 76, 19}, {75, 71, 19}, {76, 74, 19},
    {77, 72, 19}, {78, 77, 19}, {79, 77, 19}, {80, 79, 19}, {81, 79, 19},
};

bool IsEighthType(int type) { return type == 3 || type == 4 || type == 5; }

// start + offset, held within the int range.
int Later(int start, int offset) {
  const long long t = static_cast<long long>(start) + offset;
  return static_cast<int>(std::clamp<long long>(t, INT_MIN, INT_MAX));
}

}  // namespace

CRhythmStaffPicture::CRhythmStaffPicture(COffScreenControl* control, const Rect& rect, int low,
                                         int high, StaffClickCallback click, int ticksPerRow,
                                         int ticksPerQuarter,
                                         StaffDoubleClickCallback doubleClick) {
  ConstructLong(control, rect, low, high, std::move(click), ticksPerRow, std::move(doubleClick));
  // A quarter needs at least four ticks (a sixteenth is a quarter / 4).
  St().ticksPerQuarter = std::max(ticksPerQuarter, 4);
  for (Row& r : St().rows) r.queue.clear();
}

CRhythmStaffPicture::~CRhythmStaffPicture() = default;

int CRhythmStaffPicture::TicksPerQuarter() const { return St().ticksPerQuarter; }

int CRhythmStaffPicture::QueueCount(int row) const {
  return ValidRow(row) ? static_cast<int>(St().rows[row].queue.size()) : 0;
}

bool CRhythmStaffPicture::QueueEvent(int row, int pitch, int start, plat::ColorRef colour,
                                     int type, int tie) {
  if (!ValidRow(row)) {
    error();
    return false;
  }
  Row& r = St().rows[row];
  if (static_cast<int>(r.queue.size()) >= kMaxQueue) {
    error();
    return false;
  }
  r.queue.push_back(StaffNote{pitch, start, colour, type, tie});
  return true;
}

bool CRhythmStaffPicture::QueueNote(int row, int pitch, int start, plat::ColorRef colour,
                                    int type, int tie) {
  if (type != kNoteHalfAndEighth) return QueueEvent(row, pitch, start, colour, type, tie);
  const int tpq = St().ticksPerQuarter;
  const int half = tpq / 2;
  if ((start / half) % 2 == 1) {
    return QueueEvent(row, pitch, start, colour, kNoteEighth, 1) &&
           QueueEvent(row, pitch, Later(start, half), colour, kNoteHalf, tie);
  }
  return QueueEvent(row, pitch, start, colour, kNoteHalf, 1) &&
         QueueEvent(row, pitch, Later(start, 2 * tpq), colour, kNoteEighth, tie);
}

bool CRhythmStaffPicture::QueueDrumEvent(int row, int key, int start, plat::ColorRef colour) {
  for (const DrumEntry& d : kDrums) {
    if (d.key == key) return QueueEvent(row, d.pitch, start, colour, d.type, 0);
  }
  // Keys outside the table stand on middle C as a plain drum head.
  return QueueEvent(row, 60, start, colour, kNoteDrumFilled, 0);
}

void CRhythmStaffPicture::FlushRow(int row) {
  if (!ValidRow(row)) return;
  Row& r = St().rows[row];
  const int half = St().ticksPerQuarter / 2;
  std::vector<StaffNote> queue = r.queue;
  r.queue.clear();
  const int n = static_cast<int>(queue.size());
  for (int i = 0; i < n; ++i) {
    StaffNote& e = queue[i];
    if (e.type == kNoteEighth && e.pitch >= 0) {
      const bool evenHalf = (e.start / half) % 2 == 0;
      if (evenHalf) {
        int j = i + 1;
        while (j < n && queue[j].start == e.start) ++j;
        if (j < n && queue[j].start == Later(e.start, half) && IsEighthType(queue[j].type) &&
            queue[j].pitch >= 0) {
          e.type = kNoteEighthPairFirst;
        }
      } else {
        int j = i - 1;
        while (j >= 0 && queue[j].start == e.start) --j;
        const int earlier = Later(e.start, -half);
        while (j >= 0 && queue[j].type == kNoteContinuation && queue[j].start == earlier) --j;
        if (j >= 0 && queue[j].start == earlier && IsEighthType(queue[j].type) &&
            queue[j].pitch >= 0) {
          e.type = kNoteEighthPairSecond;
        }
      }
    }
    AddNote(row, e.pitch, e.start, e.colour, e.type, e.tie);
  }
  DrawRow(row);
}

void CRhythmStaffPicture::FlushAll() {
  for (int i = 0; i < St().count; ++i) FlushRow(i);
}

void CRhythmStaffPicture::FillRests(int row, int beats) {
  if (!ValidRow(row)) return;
  const int u = St().ticksPerQuarter / 4;
  // A row holds at most 16 sixteenths: 1 to 4 beats.
  beats = std::clamp(beats, 1, 4);
  const int N = 4 * beats;
  bool occupied[16] = {};
  int previousLength = 1;
  for (const StaffNote& n : St().rows[row].notes) {
    int length;
    switch (n.type) {
      case 0: case 1: case 2: length = 1; break;
      case 3: case 4: case 5: length = 2; break;
      case 6: length = 3; break;
      case 9: length = 4; break;
      case 10: length = 6; break;
      case 11: length = 8; break;
      case 12: length = 10; break;
      case 13: length = 12; break;
      case 14: length = 14; break;
      case 15: length = 16; break;
      case 18: case 19: length = 2; break;
      default: length = previousLength; break;
    }
    previousLength = length;
    const int slot = n.start / u;
    if (slot < 0 || slot >= 16) continue;
    for (int k = slot; k < std::min(slot + length, 16); ++k) occupied[k] = true;
  }
  auto freeRun = [&](int from, int length) {
    if (from + length > N) return false;
    for (int k = from; k < from + length; ++k) {
      if (occupied[k]) return false;
    }
    return true;
  };
  for (int d = 0; d < N; ++d) {
    if (d % 8 == 0 && !occupied[d]) {
      if (freeRun(d, 16) && d + 15 < N) {
        AddNote(row, -1, (d + 8) * u, 0, kNoteWhole, 0);
        d += 15;
        continue;
      }
      if (freeRun(d, 8) && d + 7 < N) {
        AddNote(row, -1, (d + 4) * u, 0, kNoteHalf, 0);
        d += 7;
        continue;
      }
    }
    if (d % 4 == 0 && freeRun(d, 4) && d + 3 < N) {
      AddNote(row, -1, (d + 2) * u, 0, kNoteQuarter, 0);
      d += 3;
      continue;
    }
    if (d % 2 == 0) {
      if (occupied[d]) continue;
      if (d + 1 < N && !occupied[d + 1]) {
        AddNote(row, -1, d * u, 0, kNoteEighth, 0);
        d += 1;
        continue;
      }
    }
    if (!occupied[d]) AddNote(row, -1, d * u, 0, kNoteSixteenth, 0);
  }
}
