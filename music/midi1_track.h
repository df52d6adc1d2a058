// The track of a format-1 song: a MidiTrack with the passes that finish a melody
// part for playback (legato lengths, bends turned into notes, a fresh bend range,
// glides, delayed vibrato, expression swells) and the pitch-bend clean-ups they
// rely on.
#pragma once

#include <cstdint>

#include "music/midi_track.h"

// Codes of the format-1 track module (tag "M1TK").
constexpr uint32_t kM1tkZeroVoices = 0x2e00000c;
constexpr uint32_t kM1tkMetrePosition = 0x2e00001a;
constexpr uint32_t kM1tkBendOutOfRange = 0x2e00001b;
constexpr uint32_t kM1tkManyBendRanges = 0x03000017;
constexpr uint32_t kM1tkBendToNote = 0x03000014;
constexpr uint32_t kM1tkNegativeDelta = 0x0d000019;
constexpr uint32_t kM1tkNegativeLength = 0x0d00001b;
constexpr uint32_t kM1tkNoChannel = 0x0d000020;
constexpr uint32_t kM1tkSwellSteps = 0x0d000022;
constexpr uint32_t kM1tkGlideSteps = 0x0d000023;
constexpr uint32_t kM1dtInternalCode = 0x03000003;
constexpr uint32_t kM1tkBadPitchCount = 0x0d00001d;
constexpr uint32_t kM1tkNoCentre = 0x0d000018;
constexpr uint32_t kM1tkMergeChannels = 0x0d00001f;
// Any status, for the index queries.
constexpr uint32_t kAnyStatus = 0xFFFFFFFF;
constexpr uint32_t kMdtkSplitFailed = 0x0D00001C;

// Entries of the event lists of the range copy and insertion.
constexpr int32_t kEventListRoom = 1024;

// Centre of the 14-bit pitch-bend value.
constexpr int32_t kBendCentre = 0x2000;

class Midi1Track : public MidiTrack {
 public:
  // Every constructor hands half of the capacity to the track and resets the
  // module's once-only warnings.
  explicit Midi1Track(int32_t capacity = kDefaultMusicCapacity);
  Midi1Track(int32_t mode, int32_t capacity);
  // An empty track of the mode that ends with End of Track.
  Midi1Track(int32_t mode, int32_t ignored, int32_t capacity);
  // Parses the chunk at the offset of a file held in memory.
  Midi1Track(int64_t file_size, int64_t offset, const uint8_t* bytes, int32_t yield_period,
             int32_t capacity, MidiParseContext* context = nullptr);
  // Copy of a note-mode track.
  Midi1Track(const MidiTrack& source, int32_t capacity);
  // The excerpt of a track between two ticks (CopyExcerpt, music/midi_data.h).
  Midi1Track(const MidiTrack& source, int32_t from, int32_t to, int32_t capacity);
  // Takes over `count` event pointers (the track owns them from now on).
  Midi1Track(MidiEvent** event_list, int32_t count, int32_t mode, int32_t capacity);

