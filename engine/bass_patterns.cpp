#include "engine/bass_patterns.h"

#include "engine/pattern_table.h"

namespace {

// One row per bass pattern code. A generator plugs in by replacing its row's nullptr with a
// captureless lambda that calls it with what the comment lists, e.g.
//   {1, [](const BassPatternCall& c) { GenerateGeneralBass(c.channel, c.track, c.density); }},
// and by including its header above.
const PatternRow<BassPatternGenerator> kPatterns[] = {
    {1, nullptr},   // "汎用": GenerateGeneralBass (density)
    {2, nullptr},   // "通奏低音": GeneratePedalBass
    {3, nullptr},   // "ﾙｰﾄと5度": GenerateRootFifthBass (density)
    {4, nullptr},   // "ｸﾗｼｯｸ風": GenerateClassicBass
    {5, nullptr},   // "小刻み": GenerateRepeatedBass
    {6, nullptr},   // "ブルース風": GenerateBluesBass
    {7, nullptr},   // "旋律的": GenerateMelodicBass
    {8, nullptr},   // "ｳｫｰｷﾝｸﾞﾍﾞｰｽ": GenerateWalkingBass
    {9, nullptr},   // "フュージョン": GenerateFusionBass
    {10, nullptr},  // "ヒップホップ": GenerateHipHopBass
    {11, nullptr},  // "ポップス": GeneratePopsBass (density)
    {12, nullptr},  // "タンゴ風": GenerateTangoBass
    {13, nullptr},  // "ゆったり": GenerateRelaxedBass (density, melody)
    {14, nullptr},  // "ロカビリー風": GenerateRockabillyBass
    {15, nullptr},  // "ボサノバ風": GenerateBossaNovaBass
    {16, nullptr},  // "ラテン風": GenerateLatinBass
    {17, nullptr},  // "トランス風": GenerateTranceBass
    {18, nullptr},  // "ﾄﾞﾗﾑﾝﾍﾞｰｽ風": GenerateDrumAndBassBass
    {19, nullptr},  // "長めのリフ": GenerateLongRiffBass
    {20, nullptr},  // "カスタム": GenerateCustomBass
    {21, nullptr},  // "2度通奏低音": GenerateTwoTonePedalBass
    {22, nullptr},  // "ケチャ風": GenerateKecakBass
    {23, nullptr},  // "ワルツ風": GenerateWaltzBass
};

}  // namespace

BassPatternGenerator FindBassPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
