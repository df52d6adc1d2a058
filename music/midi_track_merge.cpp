// Merging note-mode tracks into one by time, and appending one track behind another.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_track.h"

namespace {

// One event of a merge source with the delta it still has to wait.
struct Pending {
  const MidiEvent* event;
  int64_t delta;
};

// Collects the output of a merge and keeps one End of Track, at the end: an End of
// Track in the middle is dropped and its delta carried to the next event.
class MergeOutput {
 public:
  explicit MergeOutput(size_t room) { events_.reserve(room + 1); }
  // Takes the event (owned from now on) with the delta.
  void Add(MidiEvent* event, int64_t delta) {
    delta += carry_;
    carry_ = 0;
    // Merge sources hold no null events (only the name event may be absent, and then no
    // source event equals it).
    // NOLINTNEXTLINE(clang-analyzer-core.NullDereference)
    if (IsEndOfTrack(event) || event->status == kStatusDeleted) {
      carry_ = delta;
      delete event;
      return;
    }
    event->delta = SaturatedDelta(delta);
    events_.push_back(event);
  }
  void AddCopy(const MidiEvent& event, int64_t delta) { Add(new MidiEvent(event), delta); }
  // The events, closed with End of Track.
  std::vector<MidiEvent*>& Finish() {
    auto* end = new MidiEvent(SaturatedDelta(carry_));
    end->status = kStatusMeta;
    end->number = 0x2F;
    events_.push_back(end);
    carry_ = 0;
    return events_;
  }

 private:
  std::vector<MidiEvent*> events_;
  int64_t carry_ = 0;
};

// Merges two delta lists by time: each step emits the earlier event and takes its
// delta from the other list's current event; at equal times the second list's event
// comes first when `ties_to_second`, else the first list's. A list that runs out
// leaves the rest of the other as it is.
template <typename EmitA, typename EmitB>
void MergeTwoLists(std::vector<Pending>& a_list, std::vector<Pending>& b_list, bool ties_to_second,
                   EmitA emit_a, EmitB emit_b) {
  size_t a = 0;
  size_t b = 0;
  while (a < a_list.size() && b < b_list.size()) {
    const int64_t d = a_list[a].delta;
    const int64_t e = b_list[b].delta;
    const bool second = ties_to_second ? d >= e : d > e;
    if (second) {
      emit_b(b_list[b]);
      a_list[a].delta = d - e;
      ++b;
    } else {
      emit_a(a_list[a]);
      b_list[b].delta = e - d;
      ++a;
    }
  }
  for (; a < a_list.size(); ++a) emit_a(a_list[a]);
  for (; b < b_list.size(); ++b) emit_b(b_list[b]);
}

}  // namespace

int AnyTrackHasEventsLeft(int32_t count, const MidiTrack* const* tracks,
                          const int32_t* positions) {
  for (int32_t t = 0; t < count; ++t) {
    if (positions[t] < tracks[t]->event_count) return 1;
  }
  return 0;
}

int32_t OnlyTrackWithEventsLeft(int32_t count, const MidiTrack* const* tracks,
                                const int32_t* positions) {
  int32_t only = -1;
  for (int32_t t = 0; t < count; ++t) {
    if (positions[t] >= tracks[t]->event_count) continue;
    if (only >= 0) return -1;
    only = t;
  }
  return only;
}

int32_t MinimumCurrentDelta(int32_t count, const MidiTrack* const* tracks,
                            const int32_t* positions, int32_t* tie_count, int32_t* ties) {
  int32_t minimum = -1;
  int32_t n = 0;
  for (int32_t t = 0; t < count; ++t) {
    if (positions[t] >= tracks[t]->event_count) continue;
    const int32_t delta = tracks[t]->events[positions[t]]->delta;
    if (n == 0 || delta < minimum) {
      minimum = delta;
      n = 0;
    }
    if (delta == minimum) ties[n++] = t;
  }
  *tie_count = n;
  return minimum;
}