  // Note lengths become min(limit, ticks to the next note that starts later or to
  // End of Track); a note with neither after it gets length 0. Note mode.
  void LimitNoteLengths(int32_t limit);
  // Pitch bends of a range in semitones become transposed and split notes.
  void BendsToNotes(int32_t range);
  // The last pitch-bend sensitivity (RPN 0/0 data entry) set; 12 when none.
  int GetBendRange() const;
  // Deletes every data entry made while RPN 0/0 is selected.
  void RemoveBendRangeData();
  // RPN 0/0 = semitones on the track's channel at tick 0.
  void InsertBendRange(int32_t semitones);
  // Glides of `length` ticks in `steps` bends toward the next note. Note mode.
  void AddGlides(int32_t length, int32_t steps, int32_t range);
  // Modulation 0 before every note and 127 `delay` ticks into long notes.
  void AddDelayedVibrato(int32_t delay);
  // `steps` rising expression changes over `length` ticks at the start of long notes.
  void AddExpressionSwell(int32_t length, int32_t steps);
  // Deletes bends that lie between their neighbours while nothing sounds, and
  // repeated bends.
  void RemoveRedundantBends();
  // Sets every bend-range data entry to the new range and rescales the bends.
  void ConvertBendRange(int32_t new_range);
  // Deletes the bends inside the note at the index.
  void DeleteBendsInNote(int32_t index);
  // RPN msb/lsb = value on the track's channel at the index; flag must be 2.
  void InsertRpn(int32_t index, int insert_flag, int32_t msb, int32_t lsb, int32_t value);
  // The first data entry at or after *index made while RPN msb/lsb is selected:
  // its value, with *index set to it; -1 when none.
  int FindRpnData(int32_t* index, int32_t msb, int32_t lsb) const;
  // Deletes data entries of RPN 0/0 that repeat the previous one, and RPN selects
  // that repeat the selected number with no data entry between.
  void RemoveRedundantRpn();
  // Sets the value of every change of the controller; returns the event count.
  int32_t SetControllerValues(int32_t controller, int32_t value);
  // Velocity times 9/10, `steps` times; the velocity itself when that falls below
  // half of it.
  static int32_t DecayVelocity(int32_t velocity, int32_t steps);

  // ---- range edits (music/midi1_track_ranges.cpp); event mode ----
  // Keeps the (start, end) tick ranges, in order and apart, moved together from tick
  // 0: the state in force at each range start and the notes sounding across it are
  // carried over, and End of Track stands at the kept length.
  void KeepRanges(const int32_t* ranges, int32_t count);
  // Empties [a, b): the state changes made inside are sent again at b, notes struck
  // inside and sounding at b are struck again there, notes ended inside end at a.
  void SilenceRange(int32_t a, int32_t b);
  // Removes the time [a, b): later events move earlier by b - a.
  void CloseGap(int32_t a, int32_t b);
  // On the conductor track: a bar cut at the tick becomes two bars of sixteenths and
  // the metre in force returns at the next bar line. 1 when split.
  int SplitBarAt(int32_t division, int32_t tick);

  // Note mode: deletes the notes at or after the tick.
  void DeleteNotesFrom(int32_t tick);
  void DeleteNotesInRange(int32_t from, int32_t to);    // notes starting in [from, to)
  void DeleteMarkersInRange(int32_t from, int32_t to);  // markers in [from, to)
  // The text of the last marker in [from, to) into out (room bytes); empty when none.
  void GetMarkerTextInRange(int32_t from, int32_t to, char* out, int32_t room) const;
  // Removes the events in [from, to) but the program and controller changes, which
  // stay at the place of the first; later events keep their ticks. More than 256
  // kept changes are refused.
  void CollapseRange(int32_t from, int32_t to);
  // Copies of the events in [from, to) into the list (room for kEventListRoom
  // entries), each with its delta from the previous copy (the first from `from`),
  // closed with a null; the copies are the caller's. At most kEventListRoom - 1 are
  // copied (more are reported). Returns the count.
  int32_t CopyEventsInRange(int32_t from, int32_t to, MidiEvent** list) const;
  // Copies of the events of a null-terminated list (at most kEventListRoom) at the
  // tick, their deltas counted from it; later events keep their ticks. The time up to
  // `end` and up to the list's last event must be free of events (otherwise refused).
  // At or after the track's last event the list goes before its End of Track, which
  // moves to cover the inserted notes. The list stays the caller's.
  void InsertEventsAt(int32_t tick, int32_t end, MidiEvent* const* list);
  // Merges the other note-mode track of the same channel, each side's velocities by
  // its own volume and expression and its bends by its own bend range made into one
  // mix; option 1 joins the names, 0 drops the other's.
  void MergeRescaled(const MidiTrack& other, int option);

