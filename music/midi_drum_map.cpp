// Drum notes of a track: related drum notes folded onto one note per family, notes
// limited to the standard kit range, a kit bank mapped through a table, and every
// note set to one note.
#include <cstdint>

#include "music/midi_track.h"

namespace {

constexpr uint32_t kMdtkDrumBank = 0x0D000013;
constexpr uint32_t kMdtkBadValue = 0x0D000024;

// The General MIDI drum families: members in the order the representative is
// looked for (the first member wins when none is played).
struct DrumFamily {
  int32_t members[10];
  int32_t count;
};
constexpr DrumFamily kDrumFamilies[] = {
    {{35, 36}, 2},
    {{38, 40}, 2},
    {{41, 43, 45, 47, 48, 50}, 6},
    {{42}, 1},
    {{44, 46}, 2},
    {{49, 51, 57, 52, 59, 55}, 6},
    {{60, 61}, 2},
    {{62, 63, 64}, 3},
    {{67, 68}, 2},
    {{71, 72}, 2},
    {{78, 79}, 2},
    {{73, 74}, 2},
    {{65, 66}, 2},
    {{37, 75, 76, 77}, 4},
    {{39, 56, 53, 54, 58}, 5},
    {{69, 70}, 2},
    {{80, 81}, 2},
};

// Statuses whose note field is a drum note.
bool HasNoteField(const MidiEvent& e) {
  return e.status == kStatusNote || e.status == kStatusNoteOn || e.status == kStatusNoteOff ||
         e.status == kStatusPolyPressure;
}
bool StartsNote(const MidiEvent& e) {
  return e.status == kStatusNote || (e.status == kStatusNoteOn && e.velocity > 0);
}

// Which channels 0..15 are rhythm parts.
void RhythmChannels(const MidiTrack& track, bool rhythm[16]) {
  for (int32_t c = 0; c < 16; ++c) rhythm[c] = track.IsRhythmPart(c) == 1;
}

// Notes started on rhythm channels, per pitch.
void RhythmPitchCounts(const MidiTrack& track, const bool rhythm[16], int32_t counts[128]) {
  for (int32_t p = 0; p < 128; ++p) counts[p] = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    if (!StartsNote(e) || e.channel < 0 || e.channel >= 16 || !rhythm[e.channel]) continue;
    if (e.note >= 0 && e.note < 128) ++counts[e.note];
  }
}

int32_t MostFrequentOf(const int32_t* candidates, int32_t n, const int32_t counts[128]) {
  if (candidates == nullptr || n <= 0) return 0;
  int32_t best = candidates[0];
  int32_t most = -1;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t p = candidates[i];
    const int32_t c = (p >= 0 && p < 128) ? counts[p] : 0;
    if (c > most) {
      most = c;
      best = p;
    }
  }
  return best;
}

MidiEvent* ChannelEvent(uint32_t status, int32_t channel, int32_t number, int32_t value) {
  auto* e = new MidiEvent(0);
  if (status == kStatusProgram) {
    e->SetProgramChange(channel, value);
  } else {
    e->SetControlChange(channel, number, value);
  }
  return e;
}

}  // namespace

int32_t MidiTrack::CountPitchOnRhythmChannels(int32_t pitch) const {
  // Only the notes of rhythm channels count: a bass line on note 36 in a song of
  // several channels says nothing about the kick drum.
  bool rhythm[16];
  RhythmChannels(*this, rhythm);
  int32_t counts[128];
  RhythmPitchCounts(*this, rhythm, counts);
  return (pitch >= 0 && pitch < 128) ? counts[pitch] : 0;
}

int32_t MidiTrack::MostFrequentPitch(const int32_t* candidates, int32_t n) const {
  bool rhythm[16];
  RhythmChannels(*this, rhythm);
  int32_t counts[128];
  RhythmPitchCounts(*this, rhythm, counts);
  return MostFrequentOf(candidates, n, counts);
}

int MidiTrack::RemapDrumFamilies() {
  bool rhythm[16];
  RhythmChannels(*this, rhythm);
  int32_t counts[128];
  RhythmPitchCounts(*this, rhythm, counts);
  // Each drum note's family representative (-1: not a family member).
  int32_t target[128];
  for (int32_t& t : target) t = -1;
  for (const DrumFamily& family : kDrumFamilies) {
    const int32_t chosen = MostFrequentOf(family.members, family.count, counts);
    for (int32_t m = 0; m < family.count; ++m) target[family.members[m]] = chosen;
  }
  int changed = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!HasNoteField(e) || e.channel < 0 || e.channel >= 16 || !rhythm[e.channel]) continue;
    if (e.note < 0 || e.note >= 128 || target[e.note] < 0 || target[e.note] == e.note) continue;
    e.note = target[e.note];
    ++changed;
  }
  return changed;
}

int MidiTrack::LimitDrumNotes(int) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusNote && (e.note < 35 || e.note > 81)) e.note = 35;
  }
  return FixOverlappingNotes(0);
}

void MidiTrack::RemapDrumKit(int32_t bank, const int8_t (*table)[128], int zero_bank) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  if (table == nullptr) return;
  const int32_t channel = GetChannel();
  int32_t bank_lsb = 0;
  int32_t program = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusController && e.number == 0) {
      if (e.value != 0) {
        ErrorMsg(kMdtkDrumBank);
        if (zero_bank == 1) e.value = 0;
      }
    } else if (e.status == kStatusController && e.number == 32) {
      bank_lsb = e.value;
      if (bank_lsb == bank && zero_bank == 1) e.value = 0;
    } else if (e.status == kStatusProgram && bank_lsb == bank) {
      program = e.value;
      if (zero_bank == 1) e.value = 0;
    } else if (e.status == kStatusNote) {
      // A program or note outside the table is reported and the note left alone.
      if (program < 0 || program > 127 || e.note < 0 || e.note > 127) {
        ErrorMsg(kMdtkBadValue);
        continue;
      }
      if (bank_lsb != bank) continue;
      const int32_t mapped = table[program][e.note];
      if (mapped < 0) continue;  // -1 leaves the note
      e.note = mapped;
      if (zero_bank != 0) continue;
      // The note plays from the standard kit; the kit comes back right after it.
      InsertEvent(i, 2, ChannelEvent(kStatusController, channel, 0, 0));
      InsertEvent(i + 1, 2, ChannelEvent(kStatusController, channel, 32, 0));
      InsertEvent(i + 2, 2, ChannelEvent(kStatusProgram, channel, 0, 0));
      // The note now stands at i + 3; the three go before it at the tick of the event
      // before, since the note keeps its delta.
      InsertEvent(i + 3, 1, ChannelEvent(kStatusController, channel, 0, 0));
      InsertEvent(i + 4, 1, ChannelEvent(kStatusController, channel, 32, bank));
      InsertEvent(i + 5, 1, ChannelEvent(kStatusProgram, channel, 0, program));
      i += 6;
    }
  }
  Compact();
  RemoveRedundantBankProgram();
}

int32_t MidiTrack::SetAllNotes(int32_t note, int32_t duration) {
  if (mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusNote) continue;
    e.note = note;
    if (duration != -1) e.duration = duration;
  }
  return event_count;
}
