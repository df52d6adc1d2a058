// MIDI track: moving between note-on/note-off events (mode 1) and notes with
// durations (mode 2), and re-struck notes. Every conversion is one pass over the
// events (plus a sort of the note-offs that end inside the same gap).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "music/midi_track.h"
#include "util/gne_error.h"

namespace {

// A pending note-on: the tick it starts at and the next pending index of its queue.
struct NoteNode {
  int64_t tick;
  int32_t next;
};

// Pending note-ons of one channel and note, first in first out, as linked indices, each with
// the tick it starts at. Only pushed indices are ever read. The nodes' room is kept by the
// thread from one conversion to the next: a fresh block per conversion of a long track costs
// more in page faults than the walk itself.
class NoteQueues {
 public:
  explicit NoteQueues(int32_t n) : nodes_(Room()) {
    if (nodes_.size() < static_cast<size_t>(n)) nodes_.resize(static_cast<size_t>(n));
    std::fill(std::begin(head_), std::end(head_), -1);
    std::fill(std::begin(tail_), std::end(tail_), -1);
  }
  ~NoteQueues() {
    // An unusually long track's room is not kept.
    if (nodes_.size() > kKeptNodes) std::vector<NoteNode>().swap(nodes_);
  }
  NoteQueues(const NoteQueues&) = delete;
  NoteQueues& operator=(const NoteQueues&) = delete;
  void Push(int32_t channel, int32_t note, int32_t index, int64_t tick) {
    int32_t* h;
    int32_t* t;
    Slots(channel, note, &h, &t);
    nodes_[index].next = -1;
    nodes_[index].tick = tick;
    if (*t >= 0) {
      nodes_[*t].next = index;
    } else {
      *h = index;
    }
    *t = index;
  }
  // The earliest pending index of the channel and note (and its tick), -1 when none.
  int32_t Pop(int32_t channel, int32_t note, int64_t* tick) {
    int32_t* h;
    int32_t* t;
    Slots(channel, note, &h, &t);
    int32_t i = *h;
    if (i < 0) return -1;
    *h = nodes_[i].next;
    if (*h < 0) *t = -1;
    *tick = nodes_[i].tick;
    return i;
  }
  // Calls f(index) for every index still pending.
  template <typename F>
  void ForEachPending(F f) const {
    auto walk = [&](int32_t i) {
      for (; i >= 0; i = nodes_[i].next) f(i);
    };
    for (int32_t h : head_) walk(h);
    for (const auto& slot : other_) walk(slot.second.first);
  }

 private:
  static constexpr size_t kKeptNodes = size_t{1} << 18;
  static std::vector<NoteNode>& Room() {
    static thread_local std::vector<NoteNode> room;
    return room;
  }
  void Slots(int32_t channel, int32_t note, int32_t** h, int32_t** t) {
    if (channel >= 0 && channel < 32 && note >= 0 && note < 128) {
      *h = &head_[channel * 128 + note];
      *t = &tail_[channel * 128 + note];
      return;
    }
    // Channels and notes outside the table (damaged input) get queues of their own, empty at
    // first.
    auto& slot = other_.try_emplace({channel, note}, -1, -1).first->second;
    *h = &slot.first;
    *t = &slot.second;
  }
  std::vector<NoteNode>& nodes_;
  int32_t head_[32 * 128];
  int32_t tail_[32 * 128];
  std::map<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>> other_;
};

// Note flags of 32 channels (both ports) by 128 notes.
struct SoundingTable {
  bool flags[32][128] = {};
  bool* At(const MidiEvent& e) {
    if (e.note < 0 || e.note > 127) return nullptr;
    if (e.channel < 0 || e.channel >= 32) return nullptr;
    return &flags[e.channel][e.note];
  }
};

// A note-off to be made: its tick, the index of its note, and its place in the file
// the note was read from when it still ends where it ended there (read and place in
// one number, 0 without).
struct PendingOff {
  int64_t tick;
  int32_t note_index;
  uint64_t read_order;
  bool After(const PendingOff& other) const {
    return tick > other.tick || (tick == other.tick && read_order > other.read_order);
  }
};

uint64_t ReadOrder(const MidiEvent::ReadPlace& p, int64_t tick) {
  return p.StandsAt(tick) ? (uint64_t{p.read} << 32) | p.place : 0;
}

// The working room of the event-mode conversion, kept by the thread from one conversion to the
// next: fresh blocks of a long track's size cost more in page faults than the conversion.
struct EventModeRoom {
  std::vector<int64_t> tick, note_end;
  std::vector<uint64_t> note_read_order;
  std::vector<int32_t> note_index, note_gap, gap_start, fill;
  std::vector<PendingOff> offs;

