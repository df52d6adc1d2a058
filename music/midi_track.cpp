// MIDI track: construction, chunk parsing (mode 0 -> 1), serialisation (mode 1 -> 0)
// and the module's error and warning boxes.
#include "music/midi_track.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/core/clock.h"
#include "music/midi_data.h"
#include "util/byte_cursor.h"
#include "util/gne.h"
#include "util/gne_error.h"
#include "util/gne_music.h"
#include "util/module_error.h"

namespace {

// The module's errors and its once-only warnings (volumes and master volumes share
// one flag). The flags are the reporter's, guarded, so any thread may warn.
ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MDTK", "Midiのトラックデータでエラーが発生しました。",
      {{0x0D000001, "Midiのトラックデータで内部エラーが発生しました。"},
       {0x0D000002, "未定義のMIDIイベントが含まれていました。"},
       {0x0D000003, "チャネルに誤りがあります。"},
       {0x0D000005, "テンポに誤りがあります。"},
       {0x0D000006, "データの量が多すぎます。"},
       {0x0D000007, "MIDIファイルではないか、マックバイナリがついているファイルです。"},
       {0x0D000008,
        "ドラムで指定されている音が35(バスドラ)～81(オープントライアングル)の範囲内にありません。範囲内に調整しました。"},
       {0x0D00000C, "プログラム・チェンジで不正な番号がありました。0に調整しました。"},
       {0x0D00000D, "ノートオンが重複していました。"},
       {0x0D00000E, "ノートオフが重複していました。"},
       {0x0D000010, "このアルゴリズムで、トップノートは間引かないという機能は未実装です。(無視されます。)"},
       {0x0D000013, "ドラムのバンクセレクトで０以外の値が設定されていました。"},
       {0x0D000014, "ノートナンバーの異常が検出されました。"},
       {0x0D000015, "Midiのトラックデータでテンポデータの異常が検出されました。"},
       {0x0D000018, "中央音の検出に失敗しました。"},
       {0x0D000019, "演奏データが異常です。"},
       {0x0D00001B, "演奏データが異常です。"},
       {0x0D00001A, "データの追加に失敗しました。"},
       {0x0D00001C, "演奏データの分割に失敗しました。"},
       {0x0D00001D, "和音数に異常が発生しました。"},
       {0x0D00001E, "チャネルボリュームに異常が発生しました。"},
       {0x0D00001F, "トラックの結合で異常が発生しました。"},
       {0x0D000020, "チャネルに異常が発生しました。"},
       {0x0D000021, "音符に異常が発生しました。"},
       {0x0D000022, "データの追加で異常が発生しました。"},
       {0x0D000023, "データの処理で異常が発生しました。"},
       {0x0D000024, "値の異常が発生しました。"},
       {0x0D000025, "演奏開始の異常が発生しました。"},
       {0x0D000026, "トラックに異常が発生しました。"},
       {0x0D000027, "拍子に異常が発生しました。"},
       {0x0D000028, "データ追加に異常が発生しました。"},
       {0x0D000029, "データ操作に異常が発生しました。"},
       {0x0D00002A, "和音数の処理に異常が発生しました。"},
       {0x0D00002B, "ピッチベンドの処理に異常が発生しました。"},
       {0x0D00002C, "データ編集の処理に異常が発生しました。"},
       {0x0D00002D, "データ編集の処理に異常が発生しました。"},
       // Warnings.
       {0x0D000009, "複数のボリュームが設定されています。"},
       {0x0D000011, "複数のマスターボリュームが設定されています。"},
       {0x0D00000A, "複数のパンが設定されています。"},
       {0x0D00000B, "サイズが大きすぎるイベントが含まれています。"},
       {0x0D00000F, "音の間引きに失敗しました。"},
       {0x0D000012, "トップノートは間引かないを指定していますが、指定をはずして間引きました。"},
       {0x0D000016, "Poly Pressのイベントが含まれていました。"},
       {0x0D000017, "内部処理のエラーでノートナンバーが異常になりましたので０に修正しました。"}},
      {0x0D000002, 0x0D000009, 0x0D000011, 0x0D00000A, 0x0D00000B, 0x0D00000F, 0x0D000012,
       0x0D000016, 0x0D000017},
      {{0x0D000011, 0x0D000009}});
  return reporter;
}

