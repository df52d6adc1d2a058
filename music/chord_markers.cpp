#include "music/chord_markers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "music/chord_analysis.h"
#include "music/chord_name.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/tune_structure.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "CDAL", "コード解析でエラーが発生しました。",
      {{kCdalBadKeyMode, "メタイベントの解析でエラーが発生しました。"}});
  return reporter;
}

// Root letters of the chord codes by pitch class (lower case: flat).
constexpr char kCodeRoots[] = "CdDeEFgGaAbB";

void ChordCode(const ChordNameListEntry& e, char* code) {
  if (e.third == 0) {
    std::memcpy(code, "NoCd", 4);
    return;
  }
  code[0] = kCodeRoots[((e.root % 12) + 12) % 12];
  code[1] = e.third - e.root == 3 ? 'm' : 'M';
  code[2] = 'P';
  const int32_t seventh = e.seventh - e.root;
  code[3] = seventh == 11 ? 'S' : seventh == 10 ? 's' : 'd';
}

std::string NameAt(const char* names, int32_t name_bytes, int32_t slot) {
  const char* name = names + static_cast<int64_t>(slot) * name_bytes;
  return std::string(name, strnlen(name, static_cast<size_t>(name_bytes)));
}

std::string MarkerText(const MidiEvent& e) {
  if (e.data == nullptr || e.data_length <= 0) return std::string();
  const char* text = reinterpret_cast<const char*>(e.data);
  return std::string(text, strnlen(text, static_cast<size_t>(e.data_length)));
}

}  // namespace

void ChordMarkersErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

ChordNameList::ChordNameList(int32_t slot_count, int32_t ticks_per_slot, const char* names,
                             int32_t name_bytes) {
  if (names == nullptr || name_bytes <= 0) return;
  int64_t length = 0;
  for (int32_t slot = 0; slot < slot_count; ++slot) {
    length += ticks_per_slot;
    const std::string name = NameAt(names, name_bytes, slot);
    if (slot + 1 < slot_count && NameAt(names, name_bytes, slot + 1) == name) continue;
    if (count >= kMaxChordNameEntries) break;
    const ChordName chord(name.c_str());
    auto* entry = new ChordNameListEntry;
    entry->root = chord.root;
    entry->length = static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX));
    entry->bass = chord.bass;
    entry->third = chord.third;
    entry->fifth = chord.fifth;
    entry->seventh = chord.seventh;
    entries[count++] = entry;
    length = 0;
  }
}

ChordNameList::~ChordNameList() {
  for (int32_t i = 0; i < count; ++i) delete entries[i];
}

int32_t ChordNameList::WriteChordCodes(int32_t a, int32_t b, uint8_t* output, int32_t room) const {
  if (b == 0) {
    ChordName::ErrorMsg(kCnclBadScale);
    return 0;
  }
  if (output == nullptr || room < 2) return 0;
  int32_t written = 0;
  bool full = false;
  for (int32_t i = 0; i < count && !full; ++i) {
    int64_t scaled = static_cast<int64_t>(a) * entries[i]->length / b;
    if (scaled < 0) scaled = 0;
    char code[4];
    ChordCode(*entries[i], code);
    // A length over 16 bits goes on in further entries of the same chord.
    do {
      if (written + 6 + 2 > room) {
        full = true;
        break;
      }
      const int64_t part = std::min<int64_t>(scaled, 0xFFFF);
      output[written] = static_cast<uint8_t>(part >> 8);
      output[written + 1] = static_cast<uint8_t>(part & 0xFF);
      std::memcpy(output + written + 2, code, 4);
      written += 6;
      scaled -= part;
    } while (scaled > 0);
  }
  output[written] = 0;
  output[written + 1] = 0;
  return written;
}

int ReadTempoAndKey(const MidiTrack& track, int* major, int* found, int32_t* tempo) {
  bool have_tempo = false;
  bool have_key = false;
  for (int32_t i = 0; i < track.event_count && !(have_tempo && have_key); ++i) {
    const MidiEvent& e = *track.events[i];
    if (e.status != kStatusMeta) continue;
    if (e.number == 0x51 && !have_tempo && e.value > 0) {
      if (tempo != nullptr) *tempo = 60000000 / e.value;
      have_tempo = true;
    } else if (e.number == 0x59 && !have_key) {
      have_key = true;
      if (found != nullptr) *found = 1;
      const int mode = e.GetDataByte(1);
      if (mode == 0 || mode == 1) {
        if (major != nullptr) *major = mode == 0 ? 1 : 0;
      } else {
        ChordMarkersErrorMsg(kCdalBadKeyMode);
      }
    }
  }
  return have_key ? 1 : 0;
}

std::string CleanChordNameForMarker(const char* name) {
  if (name == nullptr) return std::string();
  std::string text = name;
  if (text == "UnKnown") return "N/C";
  const size_t paren = text.find('(');
  if (paren != std::string::npos) text.resize(paren);
  for (size_t at; (at = text.find("sus4")) != std::string::npos;) text.erase(at, 4);
  text.erase(std::remove(text.begin(), text.end(), '6'), text.end());
  return text;
}

void WriteChordMarkers(Midi1Data& song, const char* names, int32_t slots, int32_t name_bytes) {
  if (song.track_count == 0 || names == nullptr) return;
  MidiTrack markers(kTrackNotes, 0x60000);
  for (int32_t slot = 0; slot < slots; ++slot) {
    const std::string text = CleanChordNameForMarker(NameAt(names, name_bytes, slot).c_str());
    markers.AddMarker(slot == 0 ? 0 : 2 * song.division, text.c_str());
  }
  markers.AddEndOfTrack();
  // The old chord markers go; the start and stop marks of the song stay.
  MidiTrack& first = *song.tracks[0];
  for (int32_t i = 0; i < first.event_count; ++i) {
    MidiEvent& e = *first.events[i];
    if (e.status != kStatusMeta || e.number != 6) continue;
    const std::string text = MarkerText(e);
    if (text == "START" || text == "STOP") continue;
    // Deleted events give their delta to the next one when compacted.
    e.MarkDeleted();
  }
  first.Compact();
  first.MergeTrack(markers);
}

int32_t AnalyseSongChordMarkers(Midi1Data& song, int (*progress)(), int (*busy)(),
                                int32_t* slot_length_out) {
  if (song.state != kSongNotes || song.track_count == 0 || song.division <= 0) return 0;
  int major = 1;
  int found = 0;
  int32_t tempo = 0;
  const Midi1Track& first = *song.tracks[0];
  if (first.event_count > 1 && first.IsMetaOnly() == 1) ReadTempoAndKey(first, &major, &found, &tempo);

  Midi0Data merged(kSongNotes, song.division, 0x60000);
  song.MergeToFormat0(merged);
  if (merged.track == nullptr) return 0;
  TuneStructure structure;
  structure.Analyse(merged, song.division);

  std::vector<char> names(static_cast<size_t>(kChordCountSlots) * kChordNameBytes, 0);
  uint8_t key[2] = {};
  char tone_weights[kToneWeightTextBytes + 1] = {};
  int32_t slot_length = 0;
  const int32_t slots =
      AnalyseChords(merged, names.data(), kChordCountSlots, key, found, major, tone_weights,
                    song.division, structure, progress, busy, &slot_length);
  if (slot_length_out != nullptr) *slot_length_out = slot_length;
  WriteChordMarkers(song, names.data(), slots, kChordNameBytes);
  return slots;
}
