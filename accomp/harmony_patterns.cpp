#include "accomp/harmony_patterns.h"

#include "accomp/arpeggio_spanish.h"
#include "accomp/complex_arpeggio.h"
#include "accomp/gamelan_chinese.h"
#include "accomp/mersey_beat.h"
#include "accomp/pops_pattern.h"
#include "accomp/rhythmic_tension.h"
#include "accomp/rhythmical_patterns.h"
#include "accomp/riff_patterns.h"
#include "accomp/stroke_patterns.h"
#include "accomp/tango_march.h"
#include "accomp/variable_arpeggios.h"
#include "accomp/whole_note_patterns.h"
#include "engine/pattern_table.h"

namespace {

// One row per pattern code, grouped by generator family. A generator plugs in by replacing its
// row's nullptr with a captureless lambda that calls it with what the comment lists, routing on
// the density where the comment says so, e.g.
//   {1, [](const HarmonyPatternCall& c) { GenerateSlowStroke(c.channel, c.track, c.density); }},
// and by including its family's header above. Code 48 has no row: it names no pattern.
const PatternRow<HarmonyPatternGenerator> kPatterns[] = {
    // Strokes.
    {1, [](const HarmonyPatternCall& c) { GenerateSlowStroke(c.channel, c.track, c.density); }},
    {2,
     [](const HarmonyPatternCall& c) {
       if (c.density >= 140) return GenerateContinuousStrokeFast(c.channel, c.track);
       if (c.density >= 120) return GenerateContinuousStrokeMedium(c.channel, c.track);
       GenerateContinuousStroke(c.channel, c.track);
     }},
    {28, [](const HarmonyPatternCall& c) { GenerateContinuousStroke(c.channel, c.track); }},
    {62, [](const HarmonyPatternCall& c) { GenerateOffBeat(c.channel, c.track, c.density); }},

    // Slow arpeggio and Spanish.
    {3, [](const HarmonyPatternCall& c) { GenerateSlowArpeggio(c.channel, c.track); }},
    {5, [](const HarmonyPatternCall& c) { GenerateSpanishPattern(c.channel, c.track); }},

    // Pops.
    {4, [](const HarmonyPatternCall& c) { GeneratePopsPattern(c.channel, c.track, c.density); }},

    // Rhythmic tension.
    {10,
     [](const HarmonyPatternCall& c) { GenerateRhythmicTension(c.channel, c.track, c.density); }},

    // Variable-speed and irregular arpeggios.
    {8,
     [](const HarmonyPatternCall& c) {
       GenerateVariableSpeedArpeggio(c.channel, c.track, c.density);
     }},
    {9, [](const HarmonyPatternCall& c) { GenerateIrregularArpeggio(c.channel, c.track); }},

    // Gamelan and Chinese.
    {6, [](const HarmonyPatternCall& c) { GenerateGamelanPattern(c.channel, c.track); }},
    {7, [](const HarmonyPatternCall& c) { GenerateChinesePattern(c.channel, c.track, c.density); }},

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
    {47, nullptr},  // "カスタム": GenerateCustomGridPattern

    // Riffs.
    {30, [](const HarmonyPatternCall& c) { GenerateRiffPattern(c.channel, c.track); }},  // "リフ": GenerateRiffPattern
    {40, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "長めのリフ": GenerateRhythmRiffPattern (code)
    {41, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "固定リフ": GenerateRhythmRiffPattern (code)
    {45, [](const HarmonyPatternCall& c) { GenerateStrokeRiffPattern(c.channel, c.track); }},  // "ストロークのリフ": GenerateStrokeRiffPattern
    {46, [](const HarmonyPatternCall& c) { GenerateRhythmRiffPattern(c.channel, c.track, c.code); }},  // "長めの固定リフ", "固定パターン": GenerateRhythmRiffPattern (code)

    // Cutting.
    {11, nullptr},  // "ｸﾞﾗﾑﾛｯｸ風": GenerateCuttingPattern (density)
    {54, nullptr},  // "ｶｯﾃｨﾝｸﾞ": GenerateCuttingPattern (density)

    // Latin.
    {35, nullptr},  // "ボサノバ": GenerateBossaNovaPattern
    {36, nullptr},  // "ラテン": GenerateLatinPattern
    {37, nullptr},  // "ﾘｽﾞﾐｯｸラテン": GenerateRhythmicLatinPattern
    {55, nullptr},  // "ﾁｬﾁｬﾁｬ": GenerateChaChaChaPattern
    {58, nullptr},  // "フラメンコ": GenerateFlamencoPattern

    // Oom-pah and dance.
    {32, nullptr},  // "ラグタイム": GenerateRagtimePattern
    {33, nullptr},  // "ﾛｶﾋﾞﾘｰ風": GenerateRockabillyPattern
    {50, nullptr},  // "ボレロ": GenerateBoleroPattern
    {59, nullptr},  // "ワルツ": GenerateWaltzPattern
    {60, nullptr},  // "ジャズワルツ": GenerateJazzWaltzPattern

    // Arpeggio and line.
    {38, nullptr},  // "トランス風": GenerateTrancePattern
    {39, nullptr},  // "はやいｱﾙﾍﾟｼﾞｵ": GenerateFastArpeggioPattern
    {49, nullptr},  // "分散不協和音": GenerateScatteredDissonancePattern
    {51, nullptr},  // "旋律的": GenerateMelodicPattern
    {56, nullptr},  // "パレード風": GenerateParadePattern (density)

    // Strum and sustained.
    {42, nullptr},  // "ハワイアン": GenerateHawaiianPattern
    {43, nullptr},  // "単純なｽﾄﾛｰｸ": GenerateSimpleStrokePattern
    {44, nullptr},  // "ｵｰﾙﾃﾞｨｽﾞｷﾞﾀｰ": GenerateOldiesGuitarPattern
    {52, nullptr},  // "ｽﾗｲﾃﾞｨﾝｸﾞ": GenerateSlidingPattern
    {53, nullptr},  // "高い全音符": GenerateHighWholeNotePattern
    {57, nullptr},  // "ケチャ": GenerateKecakPattern
    {61, nullptr},  // "四つ切り": GenerateFourCutPattern

    // Pops arpeggio.
    {34, nullptr},  // "ﾎﾟｯﾌﾟｽｱﾙﾍﾟｼﾞｵ": GeneratePopsArpeggioPattern (melody)
};

}  // namespace

bool IsHarmonyPatternCode(int code) {
  return code >= kFirstHarmonyPattern && code <= kLastHarmonyPattern && code != kNoHarmonyPattern;
}

HarmonyPatternGenerator FindHarmonyPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
