// Editing passes of the format-0 song over its one track: start and stop markers,
// tempo placement, the sustain pedal, channel selection and duplication, pitch
// passes, reversal, system-exclusive replacement and small queries.
#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "music/midi0_data.h"

namespace {

bool InState(const Midi0Data& song, int32_t wanted) {
  if (song.state == wanted && song.track != nullptr) return true;
  Midi0Data::ErrorMsg(kM0dtInternal);
  return false;
}

bool InState12(const Midi0Data& song) {
  if ((song.state == kSongEvents || song.state == kSongNotes) && song.track != nullptr) return true;
  Midi0Data::ErrorMsg(kM0dtInternal);
  return false;
}

bool IsMeta(const MidiEvent* e, uint32_t type) {
  return e->status == kStatusMeta && e->number == type;
}

bool IsTempo(const MidiEvent* e) { return IsMeta(e, 0x51); }

// The text of a meta event, ending at its data length or at its first zero byte.
std::string MetaTextOf(const MidiEvent* e) {
  if (e->data == nullptr || e->data_length <= 0) return std::string();
  const int32_t n = std::min(e->data_length, e->DataBlockSize());
  const auto* p = reinterpret_cast<const char*>(e->data);
  return std::string(p, strnlen(p, static_cast<size_t>(n)));
}

bool IsNoteOff(const MidiEvent* e) {
  return e->status == kStatusNoteOff || (e->status == kStatusNoteOn && e->velocity == 0);
}

bool IsStrike(const MidiEvent* e) { return e->status == kStatusNoteOn && e->velocity > 0; }

// Any note event: a note of note mode, a note-on or a note-off.
bool IsAnyNote(const MidiEvent* e) {
  return e->status == kStatusNote || e->status == kStatusNoteOn || e->status == kStatusNoteOff;
}

bool OnChannel(const MidiEvent* e) { return e->channel >= 0 && e->channel < 16; }

// The first slot of the event's tick: walking back over events of delta 0.
int32_t FirstOfTick(const MidiTrack& track, int32_t index) {
  while (index > 0 && track.events[index]->delta == 0) --index;
  return index;
}

// The rhythm channels, looked up once per pass.
std::array<bool, 16> RhythmChannels(const MidiTrack& track) {
  std::array<bool, 16> rhythm{};
  for (int c = 0; c < 16; ++c) rhythm[static_cast<size_t>(c)] = track.IsRhythmPart(c) != 0;
  return rhythm;
}

bool IsRhythm(const std::array<bool, 16>& rhythm, int32_t channel) {
  return channel >= 0 && channel < 16 && rhythm[static_cast<size_t>(channel)];
}

// Replaces the track's event list (the events are the track's, old and new).
void SetEvents(MidiTrack& track, const std::vector<MidiEvent*>& list) {
  track.ReserveEvents(static_cast<int32_t>(list.size()));
  std::copy(list.begin(), list.end(), track.events);
  for (int32_t i = static_cast<int32_t>(list.size()); i < track.event_count; ++i) {
    track.events[i] = nullptr;
  }
  track.event_count = static_cast<int32_t>(list.size());
}

MidiEvent* NewNoteOff(int32_t channel, int32_t note) {
  auto* e = new MidiEvent(0);
  e->status = kStatusNoteOff;
  e->channel = channel;
  e->note = note;
  e->velocity = 64;
  return e;
}

}  // namespace

// ---- markers ----

int Midi0Data::HandleStartMarker(int test_only) {
  if (!InState12(*this)) return 0;
  MidiTrack& t = *track;
  int32_t marker = -1;
  for (int32_t i = 0; i < t.event_count; ++i) {
    if (IsMeta(t.events[i], 6) && MetaTextOf(t.events[i]) == "START") {
      marker = i;
      break;
    }
  }
  if (marker < 0) return 0;
  if (test_only == 1) return 1;
  t.events[marker]->MarkDeleted();
  const int32_t front = FirstOfTick(t, marker);
  t.SwapEvents(marker, front);
  // Everything before the marker's tick moves to tick 0, its notes removed; the
  // settings made there stay.
  for (int32_t i = 0; i <= front; ++i) {
    MidiEvent* e = t.events[i];
    e->delta = 0;
    if (IsAnyNote(e)) e->MarkDeleted();
  }
  return 1;
}

