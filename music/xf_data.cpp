// The karaoke MIDI file: reading and writing its chunks, the lyric text, XF chord names
// and the lyric edits.
#include "music/xf_data.h"

#include <cstring>

#include "music/midi1_data.h"
#include "util/byte_cursor.h"
#include "util/gne_files.h"
#include "util/gne_text.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "XFDT", "カラオケ用MIDIファイルでエラーが発生しました。",
      {{kXfdtNotKaraoke, "カラオケ用MIDIファイルではありません。"},
       {kXfdtInternal, "カラオケ用MIDIファイルで内部エラーが発生しました。"},
       {kXfdtNoMasterVolume,
        "GM Restのあとにマスターボリュームがないため、無音になる可能性があります。"}});
  return reporter;
}

constexpr uint32_t kMetaText = 0x01;
constexpr uint32_t kMetaLyric = 0x05;
constexpr uint32_t kMetaSequencer = 0x7F;

// An "XFKM" chunk holding End of Track only: written when there is no karaoke track.
constexpr uint8_t kEmptyKaraokeChunk[] = {'X', 'F', 'K', 'M', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00};

// The chunk header at a position of the file bytes.
struct ChunkSpan {
  bool present = false;  // its 8 header bytes are there
  bool whole = false;    // its declared length fits the bytes that follow
  char id[4] = {};
  int64_t size = 0;      // header included
  bool Is(const char* name) const { return present && std::memcmp(id, name, 4) == 0; }
};

ChunkSpan ChunkAt(const uint8_t* bytes, size_t size, size_t at) {
  ChunkSpan chunk;
  ByteReader in(bytes, size);
  in.Seek(at);
  in.Bytes(chunk.id, 4);
  const uint32_t length = in.U32Be();
  chunk.present = in.ok();
  chunk.whole = chunk.present && length <= in.remaining();
  chunk.size = int64_t{length} + 8;
  return chunk;
}

// Bytes of the character of a CP932 text at i: a lead byte with its trail byte is one
// character, as is CR LF; a lead byte with nothing after it stands alone.
size_t CharAt(const std::string& text, size_t i) {
  const uint8_t b = static_cast<uint8_t>(text[i]);
  if (i + 1 < text.size() && (GneIsLeadByte(b) || (b == '\r' && text[i + 1] == '\n'))) return 2;
  return 1;
}

// The longest start of the text of at most `max` bytes that ends on a character boundary.
size_t FitCharacters(const std::string& text, size_t max) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t n = CharAt(text, at);
    if (at + n > max) break;
    at += n;
  }
  return at;
}

// The text of a lyric event: its data up to the first zero.
std::string LyricOf(const MidiEvent& e) {
  const uint8_t* p = e.GetDataPointer();
  if (p == nullptr || e.data_length <= 0) return {};
  size_t n = static_cast<size_t>(std::min<int64_t>(e.data_length, e.DataBlockSize()));
  const void* nul = std::memchr(p, 0, n);
  if (nul != nullptr) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - p);
  return std::string(reinterpret_cast<const char*>(p), n);
}

bool IsLyric(const MidiEvent* e) {
  return e != nullptr && e->status == kStatusMeta && e->number == kMetaLyric;
}

// One lyric as a line: "/" becomes CR LF, double-byte characters stay whole, and a lead
// byte without its trail byte is dropped. Cut before the character that would not fit.
std::string LyricLine(const std::string& lyric) {
  std::string line;
  const size_t room = kLyricLineRoom - 1;
  for (size_t i = 0; i < lyric.size();) {
    const uint8_t b = static_cast<uint8_t>(lyric[i]);
    std::string piece;
    size_t step = 1;
    if (GneIsLeadByte(b)) {
      if (i + 1 >= lyric.size()) break;
      piece = lyric.substr(i, 2);
      step = 2;
    } else if (b == '/') {
      piece = "\r\n";
    } else {
      piece.assign(1, static_cast<char>(b));
    }
    if (line.size() + piece.size() > room) break;
    line += piece;
    i += step;
  }
  return line;
}

struct ParagraphTag {
  const char* text;
  size_t length;
};
const ParagraphTag kParagraphTags[] = {
    {"<イントロ", sizeof("<イントロ") - 1},
    {"<間奏", sizeof("<間奏") - 1},
    {"<エンディング", sizeof("<エンディング") - 1},
};

