// The song document: one chord cell per beat, one note cell per eighth with
// three slots and three lyrics, the song information, the song's shape, the
// lyrics area, the bass bytes, the style record the song is arranged with and
// twelve extra-information texts. Stored in the 121880-byte song file.
//
// The object is large (about 150 KB): make it on the heap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "style/style_record.h"

// Slot values of a note cell (0..127 is a pitch that starts in the slot).
constexpr int32_t NoteSlotRest = -1;
constexpr int32_t NoteSlotHold = -2;
constexpr int32_t NoteSlotVacant = -3;
constexpr int32_t NoteSlotRap = -4;

constexpr int kSongMaxBeats = 1024;
constexpr int kSongMaxCells = 2048;
constexpr int kExtraTextCount = 12;
constexpr int kExtraTextSize = 2048;
constexpr int kLyricsAreaSize = 2048;
constexpr int kSongInfoSize = 320;

// Layout of the song file (and of every song image), little-endian.
constexpr size_t kSongImageSize = 121880;
constexpr size_t kImageChordsOffset = 0;
constexpr size_t kImageCellsOffset = 16384;
constexpr size_t kImageInfoOffset = 90112;
constexpr size_t kImageShapeOffset = 90432;
constexpr size_t kImageLyricsOffset = 90444;
constexpr size_t kImageBassFirstOffset = 92492;
constexpr size_t kImageBassSecondOffset = 93516;
constexpr size_t kImageReserved1Offset = 94540;
constexpr size_t kImageReserved2Offset = 95052;
constexpr size_t kImageStyleCopyOffset = 96076;
constexpr size_t kImageStyleCopySize = 3072;
constexpr size_t kImageStyleOffset = 99148;

// Older layouts accepted by the file reader, by length.
constexpr size_t kOldLayoutSize = 32780;
constexpr size_t kOldCellsLayoutSize = 81932;
constexpr size_t kNoLyricsLayoutSize = 90444;
constexpr size_t kNoBassLayoutSize = 92492;
constexpr size_t kNoStyleLayoutSize = 94540;

struct ChordCell {
  char first[8];   // chord name of the beat
  char second[8];  // chord name of its second half ("" = same as first)
};

struct NoteCell {
  int32_t slot[3];
  char lyric[3][8];
};

// The 320-byte song information block, kept as bytes so that the fields the
// song does not know pass through unchanged. Accessors read and write the
// known fields little-endian.
struct SongInfoBlock {
  uint8_t bytes[kSongInfoSize];

  enum : size_t {
    kComposer = 0, kComposerSize = 33,
    kAltComposer = 33, kAltComposerSize = 31,
    kLyricist = 64, kLyricistSize = 33,
    kAltLyricist = 97, kAltLyricistSize = 31,
    kStyleCategory = 192, kStyleSlot = 196, kTempo = 200,
    kMelodyProgram = 204, kSoloProgram = 212, kAccompProgram = 216,
    kAccomp2Program = 220, kFlags1 = 224, kListItem = 226, kModeFlags = 227,
    kFlags2 = 230, kShortText = 232, kPopularity = 236,
    kTitle = 256, kTitleSize = 33,
    kAltTitle = 289, kAltTitleSize = 31,
  };

  int32_t GetInt(size_t offset) const;
  void SetInt(size_t offset, int32_t value);
  uint16_t GetU16(size_t offset) const;
  void SetU16(size_t offset, uint16_t value);
  // A text field: always NUL-terminated within its size when read.
  std::string GetText(size_t offset, size_t size) const;
  void SetText(size_t offset, size_t size, const std::string& text);
  char* Field(size_t offset) { return reinterpret_cast<char*>(bytes + offset); }
  const char* Field(size_t offset) const {
    return reinterpret_cast<const char*>(bytes + offset);
  }
};

class CSongData {
 public:
  // An empty song (Clear): callers follow with Reset.
  CSongData();
  virtual ~CSongData();
  CSongData(const CSongData&) = delete;
  CSongData& operator=(const CSongData&) = delete;

  // ---- making songs -------------------------------------------------------
  // Reads a song file. bars/beats/key are in/out (the shape a missing file
  // is reset to, and the shape read); metre may be null.
  // `read_ok`, when given, tells whether a song file was found and read
  // (false for a missing file and for a refused one).
  static std::unique_ptr<CSongData> LoadFromFile(const std::filesystem::path& path,
                                                 int* bars, int* beats_per_bar,
                                                 int* key_index, int* metre_kind,
                                                 bool* read_ok = nullptr);
  // Builds a song from an image in memory (web download). Lengths 92492,
  // 94540 and every length above 94540 are accepted; others give SGDT 4 and
  // an empty song.
  static std::unique_ptr<CSongData> LoadFromImage(const uint8_t* image, size_t length);
  // A song of bars first..end-1 of another song.
  static std::unique_ptr<CSongData> CopyFromBars(const CSongData& source, int first_bar,
                                                 int end_bar);

