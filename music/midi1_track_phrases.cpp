// Note passes and queries of a format-1 track that look at what sounds when: grace
// notes, notes another track shares, bank and program replacement, sounding and
// starting notes, the time around note events, and the phrase finders.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "music/controllers.h"
#include "music/midi1_track.h"

namespace {

bool IsNoteOn(const MidiEvent& e) { return e.status == kStatusNoteOn && e.velocity > 0; }
bool IsNoteOff(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}
bool IsNoteEvent(const MidiEvent& e) {
  return e.status == kStatusNoteOn || e.status == kStatusNoteOff || e.status == kStatusNote;
}
bool IsPitch(int32_t note) { return note >= 0 && note < 128; }
bool IsCc(const MidiEvent& e, int32_t number) {
  return e.status == kStatusController && e.number == static_cast<uint32_t>(number);
}

bool NeedMode(const MidiTrack& t, int32_t mode) {
  if (t.mode == mode) return true;
  Midi1Track::ErrorMsg(kMdtkInternal);
  return false;
}

// The pitches sounding in a note-mode track, followed through an event-mode copy
// (a note-on sounds until the next note-off of its pitch; at one tick note-offs come
// first). Ticks are asked for in ascending order.
class SoundingWalk {
 public:
  explicit SoundingWalk(const MidiTrack& notes) : copy_(notes, 0) { copy_.ToEventMode(); }
  // The flags (128) of the pitches sounding once every event at or before the tick
  // has happened.
  const uint8_t* At(int64_t tick) {
    while (next_ < copy_.event_count) {
      const MidiEvent& e = *copy_.events[next_];
      if (tick_ + e.delta > tick) break;
      tick_ += e.delta;
      ++next_;
      if (!IsPitch(e.note)) continue;
      if (IsNoteOn(e)) {
        flags_[e.note] = 1;
      } else if (IsNoteOff(e)) {
        flags_[e.note] = 0;
      }
    }
    return flags_;
  }

 private:
  MidiTrack copy_;
  int32_t next_ = 0;
  int64_t tick_ = 0;
  uint8_t flags_[128] = {};
};

int32_t Highest(const uint8_t* flags) {
  for (int32_t p = 127; p >= 0; --p) {
    if (flags[p]) return p;
  }
  return -1;
}

// Per event: the tick of the nearest note event strictly later (-1 when none) and
// strictly earlier (-1 when none).
struct NoteNeighbours {
  std::vector<int64_t> tick, next, previous;
};

NoteNeighbours Neighbours(const MidiTrack& track) {
  NoteNeighbours n;
  n.tick = track.EventTicks();
  const auto count = static_cast<size_t>(track.event_count);
  n.next.assign(count, -1);
  n.previous.assign(count, -1);
  int64_t later = -1;
  for (size_t end = count; end > 0;) {
    size_t start = end - 1;
    while (start > 0 && n.tick[start - 1] == n.tick[end - 1]) --start;
    bool has_note = false;
    for (size_t i = start; i < end; ++i) {
      n.next[i] = later;
      has_note |= IsNoteEvent(*track.events[i]);
    }
    if (has_note) later = n.tick[start];
    end = start;
  }
  int64_t earlier = -1;
  for (size_t start = 0; start < count;) {
    size_t end = start + 1;
    while (end < count && n.tick[end] == n.tick[start]) ++end;
    bool has_note = false;
    for (size_t i = start; i < end; ++i) {
      n.previous[i] = earlier;
      has_note |= IsNoteEvent(*track.events[i]);
    }
    if (has_note) earlier = n.tick[start];
    start = end;
  }
  return n;
}

// Notes sounding once each event of an event-mode track has happened.
std::vector<int32_t> SoundingAfter(const MidiTrack& track) {
  std::vector<int32_t> sounding(static_cast<size_t>(track.event_count), 0);
  std::vector<uint8_t> on(16 * 128, 0);
  int32_t count = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (IsPitch(e.note) && e.channel >= 0 && e.channel < 16 && (IsNoteOn(e) || IsNoteOff(e))) {
      uint8_t& flag = on[static_cast<size_t>(e.channel * 128 + e.note)];
      const uint8_t now = IsNoteOn(e) ? 1 : 0;
      count += now - flag;
      flag = now;
    }
    sounding[static_cast<size_t>(i)] = count;
  }
  return sounding;
}

}  // namespace

