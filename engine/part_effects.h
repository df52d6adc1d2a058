// Performance effects: passes that rework a closed melody-type part track
// (velocity jitter, bend scoops, flicks and wobbles, vibrato, glides, tremolo,
// pastoral trills; on the melody channel sirens, long-pipe echoes and
// brightness sweeps), chosen by the part record's effect and ornament codes.
#pragma once

#include <cstdint>
#include <vector>

#include "music/midi1_track.h"
#include "util/program_errors.h"

constexpr ProgramErrorCode kMelodyTrackDataType = 0xFF0101B4u;
constexpr ProgramErrorCode kLongPipeQuestion = 0xFF01014Cu;

// Effect codes.
constexpr int kEffectChokeLight = 5;
constexpr int kEffectSiren = 8;
constexpr int kEffectLongPipe = 9;
constexpr int kEffectVibrato = 10;
constexpr int kEffectBrightness = 12;
constexpr int kEffectShake = 13;
constexpr int kEffectChokeMedium = 17;
constexpr int kEffectScat = 18;
constexpr int kEffectHeadShake = 19;
constexpr int kEffectPastoral = 20;
constexpr int kEffectGlide = 21;
constexpr int kEffectTremolo = 22;

// A walk over a track's events that can insert before and after the event at
// hand in constant time (a gap buffer): the events behind the cursor are done,
// those ahead are still to come. Finish (or the destructor) puts them back.
class TrackCursor {
 public:
  explicit TrackCursor(MidiTrack& track);
  ~TrackCursor();
  TrackCursor(const TrackCursor&) = delete;
  TrackCursor& operator=(const TrackCursor&) = delete;

  // Steps onto the next event; nullptr at the end.
  MidiEvent* Next();
  // The event at hand (the last one stepped onto), or nullptr.
  MidiEvent* Current() const { return done_.empty() ? nullptr : done_.back(); }
  // The event after the one at hand, or nullptr.
  MidiEvent* Ahead() const { return todo_.empty() ? nullptr : todo_.back(); }
  // The k-th event ahead (0: the next one), or nullptr.
  MidiEvent* AheadAt(int k) const {
    return k >= 0 && k < static_cast<int>(todo_.size()) ? todo_[todo_.size() - 1 - k] : nullptr;
  }
  // Ticks from the event at hand to the next one; -1 when none follows.
  int64_t GapToNext() const { return todo_.empty() ? -1 : todo_.back()->delta; }
  // Shortens the gap to the next event (never below 0).
  void ShrinkNextGap(int64_t ticks);
  // Puts the event after the one at hand, already passed (it becomes the one at hand).
  void PutAfter(MidiEvent* e);
  // Puts the event after the one at hand, still to come.
  void PutAhead(MidiEvent* e);
  // Puts the event in the place of the one at hand, which moves ahead (to be met again).
  void PutInPlace(MidiEvent* e);
  // Writes the events back into the track (once).
  void Finish();
  MidiTrack& track() { return track_; }

 private:
  MidiTrack& track_;
  std::vector<MidiEvent*> done_;
  std::vector<MidiEvent*> todo_;  // reversed: back() comes next
  bool finished_ = false;
};

// Note-level helpers on the note at an index of a note-mode track; each returns
// the number of events it put after the note.
int BendInNoteAt(MidiTrack& track, int32_t index, int ticks);
int FlickNoteAt(MidiTrack& track, int32_t index);
int WobbleNoteAt(MidiTrack& track, int32_t index);
int VibratoNoteAt(MidiTrack& track, int32_t index);
int RepeatNoteAt(MidiTrack& track, int32_t index, int step);
// The same on the event at hand of a walk (the walk then stands on the note).
int BendInNote(TrackCursor& walk, int ticks);
int FlickNote(TrackCursor& walk);
int WobbleNote(TrackCursor& walk);
int VibratoNote(TrackCursor& walk);
int RepeatNote(TrackCursor& walk, int step);

void EffectChokeLight(MidiTrack& track);
void EffectChokeMedium(MidiTrack& track);
void EffectScat(MidiTrack& track);
void EffectShake(MidiTrack& track);
void EffectVibrato(MidiTrack& track);
void EffectHeadShake(Midi1Track& track);
void EffectPastoral(MidiTrack& track, int upper_bound, const char* scale_text);
void EffectGlide(Midi1Track& track);
void EffectTremolo(MidiTrack& track);
void EffectSiren(MidiTrack& track);
void EffectLongPipe(MidiTrack& track);
void EffectBrightnessSweep(MidiTrack& track);

// The effects of the channel's part record, then, on channel 1, the melody's own.
void ApplyPartEffects(Midi1Track& track, int channel);
void ApplyChannelOneEffects(int channel, Midi1Track& track);
// Appends pan = *value, then walks the value by a step of 5 between 1 and 127.
void AddPanStep(MidiTrack& track, int channel, int* value);
