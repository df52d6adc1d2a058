// The karaoke MIDI file: a format-0 song whose file carries, after the song's "MTrk"
// chunk, an "XFIH" information chunk and an "XFKM" chunk of lyric meta events (FF 05).
// The engine writes arranged songs with their lyrics in this form; the main window and
// the MIDI import read them back, take the lyrics as plain text and find XF chord events.
//
// Reading bounds every chunk by the bytes that are there: a chunk whose declared length
// runs past the end makes the file no karaoke file (the flag is 0, or without a flag the
// box 0x2f000001), and the song track read before it is kept.
//
// Lyric conventions: "/" ends a line, "<" starts a paragraph, "^" stands for a blank,
// "[" and "]" enclose a reading; "<イントロ", "<間奏" and "<エンディング" mark intro,
// interlude and ending. Texts are CP932; every walk over them goes by characters, so a
// trail byte that looks like "[" or "/" is never taken for one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_track.h"

// Codes of the karaoke-file module (tag "XFDT").
constexpr uint32_t kXfdtNotKaraoke = 0x2f000001;
constexpr uint32_t kXfdtInternal = 0x2f000002;
constexpr uint32_t kXfdtNoMasterVolume = 0x2f000003;

// Bytes of the line one lyric event is converted into and of the work text that
// GetLyricText gathers the lines in (each with its terminating zero).
constexpr size_t kLyricLineRoom = 256;
constexpr size_t kLyricWorkRoom = 0x10000;

// Filter of the karaoke file dialogs.
constexpr const char* kXfFileFilter = "SMF files|*.mid|";

class XfData : public Midi0Data {
 public:
  // The engine's builder: a copy of the note-mode song track with the division; the
  // karaoke track (event mode, may be null) is taken over; the information chunk is
  // the text event "XFln:" and End of Track.
  XfData(const MidiTrack& song_track, MidiTrack* karaoke, int32_t song_division);
  // Reads the file (a null path opens the file dialog) and parses it when any bytes
  // were read. The flag (may be null) says whether it is a karaoke file.
  XfData(const std::filesystem::path* path, int32_t yield, int* is_karaoke);
  // The same from bytes in memory (at most the capacity; more is refused).
  XfData(const uint8_t* bytes, int32_t size, int32_t yield, int* is_karaoke);
  // An empty karaoke song for AddLyricNote: song track in note mode, karaoke track in
  // event mode, an "XFIH" chunk without data.
  explicit XfData(int32_t song_division);
  ~XfData();
  XfData(const XfData&) = delete;
  XfData& operator=(const XfData&) = delete;

  // Parses the bytes in the buffer; 1 once the song track and the "XFIH" chunk were
  // read, else 0. A format-1 file is merged into format 0 first when a flag is given
  // and refused with 0x2f000001 without one.
  int Parse(int32_t yield, int* is_karaoke);
  // Writes MThd, MTrk, the information bytes and XFKM (End of Track only without a
  // karaoke track) to a temporary name and renames it; a null path asks through the
  // save dialog. A file that cannot be made whole (a track in an unusable mode, or
  // more bytes than the buffer holds) is reported with 0x2f000002 and nothing is
  // written; a failed write shows its box. 1 when written. The tracks come back to
  // the modes they had.
  int SaveFile(const std::filesystem::path* path);
  int SaveFile(const std::filesystem::path& path) { return SaveFile(&path); }

  // End of Track at the delta on the karaoke track and on the song track.
  void AddEndOfTracks(int32_t delta);
  // A lyric event (FF 05) on the karaoke track and a note on the song track, both at
  // the delta; a second channel of 0 or more adds the same note there at velocity 1.
  void AddLyricNote(int32_t delta, int32_t note, const char* lyric, int32_t channel,
                    int32_t duration, int32_t velocity, int32_t second_channel);
  // Converts the karaoke track (when there is one) and the song to the new division.
  void SetDivision(int32_t new_division);

  // The lyrics as plain text (CP932): lines end in CR LF, a paragraph is set off by a
  // blank line, "^" is a blank and a reading is put in round brackets.
  std::string GetLyricText() const;
  // The same into a caller's text of `room` bytes (room > 0), cut at a character
  // boundary (never half a double-byte character or a CR LF) and ended with a zero.
  void GetLyricText(char* out, size_t room) const;

  // 1 when the song track holds an XF chord event (FF 7F with data 43 7B 01 ...).
  int HasXfChords() const;
  static int XfChordRootToPitchClass(int root_byte);
  // The name of the chord type into `out`; an unknown code leaves it empty.
  static void GetXfChordTypeName(int type_code, std::string* out);
  static const char* XfChordTypeName(int type_code);

  // Whether a master volume follows the last reset before the first note of the song
  // track; option 1 inserts a missing one.
  int CheckMasterVolume(int option);
  int AddMissingMasterVolume() { return CheckMasterVolume(1); }
  // Whether the bytes are a format-0 file with an "XFIH" chunk after its song track.
  static int IsXfFile(const uint8_t* bytes, int64_t size);
  // 1 when no lyric holds a double-byte character other than the full-width minus.
  int IsSingleByteLyric() const;
  // Removes the character before each "[" with the "[" and every "]": "漢[かん]" ->
  // "かん". The second form does it for every lyric event of the karaoke track.
  static void ReplaceRubyWithReading(MidiEvent& lyric);
  void ReplaceRubyWithReading();
  // The song-track passes of the format-0 song (GS reset or XG System On to GM System
  // On, DuplicateChannel ...) are inherited from Midi0Data.

  static void ErrorMsg(uint32_t code);

  // Fields.
  std::vector<uint8_t> info_bytes;      // the whole "XFIH" chunk as stored
  int32_t info_length = 0;              // its bytes, header included
  MidiTrack* karaoke_track = nullptr;   // owned, event mode; may be null
  int32_t yield_period = 0;             // ms handed to the track parsers
  MidiTrack* info_track = nullptr;      // owned, parsed from "XFIH"; never written back

 private:
  void ClearKaraoke();
  void MakeInfoChunk();
  // The song track of a format-1 file merged into format 0, as file bytes in the
  // buffer; false when that failed.
  bool MergeFormat1();
};