constexpr int32_t kMaxVarLenValue = 0x0FFFFFFF;

// A number for each read of a file (or of a lone chunk), never 0; after 2^32 reads the
// numbers come round again, which costs at most the order inside a tick.
uint32_t NewReadNumber() {
  static std::atomic<uint32_t> last{0};
  uint32_t n = ++last;
  while (n == 0) n = ++last;
  return n;
}

bool IsFixedMeta(uint32_t type) {
  return type == 0x00 || type == 0x20 || type == 0x2F || type == 0x51 || type == 0x54 ||
         type == 0x58 || type == 0x59;
}

int32_t StandardMetaLength(uint32_t type) {
  switch (type) {
    case 0x00: return 2;
    case 0x20: return 1;
    case 0x51: return 3;
    case 0x54: return 5;
    case 0x58: return 4;
    case 0x59: return 2;
    default: return 0;
  }
}

bool IsTextMeta(uint32_t type) { return (type >= 0x01 && type <= 0x07) || type == 0x7F; }

// Byte i of the event's data, 0 outside the block or past the data length.
uint8_t DataByte(const MidiEvent& e, int64_t i) {
  const uint8_t* p = e.GetDataPointer();
  if (p == nullptr || i < 0 || i >= e.data_length || i >= e.DataBlockSize()) return 0;
  return p[i];
}

int32_t DataLength(const MidiEvent& e) { return e.data_length < 0 ? 0 : e.data_length; }

// Where the body of a stored F0/F7 message starts: after the status byte and the
// length number (at most four bytes, never past the data).
int32_t SysExBodyStart(const MidiEvent& e) {
  int32_t len = DataLength(e);
  int32_t i = 1;
  for (int k = 0; k < 4 && i < len; ++k) {
    uint8_t b = DataByte(e, i++);
    if ((b & 0x80) == 0) break;
  }
  return i < len ? i : len;
}

// Where the scan for the F7 that ends the message at `at` (an F0) starts. A length
// number of more than one byte can hold an F7 of its own (a message of 15232 to 15359
// bytes has one): when the declared length ends exactly on an F7, the scan starts
// after the number, so that such a message reads back whole. Otherwise right after
// the F0.
int64_t SysExScanStart(const uint8_t* buffer, int32_t used_size, int32_t at) {
  int64_t j = int64_t{at} + 1;
  int64_t declared = 0;
  bool holds_f7 = false;
  for (int k = 0; k < 4 && j < used_size; ++k) {
    const uint8_t b = buffer[j++];
    declared = (declared << 7) | (b & 0x7F);
    if (b == 0xF7) holds_f7 = true;
    if ((b & 0x80) == 0) {
      const int64_t last = j + declared - 1;
      if (holds_f7 && declared > 0 && last < used_size && buffer[last] == 0xF7) return j;
      break;
    }
  }
  return int64_t{at} + 1;
}

// Where the payload of the meta event at the track's position starts and how many
// of its declared bytes the chunk holds (a length running past the chunk is reported
// and cut). The position is left where it was.
struct MetaPayload {
  int32_t at;
  int64_t length;
};

MetaPayload ReadMetaPayload(MidiTrack& track) {
  const int32_t saved = track.position;
  track.position = saved + 2;
  int32_t declared = 0;
  if (track.position < track.used_size) {
    declared = track.ReadVarLen();
  } else {
    MidiTrack::ErrorMsg(kMdtkInternal);
  }
  const int32_t at = track.position < track.used_size ? track.position : track.used_size;
  int64_t present = int64_t{track.used_size} - at;
  if (present < 0) present = 0;
  int64_t length = declared < 0 ? 0 : declared;
  if (length > present) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    length = present;
  }
  track.position = saved;
  return {at, length};
}

// Where an event's bytes go: counted always, stored when there is room to store them.
struct ByteSink {
  uint8_t* out;
  int64_t n = 0;
  bool Writing() const { return out != nullptr; }
  void Put(uint8_t b) {
    if (out != nullptr) out[n] = b;
    ++n;
  }
};

