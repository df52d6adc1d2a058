// MIDI track: one Standard MIDI File track chunk in the buffer (mode 0), a list of
// note-on/note-off events (mode 1) or a list of notes with durations (mode 2).
//
// Reading a chunk: a note-on of velocity 0 becomes a note-off; a program above 127
// becomes 0; a tempo of 0 becomes 500000; a time signature with a numerator or power
// of 0 (or a power above 7) gets the metre word 4/4; a device name (0x09) is kept as an
// instrument name (0x04); other meta types than texts (0x01-0x07, 0x7F) and the fixed
// ones (0x00, 0x20, 0x2F, 0x51, 0x54, 0x58, 0x59) become deleted events (status 0)
// that the next Compact removes. Running status goes on across meta events; a system-
// exclusive message runs to the first F7. Every read stays inside the chunk, meta
// events consume their declared length, and a byte that gives no event is stepped over.
//
// Writing a chunk: channel events come from their fields (channel and data bytes masked
// to 4 and 7 bits), system-exclusive messages with their true length, meta events with
// variable-length lengths, deltas of up to four bytes; deleted events write nothing and
// their delta goes to the next event, as does an End of Track before the last event
// (the chunk has exactly one, at its end). A chunk that does not fit the capacity
// (less 256 bytes) is cut after the last whole event and closed with End of Track.
//
// The event array grows as needed; `events` may move whenever events are added.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "music/event_pool.h"
#include "music/midi_event.h"
#include "music/music_data.h"
#include "music/sysex_kind.h"

// Track modes.
constexpr int32_t kTrackEmpty = -1;
constexpr int32_t kTrackChunk = 0;
constexpr int32_t kTrackEvents = 1;
constexpr int32_t kTrackNotes = 2;

// Error and warning codes of the track module (tag "MDTK").
constexpr uint32_t kMdtkInternal = 0x0D000001;
constexpr uint32_t kMdtkUndefinedEvent = 0x0D000002;
constexpr uint32_t kMdtkBadChannel = 0x0D000003;
constexpr uint32_t kMdtkBadTempo = 0x0D000005;
constexpr uint32_t kMdtkTooMuchData = 0x0D000006;
constexpr uint32_t kMdtkNotMidi = 0x0D000007;
constexpr uint32_t kMdtkManyVolumes = 0x0D000009;
constexpr uint32_t kMdtkManyPans = 0x0D00000A;
constexpr uint32_t kMdtkEventTooLarge = 0x0D00000B;
constexpr uint32_t kMdtkBadProgram = 0x0D00000C;
constexpr uint32_t kMdtkManyMasterVolumes = 0x0D000011;
constexpr uint32_t kMdtkBadNoteNumber = 0x0D000014;
constexpr uint32_t kMdtkBadTempoData = 0x0D000015;
constexpr uint32_t kMdtkPolyPressure = 0x0D000016;
constexpr uint32_t kMdtkNoteNumberFixed = 0x0D000017;
constexpr uint32_t kMdtkBadTiming = 0x0D000019;
constexpr uint32_t kMdtkAddFailed = 0x0D00001A;
constexpr uint32_t kMdtkBadChannel2 = 0x0D000020;
constexpr uint32_t kMdtkPlayStart = 0x0D000025;
constexpr uint32_t kMdtkBadMetre = 0x0D000027;
constexpr uint32_t kMdtkTextTooLong = 0x0D000028;
constexpr uint32_t kMdtkMoveFailed = 0x0D000029;
constexpr uint32_t kMdtkBadBend = 0x0D00002B;

// Buffer size the two-argument GetSysExData assumes: room for every recognised
// message kind in its usual stored form (a GS parameter message is 12 bytes).
constexpr int32_t kSysExDataRoom = 16;

// Event count above which adding an event is reported (the array grows all the same).
constexpr int32_t kTrackEventLimit = 0x20000;

// Tracks one merge interleaves at most.
constexpr int32_t kMaxMergeTracks = 256;
constexpr uint32_t kMdtkBadTrack = 0x0D000026;
constexpr uint32_t kMdtkThinningFailed = 0x0D00000F;
constexpr uint32_t kMdtkKeepTopUnsupported = 0x0D000010;
constexpr uint32_t kMdtkTopNoteThinned = 0x0D000012;
constexpr uint32_t kMdtkPolyphony = 0x0D00002A;

// Sounding notes: 16 channels of 128 flags.
using SoundingFlags = uint8_t[16][128];

// What one parse of Standard MIDI File bytes keeps from event to event. It belongs
// to the parse (a song's load hands one to each of its chunks in turn), never to
// the process, so that any number of threads may load files at once.
struct MidiParseContext {
  int32_t yield_period = 0;         // ms to pause every 300 events; 0 = never
  uint8_t last_status = 0;          // running status; goes on across the chunks of one parse
  uint8_t current_status = 0;
  bool undefined_reported = false;  // once per chunk: the box for bytes that give no event
  bool limit_reported = false;      // once per chunk: the box for too many events
  // The file's order: the read's number (0 until its first chunk), the place of the
  // next event in the read, and the tick reached in the chunk being read.
  uint32_t read = 0;
  uint32_t next_place = 0;
  int64_t tick = 0;
};
// Clears the module's once-only warnings (WarningMsg(0) does the same).
void ResetMidiTrackModule();

