// MFi files: header, information chunks, the melo and cmid forms, and the multi-track form.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "export/ringtone/mfi.h"
#include "export/ringtone/voice_tables.h"
#include "platform/core/message_sink.h"
#include "util/byte_cursor.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MFDT", "MFiデータでエラーが発生しました。",
      {{kMfdtInternal, "MFiデータ処理で内部エラーが発生しました。"},
       {kMfdtTooManyTracks, "トラックの数が多すぎます。"},
       {kMfdtVoiceCount, "読み込んだファイルのボイス数が設定と一致していません。"},
       {kMfdtBadTrack, "MFiのトラックの指定に誤りがあります。"},
       {kMfdtUndefinedEvent, "MFiで未定義のイベントが指定されました。"},
       {kMfdtBadChannel, "MFiのチャネルの指定に誤りがあります。"},
       {0x20000008, "MFiでメモリの割り当てに失敗しました。"},
       {kMfdtShaping,
        "機種ごとのデータ整形でエラーが発生しました。おそらく変換には問題ありません。"},
       {kMfdt16Voice, "16ボイスPMDの読み込みは、サポートしていません。"},
       {kMfdtChannels, "使用されているチャネル数に問題があります。"},
       {kMfdtChannels2, "使用されているチャネル数に問題があります。"},
       {kMfdtTargetChannel, "目的のチャネルに問題があります。"},
       {kMfdtTargetTrack, "目的のチャネルとトラックに問題があります。"},
       {kMfdtDrumInfo, "ドラムの情報に問題があります。"}});
  return reporter;
}

ModuleErrorReporter& HeaderReporter() {
  static ModuleErrorReporter reporter(
      "MFHD", "MFiのヘッダでエラーが発生しました。",
      {{kMfhdInternal, "MFiのヘッダで内部エラーが発生しました。"},
       {kMfhdBadType, "MFiのボイスタイプに誤りがあります。"},
       {kMfhdBadHeader, "MFiのヘッダに誤りがあります。"}});
  return reporter;
}

void ReportOnce(uint32_t code) {
  if (RingtoneReports().Once(code)) MFiData::ErrorMsg(code);
}

bool MultiType(int32_t t) { return (t >= 6 && t <= 9) || t == 32; }
bool FourTrackType(int32_t t) { return (t >= 4 && t <= 9) || t == 32 || t == 255; }

const char* VersText(int32_t t) {
  if (t == 1 || t == 252) return "0100";
  if (t == 6 || t == 7 || t == 32) return "0300";
  if (t == 4 || t == 5 || t == 8 || t == 9 || t == 254 || t == 255) return "0200";
  return nullptr;
}

}  // namespace

// ---- header ----

void MFiHeader::ErrorMsg(uint32_t code) { HeaderReporter().ErrorMsg(code); }

MFiHeader::MFiHeader(int32_t type) : device_type(type) {
  if (type == 4) {
    version = 257;
  } else if ((type >= 5 && type <= 9) || type == 32) {
    version = 258;
  } else if (type == 254 || type == 255) {
    std::memcpy(id, "cmid", 4);
    version = 258;
  } else {
    version = 257;
    device_type = 1;
  }
}

bool MFiHeader::Parse(const uint8_t* bytes, size_t size) {
  ByteReader in(bytes, size);
  in.Bytes(id, 4);
  in.Skip(4);
  header_length = in.U16Be();
  const int low = in.U8(), high = in.U8();
  track_byte = in.U8();
  if (!in.ok()) {
    ErrorMsg(kMfhdBadHeader);  // fewer than the 13 header bytes
    device_type = kMfiUnknownId;
    return false;
  }
  version = high * 256 + low;
  if (std::memcmp(id, "cmid", 4) == 0) {
    device_type = track_byte == 1 ? kMfiCmid16 : kMfiCmid4;
  } else if (std::memcmp(id, "melo", 4) == 0) {
    device_type = track_byte;
  } else {
    ErrorMsg(kMfhdBadType);
    device_type = kMfiUnknownId;
    return false;
  }
  return true;
}

void MFiHeader::Write(int32_t info_length, int64_t track_length) {
  if (3 + info_length > 9999) ErrorMsg(kMfhdBadHeader);
  ByteWriter out(written, sizeof written);
  out.Bytes(id, 4);
  out.U32Be(static_cast<uint32_t>(5 + info_length + track_length));
  out.U16Be(static_cast<uint32_t>(3 + info_length));
  out.U8(static_cast<uint8_t>(version & 0xFF));
  out.U8(static_cast<uint8_t>(version >> 8));
  uint8_t tracks = 0;
  if (device_type == 1 || device_type == 254) {
    tracks = 1;
  } else if (FourTrackType(device_type)) {
    tracks = 4;
  } else {
    ErrorMsg(kMfhdBadType);
  }
  out.U8(tracks);
  written_length = 13;
}

// ---- information chunks ----

const char* const MFiInfoList::kIds[kSlots] = {"titl", "sorc", "vers", "code", "date", "copy",
                                               "prot", "note", "exst", "supt", "auth"};

void MFiInfoList::Set(int slot, const char* chunk_id, const void* data, size_t n) {
  auto c = std::make_unique<MFiInfoChunk>();
  std::memcpy(c->id, chunk_id, 4);
  c->length = static_cast<int32_t>(std::min(n, kMfiInfoData));
  if (c->length) std::memcpy(c->data, data, static_cast<size_t>(c->length));
  chunks[slot] = std::move(c);
}

const MFiInfoChunk* MFiInfoList::Find(const char* chunk_id) const {
  for (const auto& c : chunks)
    if (c && std::memcmp(c->id, chunk_id, 4) == 0) return c.get();
  return nullptr;
}

