#include "style/style_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "style/choice_lists.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

class StyleTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStyleModule();
    ResetEngineServices();
  }
  void TearDown() override {
    ResetStyleModule();
    ResetEngineServices();
  }
  static std::vector<std::string> Boxes() { return cantrel_test::Sink().Texts(); }
  static std::string Box(ProgramErrorCode code) { return FormatProgramError(code); }
  static void Read(const std::string& text, StyleRecord* r) {
    cantrel_test::Sink().Clear();
    ReadStyleText(text.data(), text.size(), r);
  }
};

bool SameBytes(const StyleRecord& a, const StyleRecord& b) {
  return SerialiseStyleRecord(a) == SerialiseStyleRecord(b);
}

// What a record written and read over `base` must give: every keyed field of
// `r`, with the exceptions of the format. A stored code without a name (the
// catalogue has three: a drum kit of 22 and two sub-melody modes of 4) is
// written "エラー" or "---" with a box, and reading it reports its key's code;
// `boxes` receives those codes.
StyleRecord Expected(const StyleRecord& r, const StyleRecord& base,
                     std::vector<ProgramErrorCode>* boxes) {
  StyleRecord e = base;
  auto choice = [&](int32_t from, int32_t* to, const ChoiceList& list, ProgramErrorCode code) {
    if (list.NameOf(from) != nullptr) {
      *to = from;
    } else {
      boxes->push_back(code);
    }
  };
  e.version = r.version;
  SetStyleText(e.name, StyleText(r.name).c_str());
  SetStyleText(e.file_title, StyleText(r.name).c_str());
  e.english_name[0] = '\0';
  choice(r.key_mode, &e.key_mode, KeyChoiceList, 0xFF010187);
  choice(r.metre, &e.metre, MetreChoiceList, 0xFF010188);
  choice(r.basic_beat, &e.basic_beat, BasicBeatChoiceList, 0xFF010189);
  e.tempo = GneBpmToTempo(GneTempoToBpm(r.tempo));
  choice(r.scale, &e.scale, ScaleChoiceList, 0xFF01018A);
  std::memcpy(e.scale_tones, r.scale_tones, sizeof e.scale_tones);
  e.modulation = r.modulation == 1;
  e.song_bars = r.song_bars;
  for (int ch : {1, 4, 3, 7, 2, 5, 8}) e.instrument[ch] = r.instrument[ch];
  e.instrument[9] = r.instrument[9];
  if (r.instrument[9] != kInstrumentOff && (r.instrument[9] < 1 || r.instrument[9] > 4)) {
    e.instrument[9] = kInstrumentOff;
    boxes->push_back(0xFF0101A4);
  }
  for (int ch : {1, 4, 5, 3, 7}) e.density[ch] = r.density[ch];
  // The drum block: written from channel 5, read into channel 9.
  for (const auto& [from, to] : {std::pair<int, int>{1, 1}, {4, 4}, {5, 9}}) {
    const PartRecord& p = r.parts[from];
    PartRecord& q = e.parts[to];
    choice(p.dissonance, &q.dissonance, DissonanceChoiceList, 0xFF010198);
    choice(p.note_length, &q.note_length, NoteLengthChoiceList, 0xFF010199);
    q.syncopation = p.syncopation != 0;
    choice(p.effect, &q.effect, EffectChoiceList, 0xFF01019B);
    choice(p.ornament, &q.ornament, OrnamentChoiceList, 0xFF01019C);
    choice(p.voicing, &q.voicing, VoicingChoiceList, 0xFF01019D);
    q.range_high = p.range_high;
    q.range_low = p.range_low;
    if (AlgorithmChoiceList.NameOf(p.algorithm) != nullptr) q.algorithm = p.algorithm;
    choice(p.tension, &q.tension, TensionChoiceList, 0xFF01019F);
    choice(p.rhythm_repeat, &q.rhythm_repeat, RepeatChoiceList, 0xFF0101A0);
    choice(p.melody_repeat, &q.melody_repeat, RepeatChoiceList, 0xFF0101A1);
    q.algorithm_param = p.algorithm_param;
  }
  e.phrase_imitation = r.phrase_imitation == 1;
  e.slash_chords = r.slash_chords == 1;
  e.fit_chord_tones = r.fit_chord_tones == 1;
  choice(r.chord_method, &e.chord_method, ChordMethodChoiceList, 0xFF01018C);
  std::memcpy(e.pattern_db, r.pattern_db, sizeof e.pattern_db);
  std::memcpy(e.chorus_db, r.chorus_db, sizeof e.chorus_db);
  choice(r.progression, &e.progression, ProgressionChoiceList, 0xFF01018D);
  choice(r.chord_beats, &e.chord_beats, ChordBeatsChoiceList, 0xFF01018E);
  choice(r.chords_per_block, &e.chords_per_block, ChordsPerBlockChoiceList, 0xFF01018F);
  std::memcpy(e.custom_chords, r.custom_chords, sizeof e.custom_chords);
  e.fixed_bass = r.fixed_bass;
  choice(r.submelody_mode, &e.submelody_mode, SubMelodyChoiceList, 0xFF010190);
  choice(r.accompaniment, &e.accompaniment, AccompanimentChoiceList, 0xFF010191);
  std::memcpy(e.riff, r.riff, sizeof e.riff);
  std::memcpy(e.melody_intervals, r.melody_intervals, sizeof e.melody_intervals);
  std::memcpy(e.melody_directions, r.melody_directions, sizeof e.melody_directions);
  e.MTAdjustF = r.MTAdjustF != 0;
  e.MTAdjustL = r.MTAdjustL != 0;
  e.MTAdjustE = r.MTAdjustE != 0;
  e.MTNoCnt = r.MTNoCnt != 0;
  for (int p = 0; p < kGridPartCount; ++p) {
    e.use_x[p] = r.use_x[p];
    e.continue_major[p] = r.continue_major[p] != 0;
    e.stroke[p] = r.stroke[p] != 0;
  }
  for (int s = 0; s < kGridSetCount; ++s) e.custom_grids[s] = r.custom_grids[s];
  choice(r.drum_pattern, &e.drum_pattern, DrumPatternChoiceList, 0xFF010192);
  choice(r.subharmony_accompaniment, &e.subharmony_accompaniment, AccompanimentChoiceList,
         0xFF010193);
  choice(r.bass_pattern, &e.bass_pattern, BassPatternChoiceList, 0xFF010194);
  choice(r.subdrum_pattern, &e.subdrum_pattern, SubDrumChoiceList, 0xFF010195);
  for (int ch : {1, 4, 3, 7, 2, 5}) e.octave[ch] = r.octave[ch];
  for (int ch : {1, 4, 3, 7, 2, 9, 5, 8}) {
    MixerRecord m = r.mixer[ch];
    std::memcpy(&m.double_delay, &e.mixer[ch].double_delay, 7);  // bytes 9..15: no item
    e.mixer[ch] = m;
  }
  return e;
}

