// Time-range edits of a track: deleting by time, removing a span of time so that
// later events move earlier, keeping a window, and cutting notes at a tick.
#include <algorithm>
#include <vector>

#include "music/midi_track.h"

namespace {

// Sets the deltas of the kept events from their new absolute ticks and removes the
// deleted ones.
void Retime(MidiTrack& track, const std::vector<int64_t>& ticks) {
  int64_t previous = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent& e = *track.events[i];
    if (e.status == kStatusDeleted) {
      e.delta = 0;
      continue;
    }
    const int64_t t = ticks[static_cast<size_t>(i)];
    if (t < previous) MidiTrack::ErrorMsg(kMdtkBadTiming);
    e.delta = SaturatedDelta(std::max<int64_t>(0, t - previous));
    previous = std::max(previous, t);
  }
  track.Compact();
}

template <typename Pred>
void DeleteWhere(MidiTrack& track, Pred pred) {
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent& e = *track.events[i];
    tick += e.delta;
    if (!IsEndOfTrack(&e) && pred(e, tick)) e.MarkDeleted();
  }
  track.Compact();
}

// Note mode (else the general error): fn(note, tick) for every note.
template <typename Fn>
void ForEachNoteInMode2(MidiTrack& track, Fn fn) {
  if (track.mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return;
  }
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent& e = *track.events[i];
    tick += e.delta;
    if (e.status == kStatusNote) fn(e, tick);
  }
}

}  // namespace

void MidiTrack::DeleteRange(int32_t from, int32_t to) {
  if (from < 0) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  DeleteWhere(*this, [&](const MidiEvent&, int64_t t) { return t >= from && t <= to; });
}

void MidiTrack::DeleteRangeExceptNotes(int32_t from, int32_t to) {
  if (from < 0) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  DeleteWhere(*this, [&](const MidiEvent& e, int64_t t) {
    return t >= from && t < to && e.status != kStatusNote;
  });
}

void MidiTrack::DeleteStatusBetween(int32_t from, int32_t to, uint32_t status_value) {
  if (from < 0) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  DeleteWhere(*this, [&](const MidiEvent& e, int64_t t) {
    return t >= from && t < to && e.status == status_value;
  });
}

void MidiTrack::DeleteStatusAfter(int32_t tick, uint32_t status_value) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  DeleteWhere(*this, [&](const MidiEvent& e, int64_t t) { return t > tick && e.status == status_value; });
}

int MidiTrack::DeleteStatusAt(int32_t tick, uint32_t status_value) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  int any = 0;
  DeleteWhere(*this, [&](const MidiEvent& e, int64_t t) {
    const bool hit = t == tick && e.status == status_value;
    any |= hit ? 1 : 0;
    return hit;
  });
  return any;
}

int MidiTrack::DeletePitchBendsBetween(int32_t from, int32_t to) {
  int any = 0;
  DeleteWhere(*this, [&](const MidiEvent& e, int64_t t) {
    const bool hit = t >= from && t < to && e.status == kStatusPitchBend;
    any |= hit ? 1 : 0;
    return hit;
  });
  return any;
}

void MidiTrack::CutRange(int32_t from, int32_t to) {
  if (from < 0 || (mode != kTrackEvents && mode != kTrackNotes)) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  if (to <= from) return;
  const bool events_mode = mode == kTrackEvents;
  if (events_mode) ToNoteMode();
  const int64_t span = int64_t{to} - from;
  std::vector<int64_t> ticks(static_cast<size_t>(event_count));
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    tick += e.delta;
    int64_t moved = tick;
    if (tick >= from && tick < to) {
      moved = from;
      if (e.status == kStatusNote || e.status == kStatusPitchBend) e.MarkDeleted();
    } else if (tick >= to) {
      moved = tick - span;
    }
    ticks[static_cast<size_t>(i)] = moved;
  }
  Retime(*this, ticks);
  if (events_mode) ToEventMode();
}

void MidiTrack::RemoveTimeSpan(int32_t from, int32_t to, int delete_notes, int strict,
                               int at_start) {
  const int64_t span = int64_t{to} - from;
  int64_t removed = 0;
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    tick += e.delta;  // as the ticks stood before
    if (tick > from && removed < span) {
      removed += e.delta;
      e.delta = 0;
      if (removed > span) {
        e.delta = SaturatedDelta(removed - span);
        removed = span;
      } else if (delete_notes == 1 && e.status == kStatusNote && !IsEndOfTrack(&e)) {
        if (!(removed == span && strict == 0)) e.MarkDeleted();
      }
    } else if (tick == from && delete_notes == 1 && at_start == 1 && e.status == kStatusNote) {
      e.MarkDeleted();
    }
  }
  if (delete_notes == 1) Compact();
}

