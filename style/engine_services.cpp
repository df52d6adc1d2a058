#include "style/engine_services.h"

#include <cstring>

#include "style/style_table.h"
#include "util/gne.h"

const char* const InstrumentNameTable[kInstrumentNameCount] = {
    "ｸﾞﾗﾝﾄﾞ ﾋﾟｱﾉ",  // 0
    "ﾌﾞﾗｲﾄ ﾋﾟｱﾉ",  // 1
    "ｴﾚｸﾄﾘｯｸ ｸﾞﾗﾝﾄﾞ",  // 2
    "ﾎﾝｷｰﾄﾝｸ ﾋﾟｱﾉ",  // 3
    "ｴﾚｸﾄﾘｯｸ ﾋﾟｱﾉ 1",  // 4
    "ｴﾚｸﾄﾘｯｸ ﾋﾟｱﾉ 2",  // 5
    "ﾊｰﾌﾟｼｺｰﾄﾞ",  // 6
    "ｸﾗﾋﾞ",  // 7
    "ｾﾚｽﾃ",  // 8
    "ｸﾞﾛｯｹﾝｼｭﾋﾟｰﾙ",  // 9
    "ｵﾙｺﾞｰﾙ",  // 10
    "ﾋﾞﾌﾞﾗﾌｫﾝ",  // 11
    "ﾏﾘﾝﾊﾞ",  // 12
    "木琴",  // 13
    "ﾁｭｰﾌﾞﾗ ﾍﾞﾙ",  // 14
    "ｻﾝﾄｩｰﾙ",  // 15
    "ｵﾙｶﾞﾝ",  // 16
    "ﾊﾟｰｶｯｼﾌﾞ ｵﾙｶﾞﾝ",  // 17
    "ﾛｯｸ ｵﾙｶﾞﾝ",  // 18
    "ﾊﾟｲﾌﾟ ｵﾙｶﾞﾝ",  // 19
    "ﾘｰﾄﾞ ｵﾙｶﾞﾝ",  // 20
    "ｱｺｰﾃﾞｨｵﾝ",  // 21
    "ﾊｰﾓﾆｶ",  // 22
    "ﾊﾞﾝﾄﾞﾈｵﾝ",  // 23
    "ｶﾞｯﾄ ｷﾞﾀｰ",  // 24
    "ｽﾁｰﾙ ｷﾞﾀｰ",  // 25
    "ｼﾞｬｽﾞ ｷﾞﾀｰ",  // 26
    "ｸﾘｰﾝ ｷﾞﾀｰ",  // 27
    "消音ｷﾞﾀｰ",  // 28
    "ｵｰﾊﾞｰﾄﾞﾗｲﾌﾞ ｷﾞﾀｰ",  // 29
    "ﾃﾞｨｽﾄｰｼｮﾝ ｷﾞﾀｰ",  // 30
    "ｷﾞﾀｰ ﾊｰﾓﾆｸｽ",  // 31
    "ｳｯﾄﾞﾍﾞｰｽ",  // 32
    "ﾌｨﾝｶﾞｰ ｴﾚｷﾍﾞｰｽ",  // 33
    "ﾋﾟｯｸ ｴﾚｷﾍﾞｰｽ",  // 34
    "ﾌﾚｯﾄﾚｽ ﾍﾞｰｽ",  // 35
    "ｽﾗｯﾌﾟ ﾍﾞｰｽ 1",  // 36
    "ｽﾗｯﾌﾟ ﾍﾞｰｽ 2",  // 37
    "ｼﾝｾ ﾍﾞｰｽ 1",  // 38
    "ｼﾝｾ ﾍﾞｰｽ 2",  // 39
    "ﾊﾞｲｵﾘﾝ",  // 40
    "ﾋﾞｵﾗ",  // 41
    "ﾁｪﾛ",  // 42
    "ｺﾝﾄﾗﾊﾞｽ",  // 43
    "ﾄﾚﾓﾛ ｽﾄﾘﾝｸﾞｽ",  // 44
    "ﾋﾟｯﾁｶｰﾄ ｽﾄﾘﾝｸﾞｽ",  // 45
    "ﾊｰﾌﾟ",  // 46
    "ﾃｨﾝﾊﾟﾆｰ",  // 47
    "ｱﾝｻﾝﾌﾞﾙ ｽﾄﾘﾝｸﾞｽ",  // 48
    "ｽﾛｰ ｽﾄﾘﾝｸﾞｽ",  // 49
    "ｼﾝｾ ｽﾄﾘﾝｸﾞｽ 1",  // 50
    "ｼﾝｾ ｽﾄﾘﾝｸﾞｽ 2",  // 51
    "歌声 ｱｰ",  // 52
    "歌声 ｳｰ",  // 53
    "ｼﾝｾ ﾎﾞｯｸｽ",  // 54
    "ｵｰｹｽﾄﾗ ﾋｯﾄ",  // 55
    "ﾄﾗﾝﾍﾟｯﾄ",  // 56
    "ﾄﾛﾝﾎﾞｰﾝ",  // 57
    "ﾁｭｰﾊﾞ",  // 58
    "消音ﾄﾗﾝﾍﾟｯﾄ",  // 59
    "ﾌﾚﾝﾁ ﾎﾙﾝ",  // 60
    "ﾌﾞﾗｽ",  // 61
    "ｼﾝｾ ﾌﾞﾗｽ 1",  // 62
    "ｼﾝｾ ﾌﾞﾗｽ 2",  // 63
    "ｿﾌﾟﾗﾉ ｻｯｸｽ",  // 64
    "ｱﾙﾄ ｻｯｸｽ",  // 65
    "ﾃﾅｰ ｻｯｸｽ",  // 66
    "ﾊﾞﾘﾄﾝ ｻｯｸｽ",  // 67
    "ｵｰﾎﾞｴ",  // 68
    "ｲﾝｸﾞﾘｯｼｭ ﾎﾙﾝ",  // 69
    "ﾊﾞｽｰﾝ",  // 70
    "ｸﾗﾘﾈｯﾄ",  // 71
    "ﾋﾟｯｺﾛ",  // 72
    "ﾌﾙｰﾄ",  // 73
    "ﾘｺｰﾀﾞｰ",  // 74
    "ﾊﾟﾝ ﾌﾙｰﾄ",  // 75
    "ﾎﾞﾄﾙ ﾌﾞﾛｳ",  // 76
    "尺八",  // 77
    "口笛",  // 78
    "ｵｶﾘﾅ",  // 79
    "矩形波",  // 80
    "鋸波",  // 81
    "ｼﾝｾ ｶﾘｵﾍﾟ",  // 82
    "ｻｲﾌｧ ﾘｰﾄﾞ",  // 83
    "ﾁｬﾗﾝｸﾞ",  // 84
    "ｿﾛ ﾎﾞｯｸｽ",  // 85
    "5度の鋸波",  // 86
    "ﾍﾞｰｽとﾘｰﾄﾞ",  // 87
    "ﾌｧﾝﾀｼﾞｱ",  // 88
    "ｳｫｰﾑ ﾊﾟｯﾄﾞ",  // 89
    "ﾎﾟﾘ ｼﾝｾ",  // 90
    "宇宙の声",  // 91
    "ﾌﾞﾛｰﾄﾞ ｸﾞﾗｽ",  // 92
    "ﾒﾀﾙ ﾊﾟｯﾄﾞ",  // 93
    "ﾊﾛ ﾊﾟｯﾄﾞ",  // 94
    "ｽｨｰﾌﾟ ﾊﾟｯﾄﾞ",  // 95
    "ｱｲｽ ﾚｲﾝ",  // 96
    "ｻｳﾝﾄﾞﾄﾗｯｸ",  // 97
    "水晶",  // 98
    "ｱﾄﾓｽﾌｪｱｰ",  // 99
    "ﾌﾞﾗｲﾄﾈｽ",  // 100
    "ｺﾞﾌﾞﾘﾝ",  // 101
    "ｴｺｰ ﾄﾞﾛｯﾌﾟｽ",  // 102
    "星のﾃｰﾏ",  // 103
    "ｼﾀｰﾙ",  // 104
    "ﾊﾞﾝｼﾞｮｰ",  // 105
    "三味線",  // 106
    "琴",  // 107
    "ｶﾘﾝﾊﾞ",  // 108
    "ﾊﾞｸﾞﾊﾟｲﾌﾟ",  // 109
    "ﾌｨｰﾄﾞﾙ",  // 110
    "ｼｬﾅｲ",  // 111
    "ﾃｨﾝｸﾙ ﾍﾞﾙ",  // 112
    "ｱｺﾞｺﾞ",  // 113
    "ｽﾁｰﾙ ﾄﾞﾗﾑ",  // 114
    "ｳｯﾄﾞ ﾌﾞﾛｯｸ",  // 115
    "太鼓",  // 116
    "ﾒﾛﾃﾞｨｯｸ ﾀﾑ ﾀﾑ",  // 117
    "ｼﾝｾ ﾄﾞﾗﾑ",  // 118
    "ﾘﾊﾞｰｽ ｼﾝﾊﾞﾙ",  // 119
    "ﾌﾚｯﾄﾉｲｽﾞ",  // 120
    "息のﾉｲｽﾞ",  // 121
    "波の音",  // 122
    "鳥の声",  // 123
    "電話",  // 124
    "ﾍﾘｺﾌﾟﾀｰ",  // 125
    "拍手",  // 126
    "銃声",  // 127
    "犬",  // 128
    "ﾗｯﾌﾟの音",  // 129
    "ｽﾃﾚｵｶﾞﾑﾗﾝ",  // 130
    "ｶﾞﾑﾗﾝの鐘",  // 131
    "二胡",  // 132
    "ﾃﾞｨｼﾞﾘﾄﾞｩ",  // 133
    "未定義1",  // 134
    "未定義2",  // 135
    "ﾋﾟｱﾉｸﾞﾙｰﾌﾟ",  // 136
    "ｷﾞﾀｰｸﾞﾙｰﾌﾟ",  // 137
    "ﾋﾟｱﾉかｷﾞﾀｰ",  // 138
    "管楽器",  // 139
    "主旋律用ﾊﾞﾘｴｰｼｮﾝ",  // 140
    "硬い音のﾊﾞﾘｴｰｼｮﾝ",  // 141
    "柔かい音のﾊﾞﾘｴｰｼｮﾝ",  // 142
    "電子音ﾊﾞﾘｴｰｼｮﾝ",  // 143
    "生音ﾊﾞﾘｴｰｼｮﾝ",  // 144
    "未定義ﾊﾞﾘｴｰｼｮﾝ1",  // 145
    "未定義ﾊﾞﾘｴｰｼｮﾝ2",  // 146
    "未定義ﾊﾞﾘｴｰｼｮﾝ3",  // 147
    "未定義ﾊﾞﾘｴｰｼｮﾝ4",  // 148
    "未定義ﾊﾞﾘｴｰｼｮﾝ5",  // 149
    "未定義ﾊﾞﾘｴｰｼｮﾝ6",  // 150
    "未定義ﾊﾞﾘｴｰｼｮﾝ7",  // 151
};

