// The format-1 song: construction, file reading and writing, its states, the
// master volume, and the conversions to and from the format-0 song.
#include "music/midi1_data.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "music/midi0_data.h"
#include "platform/core/files.h"
#include "util/gne_text.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "M1DT", "Midiのフォーマット１のデータでエラーが発生しました。",
      {{0x03000001, "トラック数のエラーです。"},
       {0x03000002, "フォーマット１ではありません。"},
       {0x03000003, "Midiのフォーマット１のデータで内部エラーが発生しました。"},
       {0x03000004, "Midiファイルではないか、ファイルにマックバイナリがついています。"},
       {0x03000005, "ファイルを開けませんでした。"},
       {0x03000006, "マスターボリュームが複数設定されています。"},
       {0x03000007,
        "ドラムにプログラムチェンジが設定されています。(または、チャネル10以外をドラムとして使用するシステムエクスクルーシブが設定されています。)"},
       {0x03000008, "扱えない拍子記号が含まれていました。"},
       {0x03000009, "設定されているテンポの数が多すぎます。"},
       {0x0300000a, "複数のSysExTrackがあります。"},
       {0x0300000b, "システムチャネルが重複しています。"},
       {0x0300000c, "チャネルが重複しています。"},
       {0x0300000d, "拍子記号の位置が異常です。"},
       {0x0300000e,
        "ドラムからトーンにマッピングしようとしましたが、マッピングのためのあきチャネルがありませんでした。"},
       {0x0300000f, "異なるプログラムチェンジのドラムトラックを結合しようとしました。"},
       {0x03000010, "複数のプログラムチェンジのトラックを結合しようとしました。"},
       {0x03000011,
        "複数プログラムチェンジのトラックを分割しようとしましたが、使用できるチャネルがありませんでした。"},
       {0x03000012, "ドラムトラックがありませんでした。"},
       {0x03000013,
        "ドラムからトーンにマッピングしようとしましたが、すでに同じトーンのチャネルがありましたので、そのチャネルに挿入しました。"},
       {0x03000014, "ピッチベンドからノートの変換でエラーが発生しました。"},
       {0x03000015,
        "プログラムチェンジが設定されていないトラックがありましたので０を設定しました。"},
       {0x03000016, "マスターボリュームが設定されていませんでしたので127を設定しました。"},
       {0x03000017, "１つのトラックに複数のピッチベンドセンシティビティが設定されていました。"},
       {0x03000018, "ピッチベンドセンシティビティに０が設定されているトラックがありました。"},
       {0x03000019, "データが大きすぎます。"},
       {0x0300001a, "チャネル数で異常が発生しました。"},
       {0x0300001b, "開始位置で異常が発生しました。"},
       {0x0300001d, "システムエクスクルーシブに異常が発生しました。"},
       {0x0300001e, "チャネルに異常が発生しました。"},
       {0x03000020, "プログラムチェンジに異常が発生しました。"},
       {0x03000021, "内部データに異常が発生しました。"}},
      // Once-only warnings, guarded by the reporter: Warn (0) clears the first four; the
      // last two stay quiet for the rest of the process once shown.
      {kM1dtMetrePosition, kM1dtDrumPrograms, kM1dtManyPrograms, kM1dtBendToNote,
       kM1dtNoFreeChannel, kM1dtSameTone},
      {}, {kM1dtNoFreeChannel, kM1dtSameTone});
  return reporter;
}

}  // namespace

void ResetMidi1DataModule() { Reporter().ResetAll(); }

void Midi1Data::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void Midi1Data::ErrorMsg(uint32_t code, const std::string& why) { Reporter().ErrorMsg(code, why); }

void Midi1Data::Warn(uint32_t code) { Reporter().Warning(code); }

// ---- construction ----

Midi1Data::Midi1Data(int32_t song_division, int32_t capacity_bytes)
    : MidiData(capacity_bytes) {
  Warn(0);
  division = song_division;
  state = kSongNotes;
}

Midi1Data::Midi1Data(int32_t size, const uint8_t* bytes) : MidiData(kDefaultMusicCapacity) {
  Warn(0);
  ReadBytes(bytes, size);
}

Midi1Data::Midi1Data(const uint8_t* bytes, int32_t size, int warn_master_volume,
                     int32_t capacity_bytes)
    : MidiData(capacity_bytes) {
  Warn(0);
  ReadBytes(bytes, size);
  if (state == kSongNotes) EnsureMasterVolume(warn_master_volume);
}

