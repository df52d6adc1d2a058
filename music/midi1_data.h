// The format-1 song: a MidiData with up to 64 tracks, the form in which the
// engine builds its songs; with its states, file reading and writing, and the
// conversions to and from the format-0 song.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "music/midi1_track.h"
#include "music/midi_data.h"

class Midi0Data;

// Codes of the format-1 song module (tag "M1DT").
constexpr uint32_t kM1dtTrackCount = 0x03000001;
constexpr uint32_t kM1dtNotFormat1 = 0x03000002;
constexpr uint32_t kM1dtInternal = 0x03000003;
constexpr uint32_t kM1dtNotMidi = 0x03000004;
constexpr uint32_t kM1dtFileOpen = 0x03000005;
constexpr uint32_t kM1dtManyMasterVolumes = 0x03000006;
constexpr uint32_t kM1dtMasterVolumeSet = 0x03000016;
constexpr uint32_t kM1dtTooLarge = 0x03000019;
constexpr uint32_t kM1dtChannel = 0x0300001e;
constexpr uint32_t kM1dtManyTempos = 0x03000009;
constexpr uint32_t kM1dtChannelCount = 0x0300001a;
constexpr uint32_t kM1dtBadStart = 0x0300001b;
constexpr uint32_t kM1dtDrumProgram = 0x03000007;
// Tempo records CollectTempos stores at most.
constexpr int32_t kMaxTempoRecords = 512;
// Warnings (each with a once-flag).
constexpr uint32_t kM1dtMetrePosition = 0x0300000d;
constexpr uint32_t kM1dtNoFreeChannel = 0x0300000e;
constexpr uint32_t kM1dtDrumPrograms = 0x0300000f;
constexpr uint32_t kM1dtManyPrograms = 0x03000010;
constexpr uint32_t kM1dtSameTone = 0x03000013;
constexpr uint32_t kM1dtBendToNote = 0x03000014;

constexpr int32_t kMaxSongTracks = 64;
// A header announcing more tracks than this is read as kFallbackTrackCount.
constexpr int32_t kMaxHeaderTracks = 63;
constexpr int32_t kFallbackTrackCount = 32;
// Tracks of a split format-0 song: meta events, channel 0 with system exclusive,
// channels 1 to 15.
constexpr int32_t kSplitTrackCount = 17;

class Midi1Data : public MidiData {
 public:
  // Empty song in state 2.
  Midi1Data(int32_t song_division, int32_t capacity);
  // Capacity 0x60000: the file the user picks in the open-file dialog, in state 2
  // when its header is accepted; otherwise (cancelled, refused) in state 0 without
  // tracks.
  Midi1Data();
  // Copies the bytes (capacity 0x60000); takes them to state 2 when the header is
  // accepted, else stays in state 0 without tracks and with division 0.
  Midi1Data(int32_t size, const uint8_t* bytes);
  // The same with the capacity, then EnsureMasterVolume (warn) when accepted.
  Midi1Data(const uint8_t* bytes, int32_t size, int warn_master_volume, int32_t capacity);
  // Reads the file; a format-0 file is read as a format-0 song and split. A file
  // that cannot be read, is too large or is no MIDI file is reported and gives an
  // empty song in state 2. A song without master volume gets 127.
  Midi1Data(const std::filesystem::path& path, int32_t capacity);
  // The excerpt of every track between the ticks; the source must be in state 1
  // (otherwise the general error and an empty song).
  Midi1Data(const Midi1Data& song, int32_t start_tick, int32_t end_tick);
  // Copy: state, division, metre override and every track.
  Midi1Data(const Midi1Data& song, int32_t capacity);
  // A format-0 song in state 2 split into 17 tracks.
  Midi1Data(const Midi0Data& song, int32_t capacity);
  // State 2, the division and copies of the note-mode tracks.
  Midi1Data(MidiTrack* const* source_tracks, int32_t count, int32_t song_division,
            int32_t capacity);
  ~Midi1Data();
  Midi1Data(const Midi1Data&) = delete;
  Midi1Data& operator=(const Midi1Data&) = delete;

  // Track list.
  Midi1Track* AddEmptyTrack(int32_t track_capacity);
  // Appends the track (the song owns it); a full song reports and deletes it.
  void AddTrack(Midi1Track* track);
  void InsertTrackAt(Midi1Track* track, int32_t index);
  void DeleteTrack(int32_t index);
  void DeleteTracks();
  void SwapTracks(int32_t first, int32_t second);
  Midi1Track* Track(int32_t index) const {
    return (index >= 0 && index < track_count) ? tracks[index] : nullptr;
  }

