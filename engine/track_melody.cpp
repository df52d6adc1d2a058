#include "engine/track_melody.h"

#include "engine/compose_info.h"
#include "music/midi1_data.h"

void ConvertTrackToEventList(const Midi1Data& song, int32_t track_index, int32_t division) {
  const MidiTrack* track = song.Track(track_index);
  if (track == nullptr) return;
  EventList& list = VocalMelodyList();
  ConvertTrackToEventList(*track, division, [&list](int32_t length, int32_t pitch) {
    return list.AppendNote(length, pitch) != nullptr;
  });
}
