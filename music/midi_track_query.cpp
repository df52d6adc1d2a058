// MIDI track: read-only questions about the events (channel, programs, controllers,
// times, tempi, counts and predicates). Ticks are absolute; ranges [from, to) unless
// a question says otherwise.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "music/controllers.h"
#include "music/midi_track.h"
#include "util/gne_music.h"

namespace {

bool Is(const MidiEvent& e, uint32_t status) { return e.status == status; }

// Calls fn(event, absolute tick, index) for every event in order; fn returns false to stop.
template <typename Fn>
void Walk(const MidiTrack& t, Fn fn) {
  int64_t tick = 0;
  for (int32_t i = 0; i < t.event_count; ++i) {
    tick += t.events[i]->delta;
    if (!fn(*t.events[i], tick, i)) return;
  }
}

int32_t Clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

bool NeedMode2(const MidiTrack& t) {
  if (t.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}

bool NeedMode12(const MidiTrack& t) {
  if (t.mode == kTrackEvents || t.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}

// Event-mode copy of a note-mode track (only its events: no byte buffer is needed).
std::unique_ptr<MidiTrack> EventModeCopy(const MidiTrack& t) {
  auto copy = std::make_unique<MidiTrack>(t, 0);
  copy->ToEventMode();
  return copy;
}

int64_t SpanMicroseconds(int64_t ticks, int32_t division, int32_t tempo) {
  if (division <= 0 || ticks <= 0) return 0;
  return static_cast<int64_t>(static_cast<double>(ticks) / division * tempo);
}

}  // namespace

// ---------------------------------------------------------------- channel, programs, controllers

int MidiTrack::GetChannel() const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.channel != kNoChannel && e.status != kStatusSysEx && e.status != kStatusSysExEscape) {
      return e.channel;
    }
  }
  return kNoChannel;
}

int MidiTrack::GetFirstProgramOfChannel(int32_t channel) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (Is(*events[i], kStatusProgram) && events[i]->channel == channel) return events[i]->value;
  }
  return -1;
}

int MidiTrack::GetLastProgram(int32_t channel) const {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (Is(*events[i], kStatusProgram) && events[i]->channel == channel) return events[i]->value;
  }
  return -1;
}

int MidiTrack::GetFirstNonZeroProgram(int32_t channel) const {
  int result = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (!Is(e, kStatusProgram) || e.channel != channel) continue;
    if (e.value != 0) return e.value;
    result = 0;
  }
  return result;
}

int MidiTrack::GetFirstNonZeroProgramAny() const {
  int result = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (!Is(e, kStatusProgram)) continue;
    if (e.value != 0) return e.value;
    result = 0;
  }
  return result;
}

int MidiTrack::GetProgramBefore(int32_t channel, int32_t tick, int inclusive) const {
  if (!NeedMode12(*this)) return -1;
  int result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (inclusive ? t > tick : t >= tick) return false;
    if (Is(e, kStatusProgram) && e.channel == channel) result = e.value;
    return true;
  });
  return result;
}

int MidiTrack::ProgramsUsed(int32_t channel, int* flags128) const {
  if (flags128 == nullptr) return event_count;
  std::fill(flags128, flags128 + 128, 0);
  flags128[0] = 1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (Is(e, kStatusProgram) && e.channel == channel && e.value >= 0 && e.value < 128) {
      flags128[e.value] = 1;
    }
  }
  return event_count;
}

int MidiTrack::GetFirstControllerValue(int32_t number) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (Is(e, kStatusController) && e.number == static_cast<uint32_t>(number)) return e.value;
  }
  return -1;
}

int MidiTrack::GetFirstControllerValueOfChannel(int32_t number, int32_t channel) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (Is(e, kStatusController) && e.number == static_cast<uint32_t>(number) &&
        e.channel == channel)
      return e.value;
  }
  return -1;
}

