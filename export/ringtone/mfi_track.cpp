// One MFi track: the byte encoding of its events in both directions and the rules that make
// a mobile track writable (deltas and gate times are single bytes).
#include <algorithm>
#include <cstring>

#include "export/ringtone/mfi.h"
#include "export/ringtone/voice_tables.h"
#include "util/byte_cursor.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MFTK", "MFiのトラックでエラーが発生しました。",
      {{kMftkInternal, "MFiのトラックで内部エラーが発生しました。"},
       {kMftkAfterStop, "STOPマーカ以降にもデータがあります。"},
       {kMftkTempoClamped, "255以上のテンポが設定されていましたので、255に修正しました。"},
       {kMftkVoiceKind, "チャネルタイプに異常があります。"},
       {kMftkTrackId, "トラックIDが異常です。"},
       {kMftkUnknownEvent, "未知のイベントです。"},
       {kMftkBadValue, "値が不正です。"},
       {kMftkBadTempo, "サポートしていないテンポです。"},
       {kMftkBadDrumSetting, "ドラム設定が異常です。"},
       {kMftkBadVibrato, "不正なビブラートです。"},
       {kMftkBadData, "MLDファイルに不正なデータが含まれていました。"},
       {kMftkBadType, "MFiのタイプが不正です。"},
       {kMftkSizeOver, "サイズオーバーです。"},
       {kMftkBadLoop, "ループ情報が不正です。"},
       {kMftkBadEventType, "イベントタイプが不正です。"},
       {kMftkBadDrum, "ドラムが不正です。"},
       {kMftkDataError, "データが不正です。"},
       {kMftkBadVoiceType, "チャネルタイプが不正です。"},
       {kMftkBadShift, "シフトデータが不正です。"},
       {kMftkBadExclusive, "エクスクルーシブデータが不正です。"},
       {kMftkBadCommand, "コマンドが不正です。"},
       {kMftkBadChannel, "チャネルが不正です。"},
       {kMftkDrumOperation, "ドラムデータ操作のエラーです。"}});
  return reporter;
}

ModuleErrorReporter& WarnReporter() {
  static ModuleErrorReporter reporter(
      "MFTK", "MFiのトラックでエラーが発生しました。",
      {{kMftkInternal, "MFiトラックで内部エラーが発生しました。"},
       {kMftkRange, "音域が範囲内にありません。範囲内に調整しました。"},
       {kMftkNoBend,
        "この機種ではピッチベンドは使用できませんので一部のデータを無効にしました。"},
       {kMftkNoBend16,
        "16ボイスの機種ではピッチベンドは使用できませんので一部のデータを無効にしました。"}},
      {kMftkInternal, kMftkRange, kMftkNoBend, kMftkNoBend16});
  return reporter;
}

// Reports a code once in a conversion (a damaged file would otherwise raise a box per event).
void Report(uint32_t code) {
  if (RingtoneReports().Once(code)) MFiTrack::ErrorMsg(code);
}

bool FourByteType(int32_t t) {
  return (t >= 4 && t <= 9) || t == 32 || t == 250 || t == 254 || t == 255;
}
bool BaType(int32_t t) { return (t >= 4 && t <= 9) || t == 32; }
bool DrumOffset35Type(int32_t t) { return BaType(t) || t == 250; }

void Nop(std::vector<uint8_t>& out) {
  out.push_back(0xFF);
  out.push_back(0xDE);
  out.push_back(0x00);
}

uint8_t Byte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

// FF, a status and one data byte.
void PutControl(std::vector<uint8_t>& out, uint8_t status, int64_t data) {
  out.push_back(0xFF);
  out.push_back(status);
  out.push_back(Byte(data));
}
int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }

// Beats per minute of a tempo in microseconds, kept in 1-255.
uint8_t TempoByte(int32_t microseconds) {
  if (microseconds <= 0) {
    Report(kMftkTempoClamped);
    return 255;
  }
  const int32_t bpm = 60000000 / microseconds;
  if (bpm > 255) {
    MFiTrack::ErrorMsg(kMftkTempoClamped);
    return 255;
  }
  if (bpm < 1) {
    Report(kMftkTempoClamped);
    return 1;
  }
  return static_cast<uint8_t>(bpm);
}

}  // namespace

MfiModuleState& MfiModule() {
  static MfiModuleState state;
  return state;
}

bool IsMeloEventType(int32_t t) { return FourByteType(t); }

void MFiTrack::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MFiTrack::Warn(uint32_t code) {
  if (code == 0) {
    WarnReporter().ResetWarnings();
    return;
  }
  WarnReporter().Warning(code);
}

MFiTrack::MFiTrack(int32_t index_value, int32_t type)
    : events(std::make_unique<MobileTrack>(kMobileCapacity)), index(index_value), device_type(type) {
  Warn(0);
}

MFiTrack::MFiTrack(const MobileTrack& source, int32_t index_value, int32_t type, int32_t capacity)
    : events(std::make_unique<MobileTrack>(source, capacity)), index(index_value), device_type(type) {
  Warn(0);
  for (int v = 0; v < 4; ++v) voice_kinds[v] = source.voice_kinds[v];
  for (int32_t i = 0; i + 1 < events->event_count(); ++i)
    if (events->events[i]->IsControl(kKindMidiMasterVolume))
      events->events[i]->number = kKindMasterVolume;
  for (int v = 0; v < 16; ++v) {
    voice_kinds[v] = events->GetVoiceKind(v);
    events->voice_kinds[v] = voice_kinds[v];
  }
}

