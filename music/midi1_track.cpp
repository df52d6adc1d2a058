// Format-1 track: construction, messages and the melody finishing passes.
#include "music/midi1_track.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "music/controllers.h"
#include "music/midi_data.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Errors() {
  static const ModuleErrorReporter reporter(
      "M1TK", "Midiのフォーマット1のトラックデータでエラーが発生しました。",
      {{kM1tkZeroVoices, "０ボイスには間引けません。"}});
  return reporter;
}

ModuleErrorReporter& Warnings() {
  static ModuleErrorReporter reporter(
      "M1TK", "Midiのフォーマット1のトラックデータでエラーが発生しました。",
      {{kM1tkManyBendRanges, "複数のピッチベンドセンシティビティが設定されていました。"},
       {kM1tkMetrePosition, "拍子記号の位置が異常です。"},
       {kM1tkBendOutOfRange, "ピッチベンドの変換可能範囲を超えて変換しようとしました。"}},
      {kM1tkManyBendRanges, kM1tkMetrePosition, kM1tkBendOutOfRange});
  return reporter;
}

bool IsNoteRecord(const MidiEvent* e) { return e->status == kStatusNote; }
bool IsBend(const MidiEvent* e) { return e->status == kStatusPitchBend; }
bool IsController(const MidiEvent* e, int32_t number) {
  return e->status == kStatusController && e->number == static_cast<uint32_t>(number);
}

MidiEvent* NewController(int32_t delta, int32_t channel, int32_t number, int32_t value) {
  auto* e = new MidiEvent(delta);
  e->SetControlChange(channel, number, value);
  return e;
}

MidiEvent* NewBend(int32_t delta, int32_t channel, int32_t bend) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusPitchBend;
  e->channel = channel;
  e->SetPitchBend(bend);
  return e;
}

// Replaces the track's event pointers by the list (the events are the track's own
// or new ones; nothing is freed here).
void SetEventList(MidiTrack& track, const std::vector<MidiEvent*>& list) {
  track.ReserveEvents(static_cast<int32_t>(list.size()));
  for (size_t i = 0; i < list.size(); ++i) track.events[i] = list[i];
  track.event_count = static_cast<int32_t>(list.size());
}

// Keeps the MSB and LSB of the selected registered parameter as the controllers
// pass by: 101 sets the MSB, 100 the LSB, 98 and 99 (a non-registered parameter)
// clear both.
struct RpnSelection {
  int32_t msb = -1;
  int32_t lsb = -1;
  void See(const MidiEvent* e) {
    if (e->status != kStatusController) return;
    if (e->number == 101) msb = e->value;
    if (e->number == 100) lsb = e->value;
    if (e->number == 98 || e->number == 99) msb = lsb = -1;
  }
  bool Is(int32_t m, int32_t l) const { return msb == m && lsb == l; }
};

int32_t ClampPitch(int32_t pitch) {
  if (pitch > 127) {
    Midi1Track::Warn(kM1tkBendToNote);
    return 127;
  }
  return pitch < 0 ? 0 : pitch;
}

}  // namespace

void ResetMidi1TrackModule() { Warnings().ResetWarnings(); }

void Midi1Track::ErrorMsg(uint32_t code) { Errors().ErrorMsg(code); }

void Midi1Track::Warn(uint32_t code) {
  if (code == 0) {
    Warnings().ResetWarnings();
    return;
  }
  Warnings().Warning(code);
}

// ---- construction ----

Midi1Track::Midi1Track(int32_t capacity) : MidiTrack(capacity / 2) { Warn(0); }

Midi1Track::Midi1Track(int32_t track_mode, int32_t capacity)
    : MidiTrack(track_mode, capacity / 2) {
  Warn(0);
}

Midi1Track::Midi1Track(int32_t track_mode, int32_t, int32_t capacity)
    : MidiTrack(track_mode, capacity / 2) {
  Warn(0);
  AddEndOfTrack();
}

Midi1Track::Midi1Track(int64_t file_size, int64_t offset, const uint8_t* bytes,
                       int32_t yield_period, int32_t capacity, MidiParseContext* context)
    : MidiTrack(file_size, offset, bytes, yield_period, capacity / 2, context) {
  Warn(0);
}

