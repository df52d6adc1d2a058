// Range edits of a format-1 track: keeping tick ranges so that what is left still
// plays as it did (the state of a removed span carried over, notes ended and struck
// again at the cuts), closing gaps, and splitting a bar on the conductor track.
#include <algorithm>
#include <cstring>
#include <vector>

#include "music/midi1_track.h"
#include "music/midi_state.h"
#include "util/gne_music.h"

namespace {

bool IsNoteOn(const MidiEvent& e) { return e.status == kStatusNoteOn && e.velocity > 0; }
bool IsNoteOff(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}
bool IsChannel(int32_t channel) { return channel >= 0 && channel < 16; }

// The order in which a channel's restored controllers are sent: banks before the
// program (handled by MidiState), parameter selects before their data entries.
int ControllerRank(uint32_t number) {
  switch (number) {
    case 99: return 1;
    case 98: return 2;
    case 101: return 3;
    case 100: return 4;
    case 6: return 5;
    case 38: return 6;
    default: return 0;
  }
}

// Sorts the state events so that on every channel the parameter selects come before
// the data entries, keeping everything else as made; a channel whose bank changed
// without a program change gets its program again, so that the bank takes effect.
std::vector<MidiEvent*> OrderStateEvents(MidiEvent** made, int n, const MidiState& after) {
  std::vector<MidiEvent*> list(made, made + n);
  std::stable_sort(list.begin(), list.end(), [](const MidiEvent* x, const MidiEvent* y) {
    const bool xc = IsChannel(x->channel) && x->status != kStatusMeta;
    const bool yc = IsChannel(y->channel) && y->status != kStatusMeta;
    if (xc != yc) return xc;  // channel events first, then tempo and metre
    if (!xc) return false;
    if (x->channel != y->channel) return x->channel < y->channel;
    const int rx = x->status == kStatusController ? ControllerRank(x->number) : 0;
    const int ry = y->status == kStatusController ? ControllerRank(y->number) : 0;
    return rx < ry;
  });
  for (int ch = 0; ch < 16; ++ch) {
    bool bank = false;
    bool program = false;
    size_t after_bank = 0;
    for (size_t i = 0; i < list.size(); ++i) {
      const MidiEvent& e = *list[i];
      if (e.channel != ch || e.status == kStatusMeta) continue;
      if (e.status == kStatusController && (e.number == 0 || e.number == 32)) {
        bank = true;
        after_bank = i + 1;
      }
      if (e.status == kStatusProgram) program = true;
    }
    if (bank && !program && after.Program(ch) >= 0) {
      auto* e = new MidiEvent(0);
      e->SetProgramChange(ch, after.Program(ch));
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(after_bank), e);
    }
  }
  return list;
}

MidiEvent* NewNoteEvent(uint32_t status, int32_t channel, int32_t pitch, int32_t velocity) {
  auto* e = new MidiEvent(0);
  e->status = status;
  e->channel = channel;
  e->note = pitch;
  e->velocity = velocity;
  return e;
}

}  // namespace

int Midi1Track::IsMetaOnly() const {
  if (event_count == 1) return 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status != kStatusMeta) return 0;
  }
  return 1;
}

int Midi1Track::IsEmpty() const { return event_count == 1 && IsEndOfTrack(events[0]) ? 1 : 0; }

