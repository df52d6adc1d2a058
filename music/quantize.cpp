// The track's grid and timing passes: quantizing starts and durations, division
// changes, shuffle and triplet placement.
#include "music/quantize.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "music/midi_track.h"

// ---- arithmetic ----

int32_t QuantizeRoundDelta(int32_t delta, int32_t grid, int32_t half, int64_t walking_tick,
                           int32_t division, int32_t* carry) {
  const int32_t r = delta % grid;
  if (r == 0) {
    *carry = 0;
    return delta;
  }
  const int32_t half_beat_length = division / 2;
  const int64_t half_beat = half_beat_length > 0 ? walking_tick / half_beat_length : 0;
  const bool down = (half_beat % 2 == 0) ? (r < half) : (r <= half);
  if (down) {
    *carry = r;
    return delta - r;
  }
  *carry = r - grid;
  return delta - r + grid;
}

int32_t RoundDurationToGrid(int32_t duration, int32_t grid) {
  const int32_t r = duration % grid;
  if (r == 0) return duration;
  return grid * (duration / grid) + (r >= grid / 2 ? grid : 0);
}

int32_t RescaleDelta(int32_t delta, int32_t old_division, int32_t new_division,
                     int32_t* carry) {
  // A delay is never negative, and one longer than 32 bits can hold is held at
  // the longest (what is past it cannot be carried either).
  const int64_t sum = std::max<int64_t>(0, static_cast<int64_t>(delta) + *carry);
  const int64_t scaled = static_cast<int64_t>(new_division) * sum / old_division;
  if (scaled > INT32_MAX) {
    *carry = 0;
    return INT32_MAX;
  }
  *carry = static_cast<int32_t>(sum - scaled * old_division / new_division);
  return static_cast<int32_t>(scaled);
}

namespace {

bool IsNote(const MidiEvent* e) { return e->status == kStatusNote; }

int64_t TrackLength(const MidiTrack& track) {
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) at += track.events[i]->delta;
  return at;
}

// Grids of 0 ticks (a step count above the division, a division or window of 0)
// would divide by zero; such calls are reported and change nothing.
bool GridUsable(int32_t grid) {
  if (grid > 0) return true;
  MidiTrack::ErrorMsg(kTimingBadValue);
  return false;
}

bool InNoteMode(const MidiTrack& track) {
  if (track.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}

}  // namespace

// ---- quantizing starts ----

void MidiTrack::Quantize(int32_t steps, int32_t division, int32_t from, int32_t to) {
  QuantizeTwoGrids(steps, steps, division, from, to);
}

void MidiTrack::QuantizeTwoGrids(int32_t steps1, int32_t steps2, int32_t division,
                                 int32_t from, int32_t to) {
  if (mode != kTrackEvents && mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (steps1 <= 0 || steps2 <= 0 || division <= 0) {
    ErrorMsg(kTimingBadValue);
    return;
  }
  const int32_t grid1 = division / steps1;
  const int32_t grid2 = division / steps2;
  if (!GridUsable(grid1) || !GridUsable(grid2)) return;
  const int32_t half1 = division / (2 * steps1);
  const int32_t half2 = division / (2 * steps2);
  if (from < 0) from = 0;
  if (from % grid1 != 0 || from % grid2 != 0) ErrorMsg(0);
  const int64_t end = to == 0 ? INT64_MAX : to;
  if (from > 0 && from >= TrackLength(*this)) return;  // nothing stands in the range

  // An empty event at the start of the range, so that the range starts on an event.
  MidiEvent* marker = nullptr;
  if (from != 0) {
    marker = new MidiEvent(0);
    marker->status = kStatusDeleted;
    InsertEventAtTime(from, marker, 2);
  }

  int64_t walking = 0;
  int32_t carry = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    walking += e->delta;
    if (walking < from || walking >= end) {
      e->delta += carry;
      carry = 0;
      continue;
    }
    if (e == marker) continue;
    carry += e->delta;
    if (carry < 0) {
      e->delta = 0;
      continue;
    }
    const int32_t delta = carry;
    const int32_t r1 = delta % grid1;
    const int32_t r2 = delta % grid2;
    if (r1 == 0 || r2 == 0) {
      e->delta = delta;
      carry = 0;
    } else if (r2 > r1) {
      e->delta = QuantizeRoundDelta(delta, grid2, half2, walking, division, &carry);
    } else {
      e->delta = QuantizeRoundDelta(delta, grid1, half1, walking, division, &carry);
    }
  }
  FixOverlappingNotes(1);
  Compact();
}