// ---------------------------------------------------------------- passes

void Midi1Track::MergeGraceNotes(int32_t length) {
  if (!NeedMode(*this, kTrackNotes)) return;
  const int32_t half = length / 2;
  const std::vector<int64_t> ticks = EventTicks();
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& grace = *events[i];
    if (grace.status != kStatusNote || grace.duration > half) continue;
    int32_t j = i + 1;
    while (j < event_count && events[j]->status != kStatusNote) ++j;
    if (j >= event_count) break;
    const MidiEvent& next = *events[j];
    if (next.delta > half || next.note != grace.note + 1 || next.duration <= half ||
        next.channel != grace.channel) {
      continue;
    }
    // The grace note becomes the note it leads into, from its own start.
    grace.note = next.note;
    grace.velocity = next.velocity;
    grace.duration = SaturatedDelta(ticks[static_cast<size_t>(j)] + next.duration -
                                    ticks[static_cast<size_t>(i)]);
    events[j]->MarkDeleted();
    i = j;
  }
  Compact();
}

void Midi1Track::DropNotesSharedWith(const MidiTrack& other) {
  if (!NeedMode(*this, kTrackNotes) || !NeedMode(other, kTrackNotes)) return;
  SoundingWalk mine(*this);
  SoundingWalk theirs(other);
  const std::vector<int64_t> ticks = EventTicks();
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote || !IsPitch(e.note)) continue;
    const int64_t t = ticks[static_cast<size_t>(i)];
    const uint8_t* there = theirs.At(t);
    bool shared = false;
    for (int32_t p = e.note % 12; p < 128 && !shared; p += 12) shared = there[p] != 0;
    if (shared && Highest(mine.At(t)) != e.note) e.MarkDeleted();
  }
  Compact();
}

void Midi1Track::ReplaceBankAndProgram(int32_t msb, int32_t lsb, int32_t program, int32_t old_msb,
                                       int32_t old_lsb, int32_t old_program) {
  // Each program change that follows bank selects on its channel, with the indexes
  // of the bank selects then in force.
  struct Choice {
    int32_t program, msb, lsb;
  };
  std::vector<Choice> choices;
  int32_t bank_msb[16];
  int32_t bank_lsb[16];
  std::fill(std::begin(bank_msb), std::end(bank_msb), -1);
  std::fill(std::begin(bank_lsb), std::end(bank_lsb), -1);
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.channel < 0 || e.channel >= 16) continue;
    if (IsCc(e, cc::kBankMsb)) {
      bank_msb[e.channel] = i;
    } else if (IsCc(e, cc::kBankLsb)) {
      bank_lsb[e.channel] = i;
    } else if (e.status == kStatusProgram && bank_msb[e.channel] >= 0 && bank_lsb[e.channel] >= 0) {
      choices.push_back({i, bank_msb[e.channel], bank_lsb[e.channel]});
    }
  }
  auto is = [&](const Choice& c, int32_t m, int32_t l, int32_t p) {
    return events[c.msb]->value == m && events[c.lsb]->value == l && events[c.program]->value == p;
  };
  const bool has_new = std::any_of(choices.begin(), choices.end(),
                                   [&](const Choice& c) { return is(c, msb, lsb, program); });
  std::vector<Choice> old;
  for (const Choice& c : choices) {
    if (is(c, old_msb, old_lsb, old_program)) old.push_back(c);
  }
  if (!has_new || old.empty()) return;
  for (const Choice& c : old) {
    events[c.program]->value = program;
    events[c.msb]->value = msb;
    events[c.lsb]->value = lsb;
  }
}

// ---------------------------------------------------------------- notes by time

int Midi1Track::HasMatchingNote(int32_t from, int32_t to, const MidiEvent& note,
                                int with_velocity) const {
  if (!NeedMode(*this, kTrackNotes)) return 0;
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    t += e.delta;
    if (t > to) break;
    if (t < from || e.status != kStatusNote) continue;
    if (e.note == note.note && e.duration == note.duration &&
        (!with_velocity || e.velocity == note.velocity)) {
      return 1;
    }
  }
  return 0;
}

