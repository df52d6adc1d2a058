// MIDI track: adding, inserting, deleting, compacting and regrouping events, and the
// builders of the common events.
#include <algorithm>
#include <cstring>
#include <vector>

#include "music/controllers.h"
#include "music/midi_track.h"
#include "util/gne_pitch.h"
#include "util/gne_text.h"

namespace {

MidiEvent* NewEvent(uint32_t status, int32_t delta) {
  MidiEvent* e = new MidiEvent(delta);
  e->status = status;
  return e;
}

}  // namespace

// ---------------------------------------------------------------- primitives

void MidiTrack::AddEvent(MidiEvent* event) {
  if (event == nullptr) return;
  if (event_count > kTrackEventLimit - 1) ErrorMsg(kMdtkTooMuchData);
  AppendUnchecked(event);
}

void MidiTrack::AddEventCopy(const MidiEvent& event) { AddEvent(new MidiEvent(event)); }

void MidiTrack::InsertEvent(int32_t index, int placement, MidiEvent* event) {
  if (event == nullptr) return;
  int64_t at = placement == 2 ? int64_t{index} : int64_t{index} + 1;
  if (at < 0) at = 0;
  if (at > event_count) at = event_count;
  ReserveEvents(event_count + 1);
  std::memmove(events + at + 1, events + at,
               static_cast<size_t>(event_count - at) * sizeof(MidiEvent*));
  events[at] = event;
  ++event_count;
}

void MidiTrack::InsertEventAtTime(int32_t tick, MidiEvent* event, int placement) {
  if (event == nullptr) return;
  if (tick == -1) {
    if (event_count == 0) {
      event->delta = 0;
      AppendUnchecked(event);
      return;
    }
    MidiEvent* last = events[event_count - 1];
    event->delta = last->delta;
    last->delta = 0;
    InsertEvent(event_count - 1, 2, event);
    return;
  }
  // The first event (the last one aside) at or after the tick.
  int64_t abs_tick = 0;
  int64_t before = 0;
  for (int32_t i = 0; i + 1 < event_count; ++i) {
    abs_tick += events[i]->delta;
    if (abs_tick >= tick) {
      event->delta = static_cast<int32_t>(tick - before);
      events[i]->delta = static_cast<int32_t>(abs_tick - tick);
      InsertEvent(i, 2, event);
      if (placement != 2) {
        int32_t j = i;
        while (j + 1 < event_count && events[j + 1]->delta == 0 && !IsEndOfTrack(events[j + 1])) {
          SwapEvents(j, j + 1);
          ++j;
        }
      }
      return;
    }
    before = abs_tick;
  }
  const int64_t reference = before;  // tick of the second-to-last event (0 when fewer than two)
  if (event_count == 0) {
    event->delta = tick;
    AppendUnchecked(event);
    return;
  }
  MidiEvent* last = events[event_count - 1];
  if (IsEndOfTrack(event)) {
    if (IsEndOfTrack(last)) {
      last->delta = static_cast<int32_t>(tick - reference);
      delete event;
      return;
    }
    int64_t delta = tick - (reference + last->delta);
    if (delta < 0) ErrorMsg(kMdtkBadTiming);
    event->delta = static_cast<int32_t>(delta);
    AppendUnchecked(event);
    return;
  }
  int64_t delta = tick - reference;
  event->delta = static_cast<int32_t>(delta);
  int64_t rest = last->delta - delta;
  last->delta = static_cast<int32_t>(rest < 0 ? 0 : rest);
  InsertEvent(event_count - 1, 2, event);
}

int MidiTrack::DeleteEvent(int32_t index) {
  if (index < 0 || index >= event_count) return event_count;
  MidiEvent* e = events[index];
  if (index + 1 < event_count) events[index + 1]->delta = SaturatedDelta(int64_t{events[index + 1]->delta} + e->delta);
  delete e;
  std::memmove(events + index, events + index + 1,
               static_cast<size_t>(event_count - index - 1) * sizeof(MidiEvent*));
  --event_count;
  events[event_count] = nullptr;
  return event_count;
}

void MidiTrack::Compact() {
  int32_t kept = 0;
  int64_t carry = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status == kStatusDeleted) {
      carry += e->delta;
      delete e;
      continue;
    }
    e->delta = SaturatedDelta(e->delta + carry);
    carry = 0;
    events[kept++] = e;
  }
  for (int32_t i = kept; i < event_count; ++i) events[i] = nullptr;
  event_count = kept;
}

