// The mobile song model that every ringtone converter goes through: a song of voices
// (MobileChannel), each a time-ordered list of notes and control events, and the merged
// form (MobileTrack) holding the events of up to 16 voices in one list, each event marked
// with its voice.
//
// An event is a MusicEvent: status 16 a note (note, duration, velocity), status 255 a
// control event (kind in `number`, value in `value`; a pitch bend keeps its low 7 bits in
// `note`), status 0 an empty event that only carries its delta.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "music/midi0_data.h"
#include "music/music_event.h"

class Midi0Data;
class Midi1Data;
class MidiTrack;

// Statuses of mobile events.
constexpr uint32_t kMobileNote = 16;
constexpr uint32_t kMobileControl = 255;
constexpr uint32_t kMobileEmpty = 0;

// Voice number of an event that belongs to every voice.
constexpr int32_t kAllVoices = 255;

// Event kinds (the `number` field of a control event).
enum MobileEventKind : uint32_t {
  kKindProgram = 33,
  kKindVoiceType = 34,
  kKindVolume = 35,
  kKindPan = 36,
  kKindTempo = 37,
  kKindEndOfTrack = 38,
  kKindPitchBend = 39,
  kKindBendRange = 40,
  kKindStartStop = 41,
  kKindExpression = 42,
  kKindModulation = 43,
  kKindMidiMasterVolume = 48,
  kKindBankSelect = 49,
  kKindOctaveShift = 50,
  kKindSmafModulation = 51,
  kKindSmafExpression = 53,
  kKindEndOfSequence = 54,
  kKindBendMode = 55,
  kKindMasterVolume = 65,
  kKindFiller = 67,
  kKindVoiceAssign = 68,
  kKindMarker = 69,
  kKindVoiceBlock = 70,
  kKindMfiBendRange = 71,
  kKindMfiDD = 72,
  kKindRawExtended = 73,
  kKindDrumBankProgram = 74,
  kKindVoiceFlag75 = 75,
  kKindVoiceFlag76 = 76,
  kKindVoiceValue77 = 77,
  kKindVoiceValue78 = 78,
  kKindExclusive = 240,
};

// Codes of the voice module ("MBCD").
constexpr uint32_t kMbcdInternal = 0x0b000001;
constexpr uint32_t kMbcdAskVolume = 0x0b000002;
constexpr uint32_t kMbcdAskTempo = 0x0b000003;
constexpr uint32_t kMbcdAskProgram = 0x0b000004;
constexpr uint32_t kMbcdBadNote = 0x0b000005;
// Codes of the song module ("MBDT").
constexpr uint32_t kMbdtDrumRange = 0x05000001;  // once-only warning
constexpr uint32_t kMbdtInternal = 0x05000002;
constexpr uint32_t kMbdtTooManyVoices = 0x05000003;
constexpr uint32_t kMbdtFileOpen = 0x05000004;
constexpr uint32_t kMbdtTooManyToPlay = 0x05000005;
constexpr uint32_t kMbdtDataType = 0x05000006;
constexpr uint32_t kMbdtTooFast = 0x05000008;
constexpr uint32_t kMbdtDrumChannel = 0x05000009;
constexpr uint32_t kMbdtBadTempo = 0x0500000a;
constexpr uint32_t kMbdtDrumNotTen = 0x0500000b;
// Codes of the track module ("MBTK").
constexpr uint32_t kMbtkUndefinedCommand = 0x0c000001;
constexpr uint32_t kMbtkUndefinedEvent = 0x0c000002;
constexpr uint32_t kMbtkFileOpen = 0x0c000003;
constexpr uint32_t kMbtkVoiceNotPlayed = 0x0c000004;  // once-only warning
constexpr uint32_t kMbtkMasterVolumePlace = 0x0c000005;
constexpr uint32_t kMbtkBadVoice = 0x0c000006;
constexpr uint32_t kMbtkBadDrum = 0x0c000007;
constexpr uint32_t kMbtkCannotAdd = 0x0c000008;
constexpr uint32_t kMbtkBadEnd = 0x0c000009;
// Codes of the conversion module ("MMDT").
constexpr uint32_t kMmdtDrumProgram = 0x23000001;
constexpr uint32_t kMmdtRpn = 0x23000003;
constexpr uint32_t kMmdtRpnTuning = 0x23000004;

// The most events a merged track takes.
constexpr int32_t kMobileTrackEventLimit = 0x1FFFF;
// Slots of a song's voice list.
constexpr int32_t kMobileVoiceSlots = 256;
// Usual capacity of voices and tracks (bytes; a voice holds capacity / 6 events).
constexpr int32_t kMobileCapacity = 0x60000;

