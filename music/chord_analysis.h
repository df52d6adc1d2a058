// Chord analysis of a format-0 song: every slot of two quarter notes gets a chord name
// (Am7, Csus4, G7(9,13) ...), the key is the most frequent pitch class, and a tone-weight
// text marks the seven most frequent pitch classes.
//
// Notes weigh by their channel's part type from the tune structure: bass, accompaniment
// and melody each in their own way; drums and secondary melodies not at all.
#pragma once

#include <cstdint>

class Midi0Data;
class MidiTrack;
class TuneStructure;

// Codes of the chord-structure module (tag "CDST").
constexpr uint32_t kCdstNegativeCarry = 0x31000001;

// Slots the count table holds, bytes of one chord name (17 characters and a zero).
constexpr int32_t kChordCountSlots = 1800;
constexpr int32_t kChordNameBytes = 18;
// "xxxx" and one digit per pitch class from C, then a zero.
constexpr int32_t kToneWeightTextBytes = 17;

using ChordAnalysisCallback = int (*)();

// The key of a song by its most frequent pitch classes.
class ChordAnalysis {
 public:
  // Counts the sounding notes of every channel but the rhythm channel per slot of
  // `slot_length` ticks (the first kChordCountSlots slots), ranks the pitch classes,
  // and writes the key pair and the tone-weight text (kToneWeightTextBytes).
  ChordAnalysis(const MidiTrack& track, int32_t slot_length, uint8_t* key_out,
                char* tone_weight_text);

  int32_t count(int32_t slot, int32_t pitch_class) const { return counts_[slot][pitch_class]; }
  int32_t slot_length() const { return slot_length_; }
  const uint8_t* key(int32_t slot) const { return keys_[slot]; }

 private:
  int32_t counts_[kChordCountSlots][12] = {};
  uint8_t keys_[kChordCountSlots][2] = {};
  int32_t slot_length_ = 0;
};

// One slot being named.
// A chord as its root's pitch class and its tones as intervals above the root (-1 none;
// seventh 0 none).
struct ChordTones {
  int32_t root = -1;
  int32_t third = -1;
  int32_t fifth = -1;
  int32_t seventh = -1;
  int32_t tension9 = -1;
  int32_t tension11 = -1;
  int32_t tension13 = -1;
};

// The chord chosen is the structure's own ChordTones.
class ChordStructure : public ChordTones {
 public:
  ChordStructure(int key_found, int major, int32_t slot_length, const char* tone_weight_text);

  void Clear();
  // A new slot from the carry: first and last pitch classes -1, the weights taken over
  // from the carry, the carry cleared.
  void StartSlot(ChordStructure& carry);
  // Weighs one note at `position` in the slot by its part type (1 bass, 2 accompaniment,
  // 3 melody); what sounds past the slot end goes to the carry (at most one slot).
  void AddNoteWeight(int32_t part_type, int32_t pitch, int32_t position, int32_t duration,
                     ChordStructure& carry);
  // Names the slot into `name` (kChordNameBytes).
  void NameSlot(int32_t slot, char* name);

  void ChooseChord(int32_t slot);
  void ChooseFullChord();
  void ChooseMelodyChord();
  bool IsTensionAvailable(int32_t root, int32_t pitch_class) const;
  void FormatName(char* name) const;

  static void ErrorMsg(uint32_t code);

  // Weights in ticks by pitch class.
  uint32_t melody[12] = {};
  uint32_t bass[12] = {};
  uint32_t accompaniment[12] = {};
  int32_t first_melody = -1;
  int32_t last_melody = -1;
  int32_t first_bass = -1;
  int32_t naming_bass = -1;
  int key_found = 0;
  int major = 1;
  int32_t slot_length = 0;

 private:
  // A chord tried by ChooseFullChord: its root, its intervals as the chosen chord's, and the
  // weight of the notes it explains.
  struct ChordCandidate : ChordTones {
    int64_t score = 0;
  };
  // The candidate's third, fifth and seventh from the heaviest accompaniment notes.
  void WeighChordTones(ChordCandidate& c) const;
  // The candidate's tensions among the notes heavier than theta.
  void WeighTensions(ChordCandidate& c, uint32_t theta) const;
  // The third the accompaniment suggests above the chosen root (4 when none).
  int32_t AccompanimentThird() const;

  // Accompaniment weights sorted downwards with their pitch classes; bass weights sorted.
  uint32_t sorted_weight_[12] = {};
  int32_t order_[12] = {};
  uint32_t sorted_bass_[12] = {};
  const char* tone_weight_text_;
};

// The chord before the current slot: it lives across slots and across analyses.
struct PreviousChord {
  int32_t bass = 0;  // never reset by an analysis
  int32_t root = -1;
  int32_t third = -1;
  int32_t fifth = -1;
  int32_t seventh = -1;
};
PreviousChord& PreviousChordState();
// Back to the state of a fresh start (tests).
void ResetChordAnalysisModule();

// Names every slot of 2 x division ticks of the note-mode song into `names`, which has
// room for `name_slots` names of kChordNameBytes; writes the key pair (tonic pitch
// class, 0), the tone-weight text and the slot length. At most the smaller of
// kChordCountSlots and `name_slots` slots are named. Returns the number named.
int32_t AnalyseChords(const Midi0Data& song, char* names, int32_t name_slots, uint8_t* key_out,
                      int key_found, int major, char* tone_weight_text, int32_t division,
                      const TuneStructure& structure, ChordAnalysisCallback progress,
                      ChordAnalysisCallback busy, int32_t* slot_length_out);

// The slot-naming walk over the track (AnalyseChords without the counting).
int32_t NameChordSlots(const MidiTrack& track, char* names, int32_t slot_limit, int key_found,
                       int major, const char* tone_weight_text, int32_t slot_length,
                       const TuneStructure& structure, ChordAnalysisCallback progress);

// The key's name: "C" unless the first key row with the pair's tonic has the pair's
// mode; then that row's name. `out` has room for 8 bytes.
void GetKeyName(const uint8_t* key_pair, char* out);
