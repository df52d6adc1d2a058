#include "accomp/harmony_patterns.h"

#include "accomp/arpeggio_line.h"
#include "accomp/arpeggio_spanish.h"
#include "accomp/complex_arpeggio.h"
#include "accomp/custom_grid.h"
#include "accomp/cutting.h"
#include "accomp/gamelan_chinese.h"
#include "accomp/latin.h"
#include "accomp/mersey_beat.h"
#include "accomp/oompah_dance.h"
#include "accomp/pops_arpeggio.h"
#include "accomp/pops_pattern.h"
#include "accomp/rhythmic_tension.h"
#include "accomp/rhythmical_patterns.h"
#include "accomp/riff_patterns.h"
#include "accomp/stroke_patterns.h"
#include "accomp/strum_sustained.h"
#include "accomp/tango_march.h"
#include "accomp/variable_arpeggios.h"
#include "accomp/whole_note_patterns.h"
#include "engine/pattern_table.h"

namespace {

// Generators that take the channel and track, and the density or the melody.
template <void (*Generate)(int, MidiTrack&)>
void Plain(const HarmonyPatternCall& c) {
  Generate(c.channel, c.track);
}
template <void (*Generate)(int, MidiTrack&, int)>
void WithDensity(const HarmonyPatternCall& c) {
  Generate(c.channel, c.track, c.density);
}
template <void (*Generate)(int, MidiTrack&, const EventList&)>
void WithMelody(const HarmonyPatternCall& c) {
  Generate(c.channel, c.track, c.melody);
}

// One row per pattern code, grouped by generator family; a generator takes what its adapter or
// lambda hands it, routing on the density where its family does. Code 48 has no row: it names
// no pattern.
const PatternRow<HarmonyPatternGenerator> kPatterns[] = {
    // Strokes.
    {1, WithDensity<GenerateSlowStroke>},
    {2,
     [](const HarmonyPatternCall& c) {
       if (c.density >= 140) return GenerateContinuousStrokeFast(c.channel, c.track);
       if (c.density >= 120) return GenerateContinuousStrokeMedium(c.channel, c.track);
       GenerateContinuousStroke(c.channel, c.track);
     }},
    {28, Plain<GenerateContinuousStroke>},
    {62, WithDensity<GenerateOffBeat>},

    // Slow arpeggio and Spanish.
    {3, Plain<GenerateSlowArpeggio>},
    {5, Plain<GenerateSpanishPattern>},

    // Pops.
    {4, WithDensity<GeneratePopsPattern>},

    // Rhythmic tension.
    {10, WithDensity<GenerateRhythmicTension>},

    // Variable-speed and irregular arpeggios.
    {8, WithDensity<GenerateVariableSpeedArpeggio>},
    {9, Plain<GenerateIrregularArpeggio>},

    // Gamelan and Chinese.
    {6, Plain<GenerateGamelanPattern>},
    {7, WithDensity<GenerateChinesePattern>},

    // Whole notes, arpeggio and techno.
    {12, [](const HarmonyPatternCall& c) { GenerateWholeNotePattern(c.channel, c.track, c.density); }},  // "白玉": GenerateWholeNotePattern (density)
    {13, [](const HarmonyPatternCall& c) { GenerateArpeggioPattern(c.channel, c.track); }},  // "アルペジオ": GenerateArpeggioPattern
    {14, [](const HarmonyPatternCall& c) { GenerateTechnoPattern(c.channel, c.track); }},  // "テクノ": GenerateTechnoPattern
    {15, [](const HarmonyPatternCall& c) { GenerateHipHopPattern(c.channel, c.track); }},  // "ﾋｯﾌﾟﾎｯﾌﾟ": GenerateHipHopPattern
    {17, [](const HarmonyPatternCall& c) { GenerateRhythmicalTechnoPattern(c.channel, c.track); }},  // "ﾘｽﾞﾐｶﾙなﾃｸﾉ": GenerateRhythmicalTechnoPattern
    {18, [](const HarmonyPatternCall& c) { GenerateRapTechnoPattern(c.channel, c.track); }},  // "ラップテクノ": GenerateRapTechnoPattern

    // Rhythmical, rhythmic and stroke.
    {16, [](const HarmonyPatternCall& c) { GenerateSuperSlowStrokePattern(c.channel, c.track, c.density); }},  // "超ｽﾛｰｽﾄﾛｰｸ": GenerateSuperSlowStrokePattern (density)
    {19, [](const HarmonyPatternCall& c) { GenerateRhythmicalPattern(c.channel, c.track); }},  // "ﾘｽﾞﾐｶﾙ": GenerateRhythmicalPattern
    {20, [](const HarmonyPatternCall& c) { GenerateRhythmicPattern(c.channel, c.track, c.density); }},  // "リズミック": GenerateRhythmicPattern (density)
    {29, [](const HarmonyPatternCall& c) { GenerateAccentStroke(c.channel, c.track, c.density); }},  // "ｱｸｾﾝﾄｽﾄﾛｰｸ": density above 60 GenerateAccentStrokePattern, else
                    // GenerateAccentStrokeLightPattern

    // Tango, enka, Middle-Eastern and march.
    {21, [](const HarmonyPatternCall& c) { GenerateTangoPattern(c.channel, c.track); }},  // "タンゴ風(1)": GenerateTangoPattern
    {22, [](const HarmonyPatternCall& c) { GenerateEnkaPattern(c.channel, c.track, c.density); }},  // "演歌風": GenerateEnkaPattern (density)
    {23, [](const HarmonyPatternCall& c) { GenerateTango2Pattern(c.channel, c.track, c.melody); }},  // "タンゴ風(2)": GenerateTango2Pattern (melody)
    {26, [](const HarmonyPatternCall& c) { GenerateMiddleEasternPattern(c.channel, c.track); }},  // "中近東風": GenerateMiddleEasternPattern
    {31, [](const HarmonyPatternCall& c) { GenerateMarchPattern(c.channel, c.track); }},  // "マーチ": GenerateMarchPattern

    // Complex arpeggio and melodic line.
    {24, [](const HarmonyPatternCall& c) { GenerateMelodicLinePattern(c.channel, c.track, c.density); }},  // "旋律風": GenerateMelodicLinePattern (density)
    {25, [](const HarmonyPatternCall& c) { GenerateComplexArpeggioPattern(c.channel, c.track, c.density); }},  // "複雑ｱﾙﾍﾟｼﾞｵ": GenerateComplexArpeggioPattern (density)

    // Mersey beat.
    {27, [](const HarmonyPatternCall& c) { GenerateMerseyBeatPattern(c.channel, c.track); }},  // "ﾏｰｼﾞｰﾋﾞｰﾄ": GenerateMerseyBeatPattern

    // Custom grid.
    {47, Plain<GenerateCustomGridPattern>},

    // Riffs.
    {30, [](const HarmonyPatternCall& c) { GenerateRiffPattern(c.channel, c.track); }},  // "リフ": GenerateRiffPattern
    {40, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "長めのリフ": GenerateRhythmRiffPattern (code)
    {41, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "固定リフ": GenerateRhythmRiffPattern (code)
    {45, [](const HarmonyPatternCall& c) { GenerateStrokeRiffPattern(c.channel, c.track); }},  // "ストロークのリフ": GenerateStrokeRiffPattern
    {46, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "長めの固定リフ", "固定パターン": GenerateRhythmRiffPattern (code)

    // Cutting.
    {11, WithDensity<GenerateCuttingPattern>},
    {54, WithDensity<GenerateCuttingPattern>},

    // Latin.
    {35, Plain<GenerateBossaNovaPattern>},
    {36, Plain<GenerateLatinPattern>},
    {37, Plain<GenerateRhythmicLatinPattern>},
    {55, Plain<GenerateChaChaChaPattern>},
    {58, Plain<GenerateFlamencoPattern>},

    // Oom-pah and dance.
    {32, Plain<GenerateRagtimePattern>},
    {33, Plain<GenerateRockabillyPattern>},
    {50, Plain<GenerateBoleroPattern>},
    {59, Plain<GenerateWaltzPattern>},
    {60, Plain<GenerateJazzWaltzPattern>},

    // Arpeggio and line.
    {38, Plain<GenerateTrancePattern>},
    {39, Plain<GenerateFastArpeggioPattern>},
    {49, Plain<GenerateScatteredDissonancePattern>},
    {51, Plain<GenerateMelodicPattern>},
    {56, WithDensity<GenerateParadePattern>},

    // Strum and sustained.
    {42, Plain<GenerateHawaiianPattern>},
    {43, Plain<GenerateSimpleStrokePattern>},
    {44, Plain<GenerateOldiesGuitarPattern>},
    {52, Plain<GenerateSlidingPattern>},
    {53, Plain<GenerateHighWholeNotePattern>},
    {57, Plain<GenerateKecakPattern>},
    {61, Plain<GenerateFourCutPattern>},

    // Pops arpeggio.
    {34, WithMelody<GeneratePopsArpeggioPattern>},
};

}  // namespace

bool IsHarmonyPatternCode(int code) {
  return code >= kFirstHarmonyPattern && code <= kLastHarmonyPattern && code != kNoHarmonyPattern;
}

HarmonyPatternGenerator FindHarmonyPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
