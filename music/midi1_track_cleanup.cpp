// Clean-ups and queries of a format-1 track: redundant controller and program
// changes, note passes that thin or reshape notes, and small queries.
#include <algorithm>
#include <deque>
#include <vector>

#include "music/controllers.h"
#include "music/midi1_track.h"

namespace {

bool IsChannel(int32_t channel) { return channel >= 0 && channel < 16; }
bool IsCc(const MidiEvent& e, int32_t number) {
  return e.status == kStatusController && e.number == static_cast<uint32_t>(number);
}
bool IsNoteOn(const MidiEvent& e) { return e.status == kStatusNoteOn && e.velocity > 0; }
bool IsNoteOff(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}
bool InTable(const MidiEvent& e) { return e.note >= 0 && e.note < 128; }

bool NeedMode(const MidiTrack& t, int32_t mode) {
  if (t.mode == mode) return true;
  Midi1Track::ErrorMsg(kMdtkInternal);
  return false;
}
bool NeedModes12(const MidiTrack& t) {
  if (t.mode == kTrackEvents || t.mode == kTrackNotes) return true;
  Midi1Track::ErrorMsg(kMdtkInternal);
  return false;
}

constexpr uint32_t kMixControllers[5] = {7, 11, 39, 43, 10};

}  // namespace

// ---------------------------------------------------------------- controllers and programs

void Midi1Track::RemoveRepeatedMixControllers() {
  if (!NeedModes12(*this)) return;
  for (uint32_t number : kMixControllers) {
    int32_t previous[16];
    std::fill(std::begin(previous), std::end(previous), -1);
    for (int32_t i = 0; i < event_count; ++i) {
      MidiEvent& e = *events[i];
      if (e.status != kStatusController || e.number != number || !IsChannel(e.channel)) continue;
      if (e.value == previous[e.channel]) e.MarkDeleted();
      previous[e.channel] = e.value;
    }
  }
  Compact();
}

void Midi1Track::RemoveUnheardControllers(const int32_t* excepted, int32_t count) {
  bool skip[128] = {};
  for (int32_t k = 0; k < count && excepted != nullptr; ++k) {
    if (excepted[k] >= 0 && excepted[k] < 128) skip[excepted[k]] = true;
  }
  // Per channel and number: the last change and whether a note was heard since.
  std::vector<int32_t> last(16 * 128, -1);
  std::vector<uint8_t> heard(16 * 128, 0);
  int sounding[16] = {};
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsChannel(e.channel)) continue;
    const int ch = e.channel;
    if (IsNoteOn(e) || e.status == kStatusNote) {
      for (int n = 0; n < 128; ++n) heard[static_cast<size_t>(ch * 128 + n)] = 1;
      if (e.status == kStatusNoteOn) ++sounding[ch];
      continue;
    }
    if (IsNoteOff(e)) {
      if (sounding[ch] > 0) --sounding[ch];
      continue;
    }
    if (e.status != kStatusController || e.number >= 128 || skip[e.number]) continue;
    const size_t key = static_cast<size_t>(ch * 128 + static_cast<int>(e.number));
    if (last[key] >= 0 && (e.value == last[key] || !heard[key])) {
      e.MarkDeleted();
      continue;
    }
    last[key] = e.value;
    heard[key] = sounding[ch] > 0 ? 1 : 0;
  }
  Compact();
}

void Midi1Track::MergeConsecutivePans() {
  int32_t previous[16];
  std::fill(std::begin(previous), std::end(previous), -1);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsChannel(e.channel)) continue;
    if (IsNoteOn(e) || IsNoteOff(e) || e.status == kStatusNote) {
      previous[e.channel] = -1;
    } else if (IsCc(e, cc::kPan)) {
      if (previous[e.channel] >= 0) events[previous[e.channel]]->MarkDeleted();
      previous[e.channel] = i;
    }
  }
  Compact();
}

void Midi1Track::RemoveUnusedVolumes() {
  int32_t candidate[16];
  int sounding[16] = {};
  std::fill(std::begin(candidate), std::end(candidate), -1);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsChannel(e.channel)) continue;
    const int ch = e.channel;
    if (IsNoteOn(e) || e.status == kStatusNote) {
      candidate[ch] = -1;
      if (e.status == kStatusNoteOn) ++sounding[ch];
    } else if (IsNoteOff(e)) {
      if (sounding[ch] > 0) --sounding[ch];
    } else if (IsCc(e, cc::kVolume)) {
      if (candidate[ch] >= 0) events[candidate[ch]]->MarkDeleted();
      candidate[ch] = sounding[ch] == 0 ? i : -1;
    }
  }
  Compact();
}

