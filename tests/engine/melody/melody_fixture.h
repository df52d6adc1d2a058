// Shared helpers of the melody tests: chord lists as the editor's melody
// command builds them, and walks over a generated list.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "engine/melody.h"
#include "engine/tone_weights.h"
#include "song/chord_codes.h"
#include "style/style_table.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"

namespace melody_test {

// One chord marker per bar from chord names, moved down `shift` semitones as
// the melody command sees a song in another key.
inline void BuildBarChords(EventList* list, const std::vector<std::string>& names, int bars,
                           int bar_ticks, int shift = 0) {
  for (int i = 0; i < bars; ++i) {
    char code[16] = {};
    const std::string& name = names[static_cast<size_t>(i) % names.size()];
    std::strncpy(code, name.c_str(), sizeof code - 1);
    ChordNameToCode(code);
    for (int s = 0; s < shift; ++s) code[0] = RootLetterDown(code[0]);
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(bar_ticks);
    std::memcpy(entry.code, code, 4);
    ChordBlock block(entry, nullptr);
    list->AppendChordMarker(block);
  }
}

inline void AddChord(EventList* list, const char* code, int length) {
  ChordBlock block;
  std::memcpy(block.chord_code, code, 4);
  block.length = length;
  list->AppendChordMarker(block);
}

// One chord of a generated list: its marker and the notes and rests after it.
struct ChordSpan {
  std::string code;
  int length = 0;
  int start = 0;  // tick of the marker
  std::vector<ComposeEvent> notes;
  int NoteTotal() const {
    int t = 0;
    for (const ComposeEvent& e : notes) t += e.length;
    return t;
  }
};

inline std::vector<ChordSpan> SplitByChord(const EventList& out) {
  std::vector<ChordSpan> spans;
  int t = 0;
  for (int i = 0; i < out.count(); ++i) {
    const ComposeEvent& e = out[i];
    if (e.kind == kEventChordMarker) {
      ChordSpan s;
      s.code.assign(e.chord_code, 4);
      s.length = e.length;
      s.start = t;
      spans.push_back(s);
    } else if (e.kind == kEventNote && !spans.empty()) {
      spans.back().notes.push_back(e);
    }
    // Markers mark the chord; notes carry the time.
    if (e.kind == kEventNote) t += e.length;
  }
  return spans;
}

// The part record of channel 1 with plain settings.
inline PartRecord& PlainMelodyPart() {
  PartRecord& p = CurrentStyle().parts[kMelodyChannel];
  p.dissonance = 4;
  p.note_length = 1;
  p.syncopation = 0;
  p.range_low = 60;
  p.range_high = 84;
  p.algorithm = 7;
  p.tension = 0;
  p.rhythm_repeat = 0;
  p.melody_repeat = 0;
  p.algorithm_param = 0;
  p.ornament = 0;
  p.voicing = 0;
  return p;
}

}  // namespace melody_test