MFiTrack::MFiTrack(const uint8_t* bytes, size_t size, int32_t index_value, int32_t type,
                   int32_t* shared_kinds, int32_t capacity)
    : events(std::make_unique<MobileTrack>(capacity)), index(index_value), device_type(type) {
  Warn(0);
  Read(bytes, size, shared_kinds);
}

// ---- mappings ----

int32_t MFiTrack::DrumNoteOfKey(int32_t key, int32_t code) {
  if (code == 3 && key >= 2 && key <= 11) return key + 33;
  if (code == 0 && key >= 0 && key <= 36) return key + 45;
  return -1;
}

int32_t MFiTrack::DrumKeyOfNote(int32_t note) {
  if (note >= 35 && note <= 44) return note - 33;
  if (note >= 45 && note <= 81) return note - 45;
  return -1;
}

int32_t MFiTrack::DrumThirdByte(int32_t note, int32_t velocity) {
  return (Clamp(velocity, 0, 127) & 0xFE) * 2 + (note >= 35 && note <= 44 ? 3 : 0);
}

int32_t MFiTrack::OctaveShiftOfCode(int32_t code) {
  switch (code) {
    case 0: return 0;
    case 1: return 12;
    case 2: return -24;
    case 3: return -12;
    default:
      ErrorMsg(kMftkBadShift);
      return 0;
  }
}

int32_t MFiTrack::OctaveCodeOfShift(int32_t octaves) {
  switch (octaves) {
    case 0: return 0;
    case 1: return 3;
    case 2: return 2;
    case -1: return 1;
    default: return -1;
  }
}

// ---- reading ----

void MFiTrack::Read(const uint8_t* bytes, size_t size, int32_t* shared_kinds) {
  ByteReader in(bytes, size);
  char chunk_id[4] = {};
  in.Bytes(chunk_id, 4);
  const uint32_t length = in.U32Be();
  if (!in.ok()) {
    Report(kMftkDataError);  // a cut track is empty
    written_length = static_cast<int32_t>(size);
    return;
  }
  std::memcpy(id, chunk_id, 4);
  if (std::memcmp(chunk_id, "trac", 4) != 0) ErrorMsg(kMftkTrackId);
  for (int v = 0; v < 4; ++v) voice_kinds[v] = shared_kinds[(4 * index + v) & 15];
  const size_t body = std::min<size_t>(length, in.remaining());
  if (body < length) Report(kMftkDataError);
  written_length = static_cast<int32_t>(8 + body);
  ByteReader ev = in.Sub(body);
  int32_t bank[4] = {};
  bool more = true;
  while (more && !ev.AtEnd()) {
    const int32_t delta = ev.U8();
    const uint8_t b1 = ev.U8();
    if (!ev.ok()) {
      events->AddNop(delta);
      break;
    }
    more = b1 != 0xFF ? ReadNote(ev, delta, b1) : ReadExtended(ev, delta, bank, shared_kinds);
  }
  JoinOverlaps();
}

// A note: the key byte (voice and key), the gate and, in four-byte types, the octave code and
// velocity. False when the track ends inside it.
bool MFiTrack::ReadNote(ByteReader& ev, int32_t delta, uint8_t b1) {
  MobileTrack& t = *events;
  const bool four = FourByteType(device_type);
  const int32_t v = b1 >> 6, k = b1 & 0x3F;
  const int32_t gate = ev.U8();
  const int32_t third = four ? ev.U8() : 0;
  if (!ev.ok()) {
    Report(kMftkDataError);
    t.AddNop(delta);
    return false;
  }
  if (device_type != 1 && device_type != 252 && !four) {
    Report(kMftkBadType);
    t.AddNop(delta);
    return true;
  }
  const int32_t kind = voice_kinds[v];
  int32_t note;
  if (kind == 2) {
    note = 45 + k + (four ? OctaveShiftOfCode(third & 3) : 0);
  } else if (kind == 1 && DrumOffset35Type(device_type) && device_type != 250) {
    note = 35 + k;
  } else if (kind == 1 && (device_type == 250 || device_type == 255 || device_type == 254)) {
    note = DrumNoteOfKey(k, third & 3);
    if (note < 0) {
      Warn(kMftkInternal);
      note = 35;
    }
  } else {
    Report(kMftkVoiceKind);
    t.AddNop(delta);
    return true;
  }
  const int32_t velocity = four ? (third / 4) * 2 : 100;
  t.AddNote(delta, v, note, gate, velocity);
  return true;
}

// An event after FF: an exclusive of its own length, a 43-byte voice block, or a status and
// one data byte. False when the track ends inside it.
bool MFiTrack::ReadExtended(ByteReader& ev, int32_t delta, int32_t* bank, int32_t* shared_kinds) {
  MobileTrack& t = *events;
  const uint8_t status = ev.U8();
  if (status == 0xFF) {  // exclusive: 2-byte length and the data
    const uint16_t n = ev.U16Be();
    ByteReader data = ev.Sub(n);
    if (!ev.ok()) {
      Report(kMftkDataError);
      t.AddNop(delta);
      return false;
    }
    std::vector<uint8_t> whole(4 + n);
    whole[0] = 0xFF;
    whole[1] = static_cast<uint8_t>(n >> 8);
    whole[2] = static_cast<uint8_t>(n);
    data.Bytes(whole.data() + 3, n);
    whole.resize(3 + n);
    ReadVoiceExclusive(whole.data() + 1, whole.size() - 1, delta);
    return true;
  }
  if (status == 0xF0) {  // 43 data bytes
    ev.Skip(43);
    if (!ev.ok()) Report(kMftkDataError);
    t.AddNop(delta);
    return true;
  }
  const uint8_t data = ev.U8();
  if (!ev.ok()) {
    Report(kMftkDataError);
    t.AddNop(delta);
    return false;
  }
  if (status >= 0xE0 && status <= 0xE7) {
    ReadVoiceControl(status, data, delta, bank);
  } else {
    ReadTrackControl(status, data, delta, shared_kinds);
  }
  return true;
}

