#include "engine/drum_patterns.h"

#include "engine/drum_styles.h"
#include "engine/pattern_table.h"

namespace {

// One row per drum pattern code; the styles are in engine/drum_styles.h.
const PatternRow<DrumPatternGenerator> kPatterns[] = {
    {1, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayEightBeat); }},  // "8ビート"
    {2, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlaySixteenBeat); }},  // "16ビート"
    {3, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayMarch); }},  // "マーチ"
    {4, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayRandomEightBeat); }},  // "ﾗﾝﾀﾞﾑな8ビート"
    {5, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayFolkloreBeat); }},  // "ﾌｫﾙｸﾛｰﾚ風"
    {6, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayChineseBeat); }},  // "中国風"
    {7, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayAfricanBeat); }},  // "ｱﾌﾘｶ風"
    {8, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayHouseBeat); }},  // "ﾊｳｽ系16ﾋﾞｰﾄ"
    {9, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayBluesBeat); }},  // "ﾌﾞﾙｰｽ"
    {10, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayJapanese); }},  // "日本風"
    {11, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlaySwing); }},  // "ｽｲﾝｸﾞ風"
    {12, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayRandomSixteenBeat); }},  // "ﾗﾝﾀﾞﾑな16ﾋﾞｰﾄ"
    {13, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayTechnoBeat); }},  // "ﾃｸﾉ風"
    {14, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayRap); }},  // "ﾗｯﾌﾟ風"
    {15, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayTemple); }},  // "お寺風"
    {16, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayHeavyEightBeat); }},  // "重たい8ﾋﾞｰﾄ"
    {17, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayEnkaBeat); }},  // "演歌風"
    {18, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayIndian); }},  // "インド風"
    {19, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayMerseyBeat); }},  // "ﾏｰｼﾞｰﾋﾞｰﾄ風"
    {20, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayProgressive); }},  // "ﾌﾟﾛｸﾞﾚ風"
    {21, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayRandomMix); }},  // "ﾗﾝﾀﾞﾑ混合"
    {22, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayChristmas); }},  // "ｸﾘｽﾏｽ風"
    {23, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayRockabilly); }},  // "ﾛｶﾋﾞﾘー風"
    {24, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayBossaNova); }},  // "ボサノバ風"
    {25, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayLatin); }},  // "ラテン風"
    {26, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayTrance); }},  // "トランス風"
    {27, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayAutoPattern); }},  // "自動生成"
    {28, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayCustomGrid); }},  // "カスタム"
    {29, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayBolero); }},  // "ボレロ"
    {30, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayPolka); }},  // "ポルカ"
    {31, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayGagaku); }},  // "雅楽風"
    {32, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayGlamRock); }},  // "ｸﾞﾗﾑﾛｯｸ"
    {33, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayChaChaCha); }},  // "ﾁｬﾁｬﾁｬ"
    {34, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayParade); }},  // "パレード風"
    {35, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayFlamenco); }},  // "フラメンコ風"
    {36, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayChildrensSong); }},  // "童謡風"
    {37, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayWaltz); }},  // "ワルツ"
    {38, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayJazzWaltz); }},  // "ジャズワルツ"
    {39, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayPolyrhythm); }},  // "ポリリズム"
    {40, [](const DrumPatternCall& c) { PlayDrumStyle(c, PlayGionBayashi); }},  // "祇園囃子"
};

}  // namespace

DrumPatternGenerator FindDrumPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
