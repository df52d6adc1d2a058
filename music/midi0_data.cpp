// The format-0 song: construction, file reading and writing, its states, the
// lead-in cut, division and metre.
#include "music/midi0_data.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "music/midi1_data.h"
#include "platform/core/files.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "M0DT", "Midiのフォーマット0のデータでエラーが発生しました。",
      {{kM0dtNotFormat0, "フォーマット0のファイルではありません。"},
       {kM0dtFileOpen, "ファイルが開けませんでした。"},
       {kM0dtTrackCount, "トラック数に誤りがあります。"},
       {kM0dtNotMidi, "MIDIファイルではないか、ファイルにマックバイナリがついています。"},
       {kM0dtInternal, "Midiのフォーマット0のデータで内部エラーが発生しました。"},
       {kM0dtMetrePosition, "拍子記号の位置が異常です。"},
       {kM0dtBarCount, "小節数が異常です。"},
       {kM0dtPlayData, "演奏データが異常です。"},
       {kM0dtStop, "演奏の停止中に異常が発生しました。"},
       {kM0dtFileEnd, "ファイルの終端で異常が発生しました。"}},
      {kM0dtMetrePosition});
  return reporter;
}

// A track that holds at least End of Track, so that it can be written as a chunk.
void EnsureEndOfTrack(MidiTrack& track) {
  if (!track.LastIsEndOfTrack()) track.AddEndOfTrack();
}

}  // namespace

void ResetMidi0DataModule() { Reporter().ResetWarnings(); }

void Midi0Data::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void Midi0Data::ErrorMsg(uint32_t code, const std::string& why) { Reporter().ErrorMsg(code, why); }

void Midi0Data::WarnOnce(uint32_t code) {
  if (code == 0) {
    Reporter().ResetWarnings();
    return;
  }
  if (code == kM0dtMetrePosition) Reporter().Warning(code);
}

// ---- construction ----

Midi0Data::Midi0Data(int32_t capacity_bytes) : MidiData(capacity_bytes) {
  WarnOnce(0);
  MakeEmpty();
}

Midi0Data::Midi0Data(int32_t song_state, int32_t song_division, int32_t capacity_bytes)
    : MidiData(capacity_bytes) {
  WarnOnce(0);
  state = song_state;
  division = song_division;
  track = new MidiTrack(song_state, capacity_bytes);
}

Midi0Data::Midi0Data(const std::filesystem::path& path, int32_t capacity_bytes)
    : Midi0Data(path, capacity_bytes, HandOff::kAllowed) {}

Midi0Data::Midi0Data(const std::filesystem::path& path, int32_t capacity_bytes,
                     HandOff hand_off)
    : MidiData(capacity_bytes) {
  WarnOnce(0);
  ReadPath(path, hand_off);
}

void Midi0Data::MakeEmpty() {
  delete track;
  track = new MidiTrack(kTrackNotes, capacity);
  state = kSongNotes;
  division = kNewSongDivision;
  used_size = 0;
  position = 0;
}

void Midi0Data::ReadPath(const std::filesystem::path& path, HandOff hand_off) {
  const int64_t size = plat::FileSize(path);
  if (size < 0) {
    ErrorMsg(kM0dtFileOpen);
    MakeEmpty();
    return;
  }
  if (size > capacity) {
    Midi1Data::ErrorMsg(kM1dtTooLarge);
    MakeEmpty();
    return;
  }
  if (!LoadFile(path)) {
    ErrorMsg(kM0dtFileOpen);
    MakeEmpty();
    return;
  }
  const int format = PeekSmfFormat(buffer, used_size);
  if (ReadHeader(0)) {
    Unpack();
    ToNoteMode();
    return;
  }
  if (format == 1 && hand_off == HandOff::kAllowed) {
    // A format-1 file: read as a format-1 song (which does not hand it back) and
    // merged into this song's one track.
    MakeEmpty();
    Midi1Data song(path, capacity, Midi1Data::HandOff::kNone);
    if (song.track_count > 0 && song.state == kSongNotes) song.MergeToFormat0(*this);
    return;
  }
  // Neither header reader can take it: say why, once.
  ReadHeader(1);
  MakeEmpty();
}

Midi0Data::Midi0Data(const uint8_t* bytes, int32_t size) : MidiData(kDefaultMusicCapacity) {
  WarnOnce(0);
  if (bytes == nullptr || size < 0 || size > capacity) {
    Midi1Data::ErrorMsg(kM1dtTooLarge);
    MakeEmpty();
    return;
  }
  std::memcpy(buffer, bytes, static_cast<size_t>(size));
  used_size = size;
  position = 0;
  state = kSongBytes;
  if (!ReadHeaderChecked()) {
    MakeEmpty();
    return;
  }
  Unpack();
  ToNoteMode();
}

