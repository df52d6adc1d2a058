// More format-1 track edits: small deletions and queries by range, collapsing a
// range, and the merge that rescales each source to one mix.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "music/controllers.h"
#include "music/midi1_track.h"
#include "music/track_text.h"

namespace {

bool IsCc(const MidiEvent& e, int32_t number) {
  return e.status == kStatusController && e.number == static_cast<uint32_t>(number);
}

constexpr int32_t kCollapseKeep = 256;
constexpr int32_t kMixReference = 100;

// Velocities by the track's own volume and expression against the references, and
// bends by its own bend range against the merged range. A range of 0 leaves bends.
void RescaleForMix(MidiTrack& track, int32_t merged_range) {
  int32_t volume = kMixReference;
  int32_t expression = kMixReference;
  int32_t range = 2;
  int32_t rpn_msb = -1;
  int32_t rpn_lsb = -1;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent& e = *track.events[i];
    if (IsCc(e, cc::kVolume)) {
      volume = e.value;
    } else if (IsCc(e, cc::kExpression)) {
      expression = e.value;
    } else if (IsCc(e, cc::kRpnMsb)) {
      rpn_msb = e.value;
    } else if (IsCc(e, cc::kRpnLsb)) {
      rpn_lsb = e.value;
    } else if (IsCc(e, cc::kDataEntry) && rpn_msb == 0 && rpn_lsb == 0) {
      range = e.value;
    } else if (e.status == kStatusNote || e.status == kStatusNoteOn) {
      const int64_t v = int64_t{e.velocity} * volume * expression / (kMixReference * kMixReference);
      e.velocity = static_cast<int32_t>(std::clamp<int64_t>(v, 0, 127));
    } else if (e.status == kStatusPitchBend && range > 0 && merged_range > 0 && range != merged_range) {
      const int32_t offset = e.GetPitchBend() - kBendCentre;
      e.SetPitchBend(kBendCentre + offset * range / merged_range);
    }
  }
}

int32_t LastBendRange(const MidiTrack& track) {
  int32_t range = 2;
  int32_t msb = -1;
  int32_t lsb = -1;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (IsCc(e, cc::kRpnMsb)) msb = e.value;
    if (IsCc(e, cc::kRpnLsb)) lsb = e.value;
    if (IsCc(e, cc::kDataEntry) && msb == 0 && lsb == 0) range = e.value;
  }
  return range;
}

}  // namespace

void Midi1Track::DeleteNotesFrom(int32_t tick) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (t >= tick && events[i]->status == kStatusNote) events[i]->MarkDeleted();
  }
  Compact();
}

void Midi1Track::DeleteNotesInRange(int32_t from, int32_t to) {
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (t >= from && t < to && events[i]->status == kStatusNote) events[i]->MarkDeleted();
  }
  Compact();
}

void Midi1Track::DeleteMarkersInRange(int32_t from, int32_t to) {
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    const MidiEvent& e = *events[i];
    if (t >= from && t < to && e.status == kStatusMeta && e.number == 6) events[i]->MarkDeleted();
  }
  Compact();
}

void Midi1Track::GetMarkerTextInRange(int32_t from, int32_t to, char* out, int32_t room) const {
  if (out != nullptr && room > 0) out[0] = 0;
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    const MidiEvent& e = *events[i];
    if (t < from || t >= to || e.status != kStatusMeta || e.number != 6) continue;
    const int32_t n = e.data != nullptr ? std::min(e.data_length, e.DataBlockSize()) : 0;
    CopyTextCut(out, room, reinterpret_cast<const char*>(e.data), n > 0 ? static_cast<size_t>(n) : 0);
  }
}

void Midi1Track::CollapseRange(int32_t from, int32_t to) {
  if (from >= to) return;
  int64_t t = 0;
  int32_t first = -1;
  int32_t last = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (t >= from && t < to) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0) return;
  // The kept program and controller changes are counted first: more than the list
  // holds is refused before anything changes.
  int32_t kept = 0;
  for (int32_t i = first; i <= last; ++i) {
    const uint32_t s = events[i]->status;
    if (s == kStatusProgram || s == kStatusController) ++kept;
  }
  if (kept > kCollapseKeep) {
    ErrorMsg(kMdtkAddFailed);
    return;
  }
  int64_t removed = 0;
  for (int32_t i = first; i <= last; ++i) {
    MidiEvent& e = *events[i];
    removed += (i == first) ? 0 : e.delta;
    if (i != first) e.delta = 0;
    if (e.status != kStatusProgram && e.status != kStatusController) e.MarkDeleted();
  }
  // The kept changes stand at the first removed event's place; later events keep
  // their ticks.
  if (last + 1 < event_count) {
    events[last + 1]->delta = SaturatedDelta(events[last + 1]->delta + removed);
  }
  // A deleted first event would hand its delta on: keep it with the first kept one.
  Compact();
}