// A base record unlike any style, so that every keyed field must be read.
StyleRecord Base() {
  std::vector<uint8_t> bytes(kStyleRecordSize);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  StyleRecord r;
  DeserialiseStyleRecord(bytes.data(), bytes.size(), &r);
  return r;
}

TEST_F(StyleTextTest, EveryBuiltInStyleWrittenAndReadBackKeepsItsKeyedFields) {
  BuildStyleTable();
  const StyleRecord base = Base();
  int unnamed = 0;  // styles holding a code without a name
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    for (int s = 0; s < kStyleSlotCount; ++s) {
      const StyleRecord& r = StyleTableSlot(c, s);
      cantrel_test::Sink().Clear();
      const std::string text = WriteStyleText(r);
      StyleRecord back = base;
      ReadStyleText(text.data(), text.size(), &back);
      std::vector<ProgramErrorCode> codes;
      const StyleRecord want = Expected(r, base, &codes);
      std::vector<std::string> boxes;
      for (ProgramErrorCode code : codes) boxes.push_back(Box(code));
      std::vector<std::string> got = Boxes();
      std::sort(boxes.begin(), boxes.end());
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, boxes) << c << "/" << s;
      if (!codes.empty()) ++unnamed;
      EXPECT_TRUE(SameBytes(back, want)) << c << "/" << s;
      if (!SameBytes(back, want)) return;
    }
  }
  EXPECT_LE(unnamed, 3);
}