int Midi0Data::HandleStopMarker(int test_only) {
  if (!InState12(*this)) return 0;
  MidiTrack& t = *track;
  int32_t marker = -1;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent* e = t.events[i];
    if ((IsMeta(e, 6) || IsMeta(e, 1)) && MetaTextOf(e) == "STOP") {
      marker = i;
      break;
    }
  }
  if (marker < 0) {
    if (test_only == 1 && !t.LastIsEndOfTrack()) t.AddEndOfTrack();
    return 0;
  }
  if (test_only != 1) {
    MidiEvent* e = t.events[marker];
    e->number = 0x2F;
    e->FreeData();
    e->data_length = 0;
  }
  int32_t last = marker;
  while (last + 1 < t.event_count && t.events[last + 1]->delta == 0) ++last;
  t.SwapEvents(marker, last);
  for (int32_t i = last + 1; i < t.event_count; ++i) {
    delete t.events[i];
    t.events[i] = nullptr;
  }
  t.event_count = last + 1;
  if (test_only == 1) t.AddEndOfTrack();
  return 1;
}

void Midi0Data::ReplaceMarkerText(const char* old_text, const char* new_text) {
  if (!InState(*this, kSongNotes) || old_text == nullptr || new_text == nullptr) return;
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    if (IsMeta(e, 6) && MetaTextOf(e) == old_text) {
      e->SetDataQuietly(new_text, static_cast<int32_t>(std::strlen(new_text)) + 1);
    }
  }
}

// ---- tempo ----

void Midi0Data::DeleteTemposBetween(int32_t first, int32_t last) {
  if (track == nullptr) return;
  if (last == -1) last = track->event_count - 1;
  bool any = false;
  for (int32_t i = std::max(first, 0); i <= last && i < track->event_count; ++i) {
    if (IsTempo(track->events[i])) {
      track->events[i]->MarkDeleted();
      any = true;
    }
  }
  if (any) track->Compact();
}

void Midi0Data::RemoveEarlyTempos() {
  if (track == nullptr || track->event_count == 0) return;
  const int32_t n = std::min(GetFirstNoteIndex(), track->event_count - 1);
  for (int32_t i = n; i >= 0; --i) {
    if (!IsTempo(track->events[i])) continue;
    // Only the tempo in force at the first note stays (none before it: nothing to do).
    if (i > 0) DeleteTemposBetween(0, i - 1);
    return;
  }
}

void Midi0Data::MoveTemposToTickStart() {
  if (track == nullptr) return;
  MidiTrack& t = *track;
  bool deleted = false;
  for (int32_t i = 0; i < t.event_count; ++i) {
    if (!IsTempo(t.events[i])) continue;
    const int32_t front = FirstOfTick(t, i);
    if (front != i) {
      t.SwapEvents(front, i);
      // Two tempi in one tick: the later one wins.
      if (IsTempo(t.events[i])) {
        t.events[i]->MarkDeleted();
        deleted = true;
      }
    }
    i = front;
  }
  if (deleted) t.Compact();
}

void Midi0Data::InsertTempoAtFirstNote(int32_t tempo) {
  if (track == nullptr) return;
  if (state != kSongNotes) ErrorMsg(kM0dtInternal);
  MidiTrack& t = *track;
  // The first note's tick is searched to its end: a tempo there, or earlier, is kept.
  int32_t first_note = -1;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent* e = t.events[i];
    if (IsTempo(e)) {
      first_note = -1;
      break;
    }
    if (first_note >= 0 && e->delta != 0) break;
    if (first_note < 0 && (e->status == kStatusNote || IsStrike(e))) first_note = i;
  }
  if (first_note >= 0) {
    // In front of the first note, at its tick: the tempo takes over the note's delta.
    t.InsertTempoAtIndex(first_note, tempo);
    std::swap(t.events[first_note]->delta, t.events[first_note + 1]->delta);
  }
  MoveTemposToTickStart();
}

int32_t Midi0Data::GetFirstTempo() const {
  if (track == nullptr) return 60000;
  for (int32_t i = 0; i < track->event_count; ++i) {
    if (IsTempo(track->events[i])) return track->events[i]->value;
  }
  return 60000;
}

// ---- notes and controllers ----