class MobileEvent : public MusicEvent {
 public:
  explicit MobileEvent(int32_t delta_ticks = 0) : MusicEvent(delta_ticks) {}
  MobileEvent(const MobileEvent& other) : MusicEvent(other), voice(other.voice) {}
  MobileEvent(const MusicEvent& other, int32_t voice_number)
      : MusicEvent(other), voice(voice_number) {}
  MobileEvent& operator=(const MobileEvent& other) {
    CopyFrom(other);
    return *this;
  }
  void CopyFrom(const MobileEvent& other) {
    Copy(other);
    voice = other.voice;
  }
  bool IsNote() const { return status == kMobileNote; }
  bool IsControl(uint32_t kind) const { return status == kMobileControl && number == kind; }

  int32_t voice = kAllVoices;
};

using MobileEventList = std::vector<std::unique_ptr<MobileEvent>>;

// A control event of the kind and value for the voice.
std::unique_ptr<MobileEvent> NewMobileControl(int32_t delta, int32_t voice, uint32_t kind,
                                              int32_t value);

// Absolute tick of every event of a list.
std::vector<int64_t> MobileEventTicks(const MobileEventList& events);
// Removes the empty events of a list; each hands its delta to the event after it.
void CompactMobileEvents(MobileEventList& events);

// ---------------------------------------------------------------------------------------
class MobileChannel {
 public:
  MobileChannel(int32_t index, int32_t kind, int32_t capacity = kMobileCapacity);
  // The part of the source between the ticks; settings before the start apply from it.
  MobileChannel(const MobileChannel& source, int32_t start_tick, int32_t end_tick,
                int32_t capacity);
  MobileChannel(const MobileChannel& source, int32_t capacity);

  void AddNote(int32_t delta, int32_t note, int32_t duration, int32_t velocity);
  void AddControl(int32_t delta, uint32_t kind, int32_t value);
  void InsertControl(int32_t index, int32_t delta, uint32_t kind, int32_t value);
  void AddNop(int32_t delta);
  void AddEvent(const MusicEvent& event);
  void AddEventWithDelta(const MusicEvent& event, int32_t delta);
  void AddEndOfTrack() { AddControl(0, kKindEndOfTrack, 0); }
  // Mode 2 inserts at the index, any other mode after it.
  void InsertEvent(int32_t index, int mode, std::unique_ptr<MobileEvent> event);
  void InsertTempoAtStart(int32_t tempo) { InsertControl(0, 0, kKindTempo, tempo); }
  void InsertTempoAt(int64_t tick, int32_t tempo);
  void SetLastNoteLength(int32_t ticks);
  void DeleteEvent(int32_t index);
  void Compact();
  int TruncateAt(int32_t index);
  void DeleteZeroLengthNotes();
  void DeleteKind(uint32_t kind);
  void DeleteBendRanges() { DeleteKind(kKindBendRange); }
  void DeleteTempos() { DeleteKind(kKindTempo); }
  void KeepLastLeadingTempo();
  // Duplicate values of one kind; the question state goes in and comes out.
  void ResolveDuplicates(uint32_t kind, int32_t& state);
  int HasEndOfTrack() const;
  int HasSamePitchOverlap() const;
  int CountDistinctNotes() const;
  int GetMaxPolyphony() const;
  int GetMaxVelocity() const;
  int64_t GetLength() const;
  int32_t GetLengthInUnits(int32_t unit) const;
  int32_t FindFirstNote(int mode) const;
  int32_t GetKindValue(uint32_t kind) const;
  int SetKindValue(uint32_t kind, int32_t value);
  int32_t CountKind(uint32_t status, uint32_t kind) const;
  void ScaleVelocities(double factor);
  void SwapEvents(int32_t a, int32_t b);
  void CopyFrom(const MobileChannel& source);
  void Dump(std::FILE* file) const;
  int32_t event_count() const { return static_cast<int32_t>(events.size()); }

  static void ErrorMsg(uint32_t code);

  int32_t capacity;
  int32_t index;
  int32_t kind;
  MobileEventList events;
  int32_t active = 1;
  int32_t volume_question = 1;
  int32_t program_question = 1;
  int32_t tempo_question = 1;
};