void MidiTrack::MergeTracks(int32_t count, const MidiTrack* const* tracks) {
  if (count <= 0 || count > kMaxMergeTracks || tracks == nullptr) {
    ErrorMsg(kMdtkBadTrack);
    return;
  }
  // Every source is checked before this track loses its events.
  size_t total = 0;
  for (int32_t t = 0; t < count; ++t) {
    if (tracks[t] == nullptr || tracks[t]->mode != kTrackNotes) {
      ErrorMsg(kMdtkInternal);
      return;
    }
    total += static_cast<size_t>(tracks[t]->event_count);
  }
  // The merge works on copies (a source may be this track itself), whose deltas it
  // counts down and whose events it then hands on to this track. The copies never
  // become chunks, so they need no buffer of their own.
  std::vector<std::unique_ptr<MidiTrack>> copies;
  copies.reserve(static_cast<size_t>(count));
  std::vector<const MidiTrack*> work(static_cast<size_t>(count));
  for (int32_t t = 0; t < count; ++t) {
    copies.push_back(std::make_unique<MidiTrack>(*tracks[t], 0));
    work[static_cast<size_t>(t)] = copies.back().get();
  }
  const MidiTrack* const* sources = work.data();
  std::vector<int32_t> positions(static_cast<size_t>(count), 0);
  std::vector<int32_t> ties(static_cast<size_t>(count), 0);
  MergeOutput out(total);
  // Round by round: the tracks whose current event comes first each give one event,
  // in track order; the first of them carries the time that passed, and the others'
  // current events wait that much less.
  while (AnyTrackHasEventsLeft(count, sources, positions.data())) {
    const int32_t only = OnlyTrackWithEventsLeft(count, sources, positions.data());
    if (only >= 0) {
      // The rest of the last track follows as it is.
      MidiTrack& rest = *copies[static_cast<size_t>(only)];
      for (int32_t& i = positions[static_cast<size_t>(only)]; i < rest.event_count; ++i) {
        out.Add(rest.events[i], rest.events[i]->delta);
        rest.events[i] = nullptr;
      }
      break;
    }
    int32_t tie_count = 0;
    const int32_t m = MinimumCurrentDelta(count, sources, positions.data(), &tie_count, ties.data());
    int32_t next_tie = 0;
    for (int32_t t = 0; t < count; ++t) {
      MidiTrack& copy = *copies[static_cast<size_t>(t)];
      int32_t& at = positions[static_cast<size_t>(t)];
      if (at >= copy.event_count) continue;
      if (next_tie < tie_count && ties[static_cast<size_t>(next_tie)] == t) {
        out.Add(copy.events[at], next_tie == 0 ? m : 0);
        copy.events[at] = nullptr;
        ++at;
        ++next_tie;
      } else {
        copy.events[at]->delta -= m;
      }
    }
  }
  // Every event has moved on; the copies go with empty lists.
  for (auto& copy : copies) copy->event_count = 0;
  std::vector<MidiEvent*>& merged = out.Finish();
  FreeAllEvents();
  ReserveEvents(static_cast<int32_t>(merged.size()));
  for (MidiEvent* e : merged) AppendUnchecked(e);
  mode = kTrackNotes;
}