// Controls of the whole track: master volume, voice assignment, tempo and the markers.
void MFiTrack::ReadTrackControl(uint8_t status, uint8_t data, int32_t delta, int32_t* shared_kinds) {
  MobileTrack& t = *events;
  if (status == 0xB0) {
    t.AddControl(delta, kAllVoices, kKindMasterVolume, data);
  } else if (status == 0xB1) {
    Report(kMftkUnknownEvent);
    t.AddNop(delta);
  } else if (status == 0xBA) {
    const int32_t s = data / 8;
    if (s > 15) {
      Report(kMftkBadValue);
      t.AddNop(delta);
      return;
    }
    const int32_t kind = (data & 1) ? 1 : 2;
    if (s / 4 == index) voice_kinds[s % 4] = kind;
    shared_kinds[s] = kind;
    t.AddControl(delta, kAllVoices, kKindVoiceAssign, data);
  } else if ((status >= 0xC0 && status <= 0xC6) || (status >= 0xC8 && status <= 0xCE)) {
    if (data == 0) {
      Report(kMftkBadTempo);
      t.AddNop(delta);
      return;
    }
    timebase = MFiData::TimebaseOfCode(status);
    t.AddControl(delta, kAllVoices, kKindTempo, 60000000 / data);
  } else if (status == 0xC7 || status == 0xCF) {
    Report(kMftkBadTempo);
    t.AddNop(delta);
  } else if (status == 0xD0 || status == 0xD1 || (status >= 0xDC && status <= 0xDF) ||
             (status >= 0xE8 && status <= 0xEA)) {
    t.AddNop(delta);
  } else if (status == 0xF1) {
    Report(kMftkBadVibrato);
    t.AddNop(delta);
  } else {
    Report(kMftkBadData);
    t.AddNop(delta);
  }
}

// Controls of one voice (E0-E7): the voice is the data byte's top two bits.
void MFiTrack::ReadVoiceControl(uint8_t status, uint8_t data, int32_t delta, int32_t* bank) {
  MobileTrack& t = *events;
  const int32_t v = data >> 6;
  switch (status) {
    case 0xE0:
      t.AddControl(delta, v, kKindProgram, bank[v] * 64 + data % 64);
      break;
    case 0xE1:
      bank[v] = data & 1;
      t.AddNop(delta);
      break;
    case 0xE2:
      t.AddControl(delta, v, kKindVolume, (data % 64) * 2);
      break;
    case 0xE3:
      t.AddControl(delta, v, kKindPan, (data % 64) * 2);
      break;
    case 0xE4:
      t.AddControl(delta, v, kKindPitchBend, (data % 64) * 2);
      break;
    case 0xE5:
      if (data % 16 == 9) {
        voice_kinds[v] = 1;
        t.AddControl(delta, v, kKindVoiceType, 1);
      } else {
        Report(kMftkBadDrumSetting);
        t.AddControl(delta, v, kKindVoiceType, 0);
      }
      break;
    case 0xE6:
      Report(kMftkDataError);
      t.AddNop(delta);
      break;
    default:  // E7
      t.AddControl(delta, v, kKindMfiBendRange, data % 64);
      break;
  }
}

void MFiTrack::JoinOverlaps() {
  if ((device_type >= 6 && device_type <= 9) || device_type == 32) {
    JoinSamePitchOverlaps();
  } else {
    JoinVoiceOverlaps();
  }
  events->Compact();
}

void MFiTrack::ReadVoiceExclusive(const uint8_t* d, size_t n, int32_t delta) {
  // d: the bytes after FF FF (2-byte length, then the data).
  MobileTrack& t = *events;
  auto starts = [&](std::initializer_list<uint8_t> p) {
    if (n < p.size()) return false;
    return std::equal(p.begin(), p.end(), d);
  };
  auto at = [&](size_t i) -> int32_t { return i < n ? d[i] : 0; };
  // Data byte k is at d[2 + k].
  const int32_t value = (at(2 + 4) & 1) * 64 + at(2 + 5) % 64;
  if (starts({0x00, 0x07, 0x71, 0xB0, 0x01})) {
    t.AddControl(delta, kAllVoices, kKindVoiceValue78, value);
  } else if (starts({0x00, 0x07, 0x71, 0xB1, 0x01}) || starts({0x00, 0x07, 0x31, 0xB1, 0x01, 0x00})) {
    t.AddControl(delta, kAllVoices, kKindVoiceValue77, value);
  } else if (starts({0x00, 0x07, 0x31, 0xB0, 0x01, 0x00})) {
    t.AddControl(delta, kAllVoices, kKindVoiceValue78, value);
  } else if (starts({0x00, 0x13, 0x31, 0x10, 0x08}) || starts({0x00, 0x14, 0x11, 0x01, 0xF2, 0x07})) {
    const size_t first = d[1] == 0x13 ? 3 : 4;
    bool any = false;
    for (int v = 0; v < 16; ++v) {
      const int32_t flags = at(2 + first + v);
      if (flags & 2) {
        t.AddControl(any ? 0 : delta, kAllVoices, kKindVoiceFlag75, v);
        any = true;
      }
      if (flags & 1) {
        t.AddControl(any ? 0 : delta, kAllVoices, kKindVoiceFlag76, v);
        any = true;
      }
    }
    if (!any) t.AddNop(delta);
  } else {
    t.AddNop(delta);
  }
}