// ---------------------------------------------------------------------------------------
class MobileTrack {
 public:
  explicit MobileTrack(int32_t capacity = kMobileCapacity);
  MobileTrack(const MobileTrack& source, int32_t capacity);
  // The voices merged by their position in the array (at most 16).
  MobileTrack(MobileChannel* const* voices, int32_t count, int32_t capacity);
  MobileTrack& operator=(const MobileTrack&) = delete;

  // False (and 0x0c000008) when the track is full.
  bool Append(std::unique_ptr<MobileEvent> event);
  void AddNote(int32_t delta, int32_t voice, int32_t note, int32_t duration, int32_t velocity);
  void AddControl(int32_t delta, int32_t voice, uint32_t kind, int32_t value);
  void AddNop(int32_t delta);
  void AddEvent(const MobileEvent& event);
  void AddEventForVoice(int32_t voice, const MusicEvent& event);
  void MergeChannel(int32_t voice, MobileEventList& voice_events);
  void InsertEvent(int32_t index, int mode, std::unique_ptr<MobileEvent> event);
  void InsertEventAtTime(int64_t tick, std::unique_ptr<MobileEvent> event);
  void DeleteEvent(int32_t index);
  void Compact();
  void DeleteKind(uint32_t kind) { DeleteStatusKind(kMobileControl, kind); }
  void DeleteStatusKind(uint32_t status, uint32_t kind);
  void DeleteVoice(int32_t voice);
  void KeepLastOfKind(uint32_t kind);
  void RenameKind(uint32_t kind, uint32_t new_kind);
  void SetKindValues(uint32_t status, uint32_t kind, int32_t value);
  int32_t CountKindBeforeLast(uint32_t kind) const;
  int32_t GetVoiceKindValue(int32_t voice, uint32_t kind) const;
  int GetVoiceKind(int32_t voice) const;
  int IsDrumVoice(int32_t voice) const { return GetVoiceKind(voice) == 1 ? 1 : 0; }
  static int IsVoiceEvent(const MusicEvent& event);
  int HasVoice(int32_t voice) const;
  void GetVoiceNoteRange(int32_t voice, int32_t* lowest, int32_t* highest) const;
  int64_t GetLength() const;
  int64_t FindKindTime(uint32_t status, uint32_t kind) const;
  int32_t FindEndOfTrack() const;
  int32_t FindFirstNoteOrTempo() const;
  int32_t FindLastNote() const;
  void ScaleVelocities(int32_t percent);
  void ScaleVolumes(int32_t percent);
  void CutLeadIn(int32_t unit);
  void ConvertDivision(int32_t old_division, int32_t new_division);
  void SwapEvents(int32_t a, int32_t b);
  void SwapVoices(int32_t a, int32_t b);
  void MoveVoice(int32_t a, int32_t b);
  // The events of one voice as a voice of its own (every other event left empty).
  void ExtractVoice(int32_t voice, MobileChannel& target, int drum_note_flag) const;
  void Dump(const std::filesystem::path& path) const;
  void DumpToFile() const;
  int32_t event_count() const { return static_cast<int32_t>(events.size()); }

  // Conversions to MIDI (the track made by voice position, or by MIDI channel).
  void ToMidi0Data(Midi0Data& song, int32_t division, int32_t metre, int32_t tempo);
  void ToMidiTrack(Midi0Data& song, int32_t division, int32_t metre, int32_t tempo);
  static std::unique_ptr<MobileTrack> FromChannelsByMidiChannel(MobileChannel* const* voices,
                                                                int32_t count, int32_t capacity);

  static void ErrorMsg(uint32_t code);
  static void WarnOnce(uint32_t code);

  int32_t capacity;
  MobileEventList events;
  int32_t voice_kinds[kMobileVoiceSlots] = {};
};

// ---------------------------------------------------------------------------------------
// A start and stop tick (-1 when the song has none).
struct MobileMarks {
  int32_t start = -1;
  int32_t stop = -1;
};

class MobileData {
 public:
  explicit MobileData(int32_t capacity = kMobileCapacity);
  MobileData(const MobileData& source, int32_t start_tick, int32_t end_tick, int32_t capacity);
  MobileData(const MobileData& source, int32_t capacity);
  MobileData(const MobileTrack& track, int32_t capacity);
  MobileData(Midi1Data& song, MobileMarks* marks, int32_t capacity);
  virtual ~MobileData();
  MobileData& operator=(const MobileData&) = delete;

  // Voice-allocating conversion of a format-1 song in note mode.
  void FromMidiSong(Midi1Data& song, MobileMarks* marks = nullptr);
  void ToMidiSong(Midi1Data& song);

