// The common base of the two song classes, its error box and format detection.
#include "music/midi_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "music/midi_track.h"
#include "platform/core/files.h"
#include "util/byte_cursor.h"
#include "util/gne_files.h"
#include "util/gne_music.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter("MDDT", "Midiデータでエラーが発生しました。",
                                            {{kMddtFormat, "Midiのフォーマット異常です。"}});
  return reporter;
}

bool IsMThd(const uint8_t* bytes) { return std::memcmp(bytes, "MThd", 4) == 0; }

bool IsChunkId(const uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

}  // namespace

MidiData::MidiData(int32_t capacity_bytes) : MusicData(capacity_bytes) {}

int MidiData::LoadFile(const std::filesystem::path& path) {
  const int result = Load(path);
  position = 0;
  state = kSongBytes;
  return result;
}

int MidiData::LoadFileWithDialog() {
  const int result = LoadWithDialog("mid", "SMF files|*.mid|");
  position = 0;
  state = kSongBytes;
  return result;
}

void MidiData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

int MidiData::SaveInState(const std::filesystem::path& path, const SaveSteps& steps) {
  switch (state) {
    case kSongBytes: {
      // One box when the write fails: the song class's, with the reason.
      std::error_code why;
      const int saved = SaveQuietly(path, &why);
      if (!saved) steps.report(steps.open_error, plat::WriteFailureText(why));
      return saved;
    }
    case kSongEvents: {
      if (!steps.pack()) return 0;
      const int saved = SaveInState(path, steps);
      steps.unpack();
      return saved;
    }
    case kSongNotes: {
      steps.to_events();
      if (state != kSongEvents) return 0;  // the conversion has said why
      const int saved = SaveInState(path, steps);
      if (state == kSongEvents) steps.to_notes();
      return saved;
    }
    default:
      steps.report(steps.internal_error, std::string());
      return 0;
  }
}

int MidiData::SaveThroughDialog(const std::function<int(const std::filesystem::path&)>& save) {
  std::filesystem::path chosen;
  if (GneSaveFileDialog(&chosen, "mid", "SMF files|*.mid|") != 1) return 0;
  return save(chosen);
}

void MidiData::WriteHeaderBytes(int format, int track_count) {
  if (capacity < kSmfHeaderSize) return;
  ByteWriter out(buffer, kSmfHeaderSize);
  out.Bytes("MThd", 4);
  out.U32Be(6);
  out.U16Be(static_cast<uint32_t>(format) & 0xFF);
  out.U16Be(static_cast<uint32_t>(track_count));
  out.U16Be(static_cast<uint32_t>(division));
}

bool ReadSmfHeader(const uint8_t* bytes, int64_t size, SmfHeader* header) {
  if (bytes == nullptr || size < kSmfHeaderSize) return false;
  ByteReader in(bytes, static_cast<size_t>(size));
  if (!IsMThd(in.Here())) return false;
  in.Skip(8);  // id and length
  header->format = in.U16Be();
  header->tracks = in.U16Be();
  header->division = in.U16Be();
  return in.ok();
}

bool IsTrackChunkId(const uint8_t* id) {
  return IsChunkId(id, "MTrk") || IsChunkId(id, "XFKM") || IsChunkId(id, "XFIH");
}

int64_t ChunkLength(const uint8_t* bytes, int64_t size, int64_t at) {
  if (bytes == nullptr || at < 0 || size < 0 || at + 8 > size) return -1;
  return ByteReader(bytes, static_cast<size_t>(size)).Seek(static_cast<size_t>(at) + 4).U32Be();
}

int32_t SkipForeignChunks(const uint8_t* bytes, int32_t size, int32_t at) {
  while (at >= 0 && int64_t{at} + 8 <= size && !IsTrackChunkId(bytes + at)) {
    const int64_t next = int64_t{at} + 8 + ChunkLength(bytes, size, at);
    if (next > size) break;
    at = static_cast<int32_t>(next);
  }
  return at;
}

int PeekSmfFormat(const uint8_t* bytes, int32_t size) {
  if (bytes == nullptr || size < kSmfHeaderSize) return -1;
  SmfHeader header;
  const bool behind_macbinary = size >= kMacBinaryHeaderSize + kSmfHeaderSize;
  if (!ReadSmfHeader(bytes, size, &header) &&
      !(behind_macbinary && ReadSmfHeader(bytes + kMacBinaryHeaderSize,
                                          int64_t{size} - kMacBinaryHeaderSize, &header))) {
    return -1;
  }
  return header.format == 0 || header.format == 1 ? header.format : -1;
}

int GetSmfFormat(uint8_t* bytes, int32_t size) {
  const int format = PeekSmfFormat(bytes, size);
  if (format >= 0 && !IsMThd(bytes)) {
    std::memmove(bytes, bytes + kMacBinaryHeaderSize,
                 static_cast<size_t>(size - kMacBinaryHeaderSize));
  }
  return format;
}

int GetSmfFileFormat(const std::filesystem::path& path) {
  uint8_t head[kMacBinaryHeaderSize + kSmfHeaderSize] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  const size_t n = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return PeekSmfFormat(head, static_cast<int32_t>(n));
}