  // ---- clean-ups and queries (music/midi1_track_cleanup.cpp) ----
  // Per channel, of the volume, expression (and their fine parts) and pan changes of
  // one tick only the last stays, and a change repeating the value in force goes.
  // Does not compact.
  void RemoveDuplicateMixControllers();
  // MergeTrackEx with the names joined, and without.
  void Merge(const MidiTrack& other) { MergeTrackEx(other, 1); }
  void MergeWithoutNames(const MidiTrack& other) { MergeTrackEx(other, 0); }
  void RemoveRepeatedMixControllers();
  void RemoveUnheardControllers(const int32_t* excepted, int32_t count);
  void MergeConsecutivePans();
  void RemoveUnusedVolumes();
  void KeepBankAndProgram(int32_t bank_msb, int32_t bank_lsb, int32_t program);
  int SetFirstProgram(int32_t program);
  void ReplaceProgram(int32_t kept, int32_t replaced);
  void SetMixControllersMax();
  void SetValueOfFirstStatus(uint32_t status_value, int32_t value);
  // Rule 1: deletes every event of another status; otherwise those of the status.
  void DeleteByStatus(uint32_t status_value, int rule);
  void ShortenRepeatedNotes();
  void DeleteNotesByPitch(int32_t pitch, int rule);
  void DeleteLowerOctaveDoubles();
  void KeepTopNoteOfChords(int32_t from, int32_t to);
  // Note mode, with a channel: every note of the least used pitch (the highest on
  // ties) that is not protected; 1 when one was found.
  int DeleteLeastUsedPitch(const int32_t* protected_pitches, int32_t count);
  void ReducePitchCount(int32_t n, const int32_t* protected_pitches = nullptr, int32_t count = 0);
  void ThinToVoices(int32_t n);
  // Velocities scaled so that the highest becomes `top` (pitch -1: every note).
  void ScaleVelocitiesOfPitch(int32_t pitch, int32_t top);
  void ScaleVelocities(int32_t top = 127) { ScaleVelocitiesOfPitch(-1, top); }
  // Event mode to note mode for a line of single notes: each note-on lasts to the
  // next note-off.
  void ToMonophonicNoteMode();
  int IsSysExAndMetaOnly() const;
  int IsGsPartSetupTrack() const;
  int HasSecondPortName() const;
  // Events of the status (number -1: any) with a tick in [from, to) (from -1: all).
  int32_t CountInRange(uint32_t status_value, int32_t number, int32_t from, int32_t to) const;
  int32_t CountProgramChanges() const { return CountInRange(kStatusProgram, -1, -1, 0); }
  int HasSeveralProgramChanges() const { return CountProgramChanges() > 1 ? 1 : 0; }
  int32_t CountStatus(uint32_t status_value) const { return CountInRange(status_value, -1, -1, 0); }
  int32_t CountController(int32_t number) const {
    return CountInRange(kStatusController, number, -1, 0);
  }
  int32_t CountControllerInRange(int32_t from, int32_t to, int32_t number) const {
    return CountInRange(kStatusController, number, from, to);
  }
  int32_t CountNotesInRange(int32_t from, int32_t to) const {
    return CountInRange(kStatusNote, -1, from, to);
  }
  int32_t LargestChord() const;
  // Note mode: the length-weighted mean pitch; 64 without notes.
  int32_t AveragePitch() const;
  void GetPitchRange(int32_t* low, int32_t* high) const;
  int HasPitch(int32_t pitch) const;
  int32_t LastNoteTick() const;
  int32_t IndexAfterTick(int32_t tick) const;
  int32_t LastIndexOfStatusInRange(uint32_t status_value, int32_t from, int32_t to) const;
  int32_t LastIndexInTickRange(int32_t from, int32_t to) const {
    return LastIndexOfStatusInRange(kAnyStatus, from, to);
  }
  int32_t LastIndexOfStatus(uint32_t status_value) const {
    return LastIndexOfStatusInRange(status_value, -1, 0);
  }
  int ValueOfFirstStatus(uint32_t status_value) const;
  // Only meta events, and not a track of End of Track alone.
  int IsMetaOnly() const;
  // Only End of Track.
  int IsEmpty() const;

