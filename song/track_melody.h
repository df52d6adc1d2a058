// One track of a MIDI song turned into a melody of notes and rests at 96 ticks per
// quarter: the form in which the song import and the composition engine take a melody.
//
// The song library may not use the engine, so the conversion lives here and hands its
// events to a sink; the import keeps them in its own list, the engine appends them to
// its melody list.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "util/program_errors.h"

class MidiTrack;
class Midi1Data;

// A pitch outside 0..127 met during the conversion.
constexpr ProgramErrorCode kTrackMelodyPitchError = 0xFF0101B7u;
// A note of pitch 11 or lower at the start of a note (octave out of range).
constexpr ProgramErrorCode kTrackMelodyOctaveError = 0xFF0101B8u;
// The melody list is full (the engine's note-memory error).
constexpr ProgramErrorCode kTrackMelodyListFull = 0xFF010134u;

// Ticks of one 4/4 bar at 96 per quarter: the longest event the conversion makes.
constexpr int32_t kTrackMelodyBarTicks = 384;
// Events a melody list holds at most.
constexpr int32_t kTrackMelodyCapacity = 16384;

// Receives one event (length at 96 per quarter, pitch, 0 = rest); returns false when it
// takes no more (the conversion stops).
using MelodyEventSink = std::function<bool(int32_t length, int32_t pitch)>;

// Walks the note-mode track: a rest stands for every gap after a sounding note; each
// note or rest becomes one event whose length runs to the next note start (deltas
// scaled by 96 / division each); lengths above a 4/4 bar become bar-long pieces, the
// first with the pitch, the others rests. The track is not changed. A division of 0 or
// less gives nothing.
void ConvertTrackToEventList(const MidiTrack& track, int32_t division, const MelodyEventSink& sink);

// The import's melody list: the events of one conversion.
struct MelodyEvent {
  int32_t length = 0;  // ticks at 96 per quarter
  int32_t pitch = 0;   // MIDI note, 0 = rest
};

class MelodyEventList {
 public:
  // Appends; the last place shows the list-full error and still takes the event; on a
  // full list nothing is appended and false is returned.
  bool AppendNote(int32_t length, int32_t pitch);
  void FreeEvents() { events_.clear(); }
  int32_t count() const { return static_cast<int32_t>(events_.size()); }
  const MelodyEvent& operator[](int32_t i) const { return events_[static_cast<size_t>(i)]; }
  const std::vector<MelodyEvent>& events() const { return events_; }

 private:
  std::vector<MelodyEvent> events_;
};

// Appends the melody of the song's track (index) to the list (the caller empties it
// first). A missing track gives nothing.
void ConvertTrackToEventList(const Midi1Data& song, int32_t track_index, int32_t division,
                             MelodyEventList& list);