  // Master volume.
  int GetMasterVolume() const;
  void InsertMasterVolume(int32_t volume);
  void EnsureMasterVolume(int warn);

  // Queries.
  int32_t GetLength() const;
  int GetMetre(int32_t* metre) const;

  // Header and states.
  int ReadHeader();
  void WriteHeader();
  void Unpack();
  void ToNoteMode();
  void ToEventMode();
  // Writes the tracks that fit the capacity; the header counts the chunks written.
  void Pack();
  int SaveFile(const std::filesystem::path& path);
  int SaveFileWithDialog();
  // The size of the file the song would be (state 2).
  int32_t GetPackedSize();

  // Conversions.
  void SplitFormat0(const Midi0Data& song);
  // Merges every track into the format-0 song's track (state 2), by time; events
  // of one tick come round by round in track order. The format-0 song takes the
  // division.
  void MergeToFormat0(Midi0Data& song) const;
  void MergeToFormat0(Midi0Data& song, int) const { MergeToFormat0(song); }

  // Merges by channel into the format-0 song: tracks without a channel keep their
  // names, the others lose them.
  void MergeToFormat0ByChannel(Midi0Data& song) const;
  // Replaces the tracks with the split of the format-0 song (state 2).
  void RebuildFromFormat0(const Midi0Data& song);
  // At most `voices` notes at once over the whole song; the tracks come back in the
  // split layout with their names.
  void LimitPolyphony(int32_t voices);
  // One track per channel 0 to 15 (tracks without channel join channel 1's), then
  // the tracks of channels above 15 unchanged.
  void MergeTracksByChannel();
  // The first name of every track into the buffer of its channel (the 17th for
  // tracks without channel), each of 256 bytes; the name events are deleted.
  void TakeTrackNames(char (*names)[256]);
  void RestoreTrackNames(const char (*names)[256]);

  // ---- song-level operations (music/midi1_song.cpp) ----
  // Tracks without channel first, then by rising channel; returns count - 1.
  int32_t SortTracksByChannel();
  // Keeps the tracks of the channel and the conductor tracks.
  void KeepOnlyChannel(int32_t channel);
  void DeleteChannelTracks(int32_t channel);    // not the conductor tracks
  void DeleteTracksOfChannel(int32_t channel);  // conductor tracks too
  void DeleteEmptyTracks();
  void DeleteNoteFreeTracks();
  void DeleteEndOnlyTracks();
  void DeleteGsPartTracks();
  int32_t FindTrackByName(const char* pattern) const;
  int32_t FindTrackByChannel(int32_t channel) const;
  int32_t FindFreeChannel() const;
  int32_t FindChannelOfInstrument(int32_t bank_msb, int32_t bank_lsb, int32_t program) const;
  int IsDrumTrack(int32_t index) const;
  int32_t CountDrumTracks() const;
  int32_t CountChannels(int* second_port) const;
  int HasDuplicateChannels() const;
  // The text of the first meta event of the type into out (room bytes).
  int FindMetaText(int32_t type, char* out, int32_t room) const;
  int32_t FindCuePoint(const char* text) const;
  int32_t FindMarker(const char* text) const;
  // (tick, microseconds) of every tempo event, at most kMaxTempoRecords.
  int32_t CollectTempos(int32_t (*records)[2]) const;
  int GetFirstTempo(int32_t* out) const;
  int GetNthTempo(int32_t* out, int32_t n) const;
  int GetChannelProgram(int32_t channel) const;
  int GetChannelVolume(int32_t channel) const;
  void GetNoteRange(int32_t channel, int32_t* lowest, int32_t* highest) const;
  int HasNotesOnChannel(int32_t channel) const;
  int32_t FirstEventTick(uint32_t status_value, uint32_t number_value) const;
  int32_t FirstSysExTick(uint32_t kind) const;
  // Volume 100 for every channel track without one; the message names them.
  int EnsureChannelVolumes(std::string* message);
  void TrimTrackStart(int32_t index, int32_t ticks);
  void TruncateTrack(int32_t index, int32_t tick);
  // Into the first track of the channel at the tick, or a new track; a full song
  // reports 0x03000001 and frees the event.
  void InsertEventOnChannel(int32_t channel, MidiEvent* event, int32_t tick);
  void NormaliseController(int32_t controller);
  void NormaliseVolumes();
  void ScaleVelocities(double factor);
  void NormaliseVelocities();
  void NormaliseMix(double factor);
  double TickToTime(int flag, int32_t tick) const;