TEST_F(StyleTextTest, WriterLinesAndValueForms) {
  StyleRecord r;
  r.tempo = 500000;
  r.use_x[kGridHarmony] = 1;
  r.key_mode = 1;
  r.instrument[kMelodyChannel] = 0;
  r.instrument[kDrumChannel] = kDrumKitEthnic;
  r.instrument[kBassChannel] = kInstrumentOff;
  r.mixer[kMelodyChannel].volume = 100;
  r.mixer[kMelodyChannel].chorus = 64;
  r.riff[0] = 255;
  r.riff[1] = 128;
  r.version = 7;
  const uint8_t chords[] = {0x01, 0x80, 'C', 'M', 'P', 'S', 0x01, 0x80, 'G', 'M', 'P', 's'};
  std::memcpy(r.custom_chords, chords, sizeof chords);
  cantrel_test::Sink().Clear();
  const std::string text = WriteStyleText(r);
  auto has = [&](const std::string& line) {
    return text.find(line) != std::string::npos;
  };
  EXPECT_EQ(text.rfind("[OVX バージョン]0007\r\n", 0), 0u);
  EXPECT_TRUE(has("\r\n[テンポ]120\r\n"));
  EXPECT_TRUE(has("\r\n[カスタム伴奏:use_x:ハーモニー]001\r\n"));
  EXPECT_TRUE(has("\r\n[調]ハ長調\r\n"));
  EXPECT_TRUE(has("\r\n[楽器：ドラム]ｴｽﾆｯｸｾｯﾄ\r\n"));
  EXPECT_TRUE(has("\r\n[楽器：ベース]---\r\n"));
  EXPECT_TRUE(has("\r\n[ミキサー:メロディ]<ボリューム->100<コーラス->064<リバーブ->000"));
  EXPECT_TRUE(has("\r\n[リフ]\r\n-01-128-000-"));
  EXPECT_TRUE(has("\r\n[カスタムコード]0384CMPS-0384GMPs-\r\n"));
  EXPECT_TRUE(has("\r\n[[メロディ]]\r\n[Melody Structure:不協和音]"));
  EXPECT_TRUE(has("[[/ドラム]]\r\n"));
  EXPECT_TRUE(has("\r\n[カスタム伴奏:NoteTable:ベース]\r\n3\r\n000-000-"));
  EXPECT_TRUE(has("\r\n[転調]禁止\r\n"));
  EXPECT_TRUE(Boxes().empty());
  // The same text however often it is written.
  EXPECT_EQ(WriteStyleText(r), text);
  r.tempo = 750000;
  EXPECT_NE(WriteStyleText(r).find("[テンポ]080\r\n"), std::string::npos);
  EXPECT_EQ(WriteKeyLine("a", "b"), "[a]b\r\n");
  EXPECT_EQ(WriteNumberKeyLine(-1, "n"), "[n]-01\r\n");
  EXPECT_EQ(WriteBlockStart("x"), "[[x]]\r\n");
  EXPECT_EQ(WriteBlockEnd("x"), "[[/x]]\r\n");
}

TEST_F(StyleTextTest, WriterSpellsUnnamedCodesAndInstrumentsAndLeavesOutAnUnnamedAlgorithm) {
  StyleRecord r;
  r.tempo = 500000;
  r.key_mode = 9;
  r.metre = 5;
  r.instrument[kMelodyChannel] = 200;
  r.instrument[kDrumChannel] = 7;
  r.parts[kMelodyChannel].algorithm = 999;
  // The writer reads the 20-byte name without a terminator no further.
  std::memset(r.name, 'N', sizeof r.name);
  cantrel_test::Sink().Clear();
  const std::string text = WriteStyleText(r);
  EXPECT_NE(text.find("[調]エラー\r\n"), std::string::npos);
  EXPECT_NE(text.find("[拍子]エラー\r\n"), std::string::npos);
  EXPECT_NE(text.find("[楽器：メロディ]---\r\n"), std::string::npos);
  EXPECT_NE(text.find("[楽器：ドラム]---\r\n"), std::string::npos);
  EXPECT_NE(text.find("[タイトル]" + std::string(20, 'N') + "\r\n"), std::string::npos);
  const size_t block = text.find("[[メロディ]]");
  const size_t end = text.find("[[/メロディ]]");
  EXPECT_EQ(text.substr(block, end - block).find("アルゴリズム]"), std::string::npos);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0xFF0101A4), Box(0xFF0101A4)}));
  // Reading "エラー" reports the key's code and keeps the field.
  StyleRecord back;
  back.key_mode = 2;
  back.metre = 1;
  Read(text, &back);
  EXPECT_EQ(back.key_mode, 2);
  EXPECT_EQ(back.metre, 1);
  const auto boxes = Boxes();
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), Box(0xFF010187)), boxes.end());
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), Box(0xFF010188)), boxes.end());
}