// Note-on or note-off: status, note (out of range written as 0), velocity (64 for
// note-offs).
void EncodeNote(MidiEvent& e, uint8_t c, ByteSink& sink) {
  if (sink.Writing() && (e.note < 0 || e.note > 127)) e.note = 0;
  sink.Put(static_cast<uint8_t>(e.status | c));
  sink.Put(static_cast<uint8_t>(e.note & 0x7F));
  sink.Put(e.status == kStatusNoteOff ? 64 : static_cast<uint8_t>(e.velocity & 0x7F));
}

// The other channel messages, from their fields; false for a status that is none.
bool EncodeChannelMessage(MidiEvent& e, uint8_t c, ByteSink& sink) {
  switch (e.status) {
    case kStatusPolyPressure:
      if (sink.Writing() && e.data_length > 256) MidiTrack::WarningMsg(kMdtkPolyPressure);
      sink.Put(static_cast<uint8_t>(0xA0 | c));
      sink.Put(static_cast<uint8_t>(e.note & 0x7F));
      sink.Put(static_cast<uint8_t>(e.value & 0x7F));
      return true;
    case kStatusController:
      sink.Put(static_cast<uint8_t>(0xB0 | c));
      sink.Put(static_cast<uint8_t>(e.number & 0x7F));
      sink.Put(static_cast<uint8_t>(e.value & 0x7F));
      return true;
    case kStatusProgram:
    case kStatusChannelPressure:
      sink.Put(static_cast<uint8_t>(e.status | c));
      sink.Put(static_cast<uint8_t>(e.value & 0x7F));
      return true;
    case kStatusPitchBend:
      sink.Put(static_cast<uint8_t>(0xE0 | c));
      sink.Put(static_cast<uint8_t>(e.note & 0x7F));
      sink.Put(static_cast<uint8_t>(e.value & 0x7F));
      return true;
    default:
      return false;
  }
}

// F0 or F7: the status, the true length of the body as a variable-length number, the
// body. A system-exclusive message carries 7-bit data and ends with F7: a message cut
// short gets its F7, so that it reads back as one message.
void EncodeSysEx(const MidiEvent& e, ByteSink& sink) {
  const uint32_t st = e.status;
  int32_t start = SysExBodyStart(e);
  int32_t body = DataLength(e) - start;
  if (body < 0) body = 0;
  const bool add_end = st == kStatusSysEx && (body == 0 || DataByte(e, start + body - 1) != 0xF7);
  sink.Put(static_cast<uint8_t>(st));
  uint8_t len[4];
  int k = GneWriteVarLen(body + (add_end ? 1 : 0), len);
  for (int i = 0; i < k; ++i) sink.Put(len[i]);
  for (int32_t i = 0; i < body; ++i) {
    uint8_t b = DataByte(e, start + i);
    if (st == kStatusSysEx && !(i == body - 1 && b == 0xF7)) b &= 0x7F;
    sink.Put(b);
  }
  if (add_end) sink.Put(0xF7);
}

// A meta event: End of Track, tempo and metre in their fixed forms, any other type
// with its data.
void EncodeMeta(const MidiEvent& e, ByteSink& sink) {
  int32_t len = DataLength(e);
  const uint32_t type = e.number & 0xFF;
  sink.Put(0xFF);
  if (sink.Writing() && len > 128 && type != 0x7F) MidiTrack::WarningMsg(kMdtkEventTooLarge);
  if (type == 0x2F) {
    sink.Put(0x2F);
    sink.Put(0x00);
    return;
  }
  if (type == 0x51) {
    sink.Put(0x51);
    sink.Put(0x03);
    sink.Put(static_cast<uint8_t>(e.value >> 16));
    sink.Put(static_cast<uint8_t>(e.value >> 8));
    sink.Put(static_cast<uint8_t>(e.value));
    return;
  }
  if (type == 0x58) {
    sink.Put(0x58);
    sink.Put(0x04);
    for (int i = 0; i < 4; ++i) {
      const uint8_t* p = e.GetDataPointer();
      sink.Put((p != nullptr && i < e.DataBlockSize()) ? p[i] : 0);
    }
    return;
  }
  sink.Put(static_cast<uint8_t>(type));
  uint8_t lenbytes[4];
  int k = GneWriteVarLen(len, lenbytes);
  for (int i = 0; i < k; ++i) sink.Put(lenbytes[i]);
  for (int32_t i = 0; i < len; ++i) sink.Put(DataByte(e, i));
}