class MidiTrack : public MusicData {
 public:
  // ---- construction (chunk parsing and serialisation) ----
  MidiTrack(int32_t mode, int32_t capacity);
  explicit MidiTrack(int32_t capacity = kDefaultMusicCapacity);
  // Builds a track from the chunk at `offset` of a file held in memory; ends in mode
  // 1, or empty (mode -1) after an error. The chunks of one file share the parse's
  // context (running status goes on from one to the next); without one the chunk is
  // a parse of its own. The track keeps the yield period for its later conversions.
  MidiTrack(int64_t file_size, int64_t offset, const uint8_t* bytes, int32_t yield_period,
            int32_t capacity, MidiParseContext* context = nullptr);
  // Copy of a note-mode track (CopyNoteModeEvents).
  MidiTrack(const MidiTrack& source, int32_t capacity);
  ~MidiTrack();
  MidiTrack(const MidiTrack&) = delete;
  MidiTrack& operator=(const MidiTrack&) = delete;

  void CopyNoteModeEvents(const MidiTrack& source);
  void CopyEventModeEvents(const MidiTrack& source);
  void FreeAllEvents();

  void ParseChunk();
  void ParseNextEvent();
  int ReadVarLen();
  void ParseEventAt(MidiEvent& event);
  int ParseEventByStatus(int status_byte, MidiEvent& event);
  int ParseMeta(MidiEvent& event);
  int ParseFixedMeta(MidiEvent& event);
  int ParseTextMeta(MidiEvent& event);
  static int MakeMetreWord(int numerator, int power_of_two);
  // Sets the event's kind and value from its message (the event must be 0xF0).
  void ParseSysExKind(MidiEvent& event);

  // Serialises the events into the buffer as a chunk with the id; mode 0 after.
  void ToChunk(const char* chunk_id);
  // out must have room for 4 bytes.
  int WriteDelta(const MidiEvent& event, uint8_t* out);
  // The event's bytes; out must have room for EventByteSize(event) bytes.
  int WriteEvent(MidiEvent& event, uint8_t* out);
  int WriteMeta(uint8_t* out, const MidiEvent& event);
  // Bytes WriteEvent will write for the event (without the delta).
  static int64_t EventByteSize(const MidiEvent& event);

  static void ErrorMsg(uint32_t code);
  static void WarningMsg(uint32_t code);

  // ---- event list editing ----
  void AddEvent(MidiEvent* event);
  void AddEventCopy(const MidiEvent& event);
  void InsertEvent(int32_t index, int placement, MidiEvent* event);
  void InsertEventAtTime(int32_t tick, MidiEvent* event, int placement);
  void InsertEventAtTime(int32_t tick, MidiEvent* event) { InsertEventAtTime(tick, event, 1); }
  int DeleteEvent(int32_t index);
  void Compact();
  void SwapEvents(int32_t i, int32_t j);
  void SwapEventsChecked(int32_t i, int32_t j);
  void SwapEventPointers(int32_t i, int32_t j);
  void MoveEventBack(int32_t from, int32_t to);
  void AddDeltaAt(int32_t tick, int32_t amount);
  void KeepOneEndOfTrack();
  void DeleteAllEndOfTrack();
  void ClearToEndOfTrack();

  // Every event but note-on, note-off and End of Track to the front of its tick; all
  // events keep their order otherwise.
  void MoveNonNotesFirst();
  void MoveControllersFirst();
  void MoveStatusFirst(uint32_t status_value);
  void MoveStatusNumberFirst(uint32_t status_value, uint32_t number_value);
  void MoveSysExFirst();
  void MoveGmSystemOnFirst();
  void MoveEventsFirst(uint32_t status_value, int32_t number_value, const char* text);