Midi1Track::Midi1Track(const MidiTrack& source, int32_t capacity)
    : MidiTrack(source, capacity / 2) {
  Warn(0);
}

Midi1Track::Midi1Track(const MidiTrack& source, int32_t from, int32_t to, int32_t capacity)
    : MidiTrack(kTrackEmpty, capacity / 2) {
  Warn(0);
  CopyExcerpt(*this, source, from, to);
}

Midi1Track::Midi1Track(MidiEvent** event_list, int32_t count, int32_t track_mode,
                       int32_t capacity)
    : MidiTrack(track_mode, capacity / 2) {
  Warn(0);
  if (event_list == nullptr || count <= 0) return;
  ReserveEvents(count);
  for (int32_t i = 0; i < count; ++i) events[i] = event_list[i];
  event_count = count;
}

// ---- note lengths ----

void Midi1Track::LimitNoteLengths(int32_t limit) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const std::vector<int64_t> ticks = EventTicks();
  // Walking back: the tick of the next note record that starts later, or of the
  // next End of Track.
  int64_t next = -1;           // -1: nothing follows
  int64_t next_same_tick = -1;  // what follows the events at the tick being passed
  int64_t group_tick = -1;
  std::vector<int64_t> following(ticks.size(), -1);
  for (int32_t i = event_count - 1; i >= 0; --i) {
    const size_t k = static_cast<size_t>(i);
    if (ticks[k] != group_tick) {
      next_same_tick = next;
      group_tick = ticks[k];
    }
    following[k] = next_same_tick;
    const MidiEvent* e = events[i];
    if (IsEndOfTrack(e)) {
      // End of Track bounds every note before it, also those at its own tick.
      next = ticks[k];
      next_same_tick = ticks[k];
    } else if (IsNoteRecord(e)) {
      next = ticks[k];
    }
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNoteRecord(e)) continue;
    const size_t k = static_cast<size_t>(i);
    if (following[k] < 0) {
      e->duration = 0;
      continue;
    }
    e->duration = static_cast<int32_t>(std::min<int64_t>(limit, following[k] - ticks[k]));
  }
}

// ---- bends into notes ----

int32_t Midi1Track::DecayVelocity(int32_t velocity, int32_t steps) {
  int32_t v = velocity;
  for (int32_t i = 0; i < steps; ++i) v = v * 9 / 10;
  return v < velocity / 2 ? velocity : v;
}

void Midi1Track::BendsToNotes(int32_t range) {
  if (range <= 0) return;
  const int32_t step = 8191 / range;
  if (step <= 0) return;
  auto offset_of = [step](const MidiEvent* e) {
    return ((e->value - 64) * 128 + e->note) / step;
  };

  // 1. No modulation; bends that do not change the semitone offset go.
  int32_t previous_offset = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsController(e, cc::kModulation)) {
      e->MarkDeleted();
    } else if (IsBend(e)) {
      const int32_t offset = offset_of(e);
      if (offset == previous_offset) e->MarkDeleted();
      previous_offset = offset;
    }
  }
  // Note records of length 0 go before the walk.
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsNoteRecord(events[i]) && events[i]->duration == 0) events[i]->MarkDeleted();
  }
  Compact();

  // 2, 3. Notes are transposed by the bend in force; bends inside a note split it.
  std::vector<MidiEvent*> list(events, events + event_count);
  std::vector<int64_t> ticks(list.size());
  {
    int64_t at = 0;
    for (size_t i = 0; i < list.size(); ++i) ticks[i] = (at += list[i]->delta);
  }
  std::vector<bool> made(list.size(), false);  // notes made from bends are not walked
  int32_t current = kBendCentre;
  for (size_t i = 0; i < list.size(); ++i) {
    MidiEvent* e = list[i];
    if (IsBend(e)) {
      current = e->GetPitchBend();
      continue;
    }
    if (!IsNoteRecord(e) || made[i]) continue;
    const int32_t pitch = e->note;
    const int32_t velocity = e->velocity;
    const int32_t shifted = ClampPitch(pitch + (current - kBendCentre) / step);
    if (shifted != pitch) {
      e->note = shifted;
      e->velocity = DecayVelocity(velocity, std::abs(shifted - pitch));
    }
    const int64_t end = ticks[i] + e->duration;
    MidiEvent* newest = e;
    int64_t newest_start = ticks[i];
    for (size_t j = i + 1; j < list.size() && ticks[j] < end; ++j) {
      if (!IsBend(list[j]) || made[j]) continue;
      const int32_t offset = (list[j]->GetPitchBend() - kBendCentre) / step;
      const int64_t rest = end - ticks[j];
      newest->duration = static_cast<int32_t>(ticks[j] - newest_start);
      if (newest->duration < 1) ErrorMsg(kM1tkNegativeLength);
      auto* part = new MidiEvent(0);
      part->SetNote(e->channel, ClampPitch(pitch + offset),
                    offset != 0 ? DecayVelocity(velocity, std::abs(offset)) : velocity,
                    static_cast<int32_t>(rest));
      part->value = 0;
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(j) + 1, part);
      ticks.insert(ticks.begin() + static_cast<std::ptrdiff_t>(j) + 1, ticks[j]);
      made.insert(made.begin() + static_cast<std::ptrdiff_t>(j) + 1, true);
      newest = part;
      newest_start = ticks[j];
      ++j;  // past the new part
    }
  }
  SetEventList(*this, list);

  // 4. Zero-length notes and the remaining bends go.
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsBend(e) || (IsNoteRecord(e) && e->duration <= 0)) e->MarkDeleted();
  }
  Compact();
}