void MFiTrack::JoinSamePitchOverlaps() {
  auto& ev = events->events;
  for (size_t i = 0; i < ev.size(); ++i) {
    MobileEvent& note = *ev[i];
    if (!note.IsNote() || note.voice < 0 || note.voice > 15 || voice_kinds[note.voice & 3] != 2)
      continue;
    int64_t remaining = note.duration;
    for (size_t j = i + 1; j < ev.size(); ++j) {
      remaining -= ev[j]->delta;
      if (remaining < 1) break;
      MobileEvent& other = *ev[j];
      if (other.IsNote() && other.voice == note.voice && other.note == note.note) {
        if (other.duration > remaining) {  // a piece inside the note changes nothing
          note.duration = static_cast<int32_t>(
              std::min<int64_t>(note.duration + other.duration - remaining, INT32_MAX));
          remaining = other.duration;
        }
        other.status = kMobileEmpty;
      }
    }
  }
}

void MFiTrack::JoinVoiceOverlaps() {
  auto& ev = events->events;
  int64_t remaining[16] = {};
  MobileEvent* last[16] = {};
  for (auto& e : ev) {
    for (auto& r : remaining) r = std::max<int64_t>(0, r - e->delta);
    if (!e->IsNote() || e->voice < 0 || e->voice > 15) continue;
    const int v = e->voice;
    if (remaining[v] > 0 && last[v] != nullptr) {
      // The later piece starts while the earlier one sounds: the joined note ends where the
      // later of the two ends (the overlap is counted once).
      if (e->duration > remaining[v]) {
        last[v]->duration = static_cast<int32_t>(std::min<int64_t>(
            int64_t{last[v]->duration} - remaining[v] + e->duration, INT32_MAX));
        remaining[v] = e->duration;
      }
      e->status = kMobileEmpty;
      continue;
    }
    last[v] = e.get();
    remaining[v] = e->duration;
  }
}

void MFiTrack::ScaleTimebase(int32_t new_base) {
  const int32_t base = timebase > 0 ? timebase : 48;
  if (base == new_base || new_base <= 0) return;
  const double f = static_cast<double>(new_base) / base;
  for (auto& e : events->events) {
    e->delta = static_cast<int32_t>(std::min<double>(e->delta * f, INT32_MAX));
    const bool sounding = e->IsNote() && e->duration > 0;
    e->duration = static_cast<int32_t>(std::min<double>(f * e->duration, INT32_MAX));
    if (sounding && e->duration < 1) e->duration = 1;  // a short note stays a note
  }
  timebase = new_base;
}

// ---- preparing ----

void MFiTrack::SplitLongDeltas() {
  auto& ev = events->events;
  int64_t fillers = 0;
  for (const auto& e : ev)
    if (e->delta > 255) fillers += (e->delta - 1) / 255;
  if (fillers * 4 + int64_t(ev.size()) * 4 > int64_t(kMfiTrackBlock) ||
      fillers + int64_t(ev.size()) > kMobileTrackEventLimit) {
    Report(kMftkSizeOver);
    overflow_ = true;
    return;
  }
  MobileEventList out;
  out.reserve(ev.size() + static_cast<size_t>(fillers));
  for (auto& e : ev) {
    while (e->delta > 255) {
      out.push_back(NewMobileControl(255, kAllVoices, kKindFiller, 0));
      e->delta -= 255;
    }
    out.push_back(std::move(e));
  }
  ev.swap(out);
}

bool MFiTrack::SplitLongNotes() {
  auto& ev = events->events;
  int64_t copies = 0;
  for (const auto& e : ev)
    if (e->IsNote() && e->duration > 255) copies += (int64_t{e->duration} - 2) / 254;
  if ((copies + int64_t(ev.size())) * 4 > int64_t(kMfiTrackBlock) ||
      copies + int64_t(ev.size()) > kMobileTrackEventLimit) {
    Report(kMftkSizeOver);
    overflow_ = true;
    return false;
  }
  for (size_t i = 0; i < ev.size(); ++i) {
    if (!ev[i]->IsNote() || ev[i]->duration <= 255) continue;
    auto copy = std::make_unique<MobileEvent>(*ev[i]);
    copy->duration = ev[i]->duration - 254;
    ev[i]->duration = 255;
    // Find where tick start + 254 falls after the note.
    int64_t left = 254;
    size_t j = i + 1;
    for (; j < ev.size(); ++j) {
      const MobileEvent& next = *ev[j];
      if (next.delta > left || (next.delta == left && next.IsControl(kKindEndOfTrack))) break;
      left -= next.delta;
    }
    if (j < ev.size()) {
      ev[j]->delta -= static_cast<int32_t>(left);
      copy->delta = static_cast<int32_t>(left);
      ev.insert(ev.begin() + static_cast<long>(j), std::move(copy));
    } else if (!ev.empty() && ev.back()->IsControl(kKindEndOfTrack) && j - 1 > i) {
      // The track ends earlier: the end moves behind the copy.
      MobileEvent& end = *ev.back();
      const int64_t before_end = left + end.delta;
      copy->delta = static_cast<int32_t>(before_end);
      end.delta = 0;
      ev.insert(ev.end() - 1, std::move(copy));
    } else {
      copy->delta = static_cast<int32_t>(left);
      ev.push_back(std::move(copy));
    }
  }
  return true;
}