  void AddControlChange(int32_t channel, int32_t number, int32_t value);
  void AddProgramChange(int32_t channel, int32_t program);
  void AddBankMsbProgram(int32_t channel, int32_t bank_msb, int32_t program);
  void AddBankProgram(int32_t channel, int32_t bank_msb, int32_t bank_lsb, int32_t program);
  void AddBankProgram2(int32_t channel, int32_t bank_msb, int32_t bank_lsb, int32_t program);
  void AddBendSensitivity(int32_t delta, int32_t channel, int32_t semitones);
  void AddNote(int32_t channel, int32_t delta, int32_t note, int32_t velocity, int32_t duration);
  void AddMetaEvent(int32_t delta, int32_t type, const void* bytes, int32_t length);
  void AddMarker(int32_t delta, const char* text);
  void AddEndOfTrackAt(int32_t delta);
  void AddEndOfTrack() { AddEndOfTrackAt(0); }
  void AddTempo(int32_t microseconds);
  void AddTempoOrDefault(int32_t microseconds);
  void AddTimeSignature(int32_t numerator, int32_t power_of_two);
  void AddTimeSignatureFraction(int32_t numerator, int32_t denominator);
  void AddKeySignature(int32_t delta, int32_t key_index, int32_t key_mode);
  void SetKeySignatureAt(int32_t tick, int32_t key_mode, int32_t sharps_or_flats);
  void InsertMetaTextAtStart(int32_t type, const char* text);
  void InsertMetaAtStart(int32_t type, const char* text);
  void InsertMetaAtTime(int32_t tick, int32_t type, const void* bytes, int32_t length);
  void InsertControllerAtStart(int32_t channel, int32_t number, int32_t value);
  void InsertVolumeAtStart(int32_t value);
  void InsertProgramAtStart(int32_t channel, int32_t program);
  int InsertProgramBeforeFirstEvent(int32_t channel, int32_t program);
  void InsertTempoAtIndex(int32_t index, int32_t microseconds);
  void SetTempoAt(int32_t tick, int32_t microseconds);
  void AddNoteAtTime(int32_t channel, int32_t tick, int32_t note, int32_t velocity,
                     int32_t duration);
  void InsertPitchBendCents(double cents, int32_t range, int32_t channel, int32_t tick);
  void InsertBendSensitivityAtStart(int32_t channel, int32_t semitones);

  // ---- note mode and overlaps ----
  void ToNoteMode();
  int ToEventMode();
  int NoteOnVelocity0ToNoteOff();
  void MoveNoteOffsBeforeNoteOns();
  // The events forget where they stood in the file they were read from: the next
  // ToEventMode gives each tick the conversion's own order (note-offs first), the
  // order songs are packed in (keepOrder 0).
  void ForgetReadOrder();
  int HasOverlappingNotes();
  int FixOverlappingNotes(int insert_flag);

  // ---- queries ----
  int GetChannel() const;
  int GetFirstProgramOfChannel(int32_t channel) const;
  int GetLastProgram(int32_t channel) const;
  int GetLastProgram2(int32_t channel) const { return GetLastProgram(channel); }
  int GetFirstNonZeroProgram(int32_t channel) const;
  int GetFirstNonZeroProgramAny() const;
  int GetProgramBefore(int32_t channel, int32_t tick, int inclusive) const;
  int ProgramsUsed(int32_t channel, int* flags128) const;
  int GetFirstControllerValue(int32_t number) const;
  int GetFirstControllerValueOfChannel(int32_t number, int32_t channel) const;
  int GetMaxControllerValue(int32_t number) const;
  int GetControllerValueBefore(int32_t number, int32_t channel, int32_t tick, int inclusive) const;
  int GetVolume(int warn) const;
  int GetVolumeWarn() const { return GetVolume(1); }
  int GetPan(int warn) const;
  int GetPanWarn() const { return GetPan(1); }
  int FindFirstController(int32_t number, int32_t* out_channel) const;
  int FindFirstControllerBetween(int32_t number, int32_t* out_channel, int32_t from,
                                 int32_t to) const;
  int FindFirstPitchBend(int32_t* out_channel) const;
  int FindFirstPitchBendBetween(int32_t* out_channel, int32_t from, int32_t to) const;
  int GetPitchBendAt(int32_t channel, int32_t tick) const;
  int CompareWithPreviousBend(int32_t index) const;

  int32_t GetEventTime(int32_t index) const;
  int32_t IndexAtTime(int32_t tick) const;
  int32_t CountEventsBetween(int32_t from, int32_t to) const;
  int32_t GetGroupEnd(int32_t index) const;
  int32_t FindFirstEventTime(uint32_t status_value, uint32_t number_value) const;
  int32_t GetFirstNoteOnTime() const;
  int32_t GetFirstNoteTime() const;
  // Tick of the first event of the status; -1 when none.
  int32_t FindFirstEventTimeOfStatus(uint32_t status_value) const;
  int32_t GetFirstNoteTimeBetween(int32_t from, int32_t to) const;
  int32_t GetLastNoteStartBetween(int32_t from, int32_t to) const;
  int32_t GetTimeToNextNoteOn(int32_t index) const;
  int32_t GetTimeToNextNote(int32_t index) const;
  int32_t GetNoteDurationAt(int32_t tick) const;
  void FindHighestNoteFrom(int32_t tick, int32_t* out_pitch, int32_t* out_tick) const;
  int32_t FindFirstNote() const;
  int32_t GetLastNoteOffTime() const;
  int32_t GetLastNoteOffTimeAny() const;
  int32_t GetEndTime() const;
  int32_t GetLength() const;
  // The tick of every event, in event order.
  std::vector<int64_t> EventTicks() const;
  int32_t GetTempoAt(int32_t tick) const;
  int GetFirstTempo(int32_t* out) const;
  int GetNthTempo(int32_t* out, int32_t n) const;
  int32_t GetTimeSignatureAt(int32_t tick) const;
  int GetFirstTimeSignature(int32_t* out) const;
  double GetSecondsUpTo(int32_t start, int32_t end, int32_t division) const;
  double GetSecondsBetween(int32_t from, int32_t to, int32_t division) const;
  // Microseconds from tick 0 to the event at the tick plus the extra ticks; the
  // tempo then in force goes to out_tempo.
  int64_t GetMicrosecondsAt(int32_t tick, int32_t division, int32_t extra_ticks,
                            int32_t* out_tempo) const;
  int32_t AverageNoteSpacing(int32_t channel) const;

