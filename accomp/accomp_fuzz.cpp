#include "accomp/accomp_fuzz.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "accomp/custom_grid.h"
#include "accomp/riff_patterns.h"
#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "music/midi_track.h"
#include "music/ticks.h"
#include "style/style_table.h"

namespace {

void AddBlock(int length, const char* code) {
  ChordEntry entry;
  entry.length = static_cast<uint16_t>(length);
  std::memcpy(entry.code, code, 4);
  ComposeInfo().AddChordBlock(entry, nullptr);
}

// The notes of a pattern track: their count, or -1 when a delta is negative, a
// note starts at or after the song's end (or, with `within`, ends after it), or
// a pitch, velocity or length is no valid MIDI value.
int CountValidNotes(const MidiTrack& track, int64_t song, bool within) {
  int notes = 0;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    if (e->delta < 0) return -1;
    t += e->delta;
    if (e->status != kStatusNote) continue;
    if (t >= song || e->note > 127 || e->velocity > 127 || e->duration < 0) return -1;
    if (within && e->velocity > 0 && t + e->duration > song) return -1;
    if (e->velocity > 0) ++notes;
  }
  return notes;
}

int32_t WordAt(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                              uint32_t{p[3]} << 24);
}

}  // namespace

int FuzzRiffBytes(const uint8_t* data, size_t size) {
  StyleRecord& style = CurrentStyle();
  std::memset(style.riff, 0, sizeof style.riff);
  std::memcpy(style.riff, data, std::min(size, sizeof style.riff));

  static const int kLengths[] = {24, 96, 144, 168, 192, 288, 384, 480, 576, 768, 1536, 3072};
  static const char* const kCodes[] = {"CMPs", "NMPo", "AmPo", "GMPs", "CMCd", "EoPd", "b4Ps",
                                       "FMPS"};
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  int64_t song = 0;
  for (size_t at = sizeof style.riff; at + 1 < size && info.chord_block_count() < 16; at += 2) {
    const int length = kLengths[data[at] % std::size(kLengths)];
    AddBlock(length, kCodes[data[at + 1] % std::size(kCodes)]);
    song += length;
  }
  if (info.chord_block_count() == 0) {
    for (int k = 0; k < 2; ++k) AddBlock(384, "CMPs");
    song = 768;
  }

  PartTrack track;
  GenerateRhythmRiffPattern(3, track, 41);
  return CountValidNotes(track, song, false);
}

int FuzzCustomGridBytes(const uint8_t* data, size_t size) {
  StyleRecord& style = CurrentStyle();
  style.metre = size > 0 ? data[0] % 3 : 0;
  style.triple_metre_kind = static_cast<int16_t>(style.metre == 1 ? 1 : 0);
  style.basic_beat = size > 1 && data[1] % 2 == 1 ? 3 : 0;
  constexpr size_t kGridWords = sizeof style.custom_grids / sizeof(int32_t);
  int32_t* flags[] = {style.use_x, style.continue_major, style.stroke};
  constexpr size_t kFlagWords = 3 * kGridPartCount;
  for (size_t at = 2; at + 6 <= size; at += 6) {
    const size_t index = (size_t{data[at]} | size_t{data[at + 1]} << 8) % (kGridWords + kFlagWords);
    const int32_t value = WordAt(data + at + 2);
    if (index < kGridWords) {
      std::memcpy(reinterpret_cast<unsigned char*>(style.custom_grids) + index * sizeof(int32_t),
                  &value, sizeof value);
    } else {
      const size_t flag = index - kGridWords;
      flags[flag / kGridPartCount][flag % kGridPartCount] = value;
    }
  }

  ComposeInfo().FreeChordBlocks();
  const int bar = ticks::BarOfMetre(style.metre);
  AddBlock(bar, "CMPs");
  AddBlock(200, "NMPo");
  AddBlock(144, "AmPo");
  AddBlock(2 * bar, "GMPs");
  const int64_t song = bar + 200 + 144 + 2 * bar;

  int notes = 0;
  for (int channel : {3, 7}) {
    PartTrack track;
    GenerateCustomGridPattern(channel, track);
    const int n = CountValidNotes(track, song, true);
    if (n < 0) return -1;
    notes += n;
  }
  return notes;
}