  static EventModeRoom& Get() {
    static thread_local EventModeRoom room;
    return room;
  }
  // An unusually long track's room is not kept.
  void Trim() {
    if (tick.capacity() > (size_t{1} << 18)) *this = EventModeRoom();
  }
};

bool IsSoundingNoteOn(const MidiEvent& e) { return e.status == kStatusNoteOn && e.velocity > 0; }
bool IsNoteEnd(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}

}  // namespace

int MidiTrack::NoteOnVelocity0ToNoteOff() {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return event_count;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNoteOn && events[i]->velocity == 0) {
      events[i]->status = kStatusNoteOff;
    }
  }
  return event_count;
}

void MidiTrack::ToNoteMode() {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  // One walk pairs the events: each note-off (or note-on of velocity 0) ends the earliest
  // still open note-on of its channel and note (the same pairing as searching forward from
  // every note-on), which becomes a note of that length; every note-off goes. A second walk,
  // the compaction, drops what went and the note-ons nothing ended.
  const int32_t n = event_count;
  bool negative = false;
  {
    NoteQueues open(n);
    int64_t tick = 0;
    for (int32_t i = 0; i < n; ++i) {
      YieldEvery(i, 300);
      MidiEvent& e = *events[i];
      tick += e.delta;
      if (e.status == kStatusNoteOn && e.velocity == 0) e.status = kStatusNoteOff;
      if (e.status == kStatusNoteOn) {
        open.Push(e.channel, e.note, i, tick);
      } else if (e.status == kStatusNoteOff) {
        int64_t start = 0;
        const int32_t on = open.Pop(e.channel, e.note, &start);
        if (on >= 0) {
          MidiEvent& note = *events[on];
          const int64_t duration = tick - start;
          note.status = duration == 0 ? kStatusDeleted : kStatusNote;
          note.duration = static_cast<int32_t>(duration);
          note.end_read_place = e.read_place;
          negative = negative || duration < 0;
        }
        e.status = kStatusDeleted;  // paired or stray, every note-off goes
      }
    }
    // Note-ons without an end have no length: they go.
    open.ForEachPending([&](int32_t i) {
      events[i]->duration = 0;
      events[i]->status = kStatusDeleted;
    });
  }  // the queues go before any box is shown
  if (negative) ErrorMsg(kMdtkInternal);
  Compact();
  mode = kTrackNotes;
}

