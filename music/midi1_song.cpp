// Song-level operations of the format-1 song: track choice by channel and name,
// drum tracks, channel counting, tempo collection, queries over all tracks, channel
// volumes, trimming one track, events put on a channel, and normalising.
#include <algorithm>
#include <cstring>
#include <string>

#include "music/controllers.h"
#include "music/midi1_data.h"
#include "music/sysex_kind.h"
#include "music/track_text.h"
#include "util/gne_text.h"

namespace {

constexpr int32_t kSongTrackCapacity = 0x60000;

bool IsConductor(const Midi1Track& track) { return track.IsMetaOnly() == 1; }

}  // namespace

int32_t Midi1Data::SortTracksByChannel() {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int32_t i = 0; i + 1 < track_count; ++i) {
      const int a = tracks[i]->GetChannel();
      const int b = tracks[i + 1]->GetChannel();
      if (a != kNoChannel && (b == kNoChannel || b < a)) {
        std::swap(tracks[i], tracks[i + 1]);
        swapped = true;
      }
    }
  }
  return track_count - 1;
}

void Midi1Data::KeepOnlyChannel(int32_t channel) {
  // The conductor tracks stay: without them the channel would play without its
  // tempo and metre.
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->GetChannel() != channel && !IsConductor(*tracks[i])) DeleteTrack(i);
  }
}

void Midi1Data::DeleteChannelTracks(int32_t channel) {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->GetChannel() == channel && !IsConductor(*tracks[i])) DeleteTrack(i);
  }
}

void Midi1Data::DeleteTracksOfChannel(int32_t channel) {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->GetChannel() == channel) DeleteTrack(i);
  }
}

void Midi1Data::DeleteEmptyTracks() {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (i == 0 && IsConductor(*tracks[0])) continue;
    if (tracks[i]->GetNoteCount() == 0 && tracks[i]->CountEvents(kStatusSysEx) == 0) DeleteTrack(i);
  }
}

void Midi1Data::DeleteNoteFreeTracks() {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (i == 0 && IsConductor(*tracks[0])) continue;
    if (tracks[i]->GetNoteCount() == 0) DeleteTrack(i);
  }
}

void Midi1Data::DeleteEndOnlyTracks() {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->IsEmpty()) DeleteTrack(i);
  }
}

void Midi1Data::DeleteGsPartTracks() {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->IsGsPartSetupTrack()) DeleteTrack(i);
  }
}

int32_t Midi1Data::FindTrackByName(const char* pattern) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->FindEventIndex(kStatusMeta, 3) < 0) continue;
    const std::string name = tracks[i]->MetaText(3);
    if (GneMatchWildcard(pattern, name.c_str())) return i;
  }
  return -1;
}

int32_t Midi1Data::FindTrackByChannel(int32_t channel) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetChannel() == channel) return i;
  }
  return -1;
}

int32_t Midi1Data::FindFreeChannel() const {
  bool used[16] = {};
  for (int32_t i = 0; i < track_count; ++i) {
    const int ch = tracks[i]->GetChannel();
    if (ch >= 0 && ch < 16) used[ch] = true;
  }
  for (int ch = 0; ch < 16; ++ch) {
    if (!used[ch]) return ch;
  }
  return -1;
}

int32_t Midi1Data::FindChannelOfInstrument(int32_t bank_msb, int32_t bank_lsb, int32_t program) const {
  for (int32_t i = 0; i < track_count; ++i) {
    const Midi1Track& t = *tracks[i];
    if (t.GetFirstNonZeroProgramAny() == program && t.GetFirstControllerValue(cc::kBankLsb) == bank_lsb &&
        t.GetFirstControllerValue(cc::kBankMsb) == bank_msb) {
      return t.GetChannel();
    }
  }
  return -1;
}

int Midi1Data::IsDrumTrack(int32_t index) const {
  const Midi1Track* track = Track(index);
  if (track == nullptr) return 0;
  const int channel = track->GetChannel();
  if (channel == kNoChannel) return 0;
  if (channel > 16) {
    ErrorMsg(kM1dtChannelCount);
    return 0;
  }
  if (channel == 9) return 1;
  for (int32_t t = 0; t < track_count; ++t) {
    const Midi1Track& other = *tracks[t];
    for (int32_t i = 0; i < other.event_count; ++i) {
      const MidiEvent& e = *other.events[i];
      if (e.status == kStatusSysEx && e.number == 18 && e.channel == channel) {
        return e.GetDataByte(9) != 0 ? 1 : 0;
      }
    }
  }
  return 0;
}