// Encodes one event; with out == nullptr only counts. Reports only when writing.
int64_t EncodeEvent(MidiEvent& e, uint8_t* out) {
  ByteSink sink{out};
  const uint8_t c = static_cast<uint8_t>(e.channel & 0x0F);
  const uint32_t st = e.status;
  if (sink.Writing() &&
      (st == kStatusNoteOff || st == kStatusNoteOn || st == kStatusController ||
       st == kStatusProgram) &&
      (e.channel < 0 || e.channel > 15)) {
    MidiTrack::ErrorMsg(kMdtkBadChannel);
  }
  if (st == kStatusNoteOff || st == kStatusNoteOn) {
    EncodeNote(e, c, sink);
  } else if (st == kStatusSysEx || st == kStatusSysExEscape) {
    EncodeSysEx(e, sink);
  } else if (st == kStatusMeta) {
    EncodeMeta(e, sink);
  } else if (!EncodeChannelMessage(e, c, sink) && sink.Writing() && st != kStatusDeleted) {
    MidiTrack::ErrorMsg(kMdtkUndefinedEvent);
  }
  return sink.n;
}

}  // namespace

void ResetMidiTrackModule() { Reporter().ResetWarnings(); }

// ---------------------------------------------------------------- messages

void MidiTrack::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MidiTrack::WarningMsg(uint32_t code) { Reporter().Warning(code); }

// ---------------------------------------------------------------- construction

MidiTrack::MidiTrack(int32_t track_mode, int32_t cap) : MusicData(cap) { mode = track_mode; }

MidiTrack::MidiTrack(int32_t cap) : MusicData(cap) { mode = kTrackEmpty; }

MidiTrack::MidiTrack(int64_t file_size, int64_t offset, const uint8_t* bytes,
                     int32_t yield_period, int32_t cap, MidiParseContext* context)
    : MusicData(cap) {
  yield_period_ = yield_period;
  WarningMsg(0);
  mode = kTrackEmpty;
  if (bytes == nullptr || offset < 0 || file_size < 0 || offset + 4 > file_size) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const uint8_t* id = bytes + offset;
  if (!IsTrackChunkId(id)) {
    ErrorMsg(kMdtkNotMidi);
    return;
  }
  const int64_t length = ChunkLength(bytes, file_size, offset);
  if (length < 0) {
    ErrorMsg(kMdtkInternal);
    used_size = 0;
    return;
  }
  const int64_t chunk_size = length + 8;
  if (offset + chunk_size > file_size) {
    ErrorMsg(kMdtkInternal);
    used_size = 0;
    return;
  }
  if (chunk_size > capacity) {
    ErrorMsg(kMdtkTooMuchData);
    used_size = 0;
    return;
  }
  std::memcpy(buffer, id, static_cast<size_t>(chunk_size));
  used_size = static_cast<int32_t>(chunk_size);
  mode = kTrackChunk;
  if (context != nullptr) parse_ = context;
  parse_->yield_period = yield_period;
  ParseChunk();
  parse_ = &own_parse_;
}

MidiTrack::MidiTrack(const MidiTrack& source, int32_t cap) : MusicData(cap) {
  CopyNoteModeEvents(source);
}

MidiTrack::~MidiTrack() {
  for (int32_t i = 0; i < event_count; ++i) delete events[i];
  std::free(events);
}

void MidiTrack::ReserveEvents(int32_t n) {
  if (n <= event_room_) return;
  int64_t room = event_room_ < 64 ? 64 : int64_t{event_room_} * 2;
  if (room < n) room = n;
  void* grown = std::realloc(events, static_cast<size_t>(room) * sizeof(MidiEvent*));
  if (grown == nullptr) GneErrorMsg(kGneOutOfMemory);  // ends the program
  events = static_cast<MidiEvent**>(grown);
  // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): a failed realloc ended the program
  for (int64_t i = event_room_; i < room; ++i) events[i] = nullptr;
  event_room_ = static_cast<int32_t>(room);
}

