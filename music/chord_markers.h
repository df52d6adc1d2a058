// The analysed chord names of a song written back into it as marker events, the first
// tempo and key of a conductor track, and the chord names turned into notes and into
// the composition engine's chord codes.
#pragma once

#include <cstdint>
#include <string>

class Midi1Data;
class MidiTrack;

// Codes of the chord-analysis module (tag "CDAL").
constexpr uint32_t kCdalBadKeyMode = 0x30000001;
// The chord-code writer's refusal of a scale with divisor 0 (tag "CNCL", general text).
constexpr uint32_t kCnclBadScale = 0x2d000003;

// Entries a chord-name list holds at most.
constexpr int32_t kMaxChordNameEntries = 900;

struct ChordNameListEntry {
  int32_t root = 0;
  int32_t length = 0;  // ticks
  int32_t bass = 0;
  int32_t third = 0;
  int32_t fifth = 0;
  int32_t seventh = 0;
};

// The output records are the engine's stored chord entries (six bytes: a big-endian
// 16-bit length and a four-character code such as "CMPd", "amPs" or "NoCd"); the style
// record reads them as ChordEntry.
constexpr int32_t kChordCodeRecordBytes = 6;

// The chords of a chord-name table (one name of `name_bytes` per slot) with their
// lengths: a run of equal names is one entry. Names beyond the 900th change are left
// out.
class ChordNameList {
 public:
  ChordNameList(int32_t slot_count, int32_t ticks_per_slot, const char* names,
                int32_t name_bytes = 18);
  ~ChordNameList();
  ChordNameList(const ChordNameList&) = delete;
  ChordNameList& operator=(const ChordNameList&) = delete;

  // One ChordEntry per entry into output (room bytes), the length scaled by a / b (a
  // scaled length above 65535 takes several entries), then a zero 16-bit word. Entries
  // that do not fit with the word are left out; b of 0 is refused (reported, 0).
  // Returns the bytes of the entries written (6 each, the word not counted).
  int32_t WriteChordCodes(int32_t a, int32_t b, uint8_t* output, int32_t room) const;

  ChordNameListEntry* entries[kMaxChordNameEntries] = {};
  int32_t count = 0;
};

// The first tempo event (tempo 0 skipped) as beats per minute into tempo, and the
// first key signature: found 1, major 1 for mode 0 and 0 for mode 1 (another mode is
// reported and leaves major). Returns 1 when a key signature was found.
int ReadTempoAndKey(const MidiTrack& track, int* major, int* found, int32_t* tempo);

// A chord name as a marker shows it: "UnKnown" is "N/C"; otherwise without "sus4"
// and '6', and ending before the first "(".
std::string CleanChordNameForMarker(const char* name);

// One marker per slot (2 x division ticks apart) replaces the markers of the song's
// first track ("START" and "STOP" stay).
void WriteChordMarkers(Midi1Data& song, const char* names, int32_t slots, int32_t name_bytes = 18);

// The song's chords analysed and written as markers: the key from a first track of meta
// events only, the tracks merged into a format-0 copy, its tune structure and chord
// slots (2 x division ticks each), one marker per slot in the first track. The song
// must be in note mode. Returns the number of slots named; the slot length goes to
// slot_length_out when given.
int32_t AnalyseSongChordMarkers(Midi1Data& song, int (*progress)(), int (*busy)(),
                                int32_t* slot_length_out);

void ChordMarkersErrorMsg(uint32_t code);