namespace {

// Moves event i later by `amount`, taking the amount from the deltas of the
// events after it (never from the last event) so that they keep their ticks
// unless it passes them.
void ShiftLater(MidiTrack& track, int32_t i, int32_t amount) {
  track.events[i]->delta += amount;
  for (int32_t j = i + 1; j < track.event_count - 1 && amount > 0; ++j) {
    const int32_t take = std::min(amount, track.events[j]->delta);
    track.events[j]->delta -= take;
    amount -= take;
  }
}

void QuantizeEventsBetween(MidiTrack& track, int64_t from, int64_t to, int32_t grid) {
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    at += e->delta;
    if (at < from || at > to) continue;
    const int32_t r = static_cast<int32_t>(at % grid);
    if (r == 0) continue;
    if (r < grid / 2) {
      e->delta -= r;
      if (i + 1 < track.event_count) track.events[i + 1]->delta += r;
      at -= r;
    } else {
      ShiftLater(track, i, grid - r);
      at += grid - r;
    }
  }
}

}  // namespace

void MidiTrack::QuantizeAll(int32_t grid) {
  if (!GridUsable(grid)) return;
  QuantizeEventsBetween(*this, 0, INT64_MAX, grid);
}

void MidiTrack::QuantizeRange(int32_t from, int32_t to, int32_t grid) {
  if (!GridUsable(grid)) return;
  QuantizeEventsBetween(*this, from, to, grid);
}

// ---- durations ----

void MidiTrack::QuantizeDurations(int32_t grid) {
  if (!InNoteMode(*this) || !GridUsable(grid)) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNote(e)) e->duration = RoundDurationToGrid(e->duration, grid);
  }
}

void MidiTrack::QuantizeDurationsEx(int32_t grid, int32_t rule) {
  if (!InNoteMode(*this) || !GridUsable(grid)) return;
  if (rule != 1 && rule != 2) {
    ErrorMsg(kTimingEditRule);
    return;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNote(e)) continue;
    int32_t d = rule == 1 ? grid * (e->duration / grid) : RoundDurationToGrid(e->duration, grid);
    e->duration = d == 0 ? 1 : d;
  }
}

int32_t MidiTrack::QuantizeDurationsBetween(int32_t from, int32_t to, int32_t grid,
                                            int32_t rule) {
  if (!InNoteMode(*this) || !GridUsable(grid)) return 0;
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    at += e->delta;
    if (!IsNote(e) || at < from || at > to) continue;
    if (rule == 3 && e->duration < grid) e->duration = grid;
    e->duration = RoundDurationToGrid(e->duration, grid);
  }
  return static_cast<int32_t>(at);
}

void MidiTrack::ScaleDurations(int32_t percent) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNote(e)) continue;
    const int64_t d = static_cast<int64_t>(percent) * e->duration / 100;
    e->duration = static_cast<int32_t>(std::clamp<int64_t>(d, 1, INT32_MAX));
  }
}

void MidiTrack::SetMinimumDuration(int32_t ticks) {
  if (!InNoteMode(*this)) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNote(e) && e->duration < ticks) e->duration = ticks;
  }
}

void MidiTrack::SetMinimumDuration60(int32_t channel) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNote(e) && (channel == -1 || e->channel == channel) && e->duration < 60) {
      e->duration = 60;
    }
  }
}

int32_t MidiTrack::SetDurationOfChannel(int32_t channel, int32_t ticks) {
  if (!InNoteMode(*this)) return 0;
  int32_t changed = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNote(e) && e->channel == channel && e->velocity > 0 && e->duration > 0) {
      e->duration = ticks;
      ++changed;
    }
  }
  return changed;
}