int MidiTrack::GetMaxControllerValue(int32_t number) const {
  int result = 0;
  bool any = false;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (Is(e, kStatusController) && e.number == static_cast<uint32_t>(number)) {
      result = any ? std::max(result, e.value) : e.value;
      any = true;
    }
  }
  return result;
}

int MidiTrack::GetControllerValueBefore(int32_t number, int32_t channel, int32_t tick,
                                        int inclusive) const {
  if (!NeedMode12(*this)) return -1;
  int result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (inclusive ? t > tick : t >= tick) return false;
    if (Is(e, kStatusController) && e.number == static_cast<uint32_t>(number) &&
        e.channel == channel)
      result = e.value;
    return true;
  });
  return result;
}

namespace {

int LastControllerValue(const MidiTrack& t, uint32_t number, int warn, uint32_t warning) {
  int result = -1;
  int count = 0;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent& e = *t.events[i];
    if (e.status == kStatusController && e.number == number) {
      result = e.value;
      ++count;
    }
  }
  if (count > 1 && warn == 1) MidiTrack::WarningMsg(warning);
  return result;
}

int FirstTickOf(const MidiTrack& t, int32_t* out_channel, int64_t from, int64_t to,
                const std::function<bool(const MidiEvent&)>& pred) {
  int result = -1;
  Walk(t, [&](const MidiEvent& e, int64_t tick, int32_t) {
    if (tick > to) return false;
    if (tick >= from && pred(e)) {
      result = Clamp32(tick);
      if (out_channel != nullptr) *out_channel = e.channel;
      return false;
    }
    return true;
  });
  return result;
}

}  // namespace

int MidiTrack::GetVolume(int warn) const {
  return LastControllerValue(*this, cc::kVolume, warn, kMdtkManyVolumes);
}

int MidiTrack::GetPan(int warn) const {
  return LastControllerValue(*this, cc::kPan, warn, kMdtkManyPans);
}

int MidiTrack::FindFirstController(int32_t number, int32_t* out_channel) const {
  return FindFirstControllerBetween(number, out_channel, INT32_MIN, INT32_MAX);
}

int MidiTrack::FindFirstControllerBetween(int32_t number, int32_t* out_channel, int32_t from,
                                          int32_t to) const {
  return FirstTickOf(*this, out_channel, from, to, [&](const MidiEvent& e) {
    return e.status == kStatusController && e.number == static_cast<uint32_t>(number);
  });
}

int MidiTrack::FindFirstPitchBend(int32_t* out_channel) const {
  return FindFirstPitchBendBetween(out_channel, INT32_MIN, INT32_MAX);
}

int MidiTrack::FindFirstPitchBendBetween(int32_t* out_channel, int32_t from, int32_t to) const {
  return FirstTickOf(*this, out_channel, from, to,
                     [](const MidiEvent& e) { return e.status == kStatusPitchBend; });
}

int MidiTrack::GetPitchBendAt(int32_t /*channel*/, int32_t tick) const {
  int result = 8192;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= tick) return false;
    if (Is(e, kStatusPitchBend)) result = e.value * 128 + e.note;
    return true;
  });
  return result;
}

int MidiTrack::CompareWithPreviousBend(int32_t index) const {
  if (index < 0 || index >= event_count || !Is(*events[index], kStatusPitchBend)) {
    ErrorMsg(kMdtkBadBend);
    return 0;
  }
  for (int32_t i = index - 1; i >= 0; --i) {
    if (!Is(*events[i], kStatusPitchBend)) continue;
    int a = events[index]->value, b = events[i]->value;
    return a > b ? 1 : (a < b ? -1 : 0);
  }
  return 0;
}

// ---------------------------------------------------------------- times

int32_t MidiTrack::GetEventTime(int32_t index) const {
  if (index < 0) return 0;
  int64_t t = 0;
  for (int32_t i = 0; i <= index && i < event_count; ++i) t += events[i]->delta;
  return Clamp32(t);
}

