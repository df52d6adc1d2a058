// Text events of a track: the playback markers, full-width letters and digits made
// ASCII, setting, finding and deleting meta texts.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "music/midi_track.h"
#include "music/track_text.h"
#include "util/gne_kana.h"
#include "util/gne_text.h"

namespace {

bool IsMeta(const MidiEvent& e, int32_t type) {
  return e.status == kStatusMeta && e.number == static_cast<uint32_t>(type);
}

// The event's text as stored: its data bytes up to the data length (or a zero).
std::string TextOf(const MidiEvent& e) {
  if (e.data == nullptr || e.data_length <= 0) return std::string();
  const int32_t n = std::min(e.data_length, e.DataBlockSize());
  const char* p = reinterpret_cast<const char*>(e.data);
  return std::string(p, strnlen(p, static_cast<size_t>(n)));
}

bool TextEquals(const MidiEvent& e, const char* text) {
  return TextOf(e) == std::string(text ? text : "");
}

void SetText(MidiEvent& e, const char* text, size_t n) {
  if (n == 0) return;
  e.SetDataQuietly(text, static_cast<int32_t>(n));
}

}  // namespace

void CopyTextCut(char* out, int32_t room, const char* text, size_t length) {
  if (out == nullptr || room <= 0) return;
  const size_t n = GneFitCp932(text, length, static_cast<size_t>(room - 1));
  if (n > 0) std::memcpy(out, text, n);
  out[n] = 0;
}

void FullWidthAlnumToAscii(char* text) { GneNarrowAlphanumerics(text); }

void MidiTrack::ConvertTexts(int latin, int kana, uint32_t status_value, uint32_t number_value) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != status_value || e.number != number_value) continue;
    // The whole text, however long, with its terminator: the conversions only shorten.
    std::string text = TextOf(e);
    if (text.empty()) continue;
    std::vector<char> work(text.begin(), text.end());
    work.push_back(0);
    if (latin == 1) FullWidthAlnumToAscii(work.data());
    if (kana == 1) GneToHalfWidthKatakana(work.data());
    const size_t n = std::strlen(work.data());
    if (n > 0) {
      e.SetDataQuietly(work.data(), static_cast<int32_t>(n));
    } else {
      e.data_length = 0;
    }
  }
}

void MidiTrack::NormalizeStartStopMarkers() {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!(IsMeta(e, 1) || IsMeta(e, 6) || IsMeta(e, 7))) continue;
    const std::string text = TextOf(e);
    if (text == "Q00" || text == "START") {
      e.number = 6;
      e.SetDataQuietly("START", 5);
    } else if (text == "Q0F" || text == "STOP") {
      e.number = 6;
      e.SetDataQuietly("STOP", 4);
    }
  }
}

int MidiTrack::SetMetaText(int32_t type, const char* text) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], type)) {
      SetText(*events[i], text, text ? std::strlen(text) : 0);
      return 1;
    }
  }
  return 0;
}

int MidiTrack::SetMetaTextAll(int32_t type, const char* text) {
  int any = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], type)) {
      SetText(*events[i], text, text ? std::strlen(text) : 0);
      any = 1;
    }
  }
  return any;
}

void MidiTrack::RenumberMetaType(int32_t from, int32_t to) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], from)) events[i]->number = static_cast<uint32_t>(to);
  }
}

void MidiTrack::ReplaceMetaText(int32_t type, const char* old_text, int32_t new_type,
                                const char* new_text) {
  const size_t n = new_text ? std::strlen(new_text) : 0;
  const bool sysex = n > 0 && static_cast<uint8_t>(new_text[0]) == 0xF0;
  size_t length = n;
  if (sysex) {
    // The message runs to its first F7; without one it ends with the text (an F7 is
    // not invented and nothing past the text is read).
    const void* f7 = std::memchr(new_text, 0xF7, n);
    if (f7 != nullptr) length = static_cast<size_t>(static_cast<const char*>(f7) - new_text) + 1;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsMeta(e, type) || !TextEquals(e, old_text)) continue;
    if (sysex) {
      e.status = kStatusSysEx;
      e.number = 0;
    } else {
      e.number = static_cast<uint32_t>(new_type);
    }
    // A zero after the data: the block always holds zeroed bytes past the length.
    e.SetDataQuietly(new_text, static_cast<int32_t>(length));
    if (length == 0) e.data_length = 0;
  }
}

