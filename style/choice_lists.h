// Choice lists: the ordered display names and stored codes by which style
// settings are shown and written as text.  A name is looked up by its first
// match, a code by its first entry.
#pragma once

#include <cstddef>
#include <cstdint>

struct ChoiceEntry {
  const char* name;  // CP932
  int32_t code;
};

struct ChoiceList {
  const ChoiceEntry* entries;
  size_t count;

  // The code of the first entry named `name`; false when no entry has it.
  bool CodeOf(const char* name, int32_t* code) const;
  // The name of the first entry with `code`, or nullptr.
  const char* NameOf(int32_t code) const;
  bool HasCode(int32_t code) const { return NameOf(code) != nullptr; }
};

extern const ChoiceList KeyChoiceList;  // key_mode
extern const ChoiceList MetreChoiceList;  // metre (fixed texts)
extern const ChoiceList BasicBeatChoiceList;  // basic_beat
extern const ChoiceList ChordMethodChoiceList;  // chord_method
extern const ChoiceList ChordBeatsChoiceList;  // chord_beats
extern const ChoiceList ChordsPerBlockChoiceList;  // chords_per_block
extern const ChoiceList SubMelodyChoiceList;  // submelody_mode
extern const ChoiceList SubDrumChoiceList;  // subdrum_pattern
extern const ChoiceList ProgressionChoiceList;  // progression
extern const ChoiceList ScaleChoiceList;  // scale
extern const ChoiceList AccompanimentChoiceList;  // accompaniment, subharmony_accompaniment
extern const ChoiceList DrumPatternChoiceList;  // drum_pattern
extern const ChoiceList BassPatternChoiceList;  // bass_pattern
extern const ChoiceList DissonanceChoiceList;  // PartRecord::dissonance
extern const ChoiceList NoteLengthChoiceList;  // PartRecord::note_length
extern const ChoiceList SyncopationChoiceList;  // PartRecord::syncopation
extern const ChoiceList RestLevelChoiceList;  // rest level, stored as density
extern const ChoiceList EffectChoiceList;  // PartRecord::effect
extern const ChoiceList OrnamentChoiceList;  // PartRecord::ornament
extern const ChoiceList VoicingChoiceList;  // PartRecord::voicing
extern const ChoiceList AlgorithmChoiceList;  // PartRecord::algorithm
extern const ChoiceList TensionChoiceList;  // PartRecord::tension
extern const ChoiceList RepeatChoiceList;  // PartRecord::rhythm_repeat, melody_repeat
