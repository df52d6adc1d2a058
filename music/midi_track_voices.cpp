// Voice thinning: measuring polyphony, keeping the top notes of chords, cutting
// voices beyond a limit, and removing duplicate notes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "music/chord_name.h"
#include "music/midi_track.h"

namespace {

bool IsNoteOn(const MidiEvent& e) { return e.status == kStatusNoteOn && e.velocity > 0; }
bool IsNoteOff(const MidiEvent& e) {
  return e.status == kStatusNoteOff || (e.status == kStatusNoteOn && e.velocity == 0);
}
// Channel and note inside the 16 x 128 table.
bool InTable(const MidiEvent& e) {
  return e.channel >= 0 && e.channel < 16 && e.note >= 0 && e.note < 128;
}
bool IsExcluded(int channel, const int32_t* excluded, int32_t n) {
  for (int32_t i = 0; i < n && excluded != nullptr; ++i) {
    if (excluded[i] == channel) return true;
  }
  return false;
}

std::unique_ptr<MidiTrack> EventModeCopy(const MidiTrack& track, int32_t capacity) {
  auto copy = std::make_unique<MidiTrack>(kTrackEmpty, capacity);
  copy->CopyNoteModeEvents(track);
  copy->ToEventMode();
  return copy;
}

// Calls group(start, end) for every same-tick group that begins at an event with a
// delta above 0 (the events of the first tick with delta 0 belong to none).
template <typename Group>
void ForEachLaterGroup(const MidiTrack& track, Group group) {
  int32_t start = -1;
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (track.events[i]->delta > 0) {
      if (start >= 0) group(start, i);
      start = i;
    }
  }
  if (start >= 0) group(start, track.event_count);
}

}  // namespace

int MidiTrack::CountSounding(const SoundingFlags table) {
  int count = 0;
  for (int ch = 0; ch < 16; ++ch) {
    for (int n = 0; n < 128; ++n) count += table[ch][n] ? 1 : 0;
  }
  return count;
}

int MidiTrack::GetMaxPolyphony(int) const {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  std::unique_ptr<MidiTrack> copy = EventModeCopy(*this, capacity);
  uint8_t table[16][128] = {};
  int sounding = 0;
  int most = 0;
  for (int32_t i = 0; i < copy->event_count; ++i) {
    const MidiEvent& e = *copy->events[i];
    if (e.delta != 0 || i == copy->event_count - 1) most = std::max(most, sounding);
    if (!InTable(e)) continue;
    uint8_t& flag = table[e.channel][e.note];
    if (IsNoteOn(e) && !flag) {
      flag = 1;
      ++sounding;
    } else if (IsNoteOff(e) && flag) {
      flag = 0;
      --sounding;
    }
  }
  return most;
}

int MidiTrack::GetMaxPitchPolyphony() const {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  std::unique_ptr<MidiTrack> copy = EventModeCopy(*this, 0x60000);
  uint8_t row[128] = {};
  int most = 0;
  for (int32_t i = 0; i < copy->event_count; ++i) {
    const MidiEvent& e = *copy->events[i];
    if (e.note < 0 || e.note >= 128) continue;
    if (IsNoteOn(e)) {
      row[e.note] = 1;
      int count = 0;
      for (uint8_t f : row) count += f;
      most = std::max(most, count);
    } else if (IsNoteOff(e)) {
      row[e.note] = 0;
    }
  }
  return most;
}

int MidiTrack::ChannelWithMostSounding(const SoundingFlags table, const int32_t* excluded,
                                       int32_t n) {
  int best = -1;
  int best_count = 0;
  for (int ch = 0; ch < 16; ++ch) {
    if (IsExcluded(ch, excluded, n)) continue;
    int count = 0;
    for (int k = 0; k < 128; ++k) count += table[ch][k] ? 1 : 0;
    if (count > best_count) {
      best = ch;
      best_count = count;
    }
  }
  return best;
}