void MFiTrack::PlaceMarkers() {
  MobileTrack& t = *events;
  auto& ev = t.events;
  int32_t points = 0;
  for (size_t i = 0; i + 1 < ev.size(); ++i) points += ev[i]->IsControl(kKindStartStop);
  if (points == 2) {
    for (auto& e : ev)
      if (e->IsControl(kKindStartStop)) {
        e->number = kKindMarker;
        e->value = e->value == 0 ? 0 : 1;
      }
    t.DeleteKind(kKindEndOfTrack);
    return;
  }
  if (points != 0) {
    ErrorMsg(kMftkBadLoop);
    return;
  }
  if (index != 0) {
    t.DeleteKind(kKindEndOfTrack);
    return;
  }
  int32_t first = -1;
  for (int32_t i = 0; i < t.event_count(); ++i)
    if (ev[i]->IsNote() || ev[i]->IsControl(kKindTempo)) {
      first = i;
      break;
    }
  t.InsertEvent(first < 0 ? 0 : first, 2, NewMobileControl(0, kAllVoices, kKindMarker, 0));
  for (int32_t i = 0; i < t.event_count(); ++i) {
    if (!ev[i]->IsControl(kKindEndOfTrack)) continue;
    ev[i]->number = kKindMarker;
    ev[i]->value = 1;
    if (i != t.event_count() - 1) ErrorMsg(kMftkAfterStop);
    return;
  }
  // No End of Track: a stop where the last note ends.
  const std::vector<int64_t> ticks = MobileEventTicks(ev);
  int64_t end = ticks.empty() ? 0 : ticks.back();
  for (size_t i = 0; i < ev.size(); ++i)
    if (ev[i]->IsNote()) end = std::max(end, ticks[i] + ev[i]->duration);
  t.AddControl(static_cast<int32_t>(end - (ticks.empty() ? 0 : ticks.back())), kAllVoices,
               kKindMarker, 1);
}

void MFiTrack::MoveToFrontForModel5() {
  MobileTrack& t = *events;
  for (uint32_t kind : {uint32_t{kKindRawExtended}, uint32_t{kKindMasterVolume},
                        uint32_t{kKindTempo}, uint32_t{kKindMarker}}) {
    for (int32_t i = 0; i < t.event_count(); ++i) {
      MobileEvent& e = *t.events[i];
      if (!e.IsControl(kind) || (kind == kKindMarker && e.value != 0)) continue;
      auto moved = std::make_unique<MobileEvent>(e);
      moved->delta = 0;
      e.status = kMobileEmpty;  // its delta stays in the track
      t.events.insert(t.events.begin(), std::move(moved));
      break;
    }
  }
  for (int32_t i = 0; i < t.event_count(); ++i) {
    MobileEvent& e = *t.events[i];
    if (!(e.IsControl(kKindMarker) && e.value == 1)) continue;
    t.InsertEvent(i, 2, NewMobileControl(e.delta, kAllVoices, kKindFiller, 0));
    t.events[i + 1]->delta = 0;
    return;
  }
  if (!t.events.empty()) {
    const int32_t d = t.events.back()->delta;
    t.AddControl(d, kAllVoices, kKindFiller, 0);
  }
}

void MFiTrack::Prepare(int model) {
  const int64_t length_before = model == 5 ? events->GetLength() : 0;
  SplitLongDeltas();
  if (overflow_ || !SplitLongNotes()) return;
  if (device_type != kMfiCmid16) PlaceMarkers();
  if (model == 5) MoveToFrontForModel5();
  if (device_type == 5 && index >= 1)
    for (auto& e : events->events)
      if (e->IsControl(kKindMarker)) e->number = kKindFiller;
  events->Compact();
  if (model == 5 && !events->events.empty()) {
    const int64_t grow = length_before - events->GetLength();
    events->events.back()->delta =
        static_cast<int32_t>(std::max<int64_t>(0, events->events.back()->delta + grow));
    SplitLongDeltas();
  }
}

void MFiTrack::Build(int model) {
  Prepare(model);
  Write(model);
}

// ---- writing ----

bool MFiTrack::NoteBytes(int32_t v, int32_t note, int32_t velocity, bool four, uint8_t* key,
                         uint8_t* third) {
  const int32_t kind = voice_kinds[v & 15];
  int32_t k, code = 0;
  bool drum_255 = false;
  if (kind == 2) {
    k = note - 45;
    int32_t e = 0;
    while (k < 0) {
      k += 12;
      ++e;
    }
    while (k > 62) {
      k -= 12;
      --e;
    }
    code = OctaveCodeOfShift(e);
    if (code < 0 || (!four && e != 0)) {
      Warn(kMftkRange);
      code = 0;
    }
  } else if (kind == 1) {
    if (DrumOffset35Type(device_type)) {
      k = note - 35;
      if (k < 0 || k > 62) {
        Report(kMftkBadDrum);
        return false;
      }
    } else if (device_type == 255 || device_type == 254) {
      k = DrumKeyOfNote(note);
      if (k < 0) {
        Report(kMftkBadDrum);
        return false;
      }
      drum_255 = true;
    } else {
      Report(kMftkBadDrum);
      return false;
    }
  } else {
    Report(kMftkBadVoiceType);
    return false;
  }
  *key = static_cast<uint8_t>(k);
  *third = drum_255 ? static_cast<uint8_t>(DrumThirdByte(note, velocity))
                    : static_cast<uint8_t>(code + (Clamp(velocity, 0, 127) / 2) * 4);
  return true;
}