void Midi1Track::RemoveDuplicateMixControllers() {
  if (mode != kTrackEvents && mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  static const uint32_t kNumbers[5] = {7, 11, 39, 43, 10};
  for (uint32_t number : kNumbers) {
    // Per channel: the change in force at the end of a tick is the last one of the
    // tick, so an earlier change of the same tick is dropped; a change that repeats
    // the value in force is dropped as well.
    int32_t in_force[16];
    int32_t in_tick[16];  // index of the change kept so far in the current tick
    std::fill(std::begin(in_force), std::end(in_force), -1);
    std::fill(std::begin(in_tick), std::end(in_tick), -1);
    for (int32_t i = 0; i < event_count; ++i) {
      MidiEvent& e = *events[i];
      if (e.delta != 0) {
        for (int ch = 0; ch < 16; ++ch) {
          if (in_tick[ch] >= 0) in_force[ch] = events[in_tick[ch]]->value;
          in_tick[ch] = -1;
        }
      }
      if (e.status != kStatusController || e.number != number || !IsChannel(e.channel)) continue;
      const int ch = e.channel;
      if (in_tick[ch] >= 0) events[in_tick[ch]]->MarkDeleted();
      if (e.value == in_force[ch]) {
        e.MarkDeleted();
        in_tick[ch] = -1;
      } else {
        in_tick[ch] = i;
      }
    }
  }
}

void Midi1Track::SilenceRange(int32_t a, int32_t b) {
  if (mode != kTrackEvents) {
    ErrorMsg(kM1dtInternalCode);
    return;
  }
  if (a >= b) return;
  MidiState before_a;
  MidiState before_b;
  before_a.RunTo(*this, a, nullptr);
  const int32_t at_b = before_b.RunTo(*this, b, nullptr);
  MidiState changes;
  changes.TakeChanges(before_a, before_b);
  std::vector<MidiEvent*> made(kMidiStateMaxEvents);
  const int n = changes.MakeEvents(made.data());
  std::vector<MidiEvent*> state = OrderStateEvents(made.data(), n, before_b);
  if (at_b < event_count) {
    int64_t tick = 0;
    for (int32_t i = 0; i <= at_b; ++i) tick += events[i]->delta;
    const int64_t before = tick - events[at_b]->delta;
    auto* placeholder = new MidiEvent(SaturatedDelta(b - before));
    placeholder->status = kStatusDeleted;
    events[at_b]->delta = SaturatedDelta(tick - b);
    InsertEvent(at_b, 2, placeholder);
    // The state events in the order they are to be sent, after the placeholder.
    for (size_t k = 0; k < state.size(); ++k) {
      InsertEvent(at_b + static_cast<int32_t>(k), 1, state[k]);
    }
  } else {
    for (MidiEvent* e : state) delete e;
  }
  Compact();

  // Notes across the edges: struck inside and still sounding at b are struck again at
  // b; sounding from before a and ended inside are ended at a.
  std::vector<int32_t> velocity(16 * 128, 0);
  std::vector<uint8_t> end_at_a(16 * 128, 0);
  int64_t t = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    t += e.delta;
    if (t < a || t > b) continue;
    const bool on = IsNoteOn(e);
    const bool off = IsNoteOff(e);
    const bool keyed = (on || off) && IsChannel(e.channel) && e.note >= 0 && e.note < 128;
    const size_t key = keyed ? static_cast<size_t>(e.channel * 128 + e.note) : 0;
    if (t == b) {
      if (off) {
        if (keyed) {
          if (velocity[key] == 0) {
            end_at_a[key] = 1;
          } else {
            velocity[key] = 0;
          }
        }
        e.MarkDeleted();
      }
      continue;
    }
    if (t == a && off) continue;
    if (on && keyed) velocity[key] = e.velocity;
    if (off && keyed) {
      if (velocity[key] == 0) {
        end_at_a[key] = 1;
      } else {
        velocity[key] = 0;
      }
    }
    if (!IsEndOfTrack(&e)) e.MarkDeleted();
  }
  Compact();
  // Mix controllers repeating the value in force go; this runs once the span's own
  // changes are gone, so that the state sent again at b is measured against what
  // stands before a, not against the changes it replaces.
  RemoveDuplicateMixControllers();
  Compact();
  // Nothing is struck again past the track's end, where nothing would end it.
  const bool restrike = b <= GetLength();
  for (int ch = 0; ch < 16; ++ch) {
    for (int p = 0; p < 128; ++p) {
      const size_t key = static_cast<size_t>(ch * 128 + p);
      if (end_at_a[key]) InsertEventAtTime(a, NewNoteEvent(kStatusNoteOff, ch, p, 0), 1);
    }
  }
  for (int ch = 0; ch < 16 && restrike; ++ch) {
    for (int p = 0; p < 128; ++p) {
      const size_t key = static_cast<size_t>(ch * 128 + p);
      if (velocity[key] > 0) {
        InsertEventAtTime(b, NewNoteEvent(kStatusNoteOn, ch, p, velocity[key]), 1);
      }
    }
  }
  Compact();
}

void Midi1Track::CloseGap(int32_t a, int32_t b) {
  if (mode != kTrackEvents) {
    ErrorMsg(kM1dtInternalCode);
    return;
  }
  if (a >= b) return;
  const int64_t span = int64_t{b} - a;
  int64_t tick = 0;
  int32_t i = 0;
  for (; i < event_count; ++i) {
    tick += events[i]->delta;
    if (tick >= a) break;
  }
  if (i >= event_count) return;
  const int64_t c = tick;
  if (b < c) {
    events[i]->delta = SaturatedDelta(events[i]->delta - span);
    return;
  }
  int64_t consumed = 0;
  if (a < c) {
    events[i]->delta = SaturatedDelta(events[i]->delta - (c - a));
    consumed = c - a;
  }
  for (++i; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (consumed + e.delta <= span) {
      consumed += e.delta;
      e.delta = 0;
      continue;
    }
    e.delta = SaturatedDelta(e.delta + a + consumed - b);
    break;
  }
}