  int32_t CountEvents(uint32_t status_value) const;
  int32_t CountStatusOnChannel(int32_t channel, uint32_t status_value) const;
  int32_t CountChannel(int32_t channel) const;
  int32_t CountMeta(uint32_t type) const;
  int32_t GetNoteCount() const;
  int32_t CountNotesOfChannel(int32_t channel) const;
  int32_t CountPitch(int32_t pitch) const;
  int32_t CountNotesBetween(int32_t from, int32_t to) const;
  void PitchHistogram(int32_t channel, int32_t* counts128) const;
  int32_t CountDistinctPitches(const int32_t* excluded, int32_t n) const;
  int32_t CountAllDistinctPitches() const { return CountDistinctPitches(nullptr, 0); }
  int32_t GetMaxVelocity() const;

  int HasEventAt(int32_t tick, uint32_t status_value) const;
  int HasEventNumberAt(int32_t tick, uint32_t status_value, uint32_t number_value) const;
  int HasEventValueAt(int32_t tick, uint32_t status_value, uint32_t number_value,
                      int32_t value) const;
  int HasControllerAt(int32_t tick, uint32_t number_value) const;
  int HasControllerValueAt(int32_t tick, uint32_t number_value, int32_t value) const;
  int HasProgramChangeAt(int32_t tick) const;
  int HasSysExKindAt(int32_t tick, uint32_t kind) const;
  int HasSysExKindValueAt(int32_t tick, uint32_t kind, int32_t value) const;
  int HasMetaAt(int32_t tick, uint32_t type) const;
  int HasMetaValueAt(int32_t tick, uint32_t type, int32_t value) const;
  int HasStatusBetween(uint32_t status_value, int32_t from, int32_t to) const;
  int AllValuesEqual(uint32_t status_value, int32_t value) const;
  int AllNumberValuesEqual(uint32_t status_value, uint32_t number_value, int32_t value) const;
  int AllValuesEqualBetween(uint32_t status_value, int32_t value, int32_t from, int32_t to) const;
  int AllNumberValuesEqualBetween(uint32_t status_value, uint32_t number_value, int32_t value,
                                  int32_t from, int32_t to) const;
  int AllValuesWithin(uint32_t status_value, uint32_t number_value, int32_t low,
                      int32_t high) const;
  int AllValuesWithinBetween(uint32_t status_value, uint32_t number_value, int32_t low,
                             int32_t high, int32_t from, int32_t to) const;
  int TempoWithin(int32_t low_bpm, int32_t high_bpm) const;
  int TempoWithinBetween(int32_t from, int32_t to, int32_t low_bpm, int32_t high_bpm) const;
  int TimeSignaturesOnBarLines(int32_t division) const;
  int IsOnGrid(int32_t grid) const;
  int IsOnGridBetween(int32_t from, int32_t to, int32_t grid) const;
  int HasShortNote(int32_t channel) const;
  int NoNotesSoundingAt(int32_t tick) const;
  int NotesActiveBetween(int32_t from, int32_t to) const;

  // ---- system-exclusive messages and channels (music/midi_track_sysex*.cpp) ----
  void AddGmSystemOn();
  void AddGsReset();
  void AddXgSystemOn();
  void InsertGmSystemOn();
  int ReplaceXgOnWithGmOn();
  // GS reset messages of any device number become GM System On; 1 when any did.
  int ReplaceGsResetWithGmOn();
  void AddGsDisplayText(int32_t delta, const char* text);
  void AddXgDisplayText(int32_t delta, const char* text);
  void InsertMasterVolume(int32_t volume, int32_t index);
  int SetMasterVolume(int32_t volume);
  int CheckMasterVolumeAfterReset(int insert_flag);
  int AddMasterVolumeAfterReset() { return CheckMasterVolumeAfterReset(1); }
  void ReplaceSysEx(const uint8_t* message, uint32_t new_type, const uint8_t* bytes);
  int GetMasterVolume() const;
  int GetSysExValue(uint32_t kind) const;
  // Copies the stored message (F0 ... F7) of the first system-exclusive event of the
  // kind into out, which has room for `room` bytes. 1 when found and copied, 0 when
  // there is no such event, -1 when the message is longer than `room` (nothing is
  // copied). A null out only looks for the event (1 or 0).
  int GetSysExData(uint32_t kind, uint8_t* out, int32_t room) const;
  // The same for a buffer of kSysExDataRoom bytes: a longer message is not copied
  // and gives 0, so that a caller testing the result never reads an unfilled buffer.
  int GetSysExData(uint32_t kind, uint8_t* out) const {
    const int found = GetSysExData(kind, out, kSysExDataRoom);
    return found < 0 ? 0 : found;
  }
  int GetSysExValueBefore(uint32_t kind, int32_t tick) const;
  int32_t FindSysExKindTime(uint32_t kind) const;
  int32_t CountSysExKind(uint32_t kind) const;
  int DeleteSysEx(uint32_t kind);
  int DeleteSysExOfChannel(int32_t channel, uint32_t kind);
  void DeleteMasterVolumeSysEx();
  int DeleteFirstF0();
  int DeleteFirstF7();
  void DeleteAllSysEx();
  void DeleteAllSysExForward();
  int MoveGsPartSysEx(MidiEvent& event, int32_t from, int32_t to);
  void ChangeChannel(int32_t from, int32_t to);
  void ChangeChannelIfInstrumentName(const char* name, int32_t from, int32_t to);
  void SwapChannels(int32_t a, int32_t b);
  void SetChannel(int32_t channel);
  void SetChannelAll(int32_t channel) { SetChannel(channel); }
  int DeleteChannel(int32_t channel);
  int GetPortChannel() const;
  int IsRhythmPart(int32_t channel) const;
  int GetXgProgram(int32_t part) const;
  int GetProgram(int32_t channel) const;
  int IsBendableProgram(int32_t channel) const;