  // Keeps the (start, end) tick ranges of every track; the conductor track's bars
  // cut by a range edge are split first.
  void KeepRanges(const int32_t* ranges, int32_t count);

  // ---- song-wide passes (music/midi1_song_passes.cpp) ----
  // Each applies one track operation to the tracks the pass names; a pass that needs
  // a state reports 0x03000003 in another and does nothing.
  // CheckNotes on every track; 1 when any track repaired a note.
  int ClampNoteValues();
  // State 2: the first (all 0) or every (all 1) meta event of the type, in the first
  // track that has one; 1 when one was deleted.
  int DeleteMetaEvents(int32_t type, int all);
  // On the first track that is not a conductor track.
  void MoveGmSystemOnFirst();
  void TransposeBetween(int32_t start, int32_t end, int32_t semitones);
  void TransposeKeySignatures(int32_t start, int32_t end, int32_t semitones);
  // Converts every track from the song's division to the new one and sets it; a
  // division of 0 on either side is refused (0x03000003).
  void SetDivision(int32_t new_division);
  void ScaleNoteLengths(int32_t percent);  // state 2: percent of every length, at least 1
  void ShortenRepeatedNotes();             // drum tracks
  // State 2, drum tracks: notes outside 35..81 become 35, re-struck notes go; with
  // warn 1, 0x03000007 for each drum track with a program other than 0.
  int LimitDrumNotes(int warn);
  void CheckDrumTracks() { LimitDrumNotes(1); }
  // Drum tracks that are not conductor tracks, the last first: the kit table applied
  // to the notes of the bank LSB.
  void RemapDrumKit(int32_t bank_lsb, const int8_t (*table)[128], int zero_bank);
  // Tracks that are not drum tracks: notes outside [lowest, highest] move one octave
  // toward it; 1 when some note was outside.
  int FoldNotesIntoRange(int32_t lowest, int32_t highest);
  void BendsToNotes();  // tracks that are not drum tracks, with their bend range
  void KeepFirstTrackName();
  int DeleteControlChanges(int32_t controller);
  void DeleteDrumPrograms();
  // Drum tracks whose first bank LSB and first non-zero program are the two values:
  // equal 1 deletes the notes of the number, otherwise every other note.
  void DeleteKitNotes(int32_t bank_lsb, int32_t program, int32_t note, int equal);
  // The first message of the kind (of the channel), the first F0 or F7 event, in the
  // first track that has one; 1 when one was deleted.
  int DeleteSysExOfKind(uint32_t kind);
  int DeleteChannelSysEx(int32_t channel, uint32_t kind);
  int DeleteFirstSysEx();
  int DeleteFirstEndSysEx();
  void DeleteEventsAfter(int32_t tick, uint32_t status_value);
  void RemoveDuplicateBankPrograms();
  void RemoveRedundantControllers(const int32_t* exempt, int32_t count);
  void CloseOverlaps(int split);
  void RemoveRedundantBends();
  void RemoveRepeatedPrograms();
  void RemoveRepeatedMixerValues();
  void RemoveUnusedPans();
  void BakeVolumes();
  void CombineVolumeExpression();
  void ConvertTexts(int latin, int kana, uint32_t status_value, uint32_t type);
  // Removes [start, end) from every track; start below 0 is refused (0x0300001b).
  int32_t CutTime(int32_t start, int32_t end);
  void InsertTime(int32_t tick, int32_t ticks);
  void DeleteMarkersBetween(int32_t start, int32_t end);  // conductor tracks
  void QuantizeNonDrum(int32_t grid);
  void QuantizeRange(int32_t start, int32_t end, int32_t grid, int skip_drums, int rule);
  void QuantizeTrack(int32_t index, int32_t steps_per_quarter, int32_t from, int32_t to);
  void SetMinimumLength(int32_t index, int32_t ticks);
  void SetMinimumDrumLength();
  // The channel's tracks (not conductor tracks) thinned to the voices: drum tracks to
  // that many pitches (the second form keeps the listed ones), others to that many
  // notes at once.
  void ReduceVoices(int32_t channel, int32_t voices);
  void ReduceDrumVoices(int32_t channel, int32_t voices, const int32_t* notes, int32_t count);
  void RetypeMeta(int32_t type, int32_t new_type);
  void ReplaceMetaText(int32_t type, const char* old_text, int32_t new_type,
                       const char* new_text);
  void ReplaceSysExData(const uint8_t* message, uint32_t new_type, const uint8_t* bytes);
  void EndNotesAt(int32_t tick);
  void CutAfter(int32_t tick);
  // Velocities (and the controller, in steps of half a quarter) fall over the last
  // ticks of the song.
  void FadeOut(int32_t ticks);
  void FadeOutWithController(int32_t ticks, int32_t controller);
  void FoldFineTuningIntoBends();
  // On the first conductor track.
  void InsertMetaTextInConductor(int32_t type, const char* text);
  void SetConductorTitle(const char* text);
  void SetTimeSignature(int32_t numerator, int32_t denominator);
  // On track 0.
  void AddMetaText(int32_t type, const char* text);
  void InsertMetaTextAt(int32_t tick, int32_t type, const char* text);
  // On the first track that is not a conductor track.
  void CheckMasterVolumeOnFirst();
  int ReplaceGsResetWithGmOn();
  int ReplaceXgOnWithGmOn();

