// Standard MIDI Files written by hand for the import tests, and the notes of an imported
// song read back from its cells.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "song/song_data.h"
#include "tests/support/smf_bytes.h"

namespace import_test {

using Bytes = std::vector<uint8_t>;

struct Ev {
  int64_t tick;
  Bytes bytes;  // status and data, or FF type len data
};

using cantrel_test::Put32;
using cantrel_test::PutVarLen;

inline Bytes TrackChunk(std::vector<Ev> events) {
  std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
  Bytes body;
  int64_t last = 0;
  for (const Ev& e : events) {
    PutVarLen(body, static_cast<uint32_t>(e.tick - last));
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    last = e.tick;
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes chunk = {'M', 'T', 'r', 'k'};
  Put32(chunk, static_cast<uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

inline Bytes Smf(const std::vector<std::vector<Ev>>& tracks, int division) {
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(tracks.size() > 1 ? 1 : 0), 0,
             static_cast<uint8_t>(tracks.size()), static_cast<uint8_t>(division >> 8),
             static_cast<uint8_t>(division)};
  for (const auto& t : tracks) {
    const Bytes c = TrackChunk(t);
    b.insert(b.end(), c.begin(), c.end());
  }
  return b;
}

inline void Note(std::vector<Ev>& t, int64_t tick, int channel, int pitch, int64_t length, int velocity = 100) {
  t.push_back({tick, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(pitch),
                      static_cast<uint8_t>(velocity)}});
  t.push_back({tick + length, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(pitch), 0}});
}

inline void Meta(std::vector<Ev>& t, int64_t tick, uint8_t type, const Bytes& data) {
  Ev e{tick, {0xFF, type}};
  PutVarLen(e.bytes, static_cast<uint32_t>(data.size()));
  e.bytes.insert(e.bytes.end(), data.begin(), data.end());
  t.push_back(e);
}

inline void Text(std::vector<Ev>& t, int64_t tick, uint8_t type, const std::string& text) {
  Meta(t, tick, type, Bytes(text.begin(), text.end()));
}

inline void TimeSignature(std::vector<Ev>& t, int numerator, int power) {
  Meta(t, 0, 0x58, {static_cast<uint8_t>(numerator), static_cast<uint8_t>(power), 24, 8});
}

inline void Program(std::vector<Ev>& t, int channel, int program) {
  t.push_back({0, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)}});
}

inline void Write(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A note of the song: onset in ticks of 96 per quarter and pitch.
struct SongNote {
  int64_t tick;
  int pitch;
};

// Every pitch that starts in a slot of the song's cells.
inline std::vector<SongNote> SongNotes(const CSongData& song) {
  std::vector<SongNote> notes;
  for (int c = 0; c < song.SongCells() && c < kSongMaxCells; ++c) {
    const NoteCell& cell = song.cells[c];
    for (int s = 0; s < 3; ++s) {
      if (cell.slot[s] < 0) continue;
      const int offset = s == 0 ? 0 : s == 2 ? 32 : (cell.slot[2] == NoteSlotVacant ? 24 : 16);
      notes.push_back({int64_t{c} * 48 + offset, cell.slot[s]});
    }
  }
  return notes;
}

// The chord name of a beat's first half.
inline std::string ChordOf(const CSongData& song, int bar, int beat) {
  const int b = bar * song.beats_per_bar + beat;
  return std::string(song.chords[b].first, strnlen(song.chords[b].first, 8));
}

}  // namespace import_test