namespace {

// What one walk over the notes finds: whether some event is (or was just made) deleted,
// whether every delta is at least 0, and whether a note-off made may come to stand behind a
// note-on of its tick (a note of negative length, or a bare note-on or note-off among the
// notes).
struct NoteScan {
  bool deleted = false;
  bool monotone = true;
  bool mixed = false;
};

// Marks the notes without length or loudness deleted and, for the events as they would be
// without them, fills the absolute tick of every event (with kTickPadding ticks past the
// last that nothing reaches) and, per note in index order, its end, its place in the file
// it was read from when it still ends where it ended there (0 without), and its index.
// The ticks and notes are only meaningful when nothing was deleted.
constexpr int32_t kTickPadding = 16;

NoteScan ScanNotes(MidiEvent* const* events, int32_t n, EventModeRoom& room) {
  NoteScan scan;
  std::vector<int64_t>& tick = room.tick;
  tick.resize(static_cast<size_t>(n) + kTickPadding);
  room.note_end.clear();
  room.note_read_order.clear();
  room.note_index.clear();
  int64_t t = 0;
  for (int32_t k = 0; k < n; ++k) {
    MidiEvent& e = *events[k];
    if (e.delta < 0) scan.monotone = false;
    t += e.delta;
    tick[k] = t;
    if (e.status != kStatusNote) {
      scan.deleted = scan.deleted || e.status == kStatusDeleted;
      scan.mixed = scan.mixed || e.status == kStatusNoteOn || e.status == kStatusNoteOff;
      continue;
    }
    if (e.duration == 0 || e.velocity == 0) {
      e.status = kStatusDeleted;
      scan.deleted = true;
      continue;
    }
    scan.mixed = scan.mixed || e.duration < 0;
    const int64_t end = t + (e.duration < 0 ? 0 : e.duration);
    room.note_end.push_back(end);
    room.note_read_order.push_back(ReadOrder(e.end_read_place, end));
    room.note_index.push_back(k);
  }
  std::fill(tick.begin() + n, tick.end(), INT64_MAX);
  return scan;
}

// The first index after k whose tick is at or after `end`, among the next kTickPadding
// (kTickPadding when none of them is; the padding stops it at the last event). Halving
// without branches: most notes end a few events later, at a place no branch predictor
// guesses.
int32_t NearGap(const int64_t* tick, int32_t k, int64_t end) {
  static_assert(kTickPadding == 16, "the halving below covers 16 ticks");
  const int64_t* base = tick + k + 1;  // the answer lies in base[0..16]
  base += base[7] < end ? 8 : 0;       // ... in base[0..8]
  base += base[3] < end ? 4 : 0;       // ... in base[0..4]
  base += base[1] < end ? 2 : 0;       // ... in base[0..2]
  base += base[0] < end ? 1 : 0;       // ... in base[0..1]
  base += base[0] < end ? 1 : 0;
  return static_cast<int32_t>(base - (tick + k + 1));
}

// Each note-off lands in the gap before the first event after its note-on whose tick
// is at or after the note's end (gap n: after the last event). A note-off that still
// ends where it ended in the file it was read from keeps its place there: it goes
// behind the events of its tick that stood before it in that file. Fills the gap of
// every note and the first note of every gap in the gaps' order (gap_start).
void FindNoteOffGaps(MidiEvent* const* events, int32_t n, EventModeRoom& room) {
  const std::vector<int64_t>& tick = room.tick;
  const size_t notes = room.note_index.size();
  room.note_gap.resize(notes);
  std::vector<int32_t>& gap_start = room.gap_start;
  gap_start.assign(static_cast<size_t>(n) + 2, 0);
  for (size_t q = 0; q < notes; ++q) {
    const int32_t k = room.note_index[q];
    const int64_t end = room.note_end[q];
    int32_t gap = k + 1 + NearGap(tick.data(), k, end);
    if (gap == k + 1 + kTickPadding && gap < n) {
      gap = static_cast<int32_t>(std::lower_bound(tick.begin() + gap, tick.begin() + n, end) -
                                 tick.begin());
    }
    if (room.note_read_order[q] != 0) {
      const MidiEvent::ReadPlace& place = events[k]->end_read_place;
      while (gap < n && tick[gap] == end && events[gap]->read_place.Before(place, end)) ++gap;
    }
    room.note_gap[q] = gap;
    ++gap_start[gap + 1];
  }
  for (int32_t m = 0; m <= n; ++m) gap_start[m + 1] += gap_start[m];
}

// The note-offs of every gap, in `offs` gap after gap. Inside a gap they stand in tick
// order, and a later note's note-off goes before an earlier note's note-off of the same
// tick, as inserting them one by one would place them; note-offs keeping their place
// in a file follow those, in that file's order.
void OrderNoteOffsInGaps(int32_t n, EventModeRoom& room) {
  const std::vector<int32_t>& gap_start = room.gap_start;
  std::vector<PendingOff>& offs = room.offs;
  offs.resize(room.note_index.size());
  std::vector<int32_t>& fill = room.fill;
  fill.assign(gap_start.begin(), gap_start.end() - 1);
  for (size_t q = room.note_index.size(); q-- > 0;) {  // later notes first within a gap
    offs[fill[room.note_gap[q]]++] =
        PendingOff{room.note_end[q], room.note_index[q], room.note_read_order[q]};
  }
  for (int32_t m = 0; m <= n; ++m) {
    PendingOff* first = offs.data() + gap_start[m];
    PendingOff* last = offs.data() + gap_start[m + 1];
    if (last - first <= 1) continue;
    if (last - first <= 16) {
      for (PendingOff* i = first + 1; i < last; ++i) {  // stable insertion by tick
        PendingOff x = *i;
        PendingOff* j = i;
        while (j > first && (j - 1)->After(x)) {
          *j = *(j - 1);
          --j;
        }
        *j = x;
      }
    } else {
      std::stable_sort(first, last, [](const PendingOff& a, const PendingOff& b) { return b.After(a); });
    }
  }
}

// The new event list (null-terminated, malloc'd): each gap's note-offs, made here, then
// the event after the gap with its delta from the event before it; notes become
// note-ons. Sets *end_of_track to the new place of the first End of Track (-1 without).
MidiEvent** WeaveNoteOffs(MidiEvent* const* events, int32_t n, const EventModeRoom& room,
                          int32_t* end_of_track) {
  const std::vector<int64_t>& tick = room.tick;
  const std::vector<int32_t>& gap_start = room.gap_start;
  const std::vector<PendingOff>& offs = room.offs;
  const int32_t total = n + static_cast<int32_t>(offs.size());
  MidiEvent** merged =
      static_cast<MidiEvent**>(std::malloc((static_cast<size_t>(total) + 1) * sizeof(MidiEvent*)));
  if (merged == nullptr) GneErrorMsg(kGneOutOfMemory);  // ends the program
  int32_t out = 0;
  int64_t previous = 0;
  *end_of_track = -1;
  for (int32_t m = 0; m <= n; ++m) {
    for (int32_t q = gap_start[m]; q < gap_start[m + 1]; ++q) {
      const MidiEvent& on = *events[offs[q].note_index];
      MidiEvent* off = new MidiEvent(static_cast<int32_t>(offs[q].tick - previous));
      off->status = kStatusNoteOff;
      off->channel = on.channel;
      off->note = on.note;
      off->velocity = 64;
      if (offs[q].read_order != 0) off->read_place = on.end_read_place;
      previous = offs[q].tick;
      // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): a failed malloc ended the program
      merged[out++] = off;
    }
    if (m < n) {
      MidiEvent* e = events[m];
      e->delta = static_cast<int32_t>(tick[m] - previous);
      previous = tick[m];
      if (e->status == kStatusNote) {
        e->status = kStatusNoteOn;
        e->duration = 0;
      } else if (*end_of_track < 0 && IsEndOfTrack(e)) {
        *end_of_track = out;
      }
      merged[out++] = e;
    }
  }
  // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): a failed malloc ended the program
  merged[total] = nullptr;
  return merged;
}

}  // namespace