int32_t MidiTrack::IndexAtTime(int32_t tick) const {
  int32_t result = event_count - 1;
  Walk(*this, [&](const MidiEvent&, int64_t t, int32_t i) {
    if (t >= tick) {
      result = i;
      return false;
    }
    return true;
  });
  return result;
}

int32_t MidiTrack::CountEventsBetween(int32_t from, int32_t to) const {
  return IndexAtTime(to) - IndexAtTime(from) + 1;
}

int32_t MidiTrack::GetGroupEnd(int32_t index) const {
  if (index < 0) return index;
  while (index + 1 < event_count && events[index + 1]->delta == 0) ++index;
  return index;
}

int32_t MidiTrack::FindFirstEventTime(uint32_t status_value, uint32_t number_value) const {
  int32_t result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status == status_value && e.number == number_value) {
      result = Clamp32(t);
      return false;
    }
    return true;
  });
  return result;
}

int32_t MidiTrack::GetFirstNoteOnTime() const {
  if (!NeedMode12(*this)) return 0;
  const uint32_t wanted = mode == kTrackEvents ? kStatusNoteOn : kStatusNote;
  int32_t result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status == wanted) {
      result = Clamp32(t);
      return false;
    }
    return true;
  });
  return result >= 0 ? result : GetLength();
}

int32_t MidiTrack::GetFirstNoteTime() const {
  int32_t result = FindFirstEventTimeOfStatus(kStatusNote);
  return result >= 0 ? result : GetLength();
}

int32_t MidiTrack::FindFirstEventTimeOfStatus(uint32_t status_value) const {
  int32_t result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status == status_value) {
      result = Clamp32(t);
      return false;
    }
    return true;
  });
  return result;
}

int32_t MidiTrack::GetFirstNoteTimeBetween(int32_t from, int32_t to) const {
  int32_t note_tick = -1, event_tick = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (note_tick < 0 && t >= from && e.status == kStatusNote) note_tick = Clamp32(t);
    if (event_tick < 0 && t >= to) event_tick = Clamp32(t);
    return note_tick < 0 || event_tick < 0;
  });
  if (note_tick >= 0 && note_tick < to) return note_tick;
  if (event_tick >= 0) return event_tick;
  return GetLength();
}

int32_t MidiTrack::GetLastNoteStartBetween(int32_t from, int32_t to) const {
  int32_t result = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= to) return false;
    if (t >= from && e.status == kStatusNote) result = Clamp32(t);
    return true;
  });
  return result;
}

int32_t MidiTrack::GetTimeToNextNoteOn(int32_t index) const {
  if (!NeedMode12(*this)) return 0;
  if (index >= event_count) return 0;
  if (index < 0) index = 0;
  if (index == event_count - 1) return -1;
  const uint32_t wanted = mode == kTrackEvents ? kStatusNoteOn : kStatusNote;
  int64_t sum = 0;
  for (int32_t i = index + 1; i < event_count; ++i) {
    sum += events[i]->delta;
    if (events[i]->status == wanted) return Clamp32(sum);
  }
  return -1;
}

int32_t MidiTrack::GetTimeToNextNote(int32_t index) const {
  if (index < 0) index = 0;
  int64_t sum = 0;
  for (int32_t i = index + 1; i < event_count; ++i) {
    sum += events[i]->delta;
    if (events[i]->status == kStatusNote) return Clamp32(sum);
  }
  return -1;
}

int32_t MidiTrack::GetNoteDurationAt(int32_t tick) const {
  if (!NeedMode2(*this)) return -1;
  int32_t result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t > tick) return false;
    if (t == tick && e.status == kStatusNote) {
      result = e.duration;
      return false;
    }
    return true;
  });
  return result;
}

void MidiTrack::FindHighestNoteFrom(int32_t tick, int32_t* out_pitch, int32_t* out_tick) const {
  if (mode != kTrackNotes) ErrorMsg(kMdtkInternal);
  int32_t pitch = -1, at = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= tick && e.status == kStatusNote && e.note > pitch) {
      pitch = e.note;
      at = Clamp32(t);
    }
    return true;
  });
  if (out_pitch) *out_pitch = pitch;
  if (out_tick) *out_tick = at;
}