void MFiInfoList::Build(int32_t type, const std::string& title, const std::string& copyright,
                        uint8_t source) {
  device_type = type;
  for (auto& c : chunks) c.reset();
  Set(0, "titl", title.data(), title.size());
  Set(1, "sorc", &source, 1);
  if (const char* vers = VersText(type)) Set(2, "vers", vers, 4);
  if (type == 254) {
    const uint8_t code = 0x80;
    Set(3, "code", &code, 1);
  } else {
    Set(5, "copy", copyright.data(), copyright.size());
  }
  if ((type >= 4 && type <= 9) || type == 32 || type == 254 || type == 255) {
    const uint8_t note[2] = {0x00, 0x01};
    Set(7, "note", note, 2);
  }
  if (type == 254) {
    const uint8_t exst[2] = {0x00, 0x00};
    Set(8, "exst", exst, 2);
  }
}

void MFiInfoList::Parse(const uint8_t* bytes, size_t size) {
  ByteReader in(bytes, size);
  while (in.remaining() >= 6) {
    char chunk_id[4];
    in.Bytes(chunk_id, 4);
    const uint16_t n = in.U16Be();
    ByteReader data = in.Sub(n);
    for (int slot = 0; slot < kSlots; ++slot)
      if (std::memcmp(chunk_id, kIds[slot], 4) == 0) {
        // The stored data keeps at most its 256 bytes.
        Set(slot, kIds[slot], data.Here(), data.size());
        break;
      }
    if (!in.ok()) break;
  }
}

void MFiInfoList::Write() {
  static const int kCmidOrder[kSlots] = {2, 3, 0, 4, 1, 7, 8, 6, 5, 9, 10};
  written.clear();
  for (int k = 0; k < kSlots; ++k) {
    const int slot = device_type == 254 ? kCmidOrder[k] : k;
    const MFiInfoChunk* c = chunks[slot].get();
    if (c == nullptr) continue;
    uint8_t head[6];
    ByteWriter out(head, 6);
    out.Bytes(c->id, 4);
    out.U16Be(static_cast<uint32_t>(c->length));
    written.insert(written.end(), head, head + 6);
    written.insert(written.end(), c->data, c->data + c->length);
  }
  written_length = static_cast<int32_t>(written.size());
}

// ---- MFiData ----

void MFiData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

int32_t MFiData::TimebaseOfCode(int code) {
  switch (code) {
    case 0xC0: return 6;
    case 0xC1: return 12;
    case 0xC2: return 24;
    case 0xC3: return 48;
    case 0xC5: return 192;
    case 0xC6: return 384;
    case 0xC8: return 15;
    case 0xC9: return 30;
    case 0xCA: return 60;
    case 0xCB: return 120;
    case 0xCC: return 240;
    case 0xCD: return 480;
    case 0xCE: return 960;
    default: return 96;
  }
}

void MFiData::InitVoiceKinds(int32_t* kinds) const {
  const int32_t t = device_type;
  const bool known = t == 1 || (t >= 4 && t <= 9) || t == 32 || t == 250 || t == 252 ||
                     t == 254 || t == 255;
  for (int v = 0; v < 16; ++v) kinds[v] = known ? (v == 9 ? 1 : 2) : 0;
}

MFiData::MFiData(int32_t type, int32_t capacity_value, bool)
    : MusicData(capacity_value), device_type(type) {}

MFiData::MFiData(int32_t type, int32_t capacity_value)
    : MusicData(capacity_value), device_type(type) {
  RingtoneReports().Reset();
  header = std::make_unique<MFiHeader>(type);
  info = std::make_unique<MFiInfoList>();
  info->Build(type, "no title", "no copyright", source_byte);
  tracks[0] = std::make_unique<MFiTrack>(0, type);
  for (int v = 0; v < 16; ++v) tracks[0]->events->voice_kinds[v] = 2;
  track_count = 1;
}

MFiData::MFiData(const std::filesystem::path& path, int32_t type, int32_t capacity_value)
    : MusicData(capacity_value), device_type(type) {
  RingtoneReports().Reset();
  if (Load(path) == 1 && used_size > 0) Parse();
}

MFiData::MFiData(const uint8_t* bytes, size_t length)
    : MusicData(static_cast<int32_t>(std::max<size_t>(length, 1))), device_type(kMfiFromBytes) {
  RingtoneReports().Reset();
  if (bytes && length) std::memcpy(buffer, bytes, length);
  used_size = static_cast<int32_t>(length);
  if (length) Parse();
}

MFiData::MFiData(const MobileData& song, int32_t type, int32_t capacity_value)
    : MusicData(capacity_value), device_type(type) {
  RingtoneReports().Reset();
  if (type == 1 || type == 4 || type == 5 || type == 252 || type == 255) {
    BuildFromMobileData(song);
    KeepLastEndOfTrack();
  } else if (type == 254) {
    BuildCmidFromMobileData(song);
    if (tracks[0]) tracks[0]->events->DeleteKind(kKindEndOfTrack);
  } else {
    ErrorMsg(kMfdtVoiceCount);
  }
}

MFiData::~MFiData() = default;

void MFiData::NewHeaderAndInfo(int32_t type, const MobileData& song) {
  header = std::make_unique<MFiHeader>(type);
  info = std::make_unique<MFiInfoList>();
  info->Build(type, song.title, song.copyright, source_byte);
}

void MFiData::BuildFromMobileData(const MobileData& song) {
  std::vector<std::vector<MobileChannel*>> groups;
  std::vector<MobileChannel*> group;
  bool stopped = false;
  for (MobileChannel* v : song.ActiveVoices()) {
    if (groups.size() == 4) {
      ErrorMsg(kMfdtTooManyTracks);
      stopped = true;
      break;
    }
    group.push_back(v);
    if (group.size() == 4) {
      groups.push_back(group);
      group.clear();
    }
  }
  if (!stopped && !group.empty()) groups.push_back(group);
  NewHeaderAndInfo(device_type, song);
  if (((device_type == 1 || device_type == 252) && groups.size() > 1)) ErrorMsg(kMfdtTooManyTracks);
  if (device_type == 1 || device_type == 252) {
    track_count = 1;
  } else if (FourTrackType(device_type)) {
    track_count = 4;
  } else {
    ErrorMsg(kMfdtVoiceCount);
    track_count = 0;
  }
  for (int32_t j = 0; j < track_count; ++j) {
    if (j < static_cast<int32_t>(groups.size())) {
      MobileTrack merged(groups[j].data(), static_cast<int32_t>(groups[j].size()), capacity);
      tracks[j] = std::make_unique<MFiTrack>(merged, j, device_type, capacity);
    } else {
      tracks[j] = std::make_unique<MFiTrack>(j, device_type);
    }
  }
}

