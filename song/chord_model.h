// Chord names and chord models: parsing chord texts into root and suffix
// indexes, folding foreign suffixes onto the song's 22, one chord as key,
// root degree and type, and the diatonic chord sets of a scale.
#pragma once

#include <memory>
#include <string>

// Static helpers over chord texts (never instantiated).
class CKvCommon {
 public:
  virtual ~CKvCommon() = default;
  CKvCommon() = delete;

  // Cuts the text at its first "(" and at its first line break; the root is
  // the first character plus a following "#" or "b"; the suffix the rest.
  static void SplitChordText(std::string& text, std::string* root, std::string* suffix);
  // Root pitch class (-1 when unknown) and ChordSuffixTable index (-1 when
  // none) of a root text and a suffix text; flat spellings are tried first in
  // a flat key.
  static void ParseChord(int key_index, const std::string& root, const std::string& suffix,
                         int* root_index, int* type_index);
  // "7(9)" -> "79": a "(9)" in the text becomes a trailing "9".
  static std::string FoldTensionNine(const std::string& source);
  // Rewrites a suffix into one of the 22 ChordSuffixTable entries.
  static void NormalizeSuffix(std::string& suffix);
};

// One chord as key, root degree and chord type (a ChordTypeTable row).
class CChordControl {
 public:
  static constexpr int kNoKey = -1;     // named by degree
  static constexpr int kNamedKey = -2;  // named chord without key (as C major)

  CChordControl(int key_index, int root_degree, int type_row);
  // From a chord name such as "C#m7" (sharp roots only); the root is -1 and
  // the type -1 when they are not recognised.
  explicit CChordControl(const std::string& name);
  virtual ~CChordControl() = default;

  int type() const { return type_; }
  int key() const { return key_; }
  int root() const { return root_; }

  // Pitch classes of the type's tones (-1 for an unknown chord or a missing
  // fourth tone).
  int GetRoot() const;
  int GetThird() const;
  int GetFifth() const;
  int GetFourthTone() const;
  // Root, third, fifth and (when present) fourth tone; answers the count.
  int GetChordTones(int* values) const;
  // Degree name with key -1, else the sharp note name; then the suffix.
  std::string GetName() const;

  static int GetTypeCount();
  // The row's suffix; a single blank for the major row.
  static std::string GetTypeName(int row);
  static void GetMirrorChord(int row, std::string* suffix, int* offset);
  static void GetTypeIntervals(int row, int* third, int* fifth, int* fourth);

 private:
  int Tonic() const;
  int Tone(int column) const;
  int type_ = -1;
  int key_ = kNamedKey;
  int root_ = -1;
};

// The diatonic chords of a scale in a key.
class CDiatonicChord {
 public:
  static constexpr int kSlots = 32;
  // scale type 0 major, 1 natural minor, 2 harmonic minor, 3 melodic minor,
  // 12 all minor-key chords (others: empty); form 3 = triads, else sevenths.
  CDiatonicChord(int scale_type, int chord_form, int key_index);
  virtual ~CDiatonicChord() = default;

  int count() const { return count_; }
  int form() const { return form_; }
  const CChordControl* chord(int i) const {
    return (i >= 0 && i < count_) ? slots_[i].get() : nullptr;
  }

 private:
  std::unique_ptr<CChordControl> slots_[kSlots];
  int count_ = 0;
  int form_ = 3;
};