  // The reader behind LoadFromFile, working on the file's bytes. Answers
  // false when the bytes were refused (the song then holds a fallback).
  bool ReadFileBytes(const uint8_t* data, size_t length, int* bars, int* beats_per_bar,
                     int* key_index, int* metre_kind);
  bool ReadImage(const uint8_t* image, size_t length);

  // ---- whole-song state (song file part) ---------------------------------
  void Clear();
  void Reset(int bars, int beats_per_bar, int key_index, int metre_kind);
  void ResetChords();
  void SetKeyName(int key_index);
  // Writes the song file (temporary file, then rename). Answers false after
  // showing the error when it cannot be written; the song is unchanged.
  bool SaveAs(int beats_per_bar, int key_index, const std::filesystem::path* path,
              int metre_kind);
  bool Save(const std::filesystem::path* path = nullptr);
  // Fills a kSongImageSize-byte buffer with the song's image.
  void Serialize(uint8_t* buffer, int beats_per_bar, int key_index, int metre_kind) const;
  std::vector<uint8_t> SerializeToVector() const;
  void UpdatePitchRange(int skip_cell);
  static void ReportError(int code);
  static std::string ErrorText(int code);
  void FreeExtraTexts();
  void UnpackExtraTexts();
  void PackExtraTexts();
  void ClearPackedSlots();
  void FixOldChordNames();
  void TidyLyricText();
  // The rest and hold tidying of a save, repeated until the cells no longer change.
  void NormalizeCells();
  // One pass; true when it changed a slot.
  bool NormalizeCellsOnce();
  void TrimTexts();
  // Joins rests in a row into one rest held on; true when a slot changed.
  bool MergeRests(int first_bar, int end_bar);
  static void TrimTrailingBlanks(char* text, size_t size);
  int GetDivisionMode() const;
  void SetDivisionMode(int mode);

  // Shape checks shared by every reader: beats per bar 1..8, key 0..29,
  // bars 0..1024 / beats per bar.
  static bool IsValidShape(int bars, int beats_per_bar, int key_index);

  // ---- edits (bars) ------------------------------------------------------
  void ClearBar(int bar, bool with_chords);
  void ClearNotes(int first, int last);
  void ClearLyrics(int first, int last);
  // Answers false (SGDT 0) when the song would pass 1024 beats.
  bool SetBarCount(int bars);
  bool InsertBars(int first, int last);
  bool InsertBarCopies(int first, int last, int target);
  bool OverwriteBars(int first, int last, int target);
  void DeleteBars(int first, int last);
  void CopyBar(int target, int source);
  void AppendFile(const std::filesystem::path& path);
  void DeleteBeat(int bar, int beat);
  void DeleteEighth(int bar, int eighth);
  void RemoveSkipBeats();
  static int TransposePitch(int value, int semitones);
  static void TransposeChordName(char* name, int semitones);  // name: 8-byte field
  void TransposeBars(int first, int last, int semitones);
  void TransposeNotes(int semitones, bool lyric_only);
  void TransposeChords(int semitones);
  void TransposeSong(int semitones);
  void ChangeKey(int from_key, int to_key);
  static void MirrorChord(char* text);  // text: 8-byte field
  void InvertMelodyAndChords(int first, int end);
  void TakeUndoSnapshot();
  void Undo();
  bool HasUndoImage() const { return !undo_image_.empty(); }

  // ---- rhythm edits ------------------------------------------------------
  void SixteenthsToTriplet(int first, int last);
  void MakeTriplets(int first, int last);
  void HalveNoteValues(int first, int last);
  bool DoubleNoteValues(int first, int last);
  bool ConvertToSixEight();
  bool ConvertToFourFourTriplets();
  void ChangeMetre(int beats_per_bar);
  void SetGlissando(int bar, int eighth, bool upward);
  void SetTrill(int bar, int eighth);
  void RestartRestsAtBeats();
  void NormalizeRests();
  void ClearRestLyrics();
  void FillShortRests();
  bool RepairSlotValues();
  void RepairLowSlots();

  // ---- entering ----------------------------------------------------------
  void SetNote(int bar, int eighth, int value, int value_row, bool from_second);
  void SetNoteFromRows(int bar, int eighth, int octave_row, int pitch_row, int value_row,
                       bool from_second);
  void SetSlotValue(int cell, int slot, int value);
  int SetCell(int bar, int eighth, const NoteCell& cell);
  bool GetCell(int bar, int eighth, NoteCell* out) const;
  void SetLyric(int bar, int eighth, const char* text, bool second);
  void FillLyricDashes(int first_bar, int end_bar);
  void SetChord(int bar, int beat, int root, int type, int count, int bass, bool second_half);
  void SetTonicChordCell(int beat);
  void SetStyle(const StyleRecord& record);
  void BuildLyricText();

