// Velocity, pitch and key-signature passes of the MIDI track.
#include <algorithm>
#include <cstring>
#include <vector>

#include "music/midi_track.h"
#include "util/gne_music.h"
#include "util/music_names.h"

namespace {

bool IsNoteEvent(const MidiEvent* e) { return e->status == kStatusNote; }

bool IsSounding(const MidiEvent* e, int32_t channel) {
  return e->status == kStatusNote && e->velocity > 0 && (channel == -1 || e->channel == channel);
}

bool InNoteMode(const MidiTrack& track) {
  if (track.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}

int32_t Clamp127(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, 127)); }

bool IsKeySignature(const MidiEvent* e) {
  return e->status == kStatusMeta && e->number == 0x59 && e->data != nullptr &&
         e->data_length >= 2 && e->DataBlockSize() >= 2;
}

// Calls f on every event starting in [from, to); from < 0 is refused.
template <typename F>
void ForEachInSpan(MidiTrack& track, int32_t from, int32_t to, F f) {
  if (from < 0) {
    MidiTrack::ErrorMsg(kMdtkPlayStart);
    return;
  }
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    tick += e->delta;
    if (tick >= to) break;
    if (tick >= from) f(e);
  }
}

}  // namespace

int32_t FoldNoteByOctaves(int64_t note) {
  if (note < 0) note += 12 * ((-note + 11) / 12);
  if (note > 127) note -= 12 * ((note - 127 + 11) / 12);
  return static_cast<int32_t>(note);
}

// ---- velocity ----

void MidiTrack::OffsetVelocity(int32_t amount) {
  if (!InNoteMode(*this)) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNoteEvent(e)) e->velocity = Clamp127(int64_t{e->velocity} + amount);
  }
}

void MidiTrack::ScaleVelocity(double factor) {
  if (!InNoteMode(*this)) return;
  if (factor == 1.0) return;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNoteEvent(e)) continue;
    const double v = e->velocity * factor;
    // Truncated; NaN and values beyond any int clamp like the others.
    e->velocity = v >= 127.0 ? 127 : (v > 0.0 ? static_cast<int32_t>(v) : 0);
  }
}

void MidiTrack::NormalizeVelocity(int32_t channel, int32_t top) {
  if (!InNoteMode(*this)) return;
  int32_t largest = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (IsNoteEvent(e) && e->channel == channel) largest = std::max(largest, e->velocity);
  }
  if (largest <= 0) return;  // nothing to scale by
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNoteEvent(e) || e->channel != channel) continue;
    const int64_t v = int64_t{e->velocity} * top / largest;
    e->velocity = Clamp127(std::min<int64_t>(v, top));
  }
}

int MidiTrack::CheckNotes() {
  if (!InNoteMode(*this)) return 1;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNoteEvent(e)) continue;
    if (e->note < 0 || e->note > 127) {
      e->note = Clamp127(e->note);
      return 1;
    }
    if (e->duration < 0 || e->delta < 0) {
      // Silenced, and the times made sound, so that the note is not found again
      // and no negative time reaches a file.
      e->velocity = 0;
      if (e->duration < 0) e->duration = 0;
      if (e->delta < 0) e->delta = 0;
      return 1;
    }
    if (e->velocity < 0 || e->velocity > 127) {
      e->velocity = Clamp127(e->velocity);
      return 1;
    }
  }
  return 0;
}

// ---- pitch ----

void MidiTrack::Transpose(int32_t channel, int32_t semitones) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsSounding(e, channel)) e->note = FoldNoteByOctaves(int64_t{e->note} + semitones);
  }
}

void MidiTrack::TransposeRange(int32_t from, int32_t to, int32_t semitones) {
  if (from < 0) {
    ErrorMsg(kMdtkPlayStart);
    return;
  }
  ForEachInSpan(*this, from, to, [semitones](MidiEvent* e) {
    if (IsSounding(e, -1)) e->note = FoldNoteByOctaves(int64_t{e->note} + semitones);
  });
  Compact();
}

void MidiTrack::TransposeOctaves(int32_t octaves) {
  if (!InNoteMode(*this)) return;
  const int64_t amount = int64_t{12} * octaves;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsNoteEvent(e)) e->note = Clamp127(e->note + amount);
  }
}

void MidiTrack::AddTransposedNotes(int32_t channel, int32_t semitones) {
  int32_t copies = 0;
  for (int32_t i = 0; i < event_count; ++i) copies += IsSounding(events[i], channel) ? 1 : 0;
  if (copies == 0) return;
  // The list is rebuilt once instead of shifting it for every copy.
  std::vector<MidiEvent*> list;
  list.reserve(static_cast<size_t>(event_count) + static_cast<size_t>(copies));
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    list.push_back(e);
    if (!IsSounding(e, channel)) continue;
    auto* copy = new MidiEvent(*e);
    copy->delta = 0;
    copy->note = FoldNoteByOctaves(int64_t{e->note} + semitones);
    list.push_back(copy);
  }
  ReserveEvents(static_cast<int32_t>(list.size()));
  std::copy(list.begin(), list.end(), events);
  event_count = static_cast<int32_t>(list.size());
}

int MidiTrack::LimitNoteRange(int32_t channel, int32_t low, int32_t high, int rule) {
  if (!InNoteMode(*this)) return 0;
  int outside = 0;
  bool deleted = false;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (!IsNoteEvent(e) || (channel != -1 && e->channel != channel)) continue;
    if (e->note >= low && e->note <= high) continue;
    outside = 1;
    if (rule == 0) {
      e->MarkDeleted();
      deleted = true;
    } else if (rule == 1) {
      e->note = e->note < low ? std::min(e->note + 12, 127) : std::max(e->note - 12, 0);
    }
  }
  if (deleted) Compact();
  return outside;
}

// ---- key signatures ----

int MidiTrack::GetKeySignature(int32_t* out, int32_t* position) const {
  const int32_t start = position != nullptr ? std::max(*position, 0) : 0;
  for (int32_t i = start; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (!IsKeySignature(e)) continue;
    if (out != nullptr) {
      out[0] = static_cast<int8_t>(e->data[0]);
      out[1] = e->data[1];
    }
    if (position != nullptr) *position = i;
    return 1;
  }
  return 0;
}

int MidiTrack::GetKeySignatureName(char* text, int32_t* position) const {
  int32_t key[2] = {0, 0};
  if (text != nullptr) text[0] = 0;
  if (!GetKeySignature(key, position)) return 0;
  if (text != nullptr) GneKeySignatureName(text, key[1], key[0]);
  return 1;
}

void MidiTrack::TransposeKeySignatures(int32_t from, int32_t to, int32_t semitones) {
  ForEachInSpan(*this, from, to, [semitones](MidiEvent* e) {
    if (!IsKeySignature(e)) return;
    const int mode = e->data[1];
    const int count = static_cast<int8_t>(e->data[0]);
    int tonic = -1;
    for (const KeySignature& key : KeySignatureTable) {
      if (key.mode == mode && key.accidentals == count) {
        tonic = key.tonic;
        break;
      }
    }
    if (tonic < 0) return;  // no such key: left as it is
    const int moved = static_cast<int>(((int64_t{tonic} + semitones) % 12 + 12) % 12);
    for (const KeySignature& key : KeySignatureTable) {
      if (key.mode == mode && key.tonic == moved) {
        e->data[0] = static_cast<uint8_t>(key.accidentals);
        break;
      }
    }
  });
}
