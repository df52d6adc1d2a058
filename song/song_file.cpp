// The song document's data, its constructors, the song-file reader with the
// older layouts it accepts and their repairs, the writer, and the packing of
// the extra-information texts into free lyric fields.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <type_traits>

#include "platform/core/clock.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "song/song_bytes.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "style/style_sanitise.h"
#include "util/byte_cursor.h"
#include "util/gne.h"
#include "util/module_error.h"
#include "util/music_names.h"

using namespace song_bytes;

// ---------------------------------------------------------------------------
// Song information block

int32_t SongInfoBlock::GetInt(size_t offset) const {
  return ByteReader(bytes, sizeof bytes).Seek(offset).I32Le();
}
void SongInfoBlock::SetInt(size_t offset, int32_t value) {
  ByteWriter(bytes, sizeof bytes).Seek(offset).I32Le(value);
}
uint16_t SongInfoBlock::GetU16(size_t offset) const {
  return ByteReader(bytes, sizeof bytes).Seek(offset).U16Le();
}
void SongInfoBlock::SetU16(size_t offset, uint16_t value) {
  ByteWriter(bytes, sizeof bytes).Seek(offset).U16Le(value);
}
std::string SongInfoBlock::GetText(size_t offset, size_t size) const {
  return FieldText(Field(offset), size);
}
void SongInfoBlock::SetText(size_t offset, size_t size, const std::string& text) {
  SetField(Field(offset), size, text);
}

// ---------------------------------------------------------------------------
// Errors

namespace {

const ModuleErrorReporter& SongErrors() {
  static const ModuleErrorReporter reporter(
      "SGDT", "楽曲情報でエラーがおきました。",
      {{2, "この位置にその音価は設定できません。"},
       {3, "歌詞は６文字までです。２つの音符に分割して入力してください"},
       {4, "このデータは古いデータなのでこの機能では使用できません。"},
       {5, "拍子の異なるデータは結合できません。"}});
  return reporter;
}

// The general library's text for a file that cannot be opened.
const char kFileOpenFailedText[] =
    "ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
    "あるいは、出力フォルダや作業フォルダの設定などを確認してください。";

bool IsBlank2(const char* p, size_t avail) {
  return avail >= 2 && static_cast<uint8_t>(p[0]) == 0x81 && static_cast<uint8_t>(p[1]) == 0x40;
}

}  // namespace

void CSongData::ReportError(int code) { SongErrors().ErrorMsg(static_cast<uint32_t>(code)); }

std::string CSongData::ErrorText(int code) {
  return SongErrors().Format(static_cast<uint32_t>(code));
}

// ---------------------------------------------------------------------------
// Construction and reset

CSongData::CSongData() {
  extra_texts = std::make_unique<std::array<std::array<char, kExtraTextSize>, kExtraTextCount>>();
  metre_kind = 1;
  std::memset(key_tonic, 0, sizeof key_tonic);
  Clear();
  SetKeyName(0);
}

CSongData::~CSongData() {
  undo_image_.clear();
  FreeExtraTexts();
}

void CSongData::FreeExtraTexts() { extra_texts.reset(); }

std::string CSongData::ExtraText(int i) const {
  if (!extra_texts || i < 0 || i >= kExtraTextCount) return std::string();
  return FieldText((*extra_texts)[i].data(), kExtraTextSize);
}

void CSongData::SetExtraText(int i, const std::string& text) {
  if (i < 0 || i >= kExtraTextCount) return;
  if (!extra_texts)
    extra_texts =
        std::make_unique<std::array<std::array<char, kExtraTextSize>, kExtraTextCount>>();
  SetField((*extra_texts)[i].data(), kExtraTextSize, text);
}

void CSongData::Clear() {
  std::memset(info.bytes, 0, sizeof info.bytes);
  info.SetInt(SongInfoBlock::kStyleCategory, 0);
  info.SetInt(SongInfoBlock::kStyleSlot, 1);
  info.SetInt(SongInfoBlock::kTempo, 120);
  info.SetInt(SongInfoBlock::kMelodyProgram, 0);
  info.SetInt(SongInfoBlock::kSoloProgram, 0);
  std::memset(lyrics_area, 0, sizeof lyrics_area);
  std::memset(bass_first, 0, sizeof bass_first);
  std::memset(bass_second, 0, sizeof bass_second);
  std::memset(reserved1, 0, sizeof reserved1);
  std::memset(reserved2, 0, sizeof reserved2);
  style = StyleRecord();
  std::memset(chords, 0, sizeof chords);
  std::memset(cells, 0, sizeof cells);
  lowest_pitch = -1;
  highest_pitch = -1;
  bar_count = 0;
  beats_per_bar = 4;
  key_index = 0;
  if (extra_texts)
    for (auto& t : *extra_texts) t.fill(0);
}

void CSongData::SetKeyName(int key) {
  // An index outside the table names the song by key 0.
  const char* name = KeySignatureTable[(key >= 0 && key < kKeySignatureCount) ? key : 0].name;
  std::string text = name;
  if (text.empty() || text.back() != 'm') text += ' ';
  SetField(key_tonic, sizeof key_tonic, text);
}