void Midi1Track::KeepBankAndProgram(int32_t bank_msb, int32_t bank_lsb, int32_t program) {
  if (!NeedMode(*this, kTrackNotes)) return;
  int msb = 0;
  int lsb = 0;
  int current = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (IsCc(e, cc::kBankMsb)) {
      msb = e.value;
      if (e.value != bank_msb) e.MarkDeleted();
    } else if (IsCc(e, cc::kBankLsb)) {
      lsb = e.value;
      if (e.value != bank_lsb) e.MarkDeleted();
    } else if (e.status == kStatusProgram) {
      current = e.value;
      if (e.value != program) e.MarkDeleted();
    } else if (e.status == kStatusNote) {
      if (msb != bank_msb || lsb != bank_lsb || current != program) e.MarkDeleted();
    }
  }
  Compact();
  RemoveRedundantBends();
}

int Midi1Track::SetFirstProgram(int32_t program) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusProgram) {
      events[i]->value = program;
      return 1;
    }
  }
  return 0;
}

void Midi1Track::ReplaceProgram(int32_t kept, int32_t replaced) {
  bool has_kept = false;
  bool has_replaced = false;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status != kStatusProgram) continue;
    has_kept |= events[i]->value == kept;
    has_replaced |= events[i]->value == replaced;
  }
  if (!has_kept || !has_replaced) return;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusProgram && events[i]->value == replaced) events[i]->value = kept;
  }
}

void Midi1Track::SetMixControllersMax() {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], cc::kVolume) || IsCc(*events[i], cc::kExpression)) events[i]->value = 127;
  }
}

void Midi1Track::SetValueOfFirstStatus(uint32_t status_value, int32_t value) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == status_value) {
      events[i]->value = value & 0xFF;
      return;
    }
  }
}

void Midi1Track::DeleteByStatus(uint32_t status_value, int rule) {
  for (int32_t i = 0; i < event_count; ++i) {
    const bool same = events[i]->status == status_value;
    if (rule == 1 ? !same : same) events[i]->MarkDeleted();
  }
  Compact();
}

// ---------------------------------------------------------------- note passes

void Midi1Track::ShortenRepeatedNotes() {
  if (!NeedMode(*this, kTrackNotes)) return;
  const std::vector<int64_t> ticks = EventTicks();
  // From the end back: the start of the next note of each channel and pitch.
  std::vector<int64_t> next(16 * 128, -1);
  for (int32_t i = event_count - 1; i >= 0; --i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote || !IsChannel(e.channel) || !InTable(e)) continue;
    const size_t key = static_cast<size_t>(e.channel * 128 + e.note);
    const int64_t at = ticks[static_cast<size_t>(i)];
    if (next[key] >= 0 && next[key] < at + e.duration) {
      e.duration = static_cast<int32_t>(next[key] - at);
      if (e.duration <= 0) {
        e.MarkDeleted();
        continue;
      }
    }
    next[key] = at;
  }
  Compact();
}

void Midi1Track::DeleteNotesByPitch(int32_t pitch, int rule) {
  if (!NeedMode(*this, kTrackNotes)) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote) continue;
    if (rule == 1 ? e.note == pitch : e.note != pitch) e.MarkDeleted();
  }
  Compact();
}

void Midi1Track::DeleteLowerOctaveDoubles() {
  if (!NeedMode(*this, kTrackNotes)) return;
  const std::vector<int64_t> ticks = EventTicks();
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& a = *events[i];
    if (a.status != kStatusNote) continue;
    for (int32_t j = i + 1; j < event_count && ticks[static_cast<size_t>(j)] == ticks[static_cast<size_t>(i)]; ++j) {
      MidiEvent& b = *events[j];
      if (b.status != kStatusNote || a.status != kStatusNote) continue;
      if (b.note == a.note + 12) a.MarkDeleted();
      if (a.note == b.note + 12) b.MarkDeleted();
    }
  }
  Compact();
}