const char* const kChordTypeNames[35] = {
    "Maj",      "Maj6",     "Maj7",    "Maj7(#11)", "Maj(9)",   "Maj7(9)",    "Maj6(9)",
    "aug",      "min",      "min6",    "min7",      "min7b5",   "min(9)",     "min7(9)",
    "min7(11)", "minMaj7",  "minMaj7(9)", "dim",    "dim7",     "7th",        "7sus4",
    "7b5",      "7(9)",     "7(#11)",  "7(13)",     "7(b9)",    "7(b13)",     "7(#9)",
    "Maj7aug",  "7aug",     "1+8",     "1+5",       "sus4",     "1+2+5",      "cc",
};

void EnsureEndOfTrack(MidiTrack& track) {
  if (!track.LastIsEndOfTrack()) track.AddEndOfTrack();
}

// Writes an event-mode track as a chunk of the id; false (the track unchanged) when
// the chunk would not fit the track's buffer or the track could not be written.
bool TrackToChunk(MidiTrack& track, const char* id) {
  if (track.mode != kTrackEvents) return false;
  EnsureEndOfTrack(track);
  if (EstimatedChunkSize(track) > int64_t{track.capacity} - 256) return false;
  track.ToChunk(id);
  if (track.mode != kTrackChunk) {
    if (track.mode != kTrackEvents) track.ParseChunk();
    return false;
  }
  return true;
}

}  // namespace

void XfData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

// ---- construction ----

XfData::XfData(const MidiTrack& song_track, MidiTrack* karaoke, int32_t song_division)
    : Midi0Data(song_track, song_division), karaoke_track(karaoke) {
  MakeInfoChunk();
}

XfData::XfData(const std::filesystem::path* path, int32_t yield, int* is_karaoke)
    : Midi0Data(kDefaultMusicCapacity) {
  yield_period = yield;
  if (is_karaoke != nullptr) *is_karaoke = 0;
  const int read = path == nullptr ? LoadWithDialog("mid", kXfFileFilter) : Load(*path);
  if (read == 1 && used_size > 0) Parse(yield, is_karaoke);
}

XfData::XfData(const uint8_t* bytes, int32_t size, int32_t yield, int* is_karaoke)
    : Midi0Data(kDefaultMusicCapacity) {
  yield_period = yield;
  if (is_karaoke != nullptr) *is_karaoke = 0;
  if (bytes == nullptr || size <= 0) return;
  if (size > capacity) {
    Midi1Data::ErrorMsg(kM1dtTooLarge);
    return;
  }
  std::memcpy(buffer, bytes, static_cast<size_t>(size));
  used_size = size;
  Parse(yield, is_karaoke);
}

XfData::XfData(int32_t song_division) : Midi0Data(kSongNotes, song_division, kDefaultMusicCapacity) {
  karaoke_track = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  const uint8_t header[8] = {'X', 'F', 'I', 'H', 0, 0, 0, 0};
  info_bytes.assign(header, header + sizeof header);
  info_length = static_cast<int32_t>(info_bytes.size());
}

XfData::~XfData() { ClearKaraoke(); }

void XfData::ClearKaraoke() {
  info_bytes.clear();
  info_length = 0;
  delete karaoke_track;
  karaoke_track = nullptr;
  delete info_track;
  info_track = nullptr;
}

void XfData::MakeInfoChunk() {
  MidiTrack info(kTrackEvents, kDefaultMusicCapacity);
  info.AddMetaEvent(0, static_cast<int32_t>(kMetaText), "XFln:", 5);
  info.AddEndOfTrackAt(0);
  info.ToChunk("XFIH");
  if (info.mode != kTrackChunk) return;  // the track has said why
  info_bytes.assign(info.buffer, info.buffer + info.UsedBytes());
  info_length = static_cast<int32_t>(info_bytes.size());
}

// ---- reading ----

bool XfData::MergeFormat1() {
  Midi1Data song(buffer, used_size, 1, capacity);
  if (song.state != kSongNotes || song.track_count <= 0) return false;
  Midi0Data merged(capacity);
  song.MergeToFormat0(merged);
  if (merged.track != nullptr) merged.track->ForgetReadOrder();  // packed in the system's order
  if (merged.state == kSongNotes) merged.ToEventMode();
  if (merged.state != kSongEvents) return false;
  merged.Pack(0);
  if (merged.state != kSongBytes || merged.used_size > capacity) return false;
  std::memcpy(buffer, merged.buffer, merged.UsedBytes());
  used_size = static_cast<int32_t>(merged.UsedBytes());
  return true;
}