  MobileChannel* AddChannel(int32_t index, int32_t kind);
  // Takes the voice; false (0x05000003) when the list is full.
  bool AppendVoice(std::unique_ptr<MobileChannel> voice);
  void AddFourChannels(const MobileTrack& track);
  void ResolveDuplicates(uint32_t kind, int32_t initial_state);
  void DeleteBendRanges();
  void DeleteZeroLengthNotes();
  void KeepLastLeadingTempos();
  void DeletePitchBends();
  void DeleteOverlappingNotes();
  int64_t FindKindTime(uint32_t status, uint32_t kind) const;
  int32_t GetMasterVolume() const;
  int32_t CountDrumChannels() const;
  int32_t CountKind(uint32_t status, uint32_t kind) const;
  int32_t GetBarLength() const;
  int32_t GetBarCount() const;
  bool TakeSongInfo(const Midi1Data& song);
  // The greatest number of notes sounding at once over the active voices.
  int GetMaxPolyphony() const;

  // Arranging voices.
  void OrderDrumChannels();
  void MoveRepeatedProgramsLast();
  void KeepChannels(int32_t count, int drum_flag);
  void DeleteLaterTempos();
  void InsertTempos(const std::vector<std::pair<int32_t, int32_t>>& tempos);
  void SortChannelsByEventCount();
  void MoveDrumChannelsFirst();

  // Preview on the play thread.
  int PlayPreview(std::function<void()> done);
  int PlayPreviewRange(std::function<void()> done, int32_t start_tick, int32_t end_tick);
  static int StopPreview();

  MobileChannel* Voice(int32_t i) const {
    return (i >= 0 && i < voice_count) ? voices[i].get() : nullptr;
  }
  // The active voices, in order.
  std::vector<MobileChannel*> ActiveVoices() const;

  static void ErrorMsg(uint32_t code);
  static void WarnOnce(uint32_t code);

  int32_t capacity;
  int32_t voice_count = 0;
  int32_t division = 96;
  int32_t tempo = 500000;
  std::unique_ptr<MobileChannel> voices[kMobileVoiceSlots];
  std::string title = "Untitled";
  std::string copyright = "No Copyright Info";
  int32_t metre = 0;
  std::unique_ptr<Midi0Data> preview;

 protected:
  void ClearVoices();
  // Four new voices from a merged track: by voice number 0-3 (setting their kinds), or by the
  // number modulo 4 without kinds for the MIDI-channel form.
  void AddFourVoices(const MobileTrack& track, bool by_channel);
  int PlayVoices(const std::vector<MobileChannel*>& voices, bool by_channel,
                 std::unique_ptr<Midi0Data>& target, std::function<void()> done);
};

// One voice per MIDI track, indexed by the track's channel.
class MidiMobileData : public MobileData {
 public:
  explicit MidiMobileData(int32_t capacity = kMobileCapacity) : MobileData(capacity) {}
  MidiMobileData(Midi1Data& song, int check_drum_programs = 1, int expression = 0);
  // Copy with the source's capacity.
  MidiMobileData(const MidiMobileData& source);
  MidiMobileData(const MidiMobileData& source, int32_t start_tick, int32_t end_tick)
      : MobileData(source, start_tick, end_tick, kMobileCapacity) {}
  ~MidiMobileData() override;

  void FromMidiSong(Midi1Data& song, int check_drum_programs, int expression);
  // AddFourChannels of the MIDI-channel form.
  void AddFourChannelsByChannel(const MobileTrack& track);
  int PlayPreview(std::function<void()> done);
  int PlayPreviewRange(std::function<void()> done, int32_t start_tick, int32_t end_tick);
  int GetMaxPolyphony(int mode = 1) const;
  int HasSamePitchOverlap() const;
  // The song as a format-0 song of one track (by MIDI channel).
  std::unique_ptr<Midi0Data> ToMidi0() const;

  static void ErrorMsg(uint32_t code);

  std::unique_ptr<Midi0Data> midi_preview;
};

// Master-volume exclusive messages taken out of a song: (absolute tick, value) pairs.
using MasterVolumeList = std::vector<std::pair<int32_t, int32_t>>;
MasterVolumeList ExtractMasterVolumes(Midi1Data& song);
void InsertMasterVolumes(MidiTrack& track, const MasterVolumeList& list);

// The per-conversion record of reports that are shown once in a conversion (a flood of one
// code is one box).
struct RingtoneReportState {
  std::vector<uint32_t> shown;
  bool Once(uint32_t code);  // true the first time in this conversion
  void Reset() { shown.clear(); }
};
RingtoneReportState& RingtoneReports();