void MidiTrack::PlaceNoteOffsOneByOne() {
  // Negative deltas: walk the list as it grows, note by note.
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote) continue;
    int64_t d = e.duration < 0 ? 0 : e.duration;
    e.status = kStatusNoteOn;
    e.duration = 0;
    MidiEvent* off = new MidiEvent(0);
    off->status = kStatusNoteOff;
    off->channel = e.channel;
    off->note = e.note;
    off->velocity = 64;
    int64_t sum = 0;
    int32_t j = i + 1;
    for (; j < event_count; ++j) {
      sum += events[j]->delta;
      if (sum >= d) break;
    }
    if (j < event_count) {
      off->delta = static_cast<int32_t>(events[j]->delta - (sum - d));
      events[j]->delta = static_cast<int32_t>(sum - d);
      InsertEvent(j, 2, off);
    } else {
      off->delta = static_cast<int32_t>(d - sum);
      AppendUnchecked(off);
    }
  }
}

bool MidiTrack::ConvertToEventModeCore() {
  // Notes without length or loudness go first.
  EventModeRoom& room = EventModeRoom::Get();
  struct TrimAtEnd {
    EventModeRoom& room;
    ~TrimAtEnd() { room.Trim(); }
  } trim{room};
  NoteScan scan = ScanNotes(events, event_count, room);
  if (scan.deleted) {
    Compact();
    scan = ScanNotes(events, event_count, room);
  }
  const int32_t n = event_count;
  if (!scan.monotone) {
    PlaceNoteOffsOneByOne();
    MoveEndOfTrackLast(FindEndOfTrack());
    return true;
  }
  FindNoteOffGaps(events, n, room);
  OrderNoteOffsInGaps(n, room);
  int32_t end_of_track = -1;
  MidiEvent** merged = WeaveNoteOffs(events, n, room, &end_of_track);
  std::free(events);
  events = merged;
  event_count = n + static_cast<int32_t>(room.offs.size());
  event_room_ = event_count + 1;
  MoveEndOfTrackLast(end_of_track);
  return scan.mixed;
}

int32_t MidiTrack::FindEndOfTrack() const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsEndOfTrack(events[i])) return i;
  }
  return -1;
}