  // ---- quantizing and timing (music/midi_track_timing*.cpp) ----
  void Quantize(int32_t steps_per_quarter, int32_t division, int32_t from, int32_t to);
  void QuantizeTwoGrids(int32_t steps1, int32_t steps2, int32_t division, int32_t from,
                        int32_t to);
  void QuantizeAll(int32_t grid);
  void QuantizeRange(int32_t from, int32_t to, int32_t grid);
  void QuantizeDurations(int32_t grid);
  void QuantizeDurationsEx(int32_t grid, int32_t rule);
  int32_t QuantizeDurationsBetween(int32_t from, int32_t to, int32_t grid, int32_t rule);
  void ScaleDurations(int32_t percent);
  void SetMinimumDuration(int32_t ticks);
  void SetMinimumDuration60(int32_t channel);
  int32_t SetDurationOfChannel(int32_t channel, int32_t ticks);
  void LimitDurationsToGap(int32_t gap);
  int ConvertDivisionEx(int32_t old_division, int32_t new_division, int32_t zero_rule);
  void ConvertDivision(int32_t old_division, int32_t new_division) {
    ConvertDivisionEx(old_division, new_division, 0);
  }
  void ConvertToShuffle(int32_t window);
  void ConvertToTriplets(int32_t window);
  void PlaceOneNote(int32_t start, int32_t end, int32_t window);
  void PlaceTwoNotes(int32_t start, int32_t end, int32_t window);
  void PlaceThreeNotes(int32_t start, int32_t end, int32_t window);
  void PlaceManyNotes(int32_t start, int32_t end, int32_t window, int32_t count);
  int32_t MoveEventTime(int32_t index, int32_t tick, int32_t from_offset, int32_t to_offset);

  // ---- text events and markers (music/midi_track_text.cpp) ----
  void NormalizeStartStopMarkers();
  // Texts of the status and number (meta: the type) through the full-width to ASCII
  // conversion (latin 1) and the half-width katakana conversion (kana 1).
  void ConvertTexts(int latin, int kana, uint32_t status_value, uint32_t number_value);
  int SetMetaText(int32_t type, const char* text);
  int SetMetaTextAll(int32_t type, const char* text);
  void RenumberMetaType(int32_t from, int32_t to);
  void ReplaceMetaText(int32_t type, const char* old_text, int32_t new_type, const char* new_text);
  // The text of the first (last) meta event of the type into out, which has room for
  // `room` bytes (terminator included); a longer text is cut at a character boundary.
  int GetMetaText(int32_t type, char* out, int32_t room) const;
  int GetLastMetaText(int32_t type, char* out, int32_t room) const;
  std::string MetaText(int32_t type) const;
  int32_t FindMetaTextIndex(int32_t type, const char* text) const;
  int32_t FindMetaText(int32_t type, const char* text) const;
  int32_t FindMarkerTime(const char* text) const { return FindMetaText(6, text); }
  int32_t FindMarkerIndex(const char* text) const;
  int32_t FindEventIndex(uint32_t status_value, int32_t number_value) const;
  void DeleteMetaType(int32_t type);
  int DeleteMeta(int32_t type, int all);
  void DeleteAllTrackNames();
  int KeepFirstTrackName();
  int DeleteMetaTextAt(int32_t tick, int32_t type, const char* text);
  void DeleteAllMetaExceptEndOfTrack();
  void DeleteAllMetaExceptNameAndEnd();
  void DeleteAllMetaExceptTempoAndEnd();

  // ---- merging and appending (music/midi_track_merge.cpp) ----
  // Interleaves up to kMaxMergeTracks note-mode tracks by time into this track.
  void MergeTracks(int32_t count, const MidiTrack* const* tracks);
  void MergeTrackEx(const MidiTrack& other, int join_names);
  void MergeTrack(const MidiTrack& other) { MergeTrackEx(other, 1); }
  void MergeTrackKeepNames(const MidiTrack& other) { MergeTrackEx(other, 0); }
  void AppendTrack(const MidiTrack& other);