int32_t Midi1Data::CountDrumTracks() const {
  int32_t count = 0;
  for (int32_t i = 0; i < track_count; ++i) count += IsDrumTrack(i);
  return count;
}

int32_t Midi1Data::CountChannels(int* second_port) const {
  bool used[32] = {};
  int high = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    const int ch = tracks[i]->GetPortChannel();
    if (ch < 0 || ch >= 32) continue;
    used[ch] = true;
    if (ch > 15) high = 1;
  }
  if (second_port) *second_port = high;
  return static_cast<int32_t>(std::count(std::begin(used), std::end(used), true));
}

int Midi1Data::HasDuplicateChannels() const {
  bool seen[256] = {};
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsConductor(*tracks[i])) continue;
    const int ch = tracks[i]->GetChannel();
    if (ch == kNoChannel || ch < 0 || ch > 255) continue;
    if (seen[ch]) return 1;
    seen[ch] = true;
  }
  return 0;
}

int Midi1Data::FindMetaText(int32_t type, char* out, int32_t room) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->FindEventIndex(kStatusMeta, type) >= 0) {
      tracks[i]->GetMetaText(type, out, room);
      return 1;
    }
  }
  return 0;
}

int32_t Midi1Data::FindCuePoint(const char* text) const {
  if (track_count == 0) return 0;
  for (int32_t i = 0; i < track_count; ++i) {
    const int32_t tick = tracks[i]->FindMetaText(7, text);
    if (tick >= 0) return tick;
  }
  return -1;
}

int32_t Midi1Data::FindMarker(const char* text) const {
  for (int32_t i = 0; i < track_count; ++i) {
    const int32_t tick = tracks[i]->FindMetaText(6, text);
    if (tick >= 0) return tick;
  }
  return -1;
}

int32_t Midi1Data::CollectTempos(int32_t (*records)[2]) const {
  int32_t n = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    int64_t tick = 0;
    const Midi1Track& track = *tracks[t];
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      tick += e.delta;
      if (e.status != kStatusMeta || e.number != 0x51) continue;
      records[n][0] = SaturatedDelta(tick);
      records[n][1] = e.value;
      if (++n == kMaxTempoRecords) {
        ErrorMsg(kM1dtManyTempos);
        return n;
      }
    }
  }
  return n;
}

int Midi1Data::GetFirstTempo(int32_t* out) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetFirstTempo(out)) return 1;
  }
  return 0;
}

int Midi1Data::GetNthTempo(int32_t* out, int32_t n) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetNthTempo(out, n)) return 1;
  }
  return 0;
}

int Midi1Data::GetChannelProgram(int32_t channel) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetChannel() != channel) continue;
    const int program = tracks[i]->GetFirstNonZeroProgramAny();
    if (program >= 0) return program;
  }
  return -1;
}

int Midi1Data::GetChannelVolume(int32_t channel) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetChannel() != channel) continue;
    const int volume = tracks[i]->GetVolume(1);
    if (volume >= 0) return volume;
  }
  return -1;
}

void Midi1Data::GetNoteRange(int32_t channel, int32_t* lowest, int32_t* highest) const {
  int32_t low = 127;
  int32_t high = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    const Midi1Track& track = *tracks[t];
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      if ((e.status == kStatusNote || (e.status == kStatusNoteOn && e.velocity > 0)) &&
          e.channel == channel) {
        low = std::min(low, e.note);
        high = std::max(high, e.note);
      }
    }
  }
  if (lowest) *lowest = low;
  if (highest) *highest = high;
}

int Midi1Data::HasNotesOnChannel(int32_t channel) const {
  for (int32_t t = 0; t < track_count; ++t) {
    if (tracks[t]->CountNotesOfChannel(channel) > 0) return 1;
  }
  return 0;
}

int32_t Midi1Data::FirstEventTick(uint32_t status_value, uint32_t number_value) const {
  for (int32_t t = 0; t < track_count; ++t) {
    const int32_t tick = tracks[t]->FindFirstEventTime(status_value, number_value);
    if (tick >= 0) return tick;
  }
  return -1;
}

int32_t Midi1Data::FirstSysExTick(uint32_t kind) const {
  for (int32_t t = 0; t < track_count; ++t) {
    const int32_t tick = tracks[t]->FindSysExKindTime(kind);
    if (tick >= 0) return tick;
  }
  return -1;
}