  // The GS use-for-rhythm-part message of the channel (value 1 when the flag is set),
  // inserted as the first event (music/midi1_channels.cpp).
  void InsertRhythmPartSysEx(int flag, int32_t channel);
  // ---- notes by time and phrases (music/midi1_track_phrases.cpp) ----
  // Note mode: a note of at most length / 2 whose next note follows the event before
  // it within length / 2, a semitone higher and longer than length / 2, becomes that
  // note from its own start; the next note goes.
  void MergeGraceNotes(int32_t length);
  // Note mode: a note whose pitch class sounds in the other track at its start goes,
  // unless it is the highest note sounding in this track then.
  void DropNotesSharedWith(const MidiTrack& other);
  // When both combinations occur: program changes to the old program after bank
  // selects of the old bank get the new program, and those bank selects the new bank.
  void ReplaceBankAndProgram(int32_t msb, int32_t lsb, int32_t program, int32_t old_msb,
                             int32_t old_lsb, int32_t old_program);
  // Note mode: a note starting in [from, to] of the pitch and length of `note` (and
  // its velocity when asked).
  int HasMatchingNote(int32_t from, int32_t to, const MidiEvent& note, int with_velocity) const;
  // Note mode: the percentage of this track's notes matched in the other within
  // +- tolerance ticks; 0 without notes.
  int32_t SharedNotePercent(const MidiTrack& other, int32_t tolerance) const;
  // Note mode: flags (128) of the pitches sounding once the events at or before the
  // tick have happened; returns how many.
  int32_t NotesSoundingAt(uint8_t* flags, int32_t tick) const;
  // Note mode: the distinct pitches (ascending; room for 128) of notes with a
  // velocity starting exactly at the tick.
  void NotesStartingAt(int32_t* list, int32_t* count, int32_t tick) const;
  // Note mode: the highest pitch sounding at the tick; -1 when none.
  int32_t HighestNoteSoundingAt(int32_t tick) const;
  // Ticks from the event at the index to the next note event at a later tick; -1
  // when none.
  int32_t TicksToNextNoteEvent(int32_t index) const;
  int HasGapAfter(int32_t index, int32_t length) const;
  // Ticks back from the event at the index to the previous note event at an earlier
  // tick; -1 when none.
  int32_t TicksSincePreviousNoteEvent(int32_t index) const;
  // Ticks back to the previous event of the status at an earlier tick, or to the
  // start.
  int32_t TicksBackToStatus(int32_t index, uint32_t status_value) const;
  // Event mode: the first note-on after the index that ends a silence of at least
  // the length begun by a note-off; -1 when none.
  int32_t NextNoteAfterRest(int32_t index, int32_t length) const;
  // Event mode (note-offs first at equal ticks, which this sets): from the index
  // forwards (direction 1) or backwards, the nearer of the first silent position
  // with a rest of at least the length on the searched side (or the track's end or
  // start) and the first note-on after such a rest (backwards: note-off before one);
  // -1 when none.
  int32_t FindPhraseBoundary(int32_t index, int direction, int32_t length);
  // Note mode: on the notes alone, grace notes merged and starts quantized to the
  // length, the run of consecutive notes that recurs later with the most equal
  // pitches at equal distances: its note count, and the start and end (the end of
  // its last note) of its first occurrence (-1 and 0 when nothing recurs).
  int32_t FindRepeatedPhrase(int32_t* start, int32_t* end, int32_t length) const;

  static void ErrorMsg(uint32_t code);
  // Once-only warnings (0 resets them); codes that are no warnings show every time.
  static void Warn(uint32_t code);
};

// Resets the once-only warnings of the format-1 track module.
void ResetMidi1TrackModule();