int32_t MidiTrack::FindFirstNote() const {
  if (!NeedMode2(*this)) return 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote) return i;
  }
  return event_count;
}

int32_t MidiTrack::GetLastNoteOffTime() const {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  int32_t result = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status == kStatusNoteOff) result = Clamp32(t);
    return true;
  });
  return result;
}

int32_t MidiTrack::GetLastNoteOffTimeAny() const {
  if (mode == kTrackNotes) return EventModeCopy(*this)->GetLastNoteOffTimeAny();
  int32_t result = -1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status == kStatusNoteOff) result = Clamp32(t);
    return true;
  });
  if (result >= 0) return result;
  return event_count > 0 ? events[0]->delta : 0;
}

int32_t MidiTrack::GetEndTime() const {
  if (!NeedMode2(*this)) return 0;
  int64_t end = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    int64_t at = e.status == kStatusNote ? t + e.duration : t;
    end = std::max(end, at);
    return true;
  });
  return Clamp32(end);
}

std::vector<int64_t> MidiTrack::EventTicks() const {
  std::vector<int64_t> ticks(static_cast<size_t>(event_count > 0 ? event_count : 0));
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    at += events[i]->delta;
    ticks[static_cast<size_t>(i)] = at;
  }
  return ticks;
}

int32_t MidiTrack::GetLength() const {
  if (mode == kTrackNotes) return EventModeCopy(*this)->GetLength();
  int64_t sum = 0;
  for (int32_t i = 0; i < event_count; ++i) sum += events[i]->delta;
  return Clamp32(sum);
}

int32_t MidiTrack::GetTempoAt(int32_t tick) const {
  int32_t result = 600000;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t > tick) return false;
    if (e.status == kStatusMeta && e.number == 0x51) result = e.value;
    return true;
  });
  return result;
}

int MidiTrack::GetFirstTempo(int32_t* out) const { return GetNthTempo(out, 1); }

int MidiTrack::GetNthTempo(int32_t* out, int32_t n) const {
  int32_t found = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusMeta && e.number == 0x51) {
      if (out) *out = e.value;
      if (++found >= n) return 1;
    }
  }
  return 0;
}

int32_t MidiTrack::GetTimeSignatureAt(int32_t tick) const {
  int32_t result = 0x404;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t > tick) return false;
    if (e.status == kStatusMeta && e.number == 0x58) result = e.value;
    return true;
  });
  return result;
}

int MidiTrack::GetFirstTimeSignature(int32_t* out) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusMeta && e.number == 0x58) {
      if (out) *out = e.value;
      return 1;
    }
  }
  return 0;
}

double MidiTrack::GetSecondsUpTo(int32_t start, int32_t end, int32_t division) const {
  if (start != 0) ErrorMsg(kMdtkPlayStart);
  double seconds = 0;
  int32_t tempo = 500000;
  int64_t previous = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    int64_t upto = std::min<int64_t>(t, end);
    if (upto > previous) {
      seconds += GneTicksToSeconds(Clamp32(upto - previous), division, tempo);
      previous = upto;
    }
    if (t >= end) return false;
    if (e.status == kStatusMeta && e.number == 0x51) tempo = e.value;
    return true;
  });
  if (end > previous) seconds += GneTicksToSeconds(Clamp32(end - previous), division, tempo);
  return seconds;
}

double MidiTrack::GetSecondsBetween(int32_t from, int32_t to, int32_t division) const {
  double seconds = 0;
  int32_t tempo = GneBpmToTempo(120);
  int64_t position = from;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    bool is_tempo = e.status == kStatusMeta && e.number == 0x51;
    if (t < from) {
      if (is_tempo) tempo = e.value;
      return true;
    }
    if (t > to) return false;
    if (is_tempo) {
      seconds += GneTicksToSeconds(Clamp32(t - position), division, tempo);
      position = t;
      tempo = e.value;
    }
    return true;
  });
  if (to > position) seconds += GneTicksToSeconds(Clamp32(to - position), division, tempo);
  return seconds;
}