// ---- bend range ----

int Midi1Track::GetBendRange() const {
  int range = 12;
  int found = 0;
  for (int32_t i = 0; i + 2 < event_count; ++i) {
    const MidiEvent* a = events[i];
    const MidiEvent* b = events[i + 1];
    const MidiEvent* c = events[i + 2];
    if (IsController(a, cc::kRpnMsb) && a->value == 0 && IsController(b, cc::kRpnLsb) && b->value == 0 &&
        IsController(c, cc::kDataEntry)) {
      range = c->value;
      ++found;
    }
  }
  if (found > 1) Warn(kM1tkManyBendRanges);
  return range;
}

void Midi1Track::RemoveBendRangeData() {
  RpnSelection rpn;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    rpn.See(e);
    if (IsController(e, cc::kDataEntry) && rpn.Is(0, 0)) e->MarkDeleted();
  }
  Compact();
}

void Midi1Track::InsertBendRange(int32_t semitones) {
  const int channel = GetChannel();
  if (channel == kNoChannel) {
    ErrorMsg(kM1tkNoChannel);
    return;
  }
  InsertEventAtTime(0, NewController(0, channel, cc::kRpnMsb, 0), 1);
  InsertEventAtTime(0, NewController(0, channel, cc::kRpnLsb, 0), 1);
  InsertEventAtTime(0, NewController(0, channel, cc::kDataEntry, semitones), 1);
}

// ---- glides, vibrato, swells ----

void Midi1Track::AddGlides(int32_t length, int32_t steps, int32_t range) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (steps <= 0 || range <= 0 || length % steps != 0) {
    ErrorMsg(kM1tkGlideSteps);
    return;
  }
  const int32_t step_ticks = length / steps;

  // 2. A centred bend before every note, taking over the note's delta.
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(event_count) * 2);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNoteRecord(e)) {
      list.push_back(NewBend(e->delta, e->channel, kBendCentre));
      e->delta = 0;
    }
    list.push_back(e);
  }

  // 3. Glides toward the next note at the end of long notes.
  std::vector<MidiEvent*> out;
  out.reserve(list.size() + list.size() / 2 * static_cast<size_t>(steps));
  for (size_t i = 0; i < list.size(); ++i) {
    MidiEvent* e = list[i];
    out.push_back(e);
    if (!IsNoteRecord(e) || e->duration <= length || i + 1 >= list.size()) continue;
    MidiEvent* following = list[i + 1];
    const int32_t gap = following->delta;
    if (gap <= length) continue;
    int32_t target = e->note;
    for (size_t j = i + 1; j < list.size(); ++j) {
      if (IsNoteRecord(list[j])) {
        target = list[j]->note;
        break;
      }
      if (IsEndOfTrack(list[j])) {
        target = e->note - range;
        break;
      }
    }
    if (target == e->note) continue;
    const int32_t d = std::clamp(target - e->note, -range, range);
    const int32_t first_delta = gap - length;
    if (first_delta < 0) ErrorMsg(kM1tkNegativeDelta);
    for (int32_t k = 0; k < steps; ++k) {
      const int32_t value = kBendCentre + k * (d * (8191 / range) / steps);
      out.push_back(NewBend(k == 0 ? first_delta : step_ticks, e->channel, value));
    }
    following->delta = step_ticks;
  }

  // 4. A centred bend before End of Track.
  const int channel = [&] {
    for (MidiEvent* e : out) {
      if (e->channel != kNoChannel && e->status != kStatusSysEx &&
          e->status != kStatusSysExEscape) {
        return e->channel;
      }
    }
    return static_cast<int32_t>(kNoChannel);
  }();
  if (!out.empty() && channel != kNoChannel) {
    MidiEvent* last = out.back();
    out.insert(out.end() - 1, NewBend(last->delta, channel, kBendCentre));
    last->delta = 0;
  }
  SetEventList(*this, out);
}