bool CSongData::IsValidShape(int bars, int bpb, int key) {
  if (bpb < 1 || bpb > 8) return false;
  if (key < 0 || key >= kKeySignatureCount) return false;
  if (bars < 0 || bars > kSongMaxBeats / bpb) return false;
  return true;
}

int CSongData::SongBeats() const {
  if (bar_count <= 0 || beats_per_bar <= 0) return 0;
  long long n = static_cast<long long>(bar_count) * beats_per_bar;
  return n > kSongMaxBeats ? kSongMaxBeats : static_cast<int>(n);
}

int CSongData::CellIndex(int bar, int eighth) const {
  if (bar < 0 || eighth < 0 || beats_per_bar <= 0) return -1;
  long long c = static_cast<long long>(bar) * 2 * beats_per_bar + eighth;
  if (c >= kSongMaxCells) return -1;
  return static_cast<int>(c);
}

bool CSongData::IsBarStartCell(int cell) const {
  if (cell < 0 || (cell & 1)) return false;
  if (beats_per_bar <= 0) return cell == 0;
  return (cell / 2) % beats_per_bar == 0;
}

void CSongData::ClearCell(int c) {
  if (c < 0 || c >= kSongMaxCells) return;
  NoteCell& cell = cells[c];
  cell.slot[0] = IsBarStartCell(c) ? NoteSlotRest : NoteSlotHold;
  cell.slot[1] = NoteSlotHold;
  cell.slot[2] = NoteSlotVacant;
  ZeroBytes(cell.lyric, sizeof cell.lyric);
}

void CSongData::Reset(int bars, int bpb, int key, int metre) {
  Clear();
  bar_count = bars;
  beats_per_bar = bpb;
  key_index = key;
  metre_kind = metre;
  SetKeyName(key);
  ResetChords();
}

void CSongData::ResetChords() {
  if (beats_per_bar <= 0) {
    ReportError(0);
    return;
  }
  const int beats = SongBeats();
  for (int b = 0; b < kSongMaxBeats; ++b) {
    SetField(chords[b].first, 8, b < beats ? key_tonic : "----");
    std::memset(chords[b].second, 0, 8);
    ClearCell(2 * b);
    ClearCell(2 * b + 1);
  }
  std::memset(bass_first, 0, sizeof bass_first);
  std::memset(bass_second, 0, sizeof bass_second);
  std::memset(lyrics_area, 0, sizeof lyrics_area);
}

void CSongData::ResetToFallback(int* bars, int* bpb, int* key, int* metre) {
  if (bars) *bars = 4;
  if (bpb) *bpb = 4;
  if (key) *key = 0;
  if (metre) *metre = 0;
  Reset(4, 4, 0, 0);
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// Slot values outside what a cell can hold are turned into rests (slots 0
// and 1) or vacant (slot 2) so that nothing later takes them for pitches.
void SanitiseCell(NoteCell& cell) {
  for (int s = 0; s < 3; ++s) {
    int32_t v = cell.slot[s];
    if (v > 127 || v < NoteSlotRap) cell.slot[s] = s == 2 ? NoteSlotVacant : NoteSlotRest;
  }
}

// The note block: every cell as three little-endian slots, then three 8-byte lyric fields.
// The cell loops are the bulk of reading and saving a song: a whole cell within the cursor's
// bounds is moved at once, word by word; a cell cut short by the end goes field by field
// through a cursor of its own (what is missing reads as zeros).
constexpr size_t kStoredCellSize = 36;
constexpr bool kHostLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

int32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(kHostLittleEndian ? v : __builtin_bswap32(v));
}
void StoreLe32(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint32_t w = kHostLittleEndian ? v : __builtin_bswap32(v);
  std::memcpy(p, &w, 4);
}

// A cell in memory is its stored form on a little-endian machine: a whole block moves in one
// copy.
constexpr bool kCellsAsStored = kHostLittleEndian && sizeof(NoteCell) == kStoredCellSize &&
                                offsetof(NoteCell, lyric) == 12 &&
                                std::is_trivially_copyable_v<NoteCell>;
constexpr size_t kStoredCellsSize = kSongMaxCells * kStoredCellSize;

void ReadNoteCells(ByteReader& in, NoteCell* cells) {
  ByteReader block = in.Sub(kStoredCellsSize);
  if (kCellsAsStored && block.remaining() == kStoredCellsSize) {
    std::memcpy(static_cast<void*>(cells), block.Here(), kStoredCellsSize);
    return;
  }
  for (int c = 0; c < kSongMaxCells; ++c) {
    NoteCell& cell = cells[c];
    if (block.remaining() >= kStoredCellSize) {
      const uint8_t* p = block.Here();
      for (int s = 0; s < 3; ++s) cell.slot[s] = LoadLe32(p + 4 * s);
      CopyBytes(cell.lyric, p + 12, sizeof cell.lyric);
      block.Skip(kStoredCellSize);
      continue;
    }
    ByteReader rest = block.Sub(kStoredCellSize);
    for (int32_t& slot : cell.slot) slot = rest.I32Le();
    rest.Bytes(cell.lyric, sizeof cell.lyric);
  }
}