void Midi0Data::ApplySustainPedal() {
  if (!InState(*this, kSongNotes)) return;
  ToEventMode();
  if (state != kSongEvents) return;
  MidiTrack& t = *track;
  std::array<bool, 16> down{};
  std::vector<std::array<bool, 128>> held(16, std::array<bool, 128>{});
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(t.event_count) + 64);
  auto release = [&](int32_t c) {
    for (int32_t n = 0; n < 128; ++n) {
      if (!held[static_cast<size_t>(c)][static_cast<size_t>(n)]) continue;
      held[static_cast<size_t>(c)][static_cast<size_t>(n)] = false;
      list.push_back(NewNoteOff(c, n));
    }
  };
  MidiEvent* end = nullptr;
  for (int32_t i = 0; i < t.event_count; ++i) {
    MidiEvent* e = t.events[i];
    if (i + 1 == t.event_count && IsEndOfTrack(e)) {
      end = e;
      break;
    }
    list.push_back(e);
    if (!OnChannel(e)) continue;
    const int32_t c = e->channel;
    const bool in_range = e->note >= 0 && e->note < 128;
    if (e->status == kStatusController && e->number == 64) {
      e->MarkDeleted();
      down[static_cast<size_t>(c)] = e->value != 0;
      if (e->value == 0) release(c);
    } else if (down[static_cast<size_t>(c)] && in_range) {
      bool& h = held[static_cast<size_t>(c)][static_cast<size_t>(e->note)];
      if (IsNoteOff(e)) {
        e->MarkDeleted();
        h = true;
      } else if (IsStrike(e) && h) {
        // The held note ends where it is struck again.
        auto* strike = new MidiEvent(*e);
        strike->delta = 0;
        e->status = kStatusNoteOff;
        e->velocity = 64;
        list.push_back(strike);
        h = false;
      }
    }
  }
  // Notes still held end with the track: at the tick of its End of Track.
  const size_t before = list.size();
  for (int32_t c = 0; c < 16; ++c) release(c);
  if (end != nullptr) {
    if (list.size() > before) {
      list[before]->delta = end->delta;
      end->delta = 0;
    }
    list.push_back(end);
  }
  SetEvents(t, list);
  t.Compact();
  ToNoteMode();
}

void Midi0Data::SetMinimumRhythmLength() {
  if (track == nullptr) return;
  const auto rhythm = RhythmChannels(*track);
  for (int c = 0; c < 16; ++c) {
    if (rhythm[static_cast<size_t>(c)]) track->SetMinimumDuration60(c);
  }
}

int Midi0Data::HasShortRhythmNote() const {
  if (track == nullptr) return 0;
  const auto rhythm = RhythmChannels(*track);
  for (int c = 0; c < 16; ++c) {
    if (rhythm[static_cast<size_t>(c)] && track->HasShortNote(c)) return 1;
  }
  return 0;
}

void Midi0Data::DeleteAllControlChanges(int32_t controller) {
  if (track == nullptr) return;
  bool any = false;
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    if (e->status == kStatusController && e->number == static_cast<uint32_t>(controller)) {
      e->MarkDeleted();
      any = true;
    }
  }
  if (any) track->Compact();
}

int Midi0Data::RemapDrumFamilies() { return track != nullptr ? track->RemapDrumFamilies() : 0; }

void Midi0Data::TransposeNonRhythm(int32_t semitones) {
  if (track == nullptr) return;
  const auto rhythm = RhythmChannels(*track);
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    if (!IsAnyNote(e) || IsRhythm(rhythm, e->channel)) continue;
    e->note = FoldNoteByOctaves(int64_t{e->note} + semitones);
  }
}

void Midi0Data::InvertNonRhythm() {
  if (track == nullptr) return;
  const auto rhythm = RhythmChannels(*track);
  std::array<int32_t, 16> lowest;
  std::array<int32_t, 16> highest;
  lowest.fill(127);
  highest.fill(0);
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    if (!IsAnyNote(e) || !OnChannel(e) || IsRhythm(rhythm, e->channel)) continue;
    const auto c = static_cast<size_t>(e->channel);
    lowest[c] = std::min(lowest[c], e->note);
    highest[c] = std::max(highest[c], e->note);
  }
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    if (!IsAnyNote(e) || !OnChannel(e) || IsRhythm(rhythm, e->channel)) continue;
    const auto c = static_cast<size_t>(e->channel);
    const int64_t axis = (int64_t{lowest[c]} + highest[c]) / 24 * 24;
    e->note = static_cast<int32_t>(std::clamp<int64_t>(axis - e->note, 0, 127));
  }
}

// ---- channels ----

void Midi0Data::KeepOnlyChannel(int32_t channel) {
  if (track == nullptr) return;
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    if (e->channel == channel) continue;
    // Tempo, metre and End of Track stay, so that the channel plays at its speed.
    if (IsTempo(e) || IsMeta(e, 0x58) || IsEndOfTrack(e)) continue;
    e->MarkDeleted();
  }
  track->Compact();
}