int Midi1Data::EnsureChannelVolumes(std::string* message) {
  std::string text;
  int changed = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    const int channel = track.GetChannel();
    if (IsConductor(track) || channel == kNoChannel) continue;
    bool has_volume = false;
    for (int32_t i = 0; i < track.event_count && !has_volume; ++i) {
      const MidiEvent& e = *track.events[i];
      has_volume = e.status == kStatusController && e.number == 7;
    }
    if (has_volume) continue;
    auto* e = new MidiEvent(0);
    e->SetControlChange(channel, 7, 100);
    track.InsertEventAtTime(0, e, 1);
    text += " チャネル " + std::to_string(channel + 1);
    changed = 1;
  }
  text += "にボリュームが設定されていませんでしたのでボリュームを100に設定しました。";
  if (message) *message = text;
  return changed;
}

void Midi1Data::TrimTrackStart(int32_t index, int32_t ticks) {
  Midi1Track* track = Track(index);
  if (track == nullptr) return;
  if (track->GetChannel() != index) ErrorMsg(kM1dtChannel);
  if (ticks <= 0) return;
  int64_t remaining = ticks;
  for (int32_t i = 0; i < track->event_count && remaining > 0; ++i) {
    MidiEvent& e = *track->events[i];
    if (e.delta >= remaining) {  // an event at the cut itself stays
      e.delta = SaturatedDelta(e.delta - remaining);
      break;
    }
    remaining -= e.delta;
    e.delta = 0;
    if (e.status == kStatusNoteOn || e.status == kStatusNoteOff || e.status == kStatusNote) {
      e.MarkDeleted();
    }
  }
  track->Compact();
}

void Midi1Data::TruncateTrack(int32_t index, int32_t tick) {
  Midi1Track* track = Track(index);
  if (track == nullptr) return;
  if (track->GetChannel() != index) ErrorMsg(kM1dtChannel);
  if (tick < 1) return;
  int64_t t = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    t += track->events[i]->delta;
    if (t >= tick) {
      for (int32_t j = i; j < track->event_count; ++j) track->events[j]->MarkDeleted();
      track->Compact();
      track->AddEndOfTrack();
      return;
    }
  }
}

void Midi1Data::InsertEventOnChannel(int32_t channel, MidiEvent* event, int32_t tick) {
  if (event == nullptr) return;
  const int32_t index = FindTrackByChannel(channel);
  if (index >= 0) {
    event->delta = 0;
    tracks[index]->InsertEventAtTime(tick, event, 1);
    return;
  }
  // A full song has no room for the new track: reported, and the event goes.
  if (track_count >= kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    delete event;
    return;
  }
  auto* track = new Midi1Track(state == kSongNotes ? kTrackNotes : kTrackEvents, kSongTrackCapacity);
  event->delta = tick;
  track->AddEvent(event);
  track->AddEndOfTrack();
  AddTrack(track);
}

void Midi1Data::NormaliseController(int32_t controller) {
  int largest = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    largest = std::max(largest, tracks[t]->GetMaxControllerValue(controller));
  }
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    for (int32_t i = 0; i < track.event_count; ++i) {
      MidiEvent& e = *track.events[i];
      if (e.status != kStatusController || e.number != static_cast<uint32_t>(controller)) continue;
      e.value = largest == 0 ? 127 : std::min(127, e.value * 127 / largest);
    }
  }
}

namespace {

int LargestVelocity(const Midi1Data& song) {
  int v = 0;
  for (int32_t t = 0; t < song.track_count; ++t) v = std::max(v, song.tracks[t]->GetMaxVelocity());
  return v;
}

// Every note-mode track's velocities times the factor (the track's own scaling).
void ScaleNoteVelocities(Midi1Data& song, double factor) {
  for (int32_t t = 0; t < song.track_count; ++t) {
    if (song.tracks[t]->mode == kTrackNotes) song.tracks[t]->ScaleVelocity(factor);
  }
}

}  // namespace

void Midi1Data::ScaleVelocities(double factor) {
  const int v = LargestVelocity(*this);
  if (v <= 0) return;
  ScaleNoteVelocities(*this, std::min(factor, 127.0 / v));
}

void Midi1Data::NormaliseVelocities() {
  const int v = LargestVelocity(*this);
  if (v <= 0) return;
  ScaleNoteVelocities(*this, 127.0 / v);
}

void Midi1Data::NormaliseVolumes() {
  NormaliseController(cc::kExpression);
  NormaliseController(cc::kVolume);
  NormaliseVelocities();
}

void Midi1Data::NormaliseMix(double factor) {
  NormaliseController(cc::kExpression);
  NormaliseController(cc::kVolume);
  ScaleVelocities(factor);
}

double Midi1Data::TickToTime(int, int32_t tick) const {
  if (track_count == 0) return 0.0;
  return tracks[0]->GetSecondsUpTo(0, tick, division);
}