void MFiData::BuildCmidFromMobileData(const MobileData& song) {
  std::vector<MobileChannel*> voices;
  for (MobileChannel* v : song.ActiveVoices()) {
    if (voices.size() == 16) {
      ErrorMsg(kMfdtChannels2);
      break;
    }
    voices.push_back(v);
  }
  MobileTrack merged(voices.data(), static_cast<int32_t>(voices.size()), capacity);
  tracks[0] = std::make_unique<MFiTrack>(merged, 1, device_type, capacity);
  NewHeaderAndInfo(device_type, song);
  track_count = 1;
}

void MFiData::CollectVoiceTypes() {
  MobileEventList collected;
  for (int32_t j = 0; j < track_count; ++j) {
    if (!tracks[j]) continue;
    for (auto& e : tracks[j]->events->events) {
      if (!e->IsControl(kKindVoiceType)) continue;
      const int32_t song_voice = j * 4 + (e->voice & 3);
      if (song_voice > 15 || e->voice < 0 || e->voice > 3) {
        ReportOnce(kMfdtBadChannel);
      } else {
        collected.push_back(NewMobileControl(0, song_voice, kKindVoiceType, e->value));
      }
      e->status = kMobileEmpty;
    }
    tracks[j]->events->Compact();
  }
  if (!tracks[0]) return;
  auto& ev = tracks[0]->events->events;
  ev.insert(ev.begin(), std::make_move_iterator(collected.begin()),
            std::make_move_iterator(collected.end()));
}

void MFiData::WriteFile(int model) {
  used_size = 0;
  if (!header || !info || track_count <= 0) return;  // nothing built or loaded
  info->device_type = device_type;
  info->Write();
  if (device_type == 1 || device_type == 252) {
    DeleteVoiceTypes();
  } else if (device_type != 254 && device_type != 255) {
    CollectVoiceTypes();
  }
  int64_t total = 0;
  for (int32_t j = 0; j < track_count; ++j) {
    if (!tracks[j]) continue;
    tracks[j]->events->Compact();
    tracks[j]->Build(model);
    if (tracks[j]->overflowed()) return;  // reported; no bytes
    total += tracks[j]->written_length;
  }
  header->Write(info->written_length, total);
  const int64_t size = 13 + int64_t{info->written_length} + total;
  if (size > capacity) {
    MFiTrack::ErrorMsg(kMftkSizeOver);
    return;
  }
  ByteWriter out(buffer, static_cast<size_t>(capacity));
  out.Bytes(header->written, 13);
  out.Bytes(info->written.data(), info->written.size());
  for (int32_t j = 0; j < track_count; ++j)
    if (tracks[j]) out.Bytes(tracks[j]->bytes().data(), tracks[j]->bytes().size());
  used_size = static_cast<int32_t>(out.pos());
}

void MFiData::Parse() {
  const uint8_t* bytes = buffer;
  const size_t size = UsedBytes();
  header = std::make_unique<MFiHeader>(1);
  if (!header->Parse(bytes, size)) {
    device_type = kMfiUnknownId;
    track_count = 0;
    return;
  }
  device_type = header->device_type;
  info = std::make_unique<MFiInfoList>();
  if (header->header_length < 3) HeaderReporter().ErrorMsg(kMfhdBadHeader);
  const size_t info_length = std::min<size_t>(
      static_cast<size_t>(std::max(0, header->header_length - 3)), size - 13);
  info->Parse(bytes + 13, info_length);
  info->written_length = static_cast<int32_t>(info_length);
  info->device_type = device_type;
  if (device_type == 254) {
    const MFiInfoChunk* vers = Vers();
    if (vers && vers->length >= 4 && std::memcmp(vers->data, "0200", 4) == 0) {
      device_type = kMfiCmidRead;
    } else {
      ErrorMsg(kMfdt16Voice);
    }
  }
  if (device_type == 1 || device_type == 252) {
    track_count = 1;
  } else if (device_type == 4 || device_type == 5 || device_type == 250 || device_type == 254 ||
             device_type == 255) {
    track_count = 4;
  } else {
    ErrorMsg(kMfdtVoiceCount);
    track_count = 0;
    return;
  }
  if (device_type == 250 || device_type == 254) {
    ParseCmidStream(13 + info_length);
  } else {
    ParseTracks(13 + info_length);
  }
}

void MFiData::ParseTracks(size_t offset) {
  int32_t kinds[16];
  InitVoiceKinds(kinds);
  const size_t size = UsedBytes();
  int32_t timebase = -1;
  for (int32_t j = 0; j < track_count; ++j) {
    if (offset >= size) {
      tracks[j] = std::make_unique<MFiTrack>(j, device_type);  // absent: empty
      continue;
    }
    tracks[j] = std::make_unique<MFiTrack>(buffer + offset, size - offset, j, device_type, kinds,
                                           kMobileCapacity);
    offset += static_cast<size_t>(std::max(tracks[j]->written_length, 1));
    if (tracks[j]->timebase > 0) timebase = tracks[j]->timebase;
  }
  // Voice assignments become voice types at the start of the target track.
  std::vector<std::pair<int32_t, int32_t>> assigned;  // (song-wide voice, data byte)
  for (int32_t j = 0; j < track_count; ++j) {
    for (auto& e : tracks[j]->events->events) {
      if (!e->IsControl(kKindVoiceAssign)) continue;
      assigned.emplace_back(e->value / 8, e->value);
      e->status = kMobileEmpty;
    }
  }
  for (const auto& [s, value] : assigned) {
    const int32_t target = s / 4;
    if (target > 3 || target >= track_count || !tracks[target]) {
      ReportOnce(kMfdtBadTrack);
      continue;
    }
    tracks[target]->voice_kinds[s % 4] = (value & 1) ? 1 : 2;
    tracks[target]->events->InsertEvent(0, 2, NewMobileControl(0, s % 4, kKindVoiceType, value & 1));
  }
  for (int32_t j = 0; j < track_count; ++j) {
    tracks[j]->events->Compact();
    tracks[j]->timebase = timebase > 0 ? timebase : 48;
    tracks[j]->ScaleTimebase(96);
  }
  if (track_count >= 2 && tracks[2]) {
    MobileTrack& t = *tracks[2]->events;
    bool has = false;
    for (const auto& e : t.events)
      if (e->IsControl(kKindVoiceType) && e->voice == 1 && e->value == 1) has = true;
    if (!has) t.InsertEvent(0, 2, NewMobileControl(0, 1, kKindVoiceType, 1));
    const MFiInfoChunk* vers = Vers();
    const bool v300 = vers && vers->length >= 4 && std::memcmp(vers->data, "0300", 4) == 0;
    if (!v300)
      for (auto& e : t.events)
        if (e->IsNote() && e->voice == 1) e->note -= 10;
  }
}