void Midi0Data::DeleteChannel(int32_t channel) {
  if (track != nullptr) track->DeleteChannel(channel);
}

void Midi0Data::DuplicateChannel(int32_t from, int32_t to) {
  if (track == nullptr) return;
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(track->event_count) * 2);
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    list.push_back(e);
    if (e->channel != from) continue;
    auto* copy = new MidiEvent(*e);
    copy->delta = 0;
    copy->channel = to;
    list.push_back(copy);
  }
  SetEvents(*track, list);
}

void Midi0Data::GetChannelEventCounts(int32_t* counts) const {
  for (int c = 0; c < 16; ++c) counts[c] = 0;
  if (track == nullptr) return;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    if (OnChannel(e)) ++counts[e->channel];
  }
}

int32_t Midi0Data::FindQuietestChannel(const int32_t* excluded, int32_t count) const {
  if (track == nullptr) return -1;
  int32_t counts[16];
  GetChannelEventCounts(counts);
  const auto rhythm = RhythmChannels(*track);
  int32_t best = -1;
  for (int32_t c = 0; c < 16; ++c) {
    if (rhythm[static_cast<size_t>(c)]) continue;
    if (excluded != nullptr && std::find(excluded, excluded + std::max(count, 0), c) !=
                                   excluded + std::max(count, 0)) {
      continue;
    }
    if (best < 0 || counts[c] < counts[best]) best = c;
  }
  return best;
}

int Midi0Data::HasChannelEvents(int32_t channel) const {
  if (state != kSongNotes) ErrorMsg(kM0dtInternal);
  if (track == nullptr) return 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    if (e->channel == channel && e->status != kStatusSysEx && e->status != kStatusSysExEscape) {
      return 1;
    }
  }
  return 0;
}

// ---- queries ----

int32_t Midi0Data::GetFirstNoteTick() const {
  if (!InState(*this, kSongNotes)) return 0;
  const MidiTrack& t = *track;
  if (t.mode != kTrackEvents && t.mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return 0;
  }
  const uint32_t wanted = t.mode == kTrackEvents ? kStatusNoteOn : kStatusNote;
  int64_t tick = 0;
  for (int32_t i = 0; i < t.event_count; ++i) {
    tick += t.events[i]->delta;
    if (t.events[i]->status == wanted) return SaturatedDelta(tick);
  }
  return 0;
}

int32_t Midi0Data::GetFirstNoteIndex() const {
  if (state != kSongNotes) ErrorMsg(kM0dtInternal);
  if (track == nullptr || track->event_count == 0) return 0;
  const MidiTrack& t = *track;
  int32_t i = 0;
  while (i < t.event_count && t.events[i]->status != kStatusNote && !IsStrike(t.events[i])) ++i;
  if (i >= t.event_count) return t.event_count - 1;
  while (i + 1 < t.event_count && t.events[i + 1]->delta == 0) ++i;
  return i;
}

void Midi0Data::GetNoteRange(int32_t channel, int32_t* lowest, int32_t* highest) const {
  int32_t low = 127;
  int32_t high = 0;
  if (track != nullptr) {
    for (int32_t i = 0; i < track->event_count; ++i) {
      const MidiEvent* e = track->events[i];
      if (e->status != kStatusNote || e->channel != channel) continue;
      low = std::min(low, e->note);
      high = std::max(high, e->note);
    }
  }
  if (lowest != nullptr) *lowest = low;
  if (highest != nullptr) *highest = high;
}

int32_t Midi0Data::CountEventsBetween(int32_t start, int32_t end) const {
  return track != nullptr ? track->CountEventsBetween(start, end) : 0;
}

int32_t Midi0Data::CountChannelStatus(int32_t channel, uint32_t status_value) const {
  return track != nullptr ? track->CountStatusOnChannel(channel, status_value) : 0;
}

int Midi0Data::HasStatusBetween(uint32_t status_value, int32_t start, int32_t end) const {
  if (track == nullptr) return 0;
  int64_t tick = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    tick += track->events[i]->delta;
    if (tick >= end) break;
    if (tick >= start && track->events[i]->status == status_value) return 1;
  }
  return 0;
}