int MidiTrack::IsHighestFlagged(int32_t note, const uint8_t* row) {
  int highest = -1;
  for (int k = 127; k >= 0; --k) {
    if (row[k]) {
      highest = k;
      break;
    }
  }
  return note == highest ? 1 : 0;
}

void MidiTrack::KeepTopNotes(int32_t channel, int no_shortening) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  auto counts = [&](const MidiEvent& e) {
    return e.status == kStatusNote && (channel == 255 || e.channel == channel);
  };
  std::vector<int32_t> group;
  auto close_group = [&]() {
    if (group.size() > 1) {
      int top = -1;
      for (int32_t i : group) top = std::max(top, events[i]->note);
      for (int32_t i : group) {
        if (events[i]->note != top) events[i]->MarkDeleted();
      }
    }
    group.clear();
  };
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->delta > 0) close_group();
    if (counts(*events[i])) group.push_back(i);
  }
  close_group();
  Compact();
  if (no_shortening == 1) return;
  // From the end back: the start of the next note of each channel (or of any).
  std::vector<int64_t> ticks(static_cast<size_t>(event_count));
  int64_t tick = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    tick += events[i]->delta;
    ticks[static_cast<size_t>(i)] = tick;
  }
  const int64_t end = tick;
  int64_t next_any = -1;
  int64_t next_of[16];
  std::fill(std::begin(next_of), std::end(next_of), -1);
  for (int32_t i = event_count - 1; i >= 0; --i) {
    MidiEvent& e = *events[i];
    if (!counts(e)) continue;
    const int64_t at = ticks[static_cast<size_t>(i)];
    const bool own_channel = channel != 255 && e.channel >= 0 && e.channel < 16;
    int64_t next = own_channel ? next_of[e.channel] : next_any;
    if (next < 0) next = end;
    const int64_t distance = next - at;
    if (distance < e.duration) {
      if (distance <= 0 && next != end) {
        e.MarkDeleted();
      } else if (distance > 0) {
        e.duration = static_cast<int32_t>(distance);
      }
    }
    if (e.status != kStatusDeleted) {
      next_any = at;
      if (e.channel >= 0 && e.channel < 16) next_of[e.channel] = at;
    }
  }
  Compact();
}

int MidiTrack::PickVoiceByPitch(const SoundingFlags table, const int32_t* excluded, int32_t n,
                                int32_t* out_channel, int32_t* out_note, int keep_top) {
  if (keep_top == 1) ErrorMsg(kMdtkKeepTopUnsupported);
  const int ch = ChannelWithMostSounding(table, excluded, n);
  if (ch < 0) {
    ErrorMsg(kMdtkThinningFailed);
    return 0;
  }
  int lowest = -1;
  int second = -1;
  for (int k = 0; k < 128; ++k) {
    if (!table[ch][k]) continue;
    if (lowest < 0) {
      lowest = k;
    } else {
      second = k;
      break;
    }
  }
  *out_channel = ch;
  *out_note = second >= 0 ? second : lowest;
  return 1;
}

int MidiTrack::PickVoiceByChord(const SoundingFlags table, const int32_t* excluded, int32_t n,
                                int32_t* out_channel, int32_t* out_note, const char* chord,
                                const int32_t (*priority)[12], int keep_top) {
  const int ch = ChannelWithMostSounding(table, excluded, n);
  if (ch < 0) {
    ErrorMsg(kMdtkThinningFailed);
    return 0;
  }
  const ChordName name(chord);
  const int third = name.third - name.root;
  const int fifth = name.fifth - name.root;
  int chord_class = 3;
  if (third == 4) {
    chord_class = 0;
  } else if (third == 3 && fifth == 7) {
    chord_class = 1;
  } else if (third == 3 && fifth == 6) {
    chord_class = 2;
  }
  const int root = ((name.root % 12) + 12) % 12;
  for (int pass = 0; pass < 2; ++pass) {
    const bool keep = keep_top == 1 && pass == 0;
    for (int k = 0; k < 12 && priority != nullptr; ++k) {
      const int pitch_class = ((root + priority[chord_class][k]) % 12 + 12) % 12;
      for (int note = pitch_class; note < 128; note += 12) {
        if (!table[ch][note]) continue;
        if (keep && IsHighestFlagged(note, table[ch])) break;
        *out_channel = ch;
        *out_note = note;
        return 1;
      }
    }
    if (keep_top != 1) break;
    if (pass == 0) WarningMsg(kMdtkTopNoteThinned);
  }
  WarningMsg(kMdtkThinningFailed);
  return 0;
}