namespace {

// The events of a cmid stream into four tracks: its four slots name channels, each
// channel gets the first free voice of the sixteen (channel 10, the drums, voice 9),
// and every track keeps its own distance since its last event.
class CmidStreamReader {
 public:
  explicit CmidStreamReader(std::unique_ptr<MFiTrack> (&tracks)[4]) : tracks_(tracks) {
    std::fill(std::begin(voice_of_channel_), std::end(voice_of_channel_), -1);
    voice_of_channel_[9] = 9;
    voice_used_[9] = true;
  }

  // One 4-byte event: a delta, then a note (b1 not FF) or a control of the slot b3 / 64.
  void Event(int32_t delta, uint8_t b1, uint8_t b2, uint8_t b3) {
    for (auto& a : acc_) a += delta;
    if (b1 != 0xFF) {
      Note(b1, b2, b3);
    } else {
      Control(b2, b3);
    }
  }

  int32_t timebase() const { return timebase_; }
  bool drums() const { return drums_; }

 private:
  int32_t Take(int32_t track) {
    const int32_t d = static_cast<int32_t>(std::min<int64_t>(acc_[track], INT32_MAX));
    acc_[track] = 0;
    return d;
  }

  int32_t VoiceFor(int32_t channel) {
    if (voice_of_channel_[channel] >= 0) return voice_of_channel_[channel];
    for (int32_t v = 0; v < 16; ++v) {
      if (!voice_used_[v]) {
        voice_used_[v] = true;
        voice_of_channel_[channel] = v;
        return v;
      }
    }
    ReportOnce(kMfdtChannels);
    return -1;
  }

  MobileTrack& TrackOf(int32_t voice) { return *tracks_[voice / 4]->events; }

  void Note(uint8_t b1, uint8_t b2, uint8_t b3) {
    const int32_t channel = slot_channel_[b1 / 64];
    if (channel == 9) {
      int32_t note = MFiTrack::DrumNoteOfKey(b1 % 64, b3 % 4);
      if (note < 0) {
        MFiTrack::Warn(kMftkInternal);
        note = 35;
      }
      drums_ = true;
      tracks_[2]->events->AddNote(Take(2), 1, note, b2, (b3 / 4) * 2);
      return;
    }
    const int32_t v = VoiceFor(channel);
    if (v < 0) return;
    const int32_t note = 45 + b1 % 64 + MFiTrack::OctaveShiftOfCode(b3 & 3);
    TrackOf(v).AddNote(Take(v / 4), v % 4, note, b2, (b3 / 4) * 2);
  }

  void Control(uint8_t b2, uint8_t b3) {
    const int32_t slot = b3 / 64;
    const int32_t channel = slot_channel_[slot];
    MobileTrack& first = *tracks_[0]->events;
    if (b2 == 0xB0) {
      first.AddControl(Take(0), kAllVoices, kKindMasterVolume, b3);
    } else if (b2 >= 0xC0 && b2 <= 0xCF) {
      if (b3 == 0) {
        ReportOnce(kMftkBadTempo);
        return;
      }
      timebase_ = MFiData::TimebaseOfCode(b2);
      first.AddControl(Take(0), kAllVoices, kKindTempo, 60000000 / b3);
    } else if (b2 == 0xD0) {
      first.AddControl(Take(0), kAllVoices, kKindMarker, b3 % 64);
    } else if (b2 == 0xD1 || b2 == 0xDF) {
    } else if (b2 == 0xDE) {
      first.AddNop(Take(0));
    } else if (b2 == 0xE0 || b2 == 0xE2) {
      if (channel == 9) return;
      const int32_t v = VoiceFor(channel);
      if (v < 0) return;
      if (b2 == 0xE0) {
        TrackOf(v).AddControl(Take(v / 4), v % 4, kKindProgram, bank_[channel] * 64 + b3 % 64);
      } else {
        TrackOf(v).AddControl(Take(v / 4), v % 4, kKindVolume, (b3 % 64) * 2);
      }
    } else if (b2 == 0xE1) {
      bank_[channel] = b3 & 1;
    } else if (b2 == 0xE3) {
      first.AddControl(Take(0), kAllVoices, kKindPan, b3 != 0 ? 1 : 0);
    } else if (b2 == 0xE4) {
      const int32_t v = VoiceFor(channel);
      if (v >= 0) TrackOf(v).AddNop(Take(v / 4));
    } else if (b2 == 0xE5) {
      slot_channel_[slot] = b3 % 16;
    } else {
      ReportOnce(kMfdtUndefinedEvent);
    }
  }

  std::unique_ptr<MFiTrack> (&tracks_)[4];
  int64_t acc_[4] = {};
  int32_t slot_channel_[4] = {0, 1, 2, 3};
  int32_t voice_of_channel_[16];
  bool voice_used_[16] = {};
  int32_t bank_[16] = {};
  int32_t timebase_ = -1;
  bool drums_ = false;
};

}  // namespace

