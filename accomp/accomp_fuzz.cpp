#include "accomp/accomp_fuzz.h"

#include <algorithm>
#include <cstring>

#include "accomp/riff_patterns.h"
#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "music/midi_track.h"
#include "style/style_table.h"

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
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(kLengths[data[at] % std::size(kLengths)]);
    std::memcpy(entry.code, kCodes[data[at + 1] % std::size(kCodes)], 4);
    info.AddChordBlock(entry, nullptr);
    song += entry.length;
  }
  if (info.chord_block_count() == 0) {
    for (int k = 0; k < 2; ++k) {
      ChordEntry entry;
      entry.length = 384;
      std::memcpy(entry.code, "CMPs", 4);
      info.AddChordBlock(entry, nullptr);
      song += 384;
    }
  }

  PartTrack track;
  GenerateRhythmRiffPattern(3, track, 41);
  int notes = 0;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    if (e->delta < 0) return -1;
    t += e->delta;
    if (e->status != kStatusNote) continue;
    if (t >= song || e->note > 127 || e->velocity > 127 || e->duration < 0) return -1;
    if (e->velocity > 0) ++notes;
  }
  return notes;
}