int64_t MidiTrack::GetMicrosecondsAt(int32_t tick, int32_t division, int32_t extra_ticks,
                                     int32_t* out_tempo) const {
  int64_t total = 0;
  int32_t tempo = 500000;
  int64_t previous = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    int64_t t = previous + e.delta;
    total += SpanMicroseconds(t - previous, division, tempo);
    previous = t;
    if (t == tick) {
      if (out_tempo) *out_tempo = tempo;
      return total + SpanMicroseconds(extra_ticks, division, tempo);
    }
    if (e.status == kStatusMeta && e.number == 0x51) tempo = e.value;
  }
  if (out_tempo) *out_tempo = tempo;
  return total;
}

int32_t MidiTrack::AverageNoteSpacing(int32_t channel) const {
  if (!NeedMode2(*this)) return 0;
  int64_t previous_note = 0, sum = 0;
  int32_t count = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status != kStatusNote) return true;
    int64_t d = t - previous_note;
    previous_note = t;
    if (e.channel == channel) {
      sum += d;
      if (d != 0) ++count;
    }
    return true;
  });
  return count > 0 ? Clamp32(sum / count) : 0;
}

// ---------------------------------------------------------------- counts

int32_t MidiTrack::CountEvents(uint32_t status_value) const {
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) n += events[i]->status == status_value;
  return n;
}

int32_t MidiTrack::CountStatusOnChannel(int32_t channel, uint32_t status_value) const {
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    n += events[i]->status == status_value && events[i]->channel == channel;
  }
  return n;
}

int32_t MidiTrack::CountChannel(int32_t channel) const {
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) n += events[i]->channel == channel;
  return n;
}

int32_t MidiTrack::CountMeta(uint32_t type) const {
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    n += events[i]->status == kStatusMeta && events[i]->number == type;
  }
  return n;
}

int32_t MidiTrack::GetNoteCount() const {
  if (!NeedMode12(*this)) return 0;
  return CountEvents(mode == kTrackEvents ? kStatusNoteOn : kStatusNote);
}

int32_t MidiTrack::CountNotesOfChannel(int32_t channel) const {
  if (!NeedMode2(*this)) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    n += e.status == kStatusNote && e.channel == channel && e.velocity > 0;
  }
  return n;
}

int32_t MidiTrack::CountPitch(int32_t pitch) const {
  if (!NeedMode2(*this)) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    n += events[i]->status == kStatusNote && events[i]->note == pitch;
  }
  return n;
}

int32_t MidiTrack::CountNotesBetween(int32_t from, int32_t to) const {
  if (!NeedMode2(*this)) return 0;
  int32_t n = 0;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= to) return false;
    n += t >= from && e.status == kStatusNote;
    return true;
  });
  return n;
}

void MidiTrack::PitchHistogram(int32_t channel, int32_t* counts128) const {
  if (counts128 == nullptr) return;
  std::fill(counts128, counts128 + 128, 0);
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusNote && e.channel == channel && e.note >= 0 && e.note < 128) {
      ++counts128[e.note];
    }
  }
}

int32_t MidiTrack::CountDistinctPitches(const int32_t* excluded, int32_t n) const {
  bool used[128] = {};
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusNote && e.note >= 0 && e.note < 128) used[e.note] = true;
  }
  for (int32_t k = 0; excluded != nullptr && k < n; ++k) {
    if (excluded[k] >= 0 && excluded[k] < 128) used[excluded[k]] = false;
  }
  return static_cast<int32_t>(std::count(std::begin(used), std::end(used), true));
}

int32_t MidiTrack::GetMaxVelocity() const {
  if (!NeedMode2(*this)) return 0;
  int32_t result = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote) result = std::max(result, events[i]->velocity);
  }
  return result;
}