  // ---- reading -----------------------------------------------------------
  int GetSlotValue(int bar, int eighth, bool second) const;
  int GetSecondSlot(int bar, int eighth) const;
  int IsCellSplit(int bar, int eighth) const;
  int HasThirdPart(int bar, int eighth) const;
  int GetNoteAt(int bar, int eighth, double* length, bool second) const;
  double GetSlotLength(int bar, int eighth, bool second) const;
  double GetNoteLength(int bar, int eighth) const;
  int GetSoundingValue(int bar, int eighth, bool second) const;
  int FindNextNote(int cell, int slot, int* slot_out) const;
  int FindPreviousNote(int cell, int slot, int* slot_out, int mode) const;
  int GetPreviousPitch(int cell, int slot) const;
  void GetFirstAndLastPitch(int* first, int* last, int first_bar, int end_bar) const;
  void GetPitchRange(int* lowest, int* highest, int first_bar, int end_bar) const;
  void MarkUsedPitches(int* table) const;
  int CountNotes(int first, int last) const;
  int GetPlayingSeconds() const;
  int IsTripletBeat(int bar, int eighth) const;
  int IsQuarterTriplet(int bar, int eighth) const;
  int IsHalfTriplet(int bar, int eighth) const;
  void GetChord(int bar, int beat, int* root, int* type, int* key, int* bass, int half) const;
  void GetPreviousChord(int bar, int beat, int* root, int* type, int* key, int* bass) const;
  int CountSameChordBeats(int bar, int beat);
  // Buffers: at least 8 bytes for one slot, 24 when joining (slot -1).
  void GetCellLyric(int bar, int beat, int half, char* buffer, int slot);
  void GetSlotLyric(int bar, int eighth, char* buffer, bool second);
  std::string GetCellText(int bar, int beat, int eighth_in_beat);
  std::string DescribeSlot(int cell, int slot, bool long_form);
  int SongChecksum() const;
  int CountPitches(int* table) const;
  int LyricLength() const;
  int CountPitchedSlots() const;
  int HasLyrics() const;
  int IsLyricTextSingleByte() const;
  int IsUntouched() const;
  int CountHoldRun(int cell) const;
  void CopyLyricText(char* buffer, size_t size) const;
  void LyricsToRests();
  void NarrowLyricText();
  void EmptyHook() {}

  // ---- name helpers over the music name tables ---------------------------
  static void SplitPitch(int value, int* octave_row, int* pitch_row);
  static int PitchFromRows(int octave_row, int pitch_row);
  static int NoteValueIndex(double length);
  static int KeyIndexFromName(const char* text);
  void AppendSolfegeName(int pitch, std::string* text) const;
  void AppendDegreeDigit(int pitch, std::string* text) const;

  // ---- positions ---------------------------------------------------------
  int SongBeats() const;  // bars x beats per bar, bounded to 1024
  int SongCells() const { return SongBeats() * 2; }
  // Cell index of (bar, eighth), or -1 outside the cell arrays.
  int CellIndex(int bar, int eighth) const;
  bool IsBarStartCell(int cell) const;
  std::string ExtraText(int i) const;
  void SetExtraText(int i, const std::string& text);

  // ---- data (file order) -------------------------------------------------
  ChordCell chords[kSongMaxBeats];
  NoteCell cells[kSongMaxCells];
  SongInfoBlock info;
  int32_t bar_count = 0;
  int32_t beats_per_bar = 4;
  int32_t metre_kind = 1;
  int32_t key_index = 0;
  char lyrics_area[kLyricsAreaSize];
  uint8_t bass_first[kSongMaxBeats];
  uint8_t bass_second[kSongMaxBeats];
  uint8_t reserved1[512];
  uint8_t reserved2[1024];
  StyleRecord style;
  int32_t lowest_pitch = -1;
  int32_t highest_pitch = -1;
  char key_tonic[16];
  std::string path;  // the file the song was read from (native path)
  std::unique_ptr<std::array<std::array<char, kExtraTextSize>, kExtraTextCount>> extra_texts;

 private:
  void ClearCell(int cell);  // rest start at a bar's first cell, else holds
  void CopyBeat(int to_beat, int from_beat);
  bool ApplyImageBlocks(const uint8_t* image, size_t length, bool with_shape_check);
  void LongHoldRule(int cell);
  void FixNinthChordNames();
  void ResetToFallback(int* bars, int* beats, int* key, int* metre);
  std::vector<uint8_t> undo_image_;
};

// Readers of single fields of archived song files for the archive dialog.
// The path is base folder (none = the program folder) + "/" + sub-folder +
// "/" + file name. A file that cannot be read leaves every output untouched.
namespace song_archive {
std::filesystem::path ArchivePath(const std::string& file_name, const std::string& sub_folder,
                                  const std::filesystem::path* base_folder);
bool ReadArchivedLyrics(const std::string& file_name, const std::string& sub_folder,
                        const std::filesystem::path* base_folder, char* buffer2048);
bool ReadArchivedSongInfo(std::string* title, std::string* composer,
                          const std::string& file_name, const std::string& sub_folder,
                          const std::filesystem::path* base_folder, std::string* alt_title,
                          std::string* alt_composer, int* popularity, char* alias256,
                          char* keyword256, int* list_item, uint16_t* flags);
}  // namespace song_archive