void MidiTrack::SwapEvents(int32_t i, int32_t j) {
  if (i == j || i < 0 || j < 0 || i >= event_count || j >= event_count) return;
  std::swap(events[i], events[j]);
  std::swap(events[i]->delta, events[j]->delta);  // each position keeps its delta
}

void MidiTrack::SwapEventsChecked(int32_t i, int32_t j) {
  if (i < 0 || j < 0 || i >= event_count || j >= event_count) return;
  if (events[i]->delta != 0 || events[j]->delta != 0) ErrorMsg(kMdtkBadTiming);
  std::swap(events[i], events[j]);
}

void MidiTrack::SwapEventPointers(int32_t i, int32_t j) {
  if (i < 0 || j < 0 || i >= event_count || j >= event_count) return;
  std::swap(events[i], events[j]);
}

void MidiTrack::MoveEventBack(int32_t from, int32_t to) {
  if (to > from) {
    ErrorMsg(kMdtkMoveFailed);
    return;
  }
  if (to < 0 || from >= event_count) return;
  for (int32_t k = from; k > to; --k) SwapEvents(k, k - 1);
}

void MidiTrack::AddDeltaAt(int32_t tick, int32_t amount) {
  int64_t abs_tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    abs_tick += events[i]->delta;
    if (abs_tick >= tick) {
      events[i]->delta = SaturatedDelta(int64_t{events[i]->delta} + amount);
      return;
    }
  }
}

void MidiTrack::KeepOneEndOfTrack() {
  bool last_is_end = LastIsEndOfTrack();
  int32_t stop = last_is_end ? event_count - 1 : event_count;
  for (int32_t i = stop - 1; i >= 0; --i) {
    if (IsEndOfTrack(events[i])) DeleteEvent(i);
  }
  if (!last_is_end) {
    MidiEvent* e = NewEvent(kStatusMeta, 0);
    e->number = 0x2F;
    AppendUnchecked(e);
  }
}

void MidiTrack::DeleteAllEndOfTrack() {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (IsEndOfTrack(events[i])) DeleteEvent(i);
  }
}

