// A song held as a Standard MIDI File in one of three forms: the file bytes
// (state 0), tracks of note-on and note-off events (state 1) or tracks of notes
// with durations (state 2). MidiData is the common base of the format-0 song
// (Midi0Data) and the format-1 song (Midi1Data).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "music/music_data.h"

// Song states.
constexpr int32_t kSongBytes = 0;   // file bytes in the buffer, no track objects
constexpr int32_t kSongEvents = 1;  // tracks in event mode
constexpr int32_t kSongNotes = 2;   // tracks in note mode

// The Standard MIDI File header: "MThd", length 6, format, track count, division.
constexpr int32_t kSmfHeaderSize = 14;
// A MacBinary header before "MThd".
constexpr int32_t kMacBinaryHeaderSize = 128;

// Error codes of the song-data module (tag "MDDT").
constexpr uint32_t kMddtFormat = 0x35000001;

class MidiData : public MusicData {
 public:
  explicit MidiData(int32_t capacity = kDefaultMusicCapacity);
  ~MidiData() = default;

  // Reads the whole file into the buffer (a file longer than the capacity is
  // refused) and sets state 0. Returns 1 when the file was read.
  int LoadFile(const std::filesystem::path& path);
  // The open-file dialog and the load of the chosen file, then state 0.
  int LoadFileWithDialog();

  static void ErrorMsg(uint32_t code);

  // Fields, in the order the format keeps them (after the MusicData fields).
  int32_t division = 0;        // ticks per quarter note
  int32_t state = kSongBytes;  // 0, 1 or 2
  int32_t metre_override = 0;  // numerator * 256 + denominator; 0 = none

 protected:
  // The 14 header bytes at the start of the buffer.
  void WriteHeaderBytes(int format, int track_count);

  // The one save of every state, for both song classes: bytes are written as they
  // stand; events are packed into bytes, written and unpacked again; notes go to
  // events and back. The steps are the song class's own conversions and box.
  struct SaveSteps {
    uint32_t open_error = 0;      // the file could not be written
    uint32_t internal_error = 0;  // the song is in no state
    // Shows the song class's box for a code, with why a write failed when known.
    void (*report)(uint32_t code, const std::string& why) = nullptr;
    std::function<bool()> pack;  // events to bytes; false when nothing is to be written
    std::function<void()> unpack;
    std::function<void()> to_events;
    std::function<void()> to_notes;
  };
  int SaveInState(const std::filesystem::path& path, const SaveSteps& steps);
  // The save dialog of the file-dialog layer, then `save` on the chosen path. 0 when
  // cancelled, else what `save` returns.
  static int SaveThroughDialog(const std::function<int(const std::filesystem::path&)>& save);
};

// The format of Standard MIDI File bytes: 0, 1, or -1 for anything else (also
// for fewer than 14 bytes and for bytes that do not begin with "MThd"). A
// 128-byte MacBinary prefix is moved away first, in place; the caller's size is
// not changed.
int GetSmfFormat(uint8_t* bytes, int32_t size);
// The same without changing the bytes.
int PeekSmfFormat(const uint8_t* bytes, int32_t size);
// The format of the file at the path, -1 when it is no Standard MIDI File or
// cannot be read.
int GetSmfFileFormat(const std::filesystem::path& path);

class MidiTrack;
// Holds the data fields of the track's channel events (note, velocity, controller
// number and value, program, pressure, bend bytes) to 0..127, so that a written
// file carries no status byte where a data byte belongs. Returns how many were
// changed.
int LimitDataBytes(MidiTrack& track);

// The size of the chunk the event-mode track would write (its events as the
// serialiser writes them, with the 8 chunk-header bytes).
int64_t EstimatedChunkSize(const MidiTrack& track);

// Fills `out` (emptied first) with the excerpt of the source track (note or event
// mode) between the ticks: the events before `from` that are not notes stay at
// tick 0, the events in [from, to) keep their places moved back by `from`, notes
// still sounding at `to` end there, and End of Track stands at to - from. Of the
// pitch bends before the first note only the last two remain.
void CopyExcerpt(MidiTrack& out, const MidiTrack& source, int32_t from, int32_t to);

// The fields of the 14-byte header ("MThd", length 6, then these, big-endian).
struct SmfHeader {
  int32_t format = -1;
  int32_t tracks = 0;
  int32_t division = 0;
};
// Reads the header at the start of the bytes; false when they are fewer than 14
// or do not begin with "MThd".
bool ReadSmfHeader(const uint8_t* bytes, int64_t size, SmfHeader* header);
// A chunk id of a track: "MTrk", or the XF karaoke chunks "XFKM" and "XFIH".
bool IsTrackChunkId(const uint8_t* id);
// The declared length of the chunk at `at` (after its 4-byte id); -1 when the 8
// header bytes are not all there.
int64_t ChunkLength(const uint8_t* bytes, int64_t size, int64_t at);
// Where the first track chunk at or after `at` starts: chunks of other kinds are
// stepped over, stopping before one whose length runs past the end.
int32_t SkipForeignChunks(const uint8_t* bytes, int32_t size, int32_t at);
