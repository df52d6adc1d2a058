#include "music/midi_data_fuzz.h"

#include <cstring>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi1_data.h"

namespace {

// The chunks behind a header: their number, -1 when a length runs past the end.
int CountChunks(const uint8_t* bytes, int32_t size) {
  int count = 0;
  int64_t at = kSmfHeaderSize;
  while (at + 8 <= size) {
    at += 8 + ChunkLength(bytes, size, at);
    if (at > size) return -1;
    ++count;
  }
  return at == size ? count : -1;
}

std::vector<uint8_t> Bytes(const MidiData& song) {
  return std::vector<uint8_t>(song.buffer, song.buffer + song.used_size);
}

int CheckFormat0(const uint8_t* data, int32_t size) {
  Midi0Data song(data, size);
  if (song.state != kSongNotes || song.track == nullptr) return 1;
  {
    // Play preparation on a copy.
    Midi0Data copy(song);
    copy.ChangeDivision(96, 0);
    copy.ToEventMode();
    const int32_t cut = copy.CutLeadIn();
    if (cut < 0 || cut % copy.GetBarLength() != 0) return 2;
  }
  // Packed in the system's order (keepOrder 0), from the conversion's own order.
  song.track->ForgetReadOrder();
  song.ToEventMode();
  song.Pack(0);
  if (song.state != kSongBytes) return 0;  // refused and reported: nothing written
  if (song.used_size < kSmfHeaderSize || song.used_size > song.capacity) return 3;
  if (PeekSmfFormat(song.buffer, song.used_size) != 0) return 4;
  if (CountChunks(song.buffer, song.used_size) != 1) return 5;
  const std::vector<uint8_t> first = Bytes(song);
  Midi0Data again(first.data(), static_cast<int32_t>(first.size()));
  if (again.state != kSongNotes) return 6;
  if (again.track != nullptr) again.track->ForgetReadOrder();
  again.ToEventMode();
  again.Pack(0);
  if (again.state == kSongBytes && Bytes(again) != first) return 7;
  return 0;
}

int CheckFormat1(const uint8_t* data, int32_t size) {
  Midi1Data song(data, size, 0, kDefaultMusicCapacity);
  if (song.state == kSongBytes) return song.track_count == 0 ? 0 : 11;
  if (song.state != kSongNotes) return 12;
  song.ToEventMode();
  song.Pack();
  if (song.state != kSongBytes) return 13;
  if (song.used_size < kSmfHeaderSize || song.used_size > song.capacity) return 14;
  if (PeekSmfFormat(song.buffer, song.used_size) != 1) return 15;
  const int chunks = CountChunks(song.buffer, song.used_size);
  SmfHeader header;
  ReadSmfHeader(song.buffer, song.used_size, &header);
  if (chunks < 0 || chunks != header.tracks) return 16;
  const std::vector<uint8_t> first = Bytes(song);
  Midi1Data again(static_cast<int32_t>(first.size()), first.data());
  if (again.state != kSongNotes || again.track_count != chunks) return 17;
  again.ToEventMode();
  again.Pack();
  if (Bytes(again) != first) return 18;
  return 0;
}

}  // namespace

int FuzzSmfSongInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(kDefaultMusicCapacity)) return 0;
  std::vector<uint8_t> copy(data, data + size);
  const int32_t n = static_cast<int32_t>(size);
  if (GetSmfFormat(copy.data(), n) < -1) return 20;
  if (const int r = CheckFormat0(data, n)) return r;
  return CheckFormat1(data, n);
}