void MFiData::ParseCmidStream(size_t offset) {
  for (int32_t j = 0; j < 4; ++j) tracks[j] = std::make_unique<MFiTrack>(j, device_type);
  track_count = 4;
  const size_t size = UsedBytes();
  ByteReader in(buffer + std::min(offset, size), size - std::min(offset, size));
  in.Skip(4);
  const uint32_t length = in.U32Be();
  ByteReader ev = in.Sub(length);
  CmidStreamReader reader(tracks);
  while (ev.remaining() >= 4) {
    const int32_t delta = ev.U8();
    const uint8_t b1 = ev.U8(), b2 = ev.U8(), b3 = ev.U8();
    reader.Event(delta, b1, b2, b3);
  }
  if (reader.drums()) tracks[2]->events->InsertEvent(0, 2, NewMobileControl(0, 1, kKindVoiceType, 1));
  for (int32_t j = 0; j < 4; ++j) {
    tracks[j]->JoinOverlaps();  // long notes come back whole, as from the melo tracks
    tracks[j]->timebase = reader.timebase() > 0 ? reader.timebase() : 48;
    tracks[j]->ScaleTimebase(96);
  }
}

void MFiData::ToMobileData(MobileData& song) const {
  for (int32_t j = 0; j < track_count; ++j)
    if (tracks[j]) song.AddFourChannels(*tracks[j]->events);
  song.division = 96;
}

void MFiData::ScaleVelocities(int32_t percent) {
  for (auto& t : tracks)
    if (t) t->events->ScaleVelocities(percent);
}
void MFiData::ScaleVolumes(int32_t percent) {
  for (auto& t : tracks)
    if (t) t->events->ScaleVolumes(percent);
}
void MFiData::CompactTracks() {
  for (auto& t : tracks)
    if (t) t->events->Compact();
}
void MFiData::SplitLongDeltas() {
  for (auto& t : tracks)
    if (t) t->SplitLongDeltas();
}
void MFiData::KeepLastEndOfTrack() {
  for (auto& t : tracks)
    if (t && t->events->FindKindTime(kMobileControl, kKindEndOfTrack) >= 0)
      t->events->KeepLastOfKind(kKindEndOfTrack);
}
void MFiData::DeleteVoiceTypes() {
  for (auto& t : tracks)
    if (t) t->events->DeleteKind(kKindVoiceType);
}
void MFiData::SetMasterVolume(int32_t value) {
  for (auto& t : tracks)
    if (t) t->events->SetKindValues(kMobileControl, kKindMasterVolume, value);
}
void MFiData::InsertMasterVolume(int32_t value) {
  if (tracks[0]) tracks[0]->events->InsertEvent(0, 2, NewMobileControl(0, kAllVoices, kKindMasterVolume, value));
}
int MFiData::HasMasterVolume() const {
  return tracks[0] && tracks[0]->events->FindKindTime(kMobileControl, kKindMasterVolume) >= 0;
}
void MFiData::EnsureMasterVolume() {
  if (!HasMasterVolume()) InsertMasterVolume(127);
}
int32_t MFiData::FindProgramVoice(int32_t program) const {
  for (int32_t j = 0; j < 4; ++j)
    if (tracks[j]) {
      const int32_t v = tracks[j]->FindProgramVoice(program);
      if (v >= 0) return j * 4 + v;
    }
  return -1;
}
int32_t MFiData::FirstKindValue(uint32_t kind) const {
  for (const auto& t : tracks)
    if (t) {
      const int32_t v = t->FirstKindValue(kind);
      if (v != 0xFFFF) return v;
    }
  return 0xFFFF;
}

void MFiData::InsertModelExclusives(int model) {
  static const uint8_t A[] = {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x01, 0x01};
  static const uint8_t B[] = {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03, 0x05};
  static const uint8_t C[] = {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x0A, 0x01};
  static const uint8_t D[] = {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x04, 0x00};
  static const uint8_t E[] = {0xFF, 0x00, 0x13, 0x31, 0x10, 0x08, 0, 0, 0, 0, 0, 0, 0, 0,
                              0,    0,    0,    0,    0,    0,    0, 0};
  static const uint8_t F[] = {0xFF, 0x00, 0x04, 0x31, 0x10, 0x01, 0x05};
  static const uint8_t G[] = {0xFF, 0x00, 0x04, 0x31, 0x10, 0x11, 0x01};
  static const uint8_t H[] = {0xFF, 0x00, 0x14, 0x11, 0x01, 0xF2, 0x07, 0, 0, 0, 0, 0, 0,
                              0,    0,    0,    0,    0,    0,    0,    0, 0, 0};
  static const uint8_t I[] = {0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03, 0x08};
  static const uint8_t J[] = {0xFF, 0x00, 0x0E, 0x31, 0x8F, 0x81, 0x01, 0x00, 0x89,
                              0x01, 0x00, 0x83, 0x01, 0x00, 0x8B, 0x01, 0x00};
  static const uint8_t K[] = {0xFF, 0x00, 0x0E, 0x71, 0x8F, 0x81, 0x01, 0x00, 0x89,
                              0x01, 0x00, 0x83, 0x01, 0x00, 0x8B, 0x01, 0x00};
  struct Rec {
    const uint8_t* d;
    size_t n;
  };
#define R(x) Rec{x, sizeof x}
  std::vector<Rec> order;  // as they stand at the start of track 0
  switch (model) {
    case 1: order = {R(C), R(B), R(A)}; break;
    case 2: order = {R(B), R(A), R(D)}; break;
    case 3: order = {R(H), R(I), R(A)}; break;
    case 4: order = {R(H), R(B), R(A)}; break;
    case 6: order = {R(E), R(F), R(G)}; break;
    case 7: order = {R(F), R(G)}; break;
    case 8: order = {R(J)}; break;
    case 15: order = {R(K)}; break;
    default: break;
  }
#undef R
  if (!tracks[0]) return;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    auto e = NewMobileControl(0, kAllVoices, kKindRawExtended, 0);
    e->SetDataQuietly(it->d, static_cast<int32_t>(it->n));
    tracks[0]->events->InsertEvent(0, 2, std::move(e));
  }
}

