// The format-0 song: a MidiData with exactly one track, the form in which songs
// are played. Opening a format-1 file as a format-0 song merges its tracks.
#pragma once

#include <cstdint>
#include <filesystem>

#include "music/midi_data.h"
#include "music/midi_player.h"
#include "music/midi_track.h"

// Codes of the format-0 song module (tag "M0DT").
constexpr uint32_t kM0dtNotFormat0 = 0x04000001;
constexpr uint32_t kM0dtFileOpen = 0x04000002;
constexpr uint32_t kM0dtTrackCount = 0x04000003;
constexpr uint32_t kM0dtNotMidi = 0x04000004;
constexpr uint32_t kM0dtInternal = 0x04000005;
constexpr uint32_t kM0dtMetrePosition = 0x04000007;  // warning, shown once
constexpr uint32_t kM0dtBarCount = 0x04000008;
constexpr uint32_t kM0dtPlayData = 0x04000009;
constexpr uint32_t kM0dtStop = 0x0400000a;
constexpr uint32_t kM0dtFileEnd = 0x0400000b;

// Ticks per bar when a song has no usable metre or division.
constexpr int32_t kDefaultBarLength = 384;
// Division of a new format-0 song.
constexpr int32_t kNewSongDivision = 960;

class Midi0Data : public MidiData {
 public:
  // Empty song: state 2, division 960, one empty note-mode track.
  explicit Midi0Data(int32_t capacity = kDefaultMusicCapacity);
  // Empty song of the state and division with one empty track of that mode.
  Midi0Data(int32_t song_state, int32_t song_division, int32_t capacity);
  // Reads the file; a format-1 file is read as a format-1 song and merged into
  // this song's track. A file that cannot be read or is no MIDI file is reported
  // and gives the empty song of the first constructor.
  Midi0Data(const std::filesystem::path& path, int32_t capacity);
  // Copies the bytes (at most the capacity, 0x60000) and takes them to state 2.
  Midi0Data(const uint8_t* bytes, int32_t size);
  // Copy of a song: state, division, metre override and track (a song in state 0
  // is copied as its bytes).
  Midi0Data(const Midi0Data& song);
  // Like the copy, with the excerpt of the track between the ticks (notes still
  // sounding at the end tick end there). The source must be in state 1 or 2.
  Midi0Data(const Midi0Data& song, int32_t start_tick, int32_t end_tick);
  // State 2, the division and a copy of the note-mode track.
  Midi0Data(const MidiTrack& source, int32_t song_division);
  ~Midi0Data();
  Midi0Data& operator=(const Midi0Data&) = delete;

  // Header and states (0 bytes, 1 events, 2 notes).
  int ReadHeader(int show_errors);
  int ReadHeaderChecked() { return ReadHeader(1); }
  void WriteHeader();
  void Unpack();
  void ToNoteMode();
  void ToEventMode();
  // keep_order 0 orders the events of each tick first (non-notes, system
  // exclusive, note-offs before note-ons). A song that does not fit its
  // capacity is reported and stays in state 1.
  void Pack(int keep_order);
  // Writes the file (temporary name, then rename) from any state and returns to
  // the state it had. 1 on success.
  int SaveFile(const std::filesystem::path& path, int keep_order);
  int SaveFileWithDialog();

  // Lead-in, division and metre.
  // Removes the whole bars before the first note; returns the ticks removed.
  int32_t CutLeadIn();
  void TrimStart(int32_t ticks);
  void SetDivision(int32_t new_division) { ChangeDivision(new_division, 0); }
  // Rescales the track (note mode) and sets the division; in another state the
  // track reports its wrong mode and nothing changes.
  void ChangeDivision(int32_t new_division, int drop_zero_notes);
  // The metre override, else the first time signature; 1 when found.
  int GetMetre(int32_t* metre) const;
  // Ticks per bar of the metre at the division; 384 without either.
  int32_t GetBarLength() const;

  // Merges a copy of the note-mode track into the song's track by time (the song's
  // own events first at equal ticks); keep names 0 drops the song's track names.
  // Returns the result of fixing the overlapping notes.
  int MergeTrackEvents(const MidiTrack& source, int keep_names);
  int MergeTrack(const MidiTrack& source) { return MergeTrackEvents(source, 1); }
  int MergeTrackDroppingNames(const MidiTrack& source) { return MergeTrackEvents(source, 0); }
  static void ErrorMsg(uint32_t code);
  // 0 clears the once-flag; 0x04000007 is shown once until then.
  static void WarnOnce(uint32_t code);

  // Playing on the play thread (defined in music/play_thread.cpp, which says more). Each
  // returns 1 when playing has started. The playback copy of the first two belongs to the play
  // thread until it ends; StopPlay stops whatever plays and returns at once when nothing does.
  int PlayWithCallback(PlayEndCallback end_callback, PlayEventCallback per_event, int cut_lead_in,
                       int loop);
  int PlayCopy(PlayEndCallback end_callback);
  int PlayExcerpt(PlayEndCallback end_callback, int start_tick, int end_tick);
  int PlayExcerptWithCallback(PlayEndCallback end_callback, PlayEventCallback per_event,
                              int start_tick, int end_tick);
  int PlayInThread(PlayEndCallback end_callback);
  int PlayWithEvents(PlayEndCallback end_callback, PlayEventCallback per_event, int tick_offset,
                     int loop);
  int PlayAndDelete(PlayEndCallback end_callback, PlayEventCallback per_event, int tick_offset,
                    int delete_when_done);
  int StartPlayThread(PlayEndCallback end_callback, PlayEventCallback per_event, int tick_offset,
                      int delete_when_done, int start_tick, int end_tick, int loop);
  int StopPlay();

  // Fields, in the order the format keeps them (after the MidiData fields).
  Midi0Data* playback_copy = nullptr;  // owned; made by the play operations
  void* play_thread = nullptr;         // handle of the last play thread, never owned
  MidiTrack* track = nullptr;          // owned; null in state 0

 private:
  enum class HandOff { kAllowed, kNone };
  friend class Midi1Data;
  Midi0Data(const std::filesystem::path& path, int32_t capacity, HandOff hand_off);
  void ReadPath(const std::filesystem::path& path, HandOff hand_off);
  // Empty song of the first constructor (the track is replaced).
  void MakeEmpty();
  // Removes unknown chunks before the track chunk at the read position.
  void SkipForeignChunks();
};

// Resets the module's once-only warning.
void ResetMidi0DataModule();