int XfData::Parse(int32_t yield, int* is_karaoke) {
  if (is_karaoke != nullptr) *is_karaoke = 1;
  yield_period = yield;
  ClearKaraoke();
  auto not_karaoke = [&] {
    if (is_karaoke != nullptr) {
      *is_karaoke = 0;
    } else {
      ErrorMsg(kXfdtNotKaraoke);
    }
  };

  position = 0;
  const int format = PeekSmfFormat(buffer, used_size);
  if (format != 0) {
    if (is_karaoke == nullptr) {
      ErrorMsg(kXfdtNotKaraoke);
      return 0;
    }
    *is_karaoke = 0;
    if (format != 1) {
      ReadHeaderChecked();  // says why the bytes are no MIDI file
      return 0;
    }
    if (!MergeFormat1()) return 0;
    *is_karaoke = 1;
  }
  if (!ReadHeaderChecked()) {
    if (is_karaoke != nullptr) *is_karaoke = 0;
    return 0;
  }

  const size_t size = UsedBytes();
  size_t at = static_cast<size_t>(position);
  ChunkSpan chunk = ChunkAt(buffer, size, at);
  if (chunk.Is("MTrk")) {
    MidiTrack* song = chunk.whole ? new MidiTrack(static_cast<int64_t>(size), static_cast<int64_t>(at),
                                                  buffer, yield, kDefaultMusicCapacity)
                                  : nullptr;
    if (song == nullptr || song->mode != kTrackEvents) {
      // The song chunk runs past the end or cannot be read: an empty song.
      delete song;
      delete track;
      track = new MidiTrack(kTrackNotes, kDefaultMusicCapacity);
      state = kSongNotes;
      not_karaoke();
      return 0;
    }
    delete track;
    track = song;
    track->ToNoteMode();
    state = kSongNotes;
    at += static_cast<size_t>(chunk.size);
  } else {
    not_karaoke();
  }

  chunk = ChunkAt(buffer, size, at);
  if (!chunk.Is("XFIH") || !chunk.whole) {
    not_karaoke();
    return 0;
  }
  info_bytes.assign(buffer + at, buffer + at + chunk.size);
  info_length = static_cast<int32_t>(chunk.size);
  if (chunk.size <= kDefaultMusicCapacity) {
    info_track = new MidiTrack(static_cast<int64_t>(size), static_cast<int64_t>(at), buffer, yield,
                               kDefaultMusicCapacity);
  }
  at += static_cast<size_t>(chunk.size);

  chunk = ChunkAt(buffer, size, at);
  if (chunk.Is("XFKM") && chunk.whole) {
    karaoke_track = new MidiTrack(static_cast<int64_t>(size), static_cast<int64_t>(at), buffer,
                                  yield, kDefaultMusicCapacity);
    if (karaoke_track->mode != kTrackEvents) {
      delete karaoke_track;
      karaoke_track = nullptr;
      not_karaoke();
    }
  } else {
    not_karaoke();
  }
  return 1;
}

int XfData::IsXfFile(const uint8_t* bytes, int64_t size) {
  if (bytes == nullptr || size < kSmfHeaderSize) return 0;
  int64_t base = 0;
  if (std::memcmp(bytes, "MThd", 4) != 0) {
    if (size < kMacBinaryHeaderSize + kSmfHeaderSize ||
        std::memcmp(bytes + kMacBinaryHeaderSize, "MThd", 4) != 0) {
      return 0;
    }
    base = kMacBinaryHeaderSize;
  }
  SmfHeader header;
  if (!ReadSmfHeader(bytes + base, size - base, &header) || header.format != 0) return 0;
  int64_t at = base + kSmfHeaderSize;
  if (at + 4 <= size && std::memcmp(bytes + at, "MTrk", 4) == 0) {
    const int64_t length = ChunkLength(bytes, size, at);
    if (length < 0) return 0;
    at += 8 + length;
  }
  return (at + 4 <= size && std::memcmp(bytes + at, "XFIH", 4) == 0) ? 1 : 0;
}

// ---- writing ----