namespace {

// An exclusive record (kind 73) of the bytes; FF and a 2-byte length lead its data.
std::unique_ptr<MobileEvent> Record(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> bytes = {0xFF, static_cast<uint8_t>(body.size() >> 8),
                                static_cast<uint8_t>(body.size() & 0xFF)};
  bytes.insert(bytes.end(), body.begin(), body.end());
  auto e = NewMobileControl(0, kAllVoices, kKindRawExtended, 0);
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

void AppendRow(std::vector<uint8_t>& body, MfiVoiceTable table, int32_t key) {
  const uint8_t* row = MfiVoiceRow(table, key);
  body.insert(body.end(), row, row + MfiVoiceRowSize(table));
}

bool InDrumTable(int32_t note) { return note >= 35 && note <= 81; }

// The drum notes the voice records describe: a note the table lacks is reported, and model
// 5 and 25 rows use entry 0 for it, the others leave it out.
std::vector<int32_t> TableDrums(const std::vector<int32_t>& drums, bool program_rows) {
  std::vector<int32_t> table_drums;
  for (int32_t note : drums) {
    if (InDrumTable(note)) {
      table_drums.push_back(note);
    } else {
      ReportOnce(kMfdtDrumInfo);
      if (program_rows) table_drums.push_back(35);
    }
  }
  return table_drums;
}

// The voice records of a model, in the order they stand (none for a model without).
std::vector<std::unique_ptr<MobileEvent>> VoiceRecords(int model, const std::vector<int32_t>& programs,
                                                       const std::vector<int32_t>& table_drums) {
  std::vector<std::unique_ptr<MobileEvent>> records;
  const int32_t total = static_cast<int32_t>(programs.size() + table_drums.size());
  switch (model) {
    case 1:
    case 2: {
      std::vector<uint8_t> drum_rows = {0x11, 0x01, 0xF0, 0x05};
      for (int32_t note : table_drums) AppendRow(drum_rows, MfiVoiceTable::kDrum18, note);
      std::vector<uint8_t> voice_rows = {0x11, 0x01, 0xF0, 0x04};
      for (int32_t p : programs) AppendRow(voice_rows, MfiVoiceTable::kProgram20, p);
      for (int32_t note : table_drums) AppendRow(voice_rows, MfiVoiceTable::kProgram20, 128 + note);
      records.push_back(Record(drum_rows));
      records.push_back(Record(voice_rows));
      break;
    }
    case 5: {
      std::vector<uint8_t> body = {0x11, 0xF0, 0x01};
      int32_t index = 0;
      for (int32_t note : table_drums) {
        body.insert(body.end(), {0x01, MfiDrumTableByte(note), static_cast<uint8_t>(index++), 0x82,
                                 static_cast<uint8_t>(note - 35)});
        AppendRow(body, MfiVoiceTable::kDrum12, note);
      }
      for (int32_t p : programs) {
        body.insert(body.end(), {0x01, 0x00, static_cast<uint8_t>(index++),
                                 static_cast<uint8_t>(p < 64 ? 2 : 3), static_cast<uint8_t>(p % 64)});
        AppendRow(body, MfiVoiceTable::kProgram12, p);
      }
      records.push_back(Record(body));
      break;
    }
    case 6:
    case 7:
      for (int32_t note : table_drums) {
        std::vector<uint8_t> body = {0x31, 0x10, 0x05};
        AppendRow(body, MfiVoiceTable::kDrum18, note);
        records.push_back(Record(body));
      }
      for (int32_t p : programs) {
        std::vector<uint8_t> body = {0x31, 0x10, 0x04};
        AppendRow(body, MfiVoiceTable::kProgram19, p);
        records.push_back(Record(body));
      }
      break;
    case 25: {
      int32_t countdown = total;
      for (int32_t p : programs) {
        std::vector<uint8_t> body = {0x21, 0x01, 0x02, 0x00, static_cast<uint8_t>(--countdown),
                                     static_cast<uint8_t>(p < 64 ? 2 : 3),
                                     static_cast<uint8_t>(p % 64)};
        AppendRow(body, MfiVoiceTable::kProgram12, p);
        records.push_back(Record(body));
      }
      for (int32_t note : table_drums) {
        std::vector<uint8_t> body = {0x21, 0x01, 0x02, MfiDrumTableByte(note),
                                     static_cast<uint8_t>(--countdown), 0x82,
                                     static_cast<uint8_t>(note - 35)};
        AppendRow(body, MfiVoiceTable::kDrum12, note);
        records.push_back(Record(body));
      }
      break;
    }
    default:
      break;
  }
  return records;
}

}  // namespace

bool MFiData::IsDrumVoiceOf(int32_t track, int32_t voice) const {
  if (track < 0 || track > 3 || !tracks[track] || voice < 0 || voice > 3) return false;
  return tracks[track]->voice_kinds[voice] == 1 || tracks[track]->events->IsDrumVoice(voice);
}

void MFiData::CollectVoicePrograms(bool program_rows, std::vector<int32_t>* programs,
                                   std::vector<int32_t>* drums) {
  auto once = [](std::vector<int32_t>& list, int32_t value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
  };
  for (int32_t j = 0; j < 4; ++j) {
    if (!tracks[j]) continue;
    for (auto& e : tracks[j]->events->events) {
      if (!e->IsControl(kKindProgram)) continue;
      if (IsDrumVoiceOf(j, e->voice)) {
        if (program_rows) {
          once(*drums, e->value);
          e->value = 0;
        }
        continue;
      }
      once(*programs, std::clamp(e->value, 0, 127));
      if (!program_rows) e->number = kKindDrumBankProgram;
    }
  }
  if (!program_rows && tracks[2] && IsDrumVoiceOf(2, 1)) {
    for (const auto& e : tracks[2]->events->events)
      if (e->IsNote() && e->voice == 1) once(*drums, e->note);
  }
}

void MFiData::InsertVoiceData(int model) {
  if (!tracks[0]) return;
  const bool program_rows = model == 5 || model == 25;
  std::vector<int32_t> programs, drums;
  CollectVoicePrograms(program_rows, &programs, &drums);
  std::vector<std::unique_ptr<MobileEvent>> records =
      VoiceRecords(model, programs, TableDrums(drums, program_rows));
  auto& events = tracks[0]->events->events;
  events.insert(events.begin(), std::make_move_iterator(records.begin()),
                std::make_move_iterator(records.end()));
}

void MFiData::SpreadVoicesForModel5() {
  if (track_count != 4 || !tracks[0]) return;
  int used[4];
  if (tracks[0]->CountUsedVoices(used) < 4) {
    ErrorMsg(kMfdtShaping);
    return;
  }
  bool given_up[4] = {};
  for (int32_t j = 1; j < 4; ++j) {
    if (!tracks[j]) tracks[j] = std::make_unique<MFiTrack>(j, device_type);
    int flags[4];
    if (tracks[j]->CountUsedVoices(flags) > 0) continue;
    // The highest melodic voice of track 0 not given up yet; voice 0 stays.
    int32_t voice = -1;
    for (int32_t v = 3; v >= 1 && voice < 0; --v)
      if (used[v] && !given_up[v] && !IsDrumVoiceOf(0, v)) voice = v;
    if (voice < 0) {
      ErrorMsg(kMfdtTargetChannel);
      continue;
    }
    given_up[voice] = true;
    auto moved = std::make_unique<MobileTrack>(*tracks[0]->events, tracks[0]->events->capacity);
    for (int32_t v = 0; v < 4; ++v)
      if (v != voice) moved->DeleteVoice(v);
    tracks[j]->events = std::move(moved);
    tracks[j]->voice_kinds[voice] = tracks[0]->voice_kinds[voice];
    tracks[0]->events->DeleteVoice(voice);
  }
  for (int32_t j = 0; j < 4; ++j) {
    if (!tracks[j]) continue;
    auto& events = tracks[j]->events->events;
    for (auto& e : events)
      if (e->IsControl(kKindVoiceType) && e->value == 0) e->status = kMobileEmpty;
    tracks[j]->events->Compact();
    size_t at = 0;
    if (j == 0) {
      for (size_t i = 0; i < events.size(); ++i)
        if (events[i]->IsControl(kKindRawExtended) || events[i]->IsControl(kKindExclusive)) {
          at = i + 1;
          break;
        }
    }
    std::vector<std::unique_ptr<MobileEvent>> settings;
    for (int32_t v = 3; v >= 0; --v) settings.push_back(NewMobileControl(0, v, kKindVolume, 42));
    for (int32_t v = 3; v >= 0; --v) settings.push_back(NewMobileControl(0, v, kKindProgram, 0));
    // The first event's delta stays where it was: the settings take none.
    events.insert(events.begin() + static_cast<std::ptrdiff_t>(at),
                  std::make_move_iterator(settings.begin()), std::make_move_iterator(settings.end()));
  }
}

void MFiData::ShapeForModel(int model) {
  static const char* kVers[26] = {nullptr, "0400", "0301", "0300", "0300", "0200", "0301",
                                  "0300",  "0301", "0200", "0301", "0301", "0300", "0200",
                                  "0400",  "0301", "0301", "0300", "0400", "0301", "0301",
                                  "0300",  "0301", "0300", "0200", "0200"};
  if (model < 1 || model > 25 || !info) return;
  info->Set(2, "vers", kVers[model], 4);
  switch (model) {
    case 1: case 2: case 6: case 7:
      InsertVoiceData(model);
      InsertModelExclusives(model);
      break;
    case 3: case 4: case 8: case 15:
      InsertModelExclusives(model);
      break;
    case 5:
      InsertVoiceData(model);
      SpreadVoicesForModel5();
      break;
    case 25:
      InsertVoiceData(model);
      break;
    default:
      break;
  }
}

// ---- multi-track MFi ----

MultiMFiData::MultiMFiData(const std::filesystem::path& path, int32_t type, int32_t capacity_value)
    : MFiData(type, capacity_value, true) {
  RingtoneReports().Reset();
  if (Load(path) == 1 && used_size > 0) Parse();
}

MultiMFiData::MultiMFiData(const uint8_t* bytes, size_t length, int32_t type)
    : MFiData(type, static_cast<int32_t>(std::max<size_t>(length, 1)), true) {
  RingtoneReports().Reset();
  if (bytes && length) std::memcpy(buffer, bytes, length);
  used_size = static_cast<int32_t>(length);
  if (length) Parse();
}

MultiMFiData::MultiMFiData(const MobileData& song, int32_t type, int32_t capacity_value)
    : MFiData(type, capacity_value, true) {
  RingtoneReports().Reset();
  if (MultiType(type) || type == 250) {
    BuildFromMobileData(song, type);
    KeepLastEndOfTrack();
  } else {
    ErrorMsg(kMftkBadVoiceType);
  }
}

MultiMFiData::~MultiMFiData() = default;

void MultiMFiData::BuildFromMobileData(const MobileData& song, int32_t type) {
  MobileChannel* slots[16] = {};
  for (MobileChannel* v : song.ActiveVoices()) {
    if (v->index < 0 || v->index > 15 || slots[v->index] != nullptr) {
      ReportOnce(kMfdtTooManyTracks);  // no slot for it
      continue;
    }
    slots[v->index] = v;
  }
  NewHeaderAndInfo(type, song);
  device_type = type;
  track_count = 4;
  for (int32_t j = 0; j < 4; ++j) {
    MobileTrack merged(slots + 4 * j, 4, capacity);
    tracks[j] = std::make_unique<MFiTrack>(merged, j, type, capacity);
  }
  tracks[2]->voice_kinds[1] = 1;
  tracks[2]->events->voice_kinds[1] = 1;
  InsertDrumProgram();
}

void MultiMFiData::InsertDrumProgram() {
  MobileTrack& t = *tracks[2]->events;
  for (int32_t i = 0; i < t.event_count(); ++i) {
    MobileEvent& e = *t.events[i];
    if (!(e.IsControl(kKindVolume) && e.voice == 1)) continue;
    auto p = NewMobileControl(e.delta, 1, kKindProgram, 0);
    e.delta = 0;
    t.InsertEvent(i, 2, std::move(p));
    return;
  }
}

int32_t MultiMFiData::GetFileTrackCount() const { return used_size > 12 ? buffer[12] : 0; }

void MultiMFiData::Parse() {
  const size_t size = UsedBytes();
  header = std::make_unique<MFiHeader>(1);
  if (!header->Parse(buffer, size)) {
    track_count = 0;
    return;
  }
  const int32_t h = header->device_type;
  int32_t t = device_type;
  if (t == kMfiFromBytes) {
    if (h == 1 || h == 3 || h == 4) {
      t = 6;
    } else if (h == 2) {
      plat::ShowBox(plat::BoxKind::Message,
                    "このメッセージが表示された場合は、ターゲット端末名をペルモアに連絡してください。");
      t = 6;
    } else if (h == 255) {
      t = 250;
    } else {
      ErrorMsg(kMfdtVoiceCount);
    }
  } else if (!(MultiType(t) && h == 4)) {
    ErrorMsg(kMfdtVoiceCount);
  }
  device_type = t;
  info = std::make_unique<MFiInfoList>();
  const size_t info_length = std::min<size_t>(
      static_cast<size_t>(std::max(0, header->header_length - 3)), size - 13);
  info->Parse(buffer + 13, info_length);
  info->written_length = static_cast<int32_t>(info_length);
  track_count = GetFileTrackCount();
  if (!(MultiType(t) || t == 250)) ErrorMsg(kMftkBadType);
  ParseTracks(13 + info_length);
}

void MultiMFiData::ParseTracks(size_t offset) {
  int32_t kinds[16];
  InitVoiceKinds(kinds);
  const size_t size = UsedBytes();
  const int32_t wanted = track_count;
  int32_t c = 0, timebase = -1;
  while (offset + 8 <= size && c < wanted) {
    ByteReader head(buffer + offset, size - offset);
    char chunk_id[4];
    head.Bytes(chunk_id, 4);
    const uint64_t length = head.U32Be();
    if (std::memcmp(chunk_id, "adat", 4) != 0) {
      if (c >= 4) {
        ReportOnce(kMfdtTooManyTracks);  // four slots only
        break;
      }
      tracks[c] = std::make_unique<MFiTrack>(buffer + offset, size - offset, c, device_type, kinds,
                                             kMobileCapacity);
      if (tracks[c]->timebase > 0) timebase = tracks[c]->timebase;
      ++c;
    }
    offset += static_cast<size_t>(std::min<uint64_t>(8 + length, size - offset));
  }
  track_count = c;
  for (int32_t j = 0; j < c; ++j) {
    tracks[j]->timebase = timebase > 0 ? timebase : 48;
    tracks[j]->ScaleTimebase(96);
  }
}

void MultiMFiData::ToMobileData(MidiMobileData& song) const {
  for (int32_t j = 0; j < track_count; ++j)
    if (tracks[j]) song.AddFourChannelsByChannel(*tracks[j]->events);
  song.division = 96;
}

int IsMultiMFiImage(const uint8_t* bytes, size_t size) {
  ByteReader in(bytes, size);
  in.Seek(8);
  const size_t end = std::min<size_t>(size_t{in.U16Be()} + 10, size);
  if (!in.ok() || end <= 13) return 0;
  ByteReader chunks(bytes + 13, end - 13);
  int answer = 0;
  while (chunks.remaining() >= 6) {
    char chunk_id[4];
    chunks.Bytes(chunk_id, 4);
    const uint16_t n = chunks.U16Be();
    ByteReader data = chunks.Sub(n);
    if (std::memcmp(chunk_id, "vers", 4) == 0 && data.size() >= 4) {
      int number = 0;
      bool digits = true;
      for (int k = 0; k < 4; ++k) {
        const uint8_t ch = data.U8();
        if (ch < '0' || ch > '9') digits = false;
        number = number * 10 + (ch - '0');
      }
      if (digits && number >= 300) answer = 1;
    }
  }
  return answer;
}

int IsMultiMFiFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  std::vector<uint8_t> bytes(kMfiFileCapacity);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return IsMultiMFiImage(bytes.data(), static_cast<size_t>(file.gcount()));
}