void MidiTrack::LimitDurationsToGap(int32_t gap) {
  if (!InNoteMode(*this)) return;
  const std::vector<int64_t> ticks = EventTicks();
  const int64_t length = ticks.empty() ? 0 : ticks.back();
  std::vector<int64_t> starts;  // note starts, rising (events are in time order)
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsNote(events[i])) starts.push_back(ticks[static_cast<size_t>(i)]);
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNote(e)) continue;
    const int64_t t = ticks[static_cast<size_t>(i)];
    // The next note that starts later; notes at the same tick do not count.
    const auto next = std::upper_bound(starts.begin(), starts.end(), t);
    const int64_t distance = (next != starts.end() ? *next : length) - t;
    if (distance - e->duration < gap) {
      e->duration = static_cast<int32_t>(std::max<int64_t>(distance - gap, 1));
    }
  }
}

// ---- division change ----

int MidiTrack::ConvertDivisionEx(int32_t old_division, int32_t new_division,
                                 int32_t zero_rule) {
  if (!InNoteMode(*this)) return 0;
  if (old_division <= 0 || new_division <= 0) {
    ErrorMsg(kTimingBadValue);
    return 0;
  }
  if (old_division == new_division) return 0;
  int result = 0;
  // Every event goes to its rescaled absolute tick (rounded down), so that no
  // rounding of one delay moves the events after it, whatever the ratio.
  __int128 old_tick = 0;
  __int128 new_before = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    old_tick += std::max<int32_t>(0, e->delta);
    const __int128 new_tick = old_tick * new_division / old_division;
    e->delta = static_cast<int32_t>(std::min<__int128>(new_tick - new_before, INT32_MAX));
    new_before = new_tick;
    if (!IsNote(e)) continue;
    const int64_t d = static_cast<int64_t>(new_division) * e->duration / old_division;
    if (d <= 0) {
      result = 1;
      if (zero_rule == 1) {
        e->MarkDeleted();
      } else {
        e->duration = 1;
      }
    } else {
      e->duration = static_cast<int32_t>(std::min<int64_t>(d, INT32_MAX));
    }
  }
  Compact();
  return result;
}

// ---- shuffle and triplets ----

int32_t MidiTrack::MoveEventTime(int32_t index, int32_t tick, int32_t from_offset,
                                 int32_t to_offset) {
  if (index < 0 || index >= event_count) {
    ErrorMsg(kMdtkInternal);
    return tick;
  }
  const int32_t diff = to_offset - from_offset;
  if (diff > 0) {
    events[index]->delta += diff;
    int32_t left = diff;
    for (int32_t j = index + 1; j < event_count && left > 0; ++j) {
      const int32_t take = std::min(left, events[j]->delta);
      events[j]->delta -= take;
      left -= take;
    }
  } else if (diff < 0) {
    int32_t left = -diff;
    int32_t taken = 0;
    for (int32_t j = index; j >= 0 && left > 0; --j) {
      const int32_t take = std::min(left, events[j]->delta);
      events[j]->delta -= take;
      left -= take;
      taken += take;
    }
    if (index + 1 < event_count) events[index + 1]->delta += taken;
  }
  return tick + diff;
}

namespace {

// Indexes and ticks of the notes that start in [start, end).
struct WindowNotes {
  std::vector<int32_t> index;
  std::vector<int64_t> tick;
};

WindowNotes NotesBetween(const MidiTrack& track, int64_t start, int64_t end) {
  WindowNotes notes;
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    at += track.events[i]->delta;
    if (at >= end) break;
    if (at >= start && IsNote(track.events[i])) {
      notes.index.push_back(i);
      notes.tick.push_back(at);
    }
  }
  return notes;
}

// Moves the k-th note of the window (counted afresh, as earlier moves may have
// moved it) to the offset within its window.
void PlaceNth(MidiTrack& track, int64_t start, int64_t end, int32_t window, size_t k,
              int32_t to_offset) {
  WindowNotes notes = NotesBetween(track, start, end);
  if (k >= notes.index.size()) return;
  const int64_t tick = notes.tick[k];
  const int32_t offset = static_cast<int32_t>(tick % window);
  track.MoveEventTime(notes.index[k], static_cast<int32_t>(tick), offset, to_offset);
}