void MidiTrack::AppendUnchecked(MidiEvent* event) {
  ReserveEvents(event_count + 1);
  events[event_count++] = event;
}

void MidiTrack::YieldEvery(int32_t index, int32_t every) const {
  if (yield_period_ != 0 && every > 0 && index % every == 0) plat::SleepMs(yield_period_);
}

bool MidiTrack::LastIsEndOfTrack() const { return IsEndOfTrack(LastEvent()); }

void MidiTrack::FreeAllEvents() {
  for (int32_t i = 0; i < event_count; ++i) {
    delete events[i];
    events[i] = nullptr;
  }
  event_count = 0;
}

void MidiTrack::CopyNoteModeEvents(const MidiTrack& source) {
  CopyEventsOfMode(source, kTrackNotes);
}

void MidiTrack::CopyEventModeEvents(const MidiTrack& source) {
  CopyEventsOfMode(source, kTrackEvents);
}

void MidiTrack::CopyEventsOfMode(const MidiTrack& source, int32_t wanted_mode) {
  FreeAllEvents();
  if (source.mode != wanted_mode) {
    ErrorMsg(kMdtkInternal);
    mode = kTrackEmpty;
    return;
  }
  ReserveEvents(source.event_count);
  EventPool::Scope from_pool(pool_);
  for (int32_t i = 0; i < source.event_count; ++i) AppendUnchecked(new MidiEvent(*source.events[i]));
  mode = wanted_mode;
}

// ---------------------------------------------------------------- parsing

void MidiTrack::ParseChunk() {
  FreeAllEvents();
  EventPool::Scope from_pool(pool_);
  parse_->undefined_reported = false;
  parse_->limit_reported = false;
  if (parse_ == &own_parse_ || parse_->read == 0) {
    // A read of its own: places count from the start again.
    parse_->read = NewReadNumber();
    parse_->next_place = 0;
  }
  parse_->tick = 0;
  mode = kTrackChunk;
  position = 8;
  int32_t parsed = 0;
  while (position < used_size) {
    YieldEvery(parsed, 300);
    int32_t before = position;
    ParseNextEvent();
    if (position <= before) position = before + 1;  // always move on
    ++parsed;
  }
  mode = kTrackEvents;
}

void MidiTrack::ParseNextEvent() {
  if (mode != kTrackChunk) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (event_count >= kTrackEventLimit && !parse_->limit_reported) {
    parse_->limit_reported = true;
    ErrorMsg(kMdtkTooMuchData);
  }
  MidiEvent* event = new MidiEvent(0);
  event->delta = ReadVarLen();
  MidiParseContext& ctx = *parse_;
  ctx.tick += event->delta;
  if (ctx.read != 0 && ctx.tick <= INT32_MAX) {
    event->read_place.read = ctx.read;
    event->read_place.place = ctx.next_place++;
    event->read_place.tick = static_cast<int32_t>(ctx.tick);
  }
  AppendUnchecked(event);
  ParseEventAt(*event);
}

int MidiTrack::ReadVarLen() {
  if (position < 0 || position >= used_size) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  // Four bytes are the most a number may take; the fourth ends it.
  ByteReader in(buffer, static_cast<size_t>(used_size));
  const uint32_t value = in.Seek(static_cast<size_t>(position)).VarLen();
  if (!in.ok()) ErrorMsg(kMdtkInternal);  // the chunk ends inside the number
  position = static_cast<int32_t>(in.pos());
  return static_cast<int32_t>(value);
}

