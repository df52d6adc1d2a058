// The engine's process-wide state, gathered in one place. Every value the engine keeps between
// calls is a member here; the accessors the engine's parts use (ComposeInfo(), PatternDb(),
// Melody(), Modulation(), ComposeMode(), ...) hand out these members, and ResetEngineState
// puts all of them back to their first values. The members are the composition's: whoever uses
// them holds the engine's door (engine/engine_session.h) for the whole of one composition.
//
// A composition pass starts over only what ComposeInformation::Reset names. What the parts keep
// from one composition to the next in the same process stays until ResetEngineState: the melody
// generator's state, the part builders' memory, the rockabilly counters and the sliding
// pattern's count. Only the engine's own sources include this header.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/compose_info.h"
#include "engine/database_progression.h"
#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"

// The compose information and the melody lists of the current composition.
struct ComposeData {
  ComposeInformation info;
  EventList vocal_melody;
  EventList melody_input_copy;
  EventList obbligato_input;
  EventList instrumental_melody;
};

struct EngineModes {
  int32_t compose_mode = 0;
  int32_t melody_from_input = 0;
  int32_t plain_ending = 0;
};

struct FixedEngineSettings {
  int32_t sound_module_mode = 2;
  int32_t lead_in = 0;
  int32_t conductor_markers = 0;
  int32_t display_text = 0;
};

struct EngineStore {
  // What a composition builds and reads.
  std::unique_ptr<ComposeData> compose = std::make_unique<ComposeData>();
  std::unique_ptr<PatternDatabases> patterns = std::make_unique<PatternDatabases>();
  bool chord_tone_table_built = false;  // the table needs no file: built before the first use
  DatabaseProgressionState database_progression;
  ModulationPoints modulation;
  int32_t fixed_bass_pitch = 0;
  EngineModes modes;
  FixedEngineSettings settings;
  SkipBeatList skip_beats;
  RingtoneOutputPaths ringtone_output;
  uint32_t seed = 0;
  // Kept from one composition to the next.
  MelodyState melody;
  PartBuilderMemory part_memory;
  int32_t rockabilly_roll = 0;
  int32_t rockabilly_stabs = 0;
  int32_t slides = 0;
};

EngineStore& TheEngineStore();