void MidiTrack::ClearToEndOfTrack() {
  if (mode != kTrackEvents && mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  for (int32_t i = 0; i + 1 < event_count; ++i) events[i]->status = kStatusDeleted;
  Compact();
  if (event_count != 1 || !IsEndOfTrack(events[0])) ErrorMsg(kMdtkInternal);
}

// ---------------------------------------------------------------- regrouping

namespace {

// Calls fn(first, last) for every same-tick group.
template <typename Fn>
void ForEachGroup(MidiTrack& track, Fn fn) {
  int32_t g = 0;
  while (g < track.event_count) {
    int32_t end = g;
    while (end + 1 < track.event_count && track.events[end + 1]->delta == 0) ++end;
    fn(g, end);
    g = end + 1;
  }
}

// Moves the chosen events of each group to its front by swapping with the next front
// position (the moved events keep their order, the others may not).
template <typename Pred>
void SwapToFront(MidiTrack& track, Pred pred) {
  ForEachGroup(track, [&](int32_t first, int32_t last) {
    int32_t front = first;
    for (int32_t i = first; i <= last; ++i) {
      if (pred(*track.events[i])) {
        track.SwapEvents(i, front);
        ++front;
      }
    }
  });
}

// Moves the chosen events of each group to its front keeping the order of all events
// (each position keeps its delta).
template <typename Pred>
void StableToFront(MidiTrack& track, Pred pred) {
  std::vector<int32_t> deltas;
  ForEachGroup(track, [&](int32_t first, int32_t last) {
    if (first == last) return;
    auto chosen = [&](MidiEvent* e) { return pred(*e); };
    if (std::is_partitioned(track.events + first, track.events + last + 1, chosen)) return;
    deltas.clear();
    for (int32_t i = first; i <= last; ++i) deltas.push_back(track.events[i]->delta);
    std::stable_partition(track.events + first, track.events + last + 1, chosen);
    for (int32_t i = first; i <= last; ++i) track.events[i]->delta = deltas[i - first];
  });
}

bool IsNoteOnOrOff(const MidiEvent& e) {
  return e.status == kStatusNoteOn || e.status == kStatusNoteOff;
}

bool DataContains(const MidiEvent& e, const char* text) {
  const uint8_t* p = e.GetDataPointer();
  if (p == nullptr) return false;
  int32_t n = e.data_length < 0 ? 0 : e.data_length;
  if (n > e.DataBlockSize()) n = e.DataBlockSize();
  std::string hay(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
  hay = hay.c_str();  // the payload read as a text
  return GneContainsPattern(hay.c_str(), text) != 0;
}

}  // namespace

void MidiTrack::MoveNonNotesFirst() {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  // The notes keep their order too: a saved song read back and saved again must give
  // the same bytes, and the order of the note-offs of a tick follows that of the
  // note-ons when the song passes through note mode.
  StableToFront(*this, [](const MidiEvent& e) { return !IsNoteOnOrOff(e) && !IsEndOfTrack(&e); });
}

void MidiTrack::MoveControllersFirst() {
  SwapToFront(*this, [](const MidiEvent& e) { return e.status == kStatusController; });
}

void MidiTrack::MoveStatusFirst(uint32_t status_value) {
  StableToFront(*this, [&](const MidiEvent& e) { return e.status == status_value; });
}

void MidiTrack::MoveStatusNumberFirst(uint32_t status_value, uint32_t number_value) {
  StableToFront(*this, [&](const MidiEvent& e) {
    return e.status == status_value && e.number == number_value;
  });
}

void MidiTrack::MoveSysExFirst() {
  SwapToFront(*this, [](const MidiEvent& e) {
    return e.status == kStatusSysEx || e.status == kStatusSysExEscape;
  });
}

void MidiTrack::MoveGmSystemOnFirst() {
  static const uint8_t kGmOn[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  SwapToFront(*this, [](const MidiEvent& e) {
    if (e.status != kStatusSysEx && e.status != kStatusSysExEscape) return false;
    const uint8_t* p = e.GetDataPointer();
    if (p == nullptr || e.data_length <= 0 || e.data_length > 7 ||
        e.data_length > e.DataBlockSize())
      return false;
    return std::memcmp(p, kGmOn, static_cast<size_t>(e.data_length)) == 0;
  });
}

void MidiTrack::MoveEventsFirst(uint32_t status_value, int32_t number_value, const char* text) {
  const bool with_text = text != nullptr && text[0] != 0;
  StableToFront(*this, [&](const MidiEvent& e) {
    if (e.status != status_value) return false;
    if (number_value != -1 && e.number != static_cast<uint32_t>(number_value)) return false;
    return !with_text || DataContains(e, text);
  });
}

// ---------------------------------------------------------------- builders

void MidiTrack::AddControlChange(int32_t channel, int32_t number, int32_t value) {
  MidiEvent* e = new MidiEvent(0);
  e->SetControlChange(channel, number, value);
  const uint8_t data[3] = {0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value)};
  e->SetDataQuietly(data, 3);
  InsertEvent(event_count - 1, 1, e);
}

void MidiTrack::AddProgramChange(int32_t channel, int32_t program) {
  MidiEvent* e = new MidiEvent(0);
  e->SetProgramChange(channel, program);
  const uint8_t data[2] = {0xC0, static_cast<uint8_t>(program)};
  e->SetDataQuietly(data, 2);
  InsertEvent(event_count - 1, 1, e);
}

void MidiTrack::AddBankMsbProgram(int32_t channel, int32_t bank_msb, int32_t program) {
  AddControlChange(channel, 0, bank_msb);
  AddProgramChange(channel, program);
}

void MidiTrack::AddBankProgram(int32_t channel, int32_t bank_msb, int32_t bank_lsb,
                               int32_t program) {
  AddControlChange(channel, 0, bank_msb);
  AddControlChange(channel, 32, bank_lsb);
  AddProgramChange(channel, program);
}

void MidiTrack::AddBankProgram2(int32_t channel, int32_t bank_msb, int32_t bank_lsb,
                                int32_t program) {
  AddBankProgram(channel, bank_msb, bank_lsb, program);
}

void MidiTrack::AddBendSensitivity(int32_t delta, int32_t channel, int32_t semitones) {
  MidiEvent* a = new MidiEvent(delta);
  a->SetControlChange(channel, 101, 0);
  AddEvent(a);
  MidiEvent* b = new MidiEvent(0);
  b->SetControlChange(channel, 100, 0);
  AddEvent(b);
  MidiEvent* c = new MidiEvent(0);
  c->SetControlChange(channel, 6, semitones);
  AddEvent(c);
}

void MidiTrack::AddNote(int32_t channel, int32_t delta, int32_t note, int32_t velocity,
                        int32_t duration) {
  if (event_count > kTrackEventLimit) return;
  MidiEvent* e = new MidiEvent(delta);
  e->SetNote(channel, note, velocity, duration);
  const uint8_t data = 0x10;
  e->SetDataQuietly(&data, 1);
  InsertEvent(event_count - 1, 1, e);
}

void MidiTrack::AddMetaEvent(int32_t delta, int32_t type, const void* bytes, int32_t length) {
  if (length > 127) ErrorMsg(kMdtkTextTooLong);
  MidiEvent* e = NewEvent(kStatusMeta, delta);
  e->number = static_cast<uint32_t>(type);
  if (bytes != nullptr && length > 0) e->SetDataQuietly(bytes, length);
  AddEvent(e);
}

void MidiTrack::AddMarker(int32_t delta, const char* text) {
  if (text == nullptr) text = "";
  AddMetaEvent(delta, 0x06, text, static_cast<int32_t>(std::strlen(text)));
}

void MidiTrack::AddEndOfTrackAt(int32_t delta) {
  if (LastIsEndOfTrack()) return;
  MidiEvent* e = NewEvent(kStatusMeta, delta);
  e->number = 0x2F;
  const uint8_t data[3] = {0xFF, 0x2F, 0x00};
  e->SetDataQuietly(data, 3);
  AppendUnchecked(e);
}

void MidiTrack::AddTempo(int32_t microseconds) {
  MidiEvent* e = new MidiEvent(0);
  e->SetTempo(microseconds);
  AddEvent(e);
}

void MidiTrack::AddTempoOrDefault(int32_t microseconds) {
  if (microseconds == 0) {
    ErrorMsg(kMdtkBadTempoData);
    microseconds = 500000;
  }
  MidiEvent* e = new MidiEvent(0);
  e->SetTempo(microseconds);
  AppendUnchecked(e);
}

void MidiTrack::AddTimeSignature(int32_t numerator, int32_t power_of_two) {
  MidiEvent* e = NewEvent(kStatusMeta, 0);
  e->number = 0x58;
  if (power_of_two >= 0 && power_of_two <= 7) {
    e->value = numerator * 256 + (1 << power_of_two);
  } else {
    ErrorMsg(kMdtkBadMetre);
    e->value = 0x404;
  }
  const uint8_t data[4] = {static_cast<uint8_t>(numerator), static_cast<uint8_t>(power_of_two),
                           0x12, 0x08};
  e->SetDataQuietly(data, 4);
  AddEvent(e);
}

void MidiTrack::AddTimeSignatureFraction(int32_t numerator, int32_t denominator) {
  int32_t power = 0;
  while (denominator != 1) {
    if (denominator <= 0) {
      ErrorMsg(0);
      return;
    }
    denominator /= 2;
    ++power;
  }
  AddTimeSignature(numerator, power);
}

void MidiTrack::AddKeySignature(int32_t delta, int32_t key_index, int32_t key_mode) {
  static const int8_t kSharpsOrFlats[12] = {0, 7, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
  int8_t count = (key_index >= 0 && key_index < 12) ? kSharpsOrFlats[key_index] : 0;
  const uint8_t data[2] = {static_cast<uint8_t>(count), static_cast<uint8_t>(key_mode)};
  AddMetaEvent(delta, 0x59, data, 2);
}

void MidiTrack::SetKeySignatureAt(int32_t tick, int32_t key_mode, int32_t sharps_or_flats) {
  int64_t abs_tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    abs_tick += events[i]->delta;
    if (abs_tick > tick) break;
    MidiEvent& e = *events[i];
    if (abs_tick == tick && e.status == kStatusMeta && e.number == 0x59) {
      e.SetDataByte(0, sharps_or_flats & 0xFF);
      e.SetDataByte(1, key_mode & 0xFF);
      if (e.data_length < 2) e.data_length = 2;
      return;
    }
  }
  const uint8_t data[2] = {static_cast<uint8_t>(sharps_or_flats), static_cast<uint8_t>(key_mode)};
  InsertMetaAtTime(tick, 0x59, data, 2);
}

void MidiTrack::InsertMetaTextAtStart(int32_t type, const char* text) {
  MidiEvent* e = NewEvent(kStatusMeta, 0);
  e->number = static_cast<uint32_t>(type);
  size_t n = text ? std::strlen(text) : 0;
  if (n == 0) {
    const uint8_t zero = 0;
    e->SetDataQuietly(&zero, 1);
  } else {
    e->SetDataQuietly(text, static_cast<int32_t>(n));
  }
  InsertEventAtTime(0, e, 1);
}

void MidiTrack::InsertMetaAtStart(int32_t type, const char* text) {
  MidiEvent* e = NewEvent(kStatusMeta, 0);
  e->number = static_cast<uint32_t>(type);
  size_t n = text ? std::strlen(text) : 0;
  if (n > 127) ErrorMsg(kMdtkTextTooLong);
  if (n > 0) e->SetDataQuietly(text, static_cast<int32_t>(n));
  InsertEvent(0, 2, e);
}

void MidiTrack::InsertMetaAtTime(int32_t tick, int32_t type, const void* bytes, int32_t length) {
  if (length == 0 && bytes != nullptr) {
    length = static_cast<int32_t>(std::strlen(static_cast<const char*>(bytes)));
  }
  if (length > 127) ErrorMsg(kMdtkTextTooLong);
  MidiEvent* e = NewEvent(kStatusMeta, 0);
  e->number = static_cast<uint32_t>(type);
  if (bytes != nullptr && length > 0) e->SetDataQuietly(bytes, length);
  InsertEventAtTime(tick, e, 1);
}

void MidiTrack::InsertControllerAtStart(int32_t channel, int32_t number, int32_t value) {
  MidiEvent* e = new MidiEvent(0);
  e->SetControlChange(channel, number, value);
  const uint8_t data[3] = {0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value)};
  e->SetDataQuietly(data, 3);
  InsertEvent(0, 2, e);
}

void MidiTrack::InsertVolumeAtStart(int32_t value) {
  InsertControllerAtStart(GetChannel(), cc::kVolume, value);
}

void MidiTrack::InsertProgramAtStart(int32_t channel, int32_t program) {
  MidiEvent* e = new MidiEvent(0);
  e->SetProgramChange(channel, program);
  InsertEvent(0, 2, e);
}

int MidiTrack::InsertProgramBeforeFirstEvent(int32_t channel, int32_t program) {
  if (channel > 15) ErrorMsg(kMdtkBadChannel2);
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->channel == channel) {
      MidiEvent* e = new MidiEvent(events[i]->delta);
      e->SetProgramChange(channel, program);
      events[i]->delta = 0;
      InsertEvent(i, 2, e);
      return 1;
    }
  }
  return 0;
}