void Midi1Data::ReadBytes(const uint8_t* bytes, int32_t size) {
  state = kSongBytes;
  division = 0;
  if (bytes == nullptr || size < 0 || size > capacity) {
    ErrorMsg(kM1dtTooLarge);
    return;
  }
  if (size > 0) std::memcpy(buffer, bytes, static_cast<size_t>(size));
  used_size = size;
  position = 0;
  if (ReadHeader()) {
    Unpack();
    ToNoteMode();
  }
}

Midi1Data::Midi1Data(const std::filesystem::path& path, int32_t capacity_bytes)
    : Midi1Data(path, capacity_bytes, HandOff::kAllowed) {}

Midi1Data::Midi1Data(const std::filesystem::path& path, int32_t capacity_bytes,
                     HandOff hand_off)
    : MidiData(capacity_bytes) {
  Warn(0);
  ReadPath(path, hand_off);
}

void Midi1Data::ReadPath(const std::filesystem::path& path, HandOff hand_off) {
  state = kSongNotes;
  const int64_t size = plat::FileSize(path);
  if (size < 0) {
    ErrorMsg(kM1dtFileOpen);
    return;
  }
  if (size > capacity) {
    used_size = 0;
    ErrorMsg(kM1dtTooLarge);
    return;
  }
  if (!LoadFile(path)) {
    ErrorMsg(kM1dtFileOpen);
    state = kSongNotes;
    return;
  }
  if (PeekSmfFormat(buffer, used_size) == 0 && hand_off == HandOff::kAllowed) {
    // A format-0 file: read as a format-0 song (which does not hand it back) and
    // split into this song.
    used_size = 0;
    Midi0Data song(path, kDefaultMusicCapacity, Midi0Data::HandOff::kNone);
    if (song.state == kSongNotes && song.track != nullptr && song.track->event_count > 0) {
      SplitFormat0(song);
    }
  } else if (ReadHeader()) {
    Unpack();
    ToNoteMode();
  } else {
    used_size = 0;
  }
  state = kSongNotes;
  EnsureMasterVolume(0);
}

Midi1Data::Midi1Data() : MidiData(kDefaultMusicCapacity) {
  Warn(0);
  division = 0;
  if (LoadFileWithDialog() && ReadHeader()) {
    Unpack();
    ToNoteMode();
  }
}

Midi1Data::Midi1Data(const Midi1Data& song, int32_t capacity_bytes) : MidiData(capacity_bytes) {
  Warn(0);
  state = song.state;
  division = song.division;
  metre_override = song.metre_override;
  if (song.state == kSongBytes) {
    const int32_t n = std::min(song.used_size, capacity);
    if (n > 0) std::memcpy(buffer, song.buffer, static_cast<size_t>(n));
    used_size = n;
    position = std::min(song.position, n);
    chunk_count_ = song.chunk_count_;
    return;
  }
  for (int32_t i = 0; i < song.track_count; ++i) {
    const Midi1Track* source = song.tracks[i];
    // A track read from a file may have more room than half the song's capacity.
    const int64_t room = std::max<int64_t>(capacity_bytes, int64_t{source->capacity} * 2);
    auto* copy = new Midi1Track(kTrackEmpty, static_cast<int32_t>(std::min<int64_t>(room, INT32_MAX)));
    if (source->mode == kTrackEvents) {
      copy->CopyEventModeEvents(*source);
    } else if (source->mode == kTrackNotes) {
      copy->CopyNoteModeEvents(*source);
    }
    AddTrack(copy);
  }
}

Midi1Data::Midi1Data(const Midi1Data& song, int32_t start_tick, int32_t end_tick)
    : MidiData(kDefaultMusicCapacity) {
  Warn(0);
  state = kSongNotes;
  if (song.state != kSongEvents) {
    ErrorMsg(0);
    return;
  }
  division = song.division;
  metre_override = song.metre_override;
  for (int32_t i = 0; i < song.track_count; ++i) {
    AddTrack(new Midi1Track(*song.tracks[i], start_tick, end_tick, kDefaultMusicCapacity));
  }
  state = song.state;
}

Midi1Data::Midi1Data(const Midi0Data& song, int32_t capacity_bytes) : MidiData(capacity_bytes) {
  Warn(0);
  state = kSongNotes;
  SplitFormat0(song);
}

