#include "music/midi_track_fuzz.h"

#include <cstring>
#include <memory>
#include <vector>

#include "music/midi_track.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wrap(const uint8_t* data, size_t size) {
  Bytes chunk = {'M', 'T', 'r', 'k', static_cast<uint8_t>(size >> 24),
                 static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
                 static_cast<uint8_t>(size)};
  chunk.insert(chunk.end(), data, data + size);
  return chunk;
}

int CheckEventList(const MidiTrack& t, int32_t expected_mode) {
  if (t.mode != expected_mode) return 10;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent* e = t.events[i];
    if (e == nullptr) return 11;
    if (expected_mode == kTrackNotes && (e->status == kStatusNoteOn || e->status == kStatusNoteOff))
      return 12;
    if (expected_mode == kTrackEvents && e->status == kStatusNote) return 13;
  }
  return 0;
}

// Serialises a copy of the events; the result must read back and write the same
// bytes again.
int CheckSerialised(MidiTrack& track, int64_t input_size) {
  // Room for the worst growth (every event written in full with a four-byte delta).
  int64_t room = input_size * 8 + 4096;
  if (room > 0x4000000) return 0;
  MidiTrack copy(kTrackEvents, static_cast<int32_t>(room));
  copy.CopyEventModeEvents(track);
  copy.KeepOneEndOfTrack();
  copy.ToChunk("MTrk");
  if (copy.mode != kTrackChunk) return 20;
  if (copy.used_size < 8 || copy.used_size > copy.capacity) return 21;
  uint32_t len = (uint32_t{copy.buffer[4]} << 24) | (copy.buffer[5] << 16) |
                 (copy.buffer[6] << 8) | copy.buffer[7];
  if (len + 8 != static_cast<uint32_t>(copy.used_size)) return 22;

  MidiTrack second(copy.used_size, 0, copy.buffer, 0, static_cast<int32_t>(room));
  if (second.mode != kTrackEvents) return 23;
  second.ToChunk("MTrk");
  MidiTrack third(second.used_size, 0, second.buffer, 0, static_cast<int32_t>(room));
  third.ToChunk("MTrk");
  if (third.used_size != second.used_size ||
      std::memcmp(third.buffer, second.buffer, static_cast<size_t>(second.used_size)) != 0)
    return 24;
  return 0;
}

int CheckNoteModes(const MidiTrack& track, int64_t input_size) {
  MidiTrack work(kTrackEvents, 0);
  work.CopyEventModeEvents(track);
  work.HasOverlappingNotes();
  work.ToNoteMode();
  if (int r = CheckEventList(work, kTrackNotes)) return r;
  int32_t notes = work.CountEvents(kStatusNote);
  work.GetEndTime();
  work.GetFirstNoteOnTime();
  work.HasOverlappingNotes();
  work.CountNotesBetween(0, 960);
  {
    MidiTrack fixed(work, 0);
    fixed.FixOverlappingNotes(1);
    if (int r = CheckEventList(fixed, kTrackNotes)) return r + 100;
  }
  work.ToEventMode();
  if (int r = CheckEventList(work, kTrackEvents)) return r + 200;
  if (work.CountEvents(kStatusNoteOn) != notes) return 30;
  work.GetLength();
  work.GetChannel();
  work.GetTempoAt(480);
  work.GetTimeSignatureAt(480);
  int32_t tempo = 0;
  work.GetMicrosecondsAt(480, 96, 10, &tempo);
  work.GetSecondsUpTo(0, 1920, 96);
  work.NotesActiveBetween(0, 480);
  work.TimeSignaturesOnBarLines(96);
  // Written once more: every byte inside the buffer.
  int64_t room = input_size * 8 + 4096;
  if (room > 0x4000000) return 0;
  MidiTrack out(kTrackEvents, static_cast<int32_t>(room));
  out.CopyEventModeEvents(work);
  out.KeepOneEndOfTrack();
  out.ToChunk("MTrk");
  if (out.mode != kTrackChunk || out.used_size > out.capacity) return 31;
  return 0;
}

int CheckTrack(MidiTrack& track, int64_t input_size) {
  if (track.mode == kTrackEmpty) return 0;
  if (int r = CheckEventList(track, kTrackEvents)) return r;
  if (int r = CheckSerialised(track, input_size)) return r;
  return CheckNoteModes(track, input_size);
}

}  // namespace

int FuzzMidiTrackInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  ResetMidiTrackModule();
  // Every chunk of a file, other chunks stepped over by their length.
  if (size >= 8 && std::memcmp(data, "MThd", 4) == 0) {
    uint64_t at = 0;
    int tracks = 0;
    while (at + 8 <= size && tracks < 64) {
      uint64_t len = (uint64_t{data[at + 4]} << 24) | (uint64_t{data[at + 5]} << 16) |
                     (uint64_t{data[at + 6]} << 8) | data[at + 7];
      if (std::memcmp(data + at, "MTrk", 4) == 0) {
        ++tracks;
        int64_t room = static_cast<int64_t>(size) * 2 + 1024;
        if (room > kDefaultMusicCapacity) room = kDefaultMusicCapacity;
        MidiTrack track(static_cast<int64_t>(size), static_cast<int64_t>(at), data, 0,
                        static_cast<int32_t>(room));
        if (int r = CheckTrack(track, static_cast<int64_t>(size))) return r;
      }
      at += 8 + len;
    }
  }
  // The bytes as one chunk body, with a roomy and with a tight capacity (for every
  // fourth file, as the file's own chunks were read above).
  const bool is_file = size >= 4 && std::memcmp(data, "MThd", 4) == 0;
  if (is_file && size % 4 != 0) return 0;
  Bytes chunk = Wrap(data, size);
  MidiTrack roomy(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0,
                  static_cast<int32_t>(chunk.size() * 2 + 1024));
  if (int r = CheckTrack(roomy, static_cast<int64_t>(chunk.size()))) return r + 1000;
  int32_t tight_capacity = static_cast<int32_t>(chunk.size() / 2 + 300);
  MidiTrack tight(static_cast<int64_t>(chunk.size()), 0, chunk.data(), 0, tight_capacity);
  if (tight.mode != kTrackEmpty && chunk.size() > static_cast<size_t>(tight_capacity)) return 40;
  if (tight.mode == kTrackEvents) {
    tight.KeepOneEndOfTrack();
    tight.ToChunk("MTrk");
    if (tight.used_size > tight.capacity) return 41;
  }
  return 0;
}
