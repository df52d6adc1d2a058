// Songs for the rendering tests, made through the song document as a user makes
// them, the facade's calling order, and what a song's note cells promise.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "arrange/ckv_algo.h"
#include "engine/engine_state.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/engine/engine_fixture.h"

namespace render_test {

// One melody event of a song: a pitch (or a rest, pitch -1) lasting `units` slots
// (24 ticks in a straight song, 16 in a triplet one), sung when it has a lyric.
struct Tone {
  int pitch;
  int units;
  const char* lyric = "";
};

// A song as the user writes it.
struct SongSpec {
  int bars = 2;
  int beats_per_bar = 4;
  bool triplet = false;         // every eighth split in three slots (triplet rhythm style)
  std::vector<const char*> chords;  // one chord name per bar (repeated), "" = the first
  std::vector<int> skip_beats;  // beats whose chord cell is "Skip"
  std::vector<int> slash_beats;  // beats whose bass lies a fifth above the root
  std::vector<Tone> tones;      // from the first beat on; the rest of the song is silent
};

// A note the rendered melody should hold: (start tick, pitch, length), at 96 a quarter.
struct ExpectedNote {
  int64_t start;
  int pitch;
  int length;
  bool sung;
  bool operator==(const ExpectedNote& o) const {
    return start == o.start && pitch == o.pitch && length == o.length && sung == o.sung;
  }
};

inline int UnitTicks(const SongSpec& spec) { return spec.triplet ? 16 : 24; }
inline int UnitsPerEighth(const SongSpec& spec) { return spec.triplet ? 3 : 2; }

inline void SetCellName(char (&field)[8], const char* name) {
  std::memset(field, 0, sizeof field);
  std::strncpy(field, name, sizeof field);
}

inline std::unique_ptr<CSongData> MakeSong(const SongSpec& spec) {
  auto song = std::make_unique<CSongData>();
  song->Reset(spec.bars, spec.beats_per_bar, 0, spec.beats_per_bar == 3 ? 2 : 1);
  const int beats = spec.bars * spec.beats_per_bar;
  for (int b = 0; b < beats; ++b) {
    const char* name = spec.chords.empty() ? "C" : spec.chords[static_cast<size_t>(b / spec.beats_per_bar) % spec.chords.size()];
    SetCellName(song->chords[b].first, name);
    SetCellName(song->chords[b].second, "");
    song->bass_first[b] = 0;
    song->bass_second[b] = 0;
  }
  for (int b : spec.skip_beats) SetCellName(song->chords[b].first, "Skip");
  for (int b : spec.slash_beats) {
    song->bass_first[b] = 7;
    song->bass_second[b] = 7;
  }
  // Slots: the first of a tone takes its pitch (or -1), the others hold it.
  const int per_eighth = UnitsPerEighth(spec);
  const int slots = beats * 2 * per_eighth;
  std::vector<int> values(static_cast<size_t>(slots), NoteSlotRest);
  std::vector<std::string> lyrics(static_cast<size_t>(slots));
  int at = 0;
  for (const Tone& t : spec.tones) {
    for (int u = 0; u < t.units && at + u < slots; ++u) values[static_cast<size_t>(at + u)] = u == 0 ? (t.pitch < 0 ? NoteSlotRest : t.pitch) : NoteSlotHold;
    if (at < slots) lyrics[static_cast<size_t>(at)] = t.lyric;
    at += t.units;
  }
  for (int s = at; s < slots; ++s) values[static_cast<size_t>(s)] = s == at ? NoteSlotRest : NoteSlotHold;
  for (int c = 0; c < beats * 2; ++c) {
    NoteCell& cell = song->cells[c];
    cell = NoteCell{};
    for (int s = 0; s < 3; ++s) {
      const int index = c * per_eighth + s;
      cell.slot[s] = s < per_eighth ? values[static_cast<size_t>(index)] : NoteSlotVacant;
      if (s < per_eighth) std::strncpy(cell.lyric[s], lyrics[static_cast<size_t>(index)].c_str(), 7);
    }
  }
  return song;
}

// What the rendered melody (channels 1 and 15 together) holds: every tone 3 ticks
// short of its time, the skipped beats taking no time (tones lie within beats or
// avoid skipped ones).
inline std::vector<ExpectedNote> ExpectedMelody(const SongSpec& spec) {
  std::vector<ExpectedNote> out;
  int64_t at = 0;
  for (const Tone& t : spec.tones) {
    const int64_t length = int64_t{t.units} * UnitTicks(spec);
    const int64_t beat = at / 96;
    int skipped_before = 0;
    bool skipped = false;
    for (int b : spec.skip_beats) {
      if (b < beat) ++skipped_before;
      if (b == beat) skipped = true;
    }
    if (t.pitch >= 0 && !skipped)
      out.push_back({at - 96 * skipped_before, t.pitch, static_cast<int>(length) - 3, t.lyric[0] != 0});
    at += length;
  }
  return out;
}

// The style the rendering tests start from: a built-in style with the melody
// plain (no ornament, effect, octave or double) and the song's metre and rhythm.
inline void ApplyTestStyle(int category, int slot, const SongSpec& spec) {
  StyleRecord record = StyleTableSlot(category, slot);
  ApplyStyle(record);
  StyleRecord& s = CurrentStyle();
  s.parts[1].ornament = 0;
  s.parts[1].effect = 0;
  s.octave[1] = 0;
  s.part15_octave = 0;
  s.basic_beat = spec.triplet ? 3 : 0;
  s.song_bars = spec.bars;
}

// The compose worker's road for a song up to Compose: initialise, metre, import,
// prepare, timing databases; the seed replaces the clock's.
inline void PrepareRoad(CSongData& song, const SongSpec& spec, int category, int slot,
                        uint32_t seed) {
  CKVAlgo::Initialize();
  SeedComposition(seed);
  ApplyTestStyle(category, slot, spec);
  CurrentStyle().metre = spec.beats_per_bar == 4 ? 0 : 1;
  CKVAlgo::ImportSongToEngine(song, spec.bars, spec.beats_per_bar, kComposeMelodyNoteLimit);
  CKVAlgo::PrepareSongRendering(73, 120, -1, -1, 1, 0);
  SelectMajorTimingDatabases();
  CurrentStyle().key_mode = 1;
  CurrentStyle().key_offset = 0;
}

// The whole road: the song composed into the path.
inline void RenderSong(CSongData& song, const SongSpec& spec, int category, int slot,
                       uint32_t seed, const std::filesystem::path& path) {
  PrepareRoad(song, spec, category, slot, seed);
  CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace render_test