Midi0Data::Midi0Data(const Midi0Data& song) : MidiData(kDefaultMusicCapacity) {
  WarnOnce(0);
  state = song.state;
  division = song.division;
  metre_override = song.metre_override;
  if (song.track == nullptr || song.state == kSongBytes) {
    const int32_t n = std::min(song.used_size, capacity);
    if (n > 0) std::memcpy(buffer, song.buffer, static_cast<size_t>(n));
    used_size = n;
    position = std::min(song.position, n);
    if (song.state != kSongBytes) track = new MidiTrack(song.state, capacity);
    return;
  }
  track = new MidiTrack(kDefaultMusicCapacity);
  if (song.track->mode == kTrackEvents) {
    track->CopyEventModeEvents(*song.track);
  } else if (song.track->mode == kTrackNotes) {
    track->CopyNoteModeEvents(*song.track);
  } else {
    track->mode = song.track->mode;
  }
}

Midi0Data::Midi0Data(const Midi0Data& song, int32_t start_tick, int32_t end_tick)
    : MidiData(kDefaultMusicCapacity) {
  WarnOnce(0);
  state = song.state;
  division = song.division;
  metre_override = song.metre_override;
  if (song.track == nullptr || (song.state != kSongEvents && song.state != kSongNotes)) {
    ErrorMsg(kM0dtInternal);
    MakeEmpty();
    return;
  }
  track = new MidiTrack(kDefaultMusicCapacity);
  CopyExcerpt(*track, *song.track, start_tick, end_tick);
}

// The song takes at least the room of the track it copies, so a long track loaded
// into a larger buffer still fits when saved.
Midi0Data::Midi0Data(const MidiTrack& source, int32_t song_division)
    : MidiData(std::max(kDefaultMusicCapacity, source.capacity)) {
  WarnOnce(0);
  state = kSongNotes;
  division = song_division;
  track = new MidiTrack(source, capacity);
}

Midi0Data::~Midi0Data() {
  delete playback_copy;
  delete track;
}

// ---- header and states ----

int Midi0Data::ReadHeader(int show_errors) {
  if (used_size == 0) return 0;
  auto refuse = [&](uint32_t code) {
    if (show_errors == 1) {
      if (code == kMddtFormat) {
        MidiData::ErrorMsg(code);
      } else {
        ErrorMsg(code);
      }
    }
    return 0;
  };
  const int32_t at = position;
  if (at < 0 || at + kSmfHeaderSize > used_size) return refuse(kM0dtNotMidi);
  if (std::memcmp(buffer + at, "MThd", 4) != 0) {
    const int32_t behind = at + kMacBinaryHeaderSize;
    if (behind + kSmfHeaderSize > used_size || std::memcmp(buffer + behind, "MThd", 4) != 0) {
      return refuse(kM0dtNotMidi);
    }
    std::memmove(buffer + at, buffer + behind, static_cast<size_t>(used_size - behind));
    used_size -= kMacBinaryHeaderSize;
  }
  SmfHeader header;
  ReadSmfHeader(buffer + at, int64_t{used_size} - at, &header);
  if (header.format != 0) return refuse(kM0dtNotFormat0);
  if (header.tracks != 1) return refuse(kM0dtTrackCount);
  if (header.division == 0) return refuse(kMddtFormat);
  division = header.division;
  position = at + kSmfHeaderSize;
  return 1;
}

void Midi0Data::WriteHeader() {
  WriteHeaderBytes(0, 1);
  position = kSmfHeaderSize;
}

void Midi0Data::SkipForeignChunks() {
  position = ::SkipForeignChunks(buffer, used_size, position);
}

void Midi0Data::Unpack() {
  if (state != kSongBytes) {
    ErrorMsg(kM0dtInternal);
    return;
  }
  delete track;
  SkipForeignChunks();
  // A song made larger than usual (the loader's) reads a chunk as large as itself.
  track = new MidiTrack(used_size, position, buffer, 0, std::max(capacity, kDefaultMusicCapacity));
  if (track->mode != kTrackEvents) {
    // The chunk could not be read (the track has said why): an empty song.
    delete track;
    track = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  }
  position += track->used_size;
  state = kSongEvents;
}

void Midi0Data::ToNoteMode() {
  if (state != kSongEvents || track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return;
  }
  track->ToNoteMode();
  state = kSongNotes;
}