  // ---- voice thinning (music/midi_track_voices.cpp) ----
  static int CountSounding(const SoundingFlags table);
  int GetMaxPolyphony(int ignored) const;
  int GetMaxPolyphonyOf() const { return GetMaxPolyphony(1); }
  int GetMaxPitchPolyphony() const;
  static int ChannelWithMostSounding(const SoundingFlags table, const int32_t* excluded,
                                     int32_t n);
  static int IsHighestFlagged(int32_t note, const uint8_t* row);
  void KeepTopNotes(int32_t channel, int no_shortening);
  // Event mode: cuts the notes beyond the maximum sounding at once.
  void LimitPolyphony(int32_t maximum);
  // Method 1 cuts by pitch, 2 by the chord of the last marker (priority: 4 rows of 12
  // intervals, the order in which chord notes are given up).
  void LimitPolyphonyEx(int32_t maximum, const int32_t* excluded, int32_t n, int method,
                        const int32_t (*priority)[12], int keep_top);
  void LimitPolyphonySimple(int32_t maximum);
  static int PickVoiceByPitch(const SoundingFlags table, const int32_t* excluded, int32_t n,
                              int32_t* out_channel, int32_t* out_note, int keep_top);
  static int PickVoiceByChord(const SoundingFlags table, const int32_t* excluded, int32_t n,
                              int32_t* out_channel, int32_t* out_note, const char* chord,
                              const int32_t (*priority)[12], int keep_top);
  int RemoveDuplicateNotes();
  int RemoveOctaveDoublings();
  void MoveNotesBehind();

  // ---- velocity, pitch and key passes (music/midi_track_keys.cpp) ----
  // Note mode (else 0x0D000001): velocities + amount, times the factor (exactly 1
  // does nothing) or, on one channel, times top / the channel's largest (integers,
  // so the largest becomes top; a channel of velocity 0 stays); all kept in 0..127.
  void OffsetVelocity(int32_t amount);
  void ScaleVelocity(double factor);
  void NormalizeVelocity(int32_t channel, int32_t top);
  void NormalizeChannelVelocity(int32_t channel) { NormalizeVelocity(channel, 127); }
  // Repairs the first faulty note (note number outside 0..127 moved to the nearer end;
  // else a negative length or delta silences the note and becomes 0; else a velocity
  // outside 0..127 moved to the nearer end) and returns 1; 0 when every note is sound.
  int CheckNotes();
  // Sounding notes (velocity above 0) of the channel (-1 all) moved by the semitones,
  // folded by octaves into 0..127.
  void Transpose(int32_t channel, int32_t semitones);
  void TransposeAll(int32_t semitones) { Transpose(-1, semitones); }
  // The same for sounding notes starting in [from, to); from < 0 is refused.
  void TransposeRange(int32_t from, int32_t to, int32_t semitones);
  // Note mode: every note by 12 * octaves, clamped into 0..127.
  void TransposeOctaves(int32_t octaves);
  // Every sounding note of the channel (-1 all) gets a copy moved by the semitones
  // (folded by octaves) right after it at the same tick.
  void AddTransposedNotes(int32_t channel, int32_t semitones);
  // Note mode: notes of the channel (-1 all) outside [low, high]: rule 0 deletes
  // them, rule 1 moves them one octave toward the range, other rules leave them.
  // 1 when some note was outside.
  int LimitNoteRange(int32_t channel, int32_t low, int32_t high, int rule);
  // From the index in *position (0 without one): the first key signature; out gets
  // its sharps (+) or flats (-) and its mode (0 major, 1 minor), *position its
  // index. 1 when found.
  int GetKeySignature(int32_t* out, int32_t* position) const;
  // The same search; text (4 bytes) gets the key's name, empty when none.
  int GetKeySignatureName(char* text, int32_t* position) const;
  // Key signatures starting in [from, to) moved to the key a number of semitones
  // away in the same mode, spelled as the key table's first row for that tonic.
  void TransposeKeySignatures(int32_t from, int32_t to, int32_t semitones);