const char* const DrumKitNameTable[5] = {nullptr, "ｱｺｰｽﾃｨｯｸｾｯﾄ", "ｴﾚｸﾄﾘｯｸｾｯﾄ", "ｴｽﾆｯｸｾｯﾄ",
                                         "ﾃｸﾉｾｯﾄ"};

const char* InstrumentName(int code) {
  if (code < 0 || code >= kInstrumentNameCount) return nullptr;
  return InstrumentNameTable[code];
}

int LevelToFactor(int level) {
  if (level >= 1 && level <= 8) return 180 - 20 * level;
  return 100;
}

int DensityToLevel(int factor) {
  if (factor < 30) return 8;
  if (factor >= 170) return 4;
  // 30-49 -> 7, 50-69 -> 6, ..., 150-169 -> 1
  return 7 - (factor - 30) / 20;
}

namespace {

EngineServiceState g_engine_services;

// One riff triple as the generator records it: three signed bytes.
struct RiffTriple {
  int8_t duration = 0;
  int8_t tone_a = 0;
  int8_t tone_b = 0;
};

int FreshToneA() { return 2 * GneRandomRange(0, 2) + 4; }

}  // namespace

EngineServiceState& EngineServices() { return g_engine_services; }

void ResetEngineServices() { g_engine_services = EngineServiceState(); }

