#include "engine/drum_patterns.h"

#include "engine/pattern_table.h"

namespace {

// One row per drum pattern code. A style plugs in by replacing its row's nullptr with a
// captureless lambda that calls it, e.g.
//   {1, [](const DrumPatternCall& c) { GenerateEightBeat(c.channel, c.timeline, c.track, c.density); }},
// and by including its header above.
const PatternRow<DrumPatternGenerator> kPatterns[] = {
    {1, nullptr},   // "8ビート"
    {2, nullptr},   // "16ビート"
    {3, nullptr},   // "マーチ"
    {4, nullptr},   // "ﾗﾝﾀﾞﾑな8ビート"
    {5, nullptr},   // "ﾌｫﾙｸﾛｰﾚ風"
    {6, nullptr},   // "中国風"
    {7, nullptr},   // "ｱﾌﾘｶ風"
    {8, nullptr},   // "ﾊｳｽ系16ﾋﾞｰﾄ"
    {9, nullptr},   // "ﾌﾞﾙｰｽ"
    {10, nullptr},  // "日本風"
    {11, nullptr},  // "ｽｲﾝｸﾞ風"
    {12, nullptr},  // "ﾗﾝﾀﾞﾑな16ﾋﾞｰﾄ"
    {13, nullptr},  // "ﾃｸﾉ風"
    {14, nullptr},  // "ﾗｯﾌﾟ風"
    {15, nullptr},  // "お寺風"
    {16, nullptr},  // "重たい8ﾋﾞｰﾄ"
    {17, nullptr},  // "演歌風"
    {18, nullptr},  // "インド風"
    {19, nullptr},  // "ﾏｰｼﾞｰﾋﾞｰﾄ風"
    {20, nullptr},  // "ﾌﾟﾛｸﾞﾚ風"
    {21, nullptr},  // "ﾗﾝﾀﾞﾑ混合"
    {22, nullptr},  // "ｸﾘｽﾏｽ風"
    {23, nullptr},  // "ﾛｶﾋﾞﾘー風"
    {24, nullptr},  // "ボサノバ風"
    {25, nullptr},  // "ラテン風"
    {26, nullptr},  // "トランス風"
    {27, nullptr},  // "自動生成"
    {28, nullptr},  // "カスタム"
    {29, nullptr},  // "ボレロ"
    {30, nullptr},  // "ポルカ"
    {31, nullptr},  // "雅楽風"
    {32, nullptr},  // "ｸﾞﾗﾑﾛｯｸ"
    {33, nullptr},  // "ﾁｬﾁｬﾁｬ"
    {34, nullptr},  // "パレード風"
    {35, nullptr},  // "フラメンコ風"
    {36, nullptr},  // "童謡風"
    {37, nullptr},  // "ワルツ"
    {38, nullptr},  // "ジャズワルツ"
    {39, nullptr},  // "ポリリズム"
    {40, nullptr},  // "祇園囃子"
};

}  // namespace

DrumPatternGenerator FindDrumPattern(int code) {
  return FindPatternRow(kPatterns, code);
}
