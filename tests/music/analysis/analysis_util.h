// Small note-mode songs for the tune-structure and chord-analysis tests.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_track.h"

namespace analysis_test {

struct N {
  int32_t tick, channel, pitch, duration;
  int32_t velocity = 100;
};

// A format-0 song in note mode: programs first (channel, program), then the notes by
// time, End of Track after the last note.
inline std::unique_ptr<Midi0Data> SongOf(std::vector<N> notes, int32_t division = 96,
                                         const std::vector<std::pair<int, int>>& programs = {}) {
  auto song = std::make_unique<Midi0Data>(kTrackNotes, division, kDefaultMusicCapacity);
  MidiTrack& t = *song->track;
  for (const auto& [channel, program] : programs) t.AddProgramChange(channel, program);
  std::stable_sort(notes.begin(), notes.end(), [](const N& a, const N& b) { return a.tick < b.tick; });
  int32_t last = 0, end = 0;
  for (const N& n : notes) {
    t.AddNote(n.channel, n.tick - last, n.pitch, n.velocity, n.duration);
    last = n.tick;
    end = std::max(end, n.tick + n.duration);
  }
  t.AddEndOfTrackAt(end - last);
  return song;
}

// A line of `count` notes of `duration` every `step` ticks on the channel.
inline void Line(std::vector<N>& notes, int32_t channel, int32_t count, int32_t step,
                 int32_t duration, std::initializer_list<int32_t> pitches, int32_t start = 0) {
  std::vector<int32_t> p(pitches);
  for (int32_t i = 0; i < count; ++i)
    notes.push_back({start + i * step, channel, p[static_cast<size_t>(i) % p.size()], duration});
}

}  // namespace analysis_test
