#include "engine/engine_state.h"

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/database_progression.h"
#include "engine/engine_store.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "util/gne.h"

#include "platform/core/clock.h"

EngineStore& TheEngineStore() {
  static EngineStore store;
  return store;
}

int32_t& SoundModuleMode() { return TheEngineStore().settings.sound_module_mode; }
int32_t& LeadInSetting() { return TheEngineStore().settings.lead_in; }
int32_t& ConductorMarkerSetting() { return TheEngineStore().settings.conductor_markers; }
int32_t& DisplayTextSetting() { return TheEngineStore().settings.display_text; }
SkipBeatList& SkipBeats() { return TheEngineStore().skip_beats; }
RingtoneOutputPaths& RingtoneOutput() { return TheEngineStore().ringtone_output; }
PartBuilderMemory& PartMemory() { return TheEngineStore().part_memory; }
int32_t& RockabillyRollCounter() { return TheEngineStore().rockabilly_roll; }
int32_t& RockabillyStabCounter() { return TheEngineStore().rockabilly_stabs; }
int32_t& SlideCount() { return TheEngineStore().slides; }

uint32_t CompositionSeed() { return TheEngineStore().seed; }
void SeedComposition(uint32_t seed) {
  TheEngineStore().seed = seed;
  GneSeedRandomWith(seed);
}
void SeedCompositionFromClock() {
  SeedComposition(static_cast<uint32_t>(plat::CurrentClock().WallTime()));
}

int32_t& ComposeMode() { return TheEngineStore().modes.compose_mode; }
int32_t& MelodyFromInput() { return TheEngineStore().modes.melody_from_input; }
int32_t& PlainEndingFlag() { return TheEngineStore().modes.plain_ending; }

void ResetEngineState() {
  ResetComposeInformation();
  ResetPatternDatabases();
  ClearToneWeightCache();
  EngineStore& store = TheEngineStore();
  store.modulation = ModulationPoints{};
  store.fixed_bass_pitch = 0;
  ResetMelodyState();
  ResetDatabaseProgression();
  store.modes = EngineModes{};
  store.settings = FixedEngineSettings{};
  store.skip_beats = SkipBeatList{};
  store.ringtone_output = RingtoneOutputPaths{};
  store.seed = 0;
  store.part_memory = PartBuilderMemory{};
  store.rockabilly_roll = 0;
  store.rockabilly_stabs = 0;
  store.slides = 0;
}