int MakeRandomRiffRhythm(int32_t* cells, const StyleRecord& style) {
  const bool triplets = style.basic_beat == 3;
  int total;
  if (!triplets) {
    total = style.metre == 0 ? 32 : (style.metre == 1 ? 24 : 28);
  } else if (style.metre == 0) {
    total = 24;
  } else if (style.metre == 1) {
    total = 18;
  } else {
    cells[0] = 0;  // 7/8 has no triplet riff
    return 0;
  }

  const int max_dup = GneRandomRange(2, 4);    // D: chance of doubling short notes
  const int run_chance = GneRandomRange(4, 8); // F: chance of a run of ones
  int period;                                  // P: repeat period in triples
  if (GneRandomRange(1, 2) == 1) {
    period = GneRandomRange(4, 8);
  } else {
    period = GneRandomRange(4, 32);
  }

  constexpr int kMaxTriples = 32;
  RiffTriple made[kMaxTriples];
  int sum = 0, twos = 0, ones = 0, step = 0;
  bool first = true, half = true, capped = false;
  int prev_a = 0, prev_b = 0;
  int k = 0;
  for (; k < kMaxTriples && sum < total; ++k) {
    // Runs of eighths (twos) or of sixteenths walking by a step (ones).
    if (GneRandomRange(1, 3) == 1 && twos == 0 && ones == 0) {
      twos = 3;
    } else if (GneRandomRange(1, run_chance) == 1 && twos == 0 && ones == 0 && sum % 2 == 0) {
      ones = 4;
      step = GneRandomRange(1, 2) == 2 ? 1 : -1;
    }

    // Duration.
    int d;
    if (k >= period) {
      d = made[k % period].duration;
      if (d < 1) d = 1;
    } else if (twos > 0) {
      d = 2;
      --twos;
    } else if (ones > 0) {
      d = 1;
      --ones;
    } else if (GneRandomRange(1, 2) == 1) {
      d = 2;
    } else if (GneRandomRange(1, 2) == 1) {
      d = GneRandomRange(1, 4);
    } else {
      d = 4 * GneRandomRange(1, 2);
    }
    if (prev_b > 0 && prev_b % 2 == 1 && d % 2 == 0) ++d;
    if (GneRandomRange(1, max_dup) == 1 && d < 3) d *= 2;
    if (d % 2 == 1 && GneRandomRange(1, 2) == 1) ++d;

    sum += d;
    if (sum >= total) {
      d = total - (sum - d);
      sum = total;
      capped = true;
    }
    const bool odd = d % 2 == 1;

    // Tone A.
    int a;
    if (k >= period) {
      a = made[k % period].tone_a;
    } else if (GneRandomRange(1, 3) == 1 && twos == 0 && ones == 0) {
      if (k == 0) {
        a = FreshToneA();
      } else if (prev_a == 4 || prev_a == 6 || prev_a == 8) {
        a = -1;
      } else {
        a = FreshToneA();
      }
    } else if (k >= 1 && GneRandomRange(1, 6) == 1) {
      a = prev_a;
    } else {
      bool fresh = false;
      if (first || capped) {
        first = false;
        fresh = true;
      } else if (half && sum >= 16) {
        half = false;
        fresh = true;
      } else if (d >= 4 || prev_a == -1 || GneRandomRange(1, 4) == 1) {
        fresh = true;
      }
      if (fresh) {
        a = FreshToneA();
      } else if (ones > 0) {
        a = prev_a + step;
      } else {
        a = prev_a + GneRandomRange(0, 4) - 2;
      }
      if (a < 0) a = 2;
      if (a > 11) a = 9;
    }
    if ((a == 0 || a == 3 || a == 7 || a == 10) && d >= 2 && twos != 1) ++a;
    if (odd && a == -1) a = 4;

    // Tone B.
    int b;
    if (a == -1) {
      b = -1;
    } else if (GneRandomRange(1, 4) == 1) {
      b = -1;
    } else {
      b = a - 3;
      if (b < 0) b = -1;
    }
    if (odd && b == -1) b = 6;

    made[k].duration = static_cast<int8_t>(d);
    made[k].tone_a = static_cast<int8_t>(a);
    made[k].tone_b = static_cast<int8_t>(b);
    cells[3 * k] = d;
    cells[3 * k + 1] = a;
    cells[3 * k + 2] = b;
    prev_a = a;
    prev_b = b;
  }
  cells[3 * k] = 0;
  return total;
}

