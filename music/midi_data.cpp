// The common base of the two song classes, its error box and format detection.
#include "music/midi_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "music/midi_track.h"
#include "util/gne_music.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter("MDDT", "Midiデータでエラーが発生しました。",
                                            {{kMddtFormat, "Midiのフォーマット異常です。"}});
  return reporter;
}

bool IsMThd(const uint8_t* bytes) { return std::memcmp(bytes, "MThd", 4) == 0; }

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

void MidiData::WriteHeaderBytes(int format, int track_count) {
  if (capacity < kSmfHeaderSize) return;
  uint8_t* p = buffer;
  std::memcpy(p, "MThd", 4);
  p[4] = 0;
  p[5] = 0;
  p[6] = 0;
  p[7] = 6;
  p[8] = 0;
  p[9] = static_cast<uint8_t>(format);
  p[10] = static_cast<uint8_t>(track_count >> 8);
  p[11] = static_cast<uint8_t>(track_count);
  p[12] = static_cast<uint8_t>(division >> 8);
  p[13] = static_cast<uint8_t>(division);
}

int PeekSmfFormat(const uint8_t* bytes, int32_t size) {
  if (bytes == nullptr || size < kSmfHeaderSize) return -1;
  const uint8_t* header = bytes;
  if (!IsMThd(header)) {
    if (size < kMacBinaryHeaderSize + kSmfHeaderSize) return -1;
    header = bytes + kMacBinaryHeaderSize;
    if (!IsMThd(header)) return -1;
  }
  if (header[8] == 0 && header[9] == 0) return 0;
  if (header[8] == 0 && header[9] == 1) return 1;
  return -1;
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