void Midi0Data::ToEventMode() {
  if (state != kSongNotes || track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return;
  }
  track->ToEventMode();
  state = kSongEvents;
}

void Midi0Data::Pack(int keep_order) {
  if (state != kSongEvents || track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return;
  }
  EnsureEndOfTrack(*track);
  LimitDataBytes(*track);
  if (keep_order == 0) {
    track->MoveNonNotesFirst();
    track->MoveSysExFirst();
    track->MoveNoteOffsBeforeNoteOns();
  }
  track->ToChunk("MTrk");
  if (track->mode != kTrackChunk) return;  // the track has reported why
  if (int64_t{kSmfHeaderSize} + track->used_size > capacity) {
    // The chunk does not fit behind the header: the song stays as it is.
    Midi1Data::ErrorMsg(kM1dtTooLarge);
    track->mode = kTrackEvents;
    return;
  }
  WriteHeader();
  used_size = kSmfHeaderSize;
  std::memcpy(buffer + used_size, track->buffer, static_cast<size_t>(track->used_size));
  used_size += track->used_size;
  delete track;
  track = nullptr;
  state = kSongBytes;
}

int Midi0Data::SaveFile(const std::filesystem::path& path, int keep_order) {
  SaveSteps steps;
  steps.open_error = kM0dtFileOpen;
  steps.internal_error = kM0dtInternal;
  steps.report = &Midi0Data::ErrorMsg;
  steps.pack = [&] {
    Pack(keep_order);
    return state == kSongBytes;
  };
  steps.unpack = [this] { Unpack(); };
  steps.to_events = [&] {
    // Saved from notes, a song is packed in the system's order: the packing passes
    // start from the conversion's own order, so that saving again gives the same bytes.
    if (track != nullptr) track->ForgetReadOrder();
    ToEventMode();
    keep_order = 0;
  };
  steps.to_notes = [this] { ToNoteMode(); };
  return SaveInState(path, steps);
}

int Midi0Data::SaveFileWithDialog() {
  return SaveThroughDialog([this](const std::filesystem::path& path) { return SaveFile(path, 0); });
}

// ---- lead-in, division, metre ----

int32_t Midi0Data::CutLeadIn() {
  if ((state != kSongEvents && state != kSongNotes) || track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  const uint32_t note_status = state == kSongEvents ? kStatusNoteOn : kStatusNote;
  int64_t t = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    t += track->events[i]->delta;
    if (track->events[i]->status == note_status) break;
  }
  // Whole bars before the first note, a tick that 32 bits hold (never negative).
  const int32_t bar = GetBarLength();
  if (bar <= 0 || t <= 0) return 0;
  t = std::min<int64_t>(t, INT32_MAX);
  const int32_t cut = static_cast<int32_t>((t / bar) * bar);
  TrimStart(cut);
  return cut;
}

void Midi0Data::TrimStart(int32_t ticks) {
  if (track == nullptr || ticks <= 0) return;
  int64_t at = 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    MidiEvent* e = track->events[i];
    at += e->delta;
    if (at > ticks) {
      e->delta = static_cast<int32_t>(at - ticks);
      return;
    }
    e->delta = 0;
  }
}

void Midi0Data::ChangeDivision(int32_t new_division, int drop_zero_notes) {
  if (track == nullptr || track->mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return;
  }
  if (new_division <= 0 || division <= 0) {
    // ConvertDivisionEx reports the value; the song keeps its division.
    track->ConvertDivisionEx(division, new_division, drop_zero_notes);
    return;
  }
  track->ConvertDivisionEx(division, new_division, drop_zero_notes);
  division = new_division;
}

int Midi0Data::GetMetre(int32_t* metre) const {
  if (metre_override != 0) {
    if (metre) *metre = metre_override;
    return 1;
  }
  if (track == nullptr) return 0;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->events[i];
    if (e->status == kStatusMeta && e->number == 0x58) {
      if (metre) *metre = e->value;
      return 1;
    }
  }
  return 0;
}

int32_t Midi0Data::GetBarLength() const {
  int32_t m = 0;
  if (!GetMetre(&m) || m == 0 || division <= 0) return kDefaultBarLength;
  const int32_t numerator = m / 256;
  const int32_t denominator = m % 256;
  // A numerator or denominator of 0 gives no bar at all; the default stands in.
  if (numerator <= 0 || denominator <= 0) return kDefaultBarLength;
  const double length = (4.0 / denominator) * (static_cast<double>(numerator) * division);
  if (length < 1.0 || length > 2.0e9) return kDefaultBarLength;
  return static_cast<int32_t>(length);
}