int LimitDataBytes(MidiTrack& track) {
  int changed = 0;
  auto hold = [&changed](int32_t& field) {
    if (field < 0 || field > 127) {
      field = field < 0 ? 0 : 127;
      ++changed;
    }
  };
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    switch (e->status) {
      case kStatusNoteOff:
      case kStatusNoteOn:
        hold(e->note);
        hold(e->velocity);
        break;
      case kStatusController: {
        int32_t number = static_cast<int32_t>(e->number);
        hold(number);
        e->number = static_cast<uint32_t>(number);
        hold(e->value);
        break;
      }
      case kStatusProgram:
      case kStatusChannelPressure:
        hold(e->value);
        break;
      case kStatusPitchBend:
        hold(e->note);
        hold(e->value);
        break;
      default:
        break;
    }
  }
  return changed;
}

int64_t EstimatedChunkSize(const MidiTrack& track) {
  int64_t size = 8;
  int64_t carry = 0;
  uint8_t scratch[4];
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    const int64_t bytes = MidiTrack::EventByteSize(e);
    const int64_t delta = (e.delta > 0 ? e.delta : 0) + carry;
    if (bytes == 0) {
      carry = delta;
      continue;
    }
    carry = 0;
    size += GneWriteVarLen(delta, scratch) + bytes;
  }
  return size;
}

void CopyExcerpt(MidiTrack& out, const MidiTrack& source, int32_t from, int32_t to) {
  out.FreeAllEvents();
  const bool notes = source.mode == kTrackNotes;
  if (notes) {
    out.CopyNoteModeEvents(source);
  } else {
    out.CopyEventModeEvents(source);
  }
  if (out.mode != kTrackNotes && out.mode != kTrackEvents) return;  // reported by the copy
  if (from < 0) from = 0;
  if (to < from) to = from;
  const int64_t length = int64_t{to} - from;

  auto is_note = [notes](const MidiEvent* e) {
    return notes ? e->status == kStatusNote
                 : (e->status == kStatusNoteOn || e->status == kStatusNoteOff);
  };
  // Absolute ticks before any change.
  std::vector<int64_t> ticks(static_cast<size_t>(out.event_count));
  int64_t at = 0;
  for (int32_t i = 0; i < out.event_count; ++i) ticks[static_cast<size_t>(i)] = (at += out.events[i]->delta);

  // New absolute ticks: before `from` at 0 (notes go), inside moved back, after `to` gone.
  std::vector<MidiEvent*> kept;
  std::vector<int64_t> kept_ticks;
  for (int32_t i = 0; i < out.event_count; ++i) {
    MidiEvent* e = out.events[i];
    const int64_t t = ticks[static_cast<size_t>(i)];
    if (IsEndOfTrack(e) || t >= to || (t < from && is_note(e)) || e->status == kStatusDeleted) {
      delete e;
      continue;
    }
    const int64_t moved = t < from ? 0 : t - from;
    if (notes && e->status == kStatusNote && moved + e->duration > length) {
      e->duration = static_cast<int32_t>(length - moved);  // the note ends at the excerpt's end
    }
    kept.push_back(e);
    kept_ticks.push_back(moved);
  }
  // Event mode: notes still sounding at the end get their note-offs there.
  if (!notes) {
    std::map<std::pair<int32_t, int32_t>, int> sounding;
    for (const MidiEvent* e : kept) {
      if (e->status == kStatusNoteOn) ++sounding[{e->channel, e->note}];
      if (e->status == kStatusNoteOff) {
        auto it = sounding.find({e->channel, e->note});
        if (it != sounding.end() && it->second > 0) --it->second;
      }
    }
    for (const auto& [key, count] : sounding) {
      for (int k = 0; k < count; ++k) {
        auto* off = new MidiEvent(0);
        off->SetNoteOff(key.first, key.second);
        off->velocity = 64;
        kept.push_back(off);
        kept_ticks.push_back(length);
      }
    }
  }
  // Of the pitch bends before the first note, the last two remain.
  size_t first_note = kept.size();
  for (size_t i = 0; i < kept.size(); ++i) {
    if (kept[i]->status == kStatusNote || kept[i]->status == kStatusNoteOn) {
      first_note = i;
      break;
    }
  }
  std::vector<size_t> early_bends;
  for (size_t i = 0; i < first_note; ++i) {
    if (kept[i]->status == kStatusPitchBend) early_bends.push_back(i);
  }
  for (size_t k = 0; k + 2 < early_bends.size(); ++k) kept[early_bends[k]]->MarkDeleted();

  out.event_count = 0;
  out.ReserveEvents(static_cast<int32_t>(kept.size()) + 1);
  int64_t last = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (kept[i]->status == kStatusDeleted) {
      delete kept[i];
      continue;
    }
    kept[i]->delta = static_cast<int32_t>(kept_ticks[i] - last);
    last = kept_ticks[i];
    out.events[out.event_count++] = kept[i];
  }
  out.AddEndOfTrackAt(static_cast<int32_t>(length - last));
}