int XfData::SaveFile(const std::filesystem::path* path) {
  if (track == nullptr || (track->mode != kTrackNotes && track->mode != kTrackEvents)) {
    ErrorMsg(kXfdtInternal);
    return 0;
  }
  if (!CheckMasterVolume(0)) ErrorMsg(kXfdtNoMasterVolume);

  const int32_t song_mode = track->mode;
  if (song_mode == kTrackNotes) track->ToEventMode();
  LimitDataBytes(*track);
  const bool song_ok = TrackToChunk(*track, "MTrk");
  const bool karaoke_ok = karaoke_track == nullptr || TrackToChunk(*karaoke_track, "XFKM");

  bool written = false;
  if (song_ok && karaoke_ok) {
    WriteHeader();
    ByteWriter out(buffer, static_cast<size_t>(capacity));
    out.Seek(kSmfHeaderSize);
    out.Bytes(track->buffer, track->UsedBytes());
    out.Bytes(info_bytes.data(), info_bytes.size());
    if (karaoke_track != nullptr) {
      out.Bytes(karaoke_track->buffer, karaoke_track->UsedBytes());
    } else {
      out.Bytes(kEmptyKaraokeChunk, sizeof kEmptyKaraokeChunk);
    }
    if (out.ok()) {
      used_size = static_cast<int32_t>(out.pos());
      std::filesystem::path chosen;
      written = path == nullptr
                    ? GneSaveFileAs(&chosen, "mid", kXfFileFilter, buffer, UsedBytes()) == 1
                    : GneWriteFile(*path, buffer, UsedBytes(), GneFileUse::kUserChosen) == 1;
    } else {
      used_size = 0;  // the file does not fit the buffer
      ErrorMsg(kXfdtInternal);
    }
  } else {
    ErrorMsg(kXfdtInternal);
  }

  // Back to the modes the tracks had.
  if (karaoke_track != nullptr && karaoke_track->mode == kTrackChunk) karaoke_track->ParseChunk();
  if (track->mode == kTrackChunk) track->ParseChunk();
  if (song_mode == kTrackNotes && track->mode == kTrackEvents) track->ToNoteMode();
  return written ? 1 : 0;
}

// ---- building ----

void XfData::AddEndOfTracks(int32_t delta) {
  if (karaoke_track != nullptr) karaoke_track->AddEndOfTrackAt(delta);
  if (track != nullptr) track->AddEndOfTrackAt(delta);
}

void XfData::AddLyricNote(int32_t delta, int32_t note, const char* lyric, int32_t channel,
                          int32_t duration, int32_t velocity, int32_t second_channel) {
  if (track == nullptr || karaoke_track == nullptr) {
    ErrorMsg(kXfdtInternal);
    return;
  }
  const char* text = lyric != nullptr ? lyric : "";
  karaoke_track->AddMetaEvent(delta, static_cast<int32_t>(kMetaLyric), text,
                              static_cast<int32_t>(std::strlen(text)));
  track->AddNote(channel, delta, note, velocity, duration);
  if (second_channel >= 0) track->AddNote(second_channel, 0, note, 1, duration);
}

void XfData::SetDivision(int32_t new_division) {
  // A plain MIDI file has no karaoke track; only the song is converted then.
  if (karaoke_track != nullptr && karaoke_track->mode == kTrackEvents) {
    karaoke_track->ToNoteMode();
    karaoke_track->ConvertDivision(division, new_division);
    karaoke_track->ToEventMode();
  }
  Midi0Data::SetDivision(new_division);
}

// ---- lyrics ----

std::string XfData::GetLyricText() const {
  std::string result;
  if (karaoke_track == nullptr) return result;
  // First pass: every lyric as a line, gathered in the work text.
  std::string work;
  const size_t work_room = kLyricWorkRoom - 1;
  for (int32_t i = 0; i < karaoke_track->event_count; ++i) {
    const MidiEvent* e = karaoke_track->events[i];
    if (!IsLyric(e)) continue;
    const std::string line = LyricLine(LyricOf(*e));
    const size_t fit = FitCharacters(line, work_room - work.size());
    work.append(line, 0, fit);
    if (fit < line.size()) break;  // the work text is full
  }
  // Second pass: tags, paragraphs, blanks and readings.
  result.reserve(work.size() + 16);
  for (size_t i = 0; i < work.size();) {
    const uint8_t b = static_cast<uint8_t>(work[i]);
    if (GneIsLeadByte(b) && i + 1 < work.size()) {
      result.append(work, i, 2);
      i += 2;
      continue;
    }
    if (b == '<') {
      bool tag = false;
      for (const ParagraphTag& t : kParagraphTags) {
        if (work.compare(i, t.length, t.text) == 0) {
          i += t.length;
          tag = true;
          break;
        }
      }
      if (tag) continue;
      if (!result.empty()) result += "\r\n\r\n";
      ++i;
      continue;
    }
    switch (b) {
      case '^': result += ' '; break;
      case '[': result += '('; break;
      case ']': result += ')'; break;
      default: result += static_cast<char>(b); break;
    }
    ++i;
  }
  return result;
}