  // ---- queries over the tracks (music/midi1_song_passes.cpp) ----
  int32_t CountNotes() const;
  int32_t CountControlChanges(int32_t controller) const;
  int32_t CountMetaEvents(uint32_t type) const;
  int32_t CountSysEx(uint32_t kind) const;
  int32_t CountEventsBetween(int32_t start, int32_t end) const;
  int32_t CountEvents() const;
  // Distinct pitches of drum tracks, most pitches at once of the others, summed.
  int32_t CountVoices() const;
  int32_t CountChannelVoices(int32_t channel) const;
  int32_t GetMaxPolyphony() const;
  int HasOverlappingNotes();
  int HasShortDrumNote() const;
  int HasTrackWithSeveralPrograms() const;
  int HasDrumProgram() const;
  int HasEventBetween(uint32_t status_value, int32_t start, int32_t end) const;
  int IsOnGrid(int32_t start, int32_t end, int32_t grid, int skip_drums) const;
  int IsChannelOnGrid(int32_t start, int32_t end, int32_t channel, int32_t grid,
                      int skip_drums) const;
  int MasterVolumeFollowsReset(int insert_flag);
  // Bank select MSB, then LSB, before the first program change of every track that
  // is not a conductor track; the first failing track's index goes to *index.
  int CheckBankOrder(int32_t* index) const;
  int IsBankOrderValid() const { return CheckBankOrder(nullptr); }
  // On the first conductor track; 1 without one.
  int HasMetaAt(int32_t tick, uint32_t type) const;
  int HasMetaValueAt(int32_t tick, uint32_t type, int32_t value) const;
  int TemposWithin(int32_t start, int32_t end, int32_t lowest_bpm, int32_t highest_bpm) const;
  int TempoRangeCheck(int32_t lowest_bpm, int32_t highest_bpm) const;
  int32_t GetChannelAverageNote(int32_t channel) const;
  int32_t GetLastNoteOffTick() const;

  // ---- bars, beats and seconds (music/midi_bars.cpp) ----
  // Bar, beat and tick of the tick by the time signatures of track 0; beats in
  // quarters (signature beats 0) or in the signature's own beats (1).
  void TickToBarBeatTick(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks,
                         int signature_beats) const;
  void TickToBarBeat(int32_t tick, int32_t* bars, int32_t* beats, int32_t* ticks) const;
  // "bbbb:bb:ttt" (bar and beat from 1) in signature beats; out: 32 bytes.
  void FormatPosition(int32_t tick, char* out) const;
  // Tick of a bar, quarter beat and tick (bars counted from 0).
  int32_t BarBeatTickToTick(int32_t bar, int32_t beat, int32_t tick) const;
  // Quarters of the longest track, rounded up.
  int32_t GetQuarterCount() const;
  // The format-0 answers of the merged song (state 2).
  int32_t GetNextBarLine(int32_t tick) const;
  int32_t CountBars() const;
  int32_t GetDurationMs() const;
  // Seconds between the ticks by the first conductor track's tempi; 0 without one.
  double SecondsBetween(int32_t start_tick, int32_t end_tick) const;
  // Events of all tracks between the ticks per second at the tempo of the start.
  int32_t EventsPerSecond(int32_t start_tick, int32_t end_tick) const;
  // Events per second of every 4-quarter stretch: the highest and the average
  // (returned).
  int32_t GetEventDensity(int32_t* highest, int32_t* average) const;

