// The engine's data of one composition: event lists and the compose information.
//
// An EventList is an ordered run of ComposeEvents; an event's start is the sum
// of the lengths of the events before it. A list holds at most 16384 events
// and owns them. ComposeInformation holds the section chord lists, the chord
// blocks, the chord input and the composed melody of the current composition.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/chord_block.h"

// Event kinds.
constexpr int32_t kEventNote = 144;         // note, or rest when the pitch is 0
constexpr int32_t kEventChordMarker = 0;
constexpr int32_t kEventSectionTag = 1;
constexpr int32_t kEventControl = 2;

constexpr int kEventListCapacity = 16384;

struct ComposeEvent {
  int32_t length = 0;   // ticks to the next event
  int32_t pitch = 0;    // MIDI note, 0 = rest; control value for kind 2
  int32_t kind = kEventNote;
  char chord_code[4] = {};
  char bass_text[2] = {};  // first character 0 = none
  char tag[4] = {};

  void CopyFrom(const ComposeEvent& other) { *this = other; }
};

class EventList {
 public:
  EventList() = default;
  ~EventList() = default;
  EventList(const EventList&) = delete;
  EventList& operator=(const EventList&) = delete;

  int count() const { return static_cast<int>(events_.size()); }
  bool full() const { return count() >= kEventListCapacity; }
  // Event i (0 .. count-1). event() returns nullptr outside the list.
  ComposeEvent& operator[](int i) { return *events_[static_cast<size_t>(i)]; }
  const ComposeEvent& operator[](int i) const { return *events_[static_cast<size_t>(i)]; }
  ComposeEvent* event(int i);
  const ComposeEvent* event(int i) const;

  // Deletes every event.
  void FreeEvents();

  // Appends; at 16383 events the 16384th append shows 0xFF010134 and still
  // appends; on a full list nothing is appended and nullptr is returned.
  ComposeEvent* AppendNote(int length, int pitch);
  ComposeEvent* AppendControl(int length, int value);
  ComposeEvent* AppendSectionTag(int length, const char* tag4);
  // Appends on a full list show 0xFF010134 and append nothing (nullptr).
  ComposeEvent* AppendChordMarker(const ChordBlock& block);
  ComposeEvent* AppendCopy(const ComposeEvent& event);  // all but the tag
  void AppendAll(const EventList& other);
  void CopyFrom(const EventList& other);

  // Notes (and rests) longer than max_length become a piece of max_length
  // followed by rests of at most max_length for the remainder (when the list
  // would overflow, 0xFF010134 and the last piece keeps the remaining time).
  void SplitLongNotes(int max_length);
  // Kind-144 events with a pitch above 0 starting in [from, to).
  int CountNotesBetween(int from, int to) const;
  // Cuts the event running at `time` there and puts `event` after it, taking
  // the cut-off part as its length (see compose_info.cpp). Takes ownership;
  // on a full list the event is deleted and 0xFF010134 shown.
  void InsertAtTime(ComposeEvent* event, int time);
  void InsertAtTime(std::unique_ptr<ComposeEvent> event, int time);
  // Inserts a copy of every event of `other` at its start time there.
  void MergeFrom(const EventList& other);
  // Semitone transposition from `first` on; nothing unless the style's
  // modulation setting is non-zero.
  void TransposeDownFrom(int first);
  void TransposeUpFrom(int first);
  // Clears the 16384-byte buffer and writes 3 bytes per event (length / 256,
  // length % 256, low byte of the pitch), as many events as fit.
  void PackNotes(uint8_t* buffer) const;
  static constexpr size_t kPackBufferSize = 16384;

  // Start tick of event i (the sum of the lengths before it); total length.
  int StartOf(int i) const;
  int TotalLength() const;

 private:
  ComposeEvent* Append(std::unique_ptr<ComposeEvent> event, bool warn_at_last);
  std::vector<std::unique_ptr<ComposeEvent>> events_;
};