TEST_F(StyleTextTest, SingleEntriesSetTheirFieldAndNothingElse) {
  const StyleRecord base = Base();
  StyleRecord r = base;
  Read("[テンポ]120", &r);
  StyleRecord want = base;
  want.tempo = 500000;
  EXPECT_TRUE(SameBytes(r, want));
  EXPECT_TRUE(Boxes().empty());

  r = base;
  Read("[曲長]00\r\n40", &r);
  EXPECT_EQ(r.song_bars, 40);
  r = base;
  Read("junk before\r\n[曲長]  -12x[固定ベース音]0", &r);
  EXPECT_EQ(r.song_bars, -12);
  EXPECT_EQ(r.fixed_bass, 0);
  r = base;
  Read("[曲長]99999999999999999999", &r);
  EXPECT_EQ(r.song_bars, INT_MAX);
  Read("[曲長]-99999999999999999999", &r);
  EXPECT_EQ(r.song_bars, INT_MIN);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StyleTextTest, BadValuesReportTheirCodeAndKeepTheField) {
  struct Case { std::string text; ProgramErrorCode code; };
  const Case cases[] = {
      {"[拍子]6/8", 0xFF010188},
      {"[調]ト長調", 0xFF010187},
      {"[不明なキー]1", 0xFF010196},
      {"[転調]たぶん", 0xFF010179},
      {"[楽器：メロディ]ｳｸﾚﾚ", 0xFF01017A},
      {"[楽器：ドラム]ﾀｲｺ", 0xFF01017B},
      {"[音階音]ABCDEFGHIJKLMNOPQ", 0xFF01018B},
      {"[知識ベース]../other/PATTERN.DB", 0xFF010179},
      {"[サビの知識ベース]C:\\PATTERN.DB", 0xFF010179},
      {"[知識ベース]" + std::string(128, 'p'), 0xFF010179},
      {"[ミキサー:メロディ]<ボリューム->300", 0xFF010186},
      {"[カスタムコード]-001CMPS-", 0xFF01017C},
      {"[テンポ]000", 0xFF010179},
  };
  const StyleRecord base = Base();
  for (const Case& c : cases) {
    StyleRecord r = base;
    Read(c.text, &r);
    ASSERT_FALSE(Boxes().empty()) << c.text;
    EXPECT_EQ(Boxes().front(), Box(c.code)) << c.text;
    if (c.text.compare(0, 11, "[ミキサー") == 0) {
      EXPECT_EQ(r.mixer[1].volume, base.mixer[1].volume);
      continue;
    }
    if (c.text.find("楽器") != std::string::npos) continue;  // gives "part off"
    if (c.text.find("転調") != std::string::npos) continue;  // gives 0
    EXPECT_TRUE(SameBytes(r, base)) << c.text;
  }
  StyleRecord r = base;
  Read("[楽器：メロディ]ｳｸﾚﾚ[楽器：ドラム]ﾀｲｺ", &r);
  EXPECT_EQ(r.instrument[kMelodyChannel], kInstrumentOff);
  EXPECT_EQ(r.instrument[kDrumChannel], kInstrumentOff);
}