void Midi1Track::KeepTopNoteOfChords(int32_t from, int32_t to) {
  const std::vector<int64_t> ticks = EventTicks();
  int32_t start = 0;
  while (start < event_count) {
    int32_t end = start + 1;
    while (end < event_count && ticks[static_cast<size_t>(end)] == ticks[static_cast<size_t>(start)]) ++end;
    const int64_t t = ticks[static_cast<size_t>(start)];
    if (t >= from && t <= to) {
      int top = -1;
      for (int32_t i = start; i < end; ++i) {
        if (events[i]->status == kStatusNote) top = std::max(top, events[i]->note);
      }
      for (int32_t i = start; i < end; ++i) {
        if (events[i]->status == kStatusNote && events[i]->note != top) {
          events[i]->MarkDeleted();
          break;
        }
      }
    }
    start = end;
  }
  Compact();
}

int Midi1Track::DeleteLeastUsedPitch(const int32_t* protected_pitches, int32_t count) {
  if (!NeedMode(*this, kTrackNotes) || GetChannel() == kNoChannel) return 0;
  int32_t uses[128] = {};
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote && InTable(*events[i])) ++uses[events[i]->note];
  }
  for (int32_t k = 0; k < count && protected_pitches != nullptr; ++k) {
    if (protected_pitches[k] >= 0 && protected_pitches[k] < 128) uses[protected_pitches[k]] = 0;
  }
  int least = -1;
  for (int p = 0; p < 128; ++p) {
    if (uses[p] > 0 && (least < 0 || uses[p] <= uses[least])) least = p;
  }
  if (least < 0) return 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote && events[i]->note == least) events[i]->MarkDeleted();
  }
  Compact();
  return 1;
}

void Midi1Track::ReducePitchCount(int32_t n, const int32_t* protected_pitches, int32_t count) {
  if (n < 1) {
    ErrorMsg(kM1tkBadPitchCount);
    return;
  }
  if (!NeedMode(*this, kTrackNotes) || GetChannel() == kNoChannel) return;
  int32_t pitches = CountAllDistinctPitches();
  while (pitches > n) {
    if (!DeleteLeastUsedPitch(protected_pitches, count)) break;  // nothing more to give up
    --pitches;
  }
}

void Midi1Track::ThinToVoices(int32_t n) {
  if (n < 1) {
    ErrorMsg(kM1tkZeroVoices);
    return;
  }
  if (!NeedMode(*this, kTrackNotes) || GetChannel() == kNoChannel) return;
  if (GetMaxPolyphony(1) <= n) return;
  ToEventMode();
  std::vector<uint8_t> sounding(128, 0);
  int count = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!InTable(e)) continue;
    if (IsNoteOn(e)) {
      if (count >= n) {
        // The highest sounding note gives way, or with more voices the second highest.
        int highest = -1;
        int second = -1;
        for (int p = 127; p >= 0; --p) {
          if (!sounding[static_cast<size_t>(p)]) continue;
          if (highest < 0) {
            highest = p;
          } else {
            second = p;
            break;
          }
        }
        const int cut = n == 1 || second < 0 ? highest : second;
        if (cut >= 0) {
          auto* off = new MidiEvent(e.delta);
          off->status = kStatusNoteOff;
          off->channel = e.channel;
          off->note = cut;
          e.delta = 0;
          InsertEvent(i, 2, off);
          ++i;
          sounding[static_cast<size_t>(cut)] = 0;
          --count;
          for (int32_t j = i + 1; j < event_count; ++j) {
            if (IsNoteOff(*events[j]) && events[j]->note == cut) {
              events[j]->MarkDeleted();
              break;
            }
          }
        }
      }
      if (!sounding[static_cast<size_t>(events[i]->note)]) {
        sounding[static_cast<size_t>(events[i]->note)] = 1;
        ++count;
      }
    } else if (IsNoteOff(e) && sounding[static_cast<size_t>(e.note)]) {
      sounding[static_cast<size_t>(e.note)] = 0;
      --count;
    }
  }
  Compact();
  ToNoteMode();
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote && events[i]->duration == 0) events[i]->MarkDeleted();
  }
  Compact();
  if (GetMaxPolyphony(1) > n) ErrorMsg(kM1dtInternalCode);
}

void Midi1Track::ScaleVelocitiesOfPitch(int32_t pitch, int32_t top) {
  if (!NeedMode(*this, kTrackNotes)) return;
  int highest = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusNote && (pitch < 0 || e.note == pitch)) highest = std::max(highest, e.velocity);
  }
  if (highest <= 0) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote || (pitch >= 0 && e.note != pitch)) continue;
    const auto v = static_cast<int32_t>(static_cast<double>(e.velocity) * top / highest);
    e.velocity = std::clamp(v, 0, std::min(top, 127));
  }
}