constexpr int kSectionCapacity = 200;
constexpr int kWorkBlockInts = 256;  // 1024-byte work block
constexpr int kChordBlockCapacity = 1000;
constexpr int kSectionIdCapacity = 1024;
constexpr size_t kChordInputSize = kCustomChordsSize;  // 4096 bytes
constexpr int kChordInputEntries = kMaxCustomChordEntries;  // 682 whole entries

struct ComposeInformation {
  int32_t section_count = 0;
  // Per-section workspaces of the database progression builder (lengths in
  // ticks, ended by 0).
  std::array<std::array<int32_t, kWorkBlockInts>, kSectionCapacity> work_blocks{};
  // List k holds the chord markers of section k+1.
  std::array<EventList, kSectionCapacity> section_chords;
  std::array<EventList, kSectionCapacity> melody_phrases;
  std::array<EventList, kSectionCapacity> voicing_phrases;
  int32_t bar_count = 0;
  EventList melody_notes;
  EventList voicing_notes;
  EventList chord_timeline;
  char conductor_text[260] = {};
  int32_t section_ids[kSectionIdCapacity] = {};
  int32_t section_id_count = 0;
  // Chord input: stored ChordEntry records ended by a zero length.
  uint8_t chord_input[kChordInputSize] = {};
  // Two-digit bass offset text of chord input entry i.
  char bass_digits[kChordInputEntries][2] = {};
  int32_t render_handover_tick = 0;

  ComposeInformation() = default;
  ComposeInformation(const ComposeInformation&) = delete;
  ComposeInformation& operator=(const ComposeInformation&) = delete;

  // Before each composition pass: section ids, section chord lists, chord
  // timeline, melody and voicing notes. Keeps the chord blocks and chord input.
  void Reset();

  // Chord blocks in time order (at most 1000).
  int chord_block_count() const { return static_cast<int>(chord_blocks_.size()); }
  ChordBlock* chord_block(int i);
  const ChordBlock* chord_block(int i) const;
  void FreeChordBlocks();
  // Builds a block and appends it; when the list reaches 1000 blocks the
  // class error box is shown and later blocks are not stored. Returns the
  // stored block or nullptr.
  ChordBlock* AddChordBlock(const ChordEntry& entry, const char* bass_text);
  ChordBlock* AddChordBlockWithBass(const ChordEntry& entry, int bass_offset);
  // Sum of the chord block lengths.
  int TotalChordLength() const;
  // Appends a section id (refused with 0xFF0101C6 past 1024 ids).
  bool AddSectionId(int id);

  // Chord input access, bounded to 682 entries and the 4096 bytes.
  // Writes entry `index` and its bass digits ("00" when digits is nullptr)
  // and the end mark after it when it fits; an index out of range shows
  // 0xFF010010 and answers false.
  bool SetChordInputEntry(int index, const ChordEntry& entry, const char* digits);
  // Number of entries before the end mark (at most 682).
  int ChordInputCount() const;
  ChordEntry ChordInputEntry(int index) const;
  void ClearChordInput();

  static void ErrorMsg();  // "ComposeInformation::ErrorMsg"

 private:
  std::vector<std::unique_ptr<ChordBlock>> chord_blocks_;
};

// The one compose information of the process.
ComposeInformation& ComposeInfo();

// Four-character chord code of the key's template chord ("CMPS", "CMPs" or
// "AmPs"), kept with the timing-database choice of the style library.
std::string ChordTemplateKey();
void SetChordTemplateKey(const char* code4);
// The time-chart and cadence time-chart names chosen for the next composition.
std::string TimeChartFileName();
std::string CadenceTimeChartFileName();

// The process-wide melody lists of the song import.
EventList& VocalMelodyList();
EventList& MelodyInputCopy();
EventList& ObbligatoInputList();
EventList& InstrumentalMelodyList();

// Operations on a 200-entry list array.
void ClearEventListArray(std::array<EventList, kSectionCapacity>& lists);

// Drops the compose information and the four lists and starts afresh.
void ResetComposeInformation();
