// Composition-engine services that the styles need and the engine shares:
// the random riff rhythm, rest-level/density conversion, the instrument name
// table, the two engine options read while the style table is built, and the
// choice of timing databases by key mode and metre.
//
// They live here (and not in engine/) because the style library may not
// depend on the engine; the engine uses them from here.
#pragma once

#include <cstdint>
#include <string>

#include "style/style_record.h"

// ---- Instrument names ------------------------------------------------------

constexpr int kInstrumentNameCount = 152;
// 152 names indexed by instrument code (CP932): 0..127 General MIDI programs,
// 128..135 extended sounds, 136..151 instrument groups.
extern const char* const InstrumentNameTable[kInstrumentNameCount];
// Drum kit names of channel 9 by kit code 1..4 (index 0 unused, nullptr).
extern const char* const DrumKitNameTable[5];
// The name of an instrument code, or nullptr when the code has none
// (256 = part off has no entry in the table).
const char* InstrumentName(int code);

// ---- Rest levels and density factors --------------------------------------

// Rest level 1..8 to the density factor: 160, 140, 120, 100, 80, 60, 40, 20;
// any other level gives 100.
int LevelToFactor(int level);
// Density factor to rest level 1..8 (the inverse; 170 and above gives 4).
int DensityToLevel(int factor);

// ---- Random riff rhythm ----------------------------------------------------

// Minimum size of the cell array MakeRandomRiffRhythm fills.
constexpr int kRiffRhythmCells = 97;
// Fills `cells` (at least kRiffRhythmCells int32) with riff triples
// (duration in steps, tone A, tone B) ended by a 0 cell, drawn with
// GneRandomRange from the record's metre and basic beat.  Returns the total
// number of steps of the riff (0 for 7/8 in the triplet rhythm: empty riff).
int MakeRandomRiffRhythm(int32_t* cells, const StyleRecord& style);

// ---- Engine options and timing databases ----------------------------------

// The timing databases chosen for the next composition.
struct TimingDatabaseChoice {
  std::string time_chart = "TIMECHT.DB";
  std::string cadence_time_chart = "RESTIME.DB";
  int database_kind = 1;               // 1 major, 2 minor
  std::string chord_template_key = "CMPS";
};

struct EngineServiceState {
  // Options of the engine read while the style table is built; both 0 at start.
  int instrument_group_option = 0;  // 1: some styles store instrument groups
  int sound_source_option = 0;      // 1, 2: alternative instruments and mixer bytes
  TimingDatabaseChoice timing;
};

EngineServiceState& EngineServices();
void ResetEngineServices();

inline int& InstrumentGroupOption() { return EngineServices().instrument_group_option; }
inline int& SoundSourceOption() { return EngineServices().sound_source_option; }
inline const TimingDatabaseChoice& CurrentTimingDatabases() { return EngineServices().timing; }

// Choose the time chart, cadence time chart, database kind and chord-template
// key from the current style's metre, progression and pattern file, and set
// the current style's key mode to the database kind.
void SelectMajorTimingDatabases();
void SelectMinorTimingDatabases();