  // ---- controller, program and bend passes (music/midi_track_controllers.cpp) ----
  void RemoveRedundantBankProgram();
  void RemoveRedundantProgramChanges();
  int CheckBankProgramOrder() const;
  void FoldVolumeIntoVelocity();
  void MergeExpressionIntoVolume();
  // One step of a velocity rescale for a mix; a current level of 0 leaves the note.
  static void RescaleVelocityForMix(int32_t* current_volume, int32_t* current_expression,
                                    int32_t target_volume, int32_t target_expression,
                                    MidiEvent& event);
  // Note mode: fades the controller down from its level before `from` in steps; a
  // step below 1 is refused. 255 for a track without channel, -1 without a level.
  int FadeController(int32_t from, int32_t to, int32_t step, int32_t number);
  void FadeVelocities(int32_t from, int32_t to);
  void FoldFineTuningIntoBends();
  void SetFirstVolume(int32_t value);
  void ScaleVolume(double factor);
  void ScaleController(int32_t ignored, int32_t number, int32_t percent);
  void OffsetControllerValue(int32_t ignored, int32_t number, int32_t amount);
  void NormalizeController(int32_t number, int32_t top);
  void NormalizeControllerTo127(int32_t number) { NormalizeController(number, 127); }
  void SetControllerValueOfChannel(int32_t number, int32_t value, int32_t channel);
  void SetControllerValueAll(int32_t number, int32_t value);
  void SetControllerValueOnChannel(int32_t channel, int32_t number, int32_t value);
  void SetControllerValueBetween(int32_t from, int32_t to, int32_t number, int32_t value);
  void SetControllerValueAt(int32_t channel, int32_t number, int32_t value, int32_t tick);
  // Number -1: any number; from -1: the whole track ([from, to) otherwise).
  void SetValueForStatusNumberBetween(uint32_t status_value, int32_t number, int32_t value,
                                      int32_t from, int32_t to);
  void SetValueForStatus(uint32_t status_value, int32_t value) {
    SetValueForStatusNumberBetween(status_value, -1, value, -1, 0);
  }
  void SetValueForStatusNumber(uint32_t status_value, int32_t number, int32_t value) {
    SetValueForStatusNumberBetween(status_value, number, value, -1, 0);
  }
  void SetValueForStatusBetween(uint32_t status_value, int32_t value, int32_t from, int32_t to) {
    SetValueForStatusNumberBetween(status_value, -1, value, from, to);
  }
  void ClampValuesBetween(uint32_t status_value, int32_t number, int32_t low, int32_t high,
                          int32_t from, int32_t to);
  void ClampValues(uint32_t status_value, int32_t number, int32_t low, int32_t high) {
    ClampValuesBetween(status_value, number, low, high, -1, 0);
  }
  // Channel -1: every channel.
  void SetProgramOfChannel(int32_t channel, int32_t program);
  void SetAllPrograms(int32_t program) { SetProgramOfChannel(-1, program); }
  void SetProgramAt(int32_t channel, int32_t program, int32_t tick);
  int SetFirstTempo(int32_t microseconds);
  void DeleteAllControllers();
  int DeleteControlChange(int32_t number);
  int DeletePitchBends();
  int DeleteProgramChanges(int32_t channel);
  int DeleteAllProgramChanges() { return DeleteProgramChanges(-1); }
  void KeepOnlyNotes();
  void DeleteControllerBetween(int32_t number, int32_t from, int32_t to);

  // ---- drum notes (music/midi_drum_map.cpp) ----
  // Every family of related General MIDI drum notes played on the rhythm channels is
  // folded onto its member played most often there; returns the events changed.
  int RemapDrumFamilies();
  // Of the candidates, the one played most often on rhythm channels (the earliest on
  // ties).
  int32_t MostFrequentPitch(const int32_t* candidates, int32_t n) const;
  // Notes of the pitch started on rhythm channels.
  int32_t CountPitchOnRhythmChannels(int32_t pitch) const;
  // Note mode: notes outside 35..81 become 35, then re-struck notes are deleted
  // (FixOverlappingNotes (0), whose result is returned).
  int LimitDrumNotes(int ignored);
  int LimitDrumNotesOf() { return LimitDrumNotes(1); }
  // Note mode: while the bank LSB is `bank`, each note becomes table[program][note]
  // unless that is -1. Zero bank 1 zeroes the kit's bank selects and programs; zero
  // bank 0 plays each mapped note from bank 0/0 program 0 and selects the kit again
  // right after it.
  void RemapDrumKit(int32_t bank, const int8_t (*table)[128], int zero_bank);
  // Note mode: every note gets the note and, unless the duration is -1, the duration;
  // returns the event count.
  int32_t SetAllNotes(int32_t note, int32_t duration);
  int32_t SetAllNotePitches(int32_t note) { return SetAllNotes(note, -1); }

  // ---- dumps and single-track save (music/midi_dump.cpp) ----
  // The title "Midi Track Data" and CR, then one line per event: the event's dump
  // line, the line with the division, or the line with the absolute tick.
  void WriteDump(std::FILE* file) const;
  void WriteDumpWithDivision(std::FILE* file, int32_t division) const;
  void WriteDumpAbsolute(std::FILE* file) const;
  // The same dumps as files (written whole or, when the file cannot be made,
  // reported with 0x03000005 and not at all); 1 when written.
  int DumpToFile(const std::filesystem::path& path) const;
  int DumpToFileWithDivision(const std::filesystem::path& path, int32_t division) const;
  int DumpToFileAbsolute(const std::filesystem::path& path) const;
  // The track alone as a format-1 file of division 960 (note or event mode; the
  // track is not changed). 1 when saved.
  int SaveAsSmf(const std::filesystem::path& path) const;

