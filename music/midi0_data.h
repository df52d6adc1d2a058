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
  // ---- editing passes (music/midi0_passes.cpp); state checks report 0x04000005 ----
  // A rhythm channel is one the track's IsRhythmPart accepts.
  // The first "START" marker: with test only 1 just 1; otherwise the song starts at
  // its tick (the notes before it go at the next compaction, the settings stay at
  // tick 0). 0 without one. State 1 or 2.
  int HandleStartMarker(int test_only);
  int CutBeforeStartMarker() { return HandleStartMarker(0); }
  // The first "STOP" marker or text becomes End of Track at the end of its tick and
  // everything after it goes. 0 without one. State 1 or 2.
  int HandleStopMarker(int test_only);
  int CutAfterStopMarker() { return HandleStopMarker(0); }
  // State 2: markers reading old text get the new text (with its terminator).
  void ReplaceMarkerText(const char* old_text, const char* new_text);
  // Tempo events with an index in [first, last] (last -1: the last event).
  void DeleteTemposBetween(int32_t first, int32_t last);
  // The tempo in force at the first note becomes the first tempo.
  void RemoveEarlyTempos();
  // Every tempo to the front of its tick; of two in one tick the later stays.
  void MoveTemposToTickStart();
  // Without a tempo before the first note, one of the value at the first note's tick.
  void InsertTempoAtFirstNote(int32_t tempo);
  int32_t GetFirstTempo() const;  // 60000 without one
  // State 2: the sustain pedal (controller 64) turned into note lengths per channel.
  void ApplySustainPedal();
  void SetMinimumRhythmLength();  // rhythm notes of less than 60 ticks get 60
  int HasShortRhythmNote() const;
  void DeleteAllControlChanges(int32_t controller);
  // Each drum family folded onto its most used member on the rhythm channels (the
  // notes of other channels are not counted); the number of notes changed.
  int RemapDrumFamilies();
  // Notes not on rhythm channels moved by the semitones, folded by octaves into
  // 0..127; or mirrored around a multiple of two octaves near their channel's middle.
  void TransposeNonRhythm(int32_t semitones);
  void InvertNonRhythm();
  // Drops every event of the other channels but tempo, time signature and End of
  // Track, so that the kept channel plays at its speed.
  void KeepOnlyChannel(int32_t channel);
  void DeleteChannel(int32_t channel);
  // A copy of every event of the first channel on the second, at the same tick.
  void DuplicateChannel(int32_t from, int32_t to);
  // The channel, neither rhythm nor excluded, with the fewest events (lowest on
  // ties); -1 when none.
  int32_t FindQuietestChannel(const int32_t* excluded, int32_t count) const;
  void GetChannelEventCounts(int32_t* counts) const;  // 16 counts
  int HasChannelEvents(int32_t channel) const;        // system exclusive aside
  int32_t GetFirstNoteTick() const;
  // The index of the last event of the first note's tick.
  int32_t GetFirstNoteIndex() const;
  void GetNoteRange(int32_t channel, int32_t* lowest, int32_t* highest) const;
  int32_t CountEventsBetween(int32_t start, int32_t end) const;
  int32_t CountChannelStatus(int32_t channel, uint32_t status_value) const;
  int HasStatusBetween(uint32_t status_value, int32_t start, int32_t end) const;
  // A note starts or ends in [start, end), or sounds at start.
  int IsBusyBetween(int32_t start, int32_t end) const;
  int HasOverlappingNotes();
  int MasterVolumeFollowsReset(int insert_flag);
  int AddMasterVolumeAfterReset() { return MasterVolumeFollowsReset(1); }
  // The other song's events after this song's end (its End of Track gives way).
  void AppendSong(const Midi0Data& song);
  // State 1, ending with End of Track (else 0x0400000b): the song played backwards,
  // a note [s, e) becoming [T - e, T - s), T the tick of the last event; program
  // changes and tempi again stand before the music they govern.
  void Reverse();
  // GS reset (any device number) or XG System On replaced by GM System On; 1 when any.
  int ReplaceGsResetWithGmOn();
  int ReplaceXgOnWithGmOn();

  // ---- bars, beats and seconds (music/midi_bars.cpp) ----
  // A bar is 4/4 until the first time signature; a bar of no tick counts as 4/4. A
  // song of division 0 is reported (0x04000009) and every answer is 0.
  // The first bar line at or after the tick (state 1 or 2).
  int32_t GetNextBarLine(int32_t tick);
  // The bar line before the tick: the start of its bar, or the bar line before when
  // the tick is one (state 1).
  int32_t GetBarLineBefore(int32_t tick);
  // Bars of each stretch between time signatures, rounded up, summed (state 1).
  int32_t CountBars();
  // Tick of the bar counted from 0; bars past the song's end go on at the last
  // bar length (state 1).
  int32_t GetBarTick(int32_t bar_index);
  // Bar, beat and tick of the tick, beats in quarters (signature beats 0) or in the
  // time signature's own beats (1).
  void TickToBarBeatTick(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks,
                         int signature_beats);
  // Milliseconds the song lasts: 60 beats per minute until the first tempo.
  int32_t GetDurationMs();
  // The latest event or note end (note mode).
  int32_t GetEndTick();
  // The first tick at or after the start where as many notes sound as ever in the
  // song; -1 when none.
  int32_t FindPeakPolyphonyTick(int32_t from_tick);
  // The first tick at or after the start that begins a window with the most events
  // of the status; -1 when none.
  int32_t FindDensestWindow(int32_t from_tick, int32_t window, uint32_t status_value);

  // The track's dump into "DumpData.txt" in the user data folder; 0x04000002 when
  // the file cannot be written. 1 when written.
  int DumpToFile() const;

  static void ErrorMsg(uint32_t code);
  // The same box with why a write failed (in words) on a line of its own.
  static void ErrorMsg(uint32_t code, const std::string& why);
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
