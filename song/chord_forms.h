// Chord forms of the fretboard panel: the four-string tunings, their form
// tables and the six-string guitar forms some of them are derived from.
//
// A form is a chord name ("C△", "C#m7/Dbm7": the root in sharp spelling, then
// for a black-key root "/" and the same in flat spelling) and six fret values
// from the lowest string (-1 = not played; four-string forms use the first
// four). Two four-string tables and the guitar table are data (written by
// tools/chord-forms); the other three are built from them once, before the
// first use, by BuildFourStringFormTables.
#pragma once

#include <string>
#include <vector>

struct ChordFormData {
  const char* name;  // CP932
  int frets[6];
};

struct ChordFormRecord {
  std::string name;  // CP932
  int frets[6] = {-1, -1, -1, -1, -1, -1};
};

constexpr int kStandardFormCount = 545;
constexpr int kDadaFormCount = 490;
constexpr int kGuitarFormCount = 961;
constexpr int kFourStringTuningCount = 6;

extern const ChordFormData kStandardFourStringForms[kStandardFormCount];  // G C E A
extern const ChordFormData kDadaFourStringForms[kDadaFormCount];          // D A D A
extern const ChordFormData GuitarChordFormTable[kGuitarFormCount];        // E A D G B E

// Which table a tuning plays.
enum class FourStringForms {
  kStandard,      // the standard table (data)
  kGuitar,        // the four high strings of the guitar forms (built)
  kStandardUp2,   // the standard table two semitones up (built)
  kDada,          // the D-A-D-A table (data)
  kDadaUp5,       // the D-A-D-A table five semitones up (built)
};

struct FourStringTuning {
  const char* name;  // CP932
  int strings[6];    // MIDI pitches from the lowest string, -1 = none
  FourStringForms forms;
};

extern const FourStringTuning FourStringTuningTable[kFourStringTuningCount];

// Raises `count` forms of `source` by one semitone into `destination` (frets
// copied, names respelled: "C△" gives "C#△/Db△", "C#△/Db△" gives "D△", "E7"
// "F7"). A name holding no note letter shows the "error" box and keeps its
// source name.
void TransposeFormTable(int count, ChordFormRecord* destination, const ChordFormRecord* source);

// Builds the three derived tables (the two-semitone standard table, the
// guitar-derived table, the five-semitone D-A-D-A table); a second call
// changes nothing. FreeFourStringFormTables empties them again.
void BuildFourStringFormTables();
void FreeFourStringFormTables();

// The forms a tuning (0..5) plays, built on first use; empty for another
// index.
const std::vector<ChordFormRecord>& FourStringFormsOf(int tuning);
// The table behind a kind, as it stands (a built table is empty until built).
const std::vector<ChordFormRecord>& FourStringFormTable(FourStringForms kind);

// The four-string forms of a six-string table: every form whose strings 3 to 6
// all sound, with those frets and the form's name.
std::vector<ChordFormRecord> FourStringFormsFromGuitar(const ChordFormData* forms, int count);