void MidiTrack::ParseEventAt(MidiEvent& event) {
  if (position < 0 || position >= used_size) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const int32_t at = position;
  MidiParseContext& ctx = *parse_;
  ctx.current_status = buffer[at];
  int n = ParseEventByStatus(ctx.current_status, event);
  bool running = false;
  if (n == 0) {
    // A data byte: running status. The parser reads the data bytes after its
    // position, so it starts one byte back.
    if (at >= 1) {
      position = at - 1;
      ctx.current_status = ctx.last_status;
      n = ParseEventByStatus(ctx.current_status, event);
    }
    if (n == 0) {
      position = at + 1;  // step over the byte that gives no event
      event.status = kStatusDeleted;
      if (!ctx.undefined_reported) {
        ctx.undefined_reported = true;
        ErrorMsg(kMdtkUndefinedEvent);
      }
      return;
    }
    running = true;
  }
  if (event.data_length >= 256 && event.number != 127) WarningMsg(kMdtkEventTooLarge);
  int64_t avail = int64_t{used_size} - position;
  if (n > avail) n = static_cast<int>(avail);
  if (event.status != kStatusMeta && event.status != kStatusSysEx) {
    int32_t len = event.data_length;
    if (len > avail) len = static_cast<int32_t>(avail);
    if (len > 0) {
      event.SetDataQuietly(buffer + position, len);
      event.data_length = len;
    }
  }
  if (running && event.GetDataPointer() != nullptr && event.status != kStatusMeta) {
    // The stored bytes begin with the status the event really has.
    event.data[0] = ctx.current_status;
  }
  position += n;
  if (ctx.current_status != 0xFF) ctx.last_status = ctx.current_status;
}

namespace {

// Byte k after the track's position, 0 outside the chunk.
int ByteAfter(const MidiTrack& track, int64_t k) {
  const int64_t p = int64_t{track.position} + k;
  return (p >= 0 && p < track.used_size) ? track.buffer[p] : 0;
}

// 8n or 9n: a note-on of velocity 0 is a note-off; a note number above 127 becomes
// 0 (with its velocity).
int ParseNoteMessage(const MidiTrack& track, int hi, int32_t ch, MidiEvent& event) {
  const int b1 = ByteAfter(track, 1), b2 = ByteAfter(track, 2);
  event.channel = ch;
  event.note = b1;
  event.velocity = b2;
  if (hi == 0x90 && b2 == 0) {
    event.status = kStatusNoteOff;
    event.velocity = 0;
  } else {
    event.status = hi == 0x80 ? kStatusNoteOff : kStatusNoteOn;
    if (b1 > 127) {
      MidiTrack::WarningMsg(kMdtkNoteNumberFixed);
      event.note = 0;
      event.velocity = 0;
    }
  }
  event.data_length = 3;
  return 3;
}

// An to En: the channel message's fields; a program above 127 becomes 0.
int ParseChannelMessage(const MidiTrack& track, int hi, int32_t ch, MidiEvent& event) {
  event.channel = ch;
  switch (hi) {
    case 0xA0:
      event.status = kStatusPolyPressure;
      event.note = ByteAfter(track, 1);
      event.value = ByteAfter(track, 2);
      event.data_length = 3;
      return 3;
    case 0xB0:
      event.status = kStatusController;
      event.number = static_cast<uint32_t>(ByteAfter(track, 1));
      event.value = ByteAfter(track, 2);
      event.data_length = 3;
      return 3;
    case 0xC0:
      event.status = kStatusProgram;
      event.value = ByteAfter(track, 1);
      if (event.value > 127) {
        MidiTrack::ErrorMsg(kMdtkBadProgram);
        event.value = 0;
      }
      event.data_length = 2;
      return 2;
    case 0xD0:
      event.status = kStatusChannelPressure;
      event.value = ByteAfter(track, 1);
      event.data_length = 2;
      return 2;
    default:  // 0xE0
      event.status = kStatusPitchBend;
      event.note = ByteAfter(track, 1);
      event.value = ByteAfter(track, 2);
      event.data_length = 3;
      return 3;
  }
}

// F0: the message runs to the first F7; the length number after F0 is not used.
int ParseSysExMessage(MidiTrack& track, MidiEvent& event) {
  const int32_t at = track.position;
  int64_t i = SysExScanStart(track.buffer, track.used_size, at);
  while (i < track.used_size && track.buffer[i] != 0xF7) ++i;
  int64_t len;
  if (i < track.used_size) {
    len = i - at + 1;
  } else {
    MidiTrack::ErrorMsg(kMdtkInternal);
    len = track.used_size - at;
  }
  event.status = kStatusSysEx;
  event.channel = kNoChannel;
  event.FreeData();
  event.SetDataQuietly(track.buffer + at, static_cast<int32_t>(len));
  event.data_length = static_cast<int32_t>(len);
  if (event.GetDataPointer() != nullptr) event.data[0] = 0xF0;
  track.ParseSysExKind(event);
  return static_cast<int>(len);
}

// F7: the escape and its declared length, kept inside the chunk.
int ParseSysExEscape(MidiTrack& track, MidiEvent& event) {
  const int64_t avail = int64_t{track.used_size} - track.position;
  const int32_t saved = track.position;
  track.position += 1;
  const int32_t length = track.position < track.used_size ? track.ReadVarLen() : 0;
  int64_t total = int64_t{track.position} - saved + length;
  track.position = saved;
  if (total > avail) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    total = avail;
  }
  event.status = kStatusSysExEscape;
  event.channel = kNoChannel;
  event.data_length = static_cast<int32_t>(total);
  return static_cast<int>(total);
}

}  // namespace