void MidiTrack::MergeTrackEx(const MidiTrack& other, int join_names) {
  if (mode != kTrackNotes || other.mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const bool self = &other == this;
  // This track's own events are moved into the result (copies when merging with
  // itself); the other's are copied. Dropped events hand their delta on.
  std::vector<Pending> mine;
  std::vector<Pending> theirs;
  mine.reserve(static_cast<size_t>(event_count) + 1);
  theirs.reserve(static_cast<size_t>(other.event_count));
  const int32_t my_name = FindEventIndex(kStatusMeta, 3);
  const int32_t other_name = other.FindEventIndex(kStatusMeta, 3);
  int32_t drop_mine = -1;
  int32_t drop_theirs = -1;
  std::string joined;
  if (join_names) {
    const std::string first = my_name >= 0 ? MetaText(3) : std::string();
    const std::string second = other_name >= 0 ? other.MetaText(3) : std::string();
    joined = first.empty() ? second : first + " / " + second;
    if (joined.size() > 127) joined = "long name";
    drop_mine = my_name;
    drop_theirs = other_name;
  } else if (other.GetChannel() != kNoChannel) {
    drop_theirs = other_name;
  }
  auto collect = [](const MidiTrack& track, int32_t drop, std::vector<Pending>& list) {
    int64_t carry = 0;
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent* e = track.events[i];
      if (i == drop) {
        carry += e->delta;
        continue;
      }
      list.push_back({e, e->delta + carry});
      carry = 0;
    }
  };
  MidiEvent* name_event = nullptr;
  if (join_names && !joined.empty()) {
    name_event = new MidiEvent(0);
    name_event->status = kStatusMeta;
    name_event->number = 3;
    name_event->SetDataQuietly(joined.data(), static_cast<int32_t>(joined.size()));
    mine.push_back({name_event, 0});
  }
  collect(*this, drop_mine, mine);
  collect(other, drop_theirs, theirs);

  EventPool::Scope from_pool(pool_);
  MergeOutput out(mine.size() + theirs.size());
  // Events of this track are moved (not copied) unless it merges with itself; the
  // name event is always new.
  auto emit_mine = [&](const Pending& p) {
    if (p.event == name_event || !self) {
      out.Add(const_cast<MidiEvent*>(p.event), p.delta);
    } else {
      out.AddCopy(*p.event, p.delta);
    }
  };
  auto emit_theirs = [&](const Pending& p) { out.AddCopy(*p.event, p.delta); };
  // At equal ticks the other track's events come first.
  MergeTwoLists(mine, theirs, true, emit_mine, emit_theirs);
  std::vector<MidiEvent*>& merged = out.Finish();

  // This track's events now live in the result (or were copied): drop the old list.
  if (self) {
    FreeAllEvents();
  } else {
    // The moved events belong to the result; the dropped name event is freed.
    if (drop_mine >= 0) delete events[drop_mine];
    for (int32_t i = 0; i < event_count; ++i) events[i] = nullptr;
    event_count = 0;
  }
  ReserveEvents(static_cast<int32_t>(merged.size()));
  for (MidiEvent* e : merged) AppendUnchecked(e);
}

void MidiTrack::AppendTrack(const MidiTrack& other) {
  std::vector<MidiEvent*> copies;
  copies.reserve(static_cast<size_t>(other.event_count));
  EventPool::Scope from_pool(pool_);
  for (int32_t i = 0; i < other.event_count; ++i) copies.push_back(new MidiEvent(*other.events[i]));
  // Only an End of Track gives way; a track without one keeps its last event.
  if (LastIsEndOfTrack()) events[event_count - 1]->MarkDeleted();
  ReserveEvents(event_count + static_cast<int32_t>(copies.size()));
  for (MidiEvent* e : copies) AppendUnchecked(e);
  Compact();
}

int Midi0Data::MergeTrackEvents(const MidiTrack& source, int keep_names) {
  if (track == nullptr || source.mode != kTrackNotes || track->mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return 0;
  }
  MidiTrack& own = *track;
  const bool self = &source == &own;
  std::vector<Pending> mine;
  std::vector<Pending> theirs;
  mine.reserve(static_cast<size_t>(own.event_count));
  theirs.reserve(static_cast<size_t>(source.event_count));
  for (int32_t i = 0; i < own.event_count; ++i) {
    MidiEvent* e = own.events[i];
    // Dropped names stay in the list as deleted events, which hand their delta on.
    if (!keep_names && e->status == kStatusMeta && e->number == 3) e->MarkDeleted();
    mine.push_back({e, e->delta});
  }
  for (int32_t i = 0; i < source.event_count; ++i) {
    theirs.push_back({source.events[i], source.events[i]->delta});
  }
  EventPool pool;
  EventPool::Scope from_pool(pool);
  MergeOutput out(mine.size() + theirs.size());
  auto emit_mine = [&](const Pending& p) {
    if (self) {
      out.AddCopy(*p.event, p.delta);
    } else {
      out.Add(const_cast<MidiEvent*>(p.event), p.delta);
    }
  };
  auto emit_theirs = [&](const Pending& p) { out.AddCopy(*p.event, p.delta); };
  MergeTwoLists(mine, theirs, false, emit_mine, emit_theirs);
  std::vector<MidiEvent*>& merged = out.Finish();
  if (self) {
    own.FreeAllEvents();
  } else {
    for (int32_t i = 0; i < own.event_count; ++i) own.events[i] = nullptr;
    own.event_count = 0;
  }
  own.ReserveEvents(static_cast<int32_t>(merged.size()));
  for (MidiEvent* e : merged) own.AddEvent(e);
  return own.FixOverlappingNotes(1);
}
