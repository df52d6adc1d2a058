#include "engine/engine_state.h"

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"

void ResetEngineState() {
  ResetComposeInformation();
  ResetPatternDatabases();
  ClearToneWeightCache();
  Modulation() = ModulationPoints{};
  FixedBassPitch() = 0;
}