void MFiTrack::EncodeNote(const MobileEvent& e, std::vector<uint8_t>& out) {
  if (e.voice < 0 || e.voice > 3) {
    Report(kMftkBadChannel);
    Nop(out);
    return;
  }
  const bool four = FourByteType(device_type) && device_type != 250;
  uint8_t key = 0, third = 0;
  if (!NoteBytes(e.voice, e.note, e.velocity, four, &key, &third)) {
    Nop(out);
    return;
  }
  out.push_back(static_cast<uint8_t>(e.voice * 64 + key));
  out.push_back(static_cast<uint8_t>(e.duration & 0xFF));
  if (four) out.push_back(third);
}

// A program as its bank (E1, melodic banks from 2, drum banks from 4) and, a tick-less step
// later, its number within the bank (E0).
void MFiTrack::EncodeProgram(const MobileEvent& e, int first_bank, std::vector<uint8_t>& out) {
  const int32_t c = (e.voice & 3) * 64;
  const int32_t p = Clamp(e.value, 0, 127);
  PutControl(out, 0xE1, c + p / 64 + first_bank);
  out.push_back(0);
  PutControl(out, 0xE0, c + p % 64);
}

// A bend: the types with bends write E4, some models after a range byte of their own; the
// others have no bend.
void MFiTrack::EncodePitchBend(const MobileEvent& e, int model, std::vector<uint8_t>& out) {
  const int32_t t = device_type;
  const int32_t c = (e.voice & 3) * 64;
  const int32_t b = Clamp(e.value, 0, 127);
  if (t == 6 || t == 7 || t == 32 || t == 250) {
    if (model == 1 || model == 2 || model == 6) {
      PutControl(out, 0xE8, c + (b % 2 ? 48 : 32));
      out.push_back(0);
      return PutControl(out, 0xE4, c + b / 2);
    }
    if (model == 8 || model == 10 || model == 11 || (model >= 14 && model <= 16) ||
        (model >= 18 && model <= 20) || model == 22) {
      PutControl(out, 0xE9, c + (b % 2 ? 16 : 32));
      out.push_back(0);
      return PutControl(out, 0xE4, c + std::min(63, b / 2 + b % 2));
    }
    return PutControl(out, 0xE4, c + b / 2);
  }
  if (t == 8) {
    Warn(kMftkNoBend);
  } else if (t == 9) {
    Warn(kMftkNoBend16);
  } else {
    Report(kMftkInternal);
  }
  Nop(out);
}

// Data events: the 43-byte voice block (FF F0) and raw extended events, whose bytes after
// the leading FF must make one whole event.
void MFiTrack::EncodeDataEvent(const MobileEvent& e, std::vector<uint8_t>& out) {
  if (e.number == kKindVoiceBlock) {
    if (e.data_length != 43 || e.data == nullptr) {
      Report(kMftkBadExclusive);
      return Nop(out);
    }
    out.push_back(0xFF);
    out.push_back(0xF0);
    out.insert(out.end(), e.data, e.data + 43);
    return;
  }
  const uint8_t* d = e.data;
  const int32_t n = d ? e.data_length : 0;
  bool whole = false;
  if (n >= 3 && d[0] == 0xFF) whole = 3 + ((d[1] << 8) | d[2]) == n;
  else if (n == 44 && d[0] == 0xF0) whole = true;
  else if (n == 2 && d[0] != 0xFF && d[0] != 0xF0) whole = true;
  if (!whole) {
    Report(kMftkBadExclusive);
    return Nop(out);
  }
  out.push_back(0xFF);
  out.insert(out.end(), d, d + n);
}

void MFiTrack::EncodeControl(const MobileEvent& e, int model, std::vector<uint8_t>& out) {
  const int32_t t = device_type;
  const int32_t c = (e.voice & 3) * 64;
  const int32_t value = e.value;
  switch (e.number) {
    case kKindProgram:
      if (t == 255 && voice_kinds[e.voice & 15] == 1) return Nop(out);
      return EncodeProgram(e, 2, out);
    case kKindDrumBankProgram:
      return EncodeProgram(e, 4, out);
    case kKindVoiceType:
      if (BaType(t)) {
        if (e.voice < 0 || e.voice > 15) {
          Report(kMftkBadChannel);
          return Nop(out);
        }
        return PutControl(out, 0xBA, e.voice * 8 + (value == 1 ? 1 : 0));
      }
      if (t == 255 && value == 1) return PutControl(out, 0xE5, c + 9);
      if (value == 1 && t != 255) Report(kMftkInternal);
      return Nop(out);
    case kKindExpression:
    case kKindFiller:
      return Nop(out);
    case kKindVolume:
      return PutControl(out, 0xE2, c + Clamp(value, 0, 127) / 2);
    case kKindPan:
      if (t == 6 || t == 7 || t == 9) return PutControl(out, 0xE3, c + Clamp(value, 0, 127) / 2);
      return Nop(out);
    case kKindTempo:
      if (model == 2 || model == 13 || (model >= 21 && model <= 24))
        return PutControl(out, 0xC3, TempoByte(value));
      return PutControl(out, 0xC4, TempoByte(value));
    case kKindPitchBend:
      return EncodePitchBend(e, model, out);
    case kKindBendRange:
      if (t == 6 || t == 7 || t == 32) return PutControl(out, 0xE7, c + Clamp(value, 0, 63));
      return Nop(out);
    case kKindMfiBendRange:
      return PutControl(out, 0xE7, c + Clamp(value, 0, 63));
    case kKindModulation:
      if (t == 6 || t == 7 || t == 32) return PutControl(out, 0xEA, c + Clamp(value, 0, 127) / 2);
      return Nop(out);
    case kKindMasterVolume:
      return PutControl(out, 0xB0, Clamp(value, 0, 127));
    case kKindMarker:
      if (t == 1 && value == 1) return PutControl(out, 0xDF, 0);
      if (t == 7) return PutControl(out, 0xDD, value == 0 ? 0x7C : 0x7D);
      return PutControl(out, 0xD0, value);
    case kKindVoiceBlock:
    case kKindRawExtended:
      return EncodeDataEvent(e, out);
    case kKindMfiDD:
      return PutControl(out, 0xDD, value);
    case 66:
      Report(kMftkBadTempo);
      return Nop(out);
    default:
      Report(kMftkBadCommand);
      return Nop(out);
  }
}

