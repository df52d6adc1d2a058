// Custom accompaniment grid presets: fixed step patterns that the built-in
// styles mark in their grids after the defaults cleared them, and the step
// continuation that turns continuation flags into copies of the previous step.
#pragma once

#include "style/style_record.h"

// For sets 0 and 1 (harmony, sub-harmony and bass grids; the drum grid keeps
// its flags uncopied), every step whose continuation flag is 1 takes the
// column of the step before it (step 0 follows step 15).  Runs twice.
void FillContinuedSteps(StyleRecord& record);

// Fixed presets.

void NinetiesPopsBassGrid(StyleRecord& record);
void CountryBassGrid(StyleRecord& record);
void ChaChaChaBassGrid(StyleRecord& record);
void LightPopsBassGrid(StyleRecord& record);
void NinetiesPopsDrumGrid(StyleRecord& record);
void SkaDrumGrid(StyleRecord& record);
void DuoDrumGrid(StyleRecord& record);
void GuitarLoungeHarmonyGrid(StyleRecord& record);
void YosakoiGrids(StyleRecord& record);
void MamboGrids(StyleRecord& record);
void ReggaeGrids(StyleRecord& record);
void BoleroHarmonyGrid(StyleRecord& record);
void ChinaTownHarmonyGrid(StyleRecord& record);
void SymphonicRockHarmonyGrid(StyleRecord& record);
void AcousticHarmonyGrid(StyleRecord& record);
void MysteryCaveHarmonyGrid(StyleRecord& record);
void NostalgicGrids(StyleRecord& record);
void TechnoPopGrids(StyleRecord& record);
void EveningGirlsGrids(StyleRecord& record);
void MarchGrids(StyleRecord& record);
void ShamisenHarmonyGrid(StyleRecord& record);
void CountryHarmonyGrid(StyleRecord& record);
void ChaChaChaHarmonyGrid(StyleRecord& record);
void YodelGrids(StyleRecord& record);
void SeventiesPopsHarmonyGrid(StyleRecord& record);
void OrrenValeHarmonyGrid(StyleRecord& record);
void SilkRoadHarmonyGrid(StyleRecord& record);
void NinetiesPopsHarmonyGrid(StyleRecord& record);
void AntiWarSongHarmonyGrid(StyleRecord& record);
void ForestMusicHarmonyGrid(StyleRecord& record);
void ClubTechnoGrids(StyleRecord& record);
void EthnicGuitarGrids(StyleRecord& record);
void SilkRoadSubHarmonyGrid(StyleRecord& record);
void SkaSubHarmonyGrid(StyleRecord& record);
void GlamRockSubHarmonyGrid(StyleRecord& record);
void CountrySubHarmonyGrid(StyleRecord& record);
void LightPopsSubHarmonyGrid(StyleRecord& record);
void NinetiesPopsSubHarmonyGrid(StyleRecord& record);

// Random presets (drawn with GneRandomRange); each ends with FillContinuedSteps.
void RandomChordGrids(StyleRecord& record);
void RandomMelodicGrids(StyleRecord& record);
void RandomSubHarmonyNotes(StyleRecord& record);