void WriteNoteCells(ByteWriter& out, const NoteCell* cells) {
  if (kCellsAsStored && out.remaining() >= kStoredCellsSize) {
    out.Bytes(cells, kStoredCellsSize);
    return;
  }
  for (int c = 0; c < kSongMaxCells; ++c) {
    const NoteCell& cell = cells[c];
    if (out.remaining() >= kStoredCellSize) {
      uint8_t* p = out.Here();
      for (int s = 0; s < 3; ++s) StoreLe32(p + 4 * s, cell.slot[s]);
      CopyBytes(p + 12, cell.lyric, sizeof cell.lyric);
      out.Skip(kStoredCellSize);
      continue;
    }
    for (int32_t slot : cell.slot) out.I32Le(slot);
    out.Bytes(cell.lyric, sizeof cell.lyric);
  }
}

// The song's shape after the note block: bars, beats per bar and metre (16-bit)
// and key; the oldest layouts keep beats per bar in 32 bits and no metre.
struct StoredShape {
  int32_t bars, bpb, metre, key;
};
StoredShape ReadShape(ByteReader& in, bool wide_bpb) {
  StoredShape s{};
  s.bars = in.I32Le();
  if (wide_bpb) {
    s.bpb = in.I32Le();
  } else {
    s.bpb = in.I16Le();
    s.metre = in.I16Le();
  }
  s.key = in.I32Le();
  return s;
}

void RepairSongInfo(SongInfoBlock& info) {
  if (static_cast<uint32_t>(info.GetInt(SongInfoBlock::kStyleCategory)) == 0xFEEEFEEEu)
    info.SetInt(SongInfoBlock::kStyleCategory, 0);
  if (static_cast<uint32_t>(info.GetInt(SongInfoBlock::kStyleSlot)) == 0xFEEEFEEEu)
    info.SetInt(SongInfoBlock::kStyleSlot, 1);
  if (info.bytes[SongInfoBlock::kLyricist] == 0xDD)
    std::memset(info.bytes + SongInfoBlock::kLyricist, 0, SongInfoBlock::kLyricistSize);
  int tempo = info.GetInt(SongInfoBlock::kTempo);
  if (tempo < 40 || tempo > 240) info.SetInt(SongInfoBlock::kTempo, 80);
  int melody = info.GetInt(SongInfoBlock::kMelodyProgram);
  if (melody < 0 || melody > 127) info.SetInt(SongInfoBlock::kMelodyProgram, 0);
}

// Chord names are read as texts of at most 7 bytes.
void TerminateChordNames(ChordCell* chords) {
  for (int b = 0; b < kSongMaxBeats; ++b) {
    chords[b].first[7] = 0;
    chords[b].second[7] = 0;
  }
}

// The cells of the oldest layout: one slot and a 7-byte lyric each.
void ReadOldLayoutCells(ByteReader& in, NoteCell* cells) {
  for (int c = 0; c < kSongMaxCells; ++c) {
    NoteCell& cell = cells[c];
    std::memset(&cell, 0, sizeof cell);
    cell.slot[0] = in.I32Le();
    cell.slot[1] = NoteSlotHold;
    cell.slot[2] = NoteSlotVacant;
    // The old lyric field may lack its NUL: at most 7 bytes are taken.
    char lyric[8];
    in.Bytes(lyric, sizeof lyric);
    std::memcpy(cell.lyric[0], lyric, FieldLen(lyric, 7));
  }
}

// From the start of a file of `length` bytes: the chord names, the note cells and (but in the
// old layouts) the information block, each brought into what the program holds.
void ReadCellBlocks(ByteReader& in, size_t length, bool old_names, CSongData& song) {
  if (old_names) {
    for (int b = 0; b < kSongMaxBeats; ++b) {
      in.Bytes(song.chords[b].first, 8);
      song.chords[b].first[7] = 0;
      std::memset(song.chords[b].second, 0, 8);
    }
    if (length == kOldLayoutSize) {
      ReadOldLayoutCells(in, song.cells);
    } else {
      ReadNoteCells(in, song.cells);
    }
  } else {
    for (int b = 0; b < kSongMaxBeats; ++b) {
      in.Bytes(song.chords[b].first, 8);
      in.Bytes(song.chords[b].second, 8);
    }
    ReadNoteCells(in, song.cells);
    in.Bytes(song.info.bytes, kSongInfoSize);
  }
  TerminateChordNames(song.chords);
  for (auto& cell : song.cells) SanitiseCell(cell);
  if (length != kOldLayoutSize) RepairSongInfo(song.info);
}