void Midi1Track::MergeRescaled(const MidiTrack& other, int option) {
  if (mode != kTrackNotes || other.mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const int mine = GetChannel();
  const int theirs = other.GetChannel();
  if (mine != kNoChannel && theirs != kNoChannel && mine != theirs) {
    ErrorMsg(kM1tkMergeChannels);
    return;
  }
  const int32_t merged_range = std::max(LastBendRange(*this), LastBendRange(other));
  MidiTrack copy(other, capacity);
  if (option != 1) copy.DeleteMeta(3, 0);
  RescaleForMix(*this, merged_range);
  RescaleForMix(copy, merged_range);
  MergeTrackEx(copy, option == 1 ? 1 : 0);
  static const int32_t kMix[5] = {7, 11, 39, 43, 10};
  RemoveUnheardControllers(kMix, 5);
  RemoveDuplicateMixControllers();
  Compact();
  FixOverlappingNotes(1);
  RemoveRedundantProgramChanges();
}

int32_t Midi1Track::CopyEventsInRange(int32_t from, int32_t to, MidiEvent** list) const {
  int32_t n = 0;
  int64_t t = 0;
  int64_t previous = from;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    t += e.delta;
    if (t >= to) break;
    if (t < from || e.status == kStatusDeleted) continue;
    if (n == kEventListRoom - 1) {
      ErrorMsg(kMdtkAddFailed);
      break;
    }
    auto* copy = new MidiEvent(e);
    copy->delta = SaturatedDelta(t - previous);
    previous = t;
    list[n++] = copy;
  }
  list[n] = nullptr;
  return n;
}

void Midi1Track::InsertEventsAt(int32_t tick, int32_t end, MidiEvent* const* list) {
  if (list == nullptr) return;
  int32_t n = 0;
  while (list[n] != nullptr) {
    if (n == kEventListRoom) {
      ErrorMsg(kMdtkAddFailed);
      return;
    }
    ++n;
  }
  if (n == 0) return;
  // Where each event of the list falls, and how far its notes reach.
  std::vector<int64_t> at(static_cast<size_t>(n));
  int64_t t = tick;
  int64_t reach = tick;
  for (int32_t k = 0; k < n; ++k) {
    if (tick < 0 || list[k]->delta < 0) {
      ErrorMsg(kM1tkNegativeDelta);
      return;
    }
    t += list[k]->delta;
    at[static_cast<size_t>(k)] = t;
    reach = std::max(reach, t + (list[k]->status == kStatusNote ? list[k]->duration : 0));
  }
  const std::vector<int64_t> ticks = EventTicks();
  if (event_count == 0 || tick >= ticks.back()) {
    // Behind the track: the list goes before a closing End of Track, which moves to
    // cover the inserted events and notes.
    const bool closed = LastIsEndOfTrack();
    MidiEvent* close = closed ? events[--event_count] : nullptr;
    const int64_t before = event_count > 0 ? ticks[static_cast<size_t>(event_count - 1)] : 0;
    int64_t previous = before;
    for (int32_t k = 0; k < n; ++k) {
      auto* copy = new MidiEvent(*list[k]);
      copy->delta = SaturatedDelta(at[static_cast<size_t>(k)] - previous);
      previous = at[static_cast<size_t>(k)];
      AddEvent(copy);
    }
    if (close != nullptr) {
      close->delta = SaturatedDelta(std::max(ticks.back(), reach) - previous);
      AddEvent(close);
    }
    Compact();
    return;
  }
  // Inside the track the time the list takes must be free: the first later event may
  // come no sooner than the list's end.
  int32_t following = 0;
  while (following < event_count && ticks[static_cast<size_t>(following)] <= tick) ++following;
  const int64_t room = ticks[static_cast<size_t>(following)] - tick;
  if (room < int64_t{end} - tick || room < t - tick) {
    ErrorMsg(kM1tkNegativeDelta);
    return;
  }
  for (int32_t k = 0; k < n; ++k) {
    InsertEventAtTime(SaturatedDelta(at[static_cast<size_t>(k)]), new MidiEvent(*list[k]), 1);
  }
  Compact();
}