int MidiTrack::ParseEventByStatus(int status_byte, MidiEvent& event) {
  const int64_t avail = int64_t{used_size} - position;
  const int hi = status_byte & 0xF0;
  const int32_t ch = status_byte & 0x0F;
  int n = 0;
  if (hi == 0x80 || hi == 0x90) {
    n = ParseNoteMessage(*this, hi, ch, event);
  } else if (hi >= 0xA0 && hi <= 0xE0) {
    n = ParseChannelMessage(*this, hi, ch, event);
  } else if (status_byte == 0xF0) {
    n = ParseSysExMessage(*this, event);
  } else if (status_byte == 0xF7) {
    n = ParseSysExEscape(*this, event);
  } else if (status_byte == 0xFF) {
    n = ParseMeta(event);
  }
  if (n > 0 && n > avail && hi != 0xF0) {
    ErrorMsg(kMdtkInternal);  // the chunk ends inside the event
  }
  return n;
}

int MidiTrack::MakeMetreWord(int numerator, int power_of_two) {
  if (numerator <= 0 || power_of_two <= 0 || power_of_two > 7 || numerator > 255) {
    ErrorMsg(kMdtkBadMetre);
    return 0x404;
  }
  return numerator * 256 + (1 << power_of_two);
}

int MidiTrack::ParseMeta(MidiEvent& event) {
  const int64_t avail = int64_t{used_size} - position;
  event.status = kStatusMeta;
  event.channel = kNoChannel;
  if (avail < 2) {
    ErrorMsg(kMdtkInternal);
    event.status = kStatusDeleted;
    return static_cast<int>(avail);
  }
  const uint32_t type = buffer[position + 1];
  event.number = type;
  if (IsFixedMeta(type)) return ParseFixedMeta(event);
  int n = ParseTextMeta(event);
  if (type == 0x09) {
    event.number = 0x04;  // a device name is kept as an instrument name
  } else if (!IsTextMeta(type)) {
    event.status = kStatusDeleted;  // dropped at the next compaction
  }
  return n;
}

int MidiTrack::ParseFixedMeta(MidiEvent& event) {
  const int32_t saved = position;
  const uint32_t type = event.number;
  const MetaPayload meta = ReadMetaPayload(*this);
  const int32_t payload_at = meta.at;
  const int64_t length = meta.length;
  const int32_t standard = StandardMetaLength(type);
  auto payload = [&](int i) -> int {
    return i < length ? buffer[payload_at + i] : 0;
  };
  event.FreeData();
  switch (type) {
    case 0x51: {
      int32_t tempo = (payload(0) << 16) | (payload(1) << 8) | payload(2);
      if (tempo == 0) {
        ErrorMsg(kMdtkBadTempo);
        tempo = 500000;
      }
      event.value = tempo;
      event.data_length = standard;
      break;
    }
    case 0x58:
      event.value = MakeMetreWord(payload(0), payload(1));
      if (length > 0) event.SetDataQuietly(buffer + payload_at, static_cast<int32_t>(length));
      if (length < 4) event.ResizeData(4);
      event.data_length = 4;
      break;
    default: {
      uint8_t bytes[8] = {};
      for (int i = 0; i < standard; ++i) bytes[i] = static_cast<uint8_t>(payload(i));
      if (standard > 0) event.SetDataQuietly(bytes, standard);
      event.data_length = standard;
      break;
    }
  }
  return static_cast<int>(int64_t{payload_at} - saved + length);
}