void MFiTrack::EncodeEvent(const MobileEvent& e, int model, std::vector<uint8_t>& out) {
  if (e.status == kMobileEmpty) return Nop(out);
  if (e.status == kMobileNote) return EncodeNote(e, out);
  if (e.status == kMobileControl) {
    if (e.number == kKindExclusive) {
      Report(kMftkBadExclusive);  // raw MIDI bytes have no place in a track
      return Nop(out);
    }
    return EncodeControl(e, model, out);
  }
  Report(kMftkBadEventType);
  Nop(out);
}

void MFiTrack::WriteSlotAssign(int32_t voice, bool drum, std::vector<uint8_t>& out,
                               int32_t delta) {
  const int32_t slot = voice % 4;
  if (voice == 9 && !drum) Report(kMftkDrumOperation);
  out.push_back(static_cast<uint8_t>(delta));
  out.push_back(0xFF);
  out.push_back(0xE5);
  out.push_back(static_cast<uint8_t>(slot * 64 + (drum ? 9 : voice)));
  cmid_slots_[slot] = voice;
}

void MFiTrack::EncodeCmidEvent(const MobileEvent& e, std::vector<uint8_t>& out) {
  // out holds the delta byte already; a slot assignment goes in front with that delta.
  const int32_t v = e.voice;
  const bool bound = v >= 0 && v < 16 && MobileTrack::IsVoiceEvent(e);
  const bool drum = bound && voice_kinds[v] == 1;
  const int32_t slot = bound ? v % 4 : 0;
  auto assign_if_needed = [&](bool always) {
    if (!bound || (!always && cmid_slots_[slot] == v)) return;
    const uint8_t delta = out.back();
    out.pop_back();
    WriteSlotAssign(v, drum, out, delta);
    out.push_back(0);
  };
  if (e.status == kMobileEmpty) return Nop(out);
  if (e.status == kMobileNote) {
    uint8_t key = 0, third = 0;
    if (!bound || !NoteBytes(v, e.note, e.velocity, true, &key, &third)) return Nop(out);
    assign_if_needed(false);
    out.push_back(static_cast<uint8_t>(slot * 64 + key));
    out.push_back(static_cast<uint8_t>(e.duration & 0xFF));
    out.push_back(third);
    return;
  }
  if (e.status != kMobileControl) {
    Report(kMftkDataError);
    return Nop(out);
  }
  switch (e.number) {
    case kKindProgram: {
      assign_if_needed(false);
      if (drum || !bound) return Nop(out);
      const int32_t p = Clamp(e.value, 0, 127);
      PutControl(out, 0xE1, slot * 64 + p / 64 + 2);
      out.push_back(0);
      return PutControl(out, 0xE0, slot * 64 + p % 64);
    }
    case kKindVoiceType:
      if (e.value == 1 && bound) {
        voice_kinds[v] = 1;
        const uint8_t delta = out.back();
        out.pop_back();
        WriteSlotAssign(v, true, out, delta);
        out.push_back(0);
      }
      return Nop(out);
    case kKindFiller:
      return Nop(out);
    case kKindVolume:
      assign_if_needed(false);
      return PutControl(out, 0xE2, slot * 64 + Clamp(e.value, 0, 127) / 2);
    case kKindTempo:
      return PutControl(out, 0xC4, TempoByte(e.value));
    case kKindExclusive:
      Report(kMftkBadExclusive);
      return Nop(out);
    default:
      Report(kMftkBadCommand);
      return Nop(out);
  }
}

void MFiTrack::RefreshVoiceKinds() {
  for (int v = 0; v < 16; ++v) voice_kinds[v] = events->voice_kinds[v];
}