void Midi1Track::AddDelayedVibrato(int32_t delay) {
  if (delay < 0) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(event_count) * 3);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNoteRecord(e)) {
      list.push_back(NewController(e->delta, e->channel, cc::kModulation, 0));
      e->delta = 0;
    }
    list.push_back(e);
  }
  std::vector<MidiEvent*> out;
  out.reserve(list.size() * 2);
  for (size_t i = 0; i < list.size(); ++i) {
    MidiEvent* e = list[i];
    out.push_back(e);
    if (!IsNoteRecord(e) || e->duration <= delay || i + 1 >= list.size()) continue;
    MidiEvent* following = list[i + 1];
    if (following->delta <= delay) continue;
    out.push_back(NewController(delay, e->channel, cc::kModulation, 127));
    following->delta -= delay;
  }
  SetEventList(*this, out);
}

void Midi1Track::AddExpressionSwell(int32_t length, int32_t steps) {
  if (steps <= 0) {
    ErrorMsg(kM1tkSwellSteps);
    return;
  }
  if (length % steps != 0) ErrorMsg(kM1tkSwellSteps);
  const int32_t step_ticks = length / steps;
  std::vector<MidiEvent*> out;
  out.reserve(static_cast<size_t>(event_count) * 2);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    out.push_back(e);
    if (!IsNoteRecord(e) || e->duration <= length || i + 1 >= event_count) continue;
    MidiEvent* following = events[i + 1];
    if (following->delta <= length) continue;
    for (int32_t k = 0; k < steps; ++k) {
      const int32_t value = std::clamp(135 - 8 * steps + 8 * k, 0, 127);
      out.push_back(NewController(k == 0 ? 0 : step_ticks, e->channel, cc::kExpression, value));
    }
    following->delta -= step_ticks * (steps - 1);
  }
  SetEventList(*this, out);
}

// ---- bend clean-ups ----

void Midi1Track::RemoveRedundantBends() {
  if (mode == kTrackNotes) {
    ToEventMode();
    RemoveRedundantBends();
    ToNoteMode();
    return;
  }
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  bool sounding[128] = {};
  int sounding_count = 0;
  bool note_on_since_bend = false;
  MidiEvent* p = nullptr;   // the previous bend
  MidiEvent* pp = nullptr;  // the one before it
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status == kStatusNoteOn && e->note >= 0 && e->note < 128) {
      note_on_since_bend = true;
      if (!sounding[e->note]) ++sounding_count;
      sounding[e->note] = true;
    } else if (e->status == kStatusNoteOff && e->note >= 0 && e->note < 128) {
      if (sounding[e->note]) --sounding_count;
      sounding[e->note] = false;
    } else if (IsBend(e)) {
      const bool quiet = !note_on_since_bend && sounding_count == 0;
      note_on_since_bend = false;
      if (quiet && p != nullptr && pp != nullptr) {
        const int a = pp->GetPitchBend();
        const int b = p->GetPitchBend();
        const int c = e->GetPitchBend();
        if ((a <= b && b <= c) || (a >= b && b >= c)) {
          p->MarkDeleted();
          p = pp = nullptr;
          continue;
        }
      }
      pp = p;
      p = e;
    }
  }
  const MidiEvent* before = nullptr;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsBend(e)) continue;
    if (before != nullptr && before->note == e->note && before->value == e->value) {
      e->MarkDeleted();
      continue;
    }
    before = e;
  }
  Compact();
}