int MidiTrack::GetMetaText(int32_t type, char* out, int32_t room) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], type)) {
      const std::string text = TextOf(*events[i]);
      CopyTextCut(out, room, text.data(), text.size());
      return 1;
    }
  }
  if (out != nullptr && room > 0) out[0] = 0;
  return 0;
}

int MidiTrack::GetLastMetaText(int32_t type, char* out, int32_t room) const {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (IsMeta(*events[i], type)) {
      const std::string text = TextOf(*events[i]);
      CopyTextCut(out, room, text.data(), text.size());
      return 1;
    }
  }
  return 0;
}

std::string MidiTrack::MetaText(int32_t type) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], type)) return TextOf(*events[i]);
  }
  return std::string();
}

int32_t MidiTrack::FindMetaTextIndex(int32_t type, const char* text) const {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsMeta(*events[i], type) && TextEquals(*events[i], text)) return i;
  }
  return -1;
}

int32_t MidiTrack::FindMetaText(int32_t type, const char* text) const {
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    tick += events[i]->delta;
    if (IsMeta(*events[i], type) && TextEquals(*events[i], text)) return SaturatedDelta(tick);
  }
  return -1;
}

int32_t MidiTrack::FindMarkerIndex(const char* text) const {
  const size_t n = text ? std::strlen(text) : 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (!IsMeta(e, 6) || e.data_length != static_cast<int32_t>(n)) continue;
    if (n == 0 || (e.data != nullptr && e.DataBlockSize() > static_cast<int32_t>(n) &&
                   std::memcmp(e.data, text, n + 1) == 0)) {
      return i;
    }
  }
  return -1;
}

int32_t MidiTrack::FindEventIndex(uint32_t status_value, int32_t number_value) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (e.status == status_value &&
        (number_value == -1 || e.number == static_cast<uint32_t>(number_value))) {
      return i;
    }
  }
  return -1;
}

void MidiTrack::DeleteMetaType(int32_t type) {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (IsMeta(*events[i], type)) DeleteEvent(i);
  }
}

int MidiTrack::DeleteMeta(int32_t type, int all) {
  int any = 0;
  for (int32_t i = 0; i < event_count;) {
    if (IsMeta(*events[i], type)) {
      DeleteEvent(i);
      any = 1;
      if (!all) break;
      continue;
    }
    ++i;
  }
  return any;
}

void MidiTrack::DeleteAllTrackNames() {
  while (DeleteMeta(3, 0)) {
  }
}

int MidiTrack::KeepFirstTrackName() {
  const int32_t first = FindEventIndex(kStatusMeta, 3);
  if (first < 0) return 0;
  for (int32_t i = event_count - 1; i > first; --i) {
    if (IsMeta(*events[i], 3)) DeleteEvent(i);
  }
  return 1;
}

int MidiTrack::DeleteMetaTextAt(int32_t tick, int32_t type, const char* text) {
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    at += events[i]->delta;
    if (at == tick && IsMeta(*events[i], type) && TextEquals(*events[i], text)) {
      DeleteEvent(i);
      return 1;
    }
  }
  return 0;
}

namespace {

template <typename Keep>
void DeleteMetaUnless(MidiTrack& track, Keep keep) {
  for (int32_t i = track.event_count - 1; i >= 0; --i) {
    const MidiEvent& e = *track.events[i];
    if (e.status == kStatusMeta && !IsEndOfTrack(&e) && !keep(e)) track.DeleteEvent(i);
  }
}

}  // namespace

void MidiTrack::DeleteAllMetaExceptEndOfTrack() {
  DeleteMetaUnless(*this, [](const MidiEvent&) { return false; });
}

void MidiTrack::DeleteAllMetaExceptNameAndEnd() {
  DeleteMetaUnless(*this, [](const MidiEvent& e) { return e.number == 3; });
}

void MidiTrack::DeleteAllMetaExceptTempoAndEnd() {
  DeleteMetaUnless(*this, [](const MidiEvent& e) { return e.number == 0x51; });
}
