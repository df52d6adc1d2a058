#include "engine/engine_state.h"

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"

namespace {
struct EngineModes {
  int32_t compose_mode = 0;
  int32_t melody_from_input = 0;
};
EngineModes g_modes;
}  // namespace

int32_t& ComposeMode() { return g_modes.compose_mode; }
int32_t& MelodyFromInput() { return g_modes.melody_from_input; }

void ResetEngineState() {
  ResetComposeInformation();
  ResetPatternDatabases();
  ClearToneWeightCache();
  Modulation() = ModulationPoints{};
  FixedBassPitch() = 0;
  ResetMelodyState();
  g_modes = EngineModes{};
}
