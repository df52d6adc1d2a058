// A music event with its MIDI channel: the event every MIDI track holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "music/event_pool.h"
#include "music/music_event.h"

// Error codes of the MIDI-event module (tag "MDEV").
constexpr uint32_t kMdevInternal = 0x1d000001;
constexpr uint32_t kMdevBadValue = 0x1d000002;
constexpr uint32_t kMdevBadCommand = 0x1d000003;

// Channel value of events without a channel (meta, system exclusive, new events).
constexpr int32_t kNoChannel = 255;

// Control kinds of ringtone events (status 0xFF, kind in the number field).
constexpr uint32_t kMobileProgram = 33;
constexpr uint32_t kMobileVolume = 35;
constexpr uint32_t kMobilePan = 36;
constexpr uint32_t kMobileTempo = 37;
constexpr uint32_t kMobilePitchBend = 39;
constexpr uint32_t kMobileMasterVolume = 65;

class MidiEvent : public MusicEvent {
 public:
  explicit MidiEvent(int32_t delta_ticks);
  MidiEvent();
  MidiEvent(const MidiEvent& other);             // cleared, then CopyFrom
  MidiEvent& operator=(const MidiEvent& other);  // CopyFrom
  ~MidiEvent() = default;

  // Events come from the pool of the track that makes them, or from the heap
  // (music/event_pool.h); `new` and `delete` work the same either way.
  static void* operator new(size_t bytes) { return EventPool::Allocate(bytes); }
  static void operator delete(void* event) { EventPool::Free(event); }

  // Copies the channel and every event field, duplicating the data block. A null
  // source shows the general error and changes nothing.
  void CopyFrom(const MidiEvent* other);
  void CopyFrom(const MidiEvent& other) { CopyFrom(&other); }

  // Setters: each changes only the fields it names.
  void SetNote(int32_t channel, int32_t note, int32_t velocity, int32_t duration);
  void SetNoteOff(int32_t channel, int32_t note);
  void SetControlChange(int32_t channel, int32_t controller, int32_t value);
  void SetProgramChange(int32_t channel, int32_t program);
  // Clamps to 0..0x3FFF; note = low 7 bits, value = high 7 bits; 1 when not clamped.
  int SetPitchBend(int32_t bend);
  // Tempo meta event with the three value bytes as data, high byte first.
  void SetTempo(int32_t microseconds_per_quarter);
  // Universal master volume F0 07 7F 7F 04 01 00 vv F7 (kind 1); channel unchanged.
  void SetMasterVolume(int32_t volume);
  void MarkDeleted() { status = kStatusDeleted; }

  int GetPitchBend() const { return value * 128 + note; }
  int IsGsPartSysEx() const;
  int IsSecondPortName() const;
  // 1 when the fields agree (never the data bytes): every field and the channel; all
  // but the channel; all but the channel and the delta.
  int Equals(const MidiEvent& other) const;
  int EqualsIgnoringChannel(const MidiEvent& other) const;
  int EqualsIgnoringTime(const MidiEvent& other) const;

  // Turns a ringtone event (status 0x10 note or 0xFF control of a kind) into this
  // event on the channel; drum parts play on channel 9 and lose program changes.
  void SetFromMobileEvent(const MusicEvent& mobile, int32_t channel, int is_drum_part);

  void Dump(std::FILE* file) const { MusicEvent::Dump(file); }
  void DumpWithDivision(std::FILE* file, int32_t division) const {
    MusicEvent::DumpWithDivision(file, division);
  }
  // Japanese description of the event (CP932).
  void Describe(std::string& out) const;

  static void ErrorMsg(uint32_t code);

  int32_t channel = kNoChannel;  // 0-15, 16-31 second port, 255 none

  // Where an event read from a file stood there: the read it came from (0: made by the
  // program), its place in that read (the file's order, chunk after chunk) and its tick
  // then. Held in memory only, never written. Events of one tick that still stand at
  // their ticks of the read keep the file's order through note mode and back; a note
  // keeps in `end_read_place` the place of the note-off that ended it. Copies keep both.
  struct ReadPlace {
    uint32_t read = 0;
    uint32_t place = 0;
    int32_t tick = 0;
    // Whether the event still stands where it was read (at `at`, its tick now).
    bool StandsAt(int64_t at) const { return read != 0 && tick == at; }
    // Whether both stand at `at`, come from one read, and this stood first.
    bool Before(const ReadPlace& other, int64_t at) const {
      return StandsAt(at) && other.StandsAt(at) && read == other.read && place < other.place;
    }
  };
  ReadPlace read_place;
  ReadPlace end_read_place;
};

// "コントロールチェンジ(n)" or the controller's name from the table.
void ControllerName(int32_t controller, std::string& out);
