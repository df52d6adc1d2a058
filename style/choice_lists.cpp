#include "style/choice_lists.h"

#include <cstring>

namespace {

const ChoiceEntry kKeyChoiceList[] = {
    {"イ短調", 2},
    {"ハ長調", 1},
};

const ChoiceEntry kMetreChoiceList[] = {
    {"4/4", 0},
    {"3/4", 1},
    {"7/8", 2},
};

const ChoiceEntry kBasicBeatChoiceList[] = {
    {"3連系リズム", 3},
    {"8ﾋﾞｰﾄ/16ﾋﾞｰﾄ", 0},
    {"3連を含む8ﾋﾞｰﾄ/16ﾋﾞｰﾄ", 1},
};

const ChoiceEntry kChordMethodChoiceList[] = {
    {"知識ベース使用", 0},
    {"モーション計算", 1},
    {"カスタム", 8},
};

const ChoiceEntry kChordBeatsChoiceList[] = {
    {"おまかせ", 0},
    {"ｺｰﾄﾞ4つ", 4},
};

const ChoiceEntry kChordsPerBlockChoiceList[] = {
    {"おまかせ", 0},
    {"1小節", 1},
};

const ChoiceEntry kSubMelodyChoiceList[] = {
    {"メロディと同じ", 6},
    {"カスタム", 7},
    {"カノン", 8},
};

const ChoiceEntry kSubDrumChoiceList[] = {
    {"ﾒﾛﾃﾞｨと同ﾊﾟﾀｰﾝ", 0},
    {"盆踊り", 1},
};

const ChoiceEntry kProgressionChoiceList[] = {
    {"超単純", 4},
    {"単純", 3},
    {"普通", 2},
    {"複雑", 1},
    {"ワンコード", 7},
    {"ランダム", 5},
    {"サブドミ進行", 9},
    {"スリーコード", 6},
    {"フラメンコ風", 10},
};

const ChoiceEntry kScaleChoiceList[] = {
    {"ダイアトニック音階", 1},
    {"純正律", 7},
    {"ヨナ抜き音階", 2},
    {"沖縄音階", 3},
    {"日本音階", 13},
    {"ブルース", 6},
    {"中近東音階", 8},
    {"イスラム風音階", 14},
    {"ジプシー風音階", 15},
    {"ハンガリー風音階", 16},
    {"マケドニア風音階", 20},
    {"全音音階", 12},
    {"ミクソリディアン", 17},
    {"ドリアン", 18},
    {"CDFGA", 4},
    {"GABDE", 9},
    {"アラビア風音階", 10},
    {"インド音階", 5},
    {"ヴェルト", 19},
    {"フラメンコ", 21},
    {"ナポリタン(Maj/Min)", 22},
    {"謎の音階", 24},
    {"マカーム・ナワサル", 25},
    {"カスタム", 11},
};

const ChoiceEntry kAccompanimentChoiceList[] = {
    {"不定期ｱﾙﾍﾟｼﾞｵ", 9},
    {"ポップス風", 4},
    {"ｽﾛｰｱﾙﾍﾟｼﾞｵ", 3},
    {"連続ｽﾄﾛｰｸ", 2},
    {"ｽﾛｰｽﾄﾛｰｸ", 1},
    {"スペイン風", 5},
    {"ガムラン風", 6},
    {"中国風", 7},
    {"変速ｱﾙﾍﾟｼﾞｵ", 8},
    {"ﾘｽﾞﾐｶﾙなﾃﾝｼｮﾝ", 10},
    {"ｸﾞﾗﾑﾛｯｸ風", 11},
    {"超ｽﾛｰｽﾄﾛｰｸ", 16},
    {"テクノ", 14},
    {"ﾘｽﾞﾐｶﾙなﾃｸﾉ", 17},
    {"ﾘｽﾞﾐｶﾙ", 19},
    {"タンゴ風(1)", 21},
    {"演歌風", 22},
    {"複雑ｱﾙﾍﾟｼﾞｵ", 25},
    {"中近東風", 26},
    {"ﾏｰｼﾞｰﾋﾞｰﾄ", 27},
    {"ｱｸｾﾝﾄｽﾄﾛｰｸ", 29},
    {"リフ", 30},
    {"マーチ", 31},
    {"ラグタイム", 32},
    {"ﾛｶﾋﾞﾘｰ風", 33},
    {"ﾎﾟｯﾌﾟｽｱﾙﾍﾟｼﾞｵ", 34},
    {"ボサノバ", 35},
    {"ラテン", 36},
    {"ﾘｽﾞﾐｯｸラテン", 37},
    {"トランス風", 38},
    {"長めのリフ", 40},
    {"固定リフ", 41},
    {"ハワイアン", 42},
    {"ｵｰﾙﾃﾞｨｽﾞｷﾞﾀｰ", 44},
    {"ストロークのリフ", 45},
    {"分散不協和音", 49},
    {"旋律的", 51},
    {"ｽﾗｲﾃﾞｨﾝｸﾞ", 52},
    {"白玉", 12},
    {"アルペジオ", 13},
    {"ﾋｯﾌﾟﾎｯﾌﾟ", 15},
    {"ラップテクノ", 18},
    {"リズミック", 20},
    {"タンゴ風(2)", 23},
    {"旋律風", 24},
    {"はやいｱﾙﾍﾟｼﾞｵ", 39},
    {"単純なｽﾄﾛｰｸ", 43},
    {"長めの固定リフ", 46},
    {"ボレロ", 50},
    {"高い全音符", 53},
    {"ｶｯﾃｨﾝｸﾞ", 54},
    {"ﾁｬﾁｬﾁｬ", 55},
    {"パレード風", 56},
    {"ケチャ", 57},
    {"フラメンコ", 58},
    {"ワルツ", 59},
    {"ジャズワルツ", 60},
    {"四つ切り", 61},
    {"固定パターン", 46},
    {"裏打ち", 62},
    {"カスタム", 47},
};

const ChoiceEntry kDrumPatternChoiceList[] = {
    {"8ビート", 1},
    {"16ビート", 2},
    {"マーチ", 3},
    {"ﾗﾝﾀﾞﾑな8ビート", 4},
    {"ﾌｫﾙｸﾛｰﾚ風", 5},
    {"中国風", 6},
    {"ｱﾌﾘｶ風", 7},
    {"ﾊｳｽ系16ﾋﾞｰﾄ", 8},
    {"ﾌﾞﾙｰｽ", 9},
    {"日本風", 10},
    {"ｽｲﾝｸﾞ風", 11},
    {"ﾗﾝﾀﾞﾑな16ﾋﾞｰﾄ", 12},
    {"ﾃｸﾉ風", 13},
    {"ﾗｯﾌﾟ風", 14},
    {"お寺風", 15},
    {"重たい8ﾋﾞｰﾄ", 16},
    {"演歌風", 17},
    {"インド風", 18},
    {"ﾏｰｼﾞｰﾋﾞｰﾄ風", 19},
    {"ﾌﾟﾛｸﾞﾚ風", 20},
    {"ﾗﾝﾀﾞﾑ混合", 21},
    {"ｸﾘｽﾏｽ風", 22},
    {"ﾛｶﾋﾞﾘー風", 23},
    {"ボサノバ風", 24},
    {"ラテン風", 25},
    {"トランス風", 26},
    {"自動生成", 27},
    {"ボレロ", 29},
    {"ポルカ", 30},
    {"雅楽風", 31},
    {"ｸﾞﾗﾑﾛｯｸ", 32},
    {"ﾁｬﾁｬﾁｬ", 33},
    {"パレード風", 34},
    {"フラメンコ風", 35},
    {"童謡風", 36},
    {"ワルツ", 37},
    {"ジャズワルツ", 38},
    {"ポリリズム", 39},
    {"祇園囃子", 40},
    {"カスタム", 28},
};

const ChoiceEntry kBassPatternChoiceList[] = {
    {"通奏低音", 2},
    {"汎用", 1},
    {"ﾙｰﾄと5度", 3},
    {"ｸﾗｼｯｸ風", 4},
    {"小刻み", 5},
    {"ブルース風", 6},
    {"旋律的", 7},
    {"ｳｫｰｷﾝｸﾞﾍﾞｰｽ", 8},
    {"フュージョン", 9},
    {"ヒップホップ", 10},
    {"ポップス", 11},
    {"タンゴ風", 12},
    {"ゆったり", 13},
    {"ロカビリー風", 14},
    {"ボサノバ風", 15},
    {"ラテン風", 16},
    {"トランス風", 17},
    {"ﾄﾞﾗﾑﾝﾍﾞｰｽ風", 18},
    {"長めのリフ", 19},
    {"カスタム", 20},
    {"2度通奏低音", 21},
    {"ケチャ風", 22},
    {"ワルツ風", 23},
};

const ChoiceEntry kDissonanceChoiceList[] = {
    {"多用", 0},
    {"適度", 4},
    {"小用", 9},
    {"禁止", 10},
};

const ChoiceEntry kNoteLengthChoiceList[] = {
    {"変動", 5},
    {"長くて均等", 2},
    {"長い", 6},
    {"表で長め", 3},
    {"機械的", 4},
    {"短い", 1},
    {"短く変動", 7},
    {"混合", 8},
    {"短く長い跳ねる", 9},
    {" ", 10},
};

const ChoiceEntry kSyncopationChoiceList[] = {
    {"ｼﾝｺﾍﾟ無し", 0},
    {"ｼﾝｺﾍﾟ有り", 1},
};

const ChoiceEntry kRestLevelChoiceList[] = {
    {"ほとんど無し", 1},
    {"わずかにある", 2},
    {"少なめ", 3},
    {"普通にある", 4},
    {"ちょっと多め", 5},
    {"多め", 6},
    {"かなり多め", 7},
    {"ほとんど休符", 8},
};

const ChoiceEntry kEffectChoiceList[] = {
    {"無し", 0},
    {"ﾁｮｰｷﾝｸﾞ(弱)", 5},
    {"ﾁｮｰｷﾝｸﾞ(中)", 17},
    {"ｽｷｬｯﾄ", 18},
    {"振動", 13},
    {"ﾋﾞﾌﾞﾗｰﾄ", 10},
    {"ｻｲﾚﾝ効果", 8},
    {"長管効果", 9},
    {"高域強調", 12},
    {"頭を揺らす", 19},
    {"牧歌的効果", 20},
    {"音程を繋げる", 21},
    {"トレモロ", 22},
};

const ChoiceEntry kOrnamentChoiceList[] = {
    {"無し", 0},
    {"ｸﾗｼｯｸ風", 1},
    {"無茶なﾄﾘﾙ", 2},
    {"ﾌﾞﾙｰｽ風", 3},
    {"不安定", 4},
    {"打楽器的", 6},
    {"合いの手", 7},
    {"ﾎﾟｯﾌﾟｽ風", 11},
    {"ラップ声", 14},
    {"ｱﾝﾃﾞｽ風", 15},
    {"ｽｺｯﾄﾗﾝﾄﾞ風", 16},
    {"音階装飾", 17},
    {"連続音", 18},
    {"先頭の跳躍", 19},
    {"南国風に繋げる", 20},
};

const ChoiceEntry kVoicingChoiceList[] = {
    {"無し", 0},
    {"対称", 1},
    {"対称遅延", 2},
};

const ChoiceEntry kAlgorithmChoiceList[] = {
    {"ラグランジュ法", 1},
    {"方向法", 2},
    {"ゆらぎ法", 3},
    {"f分の1ゆらぎ数列", 4},
    {"跳躍制御", 5},
    {"メロディテーブル", 6},
    {"単一音", 7},
};

const ChoiceEntry kTensionChoiceList[] = {
    {"均等", 0},
    {"ｼﾞｬｽﾞ", 2},
    {"ﾌﾞﾙｰﾉｰﾄ", 1},
};

const ChoiceEntry kRepeatChoiceList[] = {
    {"模倣(無)", 0},
    {"模倣(弱)", 1},
    {"模倣(中)", 2},
};

}  // namespace