void MFiTrack::PrepareCmid() {
  MobileTrack& t = *events;
  for (int v = 0; v < 16; ++v) t.voice_kinds[v] = t.GetVoiceKind(v);
  if (t.voice_kinds[9] != 1) {
    // A melodic voice 9 moves to the first voice without events, and the first drum voice
    // takes its place (moving the drum on afterwards would lose what was just set up).
    for (int v = 0; v < 16; ++v) {
      if (v == 9) continue;
      if (t.voice_kinds[v] == 1 && t.HasVoice(v)) {
        t.SwapVoices(v, 9);
        RefreshVoiceKinds();
        break;
      }
      if (!t.HasVoice(v) && t.HasVoice(9)) {
        t.MoveVoice(9, v);
        RefreshVoiceKinds();
      }
    }
  }
  RefreshVoiceKinds();
  for (auto& e : t.events)
    if (e->IsControl(kKindVoiceType) && e->value != 1) e->status = kMobileEmpty;
  // The first tempo stands just before the first note after it.
  for (int32_t i = 0; i < t.event_count(); ++i) {
    if (!t.events[i]->IsControl(kKindTempo)) continue;
    int32_t j = i + 1;
    while (j < t.event_count() && !t.events[j]->IsNote()) ++j;
    if (j < t.event_count() && j > i + 1) {
      auto tempo = std::move(t.events[i]);
      const int32_t d = tempo->delta;
      t.events.erase(t.events.begin() + i);
      t.events[i]->delta += d;  // the event after it takes the delta
      --j;
      tempo->delta = t.events[j]->delta;
      t.events[j]->delta = 0;
      t.events.insert(t.events.begin() + j, std::move(tempo));
    }
    break;
  }
  t.Compact();
}

void MFiTrack::InsertVoiceBlock() {
  uint8_t block[43] = {0x00, 0x29, 0x01};
  for (int v = 0; v < 4; ++v) {
    const int32_t program = std::max(0, events->GetVoiceKindValue(v, kKindProgram));
    const uint8_t* row = Type252VoiceRow(program);
    uint8_t* r = block + 3 + 10 * v;
    r[0] = static_cast<uint8_t>(v * 32 + 1);
    std::memcpy(r + 1, row + 1, 8);
    r[9] = 1;
  }
  MobileTrack& t = *events;
  for (int32_t i = 0; i < t.event_count(); ++i) {
    if (!(t.events[i]->IsControl(kKindMarker) && t.events[i]->value == 0)) continue;
    auto e = NewMobileControl(0, kAllVoices, kKindVoiceBlock, 0);
    e->SetData(block, 43);
    e->delta = t.events[i]->delta;
    t.events[i]->delta = 0;
    t.InsertEvent(i, 2, std::move(e));
    return;
  }
}

void MFiTrack::Write(int model) {
  written_.clear();
  written_length = 0;
  if (overflow_) return;
  for (auto& s : cmid_slots_) s = static_cast<int32_t>(&s - cmid_slots_);
  if (device_type == kMfiCmid16) PrepareCmid();
  if (device_type == kMfiType252) InsertVoiceBlock();
  std::vector<uint8_t> out;
  out.reserve(8 + events->events.size() * 4 + 4);
  out.insert(out.end(), id, id + 4);
  out.insert(out.end(), 4, 0);
  std::vector<uint8_t> scratch;
  for (const auto& e : events->events) {
    if (e->delta > 255 || e->delta < 0) Report(kMftkDataError);
    scratch.clear();
    scratch.push_back(static_cast<uint8_t>(e->delta & 0xFF));
    if (device_type == kMfiCmid16) {
      EncodeCmidEvent(*e, scratch);
    } else {
      EncodeEvent(*e, model, scratch);
    }
    if (scratch.size() > kMfiScratch || out.size() + scratch.size() + 4 > kMfiTrackBlock) {
      Report(kMftkSizeOver);
      overflow_ = true;
      return;
    }
    out.insert(out.end(), scratch.begin(), scratch.end());
  }
  const uint8_t end[4] = {0x00, 0xFF, 0xDF, 0x00};
  out.insert(out.end(), end, end + 4);
  ByteWriter(out.data() + 4, 4).U32Be(static_cast<uint32_t>(out.size() - 8));
  written_ = std::move(out);
  written_length = static_cast<int32_t>(written_.size());
}

// ---- small queries ----

int32_t MFiTrack::LastNoteLength() const {
  for (auto it = events->events.rbegin(); it != events->events.rend(); ++it)
    if ((*it)->IsNote()) return (*it)->duration;
  return 0;
}

int MFiTrack::CountUsedVoices(int* flags) const {
  for (int v = 0; v < 4; ++v) flags[v] = 0;
  for (const auto& e : events->events)
    if (e->status != kMobileEmpty && e->voice >= 0 && e->voice < 4) flags[e->voice] = 1;
  return flags[0] + flags[1] + flags[2] + flags[3];
}

void MFiTrack::CopyFrom(const MFiTrack& other) {
  std::copy(std::begin(other.voice_kinds), std::end(other.voice_kinds), voice_kinds);
  device_type = other.device_type;
  timebase = other.timebase;
  events = std::make_unique<MobileTrack>(*other.events, other.events->capacity);
}

void MFiTrack::ClearMarkers() {
  for (auto& e : events->events)
    if (e->IsControl(kKindMarker)) e->status = kMobileEmpty;
}

void MFiTrack::AppendEvents(const MobileTrack& source) {
  for (const auto& e : source.events) events->AddEvent(*e);
}

int32_t MFiTrack::FindProgramVoice(int32_t program) const {
  for (const auto& e : events->events)
    if (e->IsControl(kKindProgram) && e->value == program) return e->voice;
  return -1;
}

int32_t MFiTrack::FirstKindValue(uint32_t kind) const {
  for (const auto& e : events->events)
    if (e->IsControl(kind)) return e->value;
  return 0xFFFF;
}