  // ---- time-range edits (music/midi_track_range.cpp); End of Track always stays ----
  void DeleteRange(int32_t from, int32_t to);             // [from, to]
  void DeleteRangeExceptNotes(int32_t from, int32_t to);  // [from, to), notes stay
  void DeleteStatusBetween(int32_t from, int32_t to, uint32_t status_value);
  void DeleteStatusAfter(int32_t tick, uint32_t status_value);
  int DeleteStatusAt(int32_t tick, uint32_t status_value);
  int DeletePitchBendsBetween(int32_t from, int32_t to);
  // Removes the span [from, to): notes and bends inside go, other events inside stay
  // at `from`, later events move earlier by the span.
  void CutRange(int32_t from, int32_t to);
  void RemoveTimeSpan(int32_t from, int32_t to, int delete_notes, int strict, int at_start);
  // Note mode: the notes starting in [from, to), moved so that `from` is tick 0.
  void Crop(int32_t from, int32_t to);
  void CutNotesAt(int32_t tick);
  void EndNotesBefore(int32_t tick);
  void TruncateFrom(int32_t tick);
  void TruncateAt(int32_t tick);
  // Note mode: only [from, to) stays, moved to tick 0; notes that outlast it end with
  // it, and the track is exactly to - from ticks long.
  void ExcerptInPlace(int32_t from, int32_t to);
  // The first event in [from, to) moves later by the ticks; a negative amount comes
  // off its delta, then off the deltas before it (nearest first) and after it.
  void ShiftFirstEventInRange(int32_t from, int32_t to, int32_t ticks);

  // ---- helpers for other track files ----
  // Room for at least n event pointers (the array grows; never keep `events` across
  // calls that add events).
  void ReserveEvents(int32_t n);
  // Pauses for the track's yield period before events 0, every, 2 * every ...
  void YieldEvery(int32_t index, int32_t every) const;
  MidiEvent* Event(int32_t index) const {
    return (index >= 0 && index < event_count) ? events[index] : nullptr;
  }
  MidiEvent* LastEvent() const { return event_count > 0 ? events[event_count - 1] : nullptr; }
  bool LastIsEndOfTrack() const;

  // Fields, in the order the format keeps them (after the MusicData fields).
  int32_t event_count = 0;
  int32_t mode = kTrackEmpty;
  MidiEvent** events = nullptr;  // owned, as are the events

 private:
  void AppendUnchecked(MidiEvent* event);
  // The copies of a note-mode and an event-mode track: the source's events copied when it is
  // in `wanted_mode`, else an internal error and an empty track.
  void CopyEventsOfMode(const MidiTrack& source, int32_t wanted_mode);
  // The event-mode conversion, End of Track moved last included; false when no note-off
  // can stand behind a note-on of its tick, so that none needs moving.
  bool ConvertToEventModeCore();
  // The place of the first End of Track, -1 without; moving the one at i to the end.
  int32_t FindEndOfTrack() const;
  void MoveEndOfTrackLast(int32_t i);
  // The event-mode conversion of a list with negative deltas: note by note, each
  // note-off inserted where the running sum of deltas reaches the note's end.
  void PlaceNoteOffsOneByOne();
  // MoveNoteOffsBeforeNoteOns; with keep_read_order a note-off that stood behind the
  // note-on in the file it was read from stays behind it.
  void MoveNoteOffsFirst(bool keep_read_order);
  int LimitPolyphonyCore(int32_t maximum, const int32_t* excluded, int32_t n, int method,
                         const int32_t (*priority)[12], int keep_top);
  int32_t event_room_ = 0;
  int32_t yield_period_ = 0;
  // Where the events the track makes in bulk (reading a chunk, copying a track,
  // note-offs from notes) come from.
  EventPool pool_;
  // The parse in progress: the caller's context while a chunk of its file is read,
  // else the track's own.
  MidiParseContext own_parse_;
  MidiParseContext* parse_ = &own_parse_;
};

// Steps of a merge over an array of tracks and a parallel array of positions (the
// index of each track's current event). Whether some track has events left; the
// track that alone has events left (-1 when none or several); and the smallest
// delta among the current events of the tracks with events left, with the tracks
// whose current delta equals it listed in track order in `ties` (room for `count`)
// and counted in *tie_count (-1 and 0 ties when no track has events left).
int AnyTrackHasEventsLeft(int32_t count, const MidiTrack* const* tracks, const int32_t* positions);
int32_t OnlyTrackWithEventsLeft(int32_t count, const MidiTrack* const* tracks,
                                const int32_t* positions);
int32_t MinimumCurrentDelta(int32_t count, const MidiTrack* const* tracks,
                            const int32_t* positions, int32_t* tie_count, int32_t* ties);

// A delta sum kept inside 32 bits (damaged files can carry huge deltas).
inline int32_t SaturatedDelta(int64_t ticks) {
  if (ticks > INT32_MAX) return INT32_MAX;
  if (ticks < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(ticks);
}

// A note number brought into 0..127 by whole octaves (raised while below 0, lowered
// while above 127).
int32_t FoldNoteByOctaves(int64_t note);

// End of Track test used throughout the track code.
inline bool IsEndOfTrack(const MidiEvent* e) {
  return e != nullptr && e->status == kStatusMeta && e->number == 0x2F;
}