int MidiTrack::ParseTextMeta(MidiEvent& event) {
  const int32_t saved = position;
  const MetaPayload meta = ReadMetaPayload(*this);
  const int32_t payload_at = meta.at;
  const int64_t length = meta.length;
  event.FreeData();
  if (length > 0) {
    event.SetDataQuietly(buffer + payload_at, static_cast<int32_t>(length));
  } else {
    const uint8_t zero = 0;
    event.SetDataQuietly(&zero, 1);
  }
  return static_cast<int>(int64_t{payload_at} - saved + length);
}

// ---------------------------------------------------------------- serialising

int64_t MidiTrack::EventByteSize(const MidiEvent& event) {
  return EncodeEvent(const_cast<MidiEvent&>(event), nullptr);
}

int MidiTrack::WriteDelta(const MidiEvent& event, uint8_t* out) {
  return GneWriteVarLen(event.delta, out);
}

int MidiTrack::WriteEvent(MidiEvent& event, uint8_t* out) {
  return static_cast<int>(EncodeEvent(event, out));
}

int MidiTrack::WriteMeta(uint8_t* out, const MidiEvent& event) {
  if (event.status != kStatusMeta) return 0;
  return static_cast<int>(EncodeEvent(const_cast<MidiEvent&>(event), out));
}

void MidiTrack::ToChunk(const char* chunk_id) {
  if (mode != kTrackEvents || event_count < 1 || !LastIsEndOfTrack()) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (capacity < 12) {
    // Not even a header and an End of Track fit.
    ErrorMsg(kMdtkAddFailed);
    return;
  }
  const int64_t limit = int64_t{capacity} - 256;
  int64_t used = 8;
  int64_t carry = 0;  // deltas of events that write no bytes go to the next one
  bool stopped = false;
  for (int32_t i = 0; i < event_count; ++i) {
    YieldEvery(i, 200);
    MidiEvent& e = *events[i];
    // Only the last event may be End of Track: one met earlier would end the chunk
    // for every reader and hide the events behind it. It is left out like a deleted
    // event.
    int64_t size = (IsEndOfTrack(&e) && i != event_count - 1) ? 0 : EncodeEvent(e, nullptr);
    if (size == 0) {
      // Deleted events are expected; anything else cannot be written.
      if (e.status != kStatusDeleted && !IsEndOfTrack(&e)) ErrorMsg(kMdtkUndefinedEvent);
      carry += e.delta > 0 ? e.delta : 0;
      continue;
    }
    int64_t delta = (e.delta > 0 ? e.delta : 0) + carry;
    if (delta > kMaxVarLenValue) delta = kMaxVarLenValue;
    carry = 0;
    uint8_t delta_bytes[4];
    int k = GneWriteVarLen(delta, delta_bytes);
    if (used + k + size > limit) {
      ErrorMsg(kMdtkAddFailed);
      stopped = true;
      break;
    }
    if (size > 0x60000) WarningMsg(kMdtkEventTooLarge);
    std::memcpy(buffer + used, delta_bytes, static_cast<size_t>(k));
    used += k;
    used += EncodeEvent(e, buffer + used);
  }
  if (stopped && used + 4 <= capacity) {
    // Close the cut chunk so that it stays well formed (the 256 spare bytes hold it).
    const uint8_t end[4] = {0x00, 0xFF, 0x2F, 0x00};
    std::memcpy(buffer + used, end, 4);
    used += 4;
  }
  used_size = static_cast<int32_t>(used);
  for (int i = 0; i < 4; ++i) {
    char c = chunk_id != nullptr ? chunk_id[i] : 0;
    buffer[i] = static_cast<uint8_t>(c);
    if (c == 0) chunk_id = nullptr;
  }
  ByteWriter(buffer + 4, 4).U32Be(static_cast<uint32_t>(used - 8));
  mode = kTrackChunk;
}
