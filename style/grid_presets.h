// Custom accompaniment grid presets: fixed step patterns that the built-in
// styles mark in their grids after the defaults cleared them, and the step
// continuation that turns continuation flags into copies of the previous step.
#pragma once

#include <cstdint>

#include "style/style_record.h"

// For sets 0 and 1 (harmony, sub-harmony and bass grids; the drum grid keeps
// its flags uncopied), every step whose continuation flag is 1 takes the
// column of the step before it (step 0 follows step 15).  Runs twice.
void FillContinuedSteps(StyleRecord& record);

// Fixed presets: the step patterns of the built-in styles, kept as one table.
enum class GridPreset : uint8_t {
  kNinetiesPopsBass,
  kCountryBass,
  kChaChaChaBass,
  kLightPopsBass,
  kNinetiesPopsDrum,
  kSkaDrum,
  kDuoDrum,
  kGuitarLoungeHarmony,
  kYosakoi,
  kMambo,
  kReggae,
  kBoleroHarmony,
  kChinaTownHarmony,
  kSymphonicRockHarmony,
  kAcousticHarmony,
  kMysteryCaveHarmony,
  kNostalgic,
  kTechnoPop,
  kEveningGirls,
  kMarch,
  kShamisenHarmony,
  kCountryHarmony,
  kChaChaChaHarmony,
  kYodel,
  kSeventiesPopsHarmony,
  kOrrenValeHarmony,
  kSilkRoadHarmony,
  kNinetiesPopsHarmony,
  kAntiWarSongHarmony,
  kForestMusicHarmony,
  kClubTechno,
  kEthnicGuitar,
  kSilkRoadSubHarmony,
  kSkaSubHarmony,
  kGlamRockSubHarmony,
  kCountrySubHarmony,
  kLightPopsSubHarmony,
  kNinetiesPopsSubHarmony,
};
constexpr int kGridPresetCount = static_cast<int>(GridPreset::kNinetiesPopsSubHarmony) + 1;

// Marks the preset's cells, continuation flags, intervals and grid fields, then (for every
// preset but the drum grids and a few harmony grids) runs FillContinuedSteps.
void ApplyGridPreset(GridPreset preset, StyleRecord& record);

// Random presets (drawn with GneRandomRange); each ends with FillContinuedSteps.
void RandomChordGrids(StyleRecord& record);
void RandomMelodicGrids(StyleRecord& record);
void RandomSubHarmonyNotes(StyleRecord& record);