void Midi1Track::ToMonophonicNoteMode() {
  if (!NeedMode(*this, kTrackEvents)) return;
  // One walk: each note-off ends the oldest note-on still waiting; a note-off with
  // none waiting ends nothing. Removed events hand their delta on.
  const std::vector<int64_t> ticks = EventTicks();
  std::deque<int32_t> waiting;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (IsNoteOn(e)) {
      e.status = kStatusNote;
      e.duration = 0;
      waiting.push_back(i);
    } else if (IsNoteOff(e)) {
      if (!waiting.empty()) {
        MidiEvent& on = *events[waiting.front()];
        const int64_t length = ticks[static_cast<size_t>(i)] - ticks[static_cast<size_t>(waiting.front())];
        on.duration = SaturatedDelta(length);
        if (length < 0) ErrorMsg(kM1tkNegativeLength);
        waiting.pop_front();
      }
      e.MarkDeleted();
    }
  }
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote && events[i]->duration <= 0) events[i]->MarkDeleted();
  }
  Compact();
  mode = kTrackNotes;
}

// ---------------------------------------------------------------- queries

int Midi1Track::IsSysExAndMetaOnly() const {
  if (IsMetaOnly()) return 0;
  bool sysex = false;
  for (int32_t i = 0; i < event_count; ++i) {
    const uint32_t s = events[i]->status;
    if (s == kStatusSysEx || s == kStatusSysExEscape) {
      sysex = true;
    } else if (s != kStatusMeta) {
      return 0;
    }
  }
  return sysex ? 1 : 0;
}

int Midi1Track::IsGsPartSetupTrack() const {
  if (!IsSysExAndMetaOnly()) return 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusMeta) continue;
    if (e.number != 18 && e.number != 69) return 0;
  }
  return 1;
}

int Midi1Track::HasSecondPortName() const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == kStatusMeta && e.number == 4 && e.IsSecondPortName()) return 1;
  }
  return 0;
}

int32_t Midi1Track::CountInRange(uint32_t status_value, int32_t number, int32_t from,
                                 int32_t to) const {
  int32_t count = 0;
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    tick += e.delta;
    if (e.status != status_value) continue;
    if (number >= 0 && e.number != static_cast<uint32_t>(number)) continue;
    if (from >= 0 && (tick < from || tick >= to)) continue;
    ++count;
  }
  return count;
}

int32_t Midi1Track::LargestChord() const {
  int32_t largest = 0;
  int32_t current = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.delta != 0) current = 0;
    if (e.status == kStatusNote) largest = std::max(largest, ++current);
  }
  return largest;
}

int32_t Midi1Track::AveragePitch() const {
  if (mode != kTrackNotes) {
    ErrorMsg(kM1tkNoCentre);
    return 64;
  }
  int64_t weighted = 0;
  int64_t length = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status != kStatusNote || e.duration <= 0) continue;
    weighted += int64_t{e.note} * e.duration;
    length += e.duration;
  }
  return length > 0 ? static_cast<int32_t>(weighted / length) : 64;  // no notes: the middle
}

void Midi1Track::GetPitchRange(int32_t* low, int32_t* high) const {
  int32_t lo = 127;
  int32_t hi = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status != kStatusNote) continue;
    lo = std::min(lo, events[i]->note);
    hi = std::max(hi, events[i]->note);
  }
  if (low) *low = lo;
  if (high) *high = hi;
}

int Midi1Track::HasPitch(int32_t pitch) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusNote && events[i]->note == pitch) return 1;
  }
  return 0;
}

int32_t Midi1Track::LastNoteTick() const {
  int32_t last = -1;
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    tick += events[i]->delta;
    if (events[i]->status == kStatusNote) last = SaturatedDelta(tick);
  }
  return last;
}

int32_t Midi1Track::IndexAfterTick(int32_t tick) const {
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (t > tick) return i;
  }
  return -1;
}

int32_t Midi1Track::LastIndexOfStatusInRange(uint32_t status_value, int32_t from, int32_t to) const {
  int32_t last = -1;
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    t += events[i]->delta;
    if (from >= 0 && (t < from || t > to)) continue;
    if (status_value == kAnyStatus || events[i]->status == status_value) last = i;
  }
  return last;
}

int Midi1Track::ValueOfFirstStatus(uint32_t status_value) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == status_value) return events[i]->value;
  }
  return -1;
}