// ---------------------------------------------------------------- predicates

namespace {

int AnyAt(const MidiTrack& track, int32_t tick, const std::function<bool(const MidiEvent&)>& pred) {
  int result = 0;
  Walk(track, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t > tick) return false;
    if (t == tick && pred(e)) {
      result = 1;
      return false;
    }
    return true;
  });
  return result;
}

int AllInRange(const MidiTrack& track, int64_t from, int64_t to,
               const std::function<bool(const MidiEvent&)>& selects,
               const std::function<bool(const MidiEvent&)>& holds) {
  int result = 1;
  Walk(track, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= to) return false;
    if (t >= from && selects(e) && !holds(e)) {
      result = 0;
      return false;
    }
    return true;
  });
  return result;
}

constexpr int64_t kAllTicks = INT64_MAX;

}  // namespace

int MidiTrack::HasEventAt(int32_t tick, uint32_t s) const {
  return AnyAt(*this, tick, [&](const MidiEvent& e) { return e.status == s; });
}

int MidiTrack::HasEventNumberAt(int32_t tick, uint32_t s, uint32_t num) const {
  return AnyAt(*this, tick, [&](const MidiEvent& e) { return e.status == s && e.number == num; });
}

int MidiTrack::HasEventValueAt(int32_t tick, uint32_t s, uint32_t num, int32_t value) const {
  return AnyAt(*this, tick, [&](const MidiEvent& e) {
    return e.status == s && e.number == num && e.value == value;
  });
}

int MidiTrack::HasControllerAt(int32_t tick, uint32_t num) const {
  return HasEventNumberAt(tick, kStatusController, num);
}

int MidiTrack::HasControllerValueAt(int32_t tick, uint32_t num, int32_t value) const {
  return HasEventValueAt(tick, kStatusController, num, value);
}

int MidiTrack::HasProgramChangeAt(int32_t tick) const { return HasEventAt(tick, kStatusProgram); }

int MidiTrack::HasSysExKindAt(int32_t tick, uint32_t kind) const {
  return HasEventNumberAt(tick, kStatusSysEx, kind);
}

int MidiTrack::HasSysExKindValueAt(int32_t tick, uint32_t kind, int32_t value) const {
  return HasEventValueAt(tick, kStatusSysEx, kind, value);
}

int MidiTrack::HasMetaAt(int32_t tick, uint32_t type) const {
  return HasEventNumberAt(tick, kStatusMeta, type);
}

int MidiTrack::HasMetaValueAt(int32_t tick, uint32_t type, int32_t value) const {
  return HasEventValueAt(tick, kStatusMeta, type, value);
}

int MidiTrack::HasStatusBetween(uint32_t s, int32_t from, int32_t to) const {
  return AllInRange(*this, from, to, [&](const MidiEvent& e) { return e.status == s; },
                    [](const MidiEvent&) { return false; })
             ? 0
             : 1;
}