template <typename Place>
void WalkWindows(MidiTrack& track, int32_t window, Place place) {
  int64_t window_end = 0;  // the first window lies before tick 0
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    at += track.events[i]->delta;
    if (at < window_end) continue;
    // The window moves on to the one this event stands in.
    const int64_t start = (at / window) * window;
    window_end = start + window;
    const int32_t count = track.CountNotesBetween(static_cast<int32_t>(start),
                                                  static_cast<int32_t>(window_end));
    if (count > 0) {
      place(start, window_end, count);
      // Placing moved events: count the walking tick afresh.
      at = track.GetEventTime(i);
    }
  }
}

}  // namespace

void MidiTrack::ConvertToShuffle(int32_t window) {
  if (!InNoteMode(*this) || !GridUsable(window)) return;
  WalkWindows(*this, window, [&](int64_t start, int64_t end, int32_t count) {
    const int32_t s = static_cast<int32_t>(start);
    const int32_t e = static_cast<int32_t>(end);
    if (count == 1) {
      PlaceOneNote(s, e, window);
    } else {
      PlaceTwoNotes(s, e, window);
    }
  });
}

void MidiTrack::ConvertToTriplets(int32_t window) {
  if (!InNoteMode(*this) || !GridUsable(window)) return;
  WalkWindows(*this, window, [&](int64_t start, int64_t end, int32_t count) {
    const int32_t s = static_cast<int32_t>(start);
    const int32_t e = static_cast<int32_t>(end);
    if (count == 1) {
      PlaceOneNote(s, e, window);
    } else if (count == 2) {
      PlaceTwoNotes(s, e, window);
    } else if (count == 3) {
      PlaceThreeNotes(s, e, window);
    } else {
      PlaceManyNotes(s, e, window, count);
    }
  });
}

void MidiTrack::PlaceOneNote(int32_t start, int32_t end, int32_t window) {
  if (!GridUsable(window)) return;
  const size_t count = NotesBetween(*this, start, end).index.size();
  for (size_t k = 0; k < count; ++k) {
    WindowNotes notes = NotesBetween(*this, start, end);
    if (k >= notes.index.size()) break;
    const int32_t offset = static_cast<int32_t>(notes.tick[k] % window);
    PlaceNth(*this, start, end, window, k, offset < window / 2 ? 0 : (window / 3) * 2);
  }
}

void MidiTrack::PlaceTwoNotes(int32_t start, int32_t end, int32_t window) {
  if (!GridUsable(window)) return;
  const int32_t first = GetFirstNoteTimeBetween(start, end);
  const int32_t last = GetLastNoteStartBetween(start, end);
  const bool late = (last % window) < window / 2;
  const bool first_early = (first % window) < window / 2;
  PlaceNth(*this, start, end, window, 0, (first_early || late) ? 0 : window / 3);
  PlaceNth(*this, start, end, window, 1, late ? window / 3 : (window / 3) * 2);
}

void MidiTrack::PlaceThreeNotes(int32_t start, int32_t end, int32_t window) {
  if (!GridUsable(window)) return;
  PlaceNth(*this, start, end, window, 0, 0);
  PlaceNth(*this, start, end, window, 1, window / 3);
  PlaceNth(*this, start, end, window, 2, (window / 3) * 2);
}

void MidiTrack::PlaceManyNotes(int32_t start, int32_t end, int32_t window, int32_t count) {
  if (!GridUsable(window)) return;
  if (count > 64) {
    ErrorMsg(kMdtkAddFailed);
    return;
  }
  const int32_t d = count > 0 ? (count - 1) / 3 + 1 : 0;
  if (d == 0) {
    ErrorMsg(kTimingEditFailed);
    return;
  }
  // The notes are picked before any moves, as moving one may carry others along.
  const WindowNotes notes = NotesBetween(*this, start, end);
  std::vector<MidiEvent*> picked;
  for (int32_t i : notes.index) picked.push_back(events[i]);
  for (size_t k = 0; k < picked.size(); ++k) {
    int32_t index = -1;
    for (int32_t i = 0; i < event_count; ++i) {
      if (events[i] == picked[k]) {
        index = i;
        break;
      }
    }
    if (index < 0) continue;
    const int32_t tick = GetEventTime(index);
    const int32_t offset = tick - start;
    MoveEventTime(index, tick, offset, static_cast<int32_t>(k) * (window / d));
  }
}
