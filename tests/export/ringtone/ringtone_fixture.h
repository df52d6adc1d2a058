// Fixture songs of the ringtone tests and the note lists they are compared by.
#pragma once

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "export/ringtone/mobile.h"

namespace ringtone_test {

struct Note {
  int voice, tick, pitch, velocity, duration;
  bool operator<(const Note& o) const {
    return std::tie(voice, tick, pitch) < std::tie(o.voice, o.tick, o.pitch);
  }
  bool operator==(const Note& o) const {
    return std::tie(voice, tick, pitch, velocity, duration) ==
           std::tie(o.voice, o.tick, o.pitch, o.velocity, o.duration);
  }
};

inline std::ostream& operator<<(std::ostream& os, const Note& n) {
  return os << "{v" << n.voice << " t" << n.tick << " p" << n.pitch << " vel" << n.velocity
            << " d" << n.duration << "}";
}

// Every note of the song's voices, by voice index.
inline std::vector<Note> NotesOf(const MobileData& song) {
  std::vector<Note> notes;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    const MobileChannel& v = *song.voices[i];
    int64_t t = 0;
    for (const auto& e : v.events) {
      t += e->delta;
      if (e->IsNote())
        notes.push_back({v.index, static_cast<int>(t), e->note, e->velocity, e->duration});
    }
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

struct FixtureShape {
  int melodic = 7;          // melodic voices, indexes 0 ..
  bool drums = true;        // a drum voice with index 9
  int low = 21, high = 119;  // melodic pitch range
  int notes_per_voice = 12;
};

// Voices of programs, volume, pan and bends, tempo changes, notes of up to 300 ticks and gaps
// of up to 600 at division 96; each voice monophonic.
inline std::unique_ptr<MobileData> FixtureSong(const FixtureShape& shape) {
  auto song = std::make_unique<MobileData>();
  song->division = 96;
  song->title = "fixture";
  song->copyright = "(c) test";
  static const int kDurations[] = {96, 300, 200, 255, 48, 300, 1};
  static const int kGaps[] = {0, 600, 24, 333, 96, 7};
  auto add_voice = [&](int index, bool drum) {
    auto v = std::make_unique<MobileChannel>(index, drum ? 1 : 2);
    v->AddControl(0, kKindTempo, 500000);
    v->AddControl(0, kKindVoiceType, drum ? 1 : 0);
    v->AddControl(0, kKindProgram, drum ? 36 : (index * 17) % 128);
    v->AddControl(0, kKindVolume, 100 - index);
    v->AddControl(0, kKindPan, 20 + index * 10);
    int32_t pending = 3 * index;
    const int span = shape.high - shape.low + 1;
    for (int n = 0; n < shape.notes_per_voice; ++n) {
      const int duration = drum ? std::min(kDurations[n % 7], 200) : kDurations[(n + index) % 7];
      const int pitch = drum ? 35 + (n * 5 + index) % 47 : shape.low + (n * 13 + index * 7) % span;
      const int velocity = 1 + (n * 37 + index * 11) % 127;
      if (n == 4 && !drum) {
        v->AddControl(pending, kKindPitchBend, 80);
        pending = 0;
      }
      if (n == 6) {  // a tempo change
        v->AddControl(pending, kKindTempo, 400000);
        pending = 0;
      }
      v->AddNote(pending, pitch, duration, velocity);
      pending = duration + kGaps[(n + index) % 6];
    }
    v->AddControl(pending, kKindEndOfTrack, 0);
    song->AppendVoice(std::move(v));
  };
  for (int i = 0; i < shape.melodic; ++i) add_voice(i, false);
  if (shape.drums) add_voice(9, true);
  return song;
}

}  // namespace ringtone_test
