// Bars, beats and seconds of the two song classes: bar lines, bar counts, the
// position of a tick as bar, beat and tick and back, durations, event density and
// the densest stretch of a song.
//
// A bar is four quarters until the first time signature; each time signature sets
// the length of the bars that follow it (the bar count runs on across it). A bar
// that would last no tick (numerator 0, a metre too fine for the division) is taken
// as 4/4, so that no walk can stall; a song of division 0 has no bars at all, which
// is reported, and every answer is then 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "util/gne_music.h"

namespace {

constexpr uint32_t kBadMetre = 0x03000008;

bool IsTimeSignature(const MidiEvent& e) { return e.status == kStatusMeta && e.number == 0x58; }
bool IsTempo(const MidiEvent& e) { return e.status == kStatusMeta && e.number == 0x51; }

// Numerator and power of two of the denominator of a time signature: its first two
// data bytes, or its metre word when it carries no data.
void MetreOf(const MidiEvent& e, int32_t* numerator, int32_t* power) {
  if (e.data != nullptr && e.data_length >= 2) {
    *numerator = e.data[0];
    *power = e.data[1];
    return;
  }
  *numerator = (e.value >> 8) & 0xFF;
  int32_t denominator = e.value & 0xFF;
  int32_t p = 0;
  while (denominator > 1) {
    denominator >>= 1;
    ++p;
  }
  *power = p;
}

// Quarters per bar of the time signature.
double QuartersOf(const MidiEvent& e) {
  int32_t numerator = 0;
  int32_t power = 0;
  MetreOf(e, &numerator, &power);
  return numerator * 4.0 / std::ldexp(1.0, power);
}

// Ticks of a bar of that many quarters at the division, truncated; 4/4 when the bar
// would be empty.
int64_t BarTicks(double quarters, int32_t division) {
  const int64_t ticks = static_cast<int64_t>(division * quarters);
  return ticks > 0 ? ticks : static_cast<int64_t>(division) * 4;
}

// Where the bar walk stands after the events before a tick: the tick of the last
// event passed, the ticks from the bar line at or before it, and the bar length then
// in force.
struct BarWalk {
  int64_t time = 0;
  int64_t into_bar = 0;
  int64_t bar = 0;
};

// Walks the events (the last one aside) whose time lies below the tick.
BarWalk WalkBarsBelow(const MidiTrack& track, int32_t division, int64_t tick) {
  BarWalk w;
  w.bar = static_cast<int64_t>(division) * 4;
  for (int32_t i = 0; i + 1 < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (w.time + e.delta >= tick) break;
    w.time += e.delta;
    w.into_bar = (w.into_bar + e.delta) % w.bar;
    if (IsTimeSignature(e)) w.bar = BarTicks(QuartersOf(e), division);
  }
  return w;
}

// Beat unit in quarters of a time signature's power of two (1: half, ... 5: 32nd);
// 0 when the power is not one of them.
double BeatUnit(int32_t power, int32_t highest_power) {
  if (power < 1 || power > highest_power) return 0;
  return 2.0 / std::ldexp(1.0, power - 1);
}

// The position walk of both song classes.
struct PositionRules {
  int32_t highest_power = 5;        // powers above report a metre the song cannot use
  void (*report)(uint32_t) = nullptr;
  void (*warn)(uint32_t) = nullptr;
  uint32_t position_warning = 0;
};

void WalkPosition(const MidiTrack& track, int32_t division, int64_t tick, int signature_beats,
                  const PositionRules& rules, int32_t* bars_out, int32_t* beats_out,
                  int32_t* ticks_out) {
  int64_t bars = 0;
  double unit = 1;  // quarters per signature beat
  int64_t bar = static_cast<int64_t>(division) * 4;
  int64_t time = 0;
  int64_t into_bar = 0;
  for (int32_t i = 0; i + 1 < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (time + e.delta >= tick) break;
    into_bar += e.delta;
    bars += into_bar / bar;
    into_bar %= bar;
    time += e.delta;
    if (!IsTimeSignature(e)) continue;
    if (into_bar != 0) rules.warn(rules.position_warning);
    int32_t n = 0;
    int32_t power = 0;
    MetreOf(e, &n, &power);
    const double u = BeatUnit(power, rules.highest_power);
    if (u == 0) {
      rules.report(kBadMetre);
    } else {
      unit = u;
    }
    bar = BarTicks(n * unit, division);
    if (static_cast<int64_t>(division * unit) <= 0 || n <= 0) {
      // A bar or a beat of no tick: the bar is taken as 4/4 in quarters.
      unit = 1;
      bar = static_cast<int64_t>(division) * 4;
    }
  }
  int64_t rest = tick - time + into_bar;
  if (rest < 0) rest = 0;
  bars += rest / bar;
  rest %= bar;
  const int64_t beat = signature_beats == 1 ? static_cast<int64_t>(division * unit) : division;
  *bars_out = SaturatedDelta(bars);
  *beats_out = SaturatedDelta(rest / beat);
  *ticks_out = SaturatedDelta(rest % beat);
}

// Milliseconds of the events: each delta at the tempo in force before its event,
// 1000000 microseconds per quarter until the first tempo.
int32_t DurationMs(const MidiTrack& track, int32_t division) {
  double ms = 0;
  double tempo = 1000000;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    ms += e.delta * tempo / division / 1000;
    if (IsTempo(e)) tempo = e.value;
  }
  return ms >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

bool IsNoteOnEvent(const MidiEvent& e) {
  return e.status == kStatusNoteOn && e.velocity > 0;
}
bool IsNoteOffEvent(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Format 0

namespace {

// 1 when the song has a division to count with; otherwise reported.
bool HasDivision(int32_t division, void (*report)(uint32_t), uint32_t code) {
  if (division > 0) return true;
  report(code);
  return false;
}

}  // namespace

int32_t Midi0Data::GetNextBarLine(int32_t tick) {
  if (track == nullptr || (state != kSongEvents && state != kSongNotes)) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return 0;
  // Time signatures stand at the same ticks in both modes: the note-mode track is
  // walked as it is.
  const BarWalk w = WalkBarsBelow(*track, division, tick);
  int64_t line = w.time - w.into_bar;
  if (line < tick) line += (tick - line + w.bar - 1) / w.bar * w.bar;
  return SaturatedDelta(line);
}

int32_t Midi0Data::GetBarLineBefore(int32_t tick) {
  if (track == nullptr || state != kSongEvents) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return 0;
  if (tick <= 0) return 0;
  const BarWalk w = WalkBarsBelow(*track, division, tick);
  int64_t line = w.time - w.into_bar;
  if (line + w.bar < tick) line += (tick - 1 - line) / w.bar * w.bar;
  return SaturatedDelta(line);
}

int32_t Midi0Data::CountBars() {
  if (track == nullptr || state != kSongEvents) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return 0;
  int64_t bars = 0;
  int64_t bar = static_cast<int64_t>(division) * 4;
  int64_t stretch = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent& e = *track->events[i];
    stretch += e.delta;
    if (!IsTimeSignature(e)) continue;
    bars += (stretch + bar - 1) / bar;
    stretch = 0;
    bar = BarTicks(QuartersOf(e), division);
  }
  bars += (stretch + bar - 1) / bar;
  return SaturatedDelta(bars);
}

int32_t Midi0Data::GetBarTick(int32_t bar_index) {
  if (track == nullptr || state != kSongEvents) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return 0;
  int64_t length = static_cast<int64_t>(division) * 4;
  int64_t passed = 0;
  int64_t into_bar = 0;
  int64_t time = 0;
  for (int32_t i = 0; i < track->event_count && passed != bar_index; ++i) {
    if (passed > bar_index) {
      ErrorMsg(kM0dtBarCount);
      break;
    }
    const MidiEvent& e = *track->events[i];
    into_bar += e.delta;
    if (into_bar >= length) {
      const int64_t whole = std::min(into_bar / length, bar_index - passed);
      passed += whole;
      into_bar -= whole * length;
    }
    if (IsTimeSignature(e)) length = BarTicks(QuartersOf(e), division);
    time += e.delta;
  }
  if (passed > bar_index) {
    ErrorMsg(kM0dtBarCount);
    return 0;
  }
  time -= into_bar;
  if (time < 0) {
    ErrorMsg(kM0dtPlayData);
    return 0;
  }
  if (passed == bar_index) return SaturatedDelta(time);
  return SaturatedDelta(time + length * (bar_index - passed));
}

void Midi0Data::TickToBarBeatTick(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks,
                                  int signature_beats) {
  *bars = *beats = *ticks = 0;
  if (track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return;
  }
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return;
  PositionRules rules;
  rules.highest_power = 5;
  rules.report = ErrorMsg;
  rules.warn = WarnOnce;
  rules.position_warning = kM0dtMetrePosition;
  WalkPosition(*track, division, tick, signature_beats, rules, bars, beats, ticks);
}

int32_t Midi0Data::GetDurationMs() {
  if (track == nullptr || track->event_count == 0) return 0;
  if (!HasDivision(division, ErrorMsg, kM0dtPlayData)) return 0;
  return DurationMs(*track, division);
}

int32_t Midi0Data::GetEndTick() {
  if (track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  return track->GetEndTime();
}

int32_t Midi0Data::FindPeakPolyphonyTick(int32_t from_tick) {
  if (track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return -1;
  }
  if (state != kSongNotes) ErrorMsg(kM0dtInternal);
  const int most = track->mode == kTrackNotes ? track->GetMaxPolyphony(0) : 0;
  // The walk needs the note-offs: an event-mode copy, so that the song stays as it is.
  std::unique_ptr<MidiTrack> copy;
  const MidiTrack* walked = track;
  if (track->mode == kTrackNotes) {
    copy = std::make_unique<MidiTrack>(*track, 0);
    copy->ToEventMode();
    walked = copy.get();
  }
  uint8_t sounding[16][128] = {};
  int count = 0;
  int64_t time = 0;
  for (int32_t i = 0; i < walked->event_count; ++i) {
    const MidiEvent& e = *walked->events[i];
    time += e.delta;
    if ((e.delta != 0 || i == walked->event_count - 1) && time >= from_tick && count == most) {
      return SaturatedDelta(time);
    }
    if (e.channel < 0 || e.channel >= 16 || e.note < 0 || e.note >= 128) continue;
    uint8_t& flag = sounding[e.channel][e.note];
    if (IsNoteOnEvent(e) && !flag) {
      flag = 1;
      ++count;
    } else if (IsNoteOffEvent(e) && flag) {
      flag = 0;
      --count;
    }
  }
  return -1;
}

int32_t Midi0Data::FindDensestWindow(int32_t from_tick, int32_t window, uint32_t status_value) {
  if (track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return -1;
  }
  if (state != kSongNotes) ErrorMsg(kM0dtInternal);
  const int32_t n = track->event_count;
  if (n == 0) return -1;
  // Window starts: the first event of each tick. A window [t, t + window) counts the
  // events of the status in it; it closes when a later event reaches its end.
  const std::vector<int64_t> ticks = track->EventTicks();
  std::vector<int32_t> before(static_cast<size_t>(n) + 1, 0);  // status events before i
  for (int32_t i = 0; i < n; ++i) {
    before[static_cast<size_t>(i) + 1] =
        before[static_cast<size_t>(i)] + (track->events[i]->status == status_value ? 1 : 0);
  }
  const int64_t last = ticks[static_cast<size_t>(n) - 1];
  // Count of every closing window, or -1 for a start that opens none.
  std::vector<int32_t> counts(static_cast<size_t>(n), -1);
  int32_t end = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0 && track->events[i]->delta == 0) continue;
    const int64_t close = ticks[static_cast<size_t>(i)] + window;
    if (last < close) break;  // this window and every later one stay open
    end = std::max(end, i);
    while (end < n && ticks[static_cast<size_t>(end)] < close) ++end;
    counts[static_cast<size_t>(i)] = before[static_cast<size_t>(end)] - before[static_cast<size_t>(i)];
  }
  int32_t most = 0;
  for (int32_t c : counts) most = std::max(most, c);
  for (int32_t i = 0; i < n; ++i) {
    if (counts[static_cast<size_t>(i)] == most && ticks[static_cast<size_t>(i)] >= from_tick) {
      return SaturatedDelta(ticks[static_cast<size_t>(i)]);
    }
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Format 1

namespace {

// The song merged into a new format-0 song.
std::unique_ptr<Midi0Data> MergedCopy(const Midi1Data& song) {
  auto merged = std::make_unique<Midi0Data>(kSongNotes, song.division, 0x60000);
  song.MergeToFormat0(*merged);
  return merged;
}

}  // namespace

void Midi1Data::TickToBarBeatTick(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks,
                                  int signature_beats) const {
  *bars = *beats = *ticks = 0;
  if (track_count == 0) return;
  if (!HasDivision(division, ErrorMsg, kM1dtInternal)) return;
  // A time signature belongs on the conductor track; elsewhere it is not followed.
  for (int32_t t = 1; t < track_count; ++t) {
    for (int32_t i = 0; i < tracks[t]->event_count; ++i) {
      if (IsTimeSignature(*tracks[t]->events[i])) ErrorMsg(kBadMetre);
    }
  }
  PositionRules rules;
  rules.highest_power = 4;
  rules.report = ErrorMsg;
  rules.warn = Warn;
  rules.position_warning = kM1dtMetrePosition;
  WalkPosition(*tracks[0], division, tick, signature_beats, rules, bars, beats, ticks);
}

void Midi1Data::TickToBarBeat(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks) const {
  TickToBarBeatTick(tick, bars, beats, ticks, 0);
}

void Midi1Data::FormatPosition(int32_t tick, char* out) const {
  int32_t bars = 0;
  int32_t beats = 0;
  int32_t ticks = 0;
  TickToBarBeatTick(tick, &bars, &beats, &ticks, 1);
  GneFormatBarBeatTick(out, bars, beats, ticks);
}

int32_t Midi1Data::BarBeatTickToTick(int32_t bar, int32_t beat, int32_t tick) const {
  if (!HasDivision(division, ErrorMsg, kM1dtInternal)) return 0;
  double quarters_per_bar = 4;
  double quarters = 0;  // of the completed bars
  int64_t bars = 0;
  if (track_count > 0 && bar > 0) {
    const MidiTrack& conductor = *tracks[0];
    int64_t into_bar = 0;
    int64_t length = static_cast<int64_t>(division) * 4;
    for (int32_t i = 0; i < conductor.event_count && bars < bar; ++i) {
      const MidiEvent& e = *conductor.events[i];
      into_bar += e.delta;
      while (into_bar >= length && bars < bar) {
        into_bar -= length;
        ++bars;
        quarters += quarters_per_bar;
      }
      if (bars >= bar || !IsTimeSignature(e)) continue;
      int32_t numerator = 0;
      int32_t power = 0;
      MetreOf(e, &numerator, &power);
      const double unit = BeatUnit(power, 5);
      if (unit == 0 || numerator <= 0) {
        ErrorMsg(kBadMetre);
        continue;
      }
      quarters_per_bar = numerator * unit;
      length = static_cast<int64_t>(division * quarters_per_bar);
      if (length <= 0) {  // a bar of no tick is taken as 4/4
        quarters_per_bar = 4;
        length = static_cast<int64_t>(division) * 4;
      }
    }
  }
  const double base = tick + static_cast<double>(division) * quarters;
  double result = base + static_cast<double>(beat) * division;
  if (bars < bar) result += static_cast<double>(division) * (bar - bars) * quarters_per_bar;
  if (result >= INT32_MAX) return INT32_MAX;
  if (result <= INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(result);
}

int32_t Midi1Data::GetQuarterCount() const {
  if (!HasDivision(division, ErrorMsg, kM1dtInternal)) return 0;
  const int64_t length = GetLength();
  return SaturatedDelta((length + division - 1) / division);
}

int32_t Midi1Data::GetNextBarLine(int32_t tick) const {
  return MergedCopy(*this)->GetNextBarLine(tick);
}

int32_t Midi1Data::CountBars() const {
  std::unique_ptr<Midi0Data> merged = MergedCopy(*this);
  merged->ToEventMode();
  return merged->CountBars();
}

int32_t Midi1Data::GetDurationMs() const { return MergedCopy(*this)->GetDurationMs(); }

double Midi1Data::SecondsBetween(int32_t start_tick, int32_t end_tick) const {
  for (int32_t t = 0; t < track_count; ++t) {
    if (tracks[t]->IsMetaOnly() == 1) return tracks[t]->GetSecondsBetween(start_tick, end_tick, division);
  }
  return 0;
}

int32_t Midi1Data::EventsPerSecond(int32_t start_tick, int32_t end_tick) const {
  if (!HasDivision(division, ErrorMsg, kM1dtInternal)) return 0;
  const int64_t count = CountEventsBetween(start_tick, end_tick);
  const int32_t tempo = track_count > 0 ? tracks[0]->GetTempoAt(start_tick) : 600000;
  // Microseconds per tick, at least 1 (a tempo shorter than the division in
  // microseconds would otherwise give no tick rate at all).
  const int32_t per_tick = std::max<int32_t>(1, tempo / division);
  const int32_t ticks_per_second = 1000000 / per_tick;
  const double seconds = static_cast<double>(end_tick - static_cast<int64_t>(start_tick)) / ticks_per_second;
  if (seconds <= 0) return 0;
  const double rate = count / seconds;
  return rate >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(rate);
}

int32_t Midi1Data::GetEventDensity(int32_t* highest, int32_t* average) const {
  *highest = 0;
  *average = 0;
  if (!HasDivision(division, ErrorMsg, kM1dtInternal)) return 0;
  const int64_t length = GetLength();
  const int64_t stretch = static_cast<int64_t>(division) * 4;
  int64_t sum = 0;
  int64_t stretches = 0;
  for (int64_t from = 0; from < length; from += stretch) {
    const int32_t rate = EventsPerSecond(SaturatedDelta(from), SaturatedDelta(from + stretch));
    *highest = std::max(*highest, rate);
    sum += rate;
    ++stretches;
  }
  if (stretches > 0) *average = SaturatedDelta(sum / stretches);
  return *average;
}