  // ---- channel fitting and track splitting (music/midi1_channels.cpp) ----
  // Every track whose first instrument name is that of the track (none matches none)
  // moves its events of the track's channel to the channel.
  void MoveTrackChannel(int32_t index, int32_t channel);
  // State 2: the listed tracks after the first move to its channel and merge into it.
  void MergeTrackList(int32_t count, const int32_t* indexes, int close_overlaps);
  // The distinct first instrument names (the empty one too) in track order, each cut
  // at a character boundary into 256 bytes; returns their number (at most 64).
  int32_t CollectInstrumentNames(char (*names)[256]) const;
  // 1 when every program change of both tracks names the one program of the first.
  int SameSingleProgram(int32_t index, int32_t other) const;
  static int IsInList(int32_t value, const int32_t* list, int32_t count);
  // Brings the song to 16 port channels: drum tracks, then tracks of one bank and
  // program, then instrument families merged as long as needed; then second-port
  // channels moved down.
  void FitTo16Channels();
  void MergeDrumTracks();
  // State 2: non-drum tracks of one port and channel merged; the message names them.
  int MergeSamePortChannelTracks(std::string* message);
  int MergeSamePortChannelTracksQuietly();
  // State 2: tracks of one instrument name, first bank MSB and single program merged
  // (tracks on the exempt channels and drum tracks aside).
  void MergeSameProgramTracks(const int32_t* exempt, int32_t count);
  void MergeAllSameProgramTracks();
  void MergeInstrumentFamilies(int ignored);
  void MoveHighChannelsDown();
  // Port channels renumbered from 0 around the kept ones; 0 when channels ran out.
  int RenumberChannels(const int32_t* kept, int32_t count);
  // One track per (bank MSB, LSB, program) of the track, each on a free port channel;
  // 1 when split. Without room for every copy it reports and changes nothing.
  int SplitTrackByBankProgram(int32_t index);
  // State 2: every track of the channel becomes two, notes whose value (kind 1 note,
  // 2 length, 3 velocity) reaches the threshold in the first; 0 without room.
  int SplitChannelByNoteValue(int32_t channel, int32_t threshold, int32_t kind);
  // Messages of the system-exclusive-only tracks into the tracks of their channels.
  void DistributeSysExTracks();
  // A copy of the channel's first track on the new channel, with the program, centred
  // pan, notes moved by octaves, velocities scaled and a delay; 0 without the channel.
  int AddDoubledPart(int32_t channel, int32_t new_channel, int32_t delay, int32_t program,
                     double velocity_factor, int32_t octaves);
  // A copy panned against the source, delayed, detuned by pitch bend, with modulation.
  int AddDetunedDouble(int32_t channel, int32_t new_channel, int32_t delay, int32_t detune,
                       int32_t modulation);
  // Drum notes of the kit bank played as tones on tracks of their own: table[kit
  // program][drum note] = {tone program (-1 none), tone note}. 1 when any was mapped;
  // without room for every copy it reports and changes nothing.
  int MapDrumsToTones(int32_t bank_lsb, const int8_t (*table)[128][2], int reset_kit);

  // Every track's dump into "DumpData.txt" in the user data folder; 0x03000005 when
  // the file cannot be written. 1 when written.
  int DumpToFile() const;

  static void ErrorMsg(uint32_t code);
  // The same box with why a write failed (in words) on a line of its own.
  static void ErrorMsg(uint32_t code, const std::string& why);
  // 0 clears the once-flags of 0x0300000d, 0x0300000f, 0x03000010 and 0x03000014.
  static void Warn(uint32_t code);

  // Fields, in the order the format keeps them (after the MidiData fields).
  int32_t track_count = 0;
  Midi1Track* tracks[kMaxSongTracks] = {};

 private:
  friend class Midi0Data;
  enum class HandOff { kAllowed, kNone };
  Midi1Data(const std::filesystem::path& path, int32_t capacity, HandOff hand_off);
  void ReadPath(const std::filesystem::path& path, HandOff hand_off);
  void ReadBytes(const uint8_t* bytes, int32_t size);
  // True when every track of the event-mode song fits the capacity when packed.
  bool PackFits() const;

  // Track chunks the bytes hold (from the header, or from the last Pack); the
  // track list stays empty in state 0.
  int32_t chunk_count_ = 0;
};

// Converts Standard MIDI File bytes in place to the format (0 or 1). The block holds
// `capacity` bytes; a result that does not fit is reported (0x03000019) and the bytes
// stay as they were. Returns 1 when the bytes hold the format afterwards.
int ConvertSmfFormat(uint8_t* bytes, int32_t* size, int32_t format, int32_t capacity);

// Resets every once-flag of the format-1 song module.
void ResetMidi1DataModule();