void XfData::GetLyricText(char* out, size_t room) const {
  if (out == nullptr || room == 0) return;
  const std::string text = GetLyricText();
  const size_t n = FitCharacters(text, room - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

int XfData::IsSingleByteLyric() const {
  if (karaoke_track == nullptr) return 1;
  for (int32_t i = 0; i < karaoke_track->event_count; ++i) {
    const MidiEvent* e = karaoke_track->events[i];
    if (!IsLyric(e)) continue;
    const std::string text = LyricOf(*e);
    for (size_t at = 0; at < text.size(); at += CharAt(text, at)) {
      const uint8_t b = static_cast<uint8_t>(text[at]);
      if (!GneIsLeadByte(b)) continue;
      const bool minus = b == 0x81 && at + 1 < text.size() && static_cast<uint8_t>(text[at + 1]) == 0x7C;
      if (!minus) return 0;
    }
  }
  return 1;
}

void XfData::ReplaceRubyWithReading(MidiEvent& lyric) {
  uint8_t* p = lyric.GetDataPointer();
  if (p == nullptr || lyric.data_length <= 0) return;
  const std::string text = LyricOf(lyric);
  std::string kept;
  size_t last = 0;  // bytes of the last character kept
  for (size_t at = 0; at < text.size();) {
    const size_t n = CharAt(text, at);
    if (n == 1 && text[at] == '[') {
      kept.resize(kept.size() - last);
      last = 0;
    } else if (!(n == 1 && text[at] == ']')) {
      kept.append(text, at, n);
      last = n;
    }
    at += n;
  }
  // The reading is never longer than the text: it is written in place.
  const size_t block = static_cast<size_t>(lyric.DataBlockSize());
  std::memset(p, 0, block);
  std::memcpy(p, kept.data(), kept.size());
  lyric.data_length = static_cast<int32_t>(kept.size());
}

void XfData::ReplaceRubyWithReading() {
  if (karaoke_track == nullptr) return;
  for (int32_t i = 0; i < karaoke_track->event_count; ++i) {
    if (IsLyric(karaoke_track->events[i])) ReplaceRubyWithReading(*karaoke_track->events[i]);
  }
}

// ---- song track ----

int XfData::HasXfChords() const {
  if (track == nullptr) return 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    // An XF chord event carries its root and type: 43 7B 01 root type (and bass bytes).
    if (e->status != kStatusMeta || e->number != kMetaSequencer || e->data_length < 5) continue;
    if (e->GetDataByte(0) == 0x43 && e->GetDataByte(1) == 0x7B && e->GetDataByte(2) == 0x01) {
      return 1;
    }
  }
  return 0;
}

int XfData::XfChordRootToPitchClass(int root_byte) {
  static const int kNotes[8] = {0, 0, 2, 4, 5, 7, 9, 11};
  const int low = root_byte & 0x0F;
  const int high = (root_byte >> 4) & 0x0F;
  const int note = low >= 1 && low <= 7 ? kNotes[low] : 0;
  const int shift = high <= 6 ? high - 3 : 0;
  return ((note + shift) % 12 + 12) % 12;
}

const char* XfData::XfChordTypeName(int type_code) {
  const int code = static_cast<int8_t>(type_code);
  return code >= 0 && code < 35 ? kChordTypeNames[code] : "";
}

void XfData::GetXfChordTypeName(int type_code, std::string* out) {
  if (out != nullptr) *out = XfChordTypeName(type_code);
}

int XfData::CheckMasterVolume(int option) {
  if (track == nullptr) return 0;
  return track->CheckMasterVolumeAfterReset(option);
}