int32_t Midi1Track::SharedNotePercent(const MidiTrack& other, int32_t tolerance) const {
  if (!NeedMode(*this, kTrackNotes) || !NeedMode(other, kTrackNotes)) return 0;
  struct Start {
    int64_t tick;
    const MidiEvent* note;
  };
  std::vector<Start> theirs;
  int64_t t = 0;
  for (int32_t i = 0; i < other.event_count; ++i) {
    t += other.events[i]->delta;
    if (other.events[i]->status == kStatusNote) theirs.push_back({t, other.events[i]});
  }
  int64_t total = 0;
  int64_t matched = 0;
  t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    t += e.delta;
    if (e.status != kStatusNote) continue;
    ++total;
    auto it = std::lower_bound(theirs.begin(), theirs.end(), t - tolerance,
                               [](const Start& s, int64_t tick) { return s.tick < tick; });
    for (; it != theirs.end() && it->tick <= t + tolerance; ++it) {
      if (it->note->note == e.note && it->note->duration == e.duration) {
        ++matched;
        break;
      }
    }
  }
  return total == 0 ? 0 : static_cast<int32_t>(matched * 100 / total);
}

int32_t Midi1Track::NotesSoundingAt(uint8_t* flags, int32_t tick) const {
  std::fill(flags, flags + 128, 0);
  if (!NeedMode(*this, kTrackNotes)) return 0;
  SoundingWalk walk(*this);
  const uint8_t* sounding = walk.At(tick);
  std::copy(sounding, sounding + 128, flags);
  return static_cast<int32_t>(std::count(flags, flags + 128, 1));
}

void Midi1Track::NotesStartingAt(int32_t* list, int32_t* count, int32_t tick) const {
  *count = 0;
  if (!NeedMode(*this, kTrackNotes)) return;
  bool starts[128] = {};
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    t += e.delta;
    if (t > tick) break;
    if (t == tick && e.status == kStatusNote && e.velocity > 0 && IsPitch(e.note)) {
      starts[e.note] = true;
    }
  }
  for (int32_t p = 0; p < 128; ++p) {
    if (starts[p]) list[(*count)++] = p;
  }
}

int32_t Midi1Track::HighestNoteSoundingAt(int32_t tick) const {
  uint8_t flags[128];
  NotesSoundingAt(flags, tick);
  return Highest(flags);
}

// ---------------------------------------------------------------- time around note events

int32_t Midi1Track::TicksToNextNoteEvent(int32_t index) const {
  if (index < 0 || index >= event_count) return -1;
  int64_t ticks = 0;
  for (int32_t i = index + 1; i < event_count; ++i) {
    ticks += events[i]->delta;
    if (ticks > 0 && IsNoteEvent(*events[i])) return SaturatedDelta(ticks);
  }
  return -1;
}

int Midi1Track::HasGapAfter(int32_t index, int32_t length) const {
  return TicksToNextNoteEvent(index) >= length ? 1 : 0;
}

int32_t Midi1Track::TicksSincePreviousNoteEvent(int32_t index) const {
  if (index < 0 || index >= event_count) return -1;
  int64_t ticks = 0;
  for (int32_t i = index; i > 0; --i) {
    ticks += events[i]->delta;
    if (ticks > 0 && IsNoteEvent(*events[i - 1])) return SaturatedDelta(ticks);
  }
  return -1;
}

int32_t Midi1Track::TicksBackToStatus(int32_t index, uint32_t status_value) const {
  if (index < 0 || index >= event_count) return -1;
  int64_t ticks = 0;
  for (int32_t i = index; i > 0; --i) {
    ticks += events[i]->delta;
    if (ticks > 0 && events[i - 1]->status == status_value) return SaturatedDelta(ticks);
  }
  return SaturatedDelta(ticks + events[0]->delta);  // back to the start
}

int32_t Midi1Track::NextNoteAfterRest(int32_t index, int32_t length) const {
  if (!NeedMode(*this, kTrackEvents)) return -1;
  const std::vector<int32_t> sounding = SoundingAfter(*this);
  int64_t t = 0;
  int64_t rest_from = -1;  // tick of the note-off that began the silence
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    t += e.delta;
    const int32_t before = i > 0 ? sounding[static_cast<size_t>(i - 1)] : 0;
    if (IsNoteOn(e) && before == 0 && rest_from >= 0 && i > index && t - rest_from >= length) {
      return i;
    }
    if (IsNoteOff(e) && sounding[static_cast<size_t>(i)] == 0 && before > 0) rest_from = t;
    if (sounding[static_cast<size_t>(i)] > 0) rest_from = -1;
  }
  return -1;
}