void GetMFiNoteRange(int32_t* lowest, int32_t* highest) {
  if (lowest) *lowest = 21;
  if (highest) *highest = 119;
}

void AddBendRangeAfterVolumes(MobileChannel& voice) {
  for (int32_t i = 0; i < voice.event_count(); ++i)
    if (voice.events[i]->IsControl(kKindVolume)) voice.InsertControl(i + 1, 0, kKindMfiBendRange, 2);
}

void FuzzMFiBytes(const uint8_t* data, size_t size) {
  MFiData file(data, size);
  MobileData song;
  file.ToMobileData(song);
  for (int32_t type : {4, 254}) {
    MFiData again(song, type, kMfiFileCapacity);
    again.BuildFile();
  }
  // Shaped for a handset model: the song rebuilt as four tracks, and the file as read.
  const int model = 1 + static_cast<int>(size % 25);
  MFiData shaped(song, 5, kMfiFileCapacity);
  shaped.ShapeForModel(model);
  shaped.WriteFile(model);
  file.ShapeForModel(model);
  file.WriteFile(model);
}

void FuzzMultiMFiBytes(const uint8_t* data, size_t size) {
  MultiMFiData file(data, size, kMfiFromBytes);
  MidiMobileData song;
  file.ToMobileData(song);
  IsMultiMFiImage(data, size);
}