int Midi0Data::IsBusyBetween(int32_t start, int32_t end) const {
  if (track == nullptr) return 0;
  int64_t tick = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    tick += e->delta;
    if (tick >= end) break;
    if (tick >= start && (e->status == kStatusNoteOn || e->status == kStatusNoteOff ||
                          e->status == kStatusNote)) {
      return 1;
    }
    // In note mode a note struck before the start may still sound at it.
    if (e->status == kStatusNote && e->velocity > 0 && tick < start &&
        tick + e->duration > start) {
      return 1;
    }
  }
  if (track->mode == kTrackEvents && !track->NoNotesSoundingAt(start)) return 1;
  return 0;
}

int Midi0Data::HasOverlappingNotes() {
  return track != nullptr ? track->HasOverlappingNotes() : 0;
}

int Midi0Data::MasterVolumeFollowsReset(int insert_flag) {
  return track != nullptr ? track->CheckMasterVolumeAfterReset(insert_flag) : 0;
}

// ---- whole-song passes ----

void Midi0Data::AppendSong(const Midi0Data& song) {
  if (track == nullptr || song.track == nullptr || song.track == track) return;
  // Only an End of Track gives way; the last event of a track without one stays.
  if (track->LastIsEndOfTrack()) track->LastEvent()->MarkDeleted();
  for (int32_t i = 0; i < song.track->event_count; ++i) {
    track->AddEventCopy(*song.track->events[i]);
  }
  track->Compact();
}

void Midi0Data::Reverse() {
  if (!InState(*this, kSongEvents)) return;
  MidiTrack& t = *track;
  if (!t.LastIsEndOfTrack()) {
    ErrorMsg(kM0dtFileEnd);
    return;
  }
  const int32_t m = t.event_count - 1;  // events before End of Track
  // 1. Each note-off changes places with the note-on it ends (slots keep their
  // deltas), so that it comes first once the order is reversed. A note struck again
  // while it sounds is ended first in, first out, as players pair them; the note-on
  // moved is closed, so that no note-on is left without its end.
  std::vector<std::deque<int32_t>> open(16 * 128);
  for (int32_t i = 0; i < m; ++i) {
    const MidiEvent* e = t.events[i];
    if (!OnChannel(e) || e->note < 0 || e->note > 127) continue;
    auto& ons = open[static_cast<size_t>(e->channel * 128 + e->note)];
    if (IsStrike(e)) {
      ons.push_back(i);
    } else if (IsNoteOff(e) && !ons.empty()) {
      t.SwapEvents(ons.front(), i);
      ons.pop_front();
    }
  }
  // 2. The order reversed, each event with its own delta.
  std::reverse(t.events, t.events + m);
  // 3. Every delta one event later, so that an event at tick s lands at T - s.
  for (int32_t i = m - 1; i >= 1; --i) t.events[i]->delta = t.events[i - 1]->delta;
  if (m > 0) t.events[0]->delta = 0;
  // 4. Each program change moves to the slot of the one before it on its channel
  // (the first to the front), so that it again stands before the music it governs.
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(t.event_count) + 16);
  for (int c = 0; c < 16; ++c) list.push_back(new MidiEvent(0));  // placeholders (deleted)
  list.insert(list.end(), t.events, t.events + t.event_count);
  for (int c = 0; c < 16; ++c) {
    std::vector<size_t> slots = {static_cast<size_t>(c)};
    for (size_t i = 16; i < list.size(); ++i) {
      if (list[i]->status == kStatusProgram && list[i]->channel == c) slots.push_back(i);
    }
    for (size_t k = 0; k + 1 < slots.size(); ++k) {
      std::swap(list[slots[k]], list[slots[k + 1]]);
      std::swap(list[slots[k]]->delta, list[slots[k + 1]]->delta);
    }
  }
  SetEvents(t, list);
  t.Compact();
  // 5. Tempi likewise: each takes the value of the next one, a tempo at the front
  // takes the first; the last goes. A song without tempo stays without.
  std::vector<int32_t> tempos;
  for (int32_t i = 0; i < t.event_count; ++i) {
    if (IsTempo(t.events[i])) tempos.push_back(i);
  }
  if (tempos.empty()) return;
  t.InsertTempoAtIndex(0, 1000000);
  int32_t previous = 0;
  for (int32_t index : tempos) {
    MidiEvent* e = t.events[index + 1];
    t.events[previous]->SetTempo(e->value);
    previous = index + 1;
  }
  t.events[previous]->MarkDeleted();
  t.Compact();
}

int Midi0Data::ReplaceGsResetWithGmOn() {
  return track != nullptr ? track->ReplaceGsResetWithGmOn() : 0;
}

int Midi0Data::ReplaceXgOnWithGmOn() {
  return track != nullptr ? track->ReplaceXgOnWithGmOn() : 0;
}