Midi1Data::Midi1Data(MidiTrack* const* source_tracks, int32_t count, int32_t song_division,
                     int32_t capacity_bytes)
    : MidiData(capacity_bytes) {
  Warn(0);
  state = kSongNotes;
  division = song_division;
  for (int32_t i = 0; i < count && source_tracks != nullptr; ++i) {
    if (source_tracks[i] != nullptr) AddTrack(new Midi1Track(*source_tracks[i], capacity_bytes));
  }
}

Midi1Data::~Midi1Data() { DeleteTracks(); }

// ---- track list ----

Midi1Track* Midi1Data::AddEmptyTrack(int32_t track_capacity) {
  auto* track = new Midi1Track(track_capacity);
  const int32_t before = track_count;
  AddTrack(track);  // deletes the track when the song is full
  return track_count > before ? track : nullptr;
}

void Midi1Data::AddTrack(Midi1Track* track) {
  if (track == nullptr) return;
  if (track_count >= kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    delete track;
    return;
  }
  tracks[track_count++] = track;
}

void Midi1Data::InsertTrackAt(Midi1Track* track, int32_t index) {
  if (track == nullptr) return;
  if (track_count >= kMaxSongTracks) {
    ErrorMsg(kM1dtTrackCount);
    delete track;
    return;
  }
  index = std::clamp(index, 0, track_count);
  for (int32_t i = track_count; i > index; --i) tracks[i] = tracks[i - 1];
  tracks[index] = track;
  ++track_count;
}

void Midi1Data::DeleteTrack(int32_t index) {
  if (index < 0 || index >= track_count) return;
  delete tracks[index];
  for (int32_t i = index; i + 1 < track_count; ++i) tracks[i] = tracks[i + 1];
  tracks[--track_count] = nullptr;
}

void Midi1Data::DeleteTracks() {
  for (int32_t i = 0; i < track_count; ++i) {
    delete tracks[i];
    tracks[i] = nullptr;
  }
  track_count = 0;
}

void Midi1Data::SwapTracks(int32_t first, int32_t second) {
  if (first < 0 || second < 0 || first >= track_count || second >= track_count) return;
  std::swap(tracks[first], tracks[second]);
}

// ---- master volume ----

int Midi1Data::GetMasterVolume() const {
  int volume = -1;
  for (int32_t i = 0; i < track_count; ++i) {
    const int v = tracks[i]->GetMasterVolume();
    if (v < 0) continue;
    if (volume >= 0) {
      ErrorMsg(kM1dtManyMasterVolumes);
      continue;
    }
    volume = v;
  }
  return volume;
}

void Midi1Data::InsertMasterVolume(int32_t volume) {
  if (track_count == 0) return;
  Midi1Track* target = tracks[0];
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetChannel() != kNoChannel) {
      target = tracks[i];
      break;
    }
  }
  target->InsertMasterVolume(volume, 0);
}

void Midi1Data::EnsureMasterVolume(int warn) {
  if (GetMasterVolume() >= 0) return;
  if (warn == 1) ErrorMsg(kM1dtMasterVolumeSet);
  InsertMasterVolume(127);
}

// ---- queries ----

int32_t Midi1Data::GetLength() const {
  int32_t length = 0;
  for (int32_t i = 0; i < track_count; ++i) length = std::max(length, tracks[i]->GetLength());
  return length;
}

int Midi1Data::GetMetre(int32_t* metre) const {
  for (int32_t t = 0; t < track_count; ++t) {
    const Midi1Track* track = tracks[t];
    for (int32_t i = 0; i < track->event_count; ++i) {
      const MidiEvent* e = track->events[i];
      if (e->status == kStatusMeta && e->number == 0x58) {
        if (metre) *metre = e->value;
        return 1;
      }
    }
  }
  return 0;
}

// ---- header and states ----

