#include "engine/engine_state.h"

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/database_progression.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "util/gne.h"

#include "platform/core/clock.h"

namespace {
struct EngineModes {
  int32_t compose_mode = 0;
  int32_t melody_from_input = 0;
  int32_t plain_ending = 0;
};
EngineModes g_modes;

struct FixedEngineSettings {
  int32_t sound_module_mode = 2;
  int32_t lead_in = 0;
  int32_t conductor_markers = 0;
  int32_t display_text = 0;
};
FixedEngineSettings g_settings;
SkipBeatList g_skip_beats;
RingtoneOutputPaths g_ringtone_output;
uint32_t g_seed = 0;
PartBuilderMemory g_part_memory;
int32_t g_rockabilly_roll = 0;
int32_t g_rockabilly_stabs = 0;
int32_t g_slides = 0;
}  // namespace

int32_t& SoundModuleMode() { return g_settings.sound_module_mode; }
int32_t& LeadInSetting() { return g_settings.lead_in; }
int32_t& ConductorMarkerSetting() { return g_settings.conductor_markers; }
int32_t& DisplayTextSetting() { return g_settings.display_text; }
SkipBeatList& SkipBeats() { return g_skip_beats; }
RingtoneOutputPaths& RingtoneOutput() { return g_ringtone_output; }
PartBuilderMemory& PartMemory() { return g_part_memory; }
int32_t& RockabillyRollCounter() { return g_rockabilly_roll; }
int32_t& RockabillyStabCounter() { return g_rockabilly_stabs; }
int32_t& SlideCount() { return g_slides; }

uint32_t CompositionSeed() { return g_seed; }
void SeedComposition(uint32_t seed) {
  g_seed = seed;
  GneSeedRandomWith(seed);
}
void SeedCompositionFromClock() {
  SeedComposition(static_cast<uint32_t>(plat::CurrentClock().WallTime()));
}

int32_t& ComposeMode() { return g_modes.compose_mode; }
int32_t& MelodyFromInput() { return g_modes.melody_from_input; }
int32_t& PlainEndingFlag() { return g_modes.plain_ending; }

void ResetEngineState() {
  ResetComposeInformation();
  ResetPatternDatabases();
  ClearToneWeightCache();
  Modulation() = ModulationPoints{};
  FixedBassPitch() = 0;
  ResetMelodyState();
  ResetDatabaseProgression();
  g_modes = EngineModes{};
  g_settings = FixedEngineSettings{};
  g_skip_beats = SkipBeatList{};
  g_ringtone_output = RingtoneOutputPaths{};
  g_seed = 0;
  g_part_memory = PartBuilderMemory{};
  g_rockabilly_roll = 0;
  g_rockabilly_stabs = 0;
  g_slides = 0;
}