void Midi1Track::ConvertBendRange(int32_t new_range) {
  if (new_range <= 0) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  RpnSelection rpn;
  int32_t old_range = 2;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    rpn.See(e);
    if (IsController(e, cc::kDataEntry) && rpn.Is(0, 0)) {
      old_range = e->value;
      e->value = new_range;
    } else if (IsBend(e)) {
      const double scaled =
          (e->GetPitchBend() - kBendCentre) * (static_cast<double>(old_range) / new_range) +
          kBendCentre;
      const double held = std::clamp(scaled, -1.0e9, 1.0e9);
      if (!e->SetPitchBend(static_cast<int32_t>(held))) Warn(kM1tkBendOutOfRange);
    }
  }
  RemoveRedundantRpn();
}

void Midi1Track::DeleteBendsInNote(int32_t index) {
  if (index < 0 || index >= event_count) return;
  const MidiEvent* note = events[index];
  if (mode == kTrackEvents) {
    for (int32_t i = index + 1; i < event_count; ++i) {
      if (events[i]->status == kStatusNoteOff) break;
      if (IsBend(events[i])) events[i]->MarkDeleted();
    }
  } else if (mode == kTrackNotes) {
    int64_t at = 0;
    for (int32_t i = index + 1; i < event_count; ++i) {
      at += events[i]->delta;
      if (at >= note->duration) break;
      if (IsBend(events[i])) events[i]->MarkDeleted();
    }
  } else {
    ErrorMsg(kMdtkInternal);
    return;
  }
  Compact();
}

// ---- registered parameters ----

void Midi1Track::InsertRpn(int32_t index, int insert_flag, int32_t msb, int32_t lsb,
                           int32_t value) {
  const int channel = GetChannel();
  if (channel == kNoChannel) {
    ErrorMsg(kM1tkNoChannel);
    return;
  }
  if (insert_flag != 2) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  InsertEvent(index, 2, NewController(0, channel, cc::kRpnMsb, msb));
  InsertEvent(index + 1, 2, NewController(0, channel, cc::kRpnLsb, lsb));
  InsertEvent(index + 2, 2, NewController(0, channel, cc::kDataEntry, value));
}

int Midi1Track::FindRpnData(int32_t* index, int32_t msb, int32_t lsb) const {
  if (index == nullptr) return -1;
  RpnSelection rpn;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    rpn.See(e);
    if (i >= *index && IsController(e, cc::kDataEntry) && rpn.Is(msb, lsb)) {
      *index = i;
      return e->value;
    }
  }
  return -1;
}

void Midi1Track::RemoveRedundantRpn() {
  int32_t msb = -1;
  int32_t lsb = -1;
  bool msb_since_data = false;
  bool lsb_since_data = false;
  int32_t previous_range = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status != kStatusController) continue;
    switch (e->number) {
      case 101:
        if (msb_since_data && e->value == msb) {
          e->MarkDeleted();
        } else {
          msb = e->value;
          msb_since_data = true;
        }
        break;
      case 100:
        if (lsb_since_data && e->value == lsb) {
          e->MarkDeleted();
        } else {
          lsb = e->value;
          lsb_since_data = true;
        }
        break;
      case 98:
      case 99:
        msb = lsb = -1;
        msb_since_data = lsb_since_data = false;
        break;
      case 6:
        if (msb == 0 && lsb == 0) {
          if (e->value == previous_range) {
            e->MarkDeleted();
          } else {
            previous_range = e->value;
          }
        }
        msb_since_data = lsb_since_data = false;
        break;
      default:
        break;
    }
  }
  Compact();
}

int32_t Midi1Track::SetControllerValues(int32_t controller, int32_t value) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsController(events[i], controller)) events[i]->value = value;
  }
  return event_count;
}