int MidiTrack::AllValuesEqual(uint32_t s, int32_t value) const {
  return AllInRange(*this, INT64_MIN, kAllTicks, [&](const MidiEvent& e) { return e.status == s; },
                    [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrack::AllNumberValuesEqual(uint32_t s, uint32_t num, int32_t value) const {
  return AllInRange(
      *this, INT64_MIN, kAllTicks, [&](const MidiEvent& e) { return e.status == s && e.number == num; },
      [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrack::AllValuesEqualBetween(uint32_t s, int32_t value, int32_t from, int32_t to) const {
  return AllInRange(*this, from, to, [&](const MidiEvent& e) { return e.status == s; },
                    [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrack::AllNumberValuesEqualBetween(uint32_t s, uint32_t num, int32_t value, int32_t from,
                                           int32_t to) const {
  return AllInRange(
      *this, from, to, [&](const MidiEvent& e) { return e.status == s && e.number == num; },
      [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrack::AllValuesWithin(uint32_t s, uint32_t num, int32_t low, int32_t high) const {
  return AllInRange(
      *this, INT64_MIN, kAllTicks, [&](const MidiEvent& e) { return e.status == s && e.number == num; },
      [&](const MidiEvent& e) { return e.value >= low && e.value <= high; });
}

int MidiTrack::AllValuesWithinBetween(uint32_t s, uint32_t num, int32_t low, int32_t high,
                                      int32_t from, int32_t to) const {
  return AllInRange(
      *this, from, to, [&](const MidiEvent& e) { return e.status == s && e.number == num; },
      [&](const MidiEvent& e) { return e.value >= low && e.value <= high; });
}

int MidiTrack::TempoWithin(int32_t low_bpm, int32_t high_bpm) const {
  const int32_t slowest = GneBpmToTempo(low_bpm);
  const int32_t fastest = GneBpmToTempo(high_bpm);
  int result = 1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status != kStatusMeta || e.number != 0x51) continue;
    GneTempoToBpm(e.value);
    if (e.value > slowest || e.value < fastest) result = 0;
  }
  return result;
}

int MidiTrack::TempoWithinBetween(int32_t from, int32_t to, int32_t low_bpm,
                                  int32_t high_bpm) const {
  GneBpmToTempo(low_bpm);
  GneBpmToTempo(high_bpm);
  return AllInRange(
      *this, from, to, [](const MidiEvent& e) { return e.status == kStatusMeta && e.number == 0x51; },
      [&](const MidiEvent& e) {
        int bpm = GneTempoToBpm(e.value);
        return bpm >= low_bpm && bpm <= high_bpm;
      });
}

int MidiTrack::TimeSignaturesOnBarLines(int32_t division) const {
  int64_t bar_start = 0;
  int64_t bar_length = int64_t{division} * 4;
  int result = 1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (e.status != kStatusMeta || e.number != 0x58) return true;
    int64_t offset = t - bar_start;
    bool on_line = bar_length > 0 ? (offset >= 0 && offset % bar_length == 0) : offset == 0;
    if (!on_line) {
      result = 0;
      return false;
    }
    bar_start = t;
    bar_length = static_cast<int64_t>(division * GneQuartersPerBar(e.value));
    return true;
  });
  return result;
}

int MidiTrack::IsOnGrid(int32_t grid) const {
  return IsOnGridBetween(INT32_MIN, INT32_MAX, grid);
}

int MidiTrack::IsOnGridBetween(int32_t from, int32_t to, int32_t grid) const {
  if (!NeedMode2(*this)) return 0;
  if (grid <= 0) return 0;
  int result = 1;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t > to) return false;
    if (t < from || e.status == kStatusMeta) return true;
    if (t % grid != 0 || (e.status == kStatusNote && e.duration % grid != 0)) {
      result = 0;
      return false;
    }
    return true;
  });
  return result;
}

int MidiTrack::HasShortNote(int32_t channel) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusNote && (channel == -1 || e.channel == channel) && e.duration < 60) {
      return 1;
    }
  }
  return 0;
}

int MidiTrack::NoNotesSoundingAt(int32_t tick) const {
  std::map<std::pair<int32_t, int32_t>, int32_t> open;
  Walk(*this, [&](const MidiEvent& e, int64_t t, int32_t) {
    if (t >= tick) return false;
    if (e.status == kStatusNoteOn) {
      ++open[{e.channel, e.note}];
    } else if (e.status == kStatusNoteOff) {
      auto it = open.find({e.channel, e.note});
      if (it != open.end() && it->second > 0) --it->second;
    }
    return true;
  });
  for (const auto& kv : open) {
    if (kv.second > 0) return 0;
  }
  return 1;
}

int MidiTrack::NotesActiveBetween(int32_t from, int32_t to) const {
  if (HasStatusBetween(kStatusNoteOn, from, to) || HasStatusBetween(kStatusNoteOff, from, to)) {
    return 1;
  }
  return NoNotesSoundingAt(from) ? 0 : 1;
}
