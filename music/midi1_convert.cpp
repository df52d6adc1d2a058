// Conversions of the format-1 song: merging by channel, rebuilding from a format-0
// song, song-wide voice limiting, one track per channel, track names kept around a
// merge, and converting file bytes between the two formats.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/track_text.h"

namespace {

constexpr int32_t kConvertCapacity = 0x60000;
constexpr int kNameSlots = 17;

}  // namespace

void Midi1Data::MergeToFormat0ByChannel(Midi0Data& song) const {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  song.division = division;
  if (song.track == nullptr) song.track = new MidiTrack(kTrackNotes, song.capacity);
  for (int32_t t = 0; t < track_count; ++t) {
    if (tracks[t]->GetChannel() == kNoChannel) {
      song.MergeTrack(*tracks[t]);
    } else {
      song.MergeTrackDroppingNames(*tracks[t]);
    }
  }
  song.track->KeepOneEndOfTrack();
}

void Midi1Data::RebuildFromFormat0(const Midi0Data& song) {
  if (song.state != kSongNotes || song.track == nullptr) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  Midi1Data split(song, kConvertCapacity);
  division = split.division;
  DeleteTracks();
  // The split tracks are taken over as they are: they were made for this song.
  for (int32_t t = 0; t < split.track_count; ++t) {
    tracks[t] = split.tracks[t];
    split.tracks[t] = nullptr;
  }
  track_count = split.track_count;
  split.track_count = 0;
  state = kSongNotes;
}

void Midi1Data::TakeTrackNames(char (*names)[256]) {
  for (int i = 0; i < kNameSlots; ++i) names[i][0] = 0;
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    const int channel = track.GetChannel();
    const int slot = channel >= 0 && channel < 16 ? channel : 16;
    track.GetMetaText(3, names[slot], 256);
    track.DeleteMeta(3, 0);
  }
}

void Midi1Data::RestoreTrackNames(const char (*names)[256]) {
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    const int channel = track.GetChannel();
    if (channel >= 0 && channel < 16) {
      track.InsertMetaTextAtStart(3, names[channel]);
    } else if (t == 0 && channel == kNoChannel) {
      track.InsertMetaTextAtStart(3, names[16]);
    }
  }
}

void Midi1Data::LimitPolyphony(int32_t voices) {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  auto names = std::make_unique<char[][256]>(kNameSlots);
  TakeTrackNames(names.get());
  Midi0Data merged(kSongNotes, division, kConvertCapacity);
  MergeToFormat0(merged);
  merged.ToEventMode();
  merged.track->LimitPolyphony(voices);
  merged.ToNoteMode();
  RebuildFromFormat0(merged);
  RestoreTrackNames(names.get());
}

void Midi1Data::MergeTracksByChannel() {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  Midi1Track* groups[16] = {};
  std::vector<Midi1Track*> high;  // tracks of the second port, kept as they are
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track* track = tracks[t];
    tracks[t] = nullptr;
    const int channel = track->GetChannel();
    if (channel != kNoChannel && (channel < 0 || channel > 15)) {
      high.push_back(track);
      continue;
    }
    const int group = channel == kNoChannel ? 1 : channel;
    if (groups[group] == nullptr) {
      groups[group] = track;
    } else {
      groups[group]->Merge(*track);
      delete track;
    }
  }
  track_count = 0;
  for (int ch = 0; ch < 16; ++ch) {
    if (groups[ch] == nullptr) groups[ch] = new Midi1Track(kTrackNotes, 0, kConvertCapacity);
    tracks[track_count++] = groups[ch];
  }
  for (Midi1Track* track : high) AddTrack(track);
}

void Midi1Data::KeepRanges(const int32_t* ranges, int32_t count) {
  if (ranges == nullptr || count <= 0) return;
  for (int32_t r = 0; r < count; ++r) {
    if (ranges[2 * r] < 0 || ranges[2 * r] >= ranges[2 * r + 1] ||
        (r > 0 && ranges[2 * r] < ranges[2 * r - 1])) {
      MidiTrack::ErrorMsg(kMdtkPlayStart);
      return;
    }
  }
  const int32_t was = state;
  if (was == kSongNotes) ToEventMode();
  if (state != kSongEvents) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  for (int32_t t = 0; t < track_count; ++t) {
    Midi1Track& track = *tracks[t];
    if (track.IsMetaOnly()) {
      for (int32_t r = 0; r < count; ++r) {
        const int32_t start = ranges[2 * r];
        const int32_t end = ranges[2 * r + 1];
        if (start != 0) track.SplitBarAt(division, start);
        if (end < track.GetLength()) track.SplitBarAt(division, end);
      }
    }
    track.KeepRanges(ranges, count);
  }
  if (was == kSongNotes) ToNoteMode();
}

int ConvertSmfFormat(uint8_t* bytes, int32_t* size, int32_t format, int32_t capacity) {
  if (bytes == nullptr || size == nullptr || *size < 0 || capacity < *size) {
    Midi1Data::ErrorMsg(kM1dtInternal);
    return 0;
  }
  const int current = GetSmfFormat(bytes, *size);
  if (current == format) return 1;
  const uint8_t* result = nullptr;
  int32_t result_size = 0;
  std::unique_ptr<Midi1Data> format1;
  std::unique_ptr<Midi0Data> format0;
  if (format == 1) {
    format0 = std::make_unique<Midi0Data>(bytes, *size);
    if (format0->state != kSongNotes) return 0;
    format1 = std::make_unique<Midi1Data>(*format0, kConvertCapacity);
    format1->ToEventMode();
    format1->Pack();
    result = format1->buffer;
    result_size = format1->used_size;
  } else if (format == 0) {
    format1 = std::make_unique<Midi1Data>(bytes, *size, 1, kConvertCapacity);
    if (format1->state != kSongNotes) return 0;
    format0 = std::make_unique<Midi0Data>(kSongNotes, format1->division, kConvertCapacity);
    format1->MergeToFormat0(*format0);
    // Packed in the system's order (keepOrder 0), from the conversion's own order.
    if (format0->track != nullptr) format0->track->ForgetReadOrder();
    format0->ToEventMode();
    format0->Pack(0);
    if (format0->state != kSongBytes) return 0;
    result = format0->buffer;
    result_size = format0->used_size;
  } else {
    MidiData::ErrorMsg(kMddtFormat);
    return 0;
  }
  if (result_size > capacity) {
    Midi1Data::ErrorMsg(kM1dtTooLarge);
    return 0;
  }
  std::memcpy(bytes, result, static_cast<size_t>(result_size));
  *size = result_size;
  return 1;
}
