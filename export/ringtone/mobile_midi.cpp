// The mobile song and Standard MIDI songs: the MIDI-channel form of the song.
#include <algorithm>

#include "export/ringtone/mobile.h"

MidiMobileData::~MidiMobileData() = default;

void MidiMobileData::AddFourChannelsByChannel(const MobileTrack& track) {
  const int32_t first = voice_count;
  MobileChannel* targets[4] = {};
  for (int32_t k = 0; k < 4; ++k) {
    auto voice = std::make_unique<MobileChannel>(first + k, 0, kMobileCapacity);
    targets[k] = voice.get();
    if (!AppendVoice(std::move(voice))) targets[k] = nullptr;
  }
  int64_t acc[4] = {};
  for (const auto& e : track.events) {
    for (auto& a : acc) a += e->delta;
    auto put = [&](int32_t v) {
      if (targets[v] == nullptr) return;
      targets[v]->AddEventWithDelta(*e, static_cast<int32_t>(acc[v]));
      acc[v] = 0;
    };
    if (e->voice == kAllVoices) {
      for (int32_t v = 0; v < 4; ++v) put(v);
    } else if (e->voice >= 0) {
      put(e->voice % 4);
    }
  }
}