namespace {

void FinishTimingChoice(TimingDatabaseChoice& t, const StyleRecord& style) {
  if (style.metre == 1) {
    t.time_chart = "TIMECHT3.DB";
    t.cadence_time_chart = "RESTIME3.DB";
  } else if (style.metre == 2) {
    t.time_chart = "TIMECHT7.DB";
    t.cadence_time_chart = "RESTIME7.DB";
  }
  if (StyleText(style.pattern_db) == "PATTERN.DBB") t.chord_template_key = "CMPs";
}

constexpr int kThreeChordProgression = 6;

}  // namespace

void SelectMajorTimingDatabases() {
  StyleRecord& style = CurrentStyle();
  TimingDatabaseChoice& t = g_engine_services.timing;
  t.time_chart = "TIMECHT.DB";
  t.cadence_time_chart = "RESTIME.DB";
  t.database_kind = 1;
  t.chord_template_key = style.progression == kThreeChordProgression ? "CMPs" : "CMPS";
  FinishTimingChoice(t, style);
  style.key_mode = t.database_kind;
}

void SelectMinorTimingDatabases() {
  StyleRecord& style = CurrentStyle();
  TimingDatabaseChoice& t = g_engine_services.timing;
  if (style.progression == kThreeChordProgression) {
    // The three-chord progression has only major tables.
    t.time_chart = "TIMECHT.DB";
    t.cadence_time_chart = "RESTIME.DB";
    t.database_kind = 1;
    t.chord_template_key = "CMPs";
  } else {
    t.time_chart = "TIMECHT.DB2";
    t.cadence_time_chart = "RESTIME.DB2";
    t.database_kind = 2;
    t.chord_template_key = "AmPs";
  }
  FinishTimingChoice(t, style);
  style.key_mode = t.database_kind;
}