int Midi1Data::ReadHeader() {
  if (used_size == 0) return 0;
  const int32_t at = position;
  if (at < 0 || at + kSmfHeaderSize > used_size) {
    ErrorMsg(kM1dtNotMidi);
    return 0;
  }
  if (std::memcmp(buffer + at, "MThd", 4) != 0) {
    int length = used_size - at;
    if (length < kMacBinaryHeaderSize + kSmfHeaderSize ||
        !GneSkipMacBinaryHeader(buffer + at, "MThd", &length)) {
      ErrorMsg(kM1dtNotMidi);
      return 0;
    }
    used_size = at + length;
  }
  SmfHeader header;
  ReadSmfHeader(buffer + at, int64_t{used_size} - at, &header);
  if (header.format != 1) {
    ErrorMsg(kM1dtNotFormat1);
    return 0;
  }
  int32_t count = header.tracks;
  if (count > kMaxHeaderTracks) {
    ErrorMsg(kM1dtTrackCount);
    count = kFallbackTrackCount;
  }
  const int32_t header_division = header.division;
  if (header_division == 0) {
    MidiData::ErrorMsg(kMddtFormat);
    return 0;
  }
  chunk_count_ = count;
  division = header_division;
  position = at + kSmfHeaderSize;
  return 1;
}

void Midi1Data::WriteHeader() {
  WriteHeaderBytes(1, track_count);
  position = kSmfHeaderSize;
  used_size = kSmfHeaderSize;
}

void Midi1Data::Unpack() {
  if (state != kSongBytes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  const int32_t announced = std::min(chunk_count_, kMaxSongTracks);
  DeleteTracks();
  MidiParseContext parse;  // the tracks of one file: running status goes on between them
  for (int32_t n = 0; n < announced; ++n) {
    // Chunks of other kinds between the tracks are stepped over.
    position = SkipForeignChunks(buffer, used_size, position);
    if (position >= used_size) {
      // The file ends before every announced track was read.
      ErrorMsg(0);
      break;
    }
    // Every chunk the song holds fits its track: the track gets room for it even
    // when it is longer than half the song's capacity.
    int64_t track_capacity = capacity;
    // Only a chunk that the bytes hold: a length running past them (the track refuses
    // it) must not size a buffer.
    const int64_t chunk = ChunkLength(buffer, used_size, position);
    if (chunk >= 0 && position + 8 + chunk <= used_size)
      track_capacity = std::max<int64_t>(track_capacity, 2 * (chunk + 8 + 256));
    auto* track = new Midi1Track(used_size, position, buffer, 0,
                                 static_cast<int32_t>(track_capacity), &parse);
    if (track->mode != kTrackEvents) {
      // The chunk could not be read (the track has said why); the tracks before
      // it are kept.
      delete track;
      break;
    }
    position += track->used_size;
    tracks[track_count++] = track;
  }
  state = kSongEvents;
}

void Midi1Data::ToNoteMode() {
  if (state != kSongEvents) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ToNoteMode();
  state = kSongNotes;
}

void Midi1Data::ToEventMode() {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ToEventMode();
  state = kSongEvents;
}

void Midi1Data::Pack() {
  if (state != kSongEvents) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  WriteHeader();
  int32_t written = 0;
  bool full = false;
  for (int32_t i = 0; i < track_count; ++i) {
    Midi1Track* track = tracks[i];
    if (!full) {
      if (!track->LastIsEndOfTrack()) track->AddEndOfTrack();
      LimitDataBytes(*track);
      track->ToChunk("MTrk");
      if (track->mode == kTrackChunk) {
        if (int64_t{used_size} + track->used_size >= capacity) {
          ErrorMsg(kM1dtTooLarge);
          full = true;
        } else {
          std::memcpy(buffer + used_size, track->buffer, static_cast<size_t>(track->used_size));
          used_size += track->used_size;
          ++written;
        }
      }
    }
    delete track;
    tracks[i] = nullptr;
  }
  // The header counts the chunks that were written.
  track_count = 0;
  chunk_count_ = written;
  WriteHeaderBytes(1, written);
  state = kSongBytes;
}

int Midi1Data::SaveFile(const std::filesystem::path& path) {
  SaveSteps steps;
  steps.open_error = kM1dtFileOpen;
  steps.internal_error = kM1dtInternal;
  steps.report = &Midi1Data::ErrorMsg;
  steps.pack = [&] {
    if (!PackFits()) {
      // The tracks that fit are written from a copy (with the too-large report);
      // the song itself keeps every track.
      Midi1Data copy(*this, capacity);
      copy.Pack();
      std::error_code why;
      if (!copy.SaveQuietly(path, &why)) ErrorMsg(kM1dtFileOpen, plat::WriteFailureText(why));
      return false;
    }
    Pack();
    return state == kSongBytes;
  };
  steps.unpack = [this] { Unpack(); };
  steps.to_events = [this] { ToEventMode(); };
  steps.to_notes = [this] { ToNoteMode(); };
  return SaveInState(path, steps);
}

int Midi1Data::SaveFileWithDialog() {
  return SaveThroughDialog([this](const std::filesystem::path& path) { return SaveFile(path); });
}

int32_t Midi1Data::GetPackedSize() {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return 0;
  }
  ToEventMode();
  int32_t size;
  if (!PackFits()) {
    Midi1Data copy(*this, capacity);
    copy.Pack();
    size = copy.used_size;
  } else {
    Pack();
    size = used_size;
    Unpack();
  }
  ToNoteMode();
  return size;
}