void MidiTrack::MoveEndOfTrackLast(int32_t i) {
  if (i < 0 || i + 1 >= event_count) return;
  MidiEvent* end = events[i];
  events[i + 1]->delta = SaturatedDelta(int64_t{events[i + 1]->delta} + end->delta);
  std::memmove(events + i, events + i + 1, static_cast<size_t>(event_count - i - 1) * sizeof(MidiEvent*));
  end->delta = 0;
  events[event_count - 1] = end;
}

int MidiTrack::ToEventMode() {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  // A note that outlasts End of Track moves End of Track to the note's end; a note-off
  // then goes before the note-ons of its tick, unless the file it was read from had it
  // behind them.
  bool offs_may_follow_ons;
  {
    EventPool::Scope from_pool(pool_);
    offs_may_follow_ons = ConvertToEventModeCore();
  }
  mode = kTrackEvents;
  if (offs_may_follow_ons) MoveNoteOffsFirst(true);
  return 1;
}

void MidiTrack::MoveNoteOffsBeforeNoteOns() { MoveNoteOffsFirst(false); }

void MidiTrack::MoveNoteOffsFirst(bool keep_read_order) {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  std::vector<int32_t> ons;  // note-on positions of the current group, ascending
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (i == 0 || events[i]->delta != 0) ons.clear();  // a new same-tick group
    tick += events[i]->delta;
    const MidiEvent& e = *events[i];
    if (e.status == kStatusNoteOn) {
      ons.push_back(i);
    } else if (e.status == kStatusNoteOff && !ons.empty()) {
      int32_t j = ons.back();
      if (keep_read_order && events[j]->read_place.Before(e.read_place, tick)) continue;
      ons.pop_back();
      SwapEvents(i, j);
      ons.push_back(i);  // the note-on now stands here
    }
  }
}

void MidiTrack::ForgetReadOrder() {
  for (int32_t i = 0; i < event_count; ++i) {
    events[i]->read_place = MidiEvent::ReadPlace();
    events[i]->end_read_place = MidiEvent::ReadPlace();
  }
}

int MidiTrack::HasOverlappingNotes() {
  MidiTrack* work = this;
  MidiTrack* copy = nullptr;
  if (mode == kTrackNotes) {
    copy = new MidiTrack(*this, 0);  // events only
    copy->ToEventMode();
    work = copy;
  } else if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  work->MoveNoteOffsBeforeNoteOns();
  int result = 0;
  SoundingTable table;
  bool reported = false;
  for (int32_t i = 0; i < work->event_count; ++i) {
    const MidiEvent& e = *work->events[i];
    if (!IsSoundingNoteOn(e) && !IsNoteEnd(e)) continue;
    bool* flag = table.At(e);
    if (flag == nullptr) {
      if (!reported && (e.note < 0 || e.note > 127)) {
        reported = true;
        ErrorMsg(kMdtkBadNoteNumber);
      }
      continue;
    }
    if (IsSoundingNoteOn(e)) {
      if (*flag) result = 1;
      *flag = true;
    } else {
      *flag = false;
    }
  }
  delete copy;
  return result;
}

int MidiTrack::FixOverlappingNotes(int insert_flag) {
  if (mode == kTrackEvents) {
    ToNoteMode();
    FixOverlappingNotes(insert_flag);
    ToEventMode();
    return 0;
  }
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  ToEventMode();
  int changed = 0;
  SoundingTable table;
  std::vector<MidiEvent*> out;
  out.reserve(static_cast<size_t>(event_count) + 16);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    bool* flag = table.At(*e);
    if (flag != nullptr && IsSoundingNoteOn(*e)) {
      if (*flag) {
        changed = 1;
        if (insert_flag == 1) {
          MidiEvent* off = new MidiEvent(e->delta);
          off->status = kStatusNoteOff;
          off->channel = e->channel;
          off->note = e->note;
          off->velocity = 64;
          e->delta = 0;
          out.push_back(off);
        } else {
          e->status = kStatusDeleted;
        }
      }
      *flag = true;
    } else if (flag != nullptr && IsNoteEnd(*e)) {
      if (!*flag) {
        e->status = kStatusDeleted;
        changed = 1;
      }
      *flag = false;
    }
    out.push_back(e);
  }
  event_count = 0;
  ReserveEvents(static_cast<int32_t>(out.size()));
  std::memcpy(events, out.data(), out.size() * sizeof(MidiEvent*));
  event_count = static_cast<int32_t>(out.size());
  Compact();
  ToNoteMode();
  return changed;
}