const ChoiceList KeyChoiceList = {kKeyChoiceList, sizeof kKeyChoiceList / sizeof kKeyChoiceList[0]};
const ChoiceList MetreChoiceList = {kMetreChoiceList, sizeof kMetreChoiceList / sizeof kMetreChoiceList[0]};
const ChoiceList BasicBeatChoiceList = {kBasicBeatChoiceList, sizeof kBasicBeatChoiceList / sizeof kBasicBeatChoiceList[0]};
const ChoiceList ChordMethodChoiceList = {kChordMethodChoiceList, sizeof kChordMethodChoiceList / sizeof kChordMethodChoiceList[0]};
const ChoiceList ChordBeatsChoiceList = {kChordBeatsChoiceList, sizeof kChordBeatsChoiceList / sizeof kChordBeatsChoiceList[0]};
const ChoiceList ChordsPerBlockChoiceList = {kChordsPerBlockChoiceList, sizeof kChordsPerBlockChoiceList / sizeof kChordsPerBlockChoiceList[0]};
const ChoiceList SubMelodyChoiceList = {kSubMelodyChoiceList, sizeof kSubMelodyChoiceList / sizeof kSubMelodyChoiceList[0]};
const ChoiceList SubDrumChoiceList = {kSubDrumChoiceList, sizeof kSubDrumChoiceList / sizeof kSubDrumChoiceList[0]};
const ChoiceList ProgressionChoiceList = {kProgressionChoiceList, sizeof kProgressionChoiceList / sizeof kProgressionChoiceList[0]};
const ChoiceList ScaleChoiceList = {kScaleChoiceList, sizeof kScaleChoiceList / sizeof kScaleChoiceList[0]};
const ChoiceList AccompanimentChoiceList = {kAccompanimentChoiceList, sizeof kAccompanimentChoiceList / sizeof kAccompanimentChoiceList[0]};
const ChoiceList DrumPatternChoiceList = {kDrumPatternChoiceList, sizeof kDrumPatternChoiceList / sizeof kDrumPatternChoiceList[0]};
const ChoiceList BassPatternChoiceList = {kBassPatternChoiceList, sizeof kBassPatternChoiceList / sizeof kBassPatternChoiceList[0]};
const ChoiceList DissonanceChoiceList = {kDissonanceChoiceList, sizeof kDissonanceChoiceList / sizeof kDissonanceChoiceList[0]};
const ChoiceList NoteLengthChoiceList = {kNoteLengthChoiceList, sizeof kNoteLengthChoiceList / sizeof kNoteLengthChoiceList[0]};
const ChoiceList SyncopationChoiceList = {kSyncopationChoiceList, sizeof kSyncopationChoiceList / sizeof kSyncopationChoiceList[0]};
const ChoiceList RestLevelChoiceList = {kRestLevelChoiceList, sizeof kRestLevelChoiceList / sizeof kRestLevelChoiceList[0]};
const ChoiceList EffectChoiceList = {kEffectChoiceList, sizeof kEffectChoiceList / sizeof kEffectChoiceList[0]};
const ChoiceList OrnamentChoiceList = {kOrnamentChoiceList, sizeof kOrnamentChoiceList / sizeof kOrnamentChoiceList[0]};
const ChoiceList VoicingChoiceList = {kVoicingChoiceList, sizeof kVoicingChoiceList / sizeof kVoicingChoiceList[0]};
const ChoiceList AlgorithmChoiceList = {kAlgorithmChoiceList, sizeof kAlgorithmChoiceList / sizeof kAlgorithmChoiceList[0]};
const ChoiceList TensionChoiceList = {kTensionChoiceList, sizeof kTensionChoiceList / sizeof kTensionChoiceList[0]};
const ChoiceList RepeatChoiceList = {kRepeatChoiceList, sizeof kRepeatChoiceList / sizeof kRepeatChoiceList[0]};

bool ChoiceList::CodeOf(const char* name, int32_t* code) const {
  if (name == nullptr) return false;
  for (size_t i = 0; i < count; ++i) {
    if (std::strcmp(entries[i].name, name) == 0) {
      if (code != nullptr) *code = entries[i].code;
      return true;
    }
  }
  return false;
}

const char* ChoiceList::NameOf(int32_t code) const {
  for (size_t i = 0; i < count; ++i)
    if (entries[i].code == code) return entries[i].name;
  return nullptr;
}