int MidiTrack::LimitPolyphonyCore(int32_t maximum, const int32_t* excluded, int32_t n,
                                  int method, const int32_t (*priority)[12], int keep_top) {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  if (method != 0 && method != 1 && method != 2) {
    ErrorMsg(kMdtkPolyphony);
    return 0;
  }
  uint8_t table[16][128] = {};
  int sounding = 0;
  std::string chord;
  int64_t pending = 0;  // deltas of deleted events not yet passed on
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* current = events[i];
    if (current->status == kStatusDeleted) {
      pending += current->delta;
      continue;
    }
    const bool opens = current->delta + pending > 0 || i == event_count - 1;
    pending = 0;
    while (opens && sounding > maximum) {
      int32_t ch = -1;
      int32_t note = -1;
      if (method == 0) {
        for (int c = 15; c >= 0 && ch < 0; --c) {
          for (int k = 0; k < 128; ++k) {
            if (table[c][k]) {
              ch = c;
              note = k;
              break;
            }
          }
        }
      } else if (method == 1) {
        PickVoiceByPitch(table, excluded, n, &ch, &note, keep_top);
      } else {
        PickVoiceByChord(table, excluded, n, &ch, &note, chord.c_str(), priority, keep_top);
      }
      if (ch < 0 || note < 0 || !table[ch][note]) break;  // nothing more to cut
      auto* off = new MidiEvent(0);
      off->status = kStatusNoteOff;
      off->channel = ch;
      off->note = note;
      InsertEvent(i, 2, off);  // ends the note at the tick just completed
      ++i;
      table[ch][note] = 0;
      --sounding;
      for (int32_t j = i + 1; j < event_count; ++j) {
        MidiEvent& e = *events[j];
        if (IsNoteOff(e) && e.channel == ch && e.note == note) {
          e.MarkDeleted();
          break;
        }
      }
      // Struck in the tick just completed: the note goes entirely.
      for (int32_t j = i - 2; j >= 0; --j) {
        MidiEvent& e = *events[j];
        if (IsNoteOn(e) && e.channel == ch && e.note == note) {
          e.MarkDeleted();
          events[i - 1]->MarkDeleted();
          break;
        }
        if (e.delta != 0) break;
      }
    }
    MidiEvent& e = *events[i];
    if (e.status == kStatusMeta && e.number == 6) {
      if (e.data != nullptr && e.data_length > 0) {
        const int32_t len = std::min(e.data_length, e.DataBlockSize());
        const char* p = reinterpret_cast<const char*>(e.data);
        chord.assign(p, strnlen(p, static_cast<size_t>(len)));
      }
    }
    if (!InTable(e)) continue;
    uint8_t& flag = table[e.channel][e.note];
    if (IsNoteOn(e)) {
      if (flag) {
        e.MarkDeleted();
      } else {
        flag = 1;
        ++sounding;
      }
    } else if (IsNoteOff(e)) {
      if (!flag) {
        e.MarkDeleted();
      } else {
        flag = 0;
        --sounding;
      }
    }
  }
  Compact();
  MoveNoteOffsBeforeNoteOns();
  return 1;
}

void MidiTrack::LimitPolyphony(int32_t maximum) {
  LimitPolyphonyCore(maximum, nullptr, 0, 0, nullptr, 0);
}

