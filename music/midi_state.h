// The programs, pitch bends, controller values, tempo and time signature in force after a run of
// events, and the events that re-establish them (tag "MDSS").
#pragma once

#include <array>
#include <cstdint>

#include "music/midi_event.h"

class Midi0Data;
class MidiTrack;

constexpr uint32_t kMdssBadTimeSignature = 0x37000002;

// Room a caller of MakeEvents provides: 16 x 130 + 2 events.
constexpr int kMidiStateMaxEvents = 16 * 130 + 2;

class MidiState {
 public:
  static constexpr int kEntries = 2098;
  // Layout of the flat record of signed 32-bit entries; -1 = not set.
  static constexpr int kProgramBase = 0;                     // [channel]
  static constexpr int kBendBase = 16;                       // [channel * 2 + 0 MSB / 1 LSB]
  static constexpr int kControllerBase = 48;                 // [channel * 128 + number]
  static constexpr int kTempoIndex = 48 + 16 * 128;          // microseconds per quarter
  static constexpr int kTimeSignatureIndex = kTempoIndex + 1;  // numerator * 256 + denominator

  MidiState();

  // Records one event. Channel events of channels outside 0-15 (the second port, none) are
  // ignored.
  void ApplyEvent(const MidiEvent& event);
  // Walks the song's track (event mode) from its start, applying every event before `tick`.
  // Returns the index of the first event at or after `tick` (the event count when there is
  // none); *elapsed receives the absolute tick of the last event applied (0 when none).
  int RunTo(const Midi0Data& song, int tick, int* elapsed);
  int RunTo(const MidiTrack& track, int tick, int* elapsed);
  // Makes the events that re-establish the record into out (room for kMidiStateMaxEvents);
  // returns their number. The caller owns the events. Per channel 0-15: bank select (controllers
  // 0 and 32) first, so that the program change that follows selects from the right bank, then
  // the program, the pitch bend and the other controllers in ascending number; then the tempo
  // and the time signature. Every event has delta 0.
  int MakeEvents(MidiEvent** out) const;
  // Writes into this record every entry in which `before` and `after` differ, with after's value.
  void TakeChanges(const MidiState& before, const MidiState& after);

  static void ErrorMsg(uint32_t code);

  int32_t Program(int channel) const { return e_[kProgramBase + channel]; }
  int32_t BendMsb(int channel) const { return e_[kBendBase + channel * 2]; }
  int32_t BendLsb(int channel) const { return e_[kBendBase + channel * 2 + 1]; }
  int32_t Controller(int channel, int number) const {
    return e_[kControllerBase + channel * 128 + number];
  }
  int32_t Tempo() const { return e_[kTempoIndex]; }
  int32_t TimeSignature() const { return e_[kTimeSignatureIndex]; }
  const std::array<int32_t, kEntries>& Entries() const { return e_; }

 private:
  std::array<int32_t, kEntries> e_;
};