void Midi1Track::KeepRanges(const int32_t* ranges, int32_t count) {
  if (mode != kTrackEvents) {
    ErrorMsg(kM1dtInternalCode);
    return;
  }
  if (ranges == nullptr || count <= 0) return;
  // Ranges must be in order and apart: anything else has no single meaning.
  for (int32_t r = 0; r < count; ++r) {
    const int32_t start = ranges[2 * r];
    const int32_t end = ranges[2 * r + 1];
    if (start < 0 || start >= end || (r > 0 && start < ranges[2 * r - 1])) {
      ErrorMsg(kMdtkPlayStart);
      return;
    }
  }
  const int64_t length = GetLength();
  std::vector<std::pair<int64_t, int64_t>> gaps;
  if (ranges[0] != 0) gaps.push_back({0, ranges[0]});
  for (int32_t r = 0; r + 1 < count; ++r) {
    if (ranges[2 * r + 1] < ranges[2 * r + 2]) gaps.push_back({ranges[2 * r + 1], ranges[2 * r + 2]});
  }
  const int64_t last_end = ranges[2 * count - 1];
  if (last_end <= length) gaps.push_back({last_end, length + 1});
  for (const auto& g : gaps) {
    SilenceRange(static_cast<int32_t>(g.first), static_cast<int32_t>(g.second));
  }
  int64_t removed = 0;
  for (const auto& g : gaps) {
    CloseGap(static_cast<int32_t>(g.first - removed), static_cast<int32_t>(g.second - removed));
    removed += g.second - g.first;
  }
  int64_t kept = 0;
  for (int32_t r = 0; r < count; ++r) kept += int64_t{ranges[2 * r + 1]} - ranges[2 * r];
  // One End of Track, at the kept length.
  DeleteAllEndOfTrack();
  int64_t last = 0;
  for (int32_t i = 0; i < event_count; ++i) last += events[i]->delta;
  auto* end = new MidiEvent(SaturatedDelta(std::max<int64_t>(0, kept - last)));
  end->status = kStatusMeta;
  end->number = 0x2F;
  AddEvent(end);
}

int Midi1Track::SplitBarAt(int32_t division, int32_t tick) {
  if (division < 4 || tick <= 0) return 0;
  const int32_t sixteenth = division / 4;
  int64_t bar_length = 4 * int64_t{division};
  int numerator = 4;
  int power = 2;
  int64_t position = 0;
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (at + e.delta > tick) break;
    at += e.delta;
    position = (position + e.delta) % bar_length;
    if (e.status == kStatusMeta && e.number == 0x58 && e.data != nullptr && e.data_length >= 2) {
      const int n = e.GetDataByte(0);
      const int p = e.GetDataByte(1);
      const int64_t length = p <= 7 && n > 0
                                 ? static_cast<int64_t>(division * GneQuartersPerBar(e.value))
                                 : 0;
      if (length > 0) {
        numerator = n;
        power = p;
        bar_length = length;
        position %= bar_length;
      }
    }
  }
  position = (position + (tick - at)) % bar_length;
  if (position == 0) return 0;
  const int64_t first = position / sixteenth;
  const int64_t second = (bar_length - position) / sixteenth;
  // A part under a sixteenth has no time signature of its own.
  if (first < 1 || second < 1 || first > 255 || second > 255) {
    ErrorMsg(kMdtkSplitFailed);
    return 0;
  }
  if (numerator <= 0 || power <= 0) {
    ErrorMsg(kMdtkSplitFailed);
    return 0;
  }
  const int64_t bar_start = tick - position;
  auto insert = [&](int64_t where, int n, int p) {
    auto* e = new MidiEvent(0);
    e->status = kStatusMeta;
    e->number = 0x58;
    const uint8_t data[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(p), 0x12, 8};
    e->SetDataQuietly(data, 4);
    e->value = n * 256 + (1 << p);
    InsertEventAtTime(static_cast<int32_t>(where), e, 1);
  };
  insert(bar_start, static_cast<int>(first), 4);
  insert(tick, static_cast<int>(second), 4);
  insert(bar_start + bar_length, numerator, power);
  return 1;
}
