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

// Sixteenths of a riff: 32, 24 or 28 by the metre (4/4, 3/4, 7/8); with triplets 24 or 18,
// and none for 7/8.
int RiffLength(const StyleRecord& style) {
  if (style.basic_beat != 3) return style.metre == 0 ? 32 : (style.metre == 1 ? 24 : 28);
  if (style.metre == 0) return 24;
  if (style.metre == 1) return 18;
  return 0;
}

// The walk that makes a riff triple by triple: what one triple hands to the next. Every step
// draws from the system's generator in a fixed order, so a seed gives one riff.
class RiffWalk {
 public:
  static constexpr int kMaxTriples = 32;

  explicit RiffWalk(int total) : total_(total) {
    max_dup_ = GneRandomRange(2, 4);     // chance of doubling short notes
    run_chance_ = GneRandomRange(4, 8);  // chance of a run of ones
    // The repeat period in triples.
    if (GneRandomRange(1, 2) == 1) {
      period_ = GneRandomRange(4, 8);
    } else {
      period_ = GneRandomRange(4, 32);
    }
  }

  bool Done(int k) const { return k >= kMaxTriples || sum_ >= total_; }

  // Triple k: its duration in sixteenths and its two tones (-1 for none).
  RiffTriple Next(int k) {
    StartRuns();
    const int d = Duration(k);
    const bool odd = d % 2 == 1;
    const int a = ToneA(k, d, odd);
    const int b = ToneB(a, odd);
    RiffTriple& t = made_[k];
    t.duration = static_cast<int8_t>(d);
    t.tone_a = static_cast<int8_t>(a);
    t.tone_b = static_cast<int8_t>(b);
    prev_a_ = a;
    prev_b_ = b;
    return t;
  }

 private:
  // Runs of eighths (twos) or of sixteenths walking by a step (ones).
  void StartRuns() {
    if (GneRandomRange(1, 3) == 1 && twos_ == 0 && ones_ == 0) {
      twos_ = 3;
    } else if (GneRandomRange(1, run_chance_) == 1 && twos_ == 0 && ones_ == 0 && sum_ % 2 == 0) {
      ones_ = 4;
      step_ = GneRandomRange(1, 2) == 2 ? 1 : -1;
    }
  }

  // The duration, cut at the riff's end.
  int Duration(int k) {
    int d;
    if (k >= period_) {
      d = made_[k % period_].duration;
      if (d < 1) d = 1;
    } else if (twos_ > 0) {
      d = 2;
      --twos_;
    } else if (ones_ > 0) {
      d = 1;
      --ones_;
    } else if (GneRandomRange(1, 2) == 1) {
      d = 2;
    } else if (GneRandomRange(1, 2) == 1) {
      d = GneRandomRange(1, 4);
    } else {
      d = 4 * GneRandomRange(1, 2);
    }
    if (prev_b_ > 0 && prev_b_ % 2 == 1 && d % 2 == 0) ++d;
    if (GneRandomRange(1, max_dup_) == 1 && d < 3) d *= 2;
    if (d % 2 == 1 && GneRandomRange(1, 2) == 1) ++d;
    sum_ += d;
    if (sum_ >= total_) {
      d = total_ - (sum_ - d);
      sum_ = total_;
      capped_ = true;
    }
    return d;
  }

  int ToneA(int k, int d, bool odd) {
    int a;
    if (k >= period_) {
      a = made_[k % period_].tone_a;
    } else if (GneRandomRange(1, 3) == 1 && twos_ == 0 && ones_ == 0) {
      if (k == 0) {
        a = FreshToneA();
      } else if (prev_a_ == 4 || prev_a_ == 6 || prev_a_ == 8) {
        a = -1;
      } else {
        a = FreshToneA();
      }
    } else if (k >= 1 && GneRandomRange(1, 6) == 1) {
      a = prev_a_;
    } else {
      a = WalkedToneA(d);
    }
    if ((a == 0 || a == 3 || a == 7 || a == 10) && d >= 2 && twos_ != 1) ++a;
    if (odd && a == -1) a = 4;
    return a;
  }

  // A fresh tone at the riff's start, after a cut, at its half, after a long note or a
  // silence, or by chance; else a step of the run or a small move from the last tone.
  int WalkedToneA(int d) {
    bool fresh = false;
    if (first_ || capped_) {
      first_ = false;
      fresh = true;
    } else if (half_ && sum_ >= 16) {
      half_ = false;
      fresh = true;
    } else if (d >= 4 || prev_a_ == -1 || GneRandomRange(1, 4) == 1) {
      fresh = true;
    }
    int a;
    if (fresh) {
      a = FreshToneA();
    } else if (ones_ > 0) {
      a = prev_a_ + step_;
    } else {
      a = prev_a_ + GneRandomRange(0, 4) - 2;
    }
    if (a < 0) a = 2;
    if (a > 11) a = 9;
    return a;
  }

  static int ToneB(int a, bool odd) {
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
    return b;
  }

  const int total_;
  int max_dup_ = 0, run_chance_ = 0, period_ = 0;
  RiffTriple made_[kMaxTriples];
  int sum_ = 0, twos_ = 0, ones_ = 0, step_ = 0;
  bool first_ = true, half_ = true, capped_ = false;
  int prev_a_ = 0, prev_b_ = 0;
};

}  // namespace

EngineServiceState& EngineServices() { return g_engine_services; }

void ResetEngineServices() { g_engine_services = EngineServiceState(); }

int MakeRandomRiffRhythm(int32_t* cells, const StyleRecord& style) {
  const int total = RiffLength(style);
  if (total == 0) {
    cells[0] = 0;  // 7/8 has no triplet riff
    return 0;
  }
  RiffWalk walk(total);
  int k = 0;
  for (; !walk.Done(k); ++k) {
    const RiffTriple t = walk.Next(k);
    cells[3 * k] = t.duration;
    cells[3 * k + 1] = t.tone_a;
    cells[3 * k + 2] = t.tone_b;
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