void MidiTrack::Crop(int32_t from, int32_t to) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const int32_t length = GetLength();
  if (to < length) RemoveTimeSpan(to, length, 1, 1, 1);
  RemoveTimeSpan(0, from, 1, 0, 1);
}

void MidiTrack::CutNotesAt(int32_t tick) {
  ForEachNoteInMode2(*this, [&](MidiEvent& e, int64_t t) {
    if (t > tick || t + e.duration <= tick) return;
    if (t == tick) {
      e.MarkDeleted();
    } else {
      e.duration = static_cast<int32_t>(tick - t);
    }
  });
  Compact();
}

void MidiTrack::EndNotesBefore(int32_t tick) {
  ForEachNoteInMode2(*this, [&](MidiEvent& e, int64_t t) {
    if (t > tick) {
      e.duration = 1;
      return;
    }
    if (t + e.duration > tick) e.duration = static_cast<int32_t>(tick - t);
    if (t + e.duration == tick) e.duration = std::max(1, e.duration - 1);
  });
}

void MidiTrack::TruncateFrom(int32_t tick) {
  int64_t t = 0;
  bool cutting = false;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    t += e.delta;
    if (!cutting && t >= tick) cutting = true;
    if (!cutting) continue;
    if (IsEndOfTrack(&e)) {
      e.delta = 0;
    } else {
      e.MarkDeleted();
      e.delta = 0;  // the track ends at its last event before the tick
    }
  }
  Compact();
}

void MidiTrack::TruncateAt(int32_t tick) {
  int64_t t = 0;
  int64_t previous = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    t += e.delta;
    if (t >= tick) {
      e.delta = SaturatedDelta(tick - previous);
      for (int32_t j = i + 1; j < event_count; ++j) events[j]->MarkDeleted();
      break;
    }
    previous = t;
  }
  Compact();
}

void MidiTrack::ExcerptInPlace(int32_t from, int32_t to) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (from < 0 || to <= from) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  const int64_t length = int64_t{to} - from;
  // The window moves to tick 0; what lies outside goes, and so do notes that would
  // start at its very end (they would keep no length). End of Track is made anew.
  std::vector<int64_t> ticks = EventTicks();
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    const int64_t t = ticks[static_cast<size_t>(i)] - from;
    ticks[static_cast<size_t>(i)] = t;
    if (IsEndOfTrack(&e) || t < 0 || t > length || (t == length && e.status == kStatusNote)) {
      e.MarkDeleted();
    }
  }
  Retime(*this, ticks);
  const std::vector<int64_t> kept = EventTicks();
  AddEndOfTrackAt(SaturatedDelta(length - (kept.empty() ? 0 : kept.back())));
  // Notes that outlast the window end with it.
  ToEventMode();
  ticks = EventTicks();
  for (int64_t& t : ticks) t = std::min(t, length);
  if (event_count > 0) ticks.back() = length;
  Retime(*this, ticks);
  ToNoteMode();
}

void MidiTrack::ShiftFirstEventInRange(int32_t from, int32_t to, int32_t ticks) {
  int64_t t = 0;
  int32_t first = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (t >= from && t < to) {
      first = i;
      break;
    }
  }
  if (first < 0) return;
  if (ticks >= 0) {
    events[first]->delta = SaturatedDelta(int64_t{events[first]->delta} + ticks);
    return;
  }
  // Earlier: from its own delta, then the deltas before it, nearest first, then
  // those after it, each down to 0.
  int64_t rest = -int64_t{ticks};
  auto take = [&rest](MidiEvent& e) {
    const int64_t part = std::min<int64_t>(rest, std::max(0, e.delta));
    e.delta = static_cast<int32_t>(e.delta - part);
    rest -= part;
  };
  take(*events[first]);
  for (int32_t i = first - 1; i >= 0 && rest > 0; --i) take(*events[i]);
  for (int32_t i = first + 1; i < event_count && rest > 0; ++i) take(*events[i]);
}
