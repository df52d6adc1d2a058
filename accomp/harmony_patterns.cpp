#include "accomp/harmony_patterns.h"

#include "accomp/arpeggio_spanish.h"
#include "accomp/gamelan_chinese.h"
#include "accomp/pops_pattern.h"
#include "accomp/rhythmic_tension.h"
#include "accomp/stroke_patterns.h"
#include "accomp/variable_arpeggios.h"
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
    {12, nullptr},  // "白玉": GenerateWholeNotePattern (density)
    {13, nullptr},  // "アルペジオ": GenerateArpeggioPattern
    {14, nullptr},  // "テクノ": GenerateTechnoPattern
    {15, nullptr},  // "ﾋｯﾌﾟﾎｯﾌﾟ": GenerateHipHopPattern
    {17, nullptr},  // "ﾘｽﾞﾐｶﾙなﾃｸﾉ": GenerateRhythmicalTechnoPattern
    {18, nullptr},  // "ラップテクノ": GenerateRapTechnoPattern

    // Rhythmical, rhythmic and stroke.
    {16, nullptr},  // "超ｽﾛｰｽﾄﾛｰｸ": GenerateSuperSlowStrokePattern (density)
    {19, nullptr},  // "ﾘｽﾞﾐｶﾙ": GenerateRhythmicalPattern
    {20, nullptr},  // "リズミック": GenerateRhythmicPattern (density)
    {29, nullptr},  // "ｱｸｾﾝﾄｽﾄﾛｰｸ": density above 60 GenerateAccentStrokePattern, else
                    // GenerateAccentStrokeLightPattern

    // Tango, enka, Middle-Eastern and march.
    {21, nullptr},  // "タンゴ風(1)": GenerateTangoPattern
    {22, nullptr},  // "演歌風": GenerateEnkaPattern (density)
    {23, nullptr},  // "タンゴ風(2)": GenerateTango2Pattern (melody)
    {26, nullptr},  // "中近東風": GenerateMiddleEasternPattern
    {31, nullptr},  // "マーチ": GenerateMarchPattern

    // Complex arpeggio and melodic line.
    {24, nullptr},  // "旋律風": GenerateMelodicLinePattern (density)
    {25, nullptr},  // "複雑ｱﾙﾍﾟｼﾞｵ": GenerateComplexArpeggioPattern (density)

    // Mersey beat.
    {27, nullptr},  // "ﾏｰｼﾞｰﾋﾞｰﾄ": GenerateMerseyBeatPattern

    // Custom grid.
    {47, nullptr},  // "カスタム": GenerateCustomGridPattern

    // Riffs.
    {30, nullptr},  // "リフ": GenerateRiffPattern
    {40, nullptr},  // "長めのリフ": GenerateRhythmRiffPattern (code)
    {41, nullptr},  // "固定リフ": GenerateRhythmRiffPattern (code)
    {45, nullptr},  // "ストロークのリフ": GenerateStrokeRiffPattern
    {46, nullptr},  // "長めの固定リフ", "固定パターン": GenerateRhythmRiffPattern (code)

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
