#include "engine/bass_patterns.h"

#include "engine/bass_generators.h"
#include "engine/pattern_table.h"

namespace {

// One row per bass pattern code: its generator with what it takes of the call.
const PatternRow<BassPatternGenerator> kPatterns[] = {
    // "汎用"
    {1, [](const BassPatternCall& c) { GenerateGeneralBass(c.channel, c.track, c.density); }},
    // "通奏低音"
    {2, [](const BassPatternCall& c) { GeneratePedalBass(c.channel, c.track); }},
    // "ﾙｰﾄと5度"
    {3, [](const BassPatternCall& c) { GenerateRootFifthBass(c.channel, c.track, c.density); }},
    // "ｸﾗｼｯｸ風"
    {4, [](const BassPatternCall& c) { GenerateClassicBass(c.channel, c.track); }},
    // "小刻み"
    {5, [](const BassPatternCall& c) { GenerateRepeatedBass(c.channel, c.track); }},
    // "ブルース風"
    {6, [](const BassPatternCall& c) { GenerateBluesBass(c.channel, c.track); }},
    // "旋律的"
    {7, [](const BassPatternCall& c) { GenerateMelodicBass(c.channel, c.track); }},
    // "ｳｫｰｷﾝｸﾞﾍﾞｰｽ"
    {8, [](const BassPatternCall& c) { GenerateWalkingBass(c.channel, c.track); }},
    // "フュージョン"
    {9, [](const BassPatternCall& c) { GenerateFusionBass(c.channel, c.track); }},
    // "ヒップホップ"
    {10, [](const BassPatternCall& c) { GenerateHipHopBass(c.channel, c.track); }},
    // "ポップス"
    {11, [](const BassPatternCall& c) { GeneratePopsBass(c.channel, c.track, c.density); }},
    // "タンゴ風"
    {12, [](const BassPatternCall& c) { GenerateTangoBass(c.channel, c.track); }},
    // "ゆったり"
    {13, [](const BassPatternCall& c) {
       GenerateRelaxedBass(c.channel, c.track, c.density, c.melody);
     }},
    // "ロカビリー風"
    {14, [](const BassPatternCall& c) { GenerateRockabillyBass(c.channel, c.track); }},
    // "ボサノバ風"
    {15, [](const BassPatternCall& c) { GenerateBossaNovaBass(c.channel, c.track); }},
    // "ラテン風"
    {16, [](const BassPatternCall& c) { GenerateLatinBass(c.channel, c.track); }},
    // "トランス風"
    {17, [](const BassPatternCall& c) { GenerateTranceBass(c.channel, c.track); }},
    // "ﾄﾞﾗﾑﾝﾍﾞｰｽ風"
    {18, [](const BassPatternCall& c) { GenerateDrumAndBassBass(c.channel, c.track); }},
    // "長めのリフ"
    {19, [](const BassPatternCall& c) { GenerateLongRiffBass(c.channel, c.track); }},
    // "カスタム"
    {20, [](const BassPatternCall& c) { GenerateCustomBass(c.channel, c.track); }},
    // "2度通奏低音"
    {21, [](const BassPatternCall& c) { GenerateTwoTonePedalBass(c.channel, c.track); }},
    // "ケチャ風"
    {22, [](const BassPatternCall& c) { GenerateKecakBass(c.channel, c.track); }},
    // "ワルツ風"
    {23, [](const BassPatternCall& c) { GenerateWaltzBass(c.channel, c.track); }},
};

}  // namespace

BassPatternGenerator FindBassPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