int32_t Midi1Track::FindPhraseBoundary(int32_t index, int direction, int32_t length) {
  if (!NeedMode(*this, kTrackEvents)) return -1;
  MoveNoteOffsBeforeNoteOns();
  if (event_count == 0) return -1;
  index = std::clamp(index, 0, event_count - 1);
  const NoteNeighbours n = Neighbours(*this);
  const std::vector<int32_t> sounding = SoundingAfter(*this);
  auto silent = [&](int32_t i) { return sounding[static_cast<size_t>(i)] == 0; };
  auto gap_after = [&](int32_t i) {
    const auto u = static_cast<size_t>(i);
    return n.next[u] < 0 || n.next[u] - n.tick[u] >= length;
  };
  auto gap_before = [&](int32_t i) {
    const auto u = static_cast<size_t>(i);
    return n.previous[u] < 0 || n.tick[u] - n.previous[u] >= length;
  };
  int32_t at = -1;     // a silent position with the rest on the searched side
  int32_t other = -1;  // forwards the next note-on after a rest, backwards the previous
                       // note-off before one
  if (direction == 1) {
    for (int32_t i = index; i < event_count && at < 0; ++i) {
      if (silent(i) && gap_after(i)) at = i;
    }
    for (int32_t i = index + 1; i < event_count && other < 0; ++i) {
      const bool quiet_before = i == 0 || silent(i - 1);
      if (IsNoteOn(*events[i]) && quiet_before && gap_before(i)) other = i;
    }
  } else {
    for (int32_t i = index; i >= 0 && at < 0; --i) {
      if (silent(i) && gap_before(i)) at = i;
    }
    for (int32_t i = index - 1; i >= 0 && other < 0; --i) {
      if (IsNoteOff(*events[i]) && silent(i) && gap_after(i)) other = i;
    }
  }
  if (at < 0) return other;
  if (other < 0) return at;
  return std::abs(other - index) < std::abs(at - index) ? other : at;
}

int32_t Midi1Track::FindRepeatedPhrase(int32_t* start, int32_t* end, int32_t length) const {
  *start = -1;
  *end = -1;
  if (!NeedMode(*this, kTrackNotes) || length <= 0) return 0;
  Midi1Track copy(*this, 0);
  copy.KeepOnlyNotes();
  copy.MergeGraceNotes(length);
  copy.Quantize(1, length, 0, 0);
  struct Note {
    int64_t tick;
    int32_t pitch, duration;
  };
  std::vector<Note> notes;
  int64_t t = 0;
  for (int32_t i = 0; i < copy.event_count; ++i) {
    const MidiEvent& e = *copy.events[i];
    t += e.delta;
    if (e.status == kStatusNote) notes.push_back({t, e.note, e.duration});
  }
  // run[j] for the row i: how many notes from i on equal those from j on, pitch for
  // pitch at the same distances, the first run ending before the second begins.
  const auto count = static_cast<int32_t>(notes.size());
  std::vector<int32_t> below(static_cast<size_t>(count) + 1, 0);
  std::vector<int32_t> row(static_cast<size_t>(count) + 1, 0);
  int32_t best = 0;
  int32_t best_i = -1;
  for (int32_t i = count - 1; i >= 0; --i) {
    std::fill(row.begin(), row.end(), 0);
    for (int32_t j = count - 1; j > i; --j) {
      const Note& a = notes[static_cast<size_t>(i)];
      const Note& b = notes[static_cast<size_t>(j)];
      if (a.pitch != b.pitch) continue;
      int32_t run = 1;
      if (j + 1 < count) {
        const Note& a2 = notes[static_cast<size_t>(i + 1)];
        const Note& b2 = notes[static_cast<size_t>(j + 1)];
        if (a2.tick - a.tick == b2.tick - b.tick) run += below[static_cast<size_t>(j + 1)];
      }
      run = std::min(run, j - i);
      row[static_cast<size_t>(j)] = run;
      if (run >= best) {  // on equal counts the earlier first occurrence
        best = run;
        best_i = i;
      }
    }
    std::swap(row, below);
  }
  if (best_i < 0) return 0;
  const Note& first = notes[static_cast<size_t>(best_i)];
  const Note& last = notes[static_cast<size_t>(best_i + best - 1)];
  *start = SaturatedDelta(first.tick);
  *end = SaturatedDelta(last.tick + last.duration);
  return best;
}