void MidiTrack::LimitPolyphonyEx(int32_t maximum, const int32_t* excluded, int32_t n,
                                 int method, const int32_t (*priority)[12], int keep_top) {
  if (method != 1 && method != 2) {
    if (mode == kTrackEvents) ErrorMsg(kMdtkPolyphony);
    else ErrorMsg(kMdtkInternal);
    return;
  }
  LimitPolyphonyCore(maximum, excluded, n, method, priority, keep_top);
}

void MidiTrack::LimitPolyphonySimple(int32_t maximum) {
  if (mode == kTrackNotes) {
    ToEventMode();
    LimitPolyphonySimple(maximum);
    ToNoteMode();
    return;
  }
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  uint8_t table[16][128] = {};
  int sounding = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!InTable(e)) continue;
    if (IsNoteOn(e)) {
      if (table[e.channel][e.note]) continue;
      if (sounding >= maximum) {
        int ch = -1;
        int note = -1;
        for (int c = 0; c < 16 && ch < 0; ++c) {
          for (int k = 0; k < 128; ++k) {
            if (table[c][k]) {
              ch = c;
              note = k;
              break;
            }
          }
        }
        if (ch >= 0) {
          auto* off = new MidiEvent(e.delta);
          off->status = kStatusNoteOff;
          off->channel = ch;
          off->note = note;
          events[i]->delta = 0;
          InsertEvent(i, 2, off);
          ++i;
          table[ch][note] = 0;
          --sounding;
          // Its own note-off later has nothing left to end.
          for (int32_t j = i + 1; j < event_count; ++j) {
            if (IsNoteOff(*events[j]) && events[j]->channel == ch && events[j]->note == note) {
              events[j]->MarkDeleted();
              break;
            }
          }
        }
      }
      MidiEvent& on = *events[i];
      table[on.channel][on.note] = 1;
      ++sounding;
    } else if (IsNoteOff(e) && table[e.channel][e.note]) {
      table[e.channel][e.note] = 0;
      --sounding;
    }
  }
  Compact();
}

int MidiTrack::RemoveDuplicateNotes() {
  int removed = 0;
  auto close_group = [&](int32_t start, int32_t end) {
    for (int32_t i = start; i < end; ++i) {
      const MidiEvent& a = *events[i];
      if (a.status != kStatusNote) continue;
      for (int32_t j = i + 1; j < end; ++j) {
        MidiEvent& b = *events[j];
        if (b.status == kStatusNote && b.note == a.note && b.duration == a.duration) {
          b.MarkDeleted();
          ++removed;
        }
      }
    }
  };
  ForEachLaterGroup(*this, close_group);
  Compact();
  return removed;
}

int MidiTrack::RemoveOctaveDoublings() {
  int removed = 0;
  auto close_group = [&](int32_t start, int32_t end) {
    for (int32_t i = start; i < end; ++i) {
      const MidiEvent& a = *events[i];
      if (a.status != kStatusNote) continue;
      std::vector<int32_t> same;
      for (int32_t j = i + 1; j < end; ++j) {
        const MidiEvent& b = *events[j];
        if (b.status == kStatusNote && b.note % 12 == a.note % 12 && b.duration == a.duration) {
          same.push_back(j);
        }
      }
      if (same.empty()) continue;
      int low = 128;
      int high = -1;
      for (int32_t j : same) {
        low = std::min(low, events[j]->note);
        high = std::max(high, events[j]->note);
      }
      for (int32_t j : same) {
        if (events[j]->note != low && events[j]->note != high) {
          events[j]->MarkDeleted();
          ++removed;
        }
      }
    }
  };
  ForEachLaterGroup(*this, close_group);
  Compact();
  return removed;
}

void MidiTrack::MoveNotesBehind() {
  auto close_group = [&](int32_t start, int32_t end) {
    // One pass: each note is carried behind the events after it in the group.
    int32_t last = end - 1;
    for (int32_t i = last - 1; i >= start; --i) {
      if (events[i]->status != kStatusNote) continue;
      for (int32_t j = i; j < last && events[j + 1]->status != kStatusNote; ++j) SwapEvents(j, j + 1);
    }
  };
  ForEachLaterGroup(*this, close_group);
}