// The song's shape after the information block; layouts without one keep it after the notes
// (the metre is read from the first place either way).
StoredShape ReadSongShape(ByteReader& in, size_t notes_end, size_t info_end) {
  StoredShape shape = ReadShape(in.Seek(info_end), false);
  if (shape.bars < 1) {
    const StoredShape old = ReadShape(in.Seek(notes_end), true);
    shape.bars = old.bars;
    shape.bpb = old.bpb;
    shape.key = old.key;
  }
  return shape;
}

// After the shape: lyrics, the two bass lines, the reserved blocks and the style, as far as
// the layout of `length` bytes has them.
void ReadSongTail(ByteReader& in, size_t shape_at, size_t length, CSongData& song) {
  in.Seek(shape_at + 12);
  if (length >= kNoBassLayoutSize) in.Bytes(song.lyrics_area, kLyricsAreaSize);
  if (length >= kNoStyleLayoutSize) {
    in.Bytes(song.bass_first, kSongMaxBeats);
    in.Bytes(song.bass_second, kSongMaxBeats);
  }
  if (length >= kSongImageSize) {
    in.Bytes(song.reserved1, sizeof song.reserved1);
    in.Bytes(song.reserved2, sizeof song.reserved2);
    in.Seek(shape_at + 8716);
    DeserialiseStyleRecord(in.Here(), in.remaining(), &song.style);
    // The engine works on the song's style: a damaged or foreign record is mended (and said
    // so once) before anything reads it.
    SanitiseLoadedStyle(song.style);
  }
}

}  // namespace