bool Midi1Data::PackFits() const {
  int64_t size = kSmfHeaderSize;
  for (int32_t i = 0; i < track_count; ++i) {
    int64_t chunk = EstimatedChunkSize(*tracks[i]);
    if (!tracks[i]->LastIsEndOfTrack()) chunk += 4;  // the End of Track Pack adds
    size += chunk;
    if (size >= capacity) return false;
  }
  return true;
}

// ---- conversions ----

void Midi1Data::SplitFormat0(const Midi0Data& song) {
  if (song.state != kSongNotes || song.track == nullptr) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  DeleteTracks();
  division = song.division;
  for (int32_t i = 0; i < kSplitTrackCount; ++i) {
    tracks[i] = new Midi1Track(kTrackNotes, capacity);
  }
  track_count = kSplitTrackCount;
  // The slot of each event: 0 the conductor track (meta events), 1 system-exclusive
  // messages, 2-17 channels 0-15; -1 an event no track takes.
  auto slot_of = [](const MidiEvent* e) {
    if (e->status == kStatusDeleted || IsEndOfTrack(e)) return -1;
    if (e->channel == kNoChannel) return e->status == kStatusMeta ? 0 : 1;
    if (e->channel >= 0 && e->channel <= 15) return e->channel + 1;
    return -2;  // a channel of a second port: no track of the layout holds it
  };
  const MidiTrack& source = *song.track;
  int32_t sizes[kSplitTrackCount] = {};
  for (int32_t i = 0; i < source.event_count; ++i) {
    const int slot = slot_of(source.events[i]);
    if (slot >= 0) ++sizes[slot];
  }
  for (int32_t t = 0; t < kSplitTrackCount; ++t) tracks[t]->ReserveEvents(sizes[t] + 1);
  // The copies are cut from one pool rather than allocated one by one.
  EventPool pool;
  EventPool::Scope from_pool(pool);
  int64_t counters[kSplitTrackCount] = {};
  bool reported = false;
  for (int32_t i = 0; i < source.event_count; ++i) {
    const MidiEvent* e = source.events[i];
    for (int64_t& c : counters) c += e->delta;
    if (IsEndOfTrack(e)) {
      for (int32_t t = 0; t < kSplitTrackCount; ++t) {
        tracks[t]->AddEndOfTrackAt(static_cast<int32_t>(counters[t]));
        counters[t] = 0;
      }
      continue;
    }
    const int slot = slot_of(e);
    if (slot == -1) continue;
    if (slot < 0) {
      if (!reported) ErrorMsg(kM1dtChannel);
      reported = true;
      continue;
    }
    auto* copy = new MidiEvent(*e);
    copy->delta = static_cast<int32_t>(counters[slot]);
    counters[slot] = 0;
    tracks[slot]->AddEvent(copy);
  }
  // A source without End of Track still gives complete tracks.
  for (int32_t t = 0; t < kSplitTrackCount; ++t) {
    if (!tracks[t]->LastIsEndOfTrack()) {
      tracks[t]->AddEndOfTrackAt(static_cast<int32_t>(counters[t]));
    }
  }
  state = kSongNotes;
}

void Midi1Data::MergeToFormat0(Midi0Data& song) const {
  if (state != kSongNotes) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  song.division = division;
  if (song.track == nullptr) song.track = new MidiTrack(kTrackNotes, song.capacity);
  MidiTrack& out = *song.track;
  if (track_count == 0) {
    out.FreeAllEvents();
    out.mode = kTrackNotes;
    out.AddEndOfTrack();
  } else {
    const MidiTrack* sources[kMaxSongTracks];
    for (int32_t t = 0; t < track_count; ++t) sources[t] = tracks[t];
    out.MergeTracks(track_count, sources);
  }
  song.state = kSongNotes;
}