void MidiTrack::InsertTempoAtIndex(int32_t index, int32_t microseconds) {
  MidiEvent* e = new MidiEvent(0);
  e->SetTempo(microseconds);
  InsertEvent(index, 2, e);
}

void MidiTrack::SetTempoAt(int32_t tick, int32_t microseconds) {
  int64_t abs_tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    abs_tick += events[i]->delta;
    if (abs_tick > tick) break;
    MidiEvent& e = *events[i];
    if (abs_tick == tick && e.status == kStatusMeta && e.number == 0x51) {
      e.SetTempo(microseconds);
      return;
    }
  }
  MidiEvent* e = new MidiEvent(0);
  e->SetTempo(microseconds);
  InsertEventAtTime(tick, e, 1);
}

void MidiTrack::AddNoteAtTime(int32_t channel, int32_t tick, int32_t note, int32_t velocity,
                              int32_t duration) {
  MidiEvent* e = new MidiEvent(0);
  e->SetNote(channel, note, velocity, duration);
  InsertEventAtTime(tick, e, 1);
}

void MidiTrack::InsertPitchBendCents(double cents, int32_t range, int32_t channel, int32_t tick) {
  MidiEvent* e = NewEvent(kStatusPitchBend, 0);
  e->channel = channel;
  e->SetPitchBend(GneCentsToPitchBend(cents, range) + 8192);
  InsertEventAtTime(tick, e, 1);
}

void MidiTrack::InsertBendSensitivityAtStart(int32_t channel, int32_t semitones) {
  if (channel == -1) {
    ErrorMsg(kMdtkBadChannel2);
    return;
  }
  const int32_t numbers[3] = {101, 100, 6};
  const int32_t values[3] = {0, 0, semitones};
  for (int k = 0; k < 3; ++k) {
    MidiEvent* e = new MidiEvent(0);
    e->SetControlChange(channel, numbers[k], values[k]);
    InsertEventAtTime(0, e, 1);
  }
}