std::unique_ptr<CSongData> CSongData::LoadFromFile(const std::filesystem::path& file_path,
                                                   int* bars, int* bpb, int* key, int* metre,
                                                   bool* read_ok) {
  if (read_ok) *read_ok = false;
  auto song = std::make_unique<CSongData>();
  song->Clear();
  song->path = file_path.string();

  std::ifstream in(file_path, std::ios::binary);
  std::error_code ec;
  const bool is_file = std::filesystem::is_regular_file(file_path, ec);
  if (!in || !is_file) {
    // A missing song gives an empty song of the caller's shape, without a message.
    int b = bars ? *bars : 0, p = bpb ? *bpb : 4, k = key ? *key : 0;
    if (!IsValidShape(b, p, k)) {
      // The caller's shape cannot be held either: a 4-bar 4/4 song in C.
      b = 4;
      p = 4;
      k = 0;
      if (bars) *bars = b;
      if (bpb) *bpb = p;
      if (key) *key = k;
    }
    song->Reset(b, p, k, 1);
    song->SetKeyName(k);
    return song;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  const size_t length = size < 0 ? 0 : static_cast<size_t>(size);
  std::vector<uint8_t> data(std::min(length, kSongImageSize));
  if (!data.empty()) in.read(reinterpret_cast<char*>(data.data()), data.size());
  if (!in || static_cast<size_t>(in.gcount()) != data.size()) {
    ReportError(0);
    song->ResetToFallback(bars, bpb, key, metre);
    return song;
  }
  // Bytes beyond the full layout are ignored; the layout is chosen by the
  // file's own length.
  const bool ok = song->ReadFileBytes(data.data(), length < kSongImageSize ? length : data.size(),
                                      bars, bpb, key, metre);
  if (read_ok) *read_ok = ok;
  return song;
}

bool CSongData::ReadFileBytes(const uint8_t* data, size_t L, int* bars, int* bpb, int* key,
                              int* metre) {
  std::string kept_path = path;
  Clear();
  path = kept_path;
  if (L > kSongImageSize) L = kSongImageSize;

  const bool old_names = (L == kOldLayoutSize || L == kOldCellsLayoutSize);
  if (!old_names && L < kNoLyricsLayoutSize) {
    // Neither an old layout nor long enough for the current one.
    ReportError(4);
    ResetToFallback(bars, bpb, key, metre);
    return false;
  }
  const size_t chord_block = old_names ? 8192 : 16384;
  const size_t note_block = L == kOldLayoutSize ? 24576 : 73728;
  const size_t info_block = old_names ? 0 : 320;

  ByteReader in(data, L);
  ReadCellBlocks(in, L, old_names, *this);
  const size_t T = chord_block + note_block + info_block;
  const StoredShape shape = ReadSongShape(in, chord_block + note_block, T);
  if (shape.bpb < 1 || shape.bpb > 8) {
    GneMessageBox(FormatBoxText("[%d]", shape.bpb));
    GneMessageBox("time sign 0");
    ResetToFallback(bars, bpb, key, metre);
    return false;
  }
  if (!IsValidShape(shape.bars, shape.bpb, shape.key)) {
    ReportError(0);
    ResetToFallback(bars, bpb, key, metre);
    return false;
  }
  ReadSongTail(in, T, L, *this);

  int song_metre = shape.metre;
  if (metre) {
    if (*metre != 2) *metre = shape.metre != 0 ? shape.metre : 1;
    song_metre = *metre;
  }
  bar_count = shape.bars;
  beats_per_bar = static_cast<int16_t>(shape.bpb);
  metre_kind = song_metre;
  key_index = shape.key;
  if (bars) *bars = shape.bars;
  if (bpb) *bpb = shape.bpb;
  if (key) *key = shape.key;

  UnpackExtraTexts();
  FixOldChordNames();
  UpdatePitchRange(-1);
  SetKeyName(key_index);
  if (lowest_pitch < -1) lowest_pitch = 0;
  TidyLyricText();
  return true;
}

std::unique_ptr<CSongData> CSongData::LoadFromImage(const uint8_t* image, size_t length) {
  auto song = std::make_unique<CSongData>();
  song->ReadImage(image, length);
  return song;
}

bool CSongData::ApplyImageBlocks(const uint8_t* image, size_t length, bool check_shape) {
  ByteReader in(image, length);
  const StoredShape shape = ReadShape(in.Seek(kImageShapeOffset), false);
  if (!in.ok()) return false;
  if (check_shape && !IsValidShape(shape.bars, shape.bpb, shape.key)) return false;

  in.Seek(kImageChordsOffset);
  for (int b = 0; b < kSongMaxBeats; ++b) {
    in.Bytes(chords[b].first, 8);
    in.Bytes(chords[b].second, 8);
  }
  TerminateChordNames(chords);
  ReadNoteCells(in, cells);
  for (auto& cell : cells) SanitiseCell(cell);
  in.Bytes(info.bytes, kSongInfoSize);
  bar_count = shape.bars;
  beats_per_bar = static_cast<int16_t>(shape.bpb);
  metre_kind = shape.metre;
  key_index = shape.key;
  in.Seek(kImageLyricsOffset).Bytes(lyrics_area, kLyricsAreaSize);
  if (length >= kNoStyleLayoutSize) {
    in.Bytes(bass_first, kSongMaxBeats);
    in.Bytes(bass_second, kSongMaxBeats);
  }
  if (length >= kSongImageSize) {
    in.Bytes(reserved1, sizeof reserved1);
    in.Bytes(reserved2, sizeof reserved2);
    in.Seek(kImageStyleOffset);
    DeserialiseStyleRecord(in.Here(), in.remaining(), &style);
    SanitiseLoadedStyle(style);
  }
  return true;
}

bool CSongData::ReadImage(const uint8_t* image, size_t length) {
  Clear();
  if (!image || length < kNoBassLayoutSize ||
      (length > kNoBassLayoutSize && length < kNoStyleLayoutSize)) {
    ReportError(4);
    Reset(0, 4, 0, 1);
    return false;
  }
  if (!ApplyImageBlocks(image, length, true)) {
    ReportError(0);
    Reset(0, 4, 0, 1);
    return false;
  }
  RepairSongInfo(info);
  // A downloaded image is a song file: its extra-information texts travel
  // packed in free lyric fields as in the file.
  UnpackExtraTexts();
  SetKeyName(key_index);
  UpdatePitchRange(-1);
  return true;
}

std::unique_ptr<CSongData> CSongData::CopyFromBars(const CSongData& src, int first, int end) {
  auto song = std::make_unique<CSongData>();
  const int bpb = src.beats_per_bar;
  int n = end - first;
  if (first < 0 || n < 0 || bpb < 1 || bpb > 8) n = 0;
  if (n > kSongMaxBeats / std::max(bpb, 1)) n = kSongMaxBeats / std::max(bpb, 1);
  song->Reset(n, bpb >= 1 && bpb <= 8 ? bpb : 4,
              src.key_index >= 0 && src.key_index < kKeySignatureCount ? src.key_index : 0,
              src.metre_kind);
  const int beats = n * song->beats_per_bar;
  for (int t = 0; t < beats; ++t) {
    const long long s = static_cast<long long>(first) * bpb + t;
    if (s < 0 || s >= kSongMaxBeats) break;
    song->chords[t] = src.chords[s];
    song->bass_first[t] = src.bass_first[s];
    song->bass_second[t] = src.bass_second[s];
    song->cells[2 * t] = src.cells[2 * s];
    song->cells[2 * t + 1] = src.cells[2 * s + 1];
  }
  if (beats > 0 && song->cells[0].slot[0] == NoteSlotHold) song->cells[0].slot[0] = NoteSlotRest;
  std::memcpy(song->info.bytes, src.info.bytes, kSongInfoSize);
  song->UpdatePitchRange(-1);
  return song;
}

// ---------------------------------------------------------------------------
// Passes run on loading

void CSongData::UnpackExtraTexts() {
  if (!extra_texts) return;
  for (auto& t : *extra_texts) t.fill(0);
  int text = 0;
  size_t pos = 0;
  for (int c = 0; c < kSongMaxCells && text < kExtraTextCount; ++c) {
    for (int s = 0; s < 3 && text < kExtraTextCount; ++s) {
      const int32_t v = cells[c].slot[s];
      if (v >= 0 || v == NoteSlotRap) continue;
      char* field = cells[c].lyric[s];
      for (int i = 0; i < 8 && text < kExtraTextCount; ++i) {
        const char byte = field[i];
        field[i] = 0;
        if (byte == 0) {
          ++text;
          pos = 0;
        } else if (pos < kExtraTextSize - 1) {
          (*extra_texts)[text][pos++] = byte;
        }  // bytes past the text's buffer are dropped
      }
    }
  }
  // Freed-memory patterns left by old writers give empty texts.
  for (auto& t : *extra_texts) {
    const uint8_t b0 = static_cast<uint8_t>(t[0]), b1 = static_cast<uint8_t>(t[1]);
    if ((b0 == 0xCC || b0 == 0xCD) && b1 == b0) t.fill(0);
  }
}

void CSongData::FixNinthChordNames() {
  const int beats = SongBeats();
  for (int b = 0; b < beats; ++b) {
    char* name = chords[b].first;
    const size_t len = FieldLen(name, 8);
    std::string fixed;
    if (len >= 2 && name[1] == '9')
      fixed = std::string(name, 1) + "add9";
    else if (len >= 3 && name[2] == '9')
      fixed = std::string(name, 2) + "add9";
    else
      continue;
    SetField(name, 8, fixed);
  }
}

void CSongData::FixOldChordNames() {
  FixNinthChordNames();
  const int beats = SongBeats();
  // The second pass repairs bass bytes written by versions before 2013; it
  // runs only on machines whose date is before that year or cannot be read.
  const std::time_t now = plat::CurrentClock().WallTime();
  std::tm local{};
  const bool have_date = localtime_r(&now, &local) != nullptr;
  if (have_date && local.tm_year + 1900 >= 2013) return;
  for (int b = 0; b + 1 < beats; ++b) {
    const ChordCell& cc = chords[b];
    const bool no_second = cc.second[0] == 0 || FieldsEqual(cc.second, cc.first, 8);
    if (!no_second || bass_first[b] == bass_second[b]) continue;
    const ChordCell& next = chords[b + 1];
    if (bass_first[b + 1] == bass_second[b + 1] && next.second[0] != 0 &&
        FieldsEqual(next.second, next.first, 8))
      continue;
    bass_second[b] = bass_first[b];
  }
}

void CSongData::TidyLyricText() {
  char* text = lyrics_area;
  const size_t len = FieldLen(text, kLyricsAreaSize);
  size_t in = 0, out = 0;
  bool at_start = true;
  while (in < len) {
    const bool blank1 = text[in] == ' ';
    const bool blank2 = IsBlank2(text + in, len - in);
    if (blank1 || blank2) {
      size_t run_end = in;
      while (run_end < len) {
        if (text[run_end] == ' ')
          run_end += 1;
        else if (IsBlank2(text + run_end, len - run_end))
          run_end += 2;
        else
          break;
      }
      const bool ends = run_end >= len || text[run_end] == '\r' || text[run_end] == '\n';
      if (!ends && !at_start) text[out++] = ' ';
      in = run_end;
      continue;
    }
    at_start = false;
    if (IsLeadByte(static_cast<uint8_t>(text[in])) && in + 1 < len) {
      text[out++] = text[in++];
      text[out++] = text[in++];
    } else {
      text[out++] = text[in++];
    }
  }
  if (out < kLyricsAreaSize) std::memset(text + out, 0, std::min(len + 1, kLyricsAreaSize + 0ul) - out);
}

void CSongData::UpdatePitchRange(int skip) {
  lowest_pitch = -1;
  highest_pitch = -1;
  bool found = false;
  const int n = SongCells();
  for (int c = 0; c < n; ++c) {
    if (c == skip) continue;
    for (int s = 0; s < 2; ++s) {
      const int v = cells[c].slot[s];
      if (v == NoteSlotRest || v == NoteSlotHold || v == NoteSlotRap) continue;
      if (!found) {
        lowest_pitch = highest_pitch = v;
        found = true;
      } else {
        if (v > highest_pitch) highest_pitch = v;
        if (v < lowest_pitch) lowest_pitch = v;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Writing

bool CSongData::MergeRests(int first_bar, int end_bar) {
  if (beats_per_bar <= 0) return false;
  const int song_cells = SongCells();
  int c0 = first_bar < 0 ? 0 : BarCell(first_bar, 2 * beats_per_bar, song_cells);
  int c1 = end_bar < 0 ? song_cells : BarCell(end_bar, 2 * beats_per_bar, song_cells);
  c1 = std::min(c1, song_cells);
  bool changed = false;
  int last = -1;
  for (int c = std::max(c0, 0); c < c1; ++c) {
    for (int s = 0; s < 3; ++s) {
      int32_t& v = cells[c].slot[s];
      if (v == NoteSlotRest && last == NoteSlotRest && !(s == 0 && IsBarStartCell(c))) {
        v = NoteSlotHold;
        changed = true;
      }
      if (v >= NoteSlotRest) last = v;
    }
  }
  return changed;
}

bool CSongData::NormalizeCellsOnce() {
  const int n = SongCells();
  bool changed = false;
  const auto set = [&changed](NoteCell& cell, int32_t s0, int32_t s1, int32_t s2) {
    changed = changed || cell.slot[0] != s0 || cell.slot[1] != s1 || cell.slot[2] != s2;
    cell.slot[0] = s0;
    cell.slot[1] = s1;
    cell.slot[2] = s2;
  };
  int last = -1;
  for (int c = 0; c < n; ++c) {
    NoteCell& cell = cells[c];
    const bool after_triplet = c > 0 && cells[c - 1].slot[2] != NoteSlotVacant;
    const bool after_rest = last == NoteSlotRest;
    if (after_triplet && after_rest && cell.slot[0] == NoteSlotHold)
      set(cell, NoteSlotRest, cell.slot[1], cell.slot[2]);
    if (after_rest && cell.slot[0] == NoteSlotHold && cell.slot[1] == NoteSlotRest &&
        cell.slot[2] == NoteSlotHold) {
      set(cell, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
    }
    if (cell.slot[0] == NoteSlotRest &&
        ((cell.slot[1] == NoteSlotRest && cell.slot[2] == NoteSlotRest) ||
         (cell.slot[1] == NoteSlotHold && cell.slot[2] == NoteSlotHold))) {
      set(cell, NoteSlotRest, NoteSlotHold, NoteSlotVacant);
    }
    for (int s = 0; s < 3; ++s)
      if (cell.slot[s] >= NoteSlotRest) last = cell.slot[s];
  }
  return MergeRests(0, -1) || changed;
}

void CSongData::NormalizeCells() {
  // One pass can make a cell that another pass would change again (rest, rest, hold merges to
  // rest, hold, hold, which the next pass makes rest, hold, vacant), so the passes run until
  // the cells settle and a saved song loads and saves to the same bytes. Two or three passes
  // settle; the bound only keeps a pathological song from looping.
  for (int pass = 0; pass < 16; ++pass) {
    if (!NormalizeCellsOnce()) return;
  }
}

void CSongData::TrimTrailingBlanks(char* text, size_t size) {
  const size_t len = FieldLen(text, size);
  if (len == 0) return;
  size_t keep = 0;  // bytes up to and including the last non-blank character
  size_t first_char = 0;
  size_t i = 0;
  while (i < len) {
    size_t w = (IsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < len) ? 2 : 1;
    if (i == 0) first_char = w;
    const bool blank = (w == 1 && text[i] == ' ') || (w == 2 && IsBlank2(text + i, 2));
    if (!blank) keep = i + w;
    i += w;
  }
  // A text of blanks only keeps its first character.
  if (keep == 0) keep = first_char;
  if (keep < size) std::memset(text + keep, 0, std::min(len + 1, size) - keep);
}

void CSongData::TrimTexts() {
  static const size_t kFields[][2] = {
      {SongInfoBlock::kComposer, SongInfoBlock::kComposerSize},
      {SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize},
      {SongInfoBlock::kLyricist, SongInfoBlock::kLyricistSize},
      {SongInfoBlock::kAltLyricist, SongInfoBlock::kAltLyricistSize},
      {SongInfoBlock::kTitle, SongInfoBlock::kTitleSize},
      {SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize}};
  for (const auto& f : kFields) TrimTrailingBlanks(info.Field(f[0]), f[1]);
  if (extra_texts)
    for (int i = 0; i < kExtraTextCount; ++i)
      if (i != 6) TrimTrailingBlanks((*extra_texts)[i].data(), kExtraTextSize);
}

void CSongData::PackExtraTexts() {
  std::string packed;
  for (int i = 0; i < kExtraTextCount; ++i) {
    packed += ExtraText(i);
    packed += '\0';
  }
  size_t pos = 0;
  for (int c = 0; c < kSongMaxCells && pos < packed.size(); ++c) {
    for (int s = 0; s < 3 && pos < packed.size(); ++s) {
      const int32_t v = cells[c].slot[s];
      if (v >= 0 || v == NoteSlotRap) continue;
      const size_t n = std::min<size_t>(8, packed.size() - pos);
      std::memcpy(cells[c].lyric[s], packed.data() + pos, n);
      pos += n;
    }
  }
}

void CSongData::ClearPackedSlots() {
  for (auto& cell : cells)
    for (int s = 0; s < 3; ++s)
      if (cell.slot[s] < 0 && cell.slot[s] != NoteSlotRap) ZeroBytes(cell.lyric[s], 8);
}

void CSongData::Serialize(uint8_t* buf, int bpb, int key, int metre) const {
  // Every byte of the image is written below, whatever the buffer held.
  ByteWriter out(buf, kSongImageSize);
  for (int b = 0; b < kSongMaxBeats; ++b) {
    out.Bytes(chords[b].first, 8);
    out.Bytes(chords[b].second, 8);
  }
  WriteNoteCells(out, cells);
  out.Bytes(info.bytes, kSongInfoSize);
  out.I32Le(bar_count);
  out.I16Le(bpb);
  out.I16Le(metre);
  out.I32Le(key);
  out.Bytes(lyrics_area, kLyricsAreaSize);
  out.Bytes(bass_first, kSongMaxBeats);
  out.Bytes(bass_second, kSongMaxBeats);
  out.Bytes(reserved1, sizeof reserved1);
  out.Bytes(reserved2, sizeof reserved2);
  SerialiseStyleRecord(style, buf + kImageStyleOffset);
  std::memcpy(buf + kImageStyleCopyOffset, buf + kImageStyleOffset, kImageStyleCopySize);
}

std::vector<uint8_t> CSongData::SerializeToVector() const {
  std::vector<uint8_t> image(kSongImageSize);
  Serialize(image.data(), beats_per_bar, key_index, metre_kind);
  return image;
}

bool CSongData::SaveAs(int bpb, int key, const std::filesystem::path* to, int metre) {
  const std::filesystem::path target = to ? *to : std::filesystem::path(path);
  NormalizeCells();
  TrimTexts();
  // What the reader would change is changed before writing, so that a song
  // saved, loaded and saved again gives the same bytes.
  TidyLyricText();
  FixNinthChordNames();
  // The lyric fields that carry the packed texts, as they were before packing:
  // a failed write gives them back.
  std::vector<NoteCell> unpacked(cells, cells + kSongMaxCells);
  PackExtraTexts();
  std::vector<uint8_t> image(kSongImageSize);
  Serialize(image.data(), bpb, key, metre);
  std::error_code error;
  if (target.empty() || !plat::WriteFileAtomic(target, image.data(), image.size(), &error)) {
    std::copy(unpacked.begin(), unpacked.end(), cells);
    if (target.empty()) error = std::make_error_code(std::errc::no_such_file_or_directory);
    const std::string text = std::string("GENE01000007 ") + kFileOpenFailedText + "[" +
                             plat::Utf8ToCp932(target.string()) + "]";
    GneErrorBox(GneWithReason(text, plat::WriteFailureText(error)));
    return false;
  }
  ClearPackedSlots();
  return true;
}

bool CSongData::Save(const std::filesystem::path* to) {
  return SaveAs(beats_per_bar, key_index, to, metre_kind);
}

int CSongData::GetDivisionMode() const {
  const uint8_t flags = info.bytes[SongInfoBlock::kModeFlags];
  if ((flags & 3) == 3) {
    ReportError(0);
    return 0;
  }
  if (flags & 1) return 1;
  if (flags & 2) return 2;
  return 0;
}

void CSongData::SetDivisionMode(int mode) {
  uint8_t& flags = info.bytes[SongInfoBlock::kModeFlags];
  flags = static_cast<uint8_t>((flags & ~3) | (mode == 1 ? 1 : 0) | (mode == 2 ? 2 : 0));
}

// ---------------------------------------------------------------------------
// Archive readers

namespace song_archive {

std::filesystem::path ArchivePath(const std::string& file_name, const std::string& sub_folder,
                                  const std::filesystem::path* base_folder) {
  std::filesystem::path base = base_folder ? *base_folder : song::ProgramFolderPath();
  return base / sub_folder / file_name;
}

namespace {
bool ReadAt(const std::filesystem::path& p, size_t offset, uint8_t* out, size_t n) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
  return in && static_cast<size_t>(in.gcount()) == n;
}
}  // namespace

bool ReadArchivedLyrics(const std::string& file_name, const std::string& sub_folder,
                        const std::filesystem::path* base_folder, char* buffer) {
  uint8_t area[kLyricsAreaSize];
  if (!ReadAt(ArchivePath(file_name, sub_folder, base_folder), kImageLyricsOffset, area,
              sizeof area))
    return false;
  std::memcpy(buffer, area, sizeof area);
  return true;
}

bool ReadArchivedSongInfo(std::string* title, std::string* composer, const std::string& file_name,
                          const std::string& sub_folder, const std::filesystem::path* base_folder,
                          std::string* alt_title, std::string* alt_composer, int* popularity,
                          char* alias, char* keyword, int* list_item, uint16_t* flags) {
  const std::filesystem::path p = ArchivePath(file_name, sub_folder, base_folder);
  SongInfoBlock block;
  if (!ReadAt(p, kImageInfoOffset, block.bytes, kSongInfoSize)) return false;
  uint8_t texts[512];
  const bool want_texts = alias && keyword;
  if (want_texts && !ReadAt(p, kImageLyricsOffset + 1536, texts, sizeof texts)) return false;
  if (want_texts) {
    std::memcpy(alias, texts, 256);
    std::memcpy(keyword, texts + 256, 256);
  }
  if (title) *title = block.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize);
  if (composer) *composer = block.GetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize);
  if (alt_title) *alt_title = block.GetText(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize);
  if (alt_composer)
    *alt_composer = block.GetText(SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize);
  if (popularity) *popularity = block.GetU16(SongInfoBlock::kPopularity);
  if (list_item) *list_item = block.bytes[SongInfoBlock::kListItem];
  if (flags) *flags = block.GetU16(SongInfoBlock::kFlags1);
  return true;
}

}  // namespace song_archive