TEST_F(StyleTextTest, TitleIsCutBetweenCharactersAndFillsTheFileTitle) {
  StyleRecord r = Base();
  std::string title;
  for (int i = 0; i < 11; ++i) title += "曲";
  Read("[タイトル]a" + title, &r);
  EXPECT_EQ(StyleText(r.name), "a" + title.substr(0, 18));
  EXPECT_EQ(StyleText(r.file_title), "a" + title.substr(0, 18));
  EXPECT_EQ(r.english_name[0], '\0');
  Read("[タイトル]" + title, &r);
  EXPECT_EQ(StyleText(r.name), title.substr(0, 20));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StyleTextTest, ListsRiffAndGrids) {
  StyleRecord r = Base();
  std::string riff;
  for (int i = 0; i < 95; ++i) riff += "-01-";
  Read("[リフ]\r\n" + riff + "\r\n", &r);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Box(0xFF01017D)});
  for (int i = 0; i < 95; ++i) EXPECT_EQ(r.riff[i], 255);
  const uint8_t last = r.riff[95];
  Read("[リフ]" + riff + "001-002-003-", &r);  // 98 items: 96 stored
  EXPECT_EQ(Boxes(), std::vector<std::string>{Box(0xFF01017D)});
  EXPECT_EQ(r.riff[95], 1);
  (void)last;
  Read("[リフ]300-", &r);
  EXPECT_EQ(r.riff[0], 255);  // kept
  EXPECT_EQ(Boxes().front(), Box(0xFF01017C));

  Read("[メロディテーブル:音程]001-002-003-004-005-006-007-008-", &r);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(r.melody_intervals[7], 8);
  Read("[メロディテーブル:方向]001-002x", &r);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0xFF01017E), Box(0xFF01017F)}));
  EXPECT_EQ(r.melody_directions[0], 1);
  Read("[メロディテーブル:方向]", &r);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Box(0xFF01017F)});

  std::string grid = "2";
  for (int i = 0; i < 14; ++i) grid += "005-";
  Read("[カスタム伴奏:pn_interval:ベース]\r\n" + grid + "\r\n", &r);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(r.custom_grids[2].grid[kGridBass].pn_interval[13], 5);
  Read("[カスタム伴奏:pn_interval:ベース]" + grid + "x", &r);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Box(0xFF010183)});
  const int32_t before = r.custom_grids[0].grid[kGridBass].pn_interval[0];
  Read("[カスタム伴奏:pn_interval:ベース]7" + grid.substr(1), &r);  // no set 7
  EXPECT_EQ(r.custom_grids[0].grid[kGridBass].pn_interval[0], before);
  Read("[カスタム伴奏:pn_continuem:ドラム]1001-00", &r);
  EXPECT_EQ(Boxes().front(), Box(0xFF010184));
  EXPECT_EQ(r.custom_grids[1].grid[kGridDrum].pn_continuem[0], 1);
  std::string table = "0";
  for (int row = 0; row < 14; ++row)
    for (int i = 0; i < 16; ++i) table += row == 3 && i == 2 ? "002x" : "001-";
  Read("[カスタム伴奏:NoteTable:ハーモニー]" + table, &r);
  // The row ends at the faulty item; the next row starts one character off.
  EXPECT_EQ(Boxes().front(), Box(0xFF010180));
  EXPECT_EQ(r.custom_grids[0].grid[kGridHarmony].NoteTable[2][15], 1);
  EXPECT_EQ(r.custom_grids[0].grid[kGridHarmony].NoteTable[3][1], 1);
}

TEST_F(StyleTextTest, BlocksLoadTheirChannelAndReportABadEnd) {
  StyleRecord r = Base();
  Read("[[メロディ]]\r\n[Melody Structure:音域上限]084\r\n[[/メロディ]]\r\n", &r);
  EXPECT_EQ(r.parts[1].range_high, 84);
  EXPECT_TRUE(Boxes().empty());
  Read("[[メロディ]][Melody Structure:音域下限]050[[/サブメロディ]]", &r);
  EXPECT_EQ(r.parts[1].range_low, 50);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Box(0xFF010179)});
  const StyleRecord before = r;
  Read("[[ベース]][Melody Structure:音域上限]001[[/ベース]]", &r);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(SameBytes(r, before));
  Read("[[ドラム]][Melody Structure:休符]多め[Melody Structure:シンコペーション]ｼﾝｺﾍﾟ有り"
       "[[/ドラム]]",
       &r);
  EXPECT_EQ(r.density[9], LevelToFactor(6));
  EXPECT_EQ(r.parts[9].syncopation, 1);
  Read("[[サブメロディ]]x[Melody Structure:何か]1[Melody Structure:音域上限]200[[/サブメロディ]]",
       &r);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0xFF010197), Box(0xFF0101A2),
                                                Box(0xFF0101A2)}));
  EXPECT_EQ(r.parts[4].range_high, before.parts[4].range_high);
  Read("[[メロディ]][Melody Structure:シンコペーション]どちらでも[[/メロディ]]", &r);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StyleTextTest, TheReaderStaysWithinTheGivenLength) {
  // Texts cut anywhere, lead bytes at the end: nothing past the length is read
  // (the sanitizer watches the heap copies).
  const std::string text = WriteStyleText(StyleRecord{}) + "[\x82";
  cantrel_test::QuietBoxes quiet;
  for (size_t n = 0; n < text.size(); n += 97) {
    std::vector<char> copy(text.begin(), text.begin() + n);
    StyleRecord r;
    ReadStyleText(copy.data(), copy.size(), &r);
  }
  const char lead_end[] = {'[', 'a', ']', '\x82'};
  StyleRecord r;
  std::vector<char> heap(lead_end, lead_end + 4);
  ReadStyleText(heap.data(), heap.size(), &r);
  ReadStyleText(nullptr, 10, &r);
}

TEST_F(StyleTextTest, TempoRoundTripKeepsWholeBeatsPerMinute) {
  StyleRecord r;
  r.tempo = 650000;
  const std::string text = WriteStyleText(r);
  EXPECT_NE(text.find("[テンポ]092\r\n"), std::string::npos);
  StyleRecord back;
  Read(text, &back);
  EXPECT_EQ(back.tempo, 652000);
}

}  // namespace
